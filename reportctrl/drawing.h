// How the controls reach the drawing layer: device contexts by their handles, and the step from
// the engine's internal length to device pixels.
#pragma once

#include <cmath>
#include <cstdint>

namespace kpctrl {

// Internal length (0.0001 mm) to pixels at dpi, rounded half away from zero; far-out values stop
// at the 32-bit limits instead of wrapping.
inline int32_t InternalToPixels(int32_t value, int32_t dpi) {
    const double pixels = std::round(value * static_cast<double>(dpi) * 3.937007874015748e-6);
    if (pixels >= 2147483647.0) return INT32_MAX;
    if (pixels <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(pixels);
}

// The dots per inch of a DC as the engine reckons them (kp::GetDeviceDotsPerInch); false for a
// handle that names no DC.
bool DeviceDotsPerInch(uint32_t dc, int32_t* x, int32_t* y);

}  // namespace kpctrl
