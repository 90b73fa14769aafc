// The function codes a telephone key can carry (0-999): for each code of 0-69, 800-899 and
// 900-999 a 61-byte row with the feature index of the code and its label. Two families of
// labels exist; which one a telephone uses depends on its terminal attributes. Codes 70-799 have
// no row and no feature.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "programming/terminal.h"

namespace qzs {

enum class FunctionCodeFamily : std::uint8_t {
    kA,  // full-width names with an English short form
    kB,  // half-width katakana or Latin letters
};

inline constexpr std::size_t kFunctionCodeRowBytes = 61;
inline constexpr std::size_t kFunctionCodeLabelBytes = kFunctionCodeRowBytes - 1;
inline constexpr unsigned kFunctionCodeRowsPerFamily = 270;

// Laid out as the row is stored: byte 0 the feature index, then the label as CP932 text ended
// by NUL and padded with NULs.
struct FunctionCodeRow {
    std::uint8_t feature;
    char label[kFunctionCodeLabelBytes];

    // The label's bytes up to its NUL.
    std::string_view Label() const;
};
static_assert(sizeof(FunctionCodeRow) == kFunctionCodeRowBytes);

// The row of code in the family; nullptr for a code without a row (70-799, 1000 and above).
const FunctionCodeRow* FindFunctionCodeRow(FunctionCodeFamily family, unsigned code);

// Feature index of the code in the family; 0 for a code without a row.
std::uint8_t FunctionFeatureIndex(FunctionCodeFamily family, unsigned code);

// Family A for a terminal whose attribute byte 1 is 0 and attribute byte 2 is 16 or 17,
// family B for every other terminal.
FunctionCodeFamily FunctionCodeFamilyOf(const TerminalRecord& record);

}  // namespace qzs
