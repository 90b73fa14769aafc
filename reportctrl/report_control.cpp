#include <algorithm>
#include <cmath>
#include <new>

#include "reportctrl/controls.h"
#include "reportctrl/drawing.h"

namespace kpctrl {

namespace rc = kp::rc;

ReportControl::ReportControl(const InterfaceId& classId, uint16_t classCode,
                             std::u16string_view name)
    : classId_(classId), classCode_(classCode), name_(name) {}

ReportControl::~ReportControl() {
    if (site_ != nullptr) site_->Release();
}

int32_t ReportControl::QueryInterface(const InterfaceId* iid, void** out) {
    if (kp::SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (kp::SafeIsBadReadPtr(iid, sizeof(InterfaceId))) return rc::kBadPointer;
    plat::Unknown* found = nullptr;
    if (plat::IsEqualInterfaceId(*iid, classId_) ||
        plat::IsEqualInterfaceId(*iid, kp::iid::kBase)) {
        found = static_cast<kp::ScriptableObject*>(this);
    } else if (plat::IsEqualInterfaceId(*iid, kp::iid::kSiteHolder)) {
        found = static_cast<kp::ControlSiteHolder*>(this);
    } else if (plat::IsEqualInterfaceId(*iid, kp::iid::kControlDraw)) {
        found = static_cast<kp::ControlDraw*>(this);
    } else if (plat::IsEqualInterfaceId(*iid, kp::iid::kControlPersist)) {
        found = static_cast<kp::ControlPersist*>(this);
    } else {
        return rc::kNotImplemented;
    }
    AddRef();
    *out = found;
    return rc::kOk;
}

int32_t ReportControl::AddRef() {
    return ++refs_;
}

int32_t ReportControl::Release() {
    const int32_t left = --refs_;
    if (left == 0) delete this;
    return left;
}

int32_t ReportControl::GetTypeInfo(kp::ClassInfo** out) {
    if (kp::SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    return rc::kNotImplemented;
}

int32_t ReportControl::Invoke(int32_t memberId, int32_t kind, const kp::InvokeArgs* args,
                              plat::Variant* result) {
    return kp::GuardedCall([&]() -> int32_t {
        std::lock_guard guard(lock_);
        return InvokeMember(memberId, kind, args, result);
    });
}

int32_t ReportControl::SetSite(kp::ControlSite* site) {
    kp::ControlSite* old = nullptr;
    {
        std::lock_guard guard(lock_);
        if (site != nullptr) site->AddRef();
        old = site_;
        site_ = site;
    }
    // The site's references reach up to the engine's objects: drop the old one unlocked.
    if (old != nullptr) old->Release();
    return rc::kOk;
}

int32_t ReportControl::SetState(int32_t state) {
    if (state != kp::kStateSoleSelected && state != kp::kStateNotSoleSelected) {
        return rc::kBadArgument;
    }
    std::lock_guard guard(lock_);
    state_ = state;
    return rc::kOk;
}

int32_t ReportControl::state() const {
    std::lock_guard guard(lock_);
    return state_;
}

int32_t ReportControl::SetRect(const RectL* rect) {
    if (kp::SafeIsBadReadPtr(rect, sizeof(RectL))) return rc::kBadPointer;
    std::lock_guard guard(lock_);
    rect_ = *rect;
    return rc::kOk;
}

int32_t ReportControl::GetRect(RectL* out) {
    if (kp::SafeIsBadWritePtr(out, sizeof(RectL))) return rc::kBadPointer;
    std::lock_guard guard(lock_);
    *out = rect_;
    return rc::kOk;
}

int32_t ReportControl::SetName(const plat::OleChar* name) {
    if (kp::SafeIsBadReadPtr(name, sizeof(plat::OleChar))) return rc::kBadPointer;
    std::u16string copy(name, plat::WideLen(name));
    std::lock_guard guard(lock_);
    name_ = std::move(copy);
    return rc::kOk;
}

int32_t ReportControl::GetName(plat::Bstr* out) {
    if (kp::SafeIsBadWritePtr(out, sizeof(plat::Bstr))) return rc::kBadPointer;
    std::lock_guard guard(lock_);
    *out = plat::BstrAllocView(name_);
    return *out != nullptr ? rc::kOk : rc::kOutOfMemory;
}

int32_t ReportControl::ClearData() {
    std::lock_guard guard(lock_);
    ClearContent();
    return rc::kOk;
}

int32_t ReportControl::Invalidate(int32_t /*how*/) {
    return rc::kOk;
}

int32_t ReportControl::Draw(uint32_t drawDc, uint32_t attributeDc, const RectL* /*clip*/,
                            int32_t /*inheritState*/, uint32_t flags) {
    // The selection pass marks selected objects for a layout editor; there is none here.
    if ((flags & kp::kDrawSelectionPass) != 0) return rc::kOk;
    RectL rect{};
    kp::ControlSite* site = nullptr;
    {
        std::lock_guard guard(lock_);
        rect = rect_;
        site = site_;
        if (site != nullptr) site->AddRef();
    }
    if (site == nullptr) return rc::kNotReady;
    const int32_t converted = site->ConvertRect(kp::kConvertToInternal, &rect);
    site->Release();
    if (converted != rc::kOk) return converted;
    if ((flags & kp::kDrawMeasureOnly) != 0) return Measure(drawDc, attributeDc, flags);
    if (drawDc == 0) return rc::kBadArgument;

    DrawRequest request{};
    request.drawDc = drawDc;
    request.attributeDc = attributeDc;
    request.metricDc = attributeDc != 0 ? attributeDc : drawDc;
    request.flags = flags;
    if (!DeviceDotsPerInch(request.metricDc, &request.dpiX, &request.dpiY)) {
        return rc::kBadArgument;
    }
    request.pixels = {
        InternalToPixels(rect.left, request.dpiX), InternalToPixels(rect.top, request.dpiY),
        InternalToPixels(rect.right, request.dpiX), InternalToPixels(rect.bottom, request.dpiY)};
    return DrawContent(request);
}

int32_t ReportControl::InitNew() {
    std::lock_guard guard(lock_);
    ResetData();
    return rc::kOk;
}

std::vector<uint8_t> ReportControl::Encode() const {
    RecordWriter records;
    WriteRecords(&records);
    return EncodeControlData(classCode_, records);
}

int32_t ReportControl::Load(kp::EngineStream* stream) {
    if (kp::IsBadInterfacePtr(stream)) return rc::kBadPointer;
    std::vector<uint8_t> body;
    if (const int32_t code = ReadControlData(stream, classCode_, &body); code != 0) return code;
    std::lock_guard guard(lock_);
    return ReadRecords(body);
}

int32_t ReportControl::Save(kp::EngineStream* stream) {
    if (kp::IsBadInterfacePtr(stream)) return rc::kBadPointer;
    std::vector<uint8_t> bytes;
    {
        std::lock_guard guard(lock_);
        bytes = Encode();
    }
    return WriteAll(stream, bytes);
}

int32_t ReportControl::GetDataSize(uint32_t* out) {
    if (kp::SafeIsBadWritePtr(out, sizeof(uint32_t))) return rc::kBadPointer;
    std::lock_guard guard(lock_);
    *out = static_cast<uint32_t>(Encode().size());
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// Hit tests

int32_t HitTestRect(const RectL& rect, int32_t x, int32_t y) {
    const int32_t left = std::min(rect.left, rect.right);
    const int32_t right = std::max(rect.left, rect.right);
    const int32_t top = std::min(rect.top, rect.bottom);
    const int32_t bottom = std::max(rect.top, rect.bottom);
    // Edges count as inside, so that a rectangle of no width (a rule drawn as a box) is hit.
    return x >= left && x <= right && y >= top && y <= bottom ? 1 : 0;
}

int32_t HitTestLine(const RectL& rect, int32_t x, int32_t y) {
    // The line runs from the rectangle's left-top corner to its right-bottom corner as given.
    const double ax = rect.left, ay = rect.top;
    const double dx = static_cast<double>(rect.right) - ax;
    const double dy = static_cast<double>(rect.bottom) - ay;
    const double px = x - ax, py = y - ay;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? (px * dx + py * dy) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = px - t * dx, ey = py - t * dy;
    return std::sqrt(ex * ex + ey * ey) <= kLineHitTolerance ? 1 : 0;
}

}  // namespace kpctrl
