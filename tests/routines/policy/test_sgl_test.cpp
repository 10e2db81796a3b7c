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
namespace jcki = layout::jcki;
using Lines = std::vector<std::string>;

class TestSGLTest : public SiteTest {
 protected:
  void PutCodes() {
    Put("ap", {ApCodeRecord(ap::kClient, "01", "  1001"), ApCodeRecord(ap::kProducer, "01", "PRD"),
               ApCodeRecord(ap::kCompany, "01", "CMP"), ApCodeRecord(ap::kCompany, "01", "999"),
               ApCodeRecord(ap::kDepartment, "01", "CL"), ApCodeRecord(ap::kDepartment, "01", "PL"),
               ApCodeRecord(ap::kClass, "01", "CLS"), ApCodeRecord(ap::kTransaction, "01", "NEW"),
               ApCodeRecord(ap::kBank, "01", "BK1")});
  }
  std::string Field(const std::string& key, layout::Field field) {
    return layout::GetField(Find("JCKI", key).value_or(""), field);
  }
  static std::string Finding(const std::string& label, const std::string& code,
                             const JckiValues& v) {
    const std::string record = JckiRecord(v);
    return label + code + ") on (" + record.substr(0, 14) + ") (" + v.amount + ")";
  }
  static std::string BadDpt(const JckiValues& v) {
    return "Bad Dpt [" + v.dept + "] on [" + JckiRecord(v) + "]";
  }
};

constexpr const char* kZero = "0000000000";

TEST_F(TestSGLTest, ReportsMissingCodesAndRepairsTheKnownLeftovers) {
  PutCodes();
  const JckiValues b{.type = "B", .number = "000001", .dept = "er"};
  const JckiValues c1{.type = "C", .number = "000010", .item = "01000", .code = "BK9",
                      .client = "  9999", .dept = "XX", .ledger = "1120"};
  const JckiValues c2{.type = "C", .number = "000011", .item = "99000", .code = "BK8",
                      .client = "   ZZ9", .dept = "PX", .ledger = "1130"};
  const JckiValues c3{.type = "C", .number = "000012", .item = "01100", .code = "BK1",
                      .dept = "CL", .ledger = "1120"};
  const JckiValues d{.type = "D", .number = "000020"};
  const JckiValues iClient{.number = "000100", .item = "01000", .client = "  1001"};
  const JckiValues iOther{.number = "000100", .item = "01001", .code = "???"};
  const JckiValues iCmp{.number = "000100", .item = "01100", .code = "XYZ", .amount = kZero};
  const JckiValues iCls{.number = "000100", .item = "01200", .code = "CL9"};
  const JckiValues iPrd{.number = "000100", .item = "01300", .code = "PR9"};
  const JckiValues iSpr{.number = "000100", .item = "01400", .code = "PR8"};
  const JckiValues iTrn{.number = "000100", .item = "01500", .code = "TR9", .amount = kZero};
  const JckiValues i999{.number = "000101", .item = "01100", .code = "999"};
  const JckiValues iP3{.number = "000102", .item = "01000", .client = "  9999", .dept = "P3",
                       .amount = kZero};
  const JckiValues iBoth{.number = "000103", .item = "01100", .code = "XY2", .dept = "PQ"};
  const JckiValues j{.type = "J", .number = "000200", .dept = "CM"};
  const JckiValues k{.type = "K", .number = "000300", .dept = "P4"};
  const JckiValues o{.type = "O", .number = "000400", .code = "XXX", .dept = "QQ"};
  const JckiValues x{.type = "X", .number = "000500"};
  const JckiValues z{.type = "Z", .number = "000600"};
  std::vector<std::string> records;
  for (const JckiValues* v :
       {&b, &c1, &c2, &c3, &d, &iClient, &iOther, &iCmp, &iCls, &iPrd, &iSpr, &iTrn, &i999, &iP3,
        &iBoth, &j, &k, &o, &x, &z}) {
    records.push_back(JckiRecord(*v));
  }
  Put("JCKI", records);

  ASSERT_TRUE(Run(&TestSGL).completed);
  EXPECT_TRUE(fe.Questions().empty());
  EXPECT_EQ(ReportLines("ScanGL.ERR"),
            (Lines{BadDpt(b), Finding("Missing BNK (", "BK9", c1),
                   Finding("Missing DPT (", "XX", c1), Finding("Missing CLT (", "  9999", c1),
                   Finding("Missing DPT (", "PX", c2), Finding("Missing CMP (", "   ZZ9", c2),
                   "Unknown JCKI Type (D) on [01D00002001000]",
                   Finding("Missing Cmp (", "XYZ", iCmp), Finding("Missing Cls (", "CL9", iCls),
                   Finding("Missing Prd (", "PR9", iPrd), Finding("Missing Prd (", "PR8", iSpr),
                   BadDpt(iP3), Finding("Missing Cmp (", "XY2", iBoth), BadDpt(j), BadDpt(k),
                   "Unknown JCKI Type (Z) on [01Z00060001000]"}));
  EXPECT_EQ(ReportLines("ScanGL.TXT"), Lines{});
  EXPECT_EQ(form->Label3.Caption(), "done");

  // Repairs.
  EXPECT_EQ(Field("01I00010001100", jcki::Code), "ZZZ");
  EXPECT_EQ(Field("01I00010101100", jcki::Code), "ZZZ");
  EXPECT_EQ(Field("01I00010201000", jcki::Dept), "PL");
  EXPECT_EQ(Field("01I00010301100", jcki::Dept), "PL");  // both changes of one record stay
  EXPECT_EQ(Field("01I00010301100", jcki::Code), "ZZZ");
  EXPECT_EQ(Field("01J00020001000", jcki::Dept), "CL");
  EXPECT_FALSE(Find("JCKI", "01X000500").has_value());
  // Left alone: a department neither "P..." nor "CM", a line-99 cash entry, passed-over kinds.
  EXPECT_EQ(Field("01C00001001000", jcki::Dept), "XX");
  EXPECT_EQ(Field("01C00001199000", jcki::Dept), "PX");
  EXPECT_EQ(Field("01K00030001000", jcki::Dept), "P4");
  EXPECT_EQ(Field("01B00000101000", jcki::Dept), "er");
  EXPECT_EQ(Records("JCKI").size(), records.size() - 1);

  // A second run no longer finds the repaired departments or the void entry; the company
  // items now name "ZZZ", which this "ap" lacks.
  ASSERT_TRUE(Run(&TestSGL).completed);
  JckiValues iCmpNow = iCmp;
  iCmpNow.code = "ZZZ";
  JckiValues i999Now = i999;
  i999Now.code = "ZZZ";
  JckiValues iBothNow = iBoth;
  iBothNow.code = "ZZZ";
  iBothNow.dept = "PL";
  EXPECT_EQ(ReportLines("ScanGL.ERR"),
            (Lines{BadDpt(b), Finding("Missing BNK (", "BK9", c1),
                   Finding("Missing DPT (", "XX", c1), Finding("Missing CLT (", "  9999", c1),
                   Finding("Missing DPT (", "PX", c2), Finding("Missing CMP (", "   ZZ9", c2),
                   "Unknown JCKI Type (D) on [01D00002001000]",
                   Finding("Missing Cmp (", "ZZZ", iCmpNow), Finding("Missing Cls (", "CL9", iCls),
                   Finding("Missing Prd (", "PR9", iPrd), Finding("Missing Prd (", "PR8", iSpr),
                   Finding("Missing Cmp (", "ZZZ", i999Now), Finding("Missing Cmp (", "ZZZ", iBothNow),
                   BadDpt(k),
                   "Unknown JCKI Type (Z) on [01Z00060001000]"}));
}

