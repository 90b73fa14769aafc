#include "engine/core/engine_util.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace kp {

namespace {

template <typename Element, typename Text>
int32_t CompareOrdinal(Text a, Text b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<Element>(a[i]);
        const auto y = static_cast<Element>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace

int32_t CompareWideOrdinal(std::u16string_view a, std::u16string_view b) {
    return CompareOrdinal<uint16_t>(a, b);
}

int32_t CompareNarrowOrdinal(std::string_view a, std::string_view b) {
    return CompareOrdinal<signed char>(a, b);
}

RectL* NormalizeRect(const RectL& source, RectL* out) {
    if (!out) return nullptr;
    const RectL s = source;  // source and out may be the same rectangle
    out->left = std::min(s.left, s.right);
    out->right = std::max(s.left, s.right);
    out->top = std::min(s.top, s.bottom);
    out->bottom = std::max(s.top, s.bottom);
    return out;
}

void NormalizeRectInPlace(RectL* rect) {
    if (rect) NormalizeRect(*rect, rect);
}

std::u16string_view LastNameComponent(std::u16string_view name) {
    const size_t dot = name.rfind(u'.');
    return dot == std::u16string_view::npos ? name : name.substr(dot + 1);
}

plat::Bstr AnsiToBstr(std::string_view ansi) {
    return plat::BstrFromCp932(ansi);
}

char* WideToAnsi(std::u16string_view text, char* buffer, size_t size) {
    if (!buffer || size == 0) return nullptr;
    std::string converted;
    if (!plat::Cp932FromWide(text, &converted) || converted.size() >= size) {
        buffer[0] = '\0';
        return nullptr;
    }
    std::memcpy(buffer, converted.data(), converted.size());
    buffer[converted.size()] = '\0';
    return buffer;
}

}  // namespace kp
