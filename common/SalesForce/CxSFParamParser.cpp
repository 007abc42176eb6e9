#include "CxSFParamParser.h"

#include "CxFile.h"
#include "CxText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool IsCont(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at s (at most n bytes there) and its code
// point; 0 when the bytes there do not start a well-formed character.
size_t DecodeUtf8(const unsigned char* s, size_t n, char32_t* cp) {
    unsigned char c = s[0];
    if (c < 0x80) {
        *cp = c;
        return 1;
    }
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0; // overlong
        else if (c == 0xED)
            hi = 0x9F; // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90; // overlong
        else if (c == 0xF4)
            hi = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (n < len || s[1] < lo || s[1] > hi)
        return 0;
    for (size_t i = 2; i < len; ++i)
        if (!IsCont(s[i]))
            return 0;
    char32_t v = c & (0xFF >> (len + 1));
    for (size_t i = 1; i < len; ++i)
        v = (v << 6) | (s[i] & 0x3F);
    *cp = v;
    return len;
}

// The double as the int32 the file holds: truncated toward zero, clamped to
// the 32-bit range, 0 for NaN.
int32_t DoubleToFileInt(double d) {
    if (std::isnan(d))
        return 0;
    double t = std::trunc(d);
    if (t >= 2147483647.0)
        return INT32_MAX;
    if (t <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(t);
}

bool WriteEntry(CxFile& file, const ParamEntry& e) {
    bool ok = file.WriteInt(e.nTag) && file.WriteInt(e.nType);
    if (!ok)
        return false;
    switch (e.nType) {
    case ptInt:
        return file.WriteInt(e.value.nInt);
    case ptDouble:
        return file.WriteInt(DoubleToFileInt(e.value.dDouble));
    case ptText: {
        std::string text =
            CxSFParamParser::Utf16ToUtf8(e.value.sText, CxSFParamParser::kMaxTextBytes);
        return file.WriteString(text.c_str());
    }
    case ptFlag:
        return file.WriteBool(e.value.wFlag != 0);
    default:
        return false;
    }
}

} // namespace

std::u16string CxSFParamParser::Utf8ToUtf16(const char* text, size_t maxUnits) {
    std::u16string out;
    if (!text)
        return out;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    size_t n = std::strlen(text);
    size_t i = 0;
    while (i < n) {
        char32_t cp = 0;
        size_t len = DecodeUtf8(s + i, n - i, &cp);
        if (len == 0) {
            cp = u'?';
            len = 1;
        }
        size_t units = cp >= 0x10000 ? 2 : 1;
        if (out.size() + units > maxUnits)
            break;
        if (units == 2) {
            char32_t v = cp - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string CxSFParamParser::Utf16ToUtf8(const std::u16string& text, size_t maxBytes) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = u'?'; // a lone surrogate has no UTF-8 form
        }
        char buf[4];
        size_t len;
        if (cp < 0x80) {
            buf[0] = static_cast<char>(cp);
            len = 1;
        } else if (cp < 0x800) {
            buf[0] = static_cast<char>(0xC0 | (cp >> 6));
            buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
            len = 2;
        } else if (cp < 0x10000) {
            buf[0] = static_cast<char>(0xE0 | (cp >> 12));
            buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
            len = 3;
        } else {
            buf[0] = static_cast<char>(0xF0 | (cp >> 18));
            buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            buf[3] = static_cast<char>(0x80 | (cp & 0x3F));
            len = 4;
        }
        if (out.size() + len > maxBytes)
            break;
        out.append(buf, len);
    }
    return out;
}

CxSFParamParser::CxSFParamParser(const char* path) : m_szPath{}, m_bPathRefused(false) {
    if (path && *path)
        m_bPathRefused = !CopyWholeText(m_szPath, path);
}

CxSFParamParser::~CxSFParamParser() {
    ClearParams();
}

ParamEntry* CxSFParamParser::Find(int32_t tag) {
    for (void* p = m_list.GetFirst(); p; p = m_list.GetNext()) {
        ParamEntry* e = static_cast<ParamEntry*>(p);
        if (e->nTag == tag)
            return e;
    }
    return nullptr;
}

const ParamEntry* CxSFParamParser::FindParam(int32_t tag) {
    return Find(tag);
}

bool CxSFParamParser::SetParam(int32_t tag, int32_t type, const void* pValue) {
    if (!pValue)
        return false;
    // Only the four value types have a layout in the file; an entry of any
    // other type would make the file unreadable past it.
    if (type != ptInt && type != ptDouble && type != ptText && type != ptFlag)
        return false;
    ParamEntry* entry = Find(tag);
    if (entry && entry->nType != type)
        return false;

    ParamValue value;
    value.nType = type;
    switch (type) {
    case ptInt:
        std::memcpy(&value.nInt, pValue, sizeof(value.nInt));
        break;
    case ptDouble:
        std::memcpy(&value.dDouble, pValue, sizeof(value.dDouble));
        break;
    case ptText:
        value.sText = Utf8ToUtf16(static_cast<const char*>(pValue), kMaxTextUnits);
        break;
    case ptFlag:
        value.wFlag = *static_cast<const unsigned char*>(pValue) != 0 ? 1 : 0;
        break;
    }

    if (entry) {
        entry->value = std::move(value);
        return true;
    }
    entry = new ParamEntry;
    entry->nTag = tag;
    entry->nType = type;
    entry->value = std::move(value);
    if (!m_list.Add(entry)) {
        delete entry;
        return false;
    }
    return true;
}

bool CxSFParamParser::SaveParams(const char* path) {
    if (path && *path)
        m_bPathRefused = !CopyWholeText(m_szPath, path);
    // A cut path would put the password and token into another file.
    if (m_bPathRefused) {
        errno = ENAMETOOLONG;
        return false;
    }
    if (!m_szPath[0]) {
        errno = ENOENT;
        return false;
    }

    // Written under a temporary name created 0600 and renamed into place, so
    // the file is never readable by others and never seen half written.
    std::string pattern = std::string(m_szPath) + ".XXXXXX";
    std::vector<char> tmp(pattern.begin(), pattern.end());
    tmp.push_back('\0');
    int fd = mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    close(fd);
    int error = ok ? 0 : errno;

    if (ok) {
        CxFile file;
        ok = file.Open(tmp.data(), "wbe");
        if (ok) {
            ok = file.WriteInt(static_cast<int32_t>(m_list.GetCount()));
            for (void* p = m_list.GetFirst(); ok && p; p = m_list.GetNext())
                ok = WriteEntry(file, *static_cast<ParamEntry*>(p));
            file.Close();
            ok = ok && !file.HasFailed();
        }
        if (!ok)
            error = errno ? errno : EIO;
    }
    if (ok && std::rename(tmp.data(), m_szPath) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(tmp.data());
        errno = error;
    }
    return ok;
}

void CxSFParamParser::ClearParams() {
    for (void* p = m_list.GetFirst(); p; p = m_list.GetNext())
        delete static_cast<ParamEntry*>(p);
    m_list.RemoveAll(false);
}
