// Slots 160-168: the key-assignment request of *030, *711 the port a port is linked to, the
// options and codes of the seven groups, a few group-wide codes, a byte over a range of ports and
// a bit over a range of entries.
// P below is the first field position on the line. A "code" is one byte holding the two typed
// characters (PackTwoCharCode); two-digit codes are first tested against a code filter.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/key_assignment.h"
#include "programming/key_layout.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;
constexpr std::uint8_t kGroups = 7;

// ---------------------------------------------------------------------------------------------
// Places of a keyed byte: byte stride x (key - key_base) + offset of a block, byte offset of the
// key's GroupOptionRecords record, or byte offset + key of GroupOptionBytes.

struct KeyedPlace {
    enum class Table : std::uint8_t { kBlock, kRecords, kBytes };
    Table table = Table::kBlock;
    std::uint8_t block = 0;
    std::uint8_t stride = 0;
    std::uint16_t offset = 0;
};

constexpr KeyedPlace InGroupBlock(std::uint8_t block, std::uint8_t stride, std::uint16_t offset) {
    return {KeyedPlace::Table::kBlock, block, stride, offset};
}
constexpr KeyedPlace InGroupRecord(std::uint16_t offset) {
    return {KeyedPlace::Table::kRecords, 0, 0, offset};
}
constexpr KeyedPlace InGroupBytes(std::uint16_t offset) {
    return {KeyedPlace::Table::kBytes, 0, 0, offset};
}

// The byte of key index i (the key less its base); nullptr when it lies outside its table.
std::uint8_t* KeyedByte(DataImage& image, const KeyedPlace& place, unsigned i) {
    switch (place.table) {
        case KeyedPlace::Table::kBlock:
            return image.BlockByte(place.block, std::size_t{place.stride} * i + place.offset);
        case KeyedPlace::Table::kRecords:
            if (i >= image.group_option_records.size() || place.offset >= kGroupOptionRecordBytes) {
                return nullptr;
            }
            return &image.group_option_records[i][place.offset];
        case KeyedPlace::Table::kBytes:
            if (place.offset + i >= image.group_option_bytes.size()) return nullptr;
            return &image.group_option_bytes[place.offset + i];
    }
    return nullptr;
}

// The group key a (two digits 1-7) at P; nullptr when refused or without a place.
std::uint8_t* GroupByte(ProgrammingState& state, const TerminalRecord& record,
                        const KeyedPlace& place) {
    const std::uint8_t a = ParseByteField(record, FirstFieldPosition(state), 2, 1, kGroups);
    if (a == kFieldRefused) return nullptr;
    return KeyedByte(state.image, place, a);
}

// ---------------------------------------------------------------------------------------------
// Two-digit codes: [min, max], then the filter, then the values a command refuses besides.

struct CodeRule {
    std::uint8_t min;
    std::uint8_t max;
    std::span<const std::uint8_t> filter;
    std::uint32_t refused = 0;  // bit v refuses the value v (0-31)
};

constexpr std::uint32_t Refuse(std::initializer_list<unsigned> values) {
    std::uint32_t bits = 0;
    for (unsigned v : values) bits |= 1u << v;
    return bits;
}

// True when the two digits at the position make a code the rule allows.
bool CodeAllowed(const TerminalRecord& record, std::uint8_t position, const CodeRule& rule) {
    const std::uint8_t v = ParseByteField(record, position, 2, rule.min, rule.max);
    if (v == kFieldRefused || !PassesCodeFilter(rule.filter, v)) return false;
    return v >= 32 || (rule.refused & (1u << v)) == 0;
}

// Packs the two characters and answers the verification (0 or 2).
std::uint8_t StoreCode(const TerminalRecord& record, std::uint8_t position, std::uint8_t& byte) {
    PackTwoCharCode(record, position, byte);
    return VerifyTwoCharCode(record, position, byte);
}

// ---------------------------------------------------------------------------------------------
// Slot 160 (*030): position XYY at P, key n (two digits) at P + 4, code at P + 7: two digits
// 0-69 when P + 9 is blank, else three digits 800-999.

