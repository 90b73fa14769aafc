#include "programming/function_codes.h"

namespace qzs {
namespace {

// Made at build time from function_codes.txt, the labels converted to CP932.
constexpr FunctionCodeRow kFunctionCodeRows[2][kFunctionCodeRowsPerFamily] = {
#include "function_codes_data.inc"
};

int RowOf(unsigned code) {
    if (code <= 69) return static_cast<int>(code);
    if (code >= 800 && code <= 999) return static_cast<int>(70 + (code - 800));
    return -1;
}

}  // namespace

std::string_view FunctionCodeRow::Label() const {
    std::size_t n = 0;
    while (n < kFunctionCodeLabelBytes && label[n] != '\0') ++n;
    return {label, n};
}

const FunctionCodeRow* FindFunctionCodeRow(FunctionCodeFamily family, unsigned code) {
    int row = RowOf(code);
    if (row < 0) return nullptr;
    return &kFunctionCodeRows[family == FunctionCodeFamily::kA ? 0 : 1][row];
}

std::uint8_t FunctionFeatureIndex(FunctionCodeFamily family, unsigned code) {
    const FunctionCodeRow* row = FindFunctionCodeRow(family, code);
    return row ? row->feature : 0;
}

FunctionCodeFamily FunctionCodeFamilyOf(const TerminalRecord& record) {
    const bool family_a =
        record.attributes[1] == 0 && (record.attributes[2] == 16 || record.attributes[2] == 17);
    return family_a ? FunctionCodeFamily::kA : FunctionCodeFamily::kB;
}

}  // namespace qzs
