// Trim Names on a small site: every Customer.Name of every agency trimmed and every row
// written, the status label left alone.
#include <string>
#include <vector>

#include "routines/client/client_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

class TrimNamesTest : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    // Counts the writes of Name, changed or not.
    Sql("create table NameWrites (Number text); "
        "create trigger CountNameWrites after update of Name on Customer "
        "begin insert into NameWrites values (new.Number); end;");
  }
  void AddRow(const std::string& agency, const std::string& number, const std::string& name) {
    Sql("insert into Customer (AgyCode, Number, Name) values ('" + agency + "', '" + number +
        "', " + name + ")");
  }
};

TEST_F(TrimNamesTest, EveryNameOfEveryAgencyIsTrimmedAndEveryRowWritten) {
  form->edtAgyCode = "01";
  AddRow("01", "    41", "'  ACME ROOFING  '");
  AddRow("01", "    42", "'JOHN  SMITH'");
  AddRow("02", "     7", "'   '");
  AddRow(" 1", "     8", "char(9) || 'TABBED' || char(13)");

  const RunOutcome outcome = Run(&TrimNames);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Rows("select AgyCode, Number, Name from Customer order by rowid"),
            (Table{{"01", "    41", "ACME ROOFING"},
                   {"01", "    42", "JOHN  SMITH"},
                   {"02", "     7", ""},
                   {" 1", "     8", "TABBED"}}));
  EXPECT_EQ(Value("select count(*) from NameWrites"), "4");
  EXPECT_TRUE(fe.Statuses().empty());
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(TrimNamesTest, AnEmptyTableIsNoError) {
  const RunOutcome outcome = Run(&TrimNames);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Value("select count(*) from NameWrites"), "0");
}

TEST_F(TrimNamesTest, UnknownAliasEndsTheRunWithTheLayersMessage) {
  AddRow("01", "    41", "'  ACME  '");
  form->edtODBCName = "NOSUCHDB";

  const RunOutcome outcome = Run(&TrimNames);

  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCHDB"), std::string::npos) << outcome.error;
  EXPECT_EQ(Value("select Name from Customer"), "  ACME  ");
}

}  // namespace
}  // namespace talvor::testing
