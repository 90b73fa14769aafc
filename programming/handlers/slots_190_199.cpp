// Slots 190-199: short number tables, the 24-digit numbers of *619, per-record fields over a
// range, the *029 unit records and the *026 unit bits (190-194); the IP network settings: the
// address and port entries, the *9419 value per position and the show of *860 (195-199).
// P below is the first field position on the line.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/ip_checks.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// ---------------------------------------------------------------------------------------------
// Slot 190 (*165, *166): 16 records of 4 bytes; byte 0 bits 0-2 a kind value, bytes 1-3 six dial
// digits.

constexpr std::size_t kShortNumberRecordBytes = 4;
constexpr std::uint8_t kShortNumberRecords = 16;
constexpr std::uint8_t kShortNumberDigits = 6;
// A number shorter than this is no number; only the lone "0" (clear) is taken instead.
constexpr std::uint8_t kShortNumberMinDigits = 3;

std::span<std::uint8_t> ShortNumberRecord(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    const int block = item == 1 ? 89 : item == 2 ? 90 : -1;
    if (block < 0) return {};
    const std::uint8_t k =
        ParseByteField(record, FirstFieldPosition(state), 2, 1, kShortNumberRecords);
    if (k == kFieldRefused) return {};
    return BlockBytes(state.image, block, kShortNumberRecordBytes * (k - 1u),
                      kShortNumberRecordBytes);
}

// ---------------------------------------------------------------------------------------------
// Slot 191 (*619): block 150, record k1 (1-7) of 84 bytes at 84 k1; six entries of 12 bytes from
// record byte 2, each two halves of 12 dial digits.

constexpr int kLongNumberBlock = 150;
constexpr std::size_t kLongNumberRecordBytes = 84;
constexpr std::size_t kLongNumberFirstEntry = 2;
constexpr std::size_t kLongNumberEntryBytes = 12;
constexpr std::size_t kLongNumberHalfBytes = 6;
constexpr std::uint8_t kLongNumberEntries = 6;
constexpr std::uint8_t kLongNumberHalfDigits = 12;

std::span<std::uint8_t> LongNumberEntries(DataImage& image, std::uint8_t k1, std::uint8_t first,
                                          std::uint8_t count) {
    return BlockBytes(
        image, kLongNumberBlock,
        kLongNumberRecordBytes * k1 + kLongNumberFirstEntry + kLongNumberEntryBytes * first,
        kLongNumberEntryBytes * count);
}

// Clears the bytes; 2 when one reads back nonzero.
std::uint8_t ClearBytes(std::span<std::uint8_t> bytes) {
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; })
               ? kHandlerAccepted
               : kHandlerMismatch;
}

// ---------------------------------------------------------------------------------------------
// Slot 192 (*681, *693): block 82, record k (1-7) at byte 4k.

constexpr int kRecordOptionBlock = 82;
constexpr std::uint8_t kRecordOptionRecords = 7;
constexpr std::uint8_t kRecordFlagMask = 0x08;  // *693: byte 4k bit 3
constexpr std::size_t kRecordValueByte = 2;     // *681: byte 4k + 2 bits 4-7

// ---------------------------------------------------------------------------------------------
// Slot 193 (*029): eight unit records of 50 four-byte entries and a count.

constexpr std::uint8_t kUnitRecordUnits = 8;
constexpr std::uint8_t kUnitRecordEntries = 50;
constexpr std::size_t kUnitRecordCountByte = 200;
constexpr std::uint8_t kEmptyEntryByte = 0xFF;

// ---------------------------------------------------------------------------------------------
// Slot 194 (*026): block 117 byte 0, bit k - 1 for unit k.

constexpr int kUnitBitBlock = 117;
constexpr std::uint8_t kUnitBitUnits = 8;

// ---------------------------------------------------------------------------------------------
// Slots 195 and 198: IP addresses. Twelve digits, four octets of three, each within its range;
// then the duplicate checks of the address's place; then the address is written and read back.

struct OctetRanges {
    std::array<std::uint16_t, 4> min;
    std::array<std::uint16_t, 4> max;
};

constexpr OctetRanges kSettingOctets{{0, 0, 0, 1}, {223, 255, 255, 254}};  // *9400 0 and 2
constexpr OctetRanges kMaskOctets{{128, 0, 0, 0}, {255, 255, 255, 254}};   // *9400 1
constexpr OctetRanges kHostOctets{{0, 0, 0, 0}, {223, 255, 255, 254}};
constexpr OctetRanges kPairOctets{{0, 0, 0, 0}, {239, 255, 255, 255}};  // *9422
constexpr OctetRanges kListOctets{{0, 0, 0, 0}, {223, 255, 255, 255}};  // *9435

