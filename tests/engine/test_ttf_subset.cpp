// Subsetting and glyph look-ups on the small generated fixtures of tests/fixtures/fonts
// (make_fixtures.py): composites of every form, broken fonts, cmap forms, names, the glyph map
// and the end-user-defined-character font.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/font_ansi.h"
#include "engine/output/ttf_subset.h"
#include "engine/output/unicode_aj1.h"
#include "platform/automation/automation.h"
#include "platform/fonts/font_resolver.h"
#include "platform/gdi/device_context.h"
#include "tests/fixtures/fonts/font_test_support.h"

namespace {

using namespace fonttest;

const std::string kComposite = Fixture("qzs-fixture-composite.ttf");

// Glyph numbers of the composite fixture.
enum : uint16_t {
    kNotdef = 0,
    kTri = 1,
    kSquare = 2,
    kCompA = 3,
    kCompB = 4,
    kCompC = 5,
    kCompD = 6,
    kNested = 7,
    kUnused = 8,
    kSpace = 10,
    kShuffle1 = 11,
    kShuffle2 = 12,
    kPrivate = 13,
    kChain16 = 30,
};

int Subset(const std::vector<uint8_t>& font, std::u16string_view codes, std::vector<uint8_t>& out,
           kp::SubsetKind kind = kp::SubsetKind::kOrdinary) {
    return kp::SubsetSfnt(font, 0, kind, u"EmbedFont0007", true, codes, out);
}

// The glyphs with an outline in a subset.
std::vector<long> KeptGlyphs(const std::vector<uint8_t>& subset) {
    FreeTypeFont ft(subset);
    std::vector<long> kept;
    for (long g = 0; ft.ok() && g < ft.numGlyphs(); ++g) {
        if (ft.Points(unsigned(g)) > 0) kept.push_back(g);
    }
    return kept;
}

TEST(TtfSubset, CompositesBringTheirComponentsAndKeepTheirData) {
    std::vector<uint8_t> font = ReadBytes(kComposite);
    struct Case {
        std::u16string codes;
        std::vector<long> kept;
    } cases[] = {
        // Byte arguments.
        {u"A", {kNotdef, kTri, kCompA}},
        // Word arguments with one scale; separate x and y scales.
        {u"BC", {kNotdef, kTri, kSquare, kCompB, kCompC}},
        // 2x2 transform with instructions.
        {u"D", {kNotdef, kTri, kSquare, kCompD}},
        // A composite of composites brings the components of its components.
        {u"E", {kNotdef, kTri, kSquare, kCompA, kCompD, kNested}},
        // A 16-level chain is kept whole.
        {u"\u0100",
         {kNotdef, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, kChain16}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.codes.begin(), c.codes.end()));
        std::vector<uint8_t> subset;
        ASSERT_EQ(Subset(font, c.codes, subset), kp::kTtfOk);
        EXPECT_EQ(KeptGlyphs(subset), c.kept);
        if (c.codes != u"\u0100") {
            // FreeType refuses to draw the deep chain, which is not what is tested here.
            ExpectSoundSubset(kComposite, 0, subset, c.codes, "ordinary", "EmbedFont0007");
        }
    }
}

TEST(TtfSubset, ShortLocaKeepsGlyphsAtEvenOffsets) {
    std::vector<uint8_t> font = ReadBytes(kComposite);
    ASSERT_EQ(Get16(SfntEditor{font}.Table(Tag("head")), 50), 0);
    std::vector<uint8_t> subset;
    std::u16string codes = u"TSABCDEabc\uF000";
    ASSERT_EQ(Subset(font, codes, subset), kp::kTtfOk);
    SfntEditor out{subset};
    std::vector<uint8_t> loca = out.Table(Tag("loca"));
    std::vector<uint8_t> glyf = out.Table(Tag("glyf"));
    // The last entry (in halves) ends the glyph data; the table is padded to 4 bytes.
    uint32_t end = uint32_t(Get16(loca, loca.size() - 2)) * 2;
    EXPECT_LE(end, glyf.size());
    EXPECT_EQ(glyf.size() % 4, 0u);
    EXPECT_GT(glyf.size(), 0u);
    ExpectSoundSubset(kComposite, 0, subset, codes, "ordinary", "EmbedFont0007");
}

