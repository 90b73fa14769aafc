// Slots 160 and 162-168: the key-assignment request, the group options and the two-digit codes,
// typed on a started image through the command bridge; and the code filters they test against.
#include <string>
#include <vector>

#include "programming/handlers/handler_support.h"
#include "programming/key_layout.h"
#include "programming/port_codecs.h"
#include "tests/programming/keypad_test_support.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

// --- Code filters ----------------------------------------------------------------------------

std::vector<int> Allowed(std::span<const std::uint8_t> filter, int last) {
    std::vector<int> values;
    for (int v = 0; v <= last; ++v) {
        if (PassesCodeFilter(filter, static_cast<std::uint8_t>(v))) values.push_back(v);
    }
    return values;
}

TEST(CodeFilters, AllowTheirCodes) {
    EXPECT_EQ(Allowed(CodeFilterA, 26), (std::vector<int>{0, 9, 11, 12, 13, 14, 21, 22, 23, 24}));
    EXPECT_EQ(Allowed(CodeFilterB, 26),
              (std::vector<int>{0, 7, 8, 9, 10, 11, 12, 13, 14, 20, 21, 22, 23, 24}));
    EXPECT_EQ(Allowed(CodeFilterC, 26),
              (std::vector<int>{10, 11, 12, 13, 14, 15, 16, 20, 21, 22, 23, 24, 25, 26}));
    // Past 26 the tables keep the main unit's pattern; past their ends nothing passes.
    EXPECT_EQ(Allowed(CodeFilterA, 255).size(), 10u + 16u);
    EXPECT_EQ(Allowed(CodeFilterB, 255).size(), 14u + 20u);
    EXPECT_EQ(Allowed(CodeFilterC, 255).size(), 14u + 27u);
    EXPECT_EQ(CodeFilterC[50], 40);
    EXPECT_FALSE(PassesCodeFilter(CodeFilterC, 50));
    EXPECT_FALSE(PassesCodeFilter(CodeFilterA, 64 + 1));
    EXPECT_TRUE(PassesCodeFilter(CodeFilterC, 66));
    EXPECT_FALSE(PassesCodeFilter(CodeFilterC, 255));
}

// --- Places outside the blocks -----------------------------------------------------------------

Place Record(std::size_t group, std::size_t byte) {
    return T(
        "GroupOptionRecords",
        [](DataImage& i, std::size_t o) { return TableByte(i.group_option_records, o); },
        kGroupOptionRecordBytes * group + byte);
}
Place GroupBytes(std::size_t byte) {
    return T(
        "GroupOptionBytes",
        [](DataImage& i, std::size_t o) { return TableByte(i.group_option_bytes, o); }, byte);
}

// --- Slot 160: *030 ------------------------------------------------------------------------------

TEST_F(HandlerCheck, KeyAssignmentRequestsWriteNoByte) {
    Run(Case{"*030",
             {},
             {
                 Stored("*0301010500#", "030=101,05-00P", {}),
                 Stored("*03010105973#", "030=101,05-973P", {}),
                 Stored("*03010130801#", "030=101,30-801P", {}),
                 Stored("*0301013100#", "030=101,31-00P", {}),
                 Stored("*0301013200#", "030=101,32-00P", {}),
                 Stored("*03010199980#", "030=101,99-980P", {}),
                 Refused("*0301010509#"),
                 Refused("*0301010570#"),
                 Refused("*03010105800#"),
                 Refused("*03010105933#"),
                 Refused("*0301013101#"),
                 Refused("*0301013300#"),
                 Refused("*0301019800#"),
                 Refused("*0301010000#"),
                 Refused("*0300000100#"),
                 Refused("*0301370100#"),
                 // Key 1 of a fresh telephone carries code 01, key 31 code 980.
                 Shown("*03010101#", "030=101,01-01c"),
                 Shown("*03010199#", "030=101,99-980c"),
                 Shown("*03010132#", "030=101,32-00c"),
                 Refused("*03010133#"),
                 Refused("*03000001#"),
             }});
}

