// All four data-sheet kinds (85 pages) filled from a fresh data image through the report
// interface library and the engine into one PDF file. Goal: end to end (qzs-sheets --pdf) within
// 1.5 times hb-view's time for the same text in the same run (bench/peers.sh prints the ratio).
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/sheet_fill.h"
#include "platform/automation/automation.h"
#include "programming/state.h"
#include "reportif/kpcif_internal.h"
#include "reportif/report_interface_kpcif.h"
#include "settings/data_image_startup.h"

namespace {

void BM_AllSheetsToPdf(benchmark::State& bench) {
    setenv("QZS_ENGINE", QZS_KPENGN30_PATH, 1);
    dlopen(QZS_KPCTRL30_PATH, RTLD_NOW | RTLD_LOCAL);
    const std::string dir = QZS_LAYOUT_DIR;
    const char* layouts[] = {"データ設定.k30", "システム短ダ.k30", "電話機毎短縮.k30",
                             "データ設定.k30"};
    const std::string pdf = (std::filesystem::temp_directory_path() /
                             ("bench-sheets-" + std::to_string(getpid()) + ".pdf"))
                                .string();
    kpcif::KpcifReportInterface rif;
    auto state = std::make_unique<qzs::ProgrammingState>();
    qzs::InitDataImage(*state);
    int pages = 0;
    for (auto _ : bench) {
        auto out = kpcif::PdfOutput::Open(pdf);
        if (out == nullptr) {
            bench.SkipWithError("no PDF document");
            break;
        }
        for (int kind = 0; kind < 4; ++kind) {
            std::string path;
            plat::Cp932FromWide(plat::WideFromUtf8(dir + "/" + layouts[kind]), &path);
            const uint32_t report = rif.LoadReport(path);
            rif.SetEditLayer(report, 1);
            qzs::app::FillTarget target;
            target.report = report;
            target.output = [&] { return out->AddPage(report) ? 1 : 0; };
            qzs::app::FillReport(rif, *state, kind, target, {2026, 3, 9});
            rif.DeleteReport(report);
        }
        out->Close();
        pages = out->pages();
    }
    bench.counters["pages"] = pages;
    int ignored = 0;
    rif.Exit(&ignored);
    std::filesystem::remove(pdf);
}
BENCHMARK(BM_AllSheetsToPdf)->Unit(benchmark::kMillisecond);

}  // namespace
