// What reaches the helpers from the connection settings, and the local org a
// helper settings file names.
#include "ConnectionTarget.h"

#include "CxText.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

TEST(ConnectionTargetTest, EachChoiceGivesItsKindAndTarget) {
    const struct {
        const char* name;
        int32_t choice;
        const char* url;
        const char* path;
        bool ok;
        const char* kind;
        const char* target;
    } cases[] = {
        {"salesforce", ccSalesforce, "https://x.my.salesforce.com", "/o.db", true, "salesforce",
         "https://login.salesforce.com"},
        {"sandbox", ccSandbox, "", "", true, "salesforce", "https://test.salesforce.com"},
        {"my domain", ccMyDomain, "https://acme.my.salesforce.com", "/o.db", true, "salesforce",
         "https://acme.my.salesforce.com"},
        {"my domain, blanks and slashes", ccMyDomain, " \thttps://acme.my.salesforce.com// \n", "",
         true, "salesforce", "https://acme.my.salesforce.com"},
        {"my domain on this computer", ccMyDomain, "http://127.0.0.1:8443/", "", true, "salesforce",
         "http://127.0.0.1:8443"},
        {"my domain without address", ccMyDomain, "  ", "/o.db", false, "", ""},
        {"my domain of slashes only", ccMyDomain, "//", "", false, "", ""},
        {"local org", ccLocalOrg, "https://x", "/home/ann/demo.db", true, "local",
         "/home/ann/demo.db"},
        // The helper then goes by its own settings file.
        {"local org without path", ccLocalOrg, "", "", true, "local", ""},
        {"no choice", 9, "https://x", "/o.db", false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TAppSettings s;
        std::memset(&s, 0, sizeof(s));
        s.Connection = c.choice;
        CopyText(s.MyDomainUrl, c.url);
        CopyText(s.LocalOrgPath, c.path);
        std::string kind = "old", target = "old";
        EXPECT_EQ(ConnectionTarget(s, kind, target), c.ok);
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(target, c.target);
    }
}

// The browser sign-in counts for the salesforce choices only; the helper's
// text of the method is "password" for anything but the browser.
TEST(ConnectionTargetTest, TheBrowserSignInAppliesToSalesforceChoicesOnly) {
    const struct {
        int32_t choice;
        int32_t method;
        bool browser;
    } cases[] = {
        {ccSalesforce, siBrowser, true},   {ccSandbox, siBrowser, true},
        {ccMyDomain, siBrowser, true},     {ccLocalOrg, siBrowser, false},
        {ccNone, siBrowser, false},        {9, siBrowser, false},
        {ccSalesforce, siPassword, false}, {ccSalesforce, 5, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "choice " << c.choice << ", method " << c.method);
        TAppSettings s;
        std::memset(&s, 0, sizeof(s));
        s.Connection = c.choice;
        s.SignInMethod = c.method;
        EXPECT_EQ(UsesBrowserSignIn(s), c.browser);
    }
    EXPECT_STREQ(SignInMethodParam(siBrowser), "browser");
    EXPECT_STREQ(SignInMethodParam(siPassword), "password");
    EXPECT_STREQ(SignInMethodParam(5), "password");
}

TEST(ConnectionTargetTest, HelperSettingsNameALocalOrg) {
    TempDir dir;
    const struct {
        const char* name;
        const char* file; // null: no helper settings file
        bool found;
        std::string path;
    } cases[] = {
        {"no file", nullptr, false, ""},
        {"absolute", "[Helper]\nLocalOrg=/srv/demo.db\n", true, "/srv/demo.db"},
        {"relative", "[helper]\nlocalorg=orgs/demo.db\n", true, dir.Folder() + "orgs/demo.db"},
        {"empty key", "[Helper]\nLocalOrg=\n", false, ""},
        {"other section", "[Other]\nLocalOrg=/srv/demo.db\n", false, ""},
        {"other key", "[Helper]\nRecordDelayMs=5\n", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string ini = dir.Path("Velmora.SFHelper.ini");
        std::remove(ini.c_str());
        if (c.file)
            WriteFileBytes(ini, c.file);
        std::string path;
        EXPECT_EQ(HelperLocalOrgIn(dir.Folder(), path), c.found);
        if (c.found) {
            EXPECT_EQ(path, c.path);
        }
    }
}

} // namespace
