// The report model in process: properties and their rules, the layer pass and the flags each
// object is drawn with, recorded marks, site events, and report files that must be refused.
#include <sys/resource.h>
#include <unistd.h>

#include <QImage>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/core/engine_class.h"
#include "platform/gdi/emf_reader.h"
#include "platform/gdi/emf_recorder.h"
#include "platform/gdi/qpainter_dc.h"
#include "tests/engine/report_model_fixture.h"

namespace {

using namespace reportfix;

// ---------------------------------------------------------------------------------------------
// Properties

TEST_F(ReportTest, NewReportDefaultsAndPaperRules) {
    ReportObject* report = NewReport();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->paperSizeCode(), 9);
    EXPECT_EQ(report->paperWidth(), 2100);
    EXPECT_EQ(report->paperLength(), 2970);
    EXPECT_EQ(report->paperOrientation(), 1);
    struct Case {
        const char* why;
        int32_t id;
        Variant value;
        int32_t code;
    };
    const Case cases[] = {
        {"length put needs the user size", KPM_REPORT_PAPER_LENGTH, VariantI4(29700),
         rc::kPaperNotInList},
        {"unknown paper 48", KPM_REPORT_PAPER_SIZE, VariantI2(48), rc::kOutOfRange},
        {"unknown paper 300", KPM_REPORT_PAPER_SIZE, VariantI2(300), rc::kOutOfRange},
        {"user size keeps width and length", KPM_REPORT_PAPER_SIZE, VariantI2(256), 0},
        {"length 29700 hundredths", KPM_REPORT_PAPER_LENGTH, VariantI4(29700), 0},
        {"length 0", KPM_REPORT_PAPER_LENGTH, VariantI4(0), rc::kOutOfRange},
        {"width beyond 2 m", KPM_REPORT_PAPER_WIDTH, VariantI4(200006), rc::kOutOfRange},
        {"unit 4", KPM_REPORT_UNIT, VariantUI2(4), rc::kOutOfRange},
        {"cpi 21", KPM_REPORT_CPI, VariantUI2(21), rc::kOutOfRange},
        {"cpl 0", KPM_REPORT_CPL, VariantUI2(0), rc::kOutOfRange},
        {"select mode 4", KPM_REPORT_PRINTER_SELECT_MODE, VariantUI2(4), rc::kOutOfRange},
        {"orientation 3", KPM_REPORT_PAPER_ORIENTATION, VariantI2(3), rc::kOutOfRange},
        {"hWnd not a window", KPM_REPORT_HWND, VariantUI4(12345), rc::kBadArgument},
        {"5019 of 13 characters", KPM_REPORT_VALUE5019, VariantBstr(nullptr), 0},
        {"FileName is read-only", KPM_REPORT_FILE_NAME, VariantBstr(nullptr), rc::kUnknownMember},
        {"Layers is read-only", KPM_REPORT_LAYERS, VariantDispatch(nullptr), rc::kUnknownMember},
        {"5017 unknown", 5017, VariantI4(0), rc::kUnknownMember},
        {"wrong type", KPM_REPORT_UNIT, VariantI4(1), rc::kBadArgument},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Put(report, c.id, c.value), c.code) << c.why;
    }
    EXPECT_EQ(report->paperSizeCode(), 256);
    EXPECT_EQ(report->paperLength(), 2970);
    Bstr thirteen = BstrAllocView(u"1234567890123");
    EXPECT_EQ(Put(report, KPM_REPORT_VALUE5019, VariantBstr(thirteen)), rc::kOutOfRange);
    BstrFree(thirteen);

    // Gets round as puts do: 8268 thousandths of an inch is 2100 tenths of a millimetre and
    // reads back as 8268, not 8267.
    ASSERT_EQ(Put(report, KPM_REPORT_UNIT, VariantUI2(2)), 0);
    ASSERT_EQ(Put(report, KPM_REPORT_PAPER_WIDTH, VariantI4(8268)), 0);
    Variant v{};
    ASSERT_EQ(GetValue(report, KPM_REPORT_PAPER_WIDTH, &v), 0);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 8268);
    EXPECT_EQ(report->paperWidth(), 2100);

    EXPECT_EQ(UnlockReportUse(report), 0);
    EXPECT_EQ(LockReportUse(report), 1);
    EXPECT_EQ(UnlockReportUse(report), 0);
    EXPECT_EQ(IsReportObject(report), 1);
    EXPECT_EQ(IsReportObject(&report->layers()), 0);
}

TEST_F(ReportTest, AttachTakesTheDefaultPrintersNameAndPaper) {
    printers_->SetPrinters({{"Office", "m", "u", true}});
    PrinterCapabilities caps;
    caps.media = {{"na_letter_8.5x11in", "Letter", 21590, 27940},
                  {"custom_1", "Odd", 10000, 15000}};
    caps.defaultMedia = "na_letter_8.5x11in";
    printers_->SetCapabilities("Office", caps);
    ReportObject* letter = NewReport();
    EXPECT_EQ(letter->paperSizeCode(), 1);
    Variant name{};
    ASSERT_EQ(GetValue(letter, KPM_REPORT_PRINTER_NAME, &name), 0);
    EXPECT_EQ(BstrView(name.bstrVal), u"Office");
    VariantClear(&name);
    EXPECT_EQ(letter->paperOrientation(), 1);
    caps.defaultMedia = "custom_1";
    caps.orientationDefault = 4;
    printers_->SetCapabilities("Office", caps);
    ReportObject* odd = NewReport();
    EXPECT_EQ(odd->paperOrientation(), 2);
    EXPECT_EQ(odd->paperSizeCode(), 256);
    EXPECT_EQ(odd->paperWidth(), 1000);
    EXPECT_EQ(odd->paperLength(), 1500);
}

