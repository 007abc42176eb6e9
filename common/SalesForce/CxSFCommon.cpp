#include "CxSFCommon.h"

#include "CxDebugUtil.h"
#include "CxIniUtil.h"
#include "CxSFParamParser.h"
#include "CxSFProcess.h"
#include "CxText.h"
#include "WinUtil.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unistd.h>
#include <utility>

namespace {

// A null or empty text empties the member; any other is cut to 255 characters.
void SetMember(char (&member)[256], const char* text) {
    CopyText(member, (text && *text) ? text : "");
}

// The same for a path or file name, which is never cut (that would name
// another file): one that does not fit empties the member; false then.
bool SetPathMember(char (&member)[256], const char* text) {
    if (CopyWholeText(member, (text && *text) ? text : ""))
        return true;
    DEBUG_LOG(LOG_CRITICAL, "A path that is too long was refused: %s", text);
    return false;
}

// The exit status with which a helper ends when it was asked to stop.
constexpr int kHelperExitStopped = 6;

const char kStatusSection[] = "Status";
const char kSubmitSection[] = "Submit";
const char kUndeleteSection[] = "Undelete";
const char kSaveFailed[] = "Can not save information to temperary file.";

// A settings file bound to a full path.
class PathIni : public CxIniUtil {
public:
    explicit PathIni(const std::string& path) : CxIniUtil(nullptr, nullptr) {
        SetPath(path.c_str());
    }
};

// A count of the helper's submit report: a whole number from 0 up, else -1
// (missing, empty or not a number).
int32_t ReportCount(CxIniUtil& ini, const char* key, const char* section = kSubmitSection) {
    char text[32] = {};
    ini.GetString(section, key, text, sizeof(text), "");
    if (!text[0])
        return -1;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > INT32_MAX ||
        !std::isdigit(static_cast<unsigned char>(text[0])))
        return -1;
    return static_cast<int32_t>(value);
}

// A time-out as the user reads it: "30 minutes", "1 minute", "90 seconds".
std::string DurationText(uint32_t ms) {
    auto unit = [](uint32_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    if (ms != 0 && ms % 60000 == 0)
        return unit(ms / 60000, "minute", "minutes");
    if (ms != 0 && ms % 1000 == 0)
        return unit(ms / 1000, "second", "seconds");
    return unit(ms, "millisecond", "milliseconds");
}

// Why a run of the helper failed, for the user.
std::string RunFailureText(int result, const CxSFDataReader& runner) {
    const std::string head = std::string("The helper program ") + runner.GetProgramName();
    switch (result) {
    case hrNotStarted:
        return head + " could not be started: " + runner.GetErrorText();
    case hrTimedOut:
        return head + " did not finish within " + DurationText(runner.GetTimeout());
    case hrExitStatus:
        if (runner.GetExitStatus() == kHelperExitStopped)
            return head + " was stopped on request.";
        return head + " ended with exit status " + std::to_string(runner.GetExitStatus());
    case hrSignalled:
        return head + " was ended by signal " + std::to_string(runner.GetSignal());
    default:
        return head + " could not be waited for: " + runner.GetErrorText();
    }
}

} // namespace

std::string JoinFolderFile(const char* folder, const char* fileName) {
    std::string path = folder ? folder : "";
    const char* name = fileName ? fileName : "";
    const bool folderEnds = !path.empty() && path.back() == '/';
    if (folderEnds) {
        while (*name == '/')
            ++name;
    } else if (!path.empty() && *name != '/') {
        path += '/';
    }
    path += name;
    return path;
}

// ---------------------------------------------------------------------------
// Helper runner

CxSFDataReader::CxSFDataReader()
    : m_szProgramName{}, m_szFolder{}, m_szParamFileName{}, m_szDataFileName{},
      m_nTimeoutMs(kDefaultTimeoutMs), m_nPid(0), m_nExitStatus(0), m_nSignal(0), m_nErrorNumber(0),
      m_nRefused(0) {}

CxSFDataReader::~CxSFDataReader() {
    StopHelper();
    DeleteExchangeFiles();
}

bool CxSFDataReader::SetText(char (&member)[260], unsigned bit, const char* text) {
    if (!text)
        return true;
    if (CopyWholeText(member, text)) {
        m_nRefused &= ~bit;
        return true;
    }
    m_nRefused |= bit;
    DEBUG_LOG(LOG_CRITICAL, "The helper runner refused a path that is too long: %s", text);
    return false;
}

