// Clear Agnt Stmt Tmp: removes the agent statement work tables of one operator, which a
// stale run leaves behind and which then block the next run.
//
// The operator is the house account box, right-justified to three characters (P). Drops
// the tables "Y" + P + "AGTCUST", "AGTHDR", "AGTSMT", "AGTSTMD" and "AGTSTMP" from the
// database of the ODBC name box (through a query of its own), then deletes their data files
// from the data path's "SQLTABLE" directory: the plain files whose names match
// "Y" + P + "AGT*.MKD" without regard to letter case. Shows each table that cannot be
// dropped and the directory it searches. Writes no report file and asks nothing; the status
// label keeps the last table or file it worked on.
//
// Deleting is confined: the directory is listed (not searched with a pattern that could
// name another one), P is compared as literal text (a "*", "?" or separator typed in the box
// matches only itself), and directories, links and anything else that is not a plain file
// are left alone, as is everything below the directory. A dry run of the workbench deletes
// no file; a real run's deletions are in its journal (an undo cannot bring the files back).
#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "legacy/path_rules.h"
#include "routines/reports/reports_routines.h"
#include "shell/form.h"
#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb/query.h"

namespace talvor {

namespace {

namespace fs = std::filesystem;

// The name as the text between the statement's double quotes: a double quote typed in the
// operator box is doubled, so it stays part of the name and cannot end it.
std::string QuotedNameText(const std::string& name) {
  std::string out;
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out;
}

// Whether `file` matches prefix + "*" + ".MKD", letters compared without regard to case.
bool IsWorkTableFile(const std::string& file, const std::string& prefix) {
  static constexpr std::string_view kExtension = ".MKD";
  if (file.size() < prefix.size() + kExtension.size()) return false;
  return EqualsIgnoringCase(std::string_view(file).substr(0, prefix.size()), prefix) &&
         EqualsIgnoringCase(std::string_view(file).substr(file.size() - kExtension.size()),
                            kExtension);
}

// The plain files of `dir` (not below it) that match, in name order. A directory that
// cannot be listed has none.
std::vector<std::string> WorkTableFiles(const fs::path& dir, const std::string& prefix) {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    std::error_code statusError;
    if (!fs::is_regular_file(it->symlink_status(statusError)) || statusError) continue;
    if (IsWorkTableFile(file, prefix)) files.push_back(file);
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Deletes `path` when it is still a plain file, through the run's file operations (which a
// dry run turns off and the journal records). False with *error naming the file and the
// reason when it cannot.
bool DeleteWorkTableFile(TForm1& form, const fs::path& path, std::string* error) {
  std::string why;
  if (form.Files().Delete(path, &why)) return true;
  *error = "cannot delete " + path.string() + ": " + why;
  return false;
}

}  // namespace

void ClearAgntStmtTmp(TForm1& form) {
  const std::string operatorCode = RightJustify(form.edtPrdCode, 3);
  const std::string prefix = "Y" + operatorCode + "AGT";

  sqldb::Query drop("qryDropAgtStmt", form.edtODBCName);
  try {
    for (const char* table : {"AGTCUST", "AGTHDR", "AGTSMT", "AGTSTMD", "AGTSTMP"}) {
      const std::string name = "Y" + operatorCode + table;
      form.Label3 = "Dropping : " + name;
      form.ProcessMessages();
      const std::string statement = "DROP TABLE \"" + QuotedNameText(name) + "\" IN DICTIONARY";
      try {
        drop.SqlClear();
        drop.SqlAdd(statement);
        drop.Open();
        drop.Close();
      } catch (const sqldb::Error&) {
        form.Notify("Error [" + statement + "]");
      }
    }
  } catch (const std::exception&) {
    form.Notify("Main Queury Loop");
  }

  const std::string tableDir = form.edtDatapath + "\\SQLTABLE";
  form.Notify("strDataPath : " + tableDir);

  const std::optional<fs::path> dir = ResolveLegacyPath(tableDir);
  std::error_code ec;
  if (!dir || !fs::is_directory(*dir, ec)) return;
  for (const std::string& file : WorkTableFiles(*dir, prefix)) {
    form.Label3 = "deleting: " + file;
    form.ProcessMessages();
    if (std::string failure; !DeleteWorkTableFile(form, *dir / file, &failure)) {
      form.Notify("Exception deleting temp files [1]: " + failure);
      break;
    }
  }
}

}  // namespace talvor
