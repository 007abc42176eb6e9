#include "Apputil.h"

#include "Base64.h"
#include "ConnectionTarget.h"
#include "CxDebugUtil.h"
#include "CxText.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Before the settings are read every field is zero and no connection is chosen.
constexpr TAppSettings UnreadSettings() {
    TAppSettings s{};
    s.Connection = ccNone;
    return s;
}

} // namespace

constinit TAppSettings AppSettings = UnreadSettings();
constinit CxIniUtil SettingsFile(nullptr, "velmora.ini");

namespace {

const char kSection[] = "Tessmark";
constexpr size_t kPathCapacity = 260;

// Decoding room for the stored texts: 255 Base64 characters decode to at most
// 191 bytes, 1023 to at most 767; one byte more keeps the result terminated.
constexpr size_t kPasswordDecodeSize = 256;
constexpr size_t kTokenDecodeSize = 768;

// An absolute folder from the environment, or null when unset, empty or relative.
const char* AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : nullptr;
}

// The base of the data folder without a trailing '/': an absolute
// $XDG_DATA_HOME, else an absolute $HOME followed by "/.local/share".
bool GetDataHome(std::string& base) {
    if (const char* xdg = AbsoluteEnv("XDG_DATA_HOME"))
        base = xdg;
    else if (const char* home = AbsoluteEnv("HOME"))
        base = std::string(home) + "/.local/share";
    else
        return false;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return true;
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates one folder with mode 0700 unless a folder of that name exists;
// errno tells why it failed.
bool EnsureFolder(const std::string& path) {
    if (IsFolder(path))
        return true;
    if (mkdir(path.c_str(), 0700) != 0) {
        if (errno != EEXIST)
            return false;
        if (IsFolder(path))
            return true;
        errno = ENOTDIR;
        return false;
    }
    // The umask may have taken bits away; the folder is the user's alone either way.
    return chmod(path.c_str(), 0700) == 0;
}

// Creates every missing folder of path (which ends with '/'), parents first.
bool EnsureFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (path[slash - 1] == '/')
            continue; // a doubled separator inside the environment's value
        if (!EnsureFolder(path.substr(0, slash)))
            return false;
    }
    return true;
}

// The longest data folder path, trailing '/' included.
constexpr size_t kMaxDataFolderLength = kMaxPathLength - kDataFileNameRoom;

// Reads a Base64 text of at most storedCap - 1 characters into stored and its
// decoded bytes, cut to plainCap - 1 at a character boundary, into plain.
void ReadStoredText(const char* key, char* stored, size_t storedCap, char* plain, size_t plainCap,
                    unsigned char* decoded, size_t decodedSize) {
    SettingsFile.GetString(kSection, key, stored, static_cast<int>(storedCap), "");
    stored[storedCap - 1] = '\0';
    std::memset(decoded, 0, decodedSize);
    Base64Decode(stored, decoded, decodedSize - 1, nullptr);
    CopyText(plain, plainCap, reinterpret_cast<const char*>(decoded));
}

// Encodes plain into stored (or makes stored empty when not saved) and writes it.
void WriteStoredText(const char* key, bool save, const char* plain, size_t plainCap, char* stored,
                     size_t storedCap) {
    stored[0] = '\0';
    if (save) {
        size_t len = strnlen(plain, plainCap - 1);
        if (len > 0 &&
            Base64Encode(reinterpret_cast<const unsigned char*>(plain), len, stored, storedCap - 1))
            stored[(len + 2) / 3 * 4] = '\0';
        else
            stored[0] = '\0';
    }
    SettingsFile.WriteString(kSection, key, stored);
}

