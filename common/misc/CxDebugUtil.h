// The one diagnostic log, "appdebug.log" in the data folder: one line an entry
// with time, source position, thread and level, CR LF line ends, rotated to
// "appdebug.log.old.log" once it grows above 10,485,760 bytes.
#pragma once

#include <atomic>
#include <cstddef>
#include <ctime>
#include <mutex>
#include <string>

enum { LOG_CRITICAL = 0, LOG_HIGH = 1, LOG_NORMAL = 2, LOG_LOW = 3 };

class CxDebugUtil {
public:
    static constexpr long long kRotateSize = 10485760;

    constexpr CxDebugUtil() : m_szFileName{}, m_szFolder{}, m_nLevel(0), m_bEnabled(false) {
        const char file[] = "appdebug.log";
        for (size_t i = 0; i < sizeof(file); ++i)
            m_szFileName[i] = file[i];
        m_szFolder[0] = '.';
        m_szFolder[1] = '/';
        m_szFolder[2] = '\0';
    }
    virtual ~CxDebugUtil();
    CxDebugUtil(const CxDebugUtil&) = delete;
    CxDebugUtil& operator=(const CxDebugUtil&) = delete;

    // Writes one entry when its level passes the filter. Safe from any thread:
    // a line is written whole or not at all.
    void Log(int level, const char* file, int line, const char* format, ...)
        __attribute__((format(printf, 5, 6)));

    // False, keeping the folder it had, when folder is null or its path would
    // not fit 259 characters (a cut folder would be another one).
    bool SetLogFolder(const char* folder);
    void EnableLog(bool enabled);
    void SetLogLevel(int level);

    int GetLogLevel() const { return m_nLevel.load(); }
    bool IsEnabled() const { return m_bEnabled.load(); }
    std::string GetLogPath() const;

    // The text of one line without its line end, for a given time and thread.
    static std::string FormatLine(int level, const char* file, int line, const struct tm& when,
                                  unsigned long threadId, const char* message);

private:
    void WriteLogLine(int level, const char* file, int line, const char* message);

    char m_szFileName[260];
    char m_szFolder[260];
    std::atomic<int> m_nLevel;
    std::atomic<bool> m_bEnabled;
    mutable std::mutex m_mutex;
};

extern CxDebugUtil DebugLog;

// Every log call passes its own source file and line.
#define DEBUG_LOG(level, ...) DebugLog.Log((level), __FILE__, __LINE__, __VA_ARGS__)
