// Slots 10, 11, 14 and 16-19: the shared option handlers, the port entries of block 40, the
// one-hot tables and the digit counts, typed on a started image through the command bridge.
#include <string>
#include <vector>

#include "programming/handlers/handler_support.h"
#include "programming/port_codecs.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

Place Copy080(std::size_t offset) {
    return T(
        "*080 copy", [](DataImage& i, std::size_t o) { return TableByte(i.copy_080, o); }, offset);
}

// --- Slots 10, 16 and 17: one digit into a field ------------------------------------------------

struct FieldCase {
    std::string command;
    Place place;
    unsigned shift;  // the field's lowest bit
    unsigned width;
    std::uint8_t min;
    std::uint8_t max;
};

const std::vector<FieldCase> kFieldCases{
    // slot 10
    {"025", S(SettingByte::k025), 0, 3, 0, 4},
    {"064", B(55, 16), 0, 3, 0, 4},
    {"065", B(55, 16), 4, 3, 0, 4},
    {"322", B(55, 2), 0, 3, 0, 4},
    {"413", B(132, 1), 0, 3, 0, 4},
    {"673", S(SettingByte::k673), 0, 3, 0, 4},
    {"706", S(SettingByte::k706), 0, 3, 0, 4},
    // slot 16
    {"9312", B(20, 17), 0, 3, 0, 7},
    {"157", B(3, 4), 5, 3, 0, 7},
    {"158", B(3, 5), 5, 3, 0, 7},
    {"712", B(3, 32), 5, 3, 1, 7},
    {"602", B(3, 15), 0, 3, 0, 7},
    {"670", B(3, 2), 0, 3, 0, 7},
    {"9218", B(3, 23), 0, 3, 1, 7},
    {"053", B(55, 17), 0, 3, 0, 7},
    {"055", B(55, 20), 0, 3, 0, 7},
    {"056", B(55, 18), 0, 3, 0, 7},
    {"057", B(55, 19), 0, 3, 0, 7},
    {"062", B(55, 14), 0, 3, 0, 7},
    {"054", B(55, 18), 4, 3, 0, 7},
    {"063", B(55, 14), 4, 3, 0, 7},
    {"848", B(55, 8), 4, 3, 0, 7},
    {"9533", B(78, 8), 4, 3, 1, 7},
    {"058", B(80, 34), 4, 3, 0, 7},
    {"059", B(80, 34), 0, 3, 0, 7},
    {"077", B(80, 35), 0, 4, 0, 7},
    {"038", B(3, 18), 0, 4, 0, 7},
    // slot 17
    {"156", B(3, 6), 0, 4, 0, 9},
    {"341", B(3, 20), 0, 4, 0, 9},
    {"343", B(3, 21), 0, 4, 0, 9},
    {"354", B(3, 22), 0, 4, 0, 9},
    {"027", B(40, 35), 0, 4, 0, 9},
    {"345", B(3, 20), 4, 4, 0, 9},
    {"372", B(40, 8), 4, 4, 0, 9},
    {"318", S(SettingByte::k318), 0, 4, 0, 9},
};

std::string Digit(unsigned v) {
    return std::string(1, static_cast<char>('0' + v));
}

TEST_F(HandlerCheck, OptionFieldsStoreAndShowTheirRange) {
    for (const FieldCase& c : kFieldCases) {
        const std::string& n = c.command;
        const auto mask = static_cast<std::uint8_t>(((1u << c.width) - 1) << c.shift);
        Case test{"*" + n, {}, {}};
        for (unsigned v : {unsigned{c.max}, unsigned{c.min}, (c.min + c.max + 1u) / 2}) {
            test.steps.push_back(
                Stored("*" + n + Digit(v) + "#", n + "=" + Digit(v) + "P",
                       {{c.place, mask, static_cast<std::uint8_t>(v << c.shift)}}));
            test.steps.push_back(Shown("*" + n + "#", n + "=" + Digit(v) + "c"));
        }
        if (c.max < 9) test.steps.push_back(Refused("*" + n + Digit(c.max + 1u) + "#"));
        if (c.min > 0) test.steps.push_back(Refused("*" + n + Digit(c.min - 1u) + "#"));
        Run(test);
    }
}

TEST_F(HandlerCheck, OptionFieldsThatShareAByteKeepTheOtherField) {
    Run(Case{"*345 and *341",
             {},
             {
                 Stored("*3459#", "345=9P", {{B(3, 20), 0xF0, 0x90}}),
                 Stored("*3412#", "341=2P", {{B(3, 20), 0x0F, 0x02}}),
                 Shown("*345#", "345=9c"),
                 Stored("*0643#", "064=3P", {{B(55, 16), 0x07, 0x03}}),
                 Stored("*0653#", "065=3P", {{B(55, 16), 0x70, 0x30}}),
                 Shown("*064#", "064=3c"),
                 Refused("*0646#"),
                 Refused("*0558#"),
                 Refused("*7120#"),
             }});
}

