// Sync Pol/Inv: walks every Policy row (all agencies, index "Main_idx") and pushes its codes
// into the legacy files: the producer, company, transaction, department and class codes into
// its "POL" record; the department into every record of its invoice in "JCKI" and the class,
// producer and transaction codes into the invoice's items "01200", "01300" and "01500"; the
// class, transaction, company and producer codes into the invoice's "Desc" line "01". A
// producer missing from Producer is not written into "POL" or the producer item. Asks "Change
// invoice producers to policy producer?": only Yes lets the producer reach the invoice's
// producer item and its description; every other code is written either way. Reads Policy
// (tblPolicy) and Producer (tblPrd); writes "POL", "JCKI" (a read handle and a write handle)
// and "Desc". Writes "polinv.ERR" (failed lookups and updates, the answer, the summary),
// "polinv.chg" (codes changed on invoice items) and "polinv.TXT" (policies with an invoice,
// department corrections).
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
namespace jcki = layout::jcki;
namespace desc = layout::desc;

constexpr std::string_view kNoInvoice = "000000";

// The run's report files and error count.
struct SyncReports {
  explicit SyncReports(TForm1& form)
      : err(form, "polinv.ERR"), chg(form, "polinv.chg"), txt(form, "polinv.TXT") {}
  ReportFile err;
  ReportFile chg;
  ReportFile txt;
  long errors = 0;

  // An update that did not take is an error: the change lines written for it did not happen.
  void CheckUpdate(int status, const std::string& key) {
    if (status == kBtrOk) return;
    ++errors;
    err.Line("ERROR: Status (" + std::to_string(status) + ") on update of [" + key + "]");
  }
};

// The codes of one Policy row, in the widths of the legacy fields.
struct PolicyCodes {
  std::string agency;  // as stored
  std::string polNum;  // PadRight 20
  std::string seq;     // two digits below 10
  std::string prd;
  std::string invNum;  // ZeroFill 6
  std::string trn;
  std::string cls;
  std::string cmp;
  std::string dpt;
};

PolicyCodes ReadCodes(const sqldb::Table& policies) {
  PolicyCodes c;
  c.polNum = PadRight(policies.AsString("PolNum"), 20);
  c.agency = policies.AsString("AgyCode");
  const std::int64_t seq = policies.AsInteger("PolSeq");
  c.seq = (seq <= 9 ? "0" : "") + std::to_string(seq);
  c.prd = RightJustify(policies.AsString("Prd Code"), 3);
  c.invNum = ZeroFill(policies.AsString("InvNum"), 6);
  c.trn = RightJustify(policies.AsString("TrnCode"), 3);
  c.cls = RightJustify(policies.AsString("ClsCode"), 3);
  c.dpt = RightJustify(policies.AsString("DptCode"), 2);
  c.cmp = RightJustify(policies.AsString("CmpCode"), 3);
  return c;
}

// One item of the invoice, read on the invoice read handle into `item`. A missing item is
// reported and counted. Returns whether it was found.
bool ReadItem(int handle, std::array<char, jcki::kRecordLength>& item, const std::string& key,
              SyncReports& out) {
  int length = jcki::kRecordLength;
  if (btrGetEqual(handle, item.data(), &length, key.c_str(), 0, 0) == kBtrOk) return true;
  ++out.errors;
  out.err.Line("Invoice not found [" + key + "]");
  return false;
}

// Gives every record of the invoice `prefix` (agency, "I", number) the department `dpt`,
// each through a readback on the write handle.
void CorrectInvoiceDepartments(int readHandle, int writeHandle, const std::string& prefix,
                               const std::string& dpt, SyncReports& out) {
  std::array<char, jcki::kRecordLength> record{};
  int length = jcki::kRecordLength;
  int status = btrGetGreater(readHandle, record.data(), &length, prefix.c_str(), 0, 0);
  while (status == kBtrOk && std::string_view(record.data(), prefix.size()) == prefix) {
    const std::string key = layout::GetField({record.data(), record.size()}, jcki::Key);
    std::array<char, jcki::kRecordLength> copy{};
    int copyLength = jcki::kRecordLength;
    // Without a fresh copy on the write handle there is nothing safe to update.
    if (btrGetEqual(writeHandle, copy.data(), &copyLength, key.c_str(), 0, 0) == kBtrOk) {
      const std::string old = layout::GetField({copy.data(), copy.size()}, jcki::Dept);
      if (old != dpt) {
        out.txt.Line("Correcting Dpt [" + old + "] to [" + dpt + "]");
        layout::SetField(copy, jcki::Dept, dpt);
        out.CheckUpdate(btrUpdate(writeHandle, copy.data(), &copyLength), key);
      }
    }
    length = jcki::kRecordLength;
    status = btrGetNext(readHandle, record.data(), &length, 0);
  }
}

// Sets the department of a coded item ("01200", "01300", "01500") and, when `setCode`, its
// code; each change is written to "polinv.chg" with `label` (" Cls [", ...).
void SyncCodedItem(int readHandle, const std::string& prefix, std::string_view itemCode,
                   const std::string& dpt, const std::string& code, bool setCode,
                   std::string_view label, SyncReports& out) {
  std::array<char, jcki::kRecordLength> item{};
  const std::string key = prefix + std::string(itemCode);
  if (!ReadItem(readHandle, item, key, out)) return;
  const std::string_view view(item.data(), item.size());
  const std::string oldDpt = layout::GetField(view, jcki::Dept);
  const std::string oldCode = layout::GetField(view, jcki::Code);
  if (oldDpt != dpt) out.chg.Line(" Dpt [" + oldDpt + "] to [" + dpt + "]");
  if (setCode && oldCode != code) {
    out.chg.Line(std::string(label) + oldCode + "] to [" + code + "]");
  }
  layout::SetField(item, jcki::Dept, dpt);
  if (setCode) layout::SetField(item, jcki::Code, code);
  int length = jcki::kRecordLength;
  out.CheckUpdate(btrUpdate(readHandle, item.data(), &length), key);
}

