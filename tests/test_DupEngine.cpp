// The matching engine against the scan that defines the results: seeded
// random record sets of every kind under random rule flags, where the engine
// (in each of its plans) must leave the same Flags and kept record on every
// record and the same duplicate list, item for item, as the scan.
#include "DupEngine.h"

#include "Apputil.h"
#include "CrmData.h"
#include "CrmFixture.h"
#include "CxText.h"
#include "DupHash.h"
#include "DupMatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using testsupport::HandMadeCrmData;
using testsupport::ListItems;

// Small alphabets, so that equal values, case variants and empty texts are
// frequent: texts that differ only in case, only in bytes outside a-z/A-Z
// (the neighbours of the letters, a-umlaut in UTF-8 and in Latin-1, a trailing
// blank), and empty ones.
const char* const kTexts[] = {"",  "a", "A",        "ab",       "AB",   "aB",  "a ",
                              "[", "{", "\xC3\xA4", "\xC3\x84", "\xE4", "\xC4"};
// Modification times: equal ones, NaN, infinities, negatives, 0 and -0.
const double kTimes[] = {1, 2, 3, 0, -0.0, -1, NAN, INFINITY, -INFINITY};
// Compared numbers: NaN equals nothing, -0 equals 0.
const double kNumbers[] = {0, -0.0, 45000.5, 1, NAN, INFINITY};

enum class Kind { Addr, Date, Task, Note };

const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::Addr:
        return "contacts";
    case Kind::Date:
        return "events";
    case Kind::Task:
        return "tasks";
    case Kind::Note:
        return "notes";
    }
    return "?";
}

// One random record set: how its values are drawn.
class RecordMaker {
public:
    explicit RecordMaker(uint32_t seed) : m_rng(seed) {
        // Few or many distinct texts, rarely or often empty.
        m_nTexts = Between(2, sizeof(kTexts) / sizeof(kTexts[0]));
        const double emptyChances[] = {0, 0.05, 0.3, 0.7};
        m_emptyChance = emptyChances[Between(0, 4)];
        m_nTimes = Between(1, sizeof(kTimes) / sizeof(kTimes[0]));
        m_nKinds = Between(1, 4);
        m_nNumbers = Between(1, sizeof(kNumbers) / sizeof(kNumbers[0]));
    }

    uint32_t Between(uint32_t low, uint32_t high) { // [low, high)
        return std::uniform_int_distribution<uint32_t>(low, high - 1)(m_rng);
    }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_rng) < p; }

    const char* Text() { return Chance(m_emptyChance) ? "" : kTexts[1 + Between(0, m_nTexts - 1)]; }
    double Time() { return kTimes[Between(0, m_nTimes)]; }
    double Number() { return kNumbers[Between(0, m_nNumbers)]; }
    int32_t Small() { return static_cast<int32_t>(Between(0, 2)); }

    void Fill(SFAddrRec& r) {
        for (char* text :
             {r.Name, r.FirstName, r.LastName, r.Department, r.Title, r.Phone, r.MobilePhone,
              r.OtherPhone, r.MailingCity, r.MailingCountry, r.MailingPostalCode, r.MailingState,
              r.OtherCity, r.OtherCountry, r.OtherPostalCode, r.OtherState})
            CopyText(text, 32, Text());
        CopyText(r.Email, Text());
        CopyText(r.MailingStreet, Text());
        CopyText(r.OtherStreet, Text());
        r.Description.Set(Text());
        r.ObjectKind = static_cast<int32_t>(Between(0, m_nKinds));
        r.BirthDate = Number();
        r.LastModificationTime = Time();
    }

    void Fill(SFDateRec& r) {
        CopyText(r.Subject, Text());
        CopyText(r.Location, Text());
        r.Description.Set(Text());
        r.StartTime = Number();
        r.EndTime = Number();
        r.AllDayEvent = Chance(0.5);
        r.IsRecurrence = Chance(0.5);
        r.RecurrenceDayOfMonth = Small();
        r.RecurrenceDayOfWeekMask = Small();
        r.RecurrenceEndDate = Number();
        r.RecurrenceInstance = Small();
        r.RecurrenceInterval = Small();
        r.RecurrenceStartTime = Number();
        r.RecurrenceType = Small();
        r.RecurrenceMonthOfYear = Small(); // compared by no rule
        r.LastModificationTime = Time();
    }

    void Fill(SFTaskRec& r) {
        CopyText(r.Subject, Text());
        CopyText(r.Priority, Text());
        r.Description.Set(Text());
        r.DueDate = Number();
        r.LastModificationTime = Time();
    }

    void Fill(SFNoteRec&) {}

    // Rule flags: the defaults, all on, all off, or each at random.
    void Rules(TAppSettings& s) {
        bool* const flags[] = {&s.AddrDisplayName, &s.AddrFirstName, &s.AddrLastName,
                               &s.AddrDepartment,  &s.AddrTitle,     &s.AddrEmail,
                               &s.AddrPhone,       &s.AddrAddress,   &s.AddrBirthday,
                               &s.AddrNote,        &s.DateSubject,   &s.DateStartTime,
                               &s.DateEndTime,     &s.DateLocation,  &s.DateAllDayEvent,
                               &s.DateRecur,       &s.DateNote,      &s.TaskSubject,
                               &s.TaskImportance,  &s.TaskDueDate,   &s.TaskNote};
        testsupport::SetDefaultRules(s);
        switch (Between(0, 4)) {
        case 0:
            break;
        case 1:
        case 2: {
            const bool on = Chance(0.5);
            for (bool* flag : flags)
                *flag = on;
            break;
        }
        default:
            for (bool* flag : flags)
                *flag = Chance(0.5);
        }
        s.CaseSensitive = Chance(0.5);
        s.CompareEmpty = Chance(0.3);
    }

