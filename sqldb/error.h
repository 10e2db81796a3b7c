// The one exception type of the SQL data-access layer.
//
// Every failure of a component (a database name that resolves to nothing, a missing table or
// column, SQL the engine refuses, a post the engine rejects, a value that cannot be converted
// to its column's type) raises Error. Its message names the database, the table or the
// statement concerned, so that the shell can show it to the operator as it stands.
#pragma once

#include <stdexcept>

namespace talvor::sqldb {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace talvor::sqldb
