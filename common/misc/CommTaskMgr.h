// The collection of the common records of loaded tasks.
#pragma once

#include "CommRecordMgr.h"
#include "CommRecords.h"

class CommTaskMgr : public CommRecordMgr<CommTaskRec> {
public:
    CommTaskMgr();
    virtual ~CommTaskMgr();
};
