// A thin wrapper around a C stream that reads and writes the values of the
// binary data files: 4-byte little-endian integers, 8-byte doubles, 4-byte flag
// slots and length-prefixed texts, plus the CR LF lines of the debug log.
//
// A short read, a short write or a failed flush on Close is remembered in a
// failure state (HasFailed) until the next Open, so a caller can refuse a
// truncated file or a file that was not fully written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

class CxFile {
public:
    CxFile();
    virtual ~CxFile();
    CxFile(const CxFile&) = delete;
    CxFile& operator=(const CxFile&) = delete;

    // Closes a stream still open, then opens path with a C stream mode; false,
    // with nothing opened, for a null or empty path or mode.
    bool Open(const char* path, const char* mode);
    // Closes an open stream. A failed flush or close gives false and sets the
    // failure state; with no stream open the result is true.
    bool Close();
    bool IsOpen() const { return m_fp != nullptr; }
    // True after a short read, a short write or a failed close since Open.
    bool HasFailed() const { return m_bFailed; }

    bool WriteInt(int32_t value);
    bool WriteDouble(double value);
    bool WriteBool(bool value);
    bool WriteString(const char* text);
    bool WriteLine(const char* text);
    bool WriteBytes(const void* data, size_t size);

    // The read operations return false and set the failure state when the file
    // ends before the whole value was read; a number or flag destination is then
    // left as it was.
    bool ReadInt(int32_t* dest);
    bool ReadDouble(double* dest);
    bool ReadBool(bool* dest);
    // Reads a length-prefixed text into buf of the given capacity (terminator
    // included): at most capacity - 1 bytes are stored, cut at a UTF-8
    // character boundary, and terminated; the rest of the stored text is
    // skipped, so the next value is read from its place. A stored length of 0
    // or less leaves buf untouched. pLen, when given, receives the stored length.
    // On a short read buf keeps the whole characters read so far, terminated
    // (an empty text when the length itself is cut off).
    bool ReadString(char* buf, size_t capacity, int32_t* pLen = nullptr);
    bool ReadBytes(void* dest, size_t size);
    bool SkipBytes(size_t size);

    // The file's size in bytes, or -1 when it cannot be opened or is a folder.
    static long long GetFileSize(const char* path);

private:
    FILE* m_fp;
    bool m_bFailed;
};
