#include <fstream>
#include <iterator>

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

bool FakePrinterSystem::ReadCapabilities(const std::string& printer, PrinterCapabilities* out) {
    std::lock_guard guard(lock_);
    const auto it = caps_.find(printer);
    if (it == caps_.end()) return false;
    *out = it->second;
    return true;
}

PrintError FakePrinterSystem::CreateJob(const std::string& printer, const std::string& title,
                                        const JobOptions& options, int32_t* jobId) {
    std::lock_guard guard(lock_);
    if (failCreate_ != PrintError::kOk) return std::exchange(failCreate_, PrintError::kOk);
    const auto it = caps_.find(printer);
    if (it == caps_.end()) return PrintError::kNoPrinter;
    if (!it->second.accepting) return PrintError::kQueueFull;
    Job job;
    job.printer = printer;
    job.title = title;
    job.options = options;
    job.state = {kJobHeld, {"job-incoming"}};
    *jobId = nextJob_++;
    jobs_[*jobId] = std::move(job);
    return PrintError::kOk;
}

PrintError FakePrinterSystem::SubmitDocument(const std::string& printer, int32_t jobId,
                                             const std::string& pdfPath) {
    std::lock_guard guard(lock_);
    if (failSubmit_ != PrintError::kOk) return std::exchange(failSubmit_, PrintError::kOk);
    const auto it = jobs_.find(jobId);
    if (it == jobs_.end() || it->second.printer != printer) return PrintError::kNoSuchJob;
    if (it->second.submitted || it->second.state.state >= kJobCanceled) return PrintError::kFailed;
    std::ifstream in(pdfPath, std::ios::binary);
    if (!in) return PrintError::kFailed;
    it->second.document.assign(std::istreambuf_iterator<char>(in), {});
    it->second.submitted = true;
    it->second.state = {kJobPending, {}};
    return PrintError::kOk;
}

PrintError FakePrinterSystem::CancelJob(const std::string& printer, int32_t jobId) {
    std::lock_guard guard(lock_);
    if (failCancel_ != PrintError::kOk) return std::exchange(failCancel_, PrintError::kOk);
    const auto it = jobs_.find(jobId);
    if (it == jobs_.end() || it->second.printer != printer) return PrintError::kNoSuchJob;
    if (it->second.state.state >= kJobCanceled) return PrintError::kFailed;
    it->second.state = {kJobCanceled, {}};
    return PrintError::kOk;
}

PrintError FakePrinterSystem::GetJobState(const std::string& printer, int32_t jobId,
                                          JobState* out) {
    std::lock_guard guard(lock_);
    const auto it = jobs_.find(jobId);
    if (it == jobs_.end() || it->second.printer != printer) return PrintError::kNoSuchJob;
    *out = it->second.state;
    return PrintError::kOk;
}

PrintError FakePrinterSystem::ControlJob(const std::string& printer, int32_t jobId,
                                         JobControl control) {
    std::lock_guard guard(lock_);
    const auto it = jobs_.find(jobId);
    if (it == jobs_.end() || it->second.printer != printer) return PrintError::kNoSuchJob;
    Job& job = it->second;
    job.controls.push_back(control);
    const int32_t s = job.state.state;
    switch (control) {
        case JobControl::kHold:
            if (s != kJobPending && s != kJobHeld) return PrintError::kFailed;
            job.state = {kJobHeld, {"job-hold-until-specified"}};
            break;
        case JobControl::kRelease:
            if (s != kJobHeld) return PrintError::kFailed;
            job.state = {kJobPending, {}};
            break;
        case JobControl::kCancel:
        case JobControl::kPurge:
            if (s >= kJobCanceled) return PrintError::kFailed;
            job.state = {kJobCanceled, {}};
            break;
        case JobControl::kRestart:
            if (s < kJobStopped) return PrintError::kFailed;
            job.state = {kJobPending, {}};
            break;
    }
    return PrintError::kOk;
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

void FakePrinterSystem::SetCapabilities(const std::string& printer, PrinterCapabilities caps) {
    std::lock_guard guard(lock_);
    caps_[printer] = std::move(caps);
}

void FakePrinterSystem::FailNextCreate(PrintError error) {
    std::lock_guard guard(lock_);
    failCreate_ = error;
}
void FakePrinterSystem::FailNextSubmit(PrintError error) {
    std::lock_guard guard(lock_);
    failSubmit_ = error;
}
void FakePrinterSystem::FailNextCancel(PrintError error) {
    std::lock_guard guard(lock_);
    failCancel_ = error;
}

bool FakePrinterSystem::GetJob(int32_t jobId, Job* out) const {
    std::lock_guard guard(lock_);
    const auto it = jobs_.find(jobId);
    if (it == jobs_.end()) return false;
    *out = it->second;
    return true;
}

void FakePrinterSystem::SetJobState(int32_t jobId, JobState state) {
    std::lock_guard guard(lock_);
    const auto it = jobs_.find(jobId);
    if (it != jobs_.end()) it->second.state = std::move(state);
}

size_t FakePrinterSystem::JobCount() const {
    std::lock_guard guard(lock_);
    return jobs_.size();
}

}  // namespace plat
