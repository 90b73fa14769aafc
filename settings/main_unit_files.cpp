#include "settings/main_unit_files.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#include "base/atomic_file.h"
#include "base/strings.h"
#include "programming/command_table.h"
#include "programming/key_layout.h"
#include "programming/state.h"
#include "settings/button_assignment.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"
#include "settings/key_sheet.h"
#include "settings/sheet_lines.h"

namespace qzs {
namespace {

// Written through the shared atomic writer, so that a failure keeps the older file.
bool WriteFileWhole(const std::string& path, std::string_view text) {
    return base::WriteFileAtomically(path, text) == 0;
}

std::string WithSlash(const std::string& folder) {
    if (folder.empty()) return "./";
    return folder.back() == '/' ? folder : folder + "/";
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The pieces of a received element between its commas, trimmed, empty ones left out.
std::vector<std::string_view> Items(std::string_view text) {
    std::vector<std::string_view> items;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view piece = base::Trim(text.substr(0, comma));
        if (!piece.empty()) items.push_back(piece);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return items;
}

void Write(std::FILE* out, std::string_view text) {
    if (out != nullptr && !text.empty()) std::fwrite(text.data(), 1, text.size(), out);
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    std::size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

std::string RemoveAll(std::string text, char c) {
    text.erase(std::remove(text.begin(), text.end(), c), text.end());
    return text;
}

// --- dset files ---------------------------------------------------------------------------

constexpr std::size_t kDsetColumns = 50;  // the item is read from the first 50 columns
constexpr std::size_t kDsetDisplayEnd = kDsetColumns - kSheetDisplayColumn;

// An empty value shown as a 'c' where the value's digits stand: the zeros written in its place.
struct EmptyValuePatch {
    int command;
    std::size_t position;  // display position of the 'c'
    const char* written;
};
constexpr EmptyValuePatch kEmptyValuePatches[] = {
    {361, 9, "00000c"},
    {615, 10, "0c"},
    {690, 6, "0c"},
    {142, 7, "00000c"},
    {168, 7, "00000c"},
    {165, 9, "0c"},
    {166, 9, "0c"},
    {9233, 9, "000c"},
    {9284, 11, "00000c"},
    {163, 4, "0c"},
    {164, 4, "00000c"},
    {89, 7, "0c"},
    {103, 7, "0c"},
    {141, 7, "0c"},
    {162, 7, "0c"},
    {9306, 7, "00000c"},
    {9308, 8, "000000c"},
    {9521, 9, "0c"},
    {423, 7, "0c"},
    {9210, 9, "000c"},
    // The empty value of 083 is written as "00c" like the others, so that its item ends with
    // the ',' that every empty value has and is read back as the zeros it stands for.
    {83, 4, "00c"},
    // No password (stored by "00") is sent as that "00"; blanks would be refused and leave the
    // receiver's password in place.
    {0, 4, "00c"},
};

bool OneOf(int command, std::initializer_list<int> list) {
    return std::find(list.begin(), list.end(), command) != list.end();
}

void PutAt(std::string& display, std::size_t at, std::string_view text) {
    for (std::size_t i = 0; i < text.size() && at + i < display.size(); ++i) {
        display[at + i] = text[i];
    }
}

// The fixed element 082: the numbers whose own digit count follows command 080.
constexpr std::array<std::array<int, 2>, 8> k082Ranges{{{101, 130},
                                                        {137, 164},
                                                        {601, 608},
                                                        {700, 707},
                                                        {716, 727},
                                                        {739, 756},
                                                        {781, 792},
                                                        {821, 821}}};

}  // namespace

std::string DsetFileName(int group) {
    char name[32];
    std::snprintf(name, sizeof name, group == 9 ? "dset-%d000.txt" : "dset-%d00.txt", group);
    return name;
}

std::string FormatDset082Block(int digit_count) {
    const std::string zeros = digit_count >= 1 && digit_count <= 4
                                  ? std::string(static_cast<std::size_t>(digit_count), '0')
                                  : std::string();
    std::string out;
    for (const auto& range : k082Ranges) {
        for (int n = range[0]; n <= range[1]; ++n) {
            out += std::to_string(n) + "@" + zeros + ",\r\n";
        }
    }
    out += "999@" + zeros + ",\r\n";
    return out;
}

int IsDsetLine(const SheetLine& line, std::string_view command) {
    if (ParseDecimal(command) == 3 && command.size() == 3) return 0;
    if (std::string_view(line.data() + kSheetDisplayColumn, 3) == "--P") return 0;
    if (command == "9401") {
        const unsigned key = ParseDecimal(std::string_view(line.data() + 5, 3));
        if (key >= 137 && key <= 148) return 0;
    }
    return 1;
}

std::string FormatDsetItem(ProgrammingState& state, const SheetLine& line,
                           std::string_view command_text, int flag501) {
    std::string d(line.data() + kSheetDisplayColumn, kSheetDisplayWidth);
    std::size_t eq = std::string::npos;
    for (std::size_t p = 0; p <= 4; ++p) {
        if (d[p] == '=') {
            eq = p;
            break;
        }
    }
    if (eq == std::string::npos) return "--P,";
    const int command = static_cast<int>(ParseDecimal(command_text));
    std::array<int, kMaxFields> widths{};
    const std::uint8_t fields = CommandDataFieldWidths(state, command, widths);
    const auto width = [&](std::size_t f) { return f < fields ? widths[f] : 0; };

    for (const EmptyValuePatch& patch : kEmptyValuePatches) {
        if (patch.command == command && d[patch.position] == 'c') {
            PutAt(d, patch.position, patch.written);
        }
    }
    if (command == 619 && d[11] == 'c' && d[9] == '1') PutAt(d, 11, "0c");
    if (command == 85 && d[6] == ',') PutAt(d, 6, "00,,c");

    std::string item;
    // The listing of 080 entry 0 gives the digit count that the fixed element 082 uses; the
    // line itself is written as it stands.
    if (command == 80 && d[4] == '0') {
        state.dset082_digit_count = IsDigit(d[6]) ? d[6] - '0' : 0;
    }
    if (command == 81 && d[4] == '0' && d[5] == '0') {
        char text[16];
        for (int n = 0; n <= 9; ++n) {
            std::snprintf(text, sizeof text, "99@%d,\r\n", n);
            item += text;
        }
        for (int n = 0; n <= 99; ++n) {
            std::snprintf(text, sizeof text, "99@%02d,\r\n", n);
            item += text;
        }
    }
    if (command == 9419 && flag501 == 0) {
        d[8] = d[9];
        d[9] = d[10];
        d[10] = d[11];
        d[11] = ' ';
    }

    std::size_t f = 0;
    bool dash = false;
    bool separator = false;
    const auto at = [&](std::size_t i) { return i < d.size() ? d[i] : ' '; };
    for (std::size_t i = eq + 1; i < kDsetDisplayEnd; ++i) {
        const char c = d[i];
        const char next = at(i + 1);
        if (IsDigit(c)) {
            item.push_back(c);
        } else if (c == '-') {
            if (next == ' ') {
                if (width(f) > 0) {
                    item.push_back('@');
                    if (fields > 0) item.append(static_cast<std::size_t>(width(f)), ' ');
                }
                item.push_back(',');
                return item;
            }
            if (next == '-' && at(i + 2) == 'P') {
                item += "@--P";
                i += 2;
            } else {
                item.push_back('@');
            }
            dash = true;
        } else if (c == ',') {
            if (dash) {
                item.push_back('@');
                ++f;
            } else if (!IsDigit(next)) {
                item.push_back('s');
                separator = true;
            } else if (separator) {
                if (OneOf(command, {110, 160, 180, 305, 310, 311, 312, 313, 366})) {
                    item.push_back('_');
                }
            } else {
                item.push_back(OneOf(command, {360, 9272, 9307, 9337}) ? '@' : '_');
            }
        } else if (c == 'c') {
            if (!IsDigit(at(i - 1)) && width(f) > 0) {
                item.append(static_cast<std::size_t>(width(f)), ' ');
            }
            item.push_back(',');
            return item;
        }
    }
    return item;
}

int WriteDataSetFile(ProgrammingState& state, int group, const std::string& folder, int progress,
                     int flag501, const TransferFileHooks& hooks) {
    if (group < 0 || group > 9) return 0;
    int step = 0;
    const auto post = [&] {
        if (progress == 1 && hooks.step) hooks.step(step);
        ++step;
    };
    post();
    ApplicationLock::Guard guard(state.lock);
    ListCommandGroup(state, static_cast<char>('0' + group));
    post();
    const SheetLineBuffer& lines = state.sheet_lines;
    if (lines[0][0] == ' ') return 0;

    const std::size_t width = group == 9 ? 4 : 3;
    std::string text = "<root>\r\n";
    std::size_t i = 0;
    while (i < kSheetLineCount && lines[i][0] != ' ') {
        // Once per listing line: an item is at most a few dozen characters, so the windows stay
        // as alive as with a pass per character.
        if (hooks.pump) hooks.pump();
        const std::string number(lines[i].data() + 1, width);
        if (number == "081") {
            text += "<h082>\r\n" + FormatDset082Block(state.dset082_digit_count) + "</h082>\r\n";
        }
        std::vector<std::string> items;
        while (i < kSheetLineCount && lines[i][0] != ' ' &&
               std::string_view(lines[i].data() + 1, width) == number) {
            if (IsDsetLine(lines[i], number)) {
                items.push_back(FormatDsetItem(state, lines[i], number, flag501));
            }
            ++i;
        }
        // An element of one line ends without the ',' of its item.
        if (items.size() == 1 && !items[0].empty() && items[0].back() == ',') {
            items[0].pop_back();
        }
        text += "<h" + number + ">\r\n";
        for (const std::string& item : items) text += item + "\r\n";
        text += "</h" + number + ">\r\n";
        if (i % 10 == 0) post();
    }
    text += "</root>\r\n";
    return WriteFileWhole(WithSlash(folder) + DsetFileName(group), text) ? 1 : -1;
}

namespace {

// Whether the keys after the command number are one entry of the command. The keypad moves on
// from a full key field by itself and closes a shorter one at '#'; in the data part the first
// '#' ends the entry, and what follows it would be a further entry of the kept field, or, after
// a '*', another command (the memory edit among them, which no page may reach). So one entry
// holds no '*' and no '#' in its data part but the closing one. The kinds whose data part takes
// more than one '#' or edits memory are never listed in a dset file and are refused whole.
bool IsOneEntry(const CommandDescriptor& descriptor, std::string_view keys) {
    switch (descriptor.Kind()) {
        case kKindConfirmedChoice:
        case kKindMemoryView:
        case kKindMemoryEdit:
        case kKindConfirmedSetting:
            return false;
        default:
            break;
    }
    if (keys.find('*') != std::string_view::npos) return false;
    std::size_t pos = 0;
    for (unsigned field = 1; field <= descriptor.KeyFieldCount(); ++field) {
        unsigned digits = 0;
        while (pos < keys.size()) {
            if (keys[pos++] == '#') break;
            if (++digits >= descriptor.FieldMaxDigits(field)) break;
        }
    }
    // An empty data part (the closing '#' closed a key field) stores nothing and is let be.
    const std::string_view data = keys.substr(pos);
    const std::size_t hash = data.find('#');
    return hash == std::string_view::npos || hash + 1 == data.size();
}

// The command string of one received item; empty when it grows too long.
std::string DsetCommandOf(ProgrammingState& state, int command, std::string_view item,
                          int flag501) {
    char head[16];
    const int head_length =
        std::snprintf(head, sizeof head, command >= 1000 ? "*%04d" : "*%03d", command);
    std::string text(head);
    std::string walked(item);
    if (command == 9419 && flag501 == 0) walked = ReplaceAll(walked, "@", "s@");
    ApplicationLock::Guard guard(state.lock);
    const bool has_keys = CommandKeyFieldCount(state, command) > 0;
    std::string part;
    int ats = 0;
    for (const char c : walked) {
        if (c == 's') {
            text += part + "#";
            part.clear();
        } else if (c == '_') {
            text += part;
            part.clear();
        } else if (c == '-') {
        } else if (c == '@') {
            if (ats == 0 && has_keys) {
                text += part;
                part.clear();
            }
            ++ats;
        } else {
            part.push_back(c);
        }
        if (text.size() + part.size() > kMaxReceivedCommandBytes) return {};
    }
    text += part + "#";
    if (text.size() > kMaxReceivedCommandBytes) return {};
    // A number that cannot be typed as a command reaches no entry at all.
    if (!((command >= 0 && command <= 999) || (command >= 9000 && command <= 9999))) return {};
    const CommandTable& table = ActiveCommandTable(state);
    const CommandDescriptor& descriptor = table.At(table.Lookup(std::string_view(head + 1)));
    if (!IsOneEntry(descriptor,
                    std::string_view(text).substr(static_cast<std::size_t>(head_length)))) {
        return {};
    }
    // As the data-setting file does: a *9337 of "000" is stored by the three zeros alone (the
    // two values after them are typed as a show otherwise).
    if (text.starts_with("*9337000")) text = "*9337000#";
    return text;
}

void RunDsetCommand(ProgrammingState& state, const std::string& text) {
    // The local copy keeps the command as it came, not as the completion of fields changed it.
    std::string run = text;
    const CodeLengthScope code_length(state, run);
    const UnitsAsideScope units_aside(state, run);
    RunWebCommand(state, run);
}

// Items of *081 and *082 that must run before the codes: the removals (key 99, 999) and *081 key
// 00, whose received form empties the code tables first.
bool RunsBeforeCodes(std::string_view text) {
    return text.starts_with("*08199") || text.starts_with("*082999") || text.starts_with("*08100");
}

// *081 key 00 with a code: after its emptying run it is a code like any other, stored again in
// its place by length. Stored only before the codes, a shorter code it begins with ("9" before
// "97") would take it out again.
bool IsKeyZeroCode(std::string_view text) {
    return text.starts_with("*08100") && CodeLengthOf(text) > 0;
}

// The second store of key 00's code, typed as the keypad types it: its received form would empty
// the codes stored before it once more.
void RunKeyZeroCode(ProgrammingState& state, const std::string& text) {
    const CodeLengthScope code_length(state, text);
    RunCommand(state, 1, text);
}

}  // namespace

std::string ApplyDsetItem(ProgrammingState& state, int command, std::string_view item,
                          int flag501) {
    std::string text = DsetCommandOf(state, command, item, flag501);
    if (!text.empty()) RunDsetCommand(state, text);
    return text;
}

std::string ApplyDsetElement(ProgrammingState& state, int command, std::string_view text,
                             std::FILE* out, int flag501, int* skipped) {
    ApplicationLock::Guard guard(state.lock);
    std::string last;
    // Codes and numbers run shortest first (after the removals), as the image that holds them
    // stored them; every other element runs in its order.
    const bool codes = command == 81 || command == 82;
    std::vector<std::string> first;
    std::vector<std::string> later;
    for (const std::string_view item : Items(text)) {
        std::string applied = DsetCommandOf(state, command, item, flag501);
        if (applied.empty()) {
            if (skipped != nullptr) ++*skipped;
            continue;
        }
        Write(out, applied + "\n");
        if (!codes || RunsBeforeCodes(applied)) {
            first.push_back(applied);
            if (IsKeyZeroCode(applied)) later.push_back(applied);
        } else {
            later.push_back(applied);
        }
        last = std::move(applied);
    }
    if (command == 81) {
        state.received_081_codes = later;
    } else if (command == 82) {
        later.insert(later.begin(), state.received_081_codes.begin(),
                     state.received_081_codes.end());
        state.received_081_codes.clear();
    }
    SortByCodeLength(later);
    for (const std::string& c : first) {
        std::string empty = EmptyPortCommand(c);
        if (!empty.empty()) RunWebCommand(state, empty);
    }
    for (const std::string& c : first) RunDsetCommand(state, c);
    for (const std::string& c : later) {
        if (IsKeyZeroCode(c)) {
            RunKeyZeroCode(state, c);
        } else {
            RunDsetCommand(state, c);
        }
    }
    if (last.empty()) {
        // An element without items: the main unit's empty value of these commands.
        std::string fallback = command == 83    ? "*08300#"
                               : command == 163 ? "*1630#"
                               : command == 164 ? "*16400000#"
                                                : "";
        if (!fallback.empty()) RunWebCommand(state, fallback);
    }
    return last;
}

// --- speed-dial files ---------------------------------------------------------------------

namespace {

// The data rows of a local CSV: every line after the header record and the head line that
// begins with a digit, each with the CR it ended with (when it had one).
std::vector<std::string> CsvDataRows(std::FILE* source) {
    std::string all;
    char buffer[65536];
    std::size_t n = 0;
    while (source != nullptr && (n = std::fread(buffer, 1, sizeof buffer, source)) > 0) {
        all.append(buffer, n);
    }
    std::vector<std::string> rows;
    std::size_t at = 0;
    int line = 0;
    while (at < all.size()) {
        std::size_t lf = all.find('\n', at);
        if (lf == std::string::npos) lf = all.size();
        std::string row = all.substr(at, lf - at);
        at = lf + 1;
        if (line++ < 2) continue;
        if (!row.empty() && IsDigit(row[0])) rows.push_back(std::move(row));
    }
    return rows;
}

// "&", "<" and ">" of a name as the numeric references the button texts are sent with, so the
// file stays well-formed and every reader gives the bytes back. None of them is ever the second
// byte of a Shift-JIS character.
std::string EscapeMarkup(std::string_view row) {
    std::string out;
    for (const char c : row) {
        switch (c) {
            case '&':
                out += "&#38;";
                break;
            case '<':
                out += "&#60;";
                break;
            case '>':
                out += "&#62;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

// The '_' that joins a row's three-digit telephone and its row number becomes the separator
// again; any other '_' (a Shift-JIS second byte such as that of "ダ") stays.
std::string SeparateTelephones(std::string text) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (end - at > 3 && text[at + 3] == '_') text[at + 3] = ',';
        at = end + 1;
    }
    return text;
}

int MakeSpeedDialXml(std::FILE* source, std::FILE* target, int flag100, bool telephone) {
    const std::string_view name = telephone ? "teltan" : "systan";
    const std::size_t last_row = telephone ? 240 : 600;
    std::string out = "<root>\n\n<" + std::string(name) + ">\n\n";
    const std::vector<std::string> rows = CsvDataRows(source);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::string row = rows[r];
        const bool had_cr = !row.empty() && row.back() == '\r';
        if (had_cr) row.pop_back();
        if (flag100 == 1) std::replace(row.begin(), row.end(), ',', 's');
        if (telephone && row.size() > 3) {
            // The telephone and its row are joined by '_' in place of their separator.
            row = row.substr(0, 3) + "_" + row.substr(4);
        }
        out += EscapeMarkup(row);
        out += r + 1 == last_row ? "\n\n" : ",\n\n";
    }
    out += "</" + std::string(name) + ">\n\n</root>\n";
    if (target != nullptr) std::fwrite(out.data(), 1, out.size(), target);
    return 1;
}

// The element's text without the line breaks before its first row, as the main unit's reader
// hands the text of an element out (the import takes the row after the head line as the first).
std::string FirstElementText(const std::vector<std::string>& elements) {
    if (elements.empty()) return {};
    const std::string& text = elements.front();
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first);
}

// The converted rows ended by exactly one CR LF: the line breaks after the last row go, and
// only they (the last row's last name may end in blanks that are its own).
std::string EndRows(std::string text) {
    text.erase(text.find_last_not_of("\r\n") + 1);
    return text + "\r\n";
}

// 短縮番号,電話番号,漢字名称,カナ名称,グループ番号
constexpr std::string_view kSysTanHead =
    "\x92Z\x8fk\x94\xd4\x8d\x86,\x93\x64\x98\x62\x94\xd4\x8d\x86,\x8a\xbf\x8e\x9a\x96\xbc\x8f\xcc,"
    "\x83J\x83i\x96\xbc\x8f\xcc,\x83O\x83\x8b\x81[\x83v\x94\xd4\x8d\x86";
// 収容位置,短縮番号,電話番号,カナ名称,漢字名称
constexpr std::string_view kTelTanHead =
    "\x8e\xfb\x97\x65\x88\xca\x92u,\x92Z\x8fk\x94\xd4\x8d\x86,\x93\x64\x98\x62\x94\xd4\x8d\x86,"
    "\x83J\x83i\x96\xbc\x8f\xcc,\x8a\xbf\x8e\x9a\x96\xbc\x8f\xcc";

}  // namespace

int MakeSysTanXml(std::FILE* source, std::FILE* target, int flag100) {
    return MakeSpeedDialXml(source, target, flag100, false);
}

int MakeTelTanXml(std::FILE* source, std::FILE* target, int flag100) {
    return MakeSpeedDialXml(source, target, flag100, true);
}

int ConvertSysTanXml(const std::vector<std::string>& elements, std::FILE* out, int flag100) {
    std::string text = FirstElementText(elements);
    if (flag100 == 1) {
        text = RemoveAll(std::move(text), ',');
        std::replace(text.begin(), text.end(), 's', ',');
        text = ReplaceAll(std::move(text), "\n\n", "\r\n");
    } else {
        text = ReplaceAll(std::move(text), ",\n\n", "\r\n");
    }
    Write(out, std::string(kSysTanHead) + "\r\n" + EndRows(std::move(text)));
    return 1;
}

int ConvertTelTanXml(const std::vector<std::string>& elements, std::FILE* out, int flag100) {
    std::string text = FirstElementText(elements);
    if (flag100 == 1) {
        text = SeparateTelephones(RemoveAll(std::move(text), ','));
        std::replace(text.begin(), text.end(), 's', ',');
        text = ReplaceAll(std::move(text), "\n\n", "\r\n");
    } else {
        text = ReplaceAll(SeparateTelephones(std::move(text)), ",\n\n", "\r\n");
    }
    Write(out, std::string(kTelTanHead) + "\r\n" + EndRows(std::move(text)));
    return 1;
}

// --- button files -------------------------------------------------------------------------

namespace {

constexpr std::size_t kLineTelephone = 20;  // the telephone in the display's key text
constexpr std::size_t kLineKey = 24;
constexpr std::size_t kKindColumn = kSheetValueColumn;
constexpr std::size_t kDigitsColumn = kSheetValueColumn + 2;
constexpr std::size_t kFunctionTextBytes = 15;
// The longest function text a received item may carry: what fits the display after the key.
constexpr std::size_t kMaxFunctionTextBytes = 32;
// A received line is written without the two bytes a data file keeps for its line end.
constexpr std::size_t kReceivedLineBytes = 190;

// The function text of a key-sheet line from its start column: up to the 'c' that follows a
// blank (or the end of the 15 label bytes), without trailing blanks; '<' and '>' as the main
// unit writes them, the '>' ending the text.
std::string FunctionText(const SheetLine& line, std::size_t start) {
    std::string raw;
    const std::size_t end = std::min(start + kFunctionTextBytes, kSheetValueColumn);
    for (std::size_t i = start; i < end; ++i) {
        const char c = line[i];
        if (c == 'c' && i > start && line[i - 1] == ' ') break;
        if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < end) {
            raw.push_back(c);
            raw.push_back(line[++i]);
            continue;
        }
        raw.push_back(c);
    }
    raw.erase(raw.find_last_not_of(' ') + 1);
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < raw.size()) {
            out.push_back(c);
            out.push_back(raw[++i]);
        } else if (c == '<') {
            out += "&#60;";
        } else if (c == '>') {
            out += "&#62;";
            break;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// The key-sheet line a received item gives: the key text at the key, display and printed
// columns, the value and the function text.
SheetLine ReceivedLine(std::string_view name, std::string_view telephone, std::string_view key,
                       std::string_view kind, std::string_view digits, std::string_view text) {
    SheetLine line;
    line.fill(' ');
    const std::string key_text =
        std::string(name) + "=" + std::string(telephone) + "#" + std::string(key) + "-";
    for (const std::size_t column : {kSheetKeyColumn, kSheetDisplayColumn, kSheetPrintedColumn}) {
        std::copy(key_text.begin(), key_text.end(), line.begin() + static_cast<long>(column));
    }
    const std::size_t text_column = kSheetDisplayColumn + key_text.size();
    std::copy(text.begin(), text.end(), line.begin() + static_cast<long>(text_column));
    if (!kind.empty()) {
        line[kKindColumn] = kind[0];
        line[kKindColumn + 1] = ',';
    }
    std::copy(digits.begin(), digits.end(), line.begin() + static_cast<long>(kDigitsColumn));
    return line;
}

bool AllDigits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), IsDigit);
}

