#include "shell/routine_support.h"

#include "legacy/engine.h"
#include "shell/form.h"
#include "shell/text/text.h"

namespace talvor {

std::string AgencyCode(const TForm1& form) { return RightJustify(form.edtAgyCode, 2); }

std::string LegacyPath(const TForm1& form, std::string_view fileName) {
  return WithBackslash(form.edtDatapath) + std::string(fileName);
}

int OpenLegacyFile(TForm1& form, int handle, const std::string& path, std::string_view fileWord) {
  const int status = btrOpen(handle, "", path.c_str(), 1, 1, 0);
  if (status != 0) {
    form.Notify("Unable to open " + std::string(fileWord) + " file " + path + ", status is " +
                std::to_string(status));
  }
  return status;
}

}  // namespace talvor
