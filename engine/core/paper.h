// Standard paper sizes by their printer paper number.
#pragma once

#include <cstdint>

namespace kp {

inline constexpr int32_t kPaperUserDefined = 256;

// Known paper numbers: 1-47, 50-118 and the user-defined size 256.
bool IsKnownPaperSize(int32_t code);

// (width << 16) | height in 0.1 mm; -1 for the user-defined size and unknown numbers.
int32_t GetPaperDimensions(int32_t code);

}  // namespace kp
