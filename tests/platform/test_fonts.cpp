// The font layer: face substitution, resolution through fontconfig, raw sfnt tables, metrics,
// process-only fonts, the EUDC settings file and the device context's selected font.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/fonts/eudc_settings.h"
#include "platform/fonts/font_face.h"
#include "platform/fonts/font_resolver.h"
#include "platform/fonts/sfnt.h"
#include "platform/gdi/device_context.h"
#include "tests/fixtures/fonts/font_test_support.h"

namespace {

using namespace fonttest;

plat::LogicalFont Font(std::u16string face, int32_t weight = 0, bool italic = false,
                       uint8_t charSet = plat::kShiftJisCharset) {
    plat::LogicalFont f;
    f.faceName = std::move(face);
    f.height = -1000;
    f.weight = weight;
    f.italic = italic;
    f.charSet = charSet;
    return f;
}

std::string Canonical(const std::string& path) {
    return std::filesystem::canonical(path).string();
}

TEST(FontSubstitution, WindowsNamesBecomeInstalledFamilies) {
    struct Case {
        std::u16string in, out;
    } cases[] = {
        {u"ＭＳ ゴシック", u"IPAGothic"},
        {u"ＭＳ Ｐゴシック", u"IPAPGothic"},
        {u"ＭＳ 明朝", u"IPAMincho"},
        {u"ＭＳ Ｐ明朝", u"IPAPMincho"},
        {u"ＭＳ ＵＩ Ｇｏｔｈｉｃ", u"IPAPGothic"},
        {u"MS Gothic", u"IPAGothic"},
        {u"MS PMincho", u"IPAPMincho"},
        {u"@ＭＳ 明朝", u"@IPAMincho"},
        // Anything else stays as it is, including near misses.
        {u"ＭＳゴシック", u"ＭＳゴシック"},
        {u"ms gothic", u"ms gothic"},
        {u"DejaVu Sans", u"DejaVu Sans"},
        {u"", u""},
        {u"@", u"@"},
    };
    for (const auto& c : cases) EXPECT_EQ(plat::SubstituteFaceName(c.in), c.out);
}

TEST(FontResolution, LogicalFontToFile) {
    const std::string dejavu = "/usr/share/fonts/truetype/dejavu/";
    struct Case {
        plat::LogicalFont font;
        std::string file;
        bool vertical;
    } cases[] = {
        {Font(u"ＭＳ ゴシック"), kIpaGothic, false},
        {Font(u"ＭＳ Ｐゴシック"), "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf", false},
        {Font(u"ＭＳ 明朝"), kIpaMincho, false},
        {Font(u"@ＭＳ Ｐ明朝"), "/usr/share/fonts/opentype/ipafont-mincho/ipamp.ttf", true},
        {Font(u"MS Gothic", 700), kIpaGothic, false},
        {Font(u"DejaVu Sans", 0, false, plat::kAnsiCharset), dejavu + "DejaVuSans.ttf", false},
        {Font(u"DejaVu Sans", 700, false, plat::kAnsiCharset), dejavu + "DejaVuSans-Bold.ttf",
         false},
        {Font(u"DejaVu Sans", 0, true, plat::kAnsiCharset), dejavu + "DejaVuSans-Oblique.ttf",
         false},
        {Font(u"DejaVu Sans", 200, false, plat::kAnsiCharset), dejavu + "DejaVuSans-ExtraLight.ttf",
         false},
    };
    for (const auto& c : cases) {
        auto rf = plat::ResolveFont(c.font);
        ASSERT_TRUE(rf.has_value());
        EXPECT_EQ(Canonical(rf->path), c.file);
        EXPECT_TRUE(rf->familyMatched) << rf->family;
        EXPECT_EQ(rf->vertical, c.vertical);
        EXPECT_EQ(rf->faceIndex, 0u);
    }
    // An unknown face still gets a font, as from the Windows font mapper, but says so.
    auto rf = plat::ResolveFont(Font(u"QzsNoSuchFace"));
    ASSERT_TRUE(rf.has_value());
    EXPECT_FALSE(rf->familyMatched);
    EXPECT_TRUE(std::filesystem::exists(rf->path));
}

// Design metrics of IPAGothic (fontTools): 2048 units per em, Windows ascent 1802 and descent
// 401, hhea 1802/-246 with no line gap, average width 1024, widest advance 2048; 'A' advances
// 1024 with ink from 43 to 981, 'あ' advances 2048.
TEST(FontMetrics, IpaGothicAtLogicalHeights) {
    auto face = plat::FontFace::Open(kIpaGothic);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->unitsPerEm(), 2048);
    struct Case {
        int32_t height;
        plat::FontMetrics m;  // height, ascent, descent, internal, external, average, max
    } cases[] = {
        {-1000, {1076, 880, 196, 76, 0, 500, 1000}},
        {1000, {1000, 818, 182, 70, 0, 465, 930}},
        {-2048, {2203, 1802, 401, 155, 0, 1024, 2048}},
        {0, {13, 11, 2, 1, 0, 6, 12}},  // the default: a 12-unit em
    };
    for (const auto& c : cases) {
        plat::FontMetrics m = face->Metrics(c.height);
        EXPECT_EQ(m.height, c.m.height) << c.height;
        EXPECT_EQ(m.ascent, c.m.ascent) << c.height;
        EXPECT_EQ(m.descent, c.m.descent) << c.height;
        EXPECT_EQ(m.internalLeading, c.m.internalLeading) << c.height;
        EXPECT_EQ(m.externalLeading, c.m.externalLeading) << c.height;
        EXPECT_EQ(m.averageCharWidth, c.m.averageCharWidth) << c.height;
        EXPECT_EQ(m.maxCharWidth, c.m.maxCharWidth) << c.height;
    }
    EXPECT_EQ(face->CharWidth(U'A', -1000), 500);
    EXPECT_EQ(face->CharWidth(U'あ', -1000), 1000);
    plat::AbcWidth abc = face->CharAbcWidth(U'A', -1000);
    EXPECT_EQ(abc.a, 21);
    EXPECT_EQ(abc.b, 458);
    EXPECT_EQ(abc.a + abc.b + abc.c, 500);
    plat::TextExtent e = face->TextExtentOf(u"AVあ", -1000);
    EXPECT_EQ(e.cx, 2000);
    EXPECT_EQ(e.cy, 1076);
    EXPECT_EQ(face->TextExtentOf(u"", -1000).cx, 0);
}