constexpr std::uint8_t kOctetDigits = 3;
constexpr std::uint8_t kAddressDigits = 12;

// How a command's key field is read: none, a number of one or two digits within a range, or a
// position (wide: 109-112 and 137-148, or narrow: 109-112).
enum class KeyKind : std::uint8_t { kNone, kNumber, kWidePosition, kNarrowPosition };

struct KeySpec {
    KeyKind kind = KeyKind::kNone;
    std::uint8_t digits = 0;
    std::uint8_t min = 0;
    std::uint8_t max = 0;
};

// "000" -> 0, "109"-"112" -> 9-12, anything else 255; callers map with MapSlotCode.
std::uint8_t ParseIpPosition(const TerminalRecord& record, std::uint8_t position) {
    const std::uint8_t index = ParsePosition36(record, position);
    return index == 0 || (index >= 9 && index <= 12) ? index : kPositionRefused;
}

// 109-112 -> 9-12 and 137-148 -> 37-48; 000 and everything else 255. Mapped with MapSlotCodeWide.
std::uint8_t ParseIpPositionWide(const TerminalRecord& record, std::uint8_t position) {
    const std::uint8_t index = ParsePositionOrSpecial(record, position);
    return (index >= 9 && index <= 12) || (index >= 37 && index <= 48) ? index : kPositionRefused;
}

constexpr std::uint8_t kNoKey = 255;

// The key's value (a number, or the slot code of a position); kNoKey when refused. Position 000
// has slot code 0, which owns no entry of any table here and is refused with the rest.
std::uint8_t ReadKey(const TerminalRecord& record, std::uint8_t p, const KeySpec& key) {
    switch (key.kind) {
        case KeyKind::kNone:
            return 0;
        case KeyKind::kNumber:
            return ParseByteField(record, p, key.digits, key.min, key.max);
        case KeyKind::kWidePosition: {
            const std::uint8_t code = MapSlotCodeWide(ParseIpPositionWide(record, p));
            return code == 0 ? kNoKey : code;
        }
        case KeyKind::kNarrowPosition: {
            const std::uint8_t code = MapSlotCode(ParseIpPosition(record, p));
            return code == 0 ? kNoKey : code;
        }
    }
    return kNoKey;
}

// Where an address command's value goes for the key typed, with its octet ranges and checks.
struct AddressTarget {
    std::uint8_t* bytes = nullptr;  // four bytes, first octet first
    const OctetRanges* octets = &kHostOctets;
    bool checked = false;
    IpAddressPlace place = IpAddressPlace::kSetting1;
    unsigned own = 0;
};

struct AddressItem {
    std::uint8_t slot;
    std::uint8_t item;
    KeySpec key;
    AddressTarget (*target)(IpNetworkSettings& ip, std::uint8_t key);
    bool with_value;  // *9433: a value 0-253 follows the address
};

AddressTarget Unchecked(std::uint8_t* bytes, const OctetRanges& octets) {
    return {bytes, &octets, false, IpAddressPlace::kSetting1, 0};
}
AddressTarget Checked(std::uint8_t* bytes, const OctetRanges& octets, IpAddressPlace place,
                      unsigned own) {
    return {bytes, &octets, true, place, own};
}

constexpr std::array<IpAddressPlace, kIpSettingCount> kSettingPlaces{
    IpAddressPlace::kSetting0, IpAddressPlace::kSetting1, IpAddressPlace::kSetting2};

// The *9420 key names the unit code 13, whose address is slot entry 0.
constexpr std::uint8_t kSlotAddressUnit = 13;

