// The factory state of a cleared image, the completion of the fields still empty after it, and
// the two timer profiles of *9361: the values that stand out, how many bytes each block is
// given, the shapes of the tables, and that nothing else changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "programming/data_image.h"
#include "programming/default_profile.h"
#include "programming/factory_defaults.h"

namespace qzs {
namespace {

// --- The factory values: the bytes that stand out, how many bytes of each block the factory
// sets, and that no block it does not name holds anything ---

using ByteMap = std::map<std::size_t, std::uint8_t>;

// One factory byte, with why it is worth a row.
struct FactoryByte {
    int block;
    std::size_t byte;
    std::uint8_t value;
    const char* why;
};

const std::vector<FactoryByte>& FactoryBytes() {
    static const std::vector<FactoryByte> bytes{
        {.block = 3, .byte = 0, .value = 0x10, .why = "first system option byte"},
        {.block = 3, .byte = 21, .value = 0x99, .why = "holds the *002 flag (bit 0x10)"},
        {.block = 3, .byte = 42, .value = 0x01, .why = "telephone 1 may view memory"},
        {.block = 3, .byte = 46, .value = 0x02, .why = "last listed byte of block 3"},
        {.block = 5, .byte = 2, .value = 0x80, .why = "a block with one value"},
        {.block = 13, .byte = 73, .value = 0x62, .why = "last of the block-13 pairs"},
        {.block = 16, .byte = 86, .value = 0x66, .why = "last of the 81-86 run"},
        {.block = 17, .byte = 280, .value = 0x21, .why = "last listed entry of block 17"},
        {.block = 20, .byte = 8, .value = 0x32, .why = "low byte of the word 0x32"},
        {.block = 20, .byte = 9, .value = 0x00, .why = "its high byte"},
        {.block = 20, .byte = 32, .value = 0x45, .why = "last of block 20"},
        {.block = 34, .byte = 9, .value = 0x5A, .why = "the odd byte of the first row"},
        {.block = 34, .byte = 71, .value = 0xAF, .why = "end of the sixth row"},
        {.block = 40, .byte = 28, .value = 0x99, .why = "a byte far from its neighbours"},
        {.block = 55, .byte = 13, .value = 0x00, .why = "a listed zero"},
        {.block = 55, .byte = 22, .value = 0x13, .why = "last of block 55"},
        {.block = 57, .byte = 8, .value = 0x68, .why = "the word 0x168, low byte"},
        {.block = 57, .byte = 9, .value = 0x01, .why = "and high byte"},
        {.block = 57, .byte = 12, .value = 0xE0, .why = "the word 0x1E0, low byte"},
        {.block = 57, .byte = 13, .value = 0x01, .why = "and high byte"},
        {.block = 57, .byte = 21, .value = 0x11, .why = "where the second half differs (0x17)"},
        {.block = 57, .byte = 62, .value = 0xAA, .why = "last of block 57"},
        {.block = 63, .byte = 11, .value = 0x20, .why = "pointer entry 62's byte"},
        {.block = 80, .byte = 46, .value = 0x01, .why = "last of block 80"},
        {.block = 87, .byte = 40, .value = 0x10, .why = "the one pair that is no A-byte"},
        {.block = 89, .byte = 18, .value = 0x88, .why = "fifth row of block 89"},
        {.block = 90, .byte = 26, .value = 0x62, .why = "seventh row of block 90"},
        {.block = 99, .byte = 1, .value = 0x20, .why = "a block with two values"},
        {.block = 122, .byte = 1, .value = 0x5A, .why = "the 5A 5A head of block 122"},
        {.block = 122, .byte = 138, .value = 0x12, .why = "last of block 122"},
        {.block = 128, .byte = 17, .value = 0x61, .why = "fifth row of block 128"},
        {.block = 139, .byte = 0, .value = 0x01, .why = "a block with one value"},
        {.block = 148, .byte = 3, .value = 0x0A, .why = "the run 1, 2, 6, 10"},
        // The per-record patterns.
        {.block = 1, .byte = 0, .value = 0xE4, .why = "first 48-byte record"},
        {.block = 1, .byte = 48 * 127, .value = 0xE4, .why = "last 48-byte record"},
        {.block = 3, .byte = 28, .value = 0xAA, .why = "bytes 28-31"},
        {.block = 3, .byte = 31, .value = 0xAA, .why = "bytes 28-31"},
        {.block = 6, .byte = 8 + 20 * 4 + 3, .value = 4, .why = "fifth row, fourth *9200 entry"},
        {.block = 6, .byte = 8 + 10, .value = 1, .why = "first row, first *9201 entry"},
        {.block = 8, .byte = 0, .value = 0x41, .why = "entry 0 of block 8"},
        {.block = 8, .byte = 24, .value = 0x40, .why = "entry 3 of block 8"},
        // Values left open, chosen so that each is one its own command takes back: the *080
        // digit counts of first digits 1-7 are two (as the *080 copy says), every *165 and *166
        // record has kind 1, and *9203/*9204 entries 4 and 5 hold what a received *000 sets up.
        {.block = 14, .byte = 1, .value = 0x01, .why = "*080 count of first digit 1"},
        {.block = 14, .byte = 7, .value = 0x01, .why = "*080 count of first digit 7"},
        {.block = 61, .byte = 13, .value = 0x61, .why = "*9203 entries 4-5"},
        {.block = 61, .byte = 17, .value = 0x61, .why = "*9204 entries 4-5"},
        {.block = 89, .byte = 0, .value = 0x01, .why = "*165 record 1 kind"},
        {.block = 90, .byte = 60, .value = 0x01, .why = "*166 record 16 kind"},
    };
    return bytes;
}

// How many bytes of each block the factory image holds other than 0, counted from the published
// values and patterns (listed zeros and the zero high bytes of words do not count). A stray or a
// lost byte anywhere in a block changes its count; every block not named here is empty.
const std::map<int, std::size_t>& FactoryNonZeroCounts() {
    static const std::map<int, std::size_t> counts{
        {1, 128}, {3, 30}, {5, 1},   {6, 41},  {8, 4},   {9, 1},    {13, 22},  {14, 7},
        {15, 3},  {16, 14}, {17, 12}, {18, 2}, {20, 9},  {30, 4},  {34, 72},  {39, 4},
        {40, 11}, {55, 20}, {57, 22}, {58, 1}, {61, 3},  {63, 3},  {78, 1},   {80, 11},
        {87, 16}, {89, 26}, {90, 30}, {99, 2}, {122, 24}, {128, 15}, {132, 1}, {139, 1},
        {148, 4},
    };
    return counts;
}

std::size_t NonZero(std::span<const std::uint8_t> bytes) {
    return static_cast<std::size_t>(
        std::count_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; }));
}

