// Which loaded records go into the data file, whatever the backend.
#pragma once

#include "HelperRequest.h"
#include "RecordMapping.h"
#include "SFRecords.h"

// An event is in the calendar range when it starts on or after the first day
// and before the end of the last day; with any limit set, an event without a
// start is left out.
inline bool EventInRange(const HelperRequest& req, const SFDateRec& rec) {
    if (req.rangeStart <= 0 && req.rangeEnd <= 0)
        return true;
    if (rec.StartTime < 0.001)
        return false;
    if (req.rangeStart > 0 && rec.StartTime < req.rangeStart)
        return false;
    if (req.rangeEnd > 0 && rec.StartTime >= static_cast<double>(req.rangeEnd) + 1.0)
        return false;
    return true;
}

inline bool KeepOnLoad(const HelperRequest& req, const SFDateRec& rec) {
    return EventInRange(req, rec);
}

// The contact of a person account is the account itself: it loads as the
// account only, so it can never be deleted on its own.
inline bool KeepOnLoad(const HelperRequest&, const SFAddrRec& rec) {
    return !(rec.ObjectKind == kObjectContact && rec.IsPersonAccount);
}

template <class Rec> bool KeepOnLoad(const HelperRequest&, const Rec&) {
    return true;
}
