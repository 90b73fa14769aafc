// Button assignments written directly into the key tables from their texts, and read back as a
// code text and a 16-character label. One-touch buttons ("i92" texts, 32 per telephone) live in
// the key layout table, paged buttons ("i14" texts, 16 on each of 8 pages) in the button
// assignment table. The texts come from form posts and from the main unit's transfer files.
//
// Text layouts, positions from 0:
//   i92: 0-2 "i92" or "*92", 4-6 telephone position, 8-9 button 01-32, 11 kind letter, 13-15
//        value characters.
//   i14: 0-2 "i14" or "*14", 4-6 telephone position, 8 page "1"-"8", 9-10 button 01-16 (the
//        one digit at 9 when position 11 is "_" and the text is longer than 12 characters); the
//        kind letter at 10 when position 11 is "_", at 12 when it is "n", else at 11; the value
//        characters from two after the kind.
// Only telephone positions 101-106 and 109-112 are taken (telephones 1-4, 9, 10, 33-36).
//
// Kinds and the two bytes stored (kind code, data byte); "digit code" is the key-sheet code of a
// character ('1'-'9' 1-9, '0' 10, '*' 11, '#' 12, 'P' 13, '-' 14, 'M' 15, 'G'-'J' 16-19):
//   "0", "1"  speed dial, three digits: (code of the first x 16 + 11, code of the third x 16 +
//             code of the second); rows 600-979 are not stored
//   "A"       i92: as "B" with "00"; i14: (0, 0) "no function"
//   "B"       two hex characters: (12, value)          "C"/"D" hex at value positions 2-3:
//   "E"       one character: (15, digit code)               (140 / 156, value)
//   "F"       a telephone position 101-112 or 137-148: (10, (X - 1) x 36 + YY, 9-12 as 21-24)
//   "G"       two hex characters: (28, value)
//   "H"       "0NN": (13, (NN + 217) mod 256); "8MM": (13, MM + 129), the form the code text
//             gives for data above 128; else a position as for "F"
//   "I"-"L"   or no kind: nothing stored, the button's lock flag set
#pragma once

#include <string>
#include <string_view>

namespace qzs {

struct ProgrammingState;

// Applies one text; answers 0 only for an i14 text whose page is not "1"-"8", else 1 (also when
// the text changed nothing: a telephone, button or value out of range, an unknown kind). The
// button's lock flag is cleared first; "I"-"L" and a missing kind set it, and so does any other
// unknown kind of a text shorter than 14 characters that did not come from a form. Takes the
// ApplicationLock.
int ApplyKeyAssignment(ProgrammingState& state, std::string_view text, bool from_form);

// For a form name laid out as a text up to the button ("i92_101_05", "i14_101_105"): the
// button's 16-character label ending in "c" and its code text (the kind letter, "," and the
// value characters; "G," and two hex characters for kind 28). A locked button gives the label
// "変更不可 c" and no code text. False, with both empty, when the name names no button.
bool GetKeyAssignmentText(ProgrammingState& state, std::string_view name, std::string& label,
                          std::string& code);

// The label of two stored bytes: 15 characters and "c". Kinds above 171 and kinds without a
// label give "変更不可 c" (10 bytes).
std::string KeyAssignmentLabel(unsigned kind, unsigned data);

}  // namespace qzs
