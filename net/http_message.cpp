#include "net/http_message.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "net/tcp_socket.h"

namespace qzs::net {
namespace {

constexpr std::size_t kPeekChunk = 4096;

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The name of a header line: the text before its ":", blanks before the ":" left out.
std::optional<std::string_view> HeaderName(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

}  // namespace

std::size_t HttpHeadParser::Feed(std::string_view bytes) {
    std::size_t taken = 0;
    while (taken < bytes.size() && status_ == HeadStatus::kIncomplete) {
        const char byte = bytes[taken++];
        if (++bytes_ > limits_.max_head_bytes) {
            status_ = HeadStatus::kTooLarge;
            break;
        }
        if (byte == '\n' && !line_.empty() && line_.back() == '\r') {
            line_.pop_back();
            EndLine();
            continue;
        }
        // The CR of a line's end is held until its LF comes, so a full line may take one more.
        if (line_.size() > limits_.max_line ||
            (line_.size() == limits_.max_line && byte != '\r')) {
            status_ = HeadStatus::kLineTooLong;
            break;
        }
        line_ += byte;
    }
    return taken;
}

void HttpHeadParser::EndLine() {
    if (!has_start_line_) {
        has_start_line_ = true;
        start_line_ = std::move(line_);
    } else if (line_.empty()) {
        status_ = HeadStatus::kComplete;
    } else if (header_lines_.size() >= limits_.max_header_lines) {
        status_ = HeadStatus::kTooManyLines;
    } else {
        header_lines_.push_back(std::move(line_));
    }
    line_.clear();
}

void HttpHeadParser::Finish() {
    if (status_ != HeadStatus::kIncomplete) return;
    if (line_.size() > limits_.max_line) {
        status_ = HeadStatus::kLineTooLong;
        return;
    }
    if (!line_.empty()) EndLine();
    if (status_ == HeadStatus::kIncomplete && has_start_line_) status_ = HeadStatus::kComplete;
}

std::optional<std::string_view> HttpHeadParser::Value(std::string_view name) const {
    for (const std::string& line : header_lines_) {
        const std::optional<std::string_view> found = HeaderName(line);
        if (found && EqualsNoCase(*found, name)) {
            return TrimBlanks(std::string_view(line).substr(line.find(':') + 1));
        }
    }
    return std::nullopt;
}

std::size_t HttpHeadParser::Count(std::string_view name) const {
    return static_cast<std::size_t>(std::ranges::count_if(header_lines_, [&](const std::string& l) {
        const std::optional<std::string_view> found = HeaderName(l);
        return found && EqualsNoCase(*found, name);
    }));
}

std::string WriteHttpHead(std::string_view start_line, std::span<const std::string> header_lines) {
    std::string head(start_line);
    head += "\r\n";
    for (const std::string& line : header_lines) {
        head += line;
        head += "\r\n";
    }
    head += "\r\n";
    return head;
}

HeadRead ReadHttpHead(CTcpSocket& connection, HttpHeadParser& parser, int per_read_seconds) {
    char chunk[kPeekChunk];
    while (!parser.done()) {
        // Bytes already waiting are taken without a poll first (a browser's request is there
        // when its connection is accepted); the wait comes only when nothing has come yet.
        std::optional<int> now;
        if (!connection.DeadlinePassed()) now = connection.PeekNow(chunk, sizeof chunk);
        if (!now) {
            const int ready = connection.WaitReadable(per_read_seconds);
            if (ready < 0) return HeadRead::kError;
            if (ready == 0) {
                // The whole exchange's time is up: nothing more is waited for.
                if (connection.DeadlinePassed() || !parser.has_start_line()) {
                    return HeadRead::kTimeout;
                }
                parser.Finish();
                break;
            }
        }
        // The bytes are looked at first and only the head's own are taken, so that the body
        // after the head is left on the connection for whoever reads it.
        const int seen = now ? *now : connection.Peek(chunk, sizeof chunk);
        if (seen < 0) return HeadRead::kError;
        if (seen == 0) {
            parser.Finish();
            if (!parser.has_start_line()) return HeadRead::kClosed;
            break;
        }
        const std::size_t taken =
            parser.Feed(std::string_view(chunk, static_cast<std::size_t>(seen)));
        if (taken > 0 && connection.Recv(chunk, taken) != static_cast<int>(taken)) {
            return HeadRead::kError;
        }
    }
    return parser.status() == HeadStatus::kComplete ? HeadRead::kComplete : HeadRead::kRefused;
}

}  // namespace qzs::net
