// SmartCase CLT: gives the clients of the agency in the Agency Code box readable mixed-case
// names, trade names, address lines and cities (SmartCase) in their Customer rows, and
// carries name, address, city and state into each client's name-and-address line "00" of
// the agency master file "ap", creating the line where it is missing. Touches: "ap" (one
// handle, read and written), table Customer (tblClients, filtered on the agency). No report
// file, no question; a failed write of a legacy line is not reported.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/kit/client_key_check.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void SmartCaseClt(TForm1& form) {
  namespace ap = layout::ap;
  namespace line00 = layout::ap::line00;
  using layout::SetField;

  BtrHandle apFile;
  OpenLegacyFile(form, apFile, LegacyPath(form, "ap"), "ap");

  std::string record = layout::BlankRecord(ap::kBufferLength);
  int length = ap::kBufferLength;

  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();
  form.tblClients.SetFilter("AgyCode = " + SqlQuote(form.edtAgyCode));
  form.tblClients.SetFiltered(true);
  for (form.tblClients.First(); !form.tblClients.Eof(); form.tblClients.Next()) {
    const std::string agency = form.tblClients.AsString("AgyCode");
    const std::string number = form.tblClients.AsString("Number");
    const std::string storedName = form.tblClients.AsString("Name");
    form.Label3 = agency + ":" + number + ":" + storedName;
    form.ProcessMessages();

    const std::string state = PadRight(form.tblClients.AsString("State"), 2);
    const std::string name = SmartCase(storedName);
    const std::string dba = SmartCase(form.tblClients.AsString("DBA"));
    const std::string address1 = SmartCase(form.tblClients.AsString("Address1"));
    const std::string address2 = SmartCase(form.tblClients.AsString("Address2"));
    const std::string city = SmartCase(form.tblClients.AsString("City"));

    form.tblClients.Edit();
    form.tblClients.SetString("Name", name);
    form.tblClients.SetString("DBA", dba);
    form.tblClients.SetString("Address1", address1);
    form.tblClients.SetString("Address2", address2);
    form.tblClients.SetString("City", city);
    form.tblClients.Post();

    if (!ClientFitsApKey(form, agency, number)) continue;
    const std::string key = layout::ApKey(ap::kClient, agency, number, "00");
    if (btrGetEqual(apFile, record.data(), &length, key.c_str(), 0, 0) == kBtrOk) {
      SetField(record, line00::Name, LeftJustify(name, line00::Name.width));
      SetField(record, line00::Address1, LeftJustify(address1, line00::Address1.width));
      SetField(record, line00::Address2, LeftJustify(address2, line00::Address2.width));
      SetField(record, line00::City, LeftJustify(city, line00::City.width));
      SetField(record, line00::State, state);
      btrUpdate(apFile, record.data(), &length);
    } else {
      // A new line: blanks wherever no field is set, also past the record in the buffer.
      record = layout::BlankRecord(ap::kBufferLength);
      SetField(record, ap::Key, key);
      SetField(record, ap::RecTypeCopy, ap::kClient);
      SetField(record, line00::Alpha, LeftJustify(UpperCase(name), line00::Alpha.width));
      SetField(record, line00::Name, LeftJustify(name, line00::Name.width));
      SetField(record, line00::TypeLetter, "C");
      SetField(record, line00::Address1, LeftJustify(address1, line00::Address1.width));
      SetField(record, line00::Address2, LeftJustify(address2, line00::Address2.width));
      SetField(record, line00::City, LeftJustify(city, line00::City.width));
      SetField(record, line00::State, LeftJustify(state, line00::State.width));
      SetField(record, line00::ZipNine,
               LeftJustify(form.tblClients.AsString("Zip"), line00::ZipNine.width));
      SetField(record, line00::BillMethodCd, "O");
      SetField(record, line00::BalMethodCd, "B");
      btrInsert(apFile, record.data(), &length, 0);
    }
  }

  form.tblClients.Close();
  btrClose(apFile);
  form.Label3 = "Done!!";
}

}  // namespace talvor
