#include "sqldb/table.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <unordered_map>

#include "shell/text/text.h"
#include "sqldb/database.h"
#include "sqldb/dialect.h"
#include "sqldb/error.h"
#include "sqldb/internal/connection.h"
#include "sqldb/internal/fields.h"
#include "sqldb/internal/names.h"
#include "sqldb/internal/server_link.h"
#include "sqldb/internal/sessions.h"
#include "sqldb/stats.h"

namespace talvor::sqldb {

using internal::ConvertFailure;
using internal::FieldKind;
using internal::Statement;

namespace {

struct Column {
  std::string name;
  std::string quoted;
  FieldKind kind;
};

// One column of the walk order: the column and how the index compares it.
struct OrderKey {
  int column;
  std::string expr;  // the quoted name, with the index's collation when not binary
  bool desc;
};

struct WalkOrder {
  std::vector<OrderKey> keys;  // empty: storage order
  std::string sql;             // ORDER BY terms, the rowid last
  // The same terms as plain values ("+column"), which no index can deliver: with a filter
  // in force this lets the engine find the matching rows by the index that suits the
  // filter and sort those, instead of walking the whole order index and testing each row.
  std::string sortSql;
};

// Appends the decimal digits of `n` (not negative) without a temporary string.
void AppendNumber(std::string& out, int n) {
  char digits[12];
  int at = sizeof digits;
  do {
    digits[--at] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0);
  out.append(digits + at, digits + sizeof digits);
}

const Variant& NullCell() {
  static const Variant null;
  return null;
}

}  // namespace

struct Table::Impl final : internal::SessionMember {
  // Settings.
  std::string name, databaseName, sessionName, tableName, indexName, filter;
  NameResolution located;  // of databaseName, kept between opens
  bool filtered = false;
  const DateFormats* formats = &internal::DefaultDateFormats();

  // While open.
  TableState state = TableState::kInactive;
  std::shared_ptr<internal::Connection> conn;
  // A table on a server (instead of `conn`): the same walk, row by row by rowid, through
  // statements the server is given; no cursor.
  std::shared_ptr<internal::ServerLink> server;
  internal::TableInfo serverTable;
  std::string serverFetchAny, serverFetchFiltered;  // their statements' text
  // A Locate's last answer for one shape of its values. A routine often locates the same
  // row for several rows in a row (the client of each term of a policy): the answer is
  // given again while nothing wrote through the connection since it was read, and on a
  // file while the read it was read in is still held (Connection::HeldRead: that read would
  // give it again), on a server for no longer than kMaxReadAge, as a block of the walk is.
  struct LocateAnswer {
    std::vector<Variant> cells;  // the values it answered; empty: none kept
    bool found = false;
    std::int64_t rowid = 0;
    std::vector<Variant> row;
    std::vector<char> rowBlobs;
    std::int64_t changes = -1;
    std::string version;  // on a server, the row's version it was read at
    // On a file, the row is not copied here: it is the component's `row` while rowSerial
    // is this (a row read since, by any move, ends the answer).
    std::uint64_t serial = 0;
  };
  struct FileLocateShape {
    Statement s;
    LocateAnswer last;
    std::uint64_t read = 0;  // the held read it was answered in
  };
  struct ServerLocateShape {
    std::string sql;
    LocateAnswer last;
    std::chrono::steady_clock::time_point since;
  };
  std::unordered_map<std::string, ServerLocateShape> serverLocates;
  // The walk's rows read from a server a block at a time (a round trip per block, not per
  // row), good while nothing wrote through the connection since but this component's posts
  // of the rows it stood on, and for no longer than kMaxReadAge, as a walk's cursor is.
  static constexpr std::size_t kBlockRows = 100;
  struct BlockRow {
    std::vector<Variant> cells;
    std::string version;  // the server's version of the row as read; "": not known
  };
  std::unordered_map<std::int64_t, BlockRow> block;              // by rowid; absent: gone
  std::size_t blockFrom = 0, blockTo = 0;                        // its places in `walk`
  bool blockFiltered = false;
  std::int64_t blockChanges = -1;
  std::chrono::steady_clock::time_point blockSince;
  std::size_t walkAt = std::size_t(-1);  // the place in `walk` of the row being fetched
  internal::SessionLink session;
  std::string realName;
  std::string quotedTable;
  std::string rowidName;
  std::vector<Column> columns;
  internal::ColumnsByName byName;
  std::string columnList;  // "c1", "c2", ...
  // On a server, what a read of rows selects after the rowid: columnList, then the row's
  // version where the server has one (ServerDatabase::RowVersion).
  std::string serverColumns;
  bool serverVersions = false;
  std::string where;       // the filter in parentheses, or "" when none is in force
  std::string order;       // ORDER BY terms of the walk
  std::string sortOrder;   // the same terms, sorted rather than read from an index
  std::vector<OrderKey> orderKeys;
  std::vector<std::vector<int>> indexColumns;  // each index of the table, its columns in order

  // Cursor. `walk` lists the rows of the walk (fixed by First/Last); `pos` is the current
  // row's place in it unless `detached` (the cursor was put on a row by Locate or Post of
  // an insert; its place is found when the walk goes on).
  std::vector<std::int64_t> walk;
  std::size_t pos = 0;
  bool detached = false;
  bool hasRow = false;
  bool eof = true;
  bool bof = true;
  std::int64_t rowid = 0;
  std::vector<Variant> row;
  std::vector<char> rowBlobs;     // per column: `row` holds it as text read from a BLOB
  // Changes whenever `row` is set anew (RowSetAnew): while it stays the same, `row` still
  // holds what a file's Locate read into it, and that answer needs no copy of its own.
  std::uint64_t rowSerial = 0;
  std::int64_t rowChanges = 0;    // the connection's Changes() when `row` was read
  std::string rowVersion;         // on a server, the version `row` was read at; "": not known
  bool hasTriggers = false;       // an UPDATE of the table may do more than set its values
  std::vector<Variant> edit;
  std::vector<char> assigned;
  bool modified = false;

  // The walk's cursor. A walk of First() and Next() steps one statement over the walk's
  // rows instead of fetching each row by its rowid, for as long as it can be trusted to
  // give what the fetch would: nothing wrote through the connection since it last stepped
  // but this component's posts of the row it stands on (no triggers), the connection did
  // not let it go (CursorEpoch), and each row it gives is the next row of `walk`. Else the
  // walk goes on row by row, as it always could; when only the connection let the cursor
  // go (its read grew old), a new one is started after the current row.
  Statement cursorFirst;                        // the walk's rows with their columns
  std::map<std::string, Statement> cursorAfter;  // ... after a row, by its order NULLs
  Statement* cursor = nullptr;  // the one added to the connection, while it is
  bool cursorUsable = false;    // this walk may still use a cursor
  std::uint64_t cursorEpoch = 0;
  std::int64_t cursorChanges = 0;  // the connection's Changes() when it was trusted last
  std::size_t cursorAt = 0;        // place in `walk` of the row it gave last

  Statement fetchAny;
  Statement fetchFiltered;
  std::unordered_map<std::string, FileLocateShape> locates;
  std::string locateFields;  // the fields `locateIndexes` were parsed from
  std::vector<int> locateIndexes;
  std::vector<Variant> locateCells;
  std::string locateKey;
  // Writes, prepared once per set of assigned columns (looked up without building a key).
  std::map<std::vector<char>, Statement> updates;
  std::map<std::vector<char>, Statement> inserts;
  Statement erase;

  ~Impl() { Close(); }

  void CloseForSession() override { Close(); }

