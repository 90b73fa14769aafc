#include <array>
#include <new>

#include "reportctrl/controls.h"

namespace kpctrl {

namespace rc = kp::rc;

namespace {

struct ClassRow {
    InterfaceId classId;
    int32_t flags;
    uint16_t kind;
    kp::ControlHitTestFn hitTest;
};

// One row per control class, in the order of their class ids.
constexpr std::array<ClassRow, 4> kClasses{{
    {kp::ctrlclass::kLine, 0, kp::kPlacementLine, &HitTestLine},
    {kp::ctrlclass::kBox, 0, kp::kPlacementRect, &HitTestRect},
    {kp::ctrlclass::kText, 0, kp::kPlacementRect, &HitTestRect},
    {kp::ctrlclass::kGroup, kp::kControlFlagGroup, kp::kPlacementGroup, &HitTestRect},
}};

class ClassList;

class ClassEntry final : public kp::ControlClassEntry {
  public:
    ClassEntry(ClassList* owner, const ClassRow* row) : owner_(owner), row_(row) {}

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 0; }

    int32_t GetDescription(kp::ControlClassDescription* out) override {
        if (kp::SafeIsBadWritePtr(out, sizeof *out)) return rc::kBadPointer;
        out->classId = row_->classId;
        return rc::kOk;
    }
    int32_t GetDetails(kp::ControlClassDetails* out) override {
        if (kp::SafeIsBadWritePtr(out, sizeof *out)) return rc::kBadPointer;
        out->kind = row_->kind;
        out->hitTest = row_->hitTest;
        return rc::kOk;
    }

  private:
    ClassList* owner_;
    const ClassRow* row_;
};

// Lives as long as the library; AddRef and Release change nothing.
class ClassList final : public kp::ControlClassList {
  public:
    ClassList()
        : entries_{{{this, &kClasses[0]},
                    {this, &kClasses[1]},
                    {this, &kClasses[2]},
                    {this, &kClasses[3]}}} {}

    int32_t QueryInterface(const InterfaceId* iid, void** out) override {
        if (kp::SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
        *out = nullptr;
        if (kp::SafeIsBadReadPtr(iid, sizeof(InterfaceId))) return rc::kNotImplemented;
        if (plat::IsEqualInterfaceId(*iid, kp::iid::kBase) ||
            plat::IsEqualInterfaceId(*iid, kp::iid::kClassList)) {
            *out = static_cast<plat::Unknown*>(this);
            return rc::kOk;
        }
        return rc::kNotImplemented;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 0; }

    int32_t GetCount() override { return static_cast<int32_t>(kClasses.size()); }
    int32_t GetFlags(int32_t index) override {
        if (index < 0 || index >= GetCount()) return rc::kBadArgument;
        return kClasses[static_cast<size_t>(index)].flags;
    }
    int32_t GetEntry(int32_t index, kp::ControlClassEntry** out) override {
        if (index < 0 || index >= GetCount()) return rc::kBadArgument;
        if (kp::SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
        *out = &entries_[static_cast<size_t>(index)];
        return rc::kOk;
    }

  private:
    std::array<ClassEntry, 4> entries_;
};

int32_t ClassEntry::QueryInterface(const InterfaceId* iid, void** out) {
    if (kp::SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (kp::SafeIsBadReadPtr(iid, sizeof(InterfaceId))) return rc::kNotImplemented;
    if (plat::IsEqualInterfaceId(*iid, kp::iid::kClassEntry)) {
        *out = static_cast<plat::Unknown*>(this);
        return rc::kOk;
    }
    return owner_->QueryInterface(iid, out);
}

}  // namespace

kp::ControlClassList* GetControlClassList() {
    static ClassList list;
    return &list;
}

int32_t CreateControl(const InterfaceId* classId, const InterfaceId* iid, void** out) {
    if (kp::SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (kp::SafeIsBadReadPtr(classId, sizeof(InterfaceId)) ||
        kp::SafeIsBadReadPtr(iid, sizeof(InterfaceId))) {
        return rc::kBadPointer;
    }
    ReportControl* control = nullptr;
    if (plat::IsEqualInterfaceId(*classId, kp::ctrlclass::kText)) {
        control = new (std::nothrow) TextControl();
    } else if (plat::IsEqualInterfaceId(*classId, kp::ctrlclass::kLine)) {
        control = new (std::nothrow) ShapeControl(false);
    } else if (plat::IsEqualInterfaceId(*classId, kp::ctrlclass::kBox)) {
        control = new (std::nothrow) ShapeControl(true);
    } else if (plat::IsEqualInterfaceId(*classId, kp::ctrlclass::kGroup)) {
        control = new (std::nothrow) GroupControl();
    } else {
        return rc::kWrongClass;
    }
    if (control == nullptr) return rc::kOutOfMemory;
    const int32_t code = control->QueryInterface(iid, out);
    // The creation's own reference; on failure it is the last one and the control goes.
    control->Release();
    return code;
}

}  // namespace kpctrl
