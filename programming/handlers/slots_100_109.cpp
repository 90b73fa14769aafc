// Slots 100-109: the information display of *004, *020 and *003, the dial-number tables of
// *142 and six more, the time schedules of *085 and *698, the one-nibble options of *047 and
// four more, the second display of *021 and *9410, the four-digit codes of *9306, and the two
// slots of this block that no command reaches, and the five flags of slot 109, which no command
// reaches either; kept as the main unit has them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "programming/character_table.h"
#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"
#include "programming/slot_queries.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// Appends n characters of the text, which ends at a 0 or 0xFF byte; blanks fill the rest.
void AppendPaddedText(TerminalRecord& record, std::span<const std::uint8_t> text, std::size_t n) {
    bool ended = false;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = i < text.size() && !ended ? text[i] : 0;
        if (b == 0 || b == 0xFF) ended = true;
        // A control byte has no place in the line's text.
        record.line.Append(ended || b < 0x20 ? ' ' : static_cast<char>(b));
    }
}

// ---------------------------------------------------------------------------------------------
// Slot 100: *004 (item 1), *020 (item 2), *003 (item 3).

constexpr std::uint8_t kItem004 = 1;
constexpr std::uint8_t kItem020 = 2;
constexpr std::uint8_t kItem003 = 3;
constexpr std::uint8_t kCardCode = 15;
constexpr std::uint8_t kCardSlotRecord = 28;
constexpr std::uint8_t kSumCode = 90;
constexpr std::uint8_t kLastCardSlot = 26;
constexpr std::size_t kShownTextCharacters = 6;
constexpr std::size_t kTerminalStateByte = 5;

// The information word of a code, or -1 for a code that has none.
int InformationWordIndex(std::uint8_t code) {
    constexpr std::array<std::uint8_t, 6> kCodes{0, 1, 2, 9, 98, 99};
    for (std::size_t i = 0; i < kCodes.size(); ++i) {
        if (kCodes[i] == code) return static_cast<int>(i);
    }
    return -1;
}

int InformationTextIndex(std::uint8_t code) {
    constexpr std::array<std::uint8_t, 3> kCodes{1, 90, 91};
    for (std::size_t i = 0; i < kCodes.size(); ++i) {
        if (kCodes[i] == code) return static_cast<int>(i);
    }
    return -1;
}

// The slot record that describes the card a unit code names: slot + 1 for a slot 0-26 whose
// unit kind is 11, 20 or 21; kNoSlot otherwise.
std::uint8_t CardSlotRecord(const DataImage& image, std::uint8_t code) {
    const std::uint8_t slot = MapUnitCodeToSlot(code);
    if (slot > kLastCardSlot) return kNoSlot;
    const std::uint8_t kind = GetSlotUnitKind(image, slot);
    if (kind != 11 && kind != 20 && kind != 21) return kNoSlot;
    return static_cast<std::uint8_t>(slot + 1);
}

// The short field as a 16-bit value, its first byte the low one as in the image's words; a
// one-byte field is its low byte. 0xFFFFFFFF when the record holds no field.
std::uint32_t ShortFieldValue(const DataImage& image, std::uint8_t slot) {
    std::array<std::uint8_t, kSlotShortFieldMax> field{};
    const std::size_t n = CopySlotShortField(field, image, slot);
    if (n == 0) return 0xFFFFFFFF;
    return field[0] | (n > 1 ? field[1] << 8 : 0);
}

std::uint8_t Show004(ProgrammingState& state, TerminalRecord& record, std::uint8_t code) {
    const DataImage& image = state.image;
    std::uint32_t value = 0xFFFFFFFF;
    if (const int word = InformationWordIndex(code); word >= 0) {
        value = image.information_words[static_cast<std::size_t>(word)];
    } else if (code == kSumCode) {
        value = static_cast<std::uint16_t>(image.information_words[4] + image.information_words[5]);
    } else if (code == kCardCode) {
        if (image.Setting(SettingByte::kCardInformation) == 0) return kHandlerRejected;
        value = ShortFieldValue(image, kCardSlotRecord);
    } else if (const std::uint8_t slot = CardSlotRecord(image, code); slot != kNoSlot) {
        value = ShortFieldValue(image, slot);
    }
    if (value == 0xFFFFFFFF) return kHandlerRejected;
    AppendNumber(record, static_cast<std::uint16_t>(value), 4, 16);
    return kHandlerAccepted;
}

