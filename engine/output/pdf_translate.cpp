#include "engine/output/pdf_translate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <numbers>
#include <string_view>

#include "engine/core/font_ansi.h"
#include "engine/core/module.h"
#include "engine/output/pdf_format.h"
#include "engine/output/ttf_subset.h"
#include "platform/fonts/font_resolver.h"
#include "platform/fonts/sfnt.h"
#include "platform/gdi/emf_reader.h"
#include "platform/gdi/gdi_objects.h"

namespace kp {

using namespace pdf_code;

namespace {

// Record types.
enum : uint32_t {
    kHeader = 1,
    kEof = 14,
    kSetWindowExt = 9,
    kSetWindowOrg = 10,
    kSetViewportExt = 11,
    kSetViewportOrg = 12,
    kSetTextColor = 24,
    kSetBkColor = 25,
    kMoveTo = 27,
    kScaleViewportExt = 31,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrush = 39,
    kDeleteObject = 40,
    kLineTo = 54,
    kBeginPath = 59,
    kEndPath = 60,
    kCloseFigure = 61,
    kStrokePath = 64,
    kAbortPath = 68,
    kComment = 70,
    kSelectClip = 75,
    kBitBlt = 76,
    kStretchDib = 81,
    kCreateFont = 82,
    kTextA = 83,
    kTextW = 84,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kCreateMonoBrush = 93,
    kExtCreatePen = 95,
};

// Where the stock objects the header and the selections name are kept: the handles the
// recorder numbers from 1 never reach them.
constexpr int kStockPenIndex = 493;   // BLACK_PEN
constexpr int kStockFontIndex = 486;  // DEVICE_DEFAULT_FONT
constexpr int kStockBrushBase = 480;  // WHITE_BRUSH .. NULL_BRUSH at 480..485
constexpr int kStockWhitePenIndex = 487;
constexpr int kStockNullPenIndex = 488;

constexpr uint32_t kPsNull = 5;
constexpr uint32_t kBsNull = 1;

// The embedding comment of the text control.
constexpr std::string_view kEmbedComment = "##EMBED###";

int32_t I32(std::span<const uint8_t> r, size_t at) {
    return int32_t(uint32_t(r[at]) | uint32_t(r[at + 1]) << 8 | uint32_t(r[at + 2]) << 16 |
                   uint32_t(r[at + 3]) << 24);
}
uint32_t U32(std::span<const uint8_t> r, size_t at) {
    return uint32_t(I32(r, at));
}
int16_t I16(std::span<const uint8_t> r, size_t at) {
    return int16_t(uint16_t(r[at] | r[at + 1] << 8));
}
uint16_t U16(std::span<const uint8_t> r, size_t at) {
    return uint16_t(r[at] | r[at + 1] << 8);
}
bool Within(size_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

// The fixed size of each record type translated here, and the checks of its inner counts and
// offsets; every record passes before the first is played, so the handlers read freely.
bool CheckRecord(uint32_t type, std::span<const uint8_t> r) {
    const size_t n = r.size();
    auto bitmap = [&](size_t offBmiAt) {
        const uint64_t offBmi = U32(r, offBmiAt), cbBmi = U32(r, offBmiAt + 4);
        const uint64_t offBits = U32(r, offBmiAt + 8), cbBits = U32(r, offBmiAt + 12);
        return cbBmi >= 40 && Within(n, offBmi, cbBmi) && Within(n, offBits, cbBits) &&
               U32(r, size_t(offBmi)) >= 40 && U32(r, size_t(offBmi)) <= cbBmi;
    };
    switch (type) {
        case kHeader:
            return n >= 88;
        case kSetWindowExt:
        case kSetWindowOrg:
        case kSetViewportExt:
        case kSetViewportOrg:
        case kMoveTo:
        case kLineTo:
            return n >= 16;
        case kSetTextColor:
        case kSetBkColor:
        case kRestoreDc:
        case kSelectObject:
        case kDeleteObject:
            return n >= 12;
        case kScaleViewportExt:
            return n >= 24;
        case kCreatePen:
            return n >= 28;
        case kCreateBrush:
            return n >= 24;
        case kStrokePath:
            return n >= 24;
        case kComment:
            return n >= 12 && Within(n, 12, U32(r, 8));
        case kSelectClip: {
            if (n < 16) return false;
            const uint64_t size = U32(r, 8);
            if (size == 0 || size == 0xFFFFFFFFu) return true;
            if (!Within(n, 16, size) || size < 32) return false;
            return uint64_t(U32(r, 16 + 8)) * 16 + 32 <= size;
        }
        case kBitBlt:
            return n >= 100;
        case kStretchDib: {
            if (n < 80 || !bitmap(48)) return false;
            // The bits must hold every row the bitmap declares: a few bytes that claim a
            // bitmap of 2^31 rows would otherwise have the writer compress gigabytes of blank
            // rows into the file. Depths the image writer refuses are left to its answer.
            const size_t offBmi = U32(r, 48);
            const int32_t width = I32(r, offBmi + 4), height = I32(r, offBmi + 8);
            const uint16_t bits = U16(r, offBmi + 14);
            if (width <= 0 || height == INT32_MIN ||
                (bits != 1 && bits != 4 && bits != 8 && bits != 24)) {
                return true;
            }
            const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
            return uint64_t(U32(r, 60)) / stride >= uint64_t(std::abs(int64_t(height)));
        }
        case kCreateFont:
            return n >= 12 + 92;
        case kTextA:
        case kTextW: {
            if (n < 76) return false;
            const uint64_t chars = U32(r, 44);
            if (!Within(n, U32(r, 48), chars * (type == kTextW ? 2 : 1))) return false;
            const uint32_t offDx = U32(r, 72);
            return offDx == 0 || Within(n, offDx, chars * 4);
        }
        case kPolygon16:
        case kPolyline16:
        case kPolyBezierTo16:
        case kPolylineTo16:
            return n >= 28 && Within(n, 28, uint64_t(U32(r, 24)) * 4);
        case kPolyPolyline16: {
            if (n < 32) return false;
            const uint64_t polys = U32(r, 24), points = U32(r, 28);
            if (!Within(n, 32, polys * 4 + points * 4)) return false;
            uint64_t sum = 0;
            for (uint64_t i = 0; i < polys; ++i) sum += U32(r, size_t(32 + 4 * i));
            return sum == points;
        }
        case kCreateMonoBrush:
            return n >= 32 && bitmap(16);
        case kExtCreatePen: {
            if (n < 52) return false;
            const uint64_t entries = U32(r, 48);
            return Within(n, 52, entries * 4) && Within(n, U32(r, 12), U32(r, 16)) &&
                   Within(n, U32(r, 20), U32(r, 24));
        }
        default:
            return true;
    }
}

bool IsDoubleByteLead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF);
}
bool IsDoubleByteTrail(uint8_t b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}
bool IsSingleByteWide(char16_t c) {
    return c <= 0xFF || (c >= 0xFF61 && c <= 0xFF9F);
}
bool IsPrivateUse(char16_t c) {
    return c >= 0xE000 && c <= 0xF8FF;
}

// The Windows-1252 code of a character, '?' when the code page has none.
uint8_t Cp1252Code(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return uint8_t(c);
    for (int code = 0x80; code < 0xA0; ++code) {
        if (Cp1252ToUnicode(uint8_t(code)) == c) return uint8_t(code);
    }
    return '?';
}

std::u16string_view FaceName(const plat::LOGFONTW& font) {
    size_t n = 0;
    while (n < 32 && font.lfFaceName[n] != 0) ++n;
    return {font.lfFaceName, n};
}

void SetFaceName(plat::LOGFONTW& font, std::u16string_view face) {
    std::fill(std::begin(font.lfFaceName), std::end(font.lfFaceName), u'\0');
    std::copy_n(face.begin(), std::min<size_t>(face.size(), 31), font.lfFaceName);
}

uint8_t EffectiveCharSet(uint8_t charSet) {
    if (charSet == plat::kAnsiCharset || charSet == plat::kSymbolCharset) return charSet;
    return plat::kShiftJisCharset;
}

class PageTranslator {
  public:
    PageTranslator(PdfFileWriter& writer, PdfFontTable& fonts, MetafileGdiState& state)
        : w_(writer), fonts_(fonts), s_(state) {}

