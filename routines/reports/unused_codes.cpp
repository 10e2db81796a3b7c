// Unused Codes: which company and class codes of the agency database are in use.
//
// A company is in use when a policy names it, or else when the invoice file holds a
// direct-bill ("11130") or agency-bill ("12110") entry for it; a class when a policy names it.
// Companies of the agency in the Agency Code box only; classes of every agency.
// Changes nothing. Reads Company (tblCmp), ClassTypes (tblCls) and Policy (tblPolicy) on the
// alias of the ODBC name box, and the legacy file "JCKI" by key 1. Writes "used_cmp.txt",
// "unused_cmp.txt", "used_cls.txt" and "unused_cls.txt". Asks nothing.
#include <array>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/reports/reports_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

void UnusedCodes(TForm1& form) {
  namespace jcki = layout::jcki;

  BtrHandle invoices;
  const std::string path = LegacyPath(form, "JCKI");
  OpenLegacyFile(form, invoices, path, "JCKI");
  std::array<char, jcki::kRecordLength> record{};
  int length = jcki::kRecordLength;

  form.tblCmp.SetDatabaseName(form.edtODBCName);
  form.tblPolicy.SetDatabaseName(form.edtODBCName);
  form.tblCls.SetDatabaseName(form.edtODBCName);
  form.tblCmp.Open();
  form.tblPolicy.Open();
  ReportFile unusedCmp(form, "unused_cmp.txt");
  ReportFile usedCmp(form, "used_cmp.txt");

  form.tblCmp.SetFilter("AgyCode = " + SqlQuote(AgencyCode(form)));
  form.tblCmp.SetFiltered(true);

  // Reads the first key-1 record after agency + entry + company and returns the status. A
  // hit is a record of that agency, posting kind, account and company: the record read is
  // merely the next one in key order, and another account's entry that happens to carry the
  // same code must not count. `invoice` is the record's invoice number.
  auto lookUp = [&](const std::string& agency, const std::string& entry, const std::string& code,
                    bool& hit, std::string& invoice) {
    const std::string key = agency + entry + code;
    const int status = btrGetGreater(invoices, record.data(), &length, key.c_str(), 1, 0);
    const std::string_view read(record.data(), record.size());
    hit = status == 0 &&
          layout::GetField(read, jcki::AgyCode2) + layout::GetField(read, jcki::PostKind) +
                  layout::GetField(read, jcki::GLAcct) + layout::GetField(read, jcki::Code) ==
              key;
    invoice = layout::GetField(read, jcki::InvNum);
    return status;
  };

  for (form.tblCmp.First(); !form.tblCmp.Eof(); form.tblCmp.Next()) {
    const std::string agency = RightJustify(form.tblCmp.AsString("AgyCode"), 2);
    const std::string code = RightJustify(form.tblCmp.AsString("Number"), 3);
    const std::string name = LeftJustify(form.tblCmp.AsString("Name"), 35);
    const std::string label = agency + ":" + code + ":" + name;
    form.Label3 = agency + "/" + code;
    form.ProcessMessages();

    if (form.tblPolicy.Locate("AgyCode;CmpCode", {agency, code})) {
      usedCmp.Line(" Found [" + label + "] on policy     [" + form.tblPolicy.AsString("PolNum") +
                   "]");
      continue;
    }
    bool hit = false;
    std::string invoice;
    if (lookUp(agency, "11130", code, hit, invoice) != 0) {
      unusedCmp.Line(" did not find [" + label + "] on invoice");
      continue;
    }
    if (hit) {
      usedCmp.Line(" Found [" + label + "] on DB invoice [" + invoice + "]");
      continue;
    }
    if (lookUp(agency, "12110", code, hit, invoice) != 0) {
      unusedCmp.Line(" did not find [" + label + "] on invoice");
    } else if (hit) {
      usedCmp.Line(" Found [" + label + "] on AB invoice [" + invoice + "]");
    } else {
      unusedCmp.Line(" did not find [" + label + "]");
    }
  }
  form.tblCmp.Close();
  unusedCmp.Close();
  usedCmp.Close();

  ReportFile unusedCls(form, "unused_cls.txt");
  ReportFile usedCls(form, "used_cls.txt");
  form.tblCls.Open();
  for (form.tblCls.First(); !form.tblCls.Eof(); form.tblCls.Next()) {
    const std::string agency = RightJustify(form.tblCls.AsString("AgyCode"), 2);
    const std::string code = RightJustify(form.tblCls.AsString("Number"), 3);
    const std::string name = LeftJustify(form.tblCls.AsString("Name"), 35);
    const std::string label = agency + ":" + code + ":" + name;
    form.Label3 = agency + "/" + code;
    form.ProcessMessages();
    if (form.tblPolicy.Locate("AgyCode;ClsCode", {agency, code})) {
      usedCls.Line(" Found [" + label + "] on policy     [" + form.tblPolicy.AsString("PolNum") +
                   "]");
    } else {
      unusedCls.Line(" did not find [" + label + "]");
    }
  }
  form.tblCls.Close();
  unusedCls.Close();
  usedCls.Close();
  btrClose(invoices);
  form.Label3 = "Done!";
}

}  // namespace talvor
