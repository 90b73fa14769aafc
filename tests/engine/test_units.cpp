// Length units, device resolution and paper sizes.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>

#include "engine/core/paper.h"
#include "engine/core/units.h"
#include "platform/gdi/device_context.h"

namespace kp {
namespace {

constexpr int32_t kUntouched = 0x5A5A5A5A;

struct UnitCase {
    bool in;  // ConvertUnitsIn, else ConvertUnitsOut
    LengthUnitKind kind;
    int32_t axis;
    uint16_t first, second;
    int32_t value;
    int32_t expected;
    const char* why;
};

// Expected values worked out by hand (and the doubles checked with Python).
constexpr UnitCase kUnitCases[] = {
    // kind 1: 0.01 mm
    {true, 1, 0, 0, 0, 5, 500, "100 internal units per unit"},
    {true, 1, 0, 0, 0, -7, -700, "negative"},
    {true, 1, 0, 0, 0, 21474836, 2147483600, "largest that fits"},
    {true, 1, 0, 0, 0, 21474837, INT_MAX, "product past 32 bits stops at the limit"},
    {true, 1, 0, 0, 0, INT_MIN, INT_MIN, "and at the lower limit"},
    {false, 1, 0, 0, 0, 150, 2, "half rounds away from zero"},
    {false, 1, 0, 0, 0, -150, -2, "negative half away from zero"},
    {false, 1, 0, 0, 0, 149, 1, "below half"},
    {false, 1, 0, 0, 0, -149, -1, "negative below half"},
    {false, 1, 0, 0, 0, INT_MAX, 21474836, "c + 50 must not overflow"},
    {false, 1, 0, 0, 0, INT_MIN, -21474836, "c - 50 must not overflow"},
    // kind 2: 0.001 inch
    {true, 2, 0, 0, 0, 1, 254, "254 internal units per unit"},
    {true, 2, 0, 0, 0, -3, -762, "negative"},
    {true, 2, 0, 0, 0, 10000000, INT_MAX, "2.54e9 stops at the limit"},
    {true, 2, 0, 0, 0, -10000000, INT_MIN, "and at the lower limit"},
    {false, 2, 0, 0, 0, 127, 1, "127 / 254 is a half: rounds up"},
    {false, 2, 0, 0, 0, 126, 0, "just under a half"},
    {false, 2, 0, 0, 0, -127, -1, "negative half"},
    {false, 2, 0, 0, 0, 254000, 1000, "one inch"},
    // kind 3: per-axis resolution d, flag 0 takes the first value, flag 1 the second
    {true, 3, 0, 254, 10, 10, 10, "d = 254: one internal unit per unit"},
    {true, 3, 1, 10, 254, 10, 10, "flag 1 takes the second value"},
    {true, 3, 0, 10, 254, 1, 25, "254 / 10 = 25.4, + 0.5, truncated"},
    {true, 3, 0, 10, 254, -1, -25, "negative: - 0.5"},
    {true, 3, 0, 1, 1, 10000000, INT_MAX, "2.54e9 stops at the limit"},
    {true, 3, 0, 1, 1, -10000000, INT_MIN, "and at the lower limit"},
    {false, 3, 0, 10, 1, 100, 4, "100 / 25.4 = 3.94, + 0.5"},
    {false, 3, 1, 1, 10, 100, 4, "flag 1 takes the second value"},
    {false, 3, 0, 65535, 1, INT_MAX, INT_MAX, "5.5e11 stops at the limit"},
    {false, 3, 0, 65535, 1, INT_MIN, INT_MIN, "and at the lower limit"},
    // a resolution of 0 must not divide
    {true, 3, 0, 0, 10, 1000, 0, "first value 0"},
    {false, 3, 1, 10, 0, 1000, 0, "second value 0"},
    // unknown kinds leave the out value alone
    {true, 0, 0, 1, 1, 1000, kUntouched, "kind 0"},
    {false, 4, 0, 1, 1, 1000, kUntouched, "kind 4"},
    {true, -1, 0, 1, 1, 1000, kUntouched, "kind -1"},
};

TEST(Units, ConversionTable) {
    for (const UnitCase& c : kUnitCases) {
        int32_t out = kUntouched;
        const int32_t rc = c.in ? ConvertUnitsIn(c.kind, c.axis, c.first, c.second, c.value, &out)
                                : ConvertUnitsOut(c.kind, c.axis, c.first, c.second, c.value, &out);
        EXPECT_EQ(rc, 0) << c.why;
        EXPECT_EQ(out, c.expected)
            << (c.in ? "in, " : "out, ") << "kind " << c.kind << ": " << c.why;
    }
}

TEST(Units, DotsPerInch) {
    struct DpiCase {
        DeviceMetrics device;
        int32_t x, y;
        const char* why;
    };
    const DpiCase cases[] = {
        {{true, 1920, 1080, 508, 286, 96, 96}, 96, 96, "screen: pixels over millimetres"},
        {{true, 1920, 1080, 254, 143, 96, 96}, 192, 192, "a dense screen"},
        {{false, 4960, 7016, 210, 297, 600, 600}, 600, 600, "printer: logical resolution"},
        {{false, 0, 0, 0, 0, 300, 150}, 300, 150, "different axes"},
        {{true, 1920, 1080, 0, 0, 96, 96}, 96, 96, "screen without a size: no division by 0"},
    };
    for (const DpiCase& c : cases) {
        int32_t x = 0, y = 0;
        EXPECT_EQ(GetDeviceDotsPerInch(c.device, &x, &y), 1) << c.why;
        EXPECT_EQ(x, c.x) << c.why;
        EXPECT_EQ(y, c.y) << c.why;
    }
}

// The metrics come from the device context, so the screen and a 600 dpi printer resolve as the
// cases above do.
TEST(Units, DeviceMetricsOfAContext) {
    plat::InfoDc screen;
    DeviceMetrics m = DeviceMetricsOf(screen);
    EXPECT_TRUE(m.rasterDisplay);
    EXPECT_EQ(m.horzRes, 1920);
    EXPECT_EQ(m.vertSizeMm, 286);
    int32_t x = 0, y = 0;
    GetDeviceDotsPerInch(m, &x, &y);
    EXPECT_EQ(x, 96);
    EXPECT_EQ(y, 96);

    plat::InfoDc printer(plat::DeviceInfo::ForPixels(4960, 7016, 600, plat::kDtRasPrinter));
    m = DeviceMetricsOf(printer);
    EXPECT_FALSE(m.rasterDisplay);
    EXPECT_EQ(m.horzSizeMm, 210);
    EXPECT_EQ(m.vertSizeMm, 297);
    EXPECT_EQ(m.logPixelsX, 600);
    EXPECT_EQ(m.logPixelsY, 600);
}

int32_t Packed(int32_t width, int32_t height) {
    return (width << 16) | height;
}

TEST(Paper, KnownCodesAndDimensions) {
    struct PaperCase {
        int32_t code;
        bool known;
        int32_t dims;
    };
    const PaperCase cases[] = {
        {9, true, Packed(2100, 2970)},    // A4
        {1, true, Packed(2159, 2794)},    // letter
        {12, true, Packed(2570, 3640)},   // B4
        {26, true, Packed(8636, 11176)},  // the largest sheet
        {43, true, Packed(1000, 1480)},   // postcard
        {92, true, Packed(2350, 1050)},   // 91 turned (the table once read 1350)
        {118, true, Packed(4580, 3240)},  // the last fixed size
        {256, true, -1},                  // user-defined: known, no fixed size
        {0, false, -1},
        {48, false, -1},
        {49, false, -1},
        {119, false, -1},
        {255, false, -1},
        {257, false, -1},
        {-1, false, -1},
        {65535, false, -1},
    };
    for (const PaperCase& c : cases) {
        EXPECT_EQ(IsKnownPaperSize(c.code), c.known) << c.code;
        EXPECT_EQ(GetPaperDimensions(c.code), c.dims) << c.code;
    }
}

TEST(Paper, EveryKnownCodeBelow256HasASize) {
    for (int32_t code = -2; code <= 300; ++code) {
        const bool expected =
            (code >= 1 && code <= 47) || (code >= 50 && code <= 118) || code == 256;
        EXPECT_EQ(IsKnownPaperSize(code), expected) << code;
        const int32_t dims = GetPaperDimensions(code);
        if (expected && code != 256) {
            EXPECT_GT(dims >> 16, 0) << code;
            EXPECT_GT(dims & 0xFFFF, 0) << code;
        } else {
            EXPECT_EQ(dims, -1) << code;
        }
    }
}

// The rotated sizes are their upright twins turned by a quarter: two independent rows of the
// table that must agree.
TEST(Paper, RotatedSizesAreTheirTwinsTurned) {
    const std::pair<int32_t, int32_t> twins[] = {
        {75, 1},    {76, 8},    {77, 9},    {78, 11},   {79, 12},   {80, 13},   {81, 43},
        {82, 69},   {83, 70},   {84, 71},   {85, 72},   {86, 73},   {87, 74},   {89, 88},
        {106, 93},  {107, 94},  {108, 95},  {109, 96},  {110, 97},  {111, 98},  {112, 99},
        {113, 100}, {114, 101}, {115, 102}, {116, 103}, {117, 104}, {118, 105}, {4, 3},
    };
    for (const auto& [rotated, upright] : twins) {
        const int32_t r = GetPaperDimensions(rotated);
        const int32_t u = GetPaperDimensions(upright);
        EXPECT_EQ(r >> 16, u & 0xFFFF) << rotated << " / " << upright;
        EXPECT_EQ(r & 0xFFFF, u >> 16) << rotated << " / " << upright;
    }
}

}  // namespace
}  // namespace kp
