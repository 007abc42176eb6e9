// Shared test fixtures: a temporary folder that is removed afterwards, and an
// environment override, so that no test touches the real data folder or home.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace testsupport {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessmark-test-XXXXXX");
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        const char* made = mkdtemp(buf.data());
        m_path = made ? made : "";
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder with a trailing '/'.
    std::string Folder() const { return m_path + "/"; }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = std::getenv(name);
        m_hadOld = old != nullptr;
        if (old)
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_hadOld)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_hadOld = false;
};

// A temporary HOME and XDG_DATA_HOME for the length of a test.
class IsolatedHome {
public:
    IsolatedHome()
        : m_home("HOME", m_dir.Path("home").c_str()),
          m_xdg("XDG_DATA_HOME", m_dir.Path("home/.local/share").c_str()) {
        std::filesystem::create_directories(m_dir.Path("home/.local/share"));
    }
    std::string Home() const { return m_dir.Path("home") + "/"; }
    std::string DataFolder() const { return m_dir.Path("home/.local/share/velmora/Tessmark/"); }

private:
    TempDir m_dir;
    ScopedEnv m_home;
    ScopedEnv m_xdg;
};

// Makes the data folder below base ("<base>/velmora/Tessmark") a folder in
// which nobody, root included, can create a file: a link to /sys. False when
// this system has no such folder there.
inline bool MakeUnwritableDataFolder(const std::string& base) {
    std::error_code ec;
    std::filesystem::create_directories(base + "/velmora", ec);
    std::filesystem::create_symlink("/sys", base + "/velmora/Tessmark", ec);
    if (ec)
        return false;
    const std::string probe = base + "/velmora/Tessmark/probe-XXXXXX";
    std::vector<char> name(probe.begin(), probe.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return true;
    close(fd);
    unlink(name.data());
    return false;
}

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// The text values (type 8) of parameter file bytes by tag, the first of a tag
// counting; reading stops at the first entry of another type or a cut one.
inline std::map<int32_t, std::string> ParamTexts(const std::string& bytes) {
    std::map<int32_t, std::string> values;
    size_t at = 0;
    auto take = [&](int32_t& v) {
        if (at + 4 > bytes.size())
            return false;
        std::memcpy(&v, bytes.data() + at, 4);
        at += 4;
        return true;
    };
    int32_t count = 0, tag = 0, type = 0, length = 0;
    if (!take(count))
        return values;
    for (int32_t i = 0; i < count && take(tag) && take(type) && take(length); ++i) {
        if (type != 8 || length < 0 || at + static_cast<size_t>(length) > bytes.size())
            break;
        values.emplace(tag, bytes.substr(at, static_cast<size_t>(length)));
        at += static_cast<size_t>(length);
    }
    return values;
}

} // namespace testsupport
