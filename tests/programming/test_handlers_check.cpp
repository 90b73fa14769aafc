// A second, independent listing of what the small-option, bit-flag and table handlers of slots 0-12
// do, driven as an installer would: command strings typed on terminal 1 of a freshly started image,
// each compared with the display line it leaves and with every image byte it changes. A last table
// lists which slots answer through the shared accept and reject halves.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "programming/command_table.h"
#include "programming/data_image.h"
#include "programming/handler_table.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs {
namespace {

using namespace qzs::testing;

const CommandDescriptor& DescriptorOf(std::string_view number) {
    const CommandTable& table = BuiltInCommandTable();
    const std::uint16_t index = table.Lookup(number);
    EXPECT_NE(index, table.CatchAllIndex()) << number;
    return table.At(index);
}

// ---------------------------------------------------------------------------------------------
// Slot 0: one flag bit per command

struct FlagCommand {
    const char* number;
    Place target;
    std::uint8_t mask;
};

const std::vector<FlagCommand>& FlagCommands() {
    static const std::vector<FlagCommand> commands = {
        {"810", B(3, 0), 0x40},
        {"812", B(3, 0), 0x10},
        {"813", B(3, 0), 0x20},
        {"9313", B(3, 0), 0x80},
        {"134", B(3, 2), 0x40},
        {"671", B(3, 2), 0x20},
        {"675", B(3, 2), 0x80},
        {"022", B(3, 4), 0x10},
        {"143", B(3, 4), 0x08},
        {"123", B(3, 9), 0x08},
        {"124", B(3, 9), 0x80},
        {"137", B(3, 9), 0x40},
        {"182", B(3, 9), 0x10},
        {"811", B(3, 9), 0x20},
        {"612", B(3, 14), 0x40},
        {"628", B(3, 14), 0x01},
        {"502", B(3, 16), 0x02},
        {"509", B(3, 16), 0x08},
        {"843", B(3, 17), 0x80},
        {"844", B(3, 17), 0x40},
        {"845", B(3, 18), 0x40},
        {"344", B(3, 19), 0x20},
        {"347", B(3, 19), 0x10},
        {"352", B(3, 19), 0x08},
        {"002", B(3, 21), 0x10},
        {"342", B(3, 21), 0x40},
        {"346", B(3, 21), 0x80},
        {"708", B(3, 21), 0x20},
        {"700", B(3, 23), 0x40},
        {"703", B(3, 24), 0x40},
        {"720", B(3, 24), 0x20},
        {"9217", B(3, 24), 0x04},
        {"031", B(3, 25), 0x02},
        {"032", B(3, 25), 0x01},
        {"841", B(3, 25), 0x10},
        {"613", B(3, 27), 0x02},
        {"814", B(3, 27), 0x08},
        {"9251", B(3, 27), 0x01},
        {"324", B(3, 32), 0x04},
        {"330", B(3, 32), 0x08},
        {"336", B(3, 33), 0x08},
        {"9281", B(3, 46), 0x08},
        {"9282", B(3, 46), 0x04},
        {"9283", B(3, 46), 0x02},
        {"9205", B(6, 0), 0x80},
        {"392", B(40, 1), 0x80},
        {"849", B(40, 1), 0x40},
        {"609", B(40, 5), 0x02},
        {"039", B(40, 11), 0x80},
        {"626", B(40, 11), 0x02},
        {"714", B(40, 11), 0x10},
        {"9242", B(40, 11), 0x20},
        {"713", B(40, 35), 0x80},
        {"9289", B(40, 36), 0x01},
        {"125", B(55, 0), 0x02},
        {"131", B(55, 0), 0x08},
        {"133", B(55, 0), 0x40},
        {"138", B(55, 0), 0x04},
        {"618", B(55, 0), 0x80},
        {"9285", B(55, 0), 0x01},
        {"380", B(55, 2), 0x10},
        {"842", B(55, 2), 0x40},
        {"9271", B(55, 2), 0x20},
        {"375", B(55, 3), 0x10},
        {"376", B(55, 3), 0x20},
        {"524", B(55, 4), 0x08},
        {"617", B(55, 5), 0x10},
        {"045", B(55, 22), 0x10},
        {"046", B(55, 22), 0x08},
        {"9532", B(78, 8), 0x04},
        {"097", B(80, 9), 0x10},
        {"377", B(80, 9), 0x01},
        {"622", B(80, 9), 0x20},
        {"623", B(80, 9), 0x04},
        {"637", B(80, 9), 0x08},
        {"817", B(80, 12), 0x80},
        {"9292", B(80, 12), 0x04},
        {"9245", B(80, 20), 0x10},
        {"417", B(80, 45), 0x04},
        {"418", B(80, 45), 0x08},
        {"677", B(80, 45), 0x10},
        {"9256", B(80, 47), 0x20},
        {"852", B(103, 0), 0x01},
        {"9288", B(132, 2), 0x01},
        {"730", B(132, 3), 0x04},
        {"808", B(132, 3), 0x01},
        {"416", B(139, 0), 0x01},
        {"411", B(139, 2), 0x01},
        {"733", B(139, 5), 0x40},
        {"510", S(SettingByte::k9307), 0x10},
        {"405", S(SettingByte::k405), 0x10},
        {"420", S(SettingByte::k405), 0x40},
        {"425", S(SettingByte::k189), 0x08},
        {"809", S(SettingByte::k189), 0x80},
        {"9294", S(SettingByte::k706), 0x08},
        {"427", S(SettingByte::k427), 0x02},
        {"429", S(SettingByte::k429), 0x01},
        {"9403", S(SettingByte::k9403), 0x01},
        {"9411", S(SettingByte::k9411), 0x01},
    };
    return commands;
}

// The items of the flag slot that name one fixed byte.
const std::map<int, Place>& FixedFlagItems() {
    static const std::map<int, Place> items = {
        {5, B(6, 0)},
        {12, B(40, 36)},
        {13, B(78, 8)},
        {14, B(139, 0)},
        {16, B(139, 2)},
        {21, B(132, 2)},
        {24, B(103, 0)},
        {28, B(80, 9)},
        {29, B(80, 20)},
        {32, B(80, 12)},
        {33, B(80, 12)},
        {36, B(80, 45)},
        {37, B(80, 45)},
        {38, B(80, 45)},
        {41, S(SettingByte::k9307)},
        {43, B(3, 14)},
        {45, S(SettingByte::k9403)},
        {46, S(SettingByte::k706)},
        {47, S(SettingByte::k9411)},
        {48, S(SettingByte::k405)},
        {50, S(SettingByte::k189)},
        {51, B(139, 5)},
        {52, B(132, 3)},
        {60, S(SettingByte::k427)},
        {61, S(SettingByte::k429)},
        {62, B(80, 47)},
    };
    return items;
}

TEST_F(HandlerCheck, FlagSlotListsNinetyNineCommands) {
    EXPECT_EQ(FlagCommands().size(), 99u);
    std::set<std::string> numbers;
    for (const FlagCommand& c : FlagCommands()) numbers.insert(c.number);
    EXPECT_EQ(numbers.size(), 99u);
    std::size_t in_table = 0;
    const CommandTable& table = BuiltInCommandTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].IsEndRecord() || i == table.CatchAllIndex()) continue;
        if (table[i].HandlerSlot() != 0) continue;
        ++in_table;
        EXPECT_TRUE(numbers.count(table.NumberAt(i)))
            << "*" << table.NumberAt(i) << " is on slot 0";
    }
    EXPECT_EQ(in_table, 99u);
}

