// Button assignments: texts applied to the key tables, read back as code texts and labels, and
// the lock flags of buttons that cannot be changed from here.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "programming/data_image.h"
#include "programming/key_layout.h"
#include "programming/state.h"
#include "settings/button_assignment.h"
#include "settings/data_image_startup.h"

namespace qzs {
namespace {

using Entry = std::array<std::uint8_t, 2>;

// The labels are written here in UTF-8 and compared in the CP932 the program keeps.
std::string Sjis(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    std::string in(utf8);
    std::string out(in.size() * 2 + 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    std::size_t src_left = in.size();
    std::size_t dst_left = out.size();
    const std::size_t done = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    EXPECT_NE(done, static_cast<std::size_t>(-1)) << utf8;
    out.resize(out.size() - dst_left);
    return out;
}

// A 15-character label with its value, padded, and the closing "c".
std::string Label(std::string_view utf8) {
    std::string label = Sjis(utf8);
    label.resize(15, ' ');
    return label + 'c';
}

const std::string kLocked = Sjis("変更不可 c");

class ButtonTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();
    DataImage& image = state->image;

    void SetUp() override { InitDataImage(*state); }

    Entry OneTouch(unsigned telephone, unsigned button) {
        const std::uint8_t* e = KeyEntry(image, telephone, button);
        return {e[0], e[1]};
    }
    Entry Paged(unsigned telephone, unsigned page, unsigned button) {
        const std::size_t at = (telephone - 1) * 256 + (page - 1) * 32 + (button - 1) * 2;
        return {*image.BlockByte(168, at), *image.BlockByte(168, at + 1)};
    }
    std::string Code(std::string_view name) {
        std::string label, code;
        EXPECT_TRUE(GetKeyAssignmentText(*state, name, label, code)) << name;
        return code;
    }
};

// Text -> bytes -> code text, and the code text applied again gives the same bytes, for every
// kind. The exceptions are listed with each row.
TEST_F(ButtonTest, OneTouchTextsRoundTrip) {
    struct Case {
        std::string_view value;  // kind "," value, after "i92_101_05-"
        Entry stored;
        std::string_view code;
        bool reapplies;  // the code text applied again stores the same bytes
    };
    const Case cases[] = {
        {"1,123", {27, 0x32}, "1,123", true},
        {"0,045", {171, 0x54}, "1,045", true},  // "0" and "1" are one kind; it reads as "1"
        {"1,980", {155, 0xA8}, "1,980", true},  // codes: "9" 9, "8" 8, "0" 10
        {"1,599", {91, 0x99}, "1,599", true},
        // A blank first digit is kind 11; its code text has two digits and, shorter than 16
        // characters as a text, changes nothing when applied.
        {"1, 05", {11, 0x5A}, "1,05", false},
        {"A", {12, 0x00}, "B,00", true},  // a one-touch "A" is stored as "B" with "00"
        {"B,25", {12, 0x25}, "B,25", true},
        {"B,1A", {12, 0x1A}, "B,1A", true},
        {"C,805", {140, 0x05}, "C,805", true},
        {"D,912", {156, 0x12}, "D,912", true},
        {"E,#", {15, 12}, "E,#", true},
        {"E,0", {15, 10}, "E,0", true},
        {"F,105", {10, 5}, "F,105", true},
        {"F,137", {10, 37}, "F,137", true},
        {"F,148", {10, 48}, "F,148", true},
        // Positions 109-112 are stored as 21-24 and read back as the telephone, as the key
        // sheet shows them.
        {"F,110", {10, 22}, "F,110", true},
        {"H,112", {13, 24}, "H,112", true},
        {"G,3C", {28, 0x3C}, "G,3C", true},
        {"H,105", {13, 5}, "H,105", true},
        {"H,000", {13, 217}, "H,888", true},
        {"H,011", {13, 228}, "H,899", true},
        {"H,888", {13, 217}, "H,888", true},
        // Larger values of "0NN" give a three-digit remainder or wrap to a small value.
        {"H,012", {13, 229}, "H,8100", false},
        {"H,039", {13, 0}, "H,000", false},
    };
    for (const Case& c : cases) {
        SetUp();
        const std::string text = "i92_101_05-" + std::string(c.value);
        ASSERT_EQ(ApplyKeyAssignment(*state, text, true), 1) << text;
        EXPECT_EQ(OneTouch(1, 5), c.stored) << text;
        const std::string code = Code("i92_101_05");
        EXPECT_EQ(code, c.code) << text;
        KeyEntry(image, 1, 5)[0] = 0x0C;
        KeyEntry(image, 1, 5)[1] = 0x00;
        ApplyKeyAssignment(*state, "i92_101_05-" + code, true);
        EXPECT_EQ(OneTouch(1, 5) == c.stored, c.reapplies) << text;
    }
}

TEST_F(ButtonTest, PagedTextsRoundTrip) {
    struct Case {
        std::string_view text;
        unsigned telephone, page, button;
        Entry stored;
        std::string_view name;
        std::string_view code;
    };
    const Case cases[] = {
        {"i14_101_105B_25", 1, 1, 5, {12, 0x25}, "i14_101_105", "B,25"},
        {"i14_101_105A_00", 1, 1, 5, {0, 0}, "i14_101_105", "A,00"},  // "A": no function
        {"i14_102_816C_805", 2, 8, 16, {140, 0x05}, "i14_102_816", "C,805"},
        {"i14_101_15B_25", 1, 1, 5, {12, 0x25}, "i14_101_105", "B,25"},    // one-digit button
        {"i14_101_105nB_25", 1, 1, 5, {12, 0x25}, "i14_101_105", "B,25"},  // kind after "n"
        {"*14_112_316F_137", 36, 3, 16, {10, 37}, "i14_112_316", "F,137"},
        {"i14_105_201H_893", 9, 2, 1, {13, 222}, "i14_105_201", "H,893"},
        {"i14_101_201G_0F", 1, 2, 1, {28, 0x0F}, "i14_101_201", "G,0F"},
        {"i14_101_2011_123", 1, 2, 1, {27, 0x32}, "i14_101_201", "1,123"},
    };
    for (const Case& c : cases) {
        SetUp();
        ASSERT_EQ(ApplyKeyAssignment(*state, c.text, true), 1) << c.text;
        EXPECT_EQ(Paged(c.telephone, c.page, c.button), c.stored) << c.text;
        EXPECT_EQ(Code(c.name), c.code) << c.text;
    }
}

TEST_F(ButtonTest, TextsThatStoreNothing) {
    const auto before = std::make_unique<DataImage>(image);
    struct Case {
        std::string_view text;
        int result;
    };
    const Case cases[] = {
        {"i92_107_05-B,25", 1},  // positions 107 and 108 are no telephone here
        {"i92_108_05-B,25", 1},
        {"i92_113_05-B,25", 1},
        {"i92_201_05-B,25", 1},
        {"i92_100_05-B,25", 1},
        {"i92_1x1_05-B,25", 1},
        {"i92_101_33-B,25", 1},  // button 33
        {"i92_101_00-B,25", 1},
        {"i92_101_05-1,600", 1},  // speed dial 600-979
        {"i92_101_05-1,979", 1},
        {"i92_101_05-1,12", 1},  // shorter than 16 characters
        {"i92_101_05-1,1X3", 1},
        {"i92_101_05-F,113", 1},  // F and H only for 101-112 and 137-148
        {"i92_101_05-F,136", 1},
        {"i92_101_05-F,149", 1},
        {"i92_101_05-H,201", 1},
        {"i92_101_05-B,2g", 1},  // not hexadecimal
        {"i92_101_05-B,2", 1},
        {"i92_101_05-C,8", 1},
        {"i92_101_05-E, ", 1},
        {"i92_101_05-Z,12", 1},
        {"i14_101_905B_25", 0},  // page 9
        {"i14_101_005B_25", 0},
        {"i14_101_", 0},
        {"i14_101_1", 1},
        {"x92_101_05-B,25", 1},
        {"i93_101_05-B,25", 1},
        {"i14_101_117B_25", 1},  // button 17
        {"i14_107_105B_25", 1},
        {"i92_", 1},
        {"", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ApplyKeyAssignment(*state, c.text, true), c.result) << c.text;
        EXPECT_EQ(std::memcmp(&image, before.get(), sizeof(DataImage)), 0) << c.text;
    }
    std::string label, code;
    EXPECT_FALSE(GetKeyAssignmentText(*state, "i92_107_05", label, code));
    EXPECT_FALSE(GetKeyAssignmentText(*state, "i14_101_905", label, code));
    EXPECT_FALSE(GetKeyAssignmentText(*state, "x92_101_05", label, code));
    EXPECT_TRUE(label.empty() && code.empty());
}

TEST_F(ButtonTest, LockFlags) {
    struct Case {
        std::string_view text;
        bool from_form;
        bool locked;
    };
    const Case cases[] = {
        {"i92_101_05-I,12", true, true},
        {"i92_101_05-J,12", true, true},
        {"i92_101_05-K", true, true},
        {"i92_101_05-L,00", false, true},
        {"i92_101_05-", true, true},          // no kind: the end of the text at its position
        {"i92_101_05-Z", false, true},        // an unknown kind of a short text from a file
        {"i92_101_05-Z", true, false},        // ... but not from a form
        {"i92_101_05-Z,1234", false, false},  // ... nor of a text of 14 characters or more
        {"i92_101_05-B,25", false, false},
        {"i92_101_05-1,600", false, false},  // a refused value of a known kind
        {"i14_101_105I_12", true, true},
        {"i14_101_105B_25", true, false},
    };
    for (const Case& c : cases) {
        SetUp();
        const Entry before = c.text[1] == '9' ? OneTouch(1, 5) : Paged(1, 1, 5);
        ApplyKeyAssignment(*state, c.text, c.from_form);
        const bool one_touch = c.text[1] == '9';
        const bool locked = one_touch ? state->one_touch_lock_flags[0][4] != 0
                                      : state->paged_button_lock_flags[0][4] != 0;
        EXPECT_EQ(locked, c.locked) << c.text;
        std::string label, code;
        ASSERT_TRUE(
            GetKeyAssignmentText(*state, one_touch ? "i92_101_05" : "i14_101_105", label, code));
        if (c.locked) {
            EXPECT_EQ(label, kLocked) << c.text;
            EXPECT_EQ(code, "") << c.text;
            // Nothing is stored for a locked button.
            EXPECT_EQ(one_touch ? OneTouch(1, 5) : Paged(1, 1, 5), before) << c.text;
        } else {
            EXPECT_NE(label, kLocked) << c.text;
        }
    }
    // Applying a text clears the flag first.
    ApplyKeyAssignment(*state, "i92_101_05-I,12", true);
    ApplyKeyAssignment(*state, "i92_101_05-B,25", true);
    EXPECT_EQ(state->one_touch_lock_flags[0][4], 0u);
    EXPECT_EQ(Code("i92_101_05"), "B,25");
    // Flags belong to their telephone, button and page: position 112 is telephone 36.
    ApplyKeyAssignment(*state, "i14_112_816I_01", true);
    EXPECT_EQ(state->paged_button_lock_flags[35][7 * 16 + 15], 1u);
    ApplyKeyAssignment(*state, "i92_112_32-K", true);
    EXPECT_EQ(state->one_touch_lock_flags[35][31], 1u);
}

TEST(KeyAssignmentLabel, LabelsOfEveryKind) {
    struct Case {
        unsigned kind, data;
        std::string label;
    };
    const Case cases[] = {
        {27, 0x32, Label("短縮 :123")},
        {171, 0x54, Label("短縮 :045")},
        {11, 0x5A, Label("短縮 : 05")},
        {10, 5, Label("内線ﾜﾝﾀｯﾁ:105")},
        {10, 21, Label("内線ﾜﾝﾀｯﾁ:109")},
        {10, 60, Label("内線ﾜﾝﾀｯﾁ:000")},  // no telephone: the key sheet's "000"
        {13, 24, Label("ﾎﾞｯｸｽ:112")},
        {13, 222, Label("ﾎﾞｯｸｽ:893")},
        {13, 37, Label("ﾎﾞｯｸｽ:137")},
        {28, 0x3C, Label("ﾎﾞｲｽ :3C")},
        {30, 12, Label("DILIN:12")},
        {46, 7, Label("ﾊﾟｰｸ:07")},
        {62, 1, Label("着信I:01")},
        {78, 99, Label("着信D:99")},
        {0, 0, Label("登録なし")},
        {15, 0, Label("<       >")},
        {15, 1, Label("<ﾀﾞｲﾔﾙ:1>")},
        {15, 13, Label("<再発信 >")},
        {15, 14, Label("<短縮/電話帳  >")},
        {15, 17, Label("<代理応答/切替>")},
        {15, 20, Label("<             >")},
        {12, 0x01, Label("外線01")},
        {12, 0x00, Label("機能なし")},
        {140, 0x05, Label("FAX受信05")},
        {15, 21, kLocked},    // no entry for the data byte
        {12, 0x1A, kLocked},  // not two decimal digits
        {172, 0, kLocked},
        {255, 3, kLocked},
        {5, 0, kLocked},  // a kind without a label
        {14, 0, kLocked},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeyAssignmentLabel(c.kind, c.data), c.label) << c.kind << " " << c.data;
    }
}

TEST_F(ButtonTest, ReadsTheDefaultLayout) {
    std::string label, code;
    // Key 1 of a telephone carries code 1 after start-up.
    ASSERT_TRUE(GetKeyAssignmentText(*state, "i92_101_01", label, code));
    EXPECT_EQ(code, "B,01");
    EXPECT_EQ(label, Label("外線01"));
    // Key 31 carries code 980.
    ASSERT_TRUE(GetKeyAssignmentText(*state, "i92_101_31", label, code));
    EXPECT_EQ(code, "D,980");
}

TEST_F(ButtonTest, StartUpClearsTheLockFlags) {
    ApplyKeyAssignment(*state, "i92_101_05-I,12", true);
    ApplyKeyAssignment(*state, "i14_101_105I_12", true);
    InitDataImage(*state);
    std::string label, code;
    ASSERT_TRUE(GetKeyAssignmentText(*state, "i92_101_05", label, code));
    EXPECT_NE(label, kLocked);
    ASSERT_TRUE(GetKeyAssignmentText(*state, "i14_101_105", label, code));
    EXPECT_EQ(code, "A,00");
}

}  // namespace
}  // namespace qzs