TEST_F(ReportTest, InvokeTables) {
    ReportObject* report = NewReport();
    LayerCollection& layers = report->layers();
    LayerObject& layer = layers.layer(0);
    ObjectCollection& objects = layer.objects();
    struct Case {
        const char* why;
        ScriptableObject* object;
        int32_t id;
        int32_t kind;
        std::vector<Variant> args;
        int32_t code;
    };
    const std::vector<Case> cases = {
        {"report: unknown method", report, 15999, kInvokeMethod, {}, rc::kUnknownMember},
        {"report: bad kind", report, 5002, 3, {}, rc::kBadArgument},
        {"report: Draw with seven",
         report,
         KPM_REPORT_DRAW,
         kInvokeMethod,
         {VariantDispatch(nullptr), VariantUI4(0), VariantUI4(0), VariantI4(0), VariantI4(0),
          VariantI4(0), VariantI4(0)},
         rc::kBadArgument},
        {"report: IsDirty", report, KPM_REPORT_IS_DIRTY, kInvokeMethod, {}, rc::kFailed},
        {"report: Save without a name",
         report,
         KPM_REPORT_SAVE,
         kInvokeMethod,
         {VariantBstr(nullptr), VariantBool(true)},
         rc::kSaveWithoutName},
        {"layers: Count put",
         &layers,
         KPM_LAYER_COLLECTION_COUNT,
         kInvokePut,
         {VariantUI2(5)},
         rc::kUnknownMember},
        {"layers: Layer 0",
         &layers,
         KPM_LAYER_COLLECTION_LAYER,
         kInvokeMethod,
         {VariantUI2(0)},
         rc::kOutOfRange},
        {"layers: Layer 6",
         &layers,
         KPM_LAYER_COLLECTION_LAYER,
         kInvokeMethod,
         {VariantUI2(6)},
         rc::kOutOfRange},
        {"layers: Layer wrong type",
         &layers,
         KPM_LAYER_COLLECTION_LAYER,
         kInvokeMethod,
         {VariantI4(1)},
         rc::kBadArgument},
        {"layers: ClearData is not served", &layers, 16002, kInvokeMethod, {}, rc::kUnknownMember},
        {"layers: kind 3", &layers, 6001, 3, {}, rc::kBadArgument},
        {"layer: ZOder 6", &layer, KPM_LAYER_Z_ODER, kInvokePut, {VariantUI2(6)}, rc::kOutOfRange},
        {"layer: ZOder wrong type",
         &layer,
         KPM_LAYER_Z_ODER,
         kInvokePut,
         {VariantI4(1)},
         rc::kUnknownMember},
        {"layer: Objects put",
         &layer,
         KPM_LAYER_OBJECTS,
         kInvokePut,
         {VariantDispatch(nullptr)},
         rc::kUnknownMember},
        {"layer: method", &layer, KPM_LAYER_VISIBLE, kInvokeMethod, {}, rc::kUnknownMember},
        {"layer: kind 3", &layer, 7003, 3, {}, rc::kBadArgument},
        {"objects: get", &objects, KPM_OBJECT_COLLECTION_COUNT, kInvokeGet, {}, rc::kUnknownMember},
        {"objects: kind 3", &objects, 18007, 3, {}, rc::kBadArgument},
        {"objects: group not an object",
         &objects,
         KPM_OBJECT_COLLECTION_COUNT,
         kInvokeMethod,
         {VariantDispatch(report)},
         rc::kBadArgument},
        {"objects: no such name",
         &objects,
         KPM_OBJECT_COLLECTION_OBJECT,
         kInvokeMethod,
         {VariantDispatch(nullptr), VariantBstr(nullptr)},
         rc::kNoSuchObject},
        {"objects: list kind 3",
         &objects,
         KPM_OBJECT_COLLECTION_GET_OBJECT_LIST,
         kInvokeMethod,
         {VariantDispatch(nullptr), VariantUI2(3)},
         rc::kBadArgument},
        {"objects: position 1 of none",
         &objects,
         KPM_OBJECT_COLLECTION_OBJECT_AT,
         kInvokeMethod,
         {VariantDispatch(nullptr), VariantUI4(1)},
         rc::kNoSuchObject},
    };
    for (const Case& c : cases) {
        std::vector<Variant> args = c.args;
        InvokeArgs invokeArgs{args.data(), static_cast<uint32_t>(args.size())};
        Variant result{};
        EXPECT_EQ(c.object->Invoke(c.id, c.kind, &invokeArgs, &result), c.code) << c.why;
    }
    ItemObject* item = Add(report, 1, ctrlclass::kBox, u"Box", {0, 0, 1, 1});
    for (ScriptableObject* object :
         std::initializer_list<ScriptableObject*>{report, &layers, &layer, &objects, item}) {
        ClassInfo* info = nullptr;
        EXPECT_EQ(object->GetTypeInfo(&info), 0);
        EXPECT_NE(info, nullptr);
        if (info != nullptr) info->Release();
    }
    Variant count{};
    ASSERT_EQ(GetValue(&layers, KPM_LAYER_COLLECTION_COUNT, &count), 0);
    EXPECT_EQ(count.vt, VT_UI2);
    EXPECT_EQ(count.uiVal, 5);
}

