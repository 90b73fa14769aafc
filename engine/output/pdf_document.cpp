#include "engine/output/pdf_document.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/core/application.h"
#include "engine/core/class_info.h"
#include "engine/core/object_signature.h"
#include "engine/core/units.h"
#include "engine/output/pdf_translate.h"
#include "platform/gdi/emf_recorder.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/handles.h"

namespace kp {

using namespace pdf_code;
using plat::Variant;

namespace {

struct CodeRange {
    char32_t first;
    char32_t last;
};
// Unicode 15.0 East Asian Width F and W (EastAsianWidth.txt): what the system's character
// typing calls full-width.
constexpr CodeRange kFullWidth[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x2E99},
    {0x2E9B, 0x2EF3},   {0x2F00, 0x2FD5},   {0x2FF0, 0x2FFB},   {0x3000, 0x303E},
    {0x3041, 0x3096},   {0x3099, 0x30FF},   {0x3105, 0x312F},   {0x3131, 0x318E},
    {0x3190, 0x31E3},   {0x31F0, 0x321E},   {0x3220, 0x3247},   {0x3250, 0x4DBF},
    {0x4E00, 0xA48C},   {0xA490, 0xA4C6},   {0xA960, 0xA97C},   {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE52},   {0xFE54, 0xFE66},
    {0xFE68, 0xFE6B},   {0xFF01, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x16FF0, 0x16FF1}, {0x17000, 0x187F7}, {0x18800, 0x18CD5}, {0x18D00, 0x18D08},
    {0x1AFF0, 0x1AFF3}, {0x1AFF5, 0x1AFFB}, {0x1AFFD, 0x1AFFE}, {0x1B000, 0x1B122},
    {0x1B132, 0x1B132}, {0x1B150, 0x1B152}, {0x1B155, 0x1B155}, {0x1B164, 0x1B167},
    {0x1B170, 0x1B2FB}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F202}, {0x1F210, 0x1F23B}, {0x1F240, 0x1F248},
    {0x1F250, 0x1F251}, {0x1F260, 0x1F265}, {0x1F300, 0x1F320}, {0x1F32D, 0x1F335},
    {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3},
    {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440},
    {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567},
    {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F},
    {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7},
    {0x1F6DC, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB},
    {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF},
    {0x1FA70, 0x1FA7C}, {0x1FA80, 0x1FA88}, {0x1FA90, 0x1FABD}, {0x1FABF, 0x1FAC5},
    {0x1FACE, 0x1FADB}, {0x1FAE0, 0x1FAE8}, {0x1FAF0, 0x1FAF8}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
};

bool IsFullWidth(char32_t c) {
    auto it = std::upper_bound(std::begin(kFullWidth), std::end(kFullWidth), c,
                               [](char32_t v, const CodeRange& r) { return v < r.first; });
    return it != std::begin(kFullWidth) && c <= (it - 1)->last;
}

bool HasFullWidth(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (IsFullWidth(c)) return true;
    }
    return false;
}

std::u16string TextOf(const Variant& v) {
    return v.bstrVal != nullptr ? std::u16string(plat::BstrView(v.bstrVal)) : std::u16string();
}

// Pixels of a length in 0.1 mm at dpi, rounded half up.
int32_t Pixels(int32_t tenthMm, int32_t dpi) {
    return int32_t(std::floor(double(tenthMm) * dpi / 254.0 + 0.5));
}

// Whatever happens in a page, the state, the report's use and the clip go back.
class PageGuard {
  public:
    PageGuard(int16_t& state, ScriptableObject* report, const PdfReportAccess& access)
        : state_(state), report_(report), access_(access) {
        state_ = PdfDocumentObject::kAddingPage;
        if (access_.use) access_.use(report_, +1);
    }
    ~PageGuard() {
        state_ = PdfDocumentObject::kOpen;
        if (access_.use) access_.use(report_, -1);
    }
    PageGuard(const PageGuard&) = delete;
    PageGuard& operator=(const PageGuard&) = delete;

