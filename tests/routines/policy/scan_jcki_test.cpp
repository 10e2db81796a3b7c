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

namespace ap = layout::ap;
using Lines = std::vector<std::string>;

class ScanJCKITest : public SiteTest {
 protected:
  void PutCodes() {
    Put("ap", {ApCodeRecord(ap::kClient, "01", "  1001"), ApCodeRecord(ap::kCompany, "01", "CMP"),
               ApCodeRecord(ap::kClass, "01", "CLS"), ApCodeRecord(ap::kProducer, "01", "PRD"),
               ApCodeRecord(ap::kTransaction, "01", "NEW")});
  }
  static std::string Summary(int correct, int incorrect) {
    return std::to_string(correct) + " correct records, " + std::to_string(incorrect) + "incorrect";
  }
};

TEST_F(ScanJCKITest, InvoiceItemsOfPostKindOneAreLookedUpByTheirSubCode) {
  PutCodes();
  struct Case {
    std::string item, code, client, postKind, type;
    std::string line;  // empty: no finding
  };
  const Case cases[] = {
      {"01000", "   ", "  1001", "1", "I", ""},
      {"01100", "CMP", "  1001", "1", "I", ""},
      {"02000", "   ", "  9999", "1", "I", " CLT   9999"},
      {"02100", "XYZ", "  1001", "1", "I", " CMP XYZ"},
      {"02200", "CL9", "  1001", "1", "I", " CLS CL9"},
      {"02300", "PR9", "  1001", "1", "I", " PRD PR9"},
      {"02301", "PR8", "  1001", "1", "I", " PRD PR8"},
      {"02400", "PR7", "  1001", "1", "I", " SPR PR7"},
      {"02500", "TR9", "  1001", "1", "I", " TRN TR9"},
      {"02600", "ZZ9", "  9999", "1", "I", ""},  // no check for other sub-codes
      {"03100", "XYZ", "  9999", "2", "I", ""},  // another posting kind is not looked up
      {"04100", "XYZ", "  9999", "1", "J", ""},  // nor is another entry type
  };
  // The cases are in key order.
  std::vector<std::string> records;
  Lines expected;
  for (const Case& c : cases) {
    const std::string record = JckiRecord(
        {.type = c.type, .item = c.item, .postKind = c.postKind, .code = c.code, .client = c.client});
    records.push_back(record);
    if (!c.line.empty()) expected.push_back(layout::GetField(record, layout::jcki::Key) + c.line);
  }
  Put("JCKI", records);
  expected.push_back(Summary(static_cast<int>(std::size(cases)), 0));
  ASSERT_TRUE(Run(&ScanJCKI).completed);
  EXPECT_EQ(ReportLines("JCKISCAN.ERR"), expected);
  EXPECT_EQ(ReportLines("JCKISCAN.LOG"), Lines{});
  EXPECT_EQ(Records("JCKI"), records);
  EXPECT_EQ(form->Label3.Caption(), "Done");
  EXPECT_TRUE(fe.Questions().empty());
}

TEST_F(ScanJCKITest, CharacterTestReportsEachBadCharacterAndSkipsTheLookup) {
  PutCodes();
  // Bad characters at positions 23 and 27; the code is missing too but is not looked up.
  const std::string bad = JckiRecord({.number = "000001", .item = "01100", .code = "X.Y",
                                      .client = "  -001"});
  // Only the 99th character is bad: the record passes.
  std::string last = JckiRecord({.number = "000002", .item = "01100", .code = "CMP"});
  last[98] = '#';
  // Text ends at a zero byte; what follows it is never tested.
  std::string zero = JckiRecord({.number = "000003", .item = "01100", .code = "CMP"});
  zero[80] = '\0';
  zero[85] = '#';
  // Every permitted punctuation character.
  std::string punct = JckiRecord({.number = "000004", .item = "01100", .code = "CMP"});
  punct.replace(75, 12, ":; *&^[]_/\\`");
  Put("JCKI", {bad, last, zero, punct});
  ASSERT_TRUE(Run(&ScanJCKI).completed);
  EXPECT_EQ(ReportLines("JCKISCAN.ERR"),
            (Lines{"23[.] 27[-] " + bad, bad.substr(0, 16), Summary(3, 1)}));
  EXPECT_EQ(fe.Statuses(), (Lines{"running.....", "(0/0)" + bad.substr(0, 14),
                                  "(1/0)" + last.substr(0, 14), "(1/1)" + zero.substr(0, 14),
                                  "(1/2)" + punct.substr(0, 14), "Done"}));
}

TEST_F(ScanJCKITest, UnopenedMasterFileReportsEveryItemThatIsLookedUp) {
  Put("JCKI", {JckiRecord({.item = "01000"}), JckiRecord({.item = "01100", .code = "CMP"}),
               JckiRecord({.number = "000200", .item = "01100", .postKind = "D", .code = "CMP"})});
  ASSERT_TRUE(Run(&ScanJCKI).completed);
  EXPECT_EQ(fe.Notes(), Lines{"Unable to open ap file " + DataPath() + "\\ap, status is 12"});
  EXPECT_EQ(ReportLines("JCKISCAN.ERR"),
            (Lines{"01I00010001000 CLT   1001", "01I00010001100 CMP CMP", Summary(3, 0)}));
}

TEST_F(ScanJCKITest, UnopenedInvoiceFileGivesAnEmptySummary) {
  PutCodes();
  ASSERT_TRUE(Run(&ScanJCKI).completed);
  EXPECT_EQ(fe.Notes(), Lines{"Unable to open JCKI file " + DataPath() + "\\JCKI, status is 12"});
  EXPECT_EQ(ReportLines("JCKISCAN.ERR"), Lines{Summary(0, 0)});
  EXPECT_EQ(ReportLines("JCKISCAN.LOG"), Lines{});
}

}  // namespace
}  // namespace talvor::testing
