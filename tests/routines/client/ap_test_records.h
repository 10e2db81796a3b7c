// Records of the agency master file "ap" for routine tests, built field by field:
//   ApRecord(ap::kClient, "01", "100", "01").Set(ap::client01::CSR, "A  ")
// gives the 128-byte line "01" of client "   100" of agency "01": its key, the kind repeated
// at `RecTypeCopy`, the fields set, blanks elsewhere.
#pragma once

#include <string>
#include <string_view>

#include "legacy/btrv_layout.h"

namespace talvor::testing {

class ApRecord {
 public:
  ApRecord(std::string_view kind, std::string_view agency, std::string_view code,
           std::string_view line)
      : bytes_(layout::BlankRecord(layout::ap::kRecordLength)) {
    layout::SetField(bytes_, layout::ap::Key, layout::ApKey(kind, agency, code, line));
    layout::SetField(bytes_, layout::ap::RecTypeCopy, kind);
  }

  ApRecord& Set(layout::Field field, std::string_view value) {
    layout::SetField(bytes_, field, value);
    return *this;
  }

  // The 16-byte key.
  std::string Key() const { return bytes_.substr(0, layout::ap::Key.width); }
  const std::string& str() const { return bytes_; }
  operator std::string() const { return bytes_; }  // NOLINT(google-explicit-constructor)

 private:
  std::string bytes_;
};

}  // namespace talvor::testing