    int Translate(uint32_t type, std::span<const uint8_t> r);
    // Open save levels get their Q at the end of the page.
    int CloseLevels();
    void SetFrame(const plat::RECT& frame, const plat::SIZE& device, const plat::SIZE& mm);
    // A printer's page: the whole sheet is the frame and the resolution is the device's own,
    // not one worked back from the header's whole millimetres.
    void SetSheet(const plat::DeviceInfo& device, int32_t widthHmm, int32_t heightHmm);
    // Every text whose face can be embedded is, as a printed document needs its fonts.
    void EmbedAllFonts(bool on) { embedAll_ = on; }
    // A clip region selected to replace the clip does replace it (the print loop's pages that
    // share a sheet each clip to their own half); exported pages keep the clips they always had.
    void ReplaceClips(bool on) { replaceClips_ = on; }

  private:
    MetafileGdiState::Level& L() { return s_.levels.back(); }

    double X(double x) {
        const auto& l = L();
        return (double(l.viewportExt.cx) / l.windowExt.cx * x + l.viewportOrg.x - l.windowOrg.x) *
               72.0 / resX_;
    }
    double Y(double y) {
        const auto& l = L();
        return (frameHeight_ * resY_ / 2540.0 -
                (double(l.viewportExt.cy) / l.windowExt.cy * y + l.viewportOrg.y - l.windowOrg.y)) *
               72.0 / resY_;
    }
    double LenX(double v) { return v * L().viewportExt.cx / L().windowExt.cx * 72.0 / resX_; }
    double LenY(double v) { return v * L().viewportExt.cy / L().windowExt.cy * 72.0 / resY_; }
    // Region rectangles are in device units.
    double DevX(double x) { return x * 72.0 / resX_; }
    double DevY(double y) { return (frameHeight_ * resY_ / 2540.0 - y) * 72.0 / resY_; }
    static std::string Color(plat::COLORREF c, const char* op) {
        return PdfFormat("%.2f %.2f %.2f ", plat::RedOf(c) / 255.0, plat::GreenOf(c) / 255.0,
                         plat::BlueOf(c) / 255.0) +
               op;
    }
    std::string Point(double x, double y, const char* op) {
        return PdfFormat("%.3f %.3f ", X(x), Y(y)) + op;
    }

    // Drawing goes into the path buffer while a path is open, else into the page.
    int Out(std::string_view text) {
        if (inPath_) {
            pathEmpty_ = false;
            return w_.path().Write(text);
        }
        return w_.WriteContent(text);
    }

    int PenState(std::string& out);
    const MetafileGdiState::Pen* SelectedPen() const {
        if (s_.pen < 0) return nullptr;
        const auto& h = s_.handles[size_t(s_.pen)];
        return h.kind == MetafileGdiState::kPen ? &s_.pens[size_t(h.slot)] : nullptr;
    }
    bool NullPen() const {
        const auto* p = SelectedPen();
        return p != nullptr && (p->style & 0xF) == kPsNull;
    }
    // The fill colour of the selected brush; false when it paints nothing.
    bool BrushColor(plat::COLORREF& color);

    int Create(int index, MetafileGdiState::Kind kind, int& slot);
    int Free(int index);
    int SelectStock(uint32_t number);

    int MoveTo(int32_t x, int32_t y);
    int LineTo(int32_t x, int32_t y);
    int Poly(uint32_t type, std::span<const uint8_t> r);
    int PolyPolyline(std::span<const uint8_t> r);
    int StrokePath();
    int Clip(std::span<const uint8_t> r);
    int Text(std::span<const uint8_t> r, bool wide);
    int Image(std::span<const uint8_t> r);
    int PatternCopy(std::span<const uint8_t> r);
    int MonoBrush(std::span<const uint8_t> r);

    int FontIndex(const plat::LOGFONTW& font, bool wide, bool embed, bool eudc, int& index);
    std::shared_ptr<plat::FontFace> FaceOf(int index);
    uint16_t Glyph(int index, char16_t code);

