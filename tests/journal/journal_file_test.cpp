// The run journal's file as it is read back: escapes and cells, change lines, events, a
// journal cut short or damaged, where a store's file is for a site, and how run folders are
// listed and found. Journals are written by hand in scratch folders, line by line as the
// format says, except where the run journal's own lines are read back.
#include "journal/journal_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/run_journal.h"
#include "shell/text/dates.h"
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

// Escaping looks at a field eight bytes at a time: each separator is found at every place
// of a word, in a word's last bytes and in a field's short tail, next to others too.
TEST(JournalFormat, EscapesASeparatorAtAnyPlaceOfALongField) {
  const auto byHand = [](std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
      if (c == '\t' || c == '\n' || c == '\r' || c == '\\') {
        out += '\\';
        out += c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\';
      } else {
        out += c;
      }
    }
    return out;
  };
  // Bytes near the separators' values and high bytes around them, which a faulty word test
  // could take for one.
  const std::string kNear = "\x08\x0b\x0c\x0e[]\xdc\x89";
  for (char separator : {'\t', '\n', '\r', '\\'}) {
    for (std::size_t length = 1; length <= 27; ++length) {
      for (std::size_t at = 0; at < length; ++at) {
        std::string field(length, ' ');
        for (std::size_t k = 0; k < length; ++k) field[k] = kNear[k % kNear.size()];
        field[at] = separator;
        ASSERT_EQ(journal::Escape(field), byHand(field)) << "length " << length << " at " << at;
        field[length - 1 - at] = '\t';
        ASSERT_EQ(journal::Escape(field), byHand(field)) << "two, length " << length;
        EXPECT_EQ(journal::Unescape(journal::Escape(field)), field);
      }
    }
  }
}

