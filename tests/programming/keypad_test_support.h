// What the keypad tests share: command tables of their own, handlers that answer as a test tells
// them and record what they were given, and a way to type keys on a terminal.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "programming/command_table.h"
#include "programming/handler_table.h"
#include "programming/keypad.h"
#include "programming/state.h"
#include "programming/terminal.h"

namespace qzs::testing {

inline CommandDescriptor Descriptor(std::vector<std::uint8_t> bytes) {
    CommandDescriptor d;
    for (std::size_t i = 0; i < bytes.size() && i < d.bytes.size(); ++i) d.bytes[i] = bytes[i];
    return d;
}

// A table of 19 groups: group g holds the given descriptors from its first number on, the other
// groups are empty; the catch-all record closes it.
inline CommandTable MakeTable(const std::map<int, std::vector<CommandDescriptor>>& groups) {
    std::vector<CommandDescriptor> records;
    for (int g = 0; g < 19; ++g) {
        if (auto it = groups.find(g); it != groups.end()) {
            records.insert(records.end(), it->second.begin(), it->second.end());
        }
        records.push_back(Descriptor({0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}));
    }
    records.push_back(Descriptor({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3C}));
    return CommandTable(std::move(records));
}

// Handlers whose answers the test sets; they remember the line each call saw.
struct FakeHandlers {
    std::uint8_t store_result = 0;
    std::uint8_t show_result = 0;
    std::string show_text = "1";  // appended by a successful show
    // Raised by the next shows (kind 6 follow-up); each show uses up one.
    int show_flag_shows = 0;
    // Written into the key input block by a store, when set.
    int store_outcome = -1;
    int store_key_taken = -1;
    // When set, each call checks from another thread that the state's lock is held.
    bool probe_lock = false;
    int calls_without_lock = 0;
    std::vector<std::string> store_lines;
    std::vector<std::string> show_lines;
};

inline FakeHandlers& Fake() {
    static FakeHandlers fake;
    return fake;
}

inline std::string LineOf(const TerminalRecord& record) {
    return std::string(record.line.Text());
}

inline void ProbeLock(ProgrammingState& state) {
    if (!Fake().probe_lock) return;
    bool free = false;
    std::thread other([&] {
        free = state.lock.try_lock();
        if (free) state.lock.unlock();
    });
    other.join();
    if (free) ++Fake().calls_without_lock;
}

inline std::uint8_t FakeStore(ProgrammingState& state, TerminalRecord& record) {
    ProbeLock(state);
    FakeHandlers& fake = Fake();
    fake.store_lines.push_back(LineOf(record));
    if (fake.store_outcome >= 0)
        state.key_input.outcome = static_cast<std::uint8_t>(fake.store_outcome);
    if (fake.store_key_taken >= 0) {
        state.key_input.key_taken = static_cast<std::uint16_t>(fake.store_key_taken);
    }
    return fake.store_result;
}

inline std::uint8_t FakeShow(ProgrammingState& state, TerminalRecord& record) {
    ProbeLock(state);
    FakeHandlers& fake = Fake();
    fake.show_lines.push_back(LineOf(record));
    if (fake.show_result != 0) return fake.show_result;
    record.line.Append(fake.show_text);
    record.show_flag = fake.show_flag_shows > 0 ? 1 : 0;
    if (fake.show_flag_shows > 0) --fake.show_flag_shows;
    return 0;
}

inline const CommandHandlerTable& FakeHandlerTable() {
    static const CommandHandlerTable table = [] {
        CommandHandlerTable t;
        t.store.fill(&FakeStore);
        t.show.fill(&FakeShow);
        return t;
    }();
    return table;
}

// A state whose terminal 1 is driven by the keys of a test. `keys` uses '<' for backspace,
// 'n', 'p' and 'r' for the next, previous and restart address keys.
class KeypadDriver {
  public:
    explicit KeypadDriver(const CommandTable* table = nullptr, bool fake_handlers = true)
        : state_(std::make_unique<ProgrammingState>()) {
        Fake() = FakeHandlers{};
        state_->keypad.command_table = table;
        if (fake_handlers) state_->keypad.handler_table = &FakeHandlerTable();
        state_->key_input.checking_terminal = 1;
    }

    ProgrammingState& state() { return *state_; }
    TerminalRecord& record() { return state_->terminals[0]; }

    static std::uint16_t KeyWord(char c) {
        switch (c) {
            case '<':
                return kKeyBackspace;
            case 'n':
                return kKeyNextAddress;
            case 'p':
                return kKeyPreviousAddress;
            case 'r':
                return kKeyRestartAddress;
            default:
                return static_cast<unsigned char>(c);
        }
    }

    void Key(std::uint16_t key_word) {
        state_->key_input.current_terminal = 1;
        state_->key_input.key_word = key_word;
        ProcessKey(*state_);
    }

    KeypadDriver& Type(std::string_view keys) {
        for (char c : keys) Key(KeyWord(c));
        return *this;
    }

    // The line without its trailing blanks.
    std::string Line() const {
        std::string text(state_->terminals[0].line.Text());
        text.erase(text.find_last_not_of(' ') + 1);
        return text;
    }

  private:
    std::unique_ptr<ProgrammingState> state_;
};

inline constexpr int kAny = -1;

// One key sequence typed on a fresh terminal and what it must leave behind; kAny skips a check.
struct KeySequence {
    const char* name;
    const CommandTable* table;  // nullptr: the built-in table
    const char* keys;
    std::string line;  // without trailing blanks
    int cursor;
    int state;
    int key_taken;
    int outcome;
    int field = kAny;
    int marker = kAny;
    int data_start = kAny;
    int field_digits = kAny;
    std::uint8_t store_result = 0;
    std::uint8_t show_result = 0;
    void (*setup)(ProgrammingState&) = nullptr;
    // Compare only the first characters of the line (the last position may hold a character row).
    std::size_t width = DisplayLine::kWidth;
    // The program's own handlers in place of the fakes (store_result and show_result then
    // play no part).
    bool built_in_handlers = false;
};

template <std::size_t N>
void RunKeySequences(const KeySequence (&cases)[N]) {
    for (const KeySequence& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.name << " [" << c.keys << "]");
        KeypadDriver keypad(c.table, !c.built_in_handlers);
        Fake().store_result = c.store_result;
        Fake().show_result = c.show_result;
        if (c.setup != nullptr) c.setup(keypad.state());
        keypad.Type(c.keys);
        const TerminalRecord& r = keypad.record();
        std::string line(r.line.Text().substr(0, c.width));
        line.erase(line.find_last_not_of(' ') + 1);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(r.line.Cursor(), c.cursor);
        EXPECT_EQ(r.state, c.state);
        EXPECT_EQ(keypad.state().key_input.key_taken, c.key_taken);
        if (c.outcome != kAny) {
            EXPECT_EQ(keypad.state().key_input.outcome, c.outcome);
        }
        if (c.field != kAny) {
            EXPECT_EQ(r.field_number, c.field);
        }
        if (c.marker != kAny) {
            EXPECT_EQ(r.reentry_marker, c.marker);
        }
        if (c.data_start != kAny) {
            EXPECT_EQ(r.data_start, c.data_start);
        }
        if (c.field_digits != kAny) {
            EXPECT_EQ(r.field_digits, c.field_digits);
        }
        EXPECT_EQ(r.window_start, r.line.Cursor() > 20 ? r.line.Cursor() - 20 : 0);
        EXPECT_EQ(r.line.CStr()[DisplayLine::kWidth], '\0');
    }
}

}  // namespace qzs::testing