// The descriptor's item and pointer entry lead to the byte the command sets.
TEST_F(HandlerCheck, FlagItemsLeadToTheirBytes) {
    DataImage& image = state->image;
    std::set<int> fixed_items_used;
    for (const FlagCommand& c : FlagCommands()) {
        SCOPED_TRACE(c.number);
        const CommandDescriptor& d = DescriptorOf(c.number);
        const std::array<std::uint8_t, 10> head{0x00, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 0x00};
        for (std::size_t i = 0; i < head.size(); ++i)
            EXPECT_EQ(d.bytes[i], head[i]) << "byte " << i;
        EXPECT_EQ(d.Mask(), c.mask);
        const std::uint8_t* target = c.target.In(image);
        const int item = d.SubType();
        const unsigned entry = d.PointerEntry();
        if (item == 1) {
            EXPECT_LE(entry, 31u);
            EXPECT_EQ(DataBytePointer(image, entry), target) << "entry " << entry;
        } else if (item == 2) {
            EXPECT_TRUE(entry == 1 || entry == 3 || entry == 6 || entry == 7) << entry;
            EXPECT_EQ(DataBytePointer(image, entry + 32), target) << "entry " << entry;
        } else if (item == 6) {
            EXPECT_TRUE(entry == 0 || (entry >= 2 && entry <= 5) || entry == 16) << entry;
            EXPECT_EQ(DataBytePointer(image, entry + 40), target) << "entry " << entry;
        } else {
            const auto it = FixedFlagItems().find(item);
            ASSERT_NE(it, FixedFlagItems().end()) << "item " << item;
            EXPECT_EQ(it->second.In(image), target) << "item " << item;
            fixed_items_used.insert(item);
        }
    }
    std::set<int> fixed_items;
    for (const auto& [item, place] : FixedFlagItems()) fixed_items.insert(item);
    EXPECT_EQ(fixed_items_used, fixed_items);
}

TEST_F(HandlerCheck, FlagCommandsSetClearAndShowTheirBit) {
    for (const FlagCommand& c : FlagCommands()) {
        const std::string n = c.number;
        Run(Case{"*" + n,
                 {},
                 {
                     Stored("*" + n + "0#", n + "=0P", {{c.target, c.mask, 0}}),
                     Shown("*" + n + "#", n + "=0c"),
                     Stored("*" + n + "1#", n + "=1P", {{c.target, c.mask, c.mask}}),
                     Shown("*" + n + "#", n + "=1c"),
                     Refused("*" + n + "2#"),
                     Refused("*" + n + "9#"),
                     Shown("*" + n + "#", n + "=1c"),
                     Stored("*" + n + "0#", n + "=0P", {{c.target, c.mask, 0}}),
                 }});
        if (HasFatalFailure()) return;
    }
}

TEST_F(HandlerCheck, FlagOfStarZeroZeroTwo) {
    Run(Case{"*002",
             {},
             {
                 Stored("*0021#", "002=1P", {{B(3, 21), 0x10, 0x10}}),
                 Stored("*0020#", "002=0P", {{B(3, 21), 0x10, 0x00}}),
                 Refused("*0022#"),
             }});
}

// ---------------------------------------------------------------------------------------------
// Slots 4 and 8: small option fields of one digit

struct OptionCommand {
    const char* number;
    int slot;
    int item;
    Place target;
    std::uint8_t mask;   // the field
    std::uint8_t shift;  // its lowest bit
    int low, high;       // accepted values
    bool whole_byte_codes = false;
};

// *092 keeps one of four whole-byte codes.
constexpr std::array<std::uint8_t, 4> kCodes092{0x02, 0x07, 0x0A, 0x0F};

