#include "settings/sheet_lines.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "programming/key_assignment.h"
#include "programming/state.h"
#include "programming/terminal.h"
#include "settings/command_bridge.h"

namespace qzs {
namespace {

constexpr SheetCatalogueEntry kCatalogue[] = {
#include "sheet_catalogue_data.inc"
};
constexpr std::array<std::size_t, 11> kGroupFirst{QZS_SHEET_GROUP_FIRST};

constexpr std::size_t kNoticeTelephones = 64;
constexpr std::size_t kNoticeKeys = 32;
constexpr unsigned kNoticeCodeLimit = 1000;

// Code, hex letter, display character of the hex table, of the speed-dial table.
struct DigitRow {
    char hex;
    char sheet;
    char speed_dial;
};
constexpr std::array<DigitRow, 16> kDigitRows{{{'0', ' ', ' '},
                                               {'1', '1', '1'},
                                               {'2', '2', '2'},
                                               {'3', '3', '3'},
                                               {'4', '4', '4'},
                                               {'5', '5', '5'},
                                               {'6', '6', '6'},
                                               {'7', '7', '7'},
                                               {'8', '8', '8'},
                                               {'9', '9', '9'},
                                               {'A', '0', '0'},
                                               {'B', '*', '*'},
                                               {'C', '#', '#'},
                                               {'D', 'P', 'P'},
                                               {'E', 'H', '-'},
                                               {'F', 'M', 'M'}}};

std::span<const SheetCatalogueEntry> Run(char group) {
    if (group < '0' || group > '9') return {};
    const auto g = static_cast<std::size_t>(group - '0');
    return std::span<const SheetCatalogueEntry>(kCatalogue + kGroupFirst[g],
                                                kCatalogue + kGroupFirst[g + 1]);
}

void CopyText(SheetLine& line, std::size_t column, std::size_t width, std::string_view text) {
    const std::size_t n = std::min(width, text.size());
    std::copy_n(text.begin(), n, line.begin() + static_cast<std::ptrdiff_t>(column));
}

// The display text between the last '-' or '=' before the first 'c' and that 'c'. A 'c' with no
// mark before it on the display leaves the value blank: what precedes it is the command number
// and its fields, not a value.
std::string_view ValueOfDisplay(std::string_view display) {
    const std::size_t c = display.find('c');
    if (c == std::string_view::npos) return {};
    const std::size_t mark = display.substr(0, c).find_last_of("-=");
    if (mark == std::string_view::npos) return {};
    return display.substr(mark + 1, c - mark - 1);
}

std::vector<SheetLine> CopyUntilBlank(ProgrammingState& state, bool key_sheet) {
    ApplicationLock::Guard guard(state.lock);
    std::vector<SheetLine> lines;
    const std::size_t count = key_sheet ? kKeySheetLineCount : kSheetLineCount;
    for (std::size_t i = 0; i < count; ++i) {
        const SheetLine& line = key_sheet ? state.key_sheet_lines[i] : state.sheet_lines[i];
        if (line[0] == ' ') break;
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::span<const SheetCatalogueEntry> CommandSheetCatalogue(int group) {
    return Run(static_cast<char>('0' + group));
}

int ListCommandGroup(ProgrammingState& state, char group) {
    if (group < '0' || group > '9') return 3;
    ApplicationLock::Guard guard(state.lock);
    state.sheet_lines.Blank();
    std::size_t i = 0;
    for (const SheetCatalogueEntry& entry : Run(group)) {
        SheetLine& line = state.sheet_lines[i];
        const std::string_view key(entry.key);
        CopyText(line, kSheetKeyColumn, kSheetKeyWidth, key);
        // The keys go in under the lock this listing holds, the display read after the last.
        const auto display = PressKeys(state, key);
        std::copy(display.begin(), display.end(), line.begin() + kSheetDisplayColumn);
        CopyText(line, kSheetValueColumn, kSheetValueWidth,
                 ValueOfDisplay(std::string_view(display.data(), display.size())));
        CopyText(line, kSheetPrintedColumn, kSheetPrintedWidth, entry.printed);
        ++i;
    }
    state.sheet_lines.BlankFrom(i);
    return 0;
}

void ApplyDeferredKeyAssignment(ProgrammingState& state) {
    const KeyInputBlock& input = state.key_input;
    if (input.outcome != kOutcomeKeyNotice) return;
    if (input.notice_terminal < 1 || input.notice_terminal > kNoticeTelephones) return;
    if (input.notice_key < 1 || input.notice_key > kNoticeKeys) return;
    if (input.notice_code >= kNoticeCodeLimit) return;
    AssignKeyClearingDuplicates(state, input.notice_terminal, input.notice_key, input.notice_code);
}

int ReplayCommandGroup(ProgrammingState& state, char group) {
    ApplicationLock::Guard guard(state.lock);
    state.replay_rejected_line = 0;
    if (group < '0' || group > '9') return 2;
    std::size_t n = 0;
    for (const SheetCatalogueEntry& entry : Run(group)) {
        SheetLine& line = state.sheet_lines[n];
        std::size_t m = 0;
        for (const char c : std::string_view(entry.printed)) {
            if (c != ' ') {
                PressKey(state, static_cast<unsigned char>(c));
                continue;
            }
            if (m >= kSheetValueWidth) continue;
            const char value = line[kSheetValueColumn + m++];
            if (value != ' ' && value != ',') PressKey(state, static_cast<unsigned char>(value));
        }
        const auto display = KeyDisplayBuffer(state);
        std::copy(display.begin(), display.end(), line.begin() + kSheetReplayColumn);
        ApplyDeferredKeyAssignment(state);
        ++n;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view replay(state.sheet_lines[i].data() + kSheetReplayColumn,
                                      kSheetReplayWidth);
        if (replay.find("--P") != std::string_view::npos) {
            state.replay_rejected_line = static_cast<std::int32_t>(i);
            return 1;
        }
    }
    return 0;
}

std::vector<SheetLine> CopySheetLines(ProgrammingState& state) {
    return CopyUntilBlank(state, false);
}

std::vector<SheetLine> CopyKeySheetLines(ProgrammingState& state) {
    return CopyUntilBlank(state, true);
}

char CodeToSheetChar(unsigned code) {
    return kDigitRows[code & 0x0F].sheet;
}
char HighCodeToSheetChar(unsigned code) {
    return kDigitRows[(code >> 4) & 0x0F].sheet;
}
char CodeToSpeedDialChar(unsigned code) {
    return kDigitRows[code & 0x0F].speed_dial;
}
char HighCodeToSpeedDialChar(unsigned code) {
    return kDigitRows[(code >> 4) & 0x0F].speed_dial;
}
char CodeToHexLetter(unsigned code) {
    return kDigitRows[code & 0x0F].hex;
}
char HighCodeToHexLetter(unsigned code) {
    return kDigitRows[(code >> 4) & 0x0F].hex;
}

unsigned SpeedDialCharToCode(char c) {
    for (unsigned code = 0; code < kDigitRows.size(); ++code) {
        if (kDigitRows[code].speed_dial == c) return code;
    }
    return 0;
}
unsigned SpeedDialCharToHighCode(char c) {
    return SpeedDialCharToCode(c) * 16;
}
unsigned HexLetterToCode(char c) {
    for (unsigned code = 0; code < kDigitRows.size(); ++code) {
        if (kDigitRows[code].hex == c) return code;
    }
    return 0;
}
unsigned HexLetterToHighCode(char c) {
    return HexLetterToCode(c) * 16;
}
unsigned HexLettersToDecimal(char a, char b, char c) {
    const auto digit = [](char x) {
        const unsigned code = HexLetterToCode(x);
        return code > 9 ? 0u : code;
    };
    return digit(a) * 100 + digit(b) * 10 + digit(c);
}

unsigned LineCodeToNumber(unsigned code) {
    if ((code >= 1 && code <= 8) || (code >= 37 && code <= 48)) return code;
    if (code >= 21 && code <= 28) return code - 12;
    return 0;
}
unsigned LineNumberToCode(unsigned number) {
    if ((number >= 1 && number <= 8) || (number >= 37 && number <= 48)) return number;
    if (number >= 9 && number <= 12) return number + 12;
    return 0;
}

unsigned ParseDecimal(std::string_view text) {
    unsigned value = 0;
    for (std::size_t i = 0; i < text.size() && i < 4; ++i) {
        if (text[i] < '0' || text[i] > '9') break;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return value;
}

}  // namespace qzs
