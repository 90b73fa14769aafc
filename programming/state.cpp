#include "programming/state.h"

#include <type_traits>

namespace qzs {

// Start-up clears the terminal records as one run of bytes; that needs plain records.
static_assert(std::is_trivially_copyable_v<TerminalRecord>);
static_assert(std::is_standard_layout_v<TerminalRecord>);

}  // namespace qzs
