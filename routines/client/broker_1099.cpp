// 1099 Scan / 1099Clear: lists every broker client (type letter "B" on line "00" of the
// agency master file "ap", all agencies) whose line "04" holds a 1099 amount other than
// blank, "$0.00", "0" or ten zeros, in "1099over.txt". With the clear flag (1099Clear) it
// also zeroes that amount in line "04" and sets the client's Customer.Amt1099 to "$0.00"
// (zero in a numeric column). Touches: "ap" (a walking handle and a write handle), table
// Customer (tblClients). No question; a failed update of line "04" and a client missing from
// the table pass silently.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "routines/kit/column_assign.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void Broker1099(TForm1& form, bool clear) {
  namespace ap = layout::ap;
  using layout::GetField;
  using layout::SetField;

  ReportFile report(form, "1099over.txt");
  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();

  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  BtrHandle writeHandle;
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, writeHandle, path, "ap2");

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string line04 = layout::BlankRecord(ap::kBufferLength);
  const std::string start = std::string(ap::kClient) + "000";

  for (int status = btrGetGreater(readHandle, record.data(), &length, start.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (record.compare(0, ap::kClient.size(), ap::kClient) != 0 ||
        GetField(record, ap::line00::TypeLetter) != "B" || GetField(record, ap::Line) != "00") {
      continue;
    }
    const std::string agency = GetField(record, ap::AgyCode);
    const std::string number = GetField(record, ap::Number);
    const std::string name = GetField(record, ap::line00::Name);

    line04.replace(0, ap::kRecordLength, record, 0, ap::kRecordLength);
    SetField(line04, ap::Line, "04");
    const std::string key = GetField(line04, ap::Key);
    if (btrGetEqual(writeHandle, line04.data(), &length, key.c_str(), 0, 0) != kBtrOk) continue;

    const std::string amount = Trim(GetField(line04, ap::client04::Amount1099));
    if (amount.empty() || amount == "$0.00" || amount == "0" || amount == "0000000000") continue;
    report.Line(agency + " " + RightJustify(number, 6) + " " + LeftJustify(name, 25) + "  " +
                amount);
    if (!clear) continue;

    SetField(line04, ap::client04::Amount1099, "0000000000");
    btrUpdate(writeHandle, line04.data(), &length);
    if (form.tblClients.Locate("AgyCode;Number", {agency, number})) {
      form.tblClients.Edit();
      AssignTextOr(form.tblClients, "Amt1099", "$0.00", 0.0);
      form.tblClients.Post();
    }
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  report.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
