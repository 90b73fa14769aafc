#include "platform/gdi/emf_reader.h"

#include <algorithm>

#include "platform/gdi/emf_format.h"
#include "platform/gdi/region.h"

namespace plat {

namespace {

using emf::I16;
using emf::I32;
using emf::U16;
using emf::U32;

// A byte range [offset, offset + length) inside a record of `size` bytes, in 64 bits so that
// no sum of 32-bit fields wraps.
bool Inside(uint64_t offset, uint64_t length, uint64_t size) {
    return offset <= size && length <= size - offset;
}

RECT ReadRect(const uint8_t* p) {
    return {I32(p), I32(p + 4), I32(p + 8), I32(p + 12)};
}

size_t PointSize(uint32_t type) {
    return type >= emf::kPolygon16 ? 4 : 8;
}

uint32_t DibColorCount(uint16_t bpp, uint32_t clrUsed) {
    if (bpp > 8) return 0;
    const uint32_t full = 1u << bpp;
    return clrUsed ? std::min(clrUsed, full) : full;
}

// The fixed part, counts and inner offsets of the record types this layer reads; nullptr when
// the record is sound. Other types are only framed.
const char* CheckRecord(uint32_t type, const uint8_t* r, uint32_t size) {
    auto need = [&](uint32_t n) { return size >= n; };
    switch (type) {
        case emf::kSetWindowExtEx:
        case emf::kSetWindowOrgEx:
        case emf::kSetViewportExtEx:
        case emf::kSetViewportOrgEx:
        case emf::kMoveToEx:
        case emf::kLineTo:
            return need(16) ? nullptr : "record too short for a point";
        case emf::kSetMapMode:
        case emf::kSetBkMode:
        case emf::kSetTextColor:
        case emf::kSetBkColor:
        case emf::kRestoreDc:
        case emf::kSelectObject:
        case emf::kDeleteObject:
            return need(12) ? nullptr : "record too short for its value";
        case emf::kScaleViewportExtEx:
        case emf::kScaleWindowExtEx:
        case emf::kStrokePath:
        case emf::kCreateBrushIndirect:
            return need(24) ? nullptr : "record too short";
        case emf::kCreatePen:
            return need(28) ? nullptr : "pen record too short";
        case emf::kExtCreatePen: {
            if (!need(52)) return "extended pen record too short";
            if (!Inside(52, uint64_t{U32(r + 48)} * 4, size)) return "pen style entries outside";
            if (U32(r + 16) && !Inside(U32(r + 12), U32(r + 16), size)) return "pen bitmap outside";
            if (U32(r + 24) && !Inside(U32(r + 20), U32(r + 24), size)) return "pen bits outside";
            return nullptr;
        }
        case emf::kCreateMonoBrush: {
            if (!need(32)) return "monochrome brush record too short";
            const uint32_t offBmi = U32(r + 16), cbBmi = U32(r + 20);
            const uint32_t offBits = U32(r + 24), cbBits = U32(r + 28);
            if (cbBmi < 48 || !Inside(offBmi, cbBmi, size)) return "brush bitmap header outside";
            if (!Inside(offBits, cbBits, size)) return "brush bits outside";
            return nullptr;
        }
        case emf::kExtCreateFontIndirectW:
            return need(12 + sizeof(LOGFONTW)) ? nullptr : "font record too short";
        case emf::kExtTextOutA:
        case emf::kExtTextOutW: {
            if (!need(76)) return "text record too short";
            const uint64_t count = U32(r + 44);
            const uint64_t unit = type == emf::kExtTextOutW ? 2 : 1;
            if (count == 0) return nullptr;
            if (!Inside(U32(r + 48), count * unit, size)) return "text outside its record";
            const uint32_t offDx = U32(r + 72);
            if (offDx && !Inside(offDx, count * 4, size)) return "advances outside their record";
            return nullptr;
        }
        case emf::kPolygon:
        case emf::kPolyline:
        case emf::kPolyBezierTo:
        case emf::kPolylineTo:
        case emf::kPolygon16:
        case emf::kPolyline16:
        case emf::kPolyBezierTo16:
        case emf::kPolylineTo16: {
            if (!need(28)) return "poly record too short";
            if (!Inside(28, uint64_t{U32(r + 24)} * PointSize(type), size)) {
                return "points outside their record";
            }
            return nullptr;
        }
        case emf::kPolyPolyline:
        case emf::kPolyPolyline16: {
            if (!need(32)) return "poly-polyline record too short";
            const uint64_t polys = U32(r + 24), points = U32(r + 28);
            if (!Inside(32, polys * 4, size)) return "counts outside their record";
            if (!Inside(32 + polys * 4, points * PointSize(type), size)) {
                return "points outside their record";
            }
            uint64_t sum = 0;
            for (uint64_t i = 0; i < polys; ++i) sum += U32(r + 32 + 4 * i);
            return sum == points ? nullptr : "counts do not add up to the points";
        }
        case emf::kGdiComment:
            if (!need(12)) return "comment record too short";
            return Inside(12, U32(r + 8), size) ? nullptr : "comment data outside its record";
        case emf::kExtSelectClipRgn: {
            if (!need(16)) return "clip record too short";
            const uint32_t cb = U32(r + 8);
            if (!Inside(16, cb, size)) return "region data outside its record";
            if (cb == 0) return nullptr;
            if (cb < 32 || U32(r + 16) != 32 || U32(r + 20) != 1) return "bad region data header";
            if (uint64_t{U32(r + 24)} * 16 > cb - 32) return "region rectangles outside";
            return nullptr;
        }
        case emf::kBitBlt: {
            if (!need(100)) return "bit block record too short";
            const uint32_t offBmi = U32(r + 84), cbBmi = U32(r + 88);
            const uint32_t offBits = U32(r + 92), cbBits = U32(r + 96);
            if (cbBmi && !Inside(offBmi, cbBmi, size)) return "source bitmap outside";
            if (cbBits && !Inside(offBits, cbBits, size)) return "source bits outside";
            return nullptr;
        }
        case emf::kStretchDiBits: {
            if (!need(80)) return "bitmap record too short";
            const uint32_t offBmi = U32(r + 48), cbBmi = U32(r + 52);
            const uint32_t offBits = U32(r + 56), cbBits = U32(r + 60);
            if (cbBmi < 40 || !Inside(offBmi, cbBmi, size)) return "bitmap header outside";
            if (!Inside(offBits, cbBits, size)) return "bitmap bits outside";
            const uint8_t* bmi = r + offBmi;
            const uint32_t biSize = U32(bmi);
            if (biSize < 40 || biSize > cbBmi) return "bad bitmap header size";
            const uint64_t colors = DibColorCount(U16(bmi + 14), U32(bmi + 32));
            if (colors * 4 > cbBmi - biSize) return "colour table outside";
            return nullptr;
        }
        case emf::kEof: {
            if (!need(20)) return "end record too short";
            if (U32(r + 8) && !Inside(U32(r + 12), uint64_t{U32(r + 8)} * 4, size)) {
                return "palette outside the end record";
            }
            return nullptr;
        }
        default:
            return nullptr;
    }
}

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// Checks the file; on success the header's byte count is in *extent.
bool CheckFile(std::span<const uint8_t> file, uint32_t* extent, std::string* error) {
    const uint8_t* f = file.data();
    if (file.size() < emf::kMinHeaderSize) return Fail(error, "too short for a metafile header");
    if (U32(f) != emf::kHeader) return Fail(error, "the first record is not a header");
    const uint32_t headerSize = U32(f + 4);
    if (headerSize < emf::kMinHeaderSize || headerSize % 4 || headerSize > file.size()) {
        return Fail(error, "bad header size");
    }
    if (U32(f + 40) != emf::kSignature) return Fail(error, "no EMF signature");
    const uint32_t bytes = U32(f + 48);
    if (bytes < headerSize || bytes > file.size() || bytes % 4) {
        return Fail(error, "header byte count does not fit the file");
    }
    const uint32_t nDescription = U32(f + 60);
    if (nDescription && !Inside(U32(f + 64), uint64_t{nDescription} * 2, headerSize)) {
        return Fail(error, "description outside the header");
    }
    if (U16(f + 56) == 0) return Fail(error, "no handle count");
    const uint32_t records = U32(f + 52);
    uint32_t count = 0;
    uint32_t at = 0;
    bool ended = false;
    while (at < bytes) {
        if (ended) return Fail(error, "records after the end record");
        if (bytes - at < 8) return Fail(error, "record header beyond the file");
        const uint32_t type = U32(f + at);
        const uint32_t size = U32(f + at + 4);
        if (size < 8 || size % 4 || size > bytes - at) {
            return Fail(error,
                        "record " + std::to_string(count) + ": bad size " + std::to_string(size));
        }
        if (count > 0 && type == emf::kHeader) return Fail(error, "a second header");
        if (const char* why = CheckRecord(type, f + at, size)) {
            return Fail(error, "record " + std::to_string(count) + " (" +
                                   std::string(emf::RecordName(type)) + "): " + why);
        }
        ended = type == emf::kEof;
        at += size;
        ++count;
    }
    if (!ended) return Fail(error, "no end record");
    if (count != records) return Fail(error, "header record count does not match");
    *extent = bytes;
    return true;
}

}  // namespace

bool EnumEnhMetaFile(std::span<const uint8_t> file,
                     const std::function<bool(const EmfRecord&)>& visit, std::string* error) {
    uint32_t extent = 0;
    if (!CheckFile(file, &extent, error)) return false;
    uint32_t at = 0;
    for (uint32_t index = 0; at < extent; ++index) {
        EmfRecord record;
        record.index = index;
        record.type = U32(file.data() + at);
        record.size = U32(file.data() + at + 4);
        record.bytes = file.subspan(at, record.size);
        at += record.size;
        if (!visit(record)) break;
    }
    return true;
}

bool ReadEmfHeader(std::span<const uint8_t> file, EmfHeader* header, std::string* error) {
    uint32_t extent = 0;
    if (!CheckFile(file, &extent, error)) return false;
    const uint8_t* f = file.data();
    header->bounds = ReadRect(f + 8);
    header->frame = ReadRect(f + 24);
    header->bytes = U32(f + 48);
    header->records = U32(f + 52);
    header->handles = U16(f + 56);
    header->device = {I32(f + 72), I32(f + 76)};
    header->millimeters = {I32(f + 80), I32(f + 84)};
    header->description.clear();
    const uint32_t n = U32(f + 60), off = U32(f + 64);
    for (uint32_t i = 0; i < n; ++i) header->description.push_back(U16(f + off + 2 * i));
    return true;
}

namespace emf {

bool IsPolyRecord(uint32_t type) {
    return (type >= kPolygon && type <= kPolyPolyline) ||
           (type >= kPolygon16 && type <= kPolyPolyline16);
}

PolyRecord DecodePoly(const EmfRecord& record) {
    const uint8_t* r = record.bytes.data();
    PolyRecord out;
    out.bounds = ReadRect(r + 8);
    const bool multi = record.type == kPolyPolyline || record.type == kPolyPolyline16;
    const bool small = record.type >= kPolygon16;
    size_t at = 28;
    uint32_t points = U32(r + 24);
    if (multi) {
        const uint32_t polys = U32(r + 24);
        points = U32(r + 28);
        for (uint32_t i = 0; i < polys; ++i) out.counts.push_back(U32(r + 32 + 4 * i));
        at = 32 + 4 * size_t{polys};
    }
    out.points.reserve(points);
    for (uint32_t i = 0; i < points; ++i) {
        if (small) {
            out.points.push_back({I16(r + at), I16(r + at + 2)});
            at += 4;
        } else {
            out.points.push_back({I32(r + at), I32(r + at + 4)});
            at += 8;
        }
    }
    return out;
}

TextRecord DecodeText(const EmfRecord& record) {
    const uint8_t* r = record.bytes.data();
    TextRecord out;
    out.bounds = ReadRect(r + 8);
    out.reference = {I32(r + 36), I32(r + 40)};
    const uint32_t count = U32(r + 44);
    const uint32_t offString = U32(r + 48);
    out.options = U32(r + 52);
    out.rect = ReadRect(r + 56);
    const uint32_t offDx = U32(r + 72);
    out.wide = record.type == kExtTextOutW;
    for (uint32_t i = 0; i < count; ++i) {
        if (out.wide) {
            out.wideText.push_back(static_cast<char16_t>(U16(r + offString + 2 * i)));
        } else {
            out.ansiText.push_back(static_cast<char>(r[offString + i]));
        }
    }
    if (offDx && count) {
        for (uint32_t i = 0; i < count; ++i) out.dx.push_back(I32(r + offDx + 4 * i));
    }
    return out;
}

PenRecord DecodePen(const EmfRecord& record) {
    const uint8_t* r = record.bytes.data();
    PenRecord out;
    out.index = U32(r + 8);
    if (record.type == kCreatePen) {
        out.pen.style = U32(r + 12);
        out.pen.width = U32(r + 16);
        out.pen.color = U32(r + 24);
        return out;
    }
    out.pen.extended = true;
    out.pen.style = U32(r + 28);
    out.pen.width = U32(r + 32);
    out.pen.brushStyle = U32(r + 36);
    out.pen.color = U32(r + 40);
    out.pen.hatch = U32(r + 44);
    const uint32_t n = U32(r + 48);
    for (uint32_t i = 0; i < n; ++i) out.pen.styleEntries.push_back(U32(r + 52 + 4 * i));
    return out;
}

BrushRecord DecodeBrush(const EmfRecord& record) {
    const uint8_t* r = record.bytes.data();
    BrushRecord out;
    out.index = U32(r + 8);
    if (record.type == kCreateBrushIndirect) {
        out.brush.style = U32(r + 12);
        out.brush.color = U32(r + 16);
        out.brush.hatch = U32(r + 20);
        return out;
    }
    const uint8_t* bmi = r + U32(r + 16);
    out.brush.style = kBsPattern;
    out.brush.patternWidth = I32(bmi + 4);
    out.brush.patternHeight = I32(bmi + 8);
    const auto bits = record.bytes.subspan(U32(r + 24), U32(r + 28));
    out.brush.patternBits.assign(bits.begin(), bits.end());
    // A header that is not of a monochrome bitmap leaves a brush no pattern can be made from.
    if (U16(bmi + 14) != 1) out.brush.patternWidth = 0;
    return out;
}

FontRecord DecodeFont(const EmfRecord& record) {
    const uint8_t* r = record.bytes.data();
    FontRecord out;
    out.index = U32(r + 8);
    const uint8_t* f = r + 12;
    LOGFONTW& lf = out.font;
    lf.lfHeight = I32(f);
    lf.lfWidth = I32(f + 4);
    lf.lfEscapement = I32(f + 8);
    lf.lfOrientation = I32(f + 12);
    lf.lfWeight = I32(f + 16);
    lf.lfItalic = f[20];
    lf.lfUnderline = f[21];
    lf.lfStrikeOut = f[22];
    lf.lfCharSet = f[23];
    lf.lfOutPrecision = f[24];
    lf.lfClipPrecision = f[25];
    lf.lfQuality = f[26];
    lf.lfPitchAndFamily = f[27];
    for (size_t i = 0; i < 32; ++i) lf.lfFaceName[i] = static_cast<char16_t>(U16(f + 28 + 2 * i));
    lf.lfFaceName[31] = 0;
    return out;
}

ClipRecord DecodeClip(const EmfRecord& record) {
    const uint8_t* r = record.bytes.data();
    ClipRecord out;
    out.mode = I32(r + 12);
    if (U32(r + 8) == 0) return out;
    out.hasRegion = true;
    const uint32_t n = U32(r + 24);
    for (uint32_t i = 0; i < n; ++i) out.rects.push_back(ReadRect(r + 48 + 16 * size_t{i}));
    return out;
}

BlitRecord DecodeBitBlt(const EmfRecord& record) {
    const uint8_t* r = record.bytes.data();
    BlitRecord out;
    out.bounds = ReadRect(r + 8);
    out.x = I32(r + 24);
    out.y = I32(r + 28);
    out.width = I32(r + 32);
    out.height = I32(r + 36);
    out.rop = U32(r + 40);
    out.hasSource = U32(r + 88) != 0 || U32(r + 96) != 0;
    return out;
}

DibRecord DecodeStretchDib(const EmfRecord& record) {
    const uint8_t* r = record.bytes.data();
    DibRecord out;
    out.bounds = ReadRect(r + 8);
    out.xDest = I32(r + 24);
    out.yDest = I32(r + 28);
    out.xSrc = I32(r + 32);
    out.ySrc = I32(r + 36);
    out.srcWidth = I32(r + 40);
    out.srcHeight = I32(r + 44);
    out.usage = U32(r + 64);
    out.rop = U32(r + 68);
    out.destWidth = I32(r + 72);
    out.destHeight = I32(r + 76);
    const uint8_t* bmi = r + U32(r + 48);
    BITMAPINFOHEADER& h = out.header;
    h.biSize = 40;
    h.biWidth = I32(bmi + 4);
    h.biHeight = I32(bmi + 8);
    h.biPlanes = U16(bmi + 12);
    h.biBitCount = U16(bmi + 14);
    h.biCompression = U32(bmi + 16);
    h.biSizeImage = U32(bmi + 20);
    h.biXPelsPerMeter = I32(bmi + 24);
    h.biYPelsPerMeter = I32(bmi + 28);
    h.biClrUsed = U32(bmi + 32);
    h.biClrImportant = U32(bmi + 36);
    const uint8_t* table = bmi + U32(bmi);
    const uint32_t n = DibColorCount(h.biBitCount, h.biClrUsed);
    for (uint32_t i = 0; i < n; ++i) {
        out.colors.push_back({table[4 * i], table[4 * i + 1], table[4 * i + 2], table[4 * i + 3]});
    }
    out.bits = record.bytes.subspan(U32(r + 56), U32(r + 60));
    return out;
}

std::span<const uint8_t> CommentData(const EmfRecord& record) {
    return record.bytes.subspan(12, U32(record.bytes.data() + 8));
}

}  // namespace emf

// ----- Playback

namespace {

class Player {
  public:
    Player(DeviceContext& dc, uint16_t handles) : dc_(dc), objects_(handles) {}
    ~Player() {
        for (GdiObject& o : objects_) o.reset();
    }

