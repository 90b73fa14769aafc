#include "platform/gdi/qpainter_dc.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

#include "platform/fonts/sfnt.h"

namespace plat {

namespace {

QColor ToQColor(COLORREF c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

// Rectangles of regions come straight from files: clamp before taking a width.
constexpr int32_t kLimit = 1 << 27;

int32_t ClampLimit(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, -kLimit, kLimit));
}

QRect ToQRect(const RECT& r) {
    auto c = [](int32_t v) { return ClampLimit(v); };
    return QRect(c(r.left), c(r.top), c(r.right) - c(r.left), c(r.bottom) - c(r.top));
}

QPainterPath ToQPath(const DevicePath& path) {
    QPainterPath q;
    q.setFillRule(Qt::OddEvenFill);  // GDI's alternate filling
    for (const auto& f : path.figures) {
        q.moveTo(f.start.x, f.start.y);
        size_t at = 0;
        for (DevicePath::Segment s : f.segments) {
            if (s == DevicePath::Segment::kLine) {
                if (at >= f.points.size()) break;
                q.lineTo(f.points[at].x, f.points[at].y);
                at += 1;
            } else {
                if (at + 3 > f.points.size()) break;
                q.cubicTo(f.points[at].x, f.points[at].y, f.points[at + 1].x, f.points[at + 1].y,
                          f.points[at + 2].x, f.points[at + 2].y);
                at += 3;
            }
        }
        if (f.closed) q.closeSubpath();
    }
    return q;
}

class PathSink final : public OutlineSink {
  public:
    explicit PathSink(QPainterPath* path) : path_(path) {}
    void MoveTo(double x, double y) override { path_->moveTo(x, y); }
    void LineTo(double x, double y) override { path_->lineTo(x, y); }
    void QuadTo(double cx, double cy, double x, double y) override { path_->quadTo(cx, cy, x, y); }
    void CubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) override {
        path_->cubicTo(c1x, c1y, c2x, c2y, x, y);
    }

  private:
    QPainterPath* path_;
};

// Window text is drawn glyph by glyph from images made once per face, height, character and
// colour: filling every outline anew on each paint costs a dense page tens of milliseconds.
// Text sits at whole pixels on the window (integer origins and ascent, no rotation), so an image
// filled with the same antialiased outline at the same place within its pixel covers exactly
// the pixels, and with the same weights, that filling the outline in place would.
class GlyphImageCache {
  public:
    struct Glyph {
        QImage image;         // premultiplied, in the colour; null when the glyph has no ink
        QPoint offset;        // of the image's corner from the character cell's corner
        bool loaded = false;  // false: the face could not give the outline
    };

    // The glyph of ch, made on first use (the image is shared, not copied).
    Glyph Get(const std::shared_ptr<const FontFace>& face, int32_t height, int32_t ascent,
              char32_t ch, QRgb colour) {
        std::lock_guard guard(lock_);
        FaceGlyphs& glyphs = faces_[face.get()];
        // A face freed and another made at the same address must not find the old one's glyphs.
        if (glyphs.face.owner_before(face) || face.owner_before(glyphs.face)) {
            bytes_ -= glyphs.bytes;
            glyphs = FaceGlyphs{};
            glyphs.face = face;
        }
        const Key key{height, ascent, ch, colour};
        if (auto it = glyphs.glyphs.find(key); it != glyphs.glyphs.end()) return it->second;
        if (bytes_ > kMaxBytes) {
            // Reports use a handful of faces and sizes: a cache this full has seen zooms come
            // and go, and starts again rather than keeping books on every glyph.
            faces_.clear();
            bytes_ = 0;
            FaceGlyphs& fresh = faces_[face.get()];
            fresh.face = face;
            return Insert(fresh, key, Make(*face, key));
        }
        return Insert(glyphs, key, Make(*face, key));
    }

  private:
    // 16 MB holds every glyph of a few sizes of a Japanese face's characters on a page.
    static constexpr size_t kMaxBytes = size_t{16} << 20;