TEST_F(ReportTest, ObjectMembersAndNames) {
    ReportObject* report = NewReport();
    ItemObject* a = Add(report, 1, ctrlclass::kText, u"A", {0, 0, 1000, 1000});
    ItemObject* g = Add(report, 1, ctrlclass::kGroup, u"G", {0, 0, 5000, 5000});
    ItemObject* m = Add(report, 1, ctrlclass::kBox, u"M", {10, 10, 20, 20}, g);
    ObjectCollection& objects = Objects(report, 1);
    EXPECT_EQ(objects.Find(u"G.M", nullptr), m);
    EXPECT_EQ(objects.Find(u"G", nullptr), g);
    EXPECT_EQ(objects.Find(u"G.X", nullptr), nullptr);
    ItemObject* notGroup = nullptr;
    EXPECT_EQ(objects.Create(a, ctrlclass::kBox, {0, 0, 1, 1}, &notGroup, 0), rc::kNotAGroup);
    EXPECT_EQ(notGroup, nullptr);

    struct Case {
        const char* why;
        int32_t id;
        Variant value;
        int32_t code;
    };
    Bstr dotted = BstrAllocView(u"a.b"), empty = BstrAllocView(u""), taken = BstrAllocView(u"G"),
         same = BstrAllocView(u"A");
    const Case cases[] = {
        {"name with a dot", KPM_DRAWING_OBJECT_NAME, VariantBstr(dotted), rc::kBadName},
        {"empty name", KPM_DRAWING_OBJECT_NAME, VariantBstr(empty), rc::kBadName},
        {"a sibling's name", KPM_DRAWING_OBJECT_NAME, VariantBstr(taken), rc::kNameTaken},
        {"its own name", KPM_DRAWING_OBJECT_NAME, VariantBstr(same), 0},
        {"top beyond the limit", 9004,
         [] {
             Variant v{};
             v.vt = VT_DECIMAL;
             v.lVal = 200001;  // 20,000,100 internal units
             return v;
         }(),
         rc::kOutOfRange},
        {"DrawObject put", KPM_DRAWING_OBJECT_DRAW_OBJECT, VariantDispatch(nullptr),
         rc::kUnknownMember},
        {"edge of the wrong type", KPM_DRAWING_OBJECT_LEFT, VariantI4(1), rc::kBadArgument},
    };
    for (const Case& c : cases) EXPECT_EQ(Put(a, c.id, c.value), c.code) << c.why;
    for (Bstr s : {dotted, empty, taken, same}) BstrFree(s);
    Variant top{};
    ASSERT_EQ(GetValue(a, KPM_DRAWING_OBJECT_TOP, &top), 0);
    EXPECT_EQ(top.vt, VT_DECIMAL);
    EXPECT_EQ(top.lVal, 0);
    Variant z{};
    z.vt = VT_I2;
    z.iVal = 2;
    InvokeArgs args{&z, 1};
    Variant result{};
    EXPECT_EQ(a->Invoke(KPM_DRAWING_OBJECT_CHANGE_Z_ORDER, kInvokeMethod, &args, &result),
              rc::kOutOfRange);

    // Two new objects of one base name take consecutive numbers of the shared counter.
    ItemObject* t1 = nullptr;
    ItemObject* t2 = nullptr;
    ASSERT_EQ(objects.Create(nullptr, ctrlclass::kText, {0, 0, 1, 1}, &t1, 0), 0);
    ASSERT_EQ(objects.Create(nullptr, ctrlclass::kText, {0, 0, 1, 1}, &t2, 0), 0);
    std::u16string n1, n2;
    t1->GetNameString(&n1);
    t2->GetNameString(&n2);
    EXPECT_EQ(n1, u"Text3");
    EXPECT_EQ(n2, u"Text4");

    // Closing a group deletes its members with it.
    EXPECT_EQ(g->Invoke(KPM_DRAWING_OBJECT_CLOSE, kInvokeMethod, nullptr, &result), 0);
    EXPECT_EQ(objects.Find(u"G", nullptr), nullptr);
    Variant group = VariantDispatch(nullptr);
    InvokeArgs countArgs{&group, 1};
    ASSERT_EQ(objects.Invoke(KPM_OBJECT_COLLECTION_COUNT, kInvokeMethod, &countArgs, &result), 0);
    EXPECT_EQ(result.uiVal, 3);
}

TEST_F(ReportTest, SelectionStateCodesAndHitTestCycle) {
    UseFakes() = true;
    ReportObject* report = NewReport();
    ItemObject* a = Add(report, 1, kFakePlain, u"A", {0, 0, 100, 100});
    ItemObject* b = Add(report, 1, kFakePlain, u"B", {0, 0, 100, 100});
    ItemObject* c = Add(report, 1, kFakePlain, u"C", {0, 0, 100, 100});
    auto state = [](ItemObject* o) { return static_cast<FakeControl*>(o->control())->state(); };
    ASSERT_EQ(Put(a, KPM_DRAWING_OBJECT_SELECTED, VariantBool(true)), 0);
    EXPECT_EQ(state(a), kStateSoleSelected);
    ASSERT_EQ(Put(b, KPM_DRAWING_OBJECT_SELECTED, VariantBool(true)), 0);
    EXPECT_EQ(state(a), kStateNotSoleSelected);
    EXPECT_EQ(state(b), kStateNotSoleSelected);
    ASSERT_EQ(Put(a, KPM_DRAWING_OBJECT_SELECTED, VariantBool(false)), 0);
    EXPECT_EQ(state(b), kStateSoleSelected);

    // Stacked objects: the top one, then with it as start the one below, and so round.
    ObjectCollection& objects = Objects(report, 1);
    auto hit = [&](ItemObject* start) {
        Variant args[] = {VariantDispatch(nullptr), VariantDispatch(start), VariantI4(50),
                          VariantI4(50)};
        InvokeArgs invokeArgs{args, 4};
        Variant result{};
        EXPECT_EQ(
            objects.Invoke(KPM_OBJECT_COLLECTION_HIT_TEST, kInvokeMethod, &invokeArgs, &result), 0);
        return static_cast<ScriptableObject*>(result.pdispVal);
    };
    EXPECT_EQ(hit(nullptr), c);
    EXPECT_EQ(hit(c), b);
    EXPECT_EQ(hit(b), a);
    EXPECT_EQ(hit(a), c);
}

TEST_F(ReportTest, LayerOrders) {
    ReportObject* report = NewReport();
    LayerCollection& layers = report->layers();
    auto orders = [&] {
        std::vector<int> o;
        for (int i = 0; i < 5; ++i) o.push_back(layers.layer(i).order());
        return o;
    };
    ASSERT_EQ(Put(&layers.layer(4), KPM_LAYER_Z_ODER, VariantUI2(1)), 0);
    EXPECT_EQ(orders(), (std::vector<int>{2, 3, 4, 5, 1}));
    ASSERT_EQ(Put(&layers.layer(4), KPM_LAYER_Z_ODER, VariantUI2(5)), 0);
    ASSERT_EQ(Put(&layers.layer(0), KPM_LAYER_Z_ODER, VariantUI2(5)), 0);
    EXPECT_EQ(orders(), (std::vector<int>{5, 1, 2, 3, 4}));
}

