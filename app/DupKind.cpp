#include "DupKind.h"

#include "DupHash.h"

#include <cmath>

namespace {

// Adds a number; false for NaN, which equals nothing.
inline bool AddNumber(uint64_t& hash, double value) {
    if (std::isnan(value))
        return false;
    hash = DupHashValue(hash, DupNumberBits(value));
    return true;
}

inline void AddInteger(uint64_t& hash, int64_t value) {
    hash = DupHashValue(hash, static_cast<uint64_t>(value));
}

} // namespace

void TDupKind<SFAddrRec>::GetRules(const TAppSettings& s, TDupRules<SFAddrRec>& rules) {
    using R = SFAddrRec;
    if (s.AddrDisplayName)
        rules.Add([](const R& r) -> const char* { return r.Name; });
    if (s.AddrFirstName)
        rules.Add([](const R& r) -> const char* { return r.FirstName; });
    if (s.AddrLastName)
        rules.Add([](const R& r) -> const char* { return r.LastName; });
    if (s.AddrDepartment)
        rules.Add([](const R& r) -> const char* { return r.Department; });
    if (s.AddrTitle)
        rules.Add([](const R& r) -> const char* { return r.Title; });
    if (s.AddrEmail)
        rules.Add([](const R& r) -> const char* { return r.Email; });
    if (s.AddrPhone) {
        rules.Add([](const R& r) -> const char* { return r.Phone; });
        rules.Add([](const R& r) -> const char* { return r.MobilePhone; });
        rules.Add([](const R& r) -> const char* { return r.OtherPhone; });
    }
    if (s.AddrAddress) {
        rules.Add([](const R& r) -> const char* { return r.MailingCity; });
        rules.Add([](const R& r) -> const char* { return r.MailingCountry; });
        rules.Add([](const R& r) -> const char* { return r.MailingPostalCode; });
        rules.Add([](const R& r) -> const char* { return r.MailingState; });
        rules.Add([](const R& r) -> const char* { return r.MailingStreet; });
        rules.Add([](const R& r) -> const char* { return r.OtherCity; });
        rules.Add([](const R& r) -> const char* { return r.OtherCountry; });
        rules.Add([](const R& r) -> const char* { return r.OtherPostalCode; });
        rules.Add([](const R& r) -> const char* { return r.OtherState; });
        rules.Add([](const R& r) -> const char* { return r.OtherStreet; });
    }
    if (s.AddrNote)
        rules.Add([](const R& r) -> const char* { return r.Description.c_str(); });
}

bool TDupKind<SFAddrRec>::FixedHash(const TAppSettings& s, const SFAddrRec& r, uint64_t& hash) {
    hash = 0;
    AddInteger(hash, r.ObjectKind);
    return !s.AddrBirthday || AddNumber(hash, r.BirthDate);
}

void TDupKind<SFDateRec>::GetRules(const TAppSettings& s, TDupRules<SFDateRec>& rules) {
    using R = SFDateRec;
    if (s.DateSubject)
        rules.Add([](const R& r) -> const char* { return r.Subject; });
    if (s.DateLocation)
        rules.Add([](const R& r) -> const char* { return r.Location; });
    if (s.DateNote)
        rules.Add([](const R& r) -> const char* { return r.Description.c_str(); });
}

bool TDupKind<SFDateRec>::FixedHash(const TAppSettings& s, const SFDateRec& r, uint64_t& hash) {
    hash = 0;
    if (s.DateStartTime && !AddNumber(hash, r.StartTime))
        return false;
    if (s.DateEndTime && !AddNumber(hash, r.EndTime))
        return false;
    if (s.DateAllDayEvent)
        AddInteger(hash, r.AllDayEvent);
    if (s.DateRecur) {
        AddInteger(hash, r.IsRecurrence);
        AddInteger(hash, r.RecurrenceDayOfMonth);
        AddInteger(hash, r.RecurrenceDayOfWeekMask);
        AddInteger(hash, r.RecurrenceInstance);
        AddInteger(hash, r.RecurrenceInterval);
        AddInteger(hash, r.RecurrenceType);
        if (!AddNumber(hash, r.RecurrenceEndDate) || !AddNumber(hash, r.RecurrenceStartTime))
            return false;
    }
    return true;
}

void TDupKind<SFTaskRec>::GetRules(const TAppSettings& s, TDupRules<SFTaskRec>& rules) {
    using R = SFTaskRec;
    if (s.TaskSubject)
        rules.Add([](const R& r) -> const char* { return r.Subject; });
    if (s.TaskImportance)
        rules.Add([](const R& r) -> const char* { return r.Priority; });
    if (s.TaskNote)
        rules.Add([](const R& r) -> const char* { return r.Description.c_str(); });
}

bool TDupKind<SFTaskRec>::FixedHash(const TAppSettings& s, const SFTaskRec& r, uint64_t& hash) {
    hash = 0;
    return !s.TaskDueDate || AddNumber(hash, r.DueDate);
}
