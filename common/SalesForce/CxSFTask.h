// The task exchange object: keeps the loaded tasks and reads and writes
// the data file "SFTask.dat".
#pragma once

#include "CommTaskMgr.h"
#include "CxSFCommon.h"
#include "SFRecords.h"

class CxSFTaskUtil : public CxSFKindUtil<SFTaskRec, CommTaskMgr> {
public:
    CxSFTaskUtil();
    ~CxSFTaskUtil() override;

    CommTaskMgr* GetTaskMgr() const { return GetCollection(); }

    // Runs the helper with the load request and keeps the records it delivers;
    // false, with an empty collection, when the helper failed, reported an error
    // or left no complete data file.
    bool Load() override;

    // Fills the collection and the list from the data file in the data folder
    // (the kind's own file name when fileName is null or empty). A file that
    // ends early adds nothing and gives false.
    bool ReadDataFile(const char* fileName = nullptr) override;
    // Writes every record of the list; false when the file could not be
    // created or not every byte reached it.
    bool WriteDataFile(const char* fileName = nullptr) override;
};
