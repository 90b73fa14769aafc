// Bounds-checked reading of sfnt (TrueType/OpenType) data. Font files are untrusted: every read
// here checks its range first and answers "no" instead of reading past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace plat {

// A table tag as the four characters read big-endian, e.g. SfntTag("glyf") == 0x676C7966.
constexpr uint32_t SfntTag(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

// GetFontData's tag for the whole collection file.
inline constexpr uint32_t kTtcfTag = SfntTag("ttcf");

inline uint16_t LoadU16(const uint8_t* p) {
    return uint16_t((p[0] << 8) | p[1]);
}
inline uint32_t LoadU32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void StoreU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes (no overflow).
constexpr bool InRange(size_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

// A read-only window on untrusted bytes whose readers refuse out-of-range offsets.
class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t size() const { return bytes_.size(); }
    std::span<const uint8_t> bytes() const { return bytes_; }
    bool Has(uint64_t offset, uint64_t length) const {
        return InRange(bytes_.size(), offset, length);
    }
    std::optional<uint8_t> U8(uint64_t offset) const {
        if (!Has(offset, 1)) return std::nullopt;
        return bytes_[offset];
    }
    std::optional<uint16_t> U16(uint64_t offset) const {
        if (!Has(offset, 2)) return std::nullopt;
        return LoadU16(bytes_.data() + offset);
    }
    std::optional<uint32_t> U32(uint64_t offset) const {
        if (!Has(offset, 4)) return std::nullopt;
        return LoadU32(bytes_.data() + offset);
    }
    // The sub-range, or nothing when it does not fit.
    std::optional<std::span<const uint8_t>> Sub(uint64_t offset, uint64_t length) const {
        if (!Has(offset, length)) return std::nullopt;
        return bytes_.subspan(size_t(offset), size_t(length));
    }

  private:
    std::span<const uint8_t> bytes_;
};

struct SfntTableRecord {
    uint32_t tag = 0;
    uint32_t checksum = 0;
    uint32_t offset = 0;  // from the start of the file, also inside a collection
    uint32_t length = 0;
};

// The offset of a face's offset table: 0 for a plain font file, the face's entry for a
// collection ("ttcf"); nothing when the index or the header is out of range.
std::optional<uint32_t> SfntFaceOffset(std::span<const uint8_t> file, uint32_t faceIndex);

// The record of a table of the face whose offset table starts at faceOffset; nothing when the
// directory cannot be read or holds no such tag.
std::optional<SfntTableRecord> SfntFindTable(std::span<const uint8_t> file, uint32_t faceOffset,
                                             uint32_t tag);

// The sum of the big-endian 32-bit words of `bytes`, the last word padded with zeros.
uint32_t SfntChecksum(std::span<const uint8_t> bytes);

}  // namespace plat
