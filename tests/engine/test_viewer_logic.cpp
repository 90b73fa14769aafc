// The viewer's password check and print offsets, and the recorded page list with its files.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>

#include "engine/preview/page_list.h"
#include "engine/preview/viewer_logic.h"

namespace kp::preview {
namespace {

// Answers dialog 119 from a script: each entry an OK with its text, or a cancel (nullopt).
class ScriptedPort : public ViewerDialogPort {
  public:
    std::deque<std::optional<std::u16string>> answers;
    bool fail = false;
    int asked = 0;
    std::vector<std::string> warnings;

    int AskPassword(std::u16string* typed) override {
        ++asked;
        if (fail) return -1;
        if (answers.empty()) return 2;
        auto a = answers.front();
        answers.pop_front();
        if (!a) return 2;
        *typed = *a;
        return 1;
    }
    void Warn(const std::string& text, const std::string& caption) override {
        EXPECT_EQ(caption, "パスワード入力");
        warnings.push_back(text);
    }
};

TEST(ViewerPassword, Runs) {
    const std::u16string long200(200, u'x');
    std::u16string long200Other = long200;
    long200Other[150] = u'y';  // differs only past the 127th character
    struct Case {
        const char* why;
        std::u16string stored;
        std::vector<std::optional<std::u16string>> answers;
        PasswordOutcome outcome;
        int asked;
        int retries;  // retry warnings before the outcome
        bool final;
    } const cases[] = {
        {"empty stored password: no dialog", u"", {}, PasswordOutcome::kUnlocked, 0, 0, false},
        {"right at once", u"abc", {u"abc"}, PasswordOutcome::kUnlocked, 1, 0, false},
        {"cancel", u"abc", {std::nullopt}, PasswordOutcome::kLocked, 1, 0, false},
        {"wrong then cancel", u"abc", {u"x", std::nullopt}, PasswordOutcome::kLocked, 2, 1, false},
        {"five wrong then right",
         u"abc",
         {u"1", u"2", u"3", u"4", u"5", u"abc"},
         PasswordOutcome::kUnlocked,
         6,
         5,
         false},
        {"six wrong: final warning",
         u"abc",
         {u"1", u"2", u"3", u"4", u"5", u"6", u"abc"},
         PasswordOutcome::kLocked,
         6,
         5,
         true},
        {"200 characters match whole", long200, {long200}, PasswordOutcome::kUnlocked, 1, 0, false},
        {"200 characters differing late",
         long200,
         {long200Other, std::nullopt},
         PasswordOutcome::kLocked,
         2,
         1,
         false},
        {"outside CP932 is not '?'",
         u"p\u00e9",
         {u"p?", u"p\u00e8", u"p\u00e9"},
         PasswordOutcome::kUnlocked,
         3,
         2,
         false},
    };
    for (const Case& c : cases) {
        ScriptedPort port;
        port.answers.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(CheckPassword(c.stored, port), c.outcome) << c.why;
        EXPECT_EQ(port.asked, c.asked) << c.why;
        const size_t total = size_t(c.retries) + (c.final ? 1 : 0);
        ASSERT_EQ(port.warnings.size(), total) << c.why;
        for (int i = 0; i < c.retries; ++i) EXPECT_EQ(port.warnings[size_t(i)], kPasswordRetry);
        if (c.final) {
            EXPECT_EQ(port.warnings.back(), kPasswordFinal) << c.why;
        }
    }
    ScriptedPort broken;
    broken.fail = true;
    EXPECT_EQ(CheckPassword(u"abc", broken), PasswordOutcome::kDialogFailed);
}

TEST(ViewerOffsets, ParsedFormattedAndConverted) {
    struct Case {
        const char* text;
        double mm;
        const char* shown;
    } const cases[] = {
        {"10.00", 10.0, "10.00"},  {"abc", 0, "0.00"}, {"-2.5", -2.5, "-2.50"},
        {"1e300", 1e300, nullptr}, {"inf", 0, "0.00"}, {"nan", 0, "0.00"},
        {" 3", 3, "3.00"},         {"7x", 7, "7.00"},  {"", 0, "0.00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseOffset(c.text), c.mm) << c.text;
        if (c.shown) {
            EXPECT_EQ(FormatOffset(ParseOffset(c.text)), c.shown) << c.text;
        }
    }
    // 10 mm is 1000 × 0.01 mm and 394 × 0.001 inch; not 1000 in every unit.
    EXPECT_EQ(OffsetInReportUnits(10, kUnitHundredthMm, kAxisHorizontal, 0, 0), 1000);
    EXPECT_EQ(OffsetInReportUnits(10, kUnitThousandthInch, kAxisHorizontal, 0, 0), 394);
    // Within the 32-bit range the move is the report's own conversion of the length, per axis.
    for (double mm : {0.5, 10.0, -3.25, 100.0}) {
        for (int32_t axis : {kAxisVertical, kAxisHorizontal}) {
            for (LengthUnitKind u : {kUnitHundredthMm, kUnitThousandthInch, kUnitCharacterCell}) {
                int32_t expected = 0;
                ConvertUnitsOut(u, axis, 6, 10, int32_t(mm * 10000), &expected);
                EXPECT_NEAR(OffsetInReportUnits(mm, u, axis, 6, 10), expected, 1) << mm << " " << u;
            }
        }
    }
    EXPECT_EQ(OffsetInReportUnits(25.4, kUnitCharacterCell, kAxisVertical, 0, 10), 0);
    // Huge offsets saturate at the allowed move in every unit.
    for (LengthUnitKind u : {kUnitHundredthMm, kUnitThousandthInch}) {
        EXPECT_EQ(OffsetInReportUnits(1e300, u, kAxisHorizontal, 0, 0), kMaxOffsetMove);
        EXPECT_EQ(OffsetInReportUnits(-1e300, u, kAxisHorizontal, 0, 0), -kMaxOffsetMove);
    }
    EXPECT_EQ(OffsetInReportUnits(ParseOffset("inf"), kUnitHundredthMm, kAxisHorizontal, 0, 0), 0);
}

int FilesIn(const std::string& dir) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) (void)e, ++n;
    return n;
}

class PageListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kppagesXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

PreviewPageList::PageWriter Writes(const std::string& text) {
    return [text](const std::string& path) {
        std::ofstream(path) << text;
        return int32_t(0);
    };
}

TEST_F(PageListTest, RecordsGetAndClear) {
    PreviewPageList list;
    PreviewPageRecord paper;
    int count = 0;
    EXPECT_EQ(list.Record(Writes("a"), paper, -1, nullptr, &count), kPageListNotOpen);
    ASSERT_EQ(list.Open(dir_), 0);
    paper.paperWidth = 2100;
    ASSERT_EQ(list.Record(Writes("p1"), paper, -1, nullptr, &count), 0);
    EXPECT_EQ(count, 1);
    const std::u16string heading = u"見出し";
    ASSERT_EQ(list.Record(Writes("p2"), paper, 1, &heading, &count), 0);
    EXPECT_EQ(count, 2);
    PreviewPageRecord r;
    EXPECT_EQ(list.Get(0, &r), kPageOutOfRange);
    EXPECT_EQ(list.Get(3, &r), kPageOutOfRange);
    ASSERT_EQ(list.Get(1, &r), 0);
    EXPECT_EQ(r.outlineParent, -1);
    EXPECT_EQ(r.heading, u"1ページ");
    EXPECT_EQ(r.paperWidth, 2100);
    EXPECT_EQ(std::filesystem::path(r.file).parent_path(), dir_);
    EXPECT_EQ(std::filesystem::path(r.file).filename().string().substr(0, 2), "KP");
    ASSERT_EQ(list.Get(2, &r), 0);
    EXPECT_EQ(r.heading, u"見出し");
    EXPECT_EQ(r.outlineParent, 1);
    EXPECT_EQ(FilesIn(dir_), 2);
    EXPECT_EQ(list.Clear(), 0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(FilesIn(dir_), 0);
}

TEST_F(PageListTest, AFailedSaveLeavesNoFileAndDroppingTheListDeletesThem) {
    {
        PreviewPageList list;
        ASSERT_EQ(list.Open(dir_), 0);
        int count = 0;
        const auto fails = [](const std::string& path) {
            std::ofstream(path) << "partial";
            return int32_t(-114);
        };
        EXPECT_EQ(list.Record(fails, {}, -1, nullptr, &count), -114);
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(FilesIn(dir_), 0);
        for (int i = 0; i < 3000; ++i)
            ASSERT_EQ(list.Record(Writes("x"), {}, -1, nullptr, &count), 0);
        EXPECT_EQ(count, 3000);
        PreviewPageRecord r;
        ASSERT_EQ(list.Get(3000, &r), 0);
        EXPECT_EQ(r.heading, u"3000ページ");
    }
    EXPECT_EQ(FilesIn(dir_), 0);
}

TEST_F(PageListTest, NoFolderGivenUsesTmpdir) {
    const char* old = getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", dir_.c_str(), 1);
    PreviewPageList list;
    ASSERT_EQ(list.Open(""), 0);
    EXPECT_EQ(list.Directory(), dir_);
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    // A folder that does not exist: no name.
    PreviewPageList bad;
    ASSERT_EQ(bad.Open(dir_ + "/missing"), 0);
    int count = 0;
    EXPECT_EQ(bad.Record(Writes("x"), {}, -1, nullptr, &count), kPageNoTempName);
}

}  // namespace
}  // namespace kp::preview
