// What the keypad interpreter and the command bridge keep besides the terminal records: the
// tables they work with, the modelled maintenance memory behind the memory view and edit, the
// last handler call and the key display buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qzs {

class CommandTable;
struct CommandHandlerTable;

// The memory view and edit (*023, *024) address the main unit's own memory, which this program
// does not have. They work on a model instead: one zero-filled work area of 736 bytes at a fixed
// base address chosen here (nothing else in the program uses it), and the device window, which
// has no memory behind it: it reads as 0 and ignores writes. No other address is ever read or
// written.
inline constexpr std::uint32_t kWorkAreaBase = 0x00100000;
inline constexpr std::uint32_t kWorkAreaSize = 736;
inline constexpr std::uint32_t kWorkAreaLast = kWorkAreaBase + kWorkAreaSize - 1;
inline constexpr std::uint32_t kDeviceWindowFirst = 0xFFF02000;
inline constexpr std::uint32_t kDeviceWindowLast = 0xFFF02FFF;

struct MaintenanceMemory {
    std::array<std::uint8_t, kWorkAreaSize> work_area{};
};

// The last store or show that the state machine asked of a handler, so that a caller that fed a
// command can tell a stored value from a shown one without reading the line.
enum class EntryEventKind : std::uint8_t { kNone, kStore, kShow };
struct EntryEvent {
    EntryEventKind kind = EntryEventKind::kNone;
    std::uint8_t result = 0;  // the handler's answer: 0, 1 or 2
};

inline constexpr std::size_t kKeyDisplayBufferSize = 48;

struct KeypadContext {
    // Null selects the built-in table; a test points these at tables of its own.
    const CommandTable* command_table = nullptr;
    const CommandHandlerTable* handler_table = nullptr;

    MaintenanceMemory maintenance_memory;
    // The last handler call of the command being entered; '*' clears it.
    EntryEvent last_entry;

    // The display line of terminal 1 after the last key that PressKey fed, blank padded.
    std::array<char, kKeyDisplayBufferSize> key_display_buffer{};
};

}  // namespace qzs
