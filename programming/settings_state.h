// The state that the settings bridge keeps beside the data image: the *619 post flags, the
// speed-dial working copy with its duplicate mode and list, and the lock flags of the telephones'
// buttons. The code that works on them lives in settings/; the types live here so that the one
// ProgrammingState can hold them without the interpreter depending on the bridge.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qzs {

// The *619 posts remember, per first key (two digits) and second key (one digit), whether the
// last post of an entry other than "2" sent the data "0" alone (1) or not (0); the next post of
// entry "2" for the same keys then sends no data. Index 100 x first digit + 10 x second + third.
struct Port619Flags {
    std::array<std::uint32_t, 1000> flags{};
};

// A full copy of the speed-dial block (block 169) that web edits write while duplicate numbers
// are refused; committed over the live rows or discarded page by page.
inline constexpr std::size_t kSpeedDialWorkingCopyBytes = 133480;
struct SpeedDialWorkingCopy {
    std::array<std::uint8_t, kSpeedDialWorkingCopyBytes> bytes{};
};

// 1: a number may not be stored twice (web edits go through the working copy); 0: duplicates are
// allowed (web edits go straight to the live rows).
using DuplicateCheckFlag = std::int32_t;

// The first pair of rows found holding the same number since the list was last cleared (the
// lower row first), the count of every duplicate found, and the telephone position of a
// per-telephone duplicate. Only entry 0 is ever filled.
inline constexpr std::size_t kDuplicateListEntries = 50;
struct DuplicateSpeedDialList {
    std::array<std::array<std::int32_t, 2>, kDuplicateListEntries> entries{};
    std::int32_t count = 0;
    std::int32_t telephone = 0;
};

// Buttons whose function cannot be changed from the PC (1), per telephone 1-64 at index t - 1:
// the 32 one-touch buttons, and 16 paged buttons on each of pages 1-8 (page p, button b at
// 16 (p - 1) + b - 1).
inline constexpr std::size_t kLockFlagTelephones = 64;
inline constexpr std::size_t kOneTouchButtons = 32;
inline constexpr std::size_t kButtonPages = 8;
inline constexpr std::size_t kButtonsPerPage = 16;
using OneTouchLockFlags =
    std::array<std::array<std::uint32_t, kOneTouchButtons>, kLockFlagTelephones>;
using PagedButtonLockFlags =
    std::array<std::array<std::uint8_t, kButtonPages * kButtonsPerPage>, kLockFlagTelephones>;

// A sheet line: 192 characters of text (CP932), blank filled, no terminator. The data files, the
// transfer files and the printed data sheets are lists of them; a list ends at the first line
// whose column 0 is a blank.
inline constexpr std::size_t kSheetLineBytes = 192;
using SheetLine = std::array<char, kSheetLineBytes>;
inline constexpr std::size_t kSheetLineCount = 10000;    // the command and speed-dial lists
inline constexpr std::size_t kKeySheetLineCount = 8000;  // the key sheet

// A list of sheet lines kept on the heap (close to 2 MB for the larger one), blank from the
// start. The list remembers how far it may have been written since it was last blanked, so that
// blanking it again (every start-up of the data image and every list builder does) touches only
// the lines a writer could have reached, not megabytes of lines that are blank already.
template <std::size_t Count>
class SheetLineList {
  public:
    SheetLineList() : lines_(std::make_unique<Lines>()) {
        for (SheetLine& line : *lines_) line.fill(' ');
    }
    SheetLineList(const SheetLineList&) = delete;
    SheetLineList& operator=(const SheetLineList&) = delete;

    static constexpr std::size_t size() { return Count; }
    SheetLine& operator[](std::size_t i) {
        if (i >= written_) written_ = i + 1;
        return (*lines_)[i];
    }
    const SheetLine& operator[](std::size_t i) const { return (*lines_)[i]; }
    void Blank() { BlankFrom(0); }
    void BlankFrom(std::size_t first) {
        for (std::size_t i = first; i < written_; ++i) (*lines_)[i].fill(' ');
        if (written_ > first) written_ = first;
    }
    // The raw bytes, for readers that place file text in the list's storage: any line may change.
    char* bytes() {
        written_ = Count;
        return (*lines_)[0].data();
    }
    static constexpr std::size_t byte_size() { return Count * kSheetLineBytes; }

  private:
    using Lines = std::array<SheetLine, Count>;
    std::unique_ptr<Lines> lines_;
    // Lines at and after this index are blank.
    std::size_t written_ = 0;
};
using SheetLineBuffer = SheetLineList<kSheetLineCount>;
using KeySheetLineBuffer = SheetLineList<kKeySheetLineCount>;

// One speed-dial row in text form, as the list builders load it and the row stores take it: the
// number (up to 24 characters), the two names (up to 20 bytes), each ended by a 0 byte, and the
// group character.
struct SpeedDialFieldBuffers {
    std::array<char, 25> number{};
    std::array<char, 21> kana{};
    std::array<char, 21> kanji{};
    char group = 0;
};

// What the last CountFreeSpeedDialRows found: rows in the list (600 or 20), empty rows and the
// first empty one.
struct SpeedDialListCounts {
    std::int32_t rows = 0;
    std::int32_t empty_rows = 0;
    std::int32_t first_empty = 0;
};

// Where SaveDataFile and LoadDataFile work, set by their callers in the same hold of the lock as
// the call: the folder (ending in '/') and the file name, and the column order of the system
// speed-dial CSV (1: kanji name before kana name).
struct DataFileSettings {
    std::string folder;
    std::string name;
    std::int32_t transfer_csv_layout = 0;
};

}  // namespace qzs
