// Slots 20-29 and 54: what a dial code is assigned to (*010), values in nibbles and bit fields,
// *086 and *034, the flags of the block 80 entries and of terminals, the *9233 numbers and ports
// and *9314, typed on a started image; the slots no command reaches through a table of their own.
#include "programming/packed_digits.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

Place Number086(std::size_t offset) {
    return T(
        "*086 number", [](DataImage& i, std::size_t o) { return TableByte(i.number_086, o); },
        offset);
}
Place Number034(std::size_t offset) {
    return T(
        "*034 number", [](DataImage& i, std::size_t o) { return TableByte(i.number_034, o); },
        offset);
}

// --- Slot 21 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, ValuesInALowNibble) {
    struct Command {
        std::string number;
        Place place;
    };
    for (const Command& c : {Command{"505", B(18, 0)}, Command{"507", B(18, 8)},
                             Command{"181", B(18, 10)}, Command{"9252", B(80, 47)}}) {
        const std::string& n = c.number;
        Run(Case{"*" + n,
                 {},
                 {
                     Stored("*" + n + "0#", n + "=0P", {{c.place, 0x0F, 10}}),
                     Shown("*" + n + "#", n + "=0c"),
                     Stored("*" + n + "00#", n + "=00P", {{c.place, 0x0F, 0}}),
                     Shown("*" + n + "#", n + "=00c"),
                     Stored("*" + n + "3#", n + "=3P", {{c.place, 0x0F, 3}}),
                     Shown("*" + n + "#", n + "=3c"),
                     Refused("*" + n + "05#"),
                     Refused("*" + n + "10#"),
                 }});
    }
    Run(Case{"the nine digits of *505 and the four of *9252",
             {},
             {
                 Stored("*5059#", "505=9P", {{B(18, 0), 0x0F, 9}}),
                 Refused("*92524#"),
                 Refused("*92529#"),
             }});
}

// A nibble above 10 comes only from loaded data; it shows as its hexadecimal digit.
TEST_F(HandlerCheck, ANibbleAboveTenShowsAsAHexDigit) {
    *state->image.BlockByte(18, 0) = 0xFC;
    Run(Case{"loaded", {}, {Shown("*505#", "505=Cc")}});
}

// --- Slot 22 ---------------------------------------------------------------------------------
// On a started image codes beginning with 8, 9 and 0 are one digit long and those beginning with
// 1-7 two: block 15 holds "0" at 0, "8" at 13, "9" at 14; block 16 the two-digit codes 70-73
// from byte 0; block 17 "10" for port 1, "11"-"13" for ports 2-4 and "14" for port 9.

TEST_F(HandlerCheck, DialCodeLookup) {
    Run(Case{"the started image's counts",
             {},
             {
                 Shown("*0100##", "010=0-00c"), Shown("*0108##", "010=8-13c"),
                 Shown("*0109##", "010=9-14c"), Shown("*01070##", "010=70-700c"),
                 Refused("*0107##"),  // a length block 14 does not give
             }});
    Run(Case{"one-digit codes once the counts say so",
             {"*08071#"},
             {
                 Shown("*0107##", "010=7-99c"),  // only codes of two digits begin with 7
                 Refused("*01070##"),
             }});
    Run(Case{"two-digit codes once the counts say so",
             {"*08012#", "*08072#"},
             {
                 Shown("*01010##", "010=10-101c"),
                 Shown("*01011##", "010=11-102c"),
                 Shown("*01014##", "010=14-105c"),
                 Shown("*01070##", "010=70-700c"),
                 Shown("*01073##", "010=73-703c"),
                 Shown("*01019##", "010=19-110c"),
                 Shown("*01074##", "010=74-99c"),
                 Refused("*0101##"),
                 Refused("*010101##"),
             }});
    Run(Case{"four-digit codes compare both bytes",
             {"*08014#"},
             {
                 Shown("*0101011#", "010=1011-99c"),  // port 1 holds "10" with nothing after
                 Refused("*01010##"),
             }});
}

