// Damaged and foreign files where the workbench expects record files or the agency
// database: the engine refuses them with the documented status and never writes to them,
// and every built routine meets them with its own failure handling, a message that names
// the file, and no crash.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "legacy/engine.h"
#include "legacy/record_file.h"
#include "sqldb/catalog.h"
#include "tests/reliability/reliability_support.h"

namespace talvor::testing {
namespace {

namespace fs = std::filesystem;

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xff);
  return bytes;
}

void RunSql(const fs::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
      << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

const char* const kLegacyFiles[] = {"ap",     "extap", "POL",       "JCKI",    "OLDJCKI", "DESC",
                                    "DIANDX", "risk",  "forms.ndx", "DiaData", "JCKI102705"};

bool NamesTheProblem(const std::string& message) {
  for (const char* file : {"AGYFORMS", "CONVERT", "fed_id.txt", "ISUCODES.TXT"}) {
    if (message.find(file) != std::string::npos) return true;
  }
  for (const sqldb::TableDef& table : sqldb::AgencyTables()) {
    if (message.find(table.name) != std::string::npos) return true;
  }
  return false;
}

// ---- the engine on one damaged "ap" ----

struct Damage {
  const char* name;
  // Turns the good file `ap` (200 records) into the damaged one.
  std::function<void(const fs::path& ap)> apply;
  int openStatus;  // what btrOpen gives
  int readStatus;  // what the first btrGetFirst gives when the open succeeded
};

void Truncate(const fs::path& ap, std::uintmax_t size) { fs::resize_file(ap, size); }

void Overwrite(const fs::path& ap, const std::string& bytes) {
  fs::remove(ap);
  std::ofstream(ap, std::ios::binary) << bytes;
}

const Damage kDamages[] = {
    {"TruncatedToItsHeader", [](const fs::path& ap) { Truncate(ap, 100); }, kBtrNotRecordFile, 0},
    {"TruncatedToHalf", [](const fs::path& ap) { Truncate(ap, fs::file_size(ap) / 2); },
     kBtrNotRecordFile, 0},
    {"Garbage", [](const fs::path& ap) { Overwrite(ap, RandomBytes(8192, 1)); }, kBtrNotRecordFile,
     0},
    {"SqliteHeaderThenGarbage",
     [](const fs::path& ap) {
       Overwrite(ap, std::string("SQLite format 3", 16) + RandomBytes(8176, 2));
     },
     kBtrNotRecordFile, 0},
    {"AgencyDatabase",
     [](const fs::path& ap) {
       fs::remove(ap);
       sqldb::CreateAgencyDatabase(ap);
     },
     kBtrNotRecordFile, 0},
    {"SqliteOfAnotherShape",
     [](const fs::path& ap) {
       fs::remove(ap);
       RunSql(ap, "CREATE TABLE records(k0 BLOB PRIMARY KEY, data BLOB); INSERT INTO records "
                  "VALUES(x'00', x'00');");
     },
     kBtrNotRecordFile, 0},
    {"RecordFileWithoutItsRecordsTable",
     [](const fs::path& ap) { RunSql(ap, "DROP TABLE records;"); }, kBtrNotRecordFile, 0},
    {"RecordFileWithAKeyOutsideTheRecord",
     [](const fs::path& ap) { RunSql(ap, "UPDATE recfile_keys SET offset = 200;"); },
     kBtrNotRecordFile, 0},
    {"RecordOfTheWrongLength",
     [](const fs::path& ap) {
       RunSql(ap, "INSERT INTO records VALUES(x'00', x'0001');");  // sorts first
     },
     kBtrOk, kBtrIoError},
    {"EmptyFile", [](const fs::path& ap) { Overwrite(ap, ""); }, kBtrNotRecordFile, 0},
    {"Directory",
     [](const fs::path& ap) {
       fs::remove(ap);
       fs::create_directory(ap);
     },
     kBtrNotRecordFile, 0},
};

class EveryRoutineOnBrokenDatabaseTest : public EveryRoutineTest {
 protected:
  void SetUp() override {
    EveryRoutineTest::SetUp();
    // The routines' other inputs, whole, so that their runs reach the agency database.
    WriteFile("fed_id.txt", "01        1001   12-3456789\r\n");
    WriteFile("ISUCODES.TXT", "  1001                    AUTO01\r\n");
    CreateDatabase("CONVERT");
    for (const char* name : kLegacyFiles) CreateFile(name);
    fs::remove("AGYFORMS.db");
  }
};

class DamagedRecordFileTest : public SiteTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedRecordFileTest, EngineRefusesItAndWritesNothing) {
  std::vector<std::string> records;
  for (int i = 0; i < 200; ++i) records.push_back(" 1" + std::to_string(100000 + i));
  Put("ap", records);
  const fs::path ap = fs::path(DataPath()) / "ap";
  GetParam().apply(ap);
  const auto before = SnapshotTree(DataPath());

