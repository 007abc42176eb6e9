// The tables of a local org: one table per CRM object, named after the object,
// with columns named after the object's API fields; a User table for the login
// and a RecycleBin table that keeps every deleted row.
//
// Every object table starts with Seq, a stable row number (INTEGER PRIMARY KEY,
// kept by VACUUM), and Id, the record's unique 18-character id. Dates are text
// as the API gives them: "2024-05-31" for date fields, "2024-05-31T14:30:00.000+0000"
// for date-time fields; flags are 0 or 1.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class OrgColumnType { Text, Integer, Real, Bool, Date, DateTime };

struct OrgColumn {
    const char* name;
    OrgColumnType type;
};

struct OrgObject {
    const char* name;               // table and object name, e.g. "Contact"
    const char* keyPrefix;          // first three characters of every Id, e.g. "003"
    std::vector<OrgColumn> columns; // after Seq and Id
};

// Contact, Account, Lead, Event, Task and Note, in this order.
const std::vector<OrgObject>& OrgObjects();
// The object of that name (exact spelling), or null.
const OrgObject* FindOrgObject(const char* name);

// The statements that create every table of an empty org.
std::string OrgSchemaSql();

// An 18-character record id: the object's key prefix, a 12-character
// case-sensitive body made from number, and the 3-character case-insensitive
// suffix that makes the id unique without regard to case.
std::string MakeRecordId(const char* keyPrefix, unsigned long long number);
