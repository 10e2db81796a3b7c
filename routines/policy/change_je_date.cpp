// Change JE Date: walks the site agency's records of "JCKI" from its journal entries ("J") on
// and dates every journal entry 30 November of the year its date already has, by rewriting
// the month and day of the date (through a second handle); the year is left alone. Asks
// nothing. Reads and writes "JCKI". Writes "RENJRN.ERR": each changed entry as it was and as
// it is, and each entry that could not be read back or written. The status label keeps its
// last progress text.
#include <array>
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

namespace jcki = layout::jcki;

// The readback key: the record's first 19 bytes (the engine compares its 14-byte key 0).
constexpr int kReadbackKeyLength = 19;
constexpr std::string_view kNovember30 = "1130";

}  // namespace

void ChangeJeDate(TForm1& form) {
  ReportFile log(form, "RENJRN.ERR");
  const std::string jckiPath = LegacyPath(form, "JCKI");
  BtrHandle jckiRead;
  OpenLegacyFile(form, jckiRead, jckiPath, "JCKI");
  form.Label3 = "running.....";
  form.ProcessMessages();
  BtrHandle jckiWrite;
  OpenLegacyFile(form, jckiWrite, jckiPath, "JCKI2");

  const std::string agency = AgencyCode(form);
  const std::string startKey = agency + "J";
  long counter = 0;
  std::array<char, jcki::kRecordLength> buffer{};
  std::array<char, jcki::kRecordLength> entry{};
  int length = jcki::kRecordLength;
  int status = btrGetGreater(jckiRead, buffer.data(), &length, startKey.c_str(), 0, 0);
  while (status == kBtrOk) {
    const std::string_view record(buffer.data(), buffer.size());
    ++counter;
    form.Label3 = "Pass 1 : " + std::to_string(counter) + "/0";
    form.ProcessMessages();

    if (layout::GetField(record, jcki::AgyCode) != agency) break;

    if (layout::GetField(record, jcki::EntryType) == "J") {
      const std::string key = FixedField(record, kReadbackKeyLength);
      int entryLength = jcki::kRecordLength;
      const int readback = btrGetEqual(jckiWrite, entry.data(), &entryLength, key.c_str(), 0, 0);
      if (readback != kBtrOk) {
        // Otherwise an entry left undated would leave no trace.
        log.Line("ERROR READING BACK (" + std::to_string(readback) + ") [" + key + "]");
      } else {
        const std::string_view asRead(entry.data(), entry.size());
        log.Line("WAS: " + FixedField(asRead, jcki::kRecordLength));
        layout::SetField(entry, jcki::JournalMonthDay, kNovember30);
        log.Line(" IS: " + FixedField(asRead, jcki::kRecordLength));
        if (btrUpdate(jckiWrite, entry.data(), &entryLength) != kBtrOk) {
          log.Line("ERROR UPDATING");
        }
      }
    }

    length = jcki::kRecordLength;
    status = btrGetNext(jckiRead, buffer.data(), &length, 0);
  }

  log.Close();
}

}  // namespace talvor
