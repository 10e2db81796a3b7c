#include <string>
#include <vector>

#include "routines/client/client_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

class ContactExtTest : public SiteTest {
 protected:
  void AddContact(const std::string& agency, const std::string& client, const std::string& number,
                  const std::string& name, const std::string& extensionSql) {
    Sql("insert into Contact (AgyCode, CltNum, Number, Name, PhoneExt) values ('" + agency +
        "', '" + client + "', '" + number + "', '" + name + "', " + extensionSql + ")");
  }
  std::string Extension(const std::string& client, const std::string& number) const {
    return Value("select PhoneExt from Contact where CltNum = '" + client + "' and Number = '" +
                 number + "'");
  }
};

struct ExtensionCase {
  const char* storedSql;
  const char* expected;
};

TEST_F(ContactExtTest, ExtensionsOfEveryAgencyAreTrimmedAndBlankOnesLeftAlone) {
  const std::vector<ExtensionCase> cases = {
      {"'  12 '", "12"}, {"'34'", "34"},     {"'   '", "   "},
      {"''", ""},        {"NULL", "<null>"}, {"' x 9'", "x 9"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    AddContact(i % 2 == 0 ? "01" : "02", "   100", std::to_string(i), "Jane Doe",
               cases[i].storedSql);
  }

  const auto outcome = Run(&ContactExt);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(Extension("   100", std::to_string(i)), cases[i].expected) << cases[i].storedSql;
  }
  EXPECT_EQ(form->Label3.Caption(), "Done!");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ContactExtTest, ProgressShowsTrimmedClientNumberAndName) {
  AddContact("01", "   100", " 7 ", " Jane Doe ", "'5'");

  ASSERT_TRUE(Run(&ContactExt).completed);

  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"100 7 Jane Doe", "Done!"}));
}

TEST_F(ContactExtTest, WorksThroughTheServerSessionAndLeavesItActive) {
  AddContact("01", "   100", "1", "Jane Doe", "' 5'");
  form->edtServerName = "Main Server";

  ASSERT_TRUE(Run(&ContactExt).completed);

  EXPECT_EQ(Extension("   100", "1"), "5");
  EXPECT_TRUE(form->PvSession1.Active());
  EXPECT_EQ(form->PvSession1.SessionName(), "Main Server");
}

TEST_F(ContactExtTest, SecondRunInTheSameProgramTrimsAgain) {
  AddContact("01", "   100", "1", "Jane Doe", "' 5'");
  ASSERT_TRUE(Run(&ContactExt).completed);
  Sql("update Contact set PhoneExt = ' 6 '");
  // The first run left its session active under the old name; the second renames it.
  form->edtServerName = "Other";

  ASSERT_TRUE(Run(&ContactExt).completed);

  EXPECT_EQ(form->PvSession1.SessionName(), "Other");
  EXPECT_EQ(Extension("   100", "1"), "6");
}

TEST_F(ContactExtTest, TableThatCannotBeOpenedIsReportedAndTheRunEnds) {
  form->edtODBCName = "NOSUCHALIAS";

  const auto outcome = Run(&ContactExt);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  ASSERT_EQ(fe.Notes().size(), 1u);
  EXPECT_EQ(fe.Notes()[0].rfind("error opening [tblContact] [Contact] [", 0), 0u) << fe.Notes()[0];
  EXPECT_EQ(fe.Statuses(), (std::vector<std::string>{"Done!"}));
}

}  // namespace
}  // namespace talvor::testing
