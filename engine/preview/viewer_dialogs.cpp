#include "engine/preview/viewer_dialogs.h"

#include <cmath>
#include <cstdio>

#include "engine/core/ole_date.h"
#include "engine/preview/viewer_logic.h"
#include "platform/automation/automation.h"

namespace kp::preview {
namespace {

std::string Utf8(const std::u16string& text) {
    std::string out;
    plat::Utf8FromWide(text, &out);
    return out;
}

}  // namespace

std::string FormatUpdateDate(double oleDate) {
    OleDateFields f{};
    if (oleDate == 0 || !SplitOleDate(oleDate, &f)) return {};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day,
                  f.hour, f.minute, f.second);
    return text;
}

std::vector<InfoField> DocumentInfoFields(const DocumentInfo& info) {
    return {
        {1026, "タイトル", Utf8(info.title)},
        {1028, "サブタイトル", Utf8(info.subTitle)},
        {1027, "作成者", Utf8(info.author)},
        {1035, "キーワード", Utf8(info.keywords)},
        {1036, "作成", Utf8(info.creator)},
        {1030, "最終更新日時", FormatUpdateDate(info.updateDate)},
        {1031, "文書パスワード", info.protect ? "はい" : "いいえ"},
        {1032, "印刷許可", info.noPrint ? "許可しない" : "許可"},
    };
}

LayerPrintDialog::LayerPrintDialog(const LayerPrintSettings& current)
    : layers_(current.layers),
      x_(FormatOffset(current.offsetX).substr(0, kOffsetEditLimit)),
      y_(FormatOffset(current.offsetY).substr(0, kOffsetEditLimit)) {}

const char* LayerPrintDialog::LayerLabel(int layer) {
    static const char* const kLabels[] = {"レイヤー１", "レイヤー２", "レイヤー３", "レイヤー４",
                                          "レイヤー５"};
    return layer >= 1 && layer <= 5 ? kLabels[layer - 1] : "";
}

void LayerPrintDialog::SetXText(const std::string& text) {
    x_ = text.substr(0, kOffsetEditLimit);
}
void LayerPrintDialog::SetYText(const std::string& text) {
    y_ = text.substr(0, kOffsetEditLimit);
}

LayerPrintSettings LayerPrintDialog::Accept() const {
    LayerPrintSettings s;
    s.layers = layers_;
    s.offsetX = ParseOffset(x_);
    s.offsetY = ParseOffset(y_);
    return s;
}

PrintRangeDialog::PrintRangeDialog(int current, int count)
    : current_(current), count_(count), start_("1"), end_(std::to_string(count)) {}

RangeResult PrintRangeDialog::Accept() const {
    return ResolvePrintRange(choice_, ParsePageNumber(start_), ParsePageNumber(end_), current_,
                             count_);
}

}  // namespace kp::preview