// What the helpers connect to. Without a valid choice in the file: the local
// org a helper settings file names (so that a machine set up for one keeps
// using it), otherwise Salesforce; that local org is also the default path.
void ReadConnection(TAppSettings& s) {
    std::string helperOrg;
    const bool haveHelperOrg = FindHelperLocalOrg(helperOrg);
    // A path cut to the capacity would name another file; an empty one makes
    // the helper read its settings file itself.
    if (helperOrg.size() > sizeof(s.LocalOrgPath) - 1)
        helperOrg.clear();

    char name[32] = {};
    SettingsFile.GetString(kSection, "Connection", name, sizeof(name), "");
    s.Connection = haveHelperOrg ? ccLocalOrg : ccSalesforce;
    ParseConnectionName(name, s.Connection);

    SettingsFile.GetString(kSection, "MyDomainUrl", s.MyDomainUrl, sizeof(s.MyDomainUrl), "");
    s.MyDomainUrl[sizeof(s.MyDomainUrl) - 1] = '\0';
    // Read with room to spare, so that a path too long for the field is
    // refused whole rather than cut.
    std::vector<char> path(4 * sizeof(s.LocalOrgPath));
    SettingsFile.GetString(kSection, "LocalOrgPath", path.data(), static_cast<int>(path.size()),
                           helperOrg.c_str());
    if (!CopyWholeText(s.LocalOrgPath, path.data()))
        DEBUG_LOG(LOG_CRITICAL,
                  "The local org path in the settings is too long; it is not used: %s",
                  path.data());
}

// How the helpers sign in to salesforce. Without a valid method in the file:
// password and security token. An empty callback address reads as the
// default, so that the browser sign-in always has one to offer.
void ReadSignIn(TAppSettings& s) {
    char name[32] = {};
    SettingsFile.GetString(kSection, "SignInMethod", name, sizeof(name), "");
    s.SignInMethod = siPassword;
    ParseSignInMethodName(name, s.SignInMethod);

    SettingsFile.GetString(kSection, "ConsumerKey", s.ConsumerKey, sizeof(s.ConsumerKey), "");
    s.ConsumerKey[sizeof(s.ConsumerKey) - 1] = '\0';
    SettingsFile.GetString(kSection, "CallbackUrl", s.CallbackUrl, sizeof(s.CallbackUrl),
                           kDefaultCallbackUrl);
    s.CallbackUrl[sizeof(s.CallbackUrl) - 1] = '\0';
    if (!s.CallbackUrl[0])
        CopyText(s.CallbackUrl, kDefaultCallbackUrl);
}

void WriteSignIn(TAppSettings& s) {
    SettingsFile.WriteString(kSection, "SignInMethod", SignInMethodName(s.SignInMethod));
    s.ConsumerKey[sizeof(s.ConsumerKey) - 1] = '\0';
    SettingsFile.WriteString(kSection, "ConsumerKey", s.ConsumerKey);
    s.CallbackUrl[sizeof(s.CallbackUrl) - 1] = '\0';
    SettingsFile.WriteString(kSection, "CallbackUrl", s.CallbackUrl);
}

void WriteConnection(TAppSettings& s) {
    SettingsFile.WriteString(kSection, "Connection", ConnectionName(s.Connection));
    s.MyDomainUrl[sizeof(s.MyDomainUrl) - 1] = '\0';
    SettingsFile.WriteString(kSection, "MyDomainUrl", s.MyDomainUrl);
    s.LocalOrgPath[sizeof(s.LocalOrgPath) - 1] = '\0';
    SettingsFile.WriteString(kSection, "LocalOrgPath", s.LocalOrgPath);
}

} // namespace

bool GetDataFolder(char* out) {
    std::string why;
    return GetDataFolder(out, why);
}

bool GetDataFolder(char* out, std::string& why) {
    why.clear();
    if (!out)
        return false;
    std::string base;
    if (!GetDataHome(base)) {
        why = "The data folder can not be found: neither XDG_DATA_HOME nor HOME names an "
              "absolute folder.";
        return false;
    }
    std::string folder = base + "/velmora/Tessmark/";
    // Check the length first, so that a path that cannot be used creates nothing.
    if (folder.size() > kMaxDataFolderLength) {
        why = "The data folder path is too long: " + folder;
        return false;
    }
    if (!EnsureFolders(folder)) {
        why = "The data folder " + folder + " can not be created: " + std::strerror(errno);
        return false;
    }
    CopyText(out, kPathCapacity, folder.c_str());
    return true;
}

