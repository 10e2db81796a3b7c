#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "legacy/engine.h"
#include "routines/policy/policy_routines.h"
#include "tests/routines/policy/legacy_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

using Lines = std::vector<std::string>;

std::string Entry(const std::string& agency, const std::string& number, const std::string& postKind,
                  const std::string& glAcct) {
  return JckiRecord({.agency = agency, .number = number, .postKind = postKind, .glAcct = glAcct});
}

class EmptyGLTest : public SiteTest {};

TEST_F(EmptyGLTest, ListsBlankAccountsOfTheAgencyInKeyOneOrder) {
  // Key 1 order: "011    ", "0110000", "01D1120", "01I    ", then agency 02.
  Put("JCKI", {Entry("00", "000009", "1", "    "), Entry("01", "000004", "I", "    "),
               Entry("01", "000003", "D", "1120"), Entry("01", "000002", "1", "0000"),
               Entry("01", "000001", "1", "    "), Entry("02", "000005", "1", "    ")});
  const auto before = Records("JCKI");
  ASSERT_TRUE(Run(&EmptyGL).completed);
  EXPECT_TRUE(fe.Questions().empty());
  EXPECT_EQ(ReportLines("MISSINGGL.ERR"),
            (Lines{Entry("01", "000001", "1", "    "), Entry("01", "000004", "I", "    "),
                   "Examined 5 records, found 2 errors"}));
  EXPECT_EQ(Records("JCKI"), before);
  EXPECT_EQ(fe.Statuses(), (Lines{"running.....", "1/0", "2/1", "3/1", "4/1", "5/2",
                                  "Done, select another option"}));
}

TEST_F(EmptyGLTest, OnlyTheNextAgencyGivesOneRecordExamined) {
  Put("JCKI", Entry("02", "000001", "1", "    "));
  ASSERT_TRUE(Run(&EmptyGL).completed);
  EXPECT_EQ(ReportLines("MISSINGGL.ERR"), Lines{"Examined 1 records, found 0 errors"});
}

TEST_F(EmptyGLTest, OnlyAnEarlierAgencyGivesNothingExamined) {
  Put("JCKI", Entry("00", "000001", "1", "    "));
  ASSERT_TRUE(Run(&EmptyGL).completed);
  EXPECT_EQ(ReportLines("MISSINGGL.ERR"), Lines{"Examined 0 records, found 0 errors"});
}

TEST_F(EmptyGLTest, WindowRepaintsOnEveryHundredthRecordOnly) {
  std::vector<std::string> records;
  for (int i = 1; i <= 150; ++i) {
    char number[7];
    std::snprintf(number, sizeof number, "%06d", i);
    records.push_back(Entry("01", number, "1", "1110"));
  }
  Put("JCKI", records);
  ASSERT_TRUE(Run(&EmptyGL).completed);
  EXPECT_EQ(ReportLines("MISSINGGL.ERR"), Lines{"Examined 150 records, found 0 errors"});
  EXPECT_EQ(fe.Repaints(), 2);  // after "running....." and at the 100th record
  EXPECT_EQ(fe.Statuses()[150], "150/0");
}

TEST_F(EmptyGLTest, UnopenedFileIsReportedAndTheSummaryWritten) {
  ASSERT_TRUE(Run(&EmptyGL).completed);
  EXPECT_EQ(fe.Notes(), Lines{"Unable to open JCKI file " + DataPath() + "\\JCKI, status is 12"});
  EXPECT_EQ(ReportLines("MISSINGGL.ERR"), Lines{"Examined 0 records, found 0 errors"});
}

TEST_F(EmptyGLTest, ReadFailureEndsTheWalkWithTheCountsSoFar) {
  Put("JCKI", {Entry("01", "000001", "1", "    "), Entry("01", "000002", "1", "    ")});
  AddFault({"JCKI", FaultOp::kRead, 2, 2});
  ASSERT_TRUE(Run(&EmptyGL).completed);
  EXPECT_EQ(ReportLines("MISSINGGL.ERR"),
            (Lines{Entry("01", "000001", "1", "    "), "Examined 1 records, found 1 errors"}));
}

}  // namespace
}  // namespace talvor::testing
