// The controls drawn for real: recorded as a PDF export records them (only the record types the
// metafile translation reads, plus the mapping and background modes), each recording accepted
// by emf2svg-conv; and painted on an image, directly and by playing the recording back, with
// the ink where it belongs.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <set>
#include <string>

#include "platform/gdi/emf_reader.h"
#include "platform/gdi/emf_recorder.h"
#include "platform/gdi/qpainter_dc.h"
#include "tests/platform/emf_test_support.h"
#include "tests/reportctrl/control_fakes.h"

namespace {

using namespace ctrltest;

// What the translation reads (header and EOF included), and SetMapMode and SetBkMode.
const std::set<uint32_t> kAllowed{1,  9,  10, 11, 12, 14, 17, 18, 24, 25, 27, 31, 33,
                                  34, 37, 38, 39, 40, 54, 59, 60, 61, 64, 68, 70, 75,
                                  76, 81, 82, 83, 84, 86, 87, 88, 89, 90, 93, 95};

struct Placed {
    Placed(const InterfaceId& id, RectL rect) : control(id) {
        control.holder->SetSite(&site);
        control.holder->SetRect(&rect);
    }
    FakeSite site;
    Control control;
};

// A scene: a filled box, a rule, a centred Japanese text and a group holding a second box.
struct Scene {
    Scene()
        : box(ctrlclass::kBox, {1000, 1000, 3000, 2000}),
          line(ctrlclass::kLine, {1000, 2500, 5000, 2500}),
          text(ctrlclass::kText, {3500, 500, 5500, 1500}),
          group(ctrlclass::kGroup, {4000, 2800, 5500, 3800}),
          member(ctrlclass::kBox, {0, 0, 1000, 500}) {
        box.control.Put(KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0xEEDDCC));
        text.control.Put(KPM_TEXT_CONTROL_FONT_NAME, Text(u"IPAGothic"));
        text.control.Put(KPM_TEXT_CONTROL_FONT_SIZE, Real(24.0f));
        text.control.Put(KPM_TEXT_CONTROL_TEXT, Text(u"\u65E5\u672C"));  // 日本
        text.control.Put(KPM_TEXT_CONTROL_ALIGN, VariantI2(1));
        text.control.Put(KPM_TEXT_CONTROL_VALIGN, VariantI2(1));
        text.control.Put(KPM_TEXT_CONTROL_TEXT_COLOR, VariantUI4(0x0000FF));
        member.control.Put(KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0x00FF00));
        group.site.members = &members;
        members.draw = [this](uint32_t dc) {
            return member.control.draw->Draw(dc, attribute, nullptr, 0, flags);
        };
    }
    int32_t Draw(uint32_t dc, uint32_t attributeDc) {
        attribute = attributeDc;
        for (Placed* p : {&box, &line, &text, &group}) {
            const int32_t code = p->control.draw->Draw(dc, attributeDc, nullptr, 0, flags);
            if (code != 0) return code;
        }
        return 0;
    }
    Placed box, line, text, group, member;
    FakeMembers members;
    uint32_t attribute = 0;
    uint32_t flags = 0x2001;
};

std::vector<uint8_t> Record(Scene& scene, bool withAttribute) {
    const DeviceInfo page = DeviceInfo::ForPixels(600, 400, 254, kDtRasPrinter);
    EmfRecorder recorder(page, std::nullopt, u"KelvaprintV3.0");
    InfoDc reference(page);
    EXPECT_EQ(scene.Draw(recorder.handle(), withAttribute ? reference.handle() : 0), 0);
    return recorder.Close();
}

TEST(ControlRecording, OnlyTranslatedRecordTypesAcceptedByEmf2svg) {
    for (bool withAttribute : {true, false}) {
        SCOPED_TRACE(withAttribute ? "attribute DC given" : "no attribute DC");
        Scene scene;
        const std::vector<uint8_t> emf = Record(scene, withAttribute);
        std::multiset<uint32_t> types;
        std::string error;
        ASSERT_TRUE(EnumEnhMetaFile(
            emf,
            [&](const EmfRecord& r) {
                types.insert(r.type);
                return true;
            },
            &error))
            << error;
        for (uint32_t type : types) EXPECT_TRUE(kAllowed.count(type)) << "record type " << type;
        // What each control needs: the text's font, comment and wide text; pens, the fill brush
        // and polygon, outlines, the rule; the group's save, origin and restore.
        for (uint32_t type : {82u, 70u, 84u, 38u, 39u, 86u, 87u, 27u, 54u, 33u, 12u, 34u, 40u}) {
            EXPECT_TRUE(types.count(type)) << "record type " << type;
        }
        EXPECT_EQ(types.count(84), 1u);
        EXPECT_EQ(types.count(33), types.count(34)) << "every save restored";

        qzs_test::ExpectSecondReaderAgrees(emf);
    }
}

