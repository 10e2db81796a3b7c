// 1099 Scan and 1099Clear on a small site: brokers with a 1099 amount on line "04" listed in
// "1099over.txt"; with the clear flag the amount zeroed in "ap" and Customer.Amt1099 set to
// "$0.00", or to 0 where the column is numeric.
#include <filesystem>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/client/client_routines.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;
using Lines = std::vector<std::string>;

class Broker1099Test : public SiteTest {
 protected:
  static std::string Line00(const std::string& agency, const std::string& number,
                            const std::string& name, const std::string& type = "B") {
    return ApRecord(ap::kClient, agency, number, "00")
        .Set(ap::line00::Name, name)
        .Set(ap::line00::TypeLetter, type);
  }
  static std::string Line04(const std::string& agency, const std::string& number,
                            const std::string& amount) {
    return ApRecord(ap::kClient, agency, number, "04").Set(ap::client04::Amount1099, amount);
  }
  void AddRow(const std::string& agency, const std::string& number,
              const std::string& amount = "'$123.45'") {
    Sql("insert into Customer (AgyCode, Number, Amt1099) values ('" + agency + "', '" + number +
        "', " + amount + ")");
  }
  std::string Amount(const std::string& agency, const std::string& number) const {
    return Value("select Amt1099 from Customer where AgyCode = '" + agency + "' and Number = '" +
                 number + "'");
  }
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

TEST_F(Broker1099Test, ScanListsBrokersWithAnAmountAndChangesNothing) {
  const Lines records = {Line00("01", "41", "ACME BROKERS"), Line04("01", "41", "0000012345"),
                         Line00("01", "42", "ZERO DOLLARS"), Line04("01", "42", "$0.00"),
                         Line00("01", "43", "ZERO"),         Line04("01", "43", "0"),
                         Line00("01", "44", "TEN ZEROS"),    Line04("01", "44", "0000000000"),
                         Line00("01", "45", "BLANK"),        Line04("01", "45", ""),
                         Line00("01", "46", "NO LINE 04"),   Line00("01", "47", "COMMERCIAL", "C"),
                         Line04("01", "47", "0099999999"),   Line00("01", "48", "  FORMATTED"),
                         Line04("01", "48", "  $1,234.50")};
  Put("ap", records);
  AddRow("01", "    41");

  const RunOutcome outcome = Run(&Broker1099, false);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(ReportLines("1099over.txt"), (Lines{"01     41 ACME BROKERS               0000012345",
                                                "01     48 FORMATTED                  $1,234.5"}));
  EXPECT_EQ(Records("ap"), records);
  EXPECT_EQ(Amount("01", "    41"), "$123.45");
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(Broker1099Test, ClearZeroesTheLineAndTheRowAndASecondRunListsNothing) {
  Put("ap", {Line00("01", "41", "ACME BROKERS"), Line04("01", "41", "0000012345"),
             Line00("01", "42", "OTHER"), Line04("01", "42", "$0.00")});
  AddRow("01", "    41");
  AddRow("01", "    42");

  ASSERT_TRUE(Run(&Broker1099, true).completed);

  EXPECT_EQ(ReportLines("1099over.txt"),
            (Lines{"01     41 ACME BROKERS               0000012345"}));
  EXPECT_EQ(Records("ap"),
            (Lines{Line00("01", "41", "ACME BROKERS"), Line04("01", "41", "0000000000"),
                   Line00("01", "42", "OTHER"), Line04("01", "42", "$0.00")}));
  EXPECT_EQ(Amount("01", "    41"), "$0.00");
  EXPECT_EQ(Amount("01", "    42"), "$123.45");

  ASSERT_TRUE(Run(&Broker1099, true).completed);
  EXPECT_TRUE(ReportLines("1099over.txt").empty());
}

TEST_F(Broker1099Test, BrokersOfEveryAgencyAreListed) {
  form->edtAgyCode = "01";
  Put("ap", {Line00("01", "41", "OURS"), Line04("01", "41", "0000000100"),
             Line00("02", "7", "THEIRS"), Line04("02", "7", "0000000200")});

  ASSERT_TRUE(Run(&Broker1099, false).completed);

  EXPECT_EQ(ReportLines("1099over.txt"),
            (Lines{"01     41 OURS                       0000000100",
                   "02      7 THEIRS                     0000000200"}));
}

struct ColumnCase {
  std::string declared;
  bool numeric;  // the column holds numbers: zero instead of the text "$0.00"
};

class Broker1099ColumnTest : public Broker1099Test,
                             public ::testing::WithParamInterface<ColumnCase> {};

TEST_P(Broker1099ColumnTest, ClearWritesZeroInTheColumnsOwnType) {
  Sql("alter table Customer drop column Amt1099; alter table Customer add column Amt1099 " +
      GetParam().declared);
  Put("ap", {Line00("01", "41", "ACME"), Line04("01", "41", "0000012345")});
  AddRow("01", "    41", "12");

  const RunOutcome outcome = Run(&Broker1099, true);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  if (GetParam().numeric) {
    EXPECT_EQ(Value("select typeof(Amt1099) in ('integer', 'real') and Amt1099 = 0 "
                    "from Customer"),
              "1");
  } else {
    EXPECT_EQ(Amount("01", "    41"), "$0.00");
  }
}

INSTANTIATE_TEST_SUITE_P(Types, Broker1099ColumnTest,
                         ::testing::Values(ColumnCase{"TEXT", false}, ColumnCase{"REAL", true},
                                           ColumnCase{"MONEY", true}, ColumnCase{"INTEGER", true}));

TEST_F(Broker1099Test, FailedUpdateAndMissingRowPassSilently) {
  Put("ap", {Line00("01", "41", "FIRST"), Line04("01", "41", "0000000100"),
             Line00("01", "42", "NO ROW"), Line04("01", "42", "0000000200")});
  AddRow("01", "    41");
  AddFault({"ap", FaultOp::kUpdate, 1, 2, 1});

  ASSERT_TRUE(Run(&Broker1099, true).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(ReportLines("1099over.txt").size(), 2U);
  EXPECT_EQ(Find("ap", Line04("01", "41", "").substr(0, 16)), Line04("01", "41", "0000000100"));
  EXPECT_EQ(Find("ap", Line04("01", "42", "").substr(0, 16)), Line04("01", "42", "0000000000"));
  EXPECT_EQ(Amount("01", "    41"), "$0.00");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(Broker1099Test, UnopenedFileIsShownForBothHandlesAndTheReportStaysEmpty) {
  const RunOutcome outcome = Run(&Broker1099, true);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open ap file " + ApPath() + ", status is 12",
                               "Unable to open ap2 file " + ApPath() + ", status is 12"}));
  EXPECT_TRUE(ReportLines("1099over.txt").empty());
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

}  // namespace
}  // namespace talvor::testing
