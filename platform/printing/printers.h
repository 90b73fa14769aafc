// The printers of the machine as the engine sees them: names, drivers, ports, the default
// printer, what each can do, and the jobs sent to them, behind one interface. The product asks
// CUPS; unit tests script a fake.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace plat {

// Texts are UTF-8, as CUPS gives them.
struct PrinterInfo {
    std::string name;          // the destination name ("queue" or "queue/instance")
    std::string makeAndModel;  // stands in for the driver name
    std::string deviceUri;     // stands in for the port name
    bool isDefault = false;
};

// One paper the printer takes. Lengths in 0.01 mm, as CUPS gives them.
struct MediaInfo {
    std::string media;  // the name the job's "media" option takes (PWG self-describing name)
    std::string name;   // shown to the user
    int32_t width = 0;
    int32_t length = 0;
    int32_t left = 0;  // unprintable margins
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const MediaInfo&) const = default;
};

struct MediaSourceInfo {
    std::string keyword;  // media-source value ("auto", "tray-1", "manual", ...)
    std::string name;     // shown to the user
    bool operator==(const MediaSourceInfo&) const = default;
};

struct Resolution {
    int32_t x = 0;  // dots per inch
    int32_t y = 0;
    bool operator==(const Resolution&) const = default;
};

// printer-state values.
inline constexpr int32_t kPrinterIdle = 3;
inline constexpr int32_t kPrinterProcessing = 4;
inline constexpr int32_t kPrinterStopped = 5;

// What a destination can do and what it does by default.
struct PrinterCapabilities {
    std::vector<MediaInfo> media;  // in the destination's order, custom ranges left out
    std::string defaultMedia;      // a media name of the list, or empty
    std::vector<MediaSourceInfo> sources;
    std::string defaultSource;  // a keyword of the list, or empty
    std::vector<Resolution> resolutions;
    Resolution defaultResolution;
    int32_t copiesMax = 1;  // 1 when copies cannot be set
    bool color = false;     // print-color-mode "color" supported
    bool colorDefault = false;
    // orientation-requested-default: 3 portrait, 4 landscape, 5 reverse landscape, 6 reverse
    // portrait; 0 when the destination names none.
    int32_t orientationDefault = 0;
    // Custom sizes (0.01 mm); all 0 when the destination takes none. Their unprintable margins
    // are customMargins' left, top, right and bottom.
    int32_t customMinWidth = 0;
    int32_t customMinLength = 0;
    int32_t customMaxWidth = 0;
    int32_t customMaxLength = 0;
    MediaInfo customMargins;
    // printer-state, printer-state-reasons (without "none") and printer-is-accepting-jobs.
    int32_t state = kPrinterIdle;
    std::vector<std::string> stateReasons;
    bool accepting = true;
};

// Why a job operation failed.
enum class PrintError {
    kOk,
    kQueueFull,  // the queue is full or does not accept jobs
    kNoSpace,    // the spooler has no room for the document
    kNoSuchJob,  // the job id names no job of this destination
    kNoPrinter,  // no such destination
    kFailed,     // anything else
};

// job-state values.
inline constexpr int32_t kJobPending = 3;
inline constexpr int32_t kJobHeld = 4;
inline constexpr int32_t kJobProcessing = 5;
inline constexpr int32_t kJobStopped = 6;
inline constexpr int32_t kJobCanceled = 7;
inline constexpr int32_t kJobAborted = 8;
inline constexpr int32_t kJobCompleted = 9;

struct JobState {
    int32_t state = kJobPending;
    std::vector<std::string> reasons;  // job-state-reasons
};

// What can be done to a job: Hold-Job, Release-Job, Cancel-Job, Restart-Job and Cancel-Job with
// purge-job.
enum class JobControl { kHold, kRelease, kCancel, kRestart, kPurge };

// Job options, name to value, as CUPS takes them ("media", "media-source", "copies", ...).
using JobOptions = std::vector<std::pair<std::string, std::string>>;

class PrinterSystem {
  public:
    virtual ~PrinterSystem() = default;
    // Every printer, in the order the system gives them. False when the system failed to answer
    // (no printers at all is a success with an empty list).
    virtual bool ListPrinters(std::vector<PrinterInfo>* out) = 0;
    // False when there is no default printer.
    virtual bool DefaultPrinter(std::string* name) = 0;
    // False when the destination is unknown or does not answer.
    virtual bool ReadCapabilities(const std::string& printer, PrinterCapabilities* out) = 0;

