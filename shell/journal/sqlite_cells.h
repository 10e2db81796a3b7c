// Journal cells to and from SQLite values (private to shell/journal/).
#pragma once

#include <sqlite3.h>

#include "shell/journal/journal_file.h"

namespace talvor::journal {

// The cell holding `value` as SQLite typed it.
Cell CellOf(sqlite3_value* value);
// Binds `cell` to parameter `index` of `stmt` with its own type; returns SQLite's code.
int BindCell(sqlite3_stmt* stmt, int index, const Cell& cell);

}  // namespace talvor::journal
