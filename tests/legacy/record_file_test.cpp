// Record files as a whole: creating, bulk loading, reading all and describing them.
#include "legacy/record_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "legacy_test_support.h"

namespace talvor {
namespace {

using testing::ApRecord;
using testing::ClientKey;
using testing::PolRecord;
namespace fs = std::filesystem;

class RecordFileTest : public testing::TempDirTest {
 protected:
  std::vector<std::string> All(const std::string& path, int key = 0) {
    std::vector<std::string> records;
    std::string error;
    EXPECT_TRUE(ForEachRecord(
        path, key, [&](std::string_view r) { records.emplace_back(r); }, &error))
        << error;
    return records;
  }
};

TEST_F(RecordFileTest, CreateMakesAnEmptyFileOfTheDefinitionAndNothingElse) {
  std::string error;
  RecordFileDefinition def{50, {{0, 10, false}, {10, 5, true}, {20, 3, false}}};
  ASSERT_TRUE(CreateRecordFile("custom", def, &error)) << error;
  RecordFileInfo info;
  ASSERT_TRUE(ReadRecordFileInfo("CUSTOM", &info, &error)) << error;
  EXPECT_EQ(info.definition, def);
  EXPECT_EQ(info.records, 0);
  EXPECT_TRUE(fs::equivalent(info.path, "custom"));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"custom"});
}

TEST_F(RecordFileTest, CreateNeverReplacesAnExistingFile) {
  {
    std::ofstream out("ap");
    out << "precious";
  }
  std::string error;
  EXPECT_FALSE(CreateRecordFile("ap", *KnownFileDefinition("ap"), &error));
  EXPECT_NE(error.find("already exists"), std::string::npos) << error;
  std::ifstream in("ap");
  std::string text;
  in >> text;
  EXPECT_EQ(text, "precious");
  EXPECT_FALSE(CreateRecordFile("nodir/ap", *KnownFileDefinition("ap"), &error));
  EXPECT_NE(error.find("nodir"), std::string::npos) << error;
}

TEST_F(RecordFileTest, BadDefinitionsAreRejectedWithTheReason) {
  struct Case {
    RecordFileDefinition def;
    std::string problem;
  };
  const std::vector<Case> cases = {
      {{0, {}}, "record length 0"},
      {{70000, {}}, "record length 70000"},
      {{10, {{0, 0, false}}}, "key 0 length 0"},
      {{10, {{5, 6, false}}}, "does not lie inside"},
      {{10, {{-1, 2, false}}}, "does not lie inside"},
      {{300, {{0, 256, false}}}, "key 0 length 256"},
      {{10, {{0, 2, true}}}, "key 0 cannot allow duplicates"},
      {{10, std::vector<KeyDefinition>(9, KeyDefinition{0, 1, false})}, "more than 8 keys"},
  };
  for (const Case& c : cases) {
    std::string problem;
    EXPECT_FALSE(ValidDefinition(c.def, &problem)) << c.problem;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << c.problem;
    std::string error;
    EXPECT_FALSE(CreateRecordFile("bad", c.def, &error)) << c.problem;
    EXPECT_NE(error.find(c.problem), std::string::npos) << error;
    EXPECT_FALSE(fs::exists("bad"));
  }
  std::string error;
  EXPECT_TRUE(ValidDefinition(*KnownFileDefinition("POL"), &error)) << error;
}

TEST_F(RecordFileTest, ANameThatBindsARecordLengthIsNeverGivenAnotherOne) {
  EXPECT_EQ(BindingRecordLength("AP"), 128);
  EXPECT_EQ(BindingRecordLength("jcki102705"), 99);
  for (const char* free : {"forms.ndx", "DiaData", "notes"}) {
    EXPECT_EQ(BindingRecordLength(free), std::nullopt) << free;
  }
  std::string error;
  EXPECT_FALSE(CreateRecordFile("Ap", {120, {{0, 25, false}}}, &error));
  EXPECT_EQ(error, "cannot create Ap: a file named \"ap\" has 128-byte records, not 120-byte ones");
  EXPECT_FALSE(fs::exists("Ap"));
  ASSERT_TRUE(CreateRecordFile("DiaData", {100, {}}, &error)) << error;

  // A file of the wrong length put there by a copy takes no records either.
  MakeFile("POL", "POL");
  fs::copy_file("POL", "ap");
  EXPECT_FALSE(LoadRecords("ap", {PolRecord("01", "P1", "01", "42")}, &error));
  EXPECT_EQ(error, "ap: a file named \"ap\" has 128-byte records, not 120-byte ones");
  EXPECT_TRUE(All("pol").empty());
  EXPECT_TRUE(LoadRecords("POL", {PolRecord("01", "P1", "01", "42")}, &error)) << error;
}

