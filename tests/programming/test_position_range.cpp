// The position-range key of the per-port commands and the walk over its ports, on lines written
// as the keypad leaves them.
#include <string>
#include <vector>

#include "programming/handlers/handler_support.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

class PositionRangeTest : public HandlerTest {};

struct RangeCase {
    const char* line;
    PositionClass positions;
    std::uint8_t index_digits;
    bool valid;
    std::uint8_t first = 0;
    std::uint8_t last = 0;
    bool single = false;
    std::uint8_t index_at = 0;
    std::uint8_t data_at = 0;
};

TEST_F(PositionRangeTest, KeyFieldsGiveTheFormAndTheFieldPositions) {
    const std::vector<RangeCase> cases{
        // Without an index.
        {"101,-5", kPlainPositions, 0, true, 1, 1, true, 0, 5},
        {"101,112-5", kPlainPositions, 0, true, 1, 12, false, 0, 8},
        {"112,112-5", kPlainPositions, 0, true, 12, 12, false, 0, 8},
        {"137,148-5", kWidePositions, 0, true, 37, 48, false, 0, 8},
        {"105,140-5", kSpecialPositions, 0, true, 5, 40, false, 0, 8},
        {"137,-5", kPlainPositions, 0, false},     // the plain class has no second bank
        {"112,101-5", kPlainPositions, 0, false},  // last below first
        {"000,-5", kPlainPositions, 0, false},
        {"101,000-5", kPlainPositions, 0, false},
        {"113,-5", kWidePositions, 0, false},
        // A last position typed short: its "-" stands where a digit should.
        {"101,11-5", kPlainPositions, 0, false},
        {"101,1-5", kPlainPositions, 0, false},
        {"101,1125", kPlainPositions, 0, false},  // no "-" at all
        // A one-digit index.
        {"101,,3-1", kSpecialPositions, 1, true, 1, 1, true, 5, 7},
        {"101,148,3-1", kSpecialPositions, 1, true, 1, 48, false, 8, 10},
        {"101,11,3-1", kSpecialPositions, 1, false},
        {"101,1,3-1", kSpecialPositions, 1, false},
        // A two-digit index.
        {"101,,05-1", kWidePositions, 2, true, 1, 1, true, 5, 8},
        {"101,148,05-1", kWidePositions, 2, true, 1, 48, false, 8, 11},
        {"101,14,05-1", kWidePositions, 2, false},
        {"101,1,05-1", kWidePositions, 2, false},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.line);
        WriteLine(c.line);
        const PositionRange r = ParsePositionRange(Terminal(), 0, c.positions, c.index_digits);
        ASSERT_EQ(r.Valid(), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(r.first, c.first);
        EXPECT_EQ(r.last, c.last);
        EXPECT_EQ(r.single, c.single);
        if (c.index_digits != 0) {
            EXPECT_EQ(r.index_at, c.index_at);
        }
        EXPECT_EQ(r.data_at, c.data_at);
    }
}

TEST_F(PositionRangeTest, FieldPositionsFollowTheFirstFieldPosition) {
    WriteLine("9301=101,112-5");
    const PositionRange r = ParsePositionRange(Terminal(), 5, kSpecialPositions, 0);
    ASSERT_TRUE(r.Valid());
    EXPECT_EQ(r.data_at, 13);
}

