// Submit: reads the data file the system wrote back, then moves every record
// marked for deletion into the recycle bin, all in one transaction.
#include "CxDebugUtil.h"
#include "CxFile.h"
#include "DeleteBackup.h"
#include "HelperSession.h"
#include "HelperTargets.h"
#include "IsoDate.h"
#include "RecordMapping.h"
#include "SubmitReport.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <unistd.h>
#include <vector>

namespace {

void AppendJsonText(std::string& out, const char* text, size_t len) {
    out += '"';
    for (size_t i = 0; i < len; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof(buf), "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

// The current row as a JSON object of its columns, so that the recycle bin
// keeps every value whatever columns the table has.
std::string RowToJson(sqlite3_stmt* st) {
    std::string json = "{";
    int n = sqlite3_column_count(st);
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            json += ',';
        const char* name = sqlite3_column_name(st, i);
        AppendJsonText(json, name, std::strlen(name));
        json += ':';
        switch (sqlite3_column_type(st, i)) {
        case SQLITE_INTEGER:
            json += std::to_string(sqlite3_column_int64(st, i));
            break;
        case SQLITE_FLOAT: {
            char buf[40];
            std::snprintf(buf, sizeof(buf), "%.17g", sqlite3_column_double(st, i));
            json += buf;
            break;
        }
        case SQLITE_TEXT: {
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
            AppendJsonText(json, text, static_cast<size_t>(sqlite3_column_bytes(st, i)));
            break;
        }
        case SQLITE_BLOB: {
            const unsigned char* p = static_cast<const unsigned char*>(sqlite3_column_blob(st, i));
            int len = sqlite3_column_bytes(st, i);
            std::string hex;
            for (int k = 0; k < len; ++k) {
                char buf[3];
                std::snprintf(buf, sizeof(buf), "%02x", p[k]);
                hex += buf;
            }
            AppendJsonText(json, hex.data(), hex.size());
            break;
        }
        default:
            json += "null";
        }
    }
    json += '}';
    return json;
}

// The current row's columns as the org holds them, for the backup: texts and
// numbers as SQLite gives them, a blob in hex, NULL as an empty value.
std::vector<DeleteBackup::Field> RowFields(sqlite3_stmt* st) {
    std::vector<DeleteBackup::Field> fields;
    const int n = sqlite3_column_count(st);
    for (int i = 0; i < n; ++i) {
        std::string value;
        if (sqlite3_column_type(st, i) == SQLITE_BLOB) {
            const unsigned char* p = static_cast<const unsigned char*>(sqlite3_column_blob(st, i));
            const int len = sqlite3_column_bytes(st, i);
            for (int k = 0; k < len; ++k) {
                char buf[3];
                std::snprintf(buf, sizeof(buf), "%02x", p[k]);
                value += buf;
            }
        } else if (const unsigned char* text = sqlite3_column_text(st, i)) {
            value.assign(reinterpret_cast<const char*>(text),
                         static_cast<size_t>(sqlite3_column_bytes(st, i)));
        }
        fields.emplace_back(sqlite3_column_name(st, i), std::move(value));
    }
    return fields;
}

struct TableStatements {
    OrgStatement byId;
    OrgStatement remove;
};

enum class DeleteResult { Deleted, Missing, Failed };

class Deleter {
public:
    explicit Deleter(HelperSession& s) : m_s(s), m_now(FormatIsoDateTime(std::time(nullptr))) {
        m_bOk = m_insert.Prepare(s.org.Db(), "INSERT INTO RecycleBin (ObjectType, Id, "
                                             "DeletedDate, DeletedById, Record) "
                                             "VALUES (?, ?, ?, ?, ?)");
    }

    // Moves the record to the recycle bin and adds its row to backup.
    DeleteResult Delete(const DeleteTarget& t, DeleteBackup& backup) {
        TableStatements* ts = Statements(t.table);
        if (!ts)
            return DeleteResult::Failed;
        OrgStatement& find = ts->byId;
        find.Reset();
        find.BindText(1, t.id);
        int rc = find.Step();
        if (rc == SQLITE_DONE)
            return DeleteResult::Missing;
        if (rc != SQLITE_ROW)
            return DeleteResult::Failed;
        OrgRow row(find.Get());
        row.Next();
        int64_t seq = row.Int("Seq");
        std::string id = row.Text("Id");
        std::string json = RowToJson(find.Get());
        std::vector<DeleteBackup::Field> fields = RowFields(find.Get());
        find.Reset();

        m_insert.Reset();
        m_insert.BindText(1, t.table);
        m_insert.BindText(2, id);
        m_insert.BindText(3, m_now);
        m_insert.BindText(4, m_s.userId);
        m_insert.BindText(5, json);
        if (m_insert.Step() != SQLITE_DONE)
            return DeleteResult::Failed;
        ts->remove.Reset();
        ts->remove.BindInt(1, seq);
        if (ts->remove.Step() != SQLITE_DONE || sqlite3_changes(m_s.org.Db()) != 1)
            return DeleteResult::Failed;
        backup.Add(t.table, std::move(fields));
        return DeleteResult::Deleted;
    }

    bool Ok() const { return m_bOk; }

    // The contacts, opportunities and cases of an account (tables the org
    // lacks count 0); false on a database failure.
    bool CountRelated(const std::string& accountId, int64_t counts[3]) {
        const char* tables[3] = {"Contact", "Opportunity", "Case"};
        for (int k = 0; k < 3; ++k) {
            counts[k] = 0;
            OrgStatement exists;
            if (!exists.Prepare(m_s.org.Db(), "SELECT count(*) FROM sqlite_master WHERE type = "
                                              "'table' AND name = ?"))
                return false;
            exists.BindText(1, tables[k]);
            if (exists.Step() != SQLITE_ROW)
                return false;
            if (sqlite3_column_int(exists.Get(), 0) == 0)
                continue;
            OrgStatement count;
            if (!count.Prepare(m_s.org.Db(), std::string("SELECT count(*) FROM \"") + tables[k] +
                                                 "\" WHERE AccountId = ?"))
                return false;
            count.BindText(1, accountId);
            if (count.Step() != SQLITE_ROW)
                return false;
            counts[k] = sqlite3_column_int64(count.Get(), 0);
        }
        return true;
    }

private:
    TableStatements* Statements(const char* table) {
        auto it = m_tables.find(table);
        if (it != m_tables.end())
            return it->second.get();
        auto ts = std::make_unique<TableStatements>();
        std::string quoted = std::string("\"") + table + "\"";
        sqlite3* db = m_s.org.Db();
        if (!ts->byId.Prepare(db, "SELECT * FROM " + quoted + " WHERE Id = ?") ||
            !ts->remove.Prepare(db, "DELETE FROM " + quoted + " WHERE Seq = ?"))
            return nullptr;
        return m_tables.emplace(table, std::move(ts)).first->second.get();
    }

    HelperSession& m_s;
    std::string m_now;
    OrgStatement m_insert;
    std::map<std::string, std::unique_ptr<TableStatements>> m_tables;
    bool m_bOk = false;
};

std::string DeletingWhat(const HelperRequest& req) {
    return std::string("Deleting ") + req.KindWord();
}

} // namespace

int RunSubmit(HelperSession& s) {
    std::vector<DeleteTarget> targets;
    if (const int code = ReadSubmitTargets(s, targets); code != kExitOk)
        return code;

    if (!s.org.Exec("BEGIN IMMEDIATE")) {
        s.errors.Add("Database error: " + s.org.LastError());
        return kExitOrg;
    }
    // Accounts go last: deleting the contacts the user ticked may free them.
    std::vector<size_t> order;
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < targets.size(); ++i)
            if ((std::string(targets[i].table) == "Account") == (pass == 1))
                order.push_back(i);

