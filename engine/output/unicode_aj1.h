// The Unicode to Adobe-Japan1 CID mapping (UniJIS-UCS2-H), as ascending ranges of UTF-16 code
// units. The table is generated at build time from Debian's poppler-data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kp {

struct UnicodeCidRange {
    uint16_t first;  // first code unit
    uint16_t last;   // last code unit
    uint16_t cid;    // CID of `first`; the CIDs of the range follow on
};

inline constexpr size_t kUnicodeAj1RangeCount = 8533;

std::span<const UnicodeCidRange> UnicodeAj1Ranges();

// The CID of a code unit, or -1 when no range holds it.
int UnicodeToAj1Cid(char16_t code);

}  // namespace kp
