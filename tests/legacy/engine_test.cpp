// The call contract of the record-file engine, rule by rule.
#include "legacy/engine.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "legacy/record_file.h"
#include "legacy/stats.h"
#include "legacy_test_support.h"

namespace talvor {
namespace {

using testing::ApRecord;
using testing::ClientKey;
using testing::PolRecord;
using testing::ReadAll;

// A caller's buffer as routines declare it: 150 bytes for a 128-byte record, with a marker
// in every byte so that stray writes show.
struct Buffer {
  char data[150];
  int length = 150;
  Buffer() { std::memset(data, '~', sizeof data); }
  std::string Record(int n = 128) const { return std::string(data, static_cast<std::size_t>(n)); }
  std::string Key(int n = 16) const { return Record(n); }
  void Set(const std::string& record) { std::memcpy(data, record.data(), record.size()); }
};

class EngineTest : public testing::TempDirTest {
 protected:
  // Opens `path` on `h`, failing the test unless the open succeeds.
  void Open(int h, const std::string& path) {
    ASSERT_EQ(btrOpen(h, "", path.c_str(), 1, 1, 0), kBtrOk) << path;
  }

  // An "ap" file of clients of agencies " 1" and " 2", producers and companies.
  void MakeMasterFile() {
    MakeFile("ap", "ap",
             {ApRecord(ClientKey(" 1", "42", "00"), "001JOHN"),
              ApRecord(ClientKey(" 1", "42", "01"), "001"),
              ApRecord(ClientKey(" 1", "150000", "00"), "001ACME"),
              ApRecord(ClientKey(" 2", "7", "00"), "001SMITH"),
              ApRecord("002000 1   ABC00", "002PRODUCER"),
              ApRecord("003000 1   XYZ00", "003COMPANY"), ApRecord("005000 1    PL00", "005DEPT")});
  }
};

// ---------------------------------------------------------------------------------------
// Opening files and handles

TEST_F(EngineTest, OpenOfARecordFileSucceedsAndGivesNoPositionYet) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  EXPECT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrNoCurrentRecord);
  EXPECT_EQ(btrUpdate(h, b.data, &b.length), kBtrNoCurrentRecord);
}

TEST_F(EngineTest, AnUpdateThatChangesNothingWritesNothing) {
  MakeFile("ap", "ap", {ApRecord("001000 1  1000000", "SAME"), ApRecord("001000 1  1001000")});
  BtrHandle walker, writer;
  ASSERT_EQ(btrOpen(walker, "", "ap", 1, 1, 0), kBtrOk);
  ASSERT_EQ(btrOpen(writer, "", "ap", 1, 1, 0), kBtrOk);
  char data[150];
  char scratch[150];
  int length = 150;
  ASSERT_EQ(btrGetFirst(walker, data, &length, 0, 0), kBtrOk);
  ASSERT_EQ(btrGetEqual(writer, scratch, &length, data, 0, 0), kBtrOk);
  const auto before = GetEngineStats().recordsWritten;
  EXPECT_EQ(btrUpdate(writer, scratch, &length), kBtrOk);
  EXPECT_EQ(GetEngineStats().recordsWritten, before);
  scratch[16] = 'X';
  EXPECT_EQ(btrUpdate(writer, scratch, &length), kBtrOk);
  EXPECT_EQ(GetEngineStats().recordsWritten, before + 1);
  ASSERT_EQ(btrGetNext(walker, data, &length, 0), kBtrOk);
  EXPECT_EQ(std::string(data, 16), "001000 1  100100");
  ASSERT_EQ(btrGetEqual(writer, scratch, &length, "001000 1  100000", 0, 0), kBtrOk);
  EXPECT_EQ(scratch[16], 'X');
}

TEST_F(EngineTest, OpenOfAPathThatNamesNothingGivesFileNotFound) {
  MakeMasterFile();
  for (const char* path : {"nofile", "data/ap", "nodir\\ap", "", "ap/more"}) {
    BtrHandle h;
    EXPECT_EQ(btrOpen(h, "", path, 1, 1, 0), kBtrFileNotFound) << "[" << path << "]";
  }
  BtrHandle h;
  EXPECT_EQ(btrOpen(h, "", nullptr, 1, 1, 0), kBtrFileNotFound);
}

TEST_F(EngineTest, OpenOfSomethingElseGivesNotARecordFileAndLeavesItUntouched) {
  struct Case {
    std::string name;
    std::string bytes;
  };
  std::string sqlite_header("SQLite format 3\0", 16);
  const std::vector<Case> cases = {
      {"empty", ""},
      {"text", "001000 1    4200 this is a text file\r\n"},
      {"binary", std::string("\x00\x01\x02\xff\xfe", 5) + std::string(5000, '\x7f')},
      {"damaged", sqlite_header + std::string(4080, '\x55')},
  };
  for (const Case& c : cases) {
    {
      std::ofstream out(c.name, std::ios::binary);
      out << c.bytes;
    }
    BtrHandle h;
    EXPECT_EQ(btrOpen(h, "", c.name.c_str(), 1, 1, 0), kBtrNotRecordFile) << c.name;
    Buffer b;
    EXPECT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrFileNotOpen) << c.name;
    std::ifstream in(c.name, std::ios::binary);
    std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, c.bytes) << c.name;
    EXPECT_FALSE(testing::fs::exists(c.name + "-wal")) << c.name;
  }
  testing::fs::create_directory("adir");
  BtrHandle h;
  EXPECT_EQ(btrOpen(h, "", "adir", 1, 1, 0), kBtrNotRecordFile);
}

TEST_F(EngineTest, OpenOfAnSqliteDatabaseOfAnotherShapeGivesNotARecordFile) {
  auto exec = [](const char* file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file, &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  };
  exec("agency.db", "CREATE TABLE Customer(AgyCode TEXT); INSERT INTO Customer VALUES('01')");
  MakeFile("norecords", "ap");
  exec("norecords", "DROP TABLE records");
  MakeFile("nolength", "ap");
  exec("nolength", "DELETE FROM recfile");
  for (const char* file : {"agency.db", "norecords", "nolength"}) {
    BtrHandle h;
    EXPECT_EQ(btrOpen(h, "", file, 1, 1, 0), kBtrNotRecordFile) << file;
  }
}

