#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "routines/client/client_routines.h"
#include "shell/text/text.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;
using layout::GetField;

class LimitedAlphaTest : public SiteTest {
 protected:
  void AddClient(const std::string& agency, const std::string& number, const std::string& type,
                 const std::string& alpha, const std::string& name, const std::string& active,
                 bool withRow = true) {
    Put("ap", {ApRecord(ap::kClient, agency, number, "00")
                   .Set(ap::line00::Alpha, alpha)
                   .Set(ap::line00::Name, "AP NAME")
                   .Set(ap::line00::TypeLetter, type),
               ApRecord(ap::kClient, agency, number, "01").Set(ap::client01::CSR, "  A")});
    if (withRow) {
      Sql("insert into Customer (AgyCode, Number, Name, ActiveStatus) values ('" + agency + "', '" +
          RightJustify(number, 6) + "', '" + name + "', '" + active + "')");
    }
  }
  std::string Alpha(const std::string& agency, const std::string& number) const {
    return GetField(*Find("ap", layout::ApKey(ap::kClient, agency, number, "00")),
                    ap::line00::Alpha);
  }
};

struct AlphaCase {
  const char* name;
  const char* type;
  const char* active;
  const char* expected;
};

TEST_F(LimitedAlphaTest, EachNamingRuleGivesItsCode) {
  const std::vector<AlphaCase> cases = {
      {"JOHN SMITH", "P", "Y", "SMIJOH"},             // personal: last word first
      {"ACME INSURANCE", "C", "Y", "ACMINS"},         // commercial: first word first
      {"ACME", "C", "Y", "ACMACM"},                   // one word repeats itself
      {"ACME", "B", "Y", "ACMACM"},                   // brokers as commercial
      {"JOHN SMITH.", "P", "Y", "JOH   "},            // final mark leaves an empty last part
      {"john smith", "P", "Y", "SMIJOH"},             // upper-cased
      {"  JOHN SMITH  ", "P", "Y", "SMIJOH"},         // trimmed
      {"MR AND MRS JOHN SMITH", "P", "Y", "SMIJOH"},  // salutation with its blank
      {"MR & MRS JOHN SMITH", "P", "Y", "SMIJOH"},
      {"MR. AND MRS. JOHN SMITH", "P", "Y", "SMI JO"},  // removed without the blank after it
      {"MR. & MRS. JOHN SMITH", "P", "Y", "SMI JO"},
      {"MRS. JANE DOE", "P", "Y", "DOE JA"},
      {"JANE MRS.DOE", "P", "Y", "DOEJAN"},  // removed wherever it stands
      {"MR.JOHN SMITH", "P", "Y", "SMIJOH"},
      {"DR.JOHN SMITH", "C", "Y", "JOHSMI"},
      {"JOHN SMITH JR.", "P", "Y", "SMIJOH"},  // suffixes
      {"WIDGETS INC.", "C", "Y", "WIDWID"},
      {"ACME LLC.", "C", "Y", "ACMACM"},
      {"BAKER LLP.", "C", "Y", "BAKBAK"},
      {"ACME LLC", "C", "Y", "ACMLLC"},       // no period: not a suffix
      {"~ZZJOHN SMITH", "P", "Y", "SMIJOH"},  // conversion marker
      {"SMITH, JOHN", "P", "Y", "JOHSMI"},    // marks become blanks
      {"A&B SUPPLY", "C", "Y", "A BSUP"},
      {"X!Y#Z%W", "C", "Y", "X YW  "},
      {"AL", "C", "Y", "ALAL  "},             // short name padded to six
      {"JOHN SMITH", "P", "N", "*SMIJO"},     // inactive mark
      {"ACME INSURANCE", "C", "", "*ACMIN"},  // not "Y" is inactive
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    AddClient("01", std::to_string(100000 + i), cases[i].type, "OLDOLD", cases[i].name,
              cases[i].active);
  }

  const auto outcome = Run(&LimitedAlpha);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(Alpha("01", std::to_string(100000 + i)), cases[i].expected)
        << cases[i].name << " (" << cases[i].type << ")";
  }
  EXPECT_EQ(form->Label3.Caption(), "Done!!");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(LimitedAlphaTest, ChangedCodesAreListedAndEveryClientIsWrittenBack) {
  AddClient("01", "100001", "P", "OLDOLD", "JOHN SMITH", "Y");
  AddClient("01", "100002", "C", "ACMINS", "ACME INSURANCE", "Y");

  ASSERT_TRUE(Run(&LimitedAlpha).completed);

  EXPECT_EQ(ReportLines("alpahchg.txt"),
            (std::vector<std::string>{
                "Changed 100001 type [P] name [JOHN SMITH] from [OLDOLD] to [SMIJOH]",
                "Updated 100001 type [P] name [JOHN SMITH] with [SMIJOH]",
                "Updated 100002 type [C] name [ACME INSURANCE] with [ACMINS]",
            }));
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"100001", "100002", "Done!!"}));
}

