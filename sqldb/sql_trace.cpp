#include "sqldb/sql_trace.h"

#include <utility>

namespace talvor::sqldb {
namespace {

// SQLite's SQLITE_OK, without its header in a file the bench reads too.
constexpr int kPrepared = 0;

template <typename T>
std::string_view BytesOf(const T& value) {
  return {reinterpret_cast<const char*>(&value), sizeof value};
}

}  // namespace

SqlTraceWriter SqlTraceWriter::Create(const std::filesystem::path& path, std::string* error) {
  SqlTraceWriter writer;
  writer.writer_ = CallTraceWriter::Create(path, kSqlTraceMagic, "SQL trace", error);
  return writer;
}

int SqlTraceWriter::Open(std::string_view canonicalPath) {
  const int id = ++connections_;
  Add(SqlTraceOp::kOpen, id, 0, 0, 0, canonicalPath);
  return id;
}

int SqlTraceWriter::Prepare(int connection, int code, std::string_view sql) {
  const int id = code == kPrepared ? ++statements_ : 0;
  Add(SqlTraceOp::kPrepare, id, connection, code, 0, sql);
  return id;
}

void SqlTraceWriter::BindNull(int statement, int index) {
  Add(SqlTraceOp::kBind, statement, index, 0, static_cast<int>(SqlTraceValue::kNull), {});
}

void SqlTraceWriter::BindInteger(int statement, int index, std::int64_t value) {
  Add(SqlTraceOp::kBind, statement, index, 0, static_cast<int>(SqlTraceValue::kInteger),
      BytesOf(value));
}

void SqlTraceWriter::BindFloat(int statement, int index, double value) {
  Add(SqlTraceOp::kBind, statement, index, 0, static_cast<int>(SqlTraceValue::kFloat),
      BytesOf(value));
}

void SqlTraceWriter::BindText(int statement, int index, std::string_view value) {
  Add(SqlTraceOp::kBind, statement, index, 0, static_cast<int>(SqlTraceValue::kText), value);
}

void SqlTraceWriter::Step(int statement, int code) {
  Add(SqlTraceOp::kStep, statement, 0, code, 0, {});
}

void SqlTraceWriter::Reset(int statement, bool clearBindings) {
  Add(SqlTraceOp::kReset, statement, clearBindings ? 1 : 0, 0, 0, {});
}

void SqlTraceWriter::Finalize(int statement) {
  Add(SqlTraceOp::kFinalize, statement, 0, 0, 0, {});
}

void SqlTraceWriter::Checkpoint(int connection) {
  Add(SqlTraceOp::kCheckpoint, connection, 0, 0, 0, {});
}

void SqlTraceWriter::Close(int connection) {
  Add(SqlTraceOp::kClose, connection, 0, 0, 0, {});
}

bool ReadSqlTrace(const std::filesystem::path& path, std::vector<SqlTraceEntry>* entries,
                  std::string* error) {
  entries->clear();
  return ReadCallTrace(
      path, kSqlTraceMagic, "SQL trace", static_cast<std::uint8_t>(SqlTraceOp::kClose),
      [&](CallTraceEntry& e) {
        entries->push_back({static_cast<SqlTraceOp>(e.op), e.a, e.b, e.c, e.d, std::move(e.bytes)});
      },
      error);
}

}  // namespace talvor::sqldb
