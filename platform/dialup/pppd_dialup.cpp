#include "platform/dialup/pppd_dialup.h"

#include <dirent.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>

#include "base/strings.h"

namespace plat {
namespace {

// pppd writes its log to this descriptor of its own.
constexpr int kLogFd = 3;

bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// A word of pppd's options file: double quotes, with backslash before '\' and '"'.
std::string OptionWord(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// pppd runs the connect line through a shell: every piece of it that we did not write ourselves
// is single-quoted.
std::string ShellWord(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

std::string RuntimeBase(const std::string& configured) {
    if (!configured.empty()) return configured;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run != nullptr && run[0] == '/') {
        struct stat st {};
        if (::stat(run, &st) == 0 && S_ISDIR(st.st_mode)) return run;
    }
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && tmp[0] == '/') return tmp;
    return "/tmp";
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A line of pppd's output without the blanks around it (and the CR of a CR LF end).
std::string_view Trim(std::string_view text) {
    return qzs::base::Trim(text, " \t\r");
}

}  // namespace

PppdDialUp::PppdDialUp(PppdOptions options) : options_(std::move(options)) {}

PppdDialUp::~PppdDialUp() {
    HangUp();
}

std::vector<std::string> PppdDialUp::ListEntries() const {
    std::vector<std::string> names;
    DIR* dir = ::opendir(options_.peers.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsPeerName(name)) continue;
        struct stat st {};
        if (::stat((options_.peers + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

int PppdDialUp::EntryCount() {
    std::vector<std::string> names = ListEntries();
    std::lock_guard<std::mutex> guard(mutex_);
    entries_ = std::move(names);
    return static_cast<int>(entries_.size());
}

std::string PppdDialUp::EntryName(int index) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return {};
    return entries_[static_cast<std::size_t>(index)];
}

pid_t PppdDialUp::child() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return running_ ? pid_ : 0;
}

int PppdDialUp::Dial(const DialRequest& request, int* dial) {
    std::string number;
    if (!NormaliseDialNumber(request.number, &number) || HasControl(request.user) ||
        HasControl(request.password)) {
        return kDialBadArgument;
    }
    const std::vector<std::string> names = ListEntries();
    if (std::find(names.begin(), names.end(), request.entry) == names.end()) return kDialNoEntry;

    std::unique_lock<std::mutex> lock(mutex_);
    if (running_) return kDialAlreadyDialling;
    if (reader_.joinable()) {
        // The previous dial has ended; its reader is finishing its last event.
        lock.unlock();
        reader_.join();
        lock.lock();
        if (running_) return kDialAlreadyDialling;
    }

    // The credentials go into a file only this user can read, in a folder only this user can
    // enter; pppd reads them from there, never from its command line.
    std::string folder = RuntimeBase(options_.runtime_dir) + "/qzs-dial-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) return kPppdNotStarted;
    const std::string path = folder + "/options";
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    auto remove_folder = [&] {
        ::unlink(path.c_str());
        ::rmdir(folder.c_str());
    };
    if (file < 0) {
        remove_folder();
        return kPppdNotStarted;
    }
    const std::string connect = options_.chat + " -v -f " +
                                ShellWord(options_.chatscripts + "/" + request.entry) + " -T " +
                                ShellWord(number);
    const std::string text = "user " + OptionWord(request.user) + "\npassword " +
                             OptionWord(request.password) + "\nconnect " + OptionWord(connect) +
                             "\n";
    const bool written = ::fchmod(file, 0600) == 0 && WriteAll(file, text);
    if (::close(file) != 0 || !written) {
        remove_folder();
        return kPppdNotStarted;
    }

    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        remove_folder();
        return kPppdNotStarted;
    }
    int log_write = pipe_fds[1];
    if (log_write == kLogFd) {
        // dup2 onto itself would leave close-on-exec set.
        log_write = ::fcntl(pipe_fds[1], F_DUPFD_CLOEXEC, 10);
        ::close(pipe_fds[1]);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, log_write, kLogFd);
    posix_spawn_file_actions_addclosefrom_np(&actions, kLogFd + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    // Its own process group: a Ctrl-C meant for us does not end the link behind our back.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    const std::string log_fd_text = std::to_string(kLogFd);
    std::vector<std::string> words = {options_.pppd, "call",      request.entry, "nodetach",
                                      "logfd",       log_fd_text, "file",        path};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    // pppd's messages are parsed in English; nothing of ours is handed down.
    std::string env_path = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
    std::string env_lang = "LC_ALL=C";
    char* envp[] = {env_path.data(), env_lang.data(), nullptr};

    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, options_.pppd.c_str(), &actions, &attributes, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(log_write);
    if (spawned != 0) {
        ::close(pipe_fds[0]);
        remove_folder();
        return kPppdNotStarted;
    }

    pid_ = pid;
    running_ = true;
    hung_up_ = false;
    connected_ = false;
    entry_ = request.entry;
    addresses_ = {};
    reason_.clear();
    options_dir_ = folder;
    const int this_dial = ++dial_;
    *dial = this_dial;
    reader_ = std::thread([this, fd = pipe_fds[0], this_dial] { Read(fd, this_dial); });
    return 0;
}

void PppdDialUp::Read(int fd, int dial) {
    // The first state at once: an error that follows always finds the dial under way.
    Emit({dial, kDialOpenPort, 0, 0});
    int last_status = kDialOpenPort;
    pid_t pid = 0;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        pid = pid_;
    }
    std::string pending;
    std::string last_line;
    bool authenticated = false;
    auto handle_line = [&](std::string_view line) {
        line = Trim(line);
        // pppd's last words before it ends say why a dial failed ("Connect script failed").
        if (!line.empty()) last_line = std::string(line.substr(0, 200));
        int status = -1;
        if (line.find("Serial connection established.") != std::string_view::npos) {
            status = kDialDeviceConnected;
        } else if (line.starts_with("Connect: ") && line.find("<-->") != std::string_view::npos) {
            status = kDialAllDevicesConnected;
        } else if (!authenticated &&
                   line.find("authentication succeeded") != std::string_view::npos) {
            authenticated = true;
            status = kDialAuthenticated;
        } else if (line.starts_with("local  IP address ") ||
                   line.starts_with("remote IP address ")) {
            const bool local = line[0] == 'l';
            const std::string address(Trim(line.substr(18)));
            std::lock_guard<std::mutex> guard(mutex_);
            (local ? addresses_.local : addresses_.remote) = address;
            if (!connected_ && !addresses_.local.empty() && !addresses_.remote.empty()) {
                connected_ = true;
                status = kDialConnected;
            }
        }
        if (status >= 0) {
            last_status = status;
            Emit({dial, status, 0, 0});
        }
    };
    auto take = [&](bool wait) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, wait ? 100 : 0) <= 0) return false;
        char buffer[1024];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return n == 0 ? false : errno == EINTR;
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end = 0;
        while ((end = pending.find('\n')) != std::string::npos) {
            handle_line(std::string_view(pending).substr(0, end));
            pending.erase(0, end + 1);
        }
        // A line that never ends must not grow without bound.
        if (pending.size() > 4096) pending.clear();
        return true;
    };
    bool open = true;
    while (true) {
        if (open) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) open = take(false) || (p.revents & POLLHUP) == 0;
        } else {
            ::poll(nullptr, 0, 50);
        }
        // Seen without being reaped, so that HangUp never signals a reused process number.
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid) {
            break;
        }
    }
    while (open && take(false)) {
    }
    ::close(fd);

    int status = 0;
    ::waitpid(pid, &status, 0);
    bool ours = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ours = hung_up_;
        running_ = false;
        connected_ = false;
        pid_ = 0;
        ::unlink((options_dir_ + "/options").c_str());
        ::rmdir(options_dir_.c_str());
        options_dir_.clear();
    }
    exited_.notify_all();
    int error = 0;
    int extended = 0;
    if (!ours) {
        if (WIFEXITED(status)) {
            extended = WEXITSTATUS(status);
            error = PppdExitError(extended);
        } else {
            extended = 128 + WTERMSIG(status);
            error = PppdExitError(5);
        }
    }
    if (error == 0) {
        Emit({dial, kDialDisconnected, 0, 0});
    } else {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            reason_ = last_line;
        }
        Emit({dial, last_status, error, extended});
    }
}

