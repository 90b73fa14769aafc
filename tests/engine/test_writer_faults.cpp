// The engine's writers on a full disk: a file-size limit in a forked child makes every write past
// it fail as a full volume does. Each writer reports the failure, the file that was there stays
// whole, and no temporary is left beside it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "engine/output/pdf_fonts.h"
#include "engine/output/pdf_writer.h"
#include "engine/preview/report_file.h"
#include "pdf_test_support.h"
#include "tests/fixtures/file_size_limit.h"

namespace kp {
namespace {

using pdftest::ReadFile;
using pdftest::TempDir;
using pdftest::WriteFile;

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A saved report file of one page, as the report-file object writes it.
bool WriteReportFile(const std::string& path) {
    preview::ReportFileWriter writer;
    if (writer.Create(path, true) != 0) return false;
    preview::FilePageRecord page;
    page.paperWidth = 2100;
    page.paperLength = 2970;
    if (writer.AddPage({}, page, [](StreamFile*) { return int32_t(0); }) != 0) return false;
    return writer.Close(0, {}) == 0;
}

// A PDF of two empty pages, as the export writes it.
bool WritePdf(const std::string& path) {
    PdfFileWriter writer;
    PdfFontTable fonts;
    if (writer.AllocateTables() != pdf_code::kOk) return false;
    if (writer.CreateFile(path, true) != pdf_code::kOk) return false;
    for (int i = 0; i < 2; ++i) {
        if (writer.BeginPage() != pdf_code::kOk) return false;
        if (writer.FinishPage(21000, 29700, fonts) != pdf_code::kOk) return false;
    }
    const std::u16string* none[5] = {};
    return writer.FinishFile(none, fonts) == pdf_code::kOk;
}

TEST(WriterFaults, AFullDiskKeepsTheOldFileAndIsReported) {
    struct Row {
        const char* name;
        const char* file;
        std::function<bool(const std::string&)> write;
    };
    const Row rows[] = {
        {.name = "saved report file", .file = "sheets.k3v", .write = WriteReportFile},
        {.name = "PDF", .file = "sheets.pdf", .write = WritePdf},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string target = dir.File(row.file);
        WriteFile(target, "the old file");
        const int answer =
            qzs_test::RunWithFileSizeLimit(64, [&] { return row.write(target) ? 1 : 0; });
        EXPECT_EQ(answer, 0) << "the failure is reported";
        EXPECT_EQ(ReadFile(target), "the old file");
        EXPECT_EQ(Names(dir.path()), std::set<std::string>{row.file});
        // Without the limit the same writer replaces it, with the mode any file the user
        // writes gets (0666 less the umask), not a private one.
        const mode_t umask = ::umask(027);
        EXPECT_TRUE(row.write(target));
        ::umask(umask);
        EXPECT_NE(ReadFile(target), "the old file");
        EXPECT_EQ(Names(dir.path()), std::set<std::string>{row.file});
        struct stat info {};
        ASSERT_EQ(::stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0640u);
    }
}

}  // namespace
}  // namespace kp
