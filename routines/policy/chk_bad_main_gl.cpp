// Chk Bad Main GL: walks the site agency's check entries of "JCKI" whose number begins with
// "101" (key 0 from agency + "K101") and lists those whose main ledger account is "0000".
// Asks "Fix the Checks?": on Yes each listed check gets the account "2130" through a second
// handle. Reads and may write "JCKI". Writes "ChkScan.ERR" (the listed checks, the outcome
// of each fix, the totals) and "ChkScan.Log" (every record visited, with the counts so far).
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

namespace jcki = layout::jcki;

// The readback key: the record's first 19 bytes (the engine compares its 14-byte key 0).
constexpr int kReadbackKeyLength = 19;

// `count` right-aligned in five characters; a longer number keeps all its digits.
std::string Column5(long count) {
  const std::string digits = std::to_string(count);
  return digits.size() >= 5 ? digits : std::string(5 - digits.size(), ' ') + digits;
}

}  // namespace

void ChkBadMainGL(TForm1& form) {
  ReportFile err(form, "ChkScan.ERR");
  ReportFile log(form, "ChkScan.Log");
  const bool fixing = form.AskYesNo("Fix the Checks?") == kAnswerYes;

  const std::string jckiPath = LegacyPath(form, "JCKI");
  BtrHandle jckiRead;
  OpenLegacyFile(form, jckiRead, jckiPath, "JCKI");
  form.Label3 = "running.....";
  form.ProcessMessages();
  BtrHandle jckiWrite;
  OpenLegacyFile(form, jckiWrite, jckiPath, "JCKI2");

  const std::string startKey = AgencyCode(form) + "K101";
  log.Line("StartKey [" + startKey + "]");

  long visited = 0;
  long errors = 0;
  std::array<char, jcki::kRecordLength> buffer{};
  int length = jcki::kRecordLength;
  int status = btrGetGreater(jckiRead, buffer.data(), &length, startKey.c_str(), 0, 0);
  while (status == kBtrOk) {
    const std::string_view record(buffer.data(), buffer.size());
    ++visited;
    form.Label3 = "Pass 1 : " + std::to_string(visited) + "/" + std::to_string(errors);
    form.ProcessMessages();

    const std::string text = FixedField(record, jcki::kRecordLength);
    log.Line(Column5(visited) + ":" + Column5(errors) + " " + text);
    if (record.substr(0, startKey.size()) != startKey) break;

    if (layout::GetField(record, jcki::LedgerAcct) == "0000") {
      err.Line(text);
      ++errors;
      if (fixing) {
        const RewriteResult fixed =
            RewriteField(jckiWrite, jcki::kRecordLength, FixedField(record, kReadbackKeyLength),
                         jcki::LedgerAcct, "2130");
        if (fixed.readback != kBtrOk) {
          err.Line(" ERROR ON READ BACK");
        } else if (fixed.update != kBtrOk) {
          err.Line("  ERROR " + std::to_string(fixed.update) + " ON WRITE BACK");
        } else {
          err.Line("Corrected");
        }
      }
    }

    length = jcki::kRecordLength;
    status = btrGetNext(jckiRead, buffer.data(), &length, 0);
  }

  const std::string total =
      "Total Count [" + std::to_string(visited) + "] errors [" + std::to_string(errors) + "]";
  err.Line(total);
  log.Line(total);
  err.Close();
  log.Close();
  form.Label3 = "Done";
}

}  // namespace talvor
