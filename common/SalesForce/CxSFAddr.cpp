#include "CxSFAddr.h"

#include "CxDebugUtil.h"
#include "CxSFParamParser.h"
#include "CxText.h"

#include <memory>
#include <vector>

CxSFAddrUtil::CxSFAddrUtil()
    : m_bAddrAccount(true), m_bAddrContact(true), m_bAddrLead(true), m_nAddrOption(2) {
    SetDataFileName("SFAddr.dat");
    SetErrorFileName("SFAddrErr.dat");
    SetStatusFileName("SFAddrStatus.dat");
    SetParamFileName("SFAddrParam.dat");
    SetKind(skAddr, "Velmora.SFAddrUtil.exe", "SFAddr.ini");
}

CxSFAddrUtil::~CxSFAddrUtil() {
    Clear();
    ReleaseStorage();
}

bool CxSFAddrUtil::Load() {
    DEBUG_LOG(LOG_NORMAL, "Start loading SalesForce Contacts.");
    Clear();
    if (LoadFromHelper()) {
        DEBUG_LOG(LOG_NORMAL, "Load SalesForce Contacts information successfully.");
        return true;
    }
    DEBUG_LOG(LOG_CRITICAL, "Failed to load SalesForce Contacts information.");
    return false;
}

bool CxSFAddrUtil::AddKindParams(CxSFParamParser& params) const {
    // The helper reads only the CRM objects that are switched on.
    return params.SetParam(1101, ptText, m_bAddrContact ? "1" : "0") &&
           params.SetParam(1102, ptText, m_bAddrAccount ? "1" : "0") &&
           params.SetParam(1103, ptText, m_bAddrLead ? "1" : "0");
}

bool CxSFAddrUtil::ReadDataFile(const char* fileName) {
    const char* name = DataFileNameOr(fileName);
    DEBUG_LOG(LOG_NORMAL, "Start loading salesforce Contacts from temperary file: %s", name);
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
        DEBUG_LOG(LOG_NORMAL, "There are %d Contact records in total.", static_cast<int>(count));
    std::vector<std::unique_ptr<SFAddrRec>> records;
    whole = whole && ReadFileRecords(count, records);
    file.Close();
    if (!whole) {
        DEBUG_LOG(LOG_CRITICAL, "Data file is truncated: %s", path.c_str());
        return false;
    }
    for (std::unique_ptr<SFAddrRec>& rec : records) {
        // A deletion mark is the user's decision, never the helper's.
        if (rec->ChangeAction == kChangeActionDelete) {
            rec->ChangeAction = 0;
            DEBUG_LOG(LOG_CRITICAL, "Record %s arrived marked for deletion; the mark was cleared.",
                      rec->Id);
        }
        CommAddrRec common;
        ToCommonContact(rec.get(), &common);
        KeepLinked(std::move(rec), m_pCollection->AddRecord(&common));
    }
    DEBUG_LOG(LOG_NORMAL, "Load salesforce Contacts information from file successfully.");
    return true;
}

bool CxSFAddrUtil::WriteDataFile(const char* fileName) {
    const char* name = DataFileNameOr(fileName);
    DEBUG_LOG(LOG_NORMAL, "Start saving salesforce Contacts information to file: %s", name);
    const std::string path = DataPath(name);
    CxFile& file = *m_pFile;
    file.Close();
    if (!file.Open(path.c_str(), "wb")) {
        DEBUG_LOG(LOG_CRITICAL, "Failed to open file: %s", path.c_str());
        return false;
    }
    DEBUG_LOG(LOG_NORMAL, "There are %d Contact records in total.",
              static_cast<int>(m_pRecordList->GetCount()));
    bool written = WriteFileRecords();
    file.Close();
    if (!written || file.HasFailed()) {
        DEBUG_LOG(LOG_CRITICAL, "Failed to write file: %s", path.c_str());
        return false;
    }
    DEBUG_LOG(LOG_NORMAL, "Save salesforce Contacts information to file successfully.");
    return true;
}

bool CxSFAddrUtil::ToCommonContact(const SFAddrRec* rec, CommAddrRec* common) {
    if (!rec || !common)
        return false;
    CopyText(common->FirstName, rec->FirstName);
    CopyText(common->LastName, rec->LastName);
    CopyText(common->FullName, rec->Name);
    CopyText(common->Salutation, rec->Salutation);
    CopyText(common->JobTitle, rec->Title);
    CopyText(common->Department, rec->Department);
    CopyText(common->AssistantName, rec->AssistantName);
    CopyText(common->AssistantPhone, rec->AssistantPhone);
    CopyText(common->Email, rec->Email);
    CopyText(common->HomePhone, rec->HasPhone);
    CopyText(common->WorkPhone, rec->Phone);
    CopyText(common->MobilePhone, rec->MobilePhone);
    CopyText(common->OtherPhone, rec->OtherPhone);
    CopyText(common->Fax, rec->Fax);
    // The mailing address is the common record's work address.
    CopyText(common->WorkStreet, rec->MailingStreet);
    CopyText(common->WorkCity, rec->MailingCity);
    CopyText(common->WorkState, rec->MailingState);
    CopyText(common->WorkPostalCode, rec->MailingPostalCode);
    CopyText(common->WorkCountry, rec->MailingCountry);
    CopyText(common->OtherStreet, rec->OtherStreet);
    CopyText(common->OtherCity, rec->OtherCity);
    CopyText(common->OtherState, rec->OtherState);
    CopyText(common->OtherPostalCode, rec->OtherPostalCode);
    CopyText(common->OtherCountry, rec->OtherCountry);
    common->Note.Set(rec->Description.c_str(), rec->Description.size());
    for (size_t i = 0; i < 10; ++i)
        CopyText(common->Custom[i], rec->CustomValue[i]);
    CopyText(common->LeadSource, rec->LeadSource);
    common->Birthday = rec->BirthDate;
    common->CreationTime = rec->CreationTime;
    common->LastModificationTime = rec->LastModificationTime;
    common->SourceType = kSourceTypeSalesForce;
    return true;
}
