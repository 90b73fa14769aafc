// qzs-ttfsubset FONT TEXTFILE OUT
//
// Cuts the TrueType font FONT (a .ttf file, or the first face of a .ttc) down to the characters
// of the UTF-8 text file TEXTFILE, as the PDF export embeds a font: every code unit the text
// uses, glyph numbers kept, the family and full names replaced by "EmbedFont0000". Line ends
// of the file are not counted as characters. Writes the subset to OUT and tells on standard
// error how many code units were asked for and which of them the font does not have.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "engine/output/ttf_subset.h"
#include "platform/automation/automation.h"
#include "platform/fonts/font_face.h"

namespace {

bool ReadFile(const char* path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    return qzs::base::WriteFileAtomically(
               path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())) ==
           0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: qzs-ttfsubset FONT TEXTFILE OUT\n");
        return 2;
    }
    std::string text;
    if (!ReadFile(argv[2], text)) {
        std::fprintf(stderr, "qzs-ttfsubset: cannot read %s\n", argv[2]);
        return 1;
    }
    bool ok = false;
    std::u16string wide = plat::WideFromUtf8(text, &ok);
    if (!ok) {
        std::fprintf(stderr, "qzs-ttfsubset: %s is not UTF-8\n", argv[2]);
        return 1;
    }
    // The used code units in ascending order, as the export lists them from its used map.
    std::vector<bool> used(0x10000, false);
    for (char16_t c : wide) used[c] = c != u'\n' && c != u'\r';
    std::u16string codes;
    for (uint32_t c = 0; c < 0x10000; ++c) {
        if (used[c]) codes += char16_t(c);
    }

    auto face = plat::FontFace::Open(argv[1]);
    if (!face) {
        std::fprintf(stderr, "qzs-ttfsubset: cannot open the font %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> subset;
    std::vector<uint8_t> cidMap(kp::kCidMapBytes);
    int rc = kp::SubsetSfnt(face->fileBytes(), face->faceOffset(), kp::SubsetKind::kOrdinary,
                            u"EmbedFont0000", true, codes, subset, cidMap);
    if (rc != kp::kTtfOk) {
        std::fprintf(stderr, "qzs-ttfsubset: subsetting failed with %d\n", rc);
        return 1;
    }
    std::ostringstream missing;
    size_t missingCount = 0;
    for (char16_t c : codes) {
        uint16_t glyph = 0;
        if (c == u' ' || c == u'\u3000') continue;
        if (kp::FindSfntGlyph(face->fileBytes(), face->faceOffset(), c, glyph) != kp::kTtfOk) {
            ++missingCount;
            char buf[8];
            std::snprintf(buf, sizeof buf, " %04X", unsigned(c));
            missing << buf;
        }
    }
    if (!WriteFileAtomically(argv[3], subset)) {
        std::fprintf(stderr, "qzs-ttfsubset: cannot write %s\n", argv[3]);
        return 1;
    }
    std::fprintf(stderr, "%zu code units, %zu not in the font%s%s, %zu bytes written\n",
                 codes.size(), missingCount, missingCount ? ":" : "", missing.str().c_str(),
                 subset.size());
    return 0;
}
