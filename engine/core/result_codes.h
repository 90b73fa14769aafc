// Result codes of the engine's object model. Every operation answers 0 for success or a negative
// code; the streams and containers keep theirs in container_codes.h.
#pragma once

#include <cstdint>

namespace kp::rc {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFailed = -1;          // general failure; no sink answered
inline constexpr int32_t kNotImplemented = -2;  // also: interface id not supported
inline constexpr int32_t kWrongClass = -3;      // WCreateObject with another class id
inline constexpr int32_t kBadPointer = -4;      // a pointer failed its probe, or a callee threw
inline constexpr int32_t kOutOfMemory = -5;     // also: a fixed table is full (event sinks)
inline constexpr int32_t kUnknownMember = -6;   // member id, or interface id in class info
inline constexpr int32_t kBadArgument = -7;     // count, VARIANT type, kind, index, name length
inline constexpr int32_t kOutOfRange = -8;      // value outside its range; cookie outside 1..100
inline constexpr int32_t kNotReady = -9;        // no owner, no site, no window, no data yet
inline constexpr int32_t kBadSignature = -10;   // object null or its signature does not match
inline constexpr int32_t kNoSite = -11;         // application used before its host set a site

inline constexpr int32_t kControlLibraryMissing = -10000;
inline constexpr int32_t kControlLibraryIncomplete = -10001;
inline constexpr int32_t kStringConversion = -10003;

inline constexpr int32_t kNoSuchPrinter = -10101;
inline constexpr int32_t kPrinterEnumFailed = -10102;
inline constexpr int32_t kNoDefaultPrinter = -10103;
inline constexpr int32_t kPaperNotInList = -10113;

inline constexpr int32_t kPrinterSelectionCancelled = -10311;
inline constexpr int32_t kChildTableFull = -10312;

}  // namespace kp::rc
