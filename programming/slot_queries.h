// What each card slot of the main unit holds: the per-slot kind tables and the slot records with
// their two text fields. Start-up and the preparation of the items the main unit sends write
// them; the show handlers read them through the queries here, each with its bound check.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qzs {

class DataImage;

inline constexpr std::size_t kCardSlotCount = 27;  // slots 0-26
inline constexpr std::size_t kPortsPerSlot = 4;
inline constexpr std::uint8_t kNoSlot = 27;
inline constexpr std::uint8_t kNoKind = 255;

inline constexpr std::size_t kSlotRecordCount = 29;  // slots 0-28
inline constexpr std::size_t kSlotShortLengthByte = 24;
inline constexpr std::size_t kSlotShortFieldByte = 25;
inline constexpr std::size_t kSlotShortFieldMax = 2;
inline constexpr std::size_t kSlotLongLengthByte = 27;
inline constexpr std::size_t kSlotLongFieldByte = 28;
inline constexpr std::size_t kSlotLongFieldMax = 8;
// The long field runs to byte 35. Records of 32 bytes let it spill into the next record (and
// past the last one), so each record is sized to hold it.
inline constexpr std::size_t kSlotRecordBytes = kSlotLongFieldByte + kSlotLongFieldMax;

using SlotRecord = std::array<std::uint8_t, kSlotRecordBytes>;

struct SlotConfigTables {
    std::array<std::uint8_t, kCardSlotCount> unit_kind{};
    std::array<std::uint8_t, kCardSlotCount> alt_kind{};  // kNoKind after start-up
    std::array<std::array<std::uint8_t, kPortsPerSlot>, kCardSlotCount> port_kind{};
    std::array<SlotRecord, kSlotRecordCount> records{};
};

// Unit codes 11-18 through the unit-code table (11 -> 7, 12 -> 6, 13 -> 8, 14 -> 12, 15-18 -> 27);
// any other code kNoSlot.
std::uint8_t MapUnitCodeToSlot(std::uint8_t unit_code);
// The byte of slot 0-26; kNoKind for a slot above 26.
std::uint8_t GetSlotUnitKind(const DataImage& image, std::uint8_t slot);
std::uint8_t GetSlotAltKind(const DataImage& image, std::uint8_t slot);
// kNoKind when the slot is above 26 or the port above 3.
std::uint8_t GetPortKind(const DataImage& image, std::uint8_t slot, std::uint8_t port);

// Copy the field of slot record 0-28 into out: as many bytes as its length byte says, at most
// the field's size (2 or 8) and at most out's size. Answer the bytes copied; 0 for a slot above 28.
std::size_t CopySlotShortField(std::span<std::uint8_t> out, const DataImage& image,
                               std::uint8_t slot);
std::size_t CopySlotLongField(std::span<std::uint8_t> out, const DataImage& image,
                              std::uint8_t slot);

// Set the field of slot record 0-28 and its length byte from the bytes, cut to the field's size.
// A slot above 28 changes nothing.
void SetSlotShortField(DataImage& image, std::uint8_t slot, std::span<const std::uint8_t> bytes);
void SetSlotLongField(DataImage& image, std::uint8_t slot, std::span<const std::uint8_t> bytes);

// Always 0: the hook the unit-code handlers consult before they change a code.
int ReturnZeroHook();

}  // namespace qzs