  private:
    int16_t& state_;
    ScriptableObject* report_;
    const PdfReportAccess& access_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

PdfDocumentObject::PdfDocumentObject(ApplicationObject* owner)
    : PdfDocumentObject(owner,
                        owner != nullptr ? owner->Services().pdfReports : PdfReportAccess{}) {}

PdfDocumentObject::PdfDocumentObject(ApplicationObject* owner, const PdfReportAccess& reports)
    : owner_(owner), reports_(reports) {}

PdfDocumentObject::~PdfDocumentObject() {
    if (owner_ != nullptr) owner_->UnregisterPdfDocument(this);
}

int32_t PdfDocumentObject::QueryInterface(const InterfaceId* iid, void** out) {
    if (out == nullptr) return rc::kBadPointer;
    *out = nullptr;
    if (owner_ == nullptr) return rc::kNotReady;
    return owner_->QueryInterface(iid, out);
}

int32_t PdfDocumentObject::AddRef() {
    std::lock_guard guard(lock_);
    return ++refs_;
}

int32_t PdfDocumentObject::Release() {
    int32_t left;
    {
        std::lock_guard guard(lock_);
        left = --refs_;
    }
    if (left > 0) return left;
    delete this;
    return 0;
}

// The document has no class information of its own; it answers with the printer job's.
int32_t PdfDocumentObject::GetTypeInfo(ClassInfo** out) {
    if (owner_ == nullptr) return rc::kNotReady;
    return owner_->Classes().ClassInfoQueryInterface(&iid::kPrinterJob, out);
}

int32_t PdfDocumentObject::Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                                  Variant* result) {
    return GuardedCall([&]() -> int32_t {
        std::span<const Variant> given;
        if (args != nullptr && args->count != 0) {
            if (SafeIsBadReadPtr(args->args, sizeof(Variant) * args->count)) return rc::kBadPointer;
            given = {args->args, args->count};
        }
        if (SafeIsBadWritePtr(result, sizeof(Variant))) return rc::kBadPointer;
        if (kind != kInvokeMethod && kind != kInvokeGet && kind != kInvokePut) {
            return rc::kBadArgument;
        }

        if (kind == kInvokeMethod) {
            auto type = [&](size_t i) { return given[i].vt; };
            switch (memberId) {
                case kPdfRelease:
                    if (!given.empty()) return rc::kBadArgument;
                    result->vt = plat::VT_NULL;
                    // Destroyed outside its own lock.
                    delete this;
                    return rc::kOk;
                case kPdfOpen:
                    if (given.size() != 2 || type(0) != plat::VT_BSTR || type(1) != plat::VT_BOOL) {
                        return rc::kBadArgument;
                    }
                    result->vt = plat::VT_NULL;
                    return PdfOpen(given[0].bstrVal, given[1].boolVal != 0);
                case kPdfClose:
                    if (!given.empty()) return rc::kBadArgument;
                    result->vt = plat::VT_NULL;
                    return PdfClose();
                case kPdfAddPage:
                    if (given.size() != 2 || type(0) != plat::VT_DISPATCH ||
                        type(1) != plat::VT_DISPATCH) {
                        return rc::kBadArgument;
                    }
                    result->vt = plat::VT_NULL;
                    return PdfAddPage(static_cast<ScriptableObject*>(given[0].pdispVal),
                                      static_cast<ScriptableObject*>(given[1].pdispVal));
                default:
                    return rc::kUnknownMember;
            }
        }

        std::lock_guard guard(lock_);
        const Variant* argument = nullptr;
        if (kind == kInvokePut) {
            if (given.size() != 1) return rc::kBadArgument;
            argument = &given[0];
        }
        if (memberId == kState) {
            if (kind == kInvokePut) return rc::kUnknownMember;
            result->vt = plat::VT_I2;
            result->iVal = state_;
            return rc::kOk;
        }
        if (memberId >= kCreator && memberId <= kKeywords) {
            const int index = memberId - kCreator;
            return kind == kInvokeGet ? GetText(index, result) : PutText(index, *argument);
        }
        if (memberId == kText506) return Member506(kind, argument, result);
        if (memberId >= kFirstSwitch && memberId <= kLastSwitch) {
            bool& on = switches_[size_t(memberId - kFirstSwitch)];
            if (kind == kInvokeGet) {
                result->vt = plat::VT_BOOL;
                result->boolVal = on ? 1 : 0;
                return rc::kOk;
            }
            if (argument->vt != plat::VT_BOOL) return rc::kBadArgument;
            if (state_ != kIdle) return kNotIdle;
            on = argument->boolVal != 0;
            return rc::kOk;
        }
        if (memberId == kMode517) {
            if (kind == kInvokeGet) {
                result->vt = plat::VT_UI1;
                result->bVal = mode517_;
                return rc::kOk;
            }
            if (argument->vt != plat::VT_UI2) return rc::kBadArgument;
            if (state_ != kIdle) return kNotIdle;
            if (argument->uiVal > 2) return rc::kOutOfRange;
            mode517_ = uint8_t(argument->uiVal);
            return rc::kOk;
        }
        if (memberId == kText518 || memberId == kText519) {
            return Member518(memberId - kText518, kind, argument, result);
        }
        return rc::kUnknownMember;
    });
}