const std::array kAddressItems{
    // *9400: selector 1 (the mask) has ranges of its own and is compared with nothing.
    AddressItem{195,
                1,
                {KeyKind::kNumber, 1, 0, 2},
                [](IpNetworkSettings& ip, std::uint8_t k) {
                    return Checked(ip.address_settings[k].data(),
                                   k == 1 ? kMaskOctets : kSettingOctets, kSettingPlaces[k], 0);
                },
                false},
    // *9401: a port at 137-148 (slot codes above 64) is not compared with the other ports; the
    // check itself knows that.
    AddressItem{195,
                2,
                {KeyKind::kWidePosition, 3, 0, 0},
                [](IpNetworkSettings& ip, std::uint8_t code) {
                    return Checked(ip.port_address_table[code - 1u].data(), kHostOctets,
                                   IpAddressPlace::kPortEntry, code);
                },
                false},
    AddressItem{195,
                3,
                {},
                [](IpNetworkSettings& ip, std::uint8_t) {
                    return Unchecked(ip.address_9405.data(), kHostOctets);
                },
                false},
    AddressItem{195,
                4,
                {},
                [](IpNetworkSettings& ip, std::uint8_t) {
                    return Checked(ip.address_9406.data(), kHostOctets,
                                   IpAddressPlace::kAddress9406, 0);
                },
                false},
    // *9412: the key reads as 1-8 on the main unit, but only entry 1 exists to be set.
    AddressItem{195,
                5,
                {KeyKind::kNumber, 1, 1, 1},
                [](IpNetworkSettings& ip, std::uint8_t) {
                    return Unchecked(ip.table_9412[0].data(), kHostOctets);
                },
                false},
    AddressItem{195,
                7,
                {KeyKind::kNumber, 2, kSlotAddressUnit, kSlotAddressUnit},
                [](IpNetworkSettings& ip, std::uint8_t) {
                    return Checked(ip.slot_address_table[0].data(), kHostOctets,
                                   IpAddressPlace::kSlotEntry, 0);
                },
                false},
    AddressItem{195,
                8,
                {KeyKind::kNumber, 1, 1, 2},
                [](IpNetworkSettings& ip, std::uint8_t k) {
                    return Checked(ip.pair_address_table[k - 1u].data(), kPairOctets,
                                   IpAddressPlace::kPairEntry, k);
                },
                false},
    AddressItem{195,
                10,
                {},
                [](IpNetworkSettings& ip, std::uint8_t) {
                    return Unchecked(ip.address_9414.data(), kHostOctets);
                },
                false},
    AddressItem{198,
                1,
                {},
                [](IpNetworkSettings& ip, std::uint8_t) {
                    return Checked(ip.address_9430.data(), kHostOctets,
                                   IpAddressPlace::kAddress9430, 0);
                },
                false},
    AddressItem{198,
                2,
                {},
                [](IpNetworkSettings& ip, std::uint8_t) {
                    return Unchecked(ip.address_9433.data(), kHostOctets);
                },
                true},
    AddressItem{198,
                3,
                {KeyKind::kNumber, 2, 1, 20},
                [](IpNetworkSettings& ip, std::uint8_t k) {
                    return Unchecked(ip.table_9435[k - 1u].data(), kListOctets);
                },
                false},
    AddressItem{198,
                4,
                {},
                [](IpNetworkSettings& ip, std::uint8_t) {
                    return Unchecked(ip.address_9437.data(), kHostOctets);
                },
                false},
};

const AddressItem* FindAddressItem(std::uint8_t slot, std::uint8_t item) {
    for (const AddressItem& row : kAddressItems) {
        if (row.slot == slot && row.item == item) return &row;
    }
    return nullptr;
}

// Line position of the data after a key of n digits (its separator follows it).
std::uint8_t DataPosition(std::uint8_t p, const KeySpec& key) {
    return static_cast<std::uint8_t>(key.kind == KeyKind::kNone ? p : p + key.digits + 1);
}

struct ResolvedAddress {
    const AddressItem* item = nullptr;
    AddressTarget target;
    std::uint8_t data = 0;
};

ResolvedAddress ResolveAddress(ProgrammingState& state, const TerminalRecord& record,
                               std::uint8_t slot) {
    const AddressItem* item = FindAddressItem(slot, CurrentDescriptor(state).SubType());
    if (item == nullptr) return {};
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t key = ReadKey(record, p, item->key);
    if (key == kNoKey) return {};
    return {item, item->target(state.image.ip_settings, key), DataPosition(p, item->key)};
}

std::uint32_t AddressWord(const IpAddress& address) {
    return std::uint32_t{address[0]} | std::uint32_t{address[1]} << 8 |
           std::uint32_t{address[2]} << 16 | std::uint32_t{address[3]} << 24;
}

constexpr std::uint16_t kAddressValueMax = 253;

