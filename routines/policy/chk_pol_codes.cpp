// Chk Pol Codes: checks that every code a current policy of the site's agency names
// (client, class, company, producer, department) has its main line in the agency master
// file "ap". Current means an expiration date, compared as stored text, after ";00101"
// (2010-01-01). Asks "Backfill Codes?"; on Yes each missing class, company, producer or
// department code is added to "ap" as a minimal code record named after the code (client
// codes are only reported). Reads "POL"; reads and may write "AP". Writes "polscan.ERR"
// (findings, additions and the summary) and "POLCLS.TXT" (records whose agency code holds a
// lower-case letter, and the summary).
// Deliberate difference from the legacy routine:
// - after a failed insert the fallback update re-reads the code's own key first.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/kit/ap_code_lookup.h"
#include "routines/policy/policy_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/dates.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

namespace pol = layout::pol;
using layout::CodeKind;

// Expiration dates up to and including this one (as stored text) are not looked at.
constexpr std::string_view kOldestExpiration = ";00101";
constexpr int kLabelEvery = 250;

// How a failed lookup is written: with the policy and its expiration date when "ap" says
// the code is not there (kByStatus) or always (kLong), or as agency, code and status only
// (kShort, and kByStatus on any other status).
enum class LineForm { kByStatus, kLong, kShort };

struct CodeCheck {
  std::string_view recType;
  std::string_view label;  // names the code in the report line
  layout::Field field;     // where the policy holds the code
  LineForm form;
  bool backfills;          // a missing code of this kind may be added to "ap"
  CodeKind kind;           // its kind, when it does
  std::string_view added;  // the line written when it was added, before " attempt N"
};

// In the order the checks run.
constexpr CodeCheck kChecks[] = {
    {layout::ap::kClient, "Clt", pol::CltNum, LineForm::kByStatus, false, CodeKind::kClass, ""},
    {layout::ap::kClass, "Cls", pol::Class, LineForm::kByStatus, true, CodeKind::kClass,
     "--> Class code added"},
    {layout::ap::kCompany, "Cmp", pol::Company, LineForm::kByStatus, true, CodeKind::kCompany,
     "--> Cmp code added"},
    {layout::ap::kProducer, "Prd", pol::PrdCode, LineForm::kLong, true, CodeKind::kProducer,
     "--> Prd code added"},
    {layout::ap::kDepartment, "Dpt", pol::Dept, LineForm::kShort, true, CodeKind::kDepartment,
     "--> Dpt code added"},
};

// The key text of a record about to be written: its first 19 bytes (the engine compares
// the 16 bytes of key 0 only).
constexpr std::size_t kKeyTextLength = 19;

// Writes the code record of a missing department, class, company or producer code
// (layout::NewMissingCodeRecord, in a 150-byte buffer whose bytes 128-149 are zero) to "ap"
// on `apHandle`, whose path `apPath` the failure messages name:
//   1. a record already stored under the code's key (its first 19 bytes as the key text)
//      is removed with btrDelete;
//   2. btrInsert of the new record. Success: returns 1.
//   3. The insert failed: Notify "(01) Unable to update ap file " + apPath + ", status is "
//      + status; then the record of the code's key is read again on the handle and, when
//      found, replaced with btrUpdate. Success: returns 2. Otherwise Notify "(00) Unable to
//      update ap file " + apPath + ", status is " + the status of the failed read or
//      update, and returns 0.
// The update of step 3 only ever replaces the record stored under the code's own key, never
// whatever record the handle last stood on.
// Afterwards the handle stands on the record written, or on no particular record.
int BackfillMissingCode(TForm1& form, int apHandle, const std::string& apPath,
                        layout::CodeKind kind, std::string_view agency, std::string_view code) {
  namespace ap = layout::ap;
  const std::string added = layout::NewMissingCodeRecord(kind, agency, code);
  std::array<char, ap::kBufferLength> record{};
  std::copy_n(added.begin(), std::min<std::size_t>(added.size(), ap::kRecordLength),
              record.begin());
  const std::string key = added.substr(0, kKeyTextLength);

  std::array<char, ap::kBufferLength> scratch{};
  int length = ap::kBufferLength;
  if (btrGetEqual(apHandle, scratch.data(), &length, key.c_str(), 0, 0) == kBtrOk) {
    btrDelete(apHandle);
  }

  length = ap::kBufferLength;
  int status = btrInsert(apHandle, record.data(), &length, 0);
  if (status == kBtrOk) return 1;
  form.Notify("(01) Unable to update ap file " + apPath + ", status is " + std::to_string(status));

  length = ap::kBufferLength;
  status = btrGetEqual(apHandle, scratch.data(), &length, key.c_str(), 0, 0);
  if (status == kBtrOk) {
    length = ap::kBufferLength;
    status = btrUpdate(apHandle, record.data(), &length);
  }
  if (status != kBtrOk) {
    form.Notify("(00) Unable to update ap file " + apPath + ", status is " +
                std::to_string(status));
    return 0;
  }
  return 2;
}

}  // namespace

