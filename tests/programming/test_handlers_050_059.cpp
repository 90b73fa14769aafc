// Slots 50-53 and 57-59: value pairs (*9320), the number tables with their clear forms (*141,
// *103, *162, *9321, *361), typed on a started image; the slots no command reaches through a
// table of their own.
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

Place Pair(std::size_t offset) {
    return T(
        "NumberPairTable",
        [](DataImage& i, std::size_t o) { return TableByte(i.number_pair_table, o); }, offset);
}

// The changes that put the bytes at consecutive places from the first.
std::vector<Change> Bytes(Place first, std::initializer_list<std::uint8_t> values) {
    std::vector<Change> changes;
    for (std::uint8_t v : values) {
        changes.push_back({first, 0xFF, v});
        ++first.offset;
    }
    return changes;
}

// --- Slot 50 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, ValuePairs) {
    Run(Case{"*9320",
             {},
             {
                 Stored("*9320011100200#", "9320=01,1-100,200P",
                        {{B(28, 1), 0xFF, 100}, {B(29, 1), 0xFF, 200}}),
                 Shown("*9320011#", "9320=01,1-100,200c"),
                 Stored("*9320153255000#", "9320=15,3-255,000P", {{B(28, 59), 0xFF, 255}}),
                 Shown("*9320153#", "9320=15,3-255,000c"),
                 Shown("*9320152#", "9320=15,2-000,000c"),
                 Refused("*9320011256000#"),
                 Refused("*9320011000256#"),
                 Refused("*9320161100200#"),
                 Refused("*9320001100200#"),
                 Refused("*9320014100200#"),
                 Refused("*9320010#"),
             }});
}

// --- Slot 53 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, NumberTables) {
    // Bytes past the number of an entry are not the table's.
    *state->image.BlockByte(12, 8 * 4 + 5) = 0x77;
    Run(Case{"*141: ten digits in bytes 0-4 of 8-byte entries",
             {},
             {
                 Stored("*14105123#", "141=05-123P", Bytes(B(12, 32), {0x12, 0x30})),
                 Shown("*14105#", "141=05-123c"),
                 Stored("*141321234567890#", "141=32-1234567890P",
                        Bytes(B(12, 248), {0x12, 0x34, 0x56, 0x78, 0x9A})),
                 Shown("*14132#", "141=32-1234567890c"),
                 Refused("*141050123#"),
                 Refused("*14100123#"),
                 Refused("*14133123#"),
                 Refused("*14133#"),
                 Refused("*14100#"),
                 Stored("*141320#", "141=32-0P", Bytes(B(12, 248), {0, 0, 0, 0, 0})),
                 Shown("*14132#", "141=32-c"),
                 Stored("*14132555#", "141=32-555P", Bytes(B(12, 248), {0x55, 0x50})),
                 Stored("*141000#", "141=00-0P",
                        {{B(12, 32), 0xFF, 0},
                         {B(12, 33), 0xFF, 0},
                         {B(12, 248), 0xFF, 0},
                         {B(12, 249), 0xFF, 0}}),
             }});
    Run(Case{"*103: sixteen digits, a leading 0 taken",
             {},
             {
                 Stored("*103050123#", "103=05-0123P", Bytes(B(93, 32), {0xA1, 0x23})),
                 Shown("*10305#", "103=05-0123c"),
                 Stored("*103201234567890123456#", "103=20-1234567890123456P",
                        Bytes(B(93, 152), {0x12, 0x34, 0x56, 0x78, 0x9A, 0x12, 0x34, 0x56})),
                 Refused("*10321123#"),
                 Stored("*103050#", "103=05-0P", Bytes(B(93, 32), {0, 0})),
             }});
    // A five-digit number leaves the sixth nibble 0, whatever was there.
    *state->image.BlockByte(86, 2) = 0x0F;
    Run(Case{"*162: five digits in bytes 0-2 of 4-byte entries",
             {},
             {
                 Stored("*1620112345#", "162=01-12345P", Bytes(B(86, 0), {0x12, 0x34, 0x50})),
                 Shown("*16201#", "162=01-12345c"),
                 Stored("*16232987#", "162=32-987P", Bytes(B(86, 124), {0x98, 0x70})),
                 Refused("*162010123#"),
                 Refused("*16233123#"),
                 Stored("*162000#", "162=00-0P",
                        {{B(86, 0), 0xFF, 0},
                         {B(86, 1), 0xFF, 0},
                         {B(86, 2), 0xFF, 0},
                         {B(86, 124), 0xFF, 0},
                         {B(86, 125), 0xFF, 0}}),
             }});
}

// --- Slot 57 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, NumbersWithAClassValue) {
    Run(Case{"*9321",
             {},
             {
                 Stored("*93210105123456#", "9321=01-05,123456P",
                        Bytes(B(27, 0), {0x12, 0x34, 0x56, 5})),
                 Shown("*932101#", "9321=01-05,123456c"),
                 Stored("*93219615908#", "9321=96-15,908P", Bytes(B(27, 380), {0x9A, 0x80, 0, 15})),
                 Shown("*932196#", "9321=96-15,908c"),
                 Refused("*93210105#"),     // no number
                 Refused("*93210005123#"),  // entry 00 with a number
                 Refused("*93210100123#"),  // value 00 with a number
                 Refused("*93219701123#"),
                 Refused("*93210116123#"),
                 Refused("*932100#"),
                 Stored("*93210100#", "9321=01-00,P", Bytes(B(27, 0), {0, 0, 0, 0})),
                 Shown("*932101#", "9321=01-00,c"),
                 Stored("*93219605123#", "9321=96-05,123P", Bytes(B(27, 380), {0x12, 0x30, 0, 5})),
                 Stored("*93210000#", "9321=00-00,P", Bytes(B(27, 380), {0, 0, 0, 0})),
             }});
}

