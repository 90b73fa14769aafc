#include "settings/settings_pages.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <set>

namespace qzs {
namespace {

// Titles are UTF-8 here: only the page generator shows them, and it writes them as Shift-JIS.
constexpr std::array<SettingsPageGroup, 19> kGroups = {{
    {"01hosyu", 9, "保守"},
    {"02system", 5, "システム"},
    {"03gaisen", 13, "外線 1"},
    {"04gaisen", 18, "外線 2"},
    {"05gaisen", 3, "外線 3"},
    {"06gaisen", 14, "外線 4"},
    {"07naisen", 4, "内線"},
    {"08tel", 5, "電話機"},
    {"09naisen", 1, "内線 2"},
    {"10gaibu", 6, "外部機器"},
    {"11other", 2, "その他"},
    {"12isdn", 2, "ISDN"},
    {"13kakin", 9, "課金"},
    {"14ip", 2, "IP"},
    {"15digital", 3, "デジタル"},
    {"16tansyuku", 12, "共通電話帳"},
    {"17tel", 6, "マイ電話帳"},
    {"18nandemo", 40, "なんでもボタン"},
    {"19one", 10, "ワンタッチボタン"},
}};

// The telephones whose buttons the pages set, in page order.
constexpr std::array<int, 10> kButtonTelephones = {101, 102, 103, 104, 105,
                                                   106, 109, 110, 111, 112};

struct PageText {
    std::string_view name;  // without "m.html"
    std::string_view title;
    std::string_view description;
};

#include "settings/settings_pages.inc"

std::string TwoDigits(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

std::string ThreeDigits(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", n);
    return text;
}

// The phone-book and button pages follow from their number.
std::optional<SettingsPage> RulePage(std::string_view prefix, int n) {
    SettingsPage page;
    page.name = std::string(prefix) + "_" + TwoDigits(n) + "m.html";
    if (prefix == "16tansyuku") {
        const int first = 50 * (n - 1);
        page.title = "共通電話帳[PAGE" + std::to_string(n) + "(短縮番号" + ThreeDigits(first) +
                     "～" + ThreeDigits(first + 49) + ")]";
        page.description = "s " + std::to_string(first) + " 50\n";
        return page;
    }
    if (prefix == "17tel") {
        const int a = 99 + 2 * n;
        page.title = "マイ電話帳[PAGE" + std::to_string(n) + "(収容位置" + std::to_string(a) + "," +
                     std::to_string(a + 1) + ")]";
        page.description = "# 収容位置" + std::to_string(a) + "\nt " + std::to_string(a) +
                           " 20\n# 収容位置" + std::to_string(a + 1) + "\nt " +
                           std::to_string(a + 1) + " 20\n";
        return page;
    }
    if (prefix == "18nandemo") {
        // Four pages per telephone, two button pages on each.
        const int telephone = kButtonTelephones[static_cast<std::size_t>((n - 1) / 4)];
        const int button_page = 2 * ((n - 1) % 4) + 1;
        page.title = "なんでもボタン 収容位置" + std::to_string(telephone) + " ページ" +
                     std::to_string(button_page) + "," + std::to_string(button_page + 1);
        for (int p = button_page; p <= button_page + 1; ++p) {
            page.description += "# ページ" + std::to_string(p) + "\ni14 " +
                                std::to_string(telephone) + " " + std::to_string(p) + "\n";
        }
        return page;
    }
    if (prefix == "19one") {
        const int telephone = kButtonTelephones[static_cast<std::size_t>(n - 1)];
        page.title = "ワンタッチボタン 収容位置" + std::to_string(telephone);
        page.description = "i92 " + std::to_string(telephone) + "\n";
        return page;
    }
    return std::nullopt;
}

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t p = 0;
    while (p < line.size()) {
        while (p < line.size() && line[p] == ' ') ++p;
        const std::size_t q = std::min(line.find(' ', p), line.size());
        if (q > p) words.push_back(line.substr(p, q - p));
        p = q;
    }
    return words;
}

std::optional<std::pair<int, int>> Range(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        const std::optional<int> n = Number(text);
        if (!n) return std::nullopt;
        return std::pair{*n, *n};
    }
    const std::optional<int> a = Number(text.substr(0, dash));
    const std::optional<int> b = Number(text.substr(dash + 1));
    if (!a || !b || *a > *b) return std::nullopt;
    return std::pair{*a, *b};
}

std::optional<PageItem> ParseLine(std::string_view line) {
    PageItem item;
    if (line.starts_with("# ")) {
        item.text = line.substr(2);
        return item;
    }
    const std::vector<std::string_view> w = Words(line);
    if (w.empty()) return std::nullopt;
    auto number = [&](std::size_t i) { return i < w.size() ? Number(w[i]) : std::nullopt; };
    if (w[0] == "h" && w.size() >= 2) {
        item.kind = PageItem::Kind::kCommand;
        item.text = w[1];
        const bool digits =
            std::ranges::all_of(item.text, [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || !(item.text.size() == 3 || (item.text.size() == 4 && item.text[0] == '9'))) {
            return std::nullopt;
        }
        for (std::size_t i = 2; i < w.size(); ++i) {
            if (w[i].starts_with('/')) {
                if (i + 1 != w.size() || w[i].size() < 2) return std::nullopt;
                item.style = w[i][1];
                if (item.style == 's') {
                    const std::optional<std::pair<int, int>> r = Range(w[i].substr(2));
                    if (!r) return std::nullopt;
                    item.low = r->first;
                    item.high = r->second;
                } else if (item.style != 'r' || w[i].size() != 2) {
                    return std::nullopt;
                }
                break;
            }
            const std::optional<std::pair<int, int>> r = Range(w[i]);
            if (!r) return std::nullopt;
            item.keys.push_back(*r);
        }
        return item;
    }
    if (w[0] == "s" && w.size() == 3 && number(1) && number(2)) {
        item.kind = PageItem::Kind::kSystemRows;
        item.first = *number(1);
        item.count = *number(2);
        return item;
    }
    if (w[0] == "t" && w.size() == 3 && number(1) && number(2)) {
        item.kind = PageItem::Kind::kTelephoneRows;
        item.first = *number(1);
        item.count = *number(2);
        return item;
    }
    if (w[0] == "i92" && w.size() == 2 && number(1)) {
        item.kind = PageItem::Kind::kOneTouch;
        item.first = *number(1);
        return item;
    }
    if (w[0] == "i14" && w.size() == 3 && number(1) && number(2)) {
        item.kind = PageItem::Kind::kPaged;
        item.first = *number(1);
        item.count = *number(2);
        return item;
    }
    return std::nullopt;
}

std::set<std::string, std::less<>> OfferedCommands() {
    std::set<std::string, std::less<>> commands;
    for (const PageText& page : kPageTexts) {
        const auto items = ParsePageDescription(page.description);
        if (!items) continue;
        for (const PageItem& item : *items) {
            if (item.kind == PageItem::Kind::kCommand) commands.insert(item.text);
        }
    }
    return commands;
}

}  // namespace

std::span<const SettingsPageGroup> SettingsPageGroups() {
    return kGroups;
}

const std::vector<std::string>& SettingsPageNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const SettingsPageGroup& g : kGroups) {
            for (int n = 1; n <= g.count; ++n) {
                all.push_back(std::string(g.prefix) + "_" + TwoDigits(n) + "m.html");
            }
        }
        return all;
    }();
    return names;
}

