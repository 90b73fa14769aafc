// Slots 180-189: per-port values and digit groups over position ranges, the *160 records, the
// per-unit number tables, *349 and the type and digits of *616 and *601, typed on a started image
// through the command bridge; slots 180 and 181, which no command reaches, through a table of
// the test's own.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

std::vector<Change> Bytes(int block, std::size_t offset,
                          std::initializer_list<std::uint8_t> values) {
    std::vector<Change> changes;
    for (std::uint8_t v : values) changes.push_back({B(block, offset++), 0xFF, v});
    return changes;
}

std::vector<Change> Join(std::vector<Change> a, const std::vector<Change>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- Slot 182 ----------------------------------------------------------------------------------

// Byte of port code c's record in block 83.
std::size_t Port83(std::size_t code, std::size_t byte) {
    return 116 * (code - 1) + byte;
}

TEST_F(HandlerCheck, PortValuesByIndex) {
    std::vector<Change> all_cleared;
    for (std::size_t i = 4; i <= 13; ++i) all_cleared.push_back({B(83, Port83(1, i)), 0xFF, 0});
    Run(Case{"*305",
             {},
             {
                 Stored("*305101#0324#", "305=101,,03-24P", Bytes(83, Port83(1, 6), {24})),
                 Shown("*305101##03#", "305=101,,03-24c"),
                 Shown("*305101##04#", "305=101,,04-00c"),
                 Stored("*305101#1007#", "305=101,,10-07P", Bytes(83, Port83(1, 13), {7})),
                 Refused("*305101#0005#"),  // index 00 takes the value 00 only
                 Stored("*305101#0000#", "305=101,,00-00P", all_cleared),
                 Shown("*305101##03#", "305=101,,03-00c"),
                 Stored("*3051011120124#", "305=101,112,01-24P",
                        [] {
                            std::vector<Change> c;
                            for (std::size_t code : {1, 2, 3, 4, 9, 10, 11, 12, 33, 34, 35, 36}) {
                                c.push_back({B(83, Port83(code, 4)), 0xFF, 24});
                            }
                            return c;
                        }()),
                 Refused("*305101#1101#"),
                 Refused("*305101#0325#"),
                 Refused("*305137#0301#"),  // plain class: 101-112 only
                 Refused("*305000#0301#"),
                 Refused("*3051021010301#"),
                 Refused("*305101##00#"),  // a show names one value
                 Refused("*305101##11#"),
             }});
}

// --- Slots 183 and 184 -------------------------------------------------------------------------

std::size_t Port149(std::size_t code, std::size_t byte) {
    return 32 * (code - 1) + byte;
}

TEST_F(HandlerCheck, DigitGroupsPerPort) {
    Run(Case{"*310-*313",
             {},
             {
                 Stored("*310137#005#", "310=137,,00-5P",
                        Bytes(149, Port149(65, 0), {0x55, 0x55, 0x55, 0x55})),
                 Shown("*310137##00#", "310=137,,00-5c"),
                 Shown("*310137##03#", "310=137,,03-5c"),
                 // Digit 3 is the low nibble of byte 1; the group then has no common digit.
                 Stored("*310137#037#", "310=137,,03-7P", Bytes(149, Port149(65, 1), {0x57})),
                 Refused("*310137##00#"),
                 Shown("*310137##04#", "310=137,,04-5c"),
                 Stored("*311101#082#", "311=101,,08-2P", Bytes(149, Port149(1, 7), {0x20})),
                 Stored("*312101#249#", "312=101,,24-9P", Bytes(149, Port149(1, 19), {0x90})),
                 Shown("*312101##24#", "312=101,,24-9c"),
                 Stored("*313148#011#", "313=148,,01-1P", Bytes(149, Port149(100, 20), {0x01})),
                 Refused("*313148##00#"),
                 Shown("*313148##01#", "313=148,,01-1c"),
                 Refused("*310101#095#"),
                 Refused("*312101#255#"),
                 Refused("*310000#015#"),
                 Refused("*310113#015#"),
                 Refused("*310101##09#"),
             }});
}

TEST_F(HandlerCheck, DigitGroupsOverAWideRangeJumpOverTheGap) {
    std::vector<Change> changes;
    for (std::size_t code : {36, 65}) changes.push_back({B(149, Port149(code, 0)), 0x0F, 4});
    Run(Case{"*310 112-137",
             {},
             {
                 Stored("*310112137014#", "310=112,137,01-4P", changes),
                 Shown("*310112##01#", "310=112,,01-4c"),
             }});
}

// --- Slot 185 ----------------------------------------------------------------------------------

Place Table160(std::size_t k, std::size_t d) {
    return T(
        "*160 table", [](DataImage& i, std::size_t o) { return TableByte(i.table_160, o); },
        8 * (k - 1) + d - 1);
}

TEST_F(HandlerCheck, FlagAndValueOfARecordRange) {
    Run(Case{"*160",
             {},
             {
                 Stored("*1600103#3105#", "160=01,03,3-1,05P",
                        {{Table160(1, 3), 0xFF, 0x85},
                         {Table160(2, 3), 0xFF, 0x85},
                         {Table160(3, 3), 0xFF, 0x85}}),
                 Shown("*16002#3#", "160=02,,3-1,05c"),
                 Stored("*16002#3016#", "160=02,,3-0,16P", {{Table160(2, 3), 0xFF, 0x10}}),
                 Shown("*16002#3#", "160=02,,3-0,16c"),
                 Stored("*16008#8100#", "160=08,,8-1,00P", {{Table160(8, 8), 0xFF, 0x80}}),
                 Refused("*1600302#3105#"),
                 Refused("*160013#3105#"),  // a one-digit last record
                 Refused("*16001#9105#"), Refused("*16001#0105#"), Refused("*16001#3117#"),
                 Refused("*16001#3205#"), Refused("*16009#3105#"),
                 Refused("*1600103#3#"),  // a show takes one record
             }});
}

// --- Slot 186 ----------------------------------------------------------------------------------

Place Table161(std::size_t o) {
    return T(
        "*161 table", [](DataImage& i, std::size_t b) { return TableByte(i.table_161, b); }, o);
}

TEST_F(HandlerCheck, PerUnitNumberTables) {
    Run(Case{"*185",
             {},
             {
                 Stored("*18501112345#", "185=01-1,12345P",
                        Bytes(116, 0, {0x12, 0x34, 0x50, 0, 0, 0, 1})),
                 Shown("*18501#", "185=01-1,12345c"),
                 Stored("*185806123456789012#", "185=80-6,123456789012P",
                        Bytes(116, 8 * 79, {0x12, 0x34, 0x56, 0x78, 0x9A, 0x12, 6})),
                 Stored("*185010#", "185=01-0,P", Bytes(116, 0, {0, 0, 0, 0, 0, 0, 0})),
                 Stored("*185000#", "185=00-0,P", Bytes(116, 8 * 79, {0, 0, 0, 0, 0, 0, 0})),
                 Refused("*185811123#"),
                 Refused("*185017123#"),
                 Refused("*185011#"),  // a value without a number
                 Refused("*185010123#"),
                 Refused("*185000123#"),
                 Refused("*185001123#"),
                 Refused("*18581#"),
                 Refused("*18500#"),
             }});
    Run(Case{
        "*161",
        {},
        {
            Refused("*161053123#"),  // values are typed as 5-8
            Stored("*161057123#", "161=05-7,123P",
                   [] {
                       std::vector<Change> c;
                       std::size_t o = 4 * 4;
                       for (std::uint8_t v : {3, 0x12, 0x30}) c.push_back({Table161(o++), 0xFF, v});
                       return c;
                   }()),
            Shown("*16105#", "161=05-7,123c"),
            Shown("*16106#", "161=06-0,c"),
            Stored("*161325654321#", "161=32-5,654321P",
                   [] {
                       std::vector<Change> c;
                       std::size_t o = 4 * 31;
                       for (std::uint8_t v : {1, 0x65, 0x43, 0x21}) {
                           c.push_back({Table161(o++), 0xFF, v});
                       }
                       return c;
                   }()),
            Stored("*161050#", "161=05-0,P",
                   {{Table161(16), 0xFF, 0}, {Table161(17), 0xFF, 0}, {Table161(18), 0xFF, 0}}),
            Stored("*161000#", "161=00-0,P",
                   {{Table161(124), 0xFF, 0},
                    {Table161(125), 0xFF, 0},
                    {Table161(126), 0xFF, 0},
                    {Table161(127), 0xFF, 0}}),
            Refused("*161059123#"),
            Refused("*161337123#"),
            Refused("*161007123#"),
            Refused("*161057#"),
            Refused("*16133#"),
        }});
    const auto text = [](std::size_t entry, std::string chars, std::uint8_t value) {
        std::vector<Change> c;
        chars.resize(11, '\0');
        for (std::size_t i = 0; i < chars.size(); ++i) {
            c.push_back({B(36, 15 * entry + i), 0xFF, static_cast<std::uint8_t>(chars[i])});
        }
        c.push_back({B(36, 15 * entry + 12), 0xFF, value});
        return c;
    };
    Run(Case{
        "*9284",
        {},
        {
            Stored("*92840103112#", "9284=01,03-1,12P",
                   Join(Join(text(0, "12", 1), text(1, "12", 1)), text(2, "12", 1))),
            Shown("*928402##", "9284=02,-1,12c"),
            Stored("*928401#012345678901#", "9284=01,-0,12345678901P", text(0, "12345678901", 0)),
            Shown("*928401##", "9284=01,-0,12345678901c"),
            // "00000" clears the text and keeps the value given.
            Stored("*928401#000000#", "9284=01,-0,00000P", text(0, "", 0)),
            Shown("*928401##", "9284=01,-0,c"),
            Refused("*928409#0123#"),
            Refused("*92840301112#"),
            Refused("*928401#2123#"),
            Refused("*92840103#"),
        }});
}

// --- Slot 187 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, SetValueClearedByALoneZero) {
    Run(Case{"*349",
             {},
             {
                 Refused("*3495#"),
                 Refused("*34900#"),
                 Refused("*34908#"),
                 Stored("*34905#", "349=05P", {{B(80, 8), 0x1F, 0x15}}),
                 Shown("*349#", "349=05c"),
                 Stored("*3490#", "349=0P", {{B(80, 8), 0x1F, 0x00}}),
                 Shown("*349#", "349=0c"),
             }});
}