// DejaVu Sans 'j' starts left of its origin: a negative A space.
TEST(FontMetrics, NegativeLeftBearing) {
    auto face = plat::FontFace::Open("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    ASSERT_NE(face, nullptr);
    plat::AbcWidth abc = face->CharAbcWidth(U'j', -2048);
    EXPECT_EQ(abc.a, -37);
    EXPECT_EQ(abc.b, 414);
    EXPECT_EQ(abc.a + abc.b + abc.c, 569);
}

TEST(FontData, TablesByTagAndOffset) {
    auto face = plat::FontFace::Open(kIpaGothic);
    ASSERT_NE(face, nullptr);
    SfntEditor file{ReadBytes(kIpaGothic)};
    const uint32_t head = Tag("head");
    std::vector<uint8_t> expected = file.Table(head);
    ASSERT_EQ(expected.size(), 54u);

    std::vector<uint8_t> buf(100, 0xEE);
    EXPECT_EQ(face->GetFontData(head, 0, {}), 54u);  // the size alone
    EXPECT_EQ(face->GetFontData(head, 0, buf), 54u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buf.begin()));
    EXPECT_EQ(buf[54], 0xEE);
    EXPECT_EQ(face->GetFontData(head, 50, {}), 4u);
    EXPECT_EQ(face->GetFontData(head, 50, std::span(buf).first(2)), 2u);
    EXPECT_EQ(Get16(buf, 0), Get16(expected, 50));
    EXPECT_EQ(face->GetFontData(head, 54, buf), 0u);
    EXPECT_FALSE(face->GetFontData(head, 55, buf).has_value());
    EXPECT_FALSE(face->GetFontData(Tag("zzzz"), 0, buf).has_value());
    // Tag 0 reads from the start of the font; "ttcf" only in a collection.
    EXPECT_EQ(face->GetFontData(0, 0, std::span(buf).first(12)), 12u);
    EXPECT_TRUE(std::equal(file.bytes.begin(), file.bytes.begin() + 12, buf.begin()));
    EXPECT_EQ(face->GetFontData(0, 0, {}), file.bytes.size());
    EXPECT_FALSE(face->GetFontData(plat::kTtcfTag, 0, buf).has_value());
    auto table = face->TableBytes(head);
    ASSERT_TRUE(table.has_value());
    EXPECT_TRUE(std::equal(table->begin(), table->end(), expected.begin(), expected.end()));
}

