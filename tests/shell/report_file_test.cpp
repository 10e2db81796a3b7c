// ReportFile: a routine's report, created anew in the working directory with CR LF line
// ends; a report that cannot be created or written names the file and the reason, and a
// failure only its destructor saw is told to the run's file watcher.
#include "shell/report_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "shell/form.h"
#include "shell/text/dates.h"
#include "tests/shell/recording_watcher.h"
#include "tests/testing/scripted_frontend.h"
#include "tests/testing/temp_dir.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;
using testing::RecordingWatcher;
using testing::TempWorkDir;

class ReportFileTest : public ::testing::Test {
 protected:
  // A report file name whose writes go to /dev/full; false when there is none.
  bool FullDevice() {
    if (!fs::exists("/dev/full")) return false;
    fs::create_symlink("/dev/full", "full.TXT");
    return true;
  }
  std::vector<std::string> Told() const {
    std::vector<std::string> out;
    for (const RecordingWatcher::Told& t : watcher_.told) {
      out.push_back(t.what + " " + t.from.string() + (t.why.empty() ? "" : ": " + t.why));
    }
    return out;
  }

  TempWorkDir dir_;
  ScriptedFrontend fe_;
  FixedClock clock_{DateTime{Date{2026, 12, 8}, 10, 0, 0}};
  TForm1 form_{fe_, clock_};
  RecordingWatcher watcher_;
};

TEST_F(ReportFileTest, LinesEndInCrLfAndTheFileIsCreatedAnew) {
  dir_.Write("Report.txt", "what an earlier run wrote, longer than this run's report");
  {
    ReportFile report(form_, "Report.txt");
    EXPECT_EQ(report.Name(), "Report.txt");
    report.Line("first");
    report.Line("");
    report.Write("no line end ");
    report.Write("yet");
    report.Line(" and its end");
    report.Line(std::string("nul\0byte", 8));
    report.Close();
  }
  EXPECT_EQ(dir_.Read("Report.txt"),
            "first\r\n\r\nno line end yet and its end\r\n" + std::string("nul\0byte", 8) + "\r\n");

  // Left to its destructor, the file is closed with everything written.
  {
    ReportFile report(form_, "Other.txt");
    report.Line("only line");
  }
  EXPECT_EQ(dir_.Read("Other.txt"), "only line\r\n");
}

TEST_F(ReportFileTest, CloseTwiceIsHarmless) {
  form_.Files().Watch(&watcher_, false);
  {
    ReportFile report(form_, "Report.txt");
    report.Line("a finding");
    report.Close();
    EXPECT_NO_THROW(report.Close());
  }
  EXPECT_EQ(dir_.Read("Report.txt"), "a finding\r\n");
  {
    ReportFile empty(form_, "Empty.txt");
    empty.Close();
    empty.Close();
  }
  EXPECT_TRUE(fs::exists("Empty.txt"));
  EXPECT_EQ(fs::file_size("Empty.txt"), 0u);
  EXPECT_EQ(Told(), (std::vector<std::string>{"report Report.txt", "report Empty.txt"}));
}

TEST_F(ReportFileTest, AReportThatCannotBeCreatedNamesTheFileAndTheReason) {
  fs::create_directory("folder.TXT");
  form_.Files().Watch(&watcher_, false);
  struct Case {
    std::string name;
    std::errc why;
  };
  for (const Case& c : {Case{"folder.TXT", std::errc::is_a_directory},
                        Case{"nosuch/Report.txt", std::errc::no_such_file_or_directory}}) {
    try {
      ReportFile report(form_, c.name);
      ADD_FAILURE() << c.name << " was created";
    } catch (const fs::filesystem_error& e) {
      EXPECT_EQ(e.path1(), c.name);
      EXPECT_EQ(e.code(), std::make_error_code(c.why)) << e.what();
      const std::string what = e.what();
      EXPECT_NE(what.find("Cannot create report file"), std::string::npos) << what;
      EXPECT_NE(what.find(std::make_error_code(c.why).message()), std::string::npos) << what;
      EXPECT_NE(what.find(c.name), std::string::npos) << what;
    }
  }
  EXPECT_TRUE(watcher_.told.empty()) << "no report was created";
}

TEST_F(ReportFileTest, WritesThatFailNameTheFileAndTheReason) {
  if (!FullDevice()) GTEST_SKIP() << "no /dev/full on this machine";
  form_.Files().Watch(&watcher_, false);
  const auto expectFull = [](const fs::filesystem_error& e) {
    EXPECT_EQ(e.path1(), "full.TXT");
    EXPECT_EQ(e.code(), std::make_error_code(std::errc::no_space_on_device)) << e.what();
    EXPECT_NE(std::string(e.what()).find("Cannot write report file"), std::string::npos)
        << e.what();
  };
  // A short line waits in the buffer: the failure shows at Close.
  {
    ReportFile report(form_, "full.TXT");
    EXPECT_NO_THROW(report.Line("a finding"));
    try {
      report.Close();
      ADD_FAILURE() << "Close did not fail";
    } catch (const fs::filesystem_error& e) {
      expectFull(e);
    }
    EXPECT_NO_THROW(report.Close());
  }
  // A line longer than the buffer fails where it is written.
  {
    ReportFile report(form_, "full.TXT");
    try {
      report.Line(std::string(1 << 20, 'x'));
      ADD_FAILURE() << "the line did not fail";
    } catch (const fs::filesystem_error& e) {
      expectFull(e);
    }
    EXPECT_NO_THROW(report.Close());
  }
  // A failure the routine was told of is not told again.
  EXPECT_EQ(Told(), (std::vector<std::string>{"report full.TXT", "report full.TXT"}));
}

TEST_F(ReportFileTest, AFailureOnlyTheDestructorSawIsToldToTheWatcher) {
  if (!FullDevice()) GTEST_SKIP() << "no /dev/full on this machine";
  {
    ReportFile report(form_, "full.TXT");
    report.Line("nobody watches");
  }
  form_.Files().Watch(&watcher_, false);
  {
    ReportFile fine(form_, "Fine.txt");
    fine.Line("a finding");
    ReportFile full(form_, "full.TXT");
    full.Line("a finding");
  }
  EXPECT_EQ(Told(), (std::vector<std::string>{
                        "report Fine.txt", "report full.TXT",
                        "report failed full.TXT: Cannot write report file: No space left on "
                        "device [full.TXT]"}));
  EXPECT_EQ(dir_.Read("Fine.txt"), "a finding\r\n");
}

}  // namespace
}  // namespace talvor
