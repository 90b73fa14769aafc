// Automation dates against Python's datetime. The expected values were made once with
//   days = (date(y, m, d) - date(1899, 12, 30)).days
//   frac = (h * 3600 + mi * 60 + s) / 86400
//   ole  = days + frac if days >= 0 else days - frac
//   weekday = date(y, m, d).isoweekday() % 7 + 1     (1 Sunday .. 7 Saturday)
//   yday = date(y, m, d).timetuple().tm_yday
// run with /usr/bin/python3 and printed with repr().
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/core/ole_date.h"

namespace kp {
namespace {

struct DateCase {
    uint16_t y, m, d, h, mi, s;
    double ole;
    int32_t weekday;
    int32_t yday;
    bool splits;  // inside the range that SplitOleDate accepts
};

constexpr DateCase kDates[] = {
    {1899, 12, 30, 0, 0, 0, 0.0, 7, 364, true},
    {2000, 2, 29, 12, 0, 0, 36585.5, 3, 60, true},
    {1900, 1, 1, 0, 0, 0, 2.0, 2, 1, true},
    {1900, 2, 28, 23, 59, 59, 60.99998842592593, 4, 59, true},
    {1900, 3, 1, 0, 0, 0, 61.0, 5, 60, true},  // 1900 has no 29 February
    {1899, 12, 29, 6, 0, 0, -1.25, 6, 363, true},
    {1800, 6, 15, 18, 30, 15, -36357.771006944444, 1, 166, true},
    {100, 1, 1, 0, 0, 0, -657434.0, 6, 1, true},
    {100, 1, 1, 12, 0, 0, -657434.5, 6, 1, false},  // the range ends at -657434 itself
    {9999, 12, 31, 0, 0, 0, 2958465.0, 6, 365, true},
    {1970, 1, 1, 0, 0, 1, 25569.000011574073, 5, 1, true},
    {2026, 12, 10, 13, 31, 29, 46366.56353009259, 5, 344, true},
    {2024, 2, 29, 23, 59, 59, 45351.99998842592, 5, 60, true},
    {1600, 2, 29, 8, 15, 0, -109512.34375, 3, 60, true},
    {2100, 3, 1, 7, 7, 7, 73110.2966087963, 2, 60, true},
    {1, 1, 1, 0, 0, 0, -693593.0, 2, 1, false},
};

TEST(OleDate, MakeAndSplitAgreeWithPython) {
    for (const DateCase& c : kDates) {
        SCOPED_TRACE(::testing::Message()
                     << c.y << "-" << c.m << "-" << c.d << " " << c.h << ":" << c.mi << ":" << c.s);
        double ole = 12345.0;
        ASSERT_TRUE(MakeOleDate(c.y, c.m, c.d, c.h, c.mi, c.s, &ole));
        EXPECT_DOUBLE_EQ(ole, c.ole);

        OleDateFields f{};
        ASSERT_EQ(SplitOleDate(c.ole, &f), c.splits);
        if (!c.splits) continue;
        EXPECT_EQ(f.year, c.y);
        EXPECT_EQ(f.month, c.m);
        EXPECT_EQ(f.day, c.d);
        EXPECT_EQ(f.hour, c.h);
        EXPECT_EQ(f.minute, c.mi);
        EXPECT_EQ(f.second, c.s);
        EXPECT_EQ(f.weekday, c.weekday);
        EXPECT_EQ(f.dayOfYear, c.yday);
    }
}

TEST(OleDate, InvalidFieldsAreRefusedAndLeaveTheResult) {
    struct Bad {
        uint16_t y, m, d, h, mi, s;
        const char* why;
    };
    const Bad bad[] = {
        {1900, 2, 29, 0, 0, 0, "1900 is divisible by 100, not by 400"},
        {2100, 2, 29, 0, 0, 0, "2100 likewise"},
        {2023, 2, 29, 0, 0, 0, "not divisible by 4"},
        {10000, 1, 1, 0, 0, 0, "year above 9999"},
        {2000, 0, 1, 0, 0, 0, "month 0"},
        {2000, 13, 1, 0, 0, 0, "month 13"},
        {2000, 1, 0, 0, 0, 0, "day 0"},
        {2000, 1, 32, 0, 0, 0, "day past January"},
        {2000, 4, 31, 0, 0, 0, "day past April"},
        {2000, 1, 1, 24, 0, 0, "hour 24"},
        {2000, 1, 1, 0, 60, 0, "minute 60"},
        {2000, 1, 1, 0, 0, 60, "second 60"},
    };
    for (const Bad& b : bad) {
        double ole = 777.0;
        EXPECT_FALSE(MakeOleDate(b.y, b.m, b.d, b.h, b.mi, b.s, &ole)) << b.why;
        EXPECT_EQ(ole, 777.0) << b.why;
    }
}

TEST(OleDate, SplitRoundsToTheNearestSecond) {
    struct Round {
        double ole;
        int32_t y, m, d, h, mi, s;
    };
    const Round rounds[] = {
        {0.5 + 0.4 / 86400, 1899, 12, 30, 12, 0, 0},
        {0.5 + 0.6 / 86400, 1899, 12, 30, 12, 0, 1},
        {1.0 - 0.3 / 86400, 1899, 12, 31, 0, 0, 0},  // rounds into the next day
        // Before the epoch the fraction still runs forward from that day's midnight.
        {-1.0 - (86400 - 0.3) / 86400, 1899, 12, 30, 0, 0, 0},
        {-2.75, 1899, 12, 28, 18, 0, 0},
        {-0.25, 1899, 12, 30, 6, 0, 0},  // no day -0: same as +0.25
    };
    for (const Round& r : rounds) {
        OleDateFields f{};
        ASSERT_TRUE(SplitOleDate(r.ole, &f)) << r.ole;
        EXPECT_EQ(f.year, r.y) << r.ole;
        EXPECT_EQ(f.month, r.m) << r.ole;
        EXPECT_EQ(f.day, r.d) << r.ole;
        EXPECT_EQ(f.hour, r.h) << r.ole;
        EXPECT_EQ(f.minute, r.mi) << r.ole;
        EXPECT_EQ(f.second, r.s) << r.ole;
    }
}

TEST(OleDate, SplitRefusesDatesOutsideItsRange) {
    const double outside[] = {-657434.000001,
                              -657435.0,
                              2958465.000001,
                              2958466.0,
                              std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};
    for (double d : outside) {
        OleDateFields f{};
        f.year = -5;
        EXPECT_FALSE(SplitOleDate(d, &f)) << d;
        EXPECT_EQ(f.year, -5) << d;
    }
}

}  // namespace
}  // namespace kp
