#include "Apputil.h"

#include "Base64.h"
#include "ConnectionTarget.h"
#include "CxDebugUtil.h"
#include "CxText.h"
#include "TestSupport.h"
#include "WinUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testsupport::IsolatedHome;
using testsupport::ReadFileBytes;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

struct FlagKey {
    const char* key;
    bool TAppSettings::*field;
    bool def;
};

// Every flag key with its field and its first-start default.
const FlagKey kFlags[] = {
    {"SaveUser", &TAppSettings::SaveUser, true},
    {"SavePassword", &TAppSettings::SavePassword, false},
    {"SaveToken", &TAppSettings::SaveToken, true},
    {"CaseSensitive", &TAppSettings::CaseSensitive, false},
    {"CompareEmpty", &TAppSettings::CompareEmpty, false},
    {"AddrAccount", &TAppSettings::AddrAccount, true},
    {"AddrContact", &TAppSettings::AddrContact, true},
    {"AddrLead", &TAppSettings::AddrLead, true},
    {"AddrDisplayName", &TAppSettings::AddrDisplayName, true},
    {"AddrFirstName", &TAppSettings::AddrFirstName, true},
    {"AddrLastName", &TAppSettings::AddrLastName, true},
    {"AddrDepartment", &TAppSettings::AddrDepartment, false},
    {"AddrTitle", &TAppSettings::AddrTitle, false},
    {"AddrEmail", &TAppSettings::AddrEmail, true},
    {"AddrPhone", &TAppSettings::AddrPhone, false},
    {"AddrAddress", &TAppSettings::AddrAddress, false},
    {"AddrBirthday", &TAppSettings::AddrBirthday, false},
    {"AddrNote", &TAppSettings::AddrNote, false},
    {"DateSubject", &TAppSettings::DateSubject, true},
    {"DateLocation", &TAppSettings::DateLocation, false},
    {"DateStartTime", &TAppSettings::DateStartTime, true},
    {"DateEndTime", &TAppSettings::DateEndTime, true},
    {"DateAllDayEvent", &TAppSettings::DateAllDayEvent, true},
    {"DateRecur", &TAppSettings::DateRecur, false},
    {"DateNote", &TAppSettings::DateNote, false},
    {"TaskSubject", &TAppSettings::TaskSubject, true},
    {"TaskImportance", &TAppSettings::TaskImportance, true},
    {"TaskDueDate", &TAppSettings::TaskDueDate, true},
    {"TaskNote", &TAppSettings::TaskNote, false},
    {"EnableDebug", &TAppSettings::EnableDebug, false},
};

std::string Encode(const std::string& plain) {
    std::vector<char> out(plain.size() / 3 * 4 + 8, '\0');
    Base64Encode(reinterpret_cast<const unsigned char*>(plain.data()), plain.size(), out.data(),
                 out.size() - 1);
    return out.data();
}

std::string Repeat(const std::string& part, size_t times) {
    std::string s;
    for (size_t i = 0; i < times; ++i)
        s += part;
    return s;
}

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// A settings file in an isolated home, bound to SettingsFile; AppSettings
// starts out as garbage so that a load must set every field.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_home.Home() + "velmora.ini";
        SettingsFile.SetPath(m_path.c_str());
        std::memset(&AppSettings, 0x5A, sizeof(AppSettings));
    }

    void WriteIni(const std::string& body) { WriteFileBytes(m_path, "[Tessmark]\n" + body); }

    // The file's lines without line ends and without empty lines.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(ReadFileBytes(m_path));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty())
                lines.push_back(line);
        }
        return lines;
    }

    // The value of key in the file, or "<missing>".
    std::string Value(const std::string& key) const {
        for (const std::string& line : Lines())
            if (line.compare(0, key.size() + 1, key + "=") == 0)
                return line.substr(key.size() + 1);
        return "<missing>";
    }

    IsolatedHome m_home;
    std::string m_path;
};

