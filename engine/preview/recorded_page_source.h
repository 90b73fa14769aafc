// A page recorded in a preview or loaded in the viewer as the print loop takes it: the object's
// pages held still around the page, its paper from the page's record, and the page played with
// the object's print layers.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/core/object_signature.h"
#include "engine/output/printer_job.h"
#include "engine/preview/page_list.h"

namespace kp::preview {

// Owner needs LockPages(), UnlockPages(), PageRecord(n, record) and PlayPage(dc, n).
template <class Owner>
class RecordedPageSource final : public PageSource {
  public:
    RecordedPageSource(ScriptableObject* object, uint32_t page, std::string_view signature)
        : object_(object), page_(page), signature_(signature) {}
    int32_t Check() override {
        if (!CheckObjectSignature(object_, signature_)) return rc::kBadArgument;
        owner_ = static_cast<Owner*>(object_);
        return rc::kOk;
    }
    void Lock() override { owner_->LockPages(); }
    void Unlock() override { owner_->UnlockPages(); }
    bool Paper(int16_t* code, int32_t* width, int32_t* length, int16_t* orientation) override {
        if (page_ > static_cast<uint32_t>(INT32_MAX)) return false;
        PreviewPageRecord record;
        if (owner_->PageRecord(static_cast<int>(page_), &record) != 0) return false;
        *code = record.paperSize;
        *width = record.paperWidth;
        *length = record.paperLength;
        *orientation = record.orientation;
        return true;
    }
    int32_t PaperError() const override { return -13001; }
    bool IsReport() const override { return false; }
    int32_t Draw(plat::DeviceContext* dc) override {
        return owner_->PlayPage(dc->handle(), static_cast<int>(page_));
    }

  private:
    ScriptableObject* object_;
    uint32_t page_;
    std::string_view signature_;
    Owner* owner_ = nullptr;
};

}  // namespace kp::preview
