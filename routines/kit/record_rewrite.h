// Changing or removing one record of a legacy file while another handle walks it: the
// write half of the read handle / write handle pair.
//
// The walk runs on the read handle; a change goes through the write handle, which first
// re-reads the record by its key 0 ("readback") and then updates or deletes what it read.
// The read handle's position is never touched, so its btrGetNext goes on where it was.
// The change is made in the freshly read copy, so that two changes of one record in the
// same pass (a department and then a company code of one invoice item) both stay.
#pragma once

#include <string_view>

#include "legacy/btrv_layout.h"

namespace talvor {

// Engine statuses of one rewrite. When `readback` is non-zero nothing was written and
// `update` is left 0.
struct RewriteResult {
  int readback = 0;  // btrGetEqual by the record's key on the write handle
  int update = 0;    // btrUpdate, or btrDelete for RemoveRecord
  bool Written() const { return readback == 0 && update == 0; }
};

// Re-reads the record whose key 0 is `key` on `writeHandle` into a buffer of
// `recordLength` bytes, writes `value` into `field` of that copy (layout::SetField:
// blank-padded or cut to the field's width) and replaces the record with btrUpdate.
// The write handle then stands on the record.
// REQUIRES: field lies inside `recordLength` bytes.
RewriteResult RewriteField(int writeHandle, int recordLength, std::string_view key,
                           layout::Field field, std::string_view value);

// RewriteField on the policy file: the key is `policy`'s PolKey (its first 25 bytes, as
// FixedField gives them), the record length 120.
RewriteResult RewritePolicyField(int writeHandle, std::string_view policy, layout::Field field,
                                 std::string_view value);

// Re-reads the record whose key 0 is `key` on `writeHandle` and, when found, removes it
// with btrDelete (`update` holds the delete's status).
RewriteResult RemoveRecord(int writeHandle, int recordLength, std::string_view key);

}  // namespace talvor
