// qzs-keypad --transfer-in applies the files of a folder as a run of the program applies those it
// received: all of them read and checked first, then applied together. A good set changes the
// image and replaces the local files; one refused file, wherever it stands, leaves the image and
// every local file as they were and names itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "app/transfer_file_services.h"
#include "net/transfer_files.h"
#include "programming/data_image.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "tools/keypad_console.h"

namespace qzs::app {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

constexpr std::string_view kNotWellFormed = "<root><h000>1</h00";
constexpr std::string_view kNoElement = "<root><zzz>1</zzz></root>\n";

struct Spoilt {
    const char* file;          // the file spoilt, in the order the tool takes them
    std::string_view content;  // what it holds instead
    const char* message;       // TransferIn's answer, the tool's line after "DIR: "
};

constexpr Spoilt kSpoilt[] = {
    {.file = "dset-000.txt", .content = kNoElement,
     .message = "dset-000.txt holds no element of its kind"},
    {.file = "dset-100.txt", .content = kNotWellFormed,
     .message = "dset-100.txt is not well-formed"},
    {.file = "dset-300.txt", .content = kNoElement,
     .message = "dset-300.txt holds no element of its kind"},
    {.file = "dset-500.txt", .content = kNotWellFormed,
     .message = "dset-500.txt is not well-formed"},
    {.file = "dset-600.txt", .content = kNoElement,
     .message = "dset-600.txt holds no element of its kind"},
    {.file = "dset-700.txt", .content = kNotWellFormed,
     .message = "dset-700.txt is not well-formed"},
    {.file = "dset-800.txt", .content = kNoElement,
     .message = "dset-800.txt holds no element of its kind"},
    {.file = "dset-9000.txt", .content = kNotWellFormed,
     .message = "dset-9000.txt is not well-formed"},
    {.file = "sys-tan.txt", .content = kNoElement,
     .message = "sys-tan.txt holds no element of its kind"},
    {.file = "tel-tan.txt", .content = kNotWellFormed,
     .message = "tel-tan.txt is not well-formed"},
    {.file = "one-touch.txt", .content = kNoElement,
     .message = "one-touch.txt holds no element of its kind"},
    {.file = "nandemo.txt", .content = kNotWellFormed,
     .message = "nandemo.txt is not well-formed"},
};

class KeypadTransferIn : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/qzs-keypad-transfer-in-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        cwd_ = fs::current_path();
        // The set a main unit would send: an image with values in several groups, both phone
        // books and the buttons.
        fs::create_directories(dir_ / "a");
        fs::current_path(dir_ / "a");
        tools::KeypadConsole a("test");
        {
            ApplicationLock::Guard guard(a.state().lock);
            for (const char* command : {"*0001234#", "*08042#", "*314311#", "*6331011041#",
                                        "*950210103#", "*14105123#", "*71010114802#"}) {
                ASSERT_EQ(RunCommandForResult(a.state(), 1, command).result,
                          CommandResult::kStored)
                    << command;
            }
        }
        ASSERT_EQ(tools::TransferOut(a.transfer_files(), (dir_ / "good").string(),
                                     net::FirmwareFlagsOf("5.01")),
                  "");
        ASSERT_EQ(Names(dir_ / "good").size(), std::size(kSpoilt));
    }
    void TearDown() override {
        fs::current_path(cwd_);
        fs::remove_all(dir_);
    }

    // A program in a folder of its own whose local files hold "old NAME".
    fs::path Receiver(const std::string& name) {
        const fs::path folder = dir_ / name;
        fs::create_directories(folder);
        for (const Spoilt& s : kSpoilt) std::ofstream(folder / s.file) << "old " << s.file;
        return folder;
    }

    fs::path dir_;
    fs::path cwd_;
};

TEST_F(KeypadTransferIn, AGoodSetIsAppliedWhole) {
    const fs::path folder = Receiver("whole");
    fs::current_path(folder);
    tools::KeypadConsole c("test");
    const auto before = std::make_unique<DataImage>(c.state().image);
    EXPECT_EQ(tools::TransferIn(c.transfer_files(), (dir_ / "good").string(),
                                net::FirmwareFlagsOf("5.01")),
              "");
    EXPECT_NE(std::memcmp(before.get(), &c.state().image, sizeof(DataImage)), 0);
    for (const Spoilt& s : kSpoilt) {
        EXPECT_FALSE(Read(folder / s.file).starts_with("old ")) << s.file;
    }
    EXPECT_EQ(Names(folder).size(), std::size(kSpoilt));  // no temporary left
}

TEST_F(KeypadTransferIn, OneRefusedFileAnywhereChangesNothing) {
    for (const Spoilt& s : kSpoilt) {
        SCOPED_TRACE(s.file);
        const fs::path sent = dir_ / (std::string("sent-") + s.file);
        fs::copy(dir_ / "good", sent);
        std::ofstream(sent / s.file, std::ios::trunc) << s.content;
        const fs::path folder = Receiver(std::string("in-") + s.file);
        fs::current_path(folder);
        tools::KeypadConsole c("test");
        const auto before = std::make_unique<DataImage>(c.state().image);
        EXPECT_EQ(tools::TransferIn(c.transfer_files(), sent.string(),
                                    net::FirmwareFlagsOf("5.01")),
                  s.message);
        EXPECT_EQ(std::memcmp(before.get(), &c.state().image, sizeof(DataImage)), 0);
        for (const Spoilt& local : kSpoilt) {
            EXPECT_EQ(Read(folder / local.file), std::string("old ") + local.file);
        }
        EXPECT_EQ(Names(folder).size(), std::size(kSpoilt));
    }
}

}  // namespace
}  // namespace qzs::app
