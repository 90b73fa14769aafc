// Slots 0-9: the generic bit flag over all its commands, the small option fields, and the
// handlers with tables of their own, through the dispatch of StoreEnteredData/ShowCurrentData.
#include <set>

#include "programming/port_codecs.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

// A place of the image: a block byte or a setting byte outside the blocks.
struct Place {
    int block = -1;
    std::size_t offset = 0;
    SettingByte setting = SettingByte::kCount;
};
constexpr Place Blk(int block, std::size_t offset) {
    return {block, offset, SettingByte::kCount};
}
constexpr Place Out(SettingByte setting) {
    return {-1, 0, setting};
}

class SlotTest : public HandlerTest {
  protected:
    std::uint8_t& ByteAt(const Place& place) {
        return place.block >= 0 ? At(place.block, place.offset) : Image().Setting(place.setting);
    }
    std::size_t OffsetAt(const Place& place) {
        return place.block >= 0 ? OffsetOf(place.block, place.offset) : OffsetOf(place.setting);
    }
};

// --- Slot 0 ----------------------------------------------------------------------------------

struct FlagCase {
    const char* command;
    Place target;
    std::uint8_t mask;
};

// Every command of the generic bit flag with the byte and bit it owns.
const std::vector<FlagCase> kFlagCases{
    {"810", Blk(3, 0), 0x40},
    {"812", Blk(3, 0), 0x10},
    {"813", Blk(3, 0), 0x20},
    {"9313", Blk(3, 0), 0x80},
    {"134", Blk(3, 2), 0x40},
    {"671", Blk(3, 2), 0x20},
    {"675", Blk(3, 2), 0x80},
    {"022", Blk(3, 4), 0x10},
    {"143", Blk(3, 4), 0x08},
    {"123", Blk(3, 9), 0x08},
    {"124", Blk(3, 9), 0x80},
    {"137", Blk(3, 9), 0x40},
    {"182", Blk(3, 9), 0x10},
    {"811", Blk(3, 9), 0x20},
    {"612", Blk(3, 14), 0x40},
    {"628", Blk(3, 14), 0x01},
    {"502", Blk(3, 16), 0x02},
    {"509", Blk(3, 16), 0x08},
    {"843", Blk(3, 17), 0x80},
    {"844", Blk(3, 17), 0x40},
    {"845", Blk(3, 18), 0x40},
    {"344", Blk(3, 19), 0x20},
    {"347", Blk(3, 19), 0x10},
    {"352", Blk(3, 19), 0x08},
    {"002", Blk(3, 21), 0x10},
    {"342", Blk(3, 21), 0x40},
    {"346", Blk(3, 21), 0x80},
    {"708", Blk(3, 21), 0x20},
    {"700", Blk(3, 23), 0x40},
    {"703", Blk(3, 24), 0x40},
    {"720", Blk(3, 24), 0x20},
    {"9217", Blk(3, 24), 0x04},
    {"031", Blk(3, 25), 0x02},
    {"032", Blk(3, 25), 0x01},
    {"841", Blk(3, 25), 0x10},
    {"613", Blk(3, 27), 0x02},
    {"814", Blk(3, 27), 0x08},
    {"9251", Blk(3, 27), 0x01},
    {"324", Blk(3, 32), 0x04},
    {"330", Blk(3, 32), 0x08},
    {"336", Blk(3, 33), 0x08},
    {"9281", Blk(3, 46), 0x08},
    {"9282", Blk(3, 46), 0x04},
    {"9283", Blk(3, 46), 0x02},
    {"9205", Blk(6, 0), 0x80},
    {"392", Blk(40, 1), 0x80},
    {"849", Blk(40, 1), 0x40},
    {"609", Blk(40, 5), 0x02},
    {"039", Blk(40, 11), 0x80},
    {"626", Blk(40, 11), 0x02},
    {"714", Blk(40, 11), 0x10},
    {"9242", Blk(40, 11), 0x20},
    {"713", Blk(40, 35), 0x80},
    {"9289", Blk(40, 36), 0x01},
    {"125", Blk(55, 0), 0x02},
    {"131", Blk(55, 0), 0x08},
    {"133", Blk(55, 0), 0x40},
    {"138", Blk(55, 0), 0x04},
    {"618", Blk(55, 0), 0x80},
    {"9285", Blk(55, 0), 0x01},
    {"380", Blk(55, 2), 0x10},
    {"842", Blk(55, 2), 0x40},
    {"9271", Blk(55, 2), 0x20},
    {"375", Blk(55, 3), 0x10},
    {"376", Blk(55, 3), 0x20},
    {"524", Blk(55, 4), 0x08},
    {"617", Blk(55, 5), 0x10},
    {"045", Blk(55, 22), 0x10},
    {"046", Blk(55, 22), 0x08},
    {"9532", Blk(78, 8), 0x04},
    {"097", Blk(80, 9), 0x10},
    {"377", Blk(80, 9), 0x01},
    {"622", Blk(80, 9), 0x20},
    {"623", Blk(80, 9), 0x04},
    {"637", Blk(80, 9), 0x08},
    {"817", Blk(80, 12), 0x80},
    {"9292", Blk(80, 12), 0x04},
    {"9245", Blk(80, 20), 0x10},
    {"417", Blk(80, 45), 0x04},
    {"418", Blk(80, 45), 0x08},
    {"677", Blk(80, 45), 0x10},
    {"9256", Blk(80, 47), 0x20},
    {"852", Blk(103, 0), 0x01},
    {"9288", Blk(132, 2), 0x01},
    {"730", Blk(132, 3), 0x04},
    {"808", Blk(132, 3), 0x01},
    {"416", Blk(139, 0), 0x01},
    {"411", Blk(139, 2), 0x01},
    {"733", Blk(139, 5), 0x40},
    {"510", Out(SettingByte::k9307), 0x10},
    {"405", Out(SettingByte::k405), 0x10},
    {"420", Out(SettingByte::k405), 0x40},
    {"425", Out(SettingByte::k189), 0x08},
    {"809", Out(SettingByte::k189), 0x80},
    {"9294", Out(SettingByte::k706), 0x08},
    {"427", Out(SettingByte::k427), 0x02},
    {"429", Out(SettingByte::k429), 0x01},
    {"9403", Out(SettingByte::k9403), 0x01},
    {"9411", Out(SettingByte::k9411), 0x01},
};

