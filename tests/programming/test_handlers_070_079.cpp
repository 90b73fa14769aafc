// The per-port commands over a position range (*140, *113, *325, *710, *718, *642, *9140, *520,
// *701, *719, *9253, *366, *707, *180), the *351 numbers, the *009 counters and *711, typed on a
// started image; *009's notices typed key by key.
#include <initializer_list>
#include <utility>

#include "programming/port_codecs.h"
#include "tests/programming/keypad_test_support.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

// The port codes of positions 101-112 and 137-148, in position order.
std::vector<std::uint8_t> Codes(int first, int last) {
    std::vector<std::uint8_t> codes;
    for (int position = first; position <= last; ++position) {
        const std::uint8_t code = MapSlotCodeWide(static_cast<std::uint8_t>(position - 100));
        if (code != 0) codes.push_back(code);
    }
    return codes;
}

// Byte b of port code c's record in a block of records of the given size.
Place Port(int block, std::size_t record_bytes, std::uint8_t code, std::size_t byte) {
    return B(block, record_bytes * (code - 1u) + byte);
}
Place Port1(std::uint8_t code, std::size_t byte) {
    return Port(1, 48, code, byte);
}
Place Option(std::uint8_t code, std::size_t byte) {
    return T(
        "port options", [](DataImage& i, std::size_t o) { return TableByte(i.port_options, o); },
        8u * (code - 1u) + byte);
}

// The same change of one byte of every port of the positions.
std::vector<Change> EachPort(int first, int last, Place (*place)(std::uint8_t, std::size_t),
                             std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes,
                             std::uint8_t mask) {
    std::vector<Change> changes;
    for (std::uint8_t code : Codes(first, last)) {
        for (const auto& [byte, value] : bytes) changes.push_back({place(code, byte), mask, value});
    }
    return changes;
}

class PortRangeCheck : public HandlerCheck {};

TEST_F(PortRangeCheck, TwoValuesOfStarOneFourZero) {
    Run(Case{"one position, the second value taking the first",
             {},
             {
                 Stored("*140101#1#", "140=101,-1,P",
                        EachPort(101, 101, &Port1, {{20, 1}, {28, 1}}, 0x07)),
                 Shown("*140101##", "140=101,-1,1c"),
                 Stored("*140137#25#", "140=137,-2,5P",
                        EachPort(137, 137, &Port1, {{20, 2}, {28, 5}}, 0x07)),
                 Shown("*140137##", "140=137,-2,5c"),
             }});
    Run(Case{"a range over both banks; the positions between them have no port",
             {},
             {
                 Stored("*14010114846#", "140=101,148-4,6P",
                        EachPort(101, 148, &Port1, {{20, 4}, {28, 6}}, 0x07)),
                 Shown("*140148##", "140=148,-4,6c"),
                 Stored("*14010213703#", "140=102,137-0,3P",
                        EachPort(102, 137, &Port1, {{20, 0}, {28, 3}}, 0x07)),
             }});
    Run(Case{"refused",
             {},
             {
                 Refused("*1401121014#"),  // last below first
                 Refused("*140113#1#"),    // no such position
                 Refused("*140000#1#"),
                 Refused("*140101#7#"),  // value above 6
                 Refused("*140101#17#"),
                 Refused("*140101112#"),  // a range has no show
                 Refused("*140149##"),
             }});
}

