#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "routines/client/client_routines.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;
using layout::GetField;

class SetCmpsDbTest : public SiteTest {
 protected:
  static std::string Line00(const std::string& agency, const std::string& code) {
    return ApRecord(ap::kCompany, agency, code, "00")
        .Set(ap::line00::Name, "COMPANY " + code)
        .Set(ap::line00::TypeLetter, "C");
  }
  static std::string Line01(const std::string& agency, const std::string& code,
                            const std::string& billMethod) {
    return ApRecord(ap::kCompany, agency, code, "01")
        .Set(ap::company01::CmpFlag, "X")
        .Set(layout::Field{60, 10}, "OTHER DATA")
        .Set(ap::company01::CmpBillMethod, billMethod);
  }
  // A line "01" as the routine creates it: the key, blanks, "O" and "D".
  static std::string NewLine01(const std::string& agency, const std::string& code) {
    std::string line = std::string(128, ' ');
    line.replace(0, 16, layout::ApKey(ap::kCompany, agency, code, "01"));
    line[27] = 'O';
    line[46] = 'D';
    return line;
  }
  void AddCompany(const std::string& agency, const std::string& code, const std::string& bill) {
    Sql("insert into Company (AgyCode, Number, Name, BillMethodCd) values ('" + agency + "', '" +
        code + "', 'C', '" + bill + "')");
  }
};

TEST_F(SetCmpsDbTest, EveryCompanyBecomesDirectBillAndMissingLines01AreCreated) {
  const std::string department =
      ApRecord(ap::kDepartment, "01", "1", "00").Set(ap::line00::Name, "D");
  Put("ap", {Line00("01", "1"), Line01("01", "1", "A"), Line00("01", "2"),  // no line "01"
             Line00("01", "3"), Line01("01", "3", "D"),                     // already direct bill
             Line00("02", "1"),  // no line "01", another agency
             Line00("02", "2"), Line01("02", "2", "A"), department});
  AddCompany("01", "  1", "A");
  AddCompany("01", "  2", "O");
  AddCompany("02", "  1", "A");

  const auto outcome = Run(&SetCmpsDb);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Records("ap"),
            (std::vector<std::string>{
                Line00("01", "1"), Line01("01", "1", "D"), Line00("01", "2"), NewLine01("01", "2"),
                Line00("01", "3"), Line01("01", "3", "D"), Line00("02", "1"), NewLine01("02", "1"),
                Line00("02", "2"), Line01("02", "2", "D"), department}));
  EXPECT_EQ(Rows("select AgyCode, Number, BillMethodCd from Company order by AgyCode, Number"),
            (std::vector<std::vector<std::string>>{
                {"01", "  1", "D"}, {"01", "  2", "D"}, {"02", "  1", "A"}}));
  EXPECT_TRUE(ReportLines("changedcmp.txt").empty());
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(SetCmpsDbTest, BothPassesShowEachCompanyOnce) {
  Put("ap", {Line00("01", "1"), Line01("01", "1", "A"), Line00("01", "2")});

  ASSERT_TRUE(Run(&SetCmpsDb).completed);

  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"01      1", "01      1", "01      2",
                                                     "Done, select another option"}));
}

TEST_F(SetCmpsDbTest, SecondRunAddsNothingNew) {
  Put("ap", {Line00("01", "1"), Line01("01", "1", "A"), Line00("01", "2"), Line00("01", "3")});
  ASSERT_TRUE(Run(&SetCmpsDb).completed);
  const auto first = Records("ap");
  ASSERT_EQ(first.size(), 6u);

  ASSERT_TRUE(Run(&SetCmpsDb).completed);

  EXPECT_EQ(Records("ap"), first);
  EXPECT_TRUE(ReportLines("changedcmp.txt").empty());
}

TEST_F(SetCmpsDbTest, AgencyTypedAsOneDigitUpdatesTheRightJustifiedRows) {
  CreateFile("ap");
  AddCompany(" 1", "  1", "A");
  form->edtAgyCode = "1";

  ASSERT_TRUE(Run(&SetCmpsDb).completed);

  EXPECT_EQ(Value("select BillMethodCd from Company"), "D");
}

TEST_F(SetCmpsDbTest, EngineFailuresAreListed) {
  Put("ap", {Line00("01", "1"), Line01("01", "1", "A"), Line00("01", "2"), Line01("01", "2", "A"),
             Line00("01", "3")});
  AddFault({"ap", FaultOp::kUpdate, 1, 85, 1});
  // Reads in the first pass: the walk's first (1/00), a step to 1/01, its readback, a step
  // to 2/00, a step to 2/01, then its readback (fails).
  AddFault({"ap", FaultOp::kRead, 6, 2, 1});
  AddFault({"ap", FaultOp::kInsert, 1, 5, 1});

  ASSERT_TRUE(Run(&SetCmpsDb).completed);

  EXPECT_EQ(FaultsTriggered(), 3);
  EXPECT_EQ(ReportLines("changedcmp.txt"), (std::vector<std::string>{
                                               "Error 85 on Update01     1",
                                               "Error 2 on readback 01     2",
                                               "Error 5 on Insert tRailer01     3",
                                           }));
  EXPECT_EQ(GetField(*Find("ap", layout::ApKey(ap::kCompany, "01", "1", "01")),
                     ap::company01::CmpBillMethod),
            "A");
  EXPECT_FALSE(Find("ap", layout::ApKey(ap::kCompany, "01", "3", "01")).has_value());
}

TEST_F(SetCmpsDbTest, FailedLookupOfLine01IsListedInsteadOfInserting) {
  Put("ap", {Line00("01", "1"), Line01("01", "1", "A")});
  // Reads: the first pass's walk to 1/00 and 1/01, the readback, the step past the end;
  // the second pass's walk to 1/00, then the lookup of its line "01" (fails).
  AddFault({"ap", FaultOp::kRead, 6, 2, 1});

  ASSERT_TRUE(Run(&SetCmpsDb).completed);

  EXPECT_EQ(ReportLines("changedcmp.txt"),
            (std::vector<std::string>{"Error 2 on readback 01     1"}));
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{Line00("01", "1"), Line01("01", "1", "D")}));
}

TEST_F(SetCmpsDbTest, RefusedCompanyUpdateIsListedAndTheRunEndsNormally) {
  Put("ap", {Line00("01", "1"), Line01("01", "1", "A")});
  form->edtODBCName = "NOSUCHALIAS";

  const auto outcome = Run(&SetCmpsDb);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  const auto lines = ReportLines("changedcmp.txt");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("Error updating table Company: ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("NOSUCHALIAS"), std::string::npos) << lines[0];
  EXPECT_EQ(Records("ap")[1], Line01("01", "1", "D"));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

TEST_F(SetCmpsDbTest, MissingFileShowsBothOpenFailuresAndStillUpdatesTheTable) {
  AddCompany("01", "  1", "A");

  const auto outcome = Run(&SetCmpsDb);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  const std::string path = DataPath() + "\\ap";
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + path + ", status is 12",
                                      "Unable to open ap2 file " + path + ", status is 12"}));
  EXPECT_EQ(Value("select BillMethodCd from Company"), "D");
  EXPECT_TRUE(ReportLines("changedcmp.txt").empty());
}

}  // namespace
}  // namespace talvor::testing
