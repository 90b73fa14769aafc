// Slots 10, 11, 14 and 16-19: the shared option handlers, the port entries of block 40, the
// one-hot tables and the digit counts, typed on a started image through the command bridge.
#include "programming/handlers/handler_support.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

Place Copy080(std::size_t offset) {
    return T(
        "*080 copy", [](DataImage& i, std::size_t o) { return TableByte(i.copy_080, o); }, offset);
}

// --- Slot 19 ---------------------------------------------------------------------------------

TEST_F(HandlerCheck, DigitCountsOfKeysOneToSevenAreMirrored) {
    Run(Case{"*080",
             {},
             {
                 Refused("*08000#"),
                 Refused("*08015#"),
                 // Key 0 is entry 9 (byte 10); the copy has no entry for it.
                 Stored("*08003#", "080=0-3P", {{B(14, 10), 0x03, 0x02}}),
                 Shown("*0800#", "080=0-3c"),
                 Stored("*08011#", "080=1-1P", {{B(14, 1), 0x03, 0x00}, {Copy080(0), 0x03, 0x00}}),
                 Shown("*0801#", "080=1-1c"),
                 Stored("*08074#", "080=7-4P", {{B(14, 7), 0x03, 0x03}, {Copy080(6), 0x03, 0x03}}),
                 Shown("*0807#", "080=7-4c"),
                 Stored("*08082#", "080=8-2P", {{B(14, 8), 0x03, 0x01}}),
                 Shown("*0808#", "080=8-2c"),
             }});
}

TEST_F(HandlerCheck, DigitCountsMarkTheSystemModifiedForMirroredKeysOnly) {
    ASSERT_EQ(RunCommandForResult(*state, 1, "*08003#").result, CommandResult::kStored);
    EXPECT_EQ(state->modified.bytes[0], 0);
    ASSERT_EQ(RunCommandForResult(*state, 1, "*08012#").result, CommandResult::kStored);
    EXPECT_EQ(state->modified.bytes[0], ModifiedFlags::kSet);
}

// The other bits of a digit-count byte and of its copy byte belong to others.
TEST_F(HandlerCheck, DigitCountsKeepTheUpperBits) {
    std::uint8_t& byte = *state->image.BlockByte(14, 3);
    byte = 0xFC;
    state->image.copy_080[2] = 0xA8;
    ASSERT_EQ(RunCommandForResult(*state, 1, "*08034#").result, CommandResult::kStored);
    EXPECT_EQ(byte, 0xFF);
    EXPECT_EQ(state->image.copy_080[2], 0xAB);
    EXPECT_EQ(TrimLine(RunCommandForResult(*state, 1, "*0803#").line), "080=3-4c");
}

}  // namespace
}  // namespace qzs::testing
