#include "shell/assess/assessment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "journal/journal_file.h"
#include "routines/registry.h"
#include "shell/assess/assessment_page.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "shell/run_protocol.h"
#include "shell/startup.h"
#include "tests/testing/scripted_frontend.h"
#include "tests/testing/temp_dir.h"
#include "tools/demo/demo_site.h"

namespace talvor::assess {
namespace {

namespace fs = std::filesystem;
using testing::TempWorkDir;

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file under `root` but those under `skip`, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& root, const fs::path& skip = {}) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!skip.empty() && e.path().string().rfind(skip.string(), 0) == 0) continue;
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = Bytes(e.path());
  }
  return files;
}

std::vector<std::vector<std::string>> CsvLines(const fs::path& file) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(Bytes(file));
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (quoted) {
        if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
          field += '"';
          ++i;
        } else if (c == '"') {
          quoted = false;
        } else {
          field += c;
        }
      } else if (c == '"') {
        quoted = true;
      } else if (c == ',') {
        fields.push_back(field);
        field.clear();
      } else {
        field += c;
      }
    }
    fields.push_back(field);
    lines.push_back(fields);
  }
  return lines;
}

class RecordingProgress : public Progress {
 public:
  void Starting(int n, int count, const RoutineEntry& entry) override {
    started.push_back(std::to_string(n) + "/" + std::to_string(count) + " " + entry.caption);
    ticksInRoutine = 0;
  }
  void Ended(int, int, const RoutineFindings& f) override { ended.push_back(f.slug); }
  void Tick() override {
    ++ticks;
    ++ticksInRoutine;
  }
  // Once the routine numbered `stopIn` has shown a few status texts.
  bool StopWanted() override {
    return stopIn > 0 && static_cast<int>(started.size()) >= stopIn && ticksInRoutine >= 3;
  }

  std::vector<std::string> started, ended;
  int ticks = 0;
  int ticksInRoutine = 0;
  int stopIn = 0;
};

class AssessmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DemoOptions options;
    options.clients = 80;
    BuildDemoSite(dir.path() / "site", options);
    fs::current_path(dir.path() / "site");
    settings = LoadStartupSettings(fs::current_path(), nullptr);
  }

  TempWorkDir dir;
  SiteSettings settings;
  FixedClock clock{DateTime{Date{2026, 12, 9}, 9, 30, 0}};
};

TEST_F(AssessmentTest, ChangesNothingAndCountsWhatTheRealRunsChange) {
  const fs::path site = fs::current_path();
  const std::map<std::string, std::string> before = Tree(site);
  const std::vector<const RoutineEntry*> routines = RoutinesOf(Registry(), Group::kCommon);
  ASSERT_GE(routines.size(), 15u);

  Options options;
  options.outDir = site / "assessment";
  RecordingProgress progress;
  std::string error;
  const std::optional<Assessment> a = Assess(routines, settings, options, clock, &progress, &error);
  ASSERT_TRUE(a) << error;
  EXPECT_EQ(before, Tree(site, site / "assessment"));
  EXPECT_FALSE(fs::exists(site / ".talvor")) << "a dry run's journal went into the site";
  EXPECT_EQ(progress.ended.size(), routines.size());
  EXPECT_EQ(progress.started.front(), "1/" + std::to_string(routines.size()) + " " + routines[0]->caption);
  EXPECT_GT(progress.ticks, 0);
  EXPECT_FALSE(fs::exists(site / "assessment" / "runs")) << "journals are not kept";

  const auto csv = CsvLines(site / "assessment" / kTableName);
  ASSERT_EQ(csv.size(), routines.size() + 1);
  EXPECT_EQ(csv[0][5], "records");
  EXPECT_EQ(csv[0][6], "rows");

  // Each routine for real, alone on a fresh copy of the site: its journal's counts are what
  // the assessment said it would change, and its report files hold the same lines.
  long long changed = 0;
  for (std::size_t i = 0; i < routines.size(); ++i) {
    const RoutineEntry& entry = *routines[i];
    const fs::path copy = dir.path() / ("copy-" + entry.Slug());
    fs::create_directories(copy);
    for (const auto& e : fs::directory_iterator(site)) {
      if (e.path().filename() != "assessment")
        fs::copy(e.path(), copy / e.path().filename(), fs::copy_options::recursive);
    }
    fs::current_path(copy);
    ScriptedFrontend fe;
    fe.SetFallbackAnswer(kAnswerYes);
    TForm1 form(fe, clock);
    form.ApplySettings(settings);
    const RunOutcome outcome = RunRoutine(form, entry);
    fs::current_path(site);
    ASSERT_TRUE(outcome.completed) << entry.caption << ": " << outcome.error;
    std::string readError;
    const auto run = journal::ReadRun(journal::RunsDir(copy) / outcome.runId, &readError, 0);
    ASSERT_TRUE(run) << readError;
    long long records = 0, rows = 0;
    for (const auto& [key, count] : run->counts) {
      const bool record = run->FindStore(key.first)->kind == StoreKind::kRecord;
      (record ? records : rows) += count.Total();
    }
    const RoutineFindings& f = a->routines[i];
    EXPECT_EQ(f.slug, entry.Slug());
    EXPECT_EQ(f.ended, Ended::kCompleted) << f.error;
    EXPECT_EQ(f.records, records) << entry.caption;
    EXPECT_EQ(f.rows, rows) << entry.caption;
    EXPECT_EQ(csv[i + 1][5], std::to_string(records)) << entry.caption;
    EXPECT_EQ(csv[i + 1][6], std::to_string(rows)) << entry.caption;
    EXPECT_EQ(csv[i + 1][3], "completed");
    for (const RoutineFindings::Report& r : f.reports) {
      EXPECT_EQ(Bytes(site / "assessment" / r.link), Bytes(copy / r.name)) << r.name;
    }
    changed += records + rows;
    if (records + rows > 0) {
      EXPECT_FALSE(f.changesLink.empty()) << entry.caption;
    }
  }
  EXPECT_GT(changed, 0) << "the demo site has defects every assessment should find";

  const std::string page = Bytes(site / "assessment" / kPageName);
  EXPECT_NE(page.find("<svg"), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("http://", page.find("</svg>")), std::string::npos) << "the page reaches out";
}

