// Swap Last, First: rewrites the name of every personal-lines client (type letter "P" on
// line "00" of the agency master file "ap", all agencies) from "last, first" into "first
// last", and cleans doubled blanks out of it. Each changed line is replaced whole (deleted
// and inserted again under its own key). Touches: "ap" (a walking handle and a write
// handle). No report file, no question; a line that cannot be written is shown, and is put
// back as it was when its removal already went through.
#include <string>
#include <string_view>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

void CollapseBlanks(std::string& text) {
  for (std::size_t at = text.find("  "); at != std::string::npos; at = text.find("  ", at)) {
    text.erase(at, 1);
  }
}

// "SMITH,  JOHN" -> "JOHN SMITH": the part after the first comma, a blank, the part before
// it; doubled blanks made single and the result trimmed. A name without a comma is only
// cleaned.
std::string SwapName(std::string name) {
  CollapseBlanks(name);
  const std::size_t comma = name.find(',');
  if (comma != std::string::npos) {
    name = name.substr(comma + 1) + " " + name.substr(0, comma);
  }
  CollapseBlanks(name);
  return Trim(name);
}

}  // namespace

void SwapLastFirst(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;

  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  BtrHandle writeHandle;
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, writeHandle, path, "ap2");

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string scratch = layout::BlankRecord(ap::kBufferLength);
  const std::string start = std::string(ap::kClient) + "000";

  for (int status = btrGetGreater(readHandle, record.data(), &length, start.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (record.compare(0, ap::kClient.size(), ap::kClient) != 0 ||
        GetField(record, ap::line00::TypeLetter) != "P" || GetField(record, ap::Line) != "00") {
      continue;
    }
    const std::string original = record;
    const std::string name = SwapName(GetField(record, ap::line00::Name));
    layout::SetField(record, ap::line00::Name, LeftJustify(name, ap::line00::Name.width));

    // The walk goes on after the key it stood on, so the line inserted again under that key
    // is not met a second time.
    const std::string key = record.substr(0, ap::RecTypeCopy.end());
    const bool found =
        btrGetEqual(writeHandle, scratch.data(), &length, key.c_str(), 0, 0) == kBtrOk;
    const bool removed = found && btrDelete(readHandle) == kBtrOk;
    int written = btrInsert(writeHandle, record.data(), &length, 0);
    if (written == kBtrOk) continue;
    // Only a readback that found the line leaves the write handle standing on it; after a
    // failed one an update would overwrite whatever that handle read last.
    if (found) written = btrUpdate(writeHandle, record.data(), &length);
    if (written == kBtrOk) continue;
    form.Notify("(00) Unable to update ap1 file " + path + ", status is " +
                std::to_string(written));
    // Neither write went through: a line already removed would be lost, so it goes back.
    if (removed) {
      const int restored = btrInsert(writeHandle, original.data(), &length, 0);
      if (restored != kBtrOk) {
        form.Notify("Unable to put back ap record [" + key.substr(0, ap::Key.width) +
                    "], status is " + std::to_string(restored));
      }
    }
  }

  btrClose(readHandle);
  btrClose(writeHandle);
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
