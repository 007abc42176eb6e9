// The collection of the common records of loaded contacts.
#pragma once

#include "CommRecordMgr.h"
#include "CommRecords.h"

class CommAddrMgr : public CommRecordMgr<CommAddrRec> {
public:
    CommAddrMgr();
    ~CommAddrMgr();
};
