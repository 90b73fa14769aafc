// One face of a font file, mapped read-only: raw sfnt tables (what GetFontData gives) and
// metrics through FreeType.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fonts/mapped_file.h"

struct FT_FaceRec_;

namespace plat {

// Text metrics in logical units for a logical font height (see FontFace::Metrics).
struct FontMetrics {
    int32_t height = 0;  // ascent + descent
    int32_t ascent = 0;
    int32_t descent = 0;
    int32_t internalLeading = 0;  // height - em height
    int32_t externalLeading = 0;
    int32_t averageCharWidth = 0;
    int32_t maxCharWidth = 0;
};

// The A, B and C spaces of a character: left bearing, ink width, right bearing.
struct AbcWidth {
    int32_t a = 0;
    int32_t b = 0;
    int32_t c = 0;
};

// What GetOutlineTextMetrics tells of a face at a logical height (see FontFace::Metrics), in
// logical units, y up.
struct OutlineMetrics {
    FontMetrics text;
    int32_t weight = 400;  // OS/2 weight class
    bool italic = false;
    // As tmPitchAndFamily: bit 0 set for a variable-pitch face (Windows' TMPF_FIXED_PITCH,
    // whose name says the opposite), TrueType and vector bits, the family in the high nibble.
    uint8_t pitchAndFamily = 0;
    char16_t firstChar = 0;  // OS/2 first and last character
    char16_t lastChar = 0;
    int32_t fontBoxLeft = 0;  // head's glyph bounding box
    int32_t fontBoxBottom = 0;
    int32_t fontBoxRight = 0;
    int32_t fontBoxTop = 0;
    int32_t macAscent = 0;  // hhea ascender, descender (negative) and line gap
    int32_t macDescent = 0;
    int32_t macLineGap = 0;
    int32_t italicAngle = 0;  // tenths of a degree, counter-clockwise
    uint32_t emSquare = 0;    // design units per em
};

struct TextExtent {
    int32_t cx = 0;
    int32_t cy = 0;
};

// Receives a glyph outline: coordinates in logical units, x to the right and y down from the
// glyph origin on the baseline.
class OutlineSink {
  public:
    virtual void MoveTo(double x, double y) = 0;
    virtual void LineTo(double x, double y) = 0;
    virtual void QuadTo(double cx, double cy, double x, double y) = 0;
    virtual void CubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) = 0;

  protected:
    ~OutlineSink() = default;
};

class FontFace {
  public:
    // Opens face `faceIndex` of the file; nullptr when the file cannot be mapped or FreeType
    // cannot read the face.
    static std::shared_ptr<FontFace> Open(const std::string& path, uint32_t faceIndex = 0);

    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    const std::string& path() const { return path_; }
    uint32_t faceIndex() const { return faceIndex_; }
    std::string familyName() const;

    // The whole file and where this face's offset table starts in it (0 unless the file is a
    // collection). Table offsets in the directory count from the start of the file.
    std::span<const uint8_t> fileBytes() const { return file_->bytes(); }
    uint32_t faceOffset() const { return faceOffset_; }

    // As GetFontData: tag 0 reads from this face's offset table, kTtcfTag the whole collection
    // file, any other tag that table of this face. Copies from `offset` into `out` and answers
    // the number of bytes copied, or with an empty `out` the number that could be read; nothing
    // when the table is missing, lies outside the file or `offset` is past its end.
    std::optional<size_t> GetFontData(uint32_t tag, uint32_t offset, std::span<uint8_t> out) const;
    // The bytes of one table of this face in place, or nothing (missing or outside the file).
    std::optional<std::span<const uint8_t>> TableBytes(uint32_t tag) const;

    uint16_t unitsPerEm() const { return unitsPerEm_; }

    // Metrics for a logical font height: negative = em height, positive = cell height
    // (ascent + descent), 0 = the default size.
    FontMetrics Metrics(int32_t height) const;
    // The glyph of a character through the face's Unicode (or symbol) cmap; 0 when none.
    uint32_t GlyphIndex(char32_t ch) const;
    // Advance width of a character; a character without a glyph measures as glyph 0.
    int32_t CharWidth(char32_t ch, int32_t height) const;
    AbcWidth CharAbcWidth(char32_t ch, int32_t height) const;
    // The outline of a character's glyph (glyph 0 when it has none) at a logical height,
    // unhinted, so that every back end draws the same shape; false when FreeType cannot load it.
    bool GlyphOutline(char32_t ch, int32_t height, OutlineSink& sink) const;
    // Width of UTF-16 text (surrogate pairs taken together) and the cell height.
    TextExtent TextExtentOf(std::u16string_view text, int32_t height) const;

    // Outline metrics for a logical height.
    OutlineMetrics OutlineMetricsAt(int32_t height) const;
    // The glyph of a code through a Windows symbol cmap (3,0): the code, then 0xF000 + code for
    // codes below 0x100, as GDI maps text onto symbol fonts; 0 when the face has no such cmap or
    // neither code is in it.
    uint32_t SymbolGlyphIndex(char16_t code) const;

  private:
    FontFace() = default;

    struct GlyphDesign {
        int32_t advance = 0;
        int32_t left = 0;
        int32_t inkWidth = 0;
    };
    GlyphDesign DesignMetrics(char32_t ch) const;
    // Logical units per design unit for a logical height.
    double Scale(int32_t height) const;

    std::string path_;
    uint32_t faceIndex_ = 0;
    std::unique_ptr<MappedFile> file_;
    uint32_t faceOffset_ = 0;

    // Design metrics read once when the face is opened.
    uint16_t unitsPerEm_ = 1000;
    int32_t winAscent_ = 0;
    int32_t winDescent_ = 0;
    int32_t lineGap_ = 0;
    int32_t hheaAscender_ = 0;
    int32_t hheaDescender_ = 0;
    int32_t averageWidth_ = 0;
    int32_t maxAdvance_ = 0;

    // FreeType faces are not thread-safe; every use of ft_ holds mutex_.
    mutable std::mutex mutex_;
    FT_FaceRec_* ft_ = nullptr;
    // Design metrics of the glyphs measured so far, by glyph (under mutex_): text is measured
    // character by character, and loading a glyph each time was most of the cost of a page.
    mutable std::vector<GlyphDesign> designs_;
    mutable std::vector<bool> designKnown_;
};

}  // namespace plat
