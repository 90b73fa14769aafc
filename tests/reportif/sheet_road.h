// The sheet printing roads as the program takes them, for the end-to-end tests on the private
// CUPS: the widgets application on the offscreen platform (the engine shows its windows and
// dialogs on this thread), the test queue, the engine with its control library, a fresh data
// image, the report interface library and the messages the dialogs show.
#pragma once

#include <dlfcn.h>

#include <QApplication>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/print_dialogs.h"
#include "programming/state.h"
#include "reportif/report_interface_kpcif.h"
#include "settings/data_image_startup.h"
#include "tests/fixtures/printing/cups_queue.h"

namespace qzs_test {

class SheetMessages final : public qzs::app::MessagePort {
  public:
    std::vector<std::string> shown;
    int ShowMessage(std::string_view text, std::string_view, qzs::app::MessageIcon,
                    qzs::app::MessageButtons) override {
        shown.emplace_back(text);
        return qzs::app::kIdOk;
    }
};

class SheetRoad {
  public:
    SheetRoad() : gui_(MakeGui()), queue(CupsQueue::Load()) {
        if (!queue.valid) return;
        queue.Connect();
        setenv("QZS_ENGINE", QZS_KPENGN30_PATH, 1);
        // The engine finds its control library by name; loaded here first, a sanitizer's dlopen
        // cannot hide it.
        controls_ = dlopen(QZS_KPCTRL30_PATH, RTLD_NOW | RTLD_LOCAL);
        qzs::InitDataImage(*state);
        context.rif = &rif;
        context.state = state.get();
        context.messages = &messages;
        context.start_directory = std::string(QZS_BINARY_DIR) + "/tools";
        context.today = [] { return qzs::app::SheetDate{2026, 3, 9}; };
    }
    // False when the queue or the control library is missing.
    bool Ready() const { return queue.valid && controls_ != nullptr; }

  private:
    static std::unique_ptr<QApplication> MakeGui() {
        static int argc = 1;
        static char name[] = "qzs_sheet_roads";
        static char* argv[] = {name, nullptr};
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return std::make_unique<QApplication>(argc, argv);
    }
    std::unique_ptr<QApplication> gui_;
    void* controls_ = nullptr;

  public:
    const CupsQueue queue;
    std::unique_ptr<qzs::ProgrammingState> state = std::make_unique<qzs::ProgrammingState>();
    kpcif::KpcifReportInterface rif;
    SheetMessages messages;
    qzs::app::SheetPrintContext context;
};

}  // namespace qzs_test
