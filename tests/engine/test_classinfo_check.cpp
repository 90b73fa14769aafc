// What the engine tells a scripting host about itself, written out once more by hand and held
// against what the engine answers: the class list of WGetClassInfo with its description record,
// the interface ids, the class information of every class (record counts, related classes,
// member ids, names, parameters, types and access), and the application's own dispatch table
// with the result codes it answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/class_info.h"
#include "engine/core/engine_class.h"
#include "engine_fakes.h"

namespace {

using namespace kp;
using namespace plat;

// ---------------------------------------------------------------------------------------------
// The class list handed out by WGetClassInfo

TEST(ClassListCheck, ListEntryAndDescription) {
    void* out = nullptr;
    ASSERT_EQ(EngineGetClassInfo(&out), 0);
    ASSERT_NE(out, nullptr);
    void* again = nullptr;
    ASSERT_EQ(EngineGetClassInfo(&again), 0);
    EXPECT_EQ(again, out) << "one static object";
    EXPECT_EQ(EngineGetClassInfo(nullptr), -4);

    auto* list = static_cast<EngineClassInfo*>(static_cast<plat::Unknown*>(out));
    EXPECT_EQ(list, GetEngineClassInfo());
    EXPECT_EQ(list->AddRef(), 1);
    EXPECT_EQ(list->Release(), 0);
    EXPECT_EQ(list->Release(), 0) << "never destroyed";
    EXPECT_EQ(list->GetClassCount(), 1);
    EXPECT_EQ(list->GetClassAttribute(0), 24);
    EXPECT_EQ(list->GetClassAttribute(1), -7);
    EXPECT_EQ(list->GetClassAttribute(-1), -7);

    EngineClassEntry* entry = nullptr;
    EXPECT_EQ(list->GetClassEntry(1, &entry), -7);
    EXPECT_EQ(list->GetClassEntry(-1, &entry), -7);
    EXPECT_EQ(list->GetClassEntry(0, nullptr), -4);
    ASSERT_EQ(list->GetClassEntry(0, &entry), 0);
    ASSERT_NE(entry, nullptr);

    // Interface lookup of the list: itself for the base and class-list ids, the entry for the
    // class-entry id, nothing else.
    struct {
        InterfaceId id;
        int32_t code;
        plat::Unknown* answer;
    } const lookups[] = {
        {{0x80010000, 1}, 0, list},     {{0x80030000, 1}, 0, list},
        {{0x80040000, 1}, 0, entry},    {{0x80020000, 1}, -2, nullptr},
        {{0x80060000, 1}, -2, nullptr}, {{0x00010000, 0x00000100}, -2, nullptr},
        {{0x80040000, 0}, -2, nullptr},
    };
    for (const auto& l : lookups) {
        SCOPED_TRACE(testing::Message() << std::hex << l.id.first << "/" << l.id.second);
        void* got = reinterpret_cast<void*>(1);
        EXPECT_EQ(list->QueryInterface(&l.id, &got), l.code);
        EXPECT_EQ(got, static_cast<void*>(l.answer));
        got = reinterpret_cast<void*>(1);
        EXPECT_EQ(entry->QueryInterface(&l.id, &got), l.code) << "the entry forwards";
        EXPECT_EQ(got, static_cast<void*>(l.answer));
    }
    const InterfaceId base{0x80010000, 1};
    EXPECT_EQ(list->QueryInterface(&base, nullptr), -4);
    EXPECT_EQ(entry->AddRef(), 1);
    EXPECT_EQ(entry->Release(), 0);
    EXPECT_EQ(entry->Reserved(), -2);

    InterfaceId classId{};
    ASSERT_EQ(entry->GetClassId(&classId), 0);
    EXPECT_EQ(classId.first, 0x00010000u);
    EXPECT_EQ(classId.second, 0x00000100u);
    EXPECT_EQ(entry->GetClassId(nullptr), -4);

    // The 140-byte description, byte for byte.
    std::vector<uint8_t> expected(140, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) expected[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, 140);
    put32(4, 0);
    put32(8, 1);
    put32(12, 3);
    put32(16, 3);
    put32(20, 0x000207D0);
    put32(24, 0x00030008);
    put32(28, 0x00030000);
    const std::string text = "Kelvaprint v3.0";
    for (size_t i = 0; i < text.size(); ++i) {
        expected[44 + 2 * i] = static_cast<uint8_t>(text[i]);
        expected[108 + i] = static_cast<uint8_t>(text[i]);
    }
    std::vector<uint8_t> got(140 + 8, 0xEE);
    ASSERT_EQ(entry->GetDescription(got.data()), 0);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 140), expected);
    EXPECT_EQ(got[140], 0xEE) << "nothing beyond the record";
    EXPECT_EQ(entry->GetDescription(nullptr), -4);
    const auto& record = EngineClassDescription();
    EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()), expected);
}

TEST(ClassListCheck, InterfaceIds) {
    struct {
        InterfaceId have;
        uint32_t first;
        uint32_t second;
    } const ids[] = {
        {iid::kApplication, 0x00010000, 0x00000100},
        {iid::kApplicationEvents, 0x00010000, 0x00000101},
        {iid::kPrinterJob, 0x00010000, 0x10000100},
        {iid::kPreview, 0x00010000, 0x20000100},
        {iid::kFileObject, 0x00010000, 0x30000100},
        {iid::kReport, 0x00010000, 0x40000100},
        {iid::kLayerCollection, 0x00010000, 0x40100100},
        {iid::kLayer, 0x00010000, 0x40200100},
        {iid::kObjectCollection, 0x00010000, 0x40300100},
        {iid::kDrawingObject, 0x00010000, 0x40400100},
        {iid::kBase, 0x80010000, 0x00000001},
        {iid::kScriptable, 0x80020000, 0x00000001},
        {iid::kClassList, 0x80030000, 0x00000001},
        {iid::kClassEntry, 0x80040000, 0x00000001},
        {iid::kSiteHolder, 0x80050000, 0x00000001},
        {iid::kTypeLibrary, 0x80060000, 0x00000001},
        {iid::kEventSource, 0x800B0000, 0x00000001},
        {kEngineClassId, 0x00010000, 0x00000100},
    };
    for (const auto& i : ids) {
        EXPECT_EQ(i.have.first, i.first) << std::hex << i.second;
        EXPECT_EQ(i.have.second, i.second) << std::hex << i.second;
    }
}

