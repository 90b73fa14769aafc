#include "engine/core/units.h"

#include <cmath>
#include <limits>

#include "platform/gdi/device_context.h"

namespace kp {

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// Truncates toward zero; values past either 32-bit limit stop at that limit, so a far-out
// coordinate stays far out instead of wrapping to the other side of the page.
int32_t SaturateTrunc(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return kMax;
    if (v <= -2147483648.0) return kMin;
    return static_cast<int32_t>(v);
}

int32_t Saturate(int64_t v) {
    if (v > kMax) return kMax;
    if (v < kMin) return kMin;
    return static_cast<int32_t>(v);
}

double HalfAway(int32_t sign) {
    return sign < 0 ? -0.5 : 0.5;
}

uint16_t PerAxis(int32_t axis, uint16_t first, uint16_t second) {
    return axis == kAxisVertical ? first : second;
}

}  // namespace

int32_t ConvertUnitsIn(LengthUnitKind kind, int32_t axis, uint16_t firstPerAxis,
                       uint16_t secondPerAxis, int32_t value, int32_t* out) {
    if (!out) return 0;
    switch (kind) {
        case kUnitHundredthMm:
            *out = Saturate(int64_t{value} * 100);
            break;
        case kUnitThousandthInch:
            *out = SaturateTrunc(static_cast<double>(value) * 10.0 * 25.4);
            break;
        case kUnitCharacterCell: {
            const uint16_t d = PerAxis(axis, firstPerAxis, secondPerAxis);
            // A cell of no size is never handed over by the engine's own callers; it measures
            // nothing rather than dividing by zero.
            if (d == 0) {
                *out = 0;
                break;
            }
            *out = SaturateTrunc((254.0 / d) * value + HalfAway(value));
            break;
        }
        default:
            break;
    }
    return 0;
}

int32_t ConvertUnitsOut(LengthUnitKind kind, int32_t axis, uint16_t firstPerAxis,
                        uint16_t secondPerAxis, int32_t value, int32_t* out) {
    if (!out) return 0;
    switch (kind) {
        case kUnitHundredthMm: {
            const int64_t c = value;
            *out = Saturate(c >= 0 ? (c + 50) / 100 : (c - 50) / 100);
            break;
        }
        case kUnitThousandthInch:
            *out = SaturateTrunc(value * 0.003937007874015748 + HalfAway(value));
            break;
        case kUnitCharacterCell: {
            const uint16_t d = PerAxis(axis, firstPerAxis, secondPerAxis);
            if (d == 0) {
                *out = 0;
                break;
            }
            *out = SaturateTrunc(value / (254.0 / d) + HalfAway(value));
            break;
        }
        default:
            break;
    }
    return 0;
}

DeviceMetrics DeviceMetricsOf(const plat::DeviceContext& dc) {
    DeviceMetrics m;
    m.rasterDisplay = dc.GetDeviceCaps(plat::kTechnology) == plat::kDtRasDisplay;
    m.horzRes = dc.GetDeviceCaps(plat::kHorzRes);
    m.vertRes = dc.GetDeviceCaps(plat::kVertRes);
    m.horzSizeMm = dc.GetDeviceCaps(plat::kHorzSize);
    m.vertSizeMm = dc.GetDeviceCaps(plat::kVertSize);
    m.logPixelsX = dc.GetDeviceCaps(plat::kLogPixelsX);
    m.logPixelsY = dc.GetDeviceCaps(plat::kLogPixelsY);
    return m;
}

}  // namespace kp
