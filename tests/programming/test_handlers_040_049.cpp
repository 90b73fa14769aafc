// The entries of *9234/*9235, the group members of *731 and *362, the port codes of *084, the unit
// codes of *081, the single options of *724, *503, *130 and *625 and the system speed-dial numbers
// of *126, typed on a started image.
#include "programming/number_index.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

Place Members731(std::size_t row, std::size_t position) {
    return T(
        "*731 table", [](DataImage& i, std::size_t o) { return TableByte(i.members_731, o); },
        4 * row + position - 1);
}
// Block 38 row r entry e, and the row bit of value v in block 37.
Place RowEntry(std::size_t row, std::size_t entry) {
    return B(38, 96 * row + entry - 1);
}
Place RowMask(std::size_t value) {
    return B(37, 6 * (value - 1) + 4);
}

TEST_F(HandlerCheck, EntriesOf9234And9235) {
    Run(Case{"*9234 digit and *9235 code",
             {},
             {
                 Stored("*923425#", "9234=2-5P", {{B(80, 49 + 78), 0x0F, 5}}),
                 Shown("*92342#", "9234=2-5c"),
                 Refused("*923445#"),
                 Stored("*9235009#", "9235=0-09P", {{B(80, 81), 0xFF, 0x09}}),
                 Stored("*9235314#", "9235=3-14P", {{B(80, 81 + 117), 0xFF, 0x14}}),
                 Stored("*9235120#", "9235=1-20P", {{B(80, 81 + 39), 0xFF, 0x20}}),
                 Stored("*9235124#", "9235=1-24P", {{B(80, 81 + 39), 0xFF, 0x24}}),
                 Shown("*92351#", "9235=1-24c"),
                 Shown("*92353#", "9235=3-14c"),
                 Refused("*9235115#"),
                 Refused("*9235119#"),
                 Refused("*9235108#"),
                 Refused("*9235125#"),
                 Refused("*92354#"),
             }});
}

TEST_F(HandlerCheck, GroupMembersOf731) {
    Run(Case{"a value moves within its group; position 00 clears the group",
             {},
             {
                 Stored("*731010205#", "731=01,02-05P", {{Members731(1, 2), 0xFF, 5}}),
                 Shown("*7310102#", "731=01,02-05c"),
                 Stored("*731010405#", "731=01,04-05P",
                        {{Members731(1, 2), 0xFF, 0}, {Members731(1, 4), 0xFF, 5}}),
                 Stored("*731030130#", "731=03,01-30P", {{Members731(3, 1), 0xFF, 30}}),
                 Refused("*731010005#"),
                 Stored("*731010000#", "731=01,00-00P", {{Members731(1, 4), 0xFF, 0}}),
                 Shown("*7310104#", "731=01,04-00c"),
                 Shown("*7310301#", "731=03,01-30c"),
             }});
    Run(Case{"refused fields",
             {},
             {
                 Refused("*731040105#"),
                 Refused("*731000505#"),
                 Refused("*731010531#"),
                 Refused("*7310100#"),
             }});
    // A member entered into a group leaves the group's row of block 38 and its entries of blocks
    // 67 and 72.
    Run(Case{
        "the value leaves the group's other tables",
        {"*362020503#"},
        {
            Stored("*731020105#", "731=02,01-05P",
                   {{Members731(2, 1), 0xFF, 5}, {RowEntry(2, 5), 0xFF, 0}, {RowMask(3), 0x04, 0}}),
        }});
}

