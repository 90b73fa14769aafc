// What the engine's objects are made and wired with: the constructors of the application's
// children, the printer's spooled document, the recorded pages a printer job prints, the PDF
// export's reach into reports, the preview's frame window and the viewer's dialogs. Each comes
// from the library that links it; the engine library fills one set where it starts and its
// module keeps it, an application copies the set it is made with and its children take what
// they need from their application. A test fills a set of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/scriptable.h"

namespace plat {
struct DevMode;
struct RECT;
class DeviceContext;
}  // namespace plat

namespace kp {

class ApplicationObject;
class PrinterDocument;
class PageSource;
struct PageGeometry;
struct PrinterModel;

namespace preview {
class FrameView;
class PreviewCore;
class ViewerDialogPort;

// Makes the Qt frame over a core: top-level, or a child of the parent window handle. Null where
// none can be made (no QApplication, or not on its thread).
using FrameViewFactory = FrameView* (*)(PreviewCore* core, bool child, uint32_t parent);
// Makes the Qt dialogs' port owned by a window (a libqzsgdi handle, 0: none); null where the
// library of the Qt views is not linked in.
using ViewerDialogPortFactory = std::unique_ptr<ViewerDialogPort> (*)(uint32_t ownerWindow);
}  // namespace preview

// The constructors of the child classes. The application runs the sequence around them:
// construct, register, initialise, and destroy again on failure. A kind whose entries are not
// there answers "not implemented".
struct ChildFactories {
    // New, unregistered children; null when memory runs out.
    ScriptableObject* (*newReport)() = nullptr;
    ScriptableObject* (*newPreview)() = nullptr;
    ScriptableObject* (*newFileObject)(ApplicationObject* app) = nullptr;
    ScriptableObject* (*newPdfDocument)(ApplicationObject* app) = nullptr;
    ScriptableObject* (*newPrinterJob)() = nullptr;
    // Binds a registered report to its application (takes the default printer's settings).
    int32_t (*attachReport)(ScriptableObject* report, ApplicationObject* app) = nullptr;
    // Prepares a registered preview (its page list in the temporary folder).
    int32_t (*initializePreview)(ScriptableObject* preview, ApplicationObject* app) = nullptr;
    // Opens a registered printer job on the named printer; -10101 when there is no such printer.
    int32_t (*openPrinterJob)(ScriptableObject* job, ApplicationObject* app,
                              const plat::OleChar* printerName) = nullptr;
};

// Makes the document of a job on a printer; null when no document can be had (no memory).
using PrinterDocumentFactory = std::unique_ptr<PrinterDocument> (*)(const std::string& printer,
                                                                    const PrinterModel& model,
                                                                    const PageGeometry& page,
                                                                    const plat::DevMode& settings);

// Pages recorded in a live preview or loaded in the report-file viewer, as the library that owns
// those objects hands them to the print loop. Without them the two members answer "not
// implemented".
struct RecordedPageAccess {
    // The page source of page n of the object; its Check answers -7 when the object is not of
    // the kind.
    std::unique_ptr<PageSource> (*preview)(ScriptableObject* object, uint32_t page) = nullptr;
    std::unique_ptr<PageSource> (*file)(ScriptableObject* object, uint32_t page) = nullptr;
};

// What a PDF page needs of a report, given by the report model (the report's paper and its
// Draw), so that the export does not depend on how reports are built.
struct PdfReportAccess {
    // Paper width and length in 0.1 mm and the orientation (1 portrait); 0 or a failure code.
    int32_t (*paper)(ScriptableObject* report, int32_t* width, int32_t* length,
                     int32_t* orientation) = nullptr;
    // Draws the report onto dc, with attribute as the attribute context, into rect (device
    // pixels) with the draw flags.
    int32_t (*draw)(ScriptableObject* report, plat::DeviceContext* dc,
                    plat::DeviceContext* attribute, const plat::RECT& rect,
                    uint32_t flags) = nullptr;
    // Raises (+1) or lowers (-1) the report's use counter.
    void (*use)(ScriptableObject* report, int32_t delta) = nullptr;
};

struct EngineServices {
    ChildFactories children;
    PrinterDocumentFactory printerDocument = nullptr;  // none: a document cannot be opened
    RecordedPageAccess recordedPages;
    PdfReportAccess pdfReports;
    preview::FrameViewFactory frameView = nullptr;  // none: no preview window opens
    // None: the viewer's dialogs are not shown (a port set on the object still is).
    preview::ViewerDialogPortFactory viewerDialogs = nullptr;
};

}  // namespace kp
