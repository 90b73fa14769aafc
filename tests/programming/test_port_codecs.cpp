#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "programming/data_image.h"
#include "programming/port_codecs.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

// The position stands where a four-digit command's first key field does, between "=" and the
// separator that follows it on a real line.
constexpr std::uint8_t kFieldPosition = 5;

TerminalRecord RecordWithPosition(std::string_view digits) {
    TerminalRecord record;
    record.line.Blank();
    record.line.Write(0, "9500=");
    record.line.Write(kFieldPosition, digits);
    record.line.Write(kFieldPosition + digits.size(), "-");
    record.line.SetCursor(static_cast<int>(kFieldPosition + digits.size() + 1));
    return record;
}

std::string ThreeDigits(int number) {
    char text[4];
    std::snprintf(text, sizeof text, "%03d", number);
    return text;
}

// Accepted position numbers as runs: first..last give first_index, first_index + 1, ...
struct AcceptRun {
    int first, last;
    int first_index;
};

std::map<int, int> AcceptSet(std::initializer_list<AcceptRun> runs) {
    std::map<int, int> accepted;
    for (const AcceptRun& run : runs) {
        for (int number = run.first; number <= run.last; ++number) {
            accepted[number] = run.first_index + (number - run.first);
        }
    }
    return accepted;
}

using Parser = std::uint8_t (*)(const TerminalRecord&, std::uint8_t);

struct ParserCase {
    const char* name;
    Parser parse;
    std::map<int, int> accepted;
};

std::vector<ParserCase> ParserCases() {
    return {
        {"ParsePosition36", ParsePosition36, AcceptSet({{0, 0, 0}, {101, 112, 1}})},
        {"ParsePosition1", ParsePosition1, AcceptSet({{0, 0, 0}, {101, 106, 1}, {109, 112, 9}})},
        {"ParsePositionSpecial", ParsePositionSpecial,
         AcceptSet({{0, 0, 0}, {101, 112, 1}, {137, 148, 37}, {800, 815, 129}})},
        {"ParsePositionOrSpecial", ParsePositionOrSpecial,
         AcceptSet({{0, 0, 0}, {101, 112, 1}, {137, 148, 37}})},
        {"ParsePosition72", ParsePosition72, AcceptSet({{0, 0, 0}, {101, 112, 1}, {137, 148, 37}})},
    };
}

TEST(PositionParsers, EveryThreeDigitStringAgainstTheAcceptSets) {
    for (const ParserCase& p : ParserCases()) {
        int failures = 0;
        for (int number = 0; number <= 999 && failures < 5; ++number) {
            const TerminalRecord record = RecordWithPosition(ThreeDigits(number));
            const auto found = p.accepted.find(number);
            const int expected = found == p.accepted.end() ? 255 : found->second;
            const int got = p.parse(record, kFieldPosition);
            if (got != expected) {
                ++failures;
                ADD_FAILURE() << p.name << "(\"" << ThreeDigits(number) << "\") = " << got
                              << ", expected " << expected;
            }
        }
    }
}

TEST(PositionParsers, CharactersOtherThanDigitsAreRefused) {
    struct Case {
        std::string_view text;
        const char* why;
    };
    const Case cases[] = {
        {"1/;", "wraps round to 101 in byte arithmetic"},
        {"1/<", "wraps round to 102 in byte arithmetic"},
        {"1 1", "a blank inside"},
        {" 01", "a leading blank"},
        {",01", "a separator first"},
        {"10-", "the separator in place of the last digit"},
        {"8:0", "wraps round to a special position"},
        {"10", "only two digits before the separator"},
    };
    for (const ParserCase& p : ParserCases()) {
        for (const Case& c : cases) {
            const TerminalRecord record = RecordWithPosition(c.text);
            EXPECT_EQ(p.parse(record, kFieldPosition), 255) << p.name << ": " << c.why;
        }
        // The three characters run past the end of the line.
        TerminalRecord record;
        record.line.Blank();
        record.line.Write(25, "10");
        EXPECT_EQ(p.parse(record, 25), 255) << p.name << " at the end of the line";
        EXPECT_EQ(p.parse(record, 200), 255) << p.name << " far past the line";
    }
}

