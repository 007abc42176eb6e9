#include "CxDateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

// Day numbers counted from 1899-12-30.
constexpr double k2012May04 = 41033;
constexpr double k1930Dec31 = 11323;
constexpr double k2030Dec31 = 47848;
constexpr double kSecond = 1.0 / 86400;

// ---- breaking a value down ----

struct CalendarCase {
    const char* name;
    double value;
    int year, month, day, dayOfWeek, hour, minute, second;
};

class Calendar : public ::testing::TestWithParam<CalendarCase> {};

TEST_P(Calendar, BreaksTheValueDown) {
    const CalendarCase& c = GetParam();
    CxDateTime dt(c.value);
    ASSERT_TRUE(dt.m_bValid);
    EXPECT_EQ(dt.m_dDate, c.value);
    EXPECT_EQ(dt.wYear, c.year);
    EXPECT_EQ(dt.wMonth, c.month);
    EXPECT_EQ(dt.wDay, c.day);
    EXPECT_EQ(dt.wDayOfWeek, c.dayOfWeek);
    EXPECT_EQ(dt.wHour, c.hour);
    EXPECT_EQ(dt.wMinute, c.minute);
    EXPECT_EQ(dt.wSecond, c.second);
    EXPECT_EQ(dt.wMilliseconds, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Calendar,
    ::testing::Values(
        CalendarCase{"Epoch", 0.0, 1899, 12, 30, 6, 0, 0, 0},
        CalendarCase{"May2012Evening", k2012May04 + 0.75, 2012, 5, 4, 5, 18, 0, 0},
        CalendarCase{"Before1900Mar01", 60, 1900, 2, 28, 3, 0, 0, 0},
        CalendarCase{"Mar1900", 61, 1900, 3, 1, 4, 0, 0, 0},
        CalendarCase{"LeapDay2000", 36585, 2000, 2, 29, 2, 0, 0, 0},
        CalendarCase{"RoundsDown", k2012May04 + 0.5 + 0.4 * kSecond, 2012, 5, 4, 5, 12, 0, 0},
        CalendarCase{"RoundsUp", k2012May04 + 0.5 + 0.6 * kSecond, 2012, 5, 4, 5, 12, 0, 1},
        CalendarCase{"RollsIntoNextDay", k2012May04 + 86399.6 * kSecond, 2012, 5, 5, 6, 0, 0, 0},
        CalendarCase{"StaysOnItsDay", k2012May04 + 86399.4 * kSecond, 2012, 5, 4, 5, 23, 59, 59},
        // Negative values: the day toward zero, the fraction's absolute value as time.
        CalendarCase{"NegativeQuarter", -1.25, 1899, 12, 29, 5, 6, 0, 0},
        CalendarCase{"NegativeHalfDay", -0.5, 1899, 12, 30, 6, 12, 0, 0},
        CalendarCase{"NegativeRollsTowardLater", -1 - 86399.6 * kSecond, 1899, 12, 30, 6, 0, 0, 0},
        CalendarCase{"FirstDay", -657434.0, 100, 1, 1, 5, 0, 0, 0},
        CalendarCase{"FirstDayEvening", -657434.75, 100, 1, 1, 5, 18, 0, 0},
        CalendarCase{"LastSecond", 2958465.99999, 9999, 12, 31, 5, 23, 59, 59}),
    [](const ::testing::TestParamInfo<CalendarCase>& info) { return info.param.name; });

class OutOfRange : public ::testing::TestWithParam<double> {};

TEST_P(OutOfRange, IsInvalidWithClearedFields) {
    CxDateTime dt(GetParam());
    EXPECT_FALSE(dt.m_bValid);
    EXPECT_EQ(dt.wYear, 0);
    EXPECT_EQ(dt.wMonth, 0);
    EXPECT_EQ(dt.wDay, 0);
    char date[32] = "x";
    char time[32] = "x";
    EXPECT_FALSE(dt.FormatDate(date, sizeof(date)));
    EXPECT_FALSE(dt.FormatTime(time, sizeof(time)));
    EXPECT_STREQ(date, "");
    EXPECT_STREQ(time, "");
}

INSTANTIATE_TEST_SUITE_P(Values, OutOfRange,
                         ::testing::Values(-657435.0, 2958466.0,
                                           2958465.999995, // rounds into the year 10000
                                           1e300, -1e300, std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity()));

// ---- the texts of the lists ----

struct TextCase {
    double value;
    const char* date;
    const char* time;
};

class Texts : public ::testing::TestWithParam<TextCase> {};

TEST_P(Texts, DateAndTimeOfTheValue) {
    const TextCase& c = GetParam();
    char date[32];
    char time[32];
    std::memset(date, '#', sizeof(date));
    std::memset(time, '#', sizeof(time));
    EXPECT_TRUE(DateToText(c.value, date, sizeof(date)));
    EXPECT_TRUE(TimeToText(c.value, time, sizeof(time)));
    EXPECT_STREQ(date, c.date);
    EXPECT_STREQ(time, c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Texts,
    ::testing::Values(TextCase{0.0, "N/A", "N/A"}, TextCase{0.0009, "N/A", "N/A"},
                      TextCase{-2.5, "N/A", "N/A"},
                      // 0.001 is a value: its year is not shown, its time is 86.4 s.
                      TextCase{0.001, "", "00:01:26"},
                      TextCase{k2012May04, "05/04/2012", "00:00:00"},
                      TextCase{k2012May04 + 0.75, "05/04/2012", "18:00:00"},
                      TextCase{k2012May04 + 86399.6 * kSecond, "05/05/2012", "00:00:00"},
                      // Only the years 1931 to 2030 are shown.
                      TextCase{k1930Dec31 + 0.5, "", "12:00:00"},
                      TextCase{k1930Dec31 + 1, "01/01/1931", "00:00:00"},
                      TextCase{k2030Dec31 + 0.5, "12/31/2030", "12:00:00"},
                      TextCase{k2030Dec31 + 1, "", "00:00:00"},
                      // Rounding decides the year too.
                      TextCase{k2030Dec31 + 86399.6 * kSecond, "", "00:00:00"},
                      TextCase{std::numeric_limits<double>::quiet_NaN(), "", ""}));

TEST(Texts, RefuseMissingOrTooSmallBuffer) {
    char buf[11];
    EXPECT_FALSE(DateToText(k2012May04, nullptr, 32));
    EXPECT_FALSE(TimeToText(k2012May04, nullptr, 32));
    std::strcpy(buf, "keep");
    EXPECT_FALSE(DateToText(k2012May04, buf, 0));
    EXPECT_FALSE(TimeToText(k2012May04, buf, 0));
    EXPECT_STREQ(buf, "keep");

    // A text that does not fit whole is not cut to a wrong date: it is empty.
    EXPECT_FALSE(DateToText(k2012May04, buf, 10));
    EXPECT_STREQ(buf, "");
    EXPECT_TRUE(DateToText(k2012May04, buf, 11));
    EXPECT_STREQ(buf, "05/04/2012");
    EXPECT_FALSE(TimeToText(k2012May04, buf, 8));
    EXPECT_STREQ(buf, "");
    EXPECT_TRUE(TimeToText(k2012May04, buf, 9));
    EXPECT_STREQ(buf, "00:00:00");
    EXPECT_FALSE(DateToText(0.0, buf, 3));
    EXPECT_STREQ(buf, "");
}

TEST(CxDateTimeDeathTest, FormattersAssertABuffer) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CxDateTime dt(k2012May04);
    EXPECT_DEATH(dt.FormatDate(nullptr, 32), "Assertion failed: szBuf!=NULL, file .*CxDateTime");
    EXPECT_DEATH(dt.FormatTime(nullptr, 32), "Assertion failed: szBuf!=NULL, file .*CxDateTime");
}

} // namespace
