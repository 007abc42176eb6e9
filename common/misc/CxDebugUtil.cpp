#include "CxDebugUtil.h"

#include "CxFile.h"
#include "CxText.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

constinit CxDebugUtil DebugLog;

namespace {

constexpr size_t kMessageCapacity = 40960;

// The part of the source path after its last '/' or '\', at most 255 bytes.
void SourceName(const char* file, char (&out)[256]) {
    if (!file) {
        CopyText(out, "<null>");
        return;
    }
    const char* name = file;
    for (const char* p = file; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    CopyText(out, name);
}

// Copies the log aside before it is emptied; a failed copy is not reported.
void CopyFileOver(const std::string& from, const std::string& to) {
    FILE* in = std::fopen(from.c_str(), "rb");
    if (!in)
        return;
    FILE* out = std::fopen(to.c_str(), "wb");
    if (out) {
        std::vector<char> chunk(1 << 16);
        size_t got;
        while ((got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0)
            if (std::fwrite(chunk.data(), 1, got, out) != got)
                break;
        std::fclose(out);
    }
    std::fclose(in);
}

} // namespace

CxDebugUtil::~CxDebugUtil() {}

void CxDebugUtil::Log(int level, const char* file, int line, const char* format, ...) {
    if (level != LOG_CRITICAL && !(m_bEnabled.load() && level <= m_nLevel.load()))
        return;
    char message[kMessageCapacity];
    message[0] = '\0';
    if (format) {
        va_list args;
        va_start(args, format);
        int n = std::vsnprintf(message, sizeof(message), format, args);
        va_end(args);
        if (n < 0)
            message[0] = '\0';
        else if (static_cast<size_t>(n) >= sizeof(message))
            // Cut to the buffer, never inside a character.
            message[Utf8CompletePrefix(message, sizeof(message) - 1)] = '\0';
    }
    WriteLogLine(level, file, line, message);
}

bool CxDebugUtil::SetLogFolder(const char* folder) {
    if (!folder || std::strlen(folder) >= sizeof(m_szFolder))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    CopyText(m_szFolder, folder);
    return true;
}

void CxDebugUtil::EnableLog(bool enabled) {
    m_bEnabled.store(enabled);
}

void CxDebugUtil::SetLogLevel(int level) {
    m_nLevel.store(level < LOG_CRITICAL ? LOG_CRITICAL : level > LOG_LOW ? LOG_LOW : level);
}

std::string CxDebugUtil::GetLogPath() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::string(m_szFolder) + m_szFileName;
}

std::string CxDebugUtil::FormatLine(int level, const char* file, int line, const struct tm& when,
                                    unsigned long threadId, const char* message) {
    char source[256];
    SourceName(file, source);
    const char* mark = level == LOG_CRITICAL ? "!!!" : "   ";
    const char* text = message ? message : "";
    const char* format = "[%04d/%02d/%02d %02d:%02d:%02d][%-20s(%-4d)][%05lx][%s] - %s";
    int n =
        std::snprintf(nullptr, 0, format, when.tm_year + 1900, when.tm_mon + 1, when.tm_mday,
                      when.tm_hour, when.tm_min, when.tm_sec, source, line, threadId, mark, text);
    if (n <= 0)
        return std::string();
    std::vector<char> out(static_cast<size_t>(n) + 1);
    std::snprintf(out.data(), out.size(), format, when.tm_year + 1900, when.tm_mon + 1,
                  when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec, source, line, threadId,
                  mark, text);
    return std::string(out.data(), static_cast<size_t>(n));
}

void CxDebugUtil::WriteLogLine(int level, const char* file, int line, const char* message) {
    const unsigned long threadId = static_cast<unsigned long>(gettid());
    // One writer at a time, so that lines from several threads never interleave
    // and a rotation is not raced by another entry.
    std::lock_guard<std::mutex> lock(m_mutex);
    time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    const std::string text = FormatLine(level, file, line, local, threadId, message);

    // Folder and file name are bounded (259 characters each), so the joined
    // paths are well within what the file system takes; they are not cut.
    const std::string path = std::string(m_szFolder) + m_szFileName;
    const char* mode = "ab";
    if (CxFile::GetFileSize(path.c_str()) > kRotateSize) {
        CopyFileOver(path, path + ".old.log");
        mode = "wb";
    }
    CxFile log;
    if (log.Open(path.c_str(), mode)) {
        log.WriteLine(text.c_str());
        log.Close();
    }
}
