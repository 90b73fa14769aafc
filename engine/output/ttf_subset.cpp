#include "engine/output/ttf_subset.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "engine/core/font_ansi.h"
#include "engine/output/unicode_aj1.h"
#include "platform/fonts/eudc_settings.h"
#include "platform/fonts/mapped_file.h"
#include "platform/fonts/sfnt.h"
#include "platform/gdi/device_context.h"

namespace kp {

namespace {

using plat::ByteReader;
using plat::LoadU16;
using plat::LoadU32;
using plat::SfntTag;
using plat::StoreU16;
using plat::StoreU32;
using Bytes = std::span<const uint8_t>;

constexpr uint32_t kTagCvt = SfntTag("cvt ");
constexpr uint32_t kTagFpgm = SfntTag("fpgm");
constexpr uint32_t kTagGlyf = SfntTag("glyf");
constexpr uint32_t kTagLoca = SfntTag("loca");
constexpr uint32_t kTagMaxp = SfntTag("maxp");
constexpr uint32_t kTagPrep = SfntTag("prep");
constexpr uint32_t kTagCmap = SfntTag("cmap");
constexpr uint32_t kTagHead = SfntTag("head");
constexpr uint32_t kTagHhea = SfntTag("hhea");
constexpr uint32_t kTagHmtx = SfntTag("hmtx");
constexpr uint32_t kTagName = SfntTag("name");
constexpr uint32_t kTagOs2 = SfntTag("OS/2");
constexpr uint32_t kTagPost = SfntTag("post");

constexpr size_t kHeadLength = 54;
constexpr size_t kMaxpLength = 32;
constexpr size_t kHeadChecksumAdjustment = 8;
constexpr uint32_t kChecksumMagic = 0xB1B0AFBA;

// Composite glyphs nest a few levels in real fonts (DejaVu: 4). Deeper nesting is refused as a
// broken or hostile font, as is a composite that contains itself.
constexpr int kMaxComponentDepth = 16;

// The tables a subset carries, with the code answered when one cannot be read. The tables
// glyf, loca, head and maxp are written by the subsetter itself; the others are copied (name
// is rewritten). The EUDC subset leaves out the last four.
struct IncludedTable {
    uint32_t tag;
    int readError;
    bool eudc;  // also carried by the EUDC subset
};
constexpr IncludedTable kIncludedTables[] = {
    {kTagCvt, kTtfCvtUnreadable, true},    {kTagFpgm, kTtfFpgmUnreadable, true},
    {kTagGlyf, kTtfGlyfUnreadable, true},  {kTagLoca, kTtfLocaUnreadable, true},
    {kTagMaxp, kTtfMaxpUnreadable, true},  {kTagPrep, kTtfPrepUnreadable, true},
    {kTagHead, kTtfHeadUnreadable, true},  {kTagHhea, kTtfHheaUnreadable, true},
    {kTagHmtx, kTtfHmtxUnreadable, true},  {kTagCmap, kTtfCmapUnreadable, false},
    {kTagName, kTtfNameUnreadable, false}, {kTagOs2, kTtfOs2Unreadable, false},
    {kTagPost, kTtfPostUnreadable, false},
};

const IncludedTable* Included(uint32_t tag, SubsetKind kind) {
    for (const auto& t : kIncludedTables) {
        if (t.tag == tag) return (kind == SubsetKind::kOrdinary || t.eudc) ? &t : nullptr;
    }
    return nullptr;
}

struct TableRecord {
    uint32_t tag;
    uint32_t offset;
    uint32_t length;
};

// One font read for one operation: its directory, the tables every operation needs and the
// chosen cmap subtable. Every view has been bounds-checked against the file.
class FontSource {
  public:
    FontSource(Bytes file, uint32_t faceOffset) : file_(file), faceOffset_(faceOffset) {}

    // The offset table and the table records.
    int ReadDirectory() {
        auto offsetTable = file_.Sub(faceOffset_, 12);
        if (!offsetTable) return kTtfOffsetTableUnreadable;
        version_ = LoadU32(offsetTable->data());
        uint16_t count = LoadU16(offsetTable->data() + 4);
        if (count > kTtfMaxTables) return kTtfTooManyTables;
        records_.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            auto rec = file_.Sub(uint64_t(faceOffset_) + 12 + uint64_t(i) * 16, 16);
            if (!rec) return kTtfTableRecordUnreadable;
            TableRecord r{LoadU32(rec->data()), LoadU32(rec->data() + 8),
                          LoadU32(rec->data() + 12)};
            // A second record of one tag makes it unclear which table is meant.
            if (Find(r.tag) != nullptr) return kTtfTableRecordUnreadable;
            records_.push_back(r);
        }
        return kTtfOk;
    }

