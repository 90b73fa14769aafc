#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "programming/command_table.h"
#include "programming/data_image.h"
#include "programming/factory_defaults.h"
#include "programming/key_layout.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"

namespace qzs {
namespace {

bool AllBytes(std::span<const std::uint8_t> bytes, std::uint8_t value) {
    return std::ranges::all_of(bytes, [value](std::uint8_t b) { return b == value; });
}

template <std::size_t N>
std::string Field(const std::array<char, N>& field) {
    return std::string(field.data());
}

class StartupTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();
    DataImage& image = state->image;

    std::uint8_t At(int block, std::size_t offset) { return *image.BlockByte(block, offset); }
    // Everything start-up resets, dirtied first.
    void Dirty() {
        for (int b = 0; b < kBlockCount; ++b) std::ranges::fill(image.Block(b), std::uint8_t{0x5A});
        image.ip_settings.table_860[0][0] = 7;
        image.unit_code_bytes[3] = 9;
        state->modified.bytes.fill(ModifiedFlags::kSet);
        state->key_input.outcome = 6;
        state->key_input.notice_key = 4;
        for (TerminalRecord& r : state->terminals) {
            r.attributes.fill(0x11);
            r.state = 0x30;
            r.line.Write(0, "002=1P");
            r.line.SetCursor(6);
        }
        state->user_information.memo[0] = 'x';
    }
};

TEST_F(StartupTest, AFreshImageHasItsSignatureAndItsResetTables) {
    Dirty();
    InitDataImage(*state);
    for (int b : {0, 158, 159}) {
        EXPECT_TRUE(std::ranges::equal(image.Block(b), kImageSignature)) << b;
    }
    EXPECT_TRUE(AllBytes(state->modified.bytes, 0));
    EXPECT_TRUE(AllBytes(image.Block(178), 255));
    EXPECT_TRUE(AllBytes(image.Block(179), 255));
    EXPECT_TRUE(AllBytes(image.slot_config.alt_kind, 255));
    for (unsigned t = 1; t <= kTerminalCount; ++t) {
        const TerminalRecord& r = state->terminals[t - 1];
        EXPECT_EQ(r.attributes[0], 0xA3) << t;
        EXPECT_TRUE(AllBytes(std::span(r.attributes).subspan(1), 0)) << t;
        EXPECT_EQ(r.state, kStateIdle) << t;
        EXPECT_EQ(r.line.Cursor(), 0) << t;
        EXPECT_EQ(r.line.At(0), '\0') << t;
    }
    // ReservedPortNumber 8080, low byte first.
    EXPECT_EQ(image.ip_settings.reserved_port_number, (PortNumberBytes{0x90, 0x1F}));
    EXPECT_EQ(state->key_input.outcome, 0);
    EXPECT_EQ(state->key_input.notice_key, 0);
    EXPECT_EQ(image.ip_settings.table_860[0][0], 0);
    EXPECT_EQ(image.unit_code_bytes[3], 0);
}

TEST_F(StartupTest, FactoryValuesKeyLayoutsAndTheStepsBetweenThem) {
    Dirty();
    InitDataImage(*state);
    EXPECT_EQ(At(3, 0), 0x10);    // a factory value
    EXPECT_EQ(At(82, 2), 0x10);   // completed after the factory values
    EXPECT_EQ(At(55, 11), 0x00);  // set before the tables were cleared, so cleared again
    EXPECT_EQ(At(126, 0), 1);
    EXPECT_EQ(At(105, 0), 0);   // ModelTypeByte
    EXPECT_EQ(At(160, 0), 1);   // SpeedDialRowsMode: the 600-row layout
    EXPECT_EQ(At(169, 67), 1);  // system rows belong to group 1
    EXPECT_EQ(At(169, 71 * 599 + 67), 1);
    EXPECT_EQ(At(169, 71 * 600 + 67), 0);
    EXPECT_EQ(At(3, 25), 0x08);
    EXPECT_TRUE(AllBytes(image.Block(164).first(258), 0));  // work areas
    EXPECT_EQ(image.defaults_marker, kDefaultsMarker);
    for (unsigned t : {1u, 17u, 64u}) {
        EXPECT_EQ(KeyEntry(image, t, 31)[0], 0x9C) << t;  // code 980
        EXPECT_EQ(KeyEntry(image, t, 31)[1], 0x80) << t;
        EXPECT_EQ(KeyEntry(image, t, 3)[1], 0x03) << t;
    }
    const UserInformation& info = state->user_information;
    EXPECT_EQ(Field(info.user_name), std::string(24, ' '));
    EXPECT_EQ(Field(info.person_in_charge), std::string(24, ' '));
    EXPECT_EQ(Field(info.telephone_number), std::string(24, ' '));
    EXPECT_EQ(Field(info.installation_date), std::string(24, ' '));
    EXPECT_EQ(Field(info.area_code), std::string(10, ' '));
    EXPECT_EQ(Field(info.memo), std::string(72, ' '));
}

TEST_F(StartupTest, EveryStartUpLeavesTheSameImage) {
    InitDataImage(*state);
    auto first = std::make_unique<ProgrammingState>();
    InitDataImage(*first);
    Dirty();
    RunSetupCommandList(*state);
    InitDataImage(*state);
    EXPECT_EQ(std::memcmp(&first->image, &state->image, sizeof(DataImage)), 0);
    EXPECT_EQ(first->modified.bytes, state->modified.bytes);
}

// The built-in values take a shorter road than a table of their own; both must leave the same
// image and terminals, whatever the state held before.
TEST_F(StartupTest, BuiltInValuesAndTheSameValuesAsATableLeaveTheSameImage) {
    const std::vector<FactoryValue> values(BuiltInFactoryValues().begin(),
                                           BuiltInFactoryValues().end());
    auto built = std::make_unique<ProgrammingState>();
    InitDataImage(*built, values);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Dirty();
        InitDataImage(*state);
        EXPECT_EQ(std::memcmp(&built->image, &state->image, sizeof(DataImage)), 0);
        EXPECT_EQ(
            std::memcmp(built->terminals.data(), state->terminals.data(), sizeof(state->terminals)),
            0);
    }
}

