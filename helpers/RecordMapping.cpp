#include "RecordMapping.h"

#include "CxText.h"
#include "SfJsonRow.h"

#include <cstring>

namespace {

template <class Row> int32_t HelperKey(Row& row) {
    int64_t seq = row.Int("Seq");
    return seq > 0 && seq <= INT32_MAX ? static_cast<int32_t>(seq) : 0;
}

int32_t CodeOf(const char* text, const char* const* names, size_t count) {
    if (!text)
        return 0;
    for (size_t i = 0; i < count; ++i)
        if (std::strcmp(text, names[i]) == 0)
            return static_cast<int32_t>(i + 1);
    return 0;
}

// A value the record does not hold as a member, kept in the next free custom
// slot under its label.
void PutCustom(SFAddrRec& rec, int& slot, const char* label, const char* value) {
    if (slot >= 10)
        return;
    CopyText(rec.CustomLabel[slot], label);
    CopyText(rec.CustomValue[slot], value);
    ++slot;
}

template <class Row> void MapTimes(Row& row, double& created, double& modified) {
    created = row.Date("CreatedDate");
    modified = row.Date("LastModifiedDate");
}

} // namespace

int32_t RecurrenceTypeCode(const char* text) {
    static const char* const kNames[] = {"RecursDaily",    "RecursEveryWeekday", "RecursWeekly",
                                         "RecursMonthly",  "RecursMonthlyNth",   "RecursYearly",
                                         "RecursYearlyNth"};
    return CodeOf(text, kNames, std::size(kNames));
}

int32_t RecurrenceInstanceCode(const char* text) {
    static const char* const kNames[] = {"First", "Second", "Third", "Fourth", "Last"};
    return CodeOf(text, kNames, std::size(kNames));
}

int32_t RecurrenceMonthCode(const char* text) {
    static const char* const kNames[] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};
    return CodeOf(text, kNames, std::size(kNames));
}

template <class Row> void MapContactRow(Row& row, SFAddrRec& rec) {
    rec.HelperData = HelperKey(row);
    rec.ObjectKind = kObjectContact;
    row.Text("Id", rec.Id);
    row.Text("AccountId", rec.AccountId);
    row.Text("AssistantName", rec.AssistantName);
    row.Text("AssistantPhone", rec.AssistantPhone);
    rec.BirthDate = row.Date("Birthdate");
    row.Text("Department", rec.Department);
    rec.Description.Set(row.Text("Description"));
    rec.DoNotCall = row.Bool("DoNotCall");
    row.Text("Email", rec.Email);
    row.Text("Fax", rec.Fax);
    row.Text("FirstName", rec.FirstName);
    rec.EmailOptOut = row.Bool("HasOptedOutOfEmail");
    rec.FaxOptOut = row.Bool("HasOptedOutOfFax");
    row.Text("HomePhone", rec.HasPhone);
    rec.IsDeleted = row.Bool("IsDeleted");
    rec.IsPersonAccount = row.Bool("IsPersonAccount");
    rec.LastActivityDate = row.Date("LastActivityDate");
    rec.LastStayInTouchRequestDate = row.Date("LastCURequestDate");
    rec.LastStayInTouchUpdateDate = row.Date("LastCUUpdateDate");
    row.Text("LastName", rec.LastName);
    row.Text("LeadSource", rec.LeadSource);
    row.Text("MailingCity", rec.MailingCity);
    row.Text("MailingCountry", rec.MailingCountry);
    row.Text("MailingPostalCode", rec.MailingPostalCode);
    row.Text("MailingState", rec.MailingState);
    row.Text("MailingStreet", rec.MailingStreet);
    row.Text("MobilePhone", rec.MobilePhone);
    row.Text("Name", rec.Name);
    row.Text("OtherCity", rec.OtherCity);
    row.Text("OtherCountry", rec.OtherCountry);
    row.Text("OtherPhone", rec.OtherPhone);
    row.Text("OtherPostalCode", rec.OtherPostalCode);
    row.Text("OtherState", rec.OtherState);
    row.Text("OtherStreet", rec.OtherStreet);
    row.Text("OwnerId", rec.OwnerId);
    row.Text("Phone", rec.Phone);
    row.Text("Salutation", rec.Salutation);
    row.Text("Title", rec.Title);
    MapTimes(row, rec.CreationTime, rec.LastModificationTime);
}

