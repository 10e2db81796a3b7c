// Prd Scan: the agency's producers as a comma-separated list.
//
// Checks each producer's name for a code in square brackets ("No Code Listed" when there is
// no "[", "Matching ] not found" when the "[" is not closed). The "Active" column carries
// the inactive flag as it stands: "No" when InactiveAcct reads "FALSE", "Yes" for anything
// else, an empty flag included. Changes nothing. Reads the Producer table of the agency
// (tblPrd, on the alias of the ODBC name box). Writes "PrdRpt.csv": a heading line, then one
// line per producer (number, name, default commission rate, yes/no, message), every field
// quoted. Asks nothing.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "routines/reports/reports_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

// A rate in fixed notation with two decimals, rounded to three significant digits (half
// away from zero, on the shortest decimal form of the value, so 7.125 gives 7.13 and 0.145
// gives 0.15). The rounding is done once, at whichever of the two limits comes first:
// 0.1 -> "0.10", 12.5 -> "12.50", 123.456 -> "123.00", 1234.5 -> "1230.00",
// 0.005 -> "0.01", 0.004 -> "0.00". A value that rounds to zero has no sign.
// Infinities and NaN (which a REAL column can hold) are written as "inf", "-inf", "nan".
std::string RateText(double rate) {
  if (!std::isfinite(rate)) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%g", rate);
    return buf;
  }
  if (rate == 0) return "0.00";

  // Shortest round-trip form: "d[.ddd]e[+-]XX".
  char buf[64];
  const auto result =
      std::to_chars(buf, buf + sizeof buf, std::fabs(rate), std::chars_format::scientific);
  const std::string_view text(buf, static_cast<std::size_t>(result.ptr - buf));
  const std::size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  for (char c : text.substr(e + 2)) exponent = exponent * 10 + (c - '0');
  if (text[e + 1] == '-') exponent = -exponent;

  // The power of ten of the last digit kept: the third significant digit or the second
  // decimal, whichever is coarser.
  const int last = std::max(exponent - 2, -2);
  const int keep = exponent - last + 1;  // significant digits kept; 0 or less below 0.01
  std::string kept = "0";
  bool roundUp = false;
  if (keep > 0) {
    const auto n = static_cast<std::size_t>(keep);
    kept = digits.substr(0, n);
    kept.resize(n, '0');
    roundUp = n < digits.size() && digits[n] >= '5';
  } else {
    roundUp = keep == 0 && digits[0] >= '5';
  }
  if (roundUp) {
    std::size_t i = kept.size();
    while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
    if (i == 0) {
      kept.insert(kept.begin(), '1');
    } else {
      ++kept[i - 1];
    }
  }

  // In hundredths: the kept digits followed by zeros down to the second decimal.
  std::string cents = kept + std::string(static_cast<std::size_t>(last + 2), '0');
  const std::size_t firstNonZero = cents.find_first_not_of('0');
  if (firstNonZero == std::string::npos) return "0.00";
  cents.erase(0, std::min(firstNonZero, cents.size() - 3));
  if (cents.size() < 3) cents.insert(0, 3 - cents.size(), '0');
  cents.insert(cents.size() - 2, ".");
  return rate < 0 ? "-" + cents : cents;
}

}  // namespace

void PrdScan(TForm1& form) {
  const std::string agency = AgencyCode(form);
  ReportFile report(form, "PrdRpt.csv");
  report.Line("Number, Name, Rate, Active, Message");

  sqldb::Table& producers = form.tblPrd;
  producers.SetDatabaseName(form.edtODBCName);
  producers.Open();
  producers.SetFilter("AgyCode = " + SqlQuote(agency));
  producers.SetFiltered(true);

  for (producers.First(); !producers.Eof(); producers.Next()) {
    const std::string number = producers.AsString("Number");
    const std::string name = producers.AsString("Name");
    const std::string active = producers.AsString("InactiveAcct") == "FALSE" ? "No" : "Yes";

    std::string message;
    if (name.find('[') == std::string::npos) {
      message = "No Code Listed";
    } else if (name.find(']') == std::string::npos) {
      message = "Matching ] not found";
    }

    form.Label3 = number + " " + name;
    form.ProcessMessages();

    const std::string rate = RateText(producers.AsFloat("DefCommission"));
    report.Line(CsvQuote(number) + "," + CsvQuote(name) + "," + CsvQuote(rate) + "," +
                CsvQuote(active) + "," + CsvQuote(message));
  }

  producers.Close();
  report.Close();
  form.Label3 = "Done!";
}

}  // namespace talvor