// Pixels of one colour (exactly) inside a rectangle of the image, right and bottom exclusive.
int Count(const QImage& image, QRgb color, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = std::max(0, top); y < std::min(image.height(), bottom); ++y) {
        for (int x = std::max(0, left); x < std::min(image.width(), right); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF)) ++n;
        }
    }
    return n;
}

// Pixels that are neither white nor one of the given colours: the text's ink, antialiased.
struct Ink {
    int count = 0;
    int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
};
Ink RedInk(const QImage& image, int left, int top, int right, int bottom) {
    Ink ink;
    for (int y = std::max(0, top); y < std::min(image.height(), bottom); ++y) {
        for (int x = std::max(0, left); x < std::min(image.width(), right); ++x) {
            const QColor c(image.pixel(x, y));
            if (c.red() > 128 && c.green() < 128 && c.blue() < 128) {
                ++ink.count;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
    }
    return ink;
}

void CheckScene(const QImage& image) {
    const QRgb black = qRgb(0, 0, 0), fill = qRgb(0xCC, 0xDD, 0xEE), green = qRgb(0, 0xFF, 0);
    // Box {100, 100, 300, 200}: its outline black, its inside filled, nothing of it outside.
    EXPECT_GE(Count(image, black, 100, 100, 301, 101), 195) << "top edge";
    EXPECT_GE(Count(image, black, 100, 100, 101, 201), 95) << "left edge";
    EXPECT_EQ(Count(image, fill, 102, 102, 299, 199), 197 * 97) << "filled inside";
    EXPECT_EQ(Count(image, fill, 0, 0, 600, 400), Count(image, fill, 100, 100, 301, 201));
    // The rule along row 250 from x 100 to 500, one pixel high.
    EXPECT_GE(Count(image, black, 100, 250, 501, 251), 395);
    EXPECT_EQ(Count(image, black, 0, 240, 600, 250), 0);
    EXPECT_EQ(Count(image, black, 0, 251, 600, 270), 0);
    // The group's member at the group's corner (400, 280): {400, 280, 500, 330} filled green.
    EXPECT_EQ(Count(image, green, 402, 282, 499, 329), 97 * 47);
    EXPECT_EQ(Count(image, green, 0, 0, 600, 400), Count(image, green, 400, 280, 501, 331));
    // The text's ink inside its cell {350, 50, 550, 150}, centred both ways.
    const Ink all = RedInk(image, 0, 0, 600, 400);
    const Ink inside = RedInk(image, 350, 50, 550, 150);
    EXPECT_GT(inside.count, 200);
    EXPECT_EQ(all.count, inside.count) << "no ink outside the cell";
    EXPECT_NEAR((inside.left + inside.right) / 2.0, 450, 6);
    EXPECT_NEAR((inside.top + inside.bottom) / 2.0, 100, 8);
}

TEST(ControlRecording, PaintedDirectlyAndPlayedBackAlike) {
    QImage direct(600, 400, QImage::Format_RGB32);
    direct.fill(Qt::white);
    {
        QPainterDc dc(&direct, 254, kDtRasPrinter);
        Scene scene;
        ASSERT_EQ(scene.Draw(dc.handle(), 0), 0);
    }
    {
        SCOPED_TRACE("direct");
        CheckScene(direct);
    }

    Scene scene;
    const std::vector<uint8_t> emf = Record(scene, true);
    QImage played(600, 400, QImage::Format_RGB32);
    played.fill(Qt::white);
    {
        QPainterDc dc(&played, 254, kDtRasPrinter);
        std::string error;
        ASSERT_TRUE(PlayEnhMetaFile(dc, emf, &error)) << error;
    }
    {
        SCOPED_TRACE("played back");
        CheckScene(played);
    }
    int differing = 0;
    for (int y = 0; y < 400; ++y) {
        for (int x = 0; x < 600; ++x) differing += direct.pixel(x, y) != played.pixel(x, y);
    }
    EXPECT_EQ(differing, 0);
}

}  // namespace
