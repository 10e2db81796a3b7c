// The one translation step between the SQL text that routines build and the SQL that the
// engine runs. Everything else in the text is passed through byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace talvor::sqldb {

// Returns `sql` with two constructs of the routines' dialect rewritten:
//   CONVERT(x, SQL_DATE)              -> x        (any letter case, blanks anywhere between
//                                                  the parts; x is usually a quoted
//                                                  'YYYY-MM-DD' text and is kept as written)
//   DROP TABLE "T" IN DICTIONARY      -> DROP TABLE "T"   (any letter case; T quoted or bare)
//   'a<NUL>b'                         -> ('a'||char(0)||'b')   (the engine would end the
//                                                  text at the NUL byte)
// Text inside quoted literals (but for their NUL bytes), quoted names and comments is never
// rewritten. A CONVERT with
// another target type, or one whose parentheses do not close, is left as it stands (the
// engine then reports it).
std::string TranslateDialect(std::string_view sql);

}  // namespace talvor::sqldb
