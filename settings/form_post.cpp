#include "settings/form_post.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>

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
// the control that overrides it) make one command: the last value counts. Answers the index of
// the field after them, or none when the command was refused or rejected.
std::optional<std::size_t> RunCommandFromFields(ProgrammingState& state, const FormFields& fields,
                                                std::size_t i) {
    const FormField& field = fields[i];
    std::size_t last = i;
    std::size_t next = i + 1;
    while (next < fields.size() && fields[next].name == field.name) last = next++;
    // A name without "=" posts no value: nothing to store.
    if (!fields[last].has_value) return next;
    std::optional<std::string> text = OfferedCommandPrefix(field.name);
    if (!text) return std::nullopt;
    FormatFieldValue(state, *text, field.name.substr(1), fields.body().substr(fields[last].value));
    *text += '#';
    if (!RunFormCommand(state, *text)) return std::nullopt;
    return next;
}

// One row of a field "h...n1": one command with the row's values as its data fields. Answers
// the index after the row, or none when it was refused or rejected.
std::optional<std::size_t> RunMultiRowCommand(ProgrammingState& state, const FormFields& fields,
                                              std::size_t i) {
    const FormField& field = fields[i];
    std::optional<std::string> text = OfferedCommandPrefix(field.name);
    if (!text) return std::nullopt;
    const CommandTable& table = ActiveCommandTable(state);
    const CommandDescriptor& d = table.At(FindCommandLayout(state, field.name.substr(1)));
    const std::size_t n = d.DataFieldCount();
    FormRow row;
    std::size_t next = 0;
    if (n == 0 || !fields.CollectRow(i, n, row, next)) return std::nullopt;
    std::vector<std::optional<std::string_view>> values;
    for (const std::size_t v : row.values) values.emplace_back(fields.body().substr(v));
    FormatDataFields(*text, d, values);
    *text += '#';
    if (!RunFormCommand(state, *text)) return std::nullopt;
    return next;
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

std::optional<std::size_t> ApplySystemRow(ProgrammingState& state, const FormFields& fields,
                                          std::size_t i) {
    const std::string_view body = fields.body();
    const FormField& field = fields[i];
    FormRow row;
    std::size_t next = 0;
    if (!fields.CollectRow(i, 4, row, next)) return std::nullopt;
    const std::optional<int> number = ThreeDigits(field.name.substr(1));
    if (number) {
        SpeedDialRecord record = RecordFromRow(body, row);
        // The form sends the group as "0" and its digit; the digit is taken as posted.
        const char group = row.values[3] + 1 < body.size() ? body[row.values[3] + 1] : '0';
        record.group = group >= '0' && group <= '7' ? group : '0';
        if (state.duplicate_check_flag == 1) {
            StageSystemSpeedDial(state, *number, record, 0);
        } else {
            // A row no page shows (600-999) answers 0 and is ignored, as a field of no entry.
            (void)PutSystemSpeedDial(state, *number, record);
        }
    }
    return next;
}

std::optional<std::size_t> ApplyTelephoneRow(ProgrammingState& state, const FormFields& fields,
                                             std::size_t i) {
    const std::string_view body = fields.body();
    const FormField& field = fields[i];
    FormRow row;
    std::size_t next = 0;
    if (!fields.CollectRow(i, 3, row, next)) return std::nullopt;
    const std::string_view name = field.name.substr(1);
    const std::optional<int> telephone = ThreeDigits(name);
    const std::optional<int> number =
        name.size() > 4 && name[3] == '_' ? ThreeDigits(name.substr(4)) : std::nullopt;
    if (telephone && number) {
        const SpeedDialRecord record = RecordFromRow(body, row);
        if (state.duplicate_check_flag == 1) {
            StageTelephoneSpeedDial(state, *telephone, *number, record, 0);
        } else {
            // A telephone or row no page shows answers 0 and is ignored, as above.
            (void)PutTelephoneSpeedDial(state, *telephone, *number, record);
        }
    }
    return next;
}

// Answers the index after the row, none when the row has no values, and -1 in refused
// when the assignment was refused.
std::optional<std::size_t> ApplyButtonRow(ProgrammingState& state, const FormFields& fields,
                                          std::size_t i, bool& refused) {
    const std::string_view body = fields.body();
    const FormField& field = fields[i];
    const bool one_touch = field.name.starts_with("i92");
    FormRow row;
    std::size_t next = 0;
    if (!fields.CollectRow(i, one_touch ? 2 : 1, row, next)) return std::nullopt;
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
        if (text.size() > length + 1 && text[length + 1] == ',') return next;
        if (text.size() <= 11 || text[11] == ',') return next;
    } else {
        text += Decoded(body, row.values[0]).substr(0, 5);
        if (text.size() < 12) return next;
    }
    // A button text longer than the command buffer names no button the pages know.
    if (text.size() > kCommandLimit) return next;
    if (ApplyKeyAssignment(state, text, true) == 0) refused = true;
    return next;
}

}  // namespace

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

