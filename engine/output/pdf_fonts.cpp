#include "engine/output/pdf_fonts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#include "engine/core/font_ansi.h"
#include "engine/output/pdf_format.h"
#include "engine/output/ttf_subset.h"
#include "platform/fonts/font_resolver.h"
#include "platform/fonts/sfnt.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"

namespace kp {

using namespace pdf_code;

namespace {

// Fonts are measured and written at an em of 1000 units, the unit of PDF glyph space. (Measuring
// a positive, cell-height font at a cell of 1000 would make every width too small by the face's
// internal leading.)
constexpr int32_t kMeasureHeight = -1000;

std::u16string_view FaceOf(const plat::LOGFONTW& font) {
    size_t n = 0;
    while (n < 32 && font.lfFaceName[n] != 0) ++n;
    return {font.lfFaceName, n};
}

plat::LOGFONTW AtMeasureHeight(const plat::LOGFONTW& font) {
    plat::LOGFONTW f = font;
    f.lfHeight = kMeasureHeight;
    f.lfWidth = 0;
    f.lfEscapement = 0;
    f.lfOrientation = 0;
    return f;
}

// The character sets drawn through a Type0 font: Shift-JIS and symbol. Every other set but the
// ANSI one carries two-byte codes as well and is written as Shift-JIS.
uint8_t EffectiveCharSet(uint8_t charSet) {
    if (charSet == plat::kAnsiCharset || charSet == plat::kSymbolCharset) return charSet;
    return plat::kShiftJisCharset;
}

// A PDF name: the delimiters, '#', blanks and bytes outside printable ASCII as #xx.
std::string PdfName(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x21 || c > 0x7E || std::strchr("()<>[]{}/%#", c) != nullptr) {
            out += PdfFormat("#%02X", unsigned(c));
        } else {
            out += char(c);
        }
    }
    return out;
}

// The PostScript name of a face from its 'name' table: the last Windows record of name 6, else
// any platform's name 6, else the family (name 1) by the same order. Empty when none.
std::u16string NameFromTable(std::span<const uint8_t> table) {
    plat::ByteReader r(table);
    auto count = r.U16(2);
    auto storage = r.U16(4);
    if (!count || !storage) return {};
    for (uint16_t id : {uint16_t{6}, uint16_t{1}}) {
        std::u16string windows;
        std::u16string other;
        for (uint32_t i = 0; i < *count; ++i) {
            auto rec = r.Sub(6 + uint64_t(i) * 12, 12);
            if (!rec) break;
            const uint16_t platform = plat::LoadU16(rec->data());
            const uint16_t nameId = plat::LoadU16(rec->data() + 6);
            const uint16_t length = plat::LoadU16(rec->data() + 8);
            const uint16_t offset = plat::LoadU16(rec->data() + 10);
            if (nameId != id) continue;
            auto bytes = r.Sub(uint64_t(*storage) + offset, length);
            if (!bytes) continue;
            std::u16string text;
            if (platform == 3 || platform == 0) {
                for (size_t k = 0; k + 1 < bytes->size(); k += 2) {
                    text += char16_t(plat::LoadU16(bytes->data() + k));
                }
            } else {
                for (uint8_t b : *bytes) text += char16_t(b < 0x80 ? b : u'?');
            }
            if (text.empty()) continue;
            if (platform == 3) {
                windows = text;
            } else if (other.empty()) {
                other = text;
            }
        }
        if (!windows.empty()) return windows;
        if (!other.empty()) return other;
    }
    return {};
}

// Advance widths of glyphs from hhea and hmtx, in units of 1/1000 em.
class GlyphAdvances {
  public:
    explicit GlyphAdvances(const plat::FontFace& face) : unitsPerEm_(face.unitsPerEm()) {
        auto hhea = face.TableBytes(plat::SfntTag("hhea"));
        auto hmtx = face.TableBytes(plat::SfntTag("hmtx"));
        if (!hhea || !hmtx) return;
        auto count = plat::ByteReader(*hhea).U16(34);
        if (!count || *count == 0) return;
        hmtx_ = *hmtx;
        metrics_ = std::min<uint32_t>(*count, uint32_t(hmtx_.size() / 4));
    }
    int32_t Of(uint16_t glyph) const {
        if (metrics_ == 0 || unitsPerEm_ == 0) return 1000;
        const uint32_t i = std::min<uint32_t>(glyph, metrics_ - 1);
        const uint16_t advance = plat::LoadU16(hmtx_.data() + 4 * size_t(i));
        return int32_t(std::lround(advance * 1000.0 / unitsPerEm_));
    }

