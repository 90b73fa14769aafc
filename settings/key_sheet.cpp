#include "settings/key_sheet.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "programming/key_layout.h"
#include "programming/port_codecs.h"
#include "programming/state.h"
#include "settings/button_assignment.h"
#include "settings/sheet_lines.h"

namespace qzs {
namespace {

constexpr std::array<int, 10> kSheetTelephones{101, 102, 103, 104, 105, 106, 109, 110, 111, 112};
constexpr int kSheetOneTouchKeys = 30;
constexpr int kButtonAssignmentBlock = 168;  // 256 bytes a telephone, 32 a page
constexpr std::size_t kButtonRowBytes = 256;
constexpr std::size_t kButtonPageBytes = 32;
constexpr std::size_t kValueBlanks = 5;
constexpr std::size_t kFunctionTextBytes = 15;

// 変更不可
constexpr std::string_view kLockedText = "\x95\xcf\x8dX\x95s\x89\xc2";

// The characters of the key digit codes 0-19 ('E' buttons): the code of a character is its index.
constexpr std::string_view kKeyDigitCharacters = " 1234567890*#P-MGHIJ";

std::vector<KeySheetEntry> MakeCatalogue() {
    std::vector<KeySheetEntry> entries;
    const auto add = [&](const std::string& key) {
        KeySheetEntry e{};
        std::snprintf(e.key, sizeof e.key, "%s", key.c_str());
        std::snprintf(e.printed, sizeof e.printed, "%s%s", key.c_str(),
                      std::string(kValueBlanks, ' ').c_str());
        entries.push_back(e);
    };
    for (const int t : kSheetTelephones) {
        for (int k = 1; k <= kSheetOneTouchKeys; ++k) {
            add("i92=" + std::to_string(t) + "#" + (k < 10 ? "0" : "") + std::to_string(k) + "-");
        }
    }
    for (const int t : kSheetTelephones) {
        for (unsigned p = 1; p <= kButtonPages; ++p) {
            for (unsigned b = 1; b <= kButtonsPerPage; ++b) {
                add("i14=" + std::to_string(t) + "#" + std::to_string(p) + std::to_string(b) + "-");
            }
        }
    }
    return entries;
}

// The button a key text names: its telephone (1-64), and the one-touch key or page and button.
struct Button {
    unsigned telephone = 0;  // 1-64
    unsigned position = 0;   // the telephone's position code, 1-12 for 101-112
    bool one_touch = false;
    unsigned key = 0;   // one-touch 1-32, or paged button 1-16
    unsigned page = 0;  // 1-8 for paged buttons
    std::size_t dash = 0;
};

unsigned Digit(char c) {
    return c >= '0' && c <= '9' ? static_cast<unsigned>(c - '0') : 100;
}

std::optional<Button> ButtonOf(std::string_view text) {
    if (text.size() < 11 || text[0] != 'i' || text[3] != '=' || text[7] != '#') return std::nullopt;
    const unsigned x = Digit(text[4]);
    const unsigned yy = Digit(text[5]) * 10 + Digit(text[6]);
    if (x < 1 || x > 3 || yy < 1 || yy > 36) return std::nullopt;
    Button b;
    b.position = (x - 1) * 36 + yy;
    b.telephone = MapSlotCode(static_cast<std::uint8_t>(b.position));
    if (b.telephone < 1 || b.telephone > kLockFlagTelephones) return std::nullopt;
    if (text[1] == '9') {
        b.one_touch = true;
        b.key = Digit(text[8]) * 10 + Digit(text[9]);
        b.dash = 10;
        if (b.key < 1 || b.key > kOneTouchButtons) return std::nullopt;
    } else {
        b.page = Digit(text[8]);
        if (b.page < 1 || b.page > kButtonPages) return std::nullopt;
        if (text[10] == '-') {
            b.key = Digit(text[9]);
            b.dash = 10;
        } else {
            if (text.size() < 12) return std::nullopt;
            b.key = Digit(text[9]) * 10 + Digit(text[10]);
            b.dash = 11;
        }
        if (b.key < 1 || b.key > kButtonsPerPage) return std::nullopt;
    }
    if (text[b.dash] != '-') return std::nullopt;
    return b;
}

std::uint8_t* EntryOf(ProgrammingState& state, const Button& b) {
    if (b.one_touch) return KeyEntry(state.image, b.telephone, b.key);
    return state.image.BlockByte(
        kButtonAssignmentBlock,
        (b.telephone - 1) * kButtonRowBytes + (b.page - 1) * kButtonPageBytes + (b.key - 1) * 2);
}

std::uint32_t& LockFlag(ProgrammingState& state, const Button& b) {
    return state.one_touch_lock_flags[b.telephone - 1][b.key - 1];
}
std::uint8_t& PagedLockFlag(ProgrammingState& state, const Button& b) {
    return state
        .paged_button_lock_flags[b.telephone - 1][(b.page - 1) * kButtonsPerPage + b.key - 1];
}
bool IsLocked(ProgrammingState& state, const Button& b) {
    return b.one_touch ? LockFlag(state, b) == 1 : PagedLockFlag(state, b) == 1;
}
void SetLocked(ProgrammingState& state, const Button& b, bool locked) {
    if (b.one_touch) {
        LockFlag(state, b) = locked ? 1 : 0;
    } else {
        PagedLockFlag(state, b) = locked ? 1 : 0;
    }
}

std::string TwoDigits(unsigned n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02u", n % 100);
    return text;
}

std::string LineCode(unsigned value) {
    const unsigned line = LineCodeToNumber(value);
    return std::string(1, line >= 1 && line <= 48 ? '1' : '0') + TwoDigits(line);
}

bool IsSpeedDialKind(unsigned kind) {
    return (kind & 0x0F) == 11 && kind <= 171;
}

// The kind letter and code characters of one entry; the letter is a blank for a kind the sheet
// does not know.
std::string ValueCode(unsigned kind, unsigned value) {
    const auto hex2 = [](unsigned v) {
        return std::string{HighCodeToHexLetter(v), CodeToHexLetter(v)};
    };
    if (IsSpeedDialKind(kind)) {
        return std::string("1,") + HighCodeToSheetChar(kind) + CodeToSheetChar(value) +
               HighCodeToSheetChar(value);
    }
    switch (kind) {
        case 0:
            return "A," + hex2(value);
        case 10:
            return "F," + LineCode(value);
        case 12:
            return "B," + hex2(value);
        case 13:
            // Values above 128 are written as '8' and value - 129, and read back the same way.
            return value > 128 ? "H,8" + TwoDigits(value - 129) : "H," + LineCode(value);
        case 15:
            return std::string("E,") +
                   (value < kKeyDigitCharacters.size() ? kKeyDigitCharacters[value] : ' ');
        case 28:
            // The stored byte as two hex letters: the position of the button's own telephone,
            // which a printed sheet might show instead, would not give the byte back on loading.
            return "G," + hex2(value);
        case 30:
            return "I," + TwoDigits(value);
        case 46:
            return "J," + TwoDigits(value);
        case 62:
            return "K," + TwoDigits(value);
        case 78:
            return "L," + TwoDigits(value);
        case 140:
            return "C,8" + hex2(value);
        case 156:
            return "D,9" + hex2(value);
        default:
            return {};
    }
}

unsigned SheetCharToCode(char c) {
    for (unsigned code = 0; code < 16; ++code) {
        if (CodeToSheetChar(code) == c) return code;
    }
    return 0;
}

void Put(SheetLine& line, std::size_t column, std::size_t width, std::string_view text) {
    std::copy_n(text.begin(), std::min(width, text.size()),
                line.begin() + static_cast<std::ptrdiff_t>(column));
}

void FormatLine(ProgrammingState& state, SheetLine& line, const KeySheetEntry& entry) {
    const std::string_view key(entry.key);
    Put(line, kSheetKeyColumn, kSheetKeyWidth, key);
    Put(line, kSheetDisplayColumn, kSheetDisplayWidth, key);
    Put(line, kSheetPrintedColumn, kSheetPrintedWidth, entry.printed);
    const std::optional<Button> b = ButtonOf(key);
    if (!b) return;
    const std::size_t text_column = kSheetDisplayColumn + b->dash + 1;
    if (IsLocked(state, *b)) {
        Put(line, text_column, kSheetDisplayWidth, std::string(kLockedText) + "  c");
        return;
    }
    const std::uint8_t* e = EntryOf(state, *b);
    // The label of the button assignments: 15 characters with the value digits laid over the
    // label, and the 'c'.
    Put(line, text_column, kFunctionTextBytes + 1, KeyAssignmentLabel(e[0], e[1]));
    Put(line, kSheetValueColumn, kSheetValueWidth, ValueCode(e[0], e[1]));
}

}  // namespace

std::span<const KeySheetEntry> KeySheetCatalogue() {
    static const std::vector<KeySheetEntry> entries = MakeCatalogue();
    return entries;
}

int BuildKeySheet(ProgrammingState& state, int kind) {
    if (kind != kKeySheetKind) return 3;
    ApplicationLock::Guard guard(state.lock);
    state.key_sheet_lines.Blank();
    std::size_t i = 0;
    for (const KeySheetEntry& entry : KeySheetCatalogue()) {
        FormatLine(state, state.key_sheet_lines[i++], entry);
    }
    return 0;
}

void ApplyKeySheetEntry(ProgrammingState& state, std::string_view text) {
    ApplicationLock::Guard guard(state.lock);
    const std::optional<Button> b = ButtonOf(text);
    if (!b) return;
    SetLocked(state, *b, false);
    std::string v(text.substr(b->dash + 1));
    v.resize(5, ' ');
    const char letter = v[0];
    const auto hex = [](char c) { return HexLetterToCode(c); };
    const auto dec2 = [](char a, char c) {
        return (a >= '0' && a <= '9' && c >= '0' && c <= '9')
                   ? static_cast<unsigned>((a - '0') * 10 + (c - '0'))
                   : 0u;
    };
    unsigned kind = 0;
    unsigned value = 0;
    switch (letter) {
        case 'A':
            break;
        case '0':
        case '1':
            kind = SheetCharToCode(v[2]) * 16 + 11;
            value = SheetCharToCode(v[3]) + SheetCharToCode(v[4]) * 16;
            break;
        case 'B':
            kind = 12;
            value = hex(v[2]) * 16 + hex(v[3]);
            break;
        case 'C':
        case 'D':
            kind = letter == 'C' ? 140 : 156;
            value = hex(v[3]) * 16 + hex(v[4]);
            break;
        case 'E': {
            kind = 15;
            const std::size_t code = kKeyDigitCharacters.find(v[2]);
            value = code == std::string_view::npos ? 0 : static_cast<unsigned>(code);
            break;
        }
        case 'F':
            kind = 10;
            value = LineNumberToCode(dec2(v[3], v[4]));
            break;
        case 'G':
            kind = 28;
            value = hex(v[2]) * 16 + hex(v[3]);
            break;
        case 'H':
            kind = 13;
            value = v[2] == '8' ? 129 + dec2(v[3], v[4]) : LineNumberToCode(dec2(v[3], v[4]));
            break;
        case 'I':
        case 'J':
        case 'K':
        case 'L':
            kind = 30 + 16 * static_cast<unsigned>(letter - 'I');
            value = dec2(v[2], v[3]);
            break;
        default:
            SetLocked(state, *b, true);
            return;
    }
    std::uint8_t* e = EntryOf(state, *b);
    e[0] = static_cast<std::uint8_t>(kind);
    e[1] = static_cast<std::uint8_t>(value);
}

int ApplyKeySheetLines(ProgrammingState& state, int kind) {
    if (kind != kKeySheetKind) return 3;
    ApplicationLock::Guard guard(state.lock);
    std::size_t n = 0;
    for (const KeySheetEntry& entry : KeySheetCatalogue()) {
        const SheetLine& line = state.key_sheet_lines[n++];
        // A line the sheet does not hold (a shorter file) leaves its button as it is; its blank
        // value would otherwise lock the button.
        if (line[0] == ' ') continue;
        std::string text;
        std::size_t m = 0;
        for (const char c : std::string_view(entry.printed)) {
            text.push_back(c == ' ' && m < kSheetValueWidth ? line[kSheetValueColumn + m++] : c);
        }
        ApplyKeySheetEntry(state, text);
    }
    return 0;
}

}  // namespace qzs
