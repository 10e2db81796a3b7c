// Default Addr Mail: sets Contact.DefaultAddFrom to "0" for every contact of the agency
// typed in the Agency Code box (as typed, not justified), in one statement. Touches: table
// Contact (PvQuery1). A statement the database refuses is reported as "Query Failed" and the
// run still ends normally. No report file, no question.
#include <string>

#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/text/text.h"
#include "sqldb/error.h"

namespace talvor {

void DefaultAddrMail(TForm1& form) {
  form.Label3 = "Running Query";
  form.ProcessMessages();
  const std::string statement =
      "update \"Contact\" set DefaultAddFrom = '0' where AgyCode = " + SqlQuote(form.edtAgyCode);
  try {
    form.PvQuery1.SetDatabaseName(form.edtODBCName);
    form.PvQuery1.SqlClear();
    form.PvQuery1.SqlAdd(statement);
    form.PvQuery1.Open();
    form.PvQuery1.Close();
  } catch (const sqldb::Error&) {
    form.Notify("Query Failed");
  }
  form.Label3 = "Done";
}

}  // namespace talvor
