#include "engine/core/font_ansi.h"

#include "platform/automation/automation.h"

namespace kp {

namespace {

bool IsCp932LeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace

std::string Utf16ToAnsi(std::u16string_view text) {
    std::string out;
    if (plat::Cp932FromWide(text, &out)) return out;
    // Character by character, so that only what CP932 lacks is replaced.
    out.clear();
    std::string one;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
            text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;  // a surrogate pair is one character, never in CP932
            out += '?';
        } else if (plat::Cp932FromWide(text.substr(i, 1), &one)) {
            out += one;
        } else {
            out += '?';
        }
    }
    return out;
}

std::u16string AnsiToUtf16(std::string_view text) {
    std::u16string out;
    if (plat::WideFromCp932(text, &out)) return out;
    out.clear();
    std::u16string one;
    size_t i = 0;
    while (i < text.size()) {
        if (IsCp932LeadByte(uint8_t(text[i])) && i + 1 < text.size() &&
            plat::WideFromCp932(text.substr(i, 2), &one)) {
            out += one;
            i += 2;
        } else if (plat::WideFromCp932(text.substr(i, 1), &one)) {
            out += one;
            i += 1;
        } else {
            out += u'\u30FB';
            i += 1;
        }
    }
    return out;
}

char32_t Cp1252ToUnicode(uint8_t code) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88
        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98
    };
    if (code >= 0x80 && code < 0xA0) return kHigh[code - 0x80];
    return code;
}

}  // namespace kp
