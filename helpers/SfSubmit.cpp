// Submit through the CRM's REST API. Deleting never takes more than the user
// ticked: a record changed since the load, a person account's contact and an
// account that still has contacts, opportunities or cases are left alone. The
// rest goes in requests of 200 ids with a result per record.
#include "CxDebugUtil.h"
#include "DeleteBackup.h"
#include "HelperSession.h"
#include "HelperTargets.h"
#include "IsoDate.h"
#include "NoteIdMap.h"
#include "RecordMapping.h"
#include "SfJsonRow.h"
#include "SfRest.h"
#include "SubmitReport.h"

#include <cmath>
#include <map>
#include <simdjson.h>
#include <vector>

namespace {

constexpr size_t kIdsPerRequest = 200;
constexpr int kLockRetries = 3;
// A backup query names at most this many ids and this many characters of
// fields, so that its address stays well below the server's limit.
constexpr size_t kBackupIdsPerQuery = 100;
constexpr size_t kBackupFieldChars = 4000;

// A JSON value as the backup keeps it: texts as they are, null empty, anything
// else (numbers, flags, compound fields) as its JSON text.
std::string ValueText(simdjson::dom::element value) {
    std::string_view text;
    if (value.get_string().get(text) == simdjson::SUCCESS)
        return std::string(text);
    if (value.is_null())
        return std::string();
    return simdjson::to_string(value);
}

// Ids go into queries and URLs as they are: only 15 or 18 letters and digits.
bool IsRecordId(const std::string& id) {
    if (id.size() != 15 && id.size() != 18)
        return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    return true;
}

std::string QuotedIdList(const std::vector<DeleteTarget>& targets,
                         const std::vector<size_t>& chunk) {
    std::string list;
    for (size_t i : chunk)
        list += (list.empty() ? "'" : ",'") + targets[i].id + "'";
    return list;
}

std::vector<std::vector<size_t>> Chunks(const std::vector<size_t>& all) {
    std::vector<std::vector<size_t>> chunks;
    for (size_t i = 0; i < all.size(); i += kIdsPerRequest)
        chunks.emplace_back(
            all.begin() + static_cast<std::ptrdiff_t>(i),
            all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), i + kIdsPerRequest)));
    return chunks;
}

class SfDeleter {
public:
    SfDeleter(HelperSession& s, std::vector<DeleteTarget>& targets, SubmitReport& report)
        : m_s(s), m_rest(*s.rest), m_targets(targets), m_report(report) {}

    // Every query page of a SOQL text, record by record; false with failure set.
    template <class Fn> bool Query(const std::string& soql, SfFailure& failure, Fn&& onRecord) {
        std::string next = SfRest::DataPath() + "/query?q=" + UrlEncode(soql);
        for (int page = 0; page < 1000; ++page) {
            SfHttpResponse response;
            if (!m_rest.Get(next, {"Sforce-Query-Options: batchSize=2000"}, response, failure))
                return false;
            simdjson::dom::element root;
            simdjson::dom::array records;
            bool done = false;
            if (m_parser.parse(response.body).get(root) != simdjson::SUCCESS ||
                root["records"].get_array().get(records) != simdjson::SUCCESS ||
                root["done"].get_bool().get(done) != simdjson::SUCCESS) {
                failure = {"Salesforce sent an unreadable answer to a query.", kExitServer};
                return false;
            }
            for (simdjson::dom::element r : records)
                onRecord(r);
            if (done)
                return true;
            std::string_view url;
            if (root["nextRecordsUrl"].get_string().get(url) != simdjson::SUCCESS) {
                failure = {"Salesforce ended a query without its last page.", kExitServer};
                return false;
            }
            next = std::string(url);
        }
        failure = {"Salesforce kept a query going without end.", kExitServer};
        return false;
    }

    // Leaves out what must not be deleted; returns the indices still to delete.
    bool CheckCurrentState(const std::vector<size_t>& candidates, std::vector<size_t>& eligible,
                           SfFailure& failure) {
        std::map<std::string, std::vector<size_t>> byTable;
        for (size_t i : candidates)
            byTable[m_targets[i].table].push_back(i);
        for (const auto& [table, indices] : byTable) {
            for (const std::vector<size_t>& chunk : Chunks(indices)) {
                std::map<std::string, std::string> modified;
                const std::string soql = "SELECT Id, LastModifiedDate FROM " + table +
                                         " WHERE Id IN (" + QuotedIdList(m_targets, chunk) + ")";
                if (!Query(soql, failure, [&](simdjson::dom::element r) {
                        const std::string_view id = JsonText(r, "Id");
                        if (!id.empty())
                            modified[std::string(id)] =
                                std::string(JsonText(r, "LastModifiedDate"));
                    }))
                    return false;
                for (size_t i : chunk)
                    if (Unchanged(i, modified))
                        eligible.push_back(i);
            }
        }
        return true;
    }

