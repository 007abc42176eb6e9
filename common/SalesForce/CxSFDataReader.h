// The helper runner: starts one helper program from the program's folder with
// the parameter file as its argument, waits for it up to a time-out and reports
// how the run ended. A helper is never killed: one that does not end in time is
// kept and reaped later, so it never stays behind as a zombie.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

// How a run of the helper ended.
enum HelperRunResult : int {
    hrOk = 0,         // the helper ran and ended with exit status 0
    hrNotStarted = 1, // the program could not be started (GetErrorNumber)
    hrTimedOut = 2,   // still running when the time-out passed
    hrExitStatus = 3, // ended with a non-zero exit status (GetExitStatus)
    hrSignalled = 4,  // ended by a signal (GetSignal)
    hrWaitFailed = 5, // the wait for it failed (GetErrorNumber)
};

class CxSFDataReader {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 1800000; // 30 minutes

    CxSFDataReader();
    // Lets go of a helper still running (StopHelper), then deletes the parameter
    // file, which holds the password and token, and the data file.
    ~CxSFDataReader();
    CxSFDataReader(const CxSFDataReader&) = delete;
    CxSFDataReader& operator=(const CxSFDataReader&) = delete;

    // Each copies its text whole; null leaves the member. A text of more than
    // 259 characters is refused (false): the member is emptied and the next
    // run fails to start (ENAMETOOLONG) until it is set again.
    bool SetProgramName(const char* text);
    bool SetFolder(const char* text);
    bool SetParamFileName(const char* text);
    bool SetDataFileName(const char* text);
    void SetTimeout(uint32_t ms) { m_nTimeoutMs = ms; }

    const char* GetProgramName() const { return m_szProgramName; }
    const char* GetFolder() const { return m_szFolder; }
    const char* GetParamFileName() const { return m_szParamFileName; }
    const char* GetDataFileName() const { return m_szDataFileName; }
    uint32_t GetTimeout() const { return m_nTimeoutMs; }

    // Lets go of an earlier run (StopHelper), starts the helper and waits for it;
    // hrOk only when it ran and ended with exit status 0.
    int RunHelper();
    // Reaps a helper kept from a timed-out run, or leaves it to be reaped once it
    // ends; the caller is never blocked.
    void StopHelper();
    // Deletes folder + parameter file name and folder + data file name; missing
    // files are no error.
    void DeleteExchangeFiles();

    // "\"<program>\" \"<folder><parameter file>\"", as the log shows it.
    std::string CommandLine() const;
    // The parameter file's full path, as the helper gets it.
    std::string ParamFilePath() const;

    // Details of the last run.
    int GetExitStatus() const { return m_nExitStatus; }
    int GetSignal() const { return m_nSignal; }
    int GetErrorNumber() const { return m_nErrorNumber; }
    // strerror of GetErrorNumber; empty when there is none.
    std::string GetErrorText() const;
    // The helper kept after a time-out, until StopHelper lets go of it; 0 otherwise.
    pid_t GetProcessId() const { return m_nPid; }

private:
    int Outcome(int status);
    bool SetText(char (&member)[260], unsigned bit, const char* text);

    char m_szProgramName[260];
    char m_szFolder[260];
    char m_szParamFileName[260];
    char m_szDataFileName[260];
    uint32_t m_nTimeoutMs;
    pid_t m_nPid;
    int m_nExitStatus;
    int m_nSignal;
    int m_nErrorNumber;
    unsigned m_nRefused; // one bit per member whose last text did not fit
};
