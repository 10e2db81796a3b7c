#include "routines/client/staff_code_check.h"

#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "shell/report_file.h"

namespace talvor {

bool ProducerOnFile(int lookupHandle, std::string_view agency, std::string_view code) {
  std::string record = layout::BlankRecord(layout::ap::kBufferLength);
  int length = layout::ap::kBufferLength;
  const std::string key = layout::ApKey(layout::ap::kProducer, agency, code, "00");
  return btrGetEqual(lookupHandle, record.data(), &length, key.c_str(), 0, 0) == kBtrOk;
}

bool CheckStaffCode(int lookupHandle, std::string_view agency, std::string_view code,
                    ReportFile& report) {
  const bool found = ProducerOnFile(lookupHandle, agency, code);
  if (!found) {
    report.Line("Did not find prd [" + std::string(agency) + "][" + std::string(code) + "]");
  }
  return found;
}

}  // namespace talvor
