// The control library linked into a program instead of loaded from its file: the engine's
// module asks this loader for the library's two entry points and gets the linked ones. For the
// tools and fuzzers that run the engine's code without its shared libraries.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/core/control_interfaces.h"
#include "engine/core/module.h"
#include "reportctrl/controls.h"

namespace kpctrl {

inline int32_t LinkedClassInfo(void** out) {
    *out = static_cast<kp::ControlClassList*>(GetControlClassList());
    return 0;
}
inline int gLinkedLibrary;
inline void* OpenLinked(const char*) {
    return &gLinkedLibrary;
}
inline void* LinkedSymbol(void*, const char* name) {
    const std::string_view symbol(name);
    if (symbol == "WGetClassInfo") return reinterpret_cast<void*>(&LinkedClassInfo);
    if (symbol == "WCreateObject") return reinterpret_cast<void*>(&CreateControl);
    return nullptr;
}
inline void CloseLinked(void*) {}
inline constexpr kp::ControlLibraryLoader kLinkedLoader{OpenLinked, LinkedSymbol, CloseLinked};

}  // namespace kpctrl
