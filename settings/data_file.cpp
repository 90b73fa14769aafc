#include "settings/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "base/atomic_file.h"
#include "programming/data_image.h"
#include "programming/key_layout.h"
#include "programming/port_codecs.h"
#include "programming/state.h"
#include "programming/terminal.h"
#include "settings/command_bridge.h"
#include "settings/key_sheet.h"
#include "settings/sheet_lines.h"
#include "settings/speed_dial.h"
#include "settings/speed_dial_lines.h"

namespace qzs {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kRecord = kDataFileRecordBytes;
constexpr std::size_t kLineEnd = 190;  // CR LF in bytes 190-191
// Big enough for every group's listing; a larger file is not a data file of ours.
constexpr std::uintmax_t kMaxFileBytes = 10 * kSheetLineCount * kRecord + kRecord;

// 短縮番号,電話番号,漢字名称,カナ名称,グループ番号 and the kana-first and telephone forms.
constexpr std::string_view kSystemHeadKanjiFirst =
    "\x92Z\x8fk\x94\xd4\x8d\x86,\x93\x64\x98\x62\x94\xd4\x8d\x86,\x8a\xbf\x8e\x9a\x96\xbc\x8f\xcc,"
    "\x83J\x83i\x96\xbc\x8f\xcc,\x83O\x83\x8b\x81[\x83v\x94\xd4\x8d\x86";
constexpr std::string_view kSystemHeadKanaFirst =
    "\x92Z\x8fk\x94\xd4\x8d\x86,\x93\x64\x98\x62\x94\xd4\x8d\x86,\x83J\x83i\x96\xbc\x8f\xcc,"
    "\x8a\xbf\x8e\x9a\x96\xbc\x8f\xcc,\x83O\x83\x8b\x81[\x83v\x94\xd4\x8d\x86";
constexpr std::string_view kTelephoneHead =
    "\x8e\xfb\x97\x65\x88\xca\x92u,\x92Z\x8fk\x94\xd4\x8d\x86,\x93\x64\x98\x62\x94\xd4\x8d\x86,"
    "\x8a\xbf\x8e\x9a\x96\xbc\x8f\xcc,\x83J\x83i\x96\xbc\x8f\xcc";

constexpr std::size_t kSystemCsvLineLimit = 80;
constexpr std::size_t kTelephoneCsvLineLimit = 96;
constexpr std::size_t kNameBytes = 20;
constexpr std::size_t kNumberCharacters = 24;

bool IsKnownKind(int kind) {
    return kind == kDataSettingKind || kind == kSystemSpeedDialKind ||
           kind == kTelephoneSpeedDialKind || kind == kKeySheetKind;
}

// A name that stays inside the folder: no separator, not "." or "..".
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string FolderOf(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + "/";
}

void Tick(const DataFileHooks& hooks) {
    if (hooks.progress) hooks.progress();
}

// --- Writing ---------------------------------------------------------------------------------

template <std::size_t N>
std::string FieldText(const std::array<char, N>& field) {
    return std::string(field.data(), std::find(field.begin(), field.end(), '\0'));
}

std::string Header(const ProgrammingState& state, const DataFileHooks& hooks) {
    std::tm t{};
    if (hooks.local_time) {
        t = hooks.local_time();
    } else {
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &t);
    }
    return FormatDataFileHeader(state.user_information, t);
}

void AppendLines(std::string& out, const auto& lines, std::size_t count,
                 const DataFileHooks& hooks) {
    for (std::size_t i = 0; i < count; ++i) {
        const SheetLine& line = lines[i];
        if (line[0] == ' ') break;
        out.append(line.data(), kLineEnd);
        out.append("\r\n");
        Tick(hooks);
    }
}

// A text field of a list line: up to its 0 byte or the end of its columns.
std::string_view ListField(const SheetLine& line, std::size_t column, std::size_t width) {
    const std::string_view all(line.data() + column, width);
    return all.substr(0, all.find('\0'));
}

