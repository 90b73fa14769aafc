#include "platform/gdi/emf_listing.h"

#include <cstdio>

#include "platform/automation/automation.h"
#include "platform/gdi/emf_format.h"

namespace plat {

namespace {

std::string Hex(uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*x", digits, v);
    return buf;
}

// RRGGBB from a COLORREF.
std::string Color(COLORREF c) {
    return Hex(uint32_t(RedOf(c)) << 16 | uint32_t(GreenOf(c)) << 8 | BlueOf(c), 6);
}

// UTF-8 in double quotes with '"' and '\' escaped; text that cannot be converted is shown by
// its code units.
std::string Quoted(std::u16string_view text) {
    std::string utf8;
    if (!Utf8FromWide(text, &utf8)) {
        utf8.clear();
        for (char16_t c : text) utf8 += "\\u" + Hex(c, 4);
    }
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::u16string FaceName(const LOGFONTW& f) {
    size_t n = 0;
    while (n < 32 && f.lfFaceName[n]) ++n;
    return std::u16string(f.lfFaceName, n);
}

}  // namespace

std::string DescribeEmfRecord(const EmfRecord& rec) {
    std::string line = std::to_string(rec.index) + " " + std::to_string(rec.type) + " " +
                       std::string(emf::RecordName(rec.type)) + " " + std::to_string(rec.size);
    const uint8_t* r = rec.bytes.data();
    switch (rec.type) {
        case emf::kHeader: {
            const auto i = [&](size_t at) { return std::to_string(emf::I32(r + at)); };
            line += " frame=" + i(24) + "," + i(28) + "," + i(32) + "," + i(36) +
                    " device=" + i(72) + "," + i(76) + " mm=" + i(80) + "," + i(84);
            break;
        }
        case emf::kGdiComment: {
            const auto data = emf::CommentData(rec);
            std::string head;
            for (size_t k = 0; k < data.size() && k < 16; ++k) head += Hex(data[k], 2);
            line += " bytes=" + std::to_string(data.size()) + " head=" + head;
            break;
        }
        case emf::kCreatePen:
        case emf::kExtCreatePen: {
            const emf::PenRecord p = emf::DecodePen(rec);
            line += " index=" + std::to_string(p.index) + " style=" + std::to_string(p.pen.style) +
                    " color=" + Color(p.pen.color);
            break;
        }
        case emf::kCreateBrushIndirect:
        case emf::kCreateMonoBrush: {
            const emf::BrushRecord b = emf::DecodeBrush(rec);
            line += " index=" + std::to_string(b.index) + " style=" + std::to_string(b.brush.style);
            // A monochrome pattern has no colour of its own: the context's colours paint it.
            if (rec.type == emf::kCreateBrushIndirect) line += " color=" + Color(b.brush.color);
            break;
        }
        case emf::kExtCreateFontIndirectW: {
            const emf::FontRecord f = emf::DecodeFont(rec);
            line += " index=" + std::to_string(f.index) + " face=" + Quoted(FaceName(f.font)) +
                    " height=" + std::to_string(f.font.lfHeight);
            break;
        }
        case emf::kExtTextOutA:
        case emf::kExtTextOutW: {
            const emf::TextRecord t = emf::DecodeText(rec);
            std::u16string text = t.wideText;
            if (!t.wide && !WideFromCp932(t.ansiText, &text)) {
                text.clear();
                for (char c : t.ansiText) text.push_back(static_cast<uint8_t>(c));
            }
            line += " at=" + std::to_string(t.reference.x) + "," + std::to_string(t.reference.y) +
                    " text=" + Quoted(text);
            break;
        }
        case emf::kRestoreDc:
            line += " relative=" + std::to_string(static_cast<int32_t>(emf::Field(rec, 0)));
            break;
        case emf::kBitBlt:
            line += " rop=" + Hex(emf::DecodeBitBlt(rec).rop, 1);
            break;
        default:
            if (emf::IsPolyRecord(rec.type)) {
                const emf::PolyRecord p = emf::DecodePoly(rec);
                line += " points=";
                for (size_t k = 0; k < p.points.size(); ++k) {
                    if (k) line += ";";
                    line += std::to_string(p.points[k].x) + "," + std::to_string(p.points[k].y);
                }
            }
            break;
    }
    return line;
}

bool ListEmfRecords(std::span<const uint8_t> file, std::string* listing, std::string* error) {
    std::string out;
    const bool ok = EnumEnhMetaFile(
        file,
        [&](const EmfRecord& rec) {
            out += DescribeEmfRecord(rec);
            out += '\n';
            return true;
        },
        error);
    if (ok) *listing = std::move(out);
    return ok;
}

}  // namespace plat