TEST_F(TestSGLTest, UnopenedMasterFileReportsCodesButRepairsNothingItWouldLookUp) {
  const JckiValues iCmp{.number = "000100", .item = "01100", .code = "XYZ", .dept = "P3"};
  const JckiValues iZero{.number = "000100", .item = "01200", .code = "CLS", .amount = kZero};
  const JckiValues j{.type = "J", .number = "000200", .dept = "CM"};
  const JckiValues x{.type = "X", .number = "000500"};
  Put("JCKI", {JckiRecord(iCmp), JckiRecord(iZero), JckiRecord(j), JckiRecord(x)});
  ASSERT_TRUE(Run(&TestSGL).completed);
  EXPECT_EQ(fe.Notes(), Lines{"Unable to open ap file " + DataPath() + "\\ap, status is 12"});
  EXPECT_EQ(ReportLines("ScanGL.ERR"),
            (Lines{BadDpt(iCmp), Finding("Missing Cmp (", "XYZ", iCmp), BadDpt(j)}));
  EXPECT_EQ(Records("JCKI"), (Lines{JckiRecord(iCmp), JckiRecord(iZero), JckiRecord(j)}));
}

TEST_F(TestSGLTest, FailedDepartmentLookupIsNotARepairGround) {
  PutCodes();
  Put("JCKI", JckiRecord({.type = "J", .number = "000200", .dept = "CM"}));
  AddFault({"ap", FaultOp::kRead, 1, 2});
  ASSERT_TRUE(Run(&TestSGL).completed);
  EXPECT_EQ(Field("01J00020001000", jcki::Dept), "CM");
}

TEST_F(TestSGLTest, UnopenedInvoiceFileIsReportedForBothHandles) {
  PutCodes();
  ASSERT_TRUE(Run(&TestSGL).completed);
  const std::string path = DataPath() + "\\JCKI";
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open JCKI file " + path + ", status is 12",
                               "Unable to open JCKI file " + path + ", status is 12"}));
  EXPECT_EQ(ReportLines("ScanGL.ERR"), Lines{});
  EXPECT_EQ(fe.Statuses(), Lines{"done"});
}

}  // namespace
}  // namespace talvor::testing
