// The states of a printer job and the result codes of its members, shared by the job's parts.
#pragma once

#include <cstdint>

#include "engine/core/result_codes.h"

namespace kp {

// Job states.
enum PrinterJobState : uint16_t {
    kJobConstructed = 1,
    kJobReady = 16,
    kJobSelecting = 32,
    kJobResetting = 64,
    kJobDocumentOpen = 128,
    kJobPrintingPage = 256,
    kJobCancelled = 4096,
};

namespace rc {
inline constexpr int32_t kDevModeMemory = -10004;
inline constexpr int32_t kDevModeBuffer = -10008;
inline constexpr int32_t kPrinterOpenFailed = -10105;
inline constexpr int32_t kCapabilityQueryFailed = -10103;
inline constexpr int32_t kFieldNotSupported = -10107;
inline constexpr int32_t kDocumentBusy = -10109;
inline constexpr int32_t kJobCancelled = -10112;
inline constexpr int32_t kSourceNotInList = -10114;
inline constexpr int32_t kReplacementWaiting = -10115;
inline constexpr int32_t kEditsPending = -10116;
inline constexpr int32_t kOpenWithEdits = -10117;
inline constexpr int32_t kNoPrinterDc = -10201;
inline constexpr int32_t kResetFailed = -10202;
inline constexpr int32_t kWrongState = -10301;
inline constexpr int32_t kBusy = -10313;
inline constexpr int32_t kSelectNotPrepared = -11001;
inline constexpr int32_t kSelectFailed = -11002;
inline constexpr int32_t kSelectNoLists = -11003;
inline constexpr int32_t kSelectQueryFailed = -11004;
inline constexpr int32_t kCancelDialogFailed = -11005;
inline constexpr int32_t kQueueFull = -12000;
inline constexpr int32_t kNoSpoolSpace = -12001;
inline constexpr int32_t kSpoolOutOfMemory = -12002;
inline constexpr int32_t kDocumentFailed = -12003;
inline constexpr int32_t kPageFailed = -12004;
inline constexpr int32_t kJobQueryFailed = -12010;
inline constexpr int32_t kJobControlFailed = -12011;
inline constexpr int32_t kNoSuchJob = -12012;
inline constexpr int32_t kReportPaperFailed = -13000;
inline constexpr int32_t kUnknownPaper = -13002;
}  // namespace rc

}  // namespace kp