// A report's copy stays inside its run's folder whatever the routine named the report.
TEST(JournalFormat, ReportCopiesStayInsideTheRunFolder) {
  const fs::path run = fs::path("runs") / "20261208-100000-x";
  const fs::path reports = run / "reports";
  EXPECT_EQ(journal::ReportCopyPath(run, "ZipExtScan.txt"), reports / "ZipExtScan.txt");
  EXPECT_EQ(journal::ReportCopyPath(run, "out/a.txt"), reports / "out" / "a.txt");
  EXPECT_EQ(journal::ReportCopyPath(run, "./b.txt"), reports / "b.txt");
  EXPECT_EQ(journal::ReportCopyPath(run, "../../c.txt"), reports / "c.txt");
  EXPECT_EQ(journal::ReportCopyPath(run, "out/../../d.txt"), reports / "d.txt");
  EXPECT_EQ(journal::ReportCopyPath(run, "/tmp/e.txt"), reports / "e.txt");
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

// Writes `lines` as the journal of a run folder `name` under `parent`; returns the folder.
fs::path WriteJournal(const fs::path& parent, const std::string& name, const std::string& lines) {
  const fs::path dir = parent / name;
  fs::create_directories(dir);
  std::ofstream(dir / "journal", std::ios::binary) << "talvor-journal\t1\n" << lines;
  return dir;
}

TEST(JournalFormat, FileCopyAndDeleteLinesReadBackAsEvents) {
  const testing::TempWorkDir scratch;
  const fs::path dir = WriteJournal(scratch.path(), "run",
                                    "file\tcopy\tletter.doc\tletter-copy.doc\tnew\tdone\n"
                                    "file\tcopy\t/x/a\\tb.doc\tdata/b.doc\treplaced\tdry-run\n"
                                    "file\tdelete\told.MKD\tfailed: No such file or directory\n"
                                    "file\tdelete\tdata\\\\w.MKD\tdone\n"
                                    "notify\tbetween\n"
                                    "end\tcomplete\n");
  std::string error;
  const auto run = journal::ReadRun(dir, &error);
  ASSERT_TRUE(run) << error;
  EXPECT_TRUE(run->complete) << run->endNote;
  using Fields = std::vector<std::string>;
  ASSERT_EQ(run->events.size(), 5u);
  EXPECT_EQ(run->events[0].tag, "file");
  EXPECT_EQ(run->events[0].fields,
            (Fields{"copy", "letter.doc", "letter-copy.doc", "new", "done"}));
  EXPECT_EQ(run->events[1].fields,
            (Fields{"copy", "/x/a\tb.doc", "data/b.doc", "replaced", "dry-run"}));
  EXPECT_EQ(run->events[2].fields,
            (Fields{"delete", "old.MKD", "failed: No such file or directory"}));
  EXPECT_EQ(run->events[3].fields, (Fields{"delete", "data\\w.MKD", "done"}));
  EXPECT_EQ(run->events[4].tag, "notify");

  // A file line with a field too many or too few, or another operation, is malformed.
  for (const char* line : {"file\tcopy\ta\tb\tnew\n", "file\tcopy\ta\tb\tnew\tdone\textra\n",
                           "file\tdelete\ta\n", "file\tmove\ta\tb\tnew\tdone\n", "file\n"}) {
    const fs::path bad = WriteJournal(scratch.path(), "bad", std::string(line) + "end\tcomplete\n");
    const auto read = journal::ReadRun(bad, &error);
    ASSERT_TRUE(read) << error;
    EXPECT_FALSE(read->complete) << line;
    EXPECT_EQ(read->endNote, "line 2 of the journal is malformed") << line;
    EXPECT_TRUE(read->events.empty()) << line;
  }
}

// What the run journal writes for a file copied or deleted is what ReadRun reads back, with
// paths under the working directory made relative to it.
// Ends `run` as completed and reads its journal back, which must be complete.
std::optional<journal::RunRecord> FinishAndReadBack(std::unique_ptr<journal::RunJournal> run) {
  EXPECT_TRUE(run->Finish(true, "")) << run->Problem();
  const fs::path dir = run->Dir();
  run.reset();
  std::string error;
  auto read = journal::ReadRun(dir, &error);
  EXPECT_TRUE(read) << error;
  if (read) {
    EXPECT_TRUE(read->complete) << read->endNote;
  }
  return read;
}

TEST(JournalFormat, FileOperationsNotedByARunReadBackAsNoted) {
  const testing::TempWorkDir site;
  const fs::path work = fs::current_path();
  const fs::path outside = site.path().parent_path() / "elsewhere\tname";
  std::string error;
  auto run = journal::RunJournal::Start(work, "Copy Files", "copy-files", journal::RunMode::kRun,
                                        DateTime{Date{2026, 12, 8}, 10, 0, 0}, {}, &error);
  ASSERT_TRUE(run) << error;
  run->NoteFileCopy(work / "letter.doc", work / "data" / "copy.doc", false, "done");
  run->NoteFileCopy("letter.doc", outside, true, "dry-run");
  run->NoteFileDelete(work / "old.MKD", "failed: Is a directory");
  const auto read = FinishAndReadBack(std::move(run));
  ASSERT_TRUE(read);
  using Fields = std::vector<std::string>;
  ASSERT_EQ(read->events.size(), 3u);
  EXPECT_EQ(read->events[0].fields, (Fields{"copy", "letter.doc", "data/copy.doc", "new", "done"}));
  EXPECT_EQ(read->events[1].fields,
            (Fields{"copy", "letter.doc", outside.string(), "replaced", "dry-run"}));
  EXPECT_EQ(read->events[2].fields, (Fields{"delete", "old.MKD", "failed: Is a directory"}));
}

// Change lines are formatted straight from the views the storage layers hand over: every
// cell must read back as the cell the view shows, and a statement's changes are kept, in
// order, only when it ended well and once it committed.
TEST(JournalFormat, ChangesReadBackAsTheirViewsShowThem) {
  const testing::TempWorkDir site;
  std::string error;
  auto run = journal::RunJournal::Start(fs::current_path(), "Sync Phones", "sync-phones",
                                        journal::RunMode::kRun,
                                        DateTime{Date{2026, 12, 8}, 10, 0, 0}, {}, &error);
  ASSERT_TRUE(run) << error;
  const int store = run->OnStore(StoreKind::kSql, (fs::current_path() / "a.db").string());
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<CellView> cells = {
      CellView{},
      CellView{Cell::Kind::kInteger, std::numeric_limits<std::int64_t>::min(), 0, {}},
      CellView{Cell::Kind::kInteger, std::numeric_limits<std::int64_t>::max(), 0, {}},
      CellView{Cell::Kind::kInteger, -12, 0, {}},
      CellView{Cell::Kind::kFloat, 0, 0.1, {}},
      CellView{Cell::Kind::kFloat, 0, -0.0, {}},
      CellView{Cell::Kind::kFloat, 0, 1e300, {}},
      CellView{Cell::Kind::kFloat, 0, 5e-324, {}},
      CellView{Cell::Kind::kFloat, 0, 123456.789, {}},
      CellView{Cell::Kind::kFloat, 0, -inf, {}},
      CellView{Cell::Kind::kText, 0, 0, "a\tlong name\\with\nseparators"},
      CellView{Cell::Kind::kBlob, 0, 0, std::string_view("\0\r\x01record", 9)},
  };
  std::vector<char> same(cells.size(), 0);
  same[3] = 1;
  const auto change = [&](std::int64_t rowid) {
    ChangeView c;
    c.table = "Customer";
    c.op = ChangeOp::kUpdate;
    c.oldRowid = c.newRowid = rowid;
    c.before = cells;
    c.after = cells;
    c.same = same;
    run->OnChange(store, c);
  };
  change(1);
  run->OnStatementEnd(store, true);
  change(2);
  run->OnStatementEnd(store, true);
  change(3);
  run->OnStatementEnd(store, false);  // undone: not kept
  run->OnCommit(store);
  change(4);  // an autocommit statement: told to commit before it ends
  run->OnCommit(store);
  run->OnStatementEnd(store, true);
  const auto read = FinishAndReadBack(std::move(run));
  ASSERT_TRUE(read);
  ASSERT_EQ(read->changes.size(), 3u);
  journal::Row expected;
  for (const CellView& v : cells) expected.push_back(CellOf(v));
  const std::vector<std::int64_t> rowids = {1, 2, 4};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read->changes[i].oldRowid, rowids[i]);
    EXPECT_EQ(read->changes[i].before, expected);
    EXPECT_EQ(read->changes[i].after, expected);
  }
  EXPECT_EQ(expected[4].value, "0.10000000000000001");
  EXPECT_EQ(expected[5].value, "-0");
  EXPECT_EQ(expected[9].value, "-inf");
}

