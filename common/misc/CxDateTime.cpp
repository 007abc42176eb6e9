#include "CxDateTime.h"

#include "CxAssert.h"
#include "CxText.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double kSecondsPerDay = 86400.0;
// Day numbers of 0100-01-01 and 9999-12-31, counted from 1899-12-30.
constexpr double kFirstDay = -657434.0;
constexpr double kLastDay = 2958465.0;
// 1899-12-30 counted from 1970-01-01.
constexpr long long kEpochShift = -25569;

struct CivilDate {
    long long year;
    unsigned month;
    unsigned day;
};

// Proleptic Gregorian date of a day number counted from 1970-01-01.
CivilDate CivilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = static_cast<long long>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
    return {y, m, d};
}

void ClearFields(CxDateTime& out) {
    out.wYear = out.wMonth = out.wDayOfWeek = out.wDay = 0;
    out.wHour = out.wMinute = out.wSecond = out.wMilliseconds = 0;
}

// Writes text when it fits whole; otherwise leaves an empty text.
bool PutText(char* szBuf, size_t size, const char* text, int len) {
    if (size == 0)
        return false;
    if (len < 0 || static_cast<size_t>(len) >= size) {
        szBuf[0] = '\0';
        return false;
    }
    CopyText(szBuf, size, text);
    return true;
}

// The text of a value that has no calendar date: empty, and false.
bool ClearText(char* szBuf, size_t size) {
    if (size > 0)
        szBuf[0] = '\0';
    return false;
}

constexpr double kNoDate = 0.001;

template <typename Format> bool ValueToText(double date, char* buf, size_t size, Format format) {
    if (!buf || size == 0)
        return false;
    // The zero date and negative values mean "no date" in the data files.
    if (date < kNoDate)
        return PutText(buf, size, "N/A", 3);
    CxDateTime value(date);
    // A value without a calendar date reads as an empty text.
    return format(value, buf, size) || !value.m_bValid;
}

} // namespace

bool VariantTimeToCalendar(double date, CxDateTime& out) {
    out.m_dDate = date;
    ClearFields(out);
    out.m_bValid = false;
    // Also refuses NaN and the infinities.
    if (!(date > kFirstDay - 1.0 && date < kLastDay + 1.0))
        return false;

    // The integer part, taken toward zero, is the day; the fraction's absolute
    // value is the time of that day, for negative values too.
    double whole = std::trunc(date);
    long long day = static_cast<long long>(whole);
    long long seconds = std::llround(std::fabs(date - whole) * kSecondsPerDay);
    // Rounding to the second can reach midnight of the following day.
    if (seconds >= static_cast<long long>(kSecondsPerDay)) {
        seconds -= static_cast<long long>(kSecondsPerDay);
        ++day;
    }

    const long long unixDay = day + kEpochShift;
    const CivilDate civil = CivilFromDays(unixDay);
    if (civil.year < 100 || civil.year > 9999)
        return false;

    // 1970-01-01 was a Thursday (4, counting Sunday as 0).
    const long long weekday = ((unixDay + 4) % 7 + 7) % 7;
    out.wYear = static_cast<uint16_t>(civil.year);
    out.wMonth = static_cast<uint16_t>(civil.month);
    out.wDay = static_cast<uint16_t>(civil.day);
    out.wDayOfWeek = static_cast<uint16_t>(weekday);
    out.wHour = static_cast<uint16_t>(seconds / 3600);
    out.wMinute = static_cast<uint16_t>(seconds / 60 % 60);
    out.wSecond = static_cast<uint16_t>(seconds % 60);
    out.wMilliseconds = 0;
    out.m_bValid = true;
    return true;
}

CxDateTime::CxDateTime(double date) {
    VariantTimeToCalendar(date, *this);
}

CxDateTime::~CxDateTime() = default;

bool CxDateTime::FormatDate(char* szBuf, size_t size) const {
    // clang-format off
    CX_ASSERT(szBuf!=NULL);
    // clang-format on
    if (!m_bValid)
        return ClearText(szBuf, size);
    // The lists show the years 1931 to 2030 only; other years read as empty.
    if (wYear > 2030 || wYear <= 1930)
        return PutText(szBuf, size, "", 0);
    char text[32];
    int len = std::snprintf(text, sizeof(text), "%02d/%02d/%04d", wMonth, wDay, wYear);
    return PutText(szBuf, size, text, len);
}

bool CxDateTime::FormatTime(char* szBuf, size_t size) const {
    // clang-format off
    CX_ASSERT(szBuf!=NULL);
    // clang-format on
    if (!m_bValid)
        return ClearText(szBuf, size);
    char text[32];
    int len = std::snprintf(text, sizeof(text), "%02d:%02d:%02d", wHour, wMinute, wSecond);
    return PutText(szBuf, size, text, len);
}

bool DateToText(double date, char* buf, size_t size) {
    return ValueToText(date, buf, size, [](const CxDateTime& value, char* b, size_t n) {
        return value.FormatDate(b, n);
    });
}

bool TimeToText(double date, char* buf, size_t size) {
    return ValueToText(date, buf, size, [](const CxDateTime& value, char* b, size_t n) {
        return value.FormatTime(b, n);
    });
}
