#include "programming/key_layout.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "programming/function_codes.h"

namespace qzs {
namespace {

// Keys 1-32 at index k - 1: class, key code.
constexpr std::array<KeyProperties, kKeysPerTelephone> kKeyTable{{
    {20, 128}, {21, 129}, {22, 130}, {23, 131}, {24, 132}, {25, 133}, {26, 134}, {27, 135},
    {28, 136}, {29, 137}, {30, 138}, {31, 139}, {36, 140}, {37, 141}, {38, 142}, {39, 143},
    {44, 144}, {45, 145}, {46, 146}, {47, 147}, {52, 148}, {53, 149}, {54, 150}, {55, 151},
    {16, 154}, {17, 155}, {18, 156}, {12, 152}, {13, 157}, {14, 159}, {15, 153}, {19, 158},
}};

// A new assignment to a key of these classes first frees the fixed feature of the class.
constexpr std::uint8_t kClassFeatureClears[][2] = {{12, 78}, {13, 80}, {15, 79}};

constexpr std::uint8_t kNoFunctionFirst = 0x0C;
constexpr std::uint8_t kNoFunctionSecond = 0x00;

// The key codes of keys 1-24 and of keys 25-27, as the feature map holds them.
constexpr std::uint8_t kFirstKeyCode = 128;
constexpr std::uint8_t kLastOrdinaryKeyCode = 151;
constexpr std::uint8_t kFirstSpecialKeyCode = 154;
constexpr std::uint8_t kLastSpecialKeyCode = 156;

// Entries of block 119, one per telephone, that the default layout also sets.
constexpr int kKeyLampBlock = 119;
constexpr std::size_t kKeyLampEntryBytes = 16;

constexpr int kModelTypeKeyFirst = 5;

bool IsCopyTarget(unsigned telephone) {
    return telephone < 17 || telephone > 20;
}

std::uint8_t* RowOf(DataImage& image, unsigned telephone) {
    if (telephone < 1 || telephone > kKeyLayoutTelephones) return nullptr;
    return image.BlockByte(kKeyLayoutBlock, kKeyLayoutRowBytes * (telephone - 1));
}

const std::uint8_t* RowOf(const DataImage& image, unsigned telephone) {
    if (telephone < 1 || telephone > kKeyLayoutTelephones) return nullptr;
    return image.BlockByte(kKeyLayoutBlock, kKeyLayoutRowBytes * (telephone - 1));
}

// The template telephone is a byte that files and the main unit write: anything but a
// telephone of this table means no template.
unsigned TemplateTelephone(const DataImage& image) {
    const std::uint8_t* value = image.BlockByte(kTemplateTelephoneBlock, kTemplateTelephoneByte);
    if (!value || *value < 1 || *value > kKeyLayoutTelephones) return 0;
    return *value;
}

void SetNoFunction(std::uint8_t* entry) {
    entry[0] = kNoFunctionFirst;
    entry[1] = kNoFunctionSecond;
}

// The code of a key when it is a function-code entry; 0 otherwise.
unsigned KeyCode(const std::uint8_t* row, unsigned key) {
    const std::uint8_t* entry = row + 2 * (key - 1);
    return EntryFunctionCode(entry[0], entry[1]);
}

bool HasCodeAmong(const std::uint8_t* row, unsigned code, unsigned first_key, unsigned last_key) {
    for (unsigned k = first_key; k <= last_key; ++k) {
        const std::uint8_t* entry = row + 2 * (k - 1);
        if (IsFunctionCodeEntry(entry[0]) && KeyCode(row, k) == code) return true;
    }
    return false;
}

// Copies keys first..last and the features they carry (key codes low..high) from the template
// to every copy target, after which a key of the other group that repeats one of the copied
// codes is freed.
void CopyKeysToAll(DataImage& image, unsigned first, unsigned last, unsigned other_first,
                   unsigned other_last, std::uint8_t low, std::uint8_t high) {
    const unsigned source_number = TemplateTelephone(image);
    if (source_number == 0) return;
    // The template's row is read through a copy: it may itself be one of the targets.
    std::array<std::uint8_t, kKeyLayoutRowBytes> source{};
    const std::uint8_t* source_row = RowOf(image, source_number);
    std::copy_n(source_row, kKeyLayoutRowBytes, source.begin());

    for (unsigned t = 1; t <= kKeyLayoutTelephones; ++t) {
        if (!IsCopyTarget(t)) continue;
        std::uint8_t* row = RowOf(image, t);
        std::copy(source.begin() + 2 * (first - 1), source.begin() + 2 * last,
                  row + 2 * (first - 1));
        for (unsigned k = other_first; k <= other_last; ++k) {
            std::uint8_t* entry = row + 2 * (k - 1);
            const unsigned code = KeyCode(row, k);
            if (IsFunctionCodeEntry(entry[0]) && code != 0 &&
                HasCodeAmong(row, code, first, last)) {
                SetNoFunction(entry);
            }
        }
        for (unsigned f = 1; f <= kFeatureCount; ++f) {
            const std::uint8_t value = source[kFeatureMapBase + f];
            std::uint8_t& target = row[kFeatureMapBase + f];
            if (value >= low && value <= high) {
                target = value;
            } else if (target >= low && target <= high) {
                target = 0;
            }
        }
    }
}

}  // namespace

KeyProperties KeyPropertiesOf(unsigned key) {
    if (key < 1 || key > kKeysPerTelephone) return {};
    return kKeyTable[key - 1];
}

std::uint8_t* KeyEntry(DataImage& image, unsigned telephone, unsigned key) {
    std::uint8_t* row = RowOf(image, telephone);
    if (!row || key < 1 || key > kKeysPerTelephone) return nullptr;
    return row + 2 * (key - 1);
}

const std::uint8_t* KeyEntry(const DataImage& image, unsigned telephone, unsigned key) {
    const std::uint8_t* row = RowOf(image, telephone);
    if (!row || key < 1 || key > kKeysPerTelephone) return nullptr;
    return row + 2 * (key - 1);
}

std::uint8_t* FeatureEntry(DataImage& image, unsigned telephone, unsigned feature) {
    std::uint8_t* row = RowOf(image, telephone);
    if (!row || feature < 1 || feature > kFeatureCount) return nullptr;
    return row + kFeatureMapBase + feature;
}

const std::uint8_t* FeatureEntry(const DataImage& image, unsigned telephone, unsigned feature) {
    const std::uint8_t* row = RowOf(image, telephone);
    if (!row || feature < 1 || feature > kFeatureCount) return nullptr;
    return row + kFeatureMapBase + feature;
}

bool IsFunctionCodeEntry(std::uint8_t first) {
    return first == 0x0C || first == 0x8C || first == 0x9C;
}

unsigned EntryFunctionCode(std::uint8_t first, std::uint8_t second) {
    if (!IsFunctionCodeEntry(first)) return 0;
    const unsigned tens = second >> 4;
    const unsigned ones = second & 0x0F;
    // A byte that is not two decimal digits was not written by a code assignment; read as a
    // decimal value it would name some other code and free that code's feature.
    if (tens > 9 || ones > 9) return 0;
    return (first >> 4) * 100 + tens * 10 + ones;
}

unsigned BcdFunctionCode(std::uint16_t bcd) {
    unsigned value = 0;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned digit = (bcd >> shift) & 0x0F;
        // A digit above 9 makes no code: it is treated as a code of 1000 or more, which stands
        // for no function, rather than as some other code that the digits happen to add up to.
        if (digit > 9) return 0;
        value = value * 10 + digit;
    }
    return value >= 1000 ? 0 : value;
}

