// Sync PolCls: walks every record of "POL" (all agencies); for each policy term "99", which
// carries the policy's current class, gives every other term of the policy (sequences 98 down
// to 1) that class, in its "POL" record (through a second handle) and in its Policy row.
// Asks nothing. Reads and writes "POL"; writes Policy (tblPolicy). Writes "SyncPolCls.TXT":
// each term changed (agency, policy, sequence, new class, old class), each term whose Policy
// row is missing, each term whose record could not be written.
#include <array>
#include <cstdint>
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

namespace pol = layout::pol;

constexpr std::string_view kCurrentTerm = "99";
constexpr int kLastOtherTerm = 98;

}  // namespace

void SyncPolCls(TForm1& form) {
  sqldb::Table& policies = form.tblPolicy;
  policies.SetDatabaseName(form.edtODBCName);
  policies.Open();

  const std::string polPath = LegacyPath(form, "POL");
  BtrHandle polRead;
  OpenLegacyFile(form, polRead, polPath, "POL");
  BtrHandle polWrite;
  OpenLegacyFile(form, polWrite, polPath, "POL2");
  ReportFile report(form, "SyncPolCls.TXT");

  long found99 = 0;
  std::array<char, pol::kRecordLength> buffer{};
  std::array<char, pol::kRecordLength> term{};
  int length = pol::kRecordLength;
  int status = btrGetFirst(polRead, buffer.data(), &length, 0, 0);
  while (status == kBtrOk) {
    const std::string_view policy(buffer.data(), buffer.size());
    const std::string agency = layout::GetField(policy, pol::AgyCode);
    const std::string polNum = layout::GetField(policy, pol::PolNum);
    const std::string cls = layout::GetField(policy, pol::Class);

    if (layout::GetField(policy, pol::PolSeq) == kCurrentTerm) {
      ++found99;
      form.Label3 = std::to_string(found99) + "/" + agency + "/" + polNum;
      form.ProcessMessages();

      for (int n = kLastOtherTerm; n >= 1; --n) {
        const std::string seq = TwoDigits(static_cast<std::uint16_t>(n));
        const std::string key = agency + polNum + seq + "0";
        int termLength = pol::kRecordLength;
        if (btrGetEqual(polWrite, term.data(), &termLength, key.c_str(), 0, 0) != kBtrOk) {
          continue;
        }
        const std::string oldCls = layout::GetField({term.data(), term.size()}, pol::Class);
        if (oldCls == cls) continue;

        const std::string where = "[" + agency + "][" + polNum + "][" + seq + "]";
        report.Line(where + "[" + cls + "][" + oldCls + "]");
        layout::SetField(term, pol::Class, cls);
        const int updated = btrUpdate(polWrite, term.data(), &termLength);
        // The line above announced the change; say when the record did not take it.
        if (updated != kBtrOk) {
          report.Line("status (" + std::to_string(updated) + ") updating the policy file for " +
                      where);
        }
        if (policies.Locate("AgyCode;PolNum;PolSeq", {agency, Trim(polNum), n})) {
          policies.Edit();
          policies.SetString("ClsCode", cls);
          policies.Post();
        } else {
          report.Line("Error updating the policy table for " + where);
        }
      }
    }

    length = pol::kRecordLength;
    status = btrGetNext(polRead, buffer.data(), &length, 0);
  }

  policies.Close();
  report.Close();
  form.Label3 = "Done!";
}

}  // namespace talvor