  std::string Where() const {
    return "table \"" + (realName.empty() ? tableName : realName) + "\" in database \"" +
           databaseName + "\"";
  }

  [[noreturn]] void Fail(const std::string& detail) const { throw Error(Where() + ": " + detail); }

  void RequireOpen() const {
    if (state == TableState::kInactive) Fail("component \"" + name + "\" is not open");
  }

  // Lets go of a read the SQLite connection holds (a server holds none).
  void ReleaseReads() const {
    if (conn) conn->ReleasePending();
  }
  std::int64_t Changes() const { return server ? server->Changes() : conn->Changes(); }

  // Runs a server's part of the component, naming the table in its failure.
  template <typename Call>
  auto OnServer(Call&& call) const {
    try {
      return call();
    } catch (const Error& e) {
      Fail(e.what());
    }
  }

  Statement Prepare(const std::string& sql) const {
    std::string error;
    Statement s = conn->Prepare(sql, error);
    if (!s) Fail(error + " [" + sql + "]");
    return s;
  }

  // Runs a write. With `joinHeldRead`, a read held open by the last fetch is kept for the
  // write to join (and released after it); if the engine refuses that because another
  // process wrote meanwhile, the write is run once more on its own (StepWrite; likewise
  // when a walk's cursor kept the read open).
  void Write(Statement& s, bool joinHeldRead = false) const {
    stats_internal::AddWritten(1);
    if (!joinHeldRead) conn->ReleasePending();
    internal::ResetOnExit reset(s);
    const int rc = conn->StepWrite(s);
    const bool ok = rc == SQLITE_DONE || rc == SQLITE_ROW;
    // Taken before the release, which may set another message; only when it is needed.
    const std::string error = ok ? std::string() : conn->LastError();
    conn->ReleasePending();
    conn->StatementEnded(ok);
    if (!ok) Fail(error);
    conn->AfterWrite();
  }

  int ColumnIndex(std::string_view column) const {
    RequireOpen();
    auto it = byName.find(column);
    if (it == byName.end()) Fail("no column \"" + std::string(column) + "\"");
    return it->second;
  }

  const Variant& Cell(std::string_view column, FieldKind& kind) const {
    const int i = ColumnIndex(column);
    kind = columns[i].kind;
    if (state == TableState::kEdit || state == TableState::kInsert) return edit[i];
    return hasRow ? row[i] : NullCell();
  }

  [[noreturn]] void FailConvert(const ConvertFailure& f, std::string_view column) const {
    Fail(f.message + " (column \"" + std::string(column) + "\")");
  }

  void Release() {
    if (conn) {
      StopCursor();
      conn->ReleasePending();
    }
    cursorUsable = false;
    cursorFirst = Statement();
    cursorAfter.clear();
    state = TableState::kInactive;
    fetchAny = Statement();
    fetchFiltered = Statement();
    locates.clear();
    locateIndexes.clear();
    locateFields.clear();
    updates.clear();
    inserts.clear();
    erase = Statement();
    walk.clear();
    row.clear();
    rowBlobs.clear();
    RowSetAnew();
    edit.clear();
    assigned.clear();
    columns.clear();
    indexColumns.clear();
    columnList.clear();
    serverColumns.clear();
    rowVersion.clear();
    byName.clear();
    realName.clear();
    hasRow = false;
    detached = false;
    eof = bof = true;
    session.Detach();
    conn.reset();
    server.reset();
    block.clear();
    blockChanges = -1;
    serverLocates.clear();
    serverFetchAny.clear();
    serverFetchFiltered.clear();
  }

  void Close() {
    if (state != TableState::kInactive) Release();
  }

