#include "engine/core/object_signature.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace kp {

namespace {

struct LiveTable {
    std::mutex lock;
    std::unordered_map<const void*, const ObjectSignature*> objects;
};

// Freed only by ReleaseObjectSignatureTable: signed objects are destroyed by the module's
// detach, which at process exit runs after the static destructors.
constinit std::mutex gTableLock;
LiveTable* gTable = nullptr;

LiveTable& Live() {
    std::lock_guard guard(gTableLock);
    if (gTable == nullptr) gTable = new LiveTable;
    return *gTable;
}

}  // namespace

void ReleaseObjectSignatureTable() {
    std::lock_guard guard(gTableLock);
    delete gTable;
    gTable = nullptr;
}

ObjectSignature::ObjectSignature(const void* owner, std::string_view tag)
    : owner_(owner), tag_{}, length_(static_cast<uint8_t>(std::min(tag.size(), kMaxLength))) {
    std::copy_n(tag.data(), length_, tag_);
    auto& live = Live();
    std::lock_guard guard(live.lock);
    live.objects[owner_] = this;
}

ObjectSignature::~ObjectSignature() {
    {
        auto& live = Live();
        std::lock_guard guard(live.lock);
        auto it = live.objects.find(owner_);
        if (it != live.objects.end() && it->second == this) live.objects.erase(it);
    }
    std::fill(std::begin(tag_), std::end(tag_), '\0');
}

bool ObjectSignature::Matches(std::string_view tag) const {
    if (tag.size() != length_) return false;
    int differences = 0;
    for (size_t i = 0; i < length_; ++i) {
        if (tag_[i] != tag[i]) ++differences;
    }
    return differences == 0;
}

bool CheckObjectSignature(const void* object, std::string_view tag) {
    if (object == nullptr) return false;
    auto& live = Live();
    std::lock_guard guard(live.lock);
    auto it = live.objects.find(object);
    return it != live.objects.end() && it->second->Matches(tag);
}

}  // namespace kp
