#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "engine/core/application.h"
#include "engine/core/container.h"
#include "engine/core/font_usage.h"
#include "engine/core/member_table.h"
#include "engine/core/module.h"
#include "engine/core/report.h"
#include "engine/core/units.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/handles.h"

namespace kp {

using namespace plat;

namespace {

constexpr char16_t kListStem[] = u"KPOBJECTS30";
constexpr char16_t kObjectStem[] = u"KPOBJECT30";
constexpr int32_t kRectLimit = 20000000;
// Groups nest this deep at most when loading, well past any layout, so that a crafted file
// cannot exhaust the stack.
constexpr uint16_t kMaxLoadDepth = 1024;
// What ItemObject::Draw answers when its control threw; the collection ends its pass on it.
constexpr int32_t kControlThrew = INT32_MIN;

std::u16string ElementName(const char16_t* stem, int number) {
    std::string narrow;
    for (const char16_t* p = stem; *p; ++p) narrow.push_back(static_cast<char>(*p));
    char name[32];
    std::snprintf(name, sizeof(name), "%s-%d", narrow.c_str(), number);
    return std::u16string(name, name + std::char_traits<char>::length(name));
}

int32_t ToPixels(int32_t internal, int32_t dpi) {
    const double v = std::round(internal * static_cast<double>(dpi) * 3.937007874015748e-6);
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

bool Inside(const RectL& r, const RectL& container) {
    return r.left >= container.left && r.right <= container.right && r.top >= container.top &&
           r.bottom <= container.bottom;
}

Variant ByRef(VarType type, void* pointer) {
    Variant v{};
    v.vt = static_cast<VarType>(VT_BYREF | type);
    v.byref = pointer;
    return v;
}

void Erase(std::vector<ItemObject*>& list, ItemObject* object) {
    list.erase(std::remove(list.begin(), list.end(), object), list.end());
}

// The 43-byte mark before and after an object's drawing.
std::array<uint8_t, kMarkCommentSize> ObjectComment(uint32_t kind, uint16_t chunks,
                                                    const InterfaceId& classId, uint16_t unit,
                                                    uint16_t cpl, uint16_t cpi, const RectL& rect,
                                                    uint32_t size) {
    std::array<uint8_t, kMarkCommentSize> c{};
    std::memcpy(c.data(), &kind, 4);
    std::memcpy(c.data() + 4, &chunks, 2);
    std::memcpy(c.data() + 8, &classId, 8);
    std::memcpy(c.data() + 16, &unit, 2);
    std::memcpy(c.data() + 18, &cpl, 2);
    std::memcpy(c.data() + 20, &cpi, 2);
    std::memcpy(c.data() + 22, &rect, 16);
    std::memcpy(c.data() + 38, &size, 4);
    return c;
}

int32_t WriteObjectHeader(EngineStream* stream, uint16_t depth, int32_t id, int32_t length) {
    std::array<uint8_t, 12> header{};
    std::memcpy(header.data(), &depth, 2);
    std::memcpy(header.data() + 4, &id, 4);
    std::memcpy(header.data() + 8, &length, 4);
    uint32_t written = 0;
    const int32_t code = stream->Write(header.data(), 12, &written);
    if (code != 0) return code;
    return written == 12 ? 0 : rc::kControlSaveFailed;
}

template <class T>
int32_t WriteObjectRecord(EngineStream* stream, uint16_t depth, int32_t id, const T& value) {
    if (int32_t code = WriteObjectHeader(stream, depth, id, sizeof(T)); code != 0) return code;
    uint32_t written = 0;
    const int32_t code = stream->Write(&value, sizeof(T), &written);
    if (code != 0) return code;
    return written == sizeof(T) ? 0 : rc::kControlSaveFailed;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// ItemObject: life and attach

const PropertyRow<ItemObject> ItemObject::kProperties[] = {
    {KP_PROPERTY(DRAWING_OBJECT, DRAW_OBJECT), &ItemObject::GetDrawObject, nullptr},
    {KP_PROPERTY(DRAWING_OBJECT, NAME), &ItemObject::GetName, &ItemObject::PutName},
    {KP_PROPERTY(DRAWING_OBJECT, VISIBLE), &ItemObject::GetVisible, &ItemObject::PutVisible},
    {KP_PROPERTY(DRAWING_OBJECT, TOP), &ItemObject::GetTop, &ItemObject::PutTop},
    {KP_PROPERTY(DRAWING_OBJECT, LEFT), &ItemObject::GetLeft, &ItemObject::PutLeft},
    {KP_PROPERTY(DRAWING_OBJECT, BOTOOM), &ItemObject::GetBottom, &ItemObject::PutBottom},
    {KP_PROPERTY(DRAWING_OBJECT, RIGHT), &ItemObject::GetRight, &ItemObject::PutRight},
    {KP_PROPERTY(DRAWING_OBJECT, SELECTED), &ItemObject::GetSelected, &ItemObject::PutSelected},
    {KP_PROPERTY(DRAWING_OBJECT, VALUE9009), &ItemObject::Get9009, &ItemObject::Put9009},
};

const MethodRow<ItemObject> ItemObject::kMethods[] = {
    {KP_METHOD(DRAWING_OBJECT, CLOSE), &ItemObject::CloseMember},
    {KP_METHOD(DRAWING_OBJECT, CLEAR_DATA), &ItemObject::ClearDataMember},
    {KP_METHOD(DRAWING_OBJECT, CHANGE_Z_ORDER), &ItemObject::ChangeZOrderMember},
    {KP_METHOD(DRAWING_OBJECT, IS_INSIDE_CONTAINER), &ItemObject::IsInsideContainerMember},
    {KP_METHOD(DRAWING_OBJECT, REDRAW), &ItemObject::RedrawMember},
};

ItemObject::ItemObject(const InterfaceId& classId)
    : signature_(static_cast<Unknown*>(this), signature::kObject), classId_(classId) {}

ItemObject::~ItemObject() {
    ReleaseControl();
}

void ItemObject::ReleaseControl() {
    // The control lets go of its site first; then each reference taken on it goes back once.
    if (control_ != nullptr) control_->SetSite(nullptr);
    if (main_ != nullptr) main_->Release();
    if (draw_ != nullptr) draw_->Release();
    if (control_ != nullptr) control_->Release();
    main_ = nullptr;
    draw_ = nullptr;
    control_ = nullptr;
    hitTest_ = nullptr;
}

int32_t ItemObject::Attach(ObjectCollection* owner) {
    if (owner == nullptr) return rc::kBadPointer;
    std::lock_guard guard(lock_);
    owner_ = owner;
    LayerObject* layer = owner->owner();
    if (layer == nullptr || layer->owner() == nullptr || layer->owner()->owner() == nullptr ||
        layer->owner()->owner()->owner() == nullptr) {
        return rc::kNotReady;
    }
    CreateObjectEntryFn create = GetControlCreateEntry();
    if (create == nullptr) return rc::kControlEntryMissing;
    void* out = nullptr;
    int32_t code = create(&classId_, &iid::kSiteHolder, &out);
    if (code != 0 || out == nullptr) return code != 0 ? code : rc::kNotReady;
    control_ = static_cast<ControlSiteHolder*>(static_cast<Unknown*>(out));
    auto fail = [&](int32_t failure) {
        ReleaseControl();
        return failure;
    };
    if ((code = control_->SetSite(&site_)) != 0) return fail(code);
    out = nullptr;
    if ((code = control_->QueryInterface(&classId_, &out)) != 0) return fail(code);
    main_ = static_cast<ScriptableObject*>(static_cast<Unknown*>(out));
    out = nullptr;
    if ((code = control_->QueryInterface(&iid::kControlPersist, &out)) != 0) return fail(code);
    auto* persist = static_cast<ControlPersist*>(static_cast<Unknown*>(out));
    code = persist->InitNew();
    persist->Release();
    if (code != 0) return fail(code);
    out = nullptr;
    if ((code = control_->QueryInterface(&iid::kControlDraw, &out)) != 0) return fail(code);
    draw_ = static_cast<ControlDraw*>(static_cast<Unknown*>(out));

    ClassInfoEntryFn classes = GetControlClassInfoEntry();
    if (classes == nullptr) return fail(rc::kControlEntryMissing);
    void* listOut = nullptr;
    if ((code = classes(&listOut)) != 0 || listOut == nullptr) {
        return fail(code != 0 ? code : rc::kControlEntryMissing);
    }
    auto* list = static_cast<ControlClassList*>(static_cast<Unknown*>(listOut));
    const int32_t count = list->GetCount();
    for (int32_t i = 0; i < count; ++i) {
        ControlClassEntry* entry = nullptr;
        if (list->GetEntry(i, &entry) != 0 || entry == nullptr) continue;
        ControlClassDescription description{};
        if (entry->GetDescription(&description) != 0) continue;
        if (!IsEqualInterfaceId(description.classId, classId_)) continue;
        const int32_t flags = list->GetFlags(i);
        if (flags < 0) return fail(rc::kControlClassRefused);
        groupFlag_ = (flags & kControlFlagGroup) != 0 ? 1 : 0;
        ControlClassDetails details{};
        if (entry->GetDetails(&details) == 0) {
            kind_ = details.kind;
            hitTest_ = details.hitTest;
        }
        break;
    }
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// ItemObject: Unknown and Invoke

int32_t ItemObject::QueryInterface(const InterfaceId* iid, void** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (SafeIsBadReadPtr(iid, sizeof(InterfaceId))) return rc::kBadPointer;
    if (owner_ == nullptr) return rc::kNotReady;
    if (IsEqualInterfaceId(*iid, iid::kMemberDrawing)) {
        AddRef();
        *out = static_cast<MemberDrawing*>(&memberEntry_);
        return rc::kOk;
    }
    return owner_->QueryInterface(iid, out);
}

int32_t ItemObject::AddRef() {
    return owner_ != nullptr ? owner_->AddRef() : 1;
}

int32_t ItemObject::Release() {
    return owner_ != nullptr ? owner_->Release() : 1;
}

int32_t ItemObject::GetTypeInfo(ClassInfo** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    LayerObject* layer = owner_ != nullptr ? owner_->owner() : nullptr;
    if (layer == nullptr || layer->owner() == nullptr || layer->owner()->owner() == nullptr ||
        layer->owner()->owner()->owner() == nullptr) {
        return rc::kNotReady;
    }
    return layer->owner()->owner()->owner()->Classes().ClassInfoQueryInterface(&iid::kDrawingObject,
                                                                               out);
}

int32_t ItemObject::Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                           Variant* result) {
    // Every member of the public table has its row here (the ones Invoke takes itself aside).
    static_assert(std::size(kProperties) + std::size(kMethods) == KP_MEMBER_COUNT(DRAWING_OBJECT));
    return GuardedCall([&]() -> int32_t {
        if (!CheckObjectSignature(this, signature::kObject)) return rc::kBadSignature;
        return DispatchMember<ItemObject>(*this, kProperties, kMethods, memberId, kind, args,
                                          result);
    });
}

int32_t ItemObject::GetRect(RectL* out) {
    std::lock_guard guard(lock_);
    if (control_ == nullptr) return rc::kNotReady;
    return control_->GetRect(out);
}

int32_t ItemObject::SetRectChecked(const RectL& rect) {
    std::lock_guard guard(lock_);
    if (control_ == nullptr) return rc::kNotReady;
    RectL internal = rect;
    if (int32_t code = site_.ConvertRect(kConvertToInternal, &internal); code != 0) return code;
    for (int32_t v : {internal.left, internal.top, internal.right, internal.bottom}) {
        if (v < -kRectLimit || v > kRectLimit) return rc::kOutOfRange;
    }
    return control_->SetRect(&rect);
}

int32_t ItemObject::GetNameString(std::u16string* out) {
    std::lock_guard guard(lock_);
    if (control_ == nullptr) return rc::kNotReady;
    Bstr name = nullptr;
    if (int32_t code = control_->GetName(&name); code != 0) return code;
    *out = std::u16string(BstrView(name));
    BstrFree(name);
    return rc::kOk;
}

int32_t ItemObject::GetDrawObject(Variant* value) {
    if (main_ == nullptr) return rc::kNotReady;
    value->pdispVal = main_;
    return rc::kOk;
}

int32_t ItemObject::GetName(Variant* value) {
    std::lock_guard guard(lock_);
    if (control_ == nullptr) return rc::kNotReady;
    return control_->GetName(&value->bstrVal);
}

int32_t ItemObject::PutName(const Variant& argument) {
    const std::u16string_view name = BstrView(argument.bstrVal);
    if (name.empty() || name.find(u'.') != std::u16string_view::npos) return rc::kBadName;
    if (owner_ == nullptr) return rc::kNotReady;
    if (int32_t code = owner_->Rename(this, name); code != 0) return code;
    site_.OnPropertyChanged(kName);
    return rc::kOk;
}

int32_t ItemObject::GetVisible(Variant* value) {
    std::lock_guard guard(lock_);
    value->boolVal = static_cast<int16_t>(visible_);
    return rc::kOk;
}

int32_t ItemObject::PutVisible(const Variant& argument) {
    {
        std::lock_guard guard(lock_);
        visible_ = argument.boolVal != 0 ? 1 : 0;
    }
    site_.OnPropertyChanged(kVisible);
    return rc::kOk;
}

int32_t ItemObject::GetEdge(int32_t RectL::*edge, Variant* value) {
    RectL r{};
    if (int32_t code = GetRect(&r); code != 0) return code;
    value->lVal = r.*edge;
    return rc::kOk;
}

int32_t ItemObject::PutEdge(int32_t memberId, int32_t RectL::*edge, const Variant& argument) {
    RectL r{};
    if (int32_t code = GetRect(&r); code != 0) return code;
    r.*edge = argument.lVal;
    if (int32_t code = SetRectChecked(r); code != 0) return code;
    site_.OnPropertyChanged(memberId);
    return rc::kOk;
}

int32_t ItemObject::GetSelected(Variant* value) {
    std::lock_guard guard(lock_);
    value->boolVal = inSelection_ ? 1 : 0;
    return rc::kOk;
}

int32_t ItemObject::PutSelected(const Variant& argument) {
    return SetSelected(argument.boolVal != 0);
}

int32_t ItemObject::SetSelected(bool on) {
    if (owner_ == nullptr) return rc::kNotReady;
    std::lock_guard collectionGuard(owner_->lock());
    std::lock_guard guard(lock_);
    if (control_ == nullptr) return rc::kNotReady;
    ObjectLevel& level = owner_->LevelOf(parent_);
    if (on) {
        if (inSelection_) return rc::kOk;
        owner_->Select(this);
        const size_t n = level.selected.size();
        const int32_t code =
            control_->SetState(n == 1 ? kStateSoleSelected : kStateNotSoleSelected);
        if (code != 0) {
            owner_->Deselect(this);
            return code;
        }
        if (n == 1) return rc::kOk;
        if (draw_ != nullptr) draw_->Invalidate(1);
        ItemObject* before = level.selected[n - 2];
        if (before->draw_ != nullptr) before->draw_->Invalidate(1);
        for (size_t i = 0; i + 1 < n; ++i) {
            if (level.selected[i]->control_ != nullptr) {
                level.selected[i]->control_->SetState(kStateNotSoleSelected);
            }
        }
        return rc::kOk;
    }
    if (!inSelection_) return rc::kOk;
    const size_t n = level.selected.size();
    const auto at = std::find(level.selected.begin(), level.selected.end(), this);
    const size_t position = static_cast<size_t>(at - level.selected.begin());
    ItemObject* previous = position > 0 ? level.selected[position - 1] : nullptr;
    owner_->Deselect(this);
    if (int32_t code = control_->SetState(kStateNotSoleSelected); code != 0) {
        // Back into the chain where it was.
        level.selected.insert(level.selected.begin() + static_cast<ptrdiff_t>(position), this);
        inSelection_ = true;
        selectionParent_ = parent_;
        return code;
    }
    if (n > 1) {
        if (draw_ != nullptr) draw_->Invalidate(1);
        if (previous != nullptr && previous->draw_ != nullptr) previous->draw_->Invalidate(1);
    }
    if (n == 2 && level.selected.size() == 1 && level.selected[0]->control_ != nullptr) {
        level.selected[0]->control_->SetState(kStateSoleSelected);
    }
    return rc::kOk;
}

int32_t ItemObject::Get9009(Variant* value) {
    std::lock_guard guard(lock_);
    value->lVal = value9009_;
    return rc::kOk;
}

int32_t ItemObject::Put9009(const Variant& argument) {
    std::lock_guard guard(lock_);
    value9009_ = argument.lVal;
    return rc::kOk;
}

int32_t ItemObject::CloseMember(const Variant*, Variant*) {
    if (owner_ == nullptr) return rc::kNotReady;
    SetSelected(false);
    return owner_->DeleteTree(this);
}

int32_t ItemObject::ClearDataMember(const Variant*, Variant*) {
    std::lock_guard guard(lock_);
    if (control_ == nullptr) return rc::kNotReady;
    return control_->ClearData();
}

int32_t ItemObject::ChangeZOrderMember(const Variant* args, Variant*) {
    const int16_t direction = args[0].iVal;
    if (direction != -1 && direction != 1) return rc::kOutOfRange;
    if (owner_ == nullptr) return rc::kNotReady;
    return owner_->MoveInZOrder(this, direction);
}

int32_t ItemObject::IsInsideContainerMember(const Variant*, Variant* value) {
    RectL r{};
    if (int32_t code = GetRect(&r); code != 0) return code;
    RectL container{};
    if (parent_ != nullptr) {
        RectL g{};
        if (int32_t code = parent_->GetRect(&g); code != 0) return code;
        NormalizeRectInPlace(&g);
        container = {0, 0, g.right - g.left, g.bottom - g.top};
    } else {
        ReportObject* report = owner_->owner()->owner()->owner();
        const bool portrait = report->paperOrientation() == 1;
        const int32_t across = portrait ? report->paperWidth() : report->paperLength();
        const int32_t down = portrait ? report->paperLength() : report->paperWidth();
        // Tenths of a millimetre times 1000 are internal units.
        int32_t w = 0, h = 0;
        ConvertUnitsOut(static_cast<LengthUnitKind>(owner_->unit()), kAxisHorizontal, owner_->cpl(),
                        owner_->cpi(), across * 1000, &w);
        ConvertUnitsOut(static_cast<LengthUnitKind>(owner_->unit()), kAxisVertical, owner_->cpl(),
                        owner_->cpi(), down * 1000, &h);
        container = {0, 0, w, h};
    }
    if (kind_ != kPlacementRect) NormalizeRectInPlace(&r);
    value->boolVal = Inside(r, container) ? 1 : 0;
    return rc::kOk;
}

int32_t ItemObject::RedrawMember(const Variant*, Variant*) {
    if (draw_ == nullptr) return rc::kNotReady;
    return draw_->Invalidate(1);
}

int32_t ItemObject::RaiseEvent(int32_t eventId, std::initializer_list<Variant> extra,
                               bool evenWhileLoading) {
    if (loading_ != 0 && !evenWhileLoading) return rc::kFailed;
    LayerObject* layer = owner_ != nullptr ? owner_->owner() : nullptr;
    if (layer == nullptr || layer->owner() == nullptr || layer->owner()->owner() == nullptr ||
        layer->owner()->owner()->owner() == nullptr) {
        return rc::kNotReady;
    }
    ReportObject* report = layer->owner()->owner();
    std::vector<Variant> args;
    args.push_back(VariantDispatch(static_cast<ScriptableObject*>(report)));
    args.push_back(VariantUI2(layer->index()));
    args.push_back(VariantDispatch(static_cast<ScriptableObject*>(this)));
    args.insert(args.end(), extra.begin(), extra.end());
    InvokeArgs invokeArgs{args.data(), static_cast<uint32_t>(args.size())};
    return report->owner()->FireEvent(eventId, &invokeArgs);
}

// ---------------------------------------------------------------------------------------------
// ItemObject: drawing

int32_t ItemObject::CallControlDraw(uint32_t drawDc, uint32_t attributeDc, const RectL* clip,
                                    int32_t inherit, uint32_t flags) {
    try {
        return draw_->Draw(drawDc, attributeDc, clip, inherit, flags);
    } catch (...) {
        return kControlThrew;
    }
}

int32_t ItemObject::Draw(uint32_t drawDc, uint32_t attributeDc, const RectL* clip, int32_t inherit,
                         uint32_t flags) {
    if (draw_ != nullptr) {
        const int32_t code = (flags & drawflag::kRecording) != 0
                                 ? RecordAndDraw(drawDc, attributeDc, clip, inherit, flags)
                                 : CallControlDraw(drawDc, attributeDc, clip, inherit, flags);
        if (code != rc::kNotImplemented) return code;
    }
    return OutlineFallback(drawDc, attributeDc);
}

int32_t ItemObject::RecordAndDraw(uint32_t drawDc, uint32_t attributeDc, const RectL* clip,
                                  int32_t inherit, uint32_t flags) {
    RectL rect{};
    if (int32_t code = GetRect(&rect); code != 0) return code;
    void* out = nullptr;
    if (control_ == nullptr || control_->QueryInterface(&iid::kControlPersist, &out) != 0 ||
        out == nullptr) {
        return rc::kNoPersist;
    }
    auto* persist = static_cast<ControlPersist*>(static_cast<Unknown*>(out));
    uint32_t size = 0;
    ByteStream data;
    int32_t code = persist->GetDataSize(&size) != 0 ? rc::kNoPersist : 0;
    if (code == 0) code = persist->Save(&data);
    persist->Release();
    if (code != 0) return code;
    std::span<const uint8_t> bytes;
    data.GetHGlobal(&bytes);
    if (bytes.size() != size) return rc::kControlSaveFailed;

    DeviceContext* dc = DcFromHandle(drawDc);
    const uint64_t chunks =
        (kMarkCommentSize + uint64_t{size} + kObjectChunkSize - 1) / kObjectChunkSize;
    const auto begin = ObjectComment(kObjectBegins, static_cast<uint16_t>(chunks), classId_,
                                     owner_->unit(), owner_->cpl(), owner_->cpi(), rect, size);
    if (dc != nullptr) {
        if (chunks == 1) {
            std::vector<uint8_t> one(begin.begin(), begin.begin() + kMarkCommentSize - 1);
            one.insert(one.end(), bytes.begin(), bytes.end());
            one.push_back(0);
            dc->GdiComment(one);
        } else {
            dc->GdiComment(begin);
            std::vector<uint8_t> chunk(kObjectChunkSize);
            for (uint64_t i = 0; i < chunks; ++i) {
                std::fill(chunk.begin(), chunk.end(), 0);
                const size_t from = static_cast<size_t>(i * kObjectChunkSize);
                if (from < bytes.size()) {
                    const size_t take = std::min(kObjectChunkSize, bytes.size() - from);
                    std::memcpy(chunk.data(), bytes.data() + from, take);
                }
                dc->GdiComment(chunk);
            }
        }
    }
    code = CallControlDraw(drawDc, attributeDc, clip, inherit, flags);
    if (dc != nullptr) {
        const auto end = ObjectComment(kObjectEnds, 1, classId_, owner_->unit(), owner_->cpl(),
                                       owner_->cpi(), rect, 0);
        dc->GdiComment(end);
    }
    return code;
}

int32_t ItemObject::OutlineFallback(uint32_t drawDc, uint32_t attributeDc) {
    DeviceContext* dc = DcFromHandle(drawDc);
    DeviceContext* attr = DcFromHandle(attributeDc != 0 ? attributeDc : drawDc);
    if (dc == nullptr || attr == nullptr) return rc::kBadArgument;
    RectL r{};
    if (int32_t code = GetRect(&r); code != 0) return code;
    int32_t dpiX = 0, dpiY = 0;
    GetDeviceDotsPerInch(DeviceMetricsOf(*attr), &dpiX, &dpiY);
    const auto unit = static_cast<LengthUnitKind>(owner_->unit());
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    ConvertUnitsIn(unit, kAxisHorizontal, owner_->cpl(), owner_->cpi(), r.left, &left);
    ConvertUnitsIn(unit, kAxisHorizontal, owner_->cpl(), owner_->cpi(), r.right, &right);
    ConvertUnitsIn(unit, kAxisVertical, owner_->cpl(), owner_->cpi(), r.top, &top);
    ConvertUnitsIn(unit, kAxisVertical, owner_->cpl(), owner_->cpi(), r.bottom, &bottom);
    left = ToPixels(left, dpiX);
    right = ToPixels(right, dpiX);
    top = ToPixels(top, dpiY);
    bottom = ToPixels(bottom, dpiY);
    const HGDIOBJ oldPen = dc->SelectObject(GetStockObject(kBlackPen));
    const HGDIOBJ oldBrush = dc->SelectObject(GetStockObject(kNullBrush));
    const POINT outline[] = {
        {left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
    dc->Polyline(outline);
    if (oldPen != 0) dc->SelectObject(oldPen);
    if (oldBrush != 0) dc->SelectObject(oldBrush);
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// The site

int32_t ItemObject::Site::QueryInterface(const InterfaceId* iid, void** out) {
    return item_->QueryInterface(iid, out);
}

// The site is part of its drawing object and lives exactly as long; the control's hold on it
// counts nothing, so that a control let go while its application is being destroyed does not
// reach the application's count.
int32_t ItemObject::Site::AddRef() {
    return 1;
}

int32_t ItemObject::Site::Release() {
    return 1;
}

int32_t ItemObject::Site::BoolEvent(int32_t id, int16_t* flag) {
    return item_->RaiseEvent(id, {ByRef(VT_BOOL, flag)});
}

int32_t ItemObject::Site::OnActivate(int16_t* leaveActive) {
    return BoolEvent(KPM_EVENT_DRAWING_OBJECT_ACTIVATE, leaveActive);
}
int32_t ItemObject::Site::OnUIActivate(int16_t* leaveUIActive) {
    return BoolEvent(KPM_EVENT_DRAWING_OBJECT_UI_ACTIVATE, leaveUIActive);
}
int32_t ItemObject::Site::OnDeactivate(int16_t* leave) {
    return BoolEvent(KPM_EVENT_DRAWING_OBJECT_DEACTIVATE, leave);
}
int32_t ItemObject::Site::OnUIDeactivate(int16_t* leaveDeactive) {
    return BoolEvent(KPM_EVENT_DRAWING_OBJECT_UI_DEACTIVATE, leaveDeactive);
}

int32_t ItemObject::Site::OnPosRectChange(RectL* area, const RectL* first, const RectL* second) {
    if (item_->loading_ != 0) return rc::kFailed;
    if (area == nullptr) return rc::kBadPointer;
    const RectL a = first != nullptr ? *first : RectL{};
    const RectL b = second != nullptr ? *second : RectL{};
    return item_->RaiseEvent(
        KPM_EVENT_DRAWING_OBJECT_POS_RECT_CHANGE,
        {ByRef(VT_I4, &area->left), ByRef(VT_I4, &area->top), ByRef(VT_I4, &area->right),
         ByRef(VT_I4, &area->bottom), VariantI4(a.left), VariantI4(a.top), VariantI4(a.right),
         VariantI4(a.bottom), VariantI4(b.left), VariantI4(b.top), VariantI4(b.right),
         VariantI4(b.bottom)});
}

int32_t ItemObject::Site::OnPosRectChanging(RectL* area, const RectL* rect, uint32_t* modifyFlag) {
    if (item_->loading_ != 0) return rc::kFailed;
    if (area == nullptr) return rc::kBadPointer;
    const RectL r = rect != nullptr ? *rect : RectL{};
    uint32_t local = 0;
    uint32_t* flag = modifyFlag != nullptr ? modifyFlag : &local;
    *flag = 0;
    return item_->RaiseEvent(
        KPM_EVENT_DRAWING_OBJECT_POS_RECT_CHANGING,
        {ByRef(VT_I4, &area->left), ByRef(VT_I4, &area->top), ByRef(VT_I4, &area->right),
         ByRef(VT_I4, &area->bottom), VariantI4(r.left), VariantI4(r.top), VariantI4(r.right),
         VariantI4(r.bottom), ByRef(VT_UI4, flag)});
}

int32_t ItemObject::Site::GetWindow(uint32_t* window) {
    if (window == nullptr) return rc::kBadPointer;
    LayerObject* layer = item_->owner_ != nullptr ? item_->owner_->owner() : nullptr;
    if (layer == nullptr || layer->owner() == nullptr || layer->owner()->owner() == nullptr) {
        return rc::kNotReady;
    }
    *window = layer->owner()->owner()->window();
    return rc::kOk;
}

int32_t ItemObject::Site::RaiseEvent20013(uint32_t* value) {
    return item_->RaiseEvent(KPM_EVENT_DRAWING_OBJECT_EVENT20013, {ByRef(VT_UI4, value)}, true);
}

int32_t ItemObject::Site::OnSetMenu(uint32_t menu, uint32_t* window) {
    return item_->RaiseEvent(KPM_EVENT_DRAWING_OBJECT_SET_MENU,
                             {VariantUI4(menu), ByRef(VT_UI4, window)});
}

int32_t ItemObject::Site::OnRemoveMenu(uint32_t menu, uint32_t window) {
    return item_->RaiseEvent(KPM_EVENT_DRAWING_OBJECT_REMOVE_MENU,
                             {VariantUI4(menu), VariantUI4(window)});
}

int32_t ItemObject::Site::RaiseEvent20011(uint32_t value) {
    return item_->RaiseEvent(KPM_EVENT_DRAWING_OBJECT_EVENT20011, {VariantUI4(value)});
}

int32_t ItemObject::Site::RectEvent(int32_t id, RectL* rect) {
    RectL copy = rect != nullptr ? *rect : RectL{};
    auto ref = [&](int32_t* p) { return ByRef(VT_I4, rect != nullptr ? p : nullptr); };
    const int32_t code = item_->RaiseEvent(
        id, {ref(&copy.left), ref(&copy.top), ref(&copy.right), ref(&copy.bottom)});
    if (code == rc::kOk && rect != nullptr) *rect = copy;
    return code;
}

int32_t ItemObject::Site::RaiseEvent20014(RectL* rect) {
    return RectEvent(KPM_EVENT_DRAWING_OBJECT_EVENT20014, rect);
}
int32_t ItemObject::Site::RaiseEvent20015(RectL* rect) {
    return RectEvent(KPM_EVENT_DRAWING_OBJECT_EVENT20015, rect);
}
int32_t ItemObject::Site::RaiseEvent20015Again(RectL* rect) {
    return RectEvent(KPM_EVENT_DRAWING_OBJECT_EVENT20015, rect);
}

int32_t ItemObject::Site::OnClose() {
    return item_->RaiseEvent(KPM_EVENT_DRAWING_OBJECT_CLOSE, {});
}

int32_t ItemObject::Site::OnPropertyChanged(int32_t memberId) {
    return item_->RaiseEvent(KPM_EVENT_DRAWING_OBJECT_PROPERTY_CHANGED, {VariantI4(memberId)});
}

int32_t ItemObject::Site::RaiseEvent20017(const RectL* rect) {
    const RectL r = rect != nullptr ? *rect : RectL{};
    return item_->RaiseEvent(
        KPM_EVENT_DRAWING_OBJECT_EVENT20017,
        {VariantI4(r.left), VariantI4(r.top), VariantI4(r.right), VariantI4(r.bottom)});
}

int32_t ItemObject::Site::ConvertRect(int32_t direction, RectL* rect) {
    if (direction != kConvertToReportUnit && direction != kConvertToInternal) {
        return rc::kBadArgument;
    }
    if (rect == nullptr) return rc::kBadPointer;
    ObjectCollection* owner = item_->owner_;
    if (owner == nullptr) return rc::kNotReady;
    auto convert = direction == kConvertToInternal ? &ConvertUnitsIn : &ConvertUnitsOut;
    const auto unit = static_cast<LengthUnitKind>(owner->unit());
    RectL r = *rect;
    convert(unit, kAxisVertical, owner->cpl(), owner->cpi(), rect->top, &r.top);
    convert(unit, kAxisVertical, owner->cpl(), owner->cpi(), rect->bottom, &r.bottom);
    convert(unit, kAxisHorizontal, owner->cpl(), owner->cpi(), rect->left, &r.left);
    convert(unit, kAxisHorizontal, owner->cpl(), owner->cpi(), rect->right, &r.right);
    *rect = r;
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// Member-drawing entry

int32_t ItemObject::MemberEntry::QueryInterface(const InterfaceId* iid, void** out) {
    return item_->QueryInterface(iid, out);
}
int32_t ItemObject::MemberEntry::AddRef() {
    return item_->AddRef();
}
int32_t ItemObject::MemberEntry::Release() {
    return item_->Release();
}

int32_t ItemObject::MemberEntry::DrawMembers(uint32_t drawDc, uint32_t attributeDc,
                                             const RectL* clip, int32_t inheritState,
                                             uint32_t flags) {
    if (item_->owner_ == nullptr) return rc::kFailed;
    const int32_t code = item_->owner_->Draw(item_, drawDc, attributeDc, clip, inheritState, flags);
    return code == rc::kOk ? rc::kOk : rc::kFailed;
}

// ---------------------------------------------------------------------------------------------
// ObjectCollection: life and lists

const MethodRow<ObjectCollection> ObjectCollection::kMethods[] = {
    {KP_METHOD(OBJECT_COLLECTION, OBJECT), &ObjectCollection::ObjectMember},
    {KP_METHOD(OBJECT_COLLECTION, CREATE_OBJECT), &ObjectCollection::CreateObjectMember},
    {KP_METHOD(OBJECT_COLLECTION, COPY_OBJECT), &ObjectCollection::CopyObjectMember},
    {KP_METHOD(OBJECT_COLLECTION, MOVE_OBJECT), &ObjectCollection::MoveObjectMember},
    {KP_METHOD(OBJECT_COLLECTION, GET_OBJECT_LIST), &ObjectCollection::GetObjectListMember},
    {KP_METHOD(OBJECT_COLLECTION, DESELECT_ALL), &ObjectCollection::DeselectAllMember},
    {KP_METHOD(OBJECT_COLLECTION, COUNT), &ObjectCollection::CountMember},
    {KP_METHOD(OBJECT_COLLECTION, SELECTED_COUNT), &ObjectCollection::SelectedCountMember},
    {KP_METHOD(OBJECT_COLLECTION, HIT_TEST), &ObjectCollection::HitTestMember},
    {KP_METHOD(OBJECT_COLLECTION, GET_SELECTED_LIST), &ObjectCollection::GetSelectedListMember},
    {KP_METHOD(OBJECT_COLLECTION, CLEAR_DATA), &ObjectCollection::ClearDataMember},
    {KP_METHOD(OBJECT_COLLECTION, LAST_SELECTED), &ObjectCollection::LastSelectedMember},
    {KP_METHOD(OBJECT_COLLECTION, SELECT_ALL), &ObjectCollection::SelectAllMember},
    {KP_METHOD(OBJECT_COLLECTION, SELECT_IN_RECT), &ObjectCollection::SelectInRectMember},
    {KP_METHOD(OBJECT_COLLECTION, OBJECT_AT), &ObjectCollection::ObjectAtMember},
    {KP_METHOD(OBJECT_COLLECTION, SELECTION_BOUNDS), &ObjectCollection::SelectionBoundsMember},
    {KP_METHOD(OBJECT_COLLECTION, ACTIVE_CONTROL), &ObjectCollection::ActiveControlMember},
};

ObjectCollection::ObjectCollection()
    : signature_(static_cast<Unknown*>(this), signature::kObjects) {}

ObjectCollection::~ObjectCollection() {
    DeleteAll();
}

int32_t ObjectCollection::QueryInterface(const InterfaceId* iid, void** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (SafeIsBadReadPtr(iid, sizeof(InterfaceId))) return rc::kBadPointer;
    if (owner_ == nullptr) return rc::kNotReady;
    if (IsEqualInterfaceId(*iid, iid::kObjectCollection)) {
        *out = static_cast<ScriptableObject*>(this);
        return rc::kOk;
    }
    return owner_->QueryInterface(iid, out);
}

int32_t ObjectCollection::AddRef() {
    return owner_ != nullptr ? owner_->AddRef() : 1;
}

int32_t ObjectCollection::Release() {
    return owner_ != nullptr ? owner_->Release() : 1;
}

int32_t ObjectCollection::GetTypeInfo(ClassInfo** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (owner_ == nullptr || owner_->owner() == nullptr || owner_->owner()->owner() == nullptr ||
        owner_->owner()->owner()->owner() == nullptr) {
        return rc::kNotReady;
    }
    return owner_->owner()->owner()->owner()->Classes().ClassInfoQueryInterface(
        &iid::kObjectCollection, out);
}

int32_t ObjectCollection::Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                                 Variant* result) {
    // Every member of the public table has its row here (the ones Invoke takes itself aside).
    static_assert(std::size(kMethods) == KP_MEMBER_COUNT(OBJECT_COLLECTION));
    return GuardedCall([&]() -> int32_t {
        if (!CheckObjectSignature(this, signature::kObjects)) return rc::kBadSignature;
        if (kind == kInvokeGet || kind == kInvokePut) return rc::kUnknownMember;
        std::lock_guard guard(lock_);
        return DispatchMember<ObjectCollection>(*this, {}, kMethods, memberId, kind, args, result);
    });
}

int32_t ObjectCollection::ResetHeap(LayerObject* owner) {
    if (owner == nullptr) return rc::kBadPointer;
    std::lock_guard guard(lock_);
    DeleteAll();
    owner_ = owner;
    return rc::kOk;
}

void ObjectCollection::DestroyObject(ItemObject* object) {
    for (ItemObject* member : object->members_.zOrder) DestroyObject(member);
    object->members_ = {};
    delete object;
}

void ObjectCollection::DeleteAll() {
    std::lock_guard guard(lock_);
    for (ItemObject* object : top_.zOrder) DestroyObject(object);
    top_ = {};
}

int32_t ObjectCollection::CheckGroup(const Variant& argument, ItemObject** group) {
    *group = nullptr;
    if (argument.pdispVal == nullptr) return rc::kOk;
    if (!CheckObjectSignature(argument.pdispVal, signature::kObject)) return rc::kBadArgument;
    auto* item = static_cast<ItemObject*>(static_cast<ScriptableObject*>(argument.pdispVal));
    // An object of another layer is no group of this one.
    if (item->owner_ != this) return rc::kBadArgument;
    *group = item;
    return rc::kOk;
}

int32_t ObjectCollection::InsertByName(ObjectLevel& level, ItemObject* object, bool isNew) {
    std::u16string name;
    if (int32_t code = object->GetNameString(&name); code != 0) return code;
    auto less = [](ItemObject* sibling, const std::u16string& n) {
        std::u16string s;
        sibling->GetNameString(&s);
        return CompareWideOrdinal(s, n) < 0;
    };
    const auto at = std::lower_bound(level.byName.begin(), level.byName.end(), name, less);
    if (at != level.byName.end()) {
        std::u16string found;
        (*at)->GetNameString(&found);
        if (found == name) return rc::kNameTaken;
    }
    level.byName.insert(at, object);
    if (isNew) level.zOrder.push_back(object);
    return rc::kOk;
}

ItemObject* ObjectCollection::Find(std::u16string_view dottedName, ItemObject* group) {
    std::lock_guard guard(lock_);
    ItemObject* current = group;
    std::u16string_view rest = dottedName;
    for (;;) {
        const size_t dot = rest.find(u'.');
        const std::u16string_view head = rest.substr(0, dot);
        ObjectLevel& level = LevelOf(current);
        // The siblings are kept in name order (every insert and rename goes through
        // InsertByName), so a name is found in a few comparisons: a page's loading looks up each
        // of its items and would otherwise read every sibling's name for each.
        std::u16string name;
        const auto less = [&name](ItemObject* sibling, std::u16string_view n) {
            name.clear();
            sibling->GetNameString(&name);
            return CompareWideOrdinal(name, n) < 0;
        };
        const auto at = std::lower_bound(level.byName.begin(), level.byName.end(), head, less);
        ItemObject* found = nullptr;
        if (at != level.byName.end()) {
            name.clear();
            (*at)->GetNameString(&name);
            if (name == head) found = *at;
        }
        if (found == nullptr) return nullptr;
        if (dot == std::u16string_view::npos) return found;
        current = found;
        rest = rest.substr(dot + 1);
    }
}

int32_t ObjectCollection::FullName(ItemObject* object, std::u16string* out) {
    std::u16string name;
    if (int32_t code = object->GetNameString(&name); code != 0) return code;
    for (ItemObject* p = object->parent_; p != nullptr; p = p->parent_) {
        std::u16string part;
        if (int32_t code = p->GetNameString(&part); code != 0) return code;
        name = part + u"." + name;
        if (name.size() * 2 > 65535) return rc::kNameTooLong;
    }
    if (name.size() * 2 > 65535) return rc::kNameTooLong;
    *out = std::move(name);
    return rc::kOk;
}

int32_t ObjectCollection::Create(ItemObject* group, const InterfaceId& classId, const RectL& rect,
                                 ItemObject** out, int32_t loading) {
    *out = nullptr;
    std::lock_guard guard(lock_);
    auto* object = new (std::nothrow) ItemObject(classId);
    if (object == nullptr) return rc::kNoHeap;
    bool inserted = false;
    ObjectLevel& level = LevelOf(group);
    try {
        return CreateAttached(object, group, level, rect, loading, &inserted, out);
    } catch (...) {
        // Nothing half made stays behind a throw: the object leaves the level and goes.
        if (inserted) {
            Erase(level.byName, object);
            Erase(level.zOrder, object);
        }
        delete object;
        throw;
    }
}

int32_t ObjectCollection::CreateAttached(ItemObject* object, ItemObject* group, ObjectLevel& level,
                                         const RectL& rect, int32_t loading, bool* insertedOut,
                                         ItemObject** out) {
    bool& inserted = *insertedOut;
    int32_t code = object->Attach(this);
    if (code == 0 && group != nullptr && !group->isGroup()) code = rc::kNotAGroup;
    std::u16string base;
    if (code == 0) code = object->GetNameString(&base);
    if (code == 0 && group != nullptr) {
        std::u16string groupName;
        code = FullName(group, &groupName);
        base = groupName + u"." + base;
    }
    object->parent_ = group;
    while (code == 0) {
        std::u16string candidate;
        do {
            candidate = base + WideFromUtf8(std::to_string(nameCounter_));
            ++nameCounter_;
        } while (Find(candidate, nullptr) != nullptr);
        const std::u16string_view last = LastNameComponent(candidate);
        Bstr name = BstrAllocView(last);
        if (name == nullptr) {
            code = rc::kOutOfMemory;
            break;
        }
        code = object->control()->SetName(name);
        BstrFree(name);
        if (code != 0) break;
        code = InsertByName(level, object, true);
        if (code == rc::kNameTaken) {
            code = 0;
            continue;
        }
        inserted = code == 0;
        break;
    }
    if (code == 0) {
        object->loading_ = loading;
        code = object->SetRectChecked(rect);
    }
    if (code != 0) {
        if (inserted) {
            Erase(level.byName, object);
            Erase(level.zOrder, object);
        }
        delete object;
        return code;
    }
    *out = object;
    return rc::kOk;
}

int32_t ObjectCollection::Rename(ItemObject* object, std::u16string_view name) {
    std::lock_guard guard(lock_);
    if (name.empty() || name.find(u'.') != std::u16string_view::npos) return rc::kBadName;
    ObjectLevel& level = LevelOf(object->parent_);
    for (ItemObject* sibling : level.byName) {
        std::u16string s;
        sibling->GetNameString(&s);
        if (s == name) return sibling == object ? rc::kOk : rc::kNameTaken;
    }
    std::u16string old;
    if (int32_t code = object->GetNameString(&old); code != 0) return code;
    Bstr fresh = BstrAllocView(name);
    if (fresh == nullptr) return rc::kOutOfMemory;
    int32_t code = object->control()->SetName(fresh);
    BstrFree(fresh);
    if (code != 0) return code;
    Erase(level.byName, object);
    code = InsertByName(level, object, false);
    if (code != 0) {
        Bstr back = BstrAllocView(old);
        if (back != nullptr) object->control()->SetName(back);
        BstrFree(back);
        InsertByName(level, object, false);
    }
    return code;
}

void ObjectCollection::Select(ItemObject* object) {
    ObjectLevel& level = LevelOf(object->parent_);
    level.selected.push_back(object);
    object->selectionParent_ = object->parent_;
    object->inSelection_ = true;
    object->members_.selected.clear();
}

void ObjectCollection::Deselect(ItemObject* object) {
    if (!object->inSelection_) return;
    Erase(LevelOf(object->parent_).selected, object);
    object->inSelection_ = false;
    object->selectionParent_ = nullptr;
}

int32_t ObjectCollection::DeleteTree(ItemObject* object) {
    std::lock_guard guard(lock_);
    Deselect(object);
    while (!object->members_.zOrder.empty()) {
        if (int32_t code = DeleteTree(object->members_.zOrder.back()); code != 0) return code;
    }
    ObjectLevel& level = LevelOf(object->parent_);
    Erase(level.byName, object);
    Erase(level.zOrder, object);
    Erase(level.selected, object);
    delete object;
    return rc::kOk;
}

int32_t ObjectCollection::MoveInZOrder(ItemObject* object, int32_t direction) {
    std::lock_guard guard(lock_);
    ObjectLevel& level = LevelOf(object->parent_);
    if (level.zOrder.size() < 2) return rc::kOk;
    Erase(level.zOrder, object);
    if (direction < 0) {
        level.zOrder.insert(level.zOrder.begin(), object);
    } else {
        level.zOrder.push_back(object);
    }
    if (object->draw_ != nullptr) object->draw_->Invalidate(1);
    return rc::kOk;
}

int32_t ObjectCollection::DeselectAllIn(ItemObject* group) {
    std::lock_guard guard(lock_);
    ObjectLevel& level = LevelOf(group);
    while (!level.selected.empty()) {
        ItemObject* object = level.selected.front();
        if (object->control_ == nullptr || object->control_->SetState(kStateNotSoleSelected) != 0) {
            return rc::kNotReady;
        }
        if (object->draw_ != nullptr) object->draw_->Invalidate(1);
        Deselect(object);
    }
    return rc::kOk;
}

int32_t ObjectCollection::ClearAll() {
    std::lock_guard guard(lock_);
    // Members before their group, each level in name order.
    std::function<int32_t(ObjectLevel&)> clear = [&](ObjectLevel& level) -> int32_t {
        for (ItemObject* object : level.byName) {
            if (int32_t code = clear(object->members_); code != 0) return code;
            if (object->control_ == nullptr) return rc::kNotReady;
            if (int32_t code = object->control_->ClearData(); code != 0) return code;
        }
        return rc::kOk;
    };
    return clear(top_);
}

// ---------------------------------------------------------------------------------------------
// ObjectCollection: methods

int32_t ObjectCollection::ObjectMember(const Variant* args, Variant* value) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    ItemObject* found = Find(BstrView(args[1].bstrVal), group);
    if (found == nullptr) return rc::kNoSuchObject;
    value->pdispVal = static_cast<ScriptableObject*>(found);
    return rc::kOk;
}

int32_t ObjectCollection::CreateObjectMember(const Variant* args, Variant* value) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[1], &group); code != 0) return code;
    InterfaceId classId{};
    std::memcpy(&classId, &args[0].raw, sizeof(classId));
    const RectL rect{args[2].lVal, args[3].lVal, args[4].lVal, args[5].lVal};
    ItemObject* object = nullptr;
    if (int32_t code = Create(group, classId, rect, &object, 0); code != 0) return code;
    value->pdispVal = static_cast<ScriptableObject*>(object);
    return rc::kOk;
}

int32_t ObjectCollection::CopyInto(ItemObject* group, ItemObject* source, ItemObject** out) {
    *out = nullptr;
    if (group != nullptr && !group->isGroup()) return rc::kNotAGroup;
    RectL rect{};
    if (int32_t code = source->GetRect(&rect); code != 0) return code;
    std::u16string name;
    if (int32_t code = source->GetNameString(&name); code != 0) return code;
    ItemObject* copy = nullptr;
    if (int32_t code = Create(group, source->classId(), rect, &copy, 0); code != 0) return code;
    void* from = nullptr;
    void* to = nullptr;
    int32_t code = rc::kNoPersist;
    if (source->control_->QueryInterface(&iid::kControlPersist, &from) == 0 &&
        copy->control_->QueryInterface(&iid::kControlPersist, &to) == 0) {
        ByteStream data;
        auto* fromPersist = static_cast<ControlPersist*>(static_cast<Unknown*>(from));
        auto* toPersist = static_cast<ControlPersist*>(static_cast<Unknown*>(to));
        code = fromPersist->Save(&data);
        if (code == 0) code = data.Seek(0, kSeekSet, nullptr);
        if (code == 0) code = toPersist->Load(&data);
    }
    if (from != nullptr) static_cast<ControlPersist*>(static_cast<Unknown*>(from))->Release();
    if (to != nullptr) static_cast<ControlPersist*>(static_cast<Unknown*>(to))->Release();
    if (code == 0) {
        Rename(copy, name);  // the generated name stays when the source's is taken
        copy->SetVisibleFlag(source->visible() ? 1 : 0);
        copy->SetValue9009(source->value9009());
        if (source->isGroup()) {
            const std::vector<ItemObject*> members = source->members_.zOrder;
            for (ItemObject* member : members) {
                ItemObject* memberCopy = nullptr;
                if ((code = CopyInto(copy, member, &memberCopy)) != 0) break;
            }
        }
    }
    if (code != 0) {
        DeleteTree(copy);
        return code;
    }
    *out = copy;
    return rc::kOk;
}

int32_t ObjectCollection::CopyObjectMember(const Variant* args, Variant* value) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    if (!CheckObjectSignature(args[1].pdispVal, signature::kObject)) return rc::kBadArgument;
    auto* source = static_cast<ItemObject*>(static_cast<ScriptableObject*>(args[1].pdispVal));
    if (source->control_ == nullptr) return rc::kBadArgument;
    // A group copied into itself or one of its members would copy without end.
    for (ItemObject* p = group; p != nullptr; p = p->parent_) {
        if (p == source) return rc::kBadArgument;
    }
    ItemObject* copy = nullptr;
    if (int32_t code = CopyInto(group, source, &copy); code != 0) return code;
    value->pdispVal = static_cast<ScriptableObject*>(copy);
    return rc::kOk;
}

int32_t ObjectCollection::MoveObjectMember(const Variant* args, Variant* value) {
    if (int32_t code = CopyObjectMember(args, value); code != 0) return code;
    auto* source = static_cast<ItemObject*>(static_cast<ScriptableObject*>(args[1].pdispVal));
    Variant ignored{};
    return source->owner_ != nullptr ? source->CloseMember(nullptr, &ignored) : rc::kOk;
}

int32_t ObjectCollection::ListMember(const Variant* args, Variant* value, bool selectedOnly) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    const uint16_t kind = args[1].uiVal;
    ObjectLevel& level = LevelOf(group);
    const std::vector<ItemObject*>* source = nullptr;
    std::vector<ItemObject*> filtered;
    if (kind == 1 || kind == 2) {
        const auto& all = kind == 1 ? level.byName : level.zOrder;
        if (!selectedOnly) {
            source = &all;
        } else {
            for (ItemObject* o : all) {
                if (o->inSelection_) filtered.push_back(o);
            }
            source = &filtered;
        }
    } else if (kind == 3 && selectedOnly) {
        source = &level.selected;
    } else {
        return rc::kBadArgument;
    }
    if (source->empty()) return rc::kOk;
    // Pointer-sized entries, then a null one.
    const size_t bytes = sizeof(void*) * source->size() + 40;
    const HGLOBAL block = GlobalAlloc(kGmemMoveable | kGmemZeroInit, bytes);
    if (block == 0) return rc::kListNoMemory;
    auto* entries = static_cast<void**>(GlobalLock(block));
    for (size_t i = 0; i < source->size(); ++i) {
        entries[i] = static_cast<ScriptableObject*>((*source)[i]);
    }
    GlobalUnlock(block);
    value->ulVal = block;
    return rc::kOk;
}

int32_t ObjectCollection::GetObjectListMember(const Variant* args, Variant* value) {
    return ListMember(args, value, false);
}

int32_t ObjectCollection::GetSelectedListMember(const Variant* args, Variant* value) {
    return ListMember(args, value, true);
}

int32_t ObjectCollection::DeselectAllMember(const Variant* args, Variant*) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    return DeselectAllIn(group);
}

