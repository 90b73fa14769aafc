// The controls as the engine meets them: the class list with flags, kinds and hit tests, creation
// and interfaces, the site holder's operations, and every member's VARIANT type and range.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/reportctrl/control_fakes.h"

namespace {

using namespace ctrltest;

std::string Name(const InterfaceId& id) {
    char text[32];
    snprintf(text, sizeof text, "{%08X,%08X}", id.first, id.second);
    return text;
}

TEST(ControlClassList, FlagsKindsAndHitTests) {
    ControlClassList* list = kpctrl::GetControlClassList();
    ASSERT_EQ(list->GetCount(), 4);
    EXPECT_EQ(list->GetFlags(-1), rc::kBadArgument);
    EXPECT_EQ(list->GetFlags(4), rc::kBadArgument);
    ControlClassEntry* entry = nullptr;
    EXPECT_EQ(list->GetEntry(4, &entry), rc::kBadArgument);
    EXPECT_EQ(list->GetEntry(0, nullptr), rc::kBadPointer);

    // A line runs from (left, top) to (right, bottom): {100,100,300,0} is the rising diagonal.
    const RectL area{100, 100, 300, 300};
    const RectL rising{100, 300, 300, 100};
    struct Point {
        const RectL* rect;
        int32_t x, y;
        int32_t hit;
    };
    struct Case {
        InterfaceId id;
        int32_t groupBit;
        uint16_t kind;
        std::vector<Point> points;
    };
    const std::vector<Point> inside{{&area, 200, 200, 1}, {&area, 100, 100, 1},
                                    {&area, 300, 300, 1}, {&area, 99, 200, 0},
                                    {&area, 200, 301, 0}, {&rising, 150, 150, 1}};
    const Case cases[] = {
        {ctrlclass::kText, 0, 1, inside},
        {ctrlclass::kBox, 0, 1, inside},
        {ctrlclass::kGroup, 0x80, 4, inside},
        {ctrlclass::kLine,
         0,
         2,
         {
             {&area, 200, 200, 1},  // on the falling diagonal
             {&area, 235, 200, 1},  // 24.7 off it: inside the tolerance of 50
             {&area, 300, 200, 0},  // 70.7 off it
             {&area, 300, 100, 0},  // a corner of the rectangle, far from the line
             {&area, 340, 340, 0},  // past the end by 56.6
             {&rising, 300, 100, 1},
             {&rising, 100, 100, 0},
         }},
    };
    // The classes are listed in the order of their ids; find each by its description.
    for (const Case& c : cases) {
        SCOPED_TRACE(Name(c.id));
        int found = -1;
        for (int i = 0; i < list->GetCount(); ++i) {
            ASSERT_EQ(list->GetEntry(i, &entry), 0);
            ControlClassDescription description{};
            ASSERT_EQ(entry->GetDescription(&description), 0);
            if (IsEqualInterfaceId(description.classId, c.id)) found = i;
        }
        ASSERT_GE(found, 0);
        EXPECT_EQ(list->GetFlags(found) & kControlFlagGroup, c.groupBit);
        EXPECT_GE(list->GetFlags(found), 0);
        ASSERT_EQ(list->GetEntry(found, &entry), 0);
        ControlClassDetails details{};
        ASSERT_EQ(entry->GetDetails(&details), 0);
        EXPECT_EQ(details.kind, c.kind);
        ASSERT_NE(details.hitTest, nullptr);
        for (const Point& p : c.points) {
            EXPECT_EQ(details.hitTest(*p.rect, p.x, p.y), p.hit)
                << "point " << p.x << "," << p.y << " rect " << p.rect->left << "," << p.rect->top
                << "," << p.rect->right << "," << p.rect->bottom;
        }
    }
    // Rectangles spanning the whole 32-bit range do not overflow the tests.
    const RectL huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_EQ(kpctrl::HitTestLine(huge, 0, 0), 1);
    EXPECT_EQ(kpctrl::HitTestRect(huge, INT32_MAX, INT32_MIN), 1);
}

TEST(ControlCreation, ClassesInterfacesAndReferences) {
    void* out = reinterpret_cast<void*>(1);
    const InterfaceId engineClass{0x00010000, 0x00000100};
    EXPECT_EQ(kpctrl::CreateControl(&engineClass, &iid::kSiteHolder, &out), rc::kWrongClass);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(kpctrl::CreateControl(&ctrlclass::kText, &iid::kClassList, &out),
              rc::kNotImplemented);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(kpctrl::CreateControl(nullptr, &iid::kSiteHolder, &out), rc::kBadPointer);
    EXPECT_EQ(kpctrl::CreateControl(&ctrlclass::kText, &iid::kSiteHolder, nullptr),
              rc::kBadPointer);

    for (const InterfaceId& id :
         {ctrlclass::kText, ctrlclass::kLine, ctrlclass::kBox, ctrlclass::kGroup}) {
        SCOPED_TRACE(Name(id));
        ASSERT_EQ(kpctrl::CreateControl(&id, &id, &out), 0);
        auto* main = static_cast<ScriptableObject*>(static_cast<Unknown*>(out));
        // Every interface reaches the same control; each answer takes one reference.
        for (const InterfaceId& other :
             {iid::kSiteHolder, iid::kControlDraw, iid::kControlPersist, iid::kBase, id}) {
            void* p = nullptr;
            ASSERT_EQ(main->QueryInterface(&other, &p), 0);
            EXPECT_EQ(static_cast<Unknown*>(p)->Release(), 1);
        }
        void* p = reinterpret_cast<void*>(1);
        const InterfaceId otherControl{id.first ^ 0x00070000, 0x100};
        EXPECT_EQ(main->QueryInterface(&otherControl, &p), rc::kNotImplemented);
        EXPECT_EQ(p, nullptr);
        ClassInfo* info = reinterpret_cast<ClassInfo*>(1);
        EXPECT_EQ(main->GetTypeInfo(&info), rc::kNotImplemented);
        EXPECT_EQ(info, nullptr);
        EXPECT_EQ(main->Reserved(nullptr, nullptr), rc::kNotImplemented);
        EXPECT_EQ(main->Release(), 0);
    }
}

TEST(ControlSiteHolder, NamesRectanglesStatesAndTheSite) {
    struct Case {
        InterfaceId id;
        std::u16string defaultName;
    };
    for (const Case& c : {Case{ctrlclass::kText, u"Text"}, Case{ctrlclass::kLine, u"Line"},
                          Case{ctrlclass::kBox, u"Box"}, Case{ctrlclass::kGroup, u"Group"}}) {
        SCOPED_TRACE(Name(c.id));
        Control control(c.id);
        Bstr name = nullptr;
        ASSERT_EQ(control.holder->GetName(&name), 0);
        EXPECT_EQ(BstrView(name), c.defaultName);
        BstrFree(name);
        EXPECT_EQ(control.holder->SetName(u"TitleMain"), 0);
        ASSERT_EQ(control.holder->GetName(&name), 0);
        EXPECT_EQ(BstrView(name), u"TitleMain");
        BstrFree(name);
        EXPECT_EQ(control.holder->SetName(nullptr), rc::kBadPointer);
        EXPECT_EQ(control.holder->GetName(nullptr), rc::kBadPointer);

        // Rectangles are kept as given, corners in any order.
        RectL rect{};
        EXPECT_EQ(control.holder->GetRect(&rect), 0);
        const RectL given{500, 40, -20, 10};
        EXPECT_EQ(control.holder->SetRect(&given), 0);
        EXPECT_EQ(control.holder->GetRect(&rect), 0);
        EXPECT_EQ(rect.left, 500);
        EXPECT_EQ(rect.bottom, 10);
        EXPECT_EQ(control.holder->SetRect(nullptr), rc::kBadPointer);
        EXPECT_EQ(control.holder->GetRect(nullptr), rc::kBadPointer);

        EXPECT_EQ(control.holder->SetState(kStateSoleSelected), 0);
        EXPECT_EQ(control.holder->SetState(kStateNotSoleSelected), 0);
        EXPECT_EQ(control.holder->SetState(0), rc::kBadArgument);

        // The site is held while set and let go when replaced or cleared.
        FakeSite first, second;
        EXPECT_EQ(control.holder->SetSite(&first), 0);
        EXPECT_EQ(first.refs, 1);
        EXPECT_EQ(control.holder->SetSite(&second), 0);
        EXPECT_EQ(first.refs, 0);
        EXPECT_EQ(second.refs, 1);
        EXPECT_EQ(control.holder->SetSite(nullptr), 0);
        EXPECT_EQ(second.refs, 0);
        EXPECT_EQ(control.draw->Invalidate(1), 0);
    }

    // A control released with its site still set lets go of it.
    FakeSite site;
    {
        void* out = nullptr;
        ASSERT_EQ(kpctrl::CreateControl(&ctrlclass::kBox, &iid::kSiteHolder, &out), 0);
        auto* holder = static_cast<ControlSiteHolder*>(static_cast<Unknown*>(out));
        holder->SetSite(&site);
        EXPECT_EQ(site.refs, 1);
        EXPECT_EQ(holder->Release(), 0);
    }
    EXPECT_EQ(site.refs, 0);
}

// One member call: what is put (or nothing for a get), the answer, and what a get reads back.
struct MemberCase {
    InterfaceId control;
    int32_t id;
    int32_t kind;
    Variant argument;  // VT_EMPTY: no argument
    int32_t code;
    const char* why;
};

Variant I2(int16_t v) {
    return VariantI2(v);
}
Variant I4(int32_t v) {
    return VariantI4(v);
}
Variant UI4(uint32_t v) {
    return VariantUI4(v);
}
Variant None() {
    return Variant{};
}

TEST(ControlMembers, TypesAndRangesOfEveryMember) {
    const InterfaceId T = ctrlclass::kText, L = ctrlclass::kLine, B = ctrlclass::kBox,
                      G = ctrlclass::kGroup;
    const MemberCase cases[] = {
        // Text: font name 1-31 characters.
        {T, KPM_TEXT_CONTROL_FONT_NAME, kInvokePut, Text(u"IPAGothic"), 0, "face name"},
        {T, KPM_TEXT_CONTROL_FONT_NAME, kInvokePut, Text(u""), -8, "empty face"},
        {T, KPM_TEXT_CONTROL_FONT_NAME, kInvokePut, Text(std::u16string(31, u'F')), 0,
         "31 characters"},
        {T, KPM_TEXT_CONTROL_FONT_NAME, kInvokePut, Text(std::u16string(32, u'F')), -8,
         "32 characters"},
        {T, KPM_TEXT_CONTROL_FONT_NAME, kInvokePut, I4(1), -7, "face as a number"},
        // Font size: VT_R4 points 1-500.
        {T, KPM_TEXT_CONTROL_FONT_SIZE, kInvokePut, Real(9.0f), 0, "9 pt"},
        {T, KPM_TEXT_CONTROL_FONT_SIZE, kInvokePut, Real(1.0f), 0, "smallest"},
        {T, KPM_TEXT_CONTROL_FONT_SIZE, kInvokePut, Real(500.0f), 0, "largest"},
        {T, KPM_TEXT_CONTROL_FONT_SIZE, kInvokePut, Real(0.99f), -8, "below 1"},
        {T, KPM_TEXT_CONTROL_FONT_SIZE, kInvokePut, Real(500.5f), -8, "above 500"},
        {T, KPM_TEXT_CONTROL_FONT_SIZE, kInvokePut, Real(NAN), -8, "not a number"},
        {T, KPM_TEXT_CONTROL_FONT_SIZE, kInvokePut, I4(9), -7, "size as an integer"},
        // Text: any text without zeros, null clears.
        {T, KPM_TEXT_CONTROL_TEXT, kInvokePut, Text(u"\u30C7\u30FC\u30BF"), 0, "Japanese text"},
        {T, KPM_TEXT_CONTROL_TEXT, kInvokePut, VariantBstr(nullptr), 0, "null clears"},
        {T, KPM_TEXT_CONTROL_TEXT, kInvokePut, Text(std::u16string(u"a\0b", 3)), -8,
         "embedded zero"},
        {T, KPM_TEXT_CONTROL_TEXT, kInvokePut, Text(std::u16string(65536, u'x')), -8,
         "over 65,535"},
        {T, KPM_TEXT_CONTROL_TEXT, kInvokePut, I2(1), -7, "text as a number"},
        // Alignments: VT_I2 0-2.
        {T, KPM_TEXT_CONTROL_ALIGN, kInvokePut, I2(2), 0, "right"},
        {T, KPM_TEXT_CONTROL_ALIGN, kInvokePut, I2(3), -8, "no fourth alignment"},
        {T, KPM_TEXT_CONTROL_ALIGN, kInvokePut, I2(-1), -8, "negative"},
        {T, KPM_TEXT_CONTROL_ALIGN, kInvokePut, I4(1), -7, "alignment as I4"},
        {T, KPM_TEXT_CONTROL_VALIGN, kInvokePut, I2(1), 0, "middle"},
        {T, KPM_TEXT_CONTROL_VALIGN, kInvokePut, I2(3), -8, "no fourth vertical alignment"},
        // Colour: VT_UI4 up to 0xFFFFFF.
        {T, KPM_TEXT_CONTROL_TEXT_COLOR, kInvokePut, UI4(0xFFFFFF), 0, "white"},
        {T, KPM_TEXT_CONTROL_TEXT_COLOR, kInvokePut, UI4(0x1000000), -8, "beyond a COLORREF"},
        {T, KPM_TEXT_CONTROL_TEXT_COLOR, kInvokePut, I4(0), -7, "colour as I4"},
        // Read-only, unknown and the narrow pair the text control does not have.
        {T, KPM_TEXT_CONTROL_WIDE, kInvokePut, VariantBool(false), -6, "wide is read-only"},
        {T, KPM_TEXT_CONTROL_WIDE, kInvokeGet, None(), 0, "wide"},
        {T, 10017, kInvokeGet, None(), -6, "no narrow face"},
        {T, 10020, kInvokeGet, None(), -6, "no narrow text"},
        {T, KPM_SHAPE_CONTROL_LINE_WIDTH, kInvokeGet, None(), -6, "no line width on a text"},
        {T, KPM_TEXT_CONTROL_TEXT, kInvokeMethod, None(), -6, "no methods"},
        {T, KPM_TEXT_CONTROL_TEXT, 3, None(), -7, "bad kind"},
        // Lines and boxes.
        {L, KPM_SHAPE_CONTROL_LINE_WIDTH, kInvokePut, I4(0), 0, "one-pixel line"},
        {L, KPM_SHAPE_CONTROL_LINE_WIDTH, kInvokePut, I4(100000), 0, "widest"},
        {L, KPM_SHAPE_CONTROL_LINE_WIDTH, kInvokePut, I4(100001), -8, "too wide"},
        {L, KPM_SHAPE_CONTROL_LINE_WIDTH, kInvokePut, I4(-1), -8, "negative width"},
        {L, KPM_SHAPE_CONTROL_LINE_WIDTH, kInvokePut, UI4(5), -7, "width as UI4"},
        {L, KPM_SHAPE_CONTROL_LINE_COLOR, kInvokePut, UI4(0x0000FF), 0, "red"},
        {L, KPM_SHAPE_CONTROL_LINE_COLOR, kInvokePut, UI4(0xFFFFFFFF), -8,
         "a line is never unpainted"},
        {L, KPM_SHAPE_CONTROL_FILL_COLOR, kInvokeGet, None(), -6, "lines have no fill"},
        {B, KPM_SHAPE_CONTROL_FILL_COLOR, kInvokePut, UI4(0xFFFFFFFF), 0, "no fill"},
        {B, KPM_SHAPE_CONTROL_FILL_COLOR, kInvokePut, UI4(0xCCDDEE), 0, "fill"},
        {B, KPM_SHAPE_CONTROL_FILL_COLOR, kInvokePut, UI4(0x01000000), -8,
         "neither colour nor none"},
        {B, KPM_TEXT_CONTROL_TEXT, kInvokeGet, None(), -6, "no text on a box"},
        // Groups have no members of their own.
        {G, KPM_SHAPE_CONTROL_LINE_WIDTH, kInvokeGet, None(), -6, "group"},
        {G, KPM_TEXT_CONTROL_TEXT, kInvokePut, Text(u"x"), -6, "group"},
    };
    for (const MemberCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " " + c.why);
        Control control(c.control);
        Variant argument = c.argument;
        if (c.kind == kInvokePut) {
            EXPECT_EQ(control.Put(c.id, argument), c.code);
        } else {
            InvokeArgs args{&argument, argument.vt == VT_EMPTY ? 0u : 1u};
            Variant result{};
            EXPECT_EQ(control.main->Invoke(c.id, c.kind, &args, &result), c.code);
            VariantClear(&result);
        }
    }
}