    const TableRecord* Find(uint32_t tag) const {
        for (const auto& r : records_) {
            if (r.tag == tag) return &r;
        }
        return nullptr;
    }

    // The bytes of a table, or nothing when the record points outside the file.
    std::optional<Bytes> Table(const TableRecord& r) const { return file_.Sub(r.offset, r.length); }

    // head, maxp, loca and cmap.
    int ReadCoreTables() {
        const TableRecord* head = Find(kTagHead);
        if (head == nullptr) return kTtfNoHead;
        if (head->length != kHeadLength) return kTtfHeadBadLength;
        auto headBytes = Table(*head);
        if (!headBytes) return kTtfHeadUnreadable;
        head_ = *headBytes;
        shortLoca_ = LoadU16(head_.data() + 50) == 0;

        const TableRecord* maxp = Find(kTagMaxp);
        if (maxp == nullptr) return kTtfNoMaxp;
        if (maxp->length != kMaxpLength) return kTtfMaxpBadLength;
        auto maxpBytes = Table(*maxp);
        if (!maxpBytes) return kTtfMaxpUnreadable;
        maxp_ = *maxpBytes;
        numGlyphs_ = LoadU16(maxp_.data() + 4);

        const TableRecord* loca = Find(kTagLoca);
        if (loca == nullptr) return kTtfNoLoca;
        auto locaBytes = Table(*loca);
        // Every glyph needs its entry and the one after it.
        if (!locaBytes || locaBytes->size() < (size_t(numGlyphs_) + 1) * LocaEntrySize()) {
            return kTtfLocaUnreadable;
        }
        loca_ = *locaBytes;

        const TableRecord* cmap = Find(kTagCmap);
        if (cmap == nullptr) return kTtfNoCmap;
        auto cmapBytes = Table(*cmap);
        if (!cmapBytes) return kTtfCmapUnreadable;
        cmap_ = *cmapBytes;
        return kTtfOk;
    }

    // The glyph of a code unit through the first usable cmap subtable: Windows Unicode with
    // format 4 or Macintosh Roman with format 0. A code the font does not map, or maps to the
    // missing glyph (0) or past its last glyph, answers kTtfGlyphNotFound.
    int Lookup(char16_t code, uint16_t& glyph) {
        if (int rc = ChooseCmapSubtable(); rc != kTtfOk) return rc;
        uint32_t g = 0;
        if (cmapFormat_ == 0) {
            // A byte table holds single-byte codes only: a wider code is not in it (taking its
            // low byte would draw some other character).
            if (code <= 0xFF) g = cmapSubtable_[6 + code];
        } else {
            g = LookupFormat4(code);
            // Symbol fonts keep their glyphs at 0xF000 + the character code; GDI looks there
            // for codes below 0x100.
            if (g == 0 && symbol_ && code < 0x100) g = LookupFormat4(char16_t(0xF000 + code));
        }
        if (g == 0 || g >= numGlyphs_) return kTtfGlyphNotFound;
        glyph = uint16_t(g);
        return kTtfOk;
    }

    Bytes file() const { return file_.bytes(); }
    uint32_t version() const { return version_; }
    const std::vector<TableRecord>& records() const { return records_; }
    Bytes head() const { return head_; }
    Bytes maxp() const { return maxp_; }
    Bytes cmap() const { return cmap_; }
    uint16_t numGlyphs() const { return numGlyphs_; }
    bool shortLoca() const { return shortLoca_; }
    size_t LocaEntrySize() const { return shortLoca_ ? 2 : 4; }
    uint32_t LocaEntry(uint32_t i) const {
        return shortLoca_ ? uint32_t(LoadU16(loca_.data() + 2 * i)) * 2
                          : LoadU32(loca_.data() + 4 * i);
    }

  private:
    int ChooseCmapSubtable() {
        if (cmapFormat_ >= 0) return kTtfOk;
        ByteReader cmap(cmap_);
        auto count = cmap.U16(2);
        if (!count) return kTtfCmapUnreadable;
        // Windows Unicode or Macintosh Roman first; a Windows symbol cmap (3,0) when the font
        // has nothing else, as symbol fonts do.
        if (int rc = ChooseCmapSubtableOf(*count, false); rc != kTtfNoUsableCmap) return rc;
        return ChooseCmapSubtableOf(*count, true);
    }

