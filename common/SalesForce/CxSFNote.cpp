#include "CxSFNote.h"

namespace {

constexpr CxSFKindTexts kTexts = {
    .readStart = "Start loading SalesForce Notes from temperary file: %s",
    .count = "There are %d Notes records in total.",
    .readDone = "Load SalesForce Notes information from file successfully.",
    .writeStart = "Start saving SalesForce Notes information to file: %s",
    .writeDone = "Save SalesForce Notes information to file successfully.",
    .loadStart = "Start loading SalesForce Notes.",
    .loadDone = "Load SalesForce Notes information successfully.",
    .loadFailed = "Failed to load SalesForce Notes information.",
};
static_assert(kTexts.HasValidFormats());

} // namespace

CxSFNoteUtil::CxSFNoteUtil() {
    SetDataFileName("SFNote.dat");
    SetErrorFileName("SFNoteErr.dat");
    SetStatusFileName("SFNoteStatus.dat");
    SetParamFileName("SFNoteParam.dat");
    SetKind(skNote, "Velmora.SFNoteUtil.exe", "SFNote.ini");
}

CxSFNoteUtil::~CxSFNoteUtil() {
    Clear();
    ReleaseStorage();
}

bool CxSFNoteUtil::Load() {
    return LoadKind(kTexts, __FILE__, __LINE__);
}

bool CxSFNoteUtil::ReadDataFile(const char* fileName) {
    return ReadKindFile(fileName, kTexts, __FILE__, __LINE__);
}

bool CxSFNoteUtil::WriteDataFile(const char* fileName) {
    return WriteKindFile(fileName, kTexts, __FILE__, __LINE__);
}
