// Command strings of the web forms: layouts found by number, display answers split, posted values
// formatted to their fields, and the corrections made before a posted string runs.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../programming/keypad_test_support.h"
#include "programming/command_table.h"
#include "programming/key_layout.h"
#include "programming/state.h"
#include "settings/command_strings.h"
#include "settings/data_image_startup.h"

namespace qzs {
namespace {

using testing::Fake;
using testing::FakeHandlerTable;
using Entry = std::array<std::uint8_t, 2>;

std::string Trimmed(std::string_view line) {
    std::string text(line.substr(0, line.find('\0')));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

class CommandStringTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();

    void SetUp() override { InitDataImage(*state); }
    std::string Prepared(std::string_view posted) {
        std::string text(posted);
        EXPECT_EQ(PrepareFormCommand(*state, text), 0);
        return text;
    }
    // Stand-in handlers that record the line each store reaches.
    void UseFakeHandlers() {
        Fake() = testing::FakeHandlers{};
        state->keypad.handler_table = &FakeHandlerTable();
    }
};

TEST_F(CommandStringTest, FindCommandLayoutIsTheInterpretersLookup) {
    const CommandTable& table = BuiltInCommandTable();
    int found = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::string number = table.NumberAt(i);
        if (number.empty()) continue;
        EXPECT_EQ(FindCommandLayout(*state, number), i) << number;
        EXPECT_EQ(FindCommandLayout(*state, number + "=01-07P"), i) << number;
        ++found;
    }
    EXPECT_GT(found, 800);
    for (std::string_view text : {"", "0", "00", "0a2", "9", "95", "950", "192", "2995", "*002"}) {
        EXPECT_EQ(FindCommandLayout(*state, text), kCatchAllIndex) << text;
    }
}

TEST_F(CommandStringTest, ParseDisplayFieldsSplitsTheValueText) {
    struct Case {
        std::string_view line;
        std::string_view value;
        int count;
    };
    const Case cases[] = {
        {"310=01-07P", "07P", 1},
        {"002=1c", "1c", 1},
        {"002=1P", "1P", 1},
        {"161=01,2,0123c", "01,2,0123c", 2},  // fields stay joined by their separators
        {"161=01-2,0123P", "2,0123P", 2},
        {"9316=01-23,456c   ", "23,456c", 2},
        {"002=1", "1", 1},  // no closing character: up to the end
        {"--c", "-c", 1},   // the catch-all has no data field: counted as 1
        {"192=5c", "5c", 1},
        {"abc", "", 1},  // neither "=" nor "-": no value
        {"", "", 1},
    };
    for (const Case& c : cases) {
        std::string out = "old";
        EXPECT_EQ(ParseDisplayFields(*state, c.line, out), c.count) << c.line;
        EXPECT_EQ(out, c.value) << c.line;
    }
}

TEST_F(CommandStringTest, RunningAndParsing) {
    UseFakeHandlers();
    std::string values;
    std::string text = "*0021#";
    EXPECT_EQ(RunCommandAndParse(*state, 1, text, &values), 1);
    EXPECT_EQ(values, "1P");
    text = "*0021#";
    EXPECT_EQ(RunCommandAndParse(*state, 1, text, nullptr), 0);
    EXPECT_EQ(RunCommandForValues(*state, 1, "*002#", values), 1);
    EXPECT_EQ(values, "1c");

    Fake().store_result = 1;
    text = "*0025#";
    EXPECT_EQ(RunCommandAndParse(*state, 1, text, &values), -1);
    Fake().show_result = 1;
    EXPECT_EQ(RunCommandForValues(*state, 1, "*002#", values), -1);

    // The corrected text is what runs: *165 always sends "1" at position 6.
    Fake() = testing::FakeHandlers{};
    text = "*165019123#";
    EXPECT_EQ(RunCommandAndParse(*state, 1, text, nullptr), 0);
    EXPECT_EQ(text, "*165011123#");
    ASSERT_EQ(Fake().store_lines.size(), 1u);
    EXPECT_EQ(Trimmed(Fake().store_lines[0]), "165=01-1,123");
    // RunCommandForValues runs the text as it stands.
    EXPECT_EQ(RunCommandForValues(*state, 1, "*165019123#", values), 2);
    EXPECT_EQ(Trimmed(Fake().store_lines[1]), "165=01-9,123");
}

// Posted text -> the text that runs, per rule; each rule also with the text cut before each
// position it reads (a position past the end does not match).
TEST_F(CommandStringTest, PrepareFormCommandRules) {
    struct Case {
        std::string_view posted;
        std::string_view runs;
    };
    const Case cases[] = {
        // *085: data "00" and a blank
        {"*085100 1700#", "*085100#"},
        {"*085100#", "*085100#"},
        {"*0851001700#", "*0851001700#"},
        {"*085100", "*085100"},
        {"*08510", "*08510"},
        // *161: key at 4-5, entry at 6
        {"*161010123#", "*161010#"},
        {"*1610111234#", "*1610111234#"},
        {"*16101112345 #", "*161010#"},  // a blank at 12 (an empty number): entry 0
        {"*161012      #", "*161010#"},
        {"*16101112345", "*16101112345"},
        {"*161012", "*161012"},
        {"*1610", "*1610"},
        {"*16101", "*16101"},
        {"*161010", "*161010#"},  // entry "0" at the end: "#" follows it
        // *165 and *166: entry 1 always, when the text has a position 6
        {"*165019123#", "*165011123#"},
        {"*166010#", "*166011#"},
        {"*16501", "*16501"},
        // *185
        {"*1850100123#", "*185010#"},
        {"*18501", "*18501"},
        {"*1850110123#", "*1850110123#"},
        // *351: positions 6-8 "000"
        {"*35103000123#", "*35103000#"},
        {"*3510300", "*3510300"},
        {"*351030001", "*35103000#"},
        {"*35103101123#", "*35103101123#"},
        // *601 and *616: the first "0" of the last three characters
        {"*6010120#", "*601012##"},
        {"*616013 0#", "*616013 ##"},
        {"*601011 #", "*601011 #"},
        {"*60101#", "*601#1#"},
        {"*6010", "*601#"},
        {"*601", "*601"},  // the command number is no field
        // *9309 and *9321: positions 7-8 "00"
        {"*9309010012#", "*93090100#"},
        {"*9321030099#", "*93210300#"},
        {"*9309010", "*9309010"},
        {"*9309011012#", "*9309011012#"},
        // *9316: a blank at 7
        {"*931601 123#", "*931601#"},
        {"*931601", "*931601"},
        // *9337: positions 5-7 "000"
        {"*93370005#", "*9337000#"},
        {"*933700", "*933700"},
        // *698: a blank at 10
        {"*698010101 1200#", "*698010101#"},
        {"*698010101", "*698010101"},
        {"*6980101011200#", "*6980101011200#"},
        // other commands and texts pass unchanged
        {"*0021#", "*0021#"},
        {"*", "*"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Prepared(c.posted), c.runs) << c.posted;

    // The copy holds at most 63 characters.
    const std::string long_text = "*002" + std::string(80, '1');
    EXPECT_EQ(Prepared(long_text), long_text.substr(0, 63));
}

TEST_F(CommandStringTest, The619EntryTwoFollowsTheLastOtherEntryOfItsKeys) {
    // Keys 01 and 1 (positions 4-6): entry "1" with the data "0" alone, then entry "2" of the
    // same keys is sent without data.
    EXPECT_EQ(Prepared("*61901110 #"), "*61901110 #");
    EXPECT_EQ(state->port619_flags.flags[11], 1u);
    EXPECT_EQ(Prepared("*6190112123#"), "*6190112#");
    EXPECT_EQ(Prepared("*6190212123#"), "*6190212123#");  // other keys
    // Entry "1" with other data clears the flag again.
    EXPECT_EQ(Prepared("*6190111234#"), "*6190111234#");
    EXPECT_EQ(Prepared("*6190112123#"), "*6190112123#");
    // Data "0" needs the blank after it.
    EXPECT_EQ(Prepared("*619011100#"), "*619011100#");
    EXPECT_EQ(Prepared("*6190112123#"), "*6190112123#");

    // Cut texts: one that stops before the entry leaves the flag; the entry "2" alone reads no
    // further than 7.
    EXPECT_EQ(Prepared("*61901110 #"), "*61901110 #");
    for (std::string_view cut : {"*6190", "*61901", "*619011"}) {
        EXPECT_EQ(Prepared(cut), cut);
        EXPECT_EQ(state->port619_flags.flags[11], 1u) << cut;
    }
    EXPECT_EQ(Prepared("*6190112"), "*6190112#");
    EXPECT_EQ(Prepared("*61901110"), "*61901110");  // no blank at 9
    EXPECT_EQ(state->port619_flags.flags[11], 0u);
    EXPECT_EQ(Prepared("*619a1110 #"), "*619a1110 #");  // keys that are not digits: no flag

    // Start-up forgets the flags.
    Prepared("*61901110 #");
    InitDataImage(*state);
    EXPECT_EQ(Prepared("*6190112123#"), "*6190112123#");
}

TEST_F(CommandStringTest, The030RuleAssignsTheKeyBeforeTheStringRuns) {
    Entry nine{KeyEntry(state->image, 1, 9)[0], KeyEntry(state->image, 1, 9)[1]};
    KeyEntry(state->image, 1, 9)[0] = 0x9C;
    KeyEntry(state->image, 1, 9)[1] = 0x75;
    UseFakeHandlers();
    std::string text = "*03010105975#";
    EXPECT_EQ(RunCommandAndParse(*state, 1, text, nullptr), 0);
    EXPECT_EQ(text, "*03010105975#");
    EXPECT_EQ((Entry{KeyEntry(state->image, 1, 5)[0], KeyEntry(state->image, 1, 5)[1]}),
              (Entry{0x9C, 0x75}));
    EXPECT_EQ((Entry{KeyEntry(state->image, 1, 9)[0], KeyEntry(state->image, 1, 9)[1]}),
              (Entry{0x0C, 0x00}));
    ASSERT_EQ(Fake().store_lines.size(), 1u);  // and the string ran
    EXPECT_EQ(Trimmed(Fake().store_lines[0]), "030=101,05-975");
    // A two-digit code of a form ends with the blank of its field.
    std::string two = "*0301010604 #";
    EXPECT_EQ(PrepareFormCommand(*state, two), 0);
    EXPECT_EQ((Entry{KeyEntry(state->image, 1, 6)[0], KeyEntry(state->image, 1, 6)[1]}),
              (Entry{0x0C, 0x04}));
    (void)nine;
}

TEST_F(CommandStringTest, The9500RunsItsNextUnitEntryFirst) {
    UseFakeHandlers();
    struct Case {
        std::string_view posted;
        std::string_view extra;  // the line the extra command stores; empty for none
    };
    const Case cases[] = {
        {"*950000100201#", "9500=001,002-02"},
        {"*950000100211#", "9500=001,002-12"},
        {"*950000100221#", "9500=001,002-22"},
        {"*950000100231#", "9500=001,002-11"},
        {"*950000100291#", "9500=001,002-11"},
        {"*95000010020", ""},  // no position 12 to move on
        {"*9500001002", ""},
        {"*950000", ""},
    };
    for (const Case& c : cases) {
        Fake().store_lines.clear();
        std::string text(c.posted);
        EXPECT_EQ(PrepareFormCommand(*state, text), 0);
        EXPECT_EQ(text, c.posted);
        if (c.extra.empty()) {
            EXPECT_TRUE(Fake().store_lines.empty()) << c.posted;
        } else {
            ASSERT_EQ(Fake().store_lines.size(), 1u) << c.posted;
            EXPECT_EQ(Trimmed(Fake().store_lines[0]), c.extra) << c.posted;
        }
    }
}

CommandDescriptor Layout(std::uint8_t counts, std::initializer_list<std::uint8_t> shapes) {
    CommandDescriptor d;
    d.bytes[1] = counts;
    std::size_t i = 2;
    for (std::uint8_t s : shapes) d.bytes[i++] = s;
    return d;
}

TEST(FormatDataFields, EachValueTakesItsFieldsWidth) {
    struct Case {
        CommandDescriptor layout;
        std::vector<std::optional<std::string_view>> values;
        std::string appended;
    };
    const Case cases[] = {
        {Layout(0x01, {0x11}), {"1"}, "1"},
        {Layout(0x01, {0x22}), {"7"}, " 7"},       // minimum = maximum: right-justified
        {Layout(0x01, {0x02}), {"7"}, " 7"},       // no minimum: right-justified
        {Layout(0x01, {0x12}), {"7"}, "7 "},       // 1 to 2 digits: left-justified
        {Layout(0x01, {0x13}), {"12345"}, "123"},  // cut at the maximum
        {Layout(0x01, {0x22}), {"12345"}, "12"},
        {Layout(0x01, {0x10}), {"12"}, "12              "},  // maximum 0 stands for 16
        {Layout(0x01, {0x00}), {"1234567890123456789"}, "1234567890123456"},
        {Layout(0x01, {0x13}), {"%41+B"}, "A B"},
        {Layout(0x01, {0x14}), {"12&h002=1"}, "12  "},  // the value ends at "&"
        {Layout(0x01, {0x14}), {"1,2"}, "1   "},
        {Layout(0x01, {0x14}), {"9%4"}, "9%4 "},  // "%" without two hex digits stays
        {Layout(0x01, {0x12}), {""}, "  "},
        {Layout(0x01, {0x12}), {std::nullopt}, ""},
        // Key fields come first in the shapes.
        {Layout(0x21, {0x33, 0x22, 0x13}), {"5"}, "5  "},
        {Layout(0x12, {0x22, 0x11, 0x14}), {"1", "23"}, "123  "},
        {Layout(0x12, {0x22, 0x11, 0x14}), {std::nullopt, "23"}, "23  "},
        {Layout(0x12, {0x22, 0x11, 0x14}), {"1"}, "1"},      // fewer values than fields
        {Layout(0x11, {0x22, 0x11}), {"1", "2", "3"}, "1"},  // more values than fields
        {Layout(0x00, {}), {"1"}, ""},
        // Past the sixth field byte a field reads as 0 to 16 digits.
        {Layout(0x43, {0x11, 0x11, 0x11, 0x11, 0x11, 0x11}),
         {"1", "2", "3"},
         "12" + std::string(15, ' ') + "3"},
    };
    for (const Case& c : cases) {
        std::string text = "*X";
        FormatDataFields(text, c.layout, c.values);
        EXPECT_EQ(text, "*X" + std::string(c.appended)) << c.appended;
    }
}

TEST_F(CommandStringTest, FormatFieldValueOnlyForOneDataField) {
    std::string text = "*002";
    FormatFieldValue(*state, text, "002", "1");
    EXPECT_EQ(text, "*0021");
    text = "*31001";
    FormatFieldValue(*state, text, "310", "7");  // *310's data field: one digit
    EXPECT_EQ(text, "*310017");
    text = "*0010";
    FormatFieldValue(*state, text, "001", "5");  // *001's data field: 3 digits exactly
    EXPECT_EQ(text, "*0010  5");
    text = "*16101";
    FormatFieldValue(*state, text, "161", "1");  // two data fields: nothing
    EXPECT_EQ(text, "*16101");
    FormatFieldValue(*state, text, "0a1", "1");  // no such command
    EXPECT_EQ(text, "*16101");
}

TEST(UrlDecodeValue, StopsAtTheFormsDelimitersAndAtTheLimit) {
    struct Case {
        std::string_view value;
        std::size_t limit;
        std::string_view decoded;
    };
    const Case cases[] = {
        {"%41+B", 31, "A B"},
        {"abc&def", 31, "abc"},
        {"a=b", 31, "a"},
        {"a,b", 31, "a"},
        {"a<b", 31, "a"},
        {"a>b", 31, "a"},
        {"a\rb", 31, "a"},
        {"a\nb", 31, "a"},
        {"a\tb", 31, "a"},
        {"%2C%3d", 31, ",="},
        {"%zz", 31, "%zz"},
        {"%4", 31, "%4"},
        {"%", 31, "%"},
        {"%%41", 31, "%A"},
        {"abcdef", 3, "abc"},
        {"%41%42%43", 2, "AB"},
        {std::string_view("a\0b", 3), 31, "a"},
        {"%82%a0", 31, "\x82\xa0"},
    };
    for (const Case& c : cases) EXPECT_EQ(UrlDecodeValue(c.value, c.limit), c.decoded) << c.value;
}

}  // namespace
}  // namespace qzs
