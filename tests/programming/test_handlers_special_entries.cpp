// The handlers behind the special entry kinds: the display texts of *721 and *679 entered as
// character codes, the clear and reset entry *007 with its work-area clearing, and the confirmed
// profile setting *9361.
#include <algorithm>

#include "programming/work_areas.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

using SpecialEntryTest = HandlerTest;

std::string BlockText(DataImage& image, int block, std::size_t offset, std::size_t n) {
    auto bytes = image.Block(block).subspan(offset, n);
    return std::string(bytes.begin(), bytes.end());
}

// --- *721: five texts of block 11 ------------------------------------------------------------

TEST_F(SpecialEntryTest, DisplayTextOf721) {
    At(11, 24 + 10) = 0x5A;  // bytes 10 and 11 of the entry are not text
    Type(
        "*7212"
        "2021"
        "#");
    EXPECT_EQ(LineText(), "721=2-AB      P");
    EXPECT_EQ(state->key_input.outcome, kOutcomeStored);
    EXPECT_EQ(BlockText(Image(), 11, 24, 10), "AB        ");
    EXPECT_EQ(At(11, 34), 0x5A);

    Type(
        "*7212"
        "2021222324252627"
        "#");  // eight characters fill the field
    EXPECT_EQ(LineText(), "721=2-ABCDEFGHP");
    EXPECT_EQ(BlockText(Image(), 11, 24, 10), "ABCDEFGH  ");
    Type("*7212#");
    EXPECT_EQ(LineText(), "721=2-ABCDEFGHc");

    EXPECT_EQ(Store("721=5-AB"), kHandlerRejected);
    EXPECT_EQ(Show("721=5-").result, kHandlerRejected);
}

TEST_F(SpecialEntryTest, TextNeverWrittenShowsAsBlanks) {
    // A fresh entry holds zero bytes; they must not land on the line as terminators.
    const ShownText shown = Show("721=0-");
    EXPECT_EQ(shown.result, kHandlerAccepted);
    EXPECT_EQ(shown.text, std::string(8, ' '));
    EXPECT_EQ(std::count(Terminal().line.Text().begin(), Terminal().line.Text().end(), '\0'), 0);
    EXPECT_EQ(Show("679=1-").text, std::string(12, ' '));
}

// --- *679: eight texts of block 59 -----------------------------------------------------------

TEST_F(SpecialEntryTest, DisplayTextOf679) {
    Type(
        "*6793"
        "2021"
        "#");
    EXPECT_EQ(LineText(), "679=3-AB          P");  // "P" after the twelve places of the field
    EXPECT_EQ(BlockText(Image(), 59, 32, 12), "AB          ");
    EXPECT_EQ(At(59, 32 + 12), 0);  // bytes 12-15 of the entry are not text
    Type("*6793#");
    EXPECT_EQ(std::string(Terminal().line.Text().substr(0, 19)), "679=3-AB          c");

    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("679=9-AB", changed), kHandlerRejected);
    EXPECT_TRUE(changed.empty());
    EXPECT_EQ(Show("679=9-").result, kHandlerRejected);
}

TEST_F(SpecialEntryTest, Entry0Of679WritesAllEightEntriesAndCannotBeShown) {
    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("679=0-XYZ", changed), kHandlerAccepted);
    EXPECT_EQ(changed.size(), 8u * 12u);  // the blanks after the text are stored too
    for (std::size_t e = 0; e < 8; ++e) {
        EXPECT_EQ(BlockText(Image(), 59, 16 * e, 12), "XYZ         ") << e;
    }
    EXPECT_EQ(Show("679=0-").result, kHandlerRejected);
    Type("*6790#");
    EXPECT_EQ(LineText(), "--P");
}

// --- ClearWorkAreas and *007 -----------------------------------------------------------------

// The image offsets that the work-area clearing owns.
std::vector<std::size_t> WorkAreaOffsets(const DataImage& image) {
    std::vector<std::size_t> offsets;
    auto add = [&](int block, std::size_t first, std::size_t count) {
        for (std::size_t i = first; i < first + count; ++i) {
            offsets.push_back(ImageOffset(image, image.BlockByte(block, i)));
        }
    };
    add(164, 0, 258);
    add(164, 260, 258);
    add(165, 0, 20);
    add(166, 0, 20);
    std::sort(offsets.begin(), offsets.end());
    return offsets;
}

TEST_F(SpecialEntryTest, ClearWorkAreasEmptiesTheWorkEntriesOnly) {
    FillImage(Image(), 0xAB);
    const auto before = std::make_unique<DataImage>(Image());
    ClearWorkAreas(Image());
    EXPECT_EQ(ChangedBytes(*before, Image()), WorkAreaOffsets(Image()));
    EXPECT_EQ(At(164, 258), 0xAB);
    EXPECT_EQ(At(164, 259), 0xAB);
    EXPECT_EQ(At(164, 518), 0xAB);
    EXPECT_EQ(At(164, 519), 0xAB);
    EXPECT_EQ(At(164, 0), 0);
    EXPECT_EQ(At(166, 19), 0);
}