std::optional<SettingsPage> FindSettingsPage(std::string_view name) {
    if (std::ranges::find(SettingsPageNames(), name) == SettingsPageNames().end()) {
        return std::nullopt;
    }
    const std::string_view stem = name.substr(0, name.size() - std::string_view("m.html").size());
    const std::size_t underscore = stem.find('_');
    const std::string_view prefix = stem.substr(0, underscore);
    const int n = *Number(stem.substr(underscore + 1));
    if (std::optional<SettingsPage> page = RulePage(prefix, n)) return page;
    for (const PageText& text : kPageTexts) {
        if (text.name == stem) {
            return SettingsPage{std::string(name), std::string(text.title),
                                std::string(text.description)};
        }
    }
    return std::nullopt;
}

std::optional<std::vector<PageItem>> ParsePageDescription(std::string_view description,
                                                          std::string* error) {
    std::vector<PageItem> items;
    std::size_t p = 0;
    while (p < description.size()) {
        const std::size_t q = std::min(description.find('\n', p), description.size());
        const std::string_view line = description.substr(p, q - p);
        p = q + 1;
        if (line.find_first_not_of(' ') == std::string_view::npos) continue;
        std::optional<PageItem> item = ParseLine(line);
        if (!item) {
            if (error != nullptr) *error = std::string(line);
            return std::nullopt;
        }
        items.push_back(std::move(*item));
    }
    return items;
}

bool IsOfferedFormCommand(std::string_view digits) {
    static const std::set<std::string, std::less<>> commands = OfferedCommands();
    return commands.contains(digits);
}

}  // namespace qzs
