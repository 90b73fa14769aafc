#include "settings/command_bridge.h"

#include <algorithm>
#include <optional>

#include "programming/digit_fields.h"
#include "programming/keypad.h"
#include "programming/state.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

constexpr int kDigitCountBlock = 14;  // *080: bits 0-1 of byte d, count - 1, for first digit d
constexpr std::size_t kMaxCodeLength = 4;

// Feeds the text to the terminal; nullptr (and nothing fed) when there is no such terminal. The
// caller holds the lock.
//
// The text is not first copied onto the display line: for a text that begins with "*" such a copy
// is blanked again by the first key, and for any other text it would overwrite the command number
// that the keys are meant to continue, so that they would reach another command's handler.
TerminalRecord* Feed(ProgrammingState& state, std::uint8_t terminal, std::string_view text) {
    TerminalRecord* record = FindTerminal(state.terminals, terminal);
    if (record == nullptr) return nullptr;
    KeyInputBlock& input = state.key_input;
    const std::uint8_t saved_current = input.current_terminal;
    const std::uint8_t saved_checking = input.checking_terminal;
    input.current_terminal = terminal;
    input.checking_terminal = terminal;
    state.keypad.last_entry = {};
    for (const char c : text) {
        // A byte arrives as a signed character: anything above 0x7F becomes a key word that no
        // key class takes.
        input.key_word = static_cast<std::uint16_t>(static_cast<signed char>(c));
        ProcessKeyLocked(state);
    }
    input.current_terminal = saved_current;
    input.checking_terminal = saved_checking;
    return record;
}

CommandResult Classify(const ProgrammingState& state, const TerminalRecord& record) {
    if (record.line.Contains("--P")) return CommandResult::kRejected;
    const EntryEvent last = state.keypad.last_entry;
    if (last.kind == EntryEventKind::kNone) return CommandResult::kIncomplete;
    if (last.result != 0) return CommandResult::kMismatch;
    return last.kind == EntryEventKind::kStore ? CommandResult::kStored : CommandResult::kShown;
}

}  // namespace

const char* RunCommand(ProgrammingState& state, std::uint8_t terminal, std::string_view text) {
    ApplicationLock::Guard guard(state.lock);
    const TerminalRecord* record = Feed(state, terminal, text);
    if (record == nullptr || record->line.Contains("--P")) return nullptr;
    return record->line.CStr();
}

CommandRun RunCommandForResult(ProgrammingState& state, std::uint8_t terminal,
                               std::string_view text) {
    ApplicationLock::Guard guard(state.lock);
    const TerminalRecord* record = Feed(state, terminal, text);
    if (record == nullptr) return {CommandResult::kRejected, {}};
    return {Classify(state, *record), std::string(record->line.Text())};
}

namespace {

// PressKey's key without its display copy; the caller holds the lock.
int PressKeyLocked(ProgrammingState& state, int key) {
    KeyInputBlock& input = state.key_input;
    // The key message: the key, two zero bytes and terminal 1; the terminal copy comes from it.
    const auto key_byte = static_cast<std::uint8_t>(key & 0xFF);
    input.key_byte = key_byte;
    input.key_bytes_after = {0, 0};
    input.current_terminal = 1;
    input.checking_terminal = 1;
    input.key_word = key_byte;
    input.word_after_key = 0;
    input.bytes_after_word = {0, 0};
    ProcessKeyLocked(state);

    int result = 0;
    if (input.key_taken == 1) {
        switch (input.outcome) {
            case kOutcomeTaken:
                result = 0;
                break;
            case kOutcomeStored:
            case kOutcomeTerminalNotice:
            case kOutcomeKeyNotice:
            case kOutcomeBitFlagNotice:
                result = 1;
                break;
            default:
                result = 2;
                break;
        }
    } else if (input.key_taken != 0 || input.outcome != 0) {
        result = 3;
    }
    return result;
}

// Terminal 1's line (the checking terminal's) into the key display buffer.
void CopyKeyDisplay(ProgrammingState& state) {
    auto& buffer = state.keypad.key_display_buffer;
    buffer.fill(' ');
    if (const TerminalRecord* record =
            FindTerminal(state.terminals, state.key_input.checking_terminal)) {
        // Up to the line's terminating 0: a line never started holds zero bytes and copies as
        // nothing.
        const std::string_view line = record->line.Text();
        const std::size_t length = std::min(line.find('\0'), line.size());
        std::copy_n(line.begin(), length, buffer.begin());
    }
}

}  // namespace

int PressKey(ProgrammingState& state, int key) {
    ApplicationLock::Guard guard(state.lock);
    const int result = PressKeyLocked(state, key);
    CopyKeyDisplay(state);
    return result;
}

