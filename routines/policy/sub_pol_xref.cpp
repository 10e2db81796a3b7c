// SubPol XREF: cross-checks, over every agency of the database, the submission (SuspItem row)
// that each policy term names and the policy that each submission names. Pass 1 lists
// policies whose submission is missing or names another policy; pass 2 lists submissions whose
// policy does not name them back. Asks "Fix the Submissions?": on Yes each submission of a
// pass-1 mismatch is pointed back at the policy, unless the policy number begins with "PAE".
// Reads Policy (tblPolicy); reads and may write SuspItem (tblSubmissions). Writes
// "xreferr.log". Disables its own button for the rest of the program's run.
#include <string>

#include "routines/policy/policy_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

constexpr std::string_view kAutoItem = "*AUTO*";
// Policies whose mismatch is reported but never fixed.
constexpr std::string_view kUnfixedPrefix = "PAE";

// The closing line of a pass.
std::string PassComplete(int pass, long errors) {
  const std::string head = "Pass " + std::to_string(pass) + " complete, ";
  return errors > 0 ? head + std::to_string(errors) + " errors found" : head + "no errors found";
}

}  // namespace

void SubPolXref(TForm1& form) {
  form.Label3 = "Running......";
  form.ProcessMessages();
  const bool fixing = form.AskYesNo("Fix the Submissions?") == kAnswerYes;

  sqldb::Table& policies = form.tblPolicy;
  sqldb::Table& submissions = form.tblSubmissions;
  policies.SetDatabaseName(form.edtODBCName);
  submissions.SetDatabaseName(form.edtODBCName);
  policies.Open();
  submissions.Open();
  ReportFile log(form, "xreferr.log");

  log.Line("Beginning pass 1, checking policy versus submission");
  long pass1Errors = 0;
  for (policies.First(); !policies.Eof(); policies.Next()) {
    const std::string polNum = policies.AsString("PolNum");
    const std::string item = Trim(policies.AsString("SubmissionNumber"));
    form.Label3 = "Running......" + polNum;
    form.ProcessMessages();
    if (item.empty()) continue;

    submissions.SetIndexName("MainIdx");
    if (!submissions.Locate("AgyCode;ItemNum", {policies.AsString("AgyCode"), item})) {
      log.Line("Policy [" + PadRight(polNum, 20) + "] points to submission [" + item +
               "], but that submission was not found");
      ++pass1Errors;
      continue;
    }
    const std::string named = submissions.AsString("PolicyNumber");
    if (Trim(named) == Trim(polNum)) continue;
    log.Line("Policy [" + PadRight(polNum, 20) + "] points to submission [" + item +
             "], but that submission points to policy [" + PadRight(named, 20) + "]");
    ++pass1Errors;
    if (fixing && polNum.substr(0, kUnfixedPrefix.size()) != kUnfixedPrefix) {
      submissions.Edit();
      submissions.SetString("PolicyNumber", polNum);
      submissions.Post();
    }
  }
  log.Line(PassComplete(1, pass1Errors));

  log.Line("Beginning pass 2, checking submission versus policy");
  long pass2Errors = 0;
  for (submissions.First(); !submissions.Eof(); submissions.Next()) {
    const std::string item = submissions.AsString("ItemNum");
    const std::string agency = submissions.AsString("AgyCode");
    form.Label3 = "Running...Pass 2...." + item;
    form.ProcessMessages();
    const std::string named = Trim(submissions.AsString("PolicyNumber"));
    if (named == kAutoItem || named.empty()) continue;

    policies.SetIndexName("SubViewIndex");
    if (!policies.Locate("AgyCode;SubmissionNumber;PolNum", {agency, item, named})) {
      log.Line("Submission [" + item + "] points to policy [" + PadRight(named, 20) +
               "] but that isnt matched back");
      ++pass2Errors;
    }
  }
  log.Line(PassComplete(2, pass2Errors));

  log.Close();
  form.Label3 = "Done, select another option";
  form.DisableButton("SubPol XREF");
}

}  // namespace talvor
