// The two entry points of libkpctrl30.so, in the shapes of the engine's own: the engine looks
// them up by name and reaches every control through the objects they hand out.
#include "reportctrl/controls.h"

extern "C" {

// *out receives the library's static class list (no reference taken). 0, or -4 for null.
__attribute__((visibility("default"))) int32_t WGetClassInfo(void** out) {
    if (kp::SafeIsBadWritePtr(out, sizeof(void*))) return kp::rc::kBadPointer;
    *out = static_cast<plat::Unknown*>(kpctrl::GetControlClassList());
    return kp::rc::kOk;
}

// A new control of the class, its interface iid in *out with one reference. -3 for a class the
// library does not make, -2 for an interface the control lacks, -4 for null pointers, -5
// without memory; on failure *out is null.
__attribute__((visibility("default"))) int32_t WCreateObject(const plat::InterfaceId* classId,
                                                             const plat::InterfaceId* iid,
                                                             void** out) {
    return kpctrl::CreateControl(classId, iid, out);
}
}
