// The function-code rows are built from UTF-8 text by the C library's converter. These tests
// hold every one of the 540 rows against a second, independent encoder (Python's "cp932"
// codec run by Debian's /usr/bin/python3 over the same text file), against the rule that gives
// a function's feature index from its code, and against hand-checked bytes of telling labels.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "programming/function_codes.h"

namespace qzs {
namespace {

using Family = FunctionCodeFamily;

std::vector<unsigned> CodesWithRows() {
    std::vector<unsigned> codes;
    for (unsigned c = 0; c <= 69; ++c) codes.push_back(c);
    for (unsigned c = 800; c <= 999; ++c) codes.push_back(c);
    return codes;
}

std::string Hex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", c);
        out += buf;
    }
    return out;
}

// Reads the label file on its own terms and encodes each row's label with Python's codec. One
// output line per row: family letter, code, feature, CP932 bytes in hex.
constexpr const char* kEncoderScript = R"PY(
import sys
unused = {}
rows = {}
for line in open(sys.argv[1], encoding='utf-8'):
    line = line.rstrip('\n')
    if not line or line.startswith('#'):
        continue
    f = line.split('\t')
    if f[0] == 'unused':
        unused[f[1]] = f[2][1:-1]
        continue
    rows[int(f[0])] = (int(f[1]), f[2], f[3])
for fam, col in (('A', 1), ('B', 2)):
    for code in list(range(0, 70)) + list(range(800, 1000)):
        feature, label = 0, '-'
        if code in rows:
            feature, label = rows[code][0], rows[code][col]
        text = unused[fam] if label == '-' else label[1:-1]
        print(fam, code, feature, text.encode('cp932').hex().upper())
)PY";

struct EncodedRow {
    int feature = -1;
    std::string hex;
};

// Keyed by (family letter, code).
std::map<std::pair<char, unsigned>, EncodedRow> EncodeWithPython(std::string& error) {
    std::map<std::pair<char, unsigned>, EncodedRow> rows;
    const std::string script_path = std::string(QZS_BINARY_DIR) + "/function_codes_encoder.py";
    {
        std::ofstream script(script_path, std::ios::trunc);
        script << kEncoderScript;
    }
    const std::string command = "/usr/bin/python3 '" + script_path + "' '" +
                                std::string(QZS_SOURCE_DIR) + "/programming/function_codes.txt'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        error = "cannot run " + command;
        return rows;
    }
    std::string output;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    const int status = pclose(pipe);
    if (status != 0) {
        error = "the encoder failed: " + command;
        return rows;
    }
    std::istringstream lines(output);
    char family;
    unsigned code;
    EncodedRow row;
    while (lines >> family >> code >> row.feature >> row.hex) rows[{family, code}] = row;
    return rows;
}