constexpr unsigned kKeyNumberForKey31 = 99;
constexpr unsigned kLastPlainKey = 30;
constexpr unsigned kCodeOnlyKeys[] = {31, 32};  // take code 00 and make no request
constexpr unsigned kRequestCode973 = 973;
constexpr std::uint8_t kEntryKind973 = 0x1C;
constexpr std::uint8_t kEntryKindHundreds8 = 0x8C;
constexpr std::uint8_t kEntryKindHundreds9 = 0x9C;

struct KeyOfPort {
    std::uint8_t port = 0;  // 0: refused
    unsigned key = 0;       // as typed, 1-99
};

// The port (a telephone with a key layout) and the typed key number.
KeyOfPort ParseKeyOfPort(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t position = ParsePosition36(record, p);
    const std::uint8_t n = ParseByteField(record, p + 4, 2, 1, 99);
    if (position == 0 || position == kPositionRefused || n == kFieldRefused) return {};
    // A position without a port, or one whose port has no key layout, names no telephone.
    const std::uint8_t port = MapSlotCode(position);
    if (port == 0 || port > kKeyLayoutTelephones) return {};
    return {port, n};
}

// The code typed at the position; 0xFFFF when refused.
unsigned ParseRequestCode(const TerminalRecord& record, std::uint8_t position) {
    if (record.line.At(position + 2u) == ' ') {
        const std::uint8_t code = ParseByteField(record, position, 2, 0, 69);
        return code == kFieldRefused ? 0xFFFF : code;
    }
    const std::uint8_t hundreds = ParseByteField(record, position, 1, 8, 9);
    const std::uint8_t rest = ParseByteField(record, position + 1, 2, 0, 99);
    if (hundreds == kFieldRefused || rest == kFieldRefused) return 0xFFFF;
    return hundreds * 100u + rest;
}

// ---------------------------------------------------------------------------------------------
// Slot 161 (*711): byte 13 of the port record holds the linked port's code.
constexpr int kLinkBlock = 1;
constexpr std::size_t kLinkRecordBytes = 48;
constexpr std::size_t kLinkByte = 13;

// ---------------------------------------------------------------------------------------------
// Slot 162: one bit (descriptor byte 12) of a group's byte; *608 takes group 99 as the common
// byte.

struct FlagItem {
    std::uint8_t item;
    KeyedPlace place;
    bool common_group;  // 99 selects GroupOptionCommon
};

constexpr std::array kGroupFlagItems{
    FlagItem{1, InGroupBlock(41, 20, 0), false},   // *400
    FlagItem{2, InGroupBlock(82, 4, 2), false},    // *627
    FlagItem{3, InGroupBlock(39, 24, 17), false},  // *390
    FlagItem{4, InGroupRecord(14), true},          // *608
};
constexpr std::uint8_t kCommonGroup = 99;

