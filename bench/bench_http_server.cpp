// The local web server under load on loopback, side by side with nginx serving the same static
// page in the same run (when nginx is installed). Every request is a fresh connection with
// "Connection: close", as an HTTP/1.0 browser makes them; the items/s column is the rate. Goal: at
// least 80 % of nginx's rate at 100 parallel clients, with no refused connects.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "net/http_server.h"
#include "net/tcp_socket.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using qzs::net::CTcpSocket;

const std::string kPage = [] {
    std::string page = "<html><head><title>01hosyu</title></head><body>\n";
    for (int i = 0; i < 120; ++i)
        page += "<p>row " + std::to_string(i) + " of the start page</p>\n";
    return page + "</body></html>\n";
}();

// Fills a template by copying it, as a form page of this size costs to send.
class CopyForms : public qzs::net::FormServices {
  public:
    void ApplyFormPost(const qzs::FormFields&) override {}
    qzs::net::DuplicateReport Duplicates() override { return {}; }
    int DuplicateCheckFlag() override { return 0; }
    void CommitSpeedDialPage(int, int, int) override {}
    void FillFormTemplate(std::string_view text, std::FILE* out) override {
        std::fwrite(text.data(), 1, text.size(), out);
    }
};

struct Servers {
    fs::path root = fs::temp_directory_path() / ("qzs-bench-http-" + std::to_string(::getpid()));
    qzs::ApplicationLock lock;
    CopyForms forms;
    std::unique_ptr<qzs::net::CEasyHttpServer> ours;
    pid_t nginx = -1;
    std::uint16_t nginx_port = 0;

    Servers() {
        fs::create_directories(root / "html");
        std::ofstream(root / "html" / "01hosyu.html") << kPage;
        std::ofstream(root / "html" / "16tansyuku_01m.html") << kPage;
        ours = std::make_unique<qzs::net::CEasyHttpServer>(lock, &forms, qzs::net::ServerPorts{});
        ours->SetPort(0);
        ours->SetDocumentRoot((root / "html").string() + "/");
        ours->SetDefaultPage("01hosyu.html");
        ours->AddDynamicPage("16tansyuku_01m.html", "dlltest.dll");
        // A server that did not start answers nothing, which each benchmark reports as its error.
        (void)ours->Start();
        StartNginx();
    }
    ~Servers() {
        ours->Stop();
        if (nginx > 0) {
            ::kill(nginx, SIGTERM);
            int status = 0;
            ::waitpid(nginx, &status, 0);
        }
        fs::remove_all(root);
    }

    void StartNginx() {
        const char* binary = "/usr/sbin/nginx";
        if (!fs::exists(binary)) return;
        // A free port: bind one, note it, release it for nginx.
        CTcpSocket probe;
        if (probe.Create() != 1) return;  // no port to give nginx: compared with nothing
        probe.Listen(0, 1);
        nginx_port = probe.LocalPort();
        probe.Close();
        const fs::path conf = root / "nginx.conf";
        std::ofstream(conf) << "daemon off; master_process off; worker_processes 1;\n"
                            << "pid " << (root / "nginx.pid").string() << ";\n"
                            << "error_log " << (root / "error.log").string() << ";\n"
                            << "events { worker_connections 1024; }\n"
                            << "http { access_log off; keepalive_timeout 0;\n"
                            << "  client_body_temp_path " << root.string() << ";\n"
                            << "  server { listen 127.0.0.1:" << nginx_port << "; root "
                            << (root / "html").string() << "; } }\n";
        std::string c = conf.string();
        std::string p = root.string();
        char arg0[] = "nginx";
        char argc[] = "-c";
        char argp[] = "-p";
        char* argv[] = {arg0, argc, c.data(), argp, p.data(), nullptr};
        if (::posix_spawn(&nginx, binary, nullptr, nullptr, argv, environ) != 0) nginx = -1;
        // Wait until it answers.
        for (int i = 0; i < 100 && nginx > 0; ++i) {
            CTcpSocket s;
            if (s.Create() == 1 && s.Connect("127.0.0.1", nginx_port) == 1) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
};

Servers& TheServers() {
    static Servers servers;
    return servers;
}

// One request on a fresh connection, read to the end; the bytes received.
std::size_t Request(std::uint16_t port, const std::string& request) {
    CTcpSocket socket;
    if (socket.Create() != 1 || socket.Connect("127.0.0.1", port) != 1) return 0;
    if (socket.Send(request.data(), request.size()) != static_cast<int>(request.size())) return 0;
    std::size_t total = 0;
    char chunk[8192];
    int n = 0;
    while ((n = socket.Recv(chunk, sizeof chunk)) > 0) total += static_cast<std::size_t>(n);
    return total;
}

// The server answers only requests addressed to it by its own name, as a browser sends them.
std::string Get(std::uint16_t port) {
    return "GET /01hosyu.html HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nConnection: close\r\n\r\n";
}

void BM_StaticPage_Ours(benchmark::State& state) {
    const std::uint16_t port = TheServers().ours->BoundPort();
    const std::string get = Get(port);
    for (auto _ : state) {
        if (Request(port, get) < kPage.size()) state.SkipWithError("short answer");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StaticPage_Ours)->UseRealTime();

void BM_StaticPage_Nginx(benchmark::State& state) {
    Servers& servers = TheServers();
    if (servers.nginx <= 0) {
        state.SkipWithError("nginx is not installed");
        return;
    }
    const std::string get = Get(servers.nginx_port);
    for (auto _ : state) {
        if (Request(servers.nginx_port, get) < kPage.size()) state.SkipWithError("short answer");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StaticPage_Nginx)->UseRealTime();

void BM_FormPost_Ours(benchmark::State& state) {
    const std::uint16_t port = TheServers().ours->BoundPort();
    const std::string body = "h002=1&h003=0&h0101_01=5";
    const std::string post =
        "POST /16tansyuku_01m.html HTTP/1.0\r\nConnection: close\r\nHost: 127.0.0.1:" +
        std::to_string(port) + "\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    for (auto _ : state) {
        if (Request(port, post) < kPage.size()) state.SkipWithError("short answer");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormPost_Ours)->UseRealTime();

}  // namespace
