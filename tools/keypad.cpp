// qzs-keypad: the keypad programming interpreter on a console. Starts from a freshly initialised
// data image and reads standard input line by line:
//   // text        a comment; prints nothing (an empty line prints nothing either)
//   @B.O          prints "B.O=HH": byte O of block B (decimal) as two hexadecimal digits
//   @B.O&MM       prints "B.O&MM=HH": the same byte ANDed with the hexadecimal mask MM
//   anything else a command string run on terminal 1; prints the display line without its
//                 trailing blanks, in UTF-8
// Every other line of input gives exactly one line of output; an address that does not exist
// gives a line beginning with "error:".
#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "programming/data_image.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"

namespace {

using qzs::ProgrammingState;

// The display line is CP932 (ASCII and half-width katakana); a byte that does not convert shows
// as '?'.
class Cp932ToUtf8 {
  public:
    Cp932ToUtf8() : cd_(iconv_open("UTF-8", "CP932")) {}
    ~Cp932ToUtf8() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Cp932ToUtf8(const Cp932ToUtf8&) = delete;
    Cp932ToUtf8& operator=(const Cp932ToUtf8&) = delete;

    bool Ready() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::string Convert(std::string_view text) const {
        std::string out;
        std::string in(text);
        char* in_ptr = in.data();
        std::size_t in_left = in.size();
        char buffer[256];
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        while (in_left > 0) {
            char* out_ptr = buffer;
            std::size_t out_left = sizeof buffer;
            const std::size_t r = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
            out.append(buffer, static_cast<std::size_t>(out_ptr - buffer));
            if (r != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            // An invalid or cut-off sequence: one byte becomes '?' and the rest goes on.
            out.push_back('?');
            ++in_ptr;
            --in_left;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

  private:
    iconv_t cd_;
};

std::optional<unsigned> ParseNumber(std::string_view text, int base) {
    unsigned value = 0;
    if (text.empty()) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "@B.O" or "@B.O&MM" (without the '@').
std::string ReadImageByte(const ProgrammingState& state, std::string_view query) {
    const std::size_t dot = query.find('.');
    const std::size_t amp = query.find('&');
    if (dot == std::string_view::npos || (amp != std::string_view::npos && amp < dot)) {
        return "error: expected @B.O or @B.O&MM: @" + std::string(query);
    }
    const auto block = ParseNumber(query.substr(0, dot), 10);
    const auto offset =
        ParseNumber(query.substr(dot + 1, amp == std::string_view::npos ? std::string_view::npos
                                                                        : amp - dot - 1),
                    10);
    std::optional<unsigned> mask = 0xFF;
    if (amp != std::string_view::npos) {
        const std::string_view mask_text = query.substr(amp + 1);
        mask = mask_text.size() <= 2 ? ParseNumber(mask_text, 16) : std::nullopt;
    }
    if (!block || !offset || !mask) {
        return "error: expected @B.O or @B.O&MM: @" + std::string(query);
    }
    if (*block >= static_cast<unsigned>(qzs::kBlockCount)) {
        return "error: no block " + std::to_string(*block);
    }
    const std::uint8_t* byte = state.image.BlockByte(static_cast<int>(*block), *offset);
    if (byte == nullptr) {
        return "error: block " + std::to_string(*block) + " has no byte " + std::to_string(*offset);
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    const unsigned value = *byte & *mask;
    return std::string(query) + "=" + kHex[value >> 4] + kHex[value & 0x0F];
}

std::string RunLine(ProgrammingState& state, const Cp932ToUtf8& converter, std::string_view text) {
    qzs::ApplicationLock::Guard guard(state.lock);
    qzs::RunCommand(state, 1, text);
    // The line as a terminated string (a line no command has started holds zero bytes), without
    // its trailing blanks.
    std::string_view line = state.terminals[0].line.Text();
    line = line.substr(0, line.find('\0'));
    const std::size_t last = line.find_last_not_of(' ');
    line = last == std::string_view::npos ? std::string_view() : line.substr(0, last + 1);
    return converter.Convert(line);
}

}  // namespace

int main() {
    const Cp932ToUtf8 converter;
    if (!converter.Ready()) {
        std::cerr << "qzs-keypad: no CP932 to UTF-8 conversion on this system\n";
        return 1;
    }
    auto state = std::make_unique<ProgrammingState>();
    qzs::InitDataImage(*state);

    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.starts_with("//")) continue;
        if (line.front() == '@') {
            std::cout << ReadImageByte(*state, std::string_view(line).substr(1)) << '\n';
        } else {
            std::cout << RunLine(*state, converter, line) << '\n';
        }
        std::cout.flush();
    }
    return 0;
}
