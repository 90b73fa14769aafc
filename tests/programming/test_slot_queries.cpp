#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "programming/data_image.h"
#include "programming/slot_queries.h"

namespace qzs {
namespace {

TEST(SlotQueries, UnitCodesMapToTheirSlots) {
    const struct {
        std::uint8_t code, slot;
    } cases[] = {
        {11, 7},  {12, 6},  {13, 8},  {14, 12}, {15, 27}, {16, 27},  {17, 27},
        {18, 27}, {10, 27}, {19, 27}, {0, 27},  {1, 27},  {255, 27},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MapUnitCodeToSlot(c.code), c.slot) << "code " << int{c.code};
    }
}

// Each byte of the tables holds its own place, so a look-up that reads a wrong place shows.
std::unique_ptr<DataImage> NumberedTables() {
    auto image = std::make_unique<DataImage>();
    SlotConfigTables& t = image->slot_config;
    for (std::size_t s = 0; s < kCardSlotCount; ++s) {
        t.unit_kind[s] = static_cast<std::uint8_t>(100 + s);
        t.alt_kind[s] = static_cast<std::uint8_t>(200 + s);
        for (std::size_t p = 0; p < kPortsPerSlot; ++p) {
            t.port_kind[s][p] = static_cast<std::uint8_t>(4 * s + p);
        }
    }
    return image;
}

TEST(SlotQueries, KindLookUpsAreBoundedBySlotAndPort) {
    const auto image = NumberedTables();
    const struct {
        std::uint8_t slot, port;
        std::uint8_t unit_kind, alt_kind, port_kind;
    } cases[] = {
        {0, 0, 100, 200, 0},    {5, 2, 105, 205, 22},      {26, 3, 126, 226, 107},
        {26, 4, 126, 226, 255}, {0, 4, 100, 200, 255},     {27, 0, 255, 255, 255},
        {28, 3, 255, 255, 255}, {255, 255, 255, 255, 255},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetSlotUnitKind(*image, c.slot), c.unit_kind) << "slot " << int{c.slot};
        EXPECT_EQ(GetSlotAltKind(*image, c.slot), c.alt_kind) << "slot " << int{c.slot};
        EXPECT_EQ(GetPortKind(*image, c.slot, c.port), c.port_kind)
            << "slot " << int{c.slot} << " port " << int{c.port};
    }
}

TEST(SlotQueries, FieldCopiesFollowTheLengthBytesWithinTheField) {
    const struct {
        std::uint8_t slot;
        std::uint8_t short_length, long_length;
        std::size_t out_size;
        std::size_t short_copied, long_copied;
    } cases[] = {
        {0, 2, 8, 16, 2, 8},     {3, 5, 5, 16, 2, 5}, {28, 1, 8, 16, 1, 8}, {28, 0, 0, 16, 0, 0},
        {7, 255, 255, 16, 2, 8}, {7, 2, 8, 1, 1, 1},  {29, 2, 8, 16, 0, 0},
    };
    for (const auto& c : cases) {
        auto image = std::make_unique<DataImage>();
        const std::uint8_t record = c.slot < kSlotRecordCount ? c.slot : 0;
        SlotRecord& r = image->slot_config.records[record];
        for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>(0xA0 + i);
        r[kSlotShortLengthByte] = c.short_length;
        r[kSlotLongLengthByte] = c.long_length;

        std::vector<std::uint8_t> out(c.out_size, 0);
        ASSERT_EQ(CopySlotShortField(out, *image, c.slot), c.short_copied) << int{c.slot};
        for (std::size_t i = 0; i < c.short_copied; ++i) EXPECT_EQ(out[i], 0xA0 + 25 + i);
        for (std::size_t i = c.short_copied; i < out.size(); ++i) EXPECT_EQ(out[i], 0);

        std::fill(out.begin(), out.end(), 0);
        ASSERT_EQ(CopySlotLongField(out, *image, c.slot), c.long_copied) << int{c.slot};
        for (std::size_t i = 0; i < c.long_copied; ++i) EXPECT_EQ(out[i], 0xA0 + 28 + i);
        for (std::size_t i = c.long_copied; i < out.size(); ++i) EXPECT_EQ(out[i], 0);
    }
}

TEST(SlotQueries, LongFieldOfTheLastRecordIsItsOwn) {
    auto image = std::make_unique<DataImage>();
    const std::array<std::uint8_t, 8> last{1, 2, 3, 4, 5, 6, 7, 8};
    const std::array<std::uint8_t, 8> before{9, 9, 9, 9, 9, 9, 9, 9};
    SetSlotLongField(*image, 27, before);
    SetSlotLongField(*image, 28, last);
    SetSlotShortField(*image, 28, std::array<std::uint8_t, 3>{0x31, 0x32, 0x33});

    // Neither record's long field reaches into the other's bytes.
    EXPECT_EQ(image->slot_config.records[28][0], 0);
    std::array<std::uint8_t, 8> out{};
    EXPECT_EQ(CopySlotLongField(out, *image, 28), 8u);
    EXPECT_EQ(out, last);
    EXPECT_EQ(CopySlotLongField(out, *image, 27), 8u);
    EXPECT_EQ(out, before);
    std::array<std::uint8_t, 2> short_out{};
    EXPECT_EQ(CopySlotShortField(short_out, *image, 28), 2u);  // cut to the field
    EXPECT_EQ(short_out, (std::array<std::uint8_t, 2>{0x31, 0x32}));

    SetSlotLongField(*image, 29, last);  // no such record: nothing changes
    SetSlotLongField(*image, 0, std::array<std::uint8_t, 0>{});
    EXPECT_EQ(CopySlotLongField(out, *image, 0), 0u);
}

}  // namespace
}  // namespace qzs
