// Slots 204-209: four digits per port, the *9226 digits, the *422 values and numbers, the *699
// schedule entries, the *9210/*9211 numbers and codes and the *824 dates, typed on a started
// image through the command bridge.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

Place Values422(std::size_t o) {
    return T(
        "*422 values", [](DataImage& i, std::size_t b) { return TableByte(i.values_422, b); }, o);
}
Place Numbers422(std::size_t o) {
    return T(
        "*422 numbers", [](DataImage& i, std::size_t b) { return TableByte(i.numbers_422, b); }, o);
}
Place Table699(std::size_t o) {
    return T(
        "*699 table", [](DataImage& i, std::size_t b) { return TableByte(i.table_699, b); }, o);
}
Place Table9210(std::size_t o) {
    return T(
        "*9210 table", [](DataImage& i, std::size_t b) { return TableByte(i.table_9210, b); }, o);
}
Place Dates824(std::size_t o) {
    return T(
        "*824 dates", [](DataImage& i, std::size_t b) { return TableByte(i.dates_824, b); }, o);
}

std::vector<Change> At(Place (*at)(std::size_t), std::size_t offset,
                       std::initializer_list<std::uint8_t> values) {
    std::vector<Change> changes;
    for (std::uint8_t v : values) changes.push_back({at(offset++), 0xFF, v});
    return changes;
}

std::vector<Change> Join(std::vector<Change> a, const std::vector<Change>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- Slot 204 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, FourDigitsPerPort) {
    Run(Case{"*9141",
             {},
             {
                 Stored("*91411011234#", "9141=101-1234P",
                        {{B(140, 2), 0xFF, 0x12}, {B(140, 3), 0xFF, 0x34}}),
                 Shown("*9141101#", "9141=101-1234c"),
                 // 148 is port code 100, record 99.
                 Stored("*91411489870#", "9141=148-9870P",
                        {{B(140, 99 * 4 + 2), 0xFF, 0x98}, {B(140, 99 * 4 + 3), 0xFF, 0x7A}}),
                 Shown("*9141137#", "9141=137-c"),
                 Refused("*91410001234#"),
                 Refused("*91411131234#"),
                 Refused("*91418001234#"),
                 Refused("*9141113#"),
             }});
}

// --- Slot 205 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, EntryDigitsClearedByALoneZero) {
    Run(Case{"*9226",
             {},
             {
                 Stored("*9226205#", "9226=2-05P", {{B(80, 128), 0xF0, 0x50}}),
                 Shown("*92262#", "9226=2-05c"),
                 Stored("*922620#", "9226=2-0P", {{B(80, 128), 0xF0, 0x00}}),
                 Shown("*92262#", "9226=2-0c"),
                 Refused("*922625#"),
                 Refused("*9226200#"),
                 Refused("*9226208#"),
                 Stored("*9226307#", "9226=3-07P", {{B(80, 167), 0xF0, 0x70}}),
                 Stored("*9226001#", "9226=0-01P", {{B(80, 50), 0xF0, 0x10}}),
                 Refused("*9226401#"),
                 Refused("*92264#"),
             }});
}

// --- Slot 206 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, ValueOrNumberPerEntry) {
    Run(Case{"*422",
             {},
             {
                 Stored("*4221105#", "422=1-1,05P", At(Values422, 0, {5})),
                 Shown("*4221#", "422=1-1,05c"),
                 Refused("*4221109#"),
                 Refused("*422115#"),  // a value has two digits
                 Stored("*4222212345678901#", "422=2-2,12345678901P",
                        At(Numbers422, 6, {0x12, 0x34, 0x56, 0x78, 0x9A, 0x10})),
                 Shown("*4222#", "422=2-2,12345678901c"),
                 // A value replaces the number and a number the value.
                 Stored("*4222108#", "422=2-1,08P",
                        Join(At(Values422, 4, {8}), At(Numbers422, 6, {0, 0, 0, 0, 0, 0}))),
                 Shown("*4222#", "422=2-1,08c"),
                 Stored("*42212777#", "422=1-2,777P",
                        Join(At(Values422, 0, {0}), At(Numbers422, 0, {0x77, 0x70}))),
                 Shown("*4221#", "422=1-2,777c"),
                 // Entry 0 with 00 clears both entries; entry 0 otherwise is refused.
                 Refused("*4220101#"),
                 Refused("*42202123#"),
                 Stored("*4220100#", "422=0-1,00P",
                        Join(At(Values422, 4, {0}), At(Numbers422, 0, {0, 0}))),
                 Shown("*4221#", "422=1-1,00c"),
                 Refused("*4220#"),
                 Refused("*4223105#"),
                 Refused("*4221305#"),
             }});
}

// --- Slot 207 ----------------------------------------------------------------------------------

// Record a, group b, entry c (1-4) of the *699 table, byte `byte` of the entry.
std::size_t Entry699(std::size_t a, std::size_t b, std::size_t c, std::size_t byte) {
    return kTable699RecordBytes * a + kTable699GroupBytes * b + kTable699EntryBytes * (c - 1) +
           byte;
}

