// Text helpers shared by every subsystem. They work on bytes and know only ASCII letters and
// blanks, whatever the locale. The case helpers are for ASCII words (file names, header names,
// keywords): in CP932 text a trail byte may be an ASCII letter, so such text is compared as it
// stands.
#pragma once

#include <string>
#include <string_view>

namespace qzs::base {

// Blank, tab, carriage return and line feed.
inline constexpr std::string_view kBlanks = " \t\r\n";

// The text without the given bytes at either end (or at the start or end only).
std::string_view Trim(std::string_view text, std::string_view blanks = kBlanks);
std::string_view TrimStart(std::string_view text, std::string_view blanks = kBlanks);
std::string_view TrimEnd(std::string_view text, std::string_view blanks = kBlanks);

// ASCII letters changed in case; every other byte as it stands.
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

// Equal, or beginning with prefix, when the case of ASCII letters is ignored.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace qzs::base