    PdfFileWriter& w_;
    PdfFontTable& fonts_;
    MetafileGdiState& s_;
    double frameWidth_ = 0;  // 0.01 mm
    double frameHeight_ = 0;
    double resX_ = 96, resY_ = 96;
    bool inPath_ = false;
    bool movePending_ = false;
    bool pathEmpty_ = true;
    bool embedNext_ = false;
    bool embedAll_ = false;
    // A PDF clip can only shrink: a replaceable clip lives in a "q" group of its own, one per
    // save level, closed when the clip is replaced or its level restored.
    bool replaceClips_ = false;
    std::vector<bool> clipGroups_ = std::vector<bool>(1, false);
    std::string CloseClipGroup();
    std::map<int, std::shared_ptr<plat::FontFace>> faces_;
    std::map<std::u16string, bool> embeddable_;  // by face name, weight and italic
    bool Embeddable(const plat::LOGFONTW& font);
};

void PageTranslator::SetFrame(const plat::RECT& frame, const plat::SIZE& device,
                              const plat::SIZE& mm) {
    frameWidth_ = double(frame.right) - frame.left;
    frameHeight_ = double(frame.bottom) - frame.top;
    if (device.cx > 0 && mm.cx > 0) resX_ = std::floor(device.cx * 25.4 / mm.cx + 0.5);
    if (device.cy > 0 && mm.cy > 0) resY_ = std::floor(device.cy * 25.4 / mm.cy + 0.5);
    if (resX_ <= 0) resX_ = 96;
    if (resY_ <= 0) resY_ = 96;
}

void PageTranslator::SetSheet(const plat::DeviceInfo& device, int32_t widthHmm, int32_t heightHmm) {
    resX_ = device.logPixelsX;
    resY_ = device.logPixelsY;
    frameWidth_ = widthHmm;
    frameHeight_ = heightHmm;
}

// Only TrueType outlines can be subset; a face of another kind (or none) stays a named font,
// as exported text does, rather than failing the document when it is finished.
bool PageTranslator::Embeddable(const plat::LOGFONTW& font) {
    std::u16string key(FaceName(font));
    key += char16_t(font.lfWeight);
    key += char16_t(font.lfItalic);
    auto it = embeddable_.find(key);
    if (it != embeddable_.end()) return it->second;
    plat::LOGFONTW f = font;
    f.lfHeight = -1000;
    const auto face = plat::OpenLogicalFont(plat::ToLogicalFont(f));
    const bool ok = face != nullptr && face->TableBytes(plat::SfntTag("glyf")).has_value() &&
                    face->TableBytes(plat::SfntTag("loca")).has_value();
    embeddable_.emplace(std::move(key), ok);
    return ok;
}

int PageTranslator::PenState(std::string& out) {
    const auto* pen = SelectedPen();
    if (pen == nullptr) return kBadObject;
    if (pen->style & 0x100) {
        out += "2 J 1 j\r";
    } else if (pen->style & 0x200) {
        out += "0 J 1 j\r";
    } else {
        out += "1 J 1 j\r";
    }
    out += PdfFormat("%.3f w\r", LenX(pen->width == 0 ? 1 : pen->width));
    out += Color(pen->color, "RG\r");
    return kOk;
}

bool PageTranslator::BrushColor(plat::COLORREF& color) {
    if (s_.brush < 0) return false;
    const auto& h = s_.handles[size_t(s_.brush)];
    if (h.kind != MetafileGdiState::kBrush) return false;
    const auto& b = s_.brushes[size_t(h.slot)];
    if (b.pattern) {
        const uint64_t total = b.zeros + b.ones;
        if (total == 0) return false;
        auto mix = [&](uint8_t text, uint8_t back) {
            return uint8_t((b.zeros * text + b.ones * back) / total);
        };
        const auto t = L().textColor, k = L().bkColor;
        color =
            plat::Rgb(mix(plat::RedOf(t), plat::RedOf(k)), mix(plat::GreenOf(t), plat::GreenOf(k)),
                      mix(plat::BlueOf(t), plat::BlueOf(k)));
        return true;
    }
    // A hollow brush paints nothing.
    if (b.style == kBsNull || b.style == 4 || b.style > 8) return false;
    color = b.color;
    return true;
}

int PageTranslator::Create(int index, MetafileGdiState::Kind kind, int& slot) {
    if (index < 0 || index >= MetafileGdiState::kHandles) return kBadObject;
    auto& h = s_.handles[size_t(index)];
    if (h.kind != MetafileGdiState::kNone) return kBadObject;
    auto take = [&](auto& table) {
        for (int i = 0; i < MetafileGdiState::kSlots; ++i) {
            if (!table[size_t(i)].used) {
                table[size_t(i)] = {};
                table[size_t(i)].used = true;
                return i;
            }
        }
        return -1;
    };
    slot = kind == MetafileGdiState::kPen     ? take(s_.pens)
           : kind == MetafileGdiState::kBrush ? take(s_.brushes)
                                              : take(s_.fonts);
    if (slot < 0) return kGdiTableFull;
    h.kind = kind;
    h.slot = slot;
    return kOk;
}

int PageTranslator::Free(int index) {
    if (index < 0 || index >= MetafileGdiState::kHandles) return kBadObject;
    auto& h = s_.handles[size_t(index)];
    switch (h.kind) {
        case MetafileGdiState::kPen:
            s_.pens[size_t(h.slot)].used = false;
            if (s_.pen == index) s_.pen = -1;
            break;
        case MetafileGdiState::kBrush:
            s_.brushes[size_t(h.slot)].used = false;
            if (s_.brush == index) s_.brush = -1;
            break;
        case MetafileGdiState::kFont:
            s_.fonts[size_t(h.slot)].used = false;
            if (s_.font == index) s_.font = -1;
            break;
        default:
            return kBadObject;
    }
    h = {};
    return kOk;
}

// Stock objects are made where the metafile's own objects never are, and selected. Pens and
// brushes are all kept: a hollow brush or a null pen selected from the stock must stop fills
// and strokes, not leave the previous object painting.
int PageTranslator::SelectStock(uint32_t number) {
    int index = -1;
    int slot = 0;
    if (number == uint32_t(plat::kBlackPen) || number == uint32_t(plat::kWhitePen) ||
        number == uint32_t(plat::kNullPen)) {
        index = number == uint32_t(plat::kBlackPen)   ? kStockPenIndex
                : number == uint32_t(plat::kWhitePen) ? kStockWhitePenIndex
                                                      : kStockNullPenIndex;
        if (s_.handles[size_t(index)].kind != MetafileGdiState::kNone) Free(index);
        if (int rc = Create(index, MetafileGdiState::kPen, slot); rc != kOk) return rc;
        auto& pen = s_.pens[size_t(slot)];
        pen.style = number == uint32_t(plat::kNullPen) ? kPsNull : 0;
        pen.width = 1;
        pen.color = number == uint32_t(plat::kWhitePen) ? 0xFFFFFF : 0;
        s_.pen = index;
    } else if (number <= uint32_t(plat::kNullBrush)) {
        static constexpr plat::COLORREF kGreys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0};
        index = kStockBrushBase + int(number);
        if (s_.handles[size_t(index)].kind != MetafileGdiState::kNone) Free(index);
        if (int rc = Create(index, MetafileGdiState::kBrush, slot); rc != kOk) return rc;
        auto& brush = s_.brushes[size_t(slot)];
        brush.style = number == uint32_t(plat::kNullBrush) ? kBsNull : 0;
        brush.color = number < 5 ? kGreys[number] : 0;
        s_.brush = index;
    } else if (number == uint32_t(plat::kDeviceDefaultFont)) {
        index = kStockFontIndex;
        if (s_.handles[size_t(index)].kind != MetafileGdiState::kNone) Free(index);
        if (int rc = Create(index, MetafileGdiState::kFont, slot); rc != kOk) return rc;
        auto font = plat::GetLogFont(plat::GetStockObject(plat::kDeviceDefaultFont));
        if (font) s_.fonts[size_t(slot)].font = *font;
        s_.font = index;
    }
    return kOk;
}