class ClearEntryTest : public HandlerTest {
  protected:
    void SetUp() override {
        FillImage(Image(), 0x33);
        WriteImageSignature(Image());
        At(3, 42) = 1;  // terminal 1 may run *007
        At(3, 43) = 0;
        At(55, 11) = 0x00;  // katakana prompt word
    }

    // Types the command and reports what it changed.
    std::vector<std::size_t> TypeAndDiff(std::string_view keys, int checking = -1) {
        const auto before = std::make_unique<DataImage>(Image());
        Type(keys, 1, checking);
        return ChangedBytes(*before, Image());
    }
};

TEST_F(ClearEntryTest, ConfirmedClearSpoilsTheSignatureAndEmptiesTheWorkAreas) {
    Type("*00700#");
    EXPECT_EQ(LineText(), "007=\xB8\xD8\xB1 Y:1/N:0");
    const std::vector<std::size_t> changed = TypeAndDiff("1#");
    EXPECT_EQ(Terminal().line.At(16), '1');
    EXPECT_EQ(Terminal().line.At(17), 'P');
    EXPECT_FALSE(HasImageSignature(Image()));
    EXPECT_EQ(BlockText(Image(), 0, 0, 4), "\xFF\xFF\xFF" + std::string(1, '\0'));
    // Nothing but the signature bytes and the work areas changed.
    std::vector<std::size_t> expected = WorkAreaOffsets(Image());
    for (std::size_t i = 0; i < 4; ++i) expected.push_back(OffsetOf(0, i));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(changed, expected);
}

TEST_F(ClearEntryTest, AnswersThatChangeNothing) {
    struct Case {
        const char* keys;
        int checking;  // -1: terminal 1 itself
        bool accepted;
    };
    const std::vector<Case> cases{
        {"*00700#0#", -1, true},    // clear declined
        {"*00799#1#", -1, true},    // reset: accepted, nothing to do here
        {"*00799#1#", 129, true},   // the service terminal may reset
        {"*00700#1#", 129, false},  // but not clear
        {"*00700#1#", 2, false},    // a terminal that is not listed
        {"*00799#1#", 2, false},
        // Block 3 byte 43 is 0 (no terminal); a caller that named no checking terminal (0) is
        // not the terminal listed there.
        {"*00700#1#", 0, false},
        {"*00712#", -1, false},  // neither clear nor reset
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.keys) + " checking " + std::to_string(c.checking));
        EXPECT_TRUE(TypeAndDiff(c.keys, c.checking).empty());
        if (c.accepted) {
            EXPECT_EQ(LineText().back(), 'P');
            EXPECT_NE(LineText(), "--P");
        } else {
            EXPECT_EQ(LineText(), "--P");
        }
        EXPECT_TRUE(HasImageSignature(Image()));
    }
}

TEST_F(ClearEntryTest, LatinPromptWordClearsAsWell) {
    At(55, 11) = 0x80;
    Type("*00700#");
    EXPECT_EQ(LineText(), "007=CLR Y:1/N:0");
    Type("1#");
    EXPECT_EQ(LineText().back(), 'P');
    EXPECT_FALSE(HasImageSignature(Image()));
    EXPECT_EQ(At(165, 0), 0);
}

// --- *9361: the profile flag and the default profile -----------------------------------------

std::uint16_t Word(const DataImage& image, int block, std::size_t offset) {
    return static_cast<std::uint16_t>(image.Block(block)[offset] | image.Block(block)[offset + 1]
                                                                       << 8);
}

TEST_F(SpecialEntryTest, ConfirmedProfileSetsTheFlagAndLoadsTheProfile) {
    At(80, 47) = 0x20;  // *9256's bit of the same byte stays
    Type("*93611#1#");
    EXPECT_EQ(LineText(), "9361=1P");
    EXPECT_EQ(state->key_input.outcome, kOutcomeStored);
    EXPECT_EQ(At(80, 47), 0x30);
    EXPECT_EQ(At(91, 0), 8);
    EXPECT_EQ(Word(Image(), 32, 12 * 13 + 4), 360);  // row 13, word 3
    EXPECT_EQ(At(57, 80 + 1), 0xA8);                 // entry 5's number 080
    EXPECT_EQ(At(57, 80 + 2), 0xA0);
    Type("*9361#");
    EXPECT_EQ(LineText(), "9361=1c");

    Type("*93610#1#");
    EXPECT_EQ(LineText(), "9361=0P");
    EXPECT_EQ(At(80, 47), 0x20);
    EXPECT_EQ(At(91, 0), 9);
    EXPECT_EQ(Word(Image(), 32, 12 * 1 + 4), 480);  // row 1, word 3
    EXPECT_EQ(At(57, 80 + 1), 0);
    Type("*9361#");
    EXPECT_EQ(LineText(), "9361=0c");
}

TEST_F(SpecialEntryTest, DeclinedOrOutOfRangeProfileChangesNothing) {
    std::vector<std::size_t> changed;
    const auto before = std::make_unique<DataImage>(Image());
    Type("*93611#0#");
    EXPECT_EQ(LineText(), "   =");  // the entry starts over
    EXPECT_TRUE(ChangedBytes(*before, Image()).empty());
    EXPECT_EQ(StoreAndDiff("9361=2", changed), kHandlerRejected);
    EXPECT_TRUE(changed.empty());
}

}  // namespace
}  // namespace qzs::testing
