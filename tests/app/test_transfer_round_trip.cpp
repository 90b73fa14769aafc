// An image downloaded to the simulated main unit through the installer menu's roads (the whole
// data and the speed dial) and uploaded back into a fresh image gives the same image: the
// listings of every group, the speed-dial rows and the key sheet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/installer_menu.h"
#include "app/transfer_file_services.h"
#include "programming/state.h"
#include "settings/button_assignment.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"
#include "settings/key_sheet.h"
#include "settings/sheet_lines.h"
#include "settings/speed_dial.h"
#include "settings/speed_dial_lines.h"
#include "tests/app/app_test_support.h"
#include "tests/fixtures/main_unit/sim_main_unit.h"

namespace qzs::app {
namespace {

namespace fs = std::filesystem;

struct Image {
    std::map<std::string, std::string> listings;  // display by keys
    std::vector<SheetLine> speed_dial;
    std::vector<std::string> key_sheet;
};

Image Capture(ProgrammingState& state) {
    Image image;
    for (char g = '0'; g <= '9'; ++g) {
        ListCommandGroup(state, g);
        for (const SheetLine& line : CopySheetLines(state)) {
            image.listings[std::string(line.data(), kSheetKeyWidth)] =
                std::string(line.data() + kSheetDisplayColumn, kSheetDisplayWidth);
        }
    }
    BuildSystemSpeedDialLines(state, 0);
    image.speed_dial = CopySheetLines(state);
    BuildTelephoneSpeedDialLines(state, 101, 980);
    for (const SheetLine& line : CopySheetLines(state)) image.speed_dial.push_back(line);
    BuildKeySheet(state, kKeySheetKind);
    for (const SheetLine& line : CopyKeySheetLines(state)) {
        image.key_sheet.emplace_back(line.data(), kSheetPrintedColumn);
    }
    return image;
}

SpeedDialRecord Row(std::string_view number, std::string_view kana, std::string_view kanji) {
    SpeedDialRecord r;
    std::copy(number.begin(), number.end(), r.number.begin());
    std::copy(kana.begin(), kana.end(), r.kana.begin());
    std::copy(kanji.begin(), kanji.end(), r.kanji.begin());
    r.group = '2';
    return r;
}

void Change(ProgrammingState& state) {
    ApplicationLock::Guard guard(state.lock);
    RunSetupCommandList(state);  // what a main unit holds: a received *000 runs them first
    for (const char* command : {"*0005817#", "*00121#", "*71010114802#", "*08042#", "*93090512251#",
                                "*314311#", "*94000010000000001#", "*9419110#2#", "*8241001231#",
                                "*14105123#", "*6331011041#", "*10106#1#"}) {
        RunCommand(state, 1, command);
    }
    EXPECT_EQ(PutSystemSpeedDial(state, 3, Row("0312345678", "\xb1\xb2", "\x8a\xbf")), 1);
    EXPECT_EQ(PutTelephoneSpeedDial(state, 105, 990, Row("123#", "\xb3", "\x8e\x9a")), 1);
    for (const char* text : {"i92_101_05-B,25", "i92_110_02-G,3C", "i92_111_03-1,123",
                             "i14_102_816C_805", "i14_112_316F_137"}) {
        ApplyKeyAssignment(state, text, true);
    }
}

// One program: its application with the real file services, the session against a unit.
struct Program {
    testing::ScriptedMessages messages;
    testing::ScriptedRunner runner;
    std::unique_ptr<CDataSettingApp> app;
    std::unique_ptr<StateTransferFiles> files;

    Program() {
        ShellPorts ports;
        ports.messages = &messages;
        ports.runner = &runner;
        app = std::make_unique<CDataSettingApp>(std::move(ports));
        files = std::make_unique<StateTransferFiles>(app->state(), nullptr);
        app->set_transfer_files(files.get());
        app->InitInstance();  // the start directory; no window opens
        app->set_online_mode(1);
    }
    ~Program() { app->ExitInstance(); }

