#include "engine/preview/preview_object.h"

#include <new>

#include "engine/core/application.h"
#include "engine/output/printer_job.h"
#include "engine/preview/recorded_page_source.h"

namespace kp {

using plat::Variant;
using plat::VT_BOOL;
using plat::VT_BSTR;
using plat::VT_DISPATCH;
using plat::VT_EMPTY;
using plat::VT_I4;
using plat::VT_UI2;
using plat::VT_UI4;
using preview::PreviewCore;

const PropertyRow<PreviewCore> PreviewObject::kProperties[] = {
    {2001, VT_I4, &PreviewCore::GetWindowTop, &PreviewCore::PutWindowTop},
    {2002, VT_I4, &PreviewCore::GetWindowLeft, &PreviewCore::PutWindowLeft},
    {2003, VT_I4, &PreviewCore::GetWindowRight, &PreviewCore::PutWindowRight},
    {2004, VT_I4, &PreviewCore::GetWindowBottom, &PreviewCore::PutWindowBottom},
    {2005, VT_BOOL, &PreviewCore::GetWindowMax, &PreviewCore::PutWindowMax},
    {2006, VT_BOOL, &PreviewCore::GetWindowMin, &PreviewCore::PutWindowMin},
    {2007, VT_UI4, &PreviewCore::GetParentWindow, &PreviewCore::PutParentWindow},
    {2008, VT_UI2, &PreviewCore::GetStatus, nullptr},
    {2009, VT_UI4, &PreviewCore::GetPageCount, nullptr},
    {2010, VT_UI4, &PreviewCore::GetPage, &PreviewCore::PutPage},
    {2011, VT_UI4, &PreviewCore::GetTools, &PreviewCore::PutTools},
    {2012, VT_UI2, &PreviewCore::GetZoom, &PreviewCore::PutZoom},
    {2013, VT_BSTR, &PreviewCore::GetTitle, &PreviewCore::PutTitle},
    {2014, VT_BOOL, &PreviewCore::GetCancelButton, &PreviewCore::PutCancelButton},
    {2015, VT_BSTR, &PreviewCore::GetCancelMessage, &PreviewCore::PutCancelMessage},
    {2016, VT_BSTR, &PreviewCore::GetCancelDlgTitle, &PreviewCore::PutCancelDlgTitle},
    {2017, VT_UI4, &PreviewCore::GetReportIndexLevel, &PreviewCore::PutReportIndexLevel},
    {2018, VT_BSTR, &PreviewCore::GetReportIndexTitle, &PreviewCore::PutReportIndexTitle},
    {2019, VT_BOOL, &PreviewCore::GetFitToWindow, &PreviewCore::PutFitToWindow},
    {2020, VT_BOOL, &PreviewCore::GetIndexVisible, &PreviewCore::PutIndexVisible},
    {2021, VT_BOOL, &PreviewCore::GetStatusBarVisible, &PreviewCore::PutStatusBarVisible},
    {2022, VT_BOOL, &PreviewCore::GetToolBarVisible, &PreviewCore::PutToolBarVisible},
    {2023, VT_BOOL, &PreviewCore::GetTwoPages, &PreviewCore::PutTwoPages},
    {2024, VT_BOOL, &PreviewCore::GetTwoPagesVertical, &PreviewCore::PutTwoPagesVertical},
    {2025, VT_BOOL, &PreviewCore::GetClickZoom, &PreviewCore::PutClickZoom},
    {2026, VT_BOOL, &PreviewCore::GetLayerDisplay<0>, &PreviewCore::PutLayerDisplay<0>},
    {2027, VT_BOOL, &PreviewCore::GetLayerDisplay<1>, &PreviewCore::PutLayerDisplay<1>},
    {2028, VT_BOOL, &PreviewCore::GetLayerDisplay<2>, &PreviewCore::PutLayerDisplay<2>},
    {2029, VT_BOOL, &PreviewCore::GetLayerDisplay<3>, &PreviewCore::PutLayerDisplay<3>},
    {2030, VT_BOOL, &PreviewCore::GetLayerDisplay<4>, &PreviewCore::PutLayerDisplay<4>},
    {2031, VT_BOOL, &PreviewCore::GetLayerPrint<0>, &PreviewCore::PutLayerPrint<0>},
    {2032, VT_BOOL, &PreviewCore::GetLayerPrint<1>, &PreviewCore::PutLayerPrint<1>},
    {2033, VT_BOOL, &PreviewCore::GetLayerPrint<2>, &PreviewCore::PutLayerPrint<2>},
    {2034, VT_BOOL, &PreviewCore::GetLayerPrint<3>, &PreviewCore::PutLayerPrint<3>},
    {2035, VT_BOOL, &PreviewCore::GetLayerPrint<4>, &PreviewCore::PutLayerPrint<4>},
    {2036, VT_UI4, &PreviewCore::GetHwnd, nullptr},
};

const MethodRow<PreviewCore> PreviewObject::kMethods[] = {
    {12001, VT_EMPTY, 1, {VT_UI4}, &PreviewCore::OpenPreviewMember},
    {12002, VT_EMPTY, 0, {}, &PreviewCore::ClosePreviewMember},
    {12004, VT_EMPTY, 1, {VT_DISPATCH}, &PreviewCore::PrintMember},
    {12005, VT_EMPTY, 0, {}, &PreviewCore::ShowPrintingDialogMember},
    {12006, VT_EMPTY, 0, {}, &PreviewCore::HidePrintingDialogMember},
    {12007, VT_EMPTY, 0, {}, &PreviewCore::FitToParentMember},
    {12008, VT_EMPTY, 0, {}, &PreviewCore::RefreshMember},
    {12009, VT_EMPTY, 1, {VT_DISPATCH}, &PreviewCore::PrepareReportMember},
};

PreviewObject::PreviewObject()
    : signature_(static_cast<ScriptableObject*>(this), signature::kDisplay), core_(this, false) {}

PreviewObject::~PreviewObject() {
    if (app_ != nullptr) app_->UnregisterPreview(this);
}

int32_t PreviewObject::Initialize(ApplicationObject* app) {
    app_ = app;
    return core_.Initialize(app);
}

int32_t PreviewObject::QueryInterface(const InterfaceId* iid, void** out) {
    if (out == nullptr) return rc::kBadPointer;
    *out = nullptr;
    if (iid != nullptr && plat::IsEqualInterfaceId(*iid, iid::kPreview)) {
        *out = static_cast<plat::Unknown*>(this);
        AddRef();
        return rc::kOk;
    }
    if (app_ == nullptr) return rc::kNotReady;
    return app_->QueryInterface(iid, out);
}

int32_t PreviewObject::AddRef() {
    return app_ != nullptr ? app_->AddRef() : 1;
}

int32_t PreviewObject::Release() {
    return app_ != nullptr ? app_->Release() : 1;
}

int32_t PreviewObject::GetTypeInfo(ClassInfo** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (app_ == nullptr) return rc::kNotReady;
    return app_->Classes().ClassInfoQueryInterface(&iid::kPreview, out);
}

int32_t PreviewObject::Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                              Variant* result) {
    return GuardedCall([&]() -> int32_t {
        if (!CheckObjectSignature(static_cast<ScriptableObject*>(this), signature::kDisplay))
            return rc::kBadSignature;
        if (memberId == 12003 && kind == kInvokeMethod) {
            if (args != nullptr && args->count != 0) return rc::kBadArgument;
            if (SafeIsBadWritePtr(result, sizeof(Variant))) return rc::kBadPointer;
            // A sink running inside a member or a window handler must not free the object under it.
            if (core_.IsInUse()) return preview::code::kBusy;
            const uint16_t s = core_.state();
            if (s != preview::kStateIdle && s != preview::kStateConstructed) core_.ClosePreview();
            result->vt = VT_EMPTY;
            delete this;
            return rc::kOk;
        }
        PreviewCore::InUse use(core_);
        return DispatchMember<PreviewCore>(core_, kProperties, kMethods, memberId, kind, args,
                                           result);
    });
}

