// The per-unit commands over a unit range (*101, *640, *013 and its flag family, *100, *040,
// *300, *600, *331) typed on a started image, and the unit-range key they share.
#include "programming/handlers/handler_support.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

// Unit u's record of block 2 is 20 bytes from 20(u - 1).
Place Unit2(int unit, std::size_t byte) {
    return B(2, 20 * (unit - 1) + byte);
}

// The same change in every unit of a range.
std::vector<Change> EachUnit(int first, int last,
                             const std::vector<std::pair<std::size_t, std::uint8_t>>& bytes,
                             std::uint8_t mask, Place (*place)(int, std::size_t) = &Unit2) {
    std::vector<Change> changes;
    for (int unit = first; unit <= last; ++unit) {
        for (const auto& [byte, value] : bytes) changes.push_back({place(unit, byte), mask, value});
    }
    return changes;
}

class UnitCheck : public HandlerCheck {};

// *101 (bits 0-1 of bytes 4 and 12 of the unit record) stands for every command of the key.
TEST_F(UnitCheck, UnitRangeKey) {
    Run(Case{"one unit and a range",
             {},
             {
                 Stored("*10103#2#", "101=03,-2,P", EachUnit(3, 3, {{4, 2}, {12, 2}}, 0x03)),
                 Shown("*10103##", "101=03,-2,2c"),
                 Stored("*101010831#", "101=01,08-3,1P", EachUnit(1, 8, {{4, 3}, {12, 1}}, 0x03)),
                 Shown("*10108##", "101=08,-3,1c"),
                 // First and last the same unit.
                 Stored("*101050502#", "101=05,05-0,2P", EachUnit(5, 5, {{4, 0}, {12, 2}}, 0x03)),
             }});
    Run(Case{"refused keys",
             {},
             {
                 Refused("*101031#2#"),   // last unit of one digit
                 Refused("*101050302#"),  // last below first
                 Refused("*10100#2#"),    // unit 0
                 Refused("*10109#2#"),    // unit 9
                 Refused("*101010902#"),  // last unit 9
                 Refused("*1010108##"),   // a show takes one unit only
                 Refused("*10101#4#"),    // value out of range
                 Refused("*10101#14#"),   // second value out of range
             }});
}

// The flag family of one handler: each command's byte per unit and its mask.
struct FlagCommand {
    const char* number;
    int block;  // -1: the *191 table
    std::size_t record_bytes;
    std::size_t byte;
    std::uint8_t mask;
    int second_byte = -1;  // *320 sets a second byte of the record as well
};

Place Table191(std::size_t unit_index) {
    return T(
        "*191 table", [](DataImage& i, std::size_t o) { return TableByte(i.flags_191, o); },
        unit_index);
}
Place Table041(std::size_t byte) {
    return T(
        "*041 table", [](DataImage& i, std::size_t o) { return TableByte(i.pairs_041, o); }, byte);
}

TEST_F(UnitCheck, FlagPerUnitOverEveryCommandOfItsFamily) {
    const std::vector<FlagCommand> commands{
        {"013", 121, 12, 0, 0x80},   {"145", 2, 20, 0, 0x10},   {"9302", 2, 20, 0, 0x08},
        {"320", 2, 20, 5, 0x10, 13}, {"102", 53, 16, 0, 0x01},  {"041", 53, 16, 9, 0x04},
        {"410", 138, 4, 0, 0x01},    {"327", 81, 4, 3, 0x10},   {"9142", 82, 4, 2, 0x08},
        {"191", -1, 1, 0, 0x01},     {"9295", 53, 16, 0, 0x10},
    };
    for (const FlagCommand& c : commands) {
        const std::string n = c.number;
        auto place = [&](int unit, std::size_t byte) {
            return c.block < 0
                       ? Table191(static_cast<std::size_t>(unit - 1))
                       : B(c.block, c.record_bytes * static_cast<std::size_t>(unit - 1) + byte);
        };
        auto changes = [&](int first, int last, std::uint8_t value) {
            std::vector<Change> out;
            for (int u = first; u <= last; ++u) {
                const auto bits = static_cast<std::uint8_t>(value != 0 ? c.mask : 0);
                out.push_back({place(u, c.byte), c.mask, bits});
                if (c.second_byte >= 0) {
                    out.push_back(
                        {place(u, static_cast<std::size_t>(c.second_byte)), c.mask, bits});
                }
                if (n == "041") {
                    const auto pair_mask = static_cast<std::uint8_t>(u % 2 == 1 ? 0x04 : 0x40);
                    out.push_back({Table041(static_cast<std::size_t>(u - 1) / 2), pair_mask,
                                   static_cast<std::uint8_t>(value != 0 ? pair_mask : 0)});
                }
            }
            return out;
        };
        Run(Case{"*" + n,
                 {"*" + n + "01080#"},
                 {
                     Stored("*" + n + "02041#", n + "=02,04-1P", changes(2, 4, 1)),
                     Shown("*" + n + "03##", n + "=03,-1c"),
                     Shown("*" + n + "05##", n + "=05,-0c"),
                     Stored("*" + n + "03#0#", n + "=03,-0P", changes(3, 3, 0)),
                     Shown("*" + n + "03##", n + "=03,-0c"),
                     Stored("*" + n + "08#1#", n + "=08,-1P", changes(8, 8, 1)),
                     Refused("*" + n + "03#2#"),
                     Refused("*" + n + "0302#1#"),
                     Refused("*" + n + "0204##"),
                 }});
    }
}

