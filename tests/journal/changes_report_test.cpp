// The changes report over journals written by hand: one line per event of a run, and a
// run's changes shown record by record (bytes that are not printable shown "\xHH", the
// marks under every character of a changed byte) and row by row.
#include "journal/changes_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "journal/journal_file.h"
#include "tests/testing/temp_dir.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;

// A literal's bytes, NUL bytes included.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

struct EventCase {
  journal::Event event;
  std::string line;
};

TEST(EventLine, EachKindOfEventHasItsLine) {
  const testing::TempWorkDir site;
  const fs::path work = site.path();
  const std::string inside = (work / "data" / "letter.doc").string();
  const std::vector<EventCase> cases = {
      {{"ask", {"Fix 12 clients?", "yes"}}, "asked: Fix 12 clients? => yes"},
      {{"ask", {"Go on?", "no"}}, "asked: Go on? => no"},
      {{"notify", {"Done: 3 changed"}}, "message: Done: 3 changed"},
      {{"report", {"ZipExtScan.txt"}}, "report file: ZipExtScan.txt"},
      {{"file", {"copy", "letter.doc", "letter-copy.doc", "new", "done"}},
       "file copied: letter.doc -> letter-copy.doc"},
      {{"file", {"copy", "letter.doc", "agreement.doc", "replaced", "done"}},
       "file copied: letter.doc -> agreement.doc (replaced a file)"},
      {{"file", {"copy", "letter.doc", "letter-copy.doc", "new", "dry-run"}},
       "file copied: letter.doc -> letter-copy.doc (dry run: not done)"},
      {{"file", {"copy", "letter.doc", "agreement.doc", "replaced", "dry-run"}},
       "file copied: letter.doc -> agreement.doc (replaced a file) (dry run: not done)"},
      {{"file", {"copy", "letter.doc", "x/y.doc", "new", "failed: No such file or directory"}},
       "file copied: letter.doc -> x/y.doc (failed: No such file or directory)"},
      // Absolute paths inside the site are shown relative to it, others as they are.
      {{"file", {"copy", inside, "/srv/other/letter.doc", "new", "done"}},
       "file copied: data/letter.doc -> /srv/other/letter.doc"},
      {{"file", {"delete", "old.MKD", "done"}}, "file deleted: old.MKD"},
      {{"file", {"delete", inside, "dry-run"}},
       "file deleted: data/letter.doc (dry run: not done)"},
      {{"file", {"delete", "old.MKD", "failed: it is no longer a plain file"}},
       "file deleted: old.MKD (failed: it is no longer a plain file)"},
      {{"note", {"the table \"X\" may have been dropped"}},
       "note: the table \"X\" may have been dropped"},
      // Control bytes cannot reach a terminal or cut a message short.
      {{"notify",
        {Bytes("key [\0\x01"
               "42]\r")}},
       "message: key [\\x00\\x0142]\\x0D"},
      {{"ask", {"Delete \x1b[2J?", "no"}}, "asked: Delete \\x1B[2J? => no"},
      {{"report", {"bad\x7fname.txt"}}, "report file: bad\\x7Fname.txt"},
  };
  for (const EventCase& c : cases) EXPECT_EQ(journal::EventLine(c.event, work), c.line);
}

class ShowRunTest : public ::testing::Test {
 protected:
  // A run folder holding `changes` (journal lines) after a header with the stores
  // "data/ap" (1, a record file) and "AGYFORMS.db" (2).
  journal::RunRecord Run(const std::string& changes) {
    const fs::path dir = journal::RunsDir(site_.path()) / "20261208-100000-test";
    fs::create_directories(dir);
    std::ofstream(dir / "journal", std::ios::binary)
        << "talvor-journal\t1\nroutine\tTest\nslug\ttest\nmode\trun\n"
        << "started\t2026-12-08 10:00:00\n"
        << "store\t1\trecord\tdata/ap\nstore\t2\tsql\tAGYFORMS.db\n"
        << changes << "outcome\tcompleted\nend\tcomplete\n";
    std::string error;
    auto run = journal::ReadRun(dir, &error);
    EXPECT_TRUE(run) << error;
    EXPECT_TRUE(run && run->complete) << (run ? run->endNote : error);
    return run.value_or(journal::RunRecord{});
  }
  // What ShowRun shows from its first change on.
  std::string Changes(const journal::RunRecord& run) {
    const std::string shown = journal::ShowRun(run, site_.path());
    const std::size_t first = shown.find("\n1. ");
    EXPECT_NE(first, std::string::npos) << shown;
    return first == std::string::npos ? shown : shown.substr(first + 1);
  }

  testing::TempWorkDir site_;
};

TEST_F(ShowRunTest, ARecordUpdateShowsUnprintableBytesEscapedWithMarksUnderEveryCharacter) {
  // Key "K1"; bytes 1 and 2 become a NUL and 0xFF.
  const journal::RunRecord run =
      Run(Bytes("change\t1\trecords\tU\t0\t0\t2\t2\tBK1\tBabcd\t=\tBa\0\xFF"
                "d\n"));
  EXPECT_EQ(Changes(run),
            "1. data/ap record \"K1\" updated\n"
            "    before |ab   c   d|\n"
            "    after  |a\\x00\\xFFd|\n"
            "             ^^^^^^^^\n"
            "    bytes changed: 1-2\n");
}

