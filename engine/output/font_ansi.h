// The ANSI code page of the fonts' text (Japanese Windows: CP932, through glibc iconv).
#pragma once

#include <string>
#include <string_view>

namespace kp {

// UTF-16 to CP932; a character CP932 lacks becomes '?', as WideCharToMultiByte's default.
std::string Utf16ToAnsi(std::u16string_view text);
// CP932 to UTF-16; a byte that starts no valid character becomes U+30FB, the code page's
// default character, and conversion goes on with the next byte.
std::u16string AnsiToUtf16(std::string_view text);

}  // namespace kp
