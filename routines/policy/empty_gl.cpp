// Empty GL: walks the site agency's records of "JCKI" in the order of key 1 (posting kind and
// ledger account) and lists every record whose ledger account `GLAcct` is blank. Changes
// nothing and asks nothing. Reads "JCKI". Writes "MISSINGGL.ERR": each listed record whole,
// then the counts.
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

void EmptyGL(TForm1& form) {
  ReportFile report(form, "MISSINGGL.ERR");
  BtrHandle jckiHandle;
  OpenLegacyFile(form, jckiHandle, LegacyPath(form, "JCKI"), "JCKI");
  form.Label3 = "running.....";
  form.ProcessMessages();

  const std::string agency = AgencyCode(form);
  long examined = 0;
  long errors = 0;
  std::array<char, jcki::kRecordLength> buffer{};
  int length = jcki::kRecordLength;
  int status = btrGetGreater(jckiHandle, buffer.data(), &length, agency.c_str(), 1, 0);
  while (status == kBtrOk) {
    const std::string_view record(buffer.data(), buffer.size());
    ++examined;
    form.Label3 = std::to_string(examined) + "/" + std::to_string(errors);
    if (examined % kRepaintEvery == 0) form.ProcessMessages();

    if (layout::GetField(record, jcki::AgyCode2) != agency) break;
    if (Trim(layout::GetField(record, jcki::GLAcct)).empty()) {
      ++errors;
      report.Line(FixedField(record, jcki::kRecordLength));
    }

    length = jcki::kRecordLength;
    status = btrGetNext(jckiHandle, buffer.data(), &length, 0);
  }

  report.Line("Examined " + std::to_string(examined) + " records, found " + std::to_string(errors) +
              " errors");
  report.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