// ---------------------------------------------------------------------------------------------
// The class information, transcribed

constexpr uint32_t kTL = 0x1000000;
constexpr uint32_t kApp = 0x1000010;
constexpr uint32_t kEvents = 0x1000011;
constexpr uint32_t kJob = 0x1000020;
constexpr uint32_t kPreviewT = 0x1000030;
constexpr uint32_t kFileT = 0x1000040;
constexpr uint32_t kReportT = 0x1000050;
constexpr uint32_t kLayersT = 0x1000060;
constexpr uint32_t kLayerT = 0x1000070;
constexpr uint32_t kObjectsT = 0x1000080;
constexpr uint32_t kDrawingT = 0x1000090;
constexpr uint32_t kAllCodes[] = {kTL,      kApp,     kEvents, kJob,      kPreviewT, kFileT,
                                  kReportT, kLayersT, kLayerT, kObjectsT, kDrawingT};

enum class Access { kGet, kGetPut, kUnknown };

struct Prop {
    int32_t id;
    std::u16string name;
    Access access = Access::kUnknown;
    std::optional<VarType> type = std::nullopt;
};

struct Param {
    std::u16string name;
    std::optional<VarType> type = std::nullopt;
};

struct Method {
    int32_t id;
    std::u16string name;
    std::vector<Param> params;
    std::optional<VarType> result = std::nullopt;  // unset: not fixed by the description
    uint32_t refType = 0;                          // for results of type 29
};

struct ClassRow {
    const char* what;
    uint32_t code;
    std::optional<uint32_t> iidSecond;  // first word 0x00010000; none for the type library
    uint32_t kind;
    uint16_t funcs;
    uint16_t vars;
    uint16_t impl;
    std::vector<uint32_t> related;
    bool relatesToNothing;  // GetRefTypeInfo answers -2 for every code
    std::vector<Prop> props;
    std::vector<Method> methods;
    // Property ids that may carry accessors without a name (besides the named ones).
    std::vector<int32_t> unnamedPropIds = {};
};

const VarType I2 = VT_I2, BSTR = VT_BSTR, BOOL_ = VT_BOOL, UI2 = VT_UI2, UI4 = VT_UI4,
              VARIANT = VT_VARIANT, OBJ = VT_USERDEFINED;

std::vector<Prop> Named(std::initializer_list<std::pair<int32_t, const char16_t*>> names) {
    std::vector<Prop> out;
    for (const auto& [id, name] : names) out.push_back({id, name});
    return out;
}

Method M(int32_t id, std::u16string name, std::vector<Param> params = {}) {
    return {id, std::move(name), std::move(params)};
}

