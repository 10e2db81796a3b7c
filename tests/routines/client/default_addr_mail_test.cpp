// Default Addr Mail on a small site: DefaultAddFrom set to "0" for the contacts of the agency
// as typed, and "Query Failed" when the database refuses the statement.
#include <string>
#include <vector>

#include "routines/client/client_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

using Lines = std::vector<std::string>;
using Table = std::vector<std::vector<std::string>>;

class DefaultAddrMailTest : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    for (const char* agency : {"01", "02", " 1", "1"}) {
      Sql(std::string("insert into Contact (AgyCode, CltNum, Number, DefaultAddFrom) values ('") +
          agency + "', '    42', '1', '1')");
    }
  }
  Table Defaults() const {
    return Rows("select AgyCode, DefaultAddFrom from Contact order by rowid");
  }
};

TEST_F(DefaultAddrMailTest, ContactsOfTheTypedAgencyGetZero) {
  form->edtAgyCode = "01";

  const RunOutcome outcome = Run(&DefaultAddrMail);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Defaults(), (Table{{"01", "0"}, {"02", "1"}, {" 1", "1"}, {"1", "1"}}));
  EXPECT_EQ(fe.Statuses(), (Lines{"Running Query", "Done"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(DefaultAddrMailTest, AgencyTypedAsOneCharacterMatchesOnlyRowsStoredSo) {
  form->edtAgyCode = "1";

  ASSERT_TRUE(Run(&DefaultAddrMail).completed);

  EXPECT_EQ(Defaults(), (Table{{"01", "1"}, {"02", "1"}, {" 1", "1"}, {"1", "0"}}));
}

TEST_F(DefaultAddrMailTest, AgencyHoldingAQuoteKeepsTheStatementValid) {
  form->edtAgyCode = "0'";

  const RunOutcome outcome = Run(&DefaultAddrMail);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_EQ(Defaults(), (Table{{"01", "1"}, {"02", "1"}, {" 1", "1"}, {"1", "1"}}));
}

TEST_F(DefaultAddrMailTest, DatabaseWithoutTheColumnShowsQueryFailedAndStillEnds) {
  Sql("alter table Contact drop column DefaultAddFrom");

  const RunOutcome outcome = Run(&DefaultAddrMail);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (Lines{"Query Failed"}));
  EXPECT_EQ(fe.Statuses(), (Lines{"Running Query", "Done"}));
}

TEST_F(DefaultAddrMailTest, UnknownAliasShowsQueryFailed) {
  form->edtODBCName = "NOSUCHDB";

  const RunOutcome outcome = Run(&DefaultAddrMail);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (Lines{"Query Failed"}));
  EXPECT_EQ(Defaults(), (Table{{"01", "1"}, {"02", "1"}, {" 1", "1"}, {"1", "1"}}));
}

}  // namespace
}  // namespace talvor::testing