// ---------------------------------------------------------------------------------------------
// Drawing

struct Recorded {
    std::vector<std::vector<uint8_t>> comments;
    std::vector<uint32_t> types;
};

Recorded Enumerate(const std::vector<uint8_t>& emf) {
    Recorded r;
    EXPECT_TRUE(EnumEnhMetaFile(emf, [&](const EmfRecord& record) {
        r.types.push_back(record.type);
        if (record.type == 70) {  // GDICOMMENT: size, type, count, data
            uint32_t count = 0;
            std::memcpy(&count, record.bytes.data() + 8, 4);
            r.comments.emplace_back(record.bytes.begin() + 12, record.bytes.begin() + 12 + count);
        }
        return true;
    }));
    return r;
}

class DrawTest : public ReportTest {
  protected:
    void SetUp() override {
        ReportTest::SetUp();
        UseFakes() = true;
        report_ = NewReport();
        a_ = Add(report_, 1, kFakePlain, u"A", {0, 0, 100, 100});
        b_ = Add(report_, 1, kFakePlain, u"B", {0, 0, 100, 100});
        g_ = Add(report_, 1, kFakeGroup, u"G", {0, 0, 1000, 1000});
        Add(report_, 1, kFakePlain, u"M", {0, 0, 10, 10}, g_);
        Add(report_, 2, kFakePlain, u"H", {0, 0, 10, 10});
        b_->SetVisibleFlag(0);
        report_->layers().layer(1).SetVisible(0);
        EXPECT_EQ(Put(a_, KPM_DRAWING_OBJECT_SELECTED, VariantBool(true)), 0);
        EXPECT_EQ(Put(g_, KPM_DRAWING_OBJECT_SELECTED, VariantBool(true)), 0);
    }

    // Draws onto a recorder with flags; the draws logged and the recording.
    Recorded Draw(uint32_t flags, int32_t* code, int32_t* depth) {
        Script().draws.clear();
        InfoDc reference(DeviceInfo::ForPixels(794, 1123, 96, kDtRasPrinter));
        EmfRecorder recorder(reference.device(), std::nullopt, u"");
        *code =
            report_->Draw(nullptr, recorder.handle(), reference.handle(), 0, 0, 794, 1123, flags);
        *depth = recorder.GetSaveDepth();
        return Enumerate(recorder.Close());
    }

    ReportObject* report_ = nullptr;
    ItemObject* a_ = nullptr;
    ItemObject* b_ = nullptr;
    ItemObject* g_ = nullptr;
};

TEST_F(DrawTest, FlagsMatrix) {
    struct Case {
        uint32_t flags;
        std::vector<std::string> draws;
    };
    const Case cases[] = {
        {0, {}},
        {0x80000000, {}},
        {1, {"A:1", "G:1", "M:1", "A:a000", "G:a000"}},
        {0x1001, {"A:1001", "B:1001", "G:1001", "M:1001", "A:b000", "G:b000"}},
        {0x10001001,
         {"A:10001001", "B:1000", "G:10001001", "M:10001001", "A:1000b000", "G:1000b000"}},
        {0x20000000, {"H:20000000", "A:20000000", "B:20000000", "G:20000000", "M:20000000"}},
        {0x08002001, {"A:8000001", "G:8000001", "M:8000001"}},
    };
    for (const Case& c : cases) {
        int32_t code = -1, depth = -1;
        const Recorded r = Draw(c.flags, &code, &depth);
        EXPECT_EQ(code, 0) << std::hex << c.flags;
        EXPECT_EQ(Script().draws, c.draws) << std::hex << c.flags;
        EXPECT_EQ(depth, 0) << std::hex << c.flags;
        if (c.flags == 0x08002001) {
            std::vector<std::string> marks;
            for (const auto& comment : r.comments) {
                uint32_t kind = 0;
                uint16_t n = 0;
                std::memcpy(&kind, comment.data(), 4);
                std::memcpy(&n, comment.data() + 6, 2);
                if (kind == kLayerMark) marks.push_back("L" + std::to_string(n));
                if (kind == kObjectBegins) marks.push_back("begin");
                if (kind == kObjectEnds) marks.push_back("end");
            }
            EXPECT_EQ(marks, (std::vector<std::string>{"L5", "L4", "L3", "L2", "L1", "begin", "end",
                                                       "begin", "begin", "end", "end"}));
        } else {
            EXPECT_TRUE(r.comments.empty()) << std::hex << c.flags;
        }
        // The background step fills the page white and the rest in its colour.
        const bool painted = std::count(r.types.begin(), r.types.end(), 39u) >= 2;  // brushes
        EXPECT_EQ(painted, c.flags == 0x80000000) << std::hex << c.flags;
    }
}

TEST_F(DrawTest, WithoutADrawingContextTheLayersStillRun) {
    // A page prepared before any device exists passes no context: the objects are still asked,
    // only the background step refuses.
    Script().draws.clear();
    EXPECT_EQ(report_->Draw(nullptr, 0, 0, 0, 0, 10, 10, 0x20000000), 0);
    EXPECT_EQ(Script().draws.size(), 5u);
    Script().draws.clear();
    EXPECT_EQ(report_->Draw(nullptr, 0, 0, 0, 0, 10, 10, 0x80000001), rc::kBadArgument);
    EXPECT_EQ(Script().draws.front(), "A:80000001") << "the flags pass on as given";
}

TEST_F(DrawTest, DataShorterThanAnnouncedIsRefusedOnSaveAndWhenRecording) {
    Script().saveShort[u"A"] = true;
    int32_t code = 0, depth = -1;
    Draw(0x08002001, &code, &depth);
    EXPECT_EQ(code, rc::kControlSaveFailed);
    EXPECT_EQ(Script().draws, (std::vector<std::string>{"G:8000001", "M:8000001"}))
        << "A is not drawn";
    char pattern[] = "/tmp/kpshortXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string target = std::string(pattern) + "/short.kp";
    Bstr name = BstrFromUtf8(target);
    EXPECT_EQ(report_->Save(name, true), rc::kControlSaveFailed);
    BstrFree(name);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(std::filesystem::is_empty(pattern)) << "no temporary left";
    std::filesystem::remove_all(pattern);
}

