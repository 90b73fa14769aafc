#include "platform/gdi/gdi_objects.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "platform/gdi/handle_table.h"
#include "platform/gdi/region.h"

namespace plat {

using detail::BrushObject;
using detail::FontObject;
using detail::Lookup;
using detail::PenObject;
using detail::RegionObject;

namespace {

// CombineRgn reads two regions and writes a third; one lock keeps such a step whole.
std::mutex& RegionMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

PenState MakePen(uint32_t style, uint32_t width, COLORREF color) {
    PenState p;
    p.style = style;
    p.width = width;
    p.color = color;
    return p;
}

BrushState MakeBrush(uint32_t style, COLORREF color, uint32_t hatch = 0) {
    BrushState b;
    b.style = style;
    b.color = color;
    b.hatch = hatch;
    return b;
}

HPEN NewPen(PenState pen, bool permanent = false) {
    return detail::AllocHandle(HandleKind::kPen,
                               std::make_shared<PenObject>(PenObject{std::move(pen)}), permanent);
}
HBRUSH NewBrush(BrushState brush, bool permanent = false) {
    return detail::AllocHandle(HandleKind::kBrush,
                               std::make_shared<BrushObject>(BrushObject{std::move(brush)}),
                               permanent);
}
HFONT NewFont(const LOGFONTW& font, bool permanent = false) {
    return detail::AllocHandle(HandleKind::kFont, std::make_shared<FontObject>(FontObject{font}),
                               permanent);
}

LOGFONTW StockFont(int32_t height, int32_t weight, uint8_t pitch, std::u16string_view face) {
    LOGFONTW f;
    f.lfHeight = height;
    f.lfWeight = weight;
    f.lfCharSet = kShiftJisCharset;
    f.lfPitchAndFamily = pitch;
    std::copy_n(face.begin(), std::min(face.size(), kMaxFaceNameLength), f.lfFaceName);
    return f;
}

// The stock objects, made once. The fonts are this system's choice: the Japanese faces the
// reports use (the substitution table finds their IPA stand-ins), proportional for the
// variable and GUI fonts, fixed pitch for the others.
struct StockTable {
    std::array<HGDIOBJ, kStockObjectCount> handles{};
    StockTable() {
        auto solid = [](COLORREF c) { return MakeBrush(kBsSolid, c); };
        handles[kWhiteBrush] = NewBrush(solid(0xFFFFFF), true);
        handles[kLtGrayBrush] = NewBrush(solid(0xC0C0C0), true);
        handles[kGrayBrush] = NewBrush(solid(0x808080), true);
        handles[kDkGrayBrush] = NewBrush(solid(0x404040), true);
        handles[kBlackBrush] = NewBrush(solid(0), true);
        handles[kNullBrush] = NewBrush(MakeBrush(kBsNull, 0), true);
        handles[kWhitePen] = NewPen(MakePen(kPsSolid, 0, 0xFFFFFF), true);
        handles[kBlackPen] = NewPen(MakePen(kPsSolid, 0, 0), true);
        handles[kNullPen] = NewPen(MakePen(kPsNull, 0, 0), true);
        const std::u16string_view gothic = u"ＭＳ ゴシック";
        const std::u16string_view pgothic = u"ＭＳ Ｐゴシック";
        handles[kOemFixedFont] = NewFont(StockFont(12, 400, 1, gothic), true);
        handles[kAnsiFixedFont] = NewFont(StockFont(12, 400, 1, gothic), true);
        handles[kAnsiVarFont] = NewFont(StockFont(12, 400, 2, pgothic), true);
        handles[kSystemFont] = NewFont(StockFont(16, 700, 2, pgothic), true);
        handles[kDeviceDefaultFont] = NewFont(StockFont(16, 400, 1, gothic), true);
        handles[kSystemFixedFont] = NewFont(StockFont(16, 400, 1, gothic), true);
        handles[kDefaultGuiFont] = NewFont(StockFont(-12, 400, 2, pgothic), true);
    }
};

const StockTable& Stock() {
    static const StockTable* table = new StockTable;
    return *table;
}

std::shared_ptr<RegionObject> RegionOf(HRGN region) {
    return Lookup<RegionObject>(region, HandleKind::kRegion);
}

}  // namespace

HPEN CreatePen(uint32_t style, int32_t width, COLORREF color) {
    return CreatePenIndirect(LOGPEN{style, {width, 0}, color});
}

HPEN CreatePenIndirect(const LOGPEN& pen) {
    // GDI takes any style number above the known ones as a solid pen; a negative width as 0
    // would be wrong, so it is refused.
    uint32_t style = pen.lopnStyle & kPsStyleMask;
    if (style > kPsInsideFrame) style = kPsSolid;
    if (pen.lopnWidth.x < 0) return 0;
    const uint32_t width = static_cast<uint32_t>(pen.lopnWidth.x);
    return NewPen(MakePen(style, width, pen.lopnColor & 0xFFFFFF));
}

HPEN ExtCreatePen(uint32_t style, uint32_t width, const LOGBRUSH& brush,
                  std::span<const uint32_t> styleEntries) {
    const uint32_t type = style & 0xF0000;
    if (type != kPsCosmetic && type != kPsGeometric) return 0;
    if (type == kPsCosmetic && (width != 1 || brush.lbStyle != kBsSolid)) return 0;
    if (brush.lbStyle != kBsSolid && brush.lbStyle != kBsNull && brush.lbStyle != kBsHatched)
        return 0;
    const uint32_t kind = style & kPsStyleMask;
    constexpr uint32_t kPsUserStyle = 7;
    if (kind > kPsUserStyle) return 0;
    if ((kind == kPsUserStyle) != !styleEntries.empty() || styleEntries.size() > 16) return 0;
    if ((style & kPsEndCapMask) > kPsEndCapFlat || (style & kPsJoinMask) > kPsJoinMiter) return 0;
    PenState pen{style,         width,         brush.lbColor & 0xFFFFFF,
                 brush.lbStyle, brush.lbHatch, {styleEntries.begin(), styleEntries.end()},
                 true};
    return NewPen(std::move(pen));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    return NewBrush(MakeBrush(kBsSolid, color & 0xFFFFFF));
}

HBRUSH CreateHatchBrush(uint32_t hatch, COLORREF color) {
    if (hatch > kHsDiagCross) return 0;
    return NewBrush(MakeBrush(kBsHatched, color & 0xFFFFFF, hatch));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH& brush) {
    switch (brush.lbStyle) {
        case kBsSolid:
            return CreateSolidBrush(brush.lbColor);
        case kBsNull:
            return NewBrush(MakeBrush(kBsNull, 0));
        case kBsHatched:
            return CreateHatchBrush(brush.lbHatch, brush.lbColor);
        default:
            return 0;
    }
}

HBRUSH CreateMonoPatternBrush(int32_t width, int32_t height, std::span<const uint8_t> bits) {
    if (width < 1 || width > 64 || height == 0 || height < -64 || height > 64) return 0;
    const size_t stride = (static_cast<size_t>(width) + 31) / 32 * 4;
    const size_t rows = static_cast<size_t>(height < 0 ? -height : height);
    if (bits.size() < stride * rows) return 0;
    BrushState b{kBsPattern, 0, 0, width, height, {bits.begin(), bits.begin() + stride * rows}};
    return NewBrush(std::move(b));
}

bool BrushState::PatternBit(int32_t x, int32_t y) const {
    if (patternWidth <= 0 || patternHeight == 0) return false;
    const int32_t rows = patternHeight < 0 ? -patternHeight : patternHeight;
    x %= patternWidth;
    if (x < 0) x += patternWidth;
    y %= rows;
    if (y < 0) y += rows;
    const int32_t row = patternHeight > 0 ? rows - 1 - y : y;  // positive heights are bottom-up
    const size_t stride = (static_cast<size_t>(patternWidth) + 31) / 32 * 4;
    const size_t at = stride * static_cast<size_t>(row) + static_cast<size_t>(x / 8);
    if (at >= patternBits.size()) return false;
    return (patternBits[at] >> (7 - x % 8)) & 1;
}

HFONT CreateFontIndirectW(const LOGFONTW& font) {
    LOGFONTW f = font;
    f.lfFaceName[31] = 0;  // a face name always ends inside the record
    return NewFont(f);
}

HRGN CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return CreateRegion(Region(RECT{left, top, right, bottom}));
}

