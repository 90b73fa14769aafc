// Small helpers of the engine: ordinal comparison, rectangles, dotted names and the conversions
// between the engine's ANSI code page (CP932) and UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/automation/automation.h"

namespace kp {

// -1, 0 or 1. Wide elements compare as unsigned 16-bit values; narrow ones as signed bytes, so
// bytes 0x80-0xFF sort before 0x00-0x7F. A string sorts after its own prefix.
int32_t CompareWideOrdinal(std::u16string_view a, std::u16string_view b);
int32_t CompareNarrowOrdinal(std::string_view a, std::string_view b);

// A rectangle of 32-bit edges.
struct RectL {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Orders the edges so that left <= right and top <= bottom; answers out.
RectL* NormalizeRect(const RectL& source, RectL* out);
void NormalizeRectInPlace(RectL* rect);

// The text after the last "." of a dotted name, or the whole name when it has none; a view into
// the name.
std::u16string_view LastNameComponent(std::u16string_view name);

// A new Bstr from CP932 text; null when the bytes are not CP932 or memory runs out.
plat::Bstr AnsiToBstr(std::string_view ansi);

// Converts to CP932 with a terminating zero into buffer; answers buffer, or null when the text
// cannot be converted or does not fit with its terminator (the buffer then holds an empty text
// when it has room for one).
char* WideToAnsi(std::u16string_view text, char* buffer, size_t size);

}  // namespace kp
