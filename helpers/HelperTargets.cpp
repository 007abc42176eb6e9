#include "HelperTargets.h"

#include "CxDebugUtil.h"
#include "CxFile.h"
#include "IsoDate.h"
#include "NoteIdMap.h"
#include "RecordMapping.h"

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