  void LoadSchema() {
    conn->ReleasePending();
    {
      Statement s = Prepare(
          "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
      internal::ResetOnExit reset(s);
      s.Bind(1, tableName);
      if (s.Step() != SQLITE_ROW) {
        throw Error("table \"" + tableName + "\" not found in database \"" + databaseName + "\"");
      }
      realName = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
    }
    quotedTable = internal::QuoteName(realName);
    {
      Statement s = Prepare("SELECT name, type FROM pragma_table_info(?1)");
      internal::ResetOnExit reset(s);
      s.Bind(1, realName);
      while (s.Step() == SQLITE_ROW) {
        Column c;
        c.name = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 1));
        c.quoted = internal::QuoteName(c.name);
        c.kind = internal::KindOfDeclaredType(type ? type : "");
        byName.emplace(LowerCase(c.name), static_cast<int>(columns.size()));
        columnList += (columns.empty() ? "" : ", ") + c.quoted;
        columns.push_back(std::move(c));
      }
    }
    rowidName.clear();
    for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
      if (!byName.count(candidate)) {
        rowidName = candidate;
        break;
      }
    }
    std::string error;
    if (rowidName.empty() ||
        !conn->Prepare("SELECT " + rowidName + " FROM " + quotedTable, error)) {
      Fail("the table has no rowid column to walk by");
    }
    row.assign(columns.size(), Variant());
    rowBlobs.assign(columns.size(), 0);
    RowSetAnew();
    {
      Statement s = Prepare(
          "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 "
          "COLLATE NOCASE");
      internal::ResetOnExit reset(s);
      s.Bind(1, realName);
      hasTriggers = s.Step() == SQLITE_ROW && sqlite3_column_int64(s.get(), 0) != 0;
    }
    LoadIndexColumns();
  }

  void LoadIndexColumns() {
    indexColumns.clear();
    Statement list = Prepare(
        "SELECT l.name, i.name FROM pragma_index_list(?1) AS l, pragma_index_info(l.name) AS i "
        "ORDER BY l.seq, i.seqno");
    internal::ResetOnExit reset(list);
    list.Bind(1, realName);
    std::string current;
    bool usable = true;
    while (list.Step() == SQLITE_ROW) {
      const std::string index = reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0));
      const auto* column = reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 1));
      if (index != current || indexColumns.empty()) {
        indexColumns.emplace_back();
        current = index;
        usable = true;
      }
      // Columns after an expression cannot be sought by.
      auto it = column ? byName.find(column) : byName.end();
      if (it == byName.end()) usable = false;
      if (usable) indexColumns.back().push_back(it->second);
    }
  }

  // True when some index of the table finds the rows with the values of `sought` (columns
  // compared for equality) by more of its leading columns than the walk order's index does.
  // The engine, knowing nothing of how many rows each value holds, would otherwise read the
  // walk order's index from the start of the first value just to spare itself a sort.
  bool AnotherIndexSeeksBetter(const std::vector<int>& sought) const {
    auto leading = [&](auto begin, auto end, auto columnOf) {
      int n = 0;
      for (auto it = begin; it != end; ++it, ++n) {
        if (std::find(sought.begin(), sought.end(), columnOf(*it)) == sought.end()) break;
      }
      return n;
    };
    const int byOrder =
        leading(orderKeys.begin(), orderKeys.end(), [](const OrderKey& k) { return k.column; });
    for (const std::vector<int>& index : indexColumns) {
      if (leading(index.begin(), index.end(), [](int c) { return c; }) > byOrder) return true;
    }
    return false;
  }

  // The walk order of the index `index` ("" for storage order).
  WalkOrder IndexOrder(const std::string& index) const {
    WalkOrder result;
    if (Trim(index).empty()) {
      result.sql = result.sortSql = rowidName;
      return result;
    }
    ReleaseReads();
    if (server) return ServerIndexOrder(index);
    std::string found;
    {
      Statement s =
          Prepare("SELECT name FROM pragma_index_list(?1) WHERE name = ?2 COLLATE NOCASE");
      internal::ResetOnExit reset(s);
      s.Bind(1, realName);
      s.Bind(2, Trim(index));
      if (s.Step() != SQLITE_ROW) Fail("no index \"" + index + "\"");
      found = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
    }
    Statement s =
        Prepare("SELECT name, desc, coll FROM pragma_index_xinfo(?1) WHERE key = 1 ORDER BY seqno");
    internal::ResetOnExit reset(s);
    s.Bind(1, found);
    while (s.Step() == SQLITE_ROW) {
      const auto* column = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
      if (!column) Fail("index \"" + index + "\" orders by an expression, not by columns");
      const auto* coll = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 2));
      OrderKey key;
      key.column = byName.at(LowerCase(column));
      key.expr = internal::QuoteName(column);
      if (coll && LowerCase(coll) != "binary")
        key.expr += " COLLATE " + std::string(coll);
      key.desc = sqlite3_column_int(s.get(), 1) != 0;
      const std::string direction = key.desc ? " DESC, " : ", ";
      result.sql += key.expr + direction;
      result.sortSql += "+" + key.expr + direction;
      result.keys.push_back(std::move(key));
    }
    result.sql += rowidName;
    result.sortSql += rowidName;
    return result;
  }

  void TakeOrder(WalkOrder&& walkOrder) {
    order = std::move(walkOrder.sql);
    sortOrder = std::move(walkOrder.sortSql);
    orderKeys = std::move(walkOrder.keys);
  }

  // Moves to the first row in walk order that comes after a row with the values `values`
  // and the rowid `id` (a row that need not exist any more); false when there is none.
  // NULL sorts before every value, as the engine orders it.
  bool SeekAfter(const std::vector<Variant>& values, std::int64_t id) {
    if (server) return ServerSeekAfter(values, id);
    const std::string condition = AfterCondition(values);
    std::string sql = "SELECT " + rowidName + " FROM " + quotedTable + " WHERE ";
    if (!where.empty()) sql += where + " AND ";
    sql += condition + " ORDER BY " + order + " LIMIT 1";
    ReleaseReads();
    Statement s = Prepare(sql);
    std::int64_t next = 0;
    {
      internal::ResetOnExit reset(s);
      for (std::size_t i = 0; i < orderKeys.size(); ++i) {
        s.Bind(static_cast<int>(i + 1), values[orderKeys[i].column]);
      }
      s.BindInt(static_cast<int>(orderKeys.size() + 1), id);
      const int rc = s.Step();
      if (rc == SQLITE_DONE) return false;
      if (rc != SQLITE_ROW) Fail(conn->LastError());
      next = sqlite3_column_int64(s.get(), 0);
    }
    if (!Fetch(next, true)) return false;
    hasRow = true;
    detached = true;
    return true;
  }

  void ApplyFilter() {
    StopCursor();
    cursorUsable = false;
    cursorFirst = Statement();
    cursorAfter.clear();
    ReleaseReads();
    fetchFiltered = Statement();
    locates.clear();
    serverLocates.clear();
    serverFetchFiltered.clear();
    where.clear();
    if (!filtered || Trim(filter).empty()) return;
    if (server) {
      const std::string condition = "(" + server->ForServer(TranslateDialect(filter), realName) + "\n)";
      try {
        server->Select("SELECT " + rowidName + " FROM " + quotedTable + " WHERE " + condition +
                           server->db().FirstRowOnly(),
                       [](odbc::Statement&) {});
      } catch (const Error& e) {
        Fail("the filter \"" + filter + "\" is not valid: " + e.what());
      }
      where = condition;
      return;
    }
    const std::string condition = "(" + TranslateDialect(filter) + "\n)";
    std::string error;
    if (!conn->Prepare("SELECT " + rowidName + " FROM " + quotedTable + " WHERE " + condition,
                       error)) {
      Fail("the filter \"" + filter + "\" is not valid: " + error);
    }
    where = condition;
  }

  // Reads row `id` into `row` and returns true; false when it no longer exists (or, with
  // `filtered`, no longer matches the filter).
  bool Fetch(std::int64_t id, bool useFilter) {
    const bool withFilter = useFilter && !where.empty();
    if (server) return ServerFetch(id, withFilter);
    Statement& s = withFilter ? fetchFiltered : fetchAny;
    if (!s) {
      s = Prepare("SELECT " + columnList + " FROM " + quotedTable + " WHERE " + rowidName +
                  " = ?1" + (withFilter ? " AND " + where : ""));
    }
    conn->ReleasePending();
    s.BindInt(1, id);
    const int rc = s.Step();
    if (rc != SQLITE_ROW) {
      const std::string error = conn->LastError();
      s.Reset();
      if (rc == SQLITE_DONE) return false;
      Fail(error);
    }
    ReadRow(s, 0);
    rowid = id;
    stats_internal::AddRead(1);
    // The post that usually follows joins this read instead of starting its own.
    conn->HoldPending(s);
    return true;
  }

  // ---- the walk's cursor ----

  void StopCursor() {
    if (cursor != nullptr) {
      if (conn->CursorEpoch() == cursorEpoch) conn->RemoveCursor(*cursor);
      cursor = nullptr;
    }
  }

  // True while the cursor stands on the current row and gives the walk as it is.
  bool CursorTrusted() const {
    return cursor != nullptr && !detached && cursorAt == pos &&
           conn->CursorEpoch() == cursorEpoch && conn->Changes() == cursorChanges;
  }

  std::string CursorSql(const std::string& condition) const {
    std::string sql = "SELECT " + rowidName + ", " + columnList + " FROM " + quotedTable;
    if (!where.empty()) sql += " WHERE " + where;
    if (!condition.empty()) sql += (where.empty() ? " WHERE " : " AND ") + condition;
    return sql + " ORDER BY " + (where.empty() ? order : sortOrder);
  }

  void StartCursor(Statement& s) {
    cursor = &s;
    cursorEpoch = conn->CursorEpoch();
    cursorChanges = conn->Changes();
    conn->AddCursor(s);
  }

  // Starts the cursor at the walk's first row (not stepped yet).
  void StartCursorAtFirst() {
    if (!cursorFirst) cursorFirst = Prepare(CursorSql(""));
    StartCursor(cursorFirst);
    cursorAt = 0;
  }

  // Starts the cursor after the current row, in walk order (not stepped yet).
  void StartCursorAfterRow() {
    std::string nulls;
    for (const OrderKey& key : orderKeys) nulls += row[key.column].IsNull() ? 'n' : 'v';
    Statement& s = cursorAfter[nulls];
    if (!s) s = Prepare(CursorSql(AfterCondition(row)));
    for (std::size_t i = 0; i < orderKeys.size(); ++i) {
      s.Bind(static_cast<int>(i + 1), row[orderKeys[i].column]);
    }
    s.BindInt(static_cast<int>(orderKeys.size() + 1), rowid);
    StartCursor(s);
    cursorAt = pos;
  }

  enum class Stepped { kRow, kEnd, kOff };

  // Steps the cursor to walk place `at` (the next one). kRow with the row read when it
  // gave walk[at]; kEnd when it ended where the walk does; kOff when it gave anything else
  // (it is then stopped, and the walk must fetch).
  Stepped StepCursor(std::size_t at) {
    const int rc = cursor->Step();
    if (rc == SQLITE_DONE && at >= walk.size()) {
      StopCursor();
      return Stepped::kEnd;
    }
    if (rc != SQLITE_ROW || at >= walk.size() ||
        sqlite3_column_int64(cursor->get(), 0) != walk[at]) {
      StopCursor();
      return Stepped::kOff;
    }
    ReadRow(*cursor, 1);
    rowid = walk[at];
    pos = at;
    cursorAt = at;
    hasRow = true;
    stats_internal::AddRead(1);
    return Stepped::kRow;
  }

  // The rows after the current row in walk order, to the last term: SeekAfter's condition.
  std::string AfterCondition(const std::vector<Variant>& values) const {
    std::string condition;
    std::string closing;
    for (std::size_t i = 0; i < orderKeys.size(); ++i) {
      const OrderKey& key = orderKeys[i];
      const std::string mark = "?" + std::to_string(i + 1);
      const bool null = values[key.column].IsNull();
      std::string after;
      if (!key.desc) {
        after = null ? key.expr + " IS NOT NULL" : key.expr + " > " + mark;
      } else {
        after = null ? "0" : "(" + key.expr + " < " + mark + " OR " + key.expr + " IS NULL)";
      }
      condition += "(" + after + " OR (" + key.expr + " IS " + mark + " AND ";
      closing += "))";
    }
    return "(" + condition + rowidName + " > ?" + std::to_string(orderKeys.size() + 1) + closing +
           ")";
  }

  void RowSetAnew() { ++rowSerial; }

  // Reads the row at columns first.. of the stepped statement `s` into `row`.
  void ReadRow(const Statement& s, int first) {
    RowSetAnew();
    rowChanges = conn->Changes();
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const int at = first + static_cast<int>(i);
      rowBlobs[i] = s.ReadCell(at, row[i]) ? 1 : 0;
    }
  }

  // True when the post is to write nothing: every assigned value is the fetched one, of
  // the same type (a number bit for bit), and nothing wrote through this connection since
  // the row was read. The row then holds those values still, or another process changed it
  // since, and writing the values read would undo that change. A write of this process in
  // between (which may have changed the row) has the post run, as does a table with
  // triggers. Text read from a BLOB is never the same: written back, it would be text.
  bool EditChangesNothing() const {
    if (hasTriggers || Changes() != rowChanges) return false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (!assigned[i]) continue;
      if (rowBlobs[i] || edit[i].type() != row[i].type()) return false;
      if (edit[i].type() == Variant::Type::kFloat) {
        const double a = edit[i].Float();
        const double b = row[i].Float();
        if (std::memcmp(&a, &b, sizeof a) != 0) return false;
      } else if (!(edit[i] == row[i])) {
        return false;
      }
    }
    return true;
  }

  void TakeSnapshot() {
    ReleaseReads();
    walk.clear();
    if (server) {
      ServerSnapshot();
      return;
    }
    std::string sql = "SELECT " + rowidName + " FROM " + quotedTable;
    if (!where.empty()) sql += " WHERE " + where;
    sql += " ORDER BY " + (where.empty() ? order : sortOrder);
    Statement s = Prepare(sql);
    internal::ResetOnExit reset(s);
    int rc;
    while ((rc = s.Step()) == SQLITE_ROW) walk.push_back(sqlite3_column_int64(s.get(), 0));
    if (rc != SQLITE_DONE) Fail(conn->LastError());
    detached = false;
  }

  void SetEmpty() {
    hasRow = false;
    eof = bof = true;
    detached = false;
    for (auto& cell : row) cell = Variant();
    rowVersion.clear();
  }

  // Finds the detached current row in a fresh walk; false when it is no longer part of it.
  bool Resync() {
    TakeSnapshot();
    for (std::size_t i = 0; i < walk.size(); ++i) {
      if (walk[i] == rowid) {
        pos = i;
        return true;
      }
    }
    return false;
  }

  // Moves to the first row that still exists at or after `from`; false when none.
  bool SeekForward(std::size_t from) {
    for (std::size_t i = from; i < walk.size(); ++i) {
      walkAt = i;
      if (Fetch(walk[i], true)) {
        pos = i;
        hasRow = true;
        return true;
      }
    }
    return false;
  }

  // Moves to the first row that still exists at or before `from`, going back; false when none.
  bool SeekBackward(std::size_t from) {
    for (std::size_t i = std::min(from + 1, walk.size()); i-- > 0;) {
      walkAt = i;
      if (Fetch(walk[i], true)) {
        pos = i;
        hasRow = true;
        return true;
      }
    }
    return false;
  }

  void CheckBrowse() {
    if (state == TableState::kEdit || state == TableState::kInsert) {
      if (modified) {
        Post();
      } else {
        Cancel();
      }
    }
  }

  void First() {
    RequireOpen();
    CheckBrowse();
    StopCursor();
    TakeSnapshot();
    cursorUsable = !server;
    if (!walk.empty() && cursorUsable) {
      StartCursorAtFirst();
      if (StepCursor(0) == Stepped::kRow) {
        eof = false;
        bof = true;
        return;
      }
      cursorUsable = false;
    }
    if (SeekForward(0)) {
      eof = false;
      bof = true;
    } else {
      SetEmpty();
    }
  }

  void Next() {
    RequireOpen();
    CheckBrowse();
    if (eof || !hasRow) {
      eof = true;
      return;
    }
    if (detached) {
      StopCursor();
      cursorUsable = false;
      if (!Resync()) {
        eof = true;
        return;
      }
    }
    if (cursorUsable) {
      conn->ReleasePending();  // the connection is used: no other read stays held
      if (CursorTrusted()) {
        switch (StepCursor(pos + 1)) {
          case Stepped::kRow:
            bof = false;
            return;
          case Stepped::kEnd:
            eof = true;
            return;
          case Stepped::kOff:
            cursorUsable = false;
            break;
        }
      } else {
        // Only a cursor that the connection let go, with nothing written since, may be
        // started again; after a write the walk goes on row by row to its end.
        if (cursor == nullptr || conn->Changes() != cursorChanges || cursorAt != pos) {
          cursorUsable = false;
        }
        StopCursor();
      }
    }
    if (SeekForward(pos + 1)) {
      bof = false;
      if (cursorUsable) StartCursorAfterRow();
    } else {
      eof = true;
    }
  }

  void Prior() {
    RequireOpen();
    CheckBrowse();
    StopCursor();
    cursorUsable = false;
    if (bof || !hasRow) {
      bof = true;
      return;
    }
    if (detached && !Resync()) {
      bof = true;
      return;
    }
    if (pos > 0 && SeekBackward(pos - 1)) {
      eof = false;
    } else {
      bof = true;
    }
  }

  void Last() {
    RequireOpen();
    CheckBrowse();
    StopCursor();
    cursorUsable = false;
    TakeSnapshot();
    if (!walk.empty() && SeekBackward(walk.size() - 1)) {
      eof = true;
      bof = false;
    } else {
      SetEmpty();
    }
  }

  void Assign(std::string_view column, const Variant& value) {
    const int i = ColumnIndex(column);
    if (state != TableState::kEdit && state != TableState::kInsert) {
      Fail("not in edit or insert mode (assigning column \"" + std::string(column) + "\")");
    }
    try {
      edit[i] = internal::ToStorage(value, columns[i].kind, *formats);
    } catch (const ConvertFailure& f) {
      FailConvert(f, column);
    }
    assigned[i] = 1;
    modified = true;
  }

  // The INSERT of the row being inserted into an SQLite table; its rowid.
  std::int64_t InsertFileRow() {
    auto found = inserts.find(assigned);
    if (found == inserts.end()) found = inserts.emplace(assigned, Statement()).first;
    Statement& s = found->second;
    if (!s) {
      std::string names;
      std::string marks;
      int n = 0;
      for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!assigned[i]) continue;
        names += (n ? ", " : "") + columns[i].quoted;
        marks += (n ? ", ?" : "?") + std::to_string(n + 1);
        ++n;
      }
      s = Prepare("INSERT INTO " + quotedTable +
                  (n ? " (" + names + ") VALUES (" + marks + ")" : " DEFAULT VALUES"));
    }
    int n = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (assigned[i]) s.Bind(++n, edit[i]);
    }
    StopCursor();
    cursorUsable = false;
    Write(s);
    return sqlite3_last_insert_rowid(conn->handle());
  }

  // The UPDATE of the edited row of an SQLite table (only its assigned columns).
  void UpdateFileRow() {
    auto found = updates.find(assigned);
    if (found == updates.end()) found = updates.emplace(assigned, Statement()).first;
    Statement& s = found->second;
    if (!s) {
      std::string sql = "UPDATE " + quotedTable + " SET ";
      int n = 0;
      for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!assigned[i]) continue;
        sql += (n ? ", " : "") + columns[i].quoted + " = ?" + std::to_string(n + 1);
        ++n;
      }
      sql += " WHERE " + rowidName + " = ?" + std::to_string(n + 1);
      s = Prepare(sql);
    }
    int n = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (assigned[i]) s.Bind(++n, edit[i]);
    }
    s.BindInt(n + 1, rowid);
    // A capture of the connection (a recorded run) need only read the columns set;
    // the announcement ends with the statement, however it ends.
    conn->AnnounceUpdate(realName, rowid, assigned);
    struct EndAnnouncement {
      internal::Connection& conn;
      ~EndAnnouncement() { conn.EndAnnouncement(); }
    } end{*conn};
    Write(s, true);
    if (sqlite3_changes(conn->handle()) == 0) Fail("the row being edited no longer exists");
    // The walk's cursor stands on this row: a write of this row alone leaves the rows
    // ahead of it as they were, unless a trigger may have written others.
    if (cursor != nullptr && !hasTriggers) cursorChanges = conn->Changes();
  }

  void Post() {
    RequireOpen();
    if (state == TableState::kEdit) {
      // Many repairs assign every row the values it has; like the engine with the same
      // bytes, such a post writes nothing (and a recorded run would keep no change of it).
      if (modified && !EditChangesNothing()) {
        if (server) {
          const bool blockHeld = blockChanges == server->Changes();
          const std::int64_t count = OnServer([&] {
            return server->UpdateRow(serverTable, assigned, edit, rowid, {&row, rowVersion});
          });
          if (count == 0) Fail("the row being edited no longer exists");
          // A write of this row alone leaves the block's other rows as they were.
          if (blockHeld && count == 1) {
            if (auto it = block.find(rowid); it != block.end()) {
              it->second.cells = edit;
              it->second.version.clear();
            }
            blockChanges = server->Changes();
          }
        } else {
          UpdateFileRow();
        }
        row.swap(edit);
        RowSetAnew();
        // The row as set, not as the server holds it: the next post reads it again.
        rowVersion.clear();
        for (std::size_t i = 0; i < columns.size(); ++i) {
          if (assigned[i]) rowBlobs[i] = 0;
        }
      }
      state = TableState::kBrowse;
      edit.clear();
    } else if (state == TableState::kInsert) {
      const std::int64_t id =
          server ? OnServer([&] { return server->InsertRow(serverTable, assigned, edit); })
                 : InsertFileRow();
      state = TableState::kBrowse;
      edit.clear();
      if (Fetch(id, false)) {
        hasRow = true;
        detached = true;
        eof = bof = false;
      }
    }
  }

  void Cancel() {
    if (state == TableState::kEdit || state == TableState::kInsert) {
      state = TableState::kBrowse;
      edit.clear();
      modified = false;
    }
  }

  void Delete() {
    RequireOpen();
    if (state == TableState::kInsert) {
      Cancel();
      return;
    }
    Cancel();
    if (!hasRow) Fail("there is no current row to delete");
    StopCursor();
    cursorUsable = false;
    if (server) {
      OnServer([&] { return server->DeleteRow(serverTable, rowid); });
    } else {
      Statement& s = erase;
      if (!s) s = Prepare("DELETE FROM " + quotedTable + " WHERE " + rowidName + " = ?1");
      s.BindInt(1, rowid);
      Write(s);
    }
    eof = bof = false;
    if (detached) {
      // Put here by Locate or an insert: the next row is found by the deleted row's key,
      // without listing the whole walk.
      const std::vector<Variant> deleted = row;
      if (SeekAfter(deleted, rowid)) return;
      TakeSnapshot();
      if (!walk.empty() && SeekBackward(walk.size() - 1)) {
        eof = true;
      } else {
        SetEmpty();
      }
      return;
    }
    if (SeekForward(pos + 1)) return;
    if (pos > 0 && SeekBackward(pos - 1)) {
      eof = true;
    } else {
      SetEmpty();
    }
  }

  bool Locate(std::string_view fields, const std::vector<Variant>& values) {
    RequireOpen();
    CheckBrowse();
    StopCursor();
    cursorUsable = false;
    // Scratch of the component, reused from call to call: a routine locates once per row,
    // mostly on the same fields.
    std::vector<int>& indexes = locateIndexes;
    if (fields != locateFields || indexes.empty()) {
      indexes.clear();  // until the fields are read whole
      std::vector<int> parsed;
      std::string_view rest = fields;
      while (true) {
        const std::size_t semi = rest.find(';');
        const std::string field = Trim(rest.substr(0, semi));
        if (field.empty()) {
          Fail("empty field name in locate fields \"" + std::string(fields) + "\"");
        }
        parsed.push_back(ColumnIndex(field));
        if (semi == std::string_view::npos) break;
        rest.remove_prefix(semi + 1);
      }
      indexes = std::move(parsed);
      locateFields = fields;
    }
    if (values.size() < indexes.size()) {
      Fail("locate on \"" + std::string(fields) + "\" needs " + std::to_string(indexes.size()) +
           " values, got " + std::to_string(values.size()));
    }
    if (!LocateCells(values)) return false;
    if (server) return ServerLocate();
    const std::vector<Variant>& cells = locateCells;
    FileLocateShape& shape = locates[locateKey];
    Statement& s = shape.s;
    if (!s) {
      // Each sought column's condition; an empty text matches an empty or a NULL value,
      // two conditions of which the row must meet one.
      std::vector<std::vector<std::string>> conditions;
      std::vector<int> sought;
      std::size_t branches = 1;
      for (std::size_t k = 0; k < indexes.size(); ++k) {
        const Column& c = columns[indexes[k]];
        const std::string mark = "?" + std::to_string(k + 1);
        const Variant& cell = cells[k];
        if (cell.IsNull()) {
          conditions.push_back({c.quoted + " IS NULL"});
          sought.push_back(indexes[k]);
        } else if (cell.type() == Variant::Type::kText && cell.Text().empty()) {
          conditions.push_back({c.quoted + " = " + mark, c.quoted + " IS NULL"});
          sought.push_back(indexes[k]);
          branches *= 2;
        } else if (c.kind == FieldKind::kDateTime) {
          conditions.push_back({"julianday(" + c.quoted + ") = julianday(" + mark + ")"});
        } else {
          conditions.push_back({c.quoted + " = " + mark});
          sought.push_back(indexes[k]);
        }
      }
      const std::string orderBy = AnotherIndexSeeksBetter(sought) ? sortOrder : order;
      // One SELECT per combination of the alternatives, so that each can seek by an index
      // (the engine cannot seek by "x = '' OR x IS NULL"); past a few, one SELECT with ORs.
      constexpr std::size_t kMaxBranches = 8;
      const bool split = branches > 1 && branches <= kMaxBranches;
      auto select = [&](std::size_t branch) {
        std::string sql = "SELECT " + rowidName + (split ? " AS " + rowidName : "") + ", " +
                          columnList + " FROM " + quotedTable + " WHERE ";
        for (std::size_t k = 0; k < conditions.size(); ++k) {
          const std::vector<std::string>& options = conditions[k];
          if (k) sql += " AND ";
          if (options.size() == 1) {
            sql += options[0];
          } else if (split) {
            sql += options[branch % 2];
            branch /= 2;
          } else {
            sql += "(" + options[0] + " OR " + options[1] + ")";
          }
        }
        if (!where.empty()) sql += " AND " + where;
        return sql;
      };
      std::string sql;
      if (split) {
        std::string all;
        for (std::size_t b = 0; b < branches; ++b) all += (b ? " UNION ALL " : "") + select(b);
        sql = "SELECT * FROM (" + all + ")";
      } else {
        sql = select(0);
      }
      sql += " ORDER BY " + orderBy + " LIMIT 1";
      s = Prepare(sql);
    }
    // A routine locates once per row of another walk: the locate reads inside the read the
    // last one held instead of ending it and starting its own.
    conn->JoinHeldRead(s);
    LocateAnswer& last = shape.last;
    const std::uint64_t read = conn->HeldRead();
    if (read != 0 && read == shape.read && last.changes == conn->Changes() && last.cells == cells &&
        (!last.found || last.serial == rowSerial)) {
      return TakeAnswer(last, /*rowRead=*/true);  // `row` holds it still
    }
    last.cells.clear();  // no answer kept while it is asked again
    for (std::size_t k = 0; k < cells.size(); ++k) {
      if (!cells[k].IsNull()) s.Bind(static_cast<int>(k + 1), cells[k]);
    }
    const int rc = s.Step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
      const std::string error = conn->LastError();
      s.Reset();
      Fail(error);
    }
    last.found = rc == SQLITE_ROW;
    last.changes = conn->Changes();
    if (!last.found) {
      s.Reset();
    } else {
      last.rowid = sqlite3_column_int64(s.get(), 0);
      ReadRow(s, 1);
      last.serial = rowSerial;
      // Held like a fetch's read: the edit and post that often follow join it.
      conn->HoldPending(s);
    }
    shape.read = conn->HeldRead();
    if (shape.read != 0) last.cells = cells;
    return TakeAnswer(last, /*rowRead=*/true);
  }

  // The values of a Locate (`locateIndexes`' columns) as stored, in `locateCells`, and the
  // shape of its statement in `locateKey`: which are NULL and which an empty text, each
  // asked another way. False when a value cannot be stored in its column (no row has it).
  bool LocateCells(const std::vector<Variant>& values) {
    std::vector<Variant>& cells = locateCells;
    cells.resize(locateIndexes.size());
    std::string& key = locateKey;
    key.clear();
    for (std::size_t k = 0; k < locateIndexes.size(); ++k) {
      const Column& c = columns[locateIndexes[k]];
      try {
        cells[k] = internal::ToStorage(values[k], c.kind, *formats);
      } catch (const ConvertFailure&) {
        return false;
      }
      const Variant& cell = cells[k];
      AppendNumber(key, locateIndexes[k]);
      key += cell.IsNull() ? "n," : cell.type() == Variant::Type::kText && cell.Text().empty() ? "e," : "v,";
    }
    return true;
  }

  // Puts the component on the row of a Locate's answer; with `rowRead`, `row` holds it
  // already. False when the answer found no row.
  bool TakeAnswer(const LocateAnswer& answer, bool rowRead) {
    if (!answer.found) return false;
    if (!rowRead) {
      row = answer.row;
      rowBlobs = answer.rowBlobs;
      RowSetAnew();
    }
    rowid = answer.rowid;
    rowChanges = answer.changes;
    rowVersion = answer.version;
    stats_internal::AddRead(1);
    hasRow = true;
    detached = true;
    eof = bof = false;
    return true;
  }

  // ---- a table on a server ----

  void LoadServerSchema() {
    std::optional<internal::TableInfo> info =
        OnServer([&] { return server->db().FindTable(tableName); });
    if (!info) {
      throw Error("table \"" + tableName + "\" not found in database \"" + databaseName + "\"");
    }
    serverTable = std::move(*info);
    realName = serverTable.name;
    internal::ServerDatabase& db = server->db();
    if (!serverTable.hasRowid) {
      Fail("the table has no rowid column to walk by (on a server, a column \"" +
           std::string(internal::kRowIdentityColumn) + "\"; db copy gives every table one)");
    }
    quotedTable = db.Quote(realName);
    rowidName = db.RowidName();
    for (const internal::ColumnInfo& info : serverTable.columns) {
      Column c;
      c.name = info.name;
      c.quoted = db.Quote(info.name);
      c.kind = info.kind;
      byName.emplace(LowerCase(c.name), static_cast<int>(columns.size()));
      columnList += (columns.empty() ? "" : ", ") + c.quoted;
      columns.push_back(std::move(c));
    }
    row.assign(columns.size(), Variant());
    rowBlobs.assign(columns.size(), 0);
    RowSetAnew();
    hasTriggers = false;
    indexColumns.clear();
    for (const internal::IndexInfo& index : serverTable.indexes) {
      indexColumns.emplace_back();
      for (const std::string& column : index.columns) {
        auto it = byName.find(column);
        if (it == byName.end()) break;
        indexColumns.back().push_back(it->second);
      }
    }
    serverVersions = !db.RowVersion().empty();
    serverColumns = columnList + (serverVersions ? ", " + db.RowVersion() : "");
    serverFetchAny =
        "SELECT " + serverColumns + " FROM " + quotedTable + " WHERE " + rowidName + " = ?";
  }

  // An index's order on a server: NULL first, as SQLite orders it (servers differ, and
  // not every one takes NULLS FIRST), then the value, then the rowid; a descending
  // column the other way round, NULL last.
  WalkOrder ServerIndexOrder(const std::string& index) const {
    const internal::IndexInfo* found = nullptr;
    for (const internal::IndexInfo& candidate : serverTable.indexes) {
      if (EqualsIgnoringCase(candidate.name, Trim(index))) found = &candidate;
    }
    if (found == nullptr) Fail("no index \"" + index + "\"");
    WalkOrder result;
    for (std::size_t i = 0; i < found->columns.size(); ++i) {
      auto it = byName.find(found->columns[i]);
      if (it == byName.end()) Fail("index \"" + index + "\" orders by an expression, not by columns");
      OrderKey key;
      key.column = it->second;
      key.expr = columns[it->second].quoted;
      key.desc = i < found->descending.size() && found->descending[i];
      result.sql += key.desc ? "CASE WHEN " + key.expr + " IS NULL THEN 1 ELSE 0 END, " +
                                   key.expr + " DESC, "
                             : "CASE WHEN " + key.expr + " IS NULL THEN 0 ELSE 1 END, " +
                                   key.expr + ", ";
      result.keys.push_back(std::move(key));
    }
    result.sql += rowidName;
    result.sortSql = result.sql;
    return result;
  }

  void ServerReadRow(const odbc::Statement& s, int first) {
    RowSetAnew();
    rowChanges = server->Changes();
    for (std::size_t i = 0; i < columns.size(); ++i) {
      row[i] = internal::ReadServerValue(s, first + static_cast<int>(i), columns[i].kind);
      rowBlobs[i] = 0;
    }
    rowVersion = ServerVersionAt(s, first + static_cast<int>(columns.size()));
  }

  // The row's version at column `column` of `s`, when serverColumns selects one.
  std::string ServerVersionAt(const odbc::Statement& s, int column) const {
    if (!serverVersions) return {};
    return s.Text(column).value_or(std::string());
  }

  static std::int64_t RowidAt(const odbc::Statement& s, int column) {
    const Variant id = internal::ReadServerValue(s, column, FieldKind::kInteger);
    return id.type() == Variant::Type::kInteger ? id.Integer() : 0;
  }

  void DropBlock() {
    block.clear();
    blockFrom = blockTo = 0;
    blockChanges = -1;
  }

  // Reads the rows of `walk` around place `at` (ahead of it, or behind it going back) into
  // the block.
  void ReadBlock(std::size_t at, bool withFilter, bool backward) {
    DropBlock();
    blockFrom = backward ? (at + 1 >= kBlockRows ? at + 1 - kBlockRows : 0) : at;
    blockTo = std::min(walk.size(), blockFrom + kBlockRows);
    std::string sql = "SELECT " + rowidName + ", " + serverColumns + " FROM " + quotedTable +
                      " WHERE " + rowidName + " IN (";
    for (std::size_t i = blockFrom; i < blockTo; ++i) sql += i == blockFrom ? "?" : ", ?";
    sql += ")";
    if (withFilter) sql += " AND " + where;
    OnServer([&] {
      odbc::Statement& s = server->Prepared(sql);
      for (std::size_t i = blockFrom; i < blockTo; ++i) {
        s.BindInteger(static_cast<int>(i - blockFrom) + 1, walk[i]);
      }
      s.Execute();
      while (s.Fetch()) {
        BlockRow& read = block[RowidAt(s, 1)];
        read.cells.resize(columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) {
          read.cells[c] = internal::ReadServerValue(s, static_cast<int>(c) + 2, columns[c].kind);
        }
        read.version = ServerVersionAt(s, static_cast<int>(columns.size()) + 2);
      }
      s.Reset();
      return 0;
    });
    blockFiltered = withFilter;
    blockChanges = server->Changes();
    blockSince = std::chrono::steady_clock::now();
  }

  bool BlockServes(std::size_t at, bool withFilter) const {
    return blockChanges == server->Changes() && blockFiltered == withFilter && at >= blockFrom &&
           at < blockTo && std::chrono::steady_clock::now() - blockSince <= internal::kMaxReadAge;
  }

  bool ServerFetch(std::int64_t id, bool withFilter) {
    if (withFilter && serverFetchFiltered.empty()) serverFetchFiltered = serverFetchAny + " AND " + where;
    const std::size_t at = walkAt;
    walkAt = std::size_t(-1);
    if (at < walk.size() && walk[at] == id) {
      if (!BlockServes(at, withFilter)) ReadBlock(at, withFilter, !hasRow || at < pos);
      auto found = block.find(id);
      if (found == block.end()) return false;
      row = found->second.cells;
      RowSetAnew();
      rowVersion = found->second.version;
      rowChanges = server->Changes();
      std::fill(rowBlobs.begin(), rowBlobs.end(), 0);
      rowid = id;
      stats_internal::AddRead(1);
      return true;
    }
    return OnServer([&] {
      odbc::Statement& s = server->Prepared(withFilter ? serverFetchFiltered : serverFetchAny);
      s.BindInteger(1, id);
      s.Execute();
      const bool found = s.Fetch();
      if (found) {
        ServerReadRow(s, 1);
        rowid = id;
        stats_internal::AddRead(1);
      }
      s.Reset();
      return found;
    });
  }

  void ServerSnapshot() {
    DropBlock();  // its places are those of the walk before
    std::string sql = "SELECT " + rowidName + " FROM " + quotedTable;
    if (!where.empty()) sql += " WHERE " + where;
    sql += " ORDER BY " + order;
    OnServer([&] {
      odbc::Statement& s = server->Prepared(sql);
      s.Execute();
      while (s.Fetch()) walk.push_back(RowidAt(s, 1));
      s.Reset();
      return 0;
    });
    detached = false;
  }

  // SeekAfter on a server: its statements take each value as a parameter of its own.
  bool ServerSeekAfter(const std::vector<Variant>& values, std::int64_t id) {
    std::string condition, closing;
    std::vector<std::pair<const Variant*, int>> params;  // each with its column's type
    for (const OrderKey& key : orderKeys) {
      const Variant& value = values[key.column];
      if (value.IsNull()) {
        // Descending, NULL comes last: only its ties come after it.
        condition += "(" + (key.desc ? std::string("1 = 0") : key.expr + " IS NOT NULL") +
                     " OR (" + key.expr + " IS NULL AND ";
      } else {
        condition += "(" + (key.desc ? "(" + key.expr + " < ? OR " + key.expr + " IS NULL)"
                                     : key.expr + " > ?") +
                     " OR (" + key.expr + " = ? AND ";
        const int type = serverTable.columns[key.column].sqlType;
        params.emplace_back(&value, type);
        params.emplace_back(&value, type);
      }
      closing += "))";
    }
    std::string sql = "SELECT " + rowidName + " FROM " + quotedTable + " WHERE ";
    if (!where.empty()) sql += where + " AND ";
    sql += "(" + condition + rowidName + " > ?" + closing + ") ORDER BY " + order +
           server->db().FirstRowOnly();
    std::optional<std::int64_t> next = OnServer([&]() -> std::optional<std::int64_t> {
      odbc::Statement& s = server->Prepared(sql);
      int at = 0;
      for (const auto& [value, type] : params) internal::BindServerValue(s, ++at, *value, type);
      s.BindInteger(at + 1, id);
      s.Execute();
      std::optional<std::int64_t> found;
      if (s.Fetch()) found = RowidAt(s, 1);
      s.Reset();
      return found;
    });
    if (!next || !Fetch(*next, true)) return false;
    hasRow = true;
    detached = true;
    return true;
  }

  bool ServerLocate() {
    const std::vector<int>& indexes = locateIndexes;
    const std::vector<Variant>& cells = locateCells;
    ServerLocateShape& shape = serverLocates[locateKey];
    std::string& sql = shape.sql;
    if (sql.empty()) {
      sql = "SELECT " + rowidName + ", " + serverColumns + " FROM " + quotedTable + " WHERE ";
      for (std::size_t k = 0; k < indexes.size(); ++k) {
        const std::string& c = columns[indexes[k]].quoted;
        const Variant& cell = cells[k];
        if (k) sql += " AND ";
        if (cell.IsNull()) {
          sql += c + " IS NULL";
        } else if (cell.type() == Variant::Type::kText && cell.Text().empty()) {
          sql += "(" + c + " = ? OR " + c + " IS NULL)";
        } else {
          sql += c + " = ?";
        }
      }
      if (!where.empty()) sql += " AND " + where;
      sql += " ORDER BY " + order + server->db().FirstRowOnly();
    }
    LocateAnswer& last = shape.last;
    const bool answered = last.changes == server->Changes() && last.cells == cells &&
                          std::chrono::steady_clock::now() - shape.since <= internal::kMaxReadAge;
    if (answered) return TakeAnswer(last, /*rowRead=*/false);
    last.cells.clear();  // no answer kept while it is asked again
    last.found = OnServer([&] {
      odbc::Statement& s = server->Prepared(sql);
      int at = 0;
      for (std::size_t k = 0; k < cells.size(); ++k) {
        if (!cells[k].IsNull()) {
          internal::BindServerValue(s, ++at, cells[k], serverTable.columns[indexes[k]].sqlType);
        }
      }
      s.Execute();
      const bool found = s.Fetch();
      if (found) {
        last.rowid = RowidAt(s, 1);
        ServerReadRow(s, 2);
        last.row = row;
        last.rowBlobs = rowBlobs;
        last.version = rowVersion;
      }
      s.Reset();
      return found;
    });
    last.cells = cells;
    last.changes = server->Changes();
    shape.since = std::chrono::steady_clock::now();
    return TakeAnswer(last, /*rowRead=*/true);
  }

  void Reapply() {
    CheckBrowse();
    try {
      ApplyFilter();
    } catch (...) {
      SetEmpty();
      throw;
    }
    First();
  }
};

