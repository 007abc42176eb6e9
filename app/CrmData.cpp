#include "CrmData.h"

#include "Apputil.h"
#include "ConnectionTarget.h"
#include "CxCommWaitWindow.h"
#include "CxDebugUtil.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <thread>

TCrmData CrmData = {};

namespace {

constexpr size_t kPathCapacity = 260;
// The exchange objects keep their folder in 256 characters, terminator included.
constexpr size_t kExchangeFolderMax = 255;
// Gives the wait window time to show the kind's message before the helper starts.
constexpr std::chrono::milliseconds kMessagePause(200);

struct KindLoad {
    int32_t nMask;
    const char* pszMessage;
    const char* pszStatusFile;
    CxSFBaseUtil* pUtil;
    CxSFAddrUtil* pAddrUtil; // set for contacts only: the contact sources
};

template <class T> bool MakeObject(T*& slot) {
    try {
        slot = new T;
    } catch (const std::bad_alloc&) {
        slot = nullptr;
    }
    return slot != nullptr;
}

template <class T> void DestroyObject(T*& slot) {
    delete slot;
    slot = nullptr;
}

void DestroyList(CxList*& list) {
    if (list)
        list->RemoveAll(false);
    DestroyObject(list);
}

// The data folder, or false when there is none the exchange objects can hold:
// a cut folder would send the helper's files somewhere else.
bool GetLoadFolder(char (&folder)[kPathCapacity]) {
    if (!GetDataFolder(folder)) {
        DEBUG_LOG(LOG_CRITICAL, "Can not find the data folder; nothing is loaded.");
        return false;
    }
    if (std::strlen(folder) > kExchangeFolderMax) {
        DEBUG_LOG(LOG_CRITICAL, "The data folder is too long; nothing is loaded: %s", folder);
        return false;
    }
    return true;
}

void Configure(const KindLoad& kind, const char* folder) {
    CxSFBaseUtil& util = *kind.pUtil;
    util.SetDataFolder(folder);
    util.SetUserName(AppSettings.UserName);
    util.SetPassword(AppSettings.Password);
    util.SetToken(AppSettings.Token);
    if (kind.pAddrUtil) {
        kind.pAddrUtil->SetAddrAccount(AppSettings.AddrAccount);
        kind.pAddrUtil->SetAddrContact(AppSettings.AddrContact);
        kind.pAddrUtil->SetAddrLead(AppSettings.AddrLead);
    }
    util.SetLogLocation(folder);
    util.SetDebugEnabled(AppSettings.EnableDebug);
    util.SetLogLevel(AppSettings.LogLevel);

    std::string connection, target;
    if (!ConnectionTarget(AppSettings, connection, target) && AppSettings.Connection != ccNone)
        DEBUG_LOG(LOG_CRITICAL,
                  "The connection settings name no org (choice %d); the helper program goes by "
                  "its own settings file.",
                  static_cast<int>(AppSettings.Connection));
    util.SetConnection(connection.c_str(), target.c_str());
}

// Runs the helper of every chosen kind; true when every load succeeded.
bool LoadChosenKinds(const char* folder) {
    const KindLoad kinds[] = {
        {rkAddr, "Loading salesforce CRM Contacts...", "SFAddrStatus.dat", CrmData.AddrUtil,
         CrmData.AddrUtil},
        {rkDate, "Loading salesforce CRM Calendar...", "SFDateStatus.dat", CrmData.DateUtil,
         nullptr},
        {rkTask, "Loading salesforce CRM Tasks...", "SFTaskStatus.dat", CrmData.TaskUtil, nullptr},
        {rkNote, "Loading salesforce CRM Notes...", "SFNoteStatus.dat", CrmData.NoteUtil, nullptr},
    };
    bool loaded = true;
    for (const KindLoad& kind : kinds) {
        if ((AppSettings.AppFlag & kind.nMask) == 0)
            continue;
        SetWaitMessage(kind.pszMessage);
        std::this_thread::sleep_for(kMessagePause);
        Configure(kind, folder);
        SetWaitStatusFileIn(folder, kind.pszStatusFile);
        if (!kind.pUtil->Load())
            loaded = false;
    }
    return loaded;
}

} // namespace

bool LoadCrmData() {
    FreeCrmData();

    if (!MakeObject(CrmData.AddrUtil) || !MakeObject(CrmData.DateUtil) ||
        !MakeObject(CrmData.TaskUtil) || !MakeObject(CrmData.NoteUtil)) {
        FreeCrmData();
        return false;
    }

    char folder[kPathCapacity] = {};
    const bool haveFolder = GetLoadFolder(folder);
    const bool loaded = haveFolder && LoadChosenKinds(folder);

    if (!MakeObject(CrmData.AddrDupList) || !MakeObject(CrmData.DateDupList) ||
        !MakeObject(CrmData.TaskDupList) || !MakeObject(CrmData.NoteDupList)) {
        FreeCrmData();
        return false;
    }
    return loaded;
}

void FreeCrmData() {
    DestroyObject(CrmData.AddrUtil);
    DestroyObject(CrmData.DateUtil);
    DestroyObject(CrmData.TaskUtil);
    DestroyObject(CrmData.NoteUtil);
    DestroyList(CrmData.AddrDupList);
    DestroyList(CrmData.DateDupList);
    DestroyList(CrmData.TaskDupList);
    DestroyList(CrmData.NoteDupList);
}
