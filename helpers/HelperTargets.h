// The records a submit is asked to delete: read from the data file the system
// wrote back, with what the report and the safety checks need of each.
#pragma once

#include "HelperSession.h"

#include <cstdint>
#include <string>
#include <vector>

struct DeleteTarget {
    const char* table = nullptr; // the object: "Contact", "Account", "Lead", "Event", ...
    std::string id;              // empty for a note until its map names it
    int64_t seq = 0;             // HelperData as loaded
    std::string name;            // full name or subject, for the report
    double lastModified = 0;     // LastModificationTime as loaded (automation date, UTC)
    bool isPersonAccount = false;

    // "Record ID", or "Note SEQ" for a note known only by its number.
    std::string Describe() const;
};

// Reads the whole data file of the request's kind and collects the records
// whose ChangeAction is 3, each once. False, with why (such as "ends inside
// record 3 of 9"), when the file cannot be opened or is not whole; a record of
// an unknown object kind becomes an error entry and is left out.
bool ReadDeleteTargets(HelperSession& s, const std::string& path,
                       std::vector<DeleteTarget>& targets, std::string& why);

// Names the marked notes through the note list of the last load (their Id,
// title and LastModifiedDate); a note the list lacks keeps an empty Id. False,
// with why, when the list is missing or damaged.
bool ResolveNoteIds(HelperSession& s, std::vector<DeleteTarget>& targets, std::string& why);

// The first step of every submit: reads the data file's marked records (and
// names the notes through their list). kExitOk, or the exit status with an
// error entry; nothing is deleted then.
int ReadSubmitTargets(HelperSession& s, std::vector<DeleteTarget>& targets);

// The end of a submit whose backup could not be written: nothing was deleted.
// Reports the marked records with none deleted and the reason; kExitBackup.
int BackupFailed(HelperSession& s, size_t marked, const std::string& why);

// The first step of every undelete: the records the results file of the
// deletion (named by the request) lists with the outcome "deleted", each once,
// with their Id and name. kExitOk, or the exit status with an error entry;
// nothing is restored then.
int ReadUndeleteTargets(HelperSession& s, std::vector<DeleteTarget>& targets);

// The rows of a CSV text (RFC 4180: quoted fields, "" for a quote, line breaks
// CRLF or LF); false when a quoted field is not closed.
bool ParseCsv(const std::string& text, std::vector<std::vector<std::string>>& rows);
