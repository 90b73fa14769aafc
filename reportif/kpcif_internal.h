// What the program's own code reaches inside the report interface library besides its C
// functions: the engine objects behind handles, for the page output steps that the exported
// functions do not offer (a PDF page) and for tests that read settings back through the engine.
// None of this is exported from libkpcif30.so.
#pragma once

#include <cstdint>

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
