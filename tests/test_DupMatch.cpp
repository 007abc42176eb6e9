#include "DupMatch.h"

#include "Apputil.h"
#include "CrmData.h"
#include "CrmFixture.h"
#include "CxText.h"
#include "DupEngine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using testsupport::SetDefaultRules;

void ClearRules(TAppSettings& s) {
    s.AddrDisplayName = s.AddrFirstName = s.AddrLastName = s.AddrEmail = false;
    s.AddrDepartment = s.AddrTitle = s.AddrPhone = s.AddrAddress = false;
    s.AddrBirthday = s.AddrNote = false;
    s.DateSubject = s.DateStartTime = s.DateEndTime = s.DateAllDayEvent = false;
    s.DateLocation = s.DateRecur = s.DateNote = false;
    s.TaskSubject = s.TaskImportance = s.TaskDueDate = s.TaskNote = false;
}

template <class TRec> std::vector<TRec*> Items(CxList* list) {
    std::vector<TRec*> items;
    for (void* item = list->GetFirst(); item; item = list->GetNext())
        items.push_back(static_cast<TRec*>(item));
    return items;
}

// A CrmData built by hand: every record is kept by its exchange object and
// linked both ways with an entry of the collection, as reading a data file does.
class MatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = AppSettings;
        SetDefaultRules(AppSettings);
    }
    void TearDown() override { AppSettings = m_saved; }

    template <class TUtil> typename TUtil::Record* Add(TUtil* util, typename TUtil::Record rec) {
        return testsupport::HandMadeCrmData::Keep(util, rec);
    }

    SFAddrRec* AddContact(const char* name, const char* email, double time, int32_t kind = 0) {
        SFAddrRec rec;
        CopyText(rec.Name, name);
        CopyText(rec.Email, email);
        rec.LastModificationTime = time;
        rec.ObjectKind = kind;
        return Add(CrmData.AddrUtil, rec);
    }

    testsupport::HandMadeCrmData m_data;
    TAppSettings m_saved;
};

// --- Text comparison ------------------------------------------------------

struct TextCase {
    bool compareEmpty;
    bool caseSensitive;
    const char* a;
    const char* b;
    bool same;
};

const TextCase kTextCases[] = {
    {false, false, "", "Anna", true}, // an empty value matches anything
    {false, false, "Anna", "", true},
    {false, false, "", "", true},
    {true, false, "", "Anna", false}, // with CompareEmpty only another empty value
    {true, false, "", "", true},
    {false, false, "Anna Berg", "ANNA BERG", true},
    {false, true, "Anna Berg", "ANNA BERG", false},
    {false, true, "Anna", "Anna", true},
    {false, false, "Anna ", "Anna", false}, // no trimming
    {false, false, "Anna", "Anne", false},
    {false, false, "a[", "A{", false}, // only letters fold, not their neighbours
    {false, false, "\xC3\xA4rger", "\xC3\x84RGER", false}, // a umlaut vs A umlaut
    {false, true, "\xC3\xA4rger", "\xC3\x84rger", false},
    {false, false, "\xC3\xA4rger", "\xC3\xA4RGER", true}, // the ASCII part still folds
    {false, false, "\xE4", "\xC4", false},                // single high bytes never fold either
};

void ExpectTextCases() {
    for (const TextCase& c : kTextCases) {
        AppSettings.CompareEmpty = c.compareEmpty;
        AppSettings.CaseSensitive = c.caseSensitive;
        EXPECT_EQ(CompareField(c.a, c.b) == 0, c.same)
            << "\"" << c.a << "\" vs \"" << c.b << "\" empty=" << c.compareEmpty
            << " case=" << c.caseSensitive;
    }
}

TEST_F(MatchTest, CompareFieldRules) {
    ExpectTextCases();
    AppSettings.CompareEmpty = true;
    AppSettings.CaseSensitive = false;
    EXPECT_NE(CompareField(nullptr, "x"), 0);
    EXPECT_EQ(CompareField(nullptr, ""), 0);
}

