#include "engine/core/class_info.h"

#include <new>

namespace kp {

using namespace plat;

// ---------------------------------------------------------------------------------------------
// The classes as they describe themselves. The class information numbers members on its own
// (properties from 1, methods from 500 or 501, events from 1); the class's Invoke ids differ.
//
// Where a class's own member table gives the type of a member of the same name, that type is
// used (the printer job's bracketed declared types included). For names that have no member of
// their own the types and access were settled here, so that the counts of descriptions are the
// classes' counts; each such row says so. Methods without a value declare VT_VOID.

struct ParamSpec {
    const char16_t* name;
    VarType type;
};

struct MethodSpec {
    int32_t id;
    const char16_t* name;
    VarType resultType;
    uint32_t refType;  // for VT_USERDEFINED results
    uint8_t paramCount;
    ParamSpec params[8];
};

struct PropertySpec {
    int32_t id;
    const char16_t* name;  // null: described, but its name is not known to GetNames
    VarType type;
    bool writable;
};

struct NameSpec {
    int32_t id;
    const char16_t* name;
};

struct ClassData {
    uint32_t typeCode;
    InterfaceId iid;
    uint32_t kind;
    std::span<const MethodSpec> methods;
    std::span<const PropertySpec> properties;
    std::span<const NameSpec> extraNames;  // names without descriptions
    std::span<const uint32_t> related;
    int32_t unrelatedCode;  // answer of GetRefTypeInfo for a class not related
};

namespace {

constexpr VarType kObj = VT_USERDEFINED;

// Application ------------------------------------------------------------------------------
constexpr MethodSpec kApplicationMethods[] = {
    {500, u"CreatePreview", kObj, typecode::kPreview, 0, {}},
    {501, u"CreatePrinter", kObj, typecode::kPrinterJob, 1, {{u"Source", VT_VARIANT}}},
    {502, u"CreateFile", kObj, typecode::kFileObject, 1, {{u"FileName", VT_VARIANT}}},
    {503, u"CreateReport", kObj, typecode::kReport, 1, {{u"FileName", VT_VARIANT}}},
    {504, u"PrinterDeviceName", VT_BSTR, 0, 1, {{u"Number", VT_I2}}},
    {505, u"PrinterName", VT_BSTR, 0, 1, {{u"Number", VT_I2}}},
    {506, u"PrinterPortName", VT_BSTR, 0, 1, {{u"Number", VT_I2}}},
};
constexpr PropertySpec kApplicationProperties[] = {
    {1, u"CurrentPath", VT_BSTR, true},         {2, u"TempPath", VT_BSTR, true},
    {3, u"PrinterDevices", VT_UI4, false},      {4, u"DefaultUserID", VT_BSTR, true},
    {5, u"DefaultUserPassword", VT_BSTR, true},
};
constexpr uint32_t kApplicationRelated[] = {typecode::kPrinterJob, typecode::kPreview,
                                            typecode::kFileObject, typecode::kReport};

// Application events ------------------------------------------------------------------------
// Parameters as the event interface lists them; PrintMode's type was settled here (VT_I2).
constexpr MethodSpec kEventMethods[] = {
    {1,
     u"PreviewOnPrint",
     VT_VOID,
     0,
     4,
     {{u"Preview", VT_DISPATCH},
      {u"PrintMode", VT_I2},
      {u"StartPage", VT_UI4},
      {u"EndPage", VT_UI4}}},
    {2, u"PreviewOnNextPage", VT_VOID, 0, 1, {{u"Preview", VT_DISPATCH}}},
    {3, u"PreviewOnPrevPage", VT_VOID, 0, 0, {}},
    {4, u"PreviewOnTopPage", VT_VOID, 0, 0, {}},
    {5, u"PreviewOnLastPage", VT_VOID, 0, 0, {}},
    {6, u"PreviewOnCancel", VT_VOID, 0, 0, {}},
    {7, u"PrintCancel", VT_VOID, 0, 1, {{u"Printer", VT_DISPATCH}}},
    {8, u"PrintEnd", VT_VOID, 0, 1, {{u"Printer", VT_DISPATCH}}},
    {9, u"RptObjAtive", VT_VOID, 0, 0, {}},
    {10, u"RptObjUIAtive", VT_VOID, 0, 0, {}},
    {11, u"RptObjDeative", VT_VOID, 0, 0, {}},
    {12, u"RptObjUIDeative", VT_VOID, 0, 0, {}},
    {13, u"RptObjClose", VT_VOID, 0, 0, {}},
    {14, u"ReportClose", VT_VOID, 0, 0, {}},
    {15, u"RptObjPosRectChange", VT_VOID, 0, 0, {}},
    {16, u"RptObjPosRectChanging", VT_VOID, 0, 0, {}},
    {17, u"RptObjSetMenu", VT_VOID, 0, 0, {}},
    {18, u"RptObjRemoveMenu", VT_VOID, 0, 0, {}},
};
constexpr uint32_t kEventRelated[] = {typecode::kPrinterJob, typecode::kPreview, typecode::kReport,
                                      typecode::kDrawingObject};

// Printer job -------------------------------------------------------------------------------
constexpr MethodSpec kPrinterJobMethods[] = {
    {501, u"OpenPrinter", VT_VOID, 0, 0, {}},
    {502, u"ClosePrinter", VT_VOID, 0, 1, {{u"JobCancel", VT_BOOL}}},
    {503, u"Close", VT_VOID, 0, 0, {}},
    {504, u"GetPaper", VT_UI2, 0, 1, {{u"SEQNumber", VT_UI2}}},
    {505, u"GetSource", VT_UI2, 0, 1, {{u"SEQNumber", VT_UI2}}},
    {506, u"GetJobStatus", VT_UI2, 0, 1, {{u"JobNumber", VT_UI4}}},
    {507, u"SetJobStatus", VT_UI2, 0, 2, {{u"JobNumber", VT_UI4}, {u"Status", VT_UI2}}},
    {508, u"Print", VT_VOID, 0, 1, {{u"ReportObject", VT_DISPATCH}}},
    {509, u"ShowPrtSelectDlg", VT_BOOL, 0, 1, {{u"ParentWnd", VT_UI4}}},
    {510, u"UpdateInfo", VT_VOID, 0, 0, {}},
    {511, u"FilePrint", VT_VOID, 0, 1, {{u"FileObject", VT_DISPATCH}}},
    {512,
     u"PreviewPrint",
     VT_VOID,
     0,
     3,
     {{u"PreviewObject", VT_DISPATCH}, {u"StartPage", VT_UI4}, {u"EndPage", VT_UI4}}},
};
constexpr PropertySpec kPrinterJobProperties[] = {
    {1, u"SupportPapers", VT_UI2, false},
    {2, u"SupportSources", VT_UI2, false},
    {3, u"InfoSize", VT_UI2, false},
    {4, u"PrinterName", VT_BSTR, false},
    {5, u"DeviceName", VT_BSTR, false},
    {6, u"CancelDlgCaption", VT_BSTR, true},
    {7, u"CancelDlg", VT_BOOL, true},
    {8, u"CancelDlgMessage", VT_BSTR, true},
    {9, u"CancelButton", VT_BOOL, true},
    {11, u"Status", VT_UI2, false},
    {12, u"MinPaperWidth", VT_UI2, false},
    {13, u"MinPaperLength", VT_UI2, false},
    {14, u"MaxPaperWidth", VT_UI2, false},
    {15, u"MaxPaperLength", VT_UI2, false},
    {16, u"PaperSize", VT_I2, true},
    {17, u"PaperWidth", VT_I2, true},
    {18, u"PaperLength", VT_I2, true},
    {19, u"Source", VT_UI2, true},
    {20, u"Orientation", VT_UI2, true},
    {21, u"Copies", VT_UI2, true},
    {22, u"Quality", VT_UI2, true},
    {23, u"Color", VT_UI2, true},
    {24, u"ASyncMode", VT_BOOL, true},
    {25, u"PageCount", VT_UI4, false},
    {26, u"MultiPrint", VT_BOOL, true},
    {27, u"MultiPrintLayout", VT_UI2, true},
    {28, u"Scale", VT_UI2, true},
    {29, u"JobName", VT_BSTR, true},
    // Described as writable, although the job's Invoke only reads it.
    {30, u"JobNumber", VT_UI4, true},
    {31, u"MinTopMargin", VT_UI2, false},
    {32, u"MinLeftMargin", VT_UI2, false},
    {33, u"MinBottomMargin", VT_UI2, false},
    {34, u"MinRightMargin", VT_UI2, false},
    {35, u"hDC", VT_UI4, false},
};
constexpr uint32_t kPrinterJobRelated[] = {typecode::kPreview, typecode::kFileObject,
                                           typecode::kReport};

// Preview -----------------------------------------------------------------------------------
constexpr MethodSpec kPreviewMethods[] = {
    {501, u"OpenPreview", VT_VOID, 0, 1, {{u"Style", VT_UI4}}},
    {502, u"ClosePreview", VT_VOID, 0, 0, {}},
    {503, u"Close", VT_VOID, 0, 0, {}},
    {504, u"Print", VT_VOID, 0, 1, {{u"Report", VT_DISPATCH}}},
    {505,
     u"FilePrint",
     VT_VOID,
     0,
     3,
     {{u"FileObj", VT_DISPATCH}, {u"StartPage", VT_UI4}, {u"EndPage", VT_UI4}}},
};
constexpr PropertySpec kPreviewProperties[] = {
    {1, u"WindowTop", VT_I4, true},
    {2, u"WindowLeft", VT_I4, true},
    {3, u"WindowRight", VT_I4, true},
    {4, u"WindowBottom", VT_I4, true},
    {5, u"WindowMax", VT_BOOL, true},
    {6, u"WindowMin", VT_BOOL, true},
    {7, u"ParentWindow", VT_UI4, true},
    {8, u"Status", VT_UI2, false},
    {9, u"PageCount", VT_UI4, false},
    {10, u"Page", VT_UI4, true},
    {11, u"Tools", VT_UI4, true},
    {12, u"Zoom", VT_UI2, true},
    {13, u"Title", VT_BSTR, true},
    {15, u"CancelButton", VT_BOOL, true},
    {16, u"CancelMessage", VT_BSTR, true},
    {17, u"CancelDlg", VT_BOOL, true},  // settled here: a BOOL like the printer job's CancelDlg
    {18, u"CancelDlgTitle", VT_BSTR, true},
    {19, u"hDC", VT_UI4, false},  // settled here: a handle, read only
    {20, u"ReportIndexLevel", VT_UI4, true},
};
constexpr uint32_t kPreviewRelated[] = {typecode::kFileObject, typecode::kReport};

// File object: one name, no descriptions ----------------------------------------------------
constexpr NameSpec kFileObjectNames[] = {{1, u"WindowTop"}};
constexpr uint32_t kFileObjectRelated[] = {typecode::kPrinterJob, typecode::kReport};

// Report ------------------------------------------------------------------------------------
constexpr MethodSpec kReportMethods[] = {
    {501,
     u"Draw",
     VT_VOID,
     0,
     7,
     {{u"hDCDraw", VT_UI4},
      {u"hDCAttr", VT_UI4},
      {u"Top", VT_I4},
      {u"Left", VT_I4},
      {u"Bottom", VT_I4},
      {u"Right", VT_I4},
      {u"DrawFlags", VT_UI4}}},
    {502, u"VirtualReport", kObj, typecode::kReport, 1, {{u"GrpObject", VT_DISPATCH}}},
    {503, u"Save", VT_VOID, 0, 2, {{u"FileName", VT_BSTR}, {u"WriteMode", VT_BOOL}}},
    {504, u"IsDirty", VT_BOOL, 0, 0, {}},
    {505, u"ClearData", VT_VOID, 0, 0, {}},
    {506, u"Reload", VT_VOID, 0, 0, {}},
};
// Rows 11, 17-25 and 28 have no report member of their own; their types follow the printer
// job's members of the same meaning and the access was settled so that 23 are writable.
constexpr PropertySpec kReportProperties[] = {
    {1, u"FileName", VT_BSTR, false},
    {2, u"Title", VT_BSTR, true},
    {3, u"Unit", VT_UI2, true},
    {4, u"OnGrid", VT_BOOL, true},
    {5, u"GridView", VT_BOOL, true},
    {6, u"GridInterval", VT_UI4, true},
    {7, u"GridPitch", VT_UI4, true},
    {8, u"CPI", VT_UI2, true},
    {9, u"CPL", VT_UI2, true},
    {10, u"PrinterName", VT_BSTR, true},
    {11, u"PrinterDeviceName", VT_BSTR, true},
    {12, u"PrinterSelectMode", VT_UI2, true},
    {13, u"PaperSize", VT_I2, true},
    {14, u"PaperLength", VT_I4, true},
    {15, u"PaperWidth", VT_I4, true},
    {16, u"PaperOrientation", VT_I2, true},
    {17, u"PrintPaperSize", VT_I2, false},
    {18, u"PrintPaperLength", VT_I4, false},
    {19, u"PrintPaperWidth", VT_I4, false},
    {20, u"PrinterInfoSize", VT_UI2, false},
    {21, u"PrinterInfo", VT_PTR, true},
    {22, u"Source", VT_UI2, true},
    {23, u"Color", VT_UI2, true},
    {24, u"Copies", VT_UI2, true},
    {25, u"Quality", VT_UI2, true},
    {26, u"Memo", VT_BSTR, true},
    {27, u"Layers", VT_DISPATCH, false},
    {28, u"BackImage", VT_BSTR, true},
    {29, u"hWnd", VT_UI4, true},
};
constexpr uint32_t kReportRelated[] = {typecode::kReport, typecode::kLayerCollection,
                                       typecode::kDrawingObject};

// Layer collection, layer, object collection, drawing object --------------------------------
constexpr MethodSpec kLayerCollectionMethods[] = {
    {501, u"Layer", kObj, typecode::kLayer, 1, {{u"Number", VT_UI2}}},
    {502, u"ClearData", VT_VOID, 0, 0, {}},
};
constexpr PropertySpec kLayerCollectionProperties[] = {{1, u"Count", VT_UI2, false}};
constexpr uint32_t kLayerCollectionRelated[] = {typecode::kLayer};

constexpr PropertySpec kLayerProperties[] = {
    {1, u"Objects", VT_DISPATCH, false},
    {2, u"ZOder", VT_UI2, true},
    {3, u"Visible", VT_BOOL, true},
};
constexpr uint32_t kLayerRelated[] = {typecode::kObjectCollection};

constexpr MethodSpec kObjectCollectionMethods[] = {
    {501, u"Object", kObj, typecode::kDrawingObject, 1, {{u"Item", VT_BSTR}}},
    {502,
     u"CreateObject",
     kObj,
     typecode::kDrawingObject,
     5,
     {{u"ObjType", VT_CLSID},
      {u"Top", VT_I4},
      {u"Left", VT_I4},
      {u"Bottom", VT_I4},
      {u"Right", VT_I4}}},
    {503, u"CopyObject", kObj, typecode::kDrawingObject, 0, {}},
    {504, u"MoveObject", kObj, typecode::kDrawingObject, 1, {{u"Object", VT_DISPATCH}}},
};
constexpr PropertySpec kObjectCollectionProperties[] = {{1, u"Count", VT_UI2, false}};
constexpr uint32_t kObjectCollectionRelated[] = {typecode::kDrawingObject};

constexpr MethodSpec kDrawingObjectMethods[] = {{501, u"Close", VT_VOID, 0, 0, {}}};
constexpr PropertySpec kDrawingObjectProperties[] = {
    {1, u"DrawObject", VT_DISPATCH, false}, {2, u"Name", VT_BSTR, true},
    {3, u"Visible", VT_BOOL, true},         {4, u"Top", VT_DECIMAL, true},
    {5, u"Left", VT_DECIMAL, true},         {6, u"Botoom", VT_DECIMAL, true},
    {7, u"Right", VT_DECIMAL, true},
};

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
bool FindAccessor(const ClassData& data, size_t index, const PropertySpec** property,
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
    const MethodSpec& m = data_->methods[index];
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
    const PropertySpec* property = nullptr;
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
