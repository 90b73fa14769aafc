#include "settings/command_strings.h"

#include <algorithm>
#include <vector>

#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/form_command.h"

namespace qzs {
namespace {

constexpr std::size_t kPreparedTextLimit = 63;
constexpr std::size_t kFieldValueLimit = 16;  // a field is at most 16 digits wide

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return static_cast<unsigned>(c - 'a' + 10);
}

bool EndsValue(char c) {
    switch (c) {
        case '\0':
        case '&':
        case '=':
        case ',':
        case '<':
        case '>':
        case '\r':
        case '\n':
        case '\t':
            return true;
        default:
            return false;
    }
}

// "#" at the position and nothing after it: the rest of the posted fields is dropped. The
// positions before it exist, since every rule has read the position before.
void EndWithHash(std::string& text, std::size_t position) {
    text.resize(position + 1);
    text[position] = '#';
}

bool CharsAre(const CommandText& t, std::size_t position, std::string_view chars) {
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (t.At(position + i) != chars[i]) return false;
    }
    return true;
}

// The *619 flag of the keys at positions 4-6; none when one of them is not a digit.
std::uint32_t* Flag619(ProgrammingState& state, const CommandText& t) {
    const std::optional<unsigned> keys = t.Digits(4, 3);
    if (!keys) return nullptr;
    return &state.port619_flags.flags[*keys];
}

// *9500 runs first a copy of itself whose unit-entry digit is moved on: the digit at 11 goes up
// by one when it is "0"-"2" (at 12), else position 11 becomes "1". A text too short to hold the
// position to change runs no extra command.
void RunExtraUnitCommand(ProgrammingState& state, const CommandText& t) {
    std::string copy(t.Text());
    const char c11 = t.At(11);
    if (c11 == '0' || c11 == '1' || c11 == '2') {
        if (t.EndsAt(12)) return;
        copy[12] = static_cast<char>(copy[12] + 1);
    } else {
        if (t.EndsAt(11)) return;
        copy[11] = '1';
    }
    RunCommand(state, 1, copy);
}

void ApplyRules(ProgrammingState& state, std::string& s) {
    const CommandText t(s);
    if (t.Is("030")) {
        // A form ends a two-digit code with the blank of its three-character field.
        ApplyKeyAssignmentCommand(state, s, ' ');
    } else if (t.Is("085")) {
        if (CharsAre(t, 5, "00 ")) EndWithHash(s, 7);
    } else if (t.Is("161")) {
        if (t.At(6) == '0') {
            EndWithHash(s, 7);
        } else if (t.At(12) == ' ') {
            s[6] = '0';
            EndWithHash(s, 7);
        }
    } else if (t.Is("165") || t.Is("166")) {
        // Only the one kind exists; a text that does not reach position 6 is left as it is.
        if (!t.EndsAt(6)) s[6] = '1';
    } else if (t.Is("185")) {
        if (t.At(6) == '0') EndWithHash(s, 7);
    } else if (t.Is("351")) {
        if (CharsAre(t, 6, "000")) EndWithHash(s, 9);
    } else if (t.Is("601") || t.Is("616")) {
        // Only field characters: a text shorter than three of them keeps its command number.
        const std::size_t from = std::max<std::size_t>(s.size() >= 3 ? s.size() - 3 : 0, 4);
        const auto zero = s.find('0', from);
        if (zero != std::string::npos) s[zero] = '#';
    } else if (t.Is("619")) {
        // Both rows need the entry at 7: a text that stops before it says nothing of its keys.
        std::uint32_t* flag = Flag619(state, t);
        if (flag == nullptr || t.EndsAt(7)) return;
        if (t.At(7) == '2') {
            if (*flag == 1) EndWithHash(s, 8);
        } else {
            *flag = t.At(8) == '0' && t.At(9) == ' ' ? 1 : 0;
        }
    } else if (t.Is("9309") || t.Is("9321")) {
        if (CharsAre(t, 7, "00")) EndWithHash(s, 9);
    } else if (t.Is("9316")) {
        if (t.At(7) == ' ') EndWithHash(s, 7);
    } else if (t.Is("9337")) {
        if (CharsAre(t, 5, "000")) EndWithHash(s, 8);
    } else if (t.Is("9500")) {
        RunExtraUnitCommand(state, t);
    } else if (t.Is("698")) {
        if (t.At(10) == ' ') EndWithHash(s, 10);
    }
}

}  // namespace