TEST_F(UnitCheck, ValuesOfThe100And040) {
    // *040 keeps the value in bits 0-1 of block 53 byte 9 and the value plus 2 in both nibbles of
    // byte 10.
    Place (*unit53)(int, std::size_t) = [](int unit, std::size_t byte) {
        return B(53, 16 * static_cast<std::size_t>(unit - 1) + byte);
    };
    auto of040 = [&](int first, int last, std::uint8_t value) {
        auto changes = EachUnit(first, last, {{9, value}}, 0x03, unit53);
        const auto nibbles = static_cast<std::uint8_t>((value + 2) * 0x11);
        for (const Change& c : EachUnit(first, last, {{10, nibbles}}, 0xFF, unit53)) {
            changes.push_back(c);
        }
        return changes;
    };
    Run(Case{"*100 and *040",
             {"*10001080#", "*04001080#"},
             {
                 Stored("*10002032#", "100=02,03-2P", EachUnit(2, 3, {{0, 2}}, 0x03)),
                 Shown("*10003##", "100=03,-2c"),
                 Refused("*10003#3#"),
                 Stored("*04007081#", "040=07,08-1P", of040(7, 8, 1)),
                 Stored("*04008#2#", "040=08,-2P", of040(8, 8, 2)),
                 Shown("*04008##", "040=08,-2c"),
                 Shown("*04007##", "040=07,-1c"),
                 Refused("*04008#3#"),
             }});
}

TEST_F(UnitCheck, TwoValueCommands) {
    Run(Case{"*640: the second value repeats the first when left out",
             {},
             {
                 Stored("*64003#2#", "640=03,-2,P", EachUnit(3, 3, {{6, 2}, {14, 2}}, 0x03)),
                 Stored("*640030413#", "640=03,04-1,3P", EachUnit(3, 4, {{6, 1}, {14, 3}}, 0x03)),
                 Shown("*64004##", "640=04,-1,3c"),
             }});
    Run(Case{"*300: 0-3 and 5, never 4",
             {},
             {
                 Stored("*300010850#", "300=01,08-5,0P", EachUnit(1, 8, {{5, 5}, {13, 0}}, 0x07)),
                 Shown("*30006##", "300=06,-5,0c"),
                 Stored("*30002#3#", "300=02,-3,P", EachUnit(2, 2, {{5, 3}, {13, 3}}, 0x07)),
                 Refused("*30002#4#"),
                 Refused("*30002#04#"),
                 Refused("*30002#6#"),
             }});
    Run(Case{
        "*600 and *331: two flags",
        {"*600010800#", "*331010800#"},
        {
            Stored("*600020310#", "600=02,03-1,0P", EachUnit(2, 3, {{7, 0x01}, {15, 0}}, 0x01)),
            Shown("*60003##", "600=03,-1,0c"),
            Stored("*33105#1#", "331=05,-1,P", EachUnit(5, 5, {{5, 0x08}, {13, 0x08}}, 0x08)),
            Shown("*33105##", "331=05,-1,1c"),
            Stored("*33105#01#", "331=05,-0,1P", EachUnit(5, 5, {{5, 0}}, 0x08)),
            Refused("*33105#2#"),
            Refused("*331050412#"),
        }});
}

// --- Slots that no command reaches ---------------------------------------------------------------

class UnreachedUnitSlotTest : public HandlerTest {
  protected:
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 80, 1, 0, 0x80}),        // *000 slot 80
        Descriptor({0, 0x11, 0x33, 0x16, 0, 0, 0, 0, 1, 81, 0, 0, 0}),        // *001 slot 81
        Descriptor({0, 0x01, 0x22, 0, 0, 0, 0, 0, 0, 82, 1, 0, 0}),           // *002 slot 82
        Descriptor({0, 0x11, 0x22, 0x1A, 0, 0, 0, 0, 1, 85, 0, 0, 0}),        // *003 slot 85
        Descriptor({0, 0x21, 0x22, 0x02, 0x11, 0, 0, 0, 1, 87, 2, 0, 0x18}),  // *004 slot 87
        Descriptor({0, 0x21, 0x22, 0x02, 0x11, 0, 0, 0, 1, 88, 0, 0, 0}),     // *005 slot 88
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 84, 0, 0, 0}),           // *006 slot 84
    });
    void SetUp() override { UseTable(table); }
};

