// The settings pages as the build generates them: each filled from a fresh image is valid HTML,
// every control's name is one the forms read and reaches a command whose show answers, and
// posting a page's own values changes nothing on it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
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

// The attributes of one tag: name to value ("" for an attribute without one). The pages write
// every value in double quotes.
std::vector<std::pair<std::string, std::string>> Attributes(std::string_view tag) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t p = 0;
    while (p < tag.size()) {
        if (!std::isalpha(static_cast<unsigned char>(tag[p]))) {
            ++p;
            continue;
        }
        std::size_t q = p;
        while (q < tag.size() && std::isalpha(static_cast<unsigned char>(tag[q]))) ++q;
        std::string name(tag.substr(p, q - p));
        std::string value;
        if (q + 1 < tag.size() && tag[q] == '=' && tag[q + 1] == '"') {
            const std::size_t close = tag.find('"', q + 2);
            value = Unescaped(std::string(tag.substr(q + 2, close - q - 2)));
            q = close == std::string_view::npos ? tag.size() : close + 1;
        }
        out.emplace_back(std::move(name), std::move(value));
        p = q;
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
    std::vector<Control> controls;
    bool in_select = false;
    bool chosen = false;
    for (std::size_t p = page.find('<'); p != std::string::npos; p = page.find('<', p + 1)) {
        const std::size_t end = page.find('>', p);
        if (end == std::string::npos) break;
        const std::string_view tag = std::string_view(page).substr(p + 1, end - p - 1);
        const std::size_t word_end = std::min(tag.find(' '), tag.size());
        const std::string_view kind = tag.substr(0, word_end);
        const auto a = Attributes(tag.substr(word_end));
        if (kind == "input") {
            const std::string type = Attribute(a, "type");
            const std::string name = Attribute(a, "name");
            if (name.empty()) continue;
            bool checked = false;
            Attribute(a, "checked", &checked);
            controls.push_back({name, Attribute(a, "value"), type == "text" || checked});
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

bool Digits(std::string_view text, std::size_t n) {
    return text.size() == n &&
           std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

// The form name grammar: h + command (3 digits, or 4 beginning with 9) + "_"-separated keys +
// an optional "nK"; i92_TTT_KKnF; i14_TTT_PKKnF; sRRRnF; tTTT_RRRnF.
bool InGrammar(std::string_view name) {
    const auto field = [&](char low, char high) {
        return name.size() >= 2 && name[name.size() - 2] == 'n' && name.back() >= low &&
               name.back() <= high;
    };
    if (name.starts_with("i92_")) {
        return name.size() == 12 && Digits(name.substr(4, 3), 3) && name[7] == '_' &&
               Digits(name.substr(8, 2), 2) && field('1', '3');
    }
    if (name.starts_with("i14_")) {
        return name.size() == 13 && Digits(name.substr(4, 3), 3) && name[7] == '_' &&
               name[8] >= '1' && name[8] <= '8' && Digits(name.substr(9, 2), 2) && field('1', '2');
    }
    if (name.starts_with('s'))
        return name.size() == 6 && Digits(name.substr(1, 3), 3) && field('1', '4');
    if (name.starts_with('t')) {
        return name.size() == 10 && Digits(name.substr(1, 3), 3) && name[4] == '_' &&
               Digits(name.substr(5, 3), 3) && field('1', '3');
    }
    if (!name.starts_with('h')) return false;
    std::string_view rest = name.substr(1);
    if (field('1', '5')) rest.remove_suffix(2);
    const std::size_t first = std::min(rest.find('_'), rest.size());
    const std::string_view command = rest.substr(0, first);
    if (!Digits(command, 3) && !(Digits(command, 4) && command[0] == '9')) return false;
    for (std::size_t p = first; p < rest.size();) {
        const std::size_t q = std::min(rest.find('_', p + 1), rest.size());
        if (!Digits(rest.substr(p + 1, q - p - 1), q - p - 1) || q == p + 1) return false;
        p = q;
    }
    return true;
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
    for (const char* good : {"h002", "h310_01", "h9320_01_1n2", "i92_101_05n1", "i14_101_816n1",
                             "s599n4", "t112_999n3"}) {
        EXPECT_TRUE(InGrammar(good)) << good;
    }
    for (const char* bad : {"h02", "h1234", "h310_", "h310__1", "h310_0a", "h002s1", "i92_101_5n1",
                            "i14_101_905n1", "s59n1", "s000n5", "t101980n1", "x002"}) {
        EXPECT_FALSE(InGrammar(bad)) << bad;
    }
    int count = 0;
    for (const std::string& name : SettingsPageNames()) {
        const std::string page = Fill(*state, ReadFile(html / name));
        const std::vector<Control> controls = Controls(page);
        EXPECT_FALSE(controls.empty()) << name;
        for (const Control& c : controls) {
            ++count;
            EXPECT_TRUE(InGrammar(c.name)) << name << ": " << c.name;
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