TEST_F(LimitedAlphaTest, ClientsOutsideTheRangeOrWithoutRowAreNotTouched) {
  AddClient("01", "99999", "P", "OLDOLD", "JOHN SMITH", "Y");  // stored "99999" with a blank
  AddClient("01", "100001", "P", "OLDOLD", "JOHN SMITH", "Y", /*withRow=*/false);
  AddClient("01", "999999", "P", "OLDOLD", "JANE DOE", "Y");    // the top of the range
  AddClient("02", "100001", "P", "OLDOLD", "JOHN SMITH", "Y");  // another agency
  const std::string producer =
      ApRecord(ap::kProducer, "01", "100001", "00").Set(ap::line00::Alpha, "OLDOLD");
  Put("ap", producer);
  const std::string line01 = *Find("ap", layout::ApKey(ap::kClient, "01", "999999", "01"));

  ASSERT_TRUE(Run(&LimitedAlpha).completed);

  EXPECT_EQ(Alpha("01", "99999"), "OLDOLD");
  EXPECT_EQ(Alpha("01", "100001"), "OLDOLD");
  EXPECT_EQ(Alpha("01", "999999"), "DOEJAN");
  EXPECT_EQ(Alpha("02", "100001"), "OLDOLD");
  EXPECT_EQ(*Find("ap", std::string(ap::kProducer)), producer);
  EXPECT_EQ(*Find("ap", layout::ApKey(ap::kClient, "01", "999999", "01")), line01);
  EXPECT_EQ(ReportLines("alpahchg.txt"),
            (std::vector<std::string>{
                "Changed 999999 type [P] name [JANE DOE] from [OLDOLD] to [DOEJAN]",
                "Updated 999999 type [P] name [JANE DOE] with [DOEJAN]",
            }));
}

TEST_F(LimitedAlphaTest, FailedUpdateAndFailedReadbackAreListedAsErrors) {
  AddClient("01", "100001", "P", "OLDOLD", "JOHN SMITH", "Y");
  AddClient("01", "100002", "C", "OLDOLD", "ACME INSURANCE", "Y");
  AddFault({"ap", FaultOp::kUpdate, 1, 85, 1});
  // Reads on "AP": the walk's first, 100001's readback, two steps of the walk, then
  // 100002's readback.
  AddFault({"ap", FaultOp::kRead, 5, 2, 1});

  ASSERT_TRUE(Run(&LimitedAlpha).completed);

  EXPECT_EQ(FaultsTriggered(), 2);
  EXPECT_EQ(ReportLines("alpahchg.txt"),
            (std::vector<std::string>{
                "Changed 100001 type [P] name [JOHN SMITH] from [OLDOLD] to [SMIJOH]",
                "ERROR STATUS 85 updating 100001",
                "Changed 100002 type [C] name [ACME INSURANCE] from [OLDOLD] to [ACMINS]",
                "ERROR STATUS 2 updating 100002",
            }));
  EXPECT_EQ(Alpha("01", "100001"), "OLDOLD");
  EXPECT_EQ(Alpha("01", "100002"), "OLDOLD");
}

TEST_F(LimitedAlphaTest, MissingFileShowsBothOpenFailuresAndEndsNormally) {
  const auto outcome = Run(&LimitedAlpha);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  const std::string path = DataPath() + "\\AP";
  EXPECT_EQ(fe.Notes(),
            (std::vector<std::string>{"Unable to open Ap file " + path + ", status is 12",
                                      "Unable to open Ap2 file " + path + ", status is 12"}));
  EXPECT_TRUE(ReportLines("alpahchg.txt").empty());
  EXPECT_EQ(form->Label3.Caption(), "Done!!");
}

}  // namespace
}  // namespace talvor::testing
