// A hostile form body against the running server over a real image: 0.9 MB of row fields that
// match nothing (each name a row start whose prefix no other field has), the shape that once
// held the application lock for half a minute. Goal: answered within 50 ms, the lock held only
// while the fields are applied. A probe thread takes the lock as the GUI would; its longest wait
// is the max_lock_wait_us counter.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "net/http_server.h"
#include "net/state_form_services.h"
#include "net/tcp_socket.h"
#include "settings/data_image_startup.h"

namespace {

namespace fs = std::filesystem;
using qzs::net::CTcpSocket;

// count fields "s<n>1=abcd", none with an "n", none the prefix of another.
std::string RowsMatchingNothing(std::size_t count) {
    std::string body;
    char field[32];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(field, sizeof field, "%ss%05zu1=abc", i == 0 ? "" : "&", i);
        body += field;
    }
    return body;
}

struct Served {
    fs::path root = fs::temp_directory_path() / ("qzs-bench-post-" + std::to_string(::getpid()));
    std::unique_ptr<qzs::ProgrammingState> state = std::make_unique<qzs::ProgrammingState>();
    qzs::net::StateFormServices services{*state};
    std::unique_ptr<qzs::net::CEasyHttpServer> server;

    Served() {
        qzs::InitDataImage(*state);
        fs::create_directories(root);
        std::ofstream(root / "01hosyu_01m.html") << "<input type=\"text\" name=\"h155\"><br>";
        server = std::make_unique<qzs::net::CEasyHttpServer>(state->lock, &services,
                                                             qzs::net::ServerPorts{});
        server->SetPort(0);
        server->SetDocumentRoot(root.string() + "/");
        server->AddDynamicPage("01hosyu_01m.html", "dlltest.dll");
        // A server that did not start answers nothing, which each benchmark reports as its error.
        (void)server->Start();
    }
    ~Served() {
        server->Stop();
        fs::remove_all(root);
    }
};

// Takes and gives back the lock in a loop, as the GUI thread does, noting its longest wait.
class LockProbe {
  public:
    explicit LockProbe(qzs::ApplicationLock& lock)
        : thread_([this, &lock] {
              while (!stop_) {
                  const auto asked = std::chrono::steady_clock::now();
                  lock.lock();
                  const auto waited = std::chrono::steady_clock::now() - asked;
                  lock.unlock();
                  longest_ = std::max<long long>(
                      longest_,
                      std::chrono::duration_cast<std::chrono::microseconds>(waited).count());
                  std::this_thread::sleep_for(std::chrono::microseconds(50));
              }
          }) {}
    ~LockProbe() {
        stop_ = true;
        thread_.join();
    }
    long long longest_us() const { return longest_; }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<long long> longest_{0};
    std::thread thread_;
};

// The status line of the answer to a post of the body.
std::string Post(std::uint16_t port, const std::string& body) {
    const std::string request = "POST /01hosyu_01m.html HTTP/1.0\r\nHost: 127.0.0.1:" +
                                std::to_string(port) +
                                "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                "Content-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body;
    CTcpSocket socket;
    if (socket.Create() != 1 || socket.Connect("127.0.0.1", port) != 1) return {};
    std::size_t sent = 0;
    while (sent < request.size()) {
        const int n = socket.Send(request.data() + sent, request.size() - sent);
        if (n <= 0) return {};
        sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    char chunk[8192];
    int n = 0;
    while ((n = socket.Recv(chunk, sizeof chunk)) > 0) answer.append(chunk, static_cast<std::size_t>(n));
    return answer.substr(0, answer.find("\r\n"));
}

void RunPosts(benchmark::State& bench, const std::string& body, const char* expected) {
    Served served;
    const std::uint16_t port = served.server->BoundPort();
    LockProbe probe(served.state->lock);
    for (auto _ : bench) {
        const std::string status = Post(port, body);
        if (status != expected) bench.SkipWithError(("answered " + status).c_str());
    }
    bench.counters["body_bytes"] = static_cast<double>(body.size());
    bench.counters["max_lock_wait_us"] = static_cast<double>(probe.longest_us());
}

// 78,000 fields in 0.9 MB: more than any page posts, refused whole with 400.
void BM_HostileBody78000Fields(benchmark::State& bench) {
    RunPosts(bench, RowsMatchingNothing(78000), "HTTP/1.0 400 Bad Request");
}
BENCHMARK(BM_HostileBody78000Fields)->Unit(benchmark::kMillisecond)->UseRealTime();

// As many fields as are taken, of the same kind, each padded so the body is 0.9 MB as well:
// split, walked and applied, and the page answered.
void BM_HostileBodyAtTheFieldCap(benchmark::State& bench) {
    std::string body;
    char field[32];
    const std::string pad(78, 'x');
    for (std::size_t i = 0; i < qzs::kMaxFormFields; ++i) {
        std::snprintf(field, sizeof field, "%ss%06zu1=", i == 0 ? "" : "&", i);
        body += field + pad;
    }
    RunPosts(bench, body, "HTTP/1.0 200 OK");
}
BENCHMARK(BM_HostileBodyAtTheFieldCap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