const std::vector<OptionCommand>& OptionCommands() {
    static const std::vector<OptionCommand> commands = {
        // slot 4
        {"122", 4, 15, S(SettingByte::k9307), 0x03, 0, 0, 2},
        {"189", 4, 16, S(SettingByte::k189), 0x30, 4, 0, 2},
        {"412", 4, 12, B(80, 12), 0x30, 4, 0, 2},
        {"521", 4, 2, B(3, 18), 0x30, 4, 0, 2},
        {"621", 4, 10, B(80, 9), 0xC0, 6, 0, 1},
        {"688", 4, 8, B(80, 13), 0x30, 4, 0, 3},
        {"689", 4, 9, B(80, 12), 0x03, 0, 0, 3},
        {"822", 4, 19, S(SettingByte::k822), 0x30, 4, 0, 2},
        {"859", 4, 17, S(SettingByte::k822), 0xC0, 6, 0, 2},
        // slot 8
        {"028", 8, 21, B(139, 3), 0x0F, 0, 0, 3},
        {"091", 8, 1, B(3, 4), 0x03, 0, 0, 3},
        {"092", 8, 6, B(3, 3), 0xFF, 0, 0, 3, true},
        {"093", 8, 5, B(3, 2), 0x18, 3, 0, 3},
        {"094", 8, 7, B(3, 7), 0xC0, 6, 0, 3},
        {"095", 8, 3, B(3, 44), 0x0C, 2, 0, 3},
        {"096", 8, 4, B(3, 44), 0x30, 4, 0, 3},
        {"132", 8, 13, B(55, 0), 0x30, 4, 0, 3},
        {"187", 8, 26, S(SettingByte::k187), 0x03, 0, 0, 3},
        {"317", 8, 24, B(80, 45), 0x03, 0, 0, 3},
        {"348", 8, 8, B(40, 4), 0x30, 4, 0, 3},
        {"373", 8, 10, B(40, 8), 0x03, 0, 0, 3},
        {"406", 8, 27, S(SettingByte::k189), 0x07, 0, 1, 2},
        {"508", 8, 2, B(3, 16), 0x30, 4, 0, 3},
        {"522", 8, 2, B(3, 17), 0x30, 4, 0, 3},
        {"705", 8, 25, S(SettingByte::k673), 0x70, 4, 0, 5},
        {"723", 8, 16, B(40, 1), 0x30, 4, 0, 3},
        {"725", 8, 9, B(40, 5), 0x0C, 2, 0, 3},
        {"816", 8, 17, B(40, 4), 0xC0, 6, 0, 3},
        {"846", 8, 1, B(3, 17), 0x03, 0, 0, 3},
        {"847", 8, 3, B(3, 25), 0x0C, 2, 0, 3},
        {"851", 8, 12, B(55, 5), 0xC0, 6, 0, 3},
        {"9206", 8, 15, B(6, 0), 0x30, 4, 0, 3},
        {"9224", 8, 9, B(40, 10), 0x0C, 2, 0, 3},
        {"9439", 8, 29, S(SettingByte::k9439), 0x03, 0, 0, 3},
        {"9531", 8, 20, B(78, 8), 0x03, 0, 0, 3},
    };
    return commands;
}

TEST_F(HandlerCheck, OptionSlotsListTheirCommands) {
    std::map<int, std::set<std::string>> listed;
    for (const OptionCommand& c : OptionCommands()) listed[c.slot].insert(c.number);
    EXPECT_EQ(listed[4].size(), 9u);
    EXPECT_EQ(listed[8].size(), 26u);
    const CommandTable& table = BuiltInCommandTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].IsEndRecord() || i == table.CatchAllIndex()) continue;
        const int slot = table[i].HandlerSlot();
        if (slot != 4 && slot != 8) continue;
        EXPECT_TRUE(listed[slot].erase(table.NumberAt(i)))
            << "*" << table.NumberAt(i) << " is on slot " << slot;
    }
    EXPECT_TRUE(listed[4].empty());
    EXPECT_TRUE(listed[8].empty());
}

TEST_F(HandlerCheck, OptionDescriptorsAndPointerEntries) {
    DataImage& image = state->image;
    for (const OptionCommand& c : OptionCommands()) {
        SCOPED_TRACE(c.number);
        const CommandDescriptor& d = DescriptorOf(c.number);
        EXPECT_EQ(d.Kind(), 0);
        EXPECT_EQ(d.bytes[1], 0x01);  // no key field, one data field
        EXPECT_EQ(d.bytes[2], 0x11);  // of one digit
        EXPECT_EQ(d.HandlerSlot(), c.slot);
        EXPECT_EQ(d.SubType(), c.item);
        if (c.slot != 8) continue;
        // Items that find their byte through the pointer table, by the base their item adds.
        int base = -1;
        if (c.item >= 1 && c.item <= 6) base = 0;
        if (c.item >= 8 && c.item <= 10) base = 32;
        if (c.item >= 12 && c.item <= 13) base = 40;
        if (base >= 0) {
            EXPECT_EQ(DataBytePointer(image, d.PointerEntry() + static_cast<unsigned>(base)),
                      c.target.In(image))
                << "entry " << int{d.PointerEntry()};
        }
    }
}

