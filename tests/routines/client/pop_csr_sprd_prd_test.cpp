// Pop. CSR/SPRD/PRD on a small site: staff codes of the "ap" client lines "01" copied into
// Customer, and the codes without a producer record listed in "changedclt.txt".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/client/client_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

namespace ap = layout::ap;
using Table = std::vector<std::vector<std::string>>;

std::string Record(const std::string& key, const std::string& recType) {
  std::string record = layout::BlankRecord(ap::kRecordLength);
  layout::SetField(record, ap::Key, key);
  layout::SetField(record, ap::RecTypeCopy, recType);
  return record;
}

// A client line "01" of agency "01" with its three staff codes as stored.
std::string ClientLine01(const std::string& number, const std::string& producer,
                         const std::string& subProducer, const std::string& csr) {
  std::string record = Record(layout::ApKey(ap::kClient, "01", number, "01"), "001");
  layout::SetField(record, ap::client01::Underwriter, producer);
  layout::SetField(record, ap::client01::SubPrdCode, subProducer);
  layout::SetField(record, ap::client01::CSR, csr);
  return record;
}

std::string ProducerLine(const std::string& code) {
  return Record(layout::ApKey(ap::kProducer, "01", code, "00"), "002");
}

class PopCsrSprdPrdTest : public testing::SiteTest {
 protected:
  void AddCustomer(const std::string& number) {
    Sql("INSERT INTO Customer (AgyCode, Number, Name, Underwriter, SubPrdCode, CSR) VALUES "
        "('01', '" +
        number + "', 'C" + number + "', 'OLD', 'OLD', 'OLD')");
  }
  Table StaffCodes() {
    return Rows("SELECT Number, Underwriter, SubPrdCode, CSR FROM Customer ORDER BY Number");
  }
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

TEST_F(PopCsrSprdPrdTest, CopiesTheCodesAndListsEachCodeWithoutAProducer) {
  Put("ap",
      {Record(layout::ApKey(ap::kClient, "01", "42", "00"), "001"),
       ClientLine01("    42", "ABC", "  X", "XYZ"), ClientLine01("    43", "   ", "   ", "   "),
       ProducerLine("ABC"), Record(layout::ApKey(ap::kCompany, "01", "ZZZ", "00"), "003")});
  AddCustomer("    42");
  AddCustomer("    43");

  const RunOutcome outcome = Run(&PopCsrSprdPrd);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("changedclt.txt"),
            (std::vector<std::string>{"Did not find prd [01][  X]", "Did not find prd [01][XYZ]",
                                      "Did not find prd [01][   ]", "Did not find prd [01][   ]",
                                      "Did not find prd [01][   ]"}));
  EXPECT_EQ(StaffCodes(),
            (Table{{"    42", "ABC", "  X", "XYZ"}, {"    43", "   ", "   ", "   "}}));
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"01:    42(XYZ)(  X)", "01:    43(   )(   )",
                                                     "Done, select another option"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(PopCsrSprdPrdTest, CodesAreTrimmedAndRightJustifiedBeforeLookupAndCopy) {
  Put("ap", {ClientLine01("    42", " A ", "B  ", "C"), ProducerLine("A"), ProducerLine("B"),
             ProducerLine("C")});
  AddCustomer("    42");

  ASSERT_TRUE(Run(&PopCsrSprdPrd).completed);

  EXPECT_TRUE(ReportLines("changedclt.txt").empty());
  EXPECT_EQ(StaffCodes(), (Table{{"    42", "  A", "  B", "  C"}}));
}

TEST_F(PopCsrSprdPrdTest, RecordsThatAreNotClientLines01AreNeverCopied) {
  std::string otherFiller = ClientLine01("    44", "ABC", "ABC", "ABC");
  layout::SetField(otherFiller, ap::KeyFiller, "999");
  std::string line02 = Record(layout::ApKey(ap::kClient, "01", "45", "02"), "001");
  Put("ap", {otherFiller, line02, ProducerLine("ABC")});
  AddCustomer("    44");
  AddCustomer("    45");
  AddCustomer("    46");  // no "ap" line at all

  ASSERT_TRUE(Run(&PopCsrSprdPrd).completed);

  EXPECT_TRUE(ReportLines("changedclt.txt").empty());
  EXPECT_EQ(StaffCodes(), (Table{{"    44", "OLD", "OLD", "OLD"},
                                 {"    45", "OLD", "OLD", "OLD"},
                                 {"    46", "OLD", "OLD", "OLD"}}));
}

TEST_F(PopCsrSprdPrdTest, ClientWithoutRowIsPassedOverWithoutALine) {
  Put("ap", {ClientLine01("    42", "ABC", "ABC", "ABC"),
             ClientLine01("    43", "ABC", "ABC", "ABC"), ProducerLine("ABC")});
  AddCustomer("    43");

  ASSERT_TRUE(Run(&PopCsrSprdPrd).completed);

  EXPECT_TRUE(ReportLines("changedclt.txt").empty());
  EXPECT_EQ(StaffCodes(), (Table{{"    43", "ABC", "ABC", "ABC"}}));
}

TEST_F(PopCsrSprdPrdTest, SecondRunWritesTheSameReportAndRows) {
  Put("ap", {ClientLine01("    42", "ABC", "DEF", "  X"), ProducerLine("ABC")});
  AddCustomer("    42");

  ASSERT_TRUE(Run(&PopCsrSprdPrd).completed);
  const auto report = ReportLines("changedclt.txt");
  const auto rows = Rows("SELECT * FROM Customer");
  ASSERT_EQ(report.size(), 2U);

  ASSERT_TRUE(Run(&PopCsrSprdPrd).completed);
  EXPECT_EQ(ReportLines("changedclt.txt"), report);
  EXPECT_EQ(Rows("SELECT * FROM Customer"), rows);
}

TEST_F(PopCsrSprdPrdTest, WorksThroughTheServerSessionAndEndsWithItInactive) {
  Put("ap", {ClientLine01("    42", "ABC", "ABC", "ABC"), ProducerLine("ABC")});
  AddCustomer("    42");
  form->edtServerName = "MYSERVER";

  ASSERT_TRUE(Run(&PopCsrSprdPrd).completed);

  EXPECT_EQ(form->PvSession1.SessionName(), "MYSERVER");
  EXPECT_FALSE(form->PvSession1.Active());
  EXPECT_EQ(StaffCodes(), (Table{{"    42", "ABC", "ABC", "ABC"}}));
}

TEST_F(PopCsrSprdPrdTest, SessionLeftActiveByAnEarlierRoutineIsTakenOver) {
  Put("ap", {ClientLine01("    42", "ABC", "ABC", "ABC"), ProducerLine("ABC")});
  AddCustomer("    42");
  form->PvSession1.SetSessionName("Other");
  form->PvSession1.SetActive(true);

  const RunOutcome outcome = Run(&PopCsrSprdPrd);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(form->PvSession1.SessionName(), "Server");
  EXPECT_FALSE(form->PvSession1.Active());
  EXPECT_EQ(StaffCodes(), (Table{{"    42", "ABC", "ABC", "ABC"}}));
}

TEST_F(PopCsrSprdPrdTest, MissingFileIsShownForBothHandlesAndNothingChanges) {
  AddCustomer("    42");

  const RunOutcome outcome = Run(&PopCsrSprdPrd);

  ASSERT_TRUE(outcome.completed);
  const std::string message = "Unable to open ap file " + ApPath() + ", status is 12";
  EXPECT_EQ(fe.Notes(), (std::vector<std::string>{message, message}));
  EXPECT_TRUE(ReportLines("changedclt.txt").empty());
  EXPECT_EQ(StaffCodes(), (Table{{"    42", "OLD", "OLD", "OLD"}}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

TEST_F(PopCsrSprdPrdTest, FailedLookupCountsAsAMissingProducer) {
  Put("ap", {ClientLine01("    42", "ABC", "ABC", "ABC"), ProducerLine("ABC")});
  AddCustomer("    42");
  AddFault({"ap", FaultOp::kRead, 3, 2, 1});  // the walk's first read, then the lookups

  ASSERT_TRUE(Run(&PopCsrSprdPrd).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(ReportLines("changedclt.txt"),
            (std::vector<std::string>{"Did not find prd [01][ABC]"}));
  EXPECT_EQ(StaffCodes(), (Table{{"    42", "ABC", "ABC", "ABC"}}));
}

TEST_F(PopCsrSprdPrdTest, FailedWalkReadEndsTheWalkQuietly) {
  Put("ap", {ClientLine01("    42", "ABC", "ABC", "ABC"),
             ClientLine01("    43", "ABC", "ABC", "ABC"), ProducerLine("ABC")});
  AddCustomer("    42");
  AddCustomer("    43");
  AddFault({"ap", FaultOp::kRead, 5, 2, 1});  // the walk's read after the first client

  ASSERT_TRUE(Run(&PopCsrSprdPrd).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_EQ(StaffCodes(),
            (Table{{"    42", "ABC", "ABC", "ABC"}, {"    43", "OLD", "OLD", "OLD"}}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

TEST_F(PopCsrSprdPrdTest, TableThatCannotBeOpenedIsReportedAndTheListIsStillWritten) {
  Put("ap", {ClientLine01("    42", "ABC", "XYZ", "ABC"), ProducerLine("ABC")});
  form->edtODBCName = "NOSUCHDB";

  const RunOutcome outcome = Run(&PopCsrSprdPrd);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  ASSERT_EQ(fe.Notes().size(), 1U);
  EXPECT_EQ(fe.Notes()[0].rfind("error opening [tblClients] [Customer] [" + DataPath() + "]:  ", 0),
            0U)
      << fe.Notes()[0];
  EXPECT_EQ(ReportLines("changedclt.txt"),
            (std::vector<std::string>{"Did not find prd [01][XYZ]"}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

}  // namespace
}  // namespace talvor
