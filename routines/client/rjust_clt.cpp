// RJust Clt: a conversion can leave the producer (`Underwriter`), sub-producer and CSR codes
// of a client's line "01" in the agency master file "ap" left-justified, so that lookups by
// right-justified code miss them. Right-justifies the three codes of every line "01" of the
// agency's clients. Touches: "ap" (a walking handle and a write handle, 128-byte records).
// Writes no report; asks nothing. Failed readbacks and updates are passed over silently.
// Deliberate difference from the legacy routine:
// - the agency is right-justified in the prefix (" 1"): as typed, "1" would walk nothing.
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void RJustClt(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;
  using layout::SetField;

  // The agency as the other routines use it (" 1" for a typed "1"), so that the prefix is
  // always the eight bytes of kind, filler and agency.
  const std::string prefix = std::string(ap::kClient) + "000" + AgencyCode(form);

  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  BtrHandle writeHandle;
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, writeHandle, path, "ap write");

  // The whole 128-byte record comes back on every read; nothing past it is written.
  int length = ap::kRecordLength;
  std::string record = layout::BlankRecord(ap::kRecordLength);
  std::string scratch = layout::BlankRecord(ap::kRecordLength);

  for (int status = btrGetGreater(readHandle, record.data(), &length, prefix.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (record.compare(0, prefix.size(), prefix) != 0) break;

    form.Label3 = GetField(record, ap::Number);
    form.ProcessMessages();

    if (GetField(record, ap::Line) != "01") continue;
    for (const layout::Field code :
         {ap::client01::Underwriter, ap::client01::SubPrdCode, ap::client01::CSR}) {
      SetField(record, code, RightJustify(GetField(record, code), code.width));
    }
    const std::string key = GetField(record, ap::Key);
    if (btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0) == kBtrOk) {
      btrUpdate(writeHandle, record.data(), &length);
    }
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  form.Label3 = "Done";
}

}  // namespace talvor