int32_t ObjectCollection::CountMember(const Variant* args, Variant* value) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    value->uiVal = static_cast<uint16_t>(LevelOf(group).byName.size());
    return rc::kOk;
}

int32_t ObjectCollection::SelectedCountMember(const Variant* args, Variant* value) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    value->uiVal = static_cast<uint16_t>(LevelOf(group).selected.size());
    return rc::kOk;
}

int32_t ObjectCollection::HitTestMember(const Variant* args, Variant* value) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    ItemObject* start = nullptr;
    if (args[1].pdispVal != nullptr) {
        if (!CheckObjectSignature(args[1].pdispVal, signature::kObject)) return rc::kBadArgument;
        start = static_cast<ItemObject*>(static_cast<ScriptableObject*>(args[1].pdispVal));
    }
    const int32_t x = args[2].lVal, y = args[3].lVal;
    ObjectLevel& level = LevelOf(group);
    ItemObject* topmost = nullptr;
    ItemObject* belowStart = nullptr;
    bool passedStart = false;
    bool startHit = false;
    for (auto it = level.zOrder.rbegin(); it != level.zOrder.rend(); ++it) {
        ItemObject* o = *it;
        RectL r{};
        if (o->GetRect(&r) != 0 || o->hitTest_ == nullptr || o->hitTest_(r, x, y) == 0) {
            if (o == start) passedStart = true;
            continue;
        }
        if (topmost == nullptr) topmost = o;
        if (o == start) {
            passedStart = true;
            startHit = true;
        } else if (passedStart && belowStart == nullptr) {
            belowStart = o;
        }
    }
    ItemObject* answer = startHit && belowStart != nullptr ? belowStart : topmost;
    value->pdispVal = answer != nullptr ? static_cast<ScriptableObject*>(answer) : nullptr;
    return rc::kOk;
}

