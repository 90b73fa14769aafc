#include "engine/core/report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/atomic_file.h"
#include "engine/core/application.h"
#include "engine/core/container.h"
#include "engine/core/engine_class.h"
#include "engine/core/member_table.h"
#include "engine/core/paper.h"
#include "engine/core/units.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/handles.h"
#include "platform/printing/printers.h"

namespace kp {

using namespace plat;

namespace {

constexpr char16_t kReportElement[] = u"KPREPORT30";
constexpr size_t kText5019Units = 13;

// Version words of the description block, each (major << 16) | minor.
constexpr size_t kDescriptionMajorOffset = 12;
constexpr size_t kDescriptionMinorOffset = 16;
constexpr uint32_t kNewestVersion = 0x30000;

// Truncated toward zero, stopping at the 32-bit limits.
int32_t Trunc32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int32_t Round32(double v) {
    return Trunc32(std::round(v));
}

int32_t MapContainerCode(int32_t code) {
    if (code == stream_code::kStreamAlreadyOpen || code == stream_code::kBadArgument) {
        return rc::kNotReady;
    }
    return code;
}

// Where the stream stands and how many bytes follow.
int32_t Remaining(EngineStream* stream, uint32_t* remaining) {
    uint32_t at = 0, end = 0;
    if (int32_t code = stream->Seek(0, kSeekCur, &at); code != 0) return code;
    if (int32_t code = stream->Seek(0, kSeekEnd, &end); code != 0) return code;
    if (int32_t code = stream->Seek(static_cast<int32_t>(at), kSeekSet, nullptr); code != 0) {
        return code;
    }
    *remaining = end > at ? end - at : 0;
    return 0;
}

}  // namespace

int32_t CheckTaggedLength(EngineStream* stream, int32_t length) {
    if (length < 0) return rc::kMalformedRecords;
    uint32_t remaining = 0;
    if (int32_t code = Remaining(stream, &remaining); code != 0) return code;
    return static_cast<uint32_t>(length) > remaining ? rc::kMalformedRecords : 0;
}

namespace {

int32_t WriteString(EngineStream* stream, int32_t id, const OleChar* text) {
    if (text == nullptr) return WriteTaggedRecord(stream, {id, 0}, nullptr);
    const uint32_t units = BstrLen(text);
    std::u16string copy(BstrView(text));
    copy.push_back(u'\0');
    return WriteTaggedRecord(stream, {id, static_cast<int32_t>((units + 1) * 2)}, copy.data());
}

template <class T>
int32_t WriteValue(EngineStream* stream, int32_t id, const T& value) {
    return WriteTaggedRecord(stream, {id, static_cast<int32_t>(sizeof(T))}, &value);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Record readers

int32_t SkipTaggedValue(EngineStream* stream, int32_t length) {
    if (int32_t code = CheckTaggedLength(stream, length); code != 0) return code;
    if (length == 0) return 0;
    return stream->Seek(length, kSeekCur, nullptr);
}

int32_t ReadTaggedString(EngineStream* stream, int32_t length, Bstr* out) {
    *out = nullptr;
    if (int32_t code = CheckTaggedLength(stream, length); code != 0) return code;
    if (length == 0) return 0;
    // A string is whole UTF-16 units ending in its terminator.
    if (length % 2 != 0) return rc::kMalformedRecords;
    std::u16string units(static_cast<size_t>(length) / 2, u'\0');
    if (int32_t code = ReadExact(stream, units.data(), static_cast<uint32_t>(length)); code != 0) {
        return code == stream_code::kEndOfStream ? rc::kMalformedRecords : code;
    }
    const size_t end = units.find(u'\0');
    if (end != std::u16string::npos) units.resize(end);
    *out = BstrAllocView(units);
    return *out != nullptr ? 0 : rc::kOutOfMemory;
}

int32_t ReadTaggedField(EngineStream* stream, int32_t length, void* field, size_t width) {
    if (int32_t code = CheckTaggedLength(stream, length); code != 0) return code;
    // Files always carry the table's widths; a record of another length gives what fits of it
    // and the rest is passed over, so that a later format that widens a field still loads.
    if (length == 0) return 0;
    const size_t take = std::min(static_cast<size_t>(length), width);
    std::memset(field, 0, width);
    if (int32_t code = ReadExact(stream, field, static_cast<uint32_t>(take)); code != 0) {
        return code == stream_code::kEndOfStream ? rc::kMalformedRecords : code;
    }
    if (static_cast<size_t>(length) > take) {
        return stream->Seek(static_cast<int32_t>(length - take), kSeekCur, nullptr);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Member tables

const PropertyRow<ReportObject> ReportObject::kProperties[] = {
    {KP_PROPERTY(REPORT, FILE_NAME), &ReportObject::GetFileName, nullptr},
    {KP_PROPERTY(REPORT, TITLE), &ReportObject::GetTitle, &ReportObject::PutTitle},
    {KP_PROPERTY(REPORT, UNIT), &ReportObject::GetUnit, &ReportObject::PutUnit},
    {KP_PROPERTY(REPORT, ON_GRID), &ReportObject::GetOnGrid, &ReportObject::PutOnGrid},
    {KP_PROPERTY(REPORT, GRID_VIEW), &ReportObject::GetGridView, &ReportObject::PutGridView},
    {KP_PROPERTY(REPORT, GRID_INTERVAL), &ReportObject::GetGridInterval,
     &ReportObject::PutGridInterval},
    {KP_PROPERTY(REPORT, GRID_PITCH), &ReportObject::GetGridPitch, &ReportObject::PutGridPitch},
    {KP_PROPERTY(REPORT, CPI), &ReportObject::GetCpi, &ReportObject::PutCpi},
    {KP_PROPERTY(REPORT, CPL), &ReportObject::GetCpl, &ReportObject::PutCpl},
    {KP_PROPERTY(REPORT, PRINTER_SELECT_MODE), &ReportObject::GetSelectMode,
     &ReportObject::PutSelectMode},
    {KP_PROPERTY(REPORT, PAPER_SIZE), &ReportObject::GetPaperSize, &ReportObject::PutPaperSize},
    {KP_PROPERTY(REPORT, PAPER_LENGTH), &ReportObject::GetPaperLength,
     &ReportObject::PutPaperLength},
    {KP_PROPERTY(REPORT, PAPER_WIDTH), &ReportObject::GetPaperWidth, &ReportObject::PutPaperWidth},
    {KP_PROPERTY(REPORT, PAPER_ORIENTATION), &ReportObject::GetOrientation,
     &ReportObject::PutOrientation},
    {KP_PROPERTY(REPORT, MEMO), &ReportObject::GetMemo, &ReportObject::PutMemo},
    {KP_PROPERTY(REPORT, LAYERS), &ReportObject::GetLayers, nullptr},
    {KP_PROPERTY(REPORT, HWND), &ReportObject::GetHwnd, &ReportObject::PutHwnd},
    {KP_PROPERTY(REPORT, VALUE5019), &ReportObject::Get5019, &ReportObject::Put5019},
    {KP_PROPERTY(REPORT, VALUE5020), &ReportObject::Get5020, &ReportObject::Put5020},
    {KP_PROPERTY(REPORT, VALUE5021), &ReportObject::Get5021, &ReportObject::Put5021},
    {KP_PROPERTY(REPORT, VALUE5022), &ReportObject::Get5022, &ReportObject::Put5022},
    {KP_PROPERTY(REPORT, VALUE5023), &ReportObject::Get5023, &ReportObject::Put5023},
    {KP_PROPERTY(REPORT, PRINTER_NAME), &ReportObject::Get5027, &ReportObject::Put5027},
    {KP_PROPERTY(REPORT, VALUE5029), &ReportObject::Get5029, &ReportObject::Put5029},
    {KP_PROPERTY(REPORT, VALUE5030), &ReportObject::Get5030, &ReportObject::Put5030},
    {KP_PROPERTY(REPORT, VALUE5031), &ReportObject::Get5031, &ReportObject::Put5031},
    {KP_PROPERTY(REPORT, VALUE5032), &ReportObject::Get5032, &ReportObject::Put5032},
};

const MethodRow<ReportObject> ReportObject::kMethods[] = {
    {KP_METHOD(REPORT, DRAW), &ReportObject::DrawMember},
    {KP_METHOD(REPORT, SAVE), &ReportObject::SaveMember},
    {KP_METHOD(REPORT, IS_DIRTY), &ReportObject::IsDirtyMember},
    {KP_METHOD(REPORT, CLEAR_DATA), &ReportObject::ClearDataMember},
    {KP_METHOD(REPORT, CLOSE_REPORT), &ReportObject::CloseReportMember},
    {KP_METHOD(REPORT, LOAD_REPORT_FILE), &ReportObject::LoadReportFileMember},
};

// ---------------------------------------------------------------------------------------------
// Life

ReportObject::ReportObject() : signature_(static_cast<Unknown*>(this), signature::kReport) {
    layers_.SetUnit(unit_);
    layers_.SetCharacterPitch(cpl_, cpi_);
}

ReportObject::~ReportObject() {
    if (owner_ != nullptr) owner_->UnregisterReport(this);
    FreeStrings();
}

void ReportObject::FreeStrings() {
    for (Bstr* s : {&text5021_, &fileName_, &title_, &memo_, &printerName_}) {
        BstrFree(*s);
        *s = nullptr;
    }
}

void ReportObject::ResetDefaults() {
    std::lock_guard guard(lock_);
    FreeStrings();
    window_ = 0;
    std::memset(text5019_, 0, sizeof(text5019_));
    unit_ = 1;
    onGrid_ = 0;
    gridView_ = 1;
    flag5020_ = 0;
    gridInterval_ = 0x00010001;
    gridPitch_ = 0x000A000A;
    value5022_ = 0;
    value5032_ = 0;
    cpl_ = 1;
    cpi_ = 1;
    selectMode_ = 1;
    paperCode_ = 9;
    paperWidth_ = 2100;
    paperLength_ = 2970;
    orientation_ = 1;
    date5023_ = 0;
    value5029_ = 0;
    value5030_ = 0;
    value5031_ = 100;
    useCount_ = 0;
    layers_.SetUnit(unit_);
    layers_.SetCharacterPitch(cpl_, cpi_);
}

int32_t IsReportObject(const void* object) {
    return CheckObjectSignature(object, signature::kReport) ? 1 : 0;
}

int32_t DestroyReportObject(ReportObject* report) {
    // The sinks see the report whole; their answers do not matter.
    if (ApplicationObject* app = report->owner(); app != nullptr) {
        Variant arg = VariantDispatch(static_cast<ScriptableObject*>(report));
        InvokeArgs args{&arg, 1};
        app->FireEvent(ReportObject::kReportCloseEvent, &args);
    }
    delete report;
    return rc::kOk;
}

bool QueryDefaultPaper(DefaultPaper* out) {
    *out = DefaultPaper{};
    std::shared_ptr<PrinterSystem> system = GetPrinterSystem();
    if (!system) return false;
    std::string name;
    if (!system->DefaultPrinter(&name) || name.empty()) return false;
    out->printer = WideFromUtf8(name);
    PrinterCapabilities caps;
    if (!system->ReadCapabilities(name, &caps)) return true;
    // Reverse portrait and reverse landscape print the same page turned round.
    switch (caps.orientationDefault) {
        case 3:
        case 6:
            out->orientation = 1;
            break;
        case 4:
        case 5:
            out->orientation = 2;
            break;
        default:
            break;
    }
    if (caps.defaultMedia.empty()) return true;
    for (const MediaInfo& media : caps.media) {
        if (media.media != caps.defaultMedia) continue;
        // CUPS gives hundredths of a millimetre; the report keeps tenths.
        const int32_t width = (media.width + 5) / 10;
        const int32_t length = (media.length + 5) / 10;
        if (width <= 0 || length <= 0 || width > 20000 || length > 20000) return true;
        out->hasMedia = true;
        out->width = static_cast<int16_t>(width);
        out->length = static_cast<int16_t>(length);
        out->code = kPaperUserDefined;
        // A paper of the table within a tenth of a millimetre each way: the conversions of
        // inch sizes to millimetres round differently on each side.
        for (int32_t code = 1; code < kPaperUserDefined; ++code) {
            const int32_t dims = GetPaperDimensions(code);
            if (dims < 0) continue;
            const int32_t w = (dims >> 16) & 0xFFFF, l = dims & 0xFFFF;
            if (std::abs(w - width) <= 1 && std::abs(l - length) <= 1) {
                out->code = static_cast<int16_t>(code);
                break;
            }
        }
        return true;
    }
    return true;
}

int32_t ReportObject::AttachHost(ApplicationObject* app) {
    if (app == nullptr) return rc::kBadPointer;
    {
        std::lock_guard guard(lock_);
        owner_ = app;
        DefaultPaper paper;
        if (QueryDefaultPaper(&paper)) {
            if (paper.hasMedia) {
                if (paper.code != kPaperUserDefined) {
                    SetPaperCode(paper.code);
                } else {
                    paperCode_ = kPaperUserDefined;
                    paperWidth_ = paper.width;
                    paperLength_ = paper.length;
                }
            }
            if (paper.orientation != 0) orientation_ = paper.orientation;
            BstrFree(printerName_);
            printerName_ = BstrAllocView(paper.printer);
        }
    }
    return layers_.Attach(this);
}

// ---------------------------------------------------------------------------------------------
// Unknown

int32_t ReportObject::QueryInterface(const InterfaceId* iid, void** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (SafeIsBadReadPtr(iid, sizeof(InterfaceId))) return rc::kBadPointer;
    if (owner_ == nullptr) return rc::kNotReady;
    if (IsEqualInterfaceId(*iid, iid::kReport)) {
        *out = static_cast<ScriptableObject*>(this);
        return rc::kOk;
    }
    return owner_->QueryInterface(iid, out);
}

int32_t ReportObject::AddRef() {
    return owner_ != nullptr ? owner_->AddRef() : 1;
}

int32_t ReportObject::Release() {
    return owner_ != nullptr ? owner_->Release() : 1;
}

int32_t ReportObject::GetTypeInfo(ClassInfo** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (owner_ == nullptr) return rc::kNotReady;
    return owner_->Classes().ClassInfoQueryInterface(&iid::kReport, out);
}

int32_t ReportObject::Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                             Variant* result) {
    // Every member of the public table has its row here (the ones Invoke takes itself aside).
    static_assert(std::size(kProperties) + std::size(kMethods) == KP_MEMBER_COUNT(REPORT));
    return GuardedCall([&]() -> int32_t {
        return DispatchMember<ReportObject>(*this, kProperties, kMethods, memberId, kind, args,
                                            result);
    });
}

// ---------------------------------------------------------------------------------------------
// Properties

int32_t ReportObject::GetStr(Bstr ReportObject::*field, Variant* value) {
    std::lock_guard guard(lock_);
    if (this->*field == nullptr) return rc::kOk;
    value->bstrVal = BstrCopy(this->*field);
    return value->bstrVal != nullptr ? rc::kOk : rc::kOutOfMemory;
}

int32_t ReportObject::PutStr(Bstr ReportObject::*field, const Variant& argument) {
    Bstr copy = nullptr;
    if (argument.bstrVal != nullptr) {
        copy = BstrCopy(argument.bstrVal);
        if (copy == nullptr) return rc::kOutOfMemory;
    }
    std::lock_guard guard(lock_);
    BstrFree(this->*field);
    this->*field = copy;
    return rc::kOk;
}

int32_t ReportObject::GetUnit(Variant* value) {
    std::lock_guard guard(lock_);
    value->uiVal = unit_;
    return rc::kOk;
}

int32_t ReportObject::PutUnit(const Variant& argument) {
    if (argument.uiVal < 1 || argument.uiVal > 3) return rc::kOutOfRange;
    std::lock_guard guard(lock_);
    unit_ = argument.uiVal;
    layers_.SetUnit(unit_);
    return rc::kOk;
}

int32_t ReportObject::GetBoolField(int32_t ReportObject::*field, Variant* value) {
    std::lock_guard guard(lock_);
    value->boolVal = static_cast<int16_t>(this->*field);
    return rc::kOk;
}

int32_t ReportObject::PutBoolField(int32_t ReportObject::*field, const Variant& argument) {
    std::lock_guard guard(lock_);
    this->*field = argument.boolVal != 0 ? 1 : 0;
    return rc::kOk;
}

int32_t ReportObject::GetU32(uint32_t ReportObject::*field, Variant* value) {
    std::lock_guard guard(lock_);
    value->ulVal = this->*field;
    return rc::kOk;
}

int32_t ReportObject::PutU32(uint32_t ReportObject::*field, const Variant& argument) {
    std::lock_guard guard(lock_);
    this->*field = argument.ulVal;
    return rc::kOk;
}

int32_t ReportObject::GetCpi(Variant* value) {
    std::lock_guard guard(lock_);
    value->uiVal = cpi_;
    return rc::kOk;
}

int32_t ReportObject::PutCpi(const Variant& argument) {
    if (argument.uiVal < 1 || argument.uiVal > 20) return rc::kOutOfRange;
    std::lock_guard guard(lock_);
    cpi_ = argument.uiVal;
    layers_.SetCharacterPitch(cpl_, cpi_);
    return rc::kOk;
}

int32_t ReportObject::GetCpl(Variant* value) {
    std::lock_guard guard(lock_);
    value->uiVal = cpl_;
    return rc::kOk;
}

int32_t ReportObject::PutCpl(const Variant& argument) {
    if (argument.uiVal < 1 || argument.uiVal > 20) return rc::kOutOfRange;
    std::lock_guard guard(lock_);
    cpl_ = argument.uiVal;
    layers_.SetCharacterPitch(cpl_, cpi_);
    return rc::kOk;
}

int32_t ReportObject::GetSelectMode(Variant* value) {
    std::lock_guard guard(lock_);
    value->uiVal = selectMode_;
    return rc::kOk;
}

int32_t ReportObject::PutSelectMode(const Variant& argument) {
    if (argument.uiVal < 1 || argument.uiVal > 3) return rc::kOutOfRange;
    std::lock_guard guard(lock_);
    selectMode_ = argument.uiVal;
    return rc::kOk;
}

int32_t ReportObject::SetPaperCode(int32_t code) {
    if (!IsKnownPaperSize(code)) return rc::kOutOfRange;
    std::lock_guard guard(lock_);
    paperCode_ = static_cast<int16_t>(code);
    if (code < kPaperUserDefined) {
        if (const int32_t dims = GetPaperDimensions(code); dims != -1) {
            paperWidth_ = static_cast<int16_t>((dims >> 16) & 0xFFFF);
            paperLength_ = static_cast<int16_t>(dims & 0xFFFF);
        }
    }
    return rc::kOk;
}

int32_t ReportObject::GetPaperSize(Variant* value) {
    std::lock_guard guard(lock_);
    value->iVal = paperCode_;
    return rc::kOk;
}

int32_t ReportObject::PutPaperSize(const Variant& argument) {
    return SetPaperCode(argument.iVal);
}

int32_t ReportObject::GetPaperDim(int16_t ReportObject::*field, Variant* value) {
    std::lock_guard guard(lock_);
    const int16_t tenths = this->*field;
    // Rounded as the put rounds, so that a value put reads back unchanged.
    value->lVal = unit_ == 1 ? tenths * 10 : Round32(tenths * 100 * 0.03937007874015748);
    return rc::kOk;
}

int32_t ReportObject::PutPaperDim(int16_t ReportObject::*field, const Variant& argument) {
    std::lock_guard guard(lock_);
    if (paperCode_ != kPaperUserDefined) return rc::kPaperNotInList;
    if (argument.lVal <= 0) return rc::kOutOfRange;
    const double factor = unit_ == 1 ? 0.1 : 0.254;
    const int32_t tenths = Trunc32(argument.lVal * factor + 0.5);
    if (tenths < -20000 || tenths > 20000) return rc::kOutOfRange;
    this->*field = static_cast<int16_t>(tenths);
    return rc::kOk;
}

int32_t ReportObject::GetOrientation(Variant* value) {
    std::lock_guard guard(lock_);
    value->iVal = orientation_;
    return rc::kOk;
}

int32_t ReportObject::PutOrientation(const Variant& argument) {
    if (argument.iVal != 1 && argument.iVal != 2) return rc::kOutOfRange;
    std::lock_guard guard(lock_);
    orientation_ = argument.iVal;
    return rc::kOk;
}

int32_t ReportObject::GetLayers(Variant* value) {
    value->pdispVal = static_cast<ScriptableObject*>(&layers_);
    return rc::kOk;
}

int32_t ReportObject::GetHwnd(Variant* value) {
    std::lock_guard guard(lock_);
    value->ulVal = window_;
    return rc::kOk;
}

int32_t ReportObject::PutHwnd(const Variant& argument) {
    if (WindowFromHandle(argument.ulVal) == nullptr) return rc::kBadArgument;
    std::lock_guard guard(lock_);
    window_ = argument.ulVal;
    return rc::kOk;
}

uint32_t ReportObject::window() {
    std::lock_guard guard(lock_);
    return window_;
}

int32_t ReportObject::Get5019(Variant* value) {
    std::lock_guard guard(lock_);
    const std::u16string_view text(text5019_, std::char_traits<char16_t>::length(text5019_));
    if (text.empty()) return rc::kOk;
    value->bstrVal = BstrAllocView(text);
    return value->bstrVal != nullptr ? rc::kOk : rc::kOutOfMemory;
}

int32_t ReportObject::Put5019(const Variant& argument) {
    const std::u16string_view text =
        argument.bstrVal != nullptr ? BstrView(argument.bstrVal) : std::u16string_view{};
    if (text.size() > kText5019Units - 1) return rc::kOutOfRange;
    std::lock_guard guard(lock_);
    std::memset(text5019_, 0, sizeof(text5019_));
    std::copy(text.begin(), text.end(), text5019_);
    return rc::kOk;
}

int32_t ReportObject::Get5023(Variant* value) {
    std::lock_guard guard(lock_);
    value->date = date5023_;
    return rc::kOk;
}

int32_t ReportObject::Put5023(const Variant& argument) {
    std::lock_guard guard(lock_);
    date5023_ = argument.date;
    return rc::kOk;
}

int32_t ReportObject::GetU16Unlocked(uint16_t ReportObject::*field, Variant* value) {
    value->uiVal = this->*field;
    return rc::kOk;
}

int32_t ReportObject::PutU16Unlocked(uint16_t ReportObject::*field, const Variant& argument) {
    this->*field = argument.uiVal;
    return rc::kOk;
}

int32_t ReportObject::Get5032(Variant* value) {
    value->lVal = value5032_;
    return rc::kOk;
}

int32_t ReportObject::Put5032(const Variant& argument) {
    value5032_ = argument.boolVal;
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// Direct accessors

int32_t ReportObject::LockUse() {
    std::lock_guard guard(lock_);
    return ++useCount_;
}

int32_t ReportObject::UnlockUse() {
    std::lock_guard guard(lock_);
    if (useCount_ > 0) --useCount_;
    return useCount_;
}

int32_t ReportObject::useCount() {
    std::lock_guard guard(lock_);
    return useCount_;
}

int16_t ReportObject::paperWidth() {
    std::lock_guard guard(lock_);
    return paperWidth_;
}
int16_t ReportObject::paperLength() {
    std::lock_guard guard(lock_);
    return paperLength_;
}
int16_t ReportObject::paperSizeCode() {
    std::lock_guard guard(lock_);
    return paperCode_;
}
int16_t ReportObject::paperOrientation() {
    std::lock_guard guard(lock_);
    return orientation_;
}

int32_t LockReportUse(ReportObject* report) {
    return report->LockUse();
}
int32_t UnlockReportUse(ReportObject* report) {
    return report->UnlockUse();
}
int16_t GetPaperWidth(ReportObject* report) {
    return report->paperWidth();
}
int16_t GetPaperLength(ReportObject* report) {
    return report->paperLength();
}
int16_t GetPaperSizeCode(ReportObject* report) {
    return report->paperSizeCode();
}
int16_t GetPaperOrientation(ReportObject* report) {
    return report->paperOrientation();
}

// ---------------------------------------------------------------------------------------------
// Drawing

int32_t ReportObject::Draw(ScriptableObject* group, uint32_t drawDc, uint32_t attributeDc,
                           int32_t left, int32_t top, int32_t right, int32_t bottom,
                           uint32_t flags) {
    const RectL rect{left, top, right, bottom};
    const uint32_t passed = flags & drawflag::kPassed;
    int32_t result = rc::kOk;
    if (flags >= drawflag::kBackgroundOnly) {
        result = DrawBackground(group, drawDc, attributeDc, rect, passed);
    }
    if ((flags & (drawflag::kLayers | drawflag::kEverything)) == 0) return result;
    ItemObject* item = nullptr;
    if (group != nullptr) {
        if (!CheckObjectSignature(group, signature::kObject)) return rc::kBadArgument;
        item = static_cast<ItemObject*>(group);
    }
    const bool emptyRect = rect.left >= rect.right || rect.top >= rect.bottom;
    const RectL* clip = (flags & drawflag::kEverything) != 0 || emptyRect ? nullptr : &rect;
    const int32_t layers = layers_.Draw(item, drawDc, attributeDc, clip, passed);
    return layers != rc::kOk ? layers : result;
}

int32_t ReportObject::GroupRectPixels(ScriptableObject* group, int32_t dpiX, int32_t dpiY,
                                      int32_t* across, int32_t* down) {
    if (!CheckObjectSignature(group, signature::kObject)) return rc::kBadArgument;
    auto* item = static_cast<ItemObject*>(group);
    RectL r{};
    if (int32_t code = item->GetRect(&r); code != rc::kOk) return code;
    uint16_t unit = 0, cpl = 0, cpi = 0;
    {
        std::lock_guard guard(lock_);
        unit = unit_;
        cpl = cpl_;
        cpi = cpi_;
    }
    int32_t width = 0, height = 0;
    ConvertUnitsIn(static_cast<LengthUnitKind>(unit), kAxisHorizontal, cpl, cpi, r.right - r.left,
                   &width);
    ConvertUnitsIn(static_cast<LengthUnitKind>(unit), kAxisVertical, cpl, cpi, r.bottom - r.top,
                   &height);
    *across = Trunc32(width * static_cast<double>(dpiX) * 3.937007874015748e-6 + 0.5);
    *down = Trunc32(height * static_cast<double>(dpiY) * 3.937007874015748e-6 + 0.5);
    return rc::kOk;
}

int32_t ReportObject::DrawBackground(ScriptableObject* group, uint32_t drawDc, uint32_t attributeDc,
                                     const RectL& rect, uint32_t flags) {
    DeviceContext* dc = DcFromHandle(drawDc);
    if (dc == nullptr) return rc::kBadArgument;
    DeviceContext* attr = DcFromHandle(attributeDc);
    int32_t dpiX = 0, dpiY = 0;
    GetDeviceDotsPerInch(DeviceMetricsOf(attr != nullptr ? *attr : *dc), &dpiX, &dpiY);

    int32_t across = 0, down = 0;
    {
        std::lock_guard guard(lock_);
        const bool portrait = orientation_ == 1;
        const int32_t w = portrait ? paperWidth_ : paperLength_;
        const int32_t h = portrait ? paperLength_ : paperWidth_;
        across = Trunc32(w * static_cast<double>(dpiX) / 254.0 + 0.5);
        down = Trunc32(h * static_cast<double>(dpiY) / 254.0 + 0.5);
    }
    if (group != nullptr) {
        int32_t gx = 0, gy = 0;
        // A group whose rectangle cannot be read leaves the page's extent.
        if (GroupRectPixels(group, dpiX, dpiY, &gx, &gy) == rc::kOk) {
            across = gx;
            down = gy;
        }
    }
    std::array<POINT, 2> page{{{0, 0}, {across, down}}};
    dc->LPtoDP(page);

    int32_t result = rc::kOk;
    POINT oldWindowOrg{}, oldViewportOrg{};
    SIZE oldWindowExt{}, oldViewportExt{};
    int changed = 0;
    if (dc->SetWindowOrgEx(0, 0, &oldWindowOrg)) ++changed;
    if (changed == 1 && dc->SetViewportOrgEx(0, 0, &oldViewportOrg)) ++changed;
    if (changed == 2 && dc->SetWindowExtEx(1, 1, &oldWindowExt)) ++changed;
    if (changed == 3 && dc->SetViewportExtEx(1, 1, &oldViewportExt)) ++changed;
    if (changed != 4) result = rc::kMappingFailed;

    if (result == rc::kOk && (flags & drawflag::kBackground) != 0) {
        HBRUSH brush = CreateSolidBrush(0x808000);
        if (brush == 0) {
            result = rc::kBrushFailed;
        } else {
            dc->SaveDC();
            HRGN pageRegion = CreateRectRgn(page[0].x, page[0].y, page[1].x, page[1].y);
            HRGN rectRegion = CreateRectRgn(rect.left, rect.top, rect.right, rect.bottom);
            if (pageRegion != 0 && rectRegion != 0) {
                CombineRgn(rectRegion, pageRegion, rectRegion, kRgnXor);
                dc->SelectClipRgn(rectRegion);
            }
            dc->FillRect(RECT{rect.left, rect.top, rect.right, rect.bottom}, brush);
            DeleteObject(brush);
            if (pageRegion != 0) DeleteObject(pageRegion);
            if (rectRegion != 0) DeleteObject(rectRegion);
            dc->RestoreDC(-1);
        }
    }
    if (changed >= 4) dc->SetViewportExtEx(oldViewportExt.cx, oldViewportExt.cy);
    if (changed >= 3) dc->SetWindowExtEx(oldWindowExt.cx, oldWindowExt.cy);
    if (changed >= 2) dc->SetViewportOrgEx(oldViewportOrg.x, oldViewportOrg.y);
    if (changed >= 1) dc->SetWindowOrgEx(oldWindowOrg.x, oldWindowOrg.y);

    if (result == rc::kOk && (flags & drawflag::kBackground) != 0) {
        HBRUSH white = CreateSolidBrush(0xFFFFFF);
        if (white == 0) return rc::kBrushFailed;
        dc->FillRect(RECT{0, 0, across, down}, white);
        DeleteObject(white);
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// Methods

int32_t ReportObject::DrawMember(const Variant* args, Variant*) {
    return Draw(static_cast<ScriptableObject*>(args[0].pdispVal), args[1].ulVal, args[2].ulVal,
                args[3].lVal, args[4].lVal, args[5].lVal, args[6].lVal, args[7].ulVal);
}

int32_t ReportObject::SaveMember(const Variant* args, Variant*) {
    return Save(args[0].bstrVal, args[1].boolVal != 0);
}

int32_t ReportObject::IsDirtyMember(const Variant*, Variant* value) {
    value->boolVal = 0;
    return rc::kFailed;
}

int32_t ReportObject::ClearDataMember(const Variant*, Variant*) {
    return layers_.ClearData();
}

int32_t ReportObject::CloseReportMember(const Variant*, Variant*) {
    return DestroyReportObject(this);
}

int32_t ReportObject::LoadReportFileMember(const Variant* args, Variant*) {
    return LoadReportFile(args[0].bstrVal);
}

// ---------------------------------------------------------------------------------------------
// Files

int32_t ReportObject::FullPath(const OleChar* name, std::u16string* out) {
    const std::u16string_view given = BstrView(name);
    if (!given.empty() && given.front() == u'/') {
        *out = std::u16string(given);
        return rc::kOk;
    }
    std::u16string base;
    if (owner_ != nullptr) {
        Bstr current = nullptr;
        if (int32_t code = owner_->GetCurrentPath(&current); code != rc::kOk) return code;
        if (current != nullptr) base = std::u16string(BstrView(current));
        BstrFree(current);
    }
    if (!base.empty() && base.back() != u'/') base.push_back(u'/');
    *out = base + std::u16string(given);
    return rc::kOk;
}

int32_t ReportObject::Save(const OleChar* fileName, bool writeMode) {
    const bool named = fileName != nullptr;
    std::u16string full;
    {
        std::lock_guard guard(lock_);
        if (fileName == nullptr) {
            if (fileName_ == nullptr) return rc::kSaveWithoutName;
            full = std::u16string(BstrView(fileName_));
        }
    }
    if (named) {
        if (int32_t code = FullPath(fileName, &full); code != rc::kOk) return code;
    }
    std::string target;
    if (!Utf8FromWide(full, &target) || target.empty() || target.find('\0') != std::string::npos) {
        return stream_code::kPathConversion;
    }

    // Saving goes to a temporary file beside the target that replaces it only once whole, so a
    // failed save never costs the report that was there. Without WriteMode an existing target
    // is refused, before the save and again when it is put in place.
    if (!writeMode) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) == 0) return stream_code::FileOpenErrorCode(EEXIST);
    }
    qzs::base::AtomicFile file(target, writeMode ? qzs::base::AtomicFile::Replace::kAlways
                                                 : qzs::base::AtomicFile::Replace::kNever);
    if (!file.Open()) {
        return writeMode ? rc::kNoTemporaryFile : stream_code::FileOpenErrorCode(file.error());
    }

    StreamFileFactory factory;
    StreamFile* container = nullptr;
    int32_t code =
        factory.Create(WideFromUtf8(file.temporary()), kCreateAlways, kAccessReadWrite, &container);
    if (code == 0) {
        code = SaveToContainer(container, 0, nullptr);
        // The streams reach the file here at the latest, and a failure to write them is answered.
        const int32_t unwritten = container->Flush();
        if (code == 0 && unwritten != 0) code = MapContainerCode(unwritten);
        container->Release();
    }
    if (code != 0) return code;
    if (!file.Commit()) {
        return file.error() == EEXIST ? stream_code::FileOpenErrorCode(EEXIST) : rc::kCopyFailed;
    }
    if (named) {
        Bstr copy = BstrAllocView(full);
        if (copy == nullptr) return rc::kOutOfMemory;
        std::lock_guard guard(lock_);
        BstrFree(fileName_);
        fileName_ = copy;
    }
    return rc::kOk;
}

int32_t ReportObject::LoadReportFile(const OleChar* fileName) {
    if (fileName == nullptr) return stream_code::kNotFound;
    std::u16string full;
    if (int32_t code = FullPath(fileName, &full); code != rc::kOk) return code;
    StreamFileFactory factory;
    StreamFile* container = nullptr;
    if (int32_t code = factory.Open(full, kAccessRead, &container); code != 0) return code;
    // Released however the load ends, a throw included.
    const std::unique_ptr<StreamFile, void (*)(StreamFile*)> held(
        container, [](StreamFile* file) { file->Release(); });
    const int32_t code = LoadFromContainer(container, 0);
    if (code != rc::kOk) return code;
    Bstr copy = BstrAllocView(full);
    if (copy == nullptr) return rc::kOutOfMemory;
    std::lock_guard guard(lock_);
    BstrFree(fileName_);
    fileName_ = copy;
    return rc::kOk;
}

int32_t ReportObject::SaveToContainer(StreamFile* container, int32_t drawingOnly,
                                      FontUsageTable* fonts) {
    Stream* stream = nullptr;
    int32_t code = container->CreateStream(kReportElement, &stream);
    if (code != 0) return MapContainerCode(code);
    {
        std::lock_guard guard(lock_);
        const bool full = drawingOnly != 1;
        auto run = [&](auto write) {
            if (code == 0) code = write();
        };
        if (full) run([&] { return WriteString(stream, kTitle, title_); });
        run([&] { return WriteValue(stream, kUnit, unit_); });
        if (full) {
            run([&] { return WriteValue(stream, kOnGrid, onGrid_); });
            run([&] { return WriteValue(stream, kGridView, gridView_); });
            run([&] { return WriteValue(stream, kGridInterval, gridInterval_); });
            run([&] { return WriteValue(stream, kGridPitch, gridPitch_); });
        }
        // Record 5008 carries CPL and 5009 CPI, crosswise to the property ids, as files have it.
        run([&] { return WriteValue(stream, 5008, cpl_); });
        run([&] { return WriteValue(stream, 5009, cpi_); });
        if (full) run([&] { return WriteValue(stream, kPrinterSelectMode, selectMode_); });
        run([&] { return WriteValue(stream, kPaperSize, paperCode_); });
        run([&] { return WriteValue(stream, kPaperLength, paperLength_); });
        run([&] { return WriteValue(stream, kPaperWidth, paperWidth_); });
        run([&] { return WriteValue(stream, kPaperOrientation, orientation_); });
        if (full) run([&] { return WriteString(stream, kMemo, memo_); });
        run([&] { return WriteValue(stream, kText5019, text5019_); });
        run([&] { return WriteValue(stream, kFlag5020, flag5020_); });
        run([&] { return WriteString(stream, kText5021, text5021_); });
        if (full) {
            run([&] { return WriteValue(stream, kValue5022, value5022_); });
            run([&] { return WriteValue(stream, kDate5023, date5023_); });
            run([&] { return WriteString(stream, kPrinterName, printerName_); });
            run([&] { return WriteValue(stream, kValue5029, value5029_); });
            run([&] { return WriteValue(stream, kValue5030, value5030_); });
            run([&] { return WriteValue(stream, kValue5031, value5031_); });
            run([&] { return WriteValue(stream, kValue5032, value5032_); });
        }
        run([&] {
            return WriteTaggedRecord(stream, {-1, static_cast<int32_t>(kClassDescriptionSize)},
                                     EngineClassDescription().data());
        });
    }
    stream->Release();
    if (code == 0) code = layers_.Save(container, drawingOnly, fonts);
    return MapContainerCode(code);
}

int32_t ReportObject::LoadFromContainer(StreamFile* container, int32_t drawingOnly) {
    ResetDefaults();
    Stream* stream = nullptr;
    int32_t code = container->OpenStream(kReportElement, &stream);
    if (code != 0) {
        code = MapContainerCode(code);
        return code == stream_code::kEndOfStream ? rc::kUnusableElement : code;
    }
    HeldReference<Stream> held(stream);
    bool anyProperty = false;
    bool description = false;
    std::array<uint8_t, kClassDescriptionSize> block{};
    {
        std::lock_guard guard(lock_);
        for (;;) {
            TaggedRecordHeader header{};
            code = ReadExact(stream, &header, sizeof(header));
            if (code == stream_code::kEndOfStream) {
                code = 0;
                break;
            }
            if (code != 0) break;
            const int32_t length = header.length;
            Bstr* text = nullptr;
            void* field = nullptr;
            size_t width = 0;
            switch (header.id) {
                case kTitle:
                    text = &title_;
                    break;
                case kMemo:
                    text = &memo_;
                    break;
                case kText5021:
                    text = &text5021_;
                    break;
                case kPrinterName:
                    text = &printerName_;
                    break;
                case kUnit:
                    field = &unit_, width = 2;
                    break;
                case kOnGrid:
                    field = &onGrid_, width = 4;
                    break;
                case kGridView:
                    field = &gridView_, width = 4;
                    break;
                case kGridInterval:
                    field = &gridInterval_, width = 4;
                    break;
                case kGridPitch:
                    field = &gridPitch_, width = 4;
                    break;
                case 5008:
                    field = &cpl_, width = 2;
                    break;
                case 5009:
                    field = &cpi_, width = 2;
                    break;
                case kPrinterSelectMode:
                    field = &selectMode_, width = 2;
                    break;
                case kPaperSize:
                    field = &paperCode_, width = 2;
                    break;
                case kPaperLength:
                    field = &paperLength_, width = 2;
                    break;
                case kPaperWidth:
                    field = &paperWidth_, width = 2;
                    break;
                case kPaperOrientation:
                    field = &orientation_, width = 2;
                    break;
                case kText5019:
                    field = text5019_, width = sizeof(text5019_);
                    break;
                case kFlag5020:
                    field = &flag5020_, width = 4;
                    break;
                case kValue5022:
                    field = &value5022_, width = 4;
                    break;
                case kDate5023:
                    field = &date5023_, width = 8;
                    break;
                case kValue5029:
                    field = &value5029_, width = 2;
                    break;
                case kValue5030:
                    field = &value5030_, width = 2;
                    break;
                case kValue5031:
                    field = &value5031_, width = 2;
                    break;
                case kValue5032:
                    field = &value5032_, width = 4;
                    break;
                default:
                    break;
            }
            if (text != nullptr) {
                Bstr value = nullptr;
                code = ReadTaggedString(stream, length, &value);
                if (code == 0) {
                    BstrFree(*text);
                    *text = value;
                }
                anyProperty = true;
            } else if (field != nullptr) {
                code = ReadTaggedField(stream, length, field, width);
                anyProperty = true;
            } else if (header.id == -1 && length == static_cast<int32_t>(kClassDescriptionSize)) {
                if (!anyProperty) {
                    // Nothing but the description: not a usable report element.
                    code = rc::kUnusableElement;
                    break;
                }
                code = ReadTaggedField(stream, length, block.data(), block.size());
                description = true;
            } else {
                code = SkipTaggedValue(stream, length);
            }
            if (code != 0) break;
        }
        // The text keeps its terminator whatever the file held.
        text5019_[kText5019Units - 1] = 0;
    }
    held.reset();
    if (code == 0 && !anyProperty) code = rc::kUnusableElement;
    if (code == 0 && description) {
        uint32_t major = 0, minor = 0;
        std::memcpy(&major, block.data() + kDescriptionMajorOffset, 4);
        std::memcpy(&minor, block.data() + kDescriptionMinorOffset, 4);
        if (major > kNewestVersion || minor > kNewestVersion) code = rc::kNewerFormat;
    }
    if (code != 0)
        return code == stream_code::kEndOfStream ? rc::kUnusableElement : MapContainerCode(code);
    {
        std::lock_guard guard(lock_);
        layers_.SetUnit(unit_);
        layers_.SetCharacterPitch(cpl_, cpi_);
    }
    code = layers_.Load(container, drawingOnly);
    if (code == stream_code::kEndOfStream) code = 0;
    return MapContainerCode(code);
}

// ---------------------------------------------------------------------------------------------
// Factories

namespace {

ScriptableObject* NewReport() {
    return new (std::nothrow) ReportObject();
}

int32_t AttachReport(ScriptableObject* report, ApplicationObject* app) {
    if (!IsReportObject(report)) return rc::kBadArgument;
    return static_cast<ReportObject*>(report)->AttachHost(app);
}

}  // namespace

void AddReportServices(EngineServices& services) {
    services.children.newReport = &NewReport;
    services.children.attachReport = &AttachReport;
}

}  // namespace kp
