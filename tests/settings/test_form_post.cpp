// Form posts of the settings pages: bodies applied to a fresh image, and the values the image
// shows afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "programming/state.h"
#include "settings/button_assignment.h"
#include "settings/command_strings.h"
#include "settings/data_image_startup.h"
#include "settings/form_post.h"
#include "settings/settings_pages.h"
#include "settings/speed_dial.h"

namespace qzs {
namespace {

class FormPostTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();

    void SetUp() override { InitDataImage(*state); }

    std::string Shown(const std::string& command) {
        std::string value;
        if (RunCommandForValues(*state, 1, command, value) < 0) return "rejected";
        return value;
    }
    std::string Code(const std::string& button) {
        std::string label;
        std::string code;
        if (!GetKeyAssignmentText(*state, button, label, code)) return "none";
        return code;
    }
};

struct PostCase {
    const char* why;
    const char* body;
    std::vector<std::pair<std::string, std::string>> shown;  // show command, value text
};

TEST_F(FormPostTest, BodiesChangeWhatTheCommandsShow) {
    const PostCase cases[] = {
        {"a fresh image holds 1", "", {{"*002#", "1c"}}},
        {"one value", "h002=0", {{"*002#", "0c"}}},
        {"set again", "h002=0&h002x=5&x1=2&i99_101=3&h002=1", {{"*002#", "1c"}}},
        {"the last of fields of one name counts", "h002=1&h002=0", {{"*002#", "0c"}}},
        {"two digits", "h155=07", {{"*155#", "07c"}}},
        // Padded with a blank to the field's width, which the command refuses.
        {"a short value", "h155=7", {{"*155#", "03c"}}},
        {"a keyed field",
         "h052_1=1&h052_2=1",
         {{"*0521#", "1c"}, {"*0522#", "1c"}, {"*0523#", "0c"}}},
        {"rows of a command of two data fields",
         "h9320_01_1n1=123&h9320_01_1n2=200&h9320_02_1n1=007&h9320_02_1n2=008&h155=05",
         {{"*9320011##", "123,200c"}, {"*9320021##", "007,008c"}, {"*155#", "05c"}}},
        {"a rejected row skips that row only",
         "h002=0&h9320_01_1n1=999&h9320_01_1n2=1&h9320_02_1n1=009&h9320_02_1n2=009&h155=05",
         {{"*002#", "0c"},
          {"*9320011##", "000,000c"},
          {"*9320021##", "009,009c"},
          {"*155#", "05c"}}},
        {"a row without its second field",
         "h9320_01_1n1=5&h155=05",
         {{"*9320011##", "000,000c"}, {"*155#", "05c"}}},
        {"a rejected value skips its field", "h002=7&h155=04", {{"*002#", "1c"}, {"*155#", "04c"}}},
        {"a name that is no command digits", "h0a2=0&h00=0&h12345=0", {{"*002#", "1c"}}},
        {"the value ends at a stop character", "h155=0%35%0D9", {{"*155#", "05c"}}},
        {"a name too long for the command buffer",
         "h052_0000000000000000000000000000000000000000000000000000000000001=1",
         {{"*0521#", "0c"}}},
    };
    for (const PostCase& c : cases) {
        SetUp();
        EXPECT_GE(ApplyFormPost(*state, c.body), 0) << c.why;
        for (const auto& [command, value] : c.shown) {
            EXPECT_EQ(Shown(command), value) << c.why << ": " << command;
        }
    }
}

// A page anywhere on the web can make the browser post here: only the commands the settings
// pages offer are run, never the memory view and edit or the confirmed choice.
TEST_F(FormPostTest, CommandsNoPageOffersAreRefused) {
    for (const char* command : {"007", "023", "024"}) EXPECT_FALSE(IsOfferedFormCommand(command));
    EXPECT_TRUE(IsOfferedFormCommand("002"));
    EXPECT_EQ(ApplyFormPost(*state, "h002=0"), 1);
    ASSERT_EQ(ApplyFormPost(*state, "h023=1&h0231=1&h024_00=55&h007=1&h155=05"), 5);
    const std::string line(state->terminals[0].line.Text());
    EXPECT_TRUE(line.starts_with("155=05")) << line;
    EXPECT_EQ(Shown("*002#"), "0c");
}

TEST_F(FormPostTest, SystemRowsGoLiveOrToTheWorkingCopy) {
    const std::string body = "s007n1=0312345678&s007n2=%41+B&s007n3=kana&s007n4=03";
    for (const int flag : {0, 1}) {
        SetUp();
        state->duplicate_check_flag = flag;
        CommitSpeedDialPage(*state, 0, 0, 2);
        ASSERT_GE(ApplyFormPost(*state, body), 0);
        SpeedDialRecord live;
        SpeedDialRecord staged;
        ASSERT_EQ(GetSystemSpeedDial(*state, 7, live), 1);
        ASSERT_EQ(GetStagedSystemSpeedDial(*state, 7, staged), 1);
        const SpeedDialRecord& posted = flag == 0 ? live : staged;
        EXPECT_STREQ(posted.number.data(), "0312345678") << flag;
        EXPECT_STREQ(posted.kanji.data(), "A B") << flag;
        EXPECT_STREQ(posted.kana.data(), "kana") << flag;
        EXPECT_EQ(posted.group, '3') << flag;
        if (flag == 1) {
            EXPECT_STREQ(live.number.data(), "") << "live row untouched until the commit";
            CommitSpeedDialPage(*state, 1, 1, 1);
            ASSERT_EQ(GetSystemSpeedDial(*state, 7, live), 1);
            EXPECT_STREQ(live.number.data(), "0312345678");
        }
    }
}

TEST_F(FormPostTest, TelephoneRowsAndTheirNames) {
    std::string eleven_wide;
    for (int i = 0; i < 11; ++i) eleven_wide += "%82%A0";
    const std::string body =
        "t101_980n1=123&t101_980n2=ABCDEFGHIJKLMNOPQRSTUVWXY&t101_980n3=" + eleven_wide +
        "&t102_999n1=9&t102_999n2=A" + eleven_wide + "&t102_999n3=z";
    ASSERT_GE(ApplyFormPost(*state, body), 0);
    SpeedDialRecord record;
    ASSERT_EQ(GetTelephoneSpeedDial(*state, 101, 980, record), 1);
    EXPECT_STREQ(record.number.data(), "123");
    EXPECT_STREQ(record.kanji.data(), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(std::string(record.kana.data()).size(), 20u) << "ten characters of two bytes";
    ASSERT_EQ(GetTelephoneSpeedDial(*state, 102, 999, record), 1);
    // "A" and nine characters: the tenth would end past byte 20 and is left out whole.
    EXPECT_EQ(std::string(record.kanji.data()).size(), 19u);
}

TEST_F(FormPostTest, NamesAreCutWithoutSplittingACharacter) {
    const std::string wide = "\x82\xa0";
    const std::pair<std::string, std::string> cases[] = {
        {"short", "short"},
        {std::string(25, 'x'), std::string(20, 'x')},
        {"A" + wide + wide + wide + wide + wide + wide + wide + wide + wide + wide,
         "A" + wide + wide + wide + wide + wide + wide + wide + wide + wide},
        // Half-width katakana are single bytes.
        {std::string(22, '\xb1'), std::string(20, '\xb1')},
    };
    for (const auto& [name, cut] : cases) EXPECT_EQ(CutFormName(name), cut) << name;
}

TEST_F(FormPostTest, ButtonsAreAssignedAndARefusedPageEndsThePost) {
    ASSERT_GE(ApplyFormPost(*state,
                            "i92_101_05n1=E&i92_101_05n2=5&i92_101_05n3=label&"
                            "i92_101_06n1=&i92_101_06n2=9&i14_101_105n1=E_5"),
              0);
    EXPECT_EQ(Code("i92_101_05"), "E,5");
    EXPECT_EQ(Code("i14_101_105"), "E,5");
    const std::string before_six = Code("i92_101_06");

    // Page 9 does not exist: the post ends there, what came before stays.
    EXPECT_EQ(ApplyFormPost(*state,
                            "h002=0&i92_101_06n1=E&i92_101_06n2=7&i14_101_905n1=E_6&"
                            "h155=05"),
              -1);
    EXPECT_EQ(Shown("*002#"), "0c");
    EXPECT_EQ(Code("i92_101_06"), "E,7");
    EXPECT_EQ(Shown("*155#"), "03c");
    EXPECT_NE(before_six, "E,7");

    // A name past the command buffer assigns nothing and refuses nothing.
    EXPECT_GE(ApplyFormPost(*state, "i14_101_905" + std::string(60, '0') + "n1=E_6"), 0);
}

TEST_F(FormPostTest, AButtonNameLongerThanTheBufferIsSkipped) {
    const std::string before = Code("i92_101_07");
    EXPECT_GE(ApplyFormPost(*state, "i92_101_07" + std::string(60, '_') + "n1=E&i92_101_07" +
                                        std::string(60, '_') + "n2=5"),
              0);
    EXPECT_EQ(Code("i92_101_07"), before);
}

TEST_F(FormPostTest, RowsAreCollectedByTheirPrefix) {
    const std::string body = "s001n1=1&s001n2=a&x=1&s001n3=b&s002n1=2&s002n2=c&s002n4=0";
    FormRow row;
    ASSERT_TRUE(CollectFieldValues(body, 0, 3, row));
    ASSERT_EQ(row.values.size(), 3u);
    EXPECT_EQ(body.substr(row.values[2], 1), "b");
    EXPECT_EQ(body.substr(row.next, 6), "s002n1");
    EXPECT_FALSE(CollectFieldValues(body, row.next, 4, row)) << "s002 has three fields";
    EXPECT_FALSE(CollectFieldValues(body, body.find("s001n2"), 2, row)) << "not a row start";
}

TEST(FormRows, FieldsOfARowAreFoundUpToTheNextRow) {
    struct Row {
        const char* why;
        std::string body;
        std::size_t n;
        bool found;
        std::vector<std::string> values = {};  // the first character of each value
    };
    const Row rows[] = {
        {.why = "fields of other names in between",
         .body = "s001n1=1&x=9&s001n2=a&s001n3=b",
         .n = 3,
         .found = true,
         .values = {"1", "a", "b"}},
        {.why = "a field of the prefix without a value is passed over",
         .body = "s001n1=1&s001n2&s001n2=a",
         .n = 2,
         .found = true,
         .values = {"1", "a"}},
        {.why = "another row begins first",
         .body = "s001n1=1&s002n1=2&s001n2=a",
         .n = 2,
         .found = false},
        {.why = "the same row's first name again begins another row",
         .body = "s001n1=1&s001n1=2",
         .n = 2,
         .found = false},
        {.why = "no n within 15 characters: the whole name is the prefix",
         .body = "abcdefghijklmop1=1&abcdefghijklmop=7&abcdefghijklmop1x=2",
         .n = 2,
         .found = true,
         .values = {"1", "2"}},
        {.why = "an n first: every later field has the empty prefix",
         .body = "n1=1&z=2",
         .n = 2,
         .found = true,
         .values = {"1", "2"}},
        {.why = "a first name not ending in 1", .body = "s001n2=1&s001n3=2", .n = 2, .found = false},
        {.why = "a first field without a value", .body = "s001n1&s001n2=2", .n = 2, .found = false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        FormRow found;
        EXPECT_EQ(CollectFieldValues(row.body, 0, row.n, found), row.found);
        if (!row.found) continue;
        std::vector<std::string> values;
        for (std::size_t v : found.values) values.push_back(row.body.substr(v, 1));
        EXPECT_EQ(values, row.values);
    }
}

// A body of more fields than any page posts is refused whole, the fields before the cap
// included; one at the cap is applied.
TEST_F(FormPostTest, ABodyOverTheFieldCapChangesNothing) {
    std::string body = "h002=0";
    for (std::size_t i = 1; i < kMaxFormFields; ++i) body += "&s" + std::to_string(i % 1000) + "1=x";
    EXPECT_FALSE(FormFields::Split(body + "&h155=05").has_value());
    EXPECT_EQ(ApplyFormPost(*state, body + "&h155=05"), -1);
    EXPECT_EQ(Shown("*002#"), "1c");
    EXPECT_EQ(Shown("*155#"), "03c");
    EXPECT_GT(ApplyFormPost(*state, body), 0);
    EXPECT_EQ(Shown("*002#"), "0c");
}

}  // namespace
}  // namespace qzs
