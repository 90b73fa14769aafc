#include <vector>

#include "reportif/kpcif_internal.h"

namespace kpcif {
namespace {

using kp::ScriptableObject;
using namespace plat;

constexpr int32_t kAppCreatePdfDocument = 10011;
constexpr int32_t kPdfOpen = 600, kPdfClose = 601, kPdfAddPage = 602, kPdfRelease = 603;

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
    if (int32_t code = Call(app, kAppCreatePdfDocument, {}, &created); code != 0) {
        NoteFailure(code, "PdfOutput");
        return nullptr;
    }
    auto* document = static_cast<ScriptableObject*>(created.pdispVal);
    UniqueBstr name(BstrFromUtf8(path));
    int32_t code = name != nullptr ? 0 : kp::rc::kBadArgument;
    if (code == 0) code = Call(document, kPdfOpen, {VariantBstr(name.get()), VariantBool(true)});
    if (code != 0) {
        NoteFailure(code, "PdfOutput");
        Call(document, kPdfRelease, {});
        return nullptr;
    }
    return std::unique_ptr<PdfOutput>(new PdfOutput(document));
}

PdfOutput::~PdfOutput() {
    // An unfinished file goes with its document.
    Call(document_, kPdfRelease, {});
}

bool PdfOutput::AddPage(uint32_t report) {
    ScriptableObject* page = ObjectOf(report, HandleKind::kReport);
    if (page == nullptr || closed_) {
        NoteFailure(4, "PdfOutput::AddPage");
        return false;
    }
    if (int32_t code =
            Call(document_, kPdfAddPage, {VariantDispatch(nullptr), VariantDispatch(page)});
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
    if (int32_t code = Call(document_, kPdfClose, {}); code != 0) {
        NoteFailure(code, "PdfOutput::Close");
        return false;
    }
    return true;
}

}  // namespace kpcif
