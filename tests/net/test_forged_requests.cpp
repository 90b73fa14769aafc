// Requests a page elsewhere on the web (or a name rebound to this machine) can make the browser
// send, against the running server over a real image: each is refused and the image keeps its
// value, while the same post sent by the server's own page changes it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "net/http_server.h"
#include "net/state_form_services.h"
#include "settings/data_image_startup.h"

namespace qzs::net {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPage = "<input type=\"text\" name=\"h155\"><br>";

class ForgedRequestsTest : public ::testing::Test {
  protected:
    fs::path root = fs::temp_directory_path() / ("qzs-forged-" + std::to_string(::getpid()));
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();
    StateFormServices services{*state};
    std::unique_ptr<CEasyHttpServer> server;
    std::string own;  // 127.0.0.1:port

    void SetUp() override {
        InitDataImage(*state);
        fs::create_directories(root);
        std::ofstream(root / "01hosyu_01m.html") << kPage;
        server = std::make_unique<CEasyHttpServer>(state->lock, &services, ServerPorts{});
        ServerSettings settings;
        settings.port = 0;
        settings.document_root = root.string() + "/";
        settings.request_deadline_ms = 1500;
        server->Reset(settings);
        server->AddDynamicPage("01hosyu_01m.html", "dlltest.dll");
        ASSERT_EQ(server->Start(), 1);
        own = "127.0.0.1:" + std::to_string(server->BoundPort());
    }
    void TearDown() override {
        server.reset();
        fs::remove_all(root);
    }

    // The value the page shows for *155 now.
    std::string Shown() {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* out = ::open_memstream(&buffer, &size);
        services.FillFormTemplate(kPage, out);
        std::fclose(out);
        std::string page(buffer, size);
        std::free(buffer);
        const std::size_t at = page.find("value=\"");
        return at == std::string::npos ? page : page.substr(at + 7, 2);
    }

    // Sends the bytes, ends the sending side when asked, and reads the answer to its end.
    std::string Send(const std::string& request, bool end_sending) {
        CTcpSocket socket;
        EXPECT_EQ(socket.Create(), 1);
        EXPECT_EQ(socket.Connect("127.0.0.1", server->BoundPort()), 1);
        // The server may close before it has all of a forged request: its answer is what counts.
        (void)socket.Send(request.data(), request.size());
        if (end_sending) ::shutdown(socket.fd(), SHUT_WR);
        std::string out;
        char chunk[4096];
        int n = 0;
        while ((n = socket.Recv(chunk, sizeof chunk)) > 0) out.append(chunk, static_cast<std::size_t>(n));
        return out;
    }

    std::string Post(const std::string& headers, const std::string& body = "h155=06") {
        return "POST /01hosyu_01m.html HTTP/1.0\r\n"
               "Content-Type: application/x-www-form-urlencoded\r\n" +
               headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }
};

TEST_F(ForgedRequestsTest, EachIsRefusedAndTheImageKeepsItsValue) {
    ASSERT_EQ(Shown(), "03");
    // The start line up to 1,023 characters, then what an attacker wants read as header lines.
    const std::string long_line = "GET /01hosyu_01m.html?" + std::string(1001, 'a');
    ASSERT_EQ(long_line.size(), 1023u);
    struct Row {
        const char* name;
        std::string request;
        const char* status;
        bool end_sending = false;
    };
    const Row rows[] = {
        {.name = "a form on another site",
         .request = Post("Host: " + own + "\r\nOrigin: http://evil.example\r\n"),
         .status = "403 Forbidden"},
        {.name = "a name rebound to this machine",
         .request = Post("Host: evil.example:" + std::to_string(server->BoundPort()) +
                         "\r\nOrigin: http://evil.example:" +
                         std::to_string(server->BoundPort()) + "\r\n"),
         .status = "403 Forbidden"},
        {.name = "the browser says cross-site",
         .request = Post("Host: " + own + "\r\nSec-Fetch-Site: cross-site\r\n"),
         .status = "403 Forbidden"},
        {.name = "a sandboxed frame",
         .request = Post("Host: " + own + "\r\nOrigin: null\r\n"),
         .status = "403 Forbidden"},
        {.name = "no Host at all", .request = Post(""), .status = "403 Forbidden"},
        {.name = "two Host lines",
         .request = Post("Host: " + own + "\r\nHost: evil.example\r\n"),
         .status = "403 Forbidden"},
        {.name = "a request line too long, its tail spelling a form post",
         .request = long_line + "Content-Length: 7\r\n"
                                "Content-Type: application/x-www-form-urlencoded\r\nHost: " +
                    own + "\r\n\r\nh155=06",
         .status = "400 Bad Request"},
        {.name = "a body cut short of its length",
         .request = Post("Host: " + own + "\r\n").replace(
             Post("Host: " + own + "\r\n").find("Length: 7"), 9, "Length: 9"),
         .status = "400 Bad Request",
         .end_sending = true},
        {.name = "more fields than any page has",
         .request = [&] {
             std::string body = "h155=06";
             for (std::size_t i = 0; i < kMaxFormFields; ++i) body += "&x=1";
             return Post("Host: " + own + "\r\n", body);
         }(),
         .status = "400 Bad Request"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string answer = Send(row.request, row.end_sending);
        EXPECT_EQ(answer.substr(0, answer.find("\r\n")), std::string("HTTP/1.0 ") + row.status);
        EXPECT_EQ(Shown(), "03");
    }
    // The same post from the server's own page goes through: the rows above could fail.
    const std::string answer =
        Send(Post("Host: " + own + "\r\nOrigin: http://" + own +
                  "\r\nSec-Fetch-Site: same-origin\r\n"),
             false);
    EXPECT_EQ(answer.substr(0, answer.find("\r\n")), "HTTP/1.0 200 OK");
    EXPECT_EQ(Shown(), "06");
}

}  // namespace
}  // namespace qzs::net
