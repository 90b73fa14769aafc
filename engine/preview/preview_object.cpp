#include "engine/preview/preview_object.h"

#include <new>

#include "engine/core/application.h"
#include "engine/core/member_table.h"
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
    {KP_PROPERTY(PREVIEW, WINDOW_TOP), &PreviewCore::GetWindowTop, &PreviewCore::PutWindowTop},
    {KP_PROPERTY(PREVIEW, WINDOW_LEFT), &PreviewCore::GetWindowLeft, &PreviewCore::PutWindowLeft},
    {KP_PROPERTY(PREVIEW, WINDOW_RIGHT), &PreviewCore::GetWindowRight,
     &PreviewCore::PutWindowRight},
    {KP_PROPERTY(PREVIEW, WINDOW_BOTTOM), &PreviewCore::GetWindowBottom,
     &PreviewCore::PutWindowBottom},
    {KP_PROPERTY(PREVIEW, WINDOW_MAX), &PreviewCore::GetWindowMax, &PreviewCore::PutWindowMax},
    {KP_PROPERTY(PREVIEW, WINDOW_MIN), &PreviewCore::GetWindowMin, &PreviewCore::PutWindowMin},
    {KP_PROPERTY(PREVIEW, PARENT_WINDOW), &PreviewCore::GetParentWindow,
     &PreviewCore::PutParentWindow},
    {KP_PROPERTY(PREVIEW, STATUS), &PreviewCore::GetStatus, nullptr},
    {KP_PROPERTY(PREVIEW, PAGE_COUNT), &PreviewCore::GetPageCount, nullptr},
    {KP_PROPERTY(PREVIEW, PAGE), &PreviewCore::GetPage, &PreviewCore::PutPage},
    {KP_PROPERTY(PREVIEW, TOOLS), &PreviewCore::GetTools, &PreviewCore::PutTools},
    {KP_PROPERTY(PREVIEW, ZOOM), &PreviewCore::GetZoom, &PreviewCore::PutZoom},
    {KP_PROPERTY(PREVIEW, TITLE), &PreviewCore::GetTitle, &PreviewCore::PutTitle},
    {KP_PROPERTY(PREVIEW, CANCEL_BUTTON), &PreviewCore::GetCancelButton,
     &PreviewCore::PutCancelButton},
    {KP_PROPERTY(PREVIEW, CANCEL_MESSAGE), &PreviewCore::GetCancelMessage,
     &PreviewCore::PutCancelMessage},
    {KP_PROPERTY(PREVIEW, CANCEL_DLG_TITLE), &PreviewCore::GetCancelDlgTitle,
     &PreviewCore::PutCancelDlgTitle},
    {KP_PROPERTY(PREVIEW, REPORT_INDEX_LEVEL), &PreviewCore::GetReportIndexLevel,
     &PreviewCore::PutReportIndexLevel},
    {KP_PROPERTY(PREVIEW, REPORT_INDEX_TITLE), &PreviewCore::GetReportIndexTitle,
     &PreviewCore::PutReportIndexTitle},
    {KP_PROPERTY(PREVIEW, FIT_TO_WINDOW), &PreviewCore::GetFitToWindow,
     &PreviewCore::PutFitToWindow},
    {KP_PROPERTY(PREVIEW, INDEX_VISIBLE), &PreviewCore::GetIndexVisible,
     &PreviewCore::PutIndexVisible},
    {KP_PROPERTY(PREVIEW, STATUS_BAR_VISIBLE), &PreviewCore::GetStatusBarVisible,
     &PreviewCore::PutStatusBarVisible},
    {KP_PROPERTY(PREVIEW, TOOL_BAR_VISIBLE), &PreviewCore::GetToolBarVisible,
     &PreviewCore::PutToolBarVisible},
    {KP_PROPERTY(PREVIEW, TWO_PAGES), &PreviewCore::GetTwoPages, &PreviewCore::PutTwoPages},
    {KP_PROPERTY(PREVIEW, TWO_PAGES_VERTICAL), &PreviewCore::GetTwoPagesVertical,
     &PreviewCore::PutTwoPagesVertical},
    {KP_PROPERTY(PREVIEW, CLICK_ZOOM), &PreviewCore::GetClickZoom, &PreviewCore::PutClickZoom},
    {KP_PROPERTY(PREVIEW, LAYER_DISPLAY1), &PreviewCore::GetLayerDisplay<0>,
     &PreviewCore::PutLayerDisplay<0>},
    {KP_PROPERTY(PREVIEW, LAYER_DISPLAY2), &PreviewCore::GetLayerDisplay<1>,
     &PreviewCore::PutLayerDisplay<1>},
    {KP_PROPERTY(PREVIEW, LAYER_DISPLAY3), &PreviewCore::GetLayerDisplay<2>,
     &PreviewCore::PutLayerDisplay<2>},
    {KP_PROPERTY(PREVIEW, LAYER_DISPLAY4), &PreviewCore::GetLayerDisplay<3>,
     &PreviewCore::PutLayerDisplay<3>},
    {KP_PROPERTY(PREVIEW, LAYER_DISPLAY5), &PreviewCore::GetLayerDisplay<4>,
     &PreviewCore::PutLayerDisplay<4>},
    {KP_PROPERTY(PREVIEW, LAYER_PRINT1), &PreviewCore::GetLayerPrint<0>,
     &PreviewCore::PutLayerPrint<0>},
    {KP_PROPERTY(PREVIEW, LAYER_PRINT2), &PreviewCore::GetLayerPrint<1>,
     &PreviewCore::PutLayerPrint<1>},
    {KP_PROPERTY(PREVIEW, LAYER_PRINT3), &PreviewCore::GetLayerPrint<2>,
     &PreviewCore::PutLayerPrint<2>},
    {KP_PROPERTY(PREVIEW, LAYER_PRINT4), &PreviewCore::GetLayerPrint<3>,
     &PreviewCore::PutLayerPrint<3>},
    {KP_PROPERTY(PREVIEW, LAYER_PRINT5), &PreviewCore::GetLayerPrint<4>,
     &PreviewCore::PutLayerPrint<4>},
    {KP_PROPERTY(PREVIEW, HWND), &PreviewCore::GetHwnd, nullptr},
};

const MethodRow<PreviewCore> PreviewObject::kMethods[] = {
    {KP_METHOD(PREVIEW, OPEN_PREVIEW), &PreviewCore::OpenPreviewMember},
    {KP_METHOD(PREVIEW, CLOSE_PREVIEW), &PreviewCore::ClosePreviewMember},
    {KP_METHOD(PREVIEW, PRINT), &PreviewCore::PrintMember},
    {KP_METHOD(PREVIEW, SHOW_PRINTING_DIALOG), &PreviewCore::ShowPrintingDialogMember},
    {KP_METHOD(PREVIEW, HIDE_PRINTING_DIALOG), &PreviewCore::HidePrintingDialogMember},
    {KP_METHOD(PREVIEW, FIT_TO_PARENT), &PreviewCore::FitToParentMember},
    {KP_METHOD(PREVIEW, REFRESH), &PreviewCore::RefreshMember},
    {KP_METHOD(PREVIEW, PREPARE_REPORT), &PreviewCore::PrepareReportMember},
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
    // Every member of the public table has its row here (the ones Invoke takes itself aside).
    static_assert(std::size(kProperties) + std::size(kMethods) + 1 == KP_MEMBER_COUNT(PREVIEW));
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

void AddPreviewServices(EngineServices& services) {
    services.children.newPreview = &NewPreview;
    services.children.initializePreview = &InitializePreview;
    services.recordedPages.preview = &PreviewPageSource;
}

}  // namespace kp
