#include "CxSFDate.h"

#include "CxDebugUtil.h"
#include "CxSFParamParser.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include <memory>
#include <string>
#include <vector>

CxSFDateUtil::CxSFDateUtil() : m_dEventRangeStart(0), m_dEventRangeEnd(0) {
    SetDataFileName("SFDate.dat");
    SetErrorFileName("SFDateErr.dat");
    SetStatusFileName("SFDateStatus.dat");
    SetParamFileName("SFDateParam.dat");
    SetKind(skDate, "Velmora.SFDateUtil.exe", "SFDate.ini");
}

CxSFDateUtil::~CxSFDateUtil() {
    Clear();
    ReleaseStorage();
}

namespace {

// A date as a whole number of days, truncated toward zero and held within
// int32; a value that is not a number counts as 0 (no limit).
std::string DayText(double date) {
    if (std::isnan(date))
        return "0";
    const double lo = std::numeric_limits<int32_t>::min();
    const double hi = std::numeric_limits<int32_t>::max();
    const double day = std::trunc(date);
    return std::to_string(static_cast<int32_t>(day < lo ? lo : (day > hi ? hi : day)));
}

} // namespace

bool CxSFDateUtil::AddKindParams(CxSFParamParser& params) const {
    return params.SetParam(1201, ptText, DayText(m_dEventRangeStart).c_str()) &&
           params.SetParam(1202, ptText, DayText(m_dEventRangeEnd).c_str());
}

bool CxSFDateUtil::Load() {
    DEBUG_LOG(LOG_NORMAL, "Start loading SalesForce Calendar.");
    Clear();
    if (LoadFromHelper()) {
        DEBUG_LOG(LOG_NORMAL, "Load SalesForce Calendar information successfully.");
        return true;
    }
    DEBUG_LOG(LOG_CRITICAL, "Failed to load SalesForce Calendar information.");
    return false;
}

bool CxSFDateUtil::ReadDataFile(const char* fileName) {
    const char* name = DataFileNameOr(fileName);
    DEBUG_LOG(LOG_NORMAL, "Start loading SalesForce Calendar from temperary file: %s", name);
    const std::string path = DataPath(name);
    CxFile& file = *m_pFile;
    file.Close();
    if (!file.Open(path.c_str(), "rb")) {
        DEBUG_LOG(LOG_CRITICAL, "Failed to open file: %s", path.c_str());
        return false;
    }
    uint32_t count = 0;
    bool whole = ReadRecordCount(file, count);
    if (whole)
        DEBUG_LOG(LOG_NORMAL, "There are %d Calendar event records in total.",
                  static_cast<int>(count));
    std::vector<std::unique_ptr<SFDateRec>> records;
    whole = whole && ReadFileRecords(count, records);
    file.Close();
    if (!whole) {
        DEBUG_LOG(LOG_CRITICAL, "Data file is truncated: %s", path.c_str());
        return false;
    }
    for (std::unique_ptr<SFDateRec>& rec : records) {
        // A deletion mark is the user's decision, never the helper's.
        if (rec->ChangeAction == kChangeActionDelete) {
            rec->ChangeAction = 0;
            DEBUG_LOG(LOG_CRITICAL, "Record %s arrived marked for deletion; the mark was cleared.",
                      rec->Id);
        }
        CommDateRec common;
        common.SourceType = kSourceTypeSalesForce;
        KeepLinked(std::move(rec), m_pCollection->AddRecord(&common));
    }
    DEBUG_LOG(LOG_NORMAL, "Load SalesForce Calendar information from file successfully.");
    return true;
}

bool CxSFDateUtil::WriteDataFile(const char* fileName) {
    const char* name = DataFileNameOr(fileName);
    DEBUG_LOG(LOG_NORMAL, "Start saving SalesForce Calendar information to file: %s", name);
    const std::string path = DataPath(name);
    CxFile& file = *m_pFile;
    file.Close();
    if (!file.Open(path.c_str(), "wb")) {
        DEBUG_LOG(LOG_CRITICAL, "Failed to open file: %s", path.c_str());
        return false;
    }
    DEBUG_LOG(LOG_NORMAL, "There are %d Calendar event records in total.",
              static_cast<int>(m_pRecordList->GetCount()));
    bool written = WriteFileRecords();
    file.Close();
    if (!written || file.HasFailed()) {
        DEBUG_LOG(LOG_CRITICAL, "Failed to write file: %s", path.c_str());
        return false;
    }
    DEBUG_LOG(LOG_NORMAL, "Save SalesForce Calendar information to file successfully.");
    return true;
}