TEST_F(HandlerCheck, RowValuesOf362KeepTheirMasks) {
    Run(Case{
        "*362",
        {},
        {
            Stored("*362010103#", "362=01,01-03P",
                   {{RowEntry(1, 1), 0xFF, 3}, {RowMask(3), 0x02, 0x02}}),
            Stored("*362010203#", "362=01,02-03P", {{RowEntry(1, 2), 0xFF, 3}}),
            // Value 3 still stands at entry 2, so its bit stays.
            Stored("*362010124#", "362=01,01-24P",
                   {{RowEntry(1, 1), 0xFF, 24}, {RowMask(24), 0x02, 0x02}}),
            Shown("*3620101#", "362=01,01-24c"),
            Stored("*362033007#", "362=03,30-07P",
                   {{RowEntry(3, 30), 0xFF, 7}, {RowMask(7), 0x08, 0x08}}),
            // The last place of value 3 in row 1 goes, and with it its bit.
            Stored("*362010200#", "362=01,02-00P",
                   {{RowEntry(1, 2), 0xFF, 0}, {RowMask(3), 0x02, 0}}),
            Stored("*362010102#", "362=01,01-02P",
                   {{RowEntry(1, 1), 0xFF, 2}, {RowMask(24), 0x02, 0}, {RowMask(2), 0x02, 0x02}}),
            Stored("*362010305#", "362=01,03-05P",
                   {{RowEntry(1, 3), 0xFF, 5}, {RowMask(5), 0x02, 0x02}}),
            Stored("*362010000#", "362=01,00-00P",
                   {{RowEntry(1, 1), 0xFF, 0},
                    {RowEntry(1, 3), 0xFF, 0},
                    {RowMask(2), 0x02, 0},
                    {RowMask(5), 0x02, 0}}),
            Shown("*3620330#", "362=03,30-07c"),
            Refused("*362010003#"),
            Refused("*362013125#"),
            Refused("*362040101#"),
            Refused("*3620100#"),
        }});
    // An entry set in a row leaves the row's four member positions that hold its number.
    Run(Case{
        "the entry number leaves the member positions",
        {"*731010203#"},
        {
            Stored(
                "*362010309#", "362=01,03-09P",
                {{RowEntry(1, 3), 0xFF, 9}, {RowMask(9), 0x02, 0x02}, {Members731(1, 2), 0xFF, 0}}),
        }});
}

TEST_F(HandlerCheck, PortCodesOf084StandOnce) {
    // Position 110 is port code 34, 101 code 1.
    Run(Case{"*084",
             {},
             {
                 Stored("*08401011101#", "084=01,01-110P", {{B(39, 24), 0xFF, 34}}),
                 Shown("*0840101#", "084=01,01-110c"),
                 Stored("*08407101101#", "084=07,10-110P",
                        {{B(39, 24), 0xFF, 0}, {B(39, 24 * 7 + 9), 0xFF, 34}}),
                 Stored("*08402031011#", "084=02,03-101P", {{B(39, 48 + 2), 0xFF, 1}}),
                 Stored("*08402030000#", "084=02,03-000P", {{B(39, 48 + 2), 0xFF, 0}}),
                 Shown("*0840203#", "084=02,03-000c"),
                 Refused("*08408011101#"),
                 Refused("*08401111101#"),
                 Refused("*08401011131#"),
                 Refused("*0840011#"),
             }});
}

TEST_F(HandlerCheck, UnitCodesOf081FollowTheDigitCounts) {
    Run(Case{"*081 with one-digit codes beginning with 3",
             {"*08031#"},
             {
                 Stored("*081053#", "081=05-3P", {{B(15, 5), 0xFF, 0x30}}),
                 Shown("*08105#", "081=05-3c"),
                 Refused("*0810534#"),  // the first digit 3 calls for one digit
                 Refused("*081173#"),
                 Refused("*081263#"),
                 Refused("*081553#"),
                 Refused("*081983#"),
                 Refused("*08117#"),
                 Refused("*08155#"),
                 // The code 0 (nibble 10) leaves byte 0, where the factory values put it.
                 Stored("*081540#", "081=54-0P", {{B(15, 0), 0xFF, 0}, {B(15, 54), 0xFF, 0xA0}}),
                 Shown("*08154#", "081=54-0c"),
             }});
    Run(Case{"two-digit codes, and key 99 removes a code everywhere",
             {"*08032#", "*08042#", "*0810645#"},
             {
                 Refused("*081073#"),
                 Refused("*081064#"),
                 Stored("*0810734#", "081=07-34P", {{B(15, 7), 0xFF, 0x34}}),
                 Shown("*08107#", "081=07-34c"),
                 // The code 34 leaves the byte that held it before it is stored again.
                 Stored("*0810834#", "081=08-34P", {{B(15, 7), 0xFF, 0}, {B(15, 8), 0xFF, 0x34}}),
                 Shown("*08106#", "081=06-45c"),
                 // A one-digit code removes every code that begins with its digit.
                 Stored("*081994#", "081=99-4P", {{B(15, 6), 0xFF, 0}}),
                 Stored("*081993#", "081=99-3P", {{B(15, 5), 0xFF, 0}, {B(15, 8), 0xFF, 0}}),
             }});
}

