#include "CxIniUtil.h"

#include "CxText.h"
#include "WinUtil.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

// "[name]" with optional blanks around the line and the name.
bool ParseSectionLine(const std::string& line, std::string* name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[')
        return false;
    size_t close = t.find(']');
    if (close == std::string::npos)
        return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value"; blanks around key and value are not part of them.
bool ParseKeyLine(const std::string& line, std::string* key, std::string* value) {
    size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    *key = Trim(line.substr(0, eq));
    if (key->empty())
        return false;
    if (value)
        *value = Trim(line.substr(eq + 1));
    return true;
}

// The file as lines without their line ends; eol is the line end the file uses.
struct ProfileText {
    std::vector<std::string> lines;
    std::string eol = "\n";
};

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadProfile(const char* path, ProfileText* text) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    std::string bytes;
    char chunk[8192];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof(chunk));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            close(fd);
            return ReadResult::Failed;
        }
        if (got == 0)
            break;
        bytes.append(chunk, static_cast<size_t>(got));
    }
    close(fd);

    size_t start = 0;
    bool first = true;
    while (start < bytes.size()) {
        size_t nl = bytes.find('\n', start);
        size_t end = nl == std::string::npos ? bytes.size() : nl;
        size_t textEnd = end;
        if (textEnd > start && bytes[textEnd - 1] == '\r')
            --textEnd;
        if (first && nl != std::string::npos && textEnd != end)
            text->eol = "\r\n";
        first = false;
        std::string line = bytes.substr(start, textEnd - start);
        // A stray zero byte ends the line's text; it cannot be handed out.
        size_t zero = line.find('\0');
        if (zero != std::string::npos)
            line.resize(zero);
        text->lines.push_back(line);
        start = end + 1;
    }
    return ReadResult::Ok;
}

struct KeyPlace {
    bool sectionFound = false;
    size_t insertAt = 0; // after the last non-blank line of the first matching section
    bool keyFound = false;
    size_t keyLine = 0;
    std::string value;
};

KeyPlace FindKey(const ProfileText& text, const std::string& section, const std::string& key) {
    KeyPlace place;
    bool inSection = false;
    bool inFirstSection = false;
    for (size_t i = 0; i < text.lines.size(); ++i) {
        const std::string& line = text.lines[i];
        std::string name;
        if (ParseSectionLine(line, &name)) {
            inSection = SameName(name, section);
            inFirstSection = inSection && !place.sectionFound;
            if (inFirstSection) {
                place.sectionFound = true;
                place.insertAt = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (inFirstSection && !Trim(line).empty())
            place.insertAt = i + 1;
        std::string k, v;
        if (ParseKeyLine(line, &k, &v) && SameName(k, key)) {
            place.keyFound = true;
            place.keyLine = i;
            place.value = v;
            return place;
        }
    }
    return place;
}

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
// file is always either the old or the new text, never a half one.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
    std::string tmp = path + ".tmp-XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC); // created with mode 0600
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    if (close(fd) != 0)
        ok = false;
    if (ok && rename(name.data(), path.c_str()) != 0)
        ok = false;
    if (!ok) {
        unlink(name.data());
        return false;
    }
    SyncFolderOf(path);
    return true;
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

CxIniUtil::~CxIniUtil() {}

void CxIniUtil::SetPath(const char* path) {
    if (!path || !*path)
        return;
    m_bInModuleFolder = false;
    if (std::strlen(path) >= sizeof(m_szPath))
        m_szPath[0] = '\0';
    else
        CopyText(m_szPath, path);
}

const char* CxIniUtil::GetPath() {
    if (m_bInModuleFolder) {
        m_bInModuleFolder = false;
        char folder[sizeof(m_szPath)];
        std::string path;
        if (m_szPath[0] && GetModuleFolder(nullptr, folder, sizeof(folder)))
            path = std::string(folder) + m_szPath;
        if (path.size() >= sizeof(m_szPath))
            path.clear();
        CopyText(m_szPath, path.c_str());
    }
    return m_szPath;
}

int CxIniUtil::GetString(const char* section, const char* key, char* buf, int size,
                         const char* def) {
    if (!key || !*key || !buf || size <= 0)
        return 0;
    const size_t cap = static_cast<size_t>(size);
    const char* path = GetPath();
    ProfileText text;
    if (section && !IsUnbound(path) && ReadProfile(path, &text) == ReadResult::Ok) {
        KeyPlace place = FindKey(text, Trim(section), Trim(key));
        if (place.keyFound) {
            CopyText(buf, cap, place.value.c_str());
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
    if (!key || !*key || !section)
        return 0;
    const std::string sec = Trim(section);
    const std::string k = Trim(key);
    // Names that would read back as another line kind are refused.
    if (sec.empty() || sec.find_first_of("]\r\n") != std::string::npos)
        return 0;
    if (k.empty() || k.front() == '[' || k.find_first_of("=\r\n") != std::string::npos)
        return 0;
    std::string v = value ? value : "";
    v.resize(v.find_first_of("\r\n") == std::string::npos ? v.size() : v.find_first_of("\r\n"));

    const char* path = GetPath();
    if (IsUnbound(path))
        return 0;
    ProfileText text;
    if (ReadProfile(path, &text) == ReadResult::Failed)
        return 0; // a file that cannot be read must not be replaced by a partial one

    KeyPlace place = FindKey(text, sec, k);
    std::string keyLine = k + "=" + v;
    if (place.keyFound) {
        text.lines[place.keyLine] = keyLine;
    } else if (place.sectionFound) {
        text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(place.insertAt),
                          keyLine);
    } else {
        text.lines.push_back("[" + sec + "]");
        text.lines.push_back(keyLine);
    }

    std::string bytes;
    for (const std::string& line : text.lines)
        bytes += line + text.eol;
    return ReplaceFile(path, bytes) ? 1 : 0;
}

int CxIniUtil::WriteInt(const char* section, const char* key, int value) {
    char text[16];
    std::snprintf(text, sizeof(text), "%d", value);
    return WriteString(section, key, text);
}

int CxIniUtil::WriteBool(const char* section, const char* key, bool value) {
    return WriteInt(section, key, value ? 1 : 0);
}
