// Printing the data sheets straight onto the first printer as plain text pages, without the
// report library: one line of text per sheet line, drawn through the printer device context and
// spooled as one job. Nothing in the program calls it; qzs-sheets --direct does.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/sheet_fill.h"
#include "programming/settings_state.h"

namespace plat {
class DeviceContext;
}

namespace qzs {
struct ProgrammingState;
}

namespace qzs::app {

// The printable lines of a page and the width a sheet line is cut to.
inline constexpr int kDirectSheetRows = 62;
inline constexpr std::size_t kDirectSheetColumns = 64;
inline constexpr const char* kDirectSheetJobName = "MX-4.10Nv データ設定";

// Where the pages go: the context they are drawn on and the breaks around each page.
class SheetPageSink {
  public:
    virtual ~SheetPageSink() = default;
    virtual plat::DeviceContext& dc() = 0;
    virtual bool StartPage() = 0;
    virtual bool EndPage() = 0;
};

// width blanks; for widths 1-3 the value right-aligned with leading zeros, all zeros when it
// does not fit (as is a negative value). Other widths stay blank.
std::string FormatDecimalField(int value, int width);

// The sheet line as printed: its first kDirectSheetColumns bytes, one fewer when the last would
// be the lead byte of a double-byte character; NUL bytes print as blanks and a byte that is no
// CP932 character as U+FFFD.
std::u16string DirectSheetText(std::string_view cp932);

// Prints the lines as pages of at most kDirectSheetRows, each with the header line (title, date,
// page number from 1), the title and the column head of the kind: '0'-'9' a command group, 1 the
// system speed-dial list, 2 the per-telephone lists. An empty list still gives one page. False
// when a page could not be started or ended, or for another kind.
bool PrintSheetPages(SheetPageSink& sink, int kind, const std::vector<SheetLine>& lines,
                     const SheetDate& date);

// Prints onto the first printer of plat::GetPrinterSystem(): kind 0 the eight listed command
// groups, 1 the system speed-dial list, 2 the per-telephone lists, '0'-'9' the group already in
// the sheet lines. 0 when printed; 1 when there is no printer or the document could not be
// started or finished (the job is cancelled); 2 for any other kind (nothing is spooled).
// Needs a QGuiApplication to draw the pages.
int PrintDataSheets(ProgrammingState& state, int kind, const SheetDate& date);

}  // namespace qzs::app
