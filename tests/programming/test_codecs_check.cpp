// Cross-checks the position codecs, the packed digit codecs and the digit fields against small
// reference models written apart from the code: every codec is run over its whole input range
// (all three-digit strings, all byte values, all character pairs) and compared with the model.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "programming/data_image.h"
#include "programming/digit_fields.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kAt = 4;     // line position the parsers read from
constexpr std::size_t kPrefix = 4;  // "001=" before every append
constexpr std::uint8_t kRefused = 255;

TerminalRecord LineWith(std::string_view text, std::size_t at = kAt) {
    TerminalRecord record;
    record.line.Blank();
    record.line.Write(at, text);
    record.line.SetCursor(static_cast<int>(at + text.size()));
    return record;
}

TerminalRecord LineForAppend() {
    return LineWith("001=", 0);
}

std::string Appended(const TerminalRecord& record) {
    return std::string(record.line.Text().substr(kPrefix, record.line.Cursor() - kPrefix));
}

std::string ThreeDigits(int value) {
    return {static_cast<char>('0' + value / 100), static_cast<char>('0' + value / 10 % 10),
            static_cast<char>('0' + value % 10)};
}

// ---------------------------------------------------------------------------------------------
// Reference model: position numbers and slot codes.

struct PositionDigits {
    int x;   // first digit
    int yy;  // last two digits
};

PositionDigits Digits(int number) {
    return {number / 100, number % 100};
}

std::uint8_t RefParsePosition36(int number) {
    if (number == 0) return 0;
    const auto [x, yy] = Digits(number);
    if (x < 1 || x > 3 || yy < 1 || yy > 36) return kRefused;
    const int index = (x - 1) * 36 + yy;
    return index <= 12 ? static_cast<std::uint8_t>(index) : kRefused;
}

std::uint8_t RefParsePosition1(int number) {
    if (number == 0) return 0;
    const auto [x, yy] = Digits(number);
    if (x != 1) return kRefused;
    if ((yy >= 1 && yy <= 6) || (yy >= 9 && yy <= 12)) return static_cast<std::uint8_t>(yy);
    return kRefused;
}

std::uint8_t RefParsePositionSpecial(int number, bool special_allowed = true) {
    if (number == 0) return 0;
    const auto [x, yy] = Digits(number);
    if (x == 8 && special_allowed && yy <= 15) return static_cast<std::uint8_t>(129 + yy);
    if (x == 1 && ((yy >= 1 && yy <= 12) || (yy >= 37 && yy <= 48))) {
        return static_cast<std::uint8_t>(yy);
    }
    return kRefused;
}

std::uint8_t RefParsePositionOrSpecial(int number) {
    return RefParsePositionSpecial(number, false);
}

std::uint8_t RefParsePosition72(int number) {
    if (number == 0) return 0;
    const auto [x, yy] = Digits(number);
    if (x < 1 || x > 3 || yy < 1 || yy > 72) return kRefused;
    const std::uint8_t r = RefParsePositionOrSpecial(number);
    const int limit = yy >= 37 ? 48 : 12;
    return r <= limit ? r : kRefused;
}

std::uint8_t RefSlotCodeOfPosition(int index) {
    if (index >= 1 && index <= 4) return static_cast<std::uint8_t>(index);
    if (index >= 5 && index <= 8) return static_cast<std::uint8_t>(index + 4);
    if (index >= 9 && index <= 12) return static_cast<std::uint8_t>(index + 24);
    return 0;
}

int RefPositionOfSlotCode(int code) {
    if (code >= 1 && code <= 4) return 100 + code;
    if (code >= 9 && code <= 12) return 105 + (code - 9);
    if (code >= 33 && code <= 36) return 109 + (code - 33);
    return 0;
}

std::uint8_t RefMapSlotCode(int value) {
    if (value > 128) return static_cast<std::uint8_t>(value);
    return RefSlotCodeOfPosition(value);
}

std::uint8_t RefMapSlotCodeWide(int value) {
    if (value == 0) return 0;
    if (value >= 129) return static_cast<std::uint8_t>(value);
    if (value >= 37 && value <= 72) value += 28;
    if (value <= 64) return RefSlotCodeOfPosition(value);
    return static_cast<std::uint8_t>(RefSlotCodeOfPosition(value - 64) + 64);
}

std::string RefPortCodeText(int code) {
    if (code == 0) return "000";
    if (code <= 64) return ThreeDigits(RefPositionOfSlotCode(code));
    if (code <= 128) return ThreeDigits(RefPositionOfSlotCode(code - 64) + 36);
    if (code <= 228) return "8" + ThreeDigits(code - 129).substr(1);
    return ThreeDigits(code);  // no position: the code's own digits
}

struct ParserCase {
    const char* name;
    std::uint8_t (*parse)(const TerminalRecord&, std::uint8_t);
    std::uint8_t (*expected)(int);
    int accepted;  // "000" plus the positions the parser names
};