Table::Table(std::string name, std::string databaseName, std::string tableName,
             std::string indexName)
    : impl_(std::make_unique<Impl>()) {
  impl_->name = std::move(name);
  impl_->databaseName = std::move(databaseName);
  impl_->tableName = std::move(tableName);
  impl_->indexName = std::move(indexName);
}

Table::~Table() = default;
Table::Table(Table&&) noexcept = default;
Table& Table::operator=(Table&&) noexcept = default;

const std::string& Table::Name() const {
  return impl_->name;
}
const std::string& Table::DatabaseName() const {
  return impl_->databaseName;
}
const std::string& Table::SessionName() const {
  return impl_->sessionName;
}
const std::string& Table::TableName() const {
  return impl_->tableName;
}
const std::string& Table::IndexName() const {
  return impl_->indexName;
}
const std::string& Table::Filter() const {
  return impl_->filter;
}
bool Table::Filtered() const {
  return impl_->filtered;
}

void Table::SetDatabaseName(std::string databaseName) {
  if (IsOpen())
    impl_->Fail("cannot change the database name of \"" + impl_->name + "\" while it is open");
  impl_->databaseName = std::move(databaseName);
}

void Table::SetSessionName(std::string sessionName) {
  if (IsOpen())
    impl_->Fail("cannot change the session name of \"" + impl_->name + "\" while it is open");
  impl_->sessionName = std::move(sessionName);
}

