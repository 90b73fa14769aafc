#include "programming/slot_queries.h"

#include <algorithm>

#include "programming/data_image.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFirstTableUnitCode = 11;
constexpr std::array<std::uint8_t, 8> kUnitCodeSlots{7, 6, 8, 12, 27, 27, 27, 27};

std::size_t CopyField(std::span<std::uint8_t> out, const DataImage& image, std::uint8_t slot,
                      std::size_t length_byte, std::size_t field_byte, std::size_t field_max) {
    if (slot >= kSlotRecordCount) return 0;
    const SlotRecord& record = image.slot_config.records[slot];
    const std::size_t n = std::min({std::size_t{record[length_byte]}, field_max, out.size()});
    std::copy_n(record.begin() + field_byte, n, out.begin());
    return n;
}

void SetField(DataImage& image, std::uint8_t slot, std::span<const std::uint8_t> bytes,
              std::size_t length_byte, std::size_t field_byte, std::size_t field_max) {
    if (slot >= kSlotRecordCount) return;
    SlotRecord& record = image.slot_config.records[slot];
    const std::size_t n = std::min(bytes.size(), field_max);
    std::copy_n(bytes.begin(), n, record.begin() + field_byte);
    record[length_byte] = static_cast<std::uint8_t>(n);
}

}  // namespace

std::uint8_t MapUnitCodeToSlot(std::uint8_t unit_code) {
    const unsigned i = unit_code - unsigned{kFirstTableUnitCode};
    return i < kUnitCodeSlots.size() ? kUnitCodeSlots[i] : kNoSlot;
}

std::uint8_t GetSlotUnitKind(const DataImage& image, std::uint8_t slot) {
    return slot < kCardSlotCount ? image.slot_config.unit_kind[slot] : kNoKind;
}

std::uint8_t GetSlotAltKind(const DataImage& image, std::uint8_t slot) {
    return slot < kCardSlotCount ? image.slot_config.alt_kind[slot] : kNoKind;
}

std::uint8_t GetPortKind(const DataImage& image, std::uint8_t slot, std::uint8_t port) {
    if (slot >= kCardSlotCount || port >= kPortsPerSlot) return kNoKind;
    return image.slot_config.port_kind[slot][port];
}

std::size_t CopySlotShortField(std::span<std::uint8_t> out, const DataImage& image,
                               std::uint8_t slot) {
    return CopyField(out, image, slot, kSlotShortLengthByte, kSlotShortFieldByte,
                     kSlotShortFieldMax);
}

std::size_t CopySlotLongField(std::span<std::uint8_t> out, const DataImage& image,
                              std::uint8_t slot) {
    return CopyField(out, image, slot, kSlotLongLengthByte, kSlotLongFieldByte, kSlotLongFieldMax);
}

void SetSlotShortField(DataImage& image, std::uint8_t slot, std::span<const std::uint8_t> bytes) {
    SetField(image, slot, bytes, kSlotShortLengthByte, kSlotShortFieldByte, kSlotShortFieldMax);
}

void SetSlotLongField(DataImage& image, std::uint8_t slot, std::span<const std::uint8_t> bytes) {
    SetField(image, slot, bytes, kSlotLongLengthByte, kSlotLongFieldByte, kSlotLongFieldMax);
}

int ReturnZeroHook() {
    return 0;
}

}  // namespace qzs