std::uint8_t* GroupFlagByte(ProgrammingState& state, const TerminalRecord& record) {
    const FlagItem* row = FindItem(kGroupFlagItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return nullptr;
    if (row->common_group && ParseByteField(record, FirstFieldPosition(state), 2, kCommonGroup,
                                            kCommonGroup) == kCommonGroup) {
        return &state.image.Setting(SettingByte::kGroupOptionCommon);
    }
    return GroupByte(state, record, row->place);
}

// ---------------------------------------------------------------------------------------------
// Slot 163: one digit into a field of a group's byte; *404 takes three flags as bits 0-2.

struct FieldItem {
    std::uint8_t item;
    KeyedPlace place;
    BitField field;
    std::uint8_t max;
};

constexpr std::array kGroupFieldItems{
    FieldItem{1, InGroupBlock(41, 20, 4), kBits23, 3},    // *382
    FieldItem{2, InGroupBlock(41, 20, 5), kBits45, 3},    // *384
    FieldItem{3, InGroupBlock(41, 20, 1), kBits23, 3},    // *391
    FieldItem{4, InGroupRecord(14), kHighNibble, 9},      // *385
    FieldItem{5, InGroupBlock(41, 20, 9), kBits45, 3},    // *606
    FieldItem{6, InGroupBlock(82, 4, 2), kBits01, 3},     // *403
    FieldItem{7, InGroupBlock(150, 84, 78), kBits01, 3},  // *686
    FieldItem{8, InGroupBlock(150, 84, 80), kBits01, 3},  // *680
    FieldItem{9, InGroupBlock(150, 84, 77), kBits01, 3},  // *394
    FieldItem{10, InGroupRecord(19), kBits02, 7},         // *404, three flags
    FieldItem{20, InGroupBytes(8), kBits01, 3},           // *604
};
constexpr std::uint8_t kThreeFlagsItem = 10;

// ---------------------------------------------------------------------------------------------
// Slot 164: code b of a group's list in GroupOptionRecords; *396 with b = 4 sets all four.

struct CodeListItem {
    std::uint8_t item;
    std::uint16_t first_byte;
    std::uint8_t b_max;  // the highest b a store takes; shows take 0-3
    CodeRule rule;
};

constexpr std::uint8_t kCodeListLength = 4;
constexpr std::array kCodeListItems{
    CodeListItem{1, 6, 4, {9, 24, CodeFilterB}},    // *396
    CodeListItem{2, 2, 3, {9, 24, CodeFilterB}},    // *395
    CodeListItem{3, 15, 3, {10, 26, CodeFilterC}},  // *687
};

// ---------------------------------------------------------------------------------------------
// Slots 165 and 166: a code or a value under a key. Most keys are a group 01-07; *9318 takes an
// entry 01-64, *9243 a digit 0-3.

struct KeyShape {
    std::uint8_t digits;
    std::uint8_t min;
    std::uint8_t max;
    std::uint8_t base;  // the key whose index is 0
};

constexpr KeyShape kGroupKey{2, 1, kGroups, 0};

struct KeyedItem {
    enum class Kind : std::uint8_t { kCode, kValue };
    std::uint8_t item;
    Kind kind;
    KeyShape key;
    KeyedPlace place;
    CodeRule rule;     // codes
    BitField field{};  // values: the field and its range
    std::uint8_t digits = 1;
    std::uint8_t min = 0;
    std::uint8_t max = 0;
};

constexpr KeyedItem Code(std::uint8_t item, KeyShape key, KeyedPlace place, CodeRule rule) {
    return {item, KeyedItem::Kind::kCode, key, place, rule};
}
constexpr KeyedItem Value(std::uint8_t item, KeyShape key, KeyedPlace place, BitField field,
                          std::uint8_t digits, std::uint8_t min, std::uint8_t max) {
    return {item, KeyedItem::Kind::kValue, key, place, {}, field, digits, min, max};
}

constexpr BitField kWholeByte{&SetByteField, [](std::uint8_t byte) { return byte; }};

constexpr std::array kSlot165Items{
    Code(1, kGroupKey, InGroupBlock(41, 20, 13), {0, 24, CodeFilterA}),  // *340
    Code(3, kGroupKey, InGroupBlock(41, 20, 12), {0, 24, CodeFilterA}),  // *504
    Value(5, kGroupKey, InGroupBlock(39, 24, 17), kBits02, 1, 0, 6),     // *393
    Value(6, kGroupKey, InGroupRecord(10), kBits02, 1, 1, 2),            // *401
    Value(7, kGroupKey, InGroupRecord(20), kBits02, 1, 0, 6),            // *389
};

constexpr std::array kSlot166Items{
    Code(1, kGroupKey, InGroupRecord(1), {0, 24, CodeFilterB, Refuse({10, 20})}),   // *383
    Code(2, kGroupKey, InGroupRecord(13), {0, 24, CodeFilterB, Refuse({10, 20})}),  // *605
    Value(3, {2, 1, 64, 1}, InGroupBlock(57, 20, 14), kWholeByte, 2, 0, 99),        // *9318
    Code(7, kGroupKey, InGroupRecord(11), {10, 24, CodeFilterB}),                   // *402
    Code(8, kGroupKey, InGroupRecord(0), {0, 24, CodeFilterB, Refuse({7, 8})}),     // *381
    // *9243
    Code(11, {1, 0, 3, 0}, InGroupBlock(80, 39, 86), {0, 24, CodeFilterB, Refuse({7, 8, 9})}),
    Code(20, kGroupKey, InGroupBytes(0), {0, 24, CodeFilterB, Refuse({7, 8, 9})}),  // *603
};

// Two-key items of slot 166: *9303 (first key 1 only, sub-entry j 1-3, a value 0-99 in block 91
// byte j - 1) and *9237 (k 0-3, j 1-3, one or two dial digits in block 80 byte 81 + 39k + j).
constexpr std::uint8_t kSubEntryItem = 5;
constexpr std::uint8_t kDialPairItem = 10;
constexpr int kSubEntryBlock = 91;
constexpr int kDialPairBlock = 80;
constexpr std::size_t kDialPairBase = 81;
constexpr std::size_t kDialPairStride = 39;

template <std::size_t N>
std::uint8_t* KeyedItemByte(ProgrammingState& state, const TerminalRecord& record,
                            const std::array<KeyedItem, N>& items, const KeyedItem*& row) {
    row = FindItem(items, CurrentDescriptor(state).SubType());
    if (row == nullptr) return nullptr;
    const std::uint8_t key = ParseByteField(record, FirstFieldPosition(state), row->key.digits,
                                            row->key.min, row->key.max);
    if (key == kFieldRefused) return nullptr;
    return KeyedByte(state.image, row->place, key - row->key.base);
}

template <std::size_t N>
std::uint8_t StoreKeyedItem(ProgrammingState& state, TerminalRecord& record,
                            const std::array<KeyedItem, N>& items) {
    const KeyedItem* row = nullptr;
    std::uint8_t* byte = KeyedItemByte(state, record, items, row);
    if (byte == nullptr) return kHandlerRejected;
    const auto data = static_cast<std::uint8_t>(FirstFieldPosition(state) + row->key.digits + 1);
    if (row->kind == KeyedItem::Kind::kCode) {
        if (!CodeAllowed(record, data, row->rule)) return kHandlerRejected;
        return StoreCode(record, data, *byte);
    }
    const std::uint8_t value = ParseByteField(record, data, row->digits, row->min, row->max);
    if (value == kFieldRefused) return kHandlerRejected;
    row->field.set(value, *byte);
    return row->field.get(*byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

template <std::size_t N>
std::uint8_t ShowKeyedItem(ProgrammingState& state, TerminalRecord& record,
                           const std::array<KeyedItem, N>& items) {
    const KeyedItem* row = nullptr;
    const std::uint8_t* byte = KeyedItemByte(state, record, items, row);
    if (byte == nullptr) return kHandlerRejected;
    if (row->kind == KeyedItem::Kind::kCode) {
        AppendTwoCharCode(record, *byte);
    } else {
        AppendNumber(record, row->field.get(*byte), row->digits, 10);
    }
    return kHandlerAccepted;
}

// The byte of a two-key item of slot 166 and where its data begin; nullptr when refused.
std::uint8_t* TwoKeyByte(ProgrammingState& state, const TerminalRecord& record, std::uint8_t item) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t j = ParseByteField(record, p + 2, 1, 1, 3);
    if (j == kFieldRefused) return nullptr;
    if (item == kSubEntryItem) {
        if (ParseByteField(record, p, 1, 1, 1) == kFieldRefused) return nullptr;
        return state.image.BlockByte(kSubEntryBlock, j - 1u);
    }
    const std::uint8_t k = ParseByteField(record, p, 1, 0, 3);
    if (k == kFieldRefused) return nullptr;
    return state.image.BlockByte(kDialPairBlock, kDialPairBase + kDialPairStride * k + j);
}

// ---------------------------------------------------------------------------------------------
// Slot 167 (*364): a value 0-24 for every port of a wide position range, byte 0 of its 4-byte
// entry of block 140. Slot 168 (*9290): bit e - 1 of block 141 byte 0 for entries 1-8.

constexpr int kPortValueBlock = 140;
constexpr std::size_t kPortValueBytes = 4;
constexpr int kEntryFlagBlock = 141;
constexpr std::uint8_t kEntryFlags = 8;

}  // namespace

// --- Slot 160 --------------------------------------------------------------------------------
// The store writes no byte: it leaves the request for whoever feeds *030, which assigns the key.

std::uint8_t StoreHandler160(ProgrammingState& state, TerminalRecord& record) {
    const KeyOfPort key = ParseKeyOfPort(state, record);
    const unsigned code =
        ParseRequestCode(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 7));
    if (key.port == 0 || code == 0xFFFF) return kHandlerRejected;
    // 973 is not in the list of codes a key carries, yet a key shows it (an entry of its own
    // kind) and the main unit takes it on *030: it is requested like the listed codes.
    if (!IsAssignableKeyCode(code) && code != kRequestCode973) return kHandlerRejected;
    unsigned n = key.key;
    if (n == kKeyNumberForKey31) {
        n = 31;
    } else if (n == kCodeOnlyKeys[0] || n == kCodeOnlyKeys[1]) {
        return code == 0 ? kHandlerAccepted : kHandlerRejected;
    } else if (n > kLastPlainKey) {
        return kHandlerRejected;
    }
    KeyInputBlock& input = state.key_input;
    input.notice_terminal = key.port;
    input.notice_key = static_cast<std::uint8_t>(n);
    input.notice_code = static_cast<std::uint16_t>(code);
    input.outcome = kOutcomeKeyNotice;
    return kHandlerAccepted;
}

