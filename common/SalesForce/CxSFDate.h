// The calendar event exchange object: keeps the loaded events and reads and
// writes the data file "SFDate.dat".
#pragma once

#include "CommDateMgr.h"
#include "CxSFCommon.h"
#include "SFRecords.h"

class CxSFDateUtil : public CxSFKindUtil<SFDateRec, CommDateMgr> {
public:
    CxSFDateUtil();
    ~CxSFDateUtil() override;

    CommDateMgr* GetDateMgr() const { return GetCollection(); }

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

    // The range of events asked for, as automation dates; 0 when not set.
    void SetEventRange(double start, double end) {
        m_dEventRangeStart = start;
        m_dEventRangeEnd = end;
    }
    double GetEventRangeStart() const { return m_dEventRangeStart; }
    double GetEventRangeEnd() const { return m_dEventRangeEnd; }

protected:
    // The event range as whole days, truncated toward zero.
    bool AddKindParams(CxSFParamParser& params) const override;

private:
    double m_dEventRangeStart;
    double m_dEventRangeEnd;
};
