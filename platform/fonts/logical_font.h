// The logical font a device context selects: the fields of a wide LOGFONT.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

inline constexpr uint8_t kAnsiCharset = 0;
inline constexpr uint8_t kDefaultCharset = 1;
inline constexpr uint8_t kSymbolCharset = 2;
inline constexpr uint8_t kShiftJisCharset = 128;
inline constexpr uint8_t kHangulCharset = 129;
inline constexpr uint8_t kGb2312Charset = 134;
inline constexpr uint8_t kChineseBig5Charset = 136;

// Face names hold at most 31 code units, as in a LOGFONT.
inline constexpr size_t kMaxFaceNameLength = 31;

struct LogicalFont {
    // Negative: the character (em) height; positive: the cell height; 0: the default size.
    int32_t height = 0;
    int32_t width = 0;
    int32_t escapement = 0;   // tenths of a degree
    int32_t orientation = 0;  // tenths of a degree
    int32_t weight = 0;       // 0 = default (400), 700 = bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    uint8_t charSet = kDefaultCharset;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    // A leading '@' asks for the vertical form of the face.
    std::u16string faceName;

    bool operator==(const LogicalFont&) const = default;
};

}  // namespace plat