// The command list comes from the command table itself: every record of slot 0.
std::vector<std::string> SlotZeroCommands() {
    const CommandTable& table = BuiltInCommandTable();
    std::vector<std::string> commands;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].IsEndRecord() || i == table.CatchAllIndex()) continue;
        if (table[i].HandlerSlot() == 0) commands.push_back(table.NumberAt(i));
    }
    return commands;
}

const FlagCase* FindFlagCase(const std::string& command) {
    for (const FlagCase& c : kFlagCases) {
        if (command == c.command) return &c;
    }
    return nullptr;
}

TEST_F(SlotTest, EachBitFlagCommandSetsAndClearsExactlyItsBits) {
    const std::vector<std::string> commands = SlotZeroCommands();
    ASSERT_EQ(commands.size(), 99u);
    ASSERT_EQ(kFlagCases.size(), 99u);
    std::vector<std::size_t> changed;
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const FlagCase* expected = FindFlagCase(command);
        ASSERT_NE(expected, nullptr) << "slot 0 command without a known target";
        const std::size_t offset = OffsetAt(expected->target);

        FillImage(Image(), 0x00);
        EXPECT_EQ(StoreAndDiff(command + "=1", changed), kHandlerAccepted);
        EXPECT_EQ(changed, std::vector<std::size_t>{offset});
        EXPECT_EQ(ByteAt(expected->target), expected->mask);
        EXPECT_EQ(Show(command + "=").text, "1");

        FillImage(Image(), 0xFF);
        EXPECT_EQ(StoreAndDiff(command + "=0", changed), kHandlerAccepted);
        EXPECT_EQ(changed, std::vector<std::size_t>{offset});
        EXPECT_EQ(ByteAt(expected->target), static_cast<std::uint8_t>(~expected->mask));
        EXPECT_EQ(Show(command + "=").text, "0");

        // Setting a bit that is already set, and a value outside 0-1, change nothing.
        EXPECT_EQ(StoreAndDiff(command + "=0", changed), kHandlerAccepted);
        EXPECT_TRUE(changed.empty());
        EXPECT_EQ(StoreAndDiff(command + "=2", changed), kHandlerRejected);
        EXPECT_TRUE(changed.empty());
    }
}

