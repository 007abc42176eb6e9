// Load through the CRM's REST API: the fields the user may read (describe), one
// query per object, followed page by page; every record goes to the data file as
// it arrives, so the helper never holds more than one page.
#include "CxDebugUtil.h"
#include "HelperDataFile.h"
#include "HelperSession.h"
#include "LoadFilter.h"
#include "LoadOutput.h"
#include "NoteIdMap.h"
#include "RecordMapping.h"
#include "SfJsonRow.h"
#include "SfRest.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <simdjson.h>
#include <vector>

namespace {

enum class PageResult { Done, Stopped, Failed };

template <class Rec> struct SfSource {
    const char* object; // "Contact"
    const char* plural; // "Contacts", for the progress line
    void (*map)(SfJsonRow&, Rec&);
    void (*listFields)(FieldListRow&, Rec&);
};

// The fields describe lists for an object; false with failure set.
bool DescribeFields(SfRest& rest, const char* object, std::set<std::string>& fields,
                    SfFailure& failure) {
    SfHttpResponse response;
    if (!rest.Get(SfRest::DataPath() + "/sobjects/" + object + "/describe", {}, response,
                  failure)) {
        failure.text = std::string("The ") + object + " records cannot be read: " + failure.text;
        return false;
    }
    simdjson::dom::parser parser;
    simdjson::dom::array list;
    simdjson::dom::element root;
    if (parser.parse(response.body).get(root) != simdjson::SUCCESS ||
        root["fields"].get_array().get(list) != simdjson::SUCCESS) {
        failure = {std::string("Salesforce sent an unreadable description of the ") + object +
                       " object.",
                   kExitServer};
        return false;
    }
    for (simdjson::dom::element field : list) {
        std::string_view name;
        if (field["name"].get_string().get(name) == simdjson::SUCCESS)
            fields.emplace(name);
    }
    return true;
}

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

class ObjectLoader {
public:
    ObjectLoader(HelperSession& s, DataFileWriter& file, NoteIdMapWriter* notes, int64_t& seq)
        : m_s(s), m_file(file), m_notes(notes), m_seq(seq) {}

