#include "shell/cli/cli_app.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "shell/form.h"
#include "tests/shell/temp_dir.h"

namespace talvor {
namespace {

using testing::TempWorkDir;

// Routines registered by the tests only.
void AskAndReport(TForm1& form) {
  const int answer = form.AskYesNo("Fix it?");
  form.Notify("agency [" + form.edtAgyCode + "] path [" + form.edtDatapath + "]");
  form.Label3 = answer == kAnswerYes ? "Done, fixed" : "Done, left alone";
}

void Failing(TForm1& form) {
  form.Label3 = "running.....";
  throw std::runtime_error("table \"Customer\" not found in database \"X\"");
}

void WithFlag(TForm1& form, bool flag) { form.Label3 = flag ? "flag on" : "flag off"; }

const RoutineEntry kTestButtons[] = {
    {"Ask Me", &AskAndReport, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Break Down", &Failing, nullptr, false, ButtonGroup::kCommon, false, true, ""},
    {"Flag On", nullptr, &WithFlag, true, ButtonGroup::kGrid, true, true, ""},
};

class CliTest : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    CliEnvironment env;
    env.registry = registry_;
    env.clock = &clock_;
    env.in = &in_;
    env.out = &out_;
    env.err = &err_;
    return RunCli(args, env);
  }

  TempWorkDir dir_;
  std::vector<const RoutineEntry*> registry_ = {&kTestButtons[0], &kTestButtons[1], &kTestButtons[2]};
  FixedClock clock_{{{2026, 12, 8}, 9, 30, 0}};
  std::istringstream in_;
  std::ostringstream out_, err_;
};

TEST_F(CliTest, ListPrintsCaptionSlugGroupAndVisibility) {
  EXPECT_EQ(Run({"list"}), kExitOk);
  EXPECT_EQ(out_.str(),
            "Ask Me\task-me\tGrid\tvisible\n"
            "Break Down\tbreak-down\tCommon Post-Convert Utils\thidden\n"
            "Flag On\tflag-on\tGrid\tvisible\n");
}

TEST_F(CliTest, RunByCaptionOrSlugPrintsTheFinalLabel) {
  EXPECT_EQ(Run({"run", "ask me", "--answer", "yes"}), kExitOk);
  EXPECT_EQ(out_.str(), "Done, fixed\n");
  EXPECT_EQ(Run({"run", "ask-me"}), kExitOk);  // no terminal: "no"
  EXPECT_EQ(out_.str(), "Done, left alone\n");
  EXPECT_EQ(Run({"run", "flag-on"}), kExitOk);
  EXPECT_EQ(out_.str(), "flag on\n");
}

TEST_F(CliTest, NotifyGoesToStandardErrorOneLineEach) {
  EXPECT_EQ(Run({"run", "ask-me", "--agency", "10", "--datapath", "D:\\DATA"}), kExitOk);
  EXPECT_EQ(err_.str(), "agency [10] path [D:\\DATA]\n");
}

TEST_F(CliTest, SettingsComeFromStartupUnlessGiven) {
  dir_.Write("talvor.cfg", "C:\\SITE\nSITEDB\nSRV\nAS\n");
  EXPECT_EQ(Run({"run", "ask-me"}), kExitOk);
  EXPECT_EQ(err_.str(), "agency [AS] path [C:\\SITE]\n");
}

TEST_F(CliTest, TranscriptRecordsEveryEventAndTheLabel) {
  EXPECT_EQ(Run({"run", "ask-me", "break-down", "--answer", "no", "--transcript", "t.txt"}),
            kExitFailed);
  EXPECT_EQ(dir_.Read("t.txt"),
            "ask: Fix it? => no\n"
            "notify: agency [01] path [\\velmar\\data]\n"
            "label: Done, left alone\n"
            "error: table \"Customer\" not found in database \"X\"\n"
            "label: running.....\n");
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Run({"run", "no-such-routine"}), kExitUsage);
  EXPECT_NE(err_.str().find("no-such-routine"), std::string::npos);
  EXPECT_EQ(Run({"run", "ask-me", "--answer", "maybe"}), kExitUsage);
  EXPECT_EQ(Run({"run", "ask-me", "--bogus"}), kExitUsage);
  EXPECT_EQ(Run({"frobnicate"}), kExitUsage);
  EXPECT_EQ(Run({}), kExitUsage);
}

TEST_F(CliTest, AnErrorEndsOnlyItsRoutine) {
  EXPECT_EQ(Run({"run", "break-down", "flag-on"}), kExitFailed);
  EXPECT_EQ(out_.str(), "running.....\nflag on\n");
  EXPECT_NE(err_.str().find("not found in database"), std::string::npos);
}

}  // namespace
}  // namespace talvor
