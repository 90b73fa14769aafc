// Subsetting IPAGothic (6.2 MB, 12,728 glyphs, long loca) to the characters of one data-sheet
// page (tests/fixtures/fonts/datasheet.txt, 301 distinct code units), as the PDF export embeds
// it. bench/ttf_subset_hb.sh times hb-subset --retain-gids on the same characters.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "engine/output/ttf_subset.h"
#include "platform/automation/automation.h"
#include "platform/fonts/font_face.h"
#include "platform/gdi/device_context.h"

namespace {

const char* const kIpaGothic = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";

std::u16string DataSheetCodes() {
    std::ifstream in(std::string(QZS_SOURCE_DIR) + "/tests/fixtures/fonts/datasheet.txt",
                     std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::u16string wide = plat::WideFromUtf8(text);
    std::set<char16_t> used(wide.begin(), wide.end());
    used.erase(u'\n');
    used.erase(u'\r');
    return std::u16string(used.begin(), used.end());
}

void Report(benchmark::State& state, const std::u16string& codes, size_t bytes) {
    state.counters["codes"] = double(codes.size());
    state.counters["bytes"] = double(bytes);
}

// The subsetter alone, on a face already open (what hb-subset -n repeats).
void BM_SubsetIpaGothicPage(benchmark::State& state) {
    auto face = plat::FontFace::Open(kIpaGothic);
    if (!face) {
        state.SkipWithError("IPAGothic is not installed");
        return;
    }
    std::u16string codes = DataSheetCodes();
    std::vector<uint8_t> subset;
    std::vector<uint8_t> map(kp::kCidMapBytes);
    for (auto _ : state) {
        int rc = kp::SubsetSfnt(face->fileBytes(), face->faceOffset(), kp::SubsetKind::kOrdinary,
                                u"EmbedFont0000", true, codes, subset, map);
        if (rc != kp::kTtfOk) state.SkipWithError("subsetting failed");
        benchmark::DoNotOptimize(subset.data());
    }
    Report(state, codes, subset.size());
}
BENCHMARK(BM_SubsetIpaGothicPage)->Unit(benchmark::kMillisecond);

// As the PDF export does it for each font: a device context selects "ＭＳ ゴシック", the face
// is found and opened, and the subset is built.
void BM_SubsetThroughDeviceContext(benchmark::State& state) {
    std::u16string codes = DataSheetCodes();
    plat::LogicalFont font;
    font.faceName = u"ＭＳ ゴシック";
    font.height = -1000;
    font.charSet = plat::kShiftJisCharset;
    std::vector<uint8_t> subset;
    std::vector<uint8_t> map(kp::kCidMapBytes);
    for (auto _ : state) {
        plat::InfoDc dc;
        plat::GdiObject selected(plat::CreateFontIndirectW(plat::ToLogFontW(font)));
        dc.SelectObject(selected.get());
        int rc = kp::SubsetTrueTypeFontWithoutEudc(dc, u"EmbedFont0000", true, codes, subset, map);
        if (rc != kp::kTtfOk) state.SkipWithError("subsetting failed");
        benchmark::DoNotOptimize(subset.data());
    }
    Report(state, codes, subset.size());
}
BENCHMARK(BM_SubsetThroughDeviceContext)->Unit(benchmark::kMillisecond);

}  // namespace