TEST_F(HandlerCheck, SingleOptionsOf724503130And625) {
    Run(Case{"*724 and *503",
             {},
             {
                 Stored("*72411#", "724=11P", {{B(55, 13), 0xFF, 0x11}}),
                 Stored("*72421#", "724=21P", {{B(55, 13), 0xFF, 0x21}}),
                 Stored("*72407#", "724=07P", {{B(55, 13), 0xFF, 0x07}}),
                 Shown("*724#", "724=07c"),
                 Stored("*72400#", "724=00P", {{B(55, 13), 0xFF, 0x00}}),
                 Refused("*72410#"),
                 Refused("*72420#"),
                 Refused("*72415#"),
                 Refused("*72425#"),
                 Stored("*5034#", "503=4P", {{B(80, 36), 0x07, 4}}),
                 Shown("*503#", "503=4c"),
                 Refused("*5030#"),
                 Refused("*5035#"),
             }});
    Run(Case{"*130 and *625",
             {},
             {
                 Stored("*13099#", "130=99P", {{B(3, 8), 0xFF, 99}}),
                 Shown("*130#", "130=99c"),
                 Stored("*62515#", "625=15P", {{B(80, 11), 0xFF, 15}}),
                 Stored("*62501#", "625=01P", {{B(80, 11), 0xFF, 1}}),
                 Shown("*625#", "625=01c"),
                 Refused("*62500#"),
                 Refused("*62516#"),
             }});
}

// The number index (block 171) follows the rows; its layout is checked by its own tests, so the
// stores here are compared outside it.
class SpeedDialNumberCheck : public HandlerCheck {
  protected:
    std::uint8_t* Row(std::size_t row) { return state->image.BlockByte(169, 71 * row); }
};

TEST_F(SpeedDialNumberCheck, NumbersOf126AreUniqueAndKeepTwelveDigits) {
    std::uint8_t* row1 = Row(1);
    for (std::size_t i = 6; i < 12; ++i) row1[i] = 0x55;  // digits 13-24 of an older number
    CommandRun run = RunCommandForResult(*state, 1, "*126001031234#");
    EXPECT_EQ(TrimLine(run.line), "126=001-031234P");
    const std::vector<std::uint8_t> expected{0x3A, 0x21, 0x43, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(row1, row1 + 12), expected);
    EXPECT_EQ(TrimLine(RunCommandForResult(*state, 1, "*126001#").line), "126=001-031234c");
    EXPECT_NE(NumberIndexSearch(state->image, MakeNumberText("031234")) & 0xF000, kProbedLeft);

    run = RunCommandForResult(*state, 1, "*126599987654321098#");
    EXPECT_EQ(TrimLine(run.line), "126=599-987654321098P");
    EXPECT_EQ(TrimLine(RunCommandForResult(*state, 1, "*126599#").line), "126=599-987654321098c");

    // Refused: the same number on another row, a row of 600 or more.
    const auto before = std::make_unique<DataImage>(state->image);
    EXPECT_EQ(RunCommandForResult(*state, 1, "*126002031234#").result, CommandResult::kRejected);
    EXPECT_EQ(RunCommandForResult(*state, 1, "*126600123#").result, CommandResult::kRejected);
    EXPECT_EQ(RunCommandForResult(*state, 1, "*126989123#").result, CommandResult::kRejected);
    EXPECT_EQ(RunCommandForResult(*state, 1, "*126600#").result, CommandResult::kRejected);
    EXPECT_TRUE(ChangedBytes(*before, state->image).empty());

    // The same number again on its own row is taken.
    EXPECT_EQ(RunCommandForResult(*state, 1, "*126001031234#").result, CommandResult::kStored);
}

// Loaded data may set the other bits of a digit-count byte; only bits 0-1 are the count.
TEST_F(HandlerCheck, UnitCodesReadOnlyTheCountBitsOfADigitCount) {
    *state->image.BlockByte(14, 3) = 0xFC;  // count bits 0: one digit
    Run(Case{"*081 with upper bits set",
             {},
             {Stored("*081053#", "081=05-3P", {{B(15, 5), 0xFF, 0x30}}), Refused("*0810534#")}});
}

