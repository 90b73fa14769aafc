// What the program's own code reaches inside the report interface library besides its C
// functions: the engine objects behind handles, for the page output steps that the exported
// functions do not offer (a PDF page) and for tests that read settings back through the engine.
// None of this is exported from libkpcif30.so.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/scriptable.h"

namespace kpcif {

enum class HandleKind { kReport, kPreview, kPrinter };

// The engine object behind a live handle of that kind; null for 0, stale or other-kind handles.
// No reference is taken: the object lives until its handle is deleted or KPExit.
kp::ScriptableObject* ObjectOf(uint32_t handle, HandleKind kind);
// The application object, made at first use; null when the engine cannot be bound.
kp::ScriptableObject* Application();
// Records a failure as the library's last error (the code without sign).
void NoteFailure(int32_t code, const char* what);

}  // namespace kpcif

namespace kpcif {

// A PDF file written page by page through the engine's PDF document: each AddPage draws a
// loaded report's current state as the next page. Failures are recorded as the last error.
class PdfOutput {
  public:
    // Opens (and replaces) the file at the UTF-8 path; null on failure.
    static std::unique_ptr<PdfOutput> Open(const std::string& path);
    ~PdfOutput();
    PdfOutput(const PdfOutput&) = delete;
    PdfOutput& operator=(const PdfOutput&) = delete;

    bool AddPage(uint32_t report);
    // Finishes the file; false when it could not be completed.
    bool Close();
    int pages() const { return pages_; }

  private:
    explicit PdfOutput(kp::ScriptableObject* document) : document_(document) {}
    kp::ScriptableObject* document_;
    bool closed_ = false;
    int pages_ = 0;
};

}  // namespace kpcif
