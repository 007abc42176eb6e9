// The helper's browser sign-in against the stand-in: the test plays the user's
// browser (the helper opens the sign-in page through the program its settings
// file names). First sign-in, silent refreshes with rotation, sign-out, and
// every way a sign-in can go wrong.
#include "SfHelperSupport.h"

#include <sys/stat.h>

using namespace sfhelpere2e;

namespace {

class BrowserSignInTest : public SfHelperTest {
protected:
    void SetUp() override {
        SfHelperTest::SetUp();
        const int port = standin::FreePort();
        ASSERT_GT(port, 0);
        m_callback = "http://localhost:" + std::to_string(port) + "/OauthRedirect";
        m_signInTags = {{1015, "browser"}, {1016, "TESSMARK-KEY"}, {1017, m_callback}};
        UseBrowser(true);
        m_login = {"ann@example.com", "", ""};
    }

    // The browser either follows the sign-in to the callback (the stand-in
    // answers as after a successful sign-in) or never comes back.
    void UseBrowser(bool comesBack) {
        const std::string script = InData("browser.sh");
        testsupport::WriteFileBytes(
            script, "#!/bin/sh\necho opened >> '" + InData("browser.log") + "'\n" +
                        (comesBack ? std::string("exec '") + TESSMARK_PYTHON + "' '" +
                                         standin::FakeBrowserScript() + "' \"$1\" 2>/dev/null\n"
                                   : std::string("exit 0\n")));
        chmod(script.c_str(), 0700);
        testsupport::WriteFileBytes(InData("Velmora.SFHelper.ini"),
                                    "[Helper]\nRetryDelayMs=20\nRequestTimeoutS=5\n"
                                    "BrowserTimeoutS=3\nBrowserCommand=" +
                                        script + "\n");
    }

    size_t BrowserOpenings() {
        const std::string log = ReadFileBytes(InData("browser.log"));
        return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
    }

    std::string KeptTokens() { return ReadFileBytes(InData("SFTokens.ini")); }

    std::string m_callback;
};

} // namespace

