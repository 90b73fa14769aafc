// What the handler and dispatch tests share: a state with terminal 1's line written as the keypad
// leaves it when '#' reaches a handler, a snapshot of the data image to diff against, and a way to
// give the state a command table of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "programming/command_table.h"
#include "programming/data_image.h"
#include "programming/handler_table.h"
#include "programming/keypad.h"
#include "programming/state.h"
#include "programming/terminal.h"

namespace qzs::testing {

static_assert(std::is_trivially_copyable_v<DataImage>);

// Offset of a byte inside the image object, for comparing places of the blocks and of the
// settings outside them alike.
inline std::size_t ImageOffset(const DataImage& image, const std::uint8_t* byte) {
    return static_cast<std::size_t>(byte - reinterpret_cast<const std::uint8_t*>(&image));
}

// Offsets of every byte of the image object (blocks and settings outside them) that differs.
inline std::vector<std::size_t> ChangedBytes(const DataImage& before, const DataImage& after) {
    const auto* a = reinterpret_cast<const std::uint8_t*>(&before);
    const auto* b = reinterpret_cast<const std::uint8_t*>(&after);
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < sizeof(DataImage); ++i) {
        if (a[i] != b[i]) changed.push_back(i);
    }
    return changed;
}

inline void FillImage(DataImage& image, std::uint8_t value) {
    std::memset(static_cast<void*>(&image), value, sizeof(DataImage));
}

// A descriptor from its 13 bytes.
inline CommandDescriptor Descriptor(std::initializer_list<std::uint8_t> bytes) {
    CommandDescriptor d;
    std::size_t i = 0;
    for (std::uint8_t b : bytes) d.bytes.at(i++) = b;
    return d;
}

// A table whose group 0 holds the given records as *000, *001, ...; every other group is empty.
inline CommandTable TableOfGroupZero(const std::vector<CommandDescriptor>& commands) {
    std::vector<CommandDescriptor> records = commands;
    for (std::size_t g = 0; g < kCommandGroupCount; ++g) {
        records.push_back(Descriptor({0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0}));
    }
    records.push_back(Descriptor({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3C, 0, 0, 0}));
    return CommandTable(std::move(records));
}

struct Shown {
    std::uint8_t result = 0;
    std::string text;  // what the show handler appended
};

class HandlerTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();

    TerminalRecord& Terminal() { return state->terminals[0]; }
    DataImage& Image() { return state->image; }
    std::uint8_t& At(int block, std::size_t offset) {
        return *state->image.BlockByte(block, offset);
    }

    // Terminal 1's line as the keypad leaves it at '#': the text, blanks after it, the cursor at
    // its end.
    void WriteLine(std::string_view text) {
        DisplayLine& line = Terminal().line;
        line.Blank();
        line.SetCursor(0);
        line.Append(text);
    }

    std::uint8_t Store(std::string_view text) {
        WriteLine(text);
        return StoreEnteredData(*state, Terminal());
    }

    Shown Show(std::string_view text) {
        WriteLine(text);
        const std::size_t before = Terminal().line.Cursor();
        const std::uint8_t result = ShowCurrentData(*state, Terminal());
        const std::size_t after = Terminal().line.Cursor();
        return {result, std::string(Terminal().line.Text().substr(before, after - before))};
    }

    // Stores and reports the bytes of the image that changed.
    std::uint8_t StoreAndDiff(std::string_view text, std::vector<std::size_t>& changed) {
        const auto before = std::make_unique<DataImage>(state->image);
        const std::uint8_t result = Store(text);
        changed = ChangedBytes(*before, state->image);
        return result;
    }

    std::size_t OffsetOf(int block, std::size_t offset) {
        return ImageOffset(state->image, state->image.BlockByte(block, offset));
    }
    std::size_t OffsetOf(SettingByte setting) {
        return ImageOffset(state->image, &state->image.Setting(setting));
    }

    void UseTable(const CommandTable& table) { state->keypad.command_table = &table; }

    // Types the keys on a terminal through the interpreter, as the command bridge feeds them;
    // the checking terminal (that *007 and the memory view test) is the terminal itself unless
    // given.
    void Type(std::string_view keys, std::uint8_t terminal = 1, int checking = -1) {
        for (char key : keys) {
            state->key_input.current_terminal = terminal;
            state->key_input.checking_terminal =
                static_cast<std::uint8_t>(checking < 0 ? terminal : checking);
            state->key_input.key_word = static_cast<unsigned char>(key);
            ProcessKey(*state);
        }
    }

    // Terminal 1's line without its trailing blanks.
    std::string LineText() {
        std::string text(Terminal().line.Text());
        text.erase(text.find_last_not_of(' ') + 1);
        return text;
    }
};

}  // namespace qzs::testing