// 'Z' stands for a blank kind or no digits, and is read back as that blank: a locked button
// (sent with a blank kind) then stays locked, as a loaded key sheet keeps it.
std::string_view Unblank(std::string_view part) {
    return part == "Z" ? std::string_view() : part;
}

template <typename ApplyItem>
int ApplyButtonItems(const std::vector<std::string>& elements, std::FILE* out,
                     std::string_view line_end, int* skipped, ApplyItem apply) {
    for (const std::string& element : elements) {
        for (const std::string_view item : Items(element)) {
            const std::string line = apply(item);
            if (line.empty()) {
                if (skipped != nullptr) ++*skipped;
                continue;
            }
            Write(out, line);
            Write(out, line_end);
        }
    }
    return 1;
}

}  // namespace

std::string FormatKeySheetItem(const SheetLine& line, bool nandemo, int old_pages, int flag501) {
    const std::string telephone(line.data() + kLineTelephone, 3);
    std::string key;
    std::size_t dash = 0;
    if (!nandemo) {
        key.assign(line.data() + kLineKey, 2);
        dash = kLineKey + 2;
    } else {
        const char page = line[kLineKey];
        const bool one_digit = line[kLineKey + 2] == '-';
        const std::string button = one_digit ? std::string{'0', line[kLineKey + 1]}
                                             : std::string(line.data() + kLineKey + 1, 2);
        dash = kLineKey + (one_digit ? 2 : 3);
        key = old_pages == 1 ? std::string(1, page) + button : button + "_" + page;
    }
    char kind = line[kKindColumn];
    std::string digits;
    for (std::size_t i = kDigitsColumn; i < kDigitsColumn + 3; ++i) {
        if (line[i] != ' ') digits.push_back(line[i]);
    }
    if (flag501 == 0 && kind == 'D' && std::string_view(line.data() + kDigitsColumn, 3) == "938") {
        kind = 'F';
        digits = "999";
    }
    std::string item = telephone + "_" + key + "@";
    if (!nandemo) {
        item += std::string(1, kind == ' ' ? 'Z' : kind) + "@";
    } else if (kind != ' ') {
        item += std::string(1, kind) + "_";
    }
    item += (digits.empty() ? std::string("Z") : digits) + "@";
    item += FunctionText(line, dash + 1);
    const bool last = item.find(nandemo ? "112_816" : "112_30@") != std::string::npos;
    if (!last) item.push_back(',');
    return item;
}