    // The menu's road of one transfer kind against a unit set up by its configuration.
    int Transfer(int kind, qzs::testing::UnitConfig config,
                 std::vector<std::pair<std::string, std::string>>* received = nullptr) {
        config.pc_port = qzs::testing::SimMainUnit::FreePort();
        qzs::testing::SimMainUnit unit(config);
        app->CreateSessionIfMissing();
        auto* session = dynamic_cast<net::CTransferSession*>(app->session());
        session->SetHost("127.0.0.1", unit.port());
        session->set_listening_port(config.pc_port);
        session->set_timings(net::TransferTimings::Fast());
        CInstallerMenuDialog menu(*app);
        menu.OnInit();
        const int result = menu.RunTransfer(kind);
        unit.Join();
        for (const std::string& error : unit.errors()) ADD_FAILURE() << error;
        if (received != nullptr) *received = unit.received();
        return result;
    }
};

TEST(TransferRoundTrip, DownloadedImageUploadsBackTheSame) {
    for (const char* firmware : {"5.00", "5.01", "1.00"}) {
        SCOPED_TRACE(firmware);
        char name[] = "/tmp/qzs-round-trip-XXXXXX";
        const fs::path dir = ::mkdtemp(name);
        const fs::path cwd = fs::current_path();
        qzs::testing::UnitConfig config;
        config.firmware = firmware;
        Image before;
        {
            fs::create_directories(dir / "a");
            fs::current_path(dir / "a");
            Program a;
            Change(a.app->state());
            before = Capture(a.app->state());
            std::vector<std::pair<std::string, std::string>> whole;
            std::vector<std::pair<std::string, std::string>> speed_dial;
            ASSERT_EQ(a.Transfer(2, config, &whole), 0);
            ASSERT_EQ(a.Transfer(4, config, &speed_dial), 0);
            // What the unit holds afterwards: the last body it took of every file.
            for (const auto& [file, body] : whole) config.bodies[file] = body;
            for (const auto& [file, body] : speed_dial) config.bodies[file] = body;
            EXPECT_EQ(config.bodies.size(), 12u);
        }
        Image after;
        {
            fs::create_directories(dir / "b");
            fs::current_path(dir / "b");
            Program b;
            config.password = "0000";  // a fresh image's password
            ASSERT_EQ(b.Transfer(1, config), 0);
            config.password = "5817";  // the received one
            ASSERT_EQ(b.Transfer(3, config), 0);
            after = Capture(b.app->state());
            EXPECT_TRUE(fs::exists(dir / "b" / "data-set.txt"));
        }
        fs::current_path(cwd);
        fs::remove_all(dir);

        EXPECT_EQ(after.listings, before.listings);
        EXPECT_EQ(before.speed_dial, after.speed_dial);
        EXPECT_EQ(before.key_sheet, after.key_sheet);
    }
}

// Every byte of the image's blocks.
std::vector<std::uint8_t> ImageBytes(ProgrammingState& state) {
    ApplicationLock::Guard guard(state.lock);
    std::vector<std::uint8_t> bytes;
    for (int b = 0; b < 180; ++b) {
        const auto block = state.image.Block(b);
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    return bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An upload applies nothing until every file has come whole: cut after any of its files, or
// given a file without one element of its kind, it leaves the image and the local files as they
// were. The same upload uncut changes both.
TEST(TransferRoundTrip, AnUploadCutAnywhereChangesNothing) {
    char name[] = "/tmp/qzs-staged-XXXXXX";
    const fs::path dir = ::mkdtemp(name);
    const fs::path cwd = fs::current_path();
    qzs::testing::UnitConfig config;
    {
        fs::create_directories(dir / "a");
        fs::current_path(dir / "a");
        Program a;
        Change(a.app->state());
        std::vector<std::pair<std::string, std::string>> whole, speed_dial;
        ASSERT_EQ(a.Transfer(2, config, &whole), 0);
        ASSERT_EQ(a.Transfer(4, config, &speed_dial), 0);
        for (const auto& [file, body] : whole) config.bodies[file] = body;
        for (const auto& [file, body] : speed_dial) config.bodies[file] = body;
    }
    fs::create_directories(dir / "b");
    fs::current_path(dir / "b");
    Program b;
    config.password = "0000";  // a fresh image's password
    std::map<std::string, std::string> local;
    for (const auto& [file, body] : config.bodies) {
        local[file] = "kept " + file + "\r\n";
        std::ofstream(dir / "b" / file, std::ios::binary) << local[file];
    }
    const std::vector<std::uint8_t> before = ImageBytes(b.app->state());
    const auto unchanged = [&] {
        EXPECT_TRUE(ImageBytes(b.app->state()) == before);
        for (const auto& [file, text] : local) EXPECT_EQ(ReadFile(dir / "b" / file), text) << file;
    };

    struct Cut {
        int kind;
        const char* file;
        qzs::testing::UnitFault fault;
    };
    std::vector<Cut> cuts;
    for (const char* file :
         {"dset-000.txt", "dset-100.txt", "dset-300.txt", "dset-500.txt", "dset-600.txt",
          "dset-700.txt", "dset-800.txt", "dset-9000.txt", "one-touch.txt", "nandemo.txt"}) {
        cuts.push_back({.kind = 1, .file = file, .fault = qzs::testing::UnitFault::kEarlyClose});
    }
    cuts.push_back({.kind = 1, .file = "nandemo.txt", .fault = qzs::testing::UnitFault::kBusy404});
    cuts.push_back(
        {.kind = 3, .file = "tel-tan.txt", .fault = qzs::testing::UnitFault::kEarlyClose});
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(std::to_string(cut.kind) + " " + cut.file);
        qzs::testing::UnitConfig faulty = config;
        faulty.fault = cut.fault;
        faulty.fault_file = cut.file;
        EXPECT_EQ(b.Transfer(cut.kind, faulty), -1);
        unchanged();
    }
    {
        SCOPED_TRACE("a file without its elements");
        qzs::testing::UnitConfig empty = config;
        empty.bodies["one-touch.txt"] = "<root></root>";
        EXPECT_EQ(b.Transfer(1, empty), -1);
        unchanged();
    }

    ASSERT_EQ(b.Transfer(1, config), 0);
    EXPECT_FALSE(ImageBytes(b.app->state()) == before);
    EXPECT_NE(ReadFile(dir / "b" / "dset-000.txt"), local["dset-000.txt"]);
    fs::current_path(cwd);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace qzs::app