    int ChooseCmapSubtableOf(uint32_t count, bool symbolOnly) {
        ByteReader cmap(cmap_);
        for (uint32_t i = 0; i < count; ++i) {
            auto rec = cmap.Sub(4 + uint64_t(i) * 8, 8);
            if (!rec) return kTtfCmapUnreadable;
            uint16_t platform = LoadU16(rec->data());
            uint16_t encoding = LoadU16(rec->data() + 2);
            uint32_t offset = LoadU32(rec->data() + 4);
            bool windowsUnicode = platform == 3 && (symbolOnly ? encoding == 0 : encoding == 1);
            bool macRoman = !symbolOnly && platform == 1 && encoding == 0;
            if (!windowsUnicode && !macRoman) continue;
            auto format = cmap.U16(offset);
            if (!format) return kTtfCmapUnreadable;
            if (windowsUnicode && *format == 4) {
                // From the subtable to the end of the table: some fonts state a wrong length.
                Bytes sub = cmap_.subspan(offset);
                auto segX2 = ByteReader(sub).U16(6);
                if (!segX2 || *segX2 == 0 || (*segX2 & 1) != 0 ||
                    sub.size() < 16 + size_t(*segX2) * 4) {
                    return kTtfCmapUnreadable;
                }
                cmapSubtable_ = sub;
                segCount_ = *segX2 / 2;
                cmapFormat_ = 4;
                symbol_ = symbolOnly;
                return kTtfOk;
            }
            if (macRoman && *format == 0) {
                auto sub = cmap.Sub(offset, 6 + 256);
                if (!sub) return kTtfCmapUnreadable;
                cmapSubtable_ = *sub;
                cmapFormat_ = 0;
                return kTtfOk;
            }
        }
        return kTtfNoUsableCmap;
    }

    uint32_t LookupFormat4(char16_t code) const {
        const uint8_t* s = cmapSubtable_.data();
        const uint8_t* ends = s + 14;
        const uint8_t* starts = ends + 2 * segCount_ + 2;
        const uint8_t* deltas = starts + 2 * segCount_;
        const uint8_t* rangeOffsets = deltas + 2 * segCount_;
        // The first segment that ends at or after the code (end codes ascend).
        uint32_t lo = 0, hi = segCount_;
        while (lo < hi) {
            uint32_t mid = (lo + hi) / 2;
            if (LoadU16(ends + 2 * mid) < code) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        if (lo == segCount_) return 0;
        uint16_t start = LoadU16(starts + 2 * lo);
        // The closing 0xFFFF segment only marks the end of the table.
        if (start > code || start == 0xFFFF) return 0;
        uint16_t delta = LoadU16(deltas + 2 * lo);
        uint16_t rangeOffset = LoadU16(rangeOffsets + 2 * lo);
        if (rangeOffset == 0) return uint16_t(code + delta);
        uint64_t at =
            uint64_t(rangeOffsets - s) + 2 * lo + rangeOffset + 2 * uint64_t(code - start);
        auto g = ByteReader(cmapSubtable_).U16(at);
        if (!g || *g == 0) return 0;
        return uint16_t(*g + delta);
    }

    ByteReader file_;
    uint32_t faceOffset_;
    uint32_t version_ = 0;
    std::vector<TableRecord> records_;
    Bytes head_, maxp_, loca_, cmap_;
    bool shortLoca_ = false;
    uint16_t numGlyphs_ = 0;
    int cmapFormat_ = -1;
    bool symbol_ = false;
    Bytes cmapSubtable_;
    uint32_t segCount_ = 0;
};

// Walks one glyph's data as the rasteriser reads it. Answers the number of bytes the glyph
// uses (its loca span may be padded), or nothing when the data is malformed; the glyphs a
// composite names are appended to `components`.
std::optional<size_t> WalkGlyph(Bytes g, uint16_t numGlyphs, std::vector<uint16_t>& components) {
    if (g.empty()) return 0;
    ByteReader r(g);
    if (g.size() < 10) return std::nullopt;
    int16_t contours = int16_t(LoadU16(g.data()));
    uint64_t pos = 10;
    if (contours >= 0) {
        uint32_t points = 0;
        if (contours > 0) {
            auto lastEnd = r.U16(pos + 2 * uint64_t(contours - 1));
            if (!lastEnd) return std::nullopt;
            points = uint32_t(*lastEnd) + 1;
            pos += 2 * uint64_t(contours);
        } else if (!r.Has(pos, 2)) {
            return pos;  // no contours and no instructions: the header alone
        }
        auto instructions = r.U16(pos);
        if (!instructions) return std::nullopt;
        pos += 2 + uint64_t(*instructions);
        uint64_t xBytes = 0, yBytes = 0;
        while (points > 0) {
            auto flag = r.U8(pos++);
            if (!flag) return std::nullopt;
            uint32_t repeat = 1;
            if (*flag & 0x08) {
                auto extra = r.U8(pos++);
                if (!extra) return std::nullopt;
                repeat += *extra;
            }
            if (repeat > points) return std::nullopt;
            points -= repeat;
            xBytes += repeat * ((*flag & 0x02) ? 1u : (*flag & 0x10) ? 0u : 2u);
            yBytes += repeat * ((*flag & 0x04) ? 1u : (*flag & 0x20) ? 0u : 2u);
        }
        pos += xBytes + yBytes;
        if (pos > g.size()) return std::nullopt;
        return size_t(pos);
    }
    bool instructions = false;
    uint16_t flags = 0;
    do {
        auto head = r.Sub(pos, 4);
        if (!head) return std::nullopt;
        flags = LoadU16(head->data());
        uint16_t glyph = LoadU16(head->data() + 2);
        if (glyph >= numGlyphs) return std::nullopt;
        components.push_back(glyph);
        pos += 4 + ((flags & 0x0001) ? 4 : 2);
        if (flags & 0x0008) {
            pos += 2;
        } else if (flags & 0x0040) {
            pos += 4;
        } else if (flags & 0x0080) {
            pos += 8;
        }
        if (flags & 0x0100) instructions = true;
        if (pos > g.size()) return std::nullopt;
    } while (flags & 0x0020);
    if (instructions) {
        auto length = r.U16(pos);
        if (!length) return std::nullopt;
        pos += 2 + uint64_t(*length);
        if (pos > g.size()) return std::nullopt;
    }
    return size_t(pos);
}

// The kept glyphs: glyph 0, the glyphs of the codes and, through composites, every glyph
// those are built of.
class GlyphPlan {
  public:
    GlyphPlan(const FontSource& font, Bytes glyf)
        : font_(font),
          glyf_(glyf),
          state_(font.numGlyphs(), kNew),
          height_(font.numGlyphs(), 0),
          length_(font.numGlyphs(), 0) {}

