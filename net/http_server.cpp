#include "net/http_server.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/strings.h"
#include "net/http_message.h"

namespace qzs::net {
namespace {

constexpr int kReadSeconds = 10;
// A worker thread with nothing to serve for this long ends (the last one waiting stays).
constexpr int kIdleSeconds = 10;
// A browser's request head is a dozen lines of well under 1 KB each; a request line may hold
// the 1,023 characters the server has always read.
constexpr HttpLimits kRequestLimits{.max_line = 1023, .max_header_lines = 100,
                                    .max_head_bytes = 32768};
constexpr std::size_t kMaxPath = 259;
constexpr std::size_t kMaxQueryPairs = 200;
constexpr std::size_t kTemplateLimit = 1024000;
// Answers go out in large pieces: the browser gets a page in as few segments as the system makes.
constexpr std::size_t kSendPiece = 65536;
// Files up to this size are answered from memory together with their head.
constexpr std::size_t kWholeFileLimit = 4u << 20;
constexpr const char* kFormType = "application/x-www-form-urlencoded";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return static_cast<unsigned char>(c);
}

// Header values are trimmed of blanks only: a tab is not a blank of a count.
constexpr std::string_view kValueBlanks = " ";

// Whether a request path may be looked up under the root at all: no NUL and no ".." part.
bool IsServablePath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) return false;
    std::string_view rest(path);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part == "..") return false;
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return true;
}

// The file a path names under the root, or nothing when the path climbs out of the root, holds a
// NUL, or names nothing that exists. The road of a system without openat2.
std::optional<std::filesystem::path> ResolveUnderRoot(const std::string& root,
                                                      const std::string& path) {
    if (!IsServablePath(path)) return std::nullopt;
    std::error_code error;
    const std::filesystem::path base = std::filesystem::canonical(root, error);
    if (error) return std::nullopt;
    const std::filesystem::path file =
        std::filesystem::canonical(base / std::filesystem::path(path).relative_path(), error);
    if (error) return std::nullopt;
    // Symbolic links inside the root must not lead outside it either.
    const std::string b = base.string();
    const std::string f = file.string();
    if (f.size() <= b.size() || f.compare(0, b.size(), b) != 0 || f[b.size()] != '/') {
        return std::nullopt;
    }
    return file;
}

std::string GmtDate() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[64];
    // The C locale's names, as HTTP wants them whatever the user's locale is.
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday],
                  tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return text;
}

// The file a request path names under the root, opened for reading; -1 when the path climbs out
// of the root (by "..", an absolute path or a symbolic link leading outside), holds a NUL, or
// names nothing that can be opened. The root is the directory opened once when the server
// started: the kernel resolves the path beneath it in one call, so a request costs one open
// instead of a canonical walk of the root and of the file, each component a readlink. Without
// openat2 (an older kernel, or a filter refusing it) the walk is the fallback.
int OpenUnderRoot(int root_fd, const std::string& root, const std::string& path) {
    if (!IsServablePath(path)) return -1;
    // Non-blocking, so that a FIFO in the root is refused by the caller's type check, not waited
    // on.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (root_fd >= 0) {
        const std::size_t start = path.find_first_not_of('/');
        // The root itself is not a file to serve.
        if (start == std::string::npos) return -1;
        open_how how{};
        how.flags = kFlags;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        long fd = -1;
        do {
            fd = ::syscall(SYS_openat2, root_fd, path.c_str() + start, &how, sizeof how);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<int>(fd);
    }
    const std::optional<std::filesystem::path> file = ResolveUnderRoot(root, path);
    return file ? ::open(file->c_str(), kFlags) : -1;
}

