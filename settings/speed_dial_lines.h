// The speed-dial directories as sheet lines, one per row, for the data sheets and the speed-dial
// CSV files; the row stores that the CSV importers use; and the count of empty rows that the
// dialogs and the printing front end read.
//
// Every entry takes the ApplicationLock.
#pragma once

namespace qzs {

struct ProgrammingState;

inline constexpr int kFirstListTelephone = 101;
inline constexpr int kLastListTelephone = 112;

// Blanks the sheet lines and writes line r for each system row r from first to 599: the row as
// three digits, the number, the kana and kanji names (each ended by a 0 byte when shorter than
// its columns) and the group digit. Answers 1, or 0 for a first row above 600.
int BuildSystemSpeedDialLines(ProgrammingState& state, int first);
// Blanks the sheet lines and writes one line per row first_row-999 of each telephone
// first_telephone-112: the telephone, "0" and the row, then the number, names and group as in the
// system list. Answers 1, or 0 for a first row outside 980-999.
int BuildTelephoneSpeedDialLines(ProgrammingState& state, int first_telephone, int first_row);

// Fill the state's speed-dial field buffers from a live row; 0 when the row is out of range
// (system above 600, which reads the first telephone row as it always has; telephone rows outside
// 980-999 or a telephone without a slot).
int LoadSystemSpeedDialFields(ProgrammingState& state, int row);
int LoadTelephoneSpeedDialFields(ProgrammingState& state, int position, int row);

// Store the field buffers into a live row (names cleaned, the system row with its number index
// and name chains kept in step); 0 out of range, else 1.
[[nodiscard]] int StoreSystemSpeedDialRow(ProgrammingState& state, int row);
[[nodiscard]] int StoreTelephoneSpeedDialRow(ProgrammingState& state, int position, int row);

// which 0: the 600 system rows; a telephone position: its 20 rows (a position without a slot
// counts no empty rows). Leaves rows, empty rows and the first empty row in the state's
// speed_dial_list_counts (the first empty telephone row as 80 + its index, 80 when none); answers
// 1.
int CountFreeSpeedDialRows(ProgrammingState& state, int which);

}  // namespace qzs
