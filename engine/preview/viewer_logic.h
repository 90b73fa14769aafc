// The viewer's dialogs as logic: the password check of a protected file, the print offsets of the
// layer-print dialog and how they move a printed page. Dialogs themselves are reached through a
// port, so tests and the command-line tool answer them without a screen.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/units.h"

namespace kp::preview {

struct DocumentInfo;
struct LayerPrintSettings;

inline constexpr char kPasswordCaption[] = "パスワード入力";
inline constexpr char kPasswordRetry[] =
    "入力されたパスワードが間違っています。再度入力してください。";
inline constexpr char kPasswordFinal[] =
    "パスワードが間違っているため、パスワード保護を解除できませんでした。";
inline constexpr int kPasswordRetries = 5;
// Printing from the viewer on a machine without a printer to print to.
inline constexpr char kNoPrinterCaption[] = "印刷";
inline constexpr char kNoPrinterText[] =
    "印刷できるプリンタがありません。プリンタを設定してから印刷してください。";

// Answers the viewer's modal dialogs and message boxes.
class ViewerDialogPort {
  public:
    virtual ~ViewerDialogPort() = default;
    // Dialog 119: 1 (OK) with the typed text, 2 (cancel), or -1 when it cannot be shown.
    virtual int AskPassword(std::u16string* typed) = 0;
    // A warning box (UTF-8 text and caption).
    virtual void Warn(const std::string& text, const std::string& caption) = 0;
    // Dialog 118: 0 once closed, -1 when it cannot be shown.
    virtual int ShowDocumentInfo(const DocumentInfo& info) {
        (void)info;
        return -1;
    }
    // Dialog 1004: 1 (OK, *settings replaced), 2 (cancel, untouched), or -1.
    virtual int AskLayerPrint(LayerPrintSettings* settings) {
        (void)settings;
        return -1;
    }
    // Dialog 1003 over pages 1..count: 1 (OK, the range in *start..*end), 2 (cancel), or -1.
    virtual int AskPrintRange(int current, int count, int* start, int* end) {
        (void)current, (void)count, (void)start, (void)end;
        return -1;
    }
};

enum class PasswordOutcome { kUnlocked, kLocked, kDialogFailed };

// An empty stored password unlocks without asking. The whole UTF-16 text is compared, so a long
// password or one with characters outside CP932 matches only itself.
PasswordOutcome CheckPassword(const std::u16string& stored, ViewerDialogPort& port);

// An offset as typed into edit 1024 or 1025: a decimal number (a leading part is taken, as the
// dialog always did); anything else, and values that are not finite, give 0. Independent of the
// process locale.
double ParseOffset(const std::string& text);
// "%.2f", as the edits show it.
std::string FormatOffset(double millimetres);

// Largest move of a printed object in report units either way.
inline constexpr int32_t kMaxOffsetMove = 20000000;
// An offset in millimetres as a move in the report's own unit along one axis (kAxisHorizontal
// for X), clamped to ±kMaxOffsetMove.
int32_t OffsetInReportUnits(double millimetres, LengthUnitKind unit, int32_t axis,
                            uint16_t firstPerAxis, uint16_t secondPerAxis);

}  // namespace kp::preview
