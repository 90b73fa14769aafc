// The printer a job is bound to: its CUPS name with the names the host sees, its coded model
// (papers, sources, resolutions, the fields it takes, the custom size limits) and the
// information context measured on the job's settings. It answers questions about the printer
// alone; which of them a member may ask in which state is the job's business.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/output/printer_settings.h"
#include "platform/gdi/device_context.h"
#include "platform/printing/devmode.h"

namespace kp {

class PrinterBinding {
  public:
    // Reads the printer's capabilities and codes them: 0, -10105 when they cannot be read,
    // -10103 when the printer lists no paper.
    static int32_t Query(const std::string& printer, PrinterModel* out);

    // Takes the coded model as the printer's lists. A printer with more resolutions than the
    // table holds (99) leaves the table empty.
    void Bind(PrinterModel model);
    // The information context measured on a settings record; none when it cannot be measured.
    void MeasureInfo(const plat::DevMode& settings);
    // The custom size limits, the fields and the copies limit of the bound model. Kept apart
    // from Bind: a model whose settings could not be applied leaves the old limits.
    void AdoptLimits();
    // Forgets the lists (the names stay, but for the port).
    void Clear();
    void SetNames(std::string printer, std::u16string wide, std::u16string driver,
                  std::u16string port);

    bool Bound() const { return bound_; }
    const PrinterModel& Model() const { return model_; }
    const std::string& PrinterName() const { return printerName_; }
    const std::u16string& PrinterNameWide() const { return printerNameWide_; }
    const std::u16string& DriverName() const { return driverName_; }
    const std::vector<plat::Resolution>& Resolutions() const { return resolutions_; }
    plat::InfoDc* Info() const { return infoDc_.get(); }
    uint32_t Fields() const { return fields_; }
    bool Supports(uint32_t field) const { return (fields_ & field) != 0; }
    uint16_t CopiesLimit() const { return copiesLimit_; }
    int16_t MinWidth() const { return minWidth_; }
    int16_t MinLength() const { return minLength_; }
    int16_t MaxWidth() const { return maxWidth_; }
    int16_t MaxLength() const { return maxLength_; }

    // True when the printer takes a page of that paper: a code below 256 it lists, a
    // user-defined size within its custom limits; a code above 256 is replaced by the code of
    // the printer's paper of exactly that size (0.1 mm).
    bool MatchPaper(int16_t* code, int32_t width, int32_t length) const;
    // The code of the first paper within 0.1 mm of the size, -1 when none is (the papers
    // passed over go to the debugger output).
    int16_t FindPaperBySize(int32_t width, int32_t length) const;
    // The paper of that code, null when the printer has none.
    const CodedPaper* PaperOfCode(int16_t code) const;

    // The status word of a job in the printer's queue: 0, -12012 when there is no such job,
    // -12010 when the queue cannot be asked. The word is left alone on failure.
    int32_t JobStatus(int32_t job, uint32_t* word) const;
    // Holds, releases, cancels, restarts or purges (command 1 to 5) a job in the printer's
    // queue: 0, -8 for another command, -12012 when there is no such job, -12011 when the
    // queue refuses.
    int32_t ControlJob(int32_t job, uint32_t command) const;

  private:
    std::string printerName_;  // UTF-8, as CUPS names it
    std::u16string printerNameWide_;
    std::u16string driverName_;
    std::u16string portName_;
    bool bound_ = false;
    PrinterModel model_;
    std::vector<plat::Resolution> resolutions_;  // empty when the printer has more than 99
    std::unique_ptr<plat::InfoDc> infoDc_;
    int16_t minWidth_ = 0, minLength_ = 0, maxWidth_ = 0, maxLength_ = 0;
    uint32_t fields_ = 0;
    uint16_t copiesLimit_ = 0;
};

}  // namespace kp
