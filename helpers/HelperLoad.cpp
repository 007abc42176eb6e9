// Load: every record of the kind into the data file, written under a
// temporary name and renamed into place only when it is complete.
#include "CxDebugUtil.h"
#include "CxFile.h"
#include "HelperDataFile.h"
#include "HelperSession.h"
#include "LoadFilter.h"
#include "LoadOutput.h"
#include "NoteIdMap.h"
#include "RecordMapping.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <thread>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace {

enum class StreamResult { Done, Stopped, Failed };

template <class Rec> struct Source {
    const char* table;
    const char* progressWhat; // "Loading contacts"
    void (*map)(OrgRow&, Rec&);
};

template <class Rec>
StreamResult StreamTable(HelperSession& s, DataFileWriter& file, const Source<Rec>& src,
                         uint32_t& written, std::string& why) {
    int64_t total = s.org.CountRows(src.table);
    if (total < 0) {
        why = "Database error: " + s.org.LastError();
        return StreamResult::Failed;
    }
    s.ShowProgress(src.progressWhat, 0, static_cast<uint64_t>(total));
    OrgStatement st;
    if (!st.Prepare(s.org.Db(), std::string("SELECT * FROM \"") + src.table + "\" ORDER BY Seq")) {
        why = "Database error: " + s.org.LastError();
        return StreamResult::Failed;
    }
    OrgRow row(st.Get());
    uint64_t done = 0;
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) {
        Rec rec;
        row.Next();
        src.map(row, rec);
        if (KeepOnLoad(s.req, rec)) {
            // A note is known by its number in this load; the note list names it.
            if constexpr (std::is_same_v<Rec, SFNoteRec>) {
                rec.HelperData = static_cast<int32_t>(written + 1);
                if (!s.noteIds ||
                    !s.noteIds->Add(rec.HelperData, row.Text("Id"), row.Text("LastModifiedDate"),
                                    row.Text("Title"))) {
                    why = "cannot be written";
                    return StreamResult::Failed;
                }
            }
            if (!file.Write(rec)) {
                why = "cannot be written";
                return StreamResult::Failed;
            }
            ++written;
        }
        ++done;
        if (s.recordDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(s.recordDelayMs));
        if (!s.Tick(src.progressWhat, done, static_cast<uint64_t>(total)))
            return StreamResult::Stopped;
    }
    if (rc != SQLITE_DONE) {
        why = "Database error: " + s.org.LastError();
        return StreamResult::Failed;
    }
    s.ShowProgress(src.progressWhat, done, done);
    return StreamResult::Done;
}

template <class Rec>
StreamResult StreamAll(HelperSession& s, DataFileWriter& file,
                       const std::vector<Source<Rec>>& sources, uint32_t& written,
                       std::string& why) {
    for (const Source<Rec>& src : sources) {
        StreamResult r = StreamTable(s, file, src, written, why);
        if (r != StreamResult::Done)
            return r;
    }
    return StreamResult::Done;
}

StreamResult StreamKind(HelperSession& s, DataFileWriter& file, uint32_t& written,
                        std::string& why) {
    const HelperRequest& req = s.req;
    switch (req.kind) {
    case HelperKind::Addr: {
        std::vector<Source<SFAddrRec>> sources;
        if (req.sourceContact)
            sources.push_back({"Contact", "Loading contacts", MapContactRow});
        if (req.sourceAccount)
            sources.push_back({"Account", "Loading accounts", MapAccountRow});
        if (req.sourceLead)
            sources.push_back({"Lead", "Loading leads", MapLeadRow});
        return StreamAll(s, file, sources, written, why);
    }
    case HelperKind::Date:
        return StreamAll<SFDateRec>(s, file, {{"Event", "Loading events", MapEventRow}}, written,
                                    why);
    case HelperKind::Task:
        return StreamAll<SFTaskRec>(s, file, {{"Task", "Loading tasks", MapTaskRow}}, written, why);
    case HelperKind::Note:
        return StreamAll<SFNoteRec>(s, file, {{"Note", "Loading notes", MapNoteRow}}, written, why);
    }
    return StreamResult::Failed;
}

} // namespace

int RunLoad(HelperSession& s) {
    LoadOutput out(s.req);
    if (!out.Open(s))
        return kExitDataFile;
    s.noteIds = out.Notes();

    // One read transaction: counts and rows come from the same state of the org.
    if (!s.org.Exec("BEGIN")) {
        s.errors.Add("Database error: " + s.org.LastError());
        return kExitOrg;
    }
    uint32_t written = 0;
    std::string why;
    StreamResult result = StreamKind(s, out.File(), written, why);
    s.org.Exec("COMMIT");
    s.noteIds = nullptr;

    if (result == StreamResult::Stopped)
        return out.Stopped(s);
    if (result == StreamResult::Failed && why.rfind("Database error", 0) == 0) {
        s.errors.Add(why);
        return kExitOrg;
    }
    return result == StreamResult::Done ? out.Commit(s) : out.NotWritten(s);
}
