// Slots 150-159 but 152: the model type, the display options and the four entries typed on a
// started image through the command bridge, and the slots that no command reaches through a
// table of the test's own.
#include <string>
#include <vector>

#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

// --- Slot 153 --------------------------------------------------------------------------------

TEST_F(HandlerCheck, ModelTypeAndDisplayOptions) {
    Run(Case{"*033, *036, *037, *044",
             {},
             {
                 Refused("*0336#"),
                 Stored("*0333#", "033=3P", {{B(105, 0), 0xFF, 3}}),
                 Shown("*033#", "033=3c"),
                 Stored("*0364#", "036=4P", {{S(SettingByte::kDisplayOption), 0x0F, 0x04}}),
                 Stored("*0372#", "037=2P", {{S(SettingByte::kDisplayOption), 0xF0, 0x20}}),
                 Shown("*036#", "036=4c"),
                 Shown("*037#", "037=2c"),
                 Stored("*0365#", "036=5P", {{S(SettingByte::kDisplayOption), 0x0F, 0x05}}),
                 Shown("*037#", "037=2c"),
                 Refused("*0376#"),
                 Stored("*0445#", "044=5P", {{B(55, 22), 0x07, 0x05}}),
                 Shown("*044#", "044=5c"),
                 Stored("*0440#", "044=0P", {{B(55, 22), 0x07, 0x00}}),
                 Refused("*0446#"),
             }});
}

TEST_F(HandlerCheck, DisplayOptionsReloadTheCharacterTableButTheModelTypeDoesNot) {
    int reloads = 0;
    state->display_characters.hook = [&](std::uint8_t, std::uint8_t) { ++reloads; };
    for (const auto& [keys, expected] : std::vector<std::pair<std::string, int>>{
             {"*0333#", 0}, {"*0363#", 224}, {"*0373#", 224}, {"*0443#", 224}, {"*0447#", 0}}) {
        SCOPED_TRACE(keys);
        reloads = 0;
        RunCommandForResult(*state, 1, keys);
        EXPECT_EQ(reloads, expected);
    }
}

// --- Slot 154 --------------------------------------------------------------------------------

TEST_F(HandlerCheck, FourEntries) {
    Run(Case{"*9230, *9244, *9273",
             {},
             {
                 Refused("*923016#"),
                 Stored("*923017#", "9230=1-7P", {{B(80, 17), 0x0F, 0x07}}),
                 Stored("*923025#", "9230=2-5P", {{B(80, 17), 0xF0, 0x50}}),
                 Stored("*923033#", "9230=3-3P", {{B(80, 18), 0x0F, 0x03}}),
                 Stored("*923040#", "9230=4-0P", {{B(80, 18), 0xF0, 0x00}}),
                 Shown("*92301#", "9230=1-7c"),
                 Shown("*92302#", "9230=2-5c"),
                 Shown("*92303#", "9230=3-3c"),
                 Refused("*923058#"),
                 Refused("*923008#"),
                 Refused("*923018#"),
                 Stored("*924429#", "9244=2-9P", {{B(7, 5), 0x0F, 0x09}}),
                 Shown("*92442#", "9244=2-9c"),
                 Stored("*924440#", "9244=4-0P", {{B(7, 13), 0x0F, 0x00}}),
                 Stored("*92731012#", "9273=1,0-12P", {{B(7, 2), 0xFF, 0x12}}),
                 Shown("*927310#", "9273=1,0-12c"),
                 Stored("*92732124#", "9273=2,1-24P", {{B(7, 7), 0xFF, 0x24}}),
                 Shown("*927321#", "9273=2,1-24c"),
                 Refused("*92731015#"),
                 Refused("*92731019#"),
                 Refused("*92731009#"),
                 Refused("*92731210#"),
                 Refused("*92735010#"),
             }});
}

// --- Slots that no command reaches -------------------------------------------------------------

TEST_F(HandlerTest, SlotsWithoutACommand) {
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x01, 0x22, 0, 0, 0, 0, 0, 0, 150, 0, 2, 0}),        // *000: entry 65
        Descriptor({0, 0x01, 0x33, 0, 0, 0, 0, 0, 0, 151, 0, 0, 0}),        // *001
        Descriptor({0, 0x21, 0x22, 0x02, 0x11, 0, 0, 0, 1, 155, 1, 0, 0}),  // *002
        Descriptor({0, 0x11, 0x22, 0x11, 0, 0, 0, 0, 1, 159, 0, 0, 0}),     // *003
        Descriptor({0, 0x21, 0x22, 0x02, 0x11, 0, 0, 0, 1, 155, 4, 0, 0}),  // *004
    });
    UseTable(table);
    std::vector<std::size_t> changed;

    EXPECT_EQ(Store("000=12"), kHandlerAccepted);
    EXPECT_EQ(Image().first_pointer_area[2] & 0x0F, 12);
    EXPECT_EQ(state->modified.bytes[0], ModifiedFlags::kSet);
    EXPECT_EQ(Show("000=").text, "12");
    for (const char* refused : {"000=13", "000=00", "000=1-"}) {
        EXPECT_EQ(StoreAndDiff(refused, changed), kHandlerRejected) << refused;
        EXPECT_TRUE(changed.empty());
    }

    EXPECT_EQ(Store("001=255"), kHandlerAccepted);
    EXPECT_EQ(Show("001=").text, "255");
    EXPECT_EQ(Store("001=007"), kHandlerAccepted);
    EXPECT_EQ(Show("001=").text, "007");
    for (const char* refused : {"001=256", "001=300", "001=1 5"}) {
        EXPECT_EQ(StoreAndDiff(refused, changed), kHandlerRejected) << refused;
        EXPECT_TRUE(changed.empty());
    }

    // Entries 1-6 lie inside block 53; entries 7 and 8 would be past it.
    EXPECT_EQ(StoreAndDiff("002=01,06-5", changed), kHandlerAccepted);
    EXPECT_EQ(changed.size(), 6u);
    for (std::size_t e = 0; e < 6; ++e) EXPECT_EQ(At(53, 16 * e + 45) & 0x07, 5) << e;
    EXPECT_EQ(Show("002=06,-").text, "5");
    for (const char* refused : {"002=05,07-3", "002=07,-3", "002=01,06-8", "002=03,02-1"}) {
        EXPECT_EQ(StoreAndDiff(refused, changed), kHandlerRejected) << refused;
        EXPECT_TRUE(changed.empty());
    }
    EXPECT_EQ(Show("002=07,-").result, kHandlerRejected);
    EXPECT_EQ(Show("002=01,02-").result, kHandlerRejected);
    EXPECT_EQ(Store("004=02,-7"), kHandlerAccepted);
    EXPECT_EQ(At(53, 16 + 46) & 0x70, 0x70);

    EXPECT_EQ(StoreAndDiff("003=07-9", changed), kHandlerAccepted);
    EXPECT_EQ(changed, (std::vector<std::size_t>{OffsetOf(41, 153)}));
    EXPECT_EQ(At(41, 153) & 0x0F, 9);
    EXPECT_EQ(Show("003=07-").text, "09");
    EXPECT_EQ(Store("003=08-1"), kHandlerRejected);
}

}  // namespace
}  // namespace qzs::testing
