// Event sinks: limits of the 100 slots and their cookies, firing through failing sinks, the
// event source and site holder, and an unadvise racing a firing on another thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/core/event_sinks.h"

namespace {

using namespace kp;
using namespace plat;

// A host's sink: answers the application event id with itself and records its calls.
class Sink : public ScriptableObject {
  public:
    enum class Mode { kAnswer, kFail, kThrow };
    explicit Sink(int32_t answer = 0, Mode mode = Mode::kAnswer) : answer_(answer), mode_(mode) {}

    int32_t QueryInterface(const InterfaceId* iid, void** out) override {
        ++queries;
        if (qiAnswer != 0) return qiAnswer;
        if (!IsEqualInterfaceId(*iid, iid::kApplicationEvents)) return rc::kNotImplemented;
        *out = static_cast<plat::Unknown*>(this);
        return 0;
    }
    int32_t AddRef() override { return ++refCalls; }
    int32_t Release() override { return ++refCalls; }
    int32_t GetTypeInfo(ClassInfo**) override { return rc::kNotImplemented; }
    int32_t Invoke(int32_t id, int32_t kind, const InvokeArgs* args, Variant* result) override {
        events.push_back(id);
        lastKind = kind;
        lastArgs = args;
        lastResult = result;
        if (mode_ == Mode::kThrow) throw std::runtime_error("sink failed");
        return mode_ == Mode::kFail ? -7 : answer_;
    }

    std::vector<int32_t> events;
    int32_t lastKind = -1;
    const InvokeArgs* lastArgs = nullptr;
    Variant* lastResult = reinterpret_cast<Variant*>(1);
    int queries = 0;
    int refCalls = 0;
    int32_t qiAnswer = 0;

  private:
    int32_t answer_;
    Mode mode_;
};

// Stands in for the application the list forwards to.
class Owner : public plat::Unknown {
  public:
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = this;
        return 0;
    }
    int32_t AddRef() override { return ++refs; }
    int32_t Release() override { return --refs; }
    int refs = 1;
};

TEST(EventSinkListTest, HundredSlotsCookiesAndUnadvise) {
    Owner owner;
    EventSinkList list(&owner);
    std::vector<std::unique_ptr<Sink>> sinks;
    for (uint32_t i = 0; i < EventSinkList::kSlots; ++i) {
        sinks.push_back(std::make_unique<Sink>());
        uint32_t cookie = 77;
        ASSERT_EQ(list.AdviseSink(sinks.back().get(), &cookie), 0);
        EXPECT_EQ(cookie, i + 1) << "cookie = slot + 1";
    }
    Sink extra;
    uint32_t cookie = 77;
    EXPECT_EQ(list.AdviseSink(&extra, &cookie), -5) << "101st sink";
    EXPECT_EQ(cookie, 0u);

    struct {
        uint32_t cookie;
        int32_t code;
        const char* why;
    } const unadvise[] = {
        {0, -8, "cookie 0"}, {101, -8, "cookie 101"}, {0xFFFFFFFF, -8, "huge cookie"},
        {50, 0, "in use"},   {50, -7, "second time"}, {100, 0, "last slot"},
    };
    for (const auto& u : unadvise) {
        SCOPED_TRACE(u.why);
        EXPECT_EQ(list.UnadviseSink(u.cookie), u.code);
    }
    // The first free slot is taken again.
    EXPECT_EQ(list.AdviseSink(&extra, &cookie), 0);
    EXPECT_EQ(cookie, 50u);
    for (const auto& s : sinks) EXPECT_EQ(s->refCalls, 0) << "the list never counts references";
    EXPECT_EQ(extra.refCalls, 0);
}

TEST(EventSinkListTest, AdviseChecksItsArgumentsAndTheSinkAnswer) {
    Owner owner;
    EventSinkList list(&owner);
    Sink sink;
    uint32_t cookie = 5;
    EXPECT_EQ(list.AdviseSink(&sink, nullptr), -4);
    EXPECT_EQ(list.AdviseSink(nullptr, &cookie), -4);
    EXPECT_EQ(cookie, 0u);
    sink.qiAnswer = -2;
    EXPECT_EQ(list.AdviseSink(&sink, &cookie), -2) << "the sink's refusal is the answer";
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(list.FireEvent(1, nullptr), -1) << "nothing registered";
}

TEST(EventSinkListTest, FailingSinksDoNotStopTheOthers) {
    Owner owner;
    EventSinkList list(&owner);
    Sink first(0), failing(0, Sink::Mode::kFail), throwing(0, Sink::Mode::kThrow), last(3);
    uint32_t cookie = 0;
    for (Sink* s : {&first, &failing, &throwing, &last}) ASSERT_EQ(list.AdviseSink(s, &cookie), 0);

    Variant arg = VariantI4(9);
    InvokeArgs args{&arg, 1};
    EXPECT_EQ(list.FireEvent(20006, &args), 3) << "the last sink's answer";
    for (Sink* s : {&first, &failing, &throwing, &last}) {
        EXPECT_EQ(s->events, std::vector<int32_t>{20006});
        EXPECT_EQ(s->lastKind, kInvokeMethod);
        EXPECT_EQ(s->lastArgs, &args);
        EXPECT_EQ(s->lastResult, nullptr) << "sinks are called without a result";
    }

    ASSERT_EQ(list.UnadviseSink(4), 0);
    EXPECT_EQ(list.FireEvent(20006, &args), -1) << "a throwing sink counts as -1";
    ASSERT_EQ(list.UnadviseSink(3), 0);
    EXPECT_EQ(list.FireEvent(20006, &args), -7) << "the failing sink is now last";
    ASSERT_EQ(list.UnadviseSink(1), 0);
    ASSERT_EQ(list.UnadviseSink(2), 0);
    EXPECT_EQ(list.FireEvent(20006, &args), -1);
}

