// Undelete in the local org: the records a submit moved to the recycle bin go
// back to their tables, every column as it was, all in one transaction.
#include "CxDebugUtil.h"
#include "HelperSession.h"
#include "HelperTargets.h"
#include "SubmitReport.h"

#include <simdjson.h>
#include <string>
#include <vector>

namespace {

enum class RestoreResult { Restored, Refused, Failed };

class Restorer {
public:
    explicit Restorer(HelperSession& s) : m_s(s) {
        m_bOk = m_find.Prepare(s.org.Db(), "SELECT Seq, ObjectType, Record FROM RecycleBin "
                                           "WHERE Id = ? ORDER BY Seq DESC LIMIT 1") &&
                m_remove.Prepare(s.org.Db(), "DELETE FROM RecycleBin WHERE Seq = ?");
    }
    bool Ok() const { return m_bOk; }

    // Refused: code and message say why (the record stays where it is).
    RestoreResult Restore(const DeleteTarget& t, std::string& code, std::string& message) {
        m_find.Reset();
        m_find.BindText(1, t.id);
        const int rc = m_find.Step();
        if (rc == SQLITE_DONE) {
            code = "NOT_IN_RECYCLE_BIN";
            message = "Record " + t.id +
                      " is no longer in the recycle bin (it was emptied) and was not restored.";
            return RestoreResult::Refused;
        }
        if (rc != SQLITE_ROW)
            return RestoreResult::Failed;
        const int64_t binSeq = sqlite3_column_int64(m_find.Get(), 0);
        const std::string table = ColumnText(1);
        const std::string json = ColumnText(2);
        m_find.Reset();

        simdjson::dom::object record;
        if (m_parser.parse(json).get_object().get(record) != simdjson::SUCCESS) {
            code = "UNREADABLE";
            message = "Record " + t.id + " is damaged in the recycle bin and was not restored.";
            return RestoreResult::Refused;
        }
        const std::string quoted = "\"" + Escaped(table) + "\"";
        int64_t count = 0;
        if (!CountWhere(quoted, "Id = ?", t.id, 0, count))
            return RestoreResult::Failed;
        if (count > 0) {
            code = "ENTITY_EXISTS";
            message = "Record " + t.id + " is in the org already and was not restored.";
            return RestoreResult::Refused;
        }
        // The row takes its old number back unless another row has it now.
        int64_t seq = 0;
        bool keepSeq = record["Seq"].get_int64().get(seq) == simdjson::SUCCESS;
        if (keepSeq) {
            if (!CountWhere(quoted, "Seq = ?", "", seq, count))
                return RestoreResult::Failed;
            keepSeq = count == 0;
        }
        std::string columns, marks;
        std::vector<simdjson::dom::element> values;
        for (auto [key, value] : record) {
            if (key == "Seq" && !keepSeq)
                continue;
            columns += (columns.empty() ? "\"" : ", \"") + Escaped(std::string(key)) + "\"";
            marks += marks.empty() ? "?" : ", ?";
            values.push_back(value);
        }
        OrgStatement insert;
        if (!insert.Prepare(m_s.org.Db(), "INSERT INTO " + quoted + " (" + columns + ") VALUES (" +
                                              marks + ")")) {
            code = "RESTORE_FAILED";
            message = "Record " + t.id + " cannot go back to " + table + ": " +
                      m_s.org.LastError() + "; it stays in the recycle bin.";
            return RestoreResult::Refused;
        }
        for (size_t i = 0; i < values.size(); ++i)
            Bind(insert, static_cast<int>(i + 1), values[i]);
        const int step = insert.Step();
        if (step != SQLITE_DONE) {
            if ((step & 0xff) != SQLITE_CONSTRAINT)
                return RestoreResult::Failed;
            code = "RESTORE_FAILED";
            message = "Record " + t.id + " cannot go back to " + table + ": " +
                      m_s.org.LastError() + "; it stays in the recycle bin.";
            return RestoreResult::Refused;
        }
        m_remove.Reset();
        m_remove.BindInt(1, binSeq);
        return m_remove.Step() == SQLITE_DONE ? RestoreResult::Restored : RestoreResult::Failed;
    }

private:
    std::string ColumnText(int i) {
        const unsigned char* text = sqlite3_column_text(m_find.Get(), i);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<size_t>(sqlite3_column_bytes(m_find.Get(), i)))
                    : std::string();
    }

