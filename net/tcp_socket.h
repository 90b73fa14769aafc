// The one socket wrapper of the program: an IPv4 stream socket with blocking calls, readiness
// waits with time-outs in whole seconds, CR LF line reading, and bulk transfers in 1024-byte chunks
// that report progress to the window captioned "データ通信実行中".
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qzs::net {

// Where the wrapper's messages and progress go: the shell supplies both; without them nothing is
// shown or posted.
struct SocketPorts {
    // A message box with the caption "エラー" and the warning icon.
    std::function<void(std::string_view text)> show_error;
    // Posts a progress message to the window of that caption, when it exists.
    std::function<void(std::string_view caption, int message, std::intptr_t wparam)> post;
};

inline constexpr int WM_UPDATE_BYSTEP_MESSAGE = 1128;
inline constexpr const char* kTransferWindowCaption = "データ通信実行中";

class CTcpSocket {
  public:
    CTcpSocket() = default;
    ~CTcpSocket() { Close(); }
    CTcpSocket(const CTcpSocket&) = delete;
    CTcpSocket& operator=(const CTcpSocket&) = delete;

    void SetPorts(SocketPorts ports) { ports_ = std::move(ports); }

    // 0 when already open (the open socket is kept); 1 when a socket of the type was made.
    [[nodiscard]] int Create(int type = SOCK_STREAM);
    bool IsOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Binds and listens; port 0 takes a free port. The local web server serves only the browser
    // on this machine and binds the loopback address; the transfer's listener, which the main
    // unit connects back to, binds every address. Shows the bind and listen messages on failure
    // unless asked to stay quiet (a caller that tries another port first).
    enum class Scope { kLoopback, kAnyAddress };
    int Listen(std::uint16_t port, int backlog, Scope scope = Scope::kLoopback, bool quiet = false);
    // errno of the last failed bind or listen.
    int last_error() const { return last_error_; }
    // The port actually bound, 0 when not bound.
    std::uint16_t LocalPort() const;
    std::string GetLocalAddress() const;

    int Accept(CTcpSocket& target);
    // Waits at most 10 seconds (or the seconds given) for a connection.
    int AcceptTimed(CTcpSocket& target, int seconds = 10);
    int Connect(const std::string& host, std::uint16_t port);
    int SetKeepAlive(bool on);
    // Shuts both directions down (waking any thread blocked on the socket), then closes.
    int Shutdown();
    int Close();
    // Shuts both directions down without closing: a thread blocked in a read or accept returns.
    void Interrupt();

    const sockaddr_in& peer() const { return peer_; }

    int Recv(void* buffer, std::size_t size);
    // The bytes waiting on the connection, left there for the next Recv.
    int Peek(void* buffer, std::size_t size);
    // Peek without waiting: nothing when no byte has come yet (and the connection is open).
    std::optional<int> PeekNow(void* buffer, std::size_t size);
    [[nodiscard]] int Send(const void* data, std::size_t length);
    [[nodiscard]] int SendLine(std::string_view text);
    // One line without a time-out.
    int RecvLine(char* buffer, std::size_t capacity);
    int ReadRawLine(char* buffer, std::size_t capacity) { return RecvLine(buffer, capacity); }
    int ReceiveBytes(char* buffer, std::size_t count, int seconds, int progress);
    int ReceiveTimed(char* buffer, std::size_t count, int seconds);
    [[nodiscard]] int SendBytes(const char* data, std::size_t length, int progress);

    // The pause before a bulk receive lets the peer fill the connection; tests shorten it.
    void set_receive_pause_ms(int ms) { receive_pause_ms_ = ms; }

    // The time by which a whole exchange must be over. Every wait of the wrapper (line reads,
    // bulk receives, sends) ends by it at the latest and then counts as a time-out, however
    // long the single wait was meant to be: a peer that trickles bytes cannot stretch the
    // exchange by resetting each wait.
    void SetDeadline(std::chrono::steady_clock::time_point deadline) { deadline_ = deadline; }
    void SetDeadlineAfter(std::chrono::milliseconds span) {
        deadline_ = std::chrono::steady_clock::now() + span;
    }
    void ClearDeadline() { deadline_.reset(); }
    bool DeadlinePassed() const;

    // 1 readable, 0 time-out (or the deadline passed), -1 error. seconds <= 0 waits without
    // limit (up to the deadline when one is set).
    int WaitReadable(int seconds) const;

  private:
    friend int ReadLine(CTcpSocket& socket, char* buffer, std::size_t capacity, int& seconds);
    // The same for sending; without a deadline it does not wait at all (the send blocks).
    int WaitWritable() const;
    // Milliseconds for poll: the wait cut to the deadline; -1 without either.
    int PollTimeout(int seconds) const;
    int ReceiveLoop(char* buffer, std::size_t count, int seconds, int progress, bool chunked);
    void PostProgress(std::size_t total) const;

    int fd_ = -1;
    int type_ = SOCK_STREAM;
    sockaddr_in peer_{};
    SocketPorts ports_;
    int receive_pause_ms_ = 1000;
    int last_error_ = 0;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
};

// Reads one line with a time-out: the line without its CR LF, its length as the answer; -1 for an
// error, and -1 with seconds set to -1 on expiry. seconds <= 0 waits without limit.
int ReadLine(CTcpSocket& socket, char* buffer, std::size_t capacity, int& seconds);

}  // namespace qzs::net
