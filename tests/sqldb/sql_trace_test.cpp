// The SQL layer's statement trace: with TALVOR_SQL_TRACE naming a file (in a process of its
// own: the variable is read as the first connection opens), every prepare, binding, step,
// reset and finalize of a walk, a post, a Locate and a query is written with SQLite's
// result codes, each on a statement prepared before and not yet finalized, and the
// connection's close last.
#include "sqldb/sql_trace.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sqldb_fixture.h"
#include "traced_work.h"

namespace talvor::sqldb {
namespace {

namespace fs = std::filesystem;
using testing::SqldbTest;

// Run by the test below in a process of its own, in its site, with the trace switched on.
TEST(SqlTraceChild, Work) {
  if (std::getenv("TALVOR_SQL_TRACE_TEST") == nullptr) GTEST_SKIP() << "run by SqlTraceTest";
  EXPECT_EQ(testing::DoTracedWork(), "P1 P2 P3 P4 P5 P6 | found | 5 refused");
}

class SqlTraceTest : public SqldbTest {
 protected:
  // Runs the work in a child process with the trace written to `trace`.
  void RunTracedChild(const fs::path& trace) {
    const std::string command = "cd '" + dir_.string() + "' && TALVOR_SQL_TRACE='" +
                                trace.string() + "' TALVOR_SQL_TRACE_TEST=1 '" +
                                fs::read_symlink("/proc/self/exe").string() +
                                "' --gtest_filter=SqlTraceChild.Work > child.out 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadAll(dir_ / "child.out");
  }
  static std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

std::int64_t IntegerOf(const SqlTraceEntry& e) {
  std::int64_t value = 0;
  if (e.bytes.size() == sizeof value) std::memcpy(&value, e.bytes.data(), sizeof value);
  return value;
}

TEST_F(SqlTraceTest, EveryOperationOfAWalkAPostAndAQueryIsTracedWithItsResult) {
  Exec("agency.db", testing::TracedSiteRows());
  const fs::path trace = dir_ / "sql.trace";
  RunTracedChild(trace);
  std::vector<SqlTraceEntry> entries;
  std::string error;
  ASSERT_TRUE(ReadSqlTrace(trace, &entries, &error)) << error;
  ASSERT_GT(entries.size(), 10u);

  ASSERT_EQ(entries.front().op, SqlTraceOp::kOpen);
  EXPECT_EQ(entries.front().bytes, fs::canonical(dir_ / "agency.db").string());
  const int connection = entries.front().id;
  EXPECT_EQ(entries.back().op, SqlTraceOp::kClose);
  EXPECT_EQ(entries.back().id, connection);

  // Every operation names a live statement; each is finalized before the connection closes.
  std::map<int, std::string> text;  // every statement prepared, by id
  std::set<int> live;
  std::map<int, std::vector<int>> steps;              // result codes by statement
  std::map<int, std::vector<std::string>> texts;      // text bound, by statement
  std::map<int, std::vector<std::int64_t>> integers;  // integers bound, by statement
  std::map<int, int> clearingResets;
  std::vector<std::string> failed;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    const SqlTraceEntry& e = entries[i];
    const std::string at = "entry " + std::to_string(i);
    switch (e.op) {
      case SqlTraceOp::kOpen:
        ADD_FAILURE() << at << ": a second connection to the one file";
        break;
      case SqlTraceOp::kPrepare:
        EXPECT_EQ(e.arg, connection) << at;
        if (e.id == 0) {
          EXPECT_NE(e.code, SQLITE_OK) << at;
          failed.push_back(e.bytes);
        } else {
          EXPECT_EQ(e.code, SQLITE_OK) << at;
          EXPECT_TRUE(text.emplace(e.id, e.bytes).second) << at << ": id " << e.id << " again";
          live.insert(e.id);
        }
        break;
      case SqlTraceOp::kBind:
      case SqlTraceOp::kStep:
      case SqlTraceOp::kReset:
      case SqlTraceOp::kFinalize:
        ASSERT_TRUE(live.count(e.id)) << at << ": statement " << e.id << " is not prepared";
        if (e.op == SqlTraceOp::kStep) steps[e.id].push_back(e.code);
        if (e.op == SqlTraceOp::kReset && e.arg == 1) ++clearingResets[e.id];
        if (e.op == SqlTraceOp::kFinalize) live.erase(e.id);
        if (e.op == SqlTraceOp::kBind && e.type == static_cast<int>(SqlTraceValue::kText)) {
          texts[e.id].push_back(e.bytes);
        }
        if (e.op == SqlTraceOp::kBind && e.type == static_cast<int>(SqlTraceValue::kInteger)) {
          integers[e.id].push_back(IntegerOf(e));
        }
        break;
      case SqlTraceOp::kCheckpoint:
        EXPECT_EQ(e.id, connection) << at;
        break;
      case SqlTraceOp::kClose:
        EXPECT_EQ(i, entries.size() - 1) << at << ": closed before its last use";
        break;
    }
  }
  EXPECT_TRUE(live.empty()) << live.size() << " statements never finalized";

  auto count = [](const std::vector<int>& codes, int code) {
    return std::count(codes.begin(), codes.end(), code);
  };
  // The walk read the six rows of Policy.
  long walked = 0;
  int update = 0, located = 0, query = 0;
  for (const auto& [id, sql] : text) {
    if (sql.starts_with("SELECT") && sql.find("Policy") != std::string::npos &&
        sql.find("ClsCode = 'OLD'") == std::string::npos) {
      walked += count(steps[id], SQLITE_ROW);
    }
    if (sql.starts_with("UPDATE")) update = id;
    for (const std::string& bound : texts[id]) {
      if (bound == "P5") located = id;
    }
    if (sql == "SELECT PolNum FROM Policy WHERE ClsCode = 'OLD' ORDER BY PolNum") query = id;
  }
  EXPECT_GE(walked, 6);

  // The post: its value and its row bound, done, and reset with its bindings cleared.
  ASSERT_NE(update, 0);
  EXPECT_EQ(texts[update], std::vector<std::string>{"NEW"});
  ASSERT_EQ(integers[update].size(), 1u);
  EXPECT_EQ(integers[update][0], 3);  // P3's rowid
  EXPECT_EQ(steps[update], std::vector<int>{SQLITE_DONE});
  EXPECT_GE(clearingResets[update], 1);

  ASSERT_NE(located, 0);
  EXPECT_EQ(count(steps[located], SQLITE_ROW), 1);

  // The query's five rows, then its end.
  ASSERT_NE(query, 0);
  EXPECT_EQ(steps[query], (std::vector<int>{SQLITE_ROW, SQLITE_ROW, SQLITE_ROW, SQLITE_ROW,
                                            SQLITE_ROW, SQLITE_DONE}));

  // The refused query is told with its result code.
  EXPECT_EQ(failed, std::vector<std::string>{"SELECT * FROM NoSuchTable"});
  for (const SqlTraceEntry& e : entries) {
    if (e.op == SqlTraceOp::kPrepare && e.id == 0) {
      EXPECT_EQ(e.code, SQLITE_ERROR);
    }
  }
}

TEST_F(SqlTraceTest, ATraceThatCannotBeCreatedLeavesTheLayerWorking) {
  Exec("agency.db", testing::TracedSiteRows());
  RunTracedChild(dir_ / "no" / "such" / "trace");
  EXPECT_NE(ReadAll(dir_ / "child.out").find("cannot create the SQL trace"), std::string::npos)
      << ReadAll(dir_ / "child.out");
}

}  // namespace
}  // namespace talvor::sqldb
