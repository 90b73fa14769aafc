// qzs-sheets [--start-dir DIR] [--load FILE.qzdat] [--date YYYY-MM-DD] [--kind K]...
//            (--pdf OUT.pdf | --print | --direct K)
//
// The data sheets of a console session. Starts from a freshly initialised data image (--load: a
// data-setting file loaded into it first), reads standard input exactly as qzs-keypad does, with
// the same output, and at the end of the input outputs the sheets of that image:
//   --pdf OUT.pdf  fills the sheet kinds (--kind, each 0-3; default 0 1 2 3, in this order) into
//                  one PDF file through the report interface, printing "kind K: N pages" for each
//   --print        prints each kind as the print-mode dialog's direct road does (mode 3), onto
//                  CUPS's default destination (LPDEST); without a display Qt runs offscreen
//   --direct K     prints the sheets as plain text pages onto the first printer and prints the
//                  answer (0 printed, 1 no printer or not printed, 2 no such kind); K is the
//                  kind's number: 0 all command groups, 1 and 2 the speed-dial lists, 48-57 the
//                  group '0'-'9' already listed
// The layouts are read from DIR/QzSReport/ (DIR: --start-dir, default the current directory).
// The sheet date is --date, default today. Messages go to stderr.
//
// Exit status 0 only when every page was output; 2 for a usage error (or a line the console
// refuses), 1 for any other failure.
#include <QApplication>
#include <unistd.h>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/direct_sheets.h"
#include "app/print_dialogs.h"
#include "app/sheet_fill.h"
#include "platform/automation/automation.h"
#include "reportif/kpcif_internal.h"
#include "reportif/report_interface_kpcif.h"
#include "tools/keypad_console.h"
#include "platform/qt_japanese.h"

namespace {

constexpr int kLayers = 5;
constexpr int kPrintModeDirect = 3;

[[noreturn]] void Usage(std::string_view what) {
    std::cout.flush();
    std::cerr << "qzs-sheets: " << what << '\n'
              << "usage: qzs-sheets [--start-dir DIR] [--load FILE.qzdat] [--date YYYY-MM-DD] "
                 "[--kind K]... (--pdf OUT.pdf | --print | --direct K)\n";
    std::exit(2);
}

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    if (text.empty()) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// YYYY-MM-DD of a real day.
std::optional<qzs::app::SheetDate> ParseDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto year = ParseInt(text.substr(0, 4));
    const auto month = ParseInt(text.substr(5, 2));
    const auto day = ParseInt(text.substr(8, 2));
    if (!year || !month || !day) return std::nullopt;
    const std::chrono::year_month_day ymd{std::chrono::year(*year),
                                          std::chrono::month(static_cast<unsigned>(*month)),
                                          std::chrono::day(static_cast<unsigned>(*day))};
    if (!ymd.ok()) return std::nullopt;
    return qzs::app::SheetDate{*year, *month, *day};
}

qzs::app::SheetDate Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

// The print dialog's message boxes on stderr.
class StderrMessages final : public qzs::app::MessagePort {
  public:
    int ShowMessage(std::string_view text, std::string_view caption, qzs::app::MessageIcon,
                    qzs::app::MessageButtons) override {
        std::cerr << "qzs-sheets: [" << caption << "] " << text << '\n';
        return qzs::app::kIdOk;
    }
};

// The printer road and the plain text pages draw with Qt; the tool owns the application, and
// the engine's cancel dialog wants it to be a widget application.
std::unique_ptr<QApplication> MakeGui() {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    static int argc = 1;
    static char name[] = "qzs-sheets";
    static char* argv[] = {name, nullptr};
    auto gui = std::make_unique<QApplication>(argc, argv);
    plat::LoadQtJapanese(*gui, "qzs-sheets");
    return gui;
}

