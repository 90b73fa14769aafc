// The printer selection dialog of a printer job (dialog 1000): printer, paper, source,
// orientation, copies and the engine's own scaled and two-per-sheet printing in one modal dialog.
// Its logic works on its own copies of the printer lists and the job's settings record and is
// keyed by control ids, so that it runs without a window; the thin Qt view shows it and hands the
// user's actions back. The view exists only on the thread of the host's QApplication.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/output/printer_settings.h"
#include "platform/printing/devmode.h"

namespace kp {

class PrinterSelectDialog {
  public:
    static constexpr int32_t kDialogId = 1000;

    // Controls.
    static constexpr int32_t kOk = 1;
    static constexpr int32_t kCancel = 2;
    static constexpr int32_t kPrinterList = 1001;
    static constexpr int32_t kPaperList = 1002;
    static constexpr int32_t kCopiesEdit = 1003;
    static constexpr int32_t kCopiesSpin = 1004;
    static constexpr int32_t kStatusText = 1005;
    static constexpr int32_t kDriverText = 1006;
    static constexpr int32_t kPortText = 1007;
    static constexpr int32_t kProperties = 1008;
    static constexpr int32_t kSourceList = 1009;
    static constexpr int32_t kOutputPaper = 1014;
    static constexpr int32_t kMultiPrint = 1016;
    static constexpr int32_t kScaleEdit = 1021;
    static constexpr int32_t kScaleSpin = 1022;
    static constexpr int32_t kPortrait = 1110;
    static constexpr int32_t kLandscape = 1111;
    static constexpr int32_t kScaleOn = 1120;
    static constexpr int32_t kScaleOff = 1121;
    static constexpr int32_t kAlignTopLeft = 1130;
    static constexpr int32_t kAlignCentre = 1131;
    static constexpr int32_t kAlignCentreLine = 1132;
    static constexpr int32_t kFitToPaper = 1140;
    static constexpr int32_t kFreeScale = 1141;
    static constexpr int32_t kOneAboveOther = 1150;
    static constexpr int32_t kSideBySide = 1151;

    // Notifications of a command: a button's click, a list's selection change, an edit's change.
    static constexpr int32_t kClicked = 0;
    static constexpr int32_t kSelectionChanged = 1;
    static constexpr int32_t kEditChanged = 0x300;

    // Option bits: each set bit disables controls.
    static constexpr uint32_t kNoProperties = 0x01;
    static constexpr uint32_t kNoScaling = 0x04;
    static constexpr uint32_t kNoMultiPrint = 0x08;
    static constexpr uint32_t kNoPrinterChoice = 0x10;
    static constexpr uint32_t kNoOrientation = 0x20;

    // How a run ends: OK, Cancel, or a failure of a handler (-1 failed, -2 no memory or no
    // lists, -3 a printer query failed).
    static constexpr int32_t kEndOk = 0;
    static constexpr int32_t kEndCancel = 1;
    static constexpr int32_t kFailed = -1;
    static constexpr int32_t kNoLists = -2;
    static constexpr int32_t kQueryFailed = -3;

    // Texts (UTF-8).
    static constexpr char kCaption[] = "プリンタ選択";
    static constexpr char kFont[] = "ＭＳ Ｐゴシック";
    static constexpr char kNote[] = "※位置合わせの「中央線」はマルチ印刷時のみ有効です。";
    static constexpr char kPrinterGroup[] = " プリンタ ";
    static constexpr char kUnknownStatus[] = "不明";
    struct ControlText {
        int32_t id;
        const char* text;
    };
    // Buttons, check boxes and radio buttons.
    static const std::vector<ControlText>& ButtonTexts();
    // The labels beside controls, by the control they name.
    static const std::vector<ControlText>& LabelTexts();
    // The status field's text for a printer's whole status word; a combination is "不明".
    static const char* StatusText(uint32_t status);

    // What the view shows of a control.
    struct Control {
        bool enabled = true;
        bool checked = false;
        std::string text;                // statics and edits
        int32_t limit = 0;               // an edit's character limit, 0 none
        std::vector<std::string> items;  // lists
        int32_t selected = -1;
        int32_t low = 0, high = 0, position = 0;  // up-down controls
    };

    // The job's settings the dialog starts from and hands back.
    struct Layout {
        int32_t scalePrint = 0;
        int32_t scalePaperFit = 0;
        int32_t multiPrint = 0;
        uint16_t scale = 100;
        int16_t scalePrintLayout = 1;
        int16_t multiPrintLayout = 1;
    };

    // False when the printer is unknown or does not answer, the record is missing, the
    // printers cannot be listed, or the name is none of theirs (compared exactly). A copies
    // limit of 0 reads as 99.
    bool Initialise(const std::string& printerName, const plat::DevMode* devMode,
                    const Layout& layout, uint16_t copiesLimit);
    bool HasLists() const { return !names_.empty(); }

    // The dialog's start: 0, or the code it ends with at once.
    int32_t Start(uint32_t optionBits);
    // A command from a control; the end code when it ends the dialog.
    std::optional<int32_t> Command(int32_t id, int32_t notification);

    // The user's edits, before their command: a list's selection, an edit's text (cut to its
    // limit, as the edit takes it), a check (a radio button clears the rest of its group).
    void Select(int32_t id, int32_t index);
    void SetText(int32_t id, const std::string& text);
    void SetCheck(int32_t id, bool checked);

    const Control& control(int32_t id) const;

    // Read back after OK.
    const std::string& PrinterName() const { return names_[current_]; }
    const std::string& DriverName() const { return drivers_[current_]; }
    const std::string& PortName() const { return ports_[current_]; }
    const plat::DevMode& Settings() const { return devMode_; }
    const PrinterModel& Printer() const { return printer_; }
    bool OutputPaper() const { return outputPaper_; }
    // The layout as the dialog leaves it: the alignment is the one chosen, the direction read as
    // MultiPrintLayout (2 for one above the other, else 1).
    Layout Chosen() const;

  private:
    int32_t ShowPrinter(bool adaptDevMode);
    int32_t SelectPaperAndSource();
    void ShowOrientation();
    void ShowCopies();
    void SetControlStates();
    void ShowLayout();
    void ReadLayoutBack();
    Control& at(int32_t id) { return controls_[id]; }
    bool checked(int32_t id) const { return control(id).checked; }

    std::string requested_;
    std::vector<std::string> names_, drivers_, ports_;
    size_t current_ = 0;
    PrinterModel printer_;  // of the printer shown
    bool printerOpen_ = false;
    int16_t defaultPaper_ = 0;
    int16_t defaultSource_ = 0;
    plat::DevMode devMode_{};
    uint16_t copiesLimit_ = 99;
    uint32_t options_ = 0;
    int32_t scalePrint_ = 0;
    int32_t multiPrint_ = 0;
    int32_t fit_ = 0;
    uint16_t scale_ = 100;
    int16_t alignment_ = 1;
    int16_t direction_ = 2;
    bool outputPaper_ = false;
    std::map<int32_t, Control> controls_;
};

// Runs the dialog modally over the owner (a QWidget, or null for the screen's centre): the end
// code of the dialog; -2 at once without printer lists; -1 when no dialog can be made (no
// QApplication, or the caller is not on its thread).
int32_t RunPrinterSelectDialog(PrinterSelectDialog* dialog, void* ownerWindow, uint32_t optionBits);

}  // namespace kp