// A field shorter than six characters leaves the rest of the six "-" in place.
std::uint8_t AppendLongField(TerminalRecord& record, const DataImage& image, std::uint8_t slot) {
    std::array<std::uint8_t, kSlotLongFieldMax> field{};
    field.fill('-');
    CopySlotLongField(field, image, slot);
    AppendPaddedText(record, field, kShownTextCharacters);
    return kHandlerAccepted;
}

std::uint8_t Show003(ProgrammingState& state, TerminalRecord& record, std::uint8_t code) {
    const DataImage& image = state.image;
    if (code == 0) {
        AppendPaddedText(record, image.text_003, kShownTextCharacters);
        return kHandlerAccepted;
    }
    if (const int text = InformationTextIndex(code); text >= 0) {
        AppendPaddedText(record, image.information_texts[static_cast<std::size_t>(text)],
                         kShownTextCharacters);
        return kHandlerAccepted;
    }
    if (code == kCardCode) {
        if (image.Setting(SettingByte::kCardInformation) == 0) return kHandlerRejected;
        return AppendLongField(record, image, kCardSlotRecord);
    }
    const std::uint8_t slot = CardSlotRecord(image, code);
    if (slot == kNoSlot) return kHandlerRejected;
    return AppendLongField(record, image, slot);
}

// The line's entry names a terminal; a number that names none (an entry never set holds 0) is
// refused rather than read as an index.
std::uint8_t Show020(ProgrammingState& state, TerminalRecord& record, std::uint8_t line) {
    if (line < 1 || line > state.image.lines_020.size()) return kHandlerRejected;
    const TerminalRecord* terminal =
        FindTerminal(state.terminals, state.image.lines_020[line - 1u][0]);
    if (terminal == nullptr) return kHandlerRejected;
    AppendDigit(record, GetLowNibble(terminal->attributes[kTerminalStateByte]));
    return kHandlerAccepted;
}

// ---------------------------------------------------------------------------------------------
// Slot 102: dial-number tables. Each clear form is a run of "0" typed alone.

struct NumberTableItem {
    std::uint8_t item;
    std::uint8_t key_digits;
    std::uint8_t highest;
    std::uint8_t digits;         // most digits an entry holds
    std::string_view clear_one;  // clears one entry
    std::string_view clear_all;  // with entry 0 clears the table; empty: entry 0 refused
    std::span<std::uint8_t> (*entry)(DataImage& image, std::uint8_t e);  // e 1-highest
};

template <int Block, std::size_t Base, std::size_t Bytes>
std::span<std::uint8_t> BlockEntry(DataImage& image, std::uint8_t e) {
    return BlockBytes(image, Block, Base + Bytes * (e - 1u), Bytes);
}

constexpr std::array kNumberTables{
    NumberTableItem{1, 2, 64, 10, "00000", "0", &BlockEntry<13, 0, 8>},      // *142
    NumberTableItem{2, 1, 4, 16, "0", "", &BlockEntry<148, 4, 8>},           // *690
    NumberTableItem{3, 2, 32, 12, "00000", "00000", &BlockEntry<87, 4, 6>},  // *168
    NumberTableItem{4, 1, 3, 16, "0", "",
                    [](DataImage& i, std::uint8_t e) { return TableEntry(i.numbers_035, e - 1u); }},
    NumberTableItem{
        5, 2, 16, 16, "000000", "000000",
        [](DataImage& i, std::uint8_t e) { return TableEntry(i.numbers_9308, e - 1u); }},
    NumberTableItem{6, 2, 20, 16, "0", "0",
                    [](DataImage& i, std::uint8_t e) { return TableEntry(i.numbers_089, e - 1u); }},
    NumberTableItem{7, 2, 20, 16, "0", "0",
                    [](DataImage& i, std::uint8_t e) { return TableEntry(i.numbers_423, e - 1u); }},
};

// The bytes that hold an entry's digits (the entry's first bytes).
std::span<std::uint8_t> DigitBytes(const NumberTableItem& table, std::span<std::uint8_t> entry) {
    return entry.first(std::min<std::size_t>(entry.size(), (table.digits + 1u) / 2u));
}

// ---------------------------------------------------------------------------------------------
// Slot 103: *085 days 0-6 in block 122 bytes 84-111 and the *698 table.

