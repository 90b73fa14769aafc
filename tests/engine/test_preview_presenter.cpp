// The preview window's logic: the toolbar against the Tools mask, the page state and the
// arrangement; page geometry, fit zoom and scroll ranges; click zoom, the splitter, status texts
// and the print-range dialog.
#include <gtest/gtest.h>

#include <map>

#include "engine/preview/frame_presenter.h"

namespace kp::preview {
namespace {

struct Shown {
    bool visible, enabled, checked;
};

std::map<int, Shown> ByCommand(const ViewState& v, bool viewer) {
    std::map<int, Shown> m;
    for (const ToolState& s : Toolbar(v, viewer)) m[s.def->id] = {s.visible, s.enabled, s.checked};
    return m;
}

TEST(PreviewToolbar, ButtonsInOrderWithTheirTexts) {
    const auto& preview = ToolDefs(false);
    ASSERT_EQ(preview.size(), 15u);
    EXPECT_EQ(preview[1].id, kCmdExit);
    EXPECT_STREQ(preview[1].text, "終了");
    EXPECT_STREQ(preview[1].tooltip, "プレビューを終了します。");
    EXPECT_STREQ(preview[14].text, "印刷");
    EXPECT_EQ(preview[14].bitmap, 9);
    const auto& viewer = ToolDefs(true);
    ASSERT_EQ(viewer.size(), 19u);
    EXPECT_EQ(viewer[16].id, kCmdLayerPrint);
    EXPECT_STREQ(viewer[16].text, "設定");
    EXPECT_STREQ(viewer[16].tooltip, "設定");
    EXPECT_EQ(viewer[18].id, kCmdDocumentInfo);
    EXPECT_STREQ(viewer[18].text, "情報");
    EXPECT_EQ(viewer[18].bitmap, 11);
}

TEST(PreviewToolbar, ToolsMaskHidesButtonsAndTheirSeparators) {
    struct Case {
        uint32_t tools;
        std::vector<int> hidden;
        std::vector<int> shown;
    } cases[] = {
        // The default 0x100007f3 shows every button; only the unused bits 0x4 and 0x8 are clear.
        {kDefaultTools,
         {},
         {kCmdExit, 1001, kCmdOutline, 1002, kCmdFirst, kCmdPrev, kCmdNext, kCmdLast, 1003,
          kCmdSingle, kCmdTwoVertical, kCmdTwoSide, 1004, kCmdPrint, 1000}},
        {0,
         {kCmdExit, 1001, kCmdOutline, 1002, kCmdFirst, kCmdPrev, kCmdNext, kCmdLast, 1003,
          kCmdSingle, kCmdTwoVertical, kCmdTwoSide, 1004, kCmdPrint},
         {1000, kCmdLayerPrint, kCmdDocumentInfo, 1005, 1006}},
        {0xFFFFFFFF, {}, {kCmdExit, kCmdOutline, kCmdTwoSide, 1004, kCmdPrint}},
        {0x00000400, {kCmdTwoVertical, kCmdPrint}, {kCmdTwoSide, 1004}},
    };
    for (const Case& c : cases) {
        ViewState v;
        v.tools = c.tools;
        const auto m = ByCommand(v, true);
        for (int id : c.hidden)
            EXPECT_FALSE(m.at(id).visible) << std::hex << c.tools << " " << std::dec << id;
        for (int id : c.shown)
            EXPECT_TRUE(m.at(id).visible) << std::hex << c.tools << " " << std::dec << id;
    }
}

TEST(PreviewToolbar, NavigationAndPrintFollowThePage) {
    struct Case {
        int current, count;
        bool first, prev, next, last, print;
    } cases[] = {
        {0, 0, false, false, false, false, false},  // nothing shown yet
        {0, 3, false, false, false, false, false},  // pages recorded, none shown
        {1, 1, false, false, false, false, true},   // one page: next and last disabled
        {1, 3, false, false, true, true, true},    {2, 3, true, true, true, true, true},
        {3, 3, true, true, false, false, true},
    };
    for (const Case& c : cases) {
        ViewState v;
        v.currentPage = c.current;
        v.pageCount = c.count;
        const auto m = ByCommand(v, false);
        EXPECT_EQ(m.at(kCmdFirst).enabled, c.first) << c.current << "/" << c.count;
        EXPECT_EQ(m.at(kCmdPrev).enabled, c.prev) << c.current << "/" << c.count;
        EXPECT_EQ(m.at(kCmdNext).enabled, c.next) << c.current << "/" << c.count;
        EXPECT_EQ(m.at(kCmdLast).enabled, c.last) << c.current << "/" << c.count;
        EXPECT_EQ(m.at(kCmdPrint).enabled, c.print) << c.current << "/" << c.count;
    }
}

TEST(PreviewToolbar, ArrangementAndOutlineChecks) {
    struct Case {
        bool two, vertical, index;
        bool single, stacked, side, outline;
    } cases[] = {
        {false, false, false, true, false, false, false},
        {false, true, true, true, false, false, true},  // vertical alone means nothing
        {true, true, false, false, true, false, false},
        {true, false, true, false, false, true, true},
    };
    for (const Case& c : cases) {
        ViewState v;
        v.twoPages = c.two;
        v.twoPagesVertical = c.vertical;
        v.indexVisible = c.index;
        const auto m = ByCommand(v, false);
        EXPECT_EQ(m.at(kCmdSingle).checked, c.single);
        EXPECT_EQ(m.at(kCmdTwoVertical).checked, c.stacked);
        EXPECT_EQ(m.at(kCmdTwoSide).checked, c.side);
        EXPECT_EQ(m.at(kCmdOutline).checked, c.outline);
    }
}

TEST(PreviewNavigation, Targets) {
    ViewState v;
    v.pageCount = 5;
    v.currentPage = 3;
    EXPECT_EQ(NavigationTarget(kCmdFirst, v), 1);
    EXPECT_EQ(NavigationTarget(kCmdPrev, v), 2);
    EXPECT_EQ(NavigationTarget(kCmdNext, v), 4);
    EXPECT_EQ(NavigationTarget(kCmdLast, v), 5);
    v.currentPage = 5;
    EXPECT_EQ(NavigationTarget(kCmdNext, v), 0);
    v.currentPage = 1;
    EXPECT_EQ(NavigationTarget(kCmdPrev, v), 0);
    v.currentPage = 0;
    EXPECT_EQ(NavigationTarget(kCmdFirst, v), 0);  // no page shown: no move
}

TEST(PreviewGeometry, PageSizeRoundsAndTurns) {
    struct Case {
        PaperRecord paper;
        int dpi;
        Size size;
    } cases[] = {
        {{1, 2100, 2970}, 96, {794, 1123}},  // A4 portrait: 793.7, 1122.5 rounded to nearest
        {{2, 2100, 2970}, 96, {1123, 794}},  // landscape swaps
        {{0, 2100, 2970}, 96, {1123, 794}},  // any orientation but 1 swaps
        {{1, 2100, 2970}, 10, {83, 117}},
        {{1, 0, -5}, 96, {1, 1}},  // damaged paper clamps to 1
        {{1, 32767, 32767}, 96, {12384, 12384}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PageSizeAt100(c.paper, c.dpi, c.dpi), c.size)
            << c.paper.orientation << " " << c.paper.paperWidth << " " << c.dpi;
}

TEST(PreviewGeometry, ArrangementsCentreTheSmallerPage) {
    const Size a4{794, 1123};
    const Size a5{559, 794};
    const Arrangement one = Arrange(a4, nullptr, true, false);
    EXPECT_EQ(one.first, (Rect{30, 30, 824, 1153}));
    EXPECT_FALSE(one.hasSecond);
    EXPECT_EQ(one.area, (Size{854, 1183}));

    const Arrangement side = Arrange(a4, &a5, true, false);
    EXPECT_EQ(side.first, (Rect{30, 30, 824, 1153}));
    EXPECT_EQ(side.second, (Rect{854, 30 + (1123 - 794) / 2, 854 + 559, 30 + 164 + 794}));
    EXPECT_EQ(side.area, (Size{794 + 559 + 90, 1123 + 60}));

    const Arrangement stacked = Arrange(a5, &a4, true, true);
    EXPECT_EQ(stacked.first, (Rect{30 + (794 - 559) / 2, 30, 30 + 117 + 559, 824}));
    EXPECT_EQ(stacked.second, (Rect{30, 854, 824, 854 + 1123}));
    EXPECT_EQ(stacked.area, (Size{794 + 60, 794 + 1123 + 90}));

    // TwoPages off ignores a loaded second page.
    EXPECT_FALSE(Arrange(a4, &a5, false, false).hasSecond);
}

TEST(PreviewGeometry, FitZoomRoundsAndClamps) {
    struct Case {
        Size canvas, area;
        int zoom;
    } cases[] = {
        {{854, 1183}, {854, 1183}, 100},
        {{427, 2000}, {854, 1183}, 50},
        {{800, 600}, {854, 1183}, 51},     // 50.72 rounds up
        {{800, 600}, {1000, 1203}, 50},    // 49.875 rounds up to 50
        {{10, 10}, {854, 1183}, 5},        // clamp low
        {{30000, 30000}, {60, 60}, 1000},  // clamp high
        {{0, 0}, {1, 1}, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitZoom(c.canvas, c.area), c.zoom) << c.canvas.width << "x" << c.canvas.height;
}

TEST(PreviewGeometry, ScrollRangesInStepsOf20) {
    // Before a page is shown both bars are inactive.
    EXPECT_EQ(Scrolling({800, 600}, {854, 1183}, 100, false).pageX, 0);
    struct Case {
        Size canvas, area;
        int zoom;
        int offsetX, offsetY, rangeX, rangeY;
    } cases[] = {
        {{800, 600}, {854, 1183}, 100, 0, 0, 60, 600},  // 54 → 60, 583 → 600
        {{800, 600}, {854, 1183}, 50, 186, 4, 0, 0},    // fits: centred
        {{900, 1183}, {854, 1183}, 100, 23, 0, 0, 0},   // exactly fits downwards
        {{800, 600}, {854, 1183}, 1000, 0, 0, 7740, 11240},
    };
    for (const Case& c : cases) {
        const ScrollGeometry g = Scrolling(c.canvas, c.area, c.zoom, true);
        EXPECT_EQ(g.offsetX, c.offsetX) << c.zoom;
        EXPECT_EQ(g.offsetY, c.offsetY) << c.zoom;
        EXPECT_EQ(g.rangeX, c.rangeX) << c.zoom;
        EXPECT_EQ(g.rangeY, c.rangeY) << c.zoom;
        EXPECT_EQ(g.pageX, 20);
        EXPECT_EQ(g.rangeX % 20, 0);
    }
    // The page corner sits 30 pixels inside the canvas after a move: at 200 % it lies at 60.
    EXPECT_EQ(ScrollToPageCorner(400, 0, 200), 30);
    EXPECT_EQ(ScrollToPageCorner(0, 0, 200), 0);
    EXPECT_EQ(ScrollToPageCorner(400, 0, 100), 0);
}

TEST(PreviewGeometry, ClickZoomBeepsAtTheLimits) {
    struct Case {
        int zoom;
        bool left;
        bool ok;
        int result;
    } cases[] = {
        {100, true, true, 105},    {100, false, true, 95}, {995, true, true, 1000},
        {1000, true, false, 1000}, {10, false, true, 5},   {5, false, false, 5},
    };
    for (const Case& c : cases) {
        int z = c.zoom;
        EXPECT_EQ(ClickZoom(c.zoom, c.left, &z), c.ok) << c.zoom;
        EXPECT_EQ(z, c.result) << c.zoom;
    }
}

TEST(PreviewFrame, SplitterStatusTexts) {
    EXPECT_EQ(SplitterRelease(100, 200, 202), 100);  // 2 pixels: nothing
    EXPECT_EQ(SplitterRelease(100, 200, 203), 103);
    EXPECT_EQ(SplitterRelease(100, 200, 197), 97);
    EXPECT_EQ(SplitterRelease(100, 200, 198), 100);
    const StatusEdges e = StatusBarEdges(800);
    EXPECT_EQ(e.first, 580);
    EXPECT_EQ(e.second, 665);
    EXPECT_EQ(ZoomText(100), "Zoom: 100%");
    EXPECT_EQ(PageText(3, 12), "Page : 3/12");
    EXPECT_EQ(PageText(0, 0), "Page : 0/0");
}

TEST(PrintRangeDialog, Choices) {
    struct Case {
        RangeChoice choice;
        int start, end;
        bool ok;
        int from, to;
        const char* message;
    } cases[] = {
        {RangeChoice::kAll, 0, 0, true, 1, 7, nullptr},
        {RangeChoice::kCurrent, 0, 0, true, 4, 4, nullptr},
        {RangeChoice::kTyped, 2, 5, true, 2, 5, nullptr},
        {RangeChoice::kTyped, 7, 7, true, 7, 7, nullptr},
        {RangeChoice::kTyped, 3, 2, false, 0, 0, "開始ページと終了ページの関係に矛盾があります。"},
        {RangeChoice::kTyped, 0, 2, false, 0, 0, "開始ページと終了ページの関係に矛盾があります。"},
        {RangeChoice::kTyped, 1, 0, false, 0, 0, "開始ページと終了ページの関係に矛盾があります。"},
        {RangeChoice::kTyped, 1, 8, false, 0, 0,
         "開始ページ又は、終了ページの指定に誤りがあります。"},
    };
    for (const Case& c : cases) {
        const RangeResult r = ResolvePrintRange(c.choice, c.start, c.end, 4, 7);
        EXPECT_EQ(r.ok, c.ok) << c.start << "-" << c.end;
        if (c.ok) {
            EXPECT_EQ(r.start, c.from);
            EXPECT_EQ(r.end, c.to);
        } else {
            EXPECT_STREQ(r.message, c.message);
        }
    }
    EXPECT_EQ(ParsePageNumber("12"), 12);
    EXPECT_EQ(ParsePageNumber("12a"), 0);
    EXPECT_EQ(ParsePageNumber(""), 0);
    EXPECT_EQ(ParsePageNumber("-3"), 0);
}

}  // namespace
}  // namespace kp::preview
