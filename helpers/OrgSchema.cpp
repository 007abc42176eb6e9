#include "OrgSchema.h"

#include <cstring>

namespace {

using T = OrgColumnType;

std::vector<OrgObject> BuildObjects() {
    std::vector<OrgObject> objects;
    objects.push_back({"Contact",
                       "003",
                       {{"AccountId", T::Text},
                        {"Salutation", T::Text},
                        {"FirstName", T::Text},
                        {"LastName", T::Text},
                        {"Name", T::Text},
                        {"Title", T::Text},
                        {"Department", T::Text},
                        {"Email", T::Text},
                        {"Phone", T::Text},
                        {"MobilePhone", T::Text},
                        {"HomePhone", T::Text},
                        {"OtherPhone", T::Text},
                        {"Fax", T::Text},
                        {"AssistantName", T::Text},
                        {"AssistantPhone", T::Text},
                        {"MailingStreet", T::Text},
                        {"MailingCity", T::Text},
                        {"MailingState", T::Text},
                        {"MailingPostalCode", T::Text},
                        {"MailingCountry", T::Text},
                        {"OtherStreet", T::Text},
                        {"OtherCity", T::Text},
                        {"OtherState", T::Text},
                        {"OtherPostalCode", T::Text},
                        {"OtherCountry", T::Text},
                        {"Birthdate", T::Date},
                        {"Description", T::Text},
                        {"LeadSource", T::Text},
                        {"DoNotCall", T::Bool},
                        {"HasOptedOutOfEmail", T::Bool},
                        {"HasOptedOutOfFax", T::Bool},
                        {"IsDeleted", T::Bool},
                        {"IsPersonAccount", T::Bool},
                        {"LastActivityDate", T::Date},
                        {"LastCURequestDate", T::DateTime},
                        {"LastCUUpdateDate", T::DateTime},
                        {"OwnerId", T::Text},
                        {"CreatedDate", T::DateTime},
                        {"LastModifiedDate", T::DateTime}}});
    objects.push_back({"Account",
                       "001",
                       {{"Name", T::Text},
                        {"AccountNumber", T::Text},
                        {"Type", T::Text},
                        {"Industry", T::Text},
                        {"AnnualRevenue", T::Real},
                        {"NumberOfEmployees", T::Integer},
                        {"Rating", T::Text},
                        {"Phone", T::Text},
                        {"Fax", T::Text},
                        {"Website", T::Text},
                        {"BillingStreet", T::Text},
                        {"BillingCity", T::Text},
                        {"BillingState", T::Text},
                        {"BillingPostalCode", T::Text},
                        {"BillingCountry", T::Text},
                        {"ShippingStreet", T::Text},
                        {"ShippingCity", T::Text},
                        {"ShippingState", T::Text},
                        {"ShippingPostalCode", T::Text},
                        {"ShippingCountry", T::Text},
                        {"Description", T::Text},
                        {"AccountSource", T::Text},
                        {"ParentId", T::Text},
                        {"IsDeleted", T::Bool},
                        {"IsPersonAccount", T::Bool},
                        {"LastActivityDate", T::Date},
                        {"OwnerId", T::Text},
                        {"CreatedDate", T::DateTime},
                        {"LastModifiedDate", T::DateTime}}});
    objects.push_back({"Lead",
                       "00Q",
                       {{"Salutation", T::Text},
                        {"FirstName", T::Text},
                        {"LastName", T::Text},
                        {"Name", T::Text},
                        {"Title", T::Text},
                        {"Company", T::Text},
                        {"Email", T::Text},
                        {"Phone", T::Text},
                        {"MobilePhone", T::Text},
                        {"Fax", T::Text},
                        {"Street", T::Text},
                        {"City", T::Text},
                        {"State", T::Text},
                        {"PostalCode", T::Text},
                        {"Country", T::Text},
                        {"Description", T::Text},
                        {"LeadSource", T::Text},
                        {"Status", T::Text},
                        {"Industry", T::Text},
                        {"AnnualRevenue", T::Real},
                        {"NumberOfEmployees", T::Integer},
                        {"Rating", T::Text},
                        {"DoNotCall", T::Bool},
                        {"HasOptedOutOfEmail", T::Bool},
                        {"HasOptedOutOfFax", T::Bool},
                        {"IsConverted", T::Bool},
                        {"IsDeleted", T::Bool},
                        {"LastActivityDate", T::Date},
                        {"OwnerId", T::Text},
                        {"CreatedDate", T::DateTime},
                        {"LastModifiedDate", T::DateTime}}});
    objects.push_back({"Event",
                       "00U",
                       {{"AccountId", T::Text},
                        {"WhoId", T::Text},
                        {"WhatId", T::Text},
                        {"Subject", T::Text},
                        {"Location", T::Text},
                        {"Description", T::Text},
                        {"ActivityDate", T::Date},
                        {"ActivityDateTime", T::DateTime},
                        {"StartDateTime", T::DateTime},
                        {"EndDateTime", T::DateTime},
                        {"DurationInMinutes", T::Integer},
                        {"IsAllDayEvent", T::Bool},
                        {"IsChild", T::Bool},
                        {"IsDeleted", T::Bool},
                        {"IsGroupEvent", T::Bool},
                        {"IsPrivate", T::Bool},
                        {"IsRecurrence", T::Bool},
                        {"IsReminderSet", T::Bool},
                        {"IsVisibleInSelfService", T::Bool},
                        {"ReminderDateTime", T::DateTime},
                        {"ShowAs", T::Text},
                        {"RecurrenceActivityId", T::Text},
                        {"RecurrenceType", T::Text},
                        {"RecurrenceInterval", T::Integer},
                        {"RecurrenceDayOfWeekMask", T::Integer},
                        {"RecurrenceDayOfMonth", T::Integer},
                        {"RecurrenceInstance", T::Text},
                        {"RecurrenceMonthOfYear", T::Text},
                        {"RecurrenceStartDateTime", T::DateTime},
                        {"RecurrenceEndDateOnly", T::Date},
                        {"RecurrenceTimeZoneSidKey", T::Text},
                        {"OwnerId", T::Text},
                        {"CreatedDate", T::DateTime},
                        {"LastModifiedDate", T::DateTime}}});
    objects.push_back({"Task", "00T", {{"AccountId", T::Text},
                                       {"WhoId", T::Text},
                                       {"WhatId", T::Text},
                                       {"Subject", T::Text},
                                       {"ActivityDate", T::Date},
                                       {"Status", T::Text},
                                       {"Priority", T::Text},
                                       {"IsHighPriority", T::Bool},
                                       {"IsClosed", T::Bool},
                                       {"IsReminderSet", T::Bool},
                                       {"IsRecurrence", T::Bool},
                                       {"ReminderDateTime", T::DateTime},
                                       {"Description", T::Text},
                                       {"CallType", T::Text},
                                       {"CallDurationInSeconds", T::Integer},
                                       {"CallDisposition", T::Text},
                                       {"CallObject", T::Text},
                                       {"IsDeleted", T::Bool},
                                       {"OwnerId", T::Text},
                                       {"CreatedDate", T::DateTime},
                                       {"LastModifiedDate", T::DateTime}}});
    objects.push_back({"Note",
                       "002",
                       {{"ParentId", T::Text},
                        {"Title", T::Text},
                        {"Body", T::Text},
                        {"IsPrivate", T::Bool},
                        {"IsDeleted", T::Bool},
                        {"OwnerId", T::Text},
                        {"CreatedDate", T::DateTime},
                        {"LastModifiedDate", T::DateTime}}});
    return objects;
}

const char* SqlType(OrgColumnType type) {
    switch (type) {
    case T::Integer:
    case T::Bool:
        return "INTEGER";
    case T::Real:
        return "REAL";
    default:
        return "TEXT";
    }
}

} // namespace