TEST_F(DrawTest, ObjectDataInChunks) {
    struct Case {
        uint32_t size;
        std::vector<size_t> lengths;  // of the comments of object A
    };
    const Case cases[] = {
        {65237, {65280, 43}},
        {65238, {43, 65280, 65280, 43}},
        {0, {43, 43}},
    };
    for (const Case& c : cases) {
        Script().size[u"A"] = c.size;
        int32_t code = -1, depth = -1;
        Script().drawAnswer[u"G"] = 0;
        const Recorded r = Draw(0x08002001, &code, &depth);
        std::vector<size_t> lengths;
        for (const auto& comment : r.comments) {
            uint32_t kind = 0;
            std::memcpy(&kind, comment.data(), 4);
            if (kind == kLayerMark) continue;
            lengths.push_back(comment.size());
            if (lengths.size() == c.lengths.size()) break;
        }
        EXPECT_EQ(lengths, c.lengths) << c.size;
        if (c.size == 65237) {
            // One comment: the first 42 bytes of the mark, the data, then a zero byte.
            const auto& one = r.comments[5];
            uint16_t chunks = 0;
            uint32_t size = 0;
            std::memcpy(&chunks, one.data() + 4, 2);
            std::memcpy(&size, one.data() + 38, 4);
            EXPECT_EQ(chunks, 1);
            EXPECT_EQ(size, 65237u);
            EXPECT_EQ(one[42], 1) << "data starts after 42 bytes";
            EXPECT_EQ(one.back(), 0);
        }
    }
}

TEST_F(DrawTest, OutlineWhenTheControlCannotDrawAndAFaultStopsThePass) {
    Script().drawAnswer[u"A"] = rc::kNotImplemented;
    int32_t code = -1, depth = -1;
    Recorded r = Draw(1, &code, &depth);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(std::count(r.types.begin(), r.types.end(), 4u) +
                  std::count(r.types.begin(), r.types.end(), 87u),
              2)
        << "an outline in the pass and one in the selection pass";
    Script().drawAnswer[u"A"] = 99;  // throws
    r = Draw(1, &code, &depth);
    EXPECT_EQ(code, rc::kBadPointer);
    EXPECT_EQ(Script().draws, (std::vector<std::string>{"A:1", "A:a000"}))
        << "the pass stops; the selection pass runs and stops at the same fault";
    EXPECT_EQ(depth, 0);
}

TEST_F(ReportTest, PageOnQPainterShowsWhatIsVisibleWhereItBelongs) {
    ReportObject* report = NewReport();
    ItemObject* g = Add(report, 1, ctrlclass::kGroup, u"G", {5000, 5000, 15000, 15000});
    ItemObject* box = Add(report, 1, ctrlclass::kBox, u"B", {0, 0, 5000, 5000}, g);
    ItemObject* hidden = Add(report, 1, ctrlclass::kBox, u"Hid", {0, 20000, 5000, 25000});
    ItemObject* onHidden = Add(report, 2, ctrlclass::kBox, u"L2", {10000, 20000, 15000, 25000});
    ItemObject* text = Add(report, 1, ctrlclass::kText, u"T", {0, 0, 10000, 2000});
    for (ItemObject* o : {box, hidden, onHidden}) {
        ASSERT_EQ(Put(o->mainInterface(), KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0x0000FF)),
                  0);  // red fill
    }
    Bstr t = BstrAllocView(u"\u6F22\u5B57\u6F22\u5B57");
    ASSERT_EQ(Put(text->mainInterface(), KPM_TEXT_CONTROL_TEXT, VariantBstr(t)), 0);
    BstrFree(t);
    hidden->SetVisibleFlag(0);
    report->layers().layer(1).SetVisible(0);

    const int32_t dpi = 96;
    QImage image(794, 1123, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainterDc dc(&image, dpi);
        ASSERT_EQ(report->Draw(nullptr, dc.handle(), dc.handle(), 0, 0, 794, 1123, 0x80000001), 0);
    }
    // Pixels of a rectangle in hundredths of a millimetre, inset by two pixels.
    auto count = [&](RectL r, auto predicate) {
        const auto px = [&](int32_t v) { return static_cast<int>(v * dpi / 2540.0 + 0.5); };
        int n = 0;
        for (int y = px(r.top) + 2; y < px(r.bottom) - 2; ++y) {
            for (int x = px(r.left) + 2; x < px(r.right) - 2; ++x)
                n += predicate(image.pixel(x, y));
        }
        return n;
    };
    auto red = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; };
    auto ink = [](QRgb p) { return qGray(p) < 128; };
    EXPECT_GT(count({5000, 5000, 10000, 10000}, red), 1000) << "the member at its group's offset";
    EXPECT_EQ(count({0, 5000, 4900, 10000}, red), 0) << "not at the page's origin";
    EXPECT_EQ(count({0, 20000, 5000, 25000}, red), 0) << "hidden object";
    EXPECT_EQ(count({10000, 20000, 15000, 25000}, red), 0) << "hidden layer";
    EXPECT_GT(count({0, 0, 10000, 2000}, ink), 20) << "text ink in its cell";
    EXPECT_EQ(count({0, 2100, 10000, 4900}, ink), 0) << "and nowhere below it";
}

// ---------------------------------------------------------------------------------------------
// Site events

class Sink final : public ScriptableObject {
  public:
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = this;
        return 0;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(ClassInfo**) override { return rc::kNotImplemented; }
    int32_t Invoke(int32_t id, int32_t, const InvokeArgs* args, Variant*) override {
        std::string line = std::to_string(id);
        for (uint32_t i = 0; i < args->count; ++i) line += " " + std::to_string(args->args[i].vt);
        events.push_back(line);
        if (id == 20014 && args->count == 7) *static_cast<int32_t*>(args->args[3].byref) = 77;
        return 0;
    }
    std::vector<std::string> events;
};

