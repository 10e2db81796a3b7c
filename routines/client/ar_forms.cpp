// AR Forms: for every client of every agency that has a line "01" in the agency master file
// "ap", sets the balance method letter (`BalMethodCd`) of its line "00" to "B" and, in its
// Customer row, `ActiveStatus` to "Y" and `FormsType` to 1 (the counterpart of "B").
// Inactive clients become active. A client without line "01" or line "00" is not changed in
// either store. Touches: "ap" (a walking handle and a write handle), table Customer
// (tblClients). Writes no report; asks nothing.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"

namespace talvor {

void ArForms(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;

  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();
  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  BtrHandle writeHandle;
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, writeHandle, path, "ap2");

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string line00 = layout::BlankRecord(ap::kBufferLength);
  const std::string start = std::string(ap::kClient) + "000";

  for (int status = btrGetGreater(readHandle, record.data(), &length, start.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    const std::string agency = GetField(record, ap::AgyCode);
    const std::string number = GetField(record, ap::Number);
    form.Label3 = agency + "/" + number;
    form.ProcessMessages();
    if (GetField(record, ap::RecType) != ap::kClient || GetField(record, ap::Line) != "01") {
      continue;
    }
    form.Label3 = agency + "/" + number + "[" + GetField(record, ap::client01::Underwriter) + "]";
    form.ProcessMessages();

    std::string key = record.substr(0, ap::RecTypeCopy.end());
    layout::SetField(key, ap::Line, "00");
    if (btrGetEqual(writeHandle, line00.data(), &length, key.c_str(), 0, 0) != kBtrOk) continue;
    layout::SetField(line00, ap::line00::BalMethodCd, "B");
    btrUpdate(writeHandle, line00.data(), &length);
    if (form.tblClients.Locate("AgyCode;Number", {agency, number})) {
      form.tblClients.Edit();
      form.tblClients.SetString("ActiveStatus", "Y");
      form.tblClients.SetInteger("FormsType", 1);
      form.tblClients.Post();
    }
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  form.tblClients.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