void LoadDefaultKeyLayouts(DataImage& image) {
    for (unsigned t = 1; t <= kKeyLayoutTelephones; ++t) {
        std::uint8_t* row = RowOf(image, t);
        for (unsigned k = 1; k <= kKeysPerTelephone; ++k) {
            std::uint8_t* entry = row + 2 * (k - 1);
            entry[0] = kFunctionCodeEntryKind;
            entry[1] = k <= 8 ? static_cast<std::uint8_t>(k) : 0;  // 1-8 read the same in BCD
        }
        std::uint8_t* key31 = row + 2 * (31 - 1);
        key31[0] = 0x9C;  // code 980
        key31[1] = 0x80;
        for (unsigned f = 1; f <= 80; ++f) {
            row[kFeatureMapBase + f] =
                f <= 8 ? static_cast<std::uint8_t>(kFirstKeyCode + f - 1) : 0;
        }
        row[kFeatureMapBase + 151] = 0x98;  // key 28
        row[kFeatureMapBase + 152] = 0x99;  // key 31
        row[kFeatureMapBase + 147] = 0x9A;  // key 25
        row[kFeatureMapBase + 131] = 0x9B;  // key 26
        row[kFeatureMapBase + 153] = 0x9D;  // key 29

        std::uint8_t* lamp = image.BlockByte(kKeyLampBlock, kKeyLampEntryBytes * (t - 1));
        lamp[13] = 22;
        lamp[14] = 28;
    }
}