std::uint8_t ShowHandler160(ProgrammingState& state, TerminalRecord& record) {
    const KeyOfPort key = ParseKeyOfPort(state, record);
    if (key.port == 0) return kHandlerRejected;
    unsigned n = key.key;
    if (n == kCodeOnlyKeys[0] || n == kCodeOnlyKeys[1]) {
        record.line.Append("00");
        return kHandlerAccepted;
    }
    if (n == kKeyNumberForKey31) {
        n = 31;
    } else if (n > kLastPlainKey) {
        return kHandlerRejected;
    }
    const std::uint8_t* entry = KeyEntry(state.image, key.port, n);
    if (entry == nullptr) return kHandlerRejected;
    switch (entry[0]) {
        case kFunctionCodeEntryKind:
            AppendNumber(record, entry[1], 2, 16);
            break;
        case kEntryKindHundreds8:
        case kEntryKindHundreds9:
            record.line.Append(NibbleToHexChar(entry[0] >> 4));
            AppendNumber(record, entry[1], 2, 16);
            break;
        case kEntryKind973:
            record.line.Append("973");
            break;
        default:
            record.line.Append("00");
            break;
    }
    return kHandlerAccepted;
}

// --- Slot 161 --------------------------------------------------------------------------------
// Line: "ppp-qqq"; a second position of 000 unlinks the port.

