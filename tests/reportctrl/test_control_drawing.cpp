// How the controls draw: the calls each makes on a device context (a context that logs them),
// placed in the drawing DC's units at the attribute DC's resolution; a group's members at the
// group's offset through the member-drawing entry; measure-only and selection passes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/handles.h"
#include "tests/reportctrl/control_fakes.h"

namespace {

using namespace ctrltest;

std::string Hex6(uint32_t color) {
    char text[16];
    snprintf(text, sizeof text, "%06X", color);
    return text;
}

std::string Points(std::span<const POINT> points) {
    std::string out;
    for (const POINT& p : points) {
        out += (out.empty() ? "" : ";") + std::to_string(p.x) + "," + std::to_string(p.y);
    }
    return out;
}

// An information context that logs the drawing calls it is given.
class LoggingDc final : public DeviceContext {
  public:
    explicit LoggingDc(int32_t dpi, int32_t technology = kDtRasPrinter)
        : DeviceContext(DeviceInfo::ForPixels(2000, 2000, dpi, technology)) {}

    std::vector<std::string> log;

    int32_t SaveDC() override {
        log.push_back("SaveDC");
        return DeviceContext::SaveDC();
    }
    bool RestoreDC(int32_t level) override {
        log.push_back("RestoreDC " + std::to_string(level));
        return DeviceContext::RestoreDC(level);
    }
    bool SetViewportOrgEx(int32_t x, int32_t y, POINT* previous) override {
        log.push_back("SetViewportOrgEx " + std::to_string(x) + "," + std::to_string(y));
        return DeviceContext::SetViewportOrgEx(x, y, previous);
    }
    COLORREF SetTextColor(COLORREF color) override {
        log.push_back("SetTextColor " + Hex6(color));
        return DeviceContext::SetTextColor(color);
    }
    int32_t SetBkMode(int32_t mode) override {
        log.push_back("SetBkMode " + std::to_string(mode));
        return DeviceContext::SetBkMode(mode);
    }
    HGDIOBJ SelectObject(HGDIOBJ object) override {
        int32_t stock = 0;
        std::string what;
        if (IsStockObject(object, &stock)) {
            what = "stock " + std::to_string(stock);
        } else if (auto pen = GetLogPen(object)) {
            what = "pen " + std::to_string(pen->lopnStyle) + " " +
                   std::to_string(pen->lopnWidth.x) + " " + Hex6(pen->lopnColor);
        } else if (auto brush = GetLogBrush(object)) {
            what = "brush " + std::to_string(brush->lbStyle) + " " + Hex6(brush->lbColor);
        } else if (auto font = GetLogFont(object)) {
            std::string face;
            Utf8FromWide(font->lfFaceName, &face);
            what = "font " + face + " " + std::to_string(font->lfHeight) + " " +
                   std::to_string(font->lfWeight) + " " + std::to_string(font->lfCharSet);
        }
        log.push_back("SelectObject " + what);
        return DeviceContext::SelectObject(object);
    }
    bool MoveToEx(int32_t x, int32_t y, POINT* previous) override {
        log.push_back("MoveToEx " + std::to_string(x) + "," + std::to_string(y));
        return DeviceContext::MoveToEx(x, y, previous);
    }
    bool LineTo(int32_t x, int32_t y) override {
        log.push_back("LineTo " + std::to_string(x) + "," + std::to_string(y));
        return DeviceContext::LineTo(x, y);
    }
    bool Polyline(std::span<const POINT> points) override {
        log.push_back("Polyline " + Points(points));
        return DeviceContext::Polyline(points);
    }
    bool Polygon(std::span<const POINT> points) override {
        log.push_back("Polygon " + Points(points));
        return DeviceContext::Polygon(points);
    }
    bool GdiComment(std::span<const uint8_t> data) override {
        log.push_back("GdiComment " + std::string(data.begin(), data.end()));
        return DeviceContext::GdiComment(data);
    }
    bool ExtTextOutW(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                     std::u16string_view text, std::span<const int32_t> dx) override {
        std::string utf8;
        Utf8FromWide(text, &utf8);
        std::string line = "ExtTextOutW " + std::to_string(x) + "," + std::to_string(y) + " " +
                           std::to_string(options);
        if (rect) {
            line += " " + std::to_string(rect->left) + "," + std::to_string(rect->top) + "," +
                    std::to_string(rect->right) + "," + std::to_string(rect->bottom);
        }
        log.push_back(line + " " + utf8);
        return DeviceContext::ExtTextOutW(x, y, options, rect, text, dx);
    }
};

// A control placed on a fake site (report unit 0.01 mm): at 254 dpi one report unit of 0.1 mm
// is one pixel, so a rectangle of {100, 200, 1100, 700} lands on {10, 20, 110, 70}.
struct Placed {
    Placed(const InterfaceId& id, RectL rect) : control(id) {
        control.holder->SetSite(&site);
        control.holder->SetRect(&rect);
    }
    FakeSite site;
    Control control;
};

SIZE Extent(std::u16string_view text, int32_t height, std::u16string_view face) {
    InfoDc dc(DeviceInfo::ForPixels(2000, 2000, 254, kDtRasPrinter));
    LOGFONTW f;
    f.lfHeight = height;
    f.lfWeight = 400;
    f.lfCharSet = 128;
    std::copy(face.begin(), face.end(), f.lfFaceName);
    GdiObject font(CreateFontIndirectW(f));
    dc.SelectObject(font.get());
    SIZE size;
    EXPECT_TRUE(dc.GetTextExtentPoint32W(text, &size));
    return size;
}

TEST(ControlDrawing, ShapesAsClosedPolylinesPolygonsAndLines) {
    struct Case {
        const char* why;
        InterfaceId id;
        RectL rect;
        int32_t width;  // report unit
        uint32_t color;
        uint32_t fill;
        int32_t dpi;  // of the attribute DC; 0: none given, the drawing DC's 254 counts
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"falling line",
         ctrlclass::kLine,
         {100, 200, 1100, 700},
         0,
         0x0000FF,
         0,
         0,
         {"SelectObject pen 0 0 0000FF", "MoveToEx 10,20", "LineTo 110,70",
          "SelectObject stock 7"}},
        {"rising line, 0.5 mm wide",
         ctrlclass::kLine,
         {100, 700, 1100, 200},
         50,
         0,
         0,
         0,
         {"SelectObject pen 0 5 000000", "MoveToEx 10,70", "LineTo 110,20",
          "SelectObject stock 7"}},
        {"a width under a pixel stays one pixel",
         ctrlclass::kLine,
         {0, 0, 100, 0},
         2,
         0,
         0,
         0,
         {"SelectObject pen 0 1 000000", "MoveToEx 0,0", "LineTo 10,0", "SelectObject stock 7"}},
        {"box without fill",
         ctrlclass::kBox,
         {100, 200, 1100, 700},
         10,
         0x123456,
         kpctrl::kNoFill,
         0,
         {"SelectObject pen 0 1 123456", "Polyline 10,20;110,20;110,70;10,70;10,20",
          "SelectObject stock 7"}},
        {"filled box",
         ctrlclass::kBox,
         {100, 200, 1100, 700},
         0,
         0,
         0xEEDDCC,
         0,
         {"SelectObject pen 0 0 000000", "SelectObject brush 0 EEDDCC",
          "Polygon 10,20;110,20;110,70;10,70", "SelectObject stock 0",
          "Polyline 10,20;110,20;110,70;10,70;10,20", "SelectObject stock 7"}},
        {"pixels at the attribute DC's 127 dpi",
         ctrlclass::kBox,
         {100, 200, 1100, 700},
         40,
         0,
         kpctrl::kNoFill,
         127,
         {"SelectObject pen 0 2 000000", "Polyline 5,10;55,10;55,35;5,35;5,10",
          "SelectObject stock 7"}},
        {"half a pixel rounds away from zero",
         ctrlclass::kLine,
         {-15, 15, 25, -25},
         0,
         0,
         0,
         0,
         {"SelectObject pen 0 0 000000", "MoveToEx -2,2", "LineTo 3,-3", "SelectObject stock 7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        Placed placed(c.id, c.rect);
        placed.control.Put(KPM_SHAPE_CONTROL_LINE_WIDTH, VariantI4(c.width));
        placed.control.Put(KPM_SHAPE_CONTROL_LINE_COLOR, VariantUI4(c.color));
        if (IsEqualInterfaceId(c.id, ctrlclass::kBox))
            placed.control.Put(KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(c.fill));
        LoggingDc dc(254);
        LoggingDc attribute(c.dpi == 0 ? 254 : c.dpi);
        EXPECT_EQ(placed.control.draw->Draw(dc.handle(), c.dpi == 0 ? 0 : attribute.handle(),
                                            nullptr, 0, 1),
                  0);
        EXPECT_EQ(dc.log, c.calls);
        EXPECT_TRUE(attribute.log.empty()) << "the attribute DC only measures";
        EXPECT_EQ(dc.GetSaveDepth(), 0);
    }
}

TEST(ControlDrawing, TextAfterTheEmbedCommentAlignedByItsExtent) {
    const std::u16string text = u"\u30C7\u30FC\u30BF\u8A2D\u5B9A";  // データ設定
    // 9 pt at 254 dpi: 31.75 pixels, rounded to 32.
    const SIZE extent = Extent(text, -32, u"IPAGothic");
    ASSERT_GT(extent.cx, 0);
    // Cell {10, 20, 410, 170} in pixels.
    const RectL rect{100, 200, 4100, 1700};
    struct Case {
        int16_t align, valign;
        int32_t x, y;
    };
    const Case cases[] = {
        {0, 0, 10, 20},
        {1, 0, 10 + (400 - extent.cx) / 2, 20},
        {2, 0, 410 - extent.cx, 20},
        {0, 1, 10, 20 + (150 - extent.cy) / 2},
        {2, 2, 410 - extent.cx, 170 - extent.cy},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.align) + "/" + std::to_string(c.valign));
        Placed placed(ctrlclass::kText, rect);
        placed.control.Put(KPM_TEXT_CONTROL_FONT_NAME, Text(u"IPAGothic"));
        placed.control.Put(KPM_TEXT_CONTROL_FONT_SIZE, Real(9.0f));
        placed.control.Put(KPM_TEXT_CONTROL_TEXT, Text(text));
        placed.control.Put(KPM_TEXT_CONTROL_ALIGN, VariantI2(c.align));
        placed.control.Put(KPM_TEXT_CONTROL_VALIGN, VariantI2(c.valign));
        placed.control.Put(KPM_TEXT_CONTROL_TEXT_COLOR, VariantUI4(0x0000FF));
        LoggingDc dc(254);
        ASSERT_EQ(placed.control.draw->Draw(dc.handle(), 0, nullptr, 0, 1), 0);
        const std::vector<std::string> expected{
            "SetBkMode 1",
            "SetTextColor 0000FF",
            "SelectObject font IPAGothic -32 400 128",
            "GdiComment ##EMBED###",
            "ExtTextOutW " + std::to_string(c.x) + "," + std::to_string(c.y) +
                " 4 10,20,410,170 \xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\xE8\xA8\xAD\xE5\xAE\x9A",
            "SelectObject stock 13",
            "SetTextColor 000000",
            "SetBkMode 2",
        };
        EXPECT_EQ(dc.log, expected);
    }