TEST_F(HandlerCheck, KeyAssignmentRequestCarriesPortKeyAndCode) {
    struct Request {
        const char* keys;
        unsigned key;
        unsigned code;
    };
    const std::uint8_t port = MapSlotCode(1);
    for (const Request& r : {Request{"*03010105973#", 5, 973}, Request{"*0301010500#", 5, 0},
                             Request{"*03010199935#", 31, 935}}) {
        SCOPED_TRACE(r.keys);
        state->key_input.notice_terminal = 0;
        const CommandRun run = RunCommandForResult(*state, 1, r.keys);
        EXPECT_EQ(run.result, CommandResult::kStored);
        EXPECT_EQ(state->key_input.outcome, kOutcomeKeyNotice);
        EXPECT_EQ(state->key_input.notice_terminal, port);
        EXPECT_EQ(state->key_input.notice_key, r.key);
        EXPECT_EQ(state->key_input.notice_code, r.code);
    }
    // Key 31 with 00 is taken without a request.
    state->key_input.notice_terminal = 0;
    RunCommandForResult(*state, 1, "*0301013100#");
    EXPECT_NE(state->key_input.outcome, kOutcomeKeyNotice);
    EXPECT_EQ(state->key_input.notice_terminal, 0);
}

TEST_F(HandlerCheck, KeyAssignmentShowReadsTheEntryKind) {
    struct Shown030 {
        std::uint8_t first;
        std::uint8_t second;
        const char* shown;
    };
    std::uint8_t* entry = KeyEntry(state->image, MapSlotCode(1), 5);
    ASSERT_NE(entry, nullptr);
    for (const Shown030& c :
         {Shown030{0x1C, 0x00, "973"}, Shown030{0x0C, 0x07, "07"}, Shown030{0x8C, 0x05, "805"},
          Shown030{0x9C, 0x99, "999"}, Shown030{0x2C, 0x11, "00"}, Shown030{0x00, 0x12, "00"}}) {
        entry[0] = c.first;
        entry[1] = c.second;
        EXPECT_EQ(TrimLine(RunCommandForResult(*state, 1, "*03010105#").line),
                  std::string("030=101,05-") + c.shown + "c");
    }
}

// The request outcome stays after the key that stored, and the entry waits for the next key as
// after any store.
TEST(KeyAssignmentKeys, RequestOutcomeKeyByKey) {
    // clang-format off
    const KeySequence cases[] = {
        {"two-digit code", nullptr, "*0301010500#", "030=101,05-00P", 14, kStateKeyFields, 1, kOutcomeKeyNotice, kAny, kAny, kAny, kAny, 0, 0, nullptr, DisplayLine::kWidth, true},
        {"three-digit code", nullptr, "*03010199973#", "030=101,99-973P", 15, kStateKeyFields, 1, kOutcomeKeyNotice, kAny, kAny, kAny, kAny, 0, 0, nullptr, DisplayLine::kWidth, true},
        {"key 31 with 00", nullptr, "*0301013100#", "030=101,31-00P", 14, kStateKeyFields, 1, kOutcomeStored, kAny, kAny, kAny, kAny, 0, 0, nullptr, DisplayLine::kWidth, true},
        {"code refused", nullptr, "*0301010509#", "--P", 0, kStateIdle, 1, kOutcomeTaken, kAny, kAny, kAny, kAny, 0, 0, nullptr, DisplayLine::kWidth, true},
    };
    // clang-format on
    RunKeySequences(cases);
}

// Bytes that came in from a file or the main unit may hold more than their show has room for:
// the shows keep to their width.
TEST_F(HandlerCheck, WideStoredValuesShowWithinTheirWidth) {
    *state->image.BlockByte(57, 14) = 150;
    *state->image.BlockByte(91, 0) = 255;
    std::uint8_t* entry = KeyEntry(state->image, MapSlotCode(1), 6);
    entry[0] = 0x0C;
    entry[1] = 0xAB;
    Run(Case{"wide values",
             {},
             {
                 Shown("*931801#", "9318=01-50c"),
                 Shown("*930311#", "9303=1,1-55c"),
                 Shown("*03010106#", "030=101,06-ABc"),
             }});
}

// --- Slot 162: group bit flags ------------------------------------------------------------------

