// LateChrg YES / LateChrg NO: switches late charges on ("Y") or off ("N") for every client of
// every agency that has a line "01" in the agency master file "ap": the flag byte of that
// line and the client's Customer.GetLateCharges (true/false or 1/0 where the site's
// database declares the column boolean or numeric). Touches: "ap" (a walking handle and a
// write handle), table Customer (tblClients). No report file, no question; a failed update
// of a legacy line and a client missing from the table pass silently.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "routines/kit/column_assign.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"

namespace talvor {

void LateChrg(TForm1& form, bool lateCharges) {
  namespace ap = layout::ap;
  using layout::GetField;

  const std::string flag = lateCharges ? "Y" : "N";

  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();

  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  BtrHandle writeHandle;
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, writeHandle, path, "ap2");

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string copy = layout::BlankRecord(ap::kBufferLength);
  const std::string start = std::string(ap::kClient) + "000";

  for (int status = btrGetGreater(readHandle, record.data(), &length, start.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (record.compare(0, ap::kClient.size(), ap::kClient) != 0 ||
        GetField(record, ap::Line) != "01") {
      continue;
    }
    copy.replace(0, ap::kRecordLength, record, 0, ap::kRecordLength);
    const std::string key = copy.substr(0, ap::RecTypeCopy.end());
    if (btrGetEqual(writeHandle, copy.data(), &length, key.c_str(), 0, 0) != kBtrOk) continue;

    layout::SetField(copy, ap::client01::Line01Flag, flag);
    btrUpdate(writeHandle, copy.data(), &length);
    const std::string agency = GetField(copy, ap::AgyCode);
    const std::string number = GetField(copy, ap::Number);
    form.Label3 = agency + "/" + number;
    form.ProcessMessages();
    if (form.tblClients.Locate("AgyCode;Number", {agency, number})) {
      form.tblClients.Edit();
      AssignTextOr(form.tblClients, "GetLateCharges", flag, lateCharges);
      form.tblClients.Post();
    }
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  form.tblClients.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