void AppendSystemCsv(std::string& out, ProgrammingState& state, const DataFileHooks& hooks) {
    const bool kanji_first = state.data_file.transfer_csv_layout == 1;
    out.append(kanji_first ? kSystemHeadKanjiFirst : kSystemHeadKanaFirst);
    out.append("\r\n");
    for (std::size_t i = 0; i < kSheetLineCount; ++i) {
        const SheetLine& line = state.sheet_lines[i];
        if (line[0] == ' ') break;
        const std::string_view kana = ListField(line, kListKanaColumn, kListKanaWidth);
        const std::string_view kanji = ListField(line, kListKanjiColumn, kListKanjiWidth);
        out.append(line.data() + kListRowColumn, 3);
        out.push_back(',');
        out.append(ListField(line, kListNumberColumn, kListNumberWidth));
        out.push_back(',');
        out.append(kanji_first ? kanji : kana);
        out.push_back(',');
        out.append(kanji_first ? kana : kanji);
        out.append(",0");
        out.push_back(line[kListGroupColumn]);
        out.append("\r\n");
        Tick(hooks);
    }
}

void AppendTelephoneCsv(std::string& out, ProgrammingState& state, const DataFileHooks& hooks) {
    out.append(kTelephoneHead);
    out.append("\r\n");
    for (std::size_t i = 0; i < kSheetLineCount; ++i) {
        const SheetLine& line = state.sheet_lines[i];
        if (line[0] == ' ') break;
        out.append(line.data() + kListRowColumn, 3);
        out.push_back(',');
        out.append(line.data() + kListTelephoneRowColumn, 3);
        out.push_back(',');
        out.append(ListField(line, kListNumberColumn, kListNumberWidth));
        out.push_back(',');
        out.append(ListField(line, kListKanjiColumn, kListKanjiWidth));
        out.push_back(',');
        out.append(ListField(line, kListKanaColumn, kListKanaWidth));
        out.append("\r\n");
        Tick(hooks);
    }
}

// Written through the shared atomic writer, so that a failure at any step keeps the old file. A
// missing folder is made once and the save tried again.
int WriteWhole(const std::string& folder, const std::string& name, const std::string& text) {
    constexpr int kNoFolder = -1;
    const auto save = [&]() -> int {
        base::AtomicFile file(folder + name);
        if (!file.Open()) {
            return file.error() == ENOENT || file.error() == ENOTDIR ? kNoFolder
                                                                     : kDataFileCreateError;
        }
        return file.Write(text) && file.Commit() ? 0 : kDataFileWriteError;
    };
    int result = save();
    if (result == kNoFolder) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        result = save();
    }
    return result == kNoFolder ? kDataFileCreateError : result;
}

// --- Reading ---------------------------------------------------------------------------------

std::optional<std::string> ReadWhole(const std::string& path) {
    // Non-blocking, so that a FIFO in place of the file is refused by the check below, not waited
    // on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    // Sized once from the file and read in as few calls as the kernel allows; a file past the
    // limit is read only one byte beyond it, enough for the size check to refuse it.
    const std::size_t limit = kMaxFileBytes + 1;
    std::string text;
    text.resize(std::min<std::size_t>(static_cast<std::size_t>(info.st_size), limit));
    std::size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            if (text.size() >= limit) break;
            // The file grew since fstat: read on in steps.
            text.resize(std::min(limit, text.size() + 65536));
        }
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    return text;
}

template <std::size_t N>
void TakeHeaderField(std::array<char, N>& field, std::string_view header, std::size_t at,
                     std::size_t n) {
    field.fill('\0');
    std::copy_n(header.data() + at, std::min(n, N - 1), field.begin());
}