HRGN CreateRectRgnIndirect(const RECT& rect) {
    return CreateRegion(Region(rect));
}

HRGN CreateRegion(const Region& region) {
    return detail::AllocHandle(HandleKind::kRegion,
                               std::make_shared<RegionObject>(RegionObject{region}));
}

int32_t CombineRgn(HRGN dest, HRGN a, HRGN b, int32_t mode) {
    auto d = RegionOf(dest);
    auto ra = RegionOf(a);
    auto rb = mode == kRgnCopy ? ra : RegionOf(b);
    if (!d || !ra || !rb) return kRegionError;
    std::lock_guard lock(RegionMutex());
    Region out;
    if (!Region::Combine(ra->region, rb->region, mode, &out)) return kRegionError;
    d->region = std::move(out);
    return d->region.Complexity();
}

int32_t OffsetRgn(HRGN region, int32_t dx, int32_t dy) {
    auto r = RegionOf(region);
    if (!r) return kRegionError;
    std::lock_guard lock(RegionMutex());
    r->region.Offset(dx, dy);
    return r->region.Complexity();
}

int32_t GetRgnBox(HRGN region, RECT* box) {
    auto r = RegionOf(region);
    if (!r || !box) return kRegionError;
    std::lock_guard lock(RegionMutex());
    *box = r->region.Box();
    return r->region.Complexity();
}

