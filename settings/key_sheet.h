// The key sheet: one sheet line per button of the ten telephones that the sheets cover (the 30
// one-touch buttons, then the 16 buttons of each of eight pages), each showing the button's
// function and a value code that a loaded sheet writes back. Locked buttons (the lock flags of
// the button assignments) show "変更不可" with a blank value and stay locked when loaded.
//
// Every entry takes the ApplicationLock.
#pragma once

#include <span>
#include <string_view>

namespace qzs {

struct ProgrammingState;

inline constexpr int kKeySheetKind = 146;

// One entry of the key-sheet run: the button's key text ("i92=101#01-", "i14=101#816-") and its
// printed form (the key text and five blanks for the value).
struct KeySheetEntry {
    char key[16];
    char printed[24];
};
// 300 one-touch entries, then 1280 paged-button entries.
std::span<const KeySheetEntry> KeySheetCatalogue();

// kind 146: fills the key-sheet lines, blanks the rest and answers 0; any other kind answers 3
// and changes nothing.
int BuildKeySheet(ProgrammingState& state, int kind);
// kind 146: writes the value codes of the key-sheet lines back into the buttons (a blank line
// changes nothing) and answers 0; any other kind answers 3.
int ApplyKeySheetLines(ProgrammingState& state, int kind);
// One key text with its value ("i92=101#01-B,0C"): clears the button's lock flag and stores the
// kind and value; a blank or unknown kind letter sets the lock flag and stores nothing. A text
// that names no button changes nothing.
void ApplyKeySheetEntry(ProgrammingState& state, std::string_view text);

}  // namespace qzs
