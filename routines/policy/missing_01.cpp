// Missing 01: walks the site agency's invoice records of "JCKI" in the order of key 1 (from
// agency + "I") and, for every record whose item code is "02000", looks up the "01000" record
// of the same invoice on a second handle; each one missing is listed with the status of the
// failed lookup. The walk ends at the first record of another agency or of an entry type other
// than "I". Changes nothing and asks nothing. Reads "JCKI". Writes "MISSING01.ERR".
#include <array>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/policy/policy_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

namespace jcki = layout::jcki;

// The label and the window are refreshed on every 100th record only.
constexpr long kRepaintEvery = 100;

}  // namespace

void Missing01(TForm1& form) {
  ReportFile report(form, "MISSING01.ERR");
  const std::string jckiPath = LegacyPath(form, "JCKI");
  BtrHandle jckiRead;
  OpenLegacyFile(form, jckiRead, jckiPath, "JCKI");
  form.Label3 = "running.....";
  form.ProcessMessages();
  BtrHandle jckiLookup;
  OpenLegacyFile(form, jckiLookup, jckiPath, "JCKI2");

  const std::string agency = AgencyCode(form);
  const std::string startKey = agency + "I";
  long examined = 0;
  long errors = 0;
  std::array<char, jcki::kRecordLength> buffer{};
  std::array<char, jcki::kRecordLength> first{};
  int length = jcki::kRecordLength;
  int status = btrGetGreater(jckiRead, buffer.data(), &length, startKey.c_str(), 1, 0);
  while (status == kBtrOk) {
    const std::string_view record(buffer.data(), buffer.size());
    ++examined;
    form.Label3 = std::to_string(examined) + "/" + std::to_string(errors);
    if (examined % kRepaintEvery == 0) form.ProcessMessages();

    if (layout::GetField(record, jcki::AgyCode2) != agency ||
        layout::GetField(record, jcki::EntryType) != "I") {
      break;
    }
    if (layout::GetField(record, jcki::ItemLine) == "02" &&
        layout::GetField(record, jcki::ItemSubLine) == "000") {
      std::string key = layout::GetField(record, jcki::Key);
      layout::SetField(key, jcki::ItemLine, "01");
      int firstLength = jcki::kRecordLength;
      const int found = btrGetEqual(jckiLookup, first.data(), &firstLength, key.c_str(), 0, 0);
      if (found != kBtrOk) {
        report.Line("status (" + std::to_string(found) + ") reading [" + key + "]");
        ++errors;
      }
    }

    length = jcki::kRecordLength;
    status = btrGetNext(jckiRead, buffer.data(), &length, 0);
  }

  report.Line("Examined " + std::to_string(examined) + " records, found " + std::to_string(errors) +
              " errors");
  report.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
