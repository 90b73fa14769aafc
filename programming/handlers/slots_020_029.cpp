// Slots 20-29: what a dial code is assigned to (*010), one-digit values in nibbles and bit fields,
// a value or a number (*086, *034), flags of the block 80 entries and of terminals, and the
// numbers and ports of the *9233 entries. P below is the first field position on the line.
#include <array>
#include <cstddef>
#include <cstdint>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// Block 80 holds four entries k (0-3) of 39 bytes from byte 47 on (*9231-*9239, *9252).
constexpr int kEntryBlock = 80;
constexpr std::size_t kEntryStride = 39;

std::uint8_t* EntryByte(DataImage& image, std::uint8_t k, std::size_t offset) {
    return image.BlockByte(kEntryBlock, kEntryStride * k + offset);
}

// ---------------------------------------------------------------------------------------------
// Slot 20 (no command): ten display characters per entry k (0-9) of block 10, 12-byte entries.

constexpr int kTextBlock = 10;
constexpr std::size_t kTextEntryBytes = 12;
constexpr std::size_t kTextCharacters = 10;

std::span<std::uint8_t> TextEntry(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 1, 0, 9);
    if (k == kFieldRefused) return {};
    return BlockBytes(state.image, kTextBlock, kTextEntryBytes * k, kTextCharacters);
}

// ---------------------------------------------------------------------------------------------
// Slot 21: a value 0-10 in a low nibble, typed as one digit ("0" standing for 10) or as "00"
// for 0.

struct NibbleItem {
    std::uint8_t item;
    BytePlace place;
    std::uint8_t max_digit;  // highest single digit taken
};

constexpr std::array kNibbleItems{
    NibbleItem{2, InBlock(18, 0), 9},   // *505
    NibbleItem{3, InBlock(18, 8), 9},   // *507
    NibbleItem{4, InBlock(18, 10), 9},  // *181
    NibbleItem{5, InBlock(80, 47), 3},  // *9252
};

constexpr std::uint8_t kZeroDigitValue = 10;

std::uint8_t* NibbleByte(ProgrammingState& state, const NibbleItem*& row) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    row = FindItem(kNibbleItems, descriptor.SubType());
    return row != nullptr ? ResolvePlace(state.image, row->place, descriptor.PointerEntry())
                          : nullptr;
}

// The value an entry stands for; kFieldRefused for any other entry.
std::uint8_t ParseNibbleEntry(const TerminalRecord& record, std::uint8_t p,
                              std::uint8_t max_digit) {
    if (FieldIs(record, p, "00")) return 0;
    if (TypedDigits(record, p, 2) != 1) return kFieldRefused;
    const std::uint8_t digit = ParseByteField(record, p, 1, 0, max_digit);
    if (digit == kFieldRefused) return kFieldRefused;
    return digit == 0 ? kZeroDigitValue : digit;
}

// ---------------------------------------------------------------------------------------------
// Slot 22 (*010): the code tables searched for a dial code.

constexpr int kCodeLengthBlock = 14;  // byte d: further digits of codes beginning with digit d
constexpr int kShortCodeBlock = 15;   // bytes 0-54: codes of one or two digits
constexpr std::size_t kShortCodeCount = 55;
constexpr int kCodeBlock = 16;  // bytes 0-103 one-byte codes, then 48 two-byte codes
constexpr std::size_t kOneByteCodeCount = 104;
constexpr std::size_t kTwoByteCodeBase = 104;
constexpr std::size_t kTwoByteCodeCount = 48;
constexpr int kPortCodeBlock = 17;  // 8 bytes per port number 1-128, the code in bytes 0-1
constexpr std::size_t kPortCodeEntryBytes = 8;
constexpr std::size_t kPortCount = 128;
constexpr std::size_t kSpecialPortCount = 16;  // PortWorkRecords 129-144, the code in bytes 0-1
constexpr std::uint8_t kFirstSpecialPort = 129;
constexpr std::size_t kMaxCodeDigits = 4;

