// The one reader and writer of HTTP/1.x message heads, for the local web server and the transfer
// with the main unit. A head is the start line (request or status line) and the header lines up
// to the empty line; what each side makes of those lines stays with that side. Everything here
// is bounded: a line, the count of header lines and the bytes of the whole head are capped, so a
// peer that sends endless headers is refused instead of read for ever.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qzs::net {

class CTcpSocket;

struct HttpLimits {
    std::size_t max_line = 1023;          // the start line or one header line, CR LF aside
    std::size_t max_header_lines = 100;   // header lines after the start line
    std::size_t max_head_bytes = 32768;   // the whole head with its CR LFs
};

enum class HeadStatus {
    kIncomplete,
    kComplete,
    kLineTooLong,   // a line reached past max_line
    kTooManyLines,  // more header lines than max_header_lines
    kTooLarge,      // more bytes than max_head_bytes
};

// Splits a head into its lines as the bytes come in. CR LF ends a line; a lone CR or LF is an
// ordinary character of the line; the empty line ends the head. A line is never cut: one that is
// too long refuses the whole head, so no part of it can be read as a header of its own.
class HttpHeadParser {
  public:
    explicit HttpHeadParser(HttpLimits limits = {}) : limits_(limits) {}

    // Takes bytes up to the end of the head and never past it; answers how many it took. Takes
    // nothing once the head is complete or refused.
    std::size_t Feed(std::string_view bytes);
    // The peer stopped: the line in progress is the last one and the head ends with it. A head
    // without even a start line stays incomplete.
    void Finish();

    HeadStatus status() const { return status_; }
    bool done() const { return status_ != HeadStatus::kIncomplete; }
    bool has_start_line() const { return has_start_line_; }
    const std::string& start_line() const { return start_line_; }
    const std::vector<std::string>& header_lines() const { return header_lines_; }

    // The value of the header of that name (letter case ignored): the text after its ":" with
    // blanks and tabs trimmed; nothing when absent. count() tells how many lines bear the name.
    std::optional<std::string_view> Value(std::string_view name) const;
    std::size_t Count(std::string_view name) const;

  private:
    void EndLine();

    HttpLimits limits_;
    HeadStatus status_ = HeadStatus::kIncomplete;
    std::string line_;
    bool has_start_line_ = false;
    std::string start_line_;
    std::vector<std::string> header_lines_;
    std::size_t bytes_ = 0;
};

// The start line, each header line and the empty line, each ended by CR LF.
std::string WriteHttpHead(std::string_view start_line, std::span<const std::string> header_lines);

// How reading a head from a connection ended.
enum class HeadRead {
    kComplete,  // the parser holds the head (also when the peer stopped after the start line)
    kRefused,   // the parser refused it (see its status)
    kTimeout,   // a wait ran out before the start line came, or the connection's deadline passed
    kClosed,    // the peer closed before a start line
    kError,
};

// Reads one head from a connection into the parser, taking from the connection only the head's
// own bytes (the body after it stays to be read). Each wait for bytes lasts at most
// per_read_seconds (none when 0 or less) and never past the connection's deadline. A wait that
// runs out after the start line ends the head there, as the peer closing does.
HeadRead ReadHttpHead(CTcpSocket& connection, HttpHeadParser& parser, int per_read_seconds);

}  // namespace qzs::net
