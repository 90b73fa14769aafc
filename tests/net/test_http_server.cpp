// The local web server from outside: requests made by curl and by raw sockets, answers compared
// byte for byte (the Date line aside), form posts reaching the form services under the lock,
// traversal attempts, malformed requests, idle connections and stopping with connections open.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/http_server.h"

namespace qzs::net {
namespace {

namespace fs = std::filesystem;

class FakeForms : public FormServices {
  public:
    ApplicationLock* lock = nullptr;
    std::vector<std::string> posts;
    std::vector<std::string> commits;
    DuplicateReport duplicates;
    int check_flag = 0;

    void ApplyFormPost(const FormFields& fields) override {
        ExpectLocked();
        posts.emplace_back(fields.body());
    }
    DuplicateReport Duplicates() override { return duplicates; }
    int DuplicateCheckFlag() override { return check_flag; }
    void CommitSpeedDialPage(int flag, int page, int scope) override {
        ExpectLocked();
        commits.push_back(std::to_string(flag) + "," + std::to_string(page) + "," +
                          std::to_string(scope));
    }
    void FillFormTemplate(std::string_view text, std::FILE* out) override {
        ExpectLocked();
        std::fputs("FILLED:", out);
        std::fwrite(text.data(), 1, text.size(), out);
    }

  private:
    // The worker holds the lock: another thread cannot take it now.
    void ExpectLocked() {
        bool taken = true;
        std::thread other([&] {
            taken = lock->try_lock();
            if (taken) lock->unlock();
        });
        other.join();
        EXPECT_FALSE(taken);
    }
};

class HttpServerTest : public ::testing::Test {
  protected:
    fs::path root;
    fs::path outside;
    ApplicationLock lock;
    FakeForms forms;
    std::mutex reports_mutex;
    std::vector<std::string> reports;
    std::unique_ptr<CEasyHttpServer> server;
    std::string base;

    void SetUp() override {
        const fs::path top = fs::temp_directory_path() / ("qzs-http-" + std::to_string(::getpid()));
        fs::remove_all(top);
        root = top / "HTMLFiles";
        outside = top / "secret.txt";
        fs::create_directories(root / "sub");
        Write(root / "01hosyu.html", "<html>start</html>\n");
        Write(root / "pic.gif", std::string("GIF89a\x01\x00\x01\x00\x00\xff", 12));
        Write(root / "a b c.txt", "abc text\n");
        Write(root / "PAGE.HTML", "<html>upper</html>");
        Write(root / "16tansyuku_01m.html", "<form>rows</form>");
        Write(root / "17tel_02m.html", "<form>tel</form>");
        Write(root / "sub" / "01hosyu.html", "sub page");
        Write(outside, "secret");
        fs::create_symlink(outside, root / "link.txt");
        fs::create_symlink("../secret.txt", root / "up.txt");
        fs::create_symlink("sub/01hosyu.html", root / "inside.html");
        ASSERT_EQ(::mkfifo((root / "pipe.txt").c_str(), 0600), 0);
        forms.lock = &lock;

        ServerPorts ports;
        ports.report_duplicate = [this](std::string_view text) {
            // Shown without the lock: the GUI thread must be able to take it meanwhile.
            bool taken = false;
            std::thread gui([&] {
                taken = lock.try_lock();
                if (taken) lock.unlock();
            });
            gui.join();
            EXPECT_TRUE(taken);
            std::lock_guard guard(reports_mutex);
            reports.emplace_back(text);
        };
        server = std::make_unique<CEasyHttpServer>(lock, &forms, ports);
        server->SetPort(0);
        server->SetDocumentRoot(root.string() + "/");
        server->SetDefaultPage("01hosyu.html");
        server->AddDynamicPage("16tansyuku_01m.html", "dlltest.dll");
        server->AddDynamicPage("17tel_02m.html", "dlltest.dll");
        ASSERT_EQ(server->Start(), 1);
        base = "http://127.0.0.1:" + std::to_string(server->BoundPort());
    }
    void TearDown() override {
        server.reset();
        fs::remove_all(root.parent_path());
    }
    // The workers use the fake under the lock, and the answer on the socket orders nothing a race
    // detector sees: the test reads and sets what they share under the same locks.
    std::vector<std::string> Posts() {
        ApplicationLock::Guard guard(lock);
        return forms.posts;
    }
    std::vector<std::string> Commits() {
        ApplicationLock::Guard guard(lock);
        return forms.commits;
    }
    void SetDuplicates(int check_flag, DuplicateReport report) {
        ApplicationLock::Guard guard(lock);
        forms.check_flag = check_flag;
        forms.duplicates = report;
    }
    std::vector<std::string> Reports() {
        std::lock_guard guard(reports_mutex);
        return reports;
    }

