// All state of the programming interpreter, its handlers and the settings bridge lives in one
// ProgrammingState. The program owns one; every test makes its own. Callers from any thread hold
// its lock for the whole of their call into these subsystems.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "programming/character_table.h"
#include "programming/data_image.h"
#include "programming/keypad_context.h"
#include "programming/settings_state.h"
#include "programming/terminal.h"
#include "programming/user_information.h"

namespace qzs {

// Recursive, so an entry that calls another entry of the same subsystems keeps the lock.
class ApplicationLock {
  public:
    ApplicationLock() = default;
    ApplicationLock(const ApplicationLock&) = delete;
    ApplicationLock& operator=(const ApplicationLock&) = delete;

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }

    class [[nodiscard]] Guard {
      public:
        explicit Guard(ApplicationLock& lock) : lock_(lock) { lock_.lock(); }
        ~Guard() { lock_.unlock(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

      private:
        ApplicationLock& lock_;
    };

  private:
    std::recursive_mutex mutex_;
};

// The command whose handler runs, recorded before every handler call.
struct CurrentCommand {
    std::uint16_t index = 0;      // descriptor index in the command table
    std::uint8_t four_digit = 0;  // 1 when the command number has four digits

    // Line position of the first field: after "NNN=" or "9NNN=".
    std::uint8_t FirstFieldPosition() const { return static_cast<std::uint8_t>(4 + four_digit); }
};

// Run-time records of the eight units (28 bytes each) and a flag byte, kept outside the data image
// (no block copy, data file or start-up reaches them); only a handler that no command reaches
// writes them.
struct UnitRunTimeRecords {
    std::array<std::array<std::uint8_t, 28>, 8> records{};
    std::uint8_t flags = 0;
};

// About 450 KB: make it with std::make_unique, not on a thread's stack.
struct ProgrammingState {
    ProgrammingState() = default;
    ProgrammingState(const ProgrammingState&) = delete;
    ProgrammingState& operator=(const ProgrammingState&) = delete;

    ApplicationLock lock;

    DataImage image;  // blocks and the settings outside them
    ModifiedFlags modified;
    TerminalRecords terminals{};
    KeyInputBlock key_input;
    CurrentCommand current_command;
    DisplayCharacterTable display_characters;
    KeypadContext keypad;              // active tables, maintenance memory, key display buffer
    UserInformation user_information;  // blanked by start-up, edited by the user
    Port619Flags port619_flags;
    SpeedDialWorkingCopy speed_dial_working_copy;
    DuplicateCheckFlag duplicate_check_flag = 0;
    DuplicateSpeedDialList duplicate_speed_dial_list;
    OneTouchLockFlags one_touch_lock_flags{};
    PagedButtonLockFlags paged_button_lock_flags{};
    UnitRunTimeRecords unit_run_time;
    SheetLineBuffer sheet_lines;         // command and speed-dial lists
    KeySheetLineBuffer key_sheet_lines;  // the key sheet
    std::int32_t replay_rejected_line = 0;
    SpeedDialFieldBuffers speed_dial_fields;
    SpeedDialListCounts speed_dial_list_counts;
    DataFileSettings data_file;  // DataFileFolder, DataFileName, TransferCsvLayout
    // The digit count of the numbers of command 080, recorded while group 0's dset file is
    // written and used for the fixed element 082 written later in the same file.
    std::int32_t dset082_digit_count = 0;
    // The *081 codes of the last received element 081, typed again among the numbers of the
    // element 082 that follows it, shortest first, so that a number shorter than a code does not
    // take out the code it stood beside.
    std::vector<std::string> received_081_codes;

    // Further state joins here as one member each, its type in the header of the code that owns
    // it (speed-dial working copy, duplicate mode, user information, ...).
};

}  // namespace qzs