const std::vector<OrgObject>& OrgObjects() {
    static const std::vector<OrgObject> objects = BuildObjects();
    return objects;
}

const OrgObject* FindOrgObject(const char* name) {
    if (!name)
        return nullptr;
    for (const OrgObject& o : OrgObjects())
        if (std::strcmp(o.name, name) == 0)
            return &o;
    return nullptr;
}

std::string OrgSchemaSql() {
    std::string sql;
    for (const OrgObject& o : OrgObjects()) {
        sql += "CREATE TABLE \"";
        sql += o.name;
        sql += "\" (Seq INTEGER PRIMARY KEY, Id TEXT NOT NULL UNIQUE CHECK (length(Id) = 18)";
        for (const OrgColumn& c : o.columns) {
            sql += ", \"";
            sql += c.name;
            sql += "\" ";
            sql += SqlType(c.type);
        }
        sql += ");\n";
    }
    sql += "CREATE TABLE \"User\" (Seq INTEGER PRIMARY KEY, Id TEXT NOT NULL UNIQUE, "
           "Username TEXT NOT NULL UNIQUE COLLATE NOCASE, Password TEXT NOT NULL, "
           "SecurityToken TEXT NOT NULL DEFAULT '', Name TEXT, Email TEXT);\n";
    sql +=
        "CREATE TABLE RecycleBin (Seq INTEGER PRIMARY KEY, ObjectType TEXT NOT NULL, "
        "Id TEXT NOT NULL, DeletedDate TEXT NOT NULL, DeletedById TEXT, Record TEXT NOT NULL);\n";
    sql += "CREATE INDEX RecycleBinId ON RecycleBin (Id);\n";
    return sql;
}

std::string MakeRecordId(const char* keyPrefix, unsigned long long number) {
    static const char kBase62[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string id(keyPrefix ? keyPrefix : "000");
    id.resize(3, '0');
    // Body: a fixed two-character instance part and ten base-62 digits.
    char body[12] = {'T', 'm'};
    for (int i = 11; i >= 2; --i) {
        body[i] = kBase62[number % 62];
        number /= 62;
    }
    id.append(body, sizeof(body));
    // Suffix: for each five-character chunk, the bit pattern of its upper-case
    // letters, as one character of "A".."Z", "0".."5".
    static const char kSuffix[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    for (int chunk = 0; chunk < 3; ++chunk) {
        int bits = 0;
        for (int i = 0; i < 5; ++i) {
            char c = id[static_cast<size_t>(chunk * 5 + i)];
            if (c >= 'A' && c <= 'Z')
                bits |= 1 << i;
        }
        id += kSuffix[bits];
    }
    return id;
}
