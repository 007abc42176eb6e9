#include "CxSFTask.h"

namespace {

constexpr CxSFKindTexts kTexts = {
    .readStart = "Start loading SalesForce Tasks from temperary file: %s",
    .count = "There are %d Task records in total.",
    .readDone = "Load SalesForce Tasks information from file successfully.",
    .writeStart = "Start saving SalesForce Tasks information to file: %s",
    .writeDone = "Save SalesForce Tasks information to file successfully.",
    .loadStart = "Start loading SalesForce Tasks.",
    .loadDone = "Load SalesForce Tasks information successfully.",
    .loadFailed = "Failed to load SalesForce Tasks information.",
};
static_assert(kTexts.HasValidFormats());

} // namespace

CxSFTaskUtil::CxSFTaskUtil() {
    SetDataFileName("SFTask.dat");
    SetErrorFileName("SFTaskErr.dat");
    SetStatusFileName("SFTaskStatus.dat");
    SetParamFileName("SFTaskParam.dat");
    SetKind(skTask, "Velmora.SFTaskUtil.exe", "SFTask.ini");
}

CxSFTaskUtil::~CxSFTaskUtil() {
    Clear();
    ReleaseStorage();
}

bool CxSFTaskUtil::Load() {
    return LoadKind(kTexts, __FILE__, __LINE__);
}

bool CxSFTaskUtil::ReadDataFile(const char* fileName) {
    return ReadKindFile(fileName, kTexts, __FILE__, __LINE__);
}

bool CxSFTaskUtil::WriteDataFile(const char* fileName) {
    return WriteKindFile(fileName, kTexts, __FILE__, __LINE__);
}
