// The settings forms: filling the largest page from the image and applying a typical post.
// Goal: the largest page filled within 60 us; a post within 1 ms. Served per request, a page
// must reach half of nginx's rate for the same bytes (bench/peers.sh measures that).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "programming/state.h"
#include "settings/data_image_startup.h"
#include "settings/form_post.h"
#include "settings/form_template.h"
#include "settings/settings_pages.h"

namespace {

std::string Template(const std::string& name) {
    std::ifstream in(std::filesystem::path(QZS_HTML_DIR) / name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The page whose template is the largest.
std::string LargestPage() {
    std::string largest;
    std::size_t size = 0;
    for (const std::string& name : qzs::SettingsPageNames()) {
        const std::size_t s =
            std::filesystem::file_size(std::filesystem::path(QZS_HTML_DIR) / name);
        if (s > size) {
            size = s;
            largest = name;
        }
    }
    return largest;
}

void BM_FillLargestPage(benchmark::State& bench) {
    auto state = std::make_unique<qzs::ProgrammingState>();
    qzs::InitDataImage(*state);
    const std::string name = LargestPage();
    const std::string text = Template(name);
    bench.SetLabel(name);
    for (auto _ : bench) {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* out = ::open_memstream(&buffer, &size);
        qzs::FillFormTemplate(*state, text, out);
        std::fclose(out);
        benchmark::DoNotOptimize(size);
        std::free(buffer);
    }
}
BENCHMARK(BM_FillLargestPage)->Unit(benchmark::kMicrosecond);

// A page of settings as the browser posts it: a dozen commands, some with keys and rows.
void BM_PostSettingsPage(benchmark::State& bench) {
    auto state = std::make_unique<qzs::ProgrammingState>();
    qzs::InitDataImage(*state);
    const std::string body =
        "h002=1&h155=03&h052_1=0&h052_2=0&h052_3=0&h052_4=0&h052_5=0&"
        "h9320_01_1n1=000&h9320_01_1n2=000&h9320_02_1n1=000&h9320_02_1n2=000&"
        "h9320_03_1n1=000&h9320_03_1n2=000&h9320_04_1n1=000&h9320_04_1n2=000";
    for (auto _ : bench) benchmark::DoNotOptimize(qzs::ApplyFormPost(*state, body));
}
BENCHMARK(BM_PostSettingsPage)->Unit(benchmark::kMicrosecond);

// A page of the phone book: 50 rows of four fields.
void BM_PostPhoneBookPage(benchmark::State& bench) {
    auto state = std::make_unique<qzs::ProgrammingState>();
    qzs::InitDataImage(*state);
    std::string body;
    for (int row = 0; row < 50; ++row) {
        char fields[160];
        std::snprintf(fields, sizeof fields,
                      "%ss%03dn1=0312345%03d&s%03dn2=name&s%03dn3=kana&s%03dn4=01",
                      row == 0 ? "" : "&", row, row, row, row, row);
        body += fields;
    }
    for (auto _ : bench) benchmark::DoNotOptimize(qzs::ApplyFormPost(*state, body));
}
BENCHMARK(BM_PostPhoneBookPage)->Unit(benchmark::kMicrosecond);

}  // namespace
