#include "CxSFNote.h"

#include "CxDebugUtil.h"

#include <memory>
#include <string>
#include <vector>

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
    DEBUG_LOG(LOG_NORMAL, "Start loading SalesForce Notes.");
    Clear();
    if (LoadFromHelper()) {
        DEBUG_LOG(LOG_NORMAL, "Load SalesForce Notes information successfully.");
        return true;
    }
    DEBUG_LOG(LOG_CRITICAL, "Failed to load SalesForce Notes information.");
    return false;
}

bool CxSFNoteUtil::ReadDataFile(const char* fileName) {
    const char* name = DataFileNameOr(fileName);
    DEBUG_LOG(LOG_NORMAL, "Start loading SalesForce Notes from temperary file: %s", name);
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
        DEBUG_LOG(LOG_NORMAL, "There are %d Notes records in total.", static_cast<int>(count));
    std::vector<std::unique_ptr<SFNoteRec>> records;
    whole = whole && ReadFileRecords(count, records);
    file.Close();
    if (!whole) {
        DEBUG_LOG(LOG_CRITICAL, "Data file is truncated: %s", path.c_str());
        return false;
    }
    for (size_t i = 0; i < records.size(); ++i) {
        std::unique_ptr<SFNoteRec>& rec = records[i];
        // A deletion mark is the user's decision, never the helper's.
        if (rec->ChangeAction == kChangeActionDelete) {
            rec->ChangeAction = 0;
            // A note has no id: it is named by its 1-based place in the file.
            const std::string number = std::to_string(i + 1);
            DEBUG_LOG(LOG_CRITICAL, "Record %s arrived marked for deletion; the mark was cleared.",
                      number.c_str());
        }
        CommNoteRec common;
        common.SourceType = kSourceTypeSalesForce;
        KeepLinked(std::move(rec), m_pCollection->AddRecord(&common));
    }
    DEBUG_LOG(LOG_NORMAL, "Load SalesForce Notes information from file successfully.");
    return true;
}

bool CxSFNoteUtil::WriteDataFile(const char* fileName) {
    const char* name = DataFileNameOr(fileName);
    DEBUG_LOG(LOG_NORMAL, "Start saving SalesForce Notes information to file: %s", name);
    const std::string path = DataPath(name);
    CxFile& file = *m_pFile;
    file.Close();
    if (!file.Open(path.c_str(), "wb")) {
        DEBUG_LOG(LOG_CRITICAL, "Failed to open file: %s", path.c_str());
        return false;
    }
    DEBUG_LOG(LOG_NORMAL, "There are %d Notes records in total.",
              static_cast<int>(m_pRecordList->GetCount()));
    bool written = WriteFileRecords();
    file.Close();
    if (!written || file.HasFailed()) {
        DEBUG_LOG(LOG_CRITICAL, "Failed to write file: %s", path.c_str());
        return false;
    }
    DEBUG_LOG(LOG_NORMAL, "Save SalesForce Notes information to file successfully.");
    return true;
}