std::string PppdDialUp::LastReason() {
    std::lock_guard<std::mutex> guard(mutex_);
    return reason_;
}

int PppdDialUp::HangUp() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (running_) {
        hung_up_ = true;
        ::kill(pid_, SIGTERM);
        if (!exited_.wait_for(lock, std::chrono::milliseconds(options_.hangup_grace_ms),
                              [this] { return !running_; })) {
            ::kill(pid_, SIGKILL);
            exited_.wait(lock, [this] { return !running_; });
        }
    }
    lock.unlock();
    if (reader_.joinable() && reader_.get_id() != std::this_thread::get_id()) reader_.join();
    return 0;
}

int PppdDialUp::ActiveLinkCount() {
    std::set<std::string> up;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
            if (a->ifa_name != nullptr && std::strncmp(a->ifa_name, "ppp", 3) == 0 &&
                (a->ifa_flags & IFF_UP) != 0) {
                up.insert(a->ifa_name);
            }
        }
        ::freeifaddrs(list);
    }
    std::lock_guard<std::mutex> guard(mutex_);
    return static_cast<int>(up.size()) + (running_ && !connected_ ? 1 : 0);
}

bool PppdDialUp::Projection(const std::string& entry, LinkAddresses* out) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!connected_ || entry != entry_) return false;
    *out = addresses_;
    return true;
}

std::string PppdDialUp::ErrorText(int code) {
    return PppdErrorText(code);
}

void PppdDialUp::Subscribe(Listener listener) {
    std::lock_guard<std::mutex> guard(listener_mutex_);
    listener_ = std::move(listener);
}

void PppdDialUp::Unsubscribe() {
    std::lock_guard<std::mutex> guard(listener_mutex_);
    listener_ = nullptr;
}

void PppdDialUp::Emit(const DialEvent& event) {
    std::lock_guard<std::mutex> guard(listener_mutex_);
    if (listener_) listener_(event);
}

}  // namespace plat