void CopyKeyLayoutToAll(DataImage& image) {
    CopyKeysToAll(image, 1, 24, 25, 27, kFirstKeyCode, kLastOrdinaryKeyCode);
}

void CopySpecialKeysToAll(DataImage& image) {
    CopyKeysToAll(image, 25, 27, 1, 24, kFirstSpecialKeyCode, kLastSpecialKeyCode);
}

void ApplyModelKeyDefaults(DataImage& image) {
    const std::uint8_t* model = image.BlockByte(kModelTypeBlock, 0);
    const unsigned model_type = model ? *model : 0;
    // Model types 1-4 start at keys 5, 9, 13 and 17; every other value at key 21.
    const unsigned a = model_type >= 1 && model_type <= 4
                           ? kModelTypeKeyFirst + 4 * (model_type - 1)
                           : kModelTypeKeyFirst + 16;
    constexpr std::array<unsigned, 4> kCodes{935, 937, 938, 939};
    constexpr std::array<std::uint8_t, 4> kSeconds{0x35, 0x37, 0x38, 0x39};
    constexpr std::array<unsigned, 4> kFeatures{85, 87, 88, 89};
    const std::uint8_t first_code = static_cast<std::uint8_t>(a + 127);
    const std::uint8_t last_code = static_cast<std::uint8_t>(a + 130);

    for (unsigned t = 1; t <= kKeyLayoutTelephones; ++t) {
        if (!IsCopyTarget(t)) continue;
        std::uint8_t* row = RowOf(image, t);
        for (unsigned k = 1; k <= 27; ++k) {
            const unsigned code = KeyCode(row, k);
            if (std::find(kCodes.begin(), kCodes.end(), code) != kCodes.end()) {
                SetNoFunction(row + 2 * (k - 1));
            }
        }
        for (unsigned f = 1; f <= kFeatureCount; ++f) {
            std::uint8_t& value = row[kFeatureMapBase + f];
            if (value >= first_code && value <= last_code) value = 0;
        }
    }

    std::uint8_t* first_row = RowOf(image, 1);
    for (unsigned i = 0; i < 4; ++i) {
        std::uint8_t* entry = first_row + 2 * (a + i - 1);
        entry[0] = 0x9C;
        entry[1] = kSeconds[i];
        first_row[kFeatureMapBase + kFeatures[i]] = static_cast<std::uint8_t>(a + 127 + i);
    }
    for (unsigned t = 2; t <= kKeyLayoutTelephones; ++t) {
        if (!IsCopyTarget(t)) continue;
        std::uint8_t* row = RowOf(image, t);
        std::copy_n(first_row + 2 * (a - 1), 8, row + 2 * (a - 1));
        for (unsigned f : kFeatures) row[kFeatureMapBase + f] = first_row[kFeatureMapBase + f];
    }
}