TEST_F(PositionRangeTest, ShowTakesOnlyOnePositionWithAPort) {
    const struct {
        const char* line;
        PositionClass positions;
        std::uint8_t index_digits;
        std::uint8_t code;
    } cases[] = {
        {"101,-", kPlainPositions, 0, 1},    {"112,-", kPlainPositions, 0, 36},
        {"137,-", kWidePositions, 0, 65},    {"148,,05-", kSpecialPositions, 2, 100},
        {"101,112-", kPlainPositions, 0, 0},  // a range
        {"000,-", kWidePositions, 0, 0},     {"1x1,-", kWidePositions, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        WriteLine(c.line);
        EXPECT_EQ(ParseSinglePositionPort(Terminal(), 0, c.positions, c.index_digits), c.code);
    }
}

// The position values a recording class's map was given, in order.
std::vector<unsigned> mapped_values;

std::vector<std::uint8_t> WalkedCodes(const PositionRange& range, const PositionClass& positions) {
    std::vector<std::uint8_t> codes;
    WalkPositionRange(range, positions, WalkRule::kGoOn, [&](std::uint8_t code) {
        codes.push_back(code);
        return kHandlerAccepted;
    });
    return codes;
}

TEST_F(PositionRangeTest, WalkVisitsEveryPortOfTheRangeOnce) {
    WriteLine("101,148-1");
    const std::vector<std::uint8_t> both_banks{1,  2,  3,  4,  9,  10, 11, 12, 33, 34, 35, 36,
                                               65, 66, 67, 68, 73, 74, 75, 76, 97, 98, 99, 100};
    EXPECT_EQ(WalkedCodes(ParsePositionRange(Terminal(), 0, kWidePositions, 0), kWidePositions),
              both_banks);
    EXPECT_EQ(
        WalkedCodes(ParsePositionRange(Terminal(), 0, kSpecialPositions, 0), kSpecialPositions),
        both_banks);

    // The wide walk jumps from 112 to 137 through MapCrCode; what it visits is the same.
    mapped_values.clear();
    PositionClass recording = kWidePositions;
    recording.map = [](std::uint8_t index) {
        mapped_values.push_back(index);
        return MapSlotCodeWide(index);
    };
    WalkedCodes(ParsePositionRange(Terminal(), 0, recording, 0), recording);
    ASSERT_EQ(mapped_values.size(), 24u);
    EXPECT_EQ(mapped_values[11], 12u);
    EXPECT_EQ(mapped_values[12], 37u);

    WriteLine("105,110-1");
    EXPECT_EQ(WalkedCodes(ParsePositionRange(Terminal(), 0, kPlainPositions, 0), kPlainPositions),
              (std::vector<std::uint8_t>{9, 10, 11, 12, 33, 34}));
}

TEST_F(PositionRangeTest, WalkAnswersTheFirstFailureByItsRule) {
    WriteLine("101,104-1");
    const PositionRange r = ParsePositionRange(Terminal(), 0, kPlainPositions, 0);
    // Port 2 fails, the later ones succeed: the failure is the answer either way.
    for (WalkRule rule : {WalkRule::kStopAtFailure, WalkRule::kGoOn}) {
        std::vector<std::uint8_t> visited;
        const std::uint8_t answer =
            WalkPositionRange(r, kPlainPositions, rule, [&](std::uint8_t c) {
                visited.push_back(c);
                return c == 2 ? kHandlerMismatch : kHandlerAccepted;
            });
        EXPECT_EQ(answer, kHandlerMismatch);
        EXPECT_EQ(visited.size(), rule == WalkRule::kGoOn ? 4u : 2u);
    }
    // The first of two different failures is answered.
    EXPECT_EQ(WalkPositionRange(r, kPlainPositions, WalkRule::kGoOn,
                                [](std::uint8_t c) {
                                    return c == 2   ? kHandlerRejected
                                           : c == 3 ? kHandlerMismatch
                                                    : kHandlerAccepted;
                                }),
              kHandlerRejected);
}

TEST_F(PositionRangeTest, PortRecordStaysInsideItsBlock) {
    EXPECT_TRUE(PortRecord(Image(), 1, 48, 0).empty());
    EXPECT_EQ(PortRecord(Image(), 1, 48, 1).data(), &At(1, 0));
    EXPECT_EQ(PortRecord(Image(), 1, 48, 128).data(), &At(1, 127 * 48));
    const std::size_t records = BlockSize(1) / 48;
    EXPECT_TRUE(PortRecord(Image(), 1, 48, static_cast<std::uint8_t>(records + 1)).empty());
}

}  // namespace
}  // namespace qzs::testing
