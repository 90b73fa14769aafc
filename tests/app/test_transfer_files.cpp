// The transfer's file services over a data image: the password the PC takes from the listing of
// command group 0, checked against the simulated main unit, the phone-book files written in the
// main unit's column order before a speed-dial download, and the header of a received file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/transfer_file_services.h"
#include "net/transfer_session.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"
#include "tests/fixtures/main_unit/sim_main_unit.h"
#include "tests/net/fake_transfer_files.h"

namespace qzs::app {
namespace {

namespace fs = std::filesystem;

// The state's services with the converters of the test double.
class StateFilesWithFakeConverters : public StateTransferFiles {
  public:
    using StateTransferFiles::StateTransferFiles;
    qzs::testing::FakeTransferFiles fake;

    int WriteDataSetFile(int g, const std::string& f, int p, int v) override {
        return fake.WriteDataSetFile(g, f, p, v);
    }
    int MakeKeySheetFiles(const std::string& a, const std::string& b, int c, int d,
                          int e) override {
        return fake.MakeKeySheetFiles(a, b, c, d, e);
    }
    int MakeSysTanXml(std::FILE* s, std::FILE* t, int v) override {
        return fake.MakeSysTanXml(s, t, v);
    }
    int MakeTelTanXml(std::FILE* s, std::FILE* t, int v) override {
        return fake.MakeTelTanXml(s, t, v);
    }
    int ConvertSysTanXml(const std::vector<std::string>& e, std::FILE* f, int v) override {
        return fake.ConvertSysTanXml(e, f, v);
    }
    int ConvertTelTanXml(const std::vector<std::string>& e, std::FILE* f, int v) override {
        return fake.ConvertTelTanXml(e, f, v);
    }
    int ApplyOneTouchXml(const std::vector<std::string>& e, std::FILE* f) override {
        return fake.ApplyOneTouchXml(e, f);
    }
    int ApplyNandemoXml(const std::vector<std::string>& e, std::FILE* f, int v) override {
        return fake.ApplyNandemoXml(e, f, v);
    }
    int ApplyDsetElement(int n, const std::string& t, std::FILE* f, int v) override {
        return fake.ApplyDsetElement(n, t, f, v);
    }
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(StateTransferFiles, PasswordOfTheImageAgainstTheMainUnit) {
    struct Row {
        const char* name;
        const char* command;  // typed before the transfer; empty for none
        const char* unit_password;
        int result;
    };
    const Row rows[] = {
        {"a fresh image has 0000", "", "0000", 0},
        {"a stored password", "*0001234#", "1234", 0},
        {"another one on the unit", "", "5817", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto state = std::make_unique<ProgrammingState>();
        InitDataImage(*state);
        if (*row.command != '\0') {
            ApplicationLock::Guard guard(state->lock);
            RunCommand(*state, 1, row.command);
        }
        char dir_name[] = "/tmp/qzs-transfer-files-XXXXXX";
        const fs::path dir = ::mkdtemp(dir_name);
        StateFilesWithFakeConverters files(*state, nullptr);
        // The road before a speed-dial download: both phone books in the main unit's order.
        EXPECT_EQ(files.SaveDataFile(1, dir.string() + "/", "sys-tan.txt", 1), 0);
        EXPECT_EQ(files.SaveDataFile(2, dir.string() + "/", "tel-tan.txt", 1), 0);
        EXPECT_EQ(state->data_file.transfer_csv_layout, 0);

        qzs::testing::UnitConfig config;
        config.password = row.unit_password;
        config.pc_port = qzs::testing::SimMainUnit::FreePort();
        qzs::testing::SimMainUnit unit(config);
        std::vector<std::string> shown;
        net::TransferPorts ports;
        ports.show_error = [&](std::string_view text) { shown.emplace_back(text); };
        net::CTransferSession session(&files, ports, net::TransferTimings::Fast());
        session.SetHost("127.0.0.1", unit.port());
        session.set_listening_port(config.pc_port);
        session.SetDataFolder(dir.string());
        EXPECT_EQ(session.DownloadSpeedDial(), row.result);
        unit.Join();
        EXPECT_TRUE(unit.errors().empty());
        if (row.result == 0) {
            ASSERT_EQ(unit.received().size(), 3u);
            // The system phone book with the kanji name before the kana name, as the unit reads.
            const std::string head =
                "\x92\x5A\x8F\x6B\x94\xD4\x8D\x86,\x93\x64\x98\x62\x94\xD4"
                "\x8D\x86,\x8A\xBF\x8E\x9A\x96\xBC\x8F\xCC";
            EXPECT_NE(unit.received()[0].second.find(head), std::string::npos);
            EXPECT_EQ(unit.received()[0].second,
                      "<root>\n<systan>" + ReadFile(dir / "sys-tan.txt") + "</systan>\n</root>\n");
            EXPECT_TRUE(shown.empty());
        } else {
            EXPECT_EQ(shown, std::vector<std::string>{"パスワードエラーです。"});
        }
        fs::remove_all(dir);
    }
}

TEST(StateTransferFiles, HeaderOfAReceivedFileCarriesTheUserInformation) {
    auto state = std::make_unique<ProgrammingState>();
    InitDataImage(*state);
    std::snprintf(state->user_information.user_name.data(), 25, "%s", "KORVA");
    std::snprintf(state->user_information.memo.data(), 73, "%s", "memo");
    StateFilesWithFakeConverters files(*state, nullptr);
    const std::string header = files.DataFileHeader();
    ASSERT_EQ(header.size(), 12u + 1 + 24 + 1 + 24 + 1 + 16 + 6 + 2 + 1 + 24 + 1 + 72 + 5 + 2);
    EXPECT_EQ(header.substr(12, 26), ",KORVA                   ,");
    EXPECT_EQ(header.substr(header.size() - 80), ",memo" + std::string(68, ' ') + ",    \r\n");
}

}  // namespace
}  // namespace qzs::app
