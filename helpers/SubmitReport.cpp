#include "SubmitReport.h"

#include "CxDebugUtil.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char* OutcomeText(SubmitReport::Outcome outcome, SubmitReport::Action action) {
    const bool restore = action == SubmitReport::Action::Restore;
    switch (outcome) {
    case SubmitReport::Outcome::Deleted:
        return restore ? "restored" : "deleted";
    case SubmitReport::Outcome::Unknown:
        return "unknown";
    default:
        return restore ? "not restored" : "not deleted";
    }
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (!(n < 0 && errno == EINTR))
            return false;
    }
    return true;
}

// A new file of mode 0600 under a name no earlier submit used.
int CreateResultsFile(const HelperRequest& req, const char* word, std::string& path) {
    const std::string stem = req.StateFileName().substr(0, req.StateFileName().find('.'));
    const time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%Y%m%d-%H%M%S", &local);
    for (int i = 0; i < 100; ++i) {
        path =
            req.InFolder(stem + word + "-" + stamp + (i ? "-" + std::to_string(i) : "") + ".csv");
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

SubmitReport::SubmitReport(const std::vector<DeleteTarget>& targets, Action action)
    : m_action(action) {
    m_lines.reserve(targets.size());
    for (const DeleteTarget& t : targets) {
        Line line;
        line.id = t.id.empty() ? "Note " + std::to_string(t.seq) : t.id;
        line.name = t.name;
        m_lines.push_back(std::move(line));
    }
}

void SubmitReport::Deleted(size_t index) {
    if (index >= m_lines.size() || m_lines[index].outcome == Outcome::Deleted)
        return;
    m_lines[index].outcome = Outcome::Deleted;
    m_lines[index].statusCode.clear();
    m_lines[index].message.clear();
    ++m_nDeleted;
}

void SubmitReport::NotDeleted(size_t index, const std::string& statusCode,
                              const std::string& message) {
    if (index >= m_lines.size() || m_lines[index].outcome == Outcome::Deleted)
        return;
    m_lines[index].outcome = Outcome::NotDeleted;
    m_lines[index].statusCode = statusCode;
    m_lines[index].message = message;
}

void SubmitReport::Unknown(size_t index, const std::string& message) {
    if (index >= m_lines.size() || m_lines[index].outcome == Outcome::Deleted)
        return;
    m_lines[index].outcome = Outcome::Unknown;
    m_lines[index].statusCode.clear();
    m_lines[index].message = message;
}

std::string SubmitReport::Finish(HelperSession& s) {
    std::string path;
    const bool restore = m_action == Action::Restore;
    int fd = CreateResultsFile(s.req, restore ? "Restored" : "Results", path);
    bool ok = fd >= 0;
    const int createErrno = errno;
    if (ok) {
        std::string text = "Id,Name,Outcome,StatusCode,Message\n";
        for (const Line& l : m_lines)
            text += CsvField(l.id) + "," + CsvField(l.name) + "," +
                    OutcomeText(l.outcome, m_action) + "," + CsvField(l.statusCode) + "," +
                    CsvField(l.message) + "\n";
        ok = WriteAll(fd, text);
        ok = close(fd) == 0 && ok;
        if (!ok)
            unlink(path.c_str());
    }
    if (!ok) {
        s.errors.Add("The results file \"" + path +
                     "\" cannot be written: " + std::strerror(fd >= 0 ? errno : createErrno) + ".");
        path.clear();
    }
    if (restore)
        s.errors.SetUndeleteSummary(m_lines.size(), m_nDeleted, path);
    else
        s.errors.SetSubmitSummary(m_lines.size(), m_nDeleted, path);
    std::string line = (restore ? "Restored " : "Deleted ") + std::to_string(m_nDeleted) + " of " +
                       std::to_string(m_lines.size()) + " " + s.req.KindWord() + ".";
    if (!path.empty())
        line += " Results: " + path;
    s.progress.Set(line);
    DEBUG_LOG(LOG_NORMAL, "%s", line.c_str());
    return path;
}
