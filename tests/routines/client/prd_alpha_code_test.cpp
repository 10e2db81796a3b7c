#include <algorithm>
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

class PrdAlphaCodeTest : public SiteTest {
 protected:
  static std::string Producer(const std::string& agency, const std::string& code,
                              const std::string& name, const std::string& alpha) {
    return ApRecord(ap::kProducer, agency, code, "00")
        .Set(ap::line00::Alpha, alpha)
        .Set(ap::line00::Name, name)
        .Set(ap::line00::TypeLetter, "P");
  }
  // A producer line with zero bytes at `positions`.
  static std::string WithNulls(const std::string& agency, const std::string& code,
                               const std::string& line, const std::vector<int>& positions) {
    std::string record = ApRecord(ap::kProducer, agency, code, line)
                             .Set(ap::producer01::SecLevel, "    5")
                             .Set(ap::producer01::OperatorText, "OPERATOR");
    for (int p : positions) record[static_cast<std::size_t>(p)] = '\0';
    return record;
  }
  std::string Alpha(const std::string& agency, const std::string& code) const {
    return GetField(*Find("ap", layout::ApKey(ap::kProducer, agency, code, "00")),
                    ap::line00::Alpha);
  }
};

TEST_F(PrdAlphaCodeTest, AlphaCodesAreDerivedFromTheNamesAndEveryChangeListed) {
  Put("ap", {
                Producer("01", "1", "J SMITH JR", "OLD   "),  // blanks removed, six kept
                Producer("01", "2", "al", "      "),          // short, capitals, padded
                Producer("01", "3", "MARY JONES", "MARYJO"),  // already right
                Producer("01", "4", "BOB-O'NEIL", "BOB   "),  // punctuation stays
            });

  const auto outcome = Run(&PrdAlphaCode);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Alpha("01", "1"), "JSMITH");
  EXPECT_EQ(Alpha("01", "2"), "AL    ");
  EXPECT_EQ(Alpha("01", "3"), "MARYJO");
  EXPECT_EQ(Alpha("01", "4"), "BOB-O'");
  const std::string blanks15(15, ' ');
  EXPECT_EQ(
      ReportLines("PrdALpha.txt"),
      (std::vector<std::string>{
          "Agy [01] Code [  1] Name [J SMITH JR" + blanks15 + "] Was [OLD   ] Is [JSMITH] ",
          "Agy [01] Code [  2] Name [al" + std::string(23, ' ') + "] Was [      ] Is [AL    ] ",
          "Agy [01] Code [  4] Name [BOB-O'NEIL" + blanks15 + "] Was [BOB   ] Is [BOB-O'] ",
          "Changed 3 items ",
      }));
  EXPECT_EQ(fe.Statuses().front(), "0   1 J SMITH JR" + blanks15);
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(PrdAlphaCodeTest, ZeroBytesOfLines01And02AreBlankedAndOtherLinesLeftAlone) {
  const std::string line50 = WithNulls("01", "1", "50", {30, 100});
  Put("ap", {Producer("01", "1", "JSMITH", "JSMITH"), WithNulls("01", "1", "01", {30, 31, 127}),
             WithNulls("01", "1", "02", {}), line50});

  ASSERT_TRUE(Run(&PrdAlphaCode).completed);

  std::string clean01 = WithNulls("01", "1", "01", {30, 31, 127});
  std::replace(clean01.begin(), clean01.end(), '\0', ' ');
  EXPECT_EQ(clean01.substr(25, 8), "OPERA  R");
  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kProducer, "01", "1", "01")), clean01);
  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kProducer, "01", "1", "02")),
            WithNulls("01", "1", "02", {}));
  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kProducer, "01", "1", "50")), line50);
  EXPECT_EQ(ReportLines("PrdALpha.txt"),
            (std::vector<std::string>{"Agy [01] Code [  1] had nulls", "Changed 1 items "}));
}

TEST_F(PrdAlphaCodeTest, OtherAgenciesAndOtherKindsAreLeftAlone) {
  const std::string otherAgency = Producer("02", "1", "J SMITH", "OLD   ");
  const std::string company = ApRecord(ap::kCompany, "01", "1", "00").Set(ap::line00::Name, "ACME");
  Put("ap", {Producer("01", "1", "A B", "OLD   "), otherAgency, company,
             Producer("01", "2", "C D", "OLD   ")});

  ASSERT_TRUE(Run(&PrdAlphaCode).completed);

  EXPECT_EQ(Alpha("01", "1"), "AB    ");
  EXPECT_EQ(Alpha("01", "2"), "CD    ");
  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kProducer, "02", "1", "00")), otherAgency);
  EXPECT_EQ(*Find("ap", std::string(ap::kCompany)), company);
  EXPECT_EQ(ReportLines("PrdALpha.txt").back(), "Changed 2 items ");
}

TEST_F(PrdAlphaCodeTest, SecondRunFindsNothingToChange) {
  Put("ap", {Producer("01", "1", "J SMITH JR", "OLD   "), WithNulls("01", "1", "01", {40})});
  ASSERT_TRUE(Run(&PrdAlphaCode).completed);
  const auto first = Records("ap");

  ASSERT_TRUE(Run(&PrdAlphaCode).completed);

  EXPECT_EQ(Records("ap"), first);
  EXPECT_EQ(ReportLines("PrdALpha.txt"), (std::vector<std::string>{"Changed 0 items "}));
}

TEST_F(PrdAlphaCodeTest, FailedUpdateIsListedAfterTheChange) {
  Put("ap", {Producer("01", "1", "J SMITH JR", "OLD   "), WithNulls("01", "1", "01", {40})});
  AddFault({"ap", FaultOp::kUpdate, 1, 85, 2});

  ASSERT_TRUE(Run(&PrdAlphaCode).completed);

  EXPECT_EQ(FaultsTriggered(), 2);
  const std::string key00 = layout::ApKey(ap::kProducer, "01", "1", "00") + "002";
  const std::string key01 = layout::ApKey(ap::kProducer, "01", "1", "01") + "002";
  EXPECT_EQ(ReportLines("PrdALpha.txt"),
            (std::vector<std::string>{
                "Agy [01] Code [  1] Name [J SMITH JR" + std::string(15, ' ') +
                    "] Was [OLD   ] Is [JSMITH] ",
                "Error (85) on update of [" + key00 + "]",
                "Agy [01] Code [  1] had nulls",
                "Error (85) on update of [" + key01 + "]",
                "Changed 2 items ",
            }));
  EXPECT_EQ(Alpha("01", "1"), "OLD   ");
}

TEST_F(PrdAlphaCodeTest, MissingFileShowsBothOpenFailuresAndCountsNothing) {
  const auto outcome = Run(&PrdAlphaCode);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  const std::string path = DataPath() + "\\ap";
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + path + ", status is 12",
                                      "Unable to open ap2 file " + path + ", status is 12"}));
  EXPECT_EQ(ReportLines("PrdALpha.txt"), (std::vector<std::string>{"Changed 0 items "}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

}  // namespace
}  // namespace talvor::testing