    // Accounts that still have related records stay; returns the others.
    bool CheckAccounts(const std::vector<size_t>& accounts, std::vector<size_t>& eligible,
                       SfFailure& failure) {
        for (const std::vector<size_t>& chunk : Chunks(accounts)) {
            std::map<std::string, long long> counts[3];
            const char* related[3] = {"Contact", "Opportunity", "Case"};
            bool counted = true;
            std::string why;
            for (int k = 0; k < 3 && counted; ++k) {
                const std::string soql = std::string("SELECT AccountId, COUNT(Id) FROM ") +
                                         related[k] + " WHERE AccountId IN (" +
                                         QuotedIdList(m_targets, chunk) + ") GROUP BY AccountId";
                SfFailure f;
                counted = Query(soql, f, [&](simdjson::dom::element r) {
                    std::string_view id;
                    int64_t n = 0;
                    if (r["AccountId"].get_string().get(id) == simdjson::SUCCESS &&
                        r["expr0"].get_int64().get(n) == simdjson::SUCCESS)
                        counts[k][std::string(id)] = n;
                });
                if (!counted) {
                    if (f.exitCode == kExitStopped || f.exitCode == kExitLogin) {
                        failure = f;
                        return false;
                    }
                    why = f.text;
                }
            }
            for (size_t i : chunk) {
                const DeleteTarget& t = m_targets[i];
                if (!counted) {
                    Refuse(i, "NOT_CHECKED",
                           "Account " + t.id +
                               " was not deleted: its contacts, opportunities and cases could "
                               "not be counted: " +
                               why);
                    continue;
                }
                long long contacts = counts[0][t.id];
                // A person account's own contact goes with it: it is the same person.
                if (t.isPersonAccount && contacts > 0)
                    --contacts;
                const long long opportunities = counts[1][t.id];
                const long long cases = counts[2][t.id];
                if (contacts > 0 || opportunities > 0 || cases > 0) {
                    Refuse(i, "HAS_RELATED_RECORDS",
                           "Account " + t.id +
                               " was not deleted: deleting it would also delete its " +
                               std::to_string(contacts) + " contacts, " +
                               std::to_string(opportunities) + " opportunities and " +
                               std::to_string(cases) + " cases.");
                    continue;
                }
                eligible.push_back(i);
            }
        }
        return true;
    }

    // Deletes the records in requests of 200; false when a request failed as a
    // whole or a stop was asked for (the records of later requests stay).
    bool DeleteAll(const std::vector<size_t>& indices, SfFailure& failure) {
        for (const std::vector<size_t>& chunk : Chunks(indices)) {
            if (m_s.state.StopRequested()) {
                failure = {"Stopped on request; " + std::to_string(m_report.DeletedCount()) +
                               " records were deleted before the stop.",
                           kExitStopped};
                return false;
            }
            if (!DeleteChunk(chunk, failure))
                return false;
            m_done += chunk.size();
            m_s.progress.Set("Deleting " + std::string(m_s.req.KindWord()) + " in salesforce: " +
                             WithThousands(m_done) + " of " + WithThousands(m_total));
        }
        return true;
    }

    void SetTotal(size_t total) { m_total = total; }