std::uint8_t StoreAddress(ProgrammingState& state, TerminalRecord& record, std::uint8_t slot) {
    const ResolvedAddress resolved = ResolveAddress(state, record, slot);
    if (resolved.item == nullptr) return kHandlerRejected;
    const AddressTarget& target = resolved.target;
    IpAddress address{};
    for (std::size_t i = 0; i < address.size(); ++i) {
        const std::uint16_t octet =
            ParseWordField(record, static_cast<std::uint8_t>(resolved.data + kOctetDigits * i),
                           kOctetDigits, target.octets->min[i], target.octets->max[i]);
        if (octet == 0xFFFF) return kHandlerRejected;
        address[i] = static_cast<std::uint8_t>(octet);
    }
    std::uint16_t value = 0;
    if (resolved.item->with_value) {
        value =
            ParseWordField(record, static_cast<std::uint8_t>(resolved.data + kAddressDigits + 1), 3,
                           0, kAddressValueMax);
        if (value == 0xFFFF) return kHandlerRejected;
    }
    if (target.checked && IpAddressHeldElsewhere(state.image, target.place, target.own, address)) {
        return kHandlerRejected;
    }
    const std::span<std::uint8_t, 4> bytes(target.bytes, 4);
    const std::uint32_t word = AddressWord(address);
    SetDwordField(word, bytes);
    if (GetDwordField(bytes) != word) return kHandlerMismatch;
    if (resolved.item->with_value) {
        std::uint8_t& byte = state.image.ip_settings.value_9433;
        SetByteField(static_cast<std::uint8_t>(value), byte);
        if (GetByteField(byte) != value) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowAddress(ProgrammingState& state, TerminalRecord& record, std::uint8_t slot) {
    const ResolvedAddress resolved = ResolveAddress(state, record, slot);
    if (resolved.item == nullptr) return kHandlerRejected;
    for (std::size_t i = 0; i < 4; ++i) {
        AppendNumber(record, resolved.target.bytes[i], kOctetDigits, 10);
    }
    if (resolved.item->with_value) {
        record.line.Append(',');
        AppendNumber(record, state.image.ip_settings.value_9433, 3, 10);
    }
    return kHandlerAccepted;
}

// ---------------------------------------------------------------------------------------------
// Slots 196 and 199: port numbers. Five digits, 0 or 1024-65535 (some commands 1024-65535
// only), then a rule of the command's own, then the number is written and read back.

constexpr std::uint8_t kPortDigits = 5;
constexpr std::uint32_t kFirstFreePort = 1024;
constexpr std::uint32_t kLastPort = 65535;
// *9402 never takes the main unit's own port, nor the one start-up reserves.
constexpr std::uint16_t kMainUnitPort = 9000;

struct PortItem {
    std::uint8_t slot;
    std::uint8_t item;
    KeySpec key;
    bool zero_allowed;
    std::span<std::uint8_t, 2> (*place)(IpNetworkSettings& ip, std::uint8_t key);
    // True when the number may not stand here (besides the range); nullptr for no such rule.
    bool (*refuses)(const IpNetworkSettings& ip, std::uint8_t key, std::uint16_t number);
};

std::span<std::uint8_t, 2> Word(std::uint8_t* bytes) {
    return std::span<std::uint8_t, 2>(bytes, 2);
}

// A nonzero number already held by another of the entries (own = the key's entry, 1-based).
template <typename Entries>
bool HeldByAnother(const Entries& entries, std::size_t offset, std::uint8_t own,
                   std::uint16_t number) {
    if (number == 0) return false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i + 1 == own) continue;
        const std::uint8_t* bytes = entries[i].data() + offset;
        if (GetWordField(std::span<const std::uint8_t, 2>(bytes, 2)) == number) return true;
    }
    return false;
}

constexpr std::size_t kPortEntryPortByte = 6;  // PortAddressTable: bytes 6-7
constexpr std::size_t kPairPortByte = 4;       // *9412 and pair entries: bytes 4-5

