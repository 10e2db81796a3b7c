// Capture of the rows written through one SQLite connection, for a ChangeSink: SQLite's
// pre-update hook gives the before- and after-image of every row any statement writes (the
// rows of UPDATE and DELETE statements and tables without a primary key included), the
// commit and rollback hooks say when they last, and an authorizer sees tables dropped.
//
// Used by the two SQLite backends (the record-file engine's store and the SQL layer's
// connection) inside their own files, and by the SQLite row stores of undo. Nothing above
// the storage layers sees it.
//
// Single-threaded, like the connection it watches.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/change.h"

struct sqlite3;
struct sqlite3_value;

namespace talvor::sqlite {

class Capture {
 public:
  // Watches `db` (which outlives the capture) for `sink` as its store `store`. In a record
  // file only the table "records" counts. With CaptureMode::kDryRun the connection is put
  // inside a transaction (BEGIN) that Finish rolls back, a commit is turned into a rollback
  // as a second guard, and DROP TABLE is refused.
  Capture(sqlite3* db, ChangeSink& sink, int store, StoreKind kind, CaptureMode mode);
  // Finish, if not done.
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  // The next UPDATE of row `rowid` of `table` sets only the columns marked in `assigned`
  // (table order): the others keep their values, so the capture takes them from the
  // before-image instead of having SQLite copy each out. Cleared by that UPDATE.
  void Announce(std::string_view table, std::int64_t rowid, const std::vector<char>& assigned);
  void ClearAnnouncement() { hintTable_.clear(); }

  // The statement that wrote the rows told last has ended (ok: it was not undone). The
  // backend calls this after each statement that may write.
  void StatementEnded(bool ok) { sink_.OnStatementEnd(store_, ok); }

  // Removes the hooks; a dry run's transaction is rolled back.
  void Finish();

  // For the C callbacks.
  void OnPreUpdate(int op, const char* table, std::int64_t key1, std::int64_t key2);
  int OnCommitting();
  void OnRolledBack();
  int OnAuthorize(int action, const char* table);

 private:
  struct TableInfo {
    std::vector<std::string> columns;
    std::vector<char> defaulted;  // per column: a default other than NULL
    bool told = false;
  };
  TableInfo& Info(const char* table);
  void RecoverAddedColumns(TableInfo& info, const char* table, std::int64_t rowid);
  CellView ViewOf(sqlite3_value* value) const;

  sqlite3* db_;
  ChangeSink& sink_;
  int store_;
  StoreKind kind_;
  CaptureMode mode_;
  bool utf8_;
  bool began_ = false;
  bool finished_ = false;
  std::map<std::string, TableInfo> tables_;
  std::string lastTable_;
  TableInfo* lastInfo_ = nullptr;
  // The change being read, reused from change to change.
  std::vector<sqlite3_value*> before_, after_;
  std::vector<CellView> beforeViews_, afterViews_;
  std::vector<char> same_;
  std::vector<sqlite3_value*> owned_;
  std::string hintTable_;
  std::int64_t hintRowid_ = 0;
  std::vector<char> hintAssigned_;
};

}  // namespace talvor::sqlite
