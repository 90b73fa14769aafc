#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "programming/digit_fields.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

// A record whose line holds `text` from position `at` (the rest blank), cursor after the text.
TerminalRecord RecordWithLine(std::string_view text, std::size_t at = 0) {
    TerminalRecord record;
    record.line.Blank();
    record.line.Write(at, text);
    record.line.SetCursor(static_cast<int>(at + text.size()));
    return record;
}

TEST(DigitFieldParsers, ByteFieldTable) {
    struct Case {
        std::string_view line;
        std::uint8_t position, n, min, max, expected;
        const char* why;
    };
    const Case cases[] = {
        {"300", 0, 3, 0, 255, 255, "above the range"},
        {"07", 0, 2, 1, 24, 7, "leading zero"},
        {"00", 0, 2, 1, 24, 255, "below the range"},
        {"24", 0, 2, 1, 24, 24, "top of the range"},
        {"254", 0, 3, 0, 255, 254, "the largest value a byte field can deliver"},
        {"255", 0, 3, 0, 255, 255, "255 reads as refused"},
        {"264", 0, 3, 0, 254, 255, "would wrap to 8 in byte arithmetic"},
        {"1000", 0, 4, 0, 254, 255, "would wrap to 232 in byte arithmetic"},
        {"0000000000000007", 0, 16, 0, 254, 7, "16 digits"},
        {"1 2", 0, 3, 0, 254, 255, "a blank where a digit must stand"},
        {" 12", 0, 3, 0, 254, 255, "a leading blank"},
        {"1,2", 0, 3, 0, 254, 255, "a separator"},
        {"12-", 0, 3, 0, 254, 255, "the key-field separator"},
        {"1A", 0, 2, 0, 254, 255, "a hexadecimal letter"},
        {"001=05,", 4, 2, 0, 99, 5, "a field after the command number"},
        {"-12", 25, 3, 0, 254, 255, "the field runs past the end of the line"},
        {"-99", 25, 2, 0, 254, 99, "the field ends at the end of the line"},
        {"", 0, 0, 0, 254, 0, "no characters read as 0"},
    };
    for (const Case& c : cases) {
        // Cases that read near the end of the line place their text against it.
        const TerminalRecord record = RecordWithLine(c.line, c.position > 20 ? c.position - 1 : 0);
        EXPECT_EQ(ParseByteField(record, c.position, c.n, c.min, c.max), c.expected)
            << c.why << ": \"" << c.line << "\"";
    }
}

TEST(DigitFieldParsers, WordAndDwordFieldTables) {
    struct WordCase {
        std::string_view line;
        std::uint8_t n;
        std::uint16_t min, max, expected;
        const char* why;
    };
    const WordCase word_cases[] = {
        {"65534", 5, 0, 0xFFFE, 65534, "largest deliverable word"},
        {"65536", 5, 0, 0xFFFF, 0xFFFF, "would wrap to 0 in 16 bits"},
        {"70000", 5, 0, 0xFFFE, 0xFFFF, "would wrap to 4464 in 16 bits"},
        {"99999", 5, 0, 0xFFFE, 0xFFFF, "five nines"},
        {" 12", 3, 0, 999, 12, "a blank reads as 0"},
        {"1 2", 3, 0, 999, 102, "a blank inside reads as 0"},
        {"1,2", 3, 0, 999, 0xFFFF, "a separator is refused"},
        {"1-2", 3, 0, 999, 0xFFFF, "the key-field separator is refused"},
        {"0005", 4, 10, 999, 0xFFFF, "below the range"},
    };
    for (const WordCase& c : word_cases) {
        const TerminalRecord record = RecordWithLine(c.line);
        EXPECT_EQ(ParseWordField(record, 0, c.n, c.min, c.max), c.expected)
            << c.why << ": \"" << c.line << "\"";
    }

    struct DwordCase {
        std::string_view line;
        std::uint8_t n;
        std::uint32_t min, max, expected;
        const char* why;
    };
    const DwordCase dword_cases[] = {
        {"268435455", 9, 0, 268435455, 268435455, "nine digits at the top of the range"},
        {"268435456", 9, 0, 268435455, 0xFFFFFFFF, "nine digits above the range"},
        {"4294967294", 10, 0, 0xFFFFFFFE, 4294967294u, "largest deliverable double word"},
        {"4294967296", 10, 0, 0xFFFFFFFE, 0xFFFFFFFF, "would wrap to 0 in 32 bits"},
        {"4294967303", 10, 0, 0xFFFFFFFE, 0xFFFFFFFF, "would wrap to 7 in 32 bits"},
        {"0000004294967294", 16, 0, 0xFFFFFFFE, 4294967294u, "16 digits that fit"},
        {"9999999999999999", 16, 0, 0xFFFFFFFE, 0xFFFFFFFF, "16 digits that do not fit"},
        {"1000000000000000000007", 22, 0, 0xFFFFFFFE, 0xFFFFFFFF, "wider than 64 bits"},
        {"  123", 5, 0, 999, 123, "blanks read as 0"},
        {"12,34", 5, 0, 99999, 0xFFFFFFFF, "a separator is refused"},
    };
    for (const DwordCase& c : dword_cases) {
        const TerminalRecord record = RecordWithLine(c.line);
        EXPECT_EQ(ParseDwordField(record, 0, c.n, c.min, c.max), c.expected)
            << c.why << ": \"" << c.line << "\"";
    }
}