void ApplyHeader(ProgrammingState& state, std::string_view header) {
    UserInformation& u = state.user_information;
    u = UserInformation{};
    if (header.empty()) return;
    TakeHeaderField(u.user_name, header, 13, 24);
    TakeHeaderField(u.person_in_charge, header, 38, 24);
    TakeHeaderField(u.telephone_number, header, 63, 16);
    TakeHeaderField(u.area_code, header, 79, 6);
    TakeHeaderField(u.installation_date, header, 88, 24);
    TakeHeaderField(u.memo, header, 113, 72);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

unsigned Digits(std::string_view s, std::size_t at, std::size_t n) {
    unsigned v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (i >= s.size() || !IsDigit(s[i])) return 1000;
        v = v * 10 + static_cast<unsigned>(s[i] - '0');
    }
    return v;
}

// Command *030 sets a key directly as well: the key is assigned (and the same entry cleared from
// the telephone's other keys) as the keypad's deferred key assignment would.
void ApplyKeyCommand(ProgrammingState& state, std::string_view command) {
    if (!command.starts_with("*030")) return;
    const unsigned telephone = Digits(command, 5, 2);
    unsigned key = Digits(command, 7, 2);
    if (key == 99) key = 31;
    const bool short_code = command.size() > 13 && command[13] == '#';
    const unsigned code = Digits(command, 11, short_code ? 2 : 3);
    if (telephone > 255 || key > 255 || code >= 1000) return;
    state.key_input.outcome = kOutcomeKeyNotice;
    state.key_input.notice_terminal = static_cast<std::uint8_t>(telephone);
    state.key_input.notice_key = static_cast<std::uint8_t>(key);
    state.key_input.notice_code = static_cast<std::uint16_t>(code);
    if (telephone < 1 || telephone > 64 || key < 1 || key > 32) return;
    const unsigned t = MapSlotCode(static_cast<std::uint8_t>(telephone));
    state.key_input.notice_terminal = static_cast<std::uint8_t>(t);
    ApplyDeferredKeyAssignment(state);
}

// The kana name keeps single-byte characters 0x20-0x60 and half-width kana; a two-byte character
// that cannot be shown (lead byte 0x80-0xA0) becomes two blanks; other bytes are dropped.
std::string FilterKana(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto b = static_cast<unsigned char>(name[i]);
        if ((b >= 0x20 && b <= 0x60) || (b >= 0xA1 && b <= 0xDF)) {
            out.push_back(static_cast<char>(b));
        } else if (b >= 0x80 && b <= 0xA0) {
            out.append("  ");
            ++i;
        } else if (b >= 0xE0 && b <= 0xFC) {
            ++i;
        }
    }
    return out;
}

bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// At most 20 bytes without cutting a two-byte character in half.
std::string CutName(std::string_view name) {
    std::size_t i = 0;
    while (i < name.size() && i < kNameBytes) {
        const std::size_t step = IsLeadByte(static_cast<unsigned char>(name[i])) ? 2 : 1;
        if (i + step > kNameBytes) break;
        i += step;
    }
    return std::string(name.substr(0, std::min(i, name.size())));
}

template <std::size_t N>
void SetText(std::array<char, N>& field, std::string_view text) {
    field.fill('\0');
    std::copy_n(text.begin(), std::min(text.size(), N - 1), field.begin());
}

