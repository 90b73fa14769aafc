#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "programming/data_image.h"
#include "programming/number_index.h"
#include "programming/table_clear.h"

namespace qzs {
namespace {

std::uint8_t NumberCode(char c) {
    const std::string codes = "1234567890*#P-M";
    const auto at = codes.find(c);
    return at == std::string::npos ? 0 : static_cast<std::uint8_t>(at + 1);
}

// Stores the number text into the row, packed low nibble first, as the speed-dial rows keep it.
void SetRowNumber(DataImage& image, std::size_t row, const std::string& number) {
    auto bytes = SpeedDialRow(image, row).first(12);
    std::fill(bytes.begin(), bytes.end(), 0);
    for (std::size_t i = 0; i < number.size(); ++i) {
        const std::uint8_t code = NumberCode(number[i]);
        bytes[i / 2] |= (i % 2 == 0) ? code : static_cast<std::uint8_t>(code << 4);
    }
}

void SetEntry(DataImage& image, std::size_t index, std::uint16_t value) {
    auto block = image.Block(kNumberIndexBlock);
    block[2 * index] = static_cast<std::uint8_t>(value & 0xFF);
    block[2 * index + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::string TextOf(const NumberText& text) {
    return std::string(text.data(), std::find(text.begin(), text.end(), 0));
}

std::vector<std::uint16_t> Entries(const DataImage& image, std::size_t first, std::size_t last) {
    std::vector<std::uint16_t> out;
    for (std::size_t i = first; i <= last; ++i) out.push_back(NumberIndexEntry(image, i));
    return out;
}

TEST(NumberText, UnpacksLowNibbleFirstUpToTheFirstZero) {
    auto image = std::make_unique<DataImage>();
    SetRowNumber(*image, 4, "0312345678");
    EXPECT_EQ(SpeedDialRow(*image, 4)[0], 0x3A);
    const auto row = SpeedDialRow(*image, 4);
    EXPECT_EQ(TextOf(UnpackSpeedDialNumber(row.first<12>())), "0312345678");

    SetRowNumber(*image, 5, "03-1234*5#PM");
    EXPECT_EQ(TextOf(UnpackSpeedDialNumber(SpeedDialRow(*image, 5).first<12>())), "03-1234*5#PM");

    // A nibble 0 ends the number even when digits follow it.
    std::array<std::uint8_t, 12> stored{0x21, 0x30, 0x55};
    EXPECT_EQ(TextOf(UnpackSpeedDialNumber(stored)), "12");
    stored.fill(0xAA);
    EXPECT_EQ(TextOf(UnpackSpeedDialNumber(stored)), std::string(24, '0'));
}

TEST(NumberText, ComparesAsUnsignedBytesWithTheEndFirst) {
    const struct {
        const char* a;
        const char* b;
        int order;
    } cases[] = {
        {"", "", 0},   {"123", "123", 0}, {"12", "123", 2}, {"123", "12", 1},
        {"", "1", 2},  {"2", "10", 1},    {"#", "*", 2},    {"*", "0", 2},
        {"0", "1", 2}, {"9", "M", 2},     {"M", "P", 2},    {"-", "0", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareSpeedDialNumber(MakeNumberText(c.a), MakeNumberText(c.b)), c.order)
            << '"' << c.a << "\" vs \"" << c.b << '"';
    }
    // Only 24 characters count.
    EXPECT_EQ(CompareSpeedDialNumber(MakeNumberText(std::string(24, '1') + "2"),
                                     MakeNumberText(std::string(24, '1') + "3")),
              0);
}

TEST(NumberIndex, RowsArePlacedAtTheTopInNumberOrder) {
    auto image = std::make_unique<DataImage>();
    EXPECT_EQ(NumberIndexSearch(*image, MakeNumberText("5")), 600 + kProbedRight);

    SetRowNumber(*image, 10, "3");
    SetRowNumber(*image, 11, "1");
    SetRowNumber(*image, 12, "2");
    for (std::size_t row : {10, 11, 12}) MoveInNumberIndex(*image, row, 2);
    EXPECT_EQ(Entries(*image, 598, 600), (std::vector<std::uint16_t>{12, 13, 11}));
    EXPECT_EQ(Entries(*image, 0, 597), std::vector<std::uint16_t>(598, 0));

    EXPECT_EQ(NumberIndexSearch(*image, MakeNumberText("2")), 599);
    EXPECT_EQ(NumberIndexSearch(*image, MakeNumberText("15")), 599 + kProbedLeft);
    EXPECT_EQ(NumberIndexSearch(*image, MakeNumberText("4")), 600 + kProbedRight);
    EXPECT_EQ(FindNumberIndex(*image, MakeNumberText("3"), 600), 600);
    EXPECT_EQ(FindNumberIndex(*image, MakeNumberText("3"), 599) & ~kProbeIndexMask, kProbedRight);

    // A row whose number is now empty leaves the index; one more 0 moves to the low end.
    SetRowNumber(*image, 12, "");
    MoveInNumberIndex(*image, 12, 2);
    EXPECT_EQ(Entries(*image, 597, 600), (std::vector<std::uint16_t>{0, 0, 12, 11}));

    // A row storing a number another row holds goes in front of it.
    SetRowNumber(*image, 30, "3");
    MoveInNumberIndex(*image, 30, 2);
    EXPECT_EQ(Entries(*image, 598, 600), (std::vector<std::uint16_t>{12, 31, 11}));
}

TEST(NumberIndex, OtherModesWorkOnTheirOwnRange) {
    auto image = std::make_unique<DataImage>();
    SetRowNumber(*image, 3, "9");
    SetRowNumber(*image, 7, "8");
    MoveInNumberIndex(*image, 3, 0);
    MoveInNumberIndex(*image, 7, 0);
    EXPECT_EQ(Entries(*image, 78, 81), (std::vector<std::uint16_t>{0, 8, 4, 0}));

    auto wide = std::make_unique<DataImage>();
    SetRowNumber(*wide, 900, "1");
    SetRowNumber(*wide, 5, "2");
    MoveInNumberIndex(*wide, 900, 4);
    MoveInNumberIndex(*wide, 5, 4);
    EXPECT_EQ(Entries(*wide, 998, 1000), (std::vector<std::uint16_t>{0, 901, 6}));

    // Modes 1 and 3 name no range; rows past the largest layout have no entry.
    SetRowNumber(*wide, 6, "0");
    MoveInNumberIndex(*wide, 6, 1);
    MoveInNumberIndex(*wide, 6, 3);
    SetRowNumber(*wide, 1000, "0");
    MoveInNumberIndex(*wide, 1000, 4);
    EXPECT_EQ(Entries(*wide, 997, 1000), (std::vector<std::uint16_t>{0, 0, 901, 6}));
}

TEST(NumberIndex, NumberIndexOfLooksPastTheRowBeingEdited) {
    auto image = std::make_unique<DataImage>();
    SetRowNumber(*image, 5, "123");
    SetRowNumber(*image, 9, "123");
    SetRowNumber(*image, 20, "5");
    for (std::size_t row : {5, 9, 20}) MoveInNumberIndex(*image, row, 2);
    ASSERT_EQ(Entries(*image, 598, 600), (std::vector<std::uint16_t>{10, 6, 21}));
    // Among the rows the search probes 598 first: row 9's entry. Row 5 beside it holds the same
    // number.
    ASSERT_EQ(NumberIndexSearch(*image, MakeNumberText("123")), 598);

    const struct {
        const char* number;
        std::size_t row;
        std::uint16_t index;
    } cases[] = {
        {"123", 9, 599},            // the probe lands on the edited row; row 5 at 599 holds it too
        {"123", 5, 598},            // row 9 holds it
        {"123", 40, 598},           // any row but the edited one
        {"5", 20, kIndexNotFound},  // the only row with the number is the one being edited
        {"5", 21, 600},
        {"12", 40, kIndexNotFound},
        {"", 40, kIndexNotFound},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NumberIndexOf(*image, MakeNumberText(c.number), c.row), c.index)
            << c.number << " row " << c.row;
    }
}

TEST(NumberIndex, ShiftWordListMovesTheRowsToALargerTop) {
    auto image = std::make_unique<DataImage>();
    SetEntry(*image, 78, 3);
    SetEntry(*image, 79, 1);
    SetEntry(*image, 80, 2);
    ShiftWordList(*image, 80, 600);  // to a smaller top: nothing changes
    EXPECT_EQ(Entries(*image, 78, 80), (std::vector<std::uint16_t>{3, 1, 2}));
    ShiftWordList(*image, 600, 600);
    EXPECT_EQ(Entries(*image, 78, 80), (std::vector<std::uint16_t>{3, 1, 2}));
    ShiftWordList(*image, 1001, 80);  // past the index: nothing changes
    EXPECT_EQ(Entries(*image, 78, 80), (std::vector<std::uint16_t>{3, 1, 2}));

    ShiftWordList(*image, 600, 80);
    EXPECT_EQ(Entries(*image, 598, 600), (std::vector<std::uint16_t>{3, 1, 2}));
    EXPECT_EQ(Entries(*image, 0, 597), std::vector<std::uint16_t>(598, 0));

    ShiftWordList(*image, 1000, 600);
    EXPECT_EQ(Entries(*image, 998, 1000), (std::vector<std::uint16_t>{3, 1, 2}));
    EXPECT_EQ(Entries(*image, 0, 997), std::vector<std::uint16_t>(998, 0));
}

// --- Against a plain model: the numbers of rows 0-599 ---

class IndexModel {
  public:
    explicit IndexModel(DataImage& image) : image_(image) {}

    void Store(std::size_t row, const std::string& number) {
        SetRowNumber(image_, row, number);
        numbers_[row] = number;
        MoveInNumberIndex(image_, row, 2);
    }

    // Indexes 0-600: empties, then exactly the rows with a number, in number order.
    void ExpectIndexMatches() const {
        std::vector<std::size_t> numbered;
        for (const auto& [row, number] : numbers_) {
            if (!number.empty()) numbered.push_back(row);
        }
        const std::size_t first = 601 - numbered.size();
        std::vector<std::size_t> indexed;
        for (std::size_t i = 0; i <= 600; ++i) {
            const std::uint16_t entry = NumberIndexEntry(image_, i);
            if (i < first) {
                ASSERT_EQ(entry, 0) << "index " << i;
                continue;
            }
            ASSERT_GE(entry, 1) << "index " << i;
            indexed.push_back(entry - 1u);
        }
        for (std::size_t k = 1; k < indexed.size(); ++k) {
            ASSERT_LE(numbers_.at(indexed[k - 1]), numbers_.at(indexed[k])) << "index " << k;
        }
        std::sort(indexed.begin(), indexed.end());
        ASSERT_EQ(indexed, numbered);
    }

    void ExpectNumberIndexOf(const std::string& number, std::size_t row) const {
        bool other_holds = false;
        for (const auto& [r, n] : numbers_) other_holds |= (r != row && n == number);
        const std::uint16_t found = NumberIndexOf(image_, MakeNumberText(number), row);
        if (!other_holds || number.empty()) {
            EXPECT_EQ(found, kIndexNotFound) << number << " row " << row;
            return;
        }
        ASSERT_LE(found, 600) << number << " row " << row;
        const std::size_t at = NumberIndexEntry(image_, found) - 1u;
        EXPECT_NE(at, row);
        EXPECT_EQ(numbers_.at(at), number);
    }

  private:
    DataImage& image_;
    std::map<std::size_t, std::string> numbers_;
};

std::string RandomNumber(std::mt19937& random) {
    // Few characters and short numbers, so that equal numbers and prefixes are common.
    const std::string characters = "10#*2";
    const std::size_t length = random() % 4;
    std::string number;
    for (std::size_t i = 0; i < length; ++i) number += characters[random() % characters.size()];
    return number;
}

TEST(NumberIndex, RandomStoresKeepTheIndexSortedOverTheNumberedRows) {
    auto image = std::make_unique<DataImage>();
    IndexModel model(*image);
    std::mt19937 random(20240611);
    for (int step = 0; step < 4000; ++step) {
        // Half the stores go to a few rows, so numbers are replaced and emptied often.
        const std::size_t row = (random() % 2 == 0) ? random() % 600 : random() % 8;
        model.Store(row, RandomNumber(random));
        if (step % 20 == 0) {
            ASSERT_NO_FATAL_FAILURE(model.ExpectIndexMatches()) << "step " << step;
            EXPECT_TRUE(NumberIndexWellFormed(*image, 600));
        }
        model.ExpectNumberIndexOf(RandomNumber(random), random() % 600);
    }
    ASSERT_NO_FATAL_FAILURE(model.ExpectIndexMatches());
}

TEST(NumberIndex, RandomStoresFillingEveryRowKeepTheIndexRight) {
    auto image = std::make_unique<DataImage>();
    IndexModel model(*image);
    std::mt19937 random(7);
    for (std::size_t row = 0; row < 600; ++row) model.Store(row, "1" + RandomNumber(random));
    ASSERT_NO_FATAL_FAILURE(model.ExpectIndexMatches());
    for (int step = 0; step < 600; ++step) {
        model.Store(random() % 600, "1" + RandomNumber(random));
    }
    ASSERT_NO_FATAL_FAILURE(model.ExpectIndexMatches());
}

// --- Broken indexes from files ---

TEST(NumberIndex, BrokenIndexIsRebuiltFromTheRows) {
    const struct {
        std::size_t index;
        std::uint16_t entry;
        const char* why;
    } damage[] = {
        {599, 5000, "an entry past every row"},
        {599, 0xFFFF, "an entry of all ones"},
        {598, 3, "a row named twice"},
        {300, 7, "a row among the empties"},
        {600, 1001, "an entry one past the largest layout"},
    };
    for (const auto& d : damage) {
        auto image = std::make_unique<DataImage>();
        IndexModel model(*image);
        model.Store(2, "22");
        model.Store(6, "11");
        model.Store(3, "33");
        SetEntry(*image, d.index, d.entry);
        EXPECT_FALSE(NumberIndexWellFormed(*image, 600)) << d.why;
        // The searches read the broken entries without going outside the rows.
        (void)NumberIndexSearch(*image, MakeNumberText("22"));
        (void)NumberIndexOf(*image, MakeNumberText("33"), 2);

        model.Store(4, "00");
        ASSERT_NO_FATAL_FAILURE(model.ExpectIndexMatches()) << d.why;
    }
}

TEST(NumberIndex, RebuildKeepsRowOrderAmongEqualNumbers) {
    auto image = std::make_unique<DataImage>();
    SetRowNumber(*image, 40, "7");
    SetRowNumber(*image, 10, "7");
    SetRowNumber(*image, 20, "6");
    SetRowNumber(*image, 650, "1");  // a telephone row of this layout
    RebuildNumberIndex(*image, 600);
    EXPECT_EQ(Entries(*image, 596, 600), (std::vector<std::uint16_t>{0, 0, 21, 11, 41}));
    EXPECT_TRUE(NumberIndexWellFormed(*image, 600));
}

TEST(NumberIndex, ClearingTheSystemRowsEmptiesTheIndex) {
    auto image = std::make_unique<DataImage>();
    IndexModel model(*image);
    model.Store(1, "5");
    ClearSystemSpeedDial(*image, 1);
    EXPECT_EQ(Entries(*image, 0, 1000), std::vector<std::uint16_t>(1001, 0));
}

}  // namespace
}  // namespace qzs
