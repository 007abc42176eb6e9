#include "DupMatch.h"

#include "Apputil.h"
#include "CrmData.h"
#include "CxText.h"
#include "DupEngine.h"
#include "DupKept.h"
#include "DupKind.h"

namespace {

uint64_t g_nRecordComparisons = 0;

// The case mapping of the "C" locale, independent of the process's locale: only
// a to z fold, so the bytes of a multi-byte character never change.
inline unsigned char FoldByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

inline bool SameText(const char* a, const char* b) {
    return CompareField(a, b) == 0;
}

template <size_t N> inline bool SameText(const CxBoundedText<N>& a, const CxBoundedText<N>& b) {
    return CompareField(a.c_str(), b.c_str()) == 0;
}

template <class TRec> inline bool PreferNewer(const TRec* p, const TRec* q) {
    return p && q && p->LastModificationTime >= q->LastModificationTime;
}

// The record an entry stands for; the record remembers the entry it was reached by.
template <class TRec, class TEntry> TRec* Reach(TEntry* entry) {
    if (!entry)
        return nullptr;
    TRec* rec = static_cast<TRec*>(entry->NativeData);
    if (rec)
        rec->WalkEntry = entry;
    return rec;
}

template <class TRec> TRec* FirstRecord() {
    auto* util = TDupKind<TRec>::Util();
    auto* collection = util ? util->GetCollection() : nullptr;
    return collection ? Reach<TRec>(collection->GetFirstRecord()) : nullptr;
}

template <class TRec> TRec* NextRecord() {
    auto* util = TDupKind<TRec>::Util();
    auto* collection = util ? util->GetCollection() : nullptr;
    return collection ? Reach<TRec>(collection->GetNextRecord()) : nullptr;
}

template <class TRec> bool SeekRecord(const TRec* rec) {
    auto* util = TDupKind<TRec>::Util();
    if (!util || !rec || !rec->WalkEntry)
        return false;
    auto* collection = util->GetCollection();
    return collection && collection->SetCurrentRecord(rec->WalkEntry);
}

// Marks a record as a duplicate and lists it on its first marking only. Within
// a run "marked" and "listed" go together: the run starts from cleared marks
// and an empty list, and every marking goes through here.
template <class TRec> void MarkDuplicate(TRec* rec, CxList& list, TDupGroupMarks<TRec>& marks) {
    if (rec->Flags & mkDuplicate)
        return;
    rec->Flags |= mkDuplicate;
    list.Add(rec);
    marks.Add(rec);
}

template <class TRec> bool GroupDups(TRec* seed) {
    using Kind = TDupKind<TRec>;
    CxList* list = Kind::DupList();
    if (!seed || (seed->Flags & mkDuplicate) || !Kind::Util() || !list)
        return false;
    if (!SeekRecord(seed))
        return false;
    TRec* survivor = seed;
    TDupGroupMarks<TRec> marks;
    for (TRec* q = NextRecord<TRec>(); q; q = NextRecord<TRec>()) {
        if (!Kind::IsSame(survivor, q))
            continue;
        if (Kind::Prefer(survivor, q)) {
            MarkDuplicate(q, *list, marks);
        } else {
            MarkDuplicate(survivor, *list, marks);
            survivor = q;
        }
    }
    marks.Close(survivor);
    SeekRecord(seed);
    return true;
}

// The scan that defines the results: every record not marked by an earlier
// group seeds one, and each group compares the survivor of the moment with
// every record after the seed, in collection order.
template <class TRec> bool ScanDups() {
    using Kind = TDupKind<TRec>;
    CxList* list = Kind::DupList();
    if (!Kind::Util() || !list)
        return false;
    list->RemoveAll(false);
    for (TRec* rec = FirstRecord<TRec>(); rec; rec = NextRecord<TRec>()) {
        rec->Flags &= ~kDupRunFlags;
        rec->KeptRecord = nullptr;
    }
    // A record marked by an earlier group is never a seed.
    for (TRec* rec = FirstRecord<TRec>(); rec; rec = NextRecord<TRec>())
        if (!(rec->Flags & mkDuplicate))
            GroupDups(rec);
    SettleKeptRecords<TRec>(*list);
    return true;
}

} // namespace

