// The state a device context keeps as GDI does: save levels, mappings, regions and clipping,
// and the handle table everything is reached through.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/gdi/device_context.h"
#include "platform/gdi/handles.h"
#include "platform/gdi/region.h"

namespace {

using plat::POINT;
using plat::RECT;
using plat::SIZE;

TEST(GdiSaveLevels, RelativeAbsoluteAndTooDeep) {
    plat::InfoDc dc;
    plat::GdiObject red(plat::CreatePen(plat::kPsSolid, 3, 0xFF));
    // Level n holds the text colour n - 1 and, from level 2 on, the red pen.
    ASSERT_EQ(dc.SaveDC(), 1);
    dc.SetTextColor(1);
    dc.SelectObject(red.get());
    ASSERT_EQ(dc.SaveDC(), 2);
    dc.SetTextColor(2);
    dc.SetMapMode(plat::kMmAnisotropic);
    ASSERT_EQ(dc.SaveDC(), 3);
    dc.SetTextColor(3);

    struct Step {
        int32_t restore;
        bool ok;
        int32_t depth;
        plat::COLORREF color;
        const char* why;
    };
    const Step steps[] = {
        {0, false, 3, 3, "level 0 is no level"},
        {4, false, 3, 3, "absolute beyond the depth"},
        {-4, false, 3, 3, "relative beyond the depth"},
        {-2, true, 1, 1, "two back: the state saved at level 2"},
        {2, false, 1, 1, "level 2 is gone"},
        {1, true, 0, 0, "absolute level 1: the state before the first save"},
        {-1, false, 0, 0, "nothing saved"},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(dc.RestoreDC(s.restore), s.ok) << s.why;
        EXPECT_EQ(dc.GetSaveDepth(), s.depth) << s.why;
        EXPECT_EQ(dc.GetTextColor(), s.color) << s.why;
    }
    // Objects and mapping come back with their level.
    EXPECT_EQ(dc.GetCurrentObject(plat::kObjPen), plat::GetStockObject(plat::kBlackPen));
    EXPECT_EQ(dc.GetMapMode(), plat::kMmText);

    // Saving stops at 65535 levels: a metafile of nothing but saves cannot eat memory.
    for (int32_t level = 1; level <= 65535; ++level) ASSERT_EQ(dc.SaveDC(), level);
    EXPECT_EQ(dc.SaveDC(), 0);
    EXPECT_TRUE(dc.RestoreDC(1));
    EXPECT_EQ(dc.GetSaveDepth(), 0);
}

TEST(GdiMapping, ModesAndRoundTrips) {
    struct Case {
        int32_t mode;
        SIZE window, viewport;  // set when not zero
        POINT windowOrg, viewportOrg;
        POINT logical, device;
        SIZE expectWindow, expectViewport;
        const char* why;
    };
    // A device of 1000 x 1000 pixels at 100 dpi: 254 x 254 mm.
    const Case cases[] = {
        {plat::kMmText,
         {},
         {},
         {5, 5},
         {100, 0},
         {10, 20},
         {105, 15},
         {1, 1},
         {1, 1},
         "text: origins only"},
        {plat::kMmText,
         {10, 10},
         {20, 20},
         {},
         {},
         {10, 20},
         {10, 20},
         {1, 1},
         {1, 1},
         "text: extents are ignored"},
        {plat::kMmLoMetric,
         {},
         {},
         {},
         {},
         {254, -254},
         {100, 100},
         {2540, 2540},
         {1000, -1000},
         "0.1 mm with y up"},
        {plat::kMmHiEnglish,
         {},
         {},
         {},
         {},
         {1000, -500},
         {100, 50},
         {10000, 10000},
         {1000, -1000},
         "0.001 inch"},
        {plat::kMmAnisotropic,
         {10, 10},
         {20, -30},
         {},
         {},
         {5, 5},
         {10, -15},
         {10, 10},
         {20, -30},
         "anisotropic keeps both extents"},
        {plat::kMmIsotropic,
         {1000, 1000},
         {500, 200},
         {},
         {},
         {100, 100},
         {20, 20},
         {1000, 1000},
         {200, 200},
         "isotropic shrinks the wider viewport extent"},
        {plat::kMmIsotropic,
         {1, 1},
         {1, 1},
         {},
         {},
         {123, 45},
         {123, 45},
         {1, 1},
         {1, 1},
         "the PDF export's isotropic identity"},
    };
    for (const Case& c : cases) {
        plat::InfoDc dc(plat::DeviceInfo::ForPixels(1000, 1000, 100));
        dc.SetMapMode(c.mode);
        if (c.window.cx) {
            EXPECT_TRUE(dc.SetWindowExtEx(c.window.cx, c.window.cy)) << c.why;
        }
        if (c.viewport.cx) {
            EXPECT_TRUE(dc.SetViewportExtEx(c.viewport.cx, c.viewport.cy)) << c.why;
        }
        dc.SetWindowOrgEx(c.windowOrg.x, c.windowOrg.y);
        dc.SetViewportOrgEx(c.viewportOrg.x, c.viewportOrg.y);
        EXPECT_EQ(dc.GetWindowExtEx(), c.expectWindow) << c.why;
        EXPECT_EQ(dc.GetViewportExtEx(), c.expectViewport) << c.why;
        POINT p = c.logical;
        dc.LPtoDP(std::span(&p, 1));
        EXPECT_EQ(p, c.device) << c.why;
        dc.DPtoLP(std::span(&p, 1));
        EXPECT_EQ(p, c.logical) << c.why << " (back)";
    }
}

TEST(GdiMapping, RefusalsAndScaling) {
    plat::InfoDc dc(plat::DeviceInfo::ForPixels(1000, 1000, 100));
    EXPECT_EQ(dc.SetMapMode(9), 0);
    EXPECT_EQ(dc.SetMapMode(plat::kMmAnisotropic), plat::kMmText);
    EXPECT_FALSE(dc.SetWindowExtEx(0, 10));
    EXPECT_FALSE(dc.SetViewportExtEx(10, 0));
    ASSERT_TRUE(dc.SetViewportExtEx(20, -30));
    EXPECT_FALSE(dc.ScaleViewportExtEx(1, 0, 1, 1));
    SIZE before;
    EXPECT_TRUE(dc.ScaleViewportExtEx(1, 2, 2, 3, &before));
    EXPECT_EQ(before, (SIZE{20, -30}));
    EXPECT_EQ(dc.GetViewportExtEx(), (SIZE{10, -20}));
    POINT previous;
    dc.SetViewportOrgEx(7, 8);
    EXPECT_TRUE(dc.OffsetViewportOrgEx(3, -8, &previous));
    EXPECT_EQ(previous, (POINT{7, 8}));
    EXPECT_EQ(dc.GetViewportOrgEx(), (POINT{10, 0}));
}

std::vector<RECT> Combined(const RECT& a, const RECT& b, int32_t mode) {
    plat::Region out;
    EXPECT_TRUE(plat::Region::Combine(plat::Region(a), plat::Region(b), mode, &out));
    return out.rects();
}

TEST(GdiRegions, BandedAsGdiBandsThem) {
    struct Case {
        RECT a, b;
        int32_t mode;
        std::vector<RECT> rects;
        const char* why;
    };
    const RECT outer{0, 0, 10, 10};
    const RECT inner{3, 3, 6, 6};
    const Case cases[] = {
        {outer,
         inner,
         plat::kRgnXor,
         {{0, 0, 10, 3}, {0, 3, 3, 6}, {6, 3, 10, 6}, {0, 6, 10, 10}},
         "nested XOR: a hole makes three bands"},
        {outer,
         inner,
         plat::kRgnDiff,
         {{0, 0, 10, 3}, {0, 3, 3, 6}, {6, 3, 10, 6}, {0, 6, 10, 10}},
         "nested DIFF is the same hole"},
        {inner, outer, plat::kRgnDiff, {}, "inner without outer is empty"},
        {{0, 0, 10, 5},
         {0, 5, 10, 10},
         plat::kRgnOr,
         {{0, 0, 10, 10}},
         "stacked equal bands merge into one"},
        {{0, 0, 10, 5},
         {0, 5, 10, 10},
         plat::kRgnXor,
         {{0, 0, 10, 10}},
         "stacked XOR touches without overlap"},
        {{0, 0, 10, 5},
         {5, 5, 15, 10},
         plat::kRgnOr,
         {{0, 0, 10, 5}, {5, 5, 15, 10}},
         "stacked shifted bands stay apart"},
        {outer,
         {5, 5, 15, 15},
         plat::kRgnXor,
         {{0, 0, 10, 5}, {0, 5, 5, 10}, {10, 5, 15, 10}, {5, 10, 15, 15}},
         "overlapping XOR"},
        {outer, {5, 5, 15, 15}, plat::kRgnDiff, {{0, 0, 10, 5}, {0, 5, 5, 10}}, "overlapping DIFF"},
        {outer, {5, 5, 15, 15}, plat::kRgnAnd, {{5, 5, 10, 10}}, "overlapping AND"},
        {{0, 0, 5, 5}, {5, 0, 10, 5}, plat::kRgnOr, {{0, 0, 10, 5}}, "side by side spans join"},
    };
    for (const Case& c : cases) EXPECT_EQ(Combined(c.a, c.b, c.mode), c.rects) << c.why;

    // Through handles: the destination may be a source; bad modes leave it alone.
    plat::GdiObject a(plat::CreateRectRgn(0, 0, 10, 10));
    plat::GdiObject b(plat::CreateRectRgn(3, 3, 6, 6));
    EXPECT_EQ(plat::CombineRgn(a.get(), a.get(), b.get(), plat::kRgnXor), plat::kComplexRegion);
    EXPECT_FALSE(plat::PtInRegion(a.get(), 4, 4));
    EXPECT_TRUE(plat::PtInRegion(a.get(), 2, 4));
    EXPECT_EQ(plat::CombineRgn(a.get(), a.get(), b.get(), 6), plat::kRegionError);
    RECT box;
    EXPECT_EQ(plat::GetRgnBox(a.get(), &box), plat::kComplexRegion);
    EXPECT_EQ(box, (RECT{0, 0, 10, 10}));
    EXPECT_EQ(plat::CombineRgn(a.get(), b.get(), a.get(), plat::kRgnAnd), plat::kNullRegion);
    EXPECT_EQ(plat::Region::FromRects(std::vector<RECT>{{0, 0, 5, 5}, {5, 0, 10, 5}, {2, 2, 3, 3}})
                  .rects(),
              (std::vector<RECT>{{0, 0, 10, 5}}));
}

TEST(GdiClipping, CombinesInDeviceUnits) {
    plat::InfoDc dc(plat::DeviceInfo::ForPixels(200, 100, 96));
    RECT box;
    EXPECT_EQ(dc.GetClipBox(&box), plat::kSimpleRegion);
    EXPECT_EQ(box, (RECT{0, 0, 200, 100}));
    plat::GdiObject r(plat::CreateRectRgn(10, 10, 50, 50));
    // AND with no clip is AND with the whole surface.
    EXPECT_EQ(dc.ExtSelectClipRgn(r.get(), plat::kRgnAnd), plat::kSimpleRegion);
    plat::GdiObject hole(plat::CreateRectRgn(20, 20, 30, 30));
    EXPECT_EQ(dc.ExtSelectClipRgn(hole.get(), plat::kRgnDiff), plat::kComplexRegion);
    // The box is logical: the viewport origin moves it.
    dc.SetViewportOrgEx(10, 10);
    EXPECT_EQ(dc.GetClipBox(&box), plat::kComplexRegion);
    EXPECT_EQ(box, (RECT{0, 0, 40, 40}));
    ASSERT_EQ(dc.SaveDC(), 1);
    EXPECT_EQ(dc.SelectClipRgn(0), plat::kSimpleRegion);
    EXPECT_FALSE(dc.clipRegion().has_value());
    EXPECT_TRUE(dc.RestoreDC(-1));
    ASSERT_TRUE(dc.clipRegion().has_value());
    EXPECT_EQ(dc.clipRegion()->rects().size(), 4u);
    EXPECT_EQ(dc.ExtSelectClipRgn(0, plat::kRgnAnd), plat::kRegionError);
}

TEST(GdiHandles, OneTableForEveryKind) {
    auto dc = std::make_unique<plat::InfoDc>();
    const plat::HDC h = dc->handle();
    EXPECT_EQ(plat::KindOfHandle(h), plat::HandleKind::kDc);
    EXPECT_EQ(plat::DcFromHandle(h), dc.get());
    EXPECT_EQ(plat::GetObjectType(h), plat::kObjDc);
    dc.reset();
    EXPECT_EQ(plat::DcFromHandle(h), nullptr);
    EXPECT_EQ(plat::KindOfHandle(h), plat::HandleKind::kNone);

    // A freed slot comes back under another handle value; the stale one finds nothing.
    plat::HPEN pen = plat::CreatePen(plat::kPsSolid, 1, 0);
    EXPECT_TRUE(plat::DeleteObject(pen));
    EXPECT_FALSE(plat::DeleteObject(pen));
    plat::GdiObject brush(plat::CreateSolidBrush(0x123456));
    EXPECT_NE(brush.get(), pen);
    EXPECT_EQ(plat::GetObjectType(pen), 0);
    EXPECT_EQ(plat::GetLogBrush(brush.get())->lbColor, 0x123456u);
    EXPECT_FALSE(plat::GetLogPen(brush.get()).has_value());

    // Stock objects cannot be deleted and keep their handles.
    plat::HGDIOBJ black = plat::GetStockObject(plat::kBlackPen);
    EXPECT_TRUE(plat::DeleteObject(black));
    EXPECT_EQ(plat::GetStockObject(plat::kBlackPen), black);
    EXPECT_EQ(plat::GetObjectType(black), plat::kObjPen);
    EXPECT_EQ(plat::GetStockObject(plat::kStockObjectCount), 0u);
    int32_t number = -1;
    EXPECT_TRUE(plat::IsStockObject(plat::GetStockObject(plat::kNullBrush), &number));
    EXPECT_EQ(number, plat::kNullBrush);

    int window = 0;
    plat::HWND w = plat::RegisterWindow(&window);
    EXPECT_EQ(plat::WindowFromHandle(w), &window);
    EXPECT_EQ(plat::DcFromHandle(w), nullptr);
    EXPECT_TRUE(plat::UnregisterWindow(w));
    EXPECT_EQ(plat::WindowFromHandle(w), nullptr);

    plat::HGLOBAL m = plat::GlobalAlloc(plat::kGmemMoveable | plat::kGmemZeroInit, 16);
    ASSERT_NE(m, 0u);
    EXPECT_EQ(plat::GlobalSize(m), 16u);
    auto* bytes = static_cast<uint8_t*>(plat::GlobalLock(m));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[15], 0);
    std::memcpy(bytes, "abcd", 4);
    EXPECT_EQ(plat::GlobalReAlloc(m, 32, 0), 0u) << "a locked block does not move";
    EXPECT_FALSE(plat::GlobalUnlock(m));
    EXPECT_EQ(plat::GlobalReAlloc(m, 32, 0), m);
    bytes = static_cast<uint8_t*>(plat::GlobalLock(m));
    EXPECT_EQ(std::memcmp(bytes, "abcd", 4), 0);
    plat::GlobalUnlock(m);
    EXPECT_EQ(plat::GlobalFree(m), 0u);
    EXPECT_EQ(plat::GlobalFree(m), m);
    EXPECT_EQ(plat::GlobalLock(m), nullptr);
}