// ---------------------------------------------------------------------------------------------
// Lines and paths

int PageTranslator::MoveTo(int32_t x, int32_t y) {
    int rc = kOk;
    if (inPath_ && (!movePending_ || s_.position != plat::POINT{x, y})) {
        rc = Out(Point(x, y, "m\r"));
    }
    s_.position = {x, y};
    movePending_ = true;
    return rc;
}

int PageTranslator::LineTo(int32_t x, int32_t y) {
    int rc = kOk;
    if (inPath_) {
        if (movePending_) rc = Out(Point(s_.position.x, s_.position.y, "m\r"));
        if (rc == kOk) rc = Out(Point(x, y, "l\r"));
    } else if (!NullPen()) {
        // Stroked with the selected pen, not with whatever pen state came last.
        std::string text;
        rc = PenState(text);
        if (rc != kOk) return rc;
        text += Point(s_.position.x, s_.position.y, "m\r");
        text += Point(x, y, "l\r S n\r");
        rc = Out(text);
    }
    s_.position = {x, y};
    movePending_ = false;
    return rc;
}

int PageTranslator::Poly(uint32_t type, std::span<const uint8_t> r) {
    const uint32_t count = U32(r, 24);
    auto pt = [&](uint32_t i) { return plat::POINT{I16(r, 28 + 4 * i), I16(r, 30 + 4 * i)}; };
    std::string text;
    switch (type) {
        case kPolylineTo16:
        case kPolyBezierTo16: {
            if (count == 0) return kOk;
            if (movePending_) text += Point(s_.position.x, s_.position.y, "m\r");
            if (type == kPolylineTo16) {
                for (uint32_t i = 0; i < count; ++i) text += Point(pt(i).x, pt(i).y, "l\r");
                s_.position = pt(count - 1);
            } else {
                const uint32_t whole = count / 3 * 3;
                for (uint32_t i = 0; i < whole; i += 3) {
                    text +=
                        PdfFormat("%.3f %.3f %.3f %.3f %.3f %.3f c\r", X(pt(i).x), Y(pt(i).y),
                                  X(pt(i + 1).x), Y(pt(i + 1).y), X(pt(i + 2).x), Y(pt(i + 2).y));
                }
                if (whole > 0) s_.position = pt(whole - 1);
            }
            movePending_ = false;
            return Out(text);
        }
        case kPolyline16: {
            if (count == 0) return kOk;
            const bool stroke = !inPath_;
            if (stroke) {
                if (NullPen()) return kOk;
                if (int rc = PenState(text); rc != kOk) return rc;
            }
            for (uint32_t i = 0; i < count; ++i)
                text += Point(pt(i).x, pt(i).y, i == 0 ? "m\r" : "l\r");
            if (stroke) text += "S n\r";
            return Out(text);
        }
        case kPolygon16: {
            if (count == 0) return kOk;
            for (uint32_t i = 0; i < count; ++i)
                text += Point(pt(i).x, pt(i).y, i == 0 ? "m\r" : "l\r");
            if (inPath_) return Out(text + "h\r");
            plat::COLORREF fill = 0;
            const bool fills = BrushColor(fill) || (s_.brush < 0);
            const bool strokes = !NullPen();
            if (strokes) {
                if (int rc = PenState(text); rc != kOk) return rc;
            }
            if (fills) text += Color(fill, "rg\r");
            text += strokes && fills ? "h B n\r" : strokes ? "h S n\r" : fills ? "h f n\r" : "n\r";
            return Out(text);
        }
    }
    return kOk;
}

int PageTranslator::PolyPolyline(std::span<const uint8_t> r) {
    const uint32_t polys = U32(r, 24);
    size_t at = 32 + 4 * size_t(polys);
    std::string text;
    for (uint32_t p = 0; p < polys; ++p) {
        const uint32_t n = U32(r, 32 + 4 * p);
        for (uint32_t i = 0; i < n; ++i, at += 4) {
            text += PdfFormat("%.3f %.3f ", X(I16(r, at)), Y(I16(r, at + 2)));
            text += i == 0 ? " m\r" : " l\r";
        }
    }
    if (!inPath_) {
        if (NullPen()) return kOk;
        if (int rc = PenState(text); rc != kOk) return rc;
        text += "S\r";
    }
    return Out(text);
}

int PageTranslator::StrokePath() {
    if (inPath_ || pathEmpty_) return kOk;
    std::string tail;
    if (!NullPen()) {
        if (int rc = PenState(tail); rc != kOk) return rc;
        tail += "S\rQ\r";
    } else {
        tail += "n\rQ\r";
    }
    int rc = w_.path().Write(tail);
    if (rc == kOk) {
        rc = w_.WriteContent(std::string_view(
            reinterpret_cast<const char*>(w_.path().data().data()), w_.path().size()));
    }
    w_.path().Empty();
    pathEmpty_ = true;
    return rc;
}

// ---------------------------------------------------------------------------------------------
// Clipping

std::string PageTranslator::CloseClipGroup() {
    if (!clipGroups_.back()) return {};
    clipGroups_.back() = false;
    return "Q\r";
}

int PageTranslator::Clip(std::span<const uint8_t> r) {
    const uint32_t size = U32(r, 8);
    const int32_t mode = I32(r, 12);
    std::string text;
    const bool whole = size == 0 || size == 0xFFFFFFFFu;
    if (replaceClips_) {
        // A copy replaces the clip before, which goes with its group (no clip at all needs no
        // group); a clip combined with the one before joins its group, or starts one, so that
        // the next copy can take it away too.
        if (mode == plat::kRgnCopy) {
            text = CloseClipGroup();
            if (whole) return w_.WriteContent(text);
        }
        if (!clipGroups_.back()) {
            text += "q\r";
            clipGroups_.back() = true;
        }
    }
    if (whole) {
        text = PdfFormat("%.2f %.2f %.2f %.2f re\r", 0.0, 0.0, frameWidth_ * 72.0 / 2540.0,
                         frameHeight_ * 72.0 / 2540.0);
    } else {
        const uint32_t count = U32(r, 16 + 8);
        auto rect = [&](uint32_t i) {
            const size_t at = 16 + 32 + 16 * size_t(i);
            return plat::RECT{I32(r, at), I32(r, at + 4), I32(r, at + 8), I32(r, at + 12)};
        };
        for (uint32_t i = 0; i < count; ++i) {
            const auto rc = rect(i);
            text += PdfFormat(i == 0 ? "%.3f %.3f m\r%.3f %.3f l\r" : "%.3f %.3f l\r%.3f %.3f l\r",
                              DevX(rc.left), DevY(rc.top), DevX(rc.left), DevY(rc.bottom - 3.0));
        }
        for (uint32_t i = count; i-- > 0;) {
            const auto rc = rect(i);
            text += PdfFormat("%.3f %.3f l\r%.3f %.3f l\r", DevX(rc.right - 3.0),
                              DevY(rc.bottom - 3.0), DevX(rc.right - 3.0), DevY(rc.top));
        }
    }
    if (mode == 1 || mode == 5) {
        text += "h W* n\r";
    } else if (mode >= 2 && mode <= 4) {
        text += "h W n\r";
    }
    // A group's clip belongs to the page whether or not a path is being built.
    return replaceClips_ ? w_.WriteContent(text) : Out(text);
}

