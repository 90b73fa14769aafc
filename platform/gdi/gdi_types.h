// The plain values of the drawing layer: handles, points, rectangles, colours and the logical
// pen, brush and font records, laid out as GDI and the EMF format lay them out, with the GDI
// constants they are used with.
#pragma once

#include <cstdint>

namespace plat {

// ---------------------------------------------------------------------------------------------
// Handles: 32-bit values of the one process-wide table (see handles.h). 0 is no handle.

using Handle = uint32_t;
using HDC = Handle;
using HGDIOBJ = Handle;
using HPEN = Handle;
using HBRUSH = Handle;
using HFONT = Handle;
using HRGN = Handle;
using HGLOBAL = Handle;
using HWND = Handle;

// 0x00BBGGRR.
using COLORREF = uint32_t;
constexpr COLORREF Rgb(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t{r} | uint32_t{g} << 8 | uint32_t{b} << 16;
}
constexpr uint8_t RedOf(COLORREF c) {
    return c & 0xFF;
}
constexpr uint8_t GreenOf(COLORREF c) {
    return (c >> 8) & 0xFF;
}
constexpr uint8_t BlueOf(COLORREF c) {
    return (c >> 16) & 0xFF;
}

// ---------------------------------------------------------------------------------------------
// Geometry

struct POINT {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const POINT&) const = default;
};

struct SIZE {
    int32_t cx = 0;
    int32_t cy = 0;
    bool operator==(const SIZE&) const = default;
};

// Right and bottom are exclusive, as in GDI.
struct RECT {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const RECT&) const = default;
};

// ---------------------------------------------------------------------------------------------
// Logical objects

struct LOGPEN {
    uint32_t lopnStyle = 0;
    POINT lopnWidth;  // only x counts
    COLORREF lopnColor = 0;
    bool operator==(const LOGPEN&) const = default;
};

// The 32-bit LOGBRUSH of the EMF records.
struct LOGBRUSH {
    uint32_t lbStyle = 0;
    COLORREF lbColor = 0;
    uint32_t lbHatch = 0;
    bool operator==(const LOGBRUSH&) const = default;
};

// Face names hold 31 code units and a terminator; 92 bytes in the records.
struct LOGFONTW {
    int32_t lfHeight = 0;
    int32_t lfWidth = 0;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 0;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 0;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = 0;
    uint8_t lfPitchAndFamily = 0;
    char16_t lfFaceName[32] = {};
    bool operator==(const LOGFONTW&) const = default;
};
static_assert(sizeof(LOGFONTW) == 92);

struct BITMAPINFOHEADER {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;  // positive: rows stored bottom-up
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;  // only BI_RGB (0) is drawn
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
    bool operator==(const RGBQUAD&) const = default;
};

// ---------------------------------------------------------------------------------------------
// Constants, with GDI's values

// Map modes.
inline constexpr int32_t kMmText = 1;
inline constexpr int32_t kMmLoMetric = 2;
inline constexpr int32_t kMmHiMetric = 3;
inline constexpr int32_t kMmLoEnglish = 4;
inline constexpr int32_t kMmHiEnglish = 5;
inline constexpr int32_t kMmTwips = 6;
inline constexpr int32_t kMmIsotropic = 7;
inline constexpr int32_t kMmAnisotropic = 8;

// Background modes.
inline constexpr int32_t kTransparent = 1;
inline constexpr int32_t kOpaque = 2;

// Stock objects (GetStockObject).
inline constexpr int32_t kWhiteBrush = 0;
inline constexpr int32_t kLtGrayBrush = 1;
inline constexpr int32_t kGrayBrush = 2;
inline constexpr int32_t kDkGrayBrush = 3;
inline constexpr int32_t kBlackBrush = 4;
inline constexpr int32_t kNullBrush = 5;
inline constexpr int32_t kWhitePen = 6;
inline constexpr int32_t kBlackPen = 7;
inline constexpr int32_t kNullPen = 8;
inline constexpr int32_t kOemFixedFont = 10;
inline constexpr int32_t kAnsiFixedFont = 11;
inline constexpr int32_t kAnsiVarFont = 12;
inline constexpr int32_t kSystemFont = 13;
inline constexpr int32_t kDeviceDefaultFont = 14;
inline constexpr int32_t kSystemFixedFont = 16;
inline constexpr int32_t kDefaultGuiFont = 17;
inline constexpr int32_t kStockObjectCount = 18;  // 9 and 15 (palette) are not objects here
// An EMF object index with this bit names stock object (index & 0x7FFFFFFF).
inline constexpr uint32_t kEmfStockBit = 0x80000000u;