void Table::SetTableName(std::string tableName) {
  if (IsOpen())
    impl_->Fail("cannot change the table name of \"" + impl_->name + "\" while it is open");
  impl_->tableName = std::move(tableName);
}

void Table::SetIndexName(std::string indexName) {
  if (!IsOpen()) {
    impl_->indexName = std::move(indexName);
    return;
  }
  impl_->CheckBrowse();
  WalkOrder order = impl_->IndexOrder(indexName);
  impl_->indexName = std::move(indexName);
  impl_->TakeOrder(std::move(order));
  impl_->ReleaseReads();  // a located row's read may be held by one of them
  impl_->locates.clear();
  impl_->serverLocates.clear();
  impl_->StopCursor();  // its statements read in the old order
  impl_->cursorUsable = false;
  impl_->cursorFirst = internal::Statement();
  impl_->cursorAfter.clear();
  if (impl_->hasRow) impl_->detached = true;
}

void Table::SetFilter(std::string filter) {
  impl_->filter = std::move(filter);
  if (IsOpen() && impl_->filtered) impl_->Reapply();
}

void Table::SetFiltered(bool filtered) {
  if (filtered == impl_->filtered) return;
  impl_->filtered = filtered;
  if (IsOpen()) impl_->Reapply();
}

void Table::SetDateFormats(const DateFormats* formats) {
  impl_->formats = formats ? formats : &internal::DefaultDateFormats();
}

