// The main unit's own transfer files, written from the data image and applied to it when they
// come back: the dset files (one per command group, an element of items per listed command), the
// two speed-dial files (the local CSV in the main unit's text form and back), and the one-touch
// and paged-button files written from the key sheet and applied through the button assignments.
//
// The bytes are the main unit's: CR LF in the dset files, LF only in the other four, CP932 text,
// rows of the CSV copied as they stand. Received texts are the texts of the elements of one tag
// name as an XML reader hands them out (CP932, entities already resolved).
//
// Every entry that works on the image takes the ApplicationLock.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "programming/settings_state.h"

namespace qzs {

struct ProgrammingState;

// The writers' progress: pump keeps the windows alive (once per line), step posts the step count
// to the file-creation progress window. Both are optional.
struct TransferFileHooks {
    std::function<void()> pump;
    std::function<void(int step)> step;
};

// A command string built from a received item longer than this is not run: no keypad command
// takes that many keys, so the item is bad, not a command to cut short.
inline constexpr std::size_t kMaxReceivedCommandBytes = 96;

// --- dset files ---------------------------------------------------------------------------

// "dset-N00.txt" for groups 0-8, "dset-9000.txt" for group 9.
std::string DsetFileName(int group);

// Writes the dset file of group 0-9 into folder (with or without its trailing '/'); answers 1
// when written, 0 for an empty group (groups 2 and 4: no file) or a file that cannot be written
// (written under a temporary name and renamed, so a failure keeps an older file).
int WriteDataSetFile(ProgrammingState& state, int group, const std::string& folder, int progress,
                     int flag501, const TransferFileHooks& hooks = {});

// The item text of one listing line (its first 50 columns count); the command as listed.
std::string FormatDsetItem(ProgrammingState& state, const SheetLine& line, std::string_view command,
                           int flag501);
// 1 when the listing line is written as an item.
int IsDsetLine(const SheetLine& line, std::string_view command);
// The lines of the fixed element 082 (each ended by CR LF), for a digit count of 1-4.
std::string FormatDset082Block(int digit_count);

// Applies every item of a received element of the command and writes each command string with
// a line feed to out (may be null); answers the last command string applied, empty when none.
// Items that are not exactly one entry of the command (see ApplyDsetItem) are neither run nor
// written; they are added to *skipped when given.
std::string ApplyDsetElement(ProgrammingState& state, int command, std::string_view text,
                             std::FILE* out, int flag501, int* skipped = nullptr);
// The command string of one item, run through RunWebCommand. Empty, and nothing run, when it is
// not one entry of the command: longer than kMaxReceivedCommandBytes, holding a '*' (another
// command), a '#' in its data part before the closing one (a further entry), or for a command
// that confirms, views or edits memory (never listed in a dset file).
std::string ApplyDsetItem(ProgrammingState& state, int command, std::string_view item, int flag501);

// --- speed-dial files ---------------------------------------------------------------------

// The local CSV (its header record and head line first) into the text sent; answer 1.
int MakeSysTanXml(std::FILE* source, std::FILE* target, int flag100);
int MakeTelTanXml(std::FILE* source, std::FILE* target, int flag100);
// The received elements (the first one counts) into the local CSV after its header; answer 1.
int ConvertSysTanXml(const std::vector<std::string>& elements, std::FILE* out, int flag100);
int ConvertTelTanXml(const std::vector<std::string>& elements, std::FILE* out, int flag100);

// --- button files -------------------------------------------------------------------------

// Builds the key sheet and writes "one-touch.txt" and "nandemo.txt" at the two paths; answers 1,
// or 0 when the key sheet is empty or a file cannot be written.
int MakeKeySheetFiles(ProgrammingState& state, const std::string& one_touch_path,
                      const std::string& nandemo_path, int old_pages, int progress, int flag501,
                      const TransferFileHooks& hooks = {});
// The item of one key-sheet line as sent (with its ',' unless it is the last of its file).
std::string FormatKeySheetItem(const SheetLine& line, bool nandemo, int old_pages, int flag501);

// Apply every item of the received elements and write each key-sheet line they give (with LF, or
// "#" LF for the paged buttons) to out (may be null); answer 1. An item whose parts do not fit
// their columns is skipped whole and added to *skipped when given.
int ApplyOneTouchXml(ProgrammingState& state, const std::vector<std::string>& elements,
                     std::FILE* out, int* skipped = nullptr);
int ApplyNandemoXml(ProgrammingState& state, const std::vector<std::string>& elements,
                    std::FILE* out, int old_pages, int* skipped = nullptr);
// One item: the key-sheet line it gives, or empty when it does not fit (nothing applied).
std::string ApplyOneTouchItem(ProgrammingState& state, std::string_view item);
std::string ApplyNandemoItem(ProgrammingState& state, std::string_view item, int old_pages);

}  // namespace qzs