TEST(TtfSubset, OnlySpacesGiveGlyphZeroAlone) {
    std::vector<uint8_t> font = ReadBytes(kComposite);
    for (std::u16string codes : {u" ", u"\u3000", u"  \u3000 ", u""}) {
        std::vector<uint8_t> subset;
        ASSERT_EQ(Subset(font, codes, subset), kp::kTtfOk);
        EXPECT_EQ(KeptGlyphs(subset), std::vector<long>{kNotdef});
    }
}

TEST(TtfSubset, MissingCharactersKeepGlyphZeroWhileLookupsReportThem) {
    std::vector<uint8_t> font = ReadBytes(kComposite);
    std::vector<uint8_t> subset;
    ASSERT_EQ(Subset(font, u"A\u4E00Z", subset), kp::kTtfOk);
    EXPECT_EQ(KeptGlyphs(subset), (std::vector<long>{kNotdef, kTri, kCompA}));
    uint16_t glyph = 0;
    EXPECT_EQ(kp::FindSfntGlyph(font, 0, u'\u4E00', glyph), kp::kTtfGlyphNotFound);
    EXPECT_EQ(kp::FindSfntGlyph(font, 0, u'Z', glyph), kp::kTtfGlyphNotFound);
}

TEST(TtfSubset, TableCountLimit) {
    for (size_t tables : {size_t(50), size_t(51)}) {
        SfntEditor font{ReadBytes(kComposite)};
        font.GrowTo(tables);
        int expected = tables > kp::kTtfMaxTables ? kp::kTtfTooManyTables : kp::kTtfOk;
        std::vector<uint8_t> subset;
        EXPECT_EQ(Subset(font.bytes, u"A", subset), expected) << tables;
        uint16_t glyph = 0;
        EXPECT_EQ(kp::FindSfntGlyph(font.bytes, 0, u'A', glyph), expected) << tables;
        if (expected == kp::kTtfOk) {
            // Only the tables a subset carries are written.
            EXPECT_EQ(SfntEditor{subset}.NumTables(), 13);
        } else {
            EXPECT_TRUE(subset.empty());
        }
    }
}

// Glyph look-ups through the format 4 subtable (delta and glyph-array segments) and the
// Macintosh Roman byte table.
TEST(TtfSubset, GlyphLookups) {
    std::vector<uint8_t> composite = ReadBytes(kComposite);
    std::vector<uint8_t> macRoman = ReadBytes(Fixture("qzs-fixture-macroman.ttf"));
    struct Case {
        const std::vector<uint8_t>* font;
        char16_t code;
        int rc;
        uint16_t glyph;
    } cases[] = {
        {&composite, u'T', kp::kTtfOk, kTri},
        {&composite, u'E', kp::kTtfOk, kNested},
        {&composite, u'a', kp::kTtfOk, kShuffle2},  // glyph array
        {&composite, u'b', kp::kTtfOk, kShuffle1},
        {&composite, u'c', kp::kTtfOk, kSquare},
        {&composite, u'\uF000', kp::kTtfOk, kPrivate},  // delta wrapping past 65536
        {&composite, u' ', kp::kTtfOk, kSpace},
        {&composite, u'\u3000', kp::kTtfOk, kSpace},
        {&composite, u'Z', kp::kTtfGlyphNotFound, 0},
        {&composite, u'\uFFFF', kp::kTtfGlyphNotFound, 0},  // the closing segment
        {&composite, u'\0', kp::kTtfGlyphNotFound, 0},
        {&macRoman, u'A', kp::kTtfOk, 1},
        {&macRoman, u'B', kp::kTtfGlyphNotFound, 0},
        // Not the byte table's 'A' through its low byte.
        {&macRoman, u'\u0141', kp::kTtfGlyphNotFound, 0},
        {&macRoman, u'\uF041', kp::kTtfGlyphNotFound, 0},  // only in the symbol subtable
    };
    for (const auto& c : cases) {
        uint16_t glyph = 0xFFFF;
        EXPECT_EQ(kp::FindSfntGlyph(*c.font, 0, c.code, glyph), c.rc) << int(c.code);
        if (c.rc == kp::kTtfOk) {
            EXPECT_EQ(glyph, c.glyph) << int(c.code);
        }
    }
}

