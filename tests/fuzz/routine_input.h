// The body of the targets that feed a routine its input file: the routine runs through the
// run protocol, as its button would, on a small site whose agency database holds `seedSql`,
// with the fuzz input as the file.
//
// Properties: the routine never crashes; it ends either with its label at "Done" or "Done!"
// or with an error shown to the operator; a run that ended on an error changed no row when
// the routine checks its whole file first (`checksFirst`); the rows of `countedTable` never
// change in number; the database stays whole (integrity check) and keeps every table.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/form.h"
#include "routines/registry.h"
#include "shell/run_protocol.h"
#include "tests/testing/scripted_frontend.h"
#include "sqldb/catalog.h"
#include "tests/fuzz/fuzz_support.h"

namespace talvor::fuzz {

struct RoutineInput {
  const char* caption;       // the routine's button
  const char* fileName;      // its input file in the working directory
  const char* seedSql;       // rows of the small site
  const char* countedTable;  // a table whose row count the routine never changes
  const char* watchSql;      // a SELECT whose result a failed run must leave as it was
  bool checksFirst;          // the routine reads its whole file before changing anything
};

// Every row of `sql` as one text (columns separated by "|", rows by "\n").
inline std::string Snapshot(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK,
        "the snapshot query prepares");
  std::string all;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const unsigned char* text = sqlite3_column_text(stmt, c);
      all += text ? reinterpret_cast<const char*>(text) : "<null>";
      all += '|';
    }
    all += '\n';
  }
  sqlite3_finalize(stmt);
  return all;
}

inline int FuzzRoutineInput(const RoutineInput& spec, const std::uint8_t* data, std::size_t size) {
  static sqlite3* db = [&] {
    const std::filesystem::path& dir = WorkDir();
    std::filesystem::create_directory(dir / "data");
    sqldb::CreateAgencyDatabase(dir / "AGYFORMS.db");
    sqlite3* conn = nullptr;
    Check(sqlite3_open((dir / "AGYFORMS.db").string().c_str(), &conn) == SQLITE_OK,
          "the site database opens");
    Check(sqlite3_exec(conn, spec.seedSql, nullptr, nullptr, nullptr) == SQLITE_OK,
          "the site's rows go in");
    return conn;
  }();
  static const RoutineEntry* entry = FindRoutine(spec.caption);
  if (entry == nullptr) {
    std::fprintf(stderr, "routine \"%s\" is not built; nothing to fuzz\n", spec.caption);
    std::exit(77);
  }

  WriteBytes(WorkDir() / spec.fileName, Bytes(data, size));
  const std::string counted = std::string("SELECT count(*) FROM \"") + spec.countedTable + "\"";
  const std::string countBefore = Snapshot(db, counted);
  const std::string watchedBefore = Snapshot(db, spec.watchSql);

  ScriptedFrontend frontend;
  FixedClock clock(DateTime{Date{2026, 12, 8}, 10, 0, 0});
  TForm1 form(frontend, clock);
  form.edtDatapath = (WorkDir() / "data").string();
  form.edtODBCName = "AGYFORMS";
  form.edtAgyCode = "01";
  const RunOutcome outcome = RunRoutine(form, *entry);

  if (outcome.completed) {
    const std::string label = form.Label3.Caption();
    Check(label == "Done" || label == "Done!", "a finished run says so");
  } else {
    Check(!outcome.error.empty(), "a run that ended on an error says why");
    if (spec.checksFirst) {
      Check(Snapshot(db, spec.watchSql) == watchedBefore, "a refused input file changes nothing");
    }
  }
  Check(Snapshot(db, counted) == countBefore, "the routine adds or removes no row of the table");
  Check(Snapshot(db, "PRAGMA integrity_check") == "ok|\n", "the database stays whole");
  return 0;
}

}  // namespace talvor::fuzz
