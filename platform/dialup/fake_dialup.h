// A dial-up provider for tests: entries, answers and event sequences as the test scripts them,
// and a record of every call. Events are handed out by Deliver on the caller's thread, or, with
// threaded set, from a thread of the fake as a real provider would.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialup/dialup.h"

namespace plat {

class FakeDialUp : public DialUpProvider {
  public:
    struct Script {
        int answer = 0;                 // what Dial answers
        std::vector<DialEvent> events;  // their dial number is filled in by Dial
    };

    ~FakeDialUp() override;

    std::vector<std::string> entries;
    std::deque<Script> scripts;  // one per Dial; an empty queue answers 0 with no events
    int active_links = 0;        // besides the fake's own dial
    LinkAddresses addresses;     // what Projection gives for the entry dialled
    std::string reason;          // what LastReason gives
    bool threaded = false;

    // "EntryCount", "EntryName i", "Dial entry number callback user password domain", "HangUp".
    std::vector<std::string> Calls() const;
    int HangUpCount() const;
    // Hands the waiting events of the last dial to the listener; answers how many.
    int Deliver();
    // Waits until the thread of a threaded dial has handed out its events.
    void Join();

    int EntryCount() override;
    std::string EntryName(int index) override;
    int Dial(const DialRequest& request, int* dial) override;
    int HangUp() override;
    int ActiveLinkCount() override;
    bool Projection(const std::string& entry, LinkAddresses* out) override;
    std::string ErrorText(int code) override;
    std::string LastReason() override { return reason; }
    void Subscribe(Listener listener) override;
    void Unsubscribe() override;

  private:
    void Record(std::string call);

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::vector<DialEvent> pending_;
    std::string dialled_entry_;
    bool live_ = false;
    int dial_ = 0;
    std::thread thread_;
    std::mutex listener_mutex_;
    Listener listener_;
};

}  // namespace plat
