// Opening a table component with the fallback to the data path.
#pragma once

#include "sqldb/table.h"

namespace talvor {

class TForm1;

// Points `table` at the alias of edtODBCName and opens it; when that fails, at the text of
// edtDatapath and opens it again; when that fails too, shows
// "error opening [" + name + "] [" + table name + "] [" + database name + "]:  " + message
// and leaves the component closed. Returns whether the table is open. Never throws for a
// failed open.
bool OpenTable(TForm1& form, sqldb::Table& table);

}  // namespace talvor
