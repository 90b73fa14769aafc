// Arbitrary bytes as a font file for the sfnt readers and the subsetter.
//
// Input: one option byte (bit 0 the EUDC kind, bit 1 ANSI text, bit 2 a glyph map, bit 3 the
// second face of a collection), one byte n, n big-endian code units, then the font file.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/output/ttf_subset.h"
#include "platform/fonts/sfnt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t options = data[0];
    const size_t n = data[1] % 64;
    if (size < 2 + 2 * n) return 0;
    std::u16string codes;
    for (size_t i = 0; i < n; ++i) codes += char16_t((data[2 + 2 * i] << 8) | data[3 + 2 * i]);
    std::span<const uint8_t> file(data + 2 + 2 * n, size - 2 - 2 * n);

    auto faceOffset = plat::SfntFaceOffset(file, (options & 8) ? 1 : 0);
    if (!faceOffset) return 0;
    plat::SfntFindTable(file, *faceOffset, plat::SfntTag("glyf"));

    const auto kind = (options & 1) ? kp::SubsetKind::kEudc : kp::SubsetKind::kOrdinary;
    const bool wide = (options & 2) == 0;
    std::vector<uint8_t> map((options & 4) ? kp::kCidMapBytes : 0);
    std::vector<uint8_t> subset;
    int rc = kp::SubsetSfnt(file, *faceOffset, kind, u"EmbedFont0000", wide, codes, subset, map);
    for (char16_t c : codes) {
        uint16_t glyph = 0;
        kp::FindSfntGlyph(file, *faceOffset, c, glyph);
    }
    if (rc == kp::kTtfOk && kind == kp::SubsetKind::kOrdinary) {
        // A subset is a sound font: subsetting it again for the same text must work and give
        // a font of the same size (its tables may be laid out in another order).
        std::vector<uint8_t> again;
        if (kp::SubsetSfnt(subset, 0, kind, u"EmbedFont0000", wide, codes, again) != kp::kTtfOk ||
            again.size() != subset.size()) {
            __builtin_trap();
        }
    }
    return 0;
}
