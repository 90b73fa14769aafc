// What a printer can do in the terms the engine's hosts know (paper and source codes of the
// Windows spooler, a copies limit, resolutions, settable fields, extents in 0.1 mm), how a
// settings record is checked against it, what page it gives, and the job options it asks CUPS
// for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/printing/devmode.h"
#include "platform/printing/printers.h"

namespace kp {

struct CodedPaper {
    uint16_t code = 0;  // DMPAPER, or 257 upwards for a size without one
    std::string name;   // at most 63 bytes
    int32_t width = 0;  // 0.1 mm
    int32_t length = 0;
    std::string media;        // the job option's value
    plat::MediaInfo margins;  // 0.01 mm (left, top, right, bottom)
};

struct CodedSource {
    int16_t code = 0;  // DMBIN, or 257 upwards
    std::string name;  // at most 23 bytes
    std::string keyword;
};

struct PrinterModel {
    std::vector<CodedPaper> papers;
    std::vector<CodedSource> sources;
    std::vector<plat::Resolution> resolutions;
    uint16_t copiesLimit = 1;
    uint32_t fields = 0;  // the settable dmFields bits
    // Custom sizes in 0.1 mm; all 0 when the printer takes none.
    int16_t minWidth = 0;
    int16_t minLength = 0;
    int16_t maxWidth = 0;
    int16_t maxLength = 0;
    plat::MediaInfo customMargins;  // 0.01 mm
    bool color = false;
    uint32_t status = 0;       // the spooler's printer status bits
    plat::DevMode defaults{};  // the printer's own settings
};

// The printer's capabilities coded. Papers take their standard code (StandardPaperOf), else the
// next free code from 257; sources the standard code of their keyword, else the next from 257.
PrinterModel CodePrinter(const std::string& printerName, const plat::PrinterCapabilities& caps);
// The standard code of the size closest to width x length (0.1 mm) within the tolerance in each
// direction, the lowest code of equal sizes; 0 when none fits.
uint16_t StandardPaperCode(int32_t width, int32_t length, int32_t tolerance = 1);
// How far (0.1 mm) the size a queue converted may lie off a standard paper and still be it.
inline constexpr int32_t kConvertedPaperTolerance = 10;
// A paper the queue offers, coded: the standard paper its media name gives exactly, else the
// standard paper within 1 mm of the size the queue converted; 0 for none. A standard paper has
// its code's size, any other the size its name gives (else the converted one), in 0.1 mm.
struct CodedSize {
    uint16_t code = 0;
    int32_t width = 0;
    int32_t length = 0;
};
CodedSize StandardPaperOf(const plat::MediaInfo& media);
int16_t StandardSourceCode(const std::string& keyword);  // 0 when none

// The printer's status bits for its state and reasons.
uint32_t PrinterStatusBits(const plat::PrinterCapabilities& caps);

// The record as the printer takes it: every field it cannot take gets the printer's default;
// copies lie in 1..limit; a user-defined size inside the extents keeps its width and length, a
// standard paper gets its own. The size and driver-part fields are those of our record.
plat::DevMode MergeDevMode(const PrinterModel& model, const plat::DevMode& in);

// The page a record gives, in device pixels of its resolution (GetDeviceCaps' values).
struct PageGeometry {
    int32_t dpiX = 0;
    int32_t dpiY = 0;
    int32_t physicalWidth = 0;
    int32_t physicalHeight = 0;
    int32_t offsetX = 0;
    int32_t offsetY = 0;
    int32_t horzRes = 0;
    int32_t vertRes = 0;
    // The sheet across and down as it is printed (turned for landscape), in 0.1 mm.
    int32_t sheetWidth = 0;
    int32_t sheetLength = 0;
};
// False when the record names no paper of the printer or gives a zero paper or resolution.
bool MeasurePage(const PrinterModel& model, const plat::DevMode& dm, PageGeometry* out);

// The job options for a record: media (or Custom.WxHmm), media-source, copies,
// print-color-mode, printer-resolution or print-quality.
plat::JobOptions JobOptionsFor(const PrinterModel& model, const plat::DevMode& dm);

}  // namespace kp
