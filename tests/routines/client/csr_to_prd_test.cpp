// CSR->PRD on a small site: every client's producer made its CSR, in the "ap" lines "01"
// and in Customer; readback and update failures listed in "changedclt.txt".
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/client/client_routines.h"
#include "routines/registry.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

namespace ap = layout::ap;
using Table = std::vector<std::vector<std::string>>;

// A line of kind `recType` with `fill` in every byte after the key and the kind copy.
std::string Line(std::string_view recType, const std::string& agency, const std::string& number,
                 const std::string& line, char fill = 'q') {
  std::string record(ap::kRecordLength, fill);
  layout::SetField(record, ap::Key, layout::ApKey(recType, agency, number, line));
  layout::SetField(record, ap::RecTypeCopy, recType);
  return record;
}

std::string ClientLine01(const std::string& agency, const std::string& number,
                         const std::string& producer, const std::string& csr) {
  std::string record = Line(ap::kClient, agency, number, "01");
  layout::SetField(record, ap::client01::Underwriter, producer);
  layout::SetField(record, ap::client01::CSR, csr);
  return record;
}

std::string WithProducer(std::string record, const std::string& producer) {
  layout::SetField(record, ap::client01::Underwriter, producer);
  return record;
}

class CsrToPrdTest : public testing::SiteTest {
 protected:
  void AddCustomer(const std::string& agency, const std::string& number) {
    Sql("INSERT INTO Customer (AgyCode, Number, Underwriter, CSR) VALUES ('" + agency + "', '" +
        number + "', 'OLD', 'OLD')");
  }
  Table Codes() {
    return Rows("SELECT AgyCode, Number, Underwriter, CSR FROM Customer ORDER BY AgyCode, Number");
  }
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

TEST_F(CsrToPrdTest, ProducerBecomesTheCsrForEveryAgencyInFileAndTable) {
  const std::string line00 = Line(ap::kClient, "01", "42", "00");
  const std::string line01a = ClientLine01("01", "42", "PRD", "CSR");
  const std::string line02 = Line(ap::kClient, "01", "42", "02");
  const std::string line01b = ClientLine01(" 2", "7", "AAA", "  B");
  const std::string producer01 = Line(ap::kProducer, "01", "PRD", "01");
  Put("ap", {line00, line01a, line02, line01b, producer01});
  AddCustomer("01", "    42");
  AddCustomer(" 2", "     7");

  const RunOutcome outcome = Run(&CsrToPrd);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  // Key order: agency " 2" sorts before "01".
  EXPECT_EQ(Records("ap"),
            (std::vector<std::string>{WithProducer(line01b, "  B"), line00,
                                      WithProducer(line01a, "CSR"), line02, producer01}));
  EXPECT_EQ(Codes(), (Table{{" 2", "     7", "  B", "  B"}, {"01", "    42", "CSR", "CSR"}}));
  EXPECT_TRUE(ReportLines("changedclt.txt").empty());
  EXPECT_EQ(fe.Statuses(),
            (std::vector<std::string>{" 2      7", "01     42", "Done, select another option"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(CsrToPrdTest, BlankCsrBlanksTheProducer) {
  const std::string line01 = ClientLine01("01", "42", "PRD", "   ");
  Put("ap", line01);
  AddCustomer("01", "    42");

  ASSERT_TRUE(Run(&CsrToPrd).completed);

  EXPECT_EQ(Records("ap"), (std::vector<std::string>{WithProducer(line01, "   ")}));
  EXPECT_EQ(Codes(), (Table{{"01", "    42", "   ", "   "}}));
}

TEST_F(CsrToPrdTest, SecondRunChangesNothingMore) {
  Put("ap", {ClientLine01("01", "42", "PRD", "CSR"), ClientLine01("01", "43", "X", "Y")});
  AddCustomer("01", "    42");

  ASSERT_TRUE(Run(&CsrToPrd).completed);
  const auto records = Records("ap");
  const auto rows = Rows("SELECT * FROM Customer");

  ASSERT_TRUE(Run(&CsrToPrd).completed);
  EXPECT_EQ(Records("ap"), records);
  EXPECT_EQ(Rows("SELECT * FROM Customer"), rows);
  EXPECT_TRUE(ReportLines("changedclt.txt").empty());
}

TEST_F(CsrToPrdTest, MissingFileIsShownForBothHandles) {
  AddCustomer("01", "    42");

  ASSERT_TRUE(Run(&CsrToPrd).completed);

  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + ApPath() + ", status is 12",
                                      "Unable to open ap2 file " + ApPath() + ", status is 12"}));
  EXPECT_TRUE(ReportLines("changedclt.txt").empty());
  EXPECT_EQ(Codes(), (Table{{"01", "    42", "OLD", "OLD"}}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

struct WriteFault {
  FaultOp op;
  int nth;
  const char* line;
};

void PrintTo(const WriteFault& f, std::ostream* os) {
  *os << f.line;
}

class CsrToPrdFaultTest : public CsrToPrdTest, public ::testing::WithParamInterface<WriteFault> {};

TEST_P(CsrToPrdFaultTest, FailureIsListedTheRowStillChangesAndTheWalkGoesOn) {
  const std::string first = ClientLine01("01", "42", "PRD", "CSR");
  const std::string second = ClientLine01("01", "43", "PRD", "ABC");
  Put("ap", {first, second});
  AddCustomer("01", "    42");
  AddFault({"ap", GetParam().op, GetParam().nth, 2, 1});

  ASSERT_TRUE(Run(&CsrToPrd).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(ReportLines("changedclt.txt"), (std::vector<std::string>{GetParam().line}));
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{first, WithProducer(second, "ABC")}));
  EXPECT_EQ(Codes(), (Table{{"01", "    42", "CSR", "CSR"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CsrToPrdFaultTest,
    ::testing::Values(WriteFault{FaultOp::kRead, 2, "Error 2 on readback 01    42"},  // walk read 1
                      WriteFault{FaultOp::kUpdate, 1, "Error 2 on Update01    42"}));

TEST(CsrToPrdButton, IsHiddenAndDisabledButRunsByCaptionOrSlug) {
  const RoutineEntry* bySlug = FindRoutine("csr-prd");
  ASSERT_NE(bySlug, nullptr);
  EXPECT_EQ(FindRoutine("CSR->PRD"), bySlug);
  EXPECT_EQ(bySlug->routine, &CsrToPrd);
  EXPECT_FALSE(bySlug->visible);
  EXPECT_FALSE(bySlug->enabled);
}

}  // namespace
}  // namespace talvor
