// Rows of the local org's tables as the records of the data files.
//
// Every record gets ChangeAction 0 and HelperData = the row's Seq (0 when it
// does not fit an int32); a note record carries nothing else, so HelperData is
// what finds a note again at submit. Contacts come from three objects, told
// apart by ObjectKind.
#pragma once

#include "LocalOrg.h"
#include "SFRecords.h"

#include <cstdint>

enum ObjectKindCode : int32_t { kObjectContact = 1, kObjectAccount = 2, kObjectLead = 3 };

// Row is OrgRow (the local org), SfJsonRow (a record of the API) or FieldListRow
// (which only lists the fields a mapping reads). "Seq" is the row's number, not
// a field. Event and task date-times that the pages show come in local time;
// CreatedDate and LastModifiedDate stay in UTC, so "newest" holds across a
// daylight-saving change.
template <class Row> void MapContactRow(Row& row, SFAddrRec& rec);
template <class Row> void MapAccountRow(Row& row, SFAddrRec& rec);
template <class Row> void MapLeadRow(Row& row, SFAddrRec& rec);
template <class Row> void MapEventRow(Row& row, SFDateRec& rec);
template <class Row> void MapTaskRow(Row& row, SFTaskRec& rec);
template <class Row> void MapNoteRow(Row& row, SFNoteRec& rec);

// The picklist texts of an event's recurrence as the record's numbers; 0 for
// an empty or unknown text.
// RecurrenceType: RecursDaily 1, RecursEveryWeekday 2, RecursWeekly 3,
// RecursMonthly 4, RecursMonthlyNth 5, RecursYearly 6, RecursYearlyNth 7.
int32_t RecurrenceTypeCode(const char* text);
// RecurrenceInstance: First 1, Second 2, Third 3, Fourth 4, Last 5.
int32_t RecurrenceInstanceCode(const char* text);
// RecurrenceMonthOfYear: January 1 to December 12.
int32_t RecurrenceMonthCode(const char* text);
