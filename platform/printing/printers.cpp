#include "platform/printing/printers.h"

namespace plat {

namespace {

struct Active {
    std::mutex lock;
    std::shared_ptr<PrinterSystem> system;
};

// Destroyed with the library or program that holds it; nothing asks for the printers while
// objects are torn down.
Active& ActiveSystem() {
    static Active active;
    return active;
}

}  // namespace

std::shared_ptr<PrinterSystem> GetPrinterSystem() {
    Active& a = ActiveSystem();
    std::lock_guard guard(a.lock);
    if (!a.system) a.system = MakeCupsPrinterSystem();
    return a.system;
}

void SetPrinterSystem(std::shared_ptr<PrinterSystem> system) {
    Active& a = ActiveSystem();
    std::lock_guard guard(a.lock);
    a.system = std::move(system);
}

}  // namespace plat
