// The main unit's factory state: the values written into a cleared image, the completion of the
// fields that are still empty after them, and the removal of a unit code from every table that
// holds unit codes (the numbering-plan handlers call it when a code is taken away or moved).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/data_image.h"

namespace qzs {

// Where a factory value goes: a block of the directory, or one of the settings outside the
// blocks. The settings of the IP network are named by the command that writes them.
enum class FactoryPlace : std::uint8_t {
    kBlock,              // number = the block
    kSettingByte,        // number = the SettingByte
    kFirstPointerArea,   // the 17 bytes of pointer entries 63-79
    kSecondPointerArea,  // the 16 bytes behind pointer entries 80-85
    kCopy080,            // the seven bytes of the *080 copy
    kServiceCode,        // ServiceCodeValue, 32 bits little-endian
    kIpAddressSettings,  // three addresses, selectors 0-2
    kPortAddressTable,   // 128 entries of 8 bytes
    kSlotAddressTable,   // 27 addresses
    kPairAddressTable,   // 2 entries of 6 bytes
    kPort9402,
    kAddress9405,
    kPort9404,
    kAddress9406,
    kPort9409,
    kAddress9430,
    kPorts9431,
    kPorts9432,
    kAddress9433,
    kValue9433,  // the byte kept with the *9433 address
    kAddress9437,
    kTable029,    // eight unit records of 204 bytes
    kGroupTable,  // the *9525-*9528 group table, 16 records of 16 bytes
};

// One factory value: `size` bytes at `offset` of the place, repeated `repeat` times `stride`
// bytes apart. A size of 1 is a byte, 2 a little-endian word; 4 writes the four bytes of the
// value most significant first, which is how an IP address is given (first octet first).
struct FactoryValue {
    FactoryPlace place;
    std::uint16_t number;  // the block or the setting byte; 0 for the other places
    std::uint16_t offset;
    std::uint8_t size;
    std::uint32_t value;
    std::uint16_t repeat = 1;
    std::uint16_t stride = 0;
};

// The storage of a place (a block's bytes, a setting byte, a table outside the blocks); empty for
// a block or setting byte that does not exist.
std::span<std::uint8_t> FactoryPlaceBytes(DataImage& image, FactoryPlace place,
                                          std::uint16_t number);

// The factory values of this system, one row per value in programming/factory_values.inc.
std::span<const FactoryValue> BuiltInFactoryValues();

// Writes the values over the image. A row that would reach past its place is skipped whole;
// the answer is false when any row was skipped.
bool ApplyFactoryValues(DataImage& image, std::span<const FactoryValue> values);

// Writes the factory values (by default the built-in table; a replacement or extended table may
// be given) and then the defaults marker. Every byte that no row names keeps its value, so the
// image is expected to be cleared first.
void LoadFactoryDefaults(DataImage& image,
                         std::span<const FactoryValue> values = BuiltInFactoryValues());

// Fills the fields that are still empty after the factory values. A field that holds a value is
// left alone, so a second run changes nothing.
void CompleteDefaults(DataImage& image);

// The five marker bytes A2 72 68 3A 66; written when the area's first byte is 0 or when forced.
inline constexpr std::array<std::uint8_t, 5> kDefaultsMarker{0xA2, 0x72, 0x68, 0x3A, 0x66};
void WriteDefaultsMarker(DataImage& image, bool force);

// --- Removal of a unit code ---

// The tables that hold unit codes, one-byte codes (two dial digits packed high nibble first) and
// two-byte numbers (four digits):
//   block 15 bytes 0-54, block 16 bytes 0-103, the 48 two-byte pairs of block 16 at 104-199,
//   bytes 0-1 of the 128 eight-byte entries of block 17 (the port numbers), bytes 0-1 of the
//   twelve-byte records 128-143 of the port code records (the special ports 129-144), and the
//   100 unit code bytes outside the blocks.
inline constexpr std::size_t kBlock15CodeBytes = 55;
inline constexpr std::size_t kBlock16CodeBytes = 104;
inline constexpr std::size_t kBlock16PairFirst = 104;
inline constexpr std::size_t kBlock16PairCount = 48;
inline constexpr std::size_t kBlock17EntryCount = 128;
inline constexpr std::size_t kBlock17EntryBytes = 8;
inline constexpr std::size_t kSpecialPortFirstRecord = 128;  // records 128-143: codes 129-144
inline constexpr std::size_t kSpecialPortRecordCount = 16;

// Removes a number from the tables the selector names. The mode is the number's digit count:
//   1: code holds one digit in its high nibble; every entry whose first digit is that digit goes;
//   2: code holds two digits; one-byte entries equal to it and two-byte entries whose first byte
//      equals it go;
//   3, 4: as 2, except that a two-byte entry goes only when its second byte also equals second.
// An entry that is already empty never matches. The selector: 1 block 15 and the 100 bytes;
// 2 block 16 (codes and pairs), block 17, the special port records and the 100 bytes; 3 all of
// them. Another mode or selector changes nothing. Every cleared block-17 entry is relinked into
// the number chain; each block-17 entry and special port record cleared marks its record
// (port code 1-144) modified.
void RemoveUnitReferences(DataImage& image, ModifiedFlags& flags, std::uint8_t code,
                          std::uint8_t second, std::uint8_t mode, std::uint8_t selector);

// Empties every place RemoveUnitReferences reaches (the received *081 with key 00) and relinks
// the number chain, which then holds every code with an empty number.
void ClearUnitReferenceTables(DataImage& image);

}  // namespace qzs
