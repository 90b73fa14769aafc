// qzs-report pdf FILE... --out OUT.pdf [--overwrite] [--creator T] [--title T] [--subject T]
// [--author T] [--keywords T]
//
// One PDF page per report file, in order, as a host exports: CreatePdfDocument, the document
// texts, PdfOpen, OpenReport and PdfAddPage (no printer job: the screen's resolution) per file,
// PdfClose, PdfRelease. Without --overwrite an existing OUT answers -15017 and stays as it was.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/include/kpengn_members.h"
#include "tools/report_host.h"

namespace qzsreport {
namespace {

using namespace plat;
using kp::ScriptableObject;

struct PdfArgs {
    std::vector<std::string> files;
    std::string out;
    bool overwrite = false;
    // creator, title, subject, author, keywords (kTextMembers)
    std::optional<std::string> texts[5];
};

std::optional<PdfArgs> ParsePdfArgs(const std::vector<std::string>& args) {
    static const char* const kTextOptions[5] = {"--creator", "--title", "--subject", "--author",
                                                "--keywords"};
    PdfArgs p;
    bool haveOut = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--overwrite") {
            p.overwrite = true;
            continue;
        }
        if (a == "--out") {
            if (haveOut || i + 1 >= args.size()) return std::nullopt;
            p.out = args[++i];
            haveOut = true;
            continue;
        }
        bool text = false;
        for (int k = 0; k < 5; ++k) {
            if (a != kTextOptions[k]) continue;
            if (p.texts[k] || i + 1 >= args.size()) return std::nullopt;
            p.texts[k] = args[++i];
            text = true;
        }
        if (text) continue;
        if (a.starts_with("--")) return std::nullopt;
        p.files.push_back(a);
    }
    if (!haveOut || p.out.empty() || p.files.empty()) return std::nullopt;
    return p;
}

Variant Text(const std::string& utf8, const char* member) {
    Bstr text = BstrFromUtf8(utf8);
    if (text == nullptr && !utf8.empty()) throw EngineError{-7, member};
    return VariantBstr(text);
}

// Calls with a string argument, freeing it afterwards.
void PutText(ScriptableObject* object, int32_t id, const std::string& utf8, const char* member) {
    Variant value = Text(utf8, member);
    try {
        Put(object, id, value, member);
    } catch (...) {
        BstrFree(value.bstrVal);
        throw;
    }
    BstrFree(value.bstrVal);
}

int Pdf(const std::vector<std::string>& args) {
    const auto p = ParsePdfArgs(args);
    if (!p) {
        return UsageError(
            "usage: qzs-report pdf FILE... --out OUT.pdf [--overwrite] [--creator T] [--title T] "
            "[--subject T] [--author T] [--keywords T]");
    }
    Engine& engine = Engine::Get();
    if (!engine.loaded()) return UsageError(engine.loadError());
    ScriptableObject* document =
        AsObject(Call(engine.app(), KPM_APPLICATION_CREATE_PDF_DOCUMENT, {}, "CreatePdfDocument"));
    int pages = 0;
    try {
        static const char* const kMembers[5] = {"Creator", "Title", "Subject", "Author",
                                                "Keywords"};
        static const int32_t kTextMembers[5] = {KPM_PDF_DOCUMENT_CREATOR, KPM_PDF_DOCUMENT_TITLE,
                                                KPM_PDF_DOCUMENT_SUBJECT, KPM_PDF_DOCUMENT_AUTHOR,
                                                KPM_PDF_DOCUMENT_KEYWORDS};
        for (int k = 0; k < 5; ++k) {
            if (p->texts[k]) PutText(document, kTextMembers[k], *p->texts[k], kMembers[k]);
        }
        std::error_code ec;
        const std::string full = std::filesystem::absolute(p->out, ec).string();
        Variant path = Text(ec ? p->out : full, "PdfOpen");
        try {
            Call(document, KPM_PDF_DOCUMENT_PDF_OPEN, {path, VariantBool(p->overwrite)}, "PdfOpen");
        } catch (...) {
            BstrFree(path.bstrVal);
            throw;
        }
        BstrFree(path.bstrVal);
        for (const std::string& file : p->files) {
            ScriptableObject* report = OpenReport(file);
            try {
                Call(document, KPM_PDF_DOCUMENT_PDF_ADD_PAGE,
                     {VariantDispatch(nullptr), VariantDispatch(report)}, "PdfAddPage");
            } catch (...) {
                Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
                throw;
            }
            Call(report, KPM_REPORT_CLOSE_REPORT, {}, "CloseReport");
            ++pages;
        }
        Call(document, KPM_PDF_DOCUMENT_PDF_CLOSE, {}, "PdfClose");
    } catch (...) {
        // The document goes with its unfinished file.
        Variant ignored{};
        document->Invoke(KPM_PDF_DOCUMENT_PDF_RELEASE, kp::kInvokeMethod, nullptr, &ignored);
        throw;
    }
    Call(document, KPM_PDF_DOCUMENT_PDF_RELEASE, {}, "PdfRelease");
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(p->out, ec);
    std::printf("pdf %s pages %d bytes %llu\n", p->out.c_str(), pages,
                static_cast<unsigned long long>(ec ? 0 : bytes));
    return kExitOk;
}

const ReportCommand kPdf("pdf",
                         "pdf FILE... --out OUT.pdf [--overwrite] [--creator T] [--title T] "
                         "[--subject T] [--author T] [--keywords T]",
                         Pdf);

}  // namespace
}  // namespace qzsreport
