// The data file dialog over the program's data image: a save and a load through the presenter
// really write and read the file, hold the lock for the call and tell the file-creation progress
// window how far they got.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/data_file_dialog.h"
#include "app/data_file_services.h"
#include "app/progress.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"
#include "tests/app/app_test_support.h"

namespace qzs::app {
namespace {

class DataFileServicesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("qzs-datafile-services-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        state_ = std::make_unique<ProgrammingState>();
        InitDataImage(*state_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::unique_ptr<CDataFileDialog> Open(int mode, StateDataFileServices& services,
                                          const std::string& path) {
        FileDialogState().mode = mode;
        DataFilePorts ports;
        ports.messages = &messages_;
        ports.files = &services;
        ports.choose_file = [path](const FileChooserRequest&) {
            return std::optional<std::string>(path);
        };
        ports.free_bytes = [](const std::string&) {
            return std::optional<std::uint64_t>(1u << 30);
        };
        auto dialog = std::make_unique<CDataFileDialog>(std::move(ports));
        dialog->OnInit();
        return dialog;
    }

    std::filesystem::path folder_;
    std::unique_ptr<ProgrammingState> state_;
    testing::ScriptedMessages messages_;
};

TEST_F(DataFileServicesTest, SaveAndLoadThroughTheDialog) {
    int pumps = 0;
    int last_step = 0;
    ScopedProgressWindow window(kFileCreationCaption, [&](int message, std::intptr_t wparam) {
        if (message == WM_UPDATE_BYSTEP) last_step = static_cast<int>(wparam);
    });
    StateDataFileServices services(*state_, [&] {
        // The lock is held while the records go by: another thread cannot take it.
        bool taken = true;
        std::thread([&] {
            taken = state_->lock.try_lock();
            if (taken) state_->lock.unlock();
        }).join();
        EXPECT_FALSE(taken);
        ++pumps;
    });
    RunCommand(*state_, 1, "*0001234#");
    const std::string path = (folder_ / "a.qzdat").string();
    Open(1, services, path)->Press(CDataFileDialog::kDataSetting);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 192u * (1 + 7666));
    EXPECT_EQ(pumps, 7666);
    EXPECT_EQ(last_step, 7666);
    EXPECT_EQ(state_->data_file.name, "a.qzdat");

    RunCommand(*state_, 1, "*0009999#");
    Open(0, services, path)->Press(CDataFileDialog::kDataSetting);
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(RunCommandForResult(*state_, 1, "*000#").line.substr(0, 9), "000=1234c");
}

TEST_F(DataFileServicesTest, ABadFileShowsTheReadErrorAndChangesNothing) {
    StateDataFileServices services(*state_, {});
    const std::string path = (folder_ / "bad.qzdat").string();
    std::ofstream(path) << "*not a data file";
    RunCommand(*state_, 1, "*0009999#");
    Open(0, services, path)->Press(CDataFileDialog::kDataSetting);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, "\nファイルデータ取得エラー発生\n");
    EXPECT_EQ(RunCommandForResult(*state_, 1, "*000#").line.substr(0, 9), "000=9999c");
}

}  // namespace
}  // namespace qzs::app
