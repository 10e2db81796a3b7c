// Text helpers: the one place where the legacy files' fixed-width conventions are coded.
//
// Text is bytes (std::string) in the site's single-byte code page; nothing here decodes
// UTF-8. "Trim" removes leading and trailing bytes with a code of 32 or less. Letters are
// the ASCII letters only, and case conversions touch those letters only.
// Every function is pure: no I/O, no globals. Safe to call from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace talvor {

// Receives a message meant for the operator (the shell's Notify).
using NotifyFn = std::function<void(const std::string&)>;

std::string Trim(std::string_view text);
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
// True when `a` and `b` are equal without regard to ASCII letter case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Trim, then blank-pad on the left to `width`; a longer text keeps its first `width` bytes.
// RightJustify("1", 2) == " 1"; RightJustify("ABC", 2) == "AB".
std::string RightJustify(std::string_view text, int width);
// Trim, then blank-pad on the right to `width`; a longer text keeps its first `width` bytes.
std::string LeftJustify(std::string_view text, int width);
// No trimming; blank-pad on the right to `width` or cut to the first `width` bytes.
std::string PadRight(std::string_view text, int width);
// Trim, then pad with "0" on the left to `width`; a longer text keeps its first `width` bytes.
std::string ZeroFill(std::string_view text, int width);
// The bytes of a record field: those before the first NUL, at most `width` (at most 255),
// blank-padded to exactly `width`. Bytes past the end of `bytes` count as missing, so an
// empty or short input gives blanks: the result is always exactly `width` bytes long.
std::string FixedField(std::string_view bytes, int width);
// Decimal digits with a leading "0" below 10: 7 -> "07", 10 -> "10", 123 -> "123".
std::string TwoDigits(std::uint16_t number);

// An SQL string literal: apostrophes doubled, wrapped in apostrophes. "" -> "''".
std::string SqlQuote(std::string_view text);
// A field of a comma-separated line: double quotes doubled, wrapped in double quotes.
std::string CsvQuote(std::string_view text);
// The path with a trailing "\" appended unless it already ends in one. An empty path stays
// empty, so a file name appended to it is relative to the working directory (never the
// root of the file system).
std::string WithBackslash(std::string_view path);

// Every occurrence of `c` removed.
std::string StripChar(std::string_view text, char c);
// Every comma, then every apostrophe, then every double quote removed.
std::string StripPunct(std::string_view text);
// Removes every occurrence of the one-character text `what` from `text`, in place.
// An empty `what` changes nothing.
void RemoveAll(std::string_view what, std::string& text);
// Trim; remove blanks, "(", ")" and "-"; fewer than ten bytes left gives ten blanks,
// otherwise the remaining bytes (ten or more). "(555) 123-4567" -> "5551234567".
std::string PlainPhone(std::string_view text);

bool IsLetter(char c);
// The 72 two-letter codes accepted as states and provinces, in their stored order.
extern const std::array<std::string_view, 72> StateCodeTable;
// Trim; true when exactly two bytes remain whose upper-case form is in StateCodeTable.
bool IsStateCode(std::string_view text);

// Readable mixed case for an all-capitals name ("JOHN MCDONALD PHD" -> "John McDonald PhD").
// Trims first; the trimmed length never changes.
std::string SmartCase(std::string_view text);

// Takes the next comma-separated field off the front of `line`.
// - An empty line gives "".
// - A line opening with a double quote: the field is the text up to the next double quote,
//   trimmed; the field, the closing quote and one separating character leave the line.
//   A quote that never closes takes the rest of the line (trimmed) and empties the line.
// - Otherwise the field runs to the first comma (or the end); field and comma leave the
//   line, and every double quote is removed from the field (no trimming).
std::string NextCsvField(std::string& line);

// `text` as it may be shown to a person: every control byte (codes 0-31 and 127) other
// than LF and TAB written "\xHH" (upper-case hex), all other bytes as they are. A NUL
// would end the text on its way through C interfaces (an exception's message, a message
// box), and a CR or an escape sequence would overwrite what a terminal shows.
std::string ShowableText(std::string_view text);

// `text` with the value of every password key of a connection string ("PWD=...",
// "PASSWORD=...", any letter case, up to the next ";" or the end; a value in braces up to
// its closing brace) written "***": what may be shown or stored of a database's name.
std::string HidePasswords(std::string_view text);

// `n` in decimal with a "," between each group of three digits: 1001 -> "1,001".
std::string GroupedDigits(long long n);

// The fewest single-byte insertions, deletions and replacements that make `a` into `b`,
// ignoring ASCII letter case.
std::size_t EditDistance(std::string_view a, std::string_view b);
// The candidate closest to `word` (EditDistance), when it is close enough to be what was
// meant (at most a third of the word's length, and one edit for short words); "" otherwise. The first
// of equally close candidates wins.
std::string ClosestWord(std::string_view word, const std::vector<std::string>& candidates);

}  // namespace talvor