    SubmitReport report(targets);
    DeleteBackup backup;
    Deleter deleter(s);
    const std::string what = DeletingWhat(s.req);
    bool failed = !deleter.Ok();
    size_t done = 0;
    for (size_t i : order) {
        if (failed)
            break;
        const DeleteTarget& t = targets[i];
        std::string refusal;
        int64_t related[3] = {0, 0, 0};
        if (t.id.empty()) {
            refusal = t.Describe() + " is not in the note list of its load and was not deleted.";
        } else if (std::string(t.table) == "Contact" && t.isPersonAccount) {
            refusal = "Contact " + t.id +
                      " belongs to a person account and was not deleted; delete the person "
                      "account instead.";
        } else if (std::string(t.table) == "Account") {
            if (!deleter.CountRelated(t.id, related)) {
                failed = true;
                break;
            }
            if (t.isPersonAccount && related[0] > 0)
                --related[0];
            if (related[0] > 0 || related[1] > 0 || related[2] > 0)
                refusal = "Account " + t.id +
                          " was not deleted: deleting it would also delete its " +
                          std::to_string(related[0]) + " contacts, " + std::to_string(related[1]) +
                          " opportunities and " + std::to_string(related[2]) + " cases.";
        }
        if (!refusal.empty()) {
            report.NotDeleted(
                i, t.table == std::string("Account") ? "HAS_RELATED_RECORDS" : "NOT_DELETABLE",
                refusal);
            s.errors.Add(refusal);
        } else {
            DeleteResult r = deleter.Delete(t, backup);
            if (r == DeleteResult::Failed) {
                failed = true;
                break;
            }
            if (r == DeleteResult::Missing) {
                const std::string text = t.Describe() + " is not in the org and was not deleted.";
                report.NotDeleted(i, "NOT_FOUND", text);
                s.errors.Add(text);
            } else {
                report.Deleted(i);
            }
        }
        if (!s.Tick(what.c_str(), ++done, targets.size())) {
            s.org.Exec("ROLLBACK");
            s.errors.Add("Stopped on request; nothing was deleted.");
            SubmitReport(targets).Finish(s);
            return kExitStopped;
        }
    }
    // Nothing is deleted until the backup of every deleted row is on disk.
    std::string backupPath, why;
    if (!failed && !backup.Write(s.req.dataFolder, s.req.KindLabel(), backupPath, why)) {
        s.org.Exec("ROLLBACK");
        return BackupFailed(s, targets.size(), why);
    }
    s.errors.SetBackupPath(backupPath);
    if (!failed && s.org.Exec("COMMIT")) {
        DEBUG_LOG(LOG_NORMAL, "Moved %zu %s to the recycle bin.", report.DeletedCount(),
                  s.req.KindWord());
        report.Finish(s);
        return kExitOk;
    }
    std::string dbError = s.org.LastError();
    s.org.Exec("ROLLBACK");
    if (!backupPath.empty())
        unlink(backupPath.c_str());
    s.errors.SetBackupPath("");
    s.errors.Add("Database error: " + dbError + "; nothing was deleted.");
    SubmitReport(targets).Finish(s);
    return kExitOrg;
}