std::vector<std::string_view> Split(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        parts.push_back(line.substr(start, comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return parts;
}

// The text's lines, each without its CR LF (or LF).
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
    return lines;
}

int ImportSystemCsv(ProgrammingState& state, std::string_view body, const DataFileHooks& hooks) {
    const std::vector<std::string_view> lines = Lines(body);
    if (lines.size() < 2) return kDataFileFormatError;
    const std::string_view first = lines[1];
    if (!(first.size() >= 2 && first[0] == '0' && (first[1] == ',' || first.starts_with("000")))) {
        return kDataFileFormatError;
    }
    const bool kanji_first = state.data_file.transfer_csv_layout == 1;
    CountFreeSpeedDialRows(state, 0);
    const int rows = state.speed_dial_list_counts.rows;
    int k = 0;
    SpeedDialFieldBuffers& f = state.speed_dial_fields;
    for (std::size_t i = 1; i < lines.size() && k < rows; ++i) {
        const std::string_view line = lines[i].substr(0, kSystemCsvLineLimit);
        if (line.empty()) continue;
        const std::vector<std::string_view> parts = Split(line);
        const int n = static_cast<int>(ParseDecimal(line));
        // The row comes from the line: only rows of the list are stored.
        if (n >= rows) continue;
        const auto field = [&](std::size_t p) {
            return p < parts.size() ? parts[p] : std::string_view();
        };
        const std::string_view kanji = kanji_first ? field(2) : field(3);
        const std::string_view kana = kanji_first ? field(3) : field(2);
        const std::string_view group = field(4);
        const auto fill = [&] {
            f = SpeedDialFieldBuffers{};
            SetText(f.number, field(1).substr(0, kNumberCharacters));
            SetText(f.kana, CutName(FilterKana(kana)));
            SetText(f.kanji, CutName(kanji));
            f.group =
                group.empty() ? '1' : (group[0] == '0' && group.size() > 1 ? group[1] : group[0]);
        };
        if (n > k) {
            for (int r = k; r < n; ++r) {
                f = SpeedDialFieldBuffers{};
                f.group = '1';
                // r < n < rows: a row of the list, which the store takes.
                (void)StoreSystemSpeedDialRow(state, r);
            }
        }
        fill();
        (void)StoreSystemSpeedDialRow(state, n);  // n < rows, as above
        k = n + 1;
        Tick(hooks);
    }
    return 0;
}

int ImportTelephoneCsv(ProgrammingState& state, std::string_view body, const DataFileHooks& hooks) {
    const std::vector<std::string_view> lines = Lines(body);
    if (lines.size() < 2 || !lines[1].starts_with("101")) return kDataFileFormatError;
    SpeedDialFieldBuffers& f = state.speed_dial_fields;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i].substr(0, kTelephoneCsvLineLimit);
        const std::vector<std::string_view> parts = Split(line);
        if (parts.size() < 2) continue;
        // Each line names its telephone and row; only telephones that exist are stored.
        const int telephone = static_cast<int>(ParseDecimal(parts[0]));
        const int row = static_cast<int>(ParseDecimal(parts[1]));
        const auto field = [&](std::size_t p) {
            return p < parts.size() ? parts[p] : std::string_view();
        };
        std::string number;
        for (const char c : field(2)) {
            if (IsDigit(c) || c == '*' || c == '#' || c == '-' || c == 'M' || c == 'P') {
                number.push_back(c);
            }
        }
        f = SpeedDialFieldBuffers{};
        SetText(f.number, std::string_view(number).substr(0, kNumberCharacters));
        SetText(f.kanji, CutName(field(3)));
        SetText(f.kana, CutName(FilterKana(field(4))));
        // A telephone or row that does not exist answers 0 and is skipped, as the line says.
        (void)StoreTelephoneSpeedDialRow(state, telephone, row);
        Tick(hooks);
    }
    return 0;
}