const std::array kPortItems{
    PortItem{196,
             1,
             {},
             true,
             [](IpNetworkSettings& ip, std::uint8_t) { return Word(ip.port_9402.data()); },
             [](const IpNetworkSettings& ip, std::uint8_t, std::uint16_t number) {
                 return number == kMainUnitPort ||
                        number == GetWordField(std::span<const std::uint8_t, 2>(
                                      ip.reserved_port_number.data(), 2));
             }},
    PortItem{196,
             2,
             {},
             true,
             [](IpNetworkSettings& ip, std::uint8_t) { return Word(ip.port_9404.data()); },
             nullptr},
    PortItem{196,
             3,
             {},
             false,
             [](IpNetworkSettings& ip, std::uint8_t) { return Word(ip.port_9409.data()); },
             nullptr},
    PortItem{196,
             4,
             {KeyKind::kNumber, 1, 1, 1},
             true,
             [](IpNetworkSettings& ip, std::uint8_t) {
                 return Word(ip.table_9412[0].data() + kPairPortByte);
             },
             nullptr},
    PortItem{196,
             5,
             {KeyKind::kNarrowPosition, 3, 0, 0},
             true,
             [](IpNetworkSettings& ip, std::uint8_t code) {
                 return Word(ip.port_address_table[code - 1u].data() + kPortEntryPortByte);
             },
             [](const IpNetworkSettings& ip, std::uint8_t code, std::uint16_t number) {
                 return HeldByAnother(ip.port_address_table, kPortEntryPortByte, code, number);
             }},
    PortItem{196,
             6,
             {KeyKind::kNumber, 1, 1, 2},
             true,
             [](IpNetworkSettings& ip, std::uint8_t k) {
                 return Word(ip.pair_address_table[k - 1u].data() + kPairPortByte);
             },
             nullptr},
    PortItem{196,
             10,
             {},
             true,
             [](IpNetworkSettings& ip, std::uint8_t) { return Word(ip.port_9415.data()); },
             nullptr},
    PortItem{
        199,
        1,
        {KeyKind::kNumber, 1, 1, 2},
        true,
        [](IpNetworkSettings& ip, std::uint8_t k) { return Word(ip.ports_9431[k - 1u].data()); },
        [](const IpNetworkSettings& ip, std::uint8_t k, std::uint16_t number) {
            return HeldByAnother(ip.ports_9431, 0, k, number);
        }},
    PortItem{
        199,
        2,
        {KeyKind::kNumber, 1, 1, 4},
        true,
        [](IpNetworkSettings& ip, std::uint8_t k) { return Word(ip.ports_9432[k - 1u].data()); },
        [](const IpNetworkSettings& ip, std::uint8_t k, std::uint16_t number) {
            return HeldByAnother(ip.ports_9432, 0, k, number);
        }},
};

const PortItem* FindPortItem(std::uint8_t slot, std::uint8_t item) {
    for (const PortItem& row : kPortItems) {
        if (row.slot == slot && row.item == item) return &row;
    }
    return nullptr;
}

struct ResolvedPort {
    const PortItem* item = nullptr;
    std::uint8_t key = 0;
    std::uint8_t data = 0;
};

ResolvedPort ResolvePort(ProgrammingState& state, const TerminalRecord& record, std::uint8_t slot) {
    const PortItem* item = FindPortItem(slot, CurrentDescriptor(state).SubType());
    if (item == nullptr) return {};
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t key = ReadKey(record, p, item->key);
    if (key == kNoKey) return {};
    return {item, key, DataPosition(p, item->key)};
}

std::uint8_t StorePort(ProgrammingState& state, TerminalRecord& record, std::uint8_t slot) {
    const ResolvedPort resolved = ResolvePort(state, record, slot);
    if (resolved.item == nullptr) return kHandlerRejected;
    const std::uint32_t number = ParseDwordField(record, resolved.data, kPortDigits, 0, kLastPort);
    if (number == 0xFFFFFFFF) return kHandlerRejected;
    const bool valid = number == 0 ? resolved.item->zero_allowed : number >= kFirstFreePort;
    if (!valid) return kHandlerRejected;
    IpNetworkSettings& ip = state.image.ip_settings;
    const auto port = static_cast<std::uint16_t>(number);
    if (resolved.item->refuses != nullptr && resolved.item->refuses(ip, resolved.key, port)) {
        return kHandlerRejected;
    }
    const std::span<std::uint8_t, 2> bytes = resolved.item->place(ip, resolved.key);
    SetWordField(port, bytes);
    return GetWordField(bytes) == port ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowPort(ProgrammingState& state, TerminalRecord& record, std::uint8_t slot) {
    const ResolvedPort resolved = ResolvePort(state, record, slot);
    if (resolved.item == nullptr) return kHandlerRejected;
    AppendNumber(record, GetWordField(resolved.item->place(state.image.ip_settings, resolved.key)),
                 kPortDigits, 10);
    return kHandlerAccepted;
}

// ---------------------------------------------------------------------------------------------
// *9419 (slot 195, sub-type 6): bits 0-1 of the entry of a slot code; the values 2 and 3 may
// each stand at one position only.

constexpr std::uint8_t kPositionValueItem = 6;
constexpr std::uint8_t kUniquePositionValue = 2;  // this value and those above it

struct IpPositionRange {
    std::uint8_t first = kPositionRefused;
    std::uint8_t last = kPositionRefused;
    std::uint8_t data = 0;
    bool single = false;
};

// Position 000 maps to slot code 0, which has no entry in the table (it would be entry -1), so
// it is refused like a position that is not there; a range then lies within 109-112.
bool IsIpPositionEntry(std::uint8_t index) {
    const std::uint8_t code = MapSlotCode(index);
    return code != 0 && code != kPositionRefused;
}

IpPositionRange ParseIpPositionRange(const TerminalRecord& record, std::uint8_t p) {
    IpPositionRange range;
    range.single = record.line.At(p + 4u) == '-';
    range.first = ParseIpPosition(record, p);
    range.last =
        range.single ? range.first : ParseIpPosition(record, static_cast<std::uint8_t>(p + 4));
    range.data = static_cast<std::uint8_t>(range.single ? p + 5 : p + 8);
    if (!IsIpPositionEntry(range.first) || !IsIpPositionEntry(range.last) ||
        range.last < range.first) {
        return {};
    }
    return range;
}

bool ValueHeldElsewhere(const IpNetworkSettings& ip, std::uint8_t own_code, std::uint8_t value) {
    for (std::size_t i = 0; i < ip.table_9419.size(); ++i) {
        if (i + 1 != own_code && GetBits01(ip.table_9419[i]) == value) return true;
    }
    return false;
}

std::uint8_t StorePositionValue(ProgrammingState& state, TerminalRecord& record) {
    const IpPositionRange range = ParseIpPositionRange(record, FirstFieldPosition(state));
    if (range.first == kPositionRefused) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 3);
    if (value == kFieldRefused) return kHandlerRejected;
    // A range may set 0 or 1 only.
    if (value >= kUniquePositionValue && range.first != range.last) return kHandlerRejected;
    IpNetworkSettings& ip = state.image.ip_settings;
    for (unsigned i = range.first; i <= range.last; ++i) {
        const std::uint8_t code = MapSlotCode(static_cast<std::uint8_t>(i));
        if (value >= kUniquePositionValue && ValueHeldElsewhere(ip, code, value)) {
            return kHandlerRejected;
        }
        std::uint8_t& entry = ip.table_9419[code - 1u];
        SetBits01(value, entry);
        // Positions already written keep their value: the main unit stops here as well.
        if (GetBits01(entry) != value) return kHandlerMismatch;
    }
    ip.flag_9419 = static_cast<std::uint8_t>(ip.flag_9419 | 0x01);
    return kHandlerAccepted;
}

