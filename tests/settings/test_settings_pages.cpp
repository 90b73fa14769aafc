// The settings pages as the build generates them: each filled from a fresh image is valid HTML,
// every control's name is one the forms read and reaches a command whose show answers, and
// posting a page's own values changes nothing on it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "programming/state.h"
#include "settings/data_image_startup.h"
#include "settings/form_post.h"
#include "settings/form_template.h"
#include "settings/settings_pages.h"
#include "settings/text_codecs.h"

namespace qzs {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> AllPages() {
    std::vector<std::string> pages = SettingsPageNames();
    pages.insert(pages.begin(), std::string(kSettingsStartPage));
    return pages;
}

std::string Fill(ProgrammingState& state, const std::string& text) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = ::open_memstream(&buffer, &size);
    FillFormTemplate(state, text, out);
    std::fclose(out);
    std::string page(buffer, size);
    std::free(buffer);
    return page;
}

std::string Unescaped(std::string text) {
    for (const auto& [entity, c] :
         {std::pair{"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
        for (std::size_t p = text.find(entity); p != std::string::npos;
             p = text.find(entity, p + 1)) {
            text.replace(p, std::string_view(entity).size(), c);
        }
    }
    return text;
}

// The attributes of one tag: name to value ("" for an attribute without one).
std::vector<std::pair<std::string, std::string>> Attributes(const std::string& tag) {
    static const std::regex attribute(R"re(([A-Za-z]+)(?:="([^"]*)")?)re");
    std::vector<std::pair<std::string, std::string>> out;
    for (auto it = std::sregex_iterator(tag.begin(), tag.end(), attribute);
         it != std::sregex_iterator(); ++it) {
        out.emplace_back((*it)[1], Unescaped((*it)[2]));
    }
    return out;
}

std::string Attribute(const std::vector<std::pair<std::string, std::string>>& a,
                      const std::string& name, bool* present = nullptr) {
    for (const auto& [n, v] : a) {
        if (n == name) {
            if (present != nullptr) *present = true;
            return v;
        }
    }
    if (present != nullptr) *present = false;
    return {};
}

struct Control {
    std::string name;
    std::string value;  // what the browser sends
    bool sent = false;
};

// The controls of a filled page as a browser sees them.
std::vector<Control> Controls(const std::string& page) {
    static const std::regex tag(R"re(<(input|select|option|/select)\b([^>]*)>)re");
    std::vector<Control> controls;
    bool in_select = false;
    bool chosen = false;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), tag);
         it != std::sregex_iterator(); ++it) {
        const std::string kind = (*it)[1];
        const auto a = Attributes((*it)[2]);
        if (kind == "input") {
            const std::string type = Attribute(a, "type");
            const std::string name = Attribute(a, "name");
            if (name.empty()) continue;
            bool checked = false;
            Attribute(a, "checked", &checked);
            const bool sent = type == "text" || checked;
            controls.push_back({name, Attribute(a, "value"), sent});
        } else if (kind == "select") {
            controls.push_back({Attribute(a, "name"), "", false});
            in_select = true;
            chosen = false;
        } else if (kind == "option" && in_select) {
            bool selected = false;
            Attribute(a, "selected", &selected);
            // The first option counts until one is selected.
            if ((selected && !chosen) || !controls.back().sent) {
                controls.back().value = Attribute(a, "value");
                controls.back().sent = true;
                chosen = chosen || selected;
            }
        } else if (kind == "/select") {
            in_select = false;
        }
    }
    return controls;
}

class SettingsPagesTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();
    fs::path html = QZS_HTML_DIR;

    void SetUp() override { InitDataImage(*state); }
};

TEST_F(SettingsPagesTest, EveryPageIsMadeAndParsesAsHtml) {
    const fs::path folder =
        fs::path(::testing::TempDir()) / ("qzs_filled_pages_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::string files;
    for (const std::string& name : AllPages()) {
        ASSERT_TRUE(fs::exists(html / name)) << name;
        const std::string text = ReadFile(html / name);
        EXPECT_NE(text.find("charset=Shift_JIS"), std::string::npos) << name;
        std::ofstream(folder / name, std::ios::binary) << Fill(*state, text);
        files += " '" + (folder / name).string() + "'";
    }
    const std::string errors = (folder / "errors.txt").string();
    const int status =
        std::system(("xmllint --html --noout" + files + " 2>'" + errors + "'").c_str());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(errors).substr(0, 2000), "");
    fs::remove_all(folder);
}

TEST_F(SettingsPagesTest, EveryControlNameReachesValues) {
    const std::regex grammar(
        R"re(h(\d{3}|9\d{3})(_\d+)*(n[1-5])?|i92_\d{3}_\d{2}n[1-3]|i14_\d{3}_[1-8]\d{2}n[12]|s\d{3}n[1-4]|t\d{3}_\d{3}n[1-3])re");
    int count = 0;
    for (const std::string& name : SettingsPageNames()) {
        const std::string page = Fill(*state, ReadFile(html / name));
        const std::vector<Control> controls = Controls(page);
        EXPECT_FALSE(controls.empty()) << name;
        for (const Control& c : controls) {
            ++count;
            EXPECT_TRUE(std::regex_match(c.name, grammar)) << name << ": " << c.name;
            std::array<std::string, kFormFetchSlots> slots;
            EXPECT_GE(GetFormFieldValues(*state, c.name, slots), 0) << name << ": " << c.name;
            if (c.name.starts_with('h')) {
                const std::string digits =
                    c.name.substr(1, c.name[1] == '9' && std::isdigit(c.name[4]) ? 4 : 3);
                EXPECT_TRUE(IsOfferedFormCommand(digits)) << c.name;
                for (const char* never : {"007", "023", "024"}) EXPECT_NE(digits, never);
            }
        }
    }
    EXPECT_GT(count, 3000);
}

TEST_F(SettingsPagesTest, PostingAPagesOwnValuesChangesNothing) {
    for (const std::string& name : SettingsPageNames()) {
        const std::string text = ReadFile(html / name);
        const std::string first = Fill(*state, text);
        std::string body;
        for (const Control& c : Controls(first)) {
            if (!c.sent) continue;
            if (!body.empty()) body += '&';
            body += c.name + "=" + UrlEncode(c.value);
        }
        EXPECT_GE(ApplyFormPost(*state, body), 0) << name;
        const std::string second = Fill(*state, text);
        if (second == first) continue;
        // Name the controls whose values moved, not the whole page.
        const std::vector<Control> before = Controls(first);
        const std::vector<Control> after = Controls(second);
        ASSERT_EQ(before.size(), after.size()) << name;
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(before[i].value, after[i].value) << name << ": " << before[i].name;
        }
        ADD_FAILURE() << name << " changed when its own values were posted";
    }
}

}  // namespace
}  // namespace qzs
