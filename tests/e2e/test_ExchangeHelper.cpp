// The exchange objects with the real helper program against a generated local
// org: what a load delivers, that a submit deletes exactly the marked records,
// and that every kind of failure is reported and leaves the org as it was.
#include "CxSFAddr.h"
#include "CxSFDate.h"
#include "CxSFNote.h"
#include "CxSFTask.h"
#include "HelperE2ESupport.h"
#include "RecordBytes.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

using namespace helpere2e;
using testsupport::FileExists;
using testsupport::IsolatedHome;
using testsupport::LogCapture;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

// Polls until done() holds, at most 60 s (the machine may be busy).
bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Whether a process has ended (a zombie or gone).
bool Ended(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z';
}

template <class Util> std::vector<typename Util::Record*> RecordsOf(Util& util) {
    std::vector<typename Util::Record*> recs;
    CxList* list = util.GetRecordList();
    for (void* p = list->GetFirst(); p; p = list->GetNext())
        recs.push_back(static_cast<typename Util::Record*>(p));
    return recs;
}

std::vector<std::string> Column(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::string> values;
    for (const auto& row : rows)
        values.push_back(row.at(0));
    return values;
}

class ExchangeE2E : public HelperTest {
protected:
    void SetUp() override {
        HelperTest::SetUp();
        MakeOrg();
    }

    template <class Util> std::unique_ptr<Util> Make() {
        std::unique_ptr<Util> util(new Util);
        util->SetDataFolder(DataFolder().c_str());
        util->SetUserName("demo@example.com");
        util->SetPassword("demo");
        util->SetToken("DEMOTOKEN");
        util->SetLogLocation(DataFolder().c_str());
        return util;
    }

    // Every contact source id of the org, contacts, accounts and leads in turn.
    std::vector<std::string> ContactSourceIds() {
        std::vector<std::string> ids;
        for (const char* table : {"Contact", "Account", "Lead"}) {
            auto some = Column(Query(std::string("SELECT Id FROM ") + table + " ORDER BY Seq"));
            ids.insert(ids.end(), some.begin(), some.end());
        }
        return ids;
    }

    // Loads the contacts and marks the first contact, account and lead; the
    // account is freed of its contacts, which would keep it from being deleted.
    std::vector<std::string> LoadAndMarkThree(CxSFAddrUtil& util) {
        EXPECT_TRUE(util.Load()) << util.GetLastError();
        std::vector<std::string> marked;
        for (int kind = 1; kind <= 3; ++kind)
            for (SFAddrRec* r : RecordsOf(util))
                if (r->ObjectKind == kind) {
                    EXPECT_TRUE(util.MarkDeleted(r->Entry, false));
                    marked.push_back(r->Id);
                    if (kind == 2)
                        Exec("UPDATE Contact SET AccountId = NULL WHERE AccountId = '" +
                             std::string(r->Id) + "'");
                    break;
                }
        EXPECT_EQ(marked.size(), 3u);
        return marked;
    }

    IsolatedHome home;
    LogCapture log;
};

TEST_F(ExchangeE2E, EachKindLoadsWhatTheOrgHolds) {
    auto addr = Make<CxSFAddrUtil>();
    ASSERT_TRUE(addr->Load()) << addr->GetLastError();
    EXPECT_FALSE(addr->HasError());
    std::vector<std::string> ids;
    for (SFAddrRec* r : RecordsOf(*addr)) {
        ids.push_back(r->Id);
        ASSERT_NE(r->Entry, nullptr);
        EXPECT_EQ(r->Entry->NativeData, r);
        EXPECT_STREQ(r->Entry->LastName, r->LastName);
    }
    EXPECT_EQ(ids, ContactSourceIds());
    EXPECT_EQ(addr->GetAddrMgr()->GetRecordCount(), ids.size());
    EXPECT_FALSE(FileExists(InData(kAddr.param)));

    auto date = Make<CxSFDateUtil>();
    ASSERT_TRUE(date->Load()) << date->GetLastError();
    ids.clear();
    for (SFDateRec* r : RecordsOf(*date))
        ids.push_back(r->Id);
    EXPECT_EQ(ids, Column(Query("SELECT Id FROM Event ORDER BY Seq")));
    EXPECT_EQ(date->GetDateMgr()->GetRecordCount(), ids.size());

    auto task = Make<CxSFTaskUtil>();
    ASSERT_TRUE(task->Load()) << task->GetLastError();
    ids.clear();
    for (SFTaskRec* r : RecordsOf(*task))
        ids.push_back(r->Id);
    EXPECT_EQ(ids, Column(Query("SELECT Id FROM Task ORDER BY Seq")));
    EXPECT_EQ(task->GetTaskMgr()->GetRecordCount(), ids.size());

    auto note = Make<CxSFNoteUtil>();
    ASSERT_TRUE(note->Load()) << note->GetLastError();
    ids.clear();
    for (SFNoteRec* r : RecordsOf(*note))
        ids.push_back(std::to_string(r->HelperData));
    EXPECT_EQ(ids, Column(Query("SELECT Seq FROM Note ORDER BY Seq")));
    EXPECT_EQ(note->GetNoteMgr()->GetRecordCount(), ids.size());
}

