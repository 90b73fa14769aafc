// The printers of the machine as the engine sees them: names, drivers, ports and the default
// printer, behind one interface. The product asks CUPS; unit tests script a fake.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plat {

// Texts are UTF-8, as CUPS gives them.
struct PrinterInfo {
    std::string name;          // the destination name ("queue" or "queue/instance")
    std::string makeAndModel;  // stands in for the driver name
    std::string deviceUri;     // stands in for the port name
    bool isDefault = false;
};

class PrinterSystem {
  public:
    virtual ~PrinterSystem() = default;
    // Every printer, in the order the system gives them. False when the system failed to answer
    // (no printers at all is a success with an empty list).
    virtual bool ListPrinters(std::vector<PrinterInfo>* out) = 0;
    // False when there is no default printer.
    virtual bool DefaultPrinter(std::string* name) = 0;
};

// CUPS destinations. A scheduler that cannot be reached counts as a machine without printers,
// so that previews and PDF export keep working where nothing prints.
std::shared_ptr<PrinterSystem> MakeCupsPrinterSystem();

// An in-process printer system whose answers the test sets.
class FakePrinterSystem : public PrinterSystem {
  public:
    bool ListPrinters(std::vector<PrinterInfo>* out) override;
    bool DefaultPrinter(std::string* name) override;

    void SetPrinters(std::vector<PrinterInfo> printers);
    void SetListFails(bool fails);
    int ListCalls() const;

  private:
    mutable std::mutex lock_;
    std::vector<PrinterInfo> printers_;
    bool listFails_ = false;
    int listCalls_ = 0;
};

// The printer system the engine uses; CUPS until replaced. Null restores CUPS.
std::shared_ptr<PrinterSystem> GetPrinterSystem();
void SetPrinterSystem(std::shared_ptr<PrinterSystem> system);

}  // namespace plat
