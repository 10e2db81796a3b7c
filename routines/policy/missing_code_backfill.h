// Backfill of a code that policies or invoices use but the agency master file "ap" lacks.
#pragma once

#include <string>
#include <string_view>

#include "legacy/btrv_layout.h"

namespace talvor {

class TForm1;

// Writes the code record of a missing department, class, company or producer code
// (layout::NewMissingCodeRecord, in a 150-byte buffer whose bytes 128-149 are zero) to "ap"
// on `apHandle`, whose path `apPath` the failure messages name:
//   1. a record already stored under the code's key (its first 19 bytes as the key text)
//      is removed with btrDelete;
//   2. btrInsert of the new record. Success: returns 1.
//   3. The insert failed: Notify "(01) Unable to update ap file " + apPath + ", status is "
//      + status; then the record of the code's key is read again on the handle and, when
//      found, replaced with btrUpdate. Success: returns 2. Otherwise Notify "(00) Unable to
//      update ap file " + apPath + ", status is " + the status of the failed read or
//      update, and returns 0.
// The update of step 3 only ever replaces the record stored under the code's own key, never
// whatever record the handle last stood on.
// Afterwards the handle stands on the record written, or on no particular record.
int BackfillMissingCode(TForm1& form, int apHandle, const std::string& apPath,
                        layout::CodeKind kind, std::string_view agency, std::string_view code);

}  // namespace talvor
