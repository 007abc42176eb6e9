// The process-wide settings record, the settings file and the data folder.
#pragma once

#include "CxIniUtil.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum RecordKindMask { rkAddr = 1, rkDate = 2, rkTask = 4, rkNote = 8 };

// What the helper programs connect to (TAppSettings::Connection). ccNone is
// the value before the settings are read: nothing is chosen, and the helpers
// go by their own settings file.
enum ConnectionChoice {
    ccNone = -1,
    ccSalesforce = 0,
    ccSandbox = 1,
    ccMyDomain = 2,
    ccLocalOrg = 3
};

// How the helper signs in to a salesforce org (TAppSettings::SignInMethod).
enum SignInChoice { siPassword = 0, siBrowser = 1 };

// Fields in the order of the settings table; texts are zero-terminated with the
// stated capacity, flags are one byte.
struct TAppSettings {
    char Token[256];
    char UserName[64];
    char Password[64];
    char StoredPassword[256];
    char StoredToken[1024];
    bool SaveUser;
    bool SavePassword;
    bool SaveToken;
    int32_t AppFlag;
    bool CaseSensitive;
    bool CompareEmpty;
    bool AddrContact;
    bool AddrAccount;
    bool AddrLead;
    bool AddrDisplayName;
    bool AddrFirstName;
    bool AddrLastName;
    bool AddrDepartment;
    bool AddrTitle;
    bool AddrEmail;
    bool AddrPhone;
    bool AddrAddress;
    bool AddrBirthday;
    bool AddrNote;
    bool DateSubject;
    bool DateStartTime;
    bool DateEndTime;
    bool DateLocation;
    bool DateAllDayEvent;
    bool DateRecur;
    bool DateNote;
    bool TaskSubject;
    bool TaskImportance;
    bool TaskDueDate;
    bool TaskNote;
    bool EnableDebug;
    int32_t LogLevel;
    int32_t Connection; // a ConnectionChoice
    char MyDomainUrl[260];
    char LocalOrgPath[260];
    int32_t SignInMethod; // a SignInChoice
    char ConsumerKey[256];
    char CallbackUrl[260];
};

extern TAppSettings AppSettings;
extern CxIniUtil SettingsFile;

// Room that the data folder's path leaves for the names of the files in it,
// so that every one of their paths fits 259 characters: the longest names are
// the helpers' results files ("SFAddrResults-YYYYMMDD-HHMMSS-N.csv") and a
// temporary file beside a file ("velmora.ini.tmp-XXXXXX").
constexpr size_t kDataFileNameRoom = 40;

// The per-user data folder with a trailing '/', created on demand (mode 0700):
// $XDG_DATA_HOME/velmora/Tessmark/, or $HOME/.local/share/velmora/Tessmark/.
// out holds 260 characters. False when out is null, no base folder is known,
// a folder cannot be created, or the path is longer than 259 characters less
// kDataFileNameRoom (nothing is created then); why says which for the user,
// as "The data folder path is too long: <path>".
bool GetDataFolder(char* out);
bool GetDataFolder(char* out, std::string& why);

// True when a file can be created in folder; otherwise why says so.
bool CanWriteDataFolder(const char* folder, std::string& why);

// Binds SettingsFile to "velmora.ini" in the data folder, which it puts into
// folder (260 characters). Without a usable data folder the settings file is
// unbound, so the settings read as their defaults and are not written (never
// into the program folder); false, and why says why.
bool BindSettingsFile(char* folder, std::string& why);

void LoadSettings();
// Writes every key in one replacement of the file; a failure is logged.
void SaveSettings();
