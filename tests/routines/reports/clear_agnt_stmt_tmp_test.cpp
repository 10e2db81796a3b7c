// Clear Agnt Stmt Tmp on a small site: the operator's five work tables dropped from the
// database, and only their data files deleted from the data path's SQLTABLE directory,
// never a neighbouring file, a file elsewhere, a directory or a link.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "routines/reports/reports_routines.h"
#include "tests/testing/scripted_frontend.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kSuffixes = {"AGTCUST", "AGTHDR", "AGTSMT", "AGTSTMD", "AGTSTMP"};

// The scripted front end, with a hook that runs whenever the routine lets the window
// repaint; it gets the status label's text. Lets a test act between the routine's steps.
class HookedFrontend : public ScriptedFrontend {
 public:
  std::function<void(const std::string&)> onRepaint;
  void ProcessMessages() override {
    ScriptedFrontend::ProcessMessages();
    if (onRepaint && !Statuses().empty()) onRepaint(Statuses().back());
  }
};

class ClearAgntStmtTmpTest : public testing::SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    form = std::make_unique<TForm1>(hooked, clock);
    form->edtDatapath = DataPath();
    form->edtODBCName = "AGYFORMS";
    form->edtAgyCode = "01";
    form->edtPrdCode = "QXT";
  }

  fs::path Data() const { return fs::path(DataPath()); }
  // Creates a file (and its folders) below the data folder.
  void Touch(const std::string& relative) const {
    const fs::path path = Data() / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << "x";
  }
  // Every entry below the data folder (files, directories, links), relative, in order.
  std::vector<std::string> Entries() const {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(Data())) {
      out.push_back(e.path().lexically_relative(Data()).generic_string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  void CreateTable(const std::string& quotedName) { Sql("CREATE TABLE " + quotedName + " (x)"); }
  std::vector<std::string> TableNames() const {
    std::vector<std::string> names;
    for (const auto& row : Rows("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                "name LIKE 'Y%' ORDER BY name")) {
      names.push_back(row.at(0));
    }
    return names;
  }
  std::string PathMessage() const { return "strDataPath : " + DataPath() + "\\SQLTABLE"; }
  std::vector<std::string> StatusesStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& s : hooked.Statuses()) {
      if (s.rfind(prefix, 0) == 0) out.push_back(s);
    }
    return out;
  }

  HookedFrontend hooked;
};

TEST_F(ClearAgntStmtTmpTest, DropsTheFiveWorkTablesOfTheOperatorAndNoOthers) {
  for (const std::string& s : kSuffixes) CreateTable("\"YQXT" + s + "\"");
  CreateTable("\"YQXTAGTOTHER\"");
  CreateTable("\"YABCAGTCUST\"");
  CreateTable("\"YQXTAGTCUSTX\"");

  const RunOutcome outcome = Run(&ClearAgntStmtTmp);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(TableNames(),
            (std::vector<std::string>{"YABCAGTCUST", "YQXTAGTCUSTX", "YQXTAGTOTHER"}));
  EXPECT_EQ(hooked.Statuses(),
            (std::vector<std::string>{"Dropping : YQXTAGTCUST", "Dropping : YQXTAGTHDR",
                                      "Dropping : YQXTAGTSMT", "Dropping : YQXTAGTSTMD",
                                      "Dropping : YQXTAGTSTMP"}));
  EXPECT_EQ(hooked.Repaints(), 5);
  // No SQLTABLE directory: the searched path is the only message.
  EXPECT_EQ(hooked.Notes(), std::vector<std::string>{PathMessage()});
  EXPECT_TRUE(hooked.Questions().empty());
  EXPECT_EQ(form->Label3.Caption(), "Dropping : YQXTAGTSTMP");
  EXPECT_EQ(Value("SELECT count(*) FROM sqlite_master WHERE name = 'Customer'"), "1");
}

TEST_F(ClearAgntStmtTmpTest, MissingTableGivesOneErrorAndTheOthersAreStillDropped) {
  for (const std::string& s : kSuffixes) {
    if (s != "AGTHDR") CreateTable("\"YQXT" + s + "\"");
  }

  ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);

  EXPECT_TRUE(TableNames().empty());
  EXPECT_EQ(hooked.Notes(), (std::vector<std::string>{
                                "Error [DROP TABLE \"YQXTAGTHDR\" IN DICTIONARY]", PathMessage()}));
}

