#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "legacy/fault_injection.h"
#include "routines/reports/reports_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

namespace jcki = layout::jcki;
using Lines = std::vector<std::string>;

// An invoice item posted to `account` of posting kind "1" for a company.
std::string Item(const std::string& number, const std::string& account, const std::string& company,
                 const std::string& client) {
  std::string r = layout::BlankRecord(jcki::kRecordLength);
  layout::SetField(r, jcki::Key, layout::JckiKey("01", 'I', number, jcki::kCompanyItem));
  layout::SetField(r, jcki::AgyCode2, "01");
  layout::SetField(r, jcki::PostKind, "1");
  layout::SetField(r, jcki::GLAcct, account);
  layout::SetField(r, jcki::Code, company);
  layout::SetField(r, jcki::CltNum, client);
  return r;
}

// `text` blank-padded to 35 characters, as the reports show a name.
std::string Name35(const std::string& text) {
  return text + std::string(35 - text.size(), ' ');
}

class UnusedCodesTest : public testing::SiteTest {
 protected:
  void Company(const std::string& agency, const std::string& number, const std::string& name) {
    Sql("insert into Company (AgyCode, Number, Name) values ('" + agency + "', '" + number +
        "', '" + name + "')");
  }
  void Class(const std::string& agency, const std::string& number, const std::string& name) {
    Sql("insert into ClassTypes (AgyCode, Number, Name) values ('" + agency + "', '" + number +
        "', '" + name + "')");
  }
  void Policy(const std::string& agency, const std::string& number, const std::string& company,
              const std::string& cls) {
    Sql("insert into Policy (AgyCode, PolNum, PolSeq, CmpCode, ClsCode) values ('" + agency +
        "', '" + number + "', 0, '" + company + "', '" + cls + "')");
  }
  // Invoices: "  1" also has a direct-bill entry, " 22" has two (the lower client number
  // first in key order), "333" has an agency-bill entry.
  void PutInvoices() {
    Put("JCKI", {Item("000100", "1130", "  1", "  1000"), Item("000123", "1130", " 22", "  1000"),
                 Item("000124", "1130", " 22", " 00500"), Item("000456", "2110", "333", "  2000")});
  }
  std::string JckiPath() const { return DataPath() + "\\JCKI"; }
};

TEST_F(UnusedCodesTest, SortsCompaniesAndClassesIntoUsedAndUnused) {
  PutInvoices();
  Company("01", "  1", "Alpha Ins");
  Company("01", " 22", "Beta Mutual");
  Company("01", "333", "Gamma");
  Company("01", "  4", "A Very Long Company Name That Runs Past The Column");
  Company("01", "999", "Omega");
  Company("01", "7", "Seven Stored Unjustified");
  Company("02", "  1", "Other Agency");
  Policy("01", "P100", "  1", " 10");
  Policy("01", "P200", "  7", "AU ");
  Policy("02", "P300", "  1", " 10");
  Class("01", " 10", "Homeowners");
  Class("01", " 20", "Unused Class");
  Class("02", "10", "Other Agency Homeowners");
  Class("02", " 30", "Other Agency Unused");

  const RunOutcome outcome = Run(&UnusedCodes);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(
      ReportLines("used_cmp.txt"),
      (Lines{" Found [01:  1:" + Name35("Alpha Ins") + "] on policy     [P100]",
             " Found [01: 22:" + Name35("Beta Mutual") + "] on DB invoice [000123]",
             " Found [01:333:" + Name35("Gamma") + "] on AB invoice [000456]",
             " Found [01:  7:" + Name35("Seven Stored Unjustified") + "] on policy     [P200]"}));
  EXPECT_EQ(ReportLines("unused_cmp.txt"),
            (Lines{" did not find [01:  4:A Very Long Company Name That Runs ]",
                   " did not find [01:999:" + Name35("Omega") + "] on invoice"}));
  EXPECT_EQ(
      ReportLines("used_cls.txt"),
      (Lines{" Found [01: 10:" + Name35("Homeowners") + "] on policy     [P100]",
             " Found [02: 10:" + Name35("Other Agency Homeowners") + "] on policy     [P300]"}));
  EXPECT_EQ(ReportLines("unused_cls.txt"),
            (Lines{" did not find [01: 20:" + Name35("Unused Class") + "]",
                   " did not find [02: 30:" + Name35("Other Agency Unused") + "]"}));
  EXPECT_TRUE(fe.Notes().empty());
  EXPECT_EQ(fe.Statuses(), (Lines{"01/  1", "01/ 22", "01/333", "01/  4", "01/999", "01/  7",
                                  "01/ 10", "01/ 20", "02/ 10", "02/ 30", "Done!"}));
}

