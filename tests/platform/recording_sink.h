// A ChangeSink that keeps everything it is told, with copies of the images, for the tests
// of the SQLite capture and row store.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/change.h"

namespace talvor {

// Cells as the journal writes them ("I2", "Tabc"), in failure messages.
inline void PrintTo(const Cell& cell, std::ostream* os) {
  *os << static_cast<char>(cell.kind) << cell.value;
}

}  // namespace talvor

namespace talvor::testing {

class RecordingSink final : public ChangeSink {
 public:
  struct Told {
    enum Kind {
      kStore,
      kTable,
      kChange,
      kCommit,
      kRollback,
      kStatementEnd,
      kDropTable,
      kNote
    } kind = kNote;
    int store = 0;
    std::string table;  // kTable, kChange, kDropTable; the path for kStore; the text for kNote
    std::vector<std::string> columns;  // kTable
    ChangeOp op = ChangeOp::kUpdate;   // kChange
    std::int64_t oldRowid = 0, newRowid = 0;
    Row before, after;
    std::vector<char> same;
    bool refused = false;                   // kDropTable; kStatementEnd: the statement failed
    StoreKind storeKind = StoreKind::kSql;  // kStore
  };

  static Told Make(Told::Kind kind, int store = 0, std::string table = "") {
    Told t;
    t.kind = kind;
    t.store = store;
    t.table = std::move(table);
    return t;
  }

  int OnStore(StoreKind kind, const std::string& path) override {
    Told t = Make(Told::kStore);
    t.table = path;
    t.storeKind = kind;
    told.push_back(std::move(t));
    return nextStore++;
  }
  void OnTable(int store, std::string_view table, std::span<const std::string> columns) override {
    Told t = Make(Told::kTable, store, std::string(table));
    t.columns.assign(columns.begin(), columns.end());
    told.push_back(std::move(t));
  }
  void OnChange(int store, const ChangeView& change) override {
    Told t = Make(Told::kChange, store, std::string(change.table));
    t.op = change.op;
    t.oldRowid = change.oldRowid;
    t.newRowid = change.newRowid;
    for (const CellView& v : change.before) t.before.push_back(CellOf(v));
    for (const CellView& v : change.after) t.after.push_back(CellOf(v));
    t.same.assign(change.same.begin(), change.same.end());
    told.push_back(std::move(t));
  }
  void OnCommit(int store) override { told.push_back(Make(Told::kCommit, store)); }
  void OnRollback(int store) override { told.push_back(Make(Told::kRollback, store)); }
  void OnStatementEnd(int store, bool kept) override {
    Told t = Make(Told::kStatementEnd, store);
    t.refused = !kept;
    told.push_back(std::move(t));
  }
  void OnDropTable(int store, std::string_view table, bool refused) override {
    Told t = Make(Told::kDropTable, store, std::string(table));
    t.refused = refused;
    told.push_back(std::move(t));
  }
  void OnNote(int store, const std::string& text) override {
    told.push_back(Make(Told::kNote, store, text));
  }

  // The kinds told, in order, as letters: S store, T table, I/U/D change, C commit,
  // R rollback, E statement ended (F: failed), X drop table, N note.
  std::string Kinds() const {
    std::string out;
    for (const Told& t : told) {
      switch (t.kind) {
        case Told::kStore:
          out += 'S';
          break;
        case Told::kTable:
          out += 'T';
          break;
        case Told::kChange:
          out += static_cast<char>(t.op);
          break;
        case Told::kCommit:
          out += 'C';
          break;
        case Told::kRollback:
          out += 'R';
          break;
        case Told::kStatementEnd:
          out += t.refused ? 'F' : 'E';
          break;
        case Told::kDropTable:
          out += 'X';
          break;
        case Told::kNote:
          out += 'N';
          break;
      }
    }
    return out;
  }
  std::vector<Told> Changes() const {
    std::vector<Told> out;
    for (const Told& t : told) {
      if (t.kind == Told::kChange) out.push_back(t);
    }
    return out;
  }
  void Clear() { told.clear(); }

  std::vector<Told> told;
  int nextStore = 1;
};

inline Cell Null() {
  return Cell{Cell::Kind::kNull, ""};
}
inline Cell Int(std::string v) {
  return Cell{Cell::Kind::kInteger, std::move(v)};
}
inline Cell Real(std::string v) {
  return Cell{Cell::Kind::kFloat, std::move(v)};
}
inline Cell Text(std::string v) {
  return Cell{Cell::Kind::kText, std::move(v)};
}
inline Cell Blob(std::string v) {
  return Cell{Cell::Kind::kBlob, std::move(v)};
}

}  // namespace talvor::testing