private:
    std::mt19937 m_rng;
    uint32_t m_nTexts;
    double m_emptyChance;
    uint32_t m_nTimes;
    uint32_t m_nKinds;
    uint32_t m_nNumbers;
};

template <class TUtil> void AddRecords(TUtil* util, RecordMaker& maker, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        typename TUtil::Record rec;
        maker.Fill(rec);
        HandMadeCrmData::Keep(util, rec);
    }
}

// The outcome of one run: every record's Flags and KeptRecord in collection
// order, the duplicate list, and whether every listed record has a kept
// record that is not listed itself (or none, and mkIndirect).
struct Outcome {
    std::vector<uint32_t> flags;
    std::vector<void*> kept;
    std::vector<void*> list;
    bool bKeptUnlisted = true;
};

template <class TRec> Outcome Take(TRec* (*first)(), TRec* (*next)(), CxList* list) {
    Outcome out;
    for (TRec* r = first(); r; r = next()) {
        out.flags.push_back(r->Flags);
        out.kept.push_back(r->KeptRecord);
        if ((r->Flags & mkDuplicate) &&
            (r->KeptRecord ? (r->KeptRecord->Flags & mkDuplicate) : !(r->Flags & mkIndirect)))
            out.bKeptUnlisted = false;
    }
    out.list = ListItems(list);
    return out;
}

// What the kinds differ in, for the loop below.
struct KindRuns {
    Outcome (*take)();
    bool (*scan)();
    bool (*find)(TDupPlan, TDupRunStats*);
    // Leaves marks and list items that a run must drop, and ticks it must keep.
    void (*stale)(uint32_t seed);
};

// The same for every run of a trial, so that the kept ticks compare equal.
template <class TRec>
void LeaveStale(TRec* (*first)(), TRec* (*next)(), CxList* list, uint32_t seed) {
    RecordMaker maker(seed);
    list->RemoveAll(false);
    for (TRec* r = first(); r; r = next()) {
        r->Flags = 0;
        r->KeptRecord = maker.Chance(0.2) ? r : nullptr;
        if (maker.Chance(0.3))
            r->Flags |= mkDuplicate;
        if (maker.Chance(0.1))
            r->Flags |= mkIndirect;
        if (maker.Chance(0.3))
            r->Flags |= mkDelete;
        if (maker.Chance(0.1))
            list->Add(r);
    }
}

