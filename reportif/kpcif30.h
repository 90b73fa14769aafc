// The report interface library libkpcif30.so: 51 plain C functions over the report engine, for
// the program's sheet printing. Handles are nonzero 32-bit values from the library's own tables
// (0 means failure); strings are CP932; every int result is nonzero for success.
#pragma once

#include <cstdint>

extern "C" {

// The preview event procedure: events arrive as 1001-1012 with the preview's handle and the
// engine's first and last page numbers by reference. Answers 1 when it handled the event.
using KPEventProc = int (*)(uint32_t preview, int event, uint32_t* first, uint32_t* last);

int KPStartEngine(int* code);
int KPExit(int* code);
int KPSetErrorDispMode(int mode);
int KPGetLastErrorCode(int* code);
int KPSetWEventProc(KPEventProc proc);

uint32_t KPRLoadReport(const char* path);
int KPRSetLayerVisible(uint32_t report, int layer, int visible);
int KPRSetEditLayer(uint32_t report, int layer);
int KPRClearLayerData(uint32_t report, int layer);
int KPRDeleteReport(uint32_t report);
int KPOSetText(uint32_t report, const char* name, const char* text);
int KPOSetFontSize(uint32_t report, const char* name, float size);

uint32_t KPVCreatePreview();
int KPVGetStatus(uint32_t preview, int* status);
int KPVSetPreviewLayer1(uint32_t preview, int on);
int KPVSetPreviewLayer2(uint32_t preview, int on);
int KPVSetPreviewLayer3(uint32_t preview, int on);
int KPVSetPreviewLayer4(uint32_t preview, int on);
int KPVSetPreviewLayer5(uint32_t preview, int on);
int KPVSetPrintLayer1(uint32_t preview, int on);
int KPVSetPrintLayer2(uint32_t preview, int on);
int KPVSetPrintLayer3(uint32_t preview, int on);
int KPVSetPrintLayer4(uint32_t preview, int on);
int KPVSetPrintLayer5(uint32_t preview, int on);
int KPVSetToolBarItems(uint32_t preview, uint32_t items);
int KPVSetAutoScale(uint32_t preview, int on);
int KPVSetPreviewScale(uint32_t preview, int percent);
int KPVSetWindowCaption(uint32_t preview, const char* caption);
int KPVSetPreviewMode(uint32_t preview, int mode);
int KPVOpenPreview(uint32_t preview, int style);
int KPVReportPrint(uint32_t preview, uint32_t report);
int KPVClosePreview(uint32_t preview);
int KPVDeletePreview(uint32_t preview);

uint32_t KPPCreatePrinter(const char* name);
int KPPShowDlg(uint32_t printer, uint32_t owner, int options);
int KPPSetJobName(uint32_t printer, const char* name);
int KPPSetScalePrint(uint32_t printer, int on);
int KPPSetPaperSize(uint32_t printer, int paper);
int KPPSetOrientation(uint32_t printer, int orientation);
int KPPSetScalePaperFit(uint32_t printer, int on);
int KPPSetMultiPrint(uint32_t printer, int on);
int KPPSetMultiPrintLayout(uint32_t printer, int layout);
int KPPSetScalePrintLayout(uint32_t printer, int layout);
int KPPSetCancelDlg(uint32_t printer, int on);
int KPPUpdateInfo(uint32_t printer);
int KPPOpenPrinter(uint32_t printer, uint32_t owner);
int KPPReportPrint(uint32_t printer, uint32_t report);
int KPPPreviewPrint(uint32_t printer, uint32_t preview, uint32_t page);
int KPPGetStatus(uint32_t printer, int* status);
int KPPClosePrinter(uint32_t printer, int complete);
int KPPDeletePrinter(uint32_t printer);
}