const std::vector<ClassRow>& Classes() {
    static const std::vector<ClassRow> rows = {
        {"type library", kTL, std::nullopt, 0, 0, 0, 2, {kApp, kEvents}, false, {}, {}},
        {"application",
         kApp,
         0x00000100,
         3,
         7,
         9,
         0,
         {kJob, kPreviewT, kFileT, kReportT},
         false,
         {
             {1, u"CurrentPath", Access::kGetPut, BSTR},
             {2, u"TempPath", Access::kGetPut, BSTR},
             {3, u"PrinterDevices", Access::kGet, UI4},
             {4, u"DefaultUserID", Access::kGetPut, BSTR},
             {5, u"DefaultUserPassword", Access::kGetPut, BSTR},
         },
         {
             {500, u"CreatePreview", {}, OBJ, kPreviewT},
             {501, u"CreatePrinter", {{u"Source", VARIANT}}, OBJ, kJob},
             {502, u"CreateFile", {{u"FileName", VARIANT}}, OBJ, kFileT},
             {503, u"CreateReport", {{u"FileName", VARIANT}}, OBJ, kReportT},
             {504, u"PrinterDeviceName", {{u"Number", I2}}, BSTR},
             {505, u"PrinterName", {{u"Number", I2}}, BSTR},
             {506, u"PrinterPortName", {{u"Number", I2}}, BSTR},
         }},
        {"application events",
         kEvents,
         0x00000101,
         3,
         18,
         0,
         0,
         {kJob, kPreviewT, kReportT, kDrawingT},
         false,
         {},
         {
             M(1, u"PreviewOnPrint", {{u"Preview"}, {u"PrintMode"}, {u"StartPage"}, {u"EndPage"}}),
             M(2, u"PreviewOnNextPage", {{u"Preview"}}),
             M(3, u"PreviewOnPrevPage"),
             M(4, u"PreviewOnTopPage"),
             M(5, u"PreviewOnLastPage"),
             M(6, u"PreviewOnCancel"),
             M(7, u"PrintCancel", {{u"Printer"}}),
             M(8, u"PrintEnd", {{u"Printer"}}),
             M(9, u"RptObjAtive"),
             M(10, u"RptObjUIAtive"),
             M(11, u"RptObjDeative"),
             M(12, u"RptObjUIDeative"),
             M(13, u"RptObjClose"),
             M(14, u"ReportClose"),
             M(15, u"RptObjPosRectChange"),
             M(16, u"RptObjPosRectChanging"),
             M(17, u"RptObjSetMenu"),
             M(18, u"RptObjRemoveMenu"),
         }},
        {"printer job",
         kJob,
         0x10000100,
         3,
         12,
         52,
         0,
         {kPreviewT, kFileT, kReportT},
         false,
         {
             {1, u"SupportPapers", Access::kGet, UI2},
             {2, u"SupportSources", Access::kGet, UI2},
             {3, u"InfoSize", Access::kGet, UI2},
             {4, u"PrinterName", Access::kGet, BSTR},
             {5, u"DeviceName", Access::kGet, BSTR},
             {6, u"CancelDlgCaption", Access::kGetPut, BSTR},
             {7, u"CancelDlg", Access::kGetPut, BOOL_},
             {8, u"CancelDlgMessage", Access::kGetPut, BSTR},
             {9, u"CancelButton", Access::kGetPut, BOOL_},
             {11, u"Status", Access::kGet, UI2},
             {12, u"MinPaperWidth", Access::kGet, UI2},
             {13, u"MinPaperLength", Access::kGet, UI2},
             {14, u"MaxPaperWidth", Access::kGet, UI2},
             {15, u"MaxPaperLength", Access::kGet, UI2},
             {16, u"PaperSize", Access::kGetPut, I2},
             {17, u"PaperWidth", Access::kGetPut, I2},
             {18, u"PaperLength", Access::kGetPut, I2},
             {19, u"Source", Access::kGetPut, UI2},
             {20, u"Orientation", Access::kGetPut, UI2},
             {21, u"Copies", Access::kGetPut, UI2},
             {22, u"Quality", Access::kGetPut, UI2},
             {23, u"Color", Access::kGetPut, UI2},
             {24, u"ASyncMode", Access::kGetPut, BOOL_},
             {25, u"PageCount", Access::kGet, UI4},
             {26, u"MultiPrint", Access::kGetPut, BOOL_},
             {27, u"MultiPrintLayout", Access::kGetPut, UI2},
             {28, u"Scale", Access::kGetPut, UI2},
             {29, u"JobName", Access::kGetPut, BSTR},
             {30, u"JobNumber", Access::kGetPut, UI4},
             {31, u"MinTopMargin", Access::kGet, UI2},
             {32, u"MinLeftMargin", Access::kGet, UI2},
             {33, u"MinBottomMargin", Access::kGet, UI2},
             {34, u"MinRightMargin", Access::kGet, UI2},
             {35, u"hDC", Access::kGet, UI4},
         },
         {
             M(501, u"OpenPrinter"),
             M(502, u"ClosePrinter", {{u"JobCancel", BOOL_}}),
             M(503, u"Close"),
             {504, u"GetPaper", {{u"SEQNumber", UI2}}, UI2},
             {505, u"GetSource", {{u"SEQNumber", UI2}}, UI2},
             {506, u"GetJobStatus", {{u"JobNumber", UI4}}, UI2},
             {507, u"SetJobStatus", {{u"JobNumber", UI4}, {u"Status", UI2}}, UI2},
             M(508, u"Print", {{u"ReportObject"}}),
             {509, u"ShowPrtSelectDlg", {{u"ParentWnd", UI4}}, BOOL_},
             M(510, u"UpdateInfo"),
             M(511, u"FilePrint", {{u"FileObject"}}),
             M(512, u"PreviewPrint", {{u"PreviewObject"}, {u"StartPage", UI4}, {u"EndPage", UI4}}),
         }},
        {"preview",
         kPreviewT,
         0x20000100,
         3,
         5,
         35,
         0,
         {kFileT, kReportT},
         false,
         Named({{1, u"WindowTop"},
                {2, u"WindowLeft"},
                {3, u"WindowRight"},
                {4, u"WindowBottom"},
                {5, u"WindowMax"},
                {6, u"WindowMin"},
                {7, u"ParentWindow"},
                {8, u"Status"},
                {9, u"PageCount"},
                {10, u"Page"},
                {11, u"Tools"},
                {12, u"Zoom"},
                {13, u"Title"},
                {15, u"CancelButton"},
                {16, u"CancelMessage"},
                {17, u"CancelDlg"},
                {18, u"CancelDlgTitle"},
                {19, u"hDC"},
                {20, u"ReportIndexLevel"}}),
         {
             M(501, u"OpenPreview", {{u"Style"}}),
             M(502, u"ClosePreview"),
             M(503, u"Close"),
             M(504, u"Print", {{u"Report"}}),
             M(505, u"FilePrint", {{u"FileObj"}, {u"StartPage"}, {u"EndPage"}}),
         },
         {14}},
        {"file object",
         kFileT,
         0x30000100,
         3,
         0,
         0,
         0,
         {kJob, kReportT},
         false,
         Named({{1, u"WindowTop"}}),
         {}},
        {"report",
         kReportT,
         0x40000100,
         3,
         6,
         52,
         0,
         {kReportT, kLayersT, kDrawingT},
         false,
         Named({{1, u"FileName"},
                {2, u"Title"},
                {3, u"Unit"},
                {4, u"OnGrid"},
                {5, u"GridView"},
                {6, u"GridInterval"},
                {7, u"GridPitch"},
                {8, u"CPI"},
                {9, u"CPL"},
                {10, u"PrinterName"},
                {11, u"PrinterDeviceName"},
                {12, u"PrinterSelectMode"},
                {13, u"PaperSize"},
                {14, u"PaperLength"},
                {15, u"PaperWidth"},
                {16, u"PaperOrientation"},
                {17, u"PrintPaperSize"},
                {18, u"PrintPaperLength"},
                {19, u"PrintPaperWidth"},
                {20, u"PrinterInfoSize"},
                {21, u"PrinterInfo"},
                {22, u"Source"},
                {23, u"Color"},
                {24, u"Copies"},
                {25, u"Quality"},
                {26, u"Memo"},
                {27, u"Layers"},
                {28, u"BackImage"},
                {29, u"hWnd"}}),
         {
             M(501, u"Draw",
               {{u"hDCDraw"},
                {u"hDCAttr"},
                {u"Top"},
                {u"Left"},
                {u"Bottom"},
                {u"Right"},
                {u"DrawFlags"}}),
             M(502, u"VirtualReport", {{u"GrpObject"}}),
             M(503, u"Save", {{u"FileName"}, {u"WriteMode"}}),
             M(504, u"IsDirty"),
             M(505, u"ClearData"),
             M(506, u"Reload"),
         }},
        {"layer collection",
         kLayersT,
         0x40100100,
         3,
         2,
         1,
         0,
         {kLayerT},
         false,
         {{1, u"Count", Access::kGet}},
         {M(501, u"Layer", {{u"Number"}}), M(502, u"ClearData")}},
        {"layer",
         kLayerT,
         0x40200100,
         3,
         0,
         5,
         0,
         {kObjectsT},
         false,
         Named({{1, u"Objects"}, {2, u"ZOder"}, {3, u"Visible"}}),
         {}},
        {"object collection",
         kObjectsT,
         0x40300100,
         3,
         4,
         1,
         0,
         {kDrawingT},
         false,
         {{1, u"Count", Access::kGet}},
         {
             M(501, u"Object", {{u"Item"}}),
             M(502, u"CreateObject", {{u"ObjType"}, {u"Top"}, {u"Left"}, {u"Bottom"}, {u"Right"}}),
             M(503, u"CopyObject"),
             M(504, u"MoveObject", {{u"Object"}}),
         }},
        {"drawing object",
         kDrawingT,
         0x40400100,
         3,
         1,
         13,
         0,
         {},
         true,
         Named({{1, u"DrawObject"},
                {2, u"Name"},
                {3, u"Visible"},
                {4, u"Top"},
                {5, u"Left"},
                {6, u"Botoom"},
                {7, u"Right"}}),
         {M(501, u"Close")}},
    };
    return rows;
}

