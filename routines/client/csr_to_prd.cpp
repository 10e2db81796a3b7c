// CSR->PRD: makes every client's producer its CSR: the `Underwriter` of each client line
// "01" in the agency master file "ap" (all agencies) gets the line's CSR code, and the
// client's Customer row gets the CSR code in both `Underwriter` and `CSR`. Touches: "ap"
// (a walking handle and a write handle), table Customer (tblClients). Readback and update
// failures go to "changedclt.txt". No question. The button is hidden in the window; the
// routine runs from the command line.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"

namespace talvor {

void CsrToPrd(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;

  ReportFile report(form, "changedclt.txt");
  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();

  BtrHandle readHandle;
  const std::string path = LegacyPath(form, "ap");
  OpenLegacyFile(form, readHandle, path, "ap");
  BtrHandle writeHandle;
  OpenLegacyFile(form, writeHandle, path, "ap2");

  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string readback = layout::BlankRecord(ap::kBufferLength);
  int length = ap::kBufferLength;
  layout::SetField(record, ap::RecType, ap::kClient);
  layout::SetField(record, ap::KeyFiller, "000");
  const std::string startKey = std::string(ap::kClient) + "000";

  for (int status = btrGetGreater(readHandle, record.data(), &length, startKey.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (GetField(record, ap::RecType) != ap::kClient) break;
    if (GetField(record, ap::Line) != "01") continue;

    const std::string agency = GetField(record, ap::AgyCode);
    const std::string number = GetField(record, ap::Number);
    form.Label3 = agency + " " + number;
    form.ProcessMessages();

    std::string copy = record;
    const std::string csr = GetField(copy, ap::client01::CSR);
    layout::SetField(copy, ap::client01::Underwriter, csr);

    // The key as the record's first characters: a NUL byte in them ends it there.
    const std::string key = copy.substr(0, 19);
    int result = btrGetEqual(writeHandle, readback.data(), &length, key.c_str(), 0, 0);
    if (result != kBtrOk) {
      report.Line("Error " + std::to_string(result) + " on readback " + agency + number);
    } else {
      result = btrUpdate(writeHandle, copy.data(), &length);
      if (result != kBtrOk) {
        report.Line("Error " + std::to_string(result) + " on Update" + agency + number);
      }
    }

    if (form.tblClients.Locate("AgyCode;Number", {agency, number})) {
      form.tblClients.Edit();
      form.tblClients.SetString("Underwriter", csr);
      form.tblClients.SetString("CSR", csr);
      form.tblClients.Post();
    }
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  form.tblClients.Close();
  report.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