// A whole load and save of every key reads a large file a bounded number of
// times (once), however many keys there are.
TEST_F(SettingsTest, LoadAndSaveReadTheFileOnce) {
    std::string body;
    for (int i = 0; i < 20000; ++i)
        body += "Other" + std::to_string(i) + "=" + std::string(40, 'v') + "\n";
    WriteFileBytes(m_path, "[Other]\n" + body + "[Tessmark]\nUserName=alice\nAppFlag=2\n");
    const unsigned long before = SettingsFile.GetReadCount();
    LoadSettings();
    EXPECT_STREQ(AppSettings.UserName, "alice");
    EXPECT_EQ(AppSettings.AppFlag, 2);
    AppSettings.AppFlag = 4;
    SaveSettings();
    EXPECT_EQ(SettingsFile.GetReadCount() - before, 1u);
    EXPECT_EQ(Value("AppFlag"), "4");
    EXPECT_EQ(Value("Other19999"), std::string(40, 'v'));
}

// A local org path too long for its field is not used rather than cut to
// another file's name.
TEST_F(SettingsTest, ALocalOrgPathThatDoesNotFitIsNotUsed) {
    const std::string fits = "/orgs/" + std::string(253, 'o');
    ASSERT_EQ(fits.size(), 259u);
    for (const auto& [path, want] : {std::pair{fits, fits}, std::pair{fits + "x", std::string()}}) {
        WriteIni("Connection=LocalOrg\nLocalOrgPath=" + path + "\n");
        LoadSettings();
        EXPECT_EQ(std::string(AppSettings.LocalOrgPath), want);
    }
}

TEST_F(SettingsTest, FirstStartGivesTheDefaults) {
    LoadSettings();
    const TAppSettings& s = AppSettings;
    EXPECT_EQ(s.AppFlag, 1);
    EXPECT_EQ(s.LogLevel, 3);
    EXPECT_STREQ(s.UserName, "");
    EXPECT_STREQ(s.Password, "");
    EXPECT_STREQ(s.Token, "");
    EXPECT_STREQ(s.StoredPassword, "");
    EXPECT_STREQ(s.StoredToken, "");
    EXPECT_STREQ(s.MyDomainUrl, "");
    EXPECT_EQ(s.SignInMethod, siPassword);
    EXPECT_STREQ(s.ConsumerKey, "");
    EXPECT_STREQ(s.CallbackUrl, "http://localhost:1717/OauthRedirect");
    for (const FlagKey& f : kFlags)
        EXPECT_EQ(s.*f.field, f.def) << f.key;
}

TEST_F(SettingsTest, EveryKeyReachesItsOwnField) {
    // Each flag the opposite of its default: a swapped key or field shows.
    std::string body;
    for (const FlagKey& f : kFlags)
        body += std::string(f.key) + "=" + (f.def ? "0" : "1") + "\n";
    WriteIni(body + "AppFlag=4\nLogLevel=1\nUserName=ann@example.com\n");
    LoadSettings();
    for (const FlagKey& f : kFlags)
        EXPECT_EQ(AppSettings.*f.field, !f.def) << f.key;
    EXPECT_EQ(AppSettings.AppFlag, 4);
    EXPECT_EQ(AppSettings.LogLevel, 1);
    EXPECT_STREQ(AppSettings.UserName, "ann@example.com");

    // And a save writes each flag back under its own key.
    SaveSettings();
    for (const FlagKey& f : kFlags)
        EXPECT_EQ(Value(f.key), f.def ? "0" : "1") << f.key;
}

TEST_F(SettingsTest, IntegersOutsideTheUsualRangeAreReadUnchanged) {
    const struct {
        const char* appFlag;
        const char* logLevel;
        int32_t wantFlag;
        int32_t wantLevel;
    } cases[] = {
        {"8", "-1", 8, -1},
        {"15", "7", 15, 7},
        {"15", "99", 15, 99},
        {"", "", 1, 3}, // empty values read as the defaults
    };
    for (const auto& c : cases) {
        WriteIni(std::string("AppFlag=") + c.appFlag + "\nLogLevel=" + c.logLevel + "\n");
        LoadSettings();
        EXPECT_EQ(AppSettings.AppFlag, c.wantFlag) << c.appFlag;
        EXPECT_EQ(AppSettings.LogLevel, c.wantLevel) << c.logLevel;
    }
}

