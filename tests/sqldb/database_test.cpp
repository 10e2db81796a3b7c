#include "sqldb/database.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "sqldb/error.h"
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

}  // namespace
}  // namespace talvor::sqldb
