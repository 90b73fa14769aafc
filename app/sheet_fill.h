// Filling the data sheets page by page through the report interface: the titles, the date, the
// page numbers and one named text field per row, each finished page handed to its output step.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/report_interface.h"
#include "programming/settings_state.h"

namespace qzs {
struct ProgrammingState;
}

namespace qzs::app {

// 0 data settings, 1 common phone book, 2 my phone book, 3 button settings.
inline constexpr int kSheetKinds = 4;
// 1 preview; any other mode prints.
inline constexpr int kPrintModePreview = 1;

struct SheetDate {
    int year;
    int month;
    int day;
};

struct FillTarget {
    int mode = kPrintModePreview;
    uint32_t report = 0;
    uint32_t preview = 0;
    uint32_t printer = 0;
    // Replaces the preview or printer step when set (the PDF output of the tool and its tests);
    // answers nonzero when the page was output.
    std::function<int()> output;
    // The wait cursor at the start of every page; may be empty.
    std::function<void(bool)> wait_cursor;
};

// Fills the pages of the kind and outputs each; 1 when every page was filled and output, 0 at
// the first failed call (that page is not output). The sheet lines are built once per kind (per
// group for kind 0) and copied out under the lock, so no lock is held during report calls.
int FillReport(ReportInterface& rif, ProgrammingState& state, int kind, const FillTarget& target,
               const SheetDate& date);

// The text of a data-setting row: bytes 16 to 63 up to the first blank.
std::string CommandRowText(const SheetLine& line);
// The text of a button-setting row: bytes 20 to 42, ended by a NUL or a pair of blanks, except a
// pair whose first blank has a '>' at most 10 positions after it (within bytes 20-64) and that
// does not follow a '>'.
std::string KeyRowText(const SheetLine& line);

// The program's own texts in CP932.
std::string Cp932(const char* utf8);

}  // namespace qzs::app