TEST(FontData, FaceChosenInsideACollection) {
    const std::string pair = Fixture("qzs-fixture-pair.ttc");
    std::vector<uint8_t> file = ReadBytes(pair);
    for (uint32_t index : {0u, 1u}) {
        auto face = plat::FontFace::Open(pair, index);
        ASSERT_NE(face, nullptr);
        const char* family = index == 0 ? "QzsFixtureOne" : "QzsFixtureTwo";
        EXPECT_EQ(face->familyName(), family);
        uint32_t offset = Get32(file, 12 + 4 * index);
        EXPECT_EQ(face->faceOffset(), offset);
        std::vector<uint8_t> buf(12);
        EXPECT_EQ(face->GetFontData(0, 0, buf), 12u);
        EXPECT_TRUE(std::equal(buf.begin(), buf.end(), file.begin() + offset));
        // The name table is this face's.
        std::vector<uint8_t> name(*face->GetFontData(Tag("name"), 0, {}));
        ASSERT_EQ(face->GetFontData(Tag("name"), 0, name), name.size());
        std::vector<uint8_t> utf16;
        for (const char* p = family; *p; ++p) utf16.insert(utf16.end(), {0, uint8_t(*p)});
        EXPECT_NE(std::search(name.begin(), name.end(), utf16.begin(), utf16.end()), name.end());
        // "ttcf" gives the whole collection file.
        EXPECT_EQ(face->GetFontData(plat::kTtcfTag, 0, {}), file.size());
    }
    EXPECT_EQ(plat::FontFace::Open(pair, 2), nullptr);
    EXPECT_EQ(plat::FontFace::Open(kIpaGothic, 1), nullptr);
    EXPECT_EQ(plat::FontFace::Open(Fixture("datasheet.txt")), nullptr);
    EXPECT_EQ(plat::FontFace::Open(Fixture("no-such-font.ttf")), nullptr);
}

TEST(ProcessFonts, RegisteredForThisProcessOnly) {
    const std::string font = Fixture("qzs-fixture-eudc.tte");
    auto family = [] { return plat::ResolveFont(Font(u"QzsFixtureEudc")); };
    ASSERT_TRUE(family().has_value());
    EXPECT_FALSE(family()->familyMatched);

    ASSERT_TRUE(plat::RegisterProcessFont(font));
    EXPECT_TRUE(plat::RegisterProcessFont(font));  // once is enough
    auto rf = family();
    ASSERT_TRUE(rf.has_value());
    EXPECT_TRUE(rf->familyMatched);
    EXPECT_EQ(rf->path, font);
    // Other programs do not see it.
    std::string out;
    ASSERT_EQ(fonttest::Run("fc-match -f '%{file}' QzsFixtureEudc", &out), 0);
    EXPECT_NE(out, font);
    EXPECT_EQ(out.find("qzs-fixture"), std::string::npos);

    EXPECT_TRUE(plat::UnregisterProcessFont(font));
    EXPECT_FALSE(plat::UnregisterProcessFont(font));
    EXPECT_FALSE(family()->familyMatched);
    EXPECT_FALSE(plat::RegisterProcessFont(Fixture("datasheet.txt")));
}

