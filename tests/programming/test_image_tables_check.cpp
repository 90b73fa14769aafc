// The fixed tables behind the data image, the key layouts and the terminal records, checked
// through the library's public API by what they must satisfy (totals, rules, runs, uniqueness)
// and by the rows that stand out, rather than by a second copy of each table.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "programming/data_image.h"
#include "programming/key_layout.h"
#include "programming/state.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

// ---------------------------------------------------------------------------------------------
// Block directory: the totals, the areas, the shared runs and the blocks whose size follows from
// what they hold, with a few sizes that stand out; not the size list again.

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

TEST(BlockDirectoryCheck, TotalsAndOutOfRangeBlocks) {
    std::size_t listed = 0;
    std::size_t distinct = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        SCOPED_TRACE("block " + std::to_string(b));
        EXPECT_GT(BlockSize(b), 0u);
        listed += BlockSize(b);
        if (StorageOwner(b) == b) distinct += BlockSize(b);
    }
    EXPECT_EQ(kBlockCount, 180);
    EXPECT_EQ(listed, 275052u);
    EXPECT_EQ(distinct, 272937u);
    EXPECT_EQ(kDirectoryBytes, listed);
    EXPECT_EQ(kImageStorageBytes, distinct);
    EXPECT_EQ(BlockSize(-1), 0u);
    EXPECT_EQ(BlockSize(180), 0u);
}

