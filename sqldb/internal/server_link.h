// Private to sqldb: the connection to a database server that every component naming it
// shares, as internal::Connection is for an SQLite file. It runs the components' writes and
// captures them for a recorded run: a server cannot be watched inside its writes as SQLite
// can, so each write first reads, in its own transaction, the rows it will change, and
// then reads them as written.
//
// Every write is its own transaction, committed at once (a recorded run tells the sink
// before the commit, so that a process killed after it leaves the change recorded; where
// the server takes it, the commit begins the next write's transaction, in which the reads
// until that write run as they would outside one); in a
// dry run one transaction holds the whole run, each write inside a savepoint of its own,
// and is rolled back at the end. Single-threaded, as the components are.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/change.h"
#include "sqldb/database.h"
#include "sqldb/internal/server.h"
#include "sqldb/internal/sqltext.h"

namespace talvor::sqldb::internal {

// A row as a component read it from a server, and its version then (the value of
// ServerDatabase::RowVersion read with it; empty: not known).
struct RowAsRead {
  const std::vector<Variant>* cells = nullptr;
  std::string_view version;
};

class ServerLink {
 public:
  // The shared connection to the server `target` names (connected when none is open).
  // Throws Error naming it (password hidden) when it does not answer.
  static std::shared_ptr<ServerLink> Open(const DatabaseTarget& target);
  ~ServerLink();
  ServerLink(const ServerLink&) = delete;
  ServerLink& operator=(const ServerLink&) = delete;

  ServerDatabase& db() { return db_; }
  std::string Shown() const { return db_.Shown(); }
  // Rows written through this connection so far: a component compares it to tell whether
  // anything wrote since it read.
  std::int64_t Changes() const { return changes_; }

  // A statement prepared once for `sql` and kept, reset and ready to bind. Valid until the
  // next call: the kept statements are let go when they grow too many.
  odbc::Statement& Prepared(const std::string& sql);

  // `sql` (in the layer's dialect) as the server must see it: names spelled as the server
  // spells them (sqltext.h, SpellNames), flags compared with 0/1 as the server's booleans
  // (FlagLiterals). `table`, when given, is the table whose rows `sql` (a filter) is about.
  std::string ForServer(std::string_view sql, std::string_view table = {});

  // Runs the read `sql` and hands `s`, the statement, to `read` to fetch its rows: throws
  // Error with the server's reason when the server refuses it. Inside a dry run's
  // transaction the refusal leaves the rest standing (a savepoint around it).
  void Select(const std::string& sql, const std::function<void(odbc::Statement& s)>& read);

  // The row `rowid` of `table`, columns in table order; false when there is none.
  bool ReadRow(const TableInfo& table, std::int64_t rowid, std::vector<Variant>& row);

  // Writes of one row by its rowid. Update and Delete give the rows changed (0 when the row
  // is gone); Insert the new row's rowid. Only the columns marked in `assigned` are set.
  // Throw Error naming the table and the server's reason when the server refuses. Given
  // the row as read, a recorded update of a row still at that version takes the row as
  // read for its before-image, rather than reading it again under a lock.
  std::int64_t UpdateRow(const TableInfo& table, const std::vector<char>& assigned,
                         const std::vector<Variant>& values, std::int64_t rowid,
                         RowAsRead read = {});
  std::int64_t InsertRow(const TableInfo& table, const std::vector<char>& assigned,
                         const std::vector<Variant>& values);
  std::int64_t DeleteRow(const TableInfo& table, std::int64_t rowid);
  // A statement of a query that does not return rows; gives the rows it changed. During a
  // capture an UPDATE, DELETE or INSERT of one table is captured as above; a DROP TABLE is
  // told (and in a dry run refused); any other statement that writes rows is refused, for
  // its rows could not be put back.
  std::int64_t ExecuteWrite(const std::string& sql);

  // Recorded runs (sqldb/capture.h) on every open server connection.
  static void CaptureAll(ChangeSink* sink, CaptureMode mode);
  // Lets go of the connections no component holds (sqldb/database.h, CloseIdleConnections).
  static void CloseIdle();
  // Commits every open connection's transaction begun for its next write (BeforeWaiting).
  static void EndChains();

 private:
  explicit ServerLink(const DatabaseTarget& target);
  void StartCapture(ChangeSink& sink, CaptureMode mode);
  void EndCapture();
  bool Capturing() const { return sink_ != nullptr; }
  // Runs `write` as one captured write: its own transaction (or savepoint in a dry run),
  // told to the sink and committed, or undone and told so when it throws.
  template <typename Write>
  auto Captured(Write&& write);
  // Commits a captured write; where the server takes it, in one statement with the begin
  // of the next write's transaction (chained_), a round trip fewer per write.
  void Commit();
  // Ends a transaction begun for the next write: committed (it holds nothing), or already
  // rolled back.
  void EndChain(bool commit);
  // The text of a write of one row of `table` (op 'U', 'V' an update of a row at its
  // version, 'I' or 'D'; the columns `assigned`), made by `make` once per description of
  // the table. Valid until the next call.
  const std::string& WriteText(char op, bool returning, const TableInfo& table,
                               const std::vector<char>& assigned,
                               const std::function<std::string()>& make);
  void TellTable(const TableInfo& table);
  void TellChange(const TableInfo& table, ChangeOp op, std::int64_t rowid,
                  const std::vector<Variant>* before, const std::vector<Variant>* after);
  // The rows of `table` that `where` (server SQL, may be empty) selects, by rowid.
  std::map<std::int64_t, std::vector<Variant>> ReadRows(const TableInfo& table,
                                                        const std::string& where);
  std::map<std::int64_t, std::vector<Variant>> ReadRowsById(const TableInfo& table,
                                                            const std::vector<std::int64_t>& ids);
  const TableInfo& Table(std::string_view name);
  // A captured UPDATE, DELETE or INSERT as one statement that returns the rows it wrote
  // (ServerDatabase::WritesReturnRows); gives the rows it wrote.
  std::int64_t WriteReturningRows(const WriteShape& shape, const TableInfo& table);
  // Whether SQLite would group such a SELECT by an index of its table (sqltext.h).
  bool GroupsByIndex(const GroupShape& shape);
  void LoadSpellings();

  ServerDatabase db_;
  std::int64_t changes_ = 0;
  odbc::PreparedStatements prepared_;
  std::unordered_map<std::string, std::string> writeTexts_;  // WriteText
  std::unique_ptr<odbc::Statement> commitStatement_;         // Commit's, kept
  // Lower-case names -> as the server spells them: tables, and each table's columns.
  std::map<std::string, std::string> tableSpellings_;
  std::map<std::string, std::map<std::string, std::string>> columnSpellings_;
  std::unordered_map<std::string, std::string> anyColumnSpellings_;  // of any table
  bool spellingsLoaded_ = false;
  std::map<std::string, TableInfo> tables_;  // by lower-case name, for captured statements
  ChangeSink* sink_ = nullptr;
  bool chained_ = false;  // a transaction is open for the next captured write
  CaptureMode mode_ = CaptureMode::kRecord;
  int store_ = 0;
  std::set<std::string> told_;
};

}  // namespace talvor::sqldb::internal
