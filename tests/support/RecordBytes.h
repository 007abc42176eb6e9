// Hand-made data file bytes for the record tests, and a capture of the debug
// log into a temporary folder.
#pragma once

#include "CxDebugUtil.h"
#include "TestSupport.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace testsupport {

// Builds the little-endian values of a data file one after the other.
class Bytes {
public:
    Bytes& Int(int32_t v) { return Raw(&v, 4); }
    Bytes& Count(uint32_t v) { return Raw(&v, 4); }
    Bytes& Date(double v) { return Raw(&v, 8); }
    Bytes& Flag(bool v) { return Slot(v ? 1 : 0, 0, 0, 0); }
    Bytes& Slot(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        const uint8_t s[4] = {a, b, c, d};
        return Raw(s, 4);
    }
    Bytes& Text(const std::string& t) {
        Int(static_cast<int32_t>(t.size()));
        m_bytes += t;
        return *this;
    }
    // A length field followed by other bytes, for lengths that lie.
    Bytes& TextAs(int32_t storedLength, const std::string& t) {
        Int(storedLength);
        m_bytes += t;
        return *this;
    }
    Bytes& Raw(const void* p, size_t n) {
        m_bytes.append(static_cast<const char*>(p), n);
        return *this;
    }
    Bytes& Append(const std::string& more) {
        m_bytes += more;
        return *this;
    }
    const std::string& Str() const { return m_bytes; }
    size_t Size() const { return m_bytes.size(); }

private:
    std::string m_bytes;
};

// Points the debug log at a temporary folder with every level on, and back at
// its start state afterwards.
class LogCapture {
public:
    LogCapture() {
        DebugLog.SetLogFolder(m_dir.Folder().c_str());
        DebugLog.EnableLog(true);
        DebugLog.SetLogLevel(LOG_LOW);
    }
    ~LogCapture() {
        DebugLog.EnableLog(false);
        DebugLog.SetLogLevel(LOG_CRITICAL);
        DebugLog.SetLogFolder("./");
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string Text() const { return ReadFileBytes(m_dir.Path("appdebug.log")); }

    // The line whose message is exactly message, or empty.
    std::string Line(const std::string& message) const {
        const std::string log = Text();
        const std::string tail = "] - " + message + "\r\n";
        size_t at = log.find(tail);
        if (at == std::string::npos)
            return std::string();
        size_t start = log.rfind("\r\n", at);
        start = (start == std::string::npos) ? 0 : start + 2;
        return log.substr(start, at + tail.size() - 2 - start);
    }
    bool Has(const std::string& message) const { return !Line(message).empty(); }
    void Reset() const { WriteFileBytes(m_dir.Path("appdebug.log"), ""); }

private:
    TempDir m_dir;
};

} // namespace testsupport