int MakeKeySheetFiles(ProgrammingState& state, const std::string& one_touch_path,
                      const std::string& nandemo_path, int old_pages, int progress, int flag501,
                      const TransferFileHooks& hooks) {
    int step = 0;
    const auto post = [&] {
        if (progress == 1 && hooks.step) hooks.step(step);
        ++step;
    };
    post();
    BuildKeySheet(state, kKeySheetKind);
    post();
    const std::vector<SheetLine> lines = CopyKeySheetLines(state);
    if (lines.empty()) return 0;

    std::size_t i = 0;
    for (int file = 0; file < 2 && i < lines.size(); ++file) {
        const bool nandemo = file == 1;
        const std::string name(lines[i].data(), 3);
        std::string text = "<root>\n\n<" + name + ">\n\n";
        int in_row = 0;
        const char a = lines[i][1];
        const char b = lines[i][2];
        for (; i < lines.size() && lines[i][1] == a && lines[i][2] == b; ++i) {
            if (hooks.pump) hooks.pump();
            text += FormatKeySheetItem(lines[i], nandemo, old_pages, flag501);
            if (!nandemo || ++in_row == 4) {
                text += "\n\n";
                in_row = 0;
            }
            if (nandemo && i % 10 == 0) post();
        }
        if (in_row != 0) text += "\n\n";
        text += "</" + name + ">\n\n</root>\n";
        if (!WriteFileWhole(nandemo ? nandemo_path : one_touch_path, text)) return -1;
    }
    return 1;
}