TEST_F(SettingsTest, SaveWritesEveryKeyInItsOrder) {
    LoadSettings();
    SaveSettings();
    const std::vector<std::string> want = {
        "AppFlag",         "CaseSensitive",   "CompareEmpty",  "AddrAccount",   "AddrContact",
        "AddrLead",        "AddrDisplayName", "AddrFirstName", "AddrLastName",  "AddrDepartment",
        "AddrTitle",       "AddrEmail",       "AddrPhone",     "AddrAddress",   "AddrBirthday",
        "AddrNote",        "DateSubject",     "DateLocation",  "DateStartTime", "DateEndTime",
        "DateAllDayEvent", "DateRecur",       "DateNote",      "TaskSubject",   "TaskImportance",
        "TaskDueDate",     "TaskNote",        "EnableDebug",   "LogLevel",      "UserName",
        "SaveUser",        "SavePassword",    "Password",      "SaveToken",     "Token",
        "Connection",      "MyDomainUrl",     "LocalOrgPath",  "SignInMethod",  "ConsumerKey",
        "CallbackUrl"};
    std::vector<std::string> lines = Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "[Tessmark]");
    std::vector<std::string> keys;
    for (size_t i = 1; i < lines.size(); ++i)
        keys.push_back(lines[i].substr(0, lines[i].find('=')));
    EXPECT_EQ(keys, want);
    EXPECT_EQ(ModeOf(m_path), 0600u);
}

TEST_F(SettingsTest, CredentialsRoundTrip) {
    const struct {
        std::string password;
        std::string token;
    } cases[] = {
        {"secret", "abc"},
        {"", ""},
        {"p\xC3\xA4ss w=rd;#[x]", "t\xE2\x82\xAC"},    // UTF-8, ini-special characters
        {std::string(63, 'p'), std::string(255, 't')}, // full fields
    };
    for (const auto& c : cases) {
        LoadSettings();
        std::strcpy(AppSettings.Password, c.password.c_str());
        std::strcpy(AppSettings.Token, c.token.c_str());
        AppSettings.SavePassword = true;
        AppSettings.SaveToken = true;
        SaveSettings();
        EXPECT_EQ(AppSettings.StoredPassword, Encode(c.password));
        EXPECT_EQ(AppSettings.StoredToken, Encode(c.token));
        EXPECT_EQ(Value("Password"), Encode(c.password));
        EXPECT_EQ(Value("Token"), Encode(c.token));

        LoadSettings();
        EXPECT_EQ(AppSettings.Password, c.password);
        EXPECT_EQ(AppSettings.Token, c.token);
        EXPECT_EQ(AppSettings.StoredPassword, Encode(c.password));
        EXPECT_EQ(AppSettings.StoredToken, Encode(c.token));
    }
    EXPECT_EQ(ModeOf(m_path), 0600u);
}

TEST_F(SettingsTest, KnownEncodingIsWritten) {
    LoadSettings();
    std::strcpy(AppSettings.Password, "secret");
    std::strcpy(AppSettings.Token, "short");
    AppSettings.SavePassword = true;
    SaveSettings();
    EXPECT_EQ(Value("Password"), "c2VjcmV0");
    EXPECT_EQ(Value("Token"), "c2hvcnQ=");
}

TEST_F(SettingsTest, UncheckedCredentialsAreErased) {
    LoadSettings();
    std::strcpy(AppSettings.Password, "secret");
    std::strcpy(AppSettings.Token, "tok");
    AppSettings.SavePassword = true;
    AppSettings.SaveToken = true;
    SaveSettings();
    ASSERT_EQ(Value("Password"), "c2VjcmV0");

    // The next run: the boxes unchecked while the texts are still typed in.
    AppSettings.SavePassword = false;
    AppSettings.SaveToken = false;
    SaveSettings();
    EXPECT_EQ(Value("Password"), "");
    EXPECT_EQ(Value("Token"), "");
    EXPECT_STREQ(AppSettings.StoredPassword, "");
    EXPECT_STREQ(AppSettings.StoredToken, "");

    LoadSettings();
    EXPECT_FALSE(AppSettings.SavePassword);
    EXPECT_STREQ(AppSettings.Password, "");
    EXPECT_STREQ(AppSettings.Token, "");
}

