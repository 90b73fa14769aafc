#include "net/tcp_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

namespace qzs::net {
namespace {

constexpr std::size_t kChunk = 1024;

// Both directions for a stream socket; a datagram socket has nothing to shut down.
void ShutdownBoth(int fd, int type) {
    if (fd >= 0 && type == SOCK_STREAM) ::shutdown(fd, SHUT_RDWR);
}

}  // namespace

int CTcpSocket::Create(int type) {
    if (fd_ >= 0) return 0;
    type_ = type;
    fd_ = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    return fd_ >= 0 ? 1 : 0;
}

int CTcpSocket::Listen(std::uint16_t port, int backlog, Scope scope, bool quiet) {
    if (fd_ < 0) return 0;
    const int one = 1;
    if (::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(scope == Scope::kLoopback ? INADDR_LOOPBACK : INADDR_ANY);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        last_error_ = errno;
        if (ports_.show_error && !quiet) {
            char text[96];
            std::snprintf(text, sizeof text, "\nバインドに失敗しました。\nerr:%d", last_error_);
            ports_.show_error(text);
        }
        return 0;
    }
    if (::listen(fd_, backlog) != 0) {
        last_error_ = errno;
        if (ports_.show_error && !quiet) ports_.show_error("\nlisten()に失敗しました。\n");
        return 0;
    }
    return 1;
}

std::uint16_t CTcpSocket::LocalPort() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

std::string CTcpSocket::GetLocalAddress() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

int CTcpSocket::Accept(CTcpSocket& target) {
    if (fd_ < 0) return 0;
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int fd = -1;
    do {
        fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return 0;
    target.Close();
    target.fd_ = fd;
    target.peer_ = peer;
    target.type_ = type_;
    return 1;
}

int CTcpSocket::AcceptTimed(CTcpSocket& target, int seconds) {
    if (WaitReadable(seconds > 0 ? seconds : 10) != 1) return 0;
    return Accept(target);
}

int CTcpSocket::Connect(const std::string& host, std::uint16_t port) {
    // The stale ARP entry that the original tool cleared before each connection is left to the
    // system: no command is ever run with text the user typed.
    if (fd_ < 0) return 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return 0;
    sockaddr_in address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    ::freeaddrinfo(found);
    address.sin_port = htons(port);
    int result = 0;
    do {
        result = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 1 : 0;
}

int CTcpSocket::SetKeepAlive(bool on) {
    const int value = on ? 1 : 0;
    return fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &value, sizeof value) == 0 ? 1
                                                                                              : 0;
}

int CTcpSocket::Shutdown() {
    return Close();
}

int CTcpSocket::Close() {
    if (fd_ >= 0) {
        ShutdownBoth(fd_, type_);
        ::close(fd_);
        fd_ = -1;
    }
    return 1;
}

void CTcpSocket::Interrupt() {
    ShutdownBoth(fd_, type_);
}

int CTcpSocket::Recv(void* buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    ssize_t n = 0;
    do {
        n = ::recv(fd_, buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    return static_cast<int>(n);
}

int CTcpSocket::Peek(void* buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    ssize_t n = 0;
    do {
        n = ::recv(fd_, buffer, size, MSG_PEEK);
    } while (n < 0 && errno == EINTR);
    return static_cast<int>(n);
}

std::optional<int> CTcpSocket::PeekNow(void* buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    ssize_t n = 0;
    do {
        n = ::recv(fd_, buffer, size, MSG_PEEK | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return std::nullopt;
    return static_cast<int>(n);
}

int CTcpSocket::Send(const void* data, std::size_t length) {
    if (fd_ < 0) return -1;
    // A peer that went away must not kill the program with SIGPIPE. With a deadline the send
    // never blocks: a peer that stops reading must not hold it past the exchange's end (what
    // went out is answered, as a short send). The send is tried first and waited for only when
    // the connection is full: a connection with room takes it at once, without a poll.
    const int flags = MSG_NOSIGNAL | (deadline_ ? MSG_DONTWAIT : 0);
    if (DeadlinePassed()) return -1;
    for (;;) {
        const ssize_t n = ::send(fd_, data, length, flags);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && deadline_ && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitWritable() != 1) return -1;
            continue;
        }
        return static_cast<int>(n);
    }
}

int CTcpSocket::SendLine(std::string_view text) {
    std::string line(text);
    line += "\r\n";
    // A send that may not block can take a line in pieces.
    std::size_t sent = 0;
    while (sent < line.size()) {
        const int n = Send(line.data() + sent, line.size() - sent);
        if (n <= 0) return sent > 0 ? static_cast<int>(sent) : n;
        sent += static_cast<std::size_t>(n);
    }
    return static_cast<int>(sent);
}

bool CTcpSocket::DeadlinePassed() const {
    return deadline_ && std::chrono::steady_clock::now() >= *deadline_;
}

int CTcpSocket::PollTimeout(int seconds) const {
    long long timeout = seconds > 0 ? seconds * 1000LL : -1;
    if (deadline_) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                              *deadline_ - std::chrono::steady_clock::now())
                              .count();
        const long long remaining = std::max<long long>(left, 0);
        timeout = timeout < 0 ? remaining : std::min(timeout, remaining);
    }
    return static_cast<int>(std::min<long long>(timeout, 1LL << 30));
}

int CTcpSocket::WaitReadable(int seconds) const {
    if (fd_ < 0) return -1;
    pollfd p{fd_, POLLIN, 0};
    for (;;) {
        if (DeadlinePassed()) return 0;
        const int r = ::poll(&p, 1, PollTimeout(seconds));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) return 0;
        return 1;  // readable, or closed / in error: the read tells which
    }
}

int CTcpSocket::WaitWritable() const {
    if (fd_ < 0) return -1;
    pollfd p{fd_, POLLOUT, 0};
    for (;;) {
        if (DeadlinePassed()) return 0;
        const int r = ::poll(&p, 1, PollTimeout(0));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        return r == 0 ? 0 : 1;
    }
}

int CTcpSocket::RecvLine(char* buffer, std::size_t capacity) {
    int seconds = 0;
    return ReadLine(*this, buffer, capacity, seconds);
}

int ReadLine(CTcpSocket& socket, char* buffer, std::size_t capacity, int& seconds) {
    if (buffer == nullptr || capacity == 0) return -1;
    std::size_t count = 0;
    for (;;) {
        const int ready = socket.WaitReadable(seconds);
        if (ready < 0) {
            buffer[count] = '\0';
            return -1;
        }
        if (ready == 0) {
            buffer[count] = '\0';
            seconds = -1;
            return -1;
        }
        char byte = 0;
        const int n = socket.Recv(&byte, 1);
        if (n == 0) break;
        if (n < 0) {
            buffer[count] = '\0';
            return -1;
        }
        if (byte == '\n' && count > 0 && buffer[count - 1] == '\r') {
            --count;
            break;
        }
        buffer[count++] = byte;
        if (count >= capacity - 1) break;
    }
    buffer[count] = '\0';
    return static_cast<int>(count);
}

void CTcpSocket::PostProgress(std::size_t total) const {
    if (ports_.post) {
        ports_.post(kTransferWindowCaption, WM_UPDATE_BYSTEP_MESSAGE,
                    static_cast<std::intptr_t>(total));
    }
}

int CTcpSocket::ReceiveLoop(char* buffer, std::size_t count, int seconds, int progress,
                            bool chunked) {
    if (receive_pause_ms_ > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(receive_pause_ms_));
    }
    std::size_t total = 0;
    while (total < count) {
        const int ready = WaitReadable(seconds);
        if (ready < 0) return -1;
        if (ready == 0) break;
        const std::size_t want = chunked ? std::min(count - total, kChunk) : count - total;
        const int n = Recv(buffer + total, want);
        if (n == 0) break;
        if (n < 0) return -1;
        total += static_cast<std::size_t>(n);
        if (progress == 1) PostProgress(total);
    }
    return static_cast<int>(total);
}

int CTcpSocket::ReceiveBytes(char* buffer, std::size_t count, int seconds, int progress) {
    return ReceiveLoop(buffer, count, seconds, progress, true);
}

int CTcpSocket::ReceiveTimed(char* buffer, std::size_t count, int seconds) {
    return ReceiveLoop(buffer, count, seconds, 0, false);
}

int CTcpSocket::SendBytes(const char* data, std::size_t length, int progress) {
    std::size_t total = 0;
    int last = Send(data, std::min(length, kChunk));
    if (last > 0) total += static_cast<std::size_t>(last);
    while (last > 0 && total < length) {
        last = Send(data + total, std::min(length - total, kChunk));
        if (last <= 0) break;
        total += static_cast<std::size_t>(last);
        if (progress == 1) PostProgress(total);
    }
    return last < 0 ? last : static_cast<int>(total);
}

}  // namespace qzs::net
