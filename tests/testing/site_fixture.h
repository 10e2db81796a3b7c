// A small site for routine tests: a fresh working directory holding the legacy data folder
// "data/" and the agency database "AGYFORMS.db", a main window (TForm1) pointed at them with
// the scripted front end and a clock standing at 2026-12-08 10:00:00, and ways to put in
// and read back records, rows and report files.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "legacy/fault_injection.h"
#include "shell/form.h"
#include "shell/run_protocol.h"
#include "tests/testing/scripted_frontend.h"
#include "shell/text/dates.h"

namespace talvor::testing {

class SiteTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The data folder as the Datapath box holds it (absolute, without a trailing separator).
  std::string DataPath() const;

  // Legacy record files in the data folder. `name` is a known file ("ap", "POL", ...).
  // Creates the empty file with its known definition.
  void CreateFile(const std::string& name);
  // Adds records (each blank-padded or cut to the record length); creates the file first
  // when it does not exist. Fails the test on a duplicate key.
  void Put(const std::string& name, const std::vector<std::string>& records);
  void Put(const std::string& name, const std::string& record) { Put(name, std::vector{record}); }
  // Every record in key-0 order.
  std::vector<std::string> Records(const std::string& name) const;
  // The first record whose bytes start with `prefix`, if any.
  std::optional<std::string> Find(const std::string& name, std::string_view prefix) const;

  // Agency databases in the working directory: "AGYFORMS.db" exists from the start; others
  // ("CONVERT") are created empty with the catalog's tables by CreateDatabase.
  void CreateDatabase(const std::string& alias);
  // Runs SQL (any number of statements) on the database of `alias`, through a connection
  // of its own.
  void Sql(const std::string& sql, const std::string& alias = "AGYFORMS") const;
  // The rows of a SELECT, each column as text; NULL reads "<null>".
  std::vector<std::vector<std::string>> Rows(const std::string& sql,
                                             const std::string& alias = "AGYFORMS") const;
  // The first column of the first row ("<none>" without a row).
  std::string Value(const std::string& sql, const std::string& alias = "AGYFORMS") const;

  // A report file's lines, split at CR LF; fails the test when a line ends otherwise or the
  // file is missing.
  std::vector<std::string> ReportLines(const std::string& name) const;
  bool FileExists(const std::string& name) const;
  std::string ReadFile(const std::string& name) const;
  void WriteFile(const std::string& name, const std::string& bytes) const;

  // Runs a routine through the run protocol.
  RunOutcome Run(void (*routine)(TForm1&));
  RunOutcome Run(void (*routine)(TForm1&, bool), bool flag);

  ScriptedFrontend fe;
  FixedClock clock{DateTime{Date{2026, 12, 8}, 10, 0, 0}};
  std::unique_ptr<TForm1> form;
  ScopedFaults faults;

 private:
  std::string previousDir_;
  std::string dir_;
};

}  // namespace talvor::testing
