// Looking a code up in the agency master file "ap", as the policy and invoice checks do.
#pragma once

#include <string_view>

namespace talvor {

// Reads the main line (line "00") of the code record of kind `recType` ("001" client, "002"
// producer, "003" company, "005" department, "006" class, "007" transaction, "009" bank)
// for `agency` and `code` on `apHandle`: btrGetEqual on key 0 with the key
// layout::ApKey(recType, agency, code, "00") (the code right-justified to 6).
// Returns the engine status: 0 when the code exists, 4 when "ap" has no such record, any
// other status when the read failed (3 when the file is not open on the handle).
// The handle then stands on the record found, or where it stood when nothing was found.
int FindApCode(int apHandle, std::string_view recType, std::string_view agency,
               std::string_view code);

}  // namespace talvor
