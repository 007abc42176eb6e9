// Shared fixture of the helper program tests: a temporary data folder with a
// local org made by tessmark-sample-org, the parameter file written by the
// system's own writer, and the real helper started as a child process.
#pragma once

#include "CxFile.h"
#include "CxIniUtil.h"
#include "CxSFParamParser.h"
#include "SFRecords.h"
#include "TestSupport.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <spawn.h>
#include <sqlite3.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace helpere2e {

// The folder of the test program: the helpers stand beside it in build/bin.
inline std::string ProgramFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return exe.parent_path().string() + "/";
}

// Starts program (in folder, by default the program folder) with args, working
// folder that folder, and returns its exit status (-1 when it did not end
// normally).
inline int RunProgram(const std::string& name, const std::vector<std::string>& args,
                      pid_t* started = nullptr, const std::string& folder = ProgramFolder()) {
    std::string path = folder + name;
    std::vector<std::string> all{path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    // Keep the child's output out of the test log unless it matters.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    if (started) {
        *started = pid;
        return 0;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

inline int WaitExit(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// An automation date computed here from the API's date texts, independently of
// the helper: days since 1899-12-30, UTC.
inline double ExpectedDate(const std::string& iso) {
    if (iso.empty())
        return 0;
    struct tm tm {};
    const char* rest =
        strptime(iso.c_str(), iso.size() > 10 ? "%Y-%m-%dT%H:%M:%S" : "%Y-%m-%d", &tm);
    if (!rest)
        return -1;
    return static_cast<double>(timegm(&tm)) / 86400.0 + 25569.0;
}

struct KindFiles {
    const char* helper;
    const char* data;
    const char* error;
    const char* progress;
    const char* param;
    const char* state;
};

inline const KindFiles kAddr{"Velmora.SFAddrUtil.exe", "SFAddr.dat",      "SFAddrErr.dat",
                             "SFAddrStatus.dat",       "SFAddrParam.dat", "SFAddr.ini"};
inline const KindFiles kDate{"Velmora.SFDateUtil.exe", "SFDate.dat",      "SFDateErr.dat",
                             "SFDateStatus.dat",       "SFDateParam.dat", "SFDate.ini"};
inline const KindFiles kTask{"Velmora.SFTaskUtil.exe", "SFTask.dat",      "SFTaskErr.dat",
                             "SFTaskStatus.dat",       "SFTaskParam.dat", "SFTask.ini"};
inline const KindFiles kNote{"Velmora.SFNoteUtil.exe", "SFNote.dat",      "SFNoteErr.dat",
                             "SFNoteStatus.dat",       "SFNoteParam.dat", "SFNote.ini"};

struct Login {
    std::string user = "demo@example.com";
    std::string password = "demo";
    std::string token = "DEMOTOKEN";
};

// Extra tags after the twelve the system always writes.
struct ExtraTag {
    int32_t tag;
    std::string text;
};

class HelperTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_data = m_dir.Path("data") + "/";
        std::filesystem::create_directories(m_data);
        m_org = m_dir.Path("org.db");
    }

    const std::string& DataFolder() const { return m_data; }
    const std::string& OrgPath() const { return m_org; }
    std::string InData(const std::string& name) const { return m_data + name; }

    void MakeOrg(const std::vector<std::string>& options = {
                     "--contacts", "30", "--accounts", "10", "--leads", "10", "--events", "30",
                     "--tasks", "30", "--notes", "20", "--dup-rate", "0.2", "--seed", "7"}) {
        std::vector<std::string> args{"--out", m_org};
        args.insert(args.end(), options.begin(), options.end());
        ASSERT_EQ(RunProgram("tessmark-sample-org", args), 0);
        ConfigureOrg(m_org);
    }

    void ConfigureOrg(const std::string& orgPath, const std::string& extra = "") {
        testsupport::WriteFileBytes(InData("Velmora.SFHelper.ini"),
                                    "[Helper]\nLocalOrg=" + orgPath + "\n" + extra);
    }

    void WriteParams(const KindFiles& kind, int request, const Login& login = Login(),
                     const std::vector<ExtraTag>& extra = {}) {
        CxSFParamParser p;
        const std::string req = std::to_string(request);
        const std::pair<int32_t, std::string> tags[] = {{1001, login.user},  {1002, login.password},
                                                        {1003, login.token}, {1004, kind.data},
                                                        {1005, m_data},      {1006, req},
                                                        {1007, kind.error},  {1008, kind.progress},
                                                        {1009, m_data},      {1010, ""},
                                                        {1011, "3"},         {1012, "1"}};
        for (const auto& [tag, text] : tags)
            ASSERT_TRUE(p.SetParam(tag, ptText, text.c_str()));
        for (const ExtraTag& e : extra)
            ASSERT_TRUE(p.SetParam(e.tag, ptText, e.text.c_str()));
        ASSERT_TRUE(p.SaveParams(InData(kind.param).c_str()));
    }

    int RunHelper(const KindFiles& kind) { return RunProgram(kind.helper, {InData(kind.param)}); }

    int Load(const KindFiles& kind, const std::vector<ExtraTag>& extra = {}) {
        WriteParams(kind, 1, Login(), extra);
        return RunHelper(kind);
    }

    int Submit(const KindFiles& kind) {
        WriteParams(kind, 2);
        return RunHelper(kind);
    }

    std::vector<std::string> Errors(const KindFiles& kind) {
        CxIniUtil ini(nullptr, nullptr);
        ini.SetPath(InData(kind.error).c_str());
        std::vector<std::string> errors;
        int count = ini.GetInt("Error", "Error.Count", -1);
        for (int i = 1; i <= count; ++i) {
            char text[1024] = {};
            std::string key = "Error." + std::to_string(i);
            ini.GetString("Error", key.c_str(), text, sizeof(text), "<missing>");
            errors.push_back(text);
        }
        if (count < 0)
            errors.push_back("<no error file>");
        return errors;
    }

    int StateValue(const KindFiles& kind, const char* key) {
        CxIniUtil ini(nullptr, nullptr);
        ini.SetPath(InData(kind.state).c_str());
        return ini.GetInt("Status", key, -1);
    }

    template <class Rec> std::vector<Rec> ReadData(const KindFiles& kind, bool* whole = nullptr) {
        std::vector<Rec> records;
        CxFile file;
        bool ok = file.Open(InData(kind.data).c_str(), "rb");
        uint32_t count = 0;
        ok = ok && ReadRecordCount(file, count);
        for (uint32_t i = 0; ok && i < count; ++i) {
            records.emplace_back();
            ok = ReadSFRecord(file, records.back());
        }
        char extra;
        ok = ok && !file.ReadBytes(&extra, 1);
        if (whole)
            *whole = ok;
        else
            EXPECT_TRUE(ok) << "the data file is not whole";
        return records;
    }

    template <class Rec> void WriteData(const KindFiles& kind, const std::vector<Rec>& records) {
        CxFile file;
        ASSERT_TRUE(file.Open(InData(kind.data).c_str(), "wb"));
        bool ok = WriteRecordCount(file, static_cast<uint32_t>(records.size()));
        for (const Rec& r : records)
            ok = ok && WriteSFRecord(file, r);
        file.Close();
        ASSERT_TRUE(ok && !file.HasFailed());
    }

    // The rows of a query, every column as text ("" for NULL).
    std::vector<std::vector<std::string>> Query(const std::string& sql) {
        std::vector<std::vector<std::string>> rows;
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open_v2(m_org.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db) << " in " << sql;
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const unsigned char* t = sqlite3_column_text(st, i);
                row.push_back(t ? reinterpret_cast<const char*>(t) : "");
            }
            rows.push_back(std::move(row));
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return rows;
    }

    void Exec(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(m_org.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        char* message = nullptr;
        int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
        std::string why = message ? message : "";
        sqlite3_free(message);
        sqlite3_close(db);
        ASSERT_EQ(rc, SQLITE_OK) << why;
    }

    long long Count(const std::string& table, const std::string& where = "1") {
        auto rows = Query("SELECT count(*) FROM \"" + table + "\" WHERE " + where);
        return rows.empty() ? -1 : std::stoll(rows[0][0]);
    }

    // Every column of the row with that Id, by name, as text ("" for NULL).
    std::map<std::string, std::string> Row(const std::string& table, const std::string& id) {
        std::map<std::string, std::string> row;
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open_v2(m_org.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        const std::string sql = "SELECT * FROM \"" + table + "\" WHERE Id = ?";
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK);
        sqlite3_bind_text(st, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        if (st && sqlite3_step(st) == SQLITE_ROW)
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const unsigned char* t = sqlite3_column_text(st, i);
                row[sqlite3_column_name(st, i)] = t ? reinterpret_cast<const char*>(t) : "";
            }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return row;
    }

    // Every object table and the recycle bin, as counts.
    std::vector<long long> AllCounts() {
        std::vector<long long> counts;
        for (const char* t : {"Contact", "Account", "Lead", "Event", "Task", "Note", "RecycleBin"})
            counts.push_back(Count(t));
        return counts;
    }

private:
    testsupport::TempDir m_dir;
    std::string m_data;
    std::string m_org;
};

} // namespace helpere2e
