// The collection of the common records of loaded notes.
#pragma once

#include "CommRecordMgr.h"
#include "CommRecords.h"

class CommNoteMgr : public CommRecordMgr<CommNoteRec> {
public:
    CommNoteMgr();
    virtual ~CommNoteMgr();
};