TEST_F(MatchTest, CaseFoldingIgnoresTheLocale) {
    // Locales whose own case mapping folds bytes that the rules keep apart.
    const char* locales[] = {"C.UTF-8",          "C.utf8",      "de_DE.UTF-8",
                             "de_DE.ISO-8859-1", "tr_TR.UTF-8", "tr_TR.ISO-8859-9"};
    std::string old = std::setlocale(LC_ALL, nullptr);
    int tried = 0;
    for (const char* name : locales) {
        if (!std::setlocale(LC_ALL, name))
            continue;
        ++tried;
        SCOPED_TRACE(name);
        ExpectTextCases();
        AppSettings.CaseSensitive = false;
        AppSettings.CompareEmpty = false;
        EXPECT_EQ(CompareField("kiwi", "KIWI"), 0);
    }
    std::setlocale(LC_ALL, old.c_str());
    if (tried == 0)
        GTEST_SKIP() << "no locale other than C installed";
}

// --- Record equality --------------------------------------------------------

// One rule flag and a change to record b for each member the flag compares.
template <class TRec> struct RuleCase {
    const char* name;
    bool TAppSettings::*flag;
    std::vector<std::function<void(TRec&)>> changes;
};

// For each rule alone: equal records are the same; a change to any of its
// members makes them differ; the changes of every other rule do not.
template <class TRec>
void ExpectRules(const std::vector<RuleCase<TRec>>& rules, const TRec& base,
                 const std::vector<std::function<void(TRec&)>>& ignored,
                 bool (*isSame)(const TRec*, const TRec*)) {
    for (const RuleCase<TRec>& rule : rules) {
        SCOPED_TRACE(rule.name);
        ClearRules(AppSettings);
        AppSettings.*rule.flag = true;
        TRec b = base;
        EXPECT_TRUE(isSame(&base, &b));
        for (size_t i = 0; i < rule.changes.size(); ++i) {
            TRec changed = base;
            rule.changes[i](changed);
            EXPECT_FALSE(isSame(&base, &changed)) << "member " << i;
        }
        TRec others = base;
        for (const RuleCase<TRec>& other : rules)
            if (&other != &rule)
                for (const auto& change : other.changes)
                    change(others);
        for (const auto& change : ignored)
            change(others);
        EXPECT_TRUE(isSame(&base, &others));
    }
}

#define TEXT(member) [](auto& r) { CopyText(r.member, "other"); }
#define VALUE(member, v) [](auto& r) { r.member = v; }

TEST_F(MatchTest, ContactRulesCompareTheirMembers) {
    SFAddrRec base;
    for (char* text : {base.Name, base.FirstName, base.LastName, base.Department, base.Title,
                       base.Phone, base.MobilePhone, base.OtherPhone, base.MailingCity,
                       base.MailingCountry, base.MailingPostalCode, base.MailingState,
                       base.OtherCity, base.OtherCountry, base.OtherPostalCode, base.OtherState})
        CopyText(text, 32, "same");
    CopyText(base.Email, "same@example.com");
    CopyText(base.MailingStreet, "same");
    CopyText(base.OtherStreet, "same");
    base.Description.Set("same");
    base.BirthDate = 20000.0;

    const std::vector<RuleCase<SFAddrRec>> rules = {
        {"AddrDisplayName", &TAppSettings::AddrDisplayName, {TEXT(Name)}},
        {"AddrFirstName", &TAppSettings::AddrFirstName, {TEXT(FirstName)}},
        {"AddrLastName", &TAppSettings::AddrLastName, {TEXT(LastName)}},
        {"AddrDepartment", &TAppSettings::AddrDepartment, {TEXT(Department)}},
        {"AddrTitle", &TAppSettings::AddrTitle, {TEXT(Title)}},
        {"AddrEmail", &TAppSettings::AddrEmail, {TEXT(Email)}},
        {"AddrPhone", &TAppSettings::AddrPhone, {TEXT(Phone), TEXT(MobilePhone), TEXT(OtherPhone)}},
        {"AddrAddress",
         &TAppSettings::AddrAddress,
         {TEXT(MailingCity), TEXT(MailingCountry), TEXT(MailingPostalCode), TEXT(MailingState),
          TEXT(MailingStreet), TEXT(OtherCity), TEXT(OtherCountry), TEXT(OtherPostalCode),
          TEXT(OtherState), TEXT(OtherStreet)}},
        {"AddrBirthday", &TAppSettings::AddrBirthday, {VALUE(BirthDate, 20001.0)}},
        {"AddrNote", &TAppSettings::AddrNote, {[](SFAddrRec& r) { r.Description.Set("other"); }}},
    };
    const std::vector<std::function<void(SFAddrRec&)>> ignored = {
        TEXT(Fax), TEXT(Id), TEXT(BillingCity), TEXT(HasPhone), VALUE(LastModificationTime, 9.0)};
    ExpectRules(rules, base, ignored, &IsSameAddr);
}

