// Writing files so that nothing the user keeps is ever lost half-way.
//
// AtomicFile writes a file the user keeps (data files, transfer files, saved reports, PDFs, the
// tools' outputs): the bytes go to a temporary beside the target, are synced, and the temporary
// is renamed over the target only when all of it is on disk. Any failure leaves the old target
// whole and removes the temporary. The temporary is made with mode 0666 and the process's umask,
// so the final file gets the same mode as any other file the user writes.
//
// The temporary's name is "." + the target's name + ".qzs~" + six characters, and the writer
// holds a lock on it while it lives; a save killed half-way leaves such a file unlocked, and the
// next save of the same target removes it.
//
// ScratchFile and WriteScratchFile are the checked writers for files the program deletes itself
// (page files, expansions, staged files): every write and the close are checked and a failed
// file is removed, but nothing is synced.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace qzs::base {

// A write error that comes from a full disk, a quota or the file-size limit.
bool IsDiskFull(int error);

// What both writers share: checked writes on one descriptor, directly or through a stdio stream.
class CheckedWriter {
  public:
    [[nodiscard]] bool Write(const void* data, std::size_t size);
    [[nodiscard]] bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // A stdio stream on the file for writers that print; once taken, write only through it.
    // Its errors (with their errno) are found when the file is committed or closed.
    std::FILE* Stream();

    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // The errno of the first step that failed; 0 while nothing failed.
    int error() const { return error_; }

  protected:
    CheckedWriter() = default;
    ~CheckedWriter() = default;
    CheckedWriter(const CheckedWriter&) = delete;
    CheckedWriter& operator=(const CheckedWriter&) = delete;

    bool Fail(int error);
    // Flushes and closes the stream, if one was taken; false when anything through it failed.
    bool CloseStream();

    int fd_ = -1;
    std::FILE* stream_ = nullptr;
    int error_ = 0;
};

class AtomicFile : public CheckedWriter {
  public:
    enum class Replace {
        kAlways,  // an existing target is replaced
        kNever,   // an existing target makes the commit fail with EEXIST
    };

    explicit AtomicFile(std::string target, Replace replace = Replace::kAlways);
    ~AtomicFile();  // a temporary that was not committed is removed

    // Makes the temporary beside the target, after removing those that killed saves of the
    // same target left.
    [[nodiscard]] bool Open();
    // Flushes, syncs and renames the temporary over the target.
    [[nodiscard]] bool Commit();
    // Gives the write up: the temporary is removed, the target stays as it was.
    void Discard();

    const std::string& target() const { return target_; }
    // The temporary's path while open, for writers that open the file by name themselves.
    const std::string& temporary() const { return temporary_; }

  private:
    std::string target_;
    Replace replace_;
    std::string temporary_;
};

// The whole of bytes as target through an AtomicFile; 0, or the errno of the failing step.
[[nodiscard]] int WriteFileAtomically(const std::string& target, std::string_view bytes,
                                      AtomicFile::Replace replace = AtomicFile::Replace::kAlways);

// Makes a staged file the target: syncs it and renames it over the target (both in one file
// system); 0, or the errno of the failing step, after which the staged file is removed.
[[nodiscard]] int CommitStagedFile(const std::string& staged, const std::string& target);

class ScratchFile : public CheckedWriter {
  public:
    ScratchFile() = default;
    ~ScratchFile();  // a file not closed successfully is removed

    // Creates or truncates path.
    [[nodiscard]] bool Open(const std::string& path);
    // Creates a new file of a unique name in folder: prefix, six characters, suffix.
    [[nodiscard]] bool OpenUnique(const std::string& folder, std::string_view prefix,
                                  std::string_view suffix);
    // Flushes and closes; on any failure of the file's life the file is removed.
    [[nodiscard]] bool Close();

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// The whole of bytes as path through a ScratchFile; 0, or the errno of the failing step.
[[nodiscard]] int WriteScratchFile(const std::string& path, std::string_view bytes);

}  // namespace qzs::base
