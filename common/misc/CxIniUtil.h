// Reader and writer of one settings file in the classic profile format:
// "[Section]" lines and "key=value" lines, section and key looked up without
// regard to ASCII case; CR, LF and CR LF each end a line. The file is parsed
// once and kept while it is unchanged on disk (same inode, size and times), so
// reading many keys reads the file once. Every write replaces the file
// atomically (a temporary file beside it, flushed, renamed over it), created
// with mode 0600; a bound path that is a symbolic link keeps being one: the
// file it points to is replaced.
#pragma once

#include <cstddef>
#include <memory>

class CxIniUtil {
public:
    // Binds folder + file name; with no folder, the file lies in the program's
    // folder. Constant-initialisable, so a process-wide instance exists before
    // any other module initialisation runs.
    // A path that does not fit is not cut (that would name another file): the
    // instance stays unbound, reads give the defaults and writes fail.
    constexpr CxIniUtil(const char* folder, const char* file)
        : m_szPath{}, m_bInModuleFolder(!folder || !*folder), m_nUpdateDepth(0),
          m_bUpdateFailed(false), m_nReads(0), m_pProfile() {
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
    CxIniUtil(const CxIniUtil&) = delete;
    CxIniUtil& operator=(const CxIniUtil&) = delete;

    // Replaces the bound path; a null or empty path is ignored, one of 260
    // characters or more unbinds the instance.
    void SetPath(const char* path);
    // Binds no file: reads give the defaults and writes fail until SetPath.
    void Unbind();
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
    // be written. A value is written up to its first CR, LF or zero byte, so
    // that it reads back as written; what follows is dropped, with a log line.
    int WriteString(const char* section, const char* key, const char* value);
    // The same for a value of length bytes, which may hold a zero byte.
    int WriteString(const char* section, const char* key, const char* value, size_t length);
    int WriteInt(const char* section, const char* key, int value);
    int WriteBool(const char* section, const char* key, bool value);

    // Between BeginUpdate and the matching EndUpdate the writes change the
    // parsed file only (their result tells whether the file could be read);
    // EndUpdate replaces the file once with all of them. Non-zero when there
    // was nothing to write or the file was written.
    void BeginUpdate();
    int EndUpdate();

    // How many times the file was read from disk; for tests and benchmarks.
    unsigned long GetReadCount() const { return m_nReads; }

private:
    struct Profile;
    // Defined where Profile is, so that the constexpr constructor needs no
    // complete Profile.
    struct ProfileDeleter {
        void operator()(Profile* profile) const;
    };
    enum class Load { Ok, Missing, Failed };

    // Makes m_pProfile the parsed text of the file at target, reading the file
    // only when it changed since it was last read or written.
    Load Refresh(const char* target);
    int Flush(const char* target);
    void Forget();

    char m_szPath[260];
    bool m_bInModuleFolder; // m_szPath holds the file name only, still to be resolved
    int m_nUpdateDepth;
    bool m_bUpdateFailed; // a write of the current update failed
    unsigned long m_nReads;
    std::unique_ptr<Profile, ProfileDeleter> m_pProfile;
};
