// The static description of the one creatable class that WGetClassInfo hands out: a class list
// with a single entry holding the engine class id, an attribute word and the 140-byte class
// description record (which reports also write into their files).
#pragma once

#include <array>
#include <cstdint>

#include "engine/core/scriptable.h"

namespace kp {

inline constexpr size_t kClassDescriptionSize = 140;
inline constexpr int32_t kEngineClassAttribute = 24;

// The class description record, little-endian: size 140, 0, 1, 3, 3, 0x000207D0, 0x00030008,
// 0x00030000, 12 zero bytes, "Kelvaprint v3.0" in UTF-16 (64 bytes) and in ANSI (32 bytes).
const std::array<uint8_t, kClassDescriptionSize>& EngineClassDescription();

class EngineClassInfo;

class EngineClassEntry : public plat::Unknown {
  public:
    constexpr explicit EngineClassEntry(EngineClassInfo* owner) : owner_(owner) {}

    // Forwarded to the class list.
    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    virtual int32_t Reserved() { return rc::kNotImplemented; }
    // Copies the 8-byte class id; -4 for a null out pointer.
    virtual int32_t GetClassId(InterfaceId* out);
    // Copies the 140-byte description; -4 for a null out pointer.
    virtual int32_t GetDescription(void* out);

  private:
    EngineClassInfo* owner_;
};

// Lives as long as the library; AddRef and Release change nothing.
class EngineClassInfo : public plat::Unknown {
  public:
    constexpr EngineClassInfo() : entry_(this) {}

    // Itself for the base and class-list ids, its entry for the class-entry id, no reference
    // taken; any other id answers -2 with a null out pointer.
    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 0; }
    virtual int32_t GetClassCount() { return 1; }
    // Index 0 answers the attribute 24; others -7.
    virtual int32_t GetClassAttribute(int32_t index);
    // Index 0 gives the entry; others -7; -4 for a null out pointer.
    virtual int32_t GetClassEntry(int32_t index, EngineClassEntry** out);

  private:
    EngineClassEntry entry_;
};

EngineClassInfo* GetEngineClassInfo();

// WGetClassInfo: the static class list in *out, no reference taken; -4 for a null out pointer.
int32_t EngineGetClassInfo(void** out);

}  // namespace kp