// --- Slots 188 and 189 -------------------------------------------------------------------------

Place Table616(std::size_t a, std::size_t b, std::size_t byte) {
    return T(
        "*616 table", [](DataImage& i, std::size_t o) { return TableByte(i.table_616, o); },
        262 * (a - 1) + 12 * (b - 1) + byte);
}

TEST_F(HandlerCheck, TypesAndDigits) {
    state->image.table_616[6][12 * 19] = 0x0D;  // a type no entry can make
    Run(Case{"*616",
             {},
             {
                 Stored("*61601020234#", "616=01,02-02,3,4P",
                        {{Table616(1, 2, 0), 0x0F, 2}, {Table616(1, 2, 1), 0xFF, 0x43}}),
                 Shown("*6160102#", "616=01,02-02,3,4c"),
                 Stored("*616010207#", "616=01,02-07,P",
                        {{Table616(1, 2, 0), 0x0F, 7}, {Table616(1, 2, 1), 0xFF, 0}}),
                 Shown("*6160102#", "616=01,02-07,,c"),
                 Stored("*6160102125#", "616=01,02-12,5,P",
                        {{Table616(1, 2, 0), 0x0F, 12}, {Table616(1, 2, 1), 0xFF, 0x05}}),
                 Shown("*6160102#", "616=01,02-12,5,c"),
                 Refused("*6160102073#"),  // type 7 takes no digit
                 Refused("*6160102027#"),
                 Refused("*616010202#"),  // type 2 needs both
                 Refused("*6160102135#"), Refused("*6160102005#"), Refused("*6160821015#"),
                 Refused("*6160121015#"),
                 Refused("*6160720#"),  // the stored type 13 has no form
                 Refused("*6160103#"),  // type 0: never set
             }});
    Run(Case{
        "*601",
        {},
        {
            Stored("*601030234#", "601=03-02,3,4P",
                   {{B(150, 252), 0x0F, 2}, {B(150, 253), 0xFF, 0x43}, {B(150, 328), 0xFF, 0x43}}),
            Shown("*60103#", "601=03-02,3,4c"),
            // A type without digits keeps both digit bytes as they are.
            Stored("*6010307#", "601=03-07,P", {{B(150, 252), 0x0F, 7}}),
            Shown("*60103#", "601=03-07,,c"),
            Stored("*60103015#", "601=03-01,5,P",
                   {{B(150, 252), 0x0F, 1}, {B(150, 253), 0x0F, 5}, {B(150, 328), 0x0F, 5}}),
            Shown("*60103#", "601=03-01,5,c"),
            Refused("*60103073#"),
            Refused("*60108015#"),
            Refused("*60100015#"),
            Refused("*60108#"),
        }});
}

