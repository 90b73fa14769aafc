// A host's event sink for the engine's tests: every event is kept in order and handed to the
// test's callback.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/scriptable.h"

namespace kp {

class TestEventSink final : public ScriptableObject {
  public:
    std::function<void(int32_t, const InvokeArgs*)> onEvent;
    std::vector<int32_t> events;

    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = this;
        return 0;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(ClassInfo**) override { return -2; }
    int32_t Invoke(int32_t id, int32_t, const InvokeArgs* args, plat::Variant*) override {
        events.push_back(id);
        if (onEvent) onEvent(id, args);
        return 0;
    }
};

}  // namespace kp