const std::array<ParserCase, 5> kParsers{{
    {"ParsePosition36", ParsePosition36, RefParsePosition36, 1 + 12},
    {"ParsePosition1", ParsePosition1, RefParsePosition1, 1 + 10},
    {"ParsePositionSpecial", ParsePositionSpecial, [](int n) { return RefParsePositionSpecial(n); },
     1 + 24 + 16},
    {"ParsePositionOrSpecial", ParsePositionOrSpecial, RefParsePositionOrSpecial, 1 + 24},
    {"ParsePosition72", ParsePosition72, RefParsePosition72, 1 + 24},
}};

TEST(PositionCodecsCheck, EveryParserOverAllThreeDigitStrings) {
    for (const ParserCase& parser : kParsers) {
        int accepted = 0;
        for (int number = 0; number < 1000; ++number) {
            const TerminalRecord record = LineWith(ThreeDigits(number));
            const std::uint8_t got = parser.parse(record, kAt);
            EXPECT_EQ(got, parser.expected(number)) << parser.name << " " << ThreeDigits(number);
            if (got != kRefused) ++accepted;
        }
        EXPECT_EQ(accepted, parser.accepted) << parser.name;
    }
}

TEST(PositionCodecsCheck, ParsersReadOnlyTheirThreeCharacters) {
    // Digits on either side of the field change nothing.
    TerminalRecord record = LineWith("91379", kAt - 1);
    EXPECT_EQ(ParsePosition72(record, kAt), 37);
    EXPECT_EQ(ParsePositionSpecial(record, kAt), 37);
    record = LineWith("58155", kAt - 1);
    EXPECT_EQ(ParsePositionSpecial(record, kAt), 144);
}

TEST(PositionCodecsCheck, NonDigitsAreRefusedByEveryParser) {
    // ":" is '0' + 10: read blindly, "10:" would pass as position index 10.
    for (const char* text : {"10:", "1:0", "   ", "8/5", "1 2", "#00", "00 "}) {
        for (const ParserCase& parser : kParsers) {
            EXPECT_EQ(parser.parse(LineWith(text), kAt), kRefused) << parser.name << " " << text;
        }
    }
}

TEST(PositionCodecsCheck, ByteMapsOverAllValues) {
    for (int v = 0; v < 256; ++v) {
        const auto b = static_cast<std::uint8_t>(v);
        EXPECT_EQ(SlotCodeOfPosition(b), RefSlotCodeOfPosition(v)) << v;
        EXPECT_EQ(PositionOfSlotCode(b), RefPositionOfSlotCode(v)) << v;
        EXPECT_EQ(MapSlotCode(b), RefMapSlotCode(v)) << v;
        EXPECT_EQ(MapSlotCodeWide(b), RefMapSlotCodeWide(v)) << v;
        EXPECT_EQ(MapCrCode(b), v == 13 ? 37 : v) << v;
        EXPECT_EQ(KeepCode(b), v) << v;
    }
}

TEST(PositionCodecsCheck, AppendPortCodeOverAllCodes) {
    for (int code = 0; code < 256; ++code) {
        TerminalRecord record = LineForAppend();
        AppendPortCode(record, static_cast<std::uint8_t>(code));
        EXPECT_EQ(record.line.Cursor(), kPrefix + 3) << code;
        EXPECT_EQ(Appended(record), RefPortCodeText(code)) << code;
        EXPECT_EQ(record.line.Text().substr(kPrefix + 3), std::string(27 - kPrefix - 3, ' '));
    }
}

