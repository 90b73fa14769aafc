#include "tools/keypad_console.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/application.h"
#include "app/data_setting_menu.h"
#include "app/installer_menu.h"
#include "app/transfer_file_services.h"
#include "base/atomic_file.h"
#include "net/http_server.h"
#include "net/state_form_services.h"
#include "net/transfer_session.h"
#include "net/xml_reader.h"
#include "programming/data_image.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_file.h"
#include "settings/data_image_startup.h"
#include "settings/form_post.h"
#include "settings/form_template.h"
#include "settings/main_unit_files.h"
#include "settings/settings_pages.h"
#include "settings/sheet_lines.h"

namespace qzs::tools {
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

// A line the console refuses: what is wrong with it.
struct Refusal {
    std::string what;
};

// "@B.O" or "@B.O&MM" (without the '@').
std::string ReadImageByte(const ProgrammingState& state, std::string_view query) {
    const std::size_t dot = query.find('.');
    const std::size_t amp = query.find('&');
    if (dot == std::string_view::npos || (amp != std::string_view::npos && amp < dot)) {
        throw Refusal{"expected @B.O or @B.O&MM: @" + std::string(query)};
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
        throw Refusal{"expected @B.O or @B.O&MM: @" + std::string(query)};
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

struct Session {
    ProgrammingState& state;
    const Cp932ToUtf8& converter;
};

std::vector<std::string_view> Arguments(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t p = 0;
    while (p < text.size()) {
        while (p < text.size() && text[p] == ' ') ++p;
        const std::size_t q = std::min(text.find(' ', p), text.size());
        if (q > p) words.push_back(text.substr(p, q - p));
        p = q;
    }
    return words;
}

std::string PostLine(Session& s, std::string_view body) {
    return "POST=" + std::to_string(qzs::ApplyFormPost(s.state, body));
}

// The page is written to a temporary name beside the file and renamed, so a failed fill leaves
// no half page behind.
std::string FillLine(Session& s, std::string_view arguments) {
    const std::vector<std::string_view> words = Arguments(arguments);
    if (words.size() != 2) throw Refusal{"FILL needs a page and a file"};
    const std::string page(words[0]);
    if (page != qzs::kSettingsStartPage && !qzs::FindSettingsPage(page)) {
        throw Refusal{"FILL: no settings page " + page};
    }
    const std::filesystem::path source = ProgramDirectory() / "HTMLFiles" / page;
    std::ifstream in(source, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) throw Refusal{"FILL: cannot read " + source.string()};
    const std::filesystem::path target(words[1]);
    qzs::base::AtomicFile out(target.string());
    if (!out.Open() || out.Stream() == nullptr) {
        throw Refusal{"FILL: cannot write " + target.string()};
    }
    qzs::FillFormTemplate(s.state, text.str(), out.Stream());
    if (!out.Commit()) throw Refusal{"FILL: cannot write " + target.string()};
    std::error_code error;
    const auto size = std::filesystem::file_size(target, error);
    if (error) throw Refusal{"FILL: cannot write " + target.string()};
    return "FILL=" + std::to_string(size);
}

std::string ListLine(Session& s, std::string_view arguments) {
    const std::vector<std::string_view> words = Arguments(arguments);
    if (words.size() != 1 || words[0].size() != 1) throw Refusal{"LIST needs one group character"};
    const char group = words[0][0];
    const int answer = qzs::ListCommandGroup(s.state, group);
    std::string out;
    if (answer == 0) {
        for (const qzs::SheetLine& line : qzs::CopySheetLines(s.state)) {
            std::string_view text(line.data(), qzs::kSheetReplayColumn);
            text = text.substr(0, text.find_last_not_of(' ') + 1);
            out += s.converter.Convert(text) + "\n";
        }
    }
    return out + "LIST " + group + "=" + std::to_string(answer);
}

std::string ByteLine(Session& s, std::string_view query) {
    return ReadImageByte(s.state, query);
}

// The line forms: a line beginning with the word (and a blank, for the forms with arguments)
// goes to its handler with the rest of the line.
struct LineForm {
    std::string_view word;
    std::string (*handle)(Session&, std::string_view rest);
};
constexpr LineForm kLineForms[] = {
    {"@", ByteLine},
    {"POST ", PostLine},
    {"FILL ", FillLine},
    {"LIST ", ListLine},
};

// The data-setting file at a path: folder (with its "/") and name in the state, then the call.
int DataFile(ProgrammingState& state, const std::string& path, bool save) {
    const std::filesystem::path p(path);
    qzs::ApplicationLock::Guard guard(state.lock);
    state.data_file.folder = p.has_parent_path() ? p.parent_path().string() + "/" : "./";
    state.data_file.name = p.filename().string();
    return save ? qzs::SaveDataFile(state, qzs::kDataSettingKind)
                : qzs::LoadDataFile(state, qzs::kDataSettingKind);
}

// The dset files of every group that lists something, then the button and phone-book files.
const std::vector<std::string>& TransferFileNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (int group = 0; group <= 9; ++group) n.push_back(qzs::DsetFileName(group));
        for (const char* name : {"sys-tan.txt", "tel-tan.txt", "one-touch.txt", "nandemo.txt"}) {
            n.emplace_back(name);
        }
        return n;
    }();
    return names;
}

// A file converted from one opened file into another, as the session serves the phone books.
bool ConvertFile(const std::string& from, const std::string& to,
                 int (qzs::net::TransferFileServices::*make)(std::FILE*, std::FILE*, int),
                 qzs::net::TransferFileServices& files, int flag) {
    std::FILE* source = std::fopen(from.c_str(), "rb");
    if (source == nullptr) return false;
    qzs::base::AtomicFile target(to);
    const bool opened = target.Open() && target.Stream() != nullptr;
    if (opened) (files.*make)(source, target.Stream(), flag);
    std::fclose(source);
    return opened && target.Commit();
}

std::string HandleLine(Session& s, std::string_view line) {
    for (const LineForm& form : kLineForms) {
        if (line.starts_with(form.word)) return form.handle(s, line.substr(form.word.size()));
    }
    // A form's word alone, without its arguments.
    if (line == "POST") return PostLine(s, "");
    if (line == "FILL") throw Refusal{"FILL needs a page and a file"};
    if (line == "LIST") throw Refusal{"LIST needs one group character"};
    return RunLine(s.state, s.converter, line);
}

}  // namespace

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