TEST(SlotCodeMaps, SlotCodeOfPositionAndBackOverAllBytes) {
    const std::map<int, int> code_of_index = {
        {1, 1},  {2, 2},  {3, 3},  {4, 4},   {5, 9},   {6, 10},
        {7, 11}, {8, 12}, {9, 33}, {10, 34}, {11, 35}, {12, 36},
    };
    const std::map<int, int> position_of_code = {
        {1, 101},  {2, 102},  {3, 103},  {4, 104},  {9, 105},  {10, 106},
        {11, 107}, {12, 108}, {33, 109}, {34, 110}, {35, 111}, {36, 112},
    };
    for (int v = 0; v < 256; ++v) {
        const auto code = code_of_index.find(v);
        EXPECT_EQ(SlotCodeOfPosition(static_cast<std::uint8_t>(v)),
                  code == code_of_index.end() ? 0 : code->second)
            << v;
        const auto position = position_of_code.find(v);
        EXPECT_EQ(PositionOfSlotCode(static_cast<std::uint8_t>(v)),
                  position == position_of_code.end() ? 0 : position->second)
            << v;
        EXPECT_EQ(MapCrCode(static_cast<std::uint8_t>(v)), v == 13 ? 37 : v) << v;
        EXPECT_EQ(KeepCode(static_cast<std::uint8_t>(v)), v);
    }
}

// Expected values as runs over the input byte: [first, last] -> first_out + (v - first), or a
// constant when `constant` is set.
struct MapRun {
    int first, last;
    int first_out;
    bool constant;
};

int Expected(const std::vector<MapRun>& runs, int v) {
    for (const MapRun& run : runs) {
        if (v >= run.first && v <= run.last) {
            return run.constant ? run.first_out : run.first_out + (v - run.first);
        }
    }
    ADD_FAILURE() << "no run covers " << v;
    return -1;
}

TEST(SlotCodeMaps, BothByteMapsOverAllValues) {
    const std::vector<MapRun> map_slot_code = {
        {0, 0, 0, true},    {1, 4, 1, false},   {5, 8, 9, false},
        {9, 12, 33, false}, {13, 128, 0, true}, {129, 255, 129, false},
    };
    // Second-bank indexes are raised by 28 into 65-100 and mapped there; values that name no
    // position map to 0 in the first bank and to 64 in the second.
    const std::vector<MapRun> map_slot_code_wide = {
        {0, 0, 0, true},    {1, 4, 1, false},    {5, 8, 9, false},    {9, 12, 33, false},
        {13, 36, 0, true},  {37, 40, 65, false}, {41, 44, 73, false}, {45, 48, 97, false},
        {49, 72, 64, true}, {73, 76, 97, false}, {77, 128, 64, true}, {129, 255, 129, false},
    };
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(MapSlotCode(static_cast<std::uint8_t>(v)), Expected(map_slot_code, v)) << v;
        EXPECT_EQ(MapSlotCodeWide(static_cast<std::uint8_t>(v)), Expected(map_slot_code_wide, v))
            << v;
    }
    EXPECT_EQ(MapSlotCode(255), 255) << "refusal passes through";
    EXPECT_EQ(MapSlotCodeWide(255), 255) << "refusal passes through";
}

std::string Appended(std::uint8_t code, std::string_view before = "9500=") {
    TerminalRecord record;
    record.line.Blank();
    record.line.Write(0, before);
    record.line.SetCursor(static_cast<int>(before.size()));
    AppendPortCode(record, code);
    EXPECT_EQ(record.line.Cursor(), before.size() + 3) << "code " << +code;
    return std::string(record.line.Text().substr(before.size(), 3));
}