constexpr int kWeekBlock = 122;
constexpr std::size_t kWeekByte = 84;
constexpr std::uint8_t kDays = 7;
constexpr std::uint8_t kEveryDay = 7;
constexpr std::size_t kGroupBytes = 224;
constexpr std::size_t kDayBytes = 32;
constexpr std::size_t kPeriodBytes = 8;
constexpr std::uint8_t kPeriods = 4;
constexpr std::uint8_t kAllGroups = 0;
constexpr std::uint8_t kLastGroupKey = 99;
constexpr std::uint8_t kLastGroup = 8;

std::span<std::uint8_t> WeekDay(DataImage& image, std::uint8_t day) {
    return BlockBytes(image, kWeekBlock, kWeekByte + 4u * day, 4);
}

std::span<std::uint8_t> Period698(DataImage& image, std::uint8_t group, std::uint8_t day,
                                  std::uint8_t period) {
    const std::size_t at = kGroupBytes * group + kDayBytes * day + kPeriodBytes * (period - 1u);
    if (at + 4 > image.schedule_698.size()) return {};
    return std::span<std::uint8_t>(image.schedule_698).subspan(at, 4);
}

// A time HHMM: hour tens 0-2, minute tens 0-5; the hour itself is bounded by the caller.
struct Time {
    std::uint8_t hour = kFieldRefused;
    std::uint8_t minute = kFieldRefused;
    bool Valid() const { return hour != kFieldRefused && minute != kFieldRefused; }
    int Minutes() const { return hour * 60 + minute; }
};

Time ParseTime(const TerminalRecord& record, std::uint8_t position, std::uint8_t highest_hour) {
    return {ParseByteField(record, position, 2, 0, highest_hour),
            ParseByteField(record, position + 2, 2, 0, 59)};
}

// *085 bytes: a minute (tens bits 4-6, units 0-3) and an hour with the mode (bits 6-7, tens 4-5,
// units 0-3).
std::uint8_t MinuteByte(std::uint8_t minute) {
    return static_cast<std::uint8_t>((minute / 10) << 4 | minute % 10);
}
std::uint8_t HourByte(std::uint8_t hour, std::uint8_t mode) {
    return static_cast<std::uint8_t>(mode << 6 | (hour / 10) << 4 | hour % 10);
}
std::uint8_t Bcd(std::uint8_t value) {
    return static_cast<std::uint8_t>((value / 10) << 4 | value % 10);
}

