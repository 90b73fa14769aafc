// The factory state of a cleared image, the completion of the fields still empty after it, and
// the two timer profiles of *9361, each written out here once more as plain tables and compared
// with the image the code produces.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
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

// --- The factory values as the main unit documents them: "byte=value" in hexadecimal, "Nw=value"
// for a 16-bit little-endian word ---

struct BlockValues {
    int block;
    std::string_view values;
};

constexpr std::array kFactoryBlockValues{
    BlockValues{
        3,
        "0=10, 2=20, 3=02, 4=28, 5=CA, 7=40, 8=0F, 9=D0, 12=30, 14=C0, 15=04, 16=08, 17=AB, "
        "18=10, 19=30, 20=36, 21=99, 23=11, 24=A8, 25=08, 26=33, 32=60, 33=03, 42=01, 45=02, "
        "46=02"},
    BlockValues{5, "2=80"},
    BlockValues{6, "0=20"},
    BlockValues{8, "0=41"},
    BlockValues{9, "19=01"},
    BlockValues{13,
                "0=A9, 1=9A, 8=18, 9=9A, 10=99, 11=A0, 16=1A, 17=A0, 24=1A, 25=60, 32=1A, 33=80, "
                "40=AA, 41=51, 48=AA, 49=52, 56=AA, 57=55, 64=AA, 65=45, 72=AA, 73=62"},
    BlockValues{15, "0=A0, 13=80, 14=90"},
    BlockValues{16,
                "0=7A, 1=71, 2=72, 3=73, 16=75, 22=77, 41=78, 42=79, 81=61, 82=62, 83=63, 84=64, "
                "85=65, 86=66"},
    BlockValues{17,
                "0=1A, 8=11, 16=12, 24=13, 64=14, 72=15, 80=16, 88=17, 256=18, 264=19, 272=2A, "
                "280=21"},
    BlockValues{18, "0=02, 8=02"},
    BlockValues{20, "8w=32, 12=30, 13=AA, 14=AA, 15=A0, 16=06, 18=0C, 25=80, 31=00, 32=45"},
    BlockValues{30, "1=A1, 2=2A, 9=A8, 10=AA"},
    BlockValues{34,
                "0=FF, 1=FF, 2=FF, 3=FF, 4=55, 5=55, 6=55, 7=55, 8=55, 9=5A, 10=AA, 11=AF, 12=FF, "
                "13=FF, 14=FF, 15=FF, 16=AA, 17=AA, 18=AA, 19=AA, 20=AA, 21=AA, 22=AA, 23=AF, "
                "24=FF, 25=FF, 26=FF, 27=FF, 28=AA, 29=AA, 30=AA, 31=AA, 32=AA, 33=AA, 34=AA, "
                "35=AF, 36=FF, 37=FF, 38=FF, 39=FF, 40=55, 41=55, 42=55, 43=55, 44=55, 45=5A, "
                "46=AA, 47=AF, 48=FF, 49=FF, 50=FF, 51=FF, 52=AA, 53=AA, 54=AA, 55=AA, 56=AA, "
                "57=AA, 58=AA, 59=AF, 60=FF, 61=FF, 62=FF, 63=FF, 64=AA, 65=AA, 66=AA, 67=AA, "
                "68=AA, 69=AA, 70=AA, 71=AF"},
    BlockValues{39, "24=01, 25=02, 26=03, 27=04"},
    BlockValues{40, "1=51, 4=10, 5=44, 8=33, 28=99, 35=05, 36=01, 38=18, 39=40, 40=18, 41=60"},
    BlockValues{55,
                "0=1C, 1=01, 2=08, 3=10, 4=21, 5=C0, 7=20, 8=53, 9=60, 10=0F, 12=04, 13=00, 14=31, "
                "15=53, 16=22, 17=72, 18=22, 19=22, 20=44, 21=13, 22=13"},
    BlockValues{57,
                "1=17, 2=70, 8w=168, 10w=168, 12w=1E0, 14=09, 21=11, 22=70, 28w=168, 30w=168, "
                "32w=1E0, 34=09, 41=A1, 42=2A, 61=A8, 62=AA"},
    BlockValues{58, "3=09"},
    BlockValues{61, "16=01"},
    BlockValues{63, "1=02, 2=01, 11=20"},
    BlockValues{78, "8=15"},
    BlockValues{80,
                "8=11, 9=09, 10=04, 11=0F, 12=80, 13=20, 17=00, 19=00, 20=00, 34=20, 35=01, 36=03, "
                "45=11, 46=01"},
    BlockValues{
        87,
        "4=AA, 10=A1, 11=2A, 16=A1, 17=8A, 22=A1, 23=9A, 28=A5, 29=7A, 34=A7, 35=A0, 40=10, "
        "46=A9, 47=9A, 52=A8, 53=AA"},
    BlockValues{89,
                "1=AA, 2=36, 3=00, 5=AA, 6=39, 7=00, 9=AA, 10=33, 11=00, 13=AA, 14=77, 15=00, "
                "17=AA, 18=88, 19=00"},
    BlockValues{90,
                "1=AA, 2=33, 3=00, 5=AA, 6=10, 7=00, 9=AA, 10=52, 11=00, 13=AA, 14=41, 15=00, "
                "17=AA, 18=61, 19=00, 21=AA, 22=45, 23=00, 25=AA, 26=62, 27=00"},
    BlockValues{99, "0=12, 1=20"},
    BlockValues{122,
                "0=5A, 1=5A, 117=01, 118=01, 119=02, 120=81, 121=03, 122=81, 123=11, 124=02, "
                "125=29, 126=04, 127=03, 128=05, 129=04, 130=05, 131=05, 132=05, 133=03, 134=11, "
                "135=23, 136=11, 137=23, 138=12"},
    BlockValues{128,
                "0=AA, 1=10, 2=01, 4=AA, 5=20, 6=01, 8=AA, 9=41, 10=02, 12=AA, 13=33, 14=03, "
                "16=AA, 17=61, 18=03"},
    BlockValues{132, "2=01"},
    BlockValues{139, "0=01"},
    BlockValues{148, "0=01, 1=02, 2=06, 3=0A"},
};

