// Dial-up through pppd: the entries are the peer files the administrator made, a dial starts
// "pppd call NAME" without a shell, and pppd's log lines become the dial's status events.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialup/dialup.h"

namespace plat {

struct PppdOptions {
    std::string pppd = "/usr/sbin/pppd";
    std::string peers = "/etc/ppp/peers";
    std::string chat = "/usr/sbin/chat";
    std::string chatscripts = "/etc/chatscripts";
    // Where the per-call options file is made; empty: $XDG_RUNTIME_DIR, else the temporary folder.
    std::string runtime_dir;
    // From SIGTERM to SIGKILL.
    int hangup_grace_ms = 5000;
};

class PppdDialUp : public DialUpProvider {
  public:
    explicit PppdDialUp(PppdOptions options = {});
    // A live link is hung up.
    ~PppdDialUp() override;

    int EntryCount() override;
    std::string EntryName(int index) override;
    int Dial(const DialRequest& request, int* dial) override;
    int HangUp() override;
    int ActiveLinkCount() override;
    bool Projection(const std::string& entry, LinkAddresses* out) override;
    std::string ErrorText(int code) override;
    std::string LastReason() override;
    void Subscribe(Listener listener) override;
    void Unsubscribe() override;

    // The entries as the folder holds them now, sorted.
    std::vector<std::string> ListEntries() const;
    // The process of the current dial, 0 when none runs.
    pid_t child() const;

  private:
    void Read(int fd, int dial);
    void Emit(const DialEvent& event);

    PppdOptions options_;
    std::vector<std::string> entries_;

    mutable std::mutex mutex_;
    std::condition_variable exited_;
    pid_t pid_ = 0;
    bool running_ = false;  // the child has not been reaped
    bool hung_up_ = false;  // our HangUp ended it
    bool connected_ = false;
    int dial_ = 0;
    std::string entry_;
    LinkAddresses addresses_;
    std::string reason_;  // pppd's last log line of the last dial that failed
    std::string options_dir_;
    std::thread reader_;

    std::mutex listener_mutex_;
    Listener listener_;
};

}  // namespace plat
