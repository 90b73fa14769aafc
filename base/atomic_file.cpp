#include "base/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace qzs::base {
namespace {

constexpr std::string_view kTemporaryMark = ".qzs~";
constexpr std::size_t kUniqueLength = 6;
constexpr int kNameAttempts = 100;

struct SplitPath {
    std::string folder;  // "." for a bare name
    std::string name;
};

SplitPath Split(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

std::string Unique() {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string out;
    for (std::size_t i = 0; i < kUniqueLength; ++i) {
        out.push_back(kChars[random() % (sizeof kChars - 1)]);
    }
    return out;
}

// A new file of a unique name: prefix, six characters, suffix; made with 0666 so that the umask
// alone sets its mode. Answers the descriptor or -1 with errno set.
int CreateUnique(const std::string& prefix, std::string_view suffix, std::string* path) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        *path = prefix + Unique() + std::string(suffix);
        const int fd = ::open(path->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A stdio stream whose writes go through WriteAll on fd, keeping the errno of the first failed
// write in *error (stdio itself keeps only a flag). Closing the stream leaves fd open.
struct StreamSink {
    int fd;
    int* error;
};

ssize_t SinkWrite(void* cookie, const char* data, std::size_t size) {
    const StreamSink* sink = static_cast<const StreamSink*>(cookie);
    if (WriteAll(sink->fd, data, size)) return static_cast<ssize_t>(size);
    if (*sink->error == 0) *sink->error = errno != 0 ? errno : EIO;
    return 0;
}

int SinkClose(void* cookie) {
    delete static_cast<StreamSink*>(cookie);
    return 0;
}

std::FILE* OpenSinkStream(int fd, int* error) {
    auto* sink = new StreamSink{fd, error};
    std::FILE* stream = ::fopencookie(sink, "wb", {nullptr, SinkWrite, nullptr, SinkClose});
    if (stream == nullptr) {
        delete sink;
        if (*error == 0) *error = errno != 0 ? errno : ENOMEM;
    }
    return stream;
}

// Flushes and closes a sink stream; false when anything written through it failed.
bool CloseSinkStream(std::FILE* stream) {
    const bool flushed = std::fflush(stream) == 0 && std::ferror(stream) == 0;
    return std::fclose(stream) == 0 && flushed;
}

// Removes the temporaries of earlier saves of this target whose writers are gone: a live writer
// holds its temporary locked, so a file whose lock can be taken belongs to nobody.
void RemoveAbandoned(const SplitPath& where, const std::string& own_prefix_name) {
    DIR* dir = ::opendir(where.folder.c_str());
    if (dir == nullptr) return;
    const int dir_fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() != own_prefix_name.size() + kUniqueLength ||
            !name.starts_with(own_prefix_name)) {
            continue;
        }
        const int fd =
            ::openat(dir_fd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(dir_fd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
}

// The name still names the file the descriptor is open on.
bool StillNamed(int fd, const std::string& path) {
    struct stat open_info {
    }, named_info{};
    return ::fstat(fd, &open_info) == 0 && ::lstat(path.c_str(), &named_info) == 0 &&
           open_info.st_dev == named_info.st_dev && open_info.st_ino == named_info.st_ino;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // The rename is already done; a folder that cannot be synced loses nothing that a crash
    // of the machine would not.
    (void)::fsync(fd);
    ::close(fd);
}

int Rename(const std::string& from, const std::string& to, AtomicFile::Replace replace) {
    if (replace == AtomicFile::Replace::kAlways) {
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the no-replace rename: a hard link fails on an existing target too.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

bool IsDiskFull(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

bool CheckedWriter::Fail(int error) {
    if (error_ == 0) error_ = error != 0 ? error : EIO;
    return false;
}

bool CheckedWriter::Write(const void* data, std::size_t size) {
    if (error_ != 0) return false;
    if (fd_ < 0) return Fail(EBADF);
    if (stream_ != nullptr) {
        if (size > 0 && std::fwrite(data, 1, size, stream_) != size) return Fail(errno);
        return true;
    }
    return WriteAll(fd_, data, size) || Fail(errno);
}

std::FILE* CheckedWriter::Stream() {
    if (stream_ == nullptr && fd_ >= 0 && error_ == 0) stream_ = OpenSinkStream(fd_, &error_);
    return stream_;
}

bool CheckedWriter::CloseStream() {
    if (stream_ == nullptr) return true;
    const bool closed = CloseSinkStream(stream_);
    stream_ = nullptr;
    return closed || Fail(EIO);
}

AtomicFile::AtomicFile(std::string target, Replace replace)
    : target_(std::move(target)), replace_(replace) {}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Open() {
    if (fd_ >= 0 || error_ != 0) return Fail(EBUSY);
    const SplitPath where = Split(target_);
    if (where.name.empty() || where.name == "." || where.name == "..") return Fail(EISDIR);
    const std::string own_name = "." + where.name + std::string(kTemporaryMark);
    const std::string prefix = (where.folder == "/" ? "/" : where.folder + "/") + own_name;
    RemoveAbandoned(where, own_name);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const int fd = CreateUnique(prefix, {}, &temporary_);
        if (fd < 0) {
            temporary_.clear();
            return Fail(errno);
        }
        // Between its creation and this lock another save's clean-up may have taken the file
        // for abandoned and removed it: then a new one is made.
        if (::flock(fd, LOCK_EX) == 0 && StillNamed(fd, temporary_)) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
    }
    temporary_.clear();
    return Fail(EAGAIN);
}

bool AtomicFile::Commit() {
    if (fd_ < 0) {
        Discard();
        return Fail(EBADF);
    }
    CloseStream();
    if (error_ == 0 && ::fsync(fd_) != 0) Fail(errno);
    if (error_ == 0) {
        // Renamed while the lock is still held, so no clean-up can take the file before.
        if (const int renamed = Rename(temporary_, target_, replace_); renamed != 0) {
            Fail(renamed);
        } else {
            temporary_.clear();
        }
    }
    // The data are synced; a close that fails after that loses nothing.
    ::close(fd_);
    fd_ = -1;
    if (error_ != 0) {
        Discard();
        return false;
    }
    SyncFolder(Split(target_).folder);
    return true;
}

void AtomicFile::Discard() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

int WriteFileAtomically(const std::string& target, std::string_view bytes,
                        AtomicFile::Replace replace) {
    AtomicFile file(target, replace);
    if (file.Open() && file.Write(bytes) && file.Commit()) return 0;
    return file.error();
}

int CommitStagedFile(const std::string& staged, const std::string& target) {
    int error = 0;
    const int fd = ::open(staged.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
    } else {
        if (::fsync(fd) != 0) error = errno;
        ::close(fd);
    }
    if (error == 0 && ::rename(staged.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(staged.c_str());
        return error;
    }
    SyncFolder(Split(target).folder);
    return 0;
}

ScratchFile::~ScratchFile() {
    if (fd_ >= 0 || stream_ != nullptr) {
        Fail(ECANCELED);
        (void)Close();
    }
}

bool ScratchFile::Open(const std::string& path) {
    if (fd_ >= 0) return Fail(EBUSY);
    error_ = 0;
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        path_.clear();
        return Fail(errno);
    }
    return true;
}

bool ScratchFile::OpenUnique(const std::string& folder, std::string_view prefix,
                             std::string_view suffix) {
    if (fd_ >= 0) return Fail(EBUSY);
    error_ = 0;
    fd_ = CreateUnique(folder + "/" + std::string(prefix), suffix, &path_);
    if (fd_ < 0) {
        path_.clear();
        return Fail(errno);
    }
    return true;
}

bool ScratchFile::Close() {
    if (fd_ < 0) return Fail(EBADF);
    CloseStream();
    if (::close(fd_) != 0) Fail(errno);
    fd_ = -1;
    if (error_ != 0) {
        ::unlink(path_.c_str());
        return false;
    }
    return true;
}

int WriteScratchFile(const std::string& path, std::string_view bytes) {
    ScratchFile file;
    if (file.Open(path) && file.Write(bytes) && file.Close()) return 0;
    return file.error();
}

}  // namespace qzs::base
