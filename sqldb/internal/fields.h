// Private to sqldb: column kinds and the conversions between stored values and the typed
// reads and assignments of the components.
//
// A stored value ("cell") is null, an integer, a float or a text, as SQLite hands it back.
// The kind of a column comes from its declared type; it decides how a cell reads as text,
// integer, float, boolean or date-time and how an assigned value is stored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "shell/text/dates.h"
#include "sqldb/variant.h"

namespace talvor::sqldb::internal {

enum class FieldKind { kText, kInteger, kFloat, kBoolean, kDateTime, kAny };

// The kind of a declared column type: BOOL.../BIT -> boolean; ...DATE.../...TIME... ->
// date-time; ...INT... -> integer; REAL, FLOA, DOUB, NUM, DEC, MONEY, CURRENCY -> float;
// CHAR, CLOB, TEXT -> text; anything else (also no type) -> any (read by storage class).
FieldKind KindOfDeclaredType(std::string_view declared);

// Raised by the conversions below; the component adds the column and table to the message.
struct ConvertFailure {
  std::string message;
};

// The program's date formats when a component was handed none.
const DateFormats& DefaultDateFormats();

// Stored form of a date-time: "YYYY-MM-DD" at midnight, else "YYYY-MM-DD HH:MM:SS".
std::string StoredDateTime(const DateTime& value);
// Reads "YYYY-MM-DD", optionally followed by " " or "T" and "HH:MM[:SS[.fff]]".
std::optional<DateTime> ParseStoredDateTime(std::string_view text);
// The stored form, or a date typed under the short date format optionally followed by a
// blank and a time "h:mm[:ss]" with an optional "AM"/"PM".
std::optional<DateTime> ParseDateTimeText(std::string_view text, const DateFormats& formats);
// A float as text: up to 15 significant digits, no exponent for ordinary magnitudes.
std::string FloatText(double value);

// Typed reads of a cell of a column of kind `kind`. Null reads as "" / 0 / false /
// 1899-12-30. Throw ConvertFailure when the cell does not convert (a text that is not a
// number, a date read from a number). In a boolean column a number, or a text that holds
// a flag ("T", "no", "0" ...), reads as the text "TRUE" or "FALSE"; any other text, an
// empty or blank one included, reads as it stands (as text and as a variant). An empty or
// blank text still reads as false and 0, as NULL does.
std::string ReadString(const Variant& cell, FieldKind kind, const DateFormats& formats);
std::int64_t ReadInteger(const Variant& cell, FieldKind kind);
double ReadFloat(const Variant& cell, FieldKind kind);
bool ReadBoolean(const Variant& cell, FieldKind kind);
DateTime ReadDateTime(const Variant& cell, FieldKind kind, const DateFormats& formats);
// The cell as the value of its kind: a boolean for a boolean column, a date-time for a
// date column (the text itself when it is not a date), and so on; null stays null.
Variant ReadVariant(const Variant& cell, FieldKind kind, const DateFormats& formats);

// The cell that stores `value` in a column of kind `kind`, converted as an assignment
// converts it ("05" -> 5 in an integer column; a date-time -> its stored text; an empty
// text -> null in a non-text column). Throws ConvertFailure when it does not convert.
Variant ToStorage(const Variant& value, FieldKind kind, const DateFormats& formats);

// `name` as an SQL identifier: in double quotes, inner double quotes doubled.
std::string QuoteName(std::string_view name);

}  // namespace talvor::sqldb::internal