int32_t PdfDocumentObject::GetText(int index, Variant* result) {
    result->vt = plat::VT_BSTR;
    result->bstrVal = nullptr;
    if (texts_[size_t(index)].empty()) return rc::kOk;
    result->bstrVal = plat::BstrAllocView(texts_[size_t(index)]);
    return result->bstrVal != nullptr ? rc::kOk : rc::kOutOfMemory;
}

int32_t PdfDocumentObject::PutText(int index, const Variant& argument) {
    if (argument.vt != plat::VT_BSTR) return rc::kBadArgument;
    try {
        texts_[size_t(index)] = TextOf(argument);
    } catch (const std::bad_alloc&) {
        return rc::kOutOfMemory;
    }
    return rc::kOk;
}

// Members 506 to 519 are kept and read back; nothing of them reaches the file.
int32_t PdfDocumentObject::Member506(int32_t kind, const Variant* argument, Variant* result) {
    if (kind == kInvokeGet) {
        result->vt = plat::VT_BSTR;
        result->bstrVal = text506_.empty() ? nullptr : plat::BstrAllocView(text506_);
        return text506_.empty() || result->bstrVal != nullptr ? rc::kOk : kTextCopyFailed;
    }
    if (argument->vt != plat::VT_BSTR) return rc::kBadArgument;
    if (state_ != kIdle) return kNotIdle;
    try {
        text506_ = TextOf(*argument);
    } catch (const std::bad_alloc&) {
        return kTextAllocFailed;
    }
    return rc::kOk;
}

