// Bad Months: tests the month and day of the expiration date of every policy of every
// agency, as stored text. A policy whose month or day is not valid gets the month and day
// of its effective date (its expiration year stays), through a second handle on "POL".
// Asks nothing: the repair is always made. Reads and writes "POL". Writes "badmonth.log",
// one line per bad policy: what was wrong, then the outcome of the repair.
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

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void BadMonths(TForm1& form) {
  ReportFile log(form, "badmonth.log");

  const std::string polPath = LegacyPath(form, "POL");
  form.Label3 = "running.....";
  form.ProcessMessages();
  BtrHandle polRead;
  OpenLegacyFile(form, polRead, polPath, "POL");
  form.Label3 = "running.....";
  form.ProcessMessages();
  BtrHandle polWrite;
  OpenLegacyFile(form, polWrite, polPath, "POL2");

  std::array<char, pol::kRecordLength> buffer{};
  int length = pol::kRecordLength;
  int status = btrGetFirst(polRead, buffer.data(), &length, 0, 0);
  while (status == kBtrOk) {
    const std::string_view policy(buffer.data(), buffer.size());
    const std::string agency = layout::GetField(policy, pol::AgyCode);
    const std::string polNum = Trim(layout::GetField(policy, pol::PolNum));
    form.Label3 = "[" + agency + "][" + polNum + "]";
    form.ProcessMessages();

    // Dates are year code (2), month (2), day (2), tested as the characters they are.
    const std::string expiration = layout::GetField(policy, pol::ExpirationDate);
    const std::string effective = layout::GetField(policy, pol::EffectiveDate);
    const std::string month = expiration.substr(2, 2);
    const std::string day = expiration.substr(4, 2);
    const std::string tail =
        expiration + "][" + effective + "] on pol [" + agency + "][" + polNum + "]";

    bool bad = false;
    if (month == "00") {
      log.Write("bad date [" + tail);
      bad = true;
    }
    if (!IsDigit(month[0]) || !IsDigit(month[1])) {
      log.Write("bad char in month [" + tail);
      bad = true;
    } else if (const int value = std::stoi(month); value < 1 || value > 12) {
      log.Write("bad value in month (" + month + ") [" + tail);
      bad = true;
    }
    if (!IsDigit(day[0]) || !IsDigit(day[1])) {
      log.Write("bad char in Day[" + tail);
      bad = true;
    } else if (const int value = std::stoi(day); value < 1 || value > 31) {
      log.Write("bad value in day(" + day + ") [" + tail);
      bad = true;
    }

    if (bad) {
      const std::string repaired = expiration.substr(0, 2) + effective.substr(2, 4);
      const std::string key = layout::GetField(policy, pol::PolKey);
      const RewriteResult result =
          RewritePolicyField(polWrite, policy, pol::ExpirationDate, repaired);
      if (result.readback != kBtrOk) {
        log.Line("Status (" + std::to_string(result.readback) + ") reading back record [" + key +
                 "]");
      } else if (result.update != kBtrOk) {
        log.Line("Status (" + std::to_string(result.update) + ") writing bac record [" + key +
                 "]");
      } else {
        log.Line("<==CORRECTED");
      }
    }

    length = pol::kRecordLength;
    status = btrGetNext(polRead, buffer.data(), &length, 0);
  }

  log.Close();
  form.Label3 = "Done!";
}

}  // namespace talvor
