#include "shell/cli/cli_app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "shell/form.h"
#include "routines/registry.h"
#include "tests/testing/temp_dir.h"

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

void WithFlag(TForm1& form, bool flag) {
  form.Label3 = flag ? "flag on" : "flag off";
}

void Repeats(TForm1& form) {
  for (int client = 1; client <= 3; ++client) form.Notify("no client " + std::to_string(client));
  form.Notify("done");
}

const RoutineEntry kTestButtons[] = {
    {"Ask Me", &AskAndReport, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Break Down", &Failing, nullptr, false, ButtonGroup::kCommon, false, true, ""},
    {"Flag On", nullptr, &WithFlag, true, ButtonGroup::kGrid, true, true, ""},
    {"Repeats", &Repeats, nullptr, false, ButtonGroup::kGrid, false, true, ""},
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
    env.stopWanted = [this] { return stop_; };
    return RunCli(args, env);
  }

  // A site: the database the default settings name.
  void SetUp() override { dir_.Write("AGYFORMS.db", ""); }

  TempWorkDir dir_;
  std::vector<const RoutineEntry*> registry_ = {&kTestButtons[0], &kTestButtons[1],
                                                &kTestButtons[2], &kTestButtons[3]};
  FixedClock clock_{{{2026, 12, 8}, 9, 30, 0}};
  std::istringstream in_;
  std::ostringstream out_, err_;
  bool stop_ = false;
};

TEST_F(CliTest, ListPrintsCaptionSlugGroupAndVisibility) {
  EXPECT_EQ(Run({"list"}), kExitOk);
  EXPECT_EQ(out_.str(),
            "Ask Me\task-me\tGrid\tvisible\n"
            "Break Down\tbreak-down\tCommon Post-Convert Utils\thidden\n"
            "Flag On\tflag-on\tGrid\tvisible\n"
            "Repeats\trepeats\tGrid\thidden\n");
}

TEST_F(CliTest, RunByCaptionOrSlugPrintsTheFinalLabel) {
  EXPECT_EQ(Run({"run", "ask me", "--answer", "yes"}), kExitOk);
  EXPECT_EQ(out_.str(), "Done, fixed\n");
  EXPECT_EQ(Run({"run", "ask-me"}), kExitOk);  // no terminal: "no", and it says so
  EXPECT_EQ(out_.str(), "Done, left alone\n");
  EXPECT_EQ(err_.str().rfind("Fix it? -> no (not a terminal; see --answer)\n", 0), 0u) << err_.str();
  EXPECT_EQ(Run({"run", "flag-on"}), kExitOk);
  EXPECT_EQ(out_.str(), "flag on\n");
}

TEST_F(CliTest, NotifyGoesToStandardErrorOneLineEach) {
  EXPECT_EQ(Run({"run", "ask-me", "--answer", "no", "--agency", "10", "--datapath", "D:\\DATA"}),
            kExitOk);
  EXPECT_EQ(err_.str(), "agency [10] path [D:\\DATA]\n");
}

TEST_F(CliTest, EachMessageIsALineAndRepeatedOnesAreCountedAtTheEnd) {
  EXPECT_EQ(Run({"run", "repeats"}), kExitOk);
  EXPECT_EQ(err_.str(),
            "no client 1\nno client 2\nno client 3\ndone\n"
            "messages by text (4):\n  3 x no client ...\n  1 x done\n");
  // Messages that all differ are not counted again.
  EXPECT_EQ(Run({"run", "ask-me", "--answer", "no"}), kExitOk);
  EXPECT_EQ(err_.str().find("messages by text"), std::string::npos);
}