bool CxSFDataReader::SetProgramName(const char* text) {
    return SetText(m_szProgramName, 1, text);
}
bool CxSFDataReader::SetFolder(const char* text) {
    return SetText(m_szFolder, 2, text);
}
bool CxSFDataReader::SetParamFileName(const char* text) {
    return SetText(m_szParamFileName, 4, text);
}
bool CxSFDataReader::SetDataFileName(const char* text) {
    return SetText(m_szDataFileName, 8, text);
}

std::string CxSFDataReader::ParamFilePath() const {
    return JoinFolderFile(m_szFolder, m_szParamFileName);
}

std::string CxSFDataReader::CommandLine() const {
    return std::string("\"") + m_szProgramName + "\" \"" + ParamFilePath() + "\"";
}

std::string CxSFDataReader::GetErrorText() const {
    return m_nErrorNumber ? std::string(strerror(m_nErrorNumber)) : std::string();
}

int CxSFDataReader::RunHelper() {
    StopHelper();
    m_nExitStatus = 0;
    m_nSignal = 0;
    m_nErrorNumber = 0;

    // The helper works in the program's folder; this process keeps its own
    // current directory, which other threads rely on meanwhile.
    char current[4096];
    if (!getcwd(current, sizeof(current)))
        current[0] = '\0';
    DEBUG_LOG(LOG_NORMAL, "Original current directory: %s", current);
    char folder[4096];
    const bool haveFolder = GetModuleFolder(nullptr, folder, sizeof(folder));
    if (!haveFolder)
        folder[0] = '\0';
    DEBUG_LOG(LOG_NORMAL, "Set current directory: %s", folder);
    const std::string command = CommandLine();
    DEBUG_LOG(LOG_NORMAL, "Executing command: %s", command.c_str());

    pid_t pid = 0;
    int rc = m_nRefused ? ENAMETOOLONG : ENOENT;
    if (haveFolder && m_szProgramName[0] && !m_nRefused)
        rc = SpawnHelperProcess(std::string(folder) + m_szProgramName,
                                {m_szProgramName, ParamFilePath()}, folder, &pid);
    if (rc != 0) {
        m_nErrorNumber = rc;
        errno = rc;
        DEBUG_LOG(LOG_CRITICAL, "CreateProcess Error: %s", strerror(errno));
        return hrNotStarted;
    }
    DEBUG_LOG(LOG_NORMAL, "Command executed successfully.");

    int status = 0, error = 0;
    switch (WaitHelperProcess(pid, m_nTimeoutMs, &status, &error)) {
    case HelperWait::Ended:
        return Outcome(status);
    case HelperWait::TimedOut:
        // Never killed: it goes on alone and is reaped by StopHelper.
        m_nPid = pid;
        DEBUG_LOG(LOG_NORMAL, "The helper utility program has no response. Got timeout event.");
        return hrTimedOut;
    case HelperWait::Failed:
        break;
    }
    m_nPid = pid;
    m_nErrorNumber = error;
    DEBUG_LOG(LOG_CRITICAL, "Got unexpected error, return code=%d", error);
    return hrWaitFailed;
}

int CxSFDataReader::Outcome(int status) {
    if (WIFEXITED(status)) {
        m_nExitStatus = WEXITSTATUS(status);
        if (m_nExitStatus == 0) {
            DEBUG_LOG(LOG_NORMAL, "Helper utility program exited successfully.");
            return hrOk;
        }
        DEBUG_LOG(LOG_CRITICAL, "Helper utility program ended with exit status %d.", m_nExitStatus);
        return hrExitStatus;
    }
    if (WIFSIGNALED(status)) {
        m_nSignal = WTERMSIG(status);
        DEBUG_LOG(LOG_CRITICAL, "Helper utility program was ended by signal %d.", m_nSignal);
        return hrSignalled;
    }
    DEBUG_LOG(LOG_CRITICAL, "Got unexpected error, return code=%d", status);
    return hrWaitFailed;
}

void CxSFDataReader::StopHelper() {
    if (m_nPid > 0)
        ReapHelperProcessLater(m_nPid);
    m_nPid = 0;
}

void CxSFDataReader::DeleteExchangeFiles() {
    // Without a folder the names would point into the current directory.
    if (!m_szFolder[0])
        return;
    if (m_szParamFileName[0])
        unlink(ParamFilePath().c_str());
    if (m_szDataFileName[0])
        unlink(JoinFolderFile(m_szFolder, m_szDataFileName).c_str());
}

