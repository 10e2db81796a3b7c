#include <algorithm>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "routines/client/client_routines.h"
#include "routines/registry.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;
using layout::GetField;

class ResetCltTypeTest : public SiteTest {
 protected:
  static std::string Line00(const std::string& agency, const std::string& number,
                            const std::string& name, const std::string& type) {
    return ApRecord(ap::kClient, agency, number, "00")
        .Set(ap::line00::Alpha, "ALPHA ")
        .Set(ap::line00::Name, name)
        .Set(ap::line00::TypeLetter, type)
        .Set(ap::line00::City, "AUSTIN");
  }
  void AddRow(const std::string& agency, const std::string& number, int custType) {
    Sql("insert into Customer (AgyCode, Number, Name, CustType) values ('" + agency + "', '" +
        RightJustify(number, 6) + "', 'N', " + std::to_string(custType) + ")");
  }
  std::string Type(const std::string& agency, const std::string& number) const {
    return GetField(*Find("ap", layout::ApKey(ap::kClient, agency, number, "00")),
                    ap::line00::TypeLetter);
  }
  std::string CustType(const std::string& agency, const std::string& number) const {
    return Value("select CustType from Customer where AgyCode = '" + agency + "' and Number = '" +
                 RightJustify(number, 6) + "'");
  }
};

TEST_F(ResetCltTypeTest, PersonalClientsBecomeCommercialInBothStores) {
  const std::string commercial = Line00("01", "102", "ACME", "C");
  const std::string broker = Line00("01", "103", "AGENT", "B");
  // Line "01" carries a "P" at the type letter's place: only line "00" counts.
  const std::string line01 =
      ApRecord(ap::kClient, "01", "101", "01").Set(ap::line00::TypeLetter, "P");
  const std::string otherAgency = Line00("02", "101", "OTHER", "P");
  Put("ap", {Line00("01", "101", "SMITH JOHN", "P"), line01, commercial, broker,
             Line00("01", "104", "DOE JANE", "P"), otherAgency});
  AddRow("01", "101", 2);
  AddRow("01", "102", 1);
  AddRow("02", "101", 2);
  // No row for 104.

  const auto outcome = Run(&ResetCltType);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  const std::string key101 = layout::ApKey(ap::kClient, "01", "101", "00");
  const std::string key104 = layout::ApKey(ap::kClient, "01", "104", "00");
  EXPECT_EQ(
      ReportLines("ResetCltType.txt"),
      (std::vector<std::string>{
          "Updated [" + key101 + "] to CL",
          "   Update \"Customer\" set CustType = 1 where AgyCode = '01'  and Number = '   101'",
          "  Updated Table [01:   101] to CustType = 1",
          "Updated [" + key104 + "] to CL",
          "   Update \"Customer\" set CustType = 1 where AgyCode = '01'  and Number = '   104'",
          "  Error (0) changed updating table [01:   104] to CustType = 1",
      }));
  std::string expected101 = Line00("01", "101", "SMITH JOHN", "P");
  layout::SetField(expected101, ap::line00::TypeLetter, "C");
  EXPECT_EQ(*Find("ap", key101), expected101);
  EXPECT_EQ(Type("01", "104"), "C");
  EXPECT_EQ(CustType("01", "101"), "1");
  EXPECT_EQ(CustType("01", "102"), "1");
  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kClient, "01", "101", "01")), line01);
  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kClient, "01", "102", "00")), commercial);
  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kClient, "01", "103", "00")), broker);
  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kClient, "02", "101", "00")), otherAgency);
  EXPECT_EQ(CustType("02", "101"), "2");
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"101:SMITH JOHN", "102:ACME", "103:AGENT",
                                                     "104:DOE JANE", "Done"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ResetCltTypeTest, SecondRunFindsNoPersonalClientsAndWritesNothing) {
  Put("ap", Line00("01", "101", "SMITH JOHN", "P"));
  AddRow("01", "101", 2);
  ASSERT_TRUE(Run(&ResetCltType).completed);
  ASSERT_EQ(ReportLines("ResetCltType.txt").size(), 3u);

  ASSERT_TRUE(Run(&ResetCltType).completed);

  EXPECT_TRUE(ReportLines("ResetCltType.txt").empty());
  EXPECT_EQ(Type("01", "101"), "C");
}