TEST_F(HandlerCheck, GroupFlagsSetTheirMaskBit) {
    Run(Case{
        "*400, *627, *390, *608",
        {},
        {
            Stored("*400031#", "400=03-1P", {{B(41, 60), 0x02, 0x02}}),
            Shown("*40003#", "400=03-1c"),
            Stored("*400030#", "400=03-0P", {{B(41, 60), 0x02, 0x00}}),
            Shown("*40003#", "400=03-0c"),
            Stored("*627071#", "627=07-1P", {{B(82, 30), 0x04, 0x04}}),
            Shown("*62707#", "627=07-1c"),
            Stored("*390021#", "390=02-1P", {{B(39, 65), 0x08, 0x08}}),
            Shown("*39002#", "390=02-1c"),
            Stored("*608011#", "608=01-1P", {{Record(1, 14), 0x01, 0x01}}),
            Shown("*60801#", "608=01-1c"),
            Stored("*608991#", "608=99-1P", {{S(SettingByte::kGroupOptionCommon), 0x01, 0x01}}),
            Shown("*60899#", "608=99-1c"),
            Refused("*400991#"),
            Refused("*40099#"),
            Refused("*400001#"),
            Refused("*400081#"),
            Refused("*400012#"),
            Refused("*608981#"),
        }});
}

// --- Slot 163: group fields ----------------------------------------------------------------------

struct GroupFieldCase {
    std::string command;
    Place (*place)(std::size_t group);
    std::uint8_t mask;
    unsigned shift;
    unsigned max;
};

const std::vector<GroupFieldCase> kGroupFieldCases{
    {"382", [](std::size_t a) { return B(41, 20 * a + 4); }, 0x0C, 2, 3},
    {"384", [](std::size_t a) { return B(41, 20 * a + 5); }, 0x30, 4, 3},
    {"391", [](std::size_t a) { return B(41, 20 * a + 1); }, 0x0C, 2, 3},
    {"385", [](std::size_t a) { return Record(a, 14); }, 0xF0, 4, 9},
    {"606", [](std::size_t a) { return B(41, 20 * a + 9); }, 0x30, 4, 3},
    {"403", [](std::size_t a) { return B(82, 4 * a + 2); }, 0x03, 0, 3},
    {"686", [](std::size_t a) { return B(150, 84 * a + 78); }, 0x03, 0, 3},
    {"680", [](std::size_t a) { return B(150, 84 * a + 80); }, 0x03, 0, 3},
    {"394", [](std::size_t a) { return B(150, 84 * a + 77); }, 0x03, 0, 3},
    {"604", [](std::size_t a) { return GroupBytes(8 + a); }, 0x03, 0, 3},
};

std::string D(unsigned v) {
    return std::to_string(v);
}

TEST_F(HandlerCheck, GroupFieldsStoreAndShowOneDigit) {
    for (const GroupFieldCase& c : kGroupFieldCases) {
        const std::string& n = c.command;
        Case test{"*" + n, {}, {}};
        for (unsigned a : {1u, 7u}) {
            const std::string g = "0" + D(a);
            for (unsigned v : {c.max, 1u, 0u}) {
                test.steps.push_back(
                    Stored("*" + n + g + D(v) + "#", n + "=" + g + "-" + D(v) + "P",
                           {{c.place(a), c.mask, static_cast<std::uint8_t>(v << c.shift)}}));
                test.steps.push_back(Shown("*" + n + g + "#", n + "=" + g + "-" + D(v) + "c"));
            }
        }
        if (c.max < 9) test.steps.push_back(Refused("*" + n + "01" + D(c.max + 1) + "#"));
        test.steps.push_back(Refused("*" + n + "081#"));
        test.steps.push_back(Refused("*" + n + "00#"));
        Run(test);
    }
}

TEST_F(HandlerCheck, GroupFlagTripleIsOneField) {
    Run(Case{"*404",
             {},
             {
                 Stored("*40403101#", "404=03-1,0,1P", {{Record(3, 19), 0x07, 0x05}}),
                 Shown("*40403#", "404=03-1,0,1c"),
                 Stored("*40403010#", "404=03-0,1,0P", {{Record(3, 19), 0x07, 0x02}}),
                 Shown("*40403#", "404=03-0,1,0c"),
                 Refused("*40403102#"),
                 Refused("*40408101#"),
             }});
}

// --- Slot 164: group code lists ------------------------------------------------------------------

