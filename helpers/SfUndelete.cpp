// Undelete through the CRM's SOAP API: the records a submit deleted come back
// from the org's recycle bin, 200 ids a call, with a result per record. A record
// the recycle bin no longer holds (emptied, or purged) fails with the server's
// status code and message.
#include "CxDebugUtil.h"
#include "HelperSession.h"
#include "HelperTargets.h"
#include "SfRest.h"
#include "SfSoap.h"
#include "SubmitReport.h"

#include <string>
#include <vector>

namespace {

constexpr size_t kIdsPerCall = 200;

bool IsRecordId(const std::string& id) {
    if (id.size() != 15 && id.size() != 18)
        return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    return true;
}

// One call for the targets at indices; false when the call failed as a whole
// (failure set; the records of the call are reported with it).
bool UndeleteChunk(HelperSession& s, const std::vector<DeleteTarget>& targets,
                   const std::vector<size_t>& chunk, SubmitReport& report, SfFailure& failure) {
    std::vector<std::string> ids;
    for (size_t i : chunk)
        ids.push_back(targets[i].id);
    SfHttpResponse response;
    bool resent = false;
    auto envelope = [&ids](const std::string& session) {
        return SoapUndeleteEnvelope(session, ids);
    };
    if (!s.rest->Soap("undelete", envelope, response, failure, &resent)) {
        for (size_t i : chunk) {
            if (resent)
                report.Unknown(i, "no answer from salesforce: " + failure.text);
            else
                report.NotDeleted(i, "", failure.text);
        }
        return false;
    }
    std::vector<SoapUndeleteResult> results;
    if (!ParseSoapUndeleteAnswer(response.body, results) || results.size() != chunk.size()) {
        for (size_t i : chunk)
            report.Unknown(i, "salesforce's answer to the undelete was unreadable");
        failure = {"Salesforce answered the undelete of " + std::to_string(chunk.size()) +
                       " records with an unreadable list of results; whether they were "
                       "restored is not known (see the results file).",
                   kExitServer};
        return false;
    }
    // Results come in the order of the ids: a failed one may carry no id.
    for (size_t k = 0; k < chunk.size(); ++k) {
        const size_t i = chunk[k];
        const SoapUndeleteResult& r = results[k];
        if (r.success) {
            report.Deleted(i);
        } else if (resent) {
            // The first try may have restored it before its answer was lost.
            report.Unknown(i, r.statusCode + ": " + r.message);
            s.errors.Add(targets[i].id + ": " + r.statusCode + ": " + r.message +
                         " (the first try's answer was lost; it may have been restored)");
        } else {
            report.NotDeleted(i, r.statusCode, r.message);
            s.errors.Add(targets[i].id + ": " + r.statusCode + ": " + r.message);
        }
    }
    return true;
}

} // namespace

int RunSalesforceUndelete(HelperSession& s) {
    std::vector<DeleteTarget> targets;
    if (const int code = ReadUndeleteTargets(s, targets); code != kExitOk)
        return code;
    SubmitReport report(targets, SubmitReport::Action::Restore);
    std::vector<size_t> valid;
    for (size_t i = 0; i < targets.size(); ++i) {
        if (IsRecordId(targets[i].id)) {
            valid.push_back(i);
            continue;
        }
        const std::string text =
            "Record " + targets[i].id + " has no valid salesforce id and was not restored.";
        report.NotDeleted(i, "MALFORMED_ID", text);
        s.errors.Add(text);
    }
    SfFailure failure;
    bool ok = true;
    size_t done = 0;
    for (size_t at = 0; at < valid.size() && ok; at += kIdsPerCall) {
        if (s.state.StopRequested()) {
            failure = {"Stopped on request; " + std::to_string(report.DeletedCount()) +
                           " records were restored before the stop.",
                       kExitStopped};
            ok = false;
            break;
        }
        const std::vector<size_t> chunk(
            valid.begin() + static_cast<std::ptrdiff_t>(at),
            valid.begin() + static_cast<std::ptrdiff_t>(std::min(valid.size(), at + kIdsPerCall)));
        ok = UndeleteChunk(s, targets, chunk, report, failure);
        done += chunk.size();
        s.progress.Set("Restoring " + std::string(s.req.KindWord()) + " in salesforce: " +
                       WithThousands(done) + " of " + WithThousands(valid.size()));
    }
    if (!ok) {
        if (failure.exitCode == kExitStopped)
            s.errors.Add(failure.text);
        else
            s.errors.Add(failure.text + " " + std::to_string(report.DeletedCount()) +
                         " records were restored before that.");
    }
    report.Finish(s);
    return ok ? kExitOk : failure.exitCode;
}
