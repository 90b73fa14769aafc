// What the store and show handlers share: the descriptor of the command being served, the place
// of a shared handler's target byte, and the bit fields the option handlers move values through.
// Option handlers are rows of small tables (item -> place, field, range) read by one routine each.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "programming/command_table.h"
#include "programming/data_image.h"
#include "programming/digit_fields.h"
#include "programming/handler_table.h"
#include "programming/port_codecs.h"
#include "programming/state.h"
#include "programming/terminal.h"

namespace qzs {

// The descriptor of the command whose handler runs (CurrentCommand's index in the active table).
const CommandDescriptor& CurrentDescriptor(const ProgrammingState& state);

// Line position of the first field: 4, or 5 after a four-digit command number.
inline std::uint8_t FirstFieldPosition(const ProgrammingState& state) {
    return state.current_command.FirstFieldPosition();
}

// Where a shared handler finds its byte: a fixed byte of a block, the pointer-table entry that
// descriptor byte 11 names plus a base of the handler's own, or a setting byte outside the blocks.
struct BytePlace {
    enum class Kind : std::uint8_t { kBlock, kPointer, kSetting };
    Kind kind = Kind::kBlock;
    std::uint8_t block = 0;
    std::uint16_t offset = 0;  // byte in the block, or the pointer base
    SettingByte setting = SettingByte::kCount;
};

constexpr BytePlace InBlock(std::uint8_t block, std::uint16_t offset) {
    return {BytePlace::Kind::kBlock, block, offset, SettingByte::kCount};
}
constexpr BytePlace ThroughPointer(std::uint16_t base) {
    return {BytePlace::Kind::kPointer, 0, base, SettingByte::kCount};
}
constexpr BytePlace InSetting(SettingByte setting) {
    return {BytePlace::Kind::kSetting, 0, 0, setting};
}

// The byte a place names; pointer_entry is descriptor byte 11. nullptr when a pointer entry plus
// its base leaves the pointer table (a descriptor can hold any byte), so nothing outside the image
// is ever reached.
std::uint8_t* ResolvePlace(DataImage& image, const BytePlace& place, std::uint8_t pointer_entry);

// A field of a byte with its setter and getter (the setter clears the field, then sets it).
struct BitField {
    void (*set)(std::uint8_t value, std::uint8_t& byte);
    std::uint8_t (*get)(std::uint8_t byte);
};

inline constexpr BitField kBits01{&SetBits01, &GetBits01};
inline constexpr BitField kBits23{&SetBits23, &GetBits23};
inline constexpr BitField kBits45{&SetBits45, &GetBits45};
inline constexpr BitField kBits67{&SetBits67, &GetBits67};
inline constexpr BitField kBits34{&SetBits34, &GetBits34};
inline constexpr BitField kBits02{&SetBits02, &GetBits02};
inline constexpr BitField kBits46{&SetBits46, &GetBits46};
inline constexpr BitField kBits57{&SetBits57, &GetBits57};
inline constexpr BitField kLowNibble{&SetLowNibble, &GetLowNibble};
inline constexpr BitField kHighNibble{&SetHighNibble, &GetHighNibble};

// Sets (value 1) or clears (value 0) the mask bits; true when they read back as written.
bool SetMaskBits(std::uint8_t& byte, std::uint8_t mask, std::uint8_t value);
// '1' when the byte has any bit of the mask, else '0'.
void AppendMaskFlag(TerminalRecord& record, std::uint8_t byte, std::uint8_t mask);
// The value 0-15 as one character (a hexadecimal digit above 9).
inline void AppendDigit(TerminalRecord& record, std::uint8_t value) {
    record.line.Append(NibbleToHexChar(value));
}

// Copies the line characters from the position into the bytes as they stand, blanks included.
void CopyLineText(const TerminalRecord& record, std::size_t position,
                  std::span<std::uint8_t> bytes);
// Appends stored display characters. A byte below 0x20 (an entry never written holds zeros) shows
// as a blank: the line must not take terminators or control characters into its text.
void AppendStoredText(TerminalRecord& record, std::span<const std::uint8_t> bytes);

// The row of a handler's item table whose item is the given sub-type; nullptr when none is.
template <typename Row, std::size_t N>
const Row* FindItem(const std::array<Row, N>& rows, std::uint8_t item) {
    for (const Row& row : rows) {
        if (row.item == item) return &row;
    }
    return nullptr;
}

// --- Unit ranges ---------------------------------------------------------------------------
// The key of the per-unit commands (units, lines, groups): the first unit as two digits, then
// either "-" alone (one unit) or the last unit as two digits, from the first up to the highest.
// Both are read by the strict field parser, so a last unit typed with one digit (which leaves
// "-" in the second digit place) is refused rather than read as a number.
struct UnitRange {
    std::uint8_t first = 0;
    std::uint8_t last = 0;
    std::uint8_t data = 0;  // line position of the first data field
};

// The range typed at the first field position, units 1 to highest; false when refused.
bool ParseUnitRange(const ProgrammingState& state, const TerminalRecord& record,
                    std::uint8_t highest, UnitRange& range);
// The one-unit form that the shows take; 255 for a range or a unit out of 1 to highest.
std::uint8_t ParseSingleUnit(const ProgrammingState& state, const TerminalRecord& record,
                             std::uint8_t highest);

// Two one-digit values at the position and two places after it; when the second place holds a
// blank the second value repeats the first. Either 255 when out of [min, max] or not a digit.
struct ValuePair {
    std::uint8_t first = 255;
    std::uint8_t second = 255;
    bool Refused() const { return first == 255 || second == 255; }
};
ValuePair ParseValuePair(const TerminalRecord& record, std::uint8_t position, std::uint8_t min,
                         std::uint8_t max);

// Two values per unit: one field of a byte of the unit's record and the same field of a second
// byte of it. Values are one digit each; `allowed` has bit v set for each value v that may be
// stored (the others are refused like values out of range).
struct UnitPairItem {
    std::uint8_t item;  // sub-type
    std::uint8_t block;
    std::uint8_t record_bytes;
    std::uint8_t first_byte;
    std::uint8_t second_byte;
    BitField field;
    std::uint16_t allowed;
};

// Writes both values into every unit of the range typed, ascending; a field that does not read
// back ends the walk with the mismatch answer. Units run from 1 to highest.
std::uint8_t StoreUnitPair(ProgrammingState& state, TerminalRecord& record,
                           const UnitPairItem& item, std::uint8_t highest);
// One unit: first value, ",", second value.
std::uint8_t ShowUnitPair(ProgrammingState& state, TerminalRecord& record, const UnitPairItem& item,
                          std::uint8_t highest);

// Digits '0'-'9' typed from the line position, at most n.
std::uint8_t TypedDigits(const TerminalRecord& record, std::size_t position, std::uint8_t n);
// True when the field at the position is the single digit "0" (a blank or the line's end after).
bool IsLoneZero(const TerminalRecord& record, std::size_t position);
// True when the field at the position is exactly the given digits.
bool FieldIs(const TerminalRecord& record, std::size_t position, std::string_view digits);

// A dial number typed at the position (n characters, first in the high nibble) written over the
// whole of the bytes: they are cleared first, so a nibble past an odd count is 0 rather than
// what an older number left. Answers the verify (0 equal, 2 different).
std::uint8_t StoreDialNumber(const TerminalRecord& record, std::uint8_t n, std::uint8_t position,
                             std::span<std::uint8_t> bytes);
// Zeroes the bytes; 0 when every one reads back 0, else 2.
std::uint8_t ZeroAndCheck(std::span<std::uint8_t> bytes);

// Little-endian 16-bit value of bytes [offset, offset + 2) of a block, and its setter that
// answers the read-back; a word outside the block reads as 0xFFFF and is never written (2).
std::uint16_t BlockWord(DataImage& image, int block, std::size_t offset);
std::uint8_t SetBlockWord(DataImage& image, int block, std::size_t offset, std::uint16_t value);
// The n characters from the position as one decimal number in [min, max]; 0xFFFF when one of
// them is not a digit (a blank too, which the word parser would read as 0) or when the number
// lies outside the range.
std::uint16_t ParseDigitWord(const TerminalRecord& record, std::uint8_t position, std::uint8_t n,
                             std::uint16_t min, std::uint16_t max);

// Bytes [offset, offset + count) of a block; empty when they do not lie inside it.
std::span<std::uint8_t> BlockBytes(DataImage& image, int block, std::size_t offset,
                                   std::size_t count);

// --- Position ranges ---------------------------------------------------------------------------
// Per-port commands take a first position, an optional last one and sometimes an index before
// their data. An empty last position still gets its separator, so the line tells the two forms
// apart by where the "-" after the key fields stands:
//   no index:           single "101,-v"        range "101,112-v"
//   index of n digits:  single "101,,ii-v"     range "101,112,ii-v"

// How a typed position becomes a port code. The wide class passes each value of a store walk
// through MapCrCode first; a show (one position) never does.
struct PositionClass {
    std::uint8_t (*read)(const TerminalRecord& record, std::uint8_t position);
    std::uint8_t (*map)(std::uint8_t index);
    bool cr_in_walk;
};

inline constexpr PositionClass kPlainPositions{&ParsePosition36, &MapSlotCode, false};
inline constexpr PositionClass kSpecialPositions{&ParsePositionOrSpecial, &MapSlotCodeWide, false};
inline constexpr PositionClass kWidePositions{&ParsePosition72, &MapSlotCodeWide, true};

struct PositionRange {
    std::uint8_t first = kPositionRefused;  // position indexes, first <= last
    std::uint8_t last = kPositionRefused;
    bool single = false;        // the last position was left empty
    std::uint8_t index_at = 0;  // line positions of the index field and of the data
    std::uint8_t data_at = 0;

