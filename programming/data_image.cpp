#include "programming/data_image.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace qzs {
namespace {

constexpr std::array<std::uint32_t, kBlockCount> kBlockSizes{
    4,    6144, 160,  48,    8,     4,   108,   16,   32,    40,      // 0-9
    120,  60,   256,  512,   12,    56,  200,   1024, 16,    1024,    // 10-19
    36,   8,    4,    8,     124,   4,   128,   1536, 240,   240,     // 20-29
    64,   192,  768,  576,   72,    16,  120,   144,  384,   408,     // 30-39
    56,   320,  4,    4,     16,    24,  24,    4,    4,     20,      // 40-49
    4,    192,  1536, 128,   288,   24,  8,     1280, 4,     128,     // 50-59
    48,   20,   24,   185,   16,    4,   4,     120,  256,   3072,    // 60-69
    96,   4,    120,  2,     1,     1,   192,   4,    12,    4,       // 70-79
    438,  32,   32,   14848, 96,    48,  128,   196,  32,    64,      // 80-89
    64,   4,    4,    160,   80,    96,  96,    48,   8,     4,       // 90-99
    12,   1,    1,    1,     1,     1,   4,     4,    4,     4,       // 100-109
    4,    4,    4,    4,     4,     4,   640,   6,    1,     2048,    // 110-119
    2048, 96,   160,  64,    96,    16,  4,     512,  32,    28,      // 120-129
    96,   64,   4,    280,   17920, 512, 128,   64,   32,    8,       // 130-139
    512,  8,    2000, 96,    12,    240, 68,    4,    71,    4096,    // 140-149
    672,  240,  4,    2560,  2816,  400, 1188,  4096, 4,     4,       // 150-159
    1,    3,    8008, 40,    520,   20,  20,    1280, 16384, 133480,  // 160-169
    320,  2002, 2,    8192,  16,    560, 20480, 16,   27,    27,      // 170-179
};

// A block listed again after another shares that block's storage.
constexpr int SharedWith(int b) {
    if (b >= 107 && b <= 115) return 106;
    if (b == 120) return 119;
    if (b == 159) return 158;
    if (b == 179) return 178;
    return b;
}

constexpr std::array<std::size_t, kBlockCount> MakeOffsets() {
    std::array<std::size_t, kBlockCount> offsets{};
    std::size_t next = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        if (SharedWith(b) != b) {
            offsets[b] = offsets[SharedWith(b)];
        } else {
            offsets[b] = next;
            next += kBlockSizes[b];
        }
    }
    return offsets;
}

constexpr std::array<std::size_t, kBlockCount> kBlockOffsets = MakeOffsets();

constexpr std::size_t SumOfSizes() {
    std::size_t sum = 0;
    for (auto size : kBlockSizes) sum += size;
    return sum;
}
static_assert(SumOfSizes() == kDirectoryBytes);
constexpr std::size_t DistinctBytes() {
    std::size_t sum = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        if (SharedWith(b) == b) sum += kBlockSizes[b];
    }
    return sum;
}
static_assert(DistinctBytes() == kImageStorageBytes);
static_assert(kBlockOffsets[178] + kBlockSizes[178] == kImageStorageBytes);

// Where a pointer entry leads: a block byte or a byte of one of the two areas outside the blocks.
enum class PointerPlace : std::uint8_t { kBlock, kFirstArea, kSecondArea };
struct PointerTarget {
    PointerPlace place;
    std::uint8_t block;
    std::uint8_t offset;
};

constexpr std::array<PointerTarget, kDataBytePointerCount> MakePointerTable() {
    std::array<PointerTarget, kDataBytePointerCount> table{};
    unsigned e = 0;
    auto block_bytes = [&](std::uint8_t block, std::initializer_list<std::uint8_t> offsets) {
        for (auto o : offsets) table[e++] = {PointerPlace::kBlock, block, o};
    };
    table[e++] = {PointerPlace::kBlock, 3, 0};
    for (std::uint8_t o = 2; o <= 27; ++o) table[e++] = {PointerPlace::kBlock, 3, o};   // 1-26
    block_bytes(3, {32, 33, 44, 45, 46});                                               // 27-31
    block_bytes(40, {0, 1, 4, 5, 8, 10, 35, 11});                                       // 32-39
    block_bytes(55, {0, 1, 2, 3, 4, 5, 9, 11, 14, 15, 16, 17, 18, 19, 20, 21, 22, 8});  // 40-57
    block_bytes(63, {0, 1, 2, 8, 11});                                                  // 58-62
    for (std::uint8_t o = 0; o < kFirstPointerAreaBytes; ++o) {                         // 63-79
        table[e++] = {PointerPlace::kFirstArea, 0, o};
    }
    for (std::uint8_t o : {2, 0, 1, 14, 15, 13}) {  // 80-85
        table[e++] = {PointerPlace::kSecondArea, 0, o};
    }
    return table;
}