TEST_F(ReportTest, SiteOperationsThroughASink) {
    UseFakes() = true;
    ReportObject* report = NewReport();
    Sink sink;
    uint32_t cookie = 0;
    ASSERT_EQ(app_->Sinks().AdviseSink(&sink, &cookie), 0);
    ItemObject* a = Add(report, 3, kFakePlain, u"A", {0, 0, 100, 100});
    ControlSite* site = static_cast<FakeControl*>(a->control())->site();
    ASSERT_NE(site, nullptr);
    int16_t flag = 0;
    RectL area{1, 2, 3, 4}, rect{5, 6, 7, 8};
    uint32_t value = 0;
    struct Case {
        const char* why;
        std::function<int32_t()> call;
        std::string event;  // empty: none
    };
    const std::string head = "9 18 9";  // report, layer index, object
    const std::vector<Case> cases = {
        {"activate", [&] { return site->OnActivate(&flag); }, "20001 " + head + " 16395"},
        {"pos rect change", [&] { return site->OnPosRectChange(&area, &rect, nullptr); },
         "20007 " + head + " 16387 16387 16387 16387 3 3 3 3 3 3 3 3"},
        {"pos rect change without area",
         [&] { return site->OnPosRectChange(nullptr, &rect, &rect); }, ""},
        {"changing", [&] { return site->OnPosRectChanging(&area, &rect, &value); },
         "20008 " + head + " 16387 16387 16387 16387 3 3 3 3 16403"},
        {"menu", [&] { return site->OnSetMenu(1, &value); }, "20009 " + head + " 19 16403"},
        {"20014", [&] { return site->RaiseEvent20014(&rect); },
         "20014 " + head + " 16387 16387 16387 16387"},
        {"20015 again", [&] { return site->RaiseEvent20015Again(nullptr); },
         "20015 " + head + " 16387 16387 16387 16387"},
        {"close", [&] { return site->OnClose(); }, "20005 " + head},
        {"changed", [&] { return site->OnPropertyChanged(9003); }, "20012 " + head + " 3"},
        {"20017", [&] { return site->RaiseEvent20017(nullptr); }, "20017 " + head + " 3 3 3 3"},
    };
    for (const Case& c : cases) {
        sink.events.clear();
        c.call();
        EXPECT_EQ(sink.events,
                  c.event.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.event})
            << c.why;
    }
    EXPECT_EQ(rect.left, 77) << "the sink's change written back";

    // Nothing while loading, but 20013.
    a->SetLoading(1);
    sink.events.clear();
    EXPECT_EQ(site->OnClose(), rc::kFailed);
    site->RaiseEvent20013(&value);
    EXPECT_EQ(sink.events, (std::vector<std::string>{"20013 " + head + " 16403"}));
    a->SetLoading(0);

    struct Conversion {
        int32_t direction;
        int32_t code;
        RectL expected;
    };
    for (const Conversion& c :
         {Conversion{2, 0, {100, 200, 300, 400}}, Conversion{1, 0, {0, 0, 0, 0}},
          Conversion{3, rc::kBadArgument, {1, 2, 3, 4}}}) {
        RectL r{1, 2, 3, 4};
        EXPECT_EQ(site->ConvertRect(c.direction, &r), c.code);
        EXPECT_EQ(std::memcmp(&r, &c.expected, sizeof r), 0) << c.direction;
    }
    uint32_t window = 1;
    EXPECT_EQ(site->GetWindow(&window), 0);
    EXPECT_EQ(window, 0u);
    EXPECT_EQ(site->GetWindow(nullptr), rc::kBadPointer);
    app_->Sinks().UnadviseSink(cookie);
}

TEST_F(ReportTest, CloseReportTellsTheSinksWhileTheReportIsWhole) {
    ReportObject* report = NewReport();
    Add(report, 1, ctrlclass::kText, u"T", {0, 0, 1, 1});
    Sink sink;
    uint32_t cookie = 0;
    ASSERT_EQ(app_->Sinks().AdviseSink(&sink, &cookie), 0);
    EXPECT_EQ(app_->ChildCount(ChildKind::kReport), 1u);
    Variant result{};
    EXPECT_EQ(report->Invoke(ReportObject::kCloseReport, kInvokeMethod, nullptr, &result), 0);
    EXPECT_EQ(sink.events, (std::vector<std::string>{"20006 9"}));
    EXPECT_EQ(app_->ChildCount(ChildKind::kReport), 0u);
    app_->Sinks().UnadviseSink(cookie);
}

// ---------------------------------------------------------------------------------------------
// Files

class FileTest : public ReportTest {
  protected:
    void SetUp() override {
        ReportTest::SetUp();
        char pattern[] = "/tmp/kpreportXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        ReportTest::TearDown();
    }
    std::u16string Path(const std::string& name) { return WideFromUtf8(dir_ + "/" + name); }

    // A container of the given streams, written as they are.
    std::u16string Write(const std::string& name,
                         const std::vector<std::pair<std::u16string, std::vector<uint8_t>>>& s) {
        StreamFileFactory factory;
        StreamFile* file = nullptr;
        EXPECT_EQ(factory.Create(Path(name), kCreateAlways, kAccessReadWrite, &file), 0);
        for (const auto& [streamName, bytes] : s) {
            Stream* stream = nullptr;
            EXPECT_EQ(file->CreateStream(streamName, &stream), 0);
            uint32_t written = 0;
            if (!bytes.empty()) stream->Write(bytes.data(), uint32_t(bytes.size()), &written);
            stream->Release();
        }
        file->Release();
        return Path(name);
    }

    int32_t Load(ReportObject* report, const std::u16string& path) {
        Bstr name = BstrAllocView(path);
        const int32_t code = report->LoadReportFile(name);
        BstrFree(name);
        return code;
    }

    std::string dir_;
};

