// qzs-dial [--pppd PATH] [--peers DIR] (list | dial ENTRY NUMBER [--hold S])
//   list   the dial-up entries in the order the dial dialog shows them (the last first)
//   dial   dials the entry with the dial dialog's credentials, prints "status=S error=E ext=X"
//          for every event and "local=A remote=B" when the link is up, hangs up S seconds later
//          (0 by default); exits 0 only when the link came up. SIGINT, SIGTERM or SIGHUP hang up
//          at once and end it with 128 + the signal's number.
#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "app/dial_dialog.h"
#include "app/dial_errors.h"
#include "platform/dialup/pppd_dialup.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: qzs-dial [--pppd PATH] [--peers DIR] (list | dial ENTRY NUMBER "
                 "[--hold S])\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    plat::PppdOptions options;
    std::vector<std::string> words;
    int hold = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--pppd" || arg == "--peers" || arg == "--hold") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--pppd") {
                options.pppd = value;
            } else if (arg == "--peers") {
                options.peers = value;
            } else {
                char* end = nullptr;
                const long seconds = std::strtol(value.c_str(), &end, 10);
                if (end == value.c_str() || *end != '\0' || seconds < 0 || seconds > 86400) {
                    return Usage();
                }
                hold = static_cast<int>(seconds);
            }
        } else if (arg.starts_with("--")) {
            return Usage();
        } else {
            words.push_back(arg);
        }
    }
    plat::PppdDialUp provider(options);
    if (words.size() == 1 && words[0] == "list") {
        const int count = provider.EntryCount();
        for (int i = count - 1; i >= 0; --i) std::printf("%s\n", provider.EntryName(i).c_str());
        return 0;
    }
    if (words.size() != 3 || words[0] != "dial") return Usage();

    // The link costs money while it is up: Ctrl-C, a kill or the terminal going away must take
    // it down (pppd stopped, its options file removed), not leave pppd running in its own process
    // group. The signals are blocked before any thread starts, so every thread inherits the block
    // and this thread alone takes them, between its waits; a second one during the hang-up waits.
    sigset_t hangup_signals;
    sigemptyset(&hangup_signals);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&hangup_signals, s);
    pthread_sigmask(SIG_BLOCK, &hangup_signals, nullptr);
    int signalled = 0;

    std::mutex mutex;
    std::condition_variable changed;
    bool connected = false;
    bool ended = false;
    provider.Subscribe([&](const plat::DialEvent& e) {
        std::lock_guard<std::mutex> guard(mutex);
        std::printf("status=%d error=%d ext=%d\n", e.status, e.error, e.extended);
        if (e.status == plat::kDialConnected && e.error == 0) {
            plat::LinkAddresses addresses;
            provider.Projection(words[1], &addresses);
            std::printf("local=%s remote=%s\n", addresses.local.c_str(), addresses.remote.c_str());
            connected = true;
        }
        if (e.error != 0 || e.status == plat::kDialDisconnected) ended = true;
        std::fflush(stdout);
        changed.notify_all();
    });
    provider.EntryCount();
    int dial = 0;
    const plat::DialRequest request{
        words[1], words[2], "", qzs::app::CDialDialog::kUser, qzs::app::CDialDialog::kPassword, ""};
    const int result = provider.Dial(request, &dial);
    if (result != 0) {
        std::string text;
        if (auto known = qzs::app::KnownRasErrorText(result)) {
            text = *known;
        } else {
            text = provider.ErrorText(result);
        }
        std::fprintf(stderr, "qzs-dial: %s(%d)\n", text.c_str(), result);
        return 1;
    }
    // Waits for the condition, or until the deadline, looking for a signal every 50 ms.
    const auto wait = [&](const auto& done, std::chrono::steady_clock::time_point deadline) {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (changed.wait_for(lock, std::chrono::milliseconds(50), done)) return;
            }
            const timespec now{0, 0};
            if (const int s = sigtimedwait(&hangup_signals, nullptr, &now); s > 0) {
                signalled = s;
                return;
            }
            if (std::chrono::steady_clock::now() >= deadline) return;
        }
    };
    wait([&] { return connected || ended; }, std::chrono::steady_clock::time_point::max());
    if (signalled == 0 && connected && !ended) {
        wait([&] { return ended; }, std::chrono::steady_clock::now() + std::chrono::seconds(hold));
    }
    provider.HangUp();
    provider.Unsubscribe();
    if (signalled != 0) return 128 + signalled;
    std::lock_guard<std::mutex> guard(mutex);
    return connected ? 0 : 1;
}
