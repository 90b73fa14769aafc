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
//                 OK; prints the word with "=0" on success, "=-1" on failure ("DOWNLOAD=0",
//                 "UPLOAD=-1"); the messages go to stderr
//   POST body     applies the rest of the line as a settings form post; prints "POST=<answer>"
//   FILL page file  fills the settings page of that name (from the HTMLFiles folder beside this
//                 program) into the file; prints "FILL=<bytes written>"
//   LIST g        lists command group g ('0'-'9'): each sheet line before the first blank one as
//                 its columns 0-127 (keys, display, value, printed form) without trailing
//                 blanks, then "LIST g=<answer>" (3 for a character that is no group)
// Every other line of input gives exactly one line of output; an address that does not exist
// gives a line beginning with "error:". A malformed line (an "@" line that is not @B.O or
// @B.O&MM, a line form with bad arguments), an unknown option and an option without its value
// are refused: "qzs-keypad: ", the line number and what is wrong on stderr, exit status 2 at
// once, nothing more written.
//
// Options: --unit HOST:PORT:LISTENPORT  the main unit's address and port, and the port on which
//                                       this side listens for the main unit's connection back
//          --fast                       the protocol's waits shortened to those of the tests
//          --serve PORT                 serves the settings pages of this console's own image on
//                                       127.0.0.1:PORT (pages from the HTMLFiles folder beside
//                                       this program) until the end of the input; the server's
//                                       messages go to stderr
//          --load FILE                  loads the data-setting file before the first line
//          --save FILE                  saves the data-setting file after the last line
//          --transfer-out DIR           after the last line, writes into DIR every file a main
//                                       unit receives in a whole-data and a speed-dial download
//                                       (the dset files, sys-tan.txt, tel-tan.txt, one-touch.txt,
//                                       nandemo.txt), in the main unit's form; the local phone
//                                       books go to the current directory
//          --transfer-in DIR            before the first line, applies every such file found in
//                                       DIR as the uploads do, writing the local files into the
//                                       current directory
//          --firmware TEXT              the main unit's firmware version the converters' flags
//                                       are taken from (default: every flag 0)
// A load, save or transfer file that fails prints "qzs-keypad: " and what failed on stderr,
// exit status 1.
#include <algorithm>
#include <array>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "app/data_setting_menu.h"
#include "app/transfer_file_services.h"
#include "net/http_server.h"
#include "net/state_form_services.h"
#include "net/transfer_files.h"
#include "programming/state.h"
#include "tools/keypad_console.h"

namespace {

using qzs::tools::ProgramDirectory;

// The options, each with or without a value.
struct Option {
    std::string_view name;
    bool takes_value;
};
constexpr std::array<Option, 8> kOptions = {{{"--unit", true},
                                             {"--fast", false},
                                             {"--serve", true},
                                             {"--load", true},
                                             {"--save", true},
                                             {"--transfer-out", true},
                                             {"--transfer-in", true},
                                             {"--firmware", true}}};

[[noreturn]] void Refuse(std::string_view what) {
    std::cout.flush();
    std::cerr << "qzs-keypad: " << what << '\n';
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<qzs::tools::UnitAddress> unit;
    std::optional<std::uint16_t> serve_port;
    bool fast = false;
    std::optional<std::string> load;
    std::optional<std::string> save;
    std::optional<std::string> transfer_out;
    std::optional<std::string> transfer_in;
    qzs::net::FirmwareFlags firmware;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto option = std::ranges::find(kOptions, arg, &Option::name);
        if (option == kOptions.end()) Refuse("unknown option " + std::string(arg));
        if (option->takes_value && i + 1 >= argc) Refuse(std::string(arg) + " needs a value");
        if (arg == "--fast") {
            fast = true;
        } else if (arg == "--serve") {
            serve_port = qzs::tools::ParsePort(argv[++i]);
            if (!serve_port) Refuse("--serve wants a port number 1-65535: " + std::string(argv[i]));
        } else if (arg == "--load") {
            load = argv[++i];
        } else if (arg == "--save") {
            save = argv[++i];
        } else if (arg == "--transfer-out") {
            transfer_out = argv[++i];
        } else if (arg == "--transfer-in") {
            transfer_in = argv[++i];
        } else if (arg == "--firmware") {
            firmware = qzs::net::FirmwareFlagsOf(argv[++i]);
        } else if (arg == "--unit") {
            unit = qzs::tools::ParseUnit(argv[++i]);
            if (!unit) Refuse("--unit wants HOST:PORT:LISTENPORT: " + std::string(argv[i]));
        }
    }
    qzs::tools::KeypadConsole console("qzs-keypad");
    if (!console.Ready()) {
        std::cerr << "qzs-keypad: no CP932 to UTF-8 conversion on this system\n";
        return 1;
    }
    if (unit) console.SetUnit(*unit, fast);
    qzs::ProgrammingState& state = console.state();

    // The web server works on this console's image under its lock, as the program's does.
    qzs::net::StateFormServices forms(state);
    qzs::net::ServerPorts server_ports;
    server_ports.show_error = [](std::string_view text) {
        std::cerr << "qzs-keypad: server: " << text << '\n';
    };
    server_ports.report_duplicate = [](std::string_view text) {
        std::cerr << "qzs-keypad: server: " << text << '\n';
    };
    qzs::net::CEasyHttpServer server(state.lock, &forms, server_ports);
    if (serve_port) {
        server.SetPort(*serve_port);
        server.SetDocumentRoot((ProgramDirectory() / "HTMLFiles").string() + "/");
        server.SetDefaultPage("01hosyu.html");
        for (const std::string& page : qzs::app::SettingsPageNames()) {
            server.AddDynamicPage(page, "dlltest.dll");
        }
        if (server.Start() != 1 || server.BoundPort() != *serve_port) {
            std::cerr << "qzs-keypad: cannot serve on 127.0.0.1:" << *serve_port << '\n';
            return 2;
        }
        std::cerr << "qzs-keypad: serving http://127.0.0.1:" << *serve_port << "/\n";
    }
    if (load) {
        if (const int code = console.LoadFile(*load); code != 0) {
            std::cerr << "qzs-keypad: cannot load " << *load << ": " << code << '\n';
            return 1;
        }
    }
    if (transfer_in) {
        if (const std::string failed =
                qzs::tools::TransferIn(console.transfer_files(), *transfer_in, firmware);
            !failed.empty()) {
            std::cerr << "qzs-keypad: --transfer-in " << *transfer_in << ": " << failed << '\n';
            return 1;
        }
    }

    if (const int refused = console.Run(std::cin, std::cout); refused != 0) return refused;

    if (save) {
        if (const int code = console.SaveFile(*save); code != 0) {
            std::cerr << "qzs-keypad: cannot save " << *save << ": " << code << '\n';
            return 1;
        }
    }
    if (transfer_out) {
        if (const std::string failed =
                qzs::tools::TransferOut(console.transfer_files(), *transfer_out, firmware);
            !failed.empty()) {
            std::cerr << "qzs-keypad: --transfer-out " << *transfer_out << ": " << failed << '\n';
            return 1;
        }
    }
    return 0;
}
