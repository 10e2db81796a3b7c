#include "routines/kit/routine_support.h"

#include "legacy/engine.h"
#include "shell/form.h"
#include "shell/text/text.h"

namespace talvor {

std::string AgencyCode(const TForm1& form) { return RightJustify(form.edtAgyCode, 2); }

std::string LegacyPath(const TForm1& form, std::string_view fileName) {
  return WithBackslash(form.edtDatapath) + std::string(fileName);
}

int OpenLegacyFile(TForm1& form, int handle, const std::string& path, std::string_view fileWord) {
  // The engine takes the path as a C string: a NUL byte (from a settings box) would cut it
  // short and open another file, so such a path names no file (and, like a failed open,
  // leaves no file open on the handle).
  int status = talvor::kBtrFileNotFound;
  if (path.find('\0') == std::string::npos) {
    status = btrOpen(handle, "", path.c_str(), 1, 1, 0);
  } else {
    btrClose(handle);
  }
  if (status != 0) {
    form.Notify("Unable to open " + std::string(fileWord) + " file " + path + ", status is " +
                std::to_string(status));
  }
  return status;
}

}  // namespace talvor
