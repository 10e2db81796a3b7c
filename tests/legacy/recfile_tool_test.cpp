// The recfile commands, called in-process with captured output.
#include "legacy/recfile_tool.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "legacy_test_support.h"

namespace talvor::recfile {
namespace {

using namespace std::string_literals;
using testing::ApRecord;
namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Writes into a record file behind the engine's back, as another program could.
void RunSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* message = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
      << (message ? message : "");
  sqlite3_free(message);
  sqlite3_close(db);
}

// The names in the working directory.
std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class RecfileToolTest : public testing::TempDirTest {
 protected:
  std::ostringstream out;
  std::ostringstream err;

  std::vector<std::string> All(const std::string& path) {
    std::vector<std::string> records;
    std::string error;
    EXPECT_TRUE(ForEachRecord(
        path, 0, [&](std::string_view r) { records.emplace_back(r); }, &error))
        << error;
    return records;
  }
};

// Records holding every byte that a text format could trip over.
std::vector<std::string> AwkwardRecords() {
  return {
      ApRecord("001000 1    4200", "zero\0byte"s),
      ApRecord("001000 1    4201", "cr\rlf\r\n eof\x1a end"),
      ApRecord("001000 1    4202", std::string(100, '\0')),
      ApRecord("001000 1    4203", "ends in CR").substr(0, 127) + "\r",
      ApRecord(std::string("\xfe\x00\x01", 3) + "binary key", "\xe9t\xe9"),
  };
}

// ---------------------------------------------------------------------------------------
// create and stat

TEST_F(RecfileToolTest, CreateTakesTheDefinitionFromTheNameLikeOrExplicitKeys) {
  fs::create_directory("data");
  EXPECT_EQ(Create("data/POL", {}, out, err), 0) << err.str();
  EXPECT_EQ(Create("data/copy", {"jcki", 0, {}}, out, err), 0) << err.str();
  EXPECT_EQ(Create("data/mine", {"", 40, {"0:4", "4:6:dup"}}, out, err), 0) << err.str();
  struct Case {
    const char* file;
    RecordFileDefinition def;
  };
  for (const Case& c : {Case{"data/pol", *KnownFileDefinition("POL")},
                        Case{"data/copy", *KnownFileDefinition("JCKI")},
                        Case{"data/mine", {40, {{0, 4, false}, {4, 6, true}}}}}) {
    RecordFileInfo info;
    std::string error;
    ASSERT_TRUE(ReadRecordFileInfo(c.file, &info, &error)) << error;
    EXPECT_EQ(info.definition, c.def) << c.file;
  }
}

TEST_F(RecfileToolTest, CreateRefusesWhatItCannotDoAndSaysWhy) {
  struct Case {
    const char* file;
    CreateOptions options;
    const char* message;
  };
  WriteBytes("taken", "x");
  const std::vector<Case> cases = {
      {"unknown", {}, "not a known file name"},
      {"x", {"nosuch", 0, {}}, "\"nosuch\" is not a known file"},
      {"x", {"ap", 10, {}}, "not both"},
      {"x", {"", 0, {"0:4"}}, "--key needs --length"},
      {"x", {"", 10, {"0-4"}}, "bad key \"0-4\""},
      {"x", {"", 10, {"0:4:dupe"}}, "bad key \"0:4:dupe\""},
      {"x", {"", 10, {"8:4"}}, "does not lie inside"},
      {"taken", {"ap", 0, {}}, "already exists"},
  };
  for (const Case& c : cases) {
    err.str("");
    EXPECT_EQ(Create(c.file, c.options, out, err), 1) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
  }
  EXPECT_FALSE(fs::exists("x"));
  EXPECT_EQ(ReadBytes("taken"), "x");
}

TEST_F(RecfileToolTest, StatPrintsTheDefinitionAndTheCount) {
  MakeFile("POL", "POL", {testing::PolRecord("01", "A", "01", "1")});
  ASSERT_EQ(Stat("pol", out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "file: " + fs::canonical("POL").string() +
                           "\n"
                           "record length: 120\n"
                           "key 0: offset 0, length 25, unique\n"
                           "key 1: offset 25, length 14, duplicates\n"
                           "records: 1\n");
}

TEST_F(RecfileToolTest, StatNamesRecordsOfTheWrongLengthAndFails) {
  MakeFile("ap", "ap", {ApRecord("001000 1    4200")});
  RunSql("ap",
         "INSERT INTO records VALUES(CAST('001000 1    4201' AS BLOB), zeroblob(100));"
         "INSERT INTO records VALUES(CAST('001000 1    4202' AS BLOB), zeroblob(129));");
  const std::string path = fs::canonical("ap").string();
  EXPECT_EQ(Stat("ap", out, err), 1);
  EXPECT_EQ(out.str(), "file: " + path +
                           "\n"
                           "record length: 128\n"
                           "key 0: offset 0, length 16, unique\n"
                           "records: 3\n");
  EXPECT_EQ(err.str(),
            "recfile stat: " + path +
                ": 2 of 3 records are not the record length 128 (the engine reads them as "
                "status 2)\n"
                "recfile stat: " +
                path + ": key 0 \"001000 1    4201\" is 100 bytes long\n" +
                "recfile stat: " + path + ": key 0 \"001000 1    4202\" is 129 bytes long\n");
}

TEST_F(RecfileToolTest, StatNamesDamagedPagesAndFails) {
  std::vector<std::string> records;
  for (int i = 0; i < 400; ++i)
    records.push_back(ApRecord("001000 1  " + std::to_string(100000 + i)));
  MakeFile("ap", "ap", records);
  // The last page holds records; it no longer reads back as a page.
  const auto size = fs::file_size("ap");
  ASSERT_GE(size, 8u * 4096u);
  {
    std::fstream file("ap", std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(size - 4096));
    file << std::string(4096, '\x55');
  }
  EXPECT_EQ(Stat("ap", out, err), 1);
  const std::string where = "recfile stat: " + fs::canonical("ap").string() + ": damaged: ";
  EXPECT_NE(err.str().find(where + "reading the records stopped after "), std::string::npos)
      << err.str();
  // SQLite names the page ("Page 21: ..." or "Tree 4 page 21 ...").
  EXPECT_NE(err.str().find(where + "integrity check: "), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("age " + std::to_string(size / 4096) + ":"), std::string::npos)
      << err.str();
}

TEST_F(RecfileToolTest, StatOfAFileWhoseRecordLengthDoesNotFitItsNameFails) {
  MakeFile("POL", "POL", {testing::PolRecord("01", "A", "01", "1")});
  fs::copy_file("POL", "ap");
  EXPECT_EQ(Stat("ap", out, err), 1);
  EXPECT_NE(out.str().find("record length: 120\nkey 0: offset 0, length 25"), std::string::npos)
      << out.str();
  EXPECT_EQ(err.str(), "recfile stat: " + fs::canonical("ap").string() +
                           ": a file named \"ap\" has 128-byte records, not 120-byte ones; the "
                           "engine does not open it under that name (status 30)\n");
}

TEST_F(RecfileToolTest, SaveNeverReplacesARecordFileAndKeepsAnExistingOutput) {
  MakeFile("t1", "ap", {ApRecord("K1")});
  const std::string desc = "01I00012301" + std::string(53, ' ');
  MakeFile("DESC", "DESC", {desc});
  WriteBytes("old.seq", "old");
  for (bool force : {false, true}) {
    for (const char* output : {"DESC", "desc", "t1"}) {
      err.str("");
      EXPECT_EQ(Save("t1", output, RecordFormat::kSeq, out, err, force), 1) << output;
      EXPECT_EQ(err.str(), "recfile save: " + std::string(output) + " is the record file " +
                               fs::canonical(output == std::string("t1") ? "t1" : "DESC").string() +
                               "; an export never replaces a record file, not even with --force; "
                               "nothing written\n");
    }
  }
  err.str("");
  EXPECT_EQ(Save("t1", "old.seq", RecordFormat::kSeq, out, err), 1);
  EXPECT_EQ(err.str(), "recfile save: old.seq already exists (" + fs::absolute("old.seq").string() +
                           "); nothing written; give --force to replace it\n");
  EXPECT_EQ(All("DESC"), std::vector<std::string>{desc});
  EXPECT_EQ(ReadBytes("old.seq"), "old");
  EXPECT_EQ(Names(), (std::vector<std::string>{"DESC", "old.seq", "t1"}));
}

TEST_F(RecfileToolTest, SaveWithForceReplacesAnExistingExportWhole) {
  MakeFile("ap", "ap", {ApRecord("K1"), ApRecord("K2")});
  WriteBytes("export", "old");
  ASSERT_EQ(Save("ap", "export", RecordFormat::kSeq, out, err, /*force=*/true), 0) << err.str();
  EXPECT_EQ(out.str(), "saved 2 records of ap to export\n");
  EXPECT_EQ(ReadBytes("export"),
            "128," + ApRecord("K1") + "\r\n128," + ApRecord("K2") + "\r\n\x1a");
  EXPECT_EQ(Names(), (std::vector<std::string>{"ap", "export"}));
  err.str("");
  EXPECT_EQ(Save("ap", "nodir/export", RecordFormat::kSeq, out, err), 1);
  EXPECT_EQ(err.str(),
            "recfile save: nodir/export: cannot create a file beside it to write into; nothing "
            "written\n");
  fs::create_directory("adir");
  err.str("");
  EXPECT_EQ(Save("ap", "adir", RecordFormat::kSeq, out, err, /*force=*/true), 1);
  EXPECT_EQ(err.str(), "recfile save: adir is a directory (" + fs::absolute("adir").string() +
                           "); nothing written\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"adir", "ap", "export"}));
}

TEST_F(RecfileToolTest, LoadWithReplacePutsTheInputInPlaceOfTheRecordsAllOrNothing) {
  MakeFile("ap", "ap", {ApRecord("K1", "old"), ApRecord("K2", "old")});
  WriteBytes("bad", ApRecord("K3") + "\n" + ApRecord("K3") + "\n");
  EXPECT_EQ(Load("ap", "bad", RecordFormat::kLines, out, err, LoadMode::kReplace), 1);
  EXPECT_NE(err.str().find("bad line 2: key 0 value \"K3"), std::string::npos) << err.str();
  EXPECT_EQ(All("ap"), (std::vector<std::string>{ApRecord("K1", "old"), ApRecord("K2", "old")}));

  WriteBytes("new", ApRecord("K2", "new") + "\n" + ApRecord("K3", "new") + "\n");
  ASSERT_EQ(Load("ap", "new", RecordFormat::kLines, out, err, LoadMode::kReplace), 0) << err.str();
  EXPECT_EQ(out.str(), "loaded 2 records into ap in place of its 2 records\n");
  EXPECT_EQ(All("ap"), (std::vector<std::string>{ApRecord("K2", "new"), ApRecord("K3", "new")}));

  WriteBytes("more", ApRecord("K4") + "\n");
  ASSERT_EQ(Load("ap", "more", RecordFormat::kLines, out, err, LoadMode::kAdd), 0) << err.str();
  EXPECT_EQ(All("ap").size(), 3u);
}

TEST_F(RecfileToolTest, LoadIntoAFileThatHoldsRecordsLoadsNothingAndSaysSo) {
  MakeFile("ap", "ap", {ApRecord("OLD")});
  WriteBytes("input", ApRecord("NEW") + "\n");
  EXPECT_EQ(Load("ap", "input", RecordFormat::kLines, out, err), 1);
  EXPECT_EQ(err.str(), "recfile load: ap (" + fs::canonical("ap").string() +
                           ") holds 1 records; nothing loaded; give --replace to replace them "
                           "by those of input, or --add to add those to them\n");
  EXPECT_EQ(All("ap"), std::vector<std::string>{ApRecord("OLD")});
}

TEST_F(RecfileToolTest, CommandsOnAMissingOrForeignFileFailNamingIt) {
  WriteBytes("notes.txt", "hello");
  for (const char* file : {"missing", "notes.txt"}) {
    err.str("");
    EXPECT_EQ(Stat(file, out, err), 1);
    EXPECT_EQ(Dump(file, 0, out, err), 1);
    EXPECT_EQ(Save(file, "out.seq", RecordFormat::kSeq, out, err), 1);
    EXPECT_EQ(Load(file, "notes.txt", RecordFormat::kLines, out, err), 1);
    EXPECT_NE(err.str().find(file), std::string::npos) << err.str();
  }
  EXPECT_NE(err.str().find("not a record file"), std::string::npos) << err.str();
  EXPECT_FALSE(fs::exists("out.seq"));
}

// ---------------------------------------------------------------------------------------
// Formats

TEST_F(RecfileToolTest, TheSeqFormatIsLengthCommaBytesCrLfAndEndsWith1A) {
  std::string encoded;
  ASSERT_TRUE(EncodeRecord("ab\0c"s, RecordFormat::kSeq, &encoded));
  ASSERT_TRUE(EncodeRecord("\r\n\x1a!", RecordFormat::kSeq, &encoded));
  encoded += FormatTrailer(RecordFormat::kSeq);
  EXPECT_EQ(encoded, "4,ab\0c\r\n4,\r\n\x1a!\r\n\x1a"s);
  std::vector<std::string> records;
  std::string error;
  ASSERT_TRUE(DecodeRecords(encoded, RecordFormat::kSeq, 4, &records, &error)) << error;
  EXPECT_EQ(records, (std::vector<std::string>{"ab\0c"s, "\r\n\x1a!"}));
}

TEST_F(RecfileToolTest, SeqAndLinesRoundTripRecordsHoldingZeroBytes) {
  struct Case {
    RecordFormat format;
    std::vector<std::string> records;
  };
  std::vector<std::string> no_lf;
  for (const std::string& r : AwkwardRecords()) {
    if (r.find('\n') == std::string::npos) no_lf.push_back(r);
  }
  ASSERT_GE(no_lf.size(), 3u);
  for (const Case& c :
       {Case{RecordFormat::kSeq, AwkwardRecords()}, Case{RecordFormat::kLines, no_lf}}) {
    for (const char* name : {"a", "b", "export"}) fs::remove_all(name);
    MakeFile("a", "ap", c.records);
    ASSERT_EQ(Save("a", "export", c.format, out, err), 0) << err.str();
    ASSERT_EQ(Create("b", {"ap", 0, {}}, out, err), 0) << err.str();
    ASSERT_EQ(Load("b", "export", c.format, out, err), 0) << err.str();
    EXPECT_EQ(All("b"), All("a"));
    EXPECT_EQ(All("b").size(), c.records.size());
  }
}

TEST_F(RecfileToolTest, LinesAcceptCrLfAndALastLineWithoutEnd) {
  std::vector<std::string> records;
  std::string error;
  ASSERT_TRUE(DecodeRecords("abc\r\nde\r\r\nfgh", RecordFormat::kLines, 3, &records, &error))
      << error;
  EXPECT_EQ(records, (std::vector<std::string>{"abc", "de\r", "fgh"}));
  records.clear();
  ASSERT_TRUE(DecodeRecords("", RecordFormat::kLines, 3, &records, &error));
  EXPECT_TRUE(records.empty());
}

TEST_F(RecfileToolTest, SavingARecordWithALineFeedAsLinesFailsAndWritesNothing) {
  MakeFile("ap", "ap", AwkwardRecords());
  WriteBytes("export", "old");
  EXPECT_EQ(Save("ap", "export", RecordFormat::kLines, out, err, /*force=*/true), 1);
  EXPECT_NE(err.str().find("record 2 holds a line-feed byte"), std::string::npos) << err.str();
  EXPECT_EQ(ReadBytes("export"), "old");
}

TEST_F(RecfileToolTest, BadInputLoadsNothingAndNamesTheLineOrRecord) {
  struct Case {
    std::string input;
    RecordFormat format;
    std::string message;
  };
  std::string r1 = ApRecord("K1");
  std::string r2 = ApRecord("K2");
  std::string seq1 = "128," + r1 + "\r\n";
  const std::vector<Case> cases = {
      {r1 + "\n" + r2 + "\n" + r2.substr(1) + "\n", RecordFormat::kLines,
       "line 3: the line is 127 bytes long, not the record length 128"},
      {r1 + "\n\n", RecordFormat::kLines, "line 2: the line is 0 bytes long"},
      {r1 + "\n" + r2 + "\r\n" + r1 + "\n", RecordFormat::kLines,
       "line 3: key 0 value \"K1" + std::string(14, ' ') + "\" already exists"},
      {r2 + "\n" + ApRecord("OLD") + "\n", RecordFormat::kLines, "line 2: key 0 value \"OLD"},
      {seq1 + "127," + r2.substr(1) + "\r\n\x1a", RecordFormat::kSeq,
       "record 2 (byte offset 134): length 127, not the record length 128"},
      {seq1 + "x\x1a", RecordFormat::kSeq,
       "record 2 (byte offset 134): expected the record length"},
      {seq1 + "128;" + r2 + "\r\n\x1a", RecordFormat::kSeq,
       "record 2 (byte offset 134): expected \",\" after the record length"},
      {seq1 + "128," + r2.substr(0, 100), RecordFormat::kSeq,
       "record 2 (byte offset 134): ends after 100 of its 128 bytes"},
      {seq1 + "128," + r2 + "\n\x1a", RecordFormat::kSeq,
       "record 2 (byte offset 134): not followed by CR LF"},
      {seq1, RecordFormat::kSeq, "ends without the end-of-file byte 0x1A after 1 records"},
      {seq1 + seq1 + "\x1a", RecordFormat::kSeq, "record 2: key 0 value \"K1"},
  };
  MakeFile("ap", "ap", {ApRecord("OLD")});
  for (const Case& c : cases) {
    WriteBytes("input", c.input);
    err.str("");
    EXPECT_EQ(Load("ap", "input", c.format, out, err, LoadMode::kAdd), 1) << c.message;
    EXPECT_NE(err.str().find("input " + c.message), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("nothing loaded"), std::string::npos) << err.str();
    EXPECT_EQ(All("ap").size(), 1u) << c.message;
  }
  err.str("");
  EXPECT_EQ(Load("ap", "absent", RecordFormat::kSeq, out, err), 1);
  EXPECT_NE(err.str().find("absent: no such file"), std::string::npos) << err.str();
}

TEST_F(RecfileToolTest, BytesAfterTheEndOfFileMarkAreIgnored) {
  MakeFile("ap", "ap");
  WriteBytes("input", "128," + ApRecord("K1") + "\r\n\x1a\x1a\r\n");
  ASSERT_EQ(Load("ap", "input", RecordFormat::kSeq, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "loaded 1 records into ap\n");
}

// ---------------------------------------------------------------------------------------
// dump

TEST_F(RecfileToolTest, DumpShowsEachKeyAndRecordEscaped) {
  std::string error;
  ASSERT_TRUE(CreateRecordFile("small", {8, {{0, 2, false}, {4, 2, true}}}, &error)) << error;
  ASSERT_TRUE(LoadRecords("small", {"B1\0\x01zz\"\\"s, "A2\r\nzy  "}, &error)) << error;
  ASSERT_EQ(Dump("small", 1, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "file: " + fs::canonical("small").string() +
                           "\n"
                           "record length: 8\n"
                           "key 0: offset 0, length 2, unique\n"
                           "key 1: offset 4, length 2, duplicates\n"
                           "records: 2, in key 1 order\n"
                           "\"zy\" \"A2\\x0D\\x0Azy  \"\n"
                           "\"zz\" \"B1\\x00\\x01zz\\\"\\\\\"\n");
  err.str("");
  EXPECT_EQ(Dump("small", 2, out, err), 1);
  EXPECT_NE(err.str().find("small has no key 2"), std::string::npos) << err.str();
}

TEST(RecfileParseTest, FormatsAndKeySpecs) {
  EXPECT_EQ(ParseRecordFormat("seq"), RecordFormat::kSeq);
  EXPECT_EQ(ParseRecordFormat("lines"), RecordFormat::kLines);
  EXPECT_FALSE(ParseRecordFormat("LINES").has_value());
  std::string error;
  EXPECT_EQ(ParseKeySpec("25:14:dup", &error), (KeyDefinition{25, 14, true}));
  EXPECT_EQ(ParseKeySpec("0:16", &error), (KeyDefinition{0, 16, false}));
  for (const char* bad : {"", "5", "a:1", "1:", ":1", "1:2:3", "1:2:dup:x", "-1:2", "1:2:DUP"}) {
    EXPECT_FALSE(ParseKeySpec(bad, &error).has_value()) << bad;
    EXPECT_NE(error.find("expected OFF:LEN"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace talvor::recfile