TEST_F(HandlerCheck, OptionCommandsStoreRefuseAndShow) {
    for (const OptionCommand& c : OptionCommands()) {
        const std::string n = c.number;
        Case test{"*" + n, {}, {}};
        // Highest first, so every store changes the field from the one before.
        for (int v = c.high; v >= c.low; --v) {
            const std::string digit(1, static_cast<char>('0' + v));
            const std::uint8_t bits = c.whole_byte_codes ? kCodes092[static_cast<std::size_t>(v)]
                                                         : static_cast<std::uint8_t>(v << c.shift);
            test.steps.push_back(
                Stored("*" + n + digit + "#", n + "=" + digit + "P", {{c.target, c.mask, bits}}));
            test.steps.push_back(Shown("*" + n + "#", n + "=" + digit + "c"));
        }
        for (int v = 0; v <= 9; ++v) {
            if (v >= c.low && v <= c.high) continue;
            test.steps.push_back(
                Refused("*" + n + std::string(1, static_cast<char>('0' + v)) + "#"));
        }
        test.steps.push_back(
            Shown("*" + n + "#", n + "=" + std::string(1, static_cast<char>('0' + c.low)) + "c"));
        Run(test);
        if (HasFatalFailure()) return;
    }
}

TEST_F(HandlerCheck, StarZeroNineTwoKeepsWholeByteCodes) {
    Run(Case{"*092",
             {},
             {
                 Refused("*0924#"),
                 Stored("*0923#", "092=3P", {{B(3, 3), 0xFF, 0x0F}}),
                 Shown("*092#", "092=3c"),
             }});
}

// ---------------------------------------------------------------------------------------------
// Slot 1: *332, two flags over a range of rows of block 54 (12-byte entries)

std::vector<Change> RowFlags(int first, int last, bool flag4, bool flag5) {
    std::vector<Change> changes;
    for (int r = first; r <= last; ++r) {
        const std::size_t entry = 12u * static_cast<std::size_t>(r - 1);
        changes.push_back({B(54, entry + 4), 0x80, flag4 ? std::uint8_t{0x80} : std::uint8_t{0}});
        changes.push_back({B(54, entry + 5), 0x80, flag5 ? std::uint8_t{0x80} : std::uint8_t{0}});
    }
    return changes;
}

TEST_F(HandlerCheck, StarThreeThreeTwoRowFlags) {
    const CommandDescriptor& d = DescriptorOf("332");
    const std::array<std::uint8_t, kDescriptorBytes> bytes{0x00, 0x22, 0x22, 0x02, 0x11, 0x01, 0x00,
                                                           0x00, 0x01, 0x01, 0x00, 0x00, 0x80};
    EXPECT_EQ(d.bytes, bytes);

    Run(Case{"a range of rows",
             {},
             {
                 Stored("*332010510#", "332=01,05-1,0P", RowFlags(1, 5, true, false)),
                 Shown("*33203##", "332=03,-1,0c"), Shown("*33206##", "332=06,-0,0c"),
                 Refused("*332015#1#"),
                 Refused("*3320105#"),  // a range has no show
             }});
    Run(Case{"one row, second value defaulting to the first",
             {},
             {
                 Stored("*33207#1#", "332=07,-1,P", RowFlags(7, 7, true, true)),
                 Shown("*33207##", "332=07,-1,1c"),
                 Stored("*33207#01#", "332=07,-0,1P", RowFlags(7, 7, false, true)),
                 Shown("*33207##", "332=07,-0,1c"),
                 Stored("*33207#0#", "332=07,-0,P", RowFlags(7, 7, false, false)),
             }});
    Run(Case{"every row",
             {},
             {
                 Stored("*332012401#", "332=01,24-0,1P", RowFlags(1, 24, false, true)),
                 Stored("*332242411#", "332=24,24-1,1P", RowFlags(24, 24, true, true)),
                 Shown("*33224##", "332=24,-1,1c"),
             }});
    Run(Case{"rows and values out of range",
             {},
             {
                 Refused("*33200#1#"),
                 Refused("*33225#1#"),
                 Refused("*332050411#"),
                 Refused("*332052511#"),
                 Refused("*33201#2#"),
                 Refused("*33201#12#"),
                 Refused("*3320105#1#"),
                 Refused("*33200##"),
                 Refused("*33225##"),
             }});
}

// ---------------------------------------------------------------------------------------------
// Slot 3: *001, *316, *9228 position codes

TEST_F(HandlerCheck, PositionCodesOfSlotThree) {
    for (const auto& [number, item] :
         std::vector<std::pair<std::string, int>>{{"001", 1}, {"316", 2}, {"9228", 3}}) {
        SCOPED_TRACE(number);
        const CommandDescriptor& d = DescriptorOf(number);
        EXPECT_EQ(d.bytes[1], 0x11);
        EXPECT_EQ(d.bytes[2], 0x11);
        EXPECT_EQ(d.bytes[3], 0x33);
        EXPECT_EQ(d.ReentryField(), 1);
        EXPECT_EQ(d.HandlerSlot(), 3);
        EXPECT_EQ(d.SubType(), item);
    }
    Run(Case{"*001",
             {},
             {
                 Stored("*0011105#", "001=1-105P", {{B(3, 42), 0xFF, 9}}),
                 Shown("*0011#", "001=1-105c"),
                 Stored("*0012112#", "001=2-112P", {{B(3, 43), 0xFF, 36}}),
                 Shown("*0012#", "001=2-112c"),
                 Stored("*0011109#", "001=1-109P", {{B(3, 42), 0xFF, 33}}),
                 Stored("*0012104#", "001=2-104P", {{B(3, 43), 0xFF, 4}}),
                 Stored("*0011000#", "001=1-000P", {{B(3, 42), 0xFF, 0}}),
                 Shown("*0011#", "001=1-000c"),
                 Refused("*0010101#"),
                 Refused("*0013101#"),
                 Refused("*0011107#"),
                 Refused("*0011108#"),
                 Refused("*0011113#"),
                 Refused("*0011100#"),
                 Refused("*0011137#"),
                 Refused("*0011201#"),
                 Refused("*0011800#"),
                 Refused("*0010#"),
                 Refused("*0013#"),
             }});
    Run(Case{"*316",
             {},
             {
                 Stored("*3161106#", "316=1-106P", {{B(139, 6), 0xFF, 10}}),
                 Stored("*3162101#", "316=2-101P", {{B(139, 7), 0xFF, 1}}),
                 Shown("*3161#", "316=1-106c"),
                 Refused("*3160101#"),
                 Refused("*3163101#"),
             }});
    Run(Case{"*9228",
             {},
             {
                 Stored("*92280101#", "9228=0-101P", {{B(80, 51), 0xFF, 1}}),
                 Stored("*92283112#", "9228=3-112P", {{B(80, 168), 0xFF, 36}}),
                 Stored("*92281110#", "9228=1-110P", {{B(80, 90), 0xFF, 34}}),
                 Shown("*92283#", "9228=3-112c"),
                 Refused("*92284101#"),
                 Refused("*92280107#"),
             }});
}

