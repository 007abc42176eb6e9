// The note exchange object: keeps the loaded notes and reads and writes
// the data file "SFNote.dat".
#pragma once

#include "CommNoteMgr.h"
#include "CxSFCommon.h"
#include "SFRecords.h"

class CxSFNoteUtil : public CxSFKindUtil<SFNoteRec, CommNoteMgr> {
public:
    CxSFNoteUtil();
    ~CxSFNoteUtil() override;

    CommNoteMgr* GetNoteMgr() const { return GetCollection(); }

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
