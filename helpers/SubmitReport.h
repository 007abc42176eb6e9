// What a submit did with every record it was asked to delete, or an undelete
// with every record it was asked to restore: a results file (CSV, mode 0600, in
// the data folder) with one line per record, and the counts the system reads
// from the error file's section "Submit" (or "Undelete").
#pragma once

#include "HelperTargets.h"

#include <cstddef>
#include <string>
#include <vector>

class SubmitReport {
public:
    enum class Outcome { Deleted, NotDeleted, Unknown };
    // What the run did: deleting ("deleted", "not deleted") or restoring
    // ("restored", "not restored"); "unknown" in both.
    enum class Action { Delete, Restore };

    // Every target starts as not done, "not attempted".
    explicit SubmitReport(const std::vector<DeleteTarget>& targets, Action action = Action::Delete);

    // Done: deleted, or restored.
    void Deleted(size_t index);
    void NotDeleted(size_t index, const std::string& statusCode, const std::string& message);
    // The server's answer was lost: the record may or may not be done.
    void Unknown(size_t index, const std::string& message);
    size_t DeletedCount() const { return m_nDeleted; }
    size_t Count() const { return m_lines.size(); }

    // Writes "SFAddrResults-YYYYMMDD-HHMMSS.csv" (restoring: "SFAddrRestored-...";
    // or the kind's stem) in the data folder, then puts the counts and its path
    // in the error file, and names it in the last progress line. The path is
    // empty when it could not be written (an error entry says so).
    std::string Finish(HelperSession& s);

private:
    struct Line {
        std::string id;
        std::string name;
        Outcome outcome = Outcome::NotDeleted;
        std::string statusCode;
        std::string message = "not attempted";
    };
    std::vector<Line> m_lines;
    size_t m_nDeleted = 0;
    Action m_action;
};

// A text as one CSV field: quoted when it holds a comma, quote or line break.
std::string CsvField(const std::string& text);
