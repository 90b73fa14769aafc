// Slots 34, 55, 56 and 63-69: the port queries (*014, *015, *099), the port entries of *335, *098
// and *850, *9337, the four- and five-digit codes, the service code, a terminal's state by
// position (*012) and the 33 port bit flags over a position range, typed on a started image;
// slot 69, which no command reaches, through a table of its own.
#include "programming/port_codecs.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

Place UnitWork(std::size_t offset) {
    return T(
        "UnitWorkTable",
        [](DataImage& i, std::size_t o) { return TableByte(i.unit_work_table, o); }, offset);
}
Place ServiceCode(std::size_t offset) {
    return T(
        "ServiceCodeValue",
        [](DataImage& i, std::size_t o) { return TableByte(i.service_code_value, o); }, offset);
}

// --- Slot 34 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, PortQueries) {
    DataImage& image = state->image;
    *image.BlockByte(121, 12 * 2) = 0x3B;
    *image.BlockByte(121, 12 * 7) = 0x07;
    image.terminal_index_table[1] = 5;
    image.terminal_index_table[2] = 200;  // names no terminal
    state->terminals[4].attributes[7] = 9;
    *image.BlockByte(39, 16 + 24) = 0x42;
    *image.BlockByte(39, 16 + 24 * 7) = 0x01;
    Run(Case{"*014, *015, *099",
             {},
             {
                 Shown("*01403#", "014=03-Bc"),
                 Shown("*01408#", "014=08-7c"),
                 Refused("*01400#"),
                 Refused("*01409#"),
                 Shown("*01502#", "015=02-105c"),
                 Refused("*01501#"),  // no terminal listed
                 Refused("*01503#"),
                 Refused("*01509#"),
                 Shown("*09901#", "099=01-1,2c"),
                 Shown("*09907#", "099=07-0,1c"),
                 Refused("*09908#"),
                 Refused("*09900#"),
             }});
}

// --- Slot 55 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, PortEntries) {
    Run(Case{"*335: eight entries of block 3 from byte 34, wide positions",
             {},
             {
                 Stored("*3351137#", "335=1-137P", {{B(3, 34), 0xFF, 65}}),
                 Shown("*3351#", "335=1-137c"),
                 Stored("*3358112#", "335=8-112P", {{B(3, 41), 0xFF, 36}}),
                 Refused("*3350101#"),
                 Refused("*3359101#"),
                 Refused("*3351113#"),
                 Refused("*3350#"),
                 Stored("*3350000#", "335=0-000P", {{B(3, 34), 0xFF, 0}, {B(3, 41), 0xFF, 0}}),
                 Shown("*3358#", "335=8-000c"),
             }});
    Run(Case{"*098: block 80 from byte 0, first-bank positions",
             {},
             {
                 Stored("*0981105#", "098=1-105P", {{B(80, 0), 0xFF, 9}}),
                 Shown("*0981#", "098=1-105c"),
                 Stored("*0981000#", "098=1-000P", {{B(80, 0), 0xFF, 0}}),
                 Refused("*0981107#"),
                 Refused("*0981137#"),
                 Refused("*0980000#"),
                 Refused("*0989#"),
             }});
}

// --- Slot 56 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, APortNumberThatMayNotBeOneOfTheFirstSix) {
    Run(Case{"*850",
             {},
             {
                 Stored("*850107#", "850=107P", {{B(55, 6), 0xFF, 11}}),
                 Shown("*850#", "850=107c"),
                 Refused("*850101#"),
                 Refused("*850104#"),
                 Refused("*850105#"),
                 Refused("*850106#"),
                 Refused("*850137#"),
                 Stored("*850112#", "850=112P", {{B(55, 6), 0xFF, 36}}),
                 Stored("*850000#", "850=000P", {{B(55, 6), 0xFF, 0}}),
             }});
}