    bool Keep(uint16_t glyph) { return glyph >= font_.numGlyphs() || Visit(glyph, 0) >= 0; }
    bool kept(uint16_t glyph) const { return state_[glyph] == kDone; }
    uint32_t length(uint16_t glyph) const { return length_[glyph]; }
    uint32_t start(uint16_t glyph) const { return font_.LocaEntry(glyph); }

  private:
    enum : uint8_t { kNew, kOnPath, kDone };

    // Answers the nesting height below the glyph, or -1 for a broken glyph, a cycle or
    // nesting deeper than kMaxComponentDepth.
    int Visit(uint16_t glyph, int depth) {
        if (state_[glyph] == kDone) return height_[glyph];
        if (state_[glyph] == kOnPath || depth > kMaxComponentDepth) return -1;
        uint32_t begin = font_.LocaEntry(glyph);
        uint32_t end = font_.LocaEntry(uint32_t(glyph) + 1);
        if (begin > end || end > glyf_.size()) return -1;
        std::vector<uint16_t> components;
        auto length = WalkGlyph(glyf_.subspan(begin, end - begin), font_.numGlyphs(), components);
        if (!length) return -1;
        state_[glyph] = kOnPath;
        int height = 0;
        for (uint16_t c : components) {
            int h = Visit(c, depth + 1);
            if (h < 0) return -1;
            height = std::max(height, h + 1);
        }
        if (height > kMaxComponentDepth) return -1;
        state_[glyph] = kDone;
        height_[glyph] = uint8_t(height);
        length_[glyph] = uint32_t(*length);
        return height;
    }

