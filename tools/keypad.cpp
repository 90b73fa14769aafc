// qzs-keypad: the keypad programming interpreter on a console. Starts from a freshly initialised
// data image and reads standard input line by line:
//   // text        a comment; prints nothing (an empty line prints nothing either)
//   @B.O          prints "B.O=HH": byte O of block B (decimal) as two hexadecimal digits
//   @B.O&MM       prints "B.O&MM=HH": the same byte ANDed with the hexadecimal mask MM
//   anything else a command string run on terminal 1; prints the display line without its
//                 trailing blanks, in UTF-8
//   UPLOAD, DOWNLOAD, SDUPLOAD, SDDOWNLOAD
//                 runs the installer menu's road of the main-unit upload, its download, the
//                 speed-dial upload or its download against the main unit given by --unit, with
//                 the current directory as the start directory and every confirmation answered
//                 OK; prints "FORM=0" on success, "FORM=-1" on failure; the messages go to stderr
// Every other line of input gives exactly one line of output; an address that does not exist
// gives a line beginning with "error:".
//
// Options: --unit HOST:PORT:LISTENPORT  the main unit's address and port, and the port on which
//                                       this side listens for the main unit's connection back
//          --fast                       the protocol's waits shortened to those of the tests
#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/application.h"
#include "app/installer_menu.h"
#include "net/transfer_session.h"
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

struct UnitAddress {
    std::string host;
    std::uint16_t port = 0;
    std::uint16_t listening_port = 0;
};

// HOST:PORT:LISTENPORT with a host and two ports from 1 to 65535.
std::optional<UnitAddress> ParseUnit(std::string_view text) {
    const std::size_t second = text.rfind(':');
    if (second == std::string_view::npos || second == 0) return std::nullopt;
    const std::size_t first = text.rfind(':', second - 1);
    if (first == std::string_view::npos || first == 0) return std::nullopt;
    const auto port = ParseNumber(text.substr(first + 1, second - first - 1), 10);
    const auto listening = ParseNumber(text.substr(second + 1), 10);
    if (!port || !listening || *port == 0 || *port > 65535 || *listening == 0 ||
        *listening > 65535) {
        return std::nullopt;
    }
    return UnitAddress{std::string(text.substr(0, first)), static_cast<std::uint16_t>(*port),
                       static_cast<std::uint16_t>(*listening)};
}

// The menu's message boxes on stderr, every question answered OK.
class StderrMessages : public qzs::app::MessagePort {
  public:
    int ShowMessage(std::string_view text, std::string_view caption, qzs::app::MessageIcon,
                    qzs::app::MessageButtons) override {
        while (!text.empty() && text.front() == '\n') text.remove_prefix(1);
        while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
        std::cerr << "[" << caption << "] " << text << '\n';
        return qzs::app::kIdOk;
    }
};

int TransferKindOf(std::string_view form) {
    if (form == "UPLOAD") return 1;
    if (form == "DOWNLOAD") return 2;
    if (form == "SDUPLOAD") return 3;
    if (form == "SDDOWNLOAD") return 4;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Cp932ToUtf8 converter;
    if (!converter.Ready()) {
        std::cerr << "qzs-keypad: no CP932 to UTF-8 conversion on this system\n";
        return 1;
    }
    std::optional<UnitAddress> unit;
    bool fast = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--fast") {
            fast = true;
        } else if (arg == "--unit" && i + 1 < argc) {
            unit = ParseUnit(argv[++i]);
            if (!unit) {
                std::cerr << "qzs-keypad: --unit wants HOST:PORT:LISTENPORT: " << argv[i] << '\n';
                return 2;
            }
        } else {
            std::cerr << "qzs-keypad: unknown argument: " << arg << '\n';
            return 2;
        }
    }

    // The application object holds the data image, the start directory (the current one) and
    // the transfer session, as in the program.
    StderrMessages messages;
    qzs::app::ShellPorts ports;
    ports.messages = &messages;
    qzs::app::CDataSettingApp app(std::move(ports));
    app.InitInstance();
    ProgrammingState& state = app.state();
    std::unique_ptr<qzs::app::CInstallerMenuDialog> menu;

    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.starts_with("//")) continue;
        if (const int kind = TransferKindOf(line); kind != 0) {
            if (!unit) {
                std::cerr << "qzs-keypad: " << line << " needs --unit HOST:PORT:LISTENPORT\n";
                return 2;
            }
            if (!menu) {
                app.set_online_mode(1);
                app.CreateSessionIfMissing();
                auto* session = dynamic_cast<qzs::net::CTransferSession*>(app.session());
                session->SetHost(unit->host, unit->port);
                session->set_listening_port(unit->listening_port);
                if (fast) session->set_timings(qzs::net::TransferTimings::Fast());
                menu = std::make_unique<qzs::app::CInstallerMenuDialog>(app);
            }
            std::cout << line << "=" << (menu->RunTransfer(kind) == 0 ? 0 : -1) << '\n';
            std::cout.flush();
            continue;
        }
        if (line.front() == '@') {
            std::cout << ReadImageByte(state, std::string_view(line).substr(1)) << '\n';
        } else {
            std::cout << RunLine(state, converter, line) << '\n';
        }
        std::cout.flush();
    }
    return 0;
}