struct InsideCase {
  std::string name;
  bool inside;
};

TEST(StoreNames, ARelativeNameIsUnderTheWorkingDirectoryAndAnAbsoluteOneStandsAsItIs) {
  const testing::TempWorkDir site;
  const fs::path work = site.path();
  EXPECT_EQ(journal::StoreLocation(work, "data/ap"), work / "data/ap");
  EXPECT_EQ(journal::StoreLocation(work, "AGYFORMS.db"), work / "AGYFORMS.db");
  EXPECT_EQ(journal::StoreLocation(work, "../other/ap"), work / "../other/ap");
  EXPECT_EQ(journal::StoreLocation(work, "/srv/agency/ap"), fs::path("/srv/agency/ap"));
  EXPECT_EQ(journal::StoreLocation(work, (work / "data/ap").string()), work / "data/ap");

  const std::string w = work.string();
  const std::vector<InsideCase> cases = {
      {"data/ap", true},
      {"AGYFORMS.db", true},
      {"./data/ap", true},
      {"data/../ap", true},
      {"..", false},
      {"../site-copy/ap", false},
      {"data/../../ap", false},
      {"./../ap", false},
      {w + "/data/ap", true},
      {w + "/not/yet/there.db", true},
      {w + "/data/../../elsewhere/ap", false},
      {w + "-copy/data/ap", false},  // a folder whose name starts like the site's
      {work.parent_path().string() + "/elsewhere/ap", false},
      {"/", false},
  };
  for (const InsideCase& c : cases) {
    EXPECT_EQ(journal::StoreInside(work, c.name), c.inside) << c.name;
  }
}