std::uint16_t FindCommandLayout(ProgrammingState& state, std::string_view text) {
    ApplicationLock::Guard guard(state.lock);
    return ActiveCommandTable(state).Lookup(text.substr(0, 4));
}

std::string UrlDecodeValue(std::string_view value, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < value.size() && out.size() < limit; ++i) {
        const char c = value[i];
        if (EndsValue(c)) break;
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < value.size() && IsHexDigit(value[i + 1]) &&
                   IsHexDigit(value[i + 2])) {
            out += static_cast<char>(HexValue(value[i + 1]) << 4 | HexValue(value[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

int ParseDisplayFields(ProgrammingState& state, std::string_view line, std::string& out) {
    ApplicationLock::Guard guard(state.lock);
    line = line.substr(0, line.find('\0'));
    const CommandDescriptor& d = ActiveCommandTable(state).At(FindCommandLayout(state, line));
    const int count = std::max(1, static_cast<int>(d.DataFieldCount()));

    out.clear();
    const std::size_t mark = line.find_first_of("-cP");
    std::size_t start = std::string_view::npos;
    if (mark != std::string_view::npos && line[mark] == '-') {
        start = mark + 1;
    } else if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
        start = equals + 1;
    }
    if (start == std::string_view::npos) return count;
    const std::size_t end = line.find_first_of("cP", start);
    out = line.substr(start,
                      end == std::string_view::npos ? std::string_view::npos : end + 1 - start);
    return count;
}

int RunCommandAndParse(ProgrammingState& state, std::uint8_t terminal, std::string& text,
                       std::string* values) {
    ApplicationLock::Guard guard(state.lock);
    PrepareFormCommand(state, text);
    const char* line = RunCommand(state, terminal, text);
    if (line == nullptr) return -1;
    if (values == nullptr) return 0;
    return ParseDisplayFields(state, line, *values);
}

int RunCommandForValues(ProgrammingState& state, std::uint8_t terminal, std::string_view text,
                        std::string& first_value) {
    ApplicationLock::Guard guard(state.lock);
    const char* line = RunCommand(state, terminal, text);
    if (line == nullptr) return -1;
    return ParseDisplayFields(state, line, first_value);
}

int PrepareFormCommand(ProgrammingState& state, std::string& text) {
    ApplicationLock::Guard guard(state.lock);
    text.resize(std::min({text.size(), text.find('\0'), kPreparedTextLimit}));
    ApplyRules(state, text);
    return 0;
}

void FormatDataFields(std::string& text, const CommandDescriptor& descriptor,
                      std::span<const std::optional<std::string_view>> values) {
    const unsigned keys = descriptor.KeyFieldCount();
    const std::size_t count = std::min<std::size_t>(descriptor.DataFieldCount(), values.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (!values[i]) continue;
        const auto field = static_cast<unsigned>(keys + 1 + i);
        const std::size_t lo = descriptor.FieldMinDigits(field);
        const std::size_t hi = descriptor.FieldMaxDigits(field);
        std::string value = UrlDecodeValue(*values[i], kFieldValueLimit);
        value.resize(std::min(value.size(), hi));
        const std::string pad(hi - value.size(), ' ');
        text += lo != 0 && lo != hi ? value + pad : pad + value;
    }
}

void FormatFieldValue(ProgrammingState& state, std::string& text, std::string_view command_text,
                      std::optional<std::string_view> value) {
    ApplicationLock::Guard guard(state.lock);
    const CommandDescriptor& d =
        ActiveCommandTable(state).At(FindCommandLayout(state, command_text));
    if (d.DataFieldCount() != 1) return;
    const std::optional<std::string_view> values[] = {value};
    FormatDataFields(text, d, values);
}

}  // namespace qzs
