// Slots 140-149: per-unit flags and code texts, per-entry values over entry ranges and per-port
// fields over position ranges, typed on a started image through the command bridge; slots 140,
// 144, 146 and 147, which no command reaches, through a table of the test's own.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

// Port codes of the 24 positions 101-112 and 137-148, in position order.
const std::vector<std::size_t> kAllPorts{1,  2,  3,  4,  9,  10, 11, 12, 33, 34, 35, 36,
                                         65, 66, 67, 68, 73, 74, 75, 76, 97, 98, 99, 100};

// The field under the mask of byte `byte` of every listed port's record.
std::vector<Change> PortField(int block, std::size_t record_bytes, std::size_t byte,
                              const std::vector<std::size_t>& codes, std::uint8_t mask,
                              std::uint8_t value) {
    std::vector<Change> changes;
    for (std::size_t code : codes) {
        changes.push_back({B(block, record_bytes * (code - 1) + byte), mask, value});
    }
    return changes;
}

// --- Slot 141 ----------------------------------------------------------------------------------

Place Table426(std::size_t r) {
    return T(
        "*426 table", [](DataImage& i, std::size_t o) { return TableByte(i.table_426, o); }, r);
}

TEST_F(HandlerCheck, OddUnitsFlagsAndValues) {
    Run(Case{"*355 *426",
             {},
             {
                 Stored("*355071#", "355=07-1P", {{B(131, 48), 0xFF, 0x80}}),
                 Shown("*35507#", "355=07-1c"),
                 Shown("*35505#", "355=05-0c"),
                 Stored("*355070#", "355=07-0P", {{B(131, 48), 0xFF, 0x00}}),
                 Stored("*355011#", "355=01-1P", {{B(131, 0), 0xFF, 0x80}}),
                 Refused("*355021#"),  // an even unit
                 Refused("*355091#"),
                 Refused("*355002#"),
                 Refused("*355012#"),
                 Refused("*35508#"),
                 Stored("*426055#", "426=05-5P", {{Table426(2), 0xFF, 5}}),
                 Shown("*42605#", "426=05-5c"),
                 Stored("*426077#", "426=07-7P", {{Table426(3), 0xFF, 7}}),
                 Refused("*426058#"),
                 Refused("*426045#"),
                 Refused("*42604#"),
             }});
}

// --- Slot 142 ----------------------------------------------------------------------------------

Place Table356(std::size_t t, std::size_t r, std::size_t i) {
    return T(
        "*356 tables", [](DataImage& img, std::size_t o) { return TableByte(img.tables_356, o); },
        44 * (t - 1) + 11 * r + i);
}

std::vector<Change> CodeText(std::size_t t, std::size_t r, std::string text) {
    std::vector<Change> changes;
    text.resize(11, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        changes.push_back({Table356(t, r, i), 0xFF, static_cast<std::uint8_t>(text[i])});
    }
    return changes;
}

TEST_F(HandlerCheck, UnitCodeTexts) {
    Run(Case{
        "*356",
        {},
        {
            Shown("*356012#", "356=01,2-00000c"),
            Stored("*35601212345#", "356=01,2-12345P", CodeText(2, 0, "12345")),
            Shown("*356012#", "356=01,2-12345c"),
            Stored("*35601299999#", "356=01,2-99999P", CodeText(2, 0, std::string(11, '\xFF'))),
            Shown("*356012#", "356=01,2-99999c"),
            Stored("*35601200000#", "356=01,2-00000P", CodeText(2, 0, "")),
            Shown("*356012#", "356=01,2-00000c"),
            Stored("*35607312345678901#", "356=07,3-12345678901P", CodeText(3, 3, "12345678901")),
            Shown("*356073#", "356=07,3-12345678901c"),
            // A shorter text clears what a longer one left.
            Stored("*3560731234#", "356=07,3-1234P", CodeText(3, 3, "1234")),
            Shown("*356073#", "356=07,3-1234c"),
            Refused("*35602212345#"),
            Refused("*35601412345#"),
            Refused("*35601012345#"),
            Refused("*356014#"),
        }});
}

// --- Slot 143 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, EntryValuesOverARange) {
    Run(Case{"*643 *365",
             {},
             {
                 Stored("*643030502#", "643=03,05-02P",
                        {{B(54, 24), 0x0F, 2}, {B(54, 36), 0x0F, 2}, {B(54, 48), 0x0F, 2}}),
                 Shown("*64304##", "643=04,-02c"),
                 Shown("*64306##", "643=06,-00c"),
                 Stored("*64324#07#", "643=24,-07P", {{B(54, 276), 0x0F, 7}}),
                 Refused("*643050302#"),  // the last entry below the first
                 Refused("*643031#02#"),  // a one-digit last entry
                 Refused("*64303#08#"),
                 Refused("*64303#00#"),
                 Refused("*64325#01#"),
                 Refused("*64300#01#"),
                 Refused("*6430305#"),  // a show takes one entry
                 Stored("*365010303#", "365=01,03-03P",
                        {{B(84, 0), 0x0F, 3}, {B(84, 4), 0x0F, 3}, {B(84, 8), 0x0F, 3}}),
                 Stored("*36502#00#", "365=02,-00P", {{B(84, 4), 0x0F, 0}}),
                 Shown("*36503##", "365=03,-03c"),
                 Refused("*36501#04#"),
             }});
}

