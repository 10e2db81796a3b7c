#include "routines/kit/ap_code_lookup.h"

#include <array>
#include <string>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"

namespace talvor {

int FindApCode(int apHandle, std::string_view recType, std::string_view agency,
               std::string_view code) {
  const std::string key = layout::ApKey(recType, agency, code, "00");
  std::array<char, layout::ap::kBufferLength> record{};
  int length = layout::ap::kBufferLength;
  return btrGetEqual(apHandle, record.data(), &length, key.c_str(), 0, 0);
}

}  // namespace talvor
