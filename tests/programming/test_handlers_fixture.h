// What the handler and dispatch tests share: a state with terminal 1's line written as the keypad
// leaves it when '#' reaches a handler, a snapshot of the data image to diff against, a way to
// give the state a command table of the test's own, and the case runner that types command
// strings on a started image and checks the line and every changed byte.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
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
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"

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

struct ShownText {
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

    ShownText Show(std::string_view text) {
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


// ---------------------------------------------------------------------------------------------
// Table-driven cases typed through the command bridge

// A byte of the image: block and offset, a setting byte outside the blocks, or a byte of a
// table outside the blocks (named, and found by a function of the image).
struct Place {
    int block = -1;  // -1: the setting byte or the table byte below
    std::size_t offset = 0;
    SettingByte setting = SettingByte::kCount;
    std::string table;                            // name of a table outside the blocks
    std::uint8_t* (*table_byte)(DataImage&, std::size_t) = nullptr;

    std::uint8_t* In(DataImage& image) const {
        if (block >= 0) return image.BlockByte(block, offset);
        if (table_byte != nullptr) return table_byte(image, offset);
        return &image.Setting(setting);
    }
    std::string Name() const {
        std::ostringstream s;
        if (block >= 0) {
            s << "block " << block << " byte " << offset;
        } else if (table_byte != nullptr) {
            s << table << " byte " << offset;
        } else {
            s << "setting byte " << static_cast<int>(setting);
        }
        return s.str();
    }
    bool operator==(const Place& o) const {
        return block == o.block && offset == o.offset && table_byte == o.table_byte &&
               (block >= 0 || table_byte != nullptr || setting == o.setting);
    }
};

inline Place B(int block, std::size_t offset) {
    return Place{block, offset, SettingByte::kCount, {}, nullptr};
}
inline Place S(SettingByte s) {
    return Place{-1, 0, s, {}, nullptr};
}
// Byte `offset` of a table outside the blocks, for example
//   T("*191 table", [](DataImage& i, std::size_t o) { return TableByte(i.some_table, o); }, 5)
inline Place T(std::string name, std::uint8_t* (*table_byte)(DataImage&, std::size_t),
               std::size_t offset) {
    return Place{-1, offset, SettingByte::kCount, std::move(name), table_byte};
}
// The byte at `offset` of any trivially copyable member (an array of records, a struct); nullptr
// past its end, which the runner reports as a failure.
template <typename Member>
std::uint8_t* TableByte(Member& member, std::size_t offset) {
    static_assert(std::is_trivially_copyable_v<Member>);
    if (offset >= sizeof(Member)) return nullptr;
    return reinterpret_cast<std::uint8_t*>(&member) + offset;
}

// After the command the bits under the mask hold the value; every other bit keeps its value.
struct Change {
    Place place;
    std::uint8_t mask = 0xFF;
    std::uint8_t value = 0;
};

struct Step {
    std::string keys;
    CommandResult result = CommandResult::kStored;
    std::string line;             // the display line without its trailing blanks
    std::vector<Change> changes;  // nothing else of the image may change
};

inline Step Stored(std::string keys, std::string line, std::vector<Change> changes) {
    return Step{std::move(keys), CommandResult::kStored, std::move(line), std::move(changes)};
}
inline Step Shown(std::string keys, std::string line) {
    return Step{std::move(keys), CommandResult::kShown, std::move(line), {}};
}
inline Step Refused(std::string keys) {
    return Step{std::move(keys), CommandResult::kRejected, "--P", {}};
}

struct Case {
    std::string name;
    std::vector<std::string> setup;  // run first, each must be taken
    std::vector<Step> steps;
};

inline std::string TrimLine(std::string line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\0')) line.pop_back();
    return line;
}

inline const char* ResultName(CommandResult r) {
    switch (r) {
        case CommandResult::kStored:
            return "stored";
        case CommandResult::kShown:
            return "shown";
        case CommandResult::kMismatch:
            return "mismatch";
        case CommandResult::kRejected:
            return "rejected";
        case CommandResult::kIncomplete:
            return "incomplete";
    }
    return "?";
}

// Where an offset of the image object lies, for messages.
inline std::string DescribeOffset(const DataImage& image, std::size_t offset) {
    const auto* base = reinterpret_cast<const std::uint8_t*>(&image);
    for (int b = 0; b < kBlockCount; ++b) {
        const auto block = image.Block(b);
        const std::uint8_t* first = block.data();
        if (base + offset >= first && base + offset < first + block.size()) {
            return "block " + std::to_string(b) + " byte " +
                   std::to_string(static_cast<std::size_t>(base + offset - first));
        }
    }
    const std::uint8_t* settings = image.setting_bytes.data();
    if (base + offset >= settings && base + offset < settings + image.setting_bytes.size()) {
        return "setting byte " + std::to_string(static_cast<std::size_t>(base + offset - settings));
    }
    return "image offset " + std::to_string(offset);
}

// Command strings typed on terminal 1 of a freshly started image through the command bridge; each
// step's result, display line and every changed byte of the image are compared.
class HandlerCheck : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();

    void SetUp() override { InitDataImage(*state); }

    void Run(const Case& c) {
        SCOPED_TRACE(c.name);
        for (const std::string& keys : c.setup) {
            const CommandRun run = RunCommandForResult(*state, 1, keys);
            ASSERT_EQ(run.result, CommandResult::kStored) << "setup " << keys << ": " << run.line;
        }
        for (const Step& step : c.steps) RunStep(step);
    }

    void RunStep(const Step& step) {
        SCOPED_TRACE(step.keys);
        DataImage& image = state->image;
        std::vector<std::uint8_t> before(sizeof(DataImage));
        std::memcpy(before.data(), static_cast<const void*>(&image), sizeof(DataImage));

        const CommandRun run = RunCommandForResult(*state, 1, step.keys);
        EXPECT_EQ(ResultName(run.result), std::string(ResultName(step.result)));
        EXPECT_EQ(TrimLine(run.line), step.line);

        std::vector<std::uint8_t> expected = before;
        const auto* base = reinterpret_cast<const std::uint8_t*>(&image);
        for (const Change& change : step.changes) {
            const std::uint8_t* byte = change.place.In(image);
            ASSERT_NE(byte, nullptr) << change.place.Name();
            const auto at = static_cast<std::size_t>(byte - base);
            expected[at] = static_cast<std::uint8_t>((expected[at] & ~change.mask) |
                                                     (change.value & change.mask));
        }
        std::vector<std::uint8_t> after(sizeof(DataImage));
        std::memcpy(after.data(), static_cast<const void*>(&image), sizeof(DataImage));
        int reported = 0;
        for (std::size_t i = 0; i < after.size() && reported < 8; ++i) {
            if (after[i] != expected[i]) {
                ++reported;
                ADD_FAILURE() << DescribeOffset(image, i) << ": before 0x" << std::hex
                              << int{before[i]} << ", expected 0x" << int{expected[i]} << ", got 0x"
                              << int{after[i]};
            }
        }
    }
};

}  // namespace qzs::testing
