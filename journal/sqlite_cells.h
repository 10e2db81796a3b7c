// Journal cells to and from SQLite values (private to shell/journal/).
#pragma once

#include <sqlite3.h>

#include <string>

#include "journal/journal_file.h"

namespace talvor::journal {

// The cell holding `value` as SQLite typed it.
Cell CellOf(sqlite3_value* value);
// The cell of `value` as a change line holds it (FormatCell(CellOf(value)), escaped), without
// the copy: the journal writes every changed row so.
void AppendValue(std::string& out, sqlite3_value* value);
// True when `a` and `b` would be written as the same cell.
bool SameValue(sqlite3_value* a, sqlite3_value* b);
// Binds `cell` to parameter `index` of `stmt` with its own type; returns SQLite's code.
int BindCell(sqlite3_stmt* stmt, int index, const Cell& cell);

}  // namespace talvor::journal
