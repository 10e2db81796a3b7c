// Trim Names: removes leading and trailing blanks from Customer.Name of every client of
// every agency; every row is written, also one whose name had nothing to remove. Touches:
// table Customer (tblAgent). No report file, no question, and the status label is left as
// it was.
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/text/text.h"

namespace talvor {

void TrimNames(TForm1& form) {
  form.tblAgent.SetDatabaseName(form.edtODBCName);
  form.tblAgent.Open();
  for (form.tblAgent.First(); !form.tblAgent.Eof(); form.tblAgent.Next()) {
    form.tblAgent.Edit();
    form.tblAgent.SetString("Name", Trim(form.tblAgent.AsString("Name")));
    form.tblAgent.Post();
  }
  form.tblAgent.Close();
}

}  // namespace talvor
