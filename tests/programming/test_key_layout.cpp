#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "programming/function_codes.h"
#include "programming/key_layout.h"
#include "programming/state.h"

namespace qzs {
namespace {

using Row = std::array<std::uint8_t, kKeyLayoutRowBytes>;

// Every byte of the block starts at this value, so a golden row shows which bytes a routine
// leaves alone.
constexpr std::uint8_t kFill = 0xEE;

class KeyLayoutTest : public testing::Test {
  protected:
    KeyLayoutTest() : state_(std::make_unique<ProgrammingState>()) {
        std::fill(Block().begin(), Block().end(), kFill);
    }

    DataImage& Image() { return state_->image; }
    std::span<std::uint8_t> Block() { return Image().Block(kKeyLayoutBlock); }

    Row RowOf(unsigned telephone) {
        Row row{};
        std::copy_n(Block().begin() + kKeyLayoutRowBytes * (telephone - 1), row.size(),
                    row.begin());
        return row;
    }
    void SetKey(unsigned t, unsigned k, std::uint8_t first, std::uint8_t second) {
        std::uint8_t* entry = KeyEntry(Image(), t, k);
        entry[0] = first;
        entry[1] = second;
    }
    std::array<std::uint8_t, 2> Key(unsigned t, unsigned k) {
        const std::uint8_t* entry = KeyEntry(Image(), t, k);
        return {entry[0], entry[1]};
    }
    std::uint8_t& Feature(unsigned t, unsigned f) { return *FeatureEntry(Image(), t, f); }
    void SetTemplate(std::uint8_t telephone) { *Image().BlockByte(3, 42) = telephone; }