TEST(PositionCodecsCheck, EveryAcceptedPositionRoundTripsThroughItsMap) {
    // Parse, map to a slot code, show it again: the same three digits come back.
    for (int number = 1; number < 1000; ++number) {
        const TerminalRecord record = LineWith(ThreeDigits(number));
        const std::uint8_t narrow = ParsePosition36(record, kAt);
        const std::uint8_t wide = ParsePositionSpecial(record, kAt);
        for (const auto& [index, code] :
             {std::pair{narrow, MapSlotCode(narrow)}, std::pair{wide, MapSlotCodeWide(wide)}}) {
            if (index == kRefused) {
                EXPECT_EQ(code, kRefused) << number;
                continue;
            }
            TerminalRecord shown = LineForAppend();
            AppendPortCode(shown, code);
            EXPECT_EQ(Appended(shown), ThreeDigits(number)) << number;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Reference model: the unit address-pair check.

bool RefPairUsed(const DataImage& image, int own, int number, int code) {
    for (int unit = 1; unit <= 12; ++unit) {
        if (unit == 7 || unit == 8) continue;
        const int entry = unit < 9 ? unit : unit - 2;
        if (entry == own) continue;
        const auto& bytes = image.unit_entry_table[entry - 1];
        if (bytes[1] == number && (bytes[0] & 0x1F) == code &&
            image.unit_status_table[entry - 1][0] != kUnitNotInUse) {
            return true;
        }
    }
    return false;
}

TEST(PositionCodecsCheck, UnitLimitIsTheFirstBankCapacity) {
    EXPECT_EQ(GetUnitLimit(), 12);
}

TEST(PositionCodecsCheck, PairCheckAgainstModelOverManyImages) {
    auto image = std::make_unique<DataImage>();
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(seed >> 16);
    };
    const std::array<std::uint8_t, 8> numbers{0, 1, 5, 31, 32, 37, 0xE5, 255};
    for (int round = 0; round < 200; ++round) {
        // Small values so that pairs repeat; the upper bits of byte 0 vary to show they are
        // ignored, those of byte 1 to show they count.
        for (std::size_t e = 0; e < kUnitEntryCount; ++e) {
            image->unit_entry_table[e][0] =
                static_cast<std::uint8_t>((next() & 0xE0) | (next() % 3));
            image->unit_entry_table[e][1] =
                numbers[next() % 4] | static_cast<std::uint8_t>(next() % 2 ? 0x20 : 0);
            image->unit_status_table[e][0] = next() % 4 == 0 ? kUnitNotInUse : next() % 3;
        }
        for (int own = 0; own <= 12; ++own) {
            for (std::uint8_t number : numbers) {
                for (std::uint8_t number_bits : {0, 0x20}) {
                    const auto n = static_cast<std::uint8_t>(number | number_bits);
                    for (std::uint8_t code : {0, 1, 2, 3, 31, 32, 33, 0xE1}) {
                        ASSERT_EQ(
                            IsPairUsedByOtherUnit(*image, static_cast<std::uint8_t>(own), n, code),
                            RefPairUsed(*image, own, n, code))
                            << "round " << round << " own " << own << " number " << int{n}
                            << " code " << int{code};
                    }
                }
            }
        }
    }
}

TEST(PositionCodecsCheck, PairCheckCases) {
    struct Case {
        const char* what;
        std::size_t entry;  // 0-based entry holding (number 7, code 5)
        std::uint8_t status;
        std::uint8_t own;
        std::uint8_t number;
        std::uint8_t code;
        bool used;
    };
    const std::array<Case, 9> cases{{
        {"another unit in use holds it", 2, 0, 1, 7, 5, true},
        {"own entry is skipped", 2, 0, 3, 7, 5, false},
        {"unit not in use does not count", 2, kUnitNotInUse, 1, 7, 5, false},
        {"number differs", 2, 0, 1, 8, 5, false},
        {"code differs", 2, 0, 1, 7, 6, false},
        {"last entry is reached", 9, 0, 1, 7, 5, true},
        {"own last entry is skipped", 9, 0, 10, 7, 5, false},
        {"entry 7 (unit 9) is reached", 6, 0, 1, 7, 5, true},
        {"any other status counts as in use", 6, 1, 1, 7, 5, true},
    }};
    for (const Case& c : cases) {
        auto image = std::make_unique<DataImage>();
        for (auto& status : image->unit_status_table) status[0] = kUnitNotInUse;
        image->unit_entry_table[c.entry][0] = 0xA5;  // code 5 under unrelated upper bits
        image->unit_entry_table[c.entry][1] = 7;
        image->unit_status_table[c.entry][0] = c.status;
        EXPECT_EQ(IsPairUsedByOtherUnit(*image, c.own, c.number, c.code), c.used) << c.what;
    }
}

// ---------------------------------------------------------------------------------------------
// Reference model: dial-digit nibbles, two-character codes, hexadecimal and BCD digits.

struct CodeRow {
    std::uint8_t nibble;
    char character;
};

// The dial-digit code: nibble 0 is the end of the string (a blank on the line).
constexpr std::array<CodeRow, 16> kDialCode{{
    {0, ' '},
    {1, '1'},
    {2, '2'},
    {3, '3'},
    {4, '4'},
    {5, '5'},
    {6, '6'},
    {7, '7'},
    {8, '8'},
    {9, '9'},
    {10, '0'},
    {11, '#'},
    {12, 'c'},
    {13, ','},
    {14, '-'},
    {15, '='},
}};

// The two-character code: '0' is nibble 0; nibble 10 has no character of its own.
constexpr std::array<CodeRow, 15> kTwoCharCode{{
    {0, '0'},
    {1, '1'},
    {2, '2'},
    {3, '3'},
    {4, '4'},
    {5, '5'},
    {6, '6'},
    {7, '7'},
    {8, '8'},
    {9, '9'},
    {11, '#'},
    {12, 'c'},
    {13, ','},
    {14, '-'},
    {15, '='},
}};

// Characters outside a code pack as 0.
template <std::size_t N>
std::uint8_t Encode(const std::array<CodeRow, N>& table, char c) {
    for (const CodeRow& row : table) {
        if (row.character == c) return row.nibble;
    }
    return 0;
}

char DialChar(int nibble) {
    return kDialCode[static_cast<std::size_t>(nibble)].character;
}

char TwoCharChar(int nibble) {
    if (nibble == 10) return ':';
    for (const CodeRow& row : kTwoCharCode) {
        if (row.nibble == nibble) return row.character;
    }
    return '?';
}

char HexChar(int nibble) {
    return "0123456789ABCDEF"[nibble];
}

std::uint8_t HexNibble(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    return 0;
}

int Hi(std::uint8_t b) {
    return b >> 4;
}
int Lo(std::uint8_t b) {
    return b & 0x0F;
}

// Line characters worth comparing against: every coded character and a few without a code.
const std::string kProbeChars = std::string(" 0123456789#c,-=ABCDEFa*:/") + '\0';

TEST(PackedDigitsCheck, DialDigitsPackOverAllCharacterPairs) {
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string text{static_cast<char>(a), static_cast<char>(b)};
            const TerminalRecord record = LineWith(text);
            const auto hi = Encode(kDialCode, text[0]);
            const auto lo = Encode(kDialCode, text[1]);
            Bytes high_first{0x77, 0x77};
            PackDialDigits(record, 2, kAt, high_first);
            ASSERT_EQ(high_first, (Bytes{static_cast<std::uint8_t>(hi << 4 | lo), 0x77}))
                << a << "," << b;
            Bytes low_first{0x77, 0x77};
            PackDialDigitsLowFirst(record, 2, kAt, low_first);
            ASSERT_EQ(low_first, (Bytes{static_cast<std::uint8_t>(lo << 4 | hi), 0x77}))
                << a << "," << b;
        }
    }
}

