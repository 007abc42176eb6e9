// The contact exchange object: keeps the loaded contacts and reads and writes
// the contact data file "SFAddr.dat".
#pragma once

#include "CommAddrMgr.h"
#include "CxSFCommon.h"
#include "SFRecords.h"

class CxSFAddrUtil : public CxSFKindUtil<SFAddrRec, CommAddrMgr> {
public:
    CxSFAddrUtil();
    ~CxSFAddrUtil() override;

    CommAddrMgr* GetAddrMgr() const { return GetCollection(); }

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

    // Fills a default-constructed common contact from a CRM contact; false when
    // either is missing.
    static bool ToCommonContact(const SFAddrRec* rec, CommAddrRec* common);

    // The contact sources (the CRM's Account, Contact and Lead objects), all on
    // at construction, and one further number, 2 at construction.
    void SetAddrAccount(bool on) { m_bAddrAccount = on; }
    void SetAddrContact(bool on) { m_bAddrContact = on; }
    void SetAddrLead(bool on) { m_bAddrLead = on; }
    void SetAddrOption(int32_t value) { m_nAddrOption = value; }
    bool GetAddrAccount() const { return m_bAddrAccount; }
    bool GetAddrContact() const { return m_bAddrContact; }
    bool GetAddrLead() const { return m_bAddrLead; }
    int32_t GetAddrOption() const { return m_nAddrOption; }

protected:
    // The three contact sources, as "1" or "0" each.
    bool AddKindParams(CxSFParamParser& params) const override;
    // The whole contact, through ToCommonContact.
    void FillCommonRecord(const SFAddrRec& rec, CommAddrRec& common) const override;

private:
    bool m_bAddrAccount;
    bool m_bAddrContact;
    bool m_bAddrLead;
    int32_t m_nAddrOption;
};