TEST_F(SlotTest, BitFlagWithoutAPlaceIsRefused) {
    // Item 11 has no byte; item 6 with pointer entry 50 would reach entry 90, past the table.
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 0, 11, 0, 0x01}),
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 0, 6, 50, 0x01}),
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 0, 6, 45, 0x01}),
    });
    UseTable(table);
    std::vector<std::size_t> changed;
    for (const char* command : {"000", "001"}) {
        EXPECT_EQ(StoreAndDiff(std::string(command) + "=1", changed), kHandlerRejected);
        EXPECT_TRUE(changed.empty());
        EXPECT_EQ(Show(std::string(command) + "=").result, kHandlerRejected);
    }
    // Entry 45 + 40 = 85 is the last entry of the pointer table: byte 13 of the second area.
    EXPECT_EQ(Store("002=1"), kHandlerAccepted);
    EXPECT_EQ(Image().second_pointer_area[13], 0x01);
}

// --- Slots 4 and 8 ---------------------------------------------------------------------------

struct OptionCase {
    const char* command;
    Place target;
    unsigned shift;  // the field's lowest bit
    unsigned width;
    std::uint8_t min;
    std::uint8_t max;
};

const std::vector<OptionCase> kOptionCases{
    // slot 4
    {"122", Out(SettingByte::k9307), 0, 2, 0, 2},
    {"189", Out(SettingByte::k189), 4, 2, 0, 2},
    {"412", Blk(80, 12), 4, 2, 0, 2},
    {"521", Blk(3, 18), 4, 2, 0, 2},
    {"621", Blk(80, 9), 6, 2, 0, 1},
    {"688", Blk(80, 13), 4, 2, 0, 3},
    {"689", Blk(80, 12), 0, 2, 0, 3},
    {"822", Out(SettingByte::k822), 4, 2, 0, 2},
    {"859", Out(SettingByte::k822), 6, 2, 0, 2},
    // slot 8
    {"028", Blk(139, 3), 0, 4, 0, 3},
    {"091", Blk(3, 4), 0, 2, 0, 3},
    {"093", Blk(3, 2), 3, 2, 0, 3},
    {"094", Blk(3, 7), 6, 2, 0, 3},
    {"095", Blk(3, 44), 2, 2, 0, 3},
    {"096", Blk(3, 44), 4, 2, 0, 3},
    {"132", Blk(55, 0), 4, 2, 0, 3},
    {"187", Out(SettingByte::k187), 0, 2, 0, 3},
    {"317", Blk(80, 45), 0, 2, 0, 3},
    {"348", Blk(40, 4), 4, 2, 0, 3},
    {"373", Blk(40, 8), 0, 2, 0, 3},
    {"406", Out(SettingByte::k189), 0, 3, 1, 2},
    {"508", Blk(3, 16), 4, 2, 0, 3},
    {"522", Blk(3, 17), 4, 2, 0, 3},
    {"705", Out(SettingByte::k673), 4, 3, 0, 5},
    {"723", Blk(40, 1), 4, 2, 0, 3},
    {"725", Blk(40, 5), 2, 2, 0, 3},
    {"816", Blk(40, 4), 6, 2, 0, 3},
    {"846", Blk(3, 17), 0, 2, 0, 3},
    {"847", Blk(3, 25), 2, 2, 0, 3},
    {"851", Blk(55, 5), 6, 2, 0, 3},
    {"9206", Blk(6, 0), 4, 2, 0, 3},
    {"9224", Blk(40, 10), 2, 2, 0, 3},
    {"9439", Out(SettingByte::k9439), 0, 2, 0, 3},
    {"9531", Blk(78, 8), 0, 2, 0, 3},
};

