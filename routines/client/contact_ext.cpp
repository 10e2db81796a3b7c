// Contact Ext: removes leading and trailing blanks from the phone extension (`PhoneExt`) of
// every contact of every agency. An extension of blanks only is left as it is. Touches:
// table Contact (tblContact, through the session named after the Server box, which stays
// active afterwards). Writes no report; asks nothing.
#include <string>

#include "routines/client/client_routines.h"
#include "routines/kit/server_session.h"
#include "shell/form.h"
#include "routines/kit/open_table.h"
#include "shell/text/text.h"

namespace talvor {

void ContactExt(TForm1& form) {
  StartServerSession(form);
  form.tblContact.SetDatabaseName(form.edtODBCName);
  form.tblContact.SetSessionName(form.edtServerName);
  form.tblContact.SetTableName("Contact");
  // A table that cannot be opened has been reported by OpenTable; there is nothing to do.
  if (OpenTable(form, form.tblContact)) {
    for (form.tblContact.First(); !form.tblContact.Eof(); form.tblContact.Next()) {
      const std::string extension = Trim(form.tblContact.AsString("PhoneExt"));
      form.Label3 = Trim(form.tblContact.AsString("CltNum")) + " " +
                    Trim(form.tblContact.AsString("Number")) + " " +
                    Trim(form.tblContact.AsString("Name"));
      form.ProcessMessages();
      if (extension.empty()) continue;
      form.tblContact.Edit();
      form.tblContact.SetString("PhoneExt", extension);
      form.tblContact.Post();
    }
    form.tblContact.Close();
  }
  form.Label3 = "Done!";
}

}  // namespace talvor
