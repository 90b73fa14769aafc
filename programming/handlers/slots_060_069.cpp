// Slot 61: *007, the clear and reset entry with its confirmation prompt.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/work_areas.h"

namespace qzs {
namespace {

// The prompt word at the start of the field: the reset word, or else the clear word (katakana or
// Latin letters by the display setting), which is followed by " Y:1/N:0 " and the answer digit.
constexpr std::array<char, 4> kResetWord{'\xD8', '\xBE', '\xAF', '\xC4'};
constexpr std::size_t kClearAnswerOffset = 12;

// The terminal that may run *007 without being listed; it may reset but never clear.
constexpr std::uint8_t kServiceTerminal = 129;

// Block 3, bytes 42 and 43: the two terminals allowed to run *007 (and to view memory).
constexpr int kAllowedTerminalBlock = 3;
constexpr std::array<std::size_t, 2> kAllowedTerminalBytes{42, 43};

// The signature bytes a confirmed clear leaves, so that the image no longer counts as initialised.
constexpr std::array<std::uint8_t, 4> kClearedSignature{0xFF, 0xFF, 0xFF, 0x00};

bool IsAllowedTerminal(const DataImage& image, std::uint8_t terminal) {
    // 0 in either byte means that no terminal is listed there; the checking terminal is 0 when no
    // caller has named one, and the two must not count as a match.
    if (terminal == 0) return false;
    return std::any_of(kAllowedTerminalBytes.begin(), kAllowedTerminalBytes.end(),
                       [&](std::size_t offset) {
                           return *image.BlockByte(kAllowedTerminalBlock, offset) == terminal;
                       });
}

bool HoldsResetWord(const TerminalRecord& record, std::size_t position) {
    for (std::size_t i = 0; i < kResetWord.size(); ++i) {
        if (record.line.At(position + i) != kResetWord[i]) return false;
    }
    return true;
}

}  // namespace

// Reached once the answer digit of the prompt has been typed. A reset is accepted and changes
// nothing; a confirmed clear spoils the signature and empties the work areas.
std::uint8_t StoreHandler061(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t terminal = state.key_input.checking_terminal;
    const std::size_t p = FirstFieldPosition(state);
    const bool reset = HoldsResetWord(record, p);
    if (IsAllowedTerminal(state.image, terminal)) {
        if (!reset && record.line.At(p + kClearAnswerOffset) == '1') {
            std::copy(kClearedSignature.begin(), kClearedSignature.end(),
                      state.image.Block(kSignatureBlock).begin());
            ClearWorkAreas(state.image);
        }
        return kHandlerAccepted;
    }
    if (terminal == kServiceTerminal && reset) return kHandlerAccepted;
    return kHandlerRejected;
}

}  // namespace qzs