TEST_F(SlotTest, OptionFieldsTakeTheirRangeIntoTheirBitsOnly) {
    std::vector<std::size_t> changed;
    for (const OptionCase& c : kOptionCases) {
        SCOPED_TRACE(c.command);
        const std::string command = c.command;
        const auto field = static_cast<std::uint8_t>(((1u << c.width) - 1u) << c.shift);
        for (std::uint8_t background : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
            for (unsigned v = c.min; v <= c.max; ++v) {
                FillImage(Image(), background);
                EXPECT_EQ(StoreAndDiff(command + "=" + std::to_string(v), changed),
                          kHandlerAccepted);
                EXPECT_LE(changed.size(), 1u);
                if (!changed.empty()) {
                    EXPECT_EQ(changed[0], OffsetAt(c.target));
                }
                EXPECT_EQ(ByteAt(c.target),
                          static_cast<std::uint8_t>((background & ~field) | v << c.shift));
                EXPECT_EQ(Show(command + "=").text, std::to_string(v));
            }
        }
        for (unsigned v : {unsigned{c.min} - 1u, unsigned{c.max} + 1u}) {
            if (v > 9) continue;
            EXPECT_EQ(StoreAndDiff(command + "=" + std::to_string(v), changed), kHandlerRejected);
            EXPECT_TRUE(changed.empty());
        }
    }
}

TEST_F(SlotTest, LevelOptionKeepsWholeBytes) {
    const std::array<std::uint8_t, 4> levels{0x02, 0x07, 0x0A, 0x0F};
    for (unsigned v = 0; v < levels.size(); ++v) {
        EXPECT_EQ(Store("092=" + std::to_string(v)), kHandlerAccepted);
        EXPECT_EQ(At(3, 3), levels[v]);
        EXPECT_EQ(Show("092=").text, std::to_string(v));
    }
    EXPECT_EQ(Store("092=4"), kHandlerRejected);
    EXPECT_EQ(At(3, 3), 0x0F);
    // A byte that is none of the levels (loaded data) has no digit: "--c", nothing appended.
    At(3, 3) = 0x05;
    const ShownText shown = Show("092=");
    EXPECT_EQ(shown.result, kHandlerMismatch);
    EXPECT_EQ(shown.text, "");
}

TEST_F(SlotTest, OptionItemsWithoutAKnownFieldAreRefused) {
    // Slot 4 items 1 and 3, slot 8 item 14: no command uses them and their fields are not known.
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 4, 1, 0, 0}),
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 4, 3, 0, 0}),
        Descriptor({0, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 8, 14, 0, 0}),
    });
    UseTable(table);
    std::vector<std::size_t> changed;
    for (const char* command : {"000", "001", "002"}) {
        EXPECT_EQ(StoreAndDiff(std::string(command) + "=1", changed), kHandlerRejected);
        EXPECT_TRUE(changed.empty());
        EXPECT_EQ(Show(std::string(command) + "=").result, kHandlerRejected);
    }
}

// --- Slot 1 (*332) ---------------------------------------------------------------------------

struct RowFlagCase {
    const char* line;
    std::uint8_t result;
    unsigned first = 0, last = 0;  // rows written (none when the result is not 0)
    bool flag4 = false, flag5 = false;
};