// *121 keeps one dial digit in the low nibble of the byte whose bits 5-7 are *158's.
TEST_F(HandlerCheck, DialDigitOptionKeepsTheHighNibble) {
    Run(Case{"*121",
             {"*1585#"},
             {
                 Stored("*1210#", "121=0P", {{B(3, 5), 0xFF, 0xAA}}),
                 Shown("*121#", "121=0c"),
                 Stored("*1217#", "121=7P", {{B(3, 5), 0x0F, 0x07}}),
                 Shown("*121#", "121=7c"),
                 Shown("*158#", "158=5c"),
             }});
}

TEST_F(HandlerCheck, DisplayOptionsReloadTheCharacterTable) {
    struct Reload {
        const char* keys;
        bool reloads;
    };
    const std::vector<Reload> cases{
        {"*0643#", true},  {"*0653#", true},  {"*3223#", false}, {"*0646#", false},
        {"*0535#", true},  {"*0545#", true},  {"*0555#", true},  {"*0565#", true},
        {"*0575#", true},  {"*0625#", true},  {"*0635#", true},  {"*8485#", false},
        {"*0585#", true},  {"*0595#", true},  {"*0775#", true},  {"*0385#", false},
        {"*1575#", false}, {"*0258#", false},
    };
    int reloads = 0;
    state->display_characters.hook = [&](std::uint8_t, std::uint8_t) { ++reloads; };
    for (const Reload& c : cases) {
        SCOPED_TRACE(c.keys);
        reloads = 0;
        RunCommandForResult(*state, 1, c.keys);
        EXPECT_EQ(reloads, c.reloads ? 224 : 0);
    }
}

TEST_F(HandlerCheck, WorkAreaIsClearedByZeroOverZero) {
    ASSERT_EQ(RunCommandForResult(*state, 1, "*0385#").result, CommandResult::kStored);
    WorkArea038& area = state->image.work_area_038;
    area.bytes[17599] = 1;
    area.word_counters[1] = 0x1234;
    area.byte_counters[3] = 7;
    // The nibble is 5: storing 0 leaves the area.
    ASSERT_EQ(RunCommandForResult(*state, 1, "*0380#").result, CommandResult::kStored);
    EXPECT_EQ(area.bytes[17599], 1);
    // The nibble is 0 now: 0 again empties it.
    ASSERT_EQ(RunCommandForResult(*state, 1, "*0380#").result, CommandResult::kStored);
    EXPECT_EQ(area.bytes[17599], 0);
    EXPECT_EQ(area.word_counters[1], 0);
    EXPECT_EQ(area.byte_counters[3], 0);
}

// Items that no command of the table uses, reached through a table of the test's own.
TEST_F(HandlerTest, OptionItemsWithoutACommand) {
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 16, 6, 0, 0}),   // *000 slot 16 no place
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 16, 13, 0, 0}),  // *001 block 20 byte 29
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 17, 4, 2, 0}),   // *002 entry 65, modified
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 17, 11, 0, 0}),  // *003 no place
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 10, 1, 0, 0}),   // *004 block 20 byte 12
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 17, 2, 60, 0}),  // *005 entry 92: none
    });
    UseTable(table);
    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("000=7", changed), kHandlerAccepted);
    EXPECT_TRUE(changed.empty());
    EXPECT_EQ(StoreAndDiff("000=8", changed), kHandlerRejected);
    const ShownText blank = Show("000=");
    EXPECT_EQ(blank.result, kHandlerAccepted);
    EXPECT_EQ(blank.text, " ");

    At(20, 29) = 0xF8;
    EXPECT_EQ(Store("001=5"), kHandlerAccepted);
    EXPECT_EQ(At(20, 29), 0xFD);
    EXPECT_EQ(Show("001=").text, "5");

    EXPECT_EQ(Store("002=9"), kHandlerAccepted);
    EXPECT_EQ(Image().first_pointer_area[2] & 0x0F, 9);
    EXPECT_EQ(state->modified.bytes[0], ModifiedFlags::kSet);

    for (const char* command : {"003", "005"}) {
        EXPECT_EQ(StoreAndDiff(std::string(command) + "=1", changed), kHandlerRejected);
        EXPECT_TRUE(changed.empty());
        EXPECT_EQ(Show(std::string(command) + "=").result, kHandlerRejected);
    }

    EXPECT_EQ(Store("004=4"), kHandlerAccepted);
    EXPECT_EQ(At(20, 12) & 0x07, 4);
    EXPECT_EQ(Store("004=5"), kHandlerRejected);
}

