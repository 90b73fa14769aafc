// Slots 60-69: *007, the clear and reset entry with its confirmation prompt; a number with a flag
// and a value (*9337); four- and five-digit dial codes (*000, *083, *9300, *164, *163); the service
// code (*9278); a terminal's state by position (*012); and the port bit flags over a range of
// positions. P below is the first field position on the line.
//
// Slot 62, which no command reaches, would keep dial strings by sub-type in places outside the
// image and in a row of block 53 whose bytes are named nowhere; rather than guess them, it has
// the reject entry in both halves of the handler table.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"
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

constexpr std::uint8_t kFieldRefused = 255;
constexpr std::uint16_t kWordRefused = 0xFFFF;

// Slot 63 (*9337): a number 0-999 in block 20, bytes 8-9, and in byte 16 a flag (bit 2) and a
// value 0-2 (bits 0-1).
constexpr int kNumberFlagBlock = 20;
constexpr std::size_t kNumberFlagWord = 8;
constexpr std::size_t kNumberFlagByte = 16;
constexpr std::uint8_t kNumberFlagBit = 0x04;

// Slot 64: a four-digit code in two bytes of block 3.
struct FourDigitItem {
    std::uint8_t item;
    std::size_t offset;
};
constexpr int kFourDigitBlock = 3;
constexpr std::array kFourDigitItems{FourDigitItem{1, 28}, FourDigitItem{2, 30}};  // *000, *083

