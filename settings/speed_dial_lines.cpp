#include "settings/speed_dial_lines.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "programming/state.h"
#include "settings/sheet_lines.h"
#include "settings/speed_dial.h"

namespace qzs {
namespace {

constexpr int kLastSystemLoadRow = 600;
constexpr int kNoEmptyTelephoneRow = 80;
constexpr std::size_t kNameBytes = 20;
constexpr std::size_t kNumberCharacters = 24;

// Copies up to the text's 0 byte, at most width bytes; a shorter text leaves its 0 byte in the
// line to mark its end.
template <std::size_t N>
void PutField(SheetLine& line, std::size_t column, std::size_t width,
              const std::array<char, N>& text) {
    std::size_t i = 0;
    for (; i < width && i < N && text[i] != '\0'; ++i) line[column + i] = text[i];
    if (i < width) line[column + i] = '\0';
}

void PutDigits(SheetLine& line, std::size_t column, int value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", value % 1000);
    std::copy_n(digits, 3, line.begin() + static_cast<std::ptrdiff_t>(column));
}

void PutRowFields(SheetLine& line, const SpeedDialFieldBuffers& fields) {
    PutField(line, kListNumberColumn, kListNumberWidth, fields.number);
    PutField(line, kListKanaColumn, kListKanaWidth, fields.kana);
    PutField(line, kListKanjiColumn, kListKanjiWidth, fields.kanji);
    if (fields.group != '\0') line[kListGroupColumn] = fields.group;
}

void FillFields(SpeedDialFieldBuffers& fields, const SpeedDialRecord& record) {
    fields = SpeedDialFieldBuffers{};
    std::copy_n(record.number.begin(), kNumberCharacters, fields.number.begin());
    std::copy_n(record.kana.begin(), kNameBytes, fields.kana.begin());
    std::copy_n(record.kanji.begin(), kNameBytes, fields.kanji.begin());
    fields.group = record.group;
}

SpeedDialRecord RecordOfFields(const SpeedDialFieldBuffers& fields) {
    SpeedDialRecord record;
    std::copy_n(fields.number.begin(), kNumberCharacters, record.number.begin());
    std::copy_n(fields.kana.begin(), kNameBytes, record.kana.begin());
    std::copy_n(fields.kanji.begin(), kNameBytes, record.kanji.begin());
    record.group = fields.group;
    return record;
}

}  // namespace

int LoadSystemSpeedDialFields(ProgrammingState& state, int row) {
    ApplicationLock::Guard guard(state.lock);
    state.speed_dial_fields = SpeedDialFieldBuffers{};
    state.speed_dial_fields.group = '1';
    if (row < 0 || row > kLastSystemLoadRow) return 0;
    SpeedDialRecord record;
    if (GetSystemSpeedDial(state, row, record) == 0) return 0;
    FillFields(state.speed_dial_fields, record);
    return 1;
}

int LoadTelephoneSpeedDialFields(ProgrammingState& state, int position, int row) {
    ApplicationLock::Guard guard(state.lock);
    state.speed_dial_fields = SpeedDialFieldBuffers{};
    state.speed_dial_fields.group = '1';
    SpeedDialRecord record;
    if (GetTelephoneSpeedDial(state, position, row, record) == 0) return 0;
    FillFields(state.speed_dial_fields, record);
    return 1;
}

int StoreSystemSpeedDialRow(ProgrammingState& state, int row) {
    ApplicationLock::Guard guard(state.lock);
    SpeedDialRecord record = RecordOfFields(state.speed_dial_fields);
    record.group = static_cast<char>('0' + (state.speed_dial_fields.group & 7));
    return PutSystemSpeedDial(state, row, record);
}

int StoreTelephoneSpeedDialRow(ProgrammingState& state, int position, int row) {
    ApplicationLock::Guard guard(state.lock);
    return PutTelephoneSpeedDial(state, position, row, RecordOfFields(state.speed_dial_fields));
}

int BuildSystemSpeedDialLines(ProgrammingState& state, int first) {
    ApplicationLock::Guard guard(state.lock);
    if (first < 0 || first > kSystemSpeedDialRows) return 0;
    state.sheet_lines.Blank();
    for (int r = first; r < kSystemSpeedDialRows; ++r) {
        SheetLine& line = state.sheet_lines[static_cast<std::size_t>(r)];
        LoadSystemSpeedDialFields(state, r);
        PutDigits(line, kListRowColumn, r);
        PutRowFields(line, state.speed_dial_fields);
    }
    return 1;
}

int BuildTelephoneSpeedDialLines(ProgrammingState& state, int first_telephone, int first_row) {
    ApplicationLock::Guard guard(state.lock);
    if (first_row < kFirstTelephoneRow || first_row >= kFirstTelephoneRow + kTelephoneRows) {
        return 0;
    }
    state.sheet_lines.Blank();
    std::size_t i = 0;
    for (int t = std::max(first_telephone, 0); t <= kLastListTelephone; ++t) {
        for (int r = first_row; r < kFirstTelephoneRow + kTelephoneRows; ++r) {
            if (i >= kSheetLineCount) return 1;
            SheetLine& line = state.sheet_lines[i++];
            LoadTelephoneSpeedDialFields(state, t, r);
            PutDigits(line, kListRowColumn, t);
            line[kListTelephoneZeroColumn] = '0';
            PutDigits(line, kListTelephoneRowColumn, r);
            PutRowFields(line, state.speed_dial_fields);
        }
    }
    return 1;
}

int CountFreeSpeedDialRows(ProgrammingState& state, int which) {
    ApplicationLock::Guard guard(state.lock);
    SpeedDialListCounts& counts = state.speed_dial_list_counts;
    counts = SpeedDialListCounts{};
    SpeedDialRecord record;
    if (which == 0) {
        counts.rows = kSystemSpeedDialRows;
        bool found = false;
        for (int r = 0; r < kSystemSpeedDialRows; ++r) {
            GetSystemSpeedDial(state, r, record);
            if (record.number[0] != '\0') continue;
            ++counts.empty_rows;
            if (!found) counts.first_empty = r;
            found = true;
        }
        return 1;
    }
    // All 20 rows are looked at: counting only the first ten would report a telephone whose
    // rows 990-999 are free as full.
    counts.rows = kTelephoneRows;
    counts.first_empty = kNoEmptyTelephoneRow;
    bool found = false;
    for (int k = 0; k < kTelephoneRows; ++k) {
        if (GetTelephoneSpeedDial(state, which, kFirstTelephoneRow + k, record) == 0) break;
        if (record.number[0] != '\0') continue;
        ++counts.empty_rows;
        if (!found) counts.first_empty = kNoEmptyTelephoneRow + k;
        found = true;
    }
    return 1;
}

}  // namespace qzs