TEST_F(HandlerCheck, DialCodeLookupSearchesInItsOrder) {
    DataImage& image = state->image;
    *image.BlockByte(14, 2) = 0x01;  // codes beginning with 2: two digits
    *image.BlockByte(14, 3) = 0x03;  // codes beginning with 3: four digits
    *image.BlockByte(15, 20) = 0x25;
    *image.BlockByte(17, 8 * 2) = 0x25;        // port 3 holds "25" as well: block 15 comes first
    *image.BlockByte(17, 8 * 11) = 0x26;       // port 12
    *image.BlockByte(16, 104 + 2 * 5) = 0x27;  // two-byte code 606 "27.."
    *image.BlockByte(16, 104 + 2 * 5 + 1) = 0x45;
    image.port_code_tables.records[128 + 3][0] = 0x28;  // special port 132
    // Four-digit codes: "3456" in port 11's entry; "3457" matches none of them whole.
    *image.BlockByte(17, 8 * 10) = 0x34;
    *image.BlockByte(17, 8 * 10 + 1) = 0x56;
    *image.BlockByte(16, 104 + 2 * 2) = 0x34;
    *image.BlockByte(16, 104 + 2 * 2 + 1) = 0x58;
    image.port_code_tables.records[128 + 15][0] = 0x34;
    image.port_code_tables.records[128 + 15][1] = 0x59;
    Run(Case{"search order",
             {},
             {
                 Shown("*01025##", "010=25-20c"),
                 Shown("*01026##", "010=26-108c"),
                 Shown("*01027##", "010=27-606c"),  // a two-digit code matches the first byte
                 Shown("*01028##", "010=28-803c"),
                 Shown("*0103456#", "010=3456-107c"),
                 Shown("*0103458#", "010=3458-603c"),
                 Shown("*0103459#", "010=3459-815c"),
                 Shown("*0103457#", "010=3457-99c"),
             }});
}

// --- Slot 23 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, AValueOrANumber) {
    Run(Case{
        "*086",
        {},
        {
            Stored("*08620312345678#", "086=2-0312345678P",
                   {{Number086(0), 0xFF, 0xA3},
                    {Number086(1), 0xFF, 0x12},
                    {Number086(2), 0xFF, 0x34},
                    {Number086(3), 0xFF, 0x56},
                    {Number086(4), 0xFF, 0x78}}),
            Shown("*0862#", "086=2-0312345678c"),
            Stored("*086108#", "086=1-08P",
                   {{B(58, 0), 0xFF, 8},
                    {Number086(0), 0xFF, 0},
                    {Number086(1), 0xFF, 0},
                    {Number086(2), 0xFF, 0},
                    {Number086(3), 0xFF, 0},
                    {Number086(4), 0xFF, 0}}),
            Shown("*0861#", "086=1-08c"),
            Shown("*0862#", "086=2-c"),
            Stored("*0862123#", "086=2-123P",
                   {{B(58, 0), 0xFF, 0}, {Number086(0), 0xFF, 0x12}, {Number086(1), 0xFF, 0x30}}),
            Shown("*0861#", "086=1-00c"),
            Refused("*086109#"),
            Refused("*08618#"),
            Refused("*0861008#"),
            Refused("*08631#"),
            Refused("*0860#"),
        }});
    Run(Case{"*034 keeps its value outside the blocks",
             {},
             {
                 Stored("*034107#", "034=1-07P", {{S(SettingByte::k034), 0xFF, 7}}),
                 Stored("*034212345678901#", "034=2-12345678901P",
                        {{S(SettingByte::k034), 0xFF, 0},
                         {Number034(0), 0xFF, 0x12},
                         {Number034(1), 0xFF, 0x34},
                         {Number034(2), 0xFF, 0x56},
                         {Number034(3), 0xFF, 0x78},
                         {Number034(4), 0xFF, 0x9A},
                         {Number034(5), 0xFF, 0x10}}),
                 Shown("*0342#", "034=2-12345678901c"),
             }});
}

// Eleven digits leave the twelfth nibble of the number 0, whatever an earlier number left.
TEST_F(HandlerCheck, ANumberOfElevenDigitsClearsTheLastNibble) {
    state->image.number_086.fill(0xFF);
    Run(Case{"stale nibble",
             {},
             {Stored("*086211111111111#", "086=2-11111111111P",
                     {{Number086(0), 0xFF, 0x11},
                      {Number086(1), 0xFF, 0x11},
                      {Number086(2), 0xFF, 0x11},
                      {Number086(3), 0xFF, 0x11},
                      {Number086(4), 0xFF, 0x11},
                      {Number086(5), 0xFF, 0x10}})}});
}

