#include "HelperFiles.h"

#include "CxIniUtil.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char kErrorSection[] = "Error";
const char kStatusSection[] = "Status";
const char kSubmitSection[] = "Submit";
const char kUndeleteSection[] = "Undelete";

} // namespace

bool ReplaceFileContents(const std::string& path, const std::string& bytes) {
    std::string pattern = path + ".XXXXXX";
    std::vector<char> tmp(pattern.begin(), pattern.end());
    tmp.push_back('\0');
    int fd = mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (!(n < 0 && errno == EINTR))
            ok = false;
    }
    if (close(fd) != 0)
        ok = false;
    if (ok)
        ok = std::rename(tmp.data(), path.c_str()) == 0;
    if (!ok)
        unlink(tmp.data());
    return ok;
}

void HelperErrorFile::Reset() {
    if (!m_path.empty())
        unlink(m_path.c_str());
}

void HelperErrorFile::Add(const std::string& text) {
    if (m_errors.size() < kMaxEntries - 1)
        m_errors.push_back(text);
    else
        ++m_nOmitted;
}

void HelperErrorFile::SetSubmitSummary(size_t marked, size_t deleted,
                                       const std::string& resultsPath) {
    m_bHasSummary = true;
    m_nMarked = marked;
    m_nDeleted = deleted;
    m_resultsPath = resultsPath;
}

void HelperErrorFile::SetUndeleteSummary(size_t requested, size_t restored,
                                         const std::string& resultsPath) {
    m_bHasUndelete = true;
    m_nRequested = requested;
    m_nRestored = restored;
    m_restoredPath = resultsPath;
}

bool HelperErrorFile::Write() {
    if (m_path.empty())
        return false;
    CxIniUtil ini(nullptr, nullptr);
    ini.SetPath(m_path.c_str());
    if (m_bHasSummary) {
        ini.WriteString(kSubmitSection, "Marked", std::to_string(m_nMarked).c_str());
        ini.WriteString(kSubmitSection, "Deleted", std::to_string(m_nDeleted).c_str());
        ini.WriteString(kSubmitSection, "Results", m_resultsPath.c_str());
    }
    if (!m_backupPath.empty())
        ini.WriteString(kSubmitSection, "Backup", m_backupPath.c_str());
    if (m_bHasUndelete) {
        ini.WriteString(kUndeleteSection, "Requested", std::to_string(m_nRequested).c_str());
        ini.WriteString(kUndeleteSection, "Restored", std::to_string(m_nRestored).c_str());
        ini.WriteString(kUndeleteSection, "Results", m_restoredPath.c_str());
    }
    std::vector<std::string> entries = m_errors;
    if (m_nOmitted == 1)
        entries.push_back("1 more error is not listed.");
    else if (m_nOmitted > 1)
        entries.push_back(std::to_string(m_nOmitted) + " more errors are not listed.");
    bool ok = true;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string key = "Error." + std::to_string(i + 1);
        ok = ini.WriteString(kErrorSection, key.c_str(), entries[i].c_str()) != 0 && ok;
    }
    // The count last: a reader never finds a count without its entries.
    return ini.WriteInt(kErrorSection, "Error.Count", static_cast<int>(entries.size())) != 0 && ok;
}

void HelperProgressFile::Set(const std::string& line) {
    if (m_path.empty() || line == m_current)
        return;
    if (ReplaceFileContents(m_path, line + "\n"))
        m_current = line;
}

void HelperRunState::Begin() {
    CxIniUtil ini(nullptr, nullptr);
    ini.SetPath(m_path.c_str());
    ini.WriteInt(kStatusSection, "Stop", 0);
    // The pid tells a running helper from one that died with "Running=1" written.
    ini.WriteInt(kStatusSection, "Pid", static_cast<int>(getpid()));
    ini.WriteInt(kStatusSection, "Running", 1);
    m_bRunning = true;
}

bool HelperRunState::StopRequested() {
    CxIniUtil ini(nullptr, nullptr);
    ini.SetPath(m_path.c_str());
    return ini.GetInt(kStatusSection, "Stop", 0) != 0;
}

void HelperRunState::End() {
    if (!m_bRunning)
        return;
    CxIniUtil ini(nullptr, nullptr);
    ini.SetPath(m_path.c_str());
    ini.WriteInt(kStatusSection, "Running", 0);
    m_bRunning = false;
}

bool HelperPacer::Due() {
    auto now = std::chrono::steady_clock::now();
    if (m_bStarted && now - m_last < m_interval)
        return false;
    m_bStarted = true;
    m_last = now;
    return true;
}