int32_t ObjectCollection::ClearDataMember(const Variant*, Variant*) {
    return ClearAll();
}

int32_t ObjectCollection::LastSelectedMember(const Variant* args, Variant* value) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    ObjectLevel& level = LevelOf(group);
    value->pdispVal =
        level.selected.empty() ? nullptr : static_cast<ScriptableObject*>(level.selected.back());
    return rc::kOk;
}

int32_t ObjectCollection::SelectAllMember(const Variant* args, Variant*) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    if (int32_t code = DeselectAllIn(group); code != 0) return code;
    ObjectLevel& level = LevelOf(group);
    for (ItemObject* object : level.byName) Select(object);
    if (level.byName.size() == 1) {
        // The sole member hears that it is the sole selected object.
        ItemObject* only = level.byName.front();
        Deselect(only);
        return only->SetSelected(true);
    }
    return rc::kOk;
}

int32_t ObjectCollection::SelectInRectMember(const Variant* args, Variant*) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    if (int32_t code = DeselectAllIn(group); code != 0) return code;
    RectL area{args[1].lVal, args[2].lVal, args[3].lVal, args[4].lVal};
    NormalizeRectInPlace(&area);
    const std::vector<ItemObject*> members = LevelOf(group).byName;
    for (ItemObject* object : members) {
        RectL r{};
        if (int32_t code = object->GetRect(&r); code != 0) return code;
        NormalizeRectInPlace(&r);
        if (!Inside(r, area)) continue;
        if (int32_t code = object->SetSelected(true); code != 0) return code;
    }
    return rc::kOk;
}

