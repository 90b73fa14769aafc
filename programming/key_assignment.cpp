#include "programming/key_assignment.h"

#include <array>

#include "programming/key_layout.h"
#include "programming/state.h"

namespace qzs {
namespace {

struct CodeRange {
    unsigned first;
    unsigned last;
};

constexpr std::array<CodeRange, 13> kAssignableCodes{{
    {0, 8},
    {801, 806},
    {851, 854},
    {861, 864},
    {877, 888},
    {899, 907},
    {927, 932},
    {934, 935},
    {938, 958},
    {964, 972},
    {975, 990},
    {992, 996},
    {998, 999},
}};

}  // namespace

bool IsAssignableKeyCode(unsigned code) {
    for (const CodeRange& r : kAssignableCodes) {
        if (code >= r.first && code <= r.last) return true;
    }
    return false;
}

std::uint16_t CodeToBcd(unsigned code) {
    std::uint16_t bcd = 0;
    for (int shift = 0; shift < 16; shift += 4, code /= 10) {
        bcd = static_cast<std::uint16_t>(bcd | ((code % 10) << shift));
    }
    return bcd;
}

bool AssignKeyClearingDuplicates(ProgrammingState& state, unsigned telephone, unsigned key,
                                 unsigned code) {
    if (code > 999) return false;
    if (!SetKeyAssignment(state, telephone, key, CodeToBcd(code))) return false;
    const std::uint8_t* entry = KeyEntry(state.image, telephone, key);
    if (entry == nullptr) return false;
    const std::array<std::uint8_t, 2> assigned{entry[0], entry[1]};
    for (unsigned other = 1; other <= kKeysPerTelephone; ++other) {
        if (other == key) continue;
        std::uint8_t* e = KeyEntry(state.image, telephone, other);
        if (e[0] == assigned[0] && e[1] == assigned[1]) {
            e[0] = kFunctionCodeEntryKind;
            e[1] = 0;
        }
    }
    return true;
}

}  // namespace qzs
