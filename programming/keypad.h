// The main unit's keypad programming mode: one key at a time for one terminal. The command is
// built on the terminal's display line, its fields are checked against the command's descriptor
// and on '#' the command's handler shows the current value or stores the typed one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qzs {

struct ProgrammingState;
struct TerminalRecord;

// Entry states (the state code of a terminal record).
inline constexpr std::uint8_t kStateCommandNumber = 0x10;      // three-digit number
inline constexpr std::uint8_t kStateLongCommandNumber = 0x11;  // four-digit number (first digit 9)
inline constexpr std::uint8_t kStateKeyFields = 0x20;
inline constexpr std::uint8_t kStateDataFields = 0x30;
inline constexpr std::uint8_t kStateDataFull = 0x31;  // all data fields full, waiting for '#'
inline constexpr std::uint8_t kStateCharacterRow = 0x40;
inline constexpr std::uint8_t kStateCharacterColumn = 0x41;
inline constexpr std::uint8_t kStateCharactersFull = 0x42;
inline constexpr std::uint8_t kStateMemoryAddressFirst = 0x50;
inline constexpr std::uint8_t kStateMemoryAddress = 0x51;
inline constexpr std::uint8_t kStateMemoryShown = 0x52;
inline constexpr std::uint8_t kStateMemoryValue = 0x53;
inline constexpr std::uint8_t kStateMemoryValueFull = 0x54;
inline constexpr std::uint8_t kStateRepeatDigits = 0x60;
inline constexpr std::uint8_t kStateRepeatShown = 0x61;
inline constexpr std::uint8_t kStateRepeatFull = 0x62;
inline constexpr std::uint8_t kStateChoiceDigits = 0x70;
inline constexpr std::uint8_t kStateChoiceFull = 0x71;
inline constexpr std::uint8_t kStateChoicePrompt = 0x72;
inline constexpr std::uint8_t kStateChoiceAnswer = 0x73;
inline constexpr std::uint8_t kStateFollowUpShow = 0x80;
inline constexpr std::uint8_t kStateFieldless = 0x90;
inline constexpr std::uint8_t kStateSettingDigit = 0xA0;
inline constexpr std::uint8_t kStateSettingFull = 0xA1;
inline constexpr std::uint8_t kStateSettingPrompt = 0xA2;
inline constexpr std::uint8_t kStateSettingAnswer = 0xA3;

inline constexpr std::size_t kKeyStateRows = 27;
inline constexpr std::size_t kKeyClasses = 9;

// The 27 state codes in row order.
inline constexpr std::array<std::uint8_t, kKeyStateRows> kKeyStateCodes{
    0x00, 0x10, 0x11, 0x20, 0x30, 0x31, 0x40, 0x41, 0x42, 0x50, 0x51, 0x52, 0x53, 0x54,
    0x60, 0x61, 0x62, 0x70, 0x71, 0x72, 0x73, 0x80, 0x90, 0xA0, 0xA1, 0xA2, 0xA3};

// Key classes.
enum KeyClass : std::uint8_t {
    kKeyDigit = 0,
    kKeyStar = 1,
    kKeyHash = 2,
    kKeyHexLetter = 3,  // 'A'-'F'
    kKeyNext = 4,       // key code 0xB03C
    kKeyPrevious = 5,   // key code 0xB03A
    kKeyRestart = 6,    // key code 0xB056
    kKeyErase = 7,      // backspace
    kKeyOther = 8,
};

using KeyCell = void (*)(ProgrammingState& state, TerminalRecord& record);
using KeyStateTableType = std::array<std::array<KeyCell, kKeyClasses>, kKeyStateRows>;

// Row of a state code. A code that is not one of the 27 (a record can be written from outside
// the state machine) reads as the idle state, so no code indexes outside the table.
std::uint8_t StateToRow(std::uint8_t state);
KeyClass ClassifyKey(std::uint16_t key_word);
const KeyStateTableType& KeyStateTable();

// Takes the current terminal and the key word from the state's key input block and leaves the
// key-taken word and the outcome there. A current terminal outside 1-128 refuses the key. Takes
// the ApplicationLock.
void ProcessKey(ProgrammingState& state);
// ProcessKey for a caller that holds the ApplicationLock already: the roads that type whole
// commands take the lock once for all their keys, not once more per key.
void ProcessKeyLocked(ProgrammingState& state);

// The state that follows the last digit of the command number on the record's line.
std::uint8_t SelectEntryState(ProgrammingState& state, TerminalRecord& record);

// The modelled maintenance memory behind the memory view and edit (see keypad_context.h).
bool InMemoryViewWindow(std::uint32_t address);
bool InMemoryEditWindow(std::uint32_t address);
// 0 outside the work area; nothing is written outside it.
std::uint8_t ReadMaintenanceByte(const ProgrammingState& state, std::uint32_t address);
void WriteMaintenanceByte(ProgrammingState& state, std::uint32_t address, std::uint8_t value);

}  // namespace qzs