TEST_F(EngineTest, EveryCallOnAHandleWhoseOpenFailedGivesFileNotOpen) {
  BtrHandle h;
  ASSERT_EQ(btrOpen(h, "", "missing", 1, 1, 0), kBtrFileNotFound);
  Buffer b;
  const std::vector<std::pair<const char*, std::function<int()>>> calls = {
      {"GetEqual", [&] { return btrGetEqual(h, b.data, &b.length, "001", 0, 0); }},
      {"GetGreater", [&] { return btrGetGreater(h, b.data, &b.length, "001", 0, 0); }},
      {"GetLess", [&] { return btrGetLess(h, b.data, &b.length, "001", 0, 0); }},
      {"GetFirst", [&] { return btrGetFirst(h, b.data, &b.length, 0, 0); }},
      {"GetLast", [&] { return btrGetLast(h, b.data, &b.length, 0, 0); }},
      {"GetNext", [&] { return btrGetNext(h, b.data, &b.length, 0); }},
      {"GetPrevious", [&] { return btrGetPrevious(h, b.data, &b.length, 0); }},
      {"Insert", [&] { return btrInsert(h, b.data, &b.length, 0); }},
      {"Update", [&] { return btrUpdate(h, b.data, &b.length); }},
      {"Delete", [&] { return btrDelete(h); }},
      {"Close", [&] { return btrClose(h); }},
  };
  for (const auto& [name, call] : calls) EXPECT_EQ(call(), kBtrFileNotOpen) << name;
  EXPECT_EQ(b.Record(150), std::string(150, '~'));
}

TEST_F(EngineTest, ADestroyedHandleRejectsEveryCall) {
  MakeMasterFile();
  int h = CBtrvOapi();
  Open(h, "ap");
  EXPECT_EQ(btrDestroy(h), kBtrOk);
  Buffer b;
  EXPECT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrFileNotOpen);
  EXPECT_EQ(btrOpen(h, "", "ap", 1, 1, 0), kBtrFileNotOpen);
  EXPECT_EQ(btrClose(h), kBtrFileNotOpen);
  EXPECT_EQ(btrDestroy(h), kBtrFileNotOpen);
  EXPECT_EQ(btrDestroy(0), kBtrFileNotOpen);
}

TEST_F(EngineTest, HandlesAreDistinctAndNeverReused) {
  int a = CBtrvOapi();
  int b = CBtrvOapi();
  EXPECT_NE(a, b);
  btrDestroy(a);
  int c = CBtrvOapi();
  EXPECT_NE(c, a);
  EXPECT_NE(c, b);
  btrDestroy(b);
  btrDestroy(c);
}

TEST_F(EngineTest, GuardClosesAndReleasesItsHandleAtScopeExit) {
  MakeMasterFile();
  int id = 0;
  {
    BtrHandle h;
    Open(h, "ap");
    id = h;
    Buffer b;
    ASSERT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrOk);
  }
  Buffer b;
  EXPECT_EQ(btrGetFirst(id, b.data, &b.length, 0, 0), kBtrFileNotOpen);
  // The last connection to the file is gone: SQLite has removed its write-ahead log.
  EXPECT_FALSE(testing::fs::exists("ap-wal"));
}

TEST_F(EngineTest, OpeningAnotherFileOnAnOpenHandleSwitchesToIt) {
  MakeMasterFile();
  MakeFile("DESC", "DESC", {std::string("01I00012301") + std::string(53, ' ')});
  BtrHandle h;
  Open(h, "ap");
  Open(h, "desc");
  char data[64];
  int length = 64;
  ASSERT_EQ(btrGetFirst(h, data, &length, 0, 0), kBtrOk);
  EXPECT_EQ(std::string(data, 11), "01I00012301");
}

// ---------------------------------------------------------------------------------------
// Empty files and bad arguments

TEST_F(EngineTest, AnEmptyFileHasNoRecordInAnyDirection) {
  MakeFile("ap", "ap");
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  EXPECT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrEndOfFile);
  EXPECT_EQ(btrGetLast(h, b.data, &b.length, 0, 0), kBtrEndOfFile);
  EXPECT_EQ(btrGetGreater(h, b.data, &b.length, "001000", 0, 0), kBtrEndOfFile);
  EXPECT_EQ(btrGetLess(h, b.data, &b.length, "999", 0, 0), kBtrEndOfFile);
  EXPECT_EQ(btrGetEqual(h, b.data, &b.length, ClientKey(" 1", "42", "00").c_str(), 0, 0),
            kBtrKeyNotFound);
  EXPECT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrNoCurrentRecord);
  EXPECT_EQ(btrGetPrevious(h, b.data, &b.length, 0), kBtrNoCurrentRecord);
  EXPECT_EQ(btrDelete(h), kBtrNoCurrentRecord);
  EXPECT_EQ(b.Record(150), std::string(150, '~'));
}

TEST_F(EngineTest, KeyNumbersOutsideTheFilesKeysAreRejected) {
  MakeMasterFile();
  MakeFile("POL", "POL", {PolRecord("01", "P1", "01", "42")});
  struct Case {
    const char* file;
    int key;
  };
  for (const Case& c : {Case{"ap", 1}, Case{"ap", -1}, Case{"POL", 2}, Case{"ap", 7}}) {
    BtrHandle h;
    Open(h, c.file);
    Buffer b;
    EXPECT_EQ(btrGetFirst(h, b.data, &b.length, c.key, 0), kBtrInvalidKeyNumber) << c.file;
    EXPECT_EQ(btrGetEqual(h, b.data, &b.length, "01", c.key, 0), kBtrInvalidKeyNumber) << c.file;
  }
}

// ---------------------------------------------------------------------------------------
// Key texts

TEST_F(EngineTest, KeyTextsOf16And19CharactersFindTheSameRecord) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  std::string record = ApRecord(ClientKey(" 1", "150000", "00"), "001ACME");
  for (int n : {16, 19, 25}) {
    Buffer b;
    ASSERT_EQ(btrGetEqual(h, b.data, &b.length, record.substr(0, n).c_str(), 0, 0), kBtrOk) << n;
    EXPECT_EQ(b.Record(), record) << n;
  }
}

TEST_F(EngineTest, AShorterKeyTextCountsAsItsBytesFollowedByNul) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  EXPECT_EQ(btrGetEqual(h, b.data, &b.length, "001000 1    42", 0, 0), kBtrKeyNotFound);
  ASSERT_EQ(btrGetGreater(h, b.data, &b.length, "001000 1    42", 0, 0), kBtrOk);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "42", "00"));
}