// ---------------------------------------------------------------------------------------------
// Text

int PageTranslator::FontIndex(const plat::LOGFONTW& font, bool wide, bool embed, bool eudc,
                              int& index) {
    PdfFontTable& table = fonts_;
    index = table.Find(font, wide, embed, eudc);
    if (index >= 0) return kOk;
    if (int rc = table.Add(font, wide, embed, eudc, index); rc != kOk) return rc;
    uint32_t object = 0;
    if (int rc = w_.Tell(object); rc != kOk) return rc;
    return table.SetObject(index, object);
}

std::shared_ptr<plat::FontFace> PageTranslator::FaceOf(int index) {
    auto it = faces_.find(index);
    if (it != faces_.end()) return it->second;
    std::shared_ptr<plat::FontFace> face;
    if (const auto* e = fonts_.At(index)) {
        plat::LOGFONTW f = e->font;
        f.lfHeight = -1000;
        face = plat::OpenLogicalFont(plat::ToLogicalFont(f));
    }
    faces_[index] = face;
    return face;
}

// The glyph of a code unit in an embedded font, looked up once per font. A code the font lacks
// is drawn as glyph 0, which the ToUnicode map leaves out.
uint16_t PageTranslator::Glyph(int index, char16_t code) {
    auto* e = fonts_.At(index);
    if (e == nullptr) return 0;
    auto it = e->glyphs.find(code);
    if (it != e->glyphs.end()) return it->second;
    uint16_t glyph = 0;
    if (e->eudc) {
        std::u16string_view face = FaceName(e->font);
        if (face.starts_with(u"@")) face.remove_prefix(1);
        if (FindEudcGlyph(face, code, glyph) != kTtfOk) glyph = 0;
    } else if (auto face = FaceOf(index)) {
        if (FindSfntGlyph(face->fileBytes(), face->faceOffset(), code, glyph) != kTtfOk) glyph = 0;
    }
    e->glyphs.emplace(code, glyph);
    return glyph;
}

