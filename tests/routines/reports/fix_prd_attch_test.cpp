#include <filesystem>
#include <string>
#include <vector>

#include "routines/reports/reports_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;
using Table = std::vector<std::vector<std::string>>;

const std::string kSelection =
    "Select * from \"AttchList\" where AgyCode = '01'and FileType = 'X'and PrdCode <> ''and PolNum "
    "= ''";
const std::vector<std::string> kHeader{kSelection, "", "--------", ""};

class FixPrdAttchTest : public testing::SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    fs::create_directories("att/prd");
    WriteFile("att/prd/a.pdf", "contents of a");
    WriteFile("att/prd/b.doc", "contents of b");
  }
  // An attachment row of agency 01; `seq` and `date` are SQL literals.
  void PutRow(const std::string& client, const std::string& policy, const std::string& seq,
              const std::string& type, const std::string& prd, const std::string& path,
              const std::string& date = "'2019-03-04 08:30:00'", const std::string& agency = "01") {
    Sql("insert into AttchList values ('" + agency + "', '" + client + "', '" + policy + "', " +
        seq + ", 'desc " + seq + "', '" + type + "', '" + path + "', '  4', '" + prd + "', " +
        date + ", 1, 'tag', 'sub', 'sub2')");
  }
  Table Attachments() const {
    return Rows(
        "select CltNum, PolNum, AttchSeq, FileDesc, FileType, FilePath, AttchDate, CmpCode, "
        "PrdCode, Published, AttachmentTag, AttachmentSubTag, AttachmentSubTag2 "
        "from AttchList order by rowid");
  }
  static std::vector<std::string> Concat(std::vector<std::string> a,
                                         const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
};

TEST_F(FixPrdAttchTest, NoMatchingRowsGiveTheHeaderOnly) {
  PutRow("      ", "", "0", "C", "  1", "ATT\\PRD\\a.pdf");      // not a producer document
  PutRow("      ", "", "1", "X", "", "ATT\\PRD\\a.pdf");         // no producer
  PutRow("      ", "POL1", "2", "X", "  1", "ATT\\PRD\\a.pdf");  // has a policy
  PutRow("      ", "", "3", "X", "  1", "ATT\\PRD\\a.pdf", "NULL", "02");  // another agency
  const Table before = Attachments();
  const RunOutcome outcome = Run(&FixPrdAttch);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("PrdAtt.Txt"), kHeader);
  EXPECT_TRUE(ReportLines("Do_rename.bat").empty());
  EXPECT_EQ(Attachments(), before);
  EXPECT_EQ(fe.Statuses(),
            (std::vector<std::string>{"Running Query", "Query Complete - 0", "Done!"}));
}

TEST_F(FixPrdAttchTest, CopiesEachFileUnderItsGeneratedNameAndRefilesTheRow) {
  PutRow("      ", "", "0", "X", "  1", "ATT\\PRD\\a.pdf");
  PutRow("      ", "", "1", "X", "  2", "ATT\\PRD\\b.doc");
  PutRow("      ", "", "2", "X", "  1", "ATT\\PRD\\a.pdf");  // the same file again: its own copy
  const RunOutcome outcome = Run(&FixPrdAttch);
  ASSERT_TRUE(outcome.completed) << outcome.error;

  EXPECT_EQ(
      ReportLines("PrdAtt.Txt"),
      Concat(kHeader,
             {"PRDATT000000", "  Copy [ATT\\PRD\\a.pdf]", "    To [ATT\\PRD\\PRDATT000000]",
              "PRDATT000001", "  Copy [ATT\\PRD\\b.doc]", "    To [ATT\\PRD\\PRDATT000001]",
              "PRDATT000002", "  Copy [ATT\\PRD\\a.pdf]", "    To [ATT\\PRD\\PRDATT000002]"}));
  EXPECT_EQ(ReportLines("Do_rename.bat"),
            (std::vector<std::string>{"Copy ATT\\PRD\\a.pdf ATT\\PRD\\PRDATT000000",
                                      "Copy ATT\\PRD\\b.doc ATT\\PRD\\PRDATT000001",
                                      "Copy ATT\\PRD\\a.pdf ATT\\PRD\\PRDATT000002"}));
  EXPECT_EQ(ReadFile("att/prd/PRDATT000000"), "contents of a");
  EXPECT_EQ(ReadFile("att/prd/PRDATT000001"), "contents of b");
  EXPECT_EQ(ReadFile("att/prd/PRDATT000002"), "contents of a");
  EXPECT_EQ(ReadFile("att/prd/a.pdf"), "contents of a");

  const Table expected{{"      ", "PRDATT000000", "0", "desc 0", "X", "ATT\\PRD\\a.pdf",
                        "2019-03-04 08:30:00", "  4", "  1", "1", "tag", "sub", "sub2"},
                       {"      ", "PRDATT000001", "1", "desc 1", "X", "ATT\\PRD\\b.doc",
                        "2019-03-04 08:30:00", "  4", "  2", "1", "tag", "sub", "sub2"},
                       {"      ", "PRDATT000002", "2", "desc 2", "X", "ATT\\PRD\\a.pdf",
                        "2019-03-04 08:30:00", "  4", "  1", "1", "tag", "sub", "sub2"}};
  EXPECT_EQ(Attachments(), expected);
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"Running Query", "Query Complete - 3",
                                                     "1 of 3", "2 of 3", "3 of 3", "Done!"}));
}