int ImportDataSetting(ProgrammingState& state, std::string_view body, const DataFileHooks& hooks) {
    if (body.size() % kRecord != 0) return kDataFileFormatError;
    std::vector<std::string> commands;
    for (std::size_t at = 0; at < body.size(); at += kRecord) {
        std::string command = DataFileCommand(body.substr(at, kRecord));
        if (command.empty()) return kDataFileFormatError;
        commands.push_back(std::move(command));
    }
    if (!commands.empty()) ClearImageTables(state);
    // The codes of *081 and the numbers of *082 go together, shortest first, where the first
    // of them stands; each under the digit count of its own length.
    std::vector<std::string> codes;
    for (const std::string& command : commands) {
        if (command.starts_with("*081") || command.starts_with("*082")) codes.push_back(command);
    }
    SortByCodeLength(codes);
    for (const std::string& command : commands) {
        const std::string empty = EmptyPortCommand(command);
        if (!empty.empty()) RunCommand(state, 1, empty);
    }
    bool codes_run = false;
    auto run = [&](const std::string& command) {
        ApplyKeyCommand(state, command);
        const CodeLengthScope code_length(state, command);
        const UnitsAsideScope units_aside(state, command);
        RunCommand(state, 1, command);
    };
    for (const std::string& command : commands) {
        if (command.starts_with("*081") || command.starts_with("*082")) {
            if (!codes_run) std::ranges::for_each(codes, run);
            codes_run = true;
        } else {
            run(command);
        }
        Tick(hooks);
    }
    return 0;
}

int ImportKeySheetFile(ProgrammingState& state, std::string_view body, const DataFileHooks& hooks) {
    if (body.size() % kRecord != 0 || body.size() / kRecord > KeySheetCatalogue().size()) {
        return kDataFileFormatError;
    }
    // Each line's values go to the button of the same place in the sheet: a line for another
    // button would give its values to the wrong one.
    const auto catalogue = KeySheetCatalogue();
    for (std::size_t at = 0, n = 0; at < body.size(); at += kRecord, ++n) {
        if (body[at] != 'i') return kDataFileFormatError;
        const std::string_view key(catalogue[n].key);
        if (body.compare(at, key.size(), key) != 0) return kDataFileFormatError;
    }
    state.key_sheet_lines.Blank();
    for (std::size_t i = 0; i * kRecord < body.size(); ++i) {
        std::copy_n(body.data() + i * kRecord, kRecord, state.key_sheet_lines[i].begin());
        Tick(hooks);
    }
    ApplyKeySheetLines(state, kKeySheetKind);
    return 0;
}

void ZeroBytes(DataImage& image, int block, std::size_t first, std::size_t count) {
    const auto bytes = image.Block(block);
    for (std::size_t i = first; i < first + count && i < bytes.size(); ++i) bytes[i] = 0;
}

// Zeroes the first `used` bytes of each of `entries` entries of `size` bytes from `first`.
void ZeroEntries(DataImage& image, int block, std::size_t first, std::size_t entries,
                 std::size_t size, std::size_t used) {
    for (std::size_t e = 0; e < entries; ++e) ZeroBytes(image, block, first + e * size, used);
}

void SetByte(DataImage& image, int block, std::size_t offset, std::uint8_t value) {
    if (std::uint8_t* b = image.BlockByte(block, offset)) *b = value;
}

}  // namespace

// One header for every data file, the offline ones and those written from a transfer: each text
// up to its first NUL, blank padded to its width. The area code has the six bytes the reader
// takes and two blanks after it; a year beyond four digits cannot push the fields out of place.
std::string FormatDataFileHeader(const UserInformation& info, const std::tm& t) {
    char text[kDataFileRecordBytes + 1];
    const int n = std::snprintf(
        text, sizeof text,
        "%04d%02d%02d%02d%02d,%-24.24s,%-24.24s,%-16.16s%-6.6s  ,%-24.24s,%-72.72s,    \r\n",
        (t.tm_year + 1900) % 10000, (t.tm_mon + 1) % 100, t.tm_mday % 100, t.tm_hour % 100,
        t.tm_min % 100, FieldText(info.user_name).c_str(), FieldText(info.person_in_charge).c_str(),
        FieldText(info.telephone_number).c_str(), FieldText(info.area_code).c_str(),
        FieldText(info.installation_date).c_str(), FieldText(info.memo).c_str());
    return std::string(text, static_cast<std::size_t>(n));
}