TEST(StoreNames, AnAbsoluteNameIsInsideWhenItLiesThereThroughALink) {
  const testing::TempWorkDir scratch;
  fs::create_directories("real/data");
  std::ofstream("real/data/ap") << "records";
  std::error_code ec;
  fs::create_directory_symlink("real", "linked", ec);
  if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
  const fs::path real = scratch.path() / "real";
  const fs::path linked = scratch.path() / "linked";
  EXPECT_TRUE(journal::StoreInside(linked, (real / "data/ap").string()));
  EXPECT_TRUE(journal::StoreInside(real, (linked / "data/ap").string()));
  EXPECT_FALSE(journal::StoreInside(real / "data", (linked / "ap").string()));
}

class RunFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name :
         {"20261208-100000-sync-phones", "20261208-100000.2-sync-phones",
          "20261208-100000.10-trim-names", "20261207-235959-early", "20261207-235959-early-bird"}) {
      fs::create_directories(journal::RunsDir(work_) / name);
    }
    // A file among the run folders is not a run.
    std::ofstream(journal::RunsDir(work_) / "20261209-000000-a-file") << "not a run";
  }

  std::string Found(const std::string& id, std::string* error) const {
    const auto dir = journal::FindRunDir(work_, id, error);
    return dir ? dir->filename().string() : "<none>";
  }

  const testing::TempWorkDir scratch_;
  const fs::path work_ = scratch_.path();
};

TEST_F(RunFolders, AreListedInTheOrderTheRunsBegan) {
  std::vector<std::string> names;
  for (const fs::path& dir : journal::ListRunDirs(work_)) names.push_back(dir.filename().string());
  // The tenth run of a second comes after the second one, though ".10" sorts before ".2".
  EXPECT_EQ(names, (std::vector<std::string>{"20261207-235959-early", "20261207-235959-early-bird",
                                             "20261208-100000-sync-phones",
                                             "20261208-100000.2-sync-phones",
                                             "20261208-100000.10-trim-names"}));
}

struct FindCase {
  std::string id;
  std::string found;  // the folder's name, or "<none>"
  std::string error;  // when none is found
};

TEST_F(RunFolders, AreFoundByTheirNameAUniquePrefixOrLast) {
  const std::vector<FindCase> cases = {
      {"20261208-100000-sync-phones", "20261208-100000-sync-phones", ""},
      // A whole name wins over the longer names it starts.
      {"20261207-235959-early", "20261207-235959-early", ""},
      {"20261207-235959-early-", "20261207-235959-early-bird", ""},
      {"20261208-100000.1", "20261208-100000.10-trim-names", ""},
      {"20261208-100000.2", "20261208-100000.2-sync-phones", ""},
      {"last", "20261208-100000.10-trim-names", ""},
      {"20261208", "<none>", "\"20261208\" names 3 recorded runs; give more of the ID"},
      {"2026120", "<none>", "\"2026120\" names 5 recorded runs; give more of the ID"},
      {"nosuch", "<none>", "no recorded run \"nosuch\" (talvor-cli runs lists them)"},
      {"20261209-000000-a-file", "<none>",
       "no recorded run \"20261209-000000-a-file\" (talvor-cli runs lists them)"},
      {"", "<none>", "no recorded run \"\" (talvor-cli runs lists them)"},
      {"LAST", "<none>", "no recorded run \"LAST\" (talvor-cli runs lists them)"},
  };
  for (const FindCase& c : cases) {
    std::string error;
    EXPECT_EQ(Found(c.id, &error), c.found) << c.id;
    EXPECT_EQ(error, c.error) << c.id;
  }
}

TEST(RunFoldersOfANewSite, NoneIsLast) {
  const testing::TempWorkDir scratch;
  std::string error;
  EXPECT_FALSE(journal::FindRunDir(scratch.path(), "last", &error));
  EXPECT_EQ(error, "no run has been recorded in " + scratch.path().string());
  EXPECT_TRUE(journal::ListRunDirs(scratch.path()).empty());
}

}  // namespace
}  // namespace talvor
