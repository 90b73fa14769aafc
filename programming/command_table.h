// The table of command descriptors: one 13-byte record per programming command, 19 groups of
// consecutive command numbers each closed by an end record, then the catch-all record that every
// number outside the groups reaches. The keypad state machine, the handlers and the command
// bridge read it; LookupCommandIndex turns the number on a display line into a record index.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qzs {

struct ProgrammingState;
struct TerminalRecord;

inline constexpr std::size_t kDescriptorBytes = 13;
inline constexpr std::size_t kCommandGroupCount = 19;
inline constexpr std::size_t kCommandRecordCount = 876;  // the built-in table
inline constexpr std::uint16_t kCatchAllIndex = 875;     // the built-in table's catch-all record
inline constexpr std::uint8_t kEndRecordKind = 0xFF;
inline constexpr std::uint8_t kNoHandlerSlot = 0xFF;  // memory view and edit, end records
inline constexpr std::size_t kMaxFields = 6;

// Entry paths of the state machine, descriptor byte 0.
enum CommandKind : std::uint8_t {
    kKindOrdinary = 0,
    kKindConfirmedChoice = 1,    // *007
    kKindCharacterCodes = 2,     // *679, *721
    kKindMemoryView = 3,         // *023
    kKindMemoryEdit = 4,         // *024
    kKindRepeated = 5,           // no command of the built-in table
    kKindFollowUpShow = 6,       // no command of the built-in table
    kKindHexData = 7,            // no command of the built-in table
    kKindFixedData = 8,          // no command of the built-in table
    kKindConfirmedSetting = 15,  // *9361
};

struct CommandDescriptor {
    std::array<std::uint8_t, kDescriptorBytes> bytes{};

    std::uint8_t Kind() const { return bytes[0]; }
    bool IsEndRecord() const { return bytes[0] == kEndRecordKind; }
    std::uint8_t KeyFieldCount() const { return bytes[1] >> 4; }
    std::uint8_t DataFieldCount() const { return bytes[1] & 0x0F; }
    // Shape of field f (1-based, key fields first). A field number outside 1-6 reads as a field
    // of 0 to 16 digits, so a state that has run past the fields still finds a bounded field.
    std::uint8_t FieldShape(unsigned field) const {
        return field >= 1 && field <= kMaxFields ? bytes[1 + field] : 0;
    }
    std::uint8_t FieldMinDigits(unsigned field) const { return FieldShape(field) >> 4; }
    // A maximum of 0 in the record means 16 digits.
    std::uint8_t FieldMaxDigits(unsigned field) const {
        const std::uint8_t max = FieldShape(field) & 0x0F;
        return max == 0 ? 16 : max;
    }
    // The field kept for the next entry; for the repeated kind, the number of entries.
    std::uint8_t ReentryField() const { return bytes[8]; }
    std::uint8_t HandlerSlot() const { return bytes[9]; }
    std::uint8_t SubType() const { return bytes[10]; }
    std::uint8_t PointerEntry() const { return bytes[11]; }
    std::uint8_t Mask() const { return bytes[12]; }
};

// A command table: records in group order. The built-in one is made once from the transcribed
// data; tests build their own (kinds that no real command uses need a table of their own).
class CommandTable {
  public:
    // Requires exactly 19 end records and exactly one record, the catch-all, after the last of
    // them; throws std::invalid_argument otherwise.
    explicit CommandTable(std::vector<CommandDescriptor> records);

    std::size_t size() const { return records_.size(); }
    const CommandDescriptor& operator[](std::size_t index) const { return records_[index]; }
    // The record at the index, or the catch-all record for an index outside the table.
    const CommandDescriptor& At(std::size_t index) const {
        return index < records_.size() ? records_[index] : records_[catch_all_];
    }
    std::span<const CommandDescriptor> Records() const { return records_; }

    std::uint16_t CatchAllIndex() const { return catch_all_; }
    std::uint16_t GroupFirst(std::size_t group) const { return group_first_[group]; }
    std::uint16_t GroupCount(std::size_t group) const { return group_count_[group]; }

    // Index of the record of a command number as it stands on a display line: three digits, or
    // four beginning with '9' (only the first four characters are read). Anything that is not
    // such a number, and every number outside the groups, answers the catch-all index.
    std::uint16_t Lookup(std::string_view number) const;

    // The command number of a record ("002", "9361"); empty for end records and the catch-all.
    std::string NumberAt(std::size_t index) const;

  private:
    std::vector<CommandDescriptor> records_;
    std::array<std::uint16_t, kCommandGroupCount> group_first_{};
    std::array<std::uint16_t, kCommandGroupCount> group_count_{};
    std::uint16_t catch_all_ = 0;
};

// The built-in table, made on first use from programming/command_table_data.inc.
const CommandTable& BuiltInCommandTable();
// The command numbers as the data file writes them, one per record (empty for end records and
// the catch-all), so that a row out of place shows against CommandTable::NumberAt.
std::vector<std::string_view> BuiltInCommandNumbers();
// The table the state's interpreter works with: the one a test has set, else the built-in one.
const CommandTable& ActiveCommandTable(const ProgrammingState& state);

// 1 when line position 0 holds '9' (the fields then begin one position later), else 0.
std::uint8_t IsFourDigitCommand(const TerminalRecord& record);
// The record index of the command number on the terminal's display line, in the active table.
std::uint16_t LookupCommandIndex(const ProgrammingState& state, const TerminalRecord& record);

}  // namespace qzs