TEST_F(EngineTest, ANumberIsFoundRightJustifiedButNotRaw) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  EXPECT_EQ(btrGetEqual(h, b.data, &b.length, ClientKey(" 1", "42", "00").c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(btrGetEqual(h, b.data, &b.length, "001000 142    00", 0, 0), kBtrKeyNotFound);
}

TEST_F(EngineTest, APrefixScanMeetsEveryClientLineInKeyOrder) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  std::vector<std::string> keys;
  for (int status = btrGetGreater(h, b.data, &b.length, "001000", 0, 0);
       status == kBtrOk && std::strncmp(b.data, "001000", 6) == 0;
       status = btrGetNext(h, b.data, &b.length, 0)) {
    keys.push_back(b.Key());
  }
  EXPECT_EQ(keys, (std::vector<std::string>{
                      ClientKey(" 1", "42", "00"), ClientKey(" 1", "42", "01"),
                      ClientKey(" 1", "150000", "00"), ClientKey(" 2", "7", "00")}));
}

TEST_F(EngineTest, APrefixThatMatchesNothingFindsTheFirstRecordOfTheNextKind) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  ASSERT_EQ(btrGetGreater(h, b.data, &b.length, "004000", 0, 0), kBtrOk);
  EXPECT_EQ(b.Key(), "005000 1    PL00");
  EXPECT_EQ(btrGetGreater(h, b.data, &b.length, "888000", 0, 0), kBtrEndOfFile);
}

TEST_F(EngineTest, GreaterAndLessAreStrictAndFirstAndLastGiveTheEnds) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  ASSERT_EQ(btrGetGreater(h, b.data, &b.length, ClientKey(" 1", "42", "00").c_str(), 0, 0), 0);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "42", "01"));
  ASSERT_EQ(btrGetLess(h, b.data, &b.length, ClientKey(" 1", "42", "01").c_str(), 0, 0), 0);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "42", "00"));
  ASSERT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrOk);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "42", "00"));
  EXPECT_EQ(btrGetPrevious(h, b.data, &b.length, 0), kBtrEndOfFile);
  ASSERT_EQ(btrGetLast(h, b.data, &b.length, 0, 0), kBtrOk);
  EXPECT_EQ(b.Key(), "005000 1    PL00");
  EXPECT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrEndOfFile);
  ASSERT_EQ(btrGetPrevious(h, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), "003000 1   XYZ00");
}

TEST_F(EngineTest, KeysCompareAsUnsignedBytes) {
  const std::vector<std::string> in_order = {
      std::string("\x01", 1), " ", "0", "A", "a", "\x7f", "\xe9"};
  std::vector<std::string> records;
  for (auto it = in_order.rbegin(); it != in_order.rend(); ++it) records.push_back(ApRecord(*it));
  MakeFile("ap", "ap", records);
  BtrHandle h;
  Open(h, "ap");
  std::vector<std::string> firsts;
  for (const std::string& record : ReadAll(h, 128)) firsts.push_back(record.substr(0, 1));
  EXPECT_EQ(firsts, in_order);
}

// ---------------------------------------------------------------------------------------
// Buffers and lengths

TEST_F(EngineTest, AReadCopiesOneRecordAndSetsTheLengthToTheRecordLength) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  ASSERT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrOk);
  EXPECT_EQ(b.length, 128);
  EXPECT_EQ(std::string(b.data + 128, 22), std::string(22, '~'));
  b.length = 128;
  EXPECT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrOk);
}

TEST_F(EngineTest, ALengthShorterThanTheRecordGivesBufferTooShortAndDoesNothing) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  b.length = 127;
  EXPECT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrDataBufferTooShort);
  EXPECT_EQ(btrGetEqual(h, b.data, &b.length, "001", 0, 0), kBtrDataBufferTooShort);
  EXPECT_EQ(b.length, 127);
  EXPECT_EQ(b.Record(150), std::string(150, '~'));
  b.Set(ApRecord("009000 1   BNK00"));
  EXPECT_EQ(btrInsert(h, b.data, &b.length, 0), kBtrDataBufferTooShort);
  EXPECT_EQ(btrInsert(h, b.data, nullptr, 0), kBtrDataBufferTooShort);
  EXPECT_EQ(btrGetFirst(h, nullptr, &b.length, 0, 0), kBtrDataBufferTooShort);
  EXPECT_EQ(ReadAll(h, 128).size(), 7u);
  b.length = 150;
  ASSERT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrOk);
  b.length = 100;
  EXPECT_EQ(btrUpdate(h, b.data, &b.length), kBtrDataBufferTooShort);
}

TEST_F(EngineTest, InsertAndUpdateStoreOnlyTheFirstRecordLengthBytes) {
  MakeFile("ap", "ap");
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  b.Set(ApRecord(ClientKey(" 1", "42", "00"), "001X"));
  ASSERT_EQ(btrInsert(h, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.length, 150);
  b.data[20] = 'Y';
  ASSERT_EQ(btrUpdate(h, b.data, &b.length), kBtrOk);
  std::vector<std::string> all = ReadAll(h, 128);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0], b.Record());
}

std::vector<std::string> AllRecords(const std::string& path) {
  std::vector<std::string> records;
  std::string error;
  EXPECT_TRUE(ForEachRecord(
      path, 0, [&](std::string_view r) { records.emplace_back(r); }, &error))
      << error;
  return records;
}

// Every known file, whatever its length: a length one byte short of the record is refused
// by inserts and updates alike, and the file keeps what it held.
TEST_F(EngineTest, AWriteShorterThanTheRecordLengthWritesNothing) {
  for (std::string_view name : KnownFileNames()) {
    const std::string file(name);
    const int record_length = KnownFileDefinition(name)->recordLength;
    const std::string stored(static_cast<std::size_t>(record_length), 'A');
    MakeFile(file, name, {stored});
    BtrHandle h;
    Open(h, file);
    std::vector<char> buffer(stored.size() + 32, 'B');
    int length = static_cast<int>(buffer.size());
    if (!KnownFileDefinition(name)->keys.empty()) {
      ASSERT_EQ(btrGetFirst(h, buffer.data(), &length, 0, 0), kBtrOk) << name;
      std::fill(buffer.begin(), buffer.end(), 'B');
    }
    length = record_length - 1;
    EXPECT_EQ(btrInsert(h, buffer.data(), &length, 0), kBtrDataBufferTooShort) << name;
    EXPECT_EQ(btrUpdate(h, buffer.data(), &length), kBtrDataBufferTooShort) << name;
    EXPECT_EQ(AllRecords(file), std::vector<std::string>{stored}) << name;
  }
}

// ---------------------------------------------------------------------------------------
// Record lengths bound by the known files' names