TEST_F(FixPrdAttchTest, DryRunMarkerSkipsTheCopiesOnly) {
  WriteFile("PrdAtt.dryrun", "");
  PutRow("      ", "", "0", "X", "  1", "ATT\\PRD\\a.pdf");
  ASSERT_TRUE(Run(&FixPrdAttch).completed);
  EXPECT_FALSE(FileExists("att/prd/PRDATT000000"));
  EXPECT_EQ(ReportLines("PrdAtt.Txt").size(), kHeader.size() + 3);
  EXPECT_EQ(ReportLines("Do_rename.bat"),
            (std::vector<std::string>{"Copy ATT\\PRD\\a.pdf ATT\\PRD\\PRDATT000000"}));
  EXPECT_EQ(Value("select PolNum from AttchList"), "PRDATT000000");
}

// A dry run of the workbench copies nothing, as the marker does, and leaves an existing
// target as it was.
TEST_F(FixPrdAttchTest, DryRunCopiesNoFileAndReplacesNone) {
  WriteFile("att/prd/PRDATT000000", "stale");
  PutRow("      ", "", "0", "X", "  1", "ATT\\PRD\\b.doc");
  PutRow("      ", "", "1", "X", "  1", "ATT\\PRD\\a.pdf");
  const RoutineEntry entry{"Fix Prd Attch", &FixPrdAttch, nullptr, false, ButtonGroup::kCommon,
                           true, true, ""};
  const RunOutcome dry = RunRoutine(*form, entry, RunKind::kDryRun);
  ASSERT_TRUE(dry.completed) << dry.error;
  EXPECT_EQ(ReadFile("att/prd/PRDATT000000"), "stale");
  EXPECT_FALSE(FileExists("att/prd/PRDATT000001"));
  EXPECT_EQ(Value("select count(*) from AttchList where PolNum = ''"), "2");
}

TEST_F(FixPrdAttchTest, ExistingCopyIsReplaced) {
  WriteFile("att/prd/PRDATT000000", "stale");
  PutRow("      ", "", "0", "X", "  1", "ATT\\PRD\\b.doc");
  ASSERT_TRUE(Run(&FixPrdAttch).completed);
  EXPECT_EQ(ReadFile("att/prd/PRDATT000000"), "contents of b");
}

TEST_F(FixPrdAttchTest, FailedCopiesAreNotReportedAndTheRunGoesOn) {
  PutRow("      ", "", "0", "X", "  1", "ATT\\PRD\\missing.pdf");  // no such file
  PutRow("      ", "", "1", "X", "  1", "NOWHERE\\a.pdf");         // no such folder
  PutRow("      ", "", "2", "X", "  1", "ATT\\PRD\\a.pdf");
  const RunOutcome outcome = Run(&FixPrdAttch);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_FALSE(FileExists("att/prd/PRDATT000000"));
  EXPECT_EQ(ReadFile("att/prd/PRDATT000002"), "contents of a");
  EXPECT_EQ(ReportLines("PrdAtt.Txt").size(), kHeader.size() + 9);
  EXPECT_EQ(Rows("select PolNum from AttchList order by rowid"),
            (Table{{"PRDATT000000"}, {"PRDATT000001"}, {"PRDATT000002"}}));
}

TEST_F(FixPrdAttchTest, PathWithoutFolderCopiesInTheWorkingDirectory) {
  WriteFile("plain.txt", "plain");
  PutRow("      ", "", "0", "X", "  1", "plain.txt");
  ASSERT_TRUE(Run(&FixPrdAttch).completed);
  EXPECT_EQ(ReportLines("Do_rename.bat"),
            (std::vector<std::string>{"Copy plain.txt PRDATT000000"}));
  EXPECT_EQ(ReadFile("PRDATT000000"), "plain");
}

TEST_F(FixPrdAttchTest, ClientRowIsRefiledItselfAndABlankClientRowWithItsSequenceSurvives) {
  // The client's row comes first; a blank-client producer document shares its sequence.
  PutRow("  1001", "", "0", "X", "  1", "ATT\\PRD\\b.doc");
  PutRow("      ", "", "0", "X", "  2", "ATT\\PRD\\a.pdf");
  const RunOutcome outcome = Run(&FixPrdAttch);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Rows("select CltNum, PolNum, AttchSeq, FilePath, PrdCode from AttchList order by "
                 "CltNum, PolNum"),
            (Table{{"      ", "PRDATT000001", "0", "ATT\\PRD\\a.pdf", "  2"},
                   {"  1001", "PRDATT000000", "0", "ATT\\PRD\\b.doc", "  1"}}));
  EXPECT_EQ(ReportLines("PrdAtt.Txt").size(), kHeader.size() + 6);
}

