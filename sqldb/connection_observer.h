// A watcher of the SQL layer's SQLite connections, for the run journal.
//
// While an observer is set, the layer tells it about every database connection it has open
// or opens, and keeps each one open until the observer is cleared, even when the last
// component lets go of it: a run that is recorded (or rolled back at its end) must see one
// connection per database for the whole run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct sqlite3;

namespace talvor::sqldb {

class ConnectionObserver {
 public:
  virtual ~ConnectionObserver() = default;
  // `db` is the layer's connection to the database file `path` (canonical). The observer
  // may install hooks on it or begin a transaction; it must not close it.
  virtual void OnConnectionOpened(sqlite3* db, const std::filesystem::path& path) = 0;

  // The layer is about to run, on `db`, an UPDATE of the row `rowid` of `table` that sets
  // only the columns marked in `assigned` (in the table's column order): the others keep
  // their values, and the observer need not read them. Called again with an empty `table`
  // once the statement has run.
  virtual void OnRowUpdate(sqlite3* db, const std::string& table, std::int64_t rowid,
                           const std::vector<char>& assigned) {
    (void)db, (void)table, (void)rowid, (void)assigned;
  }
};

namespace internal {
// Tells the observer, if one is set (see ConnectionObserver::OnRowUpdate).
void NoteRowUpdate(sqlite3* db, const std::string& table, std::int64_t rowid,
                   const std::vector<char>& assigned);
}  // namespace internal

// Sets (or, with nullptr, clears) the observer. Setting calls OnConnectionOpened for every
// connection open at that moment. Clearing lets go of the connections kept open for the
// observer: those no component holds are closed. Whatever the observer did to a connection
// (hooks, an open transaction) must be undone by it before it is cleared.
void SetConnectionObserver(ConnectionObserver* observer);

}  // namespace talvor::sqldb
