#include "platform/fonts/font_face.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/fonts/sfnt.h"

namespace plat {

namespace {

// A logical height of 0 asks for the default size: a 12-unit em, the GUI's 9-point text at
// 96 dpi.
constexpr int32_t kDefaultEmHeight = 12;

// One FreeType library for the process. Creating and destroying faces must be serialised on
// it. It is never destroyed: faces held in static caches may outlive any static object.
struct FtLibrary {
    std::mutex mutex;
    FT_Library library = nullptr;
};

FtLibrary& Library() {
    static FtLibrary* lib = [] {
        auto* l = new FtLibrary;
        if (FT_Init_FreeType(&l->library) != 0) l->library = nullptr;
        return l;
    }();
    return *lib;
}

int32_t Round(double v) {
    if (!(v == v)) return 0;
    v = std::clamp(v, -2147483648.0, 2147483647.0);
    return int32_t(std::lround(v));
}

}  // namespace

std::shared_ptr<FontFace> FontFace::Open(const std::string& path, uint32_t faceIndex) {
    auto file = MappedFile::Open(path);
    if (!file) return nullptr;
    auto faceOffset = SfntFaceOffset(file->bytes(), faceIndex);
    if (!faceOffset) return nullptr;
    if (faceIndex > 0xFFFF) return nullptr;

    std::shared_ptr<FontFace> face(new FontFace);
    face->path_ = path;
    face->faceIndex_ = faceIndex;
    face->faceOffset_ = *faceOffset;
    {
        FtLibrary& lib = Library();
        std::lock_guard lock(lib.mutex);
        if (lib.library == nullptr) return nullptr;
        FT_Face ft = nullptr;
        if (FT_New_Memory_Face(lib.library, file->bytes().data(), FT_Long(file->bytes().size()),
                               FT_Long(faceIndex), &ft) != 0) {
            return nullptr;
        }
        face->ft_ = ft;
    }
    face->file_ = std::move(file);

    FT_Face ft = face->ft_;
    if (!FT_IS_SFNT(ft) || ft->units_per_EM == 0) return nullptr;
    face->unitsPerEm_ = ft->units_per_EM;
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA));
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    if (hhea != nullptr) {
        face->hheaAscender_ = hhea->Ascender;
        face->hheaDescender_ = hhea->Descender;
        face->lineGap_ = hhea->Line_Gap;
        face->maxAdvance_ = hhea->advance_Width_Max;
    }
    if (os2 != nullptr && os2->version != 0xFFFF) {
        face->winAscent_ = os2->usWinAscent;
        face->winDescent_ = os2->usWinDescent;
        face->averageWidth_ = os2->xAvgCharWidth;
    }
    // Fonts without an OS/2 table (or with zero Windows metrics) measure by hhea.
    if (face->winAscent_ + face->winDescent_ <= 0) {
        face->winAscent_ = std::max(0, face->hheaAscender_);
        face->winDescent_ = std::max(0, -face->hheaDescender_);
    }
    if (face->winAscent_ + face->winDescent_ <= 0) {
        face->winAscent_ = face->unitsPerEm_;
        face->winDescent_ = 0;
    }
    if (face->averageWidth_ <= 0) face->averageWidth_ = face->DesignMetrics(U'x').advance;
    return face;
}

FontFace::~FontFace() {
    if (ft_ != nullptr) {
        FtLibrary& lib = Library();
        std::lock_guard lock(lib.mutex);
        FT_Done_Face(ft_);
    }
}

std::string FontFace::familyName() const {
    std::lock_guard lock(mutex_);
    return ft_->family_name != nullptr ? std::string(ft_->family_name) : std::string();
}

std::optional<size_t> FontFace::GetFontData(uint32_t tag, uint32_t offset,
                                            std::span<uint8_t> out) const {
    std::span<const uint8_t> data;
    std::span<const uint8_t> file = file_->bytes();
    if (tag == 0) {
        data = file.subspan(faceOffset_);
    } else if (tag == kTtcfTag) {
        if (!ByteReader(file).U32(0) || LoadU32(file.data()) != kTtcfTag) return std::nullopt;
        data = file;
    } else {
        auto table = TableBytes(tag);
        if (!table) return std::nullopt;
        data = *table;
    }
    if (offset > data.size()) return std::nullopt;
    size_t available = data.size() - offset;
    if (out.empty()) return available;
    size_t n = std::min(available, out.size());
    if (n > 0) std::memcpy(out.data(), data.data() + offset, n);
    return n;
}

std::optional<std::span<const uint8_t>> FontFace::TableBytes(uint32_t tag) const {
    auto rec = SfntFindTable(file_->bytes(), faceOffset_, tag);
    if (!rec) return std::nullopt;
    return ByteReader(file_->bytes()).Sub(rec->offset, rec->length);
}

