// Bump Pol Dates: moves the entry, effective and expiration dates of every policy term of
// "POL" (all agencies) 1095 days on, in the legacy record (through a second handle) and in
// its Policy row, for example to bring an old copy of a site's data up to date. First sets
// the program's short date format to "mm/dd/yyyy", for the rest of the program's run: the
// dates travel through text in that format. A blank or invalid date ends the run with the
// conversion error (terms moved before stay moved). Asks nothing. Reads and writes "POL";
// writes Policy (tblWritePol). Writes "datescan.ERR": terms without a Policy row, records
// that could not be written, the totals.
#include <array>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/policy/policy_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/dates.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

namespace pol = layout::pol;

// Three years of 365 days: the move counts days, not calendar years.
constexpr long kBumpDays = 1095;

// A legacy date moved on: its value, and its new six characters.
struct MovedDate {
  Date date;
  std::string legacy;
};

// Reads `legacy` as text in the short date format, adds the days, writes the result as text
// in that format and converts it back. Throws ConversionError for a blank or invalid date,
// and for a result after 2029.
MovedDate Move(std::string_view legacy, const DateFormats& formats) {
  const Date moved = AddDays(ParseDate(LegacyDateToText(legacy), formats.shortDate), kBumpDays);
  return {moved, TextToLegacyDate(FormatDate(moved, formats.shortDate), formats)};
}

}  // namespace

void BumpPolDates(TForm1& form) {
  form.Formats.shortDate = "mm/dd/yyyy";

  ReportFile report(form, "datescan.ERR");
  sqldb::Table& policies = form.tblWritePol;
  policies.SetDatabaseName(form.edtODBCName);
  policies.Open();
  const std::string polPath = LegacyPath(form, "POL");
  BtrHandle polRead;
  OpenLegacyFile(form, polRead, polPath, "POL");
  form.Label3 = "running.....";
  form.ProcessMessages();
  BtrHandle polWrite;
  OpenLegacyFile(form, polWrite, polPath, "POL2");

  long examined = 0;
  long errors = 0;
  std::array<char, pol::kRecordLength> buffer{};
  std::array<char, pol::kRecordLength> scratch{};
  int length = pol::kRecordLength;
  int status = btrGetFirst(polRead, buffer.data(), &length, 0, 0);
  while (status == kBtrOk) {
    const std::string_view policy(buffer.data(), buffer.size());
    ++examined;
    const std::string agency = layout::GetField(policy, pol::AgyCode);
    const std::string polNum = layout::GetField(policy, pol::PolNum);
    const std::string seq = layout::GetField(policy, pol::PolSeq);
    form.Label3 = polNum;
    form.ProcessMessages();

    // All three are converted before either store is touched, so a date that cannot be
    // converted leaves this term as it was.
    const MovedDate entry = Move(layout::GetField(policy, pol::EntryDate), form.Formats);
    const MovedDate effective = Move(layout::GetField(policy, pol::EffectiveDate), form.Formats);
    const MovedDate expiration = Move(layout::GetField(policy, pol::ExpirationDate), form.Formats);

    if (policies.Locate("AgyCode;PolNum;PolSeq", {agency, Trim(polNum), seq})) {
      policies.Edit();
      policies.SetDateTime("EntryDate", DateTime{entry.date});
      policies.SetDateTime("EffectiveDate", DateTime{effective.date});
      policies.SetDateTime("ExpirationDate", DateTime{expiration.date});
      policies.Post();
    } else {
      ++errors;
      report.Line("Locate Failed for [" + agency + "][" + polNum + "][" + seq + "]");
    }

    std::array<char, pol::kRecordLength> changed = buffer;
    layout::SetField(changed, pol::EntryDate, entry.legacy);
    layout::SetField(changed, pol::EffectiveDate, effective.legacy);
    layout::SetField(changed, pol::ExpirationDate, expiration.legacy);
    const std::string key = layout::GetField(policy, pol::PolKey);
    int scratchLength = pol::kRecordLength;
    const int readback = btrGetEqual(polWrite, scratch.data(), &scratchLength, key.c_str(), 0, 0);
    if (readback != kBtrOk) {
      ++errors;
      report.Line("status (" + std::to_string(readback) + ") on read back of PolKey [" + key + "]");
    } else {
      int changedLength = pol::kRecordLength;
      const int updated = btrUpdate(polWrite, changed.data(), &changedLength);
      if (updated != kBtrOk) {
        ++errors;
        report.Line("status (" + std::to_string(updated) + ") on update of PolKey [" + key + "]");
      }
    }

    length = pol::kRecordLength;
    status = btrGetNext(polRead, buffer.data(), &length, 0);
  }

  report.Line("Final status " + std::to_string(status) + " Examined " + std::to_string(examined) +
              " records, " + std::to_string(errors) + " errors");
  report.Close();
  policies.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