TEST_F(SettingsTest, StoredValueIsIgnoredWhileItsBoxIsUnchecked) {
    WriteIni("SavePassword=0\nPassword=c2VjcmV0\nSaveToken=0\nToken=c2VjcmV0\n");
    LoadSettings();
    EXPECT_STREQ(AppSettings.Password, "");
    EXPECT_STREQ(AppSettings.StoredPassword, "");
    EXPECT_STREQ(AppSettings.Token, "");
    EXPECT_STREQ(AppSettings.StoredToken, "");
}

TEST_F(SettingsTest, ShorterPasswordLeavesNothingOfTheLonger) {
    LoadSettings();
    AppSettings.SavePassword = true;
    std::strcpy(AppSettings.Password, "a-much-longer-password");
    SaveSettings();
    std::strcpy(AppSettings.Password, "short");
    SaveSettings();
    EXPECT_EQ(Value("Password"), "c2hvcnQ=");
    EXPECT_STREQ(AppSettings.StoredPassword, "c2hvcnQ=");
    LoadSettings();
    EXPECT_STREQ(AppSettings.Password, "short");
}

TEST_F(SettingsTest, UserNameIsKeptWhateverSaveUserSays) {
    LoadSettings();
    std::strcpy(AppSettings.UserName, "ann@example.com");
    AppSettings.SaveUser = false;
    SaveSettings();
    LoadSettings();
    EXPECT_STREQ(AppSettings.UserName, "ann@example.com");
    EXPECT_FALSE(AppSettings.SaveUser);
}

TEST_F(SettingsTest, OverlongStoredValuesAreCutAtCharacterBoundaries) {
    const std::string twoByte = "\xC3\xA9"; // é
    const std::string longPassword = Repeat(twoByte, 150);
    const std::string longToken = Repeat("x", 700) + Repeat(twoByte, 100);
    WriteIni("UserName=" + Repeat(twoByte, 40) + "\nSavePassword=1\nPassword=" +
             Encode(longPassword) + "\nSaveToken=1\nToken=" + Encode(longToken) + "\n");
    LoadSettings();
    // 63 bytes would end inside a character: 62 are kept.
    EXPECT_EQ(AppSettings.UserName, Repeat(twoByte, 31));
    EXPECT_EQ(AppSettings.Password, Repeat(twoByte, 31));
    EXPECT_EQ(AppSettings.StoredPassword, Encode(longPassword).substr(0, 255));
    EXPECT_EQ(AppSettings.Token, Repeat("x", 255));
    EXPECT_EQ(AppSettings.StoredToken, Encode(longToken).substr(0, 1023));
    // The fields after the texts are read as usual.
    EXPECT_EQ(AppSettings.AppFlag, 1);
}

TEST_F(SettingsTest, CorruptStoredValuesNeverOverflow) {
    const std::string cases[] = {
        Repeat("////", 400),    // decodes to bytes 0xFF, more than every field holds
        Repeat("!@#$", 100),    // nothing of the alphabet
        "c2Vj=mV0AAAAc2VjcmV0", // a pad inside, then zero bytes
        "YQ",                   // a short last group
        Repeat("A", 2000),      // zero bytes only
    };
    for (const std::string& value : cases) {
        WriteIni("SavePassword=1\nPassword=" + value + "\nToken=" + value + "\n");
        LoadSettings();
        EXPECT_LT(strnlen(AppSettings.Password, sizeof(AppSettings.Password)),
                  sizeof(AppSettings.Password));
        EXPECT_LT(strnlen(AppSettings.Token, sizeof(AppSettings.Token)), sizeof(AppSettings.Token));
        EXPECT_LT(strnlen(AppSettings.StoredPassword, sizeof(AppSettings.StoredPassword)),
                  sizeof(AppSettings.StoredPassword));
        EXPECT_LT(strnlen(AppSettings.StoredToken, sizeof(AppSettings.StoredToken)),
                  sizeof(AppSettings.StoredToken));
        EXPECT_EQ(AppSettings.LogLevel, 3);
    }
    WriteIni("SavePassword=1\nPassword=YQ==\n");
    LoadSettings();
    EXPECT_STREQ(AppSettings.Password, "a");
}