// --- Slot 63 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, ANumberWithAFlagAndAValue) {
    // A started image holds the number 050, and flag 1 and value 2 in byte 16.
    Run(Case{"*9337",
             {},
             {
                 Shown("*9337#", "9337=050,1,2c"),
                 Stored("*933712301#", "9337=123,0,1P",
                        {{B(20, 8), 0xFF, 123}, {B(20, 9), 0xFF, 0}, {B(20, 16), 0x07, 0x01}}),
                 Shown("*9337#", "9337=123,0,1c"),
                 Stored("*933799912#", "9337=999,1,2P",
                        {{B(20, 8), 0xFF, 0xE7}, {B(20, 9), 0xFF, 0x03}, {B(20, 16), 0x07, 0x06}}),
                 Refused("*933700011#"),
                 Refused("*933712313#"),
                 Refused("*933712321#"),
                 Refused("*9337123#"),
                 Stored("*9337000#", "9337=000,P",
                        {{B(20, 8), 0xFF, 0}, {B(20, 9), 0xFF, 0}, {B(20, 16), 0x07, 0}}),
                 Shown("*9337#", "9337=000,0,0c"),
             }});
}

// --- Slots 64 and 65 -------------------------------------------------------------------------

TEST_F(HandlerCheck, FourDigitCodes) {
    for (const auto& [n, offset] :
         std::vector<std::pair<std::string, std::size_t>>{{"000", 28}, {"083", 30}}) {
        Run(Case{"*" + n,
                 {},
                 {
                     Shown("*" + n + "#", n + "=0000c"),
                     Stored("*" + n + "1234#", n + "=1234P",
                            {{B(3, offset), 0xFF, 0x12}, {B(3, offset + 1), 0xFF, 0x34}}),
                     Shown("*" + n + "#", n + "=1234c"),
                     Refused("*" + n + "1#"),
                     Refused("*" + n + "123#"),
                     Refused("*" + n + "000#"),
                     Refused("*" + n + "01#"),
                     Stored("*" + n + "00#", n + "=00P",
                            {{B(3, offset), 0xFF, 0}, {B(3, offset + 1), 0xFF, 0}}),
                     Shown("*" + n + "#", n + "=c"),
                 }});
    }
}

TEST_F(HandlerCheck, FiveDigitCodes) {
    Run(Case{
        "*9300 sets its notices",
        {},
        {
            Shown("*9300#", "9300=00000c"),
            Refused("*930001234#"),
            Stored("*930012345#", "9300=12345P",
                   {{B(20, 13), 0xFF, 0x12},
                    {B(20, 14), 0xFF, 0x34},
                    {B(20, 15), 0xF0, 0x50},
                    {B(125, 5), 0x01, 0x01},
                    {S(SettingByte::kChangeNoticeFlags), 0x01, 0x01}}),
            Shown("*9300#", "9300=12345c"),
            Stored("*930000000#", "9300=00000P",
                   {{B(20, 13), 0xFF, 0xAA}, {B(20, 14), 0xFF, 0xAA}, {B(20, 15), 0xF0, 0xA0}}),
        }});
    Run(Case{"*164: four digits, or 00000 to clear",
             {},
             {
                 Stored("*1641234#", "164=1234P", {{B(99, 0), 0xFF, 0x12}, {B(99, 1), 0xFF, 0x34}}),
                 Shown("*164#", "164=1234c"),
                 Stored("*16407#", "164=07P", {{B(99, 0), 0xFF, 0xA7}, {B(99, 1), 0xFF, 0}}),
                 Shown("*164#", "164=07c"),
                 Refused("*16400001#"),
                 Refused("*16412345#"),
                 Stored("*16400000#", "164=00000P", {{B(99, 0), 0xFF, 0}}),
                 Shown("*164#", "164=c"),
             }});
    Run(Case{
        "*163: up to five digits not beginning with 0, or 0 to clear",
        {},
        {
            Stored("*16312345#", "163=12345P",
                   {{B(80, 31), 0xFF, 0x12}, {B(80, 32), 0xFF, 0x34}, {B(80, 33), 0xFF, 0x50}}),
            Shown("*163#", "163=12345c"),
            Refused("*163012#"),
            Refused("*16300#"),
            Stored("*1630#", "163=0P",
                   {{B(80, 31), 0xFF, 0}, {B(80, 32), 0xFF, 0}, {B(80, 33), 0xFF, 0}}),
            Shown("*163#", "163=c"),
        }});
}