void Table::Open() {
  Impl& t = *impl_;
  if (t.state != TableState::kInactive) return;
  if (Trim(t.tableName).empty()) {
    throw Error("table component \"" + t.name + "\" has no table name (database \"" +
                t.databaseName + "\")");
  }
  try {
    t.session.Attach(t.sessionName, &t);
    const DatabaseTarget& target = t.located.Locate(t.databaseName);
    if (target.IsOdbc()) {
      t.server = internal::ServerLink::Open(target);
      t.LoadServerSchema();
    } else {
      t.conn = internal::Connection::Open(t.databaseName, t.located);
      t.LoadSchema();
    }
    WalkOrder order = t.IndexOrder(t.indexName);
    t.TakeOrder(std::move(order));
    t.ApplyFilter();
    t.state = TableState::kBrowse;
    t.First();
  } catch (...) {
    t.Release();
    throw;
  }
}

void Table::Close() {
  impl_->Close();
}
bool Table::IsOpen() const {
  return impl_->state != TableState::kInactive;
}
TableState Table::State() const {
  return impl_->state;
}

void Table::First() {
  impl_->First();
}
void Table::Next() {
  impl_->Next();
}
void Table::Prior() {
  impl_->Prior();
}
void Table::Last() {
  impl_->Last();
}
bool Table::Eof() const {
  return impl_->eof;
}
bool Table::Bof() const {
  return impl_->bof;
}

