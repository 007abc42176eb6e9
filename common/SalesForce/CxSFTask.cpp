#include "CxSFTask.h"

#include "CxDebugUtil.h"

#include <memory>
#include <string>
#include <vector>

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
    DEBUG_LOG(LOG_NORMAL, "Start loading SalesForce Tasks.");
    Clear();
    if (LoadFromHelper()) {
        DEBUG_LOG(LOG_NORMAL, "Load SalesForce Tasks information successfully.");
        return true;
    }
    DEBUG_LOG(LOG_CRITICAL, "Failed to load SalesForce Tasks information.");
    return false;
}

bool CxSFTaskUtil::ReadDataFile(const char* fileName) {
    const char* name = DataFileNameOr(fileName);
    DEBUG_LOG(LOG_NORMAL, "Start loading SalesForce Tasks from temperary file: %s", name);
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
        DEBUG_LOG(LOG_NORMAL, "There are %d Task records in total.", static_cast<int>(count));
    std::vector<std::unique_ptr<SFTaskRec>> records;
    whole = whole && ReadFileRecords(count, records);
    file.Close();
    if (!whole) {
        DEBUG_LOG(LOG_CRITICAL, "Data file is truncated: %s", path.c_str());
        return false;
    }
    for (std::unique_ptr<SFTaskRec>& rec : records) {
        // A deletion mark is the user's decision, never the helper's.
        if (rec->ChangeAction == kChangeActionDelete) {
            rec->ChangeAction = 0;
            DEBUG_LOG(LOG_CRITICAL, "Record %s arrived marked for deletion; the mark was cleared.",
                      rec->Id);
        }
        CommTaskRec common;
        common.SourceType = kSourceTypeSalesForce;
        KeepLinked(std::move(rec), m_pCollection->AddRecord(&common));
    }
    DEBUG_LOG(LOG_NORMAL, "Load SalesForce Tasks information from file successfully.");
    return true;
}

bool CxSFTaskUtil::WriteDataFile(const char* fileName) {
    const char* name = DataFileNameOr(fileName);
    DEBUG_LOG(LOG_NORMAL, "Start saving SalesForce Tasks information to file: %s", name);
    const std::string path = DataPath(name);
    CxFile& file = *m_pFile;
    file.Close();
    if (!file.Open(path.c_str(), "wb")) {
        DEBUG_LOG(LOG_CRITICAL, "Failed to open file: %s", path.c_str());
        return false;
    }
    DEBUG_LOG(LOG_NORMAL, "There are %d Task records in total.",
              static_cast<int>(m_pRecordList->GetCount()));
    bool written = WriteFileRecords();
    file.Close();
    if (!written || file.HasFailed()) {
        DEBUG_LOG(LOG_CRITICAL, "Failed to write file: %s", path.c_str());
        return false;
    }
    DEBUG_LOG(LOG_NORMAL, "Save SalesForce Tasks information to file successfully.");
    return true;
}
