// An exported page arrives as an enhanced metafile recorded from the report's drawing; this
// plays it record by record into PDF content operators, images and font uses, keeping its own
// model of the device state (objects, mapping, colours, save levels), since the records are
// never played onto a real device.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/output/pdf_fonts.h"
#include "engine/output/pdf_writer.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_types.h"

namespace kp {

namespace pdf_code {
inline constexpr int kGdiState = -15150;
inline constexpr int kGdiTableFull = -15151;
inline constexpr int kSaveDepth = -15152;
inline constexpr int kPageImages = -15153;
inline constexpr int kBadObject = -15154;
inline constexpr int kMonoBrush = -15155;
inline constexpr int kImageDepth = -15156;
// A metafile that fails the checks made before any record is played.
inline constexpr int kBadMetafile = -14010;
}  // namespace pdf_code

// The device state the records change, kept as GDI keeps it for the records we translate.
struct MetafileGdiState {
    static constexpr int kHandles = 500;
    static constexpr int kSlots = 50;
    static constexpr int kLevels = 500;

    enum Kind : uint8_t { kNone = 0, kPen = 1, kBrush = 2, kFont = 3 };
    struct HandleEntry {
        Kind kind = kNone;
        int slot = 0;
    };
    struct Pen {
        bool used = false;
        uint32_t style = 0;
        uint32_t width = 0;
        uint32_t brushStyle = 0;
        plat::COLORREF color = 0;
        uint32_t hatch = 0;
        uint32_t entries = 0;
        uint32_t firstEntry = 0;
    };
    struct Brush {
        bool used = false;
        bool pattern = false;  // a monochrome pattern
        uint32_t style = 0;
        plat::COLORREF color = 0;
        uint32_t hatch = 0;
        uint64_t zeros = 0;
        uint64_t ones = 0;
    };
    struct Font {
        bool used = false;
        plat::LOGFONTW font;
    };
    struct Level {
        plat::POINT windowOrg;  // already scaled to device units
        plat::POINT viewportOrg;
        plat::SIZE windowExt{1, 1};
        plat::SIZE viewportExt{1, 1};
        plat::COLORREF textColor = 0;
        plat::COLORREF bkColor = 0xFFFFFF;
    };

    std::array<HandleEntry, kHandles> handles{};
    std::array<Pen, kSlots> pens{};
    std::array<Brush, kSlots> brushes{};
    std::array<Font, kSlots> fonts{};
    int pen = -1;
    int brush = -1;
    int font = -1;
    std::vector<Level> levels = std::vector<Level>(1);
    plat::POINT position;
};

// One page: checks the metafile whole, plays its records into the writer's page (its fonts
// joining the document's font table) and has the writer emit the page's objects. The page is
// width x height in 0.01 mm.
int ConvertMetafilePage(PdfFileWriter& writer, PdfFontTable& fonts,
                        std::span<const uint8_t> metafile, int32_t widthHmm, int32_t heightHmm);

// A page a printer's context recorded for its device (device (0, 0) at the corner of the
// printable area; the sheet, its offsets, the printable size and the dots per inch as the
// device tells them), translated as an exported page is onto a page the size of the sheet,
// sheetWidth x sheetHeight in 0.01 mm (0: the size of the device's pixels), clipped to the
// printable area, with every font that can be embedded embedded.
int ConvertPrinterPage(PdfFileWriter& writer, PdfFontTable& fonts,
                       std::span<const uint8_t> metafile, const plat::DeviceInfo& device,
                       int32_t sheetWidth = 0, int32_t sheetHeight = 0);

}  // namespace kp