TEST_F(ResetCltTypeTest, AgencyTypedAsOneDigitIsRightJustified) {
  Put("ap", Line00(" 1", "101", "SMITH", "P"));
  AddRow(" 1", "101", 2);
  form->edtAgyCode = "1";

  ASSERT_TRUE(Run(&ResetCltType).completed);

  EXPECT_EQ(Type(" 1", "101"), "C");
  EXPECT_EQ(CustType(" 1", "101"), "1");
  EXPECT_EQ(ReportLines("ResetCltType.txt")[2], "  Updated Table [ 1:   101] to CustType = 1");
}

TEST_F(ResetCltTypeTest, FailedUpdateOrReadbackIsListedAndTheDatabaseLeftAlone) {
  Put("ap", {Line00("01", "101", "A", "P"), Line00("01", "102", "B", "P")});
  AddRow("01", "101", 2);
  AddRow("01", "102", 2);
  AddFault({"ap", FaultOp::kUpdate, 1, 85, 1});
  // Reads: the walk's first, 101's readback, the walk's step to 102, then 102's readback.
  AddFault({"ap", FaultOp::kRead, 4, 2, 1});

  ASSERT_TRUE(Run(&ResetCltType).completed);

  EXPECT_EQ(FaultsTriggered(), 2);
  EXPECT_EQ(ReportLines("ResetCltType.txt"),
            (std::vector<std::string>{
                "Error (85) on readback of [" + layout::ApKey(ap::kClient, "01", "101", "00") + "]",
                "Error (2) on readback of [" + layout::ApKey(ap::kClient, "01", "102", "00") + "]",
            }));
  EXPECT_EQ(Type("01", "101"), "P");
  EXPECT_EQ(Type("01", "102"), "P");
  EXPECT_EQ(CustType("01", "101"), "2");
  EXPECT_EQ(CustType("01", "102"), "2");
}

TEST_F(ResetCltTypeTest, MissingFileEndsTheRunAfterOneMessage) {
  const auto outcome = Run(&ResetCltType);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (std::vector<std::string>{"Unable to open read ap file " + DataPath() +
                                                  "\\ap, status is 12"}));
  EXPECT_TRUE(ReportLines("ResetCltType.txt").empty());
  EXPECT_NE(form->Label3.Caption(), "Done");
}

TEST_F(ResetCltTypeTest, WriteHandleThatCannotOpenEndsTheRunBeforeAnyChange) {
  Put("ap", Line00("01", "101", "A", "P"));
  AddRow("01", "101", 2);
  AddFault({"ap", FaultOp::kOpen, 2, 85, 1});

  ASSERT_TRUE(Run(&ResetCltType).completed);

  EXPECT_EQ(fe.Notes(), (std::vector<std::string>{"Unable to open write ap file " + DataPath() +
                                                  "\\ap, status is 85"}));
  EXPECT_EQ(Type("01", "101"), "P");
  EXPECT_EQ(CustType("01", "101"), "2");
  EXPECT_TRUE(ReportLines("ResetCltType.txt").empty());
}

TEST_F(ResetCltTypeTest, BothButtonsRunThisRoutine) {
  for (const char* caption : {"ResetCltType", "Set All to CL"}) {
    const auto buttons = AllRoutineButtons();
    const auto it = std::find_if(buttons.begin(), buttons.end(), [&](const RoutineEntry& e) {
      return std::string(e.caption) == caption;
    });
    ASSERT_NE(it, buttons.end()) << caption;
    EXPECT_EQ(it->routine, &ResetCltType) << caption;
  }
}

}  // namespace
}  // namespace talvor::testing