TEST(DigitFieldParsers, MeasureDigitField) {
    struct Case {
        std::string_view line;
        std::size_t at;
        std::uint8_t position, expected;
        const char* why;
    };
    const Case cases[] = {
        {"12 ", 0, 0, 2, "ends at the blank"},
        {"1A2 ", 0, 0, 255, "a letter inside"},
        {"# ", 0, 0, 1, "one character counts whatever it is"},
        {"A", 0, 0, 1, "one letter"},
        {"AB", 0, 0, 255, "two letters"},
        {"1,2", 0, 0, 255, "a separator inside"},
        {" ", 0, 0, 0, "empty field"},
        {"12345678901234567890", 0, 0, 16, "at most 16"},
        {"1234567", 20, 20, 7, "stops at the end of the line"},
        {"001=123456789012345678901", 0, 4, 16, "a long field after the command"},
    };
    for (const Case& c : cases) {
        const TerminalRecord record = RecordWithLine(c.line, c.at);
        EXPECT_EQ(MeasureDigitField(record, c.position), c.expected) << c.why;
    }
    const TerminalRecord record = RecordWithLine("");
    EXPECT_EQ(MeasureDigitField(record, 27), 0) << "a position past the line";
    EXPECT_EQ(MeasureDigitField(record, 255), 0) << "a position far past the line";
}

TEST(DigitFieldParsers, CountLeadingDigits) {
    struct Case {
        std::string_view text;
        std::uint8_t n, expected;
    };
    const Case cases[] = {
        {"123a", 9, 3},
        {"12345", 3, 3},
        {"", 5, 0},
        {"12", 200, 2},
        {"a1", 5, 0},
        {"12 4", 9, 2},
        {"9876", 0, 0},
        {std::string_view("1\0"
                          "2",
                          3),
         9, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountLeadingDigits(c.text, c.n), c.expected) << "\"" << c.text << "\", " << +c.n;
    }
}

TEST(DigitFieldParsers, DialDigitValueOfEveryCharacter) {
    for (int code = 0; code < 256; ++code) {
        const char c = static_cast<char>(code);
        std::uint8_t expected = 0;
        if (c == '0') expected = 10;
        if (c >= '1' && c <= '9') expected = static_cast<std::uint8_t>(c - '0');
        EXPECT_EQ(DialDigitValue(c), expected) << "code " << code;
    }
}

