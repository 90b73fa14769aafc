// A second shared library that links the drawing layer, as the engine and the control library
// do: what it sees of the handle table must be what the program sees.
#include "platform/gdi/device_context.h"
#include "platform/gdi/handles.h"

extern "C" __attribute__((visibility("default"))) int32_t QzsPeerDrawLine(uint32_t dc) {
    plat::DeviceContext* context = plat::DcFromHandle(dc);
    if (!context) return -1;
    plat::GdiObject pen(plat::CreatePen(plat::kPsSolid, 0, 0x0000FF));
    context->SelectObject(pen.get());
    context->MoveToEx(0, 0);
    context->LineTo(10, 0);
    context->SelectObject(plat::GetStockObject(plat::kBlackPen));
    return context->GetSaveDepth();
}

extern "C" __attribute__((visibility("default"))) uint32_t QzsPeerAllocate() {
    return plat::GlobalAlloc(plat::kGmemMoveable, 8);
}
