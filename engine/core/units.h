// Lengths of a report: its own unit on one side, the engine's internal length (signed 32-bit, in
// 0.0001 mm = 1/254000 inch) on the other.
#pragma once

#include <cmath>
#include <cstdint>

namespace plat {
class DeviceContext;
}

namespace kp {

// The report's `Unit` property.
using LengthUnitKind = int16_t;
inline constexpr LengthUnitKind kUnitHundredthMm = 1;     // 0.01 mm = 100 internal units
inline constexpr LengthUnitKind kUnitThousandthInch = 2;  // 0.001 inch = 254 internal units
inline constexpr LengthUnitKind kUnitCharacterCell = 3;   // 1/1000 inch / per-axis value d

// Which per-axis value a kind-3 conversion uses: the first for vertical coordinates, the second
// for horizontal ones.
inline constexpr int32_t kAxisVertical = 0;
inline constexpr int32_t kAxisHorizontal = 1;

// Both answer 0. An unknown kind leaves *out as it was. Results beyond 32 bits stop at the
// nearest 32-bit limit.
int32_t ConvertUnitsIn(LengthUnitKind kind, int32_t axis, uint16_t firstPerAxis,
                       uint16_t secondPerAxis, int32_t value, int32_t* out);
int32_t ConvertUnitsOut(LengthUnitKind kind, int32_t axis, uint16_t firstPerAxis,
                        uint16_t secondPerAxis, int32_t value, int32_t* out);

// What a device context tells about its resolution; the drawing layer fills it from the device.
struct DeviceMetrics {
    bool rasterDisplay = false;  // device technology is a raster display
    int32_t horzRes = 0;         // pixels
    int32_t vertRes = 0;
    int32_t horzSizeMm = 0;  // physical size in millimetres
    int32_t vertSizeMm = 0;
    int32_t logPixelsX = 0;  // logical dots per inch
    int32_t logPixelsY = 0;
};

// The metrics of a device context, read through GetDeviceCaps.
DeviceMetrics DeviceMetricsOf(const plat::DeviceContext& dc);

// Answers 1. A screen's resolution is worked out from its pixels and physical size; every other
// device reports its logical dots per inch. Inline so that the control library measures its
// devices exactly as the engine does without linking it.
inline int32_t GetDeviceDotsPerInch(const DeviceMetrics& device, int32_t* x, int32_t* y) {
    // The same millimetres-per-inch the screen computation has always used (25.4 as a float).
    constexpr double kMmPerInch = 25.399999618530273;
    // Truncated toward zero, stopping at the 32-bit limits.
    auto trunc = [](double v) -> int32_t {
        if (std::isnan(v)) return 0;
        if (v >= 2147483647.0) return INT32_MAX;
        if (v <= -2147483648.0) return INT32_MIN;
        return static_cast<int32_t>(v);
    };
    int32_t dx = device.logPixelsX;
    int32_t dy = device.logPixelsY;
    // A display that reports no physical size falls back to its logical resolution.
    if (device.rasterDisplay && device.horzSizeMm > 0 && device.vertSizeMm > 0) {
        dx = trunc(device.horzRes * kMmPerInch / device.horzSizeMm + 0.5);
        dy = trunc(device.vertRes * kMmPerInch / device.vertSizeMm + 0.5);
    }
    if (x) *x = dx;
    if (y) *y = dy;
    return 1;
}

}  // namespace kp
