#include "CxSFDate.h"

#include "CxSFParamParser.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

constexpr CxSFKindTexts kTexts = {
    .readStart = "Start loading SalesForce Calendar from temperary file: %s",
    .count = "There are %d Calendar event records in total.",
    .readDone = "Load SalesForce Calendar information from file successfully.",
    .writeStart = "Start saving SalesForce Calendar information to file: %s",
    .writeDone = "Save SalesForce Calendar information to file successfully.",
    .loadStart = "Start loading SalesForce Calendar.",
    .loadDone = "Load SalesForce Calendar information successfully.",
    .loadFailed = "Failed to load SalesForce Calendar information.",
};
static_assert(kTexts.HasValidFormats());

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

bool CxSFDateUtil::Load() {
    return LoadKind(kTexts, __FILE__, __LINE__);
}

bool CxSFDateUtil::ReadDataFile(const char* fileName) {
    return ReadKindFile(fileName, kTexts, __FILE__, __LINE__);
}

bool CxSFDateUtil::WriteDataFile(const char* fileName) {
    return WriteKindFile(fileName, kTexts, __FILE__, __LINE__);
}

bool CxSFDateUtil::AddKindParams(CxSFParamParser& params) const {
    return params.SetParam(1201, ptText, DayText(m_dEventRangeStart).c_str()) &&
           params.SetParam(1202, ptText, DayText(m_dEventRangeEnd).c_str());
}
