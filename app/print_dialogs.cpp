#include "app/print_dialogs.h"

#include <array>

namespace qzs::app {
namespace {

constexpr const char* kLayoutFiles[kSheetKinds] = {
    "QzSReport/データ設定.k30",
    "QzSReport/システム短ダ.k30",
    "QzSReport/電話機毎短縮.k30",
    "QzSReport/データ設定.k30",
};
constexpr const char* kJobName = "MX-QzS ｼｽﾃﾑﾃﾞｰﾀ";
constexpr uint32_t kToolBarItems = 0x100005F2;
constexpr const char* kCaption = "KORVA-QZS";
constexpr const char* kErrorCaption = "エラー";
constexpr const char* kCancelledText = "印刷／プレビューは中止されました。";
constexpr const char* kMissingText = "レポートファイルが見つかりません。";
constexpr const char* kPrintErrorText = "印刷エラーです。";
constexpr int kLayers = 5;

SheetPrintContext* g_event_context = nullptr;

void Inform(MessagePort* port, const char* text) {
    if (port != nullptr) {
        port->ShowMessage(text, kCaption, MessageIcon::kInformation, MessageButtons::kOk);
    }
}
void Warn(MessagePort* port, const char* text) {
    if (port != nullptr) {
        port->ShowMessage(text, kErrorCaption, MessageIcon::kWarning, MessageButtons::kOk);
    }
}
void Wait(const SheetPrintContext& c, bool on) {
    if (c.wait_cursor) c.wait_cursor(on);
}

}  // namespace

std::string LayoutPath(const std::string& start_directory, int kind) {
    // Any length: the path is formed as a string, not in a fixed buffer.
    std::string path = start_directory;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + kLayoutFiles[kind >= 0 && kind < kSheetKinds ? kind : 0];
}

void SetPrinterDefaults(ReportInterface& rif, uint32_t printer) {
    rif.SetJobName(printer, Cp932(kJobName));
    rif.SetScalePrint(printer, 1);
    rif.SetPaperSize(printer, 9);
    rif.SetOrientation(printer, 2);
    rif.SetScalePaperFit(printer, 1);
    rif.SetMultiPrint(printer, 1);
    rif.SetMultiPrintLayout(printer, 1);
    rif.SetScalePrintLayout(printer, 3);
    rif.UpdateInfo(printer);
}

// ---------------------------------------------------------------------------------------------
// 351

CPrintModeDialog::CPrintModeDialog(SheetPrintContext& context)
    : DialogPresenter(kPrintModeDialogId, "印刷種別選択", {0, 0, 220, 140}), context_(context) {
    Add({.id = 1001,
         .kind = ControlKind::kButton,
         .text = "プレビュー表示",
         .rect = {40, 16, 140, 26},
         .is_default = true});
    Add({.id = 1003,
         .kind = ControlKind::kButton,
         .text = "ダイアログ表示",
         .rect = {40, 48, 140, 26}});
    Add({.id = 1005, .kind = ControlKind::kButton, .text = "印刷実行", .rect = {40, 80, 140, 26}});
    Add({.id = kIdCancel,
         .kind = ControlKind::kButton,
         .text = "戻る",
         .rect = {40, 112, 140, 22}});
}

void CPrintModeDialog::OnInit() {
    preview_ = 0;
    preview_already_open_ = false;
    printer_dialog_cancelled_ = false;
    int zero = 0;
    context_.rif->StartEngine(&zero);
}

void CPrintModeDialog::OnCommand(int id) {
    const uint32_t owner = context_.active_window ? context_.active_window() : 0;
    switch (id) {
        case 1001:
            RunReport(owner, 1);
            break;
        case 1003:
            RunReport(owner, 4);
            break;
        case 1005:
            RunReport(owner, 3);
            break;
        case kIdCancel: {
            int status = 0;
            if (preview_ != 0 && context_.rif->GetPreviewStatus(preview_, &status) != 0 &&
                status == kPreviewStatusOpen) {
                Inform(context_.messages, "プレビュー表示中です。");
                break;
            }
            End(kIdCancel);
            break;
        }
        default:
            break;
    }
}

bool CPrintModeDialog::OpenPreview() {
    ReportInterface& rif = *context_.rif;
    if (preview_ == 0) preview_ = rif.CreatePreview();
    if (preview_ == 0) return false;
    int status = 0;
    rif.GetPreviewStatus(preview_, &status);
    if (status == kPreviewStatusOpen) {
        Inform(context_.messages, "既にプレビューは表示されています。");
        preview_already_open_ = true;
        return false;
    }
    for (int n = 1; n <= kLayers; ++n) rif.SetPreviewLayer(preview_, n, n <= 2 ? 1 : 0);
    const bool ok = rif.SetToolBarItems(preview_, kToolBarItems) != 0 &&
                    rif.SetAutoScale(preview_, 0) != 0 && rif.SetPreviewScale(preview_, 50) != 0 &&
                    rif.SetPreviewMode(preview_, 1) != 0 &&
                    rif.SetWindowCaption(preview_, Cp932("プレビュー")) != 0 &&
                    rif.OpenPreview(preview_, 1) != 0;
    if (!ok) {
        rif.ClosePreview(preview_);
        rif.DeletePreview(preview_);
        preview_ = 0;
    }
    return ok;
}

bool CPrintModeDialog::PrintReport(uint32_t report, int mode, uint32_t owner, uint32_t* printer) {
    ReportInterface& rif = *context_.rif;
    printer_dialog_cancelled_ = false;
    *printer = rif.CreatePrinter("");
    if (*printer == 0) return false;
    bool ok = true;
    if (mode == 4) {
        if (rif.ShowPrinterDialog(*printer, owner, 0) == 0) {
            int code = 0;
            rif.GetLastErrorCode(&code);
            if (code == kErrorPrinterDialogCancelled) printer_dialog_cancelled_ = true;
            ok = false;
        } else {
            // The user's choices in the dialog stand; only the job is named.
            rif.SetJobName(*printer, Cp932(kJobName));
        }
    } else {
        SetPrinterDefaults(rif, *printer);
    }
    if (ok) ok = rif.SetCancelDlg(*printer, 1) != 0;
    if (ok) {
        Wait(context_, true);
        ok = rif.OpenPrinter(*printer, owner) != 0;
    }
    if (ok) {
        for (int n = 1; n <= kLayers; ++n) rif.SetLayerVisible(report, n, n <= 2 ? 1 : 0);
    }
    if (!ok || printer_dialog_cancelled_) {
        rif.DeletePrinter(*printer);
        *printer = 0;
        return false;
    }
    return true;
}

int CPrintModeDialog::RunReport(uint32_t owner, int mode) {
    ReportInterface& rif = *context_.rif;
    Wait(context_, true);
    rif.SetErrorDispMode(0);
    preview_already_open_ = false;
    int result = 0;
    uint32_t printer = 0;
    int previewStatus = 0, printerStatus = 0;
    std::string path;
    if (!ToCp932(LayoutPath(context_.start_directory, sheet_kind_), &path)) path.clear();
    const uint32_t report = path.empty() ? 0 : rif.LoadReport(path);
    if (report != 0) {
        for (int n = 1; n <= kLayers; ++n) rif.SetLayerVisible(report, n, n == 1 ? 1 : 0);
        const bool opened = mode == 1 ? OpenPreview() : PrintReport(report, mode, owner, &printer);
        if (opened && rif.SetEditLayer(report, 1) != 0) {
            FillTarget target;
            target.mode = mode;
            target.report = report;
            target.preview = mode == 1 ? preview_ : 0;
            target.printer = printer;
            target.wait_cursor = context_.wait_cursor;
            const SheetDate date = context_.today ? context_.today() : SheetDate{2000, 1, 1};
            result = FillReport(rif, *context_.state, sheet_kind_, target, date);
        }
    }
    if (printer != 0) {
        rif.GetPrinterStatus(printer, &printerStatus);
        result = result != 0 && rif.ClosePrinter(printer, result) != 0 ? 1 : 0;
        rif.DeletePrinter(printer);
    }
    if (result == 0 && !preview_already_open_ && preview_ != 0) {
        rif.ClosePreview(preview_);
        rif.DeletePreview(preview_);
        preview_ = 0;
    }
    if (report != 0) rif.DeleteReport(report);
    if (result != 0 && preview_ != 0) {
        const bool ok = rif.GetPreviewStatus(preview_, &previewStatus) != 0 &&
                        (previewStatus & kStatusCancelled) == 0 &&
                        rif.SetWEventProc(&ReportEventProc) != 0;
        if (!ok) {
            result = 0;
            rif.ClosePreview(preview_);
            rif.DeletePreview(preview_);
            preview_ = 0;
        }
    }
    Wait(context_, false);
    if (result == 0) {
        int code = 0;
        rif.GetLastErrorCode(&code);
        if (!printer_dialog_cancelled_ && !preview_already_open_) {
            if (((previewStatus | printerStatus) & kStatusCancelled) != 0) {
                Inform(context_.messages, kCancelledText);
            } else if (code == kErrorReportMissing) {
                Warn(context_.messages, kMissingText);
            } else {
                Warn(context_.messages, kPrintErrorText);
            }
        }
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// 316

// Wide enough for the whole caption in the window's title bar.
CPrintSelectDialog::CPrintSelectDialog(SheetPrintContext& context, DialogRunner& runner)
    : DialogPresenter(kPrintSelectDialogId, "システムデータシート印刷選択", {0, 0, 320, 190}),
      context_(context),
      runner_(runner) {
    Add({.id = 1000,
         .kind = ControlKind::kButton,
         .text = "データ設定印刷",
         .rect = {80, 16, 160, 26}});
    // The label of this button is not given anywhere; it prints the button settings.
    Add({.id = 1007,
         .kind = ControlKind::kButton,
         .text = "ボタン設定印刷",
         .rect = {80, 48, 160, 26}});
    Add({.id = 1002,
         .kind = ControlKind::kButton,
         .text = "共通電話帳印刷",
         .rect = {80, 80, 160, 26}});
    Add({.id = 1004,
         .kind = ControlKind::kButton,
         .text = "マイ電話帳印刷",
         .rect = {80, 112, 160, 26}});
    Add({.id = kIdCancel,
         .kind = ControlKind::kButton,
         .text = "キャンセル",
         .rect = {80, 150, 160, 24}});
}

void CPrintSelectDialog::OnCommand(int id) {
    int kind = -1;
    switch (id) {
        case 1000:
            kind = 0;
            break;
        case 1007:
            kind = 3;
            break;
        case 1002:
            kind = 1;
            break;
        case 1004:
            kind = 2;
            break;
        case kIdCancel:
            End(kIdCancel);
            return;
        default:
            return;
    }
    {
        CPrintModeDialog dialog(context_);
        dialog.set_sheet_kind(kind);
        runner_.RunModal(dialog);
        int ignored = 0;
        context_.rif->Exit(&ignored);
    }
}

// ---------------------------------------------------------------------------------------------
// Preview events

void SetReportEventContext(SheetPrintContext* context) {
    g_event_context = context;
}

int ReportEventProc(uint32_t preview, int event, uint32_t* first, uint32_t* last) {
    if (event == 1008) return 1;
    if (event != 1001) return 0;
    SheetPrintContext* c = g_event_context;
    if (c == nullptr || c->rif == nullptr) return 1;
    ReportInterface& rif = *c->rif;
    const uint32_t printer = rif.CreatePrinter("");
    if (printer == 0) return 1;
    SetPrinterDefaults(rif, printer);
    rif.SetCancelDlg(printer, 1);
    int printed = 0;
    bool cancelled = false;
    if (rif.OpenPrinter(printer, c->active_window ? c->active_window() : 0) != 0) {
        for (int n = 1; n <= kLayers; ++n) rif.SetPrintLayer(preview, n, n == 1 ? 1 : 0);
        if (first != nullptr && last != nullptr) {
            // Up to *last inclusive, stopping there: a last page of 0xFFFFFFFF ends the loop
            // instead of wrapping round to 0.
            for (uint32_t page = *first; page <= *last; ++page) {
                Wait(*c, true);
                printed = rif.PreviewPrint(printer, preview, page);
                if (printed == 0) {
                    int code = 0;
                    rif.GetLastErrorCode(&code);
                    cancelled = code == kErrorPrintCancelled;
                    break;
                }
                if (page == *last) break;
            }
        }
        rif.ClosePrinter(printer, printed);
    }
    rif.DeletePrinter(printer);
    Wait(*c, false);
    if (printed == 0) {
        if (cancelled) {
            Inform(c->messages, kCancelledText);
        } else {
            Warn(c->messages, kPrintErrorText);
        }
    }
    return 1;
}

}  // namespace qzs::app
