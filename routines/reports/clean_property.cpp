// Clean Property: blanks the named-insured code of property schedule rows.
//
// Property rows (PropA) must carry six blanks as their named-insured code; a conversion
// leaves "     0" on some. Every row with a non-blank code is blanked; where another row of
// the same client already holds its schedule sequence, the row is moved to the next free
// sequence of that client (one past the highest sequence of its blank rows).
// Changes PropA rows through PvQuery1 (the rows to clean), PvQuery2 (probe and blanking) and
// PvQuery3 (next free sequence and move), on the alias of the ODBC name box. Writes every
// move and failure to "CleanProp.txt". Asks nothing.
#include <cstdint>
#include <string>

#include "routines/reports/reports_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "shell/text/text.h"

namespace talvor {

void CleanProperty(TForm1& form) {
  const std::string blank(6, ' ');
  const std::string converted = "     0";
  ReportFile report(form, "CleanProp.txt");
  sqldb::Query& outer = form.PvQuery1;
  sqldb::Query& probe = form.PvQuery2;
  sqldb::Query& mover = form.PvQuery3;
  outer.SetDatabaseName(form.edtODBCName);
  probe.SetDatabaseName(form.edtODBCName);
  mover.SetDatabaseName(form.edtODBCName);

  outer.SqlClear();
  outer.SqlAdd("Select * from \"PropA\" where NamedInsured <> " + SqlQuote(blank));
  form.Label3 = "Running Query";
  form.ProcessMessages();
  outer.Open();
  report.Line("Query found " + std::to_string(outer.RowCount()));

  for (outer.First(); !outer.Eof(); outer.Next()) {
    const std::string a = outer.AsString("AgyCode");
    const std::string c = outer.AsString("Client");
    const std::string n = outer.AsString("NamedInsured");
    const std::string s = outer.AsString("SchedSeq");
    const std::int64_t seq = outer.AsInteger("SchedSeq");
    std::string shown = std::to_string(seq);
    if (shown.size() < 2) shown.insert(0, 2 - shown.size(), ' ');
    const std::string where = " where AgyCode = " + SqlQuote(a) + " and Client = " + SqlQuote(c);
    form.Label3 = "[" + a + "][" + c + "][" + n + "][" + s + "]";

    probe.SqlClear();
    probe.SqlAdd("Select * from \"PropA\"" + where + " and SchedSeq = " + s);
    probe.Open();
    const std::int64_t k = probe.RowCount();
    if (k < 2) {
      probe.Close();
      probe.SqlClear();
      probe.SqlAdd("Update \"PropA\" set NamedInsured = " + SqlQuote(blank) + where +
                   " and SchedSeq = " + s);
      probe.Open();
      if (probe.RowCount() == 0)
        report.Line("[" + a + "][" + c + "][" + shown + "] <- update failed");
    } else {
      report.Write("[" + a + "][" + c + "][" + shown + "](" + std::to_string(k) + ")");

      // The next free sequence: one past the highest sequence of the client's blank rows.
      const std::string next = "Select * from \"PROPA\"" + where +
                               " and NamedInsured = " + SqlQuote(blank) + " ORDER BY SchedSeq DESC";
      report.Line(">>>" + next);
      mover.SqlClear();
      mover.SqlAdd(next);
      mover.Open();
      std::int64_t free = 1;
      if (mover.RowCount() != 0) {
        free = mover.AsInteger("SchedSeq") + 1;
        report.Line("Query [" + a + "][" + c + "] " + std::to_string(mover.RowCount()) +
                    " matches and will use [" + std::to_string(free) + "]");
      } else {
        report.Line("Query [" + a + "][" + c + "] had zero matches");
      }
      mover.Close();
      report.Line(" Will Relocate to (" + std::to_string(free) + ")");

      const std::string oldSeq = std::to_string(seq);
      const std::string newSeq = std::to_string(free);
      const std::string move =
          "Update \"PROPA\" Set NamedInsured = " + SqlQuote(blank) + ", SchedSeq =" + newSeq +
          where + " and NamedInsured = " + SqlQuote(converted) + " and SchedSeq = " + oldSeq;
      const std::string moved = "[" + a + "][" + c + "][" + oldSeq + "][" + newSeq + "]";
      report.Line("Moving " + moved + ">>>" + move);
      mover.SqlClear();
      mover.SqlAdd(move);
      mover.Open();
      if (mover.RowCount() != 0) {
        report.Line("Query " + moved + " " + std::to_string(mover.RowCount()) + " matches");
      } else {
        report.Line("Query " + moved + " had zero matches");
      }
      mover.Close();
    }
    probe.Close();
    form.ProcessMessages();
  }
  report.Close();
  outer.Close();
  form.Label3 = "Done!";
}

}  // namespace talvor
