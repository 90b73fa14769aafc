// Loading saved report files of 1,000 and 10,000 pages the way the viewer walks them: the
// expansion, the document information and every page record found by its name. The time per
// page should stay flat as the file grows; each page carries a small stand-in element.
//
// BM_ViewerFileOpen is what the user waits for: FileOpen and FileOpenViewer of a 10,000-page file
// written by the report-file object (each page a box, a text and a line, as qzs-report k3v-write
// --sample writes them), through the viewer's whole per-page path: each page's report loaded
// from the expansion, saved as the page list's file, added to the viewer. Without a widgets
// application the viewer opens without its window, as a host without one opens it.
// Goal: a 10,000-page file opened in the viewer within 3 s (0.3 ms a page).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "bench/engine_host.h"
#include "engine/preview/report_file.h"

namespace {

using namespace kp;
using namespace kp::preview;

std::string WriteFile(int pages) {
    char pattern[] = "/tmp/kpbenchXXXXXX";
    if (!mkdtemp(pattern)) return {};
    const std::string path = std::string(pattern) + "/pages";
    ReportFileWriter writer;
    if (writer.Create(path, true) != 0) return {};
    for (int n = 1; n <= pages; ++n) {
        FilePageRecord record;
        record.paperWidth = 2100;
        record.paperLength = 2970;
        writer.AddPage({}, record, [](StreamFile* container) {
            Stream* s = nullptr;
            if (const int32_t rc = container->CreateStream(u"KPREPORT30", &s); rc != 0) return rc;
            const char data[200] = {};
            uint32_t written = 0;
            const int32_t rc = s->Write(data, sizeof data, &written);
            s->Release();
            return rc;
        });
    }
    writer.Close(0, nullptr);
    return path + ".k3v";
}

void BM_LoadPages(benchmark::State& state) {
    const int pages = int(state.range(0));
    const std::string path = WriteFile(pages);
    if (path.empty()) {
        state.SkipWithError("cannot write the file");
        return;
    }
    for (auto _ : state) {
        ReportFileReader reader;
        DocumentInfo info;
        int seen = 0;
        const int32_t rc =
            reader.Load(path, {}, nullptr, &info, [&](int, const FilePageRecord&, StreamFile*) {
                ++seen;
                return int32_t(0);
            });
        if (rc != 0 || seen != pages) state.SkipWithError("loading failed");
        benchmark::DoNotOptimize(seen);
    }
    state.counters["per_page"] = benchmark::Counter(
        double(pages), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_LoadPages)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The sample page n: a solid box on layer 1, "ページn" in 24-point ＭＳ ゴシック on layer 2 and a
// 0.5 mm line on layer 3, on A4.
kp::ReportObject* SamplePage(benchhost::LinkedEngine& engine, int n) {
    kp::ReportObject* report = engine.NewReport();
    kp::ItemObject* box =
        benchhost::AddObject(report, 1, kp::ctrlclass::kBox, {2000, 2000, 6000, 4000});
    benchhost::Put(box->mainInterface(), kpctrl::member::kFillColor, plat::VariantUI4(0),
                   "FillColor");
    std::u16string caption = u"ページ";
    for (char c : std::to_string(n)) caption.push_back(char16_t(c));
    benchhost::AddText(report, {2000, 6000, 12000, 8000}, u"ＭＳ ゴシック", 24.0f, caption);
    benchhost::AddLine(report, {2000, 10000, 19000, 10000}, 50);
    return report;
}

void BM_ViewerFileOpen(benchmark::State& state) {
    using kp::preview::FileObject;
    const int pages = int(state.range(0));
    char pattern[] = "/tmp/kpbenchXXXXXX";
    if (!mkdtemp(pattern)) {
        state.SkipWithError("no folder");
        return;
    }
    const std::string dir = pattern;
    benchhost::LinkedEngine engine;
    const std::string path = benchhost::WriteSavedFile(
        engine, dir + "/pages", pages, [&](int n) { return SamplePage(engine, n); });
    for (auto _ : state) {
        benchhost::LinkedEngine::File file;
        engine.NewFile(&file);
        benchhost::Text p(path);
        benchhost::Call(file.object, FileObject::kFileOpen, {p.v()}, "FileOpen");
        benchhost::Call(file.object, FileObject::kFileOpenViewer, {plat::VariantUI4(1)},
                        "FileOpenViewer");
        state.PauseTiming();
        if (file.object->ViewerPageCount() != pages) state.SkipWithError("pages missing");
        benchhost::Call(file.object, FileObject::kFileCloseFile, {}, "FileCloseFile");
        state.ResumeTiming();
    }
    state.counters["per_page"] = benchmark::Counter(
        double(pages), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ViewerFileOpen)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