using ByteMap = std::map<std::size_t, std::uint8_t>;

// "8=0F, 8w=168" -> byte offsets and values.
ByteMap ParseValues(std::string_view text) {
    ByteMap bytes;
    std::istringstream in{std::string(text)};
    std::string item;
    while (std::getline(in, item, ',')) {
        const auto eq = item.find('=');
        std::string place = item.substr(0, eq);
        const bool word = place.back() == 'w';
        if (word) place.pop_back();
        const std::size_t offset = std::stoul(place);
        const unsigned long value = std::stoul(item.substr(eq + 1), nullptr, 16);
        bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
        if (word) bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    return bytes;
}

// Every block's expected factory bytes (listed values and the per-record patterns); a byte not
// in the map is 0.
std::map<int, ByteMap> ExpectedFactoryBlocks() {
    std::map<int, ByteMap> blocks;
    for (const auto& [block, text] : kFactoryBlockValues) {
        for (const auto& [offset, value] : ParseValues(text)) blocks[block][offset] = value;
    }
    // Block 6: five rows of 20 bytes from byte 8, the first four entries of each half 1-4.
    for (std::size_t row = 0; row < 5; ++row) {
        for (std::size_t e = 0; e < 4; ++e) {
            blocks[6][8 + 20 * row + e] = static_cast<std::uint8_t>(e + 1);
            blocks[6][8 + 20 * row + 10 + e] = static_cast<std::uint8_t>(e + 1);
        }
    }
    // Block 8: entries 1-3 of 8 bytes begin with 0x40.
    for (std::size_t entry = 1; entry < 4; ++entry) blocks[8][8 * entry] = 0x40;
    // Block 1: byte 0 of every 48-byte record.
    for (std::size_t r = 0; r < 128; ++r) blocks[1][48 * r] = 0xE4;
    // Block 3, bytes 28-31.
    for (std::size_t b = 28; b < 32; ++b) blocks[3][b] = 0xAA;
    // Records the documentation leaves open, chosen so that every factory value is one its own
    // command takes back, or the one a received *000 sets up: the *080 digit counts of first digits
    // 1-7 are two (as the *080 copy says), and every *165 and *166 record has kind 1.
    for (std::size_t d = 1; d <= 7; ++d) blocks[14][d] = 0x01;
    // The *9203 and *9204 values of entries 4 and 5 are those the setup list of a received *000
    // gives them (6 and 1).
    blocks[61][13] = 0x61;
    blocks[61][17] = 0x61;
    for (std::size_t r = 0; r < 16; ++r) {
        blocks[89][4 * r] = 0x01;
        blocks[90][4 * r] = 0x01;
    }
    return blocks;
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

constexpr std::string_view kFirstPointerArea = "0=24, 1=02, 4=1C, 5=09, 7=02, 8=01, 9=03, 16=01";
constexpr std::string_view kSecondPointerArea = "2=80, 3=AA, 4=10, 5=AA, 6=41, 7=AA, 8=61, 14=46";

template <std::size_t N>
std::array<std::uint8_t, N> AreaBytes(std::string_view text) {
    std::array<std::uint8_t, N> bytes{};
    for (const auto& [offset, value] : ParseValues(text)) bytes.at(offset) = value;
    return bytes;
}

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

// The completion of the fields that are still empty, applied to expected factory blocks.
void AddCompletion(std::map<int, ByteMap>& blocks) {
    for (std::size_t k = 0; k < 8; ++k) blocks[82][2 + 4 * k] = 0x10;
    for (std::size_t r = 0; r < 4; ++r) {
        blocks[85][12 * r + 1] = 0x02;
        blocks[85][12 * r + 8] = 0x01;
        blocks[85][12 * r + 6] = 90;
    }
    for (std::size_t k = 0; k < 4; ++k) {
        blocks[7][2 + 4 * k] = 16;
        blocks[7][3 + 4 * k] = 16;
    }
}

std::unique_ptr<DataImage> FactoryImage() {
    auto image = std::make_unique<DataImage>();
    LoadFactoryDefaults(*image);
    return image;
}

TEST(FactoryValuesCheck, ClearedImageTakesExactlyTheFactoryBlockBytes) {
    const auto image = FactoryImage();
    ExpectBlocksEqual(*image, ExpectedFactoryBlocks());
}

TEST(FactoryValuesCheck, SettingsOutsideTheBlocksTakeTheirFactoryValues) {
    const auto image = FactoryImage();
    std::array<std::uint8_t, static_cast<std::size_t>(SettingByte::kCount)> settings{};
    for (const auto& [setting, value] : kFactorySettingBytes) {
        settings[static_cast<std::size_t>(setting)] = value;
    }
    EXPECT_EQ(image->setting_bytes, settings);
    EXPECT_EQ(image->first_pointer_area, AreaBytes<kFirstPointerAreaBytes>(kFirstPointerArea));
    EXPECT_EQ(image->second_pointer_area, AreaBytes<kSecondPointerAreaBytes>(kSecondPointerArea));
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
// listed byte takes its value (zeros included) and every other byte keeps what it held.
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

    std::map<int, ByteMap> expected;
    for (int b = 0; b < kBlockCount; ++b) {
        for (std::size_t i = 0; i < image->Block(b).size(); ++i) expected[b][i] = 0x5C;
    }
    for (const auto& [block, bytes] : ExpectedFactoryBlocks()) {
        for (const auto& [offset, value] : bytes) expected[block][offset] = value;
    }
    ExpectBlocksEqual(*image, expected);
    EXPECT_EQ(image->service_code_value, 0u);
    auto first = AreaBytes<kFirstPointerAreaBytes>(kFirstPointerArea);
    for (const std::size_t kept : {2, 3, 6, 10, 11, 12, 13, 14, 15}) first[kept] = 0x5C;
    EXPECT_EQ(image->first_pointer_area, first);
    auto second = AreaBytes<kSecondPointerAreaBytes>(kSecondPointerArea);
    for (const std::size_t kept : {0, 1, 9, 10, 11, 12, 13, 15}) second[kept] = 0x5C;
    EXPECT_EQ(image->second_pointer_area, second);
    // The *9405 address has no value other than zero; zero is still its factory value.
    EXPECT_EQ(image->ip_settings.address_9405, (IpAddress{}));
}

TEST(FactoryValuesCheck, CompletionOfTheFactoryImage) {
    auto image = FactoryImage();
    CompleteDefaults(*image);
    auto expected = ExpectedFactoryBlocks();
    AddCompletion(expected);
    ExpectBlocksEqual(*image, expected);
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

// Profile 0's word table: rows 1-13, words 1-3.
constexpr std::array<std::array<unsigned, 3>, 13> kProfile0Words{{
    {360, 360, 480},
    {180, 180, 240},
    {120, 150, 180},
    {120, 150, 180},
    {90, 120, 180},
    {90, 120, 180},
    {90, 120, 180},
    {180, 180, 240},
    {120, 120, 150},
    {90, 120, 150},
    {60, 90, 120},
    {45, 52, 90},
    {45, 52, 90},
}};

struct ProfileEntry {
    std::array<std::uint8_t, 7> number_bytes;  // bytes 0-6
    unsigned word;                             // words 1-3
    std::uint8_t byte14;
};

struct Profile {
    unsigned id;
    std::array<std::uint8_t, 3> bytes;  // block 91
    std::array<std::array<unsigned, 3>, 13> words;
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
         kProfile0Words,
         {{0, 0, 0, 0, 0, 0, 0}, 0, 0},
         {{0, 0, 0, 0, 0, 0, 0}, 0, 0}},
    }};
    return profiles;
}

std::map<int, ByteMap> ExpectedProfileBytes(const Profile& p) {
    std::map<int, ByteMap> blocks;
    for (std::size_t i = 0; i < 3; ++i) blocks[kProfileByteBlock][i] = p.bytes[i];
    for (std::size_t r = 1; r <= 13; ++r) {
        for (std::size_t w = 1; w <= 3; ++w) {
            const unsigned v = p.words[r - 1][w - 1];
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
        for (const auto& [block, bytes] : ExpectedProfileBytes(p)) {
            for (const auto& [offset, value] : bytes) expected[block][offset] = value;
        }
        EXPECT_EQ(LoadDefaultSettings(*image, p.id), 0) << "profile " << p.id;
        SCOPED_TRACE(testing::Message() << "profile " << p.id);
        ExpectBlocksEqual(*image, expected);
    }
}

TEST(FactoryValuesCheck, ProfileOneThenZeroRestoresTheTable) {
    auto image = std::make_unique<DataImage>();
    ASSERT_EQ(LoadDefaultSettings(*image, 1), 0);
    ASSERT_EQ(LoadDefaultSettings(*image, 0), 0);
    ExpectBlocksEqual(*image, ExpectedProfileBytes(Profiles()[1]));
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