TEST_F(ClearAgntStmtTmpTest, SecondRunFindsNothingToDropOrDelete) {
  for (const std::string& s : kSuffixes) CreateTable("\"YQXT" + s + "\"");
  Touch("SQLTABLE/YQXTAGTCUST.MKD");
  ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);
  ASSERT_EQ(hooked.Notes(), std::vector<std::string>{PathMessage()});
  hooked.Clear();

  ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);

  std::vector<std::string> expected;
  for (const std::string& s : kSuffixes) {
    expected.push_back("Error [DROP TABLE \"YQXT" + s + "\" IN DICTIONARY]");
  }
  expected.push_back(PathMessage());
  EXPECT_EQ(hooked.Notes(), expected);
  EXPECT_TRUE(StatusesStartingWith("deleting: ").empty());
  EXPECT_EQ(Entries(), std::vector<std::string>{"SQLTABLE"});
}

TEST_F(ClearAgntStmtTmpTest, DeletesOnlyMatchingPlainFilesDirectlyInSqlTable) {
  Touch("SQLTABLE/YQXTAGTCUST.MKD");
  Touch("SQLTABLE/yqxtagthdr.mkd");      // names match without regard to case
  Touch("SQLTABLE/YQXTAGT.MKD");         // the "*" may stand for nothing
  Touch("SQLTABLE/YQXTAGTSMT.MKD.bak");  // neighbours that do not match
  Touch("SQLTABLE/YQXTAGTSMT.DAT");
  Touch("SQLTABLE/YQXTAGTSMT.MKDX");
  Touch("SQLTABLE/XYQXTAGTCUST.MKD");
  Touch("SQLTABLE/YQXTAG.MKD");
  Touch("SQLTABLE/YQXTAGMKD");
  Touch("SQLTABLE/YQXZAGTCUST.MKD");  // another operator
  Touch("SQLTABLE/Y QXAGTCUST.MKD");
  Touch("SQLTABLE/sub/YQXTAGTCUST.MKD");      // below the directory
  Touch("SQLTABLE/YQXTAGTDIR.MKD/keep.txt");  // a directory whose name matches
  Touch("YQXTAGTCUST.MKD");                   // the data folder itself
  Touch("OTHER/YQXTAGTCUST.MKD");             // a neighbouring directory
  fs::create_symlink(Data() / "OTHER" / "YQXTAGTCUST.MKD", Data() / "SQLTABLE" / "YQXTAGTLNK.MKD");

  ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);

  EXPECT_EQ(Entries(), (std::vector<std::string>{
                           "OTHER",
                           "OTHER/YQXTAGTCUST.MKD",
                           "SQLTABLE",
                           "SQLTABLE/XYQXTAGTCUST.MKD",
                           "SQLTABLE/Y QXAGTCUST.MKD",
                           "SQLTABLE/YQXTAG.MKD",
                           "SQLTABLE/YQXTAGMKD",
                           "SQLTABLE/YQXTAGTDIR.MKD",
                           "SQLTABLE/YQXTAGTDIR.MKD/keep.txt",
                           "SQLTABLE/YQXTAGTLNK.MKD",
                           "SQLTABLE/YQXTAGTSMT.DAT",
                           "SQLTABLE/YQXTAGTSMT.MKD.bak",
                           "SQLTABLE/YQXTAGTSMT.MKDX",
                           "SQLTABLE/YQXZAGTCUST.MKD",
                           "SQLTABLE/sub",
                           "SQLTABLE/sub/YQXTAGTCUST.MKD",
                           "YQXTAGTCUST.MKD",
                       }));
  EXPECT_EQ(StatusesStartingWith("deleting: "),
            (std::vector<std::string>{"deleting: YQXTAGT.MKD", "deleting: YQXTAGTCUST.MKD",
                                      "deleting: yqxtagthdr.mkd"}));
  EXPECT_EQ(form->Label3.Caption(), "deleting: yqxtagthdr.mkd");
  // Every table was missing; the only other message names the directory.
  EXPECT_EQ(hooked.Notes().back(), PathMessage());
  EXPECT_EQ(hooked.Notes().size(), 6u);
}

TEST_F(ClearAgntStmtTmpTest, DryRunDeletesNoFileAndDropsNoTable) {
  for (const std::string& s : kSuffixes) CreateTable("\"YQXT" + s + "\"");
  Touch("SQLTABLE/YQXTAGTHDR.MKD");
  Touch("SQLTABLE/yqxtagtsmt.mkd");
  const std::vector<std::string> before = Entries();
  const RoutineEntry entry{"Clear Agnt Stmt Tmp", &ClearAgntStmtTmp, nullptr, false,
                           ButtonGroup::kGrid, true, true, ""};

  const RunOutcome dry = RunRoutine(*form, entry, RunKind::kDryRun);

  EXPECT_TRUE(dry.completed) << dry.error;
  EXPECT_EQ(Entries(), before);
  EXPECT_EQ(TableNames().size(), kSuffixes.size());
  EXPECT_EQ(StatusesStartingWith("deleting: "),
            (std::vector<std::string>{"deleting: YQXTAGTHDR.MKD", "deleting: yqxtagtsmt.mkd"}));
}

