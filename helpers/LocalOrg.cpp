#include "LocalOrg.h"

#include "CxIniUtil.h"
#include "IsoDate.h"

#include <cstring>
#include <sys/stat.h>

namespace {

bool IsFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

namespace {

int Clamped(CxIniUtil& ini, const char* key, int fallback, int low, int high) {
    int v = ini.GetInt(kHelperIniSection, key, fallback);
    return v < low ? low : (v > high ? high : v);
}

void ReadTuning(const std::string& iniPath, HelperSettings& settings) {
    CxIniUtil ini(nullptr, nullptr);
    ini.SetPath(iniPath.c_str());
    settings.recordDelayMs = Clamped(ini, "RecordDelayMs", 0, 0, 1000);
    settings.retryDelayMs = Clamped(ini, "RetryDelayMs", 1000, 0, 60000);
    settings.connectTimeoutS = Clamped(ini, "ConnectTimeoutS", 30, 1, 600);
    settings.requestTimeoutS = Clamped(ini, "RequestTimeoutS", 300, 1, 3600);
    settings.browserTimeoutS = Clamped(ini, "BrowserTimeoutS", 300, 1, 3600);
    char command[1024] = {};
    ini.GetString(kHelperIniSection, "BrowserCommand", command, sizeof(command), "");
    settings.browserCommand = command;
}

} // namespace

HelperSettings FindHelperSettings(const std::string& dataFolder, const std::string& programFolder) {
    HelperSettings settings;
    std::string firstIni;
    for (const std::string& folder : {dataFolder, programFolder}) {
        if (folder.empty())
            continue;
        std::string iniPath = folder + (folder.back() == '/' ? "" : "/") + kHelperIniName;
        if (!IsFile(iniPath))
            continue;
        if (firstIni.empty())
            firstIni = iniPath;
        CxIniUtil ini(nullptr, nullptr);
        ini.SetPath(iniPath.c_str());
        char path[4096] = {};
        ini.GetString(kHelperIniSection, "LocalOrg", path, sizeof(path), "");
        if (!path[0])
            continue;
        settings.orgPath = path[0] == '/' ? std::string(path) : FolderOf(iniPath) + path;
        settings.iniPath = iniPath;
        break;
    }
    // The other keys come from the first file found: the data folder's before
    // the program folder's.
    if (!firstIni.empty())
        ReadTuning(firstIni, settings);
    return settings;
}

bool OrgStatement::Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    return sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &m_stmt, nullptr) ==
           SQLITE_OK;
}

int OrgRow::Index(const char* column) {
    size_t k = m_nRequest++;
    if (k < m_index.size()) {
        int cached = m_index[k];
        const char* name = cached >= 0 ? sqlite3_column_name(m_stmt, cached) : nullptr;
        if (name && std::strcmp(name, column) == 0)
            return cached;
    }
    int found = -1;
    int count = sqlite3_column_count(m_stmt);
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(m_stmt, i);
        if (name && std::strcmp(name, column) == 0) {
            found = i;
            break;
        }
    }
    if (k >= m_index.size())
        m_index.resize(k + 1, -1);
    m_index[k] = found;
    return found;
}

bool OrgRow::IsNull(const char* column) {
    int i = Index(column);
    return i < 0 || sqlite3_column_type(m_stmt, i) == SQLITE_NULL;
}

const char* OrgRow::Text(const char* column) {
    int i = Index(column);
    if (i < 0)
        return "";
    const unsigned char* text = sqlite3_column_text(m_stmt, i);
    return text ? reinterpret_cast<const char*>(text) : "";
}

int64_t OrgRow::Int(const char* column) {
    int i = Index(column);
    return i < 0 ? 0 : sqlite3_column_int64(m_stmt, i);
}

int32_t OrgRow::Int32(const char* column) {
    int64_t v = Int(column);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

double OrgRow::Real(const char* column) {
    int i = Index(column);
    return i < 0 ? 0 : sqlite3_column_double(m_stmt, i);
}

double OrgRow::Date(const char* column) {
    int i = Index(column);
    if (i < 0 || sqlite3_column_type(m_stmt, i) != SQLITE_TEXT)
        return 0;
    double date = 0;
    IsoToAutomationDate(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i)), &date);
    return date;
}

double OrgRow::LocalDate(const char* column) {
    int i = Index(column);
    if (i < 0 || sqlite3_column_type(m_stmt, i) != SQLITE_TEXT)
        return 0;
    double date = 0;
    IsoToLocalAutomationDate(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i)), &date);
    return date;
}

LocalOrg::~LocalOrg() {
    sqlite3_close(m_db);
}

bool LocalOrg::Open(const std::string& path, std::string& error) {
    sqlite3_close(m_db);
    m_db = nullptr;
    if (!IsFile(path)) {
        error = "The local org \"" + path + "\" does not exist.";
        return false;
    }
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = "The local org \"" + path + "\" cannot be opened: " + LastError() + ".";
        return false;
    }
    sqlite3_busy_timeout(m_db, 10000);
    sqlite3_extended_result_codes(m_db, 1);
    OrgStatement check;
    if (!check.Prepare(m_db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                             "name IN ('User', 'RecycleBin')") ||
        check.Step() != SQLITE_ROW) {
        error = "The local org \"" + path + "\" cannot be read: " + LastError() + ".";
        return false;
    }
    if (sqlite3_column_int(check.Get(), 0) != 2) {
        error = "\"" + path + "\" is not a local org: it has no User and RecycleBin tables.";
        return false;
    }
    return true;
}

bool LocalOrg::Exec(const char* sql) {
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

LoginResult LocalOrg::Login(const std::string& user, const std::string& password,
                            const std::string& token, std::string* userId) {
    OrgStatement st;
    if (!st.Prepare(m_db, "SELECT Id, Password, SecurityToken FROM \"User\" WHERE Username = ?"))
        return LoginResult::Failed;
    st.BindText(1, user);
    int rc = st.Step();
    if (rc == SQLITE_DONE)
        return LoginResult::Refused;
    if (rc != SQLITE_ROW)
        return LoginResult::Failed;
    OrgRow row(st.Get());
    row.Next();
    std::string id = row.Text("Id");
    std::string storedPassword = row.Text("Password");
    std::string storedToken = row.Text("SecurityToken");
    bool ok = (password == storedPassword && token == storedToken) ||
              (token.empty() && !storedToken.empty() && password == storedPassword + storedToken);
    if (!ok)
        return LoginResult::Refused;
    if (userId)
        *userId = id;
    return LoginResult::Accepted;
}

int64_t LocalOrg::CountRows(const char* table) {
    OrgStatement st;
    if (!st.Prepare(m_db, std::string("SELECT count(*) FROM \"") + table + "\"") ||
        st.Step() != SQLITE_ROW)
        return -1;
    return sqlite3_column_int64(st.Get(), 0);
}
