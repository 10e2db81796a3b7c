// Private to sqldb: small facts about SQL text.
#pragma once

#include <string>
#include <string_view>

namespace talvor::sqldb::internal {

// The first keyword of a statement in upper case ("SELECT", "UPDATE" ...), past blanks,
// comments and opening parentheses; "" when the text holds no word.
std::string FirstKeyword(std::string_view sql);

}  // namespace talvor::sqldb::internal
