// Load States on a small site: the agency's missing States rows, and for each row added the
// two "014" records of the state in "ap".
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "legacy/fault_injection.h"
#include "routines/client/client_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

using Table = std::vector<std::vector<std::string>>;

std::string Padded(std::string text) {
  text.resize(128, ' ');
  return text;
}

// The two records of a state, spelled out byte by byte.
std::string StateLine00(const std::string& agency, const std::string& code,
                        const std::string& alpha, const std::string& name) {
  std::string paddedName = name;
  paddedName.resize(25, ' ');
  return Padded("014000" + agency + "    " + code + "00014" + alpha + paddedName + "000000:90619Y");
}
std::string StateLine01(const std::string& agency, const std::string& code) {
  return Padded("014000" + agency + "    " + code + "01014");
}

class LoadStatesTest : public testing::SiteTest {
 protected:
  Table StatesOf(const std::string& agency) {
    return Rows("SELECT Number, Name, FilingDate, AffidavitsReq FROM States WHERE AgyCode = '" +
                agency + "' ORDER BY rowid");
  }
  std::string ApPath() const { return DataPath() + "\\ap"; }
};

TEST_F(LoadStatesTest, FreshAgencyGetsSixtyNineRowsAndTheirRecords) {
  CreateFile("ap");

  const RunOutcome outcome = Run(&LoadStates);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  const Table states = StatesOf("01");
  ASSERT_EQ(states.size(), 69U);
  EXPECT_EQ(states.front(), (std::vector<std::string>{"AL", "Alabama", "2029-01-01", "0"}));
  EXPECT_EQ(states[8], (std::vector<std::string>{"DC", "Washington, D.C.", "2029-01-01", "0"}));
  EXPECT_EQ(states[60], (std::vector<std::string>{"NL", "Newfoundland", "2029-01-01", "0"}));
  EXPECT_EQ(states.back(), (std::vector<std::string>{"YT", "Yukon", "2029-01-01", "0"}));
  EXPECT_EQ(Records("ap").size(), 138U);
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"Loading States....", "Done"}));
  EXPECT_TRUE(fe.Notes().empty());
}

struct StateRecordCase {
  std::string code, alpha, name;
};

void PrintTo(const StateRecordCase& c, std::ostream* os) {
  *os << c.code;
}

class LoadStatesRecordTest : public LoadStatesTest,
                             public ::testing::WithParamInterface<StateRecordCase> {};

TEST_P(LoadStatesRecordTest, RecordsHoldTheCodeRightJustifiedTheAlphaAndTheFlags) {
  const StateRecordCase& c = GetParam();
  CreateFile("ap");

  ASSERT_TRUE(Run(&LoadStates).completed);

  EXPECT_EQ(Find("ap", "01400001    " + c.code + "00").value_or("missing"),
            StateLine00("01", c.code, c.alpha, c.name));
  EXPECT_EQ(Find("ap", "01400001    " + c.code + "01").value_or("missing"),
            StateLine01("01", c.code));
}

INSTANTIATE_TEST_SUITE_P(States, LoadStatesRecordTest,
                         ::testing::Values(StateRecordCase{"AL", "ALABAM", "Alabama"},
                                           StateRecordCase{"DC", "WASHIN", "Washington, D.C."},
                                           StateRecordCase{"WA", "WASHIN", "Washington"},
                                           StateRecordCase{"IA", "IOWA  ", "Iowa"},
                                           StateRecordCase{"NT", "NORTHW", "Northwest Territories"},
                                           StateRecordCase{"YT", "YUKON ", "Yukon"}));

TEST_F(LoadStatesTest, StatePresentForTheAgencyIsLeftAloneInBothStores) {
  CreateFile("ap");
  Sql("INSERT INTO States (AgyCode, Number, Name) VALUES ('01', 'TX', 'Tejas')");
  Sql("INSERT INTO States (AgyCode, Number, Name) VALUES ('02', 'AL', 'Other agency')");

  ASSERT_TRUE(Run(&LoadStates).completed);

  EXPECT_EQ(StatesOf("01").size(), 69U);
  EXPECT_EQ(Value("SELECT Name FROM States WHERE AgyCode = '01' AND Number = 'TX'"), "Tejas");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM States WHERE AgyCode = '01' AND Number = 'AL'"), "1");
  EXPECT_EQ(StatesOf("02").size(), 1U);
  EXPECT_EQ(Records("ap").size(), 136U);
  EXPECT_FALSE(Find("ap", "01400001    TX").has_value());
}

TEST_F(LoadStatesTest, SecondRunAddsNothing) {
  CreateFile("ap");
  ASSERT_TRUE(Run(&LoadStates).completed);
  const auto rows = Rows("SELECT * FROM States ORDER BY rowid");
  const auto records = Records("ap");

  ASSERT_TRUE(Run(&LoadStates).completed);

  EXPECT_EQ(Rows("SELECT * FROM States ORDER BY rowid"), rows);
  EXPECT_EQ(Records("ap"), records);
}

TEST_F(LoadStatesTest, StateDeletedFromTheTableIsAddedAgainAndItsDuplicateRecordsFailQuietly) {
  const std::string keptLine = Padded("01400001    OH00014KEPT");
  Put("ap", {keptLine, StateLine01("01", "OH")});
  Sql("INSERT INTO States (AgyCode, Number, Name) VALUES ('01', 'AL', 'Alabama')");

  ASSERT_TRUE(Run(&LoadStates).completed);

  EXPECT_EQ(Value("SELECT Name FROM States WHERE AgyCode = '01' AND Number = 'OH'"), "Ohio");
  EXPECT_EQ(Find("ap", "01400001    OH00").value_or("missing"), keptLine);
  EXPECT_EQ(Records("ap").size(), 136U);  // 68 states added; OH's two records were there
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(LoadStatesTest, OneCharacterAgencyIsRightJustifiedInBothStores) {
  CreateFile("ap");
  form->edtAgyCode = "1";

  ASSERT_TRUE(Run(&LoadStates).completed);

  EXPECT_EQ(StatesOf(" 1").size(), 69U);
  EXPECT_EQ(Find("ap", "014000 1    AL00").value_or("missing"),
            StateLine00(" 1", "AL", "ALABAM", "Alabama"));
}

TEST_F(LoadStatesTest, DataPathEndingInASeparatorReachesTheSameFile) {
  CreateFile("ap");
  form->edtDatapath = DataPath() + "\\";

  ASSERT_TRUE(Run(&LoadStates).completed);

  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_EQ(Records("ap").size(), 138U);
}

TEST_F(LoadStatesTest, MissingFileIsShownAndTheRowsAreStillAdded) {
  const RunOutcome outcome = Run(&LoadStates);

  ASSERT_TRUE(outcome.completed);
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open ap file " + ApPath() + ", status is 12"}));
  EXPECT_EQ(StatesOf("01").size(), 69U);
  EXPECT_EQ(form->Label3.Caption(), "Done");
}

TEST_F(LoadStatesTest, FailedInsertIsNotReportedAndTheRowStays) {
  CreateFile("ap");
  AddFault({"ap", FaultOp::kInsert, 1, 2, 2});  // both records of Alabama

  ASSERT_TRUE(Run(&LoadStates).completed);

  EXPECT_EQ(FaultsTriggered(), 2);
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_EQ(StatesOf("01").size(), 69U);
  EXPECT_EQ(Records("ap").size(), 136U);
  EXPECT_FALSE(Find("ap", "01400001    AL").has_value());
}

}  // namespace
}  // namespace talvor