    const FontSource& font_;
    Bytes glyf_;
    std::vector<uint8_t> state_;
    std::vector<uint8_t> height_;
    std::vector<uint32_t> length_;
};

void AppendU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void AppendUtf16Be(std::vector<uint8_t>& out, std::u16string_view s) {
    for (char16_t c : s) AppendU16(out, c);
}

// The name table with the embedding name as family (1) and full name (4): UTF-16 big-endian
// for the Unicode and Windows platforms, the ANSI code page for Macintosh. Other records keep
// their strings; strings that several records share are stored once.
int RewriteName(Bytes name, std::u16string_view embeddingName, std::vector<uint8_t>& out) {
    ByteReader r(name);
    auto format = r.U16(0);
    auto count = r.U16(2);
    auto storage = r.U16(4);
    if (!format || !count || !storage) return kTtfNameUnreadable;
    uint64_t recordsEnd = 6 + uint64_t(*count) * 12;
    // Format 1 adds language-tag records (length, offset into the same storage).
    uint16_t langTags = 0;
    if (*format == 1) {
        auto n = r.U16(recordsEnd);
        if (!n) return kTtfNameUnreadable;
        langTags = *n;
    }
    uint64_t headerEnd = recordsEnd + (*format == 1 ? 2 + uint64_t(langTags) * 4 : 0);
    if (!r.Has(0, headerEnd)) return kTtfNameUnreadable;

    std::vector<uint8_t> unicodeName, ansiName;
    AppendUtf16Be(unicodeName, embeddingName);
    std::string ansi = Utf16ToAnsi(embeddingName);
    ansiName.assign(ansi.begin(), ansi.end());

    std::vector<uint8_t> strings;
    // The strings placed so far, to store a string that several records share once (a name
    // table holds a few dozen records).
    struct Placed {
        uint16_t offset, length;
    };
    std::vector<Placed> placed;
    // Places a string in the new storage; false when the storage outgrows 16-bit offsets.
    auto place = [&](Bytes s, uint16_t& length, uint16_t& offset) {
        if (s.size() > 0xFFFF) return false;
        length = uint16_t(s.size());
        for (const Placed& p : placed) {
            if (p.length == length &&
                (length == 0 || std::memcmp(strings.data() + p.offset, s.data(), length) == 0)) {
                offset = p.offset;
                return true;
            }
        }
        if (strings.size() > 0xFFFF) return false;
        offset = uint16_t(strings.size());
        strings.insert(strings.end(), s.begin(), s.end());
        placed.push_back({offset, length});
        return true;
    };
    auto source = [&](uint16_t length, uint16_t offset) {
        return r.Sub(uint64_t(*storage) + offset, length);
    };

    out.clear();
    out.resize(headerEnd);
    StoreU16(out.data(), *format);
    StoreU16(out.data() + 2, *count);
    StoreU16(out.data() + 4, uint16_t(headerEnd));
    for (uint32_t i = 0; i < *count; ++i) {
        const uint8_t* rec = name.data() + 6 + i * 12;
        uint8_t* dst = out.data() + 6 + i * 12;
        std::memcpy(dst, rec, 8);
        uint16_t platform = LoadU16(rec);
        uint16_t nameId = LoadU16(rec + 6);
        auto str = source(LoadU16(rec + 8), LoadU16(rec + 10));
        if (!str) return kTtfNameUnreadable;
        Bytes value = *str;
        if (nameId == 1 || nameId == 4) {
            if (platform == 0 || platform == 3) value = unicodeName;
            if (platform == 1) value = ansiName;
        }
        uint16_t length = 0, offset = 0;
        if (!place(value, length, offset)) return kTtfNameUnreadable;
        StoreU16(dst + 8, length);
        StoreU16(dst + 10, offset);
    }
    if (*format == 1) {
        StoreU16(out.data() + recordsEnd, langTags);
        for (uint32_t i = 0; i < langTags; ++i) {
            const uint8_t* rec = name.data() + recordsEnd + 2 + i * 4;
            auto str = source(LoadU16(rec), LoadU16(rec + 2));
            if (!str) return kTtfNameUnreadable;
            uint16_t length = 0, offset = 0;
            if (!place(*str, length, offset)) return kTtfNameUnreadable;
            StoreU16(out.data() + recordsEnd + 2 + i * 4, length);
            StoreU16(out.data() + recordsEnd + 4 + i * 4, offset);
        }
    }
    if (headerEnd > 0xFFFF) return kTtfNameUnreadable;
    out.insert(out.end(), strings.begin(), strings.end());
    return kTtfOk;
}

// Fills the glyph map: entry CID receives the glyph, big-endian. A CID beyond the buffer is
// dropped (none of UniJIS-UCS2-H's is).
void PutCid(std::span<uint8_t> map, int cid, uint16_t glyph) {
    if (cid < 0 || size_t(cid) * 2 + 2 > map.size()) return;
    StoreU16(map.data() + size_t(cid) * 2, glyph);
}

// Half-width CIDs of the 90ms-RKSJ encoding that ANSI text is written with: the ASCII range
// from the space to '}' at 231 onwards, and '~' (overline) at 631.
constexpr int kHalfWidthSpaceCid = 231;
constexpr int kHalfWidthOverlineCid = 631;

int AnsiCid(char16_t code) {
    if (code >= 0x20 && code <= 0x7D) return kHalfWidthSpaceCid + (code - 0x20);
    if (code == 0x7E) return kHalfWidthOverlineCid;
    return UnicodeToAj1Cid(code);
}

class SfntWriter {
  public:
    explicit SfntWriter(std::vector<uint8_t>& out) : out_(out) {}

