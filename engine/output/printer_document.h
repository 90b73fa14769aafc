// The product's spooled document: pages recorded by the printer device context and turned by
// the PDF export's writer into one PDF file in the temporary folder, one CUPS job made at
// StartDoc and given that file whole at EndDoc. No GUI application is needed, on any thread.
#pragma once

#include <memory>
#include <string>

#include "engine/output/pdf_fonts.h"
#include "engine/output/pdf_writer.h"
#include "engine/output/printer_job.h"
#include "platform/gdi/printer_dc.h"

namespace kp {

// A PDF file of a printer context's pages, made by the PDF export's writer and translator (the
// spooled documents' and the direct sheets' one road to paper). Results are the writer's codes.
class PrinterPdf {
  public:
    // Creates (or replaces) the file at path; the title goes into the document information.
    int Open(const std::string& path, std::u16string title);
    bool IsOpen() const { return writer_.IsOpen(); }
    // One page; the sheet across and down in 0.1 mm (0 takes the size of the page's pixels).
    int AddPage(const plat::PrinterDc::Page& page, int32_t sheetWidth = 0, int32_t sheetLength = 0);
    // Ends the file, which then has its name; on failure it is gone.
    int Finish();
    void Abandon();

  private:
    PdfFileWriter writer_;
    PdfFontTable fonts_;
    std::u16string title_;
};

// The PrinterDocumentFactory of the engine library. Null when memory runs out.
std::unique_ptr<PrinterDocument> MakeSpooledDocument(const std::string& printer,
                                                     const PrinterModel& model,
                                                     const PageGeometry& page,
                                                     const plat::DevMode& settings);

// The device a page geometry gives a printer context.
plat::DeviceInfo PrinterDeviceInfo(const PageGeometry& page);

// Puts the printer job's entries into the child factories, and the spooled document.
void AddPrinterJobServices(EngineServices& services);

}  // namespace kp
