// Pieces the network tests share: a connected pair of sockets on loopback and reading a file
// whole.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/tcp_socket.h"

namespace qzs::net {

// A connected pair: `ours` is the wrapper under test, `peer` the other end. The progress posts
// of `ours` are kept, and its bulk receives start without the pause.
struct SocketPair {
    CTcpSocket listener;
    CTcpSocket ours;
    CTcpSocket peer;
    std::vector<std::pair<std::string, std::intptr_t>> posts;

    SocketPair() {
        EXPECT_EQ(listener.Create(), 1);
        EXPECT_EQ(listener.Listen(0, 2), 1);
        EXPECT_EQ(peer.Create(), 1);
        EXPECT_EQ(peer.Connect("127.0.0.1", listener.LocalPort()), 1);
        EXPECT_EQ(listener.AcceptTimed(ours), 1);
        SocketPorts ports;
        ports.post = [this](std::string_view caption, int message, std::intptr_t w) {
            EXPECT_EQ(message, 1128);
            posts.emplace_back(std::string(caption), w);
        };
        ours.SetPorts(ports);
        ours.set_receive_pause_ms(0);
    }
    void PeerSends(std::string_view bytes) {
        ASSERT_EQ(peer.Send(bytes.data(), bytes.size()), static_cast<int>(bytes.size()));
    }
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace qzs::net