// --- Slot 24 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, FlagsOfTheBlockEightyEntries) {
    Run(Case{"*9232",
             {},
             {
                 Stored("*923211#", "9232=1-1P", {{B(80, 39 + 48), 0x04, 0x04}}),
                 Shown("*92321#", "9232=1-1c"),
                 Shown("*92323#", "9232=3-0c"),
                 Stored("*923210#", "9232=1-0P", {{B(80, 39 + 48), 0x04, 0x00}}),
                 Refused("*923241#"),
                 Refused("*923202#"),
             }});
}

TEST_F(HandlerCheck, TerminalFlagsThroughTheEntryTable) {
    Run(Case{"an entry that names no terminal", {}, {Refused("*019011#"), Refused("*01901#")}});
    state->image.terminal_entry_table[1][0] = 5;
    state->image.terminal_entry_table[2][0] = 129;  // no such terminal
    TerminalRecord& terminal = state->terminals[4];
    Run(Case{"entry 2 names terminal 5",
             {},
             {
                 Stored("*019021#", "019=02-1P", {}),
                 Shown("*01902#", "019=02-1c"),
             }});
    EXPECT_EQ(terminal.attributes[5], 0x80);
    Run(Case{"cleared, and the keys out of range",
             {},
             {
                 Stored("*019020#", "019=02-0P", {}),
                 Refused("*019031#"),
                 Refused("*01903#"),
                 Refused("*019051#"),
                 Refused("*01900#"),
                 Refused("*019022#"),
             }});
    EXPECT_EQ(terminal.attributes[5], 0x00);
}

// --- Slot 26 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, FieldsOfTheBlockEightyEntries) {
    Run(Case{"four fields of entry k",
             {},
             {
                 Stored("*923122#", "9231=2-2P", {{B(80, 2 * 39 + 48), 0x03, 0x02}}),
                 Shown("*92312#", "9231=2-2c"),
                 Refused("*923123#"),
                 Stored("*923634#", "9236=3-4P", {{B(80, 3 * 39 + 50), 0x07, 0x04}}),
                 Shown("*92363#", "9236=3-4c"),
                 Refused("*923635#"),
                 Stored("*923803#", "9238=0-3P", {{B(80, 48), 0x30, 0x30}}),
                 Shown("*92380#", "9238=0-3c"),
                 Stored("*923912#", "9239=1-2P", {{B(80, 39 + 48), 0xC0, 0x80}}),
                 Shown("*92391#", "9239=1-2c"),
                 Refused("*923941#"),
                 Refused("*92394#"),
             }});
}

// --- Slot 28 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, NumbersAndPortsOfTheBlockEightyEntries) {
    Run(Case{"numbers 1-3",
             {},
             {
                 Stored("*9233010312345678#", "9233=0,1-0312345678P",
                        {{B(80, 53), 0xFF, 0xA3},
                         {B(80, 54), 0xFF, 0x12},
                         {B(80, 55), 0xFF, 0x34},
                         {B(80, 56), 0xFF, 0x56},
                         {B(80, 57), 0xFF, 0x78}}),
                 Shown("*923301#", "9233=0,1-0312345678c"),
                 Stored("*9233331234567890123456#", "9233=3,3-1234567890123456P",
                        {{B(80, 3 * 39 + 69), 0xFF, 0x12},
                         {B(80, 3 * 39 + 70), 0xFF, 0x34},
                         {B(80, 3 * 39 + 71), 0xFF, 0x56},
                         {B(80, 3 * 39 + 72), 0xFF, 0x78},
                         {B(80, 3 * 39 + 73), 0xFF, 0x9A},
                         {B(80, 3 * 39 + 74), 0xFF, 0x12},
                         {B(80, 3 * 39 + 75), 0xFF, 0x34},
                         {B(80, 3 * 39 + 76), 0xFF, 0x56}}),
                 Shown("*923333#", "9233=3,3-1234567890123456c"),
                 Stored("*923301000#", "9233=0,1-000P",
                        {{B(80, 53), 0xFF, 0},
                         {B(80, 54), 0xFF, 0},
                         {B(80, 55), 0xFF, 0},
                         {B(80, 56), 0xFF, 0},
                         {B(80, 57), 0xFF, 0}}),
                 Shown("*923301#", "9233=0,1-c"),
             }});
    Run(Case{"ports 4-6",
             {},
             {
                 Stored("*923315700#", "9233=1,5-700P", {{B(80, 39 + 78), 0xFF, 240}}),
                 Shown("*923315#", "9233=1,5-700c"),
                 Stored("*923315137#", "9233=1,5-137P", {{B(80, 39 + 78), 0xFF, 65}}),
                 Shown("*923315#", "9233=1,5-137c"),
                 Stored("*923324105#", "9233=2,4-105P", {{B(80, 2 * 39 + 77), 0xFF, 9}}),
                 Stored("*923324000#", "9233=2,4-000P", {{B(80, 2 * 39 + 77), 0xFF, 0}}),
                 Refused("*92331512#"),
                 Refused("*9233151370#"),
                 Refused("*923315113#"),
                 Refused("*923315701#"),
                 Refused("*9233411#"),
                 Refused("*9233071#"),
                 Refused("*923300#"),
             }});
}