TEST(PackedDigitsCheck, DialDigitsPackOddCountKeepsTheOtherNibble) {
    for (const CodeRow& row : kDialCode) {
        const TerminalRecord record = LineWith(std::string("12") + row.character + "9");
        Bytes high_first{0xFF, 0x5A, 0x77};
        PackDialDigits(record, 3, kAt, high_first);
        EXPECT_EQ(high_first, (Bytes{0x12, static_cast<std::uint8_t>(row.nibble << 4 | 0xA), 0x77}))
            << row.character;
        Bytes low_first{0xFF, 0x5A, 0x77};
        PackDialDigitsLowFirst(record, 3, kAt, low_first);
        EXPECT_EQ(low_first, (Bytes{0x21, static_cast<std::uint8_t>(0x50 | row.nibble), 0x77}))
            << row.character;
    }
}

TEST(PackedDigitsCheck, DialDigitsVerifyOverAllBytes) {
    for (int v = 0; v < 256; ++v) {
        const Bytes bytes{static_cast<std::uint8_t>(v)};
        for (char a : kProbeChars) {
            for (char b : kProbeChars) {
                const TerminalRecord record = LineWith(std::string{a, b});
                const bool high_same = DialChar(Hi(bytes[0])) == a && DialChar(Lo(bytes[0])) == b;
                const bool low_same = DialChar(Lo(bytes[0])) == a && DialChar(Hi(bytes[0])) == b;
                ASSERT_EQ(VerifyDialDigits(record, 2, kAt, bytes), high_same ? 0 : 2)
                    << v << " '" << a << b << "'";
                ASSERT_EQ(VerifyDialDigitsLowFirst(record, 2, kAt, bytes), low_same ? 0 : 2)
                    << v << " '" << a << b << "'";
                // With an odd count only the first character is compared.
                ASSERT_EQ(VerifyDialDigits(record, 1, kAt, bytes),
                          DialChar(Hi(bytes[0])) == a ? 0 : 2);
                ASSERT_EQ(VerifyDialDigitsLowFirst(record, 1, kAt, bytes),
                          DialChar(Lo(bytes[0])) == a ? 0 : 2);
            }
        }
    }
}

std::string RefUnpackDial(const Bytes& bytes, int n, bool low_first) {
    std::string out;
    for (std::uint8_t b : bytes) {
        for (int nibble : low_first ? std::array{Lo(b), Hi(b)} : std::array{Hi(b), Lo(b)}) {
            if (static_cast<int>(out.size()) == n || nibble == 0) return out;
            out += DialChar(nibble);
        }
    }
    return out;
}

std::string RefUnpackBcd(const Bytes& bytes, int n) {
    std::string out;
    for (std::uint8_t b : bytes) {
        for (int nibble : {Hi(b), Lo(b)}) {
            if (static_cast<int>(out.size()) == n || nibble == 15) return out;
            out += static_cast<char>('0' + nibble);
        }
    }
    return out;
}