    struct Key {
        int32_t height;
        int32_t ascent;
        char32_t ch;
        QRgb colour;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            size_t h = std::hash<int64_t>()(int64_t{k.height} << 32 | uint32_t(k.ascent));
            h ^= std::hash<uint64_t>()(uint64_t{k.ch} << 32 | k.colour) + 0x9E3779B97F4A7C15ULL +
                 (h << 6) + (h >> 2);
            return h;
        }
    };
    struct FaceGlyphs {
        std::weak_ptr<const FontFace> face;
        std::unordered_map<Key, Glyph, KeyHash> glyphs;
        size_t bytes = 0;
    };

    const Glyph& Insert(FaceGlyphs& glyphs, const Key& key, Glyph glyph) {
        const size_t size = size_t(glyph.image.sizeInBytes()) + sizeof(Glyph) + sizeof(Key);
        glyphs.bytes += size;
        bytes_ += size;
        return glyphs.glyphs.emplace(key, std::move(glyph)).first->second;
    }

    static Glyph Make(const FontFace& face, const Key& key) {
        Glyph glyph;
        QPainterPath outline;
        outline.setFillRule(Qt::WindingFill);
        PathSink sink(&outline);
        if (!face.GlyphOutline(key.ch, key.height, sink)) return glyph;
        glyph.loaded = true;
        outline.translate(0, key.ascent);
        const QRectF bounds = outline.boundingRect();
        if (outline.isEmpty() || bounds.isEmpty()) return glyph;
        // A pixel of margin on every side takes the antialiased edge.
        const int left = int(std::floor(bounds.left())) - 1;
        const int top = int(std::floor(bounds.top())) - 1;
        const int right = int(std::ceil(bounds.right())) + 1;
        const int bottom = int(std::ceil(bounds.bottom())) + 1;
        QImage image(right - left, bottom - top, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) return glyph;
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.translate(-left, -top);
            painter.fillPath(outline, QColor::fromRgb(key.colour));
        }
        glyph.image = std::move(image);
        glyph.offset = QPoint(left, top);
        return glyph;
    }

    std::mutex lock_;
    std::unordered_map<const FontFace*, FaceGlyphs> faces_;
    size_t bytes_ = 0;
};

GlyphImageCache& Glyphs() {
    static GlyphImageCache* cache = new GlyphImageCache;  // lives as long as the process
    return *cache;
}

// Past this height a glyph's image would cost more memory than its outline costs time.
constexpr int32_t kMaxCachedHeight = 256;

Qt::BrushStyle HatchStyle(uint32_t hatch) {
    switch (hatch) {
        case kHsHorizontal:
            return Qt::HorPattern;
        case kHsVertical:
            return Qt::VerPattern;
        case kHsFDiagonal:
            return Qt::FDiagPattern;
        case kHsBDiagonal:
            return Qt::BDiagPattern;
        case kHsCross:
            return Qt::CrossPattern;
        default:
            return Qt::DiagCrossPattern;
    }
}

}  // namespace

QPainterDc::QPainterDc(QPaintDevice* device, int32_t dpi, int32_t technology)
    : DeviceContext(DeviceInfo::ForPixels(device->width(), device->height(), dpi, technology)),
      painter_(std::make_unique<QPainter>(device)),
      // On a window the glyphs are smoothed: a sheet at 50 % is unreadable in hard pixels. Images,
      // printer pages and files keep the hard edges that GDI draws and the tests count.
      smoothText_(device->devType() == QInternal::Widget) {
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
}

QPainterDc::QPainterDc(const DeviceInfo& device) : DeviceContext(device) {}

QPainterDc::~QPainterDc() {
    if (painter_) painter_->end();
}

