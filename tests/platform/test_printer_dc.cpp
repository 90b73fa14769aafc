// The printer context: each page arrives at the sink as a metafile of its own, asked of the
// abort procedure at every 64th drawing call (and once it answers "stop", nothing more reaches
// the pages), starting from the state the context held when the page began, on the device the
// page began with. No Qt application exists in this process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/emf_format.h"
#include "platform/gdi/emf_reader.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/printer_dc.h"

namespace plat {
namespace {

DeviceInfo A4At600() {
    DeviceInfo page = DeviceInfo::ForPixels(4800, 6800, 600, kDtRasPrinter);
    page.physicalWidth = 4960;
    page.physicalHeight = 7016;
    page.physicalOffsetX = 80;
    page.physicalOffsetY = 108;
    return page;
}

HFONT Gothic(int32_t height) {
    LOGFONTW lf;
    lf.lfHeight = height;
    const std::u16string face = u"IPAGothic";
    face.copy(lf.lfFaceName, face.size());
    return CreateFontIndirectW(lf);
}

// Where the texts of a played metafile land, in the device units of the page.
class TextCatcher final : public DeviceContext {
  public:
    explicit TextCatcher(const DeviceInfo& device) : DeviceContext(device) {}
    struct Caught {
        std::u16string text;
        POINT origin;
        int32_t height;
    };
    std::vector<Caught> texts;

  protected:
    void DrawDeviceText(const DeviceText& t) override {
        texts.push_back({t.text, t.origins.empty() ? POINT{} : t.origins.front(), t.font.lfHeight});
    }
};

std::vector<std::u16string> TextsOf(const PrinterDc::Page& page) {
    TextCatcher catcher(page.device);
    EXPECT_TRUE(PlayEnhMetaFile(catcher, page.metafile));
    std::vector<std::u16string> out;
    for (const auto& t : catcher.texts) out.push_back(t.text);
    return out;
}

TEST(PrinterDc, AbortProcedureEvery64DrawingCalls) {
    struct Case {
        int draws;          // rectangles before the text
        int stopAt;         // the call of the procedure that answers "stop"; 0 never
        int expectedCalls;  // times the procedure was asked
        bool textPrinted;
    };
    const Case cases[] = {
        {.draws = 62, .stopAt = 0, .expectedCalls = 0, .textPrinted = true},   // text is 63rd
        {.draws = 63, .stopAt = 0, .expectedCalls = 1, .textPrinted = true},   // text is 64th
        {.draws = 63, .stopAt = 1, .expectedCalls = 1, .textPrinted = false},  // stopped at it
        {.draws = 130, .stopAt = 0, .expectedCalls = 2, .textPrinted = true},  // 64 and 128
        {.draws = 70, .stopAt = 1, .expectedCalls = 1, .textPrinted = false},  // no more asked
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.draws);
        std::vector<PrinterDc::Page> pages;
        int calls = 0;
        PrinterDc dc(A4At600());
        dc.SetPageSink([&](PrinterDc::Page&& p) {
            pages.push_back(std::move(p));
            return true;
        });
        dc.SetAbortProc([&] { return ++calls != c.stopAt; });
        // Path building is no drawing: only its stroke would count.
        ASSERT_TRUE(dc.BeginPath());
        for (int i = 0; i < 100; ++i) dc.LineTo(i, i);
        ASSERT_TRUE(dc.AbortPath());
        ASSERT_TRUE(dc.StartPage());
        const HBRUSH brush = CreateSolidBrush(0);
        for (int i = 0; i < c.draws; ++i) dc.FillRect(RECT{10 * i, 10, 10 * i + 5, 20}, brush);
        const HFONT font = Gothic(-200);
        dc.SelectObject(font);
        dc.ExtTextOutW(300, 1000, 0, nullptr, u"QZSABORTCHECK");
        EXPECT_EQ(dc.Aborted(), c.stopAt != 0);
        EXPECT_TRUE(dc.EndPage());
        DeleteObject(brush);
        DeleteObject(font);
        EXPECT_EQ(calls, c.expectedCalls);
        // A stopped document's page is not handed on.
        ASSERT_EQ(pages.size(), c.stopAt == 0 ? 1u : 0u);
        if (!pages.empty()) {
            EXPECT_EQ(TextsOf(pages[0]) == std::vector<std::u16string>{u"QZSABORTCHECK"},
                      c.textPrinted);
        }
    }
}

TEST(PrinterDc, EachPageStartsFromTheContextsStateOnItsOwnSheet) {
    std::vector<PrinterDc::Page> pages;
    PrinterDc dc(A4At600());
    dc.SetPageSink([&](PrinterDc::Page&& p) {
        pages.push_back(std::move(p));
        return true;
    });
    // Set before the first page, as the print loop sets the mapping up after a reset.
    dc.SetMapMode(kMmAnisotropic);
    dc.SetWindowExtEx(1, 1);
    dc.SetViewportExtEx(2, 2);
    dc.SetViewportOrgEx(-80, -108);
    const HFONT font = Gothic(-50);
    dc.SelectObject(font);
    ASSERT_TRUE(dc.StartPage());
    dc.ExtTextOutW(100, 200, 0, nullptr, u"ONE");
    // A reset while the page is drawn changes the device of the next page only.
    DeviceInfo landscape = A4At600();
    std::swap(landscape.horzRes, landscape.vertRes);
    std::swap(landscape.physicalWidth, landscape.physicalHeight);
    ASSERT_TRUE(dc.Reset(landscape));
    ASSERT_TRUE(dc.EndPage());
    dc.SetViewportOrgEx(0, 0);
    ASSERT_TRUE(dc.StartPage());
    dc.ExtTextOutW(100, 200, 0, nullptr, u"TWO");
    ASSERT_TRUE(dc.EndPage());
    DeleteObject(font);

    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].device.physicalHeight, 7016);
    EXPECT_EQ(pages[1].device.physicalHeight, 4960);
    const struct {
        size_t page;
        const char16_t* text;
        POINT origin;  // device: logical x 2 plus the viewport origin
    } expected[] = {
        {.page = 0, .text = u"ONE", .origin = {120, 292}},
        {.page = 1, .text = u"TWO", .origin = {200, 400}},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.page);
        TextCatcher catcher(pages[e.page].device);
        ASSERT_TRUE(PlayEnhMetaFile(catcher, pages[e.page].metafile));
        ASSERT_EQ(catcher.texts.size(), 1u);
        EXPECT_EQ(catcher.texts[0].text, e.text);
        EXPECT_EQ(catcher.texts[0].origin.x, e.origin.x);
        EXPECT_EQ(catcher.texts[0].origin.y, e.origin.y);
        EXPECT_EQ(catcher.texts[0].height, -100) << "the font, at the page's mapping";
    }
}

TEST(PrinterDc, PagesNeedAnOpenPageAndASinkThatTakesThem) {
    PrinterDc dc(A4At600());
    EXPECT_FALSE(dc.EndPage()) << "no page open";
    dc.SetPageSink([](PrinterDc::Page&&) { return false; });
    ASSERT_TRUE(dc.StartPage());
    EXPECT_FALSE(dc.StartPage()) << "one page at a time";
    EXPECT_FALSE(dc.EndPage()) << "the sink refused the page";
    EXPECT_EQ(dc.PagesStarted(), 1);
    DeviceInfo none = A4At600();
    none.logPixelsX = 0;
    EXPECT_FALSE(dc.Reset(none));
}

}  // namespace
}  // namespace plat
