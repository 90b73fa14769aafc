// The socket wrapper against a peer on loopback: line reading with and without time-outs, bulk
// receive and send in 1024-byte chunks with their progress posts, and the open/close rules.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/tcp_socket.h"
#include "tests/net/net_test_support.h"

namespace qzs::net {
namespace {

using Pair = SocketPair;

TEST(TcpSocket, ReadLineCases) {
    struct Row {
        const char* name;
        std::string bytes;
        bool close_after;
        int answer;
        std::string text;
    };
    const Row rows[] = {
        {"CR LF ends the line", "abc\r\nrest", false, 3, "abc"},
        {"an empty line", "\r\n", false, 0, ""},
        {"a lone LF is a character; the peer closing ends the line", "ab\n", true, 3, "ab\n"},
        {"a lone CR is a character", "a\rb\r\n", false, 3, "a\rb"},
        {"a long line is cut at capacity - 1", std::string(20, 'x') + "\r\n", false, 15,
         std::string(15, 'x')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Pair pair;
        pair.PeerSends(row.bytes);
        if (row.close_after) pair.peer.Close();
        char buffer[16];
        int seconds = 3;
        EXPECT_EQ(ReadLine(pair.ours, buffer, sizeof buffer, seconds), row.answer);
        EXPECT_EQ(std::string(buffer), row.text);
        EXPECT_EQ(seconds, 3);
    }
}

TEST(TcpSocket, ReadLineTimesOutOnASilentPeer) {
    Pair pair;
    char buffer[16];
    int seconds = 1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadLine(pair.ours, buffer, sizeof buffer, seconds), -1);
    EXPECT_EQ(seconds, -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    // Without a time-out it waits until the line comes.
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        pair.PeerSends("late\r\n");
    });
    EXPECT_EQ(pair.ours.RecvLine(buffer, sizeof buffer), 4);
    late.join();
}

TEST(TcpSocket, ReceiveBytesInChunksWithProgress) {
    Pair pair;
    const std::string data(3000, 'd');
    pair.PeerSends(data);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<char> buffer(3000);
    EXPECT_EQ(pair.ours.ReceiveBytes(buffer.data(), 3000, 3, 1), 3000);
    std::vector<std::intptr_t> totals;
    for (auto& [caption, w] : pair.posts) {
        EXPECT_EQ(caption, "データ通信実行中");
        totals.push_back(w);
    }
    EXPECT_EQ(totals, (std::vector<std::intptr_t>{1024, 2048, 3000}));

    Pair closing;
    closing.PeerSends(std::string(1500, 'e'));
    closing.peer.Close();
    EXPECT_EQ(closing.ours.ReceiveBytes(buffer.data(), 3000, 3, 0), 1500);
    EXPECT_TRUE(closing.posts.empty());
}

TEST(TcpSocket, SendBytesPostsAfterTheFirstChunk) {
    Pair pair;
    const std::string data(2500, 's');
    EXPECT_EQ(pair.ours.SendBytes(data.data(), data.size(), 1), 2500);
    std::vector<std::intptr_t> totals;
    for (auto& post : pair.posts) totals.push_back(post.second);
    EXPECT_EQ(totals, (std::vector<std::intptr_t>{2048, 2500}));
    std::vector<char> got(2500);
    pair.peer.set_receive_pause_ms(0);
    EXPECT_EQ(pair.peer.ReceiveTimed(got.data(), got.size(), 3), 2500);
}

TEST(TcpSocket, OpenCloseAndConnectRules) {
    CTcpSocket socket;
    EXPECT_EQ(socket.Create(), 1);
    const int fd = socket.fd();
    EXPECT_EQ(socket.Create(), 0);  // keeps the open socket
    EXPECT_EQ(socket.fd(), fd);
    EXPECT_EQ(socket.Close(), 1);
    EXPECT_EQ(socket.Close(), 1);
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(socket.Listen(0, 1), 0);  // not open

    CTcpSocket client;
    ASSERT_EQ(client.Create(), 1);
    EXPECT_EQ(client.Connect("no-such-host.invalid", 9000), 0);

    // A port in use shows the bind message with the error.
    CTcpSocket first;
    ASSERT_EQ(first.Create(), 1);
    ASSERT_EQ(first.Listen(0, 1), 1);
    std::vector<std::string> shown;
    CTcpSocket second;
    SocketPorts ports;
    ports.show_error = [&](std::string_view text) { shown.emplace_back(text); };
    second.SetPorts(ports);
    ASSERT_EQ(second.Create(), 1);
    // SO_REUSEADDR does not let two sockets listen on one port.
    EXPECT_EQ(second.Listen(first.LocalPort(), 1), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "\nバインドに失敗しました。\nerr:" + std::to_string(EADDRINUSE));
}

}  // namespace
}  // namespace qzs::net
