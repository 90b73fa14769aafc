#include "engine/output/font_ansi.h"

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

}  // namespace kp
