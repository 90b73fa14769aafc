// The fonts of an exported document: the table the pages name their fonts from ("/F%04d") while
// they are translated, with the code units each font drew and, for embedded fonts, the glyph of
// each; and at the end of the document each font's PDF objects: a simple TrueType font over
// WinAnsiEncoding, or a Type0 font over a CIDFontType2 for Shift-JIS and symbol fonts, with its
// descriptor, the embedded subset and a ToUnicode CMap.
#pragma once

#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/output/pdf_objects.h"
#include "platform/fonts/font_face.h"
#include "platform/gdi/gdi_types.h"

namespace kp {

namespace pdf_code {
inline constexpr int kAnsiNoMemory = -15005;
inline constexpr int kNoScreenDcForFonts = -15013;
inline constexpr int kFontNotCreatedForWriting = -15014;
inline constexpr int kFontTable = -15100;
inline constexpr int kFontIndex = -15101;
inline constexpr int kMeasureNoDc = -15102;
inline constexpr int kMeasureNoFont = -15103;
inline constexpr int kMeasureNoMetrics = -15104;
inline constexpr int kNoHead = -15105;
inline constexpr int kCMapEmpty = -16006;
inline constexpr int kNameNoMemory = -16252;
inline constexpr int kNameUnreadable = -16253;
}  // namespace pdf_code

class PdfFontTable final : public PdfFontObjects {
  public:
    static constexpr int kGrowth = 50;

    struct Entry {
        plat::LOGFONTW font;
        bool embed = false;
        bool wide = false;
        bool eudc = false;  // serves end-user-defined characters
        uint32_t object = 0;
        plat::OutlineMetrics metrics;  // at height -1000 or 1000, the font's sign kept
        std::unique_ptr<std::bitset<0x10000>> used;
        // Code unit to glyph, filled while embedded text is written.
        std::map<char16_t, uint16_t> glyphs;
    };

    PdfFontTable() = default;
    PdfFontTable(const PdfFontTable&) = delete;
    PdfFontTable& operator=(const PdfFontTable&) = delete;
    ~PdfFontTable() = default;

    int count() const override { return int(entries_.size()); }
    int capacity() const { return capacity_; }
    // Empties the table for the next document.
    void Clear();

    // The index of the entry that matches in everything but height and character set, or -1.
    int Find(const plat::LOGFONTW& font, bool wide, bool embed, bool eudc) const;
    // Appends and measures an entry; -15103 when no face can be found, -15104 when it cannot be
    // measured. The entry counts only on success.
    int Add(const plat::LOGFONTW& font, bool wide, bool embed, bool eudc, int& index);
    Entry* At(int index);
    const Entry* At(int index) const;
    int SetObject(int index, uint32_t object);

    void MarkWide(int index, std::u16string_view text);
    int MarkAnsi(int index, std::string_view text);  // CP932
    // The code units marked, ascending.
    std::u16string ListUsed(int index) const;

    // What the writer asks: the number pages name a font by, and its objects (PlanFontObjects).
    uint32_t object(int index) const override;
    int Plan(int index, std::vector<PdfObject>& objects) override;

  private:
    std::vector<Entry> entries_;
    int capacity_ = 0;
};

// The ToUnicode CMap of a glyph map, lines ending with LF; empty for an empty map.
std::string WriteToUnicodeCMap(const std::map<char16_t, uint16_t>& glyphs);

// The objects of the font at index, for the writer to number and write while the document is
// finished: its descriptor, the embedded subset, the descendant font and its map, and last the
// font object under the number its pages name it by.
int PlanFontObjects(PdfFontTable& table, int index, std::vector<PdfObject>& objects);

}  // namespace kp