double FontFace::Scale(int32_t height) const {
    if (height < 0) return -double(height) / unitsPerEm_;
    if (height > 0) return double(height) / (winAscent_ + winDescent_);
    return double(kDefaultEmHeight) / unitsPerEm_;
}

FontMetrics FontFace::Metrics(int32_t height) const {
    double s = Scale(height);
    FontMetrics m;
    m.ascent = Round(winAscent_ * s);
    m.descent = Round(winDescent_ * s);
    // Sums in double: a height near the 32-bit limits must saturate, not wrap.
    m.height = Round(double(m.ascent) + m.descent);
    m.internalLeading = std::max(0, Round(double(m.height) - Round(unitsPerEm_ * s)));
    // The part of hhea's line gap that the Windows ascent and descent do not already cover.
    int32_t gap = lineGap_ - ((winAscent_ + winDescent_) - (hheaAscender_ - hheaDescender_));
    m.externalLeading = std::max(0, Round(gap * s));
    m.averageCharWidth = Round(averageWidth_ * s);
    m.maxCharWidth = Round(maxAdvance_ * s);
    return m;
}

namespace {

// The glyph of a code in a face's Windows symbol cmap (3,0). Symbol fonts put their glyphs at
// 0xF000 + the character code, GDI looks both places. The face's own charmap is restored.
uint32_t SymbolGlyphLocked(FT_Face ft, char32_t code) {
    if (code > 0xFFFF) return 0;
    FT_CharMap symbol = nullptr;
    for (FT_Int i = 0; i < ft->num_charmaps; ++i) {
        if (ft->charmaps[i]->platform_id == 3 && ft->charmaps[i]->encoding_id == 0) {
            symbol = ft->charmaps[i];
            break;
        }
    }
    if (symbol == nullptr) return 0;
    FT_CharMap previous = ft->charmap;
    uint32_t glyph = 0;
    if (FT_Set_Charmap(ft, symbol) == 0) {
        glyph = FT_Get_Char_Index(ft, FT_ULong(code));
        if (glyph == 0 && code < 0x100) glyph = FT_Get_Char_Index(ft, FT_ULong(0xF000 + code));
    }
    if (previous != nullptr) FT_Set_Charmap(ft, previous);
    return glyph;
}

// A face without a Unicode cmap still maps through its symbol cmap.
uint32_t GlyphLocked(FT_Face ft, char32_t ch) {
    const bool unicode = ft->charmap != nullptr && ft->charmap->encoding == FT_ENCODING_UNICODE;
    uint32_t glyph = unicode ? FT_Get_Char_Index(ft, FT_ULong(ch)) : 0;
    if (glyph == 0) glyph = SymbolGlyphLocked(ft, ch);
    if (glyph == 0 && !unicode && ft->charmap != nullptr) {
        glyph = FT_Get_Char_Index(ft, FT_ULong(ch));
    }
    return glyph;
}

}  // namespace

uint32_t FontFace::GlyphIndex(char32_t ch) const {
    std::lock_guard lock(mutex_);
    return GlyphLocked(ft_, ch);
}

uint32_t FontFace::SymbolGlyphIndex(char16_t code) const {
    std::lock_guard lock(mutex_);
    return SymbolGlyphLocked(ft_, code);
}

OutlineMetrics FontFace::OutlineMetricsAt(int32_t height) const {
    OutlineMetrics m;
    m.text = Metrics(height);
    const double s = Scale(height);
    m.emSquare = unitsPerEm_;
    std::lock_guard lock(mutex_);
    auto* head = static_cast<TT_Header*>(FT_Get_Sfnt_Table(ft_, FT_SFNT_HEAD));
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(ft_, FT_SFNT_HHEA));
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft_, FT_SFNT_OS2));
    auto* post = static_cast<TT_Postscript*>(FT_Get_Sfnt_Table(ft_, FT_SFNT_POST));
    if (head != nullptr) {
        m.fontBoxLeft = Round(head->xMin * s);
        m.fontBoxBottom = Round(head->yMin * s);
        m.fontBoxRight = Round(head->xMax * s);
        m.fontBoxTop = Round(head->yMax * s);
        m.italic = (head->Mac_Style & 2) != 0;
    }
    if (hhea != nullptr) {
        m.macAscent = Round(hhea->Ascender * s);
        m.macDescent = Round(hhea->Descender * s);
        m.macLineGap = Round(hhea->Line_Gap * s);
    }
    bool fixed = false;
    uint8_t family = 0;
    if (os2 != nullptr && os2->version != 0xFFFF) {
        m.weight = os2->usWeightClass;
        m.italic = m.italic || (os2->fsSelection & 1) != 0;
        m.firstChar = os2->usFirstCharIndex;
        m.lastChar = os2->usLastCharIndex;
        // The family from the PANOSE classification, as the Windows font mapper reads it.
        const FT_Byte* panose = os2->panose;
        fixed = panose[0] == 2 && panose[3] == 9;
        if (panose[0] == 3) {
            family = 0x40;  // script
        } else if (panose[0] == 4) {
            family = 0x50;  // decorative
        } else if (panose[0] == 2) {
            family = fixed ? 0x30 : (panose[1] >= 11 && panose[1] <= 13) ? 0x20 : 0x10;
        }
    }
    if (post != nullptr) {
        fixed = fixed || post->isFixedPitch != 0;
        m.italicAngle = Round(double(post->italicAngle) / 65536.0 * 10.0);
    }
    // TrueType and vector bits; bit 0 set means variable pitch.
    m.pitchAndFamily = uint8_t(family | 0x04 | 0x02 | (fixed ? 0 : 0x01));
    return m;
}

