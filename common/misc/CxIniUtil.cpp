#include "CxIniUtil.h"

#include "CxDebugUtil.h"
#include "CxText.h"
#include "WinUtil.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr size_t kAtEnd = static_cast<size_t>(-1);
// Links followed before a write target counts as a loop.
constexpr int kMaxLinkHops = 40;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The part of a line that is looked at: a zero byte ends it.
std::string_view LineText(const std::string& line) {
    size_t zero = line.find('\0');
    return std::string_view(line.data(), zero == std::string::npos ? line.size() : zero);
}

// "[name]" with optional blanks around the line and the name.
bool ParseSectionLine(std::string_view line, std::string_view* name) {
    std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[')
        return false;
    size_t close = t.find(']');
    if (close == std::string_view::npos)
        return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value"; blanks around key and value are not part of them.
bool ParseKeyLine(std::string_view line, std::string_view* key, std::string_view* value) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    *key = Trim(line.substr(0, eq));
    if (key->empty())
        return false;
    *value = Trim(line.substr(eq + 1));
    return true;
}

// What tells whether the file on disk is still the one parsed.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
};

FileId IdOf(const struct stat& st) {
    return FileId{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SameId(const FileId& a, const FileId& b) {
    return a.dev == b.dev && a.ino == b.ino && a.size == b.size && SameTime(a.mtime, b.mtime) &&
           SameTime(a.ctime, b.ctime);
}

// One section of the file, all its occurrences together (the first one takes
// the keys added by writes), or a section that writes add at the end.
struct Section {
    std::string name;                                // as it stands in its first header
    size_t insertAt = kAtEnd;                        // added keys go before this line
    std::vector<std::pair<size_t, size_t>> ranges;   // the lines of each occurrence
    bool indexed = false;                            // keys is filled (on first lookup)
    std::unordered_map<std::string, size_t> keys;    // lower key -> its first line
    std::vector<std::string> added;                  // key lines added by writes
    std::unordered_map<std::string, size_t> addedAt; // lower key -> index in added
};

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

void SyncFolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Writes a temporary file beside path and renames it over path, so that the
// file is always either the old or the new text, never a half one. errno
// tells why it failed.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
    std::string tmp = path + ".tmp-XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC); // created with mode 0600
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && rename(name.data(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(name.data());
        errno = error;
        return false;
    }
    SyncFolderOf(path);
    return true;
}

// The file a write replaces: path itself or, when path is a symbolic link,
// the file it finally points to, which need not exist yet. Empty on a loop or
// a link that cannot be read.
std::string WriteTarget(const char* path) {
    std::string p = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p;
        char link[4096];
        ssize_t n = readlink(p.c_str(), link, sizeof(link));
        if (n <= 0 || static_cast<size_t>(n) >= sizeof(link))
            return std::string();
        std::string next(link, static_cast<size_t>(n));
        if (next[0] != '/') {
            size_t slash = p.rfind('/');
            next = (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + next;
        }
        p = std::move(next);
    }
    errno = ELOOP;
    return std::string();
}

// atol's reading (leading white space, a sign, digits up to the first other
// character, none giving 0), kept within the 32-bit range.
int ParseInt32(const char* s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r'))
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    const int64_t limit = static_cast<int64_t>(INT32_MAX) + 1;
    int64_t value = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        value = value * 10 + (*s - '0');
        if (value > limit)
            value = limit;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    if (value < INT32_MIN)
        value = INT32_MIN;
    return static_cast<int>(value);
}

bool IsUnbound(const char* path) {
    size_t n = std::strlen(path);
    return n == 0 || path[n - 1] == '/';
}

} // namespace

// The file as parsed: its lines as they stand (zero bytes included), the
// sections found in them, and the keys that writes added.
struct CxIniUtil::Profile {
    std::vector<std::string> lines;
    std::string eol = "\n";        // the file's first line end
    std::vector<Section> sections; // those of the file in file order, then added ones
    std::unordered_map<std::string, size_t> byName; // lower name -> index in sections
    bool exists = false;
    FileId id;
    bool dirty = false; // changed by writes of an update not yet written

    void Parse(const std::string& bytes) {
        size_t start = 0;
        bool first = true;
        while (start < bytes.size()) {
            size_t end = bytes.find_first_of("\r\n", start);
            size_t next = bytes.size();
            if (end == std::string::npos) {
                end = bytes.size();
            } else {
                const bool crlf =
                    bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n';
                next = end + (crlf ? 2 : 1);
                if (first)
                    eol = bytes.substr(end, next - end);
                first = false;
            }
            lines.emplace_back(bytes, start, end - start);
            start = next;
        }
        Section* current = nullptr;
        bool currentIsFirst = false;
        for (size_t i = 0; i < lines.size(); ++i) {
            std::string_view text = LineText(lines[i]);
            std::string_view name;
            if (ParseSectionLine(text, &name)) {
                if (current)
                    current->ranges.back().second = i;
                auto [it, fresh] = byName.emplace(Lower(name), sections.size());
                if (fresh) {
                    sections.emplace_back();
                    sections.back().name = std::string(name);
                    sections.back().insertAt = i + 1;
                }
                current = &sections[it->second];
                currentIsFirst = fresh;
                current->ranges.emplace_back(i + 1, lines.size());
                continue;
            }
            if (current && currentIsFirst && !Trim(text).empty())
                current->insertAt = i + 1;
        }
        if (current)
            current->ranges.back().second = lines.size();
    }

    Section* FindSection(std::string_view name) {
        auto it = byName.find(Lower(name));
        return it == byName.end() ? nullptr : &sections[it->second];
    }

    void Index(Section& s) {
        if (s.indexed)
            return;
        s.indexed = true;
        for (const auto& [from, to] : s.ranges)
            for (size_t i = from; i < to; ++i) {
                std::string_view k, v;
                if (ParseKeyLine(LineText(lines[i]), &k, &v))
                    s.keys.emplace(Lower(k), i);
            }
    }

    // The line holding the key, or null.
    std::string* FindKey(std::string_view section, std::string_view key) {
        Section* s = FindSection(section);
        if (!s)
            return nullptr;
        Index(*s);
        const std::string k = Lower(key);
        if (auto it = s->keys.find(k); it != s->keys.end())
            return &lines[it->second];
        if (auto it = s->addedAt.find(k); it != s->addedAt.end())
            return &s->added[it->second];
        return nullptr;
    }

    void SetKey(std::string_view section, std::string_view key, std::string keyLine) {
        if (std::string* line = FindKey(section, key)) {
            *line = std::move(keyLine);
            return;
        }
        Section* s = FindSection(section);
        if (!s) {
            byName.emplace(Lower(section), sections.size());
            sections.emplace_back();
            s = &sections.back();
            s->name = std::string(section);
            s->indexed = true;
        }
        s->addedAt.emplace(Lower(key), s->added.size());
        s->added.push_back(std::move(keyLine));
    }

    std::string Text() const {
        size_t total = 0;
        for (const std::string& line : lines)
            total += line.size() + eol.size();
        std::string out;
        out.reserve(total + 4096);
        auto addLine = [&](const std::string& line) {
            out += line;
            out += eol;
        };
        // The file's sections come first in the list, in the order of their lines.
        size_t next = 0;
        auto addInserted = [&](size_t at) {
            for (; next < sections.size() && sections[next].insertAt == at; ++next)
                for (const std::string& line : sections[next].added)
                    addLine(line);
        };
        for (size_t i = 0; i < lines.size(); ++i) {
            addInserted(i);
            addLine(lines[i]);
        }
        addInserted(lines.size());
        for (const Section& s : sections) {
            if (s.insertAt != kAtEnd || s.added.empty())
                continue;
            addLine("[" + s.name + "]");
            for (const std::string& line : s.added)
                addLine(line);
        }
        return out;
    }
};

void CxIniUtil::ProfileDeleter::operator()(Profile* profile) const {
    delete profile;
}

CxIniUtil::~CxIniUtil() {}

void CxIniUtil::SetPath(const char* path) {
    if (!path || !*path)
        return;
    m_bInModuleFolder = false;
    Forget();
    if (!CopyWholeText(m_szPath, path))
        m_szPath[0] = '\0';
}

void CxIniUtil::Unbind() {
    m_bInModuleFolder = false;
    m_szPath[0] = '\0';
    Forget();
}

const char* CxIniUtil::GetPath() {
    if (m_bInModuleFolder) {
        m_bInModuleFolder = false;
        char folder[sizeof(m_szPath)];
        std::string path;
        if (m_szPath[0] && GetModuleFolder(nullptr, folder, sizeof(folder)))
            path = std::string(folder) + m_szPath;
        if (!CopyWholeText(m_szPath, path.c_str()))
            m_szPath[0] = '\0';
    }
    return m_szPath;
}

void CxIniUtil::Forget() {
    m_pProfile.reset();
}

CxIniUtil::Load CxIniUtil::Refresh(const char* target) {
    // Writes of an update not yet written must not be lost to a new reading.
    if (m_pProfile && m_pProfile->dirty)
        return Load::Ok;
    struct stat st;
    if (stat(target, &st) != 0) {
        if (errno != ENOENT)
            return Forget(), Load::Failed;
        m_pProfile.reset(new Profile);
        return Load::Missing;
    }
    if (!S_ISREG(st.st_mode))
        return Forget(), Load::Failed;
    if (m_pProfile && m_pProfile->exists && SameId(m_pProfile->id, IdOf(st)))
        return Load::Ok;

    Forget();
    int fd = open(target, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            return Load::Failed;
        m_pProfile.reset(new Profile);
        return Load::Missing;
    }
    std::unique_ptr<Profile, ProfileDeleter> profile(new Profile);
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::string bytes;
    if (ok)
        bytes.reserve(static_cast<size_t>(st.st_size));
    char chunk[65536];
    while (ok) {
        ssize_t got = read(fd, chunk, sizeof(chunk));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ok = false;
        else if (got == 0)
            break;
        else
            bytes.append(chunk, static_cast<size_t>(got));
    }
    close(fd);
    if (!ok)
        return Load::Failed;
    ++m_nReads;
    profile->Parse(bytes);
    profile->exists = true;
    profile->id = IdOf(st);
    m_pProfile = std::move(profile);
    return Load::Ok;
}

int CxIniUtil::GetString(const char* section, const char* key, char* buf, int size,
                         const char* def) {
    if (!key || !*key || !buf || size <= 0)
        return 0;
    const size_t cap = static_cast<size_t>(size);
    const char* path = GetPath();
    std::string target = section && !IsUnbound(path) ? WriteTarget(path) : std::string();
    if (!target.empty() && Refresh(target.c_str()) == Load::Ok) {
        if (const std::string* line = m_pProfile->FindKey(Trim(section), Trim(key))) {
            std::string_view k, v;
            ParseKeyLine(LineText(*line), &k, &v);
            const std::string value(v);
            CopyText(buf, cap, value.c_str());
            return static_cast<int>(std::strlen(buf));
        }
    }
    CopyText(buf, cap, def ? def : "");
    return static_cast<int>(std::strlen(buf));
}

int CxIniUtil::GetInt(const char* section, const char* key, int def) {
    char value[32];
    if (GetString(section, key, value, sizeof(value), "") == 0)
        return def;
    return ParseInt32(value);
}

bool CxIniUtil::GetBool(const char* section, const char* key, bool def) {
    return GetInt(section, key, def ? 1 : 0) != 0;
}

int CxIniUtil::WriteString(const char* section, const char* key, const char* value) {
    return WriteString(section, key, value, value ? std::strlen(value) : 0);
}

int CxIniUtil::WriteString(const char* section, const char* key, const char* value, size_t length) {
    if (!key || !*key || !section)
        return 0;
    const std::string_view sec = Trim(section);
    const std::string_view k = Trim(key);
    // Names that would read back as another line kind are refused.
    if (sec.empty() || sec.find_first_of("]\r\n") != std::string_view::npos)
        return 0;
    if (k.empty() || k.front() == '[' || k.find_first_of("=\r\n") != std::string_view::npos)
        return 0;
    std::string_view v = value ? std::string_view(value, length) : std::string_view();
    const size_t end = v.find_first_of(std::string_view("\r\n\0", 3));
    if (end != std::string_view::npos) {
        v = v.substr(0, end);
        // The value itself may be a secret: only its place is logged.
        DEBUG_LOG(LOG_CRITICAL,
                  "The value of %.*s in section [%.*s] holds a line break or a zero byte; only "
                  "the part before it was written.",
                  static_cast<int>(k.size()), k.data(), static_cast<int>(sec.size()), sec.data());
    }

    const char* path = GetPath();
    if (IsUnbound(path)) {
        m_bUpdateFailed = m_nUpdateDepth > 0;
        return 0;
    }
    const std::string target = WriteTarget(path);
    // A file that cannot be read must not be replaced by a partial one.
    if (target.empty() || Refresh(target.c_str()) == Load::Failed) {
        if (m_nUpdateDepth > 0)
            m_bUpdateFailed = true;
        DEBUG_LOG(LOG_CRITICAL, "The settings file %s can not be read, so it is not written: %s",
                  path, std::strerror(errno));
        return 0;
    }
    std::string keyLine(k);
    keyLine += '=';
    keyLine += v;
    m_pProfile->SetKey(sec, k, std::move(keyLine));
    if (m_nUpdateDepth > 0) {
        m_pProfile->dirty = true;
        return 1;
    }
    return Flush(target.c_str());
}

int CxIniUtil::Flush(const char* target) {
    if (!ReplaceFile(target, m_pProfile->Text())) {
        DEBUG_LOG(LOG_CRITICAL, "The settings file %s could not be written: %s", target,
                  std::strerror(errno));
        Forget();
        return 0;
    }
    struct stat st;
    if (stat(target, &st) != 0) {
        Forget();
        return 1;
    }
    m_pProfile->exists = true;
    m_pProfile->id = IdOf(st);
    m_pProfile->dirty = false;
    return 1;
}

void CxIniUtil::BeginUpdate() {
    if (m_nUpdateDepth++ == 0)
        m_bUpdateFailed = false;
}

int CxIniUtil::EndUpdate() {
    if (m_nUpdateDepth == 0 || --m_nUpdateDepth > 0)
        return 1;
    bool ok = !m_bUpdateFailed;
    m_bUpdateFailed = false;
    if (m_pProfile && m_pProfile->dirty) {
        const char* path = GetPath();
        const std::string target = IsUnbound(path) ? std::string() : WriteTarget(path);
        if (target.empty()) {
            Forget();
            return 0;
        }
        ok = Flush(target.c_str()) != 0 && ok;
    }
    return ok ? 1 : 0;
}

int CxIniUtil::WriteInt(const char* section, const char* key, int value) {
    char text[16];
    std::snprintf(text, sizeof(text), "%d", value);
    return WriteString(section, key, text);
}

int CxIniUtil::WriteBool(const char* section, const char* key, bool value) {
    return WriteInt(section, key, value ? 1 : 0);
}