// Start-up leaves the sheet lists blank however they were written: line by line, at the last
// line, or through the raw bytes a file reader fills.
TEST_F(StartupTest, SheetListsAreBlankAfterStartUpHoweverTheyWereWritten) {
    const auto blank = [](const auto& list) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (!std::ranges::all_of(list[i], [](char c) { return c == ' '; })) return false;
        }
        return true;
    };
    InitDataImage(*state);
    state->sheet_lines[3][0] = '*';
    state->sheet_lines[kSheetLineCount - 1][191] = 'x';
    state->key_sheet_lines.bytes()[kSheetLineBytes * 5000 + 7] = 'k';
    InitDataImage(*state);
    EXPECT_TRUE(blank(state->sheet_lines));
    EXPECT_TRUE(blank(state->key_sheet_lines));
    state->sheet_lines[10][0] = 'a';
    state->sheet_lines[20][0] = 'b';
    state->sheet_lines.BlankFrom(15);
    EXPECT_EQ(state->sheet_lines[10][0], 'a');
    EXPECT_EQ(state->sheet_lines[20][0], ' ');
    state->sheet_lines.Blank();
    EXPECT_TRUE(blank(state->sheet_lines));
}

// The copy requests of block 3 byte 25 are cleared before the copies and each copy runs on the
// bit as it stood. Telephone 17, which the copies skip, is the template here, and two features
// that the default layout does not write tell whether each copy ran.
TEST_F(StartupTest, KeyLayoutCopiesRunOnTheRequestsAsTheyStood) {
    constexpr std::uint16_t kTemplateRow = 256 * 16;
    const FactoryValue extra[] = {
        {FactoryPlace::kBlock, 3, 25, 1, 0x0B},
        {FactoryPlace::kBlock, 3, 42, 1, 17},
        {FactoryPlace::kBlock, 176, kTemplateRow + 63 + 100, 1, 140},  // feature 100: key 13
        {FactoryPlace::kBlock, 176, kTemplateRow + 63 + 154, 1, 154},  // feature 154: key 25
    };
    std::vector<FactoryValue> values(BuiltInFactoryValues().begin(), BuiltInFactoryValues().end());
    values.insert(values.end(), std::begin(extra), std::end(extra));
    InitDataImage(*state, values);
    EXPECT_EQ(At(3, 25), 0x08);
    EXPECT_EQ(*FeatureEntry(image, 1, 100), 140);   // keys 1-24 were copied
    EXPECT_EQ(*FeatureEntry(image, 64, 154), 154);  // keys 25-27 were copied
    EXPECT_EQ(*FeatureEntry(image, 18, 100), 0);    // telephones 17-20 are never written
}