// Writes the four bytes and answers the read-back.
std::uint8_t WriteFour(std::span<std::uint8_t> bytes, const std::array<std::uint8_t, 4>& values) {
    if (bytes.size() < values.size()) return kHandlerRejected;
    for (std::size_t i = 0; i < values.size(); ++i) bytes[i] = values[i];
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (bytes[i] != values[i]) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

// Two digits of a byte with a tens field of the given width: "HH" or "MM".
void AppendTwoDigits(TerminalRecord& record, std::uint8_t byte, std::uint8_t tens_mask) {
    AppendDigit(record, static_cast<std::uint8_t>((byte & tens_mask) >> 4));
    AppendDigit(record, GetLowNibble(byte));
}

std::uint8_t Store085(ProgrammingState& state, TerminalRecord& record, std::uint8_t p) {
    const std::uint8_t day = ParseByteField(record, p, 1, 0, kEveryDay);
    if (day == kFieldRefused) return kHandlerRejected;
    const std::uint8_t first = day == kEveryDay ? 0 : day;
    const std::uint8_t last = day == kEveryDay ? kDays - 1 : day;
    std::array<std::uint8_t, 4> values{};
    if (!HoldsLoneField(record, p + 2u, "00")) {
        const Time start = ParseTime(record, p + 2, 23);
        const Time end = ParseTime(record, p + 7, 23);
        const std::uint8_t mode = ParseByteField(record, p + 12, 1, 1, 3);
        if (!start.Valid() || !end.Valid() || mode == kFieldRefused) return kHandlerRejected;
        values = {MinuteByte(end.minute), HourByte(end.hour, mode), MinuteByte(start.minute),
                  HourByte(start.hour, mode)};
    }
    for (unsigned d = first; d <= last; ++d) {
        const std::uint8_t answer =
            WriteFour(WeekDay(state.image, static_cast<std::uint8_t>(d)), values);
        if (answer != kHandlerAccepted) return answer;
    }
    return kHandlerAccepted;
}

std::uint8_t Show085(ProgrammingState& state, TerminalRecord& record, std::uint8_t p) {
    const std::uint8_t day = ParseByteField(record, p, 1, 0, kDays - 1);
    if (day == kFieldRefused) return kHandlerRejected;
    auto bytes = WeekDay(state.image, day);
    if (GetBits67(bytes[1]) == 0 || GetBits67(bytes[3]) == 0) {
        record.line.Append(",,");
        return kHandlerAccepted;
    }
    AppendTwoDigits(record, bytes[3], 0x30);
    AppendTwoDigits(record, bytes[2], 0x70);
    record.line.Append(',');
    AppendTwoDigits(record, bytes[1], 0x30);
    AppendTwoDigits(record, bytes[0], 0x70);
    record.line.Append(',');
    AppendDigit(record, GetBits67(bytes[3]));
    return kHandlerAccepted;
}

// The groups a *698 key selects: 00 all eight, 99 group 8, 01-07 that group.
bool ParseGroups(const TerminalRecord& record, std::uint8_t p, bool show, std::uint8_t& first,
                 std::uint8_t& last) {
    const std::uint8_t key = ParseByteField(record, p, 2, 0, kLastGroupKey);
    if (key == kFieldRefused || (key > 7 && key != kLastGroupKey)) return false;
    if (key == kAllGroups) {
        if (show) return false;
        first = 1;
        last = kLastGroup;
    } else {
        first = last = key == kLastGroupKey ? kLastGroup : key;
    }
    return true;
}

std::uint8_t Store698(ProgrammingState& state, TerminalRecord& record, std::uint8_t p) {
    std::uint8_t first_group = 0;
    std::uint8_t last_group = 0;
    const std::uint8_t day = ParseByteField(record, p + 3, 1, 0, kEveryDay);
    const std::uint8_t period = ParseByteField(record, p + 5, 1, 0, kPeriods);
    if (!ParseGroups(record, p, false, first_group, last_group) || day == kFieldRefused ||
        period == kFieldRefused) {
        return kHandlerRejected;
    }
    const bool clear = HoldsLoneField(record, p + 7u, "00");
    std::array<std::uint8_t, 4> values{};
    if (!clear) {
        if (period == 0) return kHandlerRejected;
        // Hours up to 29 pass the tens check; above 23 only the end of the day, 2400, is a time.
        const Time start = ParseTime(record, p + 7, 29);
        const Time end = ParseTime(record, p + 12, 29);
        if (!start.Valid() || !end.Valid()) return kHandlerRejected;
        const bool end_of_day = end.hour == 24 && end.minute == 0;
        if ((end.hour > 23 && !end_of_day) || (start.hour > 23 && !end_of_day)) {
            return kHandlerRejected;
        }
        if (end.Minutes() < start.Minutes()) return kHandlerRejected;
        values = {Bcd(start.minute), Bcd(start.hour), Bcd(end.minute), Bcd(end.hour)};
    }
    const std::uint8_t first_day = day == kEveryDay ? 0 : day;
    const std::uint8_t last_day = day == kEveryDay ? kDays - 1 : day;
    const std::uint8_t first_period = period == 0 ? 1 : period;
    const std::uint8_t last_period = period == 0 ? kPeriods : period;
    for (unsigned g = first_group; g <= last_group; ++g) {
        for (unsigned d = first_day; d <= last_day; ++d) {
            for (unsigned n = first_period; n <= last_period; ++n) {
                const std::uint8_t answer =
                    WriteFour(Period698(state.image, static_cast<std::uint8_t>(g),
                                        static_cast<std::uint8_t>(d), static_cast<std::uint8_t>(n)),
                              values);
                if (answer != kHandlerAccepted) return answer;
            }
        }
    }
    return kHandlerAccepted;
}

std::uint8_t Show698(ProgrammingState& state, TerminalRecord& record, std::uint8_t p) {
    std::uint8_t group = 0;
    std::uint8_t same = 0;
    const std::uint8_t day = ParseByteField(record, p + 3, 1, 0, kDays - 1);
    const std::uint8_t period = ParseByteField(record, p + 5, 1, 1, kPeriods);
    if (!ParseGroups(record, p, true, group, same) || day == kFieldRefused ||
        period == kFieldRefused) {
        return kHandlerRejected;
    }
    auto bytes = Period698(state.image, group, day, period);
    if (bytes.empty()) return kHandlerRejected;
    AppendTwoDigits(record, bytes[1], 0xF0);
    AppendTwoDigits(record, bytes[0], 0xF0);
    record.line.Append(',');
    AppendTwoDigits(record, bytes[3], 0xF0);
    AppendTwoDigits(record, bytes[2], 0xF0);
    return kHandlerAccepted;
}

// ---------------------------------------------------------------------------------------------
// Slot 106: one nibble per item.

struct NibbleItem {
    std::uint8_t item;
    BytePlace place;
    BitField field;
    std::uint8_t lowest;
    std::uint8_t highest;
    bool reloads_characters;
};

constexpr std::array kNibbleItems{
    NibbleItem{0, InBlock(55, 15), kLowNibble, 0, 8, true},                  // *047
    NibbleItem{1, InBlock(55, 15), kHighNibble, 0, 8, false},                // no command
    NibbleItem{2, InBlock(55, 17), kHighNibble, 0, 8, false},                // no command
    NibbleItem{3, InBlock(130, 0), kHighNibble, 0, 7, false},                // no command
    NibbleItem{4, InSetting(SettingByte::k9214), kLowNibble, 0, 8, true},    // *9214
    NibbleItem{5, InSetting(SettingByte::k9214), kHighNibble, 0, 8, true},   // *9215
    NibbleItem{6, InSetting(SettingByte::k350), kLowNibble, 0, 8, false},    // *350
    NibbleItem{7, InSetting(SettingByte::k9440), kHighNibble, 1, 8, false},  // *9440
};

// ---------------------------------------------------------------------------------------------
// Slot 107: *021 (item 2), *9410 (item 5); items 1 and 4 no command reaches.

constexpr std::uint8_t kItem021 = 2;
constexpr std::uint8_t kItem9410 = 5;
constexpr std::uint8_t kItemWord = 1;
constexpr std::uint8_t kItemNibbles = 4;
constexpr std::uint8_t kStatusBit = 0x10;

// Slot 108 (*9306): entries 1-8 of block 40, two bytes at 36 + 2e, four dial digits.
constexpr int kCodeBlock = 40;
constexpr std::uint8_t kCodeEntries = 8;
constexpr std::uint8_t kCodeDigits = 4;

std::span<std::uint8_t> CodeEntry(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t e = ParseByteField(record, FirstFieldPosition(state), 1, 1, kCodeEntries);
    if (e == kFieldRefused) return {};
    return BlockBytes(state.image, kCodeBlock, 36u + 2u * e, 2);
}

// Slot 101 (no command): sixteen dial digits in block 62 bytes 0-7.
constexpr int kLongNumberBlock = 62;
constexpr std::size_t kLongNumberBytes = 8;
constexpr std::uint8_t kLongNumberDigits = 16;
constexpr std::uint8_t kLongNumberShown = 15;

// Slot 105 (no command): entries 1-5 of four dial digits.
constexpr std::uint8_t kShortCodeEntries = 5;

// Slot 109: bits 4, 5 and 6 of block 20 byte 12, then bits 6 and 7 of byte 25, in entry order.
constexpr int kFlagBlock = 20;
struct FlagBit {
    std::size_t byte;
    std::uint8_t mask;
};
constexpr std::array<FlagBit, 5> kFlagBits{
    {{12, 0x10}, {12, 0x20}, {12, 0x40}, {25, 0x40}, {25, 0x80}}};

}  // namespace

