// Automation dates (days since 1899-12-30, the time of day as the fraction)
// broken down into calendar fields, and the date and time texts of the lists.
#pragma once

#include <cstddef>
#include <cstdint>

class CxDateTime {
public:
    explicit CxDateTime(double date);
    virtual ~CxDateTime();

    // "%02d/%02d/%04d" month/day/year; an empty text outside the years 1931 to 2030.
    // An invalid value, or a buffer too small for the whole text, gives an empty
    // text and false. szBuf must not be null (fatal assertion).
    bool FormatDate(char* szBuf, size_t size) const;
    // "%02d:%02d:%02d", 24-hour clock; invalid value and small buffer as above.
    bool FormatTime(char* szBuf, size_t size) const;

    double m_dDate;
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek; // 0 = Sunday
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
    bool m_bValid;
};

// Breaks an automation date down, rounded to the nearest second; false (all
// fields 0, m_bValid false) for a value outside the years 100 to 9999 or not a
// number. For a negative value the integer part is the day and the absolute
// fraction the time of that day.
bool VariantTimeToCalendar(double date, CxDateTime& out);

// "N/A" for a value below 0.001; otherwise the date (or the time of day), and
// an empty text for a value with no calendar date. False when the buffer is
// null, its size 0 or too small for the whole text (which leaves it empty).
bool DateToText(double date, char* buf, size_t size);
bool TimeToText(double date, char* buf, size_t size);