int CompareField(const char* a, const char* b) {
    if (!a)
        a = "";
    if (!b)
        b = "";
    if (!AppSettings.CompareEmpty && (a[0] == '\0' || b[0] == '\0'))
        return 0;
    const unsigned char* pa = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* pb = reinterpret_cast<const unsigned char*>(b);
    const bool fold = !AppSettings.CaseSensitive;
    for (;; ++pa, ++pb) {
        unsigned char ca = fold ? FoldByte(*pa) : *pa;
        unsigned char cb = fold ? FoldByte(*pb) : *pb;
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == '\0')
            return 0;
    }
}

bool IsSameAddr(const SFAddrRec* a, const SFAddrRec* b) {
    ++g_nRecordComparisons;
    if (!a || !b || a->ObjectKind != b->ObjectKind)
        return false;
    const TAppSettings& s = AppSettings;
    if (s.AddrDisplayName && !SameText(a->Name, b->Name))
        return false;
    if (s.AddrFirstName && !SameText(a->FirstName, b->FirstName))
        return false;
    if (s.AddrLastName && !SameText(a->LastName, b->LastName))
        return false;
    if (s.AddrDepartment && !SameText(a->Department, b->Department))
        return false;
    if (s.AddrTitle && !SameText(a->Title, b->Title))
        return false;
    if (s.AddrEmail && !SameText(a->Email, b->Email))
        return false;
    if (s.AddrPhone && !(SameText(a->Phone, b->Phone) && SameText(a->MobilePhone, b->MobilePhone) &&
                         SameText(a->OtherPhone, b->OtherPhone)))
        return false;
    if (s.AddrAddress &&
        !(SameText(a->MailingCity, b->MailingCity) &&
          SameText(a->MailingCountry, b->MailingCountry) &&
          SameText(a->MailingPostalCode, b->MailingPostalCode) &&
          SameText(a->MailingState, b->MailingState) &&
          SameText(a->MailingStreet, b->MailingStreet) && SameText(a->OtherCity, b->OtherCity) &&
          SameText(a->OtherCountry, b->OtherCountry) &&
          SameText(a->OtherPostalCode, b->OtherPostalCode) &&
          SameText(a->OtherState, b->OtherState) && SameText(a->OtherStreet, b->OtherStreet)))
        return false;
    if (s.AddrBirthday && a->BirthDate != b->BirthDate)
        return false;
    if (s.AddrNote && !SameText(a->Description, b->Description))
        return false;
    return true;
}

bool IsSameDate(const SFDateRec* a, const SFDateRec* b) {
    ++g_nRecordComparisons;
    if (!a || !b)
        return false;
    const TAppSettings& s = AppSettings;
    if (s.DateSubject && !SameText(a->Subject, b->Subject))
        return false;
    if (s.DateStartTime && a->StartTime != b->StartTime)
        return false;
    if (s.DateEndTime && a->EndTime != b->EndTime)
        return false;
    if (s.DateLocation && !SameText(a->Location, b->Location))
        return false;
    if (s.DateAllDayEvent && a->AllDayEvent != b->AllDayEvent)
        return false;
    if (s.DateRecur && !(a->IsRecurrence == b->IsRecurrence &&
                         a->RecurrenceDayOfMonth == b->RecurrenceDayOfMonth &&
                         a->RecurrenceDayOfWeekMask == b->RecurrenceDayOfWeekMask &&
                         a->RecurrenceEndDate == b->RecurrenceEndDate &&
                         a->RecurrenceInstance == b->RecurrenceInstance &&
                         a->RecurrenceInterval == b->RecurrenceInterval &&
                         a->RecurrenceStartTime == b->RecurrenceStartTime &&
                         a->RecurrenceType == b->RecurrenceType))
        return false;
    if (s.DateNote && !SameText(a->Description, b->Description))
        return false;
    return true;
}