bool CanWriteDataFolder(const char* folder, std::string& why) {
    why.clear();
    std::string probe = std::string(folder ? folder : "") + ".tessmark-probe-XXXXXX";
    std::vector<char> name(probe.begin(), probe.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        why = std::string("The data folder ") + (folder ? folder : "") +
              " can not be written: " + std::strerror(errno);
        return false;
    }
    close(fd);
    unlink(name.data());
    return true;
}

bool BindSettingsFile(char* folder, std::string& why) {
    if (GetDataFolder(folder, why)) {
        const std::string path = std::string(folder) + "velmora.ini";
        if (path.size() <= kMaxPathLength) {
            SettingsFile.SetPath(path.c_str());
            return true;
        }
        why = "The data folder path is too long: " + std::string(folder);
    }
    SettingsFile.Unbind();
    return false;
}

void LoadSettings() {
    TAppSettings& s = AppSettings;
    std::memset(&s, 0, sizeof(s));

    SettingsFile.GetString(kSection, "UserName", s.UserName, sizeof(s.UserName), "");
    s.UserName[sizeof(s.UserName) - 1] = '\0';
    s.SaveUser = SettingsFile.GetBool(kSection, "SaveUser", true);

    s.SavePassword = SettingsFile.GetBool(kSection, "SavePassword", false);
    if (s.SavePassword) {
        unsigned char decoded[kPasswordDecodeSize];
        ReadStoredText("Password", s.StoredPassword, sizeof(s.StoredPassword), s.Password,
                       sizeof(s.Password), decoded, sizeof(decoded));
    }

    s.SaveToken = SettingsFile.GetBool(kSection, "SaveToken", true);
    if (s.SaveToken) {
        unsigned char decoded[kTokenDecodeSize];
        ReadStoredText("Token", s.StoredToken, sizeof(s.StoredToken), s.Token, sizeof(s.Token),
                       decoded, sizeof(decoded));
    }

    s.AppFlag = SettingsFile.GetInt(kSection, "AppFlag", rkAddr);
    s.CaseSensitive = SettingsFile.GetBool(kSection, "CaseSensitive", false);
    s.CompareEmpty = SettingsFile.GetBool(kSection, "CompareEmpty", false);
    s.AddrAccount = SettingsFile.GetBool(kSection, "AddrAccount", true);
    s.AddrContact = SettingsFile.GetBool(kSection, "AddrContact", true);
    s.AddrLead = SettingsFile.GetBool(kSection, "AddrLead", true);
    s.AddrDisplayName = SettingsFile.GetBool(kSection, "AddrDisplayName", true);
    s.AddrFirstName = SettingsFile.GetBool(kSection, "AddrFirstName", true);
    s.AddrLastName = SettingsFile.GetBool(kSection, "AddrLastName", true);
    s.AddrDepartment = SettingsFile.GetBool(kSection, "AddrDepartment", false);
    s.AddrTitle = SettingsFile.GetBool(kSection, "AddrTitle", false);
    s.AddrEmail = SettingsFile.GetBool(kSection, "AddrEmail", true);
    s.AddrPhone = SettingsFile.GetBool(kSection, "AddrPhone", false);
    s.AddrAddress = SettingsFile.GetBool(kSection, "AddrAddress", false);
    s.AddrBirthday = SettingsFile.GetBool(kSection, "AddrBirthday", false);
    s.AddrNote = SettingsFile.GetBool(kSection, "AddrNote", false);
    s.DateSubject = SettingsFile.GetBool(kSection, "DateSubject", true);
    s.DateLocation = SettingsFile.GetBool(kSection, "DateLocation", false);
    s.DateStartTime = SettingsFile.GetBool(kSection, "DateStartTime", true);
    s.DateEndTime = SettingsFile.GetBool(kSection, "DateEndTime", true);
    s.DateAllDayEvent = SettingsFile.GetBool(kSection, "DateAllDayEvent", true);
    s.DateRecur = SettingsFile.GetBool(kSection, "DateRecur", false);
    s.DateNote = SettingsFile.GetBool(kSection, "DateNote", false);
    s.TaskSubject = SettingsFile.GetBool(kSection, "TaskSubject", true);
    s.TaskImportance = SettingsFile.GetBool(kSection, "TaskImportance", true);
    s.TaskDueDate = SettingsFile.GetBool(kSection, "TaskDueDate", true);
    s.TaskNote = SettingsFile.GetBool(kSection, "TaskNote", false);
    s.EnableDebug = SettingsFile.GetBool(kSection, "EnableDebug", false);
    s.LogLevel = SettingsFile.GetInt(kSection, "LogLevel", 3);
    ReadConnection(s);
    ReadSignIn(s);
}

