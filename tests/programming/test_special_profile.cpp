// The two default profiles that the confirmed setting loads, and the checked setters they write
// through: what each writes, what it refuses, and that nothing else in the image moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "programming/data_image.h"
#include "programming/default_profile.h"

namespace qzs {
namespace {

using Change = std::tuple<int, std::size_t, int>;  // block, byte, new value

// Every byte of the directory that differs between two images.
std::vector<Change> Diff(const DataImage& before, const DataImage& after) {
    std::vector<Change> changes;
    for (int b = 0; b < kBlockCount; ++b) {
        const auto x = before.Block(b);
        const auto y = after.Block(b);
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (x[i] != y[i]) changes.emplace_back(b, i, y[i]);
        }
    }
    return changes;
}

std::size_t EntryByte(unsigned entry, std::size_t offset) {
    return 20 * (entry - 1) + offset;
}

// What profile 1 writes into entries 5 and 6 of block 57.
std::vector<Change> ProfileOneEntries() {
    std::vector<Change> c;
    for (unsigned entry : {5u, 6u}) {
        c.emplace_back(57, EntryByte(entry, 1), 0xA8 + (entry - 5));  // dial 0, 8 / 0, 9
        c.emplace_back(57, EntryByte(entry, 2), 0xA0);                // dial 0, end
        for (std::size_t w : {8u, 10u, 12u}) c.emplace_back(57, EntryByte(entry, w), 120);
        c.emplace_back(57, EntryByte(entry, 14), 17);
    }
    return c;
}

TEST(DefaultProfile, ProfileOneWritesItsValuesAndNothingElse) {
    auto image = std::make_unique<DataImage>();
    auto before = std::make_unique<DataImage>(*image);
    EXPECT_EQ(LoadDefaultSettings(*image, 1), 0);

    std::vector<Change> expected;
    for (std::size_t i = 0; i < 3; ++i) expected.emplace_back(91, i, 8);
    for (std::size_t row = 1; row <= 13; ++row) {
        for (std::size_t word = 0; word < 3; ++word) {
            expected.emplace_back(32, 12 * row + 2 * word, 360 & 0xFF);
            expected.emplace_back(32, 12 * row + 2 * word + 1, 360 >> 8);
        }
    }
    const std::vector<Change> entries = ProfileOneEntries();
    expected.insert(expected.end(), entries.begin(), entries.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Diff(*before, *image), expected);
}

TEST(DefaultProfile, ProfileZeroPutsTheTableBackAndEmptiesTheEntries) {
    auto image = std::make_unique<DataImage>();
    // Entries 5 and 6 hold a number and more beyond what the profile touches.
    for (std::size_t i = 0; i < 20; ++i) image->Block(57)[EntryByte(5, i)] = 0x33;
    ASSERT_EQ(LoadDefaultSettings(*image, 1), 0);
    ASSERT_EQ(LoadDefaultSettings(*image, 0), 0);

    const int table[13][3] = {{360, 360, 480}, {180, 180, 240}, {120, 150, 180}, {120, 150, 180},
                              {90, 120, 180},  {90, 120, 180},  {90, 120, 180},  {180, 180, 240},
                              {120, 120, 150}, {90, 120, 150},  {60, 90, 120},   {45, 52, 90},
                              {45, 52, 90}};
    const auto words = image->Block(32);
    for (int row = 1; row <= 13; ++row) {
        for (int word = 1; word <= 3; ++word) {
            const std::size_t at = 12 * row + 2 * (word - 1);
            EXPECT_EQ(words[at] | (words[at + 1] << 8), table[row - 1][word - 1])
                << "row " << row << " word " << word;
        }
    }
    EXPECT_EQ(image->Block(91)[0], 9);
    EXPECT_EQ(image->Block(91)[1], 10);
    EXPECT_EQ(image->Block(91)[2], 10);
    const auto entries = image->Block(57);
    for (unsigned entry : {5u, 6u}) {
        for (std::size_t i : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 8u, 9u, 10u, 11u, 12u, 13u, 14u}) {
            EXPECT_EQ(entries[EntryByte(entry, i)], 0) << entry << " byte " << i;
        }
    }
    // Bytes that no setter owns keep their values.
    for (std::size_t i : {7u, 15u, 16u, 19u}) EXPECT_EQ(entries[EntryByte(5, i)], 0x33) << i;
}

TEST(DefaultProfile, AnotherProfileIsRefusedAndChangesNothing) {
    auto image = std::make_unique<DataImage>();
    auto before = std::make_unique<DataImage>(*image);
    EXPECT_EQ(LoadDefaultSettings(*image, 2), 1);
    EXPECT_EQ(LoadDefaultSettings(*image, 255), 1);
    EXPECT_TRUE(Diff(*before, *image).empty());
}

