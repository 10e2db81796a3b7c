// The bare replay of the SQL layer's statement trace: a trace the layer wrote (in a process
// of its own, see tests/sqldb/sql_trace_test.cpp) replays on a copy of the database taken
// before with every outcome as traced and every entry made, the post landing in the copy;
// on a copy whose rows differ it tells the first step that came out otherwise.
#include "bench/sqldb/statement_replay.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sqldb/sql_trace.h"
#include "tests/sqldb/sqldb_fixture.h"
#include "tests/sqldb/traced_work.h"

namespace talvor::bench {
namespace {

namespace fs = std::filesystem;
using sqldb::SqlTraceEntry;

// Run by the tests below in a process of its own, in their site, with the trace on.
TEST(StatementReplayChild, Work) {
  if (std::getenv("TALVOR_SQL_TRACE_TEST") == nullptr) GTEST_SKIP() << "run by the replay tests";
  EXPECT_EQ(sqldb::testing::DoTracedWork(), "P1 P2 P3 P4 P5 P6 | found | 5 refused");
}

class StatementReplayTest : public sqldb::testing::SqldbTest {
 protected:
  void SetUp() override {
    SqldbTest::SetUp();
    Exec("agency.db", sqldb::testing::TracedSiteRows());
    site_ = fs::canonical(dir_);
  }

  // A copy of the site's database in `folder` as it is now.
  fs::path CopyDatabase(const std::string& folder) {
    fs::create_directories(dir_ / folder);
    fs::copy_file(dir_ / "agency.db", dir_ / folder / "agency.db");
    return site_ / folder;
  }

  std::vector<SqlTraceEntry> TraceTheWork() {
    const fs::path trace = dir_ / "sql.trace";
    const std::string command = "cd '" + dir_.string() + "' && TALVOR_SQL_TRACE='" +
                                trace.string() + "' TALVOR_SQL_TRACE_TEST=1 '" +
                                fs::read_symlink("/proc/self/exe").string() +
                                "' --gtest_filter=StatementReplayChild.Work > child.out 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadAll(dir_ / "child.out");
    std::vector<SqlTraceEntry> entries;
    std::string error;
    EXPECT_TRUE(sqldb::ReadSqlTrace(trace, &entries, &error)) << error;
    return entries;
  }

  static std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  fs::path site_;
};

TEST_F(StatementReplayTest, TheTraceReplaysOnACopyWithEveryOutcomeAsTraced) {
  const fs::path copy = CopyDatabase("before");
  const std::vector<SqlTraceEntry> entries = TraceTheWork();
  ASSERT_GT(entries.size(), 20u);
  StatementReplayResult result;
  std::string error;
  ASSERT_TRUE(ReplaySqlTrace(entries, site_, copy, &result, &error)) << error;
  EXPECT_EQ(result.mismatches, 0) << result.firstMismatch;
  EXPECT_EQ(result.calls, static_cast<std::int64_t>(entries.size()));
  EXPECT_GT(result.seconds, 0);
  // The post was made on the copy, with the value the trace bound; the site's own file
  // holds it from the traced run.
  EXPECT_EQ(Scalar(copy / "agency.db", "SELECT ClsCode FROM Policy WHERE PolNum = 'P3'"), "NEW");
  EXPECT_EQ(Scalar(copy / "agency.db", "SELECT count(*) FROM Policy WHERE ClsCode = 'OLD'"), "5");
}

TEST_F(StatementReplayTest, ACopyWhoseRowsDifferTellsTheFirstStepThatCameOutOtherwise) {
  const fs::path copy = CopyDatabase("other");
  Exec(copy / "agency.db", "DELETE FROM Policy WHERE PolNum IN ('P4', 'P5', 'P6')");
  const std::vector<SqlTraceEntry> entries = TraceTheWork();
  StatementReplayResult result;
  std::string error;
  ASSERT_TRUE(ReplaySqlTrace(entries, site_, copy, &result, &error)) << error;
  EXPECT_GT(result.mismatches, 0);
  EXPECT_NE(result.firstMismatch.find("(step of statement"), std::string::npos)
      << result.firstMismatch;
  EXPECT_NE(result.firstMismatch.find("traced row, replayed done"), std::string::npos)
      << result.firstMismatch;
  EXPECT_NE(result.firstMismatch.find("Policy"), std::string::npos) << result.firstMismatch;
}

TEST_F(StatementReplayTest, AFileMissingFromTheCopyStopsTheReplayNamingIt) {
  const std::vector<SqlTraceEntry> entries = TraceTheWork();
  StatementReplayResult result;
  std::string error;
  EXPECT_FALSE(ReplaySqlTrace(entries, site_, site_ / "nowhere", &result, &error));
  EXPECT_NE(error.find("entry 1 of the SQL trace: cannot open " +
                       (site_ / "nowhere" / "agency.db").string()),
            std::string::npos)
      << error;
}

}  // namespace
}  // namespace talvor::bench
