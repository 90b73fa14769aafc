// Speed-dial rows: numbers packed and read back, names cleaned, the number index and chains kept
// in step, the working copy with duplicate detection and its commits, and the refused rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <string_view>

#include "programming/data_image.h"
#include "programming/name_chains.h"
#include "programming/number_index.h"
#include "programming/state.h"
#include "settings/data_image_startup.h"
#include "settings/speed_dial.h"

namespace qzs {
namespace {

template <std::size_t N>
void Put(std::array<char, N>& field, std::string_view text) {
    field = {};
    std::copy_n(text.begin(), std::min(text.size(), N), field.begin());
}

template <std::size_t N>
std::string Text(const std::array<char, N>& field) {
    return std::string(field.data(), std::find(field.begin(), field.end(), '\0'));
}

SpeedDialRecord Record(std::string_view number, std::string_view kanji = "",
                       std::string_view kana = "", char group = '0') {
    SpeedDialRecord r;
    Put(r.number, number);
    Put(r.kanji, kanji);
    Put(r.kana, kana);
    r.group = group;
    return r;
}

class SpeedDialTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();
    DataImage& image = state->image;
    DuplicateSpeedDialList& list = state->duplicate_speed_dial_list;

    void SetUp() override { InitDataImage(*state); }

    std::string LiveNumber(int row) {
        SpeedDialRecord r;
        EXPECT_EQ(GetSystemSpeedDial(*state, row, r), 1);
        return Text(r.number);
    }
    std::string StagedNumber(int row) {
        SpeedDialRecord r;
        EXPECT_EQ(GetStagedSystemSpeedDial(*state, row, r), 1);
        return Text(r.number);
    }
    std::string TelephoneNumber(int position, int row, bool staged = false) {
        SpeedDialRecord r;
        EXPECT_EQ(staged ? GetStagedTelephoneSpeedDial(*state, position, row, r)
                         : GetTelephoneSpeedDial(*state, position, row, r),
                  1);
        return Text(r.number);
    }