class ClassInfoCheck : public ::testing::Test {
  protected:
    ClassInfo* Info(uint32_t code) {
        ClassInfo* info = nullptr;
        EXPECT_EQ(set_.GetInterfaceByType(code, &info), 0) << std::hex << code;
        return info;
    }

    // All names GetNames answers for an id (up to 10), or the code when it fails.
    static int32_t Names(ClassInfo* info, int32_t id, uint32_t maximum,
                         std::vector<std::u16string>* out) {
        std::vector<Bstr> names(maximum + 1, nullptr);
        uint32_t count = 99;
        const int32_t code = info->GetNames(id, names.data(), maximum, &count);
        out->clear();
        for (uint32_t i = 0; i < count && i < maximum; ++i) {
            out->push_back(std::u16string(BstrView(names[i])));
        }
        for (Bstr b : names) BstrFree(b);
        if (code == 0) {
            EXPECT_LE(count, maximum);
        }
        return code;
    }

    ClassInfoSet set_;
};

TEST_F(ClassInfoCheck, TypeAttributesAndLookups) {
    for (const auto& row : Classes()) {
        SCOPED_TRACE(row.what);
        ClassInfo* info = Info(row.code);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->TypeCode(), row.code);
        TypeAttr* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), 0);
        EXPECT_EQ(attr->size, 24);
        const InterfaceId id = TypeAttrInterfaceId(*attr);
        EXPECT_EQ(id.first, row.iidSecond ? 0x00010000u : 0u);
        EXPECT_EQ(id.second, row.iidSecond.value_or(0));
        EXPECT_EQ(attr->reserved0, 0);
        EXPECT_EQ(attr->kind, row.kind);
        EXPECT_EQ(attr->funcCount, row.funcs);
        EXPECT_EQ(attr->varCount, row.vars);
        EXPECT_EQ(attr->implTypeCount, row.impl);
        EXPECT_EQ(attr->reserved1, 0);
        info->ReleaseTypeAttr(attr);
        EXPECT_EQ(info->GetTypeAttr(nullptr), -4);

        // Looking the class up by its class id: the nine class ids only.
        if (row.iidSecond && row.code != kEvents) {
            const InterfaceId classId{0x00010000, *row.iidSecond};
            ClassInfo* found = nullptr;
            ASSERT_EQ(set_.ClassInfoQueryInterface(&classId, &found), 0);
            EXPECT_EQ(found, info);
            found = nullptr;
            ClassInfo* library = Info(kTL);
            ASSERT_EQ(library->FindClassInfo(&classId, &found), 0);
            EXPECT_EQ(found, info);
        }

        // Related classes.
        for (uint32_t code : kAllCodes) {
            SCOPED_TRACE(testing::Message() << "related " << std::hex << code);
            ClassInfo* related = nullptr;
            const bool isRelated =
                std::find(row.related.begin(), row.related.end(), code) != row.related.end();
            const int32_t want = row.relatesToNothing ? -2 : isRelated ? 0 : -6;
            EXPECT_EQ(info->GetRefTypeInfo(code, &related), want);
            if (want == 0) {
                ASSERT_NE(related, nullptr);
                EXPECT_EQ(related->TypeCode(), code);
            }
        }
        ClassInfo* none = nullptr;
        EXPECT_EQ(info->GetRefTypeInfo(0x1000100, &none), row.relatesToNothing ? -2 : -6);

        // Only the type library has implemented types.
        int32_t flags = 0;
        uint32_t refType = 0;
        if (row.code != kTL) {
            EXPECT_EQ(info->GetImplTypeFlags(0, &flags), -2);
            EXPECT_EQ(info->GetRefTypeOfImplType(0, &refType), -2);
        }
    }

    ClassInfo* found = reinterpret_cast<ClassInfo*>(1);
    for (InterfaceId other : {InterfaceId{0x00010000, 0x00000101}, InterfaceId{0x80060000, 1},
                              InterfaceId{0x80010000, 1}, InterfaceId{0x00010000, 0x40500100}}) {
        EXPECT_EQ(set_.ClassInfoQueryInterface(&other, &found), -6) << std::hex << other.second;
    }
    EXPECT_EQ(set_.ClassInfoQueryInterface(&iid::kReport, nullptr), -4);
    for (uint32_t code : {0u, 0x1000001u, 0x10000A0u, 0x1000012u}) {
        EXPECT_EQ(set_.GetInterfaceByType(code, &found), -6) << std::hex << code;
    }
    EXPECT_EQ(set_.GetInterfaceByType(kApp, nullptr), -4);
}