TEST(PackedDigitsCheck, DialAndBcdUnpackOverAllBytePairs) {
    for (int v = 0; v < 256; ++v) {
        for (int w = 0; w < 256; ++w) {
            const Bytes bytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(w)};
            for (std::uint8_t n : {3, 4}) {
                TerminalRecord high_first = LineForAppend();
                UnpackDialDigits(high_first, n, bytes);
                ASSERT_EQ(Appended(high_first), RefUnpackDial(bytes, n, false))
                    << v << "," << w << " n " << int{n};
                TerminalRecord low_first = LineForAppend();
                UnpackDialDigitsLowFirst(low_first, n, bytes);
                ASSERT_EQ(Appended(low_first), RefUnpackDial(bytes, n, true))
                    << v << "," << w << " n " << int{n};
                TerminalRecord bcd = LineForAppend();
                UnpackBcdDigits(bcd, n, bytes);
                ASSERT_EQ(Appended(bcd), RefUnpackBcd(bytes, n)) << v << "," << w;
            }
        }
    }
}

TEST(PackedDigitsCheck, DialDigitsRoundTripEveryCodedCharacter) {
    // Twelve characters, every coded one but the blank, packed and shown again both ways.
    const std::string text = "1234567890#c,-=";
    for (std::size_t n = 1; n <= text.size(); ++n) {
        const TerminalRecord record = LineWith(text.substr(0, n));
        for (bool low_first : {false, true}) {
            Bytes bytes(8, 0);
            if (low_first) {
                PackDialDigitsLowFirst(record, static_cast<std::uint8_t>(n), kAt, bytes);
                EXPECT_EQ(
                    VerifyDialDigitsLowFirst(record, static_cast<std::uint8_t>(n), kAt, bytes), 0);
            } else {
                PackDialDigits(record, static_cast<std::uint8_t>(n), kAt, bytes);
                EXPECT_EQ(VerifyDialDigits(record, static_cast<std::uint8_t>(n), kAt, bytes), 0);
            }
            TerminalRecord shown = LineForAppend();
            if (low_first) {
                UnpackDialDigitsLowFirst(shown, static_cast<std::uint8_t>(n), bytes);
            } else {
                UnpackDialDigits(shown, static_cast<std::uint8_t>(n), bytes);
            }
            EXPECT_EQ(Appended(shown), text.substr(0, n)) << n << " low first " << low_first;
        }
    }
}

TEST(PackedDigitsCheck, BitsOfBytesAndWords) {
    for (std::size_t bit = 0; bit < 32; ++bit) {
        const std::size_t byte = bit / 8;  // on little-endian words the same byte and bit
        const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
        for (std::uint8_t fill : {0x00, 0xFF, 0x5A}) {
            for (std::uint8_t value : {0, 1, 2, 255}) {
                Bytes expected(4, fill);
                if (value == 0) expected[byte] &= static_cast<std::uint8_t>(~mask);
                if (value == 1) expected[byte] |= mask;
                Bytes bytes(4, fill);
                SetBitFromEntry(bit, value, bytes);
                EXPECT_EQ(bytes, expected) << bit << " " << int{value};
                Bytes words(4, fill);
                SetWordBit(bit, value, words);
                EXPECT_EQ(words, expected) << bit << " " << int{value};
            }
            const Bytes bytes(4, fill);
            const bool set = (fill & mask) != 0;
            EXPECT_EQ(VerifyBit(bit, set ? 1 : 0, bytes), 0);
            EXPECT_EQ(VerifyBit(bit, set ? 0 : 1, bytes), 2);
            EXPECT_EQ(VerifyWordBit(bit, set ? 1 : 0, bytes), 0);
            EXPECT_EQ(VerifyWordBit(bit, set ? 0 : 1, bytes), 2);
            TerminalRecord shown = LineForAppend();
            AppendBit(shown, bit, bytes);
            AppendWordBit(shown, bit, bytes);
            EXPECT_EQ(Appended(shown), set ? "11" : "00") << bit;
        }
    }
}

TEST(PackedDigitsCheck, HexDigitsOverAllCharacterPairsAndBytes) {
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string text{static_cast<char>(a), static_cast<char>(b)};
            Bytes bytes{0x77, 0x77};
            PackHexDigits(LineWith(text), 2, kAt, bytes);
            ASSERT_EQ(
                bytes,
                (Bytes{static_cast<std::uint8_t>(HexNibble(text[0]) << 4 | HexNibble(text[1])),
                       0x77}))
                << a << "," << b;
        }
    }
    for (int v = 0; v < 256; ++v) {
        const Bytes bytes{static_cast<std::uint8_t>(v), 0x3C};
        TerminalRecord shown = LineForAppend();
        UnpackHexDigits(shown, 3, bytes);
        const std::string text{HexChar(Hi(bytes[0])), HexChar(Lo(bytes[0])), '3'};
        ASSERT_EQ(Appended(shown), text) << v;
        for (char a : kProbeChars) {
            for (char b : kProbeChars) {
                const TerminalRecord record = LineWith(std::string{a, b});
                const bool same = HexChar(Hi(bytes[0])) == a && HexChar(Lo(bytes[0])) == b;
                ASSERT_EQ(VerifyHexDigits(record, 2, kAt, bytes), same ? 0 : 2) << v;
            }
        }
    }
}