TEST_F(MatchTest, EventRulesCompareTheirMembers) {
    SFDateRec base;
    CopyText(base.Subject, "same");
    CopyText(base.Location, "same");
    base.Description.Set("same");
    base.StartTime = 45000.5;
    base.EndTime = 45000.75;
    base.RecurrenceEndDate = 45100.0;
    base.RecurrenceStartTime = 45000.0;

    const std::vector<RuleCase<SFDateRec>> rules = {
        {"DateSubject", &TAppSettings::DateSubject, {TEXT(Subject)}},
        {"DateStartTime", &TAppSettings::DateStartTime, {VALUE(StartTime, 45000.6)}},
        {"DateEndTime", &TAppSettings::DateEndTime, {VALUE(EndTime, 45000.8)}},
        {"DateLocation", &TAppSettings::DateLocation, {TEXT(Location)}},
        {"DateAllDayEvent", &TAppSettings::DateAllDayEvent, {VALUE(AllDayEvent, true)}},
        {"DateRecur",
         &TAppSettings::DateRecur,
         {VALUE(IsRecurrence, true), VALUE(RecurrenceDayOfMonth, 3),
          VALUE(RecurrenceDayOfWeekMask, 4), VALUE(RecurrenceEndDate, 45200.0),
          VALUE(RecurrenceInstance, 2), VALUE(RecurrenceInterval, 7),
          VALUE(RecurrenceStartTime, 45001.0), VALUE(RecurrenceType, 1)}},
        {"DateNote", &TAppSettings::DateNote, {[](SFDateRec& r) { r.Description.Set("other"); }}},
    };
    const std::vector<std::function<void(SFDateRec&)>> ignored = {
        VALUE(RecurrenceMonthOfYear, 5), TEXT(RecurrenceTimeZone), TEXT(ShowAs),
        VALUE(IsPrivate, true), VALUE(LastModificationTime, 9.0)};
    ExpectRules(rules, base, ignored, &IsSameDate);
}

TEST_F(MatchTest, TaskRulesCompareTheirMembers) {
    SFTaskRec base;
    CopyText(base.Subject, "same");
    CopyText(base.Priority, "High");
    base.Description.Set("same");
    base.DueDate = 45000.0;

    const std::vector<RuleCase<SFTaskRec>> rules = {
        {"TaskSubject", &TAppSettings::TaskSubject, {TEXT(Subject)}},
        {"TaskImportance", &TAppSettings::TaskImportance, {TEXT(Priority)}},
        {"TaskDueDate", &TAppSettings::TaskDueDate, {VALUE(DueDate, 45001.0)}},
        {"TaskNote", &TAppSettings::TaskNote, {[](SFTaskRec& r) { r.Description.Set("other"); }}},
    };
    const std::vector<std::function<void(SFTaskRec&)>> ignored = {
        TEXT(TaskStatus), TEXT(CallType), VALUE(Flag1, true), VALUE(LastModificationTime, 9.0)};
    ExpectRules(rules, base, ignored, &IsSameTask);
}

