// Sheet lines: the fixed 192-character text lines that the data files, the transfer files and the
// printed data sheets are made of, and the listing of one command group of the data image as
// such lines. ListCommandGroup types every listed command of a group (the key sequences of the
// command-sheet catalogue) into terminal 1 and records what the display shows; ReplayCommandGroup
// types the printed forms again with the recorded values filled in.
//
// The lists live in the state (sheet_lines, key_sheet_lines) and stay CP932. Callers outside the
// settings code copy them out with CopySheetLines / CopyKeySheetLines, which hold the lock only
// for the copy, and never reach into the buffers while printing or showing a dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "programming/settings_state.h"

namespace qzs {

struct ProgrammingState;

// Columns of a command-sheet line (and of a key-sheet line, which has the same four).
inline constexpr std::size_t kSheetKeyColumn = 0;  // the keys typed
inline constexpr std::size_t kSheetKeyWidth = 16;
inline constexpr std::size_t kSheetDisplayColumn = 16;  // the display, from the command number
inline constexpr std::size_t kSheetDisplayWidth = 48;
inline constexpr std::size_t kSheetValueColumn = 64;  // the value: display text before its 'c'
inline constexpr std::size_t kSheetValueWidth = 32;
inline constexpr std::size_t kSheetPrintedColumn = 96;  // the printed form, a blank per value digit
inline constexpr std::size_t kSheetPrintedWidth = 32;
inline constexpr std::size_t kSheetReplayColumn = 128;  // the display after a replay
inline constexpr std::size_t kSheetReplayWidth = 48;
// Key-sheet lines: byte 17 ('9' or '1') tells one-touch lines from paged-button lines.
inline constexpr std::size_t kKeySheetKindColumn = 17;

// Columns of the speed-dial list lines (the system list has no telephone columns).
inline constexpr std::size_t kListRowColumn = 0;  // system row, or the telephone position
inline constexpr std::size_t kListTelephoneZeroColumn = 8;
inline constexpr std::size_t kListTelephoneRowColumn = 9;
inline constexpr std::size_t kListNumberColumn = 16;
inline constexpr std::size_t kListNumberWidth = 24;
inline constexpr std::size_t kListKanaColumn = 48;
inline constexpr std::size_t kListKanaWidth = 20;
inline constexpr std::size_t kListKanjiColumn = 72;
inline constexpr std::size_t kListKanjiWidth = 20;
inline constexpr std::size_t kListGroupColumn = 96;

// One entry of the command-sheet catalogue.
struct SheetCatalogueEntry {
    const char* key;      // the keys to type, at most 15
    const char* printed;  // the form that is replayed and printed, at most 31
};
// The entries of command group 0-9, in ascending command and key order (groups 2 and 4 have
// none).
std::span<const SheetCatalogueEntry> CommandSheetCatalogue(int group);

// group '0'-'9': fills the state's sheet lines with one line per catalogue entry and blanks the
// rest; answers 0, or 3 for any other character (nothing changed). Takes the lock.
int ListCommandGroup(ProgrammingState& state, char group);
// Types the group's printed forms with the blanks filled from the value columns of the sheet
// lines; answers 0, 1 when a line was rejected (the first in replay_rejected_line) or 2 for a
// character other than '0'-'9'. Takes the lock.
int ReplayCommandGroup(ProgrammingState& state, char group);

// The lines before the first one whose column 0 is a blank, copied under the lock.
std::vector<SheetLine> CopySheetLines(ProgrammingState& state);
std::vector<SheetLine> CopyKeySheetLines(ProgrammingState& state);

// A deferred key assignment that a store handler left in the key input block (outcome 6), made
// through AssignKeyClearingDuplicates; nothing for another outcome.
void ApplyDeferredKeyAssignment(ProgrammingState& state);

// The digit tables: code 0-15 to display character (hex table: 0 ' ', 10 '0', 11 '*', 12 '#',
// 13 'P', 14 'H', 15 'M'; the speed-dial table the same but 14 '-') and to hex letter. The
// variants named High read bits 4-7.
char CodeToSheetChar(unsigned code);
char HighCodeToSheetChar(unsigned code);
char CodeToSpeedDialChar(unsigned code);
char HighCodeToSpeedDialChar(unsigned code);
char CodeToHexLetter(unsigned code);
char HighCodeToHexLetter(unsigned code);
// The first code whose speed-dial character (or hex letter) is c; 0 when none. The High forms
// answer the code times 16.
unsigned SpeedDialCharToCode(char c);
unsigned SpeedDialCharToHighCode(char c);
unsigned HexLetterToCode(char c);
unsigned HexLetterToHighCode(char c);
// Three hex letters read as decimal digits (a letter above '9' counts as 0).
unsigned HexLettersToDecimal(char a, char b, char c);

// Line codes 1-8 and 37-48 stand for lines of the same number, 21-28 for lines 9-16; anything
// else 0. The reverse maps 9-12 to 21-24.
unsigned LineCodeToNumber(unsigned code);
unsigned LineNumberToCode(unsigned number);

// The number formed by up to 4 decimal digits at the start of the text; 0 when it begins with
// anything else.
unsigned ParseDecimal(std::string_view text);

}  // namespace qzs