TEST_F(UnreachedUnitSlotTest, SwitchValueAndTexts) {
    std::vector<std::size_t> changed;
    EXPECT_EQ(Store("000=2"), kHandlerAccepted);
    EXPECT_EQ(At(5, 2) & 0x80, 0x80);
    EXPECT_EQ(Show("000=").text, "2");
    EXPECT_EQ(Store("000=1"), kHandlerAccepted);
    EXPECT_EQ(Show("000=").text, "1");
    EXPECT_EQ(StoreAndDiff("000=3", changed), kHandlerRejected);
    EXPECT_TRUE(changed.empty());

    EXPECT_EQ(Store("002=08"), kHandlerAccepted);
    EXPECT_EQ(At(40, 6), 8);
    EXPECT_EQ(Show("002=").text, "08");
    EXPECT_EQ(Store("002=09"), kHandlerRejected);

    // Port names: position 105 is port code 9, its record at 20 x 9 of block 153; blanks are 0.
    EXPECT_EQ(Store("001=105-AB C"), kHandlerAccepted);
    const std::vector<std::uint8_t> name(&At(153, 180), &At(153, 180) + 6);
    EXPECT_EQ(name, (std::vector<std::uint8_t>{'A', 'B', 0, 'C', 0, 0}));
    EXPECT_EQ(Show("001=105-").text, "AB C  ");
    EXPECT_EQ(Store("001=000-AB"), kHandlerRejected);
    EXPECT_EQ(Store("001=113-AB"), kHandlerRejected);

    // Unit texts of the odd units at 15 u of block 36.
    EXPECT_EQ(Store("003=03-HELLO"), kHandlerAccepted);
    EXPECT_EQ(At(36, 45), 'H');
    EXPECT_EQ(At(36, 50), 0);
    EXPECT_EQ(Show("003=03-").text, "HELLO");
    EXPECT_EQ(Store("003=04-HELLO"), kHandlerRejected);
    EXPECT_EQ(Store("003=09-HELLO"), kHandlerRejected);

    EXPECT_EQ(StoreAndDiff("006=1", changed), kHandlerAccepted);
    EXPECT_TRUE(changed.empty());
}

TEST_F(UnreachedUnitSlotTest, PerUnitValuesOverARange) {
    EXPECT_EQ(Store("004=01,03-3"), kHandlerAccepted);
    for (std::size_t u = 0; u < 3; ++u) EXPECT_EQ(state->unit_run_time.records[u][1], 0x18) << u;
    EXPECT_EQ(state->unit_run_time.records[3][1], 0);
    EXPECT_EQ(state->unit_run_time.flags, 0x02);
    EXPECT_EQ(Show("004=02,-").text, "3");
    EXPECT_EQ(Show("004=02,03-").result, kHandlerRejected);
    EXPECT_EQ(Store("004=01,03-4"), kHandlerRejected);

    EXPECT_EQ(Store("005=07,08-5"), kHandlerAccepted);
    EXPECT_EQ(At(2, 125) >> 5, 5);
    EXPECT_EQ(At(2, 133) >> 5, 5);
    EXPECT_EQ(At(2, 145) >> 5, 5);
    EXPECT_EQ(At(2, 153) >> 5, 5);
    EXPECT_EQ(Show("005=08,-").text, "5");
    EXPECT_EQ(Store("005=08,07-5"), kHandlerRejected);
    EXPECT_EQ(Store("005=08,-6"), kHandlerRejected);
}

// The key read from lines as they may stand, typed or not: a digit window holding "-" or a
// blank is refused, never read as a number.
TEST_F(HandlerTest, UnitRangeKeyReadsOnlyDigits) {
    struct KeyCase {
        const char* line;
        bool taken;
        int first, last, data, single;  // single: ParseSingleUnit's answer
    };
    const std::vector<KeyCase> cases{
        {"101=03,-2", true, 3, 3, 8, 3},
        {"101=01,08-2", true, 1, 8, 10, 255},
        {"101=05,05-2", true, 5, 5, 10, 255},
        {"101=24,-", false, 0, 0, 0, 255},    // above the highest unit
        {"101=01,1-2", false, 0, 0, 0, 255},  // last unit of one digit
        {"101=1-,-", false, 0, 0, 0, 255},    // first unit of one digit
        {"101=0 ,-", false, 0, 0, 0, 255},
        {"101=00,-", false, 0, 0, 0, 255},
        {"101=05,04-", false, 0, 0, 0, 255},
        {"101=05,09-", false, 0, 0, 0, 255},
        {"101=05, 6-", false, 0, 0, 0, 255},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.line);
        WriteLine(c.line);
        UnitRange range;
        ASSERT_EQ(ParseUnitRange(*state, Terminal(), 8, range), c.taken);
        if (c.taken) {
            EXPECT_EQ(range.first, c.first);
            EXPECT_EQ(range.last, c.last);
            EXPECT_EQ(range.data, c.data);
        }
        EXPECT_EQ(ParseSingleUnit(*state, Terminal(), 8), c.single);
    }
    // Lines 1-24 share the key.
    WriteLine("301=10,24-5");
    UnitRange range;
    ASSERT_TRUE(ParseUnitRange(*state, Terminal(), 24, range));
    EXPECT_EQ(range.last, 24);
}

}  // namespace
}  // namespace qzs::testing
