// The state that the settings bridge keeps beside the data image: the *619 post flags, the
// speed-dial working copy with its duplicate mode and list, and the lock flags of the telephones'
// buttons. The code that works on them lives in settings/; the types live here so that the one
// ProgrammingState can hold them without the interpreter depending on the bridge.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qzs {

// The *619 posts remember, per first key (two digits) and second key (one digit), whether the
// last post of an entry other than "2" sent the data "0" alone (1) or not (0); the next post of
// entry "2" for the same keys then sends no data. Index 100 x first digit + 10 x second + third.
struct Port619Flags {
    std::array<std::uint32_t, 1000> flags{};
};

// A full copy of the speed-dial block (block 169) that web edits write while duplicate numbers
// are refused; committed over the live rows or discarded page by page.
inline constexpr std::size_t kSpeedDialWorkingCopyBytes = 133480;
struct SpeedDialWorkingCopy {
    std::array<std::uint8_t, kSpeedDialWorkingCopyBytes> bytes{};
};

// 1: a number may not be stored twice (web edits go through the working copy); 0: duplicates are
// allowed (web edits go straight to the live rows).
using DuplicateCheckFlag = std::int32_t;

// The first pair of rows found holding the same number since the list was last cleared (the
// lower row first), the count of every duplicate found, and the telephone position of a
// per-telephone duplicate. Only entry 0 is ever filled.
inline constexpr std::size_t kDuplicateListEntries = 50;
struct DuplicateSpeedDialList {
    std::array<std::array<std::int32_t, 2>, kDuplicateListEntries> entries{};
    std::int32_t count = 0;
    std::int32_t telephone = 0;
};

// Buttons whose function cannot be changed from the PC (1), per telephone 1-64 at index t - 1:
// the 32 one-touch buttons, and 16 paged buttons on each of pages 1-8 (page p, button b at
// 16 (p - 1) + b - 1).
inline constexpr std::size_t kLockFlagTelephones = 64;
inline constexpr std::size_t kOneTouchButtons = 32;
inline constexpr std::size_t kButtonPages = 8;
inline constexpr std::size_t kButtonsPerPage = 16;
using OneTouchLockFlags =
    std::array<std::array<std::uint32_t, kOneTouchButtons>, kLockFlagTelephones>;
using PagedButtonLockFlags =
    std::array<std::array<std::uint8_t, kButtonPages * kButtonsPerPage>, kLockFlagTelephones>;

}  // namespace qzs