    std::unique_ptr<ProgrammingState> state_;
};

std::string Hex(const Row& row, std::size_t from, std::size_t count) {
    std::string out;
    char buf[4];
    for (std::size_t i = from; i < from + count; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", row[i]);
        out += buf;
    }
    return out;
}

// The default row of a telephone, 16 bytes a line. Keys 1-8 carry codes 1-8 and key 31 code
// 980; features 1-8 point at keys 1-8 and features 9-80 are cleared; features 131, 147, 151,
// 152 and 153 point at keys 26, 25, 28, 31 and 29; everything else is left as it was.
constexpr const char* kDefaultRow[16] = {
    "0C010C020C030C040C050C060C070C08",  // keys 1-8
    "0C000C000C000C000C000C000C000C00",  // keys 9-16
    "0C000C000C000C000C000C000C000C00",  // keys 17-24
    "0C000C000C000C000C000C009C800C00",  // keys 25-32
    "80818283848586870000000000000000",  // features 1-16
    "00000000000000000000000000000000",  // 17-32
    "00000000000000000000000000000000",  // 33-48
    "00000000000000000000000000000000",  // 49-64
    "00000000000000000000000000000000",  // 65-80
    "EEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEE",  // 81-96
    "EEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEE",  // 97-112
    "EEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEE",  // 113-128
    "EEEE9BEEEEEEEEEEEEEEEEEEEEEEEEEE",  // 129-144
    "EEEE9AEEEEEE98999DEEEEEEEEEEEEEE",  // 145-156, then bytes past the map
    "EEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEE", "EEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEE",
};

TEST_F(KeyLayoutTest, DefaultLayoutGolden) {
    std::span<std::uint8_t> lamps = Image().Block(119);
    std::fill(lamps.begin(), lamps.end(), kFill);
    LoadDefaultKeyLayouts(Image());

    for (unsigned t = 1; t <= 64; ++t) {
        const Row row = RowOf(t);
        for (std::size_t line = 0; line < 16; ++line) {
            ASSERT_EQ(Hex(row, 16 * line, 16), kDefaultRow[line])
                << "telephone " << t << " bytes " << 16 * line;
        }
        for (std::size_t i = 0; i < 16; ++i) {
            const std::uint8_t want = i == 13 ? 22 : i == 14 ? 28 : kFill;
            EXPECT_EQ(lamps[16 * (t - 1) + i], want) << "telephone " << t << " byte " << i;
        }
    }
    // Rows past telephone 64 and the block-119 entries past 64 stay as they were.
    EXPECT_TRUE(std::all_of(Block().begin() + 64 * kKeyLayoutRowBytes, Block().end(),
                            [](std::uint8_t b) { return b == kFill; }));
    EXPECT_TRUE(std::all_of(lamps.begin() + 64 * 16, lamps.end(),
                            [](std::uint8_t b) { return b == kFill; }));
    // The same through the accessors: key 31 holds 980, key 9 no function.
    EXPECT_EQ(EntryFunctionCode(Key(7, 31)[0], Key(7, 31)[1]), 980u);
    EXPECT_EQ(Key(7, 9), (std::array<std::uint8_t, 2>{0x0C, 0x00}));
}

TEST(KeyTable, ClassesAndKeyCodes) {
    struct Case {
        unsigned key;
        std::uint8_t key_class;
        std::uint8_t key_code;
    };
    const Case cases[] = {
        {1, 20, 128},  {9, 28, 136},  {10, 29, 137}, {12, 31, 139}, {13, 36, 140},
        {16, 39, 143}, {17, 44, 144}, {20, 47, 147}, {21, 52, 148}, {24, 55, 151},
        {25, 16, 154}, {26, 17, 155}, {27, 18, 156}, {28, 12, 152}, {29, 13, 157},
        {30, 14, 159}, {31, 15, 153}, {32, 19, 158}, {0, 0, 0},     {33, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeyPropertiesOf(c.key).key_class, c.key_class) << c.key;
        EXPECT_EQ(KeyPropertiesOf(c.key).key_code, c.key_code) << c.key;
    }
    for (unsigned k = 1; k <= 24; ++k) EXPECT_EQ(KeyPropertiesOf(k).key_code, 127 + k);
}

TEST(KeyCodes, EntryAndBcdDecoding) {
    struct EntryCase {
        std::uint8_t first, second;
        unsigned code;
    };
    const EntryCase entries[] = {
        {0x0C, 0x00, 0},
        {0x0C, 0x08, 8},
        {0x0C, 0x69, 69},
        {0x8C, 0x01, 801},
        {0x9C, 0x99, 999},
        {0x9C, 0x80, 980},
        {0x1C, 0x73, 0},  // not a function-code entry
        {0x0A, 0x12, 0},
        {0x5C, 0x00, 0},
        {0x8C, 0xFF, 0},  // not two decimal digits: from a
                          // file, names no code
        {0x9C, 0xA0, 0},
        {0x0C, 0x7F, 0},
    };
    for (const EntryCase& c : entries) {
        EXPECT_EQ(EntryFunctionCode(c.first, c.second), c.code) << int(c.first) << int(c.second);
    }
    struct BcdCase {
        std::uint16_t bcd;
        unsigned code;
    };
    const BcdCase words[] = {
        {0x0000, 0}, {0x0005, 5}, {0x0980, 980}, {0x0999, 999}, {0x1000, 0},
        {0x9999, 0}, {0x1005, 0}, {0x00A5, 0},   {0x08FF, 0},   {0x0A00, 0},
    };
    for (const BcdCase& c : words) EXPECT_EQ(BcdFunctionCode(c.bcd), c.code) << c.bcd;
}

// One assignment on telephone 5 after the default load (family B: its attributes are zero).
// Everything outside the named key and features must stay as it was, in every row.
TEST_F(KeyLayoutTest, SetKeyAssignmentCases) {
    struct FeatureValue {
        unsigned feature;
        std::uint8_t value;
    };
    struct Case {
        const char* why;
        unsigned key;
        std::array<std::uint8_t, 2> before;  // {0, 0}: keep the default entry
        std::vector<FeatureValue> preset;
        std::uint16_t bcd;
        std::array<std::uint8_t, 2> after;
        std::vector<FeatureValue> changed;
    };
    // clang-format off
    const Case cases[] = {
        // key, entry before ({0, 0}: the default), features set before, code word,
        // entry after, features changed
        {"code 0 leaves a kind-10 key",
         3, {0x0A, 0x12}, {}, 0x0000, {0x0A, 0x12}, {}},
        {"code 0 leaves a kind-11 key",
         3, {0x1B, 0x05}, {}, 0x0000, {0x1B, 0x05}, {}},
        {"code 0 leaves a kind-13 key",
         3, {0x0D, 0x81}, {}, 0x0000, {0x0D, 0x81}, {}},
        {"a code of 1000 or more counts as 0 there too",
         3, {0x0A, 0x12}, {}, 0x1005, {0x0A, 0x12}, {}},
        {"a real code replaces a kind-10 key",
         3, {0x0A, 0x12}, {}, 0x0007, {0x0C, 0x07}, {{7, 130}}},
        {"code 0 frees a function key and its feature",
         3, {}, {}, 0x0000, {0x0C, 0x00}, {{3, 0}}},
        {"a 900s code moves in, its feature points at the key",
         10, {}, {}, 0x0980, {0x9C, 0x80}, {{131, 137}}},
        {"an 800s code",
         12, {}, {}, 0x0851, {0x8C, 0x51}, {{51, 139}}},
        {"code 899 has feature 49",
         13, {}, {}, 0x0899, {0x8C, 0x99}, {{49, 140}}},
        {"1000 or more is stored as no function",
         2, {}, {}, 0x1005, {0x0C, 0x00}, {{2, 0}}},
        {"a digit above 9 is no code either",
         2, {}, {}, 0x00A5, {0x0C, 0x00}, {{2, 0}}},
        {"a code without a feature replaces the old one",
         4, {}, {}, 0x0075, {0x0C, 0x75}, {{4, 0}}},
        {"hundreds 1-7 are written as given",
         4, {}, {}, 0x0500, {0x5C, 0x00}, {{4, 0}}},
        {"class 12 (key 28) frees feature 78",
         28, {}, {{78, 0x55}}, 0x0005, {0x0C, 0x05}, {{78, 0}, {5, 152}}},
        {"class 13 (key 29) frees feature 80",
         29, {}, {{80, 0x55}}, 0x0000, {0x0C, 0x00}, {{80, 0}}},
        {"class 15 (key 31) frees feature 79 and the feature of 980",
         31, {}, {{79, 0x55}}, 0x0000, {0x0C, 0x00}, {{79, 0}, {131, 0}}},
        {"class 14 (key 30) frees no fixed feature",
         30, {}, {{78, 0x55}, {79, 0x55}, {80, 0x55}}, 0x0000, {0x0C, 0x00}, {}},
        {"an entry of another kind frees no feature",
         6, {0x1C, 0x05}, {{5, 0x55}}, 0x0008, {0x0C, 0x08}, {{8, 133}}},
        {"a damaged old code frees no feature",
         6, {0x8C, 0xFF}, {{116, 0x55}}, 0x0000, {0x0C, 0x00}, {}},
        {"a code without function in family B keeps its feature",
         7, {}, {}, 0x0936, {0x9C, 0x36}, {{7, 0}, {86, 134}}},
        {"key 32 takes a code",
         32, {}, {}, 0x0999, {0x9C, 0x99}, {{150, 158}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::fill(Block().begin(), Block().end(), kFill);
        LoadDefaultKeyLayouts(Image());
        if (c.before != std::array<std::uint8_t, 2>{0, 0})
            SetKey(5, c.key, c.before[0], c.before[1]);
        for (const FeatureValue& p : c.preset) Feature(5, p.feature) = p.value;
        const std::vector<std::uint8_t> block_before(Block().begin(), Block().end());

        ASSERT_TRUE(SetKeyAssignment(*state_, 5, c.key, c.bcd));

        std::vector<std::uint8_t> expected = block_before;
        const std::size_t row = 4 * kKeyLayoutRowBytes;
        expected[row + 2 * (c.key - 1)] = c.after[0];
        expected[row + 2 * (c.key - 1) + 1] = c.after[1];
        for (const FeatureValue& f : c.changed) expected[row + 63 + f.feature] = f.value;
        const std::vector<std::uint8_t> block_after(Block().begin(), Block().end());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(block_after[i], expected[i])
                << "telephone " << i / 256 + 1 << " byte " << i % 256;
        }
    }
}

TEST_F(KeyLayoutTest, SetKeyAssignmentRefusesTelephonesAndKeysOutOfRange) {
    LoadDefaultKeyLayouts(Image());
    const std::vector<std::uint8_t> before(Block().begin(), Block().end());
    const std::pair<unsigned, unsigned> places[] = {{0, 1}, {65, 1}, {128, 1}, {255, 5},
                                                    {1, 0}, {1, 33}, {64, 255}};
    for (auto [t, k] : places) {
        EXPECT_FALSE(SetKeyAssignment(*state_, t, k, 0x0005)) << t << "/" << k;
        EXPECT_FALSE(ClearKeyCode(*state_, t, k));
        EXPECT_FALSE(WriteKeyCode(*state_, t, k, 0x0005));
    }
    EXPECT_TRUE(std::equal(before.begin(), before.end(), Block().begin()));
    // Telephones 17-20 are only skipped by the copies, not by an assignment.
    EXPECT_TRUE(SetKeyAssignment(*state_, 18, 1, 0x0980));
    EXPECT_EQ(Key(18, 1), (std::array<std::uint8_t, 2>{0x9C, 0x80}));
}

// The family follows the telephone's terminal; a code that has a function in one family only
// carries the same feature in both, so the feature map comes out the same.
TEST_F(KeyLayoutTest, AssignmentLooksCodesUpInTheTelephonesFamily) {
    LoadDefaultKeyLayouts(Image());
    state_->terminals[8].attributes[1] = 0;
    state_->terminals[8].attributes[2] = 16;  // telephone 9 uses family A
    ASSERT_EQ(FunctionCodeFamilyOf(state_->terminals[8]), FunctionCodeFamily::kA);
    for (unsigned t : {9u, 10u}) {
        ASSERT_TRUE(SetKeyAssignment(*state_, t, 2, 0x0936));  // family B only
        ASSERT_TRUE(SetKeyAssignment(*state_, t, 3, 0x0952));  // family A only
        EXPECT_EQ(Feature(t, 86), 129) << t;
        EXPECT_EQ(Feature(t, 102), 130) << t;
        ASSERT_TRUE(SetKeyAssignment(*state_, t, 2, 0x0000));
        EXPECT_EQ(Feature(t, 86), 0) << t;
    }
}

// A template row with distinct keys 1-24 and features pointing at keys of every group.
void PrepareTemplate(DataImage& image, unsigned s) {
    for (unsigned k = 1; k <= 24; ++k) {
        std::uint8_t* e = KeyEntry(image, s, k);
        e[0] = 0x9C;
        e[1] = static_cast<std::uint8_t>(0x40 + (k / 10) * 16 + k % 10);  // 940-963
    }
    std::uint8_t* key25 = KeyEntry(image, s, 25);
    key25[0] = 0x9C;
    key25[1] = 0x99;  // 999
    std::uint8_t* key26 = KeyEntry(image, s, 26);
    key26[0] = 0x0C;
    key26[1] = 0x00;
    std::uint8_t* key27 = KeyEntry(image, s, 27);
    key27[0] = 0x8C;
    key27[1] = 0x51;                    // 851
    *FeatureEntry(image, s, 90) = 141;  // key 14
    *FeatureEntry(image, s, 91) = 0;
    *FeatureEntry(image, s, 92) = 154;  // key 25
    *FeatureEntry(image, s, 93) = 152;  // key 28: neither group
    *FeatureEntry(image, s, 94) = 151;  // key 24
    *FeatureEntry(image, s, 95) = 0;
}

TEST_F(KeyLayoutTest, CopyKeyLayoutToAll) {
    LoadDefaultKeyLayouts(Image());
    PrepareTemplate(Image(), 3);
    // Telephone 7: key 25 repeats a template code, key 26 repeats one as another entry kind,
    // key 27 holds a code of its own; features of both groups to be dropped or kept.
    SetKey(7, 25, 0x9C, 0x45);  // 945, template key 5
    SetKey(7, 26, 0x0A, 0x45);  // kind 10: no code
    SetKey(7, 27, 0x9C, 0x80);  // 980, not among the template's keys 1-24
    Feature(7, 91) = 130;       // template has 0: dropped
    Feature(7, 92) = 130;       // template points at key 25: not copied, dropped
    Feature(7, 95) = 155;       // a special key: kept
    Feature(7, 93) = 0;
    SetTemplate(3);
    const Row template_row = RowOf(3);
    const std::vector<Row> before = [&] {
        std::vector<Row> rows;
        for (unsigned t = 1; t <= 80; ++t) rows.push_back(RowOf(t));
        return rows;
    }();

    CopyKeyLayoutToAll(Image());

    for (unsigned t = 1; t <= 80; ++t) {
        SCOPED_TRACE(t);
        const Row row = RowOf(t);
        if (t > 64 || (t >= 17 && t <= 20)) {
            EXPECT_EQ(row, before[t - 1]);
            continue;
        }
        EXPECT_TRUE(std::equal(row.begin(), row.begin() + 48, template_row.begin()));
        EXPECT_EQ(Feature(t, 90), 141);
        EXPECT_EQ(Feature(t, 94), 151);
        // The template has 0 there: a key of keys 1-24 is dropped, anything else kept.
        EXPECT_EQ(Feature(t, 91), t == 3 || t == 7 ? 0 : kFill);
        // Keys 28-32 and bytes past the feature map are not part of the copy.
        EXPECT_TRUE(std::equal(row.begin() + 54, row.begin() + 64, before[t - 1].begin() + 54));
        EXPECT_TRUE(std::equal(row.begin() + 220, row.end(), before[t - 1].begin() + 220));
    }
    EXPECT_EQ(Key(7, 25), (std::array<std::uint8_t, 2>{0x0C, 0x00}));
    EXPECT_EQ(Key(7, 26), (std::array<std::uint8_t, 2>{0x0A, 0x45}));
    EXPECT_EQ(Key(7, 27), (std::array<std::uint8_t, 2>{0x9C, 0x80}));
    EXPECT_EQ(Feature(7, 92), 0);
    EXPECT_EQ(Feature(7, 95), 155);
    EXPECT_EQ(Feature(7, 93), 0);
    EXPECT_EQ(Feature(1, 92), kFill);  // not a key of keys 1-24: left alone
    EXPECT_EQ(Feature(2, 147), 0x9A);  // a special key's feature is not this copy's business
    // The template keeps its own keys 25-27 (none repeats one of its keys 1-24).
    EXPECT_EQ(Key(3, 25), (std::array<std::uint8_t, 2>{0x9C, 0x99}));
}

TEST_F(KeyLayoutTest, CopySpecialKeysToAll) {
    LoadDefaultKeyLayouts(Image());
    PrepareTemplate(Image(), 40);
    SetKey(8, 4, 0x9C, 0x99);  // repeats the template's key 25 (999): freed
    SetKey(8, 5, 0x8C, 0x51);  // repeats key 27 (851): freed
    SetKey(8, 6, 0x0D, 0x99);  // another kind: kept
    SetKey(8, 7, 0x0C, 0x00);  // no function, as key 26: kept
    Feature(8, 95) = 156;      // template 0: dropped
    Feature(8, 96) = 140;      // an ordinary key: kept
    SetTemplate(40);
    const Row row19 = RowOf(19);

    CopySpecialKeysToAll(Image());

    for (unsigned t : {1u, 8u, 16u, 21u, 40u, 64u}) {
        SCOPED_TRACE(t);
        for (unsigned k = 25; k <= 27; ++k) EXPECT_EQ(Key(t, k), Key(40, k));
        EXPECT_EQ(Feature(t, 92), 154);
        EXPECT_EQ(Feature(t, 90), t == 40 ? 141 : kFill);  // an ordinary key: not copied
    }
    EXPECT_EQ(Key(8, 4), (std::array<std::uint8_t, 2>{0x0C, 0x00}));
    EXPECT_EQ(Key(8, 5), (std::array<std::uint8_t, 2>{0x0C, 0x00}));
    EXPECT_EQ(Key(8, 6), (std::array<std::uint8_t, 2>{0x0D, 0x99}));
    EXPECT_EQ(Feature(8, 95), 0);
    EXPECT_EQ(Feature(8, 96), 140);
    EXPECT_EQ(RowOf(19), row19);
}

// The template telephone comes from a byte that files and the main unit write: only 1-64 is
// a telephone of this table; anything else copies nothing.
TEST_F(KeyLayoutTest, TemplateOutsideTheTableCopiesNothing) {
    LoadDefaultKeyLayouts(Image());
    for (std::uint8_t s : {0, 65, 80, 81, 128, 200, 255}) {
        SetTemplate(s);
        const std::vector<std::uint8_t> before(Block().begin(), Block().end());
        CopyKeyLayoutToAll(Image());
        CopySpecialKeysToAll(Image());
        EXPECT_TRUE(std::equal(before.begin(), before.end(), Block().begin())) << int(s);
    }
    // A template among 17-20 is read, though it receives nothing.
    PrepareTemplate(Image(), 18);
    SetTemplate(18);
    CopyKeyLayoutToAll(Image());
    EXPECT_EQ(Key(1, 1), Key(18, 1));
    EXPECT_EQ(Key(64, 24), Key(18, 24));
}

TEST_F(KeyLayoutTest, ModelKeyDefaults) {
    struct Case {
        std::uint8_t model;
        unsigned first_key;
    };
    const Case cases[] = {{1, 5}, {2, 9}, {3, 13}, {4, 17}, {0, 21}, {5, 21}, {7, 21}, {255, 21}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.model));
        std::fill(Block().begin(), Block().end(), kFill);
        LoadDefaultKeyLayouts(Image());
        *Image().BlockByte(kModelTypeBlock, 0) = c.model;
        SetKey(2, 25, 0x9C, 0x35);  // a 935 elsewhere is freed
        SetKey(2, 27, 0x9C, 0x39);  // and 939
        SetKey(2, 28, 0x9C, 0x37);  // key 28 is beyond the keys looked at
        Feature(3, 100) = static_cast<std::uint8_t>(c.first_key + 128);  // key a + 1
        Feature(3, 101) = static_cast<std::uint8_t>(c.first_key + 131);  // key a + 4: kept
        const Row row18 = RowOf(18);
        const unsigned a = c.first_key;

        ApplyModelKeyDefaults(Image());

        for (unsigned t : {1u, 2u, 3u, 16u, 21u, 64u}) {
            SCOPED_TRACE(t);
            EXPECT_EQ(Key(t, a), (std::array<std::uint8_t, 2>{0x9C, 0x35}));
            EXPECT_EQ(Key(t, a + 1), (std::array<std::uint8_t, 2>{0x9C, 0x37}));
            EXPECT_EQ(Key(t, a + 2), (std::array<std::uint8_t, 2>{0x9C, 0x38}));
            EXPECT_EQ(Key(t, a + 3), (std::array<std::uint8_t, 2>{0x9C, 0x39}));
            EXPECT_EQ(Feature(t, 85), a + 127);
            EXPECT_EQ(Feature(t, 87), a + 128);
            EXPECT_EQ(Feature(t, 88), a + 129);
            EXPECT_EQ(Feature(t, 89), a + 130);
            if (a == 5) {
                EXPECT_EQ(Feature(t, 5), 0);  // key 5's old code 5 lost its key
                EXPECT_EQ(Feature(t, 4), 131);
            }
        }
        EXPECT_EQ(Key(2, 25), (std::array<std::uint8_t, 2>{0x0C, 0x00}));
        EXPECT_EQ(Key(2, 27), (std::array<std::uint8_t, 2>{0x0C, 0x00}));
        EXPECT_EQ(Key(2, 28), (std::array<std::uint8_t, 2>{0x9C, 0x37}));
        EXPECT_EQ(Feature(3, 100), 0);
        EXPECT_EQ(Feature(3, 101), c.first_key + 131);
        EXPECT_EQ(RowOf(18), row18);
    }
}

TEST(KeySheetDigits, CharactersAndCodes) {
    struct Case {
        char character;
        std::uint8_t code;
        std::uint8_t high_nibble;
    };
    const Case cases[] = {
        {' ', 0, 0x00},  {'1', 1, 0x10},  {'9', 9, 0x90},  {'0', 10, 0xA0}, {'*', 11, 0xB0},
        {'#', 12, 0xC0}, {'P', 13, 0xD0}, {'-', 14, 0xE0}, {'M', 15, 0xF0}, {'G', 16, 0x00},
        {'H', 17, 0x10}, {'I', 18, 0x20}, {'J', 19, 0x30}, {'\0', 0, 0x00}, {'X', 0, 0x00},
        {'p', 0, 0x00},  {',', 0, 0x00},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeyDigitToCode(c.character), c.code) << int(c.character);
        EXPECT_EQ(KeyDigitToHighNibble(c.character), c.high_nibble) << int(c.character);
    }
    // Every code 0-19 has its character and back; codes beyond show a blank.
    for (unsigned code = 0; code <= 19; ++code) {
        EXPECT_EQ(KeyDigitToCode(KeyCodeToDigit(code)), code) << code;
    }
    EXPECT_EQ(KeyCodeToDigit(0), ' ');
    EXPECT_EQ(KeyCodeToDigit(10), '0');
    EXPECT_EQ(KeyCodeToDigit(13), 'P');
    for (unsigned code : {20u, 21u, 255u, 256u, 0xFFFFFFFFu}) EXPECT_EQ(KeyCodeToDigit(code), ' ');
}