TEST_F(ExchangeE2E, SubmitDeletesExactlyTheMarkedContactsOnce) {
    auto addr = Make<CxSFAddrUtil>();
    const std::vector<std::string> marked = LoadAndMarkThree(*addr);
    std::vector<std::string> expected;
    for (const std::string& id : ContactSourceIds())
        if (std::find(marked.begin(), marked.end(), id) == marked.end())
            expected.push_back(id);
    const long long events = Count("Event"), tasks = Count("Task"), notes = Count("Note");

    ASSERT_TRUE(addr->Submit()) << addr->GetLastError();
    EXPECT_FALSE(addr->HasError()) << addr->GetLastError();
    EXPECT_FALSE(addr->IsChanged());
    EXPECT_EQ(ContactSourceIds(), expected);
    std::vector<std::string> binned = marked;
    std::sort(binned.begin(), binned.end());
    EXPECT_EQ(Column(Query("SELECT Id FROM RecycleBin ORDER BY Id")), binned);
    EXPECT_EQ(Count("Event"), events);
    EXPECT_EQ(Count("Task"), tasks);
    EXPECT_EQ(Count("Note"), notes);
    EXPECT_FALSE(FileExists(InData(kAddr.param)));

    // Nothing new to send: no helper runs, so no file of a run appears.
    std::filesystem::remove(InData(kAddr.data));
    std::filesystem::remove(InData(kAddr.progress));
    log.Reset();
    EXPECT_TRUE(addr->Submit());
    EXPECT_TRUE(log.Has("There is no new changes and no need to submit information to server."));
    EXPECT_FALSE(FileExists(InData(kAddr.data)));
    EXPECT_FALSE(FileExists(InData(kAddr.progress)));
    EXPECT_EQ(ContactSourceIds(), expected);
}