// ---------------------------------------------------------------------------------------------
// Slot 5: *9319 two-bit fields of block 34

TEST_F(HandlerCheck, StarNineThreeOneNineFields) {
    const CommandDescriptor& d = DescriptorOf("9319");
    EXPECT_EQ(d.bytes[1], 0x31);
    EXPECT_EQ(d.bytes[2], 0x11);
    EXPECT_EQ(d.bytes[3], 0x22);
    EXPECT_EQ(d.bytes[4], 0x11);
    EXPECT_EQ(d.bytes[5], 0x11);
    EXPECT_EQ(d.ReentryField(), 2);
    EXPECT_EQ(d.HandlerSlot(), 5);

    Run(Case{"*9319",
             {},
             {
                 // b odd, c 1: bits 0-1 of byte 12a + b/2
                 Stored("*931900512#", "9319=0,05,1-2P", {{B(34, 2), 0x03, 0x02}}),
                 Shown("*93190051#", "9319=0,05,1-2c"),
                 // b even, c 0: bits 6-7
                 Stored("*931911003#", "9319=1,10,0-3P", {{B(34, 17), 0xC0, 0xC0}}),
                 Shown("*93191100#", "9319=1,10,0-3c"),
                 // b even, c 1: bits 4-5
                 Stored("*931921211#", "9319=2,12,1-1P", {{B(34, 30), 0x30, 0x10}}),
                 // b odd, c 0: bits 2-3
                 Stored("*931922302#", "9319=2,23,0-2P", {{B(34, 35), 0x0C, 0x08}}),
                 Shown("*93192230#", "9319=2,23,0-2c"),
                 Stored("*931900001#", "9319=0,00,0-1P", {{B(34, 0), 0xC0, 0x40}}),
                 Refused("*931900510#"),
                 Refused("*931900514#"),
                 Refused("*931930511#"),
                 Refused("*931902401#"),
                 Refused("*931900521#"),
                 Refused("*93193051#"),
                 Refused("*93190241#"),
                 Refused("*93190052#"),
             }});
}

// ---------------------------------------------------------------------------------------------
// Slot 7: *9200, *9201 (block 6 rows) and *9392 (block 85 rows)

TEST_F(HandlerCheck, PortRowsOfStarNineTwoZeroZeroAndNineTwoZeroOne) {
    for (const auto& [number, item] :
         std::vector<std::pair<std::string, int>>{{"9200", 1}, {"9201", 2}, {"9392", 101}}) {
        SCOPED_TRACE(number);
        const CommandDescriptor& d = DescriptorOf(number);
        EXPECT_EQ(d.bytes[1], 0x21);
        EXPECT_EQ(d.bytes[2], number == "9392" ? 0x22 : 0x11);
        EXPECT_EQ(d.bytes[3], number == "9392" ? 0x11 : 0x22);
        EXPECT_EQ(d.bytes[4], 0x33);
        EXPECT_EQ(d.ReentryField(), 2);
        EXPECT_EQ(d.HandlerSlot(), 7);
        EXPECT_EQ(d.SubType(), item);
    }

    Run(Case{"entries",
             {},
             {
                 Stored("*9200101105#", "9200=1,01-105P", {{B(6, 8), 0xFF, 9}}),
                 Stored("*9200110137#", "9200=1,10-137P", {{B(6, 17), 0xFF, 65}}),
                 Stored("*9200501148#", "9200=5,01-148P", {{B(6, 88), 0xFF, 100}}),
                 Stored("*9201101112#", "9201=1,01-112P", {{B(6, 18), 0xFF, 36}}),
                 Stored("*9201510101#", "9201=5,10-101P", {{B(6, 107), 0xFF, 1}}),
                 Stored("*9200305140#", "9200=3,05-140P", {{B(6, 52), 0xFF, 68}}),
                 Shown("*9200101#", "9200=1,01-105c"),
                 Shown("*9201510#", "9201=5,10-101c"),
                 Stored("*9200101000#", "9200=1,01-000P", {{B(6, 8), 0xFF, 0}}),
                 Refused("*9200001101#"),
                 Refused("*9200601101#"),
                 Refused("*9200111101#"),
                 Refused("*9200101113#"),
                 Refused("*9200101136#"),
                 Refused("*9200101149#"),
                 Refused("*9200101201#"),
                 Refused("*9200101800#"),
                 Refused("*9200100101#"),
                 Refused("*9200100#"),
                 Refused("*9200111#"),
             }});

    std::vector<Change> row1_cleared;
    for (std::size_t b = 8; b <= 17; ++b) row1_cleared.push_back({B(6, b), 0xFF, 0});
    Run(Case{"entry 0 clears a row",
             {"*9200101105#", "*9200110137#", "*9201101112#", "*9200201101#"},
             {
                 Stored("*9200100000#", "9200=1,00-000P", row1_cleared),
                 Shown("*9201101#", "9201=1,01-112c"),
                 Shown("*9200201#", "9200=2,01-101c"),
             }});
}

