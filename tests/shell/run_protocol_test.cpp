#include "shell/run_protocol.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "shell/form.h"
#include "tests/testing/scripted_frontend.h"
#include "shell/text/dates.h"

namespace talvor {
namespace {

void ThrowsFileSystemError(TForm1&) {
  throw std::filesystem::filesystem_error("Cannot create report file", std::filesystem::path("x.txt"),
                                          std::make_error_code(std::errc::permission_denied));
}

void ThrowsDateError(TForm1& form) { TextToLegacyDate("13/45/2010", form.Formats); }

void EndsWell(TForm1& form) { form.Label3 = "Done!"; }

TEST(RunProtocol, UnhandledErrorsAreShownAndEndTheRun) {
  ScriptedFrontend fe;
  FixedClock clock({{2026, 1, 2}, 0, 0, 0});
  TForm1 form(fe, clock);
  const RoutineEntry fsEntry{"Fs", &ThrowsFileSystemError, nullptr, false, ButtonGroup::kGrid, true, true, ""};
  const RoutineEntry dateEntry{"Dt", &ThrowsDateError, nullptr, false, ButtonGroup::kGrid, true, true, ""};
  const RoutineEntry okEntry{"Ok", &EndsWell, nullptr, false, ButtonGroup::kGrid, true, true, ""};

  RunOutcome fs = RunRoutine(form, fsEntry);
  EXPECT_FALSE(fs.completed);
  EXPECT_NE(fs.error.find("x.txt"), std::string::npos) << fs.error;

  RunOutcome dt = RunRoutine(form, dateEntry);
  EXPECT_FALSE(dt.completed);
  EXPECT_EQ(dt.error, "'13/45/2010' is not a valid date");
  ASSERT_EQ(fe.Errors().size(), 2u);
  EXPECT_EQ(fe.Errors()[1], dt.error);

  // The form stays usable for the next routine.
  RunOutcome ok = RunRoutine(form, okEntry);
  EXPECT_TRUE(ok.completed);
  EXPECT_EQ(form.Label3.Caption(), "Done!");
  EXPECT_EQ(fe.Errors().size(), 2u);
}

}  // namespace
}  // namespace talvor