TEST_F(ClearAgntStmtTmpTest, TwoCharacterOperatorIsRightJustified) {
  form->edtPrdCode = " AB ";
  for (const std::string& s : kSuffixes) CreateTable("\"Y AB" + s + "\"");
  CreateTable("\"YABAGTCUST\"");
  Touch("SQLTABLE/Y ABAGTCUST.MKD");
  Touch("SQLTABLE/YABAGTCUST.MKD");

  ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);

  EXPECT_EQ(TableNames(), std::vector<std::string>{"YABAGTCUST"});
  EXPECT_EQ(hooked.Statuses().front(), "Dropping : Y ABAGTCUST");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"SQLTABLE", "SQLTABLE/YABAGTCUST.MKD"}));
  EXPECT_EQ(hooked.Notes(), std::vector<std::string>{PathMessage()});
}

struct PathCase {
  const char* name;
  std::string (*datapath)(const std::string& data);  // the box's text, from the data folder
  const char* directory;                             // the SQLTABLE directory as stored
  std::string (*message)(const std::string& data);
};

const PathCase kPaths[] = {
    {"TrailingBackslash", [](const std::string& d) { return d + "\\"; }, "SQLTABLE",
     [](const std::string& d) { return "strDataPath : " + d + "\\\\SQLTABLE"; }},
    {"LowerCaseDirectory", [](const std::string& d) { return d; }, "sqltable",
     [](const std::string& d) { return "strDataPath : " + d + "\\SQLTABLE"; }},
    {"RelativeUpperCasedPath", [](const std::string&) { return std::string("DATA"); }, "SqlTable",
     [](const std::string&) { return std::string("strDataPath : DATA\\SQLTABLE"); }},
};

TEST_F(ClearAgntStmtTmpTest, FindsTheDirectoryUnderTheEnginesPathRules) {
  for (const PathCase& c : kPaths) {
    SCOPED_TRACE(c.name);
    hooked.Clear();
    form->edtDatapath = c.datapath(DataPath());
    Touch(std::string(c.directory) + "/YQXTAGTSTMP.MKD");
    Touch(std::string(c.directory) + "/YQXTAGTSTMP.TXT");

    ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);

    EXPECT_EQ(Entries(), (std::vector<std::string>{c.directory,
                                                   std::string(c.directory) + "/YQXTAGTSTMP.TXT"}));
    EXPECT_EQ(hooked.Notes().back(), c.message(DataPath()));
    EXPECT_EQ(form->Label3.Caption(), "deleting: YQXTAGTSTMP.MKD");
    fs::remove_all(Data() / c.directory);
  }
}

TEST_F(ClearAgntStmtTmpTest, MissingDirectoryDeletesNothing) {
  form->edtDatapath = DataPath() + "\\nowhere";
  Touch("SQLTABLE/YQXTAGTCUST.MKD");
  Touch("YQXTAGTCUST.MKD");

  ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);

  EXPECT_EQ(Entries(),
            (std::vector<std::string>{"SQLTABLE", "SQLTABLE/YQXTAGTCUST.MKD", "YQXTAGTCUST.MKD"}));
  EXPECT_EQ(hooked.Notes().back(), "strDataPath : " + DataPath() + "\\nowhere\\SQLTABLE");
  EXPECT_TRUE(StatusesStartingWith("deleting: ").empty());
}

TEST_F(ClearAgntStmtTmpTest, WildcardsAndSeparatorsInTheOperatorMatchOnlyThemselves) {
  Touch("SQLTABLE/YQXTAGTCUST.MKD");
  Touch("SQLTABLE/Y QXAGTCUST.MKD");
  Touch("SQLTABLE/Y/..AGTCUST.MKD");
  Touch("SQLTABLE/Y  *AGTCUST.MKD");
  Touch("YQXTAGTCUST.MKD");
  Touch("AGTCUST.MKD");

  for (const char* code : {"*", "?", "??", "\\..", "/..", "..\\", "../"}) {
    SCOPED_TRACE(code);
    form->edtPrdCode = code;
    ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);
  }

  // The "*" of the box is a character of the name: only the file that carries it matched.
  EXPECT_EQ(StatusesStartingWith("deleting: "),
            std::vector<std::string>{"deleting: Y  *AGTCUST.MKD"});
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{"AGTCUST.MKD", "SQLTABLE", "SQLTABLE/Y",
                                      "SQLTABLE/Y QXAGTCUST.MKD", "SQLTABLE/Y/..AGTCUST.MKD",
                                      "SQLTABLE/YQXTAGTCUST.MKD", "YQXTAGTCUST.MKD"}));
}

