#include "CxFile.h"

#include "CxText.h"

#include <cstring>
#include <sys/stat.h>

// The data files are little-endian; so is every machine this program runs on.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "data files are little-endian");

CxFile::CxFile() : m_fp(nullptr), m_bFailed(false) {}

CxFile::~CxFile() {
    Close();
}

bool CxFile::Open(const char* path, const char* mode) {
    if (!path || !*path || !mode || !*mode)
        return false;
    // A stream still open would otherwise be lost with its descriptor.
    Close();
    m_fp = std::fopen(path, mode);
    m_bFailed = false;
    return m_fp != nullptr;
}

bool CxFile::Close() {
    if (!m_fp)
        return true;
    // fclose flushes what is still buffered: a full disk shows up here.
    bool closed = std::fclose(m_fp) == 0;
    m_fp = nullptr;
    if (!closed)
        m_bFailed = true;
    return closed;
}

bool CxFile::WriteBytes(const void* data, size_t size) {
    if (!m_fp)
        return false;
    if (size == 0)
        return true;
    if (!data)
        return false;
    if (std::fwrite(data, 1, size, m_fp) != size) {
        m_bFailed = true;
        return false;
    }
    return true;
}

bool CxFile::ReadBytes(void* dest, size_t size) {
    if (!m_fp || !dest)
        return false;
    if (size == 0)
        return true;
    if (std::fread(dest, 1, size, m_fp) != size) {
        m_bFailed = true;
        return false;
    }
    return true;
}

bool CxFile::SkipBytes(size_t size) {
    if (!m_fp)
        return false;
    // Read rather than seek: a seek past the end succeeds and would hide a
    // truncated file.
    char scratch[4096];
    while (size > 0) {
        size_t chunk = size < sizeof(scratch) ? size : sizeof(scratch);
        if (std::fread(scratch, 1, chunk, m_fp) != chunk) {
            m_bFailed = true;
            return false;
        }
        size -= chunk;
    }
    return true;
}

bool CxFile::WriteInt(int32_t value) {
    return WriteBytes(&value, sizeof(value));
}

bool CxFile::WriteDouble(double value) {
    return WriteBytes(&value, sizeof(value));
}

bool CxFile::WriteBool(bool value) {
    const unsigned char slot[4] = {static_cast<unsigned char>(value ? 1 : 0), 0, 0, 0};
    return WriteBytes(slot, sizeof(slot));
}

bool CxFile::WriteString(const char* text) {
    if (!m_fp)
        return false;
    size_t len = text ? std::strlen(text) : 0;
    if (len > INT32_MAX)
        len = INT32_MAX;
    if (!WriteInt(static_cast<int32_t>(len)))
        return false;
    return WriteBytes(text, len);
}

bool CxFile::WriteLine(const char* text) {
    if (!m_fp)
        return false;
    if (text && !WriteBytes(text, std::strlen(text)))
        return false;
    return WriteBytes("\r\n", 2);
}

bool CxFile::ReadInt(int32_t* dest) {
    if (!m_fp || !dest)
        return false;
    int32_t value = 0;
    if (!ReadBytes(&value, sizeof(value)))
        return false;
    *dest = value;
    return true;
}

bool CxFile::ReadDouble(double* dest) {
    if (!m_fp || !dest)
        return false;
    double value = 0;
    if (!ReadBytes(&value, sizeof(value)))
        return false;
    *dest = value;
    return true;
}

bool CxFile::ReadBool(bool* dest) {
    if (!m_fp || !dest)
        return false;
    unsigned char slot[4];
    if (!ReadBytes(slot, sizeof(slot)))
        return false;
    *dest = slot[0] != 0;
    return true;
}

bool CxFile::ReadString(char* buf, size_t capacity, int32_t* pLen) {
    if (!m_fp || !buf || capacity == 0)
        return false;
    int32_t len = 0;
    if (!ReadInt(&len)) {
        // The caller gets a terminated text whatever the file held.
        buf[0] = '\0';
        return false;
    }
    if (pLen)
        *pLen = len;
    if (len <= 0)
        return true;
    size_t stored = static_cast<size_t>(len);
    size_t keep = stored < capacity - 1 ? stored : capacity - 1;
    size_t got = std::fread(buf, 1, keep, m_fp);
    // A cut text or a short read must not end inside a character.
    size_t cut = (got == stored) ? got : Utf8CompletePrefix(buf, got);
    buf[cut] = '\0';
    if (got != keep) {
        m_bFailed = true;
        return false;
    }
    return SkipBytes(stored - keep);
}

long long CxFile::GetFileSize(const char* path) {
    if (!path || !*path)
        return -1;
    FILE* fp = std::fopen(path, "rb");
    if (!fp)
        return -1;
    long long size = -1;
    // A folder opens for reading too, but has no size as a file.
    struct stat st;
    bool isFolder = fstat(fileno(fp), &st) == 0 && S_ISDIR(st.st_mode);
    if (!isFolder && std::fseek(fp, 0, SEEK_END) == 0)
        size = std::ftell(fp);
    std::fclose(fp);
    return size;
}
