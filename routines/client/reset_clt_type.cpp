// ResetCltType / Set All to CL: turns every personal-lines client of the agency into a
// commercial-lines client: type letter "P" on line "00" of the agency master file "ap"
// becomes "C", and the client's Customer.CustType becomes 1. Touches: "ap" (a walking
// handle and a write handle), table Customer (PvQuery1). Every change, the statement run
// and its outcome are logged in "ResetCltType.txt". Asks nothing. When "ap" cannot be opened
// the run ends after the open-failure message, before anything is read.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void ResetCltType(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;

  ReportFile report(form, "ResetCltType.txt");
  const std::string agency = AgencyCode(form);

  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  if (OpenLegacyFile(form, readHandle, path, "read ap") != kBtrOk) return;
  BtrHandle writeHandle;
  if (OpenLegacyFile(form, writeHandle, path, "write ap") != kBtrOk) return;

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string scratch = layout::BlankRecord(ap::kBufferLength);
  const std::string prefix = std::string(ap::kClient) + "000" + agency;

  for (int status = btrGetGreater(readHandle, record.data(), &length, prefix.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (record.compare(0, prefix.size(), prefix) != 0) break;
    if (GetField(record, ap::Line) != "00") continue;

    const std::string number = GetField(record, ap::Number);
    form.Label3 = Trim(number) + ":" + Trim(GetField(record, ap::line00::Name));
    form.ProcessMessages();
    if (GetField(record, ap::line00::TypeLetter) != "P") continue;

    const std::string key = GetField(record, ap::Key);
    int written = btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0);
    if (written == kBtrOk) {
      layout::SetField(record, ap::line00::TypeLetter, "C");
      written = btrUpdate(writeHandle, record.data(), &length);
    }
    if (written != kBtrOk) {
      report.Line("Error (" + std::to_string(written) + ") on readback of [" + key + "]");
      continue;
    }
    report.Line("Updated [" + key + "] to CL");

    const std::string client = RightJustify(number, 6);
    const std::string statement =
        "Update \"Customer\" set CustType = 1 where AgyCode = " + SqlQuote(agency) +
        "  and Number = " + SqlQuote(client);
    report.Line("   " + statement);
    form.PvQuery1.SetDatabaseName(form.edtODBCName);
    form.PvQuery1.SqlClear();
    form.PvQuery1.SqlAdd(statement);
    form.PvQuery1.Open();
    const auto count = form.PvQuery1.RowCount();
    form.PvQuery1.Close();
    if (count == 1) {
      report.Line("  Updated Table [" + agency + ":" + client + "] to CustType = 1");
    } else {
      report.Line("  Error (" + std::to_string(count) + ") changed updating table [" + agency +
                  ":" + client + "] to CustType = 1");
    }
  }

  report.Close();
  btrClose(readHandle);
  btrClose(writeHandle);
  form.Label3 = "Done";
}

}  // namespace talvor
