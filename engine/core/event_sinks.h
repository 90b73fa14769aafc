// How events leave the engine: the host registers sinks in its application's EventSinkList
// (found through the EventSource), and every engine object fires through the application. The
// SiteHolder keeps the site value without which the application answers nothing.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/core/scriptable.h"

namespace kp {

class EventSinkList : public plat::Unknown {
  public:
    static constexpr uint32_t kSlots = 100;

    // owner receives the forwarded QueryInterface, AddRef and Release (the application).
    explicit EventSinkList(plat::Unknown* owner) : owner_(owner) {}
    ~EventSinkList() = default;
    EventSinkList(const EventSinkList&) = delete;
    EventSinkList& operator=(const EventSinkList&) = delete;

    // Forwarded to the owner; without one QueryInterface answers -1, AddRef and Release 0.
    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;

    // Asks the sink for the application event interface and keeps exactly the pointer it answers,
    // in the first free slot; the cookie is slot + 1. The list never calls the sink's AddRef or
    // Release. -4 for a null cookie or sink, or a sink that throws; -5 when all slots are taken
    // (the cookie stays 0); a failure of the sink's QueryInterface is passed on.
    virtual int32_t AdviseSink(plat::Unknown* sink, uint32_t* cookie);
    // -8 for a cookie outside 1..100, -7 for an empty slot, else the slot is cleared. Before it
    // answers, every firing on another thread that is inside this sink has left it, so the host
    // may free the sink afterwards; a sink that unadvises itself from inside its own event does
    // not wait for itself.
    virtual int32_t UnadviseSink(uint32_t cookie);

    // Calls every registered sink's Invoke(event id, method, args, no result) in slot order. A
    // sink that fails or throws does not stop the others (a throw counts as -1). Answers the
    // result of the last sink called, or -1 when none was called.
    int32_t FireEvent(int32_t eventId, const InvokeArgs* args);

  private:
    struct InFlight {
        ScriptableObject* sink;
        std::thread::id thread;
    };

    plat::Unknown* owner_;
    std::recursive_mutex lock_;  // guards the slots
    std::array<ScriptableObject*, kSlots> slots_{};

    // Calls in progress, kept apart from the slot lock so that a sink may advise, unadvise or
    // fire from inside its call and an unadvise can wait without holding the slot lock.
    std::mutex flightLock_;
    std::condition_variable flightDone_;
    std::vector<InFlight> inFlight_;
};

class EventSource : public plat::Unknown {
  public:
    explicit EventSource(plat::Unknown* owner, EventSinkList* sinks)
        : owner_(owner), sinks_(sinks) {}
    ~EventSource() = default;

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;

    // The application's EventSinkList for the application event id, with one reference taken on
    // the application; -2 for any other id, -4 for a null id or out pointer.
    virtual int32_t FindEventList(const InterfaceId* iid, void** out);

  private:
    plat::Unknown* owner_;
    EventSinkList* sinks_;
};

class SiteHolder : public plat::Unknown {
  public:
    explicit SiteHolder(plat::Unknown* owner) : owner_(owner) {}
    ~SiteHolder() = default;

    // Forwarded to the owner; without one -1, 0 and 1.
    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;

    // The owner's type library (one reference taken); -9 without owner.
    virtual int32_t GetTypeLibrary(void** out);
    virtual int32_t SetSite(uint32_t value);
    // -4 for a null out pointer; -9 while no site is set (the value still written).
    virtual int32_t GetSite(uint32_t* out);
    // Six further operations of the site interface that this engine does not implement.
    virtual int32_t Reserved1() { return rc::kNotImplemented; }
    virtual int32_t Reserved2() { return rc::kNotImplemented; }
    virtual int32_t Reserved3() { return rc::kNotImplemented; }
    virtual int32_t Reserved4() { return rc::kNotImplemented; }
    virtual int32_t Reserved5() { return rc::kNotImplemented; }
    virtual int32_t Reserved6() { return rc::kNotImplemented; }

    bool HasSite() const;

  private:
    plat::Unknown* owner_;
    std::atomic<uint32_t> site_{0};
};

}  // namespace kp