  BtrHandle handle;
  const std::string path = (fs::path(DataPath()) / "ap").string();
  ASSERT_EQ(btrOpen(handle, "", path.c_str(), 1, 1, 0), GetParam().openStatus);
  std::string buffer(128, ' ');
  int length = 128;
  if (GetParam().openStatus == kBtrOk) {
    EXPECT_EQ(btrGetFirst(handle, buffer.data(), &length, 0, 0), GetParam().readStatus);
    // The damaged record stops a walk; it does not bring the rest down.
    EXPECT_EQ(btrGetGreater(handle, buffer.data(), &length, " 1100000", 0, 0), kBtrOk);
  } else {
    EXPECT_EQ(btrGetFirst(handle, buffer.data(), &length, 0, 0), kBtrFileNotOpen);
    EXPECT_EQ(btrInsert(handle, buffer.data(), &length, 0), kBtrFileNotOpen);
  }
  btrClose(handle);
  EXPECT_EQ(SnapshotTree(DataPath()), before) << "the engine wrote into a file it refused";

  std::string error;
  RecordFileInfo info;
  if (GetParam().openStatus != kBtrOk) {
    EXPECT_FALSE(ReadRecordFileInfo(path, &info, &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("not a record file"), std::string::npos) << error;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedRecordFileTest, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

// A file this user may not read. The suite runs as root in CI, who reads anything: the
// open is then tried by a child process that has given up root for "nobody".
TEST_F(SiteTest, UnreadableRecordFileIsRefusedWithoutBeingWritten) {
  Put("ap", " 1100000");
  const fs::path ap = fs::path(DataPath()) / "ap";
  const auto before = Records("ap");
  fs::permissions(ap, fs::perms::none);
  auto tryOpen = [&]() -> int {
    BtrHandle handle;
    return btrOpen(handle, "", ap.string().c_str(), 1, 1, 0);
  };
  int status = -1;
  if (!std::ifstream(ap).is_open()) {
    status = tryOpen();
  } else {
    // Every folder on the way must let "nobody" through, so that only the file refuses.
    for (fs::path dir = ap.parent_path(); dir != dir.root_path(); dir = dir.parent_path()) {
      fs::permissions(dir, fs::perms::others_exec, fs::perm_options::add);
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(200);
      if (std::ifstream(ap).is_open()) _exit(201);
      _exit(tryOpen());
    }
    int wait = 0;
    ASSERT_EQ(waitpid(child, &wait, 0), child);
    ASSERT_TRUE(WIFEXITED(wait));
    status = WEXITSTATUS(wait);
    if (status == 200) {
      fs::permissions(ap, fs::perms::owner_read | fs::perms::owner_write);
      GTEST_SKIP() << "this user reads files whatever their permissions and cannot become another";
    }
    ASSERT_NE(status, 201) << "the file stayed readable for \"nobody\"";
  }
  EXPECT_NE(status, kBtrOk);
  EXPECT_TRUE(status == kBtrIoError || status == kBtrNotRecordFile || status == kBtrFileLocked)
      << status;
  fs::permissions(ap, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Records("ap"), before);
}

// ---- every routine on damaged files ----


class EveryRoutineOnDamagedRecordFiles : public EveryRoutineTest,
                                         public ::testing::WithParamInterface<const char*> {
 protected:
  void Damage(const fs::path& file) {
    const std::string kind = GetParam();
    if (kind == std::string("Garbage")) {
      std::ofstream(file, std::ios::binary) << RandomBytes(4096, 7);
    } else if (kind == std::string("AgencyDatabase")) {
      sqldb::CreateAgencyDatabase(file);
    } else {
      fs::create_directory(file);
    }
  }
};

TEST_P(EveryRoutineOnDamagedRecordFiles, EachSaysWhichFileAndWritesNothing) {
  for (const char* name : kLegacyFiles) Damage(fs::path(DataPath()) / name);
  const auto before = SnapshotTree(DataPath());
  int openFailures = 0;
  for (const RoutineRun& run : RunEveryRoutine()) {
    SCOPED_TRACE(run.caption);
    EXPECT_EQ(SnapshotTree(DataPath()), before) << "a damaged record file was written";
    for (const std::string& message : run.messages) {
      if (message.rfind("Unable to open ", 0) != 0) continue;
      ++openFailures;
      EXPECT_NE(message.find(DataPath()), std::string::npos) << message;
      EXPECT_NE(message.find("status is 30"), std::string::npos) << message;
    }
  }
  EXPECT_GT(openFailures, 0) << "no routine reached a damaged file";
}

INSTANTIATE_TEST_SUITE_P(Kinds, EveryRoutineOnDamagedRecordFiles,
                         ::testing::Values("Garbage", "AgencyDatabase", "Directory"));

// ---- every routine on a damaged agency database ----


TEST_F(EveryRoutineOnBrokenDatabaseTest, WithoutItsTablesEachRunEndsNamingWhatIsMissing) {
  RunSql("AGYFORMS.db", "CREATE TABLE Unrelated(x INTEGER);");
  for (const RoutineRun& run : RunEveryRoutine()) {
    SCOPED_TRACE(run.caption);
    if (!run.outcome.completed) {
      EXPECT_TRUE(NamesTheProblem(run.outcome.error)) << run.outcome.error;
    }
  }
  EXPECT_EQ(Value("SELECT group_concat(name) FROM sqlite_master"), "Unrelated");
}

TEST_F(EveryRoutineOnBrokenDatabaseTest, TablesWithoutTheirColumnsEndEachRunNamingThem) {
  std::string sql;
  for (const sqldb::TableDef& table : sqldb::AgencyTables()) {
    sql += "CREATE TABLE \"" + std::string(table.name) + "\"(Junk TEXT); INSERT INTO \"" +
           std::string(table.name) + "\" VALUES('x');";
  }
  RunSql("AGYFORMS.db", sql);
  Put("ap", " 1100000");
  for (const RoutineRun& run : RunEveryRoutine()) {
    SCOPED_TRACE(run.caption);
    if (!run.outcome.completed) {
      EXPECT_TRUE(NamesTheProblem(run.outcome.error)) << run.outcome.error;
    }
  }
}

TEST_F(EveryRoutineOnBrokenDatabaseTest, OneThatIsNotADatabaseIsNeverWritten) {
  const std::string garbage = RandomBytes(16384, 3);
  WriteFile("AGYFORMS.db", garbage);
  for (const RoutineRun& run : RunEveryRoutine()) {
    SCOPED_TRACE(run.caption);
    EXPECT_EQ(ReadFile("AGYFORMS.db"), garbage);
    EXPECT_FALSE(FileExists("AGYFORMS.db-wal"));
    if (!run.outcome.completed) {
      EXPECT_TRUE(NamesTheProblem(run.outcome.error)) << run.outcome.error;
    }
  }
}

TEST_F(EveryRoutineOnBrokenDatabaseTest, AMissingOneIsNeverCreated) {
  for (const RoutineRun& run : RunEveryRoutine()) {
    SCOPED_TRACE(run.caption);
    EXPECT_FALSE(FileExists("AGYFORMS.db"));
    if (!run.outcome.completed) {
      EXPECT_TRUE(NamesTheProblem(run.outcome.error)) << run.outcome.error;
    }
  }
}

}  // namespace
}  // namespace talvor::testing
