#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/engine.h"
#include "routines/policy/policy_routines.h"
#include "tests/routines/policy/legacy_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace jcki = layout::jcki;
using Lines = std::vector<std::string>;

std::string Entry(const std::string& agency, const std::string& type, const std::string& number,
                  const std::string& date) {
  return JckiRecord({.agency = agency, .type = type, .number = number, .effective = date});
}

class ChangeJeDateTest : public SiteTest {
 protected:
  // Agency 01: an invoice before the journal entries, two entries (one already dated 30
  // November), a check after them; then an entry of agency 02.
  void PutSite() {
    Put("JCKI", {Entry("01", "I", "000100", ";60415"), Entry("01", "J", "000001", ";60415"),
                 Entry("01", "J", "000002", ":91130"), Entry("01", "K", "000003", ";60415"),
                 Entry("02", "J", "000004", ";60415")});
  }
};

TEST_F(ChangeJeDateTest, DatesTheAgencysJournalEntriesThirtiethOfNovember) {
  PutSite();
  ASSERT_TRUE(Run(&ChangeJeDate).completed);
  EXPECT_TRUE(fe.Questions().empty());
  // An entry already dated 30 November is rewritten and logged all the same.
  EXPECT_EQ(ReportLines("RENJRN.ERR"), (Lines{"WAS: " + Entry("01", "J", "000001", ";60415"),
                                              " IS: " + Entry("01", "J", "000001", ";61130"),
                                              "WAS: " + Entry("01", "J", "000002", ":91130"),
                                              " IS: " + Entry("01", "J", "000002", ":91130")}));
  EXPECT_EQ(Records("JCKI"),
            (Lines{Entry("01", "I", "000100", ";60415"), Entry("01", "J", "000001", ";61130"),
                   Entry("01", "J", "000002", ":91130"), Entry("01", "K", "000003", ";60415"),
                   Entry("02", "J", "000004", ";60415")}));
  // The label keeps its last progress text; the next agency's entry was counted.
  EXPECT_EQ(fe.Statuses(), (Lines{"running.....", "Pass 1 : 1/0", "Pass 1 : 2/0", "Pass 1 : 3/0",
                                  "Pass 1 : 4/0"}));
}

TEST_F(ChangeJeDateTest, FailedReadbackAndUpdateAreLogged) {
  PutSite();
  // "JCKI" reads: 1 the first entry, 2 its readback; then the update of the second entry.
  AddFault({"JCKI", FaultOp::kRead, 2, 2});
  AddFault({"JCKI", FaultOp::kUpdate, 1, 85});
  ASSERT_TRUE(Run(&ChangeJeDate).completed);
  EXPECT_EQ(FaultsTriggered(), 2);
  const std::string first = Entry("01", "J", "000001", ";60415");
  EXPECT_EQ(ReportLines("RENJRN.ERR"),
            (Lines{"ERROR READING BACK (2) [" + first.substr(0, 19) + "]",
                   "WAS: " + Entry("01", "J", "000002", ":91130"),
                   " IS: " + Entry("01", "J", "000002", ":91130"), "ERROR UPDATING"}));
  EXPECT_EQ(Find("JCKI", "01J000001"), first);
}

TEST_F(ChangeJeDateTest, AgencyWithoutJournalEntriesWalksOnlyTheNextRecord) {
  Put("JCKI", {Entry("01", "I", "000100", ";60415"), Entry("02", "J", "000004", ";60415")});
  const auto before = Records("JCKI");
  ASSERT_TRUE(Run(&ChangeJeDate).completed);
  EXPECT_TRUE(ReportLines("RENJRN.ERR").empty());
  EXPECT_EQ(Records("JCKI"), before);
  EXPECT_EQ(form->Label3.Caption(), "Pass 1 : 1/0");
}

TEST_F(ChangeJeDateTest, UnopenedFileIsReportedForBothHandles) {
  ASSERT_TRUE(Run(&ChangeJeDate).completed);
  const std::string path = DataPath() + "\\JCKI";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open JCKI file " + path + ", status is 12",
                               "Unable to open JCKI2 file " + path + ", status is 12"}));
  EXPECT_TRUE(ReportLines("RENJRN.ERR").empty());
  EXPECT_EQ(form->Label3.Caption(), "running.....");
}

}  // namespace
}  // namespace talvor::testing
