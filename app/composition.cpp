#include "app/composition.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "app/data_file_dialog.h"
#include "app/data_setting_menu.h"
#include "app/ui/dialog_view.h"

namespace qzs::app {

Composition::Composition(Overrides overrides)
    : messages_(overrides.messages != nullptr ? overrides.messages : &qt_messages_),
      runner_(overrides.runner != nullptr ? overrides.runner : &qt_runner_),
      duplicates_(*runner_, &ui::RunOnGuiThread) {
    // The data sheets print through the report interface library; its preview events come back
    // through the one event procedure, which works with the same context.
    print_context_.rif = &report_interface_;
    print_context_.messages = messages_;
    print_context_.wait_cursor = &ui::SetWaitCursor;
    // The owner window handle is not used by the library's windows here.
    print_context_.active_window = [] { return 0u; };
    print_context_.today = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return SheetDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    };
    SetReportEventContext(&print_context_);

    app_ = std::make_unique<CDataSettingApp>(MakePorts());
    forms_ = std::make_unique<net::StateFormServices>(app_->state());
    data_files_ = std::make_unique<StateDataFileServices>(app_->state(), &ui::PumpEvents);
    transfer_files_ = std::make_unique<StateTransferFiles>(app_->state(), &ui::PumpEvents);
    app_->set_transfer_files(transfer_files_.get());
}

Composition::~Composition() {
    app_.reset();
    SetReportEventContext(nullptr);
}

int Composition::Run() {
    app_->InitInstance();
    return app_->ExitInstance();
}

ShellPorts Composition::MakePorts() {
    ShellPorts ports;
    ports.messages = messages_;
    ports.runner = runner_;
    ports.set_wait_cursor = &ui::SetWaitCursor;
    ports.pump = &ui::PumpEvents;
    // The progress windows: shown at once, painted by the pumps of the transfer, and closed by
    // whoever showed them.
    ports.show_modeless = [](DialogPresenter& dialog) -> std::function<void()> {
        auto* view = new ui::DialogView(dialog);
        view->setModal(false);
        view->show();
        ui::PumpEvents();
        return [view] {
            view->hide();
            delete view;
        };
    };
    ports.make_file_dialog = [this] {
        DataFilePorts file_ports;
        file_ports.messages = messages_;
        file_ports.files = data_files_.get();
        file_ports.choose_file = &ui::ChooseFile;
        file_ports.free_bytes = &FreeBytesOfFolder;
        file_ports.set_wait_cursor = &ui::SetWaitCursor;
        return std::make_unique<CDataFileDialog>(std::move(file_ports));
    };
    // The data-setting menu serves the settings pages over the application's state.
    ports.make_data_setting_menu = [this]() -> std::unique_ptr<DialogPresenter> {
        DataSettingMenuPorts menu_ports;
        menu_ports.messages = messages_;
        menu_ports.runner = runner_;
        menu_ports.make_file_dialog = app_->ports().make_file_dialog;
        menu_ports.available_memory = &AvailableMemory;
        menu_ports.open_browser = &OpenBrowserWithXdgOpen;
        menu_ports.program_directory = ProgramDirectory();
        menu_ports.forms = forms_.get();
        menu_ports.server_ports.show_error = [port = messages_](std::string_view text) {
            const std::string copy(text);
            ui::RunOnGuiThread([port, &copy] {
                port->ShowMessage(copy, "エラー", MessageIcon::kWarning, MessageButtons::kOk);
            });
        };
        menu_ports.server_ports.report_duplicate = [this](std::string_view text) {
            duplicates_.Report(text);
        };
        menu_ports.server_ports.pump = &ui::PumpEvents;
        return std::make_unique<CDataSettingMenuDialog>(app_->state(), std::move(menu_ports));
    };
    ports.make_print_selection = [this]() -> std::unique_ptr<DialogPresenter> {
        print_context_.state = &app_->state();
        print_context_.start_directory = app_->start_directory();
        return std::make_unique<CPrintSelectDialog>(print_context_, *runner_);
    };
    // The dial-up links of the remote service: pppd's peers.
    ports.dialup = &dialup_;
    ports.post = [](std::function<void()> work) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work),
                                  Qt::QueuedConnection);
    };
    return ports;
}

}  // namespace qzs::app