// Keeps XDG_CONFIG_HOME and HOME as they were.
class EnvironmentGuard {
  public:
    EnvironmentGuard() {
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
    }
    ~EnvironmentGuard() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(EudcSettings, PathAndValues) {
    EnvironmentGuard guard;
    ::setenv("HOME", "/home/qzs-user", 1);
    ::setenv("XDG_CONFIG_HOME", "/etc/xdg-config", 1);
    EXPECT_EQ(plat::EudcSettingsPath(), "/etc/xdg-config/korva-qzs/eudc.conf");
    // A relative or empty XDG_CONFIG_HOME is ignored, as the XDG rules say.
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(plat::EudcSettingsPath(), "/home/qzs-user/.config/korva-qzs/eudc.conf");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(plat::EudcSettingsPath(), "/home/qzs-user/.config/korva-qzs/eudc.conf");

    TempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    EXPECT_FALSE(plat::FindEudcFontFile(u"ＭＳ 明朝").has_value());
    std::filesystem::create_directories(dir.File("korva-qzs"));
    std::ofstream(dir.File("korva-qzs/eudc.conf"))
        << "# EUDC\n  ＭＳ 明朝  =  /fonts/mincho.tte  \nSystemDefaultEUDCFont=eudc.tte\n"
           "broken line\nＭＳ ゴシック=\n";
    EXPECT_EQ(plat::FindEudcFontFile(u"ＭＳ 明朝"), "/fonts/mincho.tte");
    EXPECT_EQ(plat::FindEudcFontFile(u"@ＭＳ 明朝"), "/fonts/mincho.tte");
    const std::string fallback = dir.File("korva-qzs/eudc.tte");
    EXPECT_EQ(plat::FindEudcFontFile(u"ＭＳ ゴシック"), fallback);
    EXPECT_EQ(plat::FindEudcFontFile(u""), fallback);
    EXPECT_EQ(plat::SystemDefaultEudcFontFile(), fallback);
}

TEST(DeviceContext, HoldsTheSelectedFont) {
    // A new context holds the stock system font, a device font without sfnt data.
    plat::InfoDc dc;
    std::vector<uint8_t> buf(54);
    EXPECT_EQ(dc.SelectedFace(), nullptr);
    EXPECT_FALSE(dc.GetFontData(Tag("head"), 0, buf).has_value());

    plat::GdiObject gothic(plat::CreateFontIndirectW(plat::ToLogFontW(Font(u"ＭＳ ゴシック"))));
    EXPECT_EQ(dc.SelectObject(gothic.get()), plat::GetStockObject(plat::kSystemFont));
    EXPECT_EQ(plat::ToLogicalFont(dc.font()), Font(u"ＭＳ ゴシック"));
    EXPECT_EQ(dc.GetFontData(Tag("head"), 0, buf), 54u);
    EXPECT_EQ(buf, SfntEditor{ReadBytes(kIpaGothic)}.Table(Tag("head")));

    plat::GdiObject mincho(plat::CreateFontIndirectW(plat::ToLogFontW(Font(u"ＭＳ 明朝"))));
    EXPECT_EQ(dc.SelectObject(mincho.get()), gothic.get());
    ASSERT_NE(dc.SelectedFace(), nullptr);
    EXPECT_EQ(Canonical(dc.SelectedFace()->path()), kIpaMincho);
    // Faces are shared while held.
    plat::InfoDc other;
    other.SelectObject(mincho.get());
    EXPECT_EQ(other.SelectedFace(), dc.SelectedFace());
}

}  // namespace
