#include "programming/factory_defaults.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <span>
#include <type_traits>

#include "programming/name_chains.h"

namespace qzs {
namespace {

// --- Row makers of the factory value table ---

constexpr FactoryValue B(std::uint16_t block, std::uint16_t offset, std::uint8_t value) {
    return {FactoryPlace::kBlock, block, offset, 1, value};
}
constexpr FactoryValue W(std::uint16_t block, std::uint16_t offset, std::uint16_t word) {
    return {FactoryPlace::kBlock, block, offset, 2, word};
}
constexpr FactoryValue Run(std::uint16_t block, std::uint16_t offset, std::uint8_t value,
                           std::uint16_t count, std::uint16_t step) {
    return {FactoryPlace::kBlock, block, offset, 1, value, count, step};
}
constexpr FactoryValue Setting(SettingByte setting, std::uint8_t value) {
    return {FactoryPlace::kSettingByte, static_cast<std::uint16_t>(setting), 0, 1, value};
}
constexpr FactoryValue Set(FactoryPlace place, std::uint16_t offset, std::uint8_t value) {
    return {place, 0, offset, 1, value};
}
constexpr FactoryValue Fill(FactoryPlace place, std::uint8_t value, std::uint16_t count) {
    return {place, 0, 0, 1, value, count, 1};
}
constexpr FactoryValue Rows(FactoryPlace place, std::uint16_t offset, std::uint8_t value,
                            std::uint16_t count, std::uint16_t step) {
    return {place, 0, offset, 1, value, count, step};
}
constexpr FactoryValue Ip(FactoryPlace place, std::uint16_t offset, std::uint8_t a, std::uint8_t b,
                          std::uint8_t c, std::uint8_t d) {
    return {place, 0, offset, 4,
            (std::uint32_t{a} << 24) | (std::uint32_t{b} << 16) | (std::uint32_t{c} << 8) | d};
}
constexpr FactoryValue Port(FactoryPlace place, std::uint16_t offset, std::uint16_t number) {
    return {place, 0, offset, 2, number};
}

constexpr FactoryValue kFactoryValues[] = {
#include "programming/factory_values.inc"
};

// The bytes of a setting kept outside the blocks. The settings are arrays of bytes (and one
// 32-bit value), so their object representation is their layout.
template <typename T>
std::span<std::uint8_t> BytesOf(T& object) {
    static_assert(std::is_trivially_copyable_v<T>);
    return {reinterpret_cast<std::uint8_t*>(&object), sizeof(T)};
}

// Writes one row; false when it would reach past its place.
bool ApplyRow(DataImage& image, const FactoryValue& row) {
    const auto bytes = FactoryPlaceBytes(image, row.place, row.number);
    if (row.size != 1 && row.size != 2 && row.size != 4) return false;
    if (row.repeat == 0) return true;
    const std::size_t last = row.offset + std::size_t{row.stride} * (row.repeat - 1u) + row.size;
    if (last > bytes.size()) return false;
    for (std::size_t i = 0; i < row.repeat; ++i) {
        std::uint8_t* at = bytes.data() + row.offset + std::size_t{row.stride} * i;
        switch (row.size) {
            case 1:
                at[0] = static_cast<std::uint8_t>(row.value);
                break;
            case 2:
                at[0] = static_cast<std::uint8_t>(row.value);
                at[1] = static_cast<std::uint8_t>(row.value >> 8);
                break;
            case 4:
                for (int k = 0; k < 4; ++k)
                    at[k] = static_cast<std::uint8_t>(row.value >> (24 - 8 * k));
                break;
        }
    }
    return true;
}

// --- CompleteDefaults ---

inline constexpr int kGroupOptionBlock = 82;  // 8 records of 4 bytes; byte 2 bits 4-7 a value
inline constexpr int kLineOptionBlock = 85;   // 4 records of 12 bytes
inline constexpr int kTimerPairBlock = 7;     // bytes 2 + 4k and 3 + 4k, k 0-3

void CompleteGroupOptions(DataImage& image) {
    auto block = image.Block(kGroupOptionBlock);
    for (std::size_t k = 0; k < 8; ++k) {
        std::uint8_t& b = block[2 + 4 * k];
        if (b < 0x10) b |= 0x10;
    }
}

void CompleteLineOptions(DataImage& image) {
    auto block = image.Block(kLineOptionBlock);
    for (std::size_t r = 0; r < 4; ++r) {
        std::uint8_t* record = block.data() + 12 * r;
        if ((record[1] & 0x07) == 0) record[1] |= 0x02;
        if ((record[8] & 0x0F) == 0) record[8] |= 0x01;
        if (record[6] == 0) record[6] = 90;
    }
}

// Records 1-7 of the *699 table; record 0 no command names and stays as it is.
void CompleteScheduleEntries(DataImage& image) {
    for (std::size_t a = 1; a < kTable699Records; ++a) {
        for (std::size_t b = 0; b < kTable699Groups; ++b) {
            for (std::size_t c = 0; c < kTable699Entries; ++c) {
                std::uint8_t* entry =
                    image.table_699[a].data() + kTable699GroupBytes * b + kTable699EntryBytes * c;
                if ((entry[0] & 0x0F) == 0) {
                    entry[0] = static_cast<std::uint8_t>((entry[0] & 0xF0) | 0x07);
                    entry[1] = 1;
                    entry[2] = 0;
                }
            }
        }
    }
}

void CompleteTimerPairs(DataImage& image) {
    auto block = image.Block(kTimerPairBlock);
    for (std::size_t k = 0; k < 4; ++k) {
        for (std::size_t i : {2 + 4 * k, 3 + 4 * k}) {
            if (block[i] == 0) block[i] = 16;
        }
    }
}

void CompleteUnnamedBytes(DataImage& image) {
    auto& bytes = image.completion_bytes;
    if (bytes[0] == 0) bytes[0] = 1;
    if ((bytes[1] & 0x07) == 0) bytes[1] |= 0x04;
    if (bytes[1] < 0x10) bytes[1] |= 0x40;
    if ((bytes[2] & 0x07) == 0) bytes[2] |= 0x01;
    if ((bytes[3] & 0x07) == 0) bytes[3] |= 0x02;
    if ((bytes[4] & 0x07) == 0) bytes[4] |= 0x01;
}

// --- RemoveUnitReferences ---

// One-byte codes hold one or two digits, the first in the high nibble; two-byte numbers hold up
// to four. An empty place (0) holds no number and never matches.
bool CodeMatches(std::uint8_t entry, std::uint8_t code, std::uint8_t mode) {
    if (entry == 0) return false;
    if (mode == 1) return (entry & 0xF0) == (code & 0xF0);
    return entry == code;
}

bool NumberMatches(const std::uint8_t* entry, std::uint8_t code, std::uint8_t second,
                   std::uint8_t mode) {
    if (entry[0] == 0 && entry[1] == 0) return false;
    if (mode == 1) return entry[0] != 0 && (entry[0] & 0xF0) == (code & 0xF0);
    if (mode == 2) return entry[0] == code;
    return entry[0] == code && entry[1] == second;
}

void RemoveCodes(std::span<std::uint8_t> codes, std::uint8_t code, std::uint8_t mode) {
    for (std::uint8_t& entry : codes) {
        if (CodeMatches(entry, code, mode)) entry = 0;
    }
}

}  // namespace

std::span<std::uint8_t> FactoryPlaceBytes(DataImage& image, FactoryPlace place,
                                          std::uint16_t number) {
    IpNetworkSettings& ip = image.ip_settings;
    switch (place) {
        case FactoryPlace::kBlock:
            return image.Block(number);
        case FactoryPlace::kSettingByte:
            if (number >= image.setting_bytes.size()) return {};
            return std::span(image.setting_bytes).subspan(number, 1);
        case FactoryPlace::kFirstPointerArea:
            return image.first_pointer_area;
        case FactoryPlace::kSecondPointerArea:
            return image.second_pointer_area;
        case FactoryPlace::kCopy080:
            return image.copy_080;
        case FactoryPlace::kServiceCode:
            return BytesOf(image.service_code_value);
        case FactoryPlace::kIpAddressSettings:
            return BytesOf(ip.address_settings);
        case FactoryPlace::kPortAddressTable:
            return BytesOf(ip.port_address_table);
        case FactoryPlace::kSlotAddressTable:
            return BytesOf(ip.slot_address_table);
        case FactoryPlace::kPairAddressTable:
            return BytesOf(ip.pair_address_table);
        case FactoryPlace::kPort9402:
            return ip.port_9402;
        case FactoryPlace::kAddress9405:
            return ip.address_9405;
        case FactoryPlace::kPort9404:
            return ip.port_9404;
        case FactoryPlace::kAddress9406:
            return ip.address_9406;
        case FactoryPlace::kPort9409:
            return ip.port_9409;
        case FactoryPlace::kAddress9430:
            return ip.address_9430;
        case FactoryPlace::kPorts9431:
            return BytesOf(ip.ports_9431);
        case FactoryPlace::kPorts9432:
            return BytesOf(ip.ports_9432);
        case FactoryPlace::kAddress9433:
            return ip.address_9433;
        case FactoryPlace::kValue9433:
            return {&ip.value_9433, 1};
        case FactoryPlace::kAddress9437:
            return ip.address_9437;
        case FactoryPlace::kTable029:
            return BytesOf(image.table_029);
        case FactoryPlace::kGroupTable:
            return BytesOf(image.group_table);
    }
    return {};
}

std::span<const FactoryValue> BuiltInFactoryValues() {
    return kFactoryValues;
}

bool ApplyFactoryValues(DataImage& image, std::span<const FactoryValue> values) {
    bool all = true;
    for (const FactoryValue& row : values) all = ApplyRow(image, row) && all;
    return all;
}

void LoadFactoryDefaults(DataImage& image, std::span<const FactoryValue> values) {
    ApplyFactoryValues(image, values);
    // The marker tells a main unit whose settings were never changed; a fresh image has none, so
    // it is written unforced.
    WriteDefaultsMarker(image, false);
}

void CompleteDefaults(DataImage& image) {
    CompleteGroupOptions(image);
    CompleteLineOptions(image);
    CompleteScheduleEntries(image);
    CompleteTimerPairs(image);
    CompleteUnnamedBytes(image);
}

void WriteDefaultsMarker(DataImage& image, bool force) {
    if (image.defaults_marker[0] == 0 || force) image.defaults_marker = kDefaultsMarker;
}

void RemoveUnitReferences(DataImage& image, ModifiedFlags& flags, std::uint8_t code,
                          std::uint8_t second, std::uint8_t mode, std::uint8_t selector) {
    if (mode < 1 || mode > 4 || selector < 1 || selector > 3) return;
    const bool first_tables = selector == 1 || selector == 3;
    const bool second_tables = selector == 2 || selector == 3;

    if (first_tables) RemoveCodes(image.Block(15).first(kBlock15CodeBytes), code, mode);
    RemoveCodes(image.unit_code_bytes, code, mode);
    if (!second_tables) return;

    auto block16 = image.Block(16);
    RemoveCodes(block16.first(kBlock16CodeBytes), code, mode);
    for (std::size_t i = 0; i < kBlock16PairCount; ++i) {
        std::uint8_t* pair = block16.data() + kBlock16PairFirst + 2 * i;
        if (NumberMatches(pair, code, second, mode)) pair[0] = pair[1] = 0;
    }

    auto block17 = image.Block(17);
    for (std::size_t i = 0; i < kBlock17EntryCount; ++i) {
        std::uint8_t* entry = block17.data() + kBlock17EntryBytes * i;
        if (!NumberMatches(entry, code, second, mode)) continue;
        entry[0] = entry[1] = 0;
        const auto port = static_cast<std::uint8_t>(i + 1);
        RelinkSecondChain(image, port);
        MarkModified(flags, port);
    }

    auto& records = image.port_code_tables.records;
    for (std::size_t k = 0; k < kSpecialPortRecordCount; ++k) {
        const std::size_t r = kSpecialPortFirstRecord + k;
        std::uint8_t* entry = records[r].data();
        if (!NumberMatches(entry, code, second, mode)) continue;
        entry[0] = entry[1] = 0;
        MarkModified(flags, static_cast<std::uint8_t>(r + 1));
    }
}

void ClearUnitReferenceTables(DataImage& image) {
    std::ranges::fill(image.Block(15).first(kBlock15CodeBytes), std::uint8_t{0});
    std::ranges::fill(image.Block(16).first(kBlock16PairFirst + 2 * kBlock16PairCount),
                      std::uint8_t{0});
    auto block17 = image.Block(17);
    for (std::size_t i = 0; i < kBlock17EntryCount; ++i) {
        block17[kBlock17EntryBytes * i] = 0;
        block17[kBlock17EntryBytes * i + 1] = 0;
    }
    for (std::size_t k = 0; k < kSpecialPortRecordCount; ++k) {
        auto& record = image.port_code_tables.records[kSpecialPortFirstRecord + k];
        record[0] = record[1] = 0;
    }
    std::ranges::fill(image.unit_code_bytes, std::uint8_t{0});
    // With every number empty, the chain holds the codes in code order; relinking each code in
    // turn rebuilds it so.
    RelinkSecondChain(image, 0);
    for (unsigned c = 1; c <= kBlock17EntryCount; ++c) RelinkSecondChain(image, c);
}

}  // namespace qzs
