// Dates as the CRM's API writes them ("2024-05-31", "2024-05-31T14:30:00.000+0000")
// and as the data files hold them: automation dates, days since 1899-12-30 with
// the time of day as the fraction, in UTC.
#pragma once

#include <cstdint>
#include <string>

// Parses "YYYY-MM-DD", optionally followed by "T" (or a blank) "HH:MM:SS", a
// fraction of a second and a zone ("Z", "+HHMM", "+HH:MM", "-HH", ...); the
// result is the automation date of that moment in UTC, rounded to the nearest
// second. False for a null, empty or malformed text, or a date outside the
// years 100 to 9999; *out is then 0, which the data files read as no date.
bool IsoToAutomationDate(const char* text, double* out);
// The same, but a date-time is taken to the local time zone (as TZ says) before
// it becomes an automation date, so it reads as the user's wall-clock time; a
// date without a time is the date itself.
bool IsoToLocalAutomationDate(const char* text, double* out);

// Days between 1970-01-01 and the given civil date (negative before it).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);

// "YYYY-MM-DDTHH:MM:SS.000+0000" and "YYYY-MM-DD" for seconds since 1970-01-01 UTC.
std::string FormatIsoDateTime(int64_t unixSeconds);
std::string FormatIsoDate(int64_t unixSeconds);
