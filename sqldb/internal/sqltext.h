// Private to sqldb: small facts about SQL text.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// `sql` with each 0 or 1 compared with or assigned to a flag column ("Flag = 1",
// "SET Flag = 0", "Flag <> 1"; `isFlag` tells which names are flags) written TRUE or FALSE:
// the storage conventions keep flags as 0/1, which SQLite compares with its booleans, while
// a server's boolean column takes no integer. Any other text stays as it is.
std::string FlagLiterals(std::string_view sql,
                         const std::function<bool(std::string_view)>& isFlag);

// What a grouped SELECT groups: its table (the first after FROM), the columns its WHERE
// compares with a value ("AgyCode = '01'", at the top level) and the GROUP BY terms.
struct GroupShape {
  std::string table;
  std::vector<std::string> equalities;
  std::vector<std::string> groups;
};

// A SELECT with GROUP BY and ORDER BY (at its top level) with the grouped terms added to
// the end of its ORDER BY, so that rows which tie on the ORDER BY come as SQLite gives
// them, where a server would give them in any order (and a report's "top five" could
// change from run to run): in the order of their groups when SQLite groups by an index
// (`groupsByIndex` tells), else in the direction of the last ORDER BY term, as SQLite's
// sort of the groups leaves them. Any other text is returned as it is.
std::string OrderTiesByGroups(std::string_view sql,
                              const std::function<bool(const GroupShape&)>& groupsByIndex);

// A SELECT of the rows of one table, with no ORDER BY, grouping, DISTINCT, aggregate or
// join at its top level, with "ORDER BY `rowid`" added: SQLite gives such rows in stored
// order, and a routine that writes what it reads in that order would otherwise write
// another order on a server (which gives them in any). Any other text as it is.
std::string OrderByRowidWhenUnordered(std::string_view sql, std::string_view rowid);

// The parts of a statement that writes one table: its keyword (UPDATE, DELETE, INSERT, DROP),
// the table's name (unquoted) and the condition after its WHERE ("" when none).
struct WriteShape {
  std::string keyword;
  std::string table;
  std::string where;
  // An UPDATE's assignments: what follows its SET up to the WHERE. Empty when the text
  // does not read UPDATE t SET ... [WHERE ...].
  std::string set;
  // The text ends where a RETURNING may follow it (no trailing ';'), and holds none, nor
  // (an UPDATE or DELETE) a FROM, ORDER BY or LIMIT of its own.
  std::string text;
  bool plain = false;
};
// The shape of an UPDATE t ..., DELETE FROM t ..., INSERT INTO t ... or DROP TABLE
// [IF EXISTS] t ...; nullopt for
// any other text, or when no table name follows.
std::optional<WriteShape> ShapeOfWrite(std::string_view sql);

}  // namespace talvor::sqldb::internal