TEST(FunctionCodeTable, EveryRowEqualsAnIndependentEncoding) {
    std::string error;
    const auto expected = EncodeWithPython(error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_EQ(expected.size(), 540u);

    int checked = 0;
    for (Family family : {Family::kA, Family::kB}) {
        const char letter = family == Family::kA ? 'A' : 'B';
        for (unsigned code : CodesWithRows()) {
            SCOPED_TRACE(testing::Message() << "family " << letter << " code " << code);
            const FunctionCodeRow* row = FindFunctionCodeRow(family, code);
            ASSERT_NE(row, nullptr);
            const EncodedRow& want = expected.at({letter, code});
            EXPECT_EQ(row->feature, want.feature);
            EXPECT_EQ(row->Label().size() * 2, want.hex.size());
            EXPECT_EQ(Hex(row->Label()), want.hex);
            // The label is NUL-terminated inside its 60 bytes and the rest of the row is NUL.
            ASSERT_LT(row->Label().size(), kFunctionCodeLabelBytes);
            for (std::size_t i = row->Label().size(); i < kFunctionCodeLabelBytes; ++i) {
                EXPECT_EQ(row->label[i], '\0') << "byte " << i;
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 540);
}

// The feature index of a function follows from its code; a row without a function in either
// family has 0; a code with a function in one family only keeps its index in the other.
TEST(FunctionCodeTable, FeatureIndexFollowsTheCode) {
    auto rule = [](unsigned code) -> unsigned {
        if (code <= 69) return code;
        if (code <= 898) return code - 800;
        if (code == 899) return 49;
        if (code <= 963) return code - 850;
        return code - 849;
    };
    const std::string_view unused_a = FindFunctionCodeRow(Family::kA, 9)->Label();
    const std::string_view unused_b = FindFunctionCodeRow(Family::kB, 9)->Label();
    int with_function = 0;
    for (unsigned code : CodesWithRows()) {
        SCOPED_TRACE(code);
        const FunctionCodeRow* a = FindFunctionCodeRow(Family::kA, code);
        const FunctionCodeRow* b = FindFunctionCodeRow(Family::kB, code);
        EXPECT_EQ(a->feature, b->feature);
        // Code 997 has no function; only its family A label differs from the unused one.
        const bool unused_in_both =
            (a->Label() == unused_a || code == 997) && b->Label() == unused_b;
        if (unused_in_both || code == 0) {
            EXPECT_EQ(a->feature, 0);
        } else {
            EXPECT_EQ(a->feature, rule(code));
            EXPECT_LE(a->feature, 156);
            ++with_function;
        }
    }
    // 114 functions besides code 0 ("機能なし"), which names no feature.
    EXPECT_EQ(with_function, 114);
}

// Bytes checked by hand against the Shift-JIS code chart: a trail byte 0x5C (能), half-width
// katakana, ASCII punctuation inside a label, both unused labels and the odd one of code 997.
TEST(FunctionCodeTable, TellingLabelsHaveTheirBytes) {
    struct Case {
        Family family;
        unsigned code;
        unsigned feature;
        const char* hex;
    };
    const Case cases[] = {
        {Family::kA, 0, 0, "8B40945C82C882B520"},
        {Family::kB, 0, 0, "B7C9B3C5BC20202020"},
        {Family::kA, 7, 7, "8A4F90FC3037202020202020202020434F20303720202020"},
        {Family::kB, 7, 7, "28D0BCD6B329202020"},  // no function in B: unused label, same feature
        {Family::kA, 9, 0, "2896A28E6797702920"},
        {Family::kA, 950, 100,
         "935D91972F97AF8EE7985E"
         "20202020"
         "4D4F4445203130"
         "2020"},
        {Family::kB, 945, 95, "CCB5B3C4B3B5AFB6B9"},
        {Family::kB, 944, 94, "CCB5B3C4B3C3DDBFB3"},
        {Family::kA, 983, 134,
         "338ED289EF8B63"
         "2020202020202020"
         "434F4E46"
         "2020202020"},
        {Family::kA, 997, 0,
         "2896A28E67977029"
         "20202020202020"
         "4E4F20555345202020"},
        {Family::kB, 997, 0, "28D0BCD6B329202020"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.family) << " " << c.code);
        const FunctionCodeRow* row = FindFunctionCodeRow(c.family, c.code);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->feature, c.feature);
        EXPECT_EQ(Hex(row->Label()), c.hex);
    }
}

TEST(FunctionCodeTable, CodesWithoutRowHaveNoFeature) {
    for (unsigned code : {70u, 100u, 500u, 799u, 1000u, 4096u, 0xFFFFu, UINT_MAX}) {
        for (Family family : {Family::kA, Family::kB}) {
            EXPECT_EQ(FindFunctionCodeRow(family, code), nullptr) << code;
            EXPECT_EQ(FunctionFeatureIndex(family, code), 0) << code;
        }
    }
    EXPECT_EQ(FunctionFeatureIndex(Family::kA, 8), 8);
    EXPECT_EQ(FunctionFeatureIndex(Family::kB, 8), 8);  // no function in family B, same index
    EXPECT_EQ(FunctionFeatureIndex(Family::kA, 69), 0);
    EXPECT_EQ(FunctionFeatureIndex(Family::kA, 800), 0);
    EXPECT_EQ(FunctionFeatureIndex(Family::kA, 899), 49);
    EXPECT_EQ(FunctionFeatureIndex(Family::kB, 999), 150);
}

TEST(FunctionCodeTable, FamilyFollowsTheTerminalAttributes) {
    struct Case {
        std::uint8_t byte1;
        std::uint8_t byte2;
        Family family;
    };
    const Case cases[] = {
        {0, 16, Family::kA}, {0, 17, Family::kA}, {0, 15, Family::kB},    {0, 18, Family::kB},
        {0, 0, Family::kB},  {1, 16, Family::kB}, {0xFF, 17, Family::kB},
    };
    for (const Case& c : cases) {
        TerminalRecord record;
        record.attributes[0] = kTerminalTypeDefault;
        record.attributes[1] = c.byte1;
        record.attributes[2] = c.byte2;
        EXPECT_EQ(FunctionCodeFamilyOf(record), c.family) << int(c.byte1) << "," << int(c.byte2);
    }
}

}  // namespace
}  // namespace qzs
