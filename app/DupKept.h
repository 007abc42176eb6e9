// The kept record of every duplicate, shared by the scan and the engine.
//
// While a group runs, the records it marks for the first time are chained
// through their KeptRecord; when it ends, each of them gets the group's
// survivor. A survivor may itself be marked by another group; after the last
// group every listed record follows its KeptRecord on to a record that is not
// marked, and gets mkIndirect when it does not equal that record itself (the
// group reached it through records with empty compared texts).
#pragma once

#include "CxList.h"
#include "DupKind.h"

#include <cstdint>

// The first markings of the group under way.
template <class TRec> class TDupGroupMarks {
public:
    void Add(TRec* rec) {
        rec->KeptRecord = m_pHead;
        m_pHead = rec;
    }

    // Gives every record marked since the last Close the group's survivor.
    void Close(TRec* survivor) {
        for (TRec* rec = m_pHead; rec;) {
            TRec* next = rec->KeptRecord;
            rec->KeptRecord = survivor;
            rec = next;
        }
        m_pHead = nullptr;
    }

private:
    TRec* m_pHead = nullptr;
};

// The record that stays for a marked record: its KeptRecord, followed while
// that is marked too. Every record passed on the way is pointed straight at
// the result, so that later look-ups are short. Null when the way runs in a
// circle, which records with a NaN modification time can make (they win and
// lose against any time): no record stays for these.
template <class TRec> TRec* FollowKeptRecord(TRec* rec) {
    // Brent's cycle search: the first pointer waits at the second's place
    // each time the step count reaches a power of two.
    TRec* waiting = rec;
    TRec* kept = rec->KeptRecord;
    for (uint64_t steps = 1, power = 1; kept && (kept->Flags & mkDuplicate); ++steps) {
        if (kept == waiting) {
            kept = nullptr;
            break;
        }
        if (steps == power) {
            waiting = kept;
            power *= 2;
            steps = 0;
        }
        kept = kept->KeptRecord;
    }
    for (TRec* at = rec;;) {
        TRec* next = at->KeptRecord;
        at->KeptRecord = kept;
        if (!next || next == kept || !(next->Flags & mkDuplicate))
            break;
        at = next;
    }
    return kept;
}

// After the last group of a run, for each listed record (in any order: the
// results do not depend on it): its final KeptRecord and its mkIndirect. A
// record left without a kept record counts as indirect.
template <class TRec> void SettleKeptRecord(TRec* rec) {
    const TRec* kept = FollowKeptRecord(rec);
    if (!kept || !TDupKind<TRec>::IsSame(rec, kept))
        rec->Flags |= mkIndirect;
}

template <class TRec> void SettleKeptRecords(CxList& list) {
    for (void* item = list.GetFirst(); item; item = list.GetNext())
        SettleKeptRecord(static_cast<TRec*>(item));
}

// What a run clears on every record before its first group.
constexpr uint32_t kDupRunFlags = mkDuplicate | mkIndirect;
