// The collection of the common records of loaded calendar events.
#pragma once

#include "CommRecordMgr.h"
#include "CommRecords.h"

class CommDateMgr : public CommRecordMgr<CommDateRec> {
public:
    CommDateMgr();
    ~CommDateMgr();
};