TEST(DigitFieldWriters, AppendNumberTable) {
    struct Case {
        std::uint32_t value;
        std::uint8_t n, base;
        bool long_form;
        std::string_view expected;
        const char* why;
    };
    const Case cases[] = {
        {7, 3, 10, false, "007", "leading zeros kept"},
        {0x2A, 2, 16, false, "2A", "hexadecimal"},
        {65535, 5, 10, false, "65535", "the widest word"},
        {0xFFFF, 4, 16, false, "FFFF", "the widest word in hexadecimal"},
        {1234, 2, 10, false, "34", "too wide: the low digits"},
        {0xABCD, 2, 16, false, "CD", "too wide in hexadecimal: the low digits"},
        {300, 1, 10, false, "0", "too wide by two digits"},
        {5, 0, 10, false, "", "no digits"},
        {0x0012ABCD, 8, 16, true, "0012ABCD", "a memory address"},
        {4294967295u, 10, 10, true, "4294967295", "the widest double word"},
        {123456789, 3, 10, true, "789", "too wide: the low digits"},
        {0xDEADBEEF, 4, 16, true, "BEEF", "too wide in hexadecimal"},
    };
    for (const Case& c : cases) {
        TerminalRecord record = RecordWithLine("001=");
        if (c.long_form) {
            AppendLongNumber(record, c.value, c.n, c.base);
        } else {
            AppendNumber(record, static_cast<std::uint16_t>(c.value), c.n, c.base);
        }
        EXPECT_EQ(record.line.Text().substr(4, c.expected.size()), c.expected) << c.why;
        EXPECT_EQ(record.line.Cursor(), 4 + c.expected.size()) << c.why;
        EXPECT_EQ(record.line.At(4 + c.expected.size()), ' ') << c.why << ": nothing after";
    }
}

TEST(DigitFieldWriters, AppendStopsAtTheEndOfTheLine) {
    TerminalRecord record = RecordWithLine(std::string(25, '1'));
    AppendNumber(record, 123, 3, 10);
    EXPECT_EQ(record.line.Text().substr(24), "112");
    EXPECT_EQ(record.line.Cursor(), DisplayLine::kWidth);
    EXPECT_EQ(record.line.CStr()[DisplayLine::kWidth], '\0');
    AppendLongNumber(record, 0xFFFFFFFF, 8, 16);
    EXPECT_EQ(record.line.Text().substr(24), "112");
    EXPECT_EQ(record.line.CStr()[DisplayLine::kWidth], '\0');
}

TEST(DigitFieldWriters, HexCharacterConversions) {
    const std::string_view hex = "0123456789ABCDEF";
    for (int value = 0; value < 256; ++value) {
        const char c = NibbleToHexChar(static_cast<std::uint8_t>(value));
        if (value < 16) {
            EXPECT_EQ(c, hex[static_cast<std::size_t>(value)]) << value;
        } else {
            EXPECT_NE(hex.find(c), std::string_view::npos) << value << " gave a non-digit";
        }
    }
    for (int code = 0; code < 256; ++code) {
        EXPECT_LT(HexCharToNibble(static_cast<char>(code)), 16) << "code " << code;
    }
    for (std::size_t i = 0; i < hex.size(); ++i) EXPECT_EQ(HexCharToNibble(hex[i]), i);
}

// Each setter over every start byte and every value: a listed value reads back, an unlisted one
// leaves the field 0, and no bit outside the field changes.
TEST(BitFields, EverySetterOverAllStartBytesAndValues) {
    struct Field {
        const char* name;
        void (*set)(std::uint8_t, std::uint8_t&);
        std::uint8_t (*get)(std::uint8_t);
        std::uint8_t mask;              // the field's bits in the byte
        int first_listed, last_listed;  // values stored as they are
        bool low_four_bits;             // the value's low four bits are stored, whatever it is
    };
    const Field fields[] = {
        {"Bits67", SetBits67, GetBits67, 0xC0, 1, 3, false},
        {"Bits45", SetBits45, GetBits45, 0x30, 1, 3, false},
        {"Bits23", SetBits23, GetBits23, 0x0C, 1, 3, false},
        {"Bits01", SetBits01, GetBits01, 0x03, 1, 3, false},
        {"Bits57", SetBits57, GetBits57, 0xE0, 1, 7, false},
        {"Bits02", SetBits02, GetBits02, 0x07, 1, 7, false},
        {"Bits46", SetBits46, GetBits46, 0x70, 1, 7, false},
        {"Bits34", SetBits34, GetBits34, 0x18, 1, 3, false},
        {"Bits12", SetBits12, GetBits12, 0x06, 1, 2, false},
        {"HighNibble", SetHighNibble, GetHighNibble, 0xF0, 0, 15, true},
        {"LowNibble", SetLowNibble, GetLowNibble, 0x0F, 0, 15, false},
        {"ByteField", SetByteField, GetByteField, 0xFF, 0, 255, false},
    };
    for (const Field& f : fields) {
        int failures = 0;
        for (int start = 0; start < 256 && failures < 5; ++start) {
            for (int value = 0; value < 256 && failures < 5; ++value) {
                std::uint8_t byte = static_cast<std::uint8_t>(start);
                f.set(static_cast<std::uint8_t>(value), byte);
                int expected = 0;
                if (f.low_four_bits) {
                    expected = value & 0x0F;
                } else if (value >= f.first_listed && value <= f.last_listed) {
                    expected = value;
                }
                const bool field_ok = f.get(byte) == expected;
                const bool rest_ok = (byte & ~f.mask) == (start & ~f.mask);
                if (!field_ok || !rest_ok) {
                    ++failures;
                    ADD_FAILURE() << f.name << " start " << start << " value " << value
                                  << " -> byte " << +byte << " field " << +f.get(byte)
                                  << " expected " << expected;
                }
            }
        }
    }
}