// A record file of `definition` at `path`, made under another name: only a copy or a rename
// puts a file of the wrong record length under a known name.
void PlaceRecordFile(const std::string& path, const RecordFileDefinition& definition) {
  std::string error;
  testing::fs::create_directories(testing::fs::path(path).parent_path());
  ASSERT_TRUE(CreateRecordFile(path + ".made", definition, &error)) << error;
  testing::fs::rename(path + ".made", path);
}

TEST_F(EngineTest, APolicyFileCopiedOverTheMasterFileDoesNotOpenAsIt) {
  MakeFile("data/POL", "POL", {PolRecord("01", "P1", "01", "42")});
  testing::fs::copy_file("data/POL", "data/ap");
  for (const char* path : {"data/ap", "DATA\\AP", "data\\\\Ap", "c:data/aP", "data/ap/"}) {
    BtrHandle h;
    EXPECT_EQ(btrOpen(h, "", path, 1, 1, 0), kBtrNotRecordFile) << path;
    Buffer b;
    b.Set(ApRecord(ClientKey(" 1", "42", "01"), "001"));
    EXPECT_EQ(btrInsert(h, b.data, &b.length, 0), kBtrFileNotOpen) << path;
  }
  EXPECT_EQ(AllRecords("data/ap"), (std::vector<std::string>{PolRecord("01", "P1", "01", "42")}));
  // Under its own name it is the policy file it always was, and stays open as that while a
  // link named "ap" to it is refused.
  BtrHandle pol;
  Open(pol, "data/pol");
  EXPECT_EQ(ReadAll(pol, 120).size(), 1u);
  std::error_code ec;
  testing::fs::create_directory("linked");
  testing::fs::create_symlink(testing::fs::absolute("data/POL"), "linked/ap", ec);
  if (!ec) {
    BtrHandle link;
    EXPECT_EQ(btrOpen(link, "", "linked/ap", 1, 1, 0), kBtrNotRecordFile);
    EXPECT_EQ(ReadAll(pol, 120).size(), 1u);
  }
}

TEST_F(EngineTest, EveryNameThatBindsARecordLengthRefusesAnotherOne) {
  struct Case {
    const char* name;
    int length;
  };
  const Case binding[] = {{"ap", 128},  {"extap", 138},  {"POL", 120},
                          {"JCKI", 99}, {"OLDJCKI", 99}, {"JCKI102705", 99},
                          {"DESC", 64}, {"DIANDX", 176}, {"risk", 187}};
  for (const Case& c : binding) {
    EXPECT_EQ(KnownFileDefinition(c.name)->recordLength, c.length) << c.name;
    for (int stored : {c.length - 1, c.length + 1}) {
      const std::string path = "len" + std::to_string(stored) + "/" + c.name;
      PlaceRecordFile(path, {stored, {{0, 10, false}}});
      BtrHandle h;
      EXPECT_EQ(btrOpen(h, "", path.c_str(), 1, 1, 0), kBtrNotRecordFile) << path;
    }
    MakeFile(std::string("fits/") + c.name, c.name);
    BtrHandle h;
    Open(h, std::string("fits/") + c.name);
  }
  // "forms.ndx" and "DiaData" are known by the buffer their routines pass, not by a record
  // length; a name outside the table binds nothing.
  for (const char* name : {"forms.ndx", "DiaData", "notes"}) {
    const std::string path = std::string("free/") + name;
    PlaceRecordFile(path, {50, {{0, 10, false}}});
    BtrHandle h;
    Open(h, path);
  }
}

// ---------------------------------------------------------------------------------------
// Handles, positions and writes