void ExpectFactoryBlocks(const DataImage& image, const std::map<int, std::size_t>& counts) {
    for (const FactoryByte& f : FactoryBytes()) {
        EXPECT_EQ(*image.BlockByte(f.block, f.byte), f.value)
            << "block " << f.block << " byte " << f.byte << ": " << f.why;
    }
    for (int b = 0; b < kBlockCount; ++b) {
        const auto it = counts.find(b);
        EXPECT_EQ(NonZero(image.Block(b)), it == counts.end() ? 0u : it->second) << "block " << b;
    }
}

// Block 34 is two halves of three 12-byte rows, the first row of each 55 bytes with one 5A.
TEST(FactoryValuesCheck, RowsOfBlock34) {
    auto image = std::make_unique<DataImage>();
    LoadFactoryDefaults(*image);
    const auto block = image->Block(34);
    for (std::size_t row = 0; row < 6; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        const std::uint8_t* r = block.data() + 12 * row;
        for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(r[i], 0xFF);
        EXPECT_EQ(r[11], 0xAF);
        const bool first = row % 3 == 0;
        for (std::size_t i = 4; i < 11; ++i) {
            std::uint8_t want = first ? 0x55 : 0xAA;
            if (first && i == 9) want = 0x5A;
            if (first && i == 10) want = 0xAA;
            EXPECT_EQ(r[i], want) << "byte " << i;
        }
    }
}

