// What the trace tests have the SQL layer do, in a process of its own with its statement
// trace on: a table walk that posts one row, a Locate, a query and a query the engine
// refuses, on "AGYFORMS" of the working directory (a site of SeedTracedSite's rows).
#pragma once

#include <string>
#include <vector>

#include "sqldb/error.h"
#include "sqldb/query.h"
#include "sqldb/table.h"

namespace talvor::sqldb::testing {

// The policies the work walks: six, P1 to P6, of class OLD.
inline std::string TracedSiteRows() {
  std::string sql = "INSERT INTO Policy (AgyCode, PolNum, PolSeq, ClsCode) VALUES ";
  for (int i = 1; i <= 6; ++i) {
    sql += std::string(i > 1 ? ", " : "") + "('01', 'P" + std::to_string(i) + "', 1, 'OLD')";
  }
  return sql;
}

// The rows the walk read, the Locate's answer and the query's rows, as "P1 ... | found | n".
inline std::string DoTracedWork() {
  std::string seen;
  {
    Table t("tblPolicy", "AGYFORMS", "Policy", "Main_idx");
    t.Open();
    for (t.First(); !t.Eof(); t.Next()) {
      seen += t.AsString("PolNum") + " ";
      if (t.AsString("PolNum") == "P3") {
        t.Edit();
        t.SetString("ClsCode", "NEW");
        t.Post();
      }
    }
    seen += t.Locate("PolNum", {Variant(std::string("P5"))}) ? "| found " : "| missing ";
  }
  Query q("PvQuery1", "AGYFORMS");
  q.SqlAdd("SELECT PolNum FROM Policy WHERE ClsCode = 'OLD' ORDER BY PolNum");
  q.Open();
  seen += "| " + std::to_string(q.RowCount());
  q.Close();
  Query bad("PvQuery2", "AGYFORMS");
  bad.SqlAdd("SELECT * FROM NoSuchTable");
  try {
    bad.Open();
  } catch (const Error&) {
    seen += " refused";
  }
  return seen;
}

}  // namespace talvor::sqldb::testing
