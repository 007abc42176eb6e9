// The CRM records of the four kinds as the helper programs deliver them in the
// data files, and the reading and writing of one record.
//
// A data file is an unsigned 32-bit record count followed by that many records
// back to back, each its members from ChangeAction to LastModificationTime in
// member order: int32 as 4 bytes, dates and numbers as 8-byte doubles, flags as
// a 4-byte slot (value byte, three zero bytes), texts as an int32 length and the
// bytes without terminator. Entry, Flags, KeptRecord and WalkEntry live in
// memory only.
//
// Records are value types: a default-constructed record is all zero (empty
// texts), a copy copies every member, the in-memory ones included.
#pragma once

#include "CommRecords.h"
#include "CxBoundedText.h"

#include <cstdint>

class CxFile;

// Bits of a record's in-memory Flags, kept by duplicate matching and review.
// mkIndirect: a duplicate that does not itself equal its KeptRecord; it was
// reached only through records with empty compared texts.
enum : uint32_t { mkDuplicate = 1, mkDelete = 2, mkIndirect = 4 };

// ChangeAction value that tells the helper to delete the record at the next submit.
constexpr int32_t kChangeActionDelete = 3;

struct SFAddrRec {
    int32_t ChangeAction = 0;
    int32_t HelperData = 0;
    int32_t ObjectKind = 0;
    char Id[21] = {};
    char AccountId[21] = {};
    char AssistantName[32] = {};
    char AssistantPhone[32] = {};
    double BirthDate = 0;
    char Department[32] = {};
    CxBoundedText<32768> Description;
    bool DoNotCall = false;
    char Email[64] = {};
    char Fax[32] = {};
    char FirstName[32] = {};
    bool EmailOptOut = false;
    bool FaxOptOut = false;
    char HasPhone[32] = {};
    bool IsDeleted = false;
    bool IsPersonAccount = false;
    double LastActivityDate = 0;
    double LastStayInTouchRequestDate = 0;
    double LastStayInTouchUpdateDate = 0;
    char LastName[32] = {};
    char LeadSource[32] = {};
    char MailingCity[32] = {};
    char MailingCountry[32] = {};
    char MailingPostalCode[32] = {};
    char MailingState[32] = {};
    char MailingStreet[256] = {};
    char MobilePhone[32] = {};
    char Name[64] = {};
    char OtherCity[32] = {};
    char OtherCountry[32] = {};
    char OtherPhone[32] = {};
    char OtherPostalCode[32] = {};
    char OtherState[32] = {};
    char OtherStreet[256] = {};
    char OwnerId[21] = {};
    char Phone[32] = {};
    char Salutation[32] = {};
    char Title[32] = {};
    double AnnualRevenue = 0;
    char Industry[32] = {};
    int32_t NumberOfEmployees = 0;
    char Rating[32] = {};
    char BillingStreet[256] = {};
    char BillingCity[32] = {};
    char BillingState[32] = {};
    char BillingPostalCode[32] = {};
    char BillingCountry[32] = {};
    char ShippingStreet[256] = {};
    char ShippingCity[32] = {};
    char ShippingState[32] = {};
    char ShippingPostalCode[32] = {};
    char ShippingCountry[32] = {};
    char CustomValue[10][64] = {};
    char CustomLabel[10][64] = {};
    double CreationTime = 0;
    double LastModificationTime = 0;

    CommAddrRec* Entry = nullptr;
    uint32_t Flags = 0;
    // Of a duplicate: the record that stays in its stead (set by matching).
    SFAddrRec* KeptRecord = nullptr;
    CommAddrRec* WalkEntry = nullptr;
};

struct SFDateRec {
    int32_t ChangeAction = 0;
    int32_t HelperData = 0;
    char Id[21] = {};
    char AccountId[21] = {};
    double ActivityDate = 0;
    double ActivityDateTime = 0;
    CxBoundedText<32768> Description;
    int32_t DurationInMinutes = 0;
    double EndTime = 0;
    bool AllDayEvent = false;
    bool IsChild = false;
    bool IsDeleted = false;
    bool IsGroupEvent = false;
    bool IsPrivate = false;
    bool IsRecurrence = false;
    bool IsReminderSet = false;
    bool IsVisibleInSelfService = false;
    char Location[256] = {};
    char OwnerId[21] = {};
    char RecurrenceActivityId[21] = {};
    int32_t RecurrenceDayOfMonth = 0;
    int32_t RecurrenceDayOfWeekMask = 0;
    double RecurrenceEndDate = 0;
    int32_t RecurrenceInstance = 0;
    int32_t RecurrenceInterval = 0;
    int32_t RecurrenceMonthOfYear = 0;
    double RecurrenceStartTime = 0;
    char RecurrenceTimeZone[16] = {};
    int32_t RecurrenceType = 0;
    double ReminderTime = 0;
    char ShowAs[16] = {};
    char Subject[256] = {};
    double StartTime = 0;
    double CreationTime = 0;
    double LastModificationTime = 0;