  private:
    uint16_t unitsPerEm_;
    std::span<const uint8_t> hmtx_;
    uint32_t metrics_ = 0;
};

// A /W array from (code, width) pairs in ascending code order, consecutive codes grouped.
std::string WidthArray(const std::vector<std::pair<uint32_t, int32_t>>& widths) {
    std::string out = "/W [";
    size_t i = 0;
    while (i < widths.size()) {
        size_t j = i + 1;
        while (j < widths.size() && widths[j].first == widths[j - 1].first + 1) ++j;
        out += PdfFormat(" %d [", widths[i].first);
        for (size_t k = i; k < j; ++k) out += PdfFormat(" %d", widths[k].second);
        out += " ]";
        i = j;
    }
    out += " ]\r";
    return out;
}

// Adobe-Japan1's half-width glyphs (proportional Latin 1-230 are not reached through the CMaps
// used here): the half-width Latin and katakana, and the half-width space of the vertical forms.
constexpr const char* kJapan1Widths = "/W [ 231 389 500 631 [ 500 ] ]\r";

}  // namespace

// ---------------------------------------------------------------------------------------------

int PdfFontTable::Find(const plat::LOGFONTW& font, bool wide, bool embed, bool eudc) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        const plat::LOGFONTW& f = e.font;
        if (e.embed == embed && e.wide == wide && e.eudc == eudc && FaceOf(f) == FaceOf(font) &&
            f.lfWidth == font.lfWidth && f.lfItalic == font.lfItalic &&
            f.lfStrikeOut == font.lfStrikeOut && f.lfUnderline == font.lfUnderline &&
            f.lfWeight == font.lfWeight && f.lfEscapement == font.lfEscapement &&
            f.lfOrientation == font.lfOrientation) {
            return int(i);
        }
    }
    return -1;
}

int PdfFontTable::Add(const plat::LOGFONTW& font, bool wide, bool embed, bool eudc, int& index) {
    try {
        auto face = plat::OpenLogicalFont(plat::ToLogicalFont(AtMeasureHeight(font)));
        if (face == nullptr) return kMeasureNoFont;
        Entry e;
        e.font = font;
        e.wide = wide;
        e.embed = embed;
        e.eudc = eudc;
        e.metrics = face->OutlineMetricsAt(kMeasureHeight);
        if (e.metrics.emSquare == 0 || e.metrics.text.height <= 0) return kMeasureNoMetrics;
        // What the font is realised as: GDI makes bold and italic of a face that lacks them.
        if (font.lfWeight != 0) e.metrics.weight = font.lfWeight;
        e.metrics.italic = e.metrics.italic || font.lfItalic != 0;
        e.used = std::make_unique<std::bitset<0x10000>>();
        if (entries_.size() == entries_.capacity()) {
            entries_.reserve(entries_.size() + kGrowth);
            capacity_ = int(entries_.capacity());
        }
        entries_.push_back(std::move(e));
    } catch (const std::bad_alloc&) {
        return kFontTable;
    }
    index = int(entries_.size()) - 1;
    return kOk;
}

void PdfFontTable::Clear() {
    std::vector<Entry>().swap(entries_);
    capacity_ = 0;
}

uint32_t PdfFontTable::object(int index) const {
    const Entry* e = At(index);
    return e != nullptr ? e->object : 0;
}

int PdfFontTable::Plan(int index, std::vector<PdfObject>& objects) {
    return PlanFontObjects(*this, index, objects);
}

PdfFontTable::Entry* PdfFontTable::At(int index) {
    return index >= 0 && index < count() ? &entries_[size_t(index)] : nullptr;
}