TEST_F(ClearAgntStmtTmpTest, DoubleQuoteInTheOperatorStaysInsideTheTableName) {
  form->edtPrdCode = "\"--";
  CreateTable("\"Y\"");
  CreateTable("\"Y\"\"--AGTCUST\"");

  ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);

  EXPECT_EQ(TableNames(), std::vector<std::string>{"Y"});
  EXPECT_EQ(hooked.Notes().front(), "Error [DROP TABLE \"Y\"\"--AGTHDR\" IN DICTIONARY]");
  EXPECT_EQ(hooked.Notes().size(), 5u);
}

TEST_F(ClearAgntStmtTmpTest, UnknownAliasReportsEveryTableAndStillDeletesTheFiles) {
  form->edtODBCName = "NOSUCHDB";
  Touch("SQLTABLE/YQXTAGTSMT.MKD");

  const RunOutcome outcome = Run(&ClearAgntStmtTmp);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  std::vector<std::string> expected;
  for (const std::string& s : kSuffixes) {
    expected.push_back("Error [DROP TABLE \"YQXT" + s + "\" IN DICTIONARY]");
  }
  expected.push_back(PathMessage());
  EXPECT_EQ(hooked.Notes(), expected);
  EXPECT_EQ(Entries(), std::vector<std::string>{"SQLTABLE"});
}

TEST_F(ClearAgntStmtTmpTest, OtherFailureInTheDropLoopIsReportedAndTheFilesAreStillDeleted) {
  for (const std::string& s : kSuffixes) CreateTable("\"YQXT" + s + "\"");
  Touch("SQLTABLE/YQXTAGTCUST.MKD");
  hooked.onRepaint = [](const std::string& status) {
    if (status == "Dropping : YQXTAGTSMT") throw std::runtime_error("window gone");
  };

  ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);

  EXPECT_EQ(TableNames(), (std::vector<std::string>{"YQXTAGTSMT", "YQXTAGTSTMD", "YQXTAGTSTMP"}));
  EXPECT_EQ(hooked.Notes(), (std::vector<std::string>{"Main Queury Loop", PathMessage()}));
  EXPECT_EQ(Entries(), std::vector<std::string>{"SQLTABLE"});
}

TEST_F(ClearAgntStmtTmpTest, FileReplacedByADirectoryStopsTheDeleting) {
  Touch("SQLTABLE/YQXTAGTCUST.MKD");
  Touch("SQLTABLE/YQXTAGTHDR.MKD");
  Touch("SQLTABLE/YQXTAGTSMT.MKD");
  const fs::path hdr = Data() / "SQLTABLE" / "YQXTAGTHDR.MKD";
  hooked.onRepaint = [&](const std::string& status) {
    if (status != "deleting: YQXTAGTHDR.MKD") return;
    fs::remove(hdr);
    fs::create_directory(hdr);
    std::ofstream(hdr / "inside.txt") << "x";
  };

  ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);

  EXPECT_EQ(hooked.Notes().back(), "Exception deleting temp files [1]: cannot delete " +
                                       hdr.string() + ": it is no longer a plain file");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"SQLTABLE", "SQLTABLE/YQXTAGTHDR.MKD",
                                                 "SQLTABLE/YQXTAGTHDR.MKD/inside.txt",
                                                 "SQLTABLE/YQXTAGTSMT.MKD"}));
  EXPECT_EQ(form->Label3.Caption(), "deleting: YQXTAGTHDR.MKD");
}

TEST_F(ClearAgntStmtTmpTest, FileThatVanishedBeforeItsTurnStopsTheDeleting) {
  Touch("SQLTABLE/YQXTAGTCUST.MKD");
  Touch("SQLTABLE/YQXTAGTHDR.MKD");
  const fs::path cust = Data() / "SQLTABLE" / "YQXTAGTCUST.MKD";
  hooked.onRepaint = [&](const std::string& status) {
    if (status == "deleting: YQXTAGTCUST.MKD") fs::remove(cust);
  };

  ASSERT_TRUE(Run(&ClearAgntStmtTmp).completed);

  const std::string last = hooked.Notes().back();
  EXPECT_EQ(
      last.rfind("Exception deleting temp files [1]: cannot delete " + cust.string() + ": ", 0), 0u)
      << last;
  EXPECT_EQ(Entries(), (std::vector<std::string>{"SQLTABLE", "SQLTABLE/YQXTAGTHDR.MKD"}));
  EXPECT_TRUE(StatusesStartingWith("deleting: YQXTAGTHDR").empty());
}

}  // namespace
}  // namespace talvor
