// The common records: the entries the record collections keep, one per loaded
// record. NativeData/NativeSize decide ownership of an attached block: with a
// NativeSize above 0 the block belongs to the record (allocated with malloc),
// with 0 NativeData is a link that is never followed or freed.
//
// Records are value types: a default-constructed record is all zero, and a copy
// copies every member.
#pragma once

#include "CxBoundedText.h"

#include <cstdint>

// The source type of every record loaded from the CRM.
constexpr int32_t kSourceTypeSalesForce = 19;

struct CommAddrRec {
    void* NativeData = nullptr;
    uint32_t NativeSize = 0;
    int32_t SourceType = 0;

    char FirstName[32] = {};
    char LastName[32] = {};
    char FullName[32] = {};
    char Salutation[32] = {};
    char JobTitle[32] = {};
    char Department[32] = {};
    char AssistantName[32] = {};
    char AssistantPhone[24] = {};
    char Email[64] = {};
    char HomePhone[24] = {};
    char WorkPhone[24] = {};
    char MobilePhone[24] = {};
    char OtherPhone[24] = {};
    char Fax[24] = {};
    char WorkStreet[256] = {};
    char WorkCity[32] = {};
    char WorkState[32] = {};
    char WorkPostalCode[16] = {};
    char WorkCountry[32] = {};
    char OtherStreet[256] = {};
    char OtherCity[32] = {};
    char OtherState[32] = {};
    char OtherPostalCode[16] = {};
    char OtherCountry[32] = {};
    CxBoundedText<8192> Note;
    char Custom[10][64] = {};
    char LeadSource[32] = {};
    double Birthday = 0;
    double CreationTime = 0;
    double LastModificationTime = 0;
};

struct CommDateRec {
    void* NativeData = nullptr;
    uint32_t NativeSize = 0;
    int32_t SourceType = 0;
};

struct CommTaskRec {
    void* NativeData = nullptr;
    uint32_t NativeSize = 0;
    int32_t SourceType = 0;
};

struct CommNoteRec {
    void* NativeData = nullptr;
    uint32_t NativeSize = 0;
    int32_t SourceType = 0;
};
