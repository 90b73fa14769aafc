// qzs-gen-pages FOLDER: writes the settings pages into the folder: the start page
// "01hosyu.html" with the navigation, and every page of the page table from its description
// (settings/settings_pages.inc and the rules of the phone-book and button pages). A command
// looks the same on every page: its controls follow from its layout in the command table.
//
// The pages are Shift-JIS; the texts here are UTF-8 and converted on the way out.
#include <iconv.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"
#include "programming/command_table.h"
#include "settings/settings_pages.h"

namespace {

using qzs::PageItem;

std::string Utf8ToCp932(std::string_view text) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no UTF-8 to CP932");
    std::string in(text);
    std::string out(in.size() * 2 + 16, '\0');
    char* in_ptr = in.data();
    std::size_t in_left = in.size();
    char* out_ptr = out.data();
    std::size_t out_left = out.size();
    const std::size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) throw std::runtime_error("text without CP932 form");
    out.resize(out.size() - out_left);
    return out;
}

std::string Escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Padded(int value, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    return text;
}

constexpr std::string_view kCell = " style=\"border:1px solid #9ab;padding:2px 6px\"";
constexpr std::string_view kHeadCell =
    " style=\"border:1px solid #9ab;padding:2px 6px;background:#dde6f0;text-align:left\"";

std::string Head(std::string_view title) {
    std::string out =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
        "<html lang=\"ja\">\n<head>\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
        "<title>" +
        Escape(title) +
        "</title>\n</head>\n"
        "<body style=\"font-family:sans-serif;font-size:10pt;margin:10px;color:#123\">\n";
    return out;
}

std::string Text(std::string_view name, int width, bool readonly = false,
                 std::string_view hint = {}) {
    std::string out = "<input type=\"text\" name=\"" + std::string(name) + "\" size=\"" +
                      std::to_string(width + 1) + "\" maxlength=\"" + std::to_string(width) + "\"";
    if (!hint.empty()) out += " title=\"" + std::string(hint) + "\"";
    if (readonly) out += " readonly style=\"background:#eee;border:1px solid #ccc\"";
    return out + ">";
}

// The digits a data field takes, as the installer reads it beside the field.
std::string DigitsHint(const qzs::CommandDescriptor& d, int field) {
    const int low = d.FieldMinDigits(static_cast<unsigned>(field));
    const int high = d.FieldMaxDigits(static_cast<unsigned>(field));
    if (low == high) return std::to_string(high) + "桁";
    return std::to_string(low) + "～" + std::to_string(high) + "桁";
}

std::string Row(const std::vector<std::string>& cells, bool head = false) {
    std::string out = "<tr>";
    for (const std::string& c : cells) {
        out += head ? "<th" + std::string(kHeadCell) + ">" : "<td" + std::string(kCell) + ">";
        out += c;
        out += head ? "</th>" : "</td>";
    }
    return out + "</tr>\n";
}

class PageWriter {
  public:
    explicit PageWriter(const qzs::CommandTable& table) : table_(table) {}

    std::string Page(const qzs::SettingsPage& page) {
        std::string error;
        const auto items = qzs::ParsePageDescription(page.description, &error);
        if (!items) throw std::runtime_error(page.name + ": cannot read \"" + error + "\"");
        std::string out = Head(page.title);
        out += "<p style=\"margin:0 0 6px 0\"><a href=\"01hosyu.html\">メニューへ戻る</a></p>\n";
        out += "<h1 style=\"font-size:13pt;margin:0 0 8px 0;border-bottom:2px solid #468\">" +
               Escape(page.title) + "</h1>\n";
        out += "<form method=\"post\" action=\"" + page.name + "\">\n";
        out += "<table style=\"border-collapse:collapse\">\n";
        for (const PageItem& item : *items) out += Item(page, item);
        out += "</table>\n";
        out += "<p><input type=\"submit\" value=\"設定\"></p>\n</form>\n</body>\n</html>\n";
        return out;
    }