TEST_F(SlotTest, RowFlagsOverARangeOfRows) {
    const std::vector<RowFlagCase> cases{
        {"332=01,05-1,0", kHandlerAccepted, 1, 5, true, false},
        {"332=03,-1,", kHandlerAccepted, 3, 3, true, true},  // second value defaults
        {"332=07,-0,1", kHandlerAccepted, 7, 7, false, true},
        {"332=20,24-0,", kHandlerAccepted, 20, 24, false, false},
        {"332=01,5-1,", kHandlerRejected},   // a one-digit last row
        {"332=05,03-1,", kHandlerRejected},  // last row before the first
        {"332=00,-1,", kHandlerRejected},
        {"332=25,-1,", kHandlerRejected},
        {"332=01,25-1,", kHandlerRejected},
        {"332=01,-2,", kHandlerRejected},
        {"332=01,-1,2", kHandlerRejected},
    };
    std::vector<std::size_t> changed;
    for (const RowFlagCase& c : cases) {
        SCOPED_TRACE(c.line);
        // Bits beside the mask stay as they are.
        FillImage(Image(), 0x00);
        for (unsigned row = 1; row <= 24; ++row) {
            At(54, 12 * (row - 1) + 4) = 0x7F;
            At(54, 12 * (row - 1) + 5) = 0xFF;
        }
        EXPECT_EQ(StoreAndDiff(c.line, changed), c.result);
        if (c.result != kHandlerAccepted) {
            EXPECT_TRUE(changed.empty());
            continue;
        }
        for (unsigned row = 1; row <= 24; ++row) {
            const bool inside = row >= c.first && row <= c.last;
            EXPECT_EQ(At(54, 12 * (row - 1) + 4), inside && c.flag4 ? 0xFF : 0x7F) << row;
            EXPECT_EQ(At(54, 12 * (row - 1) + 5), !inside || c.flag5 ? 0xFF : 0x7F) << row;
        }
        for (std::size_t offset : changed) {
            EXPECT_GE(offset, OffsetOf(54, 0));
            EXPECT_LE(offset, OffsetOf(54, 12 * 23 + 5));
        }
    }
}

TEST_F(SlotTest, RowFlagsShowOneRowOnly) {
    ASSERT_EQ(Store("332=02,-1,0"), kHandlerAccepted);
    EXPECT_EQ(Show("332=02,-").text, "1,0");
    EXPECT_EQ(Show("332=01,-").text, "0,0");
    EXPECT_EQ(Show("332=02,03-").result, kHandlerRejected);
    EXPECT_EQ(Show("332=25,-").result, kHandlerRejected);
}

// --- Slot 3 ----------------------------------------------------------------------------------

struct PortCodeCase {
    const char* line;
    std::uint8_t result;
    Place target{};
    std::uint8_t code = 0;
    const char* shown = "";  // the key's show after the store
};

TEST_F(SlotTest, PortCodesOfPositions) {
    const std::vector<PortCodeCase> cases{
        {"001=1-101", kHandlerAccepted, Blk(3, 42), 1, "101"},
        {"001=2-112", kHandlerAccepted, Blk(3, 43), 36, "112"},
        {"001=2-105", kHandlerAccepted, Blk(3, 43), 9, "105"},
        {"001=1-000", kHandlerAccepted, Blk(3, 42), 0, "000"},
        {"316=1-106", kHandlerAccepted, Blk(139, 6), 10, "106"},
        {"316=2-109", kHandlerAccepted, Blk(139, 7), 33, "109"},
        {"9228=0-102", kHandlerAccepted, Blk(80, 51), 2, "102"},
        {"9228=3-111", kHandlerAccepted, Blk(80, 168), 35, "111"},
        {"001=0-101", kHandlerRejected},  // keys 1-2 for *001 and *316
        {"001=3-101", kHandlerRejected},
        {"316=0-101", kHandlerRejected},
        {"9228=4-101", kHandlerRejected},
        {"001=1-107", kHandlerRejected},  // 107 and 108 are no positions of this reader
        {"001=1-113", kHandlerRejected},
        {"001=1-201", kHandlerRejected},
    };
    std::vector<std::size_t> changed;
    for (const PortCodeCase& c : cases) {
        SCOPED_TRACE(c.line);
        FillImage(Image(), 0x77);
        EXPECT_EQ(StoreAndDiff(c.line, changed), c.result);
        if (c.result != kHandlerAccepted) {
            EXPECT_TRUE(changed.empty());
            continue;
        }
        EXPECT_EQ(changed, std::vector<std::size_t>{OffsetAt(c.target)});
        EXPECT_EQ(ByteAt(c.target), c.code);
        const std::string line = c.line;
        EXPECT_EQ(Show(line.substr(0, line.find('-') + 1)).text, c.shown);
    }
    EXPECT_EQ(Show("001=3-").result, kHandlerRejected);
    EXPECT_EQ(Show("9228=4-").result, kHandlerRejected);
}