#undef TEXT
#undef VALUE

TEST_F(MatchTest, TextRulesFollowCaseAndEmptySettings) {
    ClearRules(AppSettings);
    AppSettings.AddrNote = true;
    SFAddrRec a, b;
    a.Description.Set("Call back");
    b.Description.Set("CALL BACK");
    EXPECT_TRUE(IsSameAddr(&a, &b));
    AppSettings.CaseSensitive = true;
    EXPECT_FALSE(IsSameAddr(&a, &b));
    b.Description.Clear();
    EXPECT_TRUE(IsSameAddr(&a, &b));
    AppSettings.CompareEmpty = true;
    EXPECT_FALSE(IsSameAddr(&a, &b));
}

TEST_F(MatchTest, UnsetDatesAreValuesNotEmptyTexts) {
    ClearRules(AppSettings);
    AppSettings.AddrBirthday = true;
    SFAddrRec a, b;
    EXPECT_TRUE(IsSameAddr(&a, &b)); // both unset
    b.BirthDate = 30000.0;
    EXPECT_FALSE(IsSameAddr(&a, &b)); // CompareEmpty does not apply to dates
}

TEST_F(MatchTest, ObjectKindAndNullRecords) {
    ClearRules(AppSettings);
    SFAddrRec a, b;
    EXPECT_TRUE(IsSameAddr(&a, &b)); // every rule off: same kind is enough
    b.ObjectKind = 2;
    EXPECT_FALSE(IsSameAddr(&a, &b));
    EXPECT_FALSE(IsSameAddr(&a, nullptr));
    EXPECT_FALSE(IsSameAddr(nullptr, &a));

    SFDateRec d;
    SFTaskRec t;
    SFNoteRec n1, n2;
    EXPECT_TRUE(IsSameDate(&d, &d));
    EXPECT_FALSE(IsSameDate(&d, nullptr));
    EXPECT_FALSE(IsSameTask(nullptr, &t));
    EXPECT_TRUE(IsSameNote(&n1, &n2));
    EXPECT_FALSE(IsSameNote(&n1, nullptr));
}

TEST_F(MatchTest, PreferenceByModificationTime) {
    struct Case {
        double p, q;
        bool prefer;
    };
    const Case cases[] = {
        {5, 3, true}, {5, 5, true}, {3, 5, false}, {NAN, 5, false}, {5, NAN, false}};
    for (const Case& c : cases) {
        SFAddrRec p, q;
        p.LastModificationTime = c.p;
        q.LastModificationTime = c.q;
        SFDateRec dp, dq;
        dp.LastModificationTime = c.p;
        dq.LastModificationTime = c.q;
        SFTaskRec tp, tq;
        tp.LastModificationTime = c.p;
        tq.LastModificationTime = c.q;
        EXPECT_EQ(PreferAddr(&p, &q), c.prefer) << c.p << " vs " << c.q;
        EXPECT_EQ(PreferDate(&dp, &dq), c.prefer) << c.p << " vs " << c.q;
        EXPECT_EQ(PreferTask(&tp, &tq), c.prefer) << c.p << " vs " << c.q;
    }
    SFAddrRec r;
    EXPECT_FALSE(PreferAddr(&r, nullptr));
    EXPECT_FALSE(PreferAddr(nullptr, &r));
    SFNoteRec n1, n2;
    EXPECT_TRUE(PreferNote(&n1, &n2));
    EXPECT_FALSE(PreferNote(nullptr, &n2));
}

// --- Grouping and the duplicate list -----------------------------------------

// The hand-made cases below hold for the scan that defines the results and
// for the engine, in its own plan and indexed from the first record on.
struct Matcher {
    const char* name;
    bool (*addr)();
    bool (*date)();
    bool (*task)();
    bool (*note)();
};