TEST(AppendPortCode, NamedCodes) {
    struct Case {
        std::uint8_t code;
        std::string_view shown;
        const char* why;
    };
    const Case cases[] = {
        {0, "000", "none"},
        {1, "101", "first position"},
        {9, "105", "second group of the first bank"},
        {36, "112", "last of the first bank"},
        {5, "000", "a first-bank code that names no position"},
        {65, "137", "first of the second bank"},
        {100, "148", "last of the second bank"},
        {129, "800", "first special position"},
        {134, "805", "special position 5"},
        {228, "899", "last special position"},
        {229, "229", "beyond the special positions: the code itself"},
        {230, "230", "the code itself"},
        {255, "255", "the code itself"},
    };
    for (const Case& c : cases) EXPECT_EQ(Appended(c.code), c.shown) << +c.code << ": " << c.why;
}

TEST(AppendPortCode, EveryCodeShowsThreeDigits) {
    for (int code = 0; code < 256; ++code) {
        const std::string shown = Appended(static_cast<std::uint8_t>(code));
        ASSERT_EQ(shown.size(), 3u);
        for (char c : shown) EXPECT_TRUE(c >= '0' && c <= '9') << "code " << code << ": " << shown;
    }
    // Codes beyond the special positions must not read back as any position.
    for (int code = 229; code < 256; ++code) {
        const TerminalRecord record = RecordWithPosition(Appended(static_cast<std::uint8_t>(code)));
        for (const ParserCase& p : ParserCases()) {
            EXPECT_EQ(p.parse(record, kFieldPosition), 255) << p.name << " of code " << code;
        }
    }
}

TEST(AppendPortCode, StopsAtTheEndOfTheLine) {
    TerminalRecord record;
    record.line.Blank();
    record.line.SetCursor(25);
    AppendPortCode(record, 1);
    EXPECT_EQ(record.line.Text().substr(25), "10");
    EXPECT_EQ(record.line.Cursor(), DisplayLine::kWidth);
    EXPECT_EQ(record.line.CStr()[DisplayLine::kWidth], '\0');
}

// Every accepted position parses, maps to a slot code and appends as itself.
TEST(PortCodeRoundTrips, ParseMapAppend) {
    struct Chain {
        const char* name;
        Parser parse;
        std::uint8_t (*map)(std::uint8_t);
    };
    const Chain chains[] = {
        {"plain 36", ParsePosition36, MapSlotCode},
        {"plain 1", ParsePosition1, MapSlotCode},
        {"special", ParsePositionSpecial, MapSlotCodeWide},
        {"or special", ParsePositionOrSpecial, MapSlotCodeWide},
        {"wide", ParsePosition72, MapSlotCodeWide},
    };
    for (const Chain& chain : chains) {
        int accepted = 0;
        for (int number = 0; number <= 999; ++number) {
            const std::string text = ThreeDigits(number);
            const std::uint8_t index = chain.parse(RecordWithPosition(text), kFieldPosition);
            if (index == 255) continue;
            ++accepted;
            EXPECT_EQ(Appended(chain.map(index)), text) << chain.name;
        }
        EXPECT_GT(accepted, 10) << chain.name;
    }
    // The edge cases named for the codecs.
    EXPECT_EQ(MapSlotCode(5), 9);
    EXPECT_EQ(Appended(9), "105");
    EXPECT_EQ(MapSlotCodeWide(37), 65);
    EXPECT_EQ(MapSlotCodeWide(48), 100);
    EXPECT_EQ(ParsePositionSpecial(RecordWithPosition("805"), kFieldPosition), 134);
}

