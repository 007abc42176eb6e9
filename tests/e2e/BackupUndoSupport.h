// Reading what a submit and an undelete leave: the backup of the deleted
// records (a CSV file named in the error file) and the undelete's report.
#pragma once

#include "HelperE2ESupport.h"

#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace helpere2e {

// The rows of a CSV text (quoted fields with "" for a quote; CRLF or LF).
inline std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(field);
            field.clear();
        } else if (c == '\n') {
            rows.back().push_back(field);
            field.clear();
            rows.emplace_back();
        } else if (c != '\r') {
            field += c;
        }
    }
    if (!field.empty() || !rows.back().empty())
        rows.back().push_back(field);
    else
        rows.pop_back();
    return rows;
}

// A backup file as records: per record its Id, the columns by header name.
struct Backup {
    std::string path;
    std::vector<std::string> header;
    std::map<std::string, std::map<std::string, std::string>> byId;
};

inline std::string IniValue(const std::string& path, const char* section, const char* key) {
    CxIniUtil ini(nullptr, nullptr);
    ini.SetPath(path.c_str());
    char text[1024] = {};
    ini.GetString(section, key, text, sizeof(text), "<none>");
    return text;
}

// The backup the error file of kind names, read whole; its mode and its
// folder's checked.
inline Backup ReadBackup(const std::string& errorFile) {
    Backup b;
    b.path = IniValue(errorFile, "Submit", "Backup");
    struct stat st {};
    EXPECT_EQ(stat(b.path.c_str(), &st), 0) << b.path;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << b.path;
    const std::string folder = b.path.substr(0, b.path.rfind('/'));
    EXPECT_EQ(folder.substr(folder.rfind('/') + 1), "Backups");
    EXPECT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    std::vector<std::vector<std::string>> rows = CsvRows(testsupport::ReadFileBytes(b.path));
    if (rows.empty()) {
        ADD_FAILURE() << "empty backup " << b.path;
        return b;
    }
    b.header = rows[0];
    EXPECT_EQ(b.header.at(0), "Object");
    for (size_t r = 1; r < rows.size(); ++r) {
        EXPECT_EQ(rows[r].size(), b.header.size()) << "line " << r;
        std::map<std::string, std::string> fields;
        for (size_t i = 0; i < rows[r].size() && i < b.header.size(); ++i)
            fields[b.header[i]] = rows[r][i];
        b.byId[fields["Id"]] = fields;
    }
    return b;
}

// The Outcome column of a results file by Id.
inline std::map<std::string, std::string> Outcomes(const std::string& path) {
    std::map<std::string, std::string> out;
    std::vector<std::vector<std::string>> rows = CsvRows(testsupport::ReadFileBytes(path));
    for (size_t r = 1; r < rows.size(); ++r)
        if (rows[r].size() >= 3)
            out[rows[r][0]] = rows[r][2];
    return out;
}

} // namespace helpere2e
