// The product's spooled document: pages painted by the printer device context into a PDF file
// in the temporary folder, one CUPS job made at StartDoc and given that file whole at EndDoc.
#pragma once

#include <memory>
#include <string>

#include "engine/output/printer_job.h"

namespace kp {

// The PrinterDocumentFactory of the engine library. Null without a QGuiApplication.
std::unique_ptr<PrinterDocument> MakeSpooledDocument(const std::string& printer,
                                                     const PrinterModel& model,
                                                     const PageGeometry& page,
                                                     const plat::DevMode& settings);

// The device a page geometry gives a printer context.
plat::DeviceInfo PrinterDeviceInfo(const PageGeometry& page);

// Binds the printer job's entries in the application's child factories and the spooled
// document; called where the engine library starts.
void BindPrinterJobFactories();

}  // namespace kp