// --- Slot 100 --------------------------------------------------------------------------------
// Item 4, which no command has, names a text whose place is not known; it is refused.

std::uint8_t ShowHandler100(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    const std::uint8_t code = ParseByteField(record, FirstFieldPosition(state), 2, 0, 99);
    if (code == kFieldRefused) return kHandlerRejected;
    switch (item) {
        case kItem004:
            return Show004(state, record, code);
        case kItem020:
            return Show020(state, record, code);
        case kItem003:
            return Show003(state, record, code);
        default:
            return kHandlerRejected;
    }
}

// --- Slot 101 --------------------------------------------------------------------------------

std::uint8_t StoreHandler101(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    auto bytes = BlockBytes(state.image, kLongNumberBlock, 0, kLongNumberBytes);
    if (HoldsLoneField(record, p, "00000")) return ZeroAndCheck(bytes);
    PackDialDigits(record, kLongNumberDigits, p, bytes);
    return VerifyDialDigits(record, kLongNumberDigits, p, bytes);
}

std::uint8_t ShowHandler101(ProgrammingState& state, TerminalRecord& record) {
    UnpackDialDigits(record, kLongNumberShown,
                     BlockBytes(state.image, kLongNumberBlock, 0, kLongNumberBytes));
    return kHandlerAccepted;
}

