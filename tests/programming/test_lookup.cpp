// Command numbers to descriptor indexes: the group boundaries, numbers outside every group, and
// characters that are not digits.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

#include "keypad_test_support.h"
#include "programming/command_table.h"
#include "programming/keypad.h"

namespace qzs {
namespace {

using testing::Descriptor;
using testing::MakeTable;

const CommandTable& Table() {
    return BuiltInCommandTable();
}

// Index of the last record of group g.
std::uint16_t LastOf(std::size_t g) {
    return static_cast<std::uint16_t>(Table().GroupFirst(g) + Table().GroupCount(g) - 1);
}

TEST(CommandLookup, GroupBoundaries) {
    ASSERT_EQ(Table().size(), kCommandRecordCount);
    ASSERT_EQ(Table().CatchAllIndex(), kCatchAllIndex);
    struct Case {
        const char* number;
        std::uint16_t index;
    };
    const Case cases[] = {
        {"000", 0},
        {"099", 99},
        {"100", 101},  // group 1 begins after group 0's end record
        {"191", LastOf(1)},
        {"192", kCatchAllIndex},
        {"300", Table().GroupFirst(2)},
        {"397", kCatchAllIndex},
        {"9100", Table().GroupFirst(8)},
        {"9143", LastOf(8)},
        {"9144", kCatchAllIndex},
        {"9200", Table().GroupFirst(9)},
        {"9219", LastOf(9)},
        {"9220", Table().GroupFirst(10)},
        {"9256", LastOf(11)},
        {"9257", kCatchAllIndex},
        {"9279", LastOf(12)},
        {"9298", kCatchAllIndex},
        {"9300", Table().GroupFirst(14)},
        {"9392", LastOf(14)},
        {"9393", kCatchAllIndex},
        {"9442", LastOf(15)},
        {"9443", kCatchAllIndex},
        {"9450", kCatchAllIndex},
        {"9480", kCatchAllIndex},  // group 16 is empty
        {"9490", Table().GroupFirst(17)},
        {"9491", LastOf(17)},
        {"9492", kCatchAllIndex},
        {"9539", LastOf(18)},
        {"9540", kCatchAllIndex},
        {"9600", kCatchAllIndex},
        {"9000", kCatchAllIndex},
        {"9099", kCatchAllIndex},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Table().Lookup(c.number), c.index) << c.number;
    }
    EXPECT_EQ(Table().GroupCount(16), 0u);
    EXPECT_EQ(Table().GroupFirst(16), Table().GroupFirst(15) + Table().GroupCount(15) + 1);
}

TEST(CommandLookup, EveryNumberReachesItsOwnRecordOrTheCatchAll) {
    // Walk every three- and four-digit number: each one either names exactly its own record or
    // reaches the catch-all, and exactly the 856 commands of the table name a record.
    std::set<std::uint16_t> reached;
    auto check = [&](const std::string& number) {
        const std::uint16_t index = Table().Lookup(number);
        if (index == kCatchAllIndex) return;
        EXPECT_EQ(Table().NumberAt(index), number);
        EXPECT_TRUE(reached.insert(index).second) << number;
    };
    for (int n = 0; n < 1000; ++n) {
        std::string number = std::to_string(n);
        check(std::string(3 - number.size(), '0') + number);
    }
    for (int n = 9000; n < 10000; ++n) check(std::to_string(n));
    EXPECT_EQ(reached.size(), 856u);
    for (int n = 200; n < 300; ++n) EXPECT_EQ(Table().Lookup(std::to_string(n)), kCatchAllIndex);
}

TEST(CommandLookup, NumbersAgreeWithTheDataFile) {
    const std::vector<std::string_view> numbers = BuiltInCommandNumbers();
    ASSERT_EQ(numbers.size(), Table().size());
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        EXPECT_EQ(Table().NumberAt(i), numbers[i]) << "record " << i;
        if (!numbers[i].empty()) {
            EXPECT_EQ(Table().Lookup(numbers[i]), i) << numbers[i];
        }
    }
}

TEST(CommandLookup, AnythingButDigitsReachesTheCatchAll) {
    // Every byte that is not a digit, in every place of a valid number. Compared as signed
    // characters, '/' would read as digit -1 and "01/" would land on *009.
    const std::string valid[] = {"002", "9361"};
    for (const std::string& number : valid) {
        ASSERT_NE(Table().Lookup(number), kCatchAllIndex);
        for (std::size_t place = 0; place < number.size(); ++place) {
            for (int byte = 0; byte < 256; ++byte) {
                if (byte >= '0' && byte <= '9') continue;
                std::string changed = number;
                changed[place] = static_cast<char>(byte);
                EXPECT_EQ(Table().Lookup(changed), kCatchAllIndex)
                    << number << " with byte " << byte << " at " << place;
            }
        }
    }
    for (const char* text : {"", "0", "00", "9", "91", "914", "01/", "0A2", "9 00"}) {
        EXPECT_EQ(Table().Lookup(text), kCatchAllIndex) << '"' << text << '"';
    }
}