std::optional<FormFields> FormFields::Split(std::string_view body, std::size_t max_fields) {
    body = body.substr(0, body.find('\0'));
    FormFields out;
    out.body_ = body;
    std::size_t p = 0;
    while (p < body.size()) {
        if (out.fields_.size() >= max_fields) return std::nullopt;
        FormField f;
        f.start = p;
        f.end = std::min(body.find('&', p), body.size());
        const std::string_view text = body.substr(p, f.end - p);
        const std::size_t eq = text.find('=');
        f.has_value = eq != std::string_view::npos;
        f.name = text.substr(0, f.has_value ? eq : text.size());
        f.value = f.has_value ? p + eq + 1 : f.end;
        out.fields_.push_back(f);
        p = f.end + 1;
    }
    const std::size_t count = out.fields_.size();

    out.next_row_start_.assign(count + 1, static_cast<std::uint32_t>(count));
    for (std::size_t i = count; i-- > 0;) {
        out.next_row_start_[i] = out.fields_[i].name.ends_with("n1")
                                     ? static_cast<std::uint32_t>(i)
                                     : out.next_row_start_[i + 1];
    }

    // The row prefixes go into a trie; each field with a value then walks its name down the
    // trie once and is noted under every prefix it passes, so finding a row's fields never
    // searches the body again.
    struct Node {
        std::int32_t prefix = -1;
    };
    std::vector<Node> nodes(1);
    std::unordered_map<std::uint64_t, std::uint32_t> edges;
    const auto key = [](std::uint32_t node, char c) {
        return (static_cast<std::uint64_t>(node) << 8) | static_cast<unsigned char>(c);
    };
    out.prefix_of_.assign(count, -1);
    for (std::size_t i = 0; i < count; ++i) {
        const FormField& f = out.fields_[i];
        if (!f.has_value || !f.name.ends_with('1')) continue;
        std::uint32_t node = 0;
        for (const char c : RowPrefix(f.name)) {
            const auto [it, added] = edges.try_emplace(key(node, c), 0);
            if (added) {
                it->second = static_cast<std::uint32_t>(nodes.size());
                nodes.emplace_back();
            }
            node = it->second;
        }
        if (nodes[node].prefix < 0) {
            nodes[node].prefix = static_cast<std::int32_t>(out.matches_.size());
            out.matches_.emplace_back();
        }
        out.prefix_of_[i] = nodes[node].prefix;
    }
    if (!out.matches_.empty()) {
        for (std::size_t j = 0; j < count; ++j) {
            const FormField& f = out.fields_[j];
            if (!f.has_value) continue;
            std::uint32_t node = 0;
            for (std::size_t c = 0;; ++c) {
                if (nodes[node].prefix >= 0) {
                    out.matches_[static_cast<std::size_t>(nodes[node].prefix)].push_back(
                        static_cast<std::uint32_t>(j));
                }
                if (c == f.name.size()) break;
                const auto it = edges.find(key(node, f.name[c]));
                if (it == edges.end()) break;
                node = it->second;
            }
        }
    }
    return out;
}

bool FormFields::CollectRow(std::size_t i, std::size_t n, FormRow& row, std::size_t& next) const {
    row.values.clear();
    if (i >= fields_.size() || n == 0) return false;
    const FormField& first = fields_[i];
    if (first.name.empty() || first.name.back() != '1' || !first.has_value) return false;
    row.values.push_back(first.value);
    std::size_t last = i;
    if (n > 1) {
        const std::vector<std::uint32_t>& list =
            matches_[static_cast<std::size_t>(prefix_of_[i])];
        const std::size_t bound = next_row_start_[i + 1];
        auto it = std::upper_bound(list.begin(), list.end(), static_cast<std::uint32_t>(i));
        for (std::size_t k = 2; k <= n; ++k, ++it) {
            if (it == list.end() || *it >= bound) return false;
            row.values.push_back(fields_[*it].value);
            last = *it;
        }
    }
    next = last + 1;
    row.next = next < fields_.size() ? fields_[next].start : body_.size();
    return true;
}

bool CollectFieldValues(std::string_view body, std::size_t start, std::size_t n, FormRow& row) {
    const std::optional<FormFields> fields = FormFields::Split(body, SIZE_MAX);
    row.values.clear();
    if (!fields) return false;
    for (std::size_t i = 0; i < fields->size(); ++i) {
        if ((*fields)[i].start != start) continue;
        std::size_t next = 0;
        return fields->CollectRow(i, n, row, next);
    }
    return false;
}

int ApplyFormPost(ProgrammingState& state, std::string_view body) {
    const std::optional<FormFields> fields = FormFields::Split(body);
    if (!fields) return -1;
    return ApplyFormPost(state, *fields);
}

int ApplyFormPost(ProgrammingState& state, const FormFields& fields) {
    ApplicationLock::Guard guard(state.lock);
    state.duplicate_speed_dial_list = DuplicateSpeedDialList{};
    const std::string_view body = fields.body();
    int steps = 0;
    std::size_t i = 0;
    while (i < fields.size()) {
        ++steps;
        const FormField& field = fields[i];
        std::optional<std::size_t> next;
        switch (field.start < body.size() ? body[field.start] : '&') {
            case 'h':
                next = field.name.find('n') != std::string_view::npos
                           ? RunMultiRowCommand(state, fields, i)
                           : RunCommandFromFields(state, fields, i);
                break;
            case 'i':
                if (field.name.starts_with("i92") || field.name.starts_with("i14")) {
                    bool refused = false;
                    next = ApplyButtonRow(state, fields, i, refused);
                    if (refused) return -1;
                }
                break;
            case 's':
                next = ApplySystemRow(state, fields, i);
                break;
            case 't':
                next = ApplyTelephoneRow(state, fields, i);
                break;
            default:
                break;
        }
        // A field that was skipped, refused or rejected: the fields after it are their own.
        i = next.value_or(i + 1);
    }
    return steps;
}

}  // namespace qzs