// The folder of this program's file, with its trailing "/".
std::filesystem::path ProgramDirectory() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path("./") : self.parent_path() / "";
}

// A port number 1-65535 written in digits only.
std::optional<std::uint16_t> ParsePort(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// What a whole-data and a speed-dial download give the main unit, through the roads the menus
// and the session take: the phone books saved into the current directory and converted, the
// dset files and the button files written. The empty groups (2 and 4) have no file.
std::string TransferOut(qzs::net::TransferFileServices& files, const std::string& dir,
                        const qzs::net::FirmwareFlags& firmware) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (files.SaveDataFile(qzs::kSystemSpeedDialKind, "./", "sys-tan.txt", 1) != 0) {
        return "cannot save sys-tan.txt";
    }
    if (files.SaveDataFile(qzs::kTelephoneSpeedDialKind, "./", "tel-tan.txt", 1) != 0) {
        return "cannot save tel-tan.txt";
    }
    for (int group = 0; group <= 9; ++group) {
        const int flag501 = group == 9 ? firmware.v501 : 0;
        if (files.WriteDataSetFile(group, dir, 0, flag501) != 1 && group != 2 && group != 4) {
            return "cannot write " + qzs::DsetFileName(group);
        }
    }
    const std::string out = dir + "/";
    if (!ConvertFile("sys-tan.txt", out + "sys-tan.txt",
                     &qzs::net::TransferFileServices::MakeSysTanXml, files, firmware.v100) ||
        !ConvertFile("tel-tan.txt", out + "tel-tan.txt",
                     &qzs::net::TransferFileServices::MakeTelTanXml, files, firmware.v100)) {
        return "cannot write the phone books";
    }
    if (files.MakeKeySheetFiles(out + "one-touch.txt", out + "nandemo.txt", firmware.below4, 0,
                                firmware.v501) != 1) {
        return "cannot write the button files";
    }
    return {};
}