TEST(CommandFields, CountsAndWidthsFromTheCommandTable) {
    auto state = std::make_unique<ProgrammingState>();
    struct Case {
        int command;
        std::uint8_t key_fields;
        std::vector<int> widths;  // the data-field count is its size
    };
    const Case cases[] = {
        {2, 0, {1}},           // *002: one data field of 1 digit
        {30, 2, {3}},          // *030: 2 key fields, 1 data field; the first field byte
        {1, 1, {1}},           // *001
        {9, 2, {3}},           // *009
        {85, 1, {1, 4, 4}},    // *085: the key field's byte comes first
        {360, 0, {1, 1}},      // *360
        {9337, 0, {3, 1, 1}},  // *9337
        {9433, 0, {12, 3}},    // *9433
        {23, 3, {}},           // *023: memory view, key fields only
        {24, 3, {1}},          // *024
        {679, 1, {1}},         // *679
        {9361, 0, {1}},        // *9361
        {5, 0, {}},            // not offered: no fields
        {192, 0, {}},          // beyond group 1: the catch-all record
        {9480, 0, {}},         // the empty group
        {250, 0, {}},          // no *2NN group
        {1234, 0, {}},         // not a command number: would read as *123
        {93610, 0, {}},        // would read as *9361
        {-1, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(CommandKeyFieldCount(*state, c.command), c.key_fields);
        std::array<int, kMaxFields> widths;
        widths.fill(-1);
        const std::uint8_t n = CommandDataFieldWidths(*state, c.command, widths);
        ASSERT_EQ(n, c.widths.size());
        for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(widths[i], c.widths[i]) << i;
        for (std::size_t i = n; i < kMaxFields; ++i) EXPECT_EQ(widths[i], -1) << i;
    }
}

// A table of the state's own, with a record whose data-field nibble claims more fields than a
// record can hold: the count stops at six and a 1-16 field reads as 0.
TEST(CommandFields, ReadTheStatesTableAndStayInsideTheRecord) {
    auto state = std::make_unique<ProgrammingState>();
    const std::span<const CommandDescriptor> built_in = BuiltInCommandTable().Records();
    std::vector<CommandDescriptor> records(built_in.begin(), built_in.end());
    records[2].bytes = {0x00, 0x2F, 0x11, 0x22, 0x10, 0x36, 0x4C,
                        0x07, 0x00, 0x00, 0x00, 0x00, 0x00};
    const CommandTable table(records);
    state->keypad.command_table = &table;

    EXPECT_EQ(CommandKeyFieldCount(*state, 2), 2);
    std::array<int, kMaxFields> widths{};
    ASSERT_EQ(CommandDataFieldWidths(*state, 2, widths), kMaxFields);
    EXPECT_EQ(widths, (std::array<int, kMaxFields>{1, 2, 0, 6, 12, 7}));
    EXPECT_EQ(CommandKeyFieldCount(*state, 30), 2);  // the rest of the table as before
}

}  // namespace
}  // namespace qzs
