// Submit: reads the data file the system wrote back, then moves every record
// marked for deletion into the recycle bin, all in one transaction.
#include "CxDebugUtil.h"
#include "CxFile.h"
#include "HelperSession.h"
#include "IsoDate.h"
#include "RecordMapping.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

struct DeleteTarget {
    const char* table;
    std::string id; // empty for a note, which is found by its Seq
    int64_t seq = 0;

    std::string Describe() const {
        return id.empty() ? "Note " + std::to_string(seq) : "Record " + id;
    }
};

const char* AddrTable(int32_t objectKind) {
    switch (objectKind) {
    case kObjectContact:
        return "Contact";
    case kObjectAccount:
        return "Account";
    case kObjectLead:
        return "Lead";
    default:
        return nullptr;
    }
}

// The target of a record marked for deletion; false (with an error entry)
// when the record does not say where it lives.
bool TargetOf(HelperSession& s, const SFAddrRec& rec, DeleteTarget& t) {
    t.table = AddrTable(rec.ObjectKind);
    t.id = rec.Id;
    if (!t.table) {
        s.errors.Add("Record " + t.id + " has the unknown object kind " +
                     std::to_string(rec.ObjectKind) + " and was not deleted.");
        return false;
    }
    return true;
}
bool TargetOf(HelperSession&, const SFDateRec& rec, DeleteTarget& t) {
    t.table = "Event";
    t.id = rec.Id;
    return true;
}
bool TargetOf(HelperSession&, const SFTaskRec& rec, DeleteTarget& t) {
    t.table = "Task";
    t.id = rec.Id;
    return true;
}
bool TargetOf(HelperSession&, const SFNoteRec& rec, DeleteTarget& t) {
    t.table = "Note";
    t.seq = rec.HelperData;
    return true;
}

// Reads every record of the file; only a file read to its last byte counts.
template <class Rec>
bool ReadTargets(HelperSession& s, CxFile& file, std::vector<DeleteTarget>& targets,
                 std::string& why) {
    uint32_t count = 0;
    if (!ReadRecordCount(file, count)) {
        why = "has no record count";
        return false;
    }
    std::set<std::string> seen;
    for (uint32_t i = 0; i < count; ++i) {
        auto rec = std::make_unique<Rec>();
        if (!ReadSFRecord(file, *rec)) {
            why = "ends inside record " + std::to_string(i + 1) + " of " + std::to_string(count);
            return false;
        }
        if (rec->ChangeAction != kChangeActionDelete)
            continue;
        DeleteTarget t;
        if (!TargetOf(s, *rec, t))
            continue;
        std::string key = std::string(t.table) + "/" + t.id + "/" + std::to_string(t.seq);
        if (seen.insert(key).second)
            targets.push_back(std::move(t));
    }
    char extra;
    if (file.ReadBytes(&extra, 1)) {
        why = "holds more bytes than its " + std::to_string(count) + " records";
        return false;
    }
    return true;
}

bool ReadDataFile(HelperSession& s, const std::string& path, std::vector<DeleteTarget>& targets,
                  std::string& why) {
    CxFile file;
    if (!file.Open(path.c_str(), "rbe")) {
        why = "cannot be opened";
        return false;
    }
    switch (s.req.kind) {
    case HelperKind::Addr:
        return ReadTargets<SFAddrRec>(s, file, targets, why);
    case HelperKind::Date:
        return ReadTargets<SFDateRec>(s, file, targets, why);
    case HelperKind::Task:
        return ReadTargets<SFTaskRec>(s, file, targets, why);
    case HelperKind::Note:
        return ReadTargets<SFNoteRec>(s, file, targets, why);
    }
    return false;
}

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

struct TableStatements {
    OrgStatement byId;
    OrgStatement bySeq;
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

    DeleteResult Delete(const DeleteTarget& t) {
        TableStatements* ts = Statements(t.table);
        if (!ts)
            return DeleteResult::Failed;
        OrgStatement& find = t.id.empty() ? ts->bySeq : ts->byId;
        find.Reset();
        if (t.id.empty())
            find.BindInt(1, t.seq);
        else
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
        return DeleteResult::Deleted;
    }

    bool Ok() const { return m_bOk; }

private:
    TableStatements* Statements(const char* table) {
        auto it = m_tables.find(table);
        if (it != m_tables.end())
            return it->second.get();
        auto ts = std::make_unique<TableStatements>();
        std::string quoted = std::string("\"") + table + "\"";
        sqlite3* db = m_s.org.Db();
        if (!ts->byId.Prepare(db, "SELECT * FROM " + quoted + " WHERE Id = ?") ||
            !ts->bySeq.Prepare(db, "SELECT * FROM " + quoted + " WHERE Seq = ?") ||
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
    const std::string dataPath = s.req.InFolder(s.req.dataFileName);
    std::vector<DeleteTarget> targets;
    std::string why;
    s.progress.Set("Reading " + s.req.dataFileName);
    if (!ReadDataFile(s, dataPath, targets, why)) {
        s.errors.Add("The data file \"" + dataPath + "\" " + why + "; nothing was deleted.");
        return kExitDataFile;
    }
    DEBUG_LOG(LOG_NORMAL, "%zu %s marked for deletion in %s.", targets.size(), s.req.KindWord(),
              dataPath.c_str());

    if (!s.org.Exec("BEGIN IMMEDIATE")) {
        s.errors.Add("Database error: " + s.org.LastError());
        return kExitOrg;
    }
    Deleter deleter(s);
    const std::string what = DeletingWhat(s.req);
    size_t deleted = 0;
    bool failed = !deleter.Ok();
    for (size_t i = 0; !failed && i < targets.size(); ++i) {
        DeleteResult r = deleter.Delete(targets[i]);
        if (r == DeleteResult::Failed) {
            failed = true;
            break;
        }
        if (r == DeleteResult::Missing)
            s.errors.Add(targets[i].Describe() + " is not in the org and was not deleted.");
        else
            ++deleted;
        if (!s.Tick(what.c_str(), i + 1, targets.size())) {
            s.org.Exec("ROLLBACK");
            s.errors.Add("Stopped on request; nothing was deleted.");
            return kExitStopped;
        }
    }
    if (!failed && s.org.Exec("COMMIT")) {
        DEBUG_LOG(LOG_NORMAL, "Moved %zu %s to the recycle bin.", deleted, s.req.KindWord());
        s.progress.Set("Deleted " + std::to_string(deleted) + " " + s.req.KindWord() + ".");
        return kExitOk;
    }
    std::string dbError = s.org.LastError();
    s.org.Exec("ROLLBACK");
    s.errors.Add("Database error: " + dbError + "; nothing was deleted.");
    return kExitOrg;
}
