// Conversions of byte strings at the borders of the program: Base64 for the credentials of the
// transfer with the main unit, the URL form of request paths, and Shift-JIS to ISO-2022-JP.
//
// Every function takes the bytes of its argument up to the first 0 byte (or its end) and answers
// a new string; none fails: every byte sequence gives some result, and nothing past the end of
// the argument is read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qzs {

// The Base64 alphabet: 0-25 'A'-'Z', 26-51 'a'-'z', 52-61 '0'-'9', 62 '+', 63 '/'; any other
// value '='.
char Base64DigitChar(unsigned value);
// Its inverse; '=' is 64, any other character 255.
std::uint8_t Base64DigitValue(char c);

// The text as Base64 with '=' padding and no line breaks.
std::string Base64Encode(std::string_view text);
// Lenient decoding, four characters at a time: every character counts (one outside the alphabet
// as 63, '=' as 0), and decoding stops, keeping what it has made, at the first group with fewer
// than two characters or a '=' among its first two, and after the byte before a '=' or the end.
// So padded and unpadded text decode alike; a line break shifts the groups that follow.
std::string Base64Decode(std::string_view text);

// Two characters as the high and low nibble of a byte: '0'-'9', 'A'-'F' and 'a'-'f' by their
// value, any other character by its own code, the result cut to 8 bits.
std::uint8_t HexDigitsToByte(char high, char low);
// The byte as two upper-case hexadecimal characters, high nibble first.
std::string ByteToHexDigits(std::uint8_t byte);

// '+' becomes a blank and '%' with the two characters after it the byte they name; every other
// byte is copied. A '%' with fewer than two characters after it is copied with them as it stands.
std::string UrlDecode(std::string_view text);
// Letters, digits and "*-.@_" are kept, a blank becomes '+', every other byte %XX. The byte after
// a Shift-JIS lead byte is always written as %XX, letters and digits included.
std::string UrlEncode(std::string_view text);
// One byte as UrlEncode writes it; force writes %XX whatever the byte.
std::string UrlEncodeByte(std::uint8_t byte, bool force);

// True for a byte that starts a double-byte Shift-JIS character (0x81-0x9F, 0xE0-0xFC).
bool IsSjisLeadByte(std::uint8_t byte);
// One double-byte character as its two JIS X 0208 bytes.
std::uint16_t SjisPairToJis(std::uint8_t first, std::uint8_t second);
// Shift-JIS to ISO-2022-JP: runs of double-byte characters between ESC $ B and ESC ( B, other
// bytes unchanged (8-bit half-width katakana too), CR LF as LF. A lead byte with no byte after
// it is dropped: it names no character.
std::string SjisToJis(std::string_view text);

}  // namespace qzs
