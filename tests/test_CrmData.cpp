#include "CrmData.h"

#include "Apputil.h"
#include "CxCommWaitWindow.h"
#include "CxDebugUtil.h"
#include "CxText.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

using testsupport::IsolatedHome;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

void ExpectAllNull() {
    EXPECT_EQ(CrmData.AddrUtil, nullptr);
    EXPECT_EQ(CrmData.DateUtil, nullptr);
    EXPECT_EQ(CrmData.TaskUtil, nullptr);
    EXPECT_EQ(CrmData.NoteUtil, nullptr);
    EXPECT_EQ(CrmData.AddrDupList, nullptr);
    EXPECT_EQ(CrmData.DateDupList, nullptr);
    EXPECT_EQ(CrmData.TaskDupList, nullptr);
    EXPECT_EQ(CrmData.NoteDupList, nullptr);
}

// All eight built, every collection and list empty, no kind configured.
void ExpectBuiltEmptyAndUntouched() {
    ASSERT_NE(CrmData.AddrUtil, nullptr);
    ASSERT_NE(CrmData.DateUtil, nullptr);
    ASSERT_NE(CrmData.TaskUtil, nullptr);
    ASSERT_NE(CrmData.NoteUtil, nullptr);
    for (CxList* list :
         {CrmData.AddrDupList, CrmData.DateDupList, CrmData.TaskDupList, CrmData.NoteDupList}) {
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->GetCount(), 0u);
    }
    EXPECT_EQ(CrmData.AddrUtil->GetCollection()->GetRecordCount(), 0u);
    EXPECT_EQ(CrmData.DateUtil->GetCollection()->GetRecordCount(), 0u);
    EXPECT_EQ(CrmData.TaskUtil->GetCollection()->GetRecordCount(), 0u);
    EXPECT_EQ(CrmData.NoteUtil->GetCollection()->GetRecordCount(), 0u);
    for (CxSFBaseUtil* util : std::initializer_list<CxSFBaseUtil*>{
             CrmData.AddrUtil, CrmData.DateUtil, CrmData.TaskUtil, CrmData.NoteUtil}) {
        EXPECT_STREQ(util->GetUserName(), "");
        EXPECT_EQ(util->GetRequest(), 0);
    }
}

// Settings of a user who chose contacts, and a headless wait window whose
// message shows whether loading got as far as a kind.
class LoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = AppSettings;
        DebugLog.SetLogFolder(m_logDir.Folder().c_str());
        CopyText(AppSettings.UserName, "demo@example.com");
        CopyText(AppSettings.Password, "demo");
        CopyText(AppSettings.Token, "DEMOTOKEN");
        AppSettings.AppFlag = rkAddr;
        SetWaitViewFactory(nullptr);
        ASSERT_TRUE(StartWaitWindow(nullptr));
        SetWaitMessage("idle");
    }
    void TearDown() override {
        StopWaitWindow();
        EXPECT_TRUE(WaitForWaitWindowEnd(10000));
        FreeCrmData();
        AppSettings = m_saved;
        DebugLog.SetLogFolder("./");
    }

    static std::string WaitMessage() {
        auto window = GetCurrentWaitWindow();
        return window ? window->GetMessage() : std::string();
    }

    TempDir m_logDir;
    TAppSettings m_saved;
};

TEST(FreeCrmDataTest, HarmlessBeforeAnyLoadAndTwice) {
    FreeCrmData();
    ExpectAllNull();
    FreeCrmData();
    ExpectAllNull();
}

// Without a data folder the exchange files can use, nothing runs, and the
// reason is there for the user.
TEST_F(LoadTest, WithoutAUsableDataFolderNoKindIsLoadedAndTheReasonIsKept) {
    TempDir dir;
    const std::string unwritable = dir.Path("unwritable");
    const bool haveUnwritable = testsupport::MakeUnwritableDataFolder(unwritable);
    const struct {
        const char* what;
        const char* home;
        std::string xdg; // empty: unset
        std::string reason;
    } cases[] = {
        {"no home at all", nullptr, "",
         "The data folder can not be found: neither XDG_DATA_HOME nor HOME names an absolute "
         "folder."},
        {"relative folders only", "relative/home", "relative/share",
         "The data folder can not be found: neither XDG_DATA_HOME nor HOME names an absolute "
         "folder."},
        {"a file in its way", nullptr, dir.Path("file"),
         "The data folder " + dir.Path("file") +
             "/velmora/Tessmark/ can not be created: "
             "Not a directory"},
        {"not writable", nullptr, haveUnwritable ? unwritable : "",
         "The data folder " + unwritable +
             "/velmora/Tessmark/ can not be written: "
             "Permission denied"},
    };
    testsupport::WriteFileBytes(dir.Path("file"), "x");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what) == "not writable" && !haveUnwritable)
            continue;
        ScopedEnv home("HOME", c.home);
        ScopedEnv xdg("XDG_DATA_HOME", c.xdg.empty() ? nullptr : c.xdg.c_str());
        EXPECT_FALSE(LoadCrmData());
        EXPECT_EQ(LoadFailureReason(), c.reason);
        ExpectBuiltEmptyAndUntouched();
        EXPECT_EQ(WaitMessage(), "idle");
        FreeCrmData();
        ExpectAllNull();
        EXPECT_EQ(LoadFailureReason(), "");
    }
}

