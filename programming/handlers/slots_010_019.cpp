// Slots 10-19: the shared option handlers (values 0-4, fields of 3 or 4 bits, one-digit nibbles,
// one-hot tables), the port entries of block 40, the two flags of *360, the two per-unit values
// of *101 and *640, the display text of *721 and the digit counts of *080.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"
#include "programming/slot_queries.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// True when the line begins with one of the command numbers and its "=": some shared handlers
// treat single commands apart by the digits typed, not by their descriptor.
bool LineCommandIs(const TerminalRecord& record, std::initializer_list<std::string_view> numbers) {
    const std::string_view text = record.line.Text();
    return std::any_of(numbers.begin(), numbers.end(), [&](std::string_view n) {
        return text.substr(0, n.size()) == n && record.line.At(n.size()) == '=';
    });
}

// A shared option: the item (descriptor byte 10), its byte and the field of the byte.
struct ValueItem {
    std::uint8_t item;
    BytePlace place;
    BitField field;
};

// The byte of an item's row; nullptr when the item has no row or its place is outside the image.
template <std::size_t N>
std::uint8_t* ValueByte(ProgrammingState& state, const std::array<ValueItem, N>& items,
                        const ValueItem*& row) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    row = FindItem(items, descriptor.SubType());
    return row != nullptr ? ResolvePlace(state.image, row->place, descriptor.PointerEntry())
                          : nullptr;
}

// Slot 10: values 0-4. Items 3 and 4 reach block 55 through pointer entry 40 + byte 11.
constexpr std::array kSlot10Items{
    ValueItem{1, InBlock(20, 12), kBits02},               // no command
    ValueItem{3, ThroughPointer(40), kBits02},            // *064, *322
    ValueItem{4, ThroughPointer(40), kBits46},            // *065
    ValueItem{5, InSetting(SettingByte::k025), kBits02},  // *025
    ValueItem{6, InSetting(SettingByte::k673), kBits02},  // *673
    ValueItem{7, InSetting(SettingByte::k706), kBits02},  // *706
    ValueItem{8, InBlock(132, 1), kBits02},               // *413
};

// Slots 11 and 14 (*9223, *9222): five port entries of block 40, entry 0 at bytes 9 (slot code)
// and 10 (flags), entry k (1-4) at bytes 8 + 4k and 9 + 4k.
constexpr int kPortEntryBlock = 40;

std::uint8_t* PortEntryByte(ProgrammingState& state, const TerminalRecord& record,
                            std::size_t flags) {
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 1, 0, 4);
    if (k == kFieldRefused) return nullptr;
    const std::size_t code_byte = k == 0 ? 9 : 8 + 4u * k;
    return state.image.BlockByte(kPortEntryBlock, code_byte + flags);
}

// Slot 16: fields of 3 or 4 bits, one digit 0-7. Items 6 and 8 have no place: their store takes
// the digit and writes nothing, their show leaves a blank.
constexpr std::array kSlot16Items{
    ValueItem{1, InBlock(20, 17), kBits02},      // *9312
    ValueItem{2, ThroughPointer(0), kBits57},    // *157, *158, *712
    ValueItem{3, ThroughPointer(0), kBits02},    // *602, *670, *9218
    ValueItem{4, ThroughPointer(40), kBits02},   // *053, *055, *056, *057, *062
    ValueItem{5, ThroughPointer(40), kBits46},   // *054, *063, *848
    ValueItem{7, InBlock(78, 8), kBits46},       // *9533
    ValueItem{9, InBlock(80, 34), kBits46},      // *058
    ValueItem{10, InBlock(80, 34), kBits02},     // *059
    ValueItem{11, InBlock(80, 35), kLowNibble},  // *077
    ValueItem{12, InBlock(3, 18), kLowNibble},   // *038
    ValueItem{13, InBlock(20, 29), kBits02},     // no command
};
constexpr std::uint8_t kSlot16NoPlaceItems[] = {6, 8};
constexpr std::uint8_t kSlot16NonZeroItem = 7;
constexpr std::uint8_t kSlot16WorkAreaItem = 12;

