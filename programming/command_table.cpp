#include "programming/command_table.h"

#include <stdexcept>

#include "programming/state.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

// The first command number of each group, as the lookup below places numbers into groups.
constexpr std::array<unsigned, kCommandGroupCount> kGroupFirstNumber{
    0,    100,  300,  400,  500,  600,  700,  800,  9100, 9200,
    9220, 9240, 9260, 9280, 9300, 9400, 9480, 9490, 9500};

constexpr unsigned kNoGroup = kCommandGroupCount;

// Digit value of a character, or 10 and above for anything else (compared unsigned, so the
// characters below '0' do not turn into small numbers).
unsigned DigitValue(char c) {
    return static_cast<unsigned char>(c) - unsigned{'0'};
}

struct GroupNumber {
    unsigned group = kNoGroup;
    unsigned offset = 0;
};

// Places a number of the display line into its group by the main unit's rules.
GroupNumber PlaceNumber(std::string_view number) {
    auto char_at = [&](std::size_t i) { return i < number.size() ? number[i] : '\0'; };
    if (char_at(0) == '9') {
        const unsigned d2 = DigitValue(char_at(1));
        const unsigned d3 = DigitValue(char_at(2));
        const unsigned d4 = DigitValue(char_at(3));
        if (d2 > 9 || d3 > 9 || d4 > 9) return {};
        const unsigned n = 10 * d3 + d4;
        switch (d2) {
            case 1:
                return {8, n};
            case 2:
                // Two tens of numbers per group: 9200-9219, 9220-9239, ...
                return {9 + d3 / 2, n - 20 * (d3 / 2)};
            case 3:
                return {14, n};
            case 4:
                if (d3 <= 4) return {15, n};
                if (d3 == 8) return {16, n - 80};
                if (d3 == 9) return {17, n - 90};
                return {};
            case 5:
                if (d3 <= 3) return {18, n};
                return {};
            default:
                return {};
        }
    }
    const unsigned d1 = DigitValue(char_at(0));
    const unsigned d2 = DigitValue(char_at(1));
    const unsigned d3 = DigitValue(char_at(2));
    if (d1 > 9 || d2 > 9 || d3 > 9) return {};
    const unsigned n = 10 * d2 + d3;
    // There is no *2NN group.
    static constexpr std::array<unsigned, 10> kGroupOfHundred{0, 1, kNoGroup, 2, 3,
                                                              4, 5, 6,        7, kNoGroup};
    return {kGroupOfHundred[d1], n};
}

}  // namespace

CommandTable::CommandTable(std::vector<CommandDescriptor> records) : records_(std::move(records)) {
    std::size_t group = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (!records_[i].IsEndRecord()) continue;
        if (group == kCommandGroupCount) {
            throw std::invalid_argument("command table: more than 19 end records");
        }
        group_first_[group] = static_cast<std::uint16_t>(first);
        group_count_[group] = static_cast<std::uint16_t>(i - first);
        ++group;
        first = i + 1;
    }
    if (group != kCommandGroupCount) {
        throw std::invalid_argument("command table: fewer than 19 end records");
    }
    if (first + 1 != records_.size()) {
        throw std::invalid_argument("command table: one catch-all record must close the table");
    }
    if (records_.size() > 0xFFFF) throw std::invalid_argument("command table: too many records");
    catch_all_ = static_cast<std::uint16_t>(first);
}

std::uint16_t CommandTable::Lookup(std::string_view number) const {
    const GroupNumber place = PlaceNumber(number);
    if (place.group == kNoGroup || place.offset >= group_count_[place.group]) return catch_all_;
    return static_cast<std::uint16_t>(group_first_[place.group] + place.offset);
}

std::string CommandTable::NumberAt(std::size_t index) const {
    for (std::size_t g = 0; g < kCommandGroupCount; ++g) {
        if (index < group_first_[g] || index >= group_first_[g] + group_count_[g]) continue;
        const unsigned number =
            kGroupFirstNumber[g] + static_cast<unsigned>(index - group_first_[g]);
        std::string text = std::to_string(number);
        if (text.size() < 3) text.insert(0, 3 - text.size(), '0');
        return text;
    }
    return {};
}

namespace {

struct BuiltInRecord {
    std::string_view number;  // as written in the data; empty for end and catch-all records
    CommandDescriptor descriptor;
};

// The transcribed data: one line per record in table order.
#define ROW(number, b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12)                  \
    BuiltInRecord{number,                                                                   \
                  {{0x##b0, 0x##b1, 0x##b2, 0x##b3, 0x##b4, 0x##b5, 0x##b6, 0x##b7, 0x##b8, \
                    0x##b9, 0x##b10, 0x##b11, 0x##b12}}},
#define GROUP_END() BuiltInRecord{{}, {{0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0}}},
#define CATCH_ALL() BuiltInRecord{{}, {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3C, 0, 0, 0}}},
constexpr BuiltInRecord kBuiltInRecords[] = {
#include "programming/command_table_data.inc"
};
#undef ROW
#undef GROUP_END
#undef CATCH_ALL

static_assert(std::size(kBuiltInRecords) == kCommandRecordCount);

}  // namespace

namespace {

// Out of line, so that the table's accessor, which every key of the keypad reaches, stays a test
// of its guard and a return instead of saving every register for a construction made once.
[[gnu::noinline]] std::vector<CommandDescriptor> BuiltInDescriptors() {
    std::vector<CommandDescriptor> records;
    records.reserve(kCommandRecordCount);
    for (const BuiltInRecord& record : kBuiltInRecords) records.push_back(record.descriptor);
    return records;
}

}  // namespace

const CommandTable& BuiltInCommandTable() {
    static const CommandTable table(BuiltInDescriptors());
    return table;
}

std::vector<std::string_view> BuiltInCommandNumbers() {
    std::vector<std::string_view> numbers;
    numbers.reserve(kCommandRecordCount);
    for (const BuiltInRecord& record : kBuiltInRecords) numbers.push_back(record.number);
    return numbers;
}

const CommandTable& ActiveCommandTable(const ProgrammingState& state) {
    return state.keypad.command_table != nullptr ? *state.keypad.command_table
                                                 : BuiltInCommandTable();
}

std::uint8_t IsFourDigitCommand(const TerminalRecord& record) {
    return record.line.At(0) == '9' ? 1 : 0;
}

std::uint16_t LookupCommandIndex(const ProgrammingState& state, const TerminalRecord& record) {
    return ActiveCommandTable(state).Lookup(record.line.Text().substr(0, 4));
}

}  // namespace qzs
