// The SQL layer's statement trace: every SQLite operation the layer makes on its connections
// to agency database files, in order, with the result codes SQLite gave, so that a benchmark
// can make the same calls on bare SQLite (bench/sqldb/statement_replay.h) and tell how far
// the layer is from the cost of the statements themselves.
//
// Off unless the environment variable TALVOR_SQL_TRACE names a file when the first
// connection of the process opens; then the file is created anew and every operation of a
// connection (sqldb/internal/connection.h) appends one entry. Bulk loads, database creation,
// the whole-table backends and servers are not traced. Written as platform/call_trace.h
// writes (a buffer flushed when it fills and when the trace's owner ends), so a process
// killed meanwhile leaves a trace cut within or after its last entry; the reader stops there.
//
// Format (platform/call_trace.h; native byte order, only read back on the machine that wrote
// it): the line kSqlTraceMagic, then entries of
//   u8 op, i32 id, i32 arg, i32 code, i32 type, u32 n, n bytes
// with, per op:
//   kOpen        id: the connection (unique in the process); bytes: the file's canonical
//                path. The layer's opening statements (OpenDatabaseFile) are part of it.
//   kPrepare     id: the statement (unique in the process; 0 when the prepare failed);
//                arg: its connection; code: SQLite's result code; bytes: the text of the
//                one statement prepared (without the text after it).
//   kBind        id: the statement; arg: the 1-based parameter; type: SqlTraceValue;
//                bytes: an i64 or a double (8 bytes), the text, or none for NULL.
//   kStep        id: the statement; code: SQLite's result code.
//   kReset       id: the statement; arg: 1 when its bindings were cleared as well.
//   kFinalize    id: the statement.
//   kCheckpoint  id: the connection; a passive checkpoint of its write-ahead log.
//   kClose       id: the connection.
// Tracing costs every untraced operation one branch.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/call_trace.h"

namespace talvor::sqldb {

inline constexpr std::string_view kSqlTraceMagic = "talvor sql trace 1\n";
inline constexpr const char* kSqlTraceVariable = "TALVOR_SQL_TRACE";

enum class SqlTraceOp : std::uint8_t {
  kOpen = 1,
  kPrepare,
  kBind,
  kStep,
  kReset,
  kFinalize,
  kCheckpoint,
  kClose,
};

enum class SqlTraceValue : int { kNull = 0, kInteger, kFloat, kText };

struct SqlTraceEntry {
  SqlTraceOp op = SqlTraceOp::kOpen;
  int id = 0;
  int arg = 0;
  int code = 0;
  int type = 0;
  std::string bytes;
};

// Owns the trace file being written, and numbers the connections and statements it names.
class SqlTraceWriter {
 public:
  // Creates `path` anew; an empty writer (false) with *error set when it cannot.
  static SqlTraceWriter Create(const std::filesystem::path& path, std::string* error);
  SqlTraceWriter() = default;

  explicit operator bool() const { return static_cast<bool>(writer_); }
  // The new connection's number.
  int Open(std::string_view canonicalPath);
  // The new statement's number; 0 when `code` says the prepare failed.
  int Prepare(int connection, int code, std::string_view sql);
  void BindNull(int statement, int index);
  void BindInteger(int statement, int index, std::int64_t value);
  void BindFloat(int statement, int index, double value);
  void BindText(int statement, int index, std::string_view value);
  void Step(int statement, int code);
  void Reset(int statement, bool clearBindings);
  void Finalize(int statement);
  void Checkpoint(int connection);
  void Close(int connection);
  // Writes what is buffered; the file stays open.
  void Flush() { writer_.Flush(); }

 private:
  void Add(SqlTraceOp op, int id, int arg, int code, int type, std::string_view bytes) {
    writer_.Add(static_cast<std::uint8_t>(op), id, arg, code, type, bytes);
  }
  CallTraceWriter writer_;
  int connections_ = 0;
  int statements_ = 0;
};

// Reads a whole trace; false with *error saying what and where when the file cannot be
// read or does not start as a trace. A cut last entry is dropped.
bool ReadSqlTrace(const std::filesystem::path& path, std::vector<SqlTraceEntry>* entries,
                  std::string* error);

}  // namespace talvor::sqldb
