#include "programming/number_index.h"

#include <algorithm>
#include <bitset>
#include <vector>

#include "programming/data_image.h"
#include "programming/digit_fields.h"

namespace qzs {
namespace {

constexpr std::array<char, 16> kNumberCharacters{0,   '1', '2', '3', '4', '5', '6', '7',
                                                 '8', '9', '0', '*', '#', 'P', '-', 'M'};

std::span<std::uint8_t> IndexBytes(DataImage& image) {
    return image.Block(kNumberIndexBlock);
}

std::span<const std::uint8_t> IndexBytes(const DataImage& image) {
    return image.Block(kNumberIndexBlock);
}

std::uint16_t Entry(std::span<const std::uint8_t> index, std::size_t i) {
    return GetWordField(index.subspan(2 * i).first<2>());
}

void SetEntry(std::span<std::uint8_t> index, std::size_t i, std::uint16_t value) {
    SetWordField(value, index.subspan(2 * i).first<2>());
}

// The row an entry names, or -1 for an empty entry and for one that names no system row.
long RowOfEntry(std::uint16_t entry) {
    if (entry == 0 || entry > kMaxSystemRows) return -1;
    return static_cast<long>(entry) - 1;
}

NumberText RowNumber(const DataImage& image, std::size_t row) {
    auto bytes = SpeedDialRow(image, row);
    return UnpackSpeedDialNumber(bytes.subspan(kSpeedDialNumberByte).first<12>());
}

bool RowNumberEmpty(const DataImage& image, std::size_t row) {
    return (SpeedDialRow(image, row)[kSpeedDialNumberByte] & 0x0F) == 0;
}

// Indexes 0 to the layout's top that a mode of MoveInNumberIndex works on; 0 for another mode.
std::uint16_t LastIndexOfMode(int mode) {
    switch (mode) {
        case 0:
            return 80;
        case 2:
            return 600;
        case 4:
            return 1000;
        default:
            return 0;
    }
}

}  // namespace

std::size_t SystemRowsOfMode(int mode) {
    switch (mode) {
        case 0:
            return 80;
        case 1:
            return 600;
        case 2:
            return 1000;
        default:
            return 0;
    }
}

std::span<std::uint8_t> SpeedDialRow(DataImage& image, std::size_t row) {
    if (row >= kSpeedDialRowCount) return {};
    return image.Block(kSpeedDialBlock).subspan(row * kSpeedDialRecordBytes, kSpeedDialRecordBytes);
}

std::span<const std::uint8_t> SpeedDialRow(const DataImage& image, std::size_t row) {
    if (row >= kSpeedDialRowCount) return {};
    return image.Block(kSpeedDialBlock).subspan(row * kSpeedDialRecordBytes, kSpeedDialRecordBytes);
}

NumberText MakeNumberText(std::string_view text) {
    NumberText out{};
    for (std::size_t i = 0; i < out.size() && i < text.size() && text[i] != 0; ++i) {
        out[i] = text[i];
    }
    return out;
}

NumberText UnpackSpeedDialNumber(std::span<const std::uint8_t, 12> stored) {
    NumberText out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint8_t byte = stored[i / 2];
        const std::uint8_t code = (i % 2 == 0) ? (byte & 0x0F) : (byte >> 4);
        if (code == 0) break;
        out[i] = kNumberCharacters[code];
    }
    return out;
}

int CompareSpeedDialNumber(const NumberText& a, const NumberText& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x > y ? 1 : 2;
        if (x == 0) break;
    }
    return 0;
}

std::uint16_t NumberIndexEntry(const DataImage& image, std::size_t index) {
    if (index >= kNumberIndexEntries) return 0;
    return Entry(IndexBytes(image), index);
}

