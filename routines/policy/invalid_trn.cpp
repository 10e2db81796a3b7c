// Invalid Trn: walks the transaction items of agency "01" in "JCKI" (key 1 "0115108": posting
// kind "1", ledger account "5108"), whatever agency the settings name. Lists each item whose
// code the Trans table lacks; an item whose code is known in capitals gets the capitalised
// code (through a second handle). Then brings the transaction code of the invoice's "Desc"
// line into line with the item's code. Asks nothing. Reads Trans (tblTrn); reads and writes
// "JCKI" and "Desc". Writes "TrnVerify.ERR" (unknown codes, fixes, failed writes, totals) and
// "TrnVerify.TXT" (missing and corrected descriptions).
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
namespace desc = layout::desc;

// The items walked: agency "01", posting kind "1", ledger account "5108" (key 1's start).
constexpr std::string_view kAgency = "01";
constexpr std::string_view kItemsKey = "0115108";

// The description key of an item: its first 11 bytes (agency, type, number, line digits).
constexpr int kDescKeyLength = 11;

}  // namespace

void InvalidTrn(TForm1& form) {
  ReportFile err(form, "TrnVerify.ERR");
  ReportFile txt(form, "TrnVerify.TXT");

  const std::string jckiPath = LegacyPath(form, "JCKI");
  BtrHandle jckiRead;
  OpenLegacyFile(form, jckiRead, jckiPath, "JCKI");
  BtrHandle descHandle;
  OpenLegacyFile(form, descHandle, LegacyPath(form, "Desc"), "Desc");
  BtrHandle jckiWrite;
  OpenLegacyFile(form, jckiWrite, jckiPath, "JCKI2");
  sqldb::Table& trans = form.tblTrn;
  trans.SetDatabaseName(form.edtODBCName);
  trans.Open();

  long itemsRead = 0;
  long canFix = 0;
  long cannotFix = 0;
  std::array<char, jcki::kRecordLength> buffer{};
  std::array<char, desc::kRecordLength> line{};
  const std::string startKey(kItemsKey);
  int length = jcki::kRecordLength;
  int status = btrGetGreater(jckiRead, buffer.data(), &length, startKey.c_str(), 1, 0);
  while (status == kBtrOk) {
    const std::string_view item(buffer.data(), buffer.size());
    ++itemsRead;
    form.Label3 = layout::GetField(item, jcki::InvNum);
    form.ProcessMessages();

    const std::string posting = layout::GetField(item, jcki::AgyCode2) +
                                layout::GetField(item, jcki::PostKind) +
                                layout::GetField(item, jcki::GLAcct);
    if (posting != kItemsKey) break;

    const std::string key = layout::GetField(item, jcki::Key);
    std::string code = layout::GetField(item, jcki::Code);
    if (!trans.Locate("AgyCode;Number", {kAgency, code})) {
      err.Line(key + " Bad Trn [" + code + "]");
      const std::string upper = UpperCase(code);
      if (upper != code && trans.Locate("AgyCode;Number", {kAgency, upper})) {
        ++canFix;
        err.Line(" CAN FIX !");
        code = upper;
        const RewriteResult fixed =
            RewriteField(jckiWrite, jcki::kRecordLength, key, jcki::Code, code);
        if (fixed.readback != kBtrOk) {
          err.Line("ERROR " + std::to_string(fixed.readback) + " on readback of [" + key + "]");
        } else if (fixed.update != kBtrOk) {
          err.Line("ERROR " + std::to_string(fixed.update) + " on update of [" + key + "]");
        }
      } else {
        ++cannotFix;
      }
    }

    const std::string descKey = FixedField(item, kDescKeyLength);
    int descLength = desc::kRecordLength;
    if (btrGetEqual(descHandle, line.data(), &descLength, descKey.c_str(), 0, 0) != kBtrOk) {
      txt.Line(descKey + " <= Missing Desc");
    } else {
      const std::string descCode = layout::GetField({line.data(), line.size()}, desc::TrnCode);
      if (descCode != code) {
        txt.Line(descKey + " mismatch on desc trn [" + code + "] -v- [" + descCode + "]");
        layout::SetField(line, desc::TrnCode, code);
        const int updated = btrUpdate(descHandle, line.data(), &descLength);
        if (updated != kBtrOk) {
          txt.Line("ERROR " + std::to_string(updated) + " on update of desc [" + descKey + "]");
        }
      }
    }

    length = jcki::kRecordLength;
    status = btrGetNext(jckiRead, buffer.data(), &length, 0);
  }

  err.Line(std::to_string(itemsRead) + " total items, " + std::to_string(canFix) +
           " can be fixed, " + std::to_string(cannotFix) + " can not be fixed");
  err.Close();
  txt.Close();
  trans.Close();
  form.Label3 = "Done";
  form.ProcessMessages();
}

}  // namespace talvor