TEST_F(ClassInfoCheck, TypeLibraryImplementedTypes) {
    ClassInfo* library = Info(kTL);
    struct {
        uint32_t index;
        int32_t flagsCode;
        int32_t flags;
        int32_t refCode;
        uint32_t ref;
    } const rows[] = {
        {0, 0, 1, 0, kApp},
        {1, 0, 3, 0, kEvents},
        {2, -6, 0, -6, 0},
        {0xFFFFFFFF, -6, 0, -6, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.index);
        int32_t flags = 0;
        uint32_t ref = 0;
        EXPECT_EQ(library->GetImplTypeFlags(r.index, &flags), r.flagsCode);
        if (r.flagsCode == 0) {
            EXPECT_EQ(flags, r.flags);
        }
        EXPECT_EQ(library->GetRefTypeOfImplType(r.index, &ref), r.refCode);
        if (r.refCode == 0) {
            EXPECT_EQ(ref, r.ref);
        }
    }
    Bstr names[2] = {nullptr, nullptr};
    uint32_t count = 0;
    EXPECT_EQ(library->GetNames(1, names, 2, &count), -2);
    FuncDesc* func = nullptr;
    VarDesc* var = nullptr;
    EXPECT_EQ(library->GetFuncDesc(0, &func), -7);
    EXPECT_EQ(library->GetVarDesc(0, &var), -7);
}

TEST_F(ClassInfoCheck, NamesOfEveryMember) {
    for (const auto& row : Classes()) {
        if (row.code == kTL) continue;
        SCOPED_TRACE(row.what);
        ClassInfo* info = Info(row.code);
        std::vector<std::u16string> got;
        for (const auto& p : row.props) {
            SCOPED_TRACE(p.id);
            ASSERT_EQ(Names(info, p.id, 4, &got), 0);
            EXPECT_EQ(got, std::vector<std::u16string>{p.name});
        }
        for (const auto& m : row.methods) {
            SCOPED_TRACE(m.id);
            std::vector<std::u16string> want{m.name};
            for (const auto& param : m.params) want.push_back(param.name);
            ASSERT_EQ(Names(info, m.id, 10, &got), 0);
            EXPECT_EQ(got, want);
            // A short array takes what fits.
            ASSERT_EQ(Names(info, m.id, 1, &got), 0);
            EXPECT_EQ(got, std::vector<std::u16string>{m.name});
        }
        // Ids the class does not name.
        for (int32_t id : {0, 21, 30 + 6, 499, 507 + 6, 999, -1}) {
            const bool named = std::any_of(row.props.begin(), row.props.end(),
                                           [&](const Prop& p) { return p.id == id; }) ||
                               std::any_of(row.methods.begin(), row.methods.end(),
                                           [&](const Method& m) { return m.id == id; });
            if (named) continue;
            Bstr names[3] = {nullptr, nullptr, nullptr};
            uint32_t count = 7;
            EXPECT_EQ(info->GetNames(id, names, 3, &count), -6) << id;
            EXPECT_EQ(count, 0u);
            EXPECT_EQ(names[0], nullptr);
            EXPECT_EQ(names[1], nullptr);
            EXPECT_EQ(names[2], nullptr);
        }
    }
    // Partial answers for a method with two parameters.
    ClassInfo* job = Info(kJob);
    std::vector<std::u16string> got;
    ASSERT_EQ(Names(job, 507, 3, &got), 0);
    EXPECT_EQ(got, (std::vector<std::u16string>{u"SetJobStatus", u"JobNumber", u"Status"}));
    ASSERT_EQ(Names(job, 507, 2, &got), 0);
    EXPECT_EQ(got, (std::vector<std::u16string>{u"SetJobStatus", u"JobNumber"}));
    Bstr none[1] = {nullptr};
    uint32_t count = 5;
    EXPECT_EQ(job->GetNames(507, none, 0, &count), 0);
    EXPECT_EQ(count, 0u);
    // The file object knows only one name.
    ClassInfo* file = Info(kFileT);
    for (int32_t id : {2, 500, 501}) {
        EXPECT_EQ(Names(file, id, 2, &got), -6) << id;
    }
}

