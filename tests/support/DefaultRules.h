// The duplicate rules as the settings file gives them by default, for the
// tests and benchmarks that match without reading a settings file.
#pragma once

#include "Apputil.h"

namespace testsupport {

inline void SetDefaultRules(TAppSettings& s) {
    s.CaseSensitive = false;
    s.CompareEmpty = false;
    s.AddrDisplayName = s.AddrFirstName = s.AddrLastName = s.AddrEmail = true;
    s.AddrDepartment = s.AddrTitle = s.AddrPhone = s.AddrAddress = false;
    s.AddrBirthday = s.AddrNote = false;
    s.DateSubject = s.DateStartTime = s.DateEndTime = s.DateAllDayEvent = true;
    s.DateLocation = s.DateRecur = s.DateNote = false;
    s.TaskSubject = s.TaskImportance = s.TaskDueDate = true;
    s.TaskNote = false;
}

} // namespace testsupport
