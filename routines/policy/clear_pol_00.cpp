// Clear Pol 00: walks every record of "POL" (all agencies) and lists the policy terms whose
// sequence is "00", conversion leftovers. Asks "Clear the 00 items?": on Yes each listed term
// is deleted from "POL" through a second handle, and then every Policy row of sequence 0 (all
// agencies) is deleted with one SQL statement; on any other answer nothing is deleted in
// either store. Reads and may delete from "POL"; may delete from Policy (PvQuery1). Writes
// "PolZero.ERR": the listed terms with what became of each, and an SQL delete that the
// database refused.
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
#include "sqldb/error.h"

namespace talvor {

namespace {

namespace pol = layout::pol;

// The readback key: the record's first 30 bytes (the engine compares its 25-byte key 0).
constexpr int kReadbackKeyLength = 30;

}  // namespace

void ClearPol00(TForm1& form) {
  const bool deleting = form.AskYesNo("Clear the 00 items?") == kAnswerYes;

  ReportFile report(form, "PolZero.ERR");

  const std::string polPath = LegacyPath(form, "POL");
  BtrHandle polRead;
  OpenLegacyFile(form, polRead, polPath, "POL");
  BtrHandle polWrite;
  OpenLegacyFile(form, polWrite, polPath, "POL2");

  std::array<char, pol::kRecordLength> buffer{};
  int length = pol::kRecordLength;
  int status = btrGetFirst(polRead, buffer.data(), &length, 0, 0);
  while (status == kBtrOk) {
    const std::string_view policy(buffer.data(), buffer.size());
    const std::string term = "[" + layout::GetField(policy, pol::AgyCode) + "] [" +
                             layout::GetField(policy, pol::PolNum) + "][" +
                             layout::GetField(policy, pol::PolSeq) + "]";
    form.Label3 = term;
    form.ProcessMessages();

    if (layout::GetField(policy, pol::PolSeq) == "00") {
      report.Write(term);
      if (!deleting) {
        report.Line(" <= not in fix mode");
      } else {
        const RewriteResult removed =
            RemoveRecord(polWrite, pol::kRecordLength, FixedField(policy, kReadbackKeyLength));
        if (removed.readback != kBtrOk) {
          report.Line(" <= Read Back failed");
        } else if (removed.update != kBtrOk) {
          report.Line(" <= Delete failed");
        } else {
          report.Line(" <= Deleted");
        }
      }
    }

    length = pol::kRecordLength;
    status = btrGetNext(polRead, buffer.data(), &length, 0);
  }

  form.Label3 = "Running Query";
  form.ProcessMessages();
  if (deleting) {
    // A refused delete must not end the run, but the operator has to learn that the
    // database still holds the terms just removed from "POL".
    try {
      form.PvQuery1.SetDatabaseName(form.edtODBCName);
      form.PvQuery1.SqlClear();
      form.PvQuery1.SqlAdd("Delete from \"Policy\" where PolSeq = 0");
      form.PvQuery1.Open();
      form.PvQuery1.Close();
    } catch (const sqldb::Error& error) {
      report.Line("Error deleting from table Policy: " + std::string(error.what()));
    }
  }

  form.Label3 = "Done";
  report.Close();
}

}  // namespace talvor