template <class Row> void MapAccountRow(Row& row, SFAddrRec& rec) {
    rec.HelperData = HelperKey(row);
    rec.ObjectKind = kObjectAccount;
    row.Text("Id", rec.Id);
    row.Text("Name", rec.Name);
    row.Text("Phone", rec.Phone);
    row.Text("Fax", rec.Fax);
    rec.Description.Set(row.Text("Description"));
    row.Text("AccountSource", rec.LeadSource);
    row.Text("OwnerId", rec.OwnerId);
    rec.IsDeleted = row.Bool("IsDeleted");
    rec.IsPersonAccount = row.Bool("IsPersonAccount");
    rec.LastActivityDate = row.Date("LastActivityDate");
    rec.AnnualRevenue = row.Real("AnnualRevenue");
    row.Text("Industry", rec.Industry);
    rec.NumberOfEmployees = row.Int32("NumberOfEmployees");
    row.Text("Rating", rec.Rating);
    // The billing address is the account's main address: it also fills the
    // mailing members that matching compares; the shipping address fills the
    // other address.
    row.Text("BillingStreet", rec.BillingStreet);
    row.Text("BillingCity", rec.BillingCity);
    row.Text("BillingState", rec.BillingState);
    row.Text("BillingPostalCode", rec.BillingPostalCode);
    row.Text("BillingCountry", rec.BillingCountry);
    CopyText(rec.MailingStreet, rec.BillingStreet);
    CopyText(rec.MailingCity, rec.BillingCity);
    CopyText(rec.MailingState, rec.BillingState);
    CopyText(rec.MailingPostalCode, rec.BillingPostalCode);
    CopyText(rec.MailingCountry, rec.BillingCountry);
    row.Text("ShippingStreet", rec.ShippingStreet);
    row.Text("ShippingCity", rec.ShippingCity);
    row.Text("ShippingState", rec.ShippingState);
    row.Text("ShippingPostalCode", rec.ShippingPostalCode);
    row.Text("ShippingCountry", rec.ShippingCountry);
    CopyText(rec.OtherStreet, rec.ShippingStreet);
    CopyText(rec.OtherCity, rec.ShippingCity);
    CopyText(rec.OtherState, rec.ShippingState);
    CopyText(rec.OtherPostalCode, rec.ShippingPostalCode);
    CopyText(rec.OtherCountry, rec.ShippingCountry);
    int slot = 0;
    PutCustom(rec, slot, "Account Number", row.Text("AccountNumber"));
    PutCustom(rec, slot, "Type", row.Text("Type"));
    PutCustom(rec, slot, "Website", row.Text("Website"));
    MapTimes(row, rec.CreationTime, rec.LastModificationTime);
}

template <class Row> void MapLeadRow(Row& row, SFAddrRec& rec) {
    rec.HelperData = HelperKey(row);
    rec.ObjectKind = kObjectLead;
    row.Text("Id", rec.Id);
    row.Text("Salutation", rec.Salutation);
    row.Text("FirstName", rec.FirstName);
    row.Text("LastName", rec.LastName);
    row.Text("Name", rec.Name);
    row.Text("Title", rec.Title);
    row.Text("Email", rec.Email);
    row.Text("Phone", rec.Phone);
    row.Text("MobilePhone", rec.MobilePhone);
    row.Text("Fax", rec.Fax);
    row.Text("Street", rec.MailingStreet);
    row.Text("City", rec.MailingCity);
    row.Text("State", rec.MailingState);
    row.Text("PostalCode", rec.MailingPostalCode);
    row.Text("Country", rec.MailingCountry);
    rec.Description.Set(row.Text("Description"));
    row.Text("LeadSource", rec.LeadSource);
    row.Text("Industry", rec.Industry);
    rec.AnnualRevenue = row.Real("AnnualRevenue");
    rec.NumberOfEmployees = row.Int32("NumberOfEmployees");
    row.Text("Rating", rec.Rating);
    rec.DoNotCall = row.Bool("DoNotCall");
    rec.EmailOptOut = row.Bool("HasOptedOutOfEmail");
    rec.FaxOptOut = row.Bool("HasOptedOutOfFax");
    rec.IsDeleted = row.Bool("IsDeleted");
    rec.LastActivityDate = row.Date("LastActivityDate");
    row.Text("OwnerId", rec.OwnerId);
    int slot = 0;
    PutCustom(rec, slot, "Company", row.Text("Company"));
    PutCustom(rec, slot, "Status", row.Text("Status"));
    MapTimes(row, rec.CreationTime, rec.LastModificationTime);
}

