#include "engine/output/printer_select_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>

#include "platform/printing/printers.h"

namespace kp {

using plat::DevMode;

namespace {

using Self = PrinterSelectDialog;

// The radio buttons that check and clear one another.
constexpr int32_t kRadioGroups[][3] = {
    {Self::kPortrait, Self::kLandscape, 0},
    {Self::kScaleOn, Self::kScaleOff, 0},
    {Self::kAlignTopLeft, Self::kAlignCentre, Self::kAlignCentreLine},
    {Self::kFitToPaper, Self::kFreeScale, 0},
    {Self::kOneAboveOther, Self::kSideBySide, 0},
};

const int32_t* RadioGroupOf(int32_t id) {
    for (const auto& group : kRadioGroups) {
        if (std::find(std::begin(group), std::end(group), id) != std::end(group) && id != 0) {
            return group;
        }
    }
    return nullptr;
}

// The number an edit holds, as the edit's owner reads it: digits only, anything else is 0.
int32_t TypedNumber(const std::string& text) {
    if (text.empty() || text.size() > 9) return 0;
    int32_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The first limit characters (code points) of a UTF-8 text.
std::string CutToChars(const std::string& text, int32_t limit) {
    if (limit <= 0) return text;
    size_t i = 0;
    for (int32_t n = 0; i < text.size() && n < limit; ++n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    return text.substr(0, i);
}

}  // namespace

const std::vector<Self::ControlText>& PrinterSelectDialog::ButtonTexts() {
    static const std::vector<ControlText> texts = {
        {kProperties, "プロパティ (&S)"},
        {kOutputPaper, "出力用紙指定 (&O)"},
        {kPortrait, "縦印刷(&C)"},
        {kLandscape, "横印刷(&D)"},
        {kScaleOn, "ＯＮ(&E)"},
        {kScaleOff, "ＯＦＦ(&F)"},
        {kAlignTopLeft, "左上(&G)"},
        {kAlignCentre, "中央(&H)"},
        {kAlignCentreLine, "中央線(&I)"},
        {kFitToPaper, "用紙フィット(&J)"},
        {kFreeScale, "任意倍率 (&K)"},
        {kMultiPrint, "マルチ印刷 (&M)"},
        {kOneAboveOther, "縦方向(&N)"},
        {kSideBySide, "横方向 (&O)"},
        {kOk, "OK"},
        {kCancel, "ｷｬﾝｾﾙ"},
    };
    return texts;
}

const std::vector<Self::ControlText>& PrinterSelectDialog::LabelTexts() {
    static const std::vector<ControlText> texts = {
        {kPrinterList, "プリンタ(&P) ："},
        {kStatusText, "状態："},
        {kDriverText, "種類："},
        {kPortText, "出力先："},
        {kCopiesEdit, "部数 (&N) ："},
        {kPaperList, "用紙 (&A) ："},
        {kSourceList, "給紙 (&B) ："},
        {kPortrait, "印刷方向："},
        {kScaleOn, "縮小拡大："},
        {kAlignTopLeft, "位置合わせ："},
        {kScaleEdit, "(&L)："},
    };
    return texts;
}

const char* PrinterSelectDialog::StatusText(uint32_t status) {
    struct Row {
        uint32_t value;
        const char* text;
    };
    static constexpr Row kRows[] = {
        {0, "準備完了"},           {0x1, "一時停止"},
        {0x2, "エラー"},           {0x4, "保留削除"},
        {0x8, "用紙詰まり"},       {0x10, "用紙切れ"},
        {0x20, "手差し"},          {0x40, "用紙エラー"},
        {0x80, "オフライン"},      {0x100, "Ｉ／Ｏアクティブ"},
        {0x200, "ビジー"},         {0x400, "印刷中"},
        {0x800, "排出装置フル"},   {0x1000, "利用不可"},
        {0x2000, "待機中"},        {0x4000, "処理中"},
        {0x8000, "初期化中"},      {0x10000, "準備中"},
        {0x20000, "トナー残少"},   {0x40000, "トナー切れ"},
        {0x80000, "ページエラー"}, {0x100000, "要調査"},
        {0x200000, "メモリ不足"},  {0x400000, "カバーオープン"},
        {0x800000, "利用不可"},    {0x1000000, "省電力"},
    };
    for (const auto& row : kRows) {
        if (row.value == status) return row.text;
    }
    return kUnknownStatus;
}

const PrinterSelectDialog::Control& PrinterSelectDialog::control(int32_t id) const {
    static const Control kNone{};
    const auto it = controls_.find(id);
    return it == controls_.end() ? kNone : it->second;
}

// ---------------------------------------------------------------------------------------------
// Preparing

bool PrinterSelectDialog::Initialise(const std::string& printerName, const DevMode* devMode,
                                     const Layout& layout, uint16_t copiesLimit) {
    if (printerName.empty() || devMode == nullptr) return false;
    const auto system = plat::GetPrinterSystem();
    plat::PrinterCapabilities caps;
    if (!system->ReadCapabilities(printerName, &caps)) return false;
    requested_ = printerName;
    devMode_ = *devMode;
    std::vector<plat::PrinterInfo> printers;
    if (!system->ListPrinters(&printers)) return false;
    names_.clear();
    drivers_.clear();
    ports_.clear();
    for (const auto& p : printers) {
        names_.push_back(p.name);
        drivers_.push_back(p.makeAndModel);
        ports_.push_back(p.deviceUri);
    }
    if (std::find(names_.begin(), names_.end(), requested_) == names_.end()) {
        names_.clear();
        drivers_.clear();
        ports_.clear();
        return false;
    }
    scalePrint_ = layout.scalePrint;
    fit_ = layout.scalePaperFit;
    multiPrint_ = layout.multiPrint;
    alignment_ = layout.scalePrintLayout;
    direction_ = layout.multiPrintLayout == 2 ? 1 : 2;
    scale_ = layout.scale;
    copiesLimit_ = copiesLimit == 0 ? 99 : copiesLimit;
    return true;
}

int32_t PrinterSelectDialog::Start(uint32_t optionBits) {
    options_ = optionBits;
    Control& list = at(kPrinterList);
    list.items = names_;
    const auto it = std::find(names_.begin(), names_.end(), requested_);
    list.selected = it == names_.end() ? -1 : static_cast<int32_t>(it - names_.begin());
    if (const int32_t code = ShowPrinter(false); code != 0) return code;
    if (const int32_t code = SelectPaperAndSource(); code != 0) return code;
    ShowOrientation();
    ShowCopies();
    // The layout values are shown from the start; the box's state then decides which of them
    // can be changed.
    ShowLayout();
    SetControlStates();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The printer shown

int32_t PrinterSelectDialog::ShowPrinter(bool adaptDevMode) {
    const Control& list = control(kPrinterList);
    if (list.selected < 0 || list.selected >= static_cast<int32_t>(list.items.size())) {
        return kFailed;
    }
    const auto it = std::find(names_.begin(), names_.end(), list.items[list.selected]);
    if (it == names_.end()) return kFailed;
    current_ = static_cast<size_t>(it - names_.begin());
    at(kDriverText).text = drivers_[current_];
    at(kPortText).text = ports_[current_];
    plat::PrinterCapabilities caps;
    if (!plat::GetPrinterSystem()->ReadCapabilities(names_[current_], &caps)) {
        printerOpen_ = false;
        return kFailed;
    }
    printer_ = CodePrinter(names_[current_], caps);
    printerOpen_ = true;
    at(kStatusText).text = StatusText(printer_.status);

    if (printer_.papers.empty()) return kQueryFailed;
    Control& papers = at(kPaperList);
    papers.items.clear();
    for (const auto& p : printer_.papers) papers.items.push_back(p.name);
    papers.selected = -1;
    Control& sources = at(kSourceList);
    sources.items.clear();
    for (const auto& s : printer_.sources) sources.items.push_back(s.name);
    sources.selected = -1;

    if (adaptDevMode) {
        // The new printer's own record takes the paper and orientation of the working one; its
        // merge keeps what the printer takes, then the paper is written back so that the paper
        // selection below finds the nearest the new printer has.
        DevMode own = printer_.defaults;
        defaultPaper_ = own.dmPaperSize;
        defaultSource_ = own.dmDefaultSource;
        own.dmPaperWidth = devMode_.dmPaperWidth;
        own.dmPaperLength = devMode_.dmPaperLength;
        own.dmPaperSize = devMode_.dmPaperSize;
        own.dmOrientation = devMode_.dmOrientation;
        DevMode merged = MergeDevMode(printer_, own);
        merged.dmPaperWidth = own.dmPaperWidth;
        merged.dmPaperLength = own.dmPaperLength;
        merged.dmPaperSize = own.dmPaperSize;
        merged.dmFields = printer_.defaults.dmFields;
        devMode_ = merged;
    }
    return 0;
}

int32_t PrinterSelectDialog::SelectPaperAndSource() {
    const auto& papers = printer_.papers;
    bool userSeen = false;
    for (;;) {
        const auto byCode = std::find_if(papers.begin(), papers.end(), [&](const CodedPaper& p) {
            return p.code == static_cast<uint16_t>(devMode_.dmPaperSize);
        });
        if (byCode != papers.end()) {
            at(kPaperList).selected = static_cast<int32_t>(byCode - papers.begin());
            if (devMode_.dmPaperSize != plat::kDmPaperUser) {
                devMode_.dmPaperWidth = static_cast<int16_t>(byCode->width);
                devMode_.dmPaperLength = static_cast<int16_t>(byCode->length);
            }
            break;
        }
        const auto bySize = std::find_if(papers.begin(), papers.end(), [&](const CodedPaper& p) {
            return p.width == devMode_.dmPaperWidth && p.length == devMode_.dmPaperLength;
        });
        if (bySize != papers.end()) {
            devMode_.dmPaperSize = static_cast<int16_t>(bySize->code);
            continue;
        }
        if (devMode_.dmPaperSize != plat::kDmPaperUser) {
            devMode_.dmPaperSize = plat::kDmPaperUser;
            devMode_.dmFields |= plat::kDmPaperLength | plat::kDmPaperWidth;
            continue;
        }
        // User-defined for the second time: neither the size nor the printer's default paper.
        if (userSeen) return kFailed;
        userSeen = true;
        devMode_.dmPaperSize = defaultPaper_;
        if (defaultPaper_ == plat::kDmPaperUser) {
            devMode_.dmFields |= plat::kDmPaperLength | plat::kDmPaperWidth;
        }
    }

    const auto& sources = printer_.sources;
    const auto findSource = [&] {
        return std::find_if(sources.begin(), sources.end(), [&](const CodedSource& s) {
            return s.code == devMode_.dmDefaultSource;
        });
    };
    auto source = findSource();
    if (source == sources.end()) {
        devMode_.dmDefaultSource = defaultSource_;
        source = findSource();
        if (source == sources.end()) return 0;
    }
    at(kSourceList).selected = static_cast<int32_t>(source - sources.begin());
    return 0;
}

void PrinterSelectDialog::ShowOrientation() {
    const bool portrait = devMode_.dmOrientation == plat::kDmOrientPortrait;
    at(kPortrait).checked = portrait;
    at(kLandscape).checked = !portrait;
}

void PrinterSelectDialog::ShowCopies() {
    Control& edit = at(kCopiesEdit);
    Control& spin = at(kCopiesSpin);
    if (devMode_.dmFields & plat::kDmCopies) {
        edit.enabled = spin.enabled = true;
        edit.limit = 2;
        edit.text = std::to_string(devMode_.dmCopies);
        spin.low = 1;
        spin.high = copiesLimit_;
        spin.position = devMode_.dmCopies;
    } else {
        edit.enabled = spin.enabled = false;
        edit.text = "1";
    }
}

// ---------------------------------------------------------------------------------------------
// Control states and the layout settings

void PrinterSelectDialog::SetControlStates() {
    const auto clear = [&](uint32_t bit) { return (options_ & bit) == 0; };
    at(kPrinterList).enabled = at(kOutputPaper).enabled = clear(kNoPrinterChoice);
    // No printer driver brings its own settings dialog here: the printer's settings are those
    // of this dialog.
    at(kProperties).enabled = false;
    at(kPaperList).enabled = at(kMultiPrint).enabled = outputPaper_;
    at(kPortrait).enabled = at(kLandscape).enabled = clear(kNoOrientation);
    at(kScaleOn).enabled = at(kScaleOff).enabled = outputPaper_ && clear(kNoScaling);
    if (!outputPaper_) {
        for (int32_t id : {kAlignTopLeft, kAlignCentre, kAlignCentreLine, kFitToPaper, kFreeScale,
                           kOneAboveOther, kSideBySide, kScaleEdit, kScaleSpin}) {
            at(id).enabled = false;
        }
    } else {
        ShowLayout();
    }
}

void PrinterSelectDialog::ShowLayout() {
    at(kScaleOn).checked = scalePrint_ != 0;
    at(kScaleOff).checked = scalePrint_ == 0;
    for (int32_t id : {kAlignTopLeft, kAlignCentre, kAlignCentreLine, kFitToPaper, kFreeScale}) {
        at(id).enabled = scalePrint_ != 0;
    }
    at(kMultiPrint).enabled = outputPaper_ && (options_ & kNoMultiPrint) == 0;
    at(kAlignTopLeft).checked = alignment_ == 1;
    at(kAlignCentre).checked = alignment_ == 2;
    at(kAlignCentreLine).checked = alignment_ != 1 && alignment_ != 2;
    at(kFitToPaper).checked = fit_ != 0;
    at(kFreeScale).checked = fit_ == 0;
    at(kScaleEdit).enabled = at(kScaleSpin).enabled = scalePrint_ != 0 && fit_ == 0;
    Control& edit = at(kScaleEdit);
    edit.limit = 3;
    edit.text = std::to_string(scale_);
    Control& spin = at(kScaleSpin);
    spin.low = 5;
    spin.high = 1000;
    spin.position = scale_;
    at(kMultiPrint).checked = multiPrint_ != 0;
    at(kOneAboveOther).enabled = at(kSideBySide).enabled = multiPrint_ != 0;
    at(kOneAboveOther).checked = direction_ == 1;
    at(kSideBySide).checked = direction_ != 1;
}

void PrinterSelectDialog::ReadLayoutBack() {
    scalePrint_ = checked(kScaleOn);
    alignment_ = checked(kAlignTopLeft) ? 1 : checked(kAlignCentre) ? 2 : 3;
    fit_ = checked(kFitToPaper);
    multiPrint_ = checked(kMultiPrint);
    direction_ = checked(kOneAboveOther) ? 1 : 2;
}

PrinterSelectDialog::Layout PrinterSelectDialog::Chosen() const {
    Layout l;
    l.scalePrint = scalePrint_;
    l.scalePaperFit = fit_;
    l.multiPrint = multiPrint_;
    l.scale = scale_;
    l.scalePrintLayout = alignment_;
    l.multiPrintLayout = direction_ == 1 ? 2 : 1;
    return l;
}

// ---------------------------------------------------------------------------------------------
// The user's actions

void PrinterSelectDialog::Select(int32_t id, int32_t index) {
    Control& list = at(id);
    list.selected = index >= 0 && index < static_cast<int32_t>(list.items.size()) ? index : -1;
}

void PrinterSelectDialog::SetText(int32_t id, const std::string& text) {
    Control& edit = at(id);
    edit.text = CutToChars(text, edit.limit);
}

void PrinterSelectDialog::SetCheck(int32_t id, bool on) {
    if (const int32_t* group = RadioGroupOf(id); group != nullptr && on) {
        for (int i = 0; i < 3 && group[i] != 0; ++i) at(group[i]).checked = false;
    }
    at(id).checked = on;
}

std::optional<int32_t> PrinterSelectDialog::Command(int32_t id, int32_t notification) {
    const auto end = [](int32_t code) -> std::optional<int32_t> {
        if (code == 0) return std::nullopt;
        return code;
    };
    switch (id) {
        case kPrinterList: {
            if (notification != kSelectionChanged) return std::nullopt;
            if (const int32_t code = ShowPrinter(true); code != 0) return code;
            if (const int32_t code = SelectPaperAndSource(); code != 0) return code;
            ShowOrientation();
            ShowCopies();
            return std::nullopt;
        }
        case kPaperList:
        case kSourceList: {
            if (notification != kSelectionChanged) return std::nullopt;
            const Control& list = control(id);
            if (list.selected < 0 || list.selected >= static_cast<int32_t>(list.items.size())) {
                return kFailed;
            }
            const std::string& name = list.items[list.selected];
            if (id == kPaperList) {
                const auto it = std::find_if(printer_.papers.begin(), printer_.papers.end(),
                                             [&](const CodedPaper& p) { return p.name == name; });
                if (it == printer_.papers.end()) return kFailed;
                devMode_.dmPaperSize = static_cast<int16_t>(it->code);
            } else {
                const auto it = std::find_if(printer_.sources.begin(), printer_.sources.end(),
                                             [&](const CodedSource& s) { return s.name == name; });
                if (it == printer_.sources.end()) return kFailed;
                devMode_.dmDefaultSource = it->code;
            }
            return end(SelectPaperAndSource());
        }
        case kCopiesEdit: {
            if (notification != kEditChanged) return std::nullopt;
            const int32_t n = TypedNumber(control(id).text);
            if (n > 0) {
                devMode_.dmCopies = static_cast<int16_t>(n);
            } else {
                at(id).text = "1";
                devMode_.dmCopies = 1;
            }
            at(kCopiesSpin).position = devMode_.dmCopies;
            return std::nullopt;
        }
        case kScaleEdit: {
            if (notification != kEditChanged) return std::nullopt;
            const int32_t n = TypedNumber(control(id).text);
            if (n > 0) {
                scale_ = static_cast<uint16_t>(n);
            } else {
                at(id).text = "5";
                scale_ = 5;
            }
            at(kScaleSpin).position = scale_;
            return std::nullopt;
        }
        case kPortrait:
        case kLandscape:
            if (checked(kPortrait)) devMode_.dmOrientation = plat::kDmOrientPortrait;
            if (checked(kLandscape)) devMode_.dmOrientation = plat::kDmOrientLandscape;
            ShowOrientation();
            return std::nullopt;
        case kOutputPaper:
            outputPaper_ = checked(kOutputPaper);
            SetControlStates();
            return std::nullopt;
        case kMultiPrint:
        case kScaleOn:
        case kScaleOff:
        case kAlignTopLeft:
        case kAlignCentre:
        case kAlignCentreLine:
        case kFitToPaper:
        case kFreeScale:
        case kOneAboveOther:
        case kSideBySide:
            ReadLayoutBack();
            ShowLayout();
            return std::nullopt;
        case kOk:
            return kEndOk;
        case kCancel:
            return kEndCancel;
        default:
            return std::nullopt;
    }
}

// ---------------------------------------------------------------------------------------------
// The view

namespace {

QString ToQ(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString ToQ(const char* s) {
    return QString::fromUtf8(s);
}

const char* TextOf(const std::vector<Self::ControlText>& table, int32_t id) {
    for (const auto& t : table) {
        if (t.id == id) return t.text;
    }
    return "";
}

class Dialog final : public QDialog {
  public:
    Dialog(PrinterSelectDialog* presenter, QWidget* owner)
        : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowCloseButtonHint),
          presenter_(presenter) {
        setObjectName(QStringLiteral("PrinterSelectDialog1000"));
        setWindowTitle(ToQ(Self::kCaption));
        // Modal to its owner only, so that an open preview or viewer frame is never blocked.
        setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
        QFont face = font();
        face.setFamilies({ToQ(Self::kFont), face.family()});
        setFont(face);
        Build();
    }

    // WM_INITDIALOG, then the modal loop: the dialog's end code.
    int32_t Run(uint32_t optionBits) {
        if (const int32_t code = presenter_->Start(optionBits); code != 0) return code;
        Refresh();
        adjustSize();
        // The dialog units of 297 x 183 at the default font, or more when the texts need it.
        resize(std::max(width(), 446), std::max(height(), 297));
        QWidget* owner = parentWidget();
        const QRect area =
            owner ? owner->frameGeometry() : QApplication::primaryScreen()->availableGeometry();
        move(area.left() + area.width() / 2 - width() / 2,
             area.top() + area.height() / 2 - height() / 2);
        exec();
        return end_;
    }

  protected:
    // Escape and the window's close button act as Cancel.
    void reject() override { Command(Self::kCancel, Self::kClicked); }

  private:
    template <class W, class... A>
    W* Make(int32_t id, A&&... args) {
        auto* w = new W(std::forward<A>(args)..., this);
        w->setObjectName(QString::number(id));
        widgets_[id] = w;
        return w;
    }
    QLabel* Label(int32_t forId, QWidget* buddy) {
        auto* l = new QLabel(ToQ(TextOf(Self::LabelTexts(), forId)), this);
        if (buddy != nullptr) l->setBuddy(buddy);
        return l;
    }
    QAbstractButton* Button(int32_t id) {
        QAbstractButton* b = nullptr;
        const QString text = ToQ(TextOf(Self::ButtonTexts(), id));
        if (id == Self::kOutputPaper || id == Self::kMultiPrint) {
            b = Make<QCheckBox>(id, text);
        } else if (RadioGroupOf(id) != nullptr) {
            auto* r = Make<QRadioButton>(id, text);
            // The presenter clears the rest of the group.
            r->setAutoExclusive(false);
            b = r;
        } else {
            b = Make<QPushButton>(id, text);
        }
        connect(b, &QAbstractButton::clicked, this, [this, id, b] {
            presenter_->SetCheck(id, RadioGroupOf(id) != nullptr || b->isChecked());
            Command(id, Self::kClicked);
        });
        return b;
    }
    QComboBox* List(int32_t id) {
        auto* c = Make<QComboBox>(id);
        connect(c, &QComboBox::activated, this, [this, id](int index) {
            presenter_->Select(id, index);
            Command(id, Self::kSelectionChanged);
        });
        return c;
    }
    QLineEdit* Edit(int32_t id) {
        auto* e = Make<QLineEdit>(id);
        e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
        connect(e, &QLineEdit::textEdited, this, [this, id](const QString& text) {
            presenter_->SetText(id, text.toStdString());
            Command(id, Self::kEditChanged);
        });
        return e;
    }
    // An up-down control beside its edit: moving it writes its position into the edit.
    QScrollBar* Spin(int32_t id, int32_t buddy) {
        auto* s = Make<QScrollBar>(id, Qt::Vertical);
        s->setInvertedAppearance(true);
        s->setFixedWidth(16);
        connect(s, &QScrollBar::valueChanged, this, [this, buddy](int value) {
            presenter_->SetText(buddy, std::to_string(value));
            Command(buddy, Self::kEditChanged);
        });
        return s;
    }

    void Build() {
        auto* outer = new QVBoxLayout(this);
        auto* top = new QGroupBox(ToQ(Self::kPrinterGroup), this);
        auto* upper = new QGridLayout(top);
        QComboBox* printers = List(Self::kPrinterList);
        upper->addWidget(Label(Self::kPrinterList, printers), 0, 0);
        upper->addWidget(printers, 0, 1, 1, 3);
        upper->addWidget(Button(Self::kProperties), 0, 4);
        int row = 1;
        for (int32_t id : {Self::kStatusText, Self::kDriverText, Self::kPortText}) {
            upper->addWidget(Label(id, nullptr), row, 0);
            upper->addWidget(Make<QLabel>(id), row, 1, 1, 4);
            ++row;
        }
        QLineEdit* copies = Edit(Self::kCopiesEdit);
        auto* copiesRow = new QHBoxLayout;
        copiesRow->addWidget(copies);
        copiesRow->addWidget(Spin(Self::kCopiesSpin, Self::kCopiesEdit));
        copiesRow->addStretch();
        upper->addWidget(Label(Self::kCopiesEdit, copies), row, 0);
        upper->addLayout(copiesRow, row, 1, 1, 4);
        outer->addWidget(top);

        auto* bottom = new QGroupBox(this);
        auto* lower = new QGridLayout(bottom);
        lower->addWidget(Button(Self::kOutputPaper), 0, 0, 1, 5);
        QComboBox* papers = List(Self::kPaperList);
        lower->addWidget(Label(Self::kPaperList, papers), 1, 0);
        lower->addWidget(papers, 1, 1, 1, 4);
        QComboBox* sources = List(Self::kSourceList);
        lower->addWidget(Label(Self::kSourceList, sources), 2, 0);
        lower->addWidget(sources, 2, 1, 1, 4);
        lower->addWidget(Label(Self::kPortrait, nullptr), 3, 0);
        lower->addWidget(Button(Self::kPortrait), 3, 1);
        lower->addWidget(Button(Self::kLandscape), 3, 2);
        lower->addWidget(Label(Self::kScaleOn, nullptr), 4, 0);
        lower->addWidget(Button(Self::kScaleOn), 4, 1);
        lower->addWidget(Button(Self::kScaleOff), 4, 2);
        lower->addWidget(Label(Self::kAlignTopLeft, nullptr), 5, 0);
        lower->addWidget(Button(Self::kAlignTopLeft), 5, 1);
        lower->addWidget(Button(Self::kAlignCentre), 5, 2);
        lower->addWidget(Button(Self::kAlignCentreLine), 5, 3);
        lower->addWidget(Button(Self::kFitToPaper), 6, 1);
        lower->addWidget(Button(Self::kFreeScale), 6, 2);
        QLineEdit* scale = Edit(Self::kScaleEdit);
        auto* scaleRow = new QHBoxLayout;
        scaleRow->addWidget(Label(Self::kScaleEdit, scale));
        scaleRow->addWidget(scale);
        scaleRow->addWidget(Spin(Self::kScaleSpin, Self::kScaleEdit));
        lower->addLayout(scaleRow, 6, 3, 1, 2);
        lower->addWidget(Button(Self::kMultiPrint), 7, 0);
        lower->addWidget(Button(Self::kOneAboveOther), 7, 1);
        lower->addWidget(Button(Self::kSideBySide), 7, 2);
        auto* note = new QLabel(ToQ(Self::kNote), bottom);
        note->setObjectName(QStringLiteral("note"));
        lower->addWidget(note, 8, 0, 1, 5);
        outer->addWidget(bottom);

        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        auto* ok = static_cast<QPushButton*>(Button(Self::kOk));
        ok->setDefault(true);
        buttons->addWidget(ok);
        buttons->addWidget(Button(Self::kCancel));
        outer->addLayout(buttons);
    }

    void Command(int32_t id, int32_t notification) {
        if (refreshing_) return;
        const std::optional<int32_t> code = presenter_->Command(id, notification);
        Refresh();
        if (code) {
            end_ = *code;
            done(0);
        }
    }

    // Shows every control as the presenter has it; the widgets' own signals stay quiet meanwhile.
    void Refresh() {
        refreshing_ = true;
        for (const auto& [id, widget] : widgets_) {
            const Self::Control& c = presenter_->control(id);
            const QSignalBlocker block(widget);
            widget->setEnabled(c.enabled);
            if (auto* list = qobject_cast<QComboBox*>(widget)) {
                QStringList items;
                for (const auto& item : c.items) items.push_back(ToQ(item));
                QStringList shown;
                for (int i = 0; i < list->count(); ++i) shown.push_back(list->itemText(i));
                if (items != shown) {
                    list->clear();
                    list->addItems(items);
                }
                list->setCurrentIndex(c.selected);
            } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
                edit->setMaxLength(c.limit > 0 ? c.limit : 32767);
                if (edit->text() != ToQ(c.text)) edit->setText(ToQ(c.text));
            } else if (auto* label = qobject_cast<QLabel*>(widget)) {
                label->setText(ToQ(c.text));
            } else if (auto* spin = qobject_cast<QScrollBar*>(widget)) {
                spin->setRange(c.low, std::max(c.low, c.high));
                spin->setValue(c.position);
            } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                if (button->isCheckable()) button->setChecked(c.checked);
            }
        }
        refreshing_ = false;
    }

    PrinterSelectDialog* presenter_;
    std::map<int32_t, QWidget*> widgets_;
    bool refreshing_ = false;
    int32_t end_ = Self::kFailed;
};

}  // namespace

int32_t RunPrinterSelectDialog(PrinterSelectDialog* dialog, void* ownerWindow,
                               uint32_t optionBits) {
    if (dialog == nullptr || !dialog->HasLists()) return PrinterSelectDialog::kNoLists;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        return PrinterSelectDialog::kFailed;
    }
    Dialog view(dialog, static_cast<QWidget*>(ownerWindow));
    return view.Run(optionBits);
}

}  // namespace kp
