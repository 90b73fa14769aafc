// Every sheet kind from a fresh data image through the page filling, the report interface
// library and the engine into a PDF: the file passes qpdf --check, has the kind's page count, and
// each page's text holds its own page number and rows and no other page's. And the four kinds in
// one document, as qzs-sheets --pdf writes them: a few pages' content and text byte for byte.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/sheet_fill.h"
#include "programming/state.h"
#include "reportif/kpcif30.h"
#include "reportif/kpcif_internal.h"
#include "reportif/report_interface_kpcif.h"
#include "settings/data_image_startup.h"
#include "tests/fixtures/command_output.h"

namespace {

// The engine finds its control library by name beside itself; loading it here first keeps that
// true when a sanitizer's dlopen hides the engine's own search path.
inline void LoadEngineHere() {
    setenv("QZS_ENGINE", QZS_KPENGN30_PATH, 1);
    static void* control = dlopen(QZS_KPCTRL30_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(control, nullptr) << dlerror();
}

std::string PageText(const std::string& pdf, int page) {
    return qzs_test::CommandOutput("pdftotext -layout -f " + std::to_string(page) + " -l " +
                                   std::to_string(page) + " '" + pdf + "' -");
}

TEST(SheetsToPdf, EveryKindThroughTheLibraryAndTheEngine) {
    LoadEngineHere();
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("sheets-pdf-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path staged = std::filesystem::path(QZS_BINARY_DIR) / "tools/QzSReport";
    const struct {
        int kind;
        const char* layout;
        int pages;
        const char* title;  // on page 1
    } kinds[] = {
        {0, "データ設定.k30", 54, "保守・システム系コマンド"},
        {1, "システム短ダ.k30", 15, "共通電話帳"},
        {2, "電話機毎短縮.k30", 6, "マイ電話帳"},
        {3, "データ設定.k30", 10, "ワンタッチ・内線ワンタッチ・ボックス設定"},
    };
    kpcif::KpcifReportInterface rif;
    for (const auto& k : kinds) {
        auto state = std::make_unique<qzs::ProgrammingState>();
        qzs::InitDataImage(*state);
        std::string path;
        ASSERT_TRUE(plat::Cp932FromWide(plat::WideFromUtf8((staged / k.layout).string()), &path));
        const uint32_t report = rif.LoadReport(path);
        ASSERT_NE(report, 0u) << k.layout;
        for (int n = 1; n <= 5; ++n) rif.SetLayerVisible(report, n, n == 1 ? 1 : 0);
        ASSERT_EQ(rif.SetEditLayer(report, 1), 1);
        const std::string pdf = (dir / ("kind" + std::to_string(k.kind) + ".pdf")).string();
        auto out = kpcif::PdfOutput::Open(pdf);
        ASSERT_NE(out, nullptr);
        qzs::app::FillTarget target;
        target.report = report;
        target.output = [&] { return out->AddPage(report) ? 1 : 0; };
        EXPECT_EQ(qzs::app::FillReport(rif, *state, k.kind, target, {2026, 3, 9}), 1) << k.kind;
        EXPECT_TRUE(out->Close());
        EXPECT_EQ(out->pages(), k.pages);
        out.reset();
        EXPECT_EQ(rif.DeleteReport(report), 1);

        EXPECT_EQ(std::system(("qpdf --check '" + pdf + "' > /dev/null").c_str()), 0) << pdf;
        EXPECT_EQ(qzs_test::CommandOutput("qpdf --show-npages '" + pdf + "'"),
                  std::to_string(k.pages) + "\n");
        const std::string first = PageText(pdf, 1);
        EXPECT_NE(first.find(k.title), std::string::npos) << first;
        EXPECT_NE(first.find("2026年03月09日"), std::string::npos) << first;
        for (int p = 1; p <= k.pages; ++p) {
            const std::string text = PageText(pdf, p);
            char own[32], other[32];
            if (k.kind == 1 || k.kind == 2) {
                std::snprintf(own, sizeof own, "page %03d", p);
                std::snprintf(other, sizeof other, "page %03d", p == 1 ? 2 : 1);
            } else {
                std::snprintf(own, sizeof own, " %d／%d ", p, k.pages);
                std::snprintf(other, sizeof other, " %d／%d ", p == 1 ? 2 : 1, k.pages);
            }
            EXPECT_NE(text.find(std::string(own).substr(0, std::string(own).size() - 1)),
                      std::string::npos)
                << k.kind << " page " << p;
            EXPECT_EQ(text.find(other), std::string::npos) << k.kind << " page " << p;
        }
        if (k.kind == 1) {
            // The system rows 000-039 on page 1, 560-599 on page 15.
            EXPECT_NE(PageText(pdf, 1).find("039"), std::string::npos);
            EXPECT_NE(PageText(pdf, 15).find("599"), std::string::npos);
            EXPECT_EQ(PageText(pdf, 15).find("039"), std::string::npos);
        }
        if (k.kind == 2) {
            EXPECT_NE(PageText(pdf, 1).find("101"), std::string::npos);
            EXPECT_NE(PageText(pdf, 6).find("112"), std::string::npos);
            EXPECT_EQ(PageText(pdf, 6).find("101 "), std::string::npos);
        }
    }
    int code = 0;
    rif.Exit(&code);
    std::filesystem::remove_all(dir);
}

// The content stream object of each page, in page order, as qpdf reads the file.
std::vector<std::string> ContentObjects(const std::string& pdf) {
    std::vector<std::string> objects;
    std::istringstream pages(qzs_test::CommandOutput("qpdf --show-pages '" + pdf + "'"));
    std::string line;
    while (std::getline(pages, line)) {
        if (line.find("content:") == std::string::npos || !std::getline(pages, line)) continue;
        objects.push_back(line.substr(line.find_first_not_of(' ')));
    }
    return objects;
}

std::string InflatedStream(const std::string& pdf, const std::string& object) {
    return qzs_test::CommandOutput("qpdf --show-object='" + object + "' --filtered-stream-data '" +
                                   pdf + "'");
}

std::string Fixture(const std::string& name) {
    std::ifstream in(std::string(QZS_SOURCE_DIR) + "/tests/fixtures/sheets/" + name,
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The fixtures were made from this document before page content went to deflate in larger
// pieces: every piece ends in a sync flush, so the compressed bytes changed with the pieces, but
// the inflated content must not, nor the text a reader finds on the page.
TEST(SheetsToPdf, PageContentAndTextOfAllKindsInOneDocument) {
    LoadEngineHere();
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("sheets-golden-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path staged = std::filesystem::path(QZS_BINARY_DIR) / "tools/QzSReport";
    const char* layouts[] = {"データ設定.k30", "システム短ダ.k30", "電話機毎短縮.k30",
                             "データ設定.k30"};
    const std::string pdf = (dir / "sheets.pdf").string();
    kpcif::KpcifReportInterface rif;
    auto state = std::make_unique<qzs::ProgrammingState>();
    qzs::InitDataImage(*state);
    auto out = kpcif::PdfOutput::Open(pdf);
    ASSERT_NE(out, nullptr);
    for (int kind = 0; kind < 4; ++kind) {
        std::string path;
        ASSERT_TRUE(
            plat::Cp932FromWide(plat::WideFromUtf8((staged / layouts[kind]).string()), &path));
        const uint32_t report = rif.LoadReport(path);
        ASSERT_NE(report, 0u) << layouts[kind];
        for (int n = 1; n <= 5; ++n) rif.SetLayerVisible(report, n, n == 1 ? 1 : 0);
        ASSERT_EQ(rif.SetEditLayer(report, 1), 1);
        qzs::app::FillTarget target;
        target.report = report;
        target.output = [&] { return out->AddPage(report) ? 1 : 0; };
        EXPECT_EQ(qzs::app::FillReport(rif, *state, kind, target, {2026, 3, 9}), 1) << kind;
        EXPECT_EQ(rif.DeleteReport(report), 1);
    }
    EXPECT_TRUE(out->Close());
    ASSERT_EQ(out->pages(), 85);
    out.reset();
    int code = 0;
    rif.Exit(&code);

    const std::vector<std::string> contents = ContentObjects(pdf);
    ASSERT_EQ(contents.size(), 85u);
    const struct {
        int page;
        const char* why;
    } pages[] = {
        {1, "the first command sheet: title, date, rules and the most text"},
        {54, "the last command sheet"},
        {55, "the first page of the common phone book"},
        {75, "the last page of the per-telephone phone books"},
        {85, "the last one-touch sheet"},
    };
    for (const auto& p : pages) {
        SCOPED_TRACE(std::to_string(p.page) + ": " + p.why);
        char name[32];
        std::snprintf(name, sizeof name, "page%02d", p.page);
        const std::string want = Fixture(std::string(name) + ".content");
        ASSERT_FALSE(want.empty());
        // Compared whole but reported short: a content stream is tens of kilobytes.
        EXPECT_TRUE(InflatedStream(pdf, contents[size_t(p.page - 1)]) == want)
            << "content differs from tests/fixtures/sheets/" << name << ".content";
        EXPECT_EQ(PageText(pdf, p.page), Fixture(std::string(name) + ".txt"));
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