TEST_F(ShowRunTest, ChangedBytesApartAreMarkedAndCountedApart) {
  // Byte 1 becomes a TAB and byte 4 a backslash (both escaped in the journal line).
  const journal::RunRecord run =
      Run("change\t1\trecords\tU\t0\t0\t2\t2\tBK\\t2\tBabcdef\t=\tBa\\tcd\\\\f\n");
  EXPECT_EQ(Changes(run),
            "1. data/ap record \"K\\x092\" updated\n"
            "    before |ab   cdef|\n"
            "    after  |a\\x09cd\\f|\n"
            "             ^^^^  ^\n"
            "    bytes changed: 1, 4\n");
}

TEST_F(ShowRunTest, RecordsInsertedAndDeletedShowTheirOneImage) {
  const journal::RunRecord run = Run(Bytes("change\t1\trecords\tI\t0\t0\t0\t2\tBK3\tBnew\x01\n") +
                                     "change\t1\trecords\tD\t0\t0\t2\t0\tBK4\tBold\n");
  EXPECT_EQ(Changes(run),
            "1. data/ap record \"K3\" inserted\n"
            "    after  |new\\x01|\n"
            "2. data/ap record \"K4\" deleted\n"
            "    before |old|\n");
}

TEST_F(ShowRunTest, ARowUpdateListsTheColumnsThatChangedByName) {
  const journal::RunRecord run =
      Run("columns\t2\tCustomer\tName\tPhone1\tSize\n"
          "change\t2\tCustomer\tU\t3\t3\t3\t3\tTACME\tT555\tF1.5\t=\tN\tI2\n"
          "change\t2\tCustomer\tU\t4\t9\t3\t3\tTBOLT\tN\tN\t=\t=\t=\n"
          "change\t2\tCustomer\tI\t0\t5\t0\t3\tTNEW \"CO\"\tB\\\\\xff\tN\n"
          "change\t2\tOther\tD\t6\t0\t1\t0\tI7\n");
  EXPECT_EQ(Changes(run),
            "1. AGYFORMS.db Customer row 3 updated\n"
            "  * Phone1: \"555\" -> NULL\n"
            "  * Size: 1.5 -> 2\n"
            "2. AGYFORMS.db Customer row 9 updated\n"
            "  * rowid: 4 -> 9\n"
            "3. AGYFORMS.db Customer row 5 inserted\n"
            "    Name: \"NEW \\\"CO\\\"\"\n"
            "    Phone1: \"\\\\\\xFF\"\n"
            "    Size: NULL\n"
            "4. AGYFORMS.db Other row 6 deleted\n"
            "    column 1: 7\n");
}

TEST_F(ShowRunTest, EventsComeBeforeTheChangesInTheOrderTheyHappened) {
  const journal::RunRecord run =
      Run("ask\tGo on?\tyes\nreport\tOut.txt\nnotify\tdone\n"
          "change\t1\trecords\tD\t0\t0\t2\t0\tBK4\tBold\n"
          "file\tdelete\told.MKD\tdone\n");
  const std::string shown = journal::ShowRun(run, site_.path());
  const std::string events =
      "asked: Go on? => yes\nreport file: Out.txt\nmessage: done\nfile deleted: old.MKD\n"
      "1. data/ap record \"K4\" deleted\n";
  EXPECT_NE(shown.find(events), std::string::npos) << shown;
}

TEST_F(ShowRunTest, TheSummaryCountsMessagesByText) {
  std::string lines;
  for (int client = 1; client <= 1001; ++client) {
    lines += "notify\tUnable to open ap file x/ap, status is 12 (client " + std::to_string(client) +
             ")\n";
  }
  lines += "notify\tDone\n";
  const std::string summary = journal::RunSummary(Run(lines), site_.path());
  EXPECT_NE(summary.find("    messages: 1,002\n"
                         "      Unable to open ap file x/ap, status is 12 (client ... x 1,001\n"
                         "      Done\n"),
            std::string::npos)
      << summary;
  // A run without messages says nothing of them.
  EXPECT_EQ(journal::RunSummary(Run(""), site_.path()).find("messages"), std::string::npos);
}

}  // namespace
}  // namespace talvor