// ---------------------------------------------------------------------------
// Exchange objects

CxSFBaseUtil::CxSFBaseUtil()
    : m_bChanged(true), m_bHasError(false), m_szUserName{}, m_szPassword{}, m_szToken{},
      m_szDataFolder{}, m_szDataFileName{}, m_szParamFileName{}, m_szErrorFileName{},
      m_szStatusFileName{}, m_szLastError{}, m_szLogLocation{}, m_szReserved{}, m_nLogLevel(3),
      m_bDebugEnabled(false), m_nRequest(0), m_szHelperName{}, m_szStateFileName{}, m_nKind(skNone),
      m_nHelperTimeoutMs(CxSFDataReader::kDefaultTimeoutMs), m_szConnectionKind{},
      m_szConnectionTarget{}, m_szSignInMethod{}, m_szConsumerKey{}, m_szCallbackUrl{},
      m_nMarkedCount(-1), m_nDeletedCount(-1), m_szResultsFile{}, m_szFirstError{},
      m_nErrorCount(0), m_szBackupFile{}, m_szUndoResults{}, m_nRequestedCount(-1),
      m_nRestoredCount(-1), m_szRestoredFile{} {
    CopyText(m_szLogLocation, "appdebug.log");
    // The data folder starts as the program's own folder.
    if (!GetModuleFolder(nullptr, m_szDataFolder, sizeof(m_szDataFolder)))
        m_szDataFolder[0] = '\0';
}

CxSFBaseUtil::~CxSFBaseUtil() {
    RequestStopIfRunning();
    CxSFBaseUtil::Clear();
}

bool CxSFBaseUtil::Load() {
    return true;
}

bool CxSFBaseUtil::Clear() {
    // Without a folder the names would point into the current directory.
    if (!m_szDataFolder[0])
        return true;
    // The helper leaves its progress and error files behind; a new run starts without them.
    if (m_szStatusFileName[0])
        unlink(DataPath(m_szStatusFileName).c_str());
    if (m_szErrorFileName[0])
        unlink(DataPath(m_szErrorFileName).c_str());
    return true;
}

bool CxSFBaseUtil::Submit() {
    return false;
}

bool CxSFBaseUtil::ReadDataFile(const char* /*fileName*/) {
    return false;
}

bool CxSFBaseUtil::WriteDataFile(const char* /*fileName*/) {
    return false;
}

bool CxSFBaseUtil::AddKindParams(CxSFParamParser& /*params*/) const {
    return true;
}

void CxSFBaseUtil::SetHelperName(const char* text) {
    if (text && !CopyWholeText(m_szHelperName, text))
        DEBUG_LOG(LOG_CRITICAL, "A helper program name that is too long was refused: %s", text);
}

void CxSFBaseUtil::SetConnection(const char* kind, const char* target) {
    CopyText(m_szConnectionKind, kind ? kind : "");
    // A local org's path cut short would name another file.
    if (!CopyWholeText(m_szConnectionTarget, target))
        DEBUG_LOG(LOG_CRITICAL, "A connection target that is too long was refused: %s", target);
}

void CxSFBaseUtil::SetSignInMethod(const char* method) {
    CopyText(m_szSignInMethod, method ? method : "");
}

void CxSFBaseUtil::SetConsumerKey(const char* text) {
    CopyText(m_szConsumerKey, text ? text : "");
}

void CxSFBaseUtil::SetCallbackUrl(const char* text) {
    CopyText(m_szCallbackUrl, text ? text : "");
}

void CxSFBaseUtil::SetKind(int kind, const char* helperName, const char* stateFileName) {
    m_nKind = kind;
    SetHelperName(helperName);
    SetPathMember(m_szStateFileName, stateFileName);
}

CxSFDataReader* CxSFBaseUtil::KindRunner(int kind, bool make) {
    static std::mutex mutex;
    static std::unique_ptr<CxSFDataReader> runners[4];
    if (kind < 0 || kind >= 4)
        return nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    if (!runners[kind] && make)
        runners[kind].reset(new (std::nothrow) CxSFDataReader);
    return runners[kind].get();
}

void CxSFBaseUtil::SetError(const char* text) {
    m_bHasError = true;
    CopyText(m_szLastError, text ? text : "");
    DEBUG_LOG(LOG_CRITICAL, "%s", m_szLastError);
}

