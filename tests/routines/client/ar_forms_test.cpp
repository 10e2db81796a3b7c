#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "routines/client/client_routines.h"
#include "shell/text/text.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;

class ArFormsTest : public SiteTest {
 protected:
  static std::string Line00(const std::string& agency, const std::string& number) {
    return ApRecord(ap::kClient, agency, number, "00")
        .Set(ap::line00::Name, "CLIENT " + number)
        .Set(ap::line00::BillMethodCd, "O")
        .Set(ap::line00::BalMethodCd, "O");
  }
  static std::string Line01(const std::string& agency, const std::string& number) {
    return ApRecord(ap::kClient, agency, number, "01").Set(ap::client01::Underwriter, "  A");
  }
  void AddRow(const std::string& agency, const std::string& number, const std::string& active) {
    Sql("insert into Customer (AgyCode, Number, Name, ActiveStatus, FormsType) values ('" + agency +
        "', '" + RightJustify(number, 6) + "', 'N', '" + active + "', 0)");
  }
  std::vector<std::string> Row(const std::string& agency, const std::string& number) const {
    return Rows("select ActiveStatus, FormsType from Customer where AgyCode = '" + agency +
                "' and Number = '" + RightJustify(number, 6) + "'")[0];
  }
  static std::string WithBalanceB(std::string line00) {
    layout::SetField(line00, ap::line00::BalMethodCd, "B");
    return line00;
  }
};

TEST_F(ArFormsTest, ClientsWithLine01GetBalanceMethodBAndBecomeActive) {
  Put("ap", {Line00("01", "101"), Line01("01", "101"),    // active client
             Line00("01", "102"), Line01("01", "102"),    // inactive: becomes active
             Line00("02", "101"), Line01("02", "101")});  // another agency
  AddRow("01", "101", "Y");
  AddRow("01", "102", "N");
  AddRow("02", "101", "N");

  const auto outcome = Run(&ArForms);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Records("ap"),
            (std::vector<std::string>{WithBalanceB(Line00("01", "101")), Line01("01", "101"),
                                      WithBalanceB(Line00("01", "102")), Line01("01", "102"),
                                      WithBalanceB(Line00("02", "101")), Line01("02", "101")}));
  for (const auto& [agency, number] : {std::pair{"01", "101"}, {"01", "102"}, {"02", "101"}}) {
    EXPECT_EQ(Row(agency, number), (std::vector<std::string>{"Y", "1"})) << agency << number;
  }
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ArFormsTest, ClientWithoutLine01OrWithoutLine00IsNotChanged) {
  const std::vector<std::string> records = {Line00("01", "201"),   // no line "01"
                                            Line01("01", "202")};  // no line "00"
  Put("ap", records);
  AddRow("01", "201", "N");
  AddRow("01", "202", "N");

  ASSERT_TRUE(Run(&ArForms).completed);

  EXPECT_EQ(Records("ap"), records);
  EXPECT_EQ(Row("01", "201"), (std::vector<std::string>{"N", "0"}));
  EXPECT_EQ(Row("01", "202"), (std::vector<std::string>{"N", "0"}));
}

TEST_F(ArFormsTest, ClientWithoutRowIsChangedInTheFileOnly) {
  Put("ap", {Line00("01", "301"), Line01("01", "301")});

  ASSERT_TRUE(Run(&ArForms).completed);

  EXPECT_EQ(Records("ap")[0], WithBalanceB(Line00("01", "301")));
  EXPECT_EQ(Value("select count(*) from Customer"), "0");
}

TEST_F(ArFormsTest, OtherKindsOnlyShowProgress) {
  const std::string producer01 =
      ApRecord(ap::kProducer, "01", "A", "01").Set(ap::client01::Underwriter, "  Q");
  const std::string producer00 =
      ApRecord(ap::kProducer, "01", "A", "00").Set(ap::line00::BalMethodCd, "O");
  Put("ap", {Line00("01", "101"), Line01("01", "101"), producer00, producer01});

  ASSERT_TRUE(Run(&ArForms).completed);

  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kProducer, "01", "A", "00")), producer00);
  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kProducer, "01", "A", "01")), producer01);
  EXPECT_EQ(fe.Statuses(),
            (std::vector<std::string>{"01/   101", "01/   101", "01/   101[  A]", "01/     A",
                                      "01/     A", "Done, select another option"}));
}

TEST_F(ArFormsTest, MissingFileShowsBothOpenFailuresAndEndsNormally) {
  AddRow("01", "101", "N");

  const auto outcome = Run(&ArForms);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  const std::string path = DataPath() + "\\ap";
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + path + ", status is 12",
                                      "Unable to open ap2 file " + path + ", status is 12"}));
  EXPECT_EQ(Row("01", "101"), (std::vector<std::string>{"N", "0"}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

}  // namespace
}  // namespace talvor::testing
