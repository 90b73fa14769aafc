// qzs-dial run as the program itself over the stand-in pppd: once the link is up, each of the
// signals that end a shell's programs takes the link down before the tool ends (the stand-in
// gone, its private options file and folder removed) and the tool says which signal it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class DialTool : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/qzs-dialtool-XXXXXX";
        root_ = ::mkdtemp(name);
        fs::create_directories(root_ / "peers");
        fs::create_directories(root_ / "run");
        std::ofstream(root_ / "peers" / "alpha") << "/dev/ttyS0\n";
        fs::create_symlink(QZS_STAND_IN_PPPD, root_ / "pppd");
        std::ofstream(root_ / "pppd.script") << "log Connect: ppp0 <--> /dev/ttyS0\n"
                                                "log local  IP address 10.1.1.2\n"
                                                "log remote IP address 10.1.1.1\n"
                                                "hold\n";
    }
    void TearDown() override {
        // A tool that failed to hang up must not leave its stand-in or itself behind.
        for (const pid_t pid : {pppd_, tool_}) {
            if (pid > 0 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
        }
        fs::remove_all(root_);
    }

    // Starts "qzs-dial dial alpha 03 --hold 600" with its own temporary folder; its output
    // comes through a pipe.
    void Start() {
        int out[2];
        ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<std::string> words = {QZS_DIAL,
                                          "--pppd",
                                          (root_ / "pppd").string(),
                                          "--peers",
                                          (root_ / "peers").string(),
                                          "dial",
                                          "alpha",
                                          "03",
                                          "--hold",
                                          "600"};
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        std::string tmpdir = "TMPDIR=" + (root_ / "run").string();
        std::string path = "PATH=/usr/bin:/bin";
        char* envp[] = {tmpdir.data(), path.data(), nullptr};
        ASSERT_EQ(::posix_spawn(&tool_, QZS_DIAL, &actions, nullptr, argv.data(), envp), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        output_ = out[0];
    }

    // Reads the tool's output until it holds the text or 10 s pass.
    bool ReadUntil(const std::string& text) {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (seen_.find(text) == std::string::npos && Clock::now() < deadline) {
            pollfd p{output_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buffer[512];
            const ssize_t n = ::read(output_, buffer, sizeof buffer);
            if (n <= 0) break;
            seen_.append(buffer, static_cast<std::size_t>(n));
        }
        return seen_.find(text) != std::string::npos;
    }

    // The tool's wait status once it ends, -1 when it runs on for 10 s.
    int Wait() {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (Clock::now() < deadline) {
            if (::waitpid(tool_, &status, WNOHANG) == tool_) {
                tool_ = 0;
                return status;
            }
            ::usleep(20000);
        }
        return -1;
    }

    fs::path root_;
    pid_t tool_ = 0;
    pid_t pppd_ = 0;
    int output_ = -1;
    std::string seen_;
};

TEST_F(DialTool, EachSignalHangsUpBeforeTheToolEnds) {
    const struct {
        const char* name;
        int signal;
    } cases[] = {
        {.name = "SIGINT", .signal = SIGINT},
        {.name = "SIGTERM", .signal = SIGTERM},
        {.name = "SIGHUP", .signal = SIGHUP},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        seen_.clear();
        Start();
        ASSERT_TRUE(ReadUntil("local=10.1.1.2 remote=10.1.1.1\n")) << seen_;
        // The stand-in's record: its process number and the options file it was given.
        std::ifstream in(root_ / "pppd.record");
        std::string options;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("pid ")) pppd_ = std::stoi(line.substr(4));
            if (line.starts_with("arg " + (root_ / "run").string())) options = line.substr(4);
        }
        ASSERT_GT(pppd_, 0);
        ASSERT_TRUE(fs::exists(options)) << options;
        ASSERT_EQ(::kill(pppd_, 0), 0) << "the link is up";

        ASSERT_EQ(::kill(tool_, c.signal), 0);
        const int status = Wait();
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal);
        EXPECT_TRUE(ReadUntil("status=8193 error=0 ext=0\n")) << seen_;
        EXPECT_EQ(::kill(pppd_, 0), -1) << "the stand-in pppd runs on";
        pppd_ = 0;
        EXPECT_FALSE(fs::exists(options));
        EXPECT_TRUE(fs::is_empty(root_ / "run"));
        ::close(output_);
    }
}

}  // namespace
