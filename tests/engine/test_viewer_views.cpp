// The viewer's and the preview's dialogs on the offscreen platform: captions, labels and fields,
// what OK hands back, the print-range dialog staying open on a bad range; a PNG of each.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "engine/core/ole_date.h"
#include "engine/preview/ui/viewer_dialog_views.h"
#include "tests/fixtures/offscreen_widgets.h"

namespace kp::preview::ui {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new qzs_test::OffscreenWidgets("engine_test_viewer_views"));

void Screenshot(QWidget& w, const char* name) {
    const char* binary = std::getenv("QZS_BINARY_DIR");
    const std::filesystem::path folder = std::filesystem::path(binary ? binary : ".") / "artifacts";
    std::filesystem::create_directories(folder);
    w.show();
    QApplication::processEvents();
    EXPECT_TRUE(w.grab().save(QString::fromStdString((folder / name).string())));
}

template <class T>
T* Control(QWidget& w, int id) {
    return w.findChild<T*>(QStringLiteral("c%1").arg(id));
}

TEST(ViewerViews, DocumentInformation) {
    DocumentInfo info;
    info.title = u"月次";
    info.author = u"山田";
    info.protect = 1;
    MakeOleDate(2026, 12, 10, 9, 5, 7, &info.updateDate);
    DocumentInfoView view(info);
    EXPECT_EQ(view.windowTitle(), QString::fromUtf8("文書情報"));
    EXPECT_EQ(Control<QLineEdit>(view, 1026)->text(), QString::fromUtf8("月次"));
    EXPECT_EQ(Control<QLineEdit>(view, 1027)->text(), QString::fromUtf8("山田"));
    EXPECT_EQ(Control<QLineEdit>(view, 1030)->text(), "2026-12-10 09:05:07");
    EXPECT_EQ(Control<QLineEdit>(view, 1031)->text(), QString::fromUtf8("はい"));
    EXPECT_EQ(Control<QLineEdit>(view, 1032)->text(), QString::fromUtf8("許可"));
    EXPECT_EQ(Control<QLineEdit>(view, 1028)->text(), "");
    Screenshot(view, "viewer_document_info.png");
    DocumentInfo none;
    DocumentInfoView blank(none);
    EXPECT_EQ(Control<QLineEdit>(blank, 1030)->text(), "");  // date 0: the field stays empty
    EXPECT_EQ(Control<QLineEdit>(blank, 1031)->text(), QString::fromUtf8("いいえ"));
}

TEST(ViewerViews, Password) {
    PasswordView view;
    EXPECT_EQ(view.windowTitle(), QString::fromUtf8("パスワード"));
    EXPECT_EQ(view.edit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Control<QPushButton>(view, 2)->text(), QString::fromUtf8("ｷｬﾝｾﾙ"));
    bool label = false;
    for (QLabel* l : view.findChildren<QLabel*>())
        label |= l->text() == QString::fromUtf8("この文章は保護されています。");
    EXPECT_TRUE(label);
    Screenshot(view, "viewer_password.png");

    // Through the port: typed text comes back whole, cancel answers 2.
    QtViewerDialogPort port;
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<PasswordView*>(w); p && p->isVisible()) {
                p->edit()->setText(QString::fromUtf8("pä\u00e9ss"));
                p->accept();
            }
    });
    std::u16string typed;
    EXPECT_EQ(port.AskPassword(&typed), 1);
    EXPECT_EQ(typed, u"pä\u00e9ss");
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<PasswordView*>(w); p && p->isVisible()) p->reject();
    });
    EXPECT_EQ(port.AskPassword(&typed), 2);
}

TEST(ViewerViews, LayerPrintSettings) {
    LayerPrintSettings current;
    current.layers[2] = false;
    current.offsetX = 10;
    LayerPrintView view(current);
    EXPECT_EQ(view.windowTitle(), QString::fromUtf8("印刷設定"));
    EXPECT_EQ(Control<QCheckBox>(view, 1019)->text(), QString::fromUtf8("レイヤー１"));
    EXPECT_FALSE(Control<QCheckBox>(view, 1021)->isChecked());
    EXPECT_EQ(Control<QLineEdit>(view, 1024)->text(), "10.00");
    EXPECT_EQ(Control<QLineEdit>(view, 1025)->text(), "0.00");
    EXPECT_EQ(Control<QPushButton>(view, 1)->text(), QString::fromUtf8("設定(&P)"));
    Screenshot(view, "viewer_layer_print.png");
    Control<QCheckBox>(view, 1023)->setChecked(false);
    QLineEdit* x = Control<QLineEdit>(view, 1024);
    x->clear();
    QTest::keyClicks(x, "1e300123");  // the edit keeps five characters
    EXPECT_EQ(x->text(), "1e300");
    Control<QLineEdit>(view, 1025)->setText("abc");
    const LayerPrintSettings out = view.Result();
    EXPECT_EQ(out.layers, (std::array<bool, 5>{true, true, false, true, false}));
    EXPECT_EQ(out.offsetX, 1e300);
    EXPECT_EQ(out.offsetY, 0);
}

TEST(ViewerViews, PrintRangeStaysOpenOnABadRange) {
    PrintRangeView view(2, 5);
    EXPECT_TRUE(Control<QRadioButton>(view, 1000)->isChecked());
    EXPECT_FALSE(Control<QLineEdit>(view, 1006)->isEnabled());
    EXPECT_EQ(Control<QLineEdit>(view, 1007)->text(), "5");
    Screenshot(view, "preview_print_range.png");
    Control<QRadioButton>(view, 1004)->click();
    EXPECT_TRUE(Control<QLineEdit>(view, 1006)->isEnabled());
    Control<QLineEdit>(view, 1006)->setText("3");
    Control<QLineEdit>(view, 1007)->setText("2");
    QString seen;
    QTimer::singleShot(0, [&seen] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                seen = box->windowTitle() + "|" + box->text();
                box->accept();
            }
    });
    view.accept();
    EXPECT_EQ(seen, QString::fromUtf8("入力エラー|開始ページと終了ページの関係に矛盾があります。"));
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.result(), 0);
    Control<QLineEdit>(view, 1007)->setText("4");
    view.accept();
    EXPECT_EQ(view.result(), QDialog::Accepted);
    EXPECT_EQ(view.Result().start, 3);
    EXPECT_EQ(view.Result().end, 4);
}

}  // namespace
}  // namespace kp::preview::ui
