#include "ConnectionTarget.h"

#include "CxIniUtil.h"
#include "WinUtil.h"

#include <cstring>
#include <strings.h>

const char kSalesforceLoginUrl[] = "https://login.salesforce.com";
const char kSandboxLoginUrl[] = "https://test.salesforce.com";
const char kDefaultCallbackUrl[] = "http://localhost:1717/OauthRedirect";
const char kHelperSettingsFile[] = "Velmora.SFHelper.ini";

namespace {

constexpr size_t kPathCapacity = 260;

struct TChoiceName {
    int32_t choice;
    const char* name;
};

const TChoiceName kChoiceNames[] = {
    {ccSalesforce, "Salesforce"},
    {ccSandbox, "Sandbox"},
    {ccMyDomain, "MyDomain"},
    {ccLocalOrg, "LocalOrg"},
};

const TChoiceName kSignInNames[] = {
    {siPassword, "Password"},
    {siBrowser, "Browser"},
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trimmed(const char* text) {
    std::string s = text ? text : "";
    size_t begin = 0;
    while (begin < s.size() && IsBlank(s[begin]))
        ++begin;
    size_t end = s.size();
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

// A fixed-capacity settings text; stops at the capacity should the terminator
// be missing.
template <size_t N> std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// The entry of names whose name is text (without regard to case and
// surrounding blanks), or null.
template <size_t N> const TChoiceName* FindName(const TChoiceName (&names)[N], const char* text) {
    const std::string name = Trimmed(text);
    for (const TChoiceName& c : names)
        if (strcasecmp(name.c_str(), c.name) == 0)
            return &c;
    return nullptr;
}

// The name of value in names; the first entry's for a value it does not hold.
template <size_t N> const char* NameOf(const TChoiceName (&names)[N], int32_t value) {
    for (const TChoiceName& c : names)
        if (c.choice == value)
            return c.name;
    return names[0].name;
}

} // namespace

const char* ConnectionName(int32_t choice) {
    return NameOf(kChoiceNames, choice);
}

bool ParseConnectionName(const char* text, int32_t& choice) {
    const TChoiceName* found = FindName(kChoiceNames, text);
    if (found)
        choice = found->choice;
    return found != nullptr;
}

const char* SignInMethodName(int32_t method) {
    return NameOf(kSignInNames, method);
}

bool ParseSignInMethodName(const char* text, int32_t& method) {
    const TChoiceName* found = FindName(kSignInNames, text);
    if (found)
        method = found->choice;
    return found != nullptr;
}

const char* SignInMethodParam(int32_t method) {
    return method == siBrowser ? "browser" : "password";
}

bool IsSalesforceChoice(int32_t choice) {
    return choice == ccSalesforce || choice == ccSandbox || choice == ccMyDomain;
}

bool UsesBrowserSignIn(const TAppSettings& settings) {
    return settings.SignInMethod == siBrowser && IsSalesforceChoice(settings.Connection);
}

bool HelperLocalOrgIn(const std::string& folder, std::string& path) {
    if (folder.empty())
        return false;
    CxIniUtil ini(nullptr, nullptr);
    ini.SetPath((folder + kHelperSettingsFile).c_str());
    char value[1024] = {};
    ini.GetString("Helper", "LocalOrg", value, sizeof(value), "");
    if (!value[0])
        return false;
    path = value[0] == '/' ? std::string(value) : folder + value;
    return true;
}

bool FindHelperLocalOrg(std::string& path) {
    char folder[kPathCapacity] = {};
    if (GetDataFolder(folder) && HelperLocalOrgIn(folder, path))
        return true;
    return GetModuleFolder(nullptr, folder, sizeof(folder)) && HelperLocalOrgIn(folder, path);
}

bool ConnectionTarget(const TAppSettings& settings, std::string& kind, std::string& target) {
    kind = "salesforce";
    switch (settings.Connection) {
    case ccSalesforce:
        target = kSalesforceLoginUrl;
        return true;
    case ccSandbox:
        target = kSandboxLoginUrl;
        return true;
    case ccMyDomain:
        target = Trimmed(FieldText(settings.MyDomainUrl).c_str());
        while (!target.empty() && target.back() == '/')
            target.pop_back();
        if (!target.empty())
            return true;
        break;
    case ccLocalOrg:
        kind = "local";
        target = FieldText(settings.LocalOrgPath);
        return true;
    default:
        break;
    }
    kind.clear();
    target.clear();
    return false;
}