TEST(BlockDirectoryCheck, SizesThatFollowFromTheContent) {
    struct Row {
        int block;
        std::size_t size;
        const char* why;
    };
    const Row rows[] = {
        {.block = 0, .size = 4, .why = "the signature 00 5A A5 FF"},
        {.block = 158, .size = 4, .why = "its second copy"},
        {.block = 159, .size = 4, .why = "listed twice"},
        {.block = 3, .size = 48, .why = "system options up to the memory-view terminals at 42-43"},
        {.block = 55, .size = 24, .why = "option bytes reached by pointers 40-57, up to byte 22"},
        {.block = 105, .size = 1, .why = "the model type byte"},
        {.block = 160, .size = 1, .why = "the speed-dial rows mode"},
        {.block = 168, .size = 16384, .why = "the button assignment table"},
        {.block = 169, .size = 1880 * 71, .why = "600 system rows and 20 per telephone, 71 bytes"},
        {.block = 171, .size = 2002, .why = "the number index"},
        {.block = 176, .size = 80 * 256, .why = "one 256-byte key row per telephone"},
        {.block = 178, .size = 27, .why = "one card type per slot 0-26"},
        {.block = 179, .size = 27, .why = "the same table listed again"},
        // Sizes that are no multiple of anything near them: a shifted row would show here.
        {.block = 1, .size = 128 * 48, .why = "128 records of 48 bytes"},
        {.block = 63, .size = 185, .why = "an odd size"},
        {.block = 80, .size = 438, .why = "an odd size"},
        {.block = 83, .size = 14848, .why = "the second largest of area 0"},
        {.block = 134, .size = 17920, .why = "the largest of area 1"},
        {.block = 148, .size = 71, .why = "one speed-dial row's size"},
        {.block = 161, .size = 3, .why = "three bytes"},
        {.block = 162, .size = 8008, .why = "an odd size"},
        {.block = 172, .size = 2, .why = "two bytes"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(BlockSize(row.block), row.size) << "block " << row.block << ": " << row.why;
    }
    // Every block of the run 106-115 is the one 4-byte array.
    for (int b = 106; b <= 115; ++b) EXPECT_EQ(BlockSize(b), 4u) << "block " << b;
    EXPECT_EQ(BlockSize(119), 2048u);
    EXPECT_EQ(BlockSize(120), 2048u);
}

TEST(BlockDirectoryCheck, AreasAndTheirIndexes) {
    struct Area {
        int first;
        int last;
    };
    const std::array<Area, 4> areas{{{0, 118}, {119, 157}, {158, 177}, {178, 179}}};
    for (int area = 0; area < 4; ++area) {
        SCOPED_TRACE("area " + std::to_string(area));
        const Area& a = areas[static_cast<std::size_t>(area)];
        for (int b = a.first; b <= a.last; ++b) {
            EXPECT_EQ(BlockArea(b), area) << "block " << b;
            EXPECT_EQ(AreaBlock(area, b - a.first), b) << "block " << b;
        }
        EXPECT_EQ(AreaBlock(area, a.last - a.first + 1), -1);
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
        ASSERT_EQ(span.size(), BlockSize(b)) << "block " << b;
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
// Data byte pointer table: the rule of the first run, the ends and turns of the others, and no
// two entries on one byte.

enum class Place { kBlock, kFirstArea, kSecondArea };

const std::uint8_t* Target(DataImage& image, Place place, int block, std::size_t byte) {
    switch (place) {
        case Place::kBlock:
            return image.BlockByte(block, byte);
        case Place::kFirstArea:
            return &image.first_pointer_area.at(byte);
        case Place::kSecondArea:
            return &image.second_pointer_area.at(byte);
    }
    return nullptr;
}

TEST(DataBytePointerCheck, EntriesAddressTheirBytes) {
    auto image = std::make_unique<DataImage>();
    ASSERT_EQ(kDataBytePointerCount, 86u);
    ASSERT_EQ(image->first_pointer_area.size(), 17u);
    ASSERT_EQ(image->second_pointer_area.size(), 16u);
    // Entries 1-26 are block 3, byte n + 1: byte 1 is the one no entry reaches.
    EXPECT_EQ(DataBytePointer(*image, 0), image->BlockByte(3, 0));
    for (unsigned n = 1; n <= 26; ++n) {
        EXPECT_EQ(DataBytePointer(*image, n), image->BlockByte(3, n + 1)) << "entry " << n;
    }
    // The first area in order, entry 63 + k its byte k.
    for (unsigned k = 0; k < 17; ++k) {
        EXPECT_EQ(DataBytePointer(*image, 63 + k), &image->first_pointer_area[k])
            << "entry " << 63 + k;
    }
    struct Row {
        unsigned entry;
        Place place;
        int block;
        std::size_t byte;
    };
    const Row rows[] = {
        {.entry = 27, .place = Place::kBlock, .block = 3, .byte = 32},
        {.entry = 28, .place = Place::kBlock, .block = 3, .byte = 33},
        {.entry = 29, .place = Place::kBlock, .block = 3, .byte = 44},
        {.entry = 31, .place = Place::kBlock, .block = 3, .byte = 46},
        {.entry = 32, .place = Place::kBlock, .block = 40, .byte = 0},
        {.entry = 37, .place = Place::kBlock, .block = 40, .byte = 10},
        {.entry = 38, .place = Place::kBlock, .block = 40, .byte = 35},  // out of order
        {.entry = 39, .place = Place::kBlock, .block = 40, .byte = 11},
        {.entry = 40, .place = Place::kBlock, .block = 55, .byte = 0},
        {.entry = 45, .place = Place::kBlock, .block = 55, .byte = 5},
        {.entry = 46, .place = Place::kBlock, .block = 55, .byte = 9},  // 6-8 skipped
        {.entry = 47, .place = Place::kBlock, .block = 55, .byte = 11},
        {.entry = 56, .place = Place::kBlock, .block = 55, .byte = 22},
        {.entry = 57, .place = Place::kBlock, .block = 55, .byte = 8},  // byte 8 comes last
        {.entry = 58, .place = Place::kBlock, .block = 63, .byte = 0},
        {.entry = 61, .place = Place::kBlock, .block = 63, .byte = 8},
        {.entry = 62, .place = Place::kBlock, .block = 63, .byte = 11},
        {.entry = 80, .place = Place::kSecondArea, .block = -1, .byte = 2},
        {.entry = 81, .place = Place::kSecondArea, .block = -1, .byte = 0},
        {.entry = 82, .place = Place::kSecondArea, .block = -1, .byte = 1},
        {.entry = 83, .place = Place::kSecondArea, .block = -1, .byte = 14},
        {.entry = 85, .place = Place::kSecondArea, .block = -1, .byte = 13},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DataBytePointer(*image, row.entry), Target(*image, row.place, row.block, row.byte))
            << "entry " << row.entry;
    }
    // Every entry is a byte of its own, and the constant image answers the same.
    const DataImage& constant = *image;
    std::set<const std::uint8_t*> seen;
    for (unsigned e = 0; e < 86; ++e) {
        ASSERT_NE(DataBytePointer(*image, e), nullptr) << "entry " << e;
        EXPECT_TRUE(seen.insert(DataBytePointer(*image, e)).second) << "entry " << e;
        EXPECT_EQ(DataBytePointer(constant, e), DataBytePointer(*image, e)) << "entry " << e;
    }
    EXPECT_EQ(DataBytePointer(*image, 86), nullptr);
    EXPECT_EQ(DataBytePointer(constant, 0xFFFFFFFFu), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Key table, key-sheet digits and the default key layouts

// The key table by its rules: keys 1-24 in their class runs, key code 127 + k; keys 25-32 as the
// rows that break the pattern.
struct KeyRow {
    unsigned key;
    std::uint8_t key_class;
    std::uint8_t key_code;
};

std::vector<KeyRow> ExpectedKeys() {
    std::vector<KeyRow> keys;
    const auto add = [&](unsigned k, unsigned key_class) {
        keys.push_back({k, static_cast<std::uint8_t>(key_class), static_cast<std::uint8_t>(127 + k)});
    };
    for (unsigned k = 1; k <= 12; ++k) add(k, 19 + k);  // classes 20-31
    // Keys 13-24 in runs of four, each run eight classes after the last: 36-39, 44-47, 52-55.
    for (unsigned k = 13; k <= 24; ++k) add(k, 36 + 8 * ((k - 13) / 4) + (k - 13) % 4);
    keys.push_back({25, 16, 154});
    keys.push_back({26, 17, 155});
    keys.push_back({27, 18, 156});
    keys.push_back({28, 12, 152});
    keys.push_back({29, 13, 157});
    keys.push_back({30, 14, 159});
    keys.push_back({31, 15, 153});
    keys.push_back({32, 19, 158});
    return keys;
}

TEST(KeyTableCheck, ClassAndKeyCodeOfEveryKey) {
    std::set<unsigned> codes;
    for (const KeyRow& row : ExpectedKeys()) {
        SCOPED_TRACE("key " + std::to_string(row.key));
        const KeyProperties p = KeyPropertiesOf(row.key);
        EXPECT_EQ(p.key_class, row.key_class);
        EXPECT_EQ(p.key_code, row.key_code);
        codes.insert(p.key_code);
    }
    // The 32 key codes are 128-159, each once: the feature map can name every key.
    EXPECT_EQ(codes.size(), 32u);
    EXPECT_EQ(*codes.begin(), 128u);
    EXPECT_EQ(*codes.rbegin(), 159u);
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
    for (const KeyRow& row : ExpectedKeys()) {
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

// The key-sheet digits by the characters they stand for: the digits 1-9 and 0 as codes 1-10, the
// signs and letters as 11-19, a blank for code 0; the table is searched from its first row, so
// the repeated rows of P, - and M never decide anything.
TEST(KeySheetDigitCheck, CodesAndCharactersBothWays) {
    struct Row {
        std::uint8_t code;
        char character;
    };
    const Row rows[] = {
        {.code = 1, .character = '1'},  {.code = 5, .character = '5'},
        {.code = 9, .character = '9'},  {.code = 10, .character = '0'},
        {.code = 11, .character = '*'}, {.code = 12, .character = '#'},
        {.code = 13, .character = 'P'}, {.code = 14, .character = '-'},
        {.code = 15, .character = 'M'}, {.code = 16, .character = 'G'},
        {.code = 17, .character = 'H'}, {.code = 18, .character = 'I'},
        {.code = 19, .character = 'J'},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("character ") + row.character);
        EXPECT_EQ(KeyCodeToDigit(row.code), row.character);
        EXPECT_EQ(KeyDigitToCode(row.character), row.code);
        EXPECT_EQ(KeyDigitToHighNibble(row.character),
                  static_cast<std::uint8_t>((row.code & 0x0F) << 4));
    }
    EXPECT_EQ(kKeySheetDigitTable.size(), 24u);
    // Codes 0 and 20 and above show a blank; a blank and every character without a row are 0.
    for (unsigned code : {0u, 20u, 23u, 255u}) EXPECT_EQ(KeyCodeToDigit(code), ' ') << code;
    unsigned with_code = 0;
    for (int c = 0; c < 256; ++c) {
        const std::uint8_t code = KeyDigitToCode(static_cast<char>(c));
        if (code != 0) {
            ++with_code;
            EXPECT_EQ(KeyCodeToDigit(code), static_cast<char>(c)) << "character " << c;
        }
    }
    EXPECT_EQ(with_code, 19u);  // codes 1-19, one character each
    EXPECT_EQ(KeyDigitToCode(' '), 0);
    EXPECT_EQ(KeyDigitToCode('\0'), 0);
    EXPECT_EQ(KeyDigitToCode('A'), 0);
    EXPECT_EQ(KeyDigitToHighNibble('J'), 0x30);  // 19: only the low nibble moves up
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