// The connection keys. A helper settings file in the data folder makes the
// default connection the local org it names, so that every case here is
// independent of a helper settings file in the program folder.
class ConnectionSettingsTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        std::filesystem::create_directories(m_home.DataFolder());
        WriteFileBytes(m_home.DataFolder() + "Velmora.SFHelper.ini",
                       "[Helper]\nLocalOrg=" + m_helperOrg + "\n");
    }

    const std::string m_helperOrg = "/srv/orgs/helper.db";
};

TEST_F(ConnectionSettingsTest, TheChoiceIsReadByNameWithoutRegardToCase) {
    const struct {
        const char* line; // null: no Connection key
        int32_t want;
    } cases[] = {
        {"Connection=Salesforce", ccSalesforce},
        {"Connection=sandbox", ccSandbox},
        {"Connection=MYDOMAIN", ccMyDomain},
        {"Connection=LocalOrg", ccLocalOrg},
        {"Connection= Sandbox ", ccSandbox},
        // Anything else reads as the default, here the helper's local org.
        {"Connection=My Domain", ccLocalOrg},
        {"Connection=1", ccLocalOrg},
        {"Connection=", ccLocalOrg},
        {nullptr, ccLocalOrg},
    };
    for (const auto& c : cases) {
        WriteIni(c.line ? std::string(c.line) + "\n" : std::string());
        LoadSettings();
        EXPECT_EQ(AppSettings.Connection, c.want) << (c.line ? c.line : "no key");
    }
}

TEST_F(ConnectionSettingsTest, TheChoiceIsWrittenByName) {
    const struct {
        int32_t choice;
        const char* want;
    } cases[] = {
        {ccSalesforce, "Salesforce"}, {ccSandbox, "Sandbox"}, {ccMyDomain, "MyDomain"},
        {ccLocalOrg, "LocalOrg"},     {7, "Salesforce"},      {-1, "Salesforce"},
    };
    for (const auto& c : cases) {
        LoadSettings();
        AppSettings.Connection = c.choice;
        SaveSettings();
        EXPECT_EQ(Value("Connection"), c.want) << c.choice;
    }
}

TEST_F(ConnectionSettingsTest, AddressAndPathRoundTrip) {
    const std::string twoByte = "\xC3\xA9"; // é
    const struct {
        std::string url;
        std::string path;
        std::string wantUrl;
        std::string wantPath;
    } cases[] = {
        {"https://acme.my.salesforce.com", "/home/ann/orgs/demo.db",
         "https://acme.my.salesforce.com", "/home/ann/orgs/demo.db"},
        {"", "", "", ""},
        {"http://127.0.0.1:8443", "/home/ann/Zo" + twoByte + " org.db", "http://127.0.0.1:8443",
         "/home/ann/Zo" + twoByte + " org.db"},
        // 259 bytes would end inside a character: 258 are kept.
        {std::string(300, 'u'), "/" + std::string(257, 'p') + twoByte, std::string(259, 'u'),
         "/" + std::string(257, 'p')},
    };
    for (const auto& c : cases) {
        LoadSettings();
        AppSettings.Connection = ccMyDomain;
        CopyText(AppSettings.MyDomainUrl, c.url.c_str());
        CopyText(AppSettings.LocalOrgPath, c.path.c_str());
        SaveSettings();
        std::memset(&AppSettings, 0x5A, sizeof(AppSettings));
        LoadSettings();
        EXPECT_EQ(AppSettings.Connection, ccMyDomain);
        EXPECT_EQ(AppSettings.MyDomainUrl, c.wantUrl);
        EXPECT_EQ(AppSettings.LocalOrgPath, c.wantPath);
    }
}

