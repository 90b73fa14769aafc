#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "programming/data_image.h"
#include "programming/handler_table.h"
#include "programming/key_layout.h"
#include "programming/slot_queries.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"
#include "settings/form_command.h"

namespace qzs {
namespace {

using Entry = std::array<std::uint8_t, 2>;

class WebCommandTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();
    std::unique_ptr<ProgrammingState> fresh = std::make_unique<ProgrammingState>();
    DataImage& image = state->image;

    void SetUp() override {
        InitDataImage(*state);
        InitDataImage(*fresh);
    }
    int Prepare(std::string& text) { return PrepareWebCommand(*state, text); }
    bool ImageUnchanged() {
        return std::memcmp(&image, &fresh->image, sizeof(DataImage)) == 0 &&
               std::memcmp(&state->terminals, &fresh->terminals, sizeof(TerminalRecords)) == 0;
    }
    Entry Key(unsigned telephone, unsigned key) {
        const std::uint8_t* e = KeyEntry(image, telephone, key);
        return {e[0], e[1]};
    }
};

TEST_F(WebCommandTest, FillInsCompleteWhatTheMainUnitLeavesEmpty) {
    struct Case {
        std::string_view received;
        std::string_view prepared;
    };
    const Case cases[] = {
        {"*361123#", "*36112300000#"},
        {"*36112#", "*36112#"},  // "#" at 6, not 7
        {"*6151234#", "*61512340#"},
        {"*6190121#", "*61901210#"},  // *619 only with "1" at 7
        {"*6190122#", "*6190122#"},
        {"*6902#", "*69020#"},
        {"*0851#", "*085100#"},
        {"*0852#0800", "*085200#"},  // the text from the "#" on is replaced
        {"*0851080017001#", "*0851080017001#"},
        {"*0833#", "*083300#"},
        {"*14201#", "*1420100000#"},
        {"*16801#", "*1680100000#"},
        {"*168011#", "*168011#"},
        {"*165011#", "*1650110#"},  // *165 and *166: "#" at 7, replaced from 6
        {"*166021#", "*1660210#"},
        {"*16501#", "*16501#"},
        {"*923312#", "*923312000#"},
        {"*92841234#", "*9284123400000#"},
        {"*164#", "*16400000#"},
        {"*163#", "*1630#"},
        {"*08901#", "*089010#"},
        {"*10301#", "*103010#"},
        {"*14101#", "*141010#"},
        {"*16201#", "*162010#"},
        {"*93061#", "*9306100000#"},
        {"*930812#", "*930812000000#"},
        {"*9521123#", "*95211230#"},
        {"*42301#", "*423010#"},
        {"*921012#", "*921012000#"},
        {"*083#", "*083#"},    // "#" at 4, not 5
        {"*0021#", "*0021#"},  // no fill-in for other commands
        {"*085", "*085"},      // nothing past the end is read
    };
    for (const Case& c : cases) {
        std::string text(c.received);
        EXPECT_EQ(Prepare(text), 1) << c.received;
        EXPECT_EQ(text, c.prepared) << c.received;
    }
}

// --- Items written directly and not run ---

TEST_F(WebCommandTest, ItemsWrittenDirectlyAreNotRun) {
    std::string counters = "*009101#001002003004#";
    EXPECT_EQ(Prepare(counters), 0);
    EXPECT_EQ(image.counters_009[0], (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    std::string counters105 = "*009105#255000000009#";  // position 105 is port code 9
    EXPECT_EQ(Prepare(counters105), 0);
    EXPECT_EQ(image.counters_009[8], (std::array<std::uint8_t, 4>{255, 0, 0, 9}));

    std::string slot = "*01111031#";
    EXPECT_EQ(RunWebCommand(*state, slot), 0);
    EXPECT_EQ(image.slot_config.alt_kind[7], 31);
    EXPECT_EQ(*image.BlockByte(178, 7), 31);
    std::string slot300 = "*01114300#";  // the value is taken modulo 256
    EXPECT_EQ(Prepare(slot300), 0);
    EXPECT_EQ(image.slot_config.alt_kind[12], 44);
    EXPECT_EQ(*image.BlockByte(179, 12), 44);

    std::string absent = "*0121011#";
    EXPECT_EQ(Prepare(absent), 0);
    EXPECT_EQ(state->terminals[0].attributes[0], 0);
    std::string present = "*0121010#";
    EXPECT_EQ(Prepare(present), 0);
    EXPECT_EQ(state->terminals[0].attributes[0], 0xA3);

    std::string row = "*0990311#";
    EXPECT_EQ(Prepare(row), 0);
    EXPECT_EQ(*image.BlockByte(39, 16 + 24 * 3), 65);

    // None of them reached the keypad: terminal 1 never saw a key.
    EXPECT_EQ(state->terminals[0].line.Cursor(), 0);
    EXPECT_EQ(state->terminals[0].line.At(0), '\0');
}

TEST_F(WebCommandTest, BadItemsThatAreNotRunLeaveTheImageAlone) {
    const std::string_view cases[] = {
        "*009000#001002003004#",  // telephone 000: no port
        "*009201#001002003004#",  // 201 maps to no port code
        "*009803#001002003004#",  // (8 - 1) x 36 + 3 = 255
        "*009429#001002003004#",  // port code 137: beyond the 128 ports
        "*009101#256000000000#",  // a counter is one byte
        "*009101#0010020030a4#",
        "*009101#00100200300#",  // the last counter cut short
        "*009101",
        "*01110031#",  // unit 10 has no slot
        "*01115031#",  // unit 15 neither (the table answers 27)
        "*01199031#",
        "*0111a031#",
        "*0111103#",
        "*0120001#",  // telephone code 0
        "*0122011#",
        "*0128031#",  // code 255
        "*0124291#",  // code 137
        "*0129#",
        "*0990391#",  // 9 x 64 + 1 does not fit a byte
        "*099031",
        "*099",
    };
    for (std::string_view c : cases) {
        std::string text(c);
        EXPECT_EQ(Prepare(text), 0) << c;
        EXPECT_EQ(text, c);
        EXPECT_TRUE(ImageUnchanged()) << c;
    }
}

// --- Items written directly and then run ---

TEST_F(WebCommandTest, NumberOf9504IsStoredMostSignificantFirst) {
    std::string text = "*9504000123456#";
    EXPECT_EQ(Prepare(text), 1);
    EXPECT_EQ(image.number_9504, (std::array<std::uint8_t, 4>{0x00, 0x01, 0xE2, 0x40}));
    std::string bad = "*9504000a23456#";
    EXPECT_EQ(Prepare(bad), 1);
    EXPECT_EQ(image.number_9504, (std::array<std::uint8_t, 4>{0x00, 0x01, 0xE2, 0x40}));
    std::string largest = "*9504999999999#";
    EXPECT_EQ(Prepare(largest), 1);
    EXPECT_EQ(image.number_9504, (std::array<std::uint8_t, 4>{0x3B, 0x9A, 0xC9, 0xFF}));
}

TEST_F(WebCommandTest, CardInformationOf003) {
    const auto long_field = [&](std::size_t record) {
        const SlotRecord& r = image.slot_config.records[record];
        return std::string(r.begin() + kSlotLongFieldByte, r.begin() + kSlotLongFieldByte + 6);
    };
    image.slot_config.alt_kind[3] = 9;
    *image.BlockByte(178, 3) = 9;
    std::string key00 = "*00300ABCD#";
    EXPECT_EQ(Prepare(key00), 1);
    EXPECT_EQ(image.slot_config.alt_kind[3], 255);
    EXPECT_EQ(*image.BlockByte(178, 3), 255);
    EXPECT_EQ(std::string(image.text_003.begin(), image.text_003.end()), "AB-CD-");

    std::string key11 = "*00311ABCDE#";  // unit 11 is slot 7, whose card text is record 8
    EXPECT_EQ(Prepare(key11), 1);
    EXPECT_EQ(image.slot_config.records[8][kSlotLongLengthByte], 5);
    EXPECT_EQ(long_field(8), "ABCDE-");
    EXPECT_EQ(image.slot_config.unit_kind[7], 20);

    std::string key13 = "*00313WXYZ#";  // unit 13 is slot 8
    EXPECT_EQ(Prepare(key13), 1);
    EXPECT_EQ(long_field(9), "WXYZ--");
    EXPECT_EQ(image.slot_config.unit_kind[8], 20);

    std::string key15 = "*003151.00#";  // unit 15: record 28 and the card-information flag
    EXPECT_EQ(Prepare(key15), 1);
    EXPECT_EQ(long_field(28), "1.00--");
    EXPECT_EQ(image.Setting(SettingByte::kCardInformation), 1);
    std::string key15_full = "*003151.00AB#";
    EXPECT_EQ(Prepare(key15_full), 1);
    EXPECT_EQ(long_field(28), "1.00AB");

    // Empty or short texts write nothing.
    const auto before = std::make_unique<DataImage>(image);
    for (std::string text : {"*00311#", "*00311ABC#", "*00313AB#", "*00315#", "*00315AB#",
                             "*00314ABCDE#", "*003", "*003x1ABCDE#"}) {
        EXPECT_EQ(Prepare(text), 1) << text;
        EXPECT_EQ(std::memcmp(before.get(), &image, sizeof(DataImage)), 0) << text;
    }
}

TEST_F(WebCommandTest, Records860AreNumberedOneToFour) {
    std::string text = "*8602#051461#";
    EXPECT_EQ(Prepare(text), 1);
    // Position 05 is slot code 9; flag 1 x 8, code 46 -> 32, digit 1.
    EXPECT_EQ(image.ip_settings.table_860[1], (std::array<std::uint8_t, 3>{41, 0, 9}));
    const std::string_view codes[] = {"*8601#010890#", "*8603#010000#", "*8604#120127#"};
    const std::array<std::uint8_t, 3> expected[] = {{48, 0, 1}, {16, 0, 1}, {7, 0, 36}};
    for (std::size_t i = 0; i < 3; ++i) {
        std::string t(codes[i]);
        Prepare(t);
    }
    EXPECT_EQ(image.ip_settings.table_860[0], expected[0]);
    EXPECT_EQ(image.ip_settings.table_860[2], expected[1]);
    EXPECT_EQ(image.ip_settings.table_860[3], expected[2]);

    const auto before = std::make_unique<DataImage>(image);
    for (std::string bad : {"*8600#051461#", "*8605#051461#", "*8609#051461#", "*860x#051461#",
                            "*8601#05146", "*8601#0514a1#"}) {
        EXPECT_EQ(Prepare(bad), 1) << bad;
        EXPECT_EQ(std::memcmp(before.get(), &image, sizeof(DataImage)), 0) << bad;
    }
}

TEST_F(WebCommandTest, SmallDirectWrites) {
    std::string clear081 = "*08100#";
    ASSERT_EQ(*image.BlockByte(15, 0), 0xA0);  // a factory code
    EXPECT_EQ(Prepare(clear081), 1);
    EXPECT_EQ(*image.BlockByte(15, 0), 0);
    EXPECT_EQ(*image.BlockByte(17, 0), 0);
    *image.BlockByte(15, 0) = 0xA0;
    std::string store081 = "*08101#";
    EXPECT_EQ(Prepare(store081), 1);
    EXPECT_EQ(*image.BlockByte(15, 0), 0xA0);

    std::string v9410 = "*94105#";
    EXPECT_EQ(Prepare(v9410), 1);
    EXPECT_EQ(image.Setting(SettingByte::k9410), '5');
    std::string empty9410 = "*9410#";
    EXPECT_EQ(Prepare(empty9410), 1);
    EXPECT_EQ(image.Setting(SettingByte::k9410), '5');

    std::string on021 = "*0211#";
    EXPECT_EQ(Prepare(on021), 1);
    EXPECT_EQ(image.Setting(SettingByte::k021Flag), 1);
    EXPECT_EQ(image.Setting(SettingByte::k021Status), 16);
    std::string off021 = "*0210#";
    EXPECT_EQ(Prepare(off021), 1);
    EXPECT_EQ(image.Setting(SettingByte::k021Status), 0);

    std::string cut9311 = "*931100123#";
    EXPECT_EQ(Prepare(cut9311), 1);
    EXPECT_EQ(cut9311, "*931100#");
    std::string kept9311 = "*931101123#";
    EXPECT_EQ(Prepare(kept9311), 1);
    EXPECT_EQ(kept9311, "*931101123#");
}

TEST_F(WebCommandTest, AReceived000RunsTheSetupCommandsFirst) {
    std::string text = "*000#";
    EXPECT_EQ(Prepare(text), 1);
    RunSetupCommandList(*fresh);
    EXPECT_EQ(std::memcmp(&fresh->image, &image, sizeof(DataImage)), 0);
    // *9200 entry 4,01 is one of the setup commands.
    EXPECT_NE(std::string_view(RunCommand(*state, 1, "*9200401#")).find("101c"),
              std::string_view::npos);
}

// The stores of *085 (slot 103) and *351 (slot 71) record what reached them, so the completed
// text and the order of two commands show.
std::vector<std::string> g_stored_lines;
std::uint8_t RecordStore(ProgrammingState&, TerminalRecord& record) {
    g_stored_lines.emplace_back(record.line.Text().substr(0, record.line.Cursor()));
    return kHandlerAccepted;
}

class RecordedStoreTest : public WebCommandTest {
  protected:
    CommandHandlerTable handlers = BuiltInHandlerTable();
    void SetUp() override {
        WebCommandTest::SetUp();
        handlers.store[71] = &RecordStore;
        handlers.store[103] = &RecordStore;
        state->keypad.handler_table = &handlers;
        g_stored_lines.clear();
    }
};

TEST_F(RecordedStoreTest, AReceived085IsRunWithItsFillIn) {
    std::string text = "*0851#";
    EXPECT_EQ(RunWebCommand(*state, text), 0);
    ASSERT_EQ(g_stored_lines.size(), 1u);
    EXPECT_EQ(g_stored_lines[0], "085=1-00");
}

TEST_F(RecordedStoreTest, AReceived351IsClearedBeforeItIsStored) {
    std::string text = "*35103101112345678#";
    EXPECT_EQ(RunWebCommand(*state, text), 0);
    ASSERT_EQ(g_stored_lines.size(), 2u);
    EXPECT_EQ(g_stored_lines[0].substr(0, 11), "351=03-000,");
    EXPECT_EQ(g_stored_lines[1].substr(0, 11), "351=03-101,");
}

// --- The key assignment of *030 ---

TEST_F(WebCommandTest, AReceived030AssignsTheKeyAndIsRun) {
    struct Case {
        std::string_view text;
        unsigned telephone, key;
        Entry entry;
        unsigned cleared_key;  // the key that held the same code before; 0 for none
    };
    const Case cases[] = {
        {"*03010105980#", 1, 5, {0x9C, 0x80}, 31},
        {"*0301010507#", 1, 5, {0x0C, 0x07}, 7},     // a two-digit code ends with "#"
        {"*03010199975#", 1, 31, {0x9C, 0x75}, 0},   // key 99 is key 31
        {"*03010505980#", 9, 5, {0x9C, 0x80}, 31},   // position 105 is telephone 9
        {"*03011212002#", 36, 12, {0x0C, 0x02}, 2},  // 112 is telephone 36,
    };
    for (const Case& c : cases) {
        SetUp();
        std::string text(c.text);
        EXPECT_EQ(Prepare(text), 1) << c.text;
        EXPECT_EQ(Key(c.telephone, c.key), c.entry) << c.text;
        if (c.cleared_key != 0) {
            EXPECT_EQ(Key(c.telephone, c.cleared_key), (Entry{0x0C, 0})) << c.text;
        }
    }
}

TEST_F(WebCommandTest, A030ThatNamesNoTelephoneKeyOrCodeChangesNoKey) {
    const std::string_view cases[] = {
        "*03020105980#",  // 201: the whole position counts, so this is no telephone 1
        "*03000005980#",
        "*03010133980#",  // key 33
        "*03010100980#",
        "*03010105809#",  // no function has code 809
        "*03010105933#",
        "*030101059#",  // cut short
        "*0301010",      "*030a0105980#",
    };
    for (std::string_view c : cases) {
        std::string text(c);
        EXPECT_EQ(Prepare(text), 1) << c;
        EXPECT_TRUE(ImageUnchanged()) << c;
    }
}

TEST_F(WebCommandTest, TheFormRuleEndsATwoDigitCodeWithABlank) {
    KeyEntry(image, 1, 9)[0] = 0x9C;
    KeyEntry(image, 1, 9)[1] = 0x75;
    EXPECT_TRUE(ApplyKeyAssignmentCommand(*state, "*03010105975", ' '));
    EXPECT_EQ(Key(1, 5), (Entry{0x9C, 0x75}));
    EXPECT_EQ(Key(1, 9), (Entry{0x0C, 0x00}));
    EXPECT_TRUE(ApplyKeyAssignmentCommand(*state, "*0301010604 ", ' '));
    EXPECT_EQ(Key(1, 6), (Entry{0x0C, 0x04}));
    EXPECT_EQ(Key(1, 4), (Entry{0x0C, 0x00}));
    // A "#" after two digits is no blank: the three characters are read and refused.
    EXPECT_FALSE(ApplyKeyAssignmentCommand(*state, "*0301010604#", ' '));
    EXPECT_FALSE(ApplyKeyAssignmentCommand(*state, "*0311010604 ", ' '));
}

TEST(AssignableKeyCodes, TheListedRanges) {
    for (unsigned code : {0u,   8u,   801u, 806u, 851u, 864u, 877u, 888u, 899u, 907u, 927u, 932u,
                          934u, 935u, 938u, 958u, 964u, 972u, 975u, 990u, 992u, 996u, 998u, 999u}) {
        EXPECT_TRUE(IsAssignableKeyCode(code)) << code;
    }
    for (unsigned code : {9u,   800u, 807u, 850u, 855u, 860u, 865u, 876u, 889u, 898u, 908u,
                          926u, 933u, 936u, 937u, 959u, 963u, 973u, 974u, 991u, 997u, 1000u}) {
        EXPECT_FALSE(IsAssignableKeyCode(code)) << code;
    }
}

// Every prefix of the items that are written directly: nothing is read past the end of a text
// (the sanitizer build watches), and an item that is not run writes nothing until it holds every
// position its rule reads.
TEST_F(WebCommandTest, CutItemsAreSafe) {
    struct Item {
        std::string_view text;
        std::size_t complete;  // length from which a not-run item writes; 0 for items run
    };
    const Item items[] = {
        {"*009101#001002003004#", 20},
        {"*01111031#", 9},
        {"*0121011#", 8},
        {"*0990311#", 8},
        {"*9504000123456#", 0},
        {"*00311ABCDE#", 0},
        {"*003151.00AB#", 0},
        {"*8602#051461#", 0},
        {"*03010105980#", 0},
        {"*931100123#", 0},
        {"*0851#", 0},
        {"*165011#", 0},
        {"*94105#", 0},
        {"*0211#", 0},
        {"*08100#", 0},
    };
    for (const Item& item : items) {
        for (std::size_t n = 0; n < item.text.size(); ++n) {
            SetUp();
            std::string text(item.text.substr(0, n));
            const int answer = PrepareWebCommand(*state, text);
            if (answer == 0 && n < item.complete) {
                EXPECT_TRUE(ImageUnchanged()) << text;
            }
        }
    }
}

}  // namespace
}  // namespace qzs