    CommDateRec* Entry = nullptr;
    uint32_t Flags = 0;
    // Of a duplicate: the record that stays in its stead (set by matching).
    SFDateRec* KeptRecord = nullptr;
    CommDateRec* WalkEntry = nullptr;
};

struct SFTaskRec {
    int32_t ChangeAction = 0;
    int32_t HelperData = 0;
    char Id[32] = {};
    char AccountId[32] = {};
    double DueDate = 0;
    char CallDisposition[256] = {};
    int32_t CallDuration = 0;
    char CallObject[256] = {};
    char CallType[32] = {};
    CxBoundedText<8192> Description;
    bool Flag1 = false;
    bool Flag2 = false;
    bool Flag3 = false;
    bool Flag4 = false;
    char OwnerId[32] = {};
    char Priority[32] = {};
    double ReminderTime = 0;
    char TaskStatus[32] = {};
    char Subject[256] = {};
    char WhatId[32] = {};
    char WhoId[32] = {};
    double CreationTime = 0;
    double LastModificationTime = 0;

    CommTaskRec* Entry = nullptr;
    uint32_t Flags = 0;
    // Of a duplicate: the record that stays in its stead (set by matching).
    SFTaskRec* KeptRecord = nullptr;
    CommTaskRec* WalkEntry = nullptr;
};

struct SFNoteRec {
    int32_t ChangeAction = 0;
    int32_t HelperData = 0;

    CommNoteRec* Entry = nullptr;
    uint32_t Flags = 0;
    // Of a duplicate: the record that stays in its stead (set by matching).
    SFNoteRec* KeptRecord = nullptr;
    CommNoteRec* WalkEntry = nullptr;
};

// One record from / to the current position of an open data file, in file
// order. Reading fills a default-constructed record (a stored text longer than
// its member keeps what fits, cut at a character boundary, and the rest is
// skipped; a stored length of 0 or less gives an empty text). Both return true
// only when the file is open and every byte of the record, and of everything
// done with the file since it was opened, could be read or written: a false
// read means the file ended inside the record. ChangeAction is passed through
// as stored.
bool ReadAddrRecord(CxFile& file, SFAddrRec& rec);
bool WriteAddrRecord(CxFile& file, const SFAddrRec& rec);
bool ReadDateRecord(CxFile& file, SFDateRec& rec);
bool WriteDateRecord(CxFile& file, const SFDateRec& rec);
bool ReadTaskRecord(CxFile& file, SFTaskRec& rec);
bool WriteTaskRecord(CxFile& file, const SFTaskRec& rec);
bool ReadNoteRecord(CxFile& file, SFNoteRec& rec);
bool WriteNoteRecord(CxFile& file, const SFNoteRec& rec);

// The same, chosen by the record's type, for code shared by the kinds.
inline bool ReadSFRecord(CxFile& file, SFAddrRec& rec) {
    return ReadAddrRecord(file, rec);
}
inline bool ReadSFRecord(CxFile& file, SFDateRec& rec) {
    return ReadDateRecord(file, rec);
}
inline bool ReadSFRecord(CxFile& file, SFTaskRec& rec) {
    return ReadTaskRecord(file, rec);
}
inline bool ReadSFRecord(CxFile& file, SFNoteRec& rec) {
    return ReadNoteRecord(file, rec);
}
inline bool WriteSFRecord(CxFile& file, const SFAddrRec& rec) {
    return WriteAddrRecord(file, rec);
}
inline bool WriteSFRecord(CxFile& file, const SFDateRec& rec) {
    return WriteDateRecord(file, rec);
}
inline bool WriteSFRecord(CxFile& file, const SFTaskRec& rec) {
    return WriteTaskRecord(file, rec);
}
inline bool WriteSFRecord(CxFile& file, const SFNoteRec& rec) {
    return WriteNoteRecord(file, rec);
}

// The record count at the start of a data file; false when the file ends inside it.
bool ReadRecordCount(CxFile& file, uint32_t& count);
bool WriteRecordCount(CxFile& file, uint32_t count);
