// Prospect to Client: marks every client line "01" of the agency master file "ap" as a client
// (`CltTypeLetter` "C"), starting at the agency typed in the Agency Code box and running on
// through every agency whose code sorts after it. Lines that already say "C" are written
// again unchanged; the Customer rows are not touched. Touches: "ap" (a walking handle and a
// write handle). No report file, no question; failed readbacks and updates pass silently.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"

namespace talvor {

void ProspectToClient(TForm1& form) {
  namespace ap = layout::ap;

  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  OpenLegacyFile(form, readHandle, path, "ap");
  form.Label3 = "running.....";
  form.ProcessMessages();
  BtrHandle writeHandle;
  OpenLegacyFile(form, writeHandle, path, "ap2");

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string copy = layout::BlankRecord(ap::kBufferLength);
  std::string scratch = layout::BlankRecord(ap::kBufferLength);
  // The agency as typed, not justified: a code typed as "1" starts after every agency whose
  // code begins with "0" or a blank.
  const std::string start = std::string(ap::kClient) + "000" + form.edtAgyCode;

  for (int status = btrGetGreater(readHandle, record.data(), &length, start.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (record.compare(0, ap::kClient.size(), ap::kClient) != 0 ||
        layout::GetField(record, ap::Line) != "01") {
      continue;
    }
    copy.replace(0, ap::kRecordLength, record, 0, ap::kRecordLength);
    const std::string key = copy.substr(0, ap::RecTypeCopy.end());
    if (btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0) != kBtrOk) continue;
    layout::SetField(copy, ap::client01::CltTypeLetter, "C");
    btrUpdate(writeHandle, copy.data(), &length);
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
