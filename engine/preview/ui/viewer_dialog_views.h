// Qt dialogs of the viewer and the preview over their logic: document information (118),
// password (119), layer-print settings (1004) and print range (1003). Each builds its controls
// with the control ids as object names ("c1026"), so tests find them; Run* show them modal.
#pragma once

#include <QDialog>

#include "engine/core/services.h"
#include "engine/preview/viewer_dialogs.h"
#include "engine/preview/viewer_logic.h"

class QLineEdit;
class QCheckBox;
class QRadioButton;

namespace kp::preview::ui {

class DocumentInfoView : public QDialog {
    Q_OBJECT
  public:
    DocumentInfoView(const DocumentInfo& info, QWidget* parent = nullptr);
};

class PasswordView : public QDialog {
    Q_OBJECT
  public:
    explicit PasswordView(QWidget* parent = nullptr);
    QLineEdit* edit() const { return edit_; }

  private:
    QLineEdit* edit_;
};

class LayerPrintView : public QDialog {
    Q_OBJECT
  public:
    LayerPrintView(const LayerPrintSettings& current, QWidget* parent = nullptr);
    LayerPrintSettings Result() const;

  private:
    LayerPrintDialog dialog_;
    QCheckBox* checks_[5];
    QLineEdit* x_;
    QLineEdit* y_;
};

class PrintRangeView : public QDialog {
    Q_OBJECT
  public:
    PrintRangeView(int current, int count, QWidget* parent = nullptr);
    RangeResult Result() const { return result_; }
    void accept() override;

  private:
    void Refresh();
    PrintRangeDialog dialog_;
    QRadioButton* all_;
    QRadioButton* current_;
    QRadioButton* typed_;
    QLineEdit* start_;
    QLineEdit* end_;
    RangeResult result_;
};

// Dialog 119 and the warning boxes as the viewer's port, on the GUI thread.
class QtViewerDialogPort : public ViewerDialogPort {
  public:
    explicit QtViewerDialogPort(QWidget* parent = nullptr) : parent_(parent) {}
    int AskPassword(std::u16string* typed) override;
    void Warn(const std::string& text, const std::string& caption) override;
    int ShowDocumentInfo(const DocumentInfo& info) override;
    int AskLayerPrint(LayerPrintSettings* settings) override;
    int AskPrintRange(int current, int count, int* start, int* end) override;

  private:
    QWidget* parent_;
};

// Lets report-file objects show these dialogs over their frames when no port is set.
void AddQtViewerDialogServices(EngineServices& services);

}  // namespace kp::preview::ui
