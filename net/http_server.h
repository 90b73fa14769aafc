// The small HTTP/1.0 server inside the program that serves the settings pages to the browser on
// this machine. Worker threads take the connections from the listening socket themselves; each
// connection carries exactly one request: the worker reads the whole request first (with
// time-outs and size limits), then takes the application lock for the work on the data image,
// and answers with a page filled from its template, a static file, or 404. Files are looked up
// beneath the document root opened once at the start, never outside it.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/tcp_socket.h"
#include "programming/state.h"
#include "settings/form_post.h"

namespace qzs::net {

struct ServerSettings {
    // A queue of 2 pending connections drops the SYNs of a browser that opens its parallel
    // connections at once, and each dropped one waits a second for its retry. 16 still refused
    // bursts of 100 parallel clients; the kernel caps what is asked at its own somaxconn.
    int backlog = 512;
    std::uint16_t port = 80;
    int size_limit = 1024000;  // a POST body must be smaller
    std::string document_root = "./";
    std::string default_page = "index.html";
    std::string log_file = "./http.log";  // kept, never written
    std::string server_name = "EasyHttpServer/1.0";
    // A request (its head, its body and the answer) must be over within this time, however the
    // browser paces its bytes; each single wait is still at most 10 seconds. Tests shorten it.
    int request_deadline_ms = 30000;
    // Connection threads at most; connections beyond them wait in the listening socket's backlog
    // for a free one. A browser opens six at a time, so this leaves room for several windows and
    // for idle connections a browser keeps open.
    int max_workers = 64;
};

// The first pair of speed-dial rows found holding one number twice, after a form post.
struct DuplicateReport {
    int count = 0;
    int first = 0;
    int second = 0;
    int telephone = 0;  // position of the telephone of a per-telephone duplicate
};

// What a worker does with the data image. The worker holds the application lock around every
// call.
class FormServices {
  public:
    virtual ~FormServices() = default;
    // The body was split into its fields before the lock was taken.
    virtual void ApplyFormPost(const FormFields& fields) = 0;
    virtual DuplicateReport Duplicates() = 0;
    virtual int DuplicateCheckFlag() = 0;
    virtual void CommitSpeedDialPage(int flag, int page, int scope) = 0;
    virtual void FillFormTemplate(std::string_view template_text, std::FILE* out) = 0;
};

struct ServerPorts {
    // Message boxes of the server ("エラー", warning icon).
    std::function<void(std::string_view text)> show_error;
    // The duplicate warning in the error dialog; returns when the user has closed it. Called
    // without the application lock held.
    std::function<void(std::string_view text)> report_duplicate;
    // One pass over the caller's pending events while Stop waits for the workers: a worker may be
    // waiting for the GUI thread to show its error dialog.
    std::function<void()> pump;
};

class CEasyHttpServer {
  public:
    static constexpr int kMaxDynamicPages = 300;

    CEasyHttpServer(ApplicationLock& lock, FormServices* forms, ServerPorts ports);
    ~CEasyHttpServer();
    CEasyHttpServer(const CEasyHttpServer&) = delete;
    CEasyHttpServer& operator=(const CEasyHttpServer&) = delete;

    void Reset(const ServerSettings& settings);

    // Each is ignored while the server runs.
    void SetBacklog(int backlog);
    void SetPort(std::uint16_t port);
    void SetMaxFileSize(int size);
    void SetDocumentRoot(std::string_view root);
    void SetDefaultPage(std::string_view page);
    void SetLogFile(std::string_view file);
    void SetServerName(std::string_view name);

    // Answers the new count; refuses (answers -1) past 300 pages or while running.
    int AddDynamicPage(std::string_view page, std::string_view library);
    // 1 when the path with every separator removed is a page name (exact, case-sensitive).
    int FindDynamicPage(std::string_view path, std::string* library = nullptr) const;
    // "<root>easyNNNNN.html", the counter wrapping after 99,999.
    std::string MakeTempPageName();

    ServerSettings GetSettings() const;
    bool IsRunning() const { return running_.load(); }

    // Listens and starts the first worker thread: 1, or 0 with a message shown. Port 80 is the
    // server's port; where the system refuses it to an unprivileged program, a free port is
    // taken instead (BoundPort tells which).
    [[nodiscard]] int Start();
    // Stops accepting, wakes every worker blocked on its connection and waits until all
    // threads have ended. Answers 1.
    int Stop();
    std::uint16_t BoundPort() const { return bound_port_; }

    // Used by the workers.
    ApplicationLock& lock() { return lock_; }
    FormServices* forms() { return forms_; }
    const ServerPorts& ports() const { return ports_; }
    int& phone_book_posted() { return phone_book_posted_; }
    // The document root opened when the server started; -1 when it could not be opened.
    int root_fd() const { return root_fd_; }

  private:
    struct Worker;
    bool StartWorkerLocked();
    void WorkerLoop(const ServerSettings& settings);
    void CloseRoot();

    ApplicationLock& lock_;
    FormServices* forms_;
    ServerPorts ports_;
    ServerSettings settings_;
    CTcpSocket listener_;
    std::atomic<bool> running_{false};
    bool started_ = false;
    int root_fd_ = -1;
    std::uint16_t bound_port_ = 0;
    int temp_counter_ = 0;
    int phone_book_posted_ = 0;
    struct DynamicPage {
        std::string page;
        std::string library;
    };
    std::vector<DynamicPage> pages_;

    // The connections being served and the worker threads.
    std::mutex workers_mutex_;
    std::vector<CTcpSocket*> serving_;
    int idle_workers_ = 0;  // threads waiting in accept (or about to), under workers_mutex_
    int live_workers_ = 0;  // threads inside WorkerLoop, counted under workers_mutex_
    std::list<std::unique_ptr<Worker>> workers_;
};

// The server's decoder of paths and query parts: "+" is a blank, "%" and two hexadecimal digits
// one byte; a "%" without two characters after it is kept as it stands.
std::string DecodeUrlPart(std::string_view text);

// One request as the worker reads it; exposed for tests.
struct HttpRequest {
    int method = 0;  // 0 other, 1 GET, 2 POST, 3 HEAD
    std::string request_line;
    std::string path;  // decoded, query removed
    std::vector<std::pair<std::string, std::string>> query;
    std::string content_type;
    bool has_content_length = false;
    long long content_length = 0;
    std::string body;
};

// Whether a Host value names this server as the browser reaches it: "127.0.0.1:P" or
// "localhost:P" with the bound port P, and on port 80 also without ":80". Anything else (another
// name that resolves here, as DNS rebinding makes one) is a page of another site asking.
bool IsOwnHost(std::string_view host, std::uint16_t port);
// Whether an Origin value is this server's own origin written as the request's Host writes it:
// "http://", then the same name, with the port as a browser writes it ("http://localhost" on
// port 80). "null" and every other site are refused.
bool IsOwnOrigin(std::string_view origin, std::string_view host, std::uint16_t port);

// Parses the request line into method, path and query; false when it has no blank.
bool ParseRequestLine(std::string_view line, HttpRequest& request);
// The status line text of a code ("404 Not Found"; unknown codes "200 OK").
const char* HttpStatusText(int code);
// Type number of a file name by its extension, exact case: 1 text, 2 html, 3 gif, 4 jpeg, 5 bmp,
// 6 anything else.
int ContentTypeNumber(std::string_view file);
const char* ContentTypeName(int type);

}  // namespace qzs::net
