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

namespace plat {

uint32_t JobStatusWord(const JobState& state) {
    // The spooler's JOB_STATUS bits: paused 0x1, error 0x2, deleting 0x4, spooling 0x8,
    // printing 0x10, printed 0x80, deleted 0x100, complete 0x1000.
    for (const auto& reason : state.reasons) {
        if (reason == "job-incoming") return 0x8;  // held until our document is in
    }
    switch (state.state) {
        case kJobPending:
            return 0;
        case kJobHeld:
            return 0x1;
        case kJobProcessing:
            return 0x10;
        case kJobStopped:
            return 0x2;
        case kJobCanceled:
            return 0x100;
        case kJobAborted:
            return 0x102;
        case kJobCompleted:
            return 0x1080;
        default:
            return 0x2;
    }
}

}  // namespace plat
