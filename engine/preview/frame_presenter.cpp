#include "engine/preview/frame_presenter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kp::preview {
namespace {

constexpr ToolKind kSep = ToolKind::kSeparator;
constexpr ToolKind kBtn = ToolKind::kButton;
constexpr ToolKind kChk = ToolKind::kCheck;
constexpr ToolKind kGrp = ToolKind::kCheckGroup;

// id, kind, bitmap, text, tooltip, Tools bit
const std::vector<ToolDef> kPreviewTools = {
    {1000, kSep, -1, "", "", 0},
    {kCmdExit, kBtn, 0, "終了", "プレビューを終了します。", 0x10000000},
    {1001, kSep, -1, "", "", 0x10000000},
    {kCmdOutline, kChk, 1, "見出", "見出しの表示非表示を行います。", 0x00000001},
    {1002, kSep, -1, "", "", 0x00000001},
    {kCmdFirst, kBtn, 2, "先頭", "先頭のページを表示します。", 0x00000010},
    {kCmdPrev, kBtn, 3, "前頁", "前ページを表示します。", 0x00000020},
    {kCmdNext, kBtn, 4, "次頁", "次ページを表示します。", 0x00000040},
    {kCmdLast, kBtn, 5, "最終", "最終ページを表示します。", 0x00000080},
    {1003, kSep, -1, "", "", 0x00000080},
    {kCmdSingle, kGrp, 6, "単独", "1ページで表示を行います。", 0x00000100},
    {kCmdTwoVertical, kGrp, 7, "上下", "上下に２ページ表示を行います。", 0x00000200},
    {kCmdTwoSide, kGrp, 8, "左右", "左右に２ページ表示を行います。", 0x00000400},
    {1004, kSep, -1, "", "", 0x00000400},
    {kCmdPrint, kBtn, 9, "印刷", "印刷を行います。", 0x00000002},
};

// The viewer's own buttons have no string resource; their tooltips repeat their texts.
const std::vector<ToolDef> kViewerTools = [] {
    std::vector<ToolDef> tools = kPreviewTools;
    tools.push_back({1005, kSep, -1, "", "", 0});
    tools.push_back({kCmdLayerPrint, kBtn, 10, "設定", "設定", 0});
    tools.push_back({1006, kSep, -1, "", "", 0});
    tools.push_back({kCmdDocumentInfo, kBtn, 11, "情報", "情報", 0});
    return tools;
}();

int RoundDiv(int64_t num, int64_t den) {
    return int((num * 2 + den) / (den * 2));  // nearest, for non-negative values
}

}  // namespace

const std::vector<ToolDef>& ToolDefs(bool viewer) {
    return viewer ? kViewerTools : kPreviewTools;
}

std::vector<ToolState> Toolbar(const ViewState& view, bool viewer) {
    const bool shown = view.currentPage > 0;
    const bool back = shown && view.currentPage > 1;
    const bool forward = shown && view.currentPage < view.pageCount;
    std::vector<ToolState> states;
    for (const ToolDef& def : ToolDefs(viewer)) {
        ToolState s{&def, def.toolsBit == 0 || (view.tools & def.toolsBit) != 0, true, false};
        switch (def.id) {
            case kCmdFirst:
            case kCmdPrev:
                s.enabled = back;
                break;
            case kCmdNext:
            case kCmdLast:
                s.enabled = forward;
                break;
            case kCmdPrint:
                s.enabled = shown;
                break;
            case kCmdOutline:
                s.checked = view.indexVisible;
                break;
            case kCmdSingle:
                s.checked = !view.twoPages;
                break;
            case kCmdTwoVertical:
                s.checked = view.twoPages && view.twoPagesVertical;
                break;
            case kCmdTwoSide:
                s.checked = view.twoPages && !view.twoPagesVertical;
                break;
            default:
                break;
        }
        states.push_back(s);
    }
    return states;
}

int NavigationTarget(int command, const ViewState& view) {
    if (view.currentPage <= 0 || view.pageCount <= 0) return 0;
    int target = 0;
    switch (command) {
        case kCmdFirst:
            target = 1;
            break;
        case kCmdPrev:
            target = view.currentPage - 1;
            break;
        case kCmdNext:
            target = view.currentPage + 1;
            break;
        case kCmdLast:
            target = view.pageCount;
            break;
        default:
            return 0;
    }
    return target >= 1 && target <= view.pageCount ? target : 0;
}

Size PageSizeAt100(const PaperRecord& paper, int dpiX, int dpiY) {
    int width = std::max<int>(1, paper.paperWidth);
    int length = std::max<int>(1, paper.paperLength);
    if (paper.orientation != 1) std::swap(width, length);
    dpiX = std::max(1, dpiX);
    dpiY = std::max(1, dpiY);
    return {std::max(1, RoundDiv(int64_t(width) * dpiX, 254)),
            std::max(1, RoundDiv(int64_t(length) * dpiY, 254))};
}

