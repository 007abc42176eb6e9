#include "HelperTargets.h"

#include "CxDebugUtil.h"
#include "CxFile.h"
#include "IsoDate.h"
#include "NoteIdMap.h"
#include "RecordMapping.h"

#include <cstdio>
#include <memory>
#include <set>

namespace {

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

std::string FullName(const SFAddrRec& rec) {
    if (rec.Name[0])
        return rec.Name;
    std::string name = rec.FirstName;
    if (rec.LastName[0]) {
        if (!name.empty())
            name += ' ';
        name += rec.LastName;
    }
    return name;
}

bool TargetOf(HelperSession& s, const SFAddrRec& rec, DeleteTarget& t) {
    t.table = AddrTable(rec.ObjectKind);
    t.id = rec.Id;
    t.name = FullName(rec);
    t.lastModified = rec.LastModificationTime;
    t.isPersonAccount = rec.IsPersonAccount;
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
    t.name = rec.Subject;
    t.lastModified = rec.LastModificationTime;
    return true;
}
bool TargetOf(HelperSession&, const SFTaskRec& rec, DeleteTarget& t) {
    t.table = "Task";
    t.id = rec.Id;
    t.name = rec.Subject;
    t.lastModified = rec.LastModificationTime;
    return true;
}
bool TargetOf(HelperSession&, const SFNoteRec&, DeleteTarget& t) {
    t.table = "Note";
    return true;
}

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
        t.seq = rec->HelperData;
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

} // namespace

std::string DeleteTarget::Describe() const {
    return id.empty() ? "Note " + std::to_string(seq) : "Record " + id;
}

bool ReadDeleteTargets(HelperSession& s, const std::string& path,
                       std::vector<DeleteTarget>& targets, std::string& why) {
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

bool ResolveNoteIds(HelperSession& s, std::vector<DeleteTarget>& targets, std::string& why) {
    std::map<int64_t, NoteIdEntry> notes;
    const std::string path = s.req.InFolder(kNoteIdMapName);
    if (!ReadNoteIdMap(path, notes)) {
        why = "The note list \"" + path +
              "\" of the last load is missing or damaged; load the notes again. Nothing was "
              "deleted.";
        return false;
    }
    for (DeleteTarget& t : targets) {
        auto it = notes.find(t.seq);
        if (it == notes.end())
            continue;
        t.id = it->second.id;
        t.name = it->second.title;
        IsoToAutomationDate(it->second.lastModified.c_str(), &t.lastModified);
    }
    return true;
}

int ReadSubmitTargets(HelperSession& s, std::vector<DeleteTarget>& targets) {
    const std::string dataPath = s.req.InFolder(s.req.dataFileName);
    std::string why;
    s.progress.Set("Reading " + s.req.dataFileName);
    if (!ReadDeleteTargets(s, dataPath, targets, why)) {
        s.errors.Add("The data file \"" + dataPath + "\" " + why + "; nothing was deleted.");
        return kExitDataFile;
    }
    // Notes are named by the note list of their load, never guessed from a number.
    if (s.req.kind == HelperKind::Note && !targets.empty() && !ResolveNoteIds(s, targets, why)) {
        s.errors.Add(why);
        return kExitDataFile;
    }
    DEBUG_LOG(LOG_NORMAL, "%zu %s marked for deletion in %s.", targets.size(), s.req.KindWord(),
              dataPath.c_str());
    return kExitOk;
}

int BackupFailed(HelperSession& s, size_t marked, const std::string& why) {
    s.errors.SetSubmitSummary(marked, 0, "");
    s.errors.Add("The backup of the records to delete could not be written: " + why +
                 "; nothing was deleted.");
    return kExitBackup;
}

bool ParseCsv(const std::string& text, std::vector<std::vector<std::string>>& rows) {
    std::vector<std::string> row;
    std::string field;
    bool quoted = false, any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else
                quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = any = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            if (any || !field.empty() || !row.empty()) {
                row.push_back(std::move(field));
                rows.push_back(std::move(row));
            }
            row.clear();
            field.clear();
            any = false;
        } else {
            field += c;
        }
    }
    if (quoted)
        return false;
    if (any || !field.empty() || !row.empty()) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return true;
}

int ReadUndeleteTargets(HelperSession& s, std::vector<DeleteTarget>& targets) {
    const std::string path = s.req.InFolder(s.req.undoResultsName);
    s.progress.Set("Reading " + s.req.undoResultsName);
    std::string text;
    FILE* file = std::fopen(path.c_str(), "rbe");
    if (file) {
        char chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof(chunk), file)) > 0;)
            text.append(chunk, n);
        const bool failed = std::ferror(file) != 0;
        std::fclose(file);
        if (failed)
            file = nullptr;
    }
    std::vector<std::vector<std::string>> rows;
    const char* why = nullptr;
    if (!file)
        why = "cannot be read";
    else if (!ParseCsv(text, rows) || rows.empty() ||
             rows[0] != std::vector<std::string>{"Id", "Name", "Outcome", "StatusCode", "Message"})
        why = "is not the results file of a deletion";
    if (why) {
        s.errors.Add("The results file \"" + path + "\" " + why + "; nothing was restored.");
        return kExitDataFile;
    }
    std::set<std::string> seen;
    for (size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string>& row = rows[i];
        if (row.size() < 3 || row[2] != "deleted" || row[0].empty() || !seen.insert(row[0]).second)
            continue;
        DeleteTarget t;
        t.id = row[0];
        t.name = row[1];
        targets.push_back(std::move(t));
    }
    DEBUG_LOG(LOG_NORMAL, "%zu %s to restore, as %s lists them.", targets.size(), s.req.KindWord(),
              path.c_str());
    return kExitOk;
}