TEST(DefaultProfile, SettersCheckTheirArguments) {
    struct Case {
        const char* name;
        std::function<std::uint8_t(DataImage&)> call;
        std::uint8_t answer;
        std::vector<Change> changes;
    };
    const Case cases[] = {
        {"profile byte",
         [](DataImage& i) { return SetProfileByte(i, 1, 3, 99); },
         0,
         {{91, 2, 99}}},
        {"profile byte above 99", [](DataImage& i) { return SetProfileByte(i, 1, 1, 100); }, 1, {}},
        {"profile byte item 0", [](DataImage& i) { return SetProfileByte(i, 1, 0, 5); }, 1, {}},
        {"profile byte item 4", [](DataImage& i) { return SetProfileByte(i, 1, 4, 5); }, 1, {}},
        {"profile byte set 2", [](DataImage& i) { return SetProfileByte(i, 2, 1, 5); }, 1, {}},
        {"profile word 2",
         [](DataImage& i) { return SetProfileWord(i, 1, 13, 3, 2); },
         0,
         {{32, 160, 2}}},
        {"profile word 998",
         [](DataImage& i) { return SetProfileWord(i, 1, 1, 1, 998); },
         0,
         {{32, 12, 998 & 0xFF}, {32, 13, 998 >> 8}}},
        {"profile word 1", [](DataImage& i) { return SetProfileWord(i, 1, 1, 1, 1); }, 1, {}},
        {"profile word 999", [](DataImage& i) { return SetProfileWord(i, 1, 1, 1, 999); }, 1, {}},
        {"profile word row 0", [](DataImage& i) { return SetProfileWord(i, 1, 0, 1, 5); }, 1, {}},
        {"profile word row 14", [](DataImage& i) { return SetProfileWord(i, 1, 14, 1, 5); }, 1, {}},
        {"profile word 4", [](DataImage& i) { return SetProfileWord(i, 1, 1, 4, 5); }, 1, {}},
        {"profile word set 0", [](DataImage& i) { return SetProfileWord(i, 0, 1, 1, 5); }, 1, {}},
        {"entry word 0 is a value", [](DataImage& i) { return SetEntryWord(i, 64, 3, 0); }, 0, {}},
        {"entry word 998",
         [](DataImage& i) { return SetEntryWord(i, 64, 3, 998); },
         0,
         {{57, EntryByte(64, 12), 998 & 0xFF}, {57, EntryByte(64, 13), 998 >> 8}}},
        {"entry word 1", [](DataImage& i) { return SetEntryWord(i, 1, 1, 1); }, 1, {}},
        {"entry word 999", [](DataImage& i) { return SetEntryWord(i, 1, 1, 999); }, 1, {}},
        {"entry word entry 65", [](DataImage& i) { return SetEntryWord(i, 65, 1, 5); }, 1, {}},
        {"entry word word 4", [](DataImage& i) { return SetEntryWord(i, 1, 4, 5); }, 1, {}},
        {"entry word entry 0 with a value",
         [](DataImage& i) { return SetEntryWord(i, 0, 1, 5); },
         1,
         {}},
        {"entry number",
         [](DataImage& i) { return SetEntryNumber(i, 64, 7, 0x1234); },
         0,
         {{57, EntryByte(64, 0), 7}, {57, EntryByte(64, 1), 0x12}, {57, EntryByte(64, 2), 0x34}}},
        {"entry number byte 256", [](DataImage& i) { return SetEntryNumber(i, 1, 256, 1); }, 1, {}},
        {"entry number entry 65", [](DataImage& i) { return SetEntryNumber(i, 65, 1, 1); }, 1, {}},
        {"entry number entry 0 with a number",
         [](DataImage& i) { return SetEntryNumber(i, 0, 0, 1); },
         1,
         {}},
        {"entry byte 99", [](DataImage& i) { return SetEntryByte(i, 1, 99); }, 0, {{57, 14, 99}}},
        {"entry byte 100", [](DataImage& i) { return SetEntryByte(i, 1, 100); }, 1, {}},
        {"entry byte entry 0", [](DataImage& i) { return SetEntryByte(i, 0, 1); }, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = std::make_unique<DataImage>();
        auto before = std::make_unique<DataImage>(*image);
        EXPECT_EQ(c.call(*image), c.answer);
        EXPECT_EQ(Diff(*before, *image), c.changes);
    }
}

TEST(DefaultProfile, ClearingSetters) {
    auto image = std::make_unique<DataImage>();
    for (std::uint8_t& b : image->Block(57)) b = 0x44;
    auto before = std::make_unique<DataImage>(*image);

    // One entry's number: bytes 0-6 of that entry only.
    EXPECT_EQ(SetEntryNumber(*image, 3, 0, 0), 0);
    std::vector<Change> expected;
    for (std::size_t i = 0; i <= 6; ++i) expected.emplace_back(57, EntryByte(3, i), 0);
    EXPECT_EQ(Diff(*before, *image), expected);

    // Every entry's number, and word 2 of every entry.
    EXPECT_EQ(SetEntryNumber(*image, 0, 0, 0), 0);
    EXPECT_EQ(SetEntryWord(*image, 0, 2, 0), 0);
    for (unsigned entry = 1; entry <= 64; ++entry) {
        for (std::size_t i = 0; i < 20; ++i) {
            const bool cleared = i <= 6 || i == 10 || i == 11;
            EXPECT_EQ(image->Block(57)[EntryByte(entry, i)], cleared ? 0 : 0x44)
                << entry << " byte " << i;
        }
    }
}

}  // namespace
}  // namespace qzs