struct SettingValue {
    SettingByte setting;
    std::uint8_t value;
};

constexpr std::array kFactorySettingBytes{
    SettingValue{SettingByte::k9307, 0x11},      SettingValue{SettingByte::k318, 0x03},
    SettingValue{SettingByte::k706, 0x51},       SettingValue{SettingByte::k187, 0x22},
    SettingValue{SettingByte::k189, 0x01},       SettingValue{SettingByte::k9272, 0x13},
    SettingValue{SettingByte::k351Digits, 0x04},
};

template <std::size_t N>
std::array<std::uint8_t, N> AreaBytes(std::initializer_list<std::pair<std::size_t, std::uint8_t>> values) {
    std::array<std::uint8_t, N> bytes{};
    for (const auto& [offset, value] : values) bytes.at(offset) = value;
    return bytes;
}
const auto kFirstPointerArea = AreaBytes<kFirstPointerAreaBytes>(
    {{0, 0x24}, {1, 0x02}, {4, 0x1C}, {5, 0x09}, {7, 0x02}, {8, 0x01}, {9, 0x03}, {16, 0x01}});
const auto kSecondPointerArea = AreaBytes<kSecondPointerAreaBytes>(
    {{2, 0x80}, {3, 0xAA}, {4, 0x10}, {5, 0xAA}, {6, 0x41}, {7, 0xAA}, {8, 0x61}, {14, 0x46}});

PortNumberBytes Port(unsigned port) {
    return {static_cast<std::uint8_t>(port & 0xFF), static_cast<std::uint8_t>(port >> 8)};
}

// The IP network settings as the factory leaves them (the reserved port is start-up's own).
IpNetworkSettings ExpectedFactoryNetwork() {
    IpNetworkSettings ip;
    ip.address_settings = {IpAddress{192, 168, 1, 100}, IpAddress{255, 255, 255, 0},
                           IpAddress{192, 168, 1, 2}};
    for (unsigned code = 33; code <= 36; ++code) {
        const PortNumberBytes port = Port(50109 + (code - 33));
        ip.port_address_table[code - 1][6] = port[0];
        ip.port_address_table[code - 1][7] = port[1];
    }
    ip.slot_address_table[0] = {192, 168, 1, 113};
    const std::array<unsigned, 2> pair_ports{60000, 60002};
    for (std::size_t k = 0; k < 2; ++k) {
        ip.pair_address_table[k] = {
            192, 168, 1, 255, Port(pair_ports[k])[0], Port(pair_ports[k])[1]};
    }
    ip.port_9402 = Port(50000);
    ip.port_9409 = Port(8070);
    ip.address_9430 = {192, 168, 1, 3};
    ip.ports_9431 = {Port(5060), Port(65500)};
    ip.ports_9432 = {Port(55010), Port(55020), Port(55030), Port(55040)};
    ip.address_9433 = {192, 168, 1, 1};
    ip.address_9437 = {192, 168, 1, 2};
    return ip;
}

void ExpectNetworkEqual(const IpNetworkSettings& got, const IpNetworkSettings& want) {
    EXPECT_EQ(got.address_settings, want.address_settings);
    EXPECT_EQ(got.reserved_port_number, want.reserved_port_number);
    for (std::size_t e = 0; e < kPortAddressEntryCount; ++e) {
        EXPECT_EQ(got.port_address_table[e], want.port_address_table[e]) << "port entry " << e;
    }
    EXPECT_EQ(got.table_9412, want.table_9412);
    EXPECT_EQ(got.slot_address_table, want.slot_address_table);
    EXPECT_EQ(got.pair_address_table, want.pair_address_table);
    EXPECT_EQ(got.port_9402, want.port_9402);
    EXPECT_EQ(got.address_9405, want.address_9405);
    EXPECT_EQ(got.port_9404, want.port_9404);
    EXPECT_EQ(got.address_9406, want.address_9406);
    EXPECT_EQ(got.port_9409, want.port_9409);
    EXPECT_EQ(got.address_9414, want.address_9414);
    EXPECT_EQ(got.port_9415, want.port_9415);
    EXPECT_EQ(got.table_9419, want.table_9419);
    EXPECT_EQ(got.flag_9419, want.flag_9419);
    EXPECT_EQ(got.address_9430, want.address_9430);
    EXPECT_EQ(got.ports_9431, want.ports_9431);
    EXPECT_EQ(got.ports_9432, want.ports_9432);
    EXPECT_EQ(got.address_9433, want.address_9433);
    EXPECT_EQ(got.value_9433, want.value_9433);
    EXPECT_EQ(got.table_9435, want.table_9435);
    EXPECT_EQ(got.address_9437, want.address_9437);
    EXPECT_EQ(got.table_860, want.table_860);
}

