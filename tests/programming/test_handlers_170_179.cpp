// Slots 170-179: the unit address pairs and the network-port records typed on a started image
// through the command bridge, and the slots that no command reaches through a table of the
// test's own.
#include <string>
#include <vector>

#include "programming/port_codecs.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

Place Unit(unsigned unit, std::size_t byte) {
    return T(
        "UnitEntryTable",
        [](DataImage& i, std::size_t o) { return TableByte(i.unit_entry_table, o); },
        kUnitEntryBytes * (unit - 1) + byte);
}
Place Status(unsigned unit) {
    return T(
        "UnitStatusTable",
        [](DataImage& i, std::size_t o) { return TableByte(i.unit_status_table, o); },
        kUnitEntryBytes * (unit - 1));
}
// The record of the network port at a position 137-148.
Place Port(unsigned position, std::size_t byte) {
    const unsigned port = MapSlotCodeWide(static_cast<std::uint8_t>(position - 100));
    return T(
        "IpPortRecords",
        [](DataImage& i, std::size_t o) { return TableByte(i.ip_port_records, o); },
        kIpPortRecordBytes * (port - 65) + byte);
}

// --- Slots 170, 171 and 175: unit pairs --------------------------------------------------------

// A fresh image has every unit in use with number 0 and code 0.
TEST_F(HandlerCheck, UnitCodesStayUniqueAmongUnitsInUse) {
    std::vector<Change> units1to6;
    for (unsigned u = 1; u <= 6; ++u) units1to6.push_back({Unit(u, 0), 0x1F, 5});
    Run(Case{"*9500",
             {},
             {
                 Stored("*9500101#05#", "9500=101,-05P", {{Unit(1, 0), 0x1F, 5}}),
                 Shown("*9500101##", "9500=101,-05c"),
                 // Unit 2 would share (0, 5) with unit 1.
                 Refused("*9500102#05#"),
                 // Units 1 and 2 of one range would share their new pair with each other.
                 Refused("*950010110205#"),
                 Stored("*9500112#31#", "9500=112,-31P", {{Unit(10, 0), 0x1F, 31}}),
                 Shown("*9500112##", "9500=112,-31c"),
                 Refused("*9500107#05#"),
                 Refused("*9500113#05#"),
                 Refused("*9500000#05#"),
                 Refused("*9500101#32#"),
                 Refused("*950010610105#"),
                 Refused("*950010110#05#"),
                 Refused("*9500101106##"),
                 // Units 2-6 out of use: only unit 1 of the range counts.
                 Stored("*950210299#", "9502=102-99P", {{Status(2), 0xFF, 99}}),
                 Stored("*950210399#", "9502=103-99P", {{Status(3), 0xFF, 99}}),
                 Stored("*950210499#", "9502=104-99P", {{Status(4), 0xFF, 99}}),
                 Stored("*950210599#", "9502=105-99P", {{Status(5), 0xFF, 99}}),
                 Stored("*950210699#", "9502=106-99P", {{Status(6), 0xFF, 99}}),
                 Stored("*950010110605#", "9500=101,106-05P", units1to6),
             }});
}

TEST_F(HandlerCheck, UnitValuesAndNumbers) {
    Run(Case{
        "*9501, *9502",
        {},
        {
            Stored("*9501101#3#", "9501=101,-3P", {{Unit(1, 1), 0xE0, 0x60}}),
            Shown("*9501101##", "9501=101,-3c"),
            Refused("*9501102#3#"),
            Refused("*9501101#8#"),
            // Units below the first compare their number's low five bits only.
            Refused("*95011091122#"),
            Stored("*950210307#", "9502=103-07P", {{Unit(3, 1), 0x1F, 7}}),
            Shown("*9502103#", "9502=103-07c"),
            Refused("*950210407#"),
            Refused("*950210332#"),
            Refused("*950210707#"),
            Stored("*950210399#", "9502=103-99P", {{Status(3), 0xFF, 99}, {Unit(3, 1), 0x1F, 0}}),
            Shown("*9502103#", "9502=103-99c"),
            // Unit 3 out of use no longer holds its pair.
            Stored("*950210407#", "9502=104-07P", {{Unit(4, 1), 0x1F, 7}}),
            Refused("*950210400#"),
            Refused("*950210307#"),
            Stored("*950210331#", "9502=103-31P", {{Status(3), 0xFF, 0}, {Unit(3, 1), 0x1F, 31}}),
        }});
}

// --- Slot 176: *9521 ---------------------------------------------------------------------------