void PreviewObject::LockPages() {
    core_.lock().lock();
    core_.inUseAdd(1);
}

void PreviewObject::UnlockPages() {
    core_.inUseAdd(-1);
    core_.lock().unlock();
}

int32_t PreviewObject::PlayPage(uint32_t dc, int page) {
    return core_.PlayPage(dc, page, 0, 0);
}

namespace {

std::unique_ptr<PageSource> PreviewPageSource(ScriptableObject* object, uint32_t page) {
    return std::make_unique<preview::RecordedPageSource<PreviewObject>>(object, page,
                                                                        signature::kDisplay);
}

}  // namespace

ScriptableObject* NewPreview() {
    return new (std::nothrow) PreviewObject();
}

int32_t InitializePreview(ScriptableObject* preview, ApplicationObject* app) {
    auto* object = dynamic_cast<PreviewObject*>(preview);
    if (object == nullptr) return rc::kBadArgument;
    return object->Initialize(app);
}

void BindPreviewFactories() {
    ChildFactories f = GetChildFactories();
    f.newPreview = &NewPreview;
    f.initializePreview = &InitializePreview;
    SetChildFactories(f);
    RecordedPageAccess access = GetRecordedPageAccess();
    access.preview = &PreviewPageSource;
    SetRecordedPageAccess(access);
}

}  // namespace kp
