#include <cups/cups.h>

#include "platform/printing/printers.h"

namespace plat {

namespace {

PrinterInfo FromDest(const cups_dest_t& dest) {
    PrinterInfo info;
    info.name = dest.name ? dest.name : "";
    if (dest.instance) info.name += std::string("/") + dest.instance;
    if (const char* model =
            cupsGetOption("printer-make-and-model", dest.num_options, dest.options)) {
        info.makeAndModel = model;
    }
    if (const char* uri = cupsGetOption("device-uri", dest.num_options, dest.options)) {
        info.deviceUri = uri;
    }
    info.isDefault = dest.is_default != 0;
    return info;
}

class CupsPrinterSystem : public PrinterSystem {
  public:
    bool ListPrinters(std::vector<PrinterInfo>* out) override {
        out->clear();
        cups_dest_t* dests = nullptr;
        const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
        for (int i = 0; i < count; ++i) out->push_back(FromDest(dests[i]));
        cupsFreeDests(count, dests);
        return true;
    }

    bool DefaultPrinter(std::string* name) override {
        std::vector<PrinterInfo> printers;
        ListPrinters(&printers);
        for (const auto& p : printers) {
            if (p.isDefault) {
                *name = p.name;
                return true;
            }
        }
        return false;
    }
};

}  // namespace

std::shared_ptr<PrinterSystem> MakeCupsPrinterSystem() {
    return std::make_shared<CupsPrinterSystem>();
}

}  // namespace plat