TEST_F(ExchangeE2E, AFailedLoadIsReportedAndLeavesTheOrgAlone) {
    // A whole data file to cut short for the stand-in helper.
    {
        auto addr = Make<CxSFAddrUtil>();
        ASSERT_TRUE(addr->Load());
    }
    const std::string whole = ReadFileBytes(InData(kAddr.data));
    ASSERT_GT(whole.size(), 100u);
    WriteFileBytes(InData("truncated.dat"), whole.substr(0, whole.size() / 2));
    WriteFileBytes(InData("tool.ini"), "[Tool]\nDataFrom=truncated.dat\n");
    const std::vector<long long> counts = AllCounts();

    struct Case {
        const char* name;
        std::function<void(CxSFAddrUtil&)> setup;
        std::string error; // empty: the helper's own last error
    } cases[] = {
        {"wrong password", [](CxSFAddrUtil& u) { u.SetPassword("wrong"); }, ""},
        {"missing helper", [](CxSFAddrUtil& u) { u.SetHelperName("Velmora.SFMissingUtil.exe"); },
         "The helper program Velmora.SFMissingUtil.exe could not be started: No such file or "
         "directory"},
        {"truncated data", [](CxSFAddrUtil& u) { u.SetHelperName("tessmark_test_helper"); },
         "The data file " + InData(kAddr.data) + " is missing or incomplete"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto addr = Make<CxSFAddrUtil>();
        c.setup(*addr);
        EXPECT_FALSE(addr->Load());
        EXPECT_TRUE(addr->HasError());
        if (c.error.empty()) {
            std::vector<std::string> errors = Errors(kAddr);
            ASSERT_FALSE(errors.empty());
            EXPECT_EQ(std::string(addr->GetLastError()), errors.back());
        } else {
            EXPECT_EQ(std::string(addr->GetLastError()), c.error);
        }
        EXPECT_EQ(addr->GetRecordList()->GetCount(), 0u);
        EXPECT_EQ(addr->GetAddrMgr()->GetRecordCount(), 0u);
        EXPECT_EQ(AllCounts(), counts);
    }
}

TEST_F(ExchangeE2E, ATimedOutHelperFailsTheLoadAndStopsWhenTheObjectGoes) {
    // One second a record: the whole load would take most of a minute.
    ConfigureOrg(OrgPath(), "RecordDelayMs=1000\n");
    const std::vector<long long> counts = AllCounts();
    auto addr = Make<CxSFAddrUtil>();
    addr->SetHelperTimeout(1500);
    EXPECT_FALSE(addr->Load());
    EXPECT_TRUE(addr->HasError());
    EXPECT_EQ(std::string(addr->GetLastError()),
              "The helper program Velmora.SFAddrUtil.exe did not finish within 1500 milliseconds");
    EXPECT_EQ(addr->GetRecordList()->GetCount(), 0u);
    ASSERT_EQ(StateValue(kAddr, "Running"), 1);
    const pid_t helper = CxSFBaseUtil::KindRunner(skAddr)->GetProcessId();
    ASSERT_GT(helper, 0);

    const auto dropped = std::chrono::steady_clock::now();
    addr.reset();
    EXPECT_EQ(StateValue(kAddr, "Stop"), 1);
    EXPECT_TRUE(Eventually([&] { return StateValue(kAddr, "Running") == 0; }));
    EXPECT_TRUE(Eventually([&] { return Ended(helper); }));
    EXPECT_LT(std::chrono::steady_clock::now() - dropped, std::chrono::seconds(40));
    EXPECT_EQ(AllCounts(), counts);
}

TEST_F(ExchangeE2E, AFailedSubmitKeepsTheMarksAndTheOrg) {
    struct Case {
        const char* name;
        std::function<void(CxSFAddrUtil&)> breakIt;
    } cases[] = {
        {"wrong password", [](CxSFAddrUtil& u) { u.SetPassword("wrong"); }},
        {"missing helper", [](CxSFAddrUtil& u) { u.SetHelperName("Velmora.SFMissingUtil.exe"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto addr = Make<CxSFAddrUtil>();
        LoadAndMarkThree(*addr);
        const std::vector<long long> counts = AllCounts();
        c.breakIt(*addr);
        EXPECT_FALSE(addr->Submit());
        EXPECT_TRUE(addr->HasError());
        EXPECT_NE(std::string(addr->GetLastError()), "");
        EXPECT_TRUE(addr->IsChanged());
        EXPECT_EQ(AllCounts(), counts);
    }
}

TEST_F(ExchangeE2E, ContactSourcesThatAreOffAreNotLoaded) {
    const long long contacts = Count("Contact"), accounts = Count("Account"), leads = Count("Lead");
    struct Case {
        bool contact, account, lead;
        long long expected;
    } cases[] = {
        {false, true, true, accounts + leads},
        {true, false, false, contacts},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.contact) + std::to_string(c.account) +
                     std::to_string(c.lead));
        auto addr = Make<CxSFAddrUtil>();
        addr->SetAddrContact(c.contact);
        addr->SetAddrAccount(c.account);
        addr->SetAddrLead(c.lead);
        ASSERT_TRUE(addr->Load()) << addr->GetLastError();
        std::vector<SFAddrRec*> recs = RecordsOf(*addr);
        EXPECT_EQ(static_cast<long long>(recs.size()), c.expected);
        for (SFAddrRec* r : recs) {
            EXPECT_FALSE(r->ObjectKind == 1 && !c.contact);
            EXPECT_FALSE(r->ObjectKind == 2 && !c.account);
            EXPECT_FALSE(r->ObjectKind == 3 && !c.lead);
        }
    }
}

} // namespace