TEST_F(ConnectionSettingsTest, TheHelpersLocalOrgIsTheDefault) {
    const struct {
        const char* name;
        std::string helperIni; // written to the data folder; empty: none there
        std::string ini;
        int32_t wantChoice;
        std::string wantPath;
    } cases[] = {
        {"absolute path", "LocalOrg=/srv/orgs/a.db\n", "", ccLocalOrg, "/srv/orgs/a.db"},
        {"relative to the helper file", "LocalOrg=orgs/b.db\n", "", ccLocalOrg,
         m_home.DataFolder() + "orgs/b.db"},
        {"a stored path wins", "LocalOrg=/srv/orgs/a.db\n", "LocalOrgPath=/mine.db\n", ccLocalOrg,
         "/mine.db"},
        {"a stored empty path wins", "LocalOrg=/srv/orgs/a.db\n", "LocalOrgPath=\n", ccLocalOrg,
         ""},
        {"a stored choice wins", "LocalOrg=/srv/orgs/a.db\n", "Connection=Sandbox\n", ccSandbox,
         "/srv/orgs/a.db"},
        // Too long to keep: the helper then reads its settings file itself.
        {"path too long", "LocalOrg=/" + std::string(259, 'x') + "\n", "", ccLocalOrg, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(m_home.DataFolder() + "Velmora.SFHelper.ini", "[Helper]\n" + c.helperIni);
        WriteIni(c.ini);
        LoadSettings();
        EXPECT_EQ(AppSettings.Connection, c.wantChoice);
        EXPECT_EQ(AppSettings.LocalOrgPath, c.wantPath);
    }
}

// The sign-in keys: the method by name without regard to case, anything else
// the password sign-in; an empty callback address reads as the default.
TEST_F(SettingsTest, TheSignInIsReadByName) {
    const char kDefault[] = "http://localhost:1717/OauthRedirect";
    const struct {
        const char* lines;
        int32_t method;
        const char* key;
        const char* callback;
    } cases[] = {
        {"", siPassword, "", kDefault},
        {"SignInMethod=Browser\n", siBrowser, "", kDefault},
        {"SignInMethod= browser \nConsumerKey=3MVG9abc\n", siBrowser, "3MVG9abc", kDefault},
        {"SignInMethod=PASSWORD\n", siPassword, "", kDefault},
        {"SignInMethod=1\n", siPassword, "", kDefault},
        {"SignInMethod=Web browser\n", siPassword, "", kDefault},
        {"CallbackUrl=http://localhost:8080/cb\n", siPassword, "", "http://localhost:8080/cb"},
        {"CallbackUrl=\n", siPassword, "", kDefault},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        WriteIni(c.lines);
        LoadSettings();
        EXPECT_EQ(AppSettings.SignInMethod, c.method);
        EXPECT_STREQ(AppSettings.ConsumerKey, c.key);
        EXPECT_STREQ(AppSettings.CallbackUrl, c.callback);
    }
}

TEST_F(SettingsTest, TheSignInRoundTrips) {
    const struct {
        int32_t method;
        const char* wantName;
        std::string key;
        std::string wantKey;
        int32_t wantMethod;
    } cases[] = {
        {siBrowser, "Browser", "3MVG9abc.DEF_123", "3MVG9abc.DEF_123", siBrowser},
        {siPassword, "Password", "", "", siPassword},
        // A value that is no method is written as the password sign-in.
        {7, "Password", "k", "k", siPassword},
        // 255 bytes would end inside a character: 254 are kept.
        {siBrowser, "Browser", std::string(254, 'k') + "\xC3\xA9", std::string(254, 'k'),
         siBrowser},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wantName);
        LoadSettings();
        AppSettings.SignInMethod = c.method;
        CopyText(AppSettings.ConsumerKey, c.key.c_str());
        CopyText(AppSettings.CallbackUrl, "http://localhost:9999/OauthRedirect");
        SaveSettings();
        EXPECT_EQ(Value("SignInMethod"), c.wantName);
        std::memset(&AppSettings, 0x5A, sizeof(AppSettings));
        LoadSettings();
        EXPECT_EQ(AppSettings.SignInMethod, c.wantMethod);
        EXPECT_EQ(AppSettings.ConsumerKey, c.wantKey);
        EXPECT_STREQ(AppSettings.CallbackUrl, "http://localhost:9999/OauthRedirect");
    }
}

