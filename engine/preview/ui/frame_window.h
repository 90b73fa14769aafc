// The preview's frame window in Qt: toolbar, outline tree, splitter band, page canvas with its
// scroll bars and size box, status bar. It holds no state of its own that the core does not
// answer: every Update() reads the toolbar rows, texts, visibility and scroll geometry back, and
// every user action goes to the core.
#pragma once

#include <QWidget>
#include <cstdint>

#include "engine/preview/preview_core.h"

class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QScrollBar;
class QStatusBar;
class QLabel;
class QAction;

namespace kp::preview::ui {

class FrameWindow final : public QWidget, public FrameView {
    Q_OBJECT
  public:
    // A top-level window (owned by parent when given), or a child filling the parent's client.
    FrameWindow(PreviewCore* core, bool child, QWidget* parent);
    ~FrameWindow() override;

    uint32_t Handle() const override { return handle_; }
    Size CanvasSize() const override;
    void Update() override;
    void Repaint() override;
    void Geometry(int32_t* left, int32_t* top, int32_t* width, int32_t* height) const override;
    void Move(int32_t left, int32_t top, int32_t width, int32_t height) override;
    void ShowState(bool maximised, bool minimised) override;
    void FitToParent() override;
    void AddOutline(int page, int parentPage, const std::u16string& text) override;
    void SelectOutline(int page) override;
    bool AskPrintRange(int current, int count, int* start, int* end) override;
    void Beep() override;
    void Destroy() override;

    // For tests: the parts by role.
    QToolBar* toolBar() const { return toolBar_; }
    QTreeWidget* outline() const { return tree_; }
    QWidget* canvas() const { return canvas_; }
    QWidget* splitter() const { return band_; }
    QWidget* sizeBox() const { return sizeBox_; }
    QScrollBar* horizontalBar() const { return hBar_; }
    QScrollBar* verticalBar() const { return vBar_; }
    QStatusBar* statusBar() const { return status_; }
    QLabel* statusPart(int n) const { return parts_[n]; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Canvas;
    void BuildToolBar();
    void ReadToolBar();
    void ReadScrollBars();
    // Places every part; true when the canvas changed size.
    bool Layout();
    void AfterLayout(bool canvasResized);
    void StoreGeometry();
    void CanvasEvent(QEvent* event);
    QTreeWidgetItem* FindOutline(int page) const;

    PreviewCore* core_;  // null once the core has let go of this window
    const bool child_;
    uint32_t handle_ = 0;
    QToolBar* toolBar_;
    QTreeWidget* tree_;
    QWidget* band_;
    QWidget* canvas_;  // a Canvas
    QScrollBar* hBar_;
    QScrollBar* vBar_;
    QWidget* sizeBox_;
    QStatusBar* status_;
    QLabel* parts_[3];
    // Set while the window writes its controls from the core, so that their signals do not
    // travel back.
    bool updating_ = false;
    int relayoutDepth_ = 0;
    int dragStart_ = -1;
};

// The factory the core calls; null without a QApplication or off its thread.
FrameView* MakeFrameView(PreviewCore* core, bool child, uint32_t parent);

}  // namespace kp::preview::ui

namespace kp::preview {
// Makes the Qt frame the preview and viewer windows of this library.
void AddPreviewWindowServices(EngineServices& services);
}  // namespace kp::preview
