// The standard paper sizes, the length-unit conversions, the resolution of a device and the
// rules of automation dates, written out once more by hand and held against the engine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <iomanip>
#include <map>
#include <utility>
#include <vector>

#include "engine/core/ole_date.h"
#include "engine/core/paper.h"
#include "engine/core/units.h"

namespace {

using namespace kp;

// ---------------------------------------------------------------------------------------------
// Paper sizes: codes sharing one size, width x height in 0.1 mm.

struct PaperRow {
    std::vector<int32_t> codes;
    int32_t width;
    int32_t height;
};

const PaperRow kPapers[] = {
    {{1, 2, 18, 54}, 2159, 2794},
    {{3, 17}, 2794, 4318},
    {{4}, 4318, 2794},
    {{5}, 2159, 3556},
    {{6}, 1397, 2159},
    {{7}, 1842, 2667},
    {{8, 67}, 2970, 4200},
    {{9, 10, 55}, 2100, 2970},
    {{11, 61}, 1480, 2100},
    {{12}, 2570, 3640},
    {{13, 62}, 1820, 2570},
    {{14, 41}, 2159, 3302},
    {{15}, 2150, 2750},
    {{16}, 2540, 3556},
    {{19}, 984, 2254},
    {{20}, 1048, 2413},
    {{21}, 1143, 2635},
    {{22}, 1207, 2794},
    {{23}, 1270, 2921},
    {{24}, 4318, 5588},
    {{25}, 5588, 8636},
    {{26}, 8636, 11176},
    {{27, 100}, 1100, 2200},
    {{28}, 1620, 2290},
    {{29, 105}, 3240, 4580},
    {{30, 104}, 2290, 3240},
    {{31}, 1140, 1620},
    {{32}, 1140, 2290},
    {{33, 42}, 2500, 3530},
    {{34}, 1760, 2500},
    {{35, 111}, 1760, 1250},
    {{36}, 1100, 2300},
    {{37}, 984, 1905},
    {{38}, 921, 1651},
    {{39}, 3778, 2794},
    {{40}, 2159, 3048},
    {{43}, 1000, 1480},
    {{44}, 2286, 2794},
    {{45}, 2540, 2794},
    {{46}, 3810, 2794},
    {{47}, 2200, 2200},
    {{50, 56}, 2413, 3048},
    {{51}, 2413, 3810},
    {{52}, 2969, 4572},
    {{53}, 2355, 3223},
    {{57}, 2270, 3560},
    {{58}, 3050, 4870},
    {{59}, 2159, 3223},
    {{60}, 2100, 3300},
    {{63, 68}, 3220, 4450},
    {{64}, 1740, 2350},
    {{65}, 2010, 2760},
    {{66}, 4200, 5940},
    {{69}, 2000, 1480},
    {{70}, 1050, 1480},
    {{71}, 2400, 3320},
    {{72}, 2160, 2770},
    {{73}, 1200, 2350},
    {{74}, 900, 2050},
    {{75}, 2794, 2159},
    {{76}, 4200, 2970},
    {{77}, 2970, 2100},
    {{78}, 2100, 1480},
    {{79}, 3640, 2570},
    {{80}, 2570, 1820},
    {{81}, 1480, 1000},
    {{82}, 1480, 2000},
    {{83}, 1480, 1050},
    {{84}, 3320, 2400},
    {{85}, 2770, 2160},
    {{86}, 2350, 1200},
    {{87}, 2050, 900},
    {{88}, 1280, 1820},
    {{89}, 1820, 1280},
    {{90}, 3049, 2795},
    {{91}, 1050, 2350},
    {{92}, 2350, 1050},  // the rotated 91, not a misprinted 1350
    {{93}, 1460, 2150},
    {{94}, 970, 1510},
    {{95}, 1010, 1600},
    {{96}, 1020, 1650},
    {{97}, 1100, 1760},
    {{98}, 1250, 1760},
    {{99}, 1100, 2080},
    {{101}, 1200, 2300},
    {{102}, 1600, 2300},
    {{103}, 1200, 3090},
    {{106}, 2150, 1460},
    {{107}, 1510, 970},
    {{108}, 1600, 1010},
    {{109}, 1650, 1020},
    {{110}, 1760, 1100},
    {{112}, 2080, 1100},
    {{113}, 2200, 1100},
    {{114}, 2300, 1200},
    {{115}, 2300, 1600},
    {{116}, 3090, 1200},
    {{117}, 3240, 2290},
    {{118}, 4580, 3240},
};

TEST(PaperCheck, EveryCodeFromMinusOneTo400) {
    std::map<int32_t, std::pair<int32_t, int32_t>> sizes;
    for (const auto& row : kPapers) {
        for (int32_t code : row.codes) {
            ASSERT_TRUE(sizes.emplace(code, std::make_pair(row.width, row.height)).second)
                << "code " << code << " twice in the transcription";
        }
    }
    ASSERT_EQ(sizes.size(), 47u + 69u) << "1-47 and 50-118";

    for (int32_t code = -1; code <= 400; ++code) {
        SCOPED_TRACE(code);
        const auto it = sizes.find(code);
        if (it != sizes.end()) {
            EXPECT_TRUE(IsKnownPaperSize(code));
            const int32_t want = (it->second.first << 16) | it->second.second;
            EXPECT_EQ(GetPaperDimensions(code), want)
                << GetPaperDimensions(code) / 65536 << " x " << GetPaperDimensions(code) % 65536
                << ", want " << it->second.first << " x " << it->second.second;
        } else {
            EXPECT_EQ(IsKnownPaperSize(code), code == 256);
            EXPECT_EQ(GetPaperDimensions(code), -1);
        }
    }
    EXPECT_EQ(kPaperUserDefined, 256);
}

// ---------------------------------------------------------------------------------------------
// Length units

struct UnitCase {
    LengthUnitKind kind;
    int32_t axis;
    uint16_t first;
    uint16_t second;
    int32_t value;
    int32_t internal;  // ConvertUnitsIn's answer, or (for out cases) the input
    const char* why;
};

TEST(UnitsCheck, IntoInternalLengths) {
    const UnitCase cases[] = {
        {1, 0, 0, 0, 1, 100, "0.01 mm is 100 internal units"},
        {1, 1, 0, 0, -37, -3700, "negative"},
        {1, 0, 0, 0, 0, 0, "zero"},
        {2, 0, 0, 0, 1, 254, "0.001 inch"},
        {2, 0, 0, 0, -1, -254, "negative inch"},
        {2, 0, 0, 0, 3, 762, "(c x 10) x 25.4"},
        {2, 0, 0, 0, 7, 1778, ""},
        {2, 0, 0, 0, -7, -1778, ""},
        {2, 1, 0, 0, 12345, 3135630, ""},
        {2, 0, 0, 0, 1000000, 254000000, ""},
        {3, 0, 254, 1, 10, 10, "d = 254: one unit each"},
        {3, 0, 100, 7, 10, 25, "axis 0 takes the first value: 25.4 rounds to 25"},
        {3, 1, 7, 100, 10, 25, "axis 1 takes the second value"},
        {3, 0, 100, 7, -10, -25, "negative rounds away from zero"},
        {3, 0, 3, 1, 1, 85, "84.67 rounds to 85"},
        {3, 0, 3, 1, -1, -85, ""},
        {3, 0, 3, 1, 2, 169, "169.33"},
        {3, 1, 1, 7, -5, -181, "181.43"},
        {3, 0, 10, 1, 1000, 25400, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "kind " << c.kind << " value " << c.value << " " << c.why);
        int32_t out = 0x5A5A5A5A;
        EXPECT_EQ(ConvertUnitsIn(c.kind, c.axis, c.first, c.second, c.value, &out), 0);
        EXPECT_EQ(out, c.internal);
    }
    for (LengthUnitKind kind : {0, 4, -1}) {
        int32_t out = 0x5A5A5A5A;
        EXPECT_EQ(ConvertUnitsIn(kind, 0, 254, 254, 10, &out), 0);
        EXPECT_EQ(out, 0x5A5A5A5A) << "kind " << kind << " writes nothing";
    }
    EXPECT_EQ(kUnitHundredthMm, 1);
    EXPECT_EQ(kUnitThousandthInch, 2);
    EXPECT_EQ(kUnitCharacterCell, 3);
    EXPECT_EQ(kAxisVertical, 0);
    EXPECT_EQ(kAxisHorizontal, 1);
}

TEST(UnitsCheck, OutOfInternalLengths) {
    struct {
        LengthUnitKind kind;
        int32_t axis;
        uint16_t first;
        uint16_t second;
        int32_t internal;
        int32_t value;
    } const cases[] = {
        {1, 0, 0, 0, 150, 2},        {1, 0, 0, 0, -150, -2},       {1, 0, 0, 0, 149, 1},
        {1, 0, 0, 0, 49, 0},         {1, 0, 0, 0, 50, 1},          {1, 0, 0, 0, -49, 0},
        {1, 0, 0, 0, -50, -1},       {1, 0, 0, 0, 0, 0},           {1, 1, 0, 0, 254000, 2540},
        {2, 0, 0, 0, 127, 1},        {2, 0, 0, 0, 126, 0},         {2, 0, 0, 0, -127, -1},
        {2, 0, 0, 0, -126, 0},       {2, 0, 0, 0, 254, 1},         {2, 0, 0, 0, 381, 2},
        {2, 0, 0, 0, -381, -2},      {2, 0, 0, 0, 635, 3},         {2, 1, 0, 0, 1000, 4},
        {2, 0, 0, 0, -1000, -4},     {2, 0, 0, 0, 2540000, 10000}, {3, 0, 254, 1, 10, 10},
        {3, 0, 100, 1, 25, 10},      {3, 0, 100, 1, -25, -10},     {3, 0, 100, 1, 127, 50},
        {3, 1, 1, 100, -127, -50},   {3, 0, 3, 1, 85, 1},          {3, 1, 1, 3, -84, -1},
        {3, 0, 10, 254, 12700, 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "kind " << c.kind << " axis " << c.axis << " internal " << c.internal);
        int32_t out = 0x5A5A5A5A;
        EXPECT_EQ(ConvertUnitsOut(c.kind, c.axis, c.first, c.second, c.internal, &out), 0);
        EXPECT_EQ(out, c.value);
    }
    for (LengthUnitKind kind : {0, 4, -1}) {
        int32_t out = 0x5A5A5A5A;
        EXPECT_EQ(ConvertUnitsOut(kind, 0, 254, 254, 10, &out), 0);
        EXPECT_EQ(out, 0x5A5A5A5A) << "kind " << kind << " writes nothing";
    }
}

TEST(UnitsCheck, DotsPerInch) {
    struct {
        DeviceMetrics device;
        int32_t x;
        int32_t y;
        const char* why;
    } const cases[] = {
        // A screen: pixels x 25.4 (as a single-precision constant) / millimetres + 0.5.
        {{true, 1920, 1080, 508, 286, 0, 0}, 96, 96, "96.5 and 96.42 truncate"},
        {{true, 1366, 768, 361, 203, 10, 10}, 96, 96, "logical values are not used"},
        {{true, 5, 1000, 254, 254, 0, 0}, 0, 100, "0.4999999 + 0.5 stays below 1"},
        // Every other device: its logical dots per inch.
        {{false, 4960, 7016, 210, 297, 600, 1200}, 600, 1200, "printer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        int32_t x = -1, y = -1;
        EXPECT_EQ(GetDeviceDotsPerInch(c.device, &x, &y), 1);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
    }
}

// ---------------------------------------------------------------------------------------------
// Automation dates

TEST(OleDateCheck, MakingDates) {
    struct {
        uint16_t year, month, day, hour, minute, second;
        bool valid;
        double date;
    } const cases[] = {
        {1899, 12, 30, 0, 0, 0, true, 0.0},
        {1899, 12, 30, 12, 0, 0, true, 0.5},
        {1899, 12, 29, 0, 0, 0, true, -1.0},
        {1899, 12, 29, 6, 0, 0, true, -1.25},
        {1899, 12, 29, 18, 0, 0, true, -1.75},
        {1900, 1, 1, 0, 0, 0, true, 2.0},
        {1900, 3, 1, 0, 0, 0, true, 61.0},
        {1900, 2, 29, 0, 0, 0, false, 0},
        {2000, 2, 29, 12, 0, 0, true, 36585.5},
        {2004, 2, 29, 0, 0, 0, true, 38046.0},
        {2100, 2, 29, 0, 0, 0, false, 0},
        {2100, 3, 1, 0, 0, 0, true, 73110.0},
        {2000, 12, 31, 6, 0, 0, true, 36891.25},
        {100, 1, 1, 0, 0, 0, true, -657434.0},
        {9999, 12, 31, 0, 0, 0, true, 2958465.0},
        {9999, 12, 31, 23, 59, 59, true, 2958465.0 + 86399.0 / 86400.0},
        {10000, 1, 1, 0, 0, 0, false, 0},
        {2000, 0, 1, 0, 0, 0, false, 0},
        {2000, 13, 1, 0, 0, 0, false, 0},
        {2000, 1, 0, 0, 0, 0, false, 0},
        {2000, 1, 31, 0, 0, 0, true, 36556.0},
        {2000, 1, 32, 0, 0, 0, false, 0},
        {2001, 4, 31, 0, 0, 0, false, 0},
        {2001, 4, 30, 0, 0, 0, true, 37011.0},
        {2000, 1, 1, 24, 0, 0, false, 0},
        {2000, 1, 1, 23, 60, 0, false, 0},
        {2000, 1, 1, 23, 59, 60, false, 0},
        {2000, 1, 1, 23, 59, 59, true, 36526.0 + 86399.0 / 86400.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day << " " << c.hour
                                        << ":" << c.minute << ":" << c.second);
        double out = 12345.0;
        EXPECT_EQ(MakeOleDate(c.year, c.month, c.day, c.hour, c.minute, c.second, &out), c.valid);
        if (c.valid) {
            EXPECT_NEAR(out, c.date, 1e-9);
        } else {
            EXPECT_EQ(out, 12345.0) << "nothing written";
        }
    }
}

TEST(OleDateCheck, SplittingDates) {
    struct {
        double date;
        bool valid;
        OleDateFields fields;  // second, minute, hour, day, month, year, weekday, day of year
    } const cases[] = {
        {0.0, true, {0, 0, 0, 30, 12, 1899, 7, 364}},
        {0.5, true, {0, 0, 12, 30, 12, 1899, 7, 364}},
        {-1.25, true, {0, 0, 6, 29, 12, 1899, 6, 363}},
        {-1.75, true, {0, 0, 18, 29, 12, 1899, 6, 363}},
        {2.0, true, {0, 0, 0, 1, 1, 1900, 2, 1}},
        {61.0, true, {0, 0, 0, 1, 3, 1900, 5, 60}},
        {36585.5, true, {0, 0, 12, 29, 2, 2000, 3, 60}},
        {36891.0, true, {0, 0, 0, 31, 12, 2000, 1, 366}},
        {73110.0, true, {0, 0, 0, 1, 3, 2100, 2, 60}},
        {0.5 + 0.4 / 86400, true, {0, 0, 12, 30, 12, 1899, 7, 364}},
        {0.5 + 0.6 / 86400, true, {1, 0, 12, 30, 12, 1899, 7, 364}},
        {36585.0 + 86399.6 / 86400, true, {0, 0, 0, 1, 3, 2000, 4, 61}},
        {36526.0 + (13 * 3600 + 14 * 60 + 15) / 86400.0, true, {15, 14, 13, 1, 1, 2000, 7, 1}},
        {-657434.0, true, {0, 0, 0, 1, 1, 100, 6, 1}},
        {2958465.0, true, {0, 0, 0, 31, 12, 9999, 6, 365}},
        {-657435.0, false, {}},
        {-657434.5, false, {}},  // the range is one of numbers, not of whole days
        {2958465.5, false, {}},
        {2958466.0, false, {}},
        {1e10, false, {}},
        {-1e10, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::setprecision(17) << c.date);
        OleDateFields got{};
        ASSERT_EQ(SplitOleDate(c.date, &got), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(got.second, c.fields.second);
        EXPECT_EQ(got.minute, c.fields.minute);
        EXPECT_EQ(got.hour, c.fields.hour);
        EXPECT_EQ(got.day, c.fields.day);
        EXPECT_EQ(got.month, c.fields.month);
        EXPECT_EQ(got.year, c.fields.year);
        EXPECT_EQ(got.weekday, c.fields.weekday);
        EXPECT_EQ(got.dayOfYear, c.fields.dayOfYear);
    }
    // The fields lie in the order second, minute, hour, day, month, year, weekday, day of year.
    static_assert(offsetof(OleDateFields, second) == 0);
    static_assert(offsetof(OleDateFields, minute) == 4);
    static_assert(offsetof(OleDateFields, hour) == 8);
    static_assert(offsetof(OleDateFields, day) == 12);
    static_assert(offsetof(OleDateFields, month) == 16);
    static_assert(offsetof(OleDateFields, year) == 20);
    static_assert(offsetof(OleDateFields, weekday) == 24);
    static_assert(offsetof(OleDateFields, dayOfYear) == 28);
}

TEST(OleDateCheck, MakingAndSplittingAgree) {
    // Every day of two leap cycles' worth of boundaries comes back as made.
    const uint16_t years[] = {100, 1600, 1899, 1900, 1999, 2000, 2024, 2100, 2400, 9999};
    const uint16_t lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (uint16_t year : years) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        int dayOfYear = 0;
        for (uint16_t month = 1; month <= 12; ++month) {
            const uint16_t length = month == 2 && leap ? 29 : lengths[month - 1];
            for (uint16_t day = 1; day <= length; ++day) {
                ++dayOfYear;
                // The accepted range ends at midnight of its first and last day.
                const bool edge = year == 100 || year == 9999;
                const uint16_t hour = edge ? 0 : 7, minute = edge ? 0 : 8, second = edge ? 0 : 9;
                double date = 0;
                ASSERT_TRUE(MakeOleDate(year, month, day, hour, minute, second, &date))
                    << year << "-" << month << "-" << day;
                OleDateFields f{};
                ASSERT_TRUE(SplitOleDate(date, &f));
                EXPECT_EQ(f.year, year);
                EXPECT_EQ(f.month, month);
                EXPECT_EQ(f.day, day);
                EXPECT_EQ(f.hour, hour);
                EXPECT_EQ(f.minute, minute);
                EXPECT_EQ(f.second, second);
                EXPECT_EQ(f.dayOfYear, dayOfYear);
            }
            double date = 0;
            EXPECT_FALSE(MakeOleDate(year, month, length + 1, 0, 0, 0, &date))
                << year << "-" << month << "-" << length + 1;
        }
    }
}

}  // namespace