// Every transfer file found in DIR applied as the session applies the files of a run, each local
// file written into the current directory; then the phone books loaded as after a speed-dial
// upload. Every file is read and checked before anything changes, and the local files take
// their names only when all of them are whole and the phone books loaded from them: a file
// that is refused, or a local file that cannot be written, leaves the image and the local files
// as they were.
std::string TransferIn(qzs::net::TransferFileServices& files, const std::string& dir,
                       const qzs::net::FirmwareFlags& firmware) {
    struct Received {
        std::string name;
        qzs::net::CXmlReader reader;
    };
    std::deque<Received> received;
    for (const std::string& name : TransferFileNames()) {
        const std::string path = dir + "/" + name;
        if (!std::filesystem::exists(path)) continue;
        Received& file = received.emplace_back();
        file.name = name;
        if (!file.reader.Load(path)) return name + " is not well-formed";
        if (!qzs::net::HoldsItsElements(file.reader, name)) {
            return name + " holds no element of its kind";
        }
    }

    const std::unique_ptr<qzs::net::ImageCheckpoint> checkpoint = files.Checkpoint();
    // The temporaries of the local files go with `locals` on every way out before the commits.
    std::deque<qzs::base::AtomicFile> locals;
    const auto give_up = [&](std::string failed) {
        if (checkpoint) checkpoint->Restore();
        return failed;
    };
    const qzs::base::AtomicFile* phone_book[2] = {nullptr, nullptr};
    for (const Received& file : received) {
        qzs::base::AtomicFile& local = locals.emplace_back(file.name);
        if (!local.Open() || !local.Write(files.DataFileHeader()) || local.Stream() == nullptr) {
            return give_up("cannot write " + file.name);
        }
        qzs::net::ApplyReceivedFile(files, file.reader, file.name, local.Stream(), firmware);
        // Whole on disk before the phone books are read from it or any file takes its name.
        if (std::fflush(local.Stream()) != 0 || std::ferror(local.Stream()) != 0) {
            return give_up("cannot write " + file.name);
        }
        if (file.name == "sys-tan.txt") phone_book[0] = &local;
        if (file.name == "tel-tan.txt") phone_book[1] = &local;
    }
    // A phone book received now is loaded from its new local file; one not received, from the
    // local file already there.
    if (phone_book[0] != nullptr || phone_book[1] != nullptr) {
        const int kinds[2] = {qzs::kSystemSpeedDialKind, qzs::kTelephoneSpeedDialKind};
        const char* names[2] = {"sys-tan.txt", "tel-tan.txt"};
        for (int i = 0; i < 2; ++i) {
            const std::filesystem::path path =
                phone_book[i] != nullptr ? std::filesystem::path(phone_book[i]->temporary())
                                         : std::filesystem::path(names[i]);
            if (phone_book[i] == nullptr && !std::filesystem::exists(path)) continue;
            const std::string folder =
                path.has_parent_path() ? path.parent_path().string() + "/" : "./";
            if (files.LoadDataFile(kinds[i], folder, path.filename().string(), 1) != 0) {
                return give_up(std::string("cannot load ") + names[i]);
            }
        }
    }
    for (std::size_t i = 0; i < locals.size(); ++i) {
        // A rename in one folder does not fail once every file is whole; should it still, the
        // files already in place stay, the image goes back.
        if (!locals[i].Commit()) return give_up("cannot write " + received[i].name);
    }
    return {};
}

// The application object holds the data image, the start directory (the current one) and the
// transfer session, as in the program.
struct KeypadConsole::Impl {
    explicit Impl(std::string name)
        : program(std::move(name)),
          app(Ports(messages)),
          transfer_files(InitialState(app), nullptr) {
        app.set_transfer_files(&transfer_files);
    }

    static qzs::app::ShellPorts Ports(StderrMessages& messages) {
        qzs::app::ShellPorts ports;
        ports.messages = &messages;
        return ports;
    }
    static ProgrammingState& InitialState(qzs::app::CDataSettingApp& app) {
        app.InitInstance();
        return app.state();
    }

    std::string program;
    StderrMessages messages;
    qzs::app::CDataSettingApp app;
    qzs::app::StateTransferFiles transfer_files;
    const Cp932ToUtf8 converter;
    std::optional<UnitAddress> unit;
    bool fast = false;
    std::unique_ptr<qzs::app::CInstallerMenuDialog> menu;
};

KeypadConsole::KeypadConsole(std::string program)
    : impl_(std::make_unique<Impl>(std::move(program))) {}

KeypadConsole::~KeypadConsole() = default;

bool KeypadConsole::Ready() const {
    return impl_->converter.Ready();
}

qzs::app::CDataSettingApp& KeypadConsole::app() {
    return impl_->app;
}

ProgrammingState& KeypadConsole::state() {
    return impl_->app.state();
}

qzs::app::StateTransferFiles& KeypadConsole::transfer_files() {
    return impl_->transfer_files;
}

void KeypadConsole::SetUnit(const UnitAddress& unit, bool fast) {
    impl_->unit = unit;
    impl_->fast = fast;
}

int KeypadConsole::LoadFile(const std::string& path) {
    return DataFile(state(), path, false);
}

int KeypadConsole::SaveFile(const std::string& path) {
    return DataFile(state(), path, true);
}

int KeypadConsole::Run(std::istream& in, std::ostream& out) {
    Impl& c = *impl_;
    Session session{state(), c.converter};
    std::string line;
    long number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.starts_with("//")) continue;
        if (const int kind = TransferKindOf(line); kind != 0) {
            if (!c.unit) {
                out.flush();
                std::cerr << c.program << ": " << line << " needs --unit HOST:PORT:LISTENPORT\n";
                return 2;
            }
            if (!c.menu) {
                c.app.set_online_mode(1);
                c.app.CreateSessionIfMissing();
                auto* transfer = dynamic_cast<qzs::net::CTransferSession*>(c.app.session());
                transfer->SetHost(c.unit->host, c.unit->port);
                transfer->set_listening_port(c.unit->listening_port);
                if (c.fast) transfer->set_timings(qzs::net::TransferTimings::Fast());
                c.menu = std::make_unique<qzs::app::CInstallerMenuDialog>(c.app);
            }
            out << line << "=" << (c.menu->RunTransfer(kind) == 0 ? 0 : -1) << '\n';
            out.flush();
            continue;
        }
        try {
            out << HandleLine(session, line) << '\n';
        } catch (const Refusal& refusal) {
            out.flush();
            std::cerr << c.program << ": line " << number << ": " << refusal.what << '\n';
            return 2;
        }
        out.flush();
    }
    return 0;
}

}  // namespace qzs::tools
