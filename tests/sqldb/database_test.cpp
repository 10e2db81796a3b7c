#include "sqldb/database.h"

#include <chrono>
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "sqldb/error.h"
#include "sqldb/query.h"
#include "sqldb/table.h"
#include "sqldb_fixture.h"

namespace talvor::sqldb {
namespace {

using testing::SqldbTest;
namespace fs = std::filesystem;

class ResolveDatabaseNameTest : public SqldbTest {
 protected:
  bool CreateDefaultDatabase() const override { return false; }

  static std::string ErrorOf(std::string_view name) {
    try {
      ResolveDatabaseName(name);
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  }
};

TEST_F(ResolveDatabaseNameTest, DirectoryGivesItsAgencyDb) {
  fs::create_directories("site/data");
  EXPECT_EQ(ResolveDatabaseName("site/data"), fs::path("site/data") / "agency.db");
}

TEST_F(ResolveDatabaseNameTest, DirectoryTypedWithBackslashesDriveLetterAndOtherCase) {
  fs::create_directories("Site/Data");
  WriteFile("Site/Data/AGENCY.DB", "");
  EXPECT_EQ(ResolveDatabaseName("C:SITE\\\\data\\"), fs::path("Site/Data/AGENCY.DB"));
  EXPECT_EQ(ResolveDatabaseName(".\\site\\DATA"), fs::path("Site/Data/AGENCY.DB"));
}

TEST_F(ResolveDatabaseNameTest, AbsoluteDirectory) {
  fs::create_directories("abs");
  const fs::path absolute = fs::absolute("abs");
  EXPECT_EQ(ResolveDatabaseName(absolute.string()), absolute / "agency.db");
}

TEST_F(ResolveDatabaseNameTest, AliasFileMatchesNameWithoutRegardToCase) {
  WriteFile("aliases.cfg",
            "# aliases of this site\n"
            "\n"
            "  CONVERT = conv/new.db  \r\n"
            "AgyForms=live.db\n");
  EXPECT_EQ(ResolveDatabaseName("agyforms"), fs::path("live.db"));
  EXPECT_EQ(ResolveDatabaseName("Convert"), fs::path("conv/new.db"));
}

TEST_F(ResolveDatabaseNameTest, AliasTargetMayBeAbsolute) {
  WriteFile("aliases.cfg", "LIVE=/srv/agency/live.db\n");
  EXPECT_EQ(ResolveDatabaseName("LIVE"), fs::path("/srv/agency/live.db"));
}

TEST_F(ResolveDatabaseNameTest, DirectoryWinsOverAlias) {
  fs::create_directories("AGYFORMS");
  WriteFile("aliases.cfg", "AGYFORMS=live.db\n");
  EXPECT_EQ(ResolveDatabaseName("AGYFORMS"), fs::path("AGYFORMS") / "agency.db");
}

TEST_F(ResolveDatabaseNameTest, AliasWinsOverNameDotDb) {
  WriteFile("aliases.cfg", "AGYFORMS=live.db\n");
  WriteFile("agyforms.db", "");
  EXPECT_EQ(ResolveDatabaseName("AGYFORMS"), fs::path("live.db"));
}

TEST_F(ResolveDatabaseNameTest, NameDotDbInWorkingDirectoryWithoutRegardToCase) {
  WriteFile("Convert.DB", "");
  EXPECT_EQ(ResolveDatabaseName("CONVERT"), fs::path("Convert.DB"));
}

TEST_F(ResolveDatabaseNameTest, MalformedAliasLineIsReportedWithItsNumber) {
  WriteFile("aliases.cfg", "# header\nLIVE live.db\n");
  EXPECT_EQ(ErrorOf("LIVE"), "aliases.cfg line 2: expected NAME=FILE, found \"LIVE live.db\"");
  WriteFile("aliases.cfg", "LIVE=\n");
  EXPECT_EQ(ErrorOf("LIVE"), "aliases.cfg line 1: expected NAME=FILE, found \"LIVE=\"");
}

TEST_F(ResolveDatabaseNameTest, UnknownNamesSayWhereTheyWereLookedFor) {
  for (const char* name : {"AGYFORMS", ""}) {
    EXPECT_EQ(ErrorOf(name).rfind("unknown database \"" + std::string(name) + "\" (in ", 0), 0u)
        << name;
  }
  const std::string here = fs::current_path().string();
  EXPECT_EQ(ErrorOf("AGYFORMS"), "unknown database \"AGYFORMS\" (in " + here +
                                     ": no folder of that name, no AGYFORMS.db, no aliases.cfg; "
                                     "no ODBC data source of that name: the driver manager knows "
                                     "none)");
  WriteFile("aliases.cfg", "OTHER=other.db\n");
  EXPECT_NE(ErrorOf("AGYFORMS").find("no line for it in aliases.cfg"), std::string::npos);
}

TEST_F(ResolveDatabaseNameTest, FileOfAnotherNameDoesNotCount) {
  WriteFile("AGYFORMS.sqlite", "");
  EXPECT_EQ(ErrorOf("AGYFORMS").rfind("unknown database \"AGYFORMS\"", 0), 0u);
}

TEST_F(ResolveDatabaseNameTest, NameWithASeparatorOrEndingInDbIsAFile) {
  EXPECT_EQ(ResolveDatabaseName("no/such/file.db"), fs::path("no/such/file.db"));
  EXPECT_EQ(ResolveDatabaseName("Snapshot.DB"), fs::path("Snapshot.DB"));
  fs::create_directories("Copies");
  WriteFile("Copies/Monday.db", "");
  EXPECT_EQ(ResolveDatabaseName("copies\\MONDAY.DB"), fs::path("Copies/Monday.db"));
}

TEST_F(ResolveDatabaseNameTest, OdbcTargetsDirectOrThroughAnAlias) {
  EXPECT_TRUE(LocateDatabase("odbc:DSN=AGENCY").IsOdbc());
  EXPECT_EQ(LocateDatabase("ODBC:DSN=AGENCY").connection, "DSN=AGENCY");
  WriteFile("aliases.cfg",
            "LIVE = odbc:Driver=/x/psqlodbcw.so;Servername=db1;Database=agency;PWD=s3cret\n"
            "SNAP = snap.db\n");
  const DatabaseTarget live = LocateDatabase("live");
  EXPECT_EQ(live.connection, "Driver=/x/psqlodbcw.so;Servername=db1;Database=agency;PWD=s3cret");
  EXPECT_EQ(live.Shown(), "odbc:Driver=/x/psqlodbcw.so;Servername=db1;Database=agency;PWD=***");
  EXPECT_EQ(LocateDatabase("SNAP").file, fs::path("snap.db"));
  // The components name the server but never its password.
  const std::string message = ErrorOf("LIVE");
  EXPECT_NE(message.find("PWD=***"), std::string::npos) << message;
  EXPECT_EQ(message.find("s3cret"), std::string::npos) << message;
  WriteFile("aliases.cfg", "EMPTY=odbc:\n");
  try {
    LocateDatabase("EMPTY");
    ADD_FAILURE() << "an empty connection string was taken";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "aliases.cfg line 1: \"odbc:\" names no connection");
  }
}

TEST_F(ResolveDatabaseNameTest, DataSourcesOfTheDriverManagerComeLast) {
  WriteFile("odbc.ini", "[Agency_Live]\nDriver = /nowhere/driver.so\nDatabase = x\n");
  const char* before = std::getenv("ODBCINI");
  const std::string saved = before ? before : "";
  setenv("ODBCINI", (fs::current_path() / "odbc.ini").c_str(), 1);
  EXPECT_EQ(LocateDatabase("AGENCY_LIVE").connection, "DSN=Agency_Live");
  EXPECT_NE(ErrorOf("NOSUCH").find("the driver manager knows Agency_Live"), std::string::npos);
  // A file of the name comes first.
  WriteFile("agency_live.db", "");
  EXPECT_FALSE(LocateDatabase("Agency_Live").IsOdbc());
  if (before) {
    setenv("ODBCINI", saved.c_str(), 1);
  } else {
    unsetenv("ODBCINI");
  }
}

TEST_F(ResolveDatabaseNameTest, OpeningNeverCreatesTheFile) {
  WriteFile("aliases.cfg", "LIVE=missing.db\n");
  fs::create_directories("emptydir");
  for (const char* name : {"LIVE", "emptydir"}) {
    Table table("tblClients", name, "Customer");
    try {
      table.Open();
      ADD_FAILURE() << "opened " << name;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("does not exist"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
    EXPECT_FALSE(table.IsOpen());
  }
  EXPECT_FALSE(fs::exists("missing.db"));
  EXPECT_FALSE(fs::exists("emptydir/agency.db"));
}

TEST_F(ResolveDatabaseNameTest, FileThatIsNotADatabaseIsRefused) {
  WriteFile("junk.db", std::string(4096, 'x'));
  Table table("tblClients", "junk", "Customer");
  try {
    table.Open();
    ADD_FAILURE() << "opened a file that is not a database";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("database \"junk\""), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("not a database"), std::string::npos) << e.what();
  }
}

TEST_F(ResolveDatabaseNameTest, FindPathIgnoringCase) {
  fs::create_directories("Data/Sub");
  EXPECT_EQ(FindPathIgnoringCase("data/SUB"), fs::path("Data/Sub"));
  EXPECT_EQ(FindPathIgnoringCase("data\\sub\\"), fs::path("Data/Sub"));
  EXPECT_EQ(FindPathIgnoringCase("./Data//Sub"), fs::path("Data/Sub"));
  EXPECT_EQ(FindPathIgnoringCase("."), fs::path("."));
  EXPECT_FALSE(FindPathIgnoringCase("data/none").has_value());
  EXPECT_FALSE(FindPathIgnoringCase("").has_value());
}

// Every entry of the working directory, and the directory itself, as last changed ten
// seconds ago: what a site looks like while a routine runs.
void AgeEverything() {
  const auto then = fs::file_time_type::clock::now() - std::chrono::seconds(10);
  for (const auto& entry : fs::recursive_directory_iterator(".")) {
    fs::last_write_time(entry.path(), then);
  }
  fs::last_write_time(".", then);
}

// Rewrites `path` with bytes of the same length and gives it its old time again: a change
// no stamp can see, so that an answer given after it must be a kept one.
void RewriteUnseen(const fs::path& path, const std::string& text) {
  const auto when = fs::last_write_time(path);
  ASSERT_EQ(fs::file_size(path), text.size());
  std::ofstream(path, std::ios::binary) << text;
  fs::last_write_time(path, when);
}

TEST_F(ResolveDatabaseNameTest, KeptAnswerIsGivenAgainUntilWhatItCameFromChanges) {
  WriteFile("aliases.cfg", "AGY=one.db\n");
  WriteFile("one.db", "");
  WriteFile("two.db", "");
  AgeEverything();
  NameResolution located;
  EXPECT_EQ(located.Locate("AGY").file, fs::path("one.db"));
  EXPECT_EQ(located.ExistingFile(), fs::canonical("one.db"));

  RewriteUnseen("aliases.cfg", "AGY=two.db\n");
  EXPECT_EQ(located.Locate("AGY").file, fs::path("one.db")) << "the answer was not kept";
  EXPECT_EQ(located.Locate("agy").file, fs::path("two.db")) << "another name is located";

  // aliases.cfg written now.
  RewriteUnseen("aliases.cfg", "AGY=one.db\n");
  EXPECT_EQ(located.Locate("AGY").file, fs::path("one.db"));
  WriteFile("aliases.cfg", "AGY=two.db\n");
  EXPECT_EQ(located.Locate("AGY").file, fs::path("two.db"));

  // An entry made in the working directory: a folder of the name comes first.
  AgeEverything();
  EXPECT_EQ(located.Locate("AGY").file, fs::path("two.db"));
  fs::create_directory("agy");
  EXPECT_EQ(located.Locate("AGY").file, fs::path("agy") / "agency.db");
  EXPECT_TRUE(located.ExistingFile().empty());

  // The database file removed (in a folder of its own, so that only the folder changes).
  WriteFile("agy/agency.db", "");
  AgeEverything();
  EXPECT_EQ(located.Locate("AGY").file, fs::path("agy") / "agency.db");
  EXPECT_FALSE(located.ExistingFile().empty());
  fs::remove("agy/agency.db");
  EXPECT_EQ(located.Locate("AGY").file, fs::path("agy") / "agency.db");
  EXPECT_TRUE(located.ExistingFile().empty());
}

TEST_F(ResolveDatabaseNameTest, AnswerIsLocatedAgainInAnotherWorkingDirectory) {
  fs::create_directories("a");
  fs::create_directories("b");
  WriteFile("a/aliases.cfg", "AGY=one.db\n");
  WriteFile("b/aliases.cfg", "AGY=two.db\n");
  AgeEverything();
  // Both folders carry the same times, as a copy that kept them would.
  fs::last_write_time("b", fs::last_write_time("a"));
  fs::last_write_time("b/aliases.cfg", fs::last_write_time("a/aliases.cfg"));
  NameResolution located;
  fs::current_path("a");
  EXPECT_EQ(located.Locate("AGY").file, fs::path("one.db"));
  fs::current_path("../b");
  EXPECT_EQ(located.Locate("AGY").file, fs::path("two.db"));
  fs::current_path("..");
}

TEST_F(ResolveDatabaseNameTest, AnswerFromFilesChangedJustNowIsNotKept) {
  // Changed within the last two seconds: a change in the same tick of the file system's
  // clock would leave the same time, so nothing is kept.
  WriteFile("aliases.cfg", "AGY=one.db\n");
  WriteFile("one.db", "");
  WriteFile("two.db", "");
  NameResolution located;
  EXPECT_EQ(located.Locate("AGY").file, fs::path("one.db"));
  RewriteUnseen("aliases.cfg", "AGY=two.db\n");
  EXPECT_EQ(located.Locate("AGY").file, fs::path("two.db"));
}

// How long "just now" lasts follows the file system's clock: a time with a fraction of a
// second comes from one that keeps fine times, and half a second is then long ago; a time in
// whole seconds may come from one that ticks once in two, and a second is not.
TEST_F(ResolveDatabaseNameTest, AnAnswerIsKeptOnceItsFilesAreATickOfTheirClockOld) {
  WriteFile("aliases.cfg", "AGY=one.db\n");
  WriteFile("one.db", "");
  WriteFile("two.db", "");
  const auto stampAll = [](fs::file_time_type when) {
    for (const auto& entry : fs::directory_iterator(".")) fs::last_write_time(entry.path(), when);
    fs::last_write_time(".", when);
  };
  using std::chrono::nanoseconds;
  const auto now = fs::file_time_type::clock::now();
  // The whole second at or before half a second ago: between 0.5 and 1.5 seconds ago.
  const auto wholeSecond =
      std::chrono::floor<std::chrono::seconds>(now - std::chrono::milliseconds(500));
  // A fraction of a second past it: at least a third of a second ago.
  const fs::file_time_type fine = wholeSecond + nanoseconds(123456789);
  stampAll(fine);
  if (fs::last_write_time("aliases.cfg") != fine) {
    GTEST_SKIP() << "this file system keeps no fraction of a second";
  }
  NameResolution located;
  EXPECT_EQ(located.Locate("AGY").file, fs::path("one.db"));
  RewriteUnseen("aliases.cfg", "AGY=two.db\n");
  EXPECT_EQ(located.Locate("AGY").file, fs::path("one.db")) << "the answer was not kept";

  // A whole second, less than two seconds ago.
  RewriteUnseen("aliases.cfg", "AGY=one.db\n");
  stampAll(wholeSecond);
  NameResolution again;
  EXPECT_EQ(again.Locate("AGY").file, fs::path("one.db"));
  RewriteUnseen("aliases.cfg", "AGY=two.db\n");
  EXPECT_EQ(again.Locate("AGY").file, fs::path("two.db")) << "the answer was kept";
}

TEST_F(ResolveDatabaseNameTest, QueryOpenedAgainReadsWhereTheAliasNowPoints) {
  for (const char* file : {"one.db", "two.db"}) {
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(file, &handle), SQLITE_OK);
    sqlite3_close(handle);
    Exec(file, std::string("CREATE TABLE T (v TEXT); INSERT INTO T VALUES ('") + file + "')");
  }
  WriteFile("aliases.cfg", "AGY=one.db\n");
  AgeEverything();
  Query query("q", "AGY");
  query.SqlAdd("select v from T");
  for (int i = 0; i < 2; ++i) {
    query.Open();
    EXPECT_EQ(query.AsString("v"), "one.db");
    query.Close();
  }
  WriteFile("aliases.cfg", "AGY=two.db\n");
  query.Open();
  EXPECT_EQ(query.AsString("v"), "two.db");
  query.Close();
  // And a database file that went away is said to be missing, not read through the
  // connection that is still open.
  AgeEverything();
  query.Open();
  query.Close();
  fs::remove("two.db");
  EXPECT_NE(testing::ErrorText([&] { query.Open(); }).find("does not exist"), std::string::npos);
}

}  // namespace
}  // namespace talvor::sqldb
