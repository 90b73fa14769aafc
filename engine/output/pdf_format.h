// printf-style formatting of PDF text that does not depend on the C locale: a host that has
// called setlocale may use a decimal comma, and a PDF number must have a point.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>

namespace kp {

using PdfArg = std::variant<int64_t, double, const char*>;

// Understands %d, %u, %x, %X (with a '0' flag and a width), %f with a precision, %s and %%.
// Integer conversions take integers, %f doubles and %s texts; a mismatch writes nothing for
// that conversion (the formats are all our own).
std::string PdfFormatArgs(const char* format, const PdfArg* args, size_t count);

template <typename T>
auto Widen(T v) {
    if constexpr (std::is_integral_v<T>) {
        return int64_t(v);
    } else if constexpr (std::is_floating_point_v<T>) {
        return double(v);
    } else {
        return static_cast<const char*>(v);
    }
}

template <typename... T>
std::string PdfFormat(const char* format, T... values) {
    const PdfArg args[] = {PdfArg(Widen(values))..., PdfArg(int64_t{0})};
    return PdfFormatArgs(format, args, sizeof...(T));
}

}  // namespace kp