TEST_F(EngineTest, WritesThroughOneHandleAreSeenAtOnceThroughAnother) {
  MakeMasterFile();
  BtrHandle writer;
  BtrHandle reader;
  Open(writer, "ap");
  Open(reader, "AP");
  Buffer w;
  Buffer r;
  std::string key = ClientKey(" 3", "9", "00");
  w.Set(ApRecord(key, "001NEW"));
  ASSERT_EQ(btrInsert(writer, w.data, &w.length, 0), kBtrOk);
  ASSERT_EQ(btrGetEqual(reader, r.data, &r.length, key.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(r.Record(), ApRecord(key, "001NEW"));
  w.Set(ApRecord(key, "001CHANGED"));
  ASSERT_EQ(btrUpdate(writer, w.data, &w.length), kBtrOk);
  ASSERT_EQ(btrGetEqual(reader, r.data, &r.length, key.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(r.Record(), ApRecord(key, "001CHANGED"));
  ASSERT_EQ(btrDelete(writer), kBtrOk);
  EXPECT_EQ(btrGetEqual(reader, r.data, &r.length, key.c_str(), 0, 0), kBtrKeyNotFound);
}

TEST_F(EngineTest, EachHandleKeepsItsOwnPosition) {
  MakeMasterFile();
  BtrHandle a;
  BtrHandle b;
  Open(a, "ap");
  Open(b, "ap");
  Buffer ba;
  Buffer bb;
  ASSERT_EQ(btrGetFirst(a, ba.data, &ba.length, 0, 0), kBtrOk);
  ASSERT_EQ(btrGetNext(a, ba.data, &ba.length, 0), kBtrOk);
  ASSERT_EQ(btrGetLast(b, bb.data, &bb.length, 0, 0), kBtrOk);
  ASSERT_EQ(btrGetFirst(b, bb.data, &bb.length, 0, 0), kBtrOk);
  ASSERT_EQ(btrGetNext(a, ba.data, &ba.length, 0), kBtrOk);
  EXPECT_EQ(ba.Key(), ClientKey(" 1", "150000", "00"));
  ASSERT_EQ(btrGetNext(b, bb.data, &bb.length, 0), kBtrOk);
  EXPECT_EQ(bb.Key(), ClientKey(" 1", "42", "01"));
}

TEST_F(EngineTest, AReadHandleAndAWriteHandleChangeEveryRecordOnce) {
  std::vector<std::string> records;
  for (int i = 0; i < 300; ++i) {
    records.push_back(ApRecord(ClientKey(" 1", std::to_string(1000 + i), "00"), "001old"));
  }
  MakeFile("ap", "ap", records);
  BtrHandle read;
  BtrHandle write;
  Open(read, "ap");
  Open(write, "ap");
  Buffer r;
  Buffer copy;
  Buffer scratch;
  int visited = 0;
  for (int status = btrGetFirst(read, r.data, &r.length, 0, 0); status == kBtrOk;
       status = btrGetNext(read, r.data, &r.length, 0)) {
    ++visited;
    copy.Set(r.Record());
    std::memcpy(copy.data + 19, "new", 3);
    std::string key = copy.Record(19);
    ASSERT_EQ(btrGetEqual(write, scratch.data, &scratch.length, key.c_str(), 0, 0), kBtrOk);
    ASSERT_EQ(btrUpdate(write, copy.data, &copy.length), kBtrOk);
  }
  EXPECT_EQ(visited, 300);
  for (const std::string& record : ReadAll(read, 128)) EXPECT_EQ(record.substr(16, 6), "001new");
}

TEST_F(EngineTest, AWalkGoesOnWhenItsRecordIsDeletedThroughAnotherHandle) {
  MakeMasterFile();
  BtrHandle walk;
  BtrHandle other;
  Open(walk, "ap");
  Open(other, "ap");
  Buffer w;
  Buffer o;
  ASSERT_EQ(btrGetFirst(walk, w.data, &w.length, 0, 0), kBtrOk);
  ASSERT_EQ(btrGetEqual(other, o.data, &o.length, w.Key().c_str(), 0, 0), kBtrOk);
  ASSERT_EQ(btrDelete(other), kBtrOk);
  ASSERT_EQ(btrGetNext(walk, w.data, &w.length, 0), kBtrOk);
  EXPECT_EQ(w.Key(), ClientKey(" 1", "42", "01"));
}

TEST_F(EngineTest, AWalkNeverReturnsARecordTwiceWhenItIsDeletedAndInsertedAgain) {
  MakeMasterFile();
  BtrHandle walk;
  BtrHandle other;
  Open(walk, "ap");
  Open(other, "ap");
  Buffer w;
  Buffer o;
  std::vector<std::string> seen;
  for (int status = btrGetFirst(walk, w.data, &w.length, 0, 0); status == kBtrOk;
       status = btrGetNext(walk, w.data, &w.length, 0)) {
    seen.push_back(w.Key());
    ASSERT_LE(seen.size(), 7u) << "a record came back twice";
    // The replace pattern, through the other handle, on the record the walk stands on.
    ASSERT_EQ(btrGetEqual(other, o.data, &o.length, w.Key().c_str(), 0, 0), kBtrOk);
    ASSERT_EQ(btrDelete(other), kBtrOk);
    o.data[40] = '!';
    ASSERT_EQ(btrInsert(other, o.data, &o.length, 0), kBtrOk);
  }
  EXPECT_EQ(seen.size(), 7u);
  for (const std::string& record : ReadAll(walk, 128)) EXPECT_EQ(record[40], '!');
}

TEST_F(EngineTest, AWalkSkipsRecordsDeletedAheadAndSeesRecordsInsertedAhead) {
  MakeMasterFile();
  BtrHandle walk;
  BtrHandle other;
  Open(walk, "ap");
  Open(other, "ap");
  Buffer w;
  Buffer o;
  ASSERT_EQ(btrGetFirst(walk, w.data, &w.length, 0, 0), kBtrOk);
  ASSERT_EQ(btrGetEqual(other, o.data, &o.length, ClientKey(" 1", "42", "01").c_str(), 0, 0), 0);
  ASSERT_EQ(btrDelete(other), kBtrOk);
  o.Set(ApRecord(ClientKey(" 1", "99", "00")));
  ASSERT_EQ(btrInsert(other, o.data, &o.length, 0), kBtrOk);
  ASSERT_EQ(btrGetNext(walk, w.data, &w.length, 0), kBtrOk);
  EXPECT_EQ(w.Key(), ClientKey(" 1", "99", "00"));
  ASSERT_EQ(btrGetNext(walk, w.data, &w.length, 0), kBtrOk);
  EXPECT_EQ(w.Key(), ClientKey(" 1", "150000", "00"));
}

TEST_F(EngineTest, InsertLeavesTheHandleOnTheInsertedRecord) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  ASSERT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrOk);
  b.Set(ApRecord(ClientKey(" 1", "500", "00")));
  ASSERT_EQ(btrInsert(h, b.data, &b.length, 0), kBtrOk);
  ASSERT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "150000", "00"));
  ASSERT_EQ(btrGetPrevious(h, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "500", "00"));
}

TEST_F(EngineTest, UpdateLeavesTheHandleOnTheUpdatedRecordEvenWhenItsKeyMoves) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  ASSERT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrOk);
  b.Set(ApRecord(ClientKey(" 2", "8", "00"), "001MOVED"));
  ASSERT_EQ(btrUpdate(h, b.data, &b.length), kBtrOk);
  ASSERT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), "002000 1   ABC00");
  EXPECT_EQ(btrGetEqual(h, b.data, &b.length, ClientKey(" 1", "42", "00").c_str(), 0, 0),
            kBtrKeyNotFound);
}

TEST_F(EngineTest, DeleteLeavesNoCurrentRecordAndTheWalkGoesOnAfterTheDeletedKey) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  ASSERT_EQ(btrGetEqual(h, b.data, &b.length, ClientKey(" 1", "42", "01").c_str(), 0, 0), 0);
  ASSERT_EQ(btrDelete(h), kBtrOk);
  EXPECT_EQ(btrDelete(h), kBtrNoCurrentRecord);
  EXPECT_EQ(btrUpdate(h, b.data, &b.length), kBtrNoCurrentRecord);
  ASSERT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "150000", "00"));
  ASSERT_EQ(btrGetEqual(h, b.data, &b.length, ClientKey(" 1", "150000", "00").c_str(), 0, 0), 0);
  ASSERT_EQ(btrDelete(h), kBtrOk);
  ASSERT_EQ(btrGetPrevious(h, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "42", "00"));
  b.Set(ApRecord(ClientKey(" 1", "42", "01"), "001BACK"));
  EXPECT_EQ(btrInsert(h, b.data, &b.length, 0), kBtrOk);
}

TEST_F(EngineTest, ADuplicateKeyIsRejectedAndNothingChanges) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  b.Set(ApRecord(ClientKey(" 1", "42", "00"), "001DUP"));
  EXPECT_EQ(btrInsert(h, b.data, &b.length, 0), kBtrDuplicateKey);
  ASSERT_EQ(btrGetEqual(h, b.data, &b.length, ClientKey(" 1", "42", "01").c_str(), 0, 0), 0);
  b.Set(ApRecord(ClientKey(" 1", "42", "00"), "001DUP"));
  EXPECT_EQ(btrUpdate(h, b.data, &b.length), kBtrDuplicateKey);
  ASSERT_EQ(btrGetEqual(h, b.data, &b.length, ClientKey(" 1", "42", "00").c_str(), 0, 0), 0);
  EXPECT_EQ(b.Record(), ApRecord(ClientKey(" 1", "42", "00"), "001JOHN"));
  EXPECT_EQ(ReadAll(h, 128).size(), 7u);
}

