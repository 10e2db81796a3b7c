#include "routines/kit/column_assign.h"

#include "sqldb/error.h"

namespace talvor {

void AssignTextOr(sqldb::Table& table, std::string_view column, std::string_view text,
                  const sqldb::Variant& value) {
  try {
    table.SetString(column, text);
  } catch (const sqldb::Error&) {
    // A refused assignment leaves the row as it was; an unknown column or a table that is
    // not editing fails again below with the layer's own message.
    table.SetVariant(column, value);
  }
}

}  // namespace talvor