TEST_F(HandlerCheck, ScheduleEntriesByType) {
    Run(Case{
        "*699",
        {},
        {
            Shown("*6990111#", "699=01,1,1-00,,c"),
            Stored("*6990111013#", "699=01,1,1-01,3,P",
                   {{Table699(Entry699(1, 1, 1, 4)), 0x0F, 1},
                    {Table699(Entry699(1, 1, 1, 5)), 0x0F, 3}}),
            Shown("*6990111#", "699=01,1,1-01,3,c"),
            Stored("*69901120234#", "699=01,1,2-02,3,4P",
                   {{Table699(Entry699(1, 1, 2, 4)), 0x0F, 2},
                    {Table699(Entry699(1, 1, 2, 5)), 0xFF, 0x43}}),
            Shown("*6990112#", "699=01,1,2-02,3,4c"),
            Stored("*6990113070#", "699=01,1,3-07,0,P",
                   {{Table699(Entry699(1, 1, 3, 4)), 0x0F, 7},
                    {Table699(Entry699(1, 1, 3, 6)), 0x0F, 0}}),
            Shown("*6990113#", "699=01,1,3-07,0,c"),
            Stored("*69901141035#", "699=01,1,4-10,3,5P",
                   {{Table699(Entry699(1, 1, 4, 4)), 0x0F, 10},
                    {Table699(Entry699(1, 1, 4, 6)), 0x0F, 3},
                    {Table699(Entry699(1, 1, 4, 5)), 0x0F, 5}}),
            Shown("*6990114#", "699=01,1,4-10,3,5c"),
            Stored("*699076409#", "699=07,6,4-09,P", {{Table699(Entry699(7, 6, 4, 4)), 0x0F, 9}}),
            Shown("*6990764#", "699=07,6,4-09,,c"),
            Refused("*69901110134#"),  // type 1 takes no second digit
            Refused("*6990111017#"),   // first digit 1-6
            Refused("*6990111024#"),   // type 2 needs both
            Refused("*6990111074#"),   // 0-3
            Refused("*69901110934#"),  // type 9 takes none
            Refused("*6990111133#"),   // type 13
            Refused("*6990111003#"),
            Refused("*6990811013#"),
            Refused("*6990181013#"),
            Refused("*6990115013#"),
            Refused("*6990171#"),  // shows take one entry
            Refused("*6990110#"),
            Refused("*6990011#"),
        }});
}

TEST_F(HandlerCheck, ScheduleEntriesOfEveryRecordGroupAndEntry) {
    const CommandRun run = RunCommandForResult(*state, 1, "*6990070013#");
    ASSERT_EQ(run.result, CommandResult::kStored) << run.line;
    for (std::size_t a = 0; a < kTable699Records; ++a) {
        for (std::size_t b = 0; b < kTable699Groups; ++b) {
            for (std::size_t c = 1; c <= kTable699Entries; ++c) {
                const std::uint8_t* entry = &state->image.table_699[a][Entry699(0, b, c, 0)];
                // Record 0 is no record of the command; the fill of the factory defaults (bytes
                // 0-2) stays beside the entry's type and digits.
                EXPECT_EQ(entry[4], a == 0 ? 0 : 1) << a << b << c;
                EXPECT_EQ(entry[5], a == 0 ? 0 : 3) << a << b << c;
                EXPECT_EQ(entry[0] & 0x0F, a == 0 ? 0 : 7) << a << b << c;
            }
        }
    }
}

// --- Slot 208 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, NumbersAndCodesOfFiveRecords) {
    Run(Case{"*9210 *9211",
             {},
             {
                 Stored("*9210120001#", "9210=1,2-0001P",
                        At(Table9210, 8, {0xAA, 0xA1, 0, 0, 0, 0, 0, 0})),
                 Shown("*921012#", "9210=1,2-0001c"),
                 Stored("*9210511234567890123456#", "9210=5,1-1234567890123456P",
                        At(Table9210, 4 * 18, {0x12, 0x34, 0x56, 0x78, 0x9A, 0x12, 0x34, 0x56})),
                 Stored("*921012000#", "9210=1,2-000P", At(Table9210, 8, {0, 0})),
                 Shown("*921012#", "9210=1,2-c"),
                 Stored("*92113212#", "9211=3,2-12P", At(Table9210, 2 * 18 + 17, {0x12})),
                 Shown("*921132#", "9211=3,2-12c"),
                 Refused("*9210611#"),
                 Refused("*9210131#"),
                 Refused("*9211031#"),
                 Refused("*921163#"),
             }});
}

// --- Slot 209 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, DatesWithoutAMonthOrDayOfZero) {
    Run(Case{"*824",
             {},
             {
                 Stored("*8241001231#", "824=1-00,12,31P", At(Dates824, 0, {0x00, 0x12, 0x31})),
                 Shown("*8241#", "824=1-00,12,31c"),
                 Refused("*8241240031#"),
                 Refused("*8241241200#"),
                 Refused("*8241000031#"),
                 Refused("*8241241331#"),
                 Refused("*8241241232#"),
                 Stored("*8242260704#", "824=2-26,07,04P", At(Dates824, 3, {0x26, 0x07, 0x04})),
                 Stored("*8241000000#", "824=1-00,00,00P", At(Dates824, 0, {0, 0, 0})),
                 Shown("*8241#", "824=1-00,00,00c"),
                 Refused("*8243260704#"),
                 Refused("*8240#"),
             }});
}

}  // namespace
}  // namespace qzs::testing
