// The one way a function code reaches a key from outside the keypad: the form posts, the items
// the main unit sends, the replay of a printed command group and the data-file loader each read
// a telephone, a key and a code their own way and then call this, so that a telephone never
// keeps the same entry on two keys.
#pragma once

#include <cstdint>

namespace qzs {

struct ProgrammingState;

// Assigns the code (0-999) to key k (1-32) of telephone t (1-64) with SetKeyAssignment, then sets
// every other key of that telephone whose two bytes equal key k's new entry to 0x0C 0x00 (no
// function). False, with nothing changed, when t, k or the code is out of range.
bool AssignKeyClearingDuplicates(ProgrammingState& state, unsigned telephone, unsigned key,
                                 unsigned code);

// True for the codes a key can carry: 0-8, 801-806, 851-854, 861-864, 877-888, 899-907,
// 927-932, 934-935, 938-958, 964-972, 975-990, 992-996, 998-999.
bool IsAssignableKeyCode(unsigned code);

// The code as four BCD digits (thousands in bits 12-15); codes above 9999 keep their low digits.
std::uint16_t CodeToBcd(unsigned code);

}  // namespace qzs