int PageTranslator::Text(std::span<const uint8_t> r, bool wide) {
    const bool embedAsked = embedNext_;
    // The comment asks for the one text that follows it, whatever becomes of that text.
    embedNext_ = false;
    const int32_t x = I32(r, 36), y = I32(r, 40);
    const uint32_t chars = U32(r, 44), offString = U32(r, 48), options = U32(r, 52);
    const plat::RECT box{I32(r, 56), I32(r, 60), I32(r, 64), I32(r, 68)};
    auto boxText = [&](const char* op) {
        return PdfFormat("%.3f %.3f %.3f %.3f ", X(box.left), Y(box.top),
                         LenX(box.right - box.left), Y(box.bottom) - Y(box.top)) +
               op;
    };
    std::string text;
    if (options & plat::kEtoOpaque) text += Color(L().bkColor, "rg\r") + boxText("re f\r");
    if (chars == 0) return Out(text);

    if (s_.font < 0 || s_.handles[size_t(s_.font)].kind != MetafileGdiState::kFont) {
        return kBadObject;
    }
    plat::LOGFONTW font = s_.fonts[size_t(s_.handles[size_t(s_.font)].slot)].font;
    std::u16string face(FaceName(font));
    if (face.starts_with(u"EUDC ")) {
        face.erase(0, 5);
        SetFaceName(font, face);
    }
    const bool vertical = face.starts_with(u"@");
    const uint8_t charSet = EffectiveCharSet(font.lfCharSet);
    bool embed = embedAsked || charSet == plat::kSymbolCharset;
    if (!embed && embedAll_) embed = Embeddable(font);

    // The characters, each with its run: 0 the font, 1 the horizontal font of a vertical face's
    // single-byte characters, 2 the end-user-defined-character font.
    struct Char {
        char16_t code = 0;  // UTF-16, or the byte or double-byte pair of ANSI text
        bool pair = false;  // ANSI double-byte
        int run = 0;
    };
    std::vector<Char> list;
    std::u16string wideText;
    std::string ansiText;
    if (wide) {
        wideText.resize(chars);
        for (uint32_t i = 0; i < chars; ++i)
            wideText[i] = char16_t(U16(r, offString + 2 * size_t(i)));
        const std::u16string_view eudcFace = vertical ? std::u16string_view(face).substr(1) : face;
        const char16_t unknown = GetUnknownChar();
        for (char16_t c : wideText) {
            Char ch{c, false, vertical && IsSingleByteWide(c) ? 1 : 0};
            if (IsPrivateUse(c)) {
                uint16_t g = 0;
                if (FindEudcGlyph(eudcFace, c, g) == kTtfOk) {
                    ch.run = 2;
                } else if (unknown != 0) {
                    // No end-user-defined-character font, or no glyph in it: the configured
                    // stand-in character; without one, the ordinary font draws what it has.
                    ch.code = unknown;
                }
            }
            list.push_back(ch);
        }
    } else {
        ansiText.assign(reinterpret_cast<const char*>(r.data()) + offString, chars);
        for (size_t i = 0; i < ansiText.size(); ++i) {
            const uint8_t b = uint8_t(ansiText[i]);
            if (IsDoubleByteLead(b) && i + 1 < ansiText.size() &&
                IsDoubleByteTrail(uint8_t(ansiText[i + 1]))) {
                list.push_back({char16_t(b << 8 | uint8_t(ansiText[i + 1])), true, 0});
                ++i;
            } else {
                list.push_back({char16_t(b), false, vertical ? 1 : 0});
            }
        }
    }

    int fontOf[3] = {-1, -1, -1};
    for (const Char& ch : list) {
        int& index = fontOf[ch.run];
        if (index >= 0) continue;
        plat::LOGFONTW f = font;
        if (ch.run == 1) SetFaceName(f, std::u16string_view(face).substr(1));
        if (int rc = FontIndex(f, wide, ch.run == 2 || embed, ch.run == 2, index); rc != kOk) {
            return rc;
        }
    }
    // What an embedded font draws must be in its subset.
    for (int run = 0; run < 3; ++run) {
        const auto* e = fonts_.At(fontOf[run]);
        if (e == nullptr || !e->embed) continue;
        if (wide) {
            std::u16string used;
            for (const Char& ch : list) {
                if (ch.run != run) continue;
                used += ch.code;
                // 0x5C is drawn with the yen sign's glyph in these fonts.
                if (ch.code == 0x5C && charSet != plat::kAnsiCharset) used += char16_t(0xA5);
            }
            fonts_.MarkWide(fontOf[run], used);
        } else {
            std::string used;
            for (const Char& ch : list) {
                if (ch.run != run) continue;
                if (ch.pair) used += char(ch.code >> 8);
                used += char(ch.code & 0xFF);
            }
            if (int rc = fonts_.MarkAnsi(fontOf[run], used); rc != kOk) return rc;
        }
    }

    // Size by the em, baseline at the ascent (measured at an em of 1000).
    const auto* main = fonts_.At(fontOf[list.front().run]);
    const plat::OutlineMetrics& m = main->metrics;
    double em = font.lfHeight < 0 ? -double(font.lfHeight)
                : font.lfHeight > 0
                    ? font.lfHeight * 1000.0 / std::max(1, m.text.ascent + m.text.descent)
                    : 12.0;
    const double size = std::fabs(LenY(em));
    const double a = em * m.text.ascent / 1000.0;
    const double theta = font.lfEscapement / 10.0 * std::numbers::pi / 180.0;
    double cosT = std::cos(theta), sinT = std::sin(theta);
    double ox = x + std::lround(a * sinT), oy = y + std::lround(a * cosT);
    if (vertical) {
        double degrees = font.lfEscapement / 10.0 + 90.0;
        if (degrees >= 360.0) degrees = 0;
        const double t2 = degrees * std::numbers::pi / 180.0;
        const double c2 = std::cos(t2), s2 = std::sin(t2);
        if (list.front().run != 1) {
            const double half = em * m.text.maxCharWidth / 1000.0 / 2.0;
            ox = x - std::lround(c2 * half);
            oy = y + std::lround(half * s2);
            cosT = c2;
            sinT = s2;
        } else {
            ox = x - std::lround(a * c2);
            oy = y + std::lround(a * s2);
        }
    }

    text += "BT\r" + Color(L().textColor, "rg\r");
    int current = -1;
    for (const Char& ch : list) {
        const int index = fontOf[ch.run];
        if (index != current) {
            if (current >= 0) text += "> Tj\r";
            text += PdfFormat("/F%04d %.3f Tf\r", index, size);
            if (current < 0) {
                text += PdfFormat("%.3f %.3f %.3f %.3f %.3f %.3f Tm\r0 Tc 0 Tw ", cosT, sinT, -sinT,
                                  cosT, X(ox), Y(oy));
            }
            text += "<";
            current = index;
        }
        const auto* e = fonts_.At(index);
        const bool simple = EffectiveCharSet(e->font.lfCharSet) == plat::kAnsiCharset;
        if (!wide) {
            text += PdfFormat(ch.pair ? "%04X" : "%02X", unsigned(ch.code));
        } else if (simple) {
            text += PdfFormat("%02X", unsigned(Cp1252Code(ch.code)));
        } else {
            const char16_t code = ch.code == 0x5C ? char16_t(0xA5) : ch.code;
            text += PdfFormat("%04X", unsigned(e->embed ? Glyph(index, code) : code));
        }
    }
    text += "> Tj\rET\r";
    // Clipped text keeps its clip to itself.
    if (options & plat::kEtoClipped) text = "q\r" + boxText("re h W n\r") + text + "Q\r";
    return Out(text);
}

// ---------------------------------------------------------------------------------------------
// Bitmaps and brushes

int PageTranslator::Image(std::span<const uint8_t> r) {
    const int32_t xDest = I32(r, 24), yDest = I32(r, 28);
    const int32_t srcWidth = I32(r, 40), srcHeight = I32(r, 44);
    const uint32_t offBmi = U32(r, 48), cbBmi = U32(r, 52), offBits = U32(r, 56),
                   cbBits = U32(r, 60);
    const int32_t destWidth = I32(r, 72), destHeight = I32(r, 76);
    PdfImage image;
    auto& h = image.header;
    h.biSize = U32(r, offBmi);
    h.biWidth = I32(r, offBmi + 4);
    h.biHeight = I32(r, offBmi + 8);
    h.biBitCount = U16(r, offBmi + 14);
    h.biCompression = U32(r, offBmi + 16);
    h.biClrUsed = U32(r, offBmi + 32);
    if (h.biCompression != 0 || h.biWidth <= 0 || h.biHeight == INT32_MIN ||
        (h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8 && h.biBitCount != 24)) {
        return kImageDepth;
    }
    std::vector<plat::RGBQUAD> colors;
    if (h.biBitCount <= 8) {
        const uint32_t full = 1u << h.biBitCount;
        uint32_t count = h.biClrUsed != 0 ? std::min(h.biClrUsed, full) : full;
        count = std::min<uint32_t>(count, (cbBmi - h.biSize) / 4);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = offBmi + h.biSize + 4 * size_t(i);
            colors.push_back({r[at], r[at + 1], r[at + 2], 0});
        }
    }
    image.colors = colors;
    image.bits = r.subspan(offBits, cbBits);
    int number = 0;
    if (int rc = w_.WriteImage(image, number); rc != kOk) return rc;
    double width = destWidth, height = destHeight;
    if (srcWidth > 0 && srcHeight != 0 && srcWidth < h.biWidth) {
        width = double(h.biWidth) * destWidth / srcWidth;
        height = std::fabs(double(h.biHeight)) * destHeight / srcHeight;
    }
    // The image's matrix stays with the image.
    return Out(PdfFormat("q\r%.3f 0 0 %.3f %.3f %.3f cm\r/im%d Do\rQ\r", LenX(width), -LenY(height),
                         X(xDest), Y(yDest), number));
}

int PageTranslator::PatternCopy(std::span<const uint8_t> r) {
    if (U32(r, 40) != plat::kRopPatCopy) return kOk;
    plat::COLORREF color = 0;
    if (!BrushColor(color)) return kOk;
    const int32_t x = I32(r, 24), y = I32(r, 28), cx = I32(r, 32), cy = I32(r, 36);
    return Out(Color(color, "rg\r") +
               PdfFormat("%.2f %.2f %.2f %.2f re f\r", X(x), Y(y) - LenY(cy), LenX(cx), LenY(cy)));
}

