// Everything the class information answers, class by class, as one line per description in the
// order a host walks them: every method description (GetFuncDesc 0..n), every property accessor
// (GetVarDesc 0..n) and the names GetNames gives each member id. The documented member tables
// give the names, ids, parameters and most types; the types and access they leave open are the
// ones this engine has always answered, pinned here so that no change of how the descriptions
// are made moves a byte a host reads.
//   F <id> <name>(<param> <type>, ...) -> <result>[ <class>]   a method description
//   V <id> <name> <get|put> <type>                             a property accessor
//   N <id> <name>                                              a name without a description
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/core/class_info.h"

namespace {

using namespace kp;
using namespace plat;

std::string TypeName(uint16_t type) {
    static const std::map<uint16_t, std::string> names = {
        {VT_I2, "I2"},           {VT_I4, "I4"},
        {VT_BSTR, "BSTR"},       {VT_DISPATCH, "DISPATCH"},
        {VT_BOOL, "BOOL"},       {VT_VARIANT, "VARIANT"},
        {VT_DECIMAL, "DECIMAL"}, {VT_UI2, "UI2"},
        {VT_UI4, "UI4"},         {VT_VOID, "VOID"},
        {VT_PTR, "PTR"},         {VT_CLSID, "CLSID"},
        {VT_USERDEFINED, "OBJ"}};
    auto it = names.find(type);
    return it != names.end() ? it->second : "type" + std::to_string(type);
}

std::string ClassName(uint32_t code) {
    static const std::map<uint32_t, std::string> names = {
        {typecode::kPrinterJob, "printer-job"},
        {typecode::kPreview, "preview"},
        {typecode::kFileObject, "file-object"},
        {typecode::kReport, "report"},
        {typecode::kLayer, "layer"},
        {typecode::kDrawingObject, "drawing-object"}};
    auto it = names.find(code);
    return it != names.end() ? it->second : "class" + std::to_string(code);
}

// The member's name and its parameter names, or nothing for an id the class does not name.
std::vector<std::string> Names(ClassInfo* info, int32_t id) {
    Bstr names[10] = {};
    uint32_t count = 0;
    std::vector<std::string> out;
    if (info->GetNames(id, names, 10, &count) != 0) return out;
    for (uint32_t i = 0; i < count; ++i) {
        std::string ascii;
        for (char16_t c : BstrView(names[i])) ascii += static_cast<char>(c);
        out.push_back(ascii);
        BstrFree(names[i]);
    }
    return out;
}

// What a host reads of one class, as the lines described above.
std::vector<std::string> Describe(ClassInfo* info) {
    std::vector<std::string> lines;
    TypeAttr* attr = nullptr;
    EXPECT_EQ(info->GetTypeAttr(&attr), 0);
    const uint16_t funcs = attr->funcCount;
    const uint16_t vars = attr->varCount;
    info->ReleaseTypeAttr(attr);

    std::vector<int32_t> described;
    for (uint32_t i = 0; i < funcs; ++i) {
        FuncDesc* d = nullptr;
        EXPECT_EQ(info->GetFuncDesc(i, &d), 0);
        const std::vector<std::string> names = Names(info, d->memberId);
        std::string line =
            "F " + std::to_string(d->memberId) + " " + (names.empty() ? "?" : names[0]) + "(";
        for (uint16_t p = 0; p < d->paramCount; ++p) {
            if (p > 0) line += ", ";
            line +=
                (p + 1u < names.size() ? names[p + 1] : "?") + " " + TypeName(d->params[p].type);
        }
        line += ") -> " + TypeName(d->resultType);
        if (d->resultType == VT_USERDEFINED) line += " " + ClassName(d->refTypeCode);
        lines.push_back(line);
        described.push_back(d->memberId);
        info->ReleaseFuncDesc(d);
    }
    for (uint32_t i = 0; i < vars; ++i) {
        VarDesc* d = nullptr;
        EXPECT_EQ(info->GetVarDesc(i, &d), 0);
        const std::vector<std::string> names = Names(info, d->memberId);
        lines.push_back("V " + std::to_string(d->memberId) + " " +
                        (names.empty() ? "?" : names[0]) +
                        (d->access == kAccessPut ? " put " : " get ") + TypeName(d->varType));
        described.push_back(d->memberId);
        info->ReleaseVarDesc(d);
    }
    // Names of ids without a description (the numbering stays below 600).
    for (int32_t id = 0; id < 600; ++id) {
        if (std::find(described.begin(), described.end(), id) != described.end()) continue;
        const std::vector<std::string> names = Names(info, id);
        if (!names.empty()) lines.push_back("N " + std::to_string(id) + " " + names[0]);
    }
    return lines;
}

struct ClassAnswers {
    const char* what;
    uint32_t code;
    std::vector<std::string> lines;
};

const std::vector<ClassAnswers>& Expected() {
    static const std::vector<ClassAnswers> classes = {
        {.what = "type library", .code = typecode::kTypeLibrary, .lines = {}},
        {.what = "application",
         .code = typecode::kApplication,
         .lines =
             {
                 "F 500 CreatePreview() -> OBJ preview",
                 "F 501 CreatePrinter(Source VARIANT) -> OBJ printer-job",
                 "F 502 CreateFile(FileName VARIANT) -> OBJ file-object",
                 "F 503 CreateReport(FileName VARIANT) -> OBJ report",
                 "F 504 PrinterDeviceName(Number I2) -> BSTR",
                 "F 505 PrinterName(Number I2) -> BSTR",
                 "F 506 PrinterPortName(Number I2) -> BSTR",
                 "V 1 CurrentPath put BSTR",
                 "V 1 CurrentPath get BSTR",
                 "V 2 TempPath put BSTR",
                 "V 2 TempPath get BSTR",
                 "V 3 PrinterDevices get UI4",
                 "V 4 DefaultUserID put BSTR",
                 "V 4 DefaultUserID get BSTR",
                 "V 5 DefaultUserPassword put BSTR",
                 "V 5 DefaultUserPassword get BSTR",
             }},
        {.what = "application events",
         .code = typecode::kApplicationEvents,
         .lines =
             {
                 "F 1 PreviewOnPrint(Preview DISPATCH, PrintMode I2, StartPage UI4, EndPage UI4) "
                 "-> VOID",
                 "F 2 PreviewOnNextPage(Preview DISPATCH) -> VOID",
                 "F 3 PreviewOnPrevPage() -> VOID",
                 "F 4 PreviewOnTopPage() -> VOID",
                 "F 5 PreviewOnLastPage() -> VOID",
                 "F 6 PreviewOnCancel() -> VOID",
                 "F 7 PrintCancel(Printer DISPATCH) -> VOID",
                 "F 8 PrintEnd(Printer DISPATCH) -> VOID",
                 "F 9 RptObjAtive() -> VOID",
                 "F 10 RptObjUIAtive() -> VOID",
                 "F 11 RptObjDeative() -> VOID",
                 "F 12 RptObjUIDeative() -> VOID",
                 "F 13 RptObjClose() -> VOID",
                 "F 14 ReportClose() -> VOID",
                 "F 15 RptObjPosRectChange() -> VOID",
                 "F 16 RptObjPosRectChanging() -> VOID",
                 "F 17 RptObjSetMenu() -> VOID",
                 "F 18 RptObjRemoveMenu() -> VOID",
             }},
        {.what = "printer job",
         .code = typecode::kPrinterJob,
         .lines =
             {
                 "F 501 OpenPrinter() -> VOID",
                 "F 502 ClosePrinter(JobCancel BOOL) -> VOID",
                 "F 503 Close() -> VOID",
                 "F 504 GetPaper(SEQNumber UI2) -> UI2",
                 "F 505 GetSource(SEQNumber UI2) -> UI2",
                 "F 506 GetJobStatus(JobNumber UI4) -> UI2",
                 "F 507 SetJobStatus(JobNumber UI4, Status UI2) -> UI2",
                 "F 508 Print(ReportObject DISPATCH) -> VOID",
                 "F 509 ShowPrtSelectDlg(ParentWnd UI4) -> BOOL",
                 "F 510 UpdateInfo() -> VOID",
                 "F 511 FilePrint(FileObject DISPATCH) -> VOID",
                 "F 512 PreviewPrint(PreviewObject DISPATCH, StartPage UI4, EndPage UI4) -> VOID",
                 "V 1 SupportPapers get UI2",
                 "V 2 SupportSources get UI2",
                 "V 3 InfoSize get UI2",
                 "V 4 PrinterName get BSTR",
                 "V 5 DeviceName get BSTR",
                 "V 6 CancelDlgCaption put BSTR",
                 "V 6 CancelDlgCaption get BSTR",
                 "V 7 CancelDlg put BOOL",
                 "V 7 CancelDlg get BOOL",
                 "V 8 CancelDlgMessage put BSTR",
                 "V 8 CancelDlgMessage get BSTR",
                 "V 9 CancelButton put BOOL",
                 "V 9 CancelButton get BOOL",
                 "V 11 Status get UI2",
                 "V 12 MinPaperWidth get UI2",
                 "V 13 MinPaperLength get UI2",
                 "V 14 MaxPaperWidth get UI2",
                 "V 15 MaxPaperLength get UI2",
                 "V 16 PaperSize put I2",
                 "V 16 PaperSize get I2",
                 "V 17 PaperWidth put I2",
                 "V 17 PaperWidth get I2",
                 "V 18 PaperLength put I2",
                 "V 18 PaperLength get I2",
                 "V 19 Source put UI2",
                 "V 19 Source get UI2",
                 "V 20 Orientation put UI2",
                 "V 20 Orientation get UI2",
                 "V 21 Copies put UI2",
                 "V 21 Copies get UI2",
                 "V 22 Quality put UI2",
                 "V 22 Quality get UI2",
                 "V 23 Color put UI2",
                 "V 23 Color get UI2",
                 "V 24 ASyncMode put BOOL",
                 "V 24 ASyncMode get BOOL",
                 "V 25 PageCount get UI4",
                 "V 26 MultiPrint put BOOL",
                 "V 26 MultiPrint get BOOL",
                 "V 27 MultiPrintLayout put UI2",
                 "V 27 MultiPrintLayout get UI2",
                 "V 28 Scale put UI2",
                 "V 28 Scale get UI2",
                 "V 29 JobName put BSTR",
                 "V 29 JobName get BSTR",
                 "V 30 JobNumber put UI4",
                 "V 30 JobNumber get UI4",
                 "V 31 MinTopMargin get UI2",
                 "V 32 MinLeftMargin get UI2",
                 "V 33 MinBottomMargin get UI2",
                 "V 34 MinRightMargin get UI2",
                 "V 35 hDC get UI4",
             }},
        {.what = "preview",
         .code = typecode::kPreview,
         .lines =
             {
                 "F 501 OpenPreview(Style UI4) -> VOID",
                 "F 502 ClosePreview() -> VOID",
                 "F 503 Close() -> VOID",
                 "F 504 Print(Report DISPATCH) -> VOID",
                 "F 505 FilePrint(FileObj DISPATCH, StartPage UI4, EndPage UI4) -> VOID",
                 "V 1 WindowTop put I4",
                 "V 1 WindowTop get I4",
                 "V 2 WindowLeft put I4",
                 "V 2 WindowLeft get I4",
                 "V 3 WindowRight put I4",
                 "V 3 WindowRight get I4",
                 "V 4 WindowBottom put I4",
                 "V 4 WindowBottom get I4",
                 "V 5 WindowMax put BOOL",
                 "V 5 WindowMax get BOOL",
                 "V 6 WindowMin put BOOL",
                 "V 6 WindowMin get BOOL",
                 "V 7 ParentWindow put UI4",
                 "V 7 ParentWindow get UI4",
                 "V 8 Status get UI2",
                 "V 9 PageCount get UI4",
                 "V 10 Page put UI4",
                 "V 10 Page get UI4",
                 "V 11 Tools put UI4",
                 "V 11 Tools get UI4",
                 "V 12 Zoom put UI2",
                 "V 12 Zoom get UI2",
                 "V 13 Title put BSTR",
                 "V 13 Title get BSTR",
                 "V 15 CancelButton put BOOL",
                 "V 15 CancelButton get BOOL",
                 "V 16 CancelMessage put BSTR",
                 "V 16 CancelMessage get BSTR",
                 "V 17 CancelDlg put BOOL",
                 "V 17 CancelDlg get BOOL",
                 "V 18 CancelDlgTitle put BSTR",
                 "V 18 CancelDlgTitle get BSTR",
                 "V 19 hDC get UI4",
                 "V 20 ReportIndexLevel put UI4",
                 "V 20 ReportIndexLevel get UI4",
             }},
        {.what = "file object", .code = typecode::kFileObject, .lines = {"N 1 WindowTop"}},
        {.what = "report",
         .code = typecode::kReport,
         .lines =
             {
                 "F 501 Draw(hDCDraw UI4, hDCAttr UI4, Top I4, Left I4, Bottom I4, Right I4, "
                 "DrawFlags UI4) -> VOID",
                 "F 502 VirtualReport(GrpObject DISPATCH) -> OBJ report",
                 "F 503 Save(FileName BSTR, WriteMode BOOL) -> VOID",
                 "F 504 IsDirty() -> BOOL",
                 "F 505 ClearData() -> VOID",
                 "F 506 Reload() -> VOID",
                 "V 1 FileName get BSTR",
                 "V 2 Title put BSTR",
                 "V 2 Title get BSTR",
                 "V 3 Unit put UI2",
                 "V 3 Unit get UI2",
                 "V 4 OnGrid put BOOL",
                 "V 4 OnGrid get BOOL",
                 "V 5 GridView put BOOL",
                 "V 5 GridView get BOOL",
                 "V 6 GridInterval put UI4",
                 "V 6 GridInterval get UI4",
                 "V 7 GridPitch put UI4",
                 "V 7 GridPitch get UI4",
                 "V 8 CPI put UI2",
                 "V 8 CPI get UI2",
                 "V 9 CPL put UI2",
                 "V 9 CPL get UI2",
                 "V 10 PrinterName put BSTR",
                 "V 10 PrinterName get BSTR",
                 "V 11 PrinterDeviceName put BSTR",
                 "V 11 PrinterDeviceName get BSTR",
                 "V 12 PrinterSelectMode put UI2",
                 "V 12 PrinterSelectMode get UI2",
                 "V 13 PaperSize put I2",
                 "V 13 PaperSize get I2",
                 "V 14 PaperLength put I4",
                 "V 14 PaperLength get I4",
                 "V 15 PaperWidth put I4",
                 "V 15 PaperWidth get I4",
                 "V 16 PaperOrientation put I2",
                 "V 16 PaperOrientation get I2",
                 "V 17 PrintPaperSize get I2",
                 "V 18 PrintPaperLength get I4",
                 "V 19 PrintPaperWidth get I4",
                 "V 20 PrinterInfoSize get UI2",
                 "V 21 PrinterInfo put PTR",
                 "V 21 PrinterInfo get PTR",
                 "V 22 Source put UI2",
                 "V 22 Source get UI2",
                 "V 23 Color put UI2",
                 "V 23 Color get UI2",
                 "V 24 Copies put UI2",
                 "V 24 Copies get UI2",
                 "V 25 Quality put UI2",
                 "V 25 Quality get UI2",
                 "V 26 Memo put BSTR",
                 "V 26 Memo get BSTR",
                 "V 27 Layers get DISPATCH",
                 "V 28 BackImage put BSTR",
                 "V 28 BackImage get BSTR",
                 "V 29 hWnd put UI4",
                 "V 29 hWnd get UI4",
             }},
        {.what = "layer collection",
         .code = typecode::kLayerCollection,
         .lines =
             {
                 "F 501 Layer(Number UI2) -> OBJ layer",
                 "F 502 ClearData() -> VOID",
                 "V 1 Count get UI2",
             }},
        {.what = "layer",
         .code = typecode::kLayer,
         .lines =
             {
                 "V 1 Objects get DISPATCH",
                 "V 2 ZOder put UI2",
                 "V 2 ZOder get UI2",
                 "V 3 Visible put BOOL",
                 "V 3 Visible get BOOL",
             }},
        {.what = "object collection",
         .code = typecode::kObjectCollection,
         .lines =
             {
                 "F 501 Object(Item BSTR) -> OBJ drawing-object",
                 "F 502 CreateObject(ObjType CLSID, Top I4, Left I4, Bottom I4, Right I4) -> OBJ "
                 "drawing-object",
                 "F 503 CopyObject() -> OBJ drawing-object",
                 "F 504 MoveObject(Object DISPATCH) -> OBJ drawing-object",
                 "V 1 Count get UI2",
             }},
        {.what = "drawing object",
         .code = typecode::kDrawingObject,
         .lines =
             {
                 "F 501 Close() -> VOID",
                 "V 1 DrawObject get DISPATCH",
                 "V 2 Name put BSTR",
                 "V 2 Name get BSTR",
                 "V 3 Visible put BOOL",
                 "V 3 Visible get BOOL",
                 "V 4 Top put DECIMAL",
                 "V 4 Top get DECIMAL",
                 "V 5 Left put DECIMAL",
                 "V 5 Left get DECIMAL",
                 "V 6 Botoom put DECIMAL",
                 "V 6 Botoom get DECIMAL",
                 "V 7 Right put DECIMAL",
                 "V 7 Right get DECIMAL",
             }},
    };
    return classes;
}

TEST(ClassInfoAnswers, EveryDescriptionAndNameOfEveryClass) {
    ClassInfoSet set;
    ASSERT_EQ(Expected().size(), 11u) << "every type code";
    for (const ClassAnswers& c : Expected()) {
        SCOPED_TRACE(c.what);
        ClassInfo* info = nullptr;
        ASSERT_EQ(set.GetInterfaceByType(c.code, &info), 0);
        const std::vector<std::string> got = Describe(info);
        EXPECT_EQ(got.size(), c.lines.size());
        for (size_t i = 0; i < std::max(got.size(), c.lines.size()); ++i) {
            EXPECT_EQ(i < got.size() ? got[i] : "(none)",
                      i < c.lines.size() ? c.lines[i] : "(none)")
                << "line " << i;
        }
    }
}

// The parameter arrays a host frees with ReleaseFuncDesc: a method returning an engine object
// has one slot even without parameters, and every slot but the type is zero.
TEST(ClassInfoAnswers, ParameterArraysOfObjectResults) {
    ClassInfoSet set;
    ClassInfo* objects = nullptr;
    ASSERT_EQ(set.GetInterfaceByType(typecode::kObjectCollection, &objects), 0);
    FuncDesc* copy = nullptr;
    ASSERT_EQ(objects->GetFuncDesc(2, &copy), 0);  // CopyObject: no parameter, an object
    EXPECT_EQ(copy->paramCount, 0);
    ASSERT_NE(copy->params, nullptr);
    EXPECT_EQ(copy->params[0].type, 0);
    EXPECT_EQ(copy->params[0].reserved0, 0);
    EXPECT_EQ(copy->params[0].reserved1, 0u);
    objects->ReleaseFuncDesc(copy);

    ClassInfo* job = nullptr;
    ASSERT_EQ(set.GetInterfaceByType(typecode::kPrinterJob, &job), 0);
    FuncDesc* open = nullptr;
    ASSERT_EQ(job->GetFuncDesc(0, &open), 0);  // OpenPrinter: nothing to return, no parameter
    EXPECT_EQ(open->params, nullptr);
    EXPECT_EQ(open->refTypeCode, 0u);
    job->ReleaseFuncDesc(open);
}

}  // namespace
