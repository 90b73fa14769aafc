// The seam between the sheet printing and the report interface library: one method per library
// function the program calls, so that the printing logic runs against a recorder in tests and
// against libkpcif30.so in the program. Strings are CP932 bytes; handles and results as the
// library gives them (0 failure).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qzs::app {

// The preview event procedure the library calls (preview handle, event, first and last page).
using ReportEventCallback = int (*)(uint32_t preview, int event, uint32_t* first, uint32_t* last);

class ReportInterface {
  public:
    virtual ~ReportInterface() = default;

    virtual int StartEngine(int* code) = 0;
    virtual int Exit(int* code) = 0;
    virtual int SetErrorDispMode(int mode) = 0;
    virtual int GetLastErrorCode(int* code) = 0;
    virtual int SetWEventProc(ReportEventCallback proc) = 0;

    virtual uint32_t LoadReport(const std::string& path) = 0;
    virtual int SetLayerVisible(uint32_t report, int layer, int visible) = 0;
    virtual int SetEditLayer(uint32_t report, int layer) = 0;
    virtual int ClearLayerData(uint32_t report, int layer) = 0;
    virtual int DeleteReport(uint32_t report) = 0;
    virtual int SetText(uint32_t report, const std::string& name, const std::string& text) = 0;
    virtual int SetFontSize(uint32_t report, const std::string& name, float size) = 0;

    virtual uint32_t CreatePreview() = 0;
    virtual int GetPreviewStatus(uint32_t preview, int* status) = 0;
    // KPVSetPreviewLayer1..5 and KPVSetPrintLayer1..5, the layer number choosing the function.
    virtual int SetPreviewLayer(uint32_t preview, int layer, int on) = 0;
    virtual int SetPrintLayer(uint32_t preview, int layer, int on) = 0;
    virtual int SetToolBarItems(uint32_t preview, uint32_t items) = 0;
    virtual int SetAutoScale(uint32_t preview, int on) = 0;
    virtual int SetPreviewScale(uint32_t preview, int percent) = 0;
    virtual int SetPreviewMode(uint32_t preview, int mode) = 0;
    virtual int SetWindowCaption(uint32_t preview, const std::string& caption) = 0;
    virtual int OpenPreview(uint32_t preview, int style) = 0;
    virtual int PreviewReportPrint(uint32_t preview, uint32_t report) = 0;
    virtual int ClosePreview(uint32_t preview) = 0;
    virtual int DeletePreview(uint32_t preview) = 0;

    virtual uint32_t CreatePrinter(const std::string& name) = 0;
    virtual int ShowPrinterDialog(uint32_t printer, uint32_t owner, int options) = 0;
    virtual int SetJobName(uint32_t printer, const std::string& name) = 0;
    virtual int SetScalePrint(uint32_t printer, int on) = 0;
    virtual int SetPaperSize(uint32_t printer, int paper) = 0;
    virtual int SetOrientation(uint32_t printer, int orientation) = 0;
    virtual int SetScalePaperFit(uint32_t printer, int on) = 0;
    virtual int SetMultiPrint(uint32_t printer, int on) = 0;
    virtual int SetMultiPrintLayout(uint32_t printer, int layout) = 0;
    virtual int SetScalePrintLayout(uint32_t printer, int layout) = 0;
    virtual int SetCancelDlg(uint32_t printer, int on) = 0;
    virtual int UpdateInfo(uint32_t printer) = 0;
    virtual int OpenPrinter(uint32_t printer, uint32_t owner) = 0;
    virtual int PrinterReportPrint(uint32_t printer, uint32_t report) = 0;
    virtual int PreviewPrint(uint32_t printer, uint32_t preview, uint32_t page) = 0;
    virtual int GetPrinterStatus(uint32_t printer, int* status) = 0;
    virtual int ClosePrinter(uint32_t printer, int complete) = 0;
    virtual int DeletePrinter(uint32_t printer) = 0;
};

}  // namespace qzs::app