    // An empty text draws nothing at all, not even its comment.
    Placed empty(ctrlclass::kText, rect);
    LoggingDc dc(254);
    EXPECT_EQ(empty.control.draw->Draw(dc.handle(), 0, nullptr, 0, 1), 0);
    EXPECT_TRUE(dc.log.empty());

    // The height follows the attribute DC: 10.5 pt at 96 dpi is 14 pixels.
    Placed sized(ctrlclass::kText, rect);
    sized.control.Put(KPM_TEXT_CONTROL_TEXT, Text(u"A"));
    LoggingDc attribute(96);
    LoggingDc drawing(254);
    ASSERT_EQ(sized.control.draw->Draw(drawing.handle(), attribute.handle(), nullptr, 0, 1), 0);
    ASSERT_GE(drawing.log.size(), 3u);
    EXPECT_EQ(drawing.log[2],
              "SelectObject font \xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83"
              "\xE3\x82\xAF -14 400 128");
}

TEST(ControlDrawing, GroupMembersAtTheGroupsOffset) {
    struct Case {
        const char* why;
        RectL rect;
        POINT viewportBefore;
        int32_t scale;  // of the drawing DC's mapping (anisotropic), 1: none
        POINT viewportInside;
    };
    const Case cases[] = {
        {"plain", {1000, 500, 3000, 2500}, {0, 0}, 1, {100, 50}},
        {"corners in any order", {3000, 2500, 1000, 500}, {0, 0}, 1, {100, 50}},
        {"origin already moved", {1000, 500, 3000, 2500}, {7, 9}, 1, {107, 59}},
        {"a scaled mapping moves by device units", {1000, 500, 3000, 2500}, {0, 0}, 2, {200, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        FakeMembers members;
        Placed group(ctrlclass::kGroup, c.rect);
        group.site.members = &members;
        LoggingDc dc(254);
        LoggingDc attribute(254);
        if (c.scale != 1) {
            dc.SetMapMode(kMmAnisotropic);
            dc.SetViewportExtEx(c.scale, c.scale);
        }
        dc.DeviceContext::SetViewportOrgEx(c.viewportBefore.x, c.viewportBefore.y);
        POINT seen{};
        int32_t depth = -1;
        members.draw = [&](uint32_t drawDc) {
            DeviceContext* inside = DcFromHandle(drawDc);
            seen = inside->GetViewportOrgEx();
            depth = inside->GetSaveDepth();
            return 0;
        };
        EXPECT_EQ(group.control.draw->Draw(dc.handle(), attribute.handle(), nullptr, 0, 0x08004001),
                  0);
        EXPECT_EQ(seen, c.viewportInside);
        EXPECT_EQ(depth, 1);
        EXPECT_EQ(dc.GetSaveDepth(), 0);
        EXPECT_EQ(dc.GetViewportOrgEx(), c.viewportBefore);
        ASSERT_EQ(members.calls.size(), 1u);
        EXPECT_EQ(members.calls[0].drawDc, dc.handle());
        EXPECT_EQ(members.calls[0].attributeDc, attribute.handle());
        EXPECT_FALSE(members.calls[0].clip);
        EXPECT_EQ(members.calls[0].inherit, 0) << "an inheriting pass would undo the move";
        EXPECT_EQ(members.calls[0].flags, 0x08004001u);
        EXPECT_EQ(members.ends, 1);
        EXPECT_EQ(members.refs, 0) << "the entry is let go";
        EXPECT_EQ(dc.log, (std::vector<std::string>{"SaveDC",
                                                    "SetViewportOrgEx " +
                                                        std::to_string(c.viewportInside.x) + "," +
                                                        std::to_string(c.viewportInside.y),
                                                    "RestoreDC -1"}));
    }

    // The members' failure is the group's answer; without an entry the group cannot draw them.
    FakeMembers failing;
    failing.answer = -1;
    Placed group(ctrlclass::kGroup, {0, 0, 100, 100});
    group.site.members = &failing;
    LoggingDc dc(254);
    EXPECT_EQ(group.control.draw->Draw(dc.handle(), 0, nullptr, 0, 1), -1);
    EXPECT_EQ(dc.GetSaveDepth(), 0);
    group.site.members = nullptr;
    EXPECT_EQ(group.control.draw->Draw(dc.handle(), 0, nullptr, 0, 1), rc::kNotReady);
    EXPECT_EQ(dc.GetSaveDepth(), 0);
}

TEST(ControlDrawing, MeasureOnlySelectionPassAndFailures) {
    for (const InterfaceId& id :
         {ctrlclass::kText, ctrlclass::kLine, ctrlclass::kBox, ctrlclass::kGroup}) {
        FakeMembers members;
        Placed placed(id, {100, 100, 500, 500});
        placed.site.members = &members;
        placed.control.Put(KPM_TEXT_CONTROL_TEXT, Text(u"X"));
        LoggingDc attribute(96);

        // Measure only: no drawing DC needed, none touched; a group has its members measured.
        EXPECT_EQ(placed.control.draw->Draw(0, attribute.handle(), nullptr, 0, 0x20000000), 0);
        EXPECT_TRUE(attribute.log.empty());
        EXPECT_EQ(placed.site.conversions, 1);
        const bool group = IsEqualInterfaceId(id, ctrlclass::kGroup);
        ASSERT_EQ(members.calls.size(), group ? 1u : 0u);
        if (group) {
            EXPECT_EQ(members.calls[0].drawDc, 0u);
            EXPECT_EQ(members.calls[0].flags, 0x20000000u);
        }

        // The selection pass of a layout editor draws nothing here.
        LoggingDc dc(254);
        EXPECT_EQ(placed.control.draw->Draw(dc.handle(), 0, nullptr, 0, 0x0000A000), 0);
        EXPECT_TRUE(dc.log.empty());
        EXPECT_EQ(placed.site.conversions, 1);

        // No drawing DC, a handle naming no DC, a failing conversion, no site.
        EXPECT_EQ(placed.control.draw->Draw(0, attribute.handle(), nullptr, 0, 1), -7);
        EXPECT_EQ(placed.control.draw->Draw(0x7FFFFFF1, 0, nullptr, 0, 1), -7);
        EXPECT_EQ(placed.control.draw->Draw(dc.handle(), 0x7FFFFFF1, nullptr, 0, 1), -7);
        placed.site.convertAnswer = -8;
        EXPECT_EQ(placed.control.draw->Draw(dc.handle(), 0, nullptr, 0, 1), -8);
        placed.control.holder->SetSite(nullptr);
        EXPECT_EQ(placed.control.draw->Draw(dc.handle(), 0, nullptr, 0, 1), rc::kNotReady);
        EXPECT_TRUE(dc.log.empty());
    }
}

}  // namespace
