// Saved data-setting files against golden files, byte for byte: the factory image, and an image
// after a fixed list of commands with Japanese names (kanji and half-width kana, CP932) in the
// user information of the header. The clock is fixed, so the header's date is too. Each golden file also loads back
// into a fresh image that saves the same bytes again.
//
// The golden files in tests/fixtures/data_files/ are what a saved file looks like to the main
// unit's tools and to older copies of this program: a change that moves their bytes must
// regenerate them in the same commit and say in its message why the bytes moved. To regenerate,
// run this program with QZS_WRITE_GOLDEN=1: it writes the files and fails, so that a run that
// rewrote them never passes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>

#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_file.h"
#include "settings/data_image_startup.h"

namespace qzs {
namespace {

namespace fs = std::filesystem;

DataFileHooks FixedClock() {
    DataFileHooks hooks;
    hooks.local_time = [] {
        std::tm t{};
        t.tm_year = 2026 - 1900;
        t.tm_mon = 11;
        t.tm_mday = 10;
        t.tm_hour = 9;
        t.tm_min = 5;
        return t;
    };
    return hooks;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Untouched(ProgrammingState&) {}

// Settings of several kinds, codes stored under digit counts that changed afterwards, and the
// names of the header. The listed commands carry no names (the character-code commands are not
// on the sheets), so the Japanese text stands in the user information.
void Commanded(ProgrammingState& state) {
    for (const char* command :
         {"*0001234#", "*00121#", "*10106#1#", "*081370#", "*08002#", "*08271665#"}) {
        ASSERT_NE(RunCommand(state, 1, command), nullptr) << command;
    }
    // 山田, 担当 and the half-width kana ﾃｽﾄ in CP932.
    const std::string user = "\x8eR\x93\x63";
    const std::string person = "\x92S\x93\x96";
    const std::string memo = "\xc3\xbd\xc4";
    std::copy(user.begin(), user.end(), state.user_information.user_name.begin());
    std::copy(person.begin(), person.end(), state.user_information.person_in_charge.begin());
    std::copy(memo.begin(), memo.end(), state.user_information.memo.begin());
}

struct GoldenCase {
    const char* file;
    void (*make)(ProgrammingState&);
};

void PrintTo(const GoldenCase& c, std::ostream* out) {
    *out << c.file;
}

class DataFileGolden : public ::testing::TestWithParam<GoldenCase> {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/qzs-golden-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = std::string(pattern) + "/";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // The bytes a state saves under the fixed clock.
    std::string Save(ProgrammingState& state, const std::string& name) {
        state.data_file.folder = dir_;
        state.data_file.name = name;
        EXPECT_EQ(SaveDataFile(state, kDataSettingKind, FixedClock()), 0);
        return ReadFile(dir_ + name);
    }

    std::string dir_;
};

TEST_P(DataFileGolden, SavedBytesMatchAndLoadBack) {
    const GoldenCase& c = GetParam();
    const fs::path golden = fs::path(QZS_SOURCE_DIR) / "tests/fixtures/data_files" / c.file;
    auto state = std::make_unique<ProgrammingState>();
    InitDataImage(*state);
    c.make(*state);
    const std::string saved = Save(*state, "saved.qzdat");
    ASSERT_EQ(saved.size() % kDataFileRecordBytes, 0u);

    if (std::getenv("QZS_WRITE_GOLDEN") != nullptr) {
        std::ofstream(golden, std::ios::binary) << saved;
        FAIL() << "wrote " << golden << ": run again without QZS_WRITE_GOLDEN";
    }
    const std::string expected = ReadFile(golden);
    ASSERT_FALSE(expected.empty()) << golden;
    ASSERT_EQ(saved.size(), expected.size());
    // The first record that differs, rather than two 1.5 MB strings.
    for (std::size_t at = 0; at < saved.size(); at += kDataFileRecordBytes) {
        ASSERT_EQ(saved.compare(at, kDataFileRecordBytes, expected, at, kDataFileRecordBytes), 0)
            << "record " << at / kDataFileRecordBytes << "\n saved: "
            << saved.substr(at, kDataFileRecordBytes)
            << "\ngolden: " << expected.substr(at, kDataFileRecordBytes);
    }

    // The golden file loads into a fresh image, which saves the same bytes again.
    auto loaded = std::make_unique<ProgrammingState>();
    InitDataImage(*loaded);
    fs::copy_file(golden, dir_ + "golden.qzdat");
    loaded->data_file.folder = dir_;
    loaded->data_file.name = "golden.qzdat";
    ASSERT_EQ(LoadDataFile(*loaded, kDataSettingKind), 0);
    EXPECT_TRUE(Save(*loaded, "again.qzdat") == expected);
}

INSTANTIATE_TEST_SUITE_P(Images, DataFileGolden,
                         ::testing::Values(GoldenCase{"factory.qzdat", &Untouched},
                                           GoldenCase{"commanded.qzdat", &Commanded}),
                         [](const auto& info) {
                             return std::string(info.param.file).substr(
                                 0, std::string(info.param.file).find('.'));
                         });

}  // namespace
}  // namespace qzs