std::span<std::uint8_t> FourDigitCode(ProgrammingState& state) {
    const FourDigitItem* row = FindItem(kFourDigitItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return {};
    return BlockBytes(state.image, kFourDigitBlock, row->offset, 2);
}

// Slot 65: five-digit codes.
constexpr std::uint8_t kCodeItemNotice = 1;  // *9300: block 20 bytes 13-15, with its notices
constexpr std::uint8_t kCodeItemShort = 2;   // *164: four digits in block 99 bytes 0-1
constexpr std::uint8_t kCodeItemLong = 3;    // *163: five digits in block 80 bytes 31-33
constexpr std::uint8_t kCodeDigits = 5;
constexpr std::uint8_t kShortCodeDigits = 4;

std::span<std::uint8_t> FiveDigitCode(DataImage& image, std::uint8_t item) {
    switch (item) {
        case kCodeItemNotice:
            return BlockBytes(image, 20, 13, 3);
        case kCodeItemShort:
            return BlockBytes(image, 99, 0, 2);
        case kCodeItemLong:
            return BlockBytes(image, 80, 31, 3);
        default:
            return {};
    }
}
constexpr int kNoticeBlock = 125;
constexpr std::size_t kNoticeByte = 5;
constexpr std::uint8_t kNoticeBit = 0x01;

// Slot 66 (*9278): the only two values ServiceCodeValue takes.
constexpr std::uint32_t kServiceCode = 290417;

// Slot 67 (*012): a terminal counts as free when its type byte is 0 and bits 6-7 of attribute
// byte 2 are clear.
constexpr std::size_t kTerminalStateAttribute = 2;
constexpr std::uint8_t kTerminalBusyBits = 0xC0;

// Slots 68 and 69: a byte of a port's record, found by its port code u.
struct PortByte {
    int block;  // -1: UnitWorkTable
    std::uint8_t record_bytes;
    std::uint8_t offset;
};

constexpr int kUnitWorkTable = -1;

std::uint8_t* PortByteOf(DataImage& image, const PortByte& place, std::uint8_t u) {
    std::span<std::uint8_t> port;
    if (place.block == kUnitWorkTable) {
        if (u == 0 || u > image.unit_work_table.size()) return nullptr;
        port = image.unit_work_table[u - 1u];
    } else {
        port = PortRecord(image, place.block, place.record_bytes, u);
    }
    return place.offset < port.size() ? &port[place.offset] : nullptr;
}

// Slot 68: the class and byte of each sub-type; the bit is the descriptor's mask.
struct PortFlagItem {
    std::uint8_t item;
    PositionClass positions;
    PortByte place;
};

constexpr PortByte PortRecordByte(std::uint8_t offset) {
    return {1, 48, offset};
}

constexpr std::array kPortFlagItems{
    PortFlagItem{1, kPlainPositions, PortRecordByte(0)},      // *633 *636 *672 *800 *840 *9207
    PortFlagItem{2, kPlainPositions, PortRecordByte(1)},      // *114 *631
    PortFlagItem{3, kPlainPositions, PortRecordByte(2)},      // *326
    PortFlagItem{4, kPlainPositions, PortRecordByte(16)},     // *704
    PortFlagItem{5, kSpecialPositions, PortRecordByte(17)},   // *500
    PortFlagItem{9, kPlainPositions, PortRecordByte(3)},      // *116 *135
    PortFlagItem{11, kWidePositions, PortRecordByte(17)},     // *523
    PortFlagItem{12, kWidePositions, PortRecordByte(1)},      // *632 *635 *702
    PortFlagItem{22, kWidePositions, PortByte{52, 12, 0}},    // *501
    PortFlagItem{23, kSpecialPositions, PortRecordByte(16)},  // *620
    PortFlagItem{24, kPlainPositions, PortRecordByte(17)},    // *506
    PortFlagItem{25, kPlainPositions, PortByte{127, 4, 1}},   // *414
    PortFlagItem{30, kWidePositions, PortRecordByte(1)},      // *111 *634
    PortFlagItem{32, kPlainPositions, PortRecordByte(2)},     // *709
    PortFlagItem{34, kPlainPositions, PortRecordByte(46)},    // *807
    PortFlagItem{35, kPlainPositions, PortRecordByte(47)},    // *802
    PortFlagItem{36, kPlainPositions, PortRecordByte(47)},    // *819
    PortFlagItem{37, kSpecialPositions, PortRecordByte(46)},  // *9143
    PortFlagItem{38, kPlainPositions, PortByte{kUnitWorkTable, 8, 0}},  // *139
    PortFlagItem{39, kPlainPositions, PortByte{kUnitWorkTable, 8, 0}},  // *419
    PortFlagItem{40, kPlainPositions, PortByte{kUnitWorkTable, 8, 0}},  // *421
    PortFlagItem{42, kWidePositions, PortByte{kUnitWorkTable, 8, 0}},   // *127
    PortFlagItem{43, kPlainPositions, PortByte{kUnitWorkTable, 8, 2}},  // *128
};

// Slot 69 (no command): a value 0-5 in bits 5-7 of bytes 20 and 28 of the block 1 record.
constexpr std::array<PortByte, 2> kPortClassBytes{PortRecordByte(20), PortRecordByte(28)};
constexpr std::uint8_t kPortClassMax = 5;

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

// --- Slot 63 ---------------------------------------------------------------------------------
// The number at P, the flag at P + 4, the value at P + 6; "000" alone clears all three.

std::uint8_t StoreHandler063(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint16_t number = ParseWordField(record, p, 3, 0, 999);
    if (number == kWordRefused) return kHandlerRejected;
    std::uint8_t& byte = *state.image.BlockByte(kNumberFlagBlock, kNumberFlagByte);
    if (number == 0) {
        if (record.line.At(p + 4u) != ' ') return kHandlerRejected;
        const std::uint8_t word = SetBlockWord(state.image, kNumberFlagBlock, kNumberFlagWord, 0);
        SetBits02(0, byte);
        return word == kHandlerAccepted && GetBits02(byte) == 0 ? kHandlerAccepted
                                                                : kHandlerMismatch;
    }
    const std::uint8_t flag = ParseByteField(record, p + 4, 1, 0, 1);
    const std::uint8_t value = ParseByteField(record, p + 6, 1, 0, 2);
    if (flag == kFieldRefused || value == kFieldRefused) return kHandlerRejected;
    const std::uint8_t word = SetBlockWord(state.image, kNumberFlagBlock, kNumberFlagWord, number);
    SetMaskBits(byte, kNumberFlagBit, flag);
    SetBits01(value, byte);
    return word == kHandlerAccepted && GetBits01(byte) == value ? kHandlerAccepted
                                                                : kHandlerMismatch;
}

std::uint8_t ShowHandler063(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t byte = *state.image.BlockByte(kNumberFlagBlock, kNumberFlagByte);
    AppendNumber(record, BlockWord(state.image, kNumberFlagBlock, kNumberFlagWord), 3, 10);
    record.line.Append(',');
    AppendMaskFlag(record, byte, kNumberFlagBit);
    record.line.Append(',');
    AppendDigit(record, GetBits01(byte));
    return kHandlerAccepted;
}

// --- Slot 64 ---------------------------------------------------------------------------------
// Four digits, or "00" to clear the code.

std::uint8_t StoreHandler064(ProgrammingState& state, TerminalRecord& record) {
    auto code = FourDigitCode(state);
    if (code.empty()) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    if (TypedDigits(record, p, 4) < 4) {
        return FieldIs(record, p, "00") ? ZeroAndCheck(code) : kHandlerRejected;
    }
    return StoreDialNumber(record, 4, p, code);
}

std::uint8_t ShowHandler064(ProgrammingState& state, TerminalRecord& record) {
    auto code = FourDigitCode(state);
    if (code.empty()) return kHandlerRejected;
    if (code[0] != 0 || code[1] != 0) UnpackDialDigits(record, 4, code);
    return kHandlerAccepted;
}

// --- Slot 65 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler065(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    auto code = FiveDigitCode(state.image, item);
    if (code.empty()) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t typed = TypedDigits(record, p, kCodeDigits);
    const bool leading_zero = record.line.At(p) == '0';
    switch (item) {
        case kCodeItemNotice: {
            if (typed != kCodeDigits) return kHandlerRejected;
            if (leading_zero && !FieldIs(record, p, "00000")) return kHandlerRejected;
            // Five digits always fill the first five nibbles; the sixth is not the code's and
            // keeps its value.
            PackDialDigits(record, kCodeDigits, p, code);
            const std::uint8_t verified = VerifyDialDigits(record, kCodeDigits, p, code);
            if (verified != kHandlerAccepted) return verified;
            *state.image.BlockByte(kNoticeBlock, kNoticeByte) |= kNoticeBit;
            state.image.Setting(SettingByte::kChangeNoticeFlags) |= kNoticeBit;
            return kHandlerAccepted;
        }
        case kCodeItemShort:
            if (typed == kCodeDigits) {
                return FieldIs(record, p, "00000") ? ZeroAndCheck(code) : kHandlerRejected;
            }
            return StoreDialNumber(record, kShortCodeDigits, p, code);
        default:
            if (IsLoneZero(record, p)) return ZeroAndCheck(code);
            if (leading_zero) return kHandlerRejected;
            return StoreDialNumber(record, kCodeDigits, p, code);
    }
}

