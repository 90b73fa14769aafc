#include <vector>

#include "engine/include/kpengn_members.h"
#include "reportif/kpcif_internal.h"

namespace kpcif {
namespace {

using kp::ScriptableObject;
using namespace plat;

int32_t Call(ScriptableObject* object, int32_t id, std::initializer_list<Variant> list,
             Variant* result = nullptr) {
    std::vector<Variant> args(list);
    kp::InvokeArgs invokeArgs{args.empty() ? nullptr : args.data(),
                              static_cast<uint32_t>(args.size())};
    Variant local{};
    return object->Invoke(id, kp::kInvokeMethod, &invokeArgs, result != nullptr ? result : &local);
}

}  // namespace

std::unique_ptr<PdfOutput> PdfOutput::Open(const std::string& path) {
    ScriptableObject* app = Application();
    if (app == nullptr) return nullptr;
    Variant created{};
    if (int32_t code = Call(app, KPM_APPLICATION_CREATE_PDF_DOCUMENT, {}, &created); code != 0) {
        NoteFailure(code, "PdfOutput");
        return nullptr;
    }
    auto* document = static_cast<ScriptableObject*>(created.pdispVal);
    UniqueBstr name(BstrFromUtf8(path));
    int32_t code = name != nullptr ? 0 : kp::rc::kBadArgument;
    if (code == 0)
        code =
            Call(document, KPM_PDF_DOCUMENT_PDF_OPEN, {VariantBstr(name.get()), VariantBool(true)});
    if (code != 0) {
        NoteFailure(code, "PdfOutput");
        Call(document, KPM_PDF_DOCUMENT_PDF_RELEASE, {});
        return nullptr;
    }
    return std::unique_ptr<PdfOutput>(new PdfOutput(document));
}

PdfOutput::~PdfOutput() {
    // An unfinished file goes with its document.
    Call(document_, KPM_PDF_DOCUMENT_PDF_RELEASE, {});
}

bool PdfOutput::AddPage(uint32_t report) {
    ScriptableObject* page = ObjectOf(report, HandleKind::kReport);
    if (page == nullptr || closed_) {
        NoteFailure(4, "PdfOutput::AddPage");
        return false;
    }
    if (int32_t code = Call(document_, KPM_PDF_DOCUMENT_PDF_ADD_PAGE,
                            {VariantDispatch(nullptr), VariantDispatch(page)});
        code != 0) {
        NoteFailure(code, "PdfOutput::AddPage");
        return false;
    }
    ++pages_;
    return true;
}

bool PdfOutput::Close() {
    if (closed_) return false;
    closed_ = true;
    if (int32_t code = Call(document_, KPM_PDF_DOCUMENT_PDF_CLOSE, {}); code != 0) {
        NoteFailure(code, "PdfOutput::Close");
        return false;
    }
    return true;
}

}  // namespace kpcif
