// The local org: an SQLite database laid out as OrgSchema describes, and the
// settings file that says where it is.
#pragma once

#include "CxText.h"

#include <cstddef>
#include <cstdint>
#include <sqlite3.h>
#include <string>
#include <vector>

// The helper's settings file, looked up in the data folder, then in the
// program folder; section "Helper", key "LocalOrg" holds the database path
// (relative to the settings file's folder unless it starts with '/').
constexpr char kHelperIniName[] = "Velmora.SFHelper.ini";
constexpr char kHelperIniSection[] = "Helper";

struct HelperSettings {
    std::string orgPath;   // the database; empty when none is configured
    std::string iniPath;   // the settings file that named it
    int recordDelayMs = 0; // pause after every record (to watch the progress)
    // The CRM's API: the first pause before a request is repeated (it doubles
    // with every further try), and the connect and whole-request time-outs.
    int retryDelayMs = 1000;
    int connectTimeoutS = 30;
    int requestTimeoutS = 300;
    // The browser sign-in: the program that opens the sign-in page (empty:
    // xdg-open) and how long the helper waits for the user.
    std::string browserCommand;
    int browserTimeoutS = 300;
};

// Reads the first settings file (data folder, then program folder) that names
// a local org; the other keys come from the first settings file found.
HelperSettings FindHelperSettings(const std::string& dataFolder, const std::string& programFolder);

// A prepared statement, finalised at the end of its life.
class OrgStatement {
public:
    OrgStatement() = default;
    ~OrgStatement() { sqlite3_finalize(m_stmt); }
    OrgStatement(const OrgStatement&) = delete;
    OrgStatement& operator=(const OrgStatement&) = delete;

    bool Prepare(sqlite3* db, const std::string& sql);
    sqlite3_stmt* Get() const { return m_stmt; }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return sqlite3_step(m_stmt); }
    void Reset() {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    void BindText(int index, const std::string& text) {
        sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void BindInt(int index, int64_t value) { sqlite3_bind_int64(m_stmt, index, value); }
    void BindNull(int index) { sqlite3_bind_null(m_stmt, index); }
    void BindReal(int index, double value) { sqlite3_bind_double(m_stmt, index, value); }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// The current row of a statement, read by column name. Mapping code asks for
// the same columns in the same order for every row, so the k-th request of a
// row remembers its column index after the first row; a column the table
// lacks reads as NULL.
class OrgRow {
public:
    explicit OrgRow(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    // Call before the columns of each row are read.
    void Next() { m_nRequest = 0; }

    bool IsNull(const char* column);
    // "" for NULL.
    const char* Text(const char* column);
    template <size_t N> void Text(const char* column, char (&dst)[N]);
    int64_t Int(const char* column);
    // Clamped to the int32 range.
    int32_t Int32(const char* column);
    double Real(const char* column);
    bool Bool(const char* column) { return Int(column) != 0; }
    // An ISO-8601 text as an automation date in UTC; 0 for NULL or a malformed text.
    double Date(const char* column);
    // The same in the local time zone (a date without a time stays that date).
    double LocalDate(const char* column);

private:
    int Index(const char* column);

    sqlite3_stmt* m_stmt;
    std::vector<int> m_index;
    size_t m_nRequest = 0;
};

enum class LoginResult { Accepted, Refused, Failed };

class LocalOrg {
public:
    LocalOrg() = default;
    ~LocalOrg();
    LocalOrg(const LocalOrg&) = delete;
    LocalOrg& operator=(const LocalOrg&) = delete;

    // Opens an existing org for reading and writing; false with the reason in
    // error when the file is missing, not a database or not an org.
    bool Open(const std::string& path, std::string& error);
    sqlite3* Db() const { return m_db; }
    std::string LastError() const { return m_db ? sqlite3_errmsg(m_db) : "no database"; }
    bool Exec(const char* sql);

    // Accepted when a user of that name (without regard to case) has that
    // password and security token; the password may also carry the token
    // appended, as the API allows, when no separate token is given.
    LoginResult Login(const std::string& user, const std::string& password,
                      const std::string& token, std::string* userId);

    // The number of rows of a table; -1 on failure.
    int64_t CountRows(const char* table);

private:
    sqlite3* m_db = nullptr;
};

template <size_t N> void OrgRow::Text(const char* column, char (&dst)[N]) {
    CopyText(dst, N, Text(column));
}
