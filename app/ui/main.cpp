// korva-qzs: the installer's program. Starts the application object, which runs the top menu.
#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/application.h"
#include "app/data_file_dialog.h"
#include "app/data_file_services.h"
#include "app/data_setting_menu.h"
#include "app/dialog.h"
#include "app/error_dialog.h"
#include "app/print_dialogs.h"
#include "app/top_menu.h"
#include "app/transfer_file_services.h"
#include "app/ui/dialog_view.h"
#include "app/ui/qt_ports.h"
#include "net/state_form_services.h"
#include "platform/dialup/pppd_dialup.h"
#include "reportif/report_interface_kpcif.h"

namespace {

// For the end-to-end test: KORVA_QZS_SCRIPT=exit presses the top menu's exit button once it is
// shown and answers the question with Yes, so the program ends as a user would end it.
class ScriptedMessages : public qzs::app::MessagePort {
  public:
    int ShowMessage(std::string_view, std::string_view, qzs::app::MessageIcon,
                    qzs::app::MessageButtons buttons) override {
        return buttons == qzs::app::MessageButtons::kYesNo ? qzs::app::kIdYes : qzs::app::kIdOk;
    }
};

class ScriptedRunner : public qzs::app::DialogRunner {
  public:
    int RunModal(qzs::app::DialogPresenter& dialog) override {
        qzs::app::ui::DialogView view(dialog, qzs::app::ui::OpenerWindow());
        view.setWindowModality(Qt::WindowModal);
        QTimer::singleShot(200, &view,
                           [&dialog] { dialog.Press(qzs::app::CTopMenuDialog::kExit); });
        view.exec();
        return dialog.ended() ? dialog.result() : qzs::app::kIdCancel;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool offscreen = platform != nullptr && std::strcmp(platform, "offscreen") == 0;
    if (!offscreen && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr) {
        std::fprintf(stderr, "korva-qzs: no display: start it on an X server or under xvfb-run\n");
        return 1;
    }
    QApplication application(argc, argv);

    const char* script = std::getenv("KORVA_QZS_SCRIPT");
    const bool scripted_exit = script != nullptr && std::strcmp(script, "exit") == 0;

    qzs::app::ui::QtMessagePort messages;
    qzs::app::ui::QtDialogRunner runner;
    ScriptedMessages scripted_messages;
    ScriptedRunner scripted_runner;

    qzs::app::ShellPorts ports;
    ports.messages =
        scripted_exit ? static_cast<qzs::app::MessagePort*>(&scripted_messages) : &messages;
    ports.runner = scripted_exit ? static_cast<qzs::app::DialogRunner*>(&scripted_runner) : &runner;
    ports.set_wait_cursor = &qzs::app::ui::SetWaitCursor;
    ports.pump = &qzs::app::ui::PumpEvents;
    // The progress windows: shown at once, painted by the pumps of the transfer, and closed by
    // whoever showed them.
    ports.show_modeless = &qzs::app::ui::ShowModeless;

    // The data files work on the application's state, which exists once the application does.
    std::unique_ptr<qzs::app::StateDataFileServices> data_files;
    ports.make_file_dialog = [&data_files, &ports_messages = *ports.messages]() {
        qzs::app::DataFilePorts file_ports;
        file_ports.messages = &ports_messages;
        file_ports.files = data_files.get();
        file_ports.choose_file = &qzs::app::ui::ChooseFile;
        file_ports.free_bytes = &qzs::app::FreeBytesOfFolder;
        file_ports.set_wait_cursor = &qzs::app::ui::SetWaitCursor;
        return std::make_unique<qzs::app::CDataFileDialog>(std::move(file_ports));
    };

    // The data-setting menu serves the settings pages over the application's state; the server's
    // workers report duplicates through the error dialog, which always runs on the GUI thread.
    std::unique_ptr<qzs::net::StateFormServices> forms;
    qzs::app::MessagePort* message_port = ports.messages;
    qzs::app::DialogRunner* dialog_runner = ports.runner;
    qzs::app::ErrorReporter duplicates(*dialog_runner, &qzs::app::ui::RunOnGuiThread);
    qzs::app::CDataSettingApp* app_pointer = nullptr;
    auto make_file_dialog = ports.make_file_dialog;
    ports.make_data_setting_menu =
        [&, make_file_dialog]() -> std::unique_ptr<qzs::app::DialogPresenter> {
        qzs::app::DataSettingMenuPorts menu_ports;
        menu_ports.messages = message_port;
        menu_ports.runner = dialog_runner;
        menu_ports.make_file_dialog = make_file_dialog;
        menu_ports.available_memory = &qzs::app::AvailableMemory;
        menu_ports.open_browser = &qzs::app::OpenBrowserWithXdgOpen;
        menu_ports.program_directory = qzs::app::ProgramDirectory();
        menu_ports.forms = forms.get();
        menu_ports.server_ports.show_error = [message_port](std::string_view text) {
            const std::string copy(text);
            qzs::app::ui::RunOnGuiThread([message_port, &copy] {
                message_port->ShowMessage(copy, "エラー", qzs::app::MessageIcon::kWarning,
                                          qzs::app::MessageButtons::kOk);
            });
        };
        menu_ports.server_ports.report_duplicate = [&duplicates](std::string_view text) {
            duplicates.Report(text);
        };
        menu_ports.server_ports.pump = &qzs::app::ui::PumpEvents;
        return std::make_unique<qzs::app::CDataSettingMenuDialog>(app_pointer->state(),
                                                                  std::move(menu_ports));
    };

    // The data sheets print through the report interface library; its preview events come back
    // through the one event procedure, which works with the same context.
    kpcif::KpcifReportInterface report_interface;
    qzs::app::SheetPrintContext print_context;
    print_context.rif = &report_interface;
    print_context.messages = message_port;
    print_context.wait_cursor = &qzs::app::ui::SetWaitCursor;
    // The owner of the printer dialogs the library opens: the window the user works in.
    print_context.active_window = &qzs::app::ui::ActiveWindowHandle;
    print_context.today = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return qzs::app::SheetDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    };
    qzs::app::SetReportEventContext(&print_context);
    ports.make_print_selection = [&]() -> std::unique_ptr<qzs::app::DialogPresenter> {
        print_context.state = &app_pointer->state();
        print_context.start_directory = app_pointer->start_directory();
        return std::make_unique<qzs::app::CPrintSelectDialog>(print_context, *dialog_runner);
    };

    // The dial-up links of the remote service: pppd's peers. The provider outlives the
    // application object, and its end hangs up a link still live when the program ends.
    plat::PppdDialUp dialup;
    ports.dialup = &dialup;
    ports.post = [](std::function<void()> work) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work),
                                  Qt::QueuedConnection);
    };

    auto app = std::make_unique<qzs::app::CDataSettingApp>(std::move(ports));
    app_pointer = app.get();
    forms = std::make_unique<qzs::net::StateFormServices>(app->state());
    data_files =
        std::make_unique<qzs::app::StateDataFileServices>(app->state(), &qzs::app::ui::PumpEvents);
    qzs::app::StateTransferFiles transfer_files(app->state(), &qzs::app::ui::PumpEvents);
    app->set_transfer_files(&transfer_files);
    app->InitInstance();
    const int exit_code = app->ExitInstance();
    app.reset();
    qzs::app::SetReportEventContext(nullptr);
    return exit_code;
}