  private:
    std::string Item(const qzs::SettingsPage& page, const PageItem& item) {
        switch (item.kind) {
            case PageItem::Kind::kHeading:
                return "<tr><th colspan=\"5\" style=\"text-align:left;padding:8px 0 2px 0\">" +
                       Escape(item.text) + "</th></tr>\n";
            case PageItem::Kind::kCommand:
                return Command(page, item);
            case PageItem::Kind::kSystemRows:
                return SpeedDialRows(item, true);
            case PageItem::Kind::kTelephoneRows:
                return SpeedDialRows(item, false);
            case PageItem::Kind::kOneTouch:
                return OneTouch(item);
            case PageItem::Kind::kPaged:
                return Paged(item);
        }
        return {};
    }

    std::string Command(const qzs::SettingsPage& page, const PageItem& item) {
        const qzs::CommandDescriptor& d = table_.At(table_.Lookup(item.text));
        const int keys = d.KeyFieldCount();
        const int data = d.DataFieldCount();
        if (d.IsEndRecord() || table_.Lookup(item.text) == table_.CatchAllIndex() ||
            static_cast<int>(item.keys.size()) != keys || data == 0) {
            throw std::runtime_error(page.name + ": *" + item.text +
                                     " needs its key fields and has data fields");
        }
        if (item.style == 'r' && (data != 1 || d.FieldMaxDigits(keys + 1) != 1)) {
            throw std::runtime_error(page.name + ": *" + item.text + " is no on-off setting");
        }
        std::string out = Row({"*" + item.text, "設定値"}, true);
        std::vector<int> key(item.keys.size());
        for (std::size_t i = 0; i < key.size(); ++i) key[i] = item.keys[i].first;
        while (true) {
            std::string name = "h" + item.text;
            std::string label = "*" + item.text;
            for (std::size_t i = 0; i < key.size(); ++i) {
                const std::string part =
                    Padded(key[i], d.FieldMaxDigits(static_cast<unsigned>(i + 1)));
                name += "_" + part;
                label += " " + part;
            }
            out += Row({label, Controls(d, keys, data, name, item)});
            // The next key combination, the last key fastest.
            std::size_t i = key.size();
            while (i > 0 && key[i - 1] == item.keys[i - 1].second) {
                key[i - 1] = item.keys[i - 1].first;
                --i;
            }
            if (i == 0) break;
            ++key[i - 1];
        }
        return out;
    }

    static std::string Controls(const qzs::CommandDescriptor& d, int keys, int data,
                                const std::string& name, const PageItem& item) {
        const auto width = [&](int field) {
            return d.FieldMaxDigits(static_cast<unsigned>(keys + field));
        };
        if (data > 1) {
            std::string out;
            for (int f = 1; f <= data; ++f) {
                if (f > 1) out += " , ";
                out +=
                    Text(name + "n" + std::to_string(f), width(f), false, DigitsHint(d, keys + f));
            }
            return out;
        }
        if (item.style == 'r') {
            return "<label><input type=\"radio\" name=\"" + name +
                   "\" value=\"0\">0 (切)</label> <label><input type=\"radio\" name=\"" + name +
                   "\" value=\"1\">1 (入)</label>";
        }
        if (item.style == 's') {
            const bool fixed = d.FieldMinDigits(static_cast<unsigned>(keys + 1)) == width(1);
            std::string out = "<select name=\"" + name + "\">";
            for (int v = item.low; v <= item.high; ++v) {
                const std::string value = fixed ? Padded(v, width(1)) : std::to_string(v);
                out += "<option value=\"" + value + "\">" + value + "</option>";
            }
            return out + "</select>";
        }
        return Text(name, width(1), false, DigitsHint(d, keys + 1));
    }

