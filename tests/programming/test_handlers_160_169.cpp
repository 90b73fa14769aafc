// Slots 160 and 162-168: the key-assignment request, the group options and the two-digit codes,
// typed on a started image through the command bridge; and the code filters they test against.
#include <string>
#include <vector>

#include "programming/handlers/handler_support.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

// --- Code filters ----------------------------------------------------------------------------

std::vector<int> Allowed(std::span<const std::uint8_t> filter, int last) {
    std::vector<int> values;
    for (int v = 0; v <= last; ++v) {
        if (PassesCodeFilter(filter, static_cast<std::uint8_t>(v))) values.push_back(v);
    }
    return values;
}

TEST(CodeFilters, AllowTheirCodes) {
    EXPECT_EQ(Allowed(CodeFilterA, 26), (std::vector<int>{0, 9, 11, 12, 13, 14, 21, 22, 23, 24}));
    EXPECT_EQ(Allowed(CodeFilterB, 26),
              (std::vector<int>{0, 7, 8, 9, 10, 11, 12, 13, 14, 20, 21, 22, 23, 24}));
    EXPECT_EQ(Allowed(CodeFilterC, 26),
              (std::vector<int>{10, 11, 12, 13, 14, 15, 16, 20, 21, 22, 23, 24, 25, 26}));
    // Past 26 the tables keep the main unit's pattern; past their ends nothing passes.
    EXPECT_EQ(Allowed(CodeFilterA, 255).size(), 10u + 16u);
    EXPECT_EQ(Allowed(CodeFilterB, 255).size(), 14u + 20u);
    EXPECT_EQ(Allowed(CodeFilterC, 255).size(), 14u + 27u);
    EXPECT_EQ(CodeFilterC[50], 40);
    EXPECT_FALSE(PassesCodeFilter(CodeFilterC, 50));
    EXPECT_FALSE(PassesCodeFilter(CodeFilterA, 64 + 1));
    EXPECT_TRUE(PassesCodeFilter(CodeFilterC, 66));
    EXPECT_FALSE(PassesCodeFilter(CodeFilterC, 255));
}

}  // namespace
}  // namespace qzs::testing
