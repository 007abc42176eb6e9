// The files a run leaves for the system in the data folder: the error file,
// the progress file and the state file of the kind.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

// Errors of one run, written as section "Error": "Error.1" to "Error.N" and
// "Error.Count" = N. The system shows the last entry.
class HelperErrorFile {
public:
    // Entries written at most; later errors are summed up in one last entry.
    static constexpr size_t kMaxEntries = 100;

    explicit HelperErrorFile(std::string path = std::string()) : m_path(std::move(path)) {}
    void SetPath(std::string path) { m_path = std::move(path); }
    bool HasPath() const { return !m_path.empty(); }

    // Removes the file an earlier run left, so that it is never read as this run's.
    void Reset();
    void Add(const std::string& text);
    size_t Count() const { return m_errors.size() + m_nOmitted; }
    const std::vector<std::string>& Errors() const { return m_errors; }
    // What a submit did: section "Submit" with "Marked" (records marked for
    // deletion), "Deleted" (records really deleted) and "Results" (the results
    // file), written with the entries.
    void SetSubmitSummary(size_t marked, size_t deleted, const std::string& resultsPath);
    // The backup of the records a submit deleted: "Backup" in section "Submit".
    void SetBackupPath(const std::string& backupPath) { m_backupPath = backupPath; }
    // What an undelete did: section "Undelete" with "Requested" (records the
    // deletion's results file names as deleted), "Restored" and "Results".
    void SetUndeleteSummary(size_t requested, size_t restored, const std::string& resultsPath);
    // Writes every entry and the count (0 included); false when it could not.
    bool Write();

private:
    std::string m_path;
    std::vector<std::string> m_errors;
    size_t m_nOmitted = 0;
    bool m_bHasSummary = false;
    size_t m_nMarked = 0;
    size_t m_nDeleted = 0;
    std::string m_resultsPath;
    std::string m_backupPath;
    bool m_bHasUndelete = false;
    size_t m_nRequested = 0;
    size_t m_nRestored = 0;
    std::string m_restoredPath;
};

// The one-line progress message, replaced whole on every change so that a
// reader never sees half a line.
class HelperProgressFile {
public:
    explicit HelperProgressFile(std::string path = std::string()) : m_path(std::move(path)) {}
    void SetPath(std::string path) { m_path = std::move(path); }
    void Set(const std::string& line);
    const std::string& Current() const { return m_current; }

private:
    std::string m_path;
    std::string m_current;
};

// Section "Status" of the kind's state file: "Running" is 1 from Begin until
// End (or destruction), "Pid" the helper's process id; "Stop" = 1, written by
// the system, asks the run to end.
class HelperRunState {
public:
    explicit HelperRunState(std::string path) : m_path(std::move(path)) {}
    ~HelperRunState() { End(); }
    HelperRunState(const HelperRunState&) = delete;
    HelperRunState& operator=(const HelperRunState&) = delete;

    // Clears a stop request left from an earlier run, then sets "Running" = 1.
    void Begin();
    bool StopRequested();
    void End();

private:
    std::string m_path;
    bool m_bRunning = false;
};

// True at most once per interval; the first call is always due.
class HelperPacer {
public:
    explicit HelperPacer(std::chrono::milliseconds interval) : m_interval(interval) {}
    bool Due();

private:
    std::chrono::milliseconds m_interval;
    std::chrono::steady_clock::time_point m_last{};
    bool m_bStarted = false;
};

// Writes bytes to path through a temporary file (mode 0600) in the same folder
// and a rename; false when any step failed (no temporary file is left).
bool ReplaceFileContents(const std::string& path, const std::string& bytes);