// Object types (GetObjectType).
inline constexpr int32_t kObjPen = 1;
inline constexpr int32_t kObjBrush = 2;
inline constexpr int32_t kObjDc = 3;
inline constexpr int32_t kObjFont = 6;
inline constexpr int32_t kObjRegion = 8;
inline constexpr int32_t kObjExtPen = 11;

// Pen styles; bits 8-11 the end cap, 12-15 the join, 16-19 the type.
inline constexpr uint32_t kPsSolid = 0;
inline constexpr uint32_t kPsDash = 1;
inline constexpr uint32_t kPsDot = 2;
inline constexpr uint32_t kPsDashDot = 3;
inline constexpr uint32_t kPsDashDotDot = 4;
inline constexpr uint32_t kPsNull = 5;
inline constexpr uint32_t kPsInsideFrame = 6;
inline constexpr uint32_t kPsStyleMask = 0x0000000F;
inline constexpr uint32_t kPsEndCapRound = 0x000;
inline constexpr uint32_t kPsEndCapSquare = 0x100;
inline constexpr uint32_t kPsEndCapFlat = 0x200;
inline constexpr uint32_t kPsEndCapMask = 0xF00;
inline constexpr uint32_t kPsJoinRound = 0x0000;
inline constexpr uint32_t kPsJoinBevel = 0x1000;
inline constexpr uint32_t kPsJoinMiter = 0x2000;
inline constexpr uint32_t kPsJoinMask = 0xF000;
inline constexpr uint32_t kPsCosmetic = 0x00000;
inline constexpr uint32_t kPsGeometric = 0x10000;

// Brush styles and hatches.
inline constexpr uint32_t kBsSolid = 0;
inline constexpr uint32_t kBsNull = 1;
inline constexpr uint32_t kBsHatched = 2;
inline constexpr uint32_t kBsPattern = 3;  // monochrome pattern brushes
inline constexpr uint32_t kHsHorizontal = 0;
inline constexpr uint32_t kHsVertical = 1;
inline constexpr uint32_t kHsFDiagonal = 2;
inline constexpr uint32_t kHsBDiagonal = 3;
inline constexpr uint32_t kHsCross = 4;
inline constexpr uint32_t kHsDiagCross = 5;

// Region combinations and results.
inline constexpr int32_t kRgnAnd = 1;
inline constexpr int32_t kRgnOr = 2;
inline constexpr int32_t kRgnXor = 3;
inline constexpr int32_t kRgnDiff = 4;
inline constexpr int32_t kRgnCopy = 5;
inline constexpr int32_t kRegionError = 0;
inline constexpr int32_t kNullRegion = 1;
inline constexpr int32_t kSimpleRegion = 2;
inline constexpr int32_t kComplexRegion = 3;

// ExtTextOut options.
inline constexpr uint32_t kEtoOpaque = 0x0002;
inline constexpr uint32_t kEtoClipped = 0x0004;

// Raster operations of PatBlt and StretchDIBits.
inline constexpr uint32_t kRopPatCopy = 0x00F00021;
inline constexpr uint32_t kRopSrcCopy = 0x00CC0020;
inline constexpr uint32_t kRopBlackness = 0x00000042;
inline constexpr uint32_t kRopWhiteness = 0x00FF0062;

// Colour-table use of a DIB.
inline constexpr uint32_t kDibRgbColors = 0;
inline constexpr uint32_t kDibPalColors = 1;

// GetDeviceCaps indexes.
inline constexpr int32_t kTechnology = 2;
inline constexpr int32_t kHorzSize = 4;  // millimetres
inline constexpr int32_t kVertSize = 6;
inline constexpr int32_t kHorzRes = 8;  // pixels
inline constexpr int32_t kVertRes = 10;
inline constexpr int32_t kBitsPixel = 12;
inline constexpr int32_t kPlanes = 14;
inline constexpr int32_t kNumColors = 24;
inline constexpr int32_t kRasterCaps = 38;
inline constexpr int32_t kLogPixelsX = 88;
inline constexpr int32_t kLogPixelsY = 90;
inline constexpr int32_t kPhysicalWidth = 110;
inline constexpr int32_t kPhysicalHeight = 111;
inline constexpr int32_t kPhysicalOffsetX = 112;
inline constexpr int32_t kPhysicalOffsetY = 113;
// Device technologies.
inline constexpr int32_t kDtRasDisplay = 1;
inline constexpr int32_t kDtRasPrinter = 2;
inline constexpr int32_t kDtMetafile = 5;

// Memory blocks (GlobalAlloc).
inline constexpr uint32_t kGmemMoveable = 0x0002;
inline constexpr uint32_t kGmemZeroInit = 0x0040;

}  // namespace plat
