// The duplicate matching engine behind FindAddrDups and its siblings: the
// same marks, duplicate list and kept records as the scan (ScanAddrDups and
// its siblings), at near-linear cost on real data.
//
// The scan's result is followed step by step: for each record not yet marked,
// in collection order, a group starts with it as the survivor; the group looks
// for the next record after the last one it took that equals the survivor and
// whose comparison can change something, and lets the survivor or that record
// lose, as the scan does. Only the search is faster:
//
// - A candidate that is already marked and that the survivor is preferred to
//   changes nothing in the scan (it is marked again, which is a no-op), so the
//   search skips it. Each record carries an order value for that: unmarked
//   records and records with a NaN time always count, marked ones count when
//   they are newer than the survivor.
// - Records are grouped by which compared texts are empty (their pattern; an
//   empty text matches anything unless CompareEmpty is on). For the survivor
//   and a group, the members on which neither is empty must be equal: the
//   group is indexed by the hash of those members (a TDupKeyIndex per pair of
//   survivor pattern and group), built when first needed. Each group's own
//   index is always built; the others within a budget of entries, beyond
//   which an anchor index of the group (keyed on the one text, filled in the
//   survivor and the group, that most records have) narrows the search, and
//   beyond that the group is searched plainly. Every hit is checked with the
//   kind's own equality, so a hash collision or a coarse key costs time,
//   never a result.
// - A record with a NaN in a compared number equals no record and is left out.
//
// The indexes cost a pass over the records to build, and unusual data (many
// patterns, long chains of survivors) can make the indexed search dearer than
// the plain one. The engine therefore counts its own work against what the
// scan would have spent so far: it searches plainly (the scan's loop over an
// array, skipping what changes nothing) until the scan would have paid for the
// indexes, and goes back to the plain search for good should the indexed one
// cost more than the scan. Both searches find the same record, so switching
// never changes a result.
#pragma once

#include "SFRecords.h"

#include <cstddef>
#include <cstdint>

enum class TDupPlan {
    Auto,    // as described above
    Indexed, // indexed from the first record on, whatever it costs
    Plain,   // the plain search only
};

// What one run did, for the benchmark and the tests.
struct TDupRunStats {
    uint32_t nRecords = 0;
    uint32_t nPatterns = 0; // emptiness patterns seen (0 without indexing)
    uint32_t nIndexes = 0;  // key indexes built
    uint64_t nIndexedSearches = 0;
    uint64_t nPlainSearches = 0;
    uint64_t nWork = 0;        // the engine's work, in records looked at
    uint64_t nScanWork = 0;    // comparisons the scan would have made
    size_t nPeakBytes = 0;     // the most memory its own structures held
    bool bIndexed = false;     // indexed searching was used
    bool bBackToPlain = false; // ... and given up as dearer than the scan
    bool bScanned = false;     // memory ran out; the scan did the run
};

// FindAddrDups and its siblings with a chosen plan. False, with nothing
// changed, when the kind has no exchange object or no duplicate list.
bool FindAddrDupsWith(TDupPlan plan, TDupRunStats* stats = nullptr);
bool FindDateDupsWith(TDupPlan plan, TDupRunStats* stats = nullptr);
bool FindTaskDupsWith(TDupPlan plan, TDupRunStats* stats = nullptr);
bool FindNoteDupsWith(TDupPlan plan, TDupRunStats* stats = nullptr);
