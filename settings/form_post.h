// Form posts of the settings pages applied to the data image. The browser posts a page as an
// application/x-www-form-urlencoded body whose field names say what each value changes:
//   h<command>[_<key>...]=v          one command string: "*", the command, the keys, the value
//                                    formatted to the data field's width, "#"
//   h<command>[_<key>...]n<k>=v      one command per row; the row's fields 1, 2, ... in order
//   i92_<telephone>_<button>n<k>=v   one-touch button: field 1 the kind letter, 2 its value
//   i14_<telephone>_<page><button>n1=v   paged button: the code text ("E_5")
//   s<row>n<k>=v                     system speed-dial row: number, kanji, kana, "0" + group
//   t<telephone>_<row>n<k>=v         a telephone's speed-dial row: number, kanji, kana
// Every other field is skipped. The names are taken raw; the values are decoded.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qzs {

struct ProgrammingState;

// Where the fields of one row lie in a body: the start of each value (field 1 first) and the
// position after the row's last field.
struct FormRow {
    std::vector<std::size_t> values;
    std::size_t next = 0;
};

// The row that begins with the field at start (the field's first character): the field's name
// must end in "1"; the row prefix is the name up to its first "n" when that lies within 15
// characters, else the whole name; field k (2 onward) is the first later field whose name begins
// with the prefix, looked for up to the next field whose name ends in "n1" (another row). False
// when the first name does not end in "1" or a field is missing.
bool CollectFieldValues(std::string_view body, std::size_t start, std::size_t n, FormRow& row);

// Applies a whole body (up to its first 0 byte) under the ApplicationLock. The duplicate list of
// the speed-dial rows is cleared first; rows posted while duplicate_check_flag is 1 go to the
// working copy. Answers the number of fields and rows taken, or -1 when a button assignment was
// refused (an i14 page outside 1-8); what was applied before stays applied.
//
// An "h" field runs only when its command is one that a settings page offers, and only when its
// command string fits the 63 characters of the command buffer: a page elsewhere on the web can
// make the browser post here, and it must not reach the commands the pages keep away from.
int ApplyFormPost(ProgrammingState& state, std::string_view body);

// The system's rule for kanji and kana names: at most 20 bytes, and a two-byte Shift-JIS
// character that would be split at byte 20 is left out whole.
std::string CutFormName(std::string_view name);

}  // namespace qzs