// Closes a file descriptor when it goes out of scope.
struct FileCloser {
    int fd;
    ~FileCloser() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads exactly size bytes from the file's current offset; false when the file ends early or a
// read fails.
bool ReadExactly(int fd, char* out, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, out + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

using base::EqualsNoCase;

// The name of an authority ("127.0.0.1" or "localhost") when it names this server on the port.
std::optional<std::string_view> OwnName(std::string_view authority, std::uint16_t port) {
    const std::size_t colon = authority.find(':');
    const std::string_view name = authority.substr(0, colon);
    if (name != "127.0.0.1" && !EqualsNoCase(name, "localhost")) return std::nullopt;
    if (colon == std::string_view::npos) {
        if (port != 80) return std::nullopt;
    } else {
        const std::string_view digits = authority.substr(colon + 1);
        // The port exactly as a browser writes it: no sign, no leading zero, no blank.
        if (digits != std::to_string(port)) return std::nullopt;
    }
    return name;
}

}  // namespace

bool IsOwnHost(std::string_view host, std::uint16_t port) {
    return OwnName(host, port).has_value();
}

bool IsOwnOrigin(std::string_view origin, std::string_view host, std::uint16_t port) {
    constexpr std::string_view kScheme = "http://";
    const std::optional<std::string_view> host_name = OwnName(host, port);
    if (!host_name || !origin.starts_with(kScheme)) return false;
    const std::optional<std::string_view> origin_name = OwnName(origin.substr(kScheme.size()), port);
    return origin_name && EqualsNoCase(*origin_name, *host_name);
}

std::string DecodeUrlPart(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size()) {
            out += static_cast<char>(((HexValue(text[i + 1]) << 4) | HexValue(text[i + 2])) & 0xFF);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool ParseRequestLine(std::string_view line, HttpRequest& request) {
    request.request_line = std::string(line);
    if (line.starts_with("GET")) {
        request.method = 1;
    } else if (line.starts_with("POST")) {
        request.method = 2;
    } else if (line.starts_with("HEAD")) {
        request.method = 3;
    } else {
        request.method = 0;
    }
    const std::size_t first = line.find(' ');
    const std::size_t last = line.rfind(' ');
    if (first == std::string_view::npos) return false;
    std::string_view target =
        first == last ? std::string_view() : line.substr(first + 1, last - first - 1);
    const std::size_t question = target.find('?');
    if (question != std::string_view::npos) {
        std::string_view query = target.substr(question + 1);
        target = target.substr(0, question);
        while (!query.empty()) {
            const std::size_t amp = query.find('&');
            const std::string_view piece = query.substr(0, amp);
            const std::size_t eq = piece.find('=');
            if (eq != std::string_view::npos && request.query.size() < kMaxQueryPairs) {
                request.query.emplace_back(DecodeUrlPart(piece.substr(0, eq)),
                                           DecodeUrlPart(piece.substr(eq + 1)));
            }
            if (amp == std::string_view::npos) break;
            query.remove_prefix(amp + 1);
        }
    }
    request.path = DecodeUrlPart(target);
    if (request.path.empty() || request.path.front() != '/') request.path.insert(0, "/");
    return true;
}

const char* HttpStatusText(int code) {
    switch (code) {
        case 200:
            return "200 OK";
        case 201:
            return "201 Created";
        case 202:
            return "202 Accepted";
        case 204:
            return "204 No Content";
        case 300:
            return "300 Multiple Choices";
        case 301:
            return "301 Moved Permanently";
        case 302:
            return "302 Moved Temporarily";
        case 304:
            return "304 Not Modified";
        case 400:
            return "400 Bad Request";
        case 401:
            return "401 Unauthorized";
        case 403:
            return "403 Forbidden";
        case 404:
            return "404 Not Found";
        case 500:
            return "500 Internal Server Error";
        case 501:
            return "501 Not Implemented";
        case 502:
            return "502 Bad Gateway";
        case 503:
            return "503 Service Unavailable";
        default:
            return "200 OK";
    }
}

int ContentTypeNumber(std::string_view file) {
    const std::size_t dot = file.rfind('.');
    if (dot == std::string_view::npos) return 6;
    const std::string_view ext = file.substr(dot);
    if (ext == ".txt") return 1;
    if (ext == ".html" || ext == ".htm") return 2;
    if (ext == ".gif") return 3;
    if (ext == ".jpeg") return 4;
    if (ext == ".bmp") return 5;
    return 6;
}

const char* ContentTypeName(int type) {
    switch (type) {
        case 1:
            return "text/plain";
        case 2:
            return "text/html";
        case 3:
            return "image/gif";
        case 4:
            return "image/jpeg";
        case 5:
            return "image/bmp";
        case 7:
            return kFormType;
        default:
            return "application/octet-stream";
    }
}

// ---------------------------------------------------------------------------------------------
// One request

struct CEasyHttpServer::Worker {
    std::thread thread;
    std::atomic<bool> done{false};
};

namespace {

class RequestWorker {
  public:
    RequestWorker(CEasyHttpServer& server, ServerSettings settings, CTcpSocket& connection)
        : server_(server), settings_(std::move(settings)), connection_(connection) {}

    void Serve() {
        switch (ReadRequest()) {
            case Outcome::kServe:
                return Respond();
            case Outcome::kBadRequest:
                SendStatus(400, 0, 0);
                return DrainBeforeClose();
            case Outcome::kForbidden:
                SendStatus(403, 0, 0);
                return DrainBeforeClose();
            case Outcome::kSilent:
                return;  // no response: the connection is closed
        }
    }

  private:
    enum class Outcome { kServe, kSilent, kBadRequest, kForbidden };

    // A refused request may leave bytes unread (a body never taken, the rest of a line too
    // long); closing on them would reset the connection and could throw away the answer before
    // the browser reads it. The sending side is ended first and what still comes is read and
    // dropped, within the request's deadline and at most a body's worth.
    void DrainBeforeClose() {
        ::shutdown(connection_.fd(), SHUT_WR);
        char sink[4096];
        std::size_t dropped = 0;
        while (dropped < static_cast<std::size_t>(settings_.size_limit) &&
               connection_.WaitReadable(1) == 1) {
            const int n = connection_.Recv(sink, sizeof sink);
            if (n <= 0) break;
            dropped += static_cast<std::size_t>(n);
        }
    }

    Outcome ReadRequest() {
        HttpHeadParser head(kRequestLimits);
        switch (ReadHttpHead(connection_, head, kReadSeconds)) {
            case HeadRead::kComplete:
                break;
            case HeadRead::kRefused:
                // A line too long is refused whole: its tail is never read as a header line.
                return Outcome::kBadRequest;
            default:
                return Outcome::kSilent;
        }
        if (!ParseRequestLine(head.start_line(), request_)) return Outcome::kSilent;
        for (const std::string& line : head.header_lines()) {
            if (!ParseHeader(line)) return Outcome::kSilent;
        }
        if (!FromThisServer(head)) return Outcome::kForbidden;
        if (request_.has_content_length) {
            // Read at most the declared length, never past it. A body that does not fill it
            // (the browser stopped, or the time ran out) is never applied: a value cut short
            // would be stored as a different value.
            const auto length = static_cast<std::size_t>(request_.content_length);
            request_.body.assign(length, '\0');
            const int got = length == 0 ? 0 : connection_.ReceiveTimed(request_.body.data(), length,
                                                                        kReadSeconds);
            if (got != static_cast<int>(length)) return Outcome::kBadRequest;
        }
        return Outcome::kServe;
    }

    // Any page the installer has open in the browser can make it send a request here: only
    // requests addressed to this server by its own name are served, and only posts sent by its
    // own pages change anything.
    bool FromThisServer(const HttpHeadParser& head) const {
        const std::uint16_t port = server_.BoundPort();
        const std::optional<std::string_view> host = head.Value("Host");
        if (!host || head.Count("Host") != 1 || !IsOwnHost(*host, port)) return false;
        if (request_.method != 2) return true;
        if (head.Count("Origin") > 1 || head.Count("Sec-Fetch-Site") > 1) return false;
        if (const std::optional<std::string_view> origin = head.Value("Origin")) {
            if (!IsOwnOrigin(*origin, *host, port)) return false;
        }
        if (const std::optional<std::string_view> site = head.Value("Sec-Fetch-Site")) {
            if (*site != "same-origin" && *site != "none") return false;
        }
        return true;
    }

    bool ParseHeader(std::string_view line) {
        static constexpr std::string_view kLength = "Content-Length: ";
        static constexpr std::string_view kType = "Content-Type: ";
        if (line.starts_with(kLength)) {
            const std::string value(base::Trim(line.substr(kLength.size()), kValueBlanks));
            // Only a plain count of at most nine digits is a length; a negative or larger one,
            // or one not smaller than the body buffer, ends the request without an answer.
            if (value.empty() || value.size() > 9 ||
                !std::ranges::all_of(value, [](char c) { return c >= '0' && c <= '9'; })) {
                return false;
            }
            request_.has_content_length = true;
            request_.content_length = std::stoll(value);
            return request_.content_length < settings_.size_limit;
        }
        if (line.starts_with(kType)) {
            request_.content_type =
                std::string(base::Trim(line.substr(kType.size()), kValueBlanks));
        }
        return true;
    }

    void Respond() {
        const bool form_post = request_.has_content_length && request_.content_type == kFormType;
        // The body is split into its fields before the lock is taken: the GUI waits on that
        // lock, and only applying the fields needs it.
        std::optional<FormFields> fields;
        if (form_post) {
            fields = FormFields::Split(request_.body);
            if (!fields) return SendStatus(400, 0, 0);
        }
        std::string duplicate_text;
        // The pages never change while the server runs, and the template is a file of the root:
        // both are read before the lock, which only the work on the image needs.
        const bool dynamic = server_.FindDynamicPage(request_.path) != 0;
        std::optional<std::string> template_text;
        if (dynamic) template_text = ReadTemplate();
        std::string page;
        bool page_made = false;
        {
            ApplicationLock::Guard guard(server_.lock());
            FormServices* forms = server_.forms();
            if (fields && forms != nullptr) {
                forms->ApplyFormPost(*fields);
                duplicate_text = DuplicateWarning(*forms);
            }
            if (template_text) page_made = GeneratePage(std::move(*template_text), page);
        }
        // The error dialog waits for the GUI thread, which takes the lock too: show it only
        // after the lock is left.
        if (!duplicate_text.empty() && server_.ports().report_duplicate) {
            server_.ports().report_duplicate(duplicate_text);
        }
        if (dynamic) {
            if (!page_made) return SendStatus(404, 0, 0);
            std::string answer = Head(200, ContentTypeNumber(request_.path), page.size());
            if (request_.method != 3) answer += page;
            SendAll(answer.data(), answer.size());
            return;
        }
        SendFile();
    }

    std::string DuplicateWarning(FormServices& forms) {
        int row_key = 0;
        bool system = false;
        const std::string& path = request_.path;
        if (path.find("16tansyuku_") != std::string::npos ||
            path.find("17tel_") != std::string::npos) {
            server_.phone_book_posted() = 1;
            system = path.find("16tansyuku_") != std::string::npos;
            // The three digits after the letter of the first field: its row or telephone.
            const std::string& body = request_.body;
            if (body.size() >= 4) row_key = std::atoi(body.substr(1, 3).c_str());
        }
        (void)row_key;  // picked the browser window by its title; here the dialog always shows
        const DuplicateReport report = forms.Duplicates();
        if (report.count < 1) return {};
        char text[256];
        if (system) {
            std::snprintf(text, sizeof text, "短縮番号%03d番と%03d番が重複して登録されています。",
                          report.first, report.second);
        } else {
            std::snprintf(text, sizeof text,
                          "収容位置%03dの短縮番号%03d番と%03d番が重複して登録されています。",
                          report.telephone, report.first, report.second);
        }
        return text;
    }

    // The template of the requested page; nothing when it is not a regular file under the root
    // or not smaller than the template buffer of the pages' engine.
    std::optional<std::string> ReadTemplate() {
        const FileCloser file{
            OpenUnderRoot(server_.root_fd(), settings_.document_root, request_.path)};
        struct stat info {};
        if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) ||
            static_cast<std::size_t>(info.st_size) >= kTemplateLimit) {
            return std::nullopt;
        }
        std::string text(static_cast<std::size_t>(info.st_size), '\0');
        // A file cut short since fstat gives what it still holds.
        std::size_t got = 0;
        while (got < text.size()) {
            const ssize_t n = ::read(file.fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        text.resize(got);
        return text;
    }

    // The page filled from its template with the current values.
    bool GeneratePage(std::string text, std::string& page) {
        FormServices* forms = server_.forms();
        if (forms == nullptr) {
            page = std::move(text);
            return true;
        }
        if (forms->DuplicateCheckFlag() == 1) {
            if (server_.phone_book_posted() == 1) {
                const std::string& path = request_.path;
                const int scope = path.find("16tansyuku_") != std::string::npos ? 1 : 0;
                const int number = PageNumber(path);
                const int pages = scope == 1 ? 12 : 6;
                // Only a page of the phone books commits its rows; anything else commits nothing.
                if (number >= 1 && number <= pages) forms->CommitSpeedDialPage(1, number, scope);
                server_.phone_book_posted() = 0;
            } else {
                forms->CommitSpeedDialPage(0, 0, 2);
            }
        }
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* out = ::open_memstream(&buffer, &size);
        if (out == nullptr) return false;
        forms->FillFormTemplate(text, out);
        std::fclose(out);
        page.assign(buffer, size);
        std::free(buffer);
        return true;
    }

    // The two digits after the first "_" of the path; 0 when they are not two digits.
    static int PageNumber(const std::string& path) {
        const std::size_t underscore = path.find('_');
        if (underscore == std::string::npos || underscore + 2 >= path.size()) return 0;
        const char a = path[underscore + 1];
        const char b = path[underscore + 2];
        if (!std::isdigit(static_cast<unsigned char>(a)) ||
            !std::isdigit(static_cast<unsigned char>(b))) {
            return 0;
        }
        return (a - '0') * 10 + (b - '0');
    }

    void SendFile() {
        std::string path = request_.path;
        if (path.size() > kMaxPath) return SendStatus(404, 0, 0);
        if (path.back() == '/') path += settings_.default_page;
        const FileCloser file{OpenUnderRoot(server_.root_fd(), settings_.document_root, path)};
        struct stat info {};
        if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            return SendStatus(404, 0, 0);
        }
        const auto size = static_cast<std::size_t>(info.st_size);
        std::string answer = Head(200, ContentTypeNumber(path), size);
        if (request_.method == 3) {
            SendAll(answer.data(), answer.size());
            return;
        }
        if (size <= kWholeFileLimit) {
            // A file that cannot be read after all ends the answer after its head.
            const std::size_t head = answer.size();
            answer.resize(head + size);
            if (!ReadExactly(file.fd, answer.data() + head, size)) answer.resize(head);
            SendAll(answer.data(), answer.size());
            return;
        }
        if (!SendAll(answer.data(), answer.size())) return;
        std::string chunk(kSendPiece, '\0');
        for (std::size_t left = size; left > 0;) {
            ssize_t got = 0;
            do {
                got = ::read(file.fd, chunk.data(), std::min(left, chunk.size()));
            } while (got < 0 && errno == EINTR);
            if (got <= 0 || !SendAll(chunk.data(), static_cast<std::size_t>(got))) break;
            left -= static_cast<std::size_t>(got);
        }
    }

    bool SendAll(const char* data, std::size_t size) {
        std::size_t sent = 0;
        while (sent < size) {
            const int n = connection_.Send(data + sent, std::min(size - sent, kSendPiece));
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    void SendStatus(int code, int type, std::size_t length) {
        const std::string head = Head(code, type, length);
        SendAll(head.data(), head.size());
    }

    std::string Head(int code, int type, std::size_t length) {
        std::string head = std::string("HTTP/1.0 ") + HttpStatusText(code) + "\r\n";
        head += "Date: " + GmtDate() + "\r\n";
        head += "Server: " + settings_.server_name + "\r\n";
        if (length > 0) {
            head += std::string("Content-Type: ") + ContentTypeName(type) + "\r\n";
            head += "Content-Length: " + std::to_string(length) + "\r\n";
        }
        head += "Cache-Control: no-cache\r\n\r\n";
        return head;
    }

    CEasyHttpServer& server_;
    ServerSettings settings_;
    CTcpSocket& connection_;
    HttpRequest request_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The server

CEasyHttpServer::CEasyHttpServer(ApplicationLock& lock, FormServices* forms, ServerPorts ports)
    : lock_(lock), forms_(forms), ports_(std::move(ports)) {
    Reset(ServerSettings{});
}

CEasyHttpServer::~CEasyHttpServer() {
    Stop();
}

void CEasyHttpServer::Reset(const ServerSettings& settings) {
    if (running_) return;
    settings_ = settings;
    temp_counter_ = 0;
    phone_book_posted_ = 0;
    pages_.clear();
}

void CEasyHttpServer::SetBacklog(int backlog) {
    if (!running_) settings_.backlog = backlog;
}
void CEasyHttpServer::SetPort(std::uint16_t port) {
    if (!running_) settings_.port = port;
}
void CEasyHttpServer::SetMaxFileSize(int size) {
    if (!running_) settings_.size_limit = size;
}
void CEasyHttpServer::SetDocumentRoot(std::string_view root) {
    if (!running_) settings_.document_root = std::string(root.substr(0, kMaxPath));
}
void CEasyHttpServer::SetDefaultPage(std::string_view page) {
    if (!running_) settings_.default_page = std::string(page.substr(0, kMaxPath));
}
void CEasyHttpServer::SetLogFile(std::string_view file) {
    if (!running_) settings_.log_file = std::string(file.substr(0, kMaxPath));
}
void CEasyHttpServer::SetServerName(std::string_view name) {
    if (!running_) settings_.server_name = std::string(name.substr(0, kMaxPath));
}

int CEasyHttpServer::AddDynamicPage(std::string_view page, std::string_view library) {
    if (running_ || pages_.size() >= kMaxDynamicPages) return -1;
    pages_.push_back(
        {std::string(page.substr(0, kMaxPath)), std::string(library.substr(0, kMaxPath))});
    return static_cast<int>(pages_.size());
}

int CEasyHttpServer::FindDynamicPage(std::string_view path, std::string* library) const {
    std::string bare;
    for (char c : path) {
        if (c != '/' && c != '\\') bare += c;
    }
    for (const DynamicPage& entry : pages_) {
        if (entry.page == bare) {
            if (library != nullptr) *library = entry.library;
            return 1;
        }
    }
    return 0;
}

std::string CEasyHttpServer::MakeTempPageName() {
    char name[32];
    std::snprintf(name, sizeof name, "easy%05d.html", temp_counter_);
    temp_counter_ = temp_counter_ >= 99999 ? 0 : temp_counter_ + 1;
    std::string root = settings_.document_root;
    if (!root.empty() && root.back() != '/') root += '/';
    return root + name;
}

ServerSettings CEasyHttpServer::GetSettings() const {
    return settings_;
}

int CEasyHttpServer::Start() {
    if (running_ || started_) return 0;
    SocketPorts socket_ports;
    socket_ports.show_error = ports_.show_error;
    listener_.SetPorts(socket_ports);
    if (listener_.Create(SOCK_STREAM) != 1) {
        if (ports_.show_error) ports_.show_error("\nソケット生成に失敗しました。\n");
        return 0;
    }
    // A privileged port is not open to an ordinary user here: take a free one instead.
    const bool privileged = settings_.port != 0 && settings_.port < 1024;
    int listening = listener_.Listen(settings_.port, settings_.backlog,
                                     CTcpSocket::Scope::kLoopback, privileged);
    if (listening != 1 && privileged && listener_.last_error() == EACCES) {
        listening = listener_.Listen(0, settings_.backlog);
    } else if (listening != 1 && privileged && ports_.show_error) {
        char text[96];
        std::snprintf(text, sizeof text, "\nバインドに失敗しました。\nerr:%d",
                      listener_.last_error());
        ports_.show_error(text);
    }
    if (listening != 1) {
        listener_.Close();
        return 0;
    }
    bound_port_ = listener_.LocalPort();
    // A thread waiting in accept gives up after the idle time unless it is the last one waiting.
    const timeval idle{.tv_sec = kIdleSeconds, .tv_usec = 0};
    ::setsockopt(listener_.fd(), SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
    // A connection is handed to a thread once its first bytes have come: the thread reads the
    // request at once instead of waking twice, and a connection that never sends anything holds
    // no thread while it waits.
    const int defer_seconds = kReadSeconds;
    ::setsockopt(listener_.fd(), IPPROTO_TCP, TCP_DEFER_ACCEPT, &defer_seconds,
                 sizeof defer_seconds);
    // The root is opened once: every request is looked up beneath it. A root that cannot be
    // opened now is looked up by its name per request (and answers 404 while it is missing).
    root_fd_ = ::open(settings_.document_root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    running_ = true;
    started_ = true;
    bool started = false;
    {
        std::lock_guard lock(workers_mutex_);
        started = StartWorkerLocked();
    }
    if (!started) {
        running_ = false;
        listener_.Close();
        CloseRoot();
        if (ports_.show_error) ports_.show_error("\nスレッド起動に失敗しました。\n");
        return 0;
    }
    return 1;
}

void CEasyHttpServer::CloseRoot() {
    if (root_fd_ >= 0) ::close(root_fd_);
    root_fd_ = -1;
}

bool CEasyHttpServer::StartWorkerLocked() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
    auto worker = std::make_unique<Worker>();
    Worker* w = worker.get();
    const ServerSettings settings = settings_;
    try {
        w->thread = std::thread([this, w, settings] {
            WorkerLoop(settings);
            w->done = true;
        });
    } catch (const std::system_error&) {
        return false;
    }
    ++live_workers_;
    ++idle_workers_;
    workers_.push_back(std::move(worker));
    return true;
}

// Each thread takes its connections from the listening socket itself: the kernel hands a new
// connection to one thread waiting in accept, with no second thread to wake and no queue of our
// own. Connections beyond the threads wait in the listening socket's backlog until a thread is
// free. Whoever takes the last waiting place starts another thread, up to the cap, so that a
// thread waits in accept while the others serve.
void CEasyHttpServer::WorkerLoop(const ServerSettings& settings) {
    for (;;) {
        auto connection = std::make_unique<CTcpSocket>();
        const bool accepted = listener_.Accept(*connection) == 1;
        const int error = accepted ? 0 : errno;
        std::unique_lock lock(workers_mutex_);
        if (!running_) {  // stopping: a connection just taken closes unanswered
            --idle_workers_;
            --live_workers_;
            return;
        }
        if (!accepted) {
            if (error == EAGAIN || error == EWOULDBLOCK) {
                // Idle for the whole wait: the thread ends unless it is the last one waiting.
                if (idle_workers_ > 1) {
                    --idle_workers_;
                    --live_workers_;
                    return;
                }
            } else if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
                // Out of descriptors or memory: the connection stays in the backlog; try again
                // shortly instead of spinning.
                lock.unlock();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            continue;
        }
        --idle_workers_;
        if (idle_workers_ == 0 && live_workers_ < settings.max_workers) StartWorkerLocked();
        CTcpSocket* serving = connection.get();
        serving_.push_back(serving);
        lock.unlock();
        connection->set_receive_pause_ms(0);
        connection->SetDeadlineAfter(std::chrono::milliseconds(settings.request_deadline_ms));
        RequestWorker(*this, settings, *connection).Serve();
        lock.lock();
        serving_.erase(std::find(serving_.begin(), serving_.end(), serving));
        const bool stopping = !running_;
        if (stopping) {
            --live_workers_;
        } else {
            ++idle_workers_;  // about to wait in accept again
        }
        lock.unlock();
        // Closed only once Stop can no longer reach it to interrupt it, and outside the lock:
        // a close can take a while, and every other thread passes this lock twice a connection.
        connection->Close();
        if (stopping) return;
    }
}

int CEasyHttpServer::Stop() {
    {
        std::lock_guard lock(workers_mutex_);
        running_ = false;
        // Every thread waiting in accept wakes (the listening socket stops listening) and ends;
        // connections still reading their request are woken; a worker already answering
        // finishes its answer (a failed send ends it). Connections nobody took yet are refused
        // with the listening socket.
        listener_.Interrupt();
        for (CTcpSocket* connection : serving_) connection->Interrupt();
    }
    for (;;) {
        bool all_done = true;
        {
            std::lock_guard lock(workers_mutex_);
            for (auto& worker : workers_) all_done = all_done && worker->done.load();
        }
        if (all_done) break;
        if (ports_.pump) ports_.pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    {
        std::lock_guard lock(workers_mutex_);
        for (auto& worker : workers_) {
            if (worker->thread.joinable()) worker->thread.join();
        }
        workers_.clear();
    }
    // Closed only now: no thread can be inside accept on a descriptor that another open reuses.
    listener_.Close();
    CloseRoot();
    return 1;
}

}  // namespace qzs::net
