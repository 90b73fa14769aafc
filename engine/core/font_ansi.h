// The ANSI code page of the fonts' text (Japanese Windows: CP932, through glibc iconv).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kp {

// UTF-16 to CP932; a character CP932 lacks becomes '?', as WideCharToMultiByte's default.
std::string Utf16ToAnsi(std::u16string_view text);
// CP932 to UTF-16; a byte that starts no valid character becomes U+30FB, the code page's
// default character, and conversion goes on with the next byte.
std::u16string AnsiToUtf16(std::string_view text);

// The character of a Windows-1252 code, the code page of simple (ANSI charset) fonts; 0 for the
// five codes it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
char32_t Cp1252ToUnicode(uint8_t code);

}  // namespace kp
