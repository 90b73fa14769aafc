// The run-time display-character table of codes 32-255 and the hook a display would reload its
// character generator through.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace qzs {

inline constexpr unsigned kFirstDisplayCode = 32;
inline constexpr unsigned kDisplayCharacterCount = 224;  // codes 32-255

struct DisplayCharacterTable {
    // Called with each code and its table entry. This program drives no display of its own, so
    // no hook is set unless a caller wants to see the reloads.
    using Hook = std::function<void(std::uint8_t code, std::uint8_t entry)>;

    DisplayCharacterTable();

    // Entry for code c at index c - 32; starts as each code's own character.
    std::array<std::uint8_t, kDisplayCharacterCount> entries{};
    Hook hook;
};

// Hands each of the 224 entries with its code to the hook; store handlers call it after a change
// of the display settings.
void ReloadCharacterTable(const DisplayCharacterTable& table);

}  // namespace qzs