std::string ApplyOneTouchItem(ProgrammingState& state, std::string_view item) {
    std::string parts[4];
    int stage = 0;
    std::string text;
    for (std::size_t i = 0; i < item.size(); ++i) {
        const char c = item[i];
        if (stage == 4) {
            text = std::string(item.substr(i));
            break;
        }
        if (c == 's' || c == '-') continue;
        if (c == '_' && stage == 0) {
            stage = 1;
        } else if (c == '@' && stage >= 1) {
            ++stage;
        } else {
            parts[stage].push_back(c);
        }
    }
    const std::string_view telephone = parts[0];
    const std::string_view key = parts[1];
    const std::string_view kind = Unblank(parts[2]);
    const std::string_view digits = Unblank(parts[3]);
    if (telephone.size() != 3 || !AllDigits(telephone) || key.empty() || key.size() > 2 ||
        !AllDigits(key) || kind.size() > 1 || digits.size() > 3 ||
        text.size() > kMaxFunctionTextBytes) {
        return {};
    }
    const std::string two_digit_key = key.size() == 1 ? "0" + std::string(key) : std::string(key);
    std::string assignment = "i92_" + std::string(telephone) + "_" + two_digit_key + "-";
    if (!kind.empty()) assignment += std::string(kind);
    if (!digits.empty()) assignment += "," + std::string(digits);
    ApplyKeyAssignment(state, assignment, false);
    const SheetLine line = ReceivedLine("i92", telephone, two_digit_key, kind, digits, text);
    return std::string(line.data(), kReceivedLineBytes);
}

