// Slots 190-194: the short number tables, the 24-digit numbers of *619, the per-record fields of
// *681 and *693, the *029 unit records and the *026 unit bits, typed on a started image through
// the command bridge.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

std::vector<Change> Bytes(int block, std::size_t offset,
                          std::initializer_list<std::uint8_t> values) {
    std::vector<Change> changes;
    for (std::uint8_t v : values) changes.push_back({B(block, offset++), 0xFF, v});
    return changes;
}

std::vector<Change> Join(std::vector<Change> a, const std::vector<Change>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- Slot 190 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, ShortNumbersWithTheirKindValue) {
    Run(Case{"*165 *166",
             {},
             {
                 Stored("*165011123456#", "165=01-1,123456P",
                        Join({{B(89, 0), 0x07, 1}}, Bytes(89, 1, {0x12, 0x34, 0x56}))),
                 Shown("*16501#", "165=01-1,123456c"),
                 // The lone 0 clears the number and keeps the kind value.
                 Stored("*1650110#", "165=01-1,0P", Bytes(89, 1, {0, 0, 0})),
                 Shown("*16501#", "165=01-1,c"),
                 Refused("*16501112#"),  // two digits are no number
                 Refused("*1650111#"),
                 Refused("*1650100#"),  // the kind value is 1 only
                 Refused("*1650121234#"),
                 Refused("*1651711234#"),
                 Refused("*1650011234#"),
                 Stored("*1651611230#", "165=16-1,1230P",
                        Join({{B(89, 60), 0x07, 1}}, Bytes(89, 61, {0x12, 0x3A, 0x00}))),
                 Stored("*1660219876#", "166=02-1,9876P",
                        Join({{B(90, 4), 0x07, 1}}, Bytes(90, 5, {0x98, 0x76, 0x00}))),
                 Shown("*16602#", "166=02-1,9876c"),
                 Refused("*16617#"),
             }});
}

// --- Slot 191 ----------------------------------------------------------------------------------

// Record k1 of block 150 at 84 k1; entry k2 at record byte 2 + 12 (k2 - 1).
std::size_t Entry619(std::size_t k1, std::size_t k2) {
    return 84 * k1 + 2 + 12 * (k2 - 1);
}

std::vector<Change> Zeros(int block, std::size_t offset, std::size_t count) {
    std::vector<Change> changes;
    for (std::size_t i = 0; i < count; ++i) changes.push_back({B(block, offset + i), 0xFF, 0});
    return changes;
}

TEST_F(HandlerCheck, LongNumbersInTwoHalves) {
    const std::size_t e = Entry619(1, 3);
    Run(Case{
        "*619",
        {},
        {
            Refused("*6190132999#"),  // no first half yet
            Stored("*6190131123456789012#", "619=01,3,1-123456789012P",
                   Bytes(150, e, {0x12, 0x34, 0x56, 0x78, 0x9A, 0x12})),
            Shown("*6190131#", "619=01,3,1-123456789012c"),
            Stored("*6190132999#", "619=01,3,2-999P", Bytes(150, e + 6, {0x99, 0x90})),
            Shown("*6190132#", "619=01,3,2-999c"),
            // A new first half drops the second.
            Stored("*6190131123456789012#", "619=01,3,1-123456789012P", Bytes(150, e + 6, {0, 0})),
            Shown("*6190132#", "619=01,3,2-c"),
            // A first half of fewer than twelve digits leaves no room for a second.
            Stored("*619013112345#", "619=01,3,1-12345P",
                   Bytes(150, e, {0x12, 0x34, 0x50, 0x00, 0x00, 0x00})),
            Refused("*6190132999#"),
            Stored("*6190131123456789012#", "619=01,3,1-123456789012P",
                   Bytes(150, e, {0x12, 0x34, 0x56, 0x78, 0x9A, 0x12})),
            // "0" with entry 3, half 1 clears that entry.
            Stored("*6190131123#", "619=01,3,1-123P", Bytes(150, e, {0x12, 0x30, 0, 0, 0, 0})),
            Stored("*61901310#", "619=01,3,1-0P", Zeros(150, e, 2)),
            Refused("*61901300#"),  // half 0 with an entry
            Refused("*6190130123#"),
            Refused("*61901011#"),  // entry 0 with half 1
            Refused("*61908111#"),
            Refused("*61901711#"),
            Refused("*61901131#"),
            Refused("*6190130#"),  // a show needs entry and half
            Refused("*6190103#"),
        }});
    // Entry 0, half 0 and "0" clear all six entries of the record, and only those.
    Run(Case{"*619 record clear",
             {"*6190211111111111111#", "*6190261222222222222#", "*6190111333333333333#"},
             {
                 Stored("*61902000#", "619=02,0,0-0P",
                        Join(Bytes(150, Entry619(2, 1), {0, 0, 0, 0, 0, 0}),
                             Bytes(150, Entry619(2, 6), {0, 0, 0, 0, 0, 0}))),
                 Shown("*6190111#", "619=01,1,1-333333333333c"),
             }});
}

