#include "settings/speed_dial.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "programming/data_image.h"
#include "programming/name_chains.h"
#include "programming/number_index.h"
#include "programming/state.h"

namespace qzs {
namespace {

constexpr std::string_view kNumberCharacters = "1234567890*#P-M";
constexpr std::size_t kPackedNumberBytes = 12;
// A live store from a stored record takes the number field as it comes.
constexpr std::size_t kCopiedNumberBytes = 24;
constexpr std::size_t kRowClearedBytes = kSpeedDialGroupByte + 1;  // bytes 68-70 are kept
constexpr int kRowsPerSystemPage = 50;
constexpr int kSystemPages = 12;
constexpr int kTelephonePages = 6;
constexpr int kMoveModeOf600Rows = 2;  // MoveInNumberIndex over indexes 0-600

static_assert(kSpeedDialRowCount * kSpeedDialRecordBytes == kSpeedDialWorkingCopyBytes,
              "the working copy mirrors the speed-dial block row for row");

using Block = std::span<std::uint8_t>;
using Row = std::span<std::uint8_t>;

Block LiveBlock(ProgrammingState& state) {
    return state.image.Block(kSpeedDialBlock);
}

Block WorkingCopy(ProgrammingState& state) {
    return state.speed_dial_working_copy.bytes;
}

Row RowOf(Block block, std::size_t index) {
    return block.subspan(index * kSpeedDialRecordBytes, kSpeedDialRecordBytes);
}

// The record index of a telephone's row; -1 when the row or the telephone's slot is out of range.
int TelephoneRowIndex(int position, int row) {
    if (row < kFirstTelephoneRow || row >= kFirstTelephoneRow + kTelephoneRows) return -1;
    const int slot = (position < 109 ? position : position + 12) - 101;
    if (slot < 0 || slot >= kSpeedDialTelephoneSlots) return -1;
    return kSystemSpeedDialRows + slot * kTelephoneRows + (row - kFirstTelephoneRow);
}

bool IsSpecialNameByte(std::uint8_t b) {
    return b == ',' || b == '"' || b == '<' || b == '>' || b == '\\';
}

std::size_t NameLength(const std::array<char, 21>& name) {
    return static_cast<std::size_t>(
        std::find(name.begin(), name.begin() + kSpeedDialNameBytes, '\0') - name.begin());
}

// Up to the name's 0 byte, at most 20 bytes, "," as a blank, 0-filled to the field's end.
void StoreName(Row row, std::size_t offset, const std::array<char, 21>& name) {
    auto field = row.subspan(offset, kSpeedDialNameBytes + 1);
    std::fill(field.begin(), field.end(), 0);
    const std::size_t n = NameLength(name);
    for (std::size_t i = 0; i < n; ++i) {
        field[i] = name[i] == ',' ? ' ' : static_cast<std::uint8_t>(name[i]);
    }
}

NumberText StoredNumber(std::span<const std::uint8_t> row) {
    return UnpackSpeedDialNumber(row.first<kPackedNumberBytes>());
}

bool StoredNumberEmpty(std::span<const std::uint8_t> row) {
    return (row[kSpeedDialNumberByte] & 0x0F) == 0;
}

void ClearRow(Row row) {
    std::fill_n(row.begin(), kRowClearedBytes, 0);
}

// The number, names and group of a record into a cleared row: the number packed from text, or
// copied as stored.
void WriteRecord(Row row, const SpeedDialRecord& record, bool packed_number, bool with_group) {
    if (packed_number) {
        std::memcpy(row.data(), record.number.data(), kCopiedNumberBytes);
    } else {
        const std::string_view text(record.number.data(), kSpeedDialNumberDigits);
        const auto packed = PackSpeedDialNumber(text);
        std::copy(packed.begin(), packed.end(), row.begin());
    }
    StoreName(row, kSpeedDialKanaByte, record.kana);
    StoreName(row, kSpeedDialKanjiByte, record.kanji);
    if (with_group) row[kSpeedDialGroupByte] = static_cast<std::uint8_t>(record.group & 7);
}

// Notes a duplicate of the row at `index` (numbered `number` for the list) among the rows
// `first` to `last` of the block; a live store that finds one while the list already holds a
// pair loses its number.
void DetectDuplicates(DuplicateSpeedDialList& list, Block block, int first, int last, int index,
                      int base_number, bool live) {
    Row self = RowOf(block, static_cast<std::size_t>(index));
    for (int r = first; r <= last; ++r) {
        const Row other = RowOf(block, static_cast<std::size_t>(r));
        if (r == index || StoredNumberEmpty(other)) continue;
        // This row's number is read again each time: a live store may just have lost it.
        if (CompareSpeedDialNumber(StoredNumber(other), StoredNumber(self)) != 0) continue;
        const int a = base_number + (index - first);
        const int b = base_number + (r - first);
        if (list.count == 0) {
            list.entries[0] = {std::min(a, b), std::max(a, b)};
        } else if (live) {
            std::fill_n(self.begin(), kCopiedNumberBytes, 0);
        }
        ++list.count;
    }
}

void ReadRecord(std::span<const std::uint8_t> row, SpeedDialRecord& record) {
    record = SpeedDialRecord{};
    for (std::size_t i = 0; i < kSpeedDialNumberDigits; ++i) {
        const std::uint8_t byte = row[i / 2];
        const std::uint8_t code = i % 2 == 0 ? (byte & 0x0F) : (byte >> 4);
        // A nibble 0 reads as a blank, and every blank as the end: the text is 0-filled there.
        record.number[i] = code == 0 ? '\0' : kNumberCharacters[code - 1];
    }
    const auto name = [&](std::size_t offset, std::array<char, 21>& out) {
        for (std::size_t i = 0; i < kSpeedDialNameBytes && row[offset + i] != 0; ++i) {
            out[i] = static_cast<char>(row[offset + i]);
        }
    };
    name(kSpeedDialKanaByte, record.kana);
    name(kSpeedDialKanjiByte, record.kanji);
    record.group = static_cast<char>('0' + row[kSpeedDialGroupByte]);
}

// The chains and the index describe the live rows again after the rows changed wholesale.
void RebuildIndexAndChains(DataImage& image) {
    RebuildNumberIndex(image, kSystemSpeedDialRows);
    ClearSpeedDialChains(image);
    for (std::size_t r = 0; r < kSystemSpeedDialRows; ++r) RelinkSpeedDialChains(image, r);
}

SpeedDialRecord CleanedCopy(const SpeedDialRecord& record) {
    SpeedDialRecord copy = record;
    CleanSpeedDialNames(copy);
    return copy;
}

}  // namespace

std::uint8_t SpeedDialNumberCode(char c) {
    const auto at = kNumberCharacters.find(c);
    return c == '\0' || at == std::string_view::npos ? 0 : static_cast<std::uint8_t>(at + 1);
}

std::array<std::uint8_t, 12> PackSpeedDialNumber(std::string_view text) {
    std::array<std::uint8_t, 12> packed{};
    for (std::size_t i = 0; i < kSpeedDialNumberDigits && i < text.size(); ++i) {
        const std::uint8_t code = SpeedDialNumberCode(text[i]);
        if (code == 0) break;
        packed[i / 2] |= i % 2 == 0 ? code : static_cast<std::uint8_t>(code << 4);
    }
    return packed;
}

void CleanSpeedDialNames(SpeedDialRecord& record) {
    const std::size_t kanji_length = NameLength(record.kanji);
    for (std::size_t i = 0; i < kanji_length; ++i) {
        const auto b = static_cast<std::uint8_t>(record.kanji[i]);
        if ((b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFE)) {
            ++i;  // the second byte stays whatever it is
        } else if (IsSpecialNameByte(b)) {
            record.kanji[i] = ' ';
        }
    }
    const std::size_t kana_length = NameLength(record.kana);
    for (std::size_t i = 0; i < kana_length; ++i) {
        const auto b = static_cast<std::uint8_t>(record.kana[i]);
        if (b >= 0x80 && b <= 0xA0) {
            record.kana[i] = ' ';
            // Only a byte of the name: the 0 after its end stays the end.
            if (i + 1 < kana_length) record.kana[++i] = ' ';
        } else if (IsSpecialNameByte(b)) {
            record.kana[i] = ' ';
        }
    }
}

int PutSystemSpeedDial(ProgrammingState& state, int row, const SpeedDialRecord& record) {
    ApplicationLock::Guard guard(state.lock);
    if (row < 0 || row >= kSystemSpeedDialRows) return 0;
    const auto r = static_cast<std::size_t>(row);
    Row target = RowOf(LiveBlock(state), r);
    ClearRow(target);
    WriteRecord(target, CleanedCopy(record), false, true);
    MoveInNumberIndex(state.image, r, kMoveModeOf600Rows);
    RelinkSpeedDialChains(state.image, r);
    return 1;
}

int StageSystemSpeedDial(ProgrammingState& state, int row, const SpeedDialRecord& record,
                         int live) {
    ApplicationLock::Guard guard(state.lock);
    if (row < 0 || row >= kSystemSpeedDialRows) return 0;
    const auto r = static_cast<std::size_t>(row);
    const Block block = live == 1 ? LiveBlock(state) : WorkingCopy(state);
    if (live == 1) {
        ClearRow(RowOf(block, r));
    } else if (row % kRowsPerSystemPage == 0) {
        // The first row of a posted page of 50 clears the page.
        for (int k = 0; k < kRowsPerSystemPage && row + k < kSystemSpeedDialRows; ++k) {
            ClearRow(RowOf(block, r + static_cast<std::size_t>(k)));
        }
    }
    WriteRecord(RowOf(block, r), CleanedCopy(record), live == 1, true);
    if (state.duplicate_check_flag == 1) {
        DetectDuplicates(state.duplicate_speed_dial_list, block, 0, kSystemSpeedDialRows - 1, row,
                         0, live == 1);
    }
    if (live == 1) {
        MoveInNumberIndex(state.image, r, kMoveModeOf600Rows);
        RelinkSpeedDialChains(state.image, r);
    }
    return 1;
}

int GetSystemSpeedDial(ProgrammingState& state, int row, SpeedDialRecord& record) {
    ApplicationLock::Guard guard(state.lock);
    if (row < 0 || row > kSystemSpeedDialRows) return 0;
    ReadRecord(RowOf(LiveBlock(state), static_cast<std::size_t>(row)), record);
    return 1;
}

int GetStagedSystemSpeedDial(ProgrammingState& state, int row, SpeedDialRecord& record) {
    ApplicationLock::Guard guard(state.lock);
    if (row < 0 || row >= kSystemSpeedDialRows) return 0;
    ReadRecord(RowOf(WorkingCopy(state), static_cast<std::size_t>(row)), record);
    return 1;
}

int PutTelephoneSpeedDial(ProgrammingState& state, int position, int row,
                          const SpeedDialRecord& record) {
    ApplicationLock::Guard guard(state.lock);
    const int index = TelephoneRowIndex(position, row);
    if (index < 0) return 0;
    Row target = RowOf(LiveBlock(state), static_cast<std::size_t>(index));
    ClearRow(target);
    WriteRecord(target, CleanedCopy(record), false, false);
    return 1;
}

int StageTelephoneSpeedDial(ProgrammingState& state, int position, int row,
                            const SpeedDialRecord& record, int live) {
    ApplicationLock::Guard guard(state.lock);
    const int index = TelephoneRowIndex(position, row);
    if (index < 0) return 0;
    const int first = TelephoneRowIndex(position, kFirstTelephoneRow);
    const Block block = live == 1 ? LiveBlock(state) : WorkingCopy(state);
    if (live == 1) {
        ClearRow(RowOf(block, static_cast<std::size_t>(index)));
    } else if (row == kFirstTelephoneRow) {
        for (int k = 0; k < kTelephoneRows; ++k) {
            ClearRow(RowOf(block, static_cast<std::size_t>(first + k)));
        }
    }
    WriteRecord(RowOf(block, static_cast<std::size_t>(index)), CleanedCopy(record), live == 1,
                false);
    DuplicateSpeedDialList& list = state.duplicate_speed_dial_list;
    const std::int32_t found_before = list.count;
    DetectDuplicates(list, block, first, first + kTelephoneRows - 1, index, kFirstTelephoneRow,
                     live == 1);
    if (list.count != found_before) list.telephone = position;
    return 1;
}

int GetTelephoneSpeedDial(ProgrammingState& state, int position, int row, SpeedDialRecord& record) {
    ApplicationLock::Guard guard(state.lock);
    const int index = TelephoneRowIndex(position, row);
    if (index < 0) return 0;
    ReadRecord(RowOf(LiveBlock(state), static_cast<std::size_t>(index)), record);
    return 1;
}

int GetStagedTelephoneSpeedDial(ProgrammingState& state, int position, int row,
                                SpeedDialRecord& record) {
    ApplicationLock::Guard guard(state.lock);
    const int index = TelephoneRowIndex(position, row);
    if (index < 0) return 0;
    ReadRecord(RowOf(WorkingCopy(state), static_cast<std::size_t>(index)), record);
    return 1;
}

void CommitSpeedDialPage(ProgrammingState& state, int commit, int page, int kind) {
    ApplicationLock::Guard guard(state.lock);
    const Block live = LiveBlock(state);
    const Block copy = WorkingCopy(state);
    if (commit == 0) {
        std::copy(live.begin(), live.end(), copy.begin());
        return;
    }
    std::copy(copy.begin(), copy.end(), live.begin());
    // The index and the chains are rebuilt before the page is stored again: the copy changed
    // rows under them, and the stores move rows within them by searching them in order.
    RebuildIndexAndChains(state.image);

    const auto stored_record = [&](std::size_t index) {
        SpeedDialRecord record;
        std::memcpy(&record, RowOf(copy, index).data(), sizeof record);
        return record;
    };
    if (kind == 1 && page >= 1 && page <= kSystemPages) {
        for (int row = page * kRowsPerSystemPage - 1; row >= (page - 1) * kRowsPerSystemPage;
             --row) {
            StageSystemSpeedDial(state, row, stored_record(static_cast<std::size_t>(row)), 1);
        }
    } else if (kind != 1 && page >= 1 && page <= kTelephonePages) {
        for (int position : {2 * page + 99, 2 * page + 100}) {
            for (int row = kFirstTelephoneRow + kTelephoneRows - 1; row >= kFirstTelephoneRow;
                 --row) {
                const int index = TelephoneRowIndex(position, row);
                StageTelephoneSpeedDial(state, position, row,
                                        stored_record(static_cast<std::size_t>(index)), 1);
            }
        }
    }
    // Page 0 (all rows) is the copy with the index and chains rebuilt: there is no page whose
    // rows are stored again.
}

}  // namespace qzs