std::uint8_t ShowHandler065(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    auto code = FiveDigitCode(state.image, item);
    if (code.empty()) return kHandlerRejected;
    UnpackDialDigits(record, item == kCodeItemShort ? kShortCodeDigits : kCodeDigits, code);
    return kHandlerAccepted;
}

// --- Slot 66 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler066(ProgrammingState& state, TerminalRecord& record) {
    const std::uint32_t value =
        ParseDwordField(record, FirstFieldPosition(state), 6, 0, kServiceCode);
    if (value != 0 && value != kServiceCode) return kHandlerRejected;
    state.image.service_code_value = value;
    return state.image.service_code_value == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler066(ProgrammingState& state, TerminalRecord& record) {
    AppendLongNumber(record, state.image.service_code_value, 6, 10);
    return kHandlerAccepted;
}

// --- Slot 67 ---------------------------------------------------------------------------------
// A plain-class position at P names the terminal.

std::uint8_t ShowHandler067(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t t = MapSlotCode(ParsePosition36(record, FirstFieldPosition(state)));
    const TerminalRecord* terminal = FindTerminal(state.terminals, t);
    if (terminal == nullptr) return kHandlerRejected;
    const bool free = terminal->attributes[0] == 0 &&
                      (terminal->attributes[kTerminalStateAttribute] & kTerminalBusyBits) == 0;
    record.line.Append(free ? '1' : '0');
    return kHandlerAccepted;
}

// --- Slot 68 ---------------------------------------------------------------------------------
// A first position at P, an optional last one at P + 4, then one digit. The first port whose bit
// does not read back ends the walk; the ports before it stay written.

std::uint8_t StoreHandler068(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    const PortFlagItem* row = FindItem(kPortFlagItems, descriptor.SubType());
    if (row == nullptr) return kHandlerRejected;
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), row->positions, 0);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    return WalkPositionRange(range, row->positions, WalkRule::kStopAtFailure, [&](std::uint8_t u) {
        std::uint8_t* byte = PortByteOf(state.image, row->place, u);
        if (byte == nullptr) return kHandlerRejected;
        return SetMaskBits(*byte, descriptor.Mask(), value) ? kHandlerAccepted : kHandlerMismatch;
    });
}

std::uint8_t ShowHandler068(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    const PortFlagItem* row = FindItem(kPortFlagItems, descriptor.SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t u =
        ParseSinglePositionPort(record, FirstFieldPosition(state), row->positions, 0);
    const std::uint8_t* byte = PortByteOf(state.image, row->place, u);
    if (byte == nullptr) return kHandlerRejected;
    AppendMaskFlag(record, *byte, descriptor.Mask());
    return kHandlerAccepted;
}

// --- Slot 69 ---------------------------------------------------------------------------------
// The layout of slot 68 over plain-class positions.

std::uint8_t StoreHandler069(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kPlainPositions, 0);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 1, 0, kPortClassMax);
    if (value == kFieldRefused) return kHandlerRejected;
    return WalkPositionRange(range, kPlainPositions, WalkRule::kStopAtFailure, [&](std::uint8_t u) {
        for (const PortByte& place : kPortClassBytes) {
            std::uint8_t* byte = PortByteOf(state.image, place, u);
            if (byte == nullptr) return kHandlerRejected;
            SetBits57(value, *byte);
            if (GetBits57(*byte) != value) return kHandlerMismatch;
        }
        return kHandlerAccepted;
    });
}

std::uint8_t ShowHandler069(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t u =
        ParseSinglePositionPort(record, FirstFieldPosition(state), kPlainPositions, 0);
    const std::uint8_t* byte = PortByteOf(state.image, kPortClassBytes[0], u);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, GetBits57(*byte));
    return kHandlerAccepted;
}

}  // namespace qzs
