#include "app/direct_sheets.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "engine/output/printer_document.h"
#include "platform/automation/automation.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/printer_dc.h"
#include "platform/printing/printers.h"
#include "settings/sheet_lines.h"
#include "settings/speed_dial_lines.h"

namespace qzs::app {
namespace {

// Page units: 0.1 mm from the corner of the printable area, y growing downwards (an anisotropic
// mapping of 254 units to the device's inch), so that the positions of the layout hold on any
// printer resolution. The header, title and column head sit at y 50, 100 and 150; the sheet
// lines follow from y 200 every 4.2 mm, so that the 62nd ends near 280 mm, inside A4's 297 mm
// with any printer's bottom margin. IPAGothic is fixed pitch, its half-width characters half
// its height wide: at 3.8 mm a 64-character line is 122 mm, well inside the 210 mm width.
constexpr int32_t kUnitsPerInch = 254;
constexpr int32_t kLeft = 150;
constexpr int32_t kHeaderTop = 50;
constexpr int32_t kTitleTop = 100;
constexpr int32_t kHeadTop = 150;
constexpr int32_t kFirstRowTop = 200;
constexpr int32_t kRowPitch = 42;
constexpr int32_t kCharHeight = 38;
constexpr char16_t kFontFace[] = u"IPAGothic";
constexpr uint8_t kShiftJisCharSet = 128;
constexpr uint8_t kFixedPitchModern = 0x31;  // FIXED_PITCH | FF_MODERN

constexpr const char* kSheetTitle = "データシート";
constexpr const char* kGroupTitles[] = {
    "保守・システム系コマンド",
    "外線発信系コマンド",
    "外線着信系コマンド",
    "外線保留・転送コマンド",
    "外線系その他のコマンド",
    "内線系コマンド",
    "電話機に関するコマンド",
    "外部機器・ＩＳＤＮ・課金に関するコマンド",
    "全データ設定",
    "システム短縮",
    "電話機毎短縮",
    "全データシート",
};
constexpr int kAllSettingsTitle = 8;
constexpr int kSystemListTitle = 9;
constexpr int kTelephoneListTitle = 10;
constexpr const char* kCommandHead = "コマンド        表示内容";
constexpr const char* kSystemListHead =
    "短縮: 電話番号                 : カナ名称     : 漢字名称     :Ｇ";
constexpr const char* kTelephoneListHead =
    "TEL:短縮: 電話番号                 : カナ名称     : 漢字名称";
// The command groups of the whole listing, in the order of their titles.
constexpr char kListedGroups[] = {'0', '1', '3', '5', '6', '7', '8', '9'};

constexpr char16_t kReplacement = u'\uFFFD';

bool IsLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

bool IsGroupKind(int kind) {
    return kind >= '0' && kind <= '9';
}

// The title of a group; groups 2 and 4 list nothing and have no title of their own, so they
// take the title of the data settings as a whole.
int GroupTitle(char group) {
    for (int i = 0; i < static_cast<int>(sizeof kListedGroups); ++i) {
        if (kListedGroups[i] == group) return i;
    }
    return kAllSettingsTitle;
}

std::string PadTo(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

// The 64-byte header: the sheet title, the date and the page number.
std::string HeaderLine(const SheetDate& date, int page) {
    char year[16];
    std::snprintf(year, sizeof year, "%04d", date.year);
    std::string line = PadTo(Cp932(kSheetTitle), 20);
    line += year + Cp932("  年  ") + FormatDecimalField(date.month, 2) + Cp932("  月  ") +
            FormatDecimalField(date.day, 2) + Cp932("  日  ");
    line = PadTo(line, kDirectSheetColumns - 7);
    return line + "page" + FormatDecimalField(page, 3);
}

bool DrawLine(plat::DeviceContext& dc, int32_t top, std::string_view cp932) {
    const std::u16string text = DirectSheetText(cp932);
    return dc.ExtTextOutW(kLeft, top, 0, nullptr, text);
}

bool DrawWide(plat::DeviceContext& dc, int32_t top, const char* utf8) {
    return dc.ExtTextOutW(kLeft, top, 0, nullptr, plat::WideFromUtf8(utf8));
}

// Mapping, font and colours for one page, undone by RestoreDC afterwards.
bool PreparePage(plat::DeviceContext& dc, const plat::GdiObject& font) {
    if (dc.SetMapMode(plat::kMmAnisotropic) == 0) return false;
    if (!dc.SetWindowExtEx(kUnitsPerInch, kUnitsPerInch)) return false;
    if (!dc.SetViewportExtEx(dc.GetDeviceCaps(plat::kLogPixelsX),
                             dc.GetDeviceCaps(plat::kLogPixelsY))) {
        return false;
    }
    dc.SetTextColor(0);
    dc.SetBkMode(plat::kTransparent);
    return dc.SelectObject(font.get()) != 0;
}

plat::GdiObject SheetFont() {
    plat::LOGFONTW font;
    font.lfHeight = -kCharHeight;
    font.lfWeight = 400;
    font.lfCharSet = kShiftJisCharSet;
    font.lfPitchAndFamily = kFixedPitchModern;
    std::char_traits<char16_t>::copy(font.lfFaceName, kFontFace, std::size(kFontFace));
    return plat::GdiObject(plat::CreateFontIndirectW(font));
}

// The printer's context as the pages' sink.
class PrinterSink final : public SheetPageSink {
  public:
    explicit PrinterSink(plat::PrinterDc& dc) : dc_(dc) {}
    plat::DeviceContext& dc() override { return dc_; }
    bool StartPage() override { return dc_.StartPage(); }
    bool EndPage() override { return dc_.EndPage(); }

  private:
    plat::PrinterDc& dc_;
};

std::string TemporaryPdf() {
    std::string dir = "/tmp";
    if (const char* env = std::getenv("TMPDIR"); env && env[0] == '/') dir = env;
    std::string path = dir + "/qzs-sheetsXXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) return {};
    ::close(fd);
    return path;
}

// A4 portrait at the printer's resolution, its printable area inside the A4 paper's margins
// the printer names (none when it names no A4 paper).
plat::DeviceInfo A4Device(const plat::PrinterCapabilities* caps, std::string* media) {
    constexpr int32_t kWidth = 21000, kLength = 29700;  // 0.01 mm
    int32_t dpi = 300;
    plat::MediaInfo margins;
    *media = "iso_a4_210x297mm";
    if (caps != nullptr) {
        if (caps->defaultResolution.x > 0 &&
            caps->defaultResolution.x == caps->defaultResolution.y) {
            dpi = caps->defaultResolution.x;
        }
        for (const plat::MediaInfo& m : caps->media) {
            if (m.width == kWidth && m.length == kLength) {
                margins = m;
                *media = m.media;
                break;
            }
        }
    }
    const auto px = [dpi](int32_t hundredths) {
        return static_cast<int32_t>((static_cast<int64_t>(hundredths) * dpi + 1270) / 2540);
    };
    const int32_t width = px(kWidth), height = px(kLength);
    plat::DeviceInfo info = plat::DeviceInfo::ForPixels(
        width - px(margins.left) - px(margins.right), height - px(margins.top) - px(margins.bottom),
        dpi, plat::kDtRasPrinter);
    info.physicalWidth = width;
    info.physicalHeight = height;
    info.physicalOffsetX = px(margins.left);
    info.physicalOffsetY = px(margins.top);
    return info;
}

// The pages of the kind into the document: every listed group in turn for kind 0.
bool PrintKind(SheetPageSink& sink, ProgrammingState& state, int kind, const SheetDate& date) {
    switch (kind) {
        case 0:
            for (const char group : kListedGroups) {
                if (ListCommandGroup(state, group) != 0) return false;
                if (!PrintSheetPages(sink, group, CopySheetLines(state), date)) return false;
            }
            return true;
        case 1:
            BuildSystemSpeedDialLines(state, 0);
            return PrintSheetPages(sink, kind, CopySheetLines(state), date);
        case 2:
            BuildTelephoneSpeedDialLines(state, kFirstListTelephone, 980);
            return PrintSheetPages(sink, kind, CopySheetLines(state), date);
        default:
            return PrintSheetPages(sink, kind, CopySheetLines(state), date);
    }
}

}  // namespace

std::string FormatDecimalField(int value, int width) {
    if (width <= 0) return {};
    std::string text(static_cast<std::size_t>(width), ' ');
    if (width > 3) return text;
    int limit = 1;
    for (int i = 0; i < width; ++i) limit *= 10;
    int v = value >= 0 && value < limit ? value : 0;
    for (int i = width - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    return text;
}

std::u16string DirectSheetText(std::string_view cp932) {
    const std::string_view line = cp932.substr(0, kDirectSheetColumns);
    std::u16string out;
    for (std::size_t i = 0; i < line.size();) {
        const auto b = static_cast<unsigned char>(line[i]);
        if (b == 0) {
            out += u' ';
            ++i;
            continue;
        }
        if (IsLead(b)) {
            // A lead byte in the last column would lose its trail byte to the cut: the whole
            // character goes instead.
            if (i + 1 >= line.size()) {
                if (line.size() < cp932.size()) break;
                out += kReplacement;
                break;
            }
            if (IsTrail(static_cast<unsigned char>(line[i + 1]))) {
                std::u16string unit;
                if (plat::WideFromCp932(line.substr(i, 2), &unit) && !unit.empty()) {
                    out += unit;
                } else {
                    out += kReplacement;
                }
                i += 2;
                continue;
            }
        }
        std::u16string unit;
        if (!IsLead(b) && plat::WideFromCp932(line.substr(i, 1), &unit) && !unit.empty()) {
            out += unit;
        } else {
            out += kReplacement;
        }
        ++i;
    }
    return out;
}

bool PrintSheetPages(SheetPageSink& sink, int kind, const std::vector<SheetLine>& lines,
                     const SheetDate& date) {
    int title = 0;
    const char* head = kCommandHead;
    if (IsGroupKind(kind)) {
        title = GroupTitle(static_cast<char>(kind));
    } else if (kind == 1) {
        title = kSystemListTitle;
        head = kSystemListHead;
    } else if (kind == 2) {
        title = kTelephoneListTitle;
        head = kTelephoneListHead;
    } else {
        return false;
    }
    const plat::GdiObject font = SheetFont();
    if (!font) return false;
    plat::DeviceContext& dc = sink.dc();
    std::size_t index = 0;
    int page = 1;
    do {
        if (!sink.StartPage()) return false;
        const int saved = dc.SaveDC();
        bool drawn = saved != 0 && PreparePage(dc, font);
        drawn = drawn && DrawLine(dc, kHeaderTop, HeaderLine(date, page)) &&
                DrawWide(dc, kTitleTop, kGroupTitles[title]) && DrawWide(dc, kHeadTop, head);
        for (int row = 0; drawn && row < kDirectSheetRows && index < lines.size(); ++row, ++index) {
            const SheetLine& line = lines[index];
            drawn = DrawLine(dc, kFirstRowTop + row * kRowPitch,
                             std::string_view(line.data(), line.size()));
        }
        if (saved != 0) dc.RestoreDC(saved);
        if (!sink.EndPage() || !drawn) return false;
        ++page;
    } while (index < lines.size());
    return true;
}

int PrintDataSheets(ProgrammingState& state, int kind, const SheetDate& date) {
    if (kind != 0 && kind != 1 && kind != 2 && !IsGroupKind(kind)) return 2;
    const std::shared_ptr<plat::PrinterSystem> printers = plat::GetPrinterSystem();
    std::vector<plat::PrinterInfo> list;
    if (!printers->ListPrinters(&list) || list.empty()) return 1;
    const std::string& printer = list.front().name;
    plat::PrinterCapabilities caps;
    const bool known = printers->ReadCapabilities(printer, &caps);
    std::string media;
    const plat::DeviceInfo device = A4Device(known ? &caps : nullptr, &media);
    const plat::JobOptions options = {
        {"media", media}, {"orientation-requested", "3"}, {"copies", "1"}};

    const std::string path = TemporaryPdf();
    if (path.empty()) return 1;
    // The pages go into the document through the engine's PDF writer as they end.
    kp::PrinterPdf pdf;
    plat::PrinterDc dc(device);
    dc.SetPageSink(
        [&](plat::PrinterDc::Page&& page) { return pdf.AddPage(page, 2100, 2970) == 0; });
    int32_t job = 0;
    if (pdf.Open(path, plat::WideFromUtf8(kDirectSheetJobName)) != 0 ||
        printers->CreateJob(printer, kDirectSheetJobName, options, &job) != plat::PrintError::kOk) {
        pdf.Abandon();
        std::remove(path.c_str());
        return 1;
    }
    PrinterSink sink(dc);
    const bool printed = PrintKind(sink, state, kind, date);
    const bool written = printed && pdf.Finish() == 0;
    if (!written) pdf.Abandon();
    const bool submitted =
        printed && written && printers->SubmitDocument(printer, job, path) == plat::PrintError::kOk;
    std::remove(path.c_str());
    if (!submitted) {
        // A job left waiting for its document would hold the queue.
        printers->CancelJob(printer, job);
        return 1;
    }
    return 0;
}

}  // namespace qzs::app
