#include "shell/build_info.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/os.h"

namespace talvor {

namespace {

Date CompileDate() {
  // __DATE__ is "Mmm dd yyyy".
  static const char* const kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  const char* text = __DATE__;
  Date d;
  const char* m = std::strstr(kMonths, std::string(text, 3).c_str());
  d.month = m ? static_cast<int>((m - kMonths) / 3) + 1 : 1;
  d.day = std::atoi(text + 4);
  d.year = std::atoi(text + 7);
  return d;
}

}  // namespace

Date BuildDate() {
  const std::filesystem::path exe = ExecutablePath();
  std::error_code ec;
  if (!exe.empty()) {
    const auto stamp = std::filesystem::last_write_time(exe, ec);
    if (!ec) {
      const auto sys = std::chrono::file_clock::to_sys(stamp);
      const auto secs = std::chrono::duration_cast<std::chrono::seconds>(sys.time_since_epoch()).count();
      return CivilFromDays(static_cast<long>(secs / 86400));
    }
  }
  return CompileDate();
}

std::string BuildLabel(const DateFormats& formats) {
  return "Built on " + FormatDate(BuildDate(), formats.shortDate);
}

}  // namespace talvor