void ExpectBlocksEqual(const DataImage& image, const std::map<int, ByteMap>& expected) {
    for (int b = 0; b < kBlockCount; ++b) {
        const auto bytes = image.Block(b);
        const auto it = expected.find(b);
        int reported = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            std::uint8_t want = 0;
            if (it != expected.end()) {
                const auto v = it->second.find(i);
                if (v != it->second.end()) want = v->second;
            }
            if (bytes[i] != want && reported++ < 8) {
                ADD_FAILURE() << "block " << b << " byte " << i << ": 0x" << std::hex
                              << int{bytes[i]} << ", expected 0x" << int{want};
            }
        }
    }
}

std::unique_ptr<DataImage> FactoryImage() {
    auto image = std::make_unique<DataImage>();
    LoadFactoryDefaults(*image);
    return image;
}

TEST(FactoryValuesCheck, ClearedImageTakesTheFactoryBlockBytes) {
    const auto image = FactoryImage();
    ExpectFactoryBlocks(*image, FactoryNonZeroCounts());
}

TEST(FactoryValuesCheck, SettingsOutsideTheBlocksTakeTheirFactoryValues) {
    const auto image = FactoryImage();
    std::array<std::uint8_t, static_cast<std::size_t>(SettingByte::kCount)> settings{};
    for (const auto& [setting, value] : kFactorySettingBytes) {
        settings[static_cast<std::size_t>(setting)] = value;
    }
    EXPECT_EQ(image->setting_bytes, settings);
    EXPECT_EQ(image->first_pointer_area, kFirstPointerArea);
    EXPECT_EQ(image->second_pointer_area, kSecondPointerArea);
    EXPECT_EQ(image->copy_080, (std::array<std::uint8_t, 7>{1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(image->service_code_value, 0u);
    EXPECT_EQ(image->defaults_marker, (std::array<std::uint8_t, 5>{0xA2, 0x72, 0x68, 0x3A, 0x66}));
    ExpectNetworkEqual(image->ip_settings, ExpectedFactoryNetwork());
    // Nothing else outside the blocks has a factory value before the completion.
    EXPECT_EQ(image->completion_bytes, (std::array<std::uint8_t, 5>{}));
    for (const auto& record : image->table_699) {
        EXPECT_EQ(record, (std::array<std::uint8_t, kTable699RecordBytes>{}));
    }
    EXPECT_EQ(image->unit_code_bytes, (std::array<std::uint8_t, 100>{}));
    // Every group holds the pair 31, 7 that *9525 frees a pair to.
    for (const auto& group : image->group_table) {
        std::array<std::uint8_t, 16> want{};
        want[12] = 31;
        want[13] = 7;
        EXPECT_EQ(group, want);
    }
}

// A value of 0 in the table is a write like any other: over an image that is not empty, every
// listed byte takes its value (zeros included) and every other byte keeps what it held. The
// counts are the bytes each block is given: listed bytes (both bytes of a word) and patterns.
TEST(FactoryValuesCheck, ListedBytesAreWrittenAndOthersKept) {
    auto image = std::make_unique<DataImage>();
    for (int b = 0; b < kBlockCount; ++b) {
        for (auto& byte : image->Block(b)) byte = 0x5C;
    }
    image->service_code_value = 290417;
    image->first_pointer_area.fill(0x5C);
    image->second_pointer_area.fill(0x5C);
    image->ip_settings.address_9405 = {1, 2, 3, 4};
    LoadFactoryDefaults(*image);

    const std::map<int, std::size_t> written{
        {1, 128}, {3, 30}, {5, 1},   {6, 41},  {8, 4},   {9, 1},    {13, 22},  {14, 7},
        {15, 3},  {16, 14}, {17, 12}, {18, 2}, {20, 11}, {30, 4},  {34, 72},  {39, 4},
        {40, 11}, {55, 21}, {57, 22}, {58, 1}, {61, 3},  {63, 3},  {78, 1},   {80, 14},
        {87, 16}, {89, 31}, {90, 37}, {99, 2}, {122, 24}, {128, 15}, {132, 1}, {139, 1},
        {148, 4},
    };
    for (const FactoryByte& f : FactoryBytes()) {
        EXPECT_EQ(*image->BlockByte(f.block, f.byte), f.value)
            << "block " << f.block << " byte " << f.byte << ": " << f.why;
    }
    for (int b = 0; b < kBlockCount; ++b) {
        const auto bytes = image->Block(b);
        const auto changed = static_cast<std::size_t>(
            std::count_if(bytes.begin(), bytes.end(), [](std::uint8_t v) { return v != 0x5C; }));
        const auto it = written.find(b);
        EXPECT_EQ(changed, it == written.end() ? 0u : it->second) << "block " << b;
    }
    EXPECT_EQ(image->service_code_value, 0u);
    auto first = kFirstPointerArea;
    for (const std::size_t kept : {2, 3, 6, 10, 11, 12, 13, 14, 15}) first[kept] = 0x5C;
    EXPECT_EQ(image->first_pointer_area, first);
    auto second = kSecondPointerArea;
    for (const std::size_t kept : {0, 1, 9, 10, 11, 12, 13, 15}) second[kept] = 0x5C;
    EXPECT_EQ(image->second_pointer_area, second);
    // The *9405 address has no value other than zero; zero is still its factory value.
    EXPECT_EQ(image->ip_settings.address_9405, (IpAddress{}));
}

TEST(FactoryValuesCheck, CompletionOfTheFactoryImage) {
    auto image = FactoryImage();
    CompleteDefaults(*image);
    // Blocks 7, 82 and 85 are empty in the factory image; the completion fills their fields.
    auto counts = FactoryNonZeroCounts();
    counts[7] = 8;    // bytes 2 + 4k and 3 + 4k, k 0-3: 16
    counts[82] = 8;   // bytes 2 + 4k, k 0-7: 0x10
    counts[85] = 12;  // per 12-byte record: byte 1 = 2, byte 8 = 1, byte 6 = 90
    ExpectFactoryBlocks(*image, counts);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(*image->BlockByte(7, 2 + 4 * k), 16);
        EXPECT_EQ(*image->BlockByte(7, 3 + 4 * k), 16);
        EXPECT_EQ(*image->BlockByte(85, 12 * k + 1), 0x02);
        EXPECT_EQ(*image->BlockByte(85, 12 * k + 8), 0x01);
        EXPECT_EQ(*image->BlockByte(85, 12 * k + 6), 90);
    }
    for (std::size_t k = 0; k < 8; ++k) EXPECT_EQ(*image->BlockByte(82, 2 + 4 * k), 0x10);
    EXPECT_EQ(image->completion_bytes, (std::array<std::uint8_t, 5>{0x01, 0x44, 0x01, 0x02, 0x01}));
    for (std::size_t a = 0; a < kTable699Records; ++a) {
        std::array<std::uint8_t, kTable699RecordBytes> want{};
        if (a != 0) {
            for (std::size_t e = 0; e < kTable699Groups * kTable699Entries; ++e) {
                want[e * kTable699EntryBytes] = 0x07;
                want[e * kTable699EntryBytes + 1] = 0x01;
            }
        }
        EXPECT_EQ(image->table_699[a], want) << "record " << a;
    }
}

// Each completion rule on one field: the value before and after.
struct CompletionCase {
    const char* what;
    std::uint8_t* (*place)(DataImage&);
    std::uint8_t before;
    std::uint8_t after;
};

template <int B, std::size_t O>
std::uint8_t* BlockAt(DataImage& image) {
    return image.BlockByte(B, O);
}
template <std::size_t I>
std::uint8_t* CompletionAt(DataImage& image) {
    return &image.completion_bytes[I];
}

const std::vector<CompletionCase>& CompletionCases() {
    static const std::vector<CompletionCase> cases{
        {"block 82 byte 2 empty", BlockAt<82, 2>, 0x00, 0x10},
        {"block 82 byte 30 below 0x10", BlockAt<82, 30>, 0x0F, 0x1F},
        {"block 82 byte 14 at 0x10", BlockAt<82, 14>, 0x10, 0x10},
        {"block 82 byte 3 is no field", BlockAt<82, 3>, 0x00, 0x00},
        {"block 85 record 0 byte 1 bits 0-2 empty", BlockAt<85, 1>, 0x08, 0x0A},
        {"block 85 record 3 byte 1 bits 0-2 set", BlockAt<85, 37>, 0x01, 0x01},
        {"block 85 record 1 byte 8 low nibble empty", BlockAt<85, 20>, 0x30, 0x31},
        {"block 85 record 2 byte 8 low nibble set", BlockAt<85, 32>, 0x04, 0x04},
        {"block 85 record 0 byte 6 empty", BlockAt<85, 6>, 0, 90},
        {"block 85 record 3 byte 6 set", BlockAt<85, 42>, 5, 5},
        {"block 7 byte 2 empty", BlockAt<7, 2>, 0, 16},
        {"block 7 byte 15 empty", BlockAt<7, 15>, 0, 16},
        {"block 7 byte 7 set", BlockAt<7, 7>, 3, 3},
        {"block 7 byte 0 is no field", BlockAt<7, 0>, 0, 0},
        {"first byte empty", CompletionAt<0>, 0, 1},
        {"first byte set", CompletionAt<0>, 7, 7},
        {"second byte empty", CompletionAt<1>, 0x00, 0x44},
        {"second byte bits 0-2 empty, below 0x10", CompletionAt<1>, 0x08, 0x4C},
        {"second byte bits 0-2 set, below 0x10", CompletionAt<1>, 0x03, 0x43},
        {"second byte bits 0-2 empty, at 0x10", CompletionAt<1>, 0x10, 0x14},
        {"second byte full", CompletionAt<1>, 0x13, 0x13},
        {"third byte empty", CompletionAt<2>, 0x00, 0x01},
        {"fourth byte empty", CompletionAt<3>, 0x08, 0x0A},
        {"fifth byte empty", CompletionAt<4>, 0xF0, 0xF1},
        {"fourth byte set", CompletionAt<3>, 0x04, 0x04},
    };
    return cases;
}

TEST(FactoryValuesCheck, CompletionRulesTouchOnlyEmptyFields) {
    for (const auto& c : CompletionCases()) {
        auto image = std::make_unique<DataImage>();
        // Fill every other completion field so that only the field under test can change.
        CompleteDefaults(*image);
        *c.place(*image) = c.before;
        CompleteDefaults(*image);
        EXPECT_EQ(*c.place(*image), c.after) << c.what;
    }
}

TEST(FactoryValuesCheck, CompletionOfTheEntryTable) {
    auto image = std::make_unique<DataImage>();
    auto entry = [&](std::size_t a, std::size_t g, std::size_t e) {
        return image->table_699[a].data() + g * kTable699GroupBytes + e * kTable699EntryBytes;
    };
    entry(1, 0, 0)[0] = 0x30;  // low nibble empty: completed, keeping the high nibble
    entry(1, 0, 0)[2] = 0x55;
    entry(7, 6, 3)[0] = 0x02;  // low nibble set: left alone
    entry(7, 6, 3)[1] = 0x09;
    entry(7, 6, 3)[2] = 0x08;
    entry(0, 3, 2)[0] = 0x00;  // record 0 is never completed
    CompleteDefaults(*image);
    EXPECT_EQ(entry(1, 0, 0)[0], 0x37);
    EXPECT_EQ(entry(1, 0, 0)[1], 0x01);
    EXPECT_EQ(entry(1, 0, 0)[2], 0x00);
    EXPECT_EQ(entry(7, 6, 3)[0], 0x02);
    EXPECT_EQ(entry(7, 6, 3)[1], 0x09);
    EXPECT_EQ(entry(7, 6, 3)[2], 0x08);
    EXPECT_EQ(entry(0, 3, 2)[0], 0x00);
    EXPECT_EQ(entry(0, 3, 2)[1], 0x00);
    EXPECT_EQ(entry(4, 3, 2)[0], 0x07);
}

// --- The two timer profiles ---

constexpr int kProfileByteBlock = 91;
constexpr int kProfileWordBlock = 32;
constexpr int kEntryBlock = 57;

struct ProfileEntry {
    std::array<std::uint8_t, 7> number_bytes;  // bytes 0-6
    unsigned word;                             // words 1-3
    std::uint8_t byte14;
};

struct Profile {
    unsigned id;
    std::array<std::uint8_t, 3> bytes;  // block 91
    std::array<std::array<unsigned, 3>, 13> words;  // profile 0's table is checked by its shape
    ProfileEntry entry5;
    ProfileEntry entry6;
};

std::array<std::array<unsigned, 3>, 13> AllWords(unsigned value) {
    std::array<std::array<unsigned, 3>, 13> words{};
    for (auto& row : words) row = {value, value, value};
    return words;
}

const std::array<Profile, 2>& Profiles() {
    static const std::array<Profile, 2> profiles{{
        {1,
         {8, 8, 8},
         AllWords(360),
         {{0x00, 0xA8, 0xA0, 0, 0, 0, 0}, 120, 17},
         {{0x00, 0xA9, 0xA0, 0, 0, 0, 0}, 120, 17}},
        {0,
         {9, 10, 10},
         {},
         {{0, 0, 0, 0, 0, 0, 0}, 0, 0},
         {{0, 0, 0, 0, 0, 0, 0}, 0, 0}},
    }};
    return profiles;
}

using WordTable = std::array<std::array<unsigned, 3>, 13>;

WordTable WordsOf(const DataImage& image) {
    WordTable words{};
    const auto block = image.Block(kProfileWordBlock);
    for (std::size_t r = 1; r <= 13; ++r) {
        for (std::size_t w = 1; w <= 3; ++w) {
            const std::size_t at = 12 * r + 2 * (w - 1);
            words[r - 1][w - 1] = block[at] | unsigned{block[at + 1]} << 8;
        }
    }
    return words;
}

// Profile 0's word table by its shape: rows that stand out, rows that repeat, words that never
// fall along a row, every value in the setter's range.
void ExpectDefaultWordTable(const WordTable& words) {
    struct Row {
        std::size_t row;
        std::array<unsigned, 3> words;
    };
    const Row rows[] = {
        {.row = 1, .words = {360, 360, 480}},
        {.row = 2, .words = {180, 180, 240}},
        {.row = 9, .words = {120, 120, 150}},
        {.row = 10, .words = {90, 120, 150}},
        {.row = 11, .words = {60, 90, 120}},
        {.row = 12, .words = {45, 52, 90}},
    };
    for (const Row& row : rows) EXPECT_EQ(words[row.row - 1], row.words) << "row " << row.row;
    const std::array<std::array<std::size_t, 2>, 5> same{{{2, 8}, {3, 4}, {5, 6}, {6, 7}, {12, 13}}};
    for (const auto& [a, b] : same) EXPECT_EQ(words[a - 1], words[b - 1]) << a << " and " << b;
    EXPECT_EQ(words[2], (std::array<unsigned, 3>{120, 150, 180}));
    EXPECT_EQ(words[4], (std::array<unsigned, 3>{90, 120, 180}));
    for (std::size_t r = 0; r < 13; ++r) {
        EXPECT_LE(words[r][0], words[r][1]) << "row " << r + 1;
        EXPECT_LE(words[r][1], words[r][2]) << "row " << r + 1;
        for (unsigned v : words[r]) {
            EXPECT_GE(v, 2u);
            EXPECT_LE(v, 998u);
        }
    }
}

std::map<int, ByteMap> ExpectedProfileBytes(const Profile& p, const WordTable& words) {
    std::map<int, ByteMap> blocks;
    for (std::size_t i = 0; i < 3; ++i) blocks[kProfileByteBlock][i] = p.bytes[i];
    for (std::size_t r = 1; r <= 13; ++r) {
        for (std::size_t w = 1; w <= 3; ++w) {
            const unsigned v = words[r - 1][w - 1];
            blocks[kProfileWordBlock][12 * r + 2 * (w - 1)] = static_cast<std::uint8_t>(v & 0xFF);
            blocks[kProfileWordBlock][12 * r + 2 * (w - 1) + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    const std::array<std::pair<std::size_t, const ProfileEntry*>, 2> entries{
        {{5, &p.entry5}, {6, &p.entry6}}};
    for (const auto& [n, e] : entries) {
        const std::size_t base = 20 * (n - 1);
        for (std::size_t i = 0; i < 7; ++i) blocks[kEntryBlock][base + i] = e->number_bytes[i];
        for (std::size_t w = 0; w < 3; ++w) {
            blocks[kEntryBlock][base + 8 + 2 * w] = static_cast<std::uint8_t>(e->word & 0xFF);
            blocks[kEntryBlock][base + 9 + 2 * w] = static_cast<std::uint8_t>(e->word >> 8);
        }
        blocks[kEntryBlock][base + 14] = e->byte14;
    }
    return blocks;
}

// Each profile, loaded over an image whose three blocks hold a pattern, writes exactly its values
// and leaves every other byte as it was.
TEST(FactoryValuesCheck, ProfilesWriteExactlyTheirValues) {
    for (const auto& p : Profiles()) {
        auto image = std::make_unique<DataImage>();
        std::map<int, ByteMap> expected;
        for (const int b : {kProfileByteBlock, kProfileWordBlock, kEntryBlock}) {
            auto bytes = image->Block(b);
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                bytes[i] = static_cast<std::uint8_t>(0x21 + i % 7);
                expected[b][i] = bytes[i];
            }
        }
        EXPECT_EQ(LoadDefaultSettings(*image, p.id), 0) << "profile " << p.id;
        SCOPED_TRACE(testing::Message() << "profile " << p.id);
        WordTable words = p.words;
        if (p.id == 0) {
            words = WordsOf(*image);
            ExpectDefaultWordTable(words);
        }
        for (const auto& [block, bytes] : ExpectedProfileBytes(p, words)) {
            for (const auto& [offset, value] : bytes) expected[block][offset] = value;
        }
        ExpectBlocksEqual(*image, expected);
    }
}

TEST(FactoryValuesCheck, ProfileOneThenZeroRestoresTheTable) {
    auto image = std::make_unique<DataImage>();
    ASSERT_EQ(LoadDefaultSettings(*image, 1), 0);
    ASSERT_EQ(LoadDefaultSettings(*image, 0), 0);
    const WordTable words = WordsOf(*image);
    ExpectDefaultWordTable(words);
    ExpectBlocksEqual(*image, ExpectedProfileBytes(Profiles()[1], words));
}

TEST(FactoryValuesCheck, OtherProfilesChangeNothing) {
    for (const unsigned profile : {2u, 3u, 255u}) {
        auto image = std::make_unique<DataImage>();
        image->Block(kProfileByteBlock)[0] = 0x44;
        EXPECT_EQ(LoadDefaultSettings(*image, profile), 1);
        ExpectBlocksEqual(*image, {{kProfileByteBlock, {{0, 0x44}}}});
    }
}

}  // namespace
}  // namespace qzs
