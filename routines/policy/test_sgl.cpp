// Test SGL: walks every record of the invoice file "JCKI" (every agency, every entry kind)
// and checks that the department, client, company, class, producer, transaction and bank
// codes an entry posts to exist in the agency master file "ap"; a missing code is reported
// when the entry carries an amount (a missing company on a company item always). Asks
// nothing and repairs known conversion leftovers as it goes: a department missing from
// "ap" that begins with "P" becomes "PL" and "CM" becomes "CL"; a company item whose
// company is missing or "999" gets "ZZZ"; void ("X") entries are deleted. The repairs that
// rest on a missing code are made only when "ap" answered that the code does not exist: when
// "ap" could not be opened or read, the codes are reported but nothing is changed on that
// ground. Reads "ap"; reads and writes "JCKI" (through a second handle). Writes
// "ScanGL.ERR" (every finding) and "ScanGL.TXT" (no lines).
#include <array>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/kit/ap_code_lookup.h"
#include "routines/policy/policy_routines.h"
#include "routines/kit/record_rewrite.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

namespace jcki = layout::jcki;
namespace ap = layout::ap;

constexpr std::string_view kZeroAmount = "0000000000";
// Where the item code's sub-line starts: line (2) then sub-line (3).
constexpr std::size_t kItemLineWidth = 2;

}  // namespace

void TestSGL(TForm1& form) {
  ReportFile err(form, "ScanGL.ERR");
  ReportFile txt(form, "ScanGL.TXT");

  const std::string jckiPath = LegacyPath(form, "JCKI");
  BtrHandle jckiRead;
  OpenLegacyFile(form, jckiRead, jckiPath, "JCKI");
  BtrHandle jckiWrite;
  OpenLegacyFile(form, jckiWrite, jckiPath, "JCKI");
  BtrHandle apFile;
  OpenLegacyFile(form, apFile, LegacyPath(form, "ap"), "ap");

  std::array<char, jcki::kRecordLength> buffer{};
  int length = jcki::kRecordLength;
  int status = btrGetFirst(jckiRead, buffer.data(), &length, 0, 0);
  while (status == kBtrOk) {
    const std::string_view record(buffer.data(), buffer.size());
    const std::string agency = layout::GetField(record, jcki::AgyCode);
    const std::string type = layout::GetField(record, jcki::EntryType);
    const std::string key = layout::GetField(record, jcki::Key);
    const std::string item = layout::GetField(record, jcki::ItemCode);
    const std::string itemLine = item.substr(0, kItemLineWidth);
    const std::string subCode = item.substr(kItemLineWidth);
    const std::string code = layout::GetField(record, jcki::Code);
    const std::string client = layout::GetField(record, jcki::CltNum);
    const std::string dept = layout::GetField(record, jcki::Dept);
    const std::string amount = layout::GetField(record, jcki::Amount);
    const bool hasAmount = amount != kZeroAmount;
    form.Label3 = key;
    form.ProcessMessages();

    // Looks a code up; returns its status (0: the code exists).
    const auto lookup = [&](std::string_view recType, const std::string& value) {
      return FindApCode(apFile, recType, agency, value);
    };
    // A code missing from "ap": label + code + ") on (" + key + ") (" + amount + ")".
    const auto finding = [&](std::string_view label, const std::string& value) {
      err.Line(std::string(label) + value + ") on (" + key + ") (" + amount + ")");
    };
    // Checks a code and reports it when it is missing and the entry carries an amount.
    const auto check = [&](std::string_view recType, const std::string& value,
                           std::string_view label) {
      if (lookup(recType, value) != kBtrOk && hasAmount) finding(label, value);
    };
    // A department that "ap" does not know: "P..." becomes "PL", "CM" becomes "CL".
    const auto repairDept = [&] {
      if (lookup(ap::kDepartment, dept) != kBtrKeyNotFound) return;
      if (dept[0] == 'P') {
        RewriteField(jckiWrite, jcki::kRecordLength, key, jcki::Dept, "PL");
      } else if (dept == "CM") {
        RewriteField(jckiWrite, jcki::kRecordLength, key, jcki::Dept, "CL");
      }
    };
    const auto setCompanyZZZ = [&] {
      RewriteField(jckiWrite, jcki::kRecordLength, key, jcki::Code, "ZZZ");
    };

    if (dept == "P3" || dept == "P4" || dept == "CM" || dept == "er") {
      err.Line("Bad Dpt [" + dept + "] on [" + FixedField(record, jcki::kRecordLength) + "]");
    }

    if (type == "B" || type == "K" || type == "O") {
      // Passed over.
    } else if (type == "I") {
      repairDept();
      if (subCode == "000") {
        check(ap::kClient, client, "Missing CLT (");
      } else if (subCode == "100") {
        const int found = lookup(ap::kCompany, code);
        if (found != kBtrOk) {
          finding("Missing Cmp (", code);
          if (found == kBtrKeyNotFound) setCompanyZZZ();
        } else if (code == "999") {
          setCompanyZZZ();
        }
      } else if (subCode == "200") {
        check(ap::kClass, code, "Missing Cls (");
      } else if (subCode == "300" || subCode == "400") {
        check(ap::kProducer, code, "Missing Prd (");
      } else if (subCode == "500") {
        check(ap::kTransaction, code, "Missing Trn (");
      }
    } else if (type == "J") {
      repairDept();
    } else if (type == "C") {
      if (itemLine != "99") {
        repairDept();
        check(ap::kBank, code, "Missing BNK (");
      }
      if (subCode == "000") {
        // The department as read, before any repair of this pass.
        check(ap::kDepartment, dept, "Missing DPT (");
        const std::string ledger = layout::GetField(record, jcki::LedgerAcct);
        if (ledger == "1120") {
          check(ap::kClient, client, "Missing CLT (");
        } else if (ledger == "1130") {
          check(ap::kCompany, client, "Missing CMP (");
        }
      }
    } else if (type == "X") {
      RemoveRecord(jckiWrite, jcki::kRecordLength, key);
    } else {
      err.Line("Unknown JCKI Type (" + type + ") on [" + key + "]");
    }

    length = jcki::kRecordLength;
    status = btrGetNext(jckiRead, buffer.data(), &length, 0);
  }

  form.Label3 = "done";
  txt.Close();
  err.Close();
}

}  // namespace talvor