struct Bytes {
    std::vector<uint8_t> v;
    template <class T>
    Bytes& Put(T value) {
        const auto* p = reinterpret_cast<const uint8_t*>(&value);
        v.insert(v.end(), p, p + sizeof(T));
        return *this;
    }
    Bytes& Tag(int32_t id, int32_t length) { return Put(id).Put(length); }
    Bytes& Obj(uint16_t depth, int32_t id, int32_t length) {
        return Put(depth).Put(uint16_t{0}).Put(id).Put(length);
    }
    Bytes& Raw(const std::vector<uint8_t>& bytes) {
        v.insert(v.end(), bytes.begin(), bytes.end());
        return *this;
    }
};

std::vector<uint8_t> Description(uint32_t major = 3) {
    const auto& d = EngineClassDescription();
    std::vector<uint8_t> out(d.begin(), d.end());
    std::memcpy(out.data() + 12, &major, 4);
    return out;
}

std::vector<uint8_t> ReportElement(uint32_t major = 3, uint16_t cpl = 3, uint16_t cpi = 10) {
    return Bytes{}
        .Tag(5003, 2)
        .Put(uint16_t{1})
        .Tag(5008, 2)
        .Put(cpl)
        .Tag(5009, 2)
        .Put(cpi)
        .Tag(-1, 140)
        .Raw(Description(major))
        .v;
}

// One group with a box member, or the objects given, on layer 1.
std::vector<uint8_t> GroupWithBox() {
    const std::vector<uint8_t> group{1, 0, 4, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> box{1,    0,    3, 0, 24, 0, 0, 0,  //
                                   0x75, 0x27, 0, 0, 4,  0, 0, 0, 5,    0,    0,    0,
                                   0x76, 0x27, 0, 0, 4,  0, 0, 0, 0,    0,    0,    0,
                                   0x77, 0x27, 0, 0, 4,  0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    auto object = [](uint16_t depth, InterfaceId id, const std::u16string& name,
                     const std::vector<uint8_t>& data) {
        Bytes b;
        b.Obj(depth, -1, 8).Put(id).Obj(depth, 9002, int32_t(name.size() * 2 + 2));
        for (char16_t c : name) b.Put(c);
        b.Put(char16_t{0});
        for (int32_t rid : {9005, 9004, 9007, 9006}) b.Obj(depth, rid, 4).Put(int32_t{100});
        b.Obj(depth, 9003, 4).Put(int32_t{1}).Obj(depth, 9009, 4).Put(int32_t{0});
        b.Obj(depth, 0, int32_t(data.size())).Raw(data);
        return b.v;
    };
    Bytes all;
    all.Raw(object(0, ctrlclass::kGroup, u"G", group)).Raw(object(1, ctrlclass::kBox, u"B", box));
    return all.v;
}

std::vector<std::pair<std::u16string, std::vector<uint8_t>>> Report(std::vector<uint8_t> report,
                                                                    std::vector<uint8_t> objects,
                                                                    bool layer4 = true) {
    std::vector<std::pair<std::u16string, std::vector<uint8_t>>> s;
    s.push_back({u"KPREPORT30", std::move(report)});
    s.push_back({u"KPLAYERS30", Bytes{}.Tag(6001, 4).Put(int32_t{5}).v});
    for (int n = 1; n <= 5; ++n) {
        if (n == 4 && !layer4) continue;
        const std::u16string digit(1, char16_t(u'0' + n));
        s.push_back({u"KPLAYER30-" + digit,
                     Bytes{}.Tag(7002, 2).Put(uint16_t(n)).Tag(7003, 4).Put(int32_t{1}).v});
        s.push_back({u"KPOBJECTS30-" + digit, {}});
        s.push_back({u"KPOBJECT30-" + digit, n == 1 ? objects : std::vector<uint8_t>{}});
    }
    return s;
}

TEST_F(FileTest, MalformedFilesAreRefused) {
    std::vector<uint8_t> good = GroupWithBox();
    auto with = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> v = good;
        std::copy(bytes.begin(), bytes.end(), v.begin() + static_cast<ptrdiff_t>(at));
        return v;
    };
    auto le16 = [](uint16_t x) { return std::vector<uint8_t>{uint8_t(x), uint8_t(x >> 8)}; };
    auto le32 = [](int32_t x) {
        return std::vector<uint8_t>{uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16),
                                    uint8_t(x >> 24)};
    };
    // Offsets in the group's records: the first header at 0, the name's length at 28.
    const size_t memberStart = 12 + 8 + 12 + 4 + 6 * 16 + 12 + 8;
    struct Case {
        const char* why;
        std::vector<uint8_t> report;
        std::vector<uint8_t> objects;
        int32_t code;
        bool layer4 = true;
    };
    std::vector<uint8_t> longText = Bytes{}.Tag(5019, 40).Raw(std::vector<uint8_t>(40, 'x')).v;
    const std::vector<Case> cases = {
        {"sound", ReportElement(), good, 0},
        {"negative report length", Bytes{}.Tag(5003, -8).Raw(ReportElement()).v, good,
         rc::kMalformedRecords},
        {"report length past the end", Bytes{}.Tag(5002, 4000).Raw(ReportElement()).v, good,
         rc::kMalformedRecords},
        {"long 5019 is cut to its field", Bytes{}.Raw(longText).Raw(ReportElement()).v, good, 0},
        {"description alone", Bytes{}.Tag(-1, 140).Raw(Description()).v, good,
         rc::kUnusableElement},
        {"empty element", {}, good, rc::kUnusableElement},
        {"newer engine", ReportElement(0x30001), good, rc::kNewerFormat},
        {"negative object length", ReportElement(), with(28, le32(-2)), rc::kMalformedRecords},
        {"object length past the end", ReportElement(), with(28, le32(1 << 20)),
         rc::kMalformedRecords},
        {"depth 65535", ReportElement(), with(memberStart, le16(65535)), rc::kMalformedRecords},
        {"depth jump", ReportElement(), with(memberStart, le16(2)), rc::kMalformedRecords},
        {"duplicate record", ReportElement(),
         with(12 + 8 + 12 + 4 + 16 + 4, std::vector<uint8_t>{0x2D, 0x23}),  // 9004 made 9005
         rc::kMalformedRecords},
        {"short control data", ReportElement(),
         Bytes{}.Raw(std::vector<uint8_t>(good.begin(), good.end() - 4)).v, rc::kMalformedRecords},
        {"newer control format goes on", ReportElement(),
         with(memberStart + 144, std::vector<uint8_t>{2, 0}), rc::kNewerFormat},
        {"no layer element 4", ReportElement(), good, 0, false},
    };
    for (const Case& c : cases) {
        ReportObject* report = NewReport();
        const int32_t code = Load(report, Write("m.kp", Report(c.report, c.objects, c.layer4)));
        EXPECT_EQ(code, c.code) << c.why;
        if (std::string(c.why) == "sound" || std::string(c.why).starts_with("no layer")) {
            EXPECT_NE(Objects(report, 1).Find(u"G.B", nullptr), nullptr) << c.why;
            Variant cpl{};
            ASSERT_EQ(GetValue(report, KPM_REPORT_CPL, &cpl), 0);
            EXPECT_EQ(cpl.uiVal, 3) << "record 5008 holds CPL";
            EXPECT_TRUE(report->layers().layer(3).visible());
        }
        if (std::string(c.why).starts_with("newer control")) {
            EXPECT_NE(Objects(report, 1).Find(u"G.B", nullptr), nullptr) << "loading went on";
        }
    }
}

