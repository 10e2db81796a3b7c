// Chop Cancels: walks the site agency's terms of "POL" and, on request, shortens every
// cancellation term (transaction code "CAN") to a single day by giving it its effective date
// as expiration date, through a second handle. Asks "Change Cancellations to single days?";
// on any answer but Yes nothing is listed or changed. Reads and may write "POL". Writes
// "polcan.ERR": the answer, the outcome of each change and three closing lines.
#include <array>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/policy/policy_routines.h"
#include "routines/kit/record_rewrite.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

namespace pol = layout::pol;

}  // namespace

void ChopCancels(TForm1& form) {
  ReportFile report(form, "polcan.ERR");
  const bool fixIt = form.AskYesNo("Change Cancellations to single days?") == kAnswerYes;
  report.Line(fixIt ? "FixIt set ON!" : "FixIt set OFF!");

  const std::string polPath = LegacyPath(form, "POL");
  BtrHandle polRead;
  OpenLegacyFile(form, polRead, polPath, "POL");
  BtrHandle polWrite;
  OpenLegacyFile(form, polWrite, polPath, "POL2");

  const std::string agency = AgencyCode(form);
  const std::string startKey = PadRight(agency, 30);
  long counter = 0;
  std::array<char, pol::kRecordLength> buffer{};
  int length = pol::kRecordLength;
  int status = btrGetGreater(polRead, buffer.data(), &length, startKey.c_str(), 0, 0);
  while (status == kBtrOk) {
    const std::string_view policy(buffer.data(), buffer.size());
    ++counter;
    form.Label3 = layout::GetField(policy, pol::PolNum) + "-" + std::to_string(counter) + "-0";
    form.ProcessMessages();

    // The terms of one agency lie together in key order.
    if (layout::GetField(policy, pol::AgyCode) != agency) break;

    if (fixIt && layout::GetField(policy, pol::TrnCode) == "CAN") {
      const std::string key = layout::GetField(policy, pol::PolKey);
      const RewriteResult result = RewritePolicyField(polWrite, policy, pol::ExpirationDate,
                                                      layout::GetField(policy, pol::EffectiveDate));
      if (result.readback != kBtrOk) {
        report.Line("ERROR: Status (" + std::to_string(result.readback) + ") on readback of pol [" +
                    key + "]");
      } else if (result.update != kBtrOk) {
        report.Line("ERROR: Status (" + std::to_string(result.update) + ") on Update of pol [" +
                    key + "]");
      } else {
        report.Line("===>FIXED!!");
      }
    }

    length = pol::kRecordLength;
    status = btrGetNext(polRead, buffer.data(), &length, 0);
  }

  form.Label3 = "Done";
  report.Line(
      " Match 0 Wrong before date 0 Wrong After date 0 Wrong with Comm 0 Wrong without "
      "Comm 0 Total Wrong 0");
  report.Line(" Can fix 0  can't fix 0 (0 have zero comm)");
  report.Line("0 items had errors");
  report.Close();
}

}  // namespace talvor