TEST_F(CliTest, SettingsComeFromStartupUnlessGiven) {
  dir_.Write("talvor.cfg", "C:\\SITE\nSITEDB\nSRV\nAS\n");
  EXPECT_EQ(Run({"run", "ask-me", "--answer", "no"}), kExitOk);
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

// A usage error names the word that is wrong, what was probably meant, and where help is.
TEST_F(CliTest, UsageErrorsNameTheBadWordAndWhatWasMeant) {
  EXPECT_EQ(Run({"lst"}), kExitUsage);
  EXPECT_EQ(err_.str(),
            "talvor-cli: unknown command \"lst\" (did you mean \"list\"?); see talvor-cli --help\n");
  EXPECT_EQ(Run({"frobnicate"}), kExitUsage);
  EXPECT_EQ(err_.str(), "talvor-cli: unknown command \"frobnicate\"; see talvor-cli --help\n");
  EXPECT_EQ(Run({"run", "ask-mee"}), kExitUsage);
  EXPECT_EQ(err_.str(),
            "talvor-cli: unknown routine \"ask-mee\" (did you mean \"ask-me\"?) (talvor-cli list "
            "shows them)\n");
  EXPECT_EQ(Run({"run", "ask-me", "--answr", "yes"}), kExitUsage);
  EXPECT_EQ(err_.str().rfind("talvor-cli: unknown option \"--answr\" for \"run\" (did you mean "
                             "\"--answer\"?); see talvor-cli run --help\n",
                             0),
            0u)
      << err_.str();
  EXPECT_EQ(Run({"recfile", "save", "f", "o", "--forse"}), kExitUsage);
  EXPECT_NE(err_.str().find("\"--forse\" for \"recfile save\" (did you mean \"--force\"?)"),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(Run({"run"}), kExitUsage);
  EXPECT_NE(err_.str().find("see talvor-cli run --help"), std::string::npos) << err_.str();
}

// The real registry: what each routine does, before it runs.
TEST(CliRegistry, ListLongAndHelpTellWhatARoutineDoes) {
  TempWorkDir dir;
  const std::vector<const RoutineEntry*> registry = Registry();
  FixedClock clock{{{2026, 12, 9}, 9, 0, 0}};
  std::istringstream in;
  std::ostringstream out, err;
  CliEnvironment env;
  env.registry = registry;
  env.clock = &clock;
  env.in = &in;
  env.out = &out;
  env.err = &err;
  ASSERT_EQ(RunCli({"list", "--long"}, env), kExitOk);
  const std::string listing = out.str();
  std::size_t lines = 0;
  for (const RoutineEntry* e : registry) {
    const std::string head = std::string(e->caption) + "\t" + e->Slug() + "\t";
    const std::size_t at = listing.find(head);
    ASSERT_NE(at, std::string::npos) << e->caption;
    // The first words of its description on the next line, indented.
    const std::string_view description = DescriptionOf(*e);
    const std::string firstWords(description.substr(0, description.find(' ', 20)));
    EXPECT_EQ(listing.find("\n    " + firstWords, at), listing.find('\n', at)) << e->caption;
  }
  for (char c : listing) lines += c == '\n';
  EXPECT_GT(lines, 2 * registry.size());
  for (std::size_t at = 0, end; at < listing.size(); at = end + 1) {
    end = listing.find('\n', at);
    EXPECT_LE(end - at, 92u) << listing.substr(at, end - at);
  }
  out.str("");
  ASSERT_EQ(RunCli({"help", "Clean", "Zips"}, env), kExitOk);
  EXPECT_NE(out.str().find("ZipExtScan.txt"), std::string::npos) << out.str();
}

TEST_F(CliTest, HelpVersionAndTheUsageLine) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_NE(out_.str().find("Usage: talvor-cli [OPTIONS] SUBCOMMAND"), std::string::npos)
      << out_.str();
  EXPECT_EQ(Run({"help"}), kExitOk);
  EXPECT_NE(out_.str().find("Usage: talvor-cli"), std::string::npos);
  EXPECT_EQ(Run({"help", "recfile", "load"}), kExitOk);
  EXPECT_NE(out_.str().find("--replace"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("Usage: talvor-cli recfile load [OPTIONS] FILE INPUT"), std::string::npos)
      << out_.str();
  EXPECT_EQ(Run({"run", "--help"}), kExitOk);
  EXPECT_NE(out_.str().find("Usage: talvor-cli run [OPTIONS]"), std::string::npos) << out_.str();
  EXPECT_EQ(Run({"help", "Ask", "Me"}), kExitOk);
  EXPECT_EQ(out_.str().rfind("Ask Me (ask-me)\n  button: Grid\n", 0), 0u) << out_.str();
  EXPECT_EQ(Run({"help", "askme"}), kExitUsage);
  EXPECT_NE(err_.str().find("(did you mean \"ask-me\"?)"), std::string::npos) << err_.str();
  EXPECT_EQ(Run({"--version"}), kExitOk);
  EXPECT_EQ(out_.str().rfind("talvor-cli ", 0), 0u);
  EXPECT_NE(out_.str().find(" (built 20"), std::string::npos) << out_.str();
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Run({"run", "no-such-routine"}), kExitUsage);
  EXPECT_NE(err_.str().find("no-such-routine"), std::string::npos);
  EXPECT_EQ(Run({"run", "ask-me", "--answer", "maybe"}), kExitUsage);
  EXPECT_EQ(Run({"run", "ask-me", "--bogus"}), kExitUsage);
  EXPECT_EQ(Run({"frobnicate"}), kExitUsage);
  EXPECT_EQ(Run({}), kExitUsage);
}

TEST_F(CliTest, AStopEndsTheRunAtItsStatusUpdateAndSkipsTheRest) {
  stop_ = true;
  EXPECT_EQ(Run({"run", "break-down", "flag-on"}), kExitStopped);
  EXPECT_EQ(out_.str(), "running.....\n");
  EXPECT_NE(err_.str().find("stopped by the operator"), std::string::npos) << err_.str();
  EXPECT_EQ(Run({"assess", "--group", "all", "--out", "out"}), kExitStopped);
  EXPECT_NE(out_.str().find("stopped by the operator"), std::string::npos) << out_.str();
}

TEST_F(CliTest, AFolderThatIsNotASiteIsSaidToBeOneBeforeAnythingIsCreated) {
  std::filesystem::remove("AGYFORMS.db");
  EXPECT_EQ(Run({"run", "ask-me", "--answer", "yes"}), kExitFailed);
  EXPECT_NE(err_.str().find("does not look like a site: it holds no talvor.cfg, no database "
                            "\"AGYFORMS\" (no AGYFORMS.db, no line in aliases.cfg) and no data "
                            "path \"\\velmar\\data\""),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(Run({"assess", "--out", "out"}), kExitFailed);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path())) << "something was created";
  // Any one of them makes it a site: a data path that is there, or a configuration file.
  std::filesystem::create_directories("data");
  EXPECT_EQ(Run({"run", "ask-me", "--answer", "yes", "--datapath", "data"}), kExitOk);
  std::filesystem::remove_all(".talvor");
  std::filesystem::remove("data");
  dir_.Write("talvor.cfg", "x\ny\nz\n01\n");
  EXPECT_EQ(Run({"run", "ask-me", "--answer", "yes"}), kExitOk);
}