std::uint8_t StoreHandler161(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t first = ParsePosition72(record, p);
    const std::uint8_t second = ParsePosition72(record, static_cast<std::uint8_t>(p + 4));
    if (first == 0 || first == kPositionRefused || second == kPositionRefused || first == second) {
        return kHandlerRejected;
    }
    auto bytes = PortRecord(state.image, kLinkBlock, kLinkRecordBytes, MapSlotCodeWide(first));
    if (bytes.empty()) return kHandlerRejected;
    bytes[kLinkByte] = MapSlotCodeWide(second);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler161(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    if (record.line.At(p + 3u) != '-') return kHandlerRejected;
    const std::uint8_t code = MapSlotCodeWide(ParsePosition72(record, p));
    if (code == kPositionRefused) return kHandlerRejected;
    auto bytes = PortRecord(state.image, kLinkBlock, kLinkRecordBytes, code);
    if (bytes.empty()) return kHandlerRejected;
    AppendPortCode(record, bytes[kLinkByte]);
    return kHandlerAccepted;
}

// --- Slot 162 --------------------------------------------------------------------------------

std::uint8_t StoreHandler162(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t* byte = GroupFlagByte(state, record);
    const std::uint8_t value =
        ParseByteField(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 3), 1, 0, 1);
    if (byte == nullptr || value == kFieldRefused) return kHandlerRejected;
    return SetMaskBits(*byte, CurrentDescriptor(state).Mask(), value) ? kHandlerAccepted
                                                                      : kHandlerMismatch;
}

