// Inactive Alpha: makes the inactive mark of the agency master file "ap" (a "*" as the first
// character of a client's alpha on line "00") agree with Customer.ActiveStatus for the
// agency of the Agency Code box: marks each inactive client that lacks the "*", and gives
// each active client that has it back the first letter of its name. Touches: "ap" (one
// handle, read and written), table Customer through PvQuery1. Every client examined gets a
// line in "InActClt.txt". No question.
// Deliberate difference from the legacy routine:
// - the name is trimmed before its first character is taken, so a leading blank never returns.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

std::string SelectClients(const std::string& agency, const char* activeStatus) {
  return "Select AgyCode, Number, Name from \"CUSTOMER\" where AgyCode = " + SqlQuote(agency) +
         " and ActiveStatus = " + SqlQuote(activeStatus);
}

}  // namespace

void InactiveAlpha(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;

  const std::string agency = AgencyCode(form);
  ReportFile report(form, "InActClt.txt");

  form.PvQuery1.SetDatabaseName(form.edtODBCName);
  form.PvQuery1.SqlClear();
  form.PvQuery1.SqlAdd(SelectClients(agency, "N"));
  form.Label3 = "Running first query...";
  form.ProcessMessages();
  form.PvQuery1.Open();

  const std::string path = LegacyPath(form, "ap");
  report.Line("Will Open [" + path + "]");
  BtrHandle apFile;
  OpenLegacyFile(form, apFile, path, "ap");

  std::string record = layout::BlankRecord(ap::kBufferLength);
  int length = ap::kBufferLength;

  // The per-row test of both passes: writes the row's "Testing [" part (the line goes on)
  // and reads its line "00" into `record`. Returns the engine status; `key` gets the key.
  auto testRow = [&](std::string& key) {
    const std::string rowAgency = RightJustify(form.PvQuery1.AsString("AgyCode"), 2);
    const std::string number = RightJustify(form.PvQuery1.AsString("Number"), 6);
    key = layout::ApKey(ap::kClient, rowAgency, number, "00");
    report.Write("Testing [" + rowAgency + "][" + number + "][" + key + "]");
    form.Label3 = key;
    form.ProcessMessages();
    return btrGetEqual(apFile, record.data(), &length, key.c_str(), 0, 0);
  };
  auto writeCorrection = [&](const std::string& key) {
    const int status = btrUpdate(apFile, record.data(), &length);
    if (status == kBtrOk) {
      report.Line(" =====>Corrected!");
    } else {
      report.Line(" =====>ERROR!! status (" + std::to_string(status) + ") on reading [" + key +
                  "] to Correct");
    }
  };

  std::string key;
  for (; !form.PvQuery1.Eof(); form.PvQuery1.Next()) {
    const int status = testRow(key);
    if (status != kBtrOk) {
      report.Line(" status (" + std::to_string(status) + ") on reading [" + key + "]");
      continue;
    }
    const std::string alpha = GetField(record, ap::line00::Alpha);
    if (alpha[0] == '*') {
      report.Line(" CORRECT Inactive [" + key + "] has alpha of [" + alpha + "]");
      continue;
    }
    report.Line(" ERROR Inactive [" + key + "] has alpha of [" + alpha + "]");
    layout::SetField(record, ap::line00::Alpha, "*" + alpha.substr(1));
    writeCorrection(key);
  }

  form.PvQuery1.Close();
  form.PvQuery1.SqlClear();
  form.PvQuery1.SqlAdd(SelectClients(agency, "Y"));
  form.Label3 = "Running second query...";
  form.PvQuery1.Open();

  for (; !form.PvQuery1.Eof(); form.PvQuery1.Next()) {
    const int status = testRow(key);
    if (status != kBtrOk) {
      report.Line("status (" + std::to_string(status) + ") on reading [" + key + "]");
      continue;
    }
    const std::string alpha = GetField(record, ap::line00::Alpha);
    if (alpha[0] != '*') {
      report.Line(" CORRECT Active [" + key + "] has alpha of [" + alpha + "]");
      continue;
    }
    report.Line("Active [" + key + "] has alpha of [" + alpha + "]");
    // The letter the "*" replaced: the first of the name. A name that is empty (or blank)
    // gives the first letter of the line's own name instead; when that is blank too the
    // mark stays, since a blank alpha would be worse than a stale one.
    std::string name = Trim(form.PvQuery1.AsString("Name"));
    if (name.empty()) name = Trim(GetField(record, ap::line00::Name));
    if (name.empty()) continue;
    layout::SetField(record, ap::line00::Alpha, name.substr(0, 1) + alpha.substr(1));
    writeCorrection(key);
  }

  report.Close();
  btrClose(apFile);
  form.PvQuery1.Close();
  form.Label3 = "Done";
}

}  // namespace talvor
