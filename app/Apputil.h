// The process-wide settings record, the settings file and the data folder.
#pragma once

#include "CxIniUtil.h"

#include <cstdint>

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

// The per-user data folder with a trailing '/', created on demand (mode 0700):
// $XDG_DATA_HOME/velmora/Tessmark/, or $HOME/.local/share/velmora/Tessmark/.
// out holds 260 characters. False when out is null, no base folder is known,
// a folder cannot be created, or the path would not fit.
bool GetDataFolder(char* out);

void LoadSettings();
void SaveSettings();
