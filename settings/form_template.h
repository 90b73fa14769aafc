// The settings pages filled with the current values: a page's template is copied, and at the end
// of each form control's tag the control's value is written from the data image (the value a
// show command gives for "h" names, a button assignment for "i" names, a speed-dial row for "s"
// and "t" names), so the browser sees the data as it stands.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

namespace qzs {

struct ProgrammingState;

inline constexpr std::size_t kFormValueSlots = 720;  // the values one page can hold
inline constexpr std::size_t kFormFetchSlots = 5;    // the values of one name at most
inline constexpr std::size_t kFormSlotBytes = 31;    // one value, at most

// The show command string of a form name: "*", its parts with "_" left out, "#" for an "s",
// "##" for an "n" (which ends the name) and "#" at its end or at a double quote or blank.
// "h310_01" gives "*31001#".
std::string BuildShowCommand(std::string_view name);

// The current values of one form name into slots (each cut at 31 bytes); answers their count,
// or -1 when the name has none (an unknown first letter, a rejected show, a button or row that
// does not exist). Takes the ApplicationLock.
int GetFormFieldValues(ProgrammingState& state, std::string_view name,
                       std::array<std::string, kFormFetchSlots>& slots);

// Writes the template, filled, into out; write failures are the caller's to see on the stream.
// Controls get their values as the pages expect: radio buttons, check boxes and options their
// own value and " checked " or " selected " when it is the current one, text inputs the current
// value (escaped), buttons their own value; any other input loses its value. Always 0. Takes the
// ApplicationLock while the page is filled (not while it is written out).
int FillFormTemplate(ProgrammingState& state, std::string_view template_text, std::FILE* out);

}  // namespace qzs