// --- Slot 5 (*9319) --------------------------------------------------------------------------

struct HalfFieldCase {
    const char* line;
    std::uint8_t result;
    std::size_t byte = 0;  // of block 34
    unsigned shift = 0;
    std::uint8_t value = 0;
};

TEST_F(SlotTest, TwoBitFieldsOfBlock34) {
    const std::vector<HalfFieldCase> cases{
        {"9319=0,00,0-3", kHandlerAccepted, 0, 6, 3},
        {"9319=0,00,1-2", kHandlerAccepted, 0, 4, 2},
        {"9319=0,01,0-1", kHandlerAccepted, 0, 2, 1},
        {"9319=0,01,1-3", kHandlerAccepted, 0, 0, 3},
        {"9319=1,10,0-2", kHandlerAccepted, 17, 6, 2},
        {"9319=2,23,1-3", kHandlerAccepted, 35, 0, 3},
        {"9319=3,00,0-1", kHandlerRejected},
        {"9319=0,24,0-1", kHandlerRejected},
        {"9319=0,00,2-1", kHandlerRejected},
        {"9319=0,00,0-0", kHandlerRejected},
        {"9319=0,00,0-4", kHandlerRejected},
    };
    std::vector<std::size_t> changed;
    for (const HalfFieldCase& c : cases) {
        SCOPED_TRACE(c.line);
        FillImage(Image(), 0xFF);
        EXPECT_EQ(StoreAndDiff(c.line, changed), c.result);
        if (c.result != kHandlerAccepted) {
            EXPECT_TRUE(changed.empty());
            continue;
        }
        EXPECT_LE(changed.size(), 1u);
        const auto expected =
            static_cast<std::uint8_t>((0xFF & ~(3u << c.shift)) | c.value << c.shift);
        EXPECT_EQ(At(34, c.byte), expected);
        const std::string line = c.line;
        EXPECT_EQ(Show(line.substr(0, 12)).text, std::to_string(c.value));
    }
    EXPECT_EQ(Show("9319=0,24,0-").result, kHandlerRejected);
}

// --- Slot 7 ----------------------------------------------------------------------------------

