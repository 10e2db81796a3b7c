// Resync Contacts and Reset Contacts on a small site: contacts missing from "extap" inserted
// byte by byte, present ones left alone, the insertion log with its two counters, and the
// variant without log or progress texts.
#include <filesystem>
#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/client/client_routines.h"
#include "shell/text/text.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

using Lines = std::vector<std::string>;

struct Contact {
  std::string agency = "01";
  std::string client = "    42";
  std::string number = "1";
  std::string name = "JANE DOE";
  std::string address1 = "12 Main St";
  std::string address2 = "";
  std::string city = "Springfield";
  std::string state = "IL";
  std::string zip = "62701";
};

// The record a new contact gets, spelled out byte by byte.
std::string Record(const Contact& c) {
  const std::string agency = LeftJustify(c.agency, 2);
  const std::string number = LeftJustify(c.number, 6);
  return "008" + agency + LeftJustify(c.client, 6) + number + "00" + "008" + agency +
         std::string(6, ' ') + number + " " + LeftJustify(c.name, 25) +
         LeftJustify(c.address1, 25) + LeftJustify(c.address2, 25) +
         LeftJustify(c.city, 25).substr(0, 12) + "  " + LeftJustify(c.state, 2) +
         LeftJustify(c.zip, 5) + "0000" + " ";
}

class ResyncContactsTest : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    CreateFile("extap");
  }
  void Add(const Contact& c) {
    Sql("insert into Contact (AgyCode, CltNum, Number, Name, Address1, Address2, City, State, "
        "ZipCode) values (" +
        SqlQuote(c.agency) + ", " + SqlQuote(c.client) + ", " + SqlQuote(c.number) + ", " +
        SqlQuote(c.name) + ", " + SqlQuote(c.address1) + ", " + SqlQuote(c.address2) + ", " +
        SqlQuote(c.city) + ", " + SqlQuote(c.state) + ", " + SqlQuote(c.zip) + ")");
  }
  static Contact Numbered(const std::string& number, const std::string& name) {
    Contact c;
    c.number = number;
    c.name = name;
    return c;
  }
  std::string ExtapPath() const { return DataPath() + "\\extap"; }
};

TEST_F(ResyncContactsTest, MissingContactsAreInsertedAndLoggedPresentOnesLeftAlone) {
  const Contact present = Numbered("1", "JOHN DOE");
  Contact stale = present;
  stale.name = "OLD NAME";  // differs from the table: still not touched
  Put("extap", Record(stale));
  Add(present);
  const Contact missing = Numbered("2", "JANE DOE");
  Add(missing);

  const RunOutcome outcome = Run(&ResyncContacts);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Records("extap"), (Lines{Record(stale), Record(missing)}));
  EXPECT_EQ(ReportLines("synccontact.log"), (Lines{"[1:2] 01/    42/2/JANE DOE"}));
  EXPECT_EQ(fe.Statuses(),
            (Lines{"01/    42/1/JOHN DOE", "01/    42/2/JANE DOE", "Done, select another option"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ResyncContactsTest, LogCountsInsertionsAndContactsReadSoFar) {
  Put("extap", {Record(Numbered("2", "B")), Record(Numbered("4", "D"))});
  for (const char* n : {"1", "2", "3", "4", "5"}) Add(Numbered(n, std::string("NAME ") + n));

  ASSERT_TRUE(Run(&ResyncContacts).completed);

  EXPECT_EQ(
      ReportLines("synccontact.log"),
      (Lines{"[1:1] 01/    42/1/NAME 1", "[2:3] 01/    42/3/NAME 3", "[3:5] 01/    42/5/NAME 5"}));
  EXPECT_EQ(Records("extap").size(), 5U);
}

TEST_F(ResyncContactsTest, LongCityAndZipAreCutAndTheGapBeforeTheStateIsBlank) {
  Contact c;
  c.city = "San Bernardino Heights";
  c.zip = "92401-1234";
  c.address2 = "Suite 5";
  Add(c);

  ASSERT_TRUE(Run(&ResyncContacts).completed);

  const Lines records = Records("extap");
  ASSERT_EQ(records.size(), 1U);
  EXPECT_EQ(records[0], Record(c));
  EXPECT_EQ(layout::GetField(records[0], layout::extap::City), "San Bernardi");
  EXPECT_EQ(records[0].substr(124, 2), "  ");
  EXPECT_EQ(layout::GetField(records[0], layout::extap::ZipCode), "92401");
}

TEST_F(ResyncContactsTest, ContactsOfEveryAgencyAreConsidered) {
  form->edtAgyCode = "01";
  Contact other;
  other.agency = "02";
  other.client = "     7";
  Add(other);
  Add(Contact{});

  ASSERT_TRUE(Run(&ResyncContacts).completed);

  EXPECT_EQ(Records("extap"), (Lines{Record(Contact{}), Record(other)}));
  EXPECT_EQ(ReportLines("synccontact.log"),
            (Lines{"[1:1] 02/     7/1/JANE DOE", "[2:2] 01/    42/1/JANE DOE"}));
}

TEST_F(ResyncContactsTest, SecondRunFindsNothingToAdd) {
  Add(Numbered("1", "A"));
  Add(Numbered("2", "B"));
  ASSERT_TRUE(Run(&ResyncContacts).completed);
  const Lines records = Records("extap");

  ASSERT_TRUE(Run(&ResyncContacts).completed);

  EXPECT_TRUE(ReportLines("synccontact.log").empty());
  EXPECT_EQ(Records("extap"), records);
}

TEST_F(ResyncContactsTest, ReadFailureOtherThanNotFoundInsertsNothing) {
  Add(Numbered("1", "A"));
  Add(Numbered("2", "B"));
  AddFault({"extap", FaultOp::kRead, 1, 2, 1});

  ASSERT_TRUE(Run(&ResyncContacts).completed);

  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_EQ(Records("extap"), (Lines{Record(Numbered("2", "B"))}));
  EXPECT_EQ(ReportLines("synccontact.log"), (Lines{"[1:2] 01/    42/2/B"}));
}

TEST_F(ResyncContactsTest, FailedInsertIsLoggedButNotReported) {
  Add(Numbered("1", "A"));
  AddFault({"extap", FaultOp::kInsert, 1, 2, 1});

  ASSERT_TRUE(Run(&ResyncContacts).completed);

  EXPECT_TRUE(Records("extap").empty());
  EXPECT_EQ(ReportLines("synccontact.log"), (Lines{"[1:1] 01/    42/1/A"}));
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ResyncContactsTest, UnopenedFileIsShownAndNothingIsLogged) {
  std::filesystem::remove(std::filesystem::path(DataPath()) / "extap");
  Add(Contact{});

  const RunOutcome outcome = Run(&ResyncContacts);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open extap file " + ExtapPath() + ", status is 12"}));
  EXPECT_TRUE(ReportLines("synccontact.log").empty());
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

TEST_F(ResyncContactsTest, ResetContactsInsertsTheSameWithoutLogOrProgress) {
  WriteFile("synccontact.log", "from an earlier run\r\n");
  Put("extap", Record(Numbered("1", "A")));
  Add(Numbered("1", "A"));
  Add(Numbered("2", "B"));

  const RunOutcome outcome = Run(&ResetContacts);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Records("extap"), (Lines{Record(Numbered("1", "A")), Record(Numbered("2", "B"))}));
  EXPECT_EQ(ReadFile("synccontact.log"), "from an earlier run\r\n");
  EXPECT_EQ(fe.Statuses(), (Lines{"Done, select another option"}));
}

}  // namespace
}  // namespace talvor::testing
