// The program's report interface over the library's C functions (libkpcif30.so, or the same code
// linked in for the tools and tests).
#pragma once

#include "app/report_interface.h"

namespace kpcif {

class KpcifReportInterface final : public qzs::app::ReportInterface {
  public:
    int StartEngine(int* code) override;
    int Exit(int* code) override;
    int SetErrorDispMode(int mode) override;
    int GetLastErrorCode(int* code) override;
    int SetWEventProc(qzs::app::ReportEventCallback proc) override;
    uint32_t LoadReport(const std::string& path) override;
    int SetLayerVisible(uint32_t report, int layer, int visible) override;
    int SetEditLayer(uint32_t report, int layer) override;
    int ClearLayerData(uint32_t report, int layer) override;
    int DeleteReport(uint32_t report) override;
    int SetText(uint32_t report, const std::string& name, const std::string& text) override;
    int SetFontSize(uint32_t report, const std::string& name, float size) override;
    uint32_t CreatePreview() override;
    int GetPreviewStatus(uint32_t preview, int* status) override;
    int SetPreviewLayer(uint32_t preview, int layer, int on) override;
    int SetPrintLayer(uint32_t preview, int layer, int on) override;
    int SetToolBarItems(uint32_t preview, uint32_t items) override;
    int SetAutoScale(uint32_t preview, int on) override;
    int SetPreviewScale(uint32_t preview, int percent) override;
    int SetPreviewMode(uint32_t preview, int mode) override;
    int SetWindowCaption(uint32_t preview, const std::string& caption) override;
    int OpenPreview(uint32_t preview, int style) override;
    int PreviewReportPrint(uint32_t preview, uint32_t report) override;
    int ClosePreview(uint32_t preview) override;
    int DeletePreview(uint32_t preview) override;
    uint32_t CreatePrinter(const std::string& name) override;
    int ShowPrinterDialog(uint32_t printer, uint32_t owner, int options) override;
    int SetJobName(uint32_t printer, const std::string& name) override;
    int SetScalePrint(uint32_t printer, int on) override;
    int SetPaperSize(uint32_t printer, int paper) override;
    int SetOrientation(uint32_t printer, int orientation) override;
    int SetScalePaperFit(uint32_t printer, int on) override;
    int SetMultiPrint(uint32_t printer, int on) override;
    int SetMultiPrintLayout(uint32_t printer, int layout) override;
    int SetScalePrintLayout(uint32_t printer, int layout) override;
    int SetCancelDlg(uint32_t printer, int on) override;
    int UpdateInfo(uint32_t printer) override;
    int OpenPrinter(uint32_t printer, uint32_t owner) override;
    int PrinterReportPrint(uint32_t printer, uint32_t report) override;
    int PreviewPrint(uint32_t printer, uint32_t preview, uint32_t page) override;
    int GetPrinterStatus(uint32_t printer, int* status) override;
    int ClosePrinter(uint32_t printer, int complete) override;
    int DeletePrinter(uint32_t printer) override;
};

}  // namespace kpcif
