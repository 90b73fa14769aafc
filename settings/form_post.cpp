#include "settings/form_post.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "programming/state.h"
#include "settings/button_assignment.h"
#include "settings/command_strings.h"
#include "settings/settings_pages.h"
#include "settings/speed_dial.h"
#include "settings/text_codecs.h"

namespace qzs {
namespace {

constexpr std::size_t kCommandLimit = 63;    // the command buffer holds 64 bytes with its 0
constexpr std::size_t kValueLimit = 31;      // one decoded value
constexpr std::size_t kNumberLimit = 24;     // a speed-dial number
constexpr std::size_t kNameBytes = 20;       // a kanji or kana name
constexpr std::size_t kRowPrefixReach = 15;  // a row prefix ends at an "n" this close to the start

// One field of the body: its name and the start of its value.
struct Field {
    std::size_t start = 0;
    std::string_view name;  // up to the "=" (the whole field when it has none)
    std::size_t value = 0;  // the character after the "=", or the field's end
    std::size_t end = 0;    // the "&" after the field, or the end of the body
    bool has_value = false;
};

Field FieldAt(std::string_view body, std::size_t start) {
    Field f;
    f.start = start;
    f.end = std::min(body.find('&', start), body.size());
    const std::size_t eq = body.find('=', start);
    f.has_value = eq < f.end;
    const std::size_t name_end = f.has_value ? eq : f.end;
    f.name = body.substr(start, name_end - start);
    f.value = f.has_value ? eq + 1 : f.end;
    return f;
}

// The start of the field after the one at start; the body's end when there is none.
std::size_t NextField(std::string_view body, std::size_t start) {
    const std::size_t amp = body.find('&', start);
    return amp == std::string_view::npos ? body.size() : amp + 1;
}

std::string Decoded(std::string_view body, std::size_t value) {
    return UrlDecodeValue(body.substr(value), kValueLimit);
}

bool IsDigits(std::string_view text) {
    return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

bool IsFormDelimiter(char c) {
    return c == '_' || c == 's' || c == 'n';
}

// The command digits of an "h" name: three, or four beginning with "9".
std::optional<std::string_view> CommandDigits(std::string_view name) {
    std::size_t end = 1;
    while (end < name.size() && !IsFormDelimiter(name[end])) ++end;
    const std::string_view digits = name.substr(1, end - 1);
    if (!IsDigits(digits)) return std::nullopt;
    if (digits.size() == 3 || (digits.size() == 4 && digits[0] == '9')) return digits;
    return std::nullopt;
}

// "*", the command and the key parts of an "h" name (a part before "s" twice, as the name
// grammar has it); none when the name holds anything but digits in its parts or the text would
// not fit the command buffer with the data fields still to come.
std::optional<std::string> CommandPrefix(std::string_view name) {
    std::string text = "*";
    std::size_t p = 1;
    while (p <= name.size()) {
        std::size_t q = p;
        while (q < name.size() && !IsFormDelimiter(name[q])) ++q;
        const std::string_view part = name.substr(p, q - p);
        if (!part.empty() && !IsDigits(part)) return std::nullopt;
        text += part;
        if (q < name.size() && name[q] == 's') text += part;
        if (q >= name.size() || name[q] == 'n') break;
        p = q + 1;
    }
    if (text.size() > kCommandLimit) return std::nullopt;
    return text;
}

// The "h" field's command string when its command is one the pages offer.
std::optional<std::string> OfferedCommandPrefix(std::string_view name) {
    const std::optional<std::string_view> digits = CommandDigits(name);
    if (!digits || !IsOfferedFormCommand(*digits)) return std::nullopt;
    return CommandPrefix(name);
}

bool RunFormCommand(ProgrammingState& state, std::string& text) {
    if (text.size() > kCommandLimit) return false;
    return RunCommandAndParse(state, 1, text, nullptr) >= 0;
}

// A field "h...=v" without "n". Several fields of the same name in a row (a hidden default and
// the control that overrides it) make one command: the last value counts. Answers the start of
// the field after them, or none when the command was refused or rejected.
std::optional<std::size_t> RunCommandFromFields(ProgrammingState& state, std::string_view body,
                                                const Field& field) {
    Field last = field;
    std::size_t next = NextField(body, field.start);
    while (next < body.size()) {
        const Field following = FieldAt(body, next);
        if (following.name != field.name) break;
        last = following;
        next = NextField(body, next);
    }
    // A name without "=" posts no value: nothing to store.
    if (!last.has_value) return next;
    std::optional<std::string> text = OfferedCommandPrefix(field.name);
    if (!text) return std::nullopt;
    FormatFieldValue(state, *text, field.name.substr(1), body.substr(last.value));
    *text += '#';
    if (!RunFormCommand(state, *text)) return std::nullopt;
    return next;
}

// One row of a field "h...n1": one command with the row's values as its data fields. Answers
// the position after the row, or none when it was refused or rejected.
std::optional<std::size_t> RunMultiRowCommand(ProgrammingState& state, std::string_view body,
                                              const Field& field) {
    std::optional<std::string> text = OfferedCommandPrefix(field.name);
    if (!text) return std::nullopt;
    const CommandTable& table = ActiveCommandTable(state);
    const CommandDescriptor& d = table.At(FindCommandLayout(state, field.name.substr(1)));
    const std::size_t n = d.DataFieldCount();
    FormRow row;
    if (n == 0 || !CollectFieldValues(body, field.start, n, row)) return std::nullopt;
    std::vector<std::optional<std::string_view>> values;
    for (const std::size_t v : row.values) values.emplace_back(body.substr(v));
    FormatDataFields(*text, d, values);
    *text += '#';
    if (!RunFormCommand(state, *text)) return std::nullopt;
    return row.next;
}

// The row prefix of a field name.
std::string_view RowPrefix(std::string_view name) {
    const std::size_t n = name.find('n');
    return n != std::string_view::npos && n < kRowPrefixReach ? name.substr(0, n) : name;
}

SpeedDialRecord RecordFromRow(std::string_view body, const FormRow& row) {
    SpeedDialRecord record;
    const std::string number = UrlDecodeValue(body.substr(row.values[0]), kNumberLimit);
    std::copy(number.begin(), number.end(), record.number.begin());
    const std::string kanji = CutFormName(Decoded(body, row.values[1]));
    std::copy(kanji.begin(), kanji.end(), record.kanji.begin());
    const std::string kana = CutFormName(Decoded(body, row.values[2]));
    std::copy(kana.begin(), kana.end(), record.kana.begin());
    return record;
}

// "s<row>n1...": the three digits of the row.
std::optional<int> ThreeDigits(std::string_view text) {
    if (text.size() < 3 || !IsDigits(text.substr(0, 3))) return std::nullopt;
    return (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
}

std::optional<std::size_t> ApplySystemRow(ProgrammingState& state, std::string_view body,
                                          const Field& field) {
    FormRow row;
    if (!CollectFieldValues(body, field.start, 4, row)) return std::nullopt;
    const std::optional<int> number = ThreeDigits(field.name.substr(1));
    if (number) {
        SpeedDialRecord record = RecordFromRow(body, row);
        // The form sends the group as "0" and its digit; the digit is taken as posted.
        const char group = row.values[3] + 1 < body.size() ? body[row.values[3] + 1] : '0';
        record.group = group >= '0' && group <= '7' ? group : '0';
        if (state.duplicate_check_flag == 1) {
            StageSystemSpeedDial(state, *number, record, 0);
        } else {
            PutSystemSpeedDial(state, *number, record);
        }
    }
    return row.next;
}

std::optional<std::size_t> ApplyTelephoneRow(ProgrammingState& state, std::string_view body,
                                             const Field& field) {
    FormRow row;
    if (!CollectFieldValues(body, field.start, 3, row)) return std::nullopt;
    const std::string_view name = field.name.substr(1);
    const std::optional<int> telephone = ThreeDigits(name);
    const std::optional<int> number =
        name.size() > 4 && name[3] == '_' ? ThreeDigits(name.substr(4)) : std::nullopt;
    if (telephone && number) {
        const SpeedDialRecord record = RecordFromRow(body, row);
        if (state.duplicate_check_flag == 1) {
            StageTelephoneSpeedDial(state, *telephone, *number, record, 0);
        } else {
            PutTelephoneSpeedDial(state, *telephone, *number, record);
        }
    }
    return row.next;
}

// Answers the position after the row, none when the row has no values, and -1 in refused
// when the assignment was refused.
std::optional<std::size_t> ApplyButtonRow(ProgrammingState& state, std::string_view body,
                                          const Field& field, bool& refused) {
    const bool one_touch = field.name.starts_with("i92");
    FormRow row;
    if (!CollectFieldValues(body, field.start, one_touch ? 2 : 1, row)) return std::nullopt;
    std::string text(RowPrefix(field.name));
    if (one_touch) {
        const std::size_t length = text.size();
        text += '-';
        text += Decoded(body, row.values[0]);
        text += ',';
        text += Decoded(body, row.values[1]).substr(0, 3);
        if (text.size() > 11 && text[11] == 'B') {
            // A hexadecimal button is always sent as "B,00": the form has no field for it.
            if (text.size() < 15) text.resize(15, '0');
            text[13] = '0';
            text[14] = '0';
        }
        // An empty kind assigns nothing.
        if (text.size() > length + 1 && text[length + 1] == ',') return row.next;
        if (text.size() <= 11 || text[11] == ',') return row.next;
    } else {
        text += Decoded(body, row.values[0]).substr(0, 5);
        if (text.size() < 12) return row.next;
    }
    // A button text longer than the command buffer names no button the pages know.
    if (text.size() > kCommandLimit) return row.next;
    if (ApplyKeyAssignment(state, text, true) == 0) refused = true;
    return row.next;
}

}  // namespace

bool CollectFieldValues(std::string_view body, std::size_t start, std::size_t n, FormRow& row) {
    row.values.clear();
    const Field first = FieldAt(body, start);
    if (first.name.empty() || first.name.back() != '1' || !first.has_value || n == 0) return false;
    const std::string_view prefix = RowPrefix(first.name);
    row.values.push_back(first.value);
    std::size_t last_end = first.end;
    std::size_t p = NextField(body, start);
    for (std::size_t k = 2; k <= n; ++k) {
        bool found = false;
        while (p < body.size()) {
            const Field f = FieldAt(body, p);
            p = NextField(body, p);
            if (f.name.ends_with("n1")) break;  // another row begins
            if (f.has_value && f.name.starts_with(prefix)) {
                row.values.push_back(f.value);
                last_end = std::max(last_end, f.end);
                found = true;
                break;
            }
        }
        if (!found) return false;
    }
    row.next = std::min(last_end + 1, body.size());
    return true;
}

std::string CutFormName(std::string_view name) {
    if (name.size() <= kNameBytes) return std::string(name);
    std::size_t i = 0;
    while (i < kNameBytes) {
        const std::size_t width = IsSjisLeadByte(static_cast<std::uint8_t>(name[i])) ? 2 : 1;
        if (i + width > kNameBytes) break;
        i += width;
    }
    return std::string(name.substr(0, i));
}

int ApplyFormPost(ProgrammingState& state, std::string_view body) {
    ApplicationLock::Guard guard(state.lock);
    body = body.substr(0, body.find('\0'));
    state.duplicate_speed_dial_list = DuplicateSpeedDialList{};
    int steps = 0;
    std::size_t p = 0;
    while (p < body.size()) {
        ++steps;
        const Field field = FieldAt(body, p);
        std::optional<std::size_t> next;
        switch (body[p]) {
            case 'h':
                next = field.name.find('n') != std::string_view::npos
                           ? RunMultiRowCommand(state, body, field)
                           : RunCommandFromFields(state, body, field);
                break;
            case 'i':
                if (field.name.starts_with("i92") || field.name.starts_with("i14")) {
                    bool refused = false;
                    next = ApplyButtonRow(state, body, field, refused);
                    if (refused) return -1;
                }
                break;
            case 's':
                next = ApplySystemRow(state, body, field);
                break;
            case 't':
                next = ApplyTelephoneRow(state, body, field);
                break;
            default:
                break;
        }
        // A field that was skipped, refused or rejected: the fields after it are their own.
        p = next.value_or(NextField(body, p));
    }
    return steps;
}

}  // namespace qzs
