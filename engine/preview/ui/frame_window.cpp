#include "engine/preview/ui/frame_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QThread>
#include <QToolBar>
#include <QTreeWidget>
#include <QWheelEvent>
#include <algorithm>
#include <utility>
#include <vector>

#include "engine/preview/ui/viewer_dialog_views.h"
#include "platform/gdi/handles.h"
#include "platform/gdi/qpainter_dc.h"

namespace kp::preview::ui {
namespace {

constexpr int kDpi = 96;
constexpr int kBandWidth = 4;       // the splitter band, a sizing frame's width
constexpr int kDragInset = 30;      // the splitter stays this far inside the client's edges
constexpr int kDefaultWidth = 800;  // the size a top-level frame takes when none is stored
constexpr int kDefaultHeight = 600;
constexpr int kMaxRelayouts = 4;  // bars appearing can shrink the canvas once more, not more

QString Q(const std::u16string& s) {
    return QString::fromUtf16(s.data(), qsizetype(s.size()));
}
QString Q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

int32_t Long(int32_t (PreviewCore::*get)(plat::Variant*), PreviewCore* core) {
    plat::Variant v{};
    (core->*get)(&v);
    return v.lVal;
}

}  // namespace

// The page canvas: paints through the core and forwards clicks, keys and the wheel.
class FrameWindow::Canvas final : public QWidget {
  public:
    explicit Canvas(FrameWindow* frame) : QWidget(frame), frame_(frame) {
        setObjectName(QStringLiteral("10"));
        setFocusPolicy(Qt::StrongFocus);
        // The core paints every pixel (the teal around the pages included).
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (frame_->core_ == nullptr) return;
        plat::QPainterDc dc(this, kDpi);
        frame_->core_->Paint(&dc, Size{width(), height()});
    }
    void mousePressEvent(QMouseEvent* event) override { Click(event); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { Click(event); }
    void keyPressEvent(QKeyEvent* event) override {
        PreviewCore* core = frame_->core_;
        if (core == nullptr) return;
        const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
        switch (event->key()) {
            case Qt::Key_Left:
                core->OnScrollLines(true, -1);
                return;
            case Qt::Key_Right:
                core->OnScrollLines(true, 1);
                return;
            case Qt::Key_Up:
                core->OnScrollLines(false, -1);
                return;
            case Qt::Key_Down:
                core->OnScrollLines(false, 1);
                return;
            case Qt::Key_Plus:
                if (ctrl) core->OnCanvasClick(true);
                return;
            case Qt::Key_Minus:
                if (ctrl) core->OnCanvasClick(false);
                return;
            default:
                QWidget::keyPressEvent(event);
        }
    }
    void wheelEvent(QWheelEvent* event) override {
        PreviewCore* core = frame_->core_;
        const int delta = event->angleDelta().y();
        if (core == nullptr || delta == 0) return;
        const int lines = delta < 0 ? 1 : -1;
        // Only a bar whose ranges have been set takes the wheel.
        if (frame_->vBar_->pageStep() == kScrollStep) {
            core->OnScrollLines(false, lines);
        } else if (frame_->hBar_->pageStep() == kScrollStep) {
            core->OnScrollLines(true, lines);
        }
    }

  private:
    void Click(QMouseEvent* event) {
        PreviewCore* core = frame_->core_;
        if (core == nullptr) return;
        if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
        setFocus(Qt::MouseFocusReason);
        core->OnCanvasClick(event->button() == Qt::LeftButton);
    }

    FrameWindow* frame_;
};

FrameWindow::FrameWindow(PreviewCore* core, bool child, QWidget* parent)
    : QWidget(parent, child ? Qt::Widget : Qt::Window), core_(core), child_(child) {
    setObjectName(QStringLiteral("PreviewFrame"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (!child_) setMinimumSize(300, 200);

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("20"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    BuildToolBar();

    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("30"));
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setIndentation(10);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (updating_ || core_ == nullptr) return;
        const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
        if (selected.isEmpty()) return;
        const int page = selected.front()->data(0, Qt::UserRole).toInt();
        if (page != 0) core_->OnOutlineSelected(page);
    });

    band_ = new QWidget(this);
    band_->setObjectName(QStringLiteral("splitter"));
    band_->setAutoFillBackground(true);
    band_->setBackgroundRole(QPalette::Button);
    band_->setCursor(Qt::SplitHCursor);
    band_->installEventFilter(this);

    canvas_ = new Canvas(this);

    vBar_ = new QScrollBar(Qt::Vertical, this);
    vBar_->setObjectName(QStringLiteral("1"));
    hBar_ = new QScrollBar(Qt::Horizontal, this);
    hBar_->setObjectName(QStringLiteral("2"));
    for (QScrollBar* bar : {hBar_, vBar_}) {
        const bool horizontal = bar == hBar_;
        bar->setSingleStep(kScrollStep);
        bar->setRange(0, 0);
        bar->setPageStep(0);
        connect(bar, &QScrollBar::valueChanged, this, [this, horizontal](int value) {
            if (!updating_ && core_ != nullptr) core_->OnScroll(horizontal, value);
        });
        // A page step moves two lines; the bar's page size is one line, as the core sets it.
        connect(bar, &QScrollBar::actionTriggered, this, [bar](int action) {
            if (action == QAbstractSlider::SliderPageStepAdd) {
                bar->setSliderPosition(bar->value() + 2 * kScrollStep);
            } else if (action == QAbstractSlider::SliderPageStepSub) {
                bar->setSliderPosition(bar->value() - 2 * kScrollStep);
            }
        });
    }
    sizeBox_ = new QWidget(this);
    sizeBox_->setObjectName(QStringLiteral("3"));
    sizeBox_->setAutoFillBackground(true);
    sizeBox_->setBackgroundRole(QPalette::Button);

    status_ = new QStatusBar(this);
    status_->setObjectName(QStringLiteral("40"));
    status_->setSizeGripEnabled(!child_);
    for (int i = 0; i < 3; ++i) {
        // Placed by hand at the part edges rather than by the status bar's own layout.
        parts_[i] = new QLabel(status_);
        parts_[i]->setObjectName(QStringLiteral("part%1").arg(i));
        parts_[i]->setFrameShape(QFrame::Panel);
        parts_[i]->setFrameShadow(QFrame::Sunken);
    }

    handle_ = plat::RegisterWindow(static_cast<QWidget*>(this));
}

FrameWindow::~FrameWindow() {
    if (handle_ != 0) plat::UnregisterWindow(std::exchange(handle_, 0));
    // Destroyed with its parent: the object closes what it showed here.
    if (PreviewCore* core = std::exchange(core_, nullptr)) core->OnFrameDestroyed();
}

void FrameWindow::BuildToolBar() {
    for (const ToolState& row : core_->ToolbarState()) {
        const ToolDef* def = row.def;
        QAction* action;
        if (def->kind == ToolKind::kSeparator) {
            action = toolBar_->addSeparator();
        } else {
            action = toolBar_->addAction(Q(std::string(def->text)));
            action->setToolTip(Q(std::string(def->tooltip)));
            action->setCheckable(def->kind == ToolKind::kCheck ||
                                 def->kind == ToolKind::kCheckGroup);
            const int command = def->id;
            connect(action, &QAction::triggered, this, [this, command] {
                if (updating_ || core_ == nullptr) return;
                core_->OnCommand(command);
                // The core answers the checked states, also when it refused the change.
                if (core_ != nullptr) ReadToolBar();
            });
        }
        action->setObjectName(QString::number(def->id));
    }
}

void FrameWindow::ReadToolBar() {
    const std::vector<ToolState> rows = core_->ToolbarState();
    const QList<QAction*> actions = toolBar_->actions();
    const bool was = std::exchange(updating_, true);
    for (size_t i = 0; i < rows.size() && i < size_t(actions.size()); ++i) {
        QAction* action = actions[qsizetype(i)];
        action->setVisible(rows[i].visible);
        action->setEnabled(rows[i].enabled);
        if (action->isCheckable()) action->setChecked(rows[i].checked);
    }
    updating_ = was;
}

void FrameWindow::ReadScrollBars() {
    const ScrollGeometry g = core_->CurrentScrolling();
    const bool was = std::exchange(updating_, true);
    hBar_->setRange(0, g.rangeX);
    hBar_->setPageStep(g.pageX);
    hBar_->setValue(core_->scrollX());
    vBar_->setRange(0, g.rangeY);
    vBar_->setPageStep(g.pageY);
    vBar_->setValue(core_->scrollY());
    updating_ = was;
}

Size FrameWindow::CanvasSize() const {
    return Size{canvas_->width(), canvas_->height()};
}

bool FrameWindow::Layout() {
    if (core_ == nullptr) return false;
    const QSize before = canvas_->size();
    const int w = width(), h = height();
    const bool was = std::exchange(updating_, true);

    int top = 0, bottom = h;
    toolBar_->setVisible(core_->toolBarVisible());
    if (core_->toolBarVisible()) {
        const int th = toolBar_->sizeHint().height();
        toolBar_->setGeometry(0, 0, w, th);
        top = th;
    }
    status_->setVisible(core_->statusBarVisible());
    if (core_->statusBarVisible()) {
        const int sh = std::max(status_->sizeHint().height(), parts_[0]->sizeHint().height() + 4);
        status_->setGeometry(0, h - sh, w, sh);
        bottom = h - sh;
        const StatusEdges edges = StatusBarEdges(w);
        const int lefts[3] = {0, std::max(0, edges.first), std::max(0, edges.second)};
        const int rights[3] = {std::max(0, edges.first), std::max(0, edges.second), edges.third};
        for (int i = 0; i < 3; ++i) {
            parts_[i]->setGeometry(lefts[i], 0, std::max(0, rights[i] - lefts[i] - 2), sh);
        }
    }

    const bool outline = core_->indexVisible();
    const int pane = core_->paneWidth();
    const int left = outline ? pane + kBandWidth : 0;
    const ScrollGeometry g = core_->CurrentScrolling();
    const bool hVisible = g.rangeX > 0, vVisible = g.rangeY > 0;
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int right = std::max(left, w - (vVisible ? extent : 0));
    const int areaBottom = std::max(top, bottom - (hVisible ? extent : 0));

    vBar_->setVisible(vVisible);
    if (vVisible) vBar_->setGeometry(right, top, extent, areaBottom - top);
    hBar_->setVisible(hVisible);
    if (hVisible) hBar_->setGeometry(left, areaBottom, right - left, extent);
    sizeBox_->setVisible(hVisible && vVisible);
    if (hVisible && vVisible) sizeBox_->setGeometry(right, areaBottom, extent, extent);
    canvas_->setGeometry(left, top, right - left, areaBottom - top);

    tree_->setVisible(outline);
    band_->setVisible(outline);
    if (outline) {
        tree_->setGeometry(0, top, pane, areaBottom - top + (hVisible ? extent : 0));
        band_->setGeometry(pane, top, kBandWidth, bottom - top);
    } else {
        tree_->setGeometry(0, 0, 0, 0);
    }
    updating_ = was;
    update();
    return canvas_->size() != before;
}

void FrameWindow::AfterLayout(bool canvasResized) {
    if (!canvasResized || core_ == nullptr || relayoutDepth_ >= kMaxRelayouts) return;
    ++relayoutDepth_;
    core_->OnCanvasResized();
    --relayoutDepth_;
}

void FrameWindow::Update() {
    if (core_ == nullptr) return;
    if (!child_) setWindowTitle(Q(core_->title()));
    ReadToolBar();
    parts_[0]->clear();
    parts_[1]->setText(Q(core_->StatusZoomText()));
    parts_[2]->setText(Q(core_->StatusPageText()));
    const bool resized = Layout();
    ReadScrollBars();
    canvas_->update();
    AfterLayout(resized);
}

void FrameWindow::Repaint() {
    canvas_->update();
}

void FrameWindow::Geometry(int32_t* left, int32_t* top, int32_t* width, int32_t* height) const {
    const QRect r = frameGeometry();
    *left = r.x();
    *top = r.y();
    *width = r.width();
    *height = r.height();
}

void FrameWindow::Move(int32_t left, int32_t top, int32_t width, int32_t height) {
    if (child_) return;
    const QRect outer = frameGeometry();
    const QPoint at(left == kDefaultPosition ? outer.x() : left,
                    top == kDefaultPosition ? outer.y() : top);
    // The stored sizes are the outer ones; the decoration is what lies around the client.
    const int dx = outer.width() - QWidget::width(), dy = outer.height() - QWidget::height();
    const int w = width == kDefaultPosition ? QWidget::width() : width - dx;
    const int h = height == kDefaultPosition ? QWidget::height() : height - dy;
    move(at);
    resize(std::max(w, minimumWidth()), std::max(h, minimumHeight()));
}

void FrameWindow::ShowState(bool maximised, bool minimised) {
    if (child_) return;
    if (maximised) {
        showMaximized();
    } else if (minimised) {
        showMinimized();
    } else {
        showNormal();
    }
}

void FrameWindow::FitToParent() {
    if (child_ && parentWidget() != nullptr) setGeometry(parentWidget()->rect());
}

QTreeWidgetItem* FrameWindow::FindOutline(int page) const {
    // Depth first, as the entries were added.
    std::vector<QTreeWidgetItem*> stack;
    for (int i = tree_->topLevelItemCount() - 1; i >= 0; --i)
        stack.push_back(tree_->topLevelItem(i));
    while (!stack.empty()) {
        QTreeWidgetItem* item = stack.back();
        stack.pop_back();
        if (item->data(0, Qt::UserRole).toInt() == page) return item;
        for (int i = item->childCount() - 1; i >= 0; --i) stack.push_back(item->child(i));
    }
    return nullptr;
}

void FrameWindow::AddOutline(int page, int parentPage, const std::u16string& text) {
    auto* item = new QTreeWidgetItem(QStringList{Q(text)});
    item->setData(0, Qt::UserRole, page);
    QTreeWidgetItem* parent = parentPage > 0 ? FindOutline(parentPage) : nullptr;
    const bool was = std::exchange(updating_, true);
    if (parent != nullptr) {
        parent->addChild(item);
    } else {
        tree_->addTopLevelItem(item);
    }
    updating_ = was;
}

void FrameWindow::SelectOutline(int page) {
    QTreeWidgetItem* item = FindOutline(page);
    if (item == nullptr) return;
    const bool was = std::exchange(updating_, true);
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item, QAbstractItemView::PositionAtTop);
    updating_ = was;
}

bool FrameWindow::AskPrintRange(int current, int count, int* start, int* end) {
    PrintRangeView view(current, count, this);
    // Modal to this frame only: the host's dialogs that wait behind it stay usable.
    view.setWindowModality(Qt::WindowModal);
    if (view.exec() != QDialog::Accepted) return false;
    const RangeResult result = view.Result();
    if (!result.ok) return false;
    *start = result.start;
    *end = result.end;
    return true;
}

void FrameWindow::Beep() {
    QApplication::beep();
}

void FrameWindow::Destroy() {
    core_ = nullptr;
    hide();
    if (handle_ != 0) plat::UnregisterWindow(std::exchange(handle_, 0));
    deleteLater();
}

void FrameWindow::StoreGeometry() {
    if (child_ || core_ == nullptr) return;
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)) return;
    int32_t l, t, w, h;
    Geometry(&l, &t, &w, &h);
    core_->OnFrameGeometry(l, t, w, h);
}