// --- Slot 102 --------------------------------------------------------------------------------

std::uint8_t StoreHandler102(ProgrammingState& state, TerminalRecord& record) {
    const NumberTableItem* table = FindItem(kNumberTables, CurrentDescriptor(state).SubType());
    if (table == nullptr) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t entry = ParseByteField(record, p, table->key_digits, 0, table->highest);
    if (entry == kFieldRefused) return kHandlerRejected;
    const std::uint8_t data = p + table->key_digits + 1;
    if (entry == 0) {
        if (table->clear_all.empty() || !HoldsLoneField(record, data, table->clear_all)) {
            return kHandlerRejected;
        }
        std::uint8_t answer = kHandlerAccepted;
        for (unsigned e = 1; e <= table->highest; ++e) {
            if (ZeroAndCheck(table->entry(state.image, static_cast<std::uint8_t>(e))) !=
                kHandlerAccepted) {
                answer = kHandlerMismatch;
            }
        }
        return answer;
    }
    auto bytes = table->entry(state.image, entry);
    if (bytes.empty()) return kHandlerRejected;
    if (HoldsLoneField(record, data, table->clear_one)) return ZeroAndCheck(bytes);
    auto digits = DigitBytes(*table, bytes);
    PackDialDigits(record, table->digits, data, digits);
    return VerifyDialDigits(record, table->digits, data, digits);
}

std::uint8_t ShowHandler102(ProgrammingState& state, TerminalRecord& record) {
    const NumberTableItem* table = FindItem(kNumberTables, CurrentDescriptor(state).SubType());
    if (table == nullptr) return kHandlerRejected;
    const std::uint8_t entry =
        ParseByteField(record, FirstFieldPosition(state), table->key_digits, 1, table->highest);
    if (entry == kFieldRefused) return kHandlerRejected;
    UnpackDialDigits(record, table->digits, DigitBytes(*table, table->entry(state.image, entry)));
    return kHandlerAccepted;
}

// --- Slot 103 --------------------------------------------------------------------------------
// Both commands have item 1; the command number's first digit tells them apart.

std::uint8_t StoreHandler103(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    return record.line.At(0) == '0' ? Store085(state, record, p) : Store698(state, record, p);
}

std::uint8_t ShowHandler103(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    return record.line.At(0) == '0' ? Show085(state, record, p) : Show698(state, record, p);
}

// --- Slot 105 --------------------------------------------------------------------------------
// "0" or "B" alone clears an entry; entry 0 with "0" clears all five.

std::uint8_t StoreHandler105(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t entry = ParseByteField(record, p, 1, 0, kShortCodeEntries);
    if (entry == kFieldRefused) return kHandlerRejected;
    const std::uint8_t data = p + 2;
    if (entry == 0) {
        if (!HoldsLoneField(record, data, "0")) return kHandlerRejected;
        std::uint8_t answer = kHandlerAccepted;
        for (std::size_t e = 0; e < kShortCodeEntries; ++e) {
            if (ZeroAndCheck(TableEntry(state.image.codes_105, e)) != kHandlerAccepted) {
                answer = kHandlerMismatch;
            }
        }
        return answer;
    }
    auto bytes = TableEntry(state.image.codes_105, entry - 1u);
    if (HoldsLoneField(record, data, "0") || HoldsLoneField(record, data, "B")) {
        return ZeroAndCheck(bytes);
    }
    PackDialDigits(record, kCodeDigits, data, bytes);
    return VerifyDialDigits(record, kCodeDigits, data, bytes);
}

std::uint8_t ShowHandler105(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t entry =
        ParseByteField(record, FirstFieldPosition(state), 1, 1, kShortCodeEntries);
    if (entry == kFieldRefused) return kHandlerRejected;
    UnpackDialDigits(record, kCodeDigits, TableEntry(state.image.codes_105, entry - 1u));
    return kHandlerAccepted;
}

