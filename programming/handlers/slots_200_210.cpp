// Slot 210: *9361, the profile flag and the default profile it loads.
#include <cstddef>
#include <cstdint>

#include "programming/default_profile.h"
#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// Block 80, byte 47: the flag under the descriptor's mask.
constexpr int kProfileFlagBlock = 80;
constexpr std::size_t kProfileFlagByte = 47;

std::uint8_t& ProfileFlagByte(DataImage& image) {
    return *image.BlockByte(kProfileFlagBlock, kProfileFlagByte);
}

}  // namespace

// Reached after the Y/N confirmation with the chosen digit at the first field.
std::uint8_t StoreHandler210(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t profile = ParseByteField(record, FirstFieldPosition(state), 1, 0, 1);
    if (profile == kFieldRefused) return kHandlerRejected;
    SetMaskBits(ProfileFlagByte(state.image), CurrentDescriptor(state).Mask(), profile);
    return LoadDefaultSettings(state.image, profile);
}

// Shows the flag with its own "c": the confirmation entry steps the cursor back over both, so
// that the digit typed next overwrites them.
std::uint8_t ShowHandler210(ProgrammingState& state, TerminalRecord& record) {
    AppendMaskFlag(record, ProfileFlagByte(state.image), CurrentDescriptor(state).Mask());
    record.line.Append('c');
    return kHandlerAccepted;
}

}  // namespace qzs
