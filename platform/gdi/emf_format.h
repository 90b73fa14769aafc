// The EMF format as the drawing layer reads and writes it: record types, GDI's record names and
// little-endian field access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "platform/gdi/gdi_types.h"

namespace plat::emf {

// Record types.
inline constexpr uint32_t kHeader = 1;
inline constexpr uint32_t kPolygon = 3;
inline constexpr uint32_t kPolyline = 4;
inline constexpr uint32_t kPolyBezierTo = 5;
inline constexpr uint32_t kPolylineTo = 6;
inline constexpr uint32_t kPolyPolyline = 7;
inline constexpr uint32_t kSetWindowExtEx = 9;
inline constexpr uint32_t kSetWindowOrgEx = 10;
inline constexpr uint32_t kSetViewportExtEx = 11;
inline constexpr uint32_t kSetViewportOrgEx = 12;
inline constexpr uint32_t kEof = 14;
inline constexpr uint32_t kSetMapMode = 17;
inline constexpr uint32_t kSetBkMode = 18;
inline constexpr uint32_t kSetTextColor = 24;
inline constexpr uint32_t kSetBkColor = 25;
inline constexpr uint32_t kMoveToEx = 27;
inline constexpr uint32_t kScaleViewportExtEx = 31;
inline constexpr uint32_t kScaleWindowExtEx = 32;
inline constexpr uint32_t kSaveDc = 33;
inline constexpr uint32_t kRestoreDc = 34;
inline constexpr uint32_t kSelectObject = 37;
inline constexpr uint32_t kCreatePen = 38;
inline constexpr uint32_t kCreateBrushIndirect = 39;
inline constexpr uint32_t kDeleteObject = 40;
inline constexpr uint32_t kLineTo = 54;
inline constexpr uint32_t kBeginPath = 59;
inline constexpr uint32_t kEndPath = 60;
inline constexpr uint32_t kCloseFigure = 61;
inline constexpr uint32_t kStrokePath = 64;
inline constexpr uint32_t kAbortPath = 68;
inline constexpr uint32_t kGdiComment = 70;
inline constexpr uint32_t kExtSelectClipRgn = 75;
inline constexpr uint32_t kBitBlt = 76;
inline constexpr uint32_t kStretchDiBits = 81;
inline constexpr uint32_t kExtCreateFontIndirectW = 82;
inline constexpr uint32_t kExtTextOutA = 83;
inline constexpr uint32_t kExtTextOutW = 84;
inline constexpr uint32_t kPolygon16 = 86;
inline constexpr uint32_t kPolyline16 = 87;
inline constexpr uint32_t kPolyBezierTo16 = 88;
inline constexpr uint32_t kPolylineTo16 = 89;
inline constexpr uint32_t kPolyPolyline16 = 90;
inline constexpr uint32_t kCreateMonoBrush = 93;
inline constexpr uint32_t kExtCreatePen = 95;

inline constexpr uint32_t kSignature = 0x464D4520;  // " EMF"
inline constexpr uint32_t kVersion = 0x00010000;
inline constexpr uint32_t kHeaderSize = 108;      // with the pixel format and micrometre fields
inline constexpr uint32_t kMinHeaderSize = 88;    // the original header
inline constexpr uint32_t kExtLogFontSize = 320;  // the extended wide logical font of record 82

// GDI's name of a record type without "EMR_"; "UNKNOWN" for types GDI never had.
std::string_view RecordName(uint32_t type);

// Little-endian reads; the caller has checked the bounds.
inline uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline int32_t I32(const uint8_t* p) {
    return static_cast<int32_t>(U32(p));
}
inline uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline int16_t I16(const uint8_t* p) {
    return static_cast<int16_t>(U16(p));
}
inline float F32(const uint8_t* p) {
    uint32_t u = U32(p);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

// Appends little-endian fields.
class Writer {
  public:
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void F32(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        U32(u);
    }
    void Rect(const RECT& r) {
        I32(r.left);
        I32(r.top);
        I32(r.right);
        I32(r.bottom);
    }
    void Bytes(std::span<const uint8_t> b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
    void Zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    void Pad4() {
        while (bytes_.size() % 4) bytes_.push_back(0);
    }
    size_t size() const { return bytes_.size(); }
    void PatchU32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    std::vector<uint8_t>& bytes() { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace plat::emf