TEST_F(EngineTest, UpdateOfARecordRemovedThroughAnotherHandleGivesNoCurrentRecord) {
  MakeMasterFile();
  BtrHandle a;
  BtrHandle b;
  Open(a, "ap");
  Open(b, "ap");
  Buffer ba;
  Buffer bb;
  ASSERT_EQ(btrGetFirst(a, ba.data, &ba.length, 0, 0), kBtrOk);
  ASSERT_EQ(btrGetFirst(b, bb.data, &bb.length, 0, 0), kBtrOk);
  ASSERT_EQ(btrDelete(b), kBtrOk);
  EXPECT_EQ(btrUpdate(a, ba.data, &ba.length), kBtrNoCurrentRecord);
  EXPECT_EQ(btrDelete(a), kBtrNoCurrentRecord);
  EXPECT_EQ(ReadAll(a, 128).size(), 6u);
}

TEST_F(EngineTest, AFailedReadLeavesThePositionWhereItWas) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  ASSERT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrOk);
  EXPECT_EQ(btrGetEqual(h, b.data, &b.length, "001000 9", 0, 0), kBtrKeyNotFound);
  EXPECT_EQ(btrGetGreater(h, b.data, &b.length, "9", 0, 0), kBtrEndOfFile);
  ASSERT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "42", "01"));
  ASSERT_EQ(btrGetLast(h, b.data, &b.length, 0, 0), kBtrOk);
  EXPECT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrEndOfFile);
  EXPECT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrEndOfFile);
  ASSERT_EQ(btrGetPrevious(h, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), "003000 1   XYZ00");
}

TEST_F(EngineTest, FiveHandlesMayHaveOneFileOpenAtOnce) {
  MakeMasterFile();
  std::vector<BtrHandle> handles(5);
  for (BtrHandle& h : handles) Open(h, "ap");
  Buffer b;
  for (std::size_t i = 0; i < handles.size(); ++i) {
    ASSERT_EQ(btrGetFirst(handles[i], b.data, &b.length, 0, 0), kBtrOk);
    for (std::size_t step = 0; step < i; ++step) {
      ASSERT_EQ(btrGetNext(handles[i], b.data, &b.length, 0), kBtrOk);
    }
  }
  b.Set(ApRecord(ClientKey(" 1", "1", "00")));
  ASSERT_EQ(btrInsert(handles[4], b.data, &b.length, 0), kBtrOk);
  ASSERT_EQ(btrGetNext(handles[1], b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "150000", "00"));
  ASSERT_EQ(btrGetNext(handles[0], b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "42", "01"));
}