TEST_F(CliTest, AnErrorEndsOnlyItsRoutine) {
  EXPECT_EQ(Run({"run", "break-down", "flag-on"}), kExitFailed);
  EXPECT_EQ(out_.str(), "running.....\nflag on\n");
  EXPECT_NE(err_.str().find("not found in database"), std::string::npos);
}

TEST_F(CliTest, AssessTellsEachRoutineAndWhereThePageIs) {
  EXPECT_EQ(Run({"assess", "--group", "all", "--answer", "no", "--out", "out"}), kExitOk);
  const std::string out = out_.str();
  EXPECT_NE(out.find("[1/2] Ask Me ... completed: 0 records, 0 rows, 0 report files (0 lines), "
                     "1 message, "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("[2/2] Flag On ... completed"), std::string::npos) << out;
  EXPECT_NE(out.find("assessed 2 routines in "), std::string::npos) << out;
  EXPECT_NE(out.find("page: " + (std::filesystem::canonical("out") / "index.html").string()),
            std::string::npos)
      << out;
  std::ifstream csv("out/assessment.csv", std::ios::binary);
  const std::string table((std::istreambuf_iterator<char>(csv)), {});
  EXPECT_NE(table.find("\n1,Ask Me,ask-me,completed,"), std::string::npos) << table;
  EXPECT_NE(table.find(",Fix it?,no,\n"), std::string::npos) << table;

  // A folder that holds the first assessment is not written over.
  EXPECT_EQ(Run({"assess", "--out", "out"}), kExitFailed);
  EXPECT_NE(err_.str().find("is there already and is not empty"), std::string::npos) << err_.str();
  EXPECT_EQ(Run({"assess", "--group", "some"}), kExitUsage);
}

// ---------------------------------------------------------------------------------------
// Record files

// The "records: N" line of `recfile stat FILE`, or "" when there is none.
std::string RecordsLine(const std::string& stat) {
  const std::size_t at = stat.find("\nrecords: ");
  return at == std::string::npos ? "" : stat.substr(at + 1, stat.find('\n', at + 1) - at - 1);
}

// `cp data/POL data/ap; run sync-phones --answer yes` once put a 120-byte client line into
// the copy for every client, without a word.
TEST_F(CliTest, APolicyFileCopiedOverTheMasterFileIsRefusedNotFilled) {
  registry_ = Registry();
  std::filesystem::remove("AGYFORMS.db");  // the demo site brings its own
  ASSERT_EQ(Run({"demo", ".", "--clients", "12"}), kExitOk) << err_.str();
  ASSERT_EQ(Run({"recfile", "stat", "data/POL"}), kExitOk) << err_.str();
  const std::string policies = RecordsLine(out_.str());
  std::filesystem::copy_file("data/POL", "data/ap",
                             std::filesystem::copy_options::overwrite_existing);

  EXPECT_EQ(Run({"run", "sync-phones", "--answer", "yes"}), kExitOk);
  EXPECT_NE(err_.str().find("Unable to open ap file data\\ap, status is 30\n"), std::string::npos)
      << err_.str();

  EXPECT_EQ(Run({"recfile", "stat", "data/ap"}), kExitFailed);
  EXPECT_EQ(RecordsLine(out_.str()), policies);
  EXPECT_NE(out_.str().find("record length: 120\n"), std::string::npos) << out_.str();
  EXPECT_NE(err_.str().find("a file named \"ap\" has 128-byte records, not 120-byte ones"),
            std::string::npos)
      << err_.str();
}

TEST_F(CliTest, RecfileSaveAndLoadNeverWriteOverWhatIsStoredUnlessTold) {
  const std::string desc = "01I00012301" + std::string(53, ' ');
  dir_.Write("desc.lines", desc + "\n");
  dir_.Write("other.lines", "01I00099901" + std::string(53, '-') + "\n");
  ASSERT_EQ(Run({"recfile", "create", "DESC"}), kExitOk) << err_.str();
  ASSERT_EQ(Run({"recfile", "load", "DESC", "desc.lines", "--format", "lines"}), kExitOk)
      << err_.str();
  ASSERT_EQ(Run({"recfile", "create", "t1", "--like", "DESC"}), kExitOk) << err_.str();
  const std::string descPath = std::filesystem::canonical("DESC").string();

  // The export that once replaced DESC.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"recfile", "save", "t1", "DESC"},
        std::vector<std::string>{"recfile", "save", "t1", "DESC", "--force"}}) {
    EXPECT_EQ(Run(args), kExitFailed);
    EXPECT_EQ(err_.str(), "recfile save: DESC is the record file " + descPath +
                              "; an export never replaces a record file, not even with --force; "
                              "nothing written\n");
  }
  ASSERT_EQ(Run({"recfile", "save", "DESC", "out.lines", "--format", "lines"}), kExitOk);
  EXPECT_EQ(dir_.Read("out.lines"), desc + "\n");
  EXPECT_EQ(Run({"recfile", "save", "t1", "out.lines"}), kExitFailed);
  EXPECT_NE(err_.str().find("out.lines already exists"), std::string::npos) << err_.str();
  EXPECT_EQ(dir_.Read("out.lines"), desc + "\n");
  EXPECT_EQ(Run({"recfile", "save", "t1", "out.lines", "--force"}), kExitOk) << err_.str();
  EXPECT_EQ(dir_.Read("out.lines"), "\x1a");

  EXPECT_EQ(Run({"recfile", "load", "DESC", "other.lines", "--format", "lines"}), kExitFailed);
  EXPECT_EQ(err_.str(), "recfile load: DESC (" + descPath +
                            ") holds 1 records; nothing loaded; give --replace to replace them by "
                            "those of other.lines, or --add to add those to them\n");
  EXPECT_EQ(Run({"recfile", "load", "DESC", "other.lines", "--replace", "--add"}), kExitUsage);
  EXPECT_EQ(Run({"recfile", "load", "DESC", "other.lines", "--format", "lines", "--replace"}),
            kExitOk)
      << err_.str();
  EXPECT_EQ(out_.str(), "loaded 1 records into DESC in place of its 1 records\n");
  ASSERT_EQ(Run({"recfile", "save", "DESC", "after.lines", "--format", "lines"}), kExitOk);
  EXPECT_EQ(dir_.Read("after.lines"), dir_.Read("other.lines"));
}

}  // namespace
}  // namespace talvor
