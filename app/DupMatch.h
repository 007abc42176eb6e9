// Duplicate matching: compares the loaded records of one kind under the rule
// flags of AppSettings, groups equal records around the newest one, marks every
// other member of a group with mkDuplicate and lists the marked records in the
// kind's duplicate list of CrmData. Everything reads AppSettings and CrmData.
#pragma once

#include "SFRecords.h"

#include <cstddef>
#include <cstdint>

// 0 when two texts count as the same. Without CompareEmpty an empty text
// matches anything; without CaseSensitive the bytes a to z fold onto A to Z
// (and no other byte folds, whatever the locale). A null text counts as empty.
int CompareField(const char* a, const char* b);

// Equality under the rule flags; false when either record is null. Contacts of
// different ObjectKind are never the same; any two notes are.
bool IsSameAddr(const SFAddrRec* a, const SFAddrRec* b);
bool IsSameDate(const SFDateRec* a, const SFDateRec* b);
bool IsSameTask(const SFTaskRec* a, const SFTaskRec* b);
bool IsSameNote(const SFNoteRec* a, const SFNoteRec* b);

// True when p survives against q: p was modified no earlier than q (for notes:
// always). False when either record is null.
bool PreferAddr(const SFAddrRec* p, const SFAddrRec* q);
bool PreferDate(const SFDateRec* p, const SFDateRec* q);
bool PreferTask(const SFTaskRec* p, const SFTaskRec* q);
bool PreferNote(const SFNoteRec* p, const SFNoteRec* q);

// Compares the records after the seed with the survivor of the moment (first
// the seed) and marks the loser of every equal pair; a newly marked record is
// appended to the kind's duplicate list and, when the group ends, gets the
// group's survivor as its KeptRecord. Leaves the collection's cursor on the
// seed. False for a null or already marked seed, a seed the record walk did not
// reach, or when the kind has no exchange object or duplicate list.
bool GroupAddrDups(SFAddrRec* seed);
bool GroupDateDups(SFDateRec* seed);
bool GroupTaskDups(SFTaskRec* seed);
bool GroupNoteDups(SFNoteRec* seed);

// Rebuilds the kind's duplicate list from scratch: clears every mkDuplicate,
// mkIndirect and KeptRecord, then groups around every record not yet marked.
// Each record stands in the list at most once, in the order of its first
// marking. Then every listed record's KeptRecord is the record that stays for
// it: the survivor of the group that first marked it, or, when that survivor
// was marked too, the record that stays for the survivor (never a listed
// record). A listed record that does not equal its kept record under the rules
// gets mkIndirect. False, with nothing changed, when the kind has no exchange
// object or no duplicate list.
//
// Find* run the matching engine (DupEngine.h) at near-linear cost on real
// data; Scan* run the scan itself, which compares each seed with every record
// after it. Both give the same marks, list and kept records: the scan is the
// definition of the results, the engine the way to get them at scale.
bool FindAddrDups();
bool FindDateDups();
bool FindTaskDups();
bool FindNoteDups();
bool ScanAddrDups();
bool ScanDateDups();
bool ScanTaskDups();
bool ScanNoteDups();

// The record walk over a kind's collection: the CRM record of the first / next
// entry, or null at the end (also at an entry without a record). Each record
// reached remembers its entry in WalkEntry; Seek puts the collection's cursor
// back on that entry.
SFAddrRec* FirstAddrRecord();
SFAddrRec* NextAddrRecord();
void SeekAddrRecord(SFAddrRec* record);
SFDateRec* FirstDateRecord();
SFDateRec* NextDateRecord();
void SeekDateRecord(SFDateRec* record);
SFTaskRec* FirstTaskRecord();
SFTaskRec* NextTaskRecord();
void SeekTaskRecord(SFTaskRec* record);
SFNoteRec* FirstNoteRecord();
SFNoteRec* NextNoteRecord();
void SeekNoteRecord(SFNoteRec* record);

// Number of record comparisons (IsSame* calls) since the last reset.
uint64_t GetRecordComparisons();
void ResetRecordComparisons();

// Writes "Yes" for a non-zero flag, else "No", into buf of size bytes; nothing
// for a null buf.
void YesNoText(int flag, char* buf, size_t size);
template <size_t N> inline void YesNoText(int flag, char (&buf)[N]) {
    YesNoText(flag, buf, N);
}
