// Cust->AP: carries every client of the Customer table (all agencies) into the agency master
// file "ap": its name-and-address line "00" and its line "01" (territory, user codes, first
// phone, contact, producer, sub-producer and CSR) are updated, or created when missing; an
// existing line "00" keeps its alpha code. Touches: "ap" (one handle, read and written),
// table Customer (tblClients, read only). No report file, no question; a failed write of a
// legacy line is not reported.
// Deliberate difference from the legacy routine:
// - the phone loses its punctuation before it is cut, so "(555)123-4567" keeps all ten digits.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/kit/client_key_check.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void CustToAp(TForm1& form) {
  namespace ap = layout::ap;

  BtrHandle apFile;
  OpenLegacyFile(form, apFile, LegacyPath(form, "ap"), "ap");

  std::string record = layout::BlankRecord(ap::kBufferLength);
  int length = ap::kBufferLength;
  // Copies a whole new line into the buffer; the bytes past the record stay blank.
  auto place = [&record](const std::string& line) {
    record = layout::BlankRecord(ap::kBufferLength);
    record.replace(0, line.size(), line);
  };

  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();
  for (form.tblClients.First(); !form.tblClients.Eof(); form.tblClients.Next()) {
    layout::CustomerRow row;
    row.AgyCode = form.tblClients.AsString("AgyCode");
    row.Number = form.tblClients.AsString("Number");
    row.Name = form.tblClients.AsString("Name");
    row.Address1 = form.tblClients.AsString("Address1");
    row.Address2 = form.tblClients.AsString("Address2");
    row.City = form.tblClients.AsString("City");
    row.State = form.tblClients.AsString("State");
    row.Zip = form.tblClients.AsString("Zip");
    row.UserCode1 = form.tblClients.AsString("UserCode1");
    row.UserCode2 = form.tblClients.AsString("UserCode2");
    row.UserCode3 = form.tblClients.AsString("UserCode3");
    row.ContactName = form.tblClients.AsString("ContactName");
    row.Underwriter = form.tblClients.AsString("Underwriter");
    row.SubPrdCode = form.tblClients.AsString("SubPrdCode");
    row.CSR = form.tblClients.AsString("CSR");
    row.Phone1 = form.tblClients.AsString("Phone1");
    row.Territory = form.tblClients.AsString("Territory");
    row.CustType = static_cast<int>(form.tblClients.AsInteger("CustType"));
    form.Label3 = RightJustify(row.AgyCode, 2) + RightJustify(row.Number, 6);
    form.ProcessMessages();
    if (!ClientFitsApKey(form, row.AgyCode, row.Number)) continue;

    const std::string key00 = layout::ApKey(ap::kClient, row.AgyCode, row.Number, "00");
    if (btrGetEqual(apFile, record.data(), &length, key00.c_str(), 0, 0) == kBtrOk) {
      layout::SetClientLine00(record, row);
      btrUpdate(apFile, record.data(), &length);
    } else {
      place(layout::NewClientLine00(row));
      btrInsert(apFile, record.data(), &length, 0);
    }

    const std::string key01 = layout::ApKey(ap::kClient, row.AgyCode, row.Number, "01");
    if (btrGetEqual(apFile, record.data(), &length, key01.c_str(), 0, 0) == kBtrOk) {
      layout::SetClientLine01(record, row);
      btrUpdate(apFile, record.data(), &length);
    } else {
      place(layout::NewClientLine01(row));
      btrInsert(apFile, record.data(), &length, 0);
    }
  }

  form.Label3 = "Done!";
  form.tblClients.Close();
  btrClose(apFile);
}

}  // namespace talvor