TEST_F(HandlerCheck, GroupCodeListsTakeFilteredCodes) {
    Run(Case{"*396, *395, *687",
             {},
             {
                 Stored("*39601412#", "396=01,4-12P",
                        {{Record(1, 6), 0xFF, 0x12},
                         {Record(1, 7), 0xFF, 0x12},
                         {Record(1, 8), 0xFF, 0x12},
                         {Record(1, 9), 0xFF, 0x12}}),
                 Shown("*396013#", "396=01,3-12c"),
                 Stored("*39601224#", "396=01,2-24P", {{Record(1, 8), 0xFF, 0x24}}),
                 Shown("*396012#", "396=01,2-24c"),
                 Refused("*396014#"),
                 Refused("*39601415#"),
                 Refused("*39601408#"),
                 Refused("*39601425#"),
                 Refused("*39601512#"),
                 Refused("*39508412#"),
                 Refused("*39502412#"),
                 Stored("*39502309#", "395=02,3-09P", {{Record(2, 5), 0xFF, 0x09}}),
                 Shown("*395023#", "395=02,3-09c"),
                 Stored("*39507010#", "395=07,0-10P", {{Record(7, 2), 0xFF, 0x10}}),
                 Refused("*39502319#"),
                 Stored("*68703026#", "687=03,0-26P", {{Record(3, 15), 0xFF, 0x26}}),
                 Shown("*687030#", "687=03,0-26c"),
                 Stored("*68703315#", "687=03,3-15P", {{Record(3, 18), 0xFF, 0x15}}),
                 Refused("*68703009#"),
                 Refused("*68703017#"),
                 Refused("*68703027#"),
                 Refused("*68703412#"),
             }});
}

// --- Slot 165: group codes and values ------------------------------------------------------------

TEST_F(HandlerCheck, GroupCodesAndValues) {
    Run(Case{"*340, *504, *393, *401, *389",
             {},
             {
                 Refused("*3400110#"),
                 Refused("*3400120#"),
                 Refused("*3400125#"),
                 Stored("*3400109#", "340=01-09P", {{B(41, 33), 0xFF, 0x09}}),
                 Shown("*34001#", "340=01-09c"),
                 Stored("*3400711#", "340=07-11P", {{B(41, 153), 0xFF, 0x11}}),
                 Shown("*34007#", "340=07-11c"),
                 Stored("*5040224#", "504=02-24P", {{B(41, 52), 0xFF, 0x24}}),
                 Shown("*50402#", "504=02-24c"),
                 Refused("*5040207#"),
                 Stored("*393046#", "393=04-6P", {{B(39, 113), 0x07, 0x06}}),
                 Shown("*39304#", "393=04-6c"),
                 Refused("*393047#"),
                 Stored("*401052#", "401=05-2P", {{Record(5, 10), 0x07, 0x02}}),
                 Shown("*40105#", "401=05-2c"),
                 Refused("*401050#"),
                 Refused("*401053#"),
                 Stored("*389066#", "389=06-6P", {{Record(6, 20), 0x07, 0x06}}),
                 Shown("*38906#", "389=06-6c"),
                 Refused("*389067#"),
             }});
}

// --- Slot 166: codes and values ------------------------------------------------------------------

TEST_F(HandlerCheck, CodesRefuseWhatTheirCommandRefuses) {
    Run(Case{"*383, *605, *402, *381, *603, *9243",
             {},
             {
                 Refused("*3830110#"),
                 Refused("*3830120#"),
                 Stored("*3830107#", "383=01-07P", {{Record(1, 1), 0xFF, 0x07}}),
                 Shown("*38301#", "383=01-07c"),
                 Refused("*6050210#"),
                 Stored("*6050222#", "605=02-22P", {{Record(2, 13), 0xFF, 0x22}}),
                 Shown("*60502#", "605=02-22c"),
                 Refused("*4020309#"),
                 Stored("*4020310#", "402=03-10P", {{Record(3, 11), 0xFF, 0x10}}),
                 Shown("*40203#", "402=03-10c"),
                 Refused("*3810407#"),
                 Refused("*3810408#"),
                 Stored("*3810409#", "381=04-09P", {{Record(4, 0), 0xFF, 0x09}}),
                 Shown("*38104#", "381=04-09c"),
                 Refused("*6030507#"),
                 Refused("*6030508#"),
                 Refused("*6030509#"),
                 Stored("*6030510#", "603=05-10P", {{GroupBytes(5), 0xFF, 0x10}}),
                 Shown("*60305#", "603=05-10c"),
                 Refused("*9243007#"),
                 Refused("*9243008#"),
                 Refused("*9243009#"),
                 Refused("*9243400#"),
                 Stored("*9243324#", "9243=3-24P", {{B(80, 86 + 39 * 3), 0xFF, 0x24}}),
                 Shown("*92433#", "9243=3-24c"),
                 Stored("*9243000#", "9243=0-00P", {{B(80, 86), 0xFF, 0x00}}),
                 Shown("*92430#", "9243=0-00c"),
             }});
}

