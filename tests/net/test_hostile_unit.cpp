// A hostile main unit against the program's transfer lines (qzs-keypad with the shortened waits):
// a unit that trickles its bytes, sends header lines without end, a body without end, or resets
// the connection in the middle of a file. Each transfer ends within its exchange deadline with
// the message the transfer gives for it, and the line answers -1.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "net/transfer_session.h"
#include "tests/fixtures/main_unit/sim_main_unit.h"
#include "tests/net/net_test_support.h"

namespace qzs::net {
namespace {

namespace fs = std::filesystem;
using testing::SimMainUnit;
using testing::UnitConfig;
using testing::UnitFault;

constexpr const char* kTimeout = "[エラー] 主装置との接続がタイムアウトしました。\n";
constexpr const char* kBadHead = "[エラー] 受信データのヘッダが異常です。\n";
constexpr const char* kCommunication = "[エラー] 通信エラーが発生しました。\n";

TEST(HostileMainUnit, EveryTransferEndsWithinItsDeadline) {
    struct Row {
        const char* name;
        const char* line;
        UnitFault fault;
        const char* fault_file;
        const char* message;  // what the transfer shows before the menu's communication error
    };
    const Row rows[] = {
        {.name = "connection.xml trickled",
         .line = "UPLOAD",
         .fault = UnitFault::kTrickle,
         .fault_file = "",
         .message = kTimeout},
        {.name = "connection.xml with header lines without end",
         .line = "SDUPLOAD",
         .fault = UnitFault::kEndlessHeaders,
         .fault_file = "",
         .message = kBadHead},
        {.name = "connection.xml with a body without end",
         .line = "DOWNLOAD",
         .fault = UnitFault::kHugeBody,
         .fault_file = "",
         .message = kTimeout},
        {.name = "the answer for a fetched file trickled",
         .line = "UPLOAD",
         .fault = UnitFault::kTrickle,
         .fault_file = "dset-000.txt",
         .message = kTimeout},
        {.name = "the answer for a fetched file with header lines without end",
         .line = "SDUPLOAD",
         .fault = UnitFault::kEndlessHeaders,
         .fault_file = "sys-tan.txt",
         .message = ""},
        {.name = "a fetched file of 1 GiB",
         .line = "UPLOAD",
         .fault = UnitFault::kHugeBody,
         .fault_file = "dset-000.txt",
         .message = ""},
        {.name = "a fetched file reset half way",
         .line = "SDUPLOAD",
         .fault = UnitFault::kReset,
         .fault_file = "sys-tan.txt",
         .message = ""},
        {.name = "the unit's request for the file list trickled",
         .line = "DOWNLOAD",
         .fault = UnitFault::kTrickle,
         .fault_file = "file_list.xml",
         .message = ""},
        {.name = "the unit's request for a file with header lines without end",
         .line = "SDDOWNLOAD",
         .fault = UnitFault::kEndlessHeaders,
         .fault_file = "sys-tan.txt",
         .message = ""},
        {.name = "the unit resets while a file is served",
         .line = "SDDOWNLOAD",
         .fault = UnitFault::kReset,
         .fault_file = "sys-tan.txt",
         .message = ""},
    };
    const auto deadline = std::chrono::milliseconds(TransferTimings::Fast().exchange_deadline_ms);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        char name[] = "/tmp/qzs-hostile-XXXXXX";
        const fs::path dir = ::mkdtemp(name);
        UnitConfig config;
        config.fault = row.fault;
        config.fault_file = row.fault_file;
        config.pc_port = SimMainUnit::FreePort();
        config.password = "0000";  // what a fresh image of the console holds (*000)
        for (const char* file : {"dset-000.txt", "sys-tan.txt", "tel-tan.txt"}) {
            config.bodies[file] = "<?xml version=\"1.0\"?><root></root>";
        }
        SimMainUnit unit(config);
        const std::string command = "cd '" + dir.string() + "' && printf '" + row.line +
                                    "\\n' | timeout 60 " QZS_KEYPAD " --fast --unit 127.0.0.1:" +
                                    std::to_string(unit.port()) + ":" +
                                    std::to_string(config.pc_port) + " >out 2>err";
        // The tool's own start and end (under the sanitizers, on a loaded machine, a second or
        // more) are measured apart, with no transfer, and left out of what the deadline bounds.
        const std::string idle = "cd '" + dir.string() + "' && printf '' | timeout 60 " QZS_KEYPAD
                                 " --fast >/dev/null 2>&1";
        const auto idle_start = std::chrono::steady_clock::now();
        EXPECT_EQ(std::system(idle.c_str()), 0);
        const auto start_and_end = std::chrono::steady_clock::now() - idle_start;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(std::system(command.c_str()), 0);
        const auto took = std::chrono::steady_clock::now() - start - start_and_end;
        unit.Join();
        // A deadline started again on every read would take at least twice as long.
        EXPECT_LT(took, deadline + std::chrono::milliseconds(1500));
        EXPECT_EQ(ReadFile(dir / "out"), std::string(row.line) + "=-1\n");
        // The error messages only: the menu's question whether to start comes before them.
        const std::string err = ReadFile(dir / "err");
        std::string errors;
        for (std::size_t at = err.find("[エラー]"); at != std::string::npos;
             at = err.find("[エラー]", at + 1)) {
            errors += err.substr(at, err.find('\n', at) + 1 - at);
        }
        EXPECT_EQ(errors, std::string(row.message) + kCommunication);
        fs::remove_all(dir);
    }
}

}  // namespace
}  // namespace qzs::net