    static std::string SpeedDialRows(const PageItem& item, bool system) {
        std::vector<std::string> head = {"短縮番号", "電話番号", "名前(漢字)", "名前(カナ)"};
        if (system) head.push_back("グループ");
        std::string out = Row(head, true);
        const int first = system ? item.first : 0;
        for (int r = 0; r < item.count; ++r) {
            const std::string row = Padded(system ? first + r : 980 + r, 3);
            const std::string prefix = system ? "s" + row : "t" + Padded(item.first, 3) + "_" + row;
            std::vector<std::string> cells = {row, Text(prefix + "n1", 24), Text(prefix + "n2", 20),
                                              Text(prefix + "n3", 20)};
            if (system) {
                std::string group = "<select name=\"" + prefix + "n4\">";
                for (int g = 0; g <= 7; ++g) {
                    group += "<option value=\"0" + std::to_string(g) + "\">" + std::to_string(g) +
                             "</option>";
                }
                cells.push_back(group + "</select>");
            }
            out += Row(cells);
        }
        return out;
    }

    static std::string OneTouch(const PageItem& item) {
        static constexpr std::pair<std::string_view, std::string_view> kKinds[] = {
            {"", "変更しない"}, {"A", "A 機能なし"}, {"1", "1 短縮"},
            {"C", "C 機能800"}, {"D", "D 機能900"},  {"E", "E キー"},
            {"F", "F DSS"},     {"G", "G 機能G"},    {"H", "H ボックス"},
        };
        std::string out = Row({"ボタン", "種別", "データ", "現在の設定"}, true);
        for (int b = 1; b <= 32; ++b) {
            const std::string name = "i92_" + Padded(item.first, 3) + "_" + Padded(b, 2);
            std::string kind = "<select name=\"" + name + "n1\">";
            for (const auto& [value, label] : kKinds) {
                kind += "<option value=\"" + std::string(value) + "\">" + std::string(label) +
                        "</option>";
            }
            kind += "</select>";
            out += Row({Padded(b, 2), kind, Text(name + "n2", 3), Text(name + "n3", 16, true)});
        }
        return out;
    }

    static std::string Paged(const PageItem& item) {
        std::string out = Row({"ボタン", "コード", "現在の設定"}, true);
        for (int b = 1; b <= 16; ++b) {
            const std::string name =
                "i14_" + Padded(item.first, 3) + "_" + std::to_string(item.count) + Padded(b, 2);
            out += Row({Padded(b, 2), Text(name + "n1", 5), Text(name + "n2", 16, true)});
        }
        return out;
    }

    const qzs::CommandTable& table_;
};

std::string StartPage() {
    std::string out = Head("データ設定メニュー");
    out +=
        "<h1 style=\"font-size:13pt;margin:0 0 8px 0;border-bottom:2px solid #468\">"
        "データ設定メニュー</h1>\n<table style=\"border-collapse:collapse\">\n";
    for (const qzs::SettingsPageGroup& g : qzs::SettingsPageGroups()) {
        std::string links;
        for (int n = 1; n <= g.count; ++n) {
            const std::string page = std::string(g.prefix) + "_" + Padded(n, 2) + "m.html";
            const std::optional<qzs::SettingsPage> described = qzs::FindSettingsPage(page);
            const std::string title = described ? described->title : page;
            links += "<a href=\"" + page + "\" title=\"" + Escape(title) + "\">" + Padded(n, 2) +
                     "</a> ";
        }
        out += Row({Escape(g.title), links});
    }
    out += "</table>\n</body>\n</html>\n";
    return out;
}

void WriteFile(const std::filesystem::path& path, const std::string& utf8) {
    const std::string text = Utf8ToCp932(utf8);
    if (qzs::base::WriteFileAtomically(path.string(), text) != 0) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: qzs-gen-pages FOLDER\n";
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        PageWriter writer(qzs::BuiltInCommandTable());
        WriteFile(folder / qzs::kSettingsStartPage, StartPage());
        for (const std::string& name : qzs::SettingsPageNames()) {
            const std::optional<qzs::SettingsPage> page = qzs::FindSettingsPage(name);
            if (!page) throw std::runtime_error(name + ": no description");
            WriteFile(folder / name, writer.Page(*page));
        }
    } catch (const std::exception& e) {
        std::cerr << "qzs-gen-pages: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