void QPainterDc::AttachPainter(std::unique_ptr<QPainter> painter) {
    painter_ = std::move(painter);
    if (painter_) {
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
}

std::unique_ptr<QPainter> QPainterDc::DetachPainter() {
    return std::move(painter_);
}

void QPainterDc::ApplyClip() {
    const auto& clip = state().clip;
    if (!clip) {
        if (surfaceClip_) {
            painter_->setClipRect(*surfaceClip_);
        } else {
            painter_->setClipping(false);
        }
        return;
    }
    QRegion region;
    for (const RECT& r : clip->rects()) region += ToQRect(r);
    if (surfaceClip_) region &= QRegion(*surfaceClip_);
    painter_->setClipRegion(region);
}

// Opaque background fills the gaps of dashed pens and hatches, as GDI's background mode does.
void QPainterDc::ApplyBackground() {
    painter_->setBackgroundMode(state().bkMode == kOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_->setBackground(QBrush(ToQColor(state().bkColor)));
}

void QPainterDc::StrokeDevicePath(const DevicePath& path) {
    if (!painter_) return;
    const PenState& p = state().pen;
    if (p.extended && p.brushStyle == kBsNull) return;
    ApplyClip();
    ApplyBackground();
    const double width = p.width * std::fabs(ScaleX());
    QPen pen(ToQColor(p.color));
    const bool thin = width <= 1.0;
    if (thin) {
        // One device pixel: a cosmetic line without its last pixel's cap, as GDI draws it.
        pen.setWidth(0);
        pen.setCapStyle(Qt::FlatCap);
        static const QList<qreal> kDash{18, 6}, kDot{3, 3}, kDashDot{9, 6, 3, 6},
            kDashDotDot{9, 3, 3, 3, 3, 3};
        switch (p.style & kPsStyleMask) {
            case kPsDash:
                pen.setDashPattern(kDash);
                break;
            case kPsDot:
                pen.setDashPattern(kDot);
                break;
            case kPsDashDot:
                pen.setDashPattern(kDashDot);
                break;
            case kPsDashDotDot:
                pen.setDashPattern(kDashDotDot);
                break;
            default:
                break;
        }
    } else {
        pen.setWidthF(std::round(width));
        // Wide pens are geometric: their cap and join bits count (round by default).
        switch (p.style & kPsEndCapMask) {
            case kPsEndCapSquare:
                pen.setCapStyle(Qt::SquareCap);
                break;
            case kPsEndCapFlat:
                pen.setCapStyle(Qt::FlatCap);
                break;
            default:
                pen.setCapStyle(Qt::RoundCap);
                break;
        }
        switch (p.style & kPsJoinMask) {
            case kPsJoinBevel:
                pen.setJoinStyle(Qt::BevelJoin);
                break;
            case kPsJoinMiter:
                pen.setJoinStyle(Qt::MiterJoin);
                break;
            default:
                pen.setJoinStyle(Qt::RoundJoin);
                break;
        }
    }
    painter_->setPen(pen);
    painter_->setBrush(Qt::NoBrush);
    painter_->drawPath(ToQPath(path));
}

void QPainterDc::FillDevicePath(const DevicePath& path, const BrushState& brush) {
    if (!painter_) return;
    ApplyClip();
    ApplyBackground();
    QBrush b;
    if (brush.style == kBsPattern) {
        // 0 bits in the text colour, 1 bits in the background colour.
        const int32_t rows = std::abs(brush.patternHeight);
        QImage image(brush.patternWidth, rows, QImage::Format_RGB32);
        for (int32_t y = 0; y < rows; ++y) {
            for (int32_t x = 0; x < brush.patternWidth; ++x) {
                const COLORREF c = brush.PatternBit(x, y) ? state().bkColor : state().textColor;
                image.setPixel(x, y, ToQColor(c).rgb());
            }
        }
        b = QBrush(image);
    } else if (brush.style == kBsHatched) {
        b = QBrush(ToQColor(brush.color), HatchStyle(brush.hatch));
    } else {
        b = QBrush(ToQColor(brush.color));
    }
    painter_->fillPath(ToQPath(path), b);
}

void QPainterDc::FillDeviceRect(const RECT& rect, const BrushState& brush, uint32_t rop) {
    if (!painter_) return;
    if (rop == kRopBlackness || rop == kRopWhiteness) {
        ApplyClip();
        painter_->fillRect(ToQRect(rect), rop == kRopBlackness ? Qt::black : Qt::white);
        return;
    }
    DevicePath path;
    DevicePath::Figure f;
    f.start = {rect.left, rect.top};
    f.segments.assign(3, DevicePath::Segment::kLine);
    f.points = {{rect.right, rect.top}, {rect.right, rect.bottom}, {rect.left, rect.bottom}};
    f.closed = true;
    path.figures.push_back(f);
    FillDevicePath(path, brush);
}

void QPainterDc::DrawDeviceText(const DeviceText& text) {
    if (!painter_) return;
    ApplyClip();
    if (text.rect && (text.options & kEtoClipped)) {
        painter_->setClipRect(ToQRect(*text.rect),
                              state().clip ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    if (text.rect && (text.options & kEtoOpaque)) {
        painter_->fillRect(ToQRect(*text.rect), ToQColor(state().bkColor));
    }
    // Heights beyond any page are not drawn: their outlines would only cost time.
    constexpr int32_t kMaxHeight = 16384;
    const int32_t height = text.font.lfHeight;
    if (text.text.empty() || !text.face || height > kMaxHeight || height < -kMaxHeight) return;
    if (state().bkMode == kOpaque && !(text.options & kEtoOpaque) && text.angle == 0) {
        // Opaque background behind the character cells.
        const FontMetrics m = text.face->Metrics(height);
        const POINT first = text.origins.front();
        const POINT last = text.origins.back();
        const int64_t lastWidth = text.face->CharWidth(text.text.back(), height);
        painter_->fillRect(ToQRect({first.x, first.y, ClampLimit(last.x + lastWidth),
                                    ClampLimit(int64_t{first.y} + m.height)}),
                           ToQColor(state().bkColor));
    }
    PaintGlyphs(text, height);
    // Underline and strikeout where the face puts them (post and OS/2 tables), across the
    // whole run.
    const LOGFONTW& f = text.font;
    if (f.lfUnderline || f.lfStrikeOut) {
        const FontMetrics m = text.face->Metrics(height);
        const double scale = double(m.height - m.internalLeading) / text.face->unitsPerEm();
        auto field = [&](const char(&tag)[5], size_t at) -> std::optional<int16_t> {
            auto table = text.face->TableBytes(SfntTag(tag));
            if (!table || table->size() < at + 2) return std::nullopt;
            return static_cast<int16_t>((*table)[at] << 8 | (*table)[at + 1]);
        };
        const POINT first = text.origins.front();
        const POINT last = text.origins.back();
        const double length = std::hypot(double(last.x) - first.x, double(last.y) - first.y) +
                              text.face->CharWidth(text.text.back(), height);
        QTransform t;
        t.translate(first.x, first.y);
        t.rotate(-text.angle);
        auto line = [&](double position, double thickness) {
            const double size = std::max(1.0, std::round(thickness * scale));
            const double y = std::round(text.ascent - position * scale - size / 2);
            QPainterPath bar;
            bar.addRect(0, y, std::round(length), size);
            painter_->fillPath(t.map(bar), ToQColor(state().textColor));
        };
        if (f.lfUnderline) {
            line(field("post", 8).value_or(-text.face->unitsPerEm() / 10),
                 field("post", 10).value_or(text.face->unitsPerEm() / 20));
        }
        if (f.lfStrikeOut) {
            line(field("OS/2", 28).value_or(text.face->unitsPerEm() / 4),
                 field("OS/2", 26).value_or(text.face->unitsPerEm() / 20));
        }
    }
}

// The character at i of UTF-16 text; i is left on its last unit (a surrogate pair is one).
static char32_t NextCharacter(std::u16string_view text, size_t& i) {
    char32_t ch = text[i];
    if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
        ch = 0x10000 + ((ch - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        ++i;
    }
    return ch;
}

// Window text at whole pixels without rotation comes from the glyph images; anything else (and
// every other device) fills the outlines.
bool QPainterDc::PaintCachedGlyphs(const DeviceText& text, int32_t height) {
    if (!smoothText_ || text.angle != 0 || height > kMaxCachedHeight ||
        height < -kMaxCachedHeight) {
        return false;
    }
    const QTransform& device = painter_->deviceTransform();
    if (device.type() > QTransform::TxTranslate || device.dx() != std::floor(device.dx()) ||
        device.dy() != std::floor(device.dy())) {
        return false;
    }
    const QRgb colour = ToQColor(state().textColor).rgb();
    GlyphImageCache& cache = Glyphs();
    for (size_t i = 0; i < text.text.size(); ++i) {
        const size_t at = i;
        const char32_t ch = NextCharacter(text.text, i);
        const GlyphImageCache::Glyph glyph = cache.Get(text.face, height, text.ascent, ch, colour);
        if (glyph.image.isNull()) continue;
        painter_->drawImage(QPoint(text.origins[at].x, text.origins[at].y) + glyph.offset,
                            glyph.image);
    }
    return true;
}

void QPainterDc::PaintGlyphs(const DeviceText& text, int32_t height) {
    if (PaintCachedGlyphs(text, height)) return;
    QPainterPath glyphs;
    glyphs.setFillRule(Qt::WindingFill);
    for (size_t i = 0; i < text.text.size(); ++i) {
        const size_t at = i;
        const char32_t ch = NextCharacter(text.text, i);
        QPainterPath outline;
        PathSink sink(&outline);
        if (!text.face->GlyphOutline(ch, height, sink)) continue;
        QTransform t;
        t.translate(text.origins[at].x, text.origins[at].y);
        t.rotate(-text.angle);
        t.translate(0, text.ascent);
        glyphs.addPath(t.map(outline));
    }
    if (smoothText_) {
        painter_->save();
        painter_->setRenderHint(QPainter::Antialiasing, true);
        painter_->fillPath(glyphs, ToQColor(state().textColor));
        painter_->restore();
        return;
    }
    painter_->fillPath(glyphs, ToQColor(state().textColor));
}

void QPainterDc::DrawDeviceDib(const RECT& dest, const RECT& source, std::span<const uint8_t> bits,
                               const BITMAPINFOHEADER& header, std::span<const RGBQUAD> colors) {
    if (!painter_) return;
    ApplyClip();
    const int32_t bpp = header.biBitCount;
    const size_t stride = (size_t(header.biWidth) * size_t(bpp) + 31) / 32 * 4;
    const int32_t rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const int32_t w = source.right - source.left;
    const int32_t h = source.bottom - source.top;
    QImage image(w, h, QImage::Format_RGB32);
    for (int32_t y = 0; y < h; ++y) {
        const int32_t top = source.top + y;  // counted from the picture's top
        const int32_t stored = header.biHeight > 0 ? rows - 1 - top : top;
        const uint8_t* row = bits.data() + stride * size_t(stored);
        for (int32_t x = 0; x < w; ++x) {
            const int32_t sx = source.left + x;
            QRgb rgb;
            if (bpp == 24) {
                rgb = qRgb(row[3 * sx + 2], row[3 * sx + 1], row[3 * sx]);
            } else {
                uint32_t index;
                if (bpp == 8) {
                    index = row[sx];
                } else if (bpp == 4) {
                    index = (row[sx / 2] >> (sx % 2 ? 0 : 4)) & 0x0F;
                } else {
                    index = (row[sx / 8] >> (7 - sx % 8)) & 1;
                }
                // An index past a shortened colour table draws black.
                const RGBQUAD q = index < colors.size() ? colors[index] : RGBQUAD{};
                rgb = qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
            }
            image.setPixel(x, y, rgb);
        }
    }
    const bool flipX = dest.right < dest.left;
    const bool flipY = dest.bottom < dest.top;
    if (flipX || flipY) image = image.mirrored(flipX, flipY);
    const QRect target(std::min(dest.left, dest.right), std::min(dest.top, dest.bottom),
                       std::abs(dest.right - dest.left), std::abs(dest.bottom - dest.top));
    painter_->drawImage(target, image);
}

}  // namespace plat
