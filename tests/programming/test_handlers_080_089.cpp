// The per-unit commands over a unit range (*101, *640, *013 and its flag family, *100, *040,
// *300, *600, *331) typed on a started image, and the unit-range key they share.
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

// Unit u's record of block 2 is 20 bytes from 20(u - 1).
Place Unit2(int unit, std::size_t byte) {
    return B(2, 20 * (unit - 1) + byte);
}

// The same change in every unit of a range.
std::vector<Change> EachUnit(int first, int last,
                             const std::vector<std::pair<std::size_t, std::uint8_t>>& bytes,
                             std::uint8_t mask, Place (*place)(int, std::size_t) = &Unit2) {
    std::vector<Change> changes;
    for (int unit = first; unit <= last; ++unit) {
        for (const auto& [byte, value] : bytes) changes.push_back({place(unit, byte), mask, value});
    }
    return changes;
}

class UnitCheck : public HandlerCheck {};

// *101 (bits 0-1 of bytes 4 and 12 of the unit record) stands for every command of the key.
TEST_F(UnitCheck, UnitRangeKey) {
    Run(Case{"one unit and a range",
             {},
             {
                 Stored("*10103#2#", "101=03,-2,P", EachUnit(3, 3, {{4, 2}, {12, 2}}, 0x03)),
                 Shown("*10103##", "101=03,-2,2c"),
                 Stored("*101010831#", "101=01,08-3,1P", EachUnit(1, 8, {{4, 3}, {12, 1}}, 0x03)),
                 Shown("*10108##", "101=08,-3,1c"),
                 // First and last the same unit.
                 Stored("*101050502#", "101=05,05-0,2P", EachUnit(5, 5, {{4, 0}, {12, 2}}, 0x03)),
             }});
    Run(Case{"refused keys",
             {},
             {
                 Refused("*101031#2#"),   // last unit of one digit
                 Refused("*101050302#"),  // last below first
                 Refused("*10100#2#"),    // unit 0
                 Refused("*10109#2#"),    // unit 9
                 Refused("*101010902#"),  // last unit 9
                 Refused("*1010108##"),   // a show takes one unit only
                 Refused("*10101#4#"),    // value out of range
                 Refused("*10101#14#"),   // second value out of range
             }});
}

}  // namespace
}  // namespace qzs::testing