TEST_F(UnusedCodesTest, EntryOfAnotherAccountWithTheSameCodeDoesNotCount) {
  // "555" has a ledger entry only: the agency-bill look-up reads it as the next record.
  Put("JCKI", {Item("000456", "2110", "333", "  2000"), Item("000777", "5108", "555", "  3000")});
  Company("01", "555", "Epsilon");
  ASSERT_TRUE(Run(&UnusedCodes).completed);
  EXPECT_TRUE(ReportLines("used_cmp.txt").empty());
  EXPECT_EQ(ReportLines("unused_cmp.txt"),
            (Lines{" did not find [01:555:" + Name35("Epsilon") + "]"}));
}

TEST_F(UnusedCodesTest, MissingInvoiceFileIsReportedOnceAndEveryCompanyWithoutPolicyIsUnused) {
  Company("01", "  1", "Alpha Ins");
  Company("01", " 22", "Beta Mutual");
  Policy("01", "P100", "  1", " 10");
  const RunOutcome outcome = Run(&UnusedCodes);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (Lines{"Unable to open JCKI file " + JckiPath() + ", status is 12"}));
  EXPECT_EQ(ReportLines("used_cmp.txt"),
            (Lines{" Found [01:  1:" + Name35("Alpha Ins") + "] on policy     [P100]"}));
  EXPECT_EQ(ReportLines("unused_cmp.txt"),
            (Lines{" did not find [01: 22:" + Name35("Beta Mutual") + "] on invoice"}));
  EXPECT_TRUE(ReportLines("used_cls.txt").empty());
  EXPECT_TRUE(ReportLines("unused_cls.txt").empty());
  EXPECT_EQ(form->Label3.Caption(), "Done!");
}

TEST_F(UnusedCodesTest, FailedReadOfTheDirectBillEntryListsTheCompanyAsUnused) {
  PutInvoices();
  Company("01", " 22", "Beta Mutual");
  AddFault({"JCKI", FaultOp::kRead, 1, 2});
  ASSERT_TRUE(Run(&UnusedCodes).completed);
  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_TRUE(ReportLines("used_cmp.txt").empty());
  EXPECT_EQ(ReportLines("unused_cmp.txt"),
            (Lines{" did not find [01: 22:" + Name35("Beta Mutual") + "] on invoice"}));
}

TEST_F(UnusedCodesTest, FailedReadOfTheAgencyBillEntryListsTheCompanyAsUnused) {
  PutInvoices();
  Company("01", "333", "Gamma");
  AddFault({"JCKI", FaultOp::kRead, 2, 2});
  ASSERT_TRUE(Run(&UnusedCodes).completed);
  EXPECT_EQ(FaultsTriggered(), 1);
  EXPECT_TRUE(ReportLines("used_cmp.txt").empty());
  EXPECT_EQ(ReportLines("unused_cmp.txt"),
            (Lines{" did not find [01:333:" + Name35("Gamma") + "] on invoice"}));
}

TEST_F(UnusedCodesTest, OneCharacterAgencyFiltersCompaniesWithItsBlank) {
  Company(" 1", "  1", "Agency One");
  Company("01", "  2", "Agency Zero One");
  form->edtAgyCode = "1";
  ASSERT_TRUE(Run(&UnusedCodes).completed);
  EXPECT_EQ(ReportLines("unused_cmp.txt"),
            (Lines{" did not find [ 1:  1:" + Name35("Agency One") + "] on invoice"}));
}

TEST_F(UnusedCodesTest, UnknownDatabaseEndsTheRunWithTheLayersMessage) {
  PutInvoices();
  form->edtODBCName = "NOSUCHDB";
  const RunOutcome outcome = Run(&UnusedCodes);
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("NOSUCHDB"), std::string::npos) << outcome.error;
  EXPECT_EQ(fe.Errors(), (Lines{outcome.error}));
}

}  // namespace
}  // namespace talvor