const Matcher kMatchers[] = {
    {"Scan", ScanAddrDups, ScanDateDups, ScanTaskDups, ScanNoteDups},
    {"Engine", FindAddrDups, FindDateDups, FindTaskDups, FindNoteDups},
    {"EngineIndexed", [] { return FindAddrDupsWith(TDupPlan::Indexed); },
     [] { return FindDateDupsWith(TDupPlan::Indexed); },
     [] { return FindTaskDupsWith(TDupPlan::Indexed); },
     [] { return FindNoteDupsWith(TDupPlan::Indexed); }},
};

class GroupTest : public MatchTest, public ::testing::WithParamInterface<Matcher> {
protected:
    bool FindAddr() { return GetParam().addr(); }
    bool FindDate() { return GetParam().date(); }
    bool FindTask() { return GetParam().task(); }
    bool FindNote() { return GetParam().note(); }
};

INSTANTIATE_TEST_SUITE_P(Matchers, GroupTest, ::testing::ValuesIn(kMatchers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(GroupTest, NewestSurvivesAndLosersAreListedInMarkingOrder) {
    ClearRules(AppSettings);
    AppSettings.AddrDisplayName = true;
    SFAddrRec* r1 = AddContact("Anna Berg", "", 1);
    SFAddrRec* r3 = AddContact("Anna Berg", "", 3);
    SFAddrRec* r2 = AddContact("Anna Berg", "", 2);
    SFAddrRec* other = AddContact("Carl Dahl", "", 4);
    r1->Flags = mkDelete; // ticks of the review page are not matching's business

    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(Items<SFAddrRec>(CrmData.AddrDupList), (std::vector<SFAddrRec*>{r1, r2}));
    EXPECT_EQ(r1->Flags, uint32_t(mkDuplicate | mkDelete));
    EXPECT_EQ(r3->Flags, 0u);
    EXPECT_EQ(r2->Flags, uint32_t(mkDuplicate));
    EXPECT_EQ(other->Flags, 0u);
}

TEST_P(GroupTest, EqualTimesKeepTheEarlierRecord) {
    SFAddrRec* first = AddContact("Anna Berg", "anna@example.com", 5);
    SFAddrRec* second = AddContact("ANNA BERG", "Anna@Example.com", 5);
    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(Items<SFAddrRec>(CrmData.AddrDupList), (std::vector<SFAddrRec*>{second}));
    EXPECT_EQ(first->Flags, 0u);
}

TEST_P(GroupTest, EmptyEmailMatchesOnlyWithoutCompareEmpty) {
    ClearRules(AppSettings);
    AppSettings.AddrEmail = true;
    AddContact("", "anna@example.com", 5);
    SFAddrRec* blank = AddContact("", "", 1);
    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(Items<SFAddrRec>(CrmData.AddrDupList), (std::vector<SFAddrRec*>{blank}));
    AppSettings.CompareEmpty = true;
    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(CrmData.AddrDupList->GetCount(), 0u);
    EXPECT_EQ(blank->Flags, 0u);
}

TEST_P(GroupTest, RecordMatchingTwoGroupsIsListedOnce) {
    ClearRules(AppSettings);
    AppSettings.AddrEmail = true;
    SFAddrRec* a = AddContact("", "a@example.com", 5);
    SFAddrRec* b = AddContact("", "b@example.com", 5);
    SFAddrRec* x = AddContact("", "", 1);
    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(Items<SFAddrRec>(CrmData.AddrDupList), (std::vector<SFAddrRec*>{x}));
    EXPECT_EQ(a->Flags, 0u);
    EXPECT_EQ(b->Flags, 0u);
    EXPECT_EQ(x->Flags, uint32_t(mkDuplicate));
}

TEST_P(GroupTest, ListedRecordDemotedAgainAsSurvivorIsNotListedTwice) {
    ClearRules(AppSettings);
    AppSettings.AddrEmail = true;
    // s1's group: q outlives s1, then r outlives q. s2's group: q (already
    // listed) outlives s2 and becomes the survivor, then r demotes it again.
    SFAddrRec* s1 = AddContact("", "a@example.com", 1);
    SFAddrRec* s2 = AddContact("", "b@example.com", 2);
    SFAddrRec* q = AddContact("", "", 5);
    SFAddrRec* r = AddContact("", "b@example.com", 9);
    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(Items<SFAddrRec>(CrmData.AddrDupList), (std::vector<SFAddrRec*>{s1, q, s2}));
    EXPECT_EQ(r->Flags, 0u);
    EXPECT_EQ(q->Flags, uint32_t(mkDuplicate));
}

// The default rules; January and March differ in their e-mail, February has
// none. January loses to February, February to March: both stay for March,
// and January, which March does not equal, is listed as indirect.
TEST_P(GroupTest, ChainThroughAnEmptyEmailKeepsTheLastAndFlagsTheUnequal) {
    SFAddrRec* january = AddContact("John Smith", "john.smith@alpha.example", 31);
    SFAddrRec* february = AddContact("John Smith", "", 59);
    SFAddrRec* march = AddContact("John Smith", "john.smith@beta.example", 90);
    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(Items<SFAddrRec>(CrmData.AddrDupList), (std::vector<SFAddrRec*>{january, february}));
    EXPECT_EQ(january->KeptRecord, march);
    EXPECT_EQ(february->KeptRecord, march);
    EXPECT_EQ(march->KeptRecord, nullptr);
    EXPECT_EQ(january->Flags, uint32_t(mkDuplicate | mkIndirect));
    EXPECT_EQ(february->Flags, uint32_t(mkDuplicate));
    EXPECT_EQ(march->Flags, 0u);
}

// The survivor of p's group (s) is marked by h's group later: p's kept
// record is h, the record that stays for s, never the listed s.
TEST_P(GroupTest, SurvivorMarkedByALaterGroupHandsOnItsKeptRecord) {
    ClearRules(AppSettings);
    AppSettings.AddrEmail = true;
    SFAddrRec* p = AddContact("", "p@example.com", 1);
    SFAddrRec* h = AddContact("", "h@example.com", 9);
    SFAddrRec* s = AddContact("", "", 2);
    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(Items<SFAddrRec>(CrmData.AddrDupList), (std::vector<SFAddrRec*>{p, s}));
    EXPECT_EQ(p->KeptRecord, h);
    EXPECT_EQ(s->KeptRecord, h);
    EXPECT_EQ(p->Flags, uint32_t(mkDuplicate | mkIndirect));
    EXPECT_EQ(s->Flags, uint32_t(mkDuplicate));
    EXPECT_EQ(h->Flags, 0u);
}

// A task without a valid modification time loses to, and wins against, any
// other: here the survivors of the two groups mark each other, every task is
// listed, and no task stays for any of them. None gets a kept record; all are
// indirect.
TEST_P(GroupTest, SurvivorsMarkingEachOtherLeaveNoKeptRecord) {
    const struct {
        const char* subject;
        const char* priority;
        double modified;
    } kTasks[] = {{"", "b", 2}, {"b", "a", 1}, {"b", "", 2}, {"a", "b", NAN}, {"", "b", 2}};
    std::vector<SFTaskRec*> tasks;
    for (const auto& t : kTasks) {
        SFTaskRec rec;
        CopyText(rec.Subject, t.subject);
        CopyText(rec.Priority, t.priority);
        rec.LastModificationTime = t.modified;
        tasks.push_back(Add(CrmData.TaskUtil, rec));
    }
    ASSERT_TRUE(FindTask());
    EXPECT_EQ(CrmData.TaskDupList->GetCount(), 5u);
    for (SFTaskRec* task : tasks) {
        EXPECT_EQ(task->Flags, uint32_t(mkDuplicate | mkIndirect));
        EXPECT_EQ(task->KeptRecord, nullptr);
    }
}

TEST_P(GroupTest, ObjectKindSeparatesEvenWithoutRules) {
    ClearRules(AppSettings);
    SFAddrRec* contact = AddContact("Anna", "", 3, 1);
    SFAddrRec* bob = AddContact("Bob", "", 2, 2);
    SFAddrRec* older = AddContact("Carl", "", 1, 1);
    SFAddrRec* lead = AddContact("Dora", "", 9, 2);
    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(Items<SFAddrRec>(CrmData.AddrDupList), (std::vector<SFAddrRec*>{older, bob}));
    EXPECT_EQ(contact->Flags, 0u);
    EXPECT_EQ(lead->Flags, 0u);
}

TEST_P(GroupTest, AllNotesFormOneGroup) {
    SFNoteRec note;
    SFNoteRec* n0 = Add(CrmData.NoteUtil, note);
    SFNoteRec* n1 = Add(CrmData.NoteUtil, note);
    SFNoteRec* n2 = Add(CrmData.NoteUtil, note);
    ASSERT_TRUE(FindNote());
    EXPECT_EQ(Items<SFNoteRec>(CrmData.NoteDupList), (std::vector<SFNoteRec*>{n1, n2}));
    EXPECT_EQ(n0->Flags, 0u);
    EXPECT_EQ(n1->KeptRecord, n0);
    EXPECT_EQ(n2->KeptRecord, n0);
    EXPECT_EQ(n2->Flags, uint32_t(mkDuplicate));
}

TEST_P(GroupTest, EventsAndTasksFillTheirOwnLists) {
    SFDateRec event;
    CopyText(event.Subject, "Review");
    event.LastModificationTime = 1;
    SFDateRec* oldEvent = Add(CrmData.DateUtil, event);
    event.LastModificationTime = 2;
    Add(CrmData.DateUtil, event);
    SFTaskRec task;
    CopyText(task.Subject, "Call");
    task.LastModificationTime = 7;
    Add(CrmData.TaskUtil, task);
    task.LastModificationTime = 3;
    SFTaskRec* oldTask = Add(CrmData.TaskUtil, task);

    ASSERT_TRUE(FindDate());
    ASSERT_TRUE(FindTask());
    EXPECT_EQ(Items<SFDateRec>(CrmData.DateDupList), (std::vector<SFDateRec*>{oldEvent}));
    EXPECT_EQ(Items<SFTaskRec>(CrmData.TaskDupList), (std::vector<SFTaskRec*>{oldTask}));
    EXPECT_EQ(CrmData.AddrDupList->GetCount(), 0u);
}

TEST_P(GroupTest, RunningAgainGivesTheSameListAndDropsStaleMarks) {
    ClearRules(AppSettings);
    AppSettings.AddrEmail = true;
    SFAddrRec* a = AddContact("", "a@example.com", 5);
    AddContact("", "b@example.com", 5);
    SFAddrRec* x = AddContact("", "", 1);
    SFAddrRec* y = AddContact("", "A@example.com", 2);
    ASSERT_TRUE(FindAddr());
    const std::vector<SFAddrRec*> first = Items<SFAddrRec>(CrmData.AddrDupList);
    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(Items<SFAddrRec>(CrmData.AddrDupList), first);
    EXPECT_EQ(first, (std::vector<SFAddrRec*>{x, y}));

    // A stale mark, kept record and entry of an earlier run are gone after a new run.
    a->Flags = mkDuplicate | mkIndirect;
    a->KeptRecord = x;
    CrmData.AddrDupList->Add(a);
    AppSettings.AddrEmail = false;
    AppSettings.AddrDisplayName = true;
    AppSettings.CompareEmpty = true;
    ASSERT_TRUE(FindAddr());
    EXPECT_EQ(CrmData.AddrDupList->GetCount(), 3u); // all names empty: one group
    EXPECT_EQ(a->Flags, 0u);                        // the first of four with the newest time
    EXPECT_EQ(a->KeptRecord, nullptr);
    EXPECT_EQ(x->KeptRecord, a);
}

TEST_P(GroupTest, KindWithoutDataChangesNothing) {
    SFDateRec event;
    event.Flags = mkDuplicate;
    SFDateRec* kept = Add(CrmData.DateUtil, event);
    CxList* dateList = CrmData.DateDupList;
    dateList->Add(kept);

    CrmData.DateDupList = nullptr;
    EXPECT_FALSE(FindDate());
    EXPECT_EQ(kept->Flags, uint32_t(mkDuplicate));
    EXPECT_EQ(kept->WalkEntry, nullptr); // not even walked
    EXPECT_FALSE(GroupDateDups(kept));
    CrmData.DateDupList = dateList;

    delete CrmData.TaskUtil;
    CrmData.TaskUtil = nullptr;
    EXPECT_FALSE(FindTask());
    EXPECT_EQ(FirstTaskRecord(), nullptr);
    EXPECT_EQ(dateList->GetCount(), 1u);
}

TEST_F(MatchTest, ScanComparesEveryPairOnceWhenNothingMatches) {
    const char* names[] = {"A", "B", "C", "D", "E"};
    for (const char* name : names)
        AddContact(name, "", 1);
    ResetRecordComparisons();
    ASSERT_TRUE(ScanAddrDups());
    EXPECT_EQ(GetRecordComparisons(), 10u);
    EXPECT_EQ(CrmData.AddrDupList->GetCount(), 0u);
}

// --- Record walk ------------------------------------------------------------

TEST_F(MatchTest, WalkRemembersEntriesAndSeekResumesAfterARecord) {
    EXPECT_EQ(FirstAddrRecord(), nullptr);
    SFAddrRec* a = AddContact("A", "", 1);
    SFAddrRec* b = AddContact("B", "", 1);
    SFAddrRec* c = AddContact("C", "", 1);
    EXPECT_EQ(FirstAddrRecord(), a);
    EXPECT_EQ(NextAddrRecord(), b);
    EXPECT_EQ(NextAddrRecord(), c);
    EXPECT_EQ(NextAddrRecord(), nullptr);
    EXPECT_EQ(b->WalkEntry, b->Entry);

    SeekAddrRecord(a);
    EXPECT_EQ(NextAddrRecord(), b);
    SeekAddrRecord(nullptr); // harmless
    EXPECT_EQ(NextAddrRecord(), c);

    // A group leaves the cursor on its seed.
    FirstAddrRecord();
    NextAddrRecord();
    NextAddrRecord();
    EXPECT_TRUE(GroupAddrDups(a));
    EXPECT_EQ(NextAddrRecord(), b);
}

TEST_F(MatchTest, EntryWithoutRecordEndsTheWalk) {
    SFAddrRec* a = AddContact("A", "", 1);
    SFAddrRec* b = AddContact("B", "", 1);
    AddContact("C", "", 1);
    b->Entry->NativeData = nullptr;
    EXPECT_EQ(FirstAddrRecord(), a);
    EXPECT_EQ(NextAddrRecord(), nullptr);
    b->Entry->NativeData = b;
}

TEST_F(MatchTest, GroupRefusesSeedsItCannotPlace) {
    SFAddrRec* a = AddContact("A", "", 1);
    EXPECT_FALSE(GroupAddrDups(nullptr));
    EXPECT_FALSE(GroupAddrDups(a)); // never reached by a walk
    FirstAddrRecord();
    a->Flags = mkDuplicate;
    EXPECT_FALSE(GroupAddrDups(a));
    a->Flags = 0;
    EXPECT_TRUE(GroupAddrDups(a));
}

TEST(YesNoTextTest, WritesYesOrNo) {
    char buf[8] = "xxxxxxx";
    YesNoText(1, buf);
    EXPECT_STREQ(buf, "Yes");
    YesNoText(0, buf);
    EXPECT_STREQ(buf, "No");
    YesNoText(-7, buf, sizeof(buf));
    EXPECT_STREQ(buf, "Yes");
    char small[3];
    YesNoText(1, small);
    EXPECT_STREQ(small, "Ye");
    YesNoText(1, nullptr, 8);
}

} // namespace
