#include "tests/testing/site_fixture.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "legacy/record_file.h"
#include "platform/sqlite.h"
#include "sqldb/catalog.h"

namespace talvor::testing {

namespace fs = std::filesystem;

void SiteTest::SetUp() {
  previousDir_ = fs::current_path().string();
  std::random_device random;
  dir_ = (fs::temp_directory_path() /
          ("talvor-site-" + std::to_string(random()) + "-" + std::to_string(random())))
             .string();
  fs::create_directories(fs::path(dir_) / "data");
  fs::current_path(dir_);
  sqldb::CreateAgencyDatabase("AGYFORMS.db");
  form = std::make_unique<TForm1>(fe, clock);
  form->edtDatapath = DataPath();
  form->edtODBCName = "AGYFORMS";
  form->edtAgyCode = "01";
}

void SiteTest::TearDown() {
  form.reset();
  fs::current_path(previousDir_);
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

std::string SiteTest::DataPath() const { return (fs::path(dir_) / "data").string(); }

void SiteTest::CreateFile(const std::string& name) {
  const auto def = KnownFileDefinition(name);
  ASSERT_TRUE(def.has_value()) << name << " is not a known file";
  std::string error;
  ASSERT_TRUE(CreateRecordFile(fs::path(DataPath()) / name, *def, &error)) << error;
}

void SiteTest::Put(const std::string& name, const std::vector<std::string>& records) {
  const fs::path path = fs::path(DataPath()) / name;
  if (!fs::exists(path)) CreateFile(name);
  const auto def = KnownFileDefinition(name);
  ASSERT_TRUE(def.has_value());
  std::vector<std::string> sized;
  for (std::string r : records) {
    r.resize(static_cast<std::size_t>(def->recordLength), ' ');
    sized.push_back(std::move(r));
  }
  std::string error;
  ASSERT_TRUE(LoadRecords(path.string(), sized, &error)) << error;
}

std::vector<std::string> SiteTest::Records(const std::string& name) const {
  std::vector<std::string> out;
  std::string error;
  const bool ok = ForEachRecord((fs::path(DataPath()) / name).string(), 0,
                                [&](std::string_view r) { out.emplace_back(r); }, &error);
  EXPECT_TRUE(ok) << error;
  return out;
}

std::optional<std::string> SiteTest::Find(const std::string& name, std::string_view prefix) const {
  for (const std::string& r : Records(name)) {
    if (r.compare(0, prefix.size(), prefix) == 0) return r;
  }
  return std::nullopt;
}

void SiteTest::CreateDatabase(const std::string& alias) { sqldb::CreateAgencyDatabase(alias + ".db"); }

namespace {

sqlite::Database OpenDb(const std::string& alias) {
  const std::string file = alias + ".db";
  std::string error;
  sqlite::Database db = sqlite::Database::Open(file, SQLITE_OPEN_READWRITE, &error);
  if (!db) {
    ADD_FAILURE() << "cannot open " << file << ": " << error;
    return db;
  }
  sqlite3_busy_timeout(db.get(), 5000);
  return db;
}

}  // namespace

void SiteTest::Sql(const std::string& sql, const std::string& alias) const {
  sqlite::Database db = OpenDb(alias);
  if (!db) return;
  std::string error;
  EXPECT_EQ(db.Exec(sql, &error), SQLITE_OK) << error << " in: " << sql;
}

std::vector<std::vector<std::string>> SiteTest::Rows(const std::string& sql,
                                                     const std::string& alias) const {
  std::vector<std::vector<std::string>> rows;
  sqlite::Database db = OpenDb(alias);
  if (!db) return rows;
  sqlite::Statement stmt(db.get(), sql);
  if (!stmt) {
    ADD_FAILURE() << db.Message() << " in: " << sql;
    return rows;
  }
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt.get()); ++i) {
      if (sqlite3_column_type(stmt.get(), i) == SQLITE_NULL) {
        row.emplace_back("<null>");
      } else {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), i));
        row.emplace_back(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt.get(), i)));
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string SiteTest::Value(const std::string& sql, const std::string& alias) const {
  const auto rows = Rows(sql, alias);
  if (rows.empty() || rows[0].empty()) return "<none>";
  return rows[0][0];
}

std::vector<std::string> SiteTest::ReportLines(const std::string& name) const {
  std::vector<std::string> lines;
  EXPECT_TRUE(FileExists(name)) << name << " was not written";
  const std::string text = ReadFile(name);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << name << ": last line does not end in CR LF: " << text.substr(start);
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool SiteTest::FileExists(const std::string& name) const { return fs::exists(fs::path(dir_) / name); }

std::string SiteTest::ReadFile(const std::string& name) const {
  std::ifstream in(fs::path(dir_) / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void SiteTest::WriteFile(const std::string& name, const std::string& bytes) const {
  std::ofstream out(fs::path(dir_) / name, std::ios::binary | std::ios::trunc);
  out << bytes;
}

RunOutcome SiteTest::Run(void (*routine)(TForm1&)) {
  const RoutineEntry entry{"test", routine, nullptr, false, ButtonGroup::kGrid, true, true, ""};
  return RunRoutine(*form, entry);
}

RunOutcome SiteTest::Run(void (*routine)(TForm1&, bool), bool flag) {
  const RoutineEntry entry{"test", nullptr, routine, flag, ButtonGroup::kGrid, true, true, ""};
  return RunRoutine(*form, entry);
}

}  // namespace talvor::testing