    template <class Rec> PageResult Load(const SfSource<Rec>& src, SfFailure& failure) {
        SfRest& rest = *m_s.rest;
        FieldListRow wanted;
        Rec probe;
        src.listFields(wanted, probe);
        std::vector<std::string> fields = wanted.Fields();
        if (m_notes)
            for (const char* extra : {"Id", "Title", "LastModifiedDate"})
                if (std::find(fields.begin(), fields.end(), extra) == fields.end())
                    fields.emplace_back(extra);

        std::set<std::string> readable;
        if (!DescribeFields(rest, src.object, readable, failure))
            return failure.exitCode == kExitStopped ? PageResult::Stopped : PageResult::Failed;
        if (!readable.count("Id")) {
            failure = {std::string("This user may not read the Id of ") + src.plural + ".",
                       kExitServer};
            return PageResult::Failed;
        }
        std::vector<std::string> query;
        std::vector<std::string> hidden;
        for (const std::string& f : fields)
            (readable.count(f) ? query : hidden).push_back(f);
        if (!hidden.empty())
            DEBUG_LOG(LOG_NORMAL, "%s fields not readable here, left empty: %s", src.object,
                      Join(hidden).c_str());

        const std::string soql = "SELECT " + Join(query) + " FROM " + src.object;
        const std::string what = std::string("Loading ") + src.plural + " from salesforce";
        m_s.progress.Set(what);
        std::string next = SfRest::DataPath() + "/query?q=" + UrlEncode(soql);
        uint64_t done = 0;
        for (uint64_t page = 0;; ++page) {
            SfHttpResponse response;
            if (!rest.Get(next, {"Sforce-Query-Options: batchSize=2000"}, response, failure)) {
                if (failure.exitCode == kExitStopped)
                    return PageResult::Stopped;
                failure.text = std::string("Loading ") + src.plural + " failed: " + failure.text;
                return PageResult::Failed;
            }
            simdjson::dom::element root;
            simdjson::dom::array records;
            int64_t total = 0;
            bool finished = false;
            if (m_parser.parse(response.body).get(root) != simdjson::SUCCESS ||
                root["records"].get_array().get(records) != simdjson::SUCCESS ||
                root["totalSize"].get_int64().get(total) != simdjson::SUCCESS ||
                root["done"].get_bool().get(finished) != simdjson::SUCCESS) {
                failure = {std::string("Salesforce sent an unreadable page while loading ") +
                               src.plural + "; nothing was loaded.",
                           kExitServer};
                return PageResult::Failed;
            }
            for (simdjson::dom::element item : records) {
                simdjson::dom::object record;
                if (item.get_object().get(record) != simdjson::SUCCESS)
                    continue;
                m_row.Next(record, ++m_seq);
                Rec rec;
                src.map(m_row, rec);
                ++done;
                if (!KeepOnLoad(m_s.req, rec))
                    continue;
                if (!m_file.Write(rec)) {
                    failure = {"", kExitDataFile};
                    return PageResult::Failed;
                }
                if (m_notes && !m_notes->Add(rec.HelperData, m_row.Text("Id"),
                                             m_row.Text("LastModifiedDate"), m_row.Text("Title"))) {
                    failure = {"", kExitDataFile};
                    return PageResult::Failed;
                }
            }
            const uint64_t shownTotal = std::max<uint64_t>(done, total > 0 ? total : 0);
            m_s.progress.Set(what + ": " + WithThousands(done) + " of " +
                             WithThousands(shownTotal));
            if (finished)
                break;
            std::string_view nextUrl;
            if (root["nextRecordsUrl"].get_string().get(nextUrl) != simdjson::SUCCESS ||
                nextUrl.empty() || records.size() == 0 ||
                page > static_cast<uint64_t>(std::max<int64_t>(total, 0))) {
                failure = {std::string("Salesforce ended the list of ") + src.plural +
                               " without its last page; nothing was loaded.",
                           kExitServer};
                return PageResult::Failed;
            }
            next = std::string(nextUrl);
            if (m_s.state.StopRequested())
                return PageResult::Stopped;
        }
        DEBUG_LOG(LOG_NORMAL, "Loaded %llu %s.", static_cast<unsigned long long>(done), src.plural);
        return PageResult::Done;
    }

private:
    HelperSession& m_s;
    DataFileWriter& m_file;
    NoteIdMapWriter* m_notes;
    int64_t& m_seq;
    simdjson::dom::parser m_parser;
    SfJsonRow m_row;
};

template <class Rec>
PageResult LoadAll(ObjectLoader& loader, const std::vector<SfSource<Rec>>& sources,
                   SfFailure& failure) {
    for (const SfSource<Rec>& src : sources) {
        PageResult r = loader.Load(src, failure);
        if (r != PageResult::Done)
            return r;
    }
    return PageResult::Done;
}

PageResult LoadKind(HelperSession& s, ObjectLoader& loader, SfFailure& failure) {
    const HelperRequest& req = s.req;
    switch (req.kind) {
    case HelperKind::Addr: {
        std::vector<SfSource<SFAddrRec>> sources;
        if (req.sourceContact)
            sources.push_back({"Contact", "Contacts", MapContactRow, MapContactRow});
        if (req.sourceAccount)
            sources.push_back({"Account", "Accounts", MapAccountRow, MapAccountRow});
        if (req.sourceLead)
            sources.push_back({"Lead", "Leads", MapLeadRow, MapLeadRow});
        return LoadAll(loader, sources, failure);
    }
    case HelperKind::Date:
        return LoadAll<SFDateRec>(loader, {{"Event", "Events", MapEventRow, MapEventRow}}, failure);
    case HelperKind::Task:
        return LoadAll<SFTaskRec>(loader, {{"Task", "Tasks", MapTaskRow, MapTaskRow}}, failure);
    case HelperKind::Note:
        return LoadAll<SFNoteRec>(loader, {{"Note", "Notes", MapNoteRow, MapNoteRow}}, failure);
    }
    return PageResult::Failed;
}

} // namespace

int RunSalesforceLoad(HelperSession& s) {
    LoadOutput out(s.req);
    if (!out.Open(s))
        return kExitDataFile;
    int64_t seq = 0;
    ObjectLoader loader(s, out.File(), out.Notes(), seq);
    SfFailure failure;
    const PageResult result = LoadKind(s, loader, failure);
    if (result == PageResult::Stopped)
        return out.Stopped(s);
    if (result == PageResult::Failed && failure.exitCode != kExitDataFile) {
        s.errors.Add(failure.text);
        return failure.exitCode;
    }
    return result == PageResult::Done ? out.Commit(s) : out.NotWritten(s);
}