TEST(BitFields, NamedCases) {
    std::uint8_t byte = 0xFF;
    SetBits45(0, byte);
    EXPECT_EQ(byte, 0xCF) << "value 0 clears bits 4-5";
    byte = 0xFF;
    SetBits45(4, byte);
    EXPECT_EQ(byte, 0xCF) << "value 4 clears them too";
    byte = 0;
    SetBits12(3, byte);
    EXPECT_EQ(byte, 0) << "3 is not a value of bits 1-2";
    byte = 0xA0;
    SetLowNibble(0x1F, byte);
    EXPECT_EQ(byte, 0xA0) << "a value above 15 leaves the low nibble 0 and the high one alone";
    byte = 0x0A;
    SetHighNibble(0x35, byte);
    EXPECT_EQ(byte, 0x5A) << "the high nibble takes the value's low four bits";
}

TEST(BitFields, OneHotOverAllValues) {
    for (int start = 0; start < 256; start += 51) {
        for (int n = 0; n < 256; ++n) {
            std::uint8_t byte = static_cast<std::uint8_t>(start);
            SetOneHot(static_cast<std::uint8_t>(n), byte);
            const int expected = (n >= 1 && n <= 8) ? 1 << (n - 1) : 0;
            EXPECT_EQ(byte, expected) << "start " << start << " n " << n;
            EXPECT_EQ(GetOneHotIndex(byte), expected ? n : 0) << "n " << n;
        }
    }
    struct Case {
        std::uint8_t byte, index;
    };
    const Case cases[] = {{0x00, 0}, {0x01, 1}, {0x05, 3}, {0x80, 8}, {0xFF, 8}, {0x41, 7}};
    for (const Case& c : cases) EXPECT_EQ(GetOneHotIndex(c.byte), c.index) << +c.byte;
    std::uint8_t byte = 0;
    SetOneHot(3, byte);
    EXPECT_EQ(byte, 0x04);
}

TEST(BitFields, WordsAreLittleEndianAndTouchOnlyTheirBytes) {
    std::array<std::uint8_t, 8> bytes;
    bytes.fill(0xEE);
    SetWordField(0x1234, std::span<std::uint8_t>(bytes).subspan(1).first<2>());
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 8>{0xEE, 0x34, 0x12, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(GetWordField(std::span<const std::uint8_t>(bytes).subspan(1).first<2>()), 0x1234);

    bytes.fill(0xEE);
    SetDwordField(0x89ABCDEF, std::span<std::uint8_t>(bytes).subspan(2).first<4>());
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 8>{0xEE, 0xEE, 0xEF, 0xCD, 0xAB, 0x89, 0xEE, 0xEE}));
    EXPECT_EQ(GetDwordField(std::span<const std::uint8_t>(bytes).subspan(2).first<4>()),
              0x89ABCDEFu);

    for (std::uint32_t value : {0u, 1u, 0x80u, 0xFFFFu, 0x10000u, 0xFFFFFFFFu, 0x7F00FF01u}) {
        std::array<std::uint8_t, 4> dword{};
        SetDwordField(value, dword);
        EXPECT_EQ(GetDwordField(dword), value);
        std::array<std::uint8_t, 2> word{};
        SetWordField(static_cast<std::uint16_t>(value), word);
        EXPECT_EQ(GetWordField(word), static_cast<std::uint16_t>(value));
    }
}

}  // namespace
}  // namespace qzs
