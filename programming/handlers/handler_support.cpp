#include "programming/handlers/handler_support.h"

namespace qzs {

const CommandDescriptor& CurrentDescriptor(const ProgrammingState& state) {
    return ActiveCommandTable(state).At(state.current_command.index);
}

std::uint8_t* ResolvePlace(DataImage& image, const BytePlace& place, std::uint8_t pointer_entry) {
    switch (place.kind) {
        case BytePlace::Kind::kBlock:
            return image.BlockByte(place.block, place.offset);
        case BytePlace::Kind::kPointer:
            return DataBytePointer(image, unsigned{pointer_entry} + place.offset);
        case BytePlace::Kind::kSetting:
            if (place.setting >= SettingByte::kCount) return nullptr;
            return &image.Setting(place.setting);
    }
    return nullptr;
}

bool SetMaskBits(std::uint8_t& byte, std::uint8_t mask, std::uint8_t value) {
    if (value != 0) {
        byte = static_cast<std::uint8_t>(byte | mask);
        return (byte & mask) == mask;
    }
    byte = static_cast<std::uint8_t>(byte & ~mask);
    return (byte & mask) == 0;
}

void AppendMaskFlag(TerminalRecord& record, std::uint8_t byte, std::uint8_t mask) {
    record.line.Append((byte & mask) != 0 ? '1' : '0');
}

void CopyLineText(const TerminalRecord& record, std::size_t position,
                  std::span<std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(record.line.At(position + i));
    }
}

void AppendStoredText(TerminalRecord& record, std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes) record.line.Append(b < 0x20 ? ' ' : static_cast<char>(b));
}

namespace {
constexpr std::uint8_t kUnitDigits = 2;
constexpr std::uint8_t kRefused = 255;
}  // namespace

bool ParseUnitRange(const ProgrammingState& state, const TerminalRecord& record,
                    std::uint8_t highest, UnitRange& range) {
    const std::uint8_t p = FirstFieldPosition(state);
    // "-" right after the first unit: no last unit; "-" one place later: a one-digit last unit.
    if (record.line.At(p + 4u) == '-') return false;
    const std::uint8_t first = ParseByteField(record, p, kUnitDigits, 1, highest);
    if (first == kRefused) return false;
    if (record.line.At(p + 3u) == '-') {
        range = {first, first, static_cast<std::uint8_t>(p + 4)};
        return true;
    }
    const std::uint8_t last =
        ParseByteField(record, static_cast<std::uint8_t>(p + 3), kUnitDigits, first, highest);
    if (last == kRefused) return false;
    range = {first, last, static_cast<std::uint8_t>(p + 6)};
    return true;
}

std::uint8_t ParseSingleUnit(const ProgrammingState& state, const TerminalRecord& record,
                             std::uint8_t highest) {
    const std::uint8_t p = FirstFieldPosition(state);
    if (record.line.At(p + 3u) != '-') return kRefused;
    return ParseByteField(record, p, kUnitDigits, 1, highest);
}

ValuePair ParseValuePair(const TerminalRecord& record, std::uint8_t position, std::uint8_t min,
                         std::uint8_t max) {
    const auto second_at = static_cast<std::uint8_t>(position + 2);
    ValuePair pair;
    pair.first = ParseByteField(record, position, 1, min, max);
    pair.second = record.line.At(second_at) == ' ' ? pair.first
                                                   : ParseByteField(record, second_at, 1, min, max);
    return pair;
}

namespace {
std::uint8_t* UnitByte(DataImage& image, const UnitPairItem& item, unsigned unit,
                       std::uint8_t byte) {
    return image.BlockByte(item.block, std::size_t{item.record_bytes} * (unit - 1u) + byte);
}

bool IsAllowed(const UnitPairItem& item, std::uint8_t value) {
    return value < 16 && (item.allowed >> value & 1u) != 0;
}
}  // namespace

std::uint8_t StoreUnitPair(ProgrammingState& state, TerminalRecord& record,
                           const UnitPairItem& item, std::uint8_t highest) {
    UnitRange range;
    if (!ParseUnitRange(state, record, highest, range)) return kHandlerRejected;
    const ValuePair values = ParseValuePair(record, range.data, 0, 9);
    if (values.Refused() || !IsAllowed(item, values.first) || !IsAllowed(item, values.second)) {
        return kHandlerRejected;
    }
    for (unsigned unit = range.first; unit <= range.last; ++unit) {
        std::uint8_t* first = UnitByte(state.image, item, unit, item.first_byte);
        std::uint8_t* second = UnitByte(state.image, item, unit, item.second_byte);
        if (first == nullptr || second == nullptr) return kHandlerRejected;
        item.field.set(values.first, *first);
        item.field.set(values.second, *second);
        if (item.field.get(*first) != values.first || item.field.get(*second) != values.second) {
            return kHandlerMismatch;
        }
    }
    return kHandlerAccepted;
}

std::uint8_t ShowUnitPair(ProgrammingState& state, TerminalRecord& record, const UnitPairItem& item,
                          std::uint8_t highest) {
    const std::uint8_t unit = ParseSingleUnit(state, record, highest);
    if (unit == kRefused) return kHandlerRejected;
    const std::uint8_t* first = UnitByte(state.image, item, unit, item.first_byte);
    const std::uint8_t* second = UnitByte(state.image, item, unit, item.second_byte);
    if (first == nullptr || second == nullptr) return kHandlerRejected;
    AppendDigit(record, item.field.get(*first));
    record.line.Append(',');
    AppendDigit(record, item.field.get(*second));
    return kHandlerAccepted;
}

std::span<std::uint8_t> BlockBytes(DataImage& image, int block, std::size_t offset,
                                   std::size_t count) {
    auto bytes = image.Block(block);
    if (offset > bytes.size() || count > bytes.size() - offset) return {};
    return bytes.subspan(offset, count);
}

}  // namespace qzs
