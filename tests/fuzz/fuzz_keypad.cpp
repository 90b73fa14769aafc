// Random key sequences through the keypad interpreter and the program's own handlers, over the
// built-in command table, or, when the input begins with '~', over a table that also holds the
// entry kinds no built-in command uses. Each byte is a key as the keypad receives it, except:
//   '<' backspace, 'n' / 'p' / 'r' the next, previous and restart address keys,
//   't' followed by a byte: that byte becomes the current terminal (any value, 0 and >128 too),
//   '!' followed by the rest of the input: the rest is run through RunCommand on terminal 1.
// After every key the terminal records must still hold a terminated line, a cursor on the line,
// a window inside it and a listed state.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "programming/command_table.h"
#include "programming/keypad.h"
#include "programming/state.h"
#include "settings/command_bridge.h"

namespace {

using qzs::CommandDescriptor;

CommandDescriptor Record(std::initializer_list<std::uint8_t> bytes) {
    CommandDescriptor d;
    std::size_t i = 0;
    for (std::uint8_t b : bytes) d.bytes[i++] = b;
    return d;
}

// Group 0 from *000: repeated entries, follow-up show, hex data, fixed data, a meaningless kind,
// each on a real shared handler slot, then the special commands' shapes on the ordinary slots.
const qzs::CommandTable& KindsTable() {
    static const qzs::CommandTable table = [] {
        std::vector<CommandDescriptor> records = {
            Record({5, 0x01, 0x12, 0, 0, 0, 0, 0, 3, 0, 1, 0x14, 0x10}),
            Record({5, 0x11, 0x11, 0x11, 0, 0, 0, 0, 2, 8, 1, 0x03, 0}),
            Record({6, 0x11, 0x11, 0x11, 0, 0, 0, 0, 1, 4, 8, 0, 0}),
            Record({7, 0x02, 0x22, 0x14, 0, 0, 0, 0, 0, 0, 1, 0x14, 0x10}),
            Record({8, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 0, 1, 0x14, 0x10}),
            Record({11, 0x36, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 7, 0xFE, 0xFF, 0xFF, 0xFF}),
            Record({2, 0x01, 0x1F, 0, 0, 0, 0, 0, 0, 0x7F}),
            Record({15, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 0xD2, 0, 0, 0x10}),
        };
        for (int g = 0; g < 19; ++g) {
            if (g > 0) records.push_back(Record({}));  // one command per further group
            records.push_back(Record({0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}));
        }
        records.push_back(Record({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3C}));
        return qzs::CommandTable(std::move(records));
    }();
    return table;
}

void Check(const qzs::ProgrammingState& state) {
    for (const qzs::TerminalRecord& r : state.terminals) {
        if (r.line.CStr()[qzs::DisplayLine::kWidth] != '\0') __builtin_trap();
        if (r.line.Cursor() > qzs::DisplayLine::kWidth) __builtin_trap();
        if (r.window_start > qzs::DisplayLine::kWidth - 20) __builtin_trap();
        bool listed = false;
        for (std::uint8_t code : qzs::kKeyStateCodes) listed = listed || code == r.state;
        if (!listed) __builtin_trap();
    }
    if (state.key_input.key_taken > 1) __builtin_trap();
}

// One state for the whole run, and a pristine copy of it: a fresh ProgrammingState per input
// costs its two sheet-line lists (3.4 MB allocated, zeroed and blanked), which kept this target
// near ten inputs a second. Before each input every field the keypad road can reach is copied
// back from the pristine state. The sheet-line lists are left alone: only the start-up, the data
// and main-unit files and the sheet builders write them, none of which a key or command reaches.
struct States {
    std::unique_ptr<qzs::ProgrammingState> pristine = std::make_unique<qzs::ProgrammingState>();
    std::unique_ptr<qzs::ProgrammingState> state = std::make_unique<qzs::ProgrammingState>();
    States() {
        qzs::WriteImageSignature(pristine->image);
        *pristine->image.BlockByte(3, 42) = 1;  // terminal 1 may view memory
        pristine->key_input.current_terminal = 1;
        pristine->key_input.checking_terminal = 1;
    }
};

qzs::ProgrammingState& FreshState() {
    static States states;
    const qzs::ProgrammingState& from = *states.pristine;
    qzs::ProgrammingState& to = *states.state;
    to.image = from.image;
    to.modified = from.modified;
    to.terminals = from.terminals;
    to.key_input = from.key_input;
    to.current_command = from.current_command;
    to.display_characters = from.display_characters;
    to.keypad = from.keypad;
    to.user_information = from.user_information;
    to.port619_flags = from.port619_flags;
    to.speed_dial_working_copy = from.speed_dial_working_copy;
    to.duplicate_check_flag = from.duplicate_check_flag;
    to.duplicate_speed_dial_list = from.duplicate_speed_dial_list;
    to.one_touch_lock_flags = from.one_touch_lock_flags;
    to.paged_button_lock_flags = from.paged_button_lock_flags;
    to.unit_run_time = from.unit_run_time;
    to.replay_rejected_line = from.replay_rejected_line;
    to.speed_dial_fields = from.speed_dial_fields;
    to.speed_dial_list_counts = from.speed_dial_list_counts;
    to.data_file = from.data_file;
    to.dset082_digit_count = from.dset082_digit_count;
    return to;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qzs::ProgrammingState* state = &FreshState();
    std::size_t i = 0;
    if (size > 0 && data[0] == '~') {
        state->keypad.command_table = &KindsTable();
        ++i;
    }
    for (; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == 't' && i + 1 < size) {
            state->key_input.current_terminal = data[++i];
            continue;
        }
        if (c == '!') {
            const std::string_view rest(reinterpret_cast<const char*>(data + i + 1), size - i - 1);
            const char* line = qzs::RunCommand(*state, 1, rest);
            if (line != nullptr && line != state->terminals[0].line.CStr()) __builtin_trap();
            break;
        }
        std::uint16_t key = static_cast<std::uint16_t>(static_cast<signed char>(c));
        if (c == '<') key = qzs::kKeyBackspace;
        if (c == 'n') key = qzs::kKeyNextAddress;
        if (c == 'p') key = qzs::kKeyPreviousAddress;
        if (c == 'r') key = qzs::kKeyRestartAddress;
        state->key_input.key_word = key;
        qzs::ProcessKey(*state);
        Check(*state);
    }
    Check(*state);
    return 0;
}
