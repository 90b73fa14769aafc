#include "engine/output/unicode_aj1.h"

#include <algorithm>

namespace kp {

namespace {

constexpr UnicodeCidRange kRanges[] = {
#include "unicode_aj1_ranges.inc"
};
static_assert(std::size(kRanges) == kUnicodeAj1RangeCount);

}  // namespace

std::span<const UnicodeCidRange> UnicodeAj1Ranges() {
    return kRanges;
}

int UnicodeToAj1Cid(char16_t code) {
    // The generator checked that the ranges ascend without overlapping.
    auto it = std::lower_bound(std::begin(kRanges), std::end(kRanges), code,
                               [](const UnicodeCidRange& r, char16_t c) { return r.last < c; });
    if (it == std::end(kRanges) || code < it->first) return -1;
    return it->cid + (code - it->first);
}

}  // namespace kp
