// Match Pol/Clt Prd: walks the policy file and compares the producer of each policy of the
// site's agency with the producer (`Underwriter`) of its client in the Customer table.
// Reports every mismatch and every policy whose client is not in Customer. Asks "Change
// Policy Producer Codes?"; on Yes each mismatched policy gets the client's producer in its
// Policy row (`Prd Code`) and then in its "POL" record (through a second handle). Reads and
// may write "POL"; reads Customer (tblClients) and may write Policy (tblWritePol). Writes
// "ChkCltPolPrd.txt".
// Deliberate difference from the legacy routine:
// - a failed "POL" update is reported (" <===POLICY FILE UPDATE FAILED (N)") and not counted.
#include <array>
#include <cctype>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/policy/policy_routines.h"
#include "routines/kit/record_rewrite.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/dates.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

namespace pol = layout::pol;

// The policy sequence as a number: decimal digits, leading blanks allowed. Anything else
// ends the run with a ConversionError quoting the text, as a failed integer conversion of
// the runtime would.
int PolicySequence(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i == text.size()) throw ConversionError("'" + text + "' is not a valid integer value");
  int value = 0;
  for (; i < text.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(text[i])) == 0) {
      throw ConversionError("'" + text + "' is not a valid integer value");
    }
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

void MatchPolCltPrd(TForm1& form) {
  const bool change = form.AskYesNo("Change Policy Producer Codes?") == kAnswerYes;

  ReportFile out(form, "ChkCltPolPrd.txt");
  out.Line(change ? "Change is set ON!" : "Change is set OFF!");
  out.Line("Run Start " + NowStamp(form.clock(), form.Formats));

  const std::string agency = AgencyCode(form);
  const std::string polPath = LegacyPath(form, "POL");
  BtrHandle polRead;
  OpenLegacyFile(form, polRead, polPath, "POL");
  BtrHandle polWrite;
  OpenLegacyFile(form, polWrite, polPath, "POL2");

  sqldb::Table& customers = form.tblClients;
  sqldb::Table& policies = form.tblWritePol;
  customers.SetDatabaseName(form.edtODBCName);
  policies.SetDatabaseName(form.edtODBCName);
  customers.Open();
  policies.Open();

  long recordsRead = 0;
  long changed = 0;
  std::array<char, pol::kRecordLength> buffer{};
  int length = pol::kRecordLength;
  int status = btrGetFirst(polRead, buffer.data(), &length, 0, 0);
  while (status == kBtrOk) {
    const std::string_view policy(buffer.data(), buffer.size());
    ++recordsRead;
    const std::string polNum = layout::GetField(policy, pol::PolNum);
    form.Label3 =
        "Policy " + polNum + ":" + std::to_string(recordsRead) + ":" + std::to_string(changed);
    form.ProcessMessages();

    if (layout::GetField(policy, pol::AgyCode) == agency) {
      const std::string polPrd = layout::GetField(policy, pol::PrdCode);
      const std::string client = layout::GetField(policy, pol::CltNum);
      const int polSeq = PolicySequence(layout::GetField(policy, pol::PolSeq));

      if (!customers.Locate("AgyCode;Number", {agency, client})) {
        out.Line("ERROR: " + PadRight(polNum, 20) + " has an undefined client [" + agency + ":" +
                 client + "]");
      } else {
        const std::string cltPrd = RightJustify(customers.AsString("Underwriter"), 3);
        if (cltPrd != polPrd) {
          // The line is written piece by piece, so that a line cut short by a failure
          // shows how far the change went.
          out.Write(PadRight(polNum, 20) + " has Prd Mismatch [" + polPrd + ":" + cltPrd + "]");
          if (!change) {
            out.Line("");
          } else if (!policies.Locate("AgyCode;PolNum;PolSeq", {agency, Trim(polNum), polSeq})) {
            out.Line("<====== NOT FIXED! LOCATE FAILED ON POLICY");
          } else {
            policies.Edit();
            policies.SetString("Prd Code", cltPrd);
            policies.Post();
            out.Write("<=Policy table updated ");
            const RewriteResult result = RewritePolicyField(polWrite, policy, pol::PrdCode, cltPrd);
            if (result.readback != kBtrOk) {
              out.Line(" <===POLICY FILE READBACK FAILED (" + std::to_string(result.readback) +
                       ")");
            } else if (result.update != kBtrOk) {
              out.Line(" <===POLICY FILE UPDATE FAILED (" + std::to_string(result.update) + ")");
            } else {
              out.Line("<=Policy File updated ");
              ++changed;
            }
          }
        }
      }
    }

    length = pol::kRecordLength;
    status = btrGetNext(polRead, buffer.data(), &length, 0);
  }

  out.Line("Scanned " + std::to_string(recordsRead) + " items, changed " + std::to_string(changed));
  out.Line("Run End " + NowStamp(form.clock(), form.Formats));
  out.Close();
  policies.Close();
  customers.Close();
  form.Label3 = "Done";
}

}  // namespace talvor
