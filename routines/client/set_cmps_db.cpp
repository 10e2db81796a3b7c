// Set Cmps DB: makes every insurance company a direct-bill company. In the agency master file
// "ap" it sets the billing-method letter of every company line "01" of every agency to "D",
// then creates line "01" (already "D") for each company that lacks it; in the database it
// sets Company.BillMethodCd to "D" for the agency of the Agency Code box. Touches: "ap" (a
// walking handle and a write handle), table Company (PvQuery1). Failures are listed in
// "changedcmp.txt", a failed Company update included. Asks nothing.
// Deliberate differences from the legacy routine:
// - the Company update's agency is right-justified, " 1" for a typed "1", as "ap" keys it;
// - a refused Company update is listed in "changedcmp.txt", not swallowed.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"
#include "sqldb/error.h"

namespace talvor {

void SetCmpsDb(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;
  using layout::SetField;

  ReportFile report(form, "changedcmp.txt");
  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  BtrHandle writeHandle;
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, writeHandle, path, "ap2");

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string scratch = layout::BlankRecord(ap::kBufferLength);
  const std::string start = std::string(ap::kCompany) + "000";
  auto isCompany = [&] { return GetField(record, ap::RecType) == ap::kCompany; };
  auto showCompany = [&](const std::string& agency, const std::string& number) {
    form.Label3 = agency + " " + number;
    form.ProcessMessages();
  };

  for (int status = btrGetGreater(readHandle, record.data(), &length, start.c_str(), 0, 0);
       status == kBtrOk && isCompany();
       status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (GetField(record, ap::Line) != "01") continue;
    const std::string agency = GetField(record, ap::AgyCode);
    const std::string number = GetField(record, ap::Number);
    showCompany(agency, number);

    std::string changed = record;
    SetField(changed, ap::company01::CmpBillMethod, "D");
    const std::string key = record.substr(0, ap::RecTypeCopy.end());
    int result = btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0);
    if (result != kBtrOk) {
      report.Line("Error " + std::to_string(result) + " on readback " + agency + number);
      continue;
    }
    result = btrUpdate(writeHandle, changed.data(), &length);
    if (result != kBtrOk) {
      report.Line("Error " + std::to_string(result) + " on Update" + agency + number);
    }
  }

  // The new line "01" is inserted through the walking handle, which then stands on it, so
  // the walk goes on with the next company's lines.
  for (int status = btrGetGreater(readHandle, record.data(), &length, start.c_str(), 0, 0);
       status == kBtrOk && isCompany();
       status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (GetField(record, ap::Line) != "00") continue;
    const std::string agency = GetField(record, ap::AgyCode);
    const std::string number = GetField(record, ap::Number);
    showCompany(agency, number);

    std::string line01 = layout::BlankRecord(ap::kBufferLength);
    SetField(line01, ap::Key, GetField(record, ap::Key));
    SetField(line01, ap::Line, "01");
    const std::string key = GetField(line01, ap::Key);
    const int found = btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0);
    if (found == kBtrOk) continue;
    if (found != kBtrKeyNotFound) {
      // Not known to be missing: inserting could only fail or duplicate it.
      report.Line("Error " + std::to_string(found) + " on readback " + agency + number);
      continue;
    }
    SetField(line01, ap::company01::CmpFlag, "O");
    SetField(line01, ap::company01::CmpBillMethod, "D");
    const int inserted = btrInsert(readHandle, line01.data(), &length, 0);
    if (inserted != kBtrOk) {
      report.Line("Error " + std::to_string(inserted) + " on Insert tRailer" + agency + number);
    }
  }

  // The agency's rows only. A refused update does not end the run; it is listed instead.
  try {
    form.PvQuery1.SetDatabaseName(form.edtODBCName);
    form.PvQuery1.SqlClear();
    form.PvQuery1.SqlAdd("Update \"Company\" Set BillMethodCd = " + SqlQuote("D") +
                         " where AgyCode =" + SqlQuote(AgencyCode(form)));
    form.PvQuery1.Open();
    form.PvQuery1.Close();
  } catch (const sqldb::Error& error) {
    report.Line("Error updating table Company: " + std::string(error.what()));
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  report.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