TEST(GdiObjects, SelectionAnswersThePreviousObject) {
    plat::InfoDc dc;
    plat::GdiObject pen(plat::CreatePen(plat::kPsDash, 0, 0xFF0000));
    plat::GdiObject brush(plat::CreateHatchBrush(plat::kHsCross, 0xFF));
    EXPECT_EQ(dc.SelectObject(pen.get()), plat::GetStockObject(plat::kBlackPen));
    EXPECT_EQ(dc.SelectObject(brush.get()), plat::GetStockObject(plat::kWhiteBrush));
    EXPECT_EQ(dc.pen().style, plat::kPsDash);
    EXPECT_EQ(dc.brush().hatch, plat::kHsCross);
    EXPECT_EQ(dc.SelectObject(0x7FFFFFFF), 0u);
    plat::GdiObject region(plat::CreateRectRgn(0, 0, 1, 1));
    EXPECT_EQ(dc.SelectObject(region.get()), 0u) << "regions go through SelectClipRgn";
    // Deleting a selected object leaves the context its copy.
    pen.reset();
    EXPECT_EQ(dc.pen().color, 0xFF0000u);
    EXPECT_EQ(plat::CreateHatchBrush(6, 0), 0u);
    EXPECT_EQ(plat::CreatePen(plat::kPsSolid, -1, 0), 0u);
    EXPECT_EQ(plat::ExtCreatePen(plat::kPsCosmetic, 2, {plat::kBsSolid, 0, 0}), 0u);
    plat::GdiObject flat(plat::ExtCreatePen(plat::kPsGeometric | plat::kPsEndCapFlat, 5,
                                            {plat::kBsSolid, 0x00FF00, 0}));
    EXPECT_EQ(plat::GetObjectType(flat.get()), plat::kObjExtPen);
}

}  // namespace

