#include "programming/support_routines.h"

#include "programming/data_image.h"
#include "programming/slot_queries.h"

namespace qzs {

std::uint8_t SlotOfUnitCode(std::uint8_t unit_code) {
    if (unit_code == 0) return kNoSlot;
    const unsigned slot = (unit_code - 1u) / kPortsPerSlot;
    return slot < kCardSlotCount ? static_cast<std::uint8_t>(slot) : kNoSlot;
}

std::uint8_t FirstCodeOfSlot(std::uint8_t slot) {
    if (slot >= kCardSlotCount) return 0;
    return static_cast<std::uint8_t>(slot * kPortsPerSlot + 1);
}

void SetPortKind(DataImage& image, std::uint8_t slot, std::uint8_t port, std::uint8_t kind) {
    if (slot >= kCardSlotCount || port >= kPortsPerSlot) return;
    image.slot_config.port_kind[slot][port] = kind;
}

void ClearSlotRecords(DataImage& image) {
    for (SlotRecord& record : image.slot_config.records) record.fill(0);
}

namespace hardware_hooks {

void Idle() {}
void Idle(std::uint32_t) {}
void Idle(std::uint32_t, std::uint32_t) {}
int AnswerZero() {
    return 0;
}
bool AnswerFalse(std::uint32_t) {
    return false;
}
int AnswerZero(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
    return 0;
}

}  // namespace hardware_hooks

}  // namespace qzs