std::string DataFileCommand(std::string_view record) {
    if (record.size() < kSheetPrintedColumn + kSheetPrintedWidth || record[0] != '*') return {};
    std::string value;
    std::size_t c = kSheetValueColumn;
    for (; c < kSheetValueColumn + kSheetValueWidth && record[c] != ' '; ++c) {
        if (record[c] != ',') value.push_back(record[c]);
    }
    // A value that fills its columns runs on into the printed form: not a record of ours.
    if (c == kSheetValueColumn + kSheetValueWidth) return {};
    std::string_view form = record.substr(kSheetPrintedColumn, kSheetPrintedWidth);
    form = form.substr(0, form.find_last_not_of(' ') + 1);
    if (form.size() < 2 || form[0] != '*' || form.back() != '#') return {};
    std::string command;
    if (form.ends_with("##")) {
        // A show form: the first '#' not followed by a digit closes it.
        command = std::string(form.substr(0, form.find("##") + 2));
    } else {
        // The closing '#' is the last one: a '#' before it ends a key field, even one that is
        // followed by the value's blanks ("*10106#  #").
        // An empty value writes nothing over the last blank, which stays.
        const std::size_t close = form.size() - 1;
        std::size_t at = close;
        if (form[close - 1] == ' ' && !value.empty()) at = close - 1;
        command = std::string(form.substr(0, at)) + value + "#";
    }
    // The fixed patches of the commands whose printed value does not type back as it shows. An
    // empty *000 or *164 is the code cleared by its zeros ("00", "00000"): typed as blanks it
    // would be refused and leave the code the image had.
    const auto at = [&](std::size_t i) { return i < command.size() ? command[i] : '\0'; };
    if (command.starts_with("*9308") && value.empty() && command.size() >= 7) {
        command = command.substr(0, 7) + "000000#";
    } else if (command.starts_with("*083") && at(7) == ' ') {
        command = "*08300#";
    } else if (command.starts_with("*000") && at(7) == ' ') {
        command = "*00000#";
    } else if (command.starts_with("*164") && at(8) == ' ') {
        command = "*16400000#";
    } else if (command.starts_with("*9337") && command.size() > 12 &&
               command.compare(9, 3, "000") == 0) {
        command = command.substr(0, 12) + "#";
    } else if (command.starts_with("*9284") && at(9) == '#') {
        command = command.substr(0, 9) + "00000#";
    }
    return command;
}

void ClearImageTables(ProgrammingState& state) {
    ApplicationLock::Guard guard(state.lock);
    DataImage& image = state.image;
    for (std::size_t e = 0; e < 128; ++e) {
        SetByte(image, 1, e * 48 + 15, 0);
        SetByte(image, 1, e * 48 + 16, 0x90);
    }
    for (std::size_t t = 0; t < kKeyLayoutTelephones; ++t) {
        ZeroBytes(image, kKeyLayoutBlock, t * kKeyLayoutRowBytes + 144, 70);
    }
    LoadDefaultKeyLayouts(image);
    ZeroBytes(image, 15, 0, 55);
    ZeroBytes(image, 16, 0, 104 + 96);
    ZeroEntries(image, 17, 0, 128, 8, 4);
    for (const int block : {89, 90}) {
        ZeroBytes(image, block, 0, 64);
        for (std::size_t e = 0; e < 16; ++e) SetByte(image, block, e * 4, 1);
    }
    ZeroBytes(image, 122, 84, 28);
    ZeroBytes(image, 93, 0, 160);
    ZeroEntries(image, 12, 0, 32, 8, 5);
    ZeroEntries(image, 86, 0, 32, 4, 3);
    ZeroEntries(image, 151, 0, 20, 12, 8);
    ZeroBytes(image, 13, 0, 512);
    for (std::size_t i = 0; i < 4; ++i) {
        if (std::uint8_t* b = image.BlockByte(87, i)) *b &= 0xE0;
    }
    ZeroBytes(image, 87, 4, 32 * 6);
    ZeroBytes(image, 148, 4, 32);
    ZeroEntries(image, 36, 0, 8, 15, 10);
    ZeroBytes(image, 40, 38, 16);
    for (std::size_t i = 0; i < 4; ++i) SetByte(image, 80, 48 + 39 * i, 0x50);
}