template <class Row> void MapEventRow(Row& row, SFDateRec& rec) {
    rec.HelperData = HelperKey(row);
    row.Text("Id", rec.Id);
    row.Text("AccountId", rec.AccountId);
    rec.ActivityDate = row.Date("ActivityDate");
    rec.ActivityDateTime = row.LocalDate("ActivityDateTime");
    rec.Description.Set(row.Text("Description"));
    rec.DurationInMinutes = row.Int32("DurationInMinutes");
    rec.EndTime = row.LocalDate("EndDateTime");
    rec.AllDayEvent = row.Bool("IsAllDayEvent");
    rec.IsChild = row.Bool("IsChild");
    rec.IsDeleted = row.Bool("IsDeleted");
    rec.IsGroupEvent = row.Bool("IsGroupEvent");
    rec.IsPrivate = row.Bool("IsPrivate");
    rec.IsRecurrence = row.Bool("IsRecurrence");
    rec.IsReminderSet = row.Bool("IsReminderSet");
    rec.IsVisibleInSelfService = row.Bool("IsVisibleInSelfService");
    row.Text("Location", rec.Location);
    row.Text("OwnerId", rec.OwnerId);
    row.Text("RecurrenceActivityId", rec.RecurrenceActivityId);
    rec.RecurrenceDayOfMonth = row.Int32("RecurrenceDayOfMonth");
    rec.RecurrenceDayOfWeekMask = row.Int32("RecurrenceDayOfWeekMask");
    rec.RecurrenceEndDate = row.Date("RecurrenceEndDateOnly");
    rec.RecurrenceInstance = RecurrenceInstanceCode(row.Text("RecurrenceInstance"));
    rec.RecurrenceInterval = row.Int32("RecurrenceInterval");
    rec.RecurrenceMonthOfYear = RecurrenceMonthCode(row.Text("RecurrenceMonthOfYear"));
    rec.RecurrenceStartTime = row.LocalDate("RecurrenceStartDateTime");
    row.Text("RecurrenceTimeZoneSidKey", rec.RecurrenceTimeZone);
    rec.RecurrenceType = RecurrenceTypeCode(row.Text("RecurrenceType"));
    rec.ReminderTime = row.LocalDate("ReminderDateTime");
    row.Text("ShowAs", rec.ShowAs);
    row.Text("Subject", rec.Subject);
    rec.StartTime = row.LocalDate("StartDateTime");
    MapTimes(row, rec.CreationTime, rec.LastModificationTime);
}

template <class Row> void MapTaskRow(Row& row, SFTaskRec& rec) {
    rec.HelperData = HelperKey(row);
    row.Text("Id", rec.Id);
    row.Text("AccountId", rec.AccountId);
    rec.DueDate = row.Date("ActivityDate");
    row.Text("CallDisposition", rec.CallDisposition);
    rec.CallDuration = row.Int32("CallDurationInSeconds");
    row.Text("CallObject", rec.CallObject);
    row.Text("CallType", rec.CallType);
    rec.Description.Set(row.Text("Description"));
    rec.Flag1 = row.Bool("IsClosed");
    rec.Flag2 = row.Bool("IsHighPriority");
    rec.Flag3 = row.Bool("IsReminderSet");
    rec.Flag4 = row.Bool("IsRecurrence");
    row.Text("OwnerId", rec.OwnerId);
    row.Text("Priority", rec.Priority);
    rec.ReminderTime = row.LocalDate("ReminderDateTime");
    row.Text("Status", rec.TaskStatus);
    row.Text("Subject", rec.Subject);
    row.Text("WhatId", rec.WhatId);
    row.Text("WhoId", rec.WhoId);
    MapTimes(row, rec.CreationTime, rec.LastModificationTime);
}

template <class Row> void MapNoteRow(Row& row, SFNoteRec& rec) {
    rec.HelperData = HelperKey(row);
}

// The rows the mapping reads: the local org's, the API's JSON records, and the
// row that only lists the fields asked for.
#define TESSMARK_MAP_ROWS(Row)                                                                     \
    template void MapContactRow<Row>(Row&, SFAddrRec&);                                            \
    template void MapAccountRow<Row>(Row&, SFAddrRec&);                                            \
    template void MapLeadRow<Row>(Row&, SFAddrRec&);                                               \
    template void MapEventRow<Row>(Row&, SFDateRec&);                                              \
    template void MapTaskRow<Row>(Row&, SFTaskRec&);                                               \
    template void MapNoteRow<Row>(Row&, SFNoteRec&);
TESSMARK_MAP_ROWS(OrgRow)
TESSMARK_MAP_ROWS(SfJsonRow)
TESSMARK_MAP_ROWS(FieldListRow)