TEST_F(HandlerCheck, NetworkPortNumbers) {
    // 123456789 = 0x075BCD15, least significant byte first.
    const std::vector<Change> number137{{Port(137, 0), 0xFF, 0x15},
                                        {Port(137, 1), 0xFF, 0xCD},
                                        {Port(137, 2), 0xFF, 0x5B},
                                        {Port(137, 3), 0xFF, 0x07},
                                        {Port(137, 13), 0x80, 0x80}};
    std::vector<Change> moved = number137;
    for (std::size_t b = 0; b < 4; ++b) moved.push_back({Port(141, b), 0xFF, 0});
    moved.push_back({Port(141, 13), 0x80, 0});
    Run(Case{"*9521",
             {},
             {
                 Shown("*9521137#", "9521=137-c"),
                 Refused("*952113712345678#"),
                 Refused("*9521137268435456#"),
                 Refused("*9521101123456789#"),
                 Refused("*9521000123456789#"),
                 Stored("*9521141123456789#", "9521=141-123456789P",
                        {{Port(141, 0), 0xFF, 0x15},
                         {Port(141, 1), 0xFF, 0xCD},
                         {Port(141, 2), 0xFF, 0x5B},
                         {Port(141, 3), 0xFF, 0x07},
                         {Port(141, 13), 0x80, 0x80}}),
                 // The number moves from port 141 to port 137.
                 Stored("*9521137123456789#", "9521=137-123456789P", moved),
                 Shown("*9521137#", "9521=137-123456789c"),
                 Shown("*9521141#", "9521=141-c"),
                 Stored("*9521137123456789#", "9521=137-123456789P", {}),
                 Stored("*95211370#", "9521=137-0P",
                        {{Port(137, 0), 0xFF, 0},
                         {Port(137, 1), 0xFF, 0},
                         {Port(137, 2), 0xFF, 0},
                         {Port(137, 3), 0xFF, 0},
                         {Port(137, 13), 0x80, 0}}),
                 Shown("*9521137#", "9521=137-c"),
                 Stored("*9521148268435455#", "9521=148-268435455P",
                        {{Port(148, 0), 0xFF, 0xFF},
                         {Port(148, 1), 0xFF, 0xFF},
                         {Port(148, 2), 0xFF, 0xFF},
                         {Port(148, 3), 0xFF, 0x0F},
                         {Port(148, 13), 0x80, 0x80}}),
             }});
}

// A record whose number goes switches its terminal off when the first terminal of its group of
// four is switched off.
TEST_F(HandlerCheck, NetworkPortNumberLeavesItsTerminalWithItsGroup) {
    // Port 73 (position 141) is record 8: group terminal 9, own terminal 73.
    auto off = [&](unsigned t) {
        const TerminalRecord* r = FindTerminal(state->terminals, t);
        return r->attributes[0] == 0xFF && r->attributes[1] == 0xFF;
    };
    ASSERT_EQ(RunCommandForResult(*state, 1, "*9521141123456789#").result, CommandResult::kStored);
    ASSERT_EQ(RunCommandForResult(*state, 1, "*9521137123456789#").result, CommandResult::kStored);
    EXPECT_FALSE(off(73));
    FindTerminal(state->terminals, 9)->attributes[0] = 0xFF;
    FindTerminal(state->terminals, 9)->attributes[1] = 0xFF;
    ASSERT_EQ(RunCommandForResult(*state, 1, "*9521141123456789#").result, CommandResult::kStored);
    EXPECT_FALSE(off(73));
    EXPECT_FALSE(off(65));  // record 0's group terminal 1 is on
    ASSERT_EQ(RunCommandForResult(*state, 1, "*9521137123456789#").result, CommandResult::kStored);
    EXPECT_TRUE(off(73));
    // Clearing port 74's number (record 9) does the same to terminal 74.
    EXPECT_FALSE(off(74));
    ASSERT_EQ(RunCommandForResult(*state, 1, "*95211420#").result, CommandResult::kStored);
    EXPECT_TRUE(off(74));
}

// --- Slots 178 and 179: *9530, *9523 ------------------------------------------------------------

TEST_F(HandlerCheck, NetworkPortCodesOverARange) {
    std::vector<Change> all;
    for (unsigned p = 137; p <= 148; ++p) all.push_back({Port(p, 15), 0xFF, 0x24});
    Run(Case{"*9530",
             {},
             {
                 Stored("*9530137#12#", "9530=137,-12P", {{Port(137, 15), 0xFF, 0x12}}),
                 Shown("*9530137##", "9530=137,-12c"),
                 Refused("*9530137#09#"),
                 Refused("*9530137#10#"),
                 Refused("*9530137#25#"),
                 Refused("*9530101#12#"),
                 Refused("*953010113712#"),
                 Refused("*953013711212#"),
                 Refused("*953014813712#"),
                 Refused("*953013714#12#"),
                 Stored("*953013714824#", "9530=137,148-24P", all),
                 Shown("*9530148##", "9530=148,-24c"),
                 Refused("*9530137148##"),
                 Stored("*9530140#00#", "9530=140,-00P", {{Port(140, 15), 0xFF, 0x00}}),
                 Refused("*9530237#00#"),
             }});
}

