#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "programming/data_image.h"
#include "programming/factory_defaults.h"
#include "programming/name_chains.h"
#include "programming/work_areas.h"
#include "test_handlers_fixture.h"

namespace qzs {
namespace {

using testing::ChangedBytes;
using testing::FillImage;

class FactoryDefaultsTest : public ::testing::Test {
  protected:
    std::unique_ptr<DataImage> owned = std::make_unique<DataImage>();
    DataImage& image = *owned;
    ModifiedFlags flags;

    std::uint8_t& At(int block, std::size_t offset) { return *image.BlockByte(block, offset); }
};

TEST_F(FactoryDefaultsTest, EveryBuiltInRowLandsInsideItsPlace) {
    EXPECT_TRUE(ApplyFactoryValues(image, BuiltInFactoryValues()));
}

TEST_F(FactoryDefaultsTest, LoadWritesTheListedValues) {
    LoadFactoryDefaults(image);
    struct Case {
        int block;
        std::size_t offset;
        std::uint8_t value;
    };
    const Case cases[] = {
        {3, 0, 0x10},
        {3, 1, 0x00},
        {3, 25, 0x08},
        {3, 42, 0x01},
        {3, 46, 0x02},
        {3, 28, 0xAA},
        {3, 31, 0xAA},
        {3, 27, 0x00},
        {3, 47, 0x00},
        {5, 2, 0x80},
        {13, 73, 0x62},
        {16, 86, 0x66},
        {17, 280, 0x21},
        {17, 281, 0x00},
        {20, 8, 0x32},
        {20, 9, 0x00},
        {20, 32, 0x45},  // a 16-bit word, low byte first
        {34, 9, 0x5A},
        {34, 11, 0xAF},
        {34, 22, 0xAA},
        {34, 45, 0x5A},
        {34, 71, 0xAF},
        {57, 12, 0xE0},
        {57, 13, 0x01},
        {57, 32, 0xE0},
        {57, 33, 0x01},
        {57, 62, 0xAA},
        {122, 138, 0x12},
        {128, 18, 0x03},
        {148, 3, 0x0A},
        // Per-record patterns: byte 0 of every port record, the rows of block 6, block 8.
        {1, 0, 0xE4},
        {1, 48 * 127, 0xE4},
        {1, 1, 0x00},
        {1, 47, 0x00},
        {6, 0, 0x20},
        {6, 8, 1},
        {6, 11, 4},
        {6, 12, 0},
        {6, 18, 1},
        {6, 21, 4},
        {6, 88, 1},
        {6, 101, 4},
        {6, 102, 0},
        {8, 0, 0x41},
        {8, 8, 0x40},
        {8, 24, 0x40},
        {8, 1, 0x00},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(At(c.block, c.offset), c.value) << "block " << c.block << " byte " << c.offset;
    }
}

TEST_F(FactoryDefaultsTest, BlocksWithoutFactoryValuesStayZero) {
    FillImage(image, 0);
    LoadFactoryDefaults(image);
    const std::set<int> with_values{1,  3,  5,  6,  8,  9,  13,  14,  15,  16,  17,
                                    18, 20, 30, 34, 39, 40, 55,  57,  58,  61,  63,
                                    78, 80, 87, 89, 90, 99, 122, 128, 132, 139, 148};
    for (int b = 0; b < kBlockCount; ++b) {
        if (with_values.contains(b)) continue;
        const auto block = image.Block(b);
        EXPECT_TRUE(std::ranges::all_of(block, [](std::uint8_t v) { return v == 0; })) << b;
    }
}

TEST_F(FactoryDefaultsTest, SettingsOutsideTheBlocks) {
    LoadFactoryDefaults(image);
    EXPECT_EQ(image.Setting(SettingByte::k9307), 0x11);
    EXPECT_EQ(image.Setting(SettingByte::k318), 0x03);
    EXPECT_EQ(image.Setting(SettingByte::k706), 0x51);
    EXPECT_EQ(image.Setting(SettingByte::k187), 0x22);
    EXPECT_EQ(image.Setting(SettingByte::k189), 0x01);
    EXPECT_EQ(image.Setting(SettingByte::k9272), 0x13);
    EXPECT_EQ(image.service_code_value, 0u);
    EXPECT_EQ(image.copy_080, (std::array<std::uint8_t, 7>{1, 1, 1, 1, 1, 1, 1}));
    const std::array<std::uint8_t, 17> first{0x24, 0x02, 0, 0, 0x1C, 0x09, 0, 0x02, 0x01,
                                             0x03, 0,    0, 0, 0,    0,    0, 0x01};
    EXPECT_EQ(image.first_pointer_area, first);
    const std::array<std::uint8_t, 16> second{0,    0, 0x80, 0xAA, 0x10, 0xAA, 0x41, 0xAA,
                                              0x61, 0, 0,    0,    0,    0,    0x46, 0};
    EXPECT_EQ(image.second_pointer_area, second);
    // Addresses first octet first, port numbers low byte first.
    const auto& ip = image.ip_settings;
    EXPECT_EQ(ip.address_settings[0], (IpAddress{192, 168, 1, 100}));
    EXPECT_EQ(ip.address_settings[1], (IpAddress{255, 255, 255, 0}));
    EXPECT_EQ(ip.address_settings[2], (IpAddress{192, 168, 1, 2}));
    EXPECT_EQ(ip.slot_address_table[0], (IpAddress{192, 168, 1, 113}));
    EXPECT_EQ(ip.port_address_table[32][6] | ip.port_address_table[32][7] << 8, 50109);
    EXPECT_EQ(ip.port_address_table[35][6] | ip.port_address_table[35][7] << 8, 50112);
    EXPECT_EQ(ip.pair_address_table[1][4] | ip.pair_address_table[1][5] << 8, 60002);
    EXPECT_EQ(ip.port_9409[0] | ip.port_9409[1] << 8, 8070);
    EXPECT_EQ(ip.ports_9432[3][0] | ip.ports_9432[3][1] << 8, 55040);
    EXPECT_EQ(ip.address_9437, (IpAddress{192, 168, 1, 2}));
    EXPECT_EQ(image.defaults_marker, kDefaultsMarker);
}

TEST_F(FactoryDefaultsTest, AReplacementTableWritesOnlyItsRowsAndSkipsARowThatDoesNotFit) {
    const FactoryValue rows[] = {
        {FactoryPlace::kBlock, 4, 6, 2, 0xBEEF},
        {FactoryPlace::kBlock, 5, 3, 2, 0x1234},  // bytes 3-4 of a 4-byte block
        {FactoryPlace::kBlock, 200, 0, 1, 0x55},  // no such block
        {FactoryPlace::kSettingByte, static_cast<std::uint16_t>(SettingByte::kCount), 0, 1, 1},
        {FactoryPlace::kCopy080, 0, 0, 1, 0x07, 7, 1},
        {FactoryPlace::kCopy080, 0, 0, 1, 0x09, 8, 1},  // one byte past the copy
    };
    FillImage(image, 0);
    const auto before = *owned;
    EXPECT_FALSE(ApplyFactoryValues(image, rows));
    EXPECT_EQ(At(4, 6), 0xEF);
    EXPECT_EQ(At(4, 7), 0xBE);
    EXPECT_EQ(image.copy_080, (std::array<std::uint8_t, 7>{7, 7, 7, 7, 7, 7, 7}));
    EXPECT_EQ(ChangedBytes(before, image).size(), 9u);  // two bytes of block 4, the seven copies
}

TEST_F(FactoryDefaultsTest, MarkerIsWrittenWhenEmptyOrForced) {
    WriteDefaultsMarker(image, false);
    EXPECT_EQ(image.defaults_marker, kDefaultsMarker);
    image.defaults_marker = {1, 2, 3, 4, 5};
    WriteDefaultsMarker(image, false);
    EXPECT_EQ(image.defaults_marker, (std::array<std::uint8_t, 5>{1, 2, 3, 4, 5}));
    WriteDefaultsMarker(image, true);
    EXPECT_EQ(image.defaults_marker, kDefaultsMarker);
}

TEST_F(FactoryDefaultsTest, CompletionFillsEmptyFieldsAndKeepsTheOthers) {
    FillImage(image, 0);
    At(82, 6) = 0x25;       // already holds a value: kept
    At(85, 12 + 1) = 0x10;  // bits 0-2 empty: gets 2 added
    At(85, 12 + 8) = 0x20;  // low nibble empty: gets 1 added
    At(85, 12 + 6) = 30;
    At(7, 3) = 5;
    image.table_699[2][8] = 0x03;  // record 2, group 0, entry 2: low nibble set, kept
    image.table_699[0][0] = 0x00;  // record 0 is not completed
    image.completion_bytes = {0, 0x08, 0x01, 0, 0x70};
    CompleteDefaults(image);

    struct Case {
        int block;
        std::size_t offset;
        std::uint8_t value;
    };
    const Case cases[] = {
        {82, 2, 0x10},  {82, 6, 0x25},  {82, 30, 0x10}, {82, 3, 0x00},  {85, 1, 0x02},
        {85, 8, 0x01},  {85, 6, 90},    {85, 13, 0x12}, {85, 20, 0x21}, {85, 18, 30},
        {85, 37, 0x02}, {85, 44, 0x01}, {85, 42, 90},   {7, 2, 16},     {7, 3, 5},
        {7, 14, 16},    {7, 15, 16},    {7, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(At(c.block, c.offset), c.value) << "block " << c.block << " byte " << c.offset;
    }
    EXPECT_EQ(image.table_699[0][0], 0x00);
    EXPECT_EQ(image.table_699[2][8], 0x03);
    EXPECT_EQ(image.table_699[2][9], 0x00);
    for (std::size_t a = 1; a < kTable699Records; ++a) {
        EXPECT_EQ(image.table_699[a][0], 0x07) << a;  // group 0, entry 1
        EXPECT_EQ(image.table_699[a][1], 0x01) << a;
        EXPECT_EQ(image.table_699[a][kTable699RecordBytes - 8], 0x07) << a;  // group 6, entry 4
    }
    EXPECT_EQ(image.completion_bytes, (std::array<std::uint8_t, 5>{1, 0x4C, 0x01, 0x02, 0x71}));
}

TEST_F(FactoryDefaultsTest, CompletingTwiceChangesNothingTheSecondTime) {
    LoadFactoryDefaults(image);
    CompleteDefaults(image);
    const auto once = *owned;
    CompleteDefaults(image);
    EXPECT_TRUE(ChangedBytes(once, image).empty());
}

TEST_F(FactoryDefaultsTest, ClearWorkAreasKeepsTheTwoBytesBetweenTheRuns) {
    FillImage(image, 0x5C);
    ClearWorkAreas(image);
    const auto b164 = image.Block(164);
    for (std::size_t i = 0; i < b164.size(); ++i) {
        const bool kept = i == 258 || i == 259 || i == 518 || i == 519;
        EXPECT_EQ(b164[i], kept ? 0x5C : 0x00) << i;
    }
    EXPECT_TRUE(std::ranges::all_of(image.Block(165), [](std::uint8_t v) { return v == 0; }));
    EXPECT_TRUE(std::ranges::all_of(image.Block(166), [](std::uint8_t v) { return v == 0; }));
    EXPECT_EQ(image.Block(163).back(), 0x5C);
    EXPECT_EQ(image.Block(167).front(), 0x5C);
}

// --- Removal of a unit code ---

// One number of each kind placed in each table; the cases say which of them a removal clears.
enum Place : unsigned {
    kB15Twelve,    // block 15 byte 3 = "12"
    kB15Thirteen,  // block 15 byte 5 = "13"
    kB15Twenty,    // block 15 byte 7 = "20"
    kUnitBytes,    // unit code byte 10 = "12"
    kB16Code,      // block 16 byte 20 = "12"
    kB16Pair,      // block 16 pair 0 = "1234"
    kPort5,        // block 17 entry 4 = "1234"
    kPort6,        // block 17 entry 5 = "12"
    kPort7,        // block 17 entry 6 = "13"
    kSpecial131,   // special port record 130 = "1234"
    kPlaceCount
};

struct Fixture {
    int block;  // -1 for the unit code bytes, -2 for the special port records
    std::size_t offset;
    std::array<std::uint8_t, 2> number;
    bool two_bytes;
};

constexpr std::array<Fixture, kPlaceCount> kFixtures{{
    {15, 3, {0x12, 0}, false},
    {15, 5, {0x13, 0}, false},
    {15, 7, {0x20, 0}, false},
    {-1, 10, {0x12, 0}, false},
    {16, 20, {0x12, 0}, false},
    {16, 104, {0x12, 0x34}, true},
    {17, 32, {0x12, 0x34}, true},
    {17, 40, {0x12, 0x00}, true},
    {17, 48, {0x13, 0x00}, true},
    {-2, 130, {0x12, 0x34}, true},
}};

class RemoveUnitReferencesTest : public FactoryDefaultsTest {
  protected:
    std::uint8_t* PlaceBytes(const Fixture& f) {
        if (f.block == -1) return &image.unit_code_bytes[f.offset];
        if (f.block == -2) return image.port_code_tables.records[f.offset].data();
        return image.BlockByte(f.block, f.offset);
    }
    void PlaceNumbers() {
        for (const Fixture& f : kFixtures) {
            std::uint8_t* p = PlaceBytes(f);
            p[0] = f.number[0];
            if (f.two_bytes) p[1] = f.number[1];
        }
        for (unsigned c = 1; c <= 128; ++c) RelinkSecondChain(image, c);
    }
    bool Cleared(const Fixture& f) {
        const std::uint8_t* p = PlaceBytes(f);
        return p[0] == 0 && (!f.two_bytes || p[1] == 0);
    }
    // The number chain in order from its head.
    std::vector<unsigned> NumberChain() {
        std::vector<unsigned> order;
        unsigned c = image.code_number_chain[kCodeNumberHeadByte];
        for (int i = 0; i < 128 && c != 0; ++i) {
            order.push_back(c);
            c = image.code_number_chain[2 * c + 1];
            if (c == order.front()) break;
        }
        return order;
    }
};

TEST_F(RemoveUnitReferencesTest, ModeAndSelectorChooseWhatIsCleared) {
    struct Case {
        std::uint8_t code, second, mode, selector;
        std::set<unsigned> cleared;
        std::array<std::uint8_t, 7> marked;  // ModifiedFlags after the removal
        const char* why;
    };
    constexpr std::uint8_t S = ModifiedFlags::kSet;
    const Case cases[] = {
        {0x10,
         0,
         1,
         1,
         {kB15Twelve, kB15Thirteen, kUnitBytes},
         {},
         "one digit: every code of block 15 and the unit bytes that begins with it"},
        {0x10,
         0,
         1,
         2,
         {kUnitBytes, kB16Code, kB16Pair, kPort5, kPort6, kPort7, kSpecial131},
         {0, S, 0, S, 0, 0, 0},
         "one digit, the second tables: ports 5-7 and code 131 marked"},
        {0x10,
         0,
         1,
         3,
         {kB15Twelve, kB15Thirteen, kUnitBytes, kB16Code, kB16Pair, kPort5, kPort6, kPort7,
          kSpecial131},
         {0, S, 0, S, 0, 0, 0},
         "one digit, all tables"},
        {0x12,
         0,
         2,
         3,
         {kB15Twelve, kUnitBytes, kB16Code, kB16Pair, kPort5, kPort6, kSpecial131},
         {0, S, 0, S, 0, 0, 0},
         "two digits: equal codes and numbers that begin with them"},
        {0x12, 0, 2, 1, {kB15Twelve, kUnitBytes}, {}, "two digits, block 15 and the unit bytes"},
        {0x12,
         0x34,
         4,
         3,
         {kB15Twelve, kUnitBytes, kB16Code, kB16Pair, kPort5, kSpecial131},
         {0, S, 0, S, 0, 0, 0},
         "four digits: two-byte numbers must match in both bytes"},
        {0x12, 0x30, 3, 2, {kUnitBytes, kB16Code}, {}, "three digits that no number holds"},
        {0x12,
         0x00,
         3,
         2,
         {kUnitBytes, kB16Code, kPort6},
         {0, S, 0, 0, 0, 0, 0},
         "three digits whose second byte is empty: port 6 only"},
        {0x12, 0, 0, 3, {}, {}, "mode 0 is no mode"},
        {0x12, 0, 5, 3, {}, {}, "mode 5 is no mode"},
        {0x12, 0, 2, 0, {}, {}, "selector 0 names no table"},
        {0x12, 0, 2, 4, {}, {}, "selector 4 names no table"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        FillImage(image, 0);
        flags = {};
        PlaceNumbers();
        RemoveUnitReferences(image, flags, c.code, c.second, c.mode, c.selector);
        for (unsigned p = 0; p < kPlaceCount; ++p) {
            EXPECT_EQ(Cleared(kFixtures[p]), c.cleared.contains(p)) << "place " << p;
        }
        EXPECT_EQ(flags.bytes, c.marked);
        EXPECT_TRUE(CodeNumberChainWellFormed(image));
    }
}

TEST_F(RemoveUnitReferencesTest, ACodeWhoseNumberIsClearedMovesToTheEmptyNumbers) {
    FillImage(image, 0);
    PlaceNumbers();
    // Ports 5-7 hold numbers and so stand last in the chain, after every empty number.
    auto before = NumberChain();
    ASSERT_EQ(before.size(), 128u);
    EXPECT_EQ(std::vector<unsigned>(before.end() - 3, before.end()),
              (std::vector<unsigned>{6, 5, 7}));
    RemoveUnitReferences(image, flags, 0x12, 0x34, 4, 2);
    auto after = NumberChain();
    ASSERT_EQ(after.size(), 128u);
    EXPECT_EQ(std::vector<unsigned>(after.end() - 2, after.end()), (std::vector<unsigned>{6, 7}));
    EXPECT_TRUE(CodeNumberChainWellFormed(image));
}

TEST_F(RemoveUnitReferencesTest, ClearingTheTablesEmptiesEveryPlaceAndNothingElse) {
    FillImage(image, 0x11);
    const auto before = *owned;
    ClearUnitReferenceTables(image);
    for (const Fixture& f : kFixtures) EXPECT_TRUE(Cleared(f)) << f.block << " " << f.offset;
    EXPECT_EQ(At(15, 54), 0);
    EXPECT_EQ(At(15, 55), 0x11);
    EXPECT_EQ(At(16, 199), 0);
    EXPECT_EQ(At(17, 8 * 127 + 1), 0);
    EXPECT_EQ(At(17, 8 * 127 + 2), 0x11);
    EXPECT_EQ(image.port_code_tables.records[127][0], 0x11);
    EXPECT_EQ(image.port_code_tables.records[143][1], 0);
    EXPECT_EQ(image.port_code_tables.records[143][2], 0x11);
    EXPECT_TRUE(std::ranges::all_of(image.unit_code_bytes, [](std::uint8_t v) { return v == 0; }));
    EXPECT_TRUE(CodeNumberChainWellFormed(image));
    // Nothing beyond the tables and the number chain.
    const std::size_t cleared = 55 + 200 + 2 * 128 + 2 * 16 + 100;
    const std::size_t changed = ChangedBytes(before, image).size();
    EXPECT_GE(changed, cleared);
    EXPECT_LE(changed, cleared + kCodeNumberChainBytes);
}

}  // namespace
}  // namespace qzs
