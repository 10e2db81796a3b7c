// Whether a staff code (producer, sub-producer or CSR of a client) names a producer record
// of the agency master file "ap".
#pragma once

#include <string_view>

namespace talvor {

class ReportFile;

// Reads the producer line "00" of `code` for `agency` ("002" + "000" + agency (RJ 2) +
// RightJustify(code, 6) + "00") with btrGetEqual, key 0, on `lookupHandle`, into a buffer of
// its own. Returns true on status 0; any other status (no such record, a failed read, a
// handle whose open failed) returns false. Moves `lookupHandle`'s position; never another
// handle's.
bool ProducerOnFile(int lookupHandle, std::string_view agency, std::string_view code);

// The staff-code check: ProducerOnFile, and when it returns false the line
// "Did not find prd [" + agency + "][" + code + "]" in `report`, with `code` as handed in.
// Returns what ProducerOnFile returned.
bool CheckStaffCode(int lookupHandle, std::string_view agency, std::string_view code,
                    ReportFile& report);

}  // namespace talvor