TEST_F(ClassInfoCheck, MethodDescriptions) {
    for (const auto& row : Classes()) {
        SCOPED_TRACE(row.what);
        ClassInfo* info = Info(row.code);
        ASSERT_EQ(row.methods.size(), row.funcs) << "transcription";
        for (uint32_t index = 0; index < row.methods.size(); ++index) {
            const Method& m = row.methods[index];
            SCOPED_TRACE(m.id);
            FuncDesc* desc = nullptr;
            ASSERT_EQ(info->GetFuncDesc(index, &desc), 0);
            ASSERT_NE(desc, nullptr);
            EXPECT_EQ(desc->memberId, m.id);
            EXPECT_EQ(desc->one, 1);
            EXPECT_EQ(desc->reserved0, 0u);
            EXPECT_EQ(desc->reserved1, 0u);
            EXPECT_EQ(desc->reserved2, 0);
            EXPECT_EQ(desc->paramCount, m.params.size());
            if (m.result) {
                EXPECT_EQ(desc->resultType, *m.result);
            }
            if (desc->resultType == VT_USERDEFINED) {
                if (m.result) {
                    EXPECT_EQ(desc->refTypeCode, m.refType);
                } else {
                    // Where the returned class is not fixed, it is one the class refers to.
                    EXPECT_NE(std::find(row.related.begin(), row.related.end(), desc->refTypeCode),
                              row.related.end())
                        << std::hex << desc->refTypeCode;
                }
            } else {
                EXPECT_EQ(desc->refTypeCode, 0u);
            }
            for (size_t p = 0; p < m.params.size() && p < desc->paramCount; ++p) {
                ASSERT_NE(desc->params, nullptr);
                if (m.params[p].type) {
                    EXPECT_EQ(desc->params[p].type, *m.params[p].type) << "parameter " << p;
                }
                EXPECT_EQ(desc->params[p].reserved0, 0);
            }
            info->ReleaseFuncDesc(desc);
        }
        FuncDesc* desc = nullptr;
        EXPECT_EQ(info->GetFuncDesc(row.funcs, &desc), -7);
        EXPECT_EQ(info->GetFuncDesc(0xFFFFFFFF, &desc), -7);
    }
}

