#include "CxSFAddr.h"

#include "CxSFParamParser.h"
#include "CxText.h"

namespace {

constexpr CxSFKindTexts kTexts = {
    .readStart = "Start loading salesforce Contacts from temperary file: %s",
    .count = "There are %d Contact records in total.",
    .readDone = "Load salesforce Contacts information from file successfully.",
    .writeStart = "Start saving salesforce Contacts information to file: %s",
    .writeDone = "Save salesforce Contacts information to file successfully.",
    .loadStart = "Start loading SalesForce Contacts.",
    .loadDone = "Load SalesForce Contacts information successfully.",
    .loadFailed = "Failed to load SalesForce Contacts information.",
};
static_assert(kTexts.HasValidFormats());

} // namespace

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
    return LoadKind(kTexts, __FILE__, __LINE__);
}

bool CxSFAddrUtil::ReadDataFile(const char* fileName) {
    return ReadKindFile(fileName, kTexts, __FILE__, __LINE__);
}

bool CxSFAddrUtil::WriteDataFile(const char* fileName) {
    return WriteKindFile(fileName, kTexts, __FILE__, __LINE__);
}

bool CxSFAddrUtil::AddKindParams(CxSFParamParser& params) const {
    // The helper reads only the CRM objects that are switched on.
    return params.SetParam(1101, ptText, m_bAddrContact ? "1" : "0") &&
           params.SetParam(1102, ptText, m_bAddrAccount ? "1" : "0") &&
           params.SetParam(1103, ptText, m_bAddrLead ? "1" : "0");
}

void CxSFAddrUtil::FillCommonRecord(const SFAddrRec& rec, CommAddrRec& common) const {
    ToCommonContact(&rec, &common);
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
