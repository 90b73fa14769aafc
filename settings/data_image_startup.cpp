#include "settings/data_image_startup.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "programming/data_image.h"
#include "programming/factory_defaults.h"
#include "programming/key_layout.h"
#include "programming/port_codecs.h"
#include "programming/slot_queries.h"
#include "programming/state.h"
#include "programming/table_clear.h"
#include "programming/work_areas.h"
#include "settings/command_bridge.h"
#include "settings/form_command.h"

namespace qzs {
namespace {

constexpr std::array<std::string_view, kSetupCommandCount> kSetupCommands{
    // clang-format off
    "*05045#", "*05055#", "*05144#", "*05154#", "*05244#", "*05254#", "*1890#", "*4200#",
    "*82010#", "*82020#", "*82030#", "*82040#", "*82050#", "*82060#", "*82070#", "*82080#",
    "*82090#",
    "*9200401101#", "*9200402102#", "*9200403103#", "*9200404104#", "*9200405000#",
    "*9200406000#", "*9200407000#", "*9200408000#", "*9200409000#", "*9200410000#",
    "*9200501101#", "*9200502102#", "*9200503103#", "*9200504104#", "*9200505000#",
    "*9200506000#", "*9200507000#", "*9200508000#", "*9200509000#", "*9200510000#",
    "*9201401101#", "*9201402102#", "*9201403103#", "*9201404104#", "*9201405000#",
    "*9201406000#", "*9201407000#", "*9201408000#", "*9201409000#", "*9201410000#",
    "*9201501101#", "*9201502102#", "*9201503103#", "*9201504104#", "*9201505000#",
    "*9201506000#", "*9201507000#", "*9201508000#", "*9201509000#", "*9201510000#",
    "*920240#", "*920251#", "*920346#", "*920356#", "*920441#", "*920451#",
    "*9401109000000000000#", "*9401110000000000000#", "*9401111000000000000#",
    "*9401112000000000000#", "*940250000#",
    "*94191090#", "*94191100#", "*94191110#", "*94191120#",
    "*942013192168001113#", "*942110950109#", "*942111050110#", "*942111150111#",
    "*942111250112#",
    "*94221192168001255#", "*94222192168001255#", "*9423160000#", "*9423260002#",
    // clang-format on
};

// --- InitDataImage ---

constexpr int kPromptOptionBlock = 55;
constexpr std::size_t kPromptOptionByte = 11;
constexpr int kStartupFlagBlock = 126;
constexpr int kModelTypeByteBlock = 105;
constexpr int kSpeedDialRowsModeBlock = 160;
constexpr int kCopyRequestBlock = 3;
constexpr std::size_t kCopyRequestByte = 25;
constexpr std::uint8_t kCopyKeyLayout = 0x01;
constexpr std::uint8_t kCopySpecialKeys = 0x02;
constexpr int kSlotCardTypeBlock = 178;

template <std::size_t N>
void Blank(std::array<char, N>& field, std::size_t width) {
    std::fill(field.begin(), field.end(), '\0');
    std::fill_n(field.begin(), std::min(width, N - 1), ' ');
}

void BlankUserInformation(UserInformation& info) {
    Blank(info.user_name, 24);
    Blank(info.person_in_charge, 24);
    Blank(info.telephone_number, 24);
    Blank(info.installation_date, 24);
    Blank(info.memo, 72);
    Blank(info.area_code, 10);
}

void ClearSlotTables(DataImage& image) {
    std::ranges::fill(image.slot_config.alt_kind, kNoKind);
    std::ranges::fill(image.Block(kSlotCardTypeBlock), kNoKind);
}

// --- PrepareWebCommand ---

// When "#" stands at the hash position (and the extra position, where one is named, holds its
// character), the text from `from` on is replaced.
struct FillIn {
    std::string_view command;
    std::size_t hash;
    std::size_t from;
    std::string_view replacement;
    std::size_t extra_position = 0;
    char extra = '\0';
};

constexpr std::array<FillIn, 23> kFillIns{{
    {"361", 7, 7, "00000#"},
    {"615", 8, 8, "0#"},
    {"619", 8, 8, "0#", 7, '1'},
    {"690", 5, 5, "0#"},
    {"085", 5, 5, "00#"},
    {"083", 5, 5, "00#"},
    {"142", 6, 6, "00000#"},
    {"168", 6, 6, "00000#"},
    // The kind digit at 6 and an empty number: the kind becomes 1 (the only one the entry takes)
    // and the number 0, which clears it.
    {"165", 7, 6, "10#"},
    {"166", 7, 6, "10#"},
    {"9233", 7, 7, "000#"},
    {"9284", 9, 9, "00000#"},
    {"164", 4, 4, "00000#"},
    {"163", 4, 4, "0#"},
    {"089", 6, 6, "0#"},
    {"103", 6, 6, "0#"},
    {"141", 6, 6, "0#"},
    {"162", 6, 6, "0#"},
    {"9306", 6, 6, "00000#"},
    {"9308", 7, 7, "000000#"},
    {"9521", 8, 8, "0#"},
    {"423", 6, 6, "0#"},
    {"9210", 7, 7, "000#"},
}};

void ApplyFillIns(std::string& text) {
    const CommandText t(text);
    for (const FillIn& f : kFillIns) {
        if (!t.Is(f.command) || t.At(f.hash) != '#') continue;
        if (f.extra_position != 0 && t.At(f.extra_position) != f.extra) continue;
        text.resize(f.from);
        text += f.replacement;
        return;
    }
}

// *009: the four counters of a port, three digits each at 8, 11, 14 and 17.
void StoreCounters(DataImage& image, const CommandText& t) {
    const std::optional<std::uint8_t> code = t.TelephoneCode(4);
    if (!code || *code < 1 || *code > image.counters_009.size()) return;
    std::array<std::uint8_t, 4> counters{};
    for (std::size_t i = 0; i < counters.size(); ++i) {
        const std::optional<unsigned> v = t.Digits(8 + 3 * i, 3);
        if (!v || *v > 255) return;  // a counter is one byte
        counters[i] = static_cast<std::uint8_t>(*v);
    }
    image.counters_009[*code - 1] = counters;
}

// *011: what a unit slot holds.
void StoreSlotKind(DataImage& image, const CommandText& t) {
    const std::optional<unsigned> unit = t.Digits(4, 2);
    const std::optional<unsigned> value = t.Digits(6, 3);
    if (!unit || !value) return;
    const std::uint8_t slot = MapUnitCodeToSlot(static_cast<std::uint8_t>(*unit));
    if (slot >= kCardSlotCount) return;  // no slot for that unit code
    const auto kind = static_cast<std::uint8_t>(*value % 256);
    image.slot_config.alt_kind[slot] = kind;
    image.Block(kSlotCardTypeBlock)[slot] = kind;
}

// *012: whether a telephone is there.
void StoreTerminalType(ProgrammingState& state, const CommandText& t) {
    const std::optional<std::uint8_t> code = t.TelephoneCode(4);
    if (!code) return;
    TerminalRecord* record = FindTerminal(state.terminals, *code);
    if (record == nullptr) return;  // 0 and codes above 128 name no terminal
    record->attributes[0] = t.At(7) == '1' ? 0 : kTerminalTypeDefault;
}

// *9504: nine digits as a 32-bit number, the first byte the most significant.
void StoreNumber9504(DataImage& image, const CommandText& t) {
    const std::optional<unsigned> n = t.Digits(5, 9);
    if (!n) return;
    for (std::size_t i = 0; i < 4; ++i) {
        image.number_9504[i] = static_cast<std::uint8_t>(*n >> (24 - 8 * i));
    }
}

// The long field of a slot record as the *003 show reads it: the length 5, five characters and a
// "-" after them.
void StoreSlotText(DataImage& image, std::uint8_t record_index,
                   const std::array<char, 6>& characters) {
    SlotRecord& record = image.slot_config.records[record_index];
    record[kSlotLongLengthByte] = 5;
    std::copy(characters.begin(), characters.end(), record.begin() + kSlotLongFieldByte);
}

// The shows of *003 and *004 read a slot's card text from slot record slot + 1 only when the
// slot's unit kind is 11, 20 or 21; the "marker byte" of a reported card is that kind, set to 20.
constexpr std::uint8_t kCardUnitKind = 20;

// *003: the card information the main unit reports.
void StoreCardInformation(DataImage& image, const CommandText& t) {
    const std::optional<unsigned> key = t.Digits(4, 2);
    if (!key) return;
    if (*key == 0) {
        ClearSlotTables(image);
        if (t.EndsAt(9)) return;
        image.text_003 = {
            static_cast<std::uint8_t>(t.At(6)), static_cast<std::uint8_t>(t.At(7)), '-',
            static_cast<std::uint8_t>(t.At(8)), static_cast<std::uint8_t>(t.At(9)), '-'};
        return;
    }
    if (t.At(6) == '#') return;
    const std::uint8_t slot = MapUnitCodeToSlot(static_cast<std::uint8_t>(*key));
    const auto record = static_cast<std::uint8_t>(slot + 1);
    if (*key >= 11 && *key <= 13) {
        if (t.EndsAt(*key == 13 ? 9 : 10)) return;
        std::array<char, 6> chars{t.At(6), t.At(7), t.At(8), t.At(9), t.At(10), '-'};
        if (*key == 13) chars[4] = '-';
        StoreSlotText(image, record, chars);
        image.slot_config.unit_kind[slot] = kCardUnitKind;
    } else if (*key == 15) {
        if (t.EndsAt(9)) return;
        auto dash_for_end = [](char c) { return c == '\0' || c == '#' ? '-' : c; };
        image.Setting(SettingByte::kCardInformation) = 1;
        StoreSlotText(
            image, record,
            {t.At(6), t.At(7), t.At(8), t.At(9), dash_for_end(t.At(10)), dash_for_end(t.At(11))});
    }
}

// *099: a flag and a value of one of the rows of block 39.
void StorePortRowOption(DataImage& image, const CommandText& t) {
    const std::optional<unsigned> row = t.Digits(5, 1);
    const std::optional<unsigned> flag = t.Digits(6, 1);
    const std::optional<unsigned> value = t.Digits(7, 1);
    if (!row || !flag || !value) return;
    const unsigned byte = *flag * 64 + *value;
    if (byte > 255) return;
    image.Block(39)[16 + 24 * *row] = static_cast<std::uint8_t>(byte);
}

// *860: one of the four records; the main unit numbers them 1-4, as the keypad show does.
void StoreRecord860(DataImage& image, const CommandText& t) {
    const std::optional<unsigned> n = t.Digits(4, 1);
    const std::optional<unsigned> position = t.Digits(6, 2);
    const std::optional<unsigned> flag = t.Digits(8, 1);
    const std::optional<unsigned> kind = t.Digits(9, 2);
    const std::optional<unsigned> digit = t.Digits(11, 1);
    auto& table = image.ip_settings.table_860;
    if (!n || !position || !flag || !kind || !digit) return;
    if (*n < 1 || *n > table.size()) return;
    unsigned code = 0;
    if (*kind == 46) code = 32;
    if (*kind == 89) code = 48;
    if (*kind == 0) code = 16;
    auto& record = table[*n - 1];
    record[2] = MapSlotCode(static_cast<std::uint8_t>(*position));
    record[0] = static_cast<std::uint8_t>(*flag * 8 + code + *digit);
}

}  // namespace

std::span<const std::string_view, kSetupCommandCount> SetupCommands() {
    return kSetupCommands;
}

namespace {

using TerminalRecords = decltype(ProgrammingState::terminals);

// The image and the terminal records as start-up leaves them for these factory values: a
// function of the values alone, since the image is emptied first.
void BuildFactoryImage(DataImage& image, TerminalRecords& terminals,
                       std::span<const FactoryValue> factory_values) {
    // The settings outside the blocks go back to zero too, as they are when the program starts,
    // so that every start-up leaves the same image whatever the state held before.
    std::destroy_at(&image);
    std::construct_at(&image);

    // All 128 records are cleared whole; a cut after 8,192 bytes would leave record 103 half
    // cleared and records 104-128 as they were.
    std::ranges::fill(terminals, TerminalRecord{});
    for (TerminalRecord& record : terminals) record.attributes[0] = kTerminalTypeDefault;

    image.Block(kPromptOptionBlock)[kPromptOptionByte] = 0x7F;
    ClearDataTables(image, 0);
    ClearDataTables(image, 1);
    ClearDataTables(image, 2);
    LoadFactoryDefaults(image, factory_values);
    CompleteDefaults(image);
    image.Block(kStartupFlagBlock)[0] = 1;
    LoadDefaultKeyLayouts(image);
    std::uint8_t& model_type = image.Block(kModelTypeByteBlock)[0];
    if (model_type != 0) {
        ApplyModelKeyDefaults(image);
        model_type = 0;
    }
    image.Block(kSpeedDialRowsModeBlock)[0] = 1;
    ClearTelephoneSpeedDial(image, 1);
    ClearSystemSpeedDial(image, 1);
    WriteImageSignature(image);

    // The two copy requests are cleared before the copies run, so each is tested as it stood.
    std::uint8_t& requests = image.Block(kCopyRequestBlock)[kCopyRequestByte];
    const std::uint8_t requested = requests & (kCopyKeyLayout | kCopySpecialKeys);
    requests = static_cast<std::uint8_t>(requests & ~(kCopyKeyLayout | kCopySpecialKeys));
    if (requested & kCopyKeyLayout) CopyKeyLayoutToAll(image);
    if (requested & kCopySpecialKeys) CopySpecialKeysToAll(image);

    ClearWorkAreas(image);
    ClearSlotTables(image);
    image.ip_settings.reserved_port_number = {kReservedPortNumber & 0xFF, kReservedPortNumber >> 8};
}

// Every start-up with the built-in values leaves the same image, so it is built once per process
// and copied: building it clears and fills the 300 KB image several times over, a copy writes it
// once. The copy is made on first use (thread-safe) and never changes afterwards.
struct FactorySnapshot {
    DataImage image;
    TerminalRecords terminals;
};

const FactorySnapshot& BuiltInFactorySnapshot() {
    static const std::unique_ptr<const FactorySnapshot> snapshot = [] {
        auto built = std::make_unique<FactorySnapshot>();
        BuildFactoryImage(built->image, built->terminals, BuiltInFactoryValues());
        return built;
    }();
    return *snapshot;
}

}  // namespace

void InitDataImage(ProgrammingState& state, std::span<const FactoryValue> factory_values) {
    ApplicationLock::Guard guard(state.lock);
    const std::span<const FactoryValue> built_in = BuiltInFactoryValues();
    if (factory_values.data() == built_in.data() && factory_values.size() == built_in.size()) {
        const FactorySnapshot& snapshot = BuiltInFactorySnapshot();
        state.image = snapshot.image;
        state.terminals = snapshot.terminals;
    } else {
        BuildFactoryImage(state.image, state.terminals, factory_values);
    }

    state.key_input = KeyInputBlock{};
    BlankUserInformation(state.user_information);
    // The bridge's own state starts over with the image: a working copy, duplicate list or lock
    // flag kept from before would describe rows and buttons that are no longer there.
    state.port619_flags = Port619Flags{};
    state.speed_dial_working_copy = SpeedDialWorkingCopy{};
    state.duplicate_check_flag = 0;
    state.duplicate_speed_dial_list = DuplicateSpeedDialList{};
    state.one_touch_lock_flags = {};
    state.paged_button_lock_flags = {};
    state.sheet_lines.Blank();
    state.key_sheet_lines.Blank();
    state.replay_rejected_line = 0;
    state.speed_dial_fields = SpeedDialFieldBuffers{};
    state.speed_dial_list_counts = SpeedDialListCounts{};
    state.modified = ModifiedFlags{};
}

void RunSetupCommandList(ProgrammingState& state) {
    ApplicationLock::Guard guard(state.lock);
    for (std::string_view command : kSetupCommands) RunCommand(state, 1, command);
}

int RunWebCommand(ProgrammingState& state, std::string& text) {
    ApplicationLock::Guard guard(state.lock);
    if (PrepareWebCommand(state, text) != 0) RunCommand(state, 1, text);
    return 0;
}

int PrepareWebCommand(ProgrammingState& state, std::string& text) {
    ApplicationLock::Guard guard(state.lock);
    DataImage& image = state.image;
    {
        const CommandText t(text);
        if (t.Is("009")) {
            StoreCounters(image, t);
            return 0;
        }
        if (t.Is("011")) {
            StoreSlotKind(image, t);
            return 0;
        }
        if (t.Is("012")) {
            StoreTerminalType(state, t);
            return 0;
        }
        if (t.Is("030")) ApplyKeyAssignmentCommand(state, text, '#');
        if (t.Is("9504")) {
            StoreNumber9504(image, t);
            return 1;
        }
        if (t.Is("003")) {
            StoreCardInformation(image, t);
            return 1;
        }
    }
    ApplyFillIns(text);

    const CommandText t(text);
    if (t.Is("099")) {
        StorePortRowOption(image, t);
        return 0;
    }
    if (t.Is("860")) StoreRecord860(image, t);
    if (t.Is("081") && t.At(4) == '0' && t.At(5) == '0') ClearUnitReferenceTables(image);
    if (t.Is("000")) RunSetupCommandList(state);
    if (t.Is("9410")) {
        const std::optional<unsigned> digit = t.Digits(5, 1);
        if (digit) image.Setting(SettingByte::k9410) = static_cast<std::uint8_t>(t.At(5));
    }
    if (t.Is("021")) {
        image.Setting(SettingByte::k021Flag) = 1;
        image.Setting(SettingByte::k021Status) = t.At(4) == '1' ? 16 : 0;
    }
    if (t.Is("351") && !t.EndsAt(5)) {
        std::string cleared(t.Text().substr(0, 6));
        cleared += "000#";
        RunCommand(state, 1, cleared);
    }
    if (t.Is("9311") && t.At(4) == '1' && t.At(5) == '0' && t.At(6) == '0') {
        text.resize(8);
        text[7] = '#';
    }
    return 1;
}

}  // namespace qzs
