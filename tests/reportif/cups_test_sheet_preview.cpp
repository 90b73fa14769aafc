// The preview road end to end on the offscreen platform: the print-mode dialog's RunReport in
// mode 1 opens the engine's preview window with every page of the sheet, a second request only
// shows the notice, the preview's print request puts pages 2 and 3 on the private CUPS, and once
// the user closed the window the same preview opens again.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/print_dialogs.h"
#include "app/ui/dialog_view.h"
#include "engine/core/scriptable.h"
#include "engine/include/kpengn_members.h"
#include "platform/gdi/handles.h"
#include "programming/state.h"
#include "reportif/kpcif_internal.h"
#include "reportif/report_interface_kpcif.h"
#include "settings/data_image_startup.h"
#include "tests/fixtures/command_output.h"
#include "tests/reportif/sheet_road.h"

namespace {

using qzs_test::CupsQueue;
using qzs_test::SheetRoad;

plat::Variant GetMember(uint32_t preview, int32_t id) {
    kp::ScriptableObject* object = kpcif::ObjectOf(preview, kpcif::HandleKind::kPreview);
    plat::Variant v{};
    EXPECT_NE(object, nullptr);
    if (object != nullptr) {
        EXPECT_EQ(object->Invoke(id, kp::kInvokeGet, nullptr, &v), 0) << id;
    }
    return v;
}

QWidget* Frame(uint32_t preview) {
    const plat::Variant hwnd = GetMember(preview, KPM_PREVIEW_HWND);
    return static_cast<QWidget*>(plat::WindowFromHandle(hwnd.ulVal));
}

std::filesystem::path ArtifactFolder() {
    std::filesystem::path folder = std::filesystem::path(QZS_BINARY_DIR) / "artifacts";
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(SheetPreview, OpensPrintsPagesAndOpensAgain) {
    SheetRoad road;
    ASSERT_TRUE(road.Ready());
    const CupsQueue& queue = road.queue;
    const size_t before = queue.Received().size();
    auto& rif = road.rif;
    auto& messages = road.messages;
    auto& context = road.context;
    qzs::app::SetReportEventContext(&context);
    qzs::app::CPrintModeDialog dialog(context);
    {
        // The mode dialog's own window: its caption and buttons.
        qzs::app::ui::DialogView view(dialog);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        EXPECT_EQ(view.windowTitle(), QString::fromUtf8("印刷種別選択"));
        EXPECT_EQ(view.ControlWidget(1001)->property("text").toString(),
                  QString::fromUtf8("プレビュー表示"));
        view.grab().save(QString::fromStdString((ArtifactFolder() / "print_mode.png").string()));
    }
    dialog.set_sheet_kind(1);
    ASSERT_EQ(dialog.RunReport(0, 1), 1) << (messages.shown.empty() ? "" : messages.shown[0]);
    EXPECT_TRUE(messages.shown.empty());
    const uint32_t preview = dialog.preview();
    ASSERT_NE(preview, 0u);
    int status = 0;
    EXPECT_EQ(rif.GetPreviewStatus(preview, &status), 1);
    EXPECT_EQ(status, 128);
    EXPECT_EQ(GetMember(preview, KPM_PREVIEW_PAGE_COUNT).ulVal, 15u)
        << "the system speed-dial list";
    QWidget* frame = Frame(preview);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), QString::fromUtf8("プレビュー"));
    EXPECT_TRUE(frame->isVisible());
    QCoreApplication::processEvents();
    frame->grab().save(QString::fromStdString((ArtifactFolder() / "sheet_preview.png").string()));

    // A second request while the window is open only tells so.
    EXPECT_EQ(dialog.RunReport(0, 1), 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "既にプレビューは表示されています。");
    EXPECT_EQ(dialog.preview(), preview);

    // The print request of the open preview: pages 2 and 3, layer 1, on one two-up sheet.
    uint32_t first = 2, last = 3;
    EXPECT_EQ(qzs::app::ReportEventProc(preview, 1001, &first, &last), 1);
    EXPECT_EQ(messages.shown.size(), 1u) << messages.shown.back();
    const auto received = queue.WaitForReceived(before + 1);
    ASSERT_EQ(received.size(), before + 1);
    const std::string info = qzs_test::CommandOutput("pdfinfo '" + received.back() + "'");
    EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
    const std::string text = qzs_test::CommandOutput("pdftotext '" + received.back() + "' -");
    EXPECT_NE(text.find("page 002"), std::string::npos) << text;
    EXPECT_NE(text.find("page 003"), std::string::npos) << text;
    EXPECT_EQ(text.find("page 001"), std::string::npos) << text;
    EXPECT_EQ(text.find("page 004"), std::string::npos) << text;

    // An empty range prints nothing and says so.
    first = 3, last = 2;
    EXPECT_EQ(qzs::app::ReportEventProc(preview, 1001, &first, &last), 1);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1], "印刷エラーです。");

    // The user closes the window; the same preview opens again.
    frame->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(rif.GetPreviewStatus(preview, &status), 1);
    EXPECT_EQ(status, 16);
    ASSERT_EQ(dialog.RunReport(0, 1), 1);
    EXPECT_EQ(dialog.preview(), preview);
    EXPECT_EQ(rif.GetPreviewStatus(preview, &status), 1);
    EXPECT_EQ(status, 128);
    EXPECT_EQ(GetMember(preview, KPM_PREVIEW_PAGE_COUNT).ulVal, 15u);

    int ignored = 0;
    rif.Exit(&ignored);
    qzs::app::SetReportEventContext(nullptr);
}

}  // namespace