TEST_F(HandlerCheck, EntryValuesAndDialDigits) {
    Run(Case{"*9318, *9303, *9237",
             {},
             {
                 Stored("*93186499#", "9318=64-99P", {{B(57, 20 * 63 + 14), 0xFF, 99}}),
                 Shown("*931864#", "9318=64-99c"),
                 Stored("*93180100#", "9318=01-00P", {{B(57, 14), 0xFF, 0}}),
                 Shown("*931801#", "9318=01-00c"),
                 Refused("*93186599#"),
                 Refused("*93180099#"),
                 Stored("*93031335#", "9303=1,3-35P", {{B(91, 2), 0xFF, 35}}),
                 Shown("*930313#", "9303=1,3-35c"),
                 Refused("*93032335#"),
                 Refused("*93030335#"),
                 Refused("*93031435#"),
                 Refused("*930323#"),
                 Stored("*9237035#", "9237=0,3-5P", {{B(80, 84), 0xFF, 0x50}}),
                 Shown("*923703#", "9237=0,3-5c"),
                 Stored("*92373190#", "9237=3,1-90P", {{B(80, 81 + 117 + 1), 0xFF, 0x9A}}),
                 Shown("*923731#", "9237=3,1-90c"),
                 Refused("*9237405#"),
                 Refused("*9237045#"),
             }});
}

// --- Slot 167: *364 ------------------------------------------------------------------------------

Place PortValue(std::uint8_t position) {
    return B(140, 4u * (MapSlotCodeWide(position) - 1u));
}

TEST_F(HandlerCheck, PortRangeValueSkipsTheGapAfterThirteen) {
    // Positions 101-112 are the values 1-12 and 137-148 the values 37-48; the walk goes on from
    // 13 at 37.
    std::vector<Change> range;
    for (std::uint8_t p = 1; p <= 12; ++p) range.push_back({PortValue(p), 0xFF, 24});
    range.push_back({PortValue(37), 0xFF, 24});
    range.push_back({PortValue(38), 0xFF, 24});
    Run(Case{"*364",
             {},
             {
                 Stored("*364101#05#", "364=101,-05P", {{PortValue(1), 0xFF, 5}}),
                 Shown("*364101##", "364=101,-05c"),
                 Stored("*36410113824#", "364=101,138-24P", range),
                 Shown("*364112##", "364=112,-24c"),
                 Shown("*364137##", "364=137,-24c"),
                 Shown("*364138##", "364=138,-24c"),
                 Shown("*364139##", "364=139,-00c"),
                 Stored("*364148#07#", "364=148,-07P", {{PortValue(48), 0xFF, 7}}),
                 Shown("*364148##", "364=148,-07c"),
                 Refused("*364113##"),
                 Refused("*364101#25#"),
                 Refused("*364000#05#"),
                 Refused("*364112101#05#"),
                 Refused("*36410111#05#"),
                 Refused("*364101112##"),
             }});
}

// --- Slot 168: *9290 -----------------------------------------------------------------------------

TEST_F(HandlerCheck, EntryFlagsOverARange) {
    Run(Case{"*9290",
             {},
             {
                 Stored("*929001081#", "9290=01,08-1P", {{B(141, 0), 0xFF, 0xFF}}),
                 Shown("*929008##", "9290=08,-1c"),
                 Stored("*929003#0#", "9290=03,-0P", {{B(141, 0), 0x04, 0x00}}),
                 Shown("*929003##", "9290=03,-0c"),
                 Stored("*929002040#", "9290=02,04-0P", {{B(141, 0), 0x0E, 0x00}}),
                 Refused("*929005031#"),
                 Refused("*929001091#"),
                 Refused("*929009#1#"),
                 Refused("*92900108#"),
                 Refused("*92900182#"),
                 // A last entry typed with one digit leaves its "-" in the second digit place.
                 Refused("*9290018#1#"),
             }});
}

}  // namespace
}  // namespace qzs::testing
