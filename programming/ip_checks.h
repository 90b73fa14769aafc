// The IP network settings the main unit keeps outside the blocks, and the checks that keep one
// address from being held by two places. A check takes the four octets in the order typed (first
// octet first) and compares them with bytes 0-3 of a stored address; none writes anything.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qzs {

class DataImage;

using IpAddress = std::array<std::uint8_t, 4>;        // first octet in byte 0
using PortNumberBytes = std::array<std::uint8_t, 2>;  // a port number, little-endian

inline constexpr std::size_t kIpSettingCount = 3;
inline constexpr std::size_t kPortAddressEntryCount = 128;
inline constexpr std::size_t kSlotAddressEntryCount = 27;
inline constexpr std::size_t kPairAddressEntryCount = 2;
// Ports above this number are not compared with the rest of the port table.
inline constexpr unsigned kPortTableCheckLimit = 64;

// Everything the *94xx commands and *860 keep, named by the command that writes it. The member
// order is the order the main unit keeps them in where that is known (the *9405-*9409 run).
struct IpNetworkSettings {
    // IpAddressSettings: *9400 selectors 0, 1, 2 (address, mask, second address).
    std::array<IpAddress, kIpSettingCount> address_settings{};
    // ReservedPortNumber: set by start-up only; *9402 refuses it.
    PortNumberBytes reserved_port_number{};
    // PortAddressTable: the entry of slot code n (1-128) at n - 1; bytes 0-3 the address (*9401),
    // bytes 6-7 the port number (*9421).
    std::array<std::array<std::uint8_t, 8>, kPortAddressEntryCount> port_address_table{};
    // *9412 / *9413: the key is read as 1-8 and only 1 is taken, so only entry 0 is written;
    // bytes 0-3 the address, bytes 4-5 the port number.
    std::array<std::array<std::uint8_t, 6>, 8> table_9412{};
    // SlotAddressTable: one address per card slot 0-26 (*9420).
    std::array<IpAddress, kSlotAddressEntryCount> slot_address_table{};
    // PairAddressTable: entries 1-2 at k - 1; bytes 0-3 the address (*9422), 4-5 the port (*9423).
    std::array<std::array<std::uint8_t, 6>, kPairAddressEntryCount> pair_address_table{};
    PortNumberBytes port_9402{};
    // The run *9405 address, *9404 port, one byte of other use, *9406 address, *9409 port.
    IpAddress address_9405{};
    PortNumberBytes port_9404{};
    std::uint8_t other_use_byte = 0;
    IpAddress address_9406{};
    PortNumberBytes port_9409{};
    IpAddress address_9414{};
    PortNumberBytes port_9415{};
    // *9419: bits 0-1 of the entry of slot code c at c - 1; bit 0 of the flag byte after it is set
    // by every accepted *9419 (nothing reads it).
    std::array<std::uint8_t, 128> table_9419{};
    std::uint8_t flag_9419 = 0;
    IpAddress address_9430{};
    std::array<PortNumberBytes, 2> ports_9431{};
    std::array<PortNumberBytes, 4> ports_9432{};
    IpAddress address_9433{};
    std::uint8_t value_9433 = 0;  // 0-253
    std::array<IpAddress, 20> table_9435{};
    IpAddress address_9437{};
    // *860, records 1-4 at k - 1: byte 0 bit 3 a flag, bits 4-5 a code, bits 0-2 a digit; byte 2
    // a slot code. Written from the items the main unit sends; the keypad only shows it.
    std::array<std::array<std::uint8_t, 3>, 4> table_860{};
};

// --- The checks; each answers true when the address is held there ---

// The three settings compare 0.0.0.0 like any other address.
bool IpEqualsSetting0(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                      std::uint8_t o4);
bool IpEqualsSetting1(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                      std::uint8_t o4);
bool IpEqualsSetting2(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                      std::uint8_t o4);

// The table checks and the two single-address checks never find 0.0.0.0 (an address not set).

// Own port n (1-based): an entry of the port table other than n's own holds the address. Ports
// above kPortTableCheckLimit answer false at once; port 0 owns no entry, so all 128 are scanned.
bool IpUsedInPortTable(const DataImage& image, unsigned own_port, std::uint8_t o1, std::uint8_t o2,
                       std::uint8_t o3, std::uint8_t o4);
bool IpInPortTable(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                   std::uint8_t o4);
// The *9406 address.
bool IpEqualsStoredAddressA(const DataImage& image, std::uint8_t o1, std::uint8_t o2,
                            std::uint8_t o3, std::uint8_t o4);
// Own slot s (0-26): a slot entry other than s holds the address; a slot above 26 owns none.
bool IpUsedInSlotTable(const DataImage& image, unsigned own_slot, std::uint8_t o1, std::uint8_t o2,
                       std::uint8_t o3, std::uint8_t o4);
bool IpInSlotTable(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                   std::uint8_t o4);
// Own entry e (1-2): the other pair entry holds the address.
bool IpUsedInPairTable(const DataImage& image, unsigned own_entry, std::uint8_t o1, std::uint8_t o2,
                       std::uint8_t o3, std::uint8_t o4);
bool IpInPairTable(const DataImage& image, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3,
                   std::uint8_t o4);
// The *9430 address.
bool IpEqualsStoredAddressB(const DataImage& image, std::uint8_t o1, std::uint8_t o2,
                            std::uint8_t o3, std::uint8_t o4);

// --- The checks a store makes, by the place the address goes to ---

enum class IpAddressPlace : std::uint8_t {
    kSetting0,     // *9400 selector 0
    kSetting1,     // *9400 selector 1 (the mask): nothing is compared
    kSetting2,     // *9400 selector 2
    kPortEntry,    // *9401, own = the slot code (1-based port entry)
    kAddress9406,  // *9406
    kSlotEntry,    // *9420, own = the slot (0-26)
    kPairEntry,    // *9422, own = the entry (1-2); the other pair entry is not compared
    kAddress9430,  // *9430
};

// True when one of the checks that a store into the place makes finds the address elsewhere, so
// that the store must be refused. The places *9405, *9412, *9414 and *9419 are stored without
// checks and have no entry here.
bool IpAddressHeldElsewhere(const DataImage& image, IpAddressPlace place, unsigned own,
                            const IpAddress& address);

}  // namespace qzs
