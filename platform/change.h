// The vocabulary in which the storage layers tell of the records and rows they write, and
// in which a recorded run's rows are put back: the seam between the storage backends
// (the record-file engine, the SQL layer's backends) and the run journal, so that the
// journal never knows which backend runs.
//
// A backend tells a ChangeSink, for each store (a record file or a database) it watches,
// every record or row it is about to write with its before- and after-image, and when the
// writes since the last such moment commit or roll back. A backend that cannot see inside
// its engine's writes (a database server) captures the rows itself: it reads the rows a
// statement will change, in the statement's own transaction, before running it.
//
// A RowStore is one store opened for putting rows back, inside one transaction.
//
// Single-threaded: the thread that runs routines.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvor {

enum class StoreKind { kRecord, kSql };

// One stored value, as the store typed it. Stored in journals; do not change the letters.
struct Cell {
  enum class Kind : char { kNull = 'N', kInteger = 'I', kFloat = 'F', kText = 'T', kBlob = 'B' };
  Kind kind = Kind::kNull;
  std::string value;  // digits for integers, %.17g for reals, the bytes otherwise
  bool operator==(const Cell&) const = default;
};
using Row = std::vector<Cell>;

// A value as a backend hands it over, without a copy: valid for the length of the call.
struct CellView {
  Cell::Kind kind = Cell::Kind::kNull;
  std::int64_t integer = 0;  // kInteger
  double real = 0;           // kFloat
  std::string_view bytes;    // kText, kBlob
};

// The cell a view shows (reals as %.17g).
Cell CellOf(const CellView& view);
// Appends `value` as a cell holds it: the text printf's "%.17g" gives in the C locale.
void AppendReal(std::string& out, double value);

enum class ChangeOp : char { kInsert = 'I', kUpdate = 'U', kDelete = 'D' };

// One record or row about to be written.
struct ChangeView {
  std::string_view table;  // a record file's records are in the table "records"
  ChangeOp op = ChangeOp::kUpdate;
  // The row's identity where the store gives rows one (SQLite's rowid), else 0: then its
  // key columns (RowStore::Shape::key) are its identity.
  std::int64_t oldRowid = 0, newRowid = 0;
  std::span<const CellView> before;  // empty for inserts
  std::span<const CellView> after;   // empty for deletes
  // Per column of an update's after-image: 1 when it is the before-image's value.
  std::span<const char> same;
};

// How a run treats what it writes.
enum class CaptureMode {
  kRecord,  // the writes stay; the sink records them
  kDryRun,  // every store is kept inside one transaction that is rolled back at the end,
            // and a statement that drops a table is refused
};

class ChangeSink {
 public:
  virtual ~ChangeSink() = default;
  // A store is watched from now on; the number returned is passed with its changes.
  // `path` is the store's file (canonical) or, for a server, its name: "odbc:" and its
  // connection string with the password hidden, which is kept and shown as it is.
  virtual int OnStore(StoreKind kind, const std::string& path) = 0;
  // The column names of `table` of `store`, told once, before its first change.
  virtual void OnTable(int store, std::string_view table,
                       std::span<const std::string> columns) = 0;
  virtual void OnChange(int store, const ChangeView& change) = 0;
  // The changes told since the store's last commit or rollback are about to commit (told
  // before the commit, so that a process killed right after leaves them recorded), or were
  // rolled back.
  virtual void OnCommit(int store) = 0;
  virtual void OnRollback(int store) = 0;
  // The statement that wrote the changes told since the last statement end has ended:
  // `kept` false when it failed and SQLite undid it (inside an open transaction, as in a dry
  // run, a failed statement is undone alone and neither commit nor rollback is told). A
  // backend tells it after each statement that may write.
  virtual void OnStatementEnd(int store, bool kept) = 0;
  // A statement is about to drop `table` (refused: in a dry run, and it does not run).
  virtual void OnDropTable(int store, std::string_view table, bool refused) = 0;
  // Something about the capture itself the record should say (a dry run's transaction
  // that could not begin).
  virtual void OnNote(int store, const std::string& text) = 0;
};

// How a stored row stands against an image.
struct Probe {
  bool found = false;
  std::vector<char> same;  // per column: the stored value equals the image's
  Row current;             // the stored row, when found
  bool Same() const;
};

// One store opened to put rows back, inside one transaction begun when it was opened. The
// store compares values the way it compares stored values (a REAL column's 1 and 1.0 are
// one value), text and blobs byte for byte. Functions that fail return false with *error
// naming the table and the reason.
class RowStore {
 public:
  struct Shape {
    bool exists = false;
    std::vector<std::string> columns;
    // The columns that identify a row (in key order) when the store gives rows no rowid;
    // empty when rows are identified by their rowid.
    std::vector<int> key;
    bool ByRowid() const { return key.empty(); }
  };
  virtual ~RowStore() = default;
  virtual const Shape& Describe(const std::string& table) = 0;
  // The row `rowid` (or, by key, the row of `image`'s key) compared with `image`.
  virtual bool Look(const std::string& table, std::int64_t rowid, const Row& image, Probe* out,
                    std::string* error) = 0;
  virtual bool Remove(const std::string& table, std::int64_t rowid, const Row& image,
                      std::string* error) = 0;
  // Adds `image` as the row `rowid` (by key: as its key says).
  virtual bool Add(const std::string& table, std::int64_t rowid, const Row& image,
                   std::string* error) = 0;
  // Replaces the row now at `atRowid` / `atImage`'s key by `image` as the row `rowid`.
  virtual bool Replace(const std::string& table, std::int64_t atRowid, const Row& atImage,
                       std::int64_t rowid, const Row& image, std::string* error) = 0;
  // Ends the transaction; destroyed without Commit, the store rolls it back.
  virtual bool Commit(std::string* error) = 0;
  virtual void Rollback() = 0;
};

}  // namespace talvor
