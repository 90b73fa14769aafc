// Speed-dial rows read and written one record at a time: the 600 system rows (with the number
// index and the name chains kept in step) and the 20 rows of each telephone, numbered 980-999.
// While duplicate numbers are refused (the state's duplicate_check_flag is 1), web edits go to
// the working copy with duplicate detection and CommitSpeedDialPage later commits or discards
// them.
//
// Every entry takes the ApplicationLock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qzs {

struct ProgrammingState;

// One row in the form passed in and out. As text: the number as up to 24 characters ('1'-'9',
// '0', '*', '#', 'P', '-', 'M'), names of at most 20 Shift-JIS bytes, the group as a digit
// character. As stored (what the staged store of the live block takes): the number as 24
// nibbles, low nibble first, and the group as a number 0-7.
struct SpeedDialRecord {
    std::array<char, 25> number{};
    std::array<char, 21> kana{};
    std::array<char, 21> kanji{};
    char group = 0;
    std::array<char, 3> unused{};
};
static_assert(sizeof(SpeedDialRecord) == 71);

inline constexpr int kSystemSpeedDialRows = 600;  // rows 0-599
inline constexpr int kFirstTelephoneRow = 980;    // a telephone's rows 980-999
inline constexpr int kTelephoneRows = 20;
inline constexpr int kSpeedDialTelephoneSlots = 64;

// SpeedDialNumberCode of a character: 1-9 '1'-'9', 10 '0', 11 '*', 12 '#', 13 'P', 14 '-',
// 15 'M'; 0 (which ends a number) for any other character.
std::uint8_t SpeedDialNumberCode(char c);
// The text packed two characters a byte, the first in the low nibble. The first character
// without a code (a blank, a 0 byte, anything outside the fifteen) ends the number: it and
// everything after it pack as 0.
std::array<std::uint8_t, 12> PackSpeedDialNumber(std::string_view text);

// The clean-up of the names before they are stored. Kanji: characters (a byte 0x80-0x9F or
// 0xE0-0xFE starts a two-byte one) whose first byte is ',', '"', '<', '>' or '\' become a blank;
// a second byte is never changed. Kana: a byte 0x80-0xA0 and the byte after it within the name
// become blanks (two-byte characters cannot be shown), and ',', '"', '<', '>', '\' blanks;
// half-width kana stay. Both walk at most 20 bytes, up to the name's 0 byte.
void CleanSpeedDialNames(SpeedDialRecord& record);

// The live system row 0-599 from a text record, with the number index and the name chains kept
// in step. Answers 1, or 0 for a row outside 0-599 (row 600 is a telephone's row).
[[nodiscard]] int PutSystemSpeedDial(ProgrammingState& state, int row,
                                     const SpeedDialRecord& record);
// live 0: the system row of the working copy from a text record (the first row of a page of 50
// clears the page first); live 1: the live row from a stored record, with index and chain
// upkeep. With duplicate_check_flag 1, a row whose number another system row holds is noted in
// the duplicate list; when the list already holds a pair, a live store loses its number. Answers
// 1, or 0 for a row outside 0-599.
int StageSystemSpeedDial(ProgrammingState& state, int row, const SpeedDialRecord& record, int live);
// The live system row 0-600 as a text record (600 reads the first telephone row, as it always
// has); 0 for another row.
int GetSystemSpeedDial(ProgrammingState& state, int row, SpeedDialRecord& record);
// The working copy's system row 0-599 as a text record; 0 for another row.
int GetStagedSystemSpeedDial(ProgrammingState& state, int row, SpeedDialRecord& record);

// The same for row 980-999 of the telephone at a position (101-108 take slots 0-7, 109 on take
// slot position - 89); no group is stored, no index or chain upkeep, and the staged store always
// looks for duplicates among the telephone's 20 rows (noting the telephone position in the
// list). A row outside 980-999 or a slot outside 0-63 answers 0 and changes nothing.
[[nodiscard]] int PutTelephoneSpeedDial(ProgrammingState& state, int position, int row,
                                        const SpeedDialRecord& record);
int StageTelephoneSpeedDial(ProgrammingState& state, int position, int row,
                            const SpeedDialRecord& record, int live);
int GetTelephoneSpeedDial(ProgrammingState& state, int position, int row, SpeedDialRecord& record);
int GetStagedTelephoneSpeedDial(ProgrammingState& state, int position, int row,
                                SpeedDialRecord& record);

// commit 0: the working copy becomes a copy of the live rows (web edits discarded). commit 1:
// the working copy is copied over the live rows, the number index and the name chains are
// rebuilt from them, and then the rows of the page are stored again, the highest first, with
// duplicate detection: kind 1 with page 1-12 the system rows 50 (page - 1) to 50 page - 1; any
// other kind with page 1-6 the rows of telephones 2 page + 99 and 2 page + 100. Page 0 commits
// all rows; any other page only copies.
void CommitSpeedDialPage(ProgrammingState& state, int commit, int page, int kind);

}  // namespace qzs
