#include "reportif/report_interface_kpcif.h"

#include "reportif/kpcif30.h"

namespace kpcif {

int KpcifReportInterface::StartEngine(int* code) {
    return KPStartEngine(code);
}

int KpcifReportInterface::Exit(int* code) {
    return KPExit(code);
}

int KpcifReportInterface::SetErrorDispMode(int mode) {
    return KPSetErrorDispMode(mode);
}

int KpcifReportInterface::GetLastErrorCode(int* code) {
    return KPGetLastErrorCode(code);
}

int KpcifReportInterface::SetWEventProc(qzs::app::ReportEventCallback proc) {
    return KPSetWEventProc(proc);
}

uint32_t KpcifReportInterface::LoadReport(const std::string& path) {
    return KPRLoadReport(path.c_str());
}

int KpcifReportInterface::SetLayerVisible(uint32_t report, int layer, int visible) {
    return KPRSetLayerVisible(report, layer, visible);
}

int KpcifReportInterface::SetEditLayer(uint32_t report, int layer) {
    return KPRSetEditLayer(report, layer);
}

int KpcifReportInterface::ClearLayerData(uint32_t report, int layer) {
    return KPRClearLayerData(report, layer);
}

int KpcifReportInterface::DeleteReport(uint32_t report) {
    return KPRDeleteReport(report);
}

int KpcifReportInterface::SetText(uint32_t report, const std::string& name,
                                  const std::string& text) {
    return KPOSetText(report, name.c_str(), text.c_str());
}

int KpcifReportInterface::SetFontSize(uint32_t report, const std::string& name, float size) {
    return KPOSetFontSize(report, name.c_str(), size);
}

uint32_t KpcifReportInterface::CreatePreview() {
    return KPVCreatePreview();
}

int KpcifReportInterface::GetPreviewStatus(uint32_t preview, int* status) {
    return KPVGetStatus(preview, status);
}

int KpcifReportInterface::SetPreviewLayer(uint32_t preview, int layer, int on) {
    using Fn = int (*)(uint32_t, int);
    static constexpr Fn kLayers[] = {KPVSetPreviewLayer1, KPVSetPreviewLayer2, KPVSetPreviewLayer3,
                                     KPVSetPreviewLayer4, KPVSetPreviewLayer5};
    if (layer < 1 || layer > 5) return 0;
    return kLayers[layer - 1](preview, on);
}

int KpcifReportInterface::SetPrintLayer(uint32_t preview, int layer, int on) {
    using Fn = int (*)(uint32_t, int);
    static constexpr Fn kLayers[] = {KPVSetPrintLayer1, KPVSetPrintLayer2, KPVSetPrintLayer3,
                                     KPVSetPrintLayer4, KPVSetPrintLayer5};
    if (layer < 1 || layer > 5) return 0;
    return kLayers[layer - 1](preview, on);
}

int KpcifReportInterface::SetToolBarItems(uint32_t preview, uint32_t items) {
    return KPVSetToolBarItems(preview, items);
}

int KpcifReportInterface::SetAutoScale(uint32_t preview, int on) {
    return KPVSetAutoScale(preview, on);
}

int KpcifReportInterface::SetPreviewScale(uint32_t preview, int percent) {
    return KPVSetPreviewScale(preview, percent);
}

int KpcifReportInterface::SetPreviewMode(uint32_t preview, int mode) {
    return KPVSetPreviewMode(preview, mode);
}

int KpcifReportInterface::SetWindowCaption(uint32_t preview, const std::string& caption) {
    return KPVSetWindowCaption(preview, caption.c_str());
}

int KpcifReportInterface::OpenPreview(uint32_t preview, int style) {
    return KPVOpenPreview(preview, style);
}

int KpcifReportInterface::PreviewReportPrint(uint32_t preview, uint32_t report) {
    return KPVReportPrint(preview, report);
}

int KpcifReportInterface::ClosePreview(uint32_t preview) {
    return KPVClosePreview(preview);
}

int KpcifReportInterface::DeletePreview(uint32_t preview) {
    return KPVDeletePreview(preview);
}

uint32_t KpcifReportInterface::CreatePrinter(const std::string& name) {
    return KPPCreatePrinter(name.c_str());
}

int KpcifReportInterface::ShowPrinterDialog(uint32_t printer, uint32_t owner, int options) {
    return KPPShowDlg(printer, owner, options);
}

int KpcifReportInterface::SetJobName(uint32_t printer, const std::string& name) {
    return KPPSetJobName(printer, name.c_str());
}

int KpcifReportInterface::SetScalePrint(uint32_t printer, int on) {
    return KPPSetScalePrint(printer, on);
}

int KpcifReportInterface::SetPaperSize(uint32_t printer, int paper) {
    return KPPSetPaperSize(printer, paper);
}

int KpcifReportInterface::SetOrientation(uint32_t printer, int orientation) {
    return KPPSetOrientation(printer, orientation);
}

int KpcifReportInterface::SetScalePaperFit(uint32_t printer, int on) {
    return KPPSetScalePaperFit(printer, on);
}

int KpcifReportInterface::SetMultiPrint(uint32_t printer, int on) {
    return KPPSetMultiPrint(printer, on);
}

int KpcifReportInterface::SetMultiPrintLayout(uint32_t printer, int layout) {
    return KPPSetMultiPrintLayout(printer, layout);
}

int KpcifReportInterface::SetScalePrintLayout(uint32_t printer, int layout) {
    return KPPSetScalePrintLayout(printer, layout);
}

int KpcifReportInterface::SetCancelDlg(uint32_t printer, int on) {
    return KPPSetCancelDlg(printer, on);
}

int KpcifReportInterface::UpdateInfo(uint32_t printer) {
    return KPPUpdateInfo(printer);
}

int KpcifReportInterface::OpenPrinter(uint32_t printer, uint32_t owner) {
    return KPPOpenPrinter(printer, owner);
}

int KpcifReportInterface::PrinterReportPrint(uint32_t printer, uint32_t report) {
    return KPPReportPrint(printer, report);
}

int KpcifReportInterface::PreviewPrint(uint32_t printer, uint32_t preview, uint32_t page) {
    return KPPPreviewPrint(printer, preview, page);
}

int KpcifReportInterface::GetPrinterStatus(uint32_t printer, int* status) {
    return KPPGetStatus(printer, status);
}

int KpcifReportInterface::ClosePrinter(uint32_t printer, int complete) {
    return KPPClosePrinter(printer, complete);
}

int KpcifReportInterface::DeletePrinter(uint32_t printer) {
    return KPPDeletePrinter(printer);
}

}  // namespace kpcif