bool CxSFBaseUtil::ExchangeWithHelper() {
    // An earlier run's report must never pass for this one's.
    ClearSubmitReport();
    CxSFDataReader* runner = KindRunner(m_nKind);
    if (!runner || !m_szHelperName[0] || !m_szParamFileName[0]) {
        SetError("No helper program is set for these records.");
        return false;
    }
    // Every file of the exchange must have a path that fits; none is cut.
    if (!m_szDataFolder[0] && m_sRefusedFolder.empty()) {
        SetError("No data folder is set for these records.");
        return false;
    }
    bool fits = m_sRefusedFolder.empty();
    for (const char* name : {m_szParamFileName, m_szDataFileName, m_szErrorFileName,
                             m_szStatusFileName, m_szStateFileName})
        fits = fits && DataPath(name).size() <= kMaxPathLength;
    if (!fits) {
        SetError((std::string("The data folder path is too long: ") +
                  (m_sRefusedFolder.empty() ? m_szDataFolder : m_sRefusedFolder.c_str()))
                     .c_str());
        return false;
    }

    const std::string request = std::to_string(m_nRequest);
    const std::string level = std::to_string(m_nLogLevel);
    const std::pair<int32_t, const char*> values[] = {
        {1001, m_szUserName},      {1002, m_szPassword},       {1003, m_szToken},
        {1004, m_szDataFileName},  {1005, m_szDataFolder},     {1006, request.c_str()},
        {1007, m_szErrorFileName}, {1008, m_szStatusFileName}, {1009, m_szLogLocation},
        {1010, m_szReserved},      {1011, level.c_str()},      {1012, m_bDebugEnabled ? "1" : "0"},
    };
    const bool undelete = m_nRequest == kUndeleteRequest;
    const std::string paramPath = DataPath(m_szParamFileName);
    {
        CxSFParamParser params;
        bool filled = true;
        for (const auto& [tag, text] : values)
            filled = params.SetParam(tag, ptText, text) && filled;
        if (m_szConnectionKind[0]) {
            filled = params.SetParam(1013, ptText, m_szConnectionKind) && filled;
            filled = params.SetParam(1014, ptText, m_szConnectionTarget) && filled;
        }
        // Only the salesforce backend signs in in more than one way.
        if (std::strcmp(m_szConnectionKind, "salesforce") == 0) {
            const char* method = m_szSignInMethod[0] ? m_szSignInMethod : "password";
            filled = params.SetParam(1015, ptText, method) && filled;
            filled = params.SetParam(1016, ptText, m_szConsumerKey) && filled;
            filled = params.SetParam(1017, ptText, m_szCallbackUrl) && filled;
        }
        // The deletion to undo: its results file, in the data folder.
        if (undelete)
            filled = params.SetParam(1018, ptText, m_szUndoResults) && filled;
        filled = filled && AddKindParams(params);
        // A parameter file of an earlier request must never drive this run.
        unlink(paramPath.c_str());
        if (!filled || !params.SaveParams(paramPath.c_str())) {
            const std::string why = filled ? std::string(": ") + std::strerror(errno) : "";
            SetError(("The parameter file " + paramPath + " could not be written" + why).c_str());
            return false;
        }
    }

    m_bHasError = false;
    m_szLastError[0] = '\0';
    // Only this run's errors are read afterwards.
    if (m_szErrorFileName[0])
        unlink(DataPath(m_szErrorFileName).c_str());
    // A stop request left by an earlier exchange object is not meant for this run.
    if (m_szStateFileName[0])
        PathIni(DataPath(m_szStateFileName)).WriteString(kStatusSection, "Stop", "0");

    runner->SetFolder(m_szDataFolder);
    runner->SetProgramName(m_szHelperName);
    runner->SetParamFileName(m_szParamFileName);
    runner->SetDataFileName(m_szDataFileName);
    runner->SetTimeout(m_nHelperTimeoutMs);
    const int result = runner->RunHelper();
    // The parameter file holds the password and token in plain text.
    unlink(paramPath.c_str());

    ReadHelperError();
    ReadSubmitReport();
    if (result != hrOk) {
        // A helper that failed and said why is the better source of the reason.
        if (result == hrExitStatus && m_bHasError && m_szLastError[0])
            DEBUG_LOG(LOG_CRITICAL, "%s", m_szLastError);
        else
            SetError(RunFailureText(result, *runner).c_str());
        return false;
    }
    if (m_bHasError)
        DEBUG_LOG(LOG_CRITICAL, "%s", m_szLastError);
    return true;
}

