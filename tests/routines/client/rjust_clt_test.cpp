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

class RJustCltTest : public SiteTest {
 protected:
  std::string Line01(const std::string& agency, const std::string& number,
                     const std::string& producer, const std::string& subProducer,
                     const std::string& csr) {
    return ApRecord(ap::kClient, agency, number, "01")
        .Set(ap::client01::Underwriter, producer)
        .Set(ap::client01::SubPrdCode, subProducer)
        .Set(ap::client01::CSR, csr)
        .Set(ap::client01::Phone1, "5551234567");
  }
  std::string Record(const std::string& agency, const std::string& number,
                     const std::string& line) {
    return *Find("ap", layout::ApKey(ap::kClient, agency, number, line));
  }
};

struct CodeCase {
  const char* stored;
  const char* expected;
};

TEST_F(RJustCltTest, EachStaffCodeOfLine01IsRightJustified) {
  const std::vector<CodeCase> cases = {{"A  ", "  A"}, {"BC ", " BC"}, {"   ", "   "},
                                       {" D ", "  D"}, {"XYZ", "XYZ"}, {"  E", "  E"}};
  std::vector<std::string> records;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    records.push_back(
        Line01("01", std::to_string(100 + i), cases[i].stored, cases[i].stored, cases[i].stored));
  }
  Put("ap", records);

  ASSERT_TRUE(Run(&RJustClt).completed);

  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].stored);
    const std::string after = Record("01", std::to_string(100 + i), "01");
    EXPECT_EQ(GetField(after, ap::client01::Underwriter), cases[i].expected);
    EXPECT_EQ(GetField(after, ap::client01::SubPrdCode), cases[i].expected);
    EXPECT_EQ(GetField(after, ap::client01::CSR), cases[i].expected);
    std::string expected = records[i];
    layout::SetField(expected, ap::client01::Underwriter, cases[i].expected);
    layout::SetField(expected, ap::client01::SubPrdCode, cases[i].expected);
    layout::SetField(expected, ap::client01::CSR, cases[i].expected);
    EXPECT_EQ(after, expected) << "only the three codes change";
  }
  EXPECT_EQ(form->Label3.Caption(), "Done");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(RJustCltTest, OtherLinesAndOtherAgenciesAreLeftAlone) {
  // Line "00" and "02" hold text where line "01" keeps its codes.
  const std::string line00 = ApRecord(ap::kClient, "01", "100", "00")
                                 .Set(ap::line00::Name, "SMITH JOHN")
                                 .Set(ap::client01::Underwriter, "A  ");
  const std::string line02 = ApRecord(ap::kClient, "01", "100", "02").Set(ap::client01::CSR, "B  ");
  const std::string otherAgency = Line01("02", "100", "A  ", "B  ", "C  ");
  const std::string producer =
      ApRecord(ap::kProducer, "01", "A", "01").Set(ap::client01::CSR, "Q  ");
  Put("ap", {line00, Line01("01", "100", "A  ", "B  ", "C  "), line02, otherAgency, producer});

  ASSERT_TRUE(Run(&RJustClt).completed);

  EXPECT_EQ(Record("01", "100", "00"), line00);
  EXPECT_EQ(GetField(Record("01", "100", "01"), ap::client01::CSR), "  C");
  EXPECT_EQ(Record("01", "100", "02"), line02);
  EXPECT_EQ(Record("02", "100", "01"), otherAgency);
  EXPECT_EQ(*Find("ap", std::string(ap::kProducer)), producer);
  // Each of the agency's client records showed its number; the walk ended at agency "02".
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"   100", "   100", "   100", "Done"}));
}

TEST_F(RJustCltTest, AgencyTypedAsOneDigitWorksOnTheRightJustifiedAgency) {
  Put("ap", {Line01(" 1", "7", "A  ", "B  ", "C  "), Line01("01", "7", "A  ", "B  ", "C  ")});
  form->edtAgyCode = "1";

  ASSERT_TRUE(Run(&RJustClt).completed);

  EXPECT_EQ(GetField(Record(" 1", "7", "01"), ap::client01::Underwriter), "  A");
  EXPECT_EQ(GetField(Record("01", "7", "01"), ap::client01::Underwriter), "A  ");
}

TEST_F(RJustCltTest, FailedUpdateIsPassedOverAndTheWalkGoesOn) {
  Put("ap", {Line01("01", "100", "A  ", "B  ", "C  "), Line01("01", "200", "A  ", "B  ", "C  ")});
  AddFault({"ap", FaultOp::kUpdate, 1, 2, 1});

  ASSERT_TRUE(Run(&RJustClt).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(GetField(Record("01", "100", "01"), ap::client01::Underwriter), "A  ");
  EXPECT_EQ(GetField(Record("01", "200", "01"), ap::client01::Underwriter), "  A");
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_EQ(form->Label3.Caption(), "Done");
}

TEST_F(RJustCltTest, MissingFileShowsBothOpenFailuresAndEndsNormally) {
  const auto outcome = Run(&RJustClt);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  const std::string path = DataPath() + "\\ap";
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + path + ", status is 12",
                                      "Unable to open ap write file " + path + ", status is 12"}));
  EXPECT_EQ(form->Label3.Caption(), "Done");
}

}  // namespace
}  // namespace talvor::testing
