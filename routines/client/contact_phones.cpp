// Contact Phones: brings every contact's four phones into the display form and fills an
// empty one (kEmptyPhone) in positions 1, 2 and 4 from the phones of the contact's client,
// by the client's type; each empty phone found there is logged in "reset_phone.log".
// Touches: tables Contact (tblContact, walked and written) and Customer (tblClients, read).
// No legacy file, no question. The status label keeps the last contact's text.
#include <string>

#include "routines/client/client_routines.h"
#include "routines/kit/phone_format.h"
#include "shell/form.h"
#include "shell/report_file.h"

namespace talvor {

void ContactPhones(TForm1& form) {
  ReportFile log(form, "reset_phone.log");
  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblContact.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();
  form.tblContact.Open();

  for (form.tblContact.First(); !form.tblContact.Eof(); form.tblContact.Next()) {
    const std::string agency = form.tblContact.AsString("AgyCode");
    const std::string client = form.tblContact.AsString("CltNum");
    const std::string number = form.tblContact.AsString("Number");
    form.Label3 = agency + "/" + client + "/" + number + "/" + form.tblContact.AsString("Name");
    form.ProcessMessages();

    std::string clientPhone1(kEmptyPhone);
    std::string clientPhone2(kEmptyPhone);
    int clientType = 1;
    if (form.tblClients.Locate("AgyCode;Number", {agency, client})) {
      clientPhone1 = form.tblClients.AsString("Phone1");
      clientPhone2 = form.tblClients.AsString("Phone2");
      clientType = static_cast<int>(form.tblClients.AsInteger("CustType"));
    }
    const std::string logTail = agency + "][" + client + "][" + number + "][" +
                                std::to_string(clientType) + "][" + clientPhone1 + "][" +
                                clientPhone2 + "]";

    form.tblContact.Edit();

    std::string phone = NormalizePhone(form.tblContact.AsString("Phone1"));
    if (phone == kEmptyPhone) {
      log.Line("Resetting 1 [" + logTail);
      phone = clientType == 0 ? clientPhone2 : clientPhone1;
    }
    form.tblContact.SetString("Phone1", phone);

    phone = NormalizePhone(form.tblContact.AsString("Phone2"));
    if (phone == kEmptyPhone) {
      log.Line("Resetting 2 [" + logTail);
      if (clientType == 0) phone = clientPhone1;
    }
    form.tblContact.SetString("Phone2", phone);

    form.tblContact.SetString("Phone3", NormalizePhone(form.tblContact.AsString("Phone3")));

    phone = NormalizePhone(form.tblContact.AsString("Phone4"));
    if (phone == kEmptyPhone) {
      log.Line("Resetting 4 [" + logTail);
      if (clientType != 0) phone = clientPhone2;
    }
    form.tblContact.SetString("Phone4", phone);

    form.tblContact.Post();
  }

  log.Close();
}

}  // namespace talvor
