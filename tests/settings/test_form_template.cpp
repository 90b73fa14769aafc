// Templates of the settings pages filled with the image's values.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "programming/state.h"
#include "settings/data_image_startup.h"
#include "settings/form_post.h"
#include "settings/form_template.h"
#include "settings/speed_dial.h"

namespace qzs {
namespace {

class FormTemplateTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();

    void SetUp() override { InitDataImage(*state); }

    std::string Filled(std::string_view text) {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* out = ::open_memstream(&buffer, &size);
        EXPECT_EQ(FillFormTemplate(*state, text, out), 0);
        std::fclose(out);
        std::string page(buffer, size);
        std::free(buffer);
        return page;
    }
};

struct FillCase {
    const char* why;
    const char* post;  // applied first
    const char* text;
    const char* filled;
};

TEST_F(FormTemplateTest, ControlsGetTheirValues) {
    const FillCase cases[] = {
        {"a checkbox of a set flag", "",
         "<p><input type=\"checkbox\" name=\"h002\" value=\"1\">x<br>",
         "<p><input type=\"checkbox\" name=\"h002\"  value=\"1\" checked >x<br>"},
        {"a checkbox of a cleared flag", "h002=0",
         "<p><input type=\"checkbox\" name=\"h002\" value=\"1\">x<br>",
         "<p><input type=\"checkbox\" name=\"h002\"  value=\"1\">x<br>"},
        {"a text input, unquoted", "", "<input type=text name=h155><br>",
         "<input type=text name=h155 value=\"03\"><br>"},
        {"a template value of a text input is replaced", "h155=05",
         "<input value=\"99\" type=\"text\" name=\"h155\"><br>",
         "<input type=\"text\" name=\"h155\" value=\"05\"><br>"},
        {"a select and its options", "",
         "<select name=\"h155\"><option value=\"02\">2</option><option value=\"03\">3</option>"
         "</select><br>",
         "<select name=\"h155\"><option  value=\"02\">2</option><option  value=\"03\" selected "
         ">3</option></select><br>"},
        {"a radio group of one name", "h002=0",
         "<input type=\"radio\" name=\"h002\" value=\"0\"><input type=\"radio\" name=\"h002\" "
         "value=\"1\"><br>",
         "<input type=\"radio\" name=\"h002\"  value=\"0\" checked ><input type=\"radio\" "
         "name=\"h002\"  value=\"1\"><br>"},
        {"the fields of a row", "h9320_01_1n1=123&h9320_01_1n2=200",
         "<input type=\"text\" name=\"h9320_01_1n1\"><input type=\"text\" "
         "name=\"h9320_01_1n2\"><br>",
         "<input type=\"text\" name=\"h9320_01_1n1\" value=\"123\"><input type=\"text\" "
         "name=\"h9320_01_1n2\" value=\"200\"><br>"},
        {"a hidden input loses its value", "",
         "<input type=\"hidden\" name=\"h002\" value=\"9\"><br>",
         "<input type=\"hidden\" name=\"h002\" ><br>"},
        {"an input without a type too", "", "<input name=\"h155\" value=\"9\"><br>",
         "<input name=\"h155\" ><br>"},
        {"buttons keep theirs", "", "<input type=\"submit\" value=\"Set\"><br>",
         "<input type=\"submit\"  value=\"Set\"><br>"},
        {"a comment is copied as it stands", "", "<!-- <input type=\"text\" name=\"h155\"> --><br>",
         "<!-- <input type=\"text\" name=\"h155\"> --><br>"},
        {"the last tag without a following \"<\" is not filled", "",
         "<input type=\"text\" name=\"h155\">", "<input type=\"text\" name=\"h155\">"},
        {"closing and other tags are no controls", "",
         "<s name=\"h155\">a</s><i>b</i></option><br>",
         "<s name=\"h155\">a</s><i>b</i></option><br>"},
        {"text before the first tag", "", "head<input type=\"text\" name=\"h155\"><br>",
         "head<input type=\"text\" name=\"h155\" value=\"03\"><br>"},
        {"an unclosed quote ends the filling", "", "<input type=\"text\" name=\"h155><br>",
         "<input type=\"text\" name=\"h155><br>"},
        {"a name without values leaves the control empty", "",
         "<input type=\"text\" name=\"x155\"><br>",
         "<input type=\"text\" name=\"x155\" value=\"\"><br>"},
    };
    for (const FillCase& c : cases) {
        SetUp();
        EXPECT_GE(ApplyFormPost(*state, c.post), 0) << c.why;
        EXPECT_EQ(Filled(c.text), c.filled) << c.why;
    }
}

TEST_F(FormTemplateTest, RowsAndButtonsFillTheirFields) {
    ASSERT_GE(ApplyFormPost(*state,
                            "s007n1=0312&s007n2=a%26b%22&s007n3=k&s007n4=05&"
                            "t101_980n1=99&t101_980n2=n&t101_980n3=m&"
                            "i92_101_05n1=E&i92_101_05n2=5&i14_101_105n1=E_5"),
              0);
    const std::string filled = Filled(
        "<input type=\"text\" name=\"s007n1\"><input type=\"text\" name=\"s007n2\">"
        "<input type=\"text\" name=\"s007n3\"><select name=\"s007n4\"><option value=\"04\">"
        "<option value=\"05\"></select>"
        "<input type=\"text\" name=\"t101_980n1\"><input type=\"text\" name=\"t101_980n2\">"
        "<input type=\"text\" name=\"t101_980n3\">"
        "<input type=\"text\" name=\"i92_101_05n1\"><input type=\"text\" name=\"i92_101_05n2\">"
        "<input type=\"text\" name=\"i14_101_105n1\"><br>");
    // The quote of the name was cleaned away when it was stored; "&" is written escaped.
    EXPECT_EQ(filled,
              "<input type=\"text\" name=\"s007n1\" value=\"0312\"><input type=\"text\" "
              "name=\"s007n2\" value=\"a&amp;b \"><input type=\"text\" name=\"s007n3\" "
              "value=\"k\"><select name=\"s007n4\"><option  value=\"04\"><option  value=\"05\" "
              "selected ></select><input type=\"text\" name=\"t101_980n1\" value=\"99\"><input "
              "type=\"text\" name=\"t101_980n2\" value=\"n\"><input type=\"text\" "
              "name=\"t101_980n3\" value=\"m\"><input type=\"text\" name=\"i92_101_05n1\" "
              "value=\"E\"><input type=\"text\" name=\"i92_101_05n2\" value=\"5\"><input "
              "type=\"text\" name=\"i14_101_105n1\" value=\"E_5\"><br>");
}

// Each row of four values takes four slots, and rows of new names keep taking further slots:
// 200 rows need more than the 720 slots, and the fill starts over at the first slot.
TEST_F(FormTemplateTest, ThePageSlotsAreBounded) {
    std::string body;
    std::string text;
    for (int row = 0; row < 200; ++row) {
        char name[16];
        std::snprintf(name, sizeof name, "s%03dn", row);
        body += std::string(name) + "1=5&" + name + "2=&" + name + "3=&" + name + "4=00&";
        text += "<input type=\"radio\" name=\"" + std::string(name) + "1\" value=\"5\">";
    }
    text += "<br>";
    ASSERT_GE(ApplyFormPost(*state, body), 0);
    const std::string filled = Filled(text);
    std::size_t checked = 0;
    for (std::size_t p = filled.find("checked"); p != std::string::npos;
         p = filled.find("checked", p + 1)) {
        ++checked;
    }
    EXPECT_EQ(checked, 200u);
}

TEST_F(FormTemplateTest, ShowCommandsOfNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"h002", "*002#"}, {"h310_01", "*31001#"}, {"h9320_01_1n2", "*9320011##"},
        {"h1s2", "*1#2#"}, {"h155\" x", "*155#"},  {"h", "*#"},
    };
    for (const auto& [name, command] : cases) EXPECT_EQ(BuildShowCommand(name), command) << name;
}

}  // namespace
}  // namespace qzs
