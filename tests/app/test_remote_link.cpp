// One remote transfer end to end over a link between two network namespaces: the PC's side (the
// dial dialog and the real transfer session) in one, the simulated main unit in the other,
// joined by a veth pair that stands in for the PPP link, both ports 9000 as over a real link.
// The dial-up provider is the fake, reporting the pair's addresses. Needs root (as in CI).
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/application.h"
#include "app/dial_dialog.h"
#include "platform/dialup/fake_dialup.h"
#include "settings/data_image_startup.h"
#include "tests/app/app_test_support.h"
#include "tests/fixtures/main_unit/sim_main_unit.h"
#include "tests/net/fake_transfer_files.h"

namespace qzs::app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUnitAddress = "10.213.0.1";
constexpr const char* kPcAddress = "10.213.0.2";

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A flag one thread raises and another waits for.
class Gate {
  public:
    void Open(bool ok) {
        std::lock_guard<std::mutex> guard(mutex_);
        open_ = true;
        ok_ = ok;
        changed_.notify_all();
    }
    bool Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return open_; });
        return ok_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    bool ok_ = false;
};

TEST(RemoteLink, SpeedDialUploadOverALinkBetweenNamespaces) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for network namespaces";
    char name[] = "/tmp/qzs-remote-link-XXXXXX";
    const fs::path dir = ::mkdtemp(name);
    const fs::path cwd = fs::current_path();
    fs::current_path(dir);

    Gate unit_thread_ready, link_made, unit_ready, transfer_done;
    pid_t unit_tid = 0;
    std::vector<std::string> unit_errors;
    std::size_t unit_log_size = 0;

    // The main unit's side: its own namespace, its end of the link, the simulated unit on 9000.
    std::thread unit_side([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            unit_thread_ready.Open(false);
            return;
        }
        unit_tid = static_cast<pid_t>(::syscall(SYS_gettid));
        unit_thread_ready.Open(true);
        if (!link_made.Wait()) return;
        const bool up = Shell(std::string("ip link set lo up && ip addr add ") + kUnitAddress +
                              "/30 dev qzs-unit && ip link set qzs-unit up");
        if (!up) {
            unit_ready.Open(false);
            return;
        }
        qzs::testing::UnitConfig config;
        config.listen_host = kUnitAddress;
        config.listen_port = 9000;
        config.pc_host = kPcAddress;
        config.pc_port = 9000;
        config.host_name = kUnitAddress;
        config.bodies["sys-tan.txt"] = "<root><systan>0,123</systan></root>";
        config.bodies["tel-tan.txt"] = "<root><teltan>980,1</teltan></root>";
        qzs::testing::SimMainUnit unit(config);
        unit_ready.Open(unit.port() == 9000);
        transfer_done.Wait();
        unit.Join();
        unit_errors = unit.errors();
        unit_log_size = unit.log().size();
    });

    // The PC's side runs on a thread of its own in a namespace of its own.
    std::thread pc_side([&] {
        if (!unit_thread_ready.Wait() || ::unshare(CLONE_NEWNET) != 0) {
            link_made.Open(false);
            transfer_done.Open(false);
            ADD_FAILURE() << "no network namespace";
            return;
        }
        const bool made =
            Shell(std::string("ip link set lo up && ip link add qzs-pc type veth peer "
                              "name qzs-unit && ip link set qzs-unit netns ") +
                  std::to_string(unit_tid) + " && ip addr add " + kPcAddress +
                  "/30 dev qzs-pc && ip link set qzs-pc up");
        link_made.Open(made);
        if (!made || !unit_ready.Wait()) {
            transfer_done.Open(false);
            ADD_FAILURE() << "the link could not be made";
            return;
        }
        for (int i = 0; i < 100 && !Shell("ip link show qzs-pc | grep -q LOWER_UP"); ++i) {
            ::usleep(20000);
        }

        testing::ScriptedMessages messages;
        testing::ScriptedRunner runner;
        qzs::testing::FakeTransferFiles files;
        plat::FakeDialUp dialup;
        std::deque<std::function<void()>> posted;
        ShellPorts ports;
        ports.messages = &messages;
        ports.runner = &runner;
        ports.transfer_files = &files;
        ports.dialup = &dialup;
        ports.post = [&posted](std::function<void()> work) { posted.push_back(std::move(work)); };
        CDataSettingApp app(std::move(ports));
        app.InitInstance();  // the start directory; the runner opens no menu
        app.CreateSessionIfMissing();
        auto* session = dynamic_cast<net::CTransferSession*>(app.session());
        ASSERT_NE(session, nullptr);
        session->set_timings(net::TransferTimings::Fast());
        UserInformation& info = app.state().user_information;
        std::copy_n("03", 2, info.area_code.begin());
        std::copy_n("12345678", 8, info.telephone_number.begin());
        dialup.entries = {"main-unit"};
        dialup.addresses = {kPcAddress, kUnitAddress};
        dialup.threaded = true;
        dialup.scripts.push_back(
            {0, {{0, 0, 0, 0}, {0, 3, 0, 0}, {0, 4, 0, 0}, {0, 14, 0, 0}, {0, 8192, 0, 0}}});

        CDialDialog dial(app, dialup, 3);
        dial.set_pump_pause_ms(1);
        dial.OnInit();
        dial.Press(CDialDialog::kDial);
        dialup.Join();
        while (!posted.empty()) {
            auto work = std::move(posted.front());
            posted.pop_front();
            work();
        }
        transfer_done.Open(true);
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_EQ(messages.shown.back().text,
                  "\nリモート短縮データアップロードが正常に終了しました。\n");
        EXPECT_EQ(session->host(), kUnitAddress);
        EXPECT_EQ(session->port(), 9000);
        EXPECT_EQ(session->listening_port(), 9000);
        EXPECT_EQ(dialup.HangUpCount(), 1);
        EXPECT_NE(std::find(files.calls.begin(), files.calls.end(), "LoadDataFile 1 sys-tan.txt 1"),
                  files.calls.end());
        EXPECT_NE(std::find(files.calls.begin(), files.calls.end(), "LoadDataFile 2 tel-tan.txt 1"),
                  files.calls.end());
    });
    pc_side.join();
    unit_side.join();
    fs::current_path(cwd);
    fs::remove_all(dir);
    EXPECT_TRUE(unit_errors.empty()) << (unit_errors.empty() ? "" : unit_errors.front());
    EXPECT_GT(unit_log_size, 0u);
}

}  // namespace
}  // namespace qzs::app
