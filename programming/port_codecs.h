// Position numbers as typed ("101", "137", "805", "000") and the one-byte slot codes under which
// the data image keeps card and port positions.
//
// Slot codes: 0 none; 1-4, 9-12, 33-36 the twelve positions 101-112 of the first bank; the same
// plus 64 (65-68, 73-76, 97-100) for 137-148 of the second bank; 129 + YY for the special
// position 8YY. The parsers answer position indexes (YY of 1YY, 129 + YY of 8YY, 0 for "000") or
// 255 for what they refuse; the maps turn indexes into slot codes and pass 255 through, so a
// handler may map first and test for 255 after.
#pragma once

#include <cstdint>

#include "programming/data_image.h"
#include "programming/terminal.h"

namespace qzs {

inline constexpr std::uint8_t kPositionRefused = 255;
// Highest position index of the first bank, the capacity of this system size.
inline constexpr std::uint8_t kFirstBankCapacity = 12;

// Each reads the three characters from the line position; anything but a digit refuses.
// "000" -> 0; "101"-"112" -> 1-12.
std::uint8_t ParsePosition36(const TerminalRecord& record, std::uint8_t position);
// "000" -> 0; "101"-"106" and "109"-"112" -> the index.
std::uint8_t ParsePosition1(const TerminalRecord& record, std::uint8_t position);
// "000" -> 0; "800"-"815" -> 129-144; "101"-"112" and "137"-"148" -> the index.
std::uint8_t ParsePositionSpecial(const TerminalRecord& record, std::uint8_t position);
// As ParsePositionSpecial without the special positions.
std::uint8_t ParsePositionOrSpecial(const TerminalRecord& record, std::uint8_t position);
// "000" -> 0; "101"-"112" -> 1-12; "137"-"148" -> 37-48.
std::uint8_t ParsePosition72(const TerminalRecord& record, std::uint8_t position);

// Index 1-4 -> 1-4, 5-8 -> 9-12, 9-12 -> 33-36; anything else 0.
std::uint8_t SlotCodeOfPosition(std::uint8_t index);
// First-bank slot code -> position number 101-112; anything else 0.
std::uint16_t PositionOfSlotCode(std::uint8_t code);
// Codes above 128 unchanged; otherwise SlotCodeOfPosition.
std::uint8_t MapSlotCode(std::uint8_t index);
// Both banks: 1-12 -> first-bank codes, 37-48 -> second-bank codes, 0 and 129-255 unchanged.
std::uint8_t MapSlotCodeWide(std::uint8_t index);
// 13 -> 37, everything else unchanged.
std::uint8_t MapCrCode(std::uint8_t index);
std::uint8_t KeepCode(std::uint8_t code);

// Appends the three digits of the position that the slot code stands for (0 -> "000",
// 9 -> "105", 65 -> "137", 134 -> "805"). Codes 229-255 name no position; they show as their
// own three decimal digits, which no parser accepts.
void AppendPortCode(TerminalRecord& record, std::uint8_t code);

// The highest unit number that the unit scans go through.
std::uint8_t GetUnitLimit();
// True when a unit in use other than own_entry (1-10) holds the pair: byte 1 of its unit entry
// equal to number, the low five bits of byte 0 equal to code.
bool IsPairUsedByOtherUnit(const DataImage& image, std::uint8_t own_entry, std::uint8_t number,
                           std::uint8_t code);

}  // namespace qzs