void FrameWindow::resizeEvent(QResizeEvent*) {
    if (core_ == nullptr) return;
    const bool resized = Layout();
    ReadScrollBars();
    StoreGeometry();
    AfterLayout(resized);
}

void FrameWindow::moveEvent(QMoveEvent*) {
    StoreGeometry();
}

void FrameWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || child_ || core_ == nullptr) return;
    core_->OnFrameShowState(isMaximized(), isMinimized());
    StoreGeometry();
}

void FrameWindow::closeEvent(QCloseEvent* event) {
    // The window goes only through the core's answer, and then frees itself.
    event->ignore();
    if (core_ == nullptr) return;
    const bool close = core_->OnCloseRequested();
    // A sink may have closed the object inside the query; then this window is already let go.
    if (!close || core_ == nullptr) return;
    PreviewCore* core = std::exchange(core_, nullptr);
    hide();
    if (handle_ != 0) plat::UnregisterWindow(std::exchange(handle_, 0));
    deleteLater();
    core->OnFrameDestroyed();
}

bool FrameWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != band_ || core_ == nullptr) return QWidget::eventFilter(watched, event);
    auto frameX = [this](QEvent* e) {
        const int x = band_->mapTo(this, static_cast<QMouseEvent*>(e)->position().toPoint()).x();
        return std::clamp(x, std::min(kDragInset, width()), std::max(0, width() - kDragInset));
    };
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
            dragStart_ = frameX(event);
            return true;
        case QEvent::MouseButtonRelease: {
            if (dragStart_ < 0 || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
                break;
            const int start = std::exchange(dragStart_, -1);
            core_->OnSplitterReleased(start, frameX(event));
            return true;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

FrameView* MakeFrameView(PreviewCore* core, bool child, uint32_t parent) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread() || core == nullptr) {
        return nullptr;
    }
    auto* parentWidget =
        parent != 0 ? static_cast<QWidget*>(plat::WindowFromHandle(parent)) : nullptr;
    if (child && parentWidget == nullptr) return nullptr;
    auto* frame = new FrameWindow(core, child, parentWidget);
    if (child) {
        frame->setGeometry(parentWidget->rect());
    } else {
        const int32_t left = Long(&PreviewCore::GetWindowLeft, core);
        const int32_t top = Long(&PreviewCore::GetWindowTop, core);
        const int32_t width = Long(&PreviewCore::GetWindowRight, core);
        const int32_t height = Long(&PreviewCore::GetWindowBottom, core);
        frame->resize(std::max(300, width == kDefaultPosition ? kDefaultWidth : width),
                      std::max(200, height == kDefaultPosition ? kDefaultHeight : height));
        if (left != kDefaultPosition || top != kDefaultPosition) {
            frame->move(left == kDefaultPosition ? 0 : left, top == kDefaultPosition ? 0 : top);
        } else {
            // No stored place: centred over the window the user works in, inside the screen.
            QWidget* opener = QApplication::activeWindow();
            QScreen* screen = opener != nullptr ? opener->screen() : QApplication::primaryScreen();
            const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
            const QPoint centre =
                opener != nullptr ? opener->frameGeometry().center() : area.center();
            QRect placed(QPoint(0, 0), frame->size());
            placed.moveCenter(centre);
            if (!area.isEmpty()) {
                placed.moveLeft(std::clamp(placed.left(), area.left(),
                                           std::max(area.left(), area.right() - placed.width())));
                placed.moveTop(std::clamp(placed.top(), area.top(),
                                          std::max(area.top(), area.bottom() - placed.height())));
            }
            frame->move(placed.topLeft());
        }
        frame->setWindowTitle(Q(core->title()));
    }
    frame->show();
    return frame;
}

}  // namespace kp::preview::ui

namespace kp::preview {

void AddPreviewWindowServices(EngineServices& services) {
    services.frameView = &ui::MakeFrameView;
}

}  // namespace kp::preview
