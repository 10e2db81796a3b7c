// Whole folders of sequential exports, in and out.
#include "legacy/site_export.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "legacy/recfile_tool.h"
#include "legacy_test_support.h"

namespace talvor::recfile {
namespace {

using namespace std::string_literals;
using testing::ApRecord;
namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// A sequential export of `records`.
std::string Seq(const std::vector<std::string>& records) {
  std::string bytes;
  for (const std::string& r : records) EXPECT_TRUE(EncodeRecord(r, RecordFormat::kSeq, &bytes));
  return bytes + std::string(FormatTrailer(RecordFormat::kSeq));
}

class SiteExportTest : public testing::TempDirTest {
 protected:
  std::ostringstream out, err;
};

TEST_F(SiteExportTest, ImportThenExportGivesTheSameBytesForEveryKnownFileInAnyCase) {
  fs::create_directories("exports");
  const std::string ap = Seq({ApRecord("001000 1    4200", "zero\0byte"s),
                              ApRecord("001000 1    4201", "cr\rlf\r\n eof\x1a end")});
  WriteBytes("exports/AP", ap);
  WriteBytes("exports/readme.txt", "not a record file");
  ASSERT_EQ(ImportSite("exports", "data", out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "ap: 2 records from AP\nimported 1 files, 2 records from exports into data\n");
  EXPECT_TRUE(fs::exists("data/ap"));
  EXPECT_FALSE(fs::exists("data/readme.txt"));

  out.str("");
  ASSERT_EQ(ExportSite("data", "again", out, err), 0) << err.str();
  EXPECT_EQ(ReadBytes("again/ap"), ap);
  EXPECT_EQ(out.str(), "ap: 2 records to ap\nexported 1 files, 2 records from data to again\n");
}

TEST_F(SiteExportTest, RefusesToOverwriteAndIsAllOrNothing) {
  fs::create_directories("exports");
  WriteBytes("exports/ap", Seq({ApRecord("001000 1    4200", "one")}));
  // The second export holds records of the wrong length: nothing of the import may stay.
  const std::string repeated = ApRecord("001000 1    4300", "x");
  WriteBytes("exports/extap", Seq({repeated.substr(0, 45), repeated.substr(0, 45)}));
  EXPECT_EQ(ImportSite("exports", "data", out, err), 1);
  EXPECT_NE(err.str().find("nothing imported"), std::string::npos) << err.str();
  EXPECT_FALSE(fs::exists("data")) << "the folder made for the import stays";

  fs::remove("exports/extap");
  ASSERT_EQ(ImportSite("exports", "data", out, err), 0) << err.str();
  err.str("");
  EXPECT_EQ(ImportSite("exports", "data", out, err), 1);
  EXPECT_EQ(err.str(), "site import: data already holds ap; nothing imported\n");
  ASSERT_EQ(ExportSite("data", "out", out, err), 0);
  err.str("");
  EXPECT_EQ(ExportSite("data", "out", out, err), 1);
  EXPECT_EQ(err.str(), "site export: out already holds ap; nothing exported\n");

  err.str("");
  fs::create_directories("empty");
  EXPECT_EQ(ImportSite("empty", "data2", out, err), 1);
  EXPECT_EQ(err.str(), "site import: empty holds no export of a known legacy file\n");
  err.str("");
  EXPECT_EQ(ImportSite("missing", "data2", out, err), 1);
  EXPECT_EQ(err.str(), "site import: missing is not a folder\n");
  EXPECT_FALSE(fs::exists("data2"));
}

}  // namespace
}  // namespace talvor::recfile
