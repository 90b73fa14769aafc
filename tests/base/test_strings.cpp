#include <gtest/gtest.h>

#include <string>

#include "base/strings.h"

namespace {

TEST(Strings, TrimTakesOnlyTheGivenBytesAtTheEnds) {
    struct Case {
        std::string_view text;
        std::string_view blanks;
        std::string_view both, start, end;
    };
    const Case cases[] = {
        {.text = " \tab c\r\n",
         .blanks = qzs::base::kBlanks,
         .both = "ab c",
         .start = "ab c\r\n",
         .end = " \tab c"},
        {.text = "  ", .blanks = qzs::base::kBlanks, .both = "", .start = "", .end = ""},
        {.text = "", .blanks = qzs::base::kBlanks, .both = "", .start = "", .end = ""},
        // Only blanks: a tab is kept.
        {.text = " \tx ", .blanks = " ", .both = "\tx", .start = "\tx ", .end = " \tx"},
        // A CP932 character whose trail byte is a blank-looking byte stays whole: 0x81 0x40 is
        // the ideographic space, whose trail byte is '@', not a blank.
        {.text = "\x81\x40 ",
         .blanks = qzs::base::kBlanks,
         .both = "\x81\x40",
         .start = "\x81\x40 ",
         .end = "\x81\x40"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(qzs::base::Trim(c.text, c.blanks), c.both);
        EXPECT_EQ(qzs::base::TrimStart(c.text, c.blanks), c.start);
        EXPECT_EQ(qzs::base::TrimEnd(c.text, c.blanks), c.end);
    }
}

TEST(Strings, CaseIsIgnoredForAsciiLettersOnly) {
    struct Case {
        std::string_view a, b;
        bool equal;
    };
    const Case cases[] = {
        {.a = "Keep-Alive", .b = "keep-alive", .equal = true},
        {.a = "DSET-000.TXT", .b = "dset-000.txt", .equal = true},
        {.a = "dset-000.txt", .b = "dset-000.tx", .equal = false},
        // Bytes above 0x7F are never folded, whatever the locale would make of them.
        {.a = "\xC4", .b = "\xE4", .equal = false},
        {.a = "@[`{", .b = "`{@[", .equal = false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + std::string(c.b));
        EXPECT_EQ(qzs::base::EqualsNoCase(c.a, c.b), c.equal);
    }
    EXPECT_EQ(qzs::base::AsciiLower("Hox2_S\xC4Z"), "hox2_s\xC4z");
    EXPECT_EQ(qzs::base::AsciiUpper("one-touch.txt\xE4"), "ONE-TOUCH.TXT\xE4");
    EXPECT_TRUE(qzs::base::StartsWithNoCase("Basic dXNlcg==", "BASIC "));
    EXPECT_FALSE(qzs::base::StartsWithNoCase("Bas", "BASIC "));
}

}  // namespace