TEST_F(EngineTest, WritesOfAnotherConnectionReachAWalkInProgress) {
  MakeMasterFile();
  BtrHandle walk;
  Open(walk, "ap");
  Buffer b;
  ASSERT_EQ(btrGetFirst(walk, b.data, &b.length, 0, 0), kBtrOk);
  std::string error;
  ASSERT_TRUE(LoadRecords("ap", {ApRecord(ClientKey(" 1", "43", "00"))}, &error)) << error;
  // A walk's read snapshot is renewed after a short while; the new record is then seen.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_EQ(btrGetNext(walk, b.data, &b.length, 0), kBtrOk);
  ASSERT_EQ(btrGetNext(walk, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Key(), ClientKey(" 1", "43", "00"));
}

// ---------------------------------------------------------------------------------------
// Lookups answered from memory: every answer is the one the file gives

TEST_F(EngineTest, ALookupSeesEveryWriteOfThisProcessAtOnce) {
  MakeMasterFile();
  BtrHandle reader;
  BtrHandle writer;
  Open(reader, "ap");
  Open(writer, "ap");
  Buffer r;
  Buffer w;
  const std::string key = ClientKey(" 1", "42", "00");
  const std::string moved = ClientKey(" 1", "44", "00");
  const std::string absent = ClientKey(" 3", "9", "00");
  // Each lookup twice: the second may come from memory and must say the same.
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(btrGetEqual(reader, r.data, &r.length, key.c_str(), 0, 0), kBtrOk);
    ASSERT_EQ(btrGetEqual(reader, r.data, &r.length, absent.c_str(), 0, 0), kBtrKeyNotFound);
    ASSERT_EQ(btrGetEqual(reader, r.data, &r.length, moved.c_str(), 0, 0), kBtrKeyNotFound);
  }
  w.Set(ApRecord(absent, "001ADDED"));
  ASSERT_EQ(btrInsert(writer, w.data, &w.length, 0), kBtrOk);
  ASSERT_EQ(btrGetEqual(reader, r.data, &r.length, absent.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(r.Record(), ApRecord(absent, "001ADDED"));

  ASSERT_EQ(btrGetEqual(writer, w.data, &w.length, key.c_str(), 0, 0), kBtrOk);
  w.Set(ApRecord(key, "001CHANGED"));
  ASSERT_EQ(btrUpdate(writer, w.data, &w.length), kBtrOk);
  ASSERT_EQ(btrGetEqual(reader, r.data, &r.length, key.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(r.Record(), ApRecord(key, "001CHANGED"));

  // An update that moves key 0 leaves nothing under the old value.
  w.Set(ApRecord(moved, "001MOVED"));
  ASSERT_EQ(btrUpdate(writer, w.data, &w.length), kBtrOk);
  EXPECT_EQ(btrGetEqual(reader, r.data, &r.length, key.c_str(), 0, 0), kBtrKeyNotFound);
  ASSERT_EQ(btrGetEqual(reader, r.data, &r.length, moved.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(r.Record(), ApRecord(moved, "001MOVED"));

  ASSERT_EQ(btrDelete(writer), kBtrOk);
  EXPECT_EQ(btrGetEqual(reader, r.data, &r.length, moved.c_str(), 0, 0), kBtrKeyNotFound);
  // A walk fills the memory as it reads; a write behind the walk still reaches a lookup.
  ASSERT_EQ(ReadAll(reader, 128).size(), 7u);
  ASSERT_EQ(btrGetEqual(writer, w.data, &w.length, absent.c_str(), 0, 0), kBtrOk);
  w.Set(ApRecord(absent, "001AGAIN"));
  ASSERT_EQ(btrUpdate(writer, w.data, &w.length), kBtrOk);
  ASSERT_EQ(btrGetEqual(reader, r.data, &r.length, absent.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(r.Record(), ApRecord(absent, "001AGAIN"));
}

TEST_F(EngineTest, ALookupFromMemoryLeavesTheHandleWhereASeekWould) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  const std::string key = ClientKey(" 1", "42", "01");
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(btrGetEqual(h, b.data, &b.length, key.c_str(), 0, 0), kBtrOk);
    ASSERT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrOk);
    EXPECT_EQ(b.Key(), ClientKey(" 1", "150000", "00"));
    ASSERT_EQ(btrGetEqual(h, b.data, &b.length, key.c_str(), 0, 0), kBtrOk);
    ASSERT_EQ(btrGetPrevious(h, b.data, &b.length, 0), kBtrOk);
    EXPECT_EQ(b.Key(), ClientKey(" 1", "42", "00"));
  }
  // A lookup that finds nothing, from memory or not, leaves the position where it was.
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(btrGetEqual(h, b.data, &b.length, key.c_str(), 0, 0), kBtrOk);
    ASSERT_EQ(btrGetEqual(h, b.data, &b.length, "001000 9", 0, 0), kBtrKeyNotFound);
    ASSERT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrOk);
    EXPECT_EQ(b.Key(), ClientKey(" 1", "150000", "00"));
  }
  // The record a lookup stands on is the one btrUpdate replaces.
  ASSERT_EQ(btrGetEqual(h, b.data, &b.length, key.c_str(), 0, 0), kBtrOk);
  b.Set(ApRecord(key, "001UPDATED"));
  ASSERT_EQ(btrUpdate(h, b.data, &b.length), kBtrOk);
  ASSERT_EQ(btrGetFirst(h, b.data, &b.length, 0, 0), kBtrOk);
  ASSERT_EQ(btrGetNext(h, b.data, &b.length, 0), kBtrOk);
  EXPECT_EQ(b.Record(), ApRecord(key, "001UPDATED"));
}

TEST_F(EngineTest, AnUpdateOfBytesAnotherHandleChangedSinceTheyWereReadIsWritten) {
  MakeMasterFile();
  BtrHandle first;
  BtrHandle second;
  Open(first, "ap");
  Open(second, "ap");
  Buffer a;
  Buffer b;
  const std::string key = ClientKey(" 2", "7", "00");
  ASSERT_EQ(btrGetEqual(first, a.data, &a.length, key.c_str(), 0, 0), kBtrOk);
  ASSERT_EQ(btrGetEqual(second, b.data, &b.length, key.c_str(), 0, 0), kBtrOk);
  b.Set(ApRecord(key, "001OTHER"));
  ASSERT_EQ(btrUpdate(second, b.data, &b.length), kBtrOk);
  // `first` writes back the bytes it read: they are no longer the stored ones.
  const auto before = GetEngineStats().recordsWritten;
  ASSERT_EQ(btrUpdate(first, a.data, &a.length), kBtrOk);
  EXPECT_EQ(GetEngineStats().recordsWritten, before + 1);
  ASSERT_EQ(btrGetEqual(second, b.data, &b.length, key.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(b.Record(), ApRecord(key, "001SMITH"));
  // Its own write is what it compares with next: the same bytes again write nothing.
  ASSERT_EQ(btrUpdate(first, a.data, &a.length), kBtrOk);
  EXPECT_EQ(GetEngineStats().recordsWritten, before + 1);
}

// Changes the bytes of the "ap" record under `key16` through a connection of its own.
void ChangeThroughAnotherConnection(const std::string& key16, const std::string& record) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open("ap", &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "UPDATE records SET data = ?1 WHERE k0 = ?2", -1, &stmt, nullptr),
            SQLITE_OK);
  sqlite3_bind_blob(stmt, 1, record.data(), static_cast<int>(record.size()), SQLITE_STATIC);
  sqlite3_bind_blob(stmt, 2, key16.data(), 16, SQLITE_STATIC);
  EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
  EXPECT_EQ(sqlite3_changes(db), 1);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}

TEST_F(EngineTest, WritesOfAnotherConnectionReachLookupsAndUpdatesWithinTheSnapshotAge) {
  MakeMasterFile();
  BtrHandle h;
  Open(h, "ap");
  Buffer b;
  const std::string key = ClientKey(" 1", "42", "00");
  const std::string added = ClientKey(" 1", "43", "00");
  ASSERT_EQ(btrGetEqual(h, b.data, &b.length, key.c_str(), 0, 0), kBtrOk);
  ASSERT_EQ(btrGetEqual(h, b.data, &b.length, added.c_str(), 0, 0), kBtrKeyNotFound);
  ChangeThroughAnotherConnection(key, ApRecord(key, "001ELSEWHERE"));
  std::string error;
  ASSERT_TRUE(LoadRecords("ap", {ApRecord(added, "001LOADED")}, &error)) << error;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_EQ(btrGetEqual(h, b.data, &b.length, added.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(b.Record(), ApRecord(added, "001LOADED"));
  ASSERT_EQ(btrGetEqual(h, b.data, &b.length, key.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(b.Record(), ApRecord(key, "001ELSEWHERE"));

  // Bytes read before another connection changed the record are not taken for the stored
  // ones once the change is seen: writing them back writes.
  ChangeThroughAnotherConnection(key, ApRecord(key, "001AGAIN"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  b.Set(ApRecord(key, "001ELSEWHERE"));
  const auto before = GetEngineStats().recordsWritten;
  ASSERT_EQ(btrUpdate(h, b.data, &b.length), kBtrOk);
  EXPECT_EQ(GetEngineStats().recordsWritten, before + 1);
  ASSERT_EQ(btrGetEqual(h, b.data, &b.length, key.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(b.Record(), ApRecord(key, "001ELSEWHERE"));
}

TEST_F(EngineTest, AFileWithoutKeysTakesInsertsOnly) {
  MakeFile("DiaData", "DiaData");
  BtrHandle h;
  Open(h, "diadata");
  std::vector<char> data(4016, 'x');
  int length = 4016;
  EXPECT_EQ(btrInsert(h, data.data(), &length, 0), kBtrOk);
  EXPECT_EQ(btrInsert(h, data.data(), &length, 0), kBtrOk);
  EXPECT_EQ(btrGetFirst(h, data.data(), &length, 0, 0), kBtrInvalidKeyNumber);
  EXPECT_EQ(btrGetNext(h, data.data(), &length, 0), kBtrNoCurrentRecord);
  EXPECT_EQ(btrUpdate(h, data.data(), &length), kBtrNoCurrentRecord);
  RecordFileInfo info;
  std::string error;
  ASSERT_TRUE(ReadRecordFileInfo("DiaData", &info, &error)) << error;
  EXPECT_EQ(info.records, 2);
}

// ---------------------------------------------------------------------------------------
// Second keys with duplicates ("POL", "JCKI")

class SecondKeyTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // Client 150000 has four policies, inserted out of key-0 order.
    MakeFile("POL", "POL",
             {PolRecord("01", "ZED-9", "01", "150000"), PolRecord("01", "ABC-1", "02", "150000"),
              PolRecord("01", "ABC-1", "01", "150000"), PolRecord("01", "MID-5", "00", "150000"),
              PolRecord("01", "OTHER", "01", "42"), PolRecord("02", "FOREIGN", "01", "150000")});
  }
  // Policy numbers (bytes 2-21, trimmed of blanks) of a key-1 walk from `start`.
  std::vector<std::string> WalkKey1(int h, const std::string& start, const std::string& prefix) {
    std::vector<std::string> seen;
    char data[120];
    int length = 120;
    for (int status = btrGetGreater(h, data, &length, start.c_str(), 1, 0);
         status == kBtrOk && std::string(data + 25, prefix.size()) == prefix;
         status = btrGetNext(h, data, &length, 0)) {
      std::string num(data + 2, 20);
      seen.push_back(num.substr(0, num.find(' ')) + "/" + std::string(data + 22, 2));
    }
    return seen;
  }
};

TEST_F(SecondKeyTest, DuplicatesAreWalkedInKey0Order) {
  BtrHandle h;
  Open(h, "pol");
  EXPECT_EQ(WalkKey1(h, "01150000", "01150000"),
            (std::vector<std::string>{"ABC-1/01", "ABC-1/02", "MID-5/00", "ZED-9/01"}));
}

TEST_F(SecondKeyTest, GetEqualFindsTheFirstDuplicateAndPreviousWalksBack) {
  BtrHandle h;
  Open(h, "POL");
  char data[120];
  int length = 120;
  std::string key1 = PolRecord("01", "X", "00", "150000").substr(25, 14);
  ASSERT_EQ(btrGetEqual(h, data, &length, key1.c_str(), 1, 0), kBtrOk);
  EXPECT_EQ(std::string(data + 2, 5), "ABC-1");
  EXPECT_EQ(std::string(data + 22, 2), "01");
  ASSERT_EQ(btrGetLast(h, data, &length, 1, 0), kBtrOk);
  EXPECT_EQ(std::string(data + 2, 7), "FOREIGN");
  ASSERT_EQ(btrGetPrevious(h, data, &length, 0), kBtrOk);
  EXPECT_EQ(std::string(data + 2, 5), "ZED-9");
  ASSERT_EQ(btrGetPrevious(h, data, &length, 0), kBtrOk);
  EXPECT_EQ(std::string(data + 2, 5), "MID-5");
  ASSERT_EQ(btrGetLess(h, data, &length, "01150000", 1, 0), kBtrOk);
  EXPECT_EQ(std::string(data + 2, 5), "OTHER");
}

TEST_F(SecondKeyTest, AKey1WalkGoesOnWhenADuplicateIsDeletedOrReplacedThroughAnotherHandle) {
  BtrHandle walk;
  BtrHandle other;
  Open(walk, "POL");
  Open(other, "POL");
  char w[120];
  char o[120];
  int wl = 120;
  int ol = 120;
  ASSERT_EQ(btrGetGreater(walk, w, &wl, "01150000", 1, 0), kBtrOk);
  ASSERT_EQ(btrGetNext(walk, w, &wl, 0), kBtrOk);  // ABC-1/02
  std::string current(w, 25);
  ASSERT_EQ(btrGetEqual(other, o, &ol, current.c_str(), 0, 0), kBtrOk);
  ASSERT_EQ(btrDelete(other), kBtrOk);
  ASSERT_EQ(btrInsert(other, o, &ol, 0), kBtrOk);
  ASSERT_EQ(btrGetNext(walk, w, &wl, 0), kBtrOk);
  EXPECT_EQ(std::string(w + 2, 5), "MID-5");
  ASSERT_EQ(btrGetEqual(other, o, &ol, std::string(w, 25).c_str(), 0, 0), kBtrOk);
  ASSERT_EQ(btrDelete(other), kBtrOk);
  ASSERT_EQ(btrGetNext(walk, w, &wl, 0), kBtrOk);
  EXPECT_EQ(std::string(w + 2, 5), "ZED-9");
}

TEST_F(SecondKeyTest, AnUpdateThatChangesKey1MovesTheRecordInKey1Order) {
  BtrHandle h;
  Open(h, "POL");
  char data[120];
  int length = 120;
  std::string key0 = PolRecord("01", "OTHER", "01", "42").substr(0, 25);
  ASSERT_EQ(btrGetEqual(h, data, &length, key0.c_str(), 0, 0), kBtrOk);
  std::memcpy(data + 27, "150000", 6);
  ASSERT_EQ(btrUpdate(h, data, &length), kBtrOk);
  EXPECT_EQ(WalkKey1(h, "01150000", "01150000"),
            (std::vector<std::string>{"ABC-1/01", "ABC-1/02", "MID-5/00", "OTHER/01", "ZED-9/01"}));
  EXPECT_EQ(WalkKey1(h, "01    42", "01    42"), std::vector<std::string>{});
}

TEST_F(SecondKeyTest, AnInvoiceFileIsScannedByAgencyAndPostingKind) {
  auto jcki = [](std::string key0, std::string key1) {
    std::string record(99, ' ');
    record.replace(0, key0.size(), key0);
    record.replace(14, key1.size(), key1);
    return record;
  };
  MakeFile("JCKI", "JCKI",
           {jcki("01I00000201000", "01I"), jcki("01I00000101100", "01I"),
            jcki("01J00000501000", "01D"), jcki("01I00000101000", "01I"),
            jcki("02I00000101000", "02I"), jcki("01I00000301300", "011 5108")});
  BtrHandle h;
  Open(h, "jcki");
  char data[99];
  int length = 99;
  std::vector<std::string> seen;
  for (int status = btrGetGreater(h, data, &length, "01I", 1, 0);
       status == kBtrOk && std::string(data + 14, 2) == "01";
       status = btrGetNext(h, data, &length, 0)) {
    seen.emplace_back(data, 14);
  }
  // "01I" as a key text is "01I" followed by NUL bytes: the "01I" + blanks records follow it.
  EXPECT_EQ(seen, (std::vector<std::string>{"01I00000101000", "01I00000101100", "01I00000201000"}));
}

}  // namespace
}  // namespace talvor