int PageTranslator::MonoBrush(std::span<const uint8_t> r) {
    const uint32_t usage = U32(r, 12), offBmi = U32(r, 16), offBits = U32(r, 24),
                   cbBits = U32(r, 28);
    const int32_t width = I32(r, offBmi + 4), height = I32(r, offBmi + 8);
    if (U16(r, offBmi + 14) != 1 || usage == plat::kDibPalColors || width < 0) return kMonoBrush;
    const uint64_t stride = (uint64_t(width) + 31) / 32 * 4;
    const uint64_t rows = height < 0 ? -int64_t(height) : height;
    uint64_t ones = 0, zeros = 0;
    for (uint64_t y = 0; y < rows && (y + 1) * stride <= cbBits; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t byte = r[offBits + size_t(y * stride) + size_t(x / 8)];
            ((byte >> (7 - x % 8)) & 1) ? ++ones : ++zeros;
        }
    }
    int slot = 0;
    if (int rc = Create(I32(r, 8), MetafileGdiState::kBrush, slot); rc != kOk) return rc;
    auto& b = s_.brushes[size_t(slot)];
    b.pattern = true;
    b.style = 3;
    b.zeros = zeros;
    b.ones = ones;
    return kOk;
}

// ---------------------------------------------------------------------------------------------

int PageTranslator::Translate(uint32_t type, std::span<const uint8_t> r) {
    auto& l = L();
    switch (type) {
        case kHeader: {
            int rc = SelectStock(uint32_t(plat::kDeviceDefaultFont));
            return rc == kOk ? SelectStock(uint32_t(plat::kBlackPen)) : rc;
        }
        case kSetWindowExt:
            // A zero extent is refused by GDI and would divide by zero here.
            if (I32(r, 8) != 0 && I32(r, 12) != 0) l.windowExt = {I32(r, 8), I32(r, 12)};
            return kOk;
        case kSetWindowOrg:
            l.windowOrg = {
                int32_t(std::lround(double(l.viewportExt.cx) / l.windowExt.cx * I32(r, 8))),
                int32_t(std::lround(double(l.viewportExt.cy) / l.windowExt.cy * I32(r, 12)))};
            return kOk;
        case kSetViewportExt:
            if (I32(r, 8) != 0 && I32(r, 12) != 0) l.viewportExt = {I32(r, 8), I32(r, 12)};
            return kOk;
        case kSetViewportOrg:
            l.viewportOrg = {I32(r, 8), I32(r, 12)};
            return kOk;
        case kSetTextColor:
            l.textColor = U32(r, 8);
            return kOk;
        case kSetBkColor:
            l.bkColor = U32(r, 8);
            return kOk;
        case kMoveTo:
            return MoveTo(I32(r, 8), I32(r, 12));
        case kScaleViewportExt: {
            const int32_t xn = I32(r, 8), xd = I32(r, 12), yn = I32(r, 16), yd = I32(r, 20);
            if (xd == 0 || yd == 0) return kOk;
            const int64_t cx = int64_t(xn) * l.viewportExt.cx / xd;
            const int64_t cy = int64_t(yn) * l.viewportExt.cy / yd;
            if (cx != 0 && cy != 0 && cx == int32_t(cx) && cy == int32_t(cy)) {
                l.viewportExt = {int32_t(cx), int32_t(cy)};
            }
            return kOk;
        }
        case kSaveDc: {
            if (s_.levels.size() >= size_t(MetafileGdiState::kLevels - 1)) return kSaveDepth;
            const int rc = w_.WriteContent("q\r");
            s_.levels.push_back(s_.levels.back());
            clipGroups_.push_back(false);
            return rc;
        }
        case kRestoreDc: {
            const int32_t n = I32(r, 8);
            const size_t level = s_.levels.size() - 1;
            size_t pops = 0;
            if (n < 0) {
                pops = std::min<size_t>(size_t(-int64_t(n)), level);
            } else if (n > 0 && level >= size_t(n)) {
                // An absolute level names the SaveDC whose state comes back: depth n - 1.
                pops = level - size_t(n) + 1;
            }
            std::string text;
            for (size_t i = 0; i < pops; ++i) {
                text += CloseClipGroup();
                s_.levels.pop_back();
                clipGroups_.pop_back();
                text += "Q\r";
            }
            return w_.WriteContent(text);
        }
        case kSelectObject: {
            const uint32_t index = U32(r, 8);
            if (index & plat::kEmfStockBit) return SelectStock(index & ~plat::kEmfStockBit);
            if (index >= uint32_t(MetafileGdiState::kHandles)) return kBadObject;
            const auto& h = s_.handles[index];
            if (h.kind == MetafileGdiState::kPen) {
                s_.pen = int(index);
            } else if (h.kind == MetafileGdiState::kBrush) {
                s_.brush = int(index);
            } else if (h.kind == MetafileGdiState::kFont) {
                s_.font = int(index);
            } else {
                return kBadObject;
            }
            return kOk;
        }
        case kCreatePen:
        case kExtCreatePen: {
            int slot = 0;
            if (int rc = Create(I32(r, 8), MetafileGdiState::kPen, slot); rc != kOk) return rc;
            auto& p = s_.pens[size_t(slot)];
            if (type == kCreatePen) {
                p.style = U32(r, 12);
                p.width = U32(r, 16);
                p.color = U32(r, 24);
            } else {
                p.style = U32(r, 28);
                p.width = U32(r, 32);
                p.brushStyle = U32(r, 36);
                p.color = U32(r, 40);
                p.hatch = U32(r, 44);
                p.entries = U32(r, 48);
                p.firstEntry = p.entries > 0 ? U32(r, 52) : 0;
            }
            return kOk;
        }
        case kCreateBrush: {
            int slot = 0;
            if (int rc = Create(I32(r, 8), MetafileGdiState::kBrush, slot); rc != kOk) return rc;
            auto& b = s_.brushes[size_t(slot)];
            b.style = U32(r, 12);
            b.color = U32(r, 16);
            b.hatch = U32(r, 20);
            return kOk;
        }
        case kCreateFont: {
            int slot = 0;
            if (int rc = Create(I32(r, 8), MetafileGdiState::kFont, slot); rc != kOk) return rc;
            auto& f = s_.fonts[size_t(slot)].font;
            f.lfHeight = I32(r, 12);
            f.lfWidth = I32(r, 16);
            f.lfEscapement = I32(r, 20);
            f.lfOrientation = I32(r, 24);
            f.lfWeight = I32(r, 28);
            f.lfItalic = r[32];
            f.lfUnderline = r[33];
            f.lfStrikeOut = r[34];
            f.lfCharSet = r[35];
            f.lfOutPrecision = r[36];
            f.lfClipPrecision = r[37];
            f.lfQuality = r[38];
            f.lfPitchAndFamily = r[39];
            for (size_t i = 0; i < 32; ++i) f.lfFaceName[i] = char16_t(U16(r, 40 + 2 * i));
            f.lfFaceName[31] = 0;
            return kOk;
        }
        case kDeleteObject: {
            const uint32_t index = U32(r, 8);
            if (index & plat::kEmfStockBit) return kOk;
            return Free(int(std::min<uint32_t>(index, uint32_t(MetafileGdiState::kHandles))));
        }
        case kLineTo:
            return LineTo(I32(r, 8), I32(r, 12));
        case kBeginPath: {
            w_.path().Empty();
            inPath_ = true;
            pathEmpty_ = true;
            return w_.path().Write("q\r");
        }
        case kEndPath:
            inPath_ = false;
            return kOk;
        case kCloseFigure:
            return inPath_ ? Out("h\r") : kOk;
        case kStrokePath:
            return StrokePath();
        case kAbortPath:
            if (inPath_) {
                inPath_ = false;
                w_.path().Empty();
                pathEmpty_ = true;
            }
            return kOk;
        case kComment: {
            const auto data = r.subspan(12, U32(r, 8));
            if (std::string_view(reinterpret_cast<const char*>(data.data()), data.size()) ==
                kEmbedComment) {
                embedNext_ = true;
            }
            return kOk;
        }
        case kSelectClip:
            return Clip(r);
        case kBitBlt:
            return PatternCopy(r);
        case kStretchDib:
            return Image(r);
        case kTextA:
        case kTextW:
            return Text(r, type == kTextW);
        case kPolygon16:
        case kPolyline16:
        case kPolyBezierTo16:
        case kPolylineTo16:
            return Poly(type, r);
        case kPolyPolyline16:
            return PolyPolyline(r);
        case kCreateMonoBrush:
            return MonoBrush(r);
        default:
            return kOk;
    }
}

