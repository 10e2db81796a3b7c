// A watcher of the record files' SQLite connections, for the run journal.
//
// While an observer is set, the engine tells it about every record file it has open or
// opens, and keeps each such file's connection open until the observer is cleared, even
// when its last handle closes: a run that is recorded (or rolled back at its end) must see
// one connection per file for the whole run.
#pragma once

#include <string>

struct sqlite3;

namespace talvor {

class RecordStoreObserver {
 public:
  virtual ~RecordStoreObserver() = default;
  // `db` is the engine's connection to the record file at `path` (canonical). The observer
  // may install hooks on it or begin a transaction; it must not close it. Called with the
  // engine's lock held: the observer must not call btr* functions.
  virtual void OnStoreOpened(sqlite3* db, const std::string& path) = 0;
};

// Sets (or, with nullptr, clears) the observer. Setting calls OnStoreOpened for every file
// open at that moment. Clearing lets go of the files kept open for the observer: those
// without a handle are closed. Whatever the observer did to a connection (hooks, an open
// transaction) must be undone by it before it is cleared.
void SetRecordStoreObserver(RecordStoreObserver* observer);

}  // namespace talvor