bool SetKeyAssignment(ProgrammingState& state, unsigned telephone, unsigned key,
                      std::uint16_t bcd) {
    const std::uint8_t* entry = KeyEntry(state.image, telephone, key);
    if (!entry) return false;
    const std::uint8_t kind = entry[0] & 0x0F;
    // Keys of these kinds hold something other than a function code; only a real code
    // replaces it.
    if ((kind == 10 || kind == 11 || kind == 13) && BcdFunctionCode(bcd) == 0) return true;
    ClearKeyCode(state, telephone, key);
    WriteKeyCode(state, telephone, key, bcd);
    return true;
}

bool ClearKeyCode(ProgrammingState& state, unsigned telephone, unsigned key) {
    std::uint8_t* entry = KeyEntry(state.image, telephone, key);
    if (!entry) return false;
    const std::uint8_t key_class = KeyPropertiesOf(key).key_class;
    for (const auto& clear : kClassFeatureClears) {
        if (clear[0] == key_class) *FeatureEntry(state.image, telephone, clear[1]) = 0;
    }
    if (IsFunctionCodeEntry(entry[0])) {
        const FunctionCodeFamily family = FunctionCodeFamilyOf(state.terminals[telephone - 1]);
        const unsigned feature =
            FunctionFeatureIndex(family, EntryFunctionCode(entry[0], entry[1]));
        if (std::uint8_t* slot = FeatureEntry(state.image, telephone, feature)) *slot = 0;
    }
    SetNoFunction(entry);
    return true;
}

bool WriteKeyCode(ProgrammingState& state, unsigned telephone, unsigned key, std::uint16_t bcd) {
    std::uint8_t* entry = KeyEntry(state.image, telephone, key);
    if (!entry) return false;
    const unsigned code = BcdFunctionCode(bcd);
    const FunctionCodeFamily family = FunctionCodeFamilyOf(state.terminals[telephone - 1]);
    const unsigned feature = FunctionFeatureIndex(family, code);
    if (std::uint8_t* slot = FeatureEntry(state.image, telephone, feature)) {
        *slot = KeyPropertiesOf(key).key_code;
    }
    if (code == 0) {
        // Covers a word of 1000 or more: its low byte must not survive as a code.
        SetNoFunction(entry);
    } else {
        entry[0] = static_cast<std::uint8_t>(((code / 100) << 4) | kFunctionCodeEntryKind);
        entry[1] = static_cast<std::uint8_t>(bcd & 0xFF);
    }
    return true;
}

std::uint8_t KeyDigitToCode(char character) {
    for (const KeySheetDigit& row : kKeySheetDigitTable) {
        if (row.character == character) return row.code;
    }
    return 0;
}

std::uint8_t KeyDigitToHighNibble(char character) {
    return static_cast<std::uint8_t>((KeyDigitToCode(character) & 0x0F) << 4);
}

char KeyCodeToDigit(unsigned code) {
    for (const KeySheetDigit& row : kKeySheetDigitTable) {
        if (row.code == code) return row.character;
    }
    return ' ';
}

namespace {

const CommandDescriptor& DescriptorOf(const ProgrammingState& state, int command) {
    const CommandTable& table = ActiveCommandTable(state);
    // Only numbers that can be typed as a command reach the lookup: "%03d" of 1234 would read as
    // *123, and of 93610 as *9361.
    if (!((command >= 0 && command <= 999) || (command >= 9000 && command <= 9999))) {
        return table.At(table.CatchAllIndex());
    }
    char text[8];
    std::snprintf(text, sizeof text, "%03d", command);
    return table.At(table.Lookup(text));
}

}  // namespace

std::uint8_t CommandKeyFieldCount(const ProgrammingState& state, int command) {
    return DescriptorOf(state, command).KeyFieldCount();
}

std::uint8_t CommandDataFieldWidths(const ProgrammingState& state, int command,
                                    std::array<int, kMaxFields>& widths) {
    const CommandDescriptor& descriptor = DescriptorOf(state, command);
    // The count comes from a nibble: at most six field bytes exist to read.
    const std::uint8_t n =
        std::min<std::uint8_t>(descriptor.DataFieldCount(), static_cast<std::uint8_t>(kMaxFields));
    for (unsigned i = 0; i < n; ++i) widths[i] = descriptor.FieldShape(i + 1) & 0x0F;
    return n;
}

}  // namespace qzs
