// The logic of the preview window, shared by the live preview and the report-file viewer: which
// toolbar buttons show and work, where the pages sit on the canvas at a zoom, the fit zoom, the
// scroll ranges, click zoom, the splitter and the status texts. The Qt views only show what these
// answer and forward their events here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kp::preview {

inline constexpr uint32_t kDefaultTools = 0x100007f3;
inline constexpr int kMinZoom = 5;
inline constexpr int kMaxZoom = 1000;
inline constexpr int kPageMargin = 30;  // logical units around and between the pages
inline constexpr int kScrollStep = 20;  // line step and page size of the scroll bars
inline constexpr int kSplitterMinMove = 3;

// Toolbar commands and separators.
enum ToolCommand : int {
    kCmdExit = 40001,
    kCmdFirst = 40002,
    kCmdPrev = 40003,
    kCmdNext = 40004,
    kCmdLast = 40005,
    kCmdTwoVertical = 40006,
    kCmdTwoSide = 40007,
    kCmdPrint = 40008,
    kCmdSingle = 40009,
    kCmdOutline = 40010,
    kCmdLayerPrint = 40011,    // viewer only
    kCmdDocumentInfo = 40012,  // viewer only
};

enum class ToolKind { kSeparator, kButton, kCheck, kCheckGroup };

// One row of the toolbar, in order; the viewer appends its three rows to the preview's fifteen.
struct ToolDef {
    int id;  // command, or separator id 1000-1006
    ToolKind kind;
    int bitmap;           // -1 for separators
    const char* text;     // UTF-8
    const char* tooltip;  // UTF-8; the viewer's own buttons repeat their texts
    uint32_t toolsBit;    // 0: always shown
};

struct ToolState {
    const ToolDef* def;
    bool visible;
    bool enabled;
    bool checked;
};

// What the toolbar depends on.
struct ViewState {
    uint32_t tools = kDefaultTools;
    int currentPage = 0;  // 0: no page shown
    int pageCount = 0;
    bool twoPages = false;
    bool twoPagesVertical = false;
    bool indexVisible = false;
};

const std::vector<ToolDef>& ToolDefs(bool viewer);
std::vector<ToolState> Toolbar(const ViewState& view, bool viewer);

// The page a navigation command moves to; 0 when it moves nowhere.
int NavigationTarget(int command, const ViewState& view);

// Paper as a page record carries it (0.1 mm), and the page's size in canvas pixels at 100 %.
struct PaperRecord {
    int16_t orientation = 1;
    int16_t paperWidth = 0;
    int16_t paperLength = 0;
};
struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect&) const = default;
};
// Width and length swap unless the orientation is 1; sizes below 1 count as 1 so that nothing
// downstream divides by zero.
Size PageSizeAt100(const PaperRecord& paper, int dpiX, int dpiY);

// The shown pages in logical units (pixels at 100 %), and the whole area with its margins.
struct Arrangement {
    Rect first;
    Rect second;  // empty without a second page
    bool hasSecond = false;
    Size area;
};
Arrangement Arrange(Size first, const Size* second, bool twoPages, bool vertical);

// min(canvas / area) × 100 rounded to nearest, clamped to 5..1000.
int FitZoom(Size canvas, Size area);

// Scroll bars and the centring offsets of the page area at a zoom.
struct ScrollGeometry {
    int offsetX = 0, offsetY = 0;  // (canvas − area) / 2
    int rangeX = 0, rangeY = 0;    // overhang rounded up to steps of 20; 0 when the area fits
    int pageX = 0, pageY = 0;      // 20, or 0 before a page is shown
};
ScrollGeometry Scrolling(Size canvas, Size area, int zoom, bool pageShown);
// The scroll position that shows the page's top-left corner 30 pixels inside the canvas.
int ScrollToPageCorner(int range, int offset, int zoom);

// Left click: zoom + 5, right click: zoom − 5. false (beep) when the result leaves 5..1000.
bool ClickZoom(int zoom, bool left, int* newZoom);

// A splitter drag from startX to endX: the new pane width, or the old one for a move under 3.
int SplitterRelease(int paneWidth, int startX, int endX);

// Status bar: the three right edges, and the texts of parts 1 and 2 (UTF-8).
struct StatusEdges {
    int first, second, third;
};
StatusEdges StatusBarEdges(int width);
std::string ZoomText(int zoom);
std::string PageText(int current, int count);

// The print-range dialog: which radio is checked and the typed numbers. Answers true with the
// range, or false with the message to show (UTF-8) and the dialog stays open.
enum class RangeChoice { kAll = 1000, kCurrent = 1002, kTyped = 1004 };
struct RangeResult {
    bool ok = false;
    int start = 0, end = 0;
    const char* message = nullptr;
};
RangeResult ResolvePrintRange(RangeChoice choice, int typedStart, int typedEnd, int current,
                              int count);
inline constexpr char kRangeCaption[] = "入力エラー";
// Reads a typed page number: leading decimal digits, anything else gives 0.
int ParsePageNumber(const std::string& text);

}  // namespace kp::preview