FontFace::GlyphDesign FontFace::DesignMetrics(char32_t ch) const {
    std::lock_guard lock(mutex_);
    GlyphDesign d;
    const FT_UInt glyph = GlyphLocked(ft_, ch);
    const size_t glyphs = size_t(std::max<FT_Long>(ft_->num_glyphs, 0));
    if (glyph < glyphs && designKnown_.size() == glyphs && designKnown_[glyph]) {
        return designs_[glyph];
    }
    if (FT_Load_Glyph(ft_, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) return d;
    const FT_Glyph_Metrics& gm = ft_->glyph->metrics;
    d.advance = int32_t(gm.horiAdvance);
    d.left = int32_t(gm.horiBearingX);
    d.inkWidth = int32_t(gm.width);
    if (glyph < glyphs) {
        if (designKnown_.size() != glyphs) {
            designs_.assign(glyphs, GlyphDesign{});
            designKnown_.assign(glyphs, false);
        }
        designs_[glyph] = d;
        designKnown_[glyph] = true;
    }
    return d;
}

int32_t FontFace::CharWidth(char32_t ch, int32_t height) const {
    return Round(DesignMetrics(ch).advance * Scale(height));
}

namespace {

struct Decompose {
    OutlineSink* sink;
    double scale;
    double X(const FT_Vector* v) const { return v->x * scale; }
    double Y(const FT_Vector* v) const { return -v->y * scale; }
};

int MoveToCb(const FT_Vector* to, void* user) {
    auto* d = static_cast<Decompose*>(user);
    d->sink->MoveTo(d->X(to), d->Y(to));
    return 0;
}
int LineToCb(const FT_Vector* to, void* user) {
    auto* d = static_cast<Decompose*>(user);
    d->sink->LineTo(d->X(to), d->Y(to));
    return 0;
}
int ConicToCb(const FT_Vector* c, const FT_Vector* to, void* user) {
    auto* d = static_cast<Decompose*>(user);
    d->sink->QuadTo(d->X(c), d->Y(c), d->X(to), d->Y(to));
    return 0;
}
int CubicToCb(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* d = static_cast<Decompose*>(user);
    d->sink->CubicTo(d->X(c1), d->Y(c1), d->X(c2), d->Y(c2), d->X(to), d->Y(to));
    return 0;
}

}  // namespace

bool FontFace::GlyphOutline(char32_t ch, int32_t height, OutlineSink& sink) const {
    const double scale = Scale(height);
    std::lock_guard lock(mutex_);
    FT_UInt glyph = FT_Get_Char_Index(ft_, FT_ULong(ch));
    if (FT_Load_Glyph(ft_, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) {
        return false;
    }
    if (ft_->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    FT_Outline_Funcs funcs{};
    funcs.move_to = MoveToCb;
    funcs.line_to = LineToCb;
    funcs.conic_to = ConicToCb;
    funcs.cubic_to = CubicToCb;
    Decompose d{&sink, scale};
    return FT_Outline_Decompose(&ft_->glyph->outline, &funcs, &d) == 0;
}

AbcWidth FontFace::CharAbcWidth(char32_t ch, int32_t height) const {
    GlyphDesign d = DesignMetrics(ch);
    double s = Scale(height);
    AbcWidth w;
    w.a = Round(d.left * s);
    w.b = Round(d.inkWidth * s);
    // C is what is left of the advance, so that A + B + C is the advance width.
    w.c = Round(d.advance * s) - w.a - w.b;
    return w;
}

TextExtent FontFace::TextExtentOf(std::u16string_view text, int32_t height) const {
    double s = Scale(height);
    int64_t design = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        design += DesignMetrics(c).advance;
    }
    return TextExtent{Round(double(design) * s), Metrics(height).height};
}

}  // namespace plat
