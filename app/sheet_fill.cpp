#include "app/sheet_fill.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "platform/automation/automation.h"
#include "programming/state.h"
#include "settings/key_sheet.h"
#include "settings/sheet_lines.h"
#include "settings/speed_dial_lines.h"

namespace qzs::app {
namespace {

constexpr const char* kTitles[] = {
    "保守・システム系コマンド",
    "外線発信系コマンド",
    "外線着信系コマンド",
    "外線保留・転送系コマンド",
    "外線系その他のコマンド",
    "内線系コマンド",
    "電話機に関するコマンド",
    "内線ボックスに関するコマンド",
    "外部機器に関するコマンド",
    "その他のコマンド",
    "ＩＳＤＮに関するコマンド",
    "課金に関するコマンド",
    "ＩＰに関するコマンド",
    "ディジタルコードレスに関するコマンド",
    "全データ設定",
    "共通電話帳",
    "マイ電話帳",
    "全データシート",
    "ワンタッチ・内線ワンタッチ・ボックス設定",
    "なんでもワンタッチボタン設定",
};

// Data-setting groups: 0-7 are listed by these characters, 8-13 continue the list of group 7.
constexpr char kGroupChars[] = {'0', '1', '3', '5', '6', '7', '8', '9'};
constexpr int kListedGroups = 8;
constexpr int kCommandGroups = 14;
constexpr int kGroupPages[kCommandGroups] = {5, 6, 19, 1, 8, 2, 1, 1, 2, 1, 1, 5, 1, 1};
constexpr int kCommandPages = 54;
// The last command number of groups 7-12; the row after a higher one ends the group.
constexpr int kGroupLastCommand[] = {9199, 9250, 9280, 9299, 9399, 9499};
constexpr int kKeyGroupPages[] = {2, 8};
constexpr int kKeyPages = 10;
constexpr int kKeyTitle = 18;
constexpr int kMaxPages = 2000;
constexpr int kSpeedDialPages = 600;
constexpr int kCommandRows = 160;
constexpr int kBookRows = 40;
constexpr int kEditLayer = 1;

// A blank line stands for every line past the end of the copy.
SheetLine BlankLine() {
    SheetLine line;
    line.fill(' ');
    return line;
}

const SheetLine& LineAt(const std::vector<SheetLine>& lines, size_t index) {
    static const SheetLine blank = BlankLine();
    return index < lines.size() ? lines[index] : blank;
}

std::string Field(const SheetLine& line, size_t from, size_t width) {
    std::string text(line.data() + from, width);
    // The library takes a C string: a NUL ends the text.
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

std::string Numbered(const char* stem, int n) {
    return std::string(stem) + std::to_string(n);
}

class Filler {
  public:
    Filler(ReportInterface& rif, const FillTarget& target, const SheetDate& date)
        : rif_(rif), target_(target) {
        char text[64];
        std::snprintf(text, sizeof text, " %04d年%02d月%02d日 ", date.year, date.month, date.day);
        date_ = Cp932(text);
    }

    bool Begin() {
        if (target_.wait_cursor) target_.wait_cursor(true);
        return rif_.ClearLayerData(target_.report, kEditLayer) != 0;
    }
    bool Set(const std::string& name, const std::string& text) {
        return rif_.SetText(target_.report, name, text) != 0;
    }
    bool SetUtf8(const char* name, const char* utf8) { return Set(name, Cp932(utf8)); }
    void Size(const std::string& name) { rif_.SetFontSize(target_.report, name, 9.0f); }
    bool Output() {
        if (target_.output) return target_.output() != 0;
        if (target_.mode == kPrintModePreview) {
            return rif_.PreviewReportPrint(target_.preview, target_.report) != 0;
        }
        return rif_.PrinterReportPrint(target_.printer, target_.report) != 0;
    }
    const std::string& date() const { return date_; }

  private:
    ReportInterface& rif_;
    const FillTarget& target_;
    std::string date_;
};

int FillCommandSheets(Filler& f, ProgrammingState& state, bool keys) {
    const int total = keys ? kKeyPages : kCommandPages;
    int group = 0;
    int page = 1;
    int pageInGroup = 1;
    size_t index = 0;
    std::vector<SheetLine> lines;
    if (keys) {
        BuildKeySheet(state, kKeySheetKind);
        lines = CopyKeySheetLines(state);
    } else {
        ListCommandGroup(state, kGroupChars[0]);
        lines = CopySheetLines(state);
    }
    for (int pages = 0; pages < kMaxPages; ++pages) {
        if (!f.Begin()) return 0;
        const int title = keys ? kKeyTitle + group : group;
        const int groupPages = keys ? kKeyGroupPages[group] : kGroupPages[group];
        if (!f.SetUtf8("TitleMain", kTitles[title])) return 0;
        for (int n = 1; n <= 4; ++n) {
            if (!f.SetUtf8(Numbered("ComTitle", n).c_str(), " コマンド ")) return 0;
        }
        if (!f.Set("Date", f.date())) return 0;
        char text[64];
        std::snprintf(text, sizeof text, " %d／%d ", page++, total);
        if (!f.SetUtf8("PageNO", text)) return 0;
        std::snprintf(text, sizeof text, "page %02d／%02d", pageInGroup++, groupPages);
        if (!f.SetUtf8("ComPageNO", text)) return 0;

        bool exhausted = false;
        bool groupEnds = false;
        for (int n = 1; n <= kCommandRows; ++n) {
            const SheetLine& line = LineAt(lines, index);
            if (line[0] == ' ') {
                exhausted = true;
                break;
            }
            const std::string field = Numbered("Com", n);
            if (keys) {
                if (!f.Set(field, KeyRowText(line))) return 0;
            } else {
                f.Size(field);
                if (!f.Set(field, CommandRowText(line))) return 0;
            }
            ++index;
            const SheetLine& next = LineAt(lines, index);
            if (keys) {
                if (line[kKeySheetKindColumn] != next[kKeySheetKindColumn]) {
                    if (next[0] == ' ') {
                        exhausted = true;
                    } else {
                        groupEnds = true;
                    }
                    break;
                }
            } else if (group >= kListedGroups - 1 && group < kCommandGroups - 1) {
                int number = 0;
                for (size_t i = kSheetDisplayColumn; i < kSheetDisplayColumn + 4; ++i) {
                    number = number * 10 + (next[i] - '0');
                }
                if (number > kGroupLastCommand[group - (kListedGroups - 1)]) {
                    groupEnds = true;
                    break;
                }
            }
        }
        if (!f.Output()) return 0;
        if (groupEnds) {
            ++group;
            pageInGroup = 1;
        } else if (exhausted) {
            if (keys || group >= kListedGroups - 1) return 1;
            ++group;
            pageInGroup = 1;
            index = 0;
            ListCommandGroup(state, kGroupChars[group]);
            lines = CopySheetLines(state);
        }
    }
    return 1;
}

int FillPhoneBook(Filler& f, ProgrammingState& state, bool telephones) {
    if (telephones) {
        BuildTelephoneSpeedDialLines(state, kFirstListTelephone, 980);
    } else {
        BuildSystemSpeedDialLines(state, 0);
        CountFreeSpeedDialRows(state, 0);
    }
    const std::vector<SheetLine> lines = CopySheetLines(state);
    size_t index = 0;
    int page = 1;
    for (int pages = 0; pages < (telephones ? kMaxPages : kSpeedDialPages); ++pages) {
        if (!f.Begin()) return 0;
        bool ok = f.SetUtf8("TitleMain", kTitles[telephones ? 16 : 15]);
        if (telephones) ok = ok && f.SetUtf8("GNoTitle", "  ＴＥＬ  ");
        ok = ok && f.SetUtf8("ShortTitle", "   短縮   ") && f.SetUtf8("TelNOTitle", " 電話番号 ") &&
             f.SetUtf8("KanjiTitle", " カナ名称 ") && f.SetUtf8("KanaTitle", " 漢字名称 ");
        if (!telephones) ok = ok && f.SetUtf8("GNoTitle", " Ｇ ");
        char text[32];
        std::snprintf(text, sizeof text, "page %03d", page++);
        ok = ok && f.Set("Date", f.date()) && f.Set("PageNO", text);
        if (!ok) return 0;
        int placed = 0;
        bool ended = false;
        for (int n = 1; n <= kBookRows; ++n) {
            const SheetLine& line = LineAt(lines, index);
            if (line[0] == ' ') {
                ended = true;
                break;
            }
            const std::string shortText =
                telephones ? Field(line, kListTelephoneRowColumn, 3) : Field(line, 0, 3);
            const bool rowOk =
                f.Set(Numbered("Short", n), shortText) &&
                f.Set(Numbered("TelNO", n), Field(line, kListNumberColumn, kListNumberWidth)) &&
                f.Set(Numbered("Kanji", n), Field(line, kListKanaColumn, kListKanaWidth)) &&
                f.Set(Numbered("Kana", n), Field(line, kListKanjiColumn, kListKanjiWidth)) &&
                f.Set(Numbered("GNo", n),
                      telephones ? Field(line, 0, 3) : Field(line, kListGroupColumn, 1));
            if (!rowOk) return 0;
            ++placed;
            ++index;
        }
        // A page on which no row was placed is not output.
        if (placed == 0) return 1;
        if (!f.Output()) return 0;
        if (ended) return 1;
    }
    return 1;
}

}  // namespace

std::string Cp932(const char* utf8) {
    std::string out;
    if (!plat::Cp932FromWide(plat::WideFromUtf8(utf8), &out)) return std::string();
    return out;
}

std::string CommandRowText(const SheetLine& line) {
    std::string text(line.data() + kSheetDisplayColumn, kSheetDisplayWidth);
    text.resize(std::min(text.size(), text.find(' ')));
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

std::string KeyRowText(const SheetLine& line) {
    constexpr size_t kFirst = 20, kLast = 42, kArrowLast = 64;
    std::string text;
    for (size_t i = kFirst; i <= kLast; ++i) {
        const char c = line[i];
        if (c == '\0') break;
        if (c == ' ' && line[i + 1] == ' ') {
            size_t arrow = i;
            while (arrow <= kArrowLast && line[arrow] != '>') ++arrow;
            const bool arrowClose = arrow <= kArrowLast && arrow - i <= 10;
            if (!arrowClose || line[i - 1] == '>') break;
        }
        text += c;
    }
    return text;
}

int FillReport(ReportInterface& rif, ProgrammingState& state, int kind, const FillTarget& target,
               const SheetDate& date) {
    Filler filler(rif, target, date);
    switch (kind) {
        case 0:
            return FillCommandSheets(filler, state, false);
        case 1:
            return FillPhoneBook(filler, state, false);
        case 2:
            return FillPhoneBook(filler, state, true);
        case 3:
            return FillCommandSheets(filler, state, true);
        default:
            return 0;
    }
}

}  // namespace qzs::app
