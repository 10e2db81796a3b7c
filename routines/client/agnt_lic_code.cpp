// Agnt Lic. Code: broker clients (type letter "B") are agents; their license number, its
// expiry month and year (client line "03") and their legal-entity letter (line "04") live in
// the agency master file "ap". Copies them into the agent's Customer row (`License1`,
// `License1Expires`, `LegalEntityCode`) for every agency, and lists in "outdated.err" each
// agent whose license expired before 1 January 2006, making it inactive (`ActiveStatus` "N").
// Touches: "ap" (a walking handle and a lookup handle, read only), table Customer
// (tblClients). Asks nothing. An expiry month of 0 or above 12 is not a date and ends the
// run with a message naming the agent; rows posted before stay changed.
#include <charconv>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/client/client_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/dates.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

// The whole of `text` read as a decimal integer (an optional "-" and digits), or `fallback`.
int NumberOr(const std::string& text, int fallback) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return (ec == std::errc() && ptr == end) ? value : fallback;
}

// The last day of the month as the legacy system counts it: February always has 28 days,
// and months outside 1-12 get 30 (which leaves them invalid dates).
int LicenseDay(int month) {
  if (month == 2) return 28;
  if (month == 0 || month == 4 || month == 6 || month == 9 || month == 11 || month > 12) return 30;
  return 31;
}

constexpr Date kCutOff{2006, 1, 1};

}  // namespace

void AgntLicCode(TForm1& form) {
  namespace ap = layout::ap;
  using layout::GetField;

  form.tblClients.SetDatabaseName(form.edtODBCName);
  form.tblClients.Open();
  ReportFile report(form, "outdated.err");

  const std::string path = LegacyPath(form, "ap");
  BtrHandle readHandle;
  BtrHandle lookupHandle;
  OpenLegacyFile(form, readHandle, path, "ap");
  OpenLegacyFile(form, lookupHandle, path, "ap2");

  int length = ap::kBufferLength;
  std::string record = layout::BlankRecord(ap::kBufferLength);
  std::string line03 = layout::BlankRecord(ap::kBufferLength);
  std::string line04 = layout::BlankRecord(ap::kBufferLength);
  const std::string start = std::string(ap::kClient) + "000";

  for (int status = btrGetGreater(readHandle, record.data(), &length, start.c_str(), 0, 0);
       status == kBtrOk; status = btrGetNext(readHandle, record.data(), &length, 0)) {
    if (GetField(record, ap::RecType) != ap::kClient || GetField(record, ap::Line) != "00" ||
        GetField(record, ap::line00::TypeLetter) != "B") {
      continue;
    }
    const std::string agency = GetField(record, ap::AgyCode);
    const std::string number = GetField(record, ap::Number);
    form.Label3 = number;
    form.ProcessMessages();

    std::string key = record.substr(0, ap::RecTypeCopy.end());
    layout::SetField(key, ap::Line, "03");
    if (btrGetEqual(lookupHandle, line03.data(), &length, key.c_str(), 0, 0) != kBtrOk) continue;
    layout::SetField(key, ap::Line, "04");
    const std::string letter =
        btrGetEqual(lookupHandle, line04.data(), &length, key.c_str(), 0, 0) == kBtrOk
            ? GetField(line04, ap::client04::LegalEntity)
            : "I";

    const std::string license = Trim(GetField(line03, ap::client03::License1));
    if (license.empty()) continue;

    std::string monthText = Trim(GetField(line03, ap::client03::License1Month));
    if (monthText.empty()) monthText = "12";
    const std::string yearDigits = Trim(GetField(line03, ap::client03::License1Year));
    const std::string yearText = yearDigits.empty() ? "1999" : "20" + yearDigits;
    const int month = NumberOr(monthText, 12);
    const int year = NumberOr(yearText, 1999);
    const Date expires{year, month, LicenseDay(month)};
    if (!IsValidDate(expires)) {
      throw ConversionError("License expiry month '" + monthText + "' of " + yearText +
                            " is not a valid date, for agent [" + agency + ":" + number + "]");
    }

    if (!form.tblClients.Locate("AgyCode;Number", {agency, number})) continue;
    form.tblClients.Edit();
    form.tblClients.SetString("License1", license);
    form.tblClients.SetDateTime("License1Expires", DateTime{expires});
    int legalEntityCode = 1;
    if (letter == "C") legalEntityCode = 0;
    if (letter == "P") legalEntityCode = 2;
    form.tblClients.SetInteger("LegalEntityCode", legalEntityCode);
    if (expires < kCutOff) {
      report.Line("Agent " + number + " license expired " +
                  FormatDate(expires, form.Formats.shortDate));
      form.tblClients.SetString("ActiveStatus", "N");
    }
    form.tblClients.Post();
  }

  report.Close();
  btrClose(readHandle);
  btrClose(lookupHandle);
  form.tblClients.Close();
  form.Label3 = "Done, select another option";
}

}  // namespace talvor