    // Starts a table at the next 4-byte boundary.
    void Begin(uint32_t tag) {
        Pad4();
        tables_.push_back({tag, uint32_t(out_.size()), 0});
    }
    void End() { tables_.back().length = uint32_t(out_.size() - tables_.back().offset); }
    void Append(Bytes b) { out_.insert(out_.end(), b.begin(), b.end()); }
    void Table(uint32_t tag, Bytes b) {
        Begin(tag);
        Append(b);
        End();
    }

    // The offset table and the records sorted by tag, with checksums and search fields, and
    // head's checksum adjustment over the finished file.
    void Finish(uint32_t version) {
        Pad4();
        std::sort(tables_.begin(), tables_.end(),
                  [](const TableRecord& a, const TableRecord& b) { return a.tag < b.tag; });
        uint16_t n = uint16_t(tables_.size());
        uint16_t selector = 0;
        while ((2u << selector) <= n) ++selector;
        uint16_t searchRange = uint16_t(16u << selector);
        uint8_t* dir = out_.data();
        StoreU32(dir, version);
        StoreU16(dir + 4, n);
        StoreU16(dir + 6, searchRange);
        StoreU16(dir + 8, selector);
        StoreU16(dir + 10, uint16_t(n * 16 - searchRange));
        uint32_t headOffset = 0;
        for (size_t i = 0; i < tables_.size(); ++i) {
            const TableRecord& t = tables_[i];
            if (t.tag == kTagHead) {
                headOffset = t.offset;
                StoreU32(out_.data() + t.offset + kHeadChecksumAdjustment, 0);
            }
            uint8_t* rec = dir + 12 + i * 16;
            StoreU32(rec, t.tag);
            StoreU32(rec + 4, plat::SfntChecksum(Bytes(out_).subspan(t.offset, t.length)));
            StoreU32(rec + 8, t.offset);
            StoreU32(rec + 12, t.length);
        }
        uint32_t adjustment = kChecksumMagic - plat::SfntChecksum(out_);
        StoreU32(out_.data() + headOffset + kHeadChecksumAdjustment, adjustment);
    }

  private:
    void Pad4() { out_.resize((out_.size() + 3) & ~size_t(3), 0); }

    std::vector<uint8_t>& out_;
    std::vector<TableRecord> tables_;
};

int Subset(FontSource& font, SubsetKind kind, std::u16string_view embeddingName, bool wide,
           std::u16string_view codes, std::vector<uint8_t>& out, std::span<uint8_t> cidMap) {
    if (int rc = font.ReadDirectory(); rc != kTtfOk) return rc;

    std::vector<const TableRecord*> included;
    for (const auto& r : font.records()) {
        if (Included(r.tag, kind) != nullptr) included.push_back(&r);
    }

    // Spaces have no outline to keep; the glyph map gets them below.
    std::vector<std::pair<char16_t, uint16_t>> codeList;
    codeList.reserve(codes.size());
    for (char16_t c : codes) {
        if (c != 0x0020 && c != 0x3000) codeList.emplace_back(c, 0);
    }

    if (int rc = font.ReadCoreTables(); rc != kTtfOk) return rc;

    for (auto& [code, glyph] : codeList) {
        // A character the font lacks is drawn with the missing glyph (0), which every subset
        // keeps: one such character must not cost the whole document its font.
        int rc = font.Lookup(code, glyph);
        if (rc == kTtfGlyphNotFound) {
            glyph = 0;
        } else if (rc != kTtfOk) {
            return rc;
        }
    }
    std::stable_sort(codeList.begin(), codeList.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });

