#include <gtest/gtest.h>

#include <memory>

#include "programming/data_image.h"
#include "programming/slot_queries.h"
#include "programming/support_routines.h"

namespace qzs {
namespace {

TEST(SupportRoutines, SlotOfUnitCode) {
    const struct {
        std::uint8_t code, slot;
    } cases[] = {
        {0, 27},   {1, 0},    {4, 0},    {5, 1},    {8, 1},    {104, 25},
        {105, 26}, {108, 26}, {109, 27}, {133, 27}, {255, 27},
    };
    for (const auto& c : cases) EXPECT_EQ(SlotOfUnitCode(c.code), c.slot) << int{c.code};
}

TEST(SupportRoutines, FirstCodeOfSlotIsTheInverse) {
    for (unsigned s = 0; s < kCardSlotCount; ++s) {
        const std::uint8_t code = FirstCodeOfSlot(static_cast<std::uint8_t>(s));
        EXPECT_EQ(code, 4 * s + 1);
        EXPECT_EQ(SlotOfUnitCode(code), s);
    }
    EXPECT_EQ(FirstCodeOfSlot(27), 0);
    EXPECT_EQ(FirstCodeOfSlot(255), 0);
}

TEST(SupportRoutines, SetPortKindIsBounded) {
    auto image = std::make_unique<DataImage>();
    SetPortKind(*image, 26, 3, 0x41);
    SetPortKind(*image, 0, 0, 0x42);
    SetPortKind(*image, 27, 0, 0x43);
    SetPortKind(*image, 0, 4, 0x44);
    EXPECT_EQ(GetPortKind(*image, 26, 3), 0x41);
    EXPECT_EQ(GetPortKind(*image, 0, 0), 0x42);
    int set = 0;
    for (const auto& slot : image->slot_config.port_kind) {
        for (std::uint8_t kind : slot) set += kind != 0;
    }
    EXPECT_EQ(set, 2);
}

TEST(SupportRoutines, ClearSlotRecordsEmptiesEveryField) {
    auto image = std::make_unique<DataImage>();
    for (auto& record : image->slot_config.records) record.fill(0x5A);
    ClearSlotRecords(*image);
    std::array<std::uint8_t, 8> out{};
    for (std::uint8_t s = 0; s < kSlotRecordCount; ++s) {
        EXPECT_EQ(CopySlotLongField(out, *image, s), 0u);
        EXPECT_EQ(image->slot_config.records[s], SlotRecord{});
    }
}

}  // namespace
}  // namespace qzs