std::string ApplyNandemoItem(ProgrammingState& state, std::string_view item, int old_pages) {
    std::string part;
    std::string telephone;
    std::string button;  // the two-digit button of the new form
    std::string key;     // page and button as the key text shows them
    std::string assignment;
    std::string kind;
    std::string digits;
    std::string text;
    int underscores = 0;
    int ats = 0;
    bool bad = false;
    for (std::size_t i = 0; i < item.size(); ++i) {
        const char c = item[i];
        if (c == 's') continue;
        if (c == '(') {
            part.push_back('<');
        } else if (c == ')') {
            part.push_back('>');
        } else if (c == '_' && ats < 2) {
            ++underscores;
            if (underscores == 1) {
                telephone = part;
                assignment = "i14_" + part;
            } else if (old_pages != 1 && underscores == 2 && ats == 0) {
                button = part;
            } else {
                if (ats == 1) kind += part;
                assignment += part;
            }
            part.clear();
        } else if (c == '@') {
            ++ats;
            if (ats == 1) {
                if (underscores == 0) bad = true;
                if (old_pages == 1) {
                    key = part;
                } else {
                    key = part + button;
                }
                assignment += "_" + key + (old_pages == 1 ? "" : "n");
            } else if (ats == 2) {
                digits = std::string(Unblank(part));
                if (!digits.empty()) assignment += "_" + digits;
                text = std::string(item.substr(i + 1));
                break;
            }
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (ats < 2) bad = true;
    if (bad || telephone.size() != 3 || !AllDigits(telephone) || key.size() != 3 ||
        !AllDigits(key) || kind.size() > 1 || digits.size() > 3 ||
        text.size() > kMaxFunctionTextBytes) {
        return {};
    }
    ApplyKeyAssignment(state, assignment, false);
    const SheetLine line = ReceivedLine("i14", telephone, key, kind, digits, text);
    return std::string(line.data(), kReceivedLineBytes);
}

int ApplyOneTouchXml(ProgrammingState& state, const std::vector<std::string>& elements,
                     std::FILE* out, int* skipped) {
    ApplicationLock::Guard guard(state.lock);
    return ApplyButtonItems(elements, out, "\n", skipped,
                            [&](std::string_view item) { return ApplyOneTouchItem(state, item); });
}

int ApplyNandemoXml(ProgrammingState& state, const std::vector<std::string>& elements,
                    std::FILE* out, int old_pages, int* skipped) {
    ApplicationLock::Guard guard(state.lock);
    return ApplyButtonItems(elements, out, "#\n", skipped, [&](std::string_view item) {
        return ApplyNandemoItem(state, item, old_pages);
    });
}

}  // namespace qzs
