#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "programming/data_image.h"
#include "programming/ip_checks.h"

namespace qzs {
namespace {

void Put(std::span<std::uint8_t> place, IpAddress address) {
    std::copy(address.begin(), address.end(), place.begin());
}

// Addresses held in the example image, one distinct address per place.
constexpr IpAddress kSetting0{192, 168, 1, 100};
constexpr IpAddress kMask{255, 255, 255, 0};
constexpr IpAddress kSetting2{192, 168, 1, 2};
constexpr IpAddress kPort1{10, 0, 0, 1};
constexpr IpAddress kPort3{10, 0, 0, 3};
constexpr IpAddress kPort71{10, 0, 0, 71};
constexpr IpAddress kPort128{10, 0, 0, 128};
constexpr IpAddress kSlot0{192, 168, 1, 113};
constexpr IpAddress kSlot26{10, 1, 0, 26};
constexpr IpAddress kPair{192, 168, 1, 255};  // both pair entries, as the factory leaves them
constexpr IpAddress k9406{10, 2, 0, 6};
constexpr IpAddress k9430{192, 168, 1, 3};
constexpr IpAddress kFree{10, 9, 9, 9};
constexpr IpAddress kUnset{0, 0, 0, 0};

std::unique_ptr<DataImage> ExampleImage() {
    auto image = std::make_unique<DataImage>();
    IpNetworkSettings& ip = image->ip_settings;
    ip.address_settings = {kSetting0, kMask, kSetting2};
    Put(ip.port_address_table[0], kPort1);
    Put(ip.port_address_table[2], kPort3);
    Put(ip.port_address_table[70], kPort71);
    Put(ip.port_address_table[127], kPort128);
    ip.port_address_table[5][6] = 0x50;  // a port number beside an empty address is no address
    ip.slot_address_table[0] = kSlot0;
    ip.slot_address_table[26] = kSlot26;
    Put(ip.pair_address_table[0], kPair);
    Put(ip.pair_address_table[1], kPair);
    ip.address_9406 = k9406;
    ip.address_9430 = k9430;
    return image;
}

std::string Text(const IpAddress& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

// --- Each check on its own ---

enum class Check {
    kSetting0,
    kSetting1,
    kSetting2,
    kUsedInPort,
    kInPort,
    kAddressA,
    kUsedInSlot,
    kInSlot,
    kUsedInPair,
    kInPair,
    kAddressB,
};

bool RunCheck(Check check, const DataImage& image, unsigned own, IpAddress a) {
    switch (check) {
        case Check::kSetting0:
            return IpEqualsSetting0(image, a[0], a[1], a[2], a[3]);
        case Check::kSetting1:
            return IpEqualsSetting1(image, a[0], a[1], a[2], a[3]);
        case Check::kSetting2:
            return IpEqualsSetting2(image, a[0], a[1], a[2], a[3]);
        case Check::kUsedInPort:
            return IpUsedInPortTable(image, own, a[0], a[1], a[2], a[3]);
        case Check::kInPort:
            return IpInPortTable(image, a[0], a[1], a[2], a[3]);
        case Check::kAddressA:
            return IpEqualsStoredAddressA(image, a[0], a[1], a[2], a[3]);
        case Check::kUsedInSlot:
            return IpUsedInSlotTable(image, own, a[0], a[1], a[2], a[3]);
        case Check::kInSlot:
            return IpInSlotTable(image, a[0], a[1], a[2], a[3]);
        case Check::kUsedInPair:
            return IpUsedInPairTable(image, own, a[0], a[1], a[2], a[3]);
        case Check::kInPair:
            return IpInPairTable(image, a[0], a[1], a[2], a[3]);
        case Check::kAddressB:
            return IpEqualsStoredAddressB(image, a[0], a[1], a[2], a[3]);
    }
    return false;
}

struct CheckCase {
    Check check;
    bool empty_image;  // every address 0.0.0.0
    unsigned own;
    IpAddress address;
    bool held;
    const char* why;
};

TEST(IpChecks, EachCheckFindsWhatItsTableHolds) {
    const CheckCase cases[] = {
        {Check::kSetting0, false, 0, kSetting0, true, "setting 0 itself"},
        {Check::kSetting0, false, 0, kSetting2, false, "another setting"},
        {Check::kSetting0, true, 0, kUnset, true, "settings compare 0.0.0.0 too"},
        {Check::kSetting1, false, 0, kMask, true, "the mask"},
        {Check::kSetting1, true, 0, kUnset, true, "unset mask"},
        {Check::kSetting2, false, 0, kSetting2, true, "setting 2 itself"},
        {Check::kSetting2, false, 0, kSetting0, false, "setting 0 is not setting 2"},
        {Check::kUsedInPort, false, 3, kPort1, true, "port 3 finds port 1's address"},
        {Check::kUsedInPort, false, 3, kPort3, false, "port 3 skips its own entry 2"},
        {Check::kUsedInPort, false, 1, kPort1, false, "port 1 may keep its own address"},
        {Check::kUsedInPort, false, 64, kPort71, true, "entries past 64 are scanned too"},
        {Check::kUsedInPort, false, 64, kPort128, true, "entry 127 is scanned"},
        {Check::kUsedInPort, false, 65, kPort1, false, "ports above 64 are not compared"},
        {Check::kUsedInPort, false, 71, kPort3, false, "ports above 64 are not compared"},
        {Check::kUsedInPort, false, 0, kPort1, true, "port 0 owns no entry"},
        {Check::kUsedInPort, false, 2, kUnset, false, "0.0.0.0 is never found"},
        {Check::kInPort, false, 0, kPort71, true, "any entry"},
        {Check::kInPort, false, 0, kFree, false, "held nowhere"},
        {Check::kInPort, false, 0, kUnset, false, "empty entries hold 0.0.0.0 but are not found"},
        {Check::kAddressA, false, 0, k9406, true, "the *9406 address"},
        {Check::kAddressA, false, 0, k9430, false, "the *9430 address is not A"},
        {Check::kAddressA, true, 0, kUnset, false, "an unset single address is not held"},
        {Check::kUsedInSlot, false, 5, kSlot0, true, "slot 5 finds slot 0's address"},
        {Check::kUsedInSlot, false, 0, kSlot0, false, "slot 0 skips itself"},
        {Check::kUsedInSlot, false, 0, kSlot26, true, "the last slot is scanned"},
        {Check::kUsedInSlot, false, 27, kSlot0, true, "slot 27 owns no entry"},
        {Check::kUsedInSlot, false, 3, kUnset, false, "0.0.0.0 is never found"},
        {Check::kInSlot, false, 0, kSlot26, true, "any slot"},
        {Check::kInSlot, true, 0, kUnset, false, "0.0.0.0 is never found"},
        {Check::kUsedInPair, false, 1, kPair, true, "entry 2 holds it too"},
        {Check::kUsedInPair, false, 2, kPair, true, "entry 1 holds it too"},
        {Check::kUsedInPair, false, 1, kFree, false, "held nowhere"},
        {Check::kInPair, false, 0, kPair, true, "either entry"},
        {Check::kInPair, false, 0, kUnset, false, "0.0.0.0 is never found"},
        {Check::kAddressB, false, 0, k9430, true, "the *9430 address"},
        {Check::kAddressB, true, 0, kUnset, false, "an unset single address is not held"},
    };
    const auto example = ExampleImage();
    const auto empty = std::make_unique<DataImage>();
    for (const CheckCase& c : cases) {
        const DataImage& image = c.empty_image ? *empty : *example;
        EXPECT_EQ(RunCheck(c.check, image, c.own, c.address), c.held)
            << c.why << ": check " << static_cast<int>(c.check) << ", own " << c.own << ", "
            << Text(c.address);
    }
}

TEST(IpChecks, PairCheckSkipsOnlyTheOwnEntry) {
    auto image = ExampleImage();
    Put(image->ip_settings.pair_address_table[1], kFree);
    EXPECT_FALSE(IpUsedInPairTable(*image, 1, kPair[0], kPair[1], kPair[2], kPair[3]));
    EXPECT_TRUE(IpUsedInPairTable(*image, 2, kPair[0], kPair[1], kPair[2], kPair[3]));
    EXPECT_TRUE(IpUsedInPairTable(*image, 1, kFree[0], kFree[1], kFree[2], kFree[3]));
}

// --- The checks a store makes, by place: accept or refuse ---

struct StoreCase {
    IpAddressPlace place;
    bool empty_image;
    unsigned own;
    IpAddress address;
    bool refused;
    const char* why;
};

TEST(IpChecks, StoreIntoEachPlaceRefusesAddressesHeldElsewhere) {
    using P = IpAddressPlace;
    const StoreCase cases[] = {
        {P::kSetting0, false, 0, kSetting2, true, "selector 0 against selector 2"},
        {P::kSetting0, false, 0, kSetting0, false, "storing selector 0's own address again"},
        {P::kSetting0, false, 0, kMask, false, "the mask is never compared"},
        {P::kSetting0, false, 0, kPort71, true, "any port entry"},
        {P::kSetting0, false, 0, k9406, true, "the *9406 address"},
        {P::kSetting0, false, 0, kSlot26, true, "any slot entry"},
        {P::kSetting0, false, 0, kPair, true, "either pair entry"},
        {P::kSetting0, false, 0, k9430, true, "the *9430 address"},
        {P::kSetting0, false, 0, kFree, false, "held nowhere"},
        {P::kSetting1, false, 0, kSetting2, false, "the mask makes no checks"},
        {P::kSetting1, false, 0, kPort1, false, "the mask makes no checks"},
        {P::kSetting2, false, 0, kSetting0, true, "selector 2 against selector 0"},
        {P::kSetting2, false, 0, kSetting2, false, "selector 2's own address"},
        {P::kSetting2, false, 0, kPair, true, "either pair entry"},
        {P::kPortEntry, false, 1, kPort1, false, "a port keeps its own address"},
        {P::kPortEntry, false, 3, kPort1, true, "two ports may not share an address"},
        {P::kPortEntry, false, 33, kPort128, true, "a first-bank code sees all 128 entries"},
        {P::kPortEntry, false, 65, kPort1, false, "second-bank codes skip the port table"},
        {P::kPortEntry, false, 65, kSetting0, true, "but not the other checks"},
        {P::kPortEntry, false, 97, kPair, true, "second bank against the pair table"},
        {P::kPortEntry, false, 33, kSetting2, true, "setting 2"},
        {P::kPortEntry, false, 33, k9406, true, "the *9406 address"},
        {P::kPortEntry, false, 33, k9430, true, "the *9430 address"},
        {P::kPortEntry, false, 33, kSlot0, true, "any slot"},
        {P::kPortEntry, false, 33, kUnset, false, "clearing a port's address"},
        {P::kAddress9406, false, 0, k9406, false, "its own address again"},
        {P::kAddress9406, false, 0, kSetting0, true, "setting 0"},
        {P::kAddress9406, false, 0, kPort3, true, "any port entry"},
        {P::kAddress9406, false, 0, k9430, true, "the *9430 address"},
        {P::kSlotEntry, false, 0, kSlot0, false, "a slot keeps its own address"},
        {P::kSlotEntry, false, 0, kSlot26, true, "another slot's address"},
        {P::kSlotEntry, false, 0, kPort1, true, "any port entry"},
        {P::kSlotEntry, false, 0, k9406, true, "the *9406 address"},
        {P::kPairEntry, false, 1, kPair, false, "the pair entries may share an address"},
        {P::kPairEntry, false, 2, k9406, true, "the *9406 address"},
        {P::kPairEntry, false, 1, kSlot0, true, "any slot"},
        {P::kPairEntry, false, 1, k9430, true, "the *9430 address"},
        {P::kAddress9430, false, 0, k9430, false, "its own address again"},
        {P::kAddress9430, false, 0, kPair, true, "either pair entry"},
        {P::kAddress9430, false, 0, k9406, true, "the *9406 address"},
        {P::kAddress9430, false, 0, kFree, false, "held nowhere"},
        // In a fresh image every setting is 0.0.0.0, which the setting comparisons do find.
        {P::kSetting0, true, 0, kUnset, true, "setting 2 is 0.0.0.0"},
        {P::kSetting2, true, 0, kUnset, true, "setting 0 is 0.0.0.0"},
        {P::kAddress9406, true, 0, kUnset, true, "settings 0 and 2 are 0.0.0.0"},
        {P::kSetting1, true, 0, kUnset, false, "the mask makes no checks"},
        {P::kPortEntry, true, 33, kFree, false, "nothing held yet"},
    };
    const auto example = ExampleImage();
    const auto empty = std::make_unique<DataImage>();
    for (const StoreCase& c : cases) {
        const DataImage& image = c.empty_image ? *empty : *example;
        EXPECT_EQ(IpAddressHeldElsewhere(image, c.place, c.own, c.address), c.refused)
            << c.why << ": place " << static_cast<int>(c.place) << ", own " << c.own << ", "
            << Text(c.address);
    }
}

}  // namespace
}  // namespace qzs
