// The one process-wide table of 32-bit handles. Device contexts, GDI objects, the windows the Qt
// layer registers and movable memory blocks all get their handles here, so a handle made in the
// program is valid in the engine and in the control library alike (they share this library).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdi/gdi_types.h"

namespace plat {

class DeviceContext;

enum class HandleKind : uint8_t {
    kNone = 0,  // not a live handle
    kDc = 1,
    kWindow = 2,
    kMemory = 3,
    kPen = 4,
    kBrush = 5,
    kFont = 6,
    kRegion = 7,
};

// What a handle stands for; kNone for 0, a freed handle or a value never handed out. A freed
// handle's value is not handed out again until its slot has been reused 255 times.
HandleKind KindOfHandle(Handle handle);

// The device context behind a handle, or nullptr. Every DeviceContext has a handle from its
// construction to its destruction; the pointer is valid as long as its owner keeps it alive.
DeviceContext* DcFromHandle(HDC dc);

// Windows: the Qt layer registers its windows (any pointer it likes) and gets a handle for them.
HWND RegisterWindow(void* window);
void* WindowFromHandle(HWND window);  // nullptr when not a live window handle
bool UnregisterWindow(HWND window);

// Movable memory blocks. GlobalAlloc answers 0 when the memory cannot be had; kGmemZeroInit
// clears the block. GlobalLock answers the block's address (nullptr for a bad handle) and
// counts the lock; GlobalUnlock answers whether locks remain. GlobalReAlloc keeps the handle
// and the contents up to the smaller size and fails (0) while the block is locked. GlobalFree
// answers 0 on success and the handle itself for a bad handle.
HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes);
void* GlobalLock(HGLOBAL memory);
bool GlobalUnlock(HGLOBAL memory);
size_t GlobalSize(HGLOBAL memory);  // 0 for a bad handle
HGLOBAL GlobalReAlloc(HGLOBAL memory, size_t bytes, uint32_t flags);
HGLOBAL GlobalFree(HGLOBAL memory);

}  // namespace plat