    static void Write(const fs::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }

    // curl's whole output with the response head; the Date line made constant.
    std::string Curl(const std::string& arguments) {
        const std::string command = "curl --http1.0 -s -i --path-as-is " + arguments + " 2>&1";
        std::FILE* pipe = ::popen(command.c_str(), "r");
        std::string out;
        char chunk[4096];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
        ::pclose(pipe);
        return WithConstantDate(out);
    }

    // The Date line's value replaced by "D" (the answers are compared byte for byte otherwise).
    static std::string WithConstantDate(std::string text) {
        const std::size_t at = text.find("\r\nDate: ");
        if (at == std::string::npos) return text;
        const std::size_t from = at + 8;
        const std::size_t end = text.find("\r\n", from);
        if (end == std::string::npos) return text;
        return text.replace(from, end - from, "D");
    }

    // A request written by hand; the whole answer until the server closes.
    std::string Raw(const std::string& request) {
        CTcpSocket socket;
        EXPECT_EQ(socket.Create(), 1);
        EXPECT_EQ(socket.Connect("127.0.0.1", server->BoundPort()), 1);
        // A refused request may be closed before all of it is sent: the answer is what counts.
        (void)socket.Send(request.data(), request.size());
        std::string out;
        char chunk[4096];
        int n = 0;
        while ((n = socket.Recv(chunk, sizeof chunk)) > 0)
            out.append(chunk, static_cast<std::size_t>(n));
        return WithConstantDate(out);
    }

