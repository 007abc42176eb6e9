// Load: every record of the kind into the data file, written under a
// temporary name and renamed into place only when it is complete.
#include "CxDebugUtil.h"
#include "CxFile.h"
#include "HelperSession.h"
#include "RecordMapping.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

enum class StreamResult { Done, Stopped, Failed };

template <class Rec> struct Source {
    const char* table;
    const char* progressWhat; // "Loading contacts"
    void (*map)(OrgRow&, Rec&);
};

bool EventInRange(const HelperRequest& req, const SFDateRec& rec) {
    if (req.rangeStart <= 0 && req.rangeEnd <= 0)
        return true;
    if (rec.StartTime < 0.001)
        return false; // no start: not in any range
    if (req.rangeStart > 0 && rec.StartTime < req.rangeStart)
        return false;
    // The end day counts whole.
    if (req.rangeEnd > 0 && rec.StartTime >= static_cast<double>(req.rangeEnd) + 1.0)
        return false;
    return true;
}

bool Keep(const HelperRequest& req, const SFDateRec& rec) {
    return EventInRange(req, rec);
}
template <class Rec> bool Keep(const HelperRequest&, const Rec&) {
    return true;
}

template <class Rec>
StreamResult StreamTable(HelperSession& s, CxFile& file, const Source<Rec>& src, uint32_t& written,
                         std::string& why) {
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
        if (Keep(s.req, rec)) {
            if (!WriteSFRecord(file, rec)) {
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
StreamResult StreamAll(HelperSession& s, CxFile& file, const std::vector<Source<Rec>>& sources,
                       uint32_t& written, std::string& why) {
    for (const Source<Rec>& src : sources) {
        StreamResult r = StreamTable(s, file, src, written, why);
        if (r != StreamResult::Done)
            return r;
    }
    return StreamResult::Done;
}

StreamResult StreamKind(HelperSession& s, CxFile& file, uint32_t& written, std::string& why) {
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

// Removes the temporary file unless it was renamed into place.
class TempFile {
public:
    explicit TempFile(const std::string& finalPath) {
        std::string pattern = finalPath + ".XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        int fd = mkostemp(name.data(), O_CLOEXEC); // mode 0600: the records are private
        if (fd >= 0) {
            close(fd);
            m_path = name.data();
        }
    }
    ~TempFile() {
        if (!m_path.empty())
            unlink(m_path.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return m_path; }
    bool RenameTo(const std::string& finalPath) {
        if (m_path.empty() || std::rename(m_path.c_str(), finalPath.c_str()) != 0)
            return false;
        m_path.clear();
        return true;
    }

private:
    std::string m_path;
};

} // namespace

int RunLoad(HelperSession& s) {
    const std::string dataPath = s.req.InFolder(s.req.dataFileName);
    const std::string fileError = "The data file \"" + dataPath + "\" cannot be written";
    TempFile tmp(dataPath);
    CxFile file;
    if (tmp.Path().empty() || !file.Open(tmp.Path().c_str(), "wbe")) {
        s.errors.Add(fileError + ": " + std::strerror(errno) + ".");
        return kExitDataFile;
    }

    // One read transaction: counts and rows come from the same state of the org.
    if (!s.org.Exec("BEGIN")) {
        s.errors.Add("Database error: " + s.org.LastError());
        return kExitOrg;
    }
    uint32_t written = 0;
    std::string why;
    bool ok = WriteRecordCount(file, 0);
    StreamResult result = ok ? StreamKind(s, file, written, why) : StreamResult::Failed;
    s.org.Exec("COMMIT");

    if (result == StreamResult::Stopped) {
        DEBUG_LOG(LOG_NORMAL, "Stopped on request after %u records.", written);
        s.errors.Add("Stopped on request.");
        return kExitStopped;
    }
    if (result == StreamResult::Failed && why.rfind("Database error", 0) == 0) {
        s.errors.Add(why);
        return kExitOrg;
    }
    file.Close();
    ok = result == StreamResult::Done && !file.HasFailed();
    // The count goes in last, over the placeholder at the start.
    if (ok)
        ok = file.Open(tmp.Path().c_str(), "r+be") && WriteRecordCount(file, written);
    file.Close();
    ok = ok && !file.HasFailed() && tmp.RenameTo(dataPath);
    if (!ok) {
        s.errors.Add(fileError + ".");
        return kExitDataFile;
    }
    DEBUG_LOG(LOG_NORMAL, "Wrote %u %s to %s.", written, s.req.KindWord(), dataPath.c_str());
    s.progress.Set("Loaded " + std::to_string(written) + " " + s.req.KindWord() + ".");
    return kExitOk;
}