TEST(ControlMembers, DefaultsAndValuesReadBack) {
    Control text(ctrlclass::kText);
    int32_t code = 0;
    Variant v = text.Get(KPM_TEXT_CONTROL_FONT_NAME, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(BstrView(v.bstrVal), u"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF");
    VariantClear(&v);
    v = text.Get(KPM_TEXT_CONTROL_FONT_SIZE);
    EXPECT_EQ(v.vt, VT_R4);
    EXPECT_EQ(v.fltVal, 10.5f);
    v = text.Get(KPM_TEXT_CONTROL_TEXT);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(v.bstrVal, nullptr) << "an empty text reads as null";
    v = text.Get(KPM_TEXT_CONTROL_WIDE);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, -1);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_ALIGN).vt, VT_I2);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_VALIGN).vt, VT_I2);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_TEXT_COLOR).vt, VT_UI4);

    // Sizes keep hundredths of a point: 9.0 stays 9, 10.555 becomes 10.56.
    ASSERT_EQ(text.Put(KPM_TEXT_CONTROL_FONT_SIZE, Real(10.555f)), 0);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_FONT_SIZE).fltVal, 10.56f);
    ASSERT_EQ(text.Put(KPM_TEXT_CONTROL_TEXT, Text(u"\u30DA\u30FC\u30B8 1")), 0);
    v = text.Get(KPM_TEXT_CONTROL_TEXT);
    EXPECT_EQ(BstrView(v.bstrVal), u"\u30DA\u30FC\u30B8 1");
    VariantClear(&v);
    ASSERT_EQ(text.Put(KPM_TEXT_CONTROL_ALIGN, I2(1)), 0);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_ALIGN).iVal, 1);
    ASSERT_EQ(text.Put(KPM_TEXT_CONTROL_TEXT_COLOR, UI4(0x123456)), 0);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_TEXT_COLOR).ulVal, 0x123456u);

    // ClearData empties the text and nothing else; InitNew brings every default back.
    EXPECT_EQ(text.holder->ClearData(), 0);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_TEXT).bstrVal, nullptr);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_ALIGN).iVal, 1);
    EXPECT_EQ(text.persist->InitNew(), 0);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_ALIGN).iVal, 0);
    EXPECT_EQ(text.Get(KPM_TEXT_CONTROL_FONT_SIZE).fltVal, 10.5f);

    Control box(ctrlclass::kBox);
    EXPECT_EQ(box.Get(KPM_SHAPE_CONTROL_LINE_WIDTH).lVal, 0);
    EXPECT_EQ(box.Get(KPM_SHAPE_CONTROL_LINE_WIDTH).vt, VT_I4);
    EXPECT_EQ(box.Get(KPM_SHAPE_CONTROL_LINE_COLOR).ulVal, 0u);
    EXPECT_EQ(box.Get(KPM_SHAPE_CONTROL_FILL_COLOR).ulVal, 0xFFFFFFFFu) << "boxes start unfilled";
    ASSERT_EQ(box.Put(KPM_SHAPE_CONTROL_FILL_COLOR, UI4(0xEEDDCC)), 0);
    EXPECT_EQ(box.holder->ClearData(), 0);
    EXPECT_EQ(box.Get(KPM_SHAPE_CONTROL_FILL_COLOR).ulVal, 0xEEDDCCu)
        << "a box keeps its look on ClearData";
}

}  // namespace