// Slot 17: one digit 0-9 in a nibble. Item 4 marks the system modified; item 10 (*121) is a
// dial digit and has its own path. Items 11 and 12 name two setting bytes that nothing else
// names and no command reaches: they have no row and are refused.
constexpr std::array kSlot17Items{
    ValueItem{0, ThroughPointer(80), kLowNibble},             // no command
    ValueItem{1, ThroughPointer(0), kLowNibble},              // *156, *341, *343, *354
    ValueItem{2, ThroughPointer(32), kLowNibble},             // *027
    ValueItem{3, InBlock(55, 8), kLowNibble},                 // no command
    ValueItem{4, ThroughPointer(63), kLowNibble},             // no command
    ValueItem{5, InBlock(63, 0), kLowNibble},                 // no command
    ValueItem{6, InBlock(55, 13), kLowNibble},                // no command
    ValueItem{7, InBlock(55, 13), kHighNibble},               // no command
    ValueItem{8, ThroughPointer(0), kHighNibble},             // *345
    ValueItem{9, ThroughPointer(32), kHighNibble},            // *372
    ValueItem{13, InSetting(SettingByte::k318), kLowNibble},  // *318
};
constexpr std::uint8_t kSlot17ModifiedItem = 4;
constexpr std::uint8_t kSlot17DialItem = 10;
constexpr int kDialDigitBlock = 3;
constexpr std::size_t kDialDigitByte = 5;

// Slot 18: four one-hot tables of 10 entries in block 9, by item; *152 and *153 refuse the
// values that their keys cannot hold.
struct OneHotItem {
    std::uint8_t item;
    std::uint8_t first_byte;
    std::uint8_t refused_below;  // values 1 to refused_below - 1 are refused
};
constexpr std::array kOneHotItems{
    OneHotItem{1, 10, 1},  // *150
    OneHotItem{2, 0, 1},   // *151
    OneHotItem{3, 30, 4},  // *152
    OneHotItem{4, 20, 3},  // *153
};
constexpr int kOneHotBlock = 9;

// Slot 12 (*360): block 40 byte 0, bit 3 the first value and bit 2 the second.
constexpr int kPairFlagBlock = 40;
constexpr std::size_t kPairFlagByte = 0;
constexpr std::uint8_t kFirstFlag = 0x08;
constexpr std::uint8_t kSecondFlag = 0x04;

// Slot 13: two values 0-3 per unit, in bits 0-1 of a byte of the unit's block 2 record and of
// its copy eight bytes on.
constexpr std::uint8_t kUnits = 8;
constexpr std::array<UnitPairItem, 2> kUnitPairs{{
    {1, 2, 20, 4, 12, kBits01, 0x000F},  // *101
    {2, 2, 20, 6, 14, kBits01, 0x000F},  // *640
}};

// Slot 15 (*721): five entries of 12 bytes in block 11; bytes 0-9 hold display characters, of
// which the show gives the first eight.
constexpr int kTextBlock = 11;
constexpr std::size_t kTextEntryBytes = 12;
constexpr std::size_t kTextStoredCharacters = 10;
constexpr std::size_t kTextShownCharacters = 8;

// Slot 19 (*080): bits 0-1 of block 14 byte 1 + entry hold the value - 1 (values 1-4), entry
// k - 1 for key digit k and 9 for key digit 0. Keys 1-7 are mirrored into the *080 copy.
constexpr int kDigitCountBlock = 14;
constexpr std::size_t kDigitCountFirstByte = 1;
constexpr std::uint8_t kDigitCountEntries = 10;

// The entry of a key digit 0-9 (0 comes after 9); kFieldRefused for anything else.
std::uint8_t KeyDigitEntry(const TerminalRecord& record, std::uint8_t position) {
    const std::uint8_t key = ParseByteField(record, position, 1, 0, 9);
    if (key == kFieldRefused) return kFieldRefused;
    return key == 0 ? kDigitCountEntries - 1 : static_cast<std::uint8_t>(key - 1);
}

std::span<std::uint8_t> TextEntry(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t key = ParseByteField(record, FirstFieldPosition(state), 1, 0, 4);
    if (key == kFieldRefused) return {};
    return BlockBytes(state.image, kTextBlock, kTextEntryBytes * key, kTextStoredCharacters);
}

}  // namespace

// --- Slot 10 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler010(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t value = ParseByteField(record, FirstFieldPosition(state), 1, 0, 4);
    if (value == kFieldRefused) return kHandlerRejected;
    const ValueItem* row = nullptr;
    std::uint8_t* byte = ValueByte(state, kSlot10Items, row);
    if (byte == nullptr) return kHandlerRejected;
    row->field.set(value, *byte);
    if (row->field.get(*byte) != value) return kHandlerMismatch;
    if (LineCommandIs(record, {"064", "065"})) ReloadCharacterTable(state.display_characters);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler010(ProgrammingState& state, TerminalRecord& record) {
    const ValueItem* row = nullptr;
    const std::uint8_t* byte = ValueByte(state, kSlot10Items, row);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, row->field.get(*byte));
    return kHandlerAccepted;
}

