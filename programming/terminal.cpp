#include "programming/terminal.h"

#include <algorithm>
#include <cstddef>

namespace qzs {

static_assert(sizeof(DisplayLine) == 29);
static_assert(sizeof(TerminalRecord) == 80);
static_assert(alignof(TerminalRecord) == 1);
static_assert(offsetof(TerminalRecord, state) == 28);
static_assert(offsetof(TerminalRecord, window_start) == 30);
static_assert(offsetof(TerminalRecord, line) == 31);  // cursor 31, characters 32-58, end 59
static_assert(offsetof(TerminalRecord, data_start) == 60);
static_assert(offsetof(TerminalRecord, continuation_flag) == 64);
static_assert(sizeof(TerminalRecords) == 80 * kTerminalCount);

void DisplayLine::SetCursor(int position) {
    cursor_ = static_cast<std::uint8_t>(std::clamp(position, 0, static_cast<int>(kWidth)));
}

void DisplayLine::Write(std::size_t position, std::string_view text) {
    if (position >= kWidth) return;
    const std::size_t n = std::min(text.size(), kWidth - position);
    std::copy_n(text.begin(), n, text_.begin() + static_cast<std::ptrdiff_t>(position));
}

std::size_t DisplayLine::Append(std::string_view text) {
    const std::size_t n = std::min(text.size(), kWidth - cursor_);
    Write(cursor_, text.substr(0, n));
    cursor_ = static_cast<std::uint8_t>(cursor_ + n);
    return n;
}

bool DisplayLine::StepBack() {
    if (cursor_ == 0) return false;
    text_[--cursor_] = ' ';
    return true;
}

void DisplayLine::BlankFrom(std::size_t position) {
    for (std::size_t i = position; i < kWidth; ++i) text_[i] = ' ';
}

void ShowEntryError(TerminalRecord& record, std::uint8_t result) {
    record.line.Blank();
    if (result == 1) {
        record.line.Write(0, "--P");
    } else if (result != 0) {
        record.line.Write(0, "--c");
    }
    record.line.SetCursor(0);
    record.state = kStateIdle;
}

std::uint8_t CountTrailingDigits(const TerminalRecord& record) {
    // The command digits at positions 0 and 1 never belong to a field.
    std::uint8_t count = 0;
    for (std::size_t p = record.line.Cursor(); p > 2; --p) {
        const char c = record.line.At(p - 1);
        if (c < '0' || c > '9') break;
        ++count;
    }
    return count;
}

bool HasNonZeroDigit(const TerminalRecord& record, std::size_t position, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (record.line.At(position + i) != '0') return true;
    }
    return false;
}

bool HasNonBlank(const TerminalRecord& record, std::size_t position, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (record.line.At(position + i) != ' ') return true;
    }
    return false;
}

}  // namespace qzs
