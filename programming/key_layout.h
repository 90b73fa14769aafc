// The programmable keys of the telephones. Each telephone's row of the key layout table holds 32
// two-byte key entries and a feature map that tells, for each feature, which key carries it.
// Loading the defaults, copying a template telephone's keys to all telephones, placing the
// model's keys and assigning one function code to one key all keep the two consistent.
// The key-sheet digit table and the field counts of a command live here too.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "programming/command_table.h"
#include "programming/data_image.h"
#include "programming/state.h"

namespace qzs {

inline constexpr int kKeyLayoutBlock = 176;
inline constexpr std::size_t kKeyLayoutRowBytes = 256;
// Telephones 1-64 are laid out here (the block has room for more rows).
inline constexpr unsigned kKeyLayoutTelephones = 64;
inline constexpr unsigned kKeysPerTelephone = 32;
inline constexpr unsigned kFeatureCount = 156;
// Feature f (1-156) is byte kFeatureMapBase + f of the row.
inline constexpr std::size_t kFeatureMapBase = 63;

// Block 3 byte 42: the telephone whose keys the copies to all telephones take (0: none).
inline constexpr int kTemplateTelephoneBlock = 3;
inline constexpr std::size_t kTemplateTelephoneByte = 42;
inline constexpr int kModelTypeBlock = 105;

// Low nibble of a key entry's first byte; the high nibble of a function-code entry is the
// hundreds digit of its code (0, 8 or 9 for the codes that carry a function).
inline constexpr std::uint8_t kFunctionCodeEntryKind = 0x0C;

// The fixed properties of key k: its class decides which fixed feature a new assignment clears,
// its key code is what the feature map holds for it.
struct KeyProperties {
    std::uint8_t key_class = 0;
    std::uint8_t key_code = 0;
};
// Key 1-32; zeros for any other number.
KeyProperties KeyPropertiesOf(unsigned key);

// The two bytes of key k (1-32) of telephone t (1-64); nullptr outside those ranges.
std::uint8_t* KeyEntry(DataImage& image, unsigned telephone, unsigned key);
const std::uint8_t* KeyEntry(const DataImage& image, unsigned telephone, unsigned key);
// Feature f (1-156) of telephone t (1-64); nullptr outside those ranges.
std::uint8_t* FeatureEntry(DataImage& image, unsigned telephone, unsigned feature);
const std::uint8_t* FeatureEntry(const DataImage& image, unsigned telephone, unsigned feature);

// True for a function-code entry whose first byte is 0x0C, 0x8C or 0x9C.
bool IsFunctionCodeEntry(std::uint8_t first);
// The code (0-999) of such an entry; 0 for any other entry and for a second byte that is not
// two decimal digits (entries come from files and the main unit).
unsigned EntryFunctionCode(std::uint8_t first, std::uint8_t second);
// The decimal value of a code given as BCD digits (thousands in bits 12-15); 0 for 1000 and
// above and for a word with a digit above 9.
unsigned BcdFunctionCode(std::uint16_t bcd);

// The default layout of telephones 1-64: codes 1-8 on keys 1-8, 980 on key 31, the other keys
// without a function, and the features that go with them.
void LoadDefaultKeyLayouts(DataImage& image);
// Copies keys 1-24 and the features they carry from the template telephone to telephones 1-64
// except 17-20. A template outside 1-64 copies nothing.
void CopyKeyLayoutToAll(DataImage& image);
// The same for keys 25-27.
void CopySpecialKeysToAll(DataImage& image);
// Places codes 935, 937, 938 and 939 on four keys chosen by the model type, on telephones 1-64
// except 17-20.
void ApplyModelKeyDefaults(DataImage& image);

// Assigns a code, given as BCD digits, to key k (1-32) of telephone t (1-64) and keeps the
// feature map consistent. False, with nothing changed, for a telephone or key out of range.
bool SetKeyAssignment(ProgrammingState& state, unsigned telephone, unsigned key, std::uint16_t bcd);
// Removes the key's code and the features it carries; the entry becomes 0x0C 0x00.
bool ClearKeyCode(ProgrammingState& state, unsigned telephone, unsigned key);
// Writes the code into the key's entry and, when the code carries a feature, the key into the
// feature map.
bool WriteKeyCode(ProgrammingState& state, unsigned telephone, unsigned key, std::uint16_t bcd);

// The characters of the key sheet and the codes they stand for, searched from the first row.
struct KeySheetDigit {
    std::uint8_t code;
    char character;
};
inline constexpr std::array<KeySheetDigit, 24> kKeySheetDigitTable{{
    {0, ' '},  {1, '1'},  {2, '2'},  {3, '3'},  {4, '4'},  {5, '5'},  {6, '6'},  {7, '7'},
    {8, '8'},  {9, '9'},  {10, '0'}, {11, '*'}, {12, '#'}, {13, 'P'}, {14, '-'}, {15, 'M'},
    {16, 'G'}, {13, 'P'}, {14, '-'}, {15, 'M'}, {17, 'H'}, {18, 'I'}, {19, 'J'}, {0, '\0'},
}};

// Code of the first row with the character; 0 when none.
std::uint8_t KeyDigitToCode(char character);
// That code's low nibble in the high nibble.
std::uint8_t KeyDigitToHighNibble(char character);
// Character of the first row with the code; a blank when none.
char KeyCodeToDigit(unsigned code);

// The key-field count of a command (the number as typed after '*': 0-999 or 9000-9999), from
// the state's command table. Any other number reads the catch-all record, which has no fields.
std::uint8_t CommandKeyFieldCount(const ProgrammingState& state, int command);
// The data-field count n of a command, and in widths[0 .. n - 1] the maximum digits (low
// nibble, 0 standing for 16) of the first n field bytes of its descriptor. The field bytes hold
// the key fields first, and the dset writer counts its fields over the same bytes, so a command
// with key fields gets their widths first. n is at most six, the field bytes a record has.
std::uint8_t CommandDataFieldWidths(const ProgrammingState& state, int command,
                                    std::array<int, kMaxFields>& widths);

}  // namespace qzs
