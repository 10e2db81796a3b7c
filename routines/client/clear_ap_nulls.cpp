// Clear AP Nulls (and its hidden variant Clear Nulls - CLT): replaces every zero byte of the
// client record lines of the agency master file "ap" by a blank and writes the cleaned
// records back. Clear AP Nulls walks the client lines of every agency, rewrites only the
// records that held zero bytes and lists them in "APNULLS.TXT"; failed readbacks and
// updates are shown one by one. Clear Nulls - CLT walks the clients of the agency in the
// Agency Code box, lists each zero byte in "alpahchg.txt" and rewrites every record it
// reads. Touches: "ap" (a walking handle and a write handle). Asks nothing.
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

namespace ap = layout::ap;

// Puts a blank in each zero byte of the first ap::kRecordLength bytes of `record`.
// Returns the 0-based positions that held one, in order.
std::vector<int> BlankZeroBytes(std::string& record) {
  std::vector<int> positions;
  for (int i = 0; i < ap::kRecordLength; ++i) {
    if (record[static_cast<std::size_t>(i)] == '\0') {
      record[static_cast<std::size_t>(i)] = ' ';
      positions.push_back(i);
    }
  }
  return positions;
}

}  // namespace

void ClearApNulls(TForm1& form) {
  using layout::GetField;

  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  BtrHandle writeHandle;
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, writeHandle, path, "ap2");
  ReportFile report(form, "APNULLS.TXT");

  // The report names a record by the bytes after its kind: filler, agency, number, line and
  // the kind's copy.
  constexpr layout::Field kReportKey{ap::KeyFiller.offset,
                                     ap::RecTypeCopy.end() - ap::KeyFiller.offset};
  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string scratch = layout::BlankRecord(ap::kBufferLength);
  const std::string start = std::string(ap::kClient) + "000";

  for (int status = btrGetGreater(readHandle, record.data(), &length, start.c_str(), 0, 0);
       status == kBtrOk && record.compare(0, ap::kClient.size(), ap::kClient) == 0;
       status = btrGetNext(readHandle, record.data(), &length, 0)) {
    form.Label3 = GetField(record, ap::AgyCode) + "/" + GetField(record, ap::Number) + "/" +
                  GetField(record, ap::line00::Name);
    form.ProcessMessages();
    const std::string reportKey = GetField(record, kReportKey);

    std::string cleaned = record.substr(0, ap::kRecordLength);
    if (BlankZeroBytes(cleaned).empty()) continue;

    report.Line(reportKey + "<- Had Nulls");
    record.replace(0, ap::kRecordLength, cleaned);
    const std::string key = record.substr(0, ap::RecTypeCopy.end());
    int written = btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0);
    if (written != kBtrOk) {
      form.Notify("Error finding ap (" + std::to_string(written) + ")[" + key + "]");
      continue;
    }
    written = btrUpdate(writeHandle, record.data(), &length);
    if (written != kBtrOk) {
      form.Notify("Error updating ap (" + std::to_string(written) + ")[" + key + "]");
    }
  }

  report.Close();
  btrClose(readHandle);
  btrClose(writeHandle);
  form.Label3 = "Done, select another option";
}

void ClearNullsClt(TForm1& form) {
  ReportFile report(form, "alpahchg.txt");
  const std::string path = LegacyPath(form, "AP");
  BtrHandle readHandle;
  BtrHandle writeHandle;
  OpenLegacyFile(form, readHandle, path, "Ap");
  OpenLegacyFile(form, writeHandle, path, "Ap2");

  const std::string prefix = std::string(ap::kClient) + "000" + AgencyCode(form);
  const std::string low = prefix + "      ";
  const std::string high = prefix + "ZZZZZZ";

  int length = ap::kRecordLength;
  std::string record = layout::BlankRecord(ap::kRecordLength);
  std::string scratch = layout::BlankRecord(ap::kRecordLength);

  // The walk runs to the end of the file; records past the agency's range are passed over.
  for (int status = btrGetGreater(readHandle, record.data(), &length, low.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (record.compare(0, high.size(), high) > 0) continue;

    // Named by its first 14 bytes up to a zero byte among them, as a text can hold them.
    const std::string shownKey = FixedField(record, static_cast<int>(high.size()));
    std::string cleaned = record;
    for (const int position : BlankZeroBytes(cleaned)) {
      report.Line("Found null at pos " + std::to_string(position) + " on [" + shownKey + "]");
    }
    const std::string key = cleaned.substr(0, ap::Key.width);
    if (btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0) == kBtrOk) {
      btrUpdate(writeHandle, cleaned.data(), &length);
    }
  }

  btrClose(readHandle);
  report.Close();
  form.Label3 = "Done!!";
}

}  // namespace talvor