TEST_F(PortRangeCheck, BitsOfStarOneOneThreeStarSixFourTwoStarOneEightZero) {
    Run(Case{"*113: index n is bit n - 1 of byte 4, index 0 every bit",
             {},
             {
                 Stored("*113101#31#", "113=101,,3-1P", {{Port1(1, 4), 0x04, 0x04}}),
                 Shown("*113101#3#", "113=101,,3-1c"),
                 Shown("*113101#2#", "113=101,,2-0c"),
                 Stored("*113101112011#", "113=101,112,0-1P",
                        EachPort(101, 112, &Port1, {{4, 0xFF}}, 0xFF)),
                 Stored("*113105#40#", "113=105,,4-0P", {{Port1(9, 4), 0x08, 0x00}}),
                 Refused("*113101#51#"),
                 Refused("*113101#0#"),  // index 0 has no show here
                 Refused("*113101#12#"),
             }});
    Run(Case{"*642: index n is bit n of bytes 5-6, index 0 bits 1-15",
             {},
             {
                 Stored("*642101#051#", "642=101,,05-1P", {{Port1(1, 5), 0x20, 0x20}}),
                 Shown("*642101#05#", "642=101,,05-1c"),
                 Stored("*642101112001#", "642=101,112,00-1P",
                        EachPort(101, 112, &Port1, {{5, 0xFE}, {6, 0xFF}}, 0xFF)),
                 Shown("*642112#07#", "642=112,,07-1c"), Refused("*642101#081#"),
                 Refused("*642137#011#"),  // the plain class has no second bank
             }});
    Run(Case{"*180: index 0 shows one bit for a range when every port agrees",
             {},
             {
                 Stored("*180101112001#", "180=101,112,00-1P",
                        EachPort(101, 112, &Port1, {{7, 0xFF}}, 0xFF)),
                 Shown("*180101112#00#", "180=101,112,00-1c"),
                 Shown("*180105#00#", "180=105,,00-1c"),
                 Stored("*180105#030#", "180=105,,03-0P", {{Port1(9, 7), 0x04, 0x00}}),
                 Shown("*180105#03#", "180=105,,03-0c"),
                 Refused("*180101112#00#"),  // one port has a bit clear
                 Shown("*180101104#00#", "180=101,104,00-1c"),
                 Refused("*180101112#03#"),  // one bit is shown for one position only
                 Refused("*180101#091#"),
             }});
}

TEST_F(PortRangeCheck, StarThreeSixSixOverTheWideClass) {
    Run(Case{
        "index 0 over both banks, then one bit",
        {},
        {
            Stored("*366101148001#", "366=101,148,00-1P",
                   EachPort(
                       101, 148, [](std::uint8_t c, std::size_t b) { return Port(83, 116, c, b); },
                       {{1, 0xFF}, {2, 0xFF}, {3, 0xFF}}, 0xFF)),
            Shown("*366101148#00#", "366=101,148,00-1c"),
            Stored("*366140#240#", "366=140,,24-0P", {{Port(83, 116, 68, 3), 0x80, 0x00}}),
            Shown("*366140#24#", "366=140,,24-0c"),
            Refused("*366137148#00#"),
            Shown("*366101112#00#", "366=101,112,00-1c"),
            Refused("*366101#251#"),
        }});
}

TEST_F(PortRangeCheck, ValuesOfSlotsSeventyFourAndSeventySix) {
    Run(Case{
        "*325, *710, *718: two digits into a low nibble",
        {},
        {
            Stored("*32510111204#", "325=101,112-04P", EachPort(101, 112, &Port1, {{3, 4}}, 0x0F)),
            Shown("*325110##", "325=110,-04c"),
            Refused("*325101#05#"),
            // The wide walk jumps from 112 to 137 and goes on to the last position.
            Stored("*71010114802#", "710=101,148-02P", EachPort(101, 148, &Port1, {{2, 2}}, 0x0F)),
            Shown("*710137##", "710=137,-02c"),
            Refused("*710101#00#"),
            Refused("*710101#04#"),
            Stored("*718148#03#", "718=148,-03P", {{Port(127, 4, 100, 0), 0x0F, 3}}),
            Shown("*718148##", "718=148,-03c"),
            Refused("*718101#04#"),
        }});
    Run(Case{
        "slot 76: the per-port option table",
        {},
        {
            Stored("*91401011482#", "9140=101,148-2P",
                   EachPort(101, 148, &Option, {{1, 0x20}}, 0x70)),
            Shown("*9140148##", "9140=148,-2c"),
            Refused("*9140101#0#"),
            Stored("*520137#2#", "520=137,-2P", {{Option(65, 0), 0x30, 0x20}}),
            Shown("*520137##", "520=137,-2c"),
            Refused("*520101#3#"),
            Stored("*7011011044#", "701=101,104-4P", EachPort(101, 104, &Option, {{1, 4}}, 0x07)),
            Shown("*701104##", "701=104,-4c"),
            Refused("*701137#1#"),  // plain positions only
            Stored("*719112#6#", "719=112,-6P", {{Option(36, 5), 0x07, 6}}),
            Refused("*719112#7#"),
            Stored("*9253112#2#", "9253=112,-2P", {{Option(36, 5), 0x30, 0x20}}),
            Shown("*719112##", "719=112,-6c"),
            Shown("*9253112##", "9253=112,-2c"),
        }});
}

