// The head reader and writer shared by the web server and the transfer: line ends, the caps on
// lines, header lines and head bytes, the end of a head within the bytes that follow it, and
// reading a head from a live connection without taking its body.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/http_message.h"
#include "net/tcp_socket.h"
#include "tests/net/net_test_support.h"

namespace qzs::net {
namespace {

HttpLimits Small() {
    HttpLimits limits;
    limits.max_line = 20;
    limits.max_header_lines = 3;
    limits.max_head_bytes = 80;
    return limits;
}

TEST(HttpHeadParser, Cases) {
    struct Row {
        const char* name;
        std::string bytes;
        HeadStatus status;
        std::string start;
        std::vector<std::string> headers;
        std::size_t taken;  // bytes of the head
    };
    const std::string line20(20, 'a');
    const std::string header20 = "A:" + std::string(18, 'b');
    const Row rows[] = {
        {.name = "a head and the body after it",
         .bytes = "GET / HTTP/1.0\r\nHost: x\r\n\r\nbody",
         .status = HeadStatus::kComplete,
         .start = "GET / HTTP/1.0",
         .headers = {"Host: x"},
         .taken = 27},
        {.name = "a lone LF and a lone CR are characters of their line",
         .bytes = "GET /a\nb\rc\r\nX: 1\n2\r\n\r\n",
         .status = HeadStatus::kComplete,
         .start = "GET /a\nb\rc",
         .headers = {"X: 1\n2"},
         .taken = 22},
        {.name = "a line of exactly the cap",
         .bytes = line20 + "\r\n\r\n",
         .status = HeadStatus::kComplete,
         .start = line20,
         .headers = {},
         .taken = 24},
        {.name = "a start line one past the cap is refused, its tail never a header",
         .bytes = line20 + "Content-Length: 5\r\n\r\nh002=",
         .status = HeadStatus::kLineTooLong,
         .start = "",
         .headers = {},
         .taken = 21},
        {.name = "a header line past the cap",
         .bytes = "GET / HTTP/1.0\r\n" + line20 + "b\r\n\r\n",
         .status = HeadStatus::kLineTooLong,
         .start = "GET / HTTP/1.0",
         .headers = {},
         .taken = 37},
        {.name = "one header line too many",
         .bytes = "S\r\nA: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\n\r\n",
         .status = HeadStatus::kTooManyLines,
         .start = "S",
         .headers = {"A: 1", "B: 2", "C: 3"},
         .taken = 27},
        {.name = "a head larger than its cap in lines within theirs",
         .bytes = line20 + "\r\n" + header20 + "\r\n" + header20 + "\r\n" + header20 + "\r\n\r\n",
         .status = HeadStatus::kTooLarge,
         .start = line20,
         .headers = {header20, header20},
         .taken = 81},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // The same head whole and byte by byte.
        HttpHeadParser whole(Small());
        EXPECT_EQ(whole.Feed(row.bytes), row.taken);
        HttpHeadParser bytes(Small());
        std::size_t taken = 0;
        for (char c : row.bytes) taken += bytes.Feed(std::string_view(&c, 1));
        EXPECT_EQ(taken, row.taken);
        for (const HttpHeadParser* parser : {&whole, &bytes}) {
            EXPECT_EQ(parser->status(), row.status);
            EXPECT_EQ(parser->start_line(), row.start);
            EXPECT_EQ(parser->header_lines(), row.headers);
        }
    }
}

TEST(HttpHeadParser, PeerStoppingAndHeaderValues) {
    HttpHeadParser nothing;
    nothing.Finish();
    EXPECT_EQ(nothing.status(), HeadStatus::kIncomplete) << "no start line, no head";

    HttpHeadParser cut;
    cut.Feed("HTTP/1.1 200 OK\r\ncontent-LENGTH :  12 \t\r\nX-A: 1\r\nx-a: 2\r\nServ");
    EXPECT_FALSE(cut.done());
    cut.Finish();
    EXPECT_EQ(cut.status(), HeadStatus::kComplete);
    EXPECT_EQ(cut.header_lines().back(), "Serv");
    EXPECT_EQ(cut.Value("Content-Length"), "12");
    EXPECT_EQ(cut.Value("x-a"), "1");
    EXPECT_EQ(cut.Count("X-A"), 2u);
    EXPECT_EQ(cut.Value("Host"), std::nullopt);
    EXPECT_EQ(cut.Count("Serv"), 0u) << "a line without a colon names nothing";
}

TEST(HttpHeadParser, WriterMakesWhatTheParserReads) {
    const std::vector<std::string> headers = {"Host: 127.0.0.1", "Content-Length: 0"};
    const std::string head = WriteHttpHead("GET /connection.xml HTTP/1.1", headers);
    EXPECT_EQ(head, "GET /connection.xml HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(WriteHttpHead("HTTP/1.1 200 OK", {}), "HTTP/1.1 200 OK\r\n\r\n");
}

using Pair = SocketPair;

TEST(ReadHttpHead, LeavesTheBodyOnTheConnection) {
    Pair pair;
    pair.PeerSends("POST /x HTTP/1.0\r\nContent-Length: 4\r\n\r\nbody");
    HttpHeadParser parser;
    ASSERT_EQ(ReadHttpHead(pair.ours, parser, 2), HeadRead::kComplete);
    EXPECT_EQ(parser.Value("Content-Length"), "4");
    char body[8] = {};
    EXPECT_EQ(pair.ours.Recv(body, sizeof body), 4);
    EXPECT_EQ(std::string(body), "body");
}

TEST(ReadHttpHead, EndsOfAHeadThatNeverCompletes) {
    using std::chrono::milliseconds;
    using std::chrono::steady_clock;
    {
        SCOPED_TRACE("closed before a start line");
        Pair pair;
        pair.peer.Close();
        HttpHeadParser parser;
        EXPECT_EQ(ReadHttpHead(pair.ours, parser, 2), HeadRead::kClosed);
    }
    {
        SCOPED_TRACE("a silent peer: the wait runs out before a start line");
        Pair pair;
        HttpHeadParser parser;
        EXPECT_EQ(ReadHttpHead(pair.ours, parser, 1), HeadRead::kTimeout);
    }
    {
        SCOPED_TRACE("the peer stops after the start line: the head ends there");
        Pair pair;
        pair.PeerSends("GET / HTTP/1.0\r\nHost: a");
        pair.peer.Close();
        HttpHeadParser parser;
        EXPECT_EQ(ReadHttpHead(pair.ours, parser, 2), HeadRead::kComplete);
        EXPECT_EQ(parser.header_lines(), std::vector<std::string>{"Host: a"});
    }
    {
        SCOPED_TRACE("endless header lines trickled in: the deadline ends the head");
        Pair pair;
        std::atomic<bool> stop{false};
        std::thread trickle([&] {
            pair.PeerSends("GET / HTTP/1.0\r\n");
            while (!stop) {
                pair.PeerSends("X");
                std::this_thread::sleep_for(milliseconds(20));
            }
        });
        HttpLimits roomy;
        roomy.max_line = 1 << 20;
        roomy.max_head_bytes = 1 << 20;
        HttpHeadParser parser(roomy);
        pair.ours.SetDeadlineAfter(milliseconds(400));
        const auto start = steady_clock::now();
        EXPECT_EQ(ReadHttpHead(pair.ours, parser, 5), HeadRead::kTimeout);
        EXPECT_LT(steady_clock::now() - start, milliseconds(2000));
        stop = true;
        trickle.join();
    }
    {
        SCOPED_TRACE("an over-long line is refused at once");
        Pair pair;
        pair.PeerSends(std::string(2000, 'G'));
        HttpHeadParser parser;
        EXPECT_EQ(ReadHttpHead(pair.ours, parser, 2), HeadRead::kRefused);
        EXPECT_EQ(parser.status(), HeadStatus::kLineTooLong);
    }
}

}  // namespace
}  // namespace qzs::net