int SaveDataFile(ProgrammingState& state, int kind, const DataFileHooks& hooks) {
    ApplicationLock::Guard guard(state.lock);
    if (!IsKnownKind(kind)) return 0;
    const std::string folder = FolderOf(state.data_file.folder);
    if (!IsPlainName(state.data_file.name)) return kDataFileCreateError;
    std::string text = Header(state, hooks);
    switch (kind) {
        case kDataSettingKind: {
            // A record per catalogue entry: the text is sized once instead of doubling and
            // copying its megabyte and a half as it grows.
            std::size_t entries = 0;
            for (int group = 0; group <= 9; ++group) entries += CommandSheetCatalogue(group).size();
            text.reserve(text.size() + entries * kRecord);
            for (char group = '0'; group <= '9'; ++group) {
                ListCommandGroup(state, group);
                AppendLines(text, state.sheet_lines, kSheetLineCount, hooks);
            }
            break;
        }
        case kSystemSpeedDialKind:
            BuildSystemSpeedDialLines(state, 0);
            AppendSystemCsv(text, state, hooks);
            break;
        case kTelephoneSpeedDialKind:
            BuildTelephoneSpeedDialLines(state, kFirstListTelephone, kFirstTelephoneRow);
            AppendTelephoneCsv(text, state, hooks);
            break;
        default:
            BuildKeySheet(state, kKeySheetKind);
            AppendLines(text, state.key_sheet_lines, kKeySheetLineCount, hooks);
            break;
    }
    return WriteWhole(folder, state.data_file.name, text);
}

int LoadDataFile(ProgrammingState& state, int kind, const DataFileHooks& hooks) {
    ApplicationLock::Guard guard(state.lock);
    if (!IsKnownKind(kind)) return 0;
    if (!IsPlainName(state.data_file.name)) return kDataFileCreateError;
    const std::optional<std::string> file =
        ReadWhole(FolderOf(state.data_file.folder) + state.data_file.name);
    if (!file) return kDataFileCreateError;
    if (file->size() > kMaxFileBytes) return kDataFileFormatError;
    return LoadDataFileBytes(state, kind, *file, hooks);
}

int LoadDataFileBytes(ProgrammingState& state, int kind, std::string_view file,
                      const DataFileHooks& hooks) {
    ApplicationLock::Guard guard(state.lock);
    if (!IsKnownKind(kind)) return 0;
    if (file.size() > kMaxFileBytes) return kDataFileFormatError;
    std::string_view body(file);
    std::string_view header;
    if (!body.empty() && body[0] == '2') {
        if (body.size() < kRecord) return kDataFileFormatError;
        header = body.substr(0, kRecord);
        body.remove_prefix(kRecord);
    }
    // Each importer checks the whole body before it changes anything; the header is taken only
    // with a body that was taken.
    const auto user_before = state.user_information;
    ApplyHeader(state, header);
    int result = 0;
    switch (kind) {
        case kDataSettingKind:
            result = ImportDataSetting(state, body, hooks);
            break;
        case kSystemSpeedDialKind:
            result = body.size() > kSheetLineCount * kRecord ? kDataFileFormatError
                                                             : ImportSystemCsv(state, body, hooks);
            break;
        case kTelephoneSpeedDialKind:
            result = body.size() > kSheetLineCount * kRecord
                         ? kDataFileFormatError
                         : ImportTelephoneCsv(state, body, hooks);
            break;
        default:
            result = ImportKeySheetFile(state, body, hooks);
            break;
    }
    if (result != 0) state.user_information = user_before;
    return result;
}

}  // namespace qzs