TEST_F(PortRangeCheck, StarSevenZeroSevenLinksPorts) {
    Run(Case{"*707: a second position's code in byte 14",
             {},
             {
                 Stored("*707101104105#", "707=101,104-105P",
                        EachPort(101, 104, &Port1, {{14, 9}}, 0xFF)),
                 Shown("*707103##", "707=103,-105c"),
                 Stored("*707101#000#", "707=101,-000P", {{Port1(1, 14), 0xFF, 0}}),
                 Refused("*707101#137#"),
                 Refused("*707101#113#"),
             }});
    Run(Case{"*711: a linked port of the wide class",
             {},
             {
                 Stored("*711101137#", "711=101-137P", {{Port1(1, 13), 0xFF, 65}}),
                 Shown("*711101#", "711=101-137c"),
                 Stored("*711148000#", "711=148-000P", {}),
                 Refused("*711101101#"),  // the same position twice
                 Refused("*711000101#"),
                 Refused("*711101113#"),
             }});
}

TEST_F(PortRangeCheck, StarZeroZeroNineClearsCounters) {
    for (std::uint8_t code : Codes(101, 112)) state->image.counters_009[code - 1u].fill(0x11);
    auto counters = [](std::uint8_t code) {
        std::vector<Change> changes;
        for (std::size_t b = 0; b < 4; ++b) {
            changes.push_back(
                {T(
                     "*009 counters",
                     [](DataImage& i, std::size_t o) { return TableByte(i.counters_009, o); },
                     4u * (code - 1u) + b),
                 0xFF, 0});
        }
        return changes;
    };
    std::vector<Change> range;
    for (std::uint8_t code : Codes(102, 104)) {
        for (const Change& c : counters(code)) range.push_back(c);
    }
    Run(Case{"one port and a range",
             {},
             {
                 Shown("*009101##", "009=101,-017,017,017,017c"),
                 Stored("*009101#00#", "009=101,-00P", counters(1)),
                 Shown("*009101##", "009=101,-000,000,000,000c"),
                 Stored("*00910210400#", "009=102,104-00P", range),
                 Refused("*009105#01#"),
                 Refused("*00910510401#"),
                 Refused("*009137#00#"),
                 Refused("*009000#00#"),
                 Refused("*009101104#"),
             }});
}

void Counters009Set(ProgrammingState& state) {
    state.image.counters_009[8].fill(7);
    state.image.counters_009[9].fill(7);
}

// The notices travel in the key input block, which the case runner does not see.
TEST(PortCounterNotice, OneClearedPortIsNamedARangeIsCounted) {
    const KeySequence cases[] = {
        {"one port", nullptr, "*009105#00#", "009=105,-00P", 12, 32, 1, kOutcomeTerminalNotice},
        {"a range", nullptr, "*00910510600#", "009=105,106-00P", 15, 32, 1, kOutcomePortsCleared},
        {"refused", nullptr, "*009105#01#", "--P", 0, 0, 1, kOutcomeTaken},
    };
    for (const KeySequence& c : cases) {
        KeySequence built_in = c;
        built_in.built_in_handlers = true;
        built_in.setup = &Counters009Set;
        const KeySequence one[] = {built_in};
        RunKeySequences(one);
    }
    KeypadDriver keypad(nullptr, false);
    Counters009Set(keypad.state());
    keypad.Type("*009105#00#");
    EXPECT_EQ(keypad.state().key_input.notice_terminal, 9);
    EXPECT_EQ(keypad.state().image.counters_009[8], (std::array<std::uint8_t, 4>{}));
}

// Slot 76's sub-types 1-3 have no command; a table of the test's own reaches them.
class PortOptionTest : public HandlerTest {};