TEST(CommandLookup, LooksUpTheLineOfTheRecordInTheActiveTable) {
    const CommandTable small = MakeTable({{0, {Descriptor({0, 0x01, 0x11}), Descriptor({0})}},
                                          {14, {Descriptor({0x0F, 0x01, 0x11})}}});
    auto state = std::make_unique<ProgrammingState>();
    TerminalRecord& record = state->terminals[0];
    auto lookup = [&](const char* line) {
        record.line.Blank();
        record.line.Write(0, line);
        return LookupCommandIndex(*state, record);
    };
    EXPECT_EQ(lookup("002=1"), 2);  // the built-in table
    EXPECT_EQ(IsFourDigitCommand(record), 0);
    state->keypad.command_table = &small;
    EXPECT_EQ(lookup("001="), 1);
    EXPECT_EQ(lookup("002="), small.CatchAllIndex());
    EXPECT_EQ(lookup("9300="), small.GroupFirst(14));
    EXPECT_EQ(IsFourDigitCommand(record), 1);
    EXPECT_EQ(small.NumberAt(small.GroupFirst(14)), "9300");
    EXPECT_EQ(small.NumberAt(small.CatchAllIndex()), "");
    EXPECT_EQ(small.At(5000).HandlerSlot(), 0x3C);  // outside the table: the catch-all
}

TEST(CommandTableShape, RefusesATableWithoutItsGroupsOrCatchAll) {
    std::vector<CommandDescriptor> records;
    for (int g = 0; g < 19; ++g)
        records.push_back(Descriptor({0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}));
    EXPECT_THROW(CommandTable{records}, std::invalid_argument);  // no catch-all
    records.push_back(Descriptor({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3C}));
    EXPECT_NO_THROW(CommandTable{records});
    records.push_back(Descriptor({0}));
    EXPECT_THROW(CommandTable{records}, std::invalid_argument);  // a record after the catch-all
    records.pop_back();
    records.erase(records.begin());
    EXPECT_THROW(CommandTable{records}, std::invalid_argument);  // 18 groups
    records.insert(records.begin(), 2, Descriptor({0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}));
    EXPECT_THROW(CommandTable{records}, std::invalid_argument);  // 20 groups
}

TEST(CommandDescriptorFields, FieldShapesOutsideTheSixFieldsReadAsOpenFields) {
    const CommandDescriptor d = Descriptor({0, 0x24, 0x12, 0x00, 0x3C, 0x11, 0x1F, 0x25, 2});
    EXPECT_EQ(d.KeyFieldCount(), 2);
    EXPECT_EQ(d.DataFieldCount(), 4);
    EXPECT_EQ(d.FieldMinDigits(1), 1);
    EXPECT_EQ(d.FieldMaxDigits(1), 2);
    EXPECT_EQ(d.FieldMaxDigits(2), 16);  // a maximum of 0 means 16
    EXPECT_EQ(d.FieldMaxDigits(4), 1);
    EXPECT_EQ(d.FieldMaxDigits(6), 5);
    for (unsigned field : {0u, 7u, 200u}) {
        EXPECT_EQ(d.FieldMinDigits(field), 0) << field;
        EXPECT_EQ(d.FieldMaxDigits(field), 16) << field;
    }
}

TEST(KeyStates, StateToRowCoversTheListedStatesAndTreatsOthersAsIdle) {
    for (std::size_t row = 0; row < kKeyStateRows; ++row) {
        EXPECT_EQ(StateToRow(kKeyStateCodes[row]), row);
    }
    const std::set<std::uint8_t> listed(kKeyStateCodes.begin(), kKeyStateCodes.end());
    for (int code = 0; code < 256; ++code) {
        if (listed.count(static_cast<std::uint8_t>(code)) != 0) continue;
        EXPECT_EQ(StateToRow(static_cast<std::uint8_t>(code)), 0) << code;
    }
}

TEST(KeyStates, ClassifyKey) {
    struct Case {
        std::uint16_t key;
        KeyClass key_class;
    };
    const Case cases[] = {
        {'0', kKeyDigit},      {'9', kKeyDigit},
        {'*', kKeyStar},       {'#', kKeyHash},
        {'A', kKeyHexLetter},  {'F', kKeyHexLetter},
        {'G', kKeyOther},      {'a', kKeyOther},
        {0xB03C, kKeyNext},    {0xB03A, kKeyPrevious},
        {0xB056, kKeyRestart}, {0x08, kKeyErase},
        {0xFFB1, kKeyOther},   {0x0030 + 0x100, kKeyOther},
        {0, kKeyOther},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassifyKey(c.key), c.key_class) << c.key;
}

}  // namespace
}  // namespace qzs
