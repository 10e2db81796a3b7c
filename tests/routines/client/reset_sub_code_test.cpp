#include <string>
#include <vector>

#include "legacy/btrv_layout.h"
#include "routines/client/client_routines.h"
#include "tests/routines/client/ap_test_records.h"
#include "tests/testing/site_fixture.h"

namespace talvor::testing {
namespace {

namespace ap = layout::ap;

class ResetSubCodeTest : public SiteTest {
 protected:
  // The system record: no agency, no number; text before, in and after the sub-code table.
  static std::string SystemRecord(const std::string& subCodes) {
    std::string record = layout::BlankRecord(ap::kRecordLength);
    layout::SetField(record, ap::Key, "888000        00");
    layout::SetField(record, ap::RecTypeCopy, "888");
    layout::SetField(record, layout::Field{19, 16}, "SYSTEM SETTINGS ");
    layout::SetField(record, ap::system_record::SubCodes, subCodes);
    layout::SetField(record, layout::Field{83, 45}, "TRAILING TEXT THAT STAYS");
    return record;
  }
};

TEST_F(ResetSubCodeTest, SubCodeTableIsBlankedAndNothingElseChanges) {
  const std::string client = ApRecord(ap::kClient, "01", "100", "00").Set(ap::line00::Name, "X");
  Put("ap", {client, SystemRecord("A1B2C3D4E5F6G7H8I9J0K1L2M3N4O5P6Q7R8S9T0U1V2W3X4")});

  const auto outcome = Run(&ResetSubCode);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  const std::string expected = SystemRecord("");
  EXPECT_EQ(expected.substr(35, 48), std::string(48, ' '));
  EXPECT_EQ(Records("ap"), (std::vector<std::string>{client, expected}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
  EXPECT_TRUE(fe.Notes().empty());
}

TEST_F(ResetSubCodeTest, RunningTwiceLeavesTheSameRecord) {
  Put("ap", SystemRecord("SUBCODES"));
  ASSERT_TRUE(Run(&ResetSubCode).completed);
  const auto first = Records("ap");

  ASSERT_TRUE(Run(&ResetSubCode).completed);

  EXPECT_EQ(Records("ap"), first);
  EXPECT_EQ(first, (std::vector<std::string>{SystemRecord("")}));
}

TEST_F(ResetSubCodeTest, AgencyCodePlaysNoPart) {
  Put("ap", SystemRecord("SUBCODES"));
  form->edtAgyCode = "AS";

  ASSERT_TRUE(Run(&ResetSubCode).completed);

  EXPECT_EQ(Records("ap"), (std::vector<std::string>{SystemRecord("")}));
}

TEST_F(ResetSubCodeTest, FileWithoutSystemRecordIsLeftUnchanged) {
  const std::vector<std::string> records = {
      ApRecord(ap::kClient, "01", "100", "00").Set(ap::line00::Name, "X"),
      // A near miss: the same kind with an agency is not the system record.
      ApRecord(ap::kSystem, "01", "", "00").Set(ap::system_record::SubCodes, "KEEP")};
  Put("ap", records);

  const auto outcome = Run(&ResetSubCode);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(Records("ap"), records);
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

TEST_F(ResetSubCodeTest, MissingFileIsReportedAndTheRunEndsNormally) {
  const auto outcome = Run(&ResetSubCode);

  ASSERT_TRUE(outcome.completed) << outcome.error;
  EXPECT_EQ(fe.Notes(), (std::vector<std::string>{"Unable to open ap file " + DataPath() +
                                                  "\\ap, status is 12"}));
  EXPECT_EQ(form->Label3.Caption(), "Done, select another option");
}

}  // namespace
}  // namespace talvor::testing