// --- Slot 11 ---------------------------------------------------------------------------------
// The mask of descriptor byte 12 in the flags byte of the entry.

std::uint8_t StoreHandler011(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t* flags = PortEntryByte(state, record, 1);
    const std::uint8_t value =
        ParseByteField(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 2), 1, 0, 1);
    if (flags == nullptr || value == kFieldRefused) return kHandlerRejected;
    return SetMaskBits(*flags, CurrentDescriptor(state).Mask(), value) ? kHandlerAccepted
                                                                       : kHandlerMismatch;
}

std::uint8_t ShowHandler011(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t* flags = PortEntryByte(state, record, 1);
    if (flags == nullptr) return kHandlerRejected;
    AppendMaskFlag(record, *flags, CurrentDescriptor(state).Mask());
    return kHandlerAccepted;
}

// --- Slot 12 ---------------------------------------------------------------------------------
// The second value may be left out; it then takes the first.

std::uint8_t StoreHandler012(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t first = ParseByteField(record, p, 1, 0, 1);
    const std::uint8_t second =
        record.line.At(p + 2u) != ' ' ? ParseByteField(record, p + 2, 1, 0, 1) : first;
    if (first == kFieldRefused || second == kFieldRefused) return kHandlerRejected;
    std::uint8_t& byte = *state.image.BlockByte(kPairFlagBlock, kPairFlagByte);
    const bool ok1 = SetMaskBits(byte, kFirstFlag, first);
    const bool ok2 = SetMaskBits(byte, kSecondFlag, second);
    return ok1 && ok2 ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler012(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t byte = *state.image.BlockByte(kPairFlagBlock, kPairFlagByte);
    AppendMaskFlag(record, byte, kFirstFlag);
    record.line.Append(',');
    AppendMaskFlag(record, byte, kSecondFlag);
    return kHandlerAccepted;
}

// --- Slot 13 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler013(ProgrammingState& state, TerminalRecord& record) {
    const UnitPairItem* item = FindItem(kUnitPairs, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    return StoreUnitPair(state, record, *item, kUnits);
}

std::uint8_t ShowHandler013(ProgrammingState& state, TerminalRecord& record) {
    const UnitPairItem* item = FindItem(kUnitPairs, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    return ShowUnitPair(state, record, *item, kUnits);
}

// --- Slot 14 ---------------------------------------------------------------------------------
// "000" stores slot code 0, which the entry's show gives back as "000".

std::uint8_t StoreHandler014(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t* code = PortEntryByte(state, record, 0);
    const std::uint8_t position =
        ParsePosition36(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 2));
    if (code == nullptr || position == kPositionRefused) return kHandlerRejected;
    *code = MapSlotCode(position);
    return *code == MapSlotCode(position) ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler014(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t* code = PortEntryByte(state, record, 0);
    if (code == nullptr) return kHandlerRejected;
    AppendPortCode(record, *code);
    return kHandlerAccepted;
}

// --- Slot 15 ---------------------------------------------------------------------------------
// The characters stand on the line after the key and its "-"; the ten line characters from there
// (the entered ones and the blanks after them) are the stored text.

std::uint8_t StoreHandler015(ProgrammingState& state, TerminalRecord& record) {
    auto entry = TextEntry(state, record);
    if (entry.empty()) return kHandlerRejected;
    CopyLineText(record, FirstFieldPosition(state) + 2u, entry);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler015(ProgrammingState& state, TerminalRecord& record) {
    auto entry = TextEntry(state, record);
    if (entry.empty()) return kHandlerRejected;
    AppendStoredText(record, entry.first(kTextShownCharacters));
    return kHandlerAccepted;
}

// --- Slot 16 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler016(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t min = LineCommandIs(record, {"712", "9218", "9533"}) ? 1 : 0;
    const std::uint8_t value = ParseByteField(record, FirstFieldPosition(state), 1, min, 7);
    if (value == kFieldRefused) return kHandlerRejected;
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    if (item == kSlot16NonZeroItem && value == 0) return kHandlerRejected;
    if (std::ranges::find(kSlot16NoPlaceItems, item) != std::end(kSlot16NoPlaceItems)) {
        return kHandlerAccepted;
    }
    const ValueItem* row = nullptr;
    std::uint8_t* byte = ValueByte(state, kSlot16Items, row);
    if (byte == nullptr) return kHandlerRejected;
    // 0 typed over 0 empties the *038 work area.
    if (item == kSlot16WorkAreaItem && value == 0 && GetLowNibble(*byte) == 0) {
        state.image.work_area_038 = WorkArea038{};
    }
    row->field.set(value, *byte);
    const bool same = row->field.get(*byte) == value;
    if (LineCommandIs(record, {"053", "054", "055", "056", "057", "062", "063"}) ||
        (same && LineCommandIs(record, {"058", "059", "077"}))) {
        ReloadCharacterTable(state.display_characters);
    }
    return same ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler016(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    if (std::ranges::find(kSlot16NoPlaceItems, item) != std::end(kSlot16NoPlaceItems)) {
        record.line.SetCursor(record.line.Cursor() + 1);
        return kHandlerAccepted;
    }
    const ValueItem* row = nullptr;
    const std::uint8_t* byte = ValueByte(state, kSlot16Items, row);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, row->field.get(*byte));
    return kHandlerAccepted;
}

// --- Slot 17 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler017(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t value = ParseByteField(record, p, 1, 0, 9);
    if (value == kFieldRefused) return kHandlerRejected;
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    if (item == kSlot17DialItem) {
        auto bytes = BlockBytes(state.image, kDialDigitBlock, kDialDigitByte, 1);
        PackDialDigitsLowFirst(record, 1, p, bytes);
        return VerifyDialDigitsLowFirst(record, 1, p, bytes);
    }
    const ValueItem* row = nullptr;
    std::uint8_t* byte = ValueByte(state, kSlot17Items, row);
    if (byte == nullptr) return kHandlerRejected;
    row->field.set(value, *byte);
    if (row->field.get(*byte) != value) return kHandlerMismatch;
    if (item == kSlot17ModifiedItem) MarkSystemModified(state.modified);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler017(ProgrammingState& state, TerminalRecord& record) {
    if (CurrentDescriptor(state).SubType() == kSlot17DialItem) {
        UnpackDialDigitsLowFirst(record, 1,
                                 BlockBytes(state.image, kDialDigitBlock, kDialDigitByte, 1));
        return kHandlerAccepted;
    }
    const ValueItem* row = nullptr;
    const std::uint8_t* byte = ValueByte(state, kSlot17Items, row);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, row->field.get(*byte));
    return kHandlerAccepted;
}

// --- Slot 18 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler018(ProgrammingState& state, TerminalRecord& record) {
    const OneHotItem* row = FindItem(kOneHotItems, CurrentDescriptor(state).SubType());
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t entry = KeyDigitEntry(record, p);
    const std::uint8_t value = ParseByteField(record, p + 2, 1, 0, 8);
    if (row == nullptr || entry == kFieldRefused || value == kFieldRefused) {
        return kHandlerRejected;
    }
    if (value != 0 && value < row->refused_below) return kHandlerRejected;
    std::uint8_t& byte = *state.image.BlockByte(kOneHotBlock, row->first_byte + entry);
    SetOneHot(value, byte);
    return GetOneHotIndex(byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler018(ProgrammingState& state, TerminalRecord& record) {
    const OneHotItem* row = FindItem(kOneHotItems, CurrentDescriptor(state).SubType());
    const std::uint8_t entry = KeyDigitEntry(record, FirstFieldPosition(state));
    if (row == nullptr || entry == kFieldRefused) return kHandlerRejected;
    AppendDigit(record,
                GetOneHotIndex(*state.image.BlockByte(kOneHotBlock, row->first_byte + entry)));
    return kHandlerAccepted;
}

// --- Slot 19 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler019(ProgrammingState& state, TerminalRecord& record) {
    // The hook always answers 0; the main unit consults it before every *080 store.
    static_cast<void>(ReturnZeroHook());
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t entry = KeyDigitEntry(record, p);
    const std::uint8_t value = ParseByteField(record, p + 2, 1, 1, 4);
    if (entry == kFieldRefused || value == kFieldRefused) return kHandlerRejected;
    const std::uint8_t bits = value - 1;
    std::uint8_t& byte = *state.image.BlockByte(kDigitCountBlock, kDigitCountFirstByte + entry);
    SetBits01(bits, byte);
    if (entry < state.image.copy_080.size()) {
        std::uint8_t& copy = state.image.copy_080[entry];
        SetBits01(bits, copy);
        if (GetBits01(copy) != bits) return kHandlerMismatch;
        MarkSystemModified(state.modified);
    }
    return GetBits01(byte) == bits ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler019(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t entry = KeyDigitEntry(record, FirstFieldPosition(state));
    if (entry == kFieldRefused) return kHandlerRejected;
    const std::uint8_t byte =
        *state.image.BlockByte(kDigitCountBlock, kDigitCountFirstByte + entry);
    AppendDigit(record, static_cast<std::uint8_t>(GetBits01(byte) + 1));
    return kHandlerAccepted;
}

}  // namespace qzs
