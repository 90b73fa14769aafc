// The dial-up layer: peer names and dialled numbers, the provider's error table, and the pppd
// back end against the stand-in pppd (statuses from its log, the credentials kept private,
// failures, hang-up and reaping).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dialup/dialup.h"
#include "platform/dialup/fake_dialup.h"
#include "platform/dialup/pppd_dialup.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

TEST(DialUp, PeerNames) {
    struct Row {
        const char* name;
        bool ok;
    } rows[] = {
        {"office", true},   {"link-2.modem", true}, {"with blank", true}, {"", false},
        {".hidden", false}, {"backup~", false},     {"a..b", false},      {"../etc", false},
        {"a/b", false},     {"tab\there", false},   {"\x7f", false},      {"kana\xb1", false},
    };
    for (const Row& row : rows) EXPECT_EQ(IsPeerName(row.name), row.ok) << row.name;
}

TEST(DialUp, DialledNumbers) {
    struct Row {
        const char* text;
        const char* number;  // null: refused
    } rows[] = {
        {"03", "03"},
        {"03    ", "03"},
        {"0312345678          ", "0312345678"},
        {" 0 3 ", "03"},
        {"*#0", "*#0"},
        {"12345678901234567890123456", "12345678901234567890123456"},
        {"123456789012345678901234567", nullptr},  // 27 characters
        {"", nullptr},
        {"      ", nullptr},
        {"03-1234", nullptr},
        {"03'; reboot", nullptr},
        {"0\t3", nullptr},
    };
    for (const Row& row : rows) {
        std::string out;
        EXPECT_EQ(NormaliseDialNumber(row.text, &out), row.number != nullptr) << row.text;
        if (row.number != nullptr) {
            EXPECT_EQ(out, row.number);
        }
    }
}

TEST(DialUp, ExitStatusesHaveNumbersAndTexts) {
    EXPECT_EQ(PppdExitError(0), 0);
    for (int status = 1; status <= 19; ++status) {
        const int code = PppdExitError(status);
        EXPECT_GE(code, 600) << status;
        EXPECT_LE(code, 999) << status;
        EXPECT_FALSE(PppdErrorText(code).empty()) << status;
    }
    EXPECT_EQ(PppdExitError(8), 676);
    EXPECT_EQ(PppdExitError(19), 691);
    EXPECT_EQ(PppdExitError(77), 699);
    EXPECT_FALSE(PppdErrorText(699).empty());
    EXPECT_FALSE(PppdErrorText(kPppdNotStarted).empty());
    EXPECT_TRUE(PppdErrorText(600).empty());
}

// Events as the listener receives them, with a wait for the one that ends a dial.
class Collector {
  public:
    void Attach(DialUpProvider& provider) {
        provider.Subscribe([this](const DialEvent& e) {
            std::lock_guard<std::mutex> guard(mutex_);
            events_.push_back(e);
            changed_.notify_all();
        });
    }
    bool WaitFor(const std::function<bool(const DialEvent&)>& match) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] {
            for (const DialEvent& e : events_) {
                if (match(e)) return true;
            }
            return false;
        });
    }
    bool WaitForEnd() {
        return WaitFor([](const DialEvent& e) { return e.error != 0 || e.status == 8193; });
    }
    std::vector<DialEvent> events() {
        std::lock_guard<std::mutex> guard(mutex_);
        return events_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<DialEvent> events_;
};

class PppdFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/qzs-dialup-XXXXXX";
        root_ = ::mkdtemp(name);
        fs::create_directories(root_ / "peers");
        fs::create_directories(root_ / "run");
        for (const char* peer : {"office", "branch", ".hidden", "old~"}) {
            std::ofstream(root_ / "peers" / peer) << "/dev/ttyS0\n115200\n";
        }
        fs::create_directories(root_ / "peers" / "folder");
        fs::create_symlink(QZS_STAND_IN_PPPD, root_ / "pppd");
        options_.pppd = (root_ / "pppd").string();
        options_.peers = (root_ / "peers").string();
        options_.runtime_dir = (root_ / "run").string();
        options_.hangup_grace_ms = 300;
    }
    void TearDown() override { fs::remove_all(root_); }

    void Script(const std::string& text) { std::ofstream(root_ / "pppd.script") << text; }
    std::string Record() {
        std::ifstream in(root_ / "pppd.record", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static DialRequest Request(const std::string& entry = "office") {
        return {entry, "03 1234 5678  ", "", "604817", "604817", ""};
    }

    fs::path root_;
    PppdOptions options_;
};

TEST_F(PppdFixture, EntriesArePeerFilesSorted) {
    PppdDialUp provider(options_);
    ASSERT_EQ(provider.EntryCount(), 2);
    EXPECT_EQ(provider.EntryName(0), "branch");
    EXPECT_EQ(provider.EntryName(1), "office");
    EXPECT_EQ(provider.EntryName(2), "");
    EXPECT_EQ(provider.EntryName(-1), "");
    options_.peers = (root_ / "missing").string();
    PppdDialUp none(options_);
    EXPECT_EQ(none.EntryCount(), 0);
}

TEST_F(PppdFixture, FullLogGivesStatusesProjectionAndKeepsCredentialsPrivate) {
    Script(
        "log Serial connection established.\n"
        "log Using interface ppp0\n"
        "log Connect: ppp0 <--> /dev/ttyS0\n"
        "log PAP authentication succeeded\n"
        "log CHAP authentication succeeded\n"
        "log local  IP address 10.64.64.2\n"
        "log remote IP address 10.64.64.1\n"
        "hold\n");
    PppdDialUp provider(options_);
    Collector events;
    events.Attach(provider);
    int dial = 0;
    ASSERT_EQ(provider.Dial(Request(), &dial), 0);
    EXPECT_GT(dial, 0);
    ASSERT_TRUE(events.WaitFor([](const DialEvent& e) { return e.status == 8192; }));
    LinkAddresses addresses;
    ASSERT_TRUE(provider.Projection("office", &addresses));
    EXPECT_EQ(addresses.local, "10.64.64.2");
    EXPECT_EQ(addresses.remote, "10.64.64.1");
    EXPECT_FALSE(provider.Projection("branch", &addresses));
    // A second dial while one is live is refused.
    int other = 0;
    EXPECT_EQ(provider.Dial(Request(), &other), kDialAlreadyDialling);

    const std::string record = Record();
    const pid_t pid = provider.child();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(provider.HangUp(), 0);
    ASSERT_TRUE(events.WaitForEnd());

    std::vector<int> statuses;
    for (const DialEvent& e : events.events()) {
        EXPECT_EQ(e.dial, dial);
        EXPECT_EQ(e.error, 0);
        statuses.push_back(e.status);
    }
    EXPECT_EQ(statuses, (std::vector<int>{0, 3, 4, 14, 8192, 8193}));

    // The command line and environment carry no credentials; the options file does, private.
    std::vector<std::string> args, env, options;
    std::string options_mode, folder_mode, fds;
    std::istringstream lines(record);
    for (std::string line; std::getline(lines, line);) {
        const std::string word = line.substr(0, line.find(' '));
        const std::string rest = line.substr(word.size() + 1);
        if (word == "arg") args.push_back(rest);
        if (word == "env") env.push_back(rest);
        if (word == "options") options.push_back(rest);
        if (word == "options-mode") options_mode = rest;
        if (word == "folder-mode") folder_mode = rest;
        if (word == "fd") fds += rest + " ";
    }
    ASSERT_EQ(args.size(), 8u);
    EXPECT_EQ(args[0], options_.pppd);
    EXPECT_EQ(std::vector<std::string>(args.begin() + 1, args.begin() + 6),
              (std::vector<std::string>{"call", "office", "nodetach", "logfd", "3"}));
    EXPECT_EQ(args[6], "file");
    EXPECT_TRUE(args[7].starts_with(options_.runtime_dir + "/qzs-dial-")) << args[7];
    for (const std::string& s : args) EXPECT_EQ(s.find("604817"), std::string::npos) << s;
    for (const std::string& s : env) EXPECT_EQ(s.find("604817"), std::string::npos) << s;
    EXPECT_EQ(options_mode, "600");
    EXPECT_EQ(folder_mode, "700");
    EXPECT_EQ(options, (std::vector<std::string>{
                           "user \"604817\"", "password \"604817\"",
                           "connect \"/usr/sbin/chat -v -f '/etc/chatscripts/office' -T "
                           "'0312345678'\""}));
    // Nothing of ours leaks into pppd but its three standard descriptors and the log.
    EXPECT_EQ(fds, "0 1 2 3 ");
    EXPECT_FALSE(fs::exists(args[7]));
    EXPECT_FALSE(fs::exists(fs::path(args[7]).parent_path()));
    EXPECT_EQ(::kill(pid, 0), -1);  // reaped: no such process, not even a zombie
}

TEST_F(PppdFixture, ScriptedFailuresGiveTheirNumbers) {
    struct Row {
        const char* script;
        std::vector<int> statuses;  // of every event
        int error;                  // of the last
        int extended;
        std::string reason = {};    // pppd's last line
    } rows[] = {
        {"log Connect script failed\nexit 8\n", {0, 0}, 676, 8, "Connect script failed"},
        {"log Serial connection established.\nlog Connect: ppp0 <--> /dev/ttyS0\nexit 19\n",
         {0, 3, 4, 4},
         691,
         19,
         "Connect: ppp0 <--> /dev/ttyS0"},
        {"exit 4\n", {0, 0}, 604, 4},
        {"exit 6\n", {0, 0}, 633, 6},
        {"exit 16\n", {0, 0}, 619, 16},
        {"exit 0\n", {0, 8193}, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.script);
        Script(row.script);
        PppdDialUp provider(options_);
        Collector events;
        events.Attach(provider);
        int dial = 0;
        ASSERT_EQ(provider.Dial(Request(), &dial), 0);
        ASSERT_TRUE(events.WaitForEnd());
        std::vector<int> statuses;
        for (const DialEvent& e : events.events()) statuses.push_back(e.status);
        EXPECT_EQ(statuses, row.statuses);
        EXPECT_EQ(events.events().back().error, row.error);
        EXPECT_EQ(events.events().back().extended, row.extended);
        EXPECT_EQ(provider.LastReason(), row.reason);
        EXPECT_TRUE(fs::is_empty(root_ / "run"));
        // The ended dial leaves room for the next.
        EXPECT_EQ(provider.ActiveLinkCount(), 0);
    }
}

TEST_F(PppdFixture, HangUpKillsWhatIgnoresTermAndReaps) {
    Script("ignore-term\nlog Serial connection established.\nhold\n");
    PppdDialUp provider(options_);
    Collector events;
    events.Attach(provider);
    int dial = 0;
    ASSERT_EQ(provider.Dial(Request("branch"), &dial), 0);
    // Its log line says that it ignores SIGTERM by now.
    ASSERT_TRUE(events.WaitFor([](const DialEvent& e) { return e.status == 3; }));
    // Still dialling: counted as a live link.
    EXPECT_EQ(provider.ActiveLinkCount(), 1);
    const pid_t pid = provider.child();
    const auto start = std::chrono::steady_clock::now();
    provider.HangUp();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(provider.child(), 0);
    EXPECT_EQ(::kill(pid, 0), -1);
    ASSERT_TRUE(events.WaitForEnd());
    EXPECT_EQ(events.events().back().status, 8193);
    EXPECT_EQ(events.events().back().error, 0);
    EXPECT_EQ(provider.ActiveLinkCount(), 0);
    EXPECT_TRUE(fs::is_empty(root_ / "run"));
}

TEST_F(PppdFixture, RefusedDialsStartNothing) {
    Script("hold\n");
    struct Row {
        const char* name;
        DialRequest request;
        bool missing_pppd;
        int answer;
    } rows[] = {
        {"bad number", {"office", "03-1234", "", "u", "p", ""}, false, kDialBadArgument},
        {"empty number", {"office", "   ", "", "u", "p", ""}, false, kDialBadArgument},
        {"unknown entry", {"nowhere", "03", "", "u", "p", ""}, false, kDialNoEntry},
        {"hidden entry", {".hidden", "03", "", "u", "p", ""}, false, kDialNoEntry},
        {"newline in password",
         {"office", "03", "", "u", "p\nplugin x.so", ""},
         false,
         kDialBadArgument},
        {"missing pppd", {"office", "03", "", "u", "p", ""}, true, kPppdNotStarted},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PppdOptions options = options_;
        if (row.missing_pppd) options.pppd = (root_ / "no-pppd").string();
        PppdDialUp provider(options);
        Collector events;
        events.Attach(provider);
        int dial = 0;
        EXPECT_EQ(provider.Dial(row.request, &dial), row.answer);
        EXPECT_EQ(provider.child(), 0);
        EXPECT_TRUE(events.events().empty());
        EXPECT_TRUE(fs::is_empty(root_ / "run"));
        EXPECT_FALSE(fs::exists(root_ / "pppd.record"));
    }
}

TEST_F(PppdFixture, DestroyingTheProviderHangsUp) {
    Script("hold\n");
    pid_t pid = 0;
    {
        PppdDialUp provider(options_);
        int dial = 0;
        ASSERT_EQ(provider.Dial(Request(), &dial), 0);
        pid = provider.child();
        ASSERT_GT(pid, 0);
    }
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_TRUE(fs::is_empty(root_ / "run"));
}

TEST(FakeDialUp, ScriptsAnswersAndEventsAndRecordsCalls) {
    FakeDialUp fake;
    fake.entries = {"a", "b"};
    fake.scripts.push_back({-2003, {}});
    fake.scripts.push_back({0, {{0, 0, 0, 0}, {0, 8192, 0, 0}}});
    std::vector<DialEvent> seen;
    fake.Subscribe([&](const DialEvent& e) { seen.push_back(e); });
    int dial = 0;
    EXPECT_EQ(fake.EntryCount(), 2);
    EXPECT_EQ(fake.Dial({"a", "03", "", "u", "p", ""}, &dial), -2003);
    EXPECT_EQ(fake.Dial({"a", "03", "", "u", "p", ""}, &dial), 0);
    EXPECT_EQ(fake.ActiveLinkCount(), 1);
    EXPECT_EQ(fake.Deliver(), 2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].dial, dial);
    fake.HangUp();
    EXPECT_EQ(fake.ActiveLinkCount(), 0);
    EXPECT_EQ(fake.Calls(), (std::vector<std::string>{"EntryCount", "Dial a 03  u p ",
                                                      "Dial a 03  u p ", "HangUp"}));
}

}  // namespace
}  // namespace plat
