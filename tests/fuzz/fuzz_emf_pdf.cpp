// Arbitrary bytes as one exported page: the metafile checks, the translation into PDF content,
// and, for a page that translates, the end of the document with its fonts and subsets.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>

#include "engine/output/pdf_translate.h"
#include "engine/output/pdf_writer.h"

namespace {

// Memory-backed when the machine has it: every input writes and renames a small file.
const std::string& OutputPath() {
    static const std::string path = [] {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "qzs-fuzz-pdf-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern + "/page.pdf";
    }();
    return path;
}

// One writer for the run: its tables (1.6 MB of object offsets) are made once, not per input,
// which kept this target near a hundred inputs a second. A finished document leaves the writer as
// a new one; after an abandoned one the tables are made again.
kp::PdfFileWriter& Writer(bool& fresh) {
    static kp::PdfFileWriter* writer = [] {
        auto* w = new kp::PdfFileWriter;  // lives for the run
        w->SetClock([] { return std::time_t{0}; });
        return w;
    }();
    if (!fresh && writer->AllocateTables() != 0) std::abort();
    fresh = true;
    return *writer;
}

bool writer_fresh = false;
kp::PdfFontTable fonts;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kp::PdfFileWriter& writer = Writer(writer_fresh);
    fonts.Clear();
    if (writer.CreateFile(OutputPath(), true) != 0) return 0;
    if (kp::ConvertMetafilePage(writer, fonts, std::span<const uint8_t>(data, size), 21000,
                                29700) != 0) {
        writer.Abandon();
        writer_fresh = false;
        return 0;
    }
    const std::u16string* none[5] = {};
    if (writer.FinishFile(none, fonts) != 0) writer_fresh = false;
    return 0;
}
