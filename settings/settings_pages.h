// The settings pages that the local web server fills and serves: the start page "01hosyu.html"
// and 164 pages named by a topic prefix, "_", a two-digit number and "m.html". Each page is made
// from one compact description (below); the page generator writes the HTML from them, and the
// form post takes only the commands that some page offers.
//
// Description lines:
//   # text                 a heading
//   h CMD KEYS... [/STYLE]  the command's controls, one row per key combination; a key is N or
//                          A-B (decimal, written as wide as the command's key field). STYLE:
//                          /r an on-off radio pair (0, 1); /sA-B a choice of A to B; default a
//                          text input per data field (a command of several data fields gets
//                          one row of "n" fields)
//   s FIRST COUNT          system speed-dial rows
//   t TELEPHONE COUNT      a telephone's speed-dial rows from 980
//   i92 TELEPHONE          the 32 one-touch buttons of a telephone
//   i14 TELEPHONE PAGE     the 16 paged buttons of one page
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qzs {

struct SettingsPageGroup {
    std::string_view prefix;  // "01hosyu"
    int count;
    std::string_view title;
};

// The topics in table order.
std::span<const SettingsPageGroup> SettingsPageGroups();
// The 164 page names in table order ("01hosyu_01m.html" ...).
const std::vector<std::string>& SettingsPageNames();
inline constexpr std::string_view kSettingsStartPage = "01hosyu.html";

struct SettingsPage {
    std::string name;         // "02system_01m.html"
    std::string title;        // shown in the page and the window
    std::string description;  // the lines above
};

// The page of that name (a page of the table, not the start page); none for another name.
std::optional<SettingsPage> FindSettingsPage(std::string_view name);

// One line of a description, parsed.
struct PageItem {
    enum class Kind { kHeading, kCommand, kSystemRows, kTelephoneRows, kOneTouch, kPaged };
    Kind kind = Kind::kHeading;
    std::string text;                       // heading; command digits
    std::vector<std::pair<int, int>> keys;  // command: a range per key field
    char style = 't';                       // 't' text, 'r' radio pair, 's' choice
    int low = 0;                            // choice range
    int high = 0;
    int first = 0;  // rows: first row; buttons: telephone
    int count = 0;  // rows: how many; paged buttons: page
};

// The items of a description; none (with the line in error) for a line that does not parse.
std::optional<std::vector<PageItem>> ParsePageDescription(std::string_view description,
                                                          std::string* error = nullptr);

// True for command digits ("002", "9309") that some settings page carries.
bool IsOfferedFormCommand(std::string_view digits);

}  // namespace qzs