TEST_F(SettingsTest, WithoutAHelperOrgAFreshStartConnectsToSalesforce) {
    char folder[260];
    ASSERT_TRUE(GetModuleFolder(nullptr, folder));
    std::string programOrg;
    if (HelperLocalOrgIn(folder, programOrg))
        GTEST_SKIP() << "the program folder's helper settings name a local org: " << programOrg;
    // A helper settings file in the data folder that names no org counts for nothing.
    std::filesystem::create_directories(m_home.DataFolder());
    WriteFileBytes(m_home.DataFolder() + "Velmora.SFHelper.ini", "[Helper]\nLocalOrg=\n");
    LoadSettings();
    EXPECT_EQ(AppSettings.Connection, ccSalesforce);
    EXPECT_STREQ(AppSettings.LocalOrgPath, "");
    EXPECT_STREQ(AppSettings.MyDomainUrl, "");
}

// GetDataFolder with its own environment per case.
class DataFolderTest : public ::testing::Test {
protected:
    std::string Call(bool* ok) {
        char out[260];
        std::memset(out, 'z', sizeof(out));
        *ok = GetDataFolder(out);
        return *ok ? std::string(out) : std::string();
    }

    TempDir m_dir;
};

TEST_F(DataFolderTest, NullBufferFails) {
    IsolatedHome home;
    EXPECT_FALSE(GetDataFolder(nullptr));
}

TEST_F(DataFolderTest, BaseFolderFromTheEnvironment) {
    const std::string home = m_dir.Path("home");
    const std::string xdg = m_dir.Path("xdg");
    const std::string fromHome = home + "/.local/share/velmora/Tessmark/";
    const struct {
        const char* name;
        std::optional<std::string> xdg;  // nullopt: unset
        std::optional<std::string> home; // nullopt: unset
        std::string want;                // empty: fails
    } cases[] = {
        {"xdg absolute", xdg, home, xdg + "/velmora/Tessmark/"},
        {"xdg trailing slash", xdg + "/", home, xdg + "/velmora/Tessmark/"},
        {"xdg unset", std::nullopt, home, fromHome},
        {"xdg empty", "", home, fromHome},
        {"xdg relative", "rel/share", home, fromHome},
        {"xdg absolute, no home", xdg, std::nullopt, xdg + "/velmora/Tessmark/"},
        {"no xdg, no home", std::nullopt, std::nullopt, ""},
        {"no xdg, empty home", std::nullopt, "", ""},
        {"no xdg, relative home", "", "some/home", ""},
    };
    for (const auto& c : cases) {
        ScopedEnv x("XDG_DATA_HOME", c.xdg ? c.xdg->c_str() : nullptr);
        ScopedEnv h("HOME", c.home ? c.home->c_str() : nullptr);
        bool ok = false;
        std::string got = Call(&ok);
        EXPECT_EQ(ok, !c.want.empty()) << c.name;
        EXPECT_EQ(got, c.want) << c.name;
        if (ok) {
            EXPECT_TRUE(std::filesystem::is_directory(got)) << c.name;
        }
    }
}

TEST_F(DataFolderTest, CreatesMissingFoldersPrivate) {
    const std::string home = m_dir.Path("home");
    ScopedEnv x("XDG_DATA_HOME", nullptr);
    ScopedEnv h("HOME", home.c_str());
    bool ok = false;
    std::string got = Call(&ok);
    ASSERT_TRUE(ok);
    for (const char* sub : {"", "/.local", "/.local/share", "/.local/share/velmora",
                            "/.local/share/velmora/Tessmark"})
        EXPECT_EQ(ModeOf(home + sub), 0700u) << sub;

    // A second call finds the folders there.
    EXPECT_EQ(Call(&ok), got);
    EXPECT_TRUE(ok);
}

TEST_F(DataFolderTest, ExistingParentKeepsItsMode) {
    std::filesystem::create_directory(m_dir.Path("xdg"));
    chmod(m_dir.Path("xdg").c_str(), 0755);
    ScopedEnv x("XDG_DATA_HOME", m_dir.Path("xdg").c_str());
    bool ok = false;
    Call(&ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ModeOf(m_dir.Path("xdg")), 0755u);
    EXPECT_EQ(ModeOf(m_dir.Path("xdg/velmora")), 0700u);
    EXPECT_EQ(ModeOf(m_dir.Path("xdg/velmora/Tessmark")), 0700u);
}