    // A job without documents yet, held by the spooler until its document arrives.
    virtual PrintError CreateJob(const std::string& printer, const std::string& title,
                                 const JobOptions& options, int32_t* jobId) = 0;
    // The job's one document, a PDF file, after which the job is complete.
    virtual PrintError SubmitDocument(const std::string& printer, int32_t jobId,
                                      const std::string& pdfPath) = 0;
    virtual PrintError CancelJob(const std::string& printer, int32_t jobId) = 0;
    virtual PrintError GetJobState(const std::string& printer, int32_t jobId, JobState* out) = 0;
    virtual PrintError ControlJob(const std::string& printer, int32_t jobId,
                                  JobControl control) = 0;
};

// The size a PWG media name gives, in 0.01 mm: the exact size of a self-describing name such as
// "iso_a3_297x420mm" or of a name libcups knows. False when the name gives none.
bool PwgMediaSize(const std::string& media, int32_t* width, int32_t* length);
// The name people give the paper of a PWG media name ("A4", "B5", "Letter"), for a queue that
// gives it no name of its own (libcups then hands back the keyword); the media name itself
// when there is no such name.
std::string PaperDisplayName(const std::string& media);

// CUPS destinations. A scheduler that cannot be reached counts as a machine without printers,
// so that previews and PDF export keep working where nothing prints.
std::shared_ptr<PrinterSystem> MakeCupsPrinterSystem();

// The status word of a spooled job as hosts read it: the bits of the Windows spooler's job
// status for a CUPS job state. A job still waiting for its document reads as spooling.
uint32_t JobStatusWord(const JobState& state);

// An in-process printer system whose answers the test sets. Jobs move only when the test moves
// them (SetJobState); a submitted document is kept as its path's bytes.
class FakePrinterSystem : public PrinterSystem {
  public:
    bool ListPrinters(std::vector<PrinterInfo>* out) override;
    bool DefaultPrinter(std::string* name) override;
    bool ReadCapabilities(const std::string& printer, PrinterCapabilities* out) override;
    PrintError CreateJob(const std::string& printer, const std::string& title,
                         const JobOptions& options, int32_t* jobId) override;
    PrintError SubmitDocument(const std::string& printer, int32_t jobId,
                              const std::string& pdfPath) override;
    PrintError CancelJob(const std::string& printer, int32_t jobId) override;
    PrintError GetJobState(const std::string& printer, int32_t jobId, JobState* out) override;
    PrintError ControlJob(const std::string& printer, int32_t jobId, JobControl control) override;

    void SetPrinters(std::vector<PrinterInfo> printers);
    void SetListFails(bool fails);
    int ListCalls() const;
    // Capabilities by printer name; a printer without them does not answer.
    void SetCapabilities(const std::string& printer, PrinterCapabilities caps);
    // The next CreateJob, SubmitDocument or CancelJob answers this instead (once).
    void FailNextCreate(PrintError error);
    void FailNextSubmit(PrintError error);
    void FailNextCancel(PrintError error);

    struct Job {
        std::string printer;
        std::string title;
        JobOptions options;
        JobState state;
        std::string document;  // the submitted bytes
        bool submitted = false;
        std::vector<JobControl> controls;
    };
    // A copy of job id's record; false when there is none.
    bool GetJob(int32_t jobId, Job* out) const;
    void SetJobState(int32_t jobId, JobState state);
    size_t JobCount() const;

  private:
    mutable std::mutex lock_;
    std::vector<PrinterInfo> printers_;
    std::map<std::string, PrinterCapabilities> caps_;
    std::map<int32_t, Job> jobs_;
    int32_t nextJob_ = 1;
    PrintError failCreate_ = PrintError::kOk;
    PrintError failSubmit_ = PrintError::kOk;
    PrintError failCancel_ = PrintError::kOk;
    bool listFails_ = false;
    int listCalls_ = 0;
};

// The printer system the engine uses; CUPS until replaced. Null restores CUPS.
std::shared_ptr<PrinterSystem> GetPrinterSystem();
void SetPrinterSystem(std::shared_ptr<PrinterSystem> system);

}  // namespace plat