TEST(EventSinkListTest, ForwardsToItsOwner) {
    Owner owner;
    EventSinkList list(&owner);
    EXPECT_EQ(list.AddRef(), 2);
    EXPECT_EQ(list.Release(), 1);
    void* out = nullptr;
    EXPECT_EQ(list.QueryInterface(&iid::kBase, &out), 0);
    EXPECT_EQ(out, &owner);

    EventSinkList orphan(nullptr);
    EXPECT_EQ(orphan.QueryInterface(&iid::kBase, &out), -1);
    EXPECT_EQ(orphan.AddRef(), 0);
    EXPECT_EQ(orphan.Release(), 0);
}

TEST(EventSourceTest, FindsTheSinkListForTheEventIdOnly) {
    Owner owner;
    EventSinkList list(&owner);
    EventSource source(&owner, &list);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(source.FindEventList(&iid::kApplication, &out), -2);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(source.FindEventList(&iid::kApplicationEvents, nullptr), -4);
    EXPECT_EQ(source.FindEventList(&iid::kApplicationEvents, &out), 0);
    EXPECT_EQ(out, static_cast<plat::Unknown*>(&list));
    EXPECT_EQ(owner.refs, 2) << "one reference taken on the application";
}

TEST(SiteHolderTest, SiteValueAndOwnerlessAnswers) {
    Owner owner;
    SiteHolder holder(&owner);
    uint32_t site = 99;
    EXPECT_EQ(holder.GetSite(&site), -9);
    EXPECT_EQ(site, 0u);
    EXPECT_EQ(holder.GetSite(nullptr), -4);
    EXPECT_FALSE(holder.HasSite());
    EXPECT_EQ(holder.SetSite(0x1234), 0);
    EXPECT_EQ(holder.GetSite(&site), 0);
    EXPECT_EQ(site, 0x1234u);
    EXPECT_TRUE(holder.HasSite());
    EXPECT_EQ(holder.Reserved6(), -2);

    SiteHolder orphan(nullptr);
    void* out = nullptr;
    EXPECT_EQ(orphan.QueryInterface(&iid::kBase, &out), -1);
    EXPECT_EQ(orphan.AddRef(), 0);
    EXPECT_EQ(orphan.Release(), 1);
    EXPECT_EQ(orphan.GetTypeLibrary(&out), -9);
}

// A sink that lingers in its call and knows when it has been freed: a call arriving after its
// unadvise returned is a use after free in the host.
class SlowSink : public ScriptableObject {
  public:
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = static_cast<plat::Unknown*>(this);
        return 0;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(ClassInfo**) override { return rc::kNotImplemented; }
    int32_t Invoke(int32_t, int32_t, const InvokeArgs*, Variant*) override {
        if (freed.load()) callsAfterFree.fetch_add(1);
        inside.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (freed.load()) callsAfterFree.fetch_add(1);
        inside.fetch_sub(1);
        return 0;
    }
    std::atomic<bool> freed{false};
    std::atomic<int> inside{0};
    std::atomic<int> callsAfterFree{0};
};

TEST(EventSinkListTest, UnadviseWaitsForFiringsOnOtherThreads) {
    Owner owner;
    EventSinkList list(&owner);
    std::atomic<bool> stop{false};
    std::vector<std::thread> firers;
    for (int t = 0; t < 3; ++t) {
        firers.emplace_back([&] {
            while (!stop.load()) list.FireEvent(22002, nullptr);
        });
    }
    int violations = 0;
    for (int round = 0; round < 200; ++round) {
        auto sink = std::make_unique<SlowSink>();
        uint32_t cookie = 0;
        ASSERT_EQ(list.AdviseSink(sink.get(), &cookie), 0);
        while (sink->inside.load() == 0) std::this_thread::yield();  // caught mid-call
        ASSERT_EQ(list.UnadviseSink(cookie), 0);
        violations += sink->inside.load();  // nobody may still be inside
        sink->freed.store(true);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        violations += sink->callsAfterFree.load();
    }
    stop.store(true);
    for (auto& t : firers) t.join();
    EXPECT_EQ(violations, 0);
}

// Unadvising itself from inside its own event must not wait for itself.
class SelfRemovingSink : public Sink {
  public:
    EventSinkList* list = nullptr;
    uint32_t cookie = 0;
    int32_t removal = 1;
    int32_t Invoke(int32_t id, int32_t kind, const InvokeArgs* args, Variant* result) override {
        removal = list->UnadviseSink(cookie);
        return Sink::Invoke(id, kind, args, result);
    }
};

TEST(EventSinkListTest, SinkMayUnadviseItselfDuringItsEvent) {
    Owner owner;
    EventSinkList list(&owner);
    SelfRemovingSink self;
    self.list = &list;
    ASSERT_EQ(list.AdviseSink(&self, &self.cookie), 0);
    Sink after;
    uint32_t cookie = 0;
    ASSERT_EQ(list.AdviseSink(&after, &cookie), 0);
    EXPECT_EQ(list.FireEvent(21002, nullptr), 0);
    EXPECT_EQ(self.removal, 0);
    EXPECT_EQ(after.events.size(), 1u) << "the next sink is still called";
    list.FireEvent(21002, nullptr);
    EXPECT_EQ(self.events.size(), 1u) << "gone after its own unadvise";
}

}  // namespace
