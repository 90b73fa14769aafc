// The program's services, built in one object in the order the program starts them: the ports of
// the windows, the data files, the settings pages, the sheet printing through the report interface,
// the dial-up links, then the application object over them. main() only makes the Qt application
// and this object.
#pragma once

#include <memory>

#include "app/application.h"
#include "app/data_file_services.h"
#include "app/dialog.h"
#include "app/error_dialog.h"
#include "app/print_dialogs.h"
#include "app/transfer_file_services.h"
#include "app/ui/dialog_view.h"
#include "app/ui/qt_ports.h"
#include "net/state_form_services.h"
#include "platform/dialup/pppd_dialup.h"
#include "reportif/report_interface_kpcif.h"

namespace qzs::app {

class Composition {
  public:
    // Stand-ins for the message boxes and the dialog loop; a null member keeps the Qt one.
    struct Overrides {
        MessagePort* messages = nullptr;
        DialogRunner* runner = nullptr;
    };

    explicit Composition(Overrides overrides);
    ~Composition();
    Composition(const Composition&) = delete;
    Composition& operator=(const Composition&) = delete;

    // Starts the application (the top menu runs until it closes) and shuts it down; the exit code.
    int Run();

    CDataSettingApp& app() { return *app_; }

  private:
    ShellPorts MakePorts();

    ui::QtMessagePort qt_messages_;
    ui::QtDialogRunner qt_runner_;
    MessagePort* messages_;
    DialogRunner* runner_;
    // The server's workers report duplicates through the error dialog on the GUI thread.
    ErrorReporter duplicates_;
    kpcif::KpcifReportInterface report_interface_;
    SheetPrintContext print_context_;
    // Outlives the application object: its end hangs up a link still live when the program ends.
    plat::PppdDialUp dialup_;
    std::unique_ptr<CDataSettingApp> app_;
    // Bound to the application's state, which exists once the application does.
    std::unique_ptr<net::StateFormServices> forms_;
    std::unique_ptr<StateDataFileServices> data_files_;
    std::unique_ptr<StateTransferFiles> transfer_files_;
};

}  // namespace qzs::app