// Appends what the code (g, h) is assigned to; with both false only g is compared.
void AppendCodeOwner(const ProgrammingState& state, TerminalRecord& record, std::uint8_t g,
                     std::uint8_t h, bool both) {
    const DataImage& image = state.image;
    auto matches = [&](const std::uint8_t* code) {
        return code[0] == g && (!both || code[1] == h);
    };
    const auto codes = image.Block(kCodeBlock);
    if (!both) {
        const auto short_codes = image.Block(kShortCodeBlock);
        for (std::size_t i = 0; i < kShortCodeCount; ++i) {
            if (short_codes[i] == g) {
                AppendNumber(record, static_cast<std::uint16_t>(i), 2, 10);
                return;
            }
        }
        for (std::size_t j = 0; j < kOneByteCodeCount; ++j) {
            if (codes[j] == g) {
                AppendNumber(record, static_cast<std::uint16_t>(700 + j), 3, 10);
                return;
            }
        }
    }
    for (std::size_t i = 0; i < kTwoByteCodeCount; ++i) {
        if (matches(&codes[kTwoByteCodeBase + 2 * i])) {
            AppendNumber(record, static_cast<std::uint16_t>(601 + i), 3, 10);
            return;
        }
    }
    const auto ports = image.Block(kPortCodeBlock);
    for (std::size_t u = 1; u <= kPortCount; ++u) {
        if (matches(&ports[kPortCodeEntryBytes * (u - 1)])) {
            AppendPortCode(record, static_cast<std::uint8_t>(u));
            return;
        }
    }
    for (std::size_t k = 0; k < kSpecialPortCount; ++k) {
        if (matches(image.port_code_tables.records[kPortCount + k].data())) {
            AppendPortCode(record, static_cast<std::uint8_t>(kFirstSpecialPort + k));
            return;
        }
    }
    record.line.Append("99");
}

// ---------------------------------------------------------------------------------------------
// Slot 23 (*086, *034): key 1 a value 0-8, key 2 a number of up to 11 digits; storing one
// clears the other.

struct ValueOrNumberItem {
    std::uint8_t item;
    BytePlace value;
    std::array<std::uint8_t, 6> DataImage::*number;
};

constexpr std::array kValueOrNumberItems{
    ValueOrNumberItem{2, InBlock(58, 0), &DataImage::number_086},
    ValueOrNumberItem{3, InSetting(SettingByte::k034), &DataImage::number_034},
};

constexpr std::uint8_t kNumberDigits = 11;

struct ValueOrNumber {
    std::uint8_t* value = nullptr;
    std::span<std::uint8_t> number;
    std::uint8_t key = 0;
};

ValueOrNumber ParseValueOrNumber(ProgrammingState& state, const TerminalRecord& record) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    const ValueOrNumberItem* row = FindItem(kValueOrNumberItems, descriptor.SubType());
    if (row == nullptr) return {};
    const std::uint8_t key = ParseByteField(record, FirstFieldPosition(state), 1, 1, 2);
    std::uint8_t* value = ResolvePlace(state.image, row->value, descriptor.PointerEntry());
    if (key == kFieldRefused || value == nullptr) return {};
    return {value, state.image.*(row->number), key};
}

// ---------------------------------------------------------------------------------------------
// Slot 24: a flag bit of a block 80 entry (*9232) or of a terminal's attribute byte 5 (*019).

constexpr std::uint8_t kFlagItemEntry = 1;     // *9232
constexpr std::uint8_t kFlagItemTerminal = 4;  // *019
constexpr std::size_t kEntryFlagByte = 48;
constexpr std::size_t kTerminalFlagAttribute = 5;

