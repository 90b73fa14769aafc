#include "platform/automation/automation.h"

namespace plat {

void VariantInit(Variant* v) {
    if (!v) return;
    *v = Variant{};
}

void VariantClear(Variant* v) {
    if (!v) return;
    switch (v->vt) {
        case VT_BSTR:
            BstrFree(v->bstrVal);
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (v->punkVal) v->punkVal->Release();
            break;
        default:
            break;
    }
    *v = Variant{};
}

namespace {
Variant Typed(VarType vt) {
    Variant v{};
    v.vt = vt;
    return v;
}
}  // namespace

Variant VariantI2(int16_t value) {
    Variant v = Typed(VT_I2);
    v.iVal = value;
    return v;
}

Variant VariantI4(int32_t value) {
    Variant v = Typed(VT_I4);
    v.lVal = value;
    return v;
}

Variant VariantUI2(uint16_t value) {
    Variant v = Typed(VT_UI2);
    v.uiVal = value;
    return v;
}

Variant VariantUI4(uint32_t value) {
    Variant v = Typed(VT_UI4);
    v.ulVal = value;
    return v;
}

Variant VariantBool(bool value) {
    Variant v = Typed(VT_BOOL);
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant VariantBstr(Bstr value) {
    Variant v = Typed(VT_BSTR);
    v.bstrVal = value;
    return v;
}

Variant VariantDispatch(Unknown* value) {
    Variant v = Typed(VT_DISPATCH);
    v.pdispVal = value;
    return v;
}

}  // namespace plat
