#include "programming/default_profile.h"

#include <array>
#include <span>

#include "programming/data_image.h"

namespace qzs {
namespace {

constexpr std::uint8_t kWritten = 0;
constexpr std::uint8_t kOutOfRange = 1;
constexpr std::uint8_t kReadBackDiffers = 2;

constexpr int kProfileByteBlock = 91;
constexpr int kProfileWordBlock = 32;
constexpr int kEntryBlock = 57;
constexpr unsigned kEntryCount = 64;
constexpr std::size_t kEntryBytes = 20;
constexpr std::size_t kEntryNumberBytes = 7;  // byte 0 and the six number bytes
constexpr std::size_t kEntryByteOffset = 14;

// A checked word write, little-endian, answering whether it reads back.
std::uint8_t WriteWord(std::span<std::uint8_t> block, std::size_t offset, unsigned value) {
    block[offset] = static_cast<std::uint8_t>(value & 0xFF);
    block[offset + 1] = static_cast<std::uint8_t>(value >> 8);
    const unsigned read = block[offset] | (block[offset + 1] << 8);
    return read == value ? kWritten : kReadBackDiffers;
}

std::span<std::uint8_t> Entry(DataImage& image, unsigned entry) {
    return image.Block(kEntryBlock).subspan((entry - 1) * kEntryBytes, kEntryBytes);
}

std::size_t EntryWordOffset(unsigned word) {
    return 8 + 2 * (word - 1);
}

std::uint8_t ClearEntryNumber(DataImage& image, unsigned entry) {
    std::span<std::uint8_t> bytes = Entry(image, entry).first(kEntryNumberBytes);
    for (std::uint8_t& b : bytes) b = 0;
    for (std::uint8_t b : bytes) {
        if (b != 0) return kReadBackDiffers;
    }
    return kWritten;
}

// The default word table of profile 0: rows 1-13, words 1-3, applied row by row.
constexpr std::array<std::array<std::uint16_t, 3>, 13> kDefaultWords{{
    {360, 360, 480},
    {180, 180, 240},
    {120, 150, 180},
    {120, 150, 180},
    {90, 120, 180},
    {90, 120, 180},
    {90, 120, 180},
    {180, 180, 240},
    {120, 120, 150},
    {90, 120, 150},
    {60, 90, 120},
    {45, 52, 90},
    {45, 52, 90},
}};

// The two entries whose number, words and byte the profiles set.
constexpr std::array<unsigned, 2> kProfileEntries{5, 6};

}  // namespace

std::uint8_t SetProfileByte(DataImage& image, unsigned set, unsigned item, unsigned value) {
    if (set != 1 || item < 1 || item > 3 || value > 99) return kOutOfRange;
    std::uint8_t& byte = image.Block(kProfileByteBlock)[item - 1];
    byte = static_cast<std::uint8_t>(value);
    return byte == value ? kWritten : kReadBackDiffers;
}

std::uint8_t SetProfileWord(DataImage& image, unsigned set, unsigned row, unsigned word,
                            unsigned value) {
    if (set != 1 || row < 1 || row > 13 || word < 1 || word > 3 || value < 2 || value > 998) {
        return kOutOfRange;
    }
    return WriteWord(image.Block(kProfileWordBlock), 12 * row + 2 * (word - 1), value);
}

std::uint8_t SetEntryNumber(DataImage& image, unsigned entry, unsigned byte, std::uint16_t number) {
    if (entry == 0) {
        if (byte != 0 || number != 0) return kOutOfRange;
        for (unsigned n = 1; n <= kEntryCount; ++n) {
            if (const std::uint8_t r = ClearEntryNumber(image, n); r != kWritten) return r;
        }
        return kWritten;
    }
    if (entry > kEntryCount) return kOutOfRange;
    if (byte == 0 && number == 0) return ClearEntryNumber(image, entry);
    if (byte > 0xFF) return kOutOfRange;
    std::span<std::uint8_t> bytes = Entry(image, entry);
    const std::array<std::uint8_t, kEntryNumberBytes> wanted{
        static_cast<std::uint8_t>(byte),
        static_cast<std::uint8_t>(number >> 8),
        static_cast<std::uint8_t>(number & 0xFF),
        0,
        0,
        0,
        0};
    for (std::size_t i = 0; i < kEntryNumberBytes; ++i) bytes[i] = wanted[i];
    for (std::size_t i = 0; i < kEntryNumberBytes; ++i) {
        if (bytes[i] != wanted[i]) return kReadBackDiffers;
    }
    return kWritten;
}

std::uint8_t SetEntryWord(DataImage& image, unsigned entry, unsigned word, unsigned value) {
    if (word < 1 || word > 3) return kOutOfRange;
    if (entry == 0) {
        if (value != 0) return kOutOfRange;
        for (unsigned n = 1; n <= kEntryCount; ++n) {
            if (const std::uint8_t r = WriteWord(Entry(image, n), EntryWordOffset(word), 0);
                r != kWritten) {
                return r;
            }
        }
        return kWritten;
    }
    if (entry > kEntryCount || value > 998 || value == 1) return kOutOfRange;
    return WriteWord(Entry(image, entry), EntryWordOffset(word), value);
}

std::uint8_t SetEntryByte(DataImage& image, unsigned entry, unsigned value) {
    if (entry < 1 || entry > kEntryCount || value > 99) return kOutOfRange;
    std::uint8_t& byte = Entry(image, entry)[kEntryByteOffset];
    byte = static_cast<std::uint8_t>(value);
    return byte == value ? kWritten : kReadBackDiffers;
}

std::uint8_t LoadDefaultSettings(DataImage& image, unsigned profile) {
    if (profile > 1) return kOutOfRange;
    // Each step runs only while every step before it answered 0.
    std::uint8_t result = kWritten;
    auto run = [&](auto&& setter) {
        if (result == kWritten) result = setter();
    };

    if (profile == 1) {
        for (unsigned item = 1; item <= 3; ++item)
            run([&] { return SetProfileByte(image, 1, item, 8); });
        for (unsigned row = 1; row <= 13; ++row) {
            for (unsigned word = 1; word <= 3; ++word) {
                run([&] { return SetProfileWord(image, 1, row, word, 360); });
            }
        }
        // The dial numbers 080 and 090, packed high nibble first ('0' is 10).
        run([&] { return SetEntryNumber(image, 5, 0, 0xA8A0); });
        run([&] { return SetEntryNumber(image, 6, 0, 0xA9A0); });
        for (unsigned entry : kProfileEntries) {
            for (unsigned word = 1; word <= 3; ++word) {
                run([&] { return SetEntryWord(image, entry, word, 120); });
            }
        }
        for (unsigned entry : kProfileEntries) run([&] { return SetEntryByte(image, entry, 17); });
        return result;
    }

    run([&] { return SetProfileByte(image, 1, 1, 9); });
    run([&] { return SetProfileByte(image, 1, 2, 10); });
    run([&] { return SetProfileByte(image, 1, 3, 10); });
    for (unsigned row = 1; row <= kDefaultWords.size(); ++row) {
        for (unsigned word = 1; word <= 3; ++word) {
            run([&] {
                return SetProfileWord(image, 1, row, word, kDefaultWords[row - 1][word - 1]);
            });
        }
    }
    for (unsigned entry : kProfileEntries) run([&] { return SetEntryNumber(image, entry, 0, 0); });
    for (unsigned entry : kProfileEntries) {
        for (unsigned word = 1; word <= 3; ++word) {
            run([&] { return SetEntryWord(image, entry, word, 0); });
        }
    }
    for (unsigned entry : kProfileEntries) run([&] { return SetEntryByte(image, entry, 0); });
    return result;
}

}  // namespace qzs
