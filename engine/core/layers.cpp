#include <array>
#include <cstdio>
#include <string>

#include "engine/core/application.h"
#include "engine/core/container.h"
#include "engine/core/member_table.h"
#include "engine/core/report.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/handles.h"

namespace kp {

using namespace plat;

namespace {

constexpr char16_t kLayersElement[] = u"KPLAYERS30";

std::u16string LayerElementName(int number) {
    char name[32];
    std::snprintf(name, sizeof(name), "%s-%d", "KPLAYER30", number);
    return std::u16string(name, name + std::char_traits<char>::length(name));
}

int32_t WriteLayerComment(uint32_t drawDc, int number) {
    DeviceContext* dc = DcFromHandle(drawDc);
    if (dc == nullptr) return rc::kOk;
    std::array<uint8_t, kMarkCommentSize> comment{};
    const uint32_t mark = kLayerMark;
    const uint16_t n = static_cast<uint16_t>(number);
    std::memcpy(comment.data(), &mark, 4);
    std::memcpy(comment.data() + 6, &n, 2);
    dc->GdiComment(comment);
    return rc::kOk;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// LayerObject

const PropertyRow<LayerObject> LayerObject::kProperties[] = {
    {KP_PROPERTY(LAYER, OBJECTS), &LayerObject::GetObjects, nullptr},
    {KP_PROPERTY(LAYER, Z_ODER), &LayerObject::GetZOrder, &LayerObject::PutZOrder},
    {KP_PROPERTY(LAYER, VISIBLE), &LayerObject::GetVisibleMember, &LayerObject::PutVisibleMember},
};

int32_t LayerObject::QueryInterface(const InterfaceId* iid, void** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (SafeIsBadReadPtr(iid, sizeof(InterfaceId))) return rc::kBadPointer;
    if (owner_ == nullptr) return rc::kNotReady;
    if (IsEqualInterfaceId(*iid, iid::kLayer)) {
        *out = static_cast<ScriptableObject*>(this);
        return rc::kOk;
    }
    return owner_->QueryInterface(iid, out);
}

int32_t LayerObject::AddRef() {
    return owner_ != nullptr ? owner_->AddRef() : 1;
}

int32_t LayerObject::Release() {
    return owner_ != nullptr ? owner_->Release() : 1;
}

int32_t LayerObject::GetTypeInfo(ClassInfo** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    ReportObject* report = owner_ != nullptr ? owner_->owner() : nullptr;
    if (report == nullptr || report->owner() == nullptr) return rc::kNotReady;
    return report->owner()->Classes().ClassInfoQueryInterface(&iid::kLayer, out);
}

int32_t LayerObject::Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                            Variant* result) {
    // Every member of the public table has its row here (the ones Invoke takes itself aside).
    static_assert(std::size(kProperties) == KP_MEMBER_COUNT(LAYER));
    return GuardedCall([&]() -> int32_t {
        // A put with anything but one argument of the property's type is an unknown member here.
        if (kind == kInvokePut) {
            const bool one = args != nullptr && args->count == 1 && args->args != nullptr;
            for (const auto& row : kProperties) {
                if (row.id == memberId && row.put != nullptr &&
                    (!one || args->args[0].vt != row.type)) {
                    return rc::kUnknownMember;
                }
            }
            if (!one) return rc::kUnknownMember;
        }
        return DispatchMember<LayerObject>(*this, kProperties, {}, memberId, kind, args, result);
    });
}

int32_t LayerObject::GetObjects(Variant* value) {
    value->pdispVal = static_cast<ScriptableObject*>(&objects_);
    return rc::kOk;
}

uint16_t LayerObject::order() {
    std::lock_guard guard(lock_);
    return order_;
}

void LayerObject::SetOrder(uint16_t order) {
    std::lock_guard guard(lock_);
    order_ = order;
}

bool LayerObject::visible() {
    std::lock_guard guard(lock_);
    return visible_ != 0;
}

void LayerObject::SetVisible(int32_t visible) {
    std::lock_guard guard(lock_);
    if (visible_ != 0 && visible == 0) objects_.DeselectAllIn(nullptr);
    visible_ = visible != 0 ? 1 : 0;
}

int32_t LayerObject::GetZOrder(Variant* value) {
    value->uiVal = order();
    return rc::kOk;
}

int32_t LayerObject::PutZOrder(const Variant& argument) {
    if (owner_ == nullptr) return rc::kBadPointer;
    return owner_->SetZOrder(this, argument.uiVal);
}

int32_t LayerObject::GetVisibleMember(Variant* value) {
    value->boolVal = visible() ? 1 : 0;
    return rc::kOk;
}

int32_t LayerObject::PutVisibleMember(const Variant& argument) {
    SetVisible(argument.boolVal);
    return rc::kOk;
}

int32_t LayerObject::Draw(ItemObject* group, uint32_t drawDc, uint32_t attributeDc,
                          const RectL* clip, uint32_t flags) {
    if (!visible() && (flags & drawflag::kEverything) == 0) return rc::kOk;
    return objects_.Draw(group, drawDc, attributeDc, clip, 0, flags);
}

// ---------------------------------------------------------------------------------------------
// LayerCollection

const PropertyRow<LayerCollection> LayerCollection::kProperties[] = {
    {KP_PROPERTY(LAYER_COLLECTION, COUNT), &LayerCollection::GetCount, nullptr},
};

const MethodRow<LayerCollection> LayerCollection::kMethods[] = {
    {KP_METHOD(LAYER_COLLECTION, LAYER), &LayerCollection::LayerMember},
};

LayerCollection::LayerCollection() {
    for (int i = 0; i < kLayers; ++i) {
        layers_[i].index_ = static_cast<uint16_t>(i);
        layers_[i].order_ = static_cast<uint16_t>(i + 1);
    }
}

int32_t LayerCollection::QueryInterface(const InterfaceId* iid, void** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (SafeIsBadReadPtr(iid, sizeof(InterfaceId))) return rc::kBadPointer;
    if (owner_ == nullptr) return rc::kNotReady;
    if (IsEqualInterfaceId(*iid, iid::kLayerCollection)) {
        *out = static_cast<ScriptableObject*>(this);
        return rc::kOk;
    }
    return owner_->QueryInterface(iid, out);
}

int32_t LayerCollection::AddRef() {
    return owner_ != nullptr ? owner_->AddRef() : 1;
}

int32_t LayerCollection::Release() {
    return owner_ != nullptr ? owner_->Release() : 1;
}

int32_t LayerCollection::GetTypeInfo(ClassInfo** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (owner_ == nullptr || owner_->owner() == nullptr) return rc::kNotReady;
    return owner_->owner()->Classes().ClassInfoQueryInterface(&iid::kLayerCollection, out);
}

int32_t LayerCollection::Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                                Variant* result) {
    // Every member of the public table has its row here (the ones Invoke takes itself aside).
    static_assert(std::size(kProperties) + std::size(kMethods) ==
                  KP_MEMBER_COUNT(LAYER_COLLECTION));
    return GuardedCall([&]() -> int32_t {
        if (kind == kInvokePut) return rc::kUnknownMember;
        return DispatchMember<LayerCollection>(*this, kProperties, kMethods, memberId, kind, args,
                                               result);
    });
}

int32_t LayerCollection::GetCount(Variant* value) {
    value->uiVal = kLayers;
    return rc::kOk;
}

int32_t LayerCollection::LayerMember(const Variant* args, Variant* value) {
    const uint16_t number = args[0].uiVal;
    if (number < 1 || number > kLayers) return rc::kOutOfRange;
    value->pdispVal = static_cast<ScriptableObject*>(&layers_[number - 1]);
    return rc::kOk;
}

int32_t LayerCollection::Attach(ReportObject* report) {
    if (report == nullptr) return rc::kBadPointer;
    std::lock_guard guard(lock_);
    owner_ = report;
    for (int i = 0; i < kLayers; ++i) {
        LayerObject& layer = layers_[i];
        layer.owner_ = this;
        layer.objects_.ResetHeap(&layer);
        layer.SetOrder(static_cast<uint16_t>(i + 1));
        layer.index_ = static_cast<uint16_t>(i);
    }
    return rc::kOk;
}

void LayerCollection::SetUnit(uint16_t unit) {
    for (auto& layer : layers_) layer.objects_.SetUnit(unit);
}

void LayerCollection::SetCharacterPitch(uint16_t cpl, uint16_t cpi) {
    for (auto& layer : layers_) layer.objects_.SetPitch(cpl, cpi);
}

int32_t LayerCollection::Draw(ItemObject* group, uint32_t drawDc, uint32_t attributeDc,
                              const RectL* clip, uint32_t flags) {
    const bool recording = (flags & drawflag::kRecording) != 0;
    if (group != nullptr) {
        void* found = nullptr;
        if (int32_t code = group->QueryInterface(&iid::kLayer, &found); code != rc::kOk) {
            return code;
        }
        auto* layer = static_cast<LayerObject*>(static_cast<ScriptableObject*>(found));
        return layer->Draw(group, drawDc, attributeDc, clip, flags);
    }
    int32_t result = rc::kOk;
    for (int z = kLayers; z >= 1; --z) {
        for (int i = 0; i < kLayers; ++i) {
            LayerObject& layer = layers_[i];
            if (layer.order() != z) continue;
            if (recording) WriteLayerComment(drawDc, i + 1);
            if (int32_t code = layer.Draw(nullptr, drawDc, attributeDc, clip, flags); code != 0) {
                result = code;
            }
        }
    }
    return result;
}

int32_t LayerCollection::SetZOrder(LayerObject* layer, int32_t order) {
    if (order < 1 || order > kLayers) return rc::kOutOfRange;
    if (layer == nullptr) return rc::kBadPointer;
    std::lock_guard guard(lock_);
    const int32_t current = layer->order();
    if (current == order) return rc::kOk;
    for (auto& other : layers_) {
        const int32_t d = other.order();
        if (order < current && order <= d && d < current) other.SetOrder(uint16_t(d + 1));
        if (order > current && current < d && d <= order) other.SetOrder(uint16_t(d - 1));
        other.objects_.DeselectAllIn(nullptr);
    }
    layer->SetOrder(static_cast<uint16_t>(order));
    return rc::kOk;
}

int32_t LayerCollection::Save(StreamFile* container, int32_t drawingOnly, FontUsageTable* fonts) {
    Stream* stream = nullptr;
    int32_t code = container->CreateStream(kLayersElement, &stream);
    if (code != 0) return code;
    const int32_t count = kLayers;
    code = WriteTaggedRecord(stream, {kCount, 4}, &count);
    stream->Release();
    if (code != 0) return code;
    for (int i = 0; i < kLayers; ++i) {
        LayerObject& layer = layers_[i];
        code = container->CreateStream(LayerElementName(i + 1), &stream);
        if (code != 0) return code;
        const uint16_t order = layer.order();
        const int32_t visible = layer.visible() ? 1 : 0;
        code = WriteTaggedRecord(stream, {LayerObject::kZOrder, 2}, &order);
        if (code == 0) code = WriteTaggedRecord(stream, {LayerObject::kVisible, 4}, &visible);
        stream->Release();
        if (code != 0) return code;
        if (drawingOnly == 1 && visible == 0) continue;
        code = layer.objects_.Save(container, i + 1, drawingOnly, fonts);
        if (code != 0) return code;
    }
    return rc::kOk;
}

int32_t LayerCollection::Load(StreamFile* container, int32_t drawingOnly) {
    for (int i = 0; i < kLayers; ++i) {
        layers_[i].SetOrder(static_cast<uint16_t>(i + 1));
        layers_[i].index_ = static_cast<uint16_t>(i);
    }
    Stream* stream = nullptr;
    int32_t code = container->OpenStream(kLayersElement, &stream);
    if (code != 0) return code;
    {
        const HeldReference<Stream> held(stream);
        for (;;) {
            TaggedRecordHeader header{};
            code = ReadExact(stream, &header, sizeof(header));
            if (code != 0) break;
            code = SkipTaggedValue(stream, header.length);
            if (code != 0) break;
        }
    }
    if (code != stream_code::kEndOfStream) return code;

    bool newer = false;
    for (int i = 0; i < kLayers; ++i) {
        LayerObject& layer = layers_[i];
        {
            std::lock_guard guard(layer.lock_);
            layer.visible_ = 1;
        }
        code = container->OpenStream(LayerElementName(i + 1), &stream);
        if (code == stream_code::kNotFound) {
            layer.objects_.DeleteAll();
            continue;
        }
        if (code != 0) return code;
        uint16_t order = layer.order();
        int32_t visible = 1;
        HeldReference<Stream> held(stream);
        for (;;) {
            TaggedRecordHeader header{};
            code = ReadExact(stream, &header, sizeof(header));
            if (code != 0) break;
            if (header.id == LayerObject::kZOrder) {
                code = ReadTaggedField(stream, header.length, &order, sizeof(order));
            } else if (header.id == LayerObject::kVisible) {
                code = ReadTaggedField(stream, header.length, &visible, sizeof(visible));
            } else {
                code = SkipTaggedValue(stream, header.length);
            }
            if (code != 0) break;
        }
        held.reset();
        if (code != stream_code::kEndOfStream) return code;
        // An order outside 1-5 would leave the layer out of every drawing pass.
        if (order >= 1 && order <= kLayers) layer.SetOrder(order);
        {
            std::lock_guard guard(layer.lock_);
            layer.visible_ = visible != 0 ? 1 : 0;
        }
        code = layer.objects_.Load(container, i + 1, drawingOnly);
        if (code == rc::kNewerFormat) {
            newer = true;
        } else if (code != 0) {
            return code;
        }
    }

    // Stored orders survive only when the host asks for them, or in drawing-only loads. They must
    // still be a permutation, else some layer would never be drawn.
    bool keep = drawingOnly != 0;
    if (!keep && owner_ != nullptr && owner_->owner() != nullptr) {
        keep = owner_->owner()->KeepLayerOrder();
    }
    std::array<bool, kLayers + 1> seen{};
    for (auto& layer : layers_) seen[layer.order()] = true;
    for (int z = 1; z <= kLayers; ++z) keep = keep && seen[z];
    if (!keep) {
        for (int i = 0; i < kLayers; ++i) layers_[i].SetOrder(static_cast<uint16_t>(i + 1));
    }
    return newer ? rc::kNewerFormat : rc::kOk;
}

int32_t LayerCollection::ClearData() {
    for (auto& layer : layers_) {
        if (int32_t code = layer.objects_.ClearAll(); code != 0) return code;
    }
    return rc::kOk;
}

}  // namespace kp
