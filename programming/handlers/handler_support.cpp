#include "programming/handlers/handler_support.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "programming/packed_digits.h"

namespace qzs {

namespace {

constexpr std::uint8_t kCodeRefused = 255;

// A filter whose allowed entries are the values listed and the runs [first, last] given in pairs;
// every other entry refuses.
template <std::size_t N>
constexpr std::array<std::uint8_t, N> MakeCodeFilter(
    std::initializer_list<std::uint8_t> values,
    std::initializer_list<std::pair<std::uint8_t, std::uint8_t>> runs) {
    std::array<std::uint8_t, N> filter{};
    for (auto& entry : filter) entry = kCodeRefused;
    for (std::uint8_t v : values) filter[v] = v;
    for (const auto& [first, last] : runs) {
        for (std::size_t v = first; v <= last; ++v) filter[v] = static_cast<std::uint8_t>(v);
    }
    return filter;
}

}  // namespace

constexpr std::array<std::uint8_t, kCodeFilterABytes> CodeFilterA =
    MakeCodeFilter<kCodeFilterABytes>({0, 9},
                                      {{11, 14}, {21, 24}, {31, 34}, {41, 44}, {51, 54}, {61, 64}});
constexpr std::array<std::uint8_t, kCodeFilterBBytes> CodeFilterB =
    MakeCodeFilter<kCodeFilterBBytes>({0},
                                      {{7, 14}, {20, 24}, {30, 34}, {40, 44}, {50, 54}, {60, 64}});

// Entry 50 of the third filter holds 40 in the main unit's table: it refuses 50 like the other
// entries that differ from their index, and is kept as it stands.
constexpr std::array<std::uint8_t, kCodeFilterCBytes> CodeFilterC = [] {
    auto filter = MakeCodeFilter<kCodeFilterCBytes>(
        {}, {{10, 16}, {20, 26}, {30, 36}, {40, 46}, {51, 56}, {60, 66}});
    filter[50] = 40;
    return filter;
}();

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

std::uint16_t ParseDigitWord(const TerminalRecord& record, std::uint8_t position, std::uint8_t n,
                             std::uint16_t min, std::uint16_t max) {
    for (std::size_t i = 0; i < n; ++i) {
        const char c = record.line.At(position + i);
        if (c < '0' || c > '9') return 0xFFFF;
    }
    return ParseWordField(record, position, n, min, max);
}

std::span<std::uint8_t> BlockBytes(DataImage& image, int block, std::size_t offset,
                                   std::size_t count) {
    auto bytes = image.Block(block);
    if (offset > bytes.size() || count > bytes.size() - offset) return {};
    return bytes.subspan(offset, count);
}

namespace {

// Offsets from the first key field: the "-" after the key fields and the index, by form.
struct RangeLayout {
    std::uint8_t dash;
    std::uint8_t index;
};

RangeLayout SingleLayout(std::uint8_t index_digits) {
    // "101,-": the empty last position is the last key field. "101,,ii-": it is followed by ","
    // and the index.
    if (index_digits == 0) return {4, 0};
    return {static_cast<std::uint8_t>(5 + index_digits), 5};
}

RangeLayout RangeFormLayout(std::uint8_t index_digits) {
    if (index_digits == 0) return {7, 0};
    return {static_cast<std::uint8_t>(8 + index_digits), 8};
}

}  // namespace

PositionRange ParsePositionRange(const TerminalRecord& record, std::uint8_t p,
                                 const PositionClass& positions, std::uint8_t index_digits) {
    const RangeLayout single = SingleLayout(index_digits);
    const RangeLayout range = RangeFormLayout(index_digits);
    const bool is_single = record.line.At(std::size_t{p} + single.dash) == '-' &&
                           (index_digits == 0 || record.line.At(std::size_t{p} + 4) == ',');
    const RangeLayout& layout = is_single ? single : range;
    if (!is_single && record.line.At(std::size_t{p} + range.dash) != '-') return {};

    const std::uint8_t first = positions.read(record, p);
    const std::uint8_t last =
        is_single ? first : positions.read(record, static_cast<std::uint8_t>(p + 4));
    if (first == 0 || first == kPositionRefused || last == 0 || last == kPositionRefused ||
        first > last) {
        return {};
    }
    PositionRange result;
    result.first = first;
    result.last = last;
    result.single = is_single;
    result.index_at = static_cast<std::uint8_t>(p + layout.index);
    result.data_at = static_cast<std::uint8_t>(p + layout.dash + 1);
    return result;
}

std::uint8_t ParseSinglePositionPort(const TerminalRecord& record, std::uint8_t p,
                                     const PositionClass& positions, std::uint8_t index_digits) {
    const PositionRange range = ParsePositionRange(record, p, positions, index_digits);
    if (!range.Valid() || !range.single) return 0;
    const std::uint8_t code = positions.map(range.first);
    return code == kPositionRefused ? 0 : code;
}

std::span<std::uint8_t> PortRecord(DataImage& image, int block, std::size_t record_bytes,
                                   std::uint8_t code) {
    if (code == 0) return {};
    return BlockBytes(image, block, record_bytes * (code - 1u), record_bytes);
}

std::uint8_t TypedDigits(const TerminalRecord& record, std::size_t position, std::uint8_t n) {
    std::uint8_t count = 0;
    while (count < n) {
        const char c = record.line.At(position + count);
        if (c < '0' || c > '9') break;
        ++count;
    }
    return count;
}

bool IsLoneZero(const TerminalRecord& record, std::size_t position) {
    return FieldIs(record, position, "0");
}

bool FieldIs(const TerminalRecord& record, std::size_t position, std::string_view digits) {
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (record.line.At(position + i) != digits[i]) return false;
    }
    const char after = record.line.At(position + digits.size());
    return after < '0' || after > '9';
}

std::uint8_t StoreDialNumber(const TerminalRecord& record, std::uint8_t n, std::uint8_t position,
                             std::span<std::uint8_t> bytes) {
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
    PackDialDigits(record, n, position, bytes);
    return VerifyDialDigits(record, n, position, bytes);
}

std::uint8_t ZeroAndCheck(std::span<std::uint8_t> bytes) {
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; })
               ? kHandlerAccepted
               : kHandlerMismatch;
}

std::uint16_t BlockWord(DataImage& image, int block, std::size_t offset) {
    auto bytes = BlockBytes(image, block, offset, 2);
    if (bytes.empty()) return 0xFFFF;
    return GetWordField(std::span<const std::uint8_t, 2>(bytes.data(), 2));
}

std::uint8_t SetBlockWord(DataImage& image, int block, std::size_t offset, std::uint16_t value) {
    auto bytes = BlockBytes(image, block, offset, 2);
    if (bytes.empty()) return kHandlerMismatch;
    SetWordField(value, std::span<std::uint8_t, 2>(bytes.data(), 2));
    return GetWordField(std::span<const std::uint8_t, 2>(bytes.data(), 2)) == value
               ? kHandlerAccepted
               : kHandlerMismatch;
}

bool HoldsLoneField(const TerminalRecord& record, std::size_t position, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (record.line.At(position + i) != text[i]) return false;
    }
    return IsEmptyField(record, position + text.size());
}

bool IsEmptyField(const TerminalRecord& record, std::size_t position) {
    const char c = record.line.At(position);
    return c == ' ' || c == '\0';
}

}  // namespace qzs
