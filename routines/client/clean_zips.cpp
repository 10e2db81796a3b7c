// Clean Zips: finds every client name-and-address line "00" of the agency master file "ap"
// (all agencies) whose ZIP extension is one to three characters or "0000", blanks the
// extension there and copies the cleaned nine-character ZIP (code and four blanks) into the
// client's Customer row. Touches: "ap" (a walking handle and a write handle), table
// Customer (tblAgent). Lists each case, each failed readback and each missing row in
// "ZipExtScan.txt". No question.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void CleanZips(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;

  form.tblAgent.SetDatabaseName(form.edtODBCName);
  form.tblAgent.Open();
  ReportFile report(form, "ZipExtScan.txt");

  BtrHandle readHandle;
  BtrHandle writeHandle;
  const std::string path = LegacyPath(form, "ap");
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, writeHandle, path, "ap2");

  std::string record = layout::BlankRecord(ap::kBufferLength);
  int length = ap::kBufferLength;
  layout::SetField(record, ap::RecType, ap::kClient);
  layout::SetField(record, ap::KeyFiller, "000");
  const std::string startKey = std::string(ap::kClient) + "000";

  for (int status = btrGetGreater(readHandle, record.data(), &length, startKey.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (GetField(record, ap::RecType) != ap::kClient) break;
    if (GetField(record, ap::Line) != "00") continue;

    const std::string extension = Trim(GetField(record, ap::line00::Zip4));
    const std::string key = GetField(record, ap::Key);
    form.Label3 = key;
    form.ProcessMessages();

    const bool partial = !extension.empty() && extension.size() <= 3;
    if (!partial && extension != "0000") continue;

    report.Line("[" + key + "] [" + extension + "]");
    // Read back into the walk buffer: the write handle's read does not move the walk, and
    // the record is then changed and written as it is stored now.
    const int readStatus = btrGetEqual(writeHandle, record.data(), &length, key.c_str(), 0, 0);
    if (readStatus != kBtrOk) {
      report.Line("status " + std::to_string(readStatus) + " on readback of " + key);
      continue;
    }
    layout::SetField(record, ap::line00::Zip4, "");
    btrUpdate(writeHandle, record.data(), &length);

    const std::string agency = GetField(record, ap::AgyCode);
    const std::string number = GetField(record, ap::Number);
    if (form.tblAgent.Locate("AgyCode;Number", {agency, number})) {
      form.tblAgent.Edit();
      form.tblAgent.SetString("Zip", GetField(record, ap::line00::ZipNine));
      form.tblAgent.Post();
    } else {
      report.Line("table locate failed [" + agency + "][" + number + "]");
    }
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  report.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
