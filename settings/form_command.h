// The key assignment rule of the command strings that forms post and the main unit sends: *030
// (telephone position, key, function code) is written into the key layout directly, and every
// other key of that telephone with the same entry loses it, before the string itself is run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "programming/key_assignment.h"  // IsAssignableKeyCode

namespace qzs {

struct ProgrammingState;

// Reads a command string by position, counting from 0 at the "*". Nothing is read past the end
// of the text (or past a 0 byte in it): a position there reads as 0 and is no digit.
class CommandText {
  public:
    explicit CommandText(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

    std::string_view Text() const { return text_; }
    char At(std::size_t position) const { return position < text_.size() ? text_[position] : '\0'; }
    // True when the text has no character at the position.
    bool EndsAt(std::size_t position) const { return position >= text_.size(); }
    // The command number at positions 1-3 (three digits) or 1-4 (four digits beginning with 9).
    bool Is(std::string_view number) const {
        return text_.size() > number.size() && text_.substr(1, number.size()) == number;
    }
    // The n characters from the position as a decimal number; none when one is not a digit.
    std::optional<unsigned> Digits(std::size_t position, std::size_t n) const;
    // The telephone (port) code of the position XYY at the position: (X - 1) x 36 + YY through
    // MapSlotCode; 0 when that names no position (below 1 or above 255). None when a character
    // is not a digit.
    std::optional<std::uint8_t> TelephoneCode(std::size_t position) const;

  private:
    std::string_view text_;
};

// The text is a *030 command string: telephone position XYY at positions 4-6 (positions count
// from 0 at the "*"), key at 7-8 (99 stands for key 31), and the code: two digits at 9-10 when
// position 11 holds short_value_end or the text ends there, else three digits at 9-11. The form
// posts end a two-digit code with a blank, the main unit with "#".
//
// The telephone is (X - 1) x 36 + YY through MapSlotCode. When it is 1-64, the key 1-32 and the
// code one that a key can carry (0-8, 801-806, 851-854, 861-864, 877-888, 899-907, 927-932,
// 934-935, 938-958, 964-972, 975-990, 992-996, 998-999), the code is assigned and its duplicates
// on the telephone cleared; answers whether it was. Any other text, or a position that is not a
// digit or lies past the end of the text, changes nothing. Takes the ApplicationLock.
bool ApplyKeyAssignmentCommand(ProgrammingState& state, std::string_view text,
                               char short_value_end);

}  // namespace qzs