    bool Valid() const { return first != kPositionRefused; }
};

// The key fields from line position p with an index field of index_digits (0, 1 or 2) digits.
// Not valid when a position is refused, is 000, or the first lies above the last; a last position
// typed short (its "-" out of place) is refused, never read with the separator as a digit.
PositionRange ParsePositionRange(const TerminalRecord& record, std::uint8_t p,
                                 const PositionClass& positions, std::uint8_t index_digits);

// A show's one position: the port code of the single form, or 0 when the key fields are a range,
// a refused position or a position without a port (the show then answers 1).
std::uint8_t ParseSinglePositionPort(const TerminalRecord& record, std::uint8_t p,
                                     const PositionClass& positions, std::uint8_t index_digits);

enum class WalkRule : std::uint8_t {
    kStopAtFailure,  // the first port that does not answer 0 ends the walk
    kGoOn,           // every port is visited whatever the earlier ones answered
};

// Visits the port code of every position of the range (positions without a port skipped) with
// visit(code), which answers a handler result. The answer is that of the first port that did not
// answer 0, so an earlier mismatch is never covered by a later success; 0 when all did.
template <typename Visit>
std::uint8_t WalkPositionRange(const PositionRange& range, const PositionClass& positions,
                               WalkRule rule, Visit&& visit) {
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned p = range.first; p <= range.last; ++p) {
        if (positions.cr_in_walk) p = MapCrCode(static_cast<std::uint8_t>(p));
        const std::uint8_t code = positions.map(static_cast<std::uint8_t>(p));
        if (code == 0 || code == kPositionRefused) continue;
        const std::uint8_t result = visit(code);
        if (result == kHandlerAccepted) continue;
        if (answer == kHandlerAccepted) answer = result;
        if (rule == WalkRule::kStopAtFailure) break;
    }
    return answer;
}

