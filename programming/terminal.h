// The programming terminals: one record per terminal with its entry state and its 27-character
// display line, and the block through which each key reaches the interpreter.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qzs {

// A display line of 27 single-byte characters with its cursor. Every writer goes through it:
// nothing is written past the 27th character, the cursor never passes the end, and the byte after
// the line is always 0 so that the line reads as a terminated string.
class DisplayLine {
  public:
    static constexpr std::size_t kWidth = 27;

    // Position of the next character (= characters written); 0 to kWidth.
    std::uint8_t Cursor() const { return cursor_; }
    // Clamped to 0 .. kWidth.
    void SetCursor(int position);
    bool Full() const { return cursor_ >= kWidth; }

    // Characters past the line read as its terminator, 0. (This and the small writers below
    // are defined here: every key of the interpreter goes through them.)
    char At(std::size_t position) const { return position < kWidth ? text_[position] : '\0'; }
    // Ignored past the line.
    void Put(std::size_t position, char c) {
        if (position < kWidth) text_[position] = c;
    }
    // Writes text from the position, cut at the end of the line; the cursor stays.
    void Write(std::size_t position, std::string_view text);

    // Writes at the cursor and advances it; false (nothing written) when the line is full.
    bool Append(char c) {
        if (Full()) return false;
        text_[cursor_++] = c;
        return true;
    }
    // Appends what fits; answers the number of characters written.
    std::size_t Append(std::string_view text);
    // Steps the cursor back one position and blanks that position; false at position 0.
    bool StepBack();

    void Blank() { BlankFrom(0); }
    // Blanks the positions from the position to the end of the line; the cursor stays.
    void BlankFrom(std::size_t position);

    std::string_view Text() const { return {text_.data(), kWidth}; }
    // The 27 characters followed by the terminator.
    const char* CStr() const { return text_.data(); }
    bool Contains(std::string_view text) const {
        return Text().find(text) != std::string_view::npos;
    }

  private:
    // Zero bytes, as start-up leaves a record; the line is blanked when an entry starts.
    std::uint8_t cursor_ = 0;
    std::array<char, kWidth + 1> text_{};  // the last byte is the terminator and stays 0
};

inline constexpr unsigned kTerminalCount = 128;
inline constexpr std::size_t kTerminalAttributeBytes = 28;
inline constexpr std::uint8_t kTerminalTypeDefault = 0xA3;  // type byte after start-up
inline constexpr std::uint8_t kStateIdle = 0x00;
inline constexpr std::uint8_t kReentryMarkerSet = 255;

// One terminal's programming record, 80 bytes in this order. Handlers reach other terminals'
// attribute bytes by number, and start-up clears the records as one run of bytes, so the layout
// is kept.
struct TerminalRecord {
    std::array<std::uint8_t, kTerminalAttributeBytes> attributes{};  // byte 0: terminal type
    std::uint8_t state = kStateIdle;
    std::uint8_t show_flag = 0;
    std::uint8_t window_start = 0;  // first of the 20 characters a 20-character display shows
    DisplayLine line;               // cursor, 27 characters, terminator
    std::uint8_t data_start = 0;
    std::uint8_t reentry_marker = 0;  // kReentryMarkerSet after an entry that stays on view
    std::uint8_t field_digits = 0;
    std::uint8_t field_number = 0;
    std::uint8_t continuation_flag = 0;
    // Entries completed during a repeated entry. It once shared the line's terminator, which
    // then no longer ended the line; it has a byte of its own.
    std::uint8_t repeat_count = 0;
    std::array<std::uint8_t, 14> unused{};
};

using TerminalRecords = std::array<TerminalRecord, kTerminalCount>;

// The record of terminal 1-128; nullptr for any other number.
inline TerminalRecord* FindTerminal(TerminalRecords& terminals, unsigned terminal) {
    return terminal < 1 || terminal > kTerminalCount ? nullptr : &terminals[terminal - 1];
}
inline const TerminalRecord* FindTerminal(const TerminalRecords& terminals, unsigned terminal) {
    return terminal < 1 || terminal > kTerminalCount ? nullptr : &terminals[terminal - 1];
}

// Outcome byte of the key input block.
inline constexpr std::uint8_t kOutcomeRefused = 0;
inline constexpr std::uint8_t kOutcomeTaken = 1;
inline constexpr std::uint8_t kOutcomeStored = 2;
inline constexpr std::uint8_t kOutcomeTerminalNotice = 5;  // with notice_terminal
inline constexpr std::uint8_t kOutcomeKeyNotice = 6;       // with notice_terminal, _key, _code
inline constexpr std::uint8_t kOutcomeBitFlagNotice = 7;
inline constexpr std::uint8_t kOutcomePortsCleared = 8;

// Key words besides the characters '0'-'9', '*', '#' and 'A'-'F'.
inline constexpr std::uint16_t kKeyBackspace = 0x08;
inline constexpr std::uint16_t kKeyNextAddress = 0xB03C;
inline constexpr std::uint16_t kKeyPreviousAddress = 0xB03A;
inline constexpr std::uint16_t kKeyRestartAddress = 0xB056;

// The key being fed and what became of it.
struct KeyInputBlock {
    std::uint8_t key_byte = 0;
    std::array<std::uint8_t, 2> key_bytes_after{};
    std::uint8_t current_terminal = 0;  // 1-128: the record the interpreter works on
    std::uint16_t key_word = 0;
    std::uint16_t word_after_key = 0;
    std::array<std::uint8_t, 2> bytes_after_word{};
    std::uint8_t checking_terminal = 0;  // the terminal the memory view and *007 check
    std::uint16_t key_taken = 0;
    std::uint8_t outcome = kOutcomeRefused;
    std::uint8_t notice_terminal = 0;
    std::uint8_t notice_key = 0;    // 1-32
    std::uint16_t notice_code = 0;  // function code below 1000
};

// Replaces the whole line with "--P" (result 1) or "--c" (any other nonzero result), blank
// padded, and ends the entry: cursor 0, state idle. Result 0 leaves a blank line.
void ShowEntryError(TerminalRecord& record, std::uint8_t result);
// Digits '0'-'9' immediately before the cursor; positions 0 and 1 are never counted.
std::uint8_t CountTrailingDigits(const TerminalRecord& record);
// Over the n characters from the position; characters past the line read as its terminator.
bool HasNonZeroDigit(const TerminalRecord& record, std::size_t position, std::size_t n);
bool HasNonBlank(const TerminalRecord& record, std::size_t position, std::size_t n);
// Window start after a key: the cursor less 20 once it is beyond 20, else 0.
inline void UpdateWindowStart(TerminalRecord& record) {
    const std::uint8_t cursor = record.line.Cursor();
    record.window_start = cursor > 20 ? static_cast<std::uint8_t>(cursor - 20) : 0;
}

}  // namespace qzs