// --- Slot 145 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, TwoPortsPerEntry) {
    Run(Case{"*334",
             {},
             {
                 // One position stands for both.
                 Stored("*33401#101#", "334=01,-101,P", {{B(54, 8), 0xFF, 1}, {B(54, 9), 0xFF, 1}}),
                 Shown("*33401##", "334=01,-101,101c"),
                 Stored("*33402#101148#", "334=02,-101,148P",
                        {{B(54, 20), 0xFF, 1}, {B(54, 21), 0xFF, 100}}),
                 Shown("*33402##", "334=02,-101,148c"),
                 Stored("*3340305137112#", "334=03,05-137,112P",
                        {{B(54, 32), 0xFF, 65},
                         {B(54, 33), 0xFF, 36},
                         {B(54, 44), 0xFF, 65},
                         {B(54, 45), 0xFF, 36},
                         {B(54, 56), 0xFF, 65},
                         {B(54, 57), 0xFF, 36}}),
                 // 000 is no port: the entry holds none.
                 Stored("*33401#000#", "334=01,-000,P", {{B(54, 8), 0xFF, 0}, {B(54, 9), 0xFF, 0}}),
                 Shown("*33401##", "334=01,-000,000c"),
                 Refused("*33401#113#"),
                 Refused("*33401#101136#"),
                 Refused("*33401#801#"),
                 Refused("*3340503101#"),
                 Refused("*33425#101#"),
             }});
}

// --- Slot 148 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, PortValueOverSpecialPositions) {
    Run(Case{
        "*9301",
        {},
        {
            // 113-136 have no port and are passed over.
            Stored("*930110114803#", "9301=101,148-03P", PortField(52, 12, 7, kAllPorts, 0xFF, 3)),
            Shown("*9301137##", "9301=137,-03c"),
            Stored("*9301112#01#", "9301=112,-01P", PortField(52, 12, 7, {36}, 0xFF, 1)),
            Shown("*9301112##", "9301=112,-01c"),
            Refused("*9301101#04#"),
            Refused("*9301000#01#"),
            Refused("*9301113#01#"),
            Refused("*930114810101#"),
            Refused("*9301101148##"),
            Refused("*9301800#01#"),
        }});
}

// --- Slot 149 ----------------------------------------------------------------------------------

Place Work(std::size_t code, std::size_t byte) {
    return T(
        "UnitWorkTable",
        [](DataImage& i, std::size_t o) { return TableByte(i.unit_work_table, o); },
        8 * (code - 1) + byte);
}

TEST_F(HandlerCheck, PortFieldsOverPositionRanges) {
    const std::vector<std::size_t> first_bank{1, 2, 3, 4, 9, 10, 11, 12, 33, 34, 35, 36};
    std::vector<Change> work;
    for (std::size_t code : {65, 66, 67}) work.push_back({Work(code, 2), 0x30, 0x10});
    Run(Case{
        "*829 *9287 *303 *315 *387 *183 *818 *722",
        {},
        {
            // Wide class: 101-148 walks both banks.
            Stored("*3871011481#", "387=101,148-1P", PortField(1, 48, 46, kAllPorts, 0x0C, 0x04)),
            Shown("*387148##", "387=148,-1c"),
            Stored("*3871011122#", "387=101,112-2P", PortField(1, 48, 46, first_bank, 0x0C, 0x08)),
            Refused("*387101#3#"),
            // Plain class: 101-112 only.
            Stored("*303101#2#", "303=101,-2P", PortField(1, 48, 3, {1}, 0xC0, 0x80)),
            Shown("*303101##", "303=101,-2c"),
            Refused("*303137#1#"),
            Refused("*303101#3#"),
            Refused("*303137##"),
            Stored("*3151011121#", "315=101,112-1P", PortField(52, 12, 11, first_bank, 0x01, 0x01)),
            Refused("*315101#2#"),
            Stored("*829101#1#", "829=101,-1P", {{Work(1, 2), 0xC0, 0x40}}),
            Shown("*829101##", "829=101,-1c"),
            Refused("*829101#2#"),
            Stored("*7221371391#", "722=137,139-1P", work),
            Shown("*722138##", "722=138,-1c"),
            Stored("*9287102#3#", "9287=102,-3P", PortField(52, 12, 0, {2}, 0x0C, 0x0C)),
            Shown("*9287102##", "9287=102,-3c"),
            Stored("*183103#2#", "183=103,-2P", PortField(83, 116, 0, {3}, 0x06, 0x04)),
            Shown("*183103##", "183=103,-2c"),
            Stored("*818104#7#", "818=104,-7P", PortField(1, 48, 47, {4}, 0x07, 0x07)),
            Shown("*818104##", "818=104,-7c"),
            Refused("*818104#8#"),
            Refused("*818000#1#"),
            Refused("*8181041011#"),
        }});
}

