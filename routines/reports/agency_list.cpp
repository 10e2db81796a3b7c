// Agency List: every agency of the database with the date stamp of its last policy memo,
// which shows which agencies of a shared database are still in use.
//
// "Last" is the last memo of the agency in the PolMemo table's own order, not the latest
// date stamp. Changes nothing. Reads Agency (tblAgency) and PolMemo (tblPolMemo) on the
// alias of the ODBC name box. Writes "AgyList.TXT": per agency its code, its name cut or
// padded to 35 characters and the memo's date stamp (nothing after the name's blank when
// the agency has no memo). Asks nothing.
#include <string>

#include "routines/reports/reports_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "shell/text/text.h"

namespace talvor {

void AgencyList(TForm1& form) {
  sqldb::Table& agencies = form.tblAgency;
  sqldb::Table& memos = form.tblPolMemo;
  agencies.SetDatabaseName(form.edtODBCName);
  memos.SetDatabaseName(form.edtODBCName);
  agencies.Open();
  memos.Open();
  ReportFile list(form, "AgyList.TXT");

  for (agencies.First(); !agencies.Eof(); agencies.Next()) {
    const std::string code = agencies.AsString("AgyCode");
    const std::string name = agencies.AsString("AgencyName");
    memos.SetFilter("AgyCode = " + SqlQuote(code));
    memos.SetFiltered(true);
    form.Label3 = code + ":" + name;
    form.ProcessMessages();

    memos.Last();
    const std::string stamp = memos.AsString("DateStamp");
    list.Line(code + " " + LeftJustify(name, 35) + " " + stamp);
  }

  form.Label3 = "Done";
  list.Close();
  agencies.Close();
  memos.Close();
}

}  // namespace talvor
