#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "programming/packed_digits.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

// A record whose line holds `text` from position `at`, the rest blank, cursor after the text.
TerminalRecord RecordWithLine(std::string_view text, std::size_t at = 0) {
    TerminalRecord record;
    record.line.Blank();
    record.line.Write(at, text);
    record.line.SetCursor(static_cast<int>(at + text.size()));
    return record;
}

// What an append operation wrote after the cursor it started from.
std::string Shown(const TerminalRecord& record, std::size_t from) {
    return std::string(record.line.Text().substr(from, record.line.Cursor() - from));
}

using Bytes = std::vector<std::uint8_t>;

// The dial code: character and nibble.
struct DialCharacter {
    char c;
    std::uint8_t nibble;
};
constexpr DialCharacter kDialCode[] = {
    {' ', 0}, {'1', 1}, {'2', 2},  {'3', 3},  {'4', 4},  {'5', 5},  {'6', 6},  {'7', 7},
    {'8', 8}, {'9', 9}, {'0', 10}, {'#', 11}, {'c', 12}, {',', 13}, {'-', 14}, {'=', 15},
};

struct DialOrder {
    const char* name;
    void (*pack)(const TerminalRecord&, std::uint8_t, std::uint8_t, std::span<std::uint8_t>);
    std::uint8_t (*verify)(const TerminalRecord&, std::uint8_t, std::uint8_t,
                           std::span<const std::uint8_t>);
    void (*unpack)(TerminalRecord&, std::uint8_t, std::span<const std::uint8_t>);
    bool high_first;
};
const DialOrder kDialOrders[] = {
    {"high first", PackDialDigits, VerifyDialDigits, UnpackDialDigits, true},
    {"low first", PackDialDigitsLowFirst, VerifyDialDigitsLowFirst, UnpackDialDigitsLowFirst,
     false},
};

TEST(DialDigits, NamedCases) {
    const TerminalRecord record = RecordWithLine("12#0c");
    Bytes bytes = {0xFF, 0xFF, 0x05, 0xEE};
    PackDialDigits(record, 5, 0, bytes);
    EXPECT_EQ(bytes, (Bytes{0x12, 0xBA, 0xC5, 0xEE})) << "odd length keeps the old low nibble";
    EXPECT_EQ(VerifyDialDigits(record, 5, 0, bytes), 0);

    TerminalRecord shown = RecordWithLine("");
    UnpackDialDigits(shown, 6, Bytes{0x12, 0xBA, 0xC0});
    EXPECT_EQ(Shown(shown, 0), "12#0c") << "stops at the 0 nibble";

    TerminalRecord nothing = RecordWithLine("");
    UnpackDialDigits(nothing, 6, Bytes{0x0F, 0x12});
    EXPECT_EQ(Shown(nothing, 0), "") << "a first byte below 16 shows nothing";

    TerminalRecord low_nothing = RecordWithLine("");
    UnpackDialDigitsLowFirst(low_nothing, 6, Bytes{0xF0, 0x12});
    EXPECT_EQ(Shown(low_nothing, 0), "") << "low first: a first low nibble 0 shows nothing";

    const TerminalRecord blank_tail = RecordWithLine("12 ");
    EXPECT_EQ(VerifyDialDigits(blank_tail, 4, 0, Bytes{0x12, 0x00}), 0)
        << "a blank on the line matches a 0 nibble";
    EXPECT_EQ(VerifyDialDigits(blank_tail, 4, 0, Bytes{0x12, 0x10}), 2);
}

TEST(DialDigits, EveryCodedCharacterInBothNibbles) {
    for (const DialOrder& order : kDialOrders) {
        for (const DialCharacter& first : kDialCode) {
            for (const DialCharacter& second : kDialCode) {
                const TerminalRecord record = RecordWithLine(std::string{first.c, second.c});
                std::array<std::uint8_t, 1> byte{0x5A};
                order.pack(record, 2, 0, byte);
                const std::uint8_t expected =
                    order.high_first ? static_cast<std::uint8_t>(first.nibble << 4 | second.nibble)
                                     : static_cast<std::uint8_t>(second.nibble << 4 | first.nibble);
                EXPECT_EQ(byte[0], expected)
                    << order.name << " '" << first.c << "' '" << second.c << "'";
                EXPECT_EQ(order.verify(record, 2, 0, byte), 0) << order.name;
            }
        }
    }
}

