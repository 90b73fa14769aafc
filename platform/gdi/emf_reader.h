// Reading enhanced metafiles: an enumerator that checks the whole file before handing out a
// single record (header, counts, record sizes that are multiples of 4 inside the file, and the
// fixed part, counts and inner offsets of every record type this layer reads), decoders of
// those records, and playback onto any device context.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_types.h"

namespace plat {

struct EmfHeader {
    RECT bounds;  // device units, inclusive
    RECT frame;   // 0.01 mm, inclusive
    uint32_t bytes = 0;
    uint32_t records = 0;
    uint16_t handles = 0;
    SIZE device;       // reference device in pixels
    SIZE millimeters;  // and in millimetres
    std::u16string description;
};

struct EmfRecord {
    uint32_t index = 0;  // 0 for the header
    uint32_t type = 0;
    uint32_t size = 0;
    std::span<const uint8_t> bytes;  // the whole record, type and size included
};

// Checks the file whole, then calls visit for each record in order until it answers false.
// False with the reason in *error (when given) for a file that fails a check; nothing has been
// visited then.
bool EnumEnhMetaFile(std::span<const uint8_t> file,
                     const std::function<bool(const EmfRecord&)>& visit,
                     std::string* error = nullptr);
// The header of a file that passes the checks.
bool ReadEmfHeader(std::span<const uint8_t> file, EmfHeader* header, std::string* error = nullptr);

// Plays every record onto dc at the recording's own device units (no fitting to a target
// rectangle): the state records, objects by their metafile index (indexes beyond the header's
// handle count are skipped), drawing, clipping, text with its advances, bitmaps and comments.
// Objects created during playback are deleted at its end. False for a file that fails the
// checks (nothing is drawn then).
bool PlayEnhMetaFile(DeviceContext& dc, std::span<const uint8_t> file,
                     std::string* error = nullptr);

// Decoders of checked records.
namespace emf {

struct PolyRecord {
    RECT bounds;
    std::vector<POINT> points;
    std::vector<uint32_t> counts;  // poly-polylines only
};
// Types 3-7 and 86-90.
bool IsPolyRecord(uint32_t type);
PolyRecord DecodePoly(const EmfRecord& record);

struct TextRecord {
    RECT bounds;
    POINT reference;
    uint32_t options = 0;
    RECT rect;
    bool wide = true;
    std::u16string wideText;  // record 84
    std::string ansiText;     // record 83, CP932 bytes
    std::vector<int32_t> dx;  // empty when the record has none
};
TextRecord DecodeText(const EmfRecord& record);

struct PenRecord {
    uint32_t index = 0;
    PenState pen;
};
PenRecord DecodePen(const EmfRecord& record);  // 38 and 95

struct BrushRecord {
    uint32_t index = 0;
    BrushState brush;
};
BrushRecord DecodeBrush(const EmfRecord& record);  // 39 and 93

struct FontRecord {
    uint32_t index = 0;
    LOGFONTW font;
};
FontRecord DecodeFont(const EmfRecord& record);  // 82

struct ClipRecord {
    int32_t mode = 0;
    bool hasRegion = false;
    std::vector<RECT> rects;
};
ClipRecord DecodeClip(const EmfRecord& record);  // 75

struct BlitRecord {
    RECT bounds;
    int32_t x = 0, y = 0, width = 0, height = 0;
    uint32_t rop = 0;
    bool hasSource = false;
};
BlitRecord DecodeBitBlt(const EmfRecord& record);  // 76

struct DibRecord {
    RECT bounds;
    int32_t xDest = 0, yDest = 0, xSrc = 0, ySrc = 0, srcWidth = 0, srcHeight = 0;
    int32_t destWidth = 0, destHeight = 0;
    uint32_t usage = 0, rop = 0;
    BITMAPINFOHEADER header;
    std::vector<RGBQUAD> colors;
    std::span<const uint8_t> bits;
};
DibRecord DecodeStretchDib(const EmfRecord& record);  // 81

std::span<const uint8_t> CommentData(const EmfRecord& record);  // 70

// The 32-bit fields after type and size.
inline uint32_t Field(const EmfRecord& record, size_t n) {
    const uint8_t* p = record.bytes.data() + 8 + 4 * n;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace emf

}  // namespace plat
