#include "programming/ip_checks.h"

#include <algorithm>
#include <span>

#include "programming/data_image.h"

namespace qzs {
namespace {

const IpNetworkSettings& Settings(const DataImage& image) {
    return image.ip_settings;
}

bool Holds(std::span<const std::uint8_t> stored, const IpAddress& address) {
    return std::equal(address.begin(), address.end(), stored.begin());
}

bool NotSet(const IpAddress& address) {
    return address == IpAddress{};
}

// Entries of a table other than the own index that hold the address; 0.0.0.0 is never found.
template <typename Table>
bool HeldByOtherEntry(const Table& table, std::size_t own_index, const IpAddress& address) {
    if (NotSet(address)) return false;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i != own_index && Holds(table[i], address)) return true;
    }
    return false;
}

constexpr std::size_t kNoOwnEntry = static_cast<std::size_t>(-1);

// A 1-based own number as a table index; 0 (and anything past the table) owns no entry.
std::size_t OwnIndexOneBased(unsigned own) {
    return own == 0 ? kNoOwnEntry : own - 1u;
}

bool EqualsSingle(const IpAddress& stored, const IpAddress& address) {
    return !NotSet(address) && stored == address;
}

}  // namespace

bool IpEqualsSetting0(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                      std::uint8_t o4) {
    return Settings(image).address_settings[0] == IpAddress{o1, o2, o3, o4};
}

bool IpEqualsSetting1(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                      std::uint8_t o4) {
    return Settings(image).address_settings[1] == IpAddress{o1, o2, o3, o4};
}

bool IpEqualsSetting2(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                      std::uint8_t o4) {
    return Settings(image).address_settings[2] == IpAddress{o1, o2, o3, o4};
}

bool IpUsedInPortTable(const DataImage& image, unsigned own_port, std::uint8_t o1, std::uint8_t o2,
                       std::uint8_t o3, std::uint8_t o4) {
    if (own_port > kPortTableCheckLimit) return false;
    return HeldByOtherEntry(Settings(image).port_address_table, OwnIndexOneBased(own_port),
                            {o1, o2, o3, o4});
}

bool IpInPortTable(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                   std::uint8_t o4) {
    return HeldByOtherEntry(Settings(image).port_address_table, kNoOwnEntry, {o1, o2, o3, o4});
}

bool IpEqualsStoredAddressA(const DataImage& image, std::uint8_t o1, std::uint8_t o2,
                            std::uint8_t o3, std::uint8_t o4) {
    return EqualsSingle(Settings(image).address_9406, {o1, o2, o3, o4});
}

bool IpUsedInSlotTable(const DataImage& image, unsigned own_slot, std::uint8_t o1, std::uint8_t o2,
                       std::uint8_t o3, std::uint8_t o4) {
    return HeldByOtherEntry(Settings(image).slot_address_table, own_slot, {o1, o2, o3, o4});
}

bool IpInSlotTable(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                   std::uint8_t o4) {
    return HeldByOtherEntry(Settings(image).slot_address_table, kNoOwnEntry, {o1, o2, o3, o4});
}

bool IpUsedInPairTable(const DataImage& image, unsigned own_entry, std::uint8_t o1, std::uint8_t o2,
                       std::uint8_t o3, std::uint8_t o4) {
    return HeldByOtherEntry(Settings(image).pair_address_table, OwnIndexOneBased(own_entry),
                            {o1, o2, o3, o4});
}

bool IpInPairTable(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                   std::uint8_t o4) {
    return HeldByOtherEntry(Settings(image).pair_address_table, kNoOwnEntry, {o1, o2, o3, o4});
}

bool IpEqualsStoredAddressB(const DataImage& image, std::uint8_t o1, std::uint8_t o2,
                            std::uint8_t o3, std::uint8_t o4) {
    return EqualsSingle(Settings(image).address_9430, {o1, o2, o3, o4});
}

namespace {

// Which checks a store into each place makes: one row per place, in IpAddressPlace order.
struct CheckSet {
    bool setting0, setting2, port_table, address_a, slot_table, pair_table, address_b;
};

constexpr std::array<CheckSet, 8> kChecksOfPlace{{
    // setting 0, setting 2, port table, *9406, slot table, pair table, *9430
    {false, true, true, true, true, true, true},        // *9400 selector 0
    {false, false, false, false, false, false, false},  // *9400 selector 1
    {true, false, true, true, true, true, true},        // *9400 selector 2
    {true, true, true, true, true, true, true},         // *9401 (ports other than its own)
    {true, true, true, false, true, true, true},        // *9406
    {true, true, true, true, true, true, true},         // *9420 (slots other than its own)
    {true, true, true, true, true, false, true},        // *9422
    {true, true, true, true, true, true, false},        // *9430
}};

}  // namespace

bool IpAddressHeldElsewhere(const DataImage& image, IpAddressPlace place, unsigned own,
                            const IpAddress& address) {
    const auto [a, b, c, d] = address;
    const std::size_t row = static_cast<std::size_t>(place);
    if (row >= kChecksOfPlace.size()) return false;
    const CheckSet& checks = kChecksOfPlace[row];
    // The port and slot entries are compared with the rest of their own table only; every other
    // place is compared with the whole of each table.
    bool port_held = false;
    if (checks.port_table) {
        port_held = place == IpAddressPlace::kPortEntry ? IpUsedInPortTable(image, own, a, b, c, d)
                                                        : IpInPortTable(image, a, b, c, d);
    }
    bool slot_held = false;
    if (checks.slot_table) {
        slot_held = place == IpAddressPlace::kSlotEntry ? IpUsedInSlotTable(image, own, a, b, c, d)
                                                        : IpInSlotTable(image, a, b, c, d);
    }
    return (checks.setting0 && IpEqualsSetting0(image, a, b, c, d)) ||
           (checks.setting2 && IpEqualsSetting2(image, a, b, c, d)) || port_held ||
           (checks.address_a && IpEqualsStoredAddressA(image, a, b, c, d)) || slot_held ||
           (checks.pair_table && IpInPairTable(image, a, b, c, d)) ||
           (checks.address_b && IpEqualsStoredAddressB(image, a, b, c, d));
}

}  // namespace qzs
