// The command bridge: command strings fed key by key to a terminal, the display line as the
// answer, single keys with the key display buffer, and the lock around every call. The handlers
// are stand-ins that answer as each test says.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "../programming/keypad_test_support.h"
#include "programming/keypad.h"
#include "programming/state.h"
#include "settings/command_bridge.h"

namespace qzs {
namespace {

using testing::Fake;
using testing::FakeHandlerTable;

std::unique_ptr<ProgrammingState> FakeState() {
    testing::Fake() = testing::FakeHandlers{};
    auto state = std::make_unique<ProgrammingState>();
    state->keypad.handler_table = &FakeHandlerTable();
    return state;
}

std::string Trimmed(std::string_view line) {
    std::string text(line.substr(0, line.find('\0')));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

TEST(RunCommand, AnswersTheDisplayLine) {
    auto state = FakeState();
    const char* line = RunCommand(*state, 1, "*0021#");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line, state->terminals[0].line.CStr());
    EXPECT_EQ(std::strlen(line), 27u);
    EXPECT_EQ(Trimmed(line), "002=1P");

    line = RunCommand(*state, 1, "*002#");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(Trimmed(line), "002=1c");

    Fake().store_result = 1;
    EXPECT_EQ(RunCommand(*state, 1, "*0025#"), nullptr);
    EXPECT_EQ(Trimmed(state->terminals[0].line.Text()), "--P");

    Fake().store_result = 2;  // a value read back different is not a failure here
    line = RunCommand(*state, 1, "*0021#");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(Trimmed(line), "--c");
}

TEST(RunCommand, RejectionsOfTheStateMachineAreFailuresToo) {
    auto state = FakeState();
    EXPECT_EQ(RunCommand(*state, 1, "*00712#"), nullptr);  // a choice other than 00 and 99
    EXPECT_EQ(RunCommand(*state, 1, "*93612#"), nullptr);  // a setting other than 0 and 1
    EXPECT_TRUE(Fake().store_lines.empty());
    // Over the built-in handlers a command outside the table shows "--P".
    state->keypad.handler_table = nullptr;
    EXPECT_EQ(RunCommand(*state, 1, "*192#"), nullptr);
    EXPECT_EQ(RunCommand(*state, 1, "*2995#"), nullptr);
}

TEST(RunCommand, TextWithoutStarContinuesTheCurrentEntry) {
    auto state = FakeState();
    ASSERT_NE(RunCommand(*state, 1, "*0011101#"), nullptr);
    // Fed as keys in the re-entry state; its first character is a key like any other, and the
    // command number on the line stays that of *001.
    const char* line = RunCommand(*state, 1, "2102#");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(Trimmed(line), "001=2-102P");
    ASSERT_EQ(Fake().store_lines.size(), 2u);
    EXPECT_EQ(Trimmed(Fake().store_lines[1]), "001=2-102");
}

TEST(RunCommand, BytesAboveSevenBitsAreRefusedKeys) {
    auto state = FakeState();
    const char* line = RunCommand(*state, 1, "*002\xB1#");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(Trimmed(line), "002=1c");
}

TEST(RunCommand, DrivesTheTerminalItIsGivenAndRestoresTheKeyInputBlock) {
    auto state = FakeState();
    state->key_input.current_terminal = 7;
    state->key_input.checking_terminal = 9;
    ASSERT_NE(RunCommand(*state, 3, "*0021#"), nullptr);
    EXPECT_EQ(Trimmed(state->terminals[2].line.Text()), "002=1P");
    EXPECT_EQ(state->terminals[0].state, 0);
    EXPECT_EQ(state->terminals[0].line.Cursor(), 0);
    EXPECT_EQ(state->key_input.current_terminal, 7);
    EXPECT_EQ(state->key_input.checking_terminal, 9);

    // The memory view checks the terminal that RunCommand drives.
    *state->image.BlockByte(3, 42) = 4;
    EXPECT_EQ(RunCommand(*state, 3, "*02300100000"), nullptr);
    const char* line = RunCommand(*state, 4, "*02300100000");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(Trimmed(line), "023=00100000 00");
}

TEST(RunCommand, NoSuchTerminal) {
    for (int terminal : {0, 129, 255}) {
        auto state = FakeState();
        state->key_input.current_terminal = 1;
        EXPECT_EQ(RunCommand(*state, static_cast<std::uint8_t>(terminal), "*0021#"), nullptr);
        const CommandRun run =
            RunCommandForResult(*state, static_cast<std::uint8_t>(terminal), "*0021#");
        EXPECT_EQ(run.result, CommandResult::kRejected);
        EXPECT_TRUE(run.line.empty());
        EXPECT_TRUE(Fake().store_lines.empty());
        EXPECT_EQ(state->key_input.current_terminal, 1);
        for (const TerminalRecord& r : state->terminals) EXPECT_EQ(r.state, 0);
    }
}

// Over the program's own handlers: the answer on the line and the flag in the image agree.
TEST(RunCommand, ThroughTheBuiltInHandlers) {
    auto state = std::make_unique<ProgrammingState>();
    std::uint8_t& flags = *state->image.BlockByte(3, 21);
    flags = 0x2F;
    const char* line = RunCommand(*state, 1, "*0021#");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(Trimmed(line), "002=1P");
    EXPECT_EQ(flags, 0x3F);

    line = RunCommand(*state, 1, "*002#");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(Trimmed(line), "002=1c");

    // A value out of range: null, and the image keeps what it had.
    auto before = std::make_unique<DataImage>(state->image);
    EXPECT_EQ(RunCommand(*state, 1, "*0025#"), nullptr);
    EXPECT_EQ(std::memcmp(before.get(), &state->image, sizeof(DataImage)), 0);

    line = RunCommand(*state, 1, "*0020#");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(Trimmed(line), "002=0P");
    EXPECT_EQ(flags, 0x2F);
    EXPECT_EQ(RunCommandForResult(*state, 1, "*0020#").result, CommandResult::kStored);
    EXPECT_EQ(RunCommandForResult(*state, 1, "*002#").result, CommandResult::kShown);
}

TEST(RunCommandForResult, TellsTheAnswersApart) {
    struct Case {
        const char* keys;
        std::uint8_t store_result;
        std::uint8_t show_result;
        CommandResult result;
        const char* line;
    };
    const Case cases[] = {
        {"*0021#", 0, 0, CommandResult::kStored, "002=1P"},
        {"*002#", 0, 0, CommandResult::kShown, "002=1c"},
        {"*0021#", 2, 0, CommandResult::kMismatch, "--c"},
        {"*002#", 0, 3, CommandResult::kMismatch, "--c"},
        {"*0025#", 1, 0, CommandResult::kRejected, "--P"},
        {"*002#", 0, 1, CommandResult::kRejected, "--P"},
        {"*00712#", 0, 0, CommandResult::kRejected, "--P"},
        {"*002", 0, 0, CommandResult::kIncomplete, "002="},
        {"*93611#", 0, 0, CommandResult::kIncomplete, "9361=1 Y:1/N:0"},
        {"*93611#0#", 0, 0, CommandResult::kIncomplete, "   ="},
        {"*0025#*002", 1, 0, CommandResult::kIncomplete, "002="},  // the last command counts
        {"*00700#1#", 0, 0, CommandResult::kStored, "007=\xB8\xD8\xB1 Y:1/N:0 1P"},
        {"*93611#1#", 0, 0, CommandResult::kStored, "9361=1P"},
        {"", 0, 0, CommandResult::kIncomplete, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        auto state = FakeState();
        Fake().store_result = c.store_result;
        Fake().show_result = c.show_result;
        const CommandRun run = RunCommandForResult(*state, 1, c.keys);
        EXPECT_EQ(run.result, c.result);
        EXPECT_EQ(run.line.size(), 27u);
        EXPECT_EQ(Trimmed(run.line), c.line);
        EXPECT_EQ(RunCommand(*state, 1, "") == nullptr, c.result == CommandResult::kRejected);
    }
}

TEST(PressKey, AnswersFromTheKeyTakenWordAndTheOutcome) {
    struct Case {
        const char* name;
        const char* before;  // keys fed first
        int key;
        int store_outcome;
        int store_key_taken;
        int result;
    };
    const Case cases[] = {
        {"* is taken", "", '*', -1, -1, 0},
        {"a digit is taken", "*002", '1', -1, -1, 0},
        {"a refused key", "", '#', -1, -1, 0},
        {"a store", "*0021", '#', -1, -1, 1},
        {"a store reporting a terminal", "*0021", '#', 5, -1, 1},
        {"a store reporting a key", "*0021", '#', 6, -1, 1},
        {"a store reporting a bit flag", "*0021", '#', 7, -1, 1},
        {"a store that cleared ports", "*0021", '#', 8, -1, 2},
        {"a store that cleared the outcome", "*0021", '#', 0, -1, 2},
        {"a key-taken word other than 1", "*0021", '#', -1, 2, 3},
        {"refused with an outcome", "*0021", '#', 4, 0, 3},
        {"only the low byte counts", "", 0x100 + '*', -1, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto state = FakeState();
        for (const char* k = c.before; *k != '\0'; ++k) PressKey(*state, *k);
        Fake().store_outcome = c.store_outcome;
        Fake().store_key_taken = c.store_key_taken;
        EXPECT_EQ(PressKey(*state, c.key), c.result);
    }
}

TEST(PressKey, FillsTheKeyDisplayBuffer) {
    auto state = FakeState();
    state->key_input.current_terminal = 5;
    EXPECT_EQ(PressKey(*state, '*'), 0);
    EXPECT_EQ(state->key_input.current_terminal, 1);
    EXPECT_EQ(state->key_input.checking_terminal, 1);
    std::array<char, kKeyDisplayBufferSize> expected;
    expected.fill(' ');
    expected[3] = '=';
    EXPECT_EQ(KeyDisplayBuffer(*state), expected);

    // 27 characters of line, then blanks up to 48.
    for (char c : std::string("*6791#")) PressKey(*state, c);
    Fake().show_text = std::string(30, 'Z');
    for (char c : std::string("*6791#")) PressKey(*state, c);
    const auto buffer = KeyDisplayBuffer(*state);
    EXPECT_EQ(std::string(buffer.data(), 27), "679=1-" + std::string(21, 'Z'));
    EXPECT_EQ(std::string(buffer.data() + 27, 21), std::string(21, ' '));
}

TEST(PressKey, ALineNeverStartedCopiesAsBlanks) {
    auto state = FakeState();
    EXPECT_EQ(PressKey(*state, '#'), 0);
    std::array<char, kKeyDisplayBufferSize> blanks;
    blanks.fill(' ');
    EXPECT_EQ(KeyDisplayBuffer(*state), blanks);
}

// The listing's road: the keys of a whole command typed under one hold of the lock leave the
// display buffer, the terminal, the key input block and the image as the same keys pressed one
// by one do, over the program's own handlers (stores, shows, refusals, unfinished entries).
TEST(PressKeys, EndLikeTheSameKeysPressedOneByOne) {
    const char* const sequences[] = {"*0021#", "*002#", "*0025#", "*6150101#", "*00121#*001#",
                                     "*081370#", "*9310", "#", "*7212616263646566#", ""};
    for (const char* keys : sequences) {
        SCOPED_TRACE(keys);
        auto one_by_one = std::make_unique<ProgrammingState>();
        auto together = std::make_unique<ProgrammingState>();
        for (const char c : std::string_view(keys)) {
            PressKey(*one_by_one, static_cast<unsigned char>(c));
        }
        const auto display = PressKeys(*together, keys);
        EXPECT_EQ(display, KeyDisplayBuffer(*one_by_one));
        EXPECT_EQ(KeyDisplayBuffer(*together), KeyDisplayBuffer(*one_by_one));
        EXPECT_EQ(together->terminals[0].line.Text(), one_by_one->terminals[0].line.Text());
        EXPECT_EQ(together->terminals[0].state, one_by_one->terminals[0].state);
        EXPECT_EQ(together->key_input.outcome, one_by_one->key_input.outcome);
        EXPECT_EQ(std::memcmp(&together->image, &one_by_one->image, sizeof(DataImage)), 0);
    }
}

TEST(CommandBridgeLock, HandlersRunUnderTheLock) {
    auto state = FakeState();
    Fake().probe_lock = true;
    RunCommand(*state, 1, "*0021#*002#");
    RunCommandForResult(*state, 2, "*0021#");
    for (char c : std::string("*0021#")) PressKey(*state, c);
    PressKeys(*state, "*0021#");
    EXPECT_EQ(Fake().store_lines.size(), 4u);
    EXPECT_EQ(Fake().show_lines.size(), 1u);
    EXPECT_EQ(Fake().calls_without_lock, 0);
}

TEST(CommandBridgeLock, KeyDisplayBufferWaitsForTheLock) {
    auto state = FakeState();
    state->lock.lock();
    auto copy = std::async(std::launch::async, [&] { return KeyDisplayBuffer(*state); });
    EXPECT_EQ(copy.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    state->lock.unlock();
    EXPECT_EQ(copy.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST(CommandBridgeLock, TwoThreadsOnTwoTerminals) {
    // Both threads share the key input block; each whole command runs under the lock, so neither
    // sees the other's terminal.
    auto state = FakeState();
    std::atomic<int> wrong{0};
    auto worker = [&](std::uint8_t terminal, const char* keys, const char* line) {
        for (int i = 0; i < 2000; ++i) {
            const CommandRun run = RunCommandForResult(*state, terminal, keys);
            if (Trimmed(run.line) != line) ++wrong;
        }
    };
    std::thread a(worker, 1, "*0021#", "002=1P");
    std::thread b(worker, 2, "*002#", "002=1c");
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace qzs