// Broken fonts: each answers its code, for the subset and (where the look-up reads that far)
// for a single glyph, and nothing is returned.
TEST(TtfSubset, BrokenFontsAnswerTheirCodes) {
    using Edit = std::function<void(SfntEditor&)>;
    auto beyond = [](const char(&tag)[5]) {
        return [t = Tag(tag)](SfntEditor& f) { f.SetOffset(t, uint32_t(f.bytes.size()) - 2); };
    };
    auto rename = [](const char(&tag)[5]) {
        return [t = Tag(tag)](SfntEditor& f) { f.Rename(t, Tag("zzzz")); };
    };
    // Offset of a glyph of the (short-loca) fixture inside the file.
    auto glyphAt = [](SfntEditor& f, uint16_t g) {
        std::vector<uint8_t> loca = f.Table(Tag("loca"));
        return f.Offset(Tag("glyf")) + uint32_t(Get16(loca, 2 * g)) * 2;
    };
    struct Case {
        const char* what;
        Edit edit;
        int subset;  // code of the subset of "ABCDETS"
        int lookup;  // code of the look-up of 'A'
    } cases[] = {
        {"file of 8 bytes", [](SfntEditor& f) { f.bytes.resize(8); }, kp::kTtfOffsetTableUnreadable,
         kp::kTtfOffsetTableUnreadable},
        {"directory cut", [](SfntEditor& f) { f.bytes.resize(12 + 16 * 3); },
         kp::kTtfTableRecordUnreadable, kp::kTtfTableRecordUnreadable},
        {"two glyf records", [](SfntEditor& f) { f.Rename(Tag("gasp"), Tag("glyf")); },
         kp::kTtfTableRecordUnreadable, kp::kTtfTableRecordUnreadable},
        {"no head", rename("head"), kp::kTtfNoHead, kp::kTtfNoHead},
        {"head of 53 bytes", [](SfntEditor& f) { f.SetLength(Tag("head"), 53); },
         kp::kTtfHeadBadLength, kp::kTtfHeadBadLength},
        {"head outside the file", beyond("head"), kp::kTtfHeadUnreadable, kp::kTtfHeadUnreadable},
        {"no maxp", rename("maxp"), kp::kTtfNoMaxp, kp::kTtfNoMaxp},
        {"maxp of 6 bytes", [](SfntEditor& f) { f.SetLength(Tag("maxp"), 6); },
         kp::kTtfMaxpBadLength, kp::kTtfMaxpBadLength},
        {"maxp outside the file", beyond("maxp"), kp::kTtfMaxpUnreadable, kp::kTtfMaxpUnreadable},
        {"no loca", rename("loca"), kp::kTtfNoLoca, kp::kTtfNoLoca},
        {"loca one entry short",
         [](SfntEditor& f) { f.SetLength(Tag("loca"), f.Length(Tag("loca")) - 2); },
         kp::kTtfLocaUnreadable, kp::kTtfLocaUnreadable},
        {"loca outside the file", beyond("loca"), kp::kTtfLocaUnreadable, kp::kTtfLocaUnreadable},
        {"no cmap", rename("cmap"), kp::kTtfNoCmap, kp::kTtfNoCmap},
        {"cmap outside the file", beyond("cmap"), kp::kTtfCmapUnreadable, kp::kTtfCmapUnreadable},
        {"cmap records run past the table before a usable one",
         [](SfntEditor& f) {
             Put16(f.bytes, f.Offset(Tag("cmap")) + 2, 4000);
             Put16(f.bytes, f.Offset(Tag("cmap")) + 4 + 8 + 2, 10);
         },
         kp::kTtfCmapUnreadable, kp::kTtfCmapUnreadable},
        {"cmap subtable outside the table",
         [](SfntEditor& f) { Put32(f.bytes, f.Offset(Tag("cmap")) + 4 + 8 + 4, 0x7FFFFFF0); },
         kp::kTtfCmapUnreadable, kp::kTtfCmapUnreadable},
        {"format 4 segments beyond the table",
         [](SfntEditor& f) {
             size_t sub = f.Offset(Tag("cmap")) + Get32(f.bytes, f.Offset(Tag("cmap")) + 16);
             Put16(f.bytes, sub + 6, 0x7FFE);
         },
         kp::kTtfCmapUnreadable, kp::kTtfCmapUnreadable},
        {"no Windows Unicode or Macintosh Roman subtable",
         [](SfntEditor& f) { Put16(f.bytes, f.Offset(Tag("cmap")) + 4 + 8 + 2, 10); },
         kp::kTtfNoUsableCmap, kp::kTtfNoUsableCmap},
        {"no glyf", rename("glyf"), kp::kTtfNoGlyf, kp::kTtfOk},
        {"glyf shorter than its glyphs", [](SfntEditor& f) { f.SetLength(Tag("glyf"), 40); },
         kp::kTtfGlyfUnreadable, kp::kTtfOk},
        {"glyf outside the file", beyond("glyf"), kp::kTtfGlyfUnreadable, kp::kTtfOk},
        {"composite naming itself",
         [&](SfntEditor& f) { Put16(f.bytes, glyphAt(f, kCompA) + 12, kCompA); },
         kp::kTtfGlyfUnreadable, kp::kTtfOk},
        {"composite cycle through two glyphs",
         [&](SfntEditor& f) { Put16(f.bytes, glyphAt(f, kCompD) + 12, kNested); },
         kp::kTtfGlyfUnreadable, kp::kTtfOk},
        {"component past the last glyph",
         [&](SfntEditor& f) { Put16(f.bytes, glyphAt(f, kCompB) + 12, 4000); },
         kp::kTtfGlyfUnreadable, kp::kTtfOk},
        {"instructions longer than the glyph",
         [&](SfntEditor& f) { Put16(f.bytes, glyphAt(f, kTri) + 12, 0xFFFF); },
         kp::kTtfGlyfUnreadable, kp::kTtfOk},
        {"flag repeat past the last point",
         [&](SfntEditor& f) { f.bytes[glyphAt(f, kTri) + 14] |= 0x08; }, kp::kTtfGlyfUnreadable,
         kp::kTtfOk},
        {"more contours than data",
         [&](SfntEditor& f) { Put16(f.bytes, glyphAt(f, kSquare), 0x7FFF); },
         kp::kTtfGlyfUnreadable, kp::kTtfOk},
        {"cvt outside the file", beyond("cvt "), kp::kTtfCvtUnreadable, kp::kTtfOk},
        {"fpgm outside the file", beyond("fpgm"), kp::kTtfFpgmUnreadable, kp::kTtfOk},
        {"prep outside the file", beyond("prep"), kp::kTtfPrepUnreadable, kp::kTtfOk},
        {"hhea outside the file", beyond("hhea"), kp::kTtfHheaUnreadable, kp::kTtfOk},
        {"hmtx outside the file", beyond("hmtx"), kp::kTtfHmtxUnreadable, kp::kTtfOk},
        {"name outside the file", beyond("name"), kp::kTtfNameUnreadable, kp::kTtfOk},
        {"name string outside the table",
         [](SfntEditor& f) { Put16(f.bytes, f.Offset(Tag("name")) + 6 + 10, 0xFFF0); },
         kp::kTtfNameUnreadable, kp::kTtfOk},
        {"OS/2 outside the file", beyond("OS/2"), kp::kTtfOs2Unreadable, kp::kTtfOk},
        {"post outside the file", beyond("post"), kp::kTtfPostUnreadable, kp::kTtfOk},
        // Tables a subset leaves out are never read.
        {"gasp outside the file", beyond("gasp"), kp::kTtfOk, kp::kTtfOk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SfntEditor font{ReadBytes(kComposite)};
        c.edit(font);
        std::vector<uint8_t> subset(3, 0xAA);
        EXPECT_EQ(Subset(font.bytes, u"ABCDETS", subset), c.subset);
        if (c.subset != kp::kTtfOk) {
            EXPECT_TRUE(subset.empty());
        }
        uint16_t glyph = 0;
        EXPECT_EQ(kp::FindSfntGlyph(font.bytes, 0, u'A', glyph), c.lookup);
    }
}

TEST(TtfSubset, NestingDeeperThanSixteenIsRefused) {
    std::vector<uint8_t> font = ReadBytes(kComposite);
    std::vector<uint8_t> subset;
    EXPECT_EQ(Subset(font, u"\u0100", subset), kp::kTtfOk);
    EXPECT_EQ(Subset(font, u"\u0101", subset), kp::kTtfGlyfUnreadable);
    EXPECT_TRUE(subset.empty());
}

TEST(TtfSubset, CodeMappedPastTheLastGlyphCountsAsMissing) {
    SfntEditor font{ReadBytes(kComposite)};
    // Seven glyphs: 'E' (glyph 7) now lies past the end.
    Put16(font.bytes, font.Offset(Tag("maxp")) + 4, 7);
    uint16_t glyph = 0;
    EXPECT_EQ(kp::FindSfntGlyph(font.bytes, 0, u'E', glyph), kp::kTtfGlyphNotFound);
    std::vector<uint8_t> subset;
    ASSERT_EQ(Subset(font.bytes, u"AE", subset), kp::kTtfOk);
    EXPECT_EQ(KeptGlyphs(subset), (std::vector<long>{kNotdef, kTri, kCompA}));
}

TEST(TtfSubset, EmbeddingNameReplacesFamilyAndFullNameOnEveryPlatform) {
    std::vector<uint8_t> font = ReadBytes(kComposite);
    // An ASCII name, and one that the Macintosh records get in the ANSI code page.
    for (std::u16string name : {u"EmbedFont0012", u"埋込フォント0001"}) {
        std::vector<uint8_t> subset;
        ASSERT_EQ(kp::SubsetSfnt(font, 0, kp::SubsetKind::kOrdinary, name, true, u"A", subset),
                  kp::kTtfOk);
        std::string utf8;
        ASSERT_TRUE(plat::Utf8FromWide(name, &utf8));
        ExpectSoundSubset(kComposite, 0, subset, u"A", "ordinary", utf8);
    }
}

TEST(TtfSubset, NameTableFormatOneKeepsItsLanguageTags) {
    SfntEditor font{ReadBytes(kComposite)};
    // Format 1: a family name in language 0x8000, described by the tag "ja".
    std::vector<uint8_t> name = {
        0, 1,   0, 2,   0,    36,                        // format, count, storage
        0, 3,   0, 1,   0x80, 0,   0, 1,   0, 4,  0, 0,  // (3,1,0x8000) ID 1 "Ab"
        0, 3,   0, 1,   0x80, 0,   0, 5,   0, 2,  0, 4,  // ID 5 "v"
        0, 1,   0, 4,   0,    6,                         // one tag, "ja"
        0, 'A', 0, 'b', 0,    'v', 0, 'j', 0, 'a'};
    font.Replace(Tag("name"), name);
    std::vector<uint8_t> subset;
    ASSERT_EQ(kp::SubsetSfnt(font.bytes, 0, kp::SubsetKind::kOrdinary, u"XY", true, u"A", subset),
              kp::kTtfOk);
    std::vector<uint8_t> out = SfntEditor{subset}.Table(Tag("name"));
    ASSERT_GE(out.size(), 36u);
    EXPECT_EQ(Get16(out, 0), 1);
    EXPECT_EQ(Get16(out, 2), 2);
    uint16_t storage = Get16(out, 4);
    EXPECT_EQ(storage, 36);
    auto str = [&](size_t lengthAt) {
        uint16_t length = Get16(out, lengthAt), offset = Get16(out, lengthAt + 2);
        return std::vector<uint8_t>(out.begin() + storage + offset,
                                    out.begin() + storage + offset + length);
    };
    EXPECT_EQ(str(6 + 8), (std::vector<uint8_t>{0, 'X', 0, 'Y'}));
    EXPECT_EQ(str(18 + 8), (std::vector<uint8_t>{0, 'v'}));
    EXPECT_EQ(Get16(out, 30), 1);
    EXPECT_EQ(str(32), (std::vector<uint8_t>{0, 'j', 0, 'a'}));
}

// The glyph map: entry CID of the buffer holds the glyph drawn for that CID.
TEST(TtfSubset, GlyphMapByCid) {
    std::vector<uint8_t> font = ReadBytes(kComposite);
    auto entry = [](const std::vector<uint8_t>& map, int cid) {
        return Get16(map, size_t(cid) * 2);
    };

    std::vector<uint8_t> map(kp::kCidMapBytes, 0xEE), subset;
    ASSERT_EQ(
        kp::SubsetSfnt(font, 0, kp::SubsetKind::kOrdinary, u"E", true, u"TA\uF000 ", subset, map),
        kp::kTtfOk);
    EXPECT_EQ(entry(map, kp::UnicodeToAj1Cid(u'T')), kTri);
    EXPECT_EQ(entry(map, kp::UnicodeToAj1Cid(u'A')), kCompA);
    // The spaces go in even when the text has none: CID 1, 633 and the half-width 231.
    EXPECT_EQ(entry(map, 1), kSpace);
    EXPECT_EQ(entry(map, 633), kSpace);
    EXPECT_EQ(entry(map, 231), kSpace);
    // U+F000 has no CID; the rest of the buffer is zero.
    size_t nonzero = 0;
    for (size_t i = 0; i < map.size(); i += 2) nonzero += Get16(map, i) != 0;
    EXPECT_EQ(nonzero, 5u);

    // ANSI text: ASCII goes to the half-width CIDs from 231, '~' to 631.
    std::fill(map.begin(), map.end(), 0xEE);
    ASSERT_EQ(kp::SubsetSfnt(font, 0, kp::SubsetKind::kOrdinary, u"E", false, u"AT~", subset, map),
              kp::kTtfOk);
    EXPECT_EQ(entry(map, 231 + (u'A' - 0x20)), kCompA);
    EXPECT_EQ(entry(map, 231 + (u'T' - 0x20)), kTri);
    EXPECT_EQ(entry(map, 631), kShuffle1);
    EXPECT_EQ(entry(map, 231), kSpace);
    // Not at the proportional CIDs that UTF-16 text uses.
    EXPECT_EQ(entry(map, kp::UnicodeToAj1Cid(u'A')), 0);

    // A buffer too small is refused untouched, and no font is returned.
    std::vector<uint8_t> small(kp::kCidMapBytes - 1, 0xEE);
    EXPECT_EQ(kp::SubsetSfnt(font, 0, kp::SubsetKind::kOrdinary, u"E", true, u"A", subset, small),
              kp::kTtfMapBufferUnusable);
    EXPECT_TRUE(subset.empty());
    EXPECT_EQ(small, std::vector<uint8_t>(kp::kCidMapBytes - 1, 0xEE));

    // A failed subset leaves the map empty.
    SfntEditor broken{font};
    broken.Rename(Tag("glyf"), Tag("zzzz"));
    std::fill(map.begin(), map.end(), 0xEE);
    EXPECT_EQ(
        kp::SubsetSfnt(broken.bytes, 0, kp::SubsetKind::kOrdinary, u"E", true, u"A", subset, map),
        kp::kTtfNoGlyf);
    EXPECT_EQ(map, std::vector<uint8_t>(kp::kCidMapBytes, 0));
}

TEST(TtfSubset, DeviceContextWithoutAFontHasNoFontData) {
    // A new context holds the stock system font: a device font without sfnt data.
    plat::InfoDc dc;
    std::vector<uint8_t> subset;
    uint16_t glyph = 0;
    EXPECT_EQ(kp::SubsetTrueTypeFontWithoutEudc(dc, u"E", true, u"A", subset),
              kp::kTtfOffsetTableUnreadable);
    EXPECT_EQ(kp::FindFontGlyph(dc, u'A', glyph), kp::kTtfOffsetTableUnreadable);
}

// The face chosen inside a collection is the one subset.
TEST(TtfSubset, FaceOfACollectionThroughADeviceContext) {
    std::string pair = Fixture("qzs-fixture-pair.ttc");
    ASSERT_TRUE(plat::RegisterProcessFont(pair));
    plat::InfoDc dc;
    plat::LogicalFont lf;
    lf.faceName = u"QzsFixtureTwo";
    lf.height = -1000;
    plat::GdiObject font(plat::CreateFontIndirectW(plat::ToLogFontW(lf)));
    dc.SelectObject(font.get());
    auto face = dc.SelectedFace();
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->faceIndex(), 1u);
    std::vector<uint8_t> subset;
    ASSERT_EQ(kp::SubsetTrueTypeFontWithoutEudc(dc, u"EmbedFont0002", true, u"A", subset),
              kp::kTtfOk);
    EXPECT_EQ(Get16(SfntEditor{subset}.Table(Tag("head")), 50), 1);
    ExpectSoundSubset(pair, 1, subset, u"A", "ordinary", "EmbedFont0002");
    // Face 1's 'A', not face 0's.
    FreeTypeFont sub(subset), one(ReadBytes(pair), 0);
    EXPECT_FALSE(sub.Render(1, 32, FT_LOAD_NO_HINTING) == one.Render(1, 32, FT_LOAD_NO_HINTING));
    EXPECT_TRUE(plat::UnregisterProcessFont(pair));
}

