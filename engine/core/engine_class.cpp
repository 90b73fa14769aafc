#include "engine/core/engine_class.h"

#include <cstring>

namespace kp {

namespace {

std::array<uint8_t, kClassDescriptionSize> BuildDescription() {
    std::array<uint8_t, kClassDescriptionSize> d{};
    auto put32 = [&](size_t offset, uint32_t v) {
        for (int i = 0; i < 4; ++i) d[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, kClassDescriptionSize);
    put32(4, 0);
    put32(8, 1);
    put32(12, 3);
    put32(16, 3);
    put32(20, 0x000207D0);
    put32(24, 0x00030008);
    put32(28, 0x00030000);
    static constexpr char kName[] = "Kelvaprint v3.0";
    for (size_t i = 0; kName[i] != 0; ++i) {
        d[44 + 2 * i] = static_cast<uint8_t>(kName[i]);  // UTF-16LE, 32 code units
        d[108 + i] = static_cast<uint8_t>(kName[i]);     // ANSI, 32 bytes
    }
    return d;
}

}  // namespace

const std::array<uint8_t, kClassDescriptionSize>& EngineClassDescription() {
    static const auto description = BuildDescription();
    return description;
}

int32_t EngineClassEntry::QueryInterface(const InterfaceId* iid, void** out) {
    return owner_->QueryInterface(iid, out);
}
int32_t EngineClassEntry::AddRef() {
    return owner_->AddRef();
}
int32_t EngineClassEntry::Release() {
    return owner_->Release();
}

int32_t EngineClassEntry::GetClassId(InterfaceId* out) {
    if (SafeIsBadWritePtr(out, sizeof(InterfaceId))) return rc::kBadPointer;
    plat::CopyInterfaceId(out, kEngineClassId);
    return rc::kOk;
}

int32_t EngineClassEntry::GetDescription(void* out) {
    if (SafeIsBadWritePtr(out, kClassDescriptionSize)) return rc::kBadPointer;
    std::memcpy(out, EngineClassDescription().data(), kClassDescriptionSize);
    return rc::kOk;
}

int32_t EngineClassInfo::QueryInterface(const InterfaceId* iid, void** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (SafeIsBadReadPtr(iid, sizeof(InterfaceId))) return rc::kNotImplemented;
    if (plat::IsEqualInterfaceId(*iid, iid::kBase) ||
        plat::IsEqualInterfaceId(*iid, iid::kClassList)) {
        *out = static_cast<plat::Unknown*>(this);
        return rc::kOk;
    }
    if (plat::IsEqualInterfaceId(*iid, iid::kClassEntry)) {
        *out = static_cast<plat::Unknown*>(&entry_);
        return rc::kOk;
    }
    return rc::kNotImplemented;
}

int32_t EngineClassInfo::GetClassAttribute(int32_t index) {
    return index == 0 ? kEngineClassAttribute : rc::kBadArgument;
}

int32_t EngineClassInfo::GetClassEntry(int32_t index, EngineClassEntry** out) {
    if (index != 0) return rc::kBadArgument;
    if (SafeIsBadWritePtr(out, sizeof(*out))) return rc::kBadPointer;
    *out = &entry_;
    return rc::kOk;
}

namespace {
// Constant-initialised and trivially destructible: valid from load to unload in any order.
constinit EngineClassInfo gClassInfo;
}  // namespace

EngineClassInfo* GetEngineClassInfo() {
    return &gClassInfo;
}

int32_t EngineGetClassInfo(void** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = static_cast<plat::Unknown*>(GetEngineClassInfo());
    return rc::kOk;
}

}  // namespace kp
