#include "engine/core/scriptable.h"

#include <cstring>

namespace kp {

int32_t ScriptableObject::Reserved(void*, void*) {
    return rc::kNotImplemented;
}

namespace {

// Width of the value a type carries in the Variant's value field.
size_t ValueWidth(plat::VarType type) {
    switch (type) {
        case plat::VT_EMPTY:
        case plat::VT_NULL:
        case plat::VT_I4:
        case plat::VT_UI4:
        case plat::VT_ERROR:
        case plat::VT_R4:
            return 4;
        case plat::VT_I2:
        case plat::VT_UI2:
        case plat::VT_BOOL:
            return 2;
        case plat::VT_UI1:
            return 1;
        default:
            return 8;  // pointers, doubles and dates
    }
}

}  // namespace

void SetResult(plat::Variant* result, plat::VarType type, const plat::Variant& value) {
    result->vt = type;
    // The value field is written at its type's width only, as callers of the original interface
    // expect; the rest of the field and the reserved words stay as they were.
    std::memcpy(&result->raw, &value.raw, ValueWidth(type));
}

}  // namespace kp