// --- Slots 11 and 14: the port entries of block 40 -------------------------------------------

TEST_F(HandlerCheck, PortEntryFlagsAndSlotCodes) {
    const std::uint8_t code101 = MapSlotCode(1);
    const std::uint8_t code112 = MapSlotCode(12);
    Run(Case{"*9223 and *9222",
             {},
             {
                 Stored("*922301#", "9223=0-1P", {{B(40, 10), 0x01, 0x01}}),
                 Shown("*92230#", "9223=0-1c"),
                 Stored("*922300#", "9223=0-0P", {{B(40, 10), 0x01, 0x00}}),
                 Stored("*922331#", "9223=3-1P", {{B(40, 21), 0x01, 0x01}}),
                 Shown("*92233#", "9223=3-1c"),
                 Refused("*922351#"),
                 Refused("*922302#"),
                 Stored("*92220101#", "9222=0-101P", {{B(40, 9), 0xFF, code101}}),
                 Shown("*92220#", "9222=0-101c"),
                 Stored("*92221112#", "9222=1-112P", {{B(40, 12), 0xFF, code112}}),
                 Shown("*92221#", "9222=1-112c"),
                 Stored("*92224000#", "9222=4-000P", {{B(40, 24), 0xFF, 0}}),
                 Shown("*92224#", "9222=4-000c"),
                 Refused("*92225101#"),
                 Refused("*92220137#"),
             }});
}

// --- Slot 18: one-hot tables -------------------------------------------------------------------

TEST_F(HandlerCheck, OneHotTablesHoldOneBitPerEntry) {
    Run(Case{"*150-*153",
             {},
             {
                 Stored("*15000#", "150=0-0P", {{B(9, 19), 0xFF, 0x00}}),
                 Shown("*1500#", "150=0-0c"),
                 Stored("*15018#", "150=1-8P", {{B(9, 10), 0xFF, 0x80}}),
                 Shown("*1501#", "150=1-8c"),
                 Stored("*15193#", "151=9-3P", {{B(9, 8), 0xFF, 0x04}}),
                 Shown("*1519#", "151=9-3c"),
                 Refused("*15019#"),
                 Refused("*15212#"),
                 Refused("*15213#"),
                 Stored("*15214#", "152=1-4P", {{B(9, 30), 0xFF, 0x08}}),
                 Shown("*1521#", "152=1-4c"),
                 Refused("*15322#"),
                 Stored("*15323#", "153=2-3P", {{B(9, 21), 0xFF, 0x04}}),
                 Shown("*1532#", "153=2-3c"),
             }});
}

// --- Slot 19 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, DigitCountsOfKeysOneToSevenAreMirrored) {
    Run(Case{"*080",
             {},
             {
                 Refused("*08000#"),
                 Refused("*08015#"),
                 // Key 0 is entry 9 (byte 10); the copy has no entry for it.
                 Stored("*08003#", "080=0-3P", {{B(14, 10), 0x03, 0x02}}),
                 Shown("*0800#", "080=0-3c"),
                 Stored("*08011#", "080=1-1P", {{B(14, 1), 0x03, 0x00}, {Copy080(0), 0x03, 0x00}}),
                 Shown("*0801#", "080=1-1c"),
                 Stored("*08074#", "080=7-4P", {{B(14, 7), 0x03, 0x03}, {Copy080(6), 0x03, 0x03}}),
                 Shown("*0807#", "080=7-4c"),
                 Stored("*08082#", "080=8-2P", {{B(14, 8), 0x03, 0x01}}),
                 Shown("*0808#", "080=8-2c"),
             }});
}

TEST_F(HandlerCheck, DigitCountsMarkTheSystemModifiedForMirroredKeysOnly) {
    ASSERT_EQ(RunCommandForResult(*state, 1, "*08003#").result, CommandResult::kStored);
    EXPECT_EQ(state->modified.bytes[0], 0);
    ASSERT_EQ(RunCommandForResult(*state, 1, "*08012#").result, CommandResult::kStored);
    EXPECT_EQ(state->modified.bytes[0], ModifiedFlags::kSet);
}

// The other bits of a digit-count byte and of its copy byte belong to others.
TEST_F(HandlerCheck, DigitCountsKeepTheUpperBits) {
    std::uint8_t& byte = *state->image.BlockByte(14, 3);
    byte = 0xFC;
    state->image.copy_080[2] = 0xA8;
    ASSERT_EQ(RunCommandForResult(*state, 1, "*08034#").result, CommandResult::kStored);
    EXPECT_EQ(byte, 0xFF);
    EXPECT_EQ(state->image.copy_080[2], 0xAB);
    EXPECT_EQ(TrimLine(RunCommandForResult(*state, 1, "*0803#").line), "080=3-4c");
}

}  // namespace
}  // namespace qzs::testing