// A character the code does not list packs as 0: its neighbour keeps its nibble, and the verify
// that follows the pack reports the difference.
TEST(DialDigits, UncodedCharactersStayInTheirNibble) {
    for (const DialOrder& order : kDialOrders) {
        for (int code = 1; code < 256; ++code) {
            const char c = static_cast<char>(code);
            bool listed = false;
            for (const DialCharacter& d : kDialCode) listed = listed || d.c == c;
            if (listed) continue;
            const TerminalRecord record = RecordWithLine(std::string{'7', c});
            std::array<std::uint8_t, 1> byte{0xFF};
            order.pack(record, 2, 0, byte);
            EXPECT_EQ(byte[0], order.high_first ? 0x70 : 0x07) << order.name << " code " << code;
            EXPECT_EQ(order.verify(record, 2, 0, byte), 2) << order.name << " code " << code;
        }
    }
}

// Every length from 1 to 16 in both orders: the bytes after the string are untouched, an odd
// length keeps the other nibble of its last byte, the verify agrees and disagrees where it
// should, and the append shows the string again.
TEST(DialDigits, PackVerifyUnpackRoundTripsAtEveryLength) {
    const std::string_view alphabet = "1234567890#c,-=";
    for (const DialOrder& order : kDialOrders) {
        for (std::uint8_t n = 1; n <= 16; ++n) {
            std::string text;
            for (std::size_t i = 0; i < n; ++i) text += alphabet[(i * 7 + n) % alphabet.size()];
            const std::uint8_t p = 6;
            const TerminalRecord record = RecordWithLine(text, p);
            Bytes bytes(10, 0xA5);
            order.pack(record, n, p, bytes);

            const std::size_t used = (n + 1u) / 2;
            for (std::size_t k = used; k < bytes.size(); ++k) {
                EXPECT_EQ(bytes[k], 0xA5) << order.name << " n " << +n << " byte " << k;
            }
            if (n % 2 == 1) {
                const std::uint8_t kept =
                    order.high_first ? bytes[used - 1] & 0x0F : bytes[used - 1] >> 4;
                EXPECT_EQ(kept, order.high_first ? 0x05 : 0x0A) << order.name << " n " << +n;
            }
            EXPECT_EQ(order.verify(record, n, p, bytes), 0) << order.name << " n " << +n;

            TerminalRecord changed = record;
            changed.line.Put(p + n - 1u, text.back() == '1' ? '2' : '1');
            EXPECT_EQ(order.verify(changed, n, p, bytes), 2) << order.name << " n " << +n;

            // The string ends at the first 0 nibble: clear the kept nibble of an odd length.
            if (n % 2 == 1) {
                bytes[used - 1] &= order.high_first ? 0xF0 : 0x0F;
            }
            TerminalRecord shown = RecordWithLine("381=", 0);
            order.unpack(shown, 20, std::span<const std::uint8_t>(bytes).first(used));
            EXPECT_EQ(Shown(shown, 4), text) << order.name << " n " << +n;

            TerminalRecord cut = RecordWithLine("", 0);
            order.unpack(cut, static_cast<std::uint8_t>(n - 1), bytes);
            EXPECT_EQ(Shown(cut, 0), text.substr(0, n - 1u)) << order.name << " n " << +n;
        }
    }
}

TEST(DialDigits, ArraysAndLinesBoundTheWork) {
    for (const DialOrder& order : kDialOrders) {
        // Six characters into a two-byte array: the array ends the packing.
        const TerminalRecord record = RecordWithLine("123456");
        Bytes storage = {0xEE, 0xEE, 0xEE};
        order.pack(record, 6, 0, std::span<std::uint8_t>(storage).first(2));
        EXPECT_EQ(storage[2], 0xEE) << order.name;
        EXPECT_EQ(order.verify(record, 6, 0, std::span<const std::uint8_t>(storage).first(2)), 2)
            << order.name << ": the array cannot hold what the line shows";

        // Unpacking at the end of the line keeps the terminator.
        TerminalRecord shown = RecordWithLine(std::string(25, '9'));
        order.unpack(shown, 8, Bytes{0x12, 0x34, 0x56, 0x78});
        EXPECT_EQ(shown.line.Cursor(), DisplayLine::kWidth) << order.name;
        EXPECT_EQ(shown.line.CStr()[DisplayLine::kWidth], '\0') << order.name;

        // An n larger than the array stops at the array's end.
        TerminalRecord longer = RecordWithLine("");
        order.unpack(longer, 16, Bytes{0x12});
        EXPECT_EQ(Shown(longer, 0).size(), 2u) << order.name;
    }
}

