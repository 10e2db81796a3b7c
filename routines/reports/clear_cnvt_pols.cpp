// Clear Cnvt Pols: removes the policy records of one conversion run from the policy file.
//
// Every record of every agency whose EnteredBy is "QXT" and whose EntryDate is ":91209"
// (12/09/2009), both compared trimmed, is deleted. Both values are fixed.
// Changes the legacy file "POL" (read handle walks key 0, write handle re-reads and
// deletes). Writes no report. Asks nothing; failed re-reads and deletions pass silently.
#include <array>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/reports/reports_routines.h"
#include "shell/form.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void ClearCnvtPols(TForm1& form) {
  namespace pol = layout::pol;

  const std::string path = LegacyPath(form, "POL");
  BtrHandle reader;
  BtrHandle writer;
  form.Label3 = "running.....";
  form.ProcessMessages();
  OpenLegacyFile(form, reader, path, "POL");
  form.Label3 = "running.....";
  form.ProcessMessages();
  OpenLegacyFile(form, writer, path, "POL2");

  std::array<char, pol::kRecordLength> record{};
  std::array<char, pol::kRecordLength> scratch{};
  int length = pol::kRecordLength;
  int status = btrGetFirst(reader, record.data(), &length, 0, 0);
  while (status == 0) {
    const std::string_view read(record.data(), record.size());
    form.Label3 = "[" + Trim(layout::GetField(read, pol::AgyCode)) + "][" +
                  Trim(layout::GetField(read, pol::PolNum)) + "]";
    form.ProcessMessages();
    if (Trim(layout::GetField(read, pol::EnteredBy)) == "QXT" &&
        Trim(layout::GetField(read, pol::EntryDate)) == ":91209") {
      const std::string key(read.substr(0, pol::PolKey.width));
      if (btrGetEqual(writer, scratch.data(), &length, key.c_str(), 0, 0) == 0) btrDelete(writer);
    }
    status = btrGetNext(reader, record.data(), &length, 0);
  }
  btrClose(reader);
  btrClose(writer);
  form.Label3 = "Done!";
}

}  // namespace talvor