TEST_F(SlotTest, PortTablesStoreAndClearEntries) {
    struct Case {
        const char* line;
        std::uint8_t result;
        std::size_t byte = 0;  // of block 6 (*9200, *9201) or block 85 (*9392)
        std::uint8_t code = 0;
    };
    const std::vector<Case> cases{
        {"9200=1,01-101", kHandlerAccepted, 8, 1},    {"9200=1,10-112", kHandlerAccepted, 17, 36},
        {"9200=5,03-137", kHandlerAccepted, 90, 65},  {"9201=5,01-148", kHandlerAccepted, 98, 100},
        {"9201=2,04-000", kHandlerAccepted, 41, 0},   {"9392=00,1-137", kHandlerAccepted, 2, 65},
        {"9392=03,4-148", kHandlerAccepted, 17, 100}, {"9392=01,2-000", kHandlerAccepted, 7, 0},
        {"9200=0,01-101", kHandlerRejected},          {"9200=6,01-101", kHandlerRejected},
        {"9200=1,11-101", kHandlerRejected},          {"9200=1,01-113", kHandlerRejected},
        {"9200=1,00-101", kHandlerRejected},  // entry 0 clears only with 000
        {"9392=04,1-137", kHandlerRejected},          {"9392=00,5-137", kHandlerRejected},
        {"9392=00,1-101", kHandlerRejected},  // the first bank is refused here
        {"9392=00,0-137", kHandlerRejected},
    };
    std::vector<std::size_t> changed;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        FillImage(Image(), 0xEE);
        EXPECT_EQ(StoreAndDiff(c.line, changed), c.result);
        if (c.result != kHandlerAccepted) {
            EXPECT_TRUE(changed.empty());
            continue;
        }
        const std::string line = c.line;
        const int block = line.starts_with("9392") ? 85 : 6;
        EXPECT_EQ(changed, std::vector<std::size_t>{OffsetOf(block, c.byte)});
        EXPECT_EQ(At(block, c.byte), c.code);
        // The show gives the position the code stands for, as the port-code display writes it.
        WriteLine("");
        AppendPortCode(Terminal(), c.code);
        const std::string position(Terminal().line.Text().substr(0, 3));
        EXPECT_EQ(Show(line.substr(0, 10)).text, position);
    }
}

TEST_F(SlotTest, PortTableRowClearsWithEntryZero) {
    FillImage(Image(), 0x11);
    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("9200=1,00-000", changed), kHandlerAccepted);
    EXPECT_EQ(changed.size(), 10u);
    for (std::size_t b = 8; b < 18; ++b) EXPECT_EQ(At(6, b), 0);
    EXPECT_EQ(At(6, 18), 0x11);  // the *9201 entries of the row stay

    EXPECT_EQ(StoreAndDiff("9392=02,0-000", changed), kHandlerAccepted);
    EXPECT_EQ(changed.size(), 4u);
    for (std::size_t b = 10; b < 14; ++b) EXPECT_EQ(At(85, b), 0);
    EXPECT_EQ(At(85, 14), 0x11);
}

TEST_F(SlotTest, PortTableCodeMovesToItsNewEntry) {
    // Code 65 (position 137) stands in rows 0 and 3, twice in row 3 (as loaded data may have it):
    // the first entry of each row that holds it is cleared before it is stored.
    At(85, 2) = 65;   // row 0 entry 1
    At(85, 15) = 65;  // row 3 entry 2
    At(85, 17) = 65;  // row 3 entry 4
    EXPECT_EQ(Store("9392=01,3-137"), kHandlerAccepted);
    EXPECT_EQ(At(85, 2), 0);
    EXPECT_EQ(At(85, 15), 0);
    EXPECT_EQ(At(85, 17), 65);
    EXPECT_EQ(At(85, 8), 65);  // row 1 entry 3
    EXPECT_EQ(Show("9392=01,3-").text, "137");
    EXPECT_EQ(Show("9392=01,0-").result, kHandlerRejected);
    EXPECT_EQ(Show("9200=1,00-").result, kHandlerRejected);
}

// --- Slot 12 (*360) --------------------------------------------------------------------------

TEST_F(SlotTest, TwoFlagsOfBlock40Byte0) {
    struct Case {
        const char* line;
        std::uint8_t result;
        std::uint8_t byte;  // block 40 byte 0 from 0x00
        const char* shown;
    };
    const std::vector<Case> cases{
        {"360=1,", kHandlerAccepted, 0x0C, "1,1"},  {"360=1,0", kHandlerAccepted, 0x08, "1,0"},
        {"360=0,1", kHandlerAccepted, 0x04, "0,1"}, {"360=0,", kHandlerAccepted, 0x00, "0,0"},
        {"360=2,", kHandlerRejected, 0x00, ""},     {"360=1,2", kHandlerRejected, 0x00, ""},
    };
    std::vector<std::size_t> changed;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        FillImage(Image(), 0x00);
        At(40, 0) = 0xA0;  // bits beside the two flags stay
        EXPECT_EQ(StoreAndDiff(c.line, changed), c.result);
        EXPECT_EQ(At(40, 0), 0xA0 | c.byte);
        if (c.result == kHandlerAccepted) {
            EXPECT_EQ(Show("360=").text, c.shown);
        }
    }
}

