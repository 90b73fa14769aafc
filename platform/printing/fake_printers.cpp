#include "platform/printing/printers.h"

namespace plat {

bool FakePrinterSystem::ListPrinters(std::vector<PrinterInfo>* out) {
    std::lock_guard guard(lock_);
    ++listCalls_;
    out->clear();
    if (listFails_) return false;
    *out = printers_;
    return true;
}

bool FakePrinterSystem::DefaultPrinter(std::string* name) {
    std::lock_guard guard(lock_);
    for (const auto& p : printers_) {
        if (p.isDefault) {
            *name = p.name;
            return true;
        }
    }
    return false;
}

void FakePrinterSystem::SetPrinters(std::vector<PrinterInfo> printers) {
    std::lock_guard guard(lock_);
    printers_ = std::move(printers);
}

void FakePrinterSystem::SetListFails(bool fails) {
    std::lock_guard guard(lock_);
    listFails_ = fails;
}

int FakePrinterSystem::ListCalls() const {
    std::lock_guard guard(lock_);
    return listCalls_;
}

}  // namespace plat
