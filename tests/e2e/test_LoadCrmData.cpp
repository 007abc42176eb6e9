// Loading against the real helper program and a generated local org: only the
// chosen kind's helper runs, a new load drops everything of the last one, and a
// progress file of an earlier run never reaches the wait window.
#include "Apputil.h"
#include "CrmData.h"
#include "CxCommWaitWindow.h"
#include "CxDebugUtil.h"
#include "CxText.h"
#include "DupMatch.h"
#include "TestSupport.h"
#include "WinUtil.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <mutex>
#include <string>
#include <vector>

extern char** environ;

using testsupport::FileExists;
using testsupport::IsolatedHome;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

std::string ProgramFolder() {
    char folder[260] = {};
    GetModuleFolder(nullptr, folder, sizeof(folder));
    return folder;
}

// Runs a program by path with arguments, no shell; its exit code or -1.
int RunProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Keeps every message the wait window paints.
class RecordingView : public CxWaitView {
public:
    explicit RecordingView(std::vector<std::string>* seen, std::mutex* mutex)
        : m_seen(seen), m_mutex(mutex) {}
    void Show() override {}
    void Repaint(const CxWaitSnapshot& snapshot) override {
        std::lock_guard<std::mutex> lock(*m_mutex);
        m_seen->push_back(snapshot.sMessage);
    }
    void Close() override {}
    void ActivateOwner() override {}

private:
    std::vector<std::string>* m_seen;
    std::mutex* m_mutex;
};

struct KindCase {
    int32_t mask;
    const char* name;
    const char* message;
};

const KindCase kKinds[] = {
    {rkAddr, "SFAddr", "Loading salesforce CRM Contacts..."},
    {rkDate, "SFDate", "Loading salesforce CRM Calendar..."},
    {rkTask, "SFTask", "Loading salesforce CRM Tasks..."},
    {rkNote, "SFNote", "Loading salesforce CRM Notes..."},
};

// An isolated data folder that points the helper at a freshly generated
// sample org, the sample user's credentials, and a wait window that records
// what it shows.
class LoadE2ETest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string bin = ProgramFolder();
        const std::string sampleOrg = bin + "tessmark-sample-org";
        for (const char* helper : {"Velmora.SFAddrUtil.exe", "Velmora.SFDateUtil.exe",
                                   "Velmora.SFTaskUtil.exe", "Velmora.SFNoteUtil.exe"})
            if (!FileExists(bin + helper))
                FAIL() << "helper program not built: " << bin + helper;
        if (!FileExists(sampleOrg))
            FAIL() << "sample org tool not built: " << sampleOrg;

        char folder[260] = {};
        ASSERT_TRUE(GetDataFolder(folder));
        m_folder = folder;
        ASSERT_EQ(m_folder, m_home.DataFolder());
        const std::string org = m_folder + "org.db";
        ASSERT_EQ(RunProgram({sampleOrg, "--out", org}), 0);
        WriteFileBytes(m_folder + "Velmora.SFHelper.ini", "[Helper]\nLocalOrg=" + org + "\n");

        m_saved = AppSettings;
        DebugLog.SetLogFolder(m_folder.c_str());
        CopyText(AppSettings.UserName, "demo@example.com");
        CopyText(AppSettings.Password, "demo");
        CopyText(AppSettings.Token, "DEMOTOKEN");
        AppSettings.AddrAccount = AppSettings.AddrContact = AppSettings.AddrLead = true;
        AppSettings.EnableDebug = true;
        AppSettings.LogLevel = 2;
        m_bSettingsSaved = true;

        SetWaitViewFactory([this](void*) -> std::unique_ptr<CxWaitView> {
            return std::make_unique<RecordingView>(&m_seen, &m_seenMutex);
        });
        ASSERT_TRUE(StartWaitWindow(nullptr));
        m_bWaitStarted = true;
    }

    void TearDown() override {
        if (m_bWaitStarted) {
            StopWaitWindow();
            EXPECT_TRUE(WaitForWaitWindowEnd(10000));
        }
        SetWaitViewFactory(nullptr);
        FreeCrmData();
        if (m_bSettingsSaved) {
            AppSettings = m_saved;
            DebugLog.SetLogFolder("./");
        }
    }

    bool Load(int32_t mask) {
        AppSettings.AppFlag = mask;
        return LoadCrmData();
    }

    std::vector<std::string> SeenMessages() {
        std::lock_guard<std::mutex> lock(m_seenMutex);
        return m_seen;
    }

    static uint32_t CountOf(int32_t mask) {
        switch (mask) {
        case rkAddr:
            return CrmData.AddrUtil->GetCollection()->GetRecordCount();
        case rkDate:
            return CrmData.DateUtil->GetCollection()->GetRecordCount();
        case rkTask:
            return CrmData.TaskUtil->GetCollection()->GetRecordCount();
        default:
            return CrmData.NoteUtil->GetCollection()->GetRecordCount();
        }
    }

    static CxSFBaseUtil* UtilOf(int32_t mask) {
        switch (mask) {
        case rkAddr:
            return CrmData.AddrUtil;
        case rkDate:
            return CrmData.DateUtil;
        case rkTask:
            return CrmData.TaskUtil;
        default:
            return CrmData.NoteUtil;
        }
    }

    IsolatedHome m_home;
    std::string m_folder;
    TAppSettings m_saved;
    bool m_bSettingsSaved = false;
    bool m_bWaitStarted = false;
    std::mutex m_seenMutex;
    std::vector<std::string> m_seen;
};