std::uint8_t ShowPositionValue(ProgrammingState& state, TerminalRecord& record) {
    const IpPositionRange range = ParseIpPositionRange(record, FirstFieldPosition(state));
    if (range.first == kPositionRefused || !range.single) return kHandlerRejected;
    AppendDigit(record,
                GetBits01(state.image.ip_settings.table_9419[MapSlotCode(range.first) - 1u]));
    return kHandlerAccepted;
}

// ---------------------------------------------------------------------------------------------
// *860 (slot 197, show only): records 1-4 of three bytes.

constexpr std::uint8_t kLinkFlagMask = 0x08;

void AppendLinkCode(TerminalRecord& record, std::uint8_t code) {
    record.line.Append(code == 2 ? "46" : code == 3 ? "89" : "00");
}

}  // namespace

// --- Slot 190 --------------------------------------------------------------------------------
// Key (2 digits), kind (1 digit), number from P + 5: three digits or more store it, a lone "0"
// clears it and keeps the kind.

std::uint8_t StoreHandler190(ProgrammingState& state, TerminalRecord& record) {
    auto bytes = ShortNumberRecord(state, record);
    if (bytes.empty()) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t kind = ParseByteField(record, p + 3, 1, 1, 1);
    if (kind == kFieldRefused) return kHandlerRejected;
    const auto number = static_cast<std::uint8_t>(p + 5);
    const auto digits = bytes.subspan(1, 3);
    if (CountLeadingDigits(record.line.Text().substr(number), kShortNumberDigits) >=
        kShortNumberMinDigits) {
        SetBits02(kind, bytes[0]);
        if (GetBits02(bytes[0]) != kind) return kHandlerMismatch;
        PackDialDigits(record, kShortNumberDigits, number, digits);
        return VerifyDialDigits(record, kShortNumberDigits, number, digits);
    }
    if (!HoldsLoneField(record, number, "0")) return kHandlerRejected;
    std::fill(digits.begin(), digits.end(), std::uint8_t{0});
    return kHandlerAccepted;
}

std::uint8_t ShowHandler190(ProgrammingState& state, TerminalRecord& record) {
    auto bytes = ShortNumberRecord(state, record);
    if (bytes.empty()) return kHandlerRejected;
    AppendDigit(record, GetBits02(bytes[0]));
    record.line.Append(',');
    UnpackDialDigits(record, kShortNumberDigits, bytes.subspan(1, 3));
    return kHandlerAccepted;
}

// --- Slot 191 --------------------------------------------------------------------------------
// Keys k1 (2 digits), k2 (entry 0-6), k3 (half 0-2), number from P + 7. "0" with k2 = k3 = 0
// clears the six entries, with k3 = 1 one entry; a first half drops the second; a second half
// needs a full first one.