// --- Slot 192 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, RecordValuesAndFlagsOverARange) {
    std::vector<Change> values;
    for (std::size_t k = 1; k <= 5; ++k) values.push_back({B(82, 4 * k + 2), 0xF0, 0x30});
    Run(Case{
        "*681 *693",
        {},
        {
            Stored("*68101053#", "681=01,05-3P", values),
            Shown("*68103##", "681=03,-3c"),
            Shown("*68106##", "681=06,-1c"),
            Stored("*68107#4#", "681=07,-4P", {{B(82, 30), 0xF0, 0x40}}),
            Refused("*68105013#"),  // the last record below the first
            Refused("*681011#3#"),  // a one-digit last record
            Refused("*68101#5#"),
            Refused("*68101#0#"),
            Refused("*68108#1#"),
            Refused("*68100#1#"),
            Refused("*6810105##"),  // a show takes one record
            Stored("*69302031#", "693=02,03-1P", {{B(82, 8), 0x08, 0x08}, {B(82, 12), 0x08, 0x08}}),
            Shown("*69302##", "693=02,-1c"),
            Shown("*69304##", "693=04,-0c"),
            Stored("*69303#0#", "693=03,-0P", {{B(82, 12), 0x08, 0x00}}),
            Refused("*69303#2#"),
        }});
}

// --- Slot 193 ----------------------------------------------------------------------------------

Place Unit029(std::size_t unit, std::size_t byte) {
    return T(
        "*029 table", [](DataImage& i, std::size_t o) { return TableByte(i.table_029, o); },
        204 * (unit - 1) + byte);
}

TEST_F(HandlerCheck, UnitRecordsAreClearedAndShown) {
    // Nothing in the system fills the records; a loaded image may.
    auto& unit3 = state->image.table_029[2];
    unit3[0] = 0x1A;
    unit3[1] = 0x2B;
    unit3[2] = 0x3C;
    unit3[3] = 0x4D;
    unit3[200] = 7;
    std::vector<Change> cleared{{Unit029(3, 0), 0xFF, 0xFF},
                                {Unit029(3, 1), 0xFF, 0xFF},
                                {Unit029(3, 2), 0xFF, 0xFF},
                                {Unit029(3, 3), 0xFF, 0xFF},
                                {Unit029(3, 200), 0xFF, 0}};
    Run(Case{"*029",
             {},
             {
                 Shown("*0290301#", "029=03,01-1A2B,3C4Dc"),
                 Shown("*0290300#", "029=03,00-07c"),
                 // An empty entry shows nothing after the key fields.
                 Shown("*0290302#", "029=03,02-c"),
                 Shown("*0290850#", "029=08,50-c"),
                 Refused("*02903010#"),  // the second key must be 00
                 Refused("*02903011#"),
                 Refused("*02903001#"),  // the data digit must be 0
                 Refused("*02909000#"),
                 Stored("*02903000#", "029=03,00-0P", cleared),
                 Shown("*0290300#", "029=03,00-00c"),
                 Shown("*0290301#", "029=03,01-c"),
                 Refused("*0290001#"),
                 Refused("*0290351#"),
                 Refused("*0290901#"),
             }});
    unit3[0] = 0x00;
    unit3[200] = 1;
    state->image.table_029[7][196] = 0x55;
    Run(Case{"*029 all units",
             {},
             {
                 Stored("*02900000#", "029=00,00-0P",
                        {{Unit029(3, 0), 0xFF, 0xFF},
                         {Unit029(3, 200), 0xFF, 0},
                         {Unit029(8, 196), 0xFF, 0xFF}}),
             }});
}

// --- Slot 194 ----------------------------------------------------------------------------------

TEST_F(HandlerCheck, UnitBitsOverARange) {
    Run(Case{"*026",
             {},
             {
                 Stored("*02602051#", "026=02,05-1P", {{B(117, 0), 0x1E, 0x1E}}),
                 Shown("*02603##", "026=03,-1c"),
                 Shown("*02601##", "026=01,-0c"),
                 Stored("*02604#0#", "026=04,-0P", {{B(117, 0), 0x08, 0x00}}),
                 Stored("*02608#1#", "026=08,-1P", {{B(117, 0), 0x80, 0x80}}),
                 Refused("*02605021#"),
                 Refused("*026021#1#"),
                 Refused("*02609#1#"),
                 Refused("*02600#1#"),
                 Refused("*02601#2#"),
                 Refused("*0260102##"),
             }});
}

}  // namespace
}  // namespace qzs::testing