TEST_F(FileTest, SavedLoadedAndSavedAgainIsTheSame) {
    ReportObject* report = NewReport();
    Add(report, 2, ctrlclass::kText, u"T", {0, 0, 100, 100});
    ItemObject* g = Add(report, 1, ctrlclass::kGroup, u"G", {0, 0, 100, 100});
    ItemObject* hidden = Add(report, 1, ctrlclass::kLine, u"L", {0, 0, 100, 100}, g);
    hidden->SetVisibleFlag(0);
    Bstr first = BstrAllocView(Path("a.kp"));
    ASSERT_EQ(report->Save(first, true), 0);
    ReportObject* again = NewReport();
    ASSERT_EQ(Load(again, Path("a.kp")), 0);
    Bstr second = BstrAllocView(Path("b.kp"));
    ASSERT_EQ(again->Save(second, false), 0);
    EXPECT_EQ(again->Save(second, false), stream_code::kExists);
    BstrFree(first);
    BstrFree(second);
    auto read = [&](const std::string& name) {
        std::ifstream in(dir_ + "/" + name, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(read("a.kp"), read("b.kp"));
    Variant fileName{};
    ASSERT_EQ(GetValue(again, KPM_REPORT_FILE_NAME, &fileName), 0);
    EXPECT_EQ(BstrView(fileName.bstrVal), Path("b.kp"));
    VariantClear(&fileName);
}

TEST_F(FileTest, ASaveFailingUnderAFileSizeLimitKeepsTheOldFile) {
    ReportObject* report = NewReport();
    for (int i = 0; i < 50; ++i)
        Add(report, 1, ctrlclass::kText, u"T" + WideFromUtf8(std::to_string(i)), {0, 0, 1, 1});
    const std::string target = dir_ + "/keep.kp";
    { std::ofstream(target) << "the old report"; }
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old;
    limit.rlim_cur = 2048;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    Bstr name = BstrFromUtf8(target);
    const int32_t code = report->Save(name, true);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    BstrFree(name);
    EXPECT_NE(code, 0);
    std::ifstream in(target);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "the old report");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1)
        << "no temporary left";
    Variant fileName{};
    ASSERT_EQ(GetValue(report, KPM_REPORT_FILE_NAME, &fileName), 0);
    EXPECT_EQ(fileName.bstrVal, nullptr);
}

TEST_F(FileTest, KeptLayerOrdersAndDrawingOnlyForm) {
    ReportObject* report = NewReport();
    const uint16_t stored[] = {3, 1, 2, 5, 4};
    auto s = Report(ReportElement(), {});
    for (int n = 0; n < 5; ++n) {
        s[2 + 3 * n].second = Bytes{}.Tag(7002, 2).Put(stored[n]).Tag(7003, 4).Put(int32_t{1}).v;
    }
    const std::u16string path = Write("o.kp", s);
    ASSERT_EQ(Load(report, path), 0);
    EXPECT_EQ(report->layers().layer(0).order(), 1) << "orders reset without property 6";
    ASSERT_EQ(Put(app_, ApplicationObject::kKeepLayerOrder, VariantBool(true)), 0);
    ASSERT_EQ(Load(report, path), 0);
    for (int n = 0; n < 5; ++n) EXPECT_EQ(report->layers().layer(n).order(), stored[n]);

    // The drawing-only form leaves out the full-form records, hidden layers and hidden objects.
    ReportObject* drawn = NewReport();
    Add(drawn, 1, ctrlclass::kBox, u"Shown", {0, 0, 1, 1});
    Add(drawn, 1, ctrlclass::kBox, u"Gone", {0, 0, 1, 1})->SetVisibleFlag(0);
    Add(drawn, 2, ctrlclass::kBox, u"OnHidden", {0, 0, 1, 1});
    drawn->layers().layer(1).SetVisible(0);
    StreamFileFactory factory;
    StreamFile* file = nullptr;
    ASSERT_EQ(factory.Create(Path("d.kp"), kCreateAlways, kAccessReadWrite, &file), 0);
    ASSERT_EQ(drawn->SaveToContainer(file, 1, nullptr), 0);
    file->Release();
    ASSERT_EQ(factory.Open(Path("d.kp"), kAccessRead, &file), 0);
    ReportObject* back = NewReport();
    ASSERT_EQ(back->LoadFromContainer(file, 1), 0);
    Stream* stream = nullptr;
    EXPECT_EQ(file->OpenStream(u"KPOBJECT30-2", &stream), stream_code::kNotFound);
    file->Release();
    EXPECT_NE(Objects(back, 1).Find(u"Shown", nullptr), nullptr);
    EXPECT_EQ(Objects(back, 1).Find(u"Gone", nullptr), nullptr);
    EXPECT_FALSE(back->layers().layer(1).visible());
}

}  // namespace