TEST_F(StartupTest, AModelTypePlacesItsKeysAndIsCleared) {
    const FactoryValue model[] = {{FactoryPlace::kBlock, 105, 0, 1, 3}};
    std::vector<FactoryValue> values(BuiltInFactoryValues().begin(), BuiltInFactoryValues().end());
    values.push_back(model[0]);
    InitDataImage(*state, values);
    EXPECT_EQ(At(105, 0), 0);
    const std::array<std::uint8_t, 4> codes{0x35, 0x37, 0x38, 0x39};
    for (unsigned k = 0; k < 4; ++k) {
        EXPECT_EQ(KeyEntry(image, 2, 13 + k)[0], 0x9C) << k;
        EXPECT_EQ(KeyEntry(image, 2, 13 + k)[1], codes[k]) << k;
        EXPECT_EQ(KeyEntry(image, 17, 13 + k)[0], 0x0C) << k;
    }
}

std::string NumberOf(std::string_view command) {
    return std::string(command.substr(1, command[1] == '9' ? 4 : 3));
}

TEST_F(StartupTest, SetupCommandsAreTheEightyOneOfTheList) {
    const auto commands = SetupCommands();
    EXPECT_EQ(commands.size(), 81u);
    EXPECT_EQ(commands.front(), "*05045#");
    EXPECT_EQ(commands[17], "*9200401101#");
    EXPECT_EQ(commands[57], "*920240#");
    EXPECT_EQ(commands[68], "*94191090#");
    EXPECT_EQ(commands.back(), "*9423260002#");
    for (std::string_view c : commands) {
        EXPECT_EQ(c.front(), '*') << c;
        EXPECT_EQ(c.back(), '#') << c;
        EXPECT_NE(BuiltInCommandTable().Lookup(NumberOf(c)), BuiltInCommandTable().CatchAllIndex())
            << c;
    }
}

TEST_F(StartupTest, SetupCommandsAreAcceptedOnAFreshImage) {
    InitDataImage(*state);
    for (std::string_view command : SetupCommands()) {
        const char* line = RunCommand(*state, 1, command);
        ASSERT_NE(line, nullptr) << command;
        EXPECT_EQ(std::string_view(line).find("--"), std::string_view::npos)
            << command << " " << line;
    }
    // Their values, where the slots have their handlers: *9200 entry 4,01 holds position 101.
    EXPECT_NE(std::string_view(RunCommand(*state, 1, "*9200401#")).find("101c"),
              std::string_view::npos);
}

TEST_F(StartupTest, ShowingEveryCommandOnAFreshImageNeverReadsBackDifferent) {
    InitDataImage(*state);
    const auto fresh = std::make_unique<DataImage>(state->image);
    std::size_t typed = 0;
    for (std::string_view number : BuiltInCommandNumbers()) {
        if (number.empty()) continue;
        ++typed;
        // Each command on a fresh image: a show may be followed by a store of some kind.
        state->image = *fresh;
        PressKey(*state, '*');
        for (char c : number) PressKey(*state, c);
        PressKey(*state, '#');
        const auto shown = KeyDisplayBuffer(*state);
        EXPECT_EQ(std::string_view(shown.data(), shown.size()).find("--c"), std::string_view::npos)
            << number << ": " << std::string_view(shown.data(), shown.size());
    }
    EXPECT_EQ(typed, 856u);
}

}  // namespace
}  // namespace qzs
