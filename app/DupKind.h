// What duplicate matching needs of each record kind: where its records and its
// duplicate list lie in CrmData, its record walk, its equality and preference,
// and, for the indexed engine, the members its rule flags compare.
#pragma once

#include "Apputil.h"
#include "CrmData.h"
#include "DupMatch.h"

#include <cstdint>

// The members that the rule flags in force compare, split the way the engine
// keys records: texts, each of which may be empty, and the rest (ObjectKind and
// the exactly compared numbers and flags), which is hashed as one value.
template <class TRec> struct TDupRules {
    static constexpr uint32_t kMaxTexts = 24;
    using TextOf = const char* (*)(const TRec&);

    TextOf texts[kMaxTexts] = {};
    uint32_t nTexts = 0;

    void Add(TextOf text) { texts[nTexts++] = text; }
};

template <class TRec> struct TDupKind;

template <> struct TDupKind<SFAddrRec> {
    static constexpr bool kHasTime = true;
    static CxSFAddrUtil* Util() { return CrmData.AddrUtil; }
    static CxList* DupList() { return CrmData.AddrDupList; }
    static SFAddrRec* First() { return FirstAddrRecord(); }
    static SFAddrRec* Next() { return NextAddrRecord(); }
    static bool IsSame(const SFAddrRec* a, const SFAddrRec* b) { return IsSameAddr(a, b); }
    static bool Prefer(const SFAddrRec* p, const SFAddrRec* q) { return PreferAddr(p, q); }
    static bool Scan() { return ScanAddrDups(); }
    static double Time(const SFAddrRec& r) { return r.LastModificationTime; }
    static void GetRules(const TAppSettings& s, TDupRules<SFAddrRec>& rules);
    // Hash of the members compared exactly; false when one of them is NaN,
    // which makes the record equal to no record.
    static bool FixedHash(const TAppSettings& s, const SFAddrRec& r, uint64_t& hash);
};

template <> struct TDupKind<SFDateRec> {
    static constexpr bool kHasTime = true;
    static CxSFDateUtil* Util() { return CrmData.DateUtil; }
    static CxList* DupList() { return CrmData.DateDupList; }
    static SFDateRec* First() { return FirstDateRecord(); }
    static SFDateRec* Next() { return NextDateRecord(); }
    static bool IsSame(const SFDateRec* a, const SFDateRec* b) { return IsSameDate(a, b); }
    static bool Prefer(const SFDateRec* p, const SFDateRec* q) { return PreferDate(p, q); }
    static bool Scan() { return ScanDateDups(); }
    static double Time(const SFDateRec& r) { return r.LastModificationTime; }
    static void GetRules(const TAppSettings& s, TDupRules<SFDateRec>& rules);
    static bool FixedHash(const TAppSettings& s, const SFDateRec& r, uint64_t& hash);
};

template <> struct TDupKind<SFTaskRec> {
    static constexpr bool kHasTime = true;
    static CxSFTaskUtil* Util() { return CrmData.TaskUtil; }
    static CxList* DupList() { return CrmData.TaskDupList; }
    static SFTaskRec* First() { return FirstTaskRecord(); }
    static SFTaskRec* Next() { return NextTaskRecord(); }
    static bool IsSame(const SFTaskRec* a, const SFTaskRec* b) { return IsSameTask(a, b); }
    static bool Prefer(const SFTaskRec* p, const SFTaskRec* q) { return PreferTask(p, q); }
    static bool Scan() { return ScanTaskDups(); }
    static double Time(const SFTaskRec& r) { return r.LastModificationTime; }
    static void GetRules(const TAppSettings& s, TDupRules<SFTaskRec>& rules);
    static bool FixedHash(const TAppSettings& s, const SFTaskRec& r, uint64_t& hash);
};

// Notes compare nothing and the first of an equal pair always survives.
template <> struct TDupKind<SFNoteRec> {
    static constexpr bool kHasTime = false;
    static CxSFNoteUtil* Util() { return CrmData.NoteUtil; }
    static CxList* DupList() { return CrmData.NoteDupList; }
    static SFNoteRec* First() { return FirstNoteRecord(); }
    static SFNoteRec* Next() { return NextNoteRecord(); }
    static bool IsSame(const SFNoteRec* a, const SFNoteRec* b) { return IsSameNote(a, b); }
    static bool Prefer(const SFNoteRec* p, const SFNoteRec* q) { return PreferNote(p, q); }
    static bool Scan() { return ScanNoteDups(); }
    static double Time(const SFNoteRec&) { return 0; }
    static void GetRules(const TAppSettings&, TDupRules<SFNoteRec>&) {}
    static bool FixedHash(const TAppSettings&, const SFNoteRec&, uint64_t& hash) {
        hash = 0;
        return true;
    }
};
