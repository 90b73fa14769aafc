// A second, independent transcription of the fixed tables behind the data image, the key layouts
// and the terminal records, held against what the library answers through its public API.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "programming/data_image.h"
#include "programming/key_layout.h"
#include "programming/state.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

// ---------------------------------------------------------------------------------------------
// Block directory

constexpr std::array<std::size_t, 180> kExpectedBlockSizes{
    4,    6144, 160,  48,    8,     4,   108,   16,   32,    40,      // 0-9
    120,  60,   256,  512,   12,    56,  200,   1024, 16,    1024,    // 10-19
    36,   8,    4,    8,     124,   4,   128,   1536, 240,   240,     // 20-29
    64,   192,  768,  576,   72,    16,  120,   144,  384,   408,     // 30-39
    56,   320,  4,    4,     16,    24,  24,    4,    4,     20,      // 40-49
    4,    192,  1536, 128,   288,   24,  8,     1280, 4,     128,     // 50-59
    48,   20,   24,   185,   16,    4,   4,     120,  256,   3072,    // 60-69
    96,   4,    120,  2,     1,     1,   192,   4,    12,    4,       // 70-79
    438,  32,   32,   14848, 96,    48,  128,   196,  32,    64,      // 80-89
    64,   4,    4,    160,   80,    96,  96,    48,   8,     4,       // 90-99
    12,   1,    1,    1,     1,     1,   4,     4,    4,     4,       // 100-109
    4,    4,    4,    4,     4,     4,   640,   6,    1,     2048,    // 110-119
    2048, 96,   160,  64,    96,    16,  4,     512,  32,    28,      // 120-129
    96,   64,   4,    280,   17920, 512, 128,   64,   32,    8,       // 130-139
    512,  8,    2000, 96,    12,    240, 68,    4,    71,    4096,    // 140-149
    672,  240,  4,    2560,  2816,  400, 1188,  4096, 4,     4,       // 150-159
    1,    3,    8008, 40,    520,   20,  20,    1280, 16384, 133480,  // 160-169
    320,  2002, 2,    8192,  16,    560, 20480, 16,   27,    27,      // 170-179
};

// Runs of blocks listed over one array: first and last block of each run.
struct SharedRun {
    int first;
    int last;
};
constexpr std::array<SharedRun, 4> kSharedRuns{{{106, 115}, {119, 120}, {158, 159}, {178, 179}}};

// The block whose storage block b uses: the first of its shared run, or b itself.
int StorageOwner(int b) {
    for (const SharedRun& run : kSharedRuns) {
        if (b >= run.first && b <= run.last) return run.first;
    }
    return b;
}

int ExpectedArea(int b) {
    if (b <= 118) return 0;
    if (b <= 157) return 1;
    if (b <= 177) return 2;
    return 3;
}

TEST(BlockDirectoryCheck, SizesAndTotals) {
    std::size_t listed = 0;
    std::size_t distinct = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        SCOPED_TRACE("block " + std::to_string(b));
        EXPECT_EQ(BlockSize(b), kExpectedBlockSizes[static_cast<std::size_t>(b)]);
        listed += kExpectedBlockSizes[static_cast<std::size_t>(b)];
        if (StorageOwner(b) == b) distinct += kExpectedBlockSizes[static_cast<std::size_t>(b)];
    }
    EXPECT_EQ(listed, 275052u);
    EXPECT_EQ(distinct, 272937u);
    EXPECT_EQ(kDirectoryBytes, listed);
    EXPECT_EQ(kImageStorageBytes, distinct);
    EXPECT_EQ(BlockSize(-1), 0u);
    EXPECT_EQ(BlockSize(180), 0u);
}