// --- Slot 66 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, TheServiceCode) {
    Run(Case{
        "*9278",
        {},
        {
            Shown("*9278#", "9278=000000c"),
            Stored("*9278290417#", "9278=290417P",
                   {{ServiceCode(0), 0xFF, 0x71},
                    {ServiceCode(1), 0xFF, 0x6E},
                    {ServiceCode(2), 0xFF, 0x04}}),
            Shown("*9278#", "9278=290417c"),
            Refused("*9278290418#"),
            Refused("*9278123456#"),
            Refused("*9278000001#"),
            Stored(
                "*9278000000#", "9278=000000P",
                {{ServiceCode(0), 0xFF, 0}, {ServiceCode(1), 0xFF, 0}, {ServiceCode(2), 0xFF, 0}}),
        }});
}

// --- Slot 67 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, ATerminalsStateByPosition) {
    // Position 105 is terminal 9; a started terminal has the type byte A3.
    Run(Case{"started", {}, {Shown("*012105#", "012=105-0c")}});
    TerminalRecord& terminal = state->terminals[8];
    terminal.attributes[0] = 0;
    Run(Case{"free", {}, {Shown("*012105#", "012=105-1c")}});
    terminal.attributes[2] = 0x40;
    Run(Case{"busy",
             {},
             {Shown("*012105#", "012=105-0c"), Refused("*012000#"), Refused("*012113#"),
              Refused("*012137#")}});
}

// --- Slot 68 ---------------------------------------------------------------------------------

enum class Table { kPortRecord, kBlock52, kBlock127, kUnitWork };

struct FlagCommand {
    const char* number;
    Table table;
    std::size_t byte;
    std::uint8_t mask;
};

const std::vector<FlagCommand> kFlagCommands{
    {"633", Table::kPortRecord, 0, 0x02},  {"636", Table::kPortRecord, 0, 0x01},
    {"672", Table::kPortRecord, 0, 0x20},  {"800", Table::kPortRecord, 0, 0x40},
    {"840", Table::kPortRecord, 0, 0x04},  {"9207", Table::kPortRecord, 0, 0x10},
    {"114", Table::kPortRecord, 1, 0x80},  {"631", Table::kPortRecord, 1, 0x01},
    {"326", Table::kPortRecord, 2, 0x80},  {"704", Table::kPortRecord, 16, 0x10},
    {"500", Table::kPortRecord, 17, 0x08}, {"116", Table::kPortRecord, 3, 0x10},
    {"135", Table::kPortRecord, 3, 0x20},  {"523", Table::kPortRecord, 17, 0x40},
    {"632", Table::kPortRecord, 1, 0x02},  {"635", Table::kPortRecord, 1, 0x08},
    {"702", Table::kPortRecord, 1, 0x10},  {"501", Table::kBlock52, 0, 0x01},
    {"620", Table::kPortRecord, 16, 0x80}, {"506", Table::kPortRecord, 17, 0x20},
    {"414", Table::kBlock127, 1, 0x01},    {"111", Table::kPortRecord, 1, 0x20},
    {"634", Table::kPortRecord, 1, 0x04},  {"709", Table::kPortRecord, 2, 0x40},
    {"807", Table::kPortRecord, 46, 0x10}, {"802", Table::kPortRecord, 47, 0x10},
    {"819", Table::kPortRecord, 47, 0x08}, {"9143", Table::kPortRecord, 46, 0x20},
    {"139", Table::kUnitWork, 0, 0x01},    {"419", Table::kUnitWork, 0, 0x02},
    {"421", Table::kUnitWork, 0, 0x04},    {"127", Table::kUnitWork, 0, 0x80},
    {"128", Table::kUnitWork, 2, 0x04},
};

Place FlagPlace(const FlagCommand& c, std::uint8_t code) {
    const std::size_t r = code - 1u;
    switch (c.table) {
        case Table::kPortRecord:
            return B(1, 48 * r + c.byte);
        case Table::kBlock52:
            return B(52, 12 * r + c.byte);
        case Table::kBlock127:
            return B(127, 4 * r + c.byte);
        case Table::kUnitWork:
            return UnitWork(8 * r + c.byte);
    }
    return {};
}

