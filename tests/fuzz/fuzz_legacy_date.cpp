// The legacy six-character dates and the typed short date, from any bytes.
//
// The input is "FORMAT\nTEXT" when it holds a line end (the short date format itself is a
// setting a routine may change), else TEXT under the program's default format.
// Properties: LegacyDateToText always gives "mm/dd/yyyy"-shaped ten bytes; a legacy date
// and a typed date either convert or throw ConversionError, never anything else; what
// TextToLegacyDate gives is a legacy date that reads back to the same text.
#include <string>

#include "shell/text/dates.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using talvor::fuzz::Check;
  const std::string_view input = talvor::fuzz::Bytes(data, size);
  talvor::DateFormats formats;
  std::string_view text = input;
  if (std::size_t end = input.find('\n'); end != std::string_view::npos) {
    formats.shortDate = std::string(input.substr(0, end));
    text = input.substr(end + 1);
  }

  const std::string shown = talvor::LegacyDateToText(text);
  Check(shown.size() == 10 && shown[2] == '/' && shown[5] == '/',
        "a legacy date is shown as mm/dd/yyyy");

  try {
    const talvor::Date date = talvor::LegacyToDate(text);
    Check(talvor::IsValidDate(date), "a legacy date that converts is a real date");
    Check(date.year >= 1900 && date.year <= 2029, "a legacy date lies in 1900-2029");
  } catch (const talvor::ConversionError&) {
  }

  try {
    const std::string legacy = talvor::TextToLegacyDate(text, formats);
    Check(legacy.size() == 6, "a typed date becomes six characters");
    const talvor::Date date = talvor::LegacyToDate(legacy);
    Check(talvor::DateToLegacy(date) == legacy, "the legacy date reads back to itself");
    Check(talvor::ParseDate(text, formats.shortDate) == date,
          "the legacy date is the date that was typed");
  } catch (const talvor::ConversionError&) {
  }

  try {
    const talvor::Date date = talvor::ParseDate(text, formats.shortDate);
    Check(talvor::IsValidDate(date), "a parsed date is a real date");
    const std::string written = talvor::FormatDate(date, formats.shortDate);
    if (formats.shortDate == "M/d/yyyy" || formats.shortDate == "mm/dd/yyyy") {
      Check(talvor::ParseDate(written, formats.shortDate) == date,
            "a date written under the format reads back");
    }
  } catch (const talvor::ConversionError&) {
  }
  return 0;
}