// --- Slots 180 and 181: no command reaches them
// ---------------------------------------------------

class UnreachedSlotTest : public HandlerTest {
  protected:
    CommandTable table_ = TableOfGroupZero({
        Descriptor({0, 0x21, 0x33, 0x03, 0x11, 0, 0, 0, 1, 180, 0, 0, 0}),
        Descriptor({0, 0x13, 0x11, 0x11, 0x44, 0, 0, 0, 1, 181, 0, 0, 0}),
    });
    void SetUp() override { UseTable(table_); }
};

TEST_F(UnreachedSlotTest, PortBitsOverAWideRange) {
    EXPECT_EQ(Store("000=101,-1"), kHandlerAccepted);
    EXPECT_EQ(At(129, 0), 0x01);
    EXPECT_EQ(Show("000=101,-").text, "1");
    EXPECT_EQ(Store("000=101,148-1"), kHandlerAccepted);
    // Port codes 1-4, 9-12, 33-36, 65-68, 73-76 and 97-100.
    const std::vector<std::uint8_t> expected{0x0F, 0x0F, 0, 0, 0x0F, 0, 0, 0,
                                             0x0F, 0x0F, 0, 0, 0x0F, 0, 0, 0};
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(At(129, i), expected[i]) << i;
    EXPECT_EQ(Store("000=137,140-0"), kHandlerAccepted);
    EXPECT_EQ(At(129, 8), 0x00);
    EXPECT_EQ(Show("000=137,-").text, "0");
    EXPECT_EQ(Show("000=148,-").text, "1");
    EXPECT_EQ(Store("000=113,-1"), kHandlerRejected);
    EXPECT_EQ(Store("000=101,-2"), kHandlerRejected);
    EXPECT_EQ(Show("000=101,148-").result, kHandlerRejected);
}

// Its entries would lie at bytes 96-127 of a block of 96 bytes: every unit is refused and
// nothing past the block is touched.
TEST_F(UnreachedSlotTest, UnitDigitsLieOutsideTheirBlockAndAreRefused) {
    for (char a = '1'; a <= '8'; ++a) {
        std::vector<std::size_t> changed;
        EXPECT_EQ(StoreAndDiff(std::string("001=") + a + "-2,1234", changed), kHandlerRejected);
        EXPECT_TRUE(changed.empty());
        EXPECT_EQ(Show(std::string("001=") + a + "-").result, kHandlerRejected);
    }
    EXPECT_EQ(Store("001=9-2,1234"), kHandlerRejected);
}

}  // namespace
}  // namespace qzs::testing