bool PtInRegion(HRGN region, int32_t x, int32_t y) {
    auto r = RegionOf(region);
    if (!r) return false;
    std::lock_guard lock(RegionMutex());
    return r->region.Contains(x, y);
}

bool EqualRgn(HRGN a, HRGN b) {
    auto ra = RegionOf(a);
    auto rb = RegionOf(b);
    if (!ra || !rb) return false;
    std::lock_guard lock(RegionMutex());
    return ra->region == rb->region;
}

std::optional<Region> GetRegion(HRGN region) {
    auto r = RegionOf(region);
    if (!r) return std::nullopt;
    std::lock_guard lock(RegionMutex());
    return r->region;
}

HGDIOBJ GetStockObject(int32_t object) {
    if (object < 0 || object >= kStockObjectCount) return 0;
    return Stock().handles[static_cast<size_t>(object)];
}

bool IsStockObject(HGDIOBJ object, int32_t* number) {
    if (object == 0) return false;
    const auto& handles = Stock().handles;
    for (size_t i = 0; i < handles.size(); ++i) {
        if (handles[i] == object) {
            if (number) *number = static_cast<int32_t>(i);
            return true;
        }
    }
    return false;
}

bool DeleteObject(HGDIOBJ object) {
    if (IsStockObject(object)) return true;
    const HandleKind kind = KindOfHandle(object);
    switch (kind) {
        case HandleKind::kPen:
        case HandleKind::kBrush:
        case HandleKind::kFont:
        case HandleKind::kRegion:
            break;
        default:
            return false;
    }
    if (kind != HandleKind::kRegion) detail::NotifyDeleted(object);
    return detail::FreeHandle(object, kind);
}

int32_t GetObjectType(HGDIOBJ object) {
    switch (KindOfHandle(object)) {
        case HandleKind::kPen: {
            auto p = Lookup<PenObject>(object, HandleKind::kPen);
            return p && p->pen.extended ? kObjExtPen : kObjPen;
        }
        case HandleKind::kBrush:
            return kObjBrush;
        case HandleKind::kFont:
            return kObjFont;
        case HandleKind::kRegion:
            return kObjRegion;
        case HandleKind::kDc:
            return kObjDc;
        default:
            return 0;
    }
}

std::optional<LOGPEN> GetLogPen(HPEN pen) {
    auto p = Lookup<PenObject>(pen, HandleKind::kPen);
    if (!p) return std::nullopt;
    return LOGPEN{p->pen.style, {static_cast<int32_t>(p->pen.width), 0}, p->pen.color};
}

std::optional<LOGBRUSH> GetLogBrush(HBRUSH brush) {
    auto b = Lookup<BrushObject>(brush, HandleKind::kBrush);
    if (!b) return std::nullopt;
    return LOGBRUSH{b->brush.style, b->brush.color, b->brush.hatch};
}

std::optional<LOGFONTW> GetLogFont(HFONT font) {
    auto f = Lookup<FontObject>(font, HandleKind::kFont);
    if (!f) return std::nullopt;
    return f->font;
}

LOGFONTW ToLogFontW(const LogicalFont& font) {
    LOGFONTW f;
    f.lfHeight = font.height;
    f.lfWidth = font.width;
    f.lfEscapement = font.escapement;
    f.lfOrientation = font.orientation;
    f.lfWeight = font.weight;
    f.lfItalic = font.italic;
    f.lfUnderline = font.underline;
    f.lfStrikeOut = font.strikeOut;
    f.lfCharSet = font.charSet;
    f.lfOutPrecision = font.outPrecision;
    f.lfClipPrecision = font.clipPrecision;
    f.lfQuality = font.quality;
    f.lfPitchAndFamily = font.pitchAndFamily;
    std::copy_n(font.faceName.begin(), std::min(font.faceName.size(), kMaxFaceNameLength),
                f.lfFaceName);
    return f;
}

LogicalFont ToLogicalFont(const LOGFONTW& font) {
    LogicalFont f;
    f.height = font.lfHeight;
    f.width = font.lfWidth;
    f.escapement = font.lfEscapement;
    f.orientation = font.lfOrientation;
    f.weight = font.lfWeight;
    f.italic = font.lfItalic != 0;
    f.underline = font.lfUnderline != 0;
    f.strikeOut = font.lfStrikeOut != 0;
    f.charSet = font.lfCharSet;
    f.outPrecision = font.lfOutPrecision;
    f.clipPrecision = font.lfClipPrecision;
    f.quality = font.lfQuality;
    f.pitchAndFamily = font.lfPitchAndFamily;
    size_t n = 0;
    while (n < kMaxFaceNameLength && font.lfFaceName[n] != 0) ++n;
    f.faceName.assign(font.lfFaceName, n);
    return f;
}

}  // namespace plat
