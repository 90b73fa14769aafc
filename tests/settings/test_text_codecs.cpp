#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/text_codecs.h"

namespace qzs {
namespace {

std::string FromHex(std::string_view hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    }
    return out;
}

// Rows of two tab-separated columns; the fixtures come from tools outside this program
// (tests/fixtures/codecs/make_fixtures.sh).
std::vector<std::pair<std::string, std::string>> ReadFixture(const std::string& name) {
    std::ifstream in(std::string(QZS_SOURCE_DIR) + "/tests/fixtures/codecs/" + name);
    std::vector<std::pair<std::string, std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        rows.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return rows;
}

TEST(Base64, AgreesWithCoreutilsBothWays) {
    const auto rows = ReadFixture("base64.tsv");
    ASSERT_GE(rows.size(), 40u);
    for (const auto& [hex, encoded] : rows) {
        const std::string bytes = FromHex(hex);
        EXPECT_EQ(Base64Encode(bytes), encoded) << hex;
        EXPECT_EQ(Base64Decode(encoded), bytes) << encoded;
    }
}

TEST(Base64, EncodeEdges) {
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("A"), "QQ==");
    EXPECT_EQ(Base64Encode("AB"), "QUI=");
    EXPECT_EQ(Base64Encode("ABC"), "QUJD");
    // A 0 byte ends the text.
    EXPECT_EQ(Base64Encode(std::string_view("AB\0CD", 5)), "QUI=");
}

TEST(Base64, LenientDecoding) {
    struct Case {
        std::string_view encoded;
        std::string_view decoded;
        const char* why;
    };
    const Case cases[] = {
        {"QQ", "A", "no padding decodes as padded"},
        {"QQ==", "A", ""},
        {"QUI", "AB", "three characters give two bytes"},
        {"QUJDR", "ABC", "one character left over gives nothing"},
        {"=QUJD", "", "a leading '=' ends at once"},
        {"QUJD=QUJD", "ABC", "'=' first in a group ends there"},
        {"QQ==QUJD", "A", "everything after the first '=' is ignored"},
        {"Q=JD", "", "'=' second in a group"},
        {"QU=D", "A", "'=' third: one byte"},
        // A line break counts as 63 ('/') and shifts the groups after it.
        {"QUJD\nQUJD", "ABC\xfd\x05\x09", ""},
        {"////", "\xff\xff\xff", ""},
        {"****", "\xff\xff\xff", "characters outside the alphabet count as 63"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Base64Decode(c.encoded), c.decoded) << c.encoded << " " << c.why;
    }
}

TEST(Base64, DigitTables) {
    for (unsigned v = 0; v < 64; ++v) EXPECT_EQ(Base64DigitValue(Base64DigitChar(v)), v);
    EXPECT_EQ(Base64DigitChar(64), '=');
    EXPECT_EQ(Base64DigitChar(200), '=');
    EXPECT_EQ(Base64DigitValue('='), 64);
    EXPECT_EQ(Base64DigitValue(' '), 255);
    EXPECT_EQ(Base64DigitValue('-'), 255);
}

TEST(UrlDecode, AgreesWithPythonOnWellFormedText) {
    const auto rows = ReadFixture("url_decode.tsv");
    ASSERT_GE(rows.size(), 40u);
    for (const auto& [encoded, hex] : rows) {
        EXPECT_EQ(UrlDecode(encoded), FromHex(hex)) << encoded;
    }
}

TEST(UrlDecode, EdgesOfTheOwnRules) {
    EXPECT_EQ(UrlDecode("a+b%41%2f"), "a bA/");
    EXPECT_EQ(UrlDecode("%4a%4A"), "JJ");
    // Characters after '%' are not checked: 'z' counts by its code (0x7A0 | 0x7A), cut to 8 bits.
    EXPECT_EQ(UrlDecode("%zz"), std::string(1, static_cast<char>(0xFA)));
    EXPECT_EQ(UrlDecode("%G1"), std::string(1, static_cast<char>(0x71)));
    EXPECT_EQ(UrlDecode("%%41"), "T1");  // '%' and '4' make 0x254, cut to 0x54
    // A '%' near the end is copied: nothing past the terminating 0 is read.
    EXPECT_EQ(UrlDecode("ab%"), "ab%");
    EXPECT_EQ(UrlDecode("ab%4"), "ab%4");
    EXPECT_EQ(UrlDecode(std::string_view("%4\0"
                                         "1",
                                         4)),
              "%4");
    // Double-byte characters pass unchanged.
    EXPECT_EQ(UrlDecode("\x83\x4a+"), "\x83\x4a ");
}

TEST(UrlEncode, KeepsTheSafeCharactersAndEscapesTheRest) {
    struct Case {
        std::string_view text;
        std::string_view encoded;
    };
    const Case cases[] = {
        {"a b", "a+b"},
        {"~", "%7E"},
        {"Az09*-.@_", "Az09*-.@_"},
        {"/?&=%+", "%2F%3F%26%3D%25%2B"},
        {"\xa6", "%A6"},  // half-width katakana is one byte
        // The byte after a lead byte is escaped whatever it is; then the flag is cleared.
        {"\x83\x41"
         "A",
         "%83%41A"},
        {"\x82\xa0x", "%82%A0x"},
        // A lead-range byte after a lead byte keeps the flag, so the next byte is escaped too.
        {"\x81\x81\x41"
         "B",
         "%81%81%41B"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(UrlEncode(c.text), c.encoded) << c.text;
    // Encoding and decoding give the text back.
    const std::string text = "dset 100.txt?\x83\x65\x83\x58\x83\x67=1&x";
    EXPECT_EQ(UrlDecode(UrlEncode(text)), text);
}

TEST(SjisToJis, SwitchesModesAroundDoubleByteRuns) {
    struct Case {
        std::string_view sjis;
        std::string_view jis;
    };
    const Case cases[] = {
        {"abc\r\ndef\r", "abc\ndef\r"},
        {"", ""},
        // "あ" (82 A0) is JIS 24 22; "テ" (83 65) is 25 46; "ｱ" stays one 8-bit byte.
        {"\x82\xa0", "\x1b$B\x24\x22\x1b(B"},
        {"x\x82\xa0\x83\x65y", "x\x1b$B\x24\x22\x25\x46\x1b(By"},
        {"\x82\xa0\xb1", "\x1b$B\x24\x22\x1b(B\xb1"},
        // "亜" (88 9F) is JIS 30 21, "〒" (81 A7) 22 29, "ア" (83 41) 25 22, "表" (95 5C) 49 3D.
        {"\x88\x9f\x81\xa7\x83\x41\x95\x5c", "\x1b$B\x30\x21\x22\x29\x25\x22\x49\x3d\x1b(B"},
        // A lead byte with no second byte is dropped.
        {"ab\x82", "ab"},
        {"\x82\xa0\x82", "\x1b$B\x24\x22\x1b(B"},
    };
    for (const Case& c : cases) EXPECT_EQ(SjisToJis(c.sjis), c.jis) << c.sjis;
}

}  // namespace
}  // namespace qzs