// --- Slot 58 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, PairsOfNumbers) {
    Run(Case{"*361",
             {},
             {
                 Refused("*361012678#"),  // number 2 before number 1
                 Stored("*36101112345#", "361=01,1-12345P", Bytes(Pair(0), {0x12, 0x34, 0x50})),
                 Stored("*361012678#", "361=01,2-678P", Bytes(Pair(6), {0x67, 0x80})),
                 Shown("*361011#", "361=01,1-12345c"),
                 Shown("*361012#", "361=01,2-678c"),
                 Stored("*36124112345678901#", "361=24,1-12345678901P",
                        Bytes(Pair(276), {0x12, 0x34, 0x56, 0x78, 0x9A, 0x10})),
                 Stored("*36101200000#", "361=01,2-00000P", Bytes(Pair(6), {0, 0})),
                 Shown("*361012#", "361=01,2-c"),
                 Stored("*3610110000#", "361=01,1-0000P", Bytes(Pair(0), {0xAA, 0xAA, 0})),
                 Refused("*36100200000#"),
                 Refused("*361001123#"),  // entry 00 names no entry for a number
                 Refused("*361251123#"),
                 Refused("*361013123#"),
                 Refused("*361001#"),
                 Stored("*36100100000#", "361=00,1-00000P",
                        {{Pair(0), 0xFF, 0},
                         {Pair(1), 0xFF, 0},
                         {Pair(276), 0xFF, 0},
                         {Pair(277), 0xFF, 0},
                         {Pair(278), 0xFF, 0},
                         {Pair(279), 0xFF, 0},
                         {Pair(280), 0xFF, 0},
                         {Pair(281), 0xFF, 0}}),
             }});
}

// --- Slots 51, 52 and 59: no command reaches them --------------------------------------------

class UnreachedSlotTest : public HandlerTest {
  protected:
    void Use(std::uint8_t slot) {
        table_ = std::make_unique<CommandTable>(
            TableOfGroupZero({Descriptor({0, 0x01, 0x33, 0, 0, 0, 0, 0, 0, slot, 0, 0, 0})}));
        UseTable(*table_);
    }
    std::unique_ptr<CommandTable> table_;
};

TEST_F(UnreachedSlotTest, SlotFiftyOneAnswersAndChangesNothing) {
    Use(51);
    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("000=123", changed), kHandlerAccepted);
    EXPECT_TRUE(changed.empty());
    const ShownText shown = Show("000=");
    EXPECT_EQ(shown.result, kHandlerAccepted);
    EXPECT_EQ(shown.text, "");
}

TEST_F(UnreachedSlotTest, ThreeValuesOfBlockTwenty) {
    Use(52);
    EXPECT_EQ(Store("000=28,09,59"), kHandlerAccepted);
    EXPECT_EQ(At(20, 21), 28);
    EXPECT_EQ(At(20, 20), 9);
    EXPECT_EQ(At(20, 19), 59);
    EXPECT_EQ(Show("000=").text, "28,09,59");
    for (const char* refused :
         {"000=29,00,00", "000=01,24,00", "000=01,23,60", "000=00,01,01", "000=01,01", "000=0"}) {
        EXPECT_EQ(Store(refused), kHandlerRejected) << refused;
    }
    EXPECT_EQ(Store("000=00"), kHandlerAccepted);
    EXPECT_EQ(At(20, 21) | At(20, 20) | At(20, 19), 0);
    EXPECT_EQ(Show("000=").text, "00");
}

TEST_F(UnreachedSlotTest, ValuesOverAPositionRangeInBlockFiftyTwo) {
    Use(59);
    EXPECT_EQ(Store("000=101,-5"), kHandlerAccepted);
    EXPECT_EQ(At(52, 8), 5);
    EXPECT_EQ(Store("000=103,106-7"), kHandlerAccepted);
    // Positions 103-106 are codes 3, 4, 9 and 10.
    for (std::size_t code : {3, 4, 9, 10}) EXPECT_EQ(At(52, 12 * (code - 1) + 8), 7) << code;
    EXPECT_EQ(At(52, 12 * 4 + 8), 0);
    EXPECT_EQ(Show("000=105,-").text, "7");
    EXPECT_EQ(Show("000=101,-").text, "5");
    EXPECT_EQ(Show("000=101,102-").result, kHandlerRejected);
    EXPECT_EQ(Store("000=101,-8"), kHandlerRejected);
    EXPECT_EQ(Store("000=106,103-1"), kHandlerRejected);
    EXPECT_EQ(Store("000=000,-1"), kHandlerRejected);
}

}  // namespace
}  // namespace qzs::testing