// Bytes from loaded data wider than their show keep the low digits.
TEST_F(HandlerCheck, WideValuesShowTheirLowDigits) {
    *state->image.BlockByte(3, 8) = 0xFF;
    *state->image.BlockByte(38, 96) = 200;
    *state->image.BlockByte(39, 24) = 250;
    Run(Case{"wide values",
             {},
             {Shown("*130#", "130=55c"), Shown("*3620101#", "362=01,01-00c"),
              Shown("*0840101#", "084=01,01-250c")}});
    // A value above 24 in a row has no mask entry; overwriting it touches none.
    Run(Case{"a row value without a mask",
             {},
             {Stored("*362010105#", "362=01,01-05P",
                     {{RowEntry(1, 1), 0xFF, 5}, {RowMask(5), 0x02, 0x02}})}});
}

// --- Slots that no command reaches ---------------------------------------------------------------

class UnreachedGroupSlotTest : public HandlerTest {
  protected:
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x01, 0x13, 0, 0, 0, 0, 0, 0, 48, 0, 0, 0}),         // *000 slot 48
        Descriptor({0, 0x21, 0x22, 0x22, 0x22, 0, 0, 0, 2, 104, 1, 0, 0}),  // *001 slot 104
        Descriptor({0, 0x21, 0x22, 0x22, 0x22, 0, 0, 0, 2, 104, 2, 0, 0}),  // *002 slot 104
        Descriptor({0, 0x21, 0x22, 0x22, 0x33, 0, 0, 0, 2, 49, 0, 0, 0}),   // *003 slot 49
    });
    void SetUp() override { UseTable(table); }
};

TEST_F(UnreachedGroupSlotTest, ThreeDialDigitsOf48) {
    EXPECT_EQ(Store("000=123"), kHandlerAccepted);
    EXPECT_EQ(At(40, 28), 0x12);
    EXPECT_EQ(At(40, 29) & 0xF0, 0x30);
    EXPECT_EQ(Show("000=").text, "123");
    At(40, 29) |= 0x05;
    EXPECT_EQ(Store("000=0"), kHandlerAccepted);
    EXPECT_EQ(At(40, 28), 0);
    EXPECT_EQ(At(40, 29), 0x05);  // its low nibble is not one of the digits
    EXPECT_EQ(Show("000=").text, "");
}

TEST_F(UnreachedGroupSlotTest, GroupEntriesOf104) {
    // Row 1 of block 67 (values 0-24) and of block 72 (values 0-3) at 30 bytes from 30.
    EXPECT_EQ(Store("001=01,07-24"), kHandlerAccepted);
    EXPECT_EQ(At(67, 36), 24);
    EXPECT_EQ(Show("001=01,07-").text, "24");
    EXPECT_EQ(Store("001=01,07-25"), kHandlerRejected);
    EXPECT_EQ(Store("002=01,30-03"), kHandlerAccepted);
    EXPECT_EQ(At(72, 59), 3);
    EXPECT_EQ(Store("002=01,30-04"), kHandlerRejected);
    // A value entered leaves its entry of both rows first.
    At(72, 30 + 23) = 2;
    EXPECT_EQ(Store("001=01,02-24"), kHandlerAccepted);
    EXPECT_EQ(At(72, 53), 0);
    EXPECT_EQ(At(67, 31), 24);
    EXPECT_EQ(Store("001=01,00-00"), kHandlerAccepted);
    for (std::size_t e = 0; e < 30; ++e) EXPECT_EQ(At(67, 30 + e), 0) << e;
    EXPECT_EQ(Store("001=01,00-05"), kHandlerRejected);
    EXPECT_EQ(Show("001=04,01-").result, kHandlerRejected);
}

// Where slot 49 keeps its entries is not known: it refuses and changes nothing.
TEST_F(UnreachedGroupSlotTest, Slot49Refuses) {
    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("003=01,01-01,101", changed), kHandlerRejected);
    EXPECT_TRUE(changed.empty());
    EXPECT_EQ(Show("003=01,01-").result, kHandlerRejected);
}

}  // namespace
}  // namespace qzs::testing