// The flag's byte and where its data digit stands; nullptr when the key is out of range or names
// no terminal.
std::uint8_t* FlagByte(ProgrammingState& state, const TerminalRecord& record, std::uint8_t& data) {
    const std::uint8_t p = FirstFieldPosition(state);
    switch (CurrentDescriptor(state).SubType()) {
        case kFlagItemEntry: {
            const std::uint8_t k = ParseByteField(record, p, 1, 0, 3);
            if (k == kFieldRefused) return nullptr;
            data = p + 2;
            return EntryByte(state.image, k, kEntryFlagByte);
        }
        case kFlagItemTerminal: {
            const std::uint8_t b = ParseByteField(record, p, 2, 1, 4);
            if (b == kFieldRefused) return nullptr;
            data = p + 3;
            // An entry holds any byte; one that names no terminal (0 or above 128) is refused.
            TerminalRecord* terminal =
                FindTerminal(state.terminals, state.image.terminal_entry_table[b - 1u][0]);
            return terminal != nullptr ? &terminal->attributes[kTerminalFlagAttribute] : nullptr;
        }
        default:
            return nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Slot 26: small fields of the block 80 entries, entry k (0-3).

struct EntryFieldItem {
    std::uint8_t item;
    std::uint8_t offset;  // byte of entry 0
    BitField field;
    std::uint8_t max;
};

constexpr std::array kEntryFieldItems{
    EntryFieldItem{1, 48, kBits01, 2},  // *9231
    EntryFieldItem{2, 50, kBits02, 4},  // *9236
    EntryFieldItem{3, 48, kBits45, 3},  // *9238
    EntryFieldItem{4, 48, kBits67, 3},  // *9239
};

// ---------------------------------------------------------------------------------------------
// Slot 28 (*9233): per entry k (0-3) three numbers of 16 digits (j 1-3, 8 bytes each from byte
// 53) and three ports (j 4-6, bytes 77-79).

constexpr std::size_t kEntryNumberBase = 45;  // number j at 45 + 8j
constexpr std::size_t kEntryNumberBytes = 8;
constexpr std::uint8_t kEntryNumberDigits = 16;
constexpr std::size_t kEntryPortBase = 73;  // port j at 73 + j
constexpr std::uint8_t kOutsideCode = 240;  // entered and shown as "700"

struct EntryKey {
    std::uint8_t k = kFieldRefused;
    std::uint8_t j = kFieldRefused;
};

EntryKey ParseEntryKey(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k = ParseByteField(record, p, 1, 0, 3);
    const std::uint8_t j = ParseByteField(record, p + 2, 1, 1, 6);
    if (k == kFieldRefused || j == kFieldRefused) return {};
    return {k, j};
}

std::span<std::uint8_t> EntryNumber(DataImage& image, const EntryKey& key) {
    return BlockBytes(image, kEntryBlock, kEntryStride * key.k + kEntryNumberBase + 8u * key.j,
                      kEntryNumberBytes);
}

// ---------------------------------------------------------------------------------------------
// Slot 29: one digit into a bit field, some stored as the value less one.

struct DigitItem {
    std::uint8_t item;
    BytePlace place;
    BitField field;
    std::uint8_t max;
    std::uint8_t bias;  // stored value = entered value - bias
};

constexpr std::array kDigitItems{
    DigitItem{1, InBlock(3, 6), kBits57, 6, 1},                  // *115
    DigitItem{2, InBlock(118, 0), kBits02, 6, 1},                // *186
    DigitItem{3, InSetting(SettingByte::k607), kBits46, 2, 0},   // *607
    DigitItem{4, InSetting(SettingByte::k9438), kBits02, 6, 0},  // *9438
};

std::uint8_t* DigitByte(ProgrammingState& state, const DigitItem*& row) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    row = FindItem(kDigitItems, descriptor.SubType());
    return row != nullptr ? ResolvePlace(state.image, row->place, descriptor.PointerEntry())
                          : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Slots 25 and 27 (no command): fields of byte 0 of the 4-byte entries a (1-4) of block 7.

constexpr int kSmallEntryBlock = 7;
constexpr std::size_t kSmallEntryBytes = 4;

std::uint8_t* SmallEntryByte(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t a = ParseByteField(record, FirstFieldPosition(state), 1, 1, 4);
    if (a == kFieldRefused) return nullptr;
    return state.image.BlockByte(kSmallEntryBlock, kSmallEntryBytes * (a - 1u));
}

std::uint8_t StoreSmallEntry(ProgrammingState& state, TerminalRecord& record, BitField field,
                             std::uint8_t max) {
    std::uint8_t* byte = SmallEntryByte(state, record);
    const std::uint8_t value =
        ParseByteField(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 2), 1, 0, max);
    if (byte == nullptr || value == kFieldRefused) return kHandlerRejected;
    field.set(value, *byte);
    return field.get(*byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowSmallEntry(ProgrammingState& state, TerminalRecord& record, BitField field) {
    const std::uint8_t* byte = SmallEntryByte(state, record);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, field.get(*byte));
    return kHandlerAccepted;
}

}  // namespace

// --- Slot 20 ---------------------------------------------------------------------------------
// The ten line characters after the key and its "-", blanks included.

std::uint8_t StoreHandler020(ProgrammingState& state, TerminalRecord& record) {
    auto entry = TextEntry(state, record);
    if (entry.empty()) return kHandlerRejected;
    // Whole bytes copied from the line read back as written.
    CopyLineText(record, FirstFieldPosition(state) + 2u, entry);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler020(ProgrammingState& state, TerminalRecord& record) {
    auto entry = TextEntry(state, record);
    if (entry.empty()) return kHandlerRejected;
    AppendStoredText(record, entry);
    return kHandlerAccepted;
}

// --- Slot 21 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler021(ProgrammingState& state, TerminalRecord& record) {
    const NibbleItem* row = nullptr;
    std::uint8_t* byte = NibbleByte(state, row);
    if (byte == nullptr) return kHandlerRejected;
    const std::uint8_t value = ParseNibbleEntry(record, FirstFieldPosition(state), row->max_digit);
    if (value == kFieldRefused) return kHandlerRejected;
    SetLowNibble(value, *byte);
    return GetLowNibble(*byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

// 0 shows "00" and 10 "0"; a nibble above 10 (from loaded data) shows as its hexadecimal digit.
std::uint8_t ShowHandler021(ProgrammingState& state, TerminalRecord& record) {
    const NibbleItem* row = nullptr;
    const std::uint8_t* byte = NibbleByte(state, row);
    if (byte == nullptr) return kHandlerRejected;
    const std::uint8_t value = GetLowNibble(*byte);
    if (value == 0) {
        record.line.Append("00");
    } else {
        AppendDigit(record, value == kZeroDigitValue ? 0 : value);
    }
    return kHandlerAccepted;
}

// --- Slot 22 ---------------------------------------------------------------------------------
// The code's digits stand at P; its length must be the one block 14 gives for its first digit.

std::uint8_t ShowHandler022(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    std::array<std::uint8_t, kMaxCodeDigits> d{};
    for (std::size_t i = 0; i < d.size(); ++i) d[i] = DialDigitValue(record.line.At(p + i));
    const std::uint8_t f = *state.image.BlockByte(kCodeLengthBlock, d[0]);
    const std::uint8_t typed = TypedDigits(record, p, kMaxCodeDigits);
    if (typed == 0 || typed != (f & 3u) + 1u) return kHandlerRejected;
    const auto g = static_cast<std::uint8_t>(d[0] * 16 + d[1]);
    const auto h = static_cast<std::uint8_t>(d[2] * 16 + d[3]);
    AppendCodeOwner(state, record, g, h, (f & 2u) != 0);
    return kHandlerAccepted;
}

// --- Slot 23 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler023(ProgrammingState& state, TerminalRecord& record) {
    const ValueOrNumber place = ParseValueOrNumber(state, record);
    if (place.value == nullptr) return kHandlerRejected;
    const std::uint8_t data = FirstFieldPosition(state) + 2;
    if (place.key == 1) {
        if (TypedDigits(record, data, kNumberDigits) != 2) return kHandlerRejected;
        const std::uint8_t value = ParseByteField(record, data, 2, 0, 8);
        if (value == kFieldRefused) return kHandlerRejected;
        *place.value = value;
        const std::uint8_t cleared = ZeroAndCheck(place.number);
        return *place.value == value && cleared == kHandlerAccepted ? kHandlerAccepted
                                                                    : kHandlerMismatch;
    }
    const std::uint8_t verified = StoreDialNumber(record, kNumberDigits, data, place.number);
    *place.value = 0;
    return *place.value == 0 ? verified : kHandlerMismatch;
}

std::uint8_t ShowHandler023(ProgrammingState& state, TerminalRecord& record) {
    const ValueOrNumber place = ParseValueOrNumber(state, record);
    if (place.value == nullptr) return kHandlerRejected;
    if (place.key == 1) {
        AppendNumber(record, *place.value, 2, 10);
    } else {
        UnpackDialDigits(record, kNumberDigits, place.number);
    }
    return kHandlerAccepted;
}

// --- Slot 24 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler024(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t data = 0;
    std::uint8_t* byte = FlagByte(state, record, data);
    if (byte == nullptr) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, data, 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    return SetMaskBits(*byte, CurrentDescriptor(state).Mask(), value) ? kHandlerAccepted
                                                                      : kHandlerMismatch;
}

std::uint8_t ShowHandler024(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t data = 0;
    const std::uint8_t* byte = FlagByte(state, record, data);
    if (byte == nullptr) return kHandlerRejected;
    AppendMaskFlag(record, *byte, CurrentDescriptor(state).Mask());
    return kHandlerAccepted;
}

// --- Slots 25 and 27 -------------------------------------------------------------------------

std::uint8_t StoreHandler025(ProgrammingState& state, TerminalRecord& record) {
    return StoreSmallEntry(state, record, kBits23, 2);
}

std::uint8_t ShowHandler025(ProgrammingState& state, TerminalRecord& record) {
    return ShowSmallEntry(state, record, kBits23);
}

std::uint8_t StoreHandler027(ProgrammingState& state, TerminalRecord& record) {
    return StoreSmallEntry(state, record, kBits57, 5);
}

std::uint8_t ShowHandler027(ProgrammingState& state, TerminalRecord& record) {
    return ShowSmallEntry(state, record, kBits57);
}

// --- Slot 26 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler026(ProgrammingState& state, TerminalRecord& record) {
    const EntryFieldItem* row = FindItem(kEntryFieldItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k = ParseByteField(record, p, 1, 0, 3);
    const std::uint8_t value = ParseByteField(record, p + 2, 1, 0, row->max);
    if (k == kFieldRefused || value == kFieldRefused) return kHandlerRejected;
    std::uint8_t& byte = *EntryByte(state.image, k, row->offset);
    row->field.set(value, byte);
    return row->field.get(byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler026(ProgrammingState& state, TerminalRecord& record) {
    const EntryFieldItem* row = FindItem(kEntryFieldItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 1, 0, 3);
    if (k == kFieldRefused) return kHandlerRejected;
    AppendDigit(record, row->field.get(*EntryByte(state.image, k, row->offset)));
    return kHandlerAccepted;
}

// --- Slot 28 ---------------------------------------------------------------------------------
// A number is cleared by "000"; a port is typed as a three-digit position, "700" standing for the
// code 240.

std::uint8_t StoreHandler028(ProgrammingState& state, TerminalRecord& record) {
    const EntryKey key = ParseEntryKey(state, record);
    if (key.k == kFieldRefused) return kHandlerRejected;
    const std::uint8_t data = FirstFieldPosition(state) + 4;
    if (key.j <= 3) {
        auto number = EntryNumber(state.image, key);
        if (FieldIs(record, data, "000")) return ZeroAndCheck(number);
        return StoreDialNumber(record, kEntryNumberDigits, data, number);
    }
    if (TypedDigits(record, data, 4) != 3) return kHandlerRejected;
    std::uint8_t code = MapSlotCodeWide(ParsePosition72(record, data));
    if (code == kPositionRefused) {
        if (!FieldIs(record, data, "700")) return kHandlerRejected;
        code = kOutsideCode;
    }
    std::uint8_t& byte = *EntryByte(state.image, key.k, kEntryPortBase + key.j);
    byte = code;
    return byte == code ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler028(ProgrammingState& state, TerminalRecord& record) {
    const EntryKey key = ParseEntryKey(state, record);
    if (key.k == kFieldRefused) return kHandlerRejected;
    if (key.j <= 3) {
        UnpackDialDigits(record, kEntryNumberDigits, EntryNumber(state.image, key));
        return kHandlerAccepted;
    }
    const std::uint8_t code = *EntryByte(state.image, key.k, kEntryPortBase + key.j);
    if (code == kOutsideCode) {
        record.line.Append("700");
    } else {
        AppendPortCode(record, code);
    }
    return kHandlerAccepted;
}

// --- Slot 29 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler029(ProgrammingState& state, TerminalRecord& record) {
    const DigitItem* row = nullptr;
    std::uint8_t* byte = DigitByte(state, row);
    if (byte == nullptr) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, FirstFieldPosition(state), 1, 1, row->max);
    if (value == kFieldRefused) return kHandlerRejected;
    const auto stored = static_cast<std::uint8_t>(value - row->bias);
    row->field.set(stored, *byte);
    return row->field.get(*byte) == stored ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler029(ProgrammingState& state, TerminalRecord& record) {
    const DigitItem* row = nullptr;
    const std::uint8_t* byte = DigitByte(state, row);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, static_cast<std::uint8_t>(row->field.get(*byte) + row->bias));
    return kHandlerAccepted;
}

}  // namespace qzs
