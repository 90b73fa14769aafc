// The EMF recorder against records assembled apart from it (tests/fixtures/emf), the checks of
// the enumerator, the qzs-emf listing, and a second reader (emf2svg) that must see every
// recording made here with the same record types and sizes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi/emf_format.h"
#include "platform/gdi/emf_listing.h"
#include "platform/gdi/emf_reader.h"
#include "platform/gdi/emf_recorder.h"
#include "tests/platform/emf_test_support.h"

namespace {

using plat::POINT;
using plat::RECT;
using qzs_test::ExpectSecondReaderAgrees;
using qzs_test::RunCommand;
using qzs_test::TempPath;
using qzs_test::WriteFile;
using Bytes = std::vector<uint8_t>;

const plat::DeviceInfo kReference = plat::DeviceInfo::ForPixels(1000, 1000, 100);

// The expected bytes of each case, assembled by the fixture script.
const std::map<std::string, Bytes>& Expected() {
    static const std::map<std::string, Bytes> cases = [] {
        plat::InfoDc dc(kReference);
        plat::FontMetrics m;
        EXPECT_TRUE(dc.GetTextMetrics(&m));
        int status = 0;
        const std::string out = RunCommand("/usr/bin/python3 " QZS_SOURCE_DIR
                                           "/tests/fixtures/emf/expected_records.py " +
                                               std::to_string(m.height),
                                           &status);
        EXPECT_EQ(status, 0) << out;
        std::map<std::string, Bytes> map;
        std::istringstream lines(out);
        std::string name, hex;
        while (lines >> name >> hex) {
            Bytes b;
            for (size_t i = 0; i + 1 < hex.size(); i += 2) {
                b.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
            }
            map[name] = b;
        }
        return map;
    }();
    return cases;
}

using Step = std::function<void(plat::EmfRecorder&, std::vector<plat::GdiObject>&)>;

Bytes Record(const Step& steps) {
    std::vector<plat::GdiObject> objects;
    plat::EmfRecorder rec(kReference, std::nullopt, u"");
    steps(rec, objects);
    return rec.Close();
}

// The records a call writes after the set-up: the difference of two recordings, header and
// EOF left out.
Bytes CallRecords(const Step& setup, const Step& call, Bytes* whole) {
    const Bytes before = Record(setup);
    *whole = Record([&](auto& rec, auto& objects) {
        setup(rec, objects);
        call(rec, objects);
    });
    if (whole->size() < before.size()) return {};
    return Bytes(whole->begin() + ptrdiff_t(before.size() - 20), whole->end() - 20);
}

plat::HGDIOBJ Keep(std::vector<plat::GdiObject>& objects, plat::HGDIOBJ o) {
    objects.emplace_back(o);
    return o;
}

TEST(EmfRecorder, RecordsAsAssembledApart) {
    struct Case {
        const char* name;
        Step setup;
        Step call;
        const char* why;
    };
    const Step none = [](auto&, auto&) {};
    const Step aniso = [](auto& r, auto&) { r.SetMapMode(plat::kMmAnisotropic); };
    const Case cases[] = {
        {"setmapmode", none, [](auto& r, auto&) { r.SetMapMode(8); }, "map mode"},
        {"setbkmode", none, [](auto& r, auto&) { r.SetBkMode(plat::kTransparent); }, "bk mode"},
        {"setwindowextex", aniso, [](auto& r, auto&) { r.SetWindowExtEx(100, 200); }, "extent"},
        {"setwindoworgex", none, [](auto& r, auto&) { r.SetWindowOrgEx(-5, 7); }, "origin"},
        {"setviewportextex", aniso, [](auto& r, auto&) { r.SetViewportExtEx(3, 4); }, "extent"},
        {"setviewportorgex", none, [](auto& r, auto&) { r.SetViewportOrgEx(10, 20); }, "origin"},
        {"offsetviewportorgex", [](auto& r, auto&) { r.SetViewportOrgEx(10, 20); },
         [](auto& r, auto&) { r.OffsetViewportOrgEx(5, 5); }, "an offset records the new origin"},
        {"scaleviewportextex",
         [](auto& r, auto&) {
             r.SetMapMode(plat::kMmAnisotropic);
             r.SetViewportExtEx(8, 8);
         },
         [](auto& r, auto&) { r.ScaleViewportExtEx(1, 2, 3, 4); }, "scaling keeps its fractions"},
        {"settextcolor", none, [](auto& r, auto&) { r.SetTextColor(0x123456); }, "colour"},
        {"setbkcolor", none, [](auto& r, auto&) { r.SetBkColor(0xABCDEF); }, "colour"},
        {"movetoex", none, [](auto& r, auto&) { r.MoveToEx(1, 2); }, "position"},
        {"lineto", none, [](auto& r, auto&) { r.LineTo(3, 4); }, "line"},
        {"savedc", none, [](auto& r, auto&) { r.SaveDC(); }, "save"},
        {"restoredc_relative", [](auto& r, auto&) { r.SaveDC(); },
         [](auto& r, auto&) { r.RestoreDC(-1); }, "relative restore keeps its sign"},
        {"restoredc_absolute",
         [](auto& r, auto&) {
             r.SaveDC();
             r.SaveDC();
         },
         [](auto& r, auto&) { r.RestoreDC(1); }, "absolute restore"},
        {"createpen", none,
         [](auto& r, auto& o) { r.SelectObject(Keep(o, plat::CreatePen(plat::kPsDash, 2, 0xFF))); },
         "a pen is created at its first selection, index 1"},
        {"createbrush_solid", none,
         [](auto& r, auto& o) { r.SelectObject(Keep(o, plat::CreateSolidBrush(0x00FF00))); },
         "solid brush"},
        {"createbrush_hatch", none,
         [](auto& r, auto& o) {
             r.SelectObject(Keep(o, plat::CreateHatchBrush(plat::kHsCross, 0xFF)));
         },
         "hatch brush"},
        {"stock_pen", none,
         [](auto& r, auto&) { r.SelectObject(plat::GetStockObject(plat::kBlackPen)); },
         "stock objects are 0x80000000 | number and create nothing"},
        {"extcreatepen", none,
         [](auto& r, auto& o) {
             r.SelectObject(Keep(o, plat::ExtCreatePen(plat::kPsGeometric | plat::kPsEndCapFlat, 5,
                                                       {plat::kBsSolid, 0xFF, 0})));
         },
         "extended pen with its cap bits, no style entries"},
        {"monobrush", none,
         [](auto& r, auto& o) {
             const uint8_t bits[] = {0xAA, 0, 0, 0, 0x55, 0, 0, 0};
             r.SelectObject(Keep(o, plat::CreateMonoPatternBrush(8, 2, bits)));
         },
         "monochrome pattern with a black and white colour table"},
        {"font", none,
         [](auto& r, auto& o) {
             plat::LOGFONTW f;
             f.lfHeight = -24;
             f.lfWeight = 700;
             f.lfCharSet = 128;
             const std::u16string face = u"ＭＳ ゴシック";
             std::copy(face.begin(), face.end(), f.lfFaceName);
             r.SelectObject(Keep(o, plat::CreateFontIndirectW(f)));
         },
         "the 320-byte extended logical font"},
        {"deleteobject",
         [](auto& r, auto& o) {
             r.SelectObject(Keep(o, plat::CreatePen(plat::kPsSolid, 1, 0)));
             r.SelectObject(plat::GetStockObject(plat::kBlackPen));
         },
         [](auto&, auto& o) { o.back().reset(); }, "deleting an object the metafile holds"},
        {"polyline16", none,
         [](auto& r, auto&) {
             r.Polyline(std::vector<POINT>{{0, 0}, {10, 5}, {20, 0}});
         },
         "small points: the 16-bit form"},
        {"polyline16", [](auto& r, auto&) { r.BeginPath(); },
         [](auto& r, auto&) {
             r.Polyline(std::vector<POINT>{{0, 0}, {10, 5}, {20, 0}});
         },
         "inside a path: the same record, no move of its own"},
        {"polyline16_edge", none,
         [](auto& r, auto&) {
             r.Polyline(std::vector<POINT>{{-32768, 0}, {32767, 1}});
         },
         "the 16-bit limits still fit"},
        {"polyline32", none,
         [](auto& r, auto&) {
             r.Polyline(std::vector<POINT>{{0, 0}, {32768, 5}});
         },
         "one point beyond 16 bits: the 32-bit form"},
        {"polygon16", none,
         [](auto& r, auto&) {
             r.Polygon(std::vector<POINT>{{0, 0}, {4, 0}, {4, 4}});
         },
         "polygon"},
        {"polygon32", none,
         [](auto& r, auto&) {
             r.Polygon(std::vector<POINT>{{-40000, 0}, {4, 0}, {4, 4}});
         },
         "polygon beyond 16 bits"},
        {"polylineto16", [](auto& r, auto&) { r.MoveToEx(0, 0); },
         [](auto& r, auto&) {
             r.PolylineTo(std::vector<POINT>{{5, 5}, {10, 0}});
         },
         "polyline from the position"},
        {"polybezierto16", none,
         [](auto& r, auto&) {
             r.PolyBezierTo(std::vector<POINT>{{1, 1}, {2, 3}, {3, 1}});
         },
         "one Bézier"},
        {"polypolyline16", none,
         [](auto& r, auto&) {
             const std::vector<uint32_t> counts{2, 2};
             r.PolyPolyline(std::vector<POINT>{{0, 0}, {1, 1}, {5, 5}, {6, 6}}, counts);
         },
         "counts before the points"},
        {"fillrect", none,
         [](auto& r, auto& o) {
             r.FillRect({1, 2, 11, 7}, Keep(o, plat::CreateSolidBrush(0xFF)));
         },
         "brush selected, pattern copy, old brush back"},
        {"patblt", none, [](auto& r, auto&) { r.PatBlt(0, 0, 4, 4, plat::kRopBlackness); },
         "pattern blit without a source"},
        {"beginpath", none, [](auto& r, auto&) { r.BeginPath(); }, "path"},
        {"endpath", [](auto& r, auto&) { r.BeginPath(); }, [](auto& r, auto&) { r.EndPath(); },
         "path"},
        {"closefigure",
         [](auto& r, auto&) {
             r.BeginPath();
             r.MoveToEx(0, 0);
             r.LineTo(5, 5);
         },
         [](auto& r, auto&) { r.CloseFigure(); }, "path"},
        {"abortpath", none, [](auto& r, auto&) { r.AbortPath(); }, "path"},
        {"strokepath",
         [](auto& r, auto&) {
             r.BeginPath();
             r.MoveToEx(0, 0);
             r.LineTo(10, 10);
             r.EndPath();
         },
         [](auto& r, auto&) { r.StrokePath(); }, "stroke with the path's bounds"},
        {"clip_xor", none,
         [](auto& r, auto& o) {
             plat::HRGN a = Keep(o, plat::CreateRectRgn(0, 0, 10, 10));
             plat::HRGN b = Keep(o, plat::CreateRectRgn(3, 3, 6, 6));
             plat::CombineRgn(a, a, b, plat::kRgnXor);
             r.SelectClipRgn(a);
         },
         "region data in bands"},
        {"clip_none", none, [](auto& r, auto&) { r.SelectClipRgn(0); }, "no region"},
        {"comment", none,
         [](auto& r, auto&) {
             const std::string_view s = "##EMBED###";
             r.GdiComment(std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
         },
         "comment padded to 4"},
        {"text_w", none,
         [](auto& r, auto&) {
             const int32_t dx[] = {7, 8};
             r.ExtTextOutW(10, 20, 0, nullptr, u"Ab", dx);
         },
         "wide text with its advances"},
        {"text_opaque_empty", none,
         [](auto& r, auto&) {
             const RECT box{1, 2, 5, 6};
             r.ExtTextOutW(0, 0, plat::kEtoOpaque, &box, u"");
         },
         "an opaque rectangle without text"},
        {"text_a", none,
         [](auto& r, auto&) {
             const int32_t dx[] = {12, 0, 6};
             r.ExtTextOutA(0, 0, 0, nullptr,
                           "\x82\xa0"
                           "A",
                           dx);
         },
         "CP932 bytes, padded"},
        {"stretchdibits_1", none,
         [](auto& r, auto&) {
             plat::BITMAPINFOHEADER h;
             h.biWidth = 8;
             h.biHeight = 2;
             h.biBitCount = 1;
             const plat::RGBQUAD colors[] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
             const uint8_t bits[] = {0xF0, 0, 0, 0, 0x0F, 0, 0, 0};
             r.StretchDIBits(0, 0, 16, 4, 0, 0, 8, 2, bits, h, colors, plat::kDibRgbColors,
                             plat::kRopSrcCopy);
         },
         "1-bit bitmap stretched"},
        {"stretchdibits_24", none,
         [](auto& r, auto&) {
             plat::BITMAPINFOHEADER h;
             h.biWidth = 2;
             h.biHeight = 1;
             h.biBitCount = 24;
             const uint8_t bits[] = {0, 0, 255, 0, 255, 0, 0, 0};
             r.StretchDIBits(5, 5, 2, 1, 0, 0, 2, 1, bits, h, {}, plat::kDibRgbColors,
                             plat::kRopSrcCopy);
         },
         "24-bit rows padded to 4"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Expected().count(c.name)) << c.name;
        Bytes whole;
        EXPECT_EQ(CallRecords(c.setup, c.call, &whole), Expected().at(c.name))
            << c.name << ": " << c.why;
        ExpectSecondReaderAgrees(whole);
    }
}

TEST(EmfRecorder, WholeFileWithItsHeader) {
    plat::EmfRecorder rec(kReference, RECT{0, 0, 2000, 1000}, u"KelvaprintV3.0");
    plat::GdiObject pen(plat::CreatePen(plat::kPsSolid, 0, 0xFF0000));
    plat::GdiObject brush(plat::CreateSolidBrush(0x00FF00));
    rec.SelectObject(pen.get());
    rec.SelectObject(brush.get());
    rec.Polyline(std::vector<POINT>{{0, 0}, {10, 10}});
    const Bytes file = rec.Close();
    EXPECT_EQ(file, Expected().at("whole_file"));
    EXPECT_TRUE(rec.Close().empty()) << "a second close gives nothing";
    plat::EmfHeader header;
    ASSERT_TRUE(plat::ReadEmfHeader(file, &header));
    EXPECT_EQ(header.description, std::u16string(u"KelvaprintV3.0\0\0", 16));
    ExpectSecondReaderAgrees(file);
}

TEST(EmfRecorder, IndexesAsGdiHandsThemOut) {
    plat::EmfRecorder rec(kReference, std::nullopt, u"");
    plat::GdiObject a(plat::CreatePen(plat::kPsSolid, 1, 1));
    plat::GdiObject b(plat::CreateSolidBrush(2));
    plat::GdiObject c(plat::CreatePen(plat::kPsSolid, 1, 3));
    plat::LOGFONTW lf;
    lf.lfHeight = -10;
    plat::GdiObject f(plat::CreateFontIndirectW(lf));
    plat::GdiObject untouched(plat::CreatePen(plat::kPsSolid, 1, 4));
    rec.SelectObject(a.get());  // 1
    rec.SelectObject(b.get());  // 2
    rec.SelectObject(a.get());  // already held: no second creation
    rec.SelectObject(plat::GetStockObject(plat::kNullPen));
    a.reset();                  // frees 1
    untouched.reset();          // never in the metafile: nothing written
    rec.SelectObject(c.get());  // lowest free: 1 again
    rec.SelectObject(f.get());  // 3
    const Bytes file = rec.Close();

    std::vector<std::string> seen;
    plat::EnumEnhMetaFile(file, [&](const plat::EmfRecord& r) {
        std::string s(plat::emf::RecordName(r.type));
        if (r.type == plat::emf::kSelectObject || r.type == plat::emf::kDeleteObject) {
            s += " " + std::to_string(plat::emf::Field(r, 0));
        } else if (r.type == plat::emf::kCreatePen) {
            s += " " + std::to_string(plat::emf::DecodePen(r).index);
        } else if (r.type == plat::emf::kCreateBrushIndirect) {
            s += " " + std::to_string(plat::emf::DecodeBrush(r).index);
        } else if (r.type == plat::emf::kExtCreateFontIndirectW) {
            s += " " + std::to_string(plat::emf::DecodeFont(r).index);
        }
        seen.push_back(s);
        return true;
    });
    const std::vector<std::string> expected{"HEADER",
                                            "CREATEPEN 1",
                                            "SELECTOBJECT 1",
                                            "CREATEBRUSHINDIRECT 2",
                                            "SELECTOBJECT 2",
                                            "SELECTOBJECT 1",
                                            "SELECTOBJECT " + std::to_string(0x80000008u),
                                            "DELETEOBJECT 1",
                                            "CREATEPEN 1",
                                            "SELECTOBJECT 1",
                                            "EXTCREATEFONTINDIRECTW 3",
                                            "SELECTOBJECT 3",
                                            "EOF"};
    EXPECT_EQ(seen, expected);
    plat::EmfHeader header;
    ASSERT_TRUE(plat::ReadEmfHeader(file, &header));
    EXPECT_EQ(header.handles, 4) << "highest index 3, plus the metafile's own";
    EXPECT_EQ(header.records, expected.size());
    EXPECT_EQ(header.bytes, file.size());
    EXPECT_EQ(header.bounds, (RECT{0, 0, -1, -1})) << "nothing drawn";
    ExpectSecondReaderAgrees(file);
}

// A small sound file to break in the checks below.
Bytes SoundFile() {
    plat::EmfRecorder rec(kReference, RECT{0, 0, 100, 100}, u"x");
    const int32_t dx[] = {5, 5};
    rec.ExtTextOutW(0, 0, 0, nullptr, u"ab", dx);
    rec.Polyline(std::vector<POINT>{{0, 0}, {1, 1}});
    plat::GdiObject r(plat::CreateRectRgn(0, 0, 5, 5));
    rec.SelectClipRgn(r.get());
    return rec.Close();
}

void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(EmfEnumerator, ChecksBeforeUse) {
    const Bytes sound = SoundFile();
    ExpectSecondReaderAgrees(sound);
    // Offsets of the records: header, text, polyline, clip, EOF.
    std::vector<size_t> at;
    plat::EnumEnhMetaFile(sound, [&](const plat::EmfRecord& r) {
        at.push_back(size_t(r.bytes.data() - sound.data()));
        return true;
    });
    ASSERT_EQ(at.size(), 5u);
    const size_t text = at[1], poly = at[2], clip = at[3];
    struct Case {
        std::function<void(Bytes&)> damage;
        const char* error;  // part of the message
        const char* why;
    };
    const Case cases[] = {
        {[](Bytes& b) { b.resize(60); }, "too short", "shorter than a header"},
        {[](Bytes& b) { Put32(b, 40, 0); }, "signature", "signature"},
        {[](Bytes& b) { b.resize(b.size() - 4); }, "byte count", "cut short"},
        {[&](Bytes& b) { Put32(b, poly + 4, 30); }, "bad size", "size not a multiple of 4"},
        {[&](Bytes& b) { Put32(b, poly + 4, 4); }, "bad size", "size below 8"},
        {[&](Bytes& b) { Put32(b, poly + 4, 0x10000000); }, "bad size", "record beyond the file"},
        {[](Bytes& b) { Put32(b, 52, 9); }, "record count", "count does not match"},
        {[&](Bytes& b) { Put32(b, at[4], 70); }, "end record", "no EOF"},
        {[&](Bytes& b) { Put32(b, text + 44, 1000); }, "text outside", "more characters"},
        {[&](Bytes& b) { Put32(b, text + 48, 0xFFFFFFF0); }, "text outside", "string offset wraps"},
        {[&](Bytes& b) { Put32(b, text + 72, 200); }, "advances outside", "advance offset"},
        {[&](Bytes& b) { Put32(b, poly + 24, 0x40000001); }, "points outside",
         "count x size wraps"},
        {[&](Bytes& b) { Put32(b, clip + 24, 2); }, "region rectangles", "more rectangles"},
        {[&](Bytes& b) { Put32(b, clip + 8, 1000); }, "region data outside", "region size"},
        {[](Bytes& b) { Put32(b, 64, 1000); }, "description", "description offset"},
        {[](Bytes& b) { b[56] = 0; }, "handle count", "no handles"},
    };
    for (const Case& c : cases) {
        Bytes b = sound;
        c.damage(b);
        std::string error;
        bool visited = false;
        EXPECT_FALSE(plat::EnumEnhMetaFile(
            b,
            [&](const plat::EmfRecord&) {
                visited = true;
                return true;
            },
            &error))
            << c.why;
        EXPECT_FALSE(visited) << c.why << ": nothing is handed out before the whole file passed";
        EXPECT_NE(error.find(c.error), std::string::npos) << c.why << ": " << error;
        plat::InfoDc dc;
        EXPECT_FALSE(plat::PlayEnhMetaFile(dc, b)) << c.why;
    }
}

TEST(EmfListing, OneLinePerRecord) {
    plat::EmfRecorder rec(kReference, RECT{0, 0, 2540, 1270}, u"KelvaprintV3.0");
    plat::GdiObject pen(plat::CreatePen(plat::kPsSolid, 2, plat::Rgb(0x12, 0x34, 0x56)));
    plat::GdiObject brush(plat::CreateSolidBrush(plat::Rgb(0xAB, 0xCD, 0xEF)));
    plat::LOGFONTW lf;
    lf.lfHeight = -16;
    const std::u16string face = u"ＭＳ 明朝";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    plat::GdiObject font(plat::CreateFontIndirectW(lf));
    rec.SelectObject(pen.get());
    rec.SelectObject(brush.get());
    rec.SelectObject(font.get());
    const std::string_view comment = "##EMBED###0123456789";
    rec.GdiComment(std::span(reinterpret_cast<const uint8_t*>(comment.data()), comment.size()));
    const int32_t dx[] = {16, 16, 16};
    rec.ExtTextOutW(3, 4, 0, nullptr, u"漢\"\\", dx);
    rec.SaveDC();
    rec.RestoreDC(-1);
    rec.PatBlt(0, 0, 1, 1, plat::kRopPatCopy);
    rec.Polygon(std::vector<POINT>{{1, 2}, {3, 4}, {-5, 6}});
    const Bytes file = rec.Close();
    std::string listing, error;
    ASSERT_TRUE(plat::ListEmfRecords(file, &listing, &error)) << error;
    const std::string expected =
        "0 1 HEADER 140 frame=0,0,2540,1270 device=1000,1000 mm=254,254\n"
        "1 38 CREATEPEN 28 index=1 style=0 color=123456\n"
        "2 37 SELECTOBJECT 12\n"
        "3 39 CREATEBRUSHINDIRECT 24 index=2 style=0 color=abcdef\n"
        "4 37 SELECTOBJECT 12\n"
        "5 82 EXTCREATEFONTINDIRECTW 332 index=3 face=\"ＭＳ 明朝\" height=-16\n"
        "6 37 SELECTOBJECT 12\n"
        "7 70 GDICOMMENT 32 bytes=20 head=2323454d424544232323303132333435\n"
        "8 84 EXTTEXTOUTW 96 at=3,4 text=\"漢\\\"\\\\\"\n"
        "9 33 SAVEDC 8\n"
        "10 34 RESTOREDC 12 relative=-1\n"
        "11 76 BITBLT 100 rop=f00021\n"
        "12 86 POLYGON16 40 points=1,2;3,4;-5,6\n"
        "13 14 EOF 20\n";
    EXPECT_EQ(listing, expected);
    ExpectSecondReaderAgrees(file);

    // The tool itself: the same listing, and exit 1 with a message for a broken file.
    const std::string path = TempPath("listing.emf");
    WriteFile(path, file);
    int status = 0;
    EXPECT_EQ(RunCommand(QZS_BINARY_DIR "/tools/qzs-emf records " + path, &status), expected);
    EXPECT_EQ(status, 0);
    Bytes broken = file;
    broken.resize(broken.size() - 8);
    WriteFile(path, broken);
    const std::string out =
        RunCommand(QZS_BINARY_DIR "/tools/qzs-emf records " + path + " 2>&1", &status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(out.find("qzs-emf: "), std::string::npos) << out;
    std::filesystem::remove(path);
}

}  // namespace
