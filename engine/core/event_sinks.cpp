#include "engine/core/event_sinks.h"

#include <algorithm>

namespace kp {

// ---------------------------------------------------------------------------------------------
// EventSinkList

int32_t EventSinkList::QueryInterface(const InterfaceId* iid, void** out) {
    return owner_ ? owner_->QueryInterface(iid, out) : rc::kFailed;
}
int32_t EventSinkList::AddRef() {
    return owner_ ? owner_->AddRef() : 0;
}
int32_t EventSinkList::Release() {
    return owner_ ? owner_->Release() : 0;
}

int32_t EventSinkList::AdviseSink(plat::Unknown* sink, uint32_t* cookie) {
    std::lock_guard guard(lock_);
    if (SafeIsBadWritePtr(cookie, sizeof(uint32_t))) return rc::kBadPointer;
    *cookie = 0;
    if (IsBadInterfacePtr(sink)) return rc::kBadPointer;

    void* answered = nullptr;
    int32_t code;
    try {
        code = sink->QueryInterface(&iid::kApplicationEvents, &answered);
    } catch (...) {
        return rc::kBadPointer;
    }
    if (code != rc::kOk) return code;
    // A sink that claims success without an interface would be called through null later.
    if (answered == nullptr) return rc::kBadPointer;

    for (uint32_t slot = 0; slot < kSlots; ++slot) {
        if (slots_[slot] == nullptr) {
            slots_[slot] = static_cast<ScriptableObject*>(answered);
            *cookie = slot + 1;
            return rc::kOk;
        }
    }
    return rc::kOutOfMemory;
}

int32_t EventSinkList::UnadviseSink(uint32_t cookie) {
    if (cookie == 0 || cookie > kSlots) return rc::kOutOfRange;
    ScriptableObject* sink;
    {
        std::lock_guard guard(lock_);
        sink = slots_[cookie - 1];
        if (sink == nullptr) return rc::kBadArgument;
        slots_[cookie - 1] = nullptr;
    }
    // No new call can reach the sink now (FireEvent re-checks the slot under the lock before each
    // call); wait for the calls already inside it on other threads.
    const auto self = std::this_thread::get_id();
    std::unique_lock flight(flightLock_);
    flightDone_.wait(flight, [&] {
        return std::none_of(inFlight_.begin(), inFlight_.end(),
                            [&](const InFlight& f) { return f.sink == sink && f.thread != self; });
    });
    return rc::kOk;
}

int32_t EventSinkList::FireEvent(int32_t eventId, const InvokeArgs* args) {
    // The slots are read under the lock; sinks are called without it, so that a sink may call
    // back into the list or into the engine.
    std::array<ScriptableObject*, kSlots> snapshot;
    {
        std::lock_guard guard(lock_);
        snapshot = slots_;
    }
    const auto self = std::this_thread::get_id();
    int32_t last = rc::kFailed;
    for (uint32_t slot = 0; slot < kSlots; ++slot) {
        ScriptableObject* sink = snapshot[slot];
        if (sink == nullptr) continue;
        {
            // Skip a sink unadvised since the snapshot; otherwise mark the call as in progress
            // before the slot lock is left, so that an unadvise cannot slip in between.
            std::lock_guard guard(lock_);
            if (slots_[slot] != sink) continue;
            std::lock_guard flight(flightLock_);
            inFlight_.push_back({sink, self});
        }
        int32_t code;
        try {
            code = sink->Invoke(eventId, kInvokeMethod, args, nullptr);
        } catch (...) {
            code = rc::kFailed;
        }
        last = code;
        {
            std::lock_guard flight(flightLock_);
            auto it = std::find_if(inFlight_.begin(), inFlight_.end(), [&](const InFlight& f) {
                return f.sink == sink && f.thread == self;
            });
            if (it != inFlight_.end()) inFlight_.erase(it);
        }
        flightDone_.notify_all();
    }
    return last;
}

// ---------------------------------------------------------------------------------------------
// EventSource

int32_t EventSource::QueryInterface(const InterfaceId* iid, void** out) {
    return owner_ ? owner_->QueryInterface(iid, out) : rc::kFailed;
}
int32_t EventSource::AddRef() {
    return owner_ ? owner_->AddRef() : 0;
}
int32_t EventSource::Release() {
    return owner_ ? owner_->Release() : 0;
}

int32_t EventSource::FindEventList(const InterfaceId* iid, void** out) {
    if (SafeIsBadReadPtr(iid, sizeof(InterfaceId)) || SafeIsBadWritePtr(out, sizeof(void*))) {
        return rc::kBadPointer;
    }
    if (!plat::IsEqualInterfaceId(*iid, iid::kApplicationEvents)) {
        *out = nullptr;
        return rc::kNotImplemented;
    }
    if (owner_) owner_->AddRef();
    *out = static_cast<plat::Unknown*>(sinks_);
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// SiteHolder

int32_t SiteHolder::QueryInterface(const InterfaceId* iid, void** out) {
    return owner_ ? owner_->QueryInterface(iid, out) : rc::kFailed;
}
int32_t SiteHolder::AddRef() {
    return owner_ ? owner_->AddRef() : 0;
}
int32_t SiteHolder::Release() {
    return owner_ ? owner_->Release() : 1;
}

int32_t SiteHolder::GetTypeLibrary(void** out) {
    if (!owner_) return rc::kNotReady;
    return owner_->QueryInterface(&iid::kTypeLibrary, out);
}

int32_t SiteHolder::SetSite(uint32_t value) {
    site_.store(value);
    return rc::kOk;
}

int32_t SiteHolder::GetSite(uint32_t* out) {
    if (SafeIsBadWritePtr(out, sizeof(uint32_t))) return rc::kBadPointer;
    *out = site_.load();
    return *out == 0 ? rc::kNotReady : rc::kOk;
}

bool SiteHolder::HasSite() const {
    return site_.load() != 0;
}

}  // namespace kp
