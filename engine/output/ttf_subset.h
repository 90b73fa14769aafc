// TrueType subsetting for embedding: a font cut down to the glyphs of the code units a document
// uses (glyph numbers kept, the glyphs not used left empty), and single-glyph look-ups. The
// source is the font selected into a device context, or the end-user-defined-character (EUDC)
// font file of a face.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace plat {
class DeviceContext;
}

namespace kp {

// Result codes.
inline constexpr int kTtfOk = 0;
inline constexpr int kTtfOffsetTableUnreadable = -16000;
inline constexpr int kTtfTooManyTables = -16001;
inline constexpr int kTtfTableRecordUnreadable = -16002;
inline constexpr int kTtfGlyphNotFound = -16004;
inline constexpr int kTtfMapBufferUnusable = -16006;
inline constexpr int kTtfSpaceOutsideCidTable = -16007;
inline constexpr int kTtfNoMemory = -16010;
inline constexpr int kTtfNoGlyf = -16102;
inline constexpr int kTtfNoLoca = -16103;
inline constexpr int kTtfNoMaxp = -16104;
inline constexpr int kTtfNoCmap = -16110;
inline constexpr int kTtfNoHead = -16111;
inline constexpr int kTtfHeadBadLength = -16200;
inline constexpr int kTtfHeadUnreadable = -16201;
inline constexpr int kTtfMaxpBadLength = -16205;
inline constexpr int kTtfMaxpUnreadable = -16206;
inline constexpr int kTtfLocaUnreadable = -16211;
inline constexpr int kTtfCmapUnreadable = -16216;
inline constexpr int kTtfNoUsableCmap = -16217;
inline constexpr int kTtfGlyfUnreadable = -16222;
inline constexpr int kTtfCvtUnreadable = -16225;
inline constexpr int kTtfFpgmUnreadable = -16230;
inline constexpr int kTtfPrepUnreadable = -16235;
inline constexpr int kTtfHheaUnreadable = -16240;
inline constexpr int kTtfHmtxUnreadable = -16245;
inline constexpr int kTtfNameUnreadable = -16251;
inline constexpr int kTtfOs2Unreadable = -16255;
inline constexpr int kTtfPostUnreadable = -16260;
inline constexpr int kTtfNoEudcFont = -16360;
inline constexpr int kTtfEudcFontUnmappable = -16365;

// A font with more tables than this is refused.
inline constexpr size_t kTtfMaxTables = 50;
// The glyph map handed in beside a subset: one big-endian glyph number per Adobe-Japan1 CID.
inline constexpr size_t kCidMapBytes = 40960;

// Subset of the font selected into `dc`. `embeddingName` replaces the family and full names;
// `wide` says the text reached the font as UTF-16 (else as ANSI, which moves the ASCII
// characters to the half-width CIDs in the glyph map); `codes` are the code units used. When
// `cidMap` is not empty it must hold kCidMapBytes and receives the glyph of each CID used.
// On success `font` holds the subset; on failure it is empty and the code says why.
int SubsetTrueTypeFontWithoutEudc(plat::DeviceContext& dc, std::u16string_view embeddingName,
                                  bool wide, std::u16string_view codes, std::vector<uint8_t>& font,
                                  std::span<uint8_t> cidMap = {});

// Subset of the EUDC font of `face` (a leading '@' ignored). The cmap, name, OS/2 and post
// tables are left out of it.
int SubsetTrueTypeFont(std::u16string_view face, bool wide, std::u16string_view codes,
                       std::vector<uint8_t>& font, std::span<uint8_t> cidMap = {});

// The glyph of one code unit in the font selected into `dc`, or kTtfGlyphNotFound.
int FindFontGlyph(plat::DeviceContext& dc, char16_t code, uint16_t& glyph);
// The glyph of one code unit in the EUDC font of `face`, or kTtfGlyphNotFound.
int FindEudcGlyph(std::u16string_view face, char16_t code, uint16_t& glyph);

// The same on font bytes in memory: `file` holds the whole file and `faceOffset` is where the
// face's offset table starts (non-zero inside a collection).
enum class SubsetKind { kOrdinary, kEudc };
int SubsetSfnt(std::span<const uint8_t> file, uint32_t faceOffset, SubsetKind kind,
               std::u16string_view embeddingName, bool wide, std::u16string_view codes,
               std::vector<uint8_t>& font, std::span<uint8_t> cidMap = {});
int FindSfntGlyph(std::span<const uint8_t> file, uint32_t faceOffset, char16_t code,
                  uint16_t& glyph);

}  // namespace kp
