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
#include <cstdint>
#include <optional>
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

// One field of a body: its name and the start of its value.
struct FormField {
    std::size_t start = 0;
    std::string_view name;  // up to the "=" (the whole field when it has none)
    std::size_t value = 0;  // the character after the "=", or the field's end
    std::size_t end = 0;    // the "&" after the field, or the end of the body
    bool has_value = false;
};

// No page posts anywhere near this many fields; a body with more is refused whole.
inline constexpr std::size_t kMaxFormFields = 10000;

// A body (up to its first 0 byte) split into its fields once, with what the row rules need
// worked out beforehand, so that applying it is one walk over the fields: a body of any shape
// costs time in proportion to its length. Needs no lock; views into the body, which must outlive
// it.
class FormFields {
  public:
    // None when the body holds more than max_fields fields.
    static std::optional<FormFields> Split(std::string_view body,
                                           std::size_t max_fields = kMaxFormFields);

    std::string_view body() const { return body_; }
    std::size_t size() const { return fields_.size(); }
    const FormField& operator[](std::size_t i) const { return fields_[i]; }

    // The row that begins with field i: its name must end in "1" and have a value; the row
    // prefix is the name up to its first "n" when that lies within 15 characters, else the
    // whole name; field k (2 onward) is the next later field with a value whose name begins
    // with the prefix, looked for up to the next field whose name ends in "n1" (another row).
    // False when the first name does not qualify or a field is missing; next is the index of
    // the field after the row's last.
    bool CollectRow(std::size_t i, std::size_t n, FormRow& row, std::size_t& next) const;

  private:
    std::string_view body_;
    std::vector<FormField> fields_;
    // For each field, the first field at or after it whose name ends in "n1".
    std::vector<std::uint32_t> next_row_start_;
    // For each field that can begin a row, the number of its row prefix; for each prefix, the
    // fields with a value whose names begin with it, in body order.
    std::vector<std::int32_t> prefix_of_;
    std::vector<std::vector<std::uint32_t>> matches_;
};

// CollectRow over a body by positions: the row whose first field starts at start.
bool CollectFieldValues(std::string_view body, std::size_t start, std::size_t n, FormRow& row);

// Applies the fields of a body under the ApplicationLock, taken only for this walk. The duplicate list of
// the speed-dial rows is cleared first; rows posted while duplicate_check_flag is 1 go to the
// working copy. Answers the number of fields and rows taken, or -1 when a button assignment was
// refused (an i14 page outside 1-8); what was applied before stays applied.
//
// An "h" field runs only when its command is one that a settings page offers, and only when its
// command string fits the 63 characters of the command buffer: a page elsewhere on the web can
// make the browser post here, and it must not reach the commands the pages keep away from.
[[nodiscard]] int ApplyFormPost(ProgrammingState& state, const FormFields& fields);
// Splits the body and applies it; a body of more fields than kMaxFormFields changes nothing and
// answers -1.
[[nodiscard]] int ApplyFormPost(ProgrammingState& state, std::string_view body);

// The system's rule for kanji and kana names: at most 20 bytes, and a two-byte Shift-JIS
// character that would be split at byte 20 is left out whole.
std::string CutFormName(std::string_view name);

}  // namespace qzs