    if (!cidMap.empty()) {
        for (const auto& [code, glyph] : codeList) {
            PutCid(cidMap, wide ? UnicodeToAj1Cid(code) : AnsiCid(code), glyph);
        }
        if (kind == SubsetKind::kOrdinary) {
            uint16_t space = 0;
            for (char16_t c : {char16_t(0x0020), char16_t(0x3000)}) {
                int cid = UnicodeToAj1Cid(c);
                if (cid < 0) return kTtfSpaceOutsideCidTable;
                uint16_t glyph = 0;
                int rc = font.Lookup(c, glyph);
                if (rc != kTtfOk && rc != kTtfGlyphNotFound) return rc;
                if (c == 0x0020) space = glyph;
                PutCid(cidMap, cid, glyph);
            }
            PutCid(cidMap, kHalfWidthSpaceCid, space);
        } else {
            PutCid(cidMap, kHalfWidthSpaceCid, 0);
        }
    }

    const TableRecord* glyfRecord = font.Find(kTagGlyf);
    if (glyfRecord == nullptr) return kTtfNoGlyf;
    auto glyf = font.Table(*glyfRecord);
    if (!glyf) return kTtfGlyfUnreadable;

    GlyphPlan plan(font, *glyf);
    if (!plan.Keep(0)) return kTtfGlyfUnreadable;
    for (const auto& entry : codeList) {
        if (!plan.Keep(entry.second)) return kTtfGlyfUnreadable;
    }

    // Every included table is checked before anything is written.
    for (const TableRecord* r : included) {
        if (!font.Table(*r)) return Included(r->tag, kind)->readError;
    }

    // Room for the whole font at once: every table may take 3 bytes of padding, and each
    // kept glyph one more.
    const uint16_t numGlyphs = font.numGlyphs();
    size_t size = 12 + included.size() * 20 + (size_t(numGlyphs) + 1) * font.LocaEntrySize();
    for (const TableRecord* r : included) {
        if (r->tag != kTagGlyf && r->tag != kTagLoca) size += r->length;
    }
    for (uint32_t g = 0; g < numGlyphs; ++g) {
        if (plan.kept(uint16_t(g))) size += plan.length(uint16_t(g)) + 1;
    }
    out.clear();
    out.reserve(size);
    out.resize(12 + included.size() * 16, 0);
    SfntWriter writer(out);

    // glyf: the kept glyphs in glyph order, at even offsets when loca holds halves.
    std::vector<uint32_t> loca(size_t(numGlyphs) + 1);
    writer.Begin(kTagGlyf);
    const size_t glyfStart = out.size();
    for (uint32_t g = 0; g < numGlyphs; ++g) {
        loca[g] = uint32_t(out.size() - glyfStart);
        if (!plan.kept(uint16_t(g))) continue;
        writer.Append(glyf->subspan(plan.start(uint16_t(g)), plan.length(uint16_t(g))));
        if (font.shortLoca() && (out.size() - glyfStart) % 2 != 0) out.push_back(0);
    }
    loca[numGlyphs] = uint32_t(out.size() - glyfStart);
    // A table length that is a multiple of 4 (the loca's last entry says where glyf ends).
    out.resize(glyfStart + ((out.size() - glyfStart + 3) & ~size_t(3)), 0);
    writer.End();
    if (font.shortLoca() && loca[numGlyphs] / 2 > 0xFFFF) return kTtfGlyfUnreadable;

    writer.Table(kTagHead, font.head());
    writer.Table(kTagMaxp, font.maxp());

    writer.Begin(kTagLoca);
    for (uint32_t entry : loca) {
        if (font.shortLoca()) {
            AppendU16(out, uint16_t(entry / 2));
        } else {
            AppendU16(out, uint16_t(entry >> 16));
            AppendU16(out, uint16_t(entry));
        }
    }
    writer.End();

    if (kind == SubsetKind::kOrdinary) writer.Table(kTagCmap, font.cmap());

