// Command strings as the web forms post them and display answers as the forms read them back:
// the layout of a command found by its number, the value part of an answer split off, posted
// values formatted to the widths of the command's data fields, and the corrections that make a
// posted string acceptable to the interpreter before it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "programming/command_table.h"

namespace qzs {

struct ProgrammingState;

// The record index of the command whose number begins the text (three digits, or four beginning
// with '9'), as the interpreter looks it up; the past-the-end index (the catch-all record) for a
// text that names no command of the table. The functions here that take the state take its
// ApplicationLock.
std::uint16_t FindCommandLayout(ProgrammingState& state, std::string_view text);

// The form engine's value decoder: the value up to, not including, the first of "&", "=", ",",
// "<", ">", CR, LF, TAB or the end (or a 0 byte), with "%" and two hexadecimal digits turned into
// that byte and "+" into a blank; at most limit characters. A "%" not followed by two
// hexadecimal digits is copied as it stands.
std::string UrlDecodeValue(std::string_view value, std::size_t limit);

// Splits a display answer such as "310=01-07P": the value text starts after the first "-" when
// the first of "-", "c" and "P" on the line is a "-", else after the first "="; it runs up to
// and including the first "c" or "P" after that (or to the end) and is copied into out. Answers
// the data-field count of the command that begins the line, at least 1. A line without "=" or
// "-" before its value gives an empty value text.
int ParseDisplayFields(ProgrammingState& state, std::string_view line, std::string& out);

// PrepareFormCommand, then RunCommand on the (corrected) text: -1 when rejected ("--P"), 0 when
// values is null, else ParseDisplayFields of the answer into values. Takes the ApplicationLock.
int RunCommandAndParse(ProgrammingState& state, std::uint8_t terminal, std::string& text,
                       std::string* values);
// RunCommand without the corrections: -1 when rejected, else ParseDisplayFields of the answer
// into first_value. Takes the ApplicationLock.
int RunCommandForValues(ProgrammingState& state, std::uint8_t terminal, std::string_view text,
                        std::string& first_value);

// Corrects a posted command string in place before it runs: the text is cut at 63 characters,
// and the rules of *030, *085, *161, *165, *166, *185, *351, *601, *616, *619, *698, *9309,
// *9316, *9321, *9337 and *9500 apply (see the rule table in the source). A rule that reads a
// position past the end of the text does not match. *030 assigns the key directly (with its
// duplicates cleared) and *9500 runs an extra command on terminal 1 first; the string is run by
// the caller in both cases. Always 0. Takes the ApplicationLock.
int PrepareFormCommand(ProgrammingState& state, std::string& text);

// Appends the command's data fields from the values, one per data field (a missing value appends
// nothing for its field): each decoded with UrlDecodeValue (at most 16 characters) and made
// exactly as wide as the field's maximum digits (0 meaning 16): left-justified when the field
// has a minimum other than 0 and other than its maximum, else right-justified, padded with
// blanks and cut at that width.
void FormatDataFields(std::string& text, const CommandDescriptor& descriptor,
                      std::span<const std::optional<std::string_view>> values);
// FormatDataFields with one value, for a command (found by its number text) with exactly one
// data field; any other command appends nothing.
void FormatFieldValue(ProgrammingState& state, std::string& text, std::string_view command_text,
                      std::optional<std::string_view> value);

}  // namespace qzs