    static std::string Escaped(const std::string& name) {
        std::string out;
        for (char c : name) {
            out += c;
            if (c == '"')
                out += '"';
        }
        return out;
    }

    bool CountWhere(const std::string& table, const char* where, const std::string& text,
                    int64_t number, int64_t& count) {
        OrgStatement st;
        if (!st.Prepare(m_s.org.Db(), "SELECT count(*) FROM " + table + " WHERE " + where))
            return false;
        if (text.empty())
            st.BindInt(1, number);
        else
            st.BindText(1, text);
        if (st.Step() != SQLITE_ROW)
            return false;
        count = sqlite3_column_int64(st.Get(), 0);
        return true;
    }

    static void Bind(OrgStatement& st, int index, simdjson::dom::element value) {
        int64_t i = 0;
        double d = 0;
        bool b = false;
        std::string_view text;
        if (value.get_int64().get(i) == simdjson::SUCCESS)
            st.BindInt(index, i);
        else if (value.get_double().get(d) == simdjson::SUCCESS)
            st.BindReal(index, d);
        else if (value.get_bool().get(b) == simdjson::SUCCESS)
            st.BindInt(index, b ? 1 : 0);
        else if (value.get_string().get(text) == simdjson::SUCCESS)
            st.BindText(index, std::string(text));
        else
            st.BindNull(index);
    }

    HelperSession& m_s;
    OrgStatement m_find;
    OrgStatement m_remove;
    simdjson::dom::parser m_parser;
    bool m_bOk = false;
};

} // namespace

int RunUndelete(HelperSession& s) {
    std::vector<DeleteTarget> targets;
    if (const int code = ReadUndeleteTargets(s, targets); code != kExitOk)
        return code;
    if (!s.org.Exec("BEGIN IMMEDIATE")) {
        s.errors.Add("Database error: " + s.org.LastError() + "; nothing was restored.");
        return kExitOrg;
    }
    SubmitReport report(targets, SubmitReport::Action::Restore);
    Restorer restorer(s);
    bool failed = !restorer.Ok();
    const std::string what = std::string("Restoring ") + s.req.KindWord();
    for (size_t i = 0; i < targets.size() && !failed; ++i) {
        std::string code, message;
        switch (restorer.Restore(targets[i], code, message)) {
        case RestoreResult::Restored:
            report.Deleted(i);
            break;
        case RestoreResult::Refused:
            report.NotDeleted(i, code, message);
            s.errors.Add(message);
            break;
        case RestoreResult::Failed:
            failed = true;
            continue;
        }
        if (!s.Tick(what.c_str(), i + 1, targets.size())) {
            s.org.Exec("ROLLBACK");
            s.errors.Add("Stopped on request; nothing was restored.");
            SubmitReport(targets, SubmitReport::Action::Restore).Finish(s);
            return kExitStopped;
        }
    }
    if (!failed && s.org.Exec("COMMIT")) {
        DEBUG_LOG(LOG_NORMAL, "Restored %zu %s from the recycle bin.", report.DeletedCount(),
                  s.req.KindWord());
        report.Finish(s);
        return kExitOk;
    }
    const std::string dbError = s.org.LastError();
    s.org.Exec("ROLLBACK");
    s.errors.Add("Database error: " + dbError + "; nothing was restored.");
    SubmitReport(targets, SubmitReport::Action::Restore).Finish(s);
    return kExitOrg;
}