TEST_F(PortOptionTest, SubTypesWithoutACommand) {
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x21, 0x33, 0x03, 0x11, 0, 0, 0, 1, 76, 1, 0, 0}),
        Descriptor({0, 0x21, 0x33, 0x03, 0x11, 0, 0, 0, 1, 76, 2, 0, 0}),
        Descriptor({0, 0x21, 0x33, 0x03, 0x11, 0, 0, 0, 1, 76, 3, 0, 0}),
    });
    UseTable(table);
    int reloads = 0;
    state->display_characters.hook = [&](std::uint8_t, std::uint8_t) { ++reloads; };
    EXPECT_EQ(Store("000=101,104-3"), kHandlerAccepted);
    for (std::uint8_t code : {1, 2, 3, 4}) EXPECT_EQ(At(52, 12 * (code - 1) + 10) & 0x03, 3);
    EXPECT_EQ(reloads, 224);
    EXPECT_EQ(Store("001=137,-2"), kHandlerAccepted);
    EXPECT_EQ(At(52, 12 * 64 + 9) & 0x03, 2);
    EXPECT_EQ(Show("001=137,-").text, "2");
    EXPECT_EQ(Store("002=112,-1"), kHandlerAccepted);
    EXPECT_EQ(Image().port_options[35][1] & 0x03, 1);
    EXPECT_EQ(Store("002=112,-2"), kHandlerRejected);
    EXPECT_EQ(Store("000=137,-1"), kHandlerRejected);
    EXPECT_EQ(reloads, 224);
}

class NumberTableCheck : public HandlerCheck {};

Place Number351(std::size_t entry, std::size_t byte) {
    return T(
        "*351 numbers", [](DataImage& i, std::size_t o) { return TableByte(i.numbers_351, o); },
        4 * (entry - 1) + byte);
}
Place PortFlag351(std::size_t entry, std::size_t byte) {
    return B(97, 4 * (entry - 1) + byte);
}
std::vector<Change> Entry351(std::size_t entry, std::uint8_t code, std::uint8_t flag,
                             std::array<std::uint8_t, 4> number) {
    std::vector<Change> changes{{PortFlag351(entry, 2), 0xFF, code},
                                {PortFlag351(entry, 3), 0x01, flag}};
    for (std::size_t b = 0; b < 4; ++b) changes.push_back({Number351(entry, b), 0xFF, number[b]});
    return changes;
}

TEST_F(NumberTableCheck, StarThreeFiveOne) {
    Run(Case{
        "store, flag and duplicate rules",
        {},
        {
            Shown("*35101#", "351=01-000,0,c"),
            Stored("*3510110111234#", "351=01-101,1,1234P", Entry351(1, 1, 1, {0x12, 0x34, 0, 0})),
            Shown("*35101#", "351=01-101,1,1234c"),
            // The flag moves to the new entry of the same port.
            Stored("*3510310115678#", "351=03-101,1,5678P",
                   [] {
                       auto c = Entry351(3, 1, 1, {0x56, 0x78, 0, 0});
                       c.push_back({PortFlag351(1, 3), 0x01, 0});
                       return c;
                   }()),
            // The same number in another entry takes it out of the first one.
            Stored("*3510213705678#", "351=02-137,0,5678P",
                   [] {
                       auto c = Entry351(2, 65, 0, {0x56, 0x78, 0, 0});
                       for (const Change& x : Entry351(3, 0, 0, {})) c.push_back(x);
                       return c;
                   }()),
            Shown("*35103#", "351=03-000,0,c"),
        }});
}

TEST_F(NumberTableCheck, StarThreeFiveOneClears) {
    Run(Case{"clearing",
             {"*3510410111111#", "*3510510102222#"},
             {
                 Stored("*35104000#", "351=04-000,P", Entry351(4, 0, 0, {})),
                 Stored("*351000000#", "351=00-000,0,P", Entry351(5, 0, 0, {})),
             }});
}

TEST_F(NumberTableCheck, StarThreeFiveOneRefuses) {
    Run(Case{"refused",
             {},
             {
                 Refused("*351011011123#"),    // three digits where four are counted
                 Refused("*35101101112345#"),  // five
                 Refused("*3510010111234#"),   // entry 00 stores nothing
                 Refused("*3511310111234#"),
                 Refused("*3510111311234#"),
                 Refused("*3510100011234#"),  // no port
                 Refused("*35113#"),
                 Refused("*35100#"),
             }});
}

}  // namespace
}  // namespace qzs::testing
