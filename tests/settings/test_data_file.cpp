// Offline data files, the speed-dial lists and CSV, and the key sheet: round trips compared
// through the listings, the header bytes, refused files that change nothing, a failed write that
// keeps the old file, and the columns of the list lines.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "programming/key_layout.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_file.h"
#include "settings/data_image_startup.h"
#include "settings/key_sheet.h"
#include "settings/sheet_lines.h"
#include "settings/speed_dial.h"
#include "settings/speed_dial_lines.h"
#include "tests/settings/data_file_test_support.h"

namespace qzs {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<ProgrammingState> FreshState() {
    auto state = std::make_unique<ProgrammingState>();
    InitDataImage(*state);
    return state;
}

class DataFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/qzs-datafile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = std::string(pattern) + "/";
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Aim(ProgrammingState& state, const std::string& name, const std::string& sub = "") {
        state.data_file.folder = dir_ + sub;
        state.data_file.name = name;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    std::string dir_;
};

std::vector<std::string> AllListings(ProgrammingState& state) {
    std::vector<std::string> out;
    for (char g = '0'; g <= '9'; ++g) {
        ListCommandGroup(state, g);
        for (const SheetLine& line : CopySheetLines(state)) {
            out.emplace_back(line.data() + kSheetDisplayColumn, kSheetDisplayWidth);
        }
    }
    return out;
}

SpeedDialRecord Row(std::string_view number, std::string_view kana, std::string_view kanji,
                    char group) {
    SpeedDialRecord r;
    std::copy(number.begin(), number.end(), r.number.begin());
    std::copy(kana.begin(), kana.end(), r.kana.begin());
    std::copy(kanji.begin(), kanji.end(), r.kanji.begin());
    r.group = group;
    return r;
}

// A few settings of many kinds, speed-dial rows and buttons on image A.
void Change(ProgrammingState& state) {
    for (const char* command : {"*0001234#", "*00121#", "*03010105  12#", "*10106#1#"}) {
        RunCommand(state, 1, command);
    }
    EXPECT_EQ(PutSystemSpeedDial(state, 0, Row("0312345678", "\xb1\xb2", "\x8a\xbf", '2')), 1);
    EXPECT_EQ(PutSystemSpeedDial(state, 599, Row("99", "", "", '1')), 1);
    EXPECT_EQ(PutTelephoneSpeedDial(state, 101, 985, Row("123#", "\xb3", "\x8e\x9a", '1')), 1);
    EXPECT_EQ(PutTelephoneSpeedDial(state, 112, 999, Row("7", "", "", '1')), 1);
    state.user_information.user_name[0] = 'U';
}

TEST_F(DataFileTest, DataSettingRoundTripAndHeader) {
    auto a = FreshState();
    Change(*a);
    Aim(*a, "data.qzdat", "new/folder/");  // a missing folder is created
    ASSERT_EQ(SaveDataFile(*a, kDataSettingKind, FixedClock(2026, 12, 10, 9, 5)), 0);
    const std::string file = Read(dir_ + "new/folder/data.qzdat");
    ASSERT_EQ(file.size() % 192, 0u);
    EXPECT_EQ(file.size() / 192, 1 + 7666u);
    EXPECT_EQ(file.substr(0, 14), "202612100905,U");
    for (const std::size_t comma : {12, 37, 62, 87, 112, 185}) EXPECT_EQ(file[comma], ',');
    EXPECT_EQ(file.substr(186, 6), "    \r\n");
    EXPECT_EQ(file.substr(192 + 190, 2), "\r\n");

    auto b = FreshState();
    Aim(*b, "data.qzdat", "new/folder/");
    ASSERT_EQ(LoadDataFile(*b, kDataSettingKind), 0);
    const auto listed_a = AllListings(*a);
    const auto listed_b = AllListings(*b);
    ASSERT_EQ(listed_a.size(), listed_b.size());
    for (std::size_t i = 0; i < listed_a.size(); ++i) EXPECT_EQ(listed_b[i], listed_a[i]);
    EXPECT_EQ(b->user_information.user_name[0], 'U');
    EXPECT_NE(AllListings(*b), AllListings(*FreshState()));
}

// Codes stored under digit counts that changed afterwards, and a one-digit code beside a longer
// one beginning with it (the shorter one stored first): the file gives back both.
TEST_F(DataFileTest, CodesOfOtherLengthsThanTheirCountsLoadBack) {
    auto a = FreshState();
    for (const char* command : {"*081370#", "*08002#", "*0810604#", "*08271665#", "*08061#"}) {
        RunCommand(*a, 1, command);
    }
    Aim(*a, "codes.qzdat");
    ASSERT_EQ(SaveDataFile(*a, kDataSettingKind, FixedClock(2026, 12, 10, 9, 5)), 0);
    auto b = FreshState();
    Aim(*b, "codes.qzdat");
    ASSERT_EQ(LoadDataFile(*b, kDataSettingKind), 0);
    const auto listed_a = AllListings(*a);
    const auto listed_b = AllListings(*b);
    for (const std::string_view shown :
         {"081=37-0c", "081=06-04c", "082=716-65c", "080=0-2c", "080=6-1c"}) {
        EXPECT_NE(std::ranges::find_if(listed_a,
                                       [&](const std::string& l) { return l.starts_with(shown); }),
                  listed_a.end())
            << shown;
    }
    EXPECT_EQ(listed_b, listed_a);
}

TEST_F(DataFileTest, SpeedDialCsvRoundTripsInBothColumnOrders) {
    for (const int layout : {0, 1}) {
        auto a = FreshState();
        Change(*a);
        a->data_file.transfer_csv_layout = layout;
        for (const int kind : {kSystemSpeedDialKind, kTelephoneSpeedDialKind}) {
            Aim(*a, "book" + std::to_string(kind) + ".csv");
            ASSERT_EQ(SaveDataFile(*a, kind), 0);
            auto b = FreshState();
            b->data_file = a->data_file;
            ASSERT_EQ(LoadDataFile(*b, kind), 0) << kind;
            if (kind == kSystemSpeedDialKind) {
                BuildSystemSpeedDialLines(*a, 0);
                BuildSystemSpeedDialLines(*b, 0);
            } else {
                BuildTelephoneSpeedDialLines(*a, 101, 980);
                BuildTelephoneSpeedDialLines(*b, 101, 980);
            }
            EXPECT_EQ(CopySheetLines(*a), CopySheetLines(*b)) << kind << " " << layout;
        }
    }
    auto a = FreshState();
    Change(*a);
    Aim(*a, "sys.csv");
    a->data_file.transfer_csv_layout = 1;
    ASSERT_EQ(SaveDataFile(*a, kSystemSpeedDialKind), 0);
    const std::string text = Read(dir_ + "sys.csv").substr(192);
    EXPECT_TRUE(
        text.starts_with("\x92Z\x8fk\x94\xd4\x8d\x86,\x93\x64\x98\x62\x94\xd4\x8d\x86,"
                         "\x8a\xbf"));
    EXPECT_NE(text.find("\r\n000,0312345678,\x8a\xbf,\xb1\xb2,02\r\n"), std::string::npos);
}

// Rows 000, 001 and 005 store 2-4 empty; a row past the list and a full-width kana are handled;
// a first line that is not a row leaves everything as it was.
TEST_F(DataFileTest, SystemCsvImportEdges) {
    auto state = FreshState();
    EXPECT_EQ(PutSystemSpeedDial(*state, 3, Row("55", "", "", '1')), 1);
    const std::string head = "h\r\n";
    Write(dir_ + "s.csv", head +
                              "000,1,\x82\xa0\xb1,k,01\r\n001,2,a,b,03\r\n005,5,,,01\r\n"
                              "9999,9,,,01\r\n");
    Aim(*state, "s.csv");
    ASSERT_EQ(LoadDataFile(*state, kSystemSpeedDialKind), 0);
    SpeedDialRecord r;
    GetSystemSpeedDial(*state, 0, r);
    EXPECT_STREQ(r.kana.data(), "  \xb1");
    GetSystemSpeedDial(*state, 1, r);
    EXPECT_EQ(r.group, '3');
    GetSystemSpeedDial(*state, 3, r);
    EXPECT_STREQ(r.number.data(), "");
    GetSystemSpeedDial(*state, 5, r);
    EXPECT_STREQ(r.number.data(), "5");

    Write(dir_ + "bad.csv", head + "x,1,,,01\r\n");
    Aim(*state, "bad.csv");
    EXPECT_EQ(LoadDataFile(*state, kSystemSpeedDialKind), kDataFileFormatError);
    GetSystemSpeedDial(*state, 5, r);
    EXPECT_STREQ(r.number.data(), "5");
}

TEST_F(DataFileTest, BadDataSettingFilesChangeNothing) {
    auto a = FreshState();
    Change(*a);
    Aim(*a, "good.qzdat");
    ASSERT_EQ(SaveDataFile(*a, kDataSettingKind), 0);
    const std::string good = Read(dir_ + "good.qzdat");
    std::string no_star = good;
    no_star[192 * 5] = 'x';
    std::string no_close = good;
    std::fill_n(no_close.begin() + 192 * 2 + 96, 32, 'x');
    std::string full_value = good;
    std::fill_n(full_value.begin() + 192 * 2 + 64, 32, '1');
    const struct {
        const char* why;
        std::string text;
    } cases[] = {{"partial last record", good.substr(0, good.size() - 10)},
                 {"record without *", no_star},
                 {"printed form without closing #", no_close},
                 {"value past column 95", full_value}};
    for (const auto& c : cases) {
        auto b = FreshState();
        RunCommand(*b, 1, "*0004321#");
        const auto before = AllListings(*b);
        Write(dir_ + "bad.qzdat", c.text);
        Aim(*b, "bad.qzdat");
        EXPECT_EQ(LoadDataFile(*b, kDataSettingKind), kDataFileFormatError) << c.why;
        EXPECT_EQ(AllListings(*b), before) << c.why;
    }
    auto b = FreshState();
    // A file larger than any data-setting file is refused, not read in part.
    Write(dir_ + "huge.qzdat", "");
    fs::resize_file(dir_ + "huge.qzdat", 10 * 10000 * 192 + 193);
    Aim(*b, "huge.qzdat");
    EXPECT_EQ(LoadDataFile(*b, kDataSettingKind), kDataFileFormatError);
    Aim(*b, "missing.qzdat", "nowhere/");
    EXPECT_EQ(LoadDataFile(*b, kDataSettingKind), kDataFileCreateError);
    EXPECT_FALSE(fs::exists(dir_ + "nowhere"));
    // An unknown kind touches no file.
    Aim(*b, "other.qzdat");
    EXPECT_EQ(SaveDataFile(*b, 7), 0);
    EXPECT_FALSE(fs::exists(dir_ + "other.qzdat"));
    EXPECT_EQ(LoadDataFile(*b, 7), 0);
}

TEST_F(DataFileTest, FailedWriteKeepsTheOldFile) {
    auto a = FreshState();
    Aim(*a, "keep.qzdat");
    Write(dir_ + "keep.qzdat", "old");
    // A volume that fills up half way: a file-size limit makes the writes fail (as it does for
    // every user, root included); the old file stays as it was and no temporary one is left.
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 10000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = SaveDataFile(*a, kDataSettingKind);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(result, kDataFileWriteError);
    EXPECT_EQ(Read(dir_ + "keep.qzdat"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    // A name that would leave the folder is refused.
    a->data_file.name = "../escape";
    EXPECT_EQ(SaveDataFile(*a, kDataSettingKind), kDataFileCreateError);
    // And the same save without the limit replaces the old file.
    Aim(*a, "keep.qzdat");
    EXPECT_EQ(SaveDataFile(*a, kDataSettingKind), 0);
    EXPECT_EQ(fs::file_size(dir_ + "keep.qzdat"), 192u * 7667);
}

TEST_F(DataFileTest, KeySheetRoundTripKeepsLockedButtons) {
    auto a = FreshState();
    *KeyEntry(a->image, 1, 5) = 12;
    *(KeyEntry(a->image, 1, 5) + 1) = 0x21;
    a->one_touch_lock_flags[0][6] = 1;      // 101, key 7
    a->paged_button_lock_flags[8][17] = 1;  // 105, page 2 button 2
    ASSERT_EQ(BuildKeySheet(*a, 145), 3);
    ASSERT_EQ(BuildKeySheet(*a, kKeySheetKind), 0);
    const auto lines = CopyKeySheetLines(*a);
    ASSERT_EQ(lines.size(), 1580u);
    EXPECT_EQ(std::string(lines[4].data(), 11), "i92=101#05-");
    EXPECT_EQ(std::string(lines[4].data() + 64, 4), "B,21");
    EXPECT_EQ(std::string(lines[6].data() + 27, 8), "\x95\xcf\x8dX\x95s\x89\xc2");
    EXPECT_EQ(lines[6][64], ' ');
    EXPECT_EQ(std::string(lines[300].data(), 11), "i14=101#11-");
    EXPECT_EQ(lines[300][kKeySheetKindColumn], '1');

    Aim(*a, "keys.qzdat");
    ASSERT_EQ(SaveDataFile(*a, kKeySheetKind), 0);
    auto b = FreshState();
    b->data_file = a->data_file;
    ASSERT_EQ(LoadDataFile(*b, kKeySheetKind), 0);
    BuildKeySheet(*b, kKeySheetKind);
    EXPECT_EQ(CopyKeySheetLines(*b), lines);
    EXPECT_EQ(b->one_touch_lock_flags[0][6], 1u);
    EXPECT_EQ(b->paged_button_lock_flags[8][17], 1u);

    // A shorter sheet changes the buttons it holds and leaves the others unlocked.
    const std::string whole = Read(dir_ + "keys.qzdat");
    auto c = FreshState();
    c->data_file = a->data_file;
    Write(dir_ + "keys.qzdat", whole.substr(0, 192 * 6));
    ASSERT_EQ(LoadDataFile(*c, kKeySheetKind), 0);
    EXPECT_EQ(*(KeyEntry(c->image, 1, 5) + 1), 0x21);
    EXPECT_EQ(c->one_touch_lock_flags[0][6], 0u);
    EXPECT_EQ(c->paged_button_lock_flags[8][17], 0u);
    // A line out of its place would give its values to another button.
    std::string swapped = whole;
    std::swap_ranges(swapped.begin() + 192 * 2, swapped.begin() + 192 * 3,
                     swapped.begin() + 192 * 3);
    Write(dir_ + "keys.qzdat", swapped);
    EXPECT_EQ(LoadDataFile(*c, kKeySheetKind), kDataFileFormatError);

    // Every record must be a key-sheet line, and no more than the sheet holds.
    std::string text = whole;
    text[192 * 3] = '*';
    Write(dir_ + "keys.qzdat", text);
    EXPECT_EQ(LoadDataFile(*b, kKeySheetKind), kDataFileFormatError);
    std::string longer(192 * 8001, 'i');
    Write(dir_ + "keys.qzdat", longer);
    EXPECT_EQ(LoadDataFile(*b, kKeySheetKind), kDataFileFormatError);
}

TEST(SpeedDialLines, ColumnsAndCounts) {
    auto state = FreshState();
    ASSERT_EQ(BuildSystemSpeedDialLines(*state, 601), 0);
    ASSERT_EQ(BuildSystemSpeedDialLines(*state, 0), 1);
    auto lines = CopySheetLines(*state);
    ASSERT_EQ(lines.size(), 600u);
    EXPECT_EQ(std::string(lines[599].data(), 3), "599");
    EXPECT_EQ(lines[0][16], '\0');
    EXPECT_EQ(lines[0][96], '1');
    EXPECT_EQ(PutSystemSpeedDial(*state, 7, Row("0312345678", "", "", '1')), 1);
    BuildSystemSpeedDialLines(*state, 0);
    lines = CopySheetLines(*state);
    EXPECT_EQ(std::string(lines[7].data() + 16, 11), std::string("0312345678") + '\0');

    ASSERT_EQ(BuildTelephoneSpeedDialLines(*state, 101, 979), 0);
    ASSERT_EQ(BuildTelephoneSpeedDialLines(*state, 101, 980), 1);
    lines = CopySheetLines(*state);
    ASSERT_EQ(lines.size(), 240u);
    EXPECT_EQ(std::string(lines[239].data(), 12), "112     0999");

    CountFreeSpeedDialRows(*state, 0);
    EXPECT_EQ(state->speed_dial_list_counts.rows, 600);
    EXPECT_EQ(state->speed_dial_list_counts.empty_rows, 599);
    EXPECT_EQ(state->speed_dial_list_counts.first_empty, 0);
    // All 20 rows count, not only 980-989.
    for (int r = 980; r < 990; ++r) {
        EXPECT_EQ(PutTelephoneSpeedDial(*state, 102, r, Row("1", "", "", '1')), 1);
    }
    CountFreeSpeedDialRows(*state, 102);
    EXPECT_EQ(state->speed_dial_list_counts.rows, 20);
    EXPECT_EQ(state->speed_dial_list_counts.empty_rows, 10);
    EXPECT_EQ(state->speed_dial_list_counts.first_empty, 90);
    CountFreeSpeedDialRows(*state, 1);  // no such telephone: the row count is still 20
    EXPECT_EQ(state->speed_dial_list_counts.rows, 20);
}

TEST(DataFileCommand, RebuildsThePrintedFormWithTheValue) {
    const auto record = [](std::string_view value, std::string_view form) {
        std::string r(192, ' ');
        r[0] = '*';
        std::copy(value.begin(), value.end(), r.begin() + 64);
        std::copy(form.begin(), form.end(), r.begin() + 96);
        return r;
    };
    const struct {
        std::string_view value, form, command;
    } cases[] = {
        {"1234", "*000    #", "*000   1234#"},
        {"0,0", "*10106#  #", "*10106# 00#"},
        {"12", "*03010204   #", "*03010204  12#"},
        {"", "*00301##", "*00301##"},
        {"", "*930801                #", "*930801000000#"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DataFileCommand(record(c.value, c.form)), c.command) << c.form;
    }
    EXPECT_EQ(DataFileCommand(record("1", "*000    ")), "");
}

}  // namespace
}  // namespace qzs