bool CxSFBaseUtil::SignOut() {
    DEBUG_LOG(LOG_NORMAL, "Start signing out of salesforce.");
    // An earlier run's progress line must never pass for this run's answer.
    if (m_szStatusFileName[0])
        unlink(DataPath(m_szStatusFileName).c_str());
    m_nRequest = kSignOutRequest;
    if (!ExchangeWithHelper() || m_bHasError)
        return false;
    DEBUG_LOG(LOG_NORMAL, "Signed out of salesforce.");
    return true;
}

bool CxSFBaseUtil::Undelete(const char* resultsFile) {
    DEBUG_LOG(LOG_NORMAL, "Start restoring deleted records from the recycle bin.");
    const char* slash = resultsFile ? std::strrchr(resultsFile, '/') : nullptr;
    CopyWholeText(m_szUndoResults, slash ? slash + 1 : (resultsFile ? resultsFile : ""));
    if (!m_szUndoResults[0]) {
        ClearSubmitReport();
        SetError("No results file names the records to restore.");
        return false;
    }
    m_nRequest = kUndeleteRequest;
    return ExchangeWithHelper();
}

std::string CxSFBaseUtil::ReadProgressLine() const {
    std::string text;
    if (!m_szStatusFileName[0])
        return text;
    FILE* file = std::fopen(DataPath(m_szStatusFileName).c_str(), "rb");
    if (!file)
        return text;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof(chunk), file)) > 0;)
        text.append(chunk, n);
    std::fclose(file);
    const size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos)
        return std::string();
    text.resize(end + 1);
    const size_t start = text.find_last_of("\r\n");
    return start == std::string::npos ? text : text.substr(start + 1);
}

void CxSFBaseUtil::ReadHelperError() {
    m_bHasError = false;
    m_szLastError[0] = '\0';
    m_szFirstError[0] = '\0';
    m_nErrorCount = 0;
    if (!m_szErrorFileName[0])
        return;
    PathIni ini(DataPath(m_szErrorFileName));
    const int count = ini.GetInt("Error", "Error.Count", 0);
    if (count <= 0)
        return;
    const std::string key = "Error." + std::to_string(count);
    ini.GetString("Error", key.c_str(), m_szLastError, sizeof(m_szLastError), "");
    ini.GetString("Error", "Error.1", m_szFirstError, sizeof(m_szFirstError), "");
    m_nErrorCount = count;
    m_bHasError = true;
}

void CxSFBaseUtil::ClearSubmitReport() {
    m_nMarkedCount = -1;
    m_nDeletedCount = -1;
    m_szResultsFile[0] = '\0';
    m_szBackupFile[0] = '\0';
    m_nRequestedCount = -1;
    m_nRestoredCount = -1;
    m_szRestoredFile[0] = '\0';
}

void CxSFBaseUtil::ReadSubmitReport() {
    ClearSubmitReport();
    if (!m_szErrorFileName[0])
        return;
    PathIni ini(DataPath(m_szErrorFileName));
    m_nMarkedCount = ReportCount(ini, "Marked");
    m_nDeletedCount = ReportCount(ini, "Deleted");
    ini.GetString(kSubmitSection, "Results", m_szResultsFile, sizeof(m_szResultsFile), "");
    ini.GetString(kSubmitSection, "Backup", m_szBackupFile, sizeof(m_szBackupFile), "");
    m_nRequestedCount = ReportCount(ini, "Requested", kUndeleteSection);
    m_nRestoredCount = ReportCount(ini, "Restored", kUndeleteSection);
    ini.GetString(kUndeleteSection, "Results", m_szRestoredFile, sizeof(m_szRestoredFile), "");
}