TEST_F(HandlerCheck, PortRowsOfStarNineThreeNineTwo) {
    Run(Case{
        "entries",
        {},
        {
            Stored("*9392011137#", "9392=01,1-137P", {{B(85, 6), 0xFF, 65}}),
            Stored("*9392004148#", "9392=00,4-148P", {{B(85, 5), 0xFF, 100}}),
            Stored("*9392033140#", "9392=03,3-140P", {{B(85, 16), 0xFF, 68}}),
            Shown("*9392011#", "9392=01,1-137c"),
            // A code stands in one place only: storing it elsewhere takes it from its row.
            Stored("*9392022137#", "9392=02,2-137P", {{B(85, 6), 0xFF, 0}, {B(85, 11), 0xFF, 65}}),
            Stored("*9392024137#", "9392=02,4-137P", {{B(85, 11), 0xFF, 0}, {B(85, 13), 0xFF, 65}}),
            Refused("*9392011101#"),
            Refused("*9392011112#"),
            Refused("*9392011136#"),
            Refused("*9392011149#"),
            Refused("*9392041137#"),
            Refused("*9392015137#"),
            Refused("*9392010137#"),
            Refused("*9392010#"),
            Refused("*9392015#"),
        }});

    std::vector<Change> row1_cleared;
    for (std::size_t b = 6; b <= 9; ++b) row1_cleared.push_back({B(85, b), 0xFF, 0});
    Run(Case{"entry 0 clears a row",
             {"*9392011137#", "*9392014148#", "*9392021138#"},
             {
                 Stored("*9392010000#", "9392=01,0-000P", row1_cleared),
                 Shown("*9392021#", "9392=02,1-138c"),
                 Shown("*9392014#", "9392=01,4-000c"),
             }});
}

// ---------------------------------------------------------------------------------------------
// Slot 12: *360, two flags of block 40, byte 0

TEST_F(HandlerCheck, StarThreeSixZeroFlags) {
    const CommandDescriptor& d = DescriptorOf("360");
    EXPECT_EQ(d.bytes[1], 0x02);
    EXPECT_EQ(d.bytes[2], 0x11);
    EXPECT_EQ(d.bytes[3], 0x01);
    EXPECT_EQ(d.HandlerSlot(), 12);

    Run(Case{"*360",
             {},
             {
                 Stored("*36010#", "360=1,0P", {{B(40, 0), 0x0C, 0x08}}),
                 Shown("*360#", "360=1,0c"),
                 Stored("*3601#", "360=1,P", {{B(40, 0), 0x0C, 0x0C}}),
                 Shown("*360#", "360=1,1c"),
                 Stored("*36001#", "360=0,1P", {{B(40, 0), 0x0C, 0x04}}),
                 Shown("*360#", "360=0,1c"),
                 Stored("*3600#", "360=0,P", {{B(40, 0), 0x0C, 0x00}}),
                 Refused("*3602#"),
                 Refused("*36012#"),
                 Refused("*36029#"),
             }});
}

// ---------------------------------------------------------------------------------------------
// Slots that no command names

TEST_F(HandlerCheck, NoCommandUsesSlotsTwoSixAndNine) {
    const CommandTable& table = BuiltInCommandTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].IsEndRecord()) continue;
        const int slot = table[i].HandlerSlot();
        EXPECT_TRUE(slot != 2 && slot != 6 && slot != 9) << "*" << table.NumberAt(i);
    }
}

// No command reaches these slots; a table of the test's own gives each one: *000 slot 2 (five
// one-digit fields), *001 slot 6 (key 0-2, up to 16 dial digits), *002 and *003 slot 9 (key 0-3,
// two two-digit values; sub-types 1 and 2).
CommandDescriptor Record(std::array<std::uint8_t, kDescriptorBytes> bytes) {
    CommandDescriptor d;
    d.bytes = bytes;
    return d;
}

CommandTable TableOfUnusedSlots() {
    std::vector<CommandDescriptor> records = {
        Record({0x00, 0x05, 0x11, 0x11, 0x11, 0x11, 0x11, 0x00, 0x00, 2, 0, 0, 0}),
        Record({0x00, 0x11, 0x11, 0x10, 0x00, 0x00, 0x00, 0x00, 0x01, 6, 0, 0, 0}),
        Record({0x00, 0x12, 0x11, 0x22, 0x22, 0x00, 0x00, 0x00, 0x01, 9, 1, 0, 0}),
        Record({0x00, 0x12, 0x11, 0x22, 0x22, 0x00, 0x00, 0x00, 0x01, 9, 2, 0, 0}),
    };
    for (std::size_t g = 0; g < kCommandGroupCount; ++g) {
        records.push_back(Record({0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0}));
    }
    records.push_back(Record({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3C, 0, 0, 0}));
    return CommandTable(std::move(records));
}

class UnusedSlotCheck : public HandlerCheck {
  protected:
    CommandTable table = TableOfUnusedSlots();
    void SetUp() override {
        HandlerCheck::SetUp();
        state->keypad.command_table = &table;
    }
};

TEST_F(UnusedSlotCheck, SlotTwoFlagsAndValue) {
    Run(Case{
        "slot 2",
        {},
        {
            Stored("*00010115#", "000=1,0,1,1,5P", {{B(20, 30), 0xF7, 0xB5}, {B(147, 0), 0xFF, 1}}),
            Shown("*000#", "000=1,0,1,1,5c"),
            Stored("*00001006#", "000=0,1,0,0,6P", {{B(20, 30), 0xF7, 0x46}}),
            Refused("*00020000#"),
            Refused("*00000007#"),
        }});
}