TEST_F(DataFolderTest, FolderThatCannotBeCreatedFails) {
    WriteFileBytes(m_dir.Path("file"), "x");
    std::filesystem::create_directory(m_dir.Path("locked"));
    chmod(m_dir.Path("locked").c_str(), 0500);
    std::filesystem::create_directories(m_dir.Path("taken/velmora"));
    WriteFileBytes(m_dir.Path("taken/velmora/Tessmark"), "x");
    const std::string bases[] = {m_dir.Path("file"), m_dir.Path("file/below"), m_dir.Path("taken")};
    for (const std::string& base : bases) {
        ScopedEnv x("XDG_DATA_HOME", base.c_str());
        bool ok = true;
        Call(&ok);
        EXPECT_FALSE(ok) << base;
    }
    if (geteuid() != 0) { // root writes into a read-only folder anyway
        ScopedEnv x("XDG_DATA_HOME", m_dir.Path("locked").c_str());
        bool ok = true;
        Call(&ok);
        EXPECT_FALSE(ok);
    }
    chmod(m_dir.Path("locked").c_str(), 0700);
}

// The data folder leaves room for the names of its files: one of 219
// characters is taken, one longer is refused with the reason and nothing made.
TEST_F(DataFolderTest, PathMustLeaveRoomForItsFiles) {
    const std::string tail = "/velmora/Tessmark/";
    const size_t longest = 259 - kDataFileNameRoom;
    ASSERT_EQ(longest, 219u);
    const std::string prefix = m_dir.Folder();
    const size_t fill = longest - tail.size() - prefix.size();
    ASSERT_LT(fill, 256u);
    const std::string fits = prefix + std::string(fill, 'a');
    const std::string tooLong = prefix + std::string(fill + 1, 'b');
    {
        ScopedEnv x("XDG_DATA_HOME", fits.c_str());
        bool ok = false;
        std::string got = Call(&ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(got, fits + tail);
        EXPECT_EQ(got.size(), longest);
    }
    {
        ScopedEnv x("XDG_DATA_HOME", tooLong.c_str());
        char out[260];
        std::string why;
        EXPECT_FALSE(GetDataFolder(out, why));
        EXPECT_EQ(why, "The data folder path is too long: " + tooLong + tail);
        EXPECT_FALSE(std::filesystem::exists(tooLong)); // nothing was created
    }
}

// Without a usable data folder the settings are neither read from nor written
// to any file, the program folder's included: a settings file of 250
// characters' folder would otherwise have moved there.
TEST_F(DataFolderTest, WithoutAUsableDataFolderTheSettingsGoNowhere) {
    const std::string programIni = [] {
        char folder[260];
        return GetModuleFolder(nullptr, folder) ? std::string(folder) + "velmora.ini"
                                                : std::string();
    }();
    ASSERT_FALSE(programIni.empty());
    const bool programIniExisted = std::filesystem::exists(programIni);
    const std::string programIniBefore = ReadFileBytes(programIni);

    const std::string tail = "/velmora/Tessmark/";
    const std::string base =
        m_dir.Folder() + std::string(250 - tail.size() - m_dir.Folder().size(), 'd');
    ScopedEnv x("XDG_DATA_HOME", base.c_str());
    std::filesystem::create_directories(base + tail);
    char folder[260];
    std::string why;
    const std::string before = SettingsFile.GetPath();
    EXPECT_FALSE(BindSettingsFile(folder, why));
    EXPECT_EQ(why, "The data folder path is too long: " + base + tail);
    EXPECT_STREQ(SettingsFile.GetPath(), "");

    LoadSettings();
    EXPECT_EQ(AppSettings.AppFlag, rkAddr); // the defaults
    CopyText(AppSettings.UserName, "someone@example.com");
    SaveSettings();
    EXPECT_EQ(std::filesystem::exists(programIni), programIniExisted);
    EXPECT_EQ(ReadFileBytes(programIni), programIniBefore);
    for (const auto& e : std::filesystem::recursive_directory_iterator(m_dir.Folder()))
        EXPECT_TRUE(e.is_directory()) << e.path();
    SettingsFile.SetPath(before.c_str());
}

} // namespace