    // The index holds exactly the system rows with a number, in ascending order of the numbers,
    // and the chains agree with the rows.
    void ExpectIndexInStep() {
        EXPECT_TRUE(NumberIndexWellFormed(image, kNumberIndexLast));
        std::set<int> numbered;
        for (int r = 0; r < kSystemSpeedDialRows; ++r) {
            if (!LiveNumber(r).empty()) numbered.insert(r);
        }
        std::set<int> indexed;
        std::string previous;
        for (std::size_t i = 0; i <= kNumberIndexLast; ++i) {
            const std::uint16_t entry = NumberIndexEntry(image, i);
            if (entry == 0) continue;
            indexed.insert(entry - 1);
            const std::string number = LiveNumber(entry - 1);
            EXPECT_LE(previous, number) << "index " << i;
            previous = number;
        }
        EXPECT_EQ(indexed, numbered);
        EXPECT_TRUE(SpeedDialNameChainWellFormed(image));
        EXPECT_TRUE(SpeedDialGroupChainsWellFormed(image));
    }
};

TEST(SpeedDialNumber, PacksLowNibbleFirstAndReadsBack) {
    const auto packed = PackSpeedDialNumber("0312345678");
    EXPECT_EQ(packed[0], 0x3A);  // code 10 ('0') low, code 3 high
    EXPECT_EQ(packed[4], 0x87);
    EXPECT_EQ(packed[5], 0x00);
    EXPECT_EQ(Text(UnpackSpeedDialNumber(packed)), "0312345678");

    struct Case {
        std::string_view text;
        std::string_view read_back;
    };
    const Case cases[] = {
        {"03-1234*5#", "03-1234*5#"},
        {"PM-#*0987654321", "PM-#*0987654321"},
        {"123456789012345678901234", "123456789012345678901234"},
        {"1234567890123456789012345", "123456789012345678901234"},  // 24 at most
        {"12X34", "12"},  // a character without a code ends the number
        {"12 34", "12"},
        {"p1", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        const auto bytes = PackSpeedDialNumber(c.text);
        EXPECT_EQ(Text(UnpackSpeedDialNumber(bytes)), c.read_back) << c.text;
        // Nothing of the text after its end is packed.
        for (std::size_t i = (c.read_back.size() + 1) / 2; i < bytes.size(); ++i) {
            EXPECT_EQ(bytes[i], 0) << c.text;
        }
    }
    for (char c : std::string_view("1234567890*#P-M")) EXPECT_NE(SpeedDialNumberCode(c), 0) << c;
    for (char c : std::string_view(" pmAG/+\0", 8)) EXPECT_EQ(SpeedDialNumberCode(c), 0) << c;
}

TEST_F(SpeedDialTest, NamesAreCleanedAsTheyAreStored) {
    struct Case {
        std::string_view kanji, kanji_stored;
        std::string_view kana, kana_stored;
    };
    const Case cases[] = {
        {"A,B", "A B", "a,b", "a b"},
        {"\"<>\\x", "    x", "\"<>\\x", "    x"},
        // Two-byte kanji characters stay whole, a second byte 0x5C included ("表").
        {"\x95\x5c\x8e\x71", "\x95\x5c\x8e\x71", "\xb1\xb2\xb3", "\xb1\xb2\xb3"},
        {"\xe0<x", "\xe0<x", "\x82\xa0X", "  X"},  // a full-width kana loses both bytes
        {"\xa6,", "\xa6 ",
         "\xa0"
         "A",
         "  "},
        {"", "", "AB\x82", "AB "},  // a lead byte at the end: the name still ends there
        // At most 20 bytes are kept.
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGHIJKLMNOPQRST", "abcdefghijklmnopqrstu",
         "abcdefghijklmnopqrst"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(PutSystemSpeedDial(*state, 5, Record("1", c.kanji, c.kana)), 1);
        SpeedDialRecord r;
        ASSERT_EQ(GetSystemSpeedDial(*state, 5, r), 1);
        EXPECT_EQ(Text(r.kanji), c.kanji_stored) << c.kanji;
        EXPECT_EQ(Text(r.kana), c.kana_stored) << c.kana;
        // The same clean-up on a telephone row and in the working copy.
        ASSERT_EQ(PutTelephoneSpeedDial(*state, 101, 981, Record("1", c.kanji, c.kana)), 1);
        ASSERT_EQ(GetTelephoneSpeedDial(*state, 101, 981, r), 1);
        EXPECT_EQ(Text(r.kanji), c.kanji_stored) << c.kanji;
        EXPECT_EQ(Text(r.kana), c.kana_stored) << c.kana;
        ASSERT_EQ(StageSystemSpeedDial(*state, 7, Record("1", c.kanji, c.kana), 0), 1);
        ASSERT_EQ(GetStagedSystemSpeedDial(*state, 7, r), 1);
        EXPECT_EQ(Text(r.kana), c.kana_stored) << c.kana;
    }
}

TEST_F(SpeedDialTest, RowsReadBackInTextForm) {
    ASSERT_EQ(PutSystemSpeedDial(*state, 12, Record("03-1234*5#", "Kanji", "\xb6\xc5", '3')), 1);
    const auto stored = SpeedDialRow(image, 12);
    EXPECT_EQ(stored[0], 0x3A);
    EXPECT_EQ(stored[kSpeedDialGroupByte], 3);
    SpeedDialRecord r;
    ASSERT_EQ(GetSystemSpeedDial(*state, 12, r), 1);
    EXPECT_EQ(Text(r.number), "03-1234*5#");
    EXPECT_TRUE(std::all_of(r.number.begin() + 10, r.number.end(), [](char c) { return c == 0; }));
    EXPECT_EQ(Text(r.kanji), "Kanji");
    EXPECT_EQ(Text(r.kana), "\xb6\xc5");
    EXPECT_EQ(r.group, '3');
    // The group stored is the character's low three bits.
    ASSERT_EQ(PutSystemSpeedDial(*state, 12, Record("1", "", "", '9')), 1);
    EXPECT_EQ(SpeedDialRow(image, 12)[kSpeedDialGroupByte], 1);

    // Telephone rows: 101-108 take slots 0-7, 109 on slot position - 89; no group is stored.
    ASSERT_EQ(PutTelephoneSpeedDial(*state, 109, 999, Record("77", "T", "", '5')), 1);
    const auto row = SpeedDialRow(image, 600 + 20 * 20 + 19);
    EXPECT_EQ(row[0], 0x77);
    EXPECT_EQ(row[kSpeedDialGroupByte], 0);
    EXPECT_EQ(TelephoneNumber(109, 999), "77");
    ASSERT_EQ(PutTelephoneSpeedDial(*state, 101, 980, Record("5")), 1);
    EXPECT_EQ(SpeedDialRow(image, 600)[0], 0x05);
    // Row 600 of the system reads is that row.
    EXPECT_EQ(LiveNumber(600), "5");
}

TEST_F(SpeedDialTest, RowsOutOfRangeAreRefused) {
    const auto before = std::make_unique<DataImage>(image);
    SpeedDialRecord r = Record("123");
    for (int row : {-1, 600, 601, 980, 100000}) {
        EXPECT_EQ(PutSystemSpeedDial(*state, row, r), 0) << row;
        EXPECT_EQ(StageSystemSpeedDial(*state, row, r, 0), 0) << row;
        EXPECT_EQ(StageSystemSpeedDial(*state, row, r, 1), 0) << row;
        EXPECT_EQ(GetStagedSystemSpeedDial(*state, row, r), 0) << row;
    }
    // The live read keeps row 600, the staged one refuses it.
    EXPECT_EQ(GetSystemSpeedDial(*state, 600, r), 1);
    EXPECT_EQ(GetSystemSpeedDial(*state, 601, r), 0);
    EXPECT_EQ(GetSystemSpeedDial(*state, -1, r), 0);

    struct Telephone {
        int position;
        int row;
    };
    // Slot = (position < 109 ? position : position + 12) - 101 must lie in 0-63.
    for (const Telephone& t :
         {Telephone{101, 979}, Telephone{101, 1000}, Telephone{101, 0}, Telephone{100, 980},
          Telephone{0, 980}, Telephone{153, 980}, Telephone{-5, 990}, Telephone{1000, 985}}) {
        EXPECT_EQ(PutTelephoneSpeedDial(*state, t.position, t.row, r), 0) << t.position;
        EXPECT_EQ(StageTelephoneSpeedDial(*state, t.position, t.row, r, 0), 0) << t.position;
        EXPECT_EQ(StageTelephoneSpeedDial(*state, t.position, t.row, r, 1), 0) << t.position;
        EXPECT_EQ(GetTelephoneSpeedDial(*state, t.position, t.row, r), 0) << t.position;
        EXPECT_EQ(GetStagedTelephoneSpeedDial(*state, t.position, t.row, r), 0) << t.position;
    }
    EXPECT_EQ(std::memcmp(&image, before.get(), sizeof(DataImage)), 0);
    EXPECT_EQ(list.count, 0);
    // The last slot is 63: position 152.
    EXPECT_EQ(PutTelephoneSpeedDial(*state, 152, 999, Record("123")), 1);
    EXPECT_EQ(SpeedDialRow(image, 1879)[0], 0x21);
}

TEST_F(SpeedDialTest, StoresKeepTheNumberIndexInOrder) {
    ASSERT_EQ(PutSystemSpeedDial(*state, 0, Record("2")), 1);
    ASSERT_EQ(PutSystemSpeedDial(*state, 1, Record("1")), 1);
    EXPECT_EQ(NumberIndexEntry(image, 599), 2);  // the row with "1" before the row with "2"
    EXPECT_EQ(NumberIndexEntry(image, 600), 1);
    ExpectIndexInStep();

    std::mt19937 random(5);
    const std::string_view numbers[] = {"",   "0", "03", "0312345678", "1", "11",         "2",
                                        "#1", "*", "P9", "M",          "-", "0312345678", "99999"};
    for (int step = 0; step < 400; ++step) {
        const int row = static_cast<int>(random() % 600);
        const std::string_view number = numbers[random() % std::size(numbers)];
        const char name[2] = {static_cast<char>(0xB1 + random() % 40), 0};
        const char group = static_cast<char>('0' + random() % 8);
        if (step % 3 == 0) {
            SpeedDialRecord stored = Record("", "", name, group);
            const auto packed = PackSpeedDialNumber(number);
            std::memcpy(stored.number.data(), packed.data(), packed.size());
            stored.group = static_cast<char>(group - '0');
            ASSERT_EQ(StageSystemSpeedDial(*state, row, stored, 1), 1);
        } else {
            ASSERT_EQ(PutSystemSpeedDial(*state, row, Record(number, "", name, group)), 1);
        }
    }
    ExpectIndexInStep();
}

TEST_F(SpeedDialTest, AStagedDuplicateIsCaughtWhenItsSystemPageIsCommitted) {
    state->duplicate_check_flag = 1;
    ASSERT_EQ(PutSystemSpeedDial(*state, 60, Record("555", "", "\xb1")), 1);
    CommitSpeedDialPage(*state, 0, 0, 2);  // the working copy starts from the live rows
    EXPECT_EQ(StagedNumber(60), "555");

    // Page 1 posted: row 0 clears the page in the working copy; rows 3 and 7 share a number.
    ASSERT_EQ(PutSystemSpeedDial(*state, 9, Record("999")), 1);  // live only, cleared by the page
    CommitSpeedDialPage(*state, 0, 0, 2);
    ASSERT_EQ(StageSystemSpeedDial(*state, 0, Record("100", "", "\xb2"), 0), 1);
    ASSERT_EQ(StageSystemSpeedDial(*state, 3, Record("0312345678", "", "\xb3"), 0), 1);
    ASSERT_EQ(StageSystemSpeedDial(*state, 7, Record("0312345678", "", "\xb4"), 0), 1);
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(list.entries[0], (std::array<std::int32_t, 2>{3, 7}));
    EXPECT_EQ(StagedNumber(9), "");
    EXPECT_EQ(LiveNumber(3), "");  // nothing live until the commit
    EXPECT_EQ(LiveNumber(9), "999");

    CommitSpeedDialPage(*state, 1, 1, 1);
    // The higher row is stored again first and, the list holding a pair, loses its number.
    EXPECT_EQ(LiveNumber(3), "0312345678");
    EXPECT_EQ(LiveNumber(7), "");
    EXPECT_EQ(LiveNumber(0), "100");
    EXPECT_EQ(LiveNumber(9), "");
    EXPECT_EQ(LiveNumber(60), "555");
    EXPECT_EQ(list.count, 2);
    SpeedDialRecord r;
    ASSERT_EQ(GetSystemSpeedDial(*state, 7, r), 1);
    EXPECT_EQ(Text(r.kana), "\xb4");  // the names stay
    ExpectIndexInStep();

    // A row that is not the first of its page clears nothing; its duplicate on the same page
    // (60 on page 2) is caught too.
    CommitSpeedDialPage(*state, 0, 0, 2);
    list = DuplicateSpeedDialList{};
    ASSERT_EQ(StageSystemSpeedDial(*state, 51, Record("555"), 0), 1);
    EXPECT_EQ(list.entries[0], (std::array<std::int32_t, 2>{51, 60}));
    CommitSpeedDialPage(*state, 1, 2, 1);
    EXPECT_EQ(LiveNumber(51), "555");
    EXPECT_EQ(LiveNumber(60), "");  // the higher row, stored again first, loses it
    ExpectIndexInStep();
}

TEST_F(SpeedDialTest, AStagedDuplicateIsCaughtWhenItsTelephonePageIsCommitted) {
    state->duplicate_check_flag = 1;
    CommitSpeedDialPage(*state, 0, 0, 2);
    // Page 2 holds telephones 103 and 104.
    ASSERT_EQ(StageTelephoneSpeedDial(*state, 103, 980, Record("1"), 0), 1);
    ASSERT_EQ(StageTelephoneSpeedDial(*state, 103, 982, Record("44"), 0), 1);
    ASSERT_EQ(StageTelephoneSpeedDial(*state, 103, 985, Record("44"), 0), 1);
    ASSERT_EQ(StageTelephoneSpeedDial(*state, 104, 985, Record("44"), 0), 1);  // another telephone
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(list.entries[0], (std::array<std::int32_t, 2>{982, 985}));
    EXPECT_EQ(list.telephone, 103);
    EXPECT_EQ(TelephoneNumber(103, 982), "");

    CommitSpeedDialPage(*state, 1, 2, 0);
    EXPECT_EQ(TelephoneNumber(103, 982), "44");
    EXPECT_EQ(TelephoneNumber(103, 985), "");
    EXPECT_EQ(TelephoneNumber(104, 985), "44");
    EXPECT_EQ(TelephoneNumber(103, 980), "1");
    EXPECT_EQ(list.count, 2);

    // The telephone rows look for duplicates whatever the flag says.
    state->duplicate_check_flag = 0;
    list = DuplicateSpeedDialList{};
    ASSERT_EQ(StageTelephoneSpeedDial(*state, 112, 990, Record("8"), 0), 1);
    ASSERT_EQ(StageTelephoneSpeedDial(*state, 112, 999, Record("8"), 0), 1);
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(list.entries[0], (std::array<std::int32_t, 2>{990, 999}));
    EXPECT_EQ(list.telephone, 112);
}

TEST_F(SpeedDialTest, WithoutTheFlagSystemRowsAreNotCompared) {
    ASSERT_EQ(StageSystemSpeedDial(*state, 3, Record("12"), 0), 1);
    ASSERT_EQ(StageSystemSpeedDial(*state, 4, Record("12"), 0), 1);
    EXPECT_EQ(list.count, 0);
    ASSERT_EQ(PutSystemSpeedDial(*state, 5, Record("12")), 1);
    ASSERT_EQ(PutSystemSpeedDial(*state, 6, Record("12")), 1);
    EXPECT_EQ(LiveNumber(6), "12");
    EXPECT_EQ(list.count, 0);
}

TEST_F(SpeedDialTest, CommitsAndDiscards) {
    ASSERT_EQ(PutSystemSpeedDial(*state, 10, Record("10")), 1);
    ASSERT_EQ(PutTelephoneSpeedDial(*state, 101, 980, Record("7")), 1);
    CommitSpeedDialPage(*state, 0, 0, 2);
    EXPECT_EQ(StagedNumber(10), "10");
    EXPECT_EQ(TelephoneNumber(101, 980, true), "7");

    // Discarding throws away what was staged.
    ASSERT_EQ(StageSystemSpeedDial(*state, 11, Record("11"), 0), 1);
    CommitSpeedDialPage(*state, 0, 5, 1);
    EXPECT_EQ(StagedNumber(11), "");

    // Commit all: every staged row goes live, index and chains rebuilt.
    ASSERT_EQ(StageSystemSpeedDial(*state, 599, Record("3", "", "\xb5", '2'), 0), 1);
    ASSERT_EQ(StageSystemSpeedDial(*state, 200, Record("2", "", "\xb6", '2'), 0), 1);
    ASSERT_EQ(StageTelephoneSpeedDial(*state, 112, 999, Record("9"), 0), 1);
    CommitSpeedDialPage(*state, 1, 0, 2);
    EXPECT_EQ(LiveNumber(599), "3");
    EXPECT_EQ(LiveNumber(200), "2");
    EXPECT_EQ(TelephoneNumber(112, 999), "9");
    EXPECT_TRUE(
        std::ranges::equal(image.Block(kSpeedDialBlock), state->speed_dial_working_copy.bytes));
    ExpectIndexInStep();

    // A page outside the ranges only copies.
    ASSERT_EQ(StageSystemSpeedDial(*state, 300, Record("4"), 0), 1);
    CommitSpeedDialPage(*state, 1, 13, 1);
    EXPECT_EQ(LiveNumber(300), "4");
    ExpectIndexInStep();
}

TEST_F(SpeedDialTest, StartUpForgetsTheWorkingCopyTheModeAndTheList) {
    const auto fresh = std::make_unique<ProgrammingState>();
    InitDataImage(*fresh);
    state->duplicate_check_flag = 1;
    ASSERT_EQ(PutSystemSpeedDial(*state, 1, Record("5")), 1);
    CommitSpeedDialPage(*state, 0, 0, 2);
    ASSERT_EQ(StageSystemSpeedDial(*state, 2, Record("5"), 0), 1);
    ASSERT_EQ(list.count, 1);
    state->one_touch_lock_flags[3][4] = 1;
    state->paged_button_lock_flags[5][6] = 1;

    InitDataImage(*state);
    EXPECT_EQ(state->speed_dial_working_copy.bytes, fresh->speed_dial_working_copy.bytes);
    EXPECT_EQ(state->duplicate_check_flag, 0);
    EXPECT_EQ(std::memcmp(&list, &fresh->duplicate_speed_dial_list, sizeof list), 0);
    EXPECT_EQ(state->one_touch_lock_flags, fresh->one_touch_lock_flags);
    EXPECT_EQ(state->paged_button_lock_flags, fresh->paged_button_lock_flags);
    EXPECT_EQ(std::memcmp(&image, &fresh->image, sizeof(DataImage)), 0);
}

}  // namespace
}  // namespace qzs