TEST(BcdDigits, AppendStopsAtFifteenOrN) {
    struct Case {
        Bytes bytes;
        std::uint8_t n;
        std::string_view shown;
    };
    const Case cases[] = {
        {{0x12, 0x3F}, 4, "123"}, {{0x12, 0x34}, 3, "123"}, {{0x01, 0x20}, 4, "0120"},
        {{0xF1}, 2, ""},          {{0x98}, 9, "98"},
    };
    for (const Case& c : cases) {
        TerminalRecord record = RecordWithLine("");
        UnpackBcdDigits(record, c.n, c.bytes);
        EXPECT_EQ(Shown(record, 0), c.shown);
    }
}

TEST(Bits, ByteArrayBits) {
    for (std::size_t bit = 0; bit < 32; ++bit) {
        for (std::uint8_t start : {0x00, 0xFF}) {
            std::array<std::uint8_t, 4> bytes;
            bytes.fill(start);
            SetBitFromEntry(bit, start ? 0 : 1, bytes);
            for (std::size_t k = 0; k < 4; ++k) {
                const std::uint8_t flipped =
                    k == bit / 8 ? static_cast<std::uint8_t>(start ^ (1u << (bit % 8))) : start;
                EXPECT_EQ(bytes[k], flipped) << "bit " << bit << " byte " << k;
            }
            EXPECT_EQ(VerifyBit(bit, start ? 0 : 1, bytes), 0) << bit;
            EXPECT_EQ(VerifyBit(bit, start ? 1 : 0, bytes), 2) << bit;
            TerminalRecord record = RecordWithLine("");
            AppendBit(record, bit, bytes);
            EXPECT_EQ(Shown(record, 0), start ? "0" : "1") << bit;
        }
    }
    std::array<std::uint8_t, 2> bytes{0x00, 0x00};
    SetBitFromEntry(9, 1, bytes);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 2>{0x00, 0x02})) << "bit 9 is bit 1 of byte 1";
    for (std::uint8_t value : {2, 3, 255}) {
        SetBitFromEntry(9, value, bytes);
        SetBitFromEntry(0, value, bytes);
        EXPECT_EQ(bytes, (std::array<std::uint8_t, 2>{0x00, 0x02})) << "value " << +value;
    }
    // A bit beyond the array changes nothing and never verifies.
    SetBitFromEntry(16, 1, bytes);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 2>{0x00, 0x02}));
    EXPECT_EQ(VerifyBit(16, 0, bytes), 2);
    TerminalRecord record = RecordWithLine("");
    AppendBit(record, 16, bytes);
    EXPECT_EQ(Shown(record, 0), "");
}

TEST(Bits, WordArrayBitsAreBitsOfLittleEndianWords) {
    for (std::size_t bit = 0; bit < 48; ++bit) {
        std::array<std::uint8_t, 6> words{};
        SetWordBit(bit, 1, words);
        for (std::size_t w = 0; w < 3; ++w) {
            const unsigned word = words[2 * w] | words[2 * w + 1] << 8;
            EXPECT_EQ(word, w == bit / 16 ? 1u << (bit % 16) : 0u) << "bit " << bit;
        }
        EXPECT_EQ(VerifyWordBit(bit, 1, words), 0);
        EXPECT_EQ(VerifyWordBit(bit, 0, words), 2);
        TerminalRecord record = RecordWithLine("");
        AppendWordBit(record, bit, words);
        EXPECT_EQ(Shown(record, 0), "1");
        SetWordBit(bit, 0, words);
        EXPECT_EQ(words, (std::array<std::uint8_t, 6>{})) << "bit " << bit;
    }
    // An odd byte count holds no whole word at its end.
    std::array<std::uint8_t, 3> odd{};
    SetWordBit(16, 1, odd);
    EXPECT_EQ(odd, (std::array<std::uint8_t, 3>{}));
    EXPECT_EQ(VerifyWordBit(16, 0, odd), 2);
}