const Variant& Table::CellOf(std::string_view column, FieldKind& kind) const {
  return impl_->Cell(column, kind);
}

const DateFormats& Table::Formats() const { return *impl_->formats; }

std::string Table::Where() const { return impl_->Where(); }

std::vector<std::string> Table::FieldNames() const {
  std::vector<std::string> names;
  for (const auto& c : impl_->columns) names.push_back(c.name);
  return names;
}

void Table::Edit() {
  Impl& t = *impl_;
  t.RequireOpen();
  if (t.state == TableState::kEdit || t.state == TableState::kInsert) return;
  if (!t.hasRow) t.Fail("there is no current row to edit");
  t.edit = t.row;
  t.assigned.assign(t.columns.size(), 0);
  t.modified = false;
  t.state = TableState::kEdit;
}

void Table::Insert() {
  Impl& t = *impl_;
  t.RequireOpen();
  t.CheckBrowse();
  t.edit.assign(t.columns.size(), Variant());
  t.assigned.assign(t.columns.size(), 0);
  t.modified = false;
  t.state = TableState::kInsert;
}

void Table::SetString(std::string_view column, std::string_view value) {
  impl_->Assign(column, Variant(value));
}
void Table::SetInteger(std::string_view column, std::int64_t value) {
  impl_->Assign(column, Variant(value));
}
void Table::SetFloat(std::string_view column, double value) {
  impl_->Assign(column, Variant(value));
}
void Table::SetDateTime(std::string_view column, const DateTime& value) {
  impl_->Assign(column, Variant(value));
}
void Table::SetBoolean(std::string_view column, bool value) {
  impl_->Assign(column, Variant(value));
}
void Table::SetNull(std::string_view column) {
  impl_->Assign(column, Variant());
}
void Table::SetVariant(std::string_view column, const Variant& value) {
  impl_->Assign(column, value);
}

void Table::Post() {
  impl_->Post();
}
void Table::Cancel() {
  impl_->Cancel();
}
void Table::Delete() {
  impl_->Delete();
}

bool Table::Locate(std::string_view fields, const std::vector<Variant>& values) {
  return impl_->Locate(fields, values);
}

std::int64_t Table::RecordCount() const {
  const Impl& t = *impl_;
  t.RequireOpen();
  std::string sql = "SELECT count(*) FROM " + t.quotedTable;
  if (!t.where.empty()) sql += " WHERE " + t.where;
  if (t.server) {
    return t.OnServer([&] {
      odbc::Statement& s = t.server->Prepared(sql);
      s.Execute();
      const std::int64_t count = s.Fetch() ? Impl::RowidAt(s, 1) : 0;
      s.Reset();
      return count;
    });
  }
  t.conn->ReleasePending();
  Statement s = t.Prepare(sql);
  internal::ResetOnExit reset(s);
  if (s.Step() != SQLITE_ROW) t.Fail(t.conn->LastError());
  return sqlite3_column_int64(s.get(), 0);
}

}  // namespace talvor::sqldb