int PageTranslator::CloseLevels() {
    std::string text;
    while (s_.levels.size() > 1) {
        text += CloseClipGroup();
        s_.levels.pop_back();
        clipGroups_.pop_back();
        text += "Q\r";
    }
    text += CloseClipGroup();
    return w_.WriteContent(text);
}

// The records of a metafile that passes the drawing layer's checks of the whole file and ours of
// the fields each translated record is read at.
bool SplitRecords(std::span<const uint8_t> file,
                  std::vector<std::pair<uint32_t, std::span<const uint8_t>>>& records) {
    bool sound = true;
    const bool read = plat::EnumEnhMetaFile(file, [&](const plat::EmfRecord& record) {
        if (!CheckRecord(record.type, record.bytes)) {
            sound = false;
            return false;
        }
        records.emplace_back(record.type, record.bytes);
        return true;
    });
    return read && sound;
}

// One page through the translator; a printer's page is placed on its sheet first.
int TranslatePage(PdfFileWriter& writer, PdfFontTable& fonts, std::span<const uint8_t> metafile,
                  int32_t widthHmm, int32_t heightHmm, const plat::DeviceInfo* sheet) {
    if (writer.pageCount() >= kPdfMaxPages) return kPageLimit;
    std::vector<std::pair<uint32_t, std::span<const uint8_t>>> records;
    if (!SplitRecords(metafile, records)) return kBadMetafile;
    std::unique_ptr<MetafileGdiState> state;
    try {
        state = std::make_unique<MetafileGdiState>();
    } catch (const std::bad_alloc&) {
        return kGdiState;
    }
    if (int rc = writer.BeginPage(); rc != kOk) return rc;
    // Each page is a new device context: objects, levels and flags start afresh.
    PageTranslator page(writer, fonts, *state);
    plat::EmfHeader header;
    if (!plat::ReadEmfHeader(metafile, &header)) return kBadMetafile;
    if (sheet != nullptr) {
        page.SetSheet(*sheet, widthHmm, heightHmm);
        page.EmbedAllFonts(true);
        page.ReplaceClips(true);
        // The device's (0, 0) is the corner of the printable area, and nothing is printed
        // outside that area, as on the printer itself.
        const double ox = sheet->physicalOffsetX * 72.0 / sheet->logPixelsX;
        const double oy = sheet->physicalOffsetY * 72.0 / sheet->logPixelsY;
        const double w = sheet->horzRes * 72.0 / sheet->logPixelsX;
        const double h = sheet->vertRes * 72.0 / sheet->logPixelsY;
        const double top = heightHmm * 72.0 / 2540.0;
        const std::string place = PdfFormat("q\r1 0 0 1 %.3f %.3f cm\r%.3f %.3f %.3f %.3f re W n\r",
                                            ox, -oy, 0.0, top - h, w, h);
        if (int rc = writer.WriteContent(place); rc != kOk) return rc;
    } else {
        page.SetFrame(header.frame, header.device, header.millimeters);
    }
    for (const auto& [type, record] : records) {
        if (int rc = page.Translate(type, record); rc != kOk) return rc;
    }
    if (int rc = page.CloseLevels(); rc != kOk) return rc;
    if (sheet != nullptr) {
        if (int rc = writer.WriteContent("Q\r"); rc != kOk) return rc;
    }
    return writer.FinishPage(widthHmm, heightHmm, fonts);
}

}  // namespace

int ConvertMetafilePage(PdfFileWriter& writer, PdfFontTable& fonts,
                        std::span<const uint8_t> metafile, int32_t widthHmm, int32_t heightHmm) {
    return TranslatePage(writer, fonts, metafile, widthHmm, heightHmm, nullptr);
}

int ConvertPrinterPage(PdfFileWriter& writer, PdfFontTable& fonts,
                       std::span<const uint8_t> metafile, const plat::DeviceInfo& device,
                       int32_t sheetWidth, int32_t sheetHeight) {
    if (device.logPixelsX <= 0 || device.logPixelsY <= 0 || device.physicalWidth <= 0 ||
        device.physicalHeight <= 0) {
        return kBadMetafile;
    }
    if (sheetWidth <= 0 || sheetHeight <= 0) {
        sheetWidth =
            static_cast<int32_t>(std::lround(device.physicalWidth * 2540.0 / device.logPixelsX));
        sheetHeight =
            static_cast<int32_t>(std::lround(device.physicalHeight * 2540.0 / device.logPixelsY));
    }
    return TranslatePage(writer, fonts, metafile, sheetWidth, sheetHeight, &device);
}

}  // namespace kp
