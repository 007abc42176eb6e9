#include "ConnectionTarget.h"

#include "CxIniUtil.h"
#include "WinUtil.h"

#include <cstring>
#include <strings.h>

const char kSalesforceLoginUrl[] = "https://login.salesforce.com";
const char kSandboxLoginUrl[] = "https://test.salesforce.com";
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

} // namespace

const char* ConnectionName(int32_t choice) {
    for (const TChoiceName& c : kChoiceNames)
        if (c.choice == choice)
            return c.name;
    return kChoiceNames[0].name;
}

bool ParseConnectionName(const char* text, int32_t& choice) {
    const std::string name = Trimmed(text);
    for (const TChoiceName& c : kChoiceNames)
        if (strcasecmp(name.c_str(), c.name) == 0) {
            choice = c.choice;
            return true;
        }
    return false;
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
