// Prd Alpha Code: gives every producer of the agency in the agency master file "ap" the
// alpha code that the legacy system derives from the producer's name (the name without
// blanks, in capitals, first six characters), and blanks the zero bytes of the producers'
// lines "01" and "02". Touches: "ap" (a walking handle and a write handle). Each change is
// listed in "PrdALpha.txt", with a count at the end. Asks nothing.
// Deliberate difference from the legacy routine:
// - a failed update is listed ("Error (N) on update of [key]"), not passed over.
#include <algorithm>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void PrdAlphaCode(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;

  ReportFile report(form, "PrdALpha.txt");
  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  BtrHandle writeHandle;
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, writeHandle, path, "ap2");

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string scratch = layout::BlankRecord(ap::kBufferLength);
  const std::string prefix = std::string(ap::kProducer) + "000" + AgencyCode(form);
  int changed = 0;

  // Failed updates are listed too, so that no change above them reads as made.
  auto update = [&](const std::string& key) {
    const int status = btrUpdate(writeHandle, scratch.data(), &length);
    if (status != kBtrOk) {
      report.Line("Error (" + std::to_string(status) + ") on update of [" + key + "]");
    }
  };

  // Every producer of every agency after the prefix is read: the walk runs to the end of
  // the file and passes over what does not start with the prefix.
  for (int status = btrGetGreater(readHandle, record.data(), &length, prefix.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (record.compare(0, prefix.size(), prefix) != 0) continue;

    const std::string name = GetField(record, ap::line00::Name);
    const std::string line = GetField(record, ap::Line);
    const std::string agency = GetField(record, ap::AgyCode);
    const std::string oldAlpha = GetField(record, ap::line00::Alpha);
    const std::string code = RightJustify(GetField(record, ap::Number), 3);
    form.Label3 = std::to_string(changed) + " " + code + " " + name;
    form.ProcessMessages();

    const std::string key = record.substr(0, ap::RecTypeCopy.end());
    if (line == "00") {
      if (btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0) != kBtrOk) continue;
      const std::string newAlpha = LeftJustify(UpperCase(StripChar(name, ' ')), 6);
      layout::SetField(scratch, ap::line00::Alpha, newAlpha);
      if (newAlpha == oldAlpha) continue;
      ++changed;
      report.Line("Agy [" + agency + "] Code [" + code + "] Name [" + name + "] Was [" + oldAlpha +
                  "] Is [" + newAlpha + "] ");
      update(key);
    } else if (line == "01" || line == "02") {
      if (btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0) != kBtrOk) continue;
      const auto body = scratch.begin() + ap::kRecordLength;
      if (std::find(scratch.begin(), body, '\0') == body) continue;
      std::replace(scratch.begin(), body, '\0', ' ');
      ++changed;
      report.Line("Agy [" + agency + "] Code [" + code + "] had nulls");
      update(key);
    }
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  report.Line("Changed " + std::to_string(changed) + " items ");
  report.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
