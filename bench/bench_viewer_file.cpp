// Loading saved report files of 1,000 and 10,000 pages the way the viewer walks them: the
// expansion, the document information and every page record found by its name. The time per
// page should stay flat as the file grows; each page carries a small stand-in element. Goal:
// a 10,000-page file opened in the viewer within 3 s (0.3 ms a page).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

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

}  // namespace
