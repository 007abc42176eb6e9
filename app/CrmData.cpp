#include "CrmData.h"

#include "Apputil.h"
#include "ConnectionTarget.h"
#include "CxCommWaitWindow.h"
#include "CxDebugUtil.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
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

// The sign-out's own progress and error files, apart from those of the
// contacts' loads.
const char kSignOutStatusFile[] = "SFSignOutStatus.dat";
const char kSignOutErrorFile[] = "SFSignOutErr.dat";
const char kSignOutMessage[] = "Signing out of salesforce...";
const char kSignOutNoFolder[] =
    "Tessmark cannot find a data folder it can use, so the helper program was not run.";

std::mutex g_signOutHelperMutex;
std::string g_signOutHelper;

// The program's own reason why the last load failed, and the helper every
// kind's load runs instead of its own (for the window tests).
std::mutex g_loadMutex;
std::string g_loadFailure;
std::string g_loadHelper;

// The data folder, or false when there is none the exchange objects can use:
// a cut folder would send the helper's files somewhere else, and one that
// cannot be written would fail the helper. why then tells the user why;
// outcome ends its log line ("nothing is loaded").
bool GetExchangeFolder(char (&folder)[kPathCapacity], const char* outcome, std::string& why) {
    if (GetDataFolder(folder, why)) {
        if (std::strlen(folder) > kExchangeFolderMax)
            why = std::string("The data folder path is too long: ") + folder;
        else if (CanWriteDataFolder(folder, why))
            return true;
    }
    DEBUG_LOG(LOG_CRITICAL, "%s Therefore %s.", why.c_str(), outcome);
    return false;
}

void Configure(const KindLoad& kind, const char* folder) {
    ConfigureExchange(*kind.pUtil, AppSettings, folder);
    {
        std::lock_guard<std::mutex> lock(g_loadMutex);
        if (!g_loadHelper.empty())
            kind.pUtil->SetHelperName(g_loadHelper.c_str());
    }
    if (kind.pAddrUtil) {
        kind.pAddrUtil->SetAddrAccount(AppSettings.AddrAccount);
        kind.pAddrUtil->SetAddrContact(AppSettings.AddrContact);
        kind.pAddrUtil->SetAddrLead(AppSettings.AddrLead);
    }
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
    std::string why;
    const bool haveFolder = GetExchangeFolder(folder, "nothing is loaded", why);
    {
        std::lock_guard<std::mutex> lock(g_loadMutex);
        g_loadFailure = why;
    }
    const bool loaded = haveFolder && LoadChosenKinds(folder);

    if (!MakeObject(CrmData.AddrDupList) || !MakeObject(CrmData.DateDupList) ||
        !MakeObject(CrmData.TaskDupList) || !MakeObject(CrmData.NoteDupList)) {
        FreeCrmData();
        return false;
    }
    return loaded;
}

void ConfigureExchange(CxSFBaseUtil& util, const TAppSettings& settings, const char* folder) {
    util.SetDataFolder(folder);
    util.SetUserName(settings.UserName);
    // The browser sign-in needs neither; what the user once typed stays here.
    const bool browser = UsesBrowserSignIn(settings);
    util.SetPassword(browser ? "" : settings.Password);
    util.SetToken(browser ? "" : settings.Token);
    util.SetLogLocation(folder);
    util.SetDebugEnabled(settings.EnableDebug);
    util.SetLogLevel(settings.LogLevel);

    std::string connection, target;
    if (!ConnectionTarget(settings, connection, target) && settings.Connection != ccNone)
        DEBUG_LOG(LOG_CRITICAL,
                  "The connection settings name no org (choice %d); the helper program goes by "
                  "its own settings file.",
                  static_cast<int>(settings.Connection));
    util.SetConnection(connection.c_str(), target.c_str());
    util.SetSignInMethod(SignInMethodParam(settings.SignInMethod));
    util.SetConsumerKey(settings.ConsumerKey);
    util.SetCallbackUrl(settings.CallbackUrl);
}

bool SignOutOfCrm(const TAppSettings& settings, std::string& answer) {
    answer.clear();
    char folder[kPathCapacity] = {};
    std::string why;
    if (!GetExchangeFolder(folder, "nobody is signed out", why)) {
        answer = std::string(kSignOutNoFolder) + "\n\n" + why;
        return false;
    }
    CxSFAddrUtil util;
    ConfigureExchange(util, settings, folder);
    // Signing out takes no password or token, whatever the method.
    util.SetPassword(nullptr);
    util.SetToken(nullptr);
    util.SetErrorFileName(kSignOutErrorFile);
    util.SetStatusFileName(kSignOutStatusFile);
    {
        std::lock_guard<std::mutex> lock(g_signOutHelperMutex);
        if (!g_signOutHelper.empty())
            util.SetHelperName(g_signOutHelper.c_str());
    }
    SetWaitMessage(kSignOutMessage);
    SetWaitStatusFileIn(folder, kSignOutStatusFile);
    const bool signedOut = util.SignOut();
    answer = signedOut ? util.ReadProgressLine() : std::string(util.GetLastError());
    return signedOut;
}

std::string LoadFailureReason() {
    {
        std::lock_guard<std::mutex> lock(g_loadMutex);
        if (!g_loadFailure.empty())
            return g_loadFailure;
    }
    const struct {
        int32_t nMask;
        const CxSFBaseUtil* pUtil;
    } kinds[] = {{rkAddr, CrmData.AddrUtil},
                 {rkDate, CrmData.DateUtil},
                 {rkTask, CrmData.TaskUtil},
                 {rkNote, CrmData.NoteUtil}};
    for (const auto& kind : kinds)
        if ((AppSettings.AppFlag & kind.nMask) && kind.pUtil && kind.pUtil->GetLastError()[0])
            return kind.pUtil->GetLastError();
    return std::string();
}

void SetLoadHelperName(const char* name) {
    std::lock_guard<std::mutex> lock(g_loadMutex);
    g_loadHelper = name ? name : "";
}

void SetSignOutHelperName(const char* name) {
    std::lock_guard<std::mutex> lock(g_signOutHelperMutex);
    g_signOutHelper = name ? name : "";
}

void FreeCrmData() {
    {
        std::lock_guard<std::mutex> lock(g_loadMutex);
        g_loadFailure.clear();
    }
    DestroyObject(CrmData.AddrUtil);
    DestroyObject(CrmData.DateUtil);
    DestroyObject(CrmData.TaskUtil);
    DestroyObject(CrmData.NoteUtil);
    DestroyList(CrmData.AddrDupList);
    DestroyList(CrmData.DateDupList);
    DestroyList(CrmData.TaskDupList);
    DestroyList(CrmData.NoteDupList);
}
