#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>

#include "programming/key_assignment.h"
#include "programming/key_layout.h"
#include "programming/state.h"
#include "test_handlers_fixture.h"

namespace qzs {
namespace {

using testing::ChangedBytes;

class KeyAssignmentTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();

    void SetUp() override { LoadDefaultKeyLayouts(state->image); }
    std::array<std::uint8_t, 2> Key(unsigned telephone, unsigned key) {
        const std::uint8_t* e = KeyEntry(state->image, telephone, key);
        return {e[0], e[1]};
    }
    void SetKey(unsigned telephone, unsigned key, std::uint8_t first, std::uint8_t second) {
        std::uint8_t* e = KeyEntry(state->image, telephone, key);
        e[0] = first;
        e[1] = second;
    }
};

using Entry = std::array<std::uint8_t, 2>;
constexpr Entry kNoFunction{0x0C, 0x00};

TEST_F(KeyAssignmentTest, TheSameCodeOnAnotherKeyOfTheTelephoneIsCleared) {
    // Key 31 carries 980 after the default layout; key 7 carries code 7.
    ASSERT_EQ(Key(1, 31), (Entry{0x9C, 0x80}));
    ASSERT_TRUE(AssignKeyClearingDuplicates(*state, 1, 5, 980));
    EXPECT_EQ(Key(1, 5), (Entry{0x9C, 0x80}));
    EXPECT_EQ(Key(1, 31), kNoFunction);
    EXPECT_EQ(Key(1, 7), (Entry{0x0C, 0x07}));
    // Feature 131 (code 980) now names key 5 (key code 132).
    EXPECT_EQ(*FeatureEntry(state->image, 1, 131), 132);
    // Other telephones keep their own key 31.
    EXPECT_EQ(Key(2, 31), (Entry{0x9C, 0x80}));
}

TEST_F(KeyAssignmentTest, EveryDuplicateGoesWhateverItsKind) {
    SetKey(3, 9, 0x0C, 0x05);
    SetKey(3, 32, 0x0C, 0x05);
    ASSERT_TRUE(AssignKeyClearingDuplicates(*state, 3, 12, 5));
    EXPECT_EQ(Key(3, 12), (Entry{0x0C, 0x05}));
    EXPECT_EQ(Key(3, 5), kNoFunction);  // the default place of code 5
    EXPECT_EQ(Key(3, 9), kNoFunction);
    EXPECT_EQ(Key(3, 32), kNoFunction);
}

TEST_F(KeyAssignmentTest, AKeyOfAnotherKindKeepsItsEntryForCodeZeroAndItsTwinsGo) {
    // A code 0 leaves a kind-10 key as it is; the entries equal to it on other keys are cleared
    // all the same, as for any assignment.
    SetKey(4, 10, 0x0A, 0x21);
    SetKey(4, 11, 0x0A, 0x21);
    SetKey(4, 12, 0x0A, 0x22);
    ASSERT_TRUE(AssignKeyClearingDuplicates(*state, 4, 10, 0));
    EXPECT_EQ(Key(4, 10), (Entry{0x0A, 0x21}));
    EXPECT_EQ(Key(4, 11), kNoFunction);
    EXPECT_EQ(Key(4, 12), (Entry{0x0A, 0x22}));
}

TEST_F(KeyAssignmentTest, OutOfRangeArgumentsChangeNothing) {
    struct Case {
        unsigned telephone, key, code;
    };
    const Case cases[] = {{0, 5, 1}, {65, 5, 1}, {1, 0, 1}, {1, 33, 1}, {1, 5, 1000}};
    const DataImage before = state->image;
    for (const Case& c : cases) {
        EXPECT_FALSE(AssignKeyClearingDuplicates(*state, c.telephone, c.key, c.code))
            << c.telephone << " " << c.key << " " << c.code;
    }
    EXPECT_TRUE(ChangedBytes(before, state->image).empty());
}

TEST(CodeToBcd, DigitsInNibbles) {
    EXPECT_EQ(CodeToBcd(0), 0x0000);
    EXPECT_EQ(CodeToBcd(7), 0x0007);
    EXPECT_EQ(CodeToBcd(980), 0x0980);
    EXPECT_EQ(CodeToBcd(1234), 0x1234);
}

}  // namespace
}  // namespace qzs
