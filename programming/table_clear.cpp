#include "programming/table_clear.h"

#include <algorithm>

#include "programming/data_image.h"
#include "programming/digit_fields.h"
#include "programming/name_chains.h"
#include "programming/number_index.h"

namespace qzs {
namespace {

constexpr int kListWorkBlock = 167;
constexpr int kListFlagBlock = 125;
constexpr std::size_t kListFlagBytes = 5;
constexpr int kSpeedDialSideBlock = 142;

constexpr int kMemberRowBlock = 38;
constexpr std::size_t kMemberRowBytes = 96;
constexpr std::size_t kMembersPerRow = 30;
constexpr std::uint8_t kFirstMemberRow = 1;
constexpr std::uint8_t kLastMemberRow = 3;
constexpr int kValueMaskBlock = 37;
constexpr std::size_t kValueMaskEntryBytes = 6;
constexpr std::size_t kValueMaskByte = 4;
constexpr std::size_t kValueCount = 24;

constexpr std::uint8_t kFirstInvalidCode = 240;
constexpr std::size_t kShortFieldBytes = 12;  // what layout 0 clears of a number or a name

void Zero(std::span<std::uint8_t> bytes) {
    std::fill(bytes.begin(), bytes.end(), 0);
}

// The rows first .. first + count - 1 of block 169 as one run of bytes.
std::span<std::uint8_t> SpeedDialRows(DataImage& image, std::size_t first, std::size_t count) {
    return image.Block(kSpeedDialBlock)
        .subspan(first * kSpeedDialRecordBytes, count * kSpeedDialRecordBytes);
}

// Layout 0 keeps short rows: only the first 12 bytes of the number and of each name are used.
void ClearShortRow(std::span<std::uint8_t> row) {
    Zero(row.subspan(kSpeedDialNumberByte, kShortFieldBytes));
    Zero(row.subspan(kSpeedDialKanaByte, kShortFieldBytes));
    Zero(row.subspan(kSpeedDialKanjiByte, kShortFieldBytes));
}

std::span<std::uint8_t> MemberRow(DataImage& image, std::uint8_t row) {
    return image.Block(kMemberRowBlock).subspan(row * kMemberRowBytes, kMembersPerRow);
}

std::span<const std::uint8_t> MemberRow(const DataImage& image, std::uint8_t row) {
    return image.Block(kMemberRowBlock).subspan(row * kMemberRowBytes, kMembersPerRow);
}

bool IsMemberRow(std::uint8_t row) {
    return row >= kFirstMemberRow && row <= kLastMemberRow;
}

template <std::size_t N>
void ClearInvalidEntry(std::array<std::uint8_t, N>& record, std::size_t at, ModifiedFlags& flags,
                       std::uint8_t record_number) {
    if (record[at] < kFirstInvalidCode) return;
    record[at] = 0;
    record[at + 1] = 0;
    MarkModified(flags, record_number);
}

}  // namespace

void ClearDataTables(DataImage& image, int mode) {
    if (mode < 0 || mode > 2) return;
    for (int i = 0; i < kAreaBlockCount[mode]; ++i) Zero(image.Block(AreaBlock(mode, i)));
}

void ClearTelephoneSpeedDial(DataImage& image, int mode) {
    switch (mode) {
        case 0:
            for (std::size_t r = 80; r < 1360; ++r) {
                auto row = SpeedDialRow(image, r);
                ClearShortRow(row);
                row[kSpeedDialGroupByte] = 0;
            }
            break;
        case 1:
            Zero(SpeedDialRows(image, 600, 1280));
            break;
        case 2:
            Zero(SpeedDialRows(image, 1000, 640));
            break;
        default:
            break;
    }
}

void ClearSystemSpeedDial(DataImage& image, int mode) {
    const std::size_t rows = SystemRowsOfMode(mode);
    for (std::size_t r = 0; r < rows; ++r) {
        auto row = SpeedDialRow(image, r);
        if (mode == 0) {
            ClearShortRow(row);
        } else {
            Zero(row);
        }
        row[kSpeedDialGroupByte] = 1;
    }
    ClearSpeedDialChains(image);
    Zero(image.Block(kNumberIndexBlock));
    Zero(image.Block(kSpeedDialSideBlock));
}

void ClearListWorkArea(DataImage& image) {
    Zero(image.Block(kListWorkBlock));
    Zero(image.Block(kListFlagBlock).first(kListFlagBytes));
}

void ClearInvalidEntries(DataImage& image, ModifiedFlags& flags) {
    auto& tables = image.port_code_tables;
    for (std::size_t i = 0; i < kPortCodeRecordCount; ++i) {
        const auto k = static_cast<std::uint8_t>(i + 1);
        ClearInvalidEntry(tables.records[i], 4, flags, k);
        ClearInvalidEntry(tables.records[i], 6, flags, k);
        ClearInvalidEntry(tables.pairs[i], 0, flags, k);
        ClearInvalidEntry(tables.pairs[i], 2, flags, k);
    }
}

void RemoveGroupMembership(DataImage& image, std::uint8_t row, std::uint8_t member) {
    if (!IsMemberRow(row) || member < 1 || member > kMembersPerRow) return;
    std::uint8_t& held = MemberRow(image, row)[member - 1];
    // The member byte comes from a block that files overwrite: only values 1-24 have a mask.
    if (held != 0 && held <= kValueCount && IsValueUnusedInRow(image, row, member, held)) {
        auto mask = image.Block(kValueMaskBlock)
                        .subspan((held - 1u) * kValueMaskEntryBytes + kValueMaskByte)
                        .first<2>();
        SetWordField(static_cast<std::uint16_t>(GetWordField(mask) & ~(1u << row)), mask);
    }
    held = 0;
}

bool IsValueUnusedInRow(const DataImage& image, std::uint8_t row, std::uint8_t position,
                        std::uint8_t value) {
    if (!IsMemberRow(row)) return false;
    const auto entries = MemberRow(image, row);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i + 1 != position && entries[i] == value) return false;
    }
    return true;
}

}  // namespace qzs
