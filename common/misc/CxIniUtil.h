// Reader and writer of one settings file in the classic profile format:
// "[Section]" lines and "key=value" lines, section and key looked up without
// regard to ASCII case. Every call opens, reads or rewrites and closes the file;
// nothing is cached. Every write replaces the file atomically (a temporary file
// in the same folder, flushed, renamed over the old one), created with mode 0600.
#pragma once

#include <cstddef>

class CxIniUtil {
public:
    // Binds folder + file name; with no folder, the file lies in the program's
    // folder. Constant-initialisable, so a process-wide instance exists before
    // any other module initialisation runs.
    // A path that does not fit is not cut (that would name another file): the
    // instance stays unbound, reads give the defaults and writes fail.
    constexpr CxIniUtil(const char* folder, const char* file)
        : m_szPath{}, m_bInModuleFolder(!folder || !*folder) {
        size_t n = 0;
        bool fits = true;
        const char* parts[2] = {m_bInModuleFolder ? "" : folder, file ? file : ""};
        for (const char* part : parts)
            for (const char* p = part; *p && fits; ++p) {
                if (n < sizeof(m_szPath) - 1)
                    m_szPath[n++] = *p;
                else
                    fits = false;
            }
        if (!fits)
            n = 0;
        m_szPath[n] = '\0';
    }
    virtual ~CxIniUtil();

    // Replaces the bound path; a null or empty path is ignored, one of 260
    // characters or more unbinds the instance.
    void SetPath(const char* path);
    // The full path of the bound file; empty when unbound. A file bound to the
    // program's folder is resolved here, on first use.
    const char* GetPath();

    // The number of characters stored in buf (the default is copied when the
    // key is missing); 0, without touching the file, when the key is null or
    // empty, buf is null or size is 0.
    int GetString(const char* section, const char* key, char* buf, int size, const char* def);
    int GetInt(const char* section, const char* key, int def);
    bool GetBool(const char* section, const char* key, bool def);

    // Non-zero on success; 0 when the key is null or empty or the file could not
    // be written. A value is written up to its first line break.
    int WriteString(const char* section, const char* key, const char* value);
    int WriteInt(const char* section, const char* key, int value);
    int WriteBool(const char* section, const char* key, bool value);

private:
    char m_szPath[260];
    bool m_bInModuleFolder; // m_szPath holds the file name only, still to be resolved
};