void ChkPolCodes(TForm1& form) {
  ReportFile err(form, "polscan.ERR");
  ReportFile badAgy(form, "POLCLS.TXT");

  const bool backfill = form.AskYesNo("Backfill Codes?") == kAnswerYes;
  err.Line(backfill ? "Backfill set ON!" : "Backfill set OFF!");

  const std::string polPath = LegacyPath(form, "POL");
  BtrHandle polFile;
  OpenLegacyFile(form, polFile, polPath, "POL");
  const std::string apPath = LegacyPath(form, "AP");
  BtrHandle apFile;
  OpenLegacyFile(form, apFile, apPath, "Ap");

  const std::string agency = AgencyCode(form);
  const std::string startKey = PadRight(agency, pol::PolKey.width);

  long recordsRead = 0;
  long errors = 0;
  std::array<char, pol::kRecordLength> buffer{};
  const int dataLength = pol::kRecordLength;
  int length = dataLength;
  int status = btrGetGreater(polFile, buffer.data(), &length, startKey.c_str(), 0, 0);
  while (status == kBtrOk) {
    const std::string_view record(buffer.data(), buffer.size());
    ++recordsRead;
    if (recordsRead % kLabelEvery == 0) {
      form.Label3 = "Good " + std::to_string(recordsRead) + " Bad " + std::to_string(errors);
      form.ProcessMessages();
    }

    const std::string recordAgency = layout::GetField(record, pol::AgyCode);
    const std::string expiration = layout::GetField(record, pol::ExpirationDate);
    if (UpperCase(recordAgency) != recordAgency) {
      badAgy.Line("BAD AGY:[" + FixedField(record, pol::kRecordLength) + "]");
    } else if (recordAgency == agency && expiration > kOldestExpiration) {
      const std::string expText = LegacyDateToText(expiration);
      const std::string polNum = PadRight(layout::GetField(record, pol::PolNum), 20);

      for (const CodeCheck& check : kChecks) {
        const std::string code = layout::GetField(record, check.field);
        const int found = FindApCode(apFile, check.recType, agency, code);
        if (found == kBtrOk) continue;
        ++errors;
        const std::string head = "Agy [" + agency + "] " + std::string(check.label) + " [" + code;
        const std::string tail = "] status (" + std::to_string(found) + ")";
        const bool longForm = check.form == LineForm::kLong ||
                              (check.form == LineForm::kByStatus && found == kBtrKeyNotFound);
        err.Line(longForm ? head + "] pol [" + polNum + "] exp date [" + expText + tail
                          : head + tail);
        if (!check.backfills || !backfill) continue;
        const int attempt = BackfillMissingCode(form, apFile, apPath, check.kind, agency, code);
        if (attempt != 0) {
          err.Line(std::string(check.added) + " attempt " + std::to_string(attempt));
        }
      }
    }

    length = dataLength;
    status = btrGetNext(polFile, buffer.data(), &length, 0);
  }

  const std::string summary = "(" + std::to_string(errors) + ") errors found in (" +
                              std::to_string(recordsRead) + ") total policies";
  err.Line(summary);
  badAgy.Line(summary);
  err.Close();
  badAgy.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