namespace {

// Values at the 32-bit limits, as a damaged metafile hands them over, saturate instead of
// wrapping (the sanitizer build turns any wrap into a failure).
TEST(GdiLimits, ExtremeValuesSaturate) {
    plat::InfoDc dc;
    plat::LOGFONTW lf;
    lf.lfHeight = INT32_MIN;
    plat::GdiObject font(plat::CreateFontIndirectW(lf));
    dc.SelectObject(font.get());
    plat::FontMetrics m;
    ASSERT_TRUE(dc.GetTextMetrics(&m));
    EXPECT_GT(m.height, 0);
    const int32_t dx[] = {INT32_MAX, INT32_MAX, INT32_MIN};
    EXPECT_TRUE(dc.ExtTextOutA(INT32_MAX, INT32_MIN, 0, nullptr,
                               "\x82\xa0"
                               "A",
                               dx));
    plat::SIZE size;
    EXPECT_TRUE(dc.GetTextExtentPoint32W(u"AAAA", &size));
    dc.SetMapMode(plat::kMmAnisotropic);
    dc.SetViewportExtEx(INT32_MAX, INT32_MIN);
    POINT p{INT32_MAX, INT32_MIN};
    dc.LPtoDP(std::span(&p, 1));
    EXPECT_EQ(p, (POINT{134217727, 134217727})) << "device coordinates stay within 28 bits";
}

}  // namespace

extern "C" int32_t QzsPeerDrawLine(uint32_t dc);
extern "C" uint32_t QzsPeerAllocate();

namespace {

TEST(GdiHandles, OneTableForTheWholeProcess) {
    plat::InfoDc dc;
    dc.SaveDC();
    // The other library finds this context by its handle and draws through it.
    EXPECT_EQ(QzsPeerDrawLine(dc.handle()), 1);
    EXPECT_EQ(dc.GetCurrentPositionEx(), (POINT{10, 0}));
    EXPECT_EQ(QzsPeerDrawLine(0x7FFFFFFF), -1);
    // And a block it allocates is valid here.
    const plat::HGLOBAL block = QzsPeerAllocate();
    EXPECT_EQ(plat::GlobalSize(block), 8u);
    EXPECT_EQ(plat::GlobalFree(block), 0u);
}

}  // namespace