std::uint16_t FindNumberIndex(const DataImage& image, const NumberText& text, std::uint16_t last) {
    const auto index = IndexBytes(image);
    int lo = 0;
    int hi = std::min<int>(last, kNumberIndexEntries - 1);
    int mid = 0;
    bool went_left = false;
    while (lo <= hi) {
        mid = (lo + hi) / 2;
        const long row = RowOfEntry(Entry(index, static_cast<std::size_t>(mid)));
        const int order =
            row < 0 ? 2
                    : CompareSpeedDialNumber(RowNumber(image, static_cast<std::size_t>(row)), text);
        if (order == 0) return static_cast<std::uint16_t>(mid);
        went_left = order == 1;
        if (went_left) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    return static_cast<std::uint16_t>(mid + (went_left ? kProbedLeft : kProbedRight));
}

std::uint16_t NumberIndexSearch(const DataImage& image, const NumberText& text) {
    return FindNumberIndex(image, text, kNumberIndexLast);
}

std::uint16_t NumberIndexOf(const DataImage& image, const NumberText& text, std::size_t row) {
    const std::uint16_t found = NumberIndexSearch(image, text);
    if (found & ~kProbeIndexMask) return kIndexNotFound;
    const auto index = IndexBytes(image);
    // The rows with this number stand side by side around the entry found; any of them that is
    // not the row being edited holds the number.
    auto other_row_with_text = [&](int i) {
        const long r = RowOfEntry(Entry(index, static_cast<std::size_t>(i)));
        if (r < 0) return -1;  // an empty entry ends the run
        if (CompareSpeedDialNumber(RowNumber(image, static_cast<std::size_t>(r)), text) != 0) {
            return -1;
        }
        return static_cast<std::size_t>(r) == row ? 0 : 1;
    };
    if (other_row_with_text(found) == 1) return found;
    for (int i = found - 1; i >= 0; --i) {
        const int seen = other_row_with_text(i);
        if (seen < 0) break;
        if (seen == 1) return static_cast<std::uint16_t>(i);
    }
    for (int i = found + 1; i <= kNumberIndexLast; ++i) {
        const int seen = other_row_with_text(i);
        if (seen < 0) break;
        if (seen == 1) return static_cast<std::uint16_t>(i);
    }
    return kIndexNotFound;
}

void MoveInNumberIndex(DataImage& image, std::size_t row, int mode) {
    const std::uint16_t last = LastIndexOfMode(mode);
    if (last == 0 || row >= kMaxSystemRows) return;
    // An index that files or the main unit left broken is rebuilt before it is worked on; a
    // well-formed one is changed only as the move itself requires.
    if (!NumberIndexWellFormed(image, last)) RebuildNumberIndex(image, last);

    const auto index = IndexBytes(image);
    const auto reference = static_cast<std::uint16_t>(row + 1);
    for (std::size_t k = 0; k <= last; ++k) {
        if (Entry(index, k) != reference) continue;
        for (std::size_t j = k; j > 0; --j) SetEntry(index, j, Entry(index, j - 1));
        SetEntry(index, 0, 0);
        break;
    }
    if (RowNumberEmpty(image, row)) return;

    // The search runs over the mode's own range, so that the 80- and 1000-row layouts stay
    // sorted as the 600-row one does.
    const std::uint16_t found = FindNumberIndex(image, RowNumber(image, row), last);
    const std::size_t p = found & kProbeIndexMask;
    for (std::size_t j = 0; j < p; ++j) SetEntry(index, j, Entry(index, j + 1));
    if ((found & kProbedRight) != 0) {
        SetEntry(index, p, reference);
    } else if (p >= 1) {
        SetEntry(index, p - 1, reference);
    }
}

void ShiftWordList(DataImage& image, std::uint16_t new_top, std::uint16_t old_top) {
    if (old_top >= new_top || new_top >= kNumberIndexEntries) return;
    const auto index = IndexBytes(image);
    const std::size_t shift = new_top - old_top;
    for (std::size_t j = old_top; j >= 1; --j) SetEntry(index, j + shift, Entry(index, j));
    for (std::size_t j = 0; j <= shift; ++j) SetEntry(index, j, 0);
}

void RebuildNumberIndex(DataImage& image, std::size_t rows) {
    rows = std::min(rows, kMaxSystemRows);
    std::vector<std::pair<NumberText, std::uint16_t>> numbered;
    for (std::size_t r = 0; r < rows; ++r) {
        if (!RowNumberEmpty(image, r)) {
            numbered.emplace_back(RowNumber(image, r), static_cast<std::uint16_t>(r + 1));
        }
    }
    std::stable_sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) {
        return CompareSpeedDialNumber(a.first, b.first) == 2;
    });
    const auto index = IndexBytes(image);
    const std::size_t first = rows + 1 - numbered.size();
    for (std::size_t j = 0; j < first; ++j) SetEntry(index, j, 0);
    for (std::size_t k = 0; k < numbered.size(); ++k)
        SetEntry(index, first + k, numbered[k].second);
}

bool NumberIndexWellFormed(const DataImage& image, std::uint16_t last) {
    const auto index = IndexBytes(image);
    const std::size_t top = std::min<std::size_t>(last, kNumberIndexEntries - 1);
    std::bitset<kMaxSystemRows> seen;
    bool rows_begun = false;
    for (std::size_t i = 0; i <= top; ++i) {
        const std::uint16_t entry = Entry(index, i);
        if (entry == 0) {
            if (rows_begun) return false;
            continue;
        }
        const long row = RowOfEntry(entry);
        if (row < 0 || seen.test(static_cast<std::size_t>(row))) return false;
        seen.set(static_cast<std::size_t>(row));
        rows_begun = true;
    }
    return true;
}

}  // namespace qzs