// --- Slots 140, 144, 146 and 147: no command reaches them ----------------------------------------

class UnreachedSlotTest : public HandlerTest {
  protected:
    CommandTable table_ = TableOfGroupZero({
        Descriptor({0, 0x11, 0x11, 0x22, 0, 0, 0, 0, 0, 140, 0, 0, 0}),
        Descriptor({0, 0x21, 0x22, 0x02, 0x22, 0, 0, 0, 1, 144, 0, 0, 0}),
        Descriptor({0, 0x11, 0x33, 0x15, 0, 0, 0, 0, 1, 146, 0, 0, 0}),
        Descriptor({0, 0x11, 0x33, 0x33, 0, 0, 0, 0, 1, 147, 2, 0, 0}),
        Descriptor({0, 0x11, 0x33, 0x33, 0, 0, 0, 0, 1, 147, 1, 0, 0}),
    });
    void SetUp() override { UseTable(table_); }
};

TEST_F(UnreachedSlotTest, TwoHexadecimalPairsAreCheckedAndNothingKept) {
    const auto fresh = std::make_unique<DataImage>(Image());
    EXPECT_EQ(Store("000=2-1A,2B"), kHandlerAccepted);
    EXPECT_EQ(Store("000=2-01,F0"), kHandlerAccepted);
    EXPECT_EQ(Store("000=2-00,2B"), kHandlerRejected);
    EXPECT_EQ(Store("000=2-1A,00"), kHandlerRejected);
    EXPECT_EQ(Store("000=2-1A,ZZ"), kHandlerRejected);  // no hexadecimal digits: 0
    EXPECT_EQ(Store("000=3-1A,2B"), kHandlerRejected);
    EXPECT_EQ(Store("000=2-1A,2B1"), kHandlerRejected);
    EXPECT_TRUE(ChangedBytes(*fresh, Image()).empty());
    EXPECT_EQ(Show("000=2-").result, kHandlerAccepted);
}

TEST_F(UnreachedSlotTest, EntryValuesOneToEight) {
    EXPECT_EQ(Store("001=03,05-08"), kHandlerAccepted);
    for (std::size_t e = 3; e <= 5; ++e) EXPECT_EQ(At(54, 12 * (e - 1) + 6), 8) << e;
    EXPECT_EQ(Show("001=04,-").text, "08");
    EXPECT_EQ(Store("001=03,-09"), kHandlerRejected);
    EXPECT_EQ(Store("001=03,-00"), kHandlerRejected);
    EXPECT_EQ(Store("001=05,03-01"), kHandlerRejected);
}

TEST_F(UnreachedSlotTest, FourDigitsPerPortOrForEveryPort) {
    EXPECT_EQ(Store("002=101-1234"), kHandlerAccepted);
    EXPECT_EQ(At(52, 5), 0x12);
    EXPECT_EQ(At(52, 6), 0x34);
    EXPECT_EQ(Show("002=101-").text, "1234");
    EXPECT_EQ(Store("002=000-5678"), kHandlerAccepted);
    for (std::size_t code : kAllPorts) {
        EXPECT_EQ(At(52, 12 * (code - 1) + 5), 0x56) << code;
        EXPECT_EQ(At(52, 12 * (code - 1) + 6), 0x78) << code;
    }
    EXPECT_EQ(Store("002=148-00000"), kHandlerAccepted);
    EXPECT_EQ(At(52, 12 * 99 + 5), 0);
    EXPECT_EQ(Show("002=148-").text, "");
    EXPECT_EQ(Store("002=113-1234"), kHandlerRejected);
    EXPECT_EQ(Show("002=000-").result, kHandlerRejected);
}

TEST_F(UnreachedSlotTest, PortLinksReplaceEarlierLinks) {
    EXPECT_EQ(Store("003=101,102"), kHandlerAccepted);
    EXPECT_EQ(At(1, 15), 2);
    EXPECT_EQ(At(1, 16) & 0x0F, 12);
    EXPECT_EQ(Show("003=102").text, "101");
    EXPECT_EQ(Show("004=102").text, "000");  // the other kind
    // A new link to the same port drops the first one.
    EXPECT_EQ(Store("003=103,102"), kHandlerAccepted);
    EXPECT_EQ(At(1, 15), 0);
    EXPECT_EQ(At(1, 48 * 2 + 15), 2);
    EXPECT_EQ(Show("003=102").text, "103");
    EXPECT_EQ(Store("004=104,105"), kHandlerAccepted);
    EXPECT_EQ(At(1, 48 * 3 + 16) & 0x0F, 0);
    EXPECT_EQ(Show("004=105").text, "104");
    EXPECT_EQ(Store("003=137,101"), kHandlerRejected);
    EXPECT_EQ(Store("003=000,101"), kHandlerRejected);
}

}  // namespace
}  // namespace qzs::testing