std::vector<Change> FlagChanges(const FlagCommand& c, std::initializer_list<std::uint8_t> codes,
                                bool set) {
    std::vector<Change> changes;
    for (std::uint8_t code : codes) {
        changes.push_back({FlagPlace(c, code), c.mask, set ? c.mask : std::uint8_t{0}});
    }
    return changes;
}

TEST_F(HandlerCheck, EveryPortFlagCommandOnOnePortAndARange) {
    ASSERT_EQ(kFlagCommands.size(), 33u);
    for (const FlagCommand& c : kFlagCommands) {
        const std::string n = c.number;
        Run(Case{"*" + n,
                 {},
                 {
                     Stored("*" + n + "101#0#", n + "=101,-0P", FlagChanges(c, {1}, false)),
                     Shown("*" + n + "101##", n + "=101,-0c"),
                     Stored("*" + n + "101#1#", n + "=101,-1P", FlagChanges(c, {1}, true)),
                     Shown("*" + n + "101##", n + "=101,-1c"),
                     Stored("*" + n + "1021061#", n + "=102,106-1P",
                            FlagChanges(c, {2, 3, 4, 9, 10}, true)),
                     Shown("*" + n + "106##", n + "=106,-1c"),
                     Stored("*" + n + "1011060#", n + "=101,106-0P",
                            FlagChanges(c, {1, 2, 3, 4, 9, 10}, false)),
                     Refused("*" + n + "1061011#"),  // last below first
                     Refused("*" + n + "000#1#"),
                     Refused("*" + n + "101#2#"),
                     Refused("*" + n + "101106#"),  // a range has no show
                     Refused("*" + n + "113##"),
                 }});
    }
}

TEST_F(HandlerCheck, PortFlagClassesTakeTheirPositions) {
    const FlagCommand wide{"111", Table::kPortRecord, 1, 0x20};
    const FlagCommand special{"500", Table::kPortRecord, 17, 0x08};
    Run(Case{"wide and special classes reach the second bank",
             {},
             {
                 Stored("*111137#1#", "111=137,-1P", FlagChanges(wide, {65}, true)),
                 Shown("*111137##", "111=137,-1c"),
                 Stored("*500148#1#", "500=148,-1P", FlagChanges(special, {100}, true)),
                 Shown("*500148##", "500=148,-1c"),
                 Refused("*633137#1#"),
                 Refused("*633137##"),
             }});
    // Across the banks the walk goes from 112 straight to 137: the values between have no port.
    Run(Case{"a wide range across the banks",
             {},
             {
                 Stored("*1111121381#", "111=112,138-1P", FlagChanges(wide, {36, 65, 66}, true)),
                 Stored("*1111011480#", "111=101,148-0P",
                        FlagChanges(wide, {1,  2,  3,  4,  9,  10, 11, 12, 33, 34, 35, 36,
                                           65, 66, 67, 68, 73, 74, 75, 76, 97, 98, 99, 100},
                                    false)),
             }});
}

// --- Slot 69: no command reaches it ----------------------------------------------------------

TEST_F(HandlerTest, ClassValuesOverAPlainRange) {
    const CommandTable table =
        TableOfGroupZero({Descriptor({0, 0x21, 0x33, 0x03, 0x11, 0, 0, 0, 0x01, 69, 0, 0, 0})});
    UseTable(table);
    EXPECT_EQ(Store("000=101,105-5"), kHandlerAccepted);
    for (std::size_t code : {1, 2, 3, 4, 9}) {
        EXPECT_EQ(At(1, 48 * (code - 1) + 20) >> 5, 5) << code;
        EXPECT_EQ(At(1, 48 * (code - 1) + 28) >> 5, 5) << code;
    }
    EXPECT_EQ(At(1, 48 * 9 + 20), 0);
    EXPECT_EQ(Show("000=104,-").text, "5");
    EXPECT_EQ(Show("000=104,105-").result, kHandlerRejected);
    EXPECT_EQ(Store("000=101,-6"), kHandlerRejected);
    EXPECT_EQ(Store("000=137,-1"), kHandlerRejected);
}

}  // namespace
}  // namespace qzs::testing
