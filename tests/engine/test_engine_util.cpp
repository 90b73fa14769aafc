// Ordinal comparison, rectangles, dotted names and the CP932 conversions.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/engine_util.h"

namespace kp {
namespace {

TEST(EngineUtil, CompareWideOrdinal) {
    struct Case {
        std::u16string_view a, b;
        int32_t expected;
    };
    const Case cases[] = {
        {u"KPLAYER30-1", u"KPLAYER30-1", 0},
        {u"KPLAYER30-1", u"KPLAYER30", 1},  // a string sorts after its own prefix
        {u"KPLAYER30", u"KPLAYER30-1", -1},
        {u"", u"", 0},
        {u"", u"a", -1},
        {u"a", u"B", 1},  // case counts: 'a' (0x61) > 'B' (0x42)
        {u"abc", u"abd", -1},
        {u"\u00e9", u"z", 1},       // unsigned: 0xE9 > 0x7A
        {u"\uffff", u"\u0001", 1},  // the top code unit sorts last
        {std::u16string_view(u"a\0b", 3), std::u16string_view(u"a\0c", 3), -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareWideOrdinal(c.a, c.b), c.expected);
        EXPECT_EQ(CompareWideOrdinal(c.b, c.a), -c.expected);
    }
}

TEST(EngineUtil, CompareNarrowOrdinalUsesSignedBytes) {
    using namespace std::string_view_literals;
    struct Case {
        std::string_view a, b;
        int32_t expected;
    };
    const Case cases[] = {
        {"abc"sv, "abc"sv, 0},     {"abc"sv, "ab"sv, 1},
        {"abc"sv, "abd"sv, -1},    {"\x80"sv, "\x7f"sv, -1},  // 0x80 is -128
        {"\xff"sv, "\x00"sv, -1},                             // 0xFF is -1
        {"\x82\xa0"sv, "A"sv, -1},  // a CP932 lead byte sorts before ASCII
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareNarrowOrdinal(c.a, c.b), c.expected);
        EXPECT_EQ(CompareNarrowOrdinal(c.b, c.a), -c.expected);
    }
}

TEST(EngineUtil, NormalizeRect) {
    struct Case {
        RectL in, out;
    };
    const Case cases[] = {
        {{0, 0, 10, 20}, {0, 0, 10, 20}},
        {{10, 20, 0, 0}, {0, 0, 10, 20}},
        {{-5, 7, 5, -7}, {-5, -7, 5, 7}},
        {{INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN},
         {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}},
    };
    for (const Case& c : cases) {
        RectL out{1, 2, 3, 4};
        EXPECT_EQ(NormalizeRect(c.in, &out), &out);
        EXPECT_EQ(std::memcmp(&out, &c.out, sizeof out), 0);
        RectL same = c.in;
        NormalizeRectInPlace(&same);
        EXPECT_EQ(std::memcmp(&same, &c.out, sizeof same), 0);
    }
}

TEST(EngineUtil, LastNameComponent) {
    EXPECT_EQ(LastNameComponent(u"Kelva.Report.Layer"), u"Layer");
    EXPECT_EQ(LastNameComponent(u"Layer"), u"Layer");
    EXPECT_EQ(LastNameComponent(u"Layer."), u"");
    EXPECT_EQ(LastNameComponent(u".Layer"), u"Layer");
    EXPECT_EQ(LastNameComponent(u""), u"");
    const std::u16string name = u"a.b.c";
    const std::u16string_view last = LastNameComponent(name);
    EXPECT_EQ(last.data(), name.data() + 4);  // points into the name
}

TEST(EngineUtil, AnsiIsCp932) {
    // "印刷" in CP932
    const plat::UniqueBstr b(AnsiToBstr("\x88\xf3\x8d\xfc"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(plat::BstrView(b.get()), u"印刷");
    EXPECT_EQ(AnsiToBstr("\x81"), nullptr);  // a lead byte with no trail byte

    char buf[8];
    EXPECT_EQ(WideToAnsi(u"印刷", buf, sizeof buf), buf);
    EXPECT_STREQ(buf, "\x88\xf3\x8d\xfc");
    EXPECT_EQ(WideToAnsi(u"印刷", buf, 5), buf);  // four bytes and the terminator fit
    EXPECT_EQ(WideToAnsi(u"印刷", buf, 4), nullptr);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(WideToAnsi(u"\U0001F600", buf, sizeof buf), nullptr);  // not in CP932
    EXPECT_EQ(WideToAnsi(u"a", nullptr, 8), nullptr);
}

}  // namespace
}  // namespace kp
