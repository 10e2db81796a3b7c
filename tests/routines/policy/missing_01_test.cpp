#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "legacy/engine.h"
#include "routines/policy/policy_routines.h"
#include "tests/routines/policy/legacy_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

using Lines = std::vector<std::string>;

// A record posted under kind "I" to `glAcct`, so that key 1 orders records by the account.
std::string Line(const std::string& type, const std::string& number, const std::string& item,
                 const std::string& glAcct = "1110", const std::string& agency = "01") {
  return JckiRecord({.agency = agency,
                     .type = type,
                     .number = number,
                     .item = item,
                     .postKind = "I",
                     .glAcct = glAcct});
}

class Missing01Test : public SiteTest {
 protected:
  // Invoice 100 has both lines, 200 only its second, 300 only a "02100" line. A journal entry
  // follows them in key-1 order; invoice 400, missing its first line, comes after it.
  void PutSite() {
    Put("JCKI",
        {Line("I", "000100", "01000"), Line("I", "000100", "02000"), Line("I", "000200", "02000"),
         Line("I", "000300", "02100"), Line("J", "000001", "01000", "2000"),
         Line("I", "000400", "02000", "3000"), Line("I", "000500", "02000", "1110", "00")});
  }
};

TEST_F(Missing01Test, ListsSecondLinesWithoutFirstAndStopsAtTheFirstOtherType) {
  PutSite();
  const auto before = Records("JCKI");
  ASSERT_TRUE(Run(&Missing01).completed);
  EXPECT_TRUE(fe.Questions().empty());
  EXPECT_EQ(ReportLines("MISSING01.ERR"),
            (Lines{"status (4) reading [01I00020001000]", "Examined 5 records, found 1 errors"}));
  EXPECT_EQ(Records("JCKI"), before);
  EXPECT_EQ(fe.Statuses(), (Lines{"running.....", "1/0", "2/0", "3/0", "4/1", "5/1",
                                  "Done, select another option"}));
}

TEST_F(Missing01Test, FailedLookupIsListedWithItsStatus) {
  PutSite();
  // "JCKI" reads: 1 first record, 2 invoice 100's second line, 3 the lookup of its first.
  AddFault({"JCKI", FaultOp::kRead, 3, 2});
  ASSERT_TRUE(Run(&Missing01).completed);
  EXPECT_EQ(ReportLines("MISSING01.ERR"),
            (Lines{"status (2) reading [01I00010001000]", "status (4) reading [01I00020001000]",
                   "Examined 5 records, found 2 errors"}));
}

TEST_F(Missing01Test, AnotherAgencyEndsTheWalk) {
  Put("JCKI", {Line("I", "000300", "02000"), Line("I", "000200", "02000", "1110", "02")});
  ASSERT_TRUE(Run(&Missing01).completed);
  EXPECT_EQ(ReportLines("MISSING01.ERR"),
            (Lines{"status (4) reading [01I00030001000]", "Examined 2 records, found 1 errors"}));
}

TEST_F(Missing01Test, UnopenedFileIsReportedForBothHandles) {
  ASSERT_TRUE(Run(&Missing01).completed);
  const std::string path = DataPath() + "\\JCKI";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open JCKI file " + path + ", status is 12",
                               "Unable to open JCKI2 file " + path + ", status is 12"}));
  EXPECT_EQ(ReportLines("MISSING01.ERR"), Lines{"Examined 0 records, found 0 errors"});
}

}  // namespace
}  // namespace talvor::testing