TEST_F(ClassInfoCheck, PropertyAccessorDescriptions) {
    for (const auto& row : Classes()) {
        SCOPED_TRACE(row.what);
        ClassInfo* info = Info(row.code);
        std::vector<VarDesc> got;
        for (uint32_t index = 0; index < row.vars; ++index) {
            VarDesc* desc = nullptr;
            ASSERT_EQ(info->GetVarDesc(index, &desc), 0) << index;
            ASSERT_NE(desc, nullptr);
            got.push_back(*desc);
            info->ReleaseVarDesc(desc);
        }
        VarDesc* extra = nullptr;
        EXPECT_EQ(info->GetVarDesc(row.vars, &extra), -7);

        for (const auto& d : got) {
            SCOPED_TRACE(d.memberId);
            EXPECT_EQ(d.reserved0, 0u);
            EXPECT_EQ(d.one, 1u);
            EXPECT_TRUE(d.access == kAccessGet || d.access == kAccessPut) << d.access;
            EXPECT_EQ(d.reserved1, 0);
            for (uint32_t r : d.reserved2) EXPECT_EQ(r, 0u);
        }

        const bool fullyKnown =
            !row.props.empty() && std::all_of(row.props.begin(), row.props.end(),
                                              [](auto& p) { return p.access != Access::kUnknown; });
        if (fullyKnown) {
            // Every entry in order: a put followed by a get for each writable property.
            std::vector<std::tuple<int32_t, uint32_t, VarType>> want;
            for (const auto& p : row.props) {
                if (p.access == Access::kGetPut) want.emplace_back(p.id, kAccessPut, *p.type);
                want.emplace_back(p.id, kAccessGet, p.type.value_or(0));
            }
            ASSERT_EQ(want.size(), row.vars) << "transcription";
            for (size_t i = 0; i < want.size(); ++i) {
                SCOPED_TRACE(i);
                EXPECT_EQ(got[i].memberId, std::get<0>(want[i]));
                EXPECT_EQ(got[i].access, std::get<1>(want[i]));
                if (std::get<2>(want[i]) != 0) {
                    EXPECT_EQ(got[i].varType, std::get<2>(want[i]));
                }
            }
            continue;
        }
        // Where only the names and the number of entries are fixed: every entry belongs to a
        // property of the class, a property has a get entry, and a writable one has its put
        // entry just before the get.
        for (size_t i = 0; i < got.size(); ++i) {
            const int32_t id = got[i].memberId;
            SCOPED_TRACE(id);
            const bool known = std::any_of(row.props.begin(), row.props.end(),
                                           [&](const Prop& p) { return p.id == id; }) ||
                               std::find(row.unnamedPropIds.begin(), row.unnamedPropIds.end(),
                                         id) != row.unnamedPropIds.end();
            EXPECT_TRUE(known);
            if (got[i].access == kAccessPut) {
                ASSERT_LT(i + 1, got.size());
                EXPECT_EQ(got[i + 1].memberId, id);
                EXPECT_EQ(got[i + 1].access, kAccessGet);
                EXPECT_EQ(got[i + 1].varType, got[i].varType);
            }
            EXPECT_EQ(std::count_if(got.begin(), got.end(),
                                    [&](const VarDesc& d) {
                                        return d.memberId == id && d.access == got[i].access;
                                    }),
                      1);
        }
        for (const auto& p : row.props) {
            if (row.code == kFileT) break;  // names only, no descriptions
            EXPECT_TRUE(std::any_of(
                got.begin(), got.end(),
                [&](const VarDesc& d) { return d.memberId == p.id && d.access == kAccessGet; }))
                << "no get entry for " << p.id;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The application's dispatch and the engine's result codes

TEST(ResultCodeCheck, Values) {
    struct {
        int32_t have;
        int32_t want;
    } const codes[] = {
        {rc::kOk, 0},
        {rc::kFailed, -1},
        {rc::kNotImplemented, -2},
        {rc::kWrongClass, -3},
        {rc::kBadPointer, -4},
        {rc::kOutOfMemory, -5},
        {rc::kUnknownMember, -6},
        {rc::kBadArgument, -7},
        {rc::kOutOfRange, -8},
        {rc::kNotReady, -9},
        {rc::kBadSignature, -10},
        {rc::kNoSite, -11},
        {rc::kControlLibraryMissing, -10000},
        {rc::kControlLibraryIncomplete, -10001},
        {rc::kStringConversion, -10003},
        {rc::kNoSuchPrinter, -10101},
        {rc::kPrinterEnumFailed, -10102},
        {rc::kNoDefaultPrinter, -10103},
        {rc::kPaperNotInList, -10113},
        {rc::kPrinterSelectionCancelled, -10311},
        {rc::kChildTableFull, -10312},
    };
    for (size_t i = 0; i < std::size(codes); ++i) {
        EXPECT_EQ(codes[i].have, codes[i].want) << "row " << i;
    }
}

int moduleToken;

class ApplicationDispatchCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        fakes::Control() = {};
        SetControlLibraryLoader(&fakes::kFakeLoader);
        printers_ = std::make_shared<FakePrinterSystem>();
        printers_->SetPrinters(fakes::ThreePrinters());
        SetPrinterSystem(printers_);
        InitModule(&moduleToken);
        void* out = nullptr;
        ASSERT_EQ(CreateEngineObject(&iid::kApplication, &iid::kApplication, &out), 0);
        app_ = static_cast<ApplicationObject*>(static_cast<plat::Unknown*>(out));
    }
    void TearDown() override {
        InitModule(nullptr);
        SetPrinterSystem(nullptr);
        SetControlLibraryLoader(nullptr);
    }

    int32_t Run(int32_t id, int32_t kind, std::vector<Variant> args, Variant* out) {
        InvokeArgs block{args.data(), static_cast<uint32_t>(args.size())};
        *out = Variant{};
        return app_->Invoke(id, kind, &block, out);
    }

    // A value of the given type that the members accept as well-formed.
    Variant Sample(VarType type) {
        switch (type) {
            case VT_BSTR:
                return VariantBstr(text_.get());
            case VT_UI4:
                return VariantUI4(0);
            case VT_BOOL:
                return VariantBool(true);
            case VT_DISPATCH:
                return VariantDispatch(nullptr);
            default:
                return VariantI4(0);
        }
    }
    // A value of another type than the given one.
    static Variant Mistyped(VarType type) {
        return type == VT_I4 ? VariantUI4(0) : type == VT_UI4 ? VariantI4(0) : VariantUI4(0);
    }

    std::shared_ptr<FakePrinterSystem> printers_;
    ApplicationObject* app_ = nullptr;
    UniqueBstr text_{BstrAllocView(u"0")};
};

TEST_F(ApplicationDispatchCheck, MemberIds) {
    struct {
        int32_t have;
        int32_t want;
    } const ids[] = {
        {ApplicationObject::kCurrentPath, 1},
        {ApplicationObject::kTempPath, 2},
        {ApplicationObject::kPrinterDevices, 3},
        {ApplicationObject::kDefaultUserId, 4},
        {ApplicationObject::kDefaultUserPassword, 5},
        {ApplicationObject::kKeepLayerOrder, 6},
        {ApplicationObject::kControlLibraryName, 7},
        {ApplicationObject::kCreatePreview, 10001},
        {ApplicationObject::kCreatePrinter, 10002},
        {ApplicationObject::kCreatePrinterForReport, 10003},
        {ApplicationObject::kCreateFile, 10004},
        {ApplicationObject::kCreateReport, 10005},
        {ApplicationObject::kPrinterDeviceName, 10006},
        {ApplicationObject::kPrinterName, 10007},
        {ApplicationObject::kPrinterPortName, 10008},
        {ApplicationObject::kReservedCreate, 10009},
        {ApplicationObject::kOpenReport, 10010},
        {ApplicationObject::kCreatePdfDocument, 10011},
    };
    for (const auto& i : ids) EXPECT_EQ(i.have, i.want);
}

TEST_F(ApplicationDispatchCheck, InterfacesItAnswers) {
    ClassInfo* library = nullptr;
    ASSERT_EQ(app_->Classes().GetInterfaceByType(kTL, &library), 0);
    struct {
        InterfaceId id;
        int32_t code;
        const void* answer;
    } const rows[] = {
        {{0x00010000, 0x00000100}, 0, static_cast<plat::Unknown*>(app_)},
        {{0x80010000, 1}, 0, static_cast<plat::Unknown*>(app_)},
        {{0x80020000, 1}, 0, static_cast<plat::Unknown*>(app_)},
        {{0x800B0000, 1}, 0, static_cast<plat::Unknown*>(&app_->Events())},
        {{0x80060000, 1}, 0, static_cast<plat::Unknown*>(library)},
        {{0x80050000, 1}, 0, static_cast<plat::Unknown*>(&app_->Site())},
        {{0x00010000, 0x00000101}, -2, nullptr},
        {{0x80030000, 1}, -2, nullptr},
        {{0x00010000, 0x40000100}, -2, nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.id.first << "/" << r.id.second);
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(app_->QueryInterface(&r.id, &out), r.code);
        EXPECT_EQ(out, r.answer);
        if (r.code == 0) {
            EXPECT_EQ(app_->Release(), 1) << "one reference taken";
        }
    }
    ClassInfo* info = nullptr;
    ASSERT_EQ(app_->GetTypeInfo(&info), 0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->TypeCode(), kApp);
    info->Release();
}

TEST_F(ApplicationDispatchCheck, PropertiesAnswerTheirTypes) {
    app_->Site().SetSite(1);
    struct {
        int32_t id;
        VarType type;
        bool writable;
    } const props[] = {
        {1, VT_BSTR, true}, {2, VT_BSTR, true}, {3, VT_UI4, false},  {4, VT_BSTR, true},
        {5, VT_BSTR, true}, {6, VT_BOOL, true}, {7, VT_BSTR, false},
    };
    for (const auto& p : props) {
        SCOPED_TRACE(p.id);
        Variant v{};
        EXPECT_EQ(Run(p.id, kInvokeGet, {}, &v), 0);
        EXPECT_EQ(v.vt, p.type);
        VariantClear(&v);
        // A put takes exactly one argument of the property's type; read-only ids answer -6
        // whatever the argument.
        EXPECT_EQ(Run(p.id, kInvokePut, {}, &v), -7);
        EXPECT_EQ(Run(p.id, kInvokePut, {Sample(p.type), Sample(p.type)}, &v), -7);
        EXPECT_EQ(Run(p.id, kInvokePut, {Mistyped(p.type)}, &v), p.writable ? -7 : -6);
        if (!p.writable) {
            EXPECT_EQ(Run(p.id, kInvokePut, {Sample(p.type)}, &v), -6);
        }
        // A property is no method.
        EXPECT_EQ(Run(p.id, kInvokeMethod, {}, &v), -6);
    }
    Variant v{};
    EXPECT_EQ(Run(4, kInvokePut, {Sample(VT_BSTR)}, &v), 0);
    EXPECT_EQ(Run(5, kInvokePut, {Sample(VT_BSTR)}, &v), 0);
    EXPECT_EQ(Run(6, kInvokePut, {Sample(VT_BOOL)}, &v), 0);
    for (int32_t id : {0, 8, 9, 1000, 10001}) {
        EXPECT_EQ(Run(id, kInvokeGet, {}, &v), -6) << id;
    }
}

TEST_F(ApplicationDispatchCheck, MethodsTakeExactlyTheirArguments) {
    app_->Site().SetSite(1);
    struct {
        int32_t id;
        std::vector<VarType> args;
        VarType result;
    } const methods[] = {
        {10001, {}, VT_DISPATCH},
        {10002, {VT_BSTR}, VT_DISPATCH},
        {10003, {VT_DISPATCH, VT_UI4, VT_UI4}, VT_DISPATCH},
        {10004, {}, VT_DISPATCH},
        {10005, {}, VT_DISPATCH},
        {10006, {VT_UI4}, VT_BSTR},
        {10007, {VT_UI4}, VT_BSTR},
        {10008, {VT_UI4}, VT_BSTR},
        {10009, {VT_BSTR}, VT_DISPATCH},
        {10010, {VT_BSTR}, VT_DISPATCH},
        {10011, {}, VT_DISPATCH},
    };
    for (const auto& m : methods) {
        SCOPED_TRACE(m.id);
        std::vector<Variant> good;
        for (VarType t : m.args) good.push_back(Sample(t));
        Variant v{};
        const int32_t code = Run(m.id, kInvokeMethod, good, &v);
        EXPECT_NE(code, -6);
        if (m.id != 10003) {
            EXPECT_NE(code, -7) << "well-formed call";
        }
        EXPECT_EQ(v.vt, m.result);
        VariantClear(&v);

        std::vector<Variant> longer = good;
        longer.push_back(VariantI4(0));
        EXPECT_EQ(Run(m.id, kInvokeMethod, longer, &v), -7) << "one argument too many";
        for (size_t i = 0; i < good.size(); ++i) {
            std::vector<Variant> wrong = good;
            wrong[i] = Mistyped(m.args[i]);
            EXPECT_EQ(Run(m.id, kInvokeMethod, wrong, &v), -7) << "argument " << i;
        }
        if (!good.empty()) {
            good.pop_back();
            EXPECT_EQ(Run(m.id, kInvokeMethod, good, &v), -7) << "one argument short";
        }
        // A method is no property.
        EXPECT_EQ(Run(m.id, kInvokeGet, {}, &v), -6);
        EXPECT_EQ(Run(m.id, kInvokePut, {VariantI4(0)}, &v), -6);
    }
    Variant v{};
    // Fixed answers: the reserved method, a printer index out of range, not a report.
    EXPECT_EQ(Run(10009, kInvokeMethod, {Sample(VT_BSTR)}, &v), -1);
    EXPECT_EQ(v.pdispVal, nullptr);
    EXPECT_EQ(Run(10007, kInvokeMethod, {VariantUI4(3)}, &v), -7);
    EXPECT_EQ(
        Run(10003, kInvokeMethod, {VariantDispatch(nullptr), VariantUI4(0), VariantUI4(0)}, &v),
        -7);
    for (int32_t id : {10000, 10012, 11001, 1}) {
        EXPECT_EQ(Run(id, kInvokeMethod, {}, &v), -6) << id;
    }
    EXPECT_EQ(Run(1, 3, {}, &v), -7) << "no such kind";
    EXPECT_EQ(Run(1, -1, {}, &v), -7) << "no such kind";
}

TEST_F(ApplicationDispatchCheck, NothingAnswersBeforeTheSite) {
    Variant v{};
    for (int32_t id : {1, 3, 7}) EXPECT_EQ(Run(id, kInvokeGet, {}, &v), -11) << id;
    EXPECT_EQ(Run(4, kInvokePut, {Sample(VT_BSTR)}, &v), -11);
    EXPECT_EQ(Run(10001, kInvokeMethod, {}, &v), -11);
    EXPECT_EQ(Run(99, kInvokeMethod, {}, &v), -11);
}

}  // namespace