    for (const TableRecord* r : included) {
        uint32_t tag = r->tag;
        if (tag == kTagGlyf || tag == kTagHead || tag == kTagMaxp || tag == kTagLoca ||
            tag == kTagCmap) {
            continue;
        }
        Bytes bytes = *font.Table(*r);
        if (tag == kTagName) {
            std::vector<uint8_t> name;
            if (int rc = RewriteName(bytes, embeddingName, name); rc != kTtfOk) return rc;
            writer.Table(tag, name);
        } else {
            writer.Table(tag, bytes);
        }
    }
    writer.Finish(font.version());
    return kTtfOk;
}

// Runs an operation with the rule that every failure leaves no partial result behind.
template <typename F>
int Guarded(std::vector<uint8_t>& out, std::span<uint8_t> cidMap, F&& operation) {
    int rc;
    try {
        rc = operation();
    } catch (const std::bad_alloc&) {
        rc = kTtfNoMemory;
    }
    if (rc != kTtfOk) {
        out.clear();
        out.shrink_to_fit();
        // A map buffer that was refused is not the caller's to lose; any other is left empty.
        if (rc != kTtfMapBufferUnusable) std::fill(cidMap.begin(), cidMap.end(), uint8_t(0));
    }
    return rc;
}

int CheckMap(std::span<uint8_t> cidMap) {
    if (cidMap.empty()) return kTtfOk;
    if (cidMap.size() < kCidMapBytes) return kTtfMapBufferUnusable;
    std::fill(cidMap.begin(), cidMap.end(), uint8_t(0));
    return kTtfOk;
}

// The EUDC font of a face: the face's own file, else the system default one.
int MapEudcFont(std::u16string_view face, std::unique_ptr<plat::MappedFile>& file) {
    auto path = plat::FindEudcFontFile(face);
    if (!path) return kTtfNoEudcFont;
    file = plat::MappedFile::Open(*path);
    if (file) return kTtfOk;
    auto fallback = plat::SystemDefaultEudcFontFile();
    if (!fallback) return kTtfNoEudcFont;
    file = plat::MappedFile::Open(*fallback);
    return file ? kTtfOk : kTtfEudcFontUnmappable;
}

int FindGlyph(FontSource& font, char16_t code, uint16_t& glyph) {
    if (int rc = font.ReadDirectory(); rc != kTtfOk) return rc;
    if (int rc = font.ReadCoreTables(); rc != kTtfOk) return rc;
    return font.Lookup(code, glyph);
}

}  // namespace

int SubsetSfnt(std::span<const uint8_t> file, uint32_t faceOffset, SubsetKind kind,
               std::u16string_view embeddingName, bool wide, std::u16string_view codes,
               std::vector<uint8_t>& font, std::span<uint8_t> cidMap) {
    return Guarded(font, cidMap, [&] {
        if (int rc = CheckMap(cidMap); rc != kTtfOk) return rc;
        FontSource source(file, faceOffset);
        return Subset(source, kind, embeddingName, wide, codes, font, cidMap);
    });
}

int FindSfntGlyph(std::span<const uint8_t> file, uint32_t faceOffset, char16_t code,
                  uint16_t& glyph) {
    try {
        FontSource source(file, faceOffset);
        return FindGlyph(source, code, glyph);
    } catch (const std::bad_alloc&) {
        return kTtfNoMemory;
    }
}

int SubsetTrueTypeFontWithoutEudc(plat::DeviceContext& dc, std::u16string_view embeddingName,
                                  bool wide, std::u16string_view codes, std::vector<uint8_t>& font,
                                  std::span<uint8_t> cidMap) {
    return Guarded(font, cidMap, [&] {
        if (int rc = CheckMap(cidMap); rc != kTtfOk) return rc;
        // No face behind the selected font reads as a failed GetFontData.
        auto face = dc.SelectedFace();
        if (!face) return kTtfOffsetTableUnreadable;
        FontSource source(face->fileBytes(), face->faceOffset());
        return Subset(source, SubsetKind::kOrdinary, embeddingName, wide, codes, font, cidMap);
    });
}

int SubsetTrueTypeFont(std::u16string_view face, bool wide, std::u16string_view codes,
                       std::vector<uint8_t>& font, std::span<uint8_t> cidMap) {
    return Guarded(font, cidMap, [&] {
        std::unique_ptr<plat::MappedFile> file;
        if (int rc = MapEudcFont(face, file); rc != kTtfOk) return rc;
        if (int rc = CheckMap(cidMap); rc != kTtfOk) return rc;
        FontSource source(file->bytes(), 0);
        return Subset(source, SubsetKind::kEudc, {}, wide, codes, font, cidMap);
    });
}

int FindFontGlyph(plat::DeviceContext& dc, char16_t code, uint16_t& glyph) {
    auto face = dc.SelectedFace();
    if (!face) return kTtfOffsetTableUnreadable;
    return FindSfntGlyph(face->fileBytes(), face->faceOffset(), code, glyph);
}

int FindEudcGlyph(std::u16string_view face, char16_t code, uint16_t& glyph) {
    try {
        std::unique_ptr<plat::MappedFile> file;
        if (int rc = MapEudcFont(face, file); rc != kTtfOk) return rc;
        FontSource source(file->bytes(), 0);
        return FindGlyph(source, code, glyph);
    } catch (const std::bad_alloc&) {
        return kTtfNoMemory;
    }
}

}  // namespace kp