Arrangement Arrange(Size first, const Size* second, bool twoPages, bool vertical) {
    Arrangement a;
    a.first = {kPageMargin, kPageMargin, kPageMargin + first.width, kPageMargin + first.height};
    if (!twoPages || !second) {
        a.area = {first.width + 2 * kPageMargin, first.height + 2 * kPageMargin};
        return a;
    }
    a.hasSecond = true;
    if (vertical) {
        const int across = std::max(first.width, second->width);
        const int x1 = kPageMargin + (across - first.width) / 2;
        const int x2 = kPageMargin + (across - second->width) / 2;
        a.first = {x1, kPageMargin, x1 + first.width, kPageMargin + first.height};
        const int y2 = a.first.bottom + kPageMargin;
        a.second = {x2, y2, x2 + second->width, y2 + second->height};
        a.area = {across + 2 * kPageMargin, first.height + second->height + 3 * kPageMargin};
    } else {
        const int across = std::max(first.height, second->height);
        const int y1 = kPageMargin + (across - first.height) / 2;
        const int y2 = kPageMargin + (across - second->height) / 2;
        a.first = {kPageMargin, y1, kPageMargin + first.width, y1 + first.height};
        const int x2 = a.first.right + kPageMargin;
        a.second = {x2, y2, x2 + second->width, y2 + second->height};
        a.area = {first.width + second->width + 3 * kPageMargin, across + 2 * kPageMargin};
    }
    return a;
}

int FitZoom(Size canvas, Size area) {
    const double w = std::max(1, area.width);
    const double h = std::max(1, area.height);
    const double z = std::min(std::max(0, canvas.width) / w, std::max(0, canvas.height) / h) * 100;
    return std::clamp(int(std::lround(z)), kMinZoom, kMaxZoom);
}

ScrollGeometry Scrolling(Size canvas, Size area, int zoom, bool pageShown) {
    ScrollGeometry g;
    if (!pageShown) return g;
    const int64_t areaW = int64_t(area.width) * zoom / 100;
    const int64_t areaH = int64_t(area.height) * zoom / 100;
    auto axis = [](int64_t canvasSize, int64_t areaSize, int* offset, int* range) {
        const int64_t overhang = areaSize - canvasSize;
        // An area larger than the canvas starts at its left or top edge; the bar covers the rest.
        *offset = overhang > 0 ? 0 : int(-overhang / 2);
        *range = overhang > 0 ? int((overhang + kScrollStep - 1) / kScrollStep * kScrollStep) : 0;
    };
    axis(canvas.width, areaW, &g.offsetX, &g.rangeX);
    axis(canvas.height, areaH, &g.offsetY, &g.rangeY);
    g.pageX = g.pageY = kScrollStep;
    return g;
}

int ScrollToPageCorner(int range, int offset, int zoom) {
    const int corner = offset + kPageMargin * zoom / 100;
    return std::clamp(corner - kPageMargin, 0, std::max(0, range));
}

bool ClickZoom(int zoom, bool left, int* newZoom) {
    const int z = zoom + (left ? 5 : -5);
    if (z < kMinZoom || z > kMaxZoom) return false;
    *newZoom = z;
    return true;
}

int SplitterRelease(int paneWidth, int startX, int endX) {
    const int move = endX - startX;
    return std::abs(move) >= kSplitterMinMove ? paneWidth + move : paneWidth;
}

StatusEdges StatusBarEdges(int width) {
    return {width - 220, width - 135, width};
}

std::string ZoomText(int zoom) {
    char text[32];
    std::snprintf(text, sizeof text, "Zoom: %d%%", zoom);
    return text;
}

std::string PageText(int current, int count) {
    char text[48];
    std::snprintf(text, sizeof text, "Page : %d/%d", current, count);
    return text;
}

RangeResult ResolvePrintRange(RangeChoice choice, int typedStart, int typedEnd, int current,
                              int count) {
    switch (choice) {
        case RangeChoice::kAll:
            return {true, 1, count, nullptr};
        case RangeChoice::kCurrent:
            return {true, current, current, nullptr};
        case RangeChoice::kTyped:
            break;
    }
    if (typedStart == 0 || typedEnd == 0 || typedStart > typedEnd)
        return {false, 0, 0, "開始ページと終了ページの関係に矛盾があります。"};
    if (typedEnd > count)
        return {false, 0, 0, "開始ページ又は、終了ページの指定に誤りがあります。"};
    return {true, typedStart, typedEnd, nullptr};
}

int ParsePageNumber(const std::string& text) {
    if (text.empty() || text.size() > 9) return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace kp::preview
