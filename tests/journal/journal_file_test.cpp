// The run journal's file as it is read back: escapes and cells, change lines, events, a
// journal cut short or damaged, where a store's file is for a site, and how a run folder is
// named. Journals are written by hand in scratch folders, line by line as the format says.
#include "journal/journal_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/testing/temp_dir.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;
using journal::Cell;

struct EscapeCase {
  std::string bytes;
  std::string escaped;
};

TEST(JournalFormat, EscapesSeparatorsAndReadsThemBack) {
  const std::vector<EscapeCase> cases = {
      {"plain", "plain"},
      {"a\tb", "a\\tb"},
      {"line\r\n", "line\\r\\n"},
      {"back\\slash", "back\\\\slash"},
      {std::string("nul\0byte", 8), std::string("nul\0byte", 8)},
      {"\\t", "\\\\t"},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(journal::Escape(c.bytes), c.escaped);
    EXPECT_EQ(journal::Unescape(c.escaped), c.bytes);
  }
}

TEST(JournalFormat, CellsKeepTheirKind) {
  const std::vector<Cell> cells = {{Cell::Kind::kNull, ""},
                                   {Cell::Kind::kInteger, "-12"},
                                   {Cell::Kind::kFloat, "0.10000000000000001"},
                                   {Cell::Kind::kText, ""},
                                   {Cell::Kind::kBlob, std::string("\0\xff", 2)}};
  for (const Cell& cell : cells) EXPECT_EQ(journal::ParseCell(journal::FormatCell(cell)), cell);
  EXPECT_FALSE(journal::ParseCell(""));
  EXPECT_FALSE(journal::ParseCell("X1"));
  EXPECT_FALSE(journal::ParseCell("Nx"));
}

// An update's after-image names the columns it left alone "=": they read back as the
// before-image's cells. Anywhere else "=" is a malformed line.
TEST(JournalFormat, SameCellsOfAnUpdateReadAsTheirBeforeCells) {
  const testing::TempWorkDir scratch;
  const fs::path dir = scratch.path() / "run";
  fs::create_directories(dir);
  std::ofstream(dir / "journal", std::ios::binary)
      << "talvor-journal\t1\nstore\t1\tsql\t/x/a.db\n"
      << "change\t1\tCustomer\tU\t7\t7\t3\t3\tT01\tTold\tN\t=\tTnew\t=\n"
      << "change\t1\tCustomer\tI\t0\t8\t0\t1\t=\n";
  std::string error;
  auto run = journal::ReadRun(dir, &error);
  ASSERT_TRUE(run) << error;
  ASSERT_EQ(run->changes.size(), 1u);
  const journal::Change& c = run->changes[0];
  EXPECT_EQ(c.after, (journal::Row{Cell{Cell::Kind::kText, "01"}, Cell{Cell::Kind::kText, "new"},
                                   Cell{Cell::Kind::kNull, ""}}));
  EXPECT_EQ(run->endNote, "line 4 of the journal is malformed");

  // Changes are read back from the file: a journal cut since it was read says so.
  std::ofstream(dir / "journal", std::ios::binary)
      << "talvor-journal\t1\nstore\t1\tsql\t/x/a.db\n"
      << "change\t1\tCustomer\tU\t7\t7\t3\t3\tT01\tTold\tN\t=\tTnew\t=\n";
  run = journal::ReadRun(dir, &error, 0);
  ASSERT_TRUE(run) << error;
  EXPECT_TRUE(run->changes.empty());
  int seen = 0;
  EXPECT_TRUE(journal::ForEachChange(
      *run, true,
      [&](const journal::Change& c) {
        EXPECT_EQ(c.after[1].value, "new");
        return ++seen > 0;
      },
      &error))
      << error;
  EXPECT_EQ(seen, 1);
  std::ofstream(dir / "journal", std::ios::binary) << "talvor-journal\t1\n";
  EXPECT_FALSE(journal::ForEachChange(
      *run, false, [](const journal::Change&) { return true; }, &error));
  EXPECT_NE(error.find("cannot be read back"), std::string::npos) << error;
}

TEST(JournalFormat, MalformedOrCutJournalIsReadUpToTheFault) {
  const testing::TempWorkDir scratch;
  const fs::path dir = scratch.path() / "run";
  fs::create_directories(dir);
  std::ofstream(dir / "journal", std::ios::binary)
      << "talvor-journal\t1\nroutine\tX\nstore\t1\trecord\t/x/ap\n"
      << "change\t1\trecords\tD\t0\t0\t2\t0\tBk\tBdata\n"
      << "change\t1\trecords\tQ\t0\t0\t0\t0\n";
  std::string error;
  auto run = journal::ReadRun(dir, &error);
  ASSERT_TRUE(run) << error;
  EXPECT_FALSE(run->complete);
  EXPECT_EQ(run->endNote, "line 5 of the journal is malformed");
  EXPECT_EQ(run->changes.size(), 1u);

  // A killed run leaves the room reserved for its journal as zero bytes after the last line;
  // a line it was writing when killed breaks off in them.
  const std::string head =
      "talvor-journal\t1\nroutine\tX\nstore\t1\trecord\t/x/ap\n"
      "change\t1\trecords\tD\t0\t0\t2\t0\tBk\tBda" +
      std::string(1, '\0') + "ta\n";
  std::ofstream(dir / "journal", std::ios::binary) << head << std::string(4096, '\0');
  run = journal::ReadRun(dir, &error);
  ASSERT_TRUE(run) << error;
  EXPECT_FALSE(run->complete);
  EXPECT_EQ(run->endNote, "the run never finished (killed?)");
  ASSERT_EQ(run->changes.size(), 1u);
  EXPECT_EQ(run->changes[0].before[1].value, std::string("da\0ta", 5));
  std::ofstream(dir / "journal", std::ios::binary)
      << head << "change\t1\trec" << std::string(4096, '\0');
  run = journal::ReadRun(dir, &error);
  ASSERT_TRUE(run) << error;
  EXPECT_EQ(run->endNote, "the journal breaks off at line 5");
  EXPECT_EQ(run->changes.size(), 1u);

  std::ofstream(dir / "journal", std::ios::binary) << "something else\n";
  EXPECT_FALSE(journal::ReadRun(dir, &error));
  EXPECT_EQ(error, (dir / "journal").string() + " is not a run journal of this program");
}

}  // namespace
}  // namespace talvor
