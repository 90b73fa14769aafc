#include "settings/form_command.h"

#include <array>
#include <optional>

#include "programming/key_assignment.h"
#include "programming/key_layout.h"
#include "programming/port_codecs.h"
#include "programming/state.h"

namespace qzs {
namespace {

constexpr unsigned kKeyNumberForKey31 = 99;

}  // namespace

std::optional<unsigned> CommandText::Digits(std::size_t position, std::size_t n) const {
    unsigned value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = At(position + i);
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

std::optional<std::uint8_t> CommandText::TelephoneCode(std::size_t position) const {
    const std::optional<unsigned> x = Digits(position, 1);
    const std::optional<unsigned> yy = Digits(position + 1, 2);
    if (!x || !yy) return std::nullopt;
    const int index = (static_cast<int>(*x) - 1) * 36 + static_cast<int>(*yy);
    if (index < 1 || index > 255) return std::uint8_t{0};
    return MapSlotCode(static_cast<std::uint8_t>(index));
}

bool ApplyKeyAssignmentCommand(ProgrammingState& state, std::string_view text,
                               char short_value_end) {
    const CommandText t(text);
    if (!t.Is("030")) return false;
    // The whole position counts: reading only YY would take a telephone 2YY for 1YY.
    const std::optional<std::uint8_t> telephone = t.TelephoneCode(4);
    std::optional<unsigned> key = t.Digits(7, 2);
    const bool two_digits = t.At(11) == short_value_end || t.EndsAt(11);
    const std::optional<unsigned> code = two_digits ? t.Digits(9, 2) : t.Digits(9, 3);
    if (!telephone || !key || !code) return false;
    if (*key == kKeyNumberForKey31) key = 31;
    if (*telephone < 1 || *telephone > kKeyLayoutTelephones) return false;
    if (*key < 1 || *key > kKeysPerTelephone || !IsAssignableKeyCode(*code)) return false;
    ApplicationLock::Guard guard(state.lock);
    return AssignKeyClearingDuplicates(state, *telephone, *key, *code);
}

}  // namespace qzs