TEST_F(HandlerCheck, NetworkPortDigitsOverARange) {
    Run(Case{"*9523",
             {},
             {
                 Stored("*9523137#1234#", "9523=137,-1234P",
                        {{Port(137, 11), 0xFF, 0x12}, {Port(137, 12), 0xFF, 0x34}}),
                 Shown("*9523137##", "9523=137,-1234c"),
                 Stored("*9523137#50#", "9523=137,-50P",
                        {{Port(137, 11), 0xFF, 0x5A}, {Port(137, 12), 0xFF, 0x00}}),
                 Shown("*9523137##", "9523=137,-50c"),
                 Stored("*952313713877#", "9523=137,138-77P",
                        {{Port(137, 11), 0xFF, 0x77}, {Port(138, 11), 0xFF, 0x77}}),
                 Stored("*95231371380#", "9523=137,138-0P",
                        {{Port(137, 11), 0xFF, 0x00}, {Port(138, 11), 0xFF, 0x00}}),
                 Shown("*9523138##", "9523=138,-c"),
                 Refused("*952313713#5#"),
                 Refused("*9523101#5#"),
                 Refused("*9523101137#5#"),
             }});
}

// --- Slots that no command reaches -------------------------------------------------------------

TEST_F(HandlerTest, UnitAndPortSlotsWithoutACommand) {
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x11, 0x11, 0x88, 0, 0, 0, 0, 1, 174, 0, 0, 0}),     // *000
        Descriptor({0, 0x11, 0x33, 0x55, 0, 0, 0, 0, 1, 177, 0, 0, 0}),     // *001
        Descriptor({0, 0x21, 0x33, 0x03, 0x11, 0, 0, 0, 1, 172, 0, 0, 0}),  // *002
        Descriptor({0, 0x21, 0x33, 0x03, 0x11, 0, 0, 0, 1, 179, 0, 0, 0}),  // *003
        Descriptor({0, 0x21, 0x33, 0x03, 0x11, 0, 0, 0, 1, 173, 0, 0, 0}),  // *004
    });
    UseTable(table);
    std::vector<std::size_t> changed;

    EXPECT_EQ(Store("000=2-0123ABCD"), kHandlerAccepted);
    EXPECT_EQ(At(78, 4), 0x01);
    EXPECT_EQ(At(78, 7), 0xCD);
    EXPECT_EQ(Show("000=2-").text, "0123ABCD");
    for (const char* refused : {"000=3-0123ABCD", "000=1-0123ABCG", "000=1-0123ABC"}) {
        EXPECT_EQ(StoreAndDiff(refused, changed), kHandlerRejected) << refused;
        EXPECT_TRUE(changed.empty());
    }

    // A five-digit code stands on one network port only.
    EXPECT_EQ(Store("001=138-12345"), kHandlerAccepted);
    EXPECT_EQ(Show("001=138-").text, "12345");
    EXPECT_EQ(Store("001=137-12345"), kHandlerAccepted);
    EXPECT_EQ(Show("001=137-").text, "12345");
    EXPECT_EQ(Show("001=138-").text, "");
    EXPECT_EQ(Store("001=101-12345"), kHandlerRejected);
    EXPECT_EQ(Store("001=137-1234"), kHandlerRejected);

    // Positions read by ParseZeroPosition name no unit or port: "000" changes nothing.
    for (const char* taken : {"002=000,-1", "003=000,-5", "004=000,-2"}) {
        EXPECT_EQ(StoreAndDiff(taken, changed), kHandlerAccepted) << taken;
        EXPECT_TRUE(changed.empty());
    }
    for (const char* refused : {"002=101,-1", "002=000,-4", "003=137,-5", "004=000,-3"}) {
        EXPECT_EQ(StoreAndDiff(refused, changed), kHandlerRejected) << refused;
        EXPECT_TRUE(changed.empty());
    }
    EXPECT_EQ(Show("002=000,-").result, kHandlerRejected);
    EXPECT_EQ(Show("003=000,-").result, kHandlerRejected);
}

}  // namespace
}  // namespace qzs::testing
