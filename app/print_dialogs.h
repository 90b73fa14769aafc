// The sheet printing dialogs: 316 chooses the sheet, 351 the road (preview, printer dialog or
// direct print), and RunReport loads the layout, opens the preview or the printer job, has the
// pages filled and cleans up, all through the report interface.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/dialog.h"
#include "app/report_interface.h"
#include "app/sheet_fill.h"

namespace qzs {
struct ProgrammingState;
}

namespace qzs::app {

inline constexpr int kPrintSelectDialogId = 316;
inline constexpr int kPrintModeDialogId = 351;
inline constexpr int kPreviewStatusOpen = 128;
inline constexpr int kStatusCancelled = 4096;
inline constexpr int kErrorReportMissing = 114;
inline constexpr int kErrorPrinterDialogCancelled = 10311;
inline constexpr int kErrorPrintCancelled = 10112;

// What the print dialogs and the preview event procedure work with.
struct SheetPrintContext {
    ReportInterface* rif = nullptr;
    ProgrammingState* state = nullptr;
    MessagePort* messages = nullptr;
    std::string start_directory;  // UTF-8
    std::function<void(bool)> wait_cursor;
    std::function<uint32_t()> active_window;
    std::function<SheetDate()> today;
};

// The layout file of a sheet kind below the start directory, in UTF-8.
std::string LayoutPath(const std::string& start_directory, int kind);

class CPrintModeDialog : public DialogPresenter {
  public:
    explicit CPrintModeDialog(SheetPrintContext& context);
    void set_sheet_kind(int kind) { sheet_kind_ = kind; }
    int sheet_kind() const { return sheet_kind_; }
    uint32_t preview() const { return preview_; }
    bool preview_already_open() const { return preview_already_open_; }
    bool printer_dialog_cancelled() const { return printer_dialog_cancelled_; }

    void OnInit() override;
    // 1 on success, 0 on failure (the message shown).
    int RunReport(uint32_t owner, int mode);

  protected:
    void OnCommand(int id) override;

  private:
    bool OpenPreview();
    bool PrintReport(uint32_t report, int mode, uint32_t owner, uint32_t* printer);

    SheetPrintContext& context_;
    int sheet_kind_ = 0;
    uint32_t preview_ = 0;
    bool preview_already_open_ = false;
    bool printer_dialog_cancelled_ = false;
};

class CPrintSelectDialog : public DialogPresenter {
  public:
    CPrintSelectDialog(SheetPrintContext& context, DialogRunner& runner);

  protected:
    void OnCommand(int id) override;

  private:
    SheetPrintContext& context_;
    DialogRunner& runner_;
};

// The fixed print settings of the direct road and of printing from the preview.
void SetPrinterDefaults(ReportInterface& rif, uint32_t printer);
// The preview event procedure; it uses the context given to SetReportEventContext.
int ReportEventProc(uint32_t preview, int event, uint32_t* first, uint32_t* last);
void SetReportEventContext(SheetPrintContext* context);

}  // namespace qzs::app