KindRuns RunsOf(Kind kind) {
    switch (kind) {
    case Kind::Addr:
        return {[] { return Take(FirstAddrRecord, NextAddrRecord, CrmData.AddrDupList); },
                ScanAddrDups, FindAddrDupsWith,
                [](uint32_t seed) {
                    LeaveStale(FirstAddrRecord, NextAddrRecord, CrmData.AddrDupList, seed);
                }};
    case Kind::Date:
        return {[] { return Take(FirstDateRecord, NextDateRecord, CrmData.DateDupList); },
                ScanDateDups, FindDateDupsWith,
                [](uint32_t seed) {
                    LeaveStale(FirstDateRecord, NextDateRecord, CrmData.DateDupList, seed);
                }};
    case Kind::Task:
        return {[] { return Take(FirstTaskRecord, NextTaskRecord, CrmData.TaskDupList); },
                ScanTaskDups, FindTaskDupsWith,
                [](uint32_t seed) {
                    LeaveStale(FirstTaskRecord, NextTaskRecord, CrmData.TaskDupList, seed);
                }};
    case Kind::Note:
        break;
    }
    return {[] { return Take(FirstNoteRecord, NextNoteRecord, CrmData.NoteDupList); }, ScanNoteDups,
            FindNoteDupsWith,
            [](uint32_t seed) {
                LeaveStale(FirstNoteRecord, NextNoteRecord, CrmData.NoteDupList, seed);
            }};
}

void AddRecords(Kind kind, RecordMaker& maker, uint32_t count) {
    switch (kind) {
    case Kind::Addr:
        return AddRecords(CrmData.AddrUtil, maker, count);
    case Kind::Date:
        return AddRecords(CrmData.DateUtil, maker, count);
    case Kind::Task:
        return AddRecords(CrmData.TaskUtil, maker, count);
    case Kind::Note:
        return AddRecords(CrmData.NoteUtil, maker, count);
    }
}

std::string Describe(uint32_t seed, Kind kind, uint32_t count, TDupPlan plan) {
    std::ostringstream text;
    const TAppSettings& s = AppSettings;
    text << "seed " << seed << ", " << count << " " << KindName(kind) << ", plan "
         << static_cast<int>(plan) << ", case " << s.CaseSensitive << " empty " << s.CompareEmpty
         << ", rules " << s.AddrDisplayName << s.AddrFirstName << s.AddrLastName << s.AddrDepartment
         << s.AddrTitle << s.AddrEmail << s.AddrPhone << s.AddrAddress << s.AddrBirthday
         << s.AddrNote << "/" << s.DateSubject << s.DateStartTime << s.DateEndTime << s.DateLocation
         << s.DateAllDayEvent << s.DateRecur << s.DateNote << "/" << s.TaskSubject
         << s.TaskImportance << s.TaskDueDate << s.TaskNote;
    return text.str();
}

// Record sets of one size range: how many, and seeded from where.
struct TrialSet {
    const char* name;
    uint32_t nTrials;
    uint32_t nMinSize;
    uint32_t nMaxSize; // exclusive
    uint32_t nFirstSeed;
};

const TrialSet kTrialSets[] = {
    {"small", 1200, 0, 24, 1000},
    {"medium", 160, 24, 400, 50000},
    {"large", 8, 1000, 3000, 90000},
};

const TDupPlan kPlans[] = {TDupPlan::Auto, TDupPlan::Indexed, TDupPlan::Plain};

class DifferentialTest : public ::testing::TestWithParam<TrialSet> {
protected:
    void SetUp() override { m_saved = AppSettings; }
    void TearDown() override { AppSettings = m_saved; }

    HandMadeCrmData m_data;
    TAppSettings m_saved;
};

