// Support routines of the interpreter that nothing in this program calls: the main unit's own
// firmware shares this source with it. The small slot look-ups are kept because they are plain
// logic over tables this program holds; the hooks into the main unit's hardware are kept in the
// shapes its line and port routines call them in, and do nothing here.
#pragma once

#include <cstdint>

namespace qzs {

class DataImage;

// Slot of a unit code: (code - 1) / 4 for codes 1-108; kNoSlot (27) for 0 and for codes whose
// slot would lie past slot 26.
std::uint8_t SlotOfUnitCode(std::uint8_t unit_code);
// First unit code of slot 0-26 (4s + 1); 0 for a slot above 26.
std::uint8_t FirstCodeOfSlot(std::uint8_t slot);
// Sets the kind of port 0-3 of slot 0-26; outside those nothing changes.
void SetPortKind(DataImage& image, std::uint8_t slot, std::uint8_t port, std::uint8_t kind);
// Zeroes the 29 slot records.
void ClearSlotRecords(DataImage& image);

// Hooks into the main unit's hardware. This program drives no line or port hardware, so each
// does nothing and answers its constant. One of each shape stands for the several of that shape
// the firmware has; nothing tells them apart.
namespace hardware_hooks {
void Idle();
void Idle(std::uint32_t);
void Idle(std::uint32_t, std::uint32_t);
int AnswerZero();
bool AnswerFalse(std::uint32_t);
int AnswerZero(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t);
}  // namespace hardware_hooks

}  // namespace qzs
