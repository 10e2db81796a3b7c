// The one exception type of the SQL data-access layer.
//
// Every failure of a component (a database name that resolves to nothing, a missing table or
// column, SQL the engine refuses, a post the engine rejects, a value that cannot be converted
// to its column's type) raises Error. Its message names the database, the table or the
// statement concerned, so that the shell can show it to the operator as it stands. Values
// quoted in it (a row's key, a typed alias) may hold any byte: control bytes are written
// "\xHH" (ShowableText), so that a NUL in a value does not end the message.
#pragma once

#include <stdexcept>
#include <string>

#include "shell/text/text.h"

namespace talvor::sqldb {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(ShowableText(message)) {}
};

}  // namespace talvor::sqldb