// A data folder of 250 characters would cut the paths of its files (the
// parameter file with the password and token, the settings file): loading is
// refused with the reason, and no file is made anywhere below the base.
TEST_F(LoadTest, ADataFolderTooLongIsRefusedNotCut) {
    TempDir dir;
    const std::string tail = "/velmora/Tessmark/";
    const std::string base =
        dir.Path("") + std::string(250 - tail.size() - dir.Path("").size(), 'd');
    const std::string folder = base + tail;
    ASSERT_EQ(folder.size(), 250u);
    ScopedEnv xdg("XDG_DATA_HOME", base.c_str());
    std::filesystem::create_directories(folder); // even an existing one is refused

    EXPECT_FALSE(LoadCrmData());
    EXPECT_EQ(LoadFailureReason(), "The data folder path is too long: " + folder);
    EXPECT_EQ(WaitMessage(), "idle");
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Folder()))
        EXPECT_TRUE(e.is_directory()) << e.path();
}

TEST_F(LoadTest, NoChosenKindBuildsEverythingAndRunsNothing) {
    IsolatedHome home;
    AppSettings.AppFlag = 0;
    EXPECT_TRUE(LoadCrmData());
    ExpectBuiltEmptyAndUntouched();
    EXPECT_EQ(WaitMessage(), "idle");
}

TEST_F(LoadTest, NextLoadDropsEverythingOfTheLastOne) {
    ScopedEnv home("HOME", nullptr);
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    EXPECT_FALSE(LoadCrmData());
    ASSERT_NE(CrmData.AddrUtil, nullptr);
    SFAddrRec rec;
    CommAddrRec common;
    SFAddrRec* kept = CrmData.AddrUtil->KeepRecord(&rec);
    CommAddrRec* entry = CrmData.AddrUtil->GetCollection()->AddRecord(&common);
    kept->Entry = entry;
    entry->NativeData = kept;
    kept->Flags = mkDuplicate | mkDelete;
    CrmData.AddrDupList->Add(kept);

    EXPECT_FALSE(LoadCrmData());
    ExpectBuiltEmptyAndUntouched();
}

// What every helper run takes from the settings; with the browser sign-in of
// a salesforce choice the helper gets no password or token.
TEST(ConfigureExchangeTest, TheBrowserSignInGivesTheHelperNoPasswordOrToken) {
    const struct {
        const char* name;
        int32_t connection;
        int32_t method;
        const char* password;
        const char* token;
        const char* sentMethod;
        const char* kind;
        const char* target;
    } cases[] = {
        {"password", ccSalesforce, siPassword, "demo", "DEMOTOKEN", "password", "salesforce",
         "https://login.salesforce.com"},
        {"browser", ccSandbox, siBrowser, "", "", "browser", "salesforce",
         "https://test.salesforce.com"},
        {"browser at my domain", ccMyDomain, siBrowser, "", "", "browser", "salesforce",
         "https://acme.my.salesforce.com"},
        // A local org signs in with the password whatever the method says.
        {"local org", ccLocalOrg, siBrowser, "demo", "DEMOTOKEN", "browser", "local",
         "/orgs/demo.db"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TAppSettings s;
        std::memset(&s, 0, sizeof(s));
        CopyText(s.UserName, "demo@example.com");
        CopyText(s.Password, "demo");
        CopyText(s.Token, "DEMOTOKEN");
        s.Connection = c.connection;
        CopyText(s.MyDomainUrl, "https://acme.my.salesforce.com/");
        CopyText(s.LocalOrgPath, "/orgs/demo.db");
        s.SignInMethod = c.method;
        CopyText(s.ConsumerKey, "3MVG9key");
        CopyText(s.CallbackUrl, "http://localhost:1717/OauthRedirect");
        s.EnableDebug = true;
        s.LogLevel = 2;
        CxSFTaskUtil util;
        ConfigureExchange(util, s, "/data/");

        EXPECT_STREQ(util.GetDataFolder(), "/data/");
        EXPECT_STREQ(util.GetLogLocation(), "/data/");
        EXPECT_STREQ(util.GetUserName(), "demo@example.com");
        EXPECT_STREQ(util.GetPassword(), c.password);
        EXPECT_STREQ(util.GetToken(), c.token);
        EXPECT_STREQ(util.GetConnectionKind(), c.kind);
        EXPECT_STREQ(util.GetConnectionTarget(), c.target);
        EXPECT_STREQ(util.GetSignInMethod(), c.sentMethod);
        EXPECT_STREQ(util.GetConsumerKey(), "3MVG9key");
        EXPECT_STREQ(util.GetCallbackUrl(), "http://localhost:1717/OauthRedirect");
        EXPECT_TRUE(util.IsDebugEnabled());
        EXPECT_EQ(util.GetLogLevel(), 2);
    }
}

} // namespace