TEST_F(BrowserSignInTest, SignsInOnceThenRefreshesSilentlyKeepingTheRotatedToken) {
    Start(SmallOrg());
    ASSERT_EQ(SfLoad(kAddr), 0) << Errors(kAddr)[0];
    EXPECT_EQ(ReadData<SFAddrRec>(kAddr).size(), 10u);
    EXPECT_EQ(BrowserOpenings(), 1u);
    // No keyring here: the sign-in is kept in a private file.
    struct stat st {};
    ASSERT_EQ(stat(InData("SFTokens.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string first = KeptTokens();

    // The next runs refresh without the browser; each rotation replaces the kept token.
    ASSERT_EQ(SfLoad(kTask), 0) << Errors(kTask)[0];
    const std::string second = KeptTokens();
    EXPECT_NE(second, first);
    MarkAndWrite<SFTaskRec>(kTask, {Id("00T", 1)});
    ASSERT_EQ(SfSubmit(kTask), 0) << Errors(kTask)[0];
    EXPECT_EQ(m_server->Deleted(), std::set<std::string>{Id("00T", 1)});
    EXPECT_NE(KeptTokens(), second);
    EXPECT_EQ(BrowserOpenings(), 1u);
    EXPECT_NE(m_server->StateFile("oauth.json").find("\"liveRefreshTokens\": 1"), std::string::npos)
        << m_server->StateFile("oauth.json");

    // An expired session in the middle refreshes again, still without the browser.
    m_server->Control(R"({"faults":[{"kind":"expire_sessions","path":"/query/"}]})");
    ASSERT_EQ(SfLoad(kAddr), 0) << Errors(kAddr)[0];
    EXPECT_EQ(BrowserOpenings(), 1u);
}

TEST_F(BrowserSignInTest, SignOutEndsTheSignInAndTheBrowserComesBack) {
    Start(SmallOrg());
    ASSERT_EQ(SfLoad(kAddr), 0) << Errors(kAddr)[0];
    ASSERT_EQ(Run(kAddr, 4, m_login), 0) << Errors(kAddr)[0];
    EXPECT_EQ(ReadFileBytes(InData(kAddr.progress)),
              "Signed out: the browser sign-in of ann@example.com was ended and forgotten.\n");
    EXPECT_NE(m_server->StateFile("oauth.json").find("\"liveRefreshTokens\": 0"),
              std::string::npos);
    ASSERT_EQ(SfLoad(kAddr), 0) << Errors(kAddr)[0];
    EXPECT_EQ(BrowserOpenings(), 2u);

    // A token revoked behind the helper's back brings the browser back too.
    testsupport::WriteFileBytes(InData("SFTokens.ini"),
                                KeptTokens().substr(0, KeptTokens().find('=') + 1) + "stale\n");
    ASSERT_EQ(SfLoad(kAddr), 0) << Errors(kAddr)[0];
    EXPECT_EQ(BrowserOpenings(), 3u);
}

TEST_F(BrowserSignInTest, EveryFailedSignInIsNamedAndNothingLoadsOrIsKept) {
    struct Case {
        const char* name;
        const char* control;
        bool browserComesBack;
        const char* text;
    } cases[] = {
        {"wrong state", R"({"authorize":{"state":"WRONG"}})", true,
         "The browser came back with an answer that does not belong to this sign-in; it was "
         "refused."},
        {"access denied",
         R"({"authorize":{"error":"access_denied","error_description":"end-user denied authorization"}})",
         true,
         "You did not allow Tessmark to use your salesforce account (end-user denied "
         "authorization)."},
        {"never finished", "{}", false,
         "The sign-in in the web browser was not finished within 3 seconds; nothing was "
         "loaded. Try again."},
        {"another user", R"({"authorize":{"user":"bob@example.com"}})", true,
         "You signed in to salesforce as bob@example.com in the browser, not as "
         "ann@example.com."},
    };
    standin::Org org = SmallOrg();
    org.users.push_back({"bob@example.com", "bobs-pw", "BOBTOKEN", ""});
    Start(org);
    for (const Case& c : cases) {
        m_server->Control(c.control);
        UseBrowser(c.browserComesBack);
        EXPECT_EQ(SfLoad(kAddr), 4) << c.name;
        EXPECT_EQ(Errors(kAddr), std::vector<std::string>{c.text}) << c.name;
        EXPECT_FALSE(FileExists(InData(kAddr.data))) << c.name;
        EXPECT_EQ(KeptTokens().find("=") == std::string::npos ||
                      KeptTokens().find("=\n") != std::string::npos || KeptTokens().empty(),
                  true)
            << c.name << ": " << KeptTokens();
    }
    // The other user's sign-in was not left valid.
    EXPECT_NE(m_server->StateFile("oauth.json").find("\"liveRefreshTokens\": 0"),
              std::string::npos);
}

TEST_F(BrowserSignInTest, TheTokensStayInTheirFile) {
    Start(SmallOrg());
    ASSERT_EQ(SfLoad(kAddr), 0) << Errors(kAddr)[0];
    MarkAndWrite<SFAddrRec>(kAddr, {Id("003", 2)});
    ASSERT_EQ(SfSubmit(kAddr), 0) << Errors(kAddr)[0];
    const std::string kept = KeptTokens();
    const std::string token =
        kept.substr(kept.find('=') + 1, kept.find('\n', kept.find('=')) - kept.find('=') - 1);
    ASSERT_GT(token.size(), 10u);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DataFolder())) {
        // The backup of the deleted records, in its folder, is read too.
        if (entry.is_directory())
            continue;
        if (entry.path().filename() == "SFTokens.ini")
            continue;
        EXPECT_EQ(ReadFileBytes(entry.path().string()).find(token), std::string::npos)
            << entry.path().filename();
    }
}
