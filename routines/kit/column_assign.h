// Assigning a value that sites declare with different column types.
#pragma once

#include <string_view>

#include "sqldb/table.h"
#include "sqldb/variant.h"

namespace talvor {

// Assigns `text` to `column` of the row `table` is editing. When the column's declared type
// refuses that text (a numeric column given "$0.00", an integer column given "Y"), assigns
// `value`, the same meaning in that type, instead. A boolean column takes "Y"/"N" as
// true/false and a text column takes the text as it is, so `value` is needed only for the
// numeric kinds. Throws sqldb::Error for an unknown column, when the table is not in edit or
// insert mode, and when `value` is refused too.
void AssignTextOr(sqldb::Table& table, std::string_view column, std::string_view text,
                  const sqldb::Variant& value);

}  // namespace talvor
