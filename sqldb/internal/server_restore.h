// Private to sqldb: the RowStore of a database server (platform/change.h), for undo. Rows
// are put back by their rowid (kRowIdentityColumn, or SQLite's own through its driver), or
// by the primary key in a table without one, inside one transaction on one connection.
#pragma once

#include <memory>
#include <string>

#include "platform/change.h"

namespace talvor::sqldb::internal {

// Connects to the server of `connectionString` and turns autocommit off: what the store
// writes lasts only when Commit commits it; destroyed without Commit, it is rolled back.
// Tables are matched without regard to case; values compare as the journal keeps them
// (JournalCell of ReadServerValue). Commit first restarts the identity of each table a
// row was added to above its highest rowid, so that a row inserted later gets a new one.
// With `sink`, the rows it writes are told to it as the store ServerDatabase::Shown()
// names. Null with *error set (naming the server, password hidden) when it cannot connect
// or begin.
std::unique_ptr<RowStore> OpenServerRowStore(const std::string& connectionString,
                                             ChangeSink* sink, std::string* error);

}  // namespace talvor::sqldb::internal
