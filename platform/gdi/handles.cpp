#include "platform/gdi/handles.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/gdi/handle_table.h"

namespace plat {

namespace {

// A handle is kind (4 bits) | generation (8 bits, never 0) | slot (20 bits), so that a stale
// handle of a reused slot, or a handle of another kind, never finds the new entry.
constexpr uint32_t kSlotBits = 20;
constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;
constexpr uint32_t kMaxSlots = kSlotMask;  // slot values 1..kMaxSlots; 0 stays unused

struct Entry {
    HandleKind kind = HandleKind::kNone;
    uint8_t generation = 0;
    bool permanent = false;
    std::shared_ptr<void> object;
};

struct MemoryBlock {
    std::vector<uint8_t> bytes;
    std::atomic<uint32_t> locks = 0;  // blocks are locked from any thread
};

struct Table {
    std::mutex mutex;
    std::vector<Entry> entries{1};  // slot 0 is never handed out
    std::vector<uint32_t> freeSlots;
    std::vector<detail::ObjectDeletionListener*> listeners;
};

Table& TheTable() {
    static Table* table = new Table;  // lives until the process ends: handles outlive statics
    return *table;
}

Handle MakeHandle(HandleKind kind, uint8_t generation, uint32_t slot) {
    return uint32_t(kind) << 28 | uint32_t(generation) << kSlotBits | slot;
}

// The entry of a live handle of that kind, or nullptr; the table's mutex must be held.
Entry* Find(Table& t, Handle handle, HandleKind kind) {
    uint32_t slot = handle & kSlotMask;
    if (slot == 0 || slot >= t.entries.size()) return nullptr;
    Entry& e = t.entries[slot];
    if (e.kind == HandleKind::kNone || e.kind != kind) return nullptr;
    if (MakeHandle(e.kind, e.generation, slot) != handle) return nullptr;
    return &e;
}

std::shared_ptr<MemoryBlock> Block(HGLOBAL memory) {
    return detail::Lookup<MemoryBlock>(memory, HandleKind::kMemory);
}

}  // namespace

namespace detail {

Handle AllocHandle(HandleKind kind, std::shared_ptr<void> object, bool permanent) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    uint32_t slot;
    if (!t.freeSlots.empty()) {
        slot = t.freeSlots.back();
        t.freeSlots.pop_back();
    } else {
        if (t.entries.size() > kMaxSlots) return 0;
        slot = static_cast<uint32_t>(t.entries.size());
        t.entries.emplace_back();
    }
    Entry& e = t.entries[slot];
    e.generation = static_cast<uint8_t>(e.generation + 1);
    if (e.generation == 0) e.generation = 1;
    e.kind = kind;
    e.permanent = permanent;
    e.object = std::move(object);
    return MakeHandle(kind, e.generation, slot);
}

std::shared_ptr<void> LookupHandle(Handle handle, HandleKind kind) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    Entry* e = Find(t, handle, kind);
    return e ? e->object : nullptr;
}

bool FreeHandle(Handle handle, HandleKind kind) {
    std::shared_ptr<void> object;  // released outside the lock
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    Entry* e = Find(t, handle, kind);
    if (!e || e->permanent) return false;
    object = std::move(e->object);
    e->kind = HandleKind::kNone;
    t.freeSlots.push_back(handle & kSlotMask);
    return true;
}

void AddDeletionListener(ObjectDeletionListener* listener) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    t.listeners.push_back(listener);
}

void RemoveDeletionListener(ObjectDeletionListener* listener) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    std::erase(t.listeners, listener);
}

void NotifyDeleted(HGDIOBJ object) {
    std::vector<ObjectDeletionListener*> listeners;
    {
        Table& t = TheTable();
        std::lock_guard lock(t.mutex);
        listeners = t.listeners;
    }
    for (auto* l : listeners) l->OnObjectDeleted(object);
}

}  // namespace detail

HandleKind KindOfHandle(Handle handle) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto kind = static_cast<HandleKind>(handle >> 28);
    return Find(t, handle, kind) ? kind : HandleKind::kNone;
}

DeviceContext* DcFromHandle(HDC dc) {
    // DC entries hold a non-owning pointer: the context owns its handle, not the other way.
    auto p = detail::LookupHandle(dc, HandleKind::kDc);
    return p ? *static_cast<DeviceContext**>(p.get()) : nullptr;
}

HWND RegisterWindow(void* window) {
    if (!window) return 0;
    return detail::AllocHandle(HandleKind::kWindow, std::make_shared<void*>(window));
}

void* WindowFromHandle(HWND window) {
    auto p = detail::LookupHandle(window, HandleKind::kWindow);
    return p ? *static_cast<void**>(p.get()) : nullptr;
}

bool UnregisterWindow(HWND window) {
    return detail::FreeHandle(window, HandleKind::kWindow);
}

HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes) {
    auto block = std::make_shared<MemoryBlock>();
    try {
        block->bytes.resize(bytes);  // zeroed whether asked or not
    } catch (const std::bad_alloc&) {
        return 0;
    } catch (const std::length_error&) {
        return 0;
    }
    (void)flags;
    return detail::AllocHandle(HandleKind::kMemory, std::move(block));
}

void* GlobalLock(HGLOBAL memory) {
    auto block = Block(memory);
    if (!block) return nullptr;
    ++block->locks;
    // A zero-sized block still locks; its address is never read through.
    return block->bytes.empty() ? static_cast<void*>(block.get()) : block->bytes.data();
}

bool GlobalUnlock(HGLOBAL memory) {
    auto block = Block(memory);
    if (!block) return false;
    uint32_t locks = block->locks.load();
    do {
        if (locks == 0) return false;
    } while (!block->locks.compare_exchange_weak(locks, locks - 1));
    return locks - 1 > 0;
}

size_t GlobalSize(HGLOBAL memory) {
    auto block = Block(memory);
    return block ? block->bytes.size() : 0;
}

HGLOBAL GlobalReAlloc(HGLOBAL memory, size_t bytes, uint32_t flags) {
    (void)flags;
    auto block = Block(memory);
    // Moving a locked block would pull the memory from under whoever holds its address.
    if (!block || block->locks > 0) return 0;
    try {
        block->bytes.resize(bytes);
    } catch (const std::bad_alloc&) {
        return 0;
    } catch (const std::length_error&) {
        return 0;
    }
    return memory;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    return detail::FreeHandle(memory, HandleKind::kMemory) ? 0 : memory;
}

}  // namespace plat
