// Start-up and the received command items, checked against tables written out here once more:
// the setup command list, the completion and pre-handling of received items, the image that
// start-up leaves, and the order of its steps where a later step shows over an earlier one.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "programming/data_image.h"
#include "programming/factory_defaults.h"
#include "programming/key_layout.h"
#include "programming/state.h"
#include "programming/terminal.h"
#include "settings/data_image_startup.h"

namespace qzs {
namespace {

// --- The setup commands, in the order they run ---

constexpr std::array<std::string_view, 81> kSetupList{
    "*05045#",
    "*05055#",
    "*05144#",
    "*05154#",
    "*05244#",
    "*05254#",
    "*1890#",
    "*4200#",
    "*82010#",
    "*82020#",
    "*82030#",
    "*82040#",
    "*82050#",
    "*82060#",
    "*82070#",
    "*82080#",
    "*82090#",
    "*9200401101#",
    "*9200402102#",
    "*9200403103#",
    "*9200404104#",
    "*9200405000#",
    "*9200406000#",
    "*9200407000#",
    "*9200408000#",
    "*9200409000#",
    "*9200410000#",
    "*9200501101#",
    "*9200502102#",
    "*9200503103#",
    "*9200504104#",
    "*9200505000#",
    "*9200506000#",
    "*9200507000#",
    "*9200508000#",
    "*9200509000#",
    "*9200510000#",
    "*9201401101#",
    "*9201402102#",
    "*9201403103#",
    "*9201404104#",
    "*9201405000#",
    "*9201406000#",
    "*9201407000#",
    "*9201408000#",
    "*9201409000#",
    "*9201410000#",
    "*9201501101#",
    "*9201502102#",
    "*9201503103#",
    "*9201504104#",
    "*9201505000#",
    "*9201506000#",
    "*9201507000#",
    "*9201508000#",
    "*9201509000#",
    "*9201510000#",
    "*920240#",
    "*920251#",
    "*920346#",
    "*920356#",
    "*920441#",
    "*920451#",
    "*9401109000000000000#",
    "*9401110000000000000#",
    "*9401111000000000000#",
    "*9401112000000000000#",
    "*940250000#",
    "*94191090#",
    "*94191100#",
    "*94191110#",
    "*94191120#",
    "*942013192168001113#",
    "*942110950109#",
    "*942111050110#",
    "*942111150111#",
    "*942111250112#",
    "*94221192168001255#",
    "*94222192168001255#",
    "*9423160000#",
    "*9423260002#",
};

TEST(StartupTablesCheck, SetupCommandsInOrder) {
    const auto list = SetupCommands();
    ASSERT_EQ(list.size(), kSetupList.size());
    for (std::size_t i = 0; i < kSetupList.size(); ++i) {
        EXPECT_EQ(list[i], kSetupList[i]) << "command " << i + 1;
    }
}

std::unique_ptr<ProgrammingState> StartedState() {
    auto state = std::make_unique<ProgrammingState>();
    InitDataImage(*state);
    return state;
}

// --- Received items: the text as received, the text after the completion, and whether the
// item is still to be run (1) or has been handled whole (0) ---

struct WebCase {
    const char* received;
    const char* prepared;  // nullptr: handled whole, the text is not looked at
    int answer;
};

constexpr std::array kWebCases{
    // Fields the main unit leaves empty.
    WebCase{"*361123#", "*36112300000#", 1},
    WebCase{"*3611234#", "*3611234#", 1},
    WebCase{"*6151234#", "*61512340#", 1},
    WebCase{"*6190111#", "*61901110#", 1},
    WebCase{"*6190112#", "*6190112#", 1},  // third key 2: left as it is
    WebCase{"*6901#", "*69010#", 1},
    WebCase{"*0851#", "*085100#", 1},
    WebCase{"*0832#", "*083200#", 1},
    WebCase{"*14212#", "*1421200000#", 1},
    WebCase{"*16812#", "*1681200000#", 1},
    WebCase{"*16501##", "*1650110#", 1},
    WebCase{"*16612##", "*1661210#", 1},
    WebCase{"*16501#", "*16501#", 1},  // position 7 holds no '#'
    WebCase{"*923312#", "*923312000#", 1},
    WebCase{"*92841234#", "*9284123400000#", 1},
    WebCase{"*164#", "*16400000#", 1},
    WebCase{"*163#", "*1630#", 1},
    WebCase{"*08912#", "*089120#", 1},
    WebCase{"*10312#", "*103120#", 1},
    WebCase{"*14112#", "*141120#", 1},
    WebCase{"*16212#", "*162120#", 1},
    WebCase{"*93061#", "*9306100000#", 1},
    WebCase{"*930812#", "*930812000000#", 1},
    WebCase{"*9521123#", "*95211230#", 1},
    WebCase{"*42312#", "*423120#", 1},
    WebCase{"*921012#", "*921012000#", 1},
    // A four-digit command is not read as the three-digit one it begins like.
    WebCase{"*9361#", "*9361#", 1},
    WebCase{"*361#", "*361#", 1},  // too short to reach position 7
    // Items handled whole.
    WebCase{"*0091050010020030040#", nullptr, 0},
    WebCase{"*01111007#", nullptr, 0},
    WebCase{"*0121051#", nullptr, 0},
    WebCase{"*0990123#", nullptr, 0},
    // Items written in part and run.
    WebCase{"*0301010507#", "*0301010507#", 1},
    WebCase{"*9504123456789#", "*9504123456789#", 1},
    WebCase{"*0030012345678#", "*0030012345678#", 1},
    WebCase{"*00315123456#", "*00315123456#", 1},
    WebCase{"*86011091463#", "*86011091463#", 1},
    WebCase{"*08100#", "*08100#", 1},
    WebCase{"*000#", "*000#", 1},
    WebCase{"*94107#", "*94107#", 1},
    WebCase{"*0211#", "*0211#", 1},
    WebCase{"*35101123#", "*35101123#", 1},
    WebCase{"*9311001234#", "*931100#", 1},
    WebCase{"*9311011234#", "*9311011234#", 1},
};

TEST(StartupTablesCheck, ReceivedItemsAreCompletedOrHandled) {
    for (const auto& c : kWebCases) {
        auto state = StartedState();
        std::string text = c.received;
        EXPECT_EQ(PrepareWebCommand(*state, text), c.answer) << c.received;
        if (c.prepared != nullptr) {
            EXPECT_EQ(text, c.prepared) << c.received;
        }
    }
}

// The places the items write directly.
struct DirectWriteCase {
    const char* received;
    void (*before)(ProgrammingState&);
    void (*check)(const ProgrammingState&);
};

void Nothing(ProgrammingState&) {}

bool All(std::span<const std::uint8_t> bytes, std::uint8_t value) {
    return std::ranges::all_of(bytes, [value](std::uint8_t b) { return b == value; });
}

const std::vector<DirectWriteCase>& DirectWriteCases() {
    static const std::vector<DirectWriteCase> cases{
        {"*0091050010020030040#", Nothing,
         [](const ProgrammingState& s) {
             // Position 105 is slot code 9: entry 8.
             EXPECT_EQ(s.image.counters_009[8], (std::array<std::uint8_t, 4>{10, 20, 30, 40}));
             EXPECT_EQ(s.image.counters_009[4], (std::array<std::uint8_t, 4>{}));
         }},
        {"*01111007#", Nothing,
         [](const ProgrammingState& s) {
             // Unit code 11 is slot 7.
             EXPECT_EQ(s.image.slot_config.alt_kind[7], 7);
             EXPECT_EQ(s.image.Block(178)[7], 7);
             EXPECT_EQ(s.image.slot_config.alt_kind[6], 255);
         }},
        {"*01112300#", Nothing,
         [](const ProgrammingState& s) {
             // Unit code 12 is slot 6; 300 is kept modulo 256.
             EXPECT_EQ(s.image.slot_config.alt_kind[6], 44);
             EXPECT_EQ(s.image.Block(178)[6], 44);
         }},
        {"*0121051#", Nothing,
         [](const ProgrammingState& s) {
             // Position 105 is slot code 9.
             EXPECT_EQ(FindTerminal(s.terminals, 9)->attributes[0], 0);
             EXPECT_EQ(FindTerminal(s.terminals, 5)->attributes[0], kTerminalTypeDefault);
         }},
        {"*0121010#", [](ProgrammingState& s) { FindTerminal(s.terminals, 1)->attributes[0] = 0; },
         [](const ProgrammingState& s) {
             EXPECT_EQ(FindTerminal(s.terminals, 1)->attributes[0], 0xA3);
         }},
        {"*0990123#", Nothing,
         [](const ProgrammingState& s) { EXPECT_EQ(s.image.Block(39)[16 + 24 * 1], 2 * 64 + 3); }},
        {"*0301010507#", Nothing,
         [](const ProgrammingState& s) {
             // Code 7 onto key 5 of telephone 1; key 7, which held code 7, is emptied.
             EXPECT_EQ(KeyEntry(s.image, 1, 5)[0], 0x0C);
             EXPECT_EQ(KeyEntry(s.image, 1, 5)[1], 0x07);
             EXPECT_EQ(KeyEntry(s.image, 1, 7)[1], 0x00);
         }},
        {"*03010105980#", Nothing,
         [](const ProgrammingState& s) {
             // Three digits of code when position 11 is not '#'; key 31 held 980.
             EXPECT_EQ(KeyEntry(s.image, 1, 5)[0], 0x9C);
             EXPECT_EQ(KeyEntry(s.image, 1, 5)[1], 0x80);
             EXPECT_EQ(KeyEntry(s.image, 1, 31)[0], 0x0C);
             EXPECT_EQ(KeyEntry(s.image, 1, 31)[1], 0x00);
         }},
        {"*9504123456789#", Nothing,
         [](const ProgrammingState& s) {
             EXPECT_EQ(s.image.number_9504, (std::array<std::uint8_t, 4>{0x07, 0x5B, 0xCD, 0x15}));
         }},
        {"*0030012345678#",
         [](ProgrammingState& s) {
             s.image.slot_config.alt_kind[3] = 1;
             s.image.Block(178)[3] = 1;
         },
         [](const ProgrammingState& s) {
             EXPECT_EQ(s.image.text_003,
                       (std::array<std::uint8_t, 6>{'1', '2', '-', '3', '4', '-'}));
             EXPECT_TRUE(All(s.image.slot_config.alt_kind, 255));
             EXPECT_TRUE(All(s.image.Block(178), 255));
         }},
        {"*00315123456#", Nothing,
         [](const ProgrammingState& s) {
             EXPECT_EQ(s.image.Setting(SettingByte::kCardInformation), 1);
         }},
        {"*86011091463#", Nothing,
         [](const ProgrammingState& s) {
             // Record 1: flag 1, code 46, digit 3; position 109 is slot code 33.
             EXPECT_EQ(s.image.ip_settings.table_860[0],
                       (std::array<std::uint8_t, 3>{8 + 32 + 3, 0, 33}));
         }},
        {"*08100#", Nothing,
         [](const ProgrammingState& s) {
             EXPECT_EQ(s.image.Block(15)[0], 0);
             EXPECT_EQ(s.image.Block(16)[0], 0);
             EXPECT_EQ(s.image.Block(17)[0], 0);
             EXPECT_EQ(s.image.Block(17)[256], 0);
         }},
        {"*000#",
         [](ProgrammingState& s) {
             // Row 4 of block 6: entry 1 (code 1) and entry 5 (empty) from the setup list.
             s.image.Block(6)[68] = 0x55;
             s.image.Block(6)[72] = 0x55;
         },
         [](const ProgrammingState& s) {
             EXPECT_EQ(s.image.Block(6)[68], 1);
             EXPECT_EQ(s.image.Block(6)[72], 0);
         }},
        {"*94107#", Nothing,
         [](const ProgrammingState& s) { EXPECT_EQ(s.image.Setting(SettingByte::k9410), '7'); }},
        {"*0211#", Nothing,
         [](const ProgrammingState& s) {
             EXPECT_EQ(s.image.Setting(SettingByte::k021Flag), 1);
             EXPECT_EQ(s.image.Setting(SettingByte::k021Status), 16);
         }},
        {"*0210#", [](ProgrammingState& s) { s.image.Setting(SettingByte::k021Status) = 16; },
         [](const ProgrammingState& s) {
             EXPECT_EQ(s.image.Setting(SettingByte::k021Flag), 1);
             EXPECT_EQ(s.image.Setting(SettingByte::k021Status), 0);
         }},
    };
    return cases;
}

TEST(StartupTablesCheck, ReceivedItemsWriteTheirPlaces) {
    for (const auto& c : DirectWriteCases()) {
        SCOPED_TRACE(c.received);
        auto state = StartedState();
        c.before(*state);
        std::string text = c.received;
        PrepareWebCommand(*state, text);
        c.check(*state);
    }
}

// --- The image start-up leaves ---

using ByteMap = std::map<std::size_t, std::uint8_t>;

// Start-up's own bytes over the completed factory image (the factory bytes are checked on their
// own; here only what start-up adds, changes or must leave untouched). Blocks 119/120 and 176
// hold the default key layouts and are not looked at here.
void ExpectStartupBlocks(const DataImage& image) {
    auto reference = std::make_unique<DataImage>();
    LoadFactoryDefaults(*reference);
    CompleteDefaults(*reference);
    std::map<int, ByteMap> changes;
    for (std::size_t i = 0; i < 4; ++i) {
        changes[0][i] = kImageSignature[i];
        changes[158][i] = kImageSignature[i];
        changes[159][i] = kImageSignature[i];
    }
    changes[126][0] = 1;
    changes[160][0] = 1;
    for (std::size_t row = 0; row < 600; ++row) changes[169][71 * row + 67] = 1;
    for (std::size_t i = 0; i < 27; ++i) {
        changes[178][i] = 255;
        changes[179][i] = 255;
    }
    for (int b = 0; b < kBlockCount; ++b) {
        if (b == 119 || b == 120 || b == 176) continue;
        const auto got = image.Block(b);
        const auto want = reference->Block(b);
        int reported = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            std::uint8_t expected = want[i];
            if (const auto it = changes.find(b); it != changes.end()) {
                if (const auto v = it->second.find(i); v != it->second.end()) expected = v->second;
            }
            if (got[i] != expected && reported++ < 8) {
                ADD_FAILURE() << "block " << b << " byte " << i << ": 0x" << std::hex << int{got[i]}
                              << ", expected 0x" << int{expected};
            }
        }
    }
}

TEST(StartupTablesCheck, StartedImage) {
    const auto state = StartedState();
    ExpectStartupBlocks(state->image);
    // The byte that start-up sets before the blocks are cleared does not outlive the clearing.
    EXPECT_EQ(state->image.Block(55)[11], 0);
}

TEST(StartupTablesCheck, StartedSettingsOutsideTheBlocks) {
    const auto state = StartedState();
    const DataImage& image = state->image;
    EXPECT_EQ(image.ip_settings.reserved_port_number, (PortNumberBytes{8080 & 0xFF, 8080 >> 8}));
    EXPECT_EQ(image.ip_settings.address_settings[0], (IpAddress{192, 168, 1, 100}));
    EXPECT_EQ(image.ip_settings.address_settings[1], (IpAddress{255, 255, 255, 0}));
    EXPECT_EQ(image.ip_settings.address_settings[2], (IpAddress{192, 168, 1, 2}));
    EXPECT_EQ(image.ip_settings.port_9402, (PortNumberBytes{50000 & 0xFF, 50000 >> 8}));
    EXPECT_EQ(image.ip_settings.port_address_table[32][6], 50109 & 0xFF);
    EXPECT_EQ(image.ip_settings.port_address_table[35][7], 50112 >> 8);
    EXPECT_TRUE(All(image.slot_config.alt_kind, 255));
    EXPECT_EQ(image.Setting(SettingByte::k9307), 0x11);
    EXPECT_EQ(image.completion_bytes, (std::array<std::uint8_t, 5>{0x01, 0x44, 0x01, 0x02, 0x01}));
    EXPECT_EQ(image.defaults_marker, kDefaultsMarker);
    for (unsigned t = 1; t <= kTerminalCount; ++t) {
        EXPECT_EQ(FindTerminal(state->terminals, t)->attributes[0], 0xA3) << "terminal " << t;
    }
    const auto blanks = [](const auto& field, std::size_t n) {
        return std::all_of(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(n),
                           [](char c) { return c == ' '; });
    };
    EXPECT_TRUE(blanks(state->user_information.user_name, 24));
    EXPECT_TRUE(blanks(state->user_information.person_in_charge, 24));
    EXPECT_TRUE(blanks(state->user_information.telephone_number, 24));
    EXPECT_TRUE(blanks(state->user_information.installation_date, 24));
    EXPECT_TRUE(blanks(state->user_information.area_code, 10));
    EXPECT_TRUE(blanks(state->user_information.memo, 72));
}

// What start-up clears, given a state that has been used.
TEST(StartupTablesCheck, StartupClearsAUsedState) {
    auto state = std::make_unique<ProgrammingState>();
    state->image.Block(50)[0] = 9;    // area 0
    state->image.Block(130)[5] = 9;   // area 1
    state->image.Block(171)[10] = 9;  // area 2
    state->modified.bytes.fill(0xFF);
    state->key_input.outcome = kOutcomeKeyNotice;
    state->key_input.notice_terminal = 3;
    FindTerminal(state->terminals, 5)->state = 7;
    FindTerminal(state->terminals, 5)->line.Append("12");
    InitDataImage(*state);
    EXPECT_EQ(state->image.Block(50)[0], 0);
    EXPECT_EQ(state->image.Block(130)[5], 0);
    EXPECT_EQ(state->image.Block(171)[10], 0);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(state->modified.bytes[i], 0) << i;
    EXPECT_EQ(state->key_input.outcome, 0);
    EXPECT_EQ(state->key_input.notice_terminal, 0);
    EXPECT_EQ(FindTerminal(state->terminals, 5)->state, 0);
    EXPECT_EQ(FindTerminal(state->terminals, 5)->line.Cursor(), 0);
    EXPECT_EQ(FindTerminal(state->terminals, 5)->line.At(0), 0);
}

// --- The order of the steps: factory values that later steps overwrite or act on ---

std::vector<FactoryValue> WithExtra(std::initializer_list<FactoryValue> extra) {
    std::vector<FactoryValue> values(BuiltInFactoryValues().begin(), BuiltInFactoryValues().end());
    values.insert(values.end(), extra.begin(), extra.end());
    return values;
}

FactoryValue BlockByte(std::uint16_t block, std::uint16_t offset, std::uint8_t value) {
    return {FactoryPlace::kBlock, block, offset, 1, value};
}

struct OrderCase {
    const char* what;
    FactoryValue extra;
    int block;
    std::size_t offset;
    std::uint8_t after;
};

const std::vector<OrderCase>& OrderCases() {
    static const std::vector<OrderCase> cases{
        // The factory values come after the byte that start-up sets first.
        {"block 55 byte 11 from the factory values", BlockByte(55, 11, 0x42), 55, 11, 0x42},
        // The completion comes after the factory values: a value there is kept.
        {"completion keeps a factory value", BlockByte(7, 2, 5), 7, 2, 5},
        {"completion keeps a factory value", BlockByte(82, 6, 0x20), 82, 6, 0x20},
        // Steps after the factory values overwrite them.
        {"speed-dial mode", BlockByte(160, 0, 2), 160, 0, 1},
        {"block 126 byte 0", BlockByte(126, 0, 7), 126, 0, 1},
        {"system speed-dial row cleared", BlockByte(169, 0, 0x12), 169, 0, 0},
        {"telephone speed-dial row cleared", BlockByte(169, 71 * 600, 0x12), 169, 71 * 600, 0},
        {"number index cleared", BlockByte(171, 4, 0x12), 171, 4, 0},
        {"signature", BlockByte(0, 1, 0x12), 0, 1, 0x5A},
        {"signature copy", BlockByte(158, 3, 0x12), 158, 3, 0xFF},
        {"work area 164 cleared", BlockByte(164, 0, 0x12), 164, 0, 0},
        {"work area 164 second half cleared", BlockByte(164, 517, 0x12), 164, 517, 0},
        {"work area 164 between the halves kept", BlockByte(164, 258, 0x12), 164, 258, 0x12},
        {"work area 165 cleared", BlockByte(165, 19, 0x12), 165, 19, 0},
        {"work area 166 cleared", BlockByte(166, 0, 0x12), 166, 0, 0},
        {"card types", BlockByte(178, 4, 3), 178, 4, 255},
        {"model type taken and cleared", BlockByte(105, 0, 3), 105, 0, 0},
        {"layout copy bits cleared", BlockByte(3, 25, 0x0B), 3, 25, 0x08},
    };
    return cases;
}

TEST(StartupTablesCheck, LaterStepsActOnTheFactoryValues) {
    for (const auto& c : OrderCases()) {
        SCOPED_TRACE(c.what);
        auto state = std::make_unique<ProgrammingState>();
        InitDataImage(*state, WithExtra({c.extra}));
        EXPECT_EQ(state->image.Block(c.block)[c.offset], c.after);
    }
}

TEST(StartupTablesCheck, ModelTypeFromTheFactoryValuesPlacesItsKeys) {
    auto state = std::make_unique<ProgrammingState>();
    InitDataImage(*state, WithExtra({BlockByte(105, 0, 3)}));
    // Model type 3: codes 935, 937, 938, 939 on keys 13-16.
    const std::array<std::uint8_t, 4> codes{0x35, 0x37, 0x38, 0x39};
    for (unsigned k = 0; k < 4; ++k) {
        EXPECT_EQ(KeyEntry(state->image, 1, 13 + k)[0], 0x9C);
        EXPECT_EQ(KeyEntry(state->image, 1, 13 + k)[1], codes[k]);
        EXPECT_EQ(KeyEntry(state->image, 2, 13 + k)[1], codes[k]);
    }
}

// A feature that the default layouts leave alone, set on the template telephone 1 by the factory
// values: the copies triggered by block 3, byte 25 carry it to the other telephones.
TEST(StartupTablesCheck, LayoutCopiesFollowTheFactoryValues) {
    auto probe = std::make_unique<DataImage>();
    const std::size_t feature_offset = static_cast<std::size_t>(
        FeatureEntry(*probe, 1, 100) - probe->Block(kKeyLayoutBlock).data());
    struct Copy {
        std::uint8_t bits;
        std::uint8_t feature_value;
        bool copied;
    };
    for (const Copy& c : {Copy{0x01, 130, true}, Copy{0x02, 155, true}, Copy{0x00, 130, false},
                          Copy{0x01, 155, false}}) {
        SCOPED_TRACE(testing::Message()
                     << "bits " << int{c.bits} << " value " << int{c.feature_value});
        auto state = std::make_unique<ProgrammingState>();
        InitDataImage(*state, WithExtra({BlockByte(3, 25, static_cast<std::uint8_t>(0x08 | c.bits)),
                                         BlockByte(kKeyLayoutBlock,
                                                   static_cast<std::uint16_t>(feature_offset),
                                                   c.feature_value)}));
        EXPECT_EQ(*FeatureEntry(state->image, 1, 100), c.feature_value);
        EXPECT_EQ(*FeatureEntry(state->image, 2, 100), c.copied ? c.feature_value : 0);
        EXPECT_EQ(*FeatureEntry(state->image, 17, 100), 0);  // telephones 17-20 keep their own
        EXPECT_EQ(state->image.Block(3)[25], 0x08);
    }
}

}  // namespace
}  // namespace qzs
