// Message heads as a browser or a main unit might send them, cut into two pieces at a point the
// first byte chooses. The parser must take the same head whole or in pieces, never take a byte
// past the head, keep every cap, and read back what the writer makes of the lines it found.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/http_message.h"

namespace {

qzs::net::HttpLimits SmallLimits() {
    qzs::net::HttpLimits limits;
    limits.max_line = 64;
    limits.max_header_lines = 8;
    limits.max_head_bytes = 256;
    return limits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const qzs::net::HttpLimits limits = SmallLimits();

    qzs::net::HttpHeadParser whole(limits);
    const std::size_t taken = whole.Feed(input);
    if (taken > input.size()) __builtin_trap();

    const std::size_t cut = input.empty() ? 0 : data[0] % (input.size() + 1);
    qzs::net::HttpHeadParser pieces(limits);
    std::size_t taken_pieces = pieces.Feed(input.substr(0, cut));
    if (taken_pieces == cut) taken_pieces += pieces.Feed(input.substr(cut));
    if (taken_pieces != taken || pieces.status() != whole.status() ||
        pieces.header_lines() != whole.header_lines()) {
        __builtin_trap();
    }
    if (whole.header_lines().size() > limits.max_header_lines) __builtin_trap();
    if (whole.start_line().size() > limits.max_line) __builtin_trap();
    for (const std::string& line : whole.header_lines()) {
        if (line.empty() || line.size() > limits.max_line) __builtin_trap();
    }

    whole.Finish();
    if (whole.status() == qzs::net::HeadStatus::kComplete) {
        const std::string written = qzs::net::WriteHttpHead(whole.start_line(), whole.header_lines());
        qzs::net::HttpLimits roomy;
        roomy.max_head_bytes = written.size();
        qzs::net::HttpHeadParser again(roomy);
        if (again.Feed(written) != written.size() ||
            again.status() != qzs::net::HeadStatus::kComplete ||
            again.start_line() != whole.start_line() ||
            again.header_lines() != whole.header_lines()) {
            __builtin_trap();
        }
        (void)whole.Value("Content-Length");
    }
    return 0;
}