int32_t PdfDocumentObject::Member518(int index, int32_t kind, const Variant* argument,
                                     Variant* result) {
    auto& text = text518_[size_t(index)];
    if (kind == kInvokeGet) {
        result->vt = plat::VT_BSTR;
        result->bstrVal = nullptr;
        if (text == nullptr || text->empty()) return rc::kOk;
        result->bstrVal = plat::BstrAllocView(*text);
        return result->bstrVal != nullptr ? rc::kOk : kTextCopyFailed;
    }
    if (argument->vt != plat::VT_BSTR) return rc::kBadArgument;
    if (state_ != kIdle) return kNotIdle;
    const std::u16string value = TextOf(*argument);
    if (HasFullWidth(value)) return rc::kBadArgument;
    try {
        text = std::make_shared<const std::u16string>(value);
    } catch (const std::bad_alloc&) {
        return kTextAllocFailed;
    }
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------

int32_t PdfDocumentObject::PdfOpen(const plat::OleChar* path, bool overwrite) {
    std::lock_guard guard(lock_);
    if (state_ != kIdle) return kWrongState;
    const std::u16string_view wide = path != nullptr ? plat::BstrView(path) : std::u16string_view();
    if (wide.empty()) return kEmptyPath;
    if (int rc = writer_.AllocateTables(); rc != kOk) return rc;
    fonts_.Clear();
    // File paths are UTF-8 here.
    std::string file;
    if (!plat::Utf8FromWide(wide, &file)) {
        writer_.FreeTables();
        return kNoAnsiPath;
    }
    const int rc = writer_.CreateFile(file, overwrite);
    if (rc != kOk) {
        writer_.FreeTables();
        return rc;
    }
    state_ = kOpen;
    return kOk;
}

int32_t PdfDocumentObject::PdfClose() {
    std::lock_guard guard(lock_);
    if (state_ == kAddingPage) return kPageBeingAdded;
    if (!writer_.IsOpen()) return kPosition;
    const std::u16string* texts[5];
    for (size_t i = 0; i < 5; ++i) texts[i] = &texts_[i];
    const int rc = writer_.FinishFile(texts, fonts_);
    writer_.FreeTables();
    fonts_.Clear();
    state_ = kIdle;
    return rc;
}

int32_t PdfDocumentObject::ReferenceDc(ScriptableObject* job, plat::DeviceContext** dc,
                                       std::unique_ptr<plat::DeviceContext>& screen) {
    if (job == nullptr) {
        try {
            screen = std::make_unique<plat::InfoDc>(plat::DeviceInfo::Screen());
        } catch (const std::bad_alloc&) {
            return kNoScreenDc;
        }
        *dc = screen.get();
        return kOk;
    }
    // The job's device context is its member 1035.
    Variant value{};
    const int32_t rc = job->Invoke(kPrinterJobDcMember, kInvokeGet, nullptr, &value);
    if (rc != kOk) {
        plat::VariantClear(&value);
        return rc;
    }
    if (value.vt != plat::VT_I4 && value.vt != plat::VT_UI4) {
        // An answer of another type may own memory (a string): give it back.
        plat::VariantClear(&value);
        return kJobUnreadable;
    }
    *dc = plat::DcFromHandle(plat::HDC(value.ulVal));
    return *dc != nullptr ? kOk : rc::kNotReady;
}

int32_t PdfDocumentObject::PdfAddPage(ScriptableObject* job, ScriptableObject* report) {
    std::lock_guard guard(lock_);
    if (state_ != kOpen) return kWrongState;
    if (!CheckObjectSignature(report, signature::kReport)) return rc::kBadArgument;
    const PdfReportAccess& access = reports_;
    if (access.paper == nullptr || access.draw == nullptr) return rc::kNotImplemented;

    plat::DeviceContext* reference = nullptr;
    std::unique_ptr<plat::DeviceContext> screen;
    if (int32_t rc = ReferenceDc(job, &reference, screen); rc != kOk) return rc;

    PageGuard page(state_, report, access);
    int32_t paperWidth = 0, paperLength = 0, orientation = 0;
    if (access.paper(report, &paperWidth, &paperLength, &orientation) != kOk) {
        return kPaperUnreadable;
    }
    const int32_t width = orientation == 1 ? paperWidth : paperLength;
    const int32_t height = orientation == 1 ? paperLength : paperWidth;

    int32_t dpiX = 96, dpiY = 96;
    GetDeviceDotsPerInch(DeviceMetricsOf(*reference), &dpiX, &dpiY);
    const int32_t pixelWidth = Pixels(width, dpiX), pixelHeight = Pixels(height, dpiY);
    plat::GdiObject clip(plat::CreateRectRgn(0, 0, pixelWidth, pixelHeight));

    std::vector<uint8_t> metafile;
    {
        std::lock_guard drawing(owner_ != nullptr ? owner_->DrawingLock() : lock_);
        plat::POINT corners[2] = {{0, 0}, {width * 10, height * 10}};
        reference->DPtoLP(corners);
        const plat::RECT frame{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
        plat::EmfRecorder recorder(reference->device(), frame, u"KelvaprintV3.0");
        recorder.SetMapMode(plat::kMmIsotropic);
        recorder.SetWindowOrgEx(0, 0);
        recorder.SetViewportOrgEx(0, 0);
        recorder.SetWindowExtEx(1, 1);
        recorder.SetViewportExtEx(1, 1);
        recorder.SelectClipRgn(clip.get());
        clip.reset();
        const int32_t drawn = access.draw(report, &recorder, reference,
                                          plat::RECT{0, 0, pixelWidth, pixelHeight}, kPdfDrawFlags);
        recorder.SelectClipRgn(0);
        metafile = recorder.Close();
        if (drawn != kOk) return drawn;
    }
    if (metafile.empty()) return kMetafile;
    return ConvertMetafilePage(writer_, fonts_, metafile, width * 10, height * 10);
}

// ---------------------------------------------------------------------------------------------

ScriptableObject* NewPdfDocument(ApplicationObject* owner) {
    return new (std::nothrow) PdfDocumentObject(owner);
}

void AddPdfDocumentServices(EngineServices& services) {
    services.children.newPdfDocument = &NewPdfDocument;
}

}  // namespace kp
