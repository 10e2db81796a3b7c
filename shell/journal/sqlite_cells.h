// Journal cells to and from SQLite values (private to shell/journal/).
#pragma once

#include <sqlite3.h>

#include "shell/journal/journal_file.h"

namespace talvor::journal {

// The cell holding `value` as SQLite typed it.
Cell CellOf(sqlite3_value* value);
// The same into `cell`, reusing its storage (the journal reads every changed row so).
void ReadCell(sqlite3_value* value, Cell& cell);
// Binds `cell` to parameter `index` of `stmt` with its own type; returns SQLite's code.
int BindCell(sqlite3_stmt* stmt, int index, const Cell& cell);

}  // namespace talvor::journal
