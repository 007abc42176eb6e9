#include "DeleteBackup.h"

#include "SubmitReport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kWriteSlice = 1 << 20;

// A file descriptor closed at the end of its life unless it was closed already.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    // Closes now; false (errno set) when the close failed.
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return close(fd) == 0;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n == 0)
            errno = ENOSPC;
        else if (errno == EINTR)
            continue;
        if (n <= 0)
            return false;
    }
    return true;
}

std::string Stamp() {
    const time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%Y%m%d-%H%M%S", &local);
    return stamp;
}

// The folder, made with mode 0700 when missing; false with why.
bool MakeFolder(const std::string& folder, std::string& why) {
    if (mkdir(folder.c_str(), 0700) == 0)
        return true;
    const int err = errno;
    struct stat st {};
    if (err == EEXIST && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    why = "the folder \"" + folder + "\" cannot be made: " +
          (err == EEXIST ? "a file of that name is in the way" : std::strerror(err));
    return false;
}

} // namespace

void DeleteBackup::Add(const std::string& object, std::vector<Field> fields) {
    m_records.push_back({object, std::move(fields)});
}

bool DeleteBackup::Write(const std::string& dataFolder, const std::string& kindName,
                         std::string& path, std::string& why) const {
    path.clear();
    if (m_records.empty())
        return true;
    const std::string folder = dataFolder + kBackupFolderName;
    if (!MakeFolder(folder, why))
        return false;

    // The header names every field met, in the order first met.
    std::vector<std::string> names;
    std::map<std::string, size_t> column;
    for (const Record& r : m_records)
        for (const Field& f : r.fields)
            if (column.emplace(f.first, names.size()).second)
                names.push_back(f.first);

    const std::string stem = folder + "/" + kindName + "-" + Stamp();
    int fd = -1;
    for (int i = 0; i < 100 && fd < 0; ++i) {
        path = stem + (i ? "-" + std::to_string(i) : "") + ".csv";
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        why = "\"" + path + "\" cannot be created: " + std::strerror(errno);
        path.clear();
        return false;
    }
    Fd file(fd);
    bool ok = fchmod(fd, 0600) == 0;
    // Written a slice at a time: the whole text of a large deletion would
    // double the memory the records already take.
    std::string text = "Object";
    for (const std::string& name : names)
        text += "," + CsvField(name);
    text += "\r\n";
    std::vector<const std::string*> values(names.size(), nullptr);
    for (size_t at = 0; ok && at < m_records.size(); ++at) {
        const Record& r = m_records[at];
        std::fill(values.begin(), values.end(), nullptr);
        for (const Field& f : r.fields)
            values[column[f.first]] = &f.second;
        text += CsvField(r.object);
        for (const std::string* v : values) {
            text += ',';
            if (v)
                text += CsvField(*v);
        }
        text += "\r\n";
        if (text.size() >= kWriteSlice || at + 1 == m_records.size()) {
            ok = WriteAll(fd, text);
            text.clear();
        }
    }
    ok = ok && fsync(fd) == 0;
    int err = errno;
    if (ok) {
        ok = file.Close();
        err = errno;
    }
    if (!ok) {
        why = "\"" + path + "\" cannot be written: " + std::strerror(err);
        unlink(path.c_str());
        path.clear();
        return false;
    }
    return true;
}