const PdfFontTable::Entry* PdfFontTable::At(int index) const {
    return index >= 0 && index < count() ? &entries_[size_t(index)] : nullptr;
}

int PdfFontTable::SetObject(int index, uint32_t object) {
    Entry* e = At(index);
    if (e == nullptr) return kFontIndex;
    e->object = object;
    return kOk;
}

void PdfFontTable::MarkWide(int index, std::u16string_view text) {
    Entry* e = At(index);
    if (e == nullptr) return;
    for (char16_t c : text) e->used->set(c);
}

int PdfFontTable::MarkAnsi(int index, std::string_view text) {
    try {
        MarkWide(index, AnsiToUtf16(text));
    } catch (const std::bad_alloc&) {
        return kAnsiNoMemory;
    }
    return kOk;
}

std::u16string PdfFontTable::ListUsed(int index) const {
    std::u16string out;
    const Entry* e = At(index);
    if (e == nullptr) return out;
    for (uint32_t c = 0; c < 0x10000; ++c) {
        if (e->used->test(c)) out += char16_t(c);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------

std::string WriteToUnicodeCMap(const std::map<char16_t, uint16_t>& glyphs) {
    if (glyphs.empty()) return {};
    // Glyphs that stand for several code units keep the first (lowest) one.
    std::map<uint16_t, char16_t> byGlyph;
    for (const auto& [code, glyph] : glyphs) byGlyph.emplace(glyph, code);
    std::string out =
        "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
        "/CIDSystemInfo\n<<\n/Registry (TT1+0) /Ordering (T42UV) /Supplement 0\n>> def\n"
        "/CMapName /TT1+0 def\n/CMapType 2 def\n"
        "1 begincodespacerange <0000> <FFFF> endcodespacerange\n";
    // The glyph map is ordered by code unit, as the ToUnicode entries are written.
    std::vector<std::pair<uint16_t, char16_t>> entries;
    for (const auto& [code, glyph] : glyphs) {
        // A failed look-up stands as glyph 0, which maps to no character.
        if (glyph == 0 || byGlyph[glyph] != code) continue;
        entries.emplace_back(glyph, code);
    }
    for (size_t i = 0; i < entries.size(); i += 100) {
        const size_t n = std::min<size_t>(100, entries.size() - i);
        out += PdfFormat("%d beginbfchar\n", n);
        for (size_t k = i; k < i + n; ++k) {
            out += PdfFormat("<%04x> <%04x>\n", entries[k].first, unsigned(entries[k].second));
        }
        out += "endbfchar\n";
    }
    out += "endcmap CMapName currentdict /CMap defineresource pop end end\n";
    return out;
}

int PlanFontObjects(PdfFontTable& table, int index, std::vector<PdfObject>& objects) {
    objects.clear();
    PdfFontTable::Entry* entry = table.At(index);
    if (entry == nullptr) return kFontIndex;
    const plat::OutlineMetrics& m = entry->metrics;
    const uint8_t charSet = EffectiveCharSet(entry->font.lfCharSet);
    const bool type0 = charSet != plat::kAnsiCharset;
    const std::u16string_view faceName = FaceOf(entry->font);

    plat::InfoDc dc;
    plat::GdiObject font(plat::CreateFontIndirectW(AtMeasureHeight(entry->font)));
    if (!font) return kFontNotCreatedForWriting;
    dc.SelectObject(font.get());
    auto face = dc.SelectedFace();
    if (face == nullptr) return kFontNotCreatedForWriting;

    // 1. Base name.
    std::u16string name;
    if (auto names = face->TableBytes(plat::SfntTag("name"))) name = NameFromTable(*names);
    if (name.empty()) name = faceName.substr(faceName.starts_with(u"@") ? 1 : 0);
    std::string base = Utf16ToAnsi(name);
    base.erase(std::remove(base.begin(), base.end(), ' '), base.end());
    if (base.size() > 32) base.resize(32);
    if (faceName.starts_with(u"@")) base = "@" + base;
    const bool bold = m.weight > 699;
    const char* style = bold && m.italic ? ",BoldItalic"
                        : bold           ? ",Bold"
                        : m.italic       ? ",Italic"
                                         : "";
    // 2. Vertical.
    const bool vertical = base.starts_with("@");

    // 3. Embedding: the subset and its maps, handed over undeflated.
    std::vector<uint8_t> subset;
    std::string toUnicode;
    std::vector<uint8_t> cidToGid;
    const bool japan1Codes = type0 && !entry->wide;
    if (entry->embed) {
        const std::u16string used = table.ListUsed(index);
        base = PdfFormat(entry->eudc ? "EmbedFont%04d+EUDC" : "EmbedFont%04d", index);
        const std::u16string embeddingName(base.begin(), base.end());
        if (japan1Codes) cidToGid.assign(kCidMapBytes, 0);
        int rc;
        if (entry->eudc) {
            rc = SubsetTrueTypeFont(faceName.substr(faceName.starts_with(u"@") ? 1 : 0),
                                    entry->wide, used, subset, cidToGid);
        } else {
            rc = SubsetTrueTypeFontWithoutEudc(dc, embeddingName, entry->wide, used, subset,
                                               cidToGid);
        }
        if (rc != kOk) return rc;
        if (type0 && entry->wide) {
            toUnicode = WriteToUnicodeCMap(entry->glyphs);
            if (toUnicode.empty()) return kCMapEmpty;
        }
    }
    base += style;
    const std::string baseName = PdfName(base);

    // 4. Flags.
    int flags = charSet == plat::kSymbolCharset ? 4 : 32;
    if ((m.pitchAndFamily & 0x01) == 0) flags += 1;
    if ((m.pitchAndFamily & 0x40) != 0) flags += 8;
    if (m.italic) flags += 64;

    // 5. The font must have a head table.
    std::array<uint8_t, 44> head{};
    if (dc.GetFontData(plat::SfntTag("head"), 0, head).value_or(0) != head.size()) return kNoHead;

    // The objects in the order they are written: the descriptor, the subset, the descendant
    // font and its map, and last the font object the pages name.
    constexpr int kDescriptor = 0;
    const int fileAt = entry->embed ? 1 : -1;
    const int descendantAt = type0 ? (entry->embed ? 2 : 1) : -1;
    const bool companion = type0 && entry->embed;  // ToUnicode or CIDToGIDMap stream
    const int companionAt = companion ? descendantAt + 1 : -1;

    // 6. Descriptor.
    const int stem = int(std::floor(m.weight * 0.2275 + 0.5));
    std::string text =
        PdfFormat("<<\r/Type /FontDescriptor\r/FontName /%s\r/Flags %d\r", baseName.c_str(), flags);
    if (entry->embed) {
        text += PdfFormat("/FontBBox [ %d %d %d %d ]\r/StemV %d\r", m.fontBoxLeft, m.macDescent,
                          m.fontBoxRight, m.macAscent, stem);
    } else {
        text += PdfFormat("/FontBBox [ %d %d %d %d ]\r/MissingWidth %d\r/StemV %d\r/StemH %d\r",
                          m.fontBoxLeft, m.macDescent, m.fontBoxRight, m.macAscent,
                          m.text.averageCharWidth, stem, stem);
    }
    // The metrics keep the angle in tenths of a degree; PDF wants degrees.
    text += PdfFormat("/ItalicAngle %d\r/CapHeight %d\r/XHeight %d\r/Ascent %d\r/Descent %d\r",
                      int(std::lround(m.italicAngle / 10.0)), m.macAscent, m.macAscent / 2,
                      m.macAscent, m.macDescent);
    PdfObject descriptor;
    if (entry->embed) {
        descriptor.Text(text + "/FontFile2 ").Ref(fileAt).Text("\r>>");
    } else {
        text += PdfFormat("/Leading %d\r/MaxWidth %d\r/AvgWidth %d\r>>", m.text.internalLeading,
                          m.text.maxCharWidth, m.text.averageCharWidth);
        descriptor.Text(std::move(text));
    }
    objects.push_back(std::move(descriptor));

    // 7. The subset.
    if (entry->embed) {
        PdfObject file;
        file.stream = true;
        file.length1 = true;
        file.data.assign(subset.begin(), subset.end());
        objects.push_back(std::move(file));
    }

    // 8. The descendant font.
    if (type0) {
        PdfObject descendant;
        text =
            PdfFormat("<<\r/Type /Font\r/Subtype /CIDFontType2\r/BaseFont /%s\r", baseName.c_str());
        if (!entry->embed) {
            text += charSet == plat::kShiftJisCharset ? std::string("/WinCharSet 128 ")
                                                      : PdfFormat("/WinCharSet %d ", charSet);
        }
        descendant.Text(text + "/FontDescriptor ").Ref(kDescriptor);
        text = "\r";
        if (entry->embed && !japan1Codes) {
            text += PdfFormat(
                "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity)/Supplement %d >>\r", 0);
        } else {
            if (entry->embed) {
                descendant.Text(text + "/CIDToGIDMap ").Ref(companionAt);
                text = "\r";
            }
            text += PdfFormat(
                "/CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) /Supplement %d >>\r", 2);
        }
        text += "/DW 1000\r";
        // Without widths every half-width character would take a full em.
        if (entry->embed && !japan1Codes) {
            GlyphAdvances advances(*face);
            std::map<uint16_t, int32_t> byGlyph;
            for (const auto& [code, glyph] : entry->glyphs) byGlyph[glyph] = advances.Of(glyph);
            std::vector<std::pair<uint32_t, int32_t>> widths(byGlyph.begin(), byGlyph.end());
            if (!widths.empty()) text += WidthArray(widths);
        } else {
            text += kJapan1Widths;
        }
        descendant.Text(text + ">>");
        objects.push_back(std::move(descendant));
        if (companion) {
            PdfObject map;
            map.stream = true;
            if (japan1Codes) {
                map.data.assign(cidToGid.begin(), cidToGid.end());
            } else {
                map.data = std::move(toUnicode);
            }
            objects.push_back(std::move(map));
        }
    }

    // 9. The font object, numbered when a page first used it.
    PdfObject object;
    object.numbered = entry->object;
    if (!type0) {
        const int first = std::clamp<int>(m.firstChar, 32, 255);
        const int last = std::clamp<int>(m.lastChar, first, 255);
        text = PdfFormat(
            "<<\r/Type /Font\r/Subtype /TrueType\r/Name /F%04d\r/BaseFont /%s\r"
            "/FirstChar %d\r/LastChar %d\r/Widths [\r",
            index, baseName.c_str(), first, last);
        for (int code = first; code <= last; ++code) {
            // A code the code page leaves undefined measures as an average character, so that
            // every later width keeps its place.
            const char32_t ch = Cp1252ToUnicode(uint8_t(code));
            int32_t width = m.text.averageCharWidth;
            if (ch != 0) {
                const plat::AbcWidth abc = face->CharAbcWidth(ch, kMeasureHeight);
                width = abc.a + abc.b + abc.c;
            }
            text += PdfFormat(" %d", width);
            if ((code - first) % 16 == 15) text += '\r';
        }
        object.Text(text + "]\r/FontDescriptor ")
            .Ref(kDescriptor)
            .Text("\r/Encoding /WinAnsiEncoding\r>>");
    } else {
        object.Text(PdfFormat("<<\r/Type /Font\r/Subtype /Type0\r/Name /F%04d\r/BaseFont /%s\r",
                              index, baseName.c_str()));
        if (entry->embed && !japan1Codes) object.Text("/ToUnicode ").Ref(companionAt).Text("\r");
        object.Text("/DescendantFonts [ ").Ref(descendantAt).Text(" ]\r");
        if (!entry->wide) {
            object.Text(base.starts_with("@") ? "/Encoding /90ms-RKSJ-V\r>>"
                                              : "/Encoding /90ms-RKSJ-H\r>>");
        } else if (!entry->embed) {
            object.Text(base.starts_with("@") ? "/Encoding /UniJIS-UCS2-HW-V\r>>"
                                              : "/Encoding /UniJIS-UCS2-HW-H\r>>");
        } else {
            object.Text(vertical ? "/Encoding /Identity-V\r>>" : "/Encoding /Identity-H\r>>");
        }
    }
    objects.push_back(std::move(object));
    return kOk;
}

}  // namespace kp
