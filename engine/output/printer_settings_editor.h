// The settings of a printer job as the host edits them: the current settings record measured on
// the bound printer, the edits put since the last UpdateInfo, a whole record waiting to replace
// the current one, and the layout settings of the print loop with their deferred copy. Each put
// is checked against what the printer takes; which puts a state allows is the job's business,
// the editor only hears whether the job is in state 16 (`ready`) or has its document open.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/output/printer_binding.h"
#include "engine/output/printer_select_dialog.h"
#include "engine/output/printer_settings.h"
#include "platform/printing/devmode.h"

namespace kp {

class PrinterSettingsEditor {
  public:
    struct LayoutSettings {
        int32_t multiPrint = 0;
        int32_t scalePrint = 0;
        uint16_t scale = 100;
        int32_t scalePaperFit = 0;
        int16_t scalePrintLayout = 1;
        int16_t multiPrintLayout = 1;
    };

    explicit PrinterSettingsEditor(const PrinterBinding& printer) : printer_(printer) {}

    // The record merged with the printer's own; a user-defined size keeps the record's size.
    static plat::DevMode MergedForPrinter(const PrinterModel& model, const plat::DevMode& dm);
    // Makes the record, merged and measured on the bound printer, the current one: -10201 when
    // it cannot be measured, 0 else.
    int32_t Apply(const plat::DevMode& dm);
    // Writes a page measurement into a record (its paper size) and the minimum margins.
    void ApplyMeasurement(const PageGeometry& page, plat::DevMode* dm);

    // The host's edits; each answers 0 or the refusal of the value (range, field, list).
    int32_t PutPaperSize(int16_t code, bool ready);
    int32_t PutPaperWidth(int16_t width, bool ready);
    int32_t PutPaperLength(int16_t length, bool ready);
    int32_t PutSource(int16_t source, bool ready);
    int32_t PutOrientation(uint16_t orientation, bool ready);
    // Copies, quality and colour are taken in state 16 only.
    int32_t PutCopies(uint16_t copies);
    int32_t PutQuality(int16_t quality);
    int32_t PutColor(uint16_t color);
    bool HasPendingEdits() const;
    // Edits or a replacement record waiting for an UpdateInfo.
    bool HasWaitingChanges() const { return HasPendingEdits() || replacement_.has_value(); }

    // UpdateInfo in state 16: the replacement, else the current record with the edits, applied.
    int32_t UpdateReady();
    // UpdateInfo with the document open: paper, orientation and source edits go into the
    // current record, and `reset` sets the printer's context to it; when that fails the record
    // is put back and the edits stay for another try.
    int32_t UpdateOpen(const std::function<int32_t()>& reset);
    // After an UpdateInfo: the edits are done with and the deferred layout is the live one.
    void CommitEdits();
    // ResetPendingSettings: the edits and the replacement dropped, the layout's copy put back.
    void DropEdits();
    void SetReplacement(const plat::DevMode& dm) { replacement_ = dm; }

    // The layout as the printer selection dialog shows it.
    PrinterSelectDialog::Layout SelectionLayout() const;
    // The layout chosen in the dialog, taken by the deferred copy too: a later UpdateInfo would
    // otherwise put back the layout from before the dialog. An alignment other than 2 or 3
    // reads as 1.
    void TakeChosenLayout(const PrinterSelectDialog::Layout& chosen);

    std::optional<plat::DevMode>& Current() { return current_; }
    const std::optional<plat::DevMode>& Current() const { return current_; }
    LayoutSettings& Layout() { return layout_; }
    LayoutSettings& Deferred() { return deferred_; }
    int16_t MarginTop() const { return marginTop_; }
    int16_t MarginLeft() const { return marginLeft_; }
    int16_t MarginBottom() const { return marginBottom_; }
    int16_t MarginRight() const { return marginRight_; }

  private:
    // A put of a settings-record field: 0, or why it cannot be taken now.
    int32_t CheckPut(bool ready) const;

    const PrinterBinding& printer_;
    std::optional<plat::DevMode> current_;
    plat::DevMode pending_{};  // zero = no edit
    std::optional<plat::DevMode> replacement_;
    int32_t physicalWidth_ = 0, physicalHeight_ = 0;
    int16_t marginTop_ = 0, marginLeft_ = 0, marginBottom_ = 0, marginRight_ = 0;
    LayoutSettings layout_;
    LayoutSettings deferred_;
};

}  // namespace kp