TEST_F(LoadE2ETest, OnlyTheChosenKindRunsItsHelper) {
    for (const KindCase& chosen : kKinds) {
        SCOPED_TRACE(chosen.name);
        // Files a helper run of an earlier round left behind.
        for (const KindCase& kind : kKinds) {
            std::remove((m_folder + kind.name + ".dat").c_str());
            std::remove((m_folder + kind.name + "Param.dat").c_str());
        }
        ASSERT_TRUE(Load(chosen.mask));
        ASSERT_NE(CrmData.AddrDupList, nullptr);
        ASSERT_NE(CrmData.NoteDupList, nullptr);
        for (const KindCase& kind : kKinds) {
            SCOPED_TRACE(kind.name);
            const bool ran = kind.mask == chosen.mask;
            CxSFBaseUtil* util = UtilOf(kind.mask);
            ASSERT_NE(util, nullptr);
            if (!ran) {
                EXPECT_FALSE(FileExists(m_folder + kind.name + ".dat"));
                EXPECT_FALSE(FileExists(m_folder + kind.name + "Param.dat"));
            }
            EXPECT_EQ(util->GetRequest(), ran ? 1 : 0);
            EXPECT_EQ(CountOf(kind.mask) > 0, ran);
            EXPECT_STREQ(util->GetUserName(), ran ? "demo@example.com" : "");
            if (ran) {
                EXPECT_EQ(util->GetDataFolder(), m_folder);
                EXPECT_EQ(util->GetLogLocation(), m_folder);
                EXPECT_TRUE(util->IsDebugEnabled());
                EXPECT_EQ(util->GetLogLevel(), 2);
            }
        }
        auto window = GetCurrentWaitWindow();
        ASSERT_TRUE(window);
        EXPECT_EQ(window->GetStatusFile(), m_folder + chosen.name + "Status.dat");
    }
}

TEST_F(LoadE2ETest, ContactSourcesReachTheContactExchange) {
    AppSettings.AddrAccount = false;
    AppSettings.AddrLead = false;
    ASSERT_TRUE(Load(rkAddr));
    EXPECT_FALSE(CrmData.AddrUtil->GetAddrAccount());
    EXPECT_TRUE(CrmData.AddrUtil->GetAddrContact());
    EXPECT_FALSE(CrmData.AddrUtil->GetAddrLead());
}

TEST_F(LoadE2ETest, NextLoadFreesEveryRecordMarkAndListEntry) {
    ASSERT_TRUE(Load(rkAddr));
    ASSERT_TRUE(FindAddrDups());
    ASSERT_GT(CrmData.AddrDupList->GetCount(), 0u) << "the sample org holds duplicates";
    for (SFAddrRec* rec = FirstAddrRecord(); rec; rec = NextAddrRecord())
        rec->Flags |= mkDelete;

    ASSERT_TRUE(Load(rkTask));
    EXPECT_EQ(CountOf(rkAddr), 0u);
    EXPECT_EQ(CrmData.AddrDupList->GetCount(), 0u);
    EXPECT_GT(CountOf(rkTask), 0u);

    ASSERT_TRUE(Load(rkAddr));
    EXPECT_GT(CountOf(rkAddr), 0u);
    EXPECT_EQ(CrmData.AddrDupList->GetCount(), 0u);
    for (SFAddrRec* rec = FirstAddrRecord(); rec; rec = NextAddrRecord())
        EXPECT_EQ(rec->Flags, 0u) << rec->Id;
}

TEST_F(LoadE2ETest, ProgressFileOfAnEarlierRunIsNeverShown) {
    const std::string status = m_folder + "SFDateStatus.dat";
    WriteFileBytes(status, "stale progress line\r\n");
    ASSERT_TRUE(Load(rkDate));
    EXPECT_EQ(ReadFileBytes(status).find("stale progress line"), std::string::npos);
    for (const std::string& message : SeenMessages())
        EXPECT_EQ(message.find("stale progress line"), std::string::npos);
}

TEST_F(LoadE2ETest, WrongPasswordFailsTheLoad) {
    CopyText(AppSettings.Password, "not the password");
    EXPECT_FALSE(Load(rkAddr));
    ASSERT_NE(CrmData.AddrUtil, nullptr);
    EXPECT_EQ(CountOf(rkAddr), 0u);
    EXPECT_NE(CrmData.AddrDupList, nullptr);
}

} // namespace