int WritePdf(qzs::ProgrammingState& state, const std::string& start_dir,
             const std::vector<int>& kinds, const qzs::app::SheetDate& date,
             const std::string& pdf) {
    // The document lives in the engine: it is made after the engine starts and goes before the
    // engine ends.
    // The pages go to a temporary name beside the target, which becomes OUT.pdf only when every
    // kind was output whole: a run that fails leaves no file behind and an older OUT.pdf as it was.
    std::string temp = pdf + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        std::cerr << "qzs-sheets: cannot write " << pdf << '\n';
        return 1;
    }
    ::close(fd);
    kpcif::KpcifReportInterface rif;
    int code = 0;
    auto out = rif.StartEngine(&code) != 0 ? kpcif::PdfOutput::Open(temp) : nullptr;
    if (out == nullptr) {
        std::cerr << "qzs-sheets: cannot write " << pdf << '\n';
        ::unlink(temp.c_str());
        rif.Exit(&code);
        return 1;
    }
    bool all = true;
    for (const int kind : kinds) {
        std::string path;
        if (!plat::Cp932FromWide(plat::WideFromUtf8(qzs::app::LayoutPath(start_dir, kind)),
                                 &path)) {
            path.clear();
        }
        const uint32_t report = path.empty() ? 0 : rif.LoadReport(path);
        if (report == 0) {
            std::cerr << "qzs-sheets: no layout " << qzs::app::LayoutPath(start_dir, kind) << '\n';
            all = false;
            continue;
        }
        for (int n = 1; n <= kLayers; ++n) rif.SetLayerVisible(report, n, n == 1 ? 1 : 0);
        const int before = out->pages();
        bool filled = rif.SetEditLayer(report, 1) != 0;
        if (filled) {
            qzs::app::FillTarget target;
            target.report = report;
            target.output = [&] { return out->AddPage(report) ? 1 : 0; };
            filled = qzs::app::FillReport(rif, state, kind, target, date) == 1;
        }
        rif.DeleteReport(report);
        std::cout << "kind " << kind << ": " << out->pages() - before << " pages\n";
        if (!filled) {
            std::cerr << "qzs-sheets: kind " << kind << " was not output whole\n";
            all = false;
        }
    }
    if (!out->Close()) {
        std::cerr << "qzs-sheets: cannot complete " << pdf << '\n';
        all = false;
    }
    out.reset();
    rif.Exit(&code);
    if (all && ::rename(temp.c_str(), pdf.c_str()) != 0) {
        std::cerr << "qzs-sheets: cannot write " << pdf << '\n';
        all = false;
    }
    if (!all) ::unlink(temp.c_str());
    return all ? 0 : 1;
}

int PrintKinds(qzs::ProgrammingState& state, const std::string& start_dir,
               const std::vector<int>& kinds, const qzs::app::SheetDate& date) {
    const auto gui = MakeGui();
    kpcif::KpcifReportInterface rif;
    StderrMessages messages;
    qzs::app::SheetPrintContext context;
    context.rif = &rif;
    context.state = &state;
    context.messages = &messages;
    context.start_directory = start_dir;
    context.today = [date] { return date; };
    qzs::app::CPrintModeDialog dialog(context);
    dialog.OnInit();
    bool all = true;
    for (const int kind : kinds) {
        dialog.set_sheet_kind(kind);
        if (dialog.RunReport(0, kPrintModeDirect) != 1) {
            std::cerr << "qzs-sheets: kind " << kind << " was not printed\n";
            all = false;
        }
    }
    int ignored = 0;
    rif.Exit(&ignored);
    return all ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string start_dir = ".";
    std::optional<std::string> load;
    std::optional<qzs::app::SheetDate> date;
    std::vector<int> kinds;
    std::optional<std::string> pdf;
    bool print = false;
    std::optional<int> direct;
    int outputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool takes_value = arg == "--start-dir" || arg == "--load" || arg == "--date" ||
                                 arg == "--kind" || arg == "--pdf" || arg == "--direct";
        if (!takes_value && arg != "--print") Usage("unknown option " + std::string(arg));
        if (takes_value && i + 1 >= argc) Usage(std::string(arg) + " needs a value");
        const std::string_view value = takes_value ? argv[++i] : "";
        if (arg == "--start-dir") {
            start_dir = value;
        } else if (arg == "--load") {
            load = value;
        } else if (arg == "--date") {
            date = ParseDate(value);
            if (!date) Usage("--date wants YYYY-MM-DD: " + std::string(value));
        } else if (arg == "--kind") {
            const auto kind = ParseInt(value);
            if (!kind || *kind < 0 || *kind >= qzs::app::kSheetKinds) {
                Usage("--kind wants 0-3: " + std::string(value));
            }
            kinds.push_back(*kind);
        } else if (arg == "--pdf") {
            pdf = value;
            ++outputs;
        } else if (arg == "--print") {
            print = true;
            ++outputs;
        } else if (arg == "--direct") {
            direct = ParseInt(value);
            if (!direct) Usage("--direct wants a kind number: " + std::string(value));
            ++outputs;
        }
    }
    if (outputs != 1) Usage("give one of --pdf, --print and --direct");
    if (direct && !kinds.empty()) Usage("--kind goes with --pdf and --print");
    if (kinds.empty()) kinds = {0, 1, 2, 3};
    const qzs::app::SheetDate day = date ? *date : Today();

    qzs::tools::KeypadConsole console("qzs-sheets");
    if (!console.Ready()) {
        std::cerr << "qzs-sheets: no CP932 to UTF-8 conversion on this system\n";
        return 1;
    }
    if (load) {
        if (const int code = console.LoadFile(*load); code != 0) {
            std::cerr << "qzs-sheets: cannot load " << *load << ": " << code << '\n';
            return 1;
        }
    }
    if (const int refused = console.Run(std::cin, std::cout); refused != 0) return refused;
    std::cout.flush();

    qzs::ProgrammingState& state = console.state();
    if (pdf) return WritePdf(state, start_dir, kinds, day, *pdf);
    if (print) return PrintKinds(state, start_dir, kinds, day);
    const auto gui = MakeGui();
    const int answer = qzs::app::PrintDataSheets(state, *direct, day);
    std::cout << answer << '\n';
    return answer == 0 ? 0 : 1;
}