TEST_F(UnusedSlotCheck, SlotSixDialDigits) {
    Run(Case{"slot 6",
             {},
             {
                 Stored("*001112345#", "001=1-12345P",
                        {{B(45, 8), 0xFF, 0x21}, {B(45, 9), 0xFF, 0x43}, {B(45, 10), 0xFF, 0x05}}),
                 Shown("*0011#", "001=1-12345c"),
                 Stored("*00121234567890123456#", "001=2-1234567890123456P",
                        {{B(45, 16), 0xFF, 0x21},
                         {B(45, 17), 0xFF, 0x43},
                         {B(45, 18), 0xFF, 0x65},
                         {B(45, 19), 0xFF, 0x87},
                         {B(45, 20), 0xFF, 0xA9},
                         {B(45, 21), 0xFF, 0x21},
                         {B(45, 22), 0xFF, 0x43},
                         {B(45, 23), 0xFF, 0x65}}),
                 Shown("*0012#", "001=2-1234567890123456c"),
                 Stored("*001100#", "001=1-00P",
                        {{B(45, 8), 0xFF, 0}, {B(45, 9), 0xFF, 0}, {B(45, 10), 0xFF, 0}}),
                 Refused("*00131#"),
             }});
}

TEST_F(UnusedSlotCheck, SlotNineValuePairs) {
    Run(Case{
        "slot 9",
        {},
        {
            Stored("*00221599#", "002=2-15,99P", {{B(44, 2), 0xFF, 15}, {B(44, 6), 0xFF, 99}}),
            Shown("*0022#", "002=2-15,99c"),
            Stored("*00334207#", "003=3-42,07P", {{B(44, 11), 0xFF, 42}, {B(44, 15), 0xFF, 7}}),
            Refused("*00241599#"),
        }});
}

// ---------------------------------------------------------------------------------------------
// The slot map: how many commands use each slot, the first of them, and which halves are the
// shared accept (A store, a show) and reject (R, r) entries. Slot 51, which answers 0 in both
// halves and changes nothing, has the accept entry in both.

struct SlotRow {
    int count;
    const char* first;
    const char* shared;
};

// clang-format off
constexpr std::array<SlotRow, kHandlerSlotCount> kSlotMap{{
    /*   0 */ {99, "002", ""},  {1, "332", ""},   {0, "", ""},      {3, "001", ""},   {9, "122", ""},
    /*   5 */ {1, "9319", ""},  {0, "", ""},      {3, "9200", ""},  {26, "028", ""},  {0, "", ""},
    /*  10 */ {7, "025", ""},   {1, "9223", ""},  {1, "360", ""},   {2, "101", ""},   {1, "9222", ""},
    /*  15 */ {1, "721", ""},   {20, "038", ""},  {9, "027", ""},   {4, "150", ""},   {1, "080", ""},
    /*  20 */ {0, "", ""},      {4, "181", ""},   {1, "010", "A"},  {2, "034", ""},   {2, "019", ""},
    /*  25 */ {0, "", ""},      {4, "9231", ""},  {0, "", ""},      {1, "9233", ""},  {4, "115", ""},
    /*  30 */ {0, "", ""},      {3, "732", ""},   {1, "9309", ""},  {0, "", ""},      {3, "014", "A"},
    /*  35 */ {3, "328", ""},   {5, "386", ""},   {0, "", ""},      {0, "", ""},      {4, "154", ""},
    /*  40 */ {2, "9234", ""},  {1, "731", ""},   {1, "362", ""},   {1, "084", ""},   {1, "081", ""},
    /*  45 */ {2, "503", ""},   {2, "130", ""},   {1, "126", ""},   {0, "", ""},      {0, "", ""},
    /*  50 */ {1, "9320", ""},  {0, "", "Aa"},    {0, "", ""},      {3, "103", ""},   {1, "9314", ""},
    /*  55 */ {2, "098", ""},   {1, "850", ""},   {1, "9321", ""},  {1, "361", ""},   {0, "", ""},
    /*  60 */ {330, "005", "Rr"}, {1, "007", "a"}, {0, "", ""},     {1, "9337", ""},  {2, "000", ""},
    /*  65 */ {3, "163", ""},   {1, "9278", ""},  {1, "012", "A"},  {33, "111", ""},  {0, "", ""},
    /*  70 */ {1, "140", ""},   {1, "351", ""},   {1, "113", ""},   {1, "009", ""},   {3, "325", ""},
    /*  75 */ {1, "642", ""},   {5, "520", ""},   {1, "366", ""},   {1, "707", ""},   {1, "180", ""},
    /*  80 */ {0, "", ""},      {0, "", ""},      {0, "", ""},      {11, "013", ""},  {0, "", "a"},
    /*  85 */ {0, "", ""},      {2, "040", ""},   {0, "", ""},      {0, "", ""},      {1, "300", ""},
    /*  90 */ {2, "110", ""},   {1, "112", ""},   {2, "641", ""},   {0, "", ""},      {1, "082", ""},
    /*  95 */ {2, "323", ""},   {1, "011", "A"},  {1, "016", ""},   {1, "018", "A"},  {1, "017", ""},
    /* 100 */ {3, "003", "A"},  {0, "", ""},      {7, "035", ""},   {2, "085", ""},   {0, "", ""},
    /* 105 */ {0, "", ""},      {5, "047", ""},   {2, "021", "A"},  {1, "9306", ""},  {0, "", ""},
    /* 110 */ {15, "314", ""},  {0, "", ""},      {0, "", ""},      {0, "", ""},      {5, "050", ""},
    /* 115 */ {0, "", "Aa"},    {1, "9202", ""},  {4, "9203", ""},  {0, "", ""},      {1, "144", ""},
    /* 120 */ {1, "301", ""},   {3, "088", ""},   {0, "", "Aa"},    {3, "302", ""},   {1, "087", ""},
    /* 125 */ {0, "", ""},      {0, "", "Aa"},    {1, "679", ""},   {0, "", ""},      {4, "370", ""},
    /* 130 */ {0, "", "Aa"},    {0, "", ""},      {2, "9315", ""},  {1, "9316", ""},  {0, "", ""},
    /* 135 */ {3, "042", ""},   {1, "090", ""},   {3, "321", ""},   {8, "9442", ""},  {0, "", ""},
    /* 140 */ {0, "", "a"},     {2, "355", ""},   {1, "356", ""},   {2, "365", ""},   {0, "", ""},
    /* 145 */ {1, "334", ""},   {0, "", ""},      {0, "", ""},      {1, "9301", ""},  {8, "183", ""},
    /* 150 */ {0, "", ""},      {0, "", ""},      {2, "331", ""},   {4, "033", ""},   {3, "9230", ""},
    /* 155 */ {0, "", ""},      {0, "", "Rr"},    {0, "", "Rr"},    {0, "", "Rr"},    {0, "", ""},
    /* 160 */ {1, "030", ""},   {1, "711", ""},   {4, "390", ""},   {11, "382", ""},  {3, "395", ""},
    /* 165 */ {5, "340", ""},   {9, "381", ""},   {1, "364", ""},   {1, "9290", ""},  {0, "", "Aa"},
    /* 170 */ {1, "9500", ""},  {1, "9501", ""},  {0, "", ""},      {0, "", ""},      {0, "", ""},
    /* 175 */ {1, "9502", ""},  {1, "9521", ""},  {0, "", ""},      {1, "9530", ""},  {1, "9523", ""},
    /* 180 */ {0, "", ""},      {0, "", ""},      {1, "305", ""},   {2, "310", ""},   {2, "312", ""},
    /* 185 */ {1, "160", ""},   {3, "161", ""},   {1, "349", ""},   {1, "616", ""},   {1, "601", ""},
    /* 190 */ {2, "165", ""},   {1, "619", ""},   {2, "681", ""},   {1, "029", ""},   {1, "026", ""},
    /* 195 */ {9, "9400", ""},  {7, "9402", ""},  {1, "860", "R"},  {4, "9430", ""},  {2, "9431", ""},
    /* 200 */ {0, "", "Aa"},    {0, "", "Aa"},    {0, "", "Aa"},    {0, "", "Aa"},    {1, "9141", ""},
    /* 205 */ {1, "9226", ""},  {1, "422", ""},   {1, "699", ""},   {2, "9210", ""},  {1, "824", ""},
    /* 210 */ {1, "9361", ""},
}};
// clang-format on