TEST(PackedDigitsCheck, HexDigitsOddCountKeepsTheLowNibble) {
    Bytes bytes{0x00, 0x5A};
    const TerminalRecord record = LineWith("F3C");
    PackHexDigits(record, 3, kAt, bytes);
    EXPECT_EQ(bytes, (Bytes{0xF3, 0xCA}));
    EXPECT_EQ(VerifyHexDigits(record, 3, kAt, bytes), 0);
}

TEST(PackedDigitsCheck, ClearPackedDigitsOverCountsAndContents) {
    for (std::uint8_t n = 0; n <= 7; ++n) {
        for (int last = 0; last < 256; ++last) {
            Bytes bytes(4, 0x99);
            bytes[n / 2] = static_cast<std::uint8_t>(last);
            Bytes expected = bytes;
            for (std::size_t i = 0; i < n / 2u; ++i) expected[i] = 0;
            std::uint8_t answer = 0;
            if (n % 2 == 1) {
                expected[n / 2] &= 0x0F;
                answer = (last & 0x0F) != 0 ? 2 : 0;
            }
            ASSERT_EQ(ClearPackedDigits(n, bytes), answer) << int{n} << " " << last;
            ASSERT_EQ(bytes, expected) << int{n} << " " << last;
        }
    }
}

TEST(PackedDigitsCheck, TwoCharCodeOverAllCharacterPairsAndBytes) {
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string text{static_cast<char>(a), static_cast<char>(b)};
            std::uint8_t byte = 0x77;
            PackTwoCharCode(LineWith(text), kAt, byte);
            ASSERT_EQ(byte, Encode(kTwoCharCode, text[0]) << 4 | Encode(kTwoCharCode, text[1]))
                << a << "," << b;
        }
    }
    for (int v = 0; v < 256; ++v) {
        const auto byte = static_cast<std::uint8_t>(v);
        const std::string text{TwoCharChar(Hi(byte)), TwoCharChar(Lo(byte))};
        TerminalRecord shown = LineForAppend();
        AppendTwoCharCode(shown, byte);
        ASSERT_EQ(Appended(shown), text) << v;
        for (char a : kProbeChars) {
            for (char b : kProbeChars) {
                const bool same = text[0] == a && text[1] == b;
                ASSERT_EQ(VerifyTwoCharCode(LineWith(std::string{a, b}), kAt, byte), same ? 0 : 2)
                    << v << " '" << a << b << "'";
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Reference model: digit fields and bit fields.

// Decimal value of the field; nullopt when a character may not stand in it.
std::optional<std::uint64_t> RefDecimal(std::string_view text, bool blank_is_zero) {
    std::uint64_t value = 0;
    for (char c : text) {
        if (c == ' ' && blank_is_zero) {
            value *= 10;
        } else if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
        } else {
            return std::nullopt;
        }
    }
    return value;
}

template <typename T>
T RefParse(std::string_view text, bool blank_is_zero, T min, T max) {
    const T refused = static_cast<T>(~T{0});
    const auto value = RefDecimal(text, blank_is_zero);
    if (!value || *value < min || *value > max) return refused;
    return static_cast<T>(*value);
}

TEST(DigitFieldsCheck, ByteFieldOverAllStringsUpToThreeDigits) {
    const std::array<std::pair<std::uint8_t, std::uint8_t>, 5> ranges{
        {{0, 255}, {1, 24}, {0, 254}, {100, 200}, {7, 7}}};
    for (std::uint8_t n = 1; n <= 3; ++n) {
        int limit = 1;
        for (int i = 0; i < n; ++i) limit *= 10;
        for (int v = 0; v < limit; ++v) {
            const std::string text = ThreeDigits(v).substr(3 - n);
            for (const auto& [min, max] : ranges) {
                ASSERT_EQ(ParseByteField(LineWith(text), kAt, n, min, max),
                          RefParse<std::uint8_t>(text, false, min, max))
                    << text << " " << int{min} << "-" << int{max};
            }
        }
    }
}

TEST(DigitFieldsCheck, FieldCases) {
    struct Case {
        const char* text;
        std::uint8_t n;
        std::uint8_t min;
        std::uint8_t max;
        std::uint8_t byte;
        std::uint16_t word;
        std::uint32_t dword;
    };
    // The byte parser's 255 is always a refusal; word and dword read a blank as 0.
    const std::array<Case, 9> cases{{
        {"300", 3, 0, 255, 255, 300, 300},
        {"07", 2, 1, 24, 7, 7, 7},
        {"00", 2, 1, 24, 255, 0xFFFF, 0xFFFFFFFF},
        {"255", 3, 0, 255, 255, 255, 255},
        {"1 2", 3, 0, 255, 255, 102, 102},
        {"  ", 2, 0, 255, 255, 0, 0},
        {"0007", 4, 0, 255, 7, 7, 7},
        {"1A", 2, 0, 255, 255, 0xFFFF, 0xFFFFFFFF},
        {"9#", 2, 0, 255, 255, 0xFFFF, 0xFFFFFFFF},
    }};
    for (const Case& c : cases) {
        const TerminalRecord record = LineWith(c.text);
        EXPECT_EQ(ParseByteField(record, kAt, c.n, c.min, c.max), c.byte) << c.text;
        EXPECT_EQ(ParseWordField(record, kAt, c.n, c.min, 0xFFFF), c.word) << c.text;
        EXPECT_EQ(ParseDwordField(record, kAt, c.n, c.min, 0xFFFFFFFF), c.dword) << c.text;
    }
}

TEST(DigitFieldsCheck, WordFieldOverAllFiveDigitStrings) {
    const std::array<std::pair<std::uint16_t, std::uint16_t>, 3> ranges{
        {{0, 0xFFFF}, {1, 9999}, {1000, 65534}}};
    for (int v = 0; v < 100000; ++v) {
        std::string text = std::to_string(v);
        text.insert(0, 5 - text.size(), '0');
        for (const auto& [min, max] : ranges) {
            ASSERT_EQ(ParseWordField(LineWith(text), kAt, 5, min, max),
                      RefParse<std::uint16_t>(text, true, min, max))
                << text;
        }
    }
}

TEST(DigitFieldsCheck, DwordFieldAroundItsLimits) {
    for (const char* text :
         {"0000000000", "0000000001", "4294967294", "4294967295", "4294967296", "9999999999",
          "1234567890", "0065536   ", "4294967300", "8589934591"}) {
        for (const auto& [min, max] : std::array<std::pair<std::uint32_t, std::uint32_t>, 3>{
                 {{0, 0xFFFFFFFF}, {1, 99999999}, {65536, 4294967294u}}}) {
            EXPECT_EQ(ParseDwordField(LineWith(text), kAt, 10, min, max),
                      RefParse<std::uint32_t>(text, true, min, max))
                << text << " " << min << "-" << max;
        }
    }
}

TEST(DigitFieldsCheck, MeasureDigitField) {
    struct Case {
        std::string text;
        std::uint8_t expected;
    };
    const std::array<Case, 10> cases{{
        {"12 ", 2},
        {"1A2 ", 255},
        {"# ", 1},
        {"A", 1},
        {" ", 0},
        {"0", 1},
        {"#1 ", 255},
        {std::string(16, '7') + " ", 16},
        {std::string(20, '7'), 16},
        {std::string(16, '7') + "#", 16},
    }};
    for (const Case& c : cases) {
        EXPECT_EQ(MeasureDigitField(LineWith(c.text), kAt), c.expected) << c.text;
    }
    // A field that runs to the end of the line stops there.
    EXPECT_EQ(MeasureDigitField(LineWith("12345", 22), 22), 5);
}

TEST(DigitFieldsCheck, CharacterCodesOverAllValues) {
    for (int v = 0; v < 256; ++v) {
        const char c = static_cast<char>(v);
        const int dial = v >= '1' && v <= '9' ? v - '0' : v == '0' ? 10 : 0;
        EXPECT_EQ(DialDigitValue(c), dial) << v;
    }
    for (int nibble = 0; nibble < 16; ++nibble) {
        EXPECT_EQ(NibbleToHexChar(static_cast<std::uint8_t>(nibble)), HexChar(nibble));
        EXPECT_EQ(HexCharToNibble(HexChar(nibble)), nibble);
    }
    const std::array<std::pair<std::string_view, std::uint8_t>, 6> counts{
        {{"123#", 3}, {"12345", 4}, {"", 0}, {"#12", 0}, {"99", 2}, {"0 1", 1}}};
    for (const auto& [text, expected] : counts) {
        EXPECT_EQ(CountLeadingDigits(text, 4), expected) << text;
    }
}

TEST(DigitFieldsCheck, AppendNumberEveryValueThatFits) {
    for (std::uint8_t base : {10, 16}) {
        for (std::uint8_t n = 1; n <= (base == 10 ? 5 : 4); ++n) {
            std::uint32_t limit = 1;
            for (int i = 0; i < n; ++i) limit *= base;
            for (std::uint32_t v = 0; v < limit && v <= 0xFFFF; ++v) {
                std::string text(n, '0');
                for (std::uint32_t rest = v, i = n; i > 0; rest /= base)
                    text[--i] = HexChar(static_cast<int>(rest % base));
                TerminalRecord shown = LineForAppend();
                AppendNumber(shown, static_cast<std::uint16_t>(v), n, base);
                ASSERT_EQ(Appended(shown), text) << v << " n " << int{n} << " base " << int{base};
            }
        }
    }
    const std::array<std::tuple<std::uint32_t, std::uint8_t, std::uint8_t, std::string_view>, 5>
        longs{{{0x0012ABCD, 8, 16, "0012ABCD"},
               {0xFFFFFFFF, 8, 16, "FFFFFFFF"},
               {4294967295u, 10, 10, "4294967295"},
               {7, 3, 10, "007"},
               {0x2A, 2, 16, "2A"}}};
    for (const auto& [value, n, base, text] : longs) {
        TerminalRecord shown = LineForAppend();
        AppendLongNumber(shown, value, n, base);
        EXPECT_EQ(Appended(shown), text);
    }
}

struct BitFieldCase {
    const char* name;
    void (*set)(std::uint8_t, std::uint8_t&);
    std::uint8_t (*get)(std::uint8_t);
    int shift;
    int width;
    bool (*listed)(int value);
};

bool OneToThree(int v) {
    return v >= 1 && v <= 3;
}
bool OneToSeven(int v) {
    return v >= 1 && v <= 7;
}
bool OneOrTwo(int v) {
    return v == 1 || v == 2;
}
bool NibbleValue(int v) {
    return v <= 15;
}

const std::array<BitFieldCase, 11> kBitFields{{
    {"Bits67", SetBits67, GetBits67, 6, 2, OneToThree},
    {"Bits45", SetBits45, GetBits45, 4, 2, OneToThree},
    {"Bits23", SetBits23, GetBits23, 2, 2, OneToThree},
    {"Bits01", SetBits01, GetBits01, 0, 2, OneToThree},
    {"Bits57", SetBits57, GetBits57, 5, 3, OneToSeven},
    {"Bits02", SetBits02, GetBits02, 0, 3, OneToSeven},
    {"Bits46", SetBits46, GetBits46, 4, 3, OneToSeven},
    {"Bits34", SetBits34, GetBits34, 3, 2, OneToThree},
    {"Bits12", SetBits12, GetBits12, 1, 2, OneOrTwo},
    {"HighNibble", SetHighNibble, GetHighNibble, 4, 4, [](int) { return true; }},
    {"LowNibble", SetLowNibble, GetLowNibble, 0, 4, NibbleValue},
}};

TEST(DigitFieldsCheck, BitFieldsOverAllBytesAndValues) {
    for (const BitFieldCase& field : kBitFields) {
        const int ones = (1 << field.width) - 1;
        const auto mask = static_cast<std::uint8_t>(ones << field.shift);
        for (int start = 0; start < 256; ++start) {
            ASSERT_EQ(field.get(static_cast<std::uint8_t>(start)), (start >> field.shift) & ones)
                << field.name << " get " << start;
            for (int value = 0; value < 256; ++value) {
                auto byte = static_cast<std::uint8_t>(start);
                field.set(static_cast<std::uint8_t>(value), byte);
                const std::string name = field.name;
                if (name == "LowNibble" && value > 15) {
                    // Values above 15 are never passed; the rest of the byte still stays.
                    ASSERT_EQ(byte & ~mask, start & ~mask) << field.name << " " << value;
                    continue;
                }
                const int stored = field.listed(value) ? (value & ones) << field.shift : 0;
                ASSERT_EQ(byte, (start & ~mask) | stored)
                    << field.name << " start " << start << " value " << value;
            }
        }
    }
}

TEST(DigitFieldsCheck, WholeFieldsAndOneHot) {
    for (int start = 0; start < 256; ++start) {
        for (int value = 0; value < 256; ++value) {
            auto byte = static_cast<std::uint8_t>(start);
            SetByteField(static_cast<std::uint8_t>(value), byte);
            ASSERT_EQ(byte, value);
            byte = static_cast<std::uint8_t>(start);
            SetOneHot(static_cast<std::uint8_t>(value), byte);
            ASSERT_EQ(byte, value >= 1 && value <= 8 ? 1 << (value - 1) : 0) << value;
        }
        int highest = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (start & (1 << bit)) highest = bit + 1;
        }
        ASSERT_EQ(GetOneHotIndex(static_cast<std::uint8_t>(start)), highest) << start;
        ASSERT_EQ(GetByteField(static_cast<std::uint8_t>(start)), start);
    }
    std::array<std::uint8_t, 2> word{};
    SetWordField(0xBEEF, word);
    EXPECT_EQ(word, (std::array<std::uint8_t, 2>{0xEF, 0xBE}));
    EXPECT_EQ(GetWordField(word), 0xBEEF);
    std::array<std::uint8_t, 4> dword{};
    SetDwordField(0x12345678, dword);
    EXPECT_EQ(dword, (std::array<std::uint8_t, 4>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(GetDwordField(dword), 0x12345678u);
}

}  // namespace
}  // namespace qzs
