// The RowStore of an SQLite store (a record file or an SQLite agency database): rows put
// back by rowid, or by primary key in a table without rowids (a record file's "records"),
// inside one BEGIN IMMEDIATE transaction. Used by the storage layers' restore openers.
#pragma once

#include <memory>
#include <string>

#include "platform/change.h"
#include "platform/sqlite.h"

namespace talvor::sqlite {

// Takes over `db` and begins its transaction. With `sink`, the rows it writes are told to
// it (undo records itself) as the store `path` of `kind`. Null with *error set when the
// transaction cannot begin.
std::unique_ptr<RowStore> OpenRowStore(Database db, StoreKind kind, const std::string& path,
                                       ChangeSink* sink, std::string* error);

}  // namespace talvor::sqlite
