// When this program was built.
#pragma once

#include <string>

#include "shell/text/dates.h"

namespace talvor {

// The date the running executable was linked: the modification time of its file, taken
// as seconds since 1970-01-01 UTC and cut to whole days. Falls back to the compile date
// of this file when the executable cannot be found.
Date BuildDate();

// "Built on " + the build date in the short date format.
std::string BuildLabel(const DateFormats& formats);

}  // namespace talvor
