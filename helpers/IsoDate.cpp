#include "IsoDate.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Days from 1899-12-30 (automation day 0) to 1970-01-01.
constexpr int64_t kAutomationEpochDays = 25569;

bool Digits(const char*& p, int count, int* value) {
    int v = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        v = v * 10 + (p[i] - '0');
    }
    p += count;
    *value = v;
    return true;
}

unsigned DaysInMonth(int year, int month) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// A zone designator at p: "Z", or a sign, two hour digits and optionally two
// minute digits with or without a colon. Sets the offset east of UTC in seconds.
bool ParseZone(const char*& p, int* offsetSeconds) {
    *offsetSeconds = 0;
    if (*p == 'Z') {
        ++p;
        return true;
    }
    if (*p != '+' && *p != '-')
        return false;
    int sign = *p == '-' ? -1 : 1;
    ++p;
    int hours = 0, minutes = 0;
    if (!Digits(p, 2, &hours))
        return false;
    if (*p == ':')
        ++p;
    if (*p >= '0' && *p <= '9' && !Digits(p, 2, &minutes))
        return false;
    if (hours > 23 || minutes > 59)
        return false;
    *offsetSeconds = sign * (hours * 3600 + minutes * 60);
    return true;
}

} // namespace

int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

namespace {

// Parses the text into seconds since 1970-01-01 UTC; dateOnly tells a text
// without a time of day.
bool ParseIso(const char* text, int64_t* unixSeconds, bool* dateOnly) {
    if (!text)
        return false;
    const char* p = text;
    int year = 0, month = 0, day = 0;
    if (!Digits(p, 4, &year) || *p++ != '-' || !Digits(p, 2, &month) || *p++ != '-' ||
        !Digits(p, 2, &day))
        return false;
    if (year < 100 || month < 1 || month > 12 || day < 1 ||
        static_cast<unsigned>(day) > DaysInMonth(year, month))
        return false;

    int hour = 0, minute = 0, second = 0, offset = 0;
    double fraction = 0;
    *dateOnly = true;
    if (*p == 'T' || *p == ' ') {
        *dateOnly = false;
        ++p;
        if (!Digits(p, 2, &hour) || *p++ != ':' || !Digits(p, 2, &minute))
            return false;
        if (*p == ':') {
            ++p;
            if (!Digits(p, 2, &second))
                return false;
            if (*p == '.') {
                ++p;
                double scale = 0.1;
                if (*p < '0' || *p > '9')
                    return false;
                for (; *p >= '0' && *p <= '9'; ++p, scale /= 10)
                    fraction += (*p - '0') * scale;
            }
        }
        if (hour > 23 || minute > 59 || second > 59)
            return false;
        if (*p && !ParseZone(p, &offset))
            return false;
    }
    if (*p)
        return false;
    *unixSeconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                   offset + static_cast<int64_t>(std::lround(fraction));
    return true;
}

// Automation dates keep the day in the integer part and the time of day in the
// fraction's absolute value, so a moment before 1899-12-30 counts its time away
// from zero (06:00 on 1899-12-29 is -1.25).
double SecondsToAutomationDate(int64_t unixSeconds) {
    int64_t seconds = unixSeconds + kAutomationEpochDays * 86400;
    int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    double time = static_cast<double>(seconds - days * 86400) / 86400.0;
    return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

} // namespace

bool IsoToAutomationDate(const char* text, double* out) {
    if (out)
        *out = 0;
    int64_t seconds = 0;
    bool dateOnly = false;
    if (!out || !ParseIso(text, &seconds, &dateOnly))
        return false;
    *out = SecondsToAutomationDate(seconds);
    return true;
}

bool IsoToLocalAutomationDate(const char* text, double* out) {
    if (out)
        *out = 0;
    int64_t seconds = 0;
    bool dateOnly = false;
    if (!out || !ParseIso(text, &seconds, &dateOnly))
        return false;
    if (!dateOnly) {
        // The local wall-clock time of that moment, counted as if it were UTC.
        time_t t = static_cast<time_t>(seconds);
        struct tm local {};
        if (!localtime_r(&t, &local))
            return false;
        seconds += local.tm_gmtoff;
    }
    *out = SecondsToAutomationDate(seconds);
    return true;
}

namespace {

void CivilFromDays(int64_t z, int* year, unsigned* month, unsigned* day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *day = doy - (153 * mp + 2) / 5 + 1;
    *month = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (*month <= 2));
}

void Split(int64_t unixSeconds, int64_t* days, int64_t* secondOfDay) {
    *days = unixSeconds >= 0 ? unixSeconds / 86400 : -((-unixSeconds + 86399) / 86400);
    *secondOfDay = unixSeconds - *days * 86400;
}

} // namespace

std::string FormatIsoDateTime(int64_t unixSeconds) {
    int64_t days, sod;
    Split(unixSeconds, &days, &sod);
    int year;
    unsigned month, day;
    CivilFromDays(days, &year, &month, &day);
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%04d-%02u-%02uT%02d:%02d:%02d.000+0000", year, month, day,
                  static_cast<int>(sod / 3600), static_cast<int>(sod / 60 % 60),
                  static_cast<int>(sod % 60));
    return buf;
}

std::string FormatIsoDate(int64_t unixSeconds) {
    int64_t days, sod;
    Split(unixSeconds, &days, &sod);
    int year;
    unsigned month, day;
    CivilFromDays(days, &year, &month, &day);
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%04d-%02u-%02u", year, month, day);
    return buf;
}