    void Play(const EmfRecord& rec);

  private:
    // The slot of a metafile index, or nullptr when the header's handle count leaves it out.
    GdiObject* Slot(uint32_t index) {
        if (index == 0 || index >= objects_.size()) return nullptr;
        return &objects_[index];
    }
    void Create(uint32_t index, HGDIOBJ object) {
        GdiObject owned(object);
        if (GdiObject* slot = Slot(index)) *slot = std::move(owned);
    }

    DeviceContext& dc_;
    std::vector<GdiObject> objects_;
};

void Player::Play(const EmfRecord& rec) {
    using emf::Field;
    const auto i0 = [&] { return static_cast<int32_t>(Field(rec, 0)); };
    const auto i1 = [&] { return static_cast<int32_t>(Field(rec, 1)); };
    switch (rec.type) {
        case emf::kSetWindowExtEx:
            dc_.SetWindowExtEx(i0(), i1());
            break;
        case emf::kSetWindowOrgEx:
            dc_.SetWindowOrgEx(i0(), i1());
            break;
        case emf::kSetViewportExtEx:
            dc_.SetViewportExtEx(i0(), i1());
            break;
        case emf::kSetViewportOrgEx:
            dc_.SetViewportOrgEx(i0(), i1());
            break;
        case emf::kSetMapMode:
            dc_.SetMapMode(i0());
            break;
        case emf::kSetBkMode:
            dc_.SetBkMode(i0());
            break;
        case emf::kSetTextColor:
            dc_.SetTextColor(Field(rec, 0));
            break;
        case emf::kSetBkColor:
            dc_.SetBkColor(Field(rec, 0));
            break;
        case emf::kMoveToEx:
            dc_.MoveToEx(i0(), i1());
            break;
        case emf::kLineTo:
            dc_.LineTo(i0(), i1());
            break;
        case emf::kScaleViewportExtEx:
        case emf::kScaleWindowExtEx: {
            const int32_t v[4] = {i0(), i1(), static_cast<int32_t>(Field(rec, 2)),
                                  static_cast<int32_t>(Field(rec, 3))};
            if (rec.type == emf::kScaleViewportExtEx) {
                dc_.ScaleViewportExtEx(v[0], v[1], v[2], v[3]);
            } else {
                dc_.ScaleWindowExtEx(v[0], v[1], v[2], v[3]);
            }
            break;
        }
        case emf::kSaveDc:
            dc_.SaveDC();
            break;
        case emf::kRestoreDc:
            dc_.RestoreDC(i0());
            break;
        case emf::kSelectObject: {
            const uint32_t index = Field(rec, 0);
            if (index & kEmfStockBit) {
                if (HGDIOBJ stock = GetStockObject(static_cast<int32_t>(index & ~kEmfStockBit))) {
                    dc_.SelectObject(stock);
                }
            } else if (GdiObject* slot = Slot(index)) {
                if (*slot) dc_.SelectObject(slot->get());
            }
            break;
        }
        case emf::kDeleteObject:
            if (GdiObject* slot = Slot(Field(rec, 0))) slot->reset();
            break;
        case emf::kCreatePen:
        case emf::kExtCreatePen: {
            const emf::PenRecord p = emf::DecodePen(rec);
            if (!Slot(p.index)) break;
            if (p.pen.extended) {
                Create(p.index, ExtCreatePen(p.pen.style, p.pen.width,
                                             {p.pen.brushStyle, p.pen.color, p.pen.hatch},
                                             p.pen.styleEntries));
            } else {
                Create(p.index,
                       CreatePen(p.pen.style, static_cast<int32_t>(p.pen.width), p.pen.color));
            }
            break;
        }
        case emf::kCreateBrushIndirect:
        case emf::kCreateMonoBrush: {
            const emf::BrushRecord b = emf::DecodeBrush(rec);
            if (!Slot(b.index)) break;
            if (b.brush.style == kBsPattern) {
                Create(b.index, CreateMonoPatternBrush(b.brush.patternWidth, b.brush.patternHeight,
                                                       b.brush.patternBits));
            } else {
                Create(b.index, CreateBrushIndirect({b.brush.style, b.brush.color, b.brush.hatch}));
            }
            break;
        }
        case emf::kExtCreateFontIndirectW: {
            const emf::FontRecord f = emf::DecodeFont(rec);
            if (Slot(f.index)) Create(f.index, CreateFontIndirectW(f.font));
            break;
        }
        case emf::kBeginPath:
            dc_.BeginPath();
            break;
        case emf::kEndPath:
            dc_.EndPath();
            break;
        case emf::kCloseFigure:
            dc_.CloseFigure();
            break;
        case emf::kStrokePath:
            dc_.StrokePath();
            break;
        case emf::kAbortPath:
            dc_.AbortPath();
            break;
        case emf::kGdiComment:
            dc_.GdiComment(emf::CommentData(rec));
            break;
        case emf::kExtSelectClipRgn: {
            const emf::ClipRecord c = emf::DecodeClip(rec);
            if (!c.hasRegion) {
                dc_.ExtSelectClipRgn(0, c.mode);
                break;
            }
            GdiObject region(CreateRegion(Region::FromRects(c.rects)));
            dc_.ExtSelectClipRgn(region.get(), c.mode);
            break;
        }
        case emf::kBitBlt: {
            const emf::BlitRecord b = emf::DecodeBitBlt(rec);
            // Blits from a source bitmap are never recorded here.
            if (!b.hasSource) dc_.PatBlt(b.x, b.y, b.width, b.height, b.rop);
            break;
        }
        case emf::kStretchDiBits: {
            const emf::DibRecord d = emf::DecodeStretchDib(rec);
            dc_.StretchDIBits(d.xDest, d.yDest, d.destWidth, d.destHeight, d.xSrc, d.ySrc,
                              d.srcWidth, d.srcHeight, d.bits, d.header, d.colors, d.usage, d.rop);
            break;
        }
        case emf::kExtTextOutA:
        case emf::kExtTextOutW: {
            const emf::TextRecord t = emf::DecodeText(rec);
            const RECT* rect = (t.options & (kEtoOpaque | kEtoClipped)) ? &t.rect : nullptr;
            if (t.wide) {
                dc_.ExtTextOutW(t.reference.x, t.reference.y, t.options, rect, t.wideText, t.dx);
            } else {
                dc_.ExtTextOutA(t.reference.x, t.reference.y, t.options, rect, t.ansiText, t.dx);
            }
            break;
        }
        default:
            if (emf::IsPolyRecord(rec.type)) {
                const emf::PolyRecord p = emf::DecodePoly(rec);
                switch (rec.type) {
                    case emf::kPolygon:
                    case emf::kPolygon16:
                        dc_.Polygon(p.points);
                        break;
                    case emf::kPolyline:
                    case emf::kPolyline16:
                        dc_.Polyline(p.points);
                        break;
                    case emf::kPolyBezierTo:
                    case emf::kPolyBezierTo16:
                        dc_.PolyBezierTo(p.points);
                        break;
                    case emf::kPolylineTo:
                    case emf::kPolylineTo16:
                        dc_.PolylineTo(p.points);
                        break;
                    default:
                        dc_.PolyPolyline(p.points, p.counts);
                        break;
                }
            }
            break;
    }
}

}  // namespace

bool PlayEnhMetaFile(DeviceContext& dc, std::span<const uint8_t> file, std::string* error) {
    EmfHeader header;
    if (!ReadEmfHeader(file, &header, error)) return false;
    Player player(dc, header.handles);
    return EnumEnhMetaFile(
        file,
        [&](const EmfRecord& rec) {
            player.Play(rec);
            return true;
        },
        error);
}

}  // namespace plat