// --- Slot 29 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, OneDigitValues) {
    Run(Case{"stored less one, and as typed",
             {},
             {
                 Stored("*1156#", "115=6P", {{B(3, 6), 0xE0, 5 << 5}}),
                 Shown("*115#", "115=6c"),
                 Refused("*1157#"),
                 Refused("*1150#"),
                 Stored("*1863#", "186=3P", {{B(118, 0), 0x07, 2}}),
                 Shown("*186#", "186=3c"),
                 Stored("*6072#", "607=2P", {{S(SettingByte::k607), 0x70, 2 << 4}}),
                 Shown("*607#", "607=2c"),
                 Refused("*6073#"),
                 Stored("*94386#", "9438=6P", {{S(SettingByte::k9438), 0x07, 6}}),
                 Shown("*9438#", "9438=6c"),
                 Refused("*94387#"),
             }});
}

// --- Slot 54 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, AFourDigitValue) {
    Run(Case{
        "*9314",
        {},
        {
            Stored("*93141234#", "9314=1234P", {{B(20, 6), 0xFF, 0xD2}, {B(20, 7), 0xFF, 0x04}}),
            Shown("*9314#", "9314=1234c"),
            Stored("*93149999#", "9314=9999P", {{B(20, 6), 0xFF, 0x0F}, {B(20, 7), 0xFF, 0x27}}),
            Stored("*93140000#", "9314=0000P", {{B(20, 6), 0xFF, 0}, {B(20, 7), 0xFF, 0}}),
            Shown("*9314#", "9314=0000c"),
        }});
    // A word above 9999 from loaded data shows its low four digits.
    *state->image.BlockByte(20, 6) = 0x10;
    *state->image.BlockByte(20, 7) = 0x27;
    Run(Case{"loaded", {}, {Shown("*9314#", "9314=0000c")}});
}

// --- Slots 20, 25 and 27: no command reaches them --------------------------------------------

class UnreachedSlotTest : public HandlerTest {
  protected:
    void Use(std::uint8_t slot) {
        table_ = std::make_unique<CommandTable>(
            TableOfGroupZero({Descriptor({0, 0x11, 0x11, 0x11, 0, 0, 0, 0, 0, slot, 0, 0, 0})}));
        UseTable(*table_);
    }
    std::unique_ptr<CommandTable> table_;
};

TEST_F(UnreachedSlotTest, TenCharactersPerEntryOfBlockTen) {
    Use(20);
    EXPECT_EQ(Store("000=3-ABCDEFGHIJKL"), kHandlerAccepted);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&At(10, 36)), 10), "ABCDEFGHIJ");
    EXPECT_EQ(At(10, 46), 0);
    EXPECT_EQ(Show("000=3-").text, "ABCDEFGHIJ");
    EXPECT_EQ(Show("000=0-").text, "          ");
    EXPECT_EQ(Store("000=A-ABCDEFGHIJ"), kHandlerRejected);
}

TEST_F(UnreachedSlotTest, FieldsOfTheBlockSevenEntries) {
    Use(25);
    EXPECT_EQ(Store("000=2-2"), kHandlerAccepted);
    EXPECT_EQ(At(7, 4), 0x08);
    EXPECT_EQ(Show("000=2-").text, "2");
    EXPECT_EQ(Store("000=2-3"), kHandlerRejected);
    EXPECT_EQ(Store("000=5-1"), kHandlerRejected);
    Use(27);
    EXPECT_EQ(Store("000=2-5"), kHandlerAccepted);
    EXPECT_EQ(At(7, 4), 0xA8);
    EXPECT_EQ(Show("000=2-").text, "5");
    EXPECT_EQ(Store("000=2-6"), kHandlerRejected);
    EXPECT_EQ(Store("000=0-1"), kHandlerRejected);
}

}  // namespace
}  // namespace qzs::testing
