#include "platform/fonts/sfnt.h"

namespace plat {

std::optional<uint32_t> SfntFaceOffset(std::span<const uint8_t> file, uint32_t faceIndex) {
    ByteReader r(file);
    auto tag = r.U32(0);
    if (!tag) return std::nullopt;
    if (*tag != kTtcfTag) {
        if (faceIndex != 0) return std::nullopt;
        return 0u;
    }
    auto count = r.U32(8);
    if (!count || faceIndex >= *count) return std::nullopt;
    auto offset = r.U32(12 + uint64_t(faceIndex) * 4);
    if (!offset || !r.Has(*offset, 12)) return std::nullopt;
    return *offset;
}

std::optional<SfntTableRecord> SfntFindTable(std::span<const uint8_t> file, uint32_t faceOffset,
                                             uint32_t tag) {
    ByteReader r(file);
    auto numTables = r.U16(uint64_t(faceOffset) + 4);
    if (!numTables) return std::nullopt;
    for (uint32_t i = 0; i < *numTables; ++i) {
        uint64_t at = uint64_t(faceOffset) + 12 + uint64_t(i) * 16;
        auto rec = r.Sub(at, 16);
        if (!rec) return std::nullopt;
        if (LoadU32(rec->data()) == tag) {
            return SfntTableRecord{tag, LoadU32(rec->data() + 4), LoadU32(rec->data() + 8),
                                   LoadU32(rec->data() + 12)};
        }
    }
    return std::nullopt;
}

uint32_t SfntChecksum(std::span<const uint8_t> bytes) {
    uint32_t sum = 0;
    size_t whole = bytes.size() & ~size_t(3);
    for (size_t i = 0; i < whole; i += 4) sum += LoadU32(bytes.data() + i);
    if (whole < bytes.size()) {
        uint8_t last[4] = {0, 0, 0, 0};
        for (size_t i = whole; i < bytes.size(); ++i) last[i - whole] = bytes[i];
        sum += LoadU32(last);
    }
    return sum;
}

}  // namespace plat