void SaveSettings() {
    TAppSettings& s = AppSettings;
    SettingsFile.BeginUpdate();
    SettingsFile.WriteInt(kSection, "AppFlag", s.AppFlag);
    SettingsFile.WriteBool(kSection, "CaseSensitive", s.CaseSensitive);
    SettingsFile.WriteBool(kSection, "CompareEmpty", s.CompareEmpty);
    SettingsFile.WriteBool(kSection, "AddrAccount", s.AddrAccount);
    SettingsFile.WriteBool(kSection, "AddrContact", s.AddrContact);
    SettingsFile.WriteBool(kSection, "AddrLead", s.AddrLead);
    SettingsFile.WriteBool(kSection, "AddrDisplayName", s.AddrDisplayName);
    SettingsFile.WriteBool(kSection, "AddrFirstName", s.AddrFirstName);
    SettingsFile.WriteBool(kSection, "AddrLastName", s.AddrLastName);
    SettingsFile.WriteBool(kSection, "AddrDepartment", s.AddrDepartment);
    SettingsFile.WriteBool(kSection, "AddrTitle", s.AddrTitle);
    SettingsFile.WriteBool(kSection, "AddrEmail", s.AddrEmail);
    SettingsFile.WriteBool(kSection, "AddrPhone", s.AddrPhone);
    SettingsFile.WriteBool(kSection, "AddrAddress", s.AddrAddress);
    SettingsFile.WriteBool(kSection, "AddrBirthday", s.AddrBirthday);
    SettingsFile.WriteBool(kSection, "AddrNote", s.AddrNote);
    SettingsFile.WriteBool(kSection, "DateSubject", s.DateSubject);
    SettingsFile.WriteBool(kSection, "DateLocation", s.DateLocation);
    SettingsFile.WriteBool(kSection, "DateStartTime", s.DateStartTime);
    SettingsFile.WriteBool(kSection, "DateEndTime", s.DateEndTime);
    SettingsFile.WriteBool(kSection, "DateAllDayEvent", s.DateAllDayEvent);
    SettingsFile.WriteBool(kSection, "DateRecur", s.DateRecur);
    SettingsFile.WriteBool(kSection, "DateNote", s.DateNote);
    SettingsFile.WriteBool(kSection, "TaskSubject", s.TaskSubject);
    SettingsFile.WriteBool(kSection, "TaskImportance", s.TaskImportance);
    SettingsFile.WriteBool(kSection, "TaskDueDate", s.TaskDueDate);
    SettingsFile.WriteBool(kSection, "TaskNote", s.TaskNote);
    SettingsFile.WriteBool(kSection, "EnableDebug", s.EnableDebug);
    SettingsFile.WriteInt(kSection, "LogLevel", s.LogLevel);

    // The user name is kept whatever "Remember User Name" says.
    s.UserName[sizeof(s.UserName) - 1] = '\0';
    SettingsFile.WriteString(kSection, "UserName", s.UserName);
    SettingsFile.WriteBool(kSection, "SaveUser", s.SaveUser);
    SettingsFile.WriteBool(kSection, "SavePassword", s.SavePassword);
    WriteStoredText("Password", s.SavePassword, s.Password, sizeof(s.Password), s.StoredPassword,
                    sizeof(s.StoredPassword));
    SettingsFile.WriteBool(kSection, "SaveToken", s.SaveToken);
    WriteStoredText("Token", s.SaveToken, s.Token, sizeof(s.Token), s.StoredToken,
                    sizeof(s.StoredToken));
    WriteConnection(s);
    WriteSignIn(s);
    if (!SettingsFile.EndUpdate()) {
        const char* path = SettingsFile.GetPath();
        DEBUG_LOG(LOG_CRITICAL, "The settings were not saved: %s",
                  path[0] ? path : "there is no usable data folder for the settings file");
    }
}
