// Reset SubCode: empties the sub-code table (`SubCodes`, 48 bytes) of the system record of the
// agency master file "ap". The system record has no agency; a file without one is left as
// it is. Touches: "ap" (one handle). Writes no report; asks nothing.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"

namespace talvor {

void ResetSubCode(TForm1& form) {
  namespace ap = layout::ap;

  BtrHandle apFile;
  OpenLegacyFile(form, apFile, LegacyPath(form, "ap"), "ap");

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  // "888000", eight blanks (no agency, no number), line "00".
  const std::string key = layout::ApKey(ap::kSystem, "", "", "00");
  if (btrGetEqual(apFile, record.data(), &length, key.c_str(), 0, 0) == kBtrOk) {
    layout::SetField(record, ap::system_record::SubCodes, "");
    btrUpdate(apFile, record.data(), &length);
  }

  btrClose(apFile);
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
