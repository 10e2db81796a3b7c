// Pop. CSR/SPRD/PRD: copies the producer, sub-producer and CSR codes of every client's line
// "01" in the agency master file "ap" into the client's Customer row, and lists in
// "changedclt.txt" each code that has no producer record in "ap" (once per client and
// role). Touches: "ap" (a walking handle and a lookup handle, read only), table Customer
// (tblClients, through the session named after the Server box). No question.
#include <string>
#include <string_view>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "routines/kit/server_session.h"
#include "shell/form.h"
#include "routines/kit/open_table.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

// Whether `code` names a producer line "00" of `agency` in "ap" ("002" + "000" + agency +
// RightJustify(code, 6) + "00", btrGetEqual on key 0 into a buffer of its own); when it does
// not (no such record, a failed read, a handle whose open failed), the line
// "Did not find prd [" + agency + "][" + code + "]" goes to `report`, with `code` as handed
// in. Moves `lookupHandle`'s position, never another handle's.
void CheckStaffCode(int lookupHandle, std::string_view agency, std::string_view code,
                    ReportFile& report) {
  std::string record = layout::BlankRecord(layout::ap::kBufferLength);
  int length = layout::ap::kBufferLength;
  const std::string key = layout::ApKey(layout::ap::kProducer, agency, code, "00");
  if (btrGetEqual(lookupHandle, record.data(), &length, key.c_str(), 0, 0) != kBtrOk) {
    report.Line("Did not find prd [" + std::string(agency) + "][" + std::string(code) + "]");
  }
}

}  // namespace

void PopCsrSprdPrd(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;

  ReportFile report(form, "changedclt.txt");

  StartServerSession(form);
  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.SetSessionName(form.edtServerName);
  OpenTable(form, form.tblClients);

  BtrHandle readHandle;
  BtrHandle lookupHandle;
  const std::string path = LegacyPath(form, "ap");
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, lookupHandle, path, "ap");

  std::string record = layout::BlankRecord(ap::kRecordLength);
  int length = ap::kRecordLength;
  layout::SetField(record, ap::RecType, ap::kClient);
  layout::SetField(record, ap::KeyFiller, "000");
  const std::string startKey = std::string(ap::kClient) + "000";

  for (int status = btrGetGreater(readHandle, record.data(), &length, startKey.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (GetField(record, ap::RecType) != ap::kClient) break;
    if (GetField(record, ap::KeyFiller) != "000" || GetField(record, ap::Line) != "01") continue;

    const std::string agency = GetField(record, ap::AgyCode);
    const std::string number = GetField(record, ap::Number);
    const std::string producer = RightJustify(GetField(record, ap::client01::Underwriter), 3);
    const std::string subProducer = RightJustify(GetField(record, ap::client01::SubPrdCode), 3);
    const std::string csr = RightJustify(GetField(record, ap::client01::CSR), 3);

    CheckStaffCode(lookupHandle, agency, producer, report);
    CheckStaffCode(lookupHandle, agency, subProducer, report);
    CheckStaffCode(lookupHandle, agency, csr, report);

    form.Label3 = agency + ":" + number + "(" + csr + ")(" + subProducer + ")";
    form.ProcessMessages();

    // A table that could not be opened was reported by OpenTable and holds no rows.
    if (form.tblClients.IsOpen() && form.tblClients.Locate("AgyCode;Number", {agency, number})) {
      form.tblClients.Edit();
      form.tblClients.SetString("Underwriter", producer);
      form.tblClients.SetString("SubPrdCode", subProducer);
      form.tblClients.SetString("CSR", csr);
      form.tblClients.Post();
    }
  }

  btrClose(readHandle);
  btrClose(lookupHandle);
  form.tblClients.Close();
  form.PvSession1.SetActive(false);
  report.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