TEST_F(FixPrdAttchTest, RowWithoutAnyPolicyNumberIsNotTakenForTheSelectedRow) {
  // A client letter filed without a policy number (NULL, not empty) comes first and shares
  // the producer agreement's sequence; only the agreement is selected and re-filed.
  Sql("insert into AttchList (AgyCode, CltNum, PolNum, AttchSeq, FileDesc, FileType, FilePath,"
      " CmpCode, PrdCode, AttchDate, Published) values ('01', '  1001', NULL, 1, 'letter', 'D',"
      " 'ATT\\CLT\\letter.doc', '   ', '  1', '2019-03-01', 0)");
  PutRow("  1001", "", "1", "X", "  1", "ATT\\PRD\\a.pdf");
  const RunOutcome outcome = Run(&FixPrdAttch);
  ASSERT_TRUE(outcome.completed) << outcome.error;

  EXPECT_EQ(ReportLines("PrdAtt.Txt"), Concat(kHeader, {"PRDATT000000", "  Copy [ATT\\PRD\\a.pdf]",
                                                        "    To [ATT\\PRD\\PRDATT000000]"}));
  EXPECT_EQ(Attachments(),
            (Table{{"  1001", "<null>", "1", "letter", "D", "ATT\\CLT\\letter.doc", "2019-03-01",
                    "   ", "  1", "0", "<null>", "<null>", "<null>"},
                   {"  1001", "PRDATT000000", "1", "desc 1", "X", "ATT\\PRD\\a.pdf",
                    "2019-03-04 08:30:00", "  4", "  1", "1", "tag", "sub", "sub2"}}));
}

TEST_F(FixPrdAttchTest, RowThatCannotBeFoundAgainGivesTheErrorLineAndStays) {
  PutRow("      ", "", "NULL", "X", "  1", "ATT\\PRD\\a.pdf");
  ASSERT_TRUE(Run(&FixPrdAttch).completed);
  EXPECT_EQ(ReportLines("PrdAtt.Txt"),
            Concat(kHeader,
                   {"PRDATT000000", "  Copy [ATT\\PRD\\a.pdf]", "    To [ATT\\PRD\\PRDATT000000]",
                    "ERROR== DID NOT LOCATE [(01)(      )(PRDATT000000)(0)]"}));
  EXPECT_EQ(Rows("select PolNum, AttchSeq from AttchList"), (Table{{"", "<null>"}}));
}

TEST_F(FixPrdAttchTest, MissingDateStaysMissing) {
  PutRow("      ", "", "0", "X", "  1", "ATT\\PRD\\a.pdf", "NULL");
  ASSERT_TRUE(Run(&FixPrdAttch).completed);
  EXPECT_EQ(Rows("select PolNum, AttchDate from AttchList"), (Table{{"PRDATT000000", "<null>"}}));
}

TEST_F(FixPrdAttchTest, SecondRunFindsNothingLeftToFix) {
  PutRow("      ", "", "0", "X", "  1", "ATT\\PRD\\a.pdf");
  ASSERT_TRUE(Run(&FixPrdAttch).completed);
  const Table afterFirst = Attachments();
  ASSERT_TRUE(Run(&FixPrdAttch).completed);
  EXPECT_EQ(ReportLines("PrdAtt.Txt"), kHeader);
  EXPECT_EQ(Attachments(), afterFirst);
}

TEST_F(FixPrdAttchTest, OneCharacterAgencyIsPaddedInTheSelection) {
  form->edtAgyCode = "1";
  PutRow("      ", "", "0", "X", "  1", "ATT\\PRD\\a.pdf", "NULL", " 1");
  ASSERT_TRUE(Run(&FixPrdAttch).completed);
  EXPECT_EQ(ReportLines("PrdAtt.Txt").front(),
            "Select * from \"AttchList\" where AgyCode = ' 1'and FileType = 'X'and PrdCode <> "
            "''and PolNum = ''");
  EXPECT_EQ(Rows("select AgyCode, PolNum from AttchList"), (Table{{" 1", "PRDATT000000"}}));
}

TEST_F(FixPrdAttchTest, ReportThatCannotBeCreatedEndsTheRun) {
  fs::create_directory("PrdAtt.Txt");
  PutRow("      ", "", "0", "X", "  1", "ATT\\PRD\\a.pdf");
  const RunOutcome outcome = Run(&FixPrdAttch);
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("PrdAtt.Txt"), std::string::npos) << outcome.error;
  EXPECT_EQ(Value("select PolNum from AttchList"), "");
}

}  // namespace
}  // namespace talvor
