// Small steps of the run protocol that many routines share.
#pragma once

#include <string>
#include <string_view>

namespace talvor {

class TForm1;

// The agency code of the run: edtAgyCode through RightJustify to width 2 ("1" -> " 1").
std::string AgencyCode(const TForm1& form);

// The path of a legacy file: edtDatapath made to end in "\" (WithBackslash), then `fileName`.
std::string LegacyPath(const TForm1& form, std::string_view fileName);

// Opens `path` on `handle` (btrOpen with the fixed arguments). On a non-zero status shows
// the open-failure message "Unable to open " + fileWord + " file " + path + ", status is " +
// status with Notify. A path holding a NUL byte opens nothing and gives kBtrFileNotFound.
// Returns the status; the handle stays usable either way (every later
// call on an unopened handle fails).
int OpenLegacyFile(TForm1& form, int handle, const std::string& path, std::string_view fileWord);

}  // namespace talvor
