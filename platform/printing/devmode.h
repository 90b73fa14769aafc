// The printer settings record hosts exchange with the engine: the 156-byte ANSI device mode of
// the Windows spooler, kept byte for byte (little-endian, no padding) because hosts hand it over
// as raw bytes and keep it in their own files. No driver part follows it here: dmDriverExtra is 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace plat {

// dmFields bits.
inline constexpr uint32_t kDmOrientation = 0x00000001;
inline constexpr uint32_t kDmPaperSize = 0x00000002;
inline constexpr uint32_t kDmPaperLength = 0x00000004;
inline constexpr uint32_t kDmPaperWidth = 0x00000008;
inline constexpr uint32_t kDmScale = 0x00000010;
inline constexpr uint32_t kDmCopies = 0x00000100;
inline constexpr uint32_t kDmDefaultSource = 0x00000200;
inline constexpr uint32_t kDmPrintQuality = 0x00000400;
inline constexpr uint32_t kDmColor = 0x00000800;
inline constexpr uint32_t kDmYResolution = 0x00002000;
inline constexpr uint32_t kDmFormName = 0x00010000;

inline constexpr int16_t kDmOrientPortrait = 1;
inline constexpr int16_t kDmOrientLandscape = 2;
inline constexpr int16_t kDmColorMonochrome = 1;
inline constexpr int16_t kDmColorColor = 2;
inline constexpr int16_t kDmPaperUser = 256;
// Print quality below zero: draft, low, medium, high.
inline constexpr int16_t kDmResDraft = -1;
inline constexpr int16_t kDmResHigh = -4;
// Paper sources.
inline constexpr int16_t kDmBinUpper = 1;
inline constexpr int16_t kDmBinLower = 2;
inline constexpr int16_t kDmBinMiddle = 3;
inline constexpr int16_t kDmBinManual = 4;
inline constexpr int16_t kDmBinEnvelope = 5;
inline constexpr int16_t kDmBinEnvManual = 6;
inline constexpr int16_t kDmBinAuto = 7;
inline constexpr int16_t kDmBinTractor = 8;
inline constexpr int16_t kDmBinSmallFmt = 9;
inline constexpr int16_t kDmBinLargeFmt = 10;
inline constexpr int16_t kDmBinLargeCapacity = 11;
inline constexpr int16_t kDmBinCassette = 14;
inline constexpr int16_t kDmBinFormSource = 15;
inline constexpr int16_t kDmBinUser = 256;  // first code of a source without a standard one

inline constexpr uint16_t kDmSpecVersion = 0x0401;
inline constexpr size_t kDevModeSize = 156;

// The record's fields at their offsets; sizeof is exactly 156 and the bytes are the record.
#pragma pack(push, 1)
struct DevMode {
    char dmDeviceName[32];
    uint16_t dmSpecVersion;
    uint16_t dmDriverVersion;
    uint16_t dmSize;
    uint16_t dmDriverExtra;
    uint32_t dmFields;
    int16_t dmOrientation;
    int16_t dmPaperSize;
    int16_t dmPaperLength;  // 0.1 mm
    int16_t dmPaperWidth;   // 0.1 mm
    int16_t dmScale;
    int16_t dmCopies;
    int16_t dmDefaultSource;
    int16_t dmPrintQuality;  // dots per inch across, or a kDmRes value
    int16_t dmColor;
    int16_t dmDuplex;
    int16_t dmYResolution;
    int16_t dmTTOption;
    int16_t dmCollate;
    char dmFormName[32];
    uint16_t dmLogPixels;
    uint32_t dmBitsPerPel;
    uint32_t dmPelsWidth;
    uint32_t dmPelsHeight;
    uint32_t dmNup;
    uint32_t dmDisplayFrequency;
    uint32_t dmICMMethod;
    uint32_t dmICMIntent;
    uint32_t dmMediaType;
    uint32_t dmDitherType;
    uint32_t dmReserved1;
    uint32_t dmReserved2;
    uint32_t dmPanningWidth;
    uint32_t dmPanningHeight;
};
#pragma pack(pop)
static_assert(sizeof(DevMode) == kDevModeSize, "the settings record is 156 bytes");
static_assert(offsetof(DevMode, dmFields) == 40 && offsetof(DevMode, dmOrientation) == 44 &&
                  offsetof(DevMode, dmFormName) == 70 && offsetof(DevMode, dmLogPixels) == 102 &&
                  offsetof(DevMode, dmPanningHeight) == 152,
              "field offsets of the settings record");

// A zeroed record with its size, version and the device name (CP932 bytes, cut to 31).
DevMode MakeDevMode(std::string_view deviceName);

inline std::array<uint8_t, kDevModeSize> DevModeBytes(const DevMode& dm) {
    std::array<uint8_t, kDevModeSize> bytes{};
    static_assert(sizeof(bytes) == sizeof(dm));
    std::memcpy(bytes.data(), &dm, sizeof(dm));
    return bytes;
}

}  // namespace plat