int32_t ObjectCollection::ObjectAtMember(const Variant* args, Variant* value) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    const uint32_t position = args[1].ulVal;
    ObjectLevel& level = LevelOf(group);
    if (position < 1 || position > level.zOrder.size()) return rc::kNoSuchObject;
    value->pdispVal = static_cast<ScriptableObject*>(level.zOrder[position - 1]);
    return rc::kOk;
}

int32_t ObjectCollection::SelectionBoundsMember(const Variant* args, Variant*) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    auto* out = static_cast<RectL*>(args[3].byref);
    if (out == nullptr) return rc::kBadPointer;
    const int32_t dx = args[1].lVal, dy = args[2].lVal;
    RectL bounds{};
    bool any = false;
    for (ItemObject* object : LevelOf(group).selected) {
        RectL r{};
        if (int32_t code = object->GetRect(&r); code != 0) return code;
        NormalizeRectInPlace(&r);
        r = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
        if (!any) {
            bounds = r;
            any = true;
        } else {
            bounds = {std::min(bounds.left, r.left), std::min(bounds.top, r.top),
                      std::max(bounds.right, r.right), std::max(bounds.bottom, r.bottom)};
        }
    }
    *out = bounds;
    return rc::kOk;
}

int32_t ObjectCollection::ActiveControlMember(const Variant* args, Variant* value) {
    ItemObject* group = nullptr;
    if (int32_t code = CheckGroup(args[0], &group); code != 0) return code;
    ObjectLevel& level = LevelOf(group);
    value->pdispVal = level.selected.size() == 1 ? level.selected.front()->main_ : nullptr;
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// ObjectCollection: drawing

int32_t ObjectCollection::Draw(ItemObject* group, uint32_t drawDc, uint32_t attributeDc,
                               const RectL* clip, int32_t inherit, uint32_t flags) {
    std::lock_guard guard(lock_);
    DeviceContext* dc = DcFromHandle(drawDc);
    COLORREF text = 0, background = 0;
    if (inherit != 0 && dc != nullptr) {
        text = dc->GetTextColor();
        background = dc->GetBkColor();
        dc->RestoreDC(-1);
    }
    ObjectLevel& level = LevelOf(group);
    if (level.zOrder.empty()) return rc::kOk;
    const uint32_t passed = flags & ~(drawflag::kNoSelectionPass | drawflag::kSelectionMark);
    int32_t result = rc::kOk;

    // Each object draws on a state saved for it alone and is put back to the depth it found, so
    // that no control can leave the next one a different DC or run the save depth away.
    auto drawOne = [&](ItemObject* object, uint32_t objectFlags) {
        const int32_t depth = dc != nullptr ? dc->GetSaveDepth() : 0;
        if (dc != nullptr) {
            dc->SaveDC();
            dc->SetTextColor(text);
            dc->SetBkColor(background);
        }
        const int32_t code = object->Draw(drawDc, attributeDc, clip, inherit, objectFlags);
        if (dc != nullptr && dc->GetSaveDepth() > depth) dc->RestoreDC(depth + 1);
        return code;
    };

    const std::vector<ItemObject*> order = level.zOrder;
    for (ItemObject* object : order) {
        uint32_t objectFlags = passed;
        if ((flags & drawflag::kEverything) != 0) {
            objectFlags = drawflag::kEverything;
        } else if (!object->visible()) {
            if ((flags & drawflag::kHiddenToo) == 0) continue;
            if ((flags & drawflag::kHiddenAlone) != 0) objectFlags = drawflag::kHiddenToo;
        }
        const int32_t code = drawOne(object, objectFlags);
        if (code == kControlThrew) {
            result = rc::kBadPointer;
            break;
        }
        if (code != 0) result = code;
    }

    if ((flags & (drawflag::kNoSelectionPass | drawflag::kEverything)) == 0 &&
        level.selected.size() >= 2) {
        const uint32_t selectionFlags =
            (passed & ~drawflag::kLayers) | drawflag::kNoSelectionPass | drawflag::kSelectionMark;
        const std::vector<ItemObject*> chain = level.selected;
        for (ItemObject* object : chain) {
            if (!object->visible() && (flags & drawflag::kHiddenToo) == 0) continue;
            const int32_t code = drawOne(object, selectionFlags);
            if (code == kControlThrew) {
                result = rc::kBadPointer;
                break;
            }
        }
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// ObjectCollection: saving and loading

namespace {

// A text control's faces and texts into the font table.
void RegisterFonts(ScriptableObject* control, FontUsageTable* fonts) {
    auto get = [&](int32_t id, Variant* out) {
        *out = Variant{};
        return control->Invoke(id, kInvokeGet, nullptr, out);
    };
    Variant wideValue{};
    const bool wide = get(10022, &wideValue) == 0 && wideValue.boolVal != 0;
    for (auto [faceId, textId] : {std::pair{10016, 10019}, std::pair{10017, 10020}}) {
        Variant face{}, text{};
        const bool ok = get(faceId, &face) == 0 && face.vt == VT_BSTR && face.bstrVal != nullptr &&
                        get(textId, &text) == 0 && text.vt == VT_BSTR && text.bstrVal != nullptr;
        if (ok) {
            int index = -1;
            if (FontUsageAddFont(fonts, BstrView(face.bstrVal), wide, index) == 0) {
                const std::u16string_view t = BstrView(text.bstrVal);
                if (wide) {
                    FontUsageMarkWide(fonts, index, t.data(), t.size());
                } else {
                    std::string ansi;
                    Cp932FromWide(t, &ansi);
                    FontUsageMarkAnsi(fonts, index, ansi.data(), ansi.size());
                }
            }
        }
        if (face.vt == VT_BSTR) BstrFree(face.bstrVal);
        if (text.vt == VT_BSTR) BstrFree(text.bstrVal);
    }
}

}  // namespace

int32_t ObjectCollection::SaveLevel(EngineStream* stream, ObjectLevel& level, uint16_t depth,
                                    int32_t drawingOnly, FontUsageTable* fonts) {
    for (ItemObject* object : level.zOrder) {
        if (drawingOnly == 1 && !object->visible()) continue;
        RectL r{};
        std::u16string name;
        if (object->GetRect(&r) != 0 || object->GetNameString(&name) != 0) {
            return rc::kControlSaveFailed;
        }
        int32_t code = WriteObjectRecord(stream, depth, -1, object->classId());
        if (code == 0) {
            const int32_t length = name.empty() ? 0 : static_cast<int32_t>(name.size() * 2 + 2);
            code = WriteObjectHeader(stream, depth, ItemObject::kName, length);
            if (code == 0 && length != 0) {
                uint32_t written = 0;
                name.push_back(u'\0');
                code = stream->Write(name.data(), static_cast<uint32_t>(length), &written);
                if (code == 0 && written != static_cast<uint32_t>(length)) {
                    code = rc::kControlSaveFailed;
                }
            }
        }
        const int32_t visible = object->visible() ? 1 : 0;
        if (code == 0) code = WriteObjectRecord(stream, depth, ItemObject::kLeft, r.left);
        if (code == 0) code = WriteObjectRecord(stream, depth, ItemObject::kTop, r.top);
        if (code == 0) code = WriteObjectRecord(stream, depth, ItemObject::kRight, r.right);
        if (code == 0) code = WriteObjectRecord(stream, depth, ItemObject::kBottom, r.bottom);
        if (code == 0) code = WriteObjectRecord(stream, depth, ItemObject::kVisible, visible);
        if (code == 0) {
            code = WriteObjectRecord(stream, depth, ItemObject::kValue9009, object->value9009());
        }
        if (code != 0) return code;

        // The control's data goes to memory first, so that what it writes is checked against
        // what it announced before the file gets a header claiming that size.
        void* out = nullptr;
        if (object->control_ == nullptr ||
            object->control_->QueryInterface(&iid::kControlPersist, &out) != 0 || out == nullptr) {
            return rc::kControlSaveFailed;
        }
        auto* persist = static_cast<ControlPersist*>(static_cast<Unknown*>(out));
        uint32_t size = 0;
        ByteStream data;
        bool saved = persist->GetDataSize(&size) == 0 && persist->Save(&data) == 0;
        persist->Release();
        std::span<const uint8_t> bytes;
        if (size != 0 && data.GetHGlobal(&bytes) != 0) saved = false;
        if (!saved || bytes.size() != size || size > INT32_MAX) return rc::kControlSaveFailed;
        code = WriteObjectHeader(stream, depth, 0, static_cast<int32_t>(size));
        if (code == 0 && size != 0) {
            uint32_t written = 0;
            code = stream->Write(bytes.data(), size, &written);
            if (code == 0 && written != size) code = rc::kControlSaveFailed;
        }
        if (code != 0) return code;
        if (fonts != nullptr && IsEqualInterfaceId(object->classId(), ctrlclass::kText) &&
            object->main_ != nullptr) {
            RegisterFonts(object->main_, fonts);
        }
        if (depth == UINT16_MAX && !object->members_.zOrder.empty()) return rc::kControlSaveFailed;
        code = SaveLevel(stream, object->members_, static_cast<uint16_t>(depth + 1), drawingOnly,
                         fonts);
        if (code != 0) return code;
    }
    return rc::kOk;
}

int32_t ObjectCollection::Save(StreamFile* container, int32_t layerNumber, int32_t drawingOnly,
                               FontUsageTable* fonts) {
    std::lock_guard guard(lock_);
    Stream* stream = nullptr;
    int32_t code = container->CreateStream(ElementName(kListStem, layerNumber), &stream);
    if (code != 0) return code;
    stream->Release();
    code = container->CreateStream(ElementName(kObjectStem, layerNumber), &stream);
    if (code != 0) return code;
    code = SaveLevel(stream, top_, 0, drawingOnly, fonts);
    stream->Release();
    return code;
}

namespace {

struct ObjectHeader {
    uint16_t depth;
    int32_t id;
    int32_t length;
};

int32_t ReadObjectHeader(EngineStream* stream, ObjectHeader* header) {
    std::array<uint8_t, 12> raw{};
    if (int32_t code = ReadExact(stream, raw.data(), 12); code != 0) return code;
    std::memcpy(&header->depth, raw.data(), 2);
    std::memcpy(&header->id, raw.data() + 4, 4);
    std::memcpy(&header->length, raw.data() + 8, 4);
    return 0;
}

}  // namespace

int32_t ObjectCollection::LoadLevel(EngineStream* stream, uint16_t depth, ItemObject* group,
                                    int32_t* newer) {
    ItemObject* last = nullptr;  // the last object created at this level
    InterfaceId classId{};
    Bstr name = nullptr;
    // The name read last is freed however the level ends, a throw included.
    const std::unique_ptr<Bstr, void (*)(Bstr*)> nameHeld(&name, [](Bstr* held) {
        BstrFree(*held);
        *held = nullptr;
    });
    RectL rect{};
    int32_t visible = 1, value9009 = 0;
    uint32_t seen = 0;  // one bit per known record of the current object
    int known = 0;
    auto clear = [&] {
        BstrFree(name);
        name = nullptr;
        seen = 0;
        known = 0;
        classId = {};
        rect = {};
        visible = 1;
        value9009 = 0;
    };
    int32_t code = 0;
    for (;;) {
        ObjectHeader header{};
        code = ReadObjectHeader(stream, &header);
        if (code != 0) {
            // The end between two objects is the end of the layer.
            if (code == stream_code::kEndOfStream && known == 0) code = rc::kOk;
            break;
        }
        if (known == 0 && header.depth != depth) {
            if (header.depth < depth) {
                code = stream->Seek(-12, kSeekCur, nullptr);
                break;
            }
            // Deeper records belong to the group just created at this level, one level down.
            if (header.depth != depth + 1 || last == nullptr || !last->isGroup() ||
                depth + 1 > kMaxLoadDepth) {
                code = rc::kMalformedRecords;
                break;
            }
            code = stream->Seek(-12, kSeekCur, nullptr);
            if (code == 0) code = LoadLevel(stream, static_cast<uint16_t>(depth + 1), last, newer);
            if (code != 0) break;
            last = nullptr;  // its members are read; a second deeper run has no group
            continue;
        }
        if (header.depth != depth) {
            code = rc::kMalformedRecords;
            break;
        }
        int bit = -1;
        void* field = nullptr;
        size_t width = 4;
        switch (header.id) {
            case -1:
                bit = 0, field = &classId, width = sizeof(classId);
                break;
            case ItemObject::kName:
                bit = 1;
                break;
            case ItemObject::kLeft:
                bit = 2, field = &rect.left;
                break;
            case ItemObject::kTop:
                bit = 3, field = &rect.top;
                break;
            case ItemObject::kRight:
                bit = 4, field = &rect.right;
                break;
            case ItemObject::kBottom:
                bit = 5, field = &rect.bottom;
                break;
            case ItemObject::kVisible:
                bit = 6, field = &visible;
                break;
            case ItemObject::kValue9009:
                bit = 7, field = &value9009;
                break;
            default:
                break;
        }
        if (bit >= 0) {
            if ((seen & (1u << bit)) != 0) {
                code = rc::kMalformedRecords;
                break;
            }
            seen |= 1u << bit;
            ++known;
            if (bit == 1) {
                BstrFree(name);
                name = nullptr;
                code = ReadTaggedString(stream, header.length, &name);
            } else {
                code = ReadTaggedField(stream, header.length, field, width);
            }
            if (code != 0) break;
            continue;
        }
        if (header.id != 0) {
            if ((code = SkipTaggedValue(stream, header.length)) != 0) break;
            continue;
        }
        if (known != 8) {
            code = rc::kMalformedRecords;
            break;
        }
        if ((code = CheckTaggedLength(stream, header.length)) != 0) break;
        ItemObject* object = nullptr;
        if ((code = Create(group, classId, rect, &object, 1)) != 0) break;
        if (name == nullptr || Rename(object, BstrView(name)) != 0) {
            DeleteTree(object);
            code = rc::kLoadedObjectUnusable;
            break;
        }
        object->SetValue9009(value9009);
        object->SetVisibleFlag(visible);
        void* out = nullptr;
        if (object->control_->QueryInterface(&iid::kControlPersist, &out) != 0 || out == nullptr) {
            code = rc::kLoadedObjectUnusable;
            break;
        }
        auto* persist = static_cast<ControlPersist*>(static_cast<Unknown*>(out));
        // Released however the read ends, a throw included.
        const std::unique_ptr<ControlPersist, void (*)(ControlPersist*)> persistHeld(
            persist, [](ControlPersist* held) { held->Release(); });
        // The control reads through a window of exactly the announced bytes.
        ByteStream window;
        std::vector<uint8_t> bytes(static_cast<size_t>(header.length));
        code = header.length == 0
                   ? 0
                   : ReadExact(stream, bytes.data(), static_cast<uint32_t>(header.length));
        if (code == stream_code::kEndOfStream) code = rc::kMalformedRecords;
        if (code == 0 && !bytes.empty()) {
            uint32_t written = 0;
            code = window.Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
            if (code == 0) code = window.Seek(0, kSeekSet, nullptr);
        }
        if (code == 0) code = persist->Load(&window);
        object->SetLoading(0);
        last = object;
        if (code == rc::kNewerFormat) {
            *newer = 1;
            code = 0;
        }
        if (code != 0) break;
        clear();
    }
    return code;
}

int32_t ObjectCollection::Load(StreamFile* container, int32_t layerNumber, int32_t drawingOnly) {
    std::lock_guard guard(lock_);
    DeleteAll();
    Stream* stream = nullptr;
    int32_t code = container->OpenStream(ElementName(kListStem, layerNumber), &stream);
    if (code != 0) return drawingOnly == 1 && code == stream_code::kNotFound ? 0 : code;
    stream->Release();
    code = container->OpenStream(ElementName(kObjectStem, layerNumber), &stream);
    if (code != 0) return drawingOnly == 1 && code == stream_code::kNotFound ? 0 : code;
    int32_t newer = 0;
    {
        const HeldReference<Stream> held(stream);
        code = LoadLevel(stream, 0, nullptr, &newer);
    }
    // Records left over after the top level ended (a depth that fell below 0 cannot) are not an
    // object this format knows.
    if (code != 0) return code;
    return newer != 0 ? rc::kNewerFormat : rc::kOk;
}

}  // namespace kp
