#include "engine/preview/viewer_logic.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kp::preview {

PasswordOutcome CheckPassword(const std::u16string& stored, ViewerDialogPort& port) {
    if (stored.empty()) return PasswordOutcome::kUnlocked;
    for (int failures = 0;; ++failures) {
        std::u16string typed;
        const int answer = port.AskPassword(&typed);
        if (answer == -1) return PasswordOutcome::kDialogFailed;
        if (answer != 1) return PasswordOutcome::kLocked;
        if (typed == stored) return PasswordOutcome::kUnlocked;
        if (failures >= kPasswordRetries) {
            port.Warn(kPasswordFinal, kPasswordCaption);
            return PasswordOutcome::kLocked;
        }
        port.Warn(kPasswordRetry, kPasswordCaption);
    }
}

double ParseOffset(const std::string& text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && *p == '+') ++p;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(p, end, value, std::chars_format::general);
    if (ec != std::errc() || ptr == p || !std::isfinite(value)) return 0;
    return value;
}

std::string FormatOffset(double millimetres) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", millimetres);
    return text;
}

int32_t OffsetInReportUnits(double millimetres, LengthUnitKind unit, int32_t axis,
                            uint16_t firstPerAxis, uint16_t secondPerAxis) {
    if (!std::isfinite(millimetres)) return 0;
    // The report's conversion out of internal lengths (0.0001 mm), done in floating point so that
    // a large offset saturates at the allowed move, not at the 32-bit internal range.
    const double internal = millimetres * 10000.0;
    double units = 0;
    switch (unit) {
        case kUnitHundredthMm:
            units = internal / 100.0;
            break;
        case kUnitThousandthInch:
            units = internal / 254.0;
            break;
        case kUnitCharacterCell: {
            const uint16_t d = axis == kAxisVertical ? firstPerAxis : secondPerAxis;
            units = d == 0 ? 0 : internal / (254.0 / d);
            break;
        }
        default:
            return 0;
    }
    const double clamped = std::clamp(units, double(-kMaxOffsetMove), double(kMaxOffsetMove));
    return int32_t(std::lround(clamped));
}

}  // namespace kp::preview