// --- Slot 106 --------------------------------------------------------------------------------

std::uint8_t StoreHandler106(ProgrammingState& state, TerminalRecord& record) {
    const NibbleItem* item = FindItem(kNibbleItems, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    const std::uint8_t value =
        ParseByteField(record, FirstFieldPosition(state), 1, item->lowest, item->highest);
    std::uint8_t* byte = ResolvePlace(state.image, item->place, 0);
    if (value == kFieldRefused || byte == nullptr) return kHandlerRejected;
    item->field.set(value, *byte);
    const bool same = item->field.get(*byte) == value;
    if (item->reloads_characters) ReloadCharacterTable(state.display_characters);
    return same ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler106(ProgrammingState& state, TerminalRecord& record) {
    const NibbleItem* item = FindItem(kNibbleItems, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    const std::uint8_t* byte = ResolvePlace(state.image, item->place, 0);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, item->field.get(*byte));
    return kHandlerAccepted;
}

// --- Slot 107 --------------------------------------------------------------------------------

std::uint8_t ShowHandler107(ProgrammingState& state, TerminalRecord& record) {
    const DataImage& image = state.image;
    switch (CurrentDescriptor(state).SubType()) {
        case kItem021:
            if (image.Setting(SettingByte::k021Flag) == 0) {
                record.line.Append('1');
            } else {
                AppendMaskFlag(record, image.Setting(SettingByte::k021Status), kStatusBit);
            }
            return kHandlerAccepted;
        case kItem9410: {
            const std::uint8_t c = image.Setting(SettingByte::k9410);
            AppendStoredText(record, std::span<const std::uint8_t>(&c, 1));
            return kHandlerAccepted;
        }
        case kItemWord: {
            auto word = BlockBytes(state.image, kWeekBlock, 68, 4);
            AppendLongNumber(
                record, GetDwordField(std::span<const std::uint8_t, 4>(word.data(), 4)), 8, 16);
            return kHandlerAccepted;
        }
        case kItemNibbles:
            UnpackHexDigits(record, 6, BlockBytes(state.image, 46, 0, 3));
            return kHandlerAccepted;
        default:
            return kHandlerRejected;
    }
}

// --- Slot 108 --------------------------------------------------------------------------------
// Five "0" clear the entry; any other five digits are one too many.

std::uint8_t StoreHandler108(ProgrammingState& state, TerminalRecord& record) {
    auto entry = CodeEntry(state, record);
    if (entry.empty()) return kHandlerRejected;
    const std::uint8_t data = FirstFieldPosition(state) + 2;
    if (HoldsLoneField(record, data, "00000")) return ZeroAndCheck(entry);
    if (TypedDigits(record, data, 5) == 5) return kHandlerRejected;
    PackDialDigits(record, kCodeDigits, data, entry);
    return VerifyDialDigits(record, kCodeDigits, data, entry);
}

std::uint8_t ShowHandler108(ProgrammingState& state, TerminalRecord& record) {
    auto entry = CodeEntry(state, record);
    if (entry.empty()) return kHandlerRejected;
    UnpackDialDigits(record, kCodeDigits, entry);
    return kHandlerAccepted;
}

// --- Slot 109 --------------------------------------------------------------------------------
// Line: "a,b,c,d,e", each 0 or 1; all are checked before any is written. The show lists them
// the same way.

std::uint8_t StoreHandler109(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    std::array<std::uint8_t, kFlagBits.size()> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = ParseByteField(record, static_cast<std::uint8_t>(p + 2 * i), 1, 0, 1);
        if (values[i] == kFieldRefused) return kHandlerRejected;
    }
    bool ok = true;
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint8_t& byte = *state.image.BlockByte(kFlagBlock, kFlagBits[i].byte);
        ok = SetMaskBits(byte, kFlagBits[i].mask, values[i]) && ok;
    }
    return ok ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler109(ProgrammingState& state, TerminalRecord& record) {
    for (std::size_t i = 0; i < kFlagBits.size(); ++i) {
        if (i != 0) record.line.Append(',');
        AppendMaskFlag(record, *state.image.BlockByte(kFlagBlock, kFlagBits[i].byte),
                       kFlagBits[i].mask);
    }
    return kHandlerAccepted;
}

}  // namespace qzs