constexpr std::array<PointerTarget, kDataBytePointerCount> kPointerTable = MakePointerTable();

constexpr bool PointerTableFits() {
    for (const auto& t : kPointerTable) {
        if (t.place == PointerPlace::kBlock && t.offset >= kBlockSizes[t.block]) return false;
        if (t.place == PointerPlace::kFirstArea && t.offset >= kFirstPointerAreaBytes) return false;
        if (t.place == PointerPlace::kSecondArea && t.offset >= kSecondPointerAreaBytes) {
            return false;
        }
    }
    return kPointerTable[85].place == PointerPlace::kSecondArea;
}
static_assert(PointerTableFits());

}  // namespace

std::size_t BlockSize(int b) {
    if (b < 0 || b >= kBlockCount) return 0;
    return kBlockSizes[b];
}

int BlockArea(int b) {
    if (b < 0 || b >= kBlockCount) return -1;
    for (int area = kAreaCount - 1; area >= 0; --area) {
        if (b >= kAreaFirstBlock[area]) return area;
    }
    return -1;
}

int AreaBlock(int area, int index) {
    if (area < 0 || area >= kAreaCount) return -1;
    if (index < 0 || index >= kAreaBlockCount[area]) return -1;
    return kAreaFirstBlock[area] + index;
}

std::span<std::uint8_t> DataImage::Block(int b) {
    if (b < 0 || b >= kBlockCount) return {};
    return {storage_.data() + kBlockOffsets[b], kBlockSizes[b]};
}

std::span<const std::uint8_t> DataImage::Block(int b) const {
    if (b < 0 || b >= kBlockCount) return {};
    return {storage_.data() + kBlockOffsets[b], kBlockSizes[b]};
}

std::uint8_t* DataImage::BlockByte(int b, std::size_t offset) {
    auto block = Block(b);
    return offset < block.size() ? &block[offset] : nullptr;
}

const std::uint8_t* DataImage::BlockByte(int b, std::size_t offset) const {
    auto block = Block(b);
    return offset < block.size() ? &block[offset] : nullptr;
}

void WriteImageSignature(DataImage& image) {
    std::ranges::copy(kImageSignature, image.Block(kSignatureBlock).begin());
    std::ranges::copy(kImageSignature, image.Block(kSignatureCopyBlock).begin());
}

bool HasImageSignature(const DataImage& image) {
    return std::ranges::equal(image.Block(kSignatureBlock), kImageSignature);
}

const std::uint8_t* DataBytePointer(const DataImage& image, unsigned entry) {
    if (entry >= kDataBytePointerCount) return nullptr;
    const PointerTarget& t = kPointerTable[entry];
    switch (t.place) {
        case PointerPlace::kBlock:
            return image.BlockByte(t.block, t.offset);
        case PointerPlace::kFirstArea:
            return &image.first_pointer_area[t.offset];
        case PointerPlace::kSecondArea:
            return &image.second_pointer_area[t.offset];
    }
    return nullptr;
}

std::uint8_t* DataBytePointer(DataImage& image, unsigned entry) {
    return const_cast<std::uint8_t*>(DataBytePointer(std::as_const(image), entry));
}

namespace {

// Record n belongs to group byte (n - 1) / 50 + 1; n is at least 1 here.
constexpr std::size_t GroupByte(std::uint8_t record) {
    return (record - 1u) / 50u + 1u;
}

void MarkGroup(ModifiedFlags& flags, std::size_t group) {
    if (flags.bytes[group] == 0) flags.bytes[group] = ModifiedFlags::kSet;
}

}  // namespace

void MarkSystemModified(ModifiedFlags& flags) {
    flags.bytes[0] = ModifiedFlags::kSet;
}

void MarkModified(ModifiedFlags& flags, std::uint8_t record) {
    // Record 0 would fall into no group; the old arithmetic turned it into the system byte or
    // past the flags, depending on the integer width.
    if (record == 0) return;
    MarkGroup(flags, GroupByte(record));
}

void MarkModifiedRange(ModifiedFlags& flags, std::uint8_t first, std::uint8_t last) {
    if (first == 0 || last == 0) return;
    for (std::size_t group = GroupByte(first); group <= GroupByte(last); ++group) {
        MarkGroup(flags, group);
    }
}

}  // namespace qzs