// The record of port code c (1-based) in a block of records of the given size; empty for code 0
// or a record that does not lie inside the block.
std::span<std::uint8_t> PortRecord(DataImage& image, int block, std::size_t record_bytes,
                                   std::uint8_t code);

// Two-digit code filters: entry v equals v when the code v is allowed and is 255 when it is not.
// The handlers look up 0-26 only; the entries above keep the main unit's pattern.
inline constexpr std::size_t kCodeFilterABytes = 65;
inline constexpr std::size_t kCodeFilterBBytes = 65;
inline constexpr std::size_t kCodeFilterCBytes = 67;
extern const std::array<std::uint8_t, kCodeFilterABytes> CodeFilterA;
extern const std::array<std::uint8_t, kCodeFilterBBytes> CodeFilterB;
extern const std::array<std::uint8_t, kCodeFilterCBytes> CodeFilterC;

// True when the filter has an entry for the value and that entry is the value itself.
inline bool PassesCodeFilter(std::span<const std::uint8_t> filter, std::uint8_t value) {
    return value < filter.size() && filter[value] == value;
}

// --- Number and value entries -----------------------------------------------------------------

// True when the field at the position is exactly the text: a blank or the end of the line
// follows it. The clear forms of the number entries ("0", "00000") are read this way.
bool HoldsLoneField(const TerminalRecord& record, std::size_t position, std::string_view text);
// True when a field left empty stands at the position: a blank or the end of the line.
bool IsEmptyField(const TerminalRecord& record, std::size_t position);

// The table of a record whose entries are fixed-size byte arrays; empty for an index outside it.
template <typename Table>
std::span<std::uint8_t> TableEntry(Table& table, std::size_t index) {
    if (index >= table.size()) return {};
    return std::span<std::uint8_t>(table[index].data(), table[index].size());
}

}  // namespace qzs