std::array<char, kKeyDisplayBufferSize> PressKeys(ProgrammingState& state, std::string_view keys) {
    ApplicationLock::Guard guard(state.lock);
    for (const char key : keys) PressKeyLocked(state, static_cast<unsigned char>(key));
    // No key, no copy: the buffer stays as no PressKey call would leave it.
    if (!keys.empty()) CopyKeyDisplay(state);
    return state.keypad.key_display_buffer;
}

std::array<char, kKeyDisplayBufferSize> KeyDisplayBuffer(ProgrammingState& state) {
    ApplicationLock::Guard guard(state.lock);
    return state.keypad.key_display_buffer;
}

namespace {

// The digits of the code of a *081 or *082 command; nullopt for another command or a code with
// something other than digits and blanks.
std::optional<std::string> CodeOf(std::string_view command) {
    // The code follows the key: two digits for *081, three for *082.
    std::size_t at = 0;
    if (command.starts_with("*081")) {
        at = 6;
    } else if (command.starts_with("*082")) {
        at = 7;
    } else {
        return std::nullopt;
    }
    std::string code;
    for (; at < command.size() && command[at] != '#'; ++at) {
        if (command[at] >= '0' && command[at] <= '9') {
            code.push_back(command[at]);
        } else if (command[at] != ' ') {
            return std::nullopt;
        }
    }
    return code;
}

}  // namespace

std::size_t CodeLengthOf(std::string_view command) {
    const std::optional<std::string> code = CodeOf(command);
    return code ? code->size() : 0;
}

void SortByCodeLength(std::vector<std::string>& commands) {
    std::ranges::stable_sort(commands, {}, [](const std::string& c) { return CodeLengthOf(c); });
}

std::string EmptyPortCommand(std::string_view command) {
    // The key: a three-digit position for *9421, one digit for *9432.
    std::size_t key = 0;
    if (command.starts_with("*9421")) {
        key = 3;
    } else if (command.starts_with("*9431") || command.starts_with("*9432")) {
        key = 1;
    } else {
        return {};
    }
    if (command.size() < 5 + key) return {};
    return std::string(command.substr(0, 5 + key)) + "00000#";
}

CodeLengthScope::CodeLengthScope(ProgrammingState& state, std::string_view command)
    : state_(state) {
    const std::optional<std::string> code = CodeOf(command);
    if (!code || code->empty() || code->size() > kMaxCodeLength) return;
    ApplicationLock::Guard guard(state.lock);
    count_ = state.image.BlockByte(kDigitCountBlock, DialDigitValue(code->front()));
    if (count_ == nullptr) return;
    saved_ = *count_;
    SetBits01(static_cast<std::uint8_t>(code->size() - 1), *count_);
}

CodeLengthScope::~CodeLengthScope() {
    if (count_ == nullptr) return;
    ApplicationLock::Guard guard(state_.lock);
    *count_ = saved_;
}

namespace {

// The entry (0-9) of the unit a *9500-*9502 command names by the three digits after its number
// (the first unit of a range, which no loader types); kUnitEntryCount for any other command.
std::size_t SingleUnitEntry(std::string_view command) {
    if (!command.starts_with("*9500") && !command.starts_with("*9501") &&
        !command.starts_with("*9502")) {
        return kUnitEntryCount;
    }
    if (command.size() < 9) return kUnitEntryCount;
    unsigned position = 0;
    for (std::size_t i = 5; i < 8; ++i) {
        if (command[i] < '0' || command[i] > '9') return kUnitEntryCount;
        position = position * 10 + static_cast<unsigned>(command[i] - '0');
    }
    // Positions 101-106 are units 1-6, 109-112 units 7-10.
    const unsigned unit = position >= 101 && position <= 106   ? position - 100
                          : position >= 109 && position <= 112 ? position - 102
                                                               : 0;
    return unit == 0 ? kUnitEntryCount : unit - 1;
}

}  // namespace

UnitsAsideScope::UnitsAsideScope(ProgrammingState& state, std::string_view command)
    : state_(state), own_(SingleUnitEntry(command)) {
    if (own_ == kUnitEntryCount) return;
    ApplicationLock::Guard guard(state.lock);
    for (std::size_t u = 0; u < kUnitEntryCount; ++u) {
        uses_[u] = state.image.unit_status_table[u][0];
        if (u != own_) state.image.unit_status_table[u][0] = kUnitNotInUse;
    }
}

UnitsAsideScope::~UnitsAsideScope() {
    if (own_ == kUnitEntryCount) return;
    ApplicationLock::Guard guard(state_.lock);
    for (std::size_t u = 0; u < kUnitEntryCount; ++u) {
        if (u != own_) state_.image.unit_status_table[u][0] = uses_[u];
    }
}

}  // namespace qzs
