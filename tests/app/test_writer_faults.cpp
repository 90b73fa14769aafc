// The program's writers on a full disk: a file-size limit in a forked child makes every write
// past it fail as a full volume does. Each writer reports the failure, the file that was there
// stays whole, and no temporary is left beside it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>

#include "app/installer_menu.h"
#include "app/transfer_file_services.h"
#include "programming/state.h"
#include "settings/data_image_startup.h"
#include "tests/fixtures/file_size_limit.h"

namespace qzs::app {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> Names(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST(WriterFaults, AFullDiskKeepsTheOldFileAndIsReported) {
    auto state = std::make_unique<ProgrammingState>();
    InitDataImage(*state);
    StateTransferFiles files(*state, nullptr);
    struct Row {
        const char* name;
        std::vector<std::string> kept;  // the files the writer replaces
        // True when the writer answered success; folder ends with '/'.
        std::function<bool(const std::string& folder)> write;
    };
    const Row rows[] = {
        {.name = "data file",
         .kept = {"data.qzdat"},
         .write =
             [&](const std::string& f) { return files.SaveDataFile(0, f, "data.qzdat", 0) == 0; }},
        {.name = "button settings file",
         .kept = {"keys.qzdat"},
         .write =
             [&](const std::string& f) {
                 return files.SaveDataFile(146, f, "keys.qzdat", 0) == 0;
             }},
        {.name = "common phone book",
         .kept = {"sys-tan.txt"},
         .write =
             [&](const std::string& f) { return files.SaveDataFile(1, f, "sys-tan.txt", 1) == 0; }},
        {.name = "per-telephone phone books",
         .kept = {"tel-tan.txt"},
         .write =
             [&](const std::string& f) { return files.SaveDataFile(2, f, "tel-tan.txt", 0) == 0; }},
        {.name = "dset file",
         .kept = {"dset-000.txt"},
         .write = [&](const std::string& f) { return files.WriteDataSetFile(0, f, 0, 0) == 1; }},
        {.name = "button transfer files",
         .kept = {"one-touch.txt", "nandemo.txt"},
         .write =
             [&](const std::string& f) {
                 return files.MakeKeySheetFiles(f + "one-touch.txt", f + "nandemo.txt", 0, 0, 0) ==
                        1;
             }},
        {.name = "assembled data-set file",
         .kept = {"data-set.txt"},
         .write = [&](const std::string& f) { return BuildDataSetFile(f); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        char name[] = "/tmp/qzs-writer-faults-XXXXXX";
        const fs::path dir = ::mkdtemp(name);
        const std::string folder = dir.string() + "/";
        for (const std::string& kept : row.kept) std::ofstream(dir / kept) << "old " << kept;
        const std::set<std::string> before = Names(dir);

        const int answer =
            qzs_test::RunWithFileSizeLimit(64, [&] { return row.write(folder) ? 1 : 0; });
        EXPECT_EQ(answer, 0) << "the failure is reported";
        for (const std::string& kept : row.kept) EXPECT_EQ(ReadFile(dir / kept), "old " + kept);
        EXPECT_EQ(Names(dir), before);

        // Without the limit the same writer replaces the file.
        EXPECT_TRUE(row.write(folder));
        EXPECT_NE(ReadFile(dir / row.kept.front()), "old " + row.kept.front());
        EXPECT_EQ(Names(dir), before);
        fs::remove_all(dir);
    }
}

}  // namespace
}  // namespace qzs::app
