// The single road by which the rest of the program reads and changes the data image through the
// keypad programming language: a command string such as "*0021#" is fed key by key to one
// programming terminal, and the terminal's display line is the answer.
//
// Every call takes the state's ApplicationLock for its whole run. RunCommand hands back a pointer
// into the terminal's record; a caller that shares the state with other threads holds the lock
// itself while it reads that line (or uses RunCommandForResult, which returns a copy).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "programming/data_image.h"
#include "programming/keypad_context.h"

namespace qzs {

struct ProgrammingState;

// Feeds every character of the text as a key (sign-extended, as the keypad receives bytes) to the
// terminal (1-128) and answers its display line: 27 characters and a terminating 0. Null when the
// line holds "--P" after the last key, or when there is no such terminal. A line with "--c" (a
// value read back different) counts as done. The pointer stays valid until the next key reaches
// that terminal. The current-terminal and checking-terminal bytes of the key input block are the
// same afterwards as before.
const char* RunCommand(ProgrammingState& state, std::uint8_t terminal, std::string_view text);

// What became of a command string, for callers that must tell the answers apart.
enum class CommandResult : std::uint8_t {
    kStored,      // the last handler call stored the value ("P")
    kShown,       // the last handler call showed the current value ("c")
    kMismatch,    // "--c": a value read back different, or a show failed otherwise
    kRejected,    // "--P", or no such terminal: RunCommand answers null
    kIncomplete,  // no handler answered for the last command begun: it waits for more keys
};

struct CommandRun {
    CommandResult result = CommandResult::kIncomplete;
    std::string line;  // the 27 characters of the display line (empty for no such terminal)
};

// RunCommand with its answer told apart and the line copied out under the lock.
CommandRun RunCommandForResult(ProgrammingState& state, std::uint8_t terminal,
                               std::string_view text);

// Feeds one key (the low 8 bits of the argument) to terminal 1 and copies the display line into
// the key display buffer. Answers 0 (taken, or refused without an outcome), 1 (an entry stored
// or ended by a handler), 2 (taken with another outcome) or 3 (refused with an outcome).
int PressKey(ProgrammingState& state, int key);

// PressKey for every key of the text in turn, under one hold of the lock, with the display line
// copied once after the last key (nothing reads it between keys): the key display buffer and
// the image end as after the same PressKey calls. Answers the buffer's copy.
std::array<char, kKeyDisplayBufferSize> PressKeys(ProgrammingState& state, std::string_view keys);

// A copy of the key display buffer: terminal 1's line after the last PressKey, blank padded to
// 48 characters.
std::array<char, kKeyDisplayBufferSize> KeyDisplayBuffer(ProgrammingState& state);

// A *081 or *082 code is taken only when its length is the *080 digit count of its first digit,
// and a count changed after the code was stored does not change the code: an image holds codes
// of other lengths than its counts say. The data files and the received transfer files replay
// such a code with this scope around the command: the count of its first digit is the code's
// own length while the command runs, and what it was afterwards. Any other command is left as
// it is.
// The length of the code a *081 or *082 command stores (its digits after the key), 0 for one
// without a code or for any other command.
std::size_t CodeLengthOf(std::string_view command);

// A code of n digits takes every code that begins with it out of the tables before it is
// stored, so an image that holds "0" beside "04" stored the "0" first. The commands of *081 and
// *082 are replayed in this order: ascending code length, the file's order otherwise.
void SortByCodeLength(std::vector<std::string>& commands);

// *9421, *9431 and *9432 refuse a port number that another of their entries holds, so a file that
// swaps two numbers cannot be typed back in its order. The loaders first type every such entry
// of the file with no number ("00000", which no rule refuses): the command that empties the
// entry a command sets, or an empty text for any other command.
std::string EmptyPortCommand(std::string_view command);

class CodeLengthScope {
  public:
    CodeLengthScope(ProgrammingState& state, std::string_view command);
    ~CodeLengthScope();
    CodeLengthScope(const CodeLengthScope&) = delete;
    CodeLengthScope& operator=(const CodeLengthScope&) = delete;

  private:
    ProgrammingState& state_;
    std::uint8_t* count_ = nullptr;
    std::uint8_t saved_ = 0;
};

// *9500, *9501 and *9502 refuse a unit an address pair that another unit in use holds, yet an
// image holds pairs no file order can type back: two units that swapped pairs, and the units
// that share the pair they came with (the factory gives every unit the same one, and only a
// store is checked). The loaders replay a file's single-unit command of these three with every
// other unit set aside as not in use, so the command sets its unit's field as the file gives
// it, and the other units' uses are as they were afterwards. Any other command, and a key that
// names no single unit, is left as it is; what a user types is checked as always.
class UnitsAsideScope {
  public:
    UnitsAsideScope(ProgrammingState& state, std::string_view command);
    ~UnitsAsideScope();
    UnitsAsideScope(const UnitsAsideScope&) = delete;
    UnitsAsideScope& operator=(const UnitsAsideScope&) = delete;

  private:
    ProgrammingState& state_;
    std::size_t own_ = kUnitEntryCount;  // kUnitEntryCount: nothing set aside
    std::array<std::uint8_t, kUnitEntryCount> uses_{};
};

}  // namespace qzs