// Routines of the test's own: one that fails, one that talks, one that stops.
void FailingRoutine(TForm1& form) {
  form.Label3 = "working";
  throw std::runtime_error("Table <Policy> is missing");
}
void TalkingRoutine(TForm1& form) {
  for (int i = 0; i < 3; ++i) form.Notify("<b>Unable</b> to open ap file");
  form.Notify("Done, with \"quotes\", and commas");
  if (form.AskYesNo("Go on?") == kAnswerYes) form.Notify("went on");
  ReportFile report(form, "talk.txt");
  report.Line("one");
  report.Line("two");
}
void LongRoutine(TForm1& form) {
  for (int i = 0; i < 1000; ++i) form.Label3 = "record " + std::to_string(i);
}

constexpr RoutineEntry kFailing{"Failing One", &FailingRoutine, nullptr, false,
                                ButtonGroup::kCommon, true, true, ""};
constexpr RoutineEntry kTalking{"Talking, One", &TalkingRoutine, nullptr, false,
                                ButtonGroup::kCommon, true, true, ""};
constexpr RoutineEntry kLong{"Long One", &LongRoutine, nullptr, false, ButtonGroup::kCommon, true,
                             true, ""};

TEST_F(AssessmentTest, ARoutineThatFailsIsShownAndTheRestStillRun) {
  const std::vector<const RoutineEntry*> routines{&kFailing, &kTalking};
  Options options;
  options.outDir = "out";
  options.answerYes = false;
  std::string error;
  const std::optional<Assessment> a = Assess(routines, settings, options, clock, nullptr, &error);
  ASSERT_TRUE(a) << error;
  ASSERT_EQ(a->routines.size(), 2u);
  EXPECT_EQ(a->routines[0].ended, Ended::kError);
  EXPECT_EQ(a->routines[0].error, "Table <Policy> is missing");
  const RoutineFindings& talk = a->routines[1];
  EXPECT_EQ(talk.ended, Ended::kCompleted);
  ASSERT_EQ(talk.messages.size(), 2u);
  EXPECT_EQ(talk.messages[0].first, "<b>Unable</b> to open ap file");
  EXPECT_EQ(talk.messages[0].second, 3);
  EXPECT_EQ(talk.messageCount, 4);
  ASSERT_EQ(talk.questions.size(), 1u);
  EXPECT_FALSE(talk.questions[0].second) << "answered as told";
  ASSERT_EQ(talk.reports.size(), 1u);
  EXPECT_EQ(talk.reports[0].lines, 2);
  EXPECT_EQ(Bytes(fs::path("out") / talk.reports[0].link), "one\r\ntwo\r\n");
  EXPECT_FALSE(fs::exists("talk.txt")) << "a report file went into the site";

  const auto csv = CsvLines(fs::path("out") / kTableName);
  ASSERT_EQ(csv.size(), 3u);
  EXPECT_EQ(csv[1][3], "error");
  EXPECT_EQ(csv[1][13], "Table <Policy> is missing");
  EXPECT_EQ(csv[2][1], "Talking, One");
  EXPECT_EQ(csv[2][10], "4");
  EXPECT_EQ(csv[2][11], "Go on?");
  EXPECT_EQ(csv[2][12], "no");

  // Everything a routine says is shown as text, never as markup.
  const std::string page = Bytes(fs::path("out") / kPageName);
  EXPECT_EQ(page.find("<b>Unable"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;Unable&lt;/b&gt; to open ap file <b>&times; 3</b>"),
            std::string::npos);
  EXPECT_NE(page.find("ended on an error: Table &lt;Policy&gt; is missing"), std::string::npos);
}

TEST_F(AssessmentTest, StopEndsTheRoutineThatRunsAndSkipsTheRest) {
  const std::vector<const RoutineEntry*> routines{&kTalking, &kLong, &kTalking};
  Options options;
  options.outDir = "out";
  RecordingProgress progress;
  progress.stopIn = 2;
  std::string error;
  const std::optional<Assessment> a = Assess(routines, settings, options, clock, &progress, &error);
  ASSERT_TRUE(a) << error;
  EXPECT_TRUE(a->stopped);
  EXPECT_EQ(a->routines[0].ended, Ended::kCompleted);
  EXPECT_EQ(a->routines[1].ended, Ended::kStopped);
  EXPECT_EQ(a->routines[1].error, kStoppedText);
  EXPECT_EQ(a->routines[2].ended, Ended::kNotRun);
  EXPECT_EQ(progress.started.size(), 2u);
  EXPECT_NE(Bytes(fs::path("out") / kPageName).find("Stopped by the operator"), std::string::npos);
}

TEST_F(AssessmentTest, RefusesAFolderThatHoldsFiles) {
  fs::create_directories("out");
  std::ofstream("out/keep.txt") << "mine";
  Options options;
  options.outDir = "out";
  std::string error;
  EXPECT_FALSE(Assess(std::vector<const RoutineEntry*>{&kTalking}, settings, options, clock,
                      nullptr, &error));
  EXPECT_NE(error.find("is there already and is not empty"), std::string::npos) << error;
  EXPECT_EQ(Bytes("out/keep.txt"), "mine");
  EXPECT_EQ(std::distance(fs::directory_iterator("out"), fs::directory_iterator()), 1);

  // Without --out: a new folder named after the time, another one for a second run in the
  // same second.
  options.outDir.clear();
  const auto first = Assess(std::vector<const RoutineEntry*>{&kTalking}, settings, options, clock,
                            nullptr, &error);
  const auto second = Assess(std::vector<const RoutineEntry*>{&kTalking}, settings, options, clock,
                             nullptr, &error);
  ASSERT_TRUE(first && second) << error;
  EXPECT_EQ(first->outDir.filename(), "assessment-20261209-093000");
  EXPECT_EQ(second->outDir.filename(), "assessment-20261209-093000.2");
}

TEST_F(AssessmentTest, ThePageHidesAPasswordOfTheDatabaseName) {
  settings.odbcName = "odbc:DSN=AGENCY;UID=clerk;PWD=s3cret;";
  Options options;
  options.outDir = "out";
  std::string error;
  const auto a = Assess(std::vector<const RoutineEntry*>{&kTalking}, settings, options, clock,
                        nullptr, &error);
  ASSERT_TRUE(a) << error;
  const std::string page = Bytes(fs::path("out") / kPageName);
  EXPECT_EQ(page.find("s3cret"), std::string::npos);
  EXPECT_NE(page.find("odbc:DSN=AGENCY;UID=clerk;PWD=***;"), std::string::npos);
}

TEST(AssessmentGroups, CommonIsTheGroupBoxAndAllIsEveryButtonInWindowOrder) {
  const std::vector<const RoutineEntry*> common = RoutinesOf(Registry(), Group::kCommon);
  const std::vector<const RoutineEntry*> all = RoutinesOf(Registry(), Group::kAll);
  ASSERT_FALSE(common.empty());
  EXPECT_GT(all.size(), common.size());
  for (const RoutineEntry* e : common) {
    EXPECT_EQ(e->group, ButtonGroup::kCommon);
    EXPECT_TRUE(e->visible) << e->caption;
  }
  // Window order: the grid first, then the group box; hidden routines have no button.
  EXPECT_EQ(all.back(), common.back());
  for (const RoutineEntry* e : all) EXPECT_TRUE(e->visible) << e->caption;
  EXPECT_EQ(std::find_if(all.begin(), all.end(),
                         [](const RoutineEntry* e) { return std::string(e->caption) == "CSR->PRD"; }),
            all.end());
}

}  // namespace
}  // namespace talvor::assess
