// The parameter file a helper program gets its request from: numbered, typed
// values kept in the order their tags were first set, written as a binary file.
//
// File layout, little-endian, no padding: uint32 entry count, then per entry
// int32 tag, int32 type code and the value: type 3 an int32; type 5 an int32
// holding the double truncated toward zero; type 8 an int32 byte length and
// that many UTF-8 bytes (no terminator, at most 1023); type 11 a 4-byte flag
// slot (first byte 0 or 1, the rest 0).
//
// The file holds the password and the security token in plain text, so it is
// created with mode 0600.
#pragma once

#include "CxList.h"

#include <cstdint>
#include <string>

enum ParamType : int32_t {
    ptInt = 3,    // 32-bit integer
    ptDouble = 5, // double
    ptText = 8,   // UTF-16 text
    ptFlag = 11,  // 16-bit flag, 0 or 1
};

// A tagged value in the manner of an automation variant.
struct ParamValue {
    int32_t nType = 0; // 0 while no value is stored
    int32_t nInt = 0;
    double dDouble = 0;
    std::u16string sText;
    uint16_t wFlag = 0;
};

struct ParamEntry {
    int32_t nTag = 0;
    int32_t nType = 0;
    ParamValue value;
};

class CxSFParamParser {
public:
    static constexpr size_t kMaxTextUnits = 1023; // UTF-16 code units kept in memory
    static constexpr size_t kMaxTextBytes = 1023; // UTF-8 bytes written to the file

    // A path of more than 259 characters is kept as refused: saving fails.
    explicit CxSFParamParser(const char* path = nullptr);
    ~CxSFParamParser();
    CxSFParamParser(const CxSFParamParser&) = delete;
    CxSFParamParser& operator=(const CxSFParamParser&) = delete;

    // Stores the value at pValue under tag: an int32_t for type 3, a double for
    // 5, a zero-terminated UTF-8 text for 8, a byte (0 false, else true) for 11.
    // False without a value, for another type code, or when the tag already
    // holds a value of another type (which then stays as it was).
    bool SetParam(int32_t tag, int32_t type, const void* pValue);
    // The first entry with the tag, or null.
    const ParamEntry* FindParam(int32_t tag);
    // Writes the file; a non-empty path first replaces the stored one. False,
    // with errno telling why, when no path is known, the path has more than
    // 259 characters (ENAMETOOLONG: it is never cut) or the file could not be
    // written completely.
    bool SaveParams(const char* path = nullptr);
    void ClearParams();

    const char* GetPath() const { return m_szPath; }
    uint32_t GetCount() const { return m_list.GetCount(); }

    // UTF-8 to UTF-16, every invalid byte as '?', cut to maxUnits code units
    // without splitting a surrogate pair; and back, cut to maxBytes at a
    // character boundary.
    static std::u16string Utf8ToUtf16(const char* text, size_t maxUnits);
    static std::string Utf16ToUtf8(const std::u16string& text, size_t maxBytes);

private:
    ParamEntry* Find(int32_t tag);

    char m_szPath[260];
    bool m_bPathRefused; // the last path given did not fit
    CxList m_list;       // of ParamEntry*, owned
};
