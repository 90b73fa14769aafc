#include "engine/core/class_info.h"

#include <initializer_list>
#include <new>

#include "engine/core/member_table.h"

namespace kp {

using namespace plat;

// ---------------------------------------------------------------------------------------------
// The classes as they describe themselves. The class information numbers members on its own
// (properties from 1, methods from 500 or 501, events from 1); each row ties that id and the
// name hosts read to the class's Invoke member in the public member table, and takes the
// member's type and access from there. Only where the class information declares another type
// or access than Invoke uses (the printer job's bracketed types, JobNumber's put) does a row say
// so. Rows without a member describe what Invoke does not serve; their types and access were
// settled here so that the counts of descriptions are the classes' counts. Methods declare
// their parameters as the class information lists them, which is not always as Invoke takes
// them; a method without a value declares VT_VOID, one returning an engine object VT_USERDEFINED
// with the returned class.

struct ParamDescription {
    const char16_t* name;
    VarType type;
};

struct MethodDescription {
    int32_t id;
    const char16_t* name;
    VarType resultType;
    uint32_t refType;  // for VT_USERDEFINED results
    uint8_t paramCount;
    ParamDescription params[8];
};

struct PropertyDescription {
    int32_t id;
    const char16_t* name;
    VarType type;
    bool writable;
};

struct NameDescription {
    int32_t id;
    const char16_t* name;
};

struct ClassData {
    uint32_t typeCode;
    InterfaceId iid;
    uint32_t kind;
    std::span<const MethodDescription> methods;
    std::span<const PropertyDescription> properties;
    std::span<const NameDescription> extraNames;  // names without descriptions
    std::span<const uint32_t> related;
    int32_t unrelatedCode;  // answer of GetRefTypeInfo for a class not related
};

namespace {

constexpr VarType kObj = VT_USERDEFINED;
constexpr VarType kAsMember = VT_EMPTY;

// The description of the property row of an Invoke member.
template <size_t N>
consteval PropertyDescription PropertyOf(const members::ArgsRow (&rows)[N], int32_t member, int32_t id,
                                  const char16_t* name, VarType declared = kAsMember,
                                  int access = 0) {
    const members::ArgsRow row = members::Row(rows, member);
    if (row.access == KPM_METHOD) throw "a property row describes a property";
    const int a = access != 0 ? access : row.access;
    return {id, name, declared != kAsMember ? declared : row.type, (a & KPM_PUT) != 0};
}

// The description of the method row of an Invoke member; refType names the class of an engine
// object it returns.
template <size_t N>
consteval MethodDescription MethodOf(const members::ArgsRow (&rows)[N], int32_t member, int32_t id,
                              const char16_t* name, std::initializer_list<ParamDescription> params,
                              uint32_t refType = 0, VarType declared = kAsMember) {
    const members::ArgsRow row = members::Row(rows, member);
    if (row.access != KPM_METHOD) throw "a method row describes a method";
    VarType result = declared;
    if (result == kAsMember) {
        result = row.type == VT_DISPATCH                       ? kObj
                 : row.type == VT_EMPTY || row.type == VT_NULL ? VT_VOID
                                                               : row.type;
    }
    if ((result == kObj) != (refType != 0)) throw "an object result names its class";
    if (params.size() > 8) throw "at most eight parameters";
    MethodDescription described{id, name, result, refType, static_cast<uint8_t>(params.size()), {}};
    size_t i = 0;
    for (const ParamDescription& p : params) described.params[i++] = p;
    return described;
}

// A method the class information lists without an Invoke member behind it.
consteval MethodDescription OwnMethod(int32_t id, const char16_t* name, VarType result,
                               std::initializer_list<ParamDescription> params, uint32_t refType = 0) {
    if ((result == kObj) != (refType != 0)) throw "an object result names its class";
    MethodDescription described{id, name, result, refType, static_cast<uint8_t>(params.size()), {}};
    size_t i = 0;
    for (const ParamDescription& p : params) described.params[i++] = p;
    return described;
}

#define KP_PROPERTY_OF(CLASS, MEMBER, ...) \
    PropertyOf(members::CLASS, KPM_##CLASS##_##MEMBER, __VA_ARGS__)
#define KP_METHOD_OF(CLASS, MEMBER, ...) \
    MethodOf(members::CLASS, KPM_##CLASS##_##MEMBER, __VA_ARGS__)

// Application ------------------------------------------------------------------------------
constexpr MethodDescription kApplicationMethods[] = {
    KP_METHOD_OF(APPLICATION, CREATE_PREVIEW, 500, u"CreatePreview", {}, typecode::kPreview),
    KP_METHOD_OF(APPLICATION, CREATE_PRINTER, 501, u"CreatePrinter", {{u"Source", VT_VARIANT}},
                 typecode::kPrinterJob),
    KP_METHOD_OF(APPLICATION, CREATE_FILE, 502, u"CreateFile", {{u"FileName", VT_VARIANT}},
                 typecode::kFileObject),
    KP_METHOD_OF(APPLICATION, CREATE_REPORT, 503, u"CreateReport", {{u"FileName", VT_VARIANT}},
                 typecode::kReport),
    KP_METHOD_OF(APPLICATION, PRINTER_DEVICE_NAME, 504, u"PrinterDeviceName", {{u"Number", VT_I2}}),
    KP_METHOD_OF(APPLICATION, PRINTER_NAME, 505, u"PrinterName", {{u"Number", VT_I2}}),
    KP_METHOD_OF(APPLICATION, PRINTER_PORT_NAME, 506, u"PrinterPortName", {{u"Number", VT_I2}}),
};
constexpr PropertyDescription kApplicationProperties[] = {
    KP_PROPERTY_OF(APPLICATION, CURRENT_PATH, 1, u"CurrentPath"),
    KP_PROPERTY_OF(APPLICATION, TEMP_PATH, 2, u"TempPath"),
    KP_PROPERTY_OF(APPLICATION, PRINTER_DEVICES, 3, u"PrinterDevices"),
    KP_PROPERTY_OF(APPLICATION, DEFAULT_USER_ID, 4, u"DefaultUserID"),
    KP_PROPERTY_OF(APPLICATION, DEFAULT_USER_PASSWORD, 5, u"DefaultUserPassword"),
};
constexpr uint32_t kApplicationRelated[] = {typecode::kPrinterJob, typecode::kPreview,
                                            typecode::kFileObject, typecode::kReport};

// Application events ------------------------------------------------------------------------
// Parameters as the event interface lists them; PrintMode's type was settled here (VT_I2).
constexpr MethodDescription kEventMethods[] = {
    OwnMethod(1, u"PreviewOnPrint", VT_VOID,
              {{u"Preview", VT_DISPATCH},
               {u"PrintMode", VT_I2},
               {u"StartPage", VT_UI4},
               {u"EndPage", VT_UI4}}),
    OwnMethod(2, u"PreviewOnNextPage", VT_VOID, {{u"Preview", VT_DISPATCH}}),
    OwnMethod(3, u"PreviewOnPrevPage", VT_VOID, {}),
    OwnMethod(4, u"PreviewOnTopPage", VT_VOID, {}),
    OwnMethod(5, u"PreviewOnLastPage", VT_VOID, {}),
    OwnMethod(6, u"PreviewOnCancel", VT_VOID, {}),
    OwnMethod(7, u"PrintCancel", VT_VOID, {{u"Printer", VT_DISPATCH}}),
    OwnMethod(8, u"PrintEnd", VT_VOID, {{u"Printer", VT_DISPATCH}}),
    OwnMethod(9, u"RptObjAtive", VT_VOID, {}),
    OwnMethod(10, u"RptObjUIAtive", VT_VOID, {}),
    OwnMethod(11, u"RptObjDeative", VT_VOID, {}),
    OwnMethod(12, u"RptObjUIDeative", VT_VOID, {}),
    OwnMethod(13, u"RptObjClose", VT_VOID, {}),
    OwnMethod(14, u"ReportClose", VT_VOID, {}),
    OwnMethod(15, u"RptObjPosRectChange", VT_VOID, {}),
    OwnMethod(16, u"RptObjPosRectChanging", VT_VOID, {}),
    OwnMethod(17, u"RptObjSetMenu", VT_VOID, {}),
    OwnMethod(18, u"RptObjRemoveMenu", VT_VOID, {}),
};
constexpr uint32_t kEventRelated[] = {typecode::kPrinterJob, typecode::kPreview, typecode::kReport,
                                      typecode::kDrawingObject};

// Printer job -------------------------------------------------------------------------------
constexpr MethodDescription kPrinterJobMethods[] = {
    KP_METHOD_OF(PRINTER_JOB, OPEN_PRINTER, 501, u"OpenPrinter", {}),
    KP_METHOD_OF(PRINTER_JOB, CLOSE_PRINTER, 502, u"ClosePrinter", {{u"JobCancel", VT_BOOL}}),
    KP_METHOD_OF(PRINTER_JOB, CLOSE, 503, u"Close", {}),
    KP_METHOD_OF(PRINTER_JOB, GET_PAPER, 504, u"GetPaper", {{u"SEQNumber", VT_UI2}}),
    KP_METHOD_OF(PRINTER_JOB, GET_SOURCE, 505, u"GetSource", {{u"SEQNumber", VT_UI2}}),
    KP_METHOD_OF(PRINTER_JOB, GET_JOB_STATUS, 506, u"GetJobStatus", {{u"JobNumber", VT_UI4}}, 0,
                 VT_UI2),
    KP_METHOD_OF(PRINTER_JOB, SET_JOB_STATUS, 507, u"SetJobStatus",
                 {{u"JobNumber", VT_UI4}, {u"Status", VT_UI2}}, 0, VT_UI2),
    KP_METHOD_OF(PRINTER_JOB, PRINT, 508, u"Print", {{u"ReportObject", VT_DISPATCH}}),
    KP_METHOD_OF(PRINTER_JOB, SHOW_PRT_SELECT_DLG, 509, u"ShowPrtSelectDlg",
                 {{u"ParentWnd", VT_UI4}}),
    KP_METHOD_OF(PRINTER_JOB, UPDATE_INFO, 510, u"UpdateInfo", {}),
    KP_METHOD_OF(PRINTER_JOB, FILE_PRINT, 511, u"FilePrint", {{u"FileObject", VT_DISPATCH}}),
    KP_METHOD_OF(PRINTER_JOB, PREVIEW_PRINT, 512, u"PreviewPrint",
                 {{u"PreviewObject", VT_DISPATCH}, {u"StartPage", VT_UI4}, {u"EndPage", VT_UI4}}),
};
constexpr PropertyDescription kPrinterJobProperties[] = {
    KP_PROPERTY_OF(PRINTER_JOB, SUPPORT_PAPERS, 1, u"SupportPapers", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, SUPPORT_SOURCES, 2, u"SupportSources", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, INFO_SIZE, 3, u"InfoSize"),
    KP_PROPERTY_OF(PRINTER_JOB, PRINTER_NAME, 4, u"PrinterName"),
    KP_PROPERTY_OF(PRINTER_JOB, DEVICE_NAME, 5, u"DeviceName"),
    KP_PROPERTY_OF(PRINTER_JOB, CANCEL_DLG_CAPTION, 6, u"CancelDlgCaption"),
    KP_PROPERTY_OF(PRINTER_JOB, CANCEL_DLG, 7, u"CancelDlg"),
    KP_PROPERTY_OF(PRINTER_JOB, CANCEL_DLG_MESSAGE, 8, u"CancelDlgMessage"),
    KP_PROPERTY_OF(PRINTER_JOB, CANCEL_BUTTON, 9, u"CancelButton"),
    KP_PROPERTY_OF(PRINTER_JOB, STATUS, 11, u"Status"),
    KP_PROPERTY_OF(PRINTER_JOB, MIN_PAPER_WIDTH, 12, u"MinPaperWidth", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, MIN_PAPER_LENGTH, 13, u"MinPaperLength", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, MAX_PAPER_WIDTH, 14, u"MaxPaperWidth", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, MAX_PAPER_LENGTH, 15, u"MaxPaperLength", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, PAPER_SIZE, 16, u"PaperSize"),
    KP_PROPERTY_OF(PRINTER_JOB, PAPER_WIDTH, 17, u"PaperWidth"),
    KP_PROPERTY_OF(PRINTER_JOB, PAPER_LENGTH, 18, u"PaperLength"),
    KP_PROPERTY_OF(PRINTER_JOB, SOURCE, 19, u"Source", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, ORIENTATION, 20, u"Orientation"),
    KP_PROPERTY_OF(PRINTER_JOB, COPIES, 21, u"Copies"),
    KP_PROPERTY_OF(PRINTER_JOB, QUALITY, 22, u"Quality", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, COLOR, 23, u"Color"),
    KP_PROPERTY_OF(PRINTER_JOB, ASYNC_MODE, 24, u"ASyncMode"),
    KP_PROPERTY_OF(PRINTER_JOB, PAGE_COUNT, 25, u"PageCount"),
    KP_PROPERTY_OF(PRINTER_JOB, MULTI_PRINT, 26, u"MultiPrint"),
    KP_PROPERTY_OF(PRINTER_JOB, MULTI_PRINT_LAYOUT, 27, u"MultiPrintLayout"),
    KP_PROPERTY_OF(PRINTER_JOB, SCALE, 28, u"Scale"),
    KP_PROPERTY_OF(PRINTER_JOB, JOB_NAME, 29, u"JobName"),
    // Described as writable, although the job's Invoke only reads it.
    KP_PROPERTY_OF(PRINTER_JOB, JOB_NUMBER, 30, u"JobNumber", kAsMember, KPM_GETPUT),
    KP_PROPERTY_OF(PRINTER_JOB, MIN_TOP_MARGIN, 31, u"MinTopMargin", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, MIN_LEFT_MARGIN, 32, u"MinLeftMargin", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, MIN_BOTTOM_MARGIN, 33, u"MinBottomMargin", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, MIN_RIGHT_MARGIN, 34, u"MinRightMargin", VT_UI2),
    KP_PROPERTY_OF(PRINTER_JOB, HDC, 35, u"hDC"),
};
constexpr uint32_t kPrinterJobRelated[] = {typecode::kPreview, typecode::kFileObject,
                                           typecode::kReport};

// Preview -----------------------------------------------------------------------------------
constexpr MethodDescription kPreviewMethods[] = {
    KP_METHOD_OF(PREVIEW, OPEN_PREVIEW, 501, u"OpenPreview", {{u"Style", VT_UI4}}),
    KP_METHOD_OF(PREVIEW, CLOSE_PREVIEW, 502, u"ClosePreview", {}),
    KP_METHOD_OF(PREVIEW, CLOSE, 503, u"Close", {}),
    KP_METHOD_OF(PREVIEW, PRINT, 504, u"Print", {{u"Report", VT_DISPATCH}}),
    OwnMethod(505, u"FilePrint", VT_VOID,
              {{u"FileObj", VT_DISPATCH}, {u"StartPage", VT_UI4}, {u"EndPage", VT_UI4}}),
};
constexpr PropertyDescription kPreviewProperties[] = {
    KP_PROPERTY_OF(PREVIEW, WINDOW_TOP, 1, u"WindowTop"),
    KP_PROPERTY_OF(PREVIEW, WINDOW_LEFT, 2, u"WindowLeft"),
    KP_PROPERTY_OF(PREVIEW, WINDOW_RIGHT, 3, u"WindowRight"),
    KP_PROPERTY_OF(PREVIEW, WINDOW_BOTTOM, 4, u"WindowBottom"),
    KP_PROPERTY_OF(PREVIEW, WINDOW_MAX, 5, u"WindowMax"),
    KP_PROPERTY_OF(PREVIEW, WINDOW_MIN, 6, u"WindowMin"),
    KP_PROPERTY_OF(PREVIEW, PARENT_WINDOW, 7, u"ParentWindow"),
    KP_PROPERTY_OF(PREVIEW, STATUS, 8, u"Status"),
    KP_PROPERTY_OF(PREVIEW, PAGE_COUNT, 9, u"PageCount"),
    KP_PROPERTY_OF(PREVIEW, PAGE, 10, u"Page"),
    KP_PROPERTY_OF(PREVIEW, TOOLS, 11, u"Tools"),
    KP_PROPERTY_OF(PREVIEW, ZOOM, 12, u"Zoom"),
    KP_PROPERTY_OF(PREVIEW, TITLE, 13, u"Title"),
    KP_PROPERTY_OF(PREVIEW, CANCEL_BUTTON, 15, u"CancelButton"),
    KP_PROPERTY_OF(PREVIEW, CANCEL_MESSAGE, 16, u"CancelMessage"),
    {17, u"CancelDlg", VT_BOOL, true},  // settled here: a BOOL like the printer job's CancelDlg
    KP_PROPERTY_OF(PREVIEW, CANCEL_DLG_TITLE, 18, u"CancelDlgTitle"),
    {19, u"hDC", VT_UI4, false},  // settled here: a handle, read only
    KP_PROPERTY_OF(PREVIEW, REPORT_INDEX_LEVEL, 20, u"ReportIndexLevel"),
};
constexpr uint32_t kPreviewRelated[] = {typecode::kFileObject, typecode::kReport};

// File object: one name, no descriptions ----------------------------------------------------
constexpr NameDescription kFileObjectNames[] = {{1, u"WindowTop"}};
constexpr uint32_t kFileObjectRelated[] = {typecode::kPrinterJob, typecode::kReport};

// Report ------------------------------------------------------------------------------------
constexpr MethodDescription kReportMethods[] = {
    KP_METHOD_OF(REPORT, DRAW, 501, u"Draw",
                 {{u"hDCDraw", VT_UI4},
                  {u"hDCAttr", VT_UI4},
                  {u"Top", VT_I4},
                  {u"Left", VT_I4},
                  {u"Bottom", VT_I4},
                  {u"Right", VT_I4},
                  {u"DrawFlags", VT_UI4}}),
    OwnMethod(502, u"VirtualReport", kObj, {{u"GrpObject", VT_DISPATCH}}, typecode::kReport),
    KP_METHOD_OF(REPORT, SAVE, 503, u"Save", {{u"FileName", VT_BSTR}, {u"WriteMode", VT_BOOL}}),
    KP_METHOD_OF(REPORT, IS_DIRTY, 504, u"IsDirty", {}),
    KP_METHOD_OF(REPORT, CLEAR_DATA, 505, u"ClearData", {}),
    OwnMethod(506, u"Reload", VT_VOID, {}),
};
// Rows 11, 17-25 and 28 have no report member of their own; their types follow the printer
// job's members of the same meaning and the access was settled so that 23 are writable.
constexpr PropertyDescription kReportProperties[] = {
    KP_PROPERTY_OF(REPORT, FILE_NAME, 1, u"FileName"),
    KP_PROPERTY_OF(REPORT, TITLE, 2, u"Title"),
    KP_PROPERTY_OF(REPORT, UNIT, 3, u"Unit"),
    KP_PROPERTY_OF(REPORT, ON_GRID, 4, u"OnGrid"),
    KP_PROPERTY_OF(REPORT, GRID_VIEW, 5, u"GridView"),
    KP_PROPERTY_OF(REPORT, GRID_INTERVAL, 6, u"GridInterval"),
    KP_PROPERTY_OF(REPORT, GRID_PITCH, 7, u"GridPitch"),
    KP_PROPERTY_OF(REPORT, CPI, 8, u"CPI"),
    KP_PROPERTY_OF(REPORT, CPL, 9, u"CPL"),
    KP_PROPERTY_OF(REPORT, PRINTER_NAME, 10, u"PrinterName"),
    {11, u"PrinterDeviceName", VT_BSTR, true},
    KP_PROPERTY_OF(REPORT, PRINTER_SELECT_MODE, 12, u"PrinterSelectMode"),
    KP_PROPERTY_OF(REPORT, PAPER_SIZE, 13, u"PaperSize"),
    KP_PROPERTY_OF(REPORT, PAPER_LENGTH, 14, u"PaperLength"),
    KP_PROPERTY_OF(REPORT, PAPER_WIDTH, 15, u"PaperWidth"),
    KP_PROPERTY_OF(REPORT, PAPER_ORIENTATION, 16, u"PaperOrientation"),
    {17, u"PrintPaperSize", VT_I2, false},
    {18, u"PrintPaperLength", VT_I4, false},
    {19, u"PrintPaperWidth", VT_I4, false},
    {20, u"PrinterInfoSize", VT_UI2, false},
    {21, u"PrinterInfo", VT_PTR, true},
    {22, u"Source", VT_UI2, true},
    {23, u"Color", VT_UI2, true},
    {24, u"Copies", VT_UI2, true},
    {25, u"Quality", VT_UI2, true},
    KP_PROPERTY_OF(REPORT, MEMO, 26, u"Memo"),
    KP_PROPERTY_OF(REPORT, LAYERS, 27, u"Layers"),
    {28, u"BackImage", VT_BSTR, true},
    KP_PROPERTY_OF(REPORT, HWND, 29, u"hWnd"),
};
constexpr uint32_t kReportRelated[] = {typecode::kReport, typecode::kLayerCollection,
                                       typecode::kDrawingObject};

// Layer collection, layer, object collection, drawing object --------------------------------
constexpr MethodDescription kLayerCollectionMethods[] = {
    KP_METHOD_OF(LAYER_COLLECTION, LAYER, 501, u"Layer", {{u"Number", VT_UI2}}, typecode::kLayer),
    OwnMethod(502, u"ClearData", VT_VOID, {}),  // named, but the collection does not serve it
};
constexpr PropertyDescription kLayerCollectionProperties[] = {
    KP_PROPERTY_OF(LAYER_COLLECTION, COUNT, 1, u"Count"),
};
constexpr uint32_t kLayerCollectionRelated[] = {typecode::kLayer};

constexpr PropertyDescription kLayerProperties[] = {
    KP_PROPERTY_OF(LAYER, OBJECTS, 1, u"Objects"),
    KP_PROPERTY_OF(LAYER, Z_ODER, 2, u"ZOder"),
    KP_PROPERTY_OF(LAYER, VISIBLE, 3, u"Visible"),
};
constexpr uint32_t kLayerRelated[] = {typecode::kObjectCollection};

constexpr MethodDescription kObjectCollectionMethods[] = {
    KP_METHOD_OF(OBJECT_COLLECTION, OBJECT, 501, u"Object", {{u"Item", VT_BSTR}},
                 typecode::kDrawingObject),
    KP_METHOD_OF(OBJECT_COLLECTION, CREATE_OBJECT, 502, u"CreateObject",
                 {{u"ObjType", VT_CLSID},
                  {u"Top", VT_I4},
                  {u"Left", VT_I4},
                  {u"Bottom", VT_I4},
                  {u"Right", VT_I4}},
                 typecode::kDrawingObject),
    KP_METHOD_OF(OBJECT_COLLECTION, COPY_OBJECT, 503, u"CopyObject", {}, typecode::kDrawingObject),
    KP_METHOD_OF(OBJECT_COLLECTION, MOVE_OBJECT, 504, u"MoveObject", {{u"Object", VT_DISPATCH}},
                 typecode::kDrawingObject),
};
// Invoke serves the count as a method that takes the layer; described, it is a read-only UI2.
constexpr PropertyDescription kObjectCollectionProperties[] = {{1, u"Count", VT_UI2, false}};
constexpr uint32_t kObjectCollectionRelated[] = {typecode::kDrawingObject};

constexpr MethodDescription kDrawingObjectMethods[] = {
    KP_METHOD_OF(DRAWING_OBJECT, CLOSE, 501, u"Close", {}),
};
constexpr PropertyDescription kDrawingObjectProperties[] = {
    KP_PROPERTY_OF(DRAWING_OBJECT, DRAW_OBJECT, 1, u"DrawObject"),
    KP_PROPERTY_OF(DRAWING_OBJECT, NAME, 2, u"Name"),
    KP_PROPERTY_OF(DRAWING_OBJECT, VISIBLE, 3, u"Visible"),
    KP_PROPERTY_OF(DRAWING_OBJECT, TOP, 4, u"Top"),
    KP_PROPERTY_OF(DRAWING_OBJECT, LEFT, 5, u"Left"),
    KP_PROPERTY_OF(DRAWING_OBJECT, BOTOOM, 6, u"Botoom"),
    KP_PROPERTY_OF(DRAWING_OBJECT, RIGHT, 7, u"Right"),
};

#undef KP_PROPERTY_OF
#undef KP_METHOD_OF

// Type library ------------------------------------------------------------------------------
constexpr uint32_t kTypeLibraryRelated[] = {typecode::kApplication, typecode::kApplicationEvents};

constexpr uint32_t kInterfaceKind = 3;

constexpr InterfaceId kNoId{0, 0};

const ClassData kClasses[11] = {
    {typecode::kTypeLibrary, kNoId, 0, {}, {}, {}, kTypeLibraryRelated, rc::kUnknownMember},
    {typecode::kApplication,
     iid::kApplication,
     kInterfaceKind,
     kApplicationMethods,
     kApplicationProperties,
     {},
     kApplicationRelated,
     rc::kUnknownMember},
    {typecode::kApplicationEvents,
     iid::kApplicationEvents,
     kInterfaceKind,
     kEventMethods,
     {},
     {},
     kEventRelated,
     rc::kUnknownMember},
    {typecode::kPrinterJob,
     iid::kPrinterJob,
     kInterfaceKind,
     kPrinterJobMethods,
     kPrinterJobProperties,
     {},
     kPrinterJobRelated,
     rc::kUnknownMember},
    {typecode::kPreview,
     iid::kPreview,
     kInterfaceKind,
     kPreviewMethods,
     kPreviewProperties,
     {},
     kPreviewRelated,
     rc::kUnknownMember},
    {typecode::kFileObject,
     iid::kFileObject,
     kInterfaceKind,
     {},
     {},
     kFileObjectNames,
     kFileObjectRelated,
     rc::kUnknownMember},
    {typecode::kReport,
     iid::kReport,
     kInterfaceKind,
     kReportMethods,
     kReportProperties,
     {},
     kReportRelated,
     rc::kUnknownMember},
    {typecode::kLayerCollection,
     iid::kLayerCollection,
     kInterfaceKind,
     kLayerCollectionMethods,
     kLayerCollectionProperties,
     {},
     kLayerCollectionRelated,
     rc::kUnknownMember},
    {typecode::kLayer,
     iid::kLayer,
     kInterfaceKind,
     {},
     kLayerProperties,
     {},
     kLayerRelated,
     rc::kUnknownMember},
    {typecode::kObjectCollection,
     iid::kObjectCollection,
     kInterfaceKind,
     kObjectCollectionMethods,
     kObjectCollectionProperties,
     {},
     kObjectCollectionRelated,
     rc::kUnknownMember},
    // The drawing object refers to no class: every code answers "not implemented".
    {typecode::kDrawingObject,
     iid::kDrawingObject,
     kInterfaceKind,
     kDrawingObjectMethods,
     kDrawingObjectProperties,
     {},
     {},
     rc::kNotImplemented},
};

size_t AccessorCount(const ClassData& data) {
    size_t n = 0;
    for (const auto& p : data.properties) n += p.writable ? 2 : 1;
    return n;
}

// The index-th accessor: a writable property has its put entry followed by its get entry.
bool FindAccessor(const ClassData& data, size_t index, const PropertyDescription** property,
                  uint32_t* access) {
    for (const auto& p : data.properties) {
        if (p.writable) {
            if (index == 0) {
                *property = &p;
                *access = kAccessPut;
                return true;
            }
            --index;
        }
        if (index == 0) {
            *property = &p;
            *access = kAccessGet;
            return true;
        }
        --index;
    }
    return false;
}

}  // namespace

InterfaceId TypeAttrInterfaceId(const TypeAttr& attr) {
    return {static_cast<uint32_t>(attr.iidWords[0] | (uint32_t{attr.iidWords[1]} << 16)),
            static_cast<uint32_t>(attr.iidWords[2] | (uint32_t{attr.iidWords[3]} << 16))};
}

// ---------------------------------------------------------------------------------------------
// ClassInfo

int32_t ClassInfo::QueryInterface(const InterfaceId* iid, void** out) {
    return set_ ? set_->QueryInterface(iid, out) : rc::kFailed;
}
int32_t ClassInfo::AddRef() {
    return set_ ? set_->AddRef() : 0;
}
int32_t ClassInfo::Release() {
    return set_ ? set_->Release() : 0;
}

uint32_t ClassInfo::TypeCode() const {
    return data_->typeCode;
}

int32_t ClassInfo::GetTypeAttr(TypeAttr** out) {
    if (SafeIsBadWritePtr(out, sizeof(*out))) return rc::kBadPointer;
    auto* attr = new (std::nothrow) TypeAttr{};
    *out = attr;
    if (!attr) return rc::kOutOfMemory;
    attr->size = sizeof(TypeAttr);
    attr->iidWords[0] = static_cast<uint16_t>(data_->iid.first & 0xFFFF);
    attr->iidWords[1] = static_cast<uint16_t>(data_->iid.first >> 16);
    attr->iidWords[2] = static_cast<uint16_t>(data_->iid.second & 0xFFFF);
    attr->iidWords[3] = static_cast<uint16_t>(data_->iid.second >> 16);
    attr->kind = data_->kind;
    attr->funcCount = static_cast<uint16_t>(data_->methods.size());
    attr->varCount = static_cast<uint16_t>(AccessorCount(*data_));
    attr->implTypeCount = data_->typeCode == typecode::kTypeLibrary ? 2 : 0;
    return rc::kOk;
}

int32_t ClassInfo::GetFuncDesc(uint32_t index, FuncDesc** out) {
    if (SafeIsBadWritePtr(out, sizeof(*out))) return rc::kBadPointer;
    *out = nullptr;
    if (index >= data_->methods.size()) return rc::kBadArgument;
    const MethodDescription& m = data_->methods[index];
    auto* desc = new (std::nothrow) FuncDesc{};
    if (!desc) return rc::kOutOfMemory;
    desc->memberId = m.id;
    desc->one = 1;
    desc->resultType = m.resultType;
    desc->paramCount = m.paramCount;
    desc->refTypeCode = m.resultType == VT_USERDEFINED ? m.refType : 0;
    // A method returning an engine object always gets an array, even without parameters.
    const size_t slots = m.paramCount > 0 ? m.paramCount : (m.resultType == VT_USERDEFINED ? 1 : 0);
    if (slots > 0) {
        desc->params = new (std::nothrow) ParamDesc[slots]{};
        if (!desc->params) {
            delete desc;
            return rc::kOutOfMemory;
        }
        for (size_t i = 0; i < m.paramCount; ++i) desc->params[i].type = m.params[i].type;
    }
    *out = desc;
    return rc::kOk;
}

int32_t ClassInfo::GetVarDesc(uint32_t index, VarDesc** out) {
    if (SafeIsBadWritePtr(out, sizeof(*out))) return rc::kBadPointer;
    *out = nullptr;
    const PropertyDescription* property = nullptr;
    uint32_t access = 0;
    if (!FindAccessor(*data_, index, &property, &access)) return rc::kBadArgument;
    auto* desc = new (std::nothrow) VarDesc{};
    if (!desc) return rc::kOutOfMemory;
    desc->memberId = property->id;
    desc->access = access;
    desc->one = 1;
    desc->varType = property->type;
    *out = desc;
    return rc::kOk;
}

void ClassInfo::ReleaseTypeAttr(TypeAttr* attr) {
    delete attr;
}

void ClassInfo::ReleaseFuncDesc(FuncDesc* desc) {
    if (!desc) return;
    delete[] desc->params;
    delete desc;
}

void ClassInfo::ReleaseVarDesc(VarDesc* desc) {
    delete desc;
}

int32_t ClassInfo::GetNames(int32_t memberId, Bstr* names, uint32_t maximum, uint32_t* count) {
    if (data_->typeCode == typecode::kTypeLibrary) return rc::kNotImplemented;
    if (SafeIsBadWritePtr(count, sizeof(*count)) ||
        (maximum > 0 && SafeIsBadWritePtr(names, sizeof(Bstr) * maximum))) {
        return rc::kBadPointer;
    }
    *count = 0;
    for (uint32_t i = 0; i < maximum; ++i) names[i] = nullptr;

    // The member's name and then its parameter names.
    const char16_t* list[9] = {};
    size_t listed = 0;
    for (const auto& m : data_->methods) {
        if (m.id != memberId) continue;
        list[listed++] = m.name;
        for (size_t i = 0; i < m.paramCount; ++i) list[listed++] = m.params[i].name;
        break;
    }
    if (listed == 0) {
        for (const auto& p : data_->properties) {
            if (p.id == memberId && p.name != nullptr) {
                list[listed++] = p.name;
                break;
            }
        }
    }
    if (listed == 0) {
        for (const auto& n : data_->extraNames) {
            if (n.id == memberId) {
                list[listed++] = n.name;
                break;
            }
        }
    }
    if (listed == 0) return rc::kUnknownMember;

    for (size_t i = 0; i < listed && i < maximum; ++i) {
        names[i] = BstrAlloc(list[i]);
        if (!names[i]) {
            for (size_t k = 0; k < i; ++k) {
                BstrFree(names[k]);
                names[k] = nullptr;
            }
            *count = 0;
            return rc::kOutOfMemory;
        }
        ++*count;
    }
    return rc::kOk;
}

int32_t ClassInfo::GetRefTypeInfo(uint32_t typeCode, ClassInfo** out) {
    if (set_ == nullptr) return rc::kFailed;
    if (SafeIsBadWritePtr(out, sizeof(*out))) return rc::kBadPointer;
    *out = nullptr;
    bool related = false;
    for (uint32_t code : data_->related) related = related || code == typeCode;
    if (!related) return data_->unrelatedCode;
    ClassInfo* info = nullptr;
    if (const int32_t code = set_->GetInterfaceByType(typeCode, &info); code != rc::kOk) {
        return code;
    }
    info->AddRef();
    *out = info;
    return rc::kOk;
}

int32_t ClassInfo::GetImplTypeFlags(uint32_t index, int32_t* flags) {
    if (data_->typeCode != typecode::kTypeLibrary) return rc::kNotImplemented;
    if (SafeIsBadWritePtr(flags, sizeof(*flags))) return rc::kBadPointer;
    if (index == 0) {
        *flags = 1;  // default
    } else if (index == 1) {
        *flags = 3;  // default, source
    } else {
        return rc::kUnknownMember;
    }
    return rc::kOk;
}

int32_t ClassInfo::GetRefTypeOfImplType(uint32_t index, uint32_t* typeCode) {
    if (data_->typeCode != typecode::kTypeLibrary) return rc::kNotImplemented;
    if (SafeIsBadWritePtr(typeCode, sizeof(*typeCode))) return rc::kBadPointer;
    if (index == 0) {
        *typeCode = typecode::kApplication;
    } else if (index == 1) {
        *typeCode = typecode::kApplicationEvents;
    } else {
        return rc::kUnknownMember;
    }
    return rc::kOk;
}

int32_t ClassInfo::FindClassInfo(const InterfaceId* iid, ClassInfo** out) {
    if (set_ == nullptr) return rc::kFailed;
    return set_->ClassInfoQueryInterface(iid, out);
}

// ---------------------------------------------------------------------------------------------
// ClassInfoSet

ClassInfoSet::ClassInfoSet(plat::Unknown* owner) : owner_(owner) {
    for (size_t i = 0; i < infos_.size(); ++i) {
        infos_[i].set_ = this;
        infos_[i].data_ = &kClasses[i];
    }
}

int32_t ClassInfoSet::QueryInterface(const InterfaceId* iid, void** out) {
    return owner_ ? owner_->QueryInterface(iid, out) : rc::kFailed;
}
int32_t ClassInfoSet::AddRef() {
    return owner_ ? owner_->AddRef() : 0;
}
int32_t ClassInfoSet::Release() {
    return owner_ ? owner_->Release() : 0;
}

int32_t ClassInfoSet::ClassInfoQueryInterface(const InterfaceId* iid, ClassInfo** out) {
    if (SafeIsBadWritePtr(out, sizeof(*out))) return rc::kBadPointer;
    *out = nullptr;
    if (SafeIsBadReadPtr(iid, sizeof(*iid))) return rc::kBadPointer;
    for (auto& info : infos_) {
        const uint32_t code = info.data_->typeCode;
        if (code == typecode::kTypeLibrary || code == typecode::kApplicationEvents) continue;
        if (IsEqualInterfaceId(info.data_->iid, *iid)) {
            info.AddRef();
            *out = &info;
            return rc::kOk;
        }
    }
    return rc::kUnknownMember;
}

int32_t ClassInfoSet::GetInterfaceByType(uint32_t typeCode, ClassInfo** out) {
    if (SafeIsBadWritePtr(out, sizeof(*out))) return rc::kBadPointer;
    *out = nullptr;
    for (auto& info : infos_) {
        if (info.data_->typeCode == typeCode) {
            *out = &info;
            return rc::kOk;
        }
    }
    return rc::kUnknownMember;
}

}  // namespace kp