std::uint8_t StoreHandler191(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k1 = ParseByteField(record, p, 2, 1, 7);
    const std::uint8_t k2 = ParseByteField(record, p + 3, 1, 0, kLongNumberEntries);
    const std::uint8_t k3 = ParseByteField(record, p + 5, 1, 0, 2);
    if (k1 == kFieldRefused || k2 == kFieldRefused || k3 == kFieldRefused) {
        return kHandlerRejected;
    }
    const auto number = static_cast<std::uint8_t>(p + 7);
    const bool clear = HoldsLoneField(record, number, "0");
    if (k2 == 0 && k3 == 0 && clear) {
        return ClearBytes(LongNumberEntries(state.image, k1, 0, kLongNumberEntries));
    }
    if (k2 == 0 || k3 == 0) return kHandlerRejected;
    auto entry = LongNumberEntries(state.image, k1, k2 - 1u, 1);
    if (entry.empty()) return kHandlerRejected;
    if (k3 == 1 && clear) return ClearBytes(entry);
    const auto first_half = entry.first(kLongNumberHalfBytes);
    const auto second_half = entry.subspan(kLongNumberHalfBytes);
    if (k3 == 1) {
        PackDialDigits(record, kLongNumberHalfDigits, number, first_half);
        const std::uint8_t check =
            VerifyDialDigits(record, kLongNumberHalfDigits, number, first_half);
        const std::uint8_t cleared = ClearBytes(second_half);
        return check != kHandlerAccepted ? check : cleared;
    }
    if (GetLowNibble(first_half.back()) == 0) return kHandlerRejected;
    PackDialDigits(record, kLongNumberHalfDigits, number, second_half);
    return VerifyDialDigits(record, kLongNumberHalfDigits, number, second_half);
}

std::uint8_t ShowHandler191(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k1 = ParseByteField(record, p, 2, 1, 7);
    const std::uint8_t k2 = ParseByteField(record, p + 3, 1, 1, kLongNumberEntries);
    const std::uint8_t k3 = ParseByteField(record, p + 5, 1, 1, 2);
    if (k1 == kFieldRefused || k2 == kFieldRefused || k3 == kFieldRefused) {
        return kHandlerRejected;
    }
    auto entry = LongNumberEntries(state.image, k1, k2 - 1u, 1);
    if (entry.empty()) return kHandlerRejected;
    UnpackDialDigits(record, kLongNumberHalfDigits,
                     entry.subspan(kLongNumberHalfBytes * (k3 - 1u), kLongNumberHalfBytes));
    return kHandlerAccepted;
}

// --- Slot 192 --------------------------------------------------------------------------------
// A record range, then one digit: *681 a value 1-4 (read back, the first mismatch ends the
// walk), *693 a flag (not read back).