TEST(BlockDirectoryCheck, AreasAndTheirIndexes) {
    std::array<int, 4> next_index{};
    for (int b = 0; b < kBlockCount; ++b) {
        SCOPED_TRACE("block " + std::to_string(b));
        const int area = ExpectedArea(b);
        EXPECT_EQ(BlockArea(b), area);
        const int index = next_index[static_cast<std::size_t>(area)]++;
        EXPECT_EQ(AreaBlock(area, index), b);
    }
    const std::array<int, 4> expected_counts{119, 39, 20, 2};
    for (int area = 0; area < 4; ++area) {
        SCOPED_TRACE("area " + std::to_string(area));
        EXPECT_EQ(next_index[static_cast<std::size_t>(area)],
                  expected_counts[static_cast<std::size_t>(area)]);
        EXPECT_EQ(AreaBlock(area, expected_counts[static_cast<std::size_t>(area)]), -1);
        EXPECT_EQ(AreaBlock(area, -1), -1);
    }
    EXPECT_EQ(BlockArea(-1), -1);
    EXPECT_EQ(BlockArea(180), -1);
    EXPECT_EQ(AreaBlock(4, 0), -1);
    EXPECT_EQ(AreaBlock(-1, 0), -1);
}

// Blocks of one shared run answer the same bytes; all other pairs of blocks lie apart.
TEST(BlockDirectoryCheck, SharedAndSeparateStorage) {
    auto image = std::make_unique<DataImage>();
    for (int b = 0; b < kBlockCount; ++b) {
        const auto span = image->Block(b);
        ASSERT_EQ(span.size(), kExpectedBlockSizes[static_cast<std::size_t>(b)]) << "block " << b;
        EXPECT_EQ(image->BlockByte(b, 0), span.data()) << "block " << b;
        EXPECT_EQ(image->BlockByte(b, span.size() - 1), span.data() + span.size() - 1)
            << "block " << b;
        EXPECT_EQ(image->BlockByte(b, span.size()), nullptr) << "block " << b;
    }
    for (int a = 0; a < kBlockCount; ++a) {
        for (int b = a + 1; b < kBlockCount; ++b) {
            const auto sa = image->Block(a);
            const auto sb = image->Block(b);
            if (StorageOwner(a) == StorageOwner(b)) {
                EXPECT_EQ(sa.data(), sb.data()) << "blocks " << a << " and " << b;
            } else {
                const bool apart =
                    sa.data() + sa.size() <= sb.data() || sb.data() + sb.size() <= sa.data();
                EXPECT_TRUE(apart) << "blocks " << a << " and " << b << " overlap";
            }
        }
    }
    // The two pointer areas outside the blocks lie outside every block.
    for (int b = 0; b < kBlockCount; ++b) {
        const auto span = image->Block(b);
        for (const std::uint8_t* p :
             {image->first_pointer_area.data(), image->second_pointer_area.data()}) {
            EXPECT_FALSE(p >= span.data() && p < span.data() + span.size()) << "block " << b;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Data byte pointer table

enum class Place { kBlock, kFirstArea, kSecondArea };
struct PointerTarget {
    Place place;
    int block;  // for kBlock
    std::size_t byte;
};

std::vector<PointerTarget> ExpectedPointerTargets() {
    std::vector<PointerTarget> t;
    // 0-26: block 3, byte 0, then bytes 2-27.
    t.push_back({Place::kBlock, 3, 0});
    for (std::size_t byte = 2; byte <= 27; ++byte) t.push_back({Place::kBlock, 3, byte});
    // 27-31.
    for (std::size_t byte : {32u, 33u, 44u, 45u, 46u}) t.push_back({Place::kBlock, 3, byte});
    // 32-39.
    for (std::size_t byte : {0u, 1u, 4u, 5u, 8u, 10u, 35u, 11u}) {
        t.push_back({Place::kBlock, 40, byte});
    }
    // 40-57.
    for (std::size_t byte :
         {0u, 1u, 2u, 3u, 4u, 5u, 9u, 11u, 14u, 15u, 16u, 17u, 18u, 19u, 20u, 21u, 22u, 8u}) {
        t.push_back({Place::kBlock, 55, byte});
    }
    // 58-62.
    for (std::size_t byte : {0u, 1u, 2u, 8u, 11u}) t.push_back({Place::kBlock, 63, byte});
    // 63-79: the first area, in order.
    for (std::size_t byte = 0; byte < 17; ++byte) t.push_back({Place::kFirstArea, -1, byte});
    // 80-85: the second area.
    for (std::size_t byte : {2u, 0u, 1u, 14u, 15u, 13u}) {
        t.push_back({Place::kSecondArea, -1, byte});
    }
    return t;
}

TEST(DataBytePointerCheck, EveryEntryAddressesItsByte) {
    auto image = std::make_unique<DataImage>();
    const std::vector<PointerTarget> targets = ExpectedPointerTargets();
    ASSERT_EQ(targets.size(), 86u);
    ASSERT_EQ(kDataBytePointerCount, 86u);
    ASSERT_EQ(image->first_pointer_area.size(), 17u);
    ASSERT_EQ(image->second_pointer_area.size(), 16u);
    const DataImage& constant = *image;
    for (unsigned e = 0; e < targets.size(); ++e) {
        SCOPED_TRACE("entry " + std::to_string(e));
        const PointerTarget& target = targets[e];
        const std::uint8_t* expected = nullptr;
        switch (target.place) {
            case Place::kBlock:
                expected = image->BlockByte(target.block, target.byte);
                break;
            case Place::kFirstArea:
                expected = &image->first_pointer_area[target.byte];
                break;
            case Place::kSecondArea:
                expected = &image->second_pointer_area[target.byte];
                break;
        }
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(DataBytePointer(*image, e), expected);
        EXPECT_EQ(DataBytePointer(constant, e), expected);
    }
    EXPECT_EQ(DataBytePointer(*image, 86), nullptr);
    EXPECT_EQ(DataBytePointer(constant, 0xFFFFFFFFu), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Key table, key-sheet digits and the default key layouts

struct KeyRow {
    unsigned key;
    std::uint8_t key_class;
    std::uint8_t key_code;
};
constexpr std::array<KeyRow, 32> kExpectedKeys{{
    {1, 20, 128},  {2, 21, 129},  {3, 22, 130},  {4, 23, 131},  {5, 24, 132},  {6, 25, 133},
    {7, 26, 134},  {8, 27, 135},  {9, 28, 136},  {10, 29, 137}, {11, 30, 138}, {12, 31, 139},
    {13, 36, 140}, {14, 37, 141}, {15, 38, 142}, {16, 39, 143}, {17, 44, 144}, {18, 45, 145},
    {19, 46, 146}, {20, 47, 147}, {21, 52, 148}, {22, 53, 149}, {23, 54, 150}, {24, 55, 151},
    {25, 16, 154}, {26, 17, 155}, {27, 18, 156}, {28, 12, 152}, {29, 13, 157}, {30, 14, 159},
    {31, 15, 153}, {32, 19, 158},
}};

TEST(KeyTableCheck, ClassAndKeyCodeOfEveryKey) {
    for (const KeyRow& row : kExpectedKeys) {
        SCOPED_TRACE("key " + std::to_string(row.key));
        const KeyProperties p = KeyPropertiesOf(row.key);
        EXPECT_EQ(p.key_class, row.key_class);
        EXPECT_EQ(p.key_code, row.key_code);
    }
    for (unsigned key : {0u, 33u, 255u}) {
        const KeyProperties p = KeyPropertiesOf(key);
        EXPECT_EQ(p.key_class, 0) << "key " << key;
        EXPECT_EQ(p.key_code, 0) << "key " << key;
    }
}

// A re-assignment clears the fixed feature of the key's class: class 12 feature 78, class 13
// feature 80, class 15 feature 79. The key is given an entry of another kind so that no old
// function code clears a feature of its own.
TEST(KeyTableCheck, ClassDecidesTheFixedFeatureCleared) {
    for (const KeyRow& row : kExpectedKeys) {
        SCOPED_TRACE("key " + std::to_string(row.key));
        auto state = std::make_unique<ProgrammingState>();
        std::uint8_t* entry = KeyEntry(state->image, 1, row.key);
        ASSERT_NE(entry, nullptr);
        entry[0] = 0x0A;
        entry[1] = 0x00;
        for (unsigned f = 1; f <= 156; ++f) *FeatureEntry(state->image, 1, f) = 0x55;

        ASSERT_TRUE(ClearKeyCode(*state, 1, row.key));

        unsigned cleared = 0;
        if (row.key_class == 12) cleared = 78;
        if (row.key_class == 13) cleared = 80;
        if (row.key_class == 15) cleared = 79;
        for (unsigned f = 1; f <= 156; ++f) {
            EXPECT_EQ(*FeatureEntry(state->image, 1, f), f == cleared ? 0 : 0x55)
                << "feature " << f;
        }
        EXPECT_EQ(entry[0], 0x0C);
        EXPECT_EQ(entry[1], 0x00);
    }
}

struct DigitRow {
    std::uint8_t code;
    char character;
};
constexpr std::array<DigitRow, 24> kExpectedDigits{{
    {0, ' '},  {1, '1'},  {2, '2'},  {3, '3'},  {4, '4'},  {5, '5'},  {6, '6'},  {7, '7'},
    {8, '8'},  {9, '9'},  {10, '0'}, {11, '*'}, {12, '#'}, {13, 'P'}, {14, '-'}, {15, 'M'},
    {16, 'G'}, {13, 'P'}, {14, '-'}, {15, 'M'}, {17, 'H'}, {18, 'I'}, {19, 'J'}, {0, '\0'},
}};

TEST(KeySheetDigitCheck, TableRowsAndLookups) {
    ASSERT_EQ(kKeySheetDigitTable.size(), kExpectedDigits.size());
    for (std::size_t i = 0; i < kExpectedDigits.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(kKeySheetDigitTable[i].code, kExpectedDigits[i].code);
        EXPECT_EQ(kKeySheetDigitTable[i].character, kExpectedDigits[i].character);
    }
    // Codes 0-19 each have a first row; 20 and above fall back to a blank.
    for (unsigned code = 0; code < 24; ++code) {
        SCOPED_TRACE("code " + std::to_string(code));
        char expected = ' ';
        for (const DigitRow& row : kExpectedDigits) {
            if (row.code == code) {
                expected = row.character;
                break;
            }
        }
        EXPECT_EQ(KeyCodeToDigit(code), expected);
    }
    for (int c = 0; c < 256; ++c) {
        const char character = static_cast<char>(c);
        SCOPED_TRACE("character " + std::to_string(c));
        std::uint8_t expected = 0;
        for (const DigitRow& row : kExpectedDigits) {
            if (row.character == character) {
                expected = row.code;
                break;
            }
        }
        EXPECT_EQ(KeyDigitToCode(character), expected);
        EXPECT_EQ(KeyDigitToHighNibble(character),
                  static_cast<std::uint8_t>((expected & 0x0F) << 4));
    }
}

constexpr std::uint8_t kFill = 0xEE;

// The default layout of one telephone row, laid over a row that held kFill.
std::array<std::uint8_t, 256> ExpectedDefaultRow() {
    std::array<std::uint8_t, 256> row{};
    row.fill(kFill);
    for (unsigned k = 1; k <= 32; ++k) {
        row[2 * (k - 1)] = 0x0C;
        row[2 * (k - 1) + 1] = k <= 8 ? static_cast<std::uint8_t>(k) : 0;  // 1-8 in BCD is k
    }
    row[2 * 30] = 0x9C;
    row[2 * 30 + 1] = 0x80;
    for (unsigned f = 1; f <= 80; ++f)
        row[63 + f] = f <= 8 ? static_cast<std::uint8_t>(127 + f) : 0;
    row[63 + 151] = 0x98;
    row[63 + 152] = 0x99;
    row[63 + 147] = 0x9A;
    row[63 + 131] = 0x9B;
    row[63 + 153] = 0x9D;
    return row;
}

TEST(DefaultKeyLayoutCheck, EveryTelephoneRowAndItsEntryOfBlock119) {
    auto image = std::make_unique<DataImage>();
    auto layouts = image->Block(176);
    auto block119 = image->Block(119);
    std::fill(layouts.begin(), layouts.end(), kFill);
    std::fill(block119.begin(), block119.end(), kFill);

    LoadDefaultKeyLayouts(*image);

    const auto expected = ExpectedDefaultRow();
    for (unsigned t = 1; t <= 80; ++t) {
        SCOPED_TRACE("telephone " + std::to_string(t));
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint8_t want = t <= 64 ? expected[i] : kFill;
            ASSERT_EQ(layouts[256 * (t - 1) + i], want) << "byte " << i;
        }
    }
    for (unsigned t = 1; t <= 128; ++t) {
        SCOPED_TRACE("entry of telephone " + std::to_string(t));
        for (std::size_t i = 0; i < 16; ++i) {
            std::uint8_t want = kFill;
            if (t <= 64 && i == 13) want = 22;
            if (t <= 64 && i == 14) want = 28;
            ASSERT_EQ(block119[16 * (t - 1) + i], want) << "byte " << i;
        }
    }
}

struct ModelRow {
    std::uint8_t model;
    unsigned base_key;
};
constexpr std::array<ModelRow, 8> kModelBaseKeys{{
    {1, 5},
    {2, 9},
    {3, 13},
    {4, 17},
    {5, 21},
    {0, 21},
    {7, 21},
    {255, 21},
}};

TEST(DefaultKeyLayoutCheck, ModelTypeChoosesTheFourKeys) {
    constexpr std::array<std::uint8_t, 4> kCodes{0x35, 0x37, 0x38, 0x39};
    constexpr std::array<unsigned, 4> kFeatures{85, 87, 88, 89};
    for (const ModelRow& row : kModelBaseKeys) {
        SCOPED_TRACE("model " + std::to_string(row.model));
        auto image = std::make_unique<DataImage>();
        LoadDefaultKeyLayouts(*image);
        *image->BlockByte(105, 0) = row.model;
        ApplyModelKeyDefaults(*image);
        for (unsigned t = 1; t <= 64; ++t) {
            const bool skipped = t >= 17 && t <= 20;
            for (unsigned i = 0; i < 4; ++i) {
                const unsigned key = row.base_key + i;
                const std::uint8_t* entry = KeyEntry(*image, t, key);
                const std::uint8_t* feature = FeatureEntry(*image, t, kFeatures[i]);
                ASSERT_NE(entry, nullptr);
                ASSERT_NE(feature, nullptr);
                if (skipped) {
                    EXPECT_EQ(entry[0], 0x0C) << "telephone " << t << " key " << key;
                    EXPECT_EQ(*feature, 0) << "telephone " << t << " feature " << kFeatures[i];
                } else {
                    EXPECT_EQ(entry[0], 0x9C) << "telephone " << t << " key " << key;
                    EXPECT_EQ(entry[1], kCodes[i]) << "telephone " << t << " key " << key;
                    EXPECT_EQ(*feature, 127 + key)
                        << "telephone " << t << " feature " << kFeatures[i];
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Terminal record layout

struct FieldOffset {
    const char* name;
    std::size_t offset;
    std::size_t expected;
};

TEST(TerminalRecordLayoutCheck, ByteOffsetsOfTheNamedFields) {
    TerminalRecord record;
    const auto* base = reinterpret_cast<const char*>(&record);
    const std::array<FieldOffset, 12> fields{{
        {"attributes", offsetof(TerminalRecord, attributes), 0},
        {"state code", offsetof(TerminalRecord, state), 28},
        {"show flag", offsetof(TerminalRecord, show_flag), 29},
        {"window start", offsetof(TerminalRecord, window_start), 30},
        {"cursor", offsetof(TerminalRecord, line), 31},
        {"line", static_cast<std::size_t>(record.line.CStr() - base), 32},
        {"line end", static_cast<std::size_t>(record.line.CStr() + DisplayLine::kWidth - base), 59},
        {"data start", offsetof(TerminalRecord, data_start), 60},
        {"re-entry marker", offsetof(TerminalRecord, reentry_marker), 61},
        {"field digits", offsetof(TerminalRecord, field_digits), 62},
        {"field number", offsetof(TerminalRecord, field_number), 63},
        {"continuation flag", offsetof(TerminalRecord, continuation_flag), 64},
    }};
    for (const FieldOffset& field : fields) {
        EXPECT_EQ(field.offset, field.expected) << field.name;
    }
    EXPECT_EQ(sizeof(record.attributes), 28u);
    EXPECT_EQ(DisplayLine::kWidth, 27u);

    // The cursor byte is the one the line reports, and the line's characters are the bytes that
    // follow it.
    record.line.SetCursor(5);
    EXPECT_EQ(static_cast<std::uint8_t>(base[31]), 5);
    record.line.Put(0, 'A');
    record.line.Put(26, 'Z');
    EXPECT_EQ(base[32], 'A');
    EXPECT_EQ(base[58], 'Z');
    EXPECT_EQ(base[59], '\0');
}

}  // namespace
}  // namespace qzs