TEST_F(RecordFileTest, LoadIsAllOrNothingAndNamesTheRecordAtFault) {
  MakeFile("ap", "ap", {ApRecord(ClientKey(" 1", "1", "00"))});
  struct Case {
    std::vector<std::string> records;
    std::size_t failed;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{ApRecord("A"), ApRecord("B"), ApRecord("A", "again")}, 2, "key 0 value \"A"},
      {{ApRecord("C"), ApRecord(ClientKey(" 1", "1", "00"))}, 1, "already exists"},
      {{ApRecord("D"), ApRecord("E").substr(0, 127)}, 1, "127 bytes long"},
      {{ApRecord("F") + "x"}, 0, "129 bytes long"},
  };
  for (const Case& c : cases) {
    std::string error;
    std::size_t failed = 999;
    EXPECT_FALSE(LoadRecords("ap", c.records, &error, &failed)) << c.message;
    EXPECT_EQ(failed, c.failed) << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(All("ap").size(), 1u) << c.message;
  }
}

TEST_F(RecordFileTest, ALoadIntoAnEmptyFileOnlyLoadsNothingIntoOneThatHoldsRecords) {
  MakeFile("ap", "ap", {ApRecord("OLD")});
  std::string error;
  EXPECT_FALSE(LoadRecords("ap", {ApRecord("NEW")}, &error, nullptr, LoadMode::kIntoEmpty));
  EXPECT_EQ(error, "ap holds 1 records");
  EXPECT_EQ(All("ap"), std::vector<std::string>{ApRecord("OLD")});
  MakeFile("empty", "ap");
  EXPECT_TRUE(LoadRecords("empty", {ApRecord("NEW")}, &error, nullptr, LoadMode::kIntoEmpty))
      << error;
}

TEST_F(RecordFileTest, ADuplicateOfASecondKeyWithoutDuplicatesIsNamed) {
  std::string error;
  ASSERT_TRUE(CreateRecordFile("two", {8, {{0, 2, false}, {2, 2, false}}}, &error)) << error;
  EXPECT_FALSE(LoadRecords("two", {"AAxx....", "BBxx...."}, &error));
  EXPECT_NE(error.find("key 1 value \"xx\" already exists"), std::string::npos) << error;
}

TEST_F(RecordFileTest, RecordsAreReadInTheOrderOfTheChosenKey) {
  MakeFile("POL", "POL",
           {PolRecord("01", "B", "01", "2"), PolRecord("01", "A", "01", "3"),
            PolRecord("01", "C", "01", "2"), PolRecord("01", "D", "01", "1")});
  auto numbers = [](const std::vector<std::string>& records) {
    std::string out;
    for (const std::string& r : records) out += r[2];
    return out;
  };
  EXPECT_EQ(numbers(All("pol", 0)), "ABCD");
  EXPECT_EQ(numbers(All("pol", 1)), "DBCA");
  std::string error;
  EXPECT_FALSE(ForEachRecord(
      "pol", 2, [](std::string_view) {}, &error));
  EXPECT_NE(error.find("no key 2"), std::string::npos) << error;
  EXPECT_FALSE(ForEachRecord(
      "missing", 0, [](std::string_view) {}, &error));
  EXPECT_NE(error.find("missing: no such file"), std::string::npos) << error;
}

TEST_F(RecordFileTest, AFileWithoutKeysKeepsInsertionOrder) {
  MakeFile("DiaData", "DiaData",
           {std::string(4016, 'c'), std::string(4016, 'a'), std::string(4016, 'b')});
  std::string firsts;
  for (const std::string& record : All("diadata")) firsts += record[0];
  EXPECT_EQ(firsts, "cab");
}

TEST(EscapeBytesTest, KeepsPrintableTextAndEscapesTheRest) {
  EXPECT_EQ(EscapeBytes("AB 1~"), "AB 1~");
  EXPECT_EQ(EscapeBytes(std::string("a\0b", 3)), "a\\x00b");
  EXPECT_EQ(EscapeBytes("\r\n\x1a\x7f\xe9"), "\\x0D\\x0A\\x1A\\x7F\\xE9");
  EXPECT_EQ(EscapeBytes("say \"hi\" \\ bye"), "say \\\"hi\\\" \\\\ bye");
}

}  // namespace
}  // namespace talvor
