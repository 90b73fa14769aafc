// A PDF export the size of a long report: 54 A4 pages of 60 lines of 40 characters (JIS level-1
// kanji in order, then hiragana, katakana, ASCII and half-width kana, about 3,300 distinct
// characters, repeated), IPAGothic embedded as the text control asks, a rule under each line:
// 54 PdfAddPage and one PdfClose. bench/pdf_export_hb.sh renders the same text with hb-view
// (cairo) and prints both file sizes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/object_signature.h"
#include "engine/core/font_ansi.h"
#include "engine/output/pdf_document.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"

namespace {

using namespace kp;

constexpr int kPages = 54;
constexpr int kLines = 60;
constexpr int kColumns = 40;

// The characters in the order the text cycles through them.
std::u16string Repertoire() {
    std::u16string chars;
    // JIS level 1: Shift-JIS 0x889F to 0x9872.
    for (int lead = 0x88; lead <= 0x98; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const int code = lead << 8 | trail;
            if (code < 0x889F || code > 0x9872 || trail == 0x7F) continue;
            const std::string bytes{char(lead), char(trail)};
            const std::u16string c = AnsiToUtf16(bytes);
            if (c.size() == 1 && c[0] != 0x30FB) chars += c;
        }
    }
    for (char16_t c = 0x3041; c <= 0x3093; ++c) chars += c;  // hiragana
    for (char16_t c = 0x30A1; c <= 0x30F6; ++c) chars += c;  // katakana
    for (char16_t c = 0x21; c <= 0x7E; ++c) chars += c;      // ASCII
    for (char16_t c = 0xFF61; c <= 0xFF9F; ++c) chars += c;  // half-width kana
    return chars;
}

std::vector<std::u16string> Lines() {
    const std::u16string r = Repertoire();
    std::vector<std::u16string> lines;
    size_t at = 0;
    for (int i = 0; i < kPages * kLines; ++i) {
        std::u16string line;
        for (int k = 0; k < kColumns; ++k) line += r[at++ % r.size()];
        lines.push_back(std::move(line));
    }
    return lines;
}

// The report the pages are drawn from: one page of lines per call.
class BenchReport final : public ScriptableObject {
  public:
    BenchReport() : signature_(static_cast<plat::Unknown*>(this), signature::kReport) {}
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = nullptr;
        return -2;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(ClassInfo**) override { return -2; }
    int32_t Invoke(int32_t, int32_t, const InvokeArgs*, plat::Variant*) override { return -6; }

    std::vector<std::u16string> lines = Lines();
    int page = 0;

  private:
    ObjectSignature signature_;
};

int32_t Paper(ScriptableObject*, int32_t* w, int32_t* l, int32_t* o) {
    *w = 2100;
    *l = 2970;
    *o = 1;
    return 0;
}

int32_t Draw(ScriptableObject* object, plat::DeviceContext* dc, plat::DeviceContext*,
             const plat::RECT&, uint32_t) {
    auto* report = static_cast<BenchReport*>(object);
    plat::LOGFONTW font;
    font.lfHeight = -14;
    font.lfCharSet = plat::kShiftJisCharset;
    std::copy_n(u"IPAGothic", 9, font.lfFaceName);
    plat::GdiObject f(plat::CreateFontIndirectW(font));
    dc->SelectObject(f.get());
    dc->SetBkMode(plat::kTransparent);
    static const std::string_view embed = "##EMBED###";
    for (int i = 0; i < kLines; ++i) {
        const int32_t y = 60 + i * 17;
        dc->GdiComment({reinterpret_cast<const uint8_t*>(embed.data()), embed.size()});
        dc->ExtTextOutW(60, y, 0, nullptr, report->lines[size_t(report->page * kLines + i)]);
        dc->MoveToEx(60, y + 15);
        dc->LineTo(700, y + 15);
    }
    report->page = (report->page + 1) % kPages;
    return 0;
}

void BM_Export54Pages(benchmark::State& state) {
    const PdfReportAccess reports{&Paper, &Draw, nullptr};
    BenchReport report;
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("qzs-bench-" + std::to_string(getpid()) + ".pdf"))
                                 .string();
    plat::Bstr widePath = plat::BstrAllocView(std::u16string(path.begin(), path.end()));
    uintmax_t bytes = 0;
    for (auto _ : state) {
        PdfDocumentObject document(nullptr, reports);
        if (document.PdfOpen(widePath, true) != 0) {
            state.SkipWithError("open failed");
            break;
        }
        for (int p = 0; p < kPages; ++p) {
            if (document.PdfAddPage(nullptr, &report) != 0) {
                state.SkipWithError("page failed");
                break;
            }
        }
        if (document.PdfClose() != 0) state.SkipWithError("close failed");
        bytes = std::filesystem::file_size(path);
    }
    state.counters["bytes"] = double(bytes);
    std::remove(path.c_str());
    plat::BstrFree(widePath);
}
BENCHMARK(BM_Export54Pages)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