namespace talvor {
namespace {

// The changes of `runs show` chosen by store and key, as text, CSV and JSON.
class ShowChangesTest : public ShowRunTest {
 protected:
  journal::RunRecord Mixed() {
    return Run(Bytes("columns\t2\tCustomer\tName\tPhone1\n"
                     "change\t1\trecords\tU\t0\t0\t2\t2\tBK1\tBab,\"d\t=\tBa\0\xFF"
                     "d\n") +
               "change\t2\tCustomer\tU\t3\t3\t2\t2\tTACME\tT555\t=\tT(555)\n"
               "change\t1\trecords\tI\t0\t0\t0\t2\tBX9\tBnew\n"
               "change\t2\tCustomer\tD\t31\t0\t2\t0\tTBO\\nLT\tN\n"
               "change\t2\tPolicy\tI\t0\t7\t0\t1\tI70\n");
  }
  std::string Show(const journal::RunRecord& run, const journal::ChangeFilter& filter,
                   journal::ChangeFormat format) {
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(journal::ShowChanges(out, run, site_.path(), filter, format, &error)) << error;
    return out.str();
  }
};

TEST_F(ShowChangesTest, AStoreIsChosenByNameFileNameTableOrDatabaseAndTableInAnyCase) {
  const journal::RunRecord run = Mixed();
  struct Case {
    std::string store;
    std::vector<std::string> numbers;  // the changes shown, by their number in the run
  };
  const std::vector<Case> cases = {
      {"data/ap", {"1", "3"}},        {"AP", {"1", "3"}},        {"agyforms.db", {"2", "4", "5"}},
      {"agyforms", {"2", "4", "5"}},  {"customer", {"2", "4"}},  {"AGYFORMS.db/policy", {"5"}},
      {"agyforms/CUSTOMER", {"2", "4"}},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_TRUE(journal::StoreFilterMatches(run, site_.path(), {c.store, ""}, &error)) << c.store;
    const std::string csv = Show(run, {c.store, ""}, journal::ChangeFormat::kCsv);
    std::vector<std::string> numbers;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) numbers.push_back(line.substr(0, line.find(',')));
    EXPECT_EQ(numbers, c.numbers) << c.store << "\n" << csv;
  }
  std::string error;
  EXPECT_FALSE(journal::StoreFilterMatches(run, site_.path(), {"Invoice", ""}, &error));
  EXPECT_EQ(error,
            "run 20261208-100000-test changed no file, database or table \"Invoice\" (it changed "
            "data/ap, AGYFORMS.db/Customer, AGYFORMS.db/Policy)");
  // A record file has no tables to choose by.
  EXPECT_FALSE(journal::StoreFilterMatches(run, site_.path(), {"data/ap/records", ""}, &error));
}

TEST_F(ShowChangesTest, TextShowsOnlyTheChosenChangesNumberedAsInTheRun) {
  const journal::RunRecord run = Mixed();
  EXPECT_EQ(Show(run, {}, journal::ChangeFormat::kText), journal::ShowRun(run, site_.path()));
  const std::string shown = Show(run, {"ap", "X"}, journal::ChangeFormat::kText);
  EXPECT_EQ(shown.substr(shown.find("\n3. ") + 1),
            "3. data/ap record \"X9\" inserted\n"
            "    after  |new|\n"
            "1 of 5 changes shown (--store ap --key X)\n");
  // A row's key is its rowid: "3" is rows 3 and 31, never the record "K1".
  const std::string rows = Show(run, {"", "3"}, journal::ChangeFormat::kText);
  EXPECT_NE(rows.find("\n2. AGYFORMS.db Customer row 3 updated"), std::string::npos);
  EXPECT_NE(rows.find("\n4. AGYFORMS.db Customer row 31 deleted"), std::string::npos);
  EXPECT_EQ(rows.find("\n1. "), std::string::npos);
  EXPECT_NE(rows.find("2 of 5 changes shown (--key 3)\n"), std::string::npos);
}

TEST_F(ShowChangesTest, CsvQuotesAndEscapesEveryField) {
  EXPECT_EQ(Show(Mixed(), {}, journal::ChangeFormat::kCsv),
            "number,store,table,change,key,changed,before,after\r\n"
            "1,data/ap,records,updated,K1,1-4,\"ab,\"\"d\",a\\x00\\xFFd\r\n"
            "2,AGYFORMS.db,Customer,updated,3,Phone1,\"Phone1=\"\"555\"\"\",\"Phone1=\"\"(555)\"\"\"\r\n"
            "3,data/ap,records,inserted,X9,,,new\r\n"
            "4,AGYFORMS.db,Customer,deleted,31,,\"Name=\"\"BO\\x0ALT\"\"; Phone1=NULL\",\r\n"
            "5,AGYFORMS.db,Policy,inserted,7,,,column 1=70\r\n");
}

TEST_F(ShowChangesTest, JsonIsOneObjectPerChangeWithEveryStringEscaped) {
  EXPECT_EQ(Show(Mixed(), {"", "K"}, journal::ChangeFormat::kJson),
            "[\n"
            "  {\"number\": 1, \"store\": \"data/ap\", \"table\": \"records\", \"change\": "
            "\"updated\", \"key\": \"K1\", \"changed\": \"1-4\", \"before\": \"ab,\\\"d\", "
            "\"after\": \"a\\\\x00\\\\xFFd\"}\n"
            "]\n");
  EXPECT_EQ(Show(Mixed(), {"", "nothing"}, journal::ChangeFormat::kJson), "[]\n");
}

}  // namespace
}  // namespace talvor
