// Values that try to break out: apostrophes, double quotes, semicolons, NUL and bytes above
// 127 in every settings box and in the data the routines copy into SQL text, run through
// every built routine on a small demo site. None may change the meaning of a statement (an
// SQL syntax error is a value that broke out of its literal), drop or damage a table, or
// make the engine open a file other than the one named.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "legacy/engine.h"
#include "tools/demo/demo_site.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"
#include "sqldb/catalog.h"
#include "tests/reliability/reliability_support.h"

namespace talvor::testing {
namespace {

namespace fs = std::filesystem;

using namespace std::string_literals;

const std::string kHostileValues[] = {
    "0'",
    "'; DROP TABLE Customer; --",
    "' OR '1'='1",
    "\"x\";\"",
    "a;b",
    "0\0"s "1",
    "\xE9\xFF\x80",
    "%_*?[",
};

// What SQLite says when a statement's text no longer parses.
bool IsSyntaxError(const std::string& message) {
  for (const char* sign : {"syntax error", "unrecognized token", "incomplete input",
                           "unterminated", "no such column: '"}) {
    if (message.find(sign) != std::string::npos) return true;
  }
  return false;
}

class HostileValuesTest : public EveryRoutineTest {
 protected:
  void SetUp() override {
    EveryRoutineTest::SetUp();
    fs::remove("AGYFORMS.db");
    fs::remove("data");
    BuildDemoSite(fs::current_path(), DemoOptions{.clients = 24, .seed = 15});
    form->edtDatapath = DataPath();
  }

  // Every table of the catalog is still there, the database is whole, and no run met an
  // SQL text that did not parse.
  void ExpectNothingBrokeOut(const std::vector<RoutineRun>& runs) {
    for (const RoutineRun& run : runs) {
      for (const std::string& message : run.messages) {
        EXPECT_FALSE(IsSyntaxError(message)) << run.caption << ": " << message;
      }
    }
    EXPECT_EQ(Value("PRAGMA integrity_check"), "ok");
    for (const sqldb::TableDef& table : sqldb::AgencyTables()) {
      EXPECT_EQ(Value("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = '" +
                      std::string(table.name) + "'"),
                "1")
          << table.name << " is gone";
    }
    EXPECT_NE(Value("SELECT count(*) FROM Customer"), "0");
  }
};

TEST_F(HostileValuesTest, InEverySettingsBoxNoneChangesAStatement) {
  std::string TForm1::*const boxes[] = {&TForm1::edtAgyCode, &TForm1::edtPrdCode,
                                        &TForm1::edtServerName, &TForm1::edtNewPath};
  for (const std::string& value : kHostileValues) {
    for (std::string TForm1::*box : boxes) {
      SCOPED_TRACE("box value \"" + value + "\"");
      const std::string saved = (*form).*box;
      (*form).*box = value;
      ExpectNothingBrokeOut(RunEveryRoutine());
      (*form).*box = saved;
    }
  }
}

TEST_F(HostileValuesTest, InTheDataCopiedIntoStatementsNoneChangesOne) {
  const std::string customers = Value("SELECT count(*) FROM Customer");
  Sql("UPDATE Customer SET Name = Name || ''';\"--', DBA = 'O''Neil;\"', CSR = 'a''b' WHERE rowid % 2 = 0;"
      "UPDATE Customer SET Name = char(39, 0, 34, 59) || Name WHERE rowid % 3 = 0;"
      "UPDATE Customer SET Zip = '1''2;3\"4' WHERE rowid % 5 = 0;"
      "UPDATE Policy SET PolNum = PolNum || '''' WHERE rowid % 4 = 0;");
  ExpectNothingBrokeOut(RunEveryRoutine());
  EXPECT_EQ(Value("SELECT count(*) FROM Customer"), customers);
}

TEST_F(HostileValuesTest, DataPathHoldingANulNamesNoFile) {
  // "…\data\ap" + NUL + "x": the engine's C-string path would stop at the NUL and open ap.
  form->edtDatapath = DataPath() + "\\ap"s + '\0' + "x";
  BtrHandle handle;
  const std::string path = LegacyPath(*form, "extap");
  EXPECT_EQ(OpenLegacyFile(*form, handle, path, "extap"), kBtrFileNotFound);
  ASSERT_EQ(fe.Notes().size(), 1u);
  // The message shows the NUL, escaped, rather than ending there.
  EXPECT_EQ(fe.Notes()[0], "Unable to open extap file " + ShowableText(path) + ", status is 12");
  std::string record(138, ' ');
  int length = 138;
  EXPECT_EQ(btrGetFirst(handle, record.data(), &length, 0, 0), kBtrFileNotOpen);
}

}  // namespace
}  // namespace talvor::testing