    // Every field the user may read of the records about to be deleted, read
    // from salesforce into backup; false with failure set.
    bool FetchForBackup(const std::vector<size_t>& indices, DeleteBackup& backup,
                        SfFailure& failure) {
        std::map<std::string, std::vector<size_t>> byTable;
        for (size_t i : indices)
            byTable[m_targets[i].table].push_back(i);
        std::map<std::string, std::vector<DeleteBackup::Field>> rows;
        for (const auto& [table, list] : byTable) {
            std::vector<std::string> fields;
            if (!DescribeInOrder(table, fields, failure))
                return false;
            // Groups of fields, each query repeating Id.
            std::vector<std::string> groups;
            for (const std::string& f : fields) {
                if (f == "Id")
                    continue;
                if (groups.empty() || groups.back().size() + f.size() > kBackupFieldChars)
                    groups.emplace_back("Id");
                groups.back() += ", " + f;
            }
            if (groups.empty())
                groups.emplace_back("Id");
            for (size_t at = 0; at < list.size(); at += kBackupIdsPerQuery) {
                const std::vector<size_t> chunk(
                    list.begin() + static_cast<std::ptrdiff_t>(at),
                    list.begin() + static_cast<std::ptrdiff_t>(
                                       std::min(list.size(), at + kBackupIdsPerQuery)));
                for (size_t g = 0; g < groups.size(); ++g) {
                    const std::string soql = "SELECT " + groups[g] + " FROM " + table +
                                             " WHERE Id IN (" + QuotedIdList(m_targets, chunk) +
                                             ")";
                    if (!Query(soql, failure, [&](simdjson::dom::element r) {
                            const std::string id(JsonText(r, "Id"));
                            simdjson::dom::object record;
                            if (id.empty() || r.get_object().get(record) != simdjson::SUCCESS)
                                return;
                            std::vector<DeleteBackup::Field>& row = rows[id];
                            for (auto [key, value] : record)
                                if (key != "attributes" && (g == 0 || key != "Id"))
                                    row.emplace_back(std::string(key), ValueText(value));
                        }))
                        return false;
                }
            }
        }
        for (size_t i : indices) {
            auto it = rows.find(m_targets[i].id);
            if (it != rows.end())
                backup.Add(m_targets[i].table, std::move(it->second));
        }
        return true;
    }

private:
    // The names of the fields describe lists for an object, in its order.
    bool DescribeInOrder(const std::string& object, std::vector<std::string>& fields,
                         SfFailure& failure) {
        SfHttpResponse response;
        if (!m_rest.Get(SfRest::DataPath() + "/sobjects/" + object + "/describe", {}, response,
                        failure))
            return false;
        simdjson::dom::element root;
        simdjson::dom::array list;
        if (m_parser.parse(response.body).get(root) != simdjson::SUCCESS ||
            root["fields"].get_array().get(list) != simdjson::SUCCESS) {
            failure = {"Salesforce sent an unreadable description of the " + object + " object.",
                       kExitServer};
            return false;
        }
        for (simdjson::dom::element field : list) {
            const std::string_view name = JsonText(field, "name");
            if (!name.empty() && IsFieldName(name))
                fields.emplace_back(name);
        }
        return true;
    }

    // Field names go into queries as they are: letters, digits and '_' only.
    static bool IsFieldName(std::string_view name) {
        for (char c : name)
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                  c == '_'))
                return false;
        return true;
    }

    void Refuse(size_t i, const std::string& code, const std::string& text) {
        m_report.NotDeleted(i, code, text);
        m_s.errors.Add(text);
    }

    bool Unchanged(size_t i, const std::map<std::string, std::string>& modified) {
        const DeleteTarget& t = m_targets[i];
        auto it = modified.find(t.id);
        if (it == modified.end()) {
            Refuse(i, "NOT_FOUND",
                   "Record " + t.id +
                       " is no longer in salesforce (or no longer visible to you) and was not "
                       "deleted.");
            return false;
        }
        double now = 0;
        IsoToAutomationDate(it->second.c_str(), &now);
        if (std::fabs(now - t.lastModified) > 0.5 / 86400.0) {
            Refuse(i, "CHANGED",
                   "Record " + t.id +
                       " was changed in salesforce after it was loaded and was not deleted.");
            return false;
        }
        return true;
    }

    bool DeleteChunk(std::vector<size_t> pending, SfFailure& failure) {
        for (int round = 0; !pending.empty(); ++round) {
            std::string ids;
            for (size_t i : pending)
                ids += (ids.empty() ? "" : ",") + m_targets[i].id;
            SfHttpResponse response;
            bool resent = false;
            if (!m_rest.Delete(SfRest::DataPath() + "/composite/sobjects?ids=" + ids +
                                   "&allOrNone=false",
                               response, failure, &resent)) {
                for (size_t i : pending) {
                    if (resent)
                        m_report.Unknown(i, "no answer from salesforce: " + failure.text);
                    else
                        m_report.NotDeleted(i, "", failure.text);
                }
                return false;
            }
            simdjson::dom::element root;
            simdjson::dom::array results;
            if (m_parser.parse(response.body).get(root) != simdjson::SUCCESS ||
                root.get_array().get(results) != simdjson::SUCCESS ||
                results.size() != pending.size()) {
                for (size_t i : pending)
                    m_report.Unknown(i, "salesforce's answer to the deletion was unreadable");
                failure = {"Salesforce answered a deletion of " + std::to_string(pending.size()) +
                               " records with an unreadable list of results; whether they "
                               "were deleted is not known (see the results file).",
                           kExitServer};
                return false;
            }
            std::vector<size_t> locked;
            size_t k = 0;
            // Results come in the order of the ids: matched by position, as a
            // failed entry may carry no id.
            for (simdjson::dom::element r : results) {
                const size_t i = pending[k++];
                if (JsonBool(r, "success")) {
                    m_report.Deleted(i);
                    continue;
                }
                std::string_view code, message;
                simdjson::dom::array errors;
                if (r["errors"].get_array().get(errors) == simdjson::SUCCESS && errors.size() > 0) {
                    code = JsonText(errors.at(0).value_unsafe(), "statusCode");
                    message = JsonText(errors.at(0).value_unsafe(), "message");
                }
                if (code == "UNABLE_TO_LOCK_ROW" && round < kLockRetries) {
                    locked.push_back(i);
                    continue;
                }
                if (code == "ENTITY_IS_DELETED" && resent) {
                    // The first try went through; its answer was lost.
                    m_report.Deleted(i);
                    continue;
                }
                const std::string text =
                    m_targets[i].id + ": " + std::string(code) + ": " + std::string(message);
                m_report.NotDeleted(i, std::string(code), std::string(message));
                m_s.errors.Add(text);
            }
            pending.swap(locked);
            if (!pending.empty() && !m_rest.WaitBeforeRetry(round + 1)) {
                for (size_t i : pending)
                    m_report.NotDeleted(i, "UNABLE_TO_LOCK_ROW", "stopped before another try");
                failure = {"Stopped on request; " + std::to_string(m_report.DeletedCount()) +
                               " records were deleted before the stop.",
                           kExitStopped};
                return false;
            }
        }
        return true;
    }

    HelperSession& m_s;
    SfRest& m_rest;
    std::vector<DeleteTarget>& m_targets;
    SubmitReport& m_report;
    simdjson::dom::parser m_parser;
    size_t m_done = 0;
    size_t m_total = 0;
};

} // namespace