void CxSFBaseUtil::RequestStopIfRunning() {
    if (!m_szStateFileName[0] || !m_szDataFolder[0])
        return;
    PathIni ini(DataPath(m_szStateFileName));
    if (ini.GetInt(kStatusSection, "Running", 0) == 0)
        return;
    // Only a helper this program started and has not seen end is asked to stop:
    // "Running=1" may be left by a helper that died, or belong to another program.
    const CxSFDataReader* runner = KindRunner(m_nKind, false);
    const pid_t ours = runner ? runner->GetProcessId() : 0;
    const int pid = ini.GetInt(kStatusSection, "Pid", 0);
    if (ours <= 0 || pid != ours || kill(ours, 0) != 0) {
        DEBUG_LOG(LOG_NORMAL,
                  "The state file %s says a helper runs, but not one of this "
                  "program's; no stop request was written.",
                  DataPath(m_szStateFileName).c_str());
        return;
    }
    ini.WriteString(kStatusSection, "Stop", "1");
}

bool CxSFBaseUtil::LoadKind(const CxSFKindTexts& texts, const char* srcFile, int srcLine) {
    DebugLog.Log(LOG_NORMAL, srcFile, srcLine, "%s", texts.loadStart);
    Clear();
    if (LoadFromHelper()) {
        DebugLog.Log(LOG_NORMAL, srcFile, srcLine, "%s", texts.loadDone);
        return true;
    }
    DebugLog.Log(LOG_CRITICAL, srcFile, srcLine, "%s", texts.loadFailed);
    return false;
}

bool CxSFBaseUtil::OpenDataFile(CxFile& file, const char* fileName, const char* mode,
                                const char* startFormat, const char* srcFile, int srcLine,
                                std::string& path) const {
    const char* name = DataFileNameOr(fileName);
    DebugLog.Log(LOG_NORMAL, srcFile, srcLine, startFormat, name);
    path = DataPath(name);
    file.Close();
    if (file.Open(path.c_str(), mode))
        return true;
    DebugLog.Log(LOG_CRITICAL, srcFile, srcLine, "Failed to open file: %s", path.c_str());
    return false;
}

bool CxSFBaseUtil::LoadFromHelper() {
    // Records an earlier run left must never pass for this run's.
    if (m_szDataFileName[0])
        unlink(DataPath(m_szDataFileName).c_str());
    m_nRequest = kLoadRequest;
    if (!ExchangeWithHelper() || m_bHasError)
        return false;
    if (!ReadDataFile()) {
        SetError(
            ("The data file " + DataPath(m_szDataFileName) + " is missing or incomplete").c_str());
        return false;
    }
    return true;
}

bool CxSFBaseUtil::SubmitChanges() {
    DEBUG_LOG(LOG_NORMAL, "Start submitting changes to server.");
    if (!m_bChanged) {
        // Nothing runs, so no report: an earlier run's would pass for this one's.
        ClearSubmitReport();
        DEBUG_LOG(LOG_NORMAL,
                  "There is no new changes and no need to submit information to server.");
        return true;
    }
    if (!WriteDataFile()) {
        DEBUG_LOG(LOG_CRITICAL, "%s", kSaveFailed);
        m_bHasError = true;
        CopyText(m_szLastError, kSaveFailed);
        return false;
    }
    m_nRequest = kSubmitRequest;
    if (!ExchangeWithHelper())
        return false;
    m_bChanged = false;
    return true;
}

void CxSFBaseUtil::SetUserName(const char* text) {
    SetMember(m_szUserName, text);
}
void CxSFBaseUtil::SetPassword(const char* text) {
    SetMember(m_szPassword, text);
}
void CxSFBaseUtil::SetToken(const char* text) {
    SetMember(m_szToken, text);
}
void CxSFBaseUtil::SetDataFolder(const char* text) {
    if (SetPathMember(m_szDataFolder, text))
        m_sRefusedFolder.clear();
    else
        m_sRefusedFolder = text;
}
void CxSFBaseUtil::SetLogLocation(const char* text) {
    SetPathMember(m_szLogLocation, text);
}
void CxSFBaseUtil::SetDataFileName(const char* text) {
    SetPathMember(m_szDataFileName, text);
}
void CxSFBaseUtil::SetParamFileName(const char* text) {
    SetPathMember(m_szParamFileName, text);
}
void CxSFBaseUtil::SetErrorFileName(const char* text) {
    SetPathMember(m_szErrorFileName, text);
}
void CxSFBaseUtil::SetStatusFileName(const char* text) {
    SetPathMember(m_szStatusFileName, text);
}

std::string CxSFBaseUtil::DataPath(const char* fileName) const {
    return JoinFolderFile(m_szDataFolder, fileName);
}

const char* CxSFBaseUtil::DataFileNameOr(const char* fileName) const {
    return (fileName && *fileName) ? fileName : m_szDataFileName;
}
