// The live print preview a host creates through the application: window settings, pages
// recorded from reports one at a time, the preview window over them, and the page access the
// printer job uses to print them.
#pragma once

#include <cstdint>

#include "engine/core/object_signature.h"
#include "engine/core/scriptable.h"
#include "engine/preview/preview_core.h"

namespace kp {

class PreviewObject final : public ScriptableObject {
  public:
    PreviewObject();
    ~PreviewObject() override;
    PreviewObject(const PreviewObject&) = delete;
    PreviewObject& operator=(const PreviewObject&) = delete;

    int32_t Initialize(ApplicationObject* app);

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    int32_t GetTypeInfo(ClassInfo** out) override;
    int32_t Reserved(void*, void*) override { return rc::kNotReady; }
    int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                   plat::Variant* result) override;

    preview::PreviewCore& core() { return core_; }

    // The printer job's access while it prints pages: the lock with the in-use flag, the page
    // count and paper of a page, and a page played onto the printer's context.
    void LockPages();
    void UnlockPages();
    int32_t PlayPage(uint32_t dc, int page);
    int32_t PageRecord(int page, preview::PreviewPageRecord* record) {
        return core_.pages().Get(page, record);
    }

  private:

    static const PropertyRow<preview::PreviewCore> kProperties[];
    static const MethodRow<preview::PreviewCore> kMethods[];

    ObjectSignature signature_;
    ApplicationObject* app_ = nullptr;
    preview::PreviewCore core_;
};

// The ChildFactories entries of previews, and the print loop's reach into their recorded pages.
ScriptableObject* NewPreview();
int32_t InitializePreview(ScriptableObject* preview, ApplicationObject* app);
void AddPreviewServices(EngineServices& services);

}  // namespace kp
