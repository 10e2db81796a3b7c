// Private to sqldb: small facts about SQL text.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace talvor::sqldb::internal {

// The first keyword of a statement in upper case ("SELECT", "UPDATE" ...), past blanks,
// comments and opening parentheses; "" when the text holds no word.
std::string FirstKeyword(std::string_view sql);

// True when a ";" outside literals, names and comments is followed by more than blanks,
// comments and ";".
bool HoldsMoreThanOneStatement(std::string_view sql);

// `sql` with every name a server must see as it spells it rewritten: a quoted name, or a
// bare word that is not followed by "(" (a function), for which `spelled` gives the
// server's spelling (matched without regard to case) becomes that spelling quoted by
// `quote`. A server that folds names would otherwise not find "CUSTOMER" or CustType in
// a database whose names are "Customer" and "CustType". Literals and comments stay.
std::string SpellNames(std::string_view sql,
                       const std::function<std::optional<std::string>(std::string_view)>& spelled,
                       const std::function<std::string(std::string_view)>& quote);

// The parts of a statement that writes one table: its keyword (UPDATE, DELETE, INSERT, DROP),
// the table's name (unquoted) and the condition after its WHERE ("" when none).
struct WriteShape {
  std::string keyword;
  std::string table;
  std::string where;
};
// The shape of an UPDATE t ..., DELETE FROM t ..., INSERT INTO t ... or DROP TABLE
// [IF EXISTS] t ...; nullopt for
// any other text, or when no table name follows.
std::optional<WriteShape> ShapeOfWrite(std::string_view sql);

}  // namespace talvor::sqldb::internal