    static std::string Head(int status, const char* type, std::size_t length) {
        std::string head = std::string("HTTP/1.0 ") + HttpStatusText(status) +
                           "\r\nDate: D\r\nServer: EasyHttpServer/1.0\r\n";
        if (length > 0) {
            head += std::string("Content-Type: ") + type +
                    "\r\nContent-Length: " + std::to_string(length) + "\r\n";
        }
        return head + "Cache-Control: no-cache\r\n\r\n";
    }
};

TEST_F(HttpServerTest, RequestTable) {
    const std::string gif("GIF89a\x01\x00\x01\x00\x00\xff", 12);
    struct Row {
        const char* name;
        std::string curl;
        std::string expected;
    };
    const Row rows[] = {
        {"default page", base + "/", Head(200, "text/html", 19) + "<html>start</html>\n"},
        {"default page of a folder", base + "/sub/", Head(200, "text/html", 8) + "sub page"},
        {"a picture", base + "/pic.gif", Head(200, "image/gif", 12) + gif},
        {"query, %20 and +", "'" + base + "/a%20b+c.txt?x=1&y'",
         Head(200, "text/plain", 9) + "abc text\n"},
        {"capital extension", base + "/PAGE.HTML",
         Head(200, "application/octet-stream", 18) + "<html>upper</html>"},
        {"missing file", base + "/missing.html", Head(404, "", 0)},
        {"HEAD", "-I " + base + "/pic.gif", Head(200, "image/gif", 12)},
        {"form post answers the filled page alone", "-d 'h002=0' " + base + "/16tansyuku_01m.html",
         Head(200, "text/html", 24) + "FILLED:<form>rows</form>"},
        {"a post of another type is answered like a GET",
         "-H 'Content-Type: text/plain' -d 'h002=0' " + base + "/pic.gif",
         Head(200, "image/gif", 12) + gif},
        {"dot-dot out of the root", base + "/../secret.txt", Head(404, "", 0)},
        {"encoded dot-dot", base + "/%2e%2e/secret.txt", Head(404, "", 0)},
        {"dot-dot inside a path", base + "/sub/../../secret.txt", Head(404, "", 0)},
        {"a link leading out of the root", base + "/link.txt", Head(404, "", 0)},
        {"a relative link climbing out of the root", base + "/up.txt", Head(404, "", 0)},
        {"a link that stays inside the root", base + "/inside.html",
         Head(200, "text/html", 8) + "sub page"},
        {"a FIFO is not waited on", base + "/pipe.txt", Head(404, "", 0)},
        {"the root itself", base + "/.", Head(404, "", 0)},
        {"an absolute path", base + "//etc/passwd", Head(404, "", 0)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Curl(row.curl), row.expected);
    }
    EXPECT_EQ(Posts(), std::vector<std::string>{"h002=0"});
    EXPECT_TRUE(Reports().empty());
}

TEST_F(HttpServerTest, MalformedRequestsGetNoAnswer) {
    struct Row {
        const char* name;
        std::string request;
    };
    const Row rows[] = {
        {"no blank in the request line", "GARBAGE\r\n\r\n"},
        {"negative length",
         "POST /16tansyuku_01m.html HTTP/1.0\r\nContent-Length: -5\r\n\r\nh002=0"},
        {"length of ten digits", "POST / HTTP/1.0\r\nContent-Length: 1000000000\r\n\r\n"},
        {"length not below the limit", "POST / HTTP/1.0\r\nContent-Length: 1024000\r\n\r\n"},
        {"length with letters", "POST / HTTP/1.0\r\nContent-Length: 12ab\r\n\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Raw(row.request), "");
    }
    EXPECT_TRUE(Posts().empty());
    // The body is bounded by its declared length, not by the bytes that follow it.
    const std::string answer = Raw(
        "POST /16tansyuku_01m.html HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Host: 127.0.0.1:" + std::to_string(server->BoundPort()) +
        "\r\nContent-Length: 6\r\n\r\nh002=0&h003=1");
    EXPECT_EQ(answer.substr(0, 17), "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(Posts(), std::vector<std::string>{"h002=0"});
}

TEST_F(HttpServerTest, PhoneBookPostsCommitTheirPageAndWarnOfDuplicates) {
    SetDuplicates(1, {1, 100, 102, 0});
    Curl("-d 's100n1=0312345678' " + base + "/16tansyuku_01m.html");
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0], "短縮番号100番と102番が重複して登録されています。");
    // Page 01 of the system book commits its rows; the next plain fill discards unsaved edits.
    Curl(base + "/16tansyuku_01m.html");
    SetDuplicates(1, {1, 981, 985, 103});
    Curl("-d 't103_981n1=0' " + base + "/17tel_02m.html");
    ASSERT_EQ(Reports().size(), 2u);
    EXPECT_EQ(Reports()[1], "収容位置103の短縮番号981番と985番が重複して登録されています。");
    EXPECT_EQ(Commits(), (std::vector<std::string>{"1,1,1", "0,0,2", "1,2,0"}));
}

TEST_F(HttpServerTest, IdleConnectionsDoNotBlockARealRequest) {
    std::vector<std::unique_ptr<CTcpSocket>> idle;
    for (int i = 0; i < 50; ++i) {
        auto socket = std::make_unique<CTcpSocket>();
        ASSERT_EQ(socket->Create(), 1);
        ASSERT_EQ(socket->Connect("127.0.0.1", server->BoundPort()), 1);
        if (i % 2 == 0) {
            ASSERT_EQ(socket->Send("GET /", 5), 5);  // half a request line
        }
        idle.push_back(std::move(socket));
    }
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(Curl(base + "/sub/"), Head(200, "text/html", 8) + "sub page");
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
    // Stop wakes every worker still reading and returns promptly.
    const auto start = std::chrono::steady_clock::now();
    server->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_FALSE(server->IsRunning());
}

TEST_F(HttpServerTest, SustainedLoadFromWrkHasNoErrors) {
    if (::access("/usr/bin/wrk", X_OK) != 0) GTEST_SKIP() << "wrk is not installed";
    // Ten seconds of fresh connections (HTTP/1.0 closes each) against a static page and a form
    // page; every answer must come, whole and 200.
    const std::string command = "wrk -t2 -c16 -d10s -H 'Connection: close' " + base +
                                "/01hosyu.html 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
    EXPECT_EQ(::pclose(pipe), 0) << out;
    const std::size_t in = out.find(" requests in");
    ASSERT_NE(in, std::string::npos) << out;
    const std::size_t start = out.find_last_not_of("0123456789", in - 1) + 1;
    EXPECT_GT(std::stol(out.substr(start, in - start)), 1000) << out;
    EXPECT_EQ(out.find("Socket errors"), std::string::npos) << out;
    EXPECT_EQ(out.find("Non-2xx"), std::string::npos) << out;
}

// Connections beyond the thread cap wait for a free thread instead of being turned away, and a
// connection that never completes its request gives its thread back at the request deadline. A
// connection that has sent nothing at all holds no thread: it is handed over once bytes come.
TEST_F(HttpServerTest, ConnectionsBeyondTheThreadCapWaitForAFreeThread) {
    server.reset();
    ServerSettings settings;
    settings.port = 0;
    settings.document_root = root.string() + "/";
    settings.max_workers = 2;
    settings.request_deadline_ms = 3000;
    server = std::make_unique<CEasyHttpServer>(lock, &forms, ServerPorts{});
    server->Reset(settings);
    ASSERT_EQ(server->Start(), 1);
    base = "http://127.0.0.1:" + std::to_string(server->BoundPort());
    const auto connect = [&](std::vector<std::unique_ptr<CTcpSocket>>& sockets, const char* sent) {
        for (int i = 0; i < 2; ++i) {
            sockets.push_back(std::make_unique<CTcpSocket>());
            ASSERT_EQ(sockets.back()->Create(), 1);
            ASSERT_EQ(sockets.back()->Connect("127.0.0.1", server->BoundPort()), 1);
            if (*sent != '\0') {
                ASSERT_EQ(sockets.back()->Send(sent, std::strlen(sent)), int(std::strlen(sent)));
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };
    const auto served_after = [&] {
        const auto asked = std::chrono::steady_clock::now();
        EXPECT_EQ(Curl(base + "/sub/01hosyu.html"), Head(200, "text/html", 8) + "sub page");
        return std::chrono::steady_clock::now() - asked;
    };

    std::vector<std::unique_ptr<CTcpSocket>> silent;
    connect(silent, "");
    EXPECT_LT(served_after(), std::chrono::milliseconds(2000))
        << "a silent connection held a thread";

    std::vector<std::unique_ptr<CTcpSocket>> idle;
    connect(idle, "GET /");  // both threads taken by requests that never end
    const auto waited = served_after();
    EXPECT_GT(waited, std::chrono::milliseconds(2500)) << "served before a thread was free";
    EXPECT_LT(waited, std::chrono::seconds(8));
    for (auto& socket : idle) {
        char byte = 0;
        EXPECT_EQ(socket->Recv(&byte, 1), 0) << "the idle connection was closed unanswered";
    }
}

TEST(HttpServer, OwnHostAndOriginMatcher) {
    struct HostRow {
        const char* host;
        std::uint16_t port;
        bool own;
    };
    const HostRow hosts[] = {
        {.host = "127.0.0.1:8080", .port = 8080, .own = true},
        {.host = "localhost:8080", .port = 8080, .own = true},
        {.host = "LocalHost:8080", .port = 8080, .own = true},
        {.host = "127.0.0.1", .port = 80, .own = true},
        {.host = "localhost", .port = 80, .own = true},
        {.host = "127.0.0.1:80", .port = 80, .own = true},
        {.host = "127.0.0.1", .port = 8080, .own = false},
        {.host = "127.0.0.1:8081", .port = 8080, .own = false},
        {.host = "127.0.0.1:08080", .port = 8080, .own = false},
        {.host = "127.0.0.1:", .port = 80, .own = false},
        {.host = "evil.example:8080", .port = 8080, .own = false},
        {.host = "evil.example", .port = 80, .own = false},
        {.host = "127.0.0.1.evil.example:8080", .port = 8080, .own = false},
        {.host = "127.0.0.2:8080", .port = 8080, .own = false},
        {.host = "[::1]:8080", .port = 8080, .own = false},
        {.host = "", .port = 80, .own = false},
    };
    for (const HostRow& row : hosts) {
        EXPECT_EQ(IsOwnHost(row.host, row.port), row.own) << row.host << " on " << row.port;
    }
    struct OriginRow {
        const char* host;
        const char* origin;
        std::uint16_t port;
        bool own;
    };
    const OriginRow origins[] = {
        {.host = "127.0.0.1:8080", .origin = "http://127.0.0.1:8080", .port = 8080, .own = true},
        {.host = "localhost:8080", .origin = "http://localhost:8080", .port = 8080, .own = true},
        {.host = "127.0.0.1", .origin = "http://127.0.0.1", .port = 80, .own = true},
        {.host = "localhost", .origin = "http://localhost", .port = 80, .own = true},
        {.host = "localhost:8080", .origin = "http://127.0.0.1:8080", .port = 8080, .own = false},
        {.host = "127.0.0.1", .origin = "http://localhost", .port = 80, .own = false},
        {.host = "127.0.0.1:8080", .origin = "http://127.0.0.1", .port = 8080, .own = false},
        {.host = "127.0.0.1:8080", .origin = "https://127.0.0.1:8080", .port = 8080, .own = false},
        {.host = "127.0.0.1:8080", .origin = "http://127.0.0.1:8080/", .port = 8080, .own = false},
        {.host = "127.0.0.1:8080", .origin = "http://evil.example", .port = 8080, .own = false},
        {.host = "127.0.0.1", .origin = "http://evil.example", .port = 80, .own = false},
        {.host = "127.0.0.1:8080", .origin = "null", .port = 8080, .own = false},
        {.host = "evil.example", .origin = "http://127.0.0.1", .port = 80, .own = false},
    };
    for (const OriginRow& row : origins) {
        EXPECT_EQ(IsOwnOrigin(row.origin, row.host, row.port), row.own)
            << row.origin << " with Host " << row.host << " on " << row.port;
    }
}

TEST(HttpServer, SettingsTableAndTemporaryNames) {
    ApplicationLock lock;
    CEasyHttpServer server(lock, nullptr, {});
    EXPECT_EQ(server.AddDynamicPage("16tansyuku_01m.html", "dlltest.dll"), 1);
    std::string library;
    EXPECT_EQ(server.FindDynamicPage("\\16tansyuku_01m.html", &library), 1);
    EXPECT_EQ(library, "dlltest.dll");
    EXPECT_EQ(server.FindDynamicPage("/16tansyuku_01m.html"), 1);
    EXPECT_EQ(server.FindDynamicPage("/16TANSYUKU_01m.html"), 0);
    server.SetDocumentRoot("/x/");
    for (int i = 0; i < 99999; ++i) server.MakeTempPageName();
    EXPECT_EQ(server.MakeTempPageName(), "/x/easy99999.html");
    EXPECT_EQ(server.MakeTempPageName(), "/x/easy00000.html");
    for (int i = 1; i < 300; ++i) server.AddDynamicPage("p" + std::to_string(i), "l");
    EXPECT_EQ(server.AddDynamicPage("one too many", "l"), -1);

    server.SetPort(0);
    ASSERT_EQ(server.Start(), 1);
    const std::uint16_t port = server.BoundPort();
    EXPECT_EQ(server.Start(), 0);  // started once
    server.SetPort(1);
    EXPECT_EQ(server.GetSettings().port, 0);  // ignored while running
    EXPECT_EQ(server.BoundPort(), port);
    server.Stop();
}

TEST(HttpServer, DecodingAndRequestLines) {
    EXPECT_EQ(DecodeUrlPart("a%20b+c"), "a b c");
    EXPECT_EQ(DecodeUrlPart("%41%4a%4A"), "AJJ");
    EXPECT_EQ(DecodeUrlPart("end%"), "end%");  // nothing is read past the text
    EXPECT_EQ(DecodeUrlPart("end%4"), "end%4");
    HttpRequest request;
    ASSERT_TRUE(ParseRequestLine("GET /a%20b+c.txt?x=1&y HTTP/1.0", request));
    EXPECT_EQ(request.method, 1);
    EXPECT_EQ(request.path, "/a b c.txt");
    ASSERT_EQ(request.query.size(), 1u);
    EXPECT_EQ(request.query[0], (std::pair<std::string, std::string>{"x", "1"}));
    HttpRequest none;
    EXPECT_FALSE(ParseRequestLine("GET", none));
    HttpRequest bare;
    ASSERT_TRUE(ParseRequestLine("GET 01hosyu.html HTTP/1.0", bare));
    EXPECT_EQ(bare.path, "/01hosyu.html");
    EXPECT_STREQ(HttpStatusText(418), "200 OK");
    EXPECT_EQ(ContentTypeNumber("x.htm"), 2);
    EXPECT_EQ(ContentTypeNumber("x.HTML"), 6);
    EXPECT_EQ(ContentTypeNumber("noext"), 6);
}

}  // namespace
}  // namespace qzs::net
