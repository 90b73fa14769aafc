// Arbitrary bytes as one exported page: the metafile checks, the translation into PDF content,
// and, for a page that translates, the end of the document with its fonts and subsets.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "engine/output/pdf_translate.h"
#include "engine/output/pdf_writer.h"

namespace {

const std::string& OutputPath() {
    static const std::string path = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qzs-fuzz-pdf-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern + "/page.pdf";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kp::PdfFileWriter writer;
    if (writer.AllocateTables() != 0) return 0;
    writer.SetClock([] { return std::time_t{0}; });
    if (writer.CreateFile(OutputPath(), true) != 0) return 0;
    if (kp::ConvertMetafilePage(writer, std::span<const uint8_t>(data, size), 21000, 29700) != 0) {
        writer.Abandon();
        return 0;
    }
    const std::u16string* none[5] = {};
    writer.FinishFile(none);
    return 0;
}