// --- Slots 2, 6 and 9 (no command of the table reaches them) ---------------------------------

class UnreachedSlotTest : public SlotTest {
  protected:
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x05, 0x11, 0x11, 0x11, 0x11, 0x11, 0, 0, 2, 0, 0, 0}),  // *000 slot 2
        Descriptor({0, 0x11, 0x11, 0x10, 0, 0, 0, 0, 1, 6, 0, 0, 0}),           // *001 slot 6
        Descriptor({0, 0x12, 0x11, 0x22, 0x22, 0, 0, 0, 1, 9, 1, 0, 0}),        // *002 slot 9
        Descriptor({0, 0x12, 0x11, 0x22, 0x22, 0, 0, 0, 1, 9, 2, 0, 0}),        // *003 slot 9
    });
    void SetUp() override { UseTable(table); }
};

TEST_F(UnreachedSlotTest, FourFlagsAndAValue) {
    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("000=1,0,1,0,5", changed), kHandlerAccepted);
    EXPECT_EQ(At(20, 30), 0xA5);
    EXPECT_EQ(At(147, 0), 1);
    EXPECT_EQ(changed.size(), 2u);
    EXPECT_EQ(Show("000=").text, "1,0,1,0,5");
    EXPECT_EQ(StoreAndDiff("000=1,0,1,0,7", changed), kHandlerRejected);
    EXPECT_EQ(StoreAndDiff("000=1,0,2,0,1", changed), kHandlerRejected);
    EXPECT_TRUE(changed.empty());
}

TEST_F(UnreachedSlotTest, SixteenDialDigitsLowNibbleFirst) {
    EXPECT_EQ(Store("001=2-1234567890123456"), kHandlerAccepted);
    EXPECT_EQ(At(45, 16), 0x21);
    EXPECT_EQ(At(45, 20), 0xA9);  // "9" low, "0" (10) high
    EXPECT_EQ(Show("001=2-").text, "1234567890123456");
    EXPECT_EQ(Store("001=1-123"), kHandlerAccepted);
    EXPECT_EQ(Show("001=1-").text, "123");
    EXPECT_EQ(Store("001=1-00"), kHandlerAccepted);
    for (std::size_t b = 8; b < 16; ++b) EXPECT_EQ(At(45, b), 0);
    EXPECT_EQ(Show("001=1-").text, "");
    EXPECT_EQ(At(45, 16), 0x21);
    EXPECT_EQ(Store("001=3-1"), kHandlerRejected);
    EXPECT_EQ(Show("001=3-").result, kHandlerRejected);
}

TEST_F(UnreachedSlotTest, TwoValuesPerKeyBySubType) {
    EXPECT_EQ(Store("002=3-12,34"), kHandlerAccepted);
    EXPECT_EQ(At(44, 3), 12);
    EXPECT_EQ(At(44, 7), 34);
    EXPECT_EQ(Store("003=3-56,78"), kHandlerAccepted);
    EXPECT_EQ(At(44, 11), 56);
    EXPECT_EQ(At(44, 15), 78);
    EXPECT_EQ(Show("002=3-").text, "12,34");
    EXPECT_EQ(Show("003=3-").text, "56,78");
    EXPECT_EQ(Store("002=4-12,34"), kHandlerRejected);
    EXPECT_EQ(Show("003=4-").result, kHandlerRejected);
}

}  // namespace
}  // namespace qzs::testing