// Sets the department of the item `itemCode` (header, its continuation, company item).
// Returns the item as read, or an empty text when it was not found.
std::string SyncItemDepartment(int readHandle, const std::string& prefix, std::string_view itemCode,
                               const std::string& dpt, SyncReports& out) {
  std::array<char, jcki::kRecordLength> item{};
  const std::string key = prefix + std::string(itemCode);
  if (!ReadItem(readHandle, item, key, out)) return {};
  const std::string asRead(item.data(), item.size());
  layout::SetField(item, jcki::Dept, dpt);
  int length = jcki::kRecordLength;
  out.CheckUpdate(btrUpdate(readHandle, item.data(), &length), key);
  return asRead;
}

}  // namespace

void SyncPolInv(TForm1& form) {
  SyncReports out(form);

  const bool fixIt = form.AskYesNo("Change invoice producers to policy producer?") == kAnswerYes;
  out.err.Line(fixIt ? "FixIt set ON!" : "FixIt set OFF!");

  BtrHandle polHandle;
  OpenLegacyFile(form, polHandle, LegacyPath(form, "POL"), "POL");
  const std::string jckiPath = LegacyPath(form, "JCKI");
  BtrHandle invRead;
  OpenLegacyFile(form, invRead, jckiPath, "JCKI");
  BtrHandle descHandle;
  OpenLegacyFile(form, descHandle, LegacyPath(form, "Desc"), "Desc");
  BtrHandle invWrite;
  OpenLegacyFile(form, invWrite, jckiPath, "JCKI2");

  sqldb::Table& producers = form.tblPrd;
  sqldb::Table& policies = form.tblPolicy;
  producers.SetDatabaseName(form.edtODBCName);
  policies.SetDatabaseName(form.edtODBCName);
  producers.Open();
  policies.Open();

  long rowsRead = 0;
  std::array<char, pol::kRecordLength> policy{};
  for (policies.First(); !policies.Eof(); policies.Next()) {
    ++rowsRead;
    const PolicyCodes c = ReadCodes(policies);
    form.Label3 = c.polNum + "-" + std::to_string(rowsRead) + "-" + std::to_string(out.errors);
    form.ProcessMessages();

    const bool prdFound = producers.Locate("AgyCode;Number", {c.agency, c.prd});
    if (!prdFound) {
      out.err.Line("Prd [" + c.prd + "] not found on pol [" + c.polNum + "]");
      ++out.errors;
    }

    const std::string polKey = c.agency + c.polNum + c.seq + "0";
    int length = pol::kRecordLength;
    if (btrGetEqual(polHandle, policy.data(), &length, polKey.c_str(), 0, 0) != kBtrOk) {
      out.err.Line("PolREc not found [" + polKey + "]");
      continue;
    }
    if (prdFound) layout::SetField(policy, pol::PrdCode, c.prd);
    layout::SetField(policy, pol::Company, c.cmp);
    layout::SetField(policy, pol::TrnCode, c.trn);
    layout::SetField(policy, pol::Dept, c.dpt);
    layout::SetField(policy, pol::Class, c.cls);
    out.CheckUpdate(btrUpdate(polHandle, policy.data(), &length), polKey);

    if (c.invNum == kNoInvoice) continue;
    out.txt.Line("Policy [" + c.polNum + "] cls [" + c.cls + "] dpt [" + c.dpt + "]");

    const std::string prefix = c.agency + "I" + c.invNum;
    CorrectInvoiceDepartments(invRead, invWrite, prefix, c.dpt, out);

    const std::string header = SyncItemDepartment(invRead, prefix, jcki::kHeader, c.dpt, out);
    if (!header.empty() && layout::GetField(header, jcki::ContFlag) == "D") {
      SyncItemDepartment(invRead, prefix, jcki::kHeaderContinuation, c.dpt, out);
    }
    SyncItemDepartment(invRead, prefix, jcki::kCompanyItem, c.dpt, out);
    SyncCodedItem(invRead, prefix, jcki::kClassItem, c.dpt, c.cls, true, " Cls [", out);
    SyncCodedItem(invRead, prefix, jcki::kProducerItem, c.dpt, c.prd, prdFound && fixIt, " Prd [",
                  out);
    SyncCodedItem(invRead, prefix, jcki::kTransactionItem, c.dpt, c.trn, true, " Trn [", out);

    const std::string descKey = prefix + "01";
    std::array<char, desc::kRecordLength> line{};
    int descLength = desc::kRecordLength;
    if (btrGetEqual(descHandle, line.data(), &descLength, descKey.c_str(), 0, 0) == kBtrOk) {
      layout::SetField(line, desc::TrnCode, c.trn);
      layout::SetField(line, desc::Class, c.cls);
      layout::SetField(line, desc::Company, c.cmp);
      if (fixIt) layout::SetField(line, desc::PrdCode, c.prd);
      out.CheckUpdate(btrUpdate(descHandle, line.data(), &descLength), descKey);
    } else {
      out.err.Line("Desc not found [" + descKey + "]");
      ++out.errors;
    }
  }

  form.Label3 = "Done";
  out.txt.Close();
  out.err.Line(" Can fix 0  can't fix 0 (0 have zero comm)");
  out.err.Line(std::to_string(rowsRead) + " items, " + std::to_string(out.errors) + " had errors");
  out.err.Close();
  out.chg.Close();
  policies.Close();
  producers.Close();
}

}  // namespace talvor
