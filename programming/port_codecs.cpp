#include "programming/port_codecs.h"

#include <cstddef>
#include <optional>

#include "programming/digit_fields.h"

namespace qzs {

namespace {

// A position number XYY split into X and YY.
struct PositionDigits {
    std::uint8_t x = 0;
    std::uint8_t yy = 0;

    bool IsNone() const { return x == 0 && yy == 0; }
};

// The keypad lets only digits into these fields, but a line built some other way may hold a
// blank or a separator there. Taken as digits, such characters wrap round in byte arithmetic and
// can land on an accepted position ("1/;" would read as 101), so they refuse the field instead.
std::optional<PositionDigits> ReadPositionDigits(const TerminalRecord& record,
                                                 std::uint8_t position) {
    std::uint8_t digits[3];
    for (std::size_t i = 0; i < 3; ++i) {
        const char c = record.line.At(std::size_t{position} + i);
        if (c < '0' || c > '9') return std::nullopt;
        digits[i] = static_cast<std::uint8_t>(c - '0');
    }
    return PositionDigits{digits[0], static_cast<std::uint8_t>(10 * digits[1] + digits[2])};
}

bool InFirstBank(std::uint8_t yy) {
    return yy >= 1 && yy <= kFirstBankCapacity;
}
bool InSecondBank(std::uint8_t yy) {
    return yy >= 37 && yy <= 36 + kFirstBankCapacity;
}

}  // namespace

std::uint8_t ParsePosition36(const TerminalRecord& record, std::uint8_t position) {
    const std::optional<PositionDigits> d = ReadPositionDigits(record, position);
    if (!d) return kPositionRefused;
    if (d->IsNone()) return 0;
    if (d->x < 1 || d->x > 3 || d->yy < 1 || d->yy > 36) return kPositionRefused;
    const unsigned index = (d->x - 1u) * 36u + d->yy;
    return index <= kFirstBankCapacity ? static_cast<std::uint8_t>(index) : kPositionRefused;
}

std::uint8_t ParsePosition1(const TerminalRecord& record, std::uint8_t position) {
    const std::optional<PositionDigits> d = ReadPositionDigits(record, position);
    if (!d) return kPositionRefused;
    if (d->IsNone()) return 0;
    if (d->x != 1) return kPositionRefused;
    const bool accepted = (d->yy >= 1 && d->yy <= 6) || (d->yy >= 9 && d->yy <= 12);
    return accepted && d->yy <= kFirstBankCapacity ? d->yy : kPositionRefused;
}

std::uint8_t ParsePositionSpecial(const TerminalRecord& record, std::uint8_t position) {
    const std::optional<PositionDigits> d = ReadPositionDigits(record, position);
    if (!d) return kPositionRefused;
    if (d->x == 8 && d->yy <= 15) return static_cast<std::uint8_t>(129 + d->yy);
    return ParsePositionOrSpecial(record, position);
}

std::uint8_t ParsePositionOrSpecial(const TerminalRecord& record, std::uint8_t position) {
    const std::optional<PositionDigits> d = ReadPositionDigits(record, position);
    if (!d) return kPositionRefused;
    if (d->IsNone()) return 0;
    if (d->x == 1 && (InFirstBank(d->yy) || InSecondBank(d->yy))) return d->yy;
    return kPositionRefused;
}

std::uint8_t ParsePosition72(const TerminalRecord& record, std::uint8_t position) {
    const std::optional<PositionDigits> d = ReadPositionDigits(record, position);
    if (!d) return kPositionRefused;
    if (d->IsNone()) return 0;
    if (d->x < 1 || d->x > 3 || d->yy < 1 || d->yy > 72) return kPositionRefused;
    const std::uint8_t index = ParsePositionOrSpecial(record, position);
    // Positions 37-72 of each group of 72 are the second bank, which reaches index 48; the
    // first half reaches only the first bank's capacity.
    const unsigned linear = (d->x - 1u) * 72u + d->yy;
    const bool second_half = (linear - 1) % 72 >= 36;
    const unsigned limit = second_half ? 36u + kFirstBankCapacity : kFirstBankCapacity;
    return index <= limit ? index : kPositionRefused;
}

std::uint8_t SlotCodeOfPosition(std::uint8_t index) {
    if (index >= 1 && index <= 4) return index;
    if (index >= 5 && index <= 8) return static_cast<std::uint8_t>(index + 4);
    if (index >= 9 && index <= 12) return static_cast<std::uint8_t>(index + 24);
    return 0;
}

std::uint16_t PositionOfSlotCode(std::uint8_t code) {
    if (code >= 1 && code <= 4) return static_cast<std::uint16_t>(100 + code);
    if (code >= 9 && code <= 12) return static_cast<std::uint16_t>(96 + code);
    if (code >= 33 && code <= 36) return static_cast<std::uint16_t>(76 + code);
    return 0;
}

std::uint8_t MapSlotCode(std::uint8_t index) {
    return index > 128 ? index : SlotCodeOfPosition(index);
}

std::uint8_t MapSlotCodeWide(std::uint8_t index) {
    if (index == 0 || index > 128) return index;
    unsigned value = index;
    if (value >= 37 && value <= 72) value += 28;
    if (value <= 64) return SlotCodeOfPosition(static_cast<std::uint8_t>(value));
    return static_cast<std::uint8_t>(SlotCodeOfPosition(static_cast<std::uint8_t>(value - 64)) +
                                     64);
}

std::uint8_t MapCrCode(std::uint8_t index) {
    return index == 13 ? 37 : index;
}

std::uint8_t KeepCode(std::uint8_t code) {
    return code;
}

void AppendPortCode(TerminalRecord& record, std::uint8_t code) {
    std::uint16_t number = 0;
    if (code == 0) {
        number = 0;
    } else if (code <= 64) {
        number = PositionOfSlotCode(code);
    } else if (code <= 128) {
        number = static_cast<std::uint16_t>(PositionOfSlotCode(code - 64) + 36);
    } else if (code <= 228) {
        number = static_cast<std::uint16_t>(800 + (code - 129));
    } else {
        // 229-255 would be special positions 8100-8126, which have no three-digit form: shown
        // digit by digit they put ':', ';' and '<' on the line. They arrive only in loaded or
        // received data, so the code itself is shown; no parser accepts it back.
        number = code;
    }
    AppendNumber(record, number, 3, 10);
}

std::uint8_t GetUnitLimit() {
    return kFirstBankCapacity;
}

bool IsPairUsedByOtherUnit(const DataImage& image, std::uint8_t own_entry, std::uint8_t number,
                           std::uint8_t code) {
    for (unsigned unit = 1; unit <= GetUnitLimit(); ++unit) {
        if (unit == 7 || unit == 8) continue;  // positions 107 and 108 hold no unit
        const unsigned entry = unit < 9 ? unit : unit - 2;
        if (entry == own_entry) continue;
        const auto& unit_entry = image.unit_entry_table[entry - 1];
        if (unit_entry[1] == number && (unit_entry[0] & 0x1F) == code &&
            image.unit_status_table[entry - 1][0] != kUnitNotInUse) {
            return true;
        }
    }
    return false;
}

}  // namespace qzs