TEST(HexDigits, PackVerifyUnpack) {
    TerminalRecord shown = RecordWithLine("");
    UnpackHexDigits(shown, 3, Bytes{0xA5, 0x3F});
    EXPECT_EQ(Shown(shown, 0), "A53");

    TerminalRecord zeros = RecordWithLine("");
    UnpackHexDigits(zeros, 4, Bytes{0x00, 0x0F});
    EXPECT_EQ(Shown(zeros, 0), "000F") << "no end marker";

    const TerminalRecord all = RecordWithLine("0123456789ABCDEF");
    Bytes bytes(9, 0xEE);
    PackHexDigits(all, 16, 0, bytes);
    EXPECT_EQ(bytes, (Bytes{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xEE}));
    EXPECT_EQ(VerifyHexDigits(all, 16, 0, bytes), 0);

    const TerminalRecord odd = RecordWithLine("C0D");
    Bytes kept = {0xFF, 0xF7};
    PackHexDigits(odd, 3, 0, kept);
    EXPECT_EQ(kept, (Bytes{0xC0, 0xD7})) << "odd length keeps the low nibble";

    // Characters that are no upper-case hexadecimal digit must not reach the next nibble.
    for (char c : {' ', 'a', 'f', 'G', 'Z', ',', '\xB1'}) {
        const TerminalRecord record = RecordWithLine(std::string{c, '9'});
        std::array<std::uint8_t, 1> byte{0xFF};
        PackHexDigits(record, 2, 0, byte);
        EXPECT_EQ(byte[0], 0x09) << "'" << c << "'";
        EXPECT_EQ(VerifyHexDigits(record, 2, 0, byte), 2) << "'" << c << "'";
    }
}

TEST(ClearPackedDigits, Table) {
    struct Case {
        std::uint8_t n;
        Bytes before, after;
        std::uint8_t result;
        const char* why;
    };
    const Case cases[] = {
        {3, {0x12, 0x34}, {0x00, 0x04}, 2, "the low nibble after an odd length is not 0"},
        {3, {0x12, 0x30}, {0x00, 0x00}, 0, "the low nibble after an odd length is 0"},
        {4, {0x12, 0x34, 0x56}, {0x00, 0x00, 0x56}, 0, "even length"},
        {0, {0x12}, {0x12}, 0, "nothing to clear"},
        {1, {0x9A}, {0x0A}, 2, "one digit"},
        {5, {0x12, 0x34}, {0x00, 0x00}, 2, "the array is shorter than five digits"},
    };
    for (const Case& c : cases) {
        Bytes bytes = c.before;
        EXPECT_EQ(ClearPackedDigits(c.n, bytes), c.result) << c.why;
        EXPECT_EQ(bytes, c.after) << c.why;
    }
}

TEST(TwoCharCode, NamedCases) {
    std::uint8_t byte = 0xFF;
    PackTwoCharCode(RecordWithLine("0#"), 0, byte);
    EXPECT_EQ(byte, 0x0B);
    TerminalRecord shown = RecordWithLine("");
    AppendTwoCharCode(shown, 0x0B);
    EXPECT_EQ(Shown(shown, 0), "0#");

    PackTwoCharCode(RecordWithLine("12"), 0, byte);
    EXPECT_EQ(byte, 0x12);

    TerminalRecord colon = RecordWithLine("");
    AppendTwoCharCode(colon, 0xA1);
    EXPECT_EQ(Shown(colon, 0), ":1") << "nibble 10 has no character of its own";

    // A blank has no code: it packs as 0 without touching the other nibble, and reads back
    // as '0', so the verify reports it.
    const TerminalRecord blank = RecordWithLine(" 5");
    PackTwoCharCode(blank, 0, byte);
    EXPECT_EQ(byte, 0x05);
    EXPECT_EQ(VerifyTwoCharCode(blank, 0, byte), 2);
    const TerminalRecord letter = RecordWithLine("5A");
    PackTwoCharCode(letter, 0, byte);
    EXPECT_EQ(byte, 0x50);
    EXPECT_EQ(VerifyTwoCharCode(letter, 0, byte), 2);
}

TEST(TwoCharCode, EveryCodedPairRoundTrips) {
    const std::string_view coded = "0123456789#c,-=";
    for (char first : coded) {
        for (char second : coded) {
            const std::string text{first, second};
            const TerminalRecord record = RecordWithLine("9530=101-" + text, 0);
            std::uint8_t byte = 0;
            PackTwoCharCode(record, 9, byte);
            EXPECT_EQ(VerifyTwoCharCode(record, 9, byte), 0) << text;
            TerminalRecord shown = RecordWithLine("9530=101-");
            AppendTwoCharCode(shown, byte);
            EXPECT_EQ(Shown(shown, 9), text);
            // Any other byte on the line is a mismatch.
            TerminalRecord other = record;
            other.line.Put(10, second == '1' ? '2' : '1');
            EXPECT_EQ(VerifyTwoCharCode(other, 9, byte), 2) << text;
        }
    }
}

}  // namespace
}  // namespace qzs