int RunSalesforceSubmit(HelperSession& s) {
    std::vector<DeleteTarget> targets;
    if (const int code = ReadSubmitTargets(s, targets); code != kExitOk)
        return code;

    SubmitReport report(targets);
    SfDeleter deleter(s, targets, report);
    std::vector<size_t> candidates;
    for (size_t i = 0; i < targets.size(); ++i) {
        const DeleteTarget& t = targets[i];
        std::string text;
        if (!IsRecordId(t.id))
            text = t.Describe() + " has no valid salesforce id and was not deleted.";
        else if (std::string(t.table) == "Contact" && t.isPersonAccount)
            text = "Contact " + t.id +
                   " belongs to a person account and was not deleted; delete the person "
                   "account instead.";
        if (text.empty()) {
            candidates.push_back(i);
        } else {
            report.NotDeleted(i, "NOT_DELETABLE", text);
            s.errors.Add(text);
        }
    }

    s.progress.Set("Checking " + WithThousands(candidates.size()) + " " + s.req.KindWord() +
                   " in salesforce");
    SfFailure failure;
    std::vector<size_t> current;
    bool ok = deleter.CheckCurrentState(candidates, current, failure);
    // Accounts go last: deleting the contacts the user ticked may free them.
    std::vector<size_t> first, accounts;
    for (size_t i : current)
        (std::string(targets[i].table) == "Account" ? accounts : first).push_back(i);
    deleter.SetTotal(current.size());
    // Nothing is deleted before every record that may go is backed up on disk
    // (an account that turns out to keep its contacts is in the backup too).
    if (ok && !current.empty()) {
        DeleteBackup backup;
        s.progress.Set("Saving a backup of " + WithThousands(current.size()) + " " +
                       s.req.KindWord());
        std::string backupPath, why;
        if (!deleter.FetchForBackup(current, backup, failure)) {
            if (failure.exitCode == kExitStopped) {
                s.errors.SetSubmitSummary(targets.size(), 0, "");
                s.errors.Add("Stopped on request; nothing was deleted.");
                return kExitStopped;
            }
            BackupFailed(s, targets.size(),
                         "the records could not be read from salesforce: " + failure.text);
            return failure.exitCode;
        }
        if (!backup.Write(s.req.dataFolder, s.req.KindLabel(), backupPath, why))
            return BackupFailed(s, targets.size(), why);
        s.errors.SetBackupPath(backupPath);
    }
    ok = ok && deleter.DeleteAll(first, failure);
    std::vector<size_t> freeAccounts;
    ok = ok && deleter.CheckAccounts(accounts, freeAccounts, failure);
    ok = ok && deleter.DeleteAll(freeAccounts, failure);

    if (!ok) {
        if (failure.exitCode == kExitStopped)
            s.errors.Add(failure.text);
        else
            s.errors.Add(failure.text + " " + std::to_string(report.DeletedCount()) +
                         " records were deleted before that.");
    }
    report.Finish(s);
    return ok ? kExitOk : failure.exitCode;
}
