// Test Pol/Inv Link: walks the site agency's policies and looks up the invoice each one
// names (its header item "01000") in the invoice file. Reports links to a missing invoice
// and links to an invoice of another client; good links are listed. Asks "Clear Policy
// Invoice Numbers?"; on Yes the invoice number of each reported policy is set to "000000"
// through a second handle on "POL". A link is cleared only when the invoice file itself
// answered that the invoice does not exist (or showed the mix-up): a lookup that failed
// because "JCKI" could not be opened or read says nothing about the link, and clearing on
// it would destroy good links. The invoice is looked up by the policy's invoice number as
// stored: a number that is not zero-filled ("  1234") names no invoice and is reported and
// cleared like any other link to a missing invoice. Reads "JCKI"; reads and may write "POL".
// Writes "polinv.ERR" (errors and fixes) and "polinv.TXT" (good links).
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
namespace jcki = layout::jcki;

constexpr std::string_view kNoInvoice = "000000";

// Clears the invoice number of `policy` through the write handle and writes the outcome.
void ClearInvoiceLink(int writeHandle, std::string_view policy, ReportFile& err) {
  const std::string key = layout::GetField(policy, pol::PolKey);
  const RewriteResult result = RewritePolicyField(writeHandle, policy, pol::InvNum, kNoInvoice);
  if (result.readback != kBtrOk) {
    err.Line("ERROR: Status (" + std::to_string(result.readback) + ") on readback of pol [" + key +
             "]");
  } else if (result.update != kBtrOk) {
    err.Line("ERROR: Status (" + std::to_string(result.update) + ") on Update of pol [" + key +
             "]");
  } else {
    err.Line("===>FIXED!!");
  }
}

}  // namespace

void TestPolInvLink(TForm1& form) {
  ReportFile err(form, "polinv.ERR");
  ReportFile good(form, "polinv.TXT");

  const bool fixIt = form.AskYesNo("Clear Policy Invoice Numbers?") == kAnswerYes;
  err.Line(fixIt ? "FixIt set ON!" : "FixIt set OFF!");

  const std::string agency = AgencyCode(form);
  const std::string polPath = LegacyPath(form, "POL");
  BtrHandle polRead;
  OpenLegacyFile(form, polRead, polPath, "POL");
  BtrHandle polWrite;
  OpenLegacyFile(form, polWrite, polPath, "POL2");
  const std::string jckiPath = LegacyPath(form, "JCKI");
  BtrHandle invoices;
  OpenLegacyFile(form, invoices, jckiPath, "JCKI");

  long policiesRead = 0;
  long errors = 0;
  const std::string startKey = PadRight(agency, 30);
  std::array<char, pol::kRecordLength> buffer{};
  std::array<char, jcki::kRecordLength> invoice{};
  int length = pol::kRecordLength;
  int status = btrGetGreater(polRead, buffer.data(), &length, startKey.c_str(), 0, 0);
  while (status == kBtrOk) {
    const std::string_view policy(buffer.data(), buffer.size());
    ++policiesRead;
    const std::string polNum = layout::GetField(policy, pol::PolNum);
    const std::string client = layout::GetField(policy, pol::CltNum);
    form.Label3 = polNum + "-" + std::to_string(policiesRead) + "-" + std::to_string(errors);
    form.ProcessMessages();

    // The policies of one agency lie together in key order.
    if (layout::GetField(policy, pol::AgyCode) != agency) break;

    const std::string invNum = layout::GetField(policy, pol::InvNum);
    if (invNum != kNoInvoice) {
      // The invoice number as the policy holds it, not zero-filled: the legacy system follows
      // the stored field, so a number it cannot follow is a broken link.
      const std::string invKey = agency + "I" + invNum + std::string(jcki::kHeader);
      int invLength = jcki::kRecordLength;
      const int found = btrGetEqual(invoices, invoice.data(), &invLength, invKey.c_str(), 0, 0);
      if (found != kBtrOk) {
        ++errors;
        err.Line("Status (" + std::to_string(found) + ") reading Jcki  [" + invKey + "]");
        if (fixIt && found == kBtrKeyNotFound) ClearInvoiceLink(polWrite, policy, err);
      } else {
        good.Line("Match for inv [" + invNum + "] on policy [" + polNum + "]");
        const std::string_view header(invoice.data(), invoice.size());
        const std::string invClient = layout::GetField(header, jcki::CltNum);
        if (invClient != client) {
          ++errors;
          err.Line("Client Mixup - Policy [" + polNum + "] has Clt [" + client +
                   "] while Invoice [" + invNum + "] has clt [" + invClient + "] inv eff [" +
                   layout::GetField(header, jcki::EffectiveDate) + "] ent [" +
                   layout::GetField(header, jcki::EntryDate) + "] by [" +
                   layout::GetField(header, jcki::EnteredBy) + "]");
          if (fixIt) ClearInvoiceLink(polWrite, policy, err);
        }
      }
    }

    length = pol::kRecordLength;
    status = btrGetNext(polRead, buffer.data(), &length, 0);
  }

  form.Label3 = "Done";
  good.Close();
  err.Close();
}

}  // namespace talvor