bool IsSameTask(const SFTaskRec* a, const SFTaskRec* b) {
    ++g_nRecordComparisons;
    if (!a || !b)
        return false;
    const TAppSettings& s = AppSettings;
    if (s.TaskSubject && !SameText(a->Subject, b->Subject))
        return false;
    if (s.TaskImportance && !SameText(a->Priority, b->Priority))
        return false;
    if (s.TaskDueDate && a->DueDate != b->DueDate)
        return false;
    if (s.TaskNote && !SameText(a->Description, b->Description))
        return false;
    return true;
}

bool IsSameNote(const SFNoteRec* a, const SFNoteRec* b) {
    ++g_nRecordComparisons;
    return a && b;
}

bool PreferAddr(const SFAddrRec* p, const SFAddrRec* q) {
    return PreferNewer(p, q);
}
bool PreferDate(const SFDateRec* p, const SFDateRec* q) {
    return PreferNewer(p, q);
}
bool PreferTask(const SFTaskRec* p, const SFTaskRec* q) {
    return PreferNewer(p, q);
}
bool PreferNote(const SFNoteRec* p, const SFNoteRec* q) {
    return p && q;
}

bool GroupAddrDups(SFAddrRec* seed) {
    return GroupDups(seed);
}
bool GroupDateDups(SFDateRec* seed) {
    return GroupDups(seed);
}
bool GroupTaskDups(SFTaskRec* seed) {
    return GroupDups(seed);
}
bool GroupNoteDups(SFNoteRec* seed) {
    return GroupDups(seed);
}

bool FindAddrDups() {
    return FindAddrDupsWith(TDupPlan::Auto);
}
bool FindDateDups() {
    return FindDateDupsWith(TDupPlan::Auto);
}
bool FindTaskDups() {
    return FindTaskDupsWith(TDupPlan::Auto);
}
bool FindNoteDups() {
    return FindNoteDupsWith(TDupPlan::Auto);
}

bool ScanAddrDups() {
    return ScanDups<SFAddrRec>();
}
bool ScanDateDups() {
    return ScanDups<SFDateRec>();
}
bool ScanTaskDups() {
    return ScanDups<SFTaskRec>();
}
bool ScanNoteDups() {
    return ScanDups<SFNoteRec>();
}

SFAddrRec* FirstAddrRecord() {
    return FirstRecord<SFAddrRec>();
}
SFAddrRec* NextAddrRecord() {
    return NextRecord<SFAddrRec>();
}
void SeekAddrRecord(SFAddrRec* record) {
    SeekRecord(record);
}
SFDateRec* FirstDateRecord() {
    return FirstRecord<SFDateRec>();
}
SFDateRec* NextDateRecord() {
    return NextRecord<SFDateRec>();
}
void SeekDateRecord(SFDateRec* record) {
    SeekRecord(record);
}
SFTaskRec* FirstTaskRecord() {
    return FirstRecord<SFTaskRec>();
}
SFTaskRec* NextTaskRecord() {
    return NextRecord<SFTaskRec>();
}
void SeekTaskRecord(SFTaskRec* record) {
    SeekRecord(record);
}
SFNoteRec* FirstNoteRecord() {
    return FirstRecord<SFNoteRec>();
}
SFNoteRec* NextNoteRecord() {
    return NextRecord<SFNoteRec>();
}
void SeekNoteRecord(SFNoteRec* record) {
    SeekRecord(record);
}

uint64_t GetRecordComparisons() {
    return g_nRecordComparisons;
}
void ResetRecordComparisons() {
    g_nRecordComparisons = 0;
}

void YesNoText(int flag, char* buf, size_t size) {
    if (!buf)
        return;
    CopyText(buf, size, flag ? "Yes" : "No");
}