TEST_P(DifferentialTest, EngineGivesTheScansMarksListAndKeptRecords) {
    const TrialSet& set = GetParam();
    for (uint32_t trial = 0; trial < set.nTrials; ++trial) {
        const uint32_t seed = set.nFirstSeed + trial;
        RecordMaker maker(seed);
        const Kind kind = static_cast<Kind>(trial % 4);
        const uint32_t count = maker.Between(set.nMinSize, set.nMaxSize);
        maker.Rules(AppSettings);
        m_data.Build();
        AddRecords(kind, maker, count);
        const KindRuns runs = RunsOf(kind);

        runs.stale(seed);
        ASSERT_TRUE(runs.scan());
        const Outcome expected = runs.take();
        ASSERT_TRUE(expected.bKeptUnlisted) << Describe(seed, kind, count, TDupPlan::Plain);
        for (TDupPlan plan : kPlans) {
            runs.stale(seed);
            TDupRunStats stats;
            ASSERT_TRUE(runs.find(plan, &stats));
            const Outcome got = runs.take();
            // Stop at the first difference: one clear report, not thousands.
            ASSERT_EQ(got.flags, expected.flags) << Describe(seed, kind, count, plan);
            ASSERT_EQ(got.list, expected.list) << Describe(seed, kind, count, plan);
            ASSERT_EQ(got.kept, expected.kept) << Describe(seed, kind, count, plan);
            if (plan == TDupPlan::Indexed && count > 0) {
                ASSERT_TRUE(stats.bIndexed) << Describe(seed, kind, count, plan);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, DifferentialTest, ::testing::ValuesIn(kTrialSets),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The cost guard and the hash keys ------------------------------------------

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = AppSettings;
        testsupport::SetDefaultRules(AppSettings);
    }
    void TearDown() override { AppSettings = m_saved; }

    HandMadeCrmData m_data;
    TAppSettings m_saved;
};

// Only Email compared; distinct addresses first, then contacts without one,
// each newer than the one before. Every group hands its survivor on through
// all the contacts without Email, so indexing saves nothing: the engine must
// notice and finish plainly, with the scan's result.
TEST_F(EngineTest, ChainsOfSurvivorsSendTheEngineBackToThePlainSearch) {
    AppSettings.AddrDisplayName = AppSettings.AddrFirstName = AppSettings.AddrLastName = false;
    const int kWithEmail = 1500, kWithout = 1500;
    for (int i = 0; i < kWithEmail; ++i) {
        const std::string email = "p" + std::to_string(i) + "@example.com";
        m_data.AddContact("", email.c_str(), 0);
    }
    for (int i = 0; i < kWithout; ++i)
        m_data.AddContact("", "", 1 + i);

    ASSERT_TRUE(ScanAddrDups());
    const std::vector<void*> expected = ListItems(CrmData.AddrDupList);
    TDupRunStats stats;
    ASSERT_TRUE(FindAddrDupsWith(TDupPlan::Auto, &stats));
    EXPECT_EQ(ListItems(CrmData.AddrDupList), expected);
    EXPECT_TRUE(stats.bIndexed);
    EXPECT_TRUE(stats.bBackToPlain);
    EXPECT_LE(stats.nWork, 2 * stats.nScanWork);
}

// Few seeds (every contact rule off: one group per ObjectKind): the scan is
// cheap, and the engine must not pay for indexes it does not need.
TEST_F(EngineTest, FewGroupsStayPlain) {
    AppSettings.AddrDisplayName = AppSettings.AddrFirstName = AppSettings.AddrLastName = false;
    AppSettings.AddrEmail = false;
    for (int i = 0; i < 3000; ++i)
        m_data.AddContact("", "", i % 7);
    TDupRunStats stats;
    ASSERT_TRUE(FindAddrDupsWith(TDupPlan::Auto, &stats));
    EXPECT_EQ(CrmData.AddrDupList->GetCount(), 2999u);
    EXPECT_FALSE(stats.bIndexed);
    EXPECT_LE(stats.nWork, stats.nScanWork);
}

// Two e-mail addresses whose hashes collide put two different contacts under
// one key of the index; only the full comparison keeps them apart.
TEST_F(EngineTest, ContactsWhoseKeysCollideAreNotDuplicates) {
    std::unordered_map<uint32_t, std::string> seen;
    std::string first, second;
    for (uint32_t i = 0; second.empty() && i < 2000000; ++i) {
        std::string email = "u" + std::to_string(i) + "@example.com";
        auto known = seen.emplace(DupHashText(email.c_str(), true), email);
        if (!known.second) {
            first = known.first->second;
            second = email;
        }
    }
    ASSERT_FALSE(second.empty());
    SFAddrRec* older = m_data.AddContact("Anna", first.c_str(), 1);
    SFAddrRec* newer = m_data.AddContact("Anna", second.c_str(), 2);
    TDupRunStats stats;
    ASSERT_TRUE(FindAddrDupsWith(TDupPlan::Indexed, &stats));
    EXPECT_TRUE(stats.bIndexed);
    EXPECT_EQ(CrmData.AddrDupList->GetCount(), 0u);
    EXPECT_EQ(older->Flags | newer->Flags, 0u);
}

} // namespace