// The end-user-defined-character font comes from the settings file under the configuration
// directory.
class EudcTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        saved_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        std::filesystem::create_directories(dir_.File("korva-qzs"));
    }
    void TearDown() override {
        if (saved_) {
            ::setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
    }
    void Settings(const std::string& text) {
        std::ofstream(dir_.File("korva-qzs/eudc.conf")) << text;
    }

    TempDir dir_;
    std::optional<std::string> saved_;
    const std::string eudc_ = Fixture("qzs-fixture-eudc.tte");
};

TEST_F(EudcTest, WhichFileServesAFace) {
    const std::string missing = dir_.File("gone.tte");
    struct Case {
        const char* what;
        std::string settings;  // nothing at all when empty
        int rc;
    } cases[] = {
        {"no settings file", "", kp::kTtfNoEudcFont},
        {"the face's own file", "ＭＳ 明朝 = " + eudc_ + "\n", kp::kTtfOk},
        {"the system default", "SystemDefaultEUDCFont=" + eudc_ + "\n", kp::kTtfOk},
        {"names compare without ASCII case", "systemdefaulteudcfont=" + eudc_ + "\n", kp::kTtfOk},
        {"another face only", "ＭＳ ゴシック=" + eudc_ + "\n", kp::kTtfNoEudcFont},
        {"the face's file is gone, the default serves",
         "ＭＳ 明朝=" + missing + "\nSystemDefaultEUDCFont=" + eudc_ + "\n", kp::kTtfOk},
        {"the face's file is gone and no default", "ＭＳ 明朝=" + missing + "\n",
         kp::kTtfNoEudcFont},
        {"the default's file is gone", "SystemDefaultEUDCFont=" + missing + "\n",
         kp::kTtfEudcFontUnmappable},
        {"an empty value counts as none", "ＭＳ 明朝=\nSystemDefaultEUDCFont=" + eudc_ + "\n",
         kp::kTtfOk},
        {"a relative path counts from the settings folder",
         "# comment\n; comment\nＭＳ 明朝=../eudc.tte\n", kp::kTtfOk},
    };
    std::filesystem::copy_file(eudc_, dir_.File("eudc.tte"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(dir_.File("korva-qzs/eudc.conf"));
        if (!c.settings.empty()) Settings(c.settings);
        uint16_t glyph = 0;
        EXPECT_EQ(kp::FindEudcGlyph(u"@ＭＳ 明朝", 0xE000, glyph), c.rc);
        if (c.rc == kp::kTtfOk) {
            EXPECT_EQ(glyph, 1);
        }
        std::vector<uint8_t> subset;
        EXPECT_EQ(kp::SubsetTrueTypeFont(u"ＭＳ 明朝", true, u"\uE000", subset), c.rc);
    }
}

TEST_F(EudcTest, LookupsAndSubset) {
    Settings("SystemDefaultEUDCFont=" + eudc_ + "\n");
    struct Case {
        char16_t code;
        int rc;
        uint16_t glyph;
    } cases[] = {
        {0xE000, kp::kTtfOk, 1},
        {0xE001, kp::kTtfOk, 2},
        {0xE002, kp::kTtfGlyphNotFound, 0},  // mapped to the missing glyph
        {0xE003, kp::kTtfOk, 3},
        {0xE004, kp::kTtfGlyphNotFound, 0},
        {u'A', kp::kTtfGlyphNotFound, 0},
    };
    for (const auto& c : cases) {
        uint16_t glyph = 0;
        EXPECT_EQ(kp::FindEudcGlyph(u"ＭＳ ゴシック", c.code, glyph), c.rc) << int(c.code);
        if (c.rc == kp::kTtfOk) {
            EXPECT_EQ(glyph, c.glyph);
        }
    }

    std::u16string codes = u"\uE001\uE002\uE004 ";
    std::vector<uint8_t> subset, map(kp::kCidMapBytes, 0xEE);
    ASSERT_EQ(kp::SubsetTrueTypeFont(u"ＭＳ ゴシック", true, codes, subset, map), kp::kTtfOk);
    // The composite U+E001 brings U+E000's glyph; no cmap, name, OS/2 or post.
    EXPECT_EQ(KeptGlyphs(subset), (std::vector<long>{0, 1, 2}));
    ExpectSoundSubset(eudc_, 0, subset, codes, "eudc", "");
    // The half-width space entry stays 0 for these fonts, and so do the spaces' CIDs.
    EXPECT_EQ(Get16(map, 231 * 2), 0);
    EXPECT_EQ(Get16(map, 1 * 2), 0);
}

TEST(TtfAnsi, CodePageConversions) {
    EXPECT_EQ(kp::Utf16ToAnsi(u"EmbedFont0001"), "EmbedFont0001");
    EXPECT_EQ(kp::Utf16ToAnsi(u"明朝"), "\x96\xBE\x92\xA9");
    // What CP932 lacks becomes '?', a surrogate pair one '?'.
    EXPECT_EQ(kp::Utf16ToAnsi(u"a\u00E9b\U0001F600c"), "a?b?c");
    EXPECT_EQ(kp::AnsiToUtf16("\x96\xBE\x92\xA9"
                              "A"),
              u"明朝A");
    // A byte that starts no character becomes U+30FB and the next byte is read on its own.
    EXPECT_EQ(kp::AnsiToUtf16("A\x81"), u"A\u30FB");
    EXPECT_EQ(kp::AnsiToUtf16("\xA0"
                              "B"),
              u"\u30FB"
              u"B");
}

}  // namespace
