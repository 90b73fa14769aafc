#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "base/atomic_file.h"
#include "tests/fixtures/file_size_limit.h"

namespace {

namespace fs = std::filesystem;
using qzs::base::AtomicFile;

class Folder : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = fs::temp_directory_path().string() + "/qzs-atomicXXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void Put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    std::string dir_;
};

// Every way a save can fail leaves the old file as it was and no temporary beside it.
TEST_F(Folder, FailedSavesKeepTheOldFileWhole) {
    struct Case {
        const char* what;
        rlim_t limit;  // 0: no file-size limit
        AtomicFile::Replace replace;
        bool through_stream;
        bool discard;
        int error;
    };
    const Case cases[] = {
        {.what = "disk full",
         .limit = 1000,
         .replace = AtomicFile::Replace::kAlways,
         .through_stream = false,
         .discard = false,
         .error = EFBIG},
        {.what = "disk full through stdio",
         .limit = 1000,
         .replace = AtomicFile::Replace::kAlways,
         .through_stream = true,
         .discard = false,
         .error = EFBIG},
        {.what = "target exists, no replacing",
         .limit = 0,
         .replace = AtomicFile::Replace::kNever,
         .through_stream = false,
         .discard = false,
         .error = EEXIST},
        {.what = "given up",
         .limit = 0,
         .replace = AtomicFile::Replace::kAlways,
         .through_stream = false,
         .discard = true,
         .error = 0},
    };
    const std::string big(64 * 1024, 'x');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string target = Path("data.qzdat");
        Put(target, "old file");
        const auto save = [&]() -> int {
            AtomicFile file(target, c.replace);
            if (!file.Open()) return 200;
            bool written = true;
            if (c.through_stream) {
                std::fwrite(big.data(), 1, big.size(), file.Stream());
            } else {
                written = file.Write(big);
            }
            if (c.discard) {
                file.Discard();
                return written ? 0 : 201;
            }
            if (file.Commit()) return 202;
            return file.error();
        };
        const int answer = c.limit > 0 ? qzs_test::RunWithFileSizeLimit(c.limit, save) : save();
        EXPECT_EQ(answer, c.error);
        if (c.error != 0) {
            EXPECT_EQ(qzs::base::IsDiskFull(answer), c.error == EFBIG);
        }
        EXPECT_EQ(Read(target), "old file");
        EXPECT_EQ(Names(), std::set<std::string>{"data.qzdat"});
    }
}

TEST_F(Folder, MissingFolderIsReportedAndNothingIsMade) {
    EXPECT_EQ(qzs::base::WriteFileAtomically(Path("none/data.qzdat"), "bytes"), ENOENT);
    EXPECT_TRUE(Names().empty());
}

// The saved file has the mode every other file the user writes gets: 0666 less the umask.
TEST_F(Folder, SavedFileTakesTheUmasksMode) {
    struct Case {
        mode_t umask;
        mode_t mode;
        bool existing;  // an older file of another mode stands there
    };
    const Case cases[] = {
        {.umask = 022, .mode = 0644, .existing = false},
        {.umask = 077, .mode = 0600, .existing = true},
        {.umask = 002, .mode = 0664, .existing = true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.umask);
        const std::string target = Path("report.k3v");
        fs::remove(target);
        if (c.existing) {
            Put(target, "old");
            ::chmod(target.c_str(), 0640);
        }
        const mode_t old = ::umask(c.umask);
        const int error = qzs::base::WriteFileAtomically(target, "new contents");
        ::umask(old);
        ASSERT_EQ(error, 0);
        struct stat info {};
        ASSERT_EQ(::stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.mode);
        EXPECT_EQ(Read(target), "new contents");
        EXPECT_EQ(Names(), std::set<std::string>{"report.k3v"});
    }
}

// A save killed in its write leaves its temporary; the next save of the same target removes
// it, and leaves alone those of other targets and of a save still running.
TEST_F(Folder, TemporariesOfKilledSavesGoWithTheNextSave) {
    const std::string target = Path("a.qzdat");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile file(target);
        if (file.Open() && file.Write("half a file")) ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::set<std::string> left = Names();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left.begin()->starts_with(".a.qzdat.")) << *left.begin();

    AtomicFile other(Path("b.qzdat"));
    ASSERT_TRUE(other.Open());
    AtomicFile running(target);
    ASSERT_TRUE(running.Open());
    ASSERT_EQ(qzs::base::WriteFileAtomically(target, "whole"), 0);

    std::set<std::string> expected = {"a.qzdat", fs::path(other.temporary()).filename(),
                                      fs::path(running.temporary()).filename()};
    EXPECT_EQ(Names(), expected);
    ASSERT_TRUE(running.Write("second") && running.Commit());
    EXPECT_EQ(Read(target), "second");
}

TEST_F(Folder, ScratchFilesAreCheckedAndRemovedOnFailure) {
    const std::string path = Path("page.tmp");
    const int answer = qzs_test::RunWithFileSizeLimit(
        1000, [&] { return qzs::base::WriteScratchFile(path, std::string(64 * 1024, 'p')); });
    EXPECT_EQ(answer, EFBIG);
    EXPECT_TRUE(Names().empty());

    // Two unique files in one folder; the one never closed goes with its writer.
    qzs::base::ScratchFile kept;
    ASSERT_TRUE(kept.OpenUnique(dir_, "KP", ".tmp"));
    std::string dropped;
    {
        qzs::base::ScratchFile abandoned;
        ASSERT_TRUE(abandoned.OpenUnique(dir_, "KP", ".tmp"));
        ASSERT_TRUE(abandoned.Write("never closed"));
        dropped = abandoned.path();
        EXPECT_NE(dropped, kept.path());
    }
    std::fputs("via stdio", kept.Stream());
    EXPECT_TRUE(kept.Close());
    EXPECT_EQ(Read(kept.path()), "via stdio");
    EXPECT_EQ(Names(), std::set<std::string>{fs::path(kept.path()).filename()});
}

TEST_F(Folder, StagedFileReplacesTheTarget) {
    const std::string target = Path("tel-tan.txt");
    Put(target, "old");
    Put(Path("staged"), "received");
    EXPECT_EQ(qzs::base::CommitStagedFile(Path("staged"), target), 0);
    EXPECT_EQ(Read(target), "received");
    EXPECT_EQ(qzs::base::CommitStagedFile(Path("gone"), target), ENOENT);
    EXPECT_EQ(Read(target), "received");
    EXPECT_EQ(Names(), std::set<std::string>{"tel-tan.txt"});
}

}  // namespace