std::uint8_t StoreHandler192(ProgrammingState& state, TerminalRecord& record) {
    UnitRange range;
    if (!ParseUnitRange(state, record, kRecordOptionRecords, range)) return kHandlerRejected;
    const bool flag = CurrentDescriptor(state).SubType() == 1;
    const std::uint8_t value = ParseByteField(record, range.data, 1, flag ? 0 : 1, flag ? 1 : 4);
    if (value == kFieldRefused) return kHandlerRejected;
    for (unsigned k = range.first; k <= range.last; ++k) {
        auto bytes = BlockBytes(state.image, kRecordOptionBlock, 4 * k, 4);
        if (bytes.empty()) return kHandlerRejected;
        if (flag) {
            SetMaskBits(bytes[0], kRecordFlagMask, value);
            continue;
        }
        SetHighNibble(value, bytes[kRecordValueByte]);
        if (GetHighNibble(bytes[kRecordValueByte]) != value) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler192(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t k = ParseSingleUnit(state, record, kRecordOptionRecords);
    if (k == kFieldRefused) return kHandlerRejected;
    auto bytes = BlockBytes(state.image, kRecordOptionBlock, 4u * k, 4);
    if (bytes.empty()) return kHandlerRejected;
    if (CurrentDescriptor(state).SubType() == 1) {
        AppendMaskFlag(record, bytes[0], kRecordFlagMask);
    } else {
        AppendDigit(record, GetHighNibble(bytes[kRecordValueByte]));
    }
    return kHandlerAccepted;
}

// --- Slot 193 --------------------------------------------------------------------------------
// "aa,00-0" empties unit a's record (a = 00: all eight); the show lists the count (entry 00) or
// one entry as two groups of four hexadecimal digits, nothing for an empty entry.

std::uint8_t StoreHandler193(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 2, 0, kUnitRecordUnits);
    const std::uint8_t entry = ParseByteField(record, p + 3, 2, 0, 0);
    const std::uint8_t data = ParseByteField(record, p + 6, 1, 0, 0);
    if (a == kFieldRefused || entry == kFieldRefused || data == kFieldRefused) {
        return kHandlerRejected;
    }
    auto& table = state.image.table_029;
    const std::size_t first = a == 0 ? 0 : a - 1u;
    const std::size_t last = a == 0 ? table.size() - 1 : a - 1u;
    for (std::size_t u = first; u <= last; ++u) {
        std::fill_n(table[u].begin(), kUnitRecordCountByte, kEmptyEntryByte);
        table[u][kUnitRecordCountByte] = 0;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler193(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 2, 1, kUnitRecordUnits);
    const std::uint8_t e = ParseByteField(record, p + 3, 2, 0, kUnitRecordEntries);
    if (a == kFieldRefused || e == kFieldRefused) return kHandlerRejected;
    const auto& unit = state.image.table_029[a - 1u];
    if (e == 0) {
        AppendNumber(record, unit[kUnitRecordCountByte], 2, 10);
        return kHandlerAccepted;
    }
    const std::uint8_t* bytes = unit.data() + 4 * (e - 1u);
    if (bytes[0] == kEmptyEntryByte) return kHandlerAccepted;
    AppendNumber(record, bytes[0], 2, 16);
    AppendNumber(record, bytes[1], 2, 16);
    record.line.Append(',');
    AppendNumber(record, bytes[2], 2, 16);
    AppendNumber(record, bytes[3], 2, 16);
    return kHandlerAccepted;
}

// --- Slot 194 --------------------------------------------------------------------------------

std::uint8_t StoreHandler194(ProgrammingState& state, TerminalRecord& record) {
    UnitRange range;
    if (!ParseUnitRange(state, record, kUnitBitUnits, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    auto bits = BlockBytes(state.image, kUnitBitBlock, 0, 1);
    if (bits.empty()) return kHandlerRejected;
    for (unsigned k = range.first; k <= range.last; ++k) {
        SetBitFromEntry(k - 1u, value, bits);
        if (VerifyBit(k - 1u, value, bits) != kHandlerAccepted) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler194(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t k = ParseSingleUnit(state, record, kUnitBitUnits);
    if (k == kFieldRefused) return kHandlerRejected;
    AppendBit(record, k - 1u, BlockBytes(state.image, kUnitBitBlock, 0, 1));
    return kHandlerAccepted;
}

// --- Slots 195-199 ---------------------------------------------------------------------------

std::uint8_t StoreHandler195(ProgrammingState& state, TerminalRecord& record) {
    if (CurrentDescriptor(state).SubType() == kPositionValueItem) {
        return StorePositionValue(state, record);
    }
    return StoreAddress(state, record, 195);
}

std::uint8_t ShowHandler195(ProgrammingState& state, TerminalRecord& record) {
    if (CurrentDescriptor(state).SubType() == kPositionValueItem) {
        return ShowPositionValue(state, record);
    }
    return ShowAddress(state, record, 195);
}

std::uint8_t StoreHandler196(ProgrammingState& state, TerminalRecord& record) {
    return StorePort(state, record, 196);
}

std::uint8_t ShowHandler196(ProgrammingState& state, TerminalRecord& record) {
    return ShowPort(state, record, 196);
}

// Record k: position, flag, code, digit ("109,1,46,3").
std::uint8_t ShowHandler197(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 1, 1, 4);
    if (k == kFieldRefused) return kHandlerRejected;
    const auto& bytes = state.image.ip_settings.table_860[k - 1u];
    AppendPortCode(record, bytes[2]);
    record.line.Append(',');
    AppendMaskFlag(record, bytes[0], kLinkFlagMask);
    record.line.Append(',');
    AppendLinkCode(record, GetBits45(bytes[0]));
    record.line.Append(',');
    AppendDigit(record, GetBits02(bytes[0]));
    return kHandlerAccepted;
}

std::uint8_t StoreHandler198(ProgrammingState& state, TerminalRecord& record) {
    return StoreAddress(state, record, 198);
}

std::uint8_t ShowHandler198(ProgrammingState& state, TerminalRecord& record) {
    return ShowAddress(state, record, 198);
}

std::uint8_t StoreHandler199(ProgrammingState& state, TerminalRecord& record) {
    return StorePort(state, record, 199);
}

std::uint8_t ShowHandler199(ProgrammingState& state, TerminalRecord& record) {
    return ShowPort(state, record, 199);
}

}  // namespace qzs
