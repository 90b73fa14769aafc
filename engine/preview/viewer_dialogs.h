// The logic of the viewer's and the preview's dialogs, keyed by their control ids: the
// document information (118), the layer-print settings (1004) and the print range (1003). The
// Qt views build the controls these list and hand back what the user did; texts are UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/preview/file_records.h"
#include "engine/preview/frame_presenter.h"

namespace kp::preview {

// A labelled read-only field of the information dialog.
struct InfoField {
    int id;
    const char* label;
    std::string text;
};

// Dialog 118 "文書情報": its fields in their order, filled from the document information.
inline constexpr char kDocumentInfoCaption[] = "文書情報";
std::vector<InfoField> DocumentInfoFields(const DocumentInfo& info);
// "%Y-%m-%d %H:%M:%S", or empty for 0 and dates outside the calendar.
std::string FormatUpdateDate(double oleDate);

// Dialog 1004 "印刷設定".
inline constexpr char kLayerPrintCaption[] = "印刷設定";
inline constexpr char kLayerPrintGroup[] = "印刷オフセット設定（㎜単位）";
inline constexpr size_t kOffsetEditLimit = 5;
struct LayerPrintSettings {
    std::array<bool, 5> layers{true, true, true, true, true};  // LayerPrint1..5
    double offsetX = 0;                                        // mm
    double offsetY = 0;
};
class LayerPrintDialog {
  public:
    explicit LayerPrintDialog(const LayerPrintSettings& current);
    static const char* LayerLabel(int layer);  // "レイヤー１".."レイヤー５", layer 1..5
    bool layer(int index) const { return layers_[size_t(index)]; }
    void SetLayer(int index, bool on) { layers_[size_t(index)] = on; }
    const std::string& xText() const { return x_; }
    const std::string& yText() const { return y_; }
    // Typing beyond five characters is cut there, as the edits' limit does.
    void SetXText(const std::string& text);
    void SetYText(const std::string& text);
    // OK ("設定(&P)"): the settings to store.
    LayerPrintSettings Accept() const;

  private:
    std::array<bool, 5> layers_;
    std::string x_, y_;
};

// Dialog 1003, the print range.
inline constexpr char kPrintRangeCaption[] = "印刷";
class PrintRangeDialog {
  public:
    PrintRangeDialog(int current, int count);
    RangeChoice choice() const { return choice_; }
    void Choose(RangeChoice c) { choice_ = c; }
    bool EditsEnabled() const { return choice_ == RangeChoice::kTyped; }
    const std::string& startText() const { return start_; }
    const std::string& endText() const { return end_; }
    void SetStartText(const std::string& t) { start_ = t.substr(0, 5); }
    void SetEndText(const std::string& t) { end_ = t.substr(0, 5); }
    // OK: a range, or the message to show with kRangeCaption while the dialog stays open.
    RangeResult Accept() const;

  private:
    int current_, count_;
    RangeChoice choice_ = RangeChoice::kAll;
    std::string start_, end_;
};

// Dialog 102, shown while pages go to the printer.
inline constexpr char kPrintingCaption[] = "印刷中";
inline constexpr char kPrintingCancel[] = "印刷中止(&C)";

}  // namespace kp::preview
