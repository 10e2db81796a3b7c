// Scan JCKI: reads every record of the invoice file "JCKI" (every agency) and checks,
// without changing anything, that its text holds only characters a converted record may
// hold and, for invoice items posted with kind "1", that the code each item refers to
// exists in the agency master file "ap". Counts the records that pass the character test
// and those that fail it. Asks nothing. Reads "JCKI" and "ap". Writes "JCKISCAN.ERR"
// (findings and the summary) and "JCKISCAN.LOG" (no lines).
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
#include "shell/text/text.h"

namespace talvor {

namespace {

namespace jcki = layout::jcki;
namespace ap = layout::ap;

// The first 98 characters are tested; the 99th is not.
constexpr std::size_t kTestedLength = jcki::kRecordLength - 1;
// How much of a failed record is repeated on a line of its own.
constexpr int kFailedKeyLength = 16;

bool Permitted(char c) {
  if (IsLetter(c) || (c >= '0' && c <= '9')) return true;
  return std::string_view(":; *&^[]_/\\`").find(c) != std::string_view::npos;
}

// The code an invoice item refers to, by its sub-code.
struct ItemCheck {
  std::string_view subCode;
  bool clientCode;  // the client number rather than the item's code value
  std::string_view recType;
  std::string_view label;
};

constexpr ItemCheck kItemChecks[] = {
    {"000", true, ap::kClient, " CLT "},    {"100", false, ap::kCompany, " CMP "},
    {"200", false, ap::kClass, " CLS "},    {"300", false, ap::kProducer, " PRD "},
    {"301", false, ap::kProducer, " PRD "}, {"400", false, ap::kProducer, " SPR "},
    {"500", false, ap::kTransaction, " TRN "},
};

}  // namespace

void ScanJCKI(TForm1& form) {
  ReportFile log(form, "JCKISCAN.LOG");
  ReportFile err(form, "JCKISCAN.ERR");

  const std::string jckiPath = LegacyPath(form, "JCKI");
  BtrHandle jckiFile;
  OpenLegacyFile(form, jckiFile, jckiPath, "JCKI");
  form.Label3 = "running.....";
  form.ProcessMessages();
  BtrHandle apFile;
  OpenLegacyFile(form, apFile, LegacyPath(form, "ap"), "ap");

  long correct = 0;
  long incorrect = 0;
  std::array<char, jcki::kRecordLength> buffer{};
  int length = jcki::kRecordLength;
  int status = btrGetFirst(jckiFile, buffer.data(), &length, 0, 0);
  while (status == kBtrOk) {
    const std::string_view record(buffer.data(), buffer.size());
    const std::string key = layout::GetField(record, jcki::Key);
    // The record as text: up to a zero byte, blank-padded, so a zero byte is never reported.
    const std::string text = FixedField(record, jcki::kRecordLength);
    form.Label3 = "(" + std::to_string(incorrect) + "/" + std::to_string(correct) + ")" + key;
    form.ProcessMessages();

    bool failed = text.size() < static_cast<std::size_t>(jcki::kRecordLength);
    for (std::size_t i = 0; i < kTestedLength && i < text.size(); ++i) {
      if (Permitted(text[i])) continue;
      err.Write(std::to_string(i + 1) + "[" + std::string(1, text[i]) + "] ");
      failed = true;
    }

    if (failed) {
      ++incorrect;
      err.Line(text);
      err.Line(FixedField(record, kFailedKeyLength));
    } else {
      ++correct;
      if (layout::GetField(record, jcki::EntryType) == "I" &&
          layout::GetField(record, jcki::PostKind) == "1") {
        const std::string subCode = layout::GetField(record, jcki::ItemCode).substr(2);
        for (const ItemCheck& check : kItemChecks) {
          if (check.subCode != subCode) continue;
          const std::string code = layout::GetField(record, check.clientCode ? jcki::CltNum
                                                                             : jcki::Code);
          const std::string agency = layout::GetField(record, jcki::AgyCode);
          if (FindApCode(apFile, check.recType, agency, code) != kBtrOk) {
            err.Line(key + std::string(check.label) + code);
          }
          break;
        }
      }
    }

    length = jcki::kRecordLength;
    status = btrGetNext(jckiFile, buffer.data(), &length, 0);
  }

  log.Close();
  err.Line(std::to_string(correct) + " correct records, " + std::to_string(incorrect) +
           "incorrect");
  err.Close();
  form.Label3 = "Done";
}

}  // namespace talvor
