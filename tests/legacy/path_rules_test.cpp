// How legacy paths name files, and that every spelling of one file reaches the same file
// through the engine.
#include "legacy/path_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "legacy/engine.h"
#include "legacy_test_support.h"
#include "shell/text/text.h"

namespace talvor {
namespace {

using testing::ApRecord;
using testing::ClientKey;
namespace fs = std::filesystem;

class PathRulesTest : public testing::TempDirTest {};

TEST_F(PathRulesTest, SpellingsOfOneFileAllResolveToIt) {
  MakeFile("data/ap", "ap");
  std::string absolute = dir().string();
  std::string upper_absolute = UpperCase(absolute);
  std::string backslashed = absolute;
  for (char& c : backslashed) {
    if (c == '/') c = '\\';
  }
  const std::vector<std::string> spellings = {
      "data/ap",
      "DATA/AP",
      "Data\\Ap",
      "data\\ap",
      "data\\\\ap",  // a data path ending in "\" followed by "\ap"
      "./data//ap",
      "data/./ap",
      absolute + "/data/ap",
      upper_absolute + "\\DATA\\AP",
      "c:" + backslashed + "\\data\\AP",
      "C:data\\ap",
  };
  for (const std::string& spelling : spellings) {
    std::optional<fs::path> found = ResolveLegacyPath(spelling);
    ASSERT_TRUE(found.has_value()) << spelling;
    EXPECT_TRUE(fs::equivalent(*found, "data/ap")) << spelling;
  }
}

TEST_F(PathRulesTest, APathWithAComponentThatNamesNothingResolvesToNothing) {
  MakeFile("data/ap", "ap");
  for (const char* path : {"", "\\", "data/apx", "dat/ap", "data/ap/x", "c:", "data\\..\\ap"}) {
    EXPECT_FALSE(ResolveLegacyPath(path).has_value()) << "[" << path << "]";
  }
}

TEST_F(PathRulesTest, AnExactNameWinsOverOneThatDiffersInCase) {
  MakeFile("AP", "ap", {ApRecord("UPPER")});
  MakeFile("ap", "ap", {ApRecord("lower")});
  struct Case {
    const char* given;
    const char* expected;
  };
  for (const Case& c : {Case{"AP", "UPPER"}, Case{"ap", "lower"}, Case{"Ap", "UPPER"}}) {
    BtrHandle h;
    ASSERT_EQ(btrOpen(h, "", c.given, 1, 1, 0), kBtrOk) << c.given;
    char data[128];
    int length = 128;
    ASSERT_EQ(btrGetFirst(h, data, &length, 0, 0), kBtrOk);
    EXPECT_EQ(std::string(data, 5), c.expected) << c.given;
  }
}

TEST_F(PathRulesTest, HandlesOpenedUnderDifferentSpellingsShareTheFile) {
  MakeFile("data/ap", "ap");
  BtrHandle lower;
  BtrHandle upper;
  ASSERT_EQ(btrOpen(lower, "", "data\\ap", 1, 1, 0), kBtrOk);
  ASSERT_EQ(btrOpen(upper, "", (UpperCase(dir().string()) + "\\DATA\\\\AP").c_str(), 1, 1, 0),
            kBtrOk);
  std::string record = ApRecord(ClientKey(" 1", "42", "00"));
  char data[150];
  int length = 150;
  std::memcpy(data, record.data(), record.size());
  ASSERT_EQ(btrInsert(lower, data, &length, 0), kBtrOk);
  ASSERT_EQ(btrGetEqual(upper, data, &length, record.c_str(), 0, 0), kBtrOk);
}

TEST(LegacyFileNameTest, IsTheLastComponentAfterEitherSeparator) {
  EXPECT_EQ(LegacyFileName("c:\\velmar\\data\\DiaData"), "DiaData");
  EXPECT_EQ(LegacyFileName("data/POL"), "POL");
  EXPECT_EQ(LegacyFileName("ap"), "ap");
  EXPECT_EQ(LegacyFileName("data\\"), "");
}


}  // namespace
}  // namespace talvor