bool Marked(const SlotRow& row, char mark) {
    return std::string_view(row.shared).find(mark) != std::string_view::npos;
}

TEST_F(HandlerCheck, SlotMapCountsAndFirstCommands) {
    // 856 commands; the memory view and edit (*023, *024) have no slot.
    int total = 0;
    for (const SlotRow& row : kSlotMap) total += row.count;
    EXPECT_EQ(total, 854);

    const CommandTable& table = BuiltInCommandTable();
    std::array<int, kHandlerSlotCount> count{};
    std::array<std::string, kHandlerSlotCount> first{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].IsEndRecord() || i == table.CatchAllIndex()) continue;
        const std::uint8_t slot = table[i].HandlerSlot();
        if (slot >= kHandlerSlotCount) continue;  // memory view and edit
        if (count[slot]++ == 0) first[slot] = table.NumberAt(i);
    }
    for (std::size_t s = 0; s < kHandlerSlotCount; ++s) {
        SCOPED_TRACE("slot " + std::to_string(s));
        EXPECT_EQ(count[s], kSlotMap[s].count);
        EXPECT_EQ(first[s], kSlotMap[s].first);
    }
}

TEST_F(HandlerCheck, SlotMapSharedHalves) {
    const CommandHandlerTable& handlers = BuiltInHandlerTable();
    for (std::size_t s = 0; s < kHandlerSlotCount; ++s) {
        SCOPED_TRACE("slot " + std::to_string(s));
        const SlotRow& row = kSlotMap[s];
        ASSERT_NE(handlers.store[s], nullptr);
        ASSERT_NE(handlers.show[s], nullptr);
        EXPECT_EQ(handlers.store[s] == &AcceptEntry, Marked(row, 'A')) << "store half accepts";
        EXPECT_EQ(handlers.show[s] == &AcceptEntry, Marked(row, 'a')) << "show half accepts";
        // A slot that no command reaches may refuse through RejectEntry in both halves.
        const bool unused_refused =
            row.count == 0 && handlers.store[s] == &RejectEntry && handlers.show[s] == &RejectEntry;
        if (!unused_refused) {
            EXPECT_EQ(handlers.store[s] == &RejectEntry, Marked(row, 'R')) << "store half rejects";
            EXPECT_EQ(handlers.show[s] == &RejectEntry, Marked(row, 'r')) << "show half rejects";
        }
    }
}

TEST_F(HandlerCheck, SlotSixtyRefusesWithOrWithoutDigits) {
    Run(Case{"slot 60",
             {},
             {Refused("*005#"), Refused("*0051#"), Refused("*9100#"), Refused("*9539#"),
              Refused("*192#"), Refused("*250#")}});
}

}  // namespace
}  // namespace qzs
