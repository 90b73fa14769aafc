#include "platform/dialup/fake_dialup.h"

#include <algorithm>

namespace plat {

FakeDialUp::~FakeDialUp() {
    Join();
}

void FakeDialUp::Record(std::string call) {
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.push_back(std::move(call));
}

std::vector<std::string> FakeDialUp::Calls() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return calls_;
}

int FakeDialUp::HangUpCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), "HangUp"));
}

int FakeDialUp::EntryCount() {
    Record("EntryCount");
    return static_cast<int>(entries.size());
}

std::string FakeDialUp::EntryName(int index) {
    Record("EntryName " + std::to_string(index));
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) return {};
    return entries[static_cast<std::size_t>(index)];
}

int FakeDialUp::Dial(const DialRequest& r, int* dial) {
    Record("Dial " + r.entry + " " + r.number + " " + r.callback_number + " " + r.user + " " +
           r.password + " " + r.domain);
    Join();
    Script script;
    if (!scripts.empty()) {
        script = std::move(scripts.front());
        scripts.pop_front();
    }
    if (script.answer != 0) return script.answer;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        *dial = ++dial_;
        dialled_entry_ = r.entry;
        live_ = true;
        pending_ = script.events;
        for (DialEvent& e : pending_) {
            if (e.dial == 0) e.dial = dial_;
        }
    }
    if (threaded) thread_ = std::thread([this] { Deliver(); });
    return 0;
}

int FakeDialUp::Deliver() {
    std::vector<DialEvent> events;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        events.swap(pending_);
    }
    std::lock_guard<std::mutex> guard(listener_mutex_);
    for (const DialEvent& e : events) {
        if (listener_) listener_(e);
    }
    return static_cast<int>(events.size());
}

void FakeDialUp::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

int FakeDialUp::HangUp() {
    Record("HangUp");
    std::lock_guard<std::mutex> guard(mutex_);
    live_ = false;
    return 0;
}

int FakeDialUp::ActiveLinkCount() {
    std::lock_guard<std::mutex> guard(mutex_);
    return active_links + (live_ ? 1 : 0);
}

bool FakeDialUp::Projection(const std::string& entry, LinkAddresses* out) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!live_ || entry != dialled_entry_) return false;
    *out = addresses;
    return true;
}

std::string FakeDialUp::ErrorText(int code) {
    return PppdErrorText(code);
}

void FakeDialUp::Subscribe(Listener listener) {
    std::lock_guard<std::mutex> guard(listener_mutex_);
    listener_ = std::move(listener);
}

void FakeDialUp::Unsubscribe() {
    std::lock_guard<std::mutex> guard(listener_mutex_);
    listener_ = nullptr;
}

}  // namespace plat