std::uint8_t ShowHandler162(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t* byte = GroupFlagByte(state, record);
    if (byte == nullptr) return kHandlerRejected;
    AppendMaskFlag(record, *byte, CurrentDescriptor(state).Mask());
    return kHandlerAccepted;
}

// --- Slot 163 --------------------------------------------------------------------------------

std::uint8_t StoreHandler163(ProgrammingState& state, TerminalRecord& record) {
    const FieldItem* row = FindItem(kGroupFieldItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    std::uint8_t* byte = GroupByte(state, record, row->place);
    if (byte == nullptr) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    std::uint8_t value = 0;
    if (row->item == kThreeFlagsItem) {
        for (unsigned f = 0; f < 3; ++f) {
            const std::uint8_t flag = ParseByteField(record, p + 3 + 2 * f, 1, 0, 1);
            if (flag == kFieldRefused) return kHandlerRejected;
            value = static_cast<std::uint8_t>(value | flag << f);
        }
    } else {
        value = ParseByteField(record, p + 3, 1, 0, row->max);
        if (value == kFieldRefused) return kHandlerRejected;
    }
    row->field.set(value, *byte);
    return row->field.get(*byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler163(ProgrammingState& state, TerminalRecord& record) {
    const FieldItem* row = FindItem(kGroupFieldItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t* byte = GroupByte(state, record, row->place);
    if (byte == nullptr) return kHandlerRejected;
    const std::uint8_t value = row->field.get(*byte);
    if (row->item != kThreeFlagsItem) {
        AppendDigit(record, value);
        return kHandlerAccepted;
    }
    for (unsigned f = 0; f < 3; ++f) {
        if (f > 0) record.line.Append(',');
        record.line.Append((value >> f & 1) != 0 ? '1' : '0');
    }
    return kHandlerAccepted;
}

// --- Slot 164 --------------------------------------------------------------------------------
// Group a at P, b at P + 3, the code at P + 5.

std::uint8_t StoreHandler164(ProgrammingState& state, TerminalRecord& record) {
    const CodeListItem* row = FindItem(kCodeListItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t b = ParseByteField(record, p + 3, 1, 0, row->b_max);
    const auto data = static_cast<std::uint8_t>(p + 5);
    std::uint8_t* first = GroupByte(state, record, InGroupRecord(row->first_byte));
    if (b == kFieldRefused || first == nullptr || !CodeAllowed(record, data, row->rule)) {
        return kHandlerRejected;
    }
    if (b < kCodeListLength) return StoreCode(record, data, first[b]);
    // b = 4 sets the whole list; any entry that does not read back is the answer.
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned i = 0; i < kCodeListLength; ++i) {
        const std::uint8_t result = StoreCode(record, data, first[i]);
        if (answer == kHandlerAccepted) answer = result;
    }
    return answer;
}

std::uint8_t ShowHandler164(ProgrammingState& state, TerminalRecord& record) {
    const CodeListItem* row = FindItem(kCodeListItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t b =
        ParseByteField(record, FirstFieldPosition(state) + 3, 1, 0, kCodeListLength - 1);
    const std::uint8_t* first = GroupByte(state, record, InGroupRecord(row->first_byte));
    if (b == kFieldRefused || first == nullptr) return kHandlerRejected;
    AppendTwoCharCode(record, first[b]);
    return kHandlerAccepted;
}

// --- Slot 165 --------------------------------------------------------------------------------

std::uint8_t StoreHandler165(ProgrammingState& state, TerminalRecord& record) {
    return StoreKeyedItem(state, record, kSlot165Items);
}

std::uint8_t ShowHandler165(ProgrammingState& state, TerminalRecord& record) {
    return ShowKeyedItem(state, record, kSlot165Items);
}

// --- Slot 166 --------------------------------------------------------------------------------

std::uint8_t StoreHandler166(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    if (item != kSubEntryItem && item != kDialPairItem) {
        return StoreKeyedItem(state, record, kSlot166Items);
    }
    std::uint8_t* byte = TwoKeyByte(state, record, item);
    if (byte == nullptr) return kHandlerRejected;
    const auto data = static_cast<std::uint8_t>(FirstFieldPosition(state) + 4);
    if (item == kSubEntryItem) {
        const std::uint8_t value = ParseByteField(record, data, 2, 0, 99);
        if (value == kFieldRefused) return kHandlerRejected;
        *byte = value;
        return kHandlerAccepted;
    }
    // One digit leaves a blank in the second place, which packs as the end nibble.
    if (ParseByteField(record, data, 1, 0, 9) == kFieldRefused) return kHandlerRejected;
    if (record.line.At(data + 1u) != ' ' &&
        ParseByteField(record, data + 1, 1, 0, 9) == kFieldRefused) {
        return kHandlerRejected;
    }
    PackDialDigits(record, 2, data, std::span(byte, 1));
    return VerifyDialDigits(record, 2, data, std::span<const std::uint8_t>(byte, 1));
}

std::uint8_t ShowHandler166(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    if (item != kSubEntryItem && item != kDialPairItem) {
        return ShowKeyedItem(state, record, kSlot166Items);
    }
    const std::uint8_t* byte = TwoKeyByte(state, record, item);
    if (byte == nullptr) return kHandlerRejected;
    if (item == kSubEntryItem) {
        AppendNumber(record, *byte, 2, 10);
    } else {
        UnpackDialDigits(record, 2, std::span<const std::uint8_t>(byte, 1));
    }
    return kHandlerAccepted;
}

// --- Slot 167 --------------------------------------------------------------------------------
// A port whose byte does not read back makes the answer 2; the later ports are written all the
// same.

std::uint8_t StoreHandler167(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kWidePositions, 0);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 2, 0, 24);
    if (value == kFieldRefused) return kHandlerRejected;
    return WalkPositionRange(range, kWidePositions, WalkRule::kGoOn, [&](std::uint8_t code) {
        auto entry = PortRecord(state.image, kPortValueBlock, kPortValueBytes, code);
        if (entry.empty()) return kHandlerRejected;
        SetByteField(value, entry[0]);
        return entry[0] == value ? kHandlerAccepted : kHandlerMismatch;
    });
}

// The show maps its one position through MapCrCode as the walk does, so it shows the byte a
// store to the same position wrote.
std::uint8_t ShowHandler167(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kWidePositions, 0);
    if (!range.Valid() || !range.single) return kHandlerRejected;
    const std::uint8_t code = MapSlotCodeWide(MapCrCode(range.first));
    if (code == kPositionRefused) return kHandlerRejected;
    auto entry = PortRecord(state.image, kPortValueBlock, kPortValueBytes, code);
    if (entry.empty()) return kHandlerRejected;
    AppendNumber(record, entry[0], 2, 10);
    return kHandlerAccepted;
}

// --- Slot 168 --------------------------------------------------------------------------------

std::uint8_t StoreHandler168(ProgrammingState& state, TerminalRecord& record) {
    UnitRange range;
    if (!ParseUnitRange(state, record, kEntryFlags, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    auto flags = BlockBytes(state.image, kEntryFlagBlock, 0, 1);
    for (unsigned e = range.first; e <= range.last; ++e) {
        SetBitFromEntry(e - 1, value, flags);
        if (VerifyBit(e - 1, value, flags) != kHandlerAccepted) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler168(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t e = ParseSingleUnit(state, record, kEntryFlags);
    if (e == kFieldRefused) return kHandlerRejected;
    AppendBit(record, e - 1u, BlockBytes(state.image, kEntryFlagBlock, 0, 1));
    return kHandlerAccepted;
}

}  // namespace qzs