// Every code that names a position appends a number that parses and maps back to the code.
TEST(PortCodeRoundTrips, AppendParseMap) {
    std::vector<int> codes = {0};
    for (int base : {1, 9, 33, 65, 73, 97}) {
        for (int k = 0; k < 4; ++k) codes.push_back(base + k);
    }
    for (int code = 129; code <= 144; ++code) codes.push_back(code);
    for (int code : codes) {
        const TerminalRecord record = RecordWithPosition(Appended(static_cast<std::uint8_t>(code)));
        EXPECT_EQ(MapSlotCodeWide(ParsePositionSpecial(record, kFieldPosition)), code)
            << "code " << code;
        if (code <= 128) {
            EXPECT_EQ(MapSlotCodeWide(ParsePosition72(record, kFieldPosition)), code)
                << "code " << code;
        }
        if (code <= 36) {
            EXPECT_EQ(MapSlotCode(ParsePosition36(record, kFieldPosition)), code)
                << "code " << code;
        }
    }
}

TEST(UnitPairs, UnitLimit) {
    EXPECT_EQ(GetUnitLimit(), 12);
}

class UnitPairsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        image_ = std::make_unique<DataImage>();
        // Every entry holds a pair of its own, all units in use.
        for (std::size_t e = 0; e < kUnitEntryCount; ++e) {
            image_->unit_entry_table[e][0] = static_cast<std::uint8_t>(e + 1);
            image_->unit_entry_table[e][1] = static_cast<std::uint8_t>(20 + e);
        }
    }
    void Hold(int entry, std::uint8_t byte0, std::uint8_t byte1) {
        image_->unit_entry_table[static_cast<std::size_t>(entry - 1)][0] = byte0;
        image_->unit_entry_table[static_cast<std::size_t>(entry - 1)][1] = byte1;
    }
    void SetStatus(int entry, std::uint8_t status) {
        image_->unit_status_table[static_cast<std::size_t>(entry - 1)][0] = status;
    }
    std::unique_ptr<DataImage> image_;
};

TEST_F(UnitPairsTest, TableOfClashes) {
    struct Case {
        std::uint8_t holder_byte0, holder_byte1, holder_status;
        std::uint8_t own, number, code;
        bool expected;
        const char* why;
    };
    // Entry 3 holds the pair under test.
    const Case cases[] = {
        {0x07, 0x05, 0, 1, 0x05, 7, true, "another unit in use holds it"},
        {0x07, 0x05, 0, 3, 0x05, 7, false, "only the unit itself holds it"},
        {0x07, 0x05, 99, 1, 0x05, 7, false, "the holder is not in use"},
        {0xE7, 0x05, 0, 1, 0x05, 7, true, "only the low five bits of byte 0 count"},
        {0x07, 0x25, 0, 1, 0x05, 7, false, "all of byte 1 counts"},
        {0x07, 0x05, 0, 1, 0x06, 7, false, "another number"},
        {0x07, 0x05, 0, 1, 0x05, 8, false, "another code"},
        {0x07, 0x05, 98, 1, 0x05, 7, true, "only 99 means not in use"},
    };
    for (const Case& c : cases) {
        SetUp();
        Hold(3, c.holder_byte0, c.holder_byte1);
        SetStatus(3, c.holder_status);
        EXPECT_EQ(IsPairUsedByOtherUnit(*image_, c.own, c.number, c.code), c.expected) << c.why;
    }
}

TEST_F(UnitPairsTest, EveryEntryIsScannedOnce) {
    // Units 1-6 and 9-12 use entries 1-10; each entry is found, and skipped as the own entry.
    for (int entry = 1; entry <= 10; ++entry) {
        SetUp();
        Hold(entry, 0x1F, 0xEE);
        EXPECT_TRUE(IsPairUsedByOtherUnit(*image_, 0, 0xEE, 0x1F)) << "entry " << entry;
        EXPECT_FALSE(IsPairUsedByOtherUnit(*image_, static_cast<std::uint8_t>(entry), 0xEE, 0x1F))
            << "entry " << entry;
    }
}

}  // namespace
}  // namespace qzs
